#pragma once
// Helpers of the fault tests: a child process whose processor time and peak memory are measured, a
// small file system that fills up, and trees deeper than the longest path the system accepts (made,
// hashed and removed relative to open folders, since no whole path of them can be used).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace rowsmith::testing {

struct ChildUsage {
    int code = -1;           // the body's result (0..255), -1 when the child died otherwise
    double cpu_seconds = 0;  // user + system time of the child
    int64_t max_rss_bytes = 0;
};

// Runs `body` in a forked child and measures it (getrusage of the finished child).
ChildUsage RunMeasuredInChild(const std::function<int()>& body);

// How much slower than an optimised build this one runs: time limits are multiplied by it.
// Sanitizer and debug builds are many times slower, and AddressSanitizer adds shadow memory.
double SlowBuildFactor();

// For the body of a child process only: mounts an empty file system of `bytes` bytes on the folder,
// in a mount namespace of the child's own (so nothing outside the child ever sees it). False when the
// system does not allow it (no namespaces), with the reason in `why`.
// With `inodes`, it holds at most that many files and folders.
bool MountSmallFileSystem(const std::string& folder, std::size_t bytes, std::string& why, std::size_t inodes = 0);
// Writes a filler file into the folder until its file system has no room left; true when it got full.
bool FillFileSystem(const std::string& folder);

// Makes root/component/component/... `levels` deep (root must exist) with a file `file_name`
// holding `bytes` in every folder made. False when a level could not be made.
bool MakeDeepTree(const std::string& root, std::string_view component, int levels, std::string_view file_name,
                  std::string_view bytes);
// The same snapshot as TreeSnapshot (relative name -> "dir", "link:target" or "size:hash") for trees
// of any depth.
std::map<std::string, std::string> TreeSnapshotAt(const std::string& root);
// Removes a tree of any depth (the folder itself stays).
void RemoveTreeContentsAt(const std::string& root);

// Whether two files hold the same bytes, read in blocks (for files too big to hold twice).
// Sources a.txt, r.txt and sub/b.txt under `source`; beside them, in `root`, a folder "locked"
// (mode 0555) holding r.txt and a folder "open" holding a read-only r.txt, both readable by the
// ordinary user the permission cases run as. Returns the two folders.
struct LockedDestinations {
    std::string locked, open;
};
LockedDestinations MakeLockedDestinations(const std::string& root, const std::string& source);

bool SameFileBytes(const std::string& a, const std::string& b);

}  // namespace rowsmith::testing
