#include "support/child_process.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace rowsmith::testing {

int RunInChild(const std::function<int()>& body, bool as_ordinary_user) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (as_ordinary_user && geteuid() == 0) {
            constexpr uid_t kNobody = 65534;
            if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)
                _exit(kCannotDropRoot);
        }
        const int r = body();
        std::fflush(nullptr);
        _exit(r & 0xFF);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
