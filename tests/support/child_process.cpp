#include "support/child_process.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace rowsmith::testing {

namespace {

// In the child: becomes "nobody" when asked to and running as root; false when that fails.
bool DropRootIfAsked(bool as_ordinary_user) {
    if (!as_ordinary_user || geteuid() != 0) return true;
    constexpr uid_t kNobody = 65534;
    return setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0;
}

int WaitFor(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int RunInChild(const std::function<int()>& body, bool as_ordinary_user) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (!DropRootIfAsked(as_ordinary_user)) _exit(kCannotDropRoot);
        const int r = body();
        std::fflush(nullptr);
        _exit(r & 0xFF);
    }
    return WaitFor(pid);
}

CapturedChild RunCapturedInChild(const std::function<int(std::string& output)>& body, bool as_ordinary_user) {
    CapturedChild result;
    int fds[2];
    if (pipe(fds) != 0) return result;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return result;
    }
    if (pid == 0) {
        close(fds[0]);
        if (!DropRootIfAsked(as_ordinary_user)) _exit(kCannotDropRoot);
        std::string out;
        const int r = body(out);
        std::fflush(nullptr);
        for (std::size_t at = 0; at < out.size();) {
            const ssize_t n = write(fds[1], out.data() + at, out.size() - at);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            at += static_cast<std::size_t>(n);
        }
        _exit(r & 0xFF);
    }
    close(fds[1]);
    // Read to the end before waiting: a long text would otherwise block the child on a full pipe.
    char buf[4096];
    for (;;) {
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        result.output.append(buf, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    result.code = WaitFor(pid);
    return result;
}

void OpenForOrdinaryUser(const std::string& folder) {
    chmod(folder.c_str(), 0777);
    std::string p = folder;
    for (std::size_t slash = p.rfind('/'); slash != std::string::npos && slash > 0; slash = p.rfind('/')) {
        p.resize(slash);
        struct stat st;
        if (stat(p.c_str(), &st) == 0) chmod(p.c_str(), (st.st_mode & 07777) | 0111);
    }
}

}  // namespace rowsmith::testing
