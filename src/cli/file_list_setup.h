#pragma once
// What run and list share: checking SOURCE and DEST as the window does, and building the file list.

#include <string>

#include "cli/options.h"
#include "tables/string_table.h"
#include "text/form_gauge.h"

namespace rowsmith::cli {

struct ListRequest {
    std::string source;
    std::string destination;  // may be empty for list
    int levels = 0;
    std::string masks = "*.*";
    bool flat = false;
    std::string sort;
    std::string codepage;
    bool destination_required = true;
};

// Builds the case tables for the code page; false (with a message) for an unknown one.
bool ApplyCodepage(const std::string& codepage, Io& io);

// Validates the pair (source folder exists; destination resolvable, without wildcard characters and
// not the source itself), scans the source into the list and sorts it. Both paths are taken relative to
// the current folder. On failure prints a message naming the input and returns false.
bool BuildFileList(const ListRequest& req, Io& io, tables::ArrayOfFiles& list, text::GaugeViewFactory* views);

// Reads a whole file (a template file); false with a message on error.
bool ReadWholeFile(const std::string& path, std::string& out, Io& io, const char* what);

}  // namespace rowsmith::cli
