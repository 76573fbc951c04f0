#pragma once
// The folder scan: the items of one folder that match a mask (TFindAnyFile), a depth-first walk over a
// folder tree with a depth limit and a running percentage (TFindAnyFileWithSubDirs), and *populate*,
// which turns entry texts (folders, wildcard paths, single files, "text:" list files) into file rows.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "files/platform_fs.h"
#include "tables/string_table.h"
#include "text/form_gauge.h"

namespace rowsmith::files {

// The deepest level the walk enters below its start folder, whatever the levels setting says.
constexpr int kDeepestLevel = 80;
// The error an unlisted folder is reported with when it lies below that deepest level.
constexpr int kBeyondDeepestLevel = -1;
constexpr int kMaxSubfolderLevels = 255;

struct FoundItem {
    std::string Name;
    bool IsFolder = false;  // a real folder, or a link to one (which the walk does not enter)
    fs::PathFacts Facts;
    bool HasFacts = false;
};

// The items of one folder matching one mask, in case-insensitive name order.
struct TFindAnyFile {
    int32_t AttributeFilter = 63;
    std::string Folder;
    std::string Mask;
    FoundItem SearchRecord;
    uint8_t FirstCall = 1;
    // Look up each item's facts (sizes, times, attributes).
    bool WantFacts = true;
    // Told of a folder that cannot be listed (and is passed over), with the error.
    std::function<void(const std::string& folder, int error)> OnUnlisted;

    void Start(std::string_view folder, std::string_view mask);
    bool NextItem();
    // The whole listing of the folder (every item, whatever the mask), once the first item was asked for.
    bool Listed() const { return FirstCall == 0; }
    const std::vector<fs::FolderItem>& Listing() const { return items_; }
    // The folder being listed, held open once listed (its items' facts are looked up through it).
    const fs::Folder& Opened() const { return open_; }

private:
    std::vector<fs::FolderItem> items_;
    fs::Folder open_;
    std::size_t next_ = 0;
};

struct TFindAnyFileWithSubDirs {
    std::string Folder;  // the folder being listed, with a trailing separator
    std::string Mask = "*.*";
    uint8_t AttributeFilter = 47;
    int32_t MaximumDepth = 255;
    int32_t CurrentDepth = 0;
    FoundItem CurrentItem;
    uint8_t ShowProgress = 0;
    double Percentage = 0;
    std::string StartPath;
    uint8_t FirstCall = 1;
    TFindAnyFile ItemWalker;

    void Start(std::string_view folder, std::string_view mask, int32_t max_depth, uint8_t attribute_filter = 63);
    bool NextItem();

private:
    struct Level {
        double Share = 100;
        int32_t SubfolderCounter = 1;
        std::string Folder;
        std::vector<std::string> Subfolders;
        std::size_t NextSubfolder = 0;
        bool ItemsDone = false;
    };
    std::vector<Level> levels_;
};

// Walker masks follow the listing call's rules: "*" and "*.*" take every item; the user's masks are
// applied by the scan filter.
bool WalkerMaskMatches(std::string_view name, std::string_view mask);

// The main window's mask test over "|"-separated masks; an empty mask text accepts nothing.
std::function<bool(const tables::DataRecT&, std::string_view)> MakeMaskFilter(std::string masks);

// Adds the rows of one or more entries (split at "|" with the table's entry rules). Does not clear.
void Populate(tables::ArrayOfFiles& table, std::string_view entry_text, text::GaugeViewFactory* views = nullptr);

// Adds the row the scan makes for the item `name` of `folder` (a walk's folder, ending in its separator),
// with its facts when it has them; the scan filter is not applied, the list-what setting is.
void AppendItemRow(tables::ArrayOfFiles& table, std::string_view folder, std::string_view name,
                   const fs::PathFacts* facts);

// Fills the stored name cells of a row (51 full path, 52 folder, 53 name, 54..59) from folder and name.
void FillNameCells(tables::ArrayOfFiles& table, tables::DataRecT& row, std::string_view folder, std::string_view name);

}  // namespace rowsmith::files
