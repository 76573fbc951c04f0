#pragma once
// The file list a run test starts from: the window's initial list, populated from a source folder.

#include <string>

#include "tables/string_table.h"

namespace rowsmith::testing {

void PopulateList(tables::ArrayOfFiles& list, const std::string& src, const std::string& dst,
                  const std::string& masks = "*.*", int levels = 0, bool flat = false);

}  // namespace rowsmith::testing
