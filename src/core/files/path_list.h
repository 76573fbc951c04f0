#pragma once
// File lists given from outside (`find ... | rowsmith-cli run --files-from -`): splitting the text
// into paths, and placing each path inside the source folder as the scan would have found it.

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "files/platform_fs.h"

namespace rowsmith::files {

// Splits a list of paths. With `nul` the paths are separated by NUL bytes and taken exactly as they
// are. Otherwise one path a line at LF, and one CR at the end of a line is dropped (lists written by
// Windows tools end in CR LF; a name that really ends in CR needs `nul`). Empty entries are dropped.
// False with `error` when a line holds a NUL byte: a NUL-separated list read as lines.
bool SplitPathList(std::string_view text, bool nul, std::vector<std::string>& paths, std::string& error);

enum class ListedPathKind : uint8_t {
    Inside,      // a file (or anything else) below the source that exists, or a dangling link
    Outside,     // lexically not below the source (the source itself included)
    BehindLink,  // a folder on the way is a link, which the scan never enters
    Missing,     // nothing is there, or a folder on the way is not a folder
};

struct ListedPath {
    ListedPathKind Kind = ListedPathKind::Missing;
    std::string Full;    // the path normalised ("." and ".." removed), absolute
    std::string Folder;  // the folder as the scan spells it: the source, "/", the subfolders, "/"
    std::string Name;
    std::string Link;     // BehindLink: the link on the way
    fs::PathFacts Facts;  // Inside: the facts the scan takes (links followed)
    bool HasFacts = false;
};

// Places the paths of one list below one source folder. Folders on the way are looked at once each.
class ListedPathPlacer {
  public:
    // `source_root`: absolute and normalised (the file list's SourceRoot); `base`: the absolute folder
    // relative paths are taken from (the command line's current folder, as `find src` prints them).
    ListedPathPlacer(std::string source_root, std::string base);
    // The path, relative or absolute, must lie below the source after normalising.
    ListedPath Place(std::string_view path);

  private:
    // The kind a folder below the source gives every path through it: Inside when it is a real folder.
    ListedPathKind FolderKind(const std::string& folder, std::string& link);

    std::string source_;
    std::string base_;
    std::string prefix_;  // source_ with its trailing separator
    std::unordered_map<std::string, std::pair<ListedPathKind, std::string>> folders_;
};

}  // namespace rowsmith::files
