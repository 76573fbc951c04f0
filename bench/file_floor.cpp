// The kernel's floor for a mirror of small files: copies every file of tree/ into out/ (folders
// made first) with nothing else around it, in one of three ways of making a file and on one or more
// threads. What a run of Rowsmith costs beyond this is the program's own; what this costs against
// `cp -r` is the price of the way of making files.
//   file_floor WAY THREADS     WAY: plain (create under the final name, as cp and perl do),
//                              unnamed (O_TMPFILE, named by linkat when complete, as Rowsmith does),
//                              temp (a hidden name, renamed when complete)
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

enum class Way { Plain, Unnamed, Temp };

std::vector<std::string> files, folders;

void Walk(const std::string& rel) {
    DIR* d = opendir(("tree/" + rel).c_str());
    if (!d) return;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        const std::string r = rel.empty() ? e->d_name : rel + "/" + e->d_name;
        if (e->d_type == DT_DIR) {
            folders.push_back(r);
            Walk(r);
        } else {
            files.push_back(r);
        }
    }
    closedir(d);
}

bool CopyOne(const std::string& rel, Way way, std::vector<char>& buf) {
    const int in = open(("tree/" + rel).c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    const std::string dst = "out/" + rel;
    const std::size_t slash = dst.rfind('/');
    const std::string folder = dst.substr(0, slash), temp = folder + "/.floor-" + dst.substr(slash + 1);
    int out = -1;
    switch (way) {
        case Way::Plain: out = open(dst.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644); break;
        case Way::Unnamed: out = open(folder.c_str(), O_WRONLY | O_TMPFILE | O_CLOEXEC, 0644); break;
        case Way::Temp: out = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644); break;
    }
    bool ok = out >= 0;
    ssize_t n = 0;
    while (ok && (n = read(in, buf.data(), buf.size())) > 0) ok = write(out, buf.data(), static_cast<size_t>(n)) == n;
    ok = ok && n == 0;
    if (ok && way == Way::Unnamed) {
        char self[64];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", out);
        ok = linkat(AT_FDCWD, self, AT_FDCWD, dst.c_str(), AT_SYMLINK_FOLLOW) == 0;
    }
    if (ok && way == Way::Temp) ok = rename(temp.c_str(), dst.c_str()) == 0;
    if (out >= 0) close(out);
    close(in);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: file_floor plain|unnamed|temp THREADS (in the folder holding tree/)\n");
        return 1;
    }
    const Way way = std::strcmp(argv[1], "plain") == 0     ? Way::Plain
                    : std::strcmp(argv[1], "unnamed") == 0 ? Way::Unnamed
                                                           : Way::Temp;
    const int threads = std::max(1, std::atoi(argv[2]));
    Walk("");
    std::sort(folders.begin(), folders.end());
    if (mkdir("out", 0755) != 0) return 2;
    for (const std::string& f : folders)
        if (mkdir(("out/" + f).c_str(), 0755) != 0) return 2;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    auto work = [&] {
        std::vector<char> buf(1 << 16);
        for (std::size_t i; (i = next++) < files.size();)
            if (!CopyOne(files[i], way, buf)) failed = true;
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
    return failed ? 3 : 0;
}
