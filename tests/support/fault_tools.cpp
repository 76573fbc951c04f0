#include "support/fault_tools.h"

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace rowsmith::testing {

namespace {

// Closes a descriptor when it goes out of scope.
struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    ~Fd() {
        if (fd >= 0) close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool WriteSmallFile(const std::string& path, std::string_view text) {
    const Fd f(open(path.c_str(), O_WRONLY | O_CLOEXEC));
    return f.fd >= 0 && WriteAll(f.fd, text);
}

// The entries of an open folder, without "." and "..". The descriptor stays open.
std::vector<std::string> Entries(int dir_fd) {
    std::vector<std::string> out;
    const int copy = dup(dir_fd);
    if (copy < 0) return out;
    DIR* d = fdopendir(copy);
    if (!d) {
        close(copy);
        return out;
    }
    rewinddir(d);
    while (const dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") out.push_back(name);
    }
    closedir(d);
    return out;
}

// The same hash as TreeSnapshot's.
std::string HashOf(int fd) {
    uint64_t h = 1469598103934665603ULL;
    uint64_t size = 0;
    char buf[1 << 16];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        size += static_cast<uint64_t>(n);
        for (ssize_t i = 0; i < n; ++i) h = (h ^ static_cast<unsigned char>(buf[i])) * 1099511628211ULL;
    }
    return std::to_string(size) + ":" + std::to_string(h);
}

void SnapshotInto(int dir_fd, const std::string& prefix, std::map<std::string, std::string>& out) {
    for (const std::string& name : Entries(dir_fd)) {
        const std::string rel = prefix.empty() ? name : prefix + "/" + name;
        struct stat st;
        if (fstatat(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISLNK(st.st_mode)) {
            std::string target(4096, '\0');
            const ssize_t n = readlinkat(dir_fd, name.c_str(), target.data(), target.size());
            target.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
            out[rel] = "link:" + target;
        } else if (S_ISDIR(st.st_mode)) {
            out[rel] = "dir";
            const Fd sub(openat(dir_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (sub.fd >= 0) SnapshotInto(sub.fd, rel, out);
        } else {
            const Fd f(openat(dir_fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
            out[rel] = f.fd >= 0 && S_ISREG(st.st_mode) ? HashOf(f.fd) : std::string("special");
        }
    }
}

void RemoveContents(int dir_fd) {
    for (const std::string& name : Entries(dir_fd)) {
        struct stat st;
        if (fstatat(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            fchmodat(dir_fd, name.c_str(), 0700, 0);
            {
                const Fd sub(openat(dir_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
                if (sub.fd >= 0) RemoveContents(sub.fd);
            }
            unlinkat(dir_fd, name.c_str(), AT_REMOVEDIR);
        } else {
            unlinkat(dir_fd, name.c_str(), 0);
        }
    }
}

}  // namespace

ChildUsage RunMeasuredInChild(const std::function<int()>& body) {
    ChildUsage u;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return u;
    if (pid == 0) {
        const int r = body();
        std::fflush(nullptr);
        _exit(r & 0xFF);
    }
    int status = 0;
    struct rusage ru {};
    if (wait4(pid, &status, 0, &ru) != pid) return u;
    u.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    u.cpu_seconds = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                    static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    u.max_rss_bytes = static_cast<int64_t>(ru.ru_maxrss) * 1024;  // Linux counts kilobytes
    return u;
}

double SlowBuildFactor() {
#if defined(__SANITIZE_ADDRESS__)
    return 20;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return 20;
#endif
#endif
#ifndef NDEBUG
    return 5;
#else
    return 1;
#endif
}

bool MountSmallFileSystem(const std::string& folder, std::size_t bytes, std::string& why, std::size_t inodes) {
    const uid_t uid = geteuid();
    const gid_t gid = getegid();
    if (uid == 0) {
        if (unshare(CLONE_NEWNS) != 0) {
            why = std::string("unshare: ") + std::strerror(errno);
            return false;
        }
    } else {
        // An ordinary user may mount inside a user namespace of its own, as root of that namespace.
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
            why = std::string("unshare: ") + std::strerror(errno);
            return false;
        }
        WriteSmallFile("/proc/self/setgroups", "deny");
        if (!WriteSmallFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !WriteSmallFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")) {
            why = "cannot map the user into its namespace";
            return false;
        }
    }
    // Without this the mount could spread back to the parent's namespace through shared mounts.
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        why = std::string("making mounts private: ") + std::strerror(errno);
        return false;
    }
    std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
    if (inodes > 0) options += ",nr_inodes=" + std::to_string(inodes);
    if (mount("rowsmith-test", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
        why = std::string("mount: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool FillFileSystem(const std::string& folder) {
    const std::string path = folder + "/filler";
    const Fd f(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (f.fd < 0) return errno == ENOSPC;
    const std::string block(4096, 'f');
    for (int i = 0; i < (1 << 20); ++i) {
        // A short write took the last bytes that fit; the next write reports the lack of room.
        if (write(f.fd, block.data(), block.size()) < 0) return errno == ENOSPC;
    }
    return false;
}

bool MakeDeepTree(const std::string& root, std::string_view component, int levels, std::string_view file_name,
                  std::string_view bytes) {
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const std::string comp(component);
    const std::string file(file_name);
    for (int level = 0; level < levels; ++level) {
        if (mkdirat(fd, comp.c_str(), 0755) != 0 && errno != EEXIST) break;
        const int sub = openat(fd, comp.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(fd);
        fd = sub;
        if (fd < 0) return false;
        const Fd f(openat(fd, file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (f.fd < 0 || !WriteAll(f.fd, bytes)) {
            close(fd);
            return false;
        }
        if (level == levels - 1) {
            close(fd);
            return true;
        }
    }
    if (fd >= 0) close(fd);
    return levels <= 0;
}

std::map<std::string, std::string> TreeSnapshotAt(const std::string& root) {
    std::map<std::string, std::string> out;
    const Fd d(open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (d.fd >= 0) SnapshotInto(d.fd, "", out);
    return out;
}

void RemoveTreeContentsAt(const std::string& root) {
    const Fd d(open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (d.fd >= 0) RemoveContents(d.fd);
}

bool SameFileBytes(const std::string& a, const std::string& b) {
    const Fd fa(open(a.c_str(), O_RDONLY | O_CLOEXEC));
    const Fd fb(open(b.c_str(), O_RDONLY | O_CLOEXEC));
    if (fa.fd < 0 || fb.fd < 0) return false;
    std::vector<char> ba(1 << 20), bb(1 << 20);
    for (;;) {
        // Regular files give full blocks until their end, so the blocks line up.
        const ssize_t na = read(fa.fd, ba.data(), ba.size());
        const ssize_t nb = read(fb.fd, bb.data(), bb.size());
        if (na != nb || na < 0) return false;
        if (na == 0) return true;
        if (std::memcmp(ba.data(), bb.data(), static_cast<std::size_t>(na)) != 0) return false;
    }
}

LockedDestinations MakeLockedDestinations(const std::string& root, const std::string& source) {
    WriteFile(source + "/a.txt", "a\r\n");
    WriteFile(source + "/r.txt", "r\r\n");
    WriteFile(source + "/sub/b.txt", "b\r\n");
    LockedDestinations d{root + "/locked", root + "/open"};
    WriteFile(d.locked + "/r.txt", "old r in a locked folder");
    WriteFile(d.open + "/r.txt", "old read-only r");
    OpenForOrdinaryUser(root);
    OpenForOrdinaryUser(d.open);
    EXPECT_EQ(chmod(d.locked.c_str(), 0555), 0);
    EXPECT_EQ(chmod((d.open + "/r.txt").c_str(), 0444), 0);
    return d;
}

}  // namespace rowsmith::testing
