#pragma once
// The one module that talks to the operating system's file calls: facts of a path, folder listing,
// folder creation, deletion, atomic replacement, copying and raw file handles. Everything above it
// works on the results, so the rest of the core stays testable and portable.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rowsmith::files::fs {

// File attribute bits as the file list shows them.
constexpr uint32_t kAttrReadOnly = 1;
constexpr uint32_t kAttrHidden = 2;
constexpr uint32_t kAttrFolder = 16;

struct PathFacts {
    bool exists = false;
    bool is_folder = false;
    bool is_file = false;       // a regular file (a link to one counts as a file)
    bool is_symlink = false;    // the path itself is a symbolic link
    bool present = false;       // the path itself exists (a dangling link too), whatever the result
    int64_t size = 0;
    int64_t write_ns = 0;       // Unix time in nanoseconds
    int64_t creation_ns = 0;    // birth time where the file system keeps it, else the change time
    int64_t access_ns = 0;
    uint32_t attributes = 0;
    uint32_t mode = 0;          // permission bits (07777) of what the path names
    uint64_t device = 0;
    uint64_t inode = 0;
};

// Facts of a path, following symbolic links (a dangling link reports exists = false).
bool GetFacts(std::string_view path, PathFacts& out);
bool FileExists(std::string_view path);    // a regular file (or a link to one)
bool FolderExists(std::string_view path);  // a folder (or a link to one)
bool PathExists(std::string_view path);    // anything, including a dangling link
// Whether these facts carry the read-only attribute: the write bit of the user's class is off. For
// the superuser, who could write anyway, a file is read-only when it has no write bit at all.
bool IsReadOnly(const PathFacts& facts);
// The same file system object (device and inode), following links.
bool SameFile(std::string_view a, std::string_view b);

struct FolderItem {
    std::string name;
    bool is_folder = false;   // a real folder; links to folders are not folders for the walk
    bool is_symlink = false;
};

// A folder held open as a handle for the *at calls: its items are looked at without walking the
// whole path each time, and a destination folder resolved once stays the folder written into, whatever
// its path leads to later (a folder swapped for a link).
class Folder {
public:
    Folder() = default;
    explicit Folder(int fd) : fd_(fd) {}
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    Folder(Folder&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
    Folder& operator=(Folder&& o) noexcept;
    ~Folder() { Close(); }
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }

private:
    int fd_ = -1;
};

// The items of a folder without "." and "..", sorted by name ignoring ASCII case (ties by bytes),
// so that lists and runs are reproducible. Returns false when the folder cannot be listed. With
// `keep`, the folder stays open there (closed when it cannot be listed).
bool ListFolder(std::string_view folder, std::vector<FolderItem>& items, Folder* keep = nullptr);
// Facts of an item of a listed folder; links are followed for the facts (the walk still never
// enters a link to a folder, because ListFolder does not report it as a folder).
bool GetItemFacts(std::string_view folder, std::string_view name, PathFacts& out);
// The same for an item of a folder kept open by ListFolder.
bool GetItemFacts(const Folder& folder, std::string_view name, PathFacts& out);

// Creates one folder. Returns 0 on success, else the system error number.
int MakeFolder(std::string_view path);
bool DeleteFile(std::string_view path);
// Atomically replaces `to` by `from` (both in the same folder).
bool RenameReplace(std::string_view from, std::string_view to);
// Renames only when `to` does not exist yet (no replacement); false with errno EEXIST otherwise.
bool RenameNoReplace(std::string_view from, std::string_view to);

// Opens a folder by its path, links followed (the user named it).
bool OpenFolderHandle(std::string_view path, Folder& out);
// Opens `relative` (components without a leading "/"; empty: root itself) beneath `root`: links in it
// may lead anywhere below root, never out of it (false with LastError EXDEV), nor through /proc's links.
bool OpenBeneath(const Folder& root, std::string_view relative, Folder& out);
// Creates the folder `name` in `parent`. Returns 0 on success, else the system error number.
int MakeFolderAt(const Folder& parent, std::string_view name);
// Removes the folder `name` in `parent` if it is empty (anything in it keeps it). True when removed.
bool RemoveEmptyFolderAt(const Folder& parent, std::string_view name);
// Facts of `name` in `folder`: of the entry itself, or with `follow` of what a link leads to.
bool GetFactsAt(const Folder& folder, std::string_view name, bool follow, PathFacts& out);
// Whether this user may write `name` in `folder` (permission bits, groups and access lists).
bool CanWriteAt(const Folder& folder, std::string_view name);
// Renames within one folder; without `replace` an existing `to` is kept (false with EEXIST).
bool RenameAt(const Folder& folder, std::string_view from, std::string_view to, bool replace);
// Deletes `name` only while it is the file system object (device, inode) given: a name this process
// did not create, or one somebody else took meanwhile, is never deleted.
bool DeleteIfSame(const Folder& folder, std::string_view name, uint64_t device, uint64_t inode);

std::string CurrentFolder();
std::string ExecutableFolder();

// A raw file handle that closes itself.
class File {
public:
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& o) noexcept : fd_(o.fd_), error_(o.error_), not_regular_(o.not_regular_) { o.fd_ = -1; }
    File& operator=(File&& o) noexcept;
    ~File();

    bool OpenRead(std::string_view path);
    // Opens a source for reading without waiting for anything (a pipe put in its place, a device) and
    // takes its facts from the open descriptor. False when it cannot be opened (Error) or is not a
    // regular file (NotRegular; the descriptor is closed again).
    bool OpenSource(std::string_view path, PathFacts& facts);
    bool NotRegular() const { return not_regular_; }
    // Creates a new file `name` in `folder`; fails when the name exists, even as a link.
    bool CreateNewAt(const Folder& folder, std::string_view name, uint32_t mode = 0666);
    // Creates a file without a name in `folder`, given one by LinkAt when complete, so that nothing
    // unfinished is ever seen under a name and a process that dies leaves nothing behind. False with
    // EOPNOTSUPP (or EISDIR, EINVAL) where the file system cannot.
    bool CreateUnnamed(const Folder& folder, uint32_t mode = 0666);
    // Gives the open file (made by CreateUnnamed) the name `name` in `folder`; EEXIST when it is taken.
    bool LinkAt(const Folder& folder, std::string_view name);
    // Facts of the open file itself.
    bool GetFacts(PathFacts& out) const;
    // Creates a new file; fails when it exists.
    // `mode`: the permission bits to create it with (the umask applies).
    bool CreateNew(std::string_view path, uint32_t mode = 0666);
    // Creates a uniquely named hidden temporary file in `folder` and returns its path.
    bool CreateTemporary(std::string_view folder, std::string& path_out);
    bool IsOpen() const { return fd_ >= 0; }
    // Reads up to n bytes; returns the count, 0 at the end, -1 on error.
    int64_t Read(char* buffer, int64_t n);
    int64_t ReadAt(char* buffer, int64_t n, int64_t offset);
    // Writes all n bytes; false on any error.
    bool Write(const char* data, int64_t n);
    // Times and permission bits of the open file itself, without looking its path up again.
    bool SetTimes(int64_t access_ns, int64_t write_ns);
    bool SetMode(uint32_t mode);
    // Whether a file created with these permission bits already has them: no set-id or sticky bit,
    // and none that the process's umask takes away.
    static bool CreatedWithMode(uint32_t mode);
    bool Close();
    // Forces what was written to the disk (fsync): a file renamed over another after this survives a
    // power cut whole.
    bool Sync();
    int64_t Size() const;
    int Error() const { return error_; }
    int Descriptor() const { return fd_; }

private:
    int fd_ = -1;
    int error_ = 0;
    bool not_regular_ = false;
};

// Copies the bytes of an open source to an open destination (copy_file_range where possible).
bool CopyContents(File& from, File& to);
// Sets the modification (and access) time of a path.
bool SetTimes(std::string_view path, int64_t access_ns, int64_t write_ns);
// Applies the permission bits of `facts_source` to `path` (best effort).
void CopyPermissions(std::string_view facts_source, std::string_view path);
// Starts a program detached from this process (arguments as given, no shell); true when it started.
bool LaunchDetached(const std::vector<std::string>& argv);
// Hands a document to the desktop's "open" handler (xdg-open).
bool OpenWithDesktop(std::string_view path);

// The error number of the last failing call of this module on this thread.
int LastError();
// Sets it, for a caller that reports a failure found without a failing call of this module.
void SetLastError(int error);

}  // namespace rowsmith::files::fs
