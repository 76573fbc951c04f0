#include "files/scan.h"

#include <cmath>

#include "files/paths.h"
#include "files/text_file.h"
#include "text/chars.h"
#include "text/mask.h"

namespace rowsmith::files {

bool WalkerMaskMatches(std::string_view name, std::string_view mask) {
    if (mask.empty() || mask == "*" || mask == "*.*") return true;
    return text::MatchesMask(name, mask);
}

// ---------------------------------------------------------------- one folder

void TFindAnyFile::Start(std::string_view folder, std::string_view mask) {
    Folder = folder;
    Mask = mask;
    FirstCall = 1;
    items_.clear();
    open_.Close();
    next_ = 0;
}

bool TFindAnyFile::NextItem() {
    if (FirstCall) {
        FirstCall = 0;
        // A folder that cannot be listed is passed over, and said so to whoever asked.
        if (!fs::ListFolder(Folder, items_, &open_)) {
            items_.clear();
            if (OnUnlisted) OnUnlisted(Folder, fs::LastError());
        }
        next_ = 0;
    }
    while (next_ < items_.size()) {
        fs::FolderItem& it = items_[next_++];
        if (!WalkerMaskMatches(it.name, Mask)) continue;
        // Reset field by field: the name keeps its buffer from item to item.
        SearchRecord.Name.assign(it.name);
        SearchRecord.IsFolder = false;
        SearchRecord.Facts = fs::PathFacts{};
        SearchRecord.HasFacts = false;
        if (WantFacts) {
            SearchRecord.HasFacts = open_.IsOpen() ? fs::GetItemFacts(open_, SearchRecord.Name, SearchRecord.Facts)
                                                   : fs::GetItemFacts(Folder, SearchRecord.Name, SearchRecord.Facts);
            SearchRecord.IsFolder = SearchRecord.HasFacts ? SearchRecord.Facts.is_folder : it.is_folder;
        } else {
            SearchRecord.IsFolder = it.is_folder;
        }
        // The attribute filter 63 takes every item; other filters keep items sharing a bit with it.
        if (AttributeFilter != 63) {
            const uint32_t attrs = SearchRecord.HasFacts ? SearchRecord.Facts.attributes
                                                         : (SearchRecord.IsFolder ? fs::kAttrFolder : 0);
            // Plain files carry no bit of their own here; the archive bit (32) stands for them.
            const uint32_t effective = attrs | (SearchRecord.IsFolder ? 0u : 32u);
            if ((effective & static_cast<uint32_t>(AttributeFilter)) == 0) continue;
        }
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- the tree walk

void TFindAnyFileWithSubDirs::Start(std::string_view folder, std::string_view mask, int32_t max_depth,
                                    uint8_t attribute_filter) {
    Folder = folder;
    if (!Folder.empty() && Folder.back() != '/') Folder += '/';
    Mask = mask.empty() ? std::string("*.*") : std::string(mask);
    MaximumDepth = std::max(0, std::min(max_depth, kMaxSubfolderLevels));
    AttributeFilter = attribute_filter;
    CurrentDepth = 0;
    Percentage = 0;
    StartPath = Join(Folder, Mask);
    FirstCall = 1;
    levels_.clear();
    Level root;
    root.Share = 100;
    root.Folder = Folder;
    levels_.push_back(std::move(root));
    ItemWalker.AttributeFilter = AttributeFilter;
    // Facts are looked up by the caller for the items it keeps (most of a tree may fail the masks).
    ItemWalker.WantFacts = AttributeFilter != 63;
    ItemWalker.Start(Folder, Mask);
}

bool TFindAnyFileWithSubDirs::NextItem() {
    if (levels_.empty()) return false;
    FirstCall = 0;
    const int32_t deepest = std::min(MaximumDepth, kDeepestLevel);
    for (;;) {
        Level& level = levels_.back();
        if (!level.ItemsDone) {
            if (ItemWalker.NextItem()) {
                CurrentItem = ItemWalker.SearchRecord;
                return true;
            }
            level.ItemsDone = true;
            // Subfolders are found whatever the mask; links to folders are not entered.
            if (CurrentDepth < deepest && ItemWalker.Listed()) {
                for (const auto& it : ItemWalker.Listing())
                    if (it.is_folder) level.Subfolders.push_back(it.name);
            } else if (CurrentDepth < MaximumDepth && ItemWalker.Listed() && ItemWalker.OnUnlisted) {
                // The levels asked for go deeper than the walk ever does: what lies below is missed,
                // and the caller is told which folders (a silent gap would pass for a complete list).
                for (const auto& it : ItemWalker.Listing())
                    if (it.is_folder) ItemWalker.OnUnlisted(level.Folder + it.name + "/", kBeyondDeepestLevel);
            }
            const double part = level.Share / static_cast<double>(level.Subfolders.size() + 1);
            level.SubfolderCounter = static_cast<int32_t>(level.Subfolders.size()) + 1;
            Percentage += part;
            level.Share = part;
        }
        if (level.NextSubfolder < level.Subfolders.size()) {
            Level child;
            child.Share = level.Share;
            child.Folder = level.Folder + level.Subfolders[level.NextSubfolder++] + "/";
            Folder = child.Folder;
            ++CurrentDepth;
            levels_.push_back(std::move(child));
            ItemWalker.Start(Folder, Mask);
            continue;
        }
        // This folder and all its subfolders are done: back up one level.
        levels_.pop_back();
        if (levels_.empty()) {
            Percentage = 100;
            return false;
        }
        --CurrentDepth;
        Folder = levels_.back().Folder;
    }
}

// ---------------------------------------------------------------- populate

std::function<bool(const tables::DataRecT&, std::string_view)> MakeMaskFilter(std::string masks) {
    // The list is split once here rather than for every candidate; the parts are the ones
    // text::MatchesMaskList tries (blanks around a mask dropped, empty masks skipped).
    struct Part {
        std::string mask;
        // "*" and a plain tail ("*.txt"): a match is a name ending in the tail, compared as the mask
        // test compares characters, without the general matcher's backtracking.
        bool star_tail = false;
    };
    std::vector<Part> parts;
    std::size_t pos = 0;
    while (pos <= masks.size()) {
        std::size_t next = masks.find('|', pos);
        if (next == std::string::npos) next = masks.size();
        std::string_view mask = std::string_view(masks).substr(pos, next - pos);
        while (!mask.empty() && mask.front() == ' ') mask.remove_prefix(1);
        while (!mask.empty() && mask.back() == ' ') mask.remove_suffix(1);
        if (!mask.empty()) {
            const bool star_tail = mask.front() == '*' && mask.find_first_of("*?[", 1) == std::string_view::npos;
            parts.push_back({std::string(star_tail ? mask.substr(1) : mask), star_tail});
        }
        pos = next + 1;
    }
    return [parts = std::move(parts)](const tables::DataRecT&, std::string_view name) {
        for (const Part& part : parts) {
            if (!part.star_tail) {
                if (text::MatchesMask(name, part.mask)) return true;
                continue;
            }
            const std::string& tail = part.mask;
            if (tail.size() > name.size()) continue;
            const auto& lower = text::Tables().lower;
            const std::size_t start = name.size() - tail.size();
            std::size_t i = 0;
            while (i < tail.size() && lower[static_cast<unsigned char>(name[start + i])] ==
                                          lower[static_cast<unsigned char>(tail[i])])
                ++i;
            if (i == tail.size()) return true;
        }
        return false;
    };
}

void FillNameCells(tables::ArrayOfFiles& table, tables::DataRecT& row, std::string_view folder, std::string_view name) {
    // A walk's folder already ends with its separator, so it is used as it is.
    std::string added;
    std::string_view folder_text = folder;
    if (!folder.empty() && folder.back() != '/') {
        added.reserve(folder.size() + 1);
        added.append(folder).push_back('/');
        folder_text = added;
    }
    // Case tables map byte by byte, so the lower-case name holds the lower-case parts at the same places.
    if (folder_text.empty() || name.empty() || !IsSeparator(name.front())) {
        // The full path is the folder and the name side by side: the table keeps the cells as one piece.
        table.SetNameCellsOf(row, folder_text, name, text::LowerCase(name));
        return;
    }
    table.SetCellOf(row, tables::kCodeFullPath, Join(folder_text, name));
    table.SetCellOf(row, tables::kCodePath, folder_text);
    table.SetCellOf(row, tables::kCodeFilename, name);
    const std::size_t dot = name.rfind('.');
    const std::string_view base = dot == std::string_view::npos ? name : name.substr(0, dot);
    const std::string_view ext = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    table.SetCellOf(row, tables::kCodeFilenameName, base);
    table.SetCellOf(row, tables::kCodeFilenameExt, ext);
    table.SetCellOf(row, tables::kCodeSeparator, ".");
    const std::string lower = text::LowerCase(name);
    table.SetCellOf(row, tables::kCodeFilenameLower, lower);
    table.SetCellOf(row, tables::kCodeNameLower, std::string_view(lower).substr(0, base.size()));
    table.SetCellOf(row, tables::kCodeExtLower, std::string_view(lower).substr(name.size() - ext.size()));
}

namespace {

void SetFacts(tables::DataRecT& row, const fs::PathFacts& f) {
    tables::FileInfoT& facts = row.Ext().Facts;
    if (!f.exists) {
        facts.TypeByte = tables::FileInfoT::kMissing;
        return;
    }
    facts.TypeByte = static_cast<uint8_t>(tables::FileInfoT::kExists |
                                          (f.is_folder ? tables::FileInfoT::kFolderBit : tables::FileInfoT::kFileBit));
    facts.WriteNs = f.write_ns;
    facts.CreationNs = f.creation_ns;
    facts.AccessNs = f.access_ns;
    facts.Size = f.size;
    facts.Attributes = f.attributes;
    facts.Device = f.device;
    facts.Inode = f.inode;
    facts.HasDates = true;
}

struct Populator {
    tables::ArrayOfFiles& table;
    text::TFormGauge gauge;
    std::string caption_head;
    double share = 100;
    int entry_index = 0;  // 0-based

    // With nothing to show and nobody listening, the progress texts are not built at all.
    bool Silent() const { return !gauge.views && !table.ProgressCallback; }

    void Report(std::string_view folder, std::string_view name, double within) {
        if (Silent()) return;
        // Building the full path costs little next to the folder listing; the record decides whether to show it.
        std::string full(folder);
        if (!full.empty() && full.back() != '/') full += '/';
        full.append(name);
        Report(std::string_view(full), within);
    }

    void Report(std::string_view full, double within) {
        if (Silent()) return;
        const int pct = static_cast<int>(std::trunc(entry_index * share + share * within / 100.0));
        std::string caption = caption_head;
        caption += std::to_string(table.RowCount + 1);
        caption += ']';
        gauge.Update(caption, full, pct);
        if (table.ProgressCallback) table.ProgressCallback(caption, full, pct);
    }

    // One candidate: name cells, facts, the scan filter and the list-what setting.
    // facts == nullptr with look_up set: the item's facts are read once the filter has accepted its name.
    void Candidate(std::string_view folder, std::string_view name, const fs::PathFacts* facts, uint8_t kind,
                   std::string_view list_file, std::string_view mask, double within, bool look_up = false,
                   const fs::Folder* opened = nullptr) {
        tables::DataRecT row;
        row.Kind = kind;
        if (facts) SetFacts(row, *facts);
        if (table.ScanFilter && !table.ScanFilter(row, name)) {
            Report(folder, name, within);
            return;
        }
        if (!facts && look_up) {
            fs::PathFacts f;
            const bool got = opened && opened->IsOpen() ? fs::GetItemFacts(*opened, name, f)
                                                        : fs::GetItemFacts(folder, name, f);
            if (got) SetFacts(row, f);
        }
        FillNameCells(table, row, folder, name);
        if (!Silent()) Report(table.StoredText(row, tables::kCodeFullPath), within);
        if (!list_file.empty()) table.SetCellOf(row, tables::kCodeListFile, list_file);
        if (!mask.empty()) table.SetCellOf(row, tables::kCodeMask, mask);
        const bool folder_row = row.Extra && (row.Extra->Facts.Attributes & fs::kAttrFolder);
        if (table.ListWhat == 0 && folder_row) return;
        if (table.ListWhat == 1 && !folder_row) return;
        table.AppendRow(std::move(row));
    }

    void ReadListFile(std::string_view path, double within_base) {
        TReadTextFile reader;
        reader.Progress.views = gauge.views;
        if (!reader.Open(path)) return;
        while (reader.ReadLine()) {
            if (reader.CurrentLine.find_first_not_of(" \t") == std::string::npos) continue;
            const std::string line = reader.CurrentLine;
            const std::string folder = FolderPart(line);
            const std::string name = NamePart(line);
            if (table.ListEntriesUnchecked) {
                Candidate(folder, name, nullptr, 2, path, "", reader.Percent);
            } else {
                fs::PathFacts f;
                fs::GetFacts(line, f);
                Candidate(folder, name, &f, 2, path, "", reader.Percent);
            }
        }
        reader.Close();
        (void)within_base;
    }

    void Entry(std::string entry, int32_t depth) {
        bool list_file = false;
        if (entry.size() >= 5 && text::EqualsIgnoreCase(std::string_view(entry).substr(0, 5), "text:") &&
            !fs::PathExists(entry)) {
            list_file = true;
            entry.erase(0, 5);
        }
        // An existing path is the path it names, whatever markers it seems to hold.
        const std::size_t m = entry.find("\\\\\\");
        if (m != std::string::npos && !fs::PathExists(entry)) {
            // Three backslashes: walk this folder alone. In Windows style the marker leaves one separator
            // behind; a backslash is an ordinary character here, so the marker becomes "/" (nothing when a
            // separator or the end of the text is next to it).
            const bool keeps_separator = m == 0 || IsSeparator(entry[m - 1]) || m + 3 >= entry.size() ||
                                         IsSeparator(entry[m + 3]);
            entry.replace(m, 3, keeps_separator ? "" : "/");
            depth = 0;
        }
        std::string mask;
        const std::string name = NamePart(entry);
        bool wildcard = false;
        for (unsigned char c : name)
            if (c == '*' || c == '?' || c < 32 || c == '"' || c == '<' || c == '>' || c == '|') wildcard = true;
        std::string folder = entry;
        if (wildcard && fs::PathExists(entry)) wildcard = false;
        if (wildcard) {
            mask = name;
            folder = FolderPart(entry);
            if (folder.empty()) folder = ".";
        }
        fs::PathFacts facts;
        const bool exists = fs::GetFacts(folder, facts);
        if (!exists) return;
        if (facts.is_folder) {
            TFindAnyFileWithSubDirs walk;
            walk.ItemWalker.OnUnlisted = table.UnlistedFolderCallback;
            walk.Start(folder, mask.empty() ? "*.*" : mask, depth >= 0 ? depth : table.SubfolderLevels, 63);
            while (walk.NextItem()) {
                const FoundItem& item = walk.CurrentItem;
                const std::string& item_folder = walk.Folder;
                if (list_file) {
                    // Only regular files are list files: a pipe or a device would block the scan.
                    const std::string path = Join(item_folder, item.Name);
                    if (!item.IsFolder && fs::FileExists(path)) ReadListFile(path, walk.Percentage);
                    continue;
                }
                Candidate(item_folder, item.Name, item.HasFacts ? &item.Facts : nullptr, 1, "", mask,
                          walk.Percentage, true, &walk.ItemWalker.Opened());
            }
            return;
        }
        if (wildcard) return;  // a mask on a path that is not a folder
        if (list_file) {
            if (facts.is_file) ReadListFile(entry, 0);
            return;
        }
        Candidate(FolderPart(entry), NamePart(entry), &facts, 1, "", "", 100);
    }
};

}  // namespace

void AppendItemRow(tables::ArrayOfFiles& table, std::string_view folder, std::string_view name,
                   const fs::PathFacts* facts) {
    // The same steps as a walk's candidate that passed the filter.
    tables::DataRecT row;
    row.Kind = 1;
    if (facts) SetFacts(row, *facts);
    FillNameCells(table, row, folder, name);
    const bool folder_row = row.Extra && (row.Extra->Facts.Attributes & fs::kAttrFolder);
    if (table.ListWhat == 0 && folder_row) return;
    if (table.ListWhat == 1 && !folder_row) return;
    table.AppendRow(std::move(row));
}

void Populate(tables::ArrayOfFiles& table, std::string_view entry_text, text::GaugeViewFactory* views) {
    tables::ArrayOfFiles entries;
    entries.SplitEntries = table.SplitEntries;
    entries.EntrySeparator = table.EntrySeparator;
    entries.TrimEntries = table.TrimEntries;
    entries.QuotedEntries = table.QuotedEntries;
    entries.QuoteCharacter = table.QuoteCharacter;
    // A text that names an existing path is that path, even when it holds "|" or wildcard characters
    // (both are legal in Linux file names).
    if (fs::PathExists(entry_text)) {
        entries.AddRowWithText(entry_text, tables::kCodeFullPath);
    } else {
        entries.AddEntries(entry_text, tables::kCodeFullPath);
    }

    Populator p{table, text::TFormGauge(), "", 100, 0};
    p.gauge.views = views;
    text::ApplyGaugeSettings(p.gauge, text::GaugeUse::Scanning);
    p.caption_head = table.ListWhat == 0   ? "Getting files... ["
                     : table.ListWhat == 1 ? "Getting folders... ["
                                           : "Getting files and folders... [";
    const int32_t n = entries.RowCount;
    p.share = n > 0 ? 100.0 / n : 100;
    for (int32_t i = 1; i <= n; ++i) {
        p.entry_index = i - 1;
        const tables::DataRecT* e = entries.Row(i);
        const int32_t depth = e && e->Extra ? e->Extra->Depth : -1;
        p.Entry(entries.GetCell(i, tables::kCodeFullPath), depth);
    }
    table.ShrinkToFit();
    p.gauge.Finish();
}

}  // namespace rowsmith::files
