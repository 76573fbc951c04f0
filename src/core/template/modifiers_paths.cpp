// The modifiers for file names, paths and web addresses: name and folder parts, slashes, path levels
// and relative paths, files found or named in the root folder, included template files, folder lists
// and directory links, and the address prefixes. The links-and-HTML half of the family is
// modifiers_html.cpp.
//
// Path words that only cut or rewrite text read "\" and "/" alike, so Windows-style texts work as
// pure text; words that touch the file system resolve names against the context's RootFolder
// (TemplateFolder for "template") with the system's own path rules.

#include "template/modifiers_paths.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "files/file_list.h"
#include "files/paths.h"
#include "files/platform_fs.h"
#include "files/scan.h"
#include "tables/string_table.h"
#include "template/context.h"
#include "template/engine_adapters.h"
#include "template/evaluator.h"
#include "template/modifier_support.h"
#include "template/registry.h"
#include "text/utf8.h"
#include "text/chars.h"
#include "text/markup.h"
#include "text/mask.h"
#include "text/numbers.h"
#include "text/replace.h"
#include "text/search.h"
#include "text/spans.h"
#include "text/strings.h"

namespace rowsmith::tmpl {

using files::PathStyle;
namespace fs = files::fs;

namespace pathwords {

PathStyle StyleOf(std::string_view path) {
    if (path.find('\\') != std::string_view::npos) return PathStyle::Windows;
    if (path.size() >= 2 && path[1] == ':' && text::IsAsciiLetter(path[0])) return PathStyle::Windows;
    return files::kNativeStyle;
}

std::string ResolveName(std::string_view name, std::string_view base) {
    const PathStyle style = StyleOf(base);
    if (style == PathStyle::Windows) return files::Resolve(name, base, style);
    std::string n(name);
    std::replace(n.begin(), n.end(), '\\', '/');
    return files::Resolve(n, base, style);
}

std::string AddHttp(std::string_view value) {
    if (value.empty()) return {};
    std::string slashed(value);
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    if (slashed.find("://") != std::string::npos) return std::string(value);
    return "http://" + std::string(value);
}

std::string NoHttp(std::string_view value) {
    const std::size_t scheme = std::min(value.find("://"), value.find(":\\\\"));
    if (scheme == std::string_view::npos) return std::string(value);
    return std::string(value.substr(scheme + 3));
}

std::string ExistingPicture(const TemplateContext& context, std::string_view name, std::string_view suffix) {
    if (name.empty()) return {};
    const std::string file = files::NamePart(name, PathStyle::Windows);
    const std::size_t dot = file.rfind('.');
    std::vector<std::string> candidates;
    if (dot != std::string::npos && dot > 0) {
        const std::size_t at = name.size() - (file.size() - dot);
        candidates.push_back(std::string(name.substr(0, at)) + std::string(suffix) +
                             std::string(name.substr(at)));
    } else {
        for (std::string_view ext : {".gif", ".png", ".jpg", ".jpeg"})
            candidates.push_back(std::string(name) + std::string(suffix) + std::string(ext));
    }
    for (const std::string& candidate : candidates)
        if (fs::FileExists(ResolveName(candidate, context.RootFolder))) return candidate;
    return {};
}

}  // namespace pathwords

namespace {

using pathwords::ResolveName;
using pathwords::StyleOf;

constexpr std::string_view kSingle = text::kSingleMarker;

bool IsSep(char c) {
    return c == '/' || c == '\\';
}

std::string DropOneTrailingSeparator(std::string_view s) {
    if (!s.empty() && IsSep(s.back())) s.remove_suffix(1);
    return std::string(s);
}

std::string Slashed(std::string_view s) {
    std::string r(s);
    std::replace(r.begin(), r.end(), '\\', '/');
    return r;
}

// --- names and folders (pure text) ---

std::string OnlyFileName(std::string_view value) {
    return files::NamePart(DropOneTrailingSeparator(value), PathStyle::Windows);
}

std::string OnlyPath(std::string_view value) {
    const std::string folder = files::FolderPart(DropOneTrailingSeparator(value), PathStyle::Windows);
    std::size_t end = folder.size();
    while (end > 0 && IsSep(folder[end - 1])) --end;
    // A root ("/", "c:\", "http://") keeps its separators: without them it would name something else.
    if (end == 0 || folder[end - 1] == ':') return folder;
    return folder.substr(0, end);
}

void OnlyFileNameWord(ModifierCall& call) {
    call.Value() = OnlyFileName(call.Value());
}

void FileNameWithoutExt(ModifierCall& call) {
    std::string name = OnlyFileName(call.Value());
    const std::size_t dot = name.find('.');
    if (dot != std::string::npos) name.resize(dot);
    call.Value() = std::move(name);
}

void OnlyPathWord(ModifierCall& call) {
    call.Value() = OnlyPath(call.Value());
}

void Legal(ModifierCall& call) {
    call.Value() = text::MakeFileName(call.Value());
}

void ToSlashes(ModifierCall& call) {
    std::replace(call.Value().begin(), call.Value().end(), '\\', '/');
}

void ToBackslashes(ModifierCall& call) {
    std::replace(call.Value().begin(), call.Value().end(), '/', '\\');
}

void NoTrailingSlash(ModifierCall& call) {
    std::string& v = call.Value();
    if (!v.empty() && IsSep(v.back())) v.pop_back();
}

void WithTrailingSlash(ModifierCall& call) {
    std::string& v = call.Value();
    if (v.empty()) return;  // an empty value would become a root
    if (IsSep(v.back())) v.pop_back();
    v += StyleOf(v) == PathStyle::Windows ? '\\' : files::PreferredSeparator();
}

// Keeps the root and the file name; middle folders give way, from the centre outward, to the filler.
std::string ShortenPath(std::string_view path, int64_t maximum, std::string_view filler) {
    if (maximum <= 0 || static_cast<int64_t>(text::CountChars(path)) <= maximum) return std::string(path);
    const PathStyle style = StyleOf(path);
    const std::size_t root_len = std::min(files::RootEnd(path, style) - 1, path.size());
    const std::string_view root = path.substr(0, root_len);
    char sep = files::PreferredSeparator(style);
    if (const std::size_t first = path.find_first_of("/\\"); first != std::string_view::npos)
        sep = path[first];
    std::vector<std::string_view> parts;
    std::size_t start = root_len;
    for (std::size_t i = root_len; i <= path.size(); ++i) {
        if (i == path.size() || IsSep(path[i])) {
            if (i > start) parts.push_back(path.substr(start, i - start));
            start = i + 1;
        }
    }
    if (parts.size() < 2) return std::string(path);
    const std::size_t folders = parts.size() - 1;
    std::string best;
    for (std::size_t drop = 1; drop <= folders; ++drop) {
        const std::size_t from = (folders - drop) / 2;
        std::string r(root);
        auto add = [&](std::string_view piece) {
            if (!r.empty() && !IsSep(r.back())) r += sep;
            r.append(piece);
        };
        for (std::size_t i = 0; i < from; ++i) add(parts[i]);
        add(filler);
        for (std::size_t i = from + drop; i < parts.size(); ++i) add(parts[i]);
        best = std::move(r);
        if (static_cast<int64_t>(text::CountChars(best)) <= maximum) break;
    }
    return best;
}

void PathNotLongerThan(ModifierCall& call) {
    const CommandOptionsRecT maximum = call.Fetch(1);
    if (!maximum.Present || !maximum.IsNumber) return;
    call.Value() = ShortenPath(call.Value(), maximum.Integer, call.TextOr(2, ".."));
}

void PathLevel(ModifierCall& call) {
    const std::string& v = call.Value();
    const std::size_t root_len = std::min(files::RootEnd(v, StyleOf(v)) - 1, v.size());
    int64_t pieces = 0;
    bool in_piece = false;
    for (std::size_t i = root_len; i < v.size(); ++i) {
        if (IsSep(v[i])) {
            in_piece = false;
        } else if (!in_piece) {
            in_piece = true;
            ++pieces;
        }
    }
    call.Value() = text::IntText(pieces);
}

// --- relative paths and addresses ---

bool IsAddress(std::string_view s) {
    return s.find("://") != std::string_view::npos;
}

std::string WithTrailingSeparator(std::string s, char sep) {
    if (s.empty() || !IsSep(s.back())) s += sep;
    return s;
}

std::string BaseAddress(const TemplateContext& c) {
    return c.RootAddress.empty() ? c.DefaultWebAddress : c.RootAddress;
}

// The file a word works on: the value, or the expansion of the given built-in name when it is empty.
std::string CurrentFile(ModifierCall& call, std::string_view builtin_name) {
    if (!call.Value().empty()) return call.Value();
    std::string name = "{{";
    name += builtin_name;
    name += "}}";
    return call.ExpandBuiltIn(name);
}

// Where a file lies below a root: its path relative to the root with "/" separators. Addresses are
// compared as text (letter case ignored); file paths by whole components.
bool BelowRoot(std::string_view full, std::string_view root, std::string& relative) {
    if (IsAddress(full)) {
        const std::string r = WithTrailingSeparator(std::string(root), '/');
        if (full.size() < r.size() || !text::EqualsIgnoreCase(full.substr(0, r.size()), r)) return false;
        relative = Slashed(full.substr(r.size()));
        return true;
    }
    const PathStyle style = StyleOf(root);
    if (!files::IsInside(full, root, style)) return false;
    relative =
        Slashed(files::RelativePath(files::Normalise(full, style), files::Normalise(root, style), style));
    return true;
}

// The file's path made absolute: addresses stay as they are, names resolve against the root folder.
std::string FullPathOf(const TemplateContext& c, std::string_view file) {
    return IsAddress(file) ? std::string(file) : ResolveName(file, c.RootFolder);
}

void RelRoot(ModifierCall& call) {
    const TemplateContext& c = call.Context();
    const std::string file = CurrentFile(call, "ActualFileFullpath");
    if (file.empty()) {
        call.Value().clear();
        return;
    }
    std::string result;
    if (IsAddress(file)) {
        const std::string base = BaseAddress(c);
        result = files::RelativePath(base, files::FolderPart(file, files::kNativeStyle), files::kNativeStyle);
    } else {
        const std::string full = ResolveName(file, c.RootFolder);
        const PathStyle style = StyleOf(c.RootFolder);
        result =
            files::RelativePath(files::Normalise(c.RootFolder, style), files::FolderPart(full, style), style);
    }
    result = Slashed(result);
    if (!result.empty() && result.back() != '/') result += '/';
    call.Value() = std::move(result);
}

void RelativeToRoot(ModifierCall& call) {
    const TemplateContext& c = call.Context();
    const std::string path = CurrentFile(call, "ActualFileOnlyPath");
    call.Value() = files::RelativePath(path, c.RootAddress, StyleOf(path));
}

std::string AbsoluteUrl(const TemplateContext& c, std::string_view file) {
    if (file.empty() || IsAddress(file)) return std::string(file);
    const std::string full = ResolveName(file, c.RootFolder);
    std::string relative;
    if (BelowRoot(full, c.RootFolder, relative)) return WithTrailingSeparator(BaseAddress(c), '/') + relative;
    // Outside the root folder the file has no web address of the site; a file address still names it.
    const std::string slashed = Slashed(full);
    return slashed.starts_with("/") ? "file://" + slashed : "file:///" + slashed;
}

void AbsoluteUrlWord(ModifierCall& call) {
    const std::string file = CurrentFile(call, "ActualFileFullpath");
    call.Value() = AbsoluteUrl(call.Context(), file);
}

// --- files in the root folder ---

bool HasWildcard(std::string_view s) {
    return s.find_first_of("*?[") != std::string_view::npos;
}

// The first file that the name (with wildcards in its last part) names, "" when there is none.
std::string FindFirstFile(const TemplateContext& c, std::string_view name) {
    const std::string full = ResolveName(name, c.RootFolder);
    const PathStyle style = StyleOf(c.RootFolder);
    const std::string mask = files::NamePart(full, style);
    if (mask.empty()) return {};
    if (!HasWildcard(mask)) return fs::FileExists(full) ? full : std::string();
    const std::string folder = files::FolderPart(full, style);
    std::vector<fs::FolderItem> items;
    if (!fs::ListFolder(folder, items)) return {};
    for (const fs::FolderItem& item : items) {
        if (item.is_folder || !text::MatchesMask(item.name, mask)) continue;
        const std::string path = folder + item.name;
        if (fs::FileExists(path)) return path;
    }
    return {};
}

template <bool OrName>
void GetExt(ModifierCall& call) {
    const TemplateContext& c = call.Context();
    const std::string pattern = call.TextOr(1, OrName ? "*.*" : ".*");
    const std::string value = call.Value();
    for (std::string_view alternative : text::CutItems(pattern, "|", kSingle, 0, {}, {})) {
        const std::string found = FindFirstFile(c, value + std::string(alternative));
        if (found.empty()) continue;
        const PathStyle style = StyleOf(c.RootFolder);
        call.Value() = Slashed(files::RelativePath(found, files::Normalise(c.RootFolder, style), style));
        return;
    }
    call.Value().clear();
}

void GoodFileName(ModifierCall& call) {
    TemplateContext& c = call.Context();
    std::string name = call.Value().empty() ? std::string("file") : call.Value();
    name += call.TextOr(1, ".htm");
    const std::string full = ResolveName(name, c.RootFolder);
    const PathStyle style = StyleOf(c.RootFolder);
    const std::string folder = files::FolderPart(full, style);
    std::string file = text::LowerCase(text::OnlyLettersAndNumbers(files::NamePart(full, style), "."));
    std::string extension = ".htm";
    if (const std::size_t dot = file.rfind('.'); dot != std::string::npos) {
        extension = file.substr(dot);
        file.resize(dot);
    }
    if (extension == ".") extension = ".htm";
    const CommandOptionsRecT length = call.Fetch(2);
    // Cut by characters: a name never ends in half a character.
    if (length.Integer > 0 && static_cast<std::size_t>(length.Integer) < text::CountChars(file))
        file.resize(text::ByteOffsetOfChar(file, static_cast<std::size_t>(length.Integer)));
    // A name with nothing left of it would make a hidden file of the bare extension.
    if (file.empty()) file = "file";
    std::string suffix;
    if (!call.HasOption("overwrite")) {
        // The counter is bounded so that a folder full of numbered files cannot stall the expansion.
        for (int64_t counter = 2; counter <= 1'000'000 && fs::PathExists(folder + file + suffix + extension);
             ++counter)
            suffix = "_" + text::LeadingZeros(counter, 4, "0");
    }
    std::string result = folder + file + suffix + extension;
    SetVariable(c, "lastgoodfilename", result);
    call.Value() = std::move(result);
}

void CheckExist(ModifierCall& call) {
    TemplateContext& c = call.Context();
    std::string& v = call.Value();
    if (v.empty()) return;
    std::string name = v;
    if (text::FindText("<img", v) > 0) name = text::GetTagAttribute(v, "img", "src");
    const std::string full = name.empty() ? std::string() : ResolveName(name, c.RootFolder);
    if (!full.empty() && fs::FileExists(full)) {
        SetVariable(c, "lastexistingfile", full);
    } else {
        v.clear();
    }
}

// The whole file, or false when it cannot be read or is larger than the bound.
bool ReadWholeFile(const TemplateContext& c, const std::string& path, std::string& out) {
    fs::File f;
    if (!f.OpenRead(path)) return false;
    const int64_t size = f.Size();
    if (size < 0 || !FitsTextBound(c, static_cast<std::size_t>(size))) return false;
    out.clear();
    char buffer[65536];
    for (;;) {
        const int64_t n = f.Read(buffer, sizeof buffer);
        if (n < 0) return false;
        if (n == 0) break;
        if (!FitsTextBound(c, out.size() + static_cast<std::size_t>(n))) return false;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

void Template(ModifierCall& call) {
    const TemplateContext& c = call.Context();
    const std::string name = call.Text(1);
    if (name.empty()) return;
    const std::string path = ResolveName(name, c.TemplateFolder);
    std::string content;
    if (!fs::FileExists(path) || !ReadWholeFile(c, path, content)) return;
    const std::string expanded = call.Expand(content);
    std::string v = call.Value();
    if (AppendBounded(c, v, expanded))
        call.Value() = std::move(v);
    else
        call.Value().clear();
}

// --- folder lists ---

constexpr std::string_view kListOpening = "{{|append:{{crlf}}<ul>|multiply:{{PathLevelOpeningCount}}}}";
constexpr std::string_view kListItem =
    "{{|:{{crlf}}<li><a href=\"{{PathItem|slash}}\">{{pathitem|onlyfilename|replace:_, |caselower}}</a></li>"
    "|replaceif:{{pathitem|onlyfilename|1}}=_,\"\"}}";
constexpr std::string_view kListClosing = "{{|:{{crlf}}</ul>|multiply:{{PathLevelClosingCount}}}}";

struct ListedEntry {
    std::vector<std::string> Parts;  // the path below the listed folder, one component each
    std::string FullPath;
};

// Tree order: every folder is followed by its contents, names compared ignoring case first. A list of
// files puts the files of a folder before those of its subfolders, as the folder walk does.
bool TreeBefore(const ListedEntry& a, const ListedEntry& b, bool files_first) {
    const std::size_t n = std::min(a.Parts.size(), b.Parts.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (files_first) {
            const bool a_file = i + 1 == a.Parts.size();
            const bool b_file = i + 1 == b.Parts.size();
            if (a_file != b_file) return a_file;
        }
        const std::string la = text::LowerCase(a.Parts[i]);
        const std::string lb = text::LowerCase(b.Parts[i]);
        if (la != lb) return la < lb;
        if (a.Parts[i] != b.Parts[i]) return a.Parts[i] < b.Parts[i];
    }
    return a.Parts.size() < b.Parts.size();
}

std::vector<std::string> SplitComponents(std::string_view path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || IsSep(path[i])) {
            if (i > start) parts.emplace_back(path.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

// A folder list is bounded like every other expansion: a tree with more items than this within the
// scanned depth (the whole disk, say) yields the empty text instead of a scan without end.
constexpr std::size_t kMaxListedItems = 50'000;

// Whether the tree holds at most `limit` items down to `depth` levels; stops counting past the limit.
bool TreeFits(const std::string& folder, int32_t depth, std::size_t limit) {
    std::vector<std::pair<std::string, int32_t>> pending{{folder, 0}};
    std::size_t count = 0;
    std::vector<fs::FolderItem> items;
    while (!pending.empty()) {
        auto [path, level] = std::move(pending.back());
        pending.pop_back();
        items.clear();
        if (!fs::ListFolder(path, items)) continue;
        count += items.size();
        if (count > limit) return false;
        if (level >= depth || level >= files::kDeepestLevel) continue;
        for (const fs::FolderItem& item : items)
            if (item.is_folder) pending.emplace_back(files::Join(path, item.name), level + 1);
    }
    return true;
}

void ListFolder(ModifierCall& call) {
    TemplateContext& c = call.Context();
    const bool list_files = call.LowerWord().find("file") != std::string_view::npos;
    const PathStyle style = StyleOf(c.RootFolder);
    const std::string folder = files::Normalise(
        call.Value().empty() ? c.RootFolder : ResolveName(call.Value(), c.RootFolder), style);
    if (!fs::FolderExists(folder)) {
        call.Value().clear();
        return;
    }
    // The depth defaults to the window's "Subfolder levels" default: only the folder itself.
    const CommandOptionsRecT depth_arg = call.Fetch(1);
    const int32_t depth = std::clamp<int32_t>(depth_arg.Integer, 0, files::kMaxSubfolderLevels);

    if (!TreeFits(folder, depth, kMaxListedItems)) {
        NoteBoundHit(c, "a folder list would exceed the bound of " + std::to_string(kMaxListedItems) + " items");
        call.Value().clear();
        return;
    }

    // A table of its own: the window's file list stays as it is.
    tables::ArrayOfFiles table;
    files::InitFileList(table);
    table.SubfolderLevels = depth;
    table.ListWhat = list_files ? 0 : 1;
    files::Populate(table, folder);

    std::vector<ListedEntry> entries;
    entries.reserve(static_cast<std::size_t>(std::max(table.RowCount, 0)));
    for (int32_t row = 1; row <= table.RowCount; ++row) {
        ListedEntry e;
        e.FullPath = table.GetCell(row, tables::kCodeFullPath);
        e.Parts = SplitComponents(files::RelativePath(e.FullPath, folder, style));
        if (!e.Parts.empty()) entries.push_back(std::move(e));
    }
    std::sort(entries.begin(), entries.end(),
              [&](const ListedEntry& a, const ListedEntry& b) { return TreeBefore(a, b, list_files); });

    const std::string root = files::Normalise(c.RootFolder, style);
    std::string out;
    int64_t previous = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const int64_t level = static_cast<int64_t>(entries[i].Parts.size());
        const int64_t next = i + 1 < entries.size() ? static_cast<int64_t>(entries[i + 1].Parts.size()) : 0;
        const std::string& full = entries[i].FullPath;
        const std::string item =
            files::IsInside(full, root, style) ? files::RelativePath(full, root, style) : full;
        const int64_t opening = level > previous ? level - previous : 0;
        const int64_t closing = level > next ? level - next : 0;
        SetVariable(c, "PathLevel", text::IntText(level));
        SetVariable(c, "PathItem", item);
        SetVariable(c, "PathLevelOpeningCount", text::IntText(opening));
        SetVariable(c, "PathLevelClosingCount", text::IntText(closing));
        if (opening > 0 && !AppendBounded(c, out, call.TextOr(3, kListOpening))) break;
        if (!AppendBounded(c, out, call.TextOr(2, kListItem))) break;
        if (closing > 0 && !AppendBounded(c, out, call.TextOr(4, kListClosing))) break;
        previous = level;
    }
    call.Value() = std::move(out);
}

constexpr std::string_view kHomeStep = "<a href=\"{{directoryurl}}\">Home</a>";
constexpr std::string_view kFolderStep =
    " <a href=\"{{directoryurl}}\">{{directorylinktext|caseintelligent}}</a>";
constexpr std::string_view kCurrentStep = " <b>{{directorylinktext|caseintelligent}}</b>";
constexpr std::string_view kIndexBefore = "{{ItIsIndexHTM|replaceifno: ";
constexpr std::string_view kIndexAfter = " <i>{{directorylinktext|caseintelligent}}</i>}}";
constexpr std::string_view kStepSeparator = "{{|:////splitter|getext|aspic|replaceifnil:>}}";

std::string UpLinks(std::size_t levels) {
    if (levels == 0) return "./";
    std::string r;
    for (std::size_t i = 0; i < levels; ++i) r += "../";
    return r;
}

void DirectoryUrl(ModifierCall& call) {
    TemplateContext& c = call.Context();
    const std::string file = CurrentFile(call, "ActualFileFullpath");
    if (file.empty()) {
        call.Value().clear();
        return;
    }
    const std::string full = FullPathOf(c, file);
    const bool address = IsAddress(full);
    const std::string root = address ? BaseAddress(c) : c.RootFolder;
    std::string relative;
    if (!BelowRoot(full, root, relative)) {
        const PathStyle style = address ? files::kNativeStyle : StyleOf(full);
        relative = Slashed(full.substr(std::min(files::RootEnd(full, style) - 1, full.size())));
    }
    std::vector<std::string> steps = SplitComponents(relative);
    std::string name;
    if (!steps.empty()) {
        name = steps.back();
        steps.pop_back();
    }
    const std::string lower_name = text::LowerCase(name);
    SetVariable(c, "ItIsIndexHTM", lower_name == "index.htm" || lower_name == "index.html" ? " " : "");

    const std::string separator = call.TextOr(5, kStepSeparator);
    std::string out;
    SetVariable(c, "directoryurl", UpLinks(steps.size()));
    SetVariable(c, "directorylinktext", OnlyFileName(root));
    if (!AppendBounded(c, out, call.TextOr(1, kHomeStep))) return void(call.Value().clear());
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const bool current = i + 1 == steps.size();
        SetVariable(c, "directoryurl", UpLinks(steps.size() - 1 - i));
        SetVariable(c, "directorylinktext", steps[i]);
        // The step texts begin with a space after the separator; one goes before it as well.
        if (!out.empty() && out.back() != ' ' && !AppendBounded(c, out, " "))
            return void(call.Value().clear());
        if (!AppendBounded(c, out, separator)) return void(call.Value().clear());
        if (!AppendBounded(c, out, current ? call.TextOr(3, kCurrentStep) : call.TextOr(2, kFolderStep)))
            return void(call.Value().clear());
    }
    std::string stem = name;
    if (const std::size_t dot = stem.rfind('.'); dot != std::string::npos && dot > 0) stem.resize(dot);
    SetVariable(c, "directoryurl", name);
    SetVariable(c, "directorylinktext", stem);
    std::string index_default(kIndexBefore);
    index_default += separator;
    index_default += kIndexAfter;
    if (!AppendBounded(c, out, call.TextOr(4, index_default))) return void(call.Value().clear());
    call.Value() = std::move(out);
}

// --- web addresses ---

void AddHttpWord(ModifierCall& call) {
    call.Value() = pathwords::AddHttp(call.Value());
}

std::string AddWww(std::string_view value) {
    if (value.empty()) return {};
    if (Slashed(value).find("://") != std::string::npos) return std::string(value);
    if (value.size() >= 4 && text::EqualsIgnoreCase(value.substr(0, 4), "www.")) return std::string(value);
    const std::string_view host = value.substr(0, value.find_first_of("/\\:?#"));
    if (host.find_first_not_of("0123456789.") == std::string_view::npos)
        return std::string(value);  // numeric
    if (std::count(host.begin(), host.end(), '.') > 2) return std::string(value);
    return "www." + std::string(value);
}

void AddWwwWord(ModifierCall& call) {
    call.Value() = AddWww(call.Value());
}

void AddHttpWww(ModifierCall& call) {
    call.Value() = pathwords::AddHttp(AddWww(call.Value()));
}

void NoHttpWord(ModifierCall& call) {
    call.Value() = pathwords::NoHttp(call.Value());
}

std::string NoHttpWww(std::string_view value) {
    std::string r = pathwords::NoHttp(value);
    if (r.size() >= 4 && text::EqualsIgnoreCase(std::string_view(r).substr(0, 4), "www.")) r.erase(0, 4);
    return r;
}

void NoHttpWwwWord(ModifierCall& call) {
    call.Value() = NoHttpWww(call.Value());
}

void OnlyRoot(ModifierCall& call) {
    std::string& v = call.Value();
    const std::size_t scheme = std::min(v.find("://"), v.find(":\\\\"));
    const std::size_t body = scheme == std::string::npos ? 0 : scheme + 3;
    std::string_view s = v;
    if (s.size() > body && IsSep(s.back())) s.remove_suffix(1);
    const std::size_t last = s.find_last_of("/\\");
    if (last == std::string_view::npos || last < body) return;  // only a host: nothing to take off
    v.resize(last + 1);
}

void OnlyDomain(ModifierCall& call) {
    call.Value() = HostOfAddress(call.Value());
}

void AddMailto(ModifierCall& call) {
    const std::string& v = call.Value();
    const std::size_t at = v.find('@', 1);
    if (at == std::string::npos) return;
    const std::size_t dot = v.find('.', at + 1);
    if (dot == std::string::npos || dot + 1 >= v.size()) return;
    const std::string link_text = call.Present(1) ? call.Text(1) : v;
    AssignBounded(call, "<a href=\"mailto:" + v + "\">" + link_text + "</a>");
}

// A link to the value with "http://" whose text is the host of the link text, in lower case: the
// pieces "addhttp", "onlydomain", "caselower" and "addhrefandlink" would assemble, without handing
// the value to the tag parser.
void ShortUrl(ModifierCall& call) {
    const std::string& v = call.Value();
    const std::string link_text = text::LowerCase(HostOfAddress(call.Present(1) ? call.Text(1) : v));
    const std::string address = pathwords::AddHttp(v);
    if (address.empty()) {
        call.Value() = link_text;
        return;
    }
    AssignBounded(call, "<a href=\"" + address + "\">" +
                            (link_text.empty() ? std::string("Click here") : link_text) + "</a>");
}

}  // namespace

void RegisterPathModifiers(ModifierRegistry& r) {
    // File names and paths.
    r.AddExact("onlyfilename", OnlyFileNameWord, "the file-name part of a path (after the last \\ or /)");
    r.AddExact("onlyfilenamename", FileNameWithoutExt, "the file-name part cut at its first \".\"");
    r.AddExact("filenamewithoutext", FileNameWithoutExt, "the file-name part cut at its first \".\"");
    r.AddExact("onlypath", OnlyPathWord, "the folder part of a path, without the file name");
    // "getextorname" begins with "getext": the longer prefix is tested first.
    r.AddPrefix("getextorname", GetExt<true>,
                "the first file in the root folder named the value + argument 1 (default *.*), relative");
    r.AddPrefix("getext", GetExt<false>,
                "the first file in the root folder named the value + argument 1 (default .*), relative");
    r.AddExact("goodfilename", GoodFileName,
               "a new file path in the root folder from the value (1: extension, 2: length; overwrite)");
    r.AddExact("legal", Legal, "the value made usable as a file name");
    r.AddExact("slash", ToSlashes, "every \\ becomes /");
    r.AddExact("slashes", ToSlashes, "every \\ becomes /");
    r.AddPrefix("backslash2slash", ToSlashes, "every \\ becomes /");
    r.AddPrefix("backslashtoslash", ToSlashes, "every \\ becomes /");
    r.AddExact("backslash", ToBackslashes, "every / becomes \\");
    r.AddExact("backslashes", ToBackslashes, "every / becomes \\");
    r.AddPrefix("slash2backslash", ToBackslashes, "every / becomes \\");
    r.AddPrefix("slashtobackslash", ToBackslashes, "every / becomes \\");
    r.AddPrefix("notrailingslash", NoTrailingSlash, "removes a trailing / or \\");
    r.AddPrefix("noendingslash", NoTrailingSlash, "removes a trailing / or \\");
    r.AddPrefix("withendingslash", WithTrailingSlash,
                "ends the path with one separator (\\ for Windows-style paths, / otherwise)");
    r.AddPrefix("withtrailingslash", WithTrailingSlash,
                "ends the path with one separator (\\ for Windows-style paths, / otherwise)");
    r.AddExact("pathnotlongerthan", PathNotLongerThan,
               "shortens a path to argument 1 characters, middle folders replaced by argument 2 (..)");
    r.AddPrefix("pathlevel", PathLevel, "the number of levels of the path below its root");
    r.AddExact("relroot", RelRoot, "the relative path from the file's folder back to the root folder");
    r.AddExact("relativeroot", RelRoot, "the relative path from the file's folder back to the root folder");
    r.AddExact("relativetoroot", RelativeToRoot, "the value made relative to the root address");
    r.AddExact("absoluteurl", AbsoluteUrlWord, "the web address of the file below the root address");
    r.AddPrefix("checkexist", CheckExist,
                "empty unless the named file (or the src of an <img>) exists; sets lastexistingfile");
    r.AddExact("template", Template,
               "appends the expanded text of the file argument 1 names (relative to the template folder)");
    r.AddPrefix("listfolder", ListFolder,
                "a nested HTML list of the folder's subfolders (files when the word holds \"file\")");
    r.AddPrefix("scanfolder", ListFolder,
                "a nested HTML list of the folder's subfolders (files when the word holds \"file\")");
    r.AddPrefix("readfolder", ListFolder,
                "a nested HTML list of the folder's subfolders (files when the word holds \"file\")");
    r.AddExact("directoryurl", DirectoryUrl, "a line of links to every folder step of the file's path");

    // Web addresses.
    r.AddExact("addhttp", AddHttpWord, "puts http:// in front unless the value holds ://");
    r.AddExact("addwww", AddWwwWord, "puts www. in front of a host name that lacks it");
    r.AddExact("addhttpwww", AddHttpWww, "addwww, then addhttp");
    r.AddExact("nohttp", NoHttpWord, "removes everything up to and including the first ://");
    r.AddExact("nohttpwww", NoHttpWwwWord, "nohttp, then a leading www.");
    r.AddExact("onlyroot", OnlyRoot, "the address without its last path step");
    r.AddExact("onlydomain", OnlyDomain, "the host name of the address");
    r.AddExact("addmailto", AddMailto, "a mailto link for an e-mail address (1: link text)");
    r.AddExact("shorturl", ShortUrl, "a link to the address showing its host (1: link text)");
    r.AddExact("shorl", ShortUrl, "a link to the address showing its host (1: link text)");

    RegisterHtmlModifiers(r);
}

}  // namespace rowsmith::tmpl
