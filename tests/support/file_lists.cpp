#include "support/file_lists.h"

#include "files/file_list.h"
#include "files/paths.h"
#include "files/scan.h"

namespace rowsmith::testing {

void PopulateList(tables::ArrayOfFiles& list, const std::string& src, const std::string& dst,
                  const std::string& masks, int levels, bool flat) {
    files::InitFileList(list);
    list.SourceRoot = src;
    list.DestinationRoot = dst;
    list.DestinationMode = flat ? files::kDestinationFlat : 0;
    list.SubfolderLevels = levels;
    list.ScanFilter = files::MakeMaskFilter(masks);
    files::Populate(list, src);
}

}  // namespace rowsmith::testing
