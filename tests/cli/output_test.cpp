// rowsmith-cli with a standard output that fails: a full device, a reader that has gone. Each case
// runs the commands in a child whose file descriptor 1 is the failing file, written through std::cout
// as the program's main has it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "support/child_process.h"
#include "support/fault_tools.h"
#include "support/temp_dir.h"

namespace rowsmith::cli {
namespace {

using testing::TempDir;
using testing::WriteFile;

struct Outcome {
    int code = -1;
    std::string err;
};

enum class Stdout { Full, ClosedPipe };

// The command with std::cout on /dev/full or on a pipe whose reader has closed it.
Outcome RunWithFailingStdout(std::vector<std::string> args, Stdout how) {
    const testing::CapturedChild child = testing::RunCapturedInChild([&](std::string& output) {
        int fd = -1;
        if (how == Stdout::Full) {
            fd = open("/dev/full", O_WRONLY);
        } else {
            int fds[2];
            if (pipe(fds) != 0) return 90;
            close(fds[0]);
            fd = fds[1];
        }
        if (fd < 0 || dup2(fd, 1) < 0) return 91;
        close(fd);
        args.insert(args.begin(), "rowsmith-cli");
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::istringstream in;
        std::ostringstream err;
        const int code = Main(static_cast<int>(args.size()), argv.data(), in, std::cout, err);
        output = err.str();
        // What the command left in the stream's buffer is not the test's to write.
        std::cout.clear();
        return code;
    });
    return {child.code, child.output};
}

int CountOf(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(CliOutput, FailingStandardOutputStopsEveryCommand) {
    TempDir dir;
    const std::string src = dir / "src", dst = dir / "dst";
    // Enough rows that the output fails long before the last one.
    for (int i = 0; i < 400; ++i) WriteFile(src + "/file" + std::to_string(i) + ".txt", "x\r\n");
    const std::string lost = "rowsmith-cli: writing to standard output failed: No space left on device\n";
    struct Case {
        std::vector<std::string> args;
        Stdout how;
        int code;
        std::string err_end;  // how stderr ends
    };
    const std::vector<Case> cases = {
        {{"list", src}, Stdout::Full, 4, lost},
        {{"--help"}, Stdout::Full, 4, "rowsmith-cli: writing to standard output failed\n"},
        {{"list", src, "--format", "html"}, Stdout::Full, 4, lost},
        {{"interval", "1-", "--count", "2000000000"}, Stdout::Full, 4, lost},
        {{"run", src, dst, "--dry-run"}, Stdout::Full, 4, lost},
        {{"run", src, dst, "--quiet"}, Stdout::Full, 4,
         " (cancelled)\nrowsmith-cli: the run stopped: writing to standard output failed: No space left on device\n"},
        // A reader that has gone is the reader's cancel: no message, the cancel's status.
        {{"list", src}, Stdout::ClosedPipe, 2, ""},
        {{"interval", "1-", "--count", "2000000000"}, Stdout::ClosedPipe, 2, ""},
        {{"run", src, dst, "--dry-run"}, Stdout::ClosedPipe, 2, ""},
        {{"run", src, dst, "--quiet"}, Stdout::ClosedPipe, 2, " (cancelled)\n"},
        {{"run", src, dst, "--interval", "1-"}, Stdout::ClosedPipe, 2, " (cancelled)\n"},
    };
    for (const Case& c : cases) {
        std::string what = c.how == Stdout::Full ? "full:" : "closed pipe:";
        for (const auto& a : c.args) what += " " + a;
        testing::RemoveTreeContentsAt(dst);
        const Outcome r = RunWithFailingStdout(c.args, c.how);
        EXPECT_EQ(r.code, c.code) << what << "\n" << r.err;
        EXPECT_TRUE(r.err.size() >= c.err_end.size() &&
                    r.err.compare(r.err.size() - c.err_end.size(), c.err_end.size(), c.err_end) == 0)
            << what << "\n" << r.err;
        EXPECT_EQ(CountOf(r.err, "writing to standard output failed"), c.code == 4 ? 1 : 0) << what;
        if (c.args[0] == "run" && c.args[3] != "--dry-run") {
            // The run stopped after the file whose line could not be written, well before the end.
            EXPECT_TRUE(r.err.find(" 0 skipped (cancelled)") != std::string::npos) << what << "\n" << r.err;
            EXPECT_EQ(r.err.find("400 "), std::string::npos) << what << "\n" << r.err;
        }
    }
}

}  // namespace
}  // namespace rowsmith::cli
