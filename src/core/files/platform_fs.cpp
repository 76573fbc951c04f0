#include "files/platform_fs.h"

#include <dirent.h>
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <sys/syscall.h>
#include <linux/openat2.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

namespace rowsmith::files::fs {

namespace {

thread_local int g_last_error = 0;

int Fail() {
    g_last_error = errno;
    return errno;
}

// Paths may hold any byte but NUL; a path with a NUL cannot name a file.
bool ToCPath(std::string_view path, std::string& out) {
    if (path.find('\0') != std::string_view::npos) {
        errno = EINVAL;
        Fail();
        return false;
    }
    out.assign(path);
    return true;
}

int64_t ToNs(const struct statx_timestamp& t) { return static_cast<int64_t>(t.tv_sec) * 1000000000LL + t.tv_nsec; }

uint32_t AttributesFor(std::string_view name, bool folder, bool writable) {
    uint32_t a = 0;
    if (folder) a |= kAttrFolder;
    if (!writable) a |= kAttrReadOnly;
    const std::size_t slash = name.find_last_of('/');
    const std::string_view base = slash == std::string_view::npos ? name : name.substr(slash + 1);
    if (!base.empty() && base[0] == '.') a |= kAttrHidden;
    return a;
}

// The program never changes its user: asked once, not once per file.
uid_t EffectiveUser() {
    static const uid_t uid = geteuid();
    return uid;
}

// Whether the mode bits let the effective user write, without a further system call. The read-only
// attribute is a fact of the file, not of the user's powers: for the superuser it means no write bit.
bool ModeAllowsWrite(const struct statx& st) {
    static const gid_t gid = getegid();
    const uid_t uid = EffectiveUser();
    if (uid == 0) return (st.stx_mode & 0222) != 0;
    if (st.stx_uid == uid) return (st.stx_mode & S_IWUSR) != 0;
    if (st.stx_gid == gid) return (st.stx_mode & S_IWGRP) != 0;
    return (st.stx_mode & S_IWOTH) != 0;
}

constexpr unsigned kFactsMask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_ATIME | STATX_CTIME |
                                STATX_BTIME | STATX_UID | STATX_GID | STATX_INO;

void FactsFromStatx(const struct statx& st, std::string_view display_name, PathFacts& out);

bool FillFacts(int dirfd, const char* path, std::string_view display_name, bool follow, PathFacts& out) {
    out = PathFacts{};
    struct statx st;
    if (statx(dirfd, path, AT_SYMLINK_NOFOLLOW, kFactsMask, &st) != 0) {
        Fail();
        return false;
    }
    out.present = true;
    out.is_symlink = S_ISLNK(st.stx_mode);
    // Only a link needs a second look, at what it points to; a dangling link has no facts of a file.
    if (out.is_symlink && follow && statx(dirfd, path, 0, kFactsMask, &st) != 0) {
        Fail();
        return false;
    }
    const bool link = out.is_symlink;
    FactsFromStatx(st, display_name, out);
    out.present = true;
    out.is_symlink = link;
    return true;
}

void FactsFromStatx(const struct statx& st, std::string_view display_name, PathFacts& out) {
    out.present = true;
    out.exists = true;
    out.is_folder = S_ISDIR(st.stx_mode);
    out.is_file = S_ISREG(st.stx_mode);
    out.size = out.is_file ? static_cast<int64_t>(st.stx_size) : 0;
    out.write_ns = ToNs(st.stx_mtime);
    out.access_ns = ToNs(st.stx_atime);
    out.creation_ns = (st.stx_mask & STATX_BTIME) ? ToNs(st.stx_btime) : ToNs(st.stx_ctime);
    out.device = (static_cast<uint64_t>(st.stx_dev_major) << 32) | st.stx_dev_minor;
    out.inode = st.stx_ino;
    out.mode = st.stx_mode & 07777;
    out.attributes = AttributesFor(display_name, out.is_folder, ModeAllowsWrite(st));
}

// The entries of an open folder without "." and "..", in the order the system returns them.
// The entries of an open folder, read straight with getdents64: a DIR stream would cost a copy of
// the descriptor and three more calls a folder (a scan of 100,000 files opens 1,111 folders). A read
// that fails ends the listing with what it had, as readdir would.
void ReadFolderItems(int dfd, std::vector<FolderItem>& items) {
    alignas(struct dirent64) char buffer[32768];
    for (;;) {
        const ssize_t got = getdents64(dfd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return;
        for (ssize_t at = 0; at < got;) {
            const struct dirent64* e = reinterpret_cast<const struct dirent64*>(buffer + at);
            at += e->d_reclen;
            const char* n = e->d_name;
            if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
            FolderItem item;
            item.name = n;
            if (e->d_type == DT_DIR) {
                item.is_folder = true;
            } else if (e->d_type == DT_LNK) {
                item.is_symlink = true;
            } else if (e->d_type == DT_UNKNOWN) {
                struct stat st;
                if (fstatat(dfd, n, &st, AT_SYMLINK_NOFOLLOW) == 0) {
                    item.is_folder = S_ISDIR(st.st_mode);
                    item.is_symlink = S_ISLNK(st.st_mode);
                }
            }
            items.push_back(std::move(item));
        }
    }
}

// The sort key of an item. The first eight key bytes, read as one big-endian number, decide most
// comparisons alone: names hold no NUL byte, so the zero padding of a short key sorts it before the
// longer keys it begins.
struct FoldedKey {
    uint64_t head;
    uint32_t offset;  // of the lower-case name in the key text
    uint32_t length;
    uint32_t index;   // of the item
};

// Puts the items in key order by following the permutation's cycles (each item moves once); the
// keys' indexes are used up.
void MoveIntoKeyOrder(std::vector<FolderItem>& items, std::vector<FoldedKey>& keys) {
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].index == UINT32_MAX) continue;
        std::size_t at = i;
        FolderItem held = std::move(items[i]);
        for (;;) {
            const std::size_t from = keys[at].index;
            keys[at].index = UINT32_MAX;
            if (from == i) {
                items[at] = std::move(held);
                break;
            }
            items[at] = std::move(items[from]);
            at = from;
        }
    }
}

// Sorts items by name ignoring ASCII case, ties by bytes. The lower-case keys are made once per item
// rather than once per comparison, and the sort moves small key records instead of the items. False
// (errno EOVERFLOW) for a folder too big for the keys.
bool SortByFoldedName(std::vector<FolderItem>& items) {
    std::size_t total = 0;
    for (const FolderItem& it : items) total += it.name.size();
    // A folder's names together stay far below 4 GiB; offsets past that would not fit the keys.
    if (items.size() >= UINT32_MAX || total > UINT32_MAX) {
        errno = EOVERFLOW;
        Fail();
        return false;
    }
    // Reused across listings, so a walk does not allocate per folder.
    static thread_local std::string lowered_buffer;
    static thread_local std::vector<FoldedKey> key_buffer;
    std::string& lowered = lowered_buffer;
    std::vector<FoldedKey>& keys = key_buffer;
    lowered.resize(total);
    keys.resize(items.size());
    // Fold each name into the key text and take its head.
    char* out = lowered.data();
    uint32_t offset = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::string& n = items[i].name;
        const uint32_t length = static_cast<uint32_t>(n.size());
        for (uint32_t j = 0; j < length; ++j) {
            const char c = n[j];
            out[offset + j] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        }
        uint64_t head = 0;
        for (uint32_t j = 0; j < 8 && j < length; ++j)
            head |= static_cast<uint64_t>(static_cast<unsigned char>(out[offset + j])) << (56 - 8 * j);
        keys[i] = FoldedKey{head, offset, length, static_cast<uint32_t>(i)};
        offset += length;
    }
    // Sort the keys, then the items after them.
    const std::string_view all(lowered);
    std::sort(keys.begin(), keys.end(), [&](const FoldedKey& x, const FoldedKey& y) {
        if (x.head != y.head) return x.head < y.head;
        // Bytes compare unsigned and a prefix sorts first, as std::string_view does.
        const int c = all.substr(x.offset, x.length).compare(all.substr(y.offset, y.length));
        if (c != 0) return c < 0;
        return items[x.index].name < items[y.index].name;
    });
    MoveIntoKeyOrder(items, keys);
    return true;
}

}  // namespace

int LastError() { return g_last_error; }

void SetLastError(int error) { g_last_error = error; }

bool GetFacts(std::string_view path, PathFacts& out) {
    std::string p;
    if (!ToCPath(path, p) || p.empty()) {
        out = PathFacts{};
        return false;
    }
    return FillFacts(AT_FDCWD, p.c_str(), p, true, out);
}

bool FileExists(std::string_view path) {
    std::string p;
    if (!ToCPath(path, p) || p.empty()) return false;
    struct stat st;
    return stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(std::string_view path) {
    std::string p;
    if (!ToCPath(path, p) || p.empty()) return false;
    struct stat st;
    return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathExists(std::string_view path) {
    std::string p;
    if (!ToCPath(path, p) || p.empty()) return false;
    struct stat st;
    return lstat(p.c_str(), &st) == 0;
}

bool IsReadOnly(const PathFacts& facts) { return (facts.attributes & kAttrReadOnly) != 0; }

bool SameFile(std::string_view a, std::string_view b) {
    PathFacts fa, fb;
    if (!GetFacts(a, fa) || !GetFacts(b, fb)) return false;
    return fa.device == fb.device && fa.inode == fb.inode;
}

void Folder::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool ListFolder(std::string_view folder, std::vector<FolderItem>& items, Folder* keep) {
    items.clear();
    if (keep) keep->Close();
    std::string p;
    if (!ToCPath(folder, p) || p.empty()) return false;
    const int fd = ::open(p.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        Fail();
        return false;
    }
    // The listing only moves the descriptor's position, which the *at calls of a kept folder ignore.
    ReadFolderItems(fd, items);
    if (keep)
        *keep = Folder(fd);
    else
        ::close(fd);
    if (!SortByFoldedName(items)) {
        items.clear();
        if (keep) keep->Close();
        return false;
    }
    return true;
}

bool GetItemFacts(std::string_view folder, std::string_view name, PathFacts& out) {
    std::string full(folder);
    if (!full.empty() && full.back() != '/') full += '/';
    full += name;
    std::string p;
    if (!ToCPath(full, p)) return false;
    // A link to a folder keeps the folder facts; the walk itself never enters it (see ListFolder).
    return FillFacts(AT_FDCWD, p.c_str(), name, true, out);
}

bool GetItemFacts(const Folder& folder, std::string_view name, PathFacts& out) {
    std::string p;
    if (!folder.IsOpen() || !ToCPath(name, p) || p.empty() || p.find('/') != std::string::npos) {
        out = PathFacts{};
        return false;
    }
    return FillFacts(folder.Descriptor(), p.c_str(), name, true, out);
}

int MakeFolder(std::string_view path) {
    std::string p;
    if (!ToCPath(path, p) || p.empty()) return EINVAL;
    if (mkdir(p.c_str(), 0777) != 0) return Fail();
    return 0;
}

bool DeleteFile(std::string_view path) {
    std::string p;
    if (!ToCPath(path, p) || p.empty()) return false;
    if (unlink(p.c_str()) != 0) {
        Fail();
        return false;
    }
    return true;
}

bool RenameReplace(std::string_view from, std::string_view to) {
    std::string a, b;
    if (!ToCPath(from, a) || !ToCPath(to, b)) return false;
    if (rename(a.c_str(), b.c_str()) != 0) {
        Fail();
        return false;
    }
    return true;
}

bool RenameNoReplace(std::string_view from, std::string_view to) {
    std::string a, b;
    if (!ToCPath(from, a) || !ToCPath(to, b)) return false;
    if (renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EINVAL || errno == ENOSYS) {
        // File systems without the flag: a hard link fails when the name exists, which keeps the rule.
        if (link(a.c_str(), b.c_str()) == 0) {
            unlink(a.c_str());
            return true;
        }
    }
    Fail();
    return false;
}

Folder& Folder::operator=(Folder&& o) noexcept {
    if (this != &o) {
        Close();
        fd_ = o.fd_;
        o.fd_ = -1;
    }
    return *this;
}

bool OpenFolderHandle(std::string_view path, Folder& out) {
    std::string p;
    if (!ToCPath(path, p) || p.empty()) return false;
    const int fd = ::open(p.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        Fail();
        return false;
    }
    out = Folder(fd);
    return true;
}

namespace {

// Kernels without openat2: the components are walked one by one without following any link, which
// keeps every write beneath the root at the price of refusing links that would stay below it.
int OpenBeneathByWalk(int root, const std::string& relative) {
    int fd = fcntl(root, F_DUPFD_CLOEXEC, 0);
    std::size_t pos = 0;
    while (fd >= 0 && pos < relative.size()) {
        std::size_t slash = relative.find('/', pos);
        if (slash == std::string::npos) slash = relative.size();
        const std::string c = relative.substr(pos, slash - pos);
        pos = slash + 1;
        if (c.empty() || c == ".") continue;
        if (c == "..") {
            ::close(fd);
            errno = EXDEV;
            return -1;
        }
        const int next = ::openat(fd, c.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int err = errno;
        ::close(fd);
        if (next < 0) {
            // A link where a folder is expected: it is not followed, so it counts as leading out.
            errno = err == ELOOP ? EXDEV : err;
            return -1;
        }
        fd = next;
    }
    return fd;
}

}  // namespace

bool OpenBeneath(const Folder& root, std::string_view relative, Folder& out) {
    std::string p;
    if (!root.IsOpen() || !ToCPath(relative, p)) {
        if (!root.IsOpen()) errno = EBADF, Fail();
        return false;
    }
    if (p.empty()) p = ".";
    struct open_how how {};
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    static std::atomic<bool> no_openat2{false};
    int fd = -1;
    if (!no_openat2.load(std::memory_order_relaxed)) {
        fd = static_cast<int>(syscall(SYS_openat2, root.Descriptor(), p.c_str(), &how, sizeof how));
        if (fd < 0 && (errno == ENOSYS || errno == EPERM)) no_openat2 = true;
        // A link to /proc's magic links is refused as ELOOP: it leads out all the same.
        if (fd < 0 && errno == ELOOP) errno = EXDEV;
        if (fd < 0 && errno == EAGAIN) fd = OpenBeneathByWalk(root.Descriptor(), p);
    }
    if (no_openat2.load(std::memory_order_relaxed)) fd = OpenBeneathByWalk(root.Descriptor(), p);
    if (fd < 0) {
        Fail();
        return false;
    }
    out = Folder(fd);
    return true;
}

int MakeFolderAt(const Folder& parent, std::string_view name) {
    std::string n;
    if (!parent.IsOpen() || !ToCPath(name, n) || n.empty()) return EINVAL;
    if (mkdirat(parent.Descriptor(), n.c_str(), 0777) != 0) return Fail();
    return 0;
}

bool RemoveEmptyFolderAt(const Folder& parent, std::string_view name) {
    std::string n;
    if (!parent.IsOpen() || !ToCPath(name, n) || n.empty()) return false;
    return unlinkat(parent.Descriptor(), n.c_str(), AT_REMOVEDIR) == 0 || (Fail(), false);
}

bool GetFactsAt(const Folder& folder, std::string_view name, bool follow, PathFacts& out) {
    std::string n;
    if (!folder.IsOpen() || !ToCPath(name, n) || n.empty()) {
        out = PathFacts{};
        return false;
    }
    return FillFacts(folder.Descriptor(), n.c_str(), name, follow, out);
}

bool CanWriteAt(const Folder& folder, std::string_view name) {
    std::string n;
    if (!folder.IsOpen() || !ToCPath(name, n) || n.empty()) return false;
    return faccessat(folder.Descriptor(), n.c_str(), W_OK, AT_EACCESS) == 0;
}

bool RenameAt(const Folder& folder, std::string_view from, std::string_view to, bool replace) {
    std::string a, b;
    if (!folder.IsOpen() || !ToCPath(from, a) || !ToCPath(to, b)) return false;
    const int d = folder.Descriptor();
    if (replace) {
        if (renameat(d, a.c_str(), d, b.c_str()) == 0) return true;
        Fail();
        return false;
    }
    if (renameat2(d, a.c_str(), d, b.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EINVAL || errno == ENOSYS) {
        // File systems without the flag: a hard link fails when the name exists, which keeps the rule.
        if (linkat(d, a.c_str(), d, b.c_str(), 0) == 0) {
            unlinkat(d, a.c_str(), 0);
            return true;
        }
    }
    Fail();
    return false;
}

bool DeleteIfSame(const Folder& folder, std::string_view name, uint64_t device, uint64_t inode) {
    PathFacts f;
    if (!GetFactsAt(folder, name, false, f)) return false;
    if (f.is_symlink || f.device != device || f.inode != inode) return false;
    std::string n;
    if (!ToCPath(name, n) || unlinkat(folder.Descriptor(), n.c_str(), 0) != 0) {
        Fail();
        return false;
    }
    return true;
}

std::string CurrentFolder() {
    std::string buf(4096, '\0');
    for (;;) {
        if (getcwd(buf.data(), buf.size())) {
            buf.resize(std::strlen(buf.c_str()));
            return buf;
        }
        if (errno != ERANGE || buf.size() > (1u << 20)) return "/";
        buf.resize(buf.size() * 2);
    }
}

std::string ExecutableFolder() {
    std::string buf(PATH_MAX, '\0');
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0) return CurrentFolder();
    buf.resize(static_cast<std::size_t>(n));
    const std::size_t slash = buf.find_last_of('/');
    return slash == 0 ? "/" : buf.substr(0, slash);
}

File& File::operator=(File&& o) noexcept {
    if (this != &o) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = o.fd_;
        error_ = o.error_;
        o.fd_ = -1;
    }
    return *this;
}

File::~File() {
    if (fd_ >= 0) ::close(fd_);
}

bool File::OpenRead(std::string_view path) {
    std::string p;
    if (fd_ >= 0) Close();
    if (!ToCPath(path, p) || p.empty()) {
        error_ = ENOENT;
        return false;
    }
    fd_ = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        error_ = Fail();
        return false;
    }
    return true;
}

bool File::OpenSource(std::string_view path, PathFacts& facts) {
    std::string p;
    if (fd_ >= 0) Close();
    not_regular_ = false;
    facts = PathFacts{};
    if (!ToCPath(path, p) || p.empty()) {
        error_ = ENOENT;
        return false;
    }
    // O_NONBLOCK: opening a pipe or a device must not wait for a writer; it is refused below. A
    // regular file reads the same with or without the flag.
    fd_ = ::open(p.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) {
        error_ = Fail();
        return false;
    }
    if (!GetFacts(facts) || !facts.is_file) {
        not_regular_ = facts.exists && !facts.is_file;
        error_ = not_regular_ ? 0 : g_last_error;
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    const std::size_t slash = p.find_last_of('/');
    facts.attributes = AttributesFor(slash == std::string::npos ? p : p.substr(slash + 1), false,
                                     (facts.attributes & kAttrReadOnly) == 0);
    // O_NONBLOCK stays: reads of a regular file never wait for anything else, with or without it.
    return true;
}

bool File::GetFacts(PathFacts& out) const {
    out = PathFacts{};
    struct statx st;
    if (fd_ < 0 || statx(fd_, "", AT_EMPTY_PATH, kFactsMask, &st) != 0) {
        if (fd_ >= 0) Fail();
        return false;
    }
    FactsFromStatx(st, "", out);
    return true;
}

bool File::CreateNewAt(const Folder& folder, std::string_view name, uint32_t mode) {
    std::string n;
    if (fd_ >= 0) Close();
    if (!folder.IsOpen() || !ToCPath(name, n) || n.empty()) {
        error_ = EINVAL;
        return false;
    }
    fd_ = ::openat(folder.Descriptor(), n.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                   static_cast<mode_t>(mode & 0777));
    if (fd_ < 0) {
        error_ = Fail();
        return false;
    }
    return true;
}

bool File::CreateUnnamed(const Folder& folder, uint32_t mode) {
    if (fd_ >= 0) Close();
    if (!folder.IsOpen()) {
        error_ = EBADF;
        return false;
    }
    fd_ = ::openat(folder.Descriptor(), ".", O_WRONLY | O_TMPFILE | O_CLOEXEC, static_cast<mode_t>(mode & 0777));
    if (fd_ < 0) {
        error_ = Fail();
        return false;
    }
    return true;
}

bool File::LinkAt(const Folder& folder, std::string_view name) {
    std::string n;
    if (fd_ < 0 || !folder.IsOpen() || !ToCPath(name, n) || n.empty()) {
        error_ = EINVAL;
        return false;
    }
    // The superuser may link a descriptor itself; everyone else goes through its /proc name, which
    // needs no privilege.
    if (EffectiveUser() == 0 && linkat(fd_, "", folder.Descriptor(), n.c_str(), AT_EMPTY_PATH) == 0) return true;
    if (EffectiveUser() == 0 && errno == EEXIST) {
        error_ = Fail();
        return false;
    }
    char proc[64];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd_);
    if (linkat(AT_FDCWD, proc, folder.Descriptor(), n.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno == ENOENT && linkat(fd_, "", folder.Descriptor(), n.c_str(), AT_EMPTY_PATH) == 0) return true;
    error_ = Fail();
    return false;
}

bool File::CreateNew(std::string_view path, uint32_t mode) {
    std::string p;
    if (fd_ >= 0) Close();
    if (!ToCPath(path, p) || p.empty()) {
        error_ = EINVAL;
        return false;
    }
    fd_ = ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode & 0777));
    if (fd_ < 0) {
        error_ = Fail();
        return false;
    }
    return true;
}

bool File::CreateTemporary(std::string_view folder, std::string& path_out) {
    static std::atomic<uint64_t> counter{0};
    // One salt per process: names differ between processes, the counter makes them differ within one
    // (and a name taken meanwhile is simply passed over). A random device per file costs more than the file.
    static const uint64_t salt = [] {
        std::random_device rd;
        return (static_cast<uint64_t>(rd()) << 32) ^ static_cast<uint64_t>(getpid());
    }();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[64];
        std::snprintf(name, sizeof name, ".rowsmith-%016llx.tmp",
                      static_cast<unsigned long long>(salt + counter.fetch_add(1) * 0x9E3779B97F4A7C15ULL));
        std::string p(folder);
        if (!p.empty() && p.back() != '/') p += '/';
        p += name;
        if (CreateNew(p)) {
            path_out = p;
            return true;
        }
        if (error_ != EEXIST) return false;
    }
    return false;
}

int64_t File::Read(char* buffer, int64_t n) {
    for (;;) {
        const ssize_t r = ::read(fd_, buffer, static_cast<std::size_t>(n));
        if (r >= 0) return r;
        if (errno == EINTR) continue;
        error_ = Fail();
        return -1;
    }
}

int64_t File::ReadAt(char* buffer, int64_t n, int64_t offset) {
    for (;;) {
        const ssize_t r = ::pread(fd_, buffer, static_cast<std::size_t>(n), offset);
        if (r >= 0) return r;
        if (errno == EINTR) continue;
        error_ = Fail();
        return -1;
    }
}

bool File::Write(const char* data, int64_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd_, data, static_cast<std::size_t>(std::min<int64_t>(n, 1 << 30)));
        if (w < 0) {
            if (errno == EINTR) continue;
            error_ = Fail();
            return false;
        }
        data += w;
        n -= w;
    }
    return true;
}

namespace {

void ToTimespec(int64_t ns, struct timespec& ts) {
    ts.tv_sec = ns / 1000000000LL;
    ts.tv_nsec = ns % 1000000000LL;
    if (ts.tv_nsec < 0) ts.tv_nsec += 1000000000LL, ts.tv_sec -= 1;
}

}  // namespace

bool File::SetTimes(int64_t access_ns, int64_t write_ns) {
    struct timespec ts[2];
    ToTimespec(access_ns, ts[0]);
    ToTimespec(write_ns, ts[1]);
    if (fd_ < 0 || futimens(fd_, ts) != 0) {
        error_ = fd_ < 0 ? EBADF : Fail();
        return false;
    }
    return true;
}

namespace {

// The process's umask, read once without changing it (the kernel reports it in the status file);
// unknown means every created file gets its bits set explicitly.
int ProcessUmask() {
    static const int mask = [] {
        std::FILE* f = std::fopen("/proc/self/status", "re");
        if (!f) return -1;
        char line[256];
        int found = -1;
        while (std::fgets(line, sizeof line, f))
            if (std::strncmp(line, "Umask:", 6) == 0) {
                found = static_cast<int>(std::strtol(line + 6, nullptr, 8));
                break;
            }
        std::fclose(f);
        return found;
    }();
    return mask;
}

}  // namespace

bool File::CreatedWithMode(uint32_t mode) {
    const int mask = ProcessUmask();
    return mask >= 0 && (mode & 07000) == 0 && (mode & 0777 & static_cast<uint32_t>(mask)) == 0;
}

bool File::SetMode(uint32_t mode) {
    if (fd_ < 0 || fchmod(fd_, static_cast<mode_t>(mode & 07777)) != 0) {
        error_ = fd_ < 0 ? EBADF : Fail();
        return false;
    }
    return true;
}

bool File::Sync() {
    if (fd_ < 0 || ::fsync(fd_) != 0) {
        error_ = fd_ < 0 ? EBADF : Fail();
        return false;
    }
    return true;
}

bool File::Close() {
    if (fd_ < 0) return error_ == 0;
    const int r = ::close(fd_);
    fd_ = -1;
    if (r != 0) {
        error_ = Fail();
        return false;
    }
    return true;
}

int64_t File::Size() const {
    struct stat st;
    if (fd_ < 0 || fstat(fd_, &st) != 0) return -1;
    return st.st_size;
}

bool CopyContents(File& from, File& to) {
    // copy_file_range lets the kernel (or the file system) move the bytes; fall back to read/write.
    bool kernel_copy = true;
    for (;;) {
        if (kernel_copy) {
            const ssize_t n = copy_file_range(from.Descriptor(), nullptr, to.Descriptor(), nullptr, 1 << 30, 0);
            if (n > 0) continue;
            if (n == 0) return true;
            if (errno == EINTR) continue;
            if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP || errno == EBADF) {
                kernel_copy = false;
                continue;
            }
            Fail();
            return false;
        }
        static thread_local std::vector<char> buffer(1 << 20);
        const int64_t r = from.Read(buffer.data(), static_cast<int64_t>(buffer.size()));
        if (r < 0) return false;
        if (r == 0) return true;
        if (!to.Write(buffer.data(), r)) return false;
    }
}

bool SetTimes(std::string_view path, int64_t access_ns, int64_t write_ns) {
    std::string p;
    if (!ToCPath(path, p)) return false;
    struct timespec ts[2];
    ts[0].tv_sec = access_ns / 1000000000LL;
    ts[0].tv_nsec = access_ns % 1000000000LL;
    ts[1].tv_sec = write_ns / 1000000000LL;
    ts[1].tv_nsec = write_ns % 1000000000LL;
    if (ts[0].tv_nsec < 0) ts[0].tv_nsec += 1000000000LL, ts[0].tv_sec -= 1;
    if (ts[1].tv_nsec < 0) ts[1].tv_nsec += 1000000000LL, ts[1].tv_sec -= 1;
    if (utimensat(AT_FDCWD, p.c_str(), ts, 0) != 0) {
        Fail();
        return false;
    }
    return true;
}

void CopyPermissions(std::string_view facts_source, std::string_view path) {
    std::string s, p;
    if (!ToCPath(facts_source, s) || !ToCPath(path, p)) return;
    struct stat st;
    if (stat(s.c_str(), &st) == 0) chmod(p.c_str(), st.st_mode & 07777);
}

bool LaunchDetached(const std::vector<std::string>& argv) {
    if (argv.empty()) return false;
    std::vector<std::string> copy(argv);
    std::vector<char*> args;
    for (auto& a : copy) {
        if (a.find('\0') != std::string::npos) return false;
        args.push_back(a.data());
    }
    args.push_back(nullptr);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int r = posix_spawnp(&pid, args[0], nullptr, &attr, args.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (r != 0) {
        g_last_error = r;
        return false;
    }
    // Reap it when it ends quickly with a failure code, without blocking on a long-running program.
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid && WIFEXITED(status) && WEXITSTATUS(status) != 0) return false;
    return true;
}

bool OpenWithDesktop(std::string_view path) {
    if (path.empty()) return false;
    return LaunchDetached({"xdg-open", std::string(path)});
}

}  // namespace rowsmith::files::fs
