// rowsmith-cli under faults and hostile input: each case checks what the user sees (the messages and
// the exit status) and that nothing else changed on disk (the trees hashed before and after).

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <streambuf>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "cli/commands.h"
#include "support/child_process.h"
#include "support/fault_tools.h"
#include "support/temp_dir.h"

namespace rowsmith::cli {
namespace {

using testing::ChildUsage;
using testing::ReadFile;
using testing::RunMeasuredInChild;
using testing::TempDir;
using testing::TreeSnapshot;
using testing::WriteFile;
using Snapshot = std::map<std::string, std::string>;

// Standard output that calls `on_line` with every complete line as the command writes it: lets a test
// change the tree while the run is on its way (after a file was reported, before the next one).
class WatchedOutput : public std::streambuf {
  public:
    explicit WatchedOutput(std::function<void(const std::string&)> on_line) : on_line_(std::move(on_line)) {}
    std::string text;

  protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) Put(static_cast<char>(c));
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        for (std::streamsize i = 0; i < n; ++i) Put(s[i]);
        return n;
    }

  private:
    void Put(char c) {
        text += c;
        if (c != '\n') {
            line_ += c;
            return;
        }
        on_line_(line_);
        line_.clear();
    }
    std::function<void(const std::string&)> on_line_;
    std::string line_;
};

CliResult CliWatched(std::vector<std::string> args, std::function<void(const std::string&)> on_line) {
    args.insert(args.begin(), "rowsmith-cli");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::istringstream in;
    WatchedOutput watched(std::move(on_line));
    std::ostream out(&watched);
    std::ostringstream err;
    CliResult r;
    r.code = Main(static_cast<int>(args.size()), argv.data(), in, out, err);
    r.out = watched.text;
    r.err = err.str();
    return r;
}

// A run in a child process as an ordinary user, its result handed back whole: the exit status, and
// stdout and stderr in `output` split by a byte no message holds.
testing::CapturedChild CliAsOrdinaryUser(const std::vector<std::string>& args) {
    return testing::RunCapturedInChild(
        [&](std::string& output) {
            const CliResult r = Cli(args);
            output = r.out + '\x01' + r.err;
            return r.code;
        },
        true);
}

CliResult Unpack(const testing::CapturedChild& child) {
    CliResult r;
    r.code = child.code;
    const std::size_t cut = child.output.find('\x01');
    r.out = child.output.substr(0, cut);
    r.err = cut == std::string::npos ? "" : child.output.substr(cut + 1);
    return r;
}

#define SKIP_WITHOUT_ORDINARY_USER(child)                                                         \
    if ((child).code == testing::kCannotDropRoot)                                                \
    GTEST_SKIP() << "the tests run as root and cannot switch to an ordinary user, so permissions " \
                    "do not apply"

std::string LastLine(const std::string& s) {
    std::string last;
    std::istringstream in(s);
    for (std::string line; std::getline(in, line);) last = line;
    return last;
}

bool Holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The three ways the run treats a file, as options.
const std::vector<std::vector<std::string>> kModes = {
    {}, {"--interval", "1-"}, {"--template", "{{originalline}}{{eol}}"}};

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

class CliFaults : public ::testing::Test {
  protected:
    void SetUp() override {
        src = dir / "src";
        dst = dir / "dst";
    }
    TempDir dir;
    std::string src, dst;
};

// ---------------------------------------------------------------- destinations in the way

TEST_F(CliFaults, AFileWhereAFolderMustGo) {
    WriteFile(src + "/a.txt", "a\r\n");
    WriteFile(src + "/sub/b.txt", "b\r\n");
    WriteFile(dir / "plain", "a plain file");
    ASSERT_EQ(symlink("plain", (dir / "to-plain").c_str()), 0);
    struct Case {
        std::string destination;
        std::vector<std::string> extra;
        int code;
        std::vector<std::string> messages;  // parts of stderr
        std::vector<std::string> written;   // files of src that reach the destination
    };
    const std::vector<Case> cases = {
        {dir / "plain", {}, 1, {"the destination '" + dir / "plain" + "' is a file, not a folder"}, {}},
        // Below a file no folder can be made: one message for the run, not one per row.
        {dir / "plain/out",
         {"--levels", "1"},
         1,
         {"the destination '" + dir / "plain/out" + "' lies below the file '" + dir / "plain" +
          "', where no folder can be made\n"},
         {}},
        {dir / "plain/out/deeper", {}, 1, {"lies below the file '" + dir / "plain" + "'"}, {}},
        {dir / "to-plain/out", {}, 1, {"lies below the file '" + dir / "to-plain" + "'"}, {}},
        // The folder row "sub" and the file below it meet the file dst/sub.
        {dst,
         {"--levels", "1", "--masks", "*"},
         2,
         {"skipped '" + src + "/sub': the destination folder cannot be created: a file is in its way",
          "skipped '" + src + "/sub/b.txt': the destination folder cannot be created: a file is in its way",
          " 2 skipped\n"},
         {"a.txt"}},
    };
    for (const Case& c : cases) {
        for (const auto& mode : kModes) {
            testing::RemoveTreeContentsAt(dst);
            WriteFile(dst + "/sub", "a file named like the folder");
            const Snapshot before = TreeSnapshot(dir.path());
            const CliResult r = Cli(With(With({"run", src, c.destination}, c.extra), mode));
            const std::string what = c.destination + (mode.empty() ? " copy" : " " + mode[0]);
            EXPECT_EQ(r.code, c.code) << what << "\n" << r.err;
            for (const std::string& m : c.messages)
                EXPECT_TRUE(Holds(r.err, m)) << what << "\n" << m << "\n" << r.err;
            Snapshot expected = before;
            for (const std::string& f : c.written) expected["dst/" + f] = before.at("src/" + f);
            EXPECT_EQ(TreeSnapshot(dir.path()), expected) << what;
        }
    }
}

TEST_F(CliFaults, SourceFilesAreNeverWrittenOver) {
    WriteFile(src + "/a.txt", "top a\r\n");
    WriteFile(src + "/b.txt", "top b\r\n");
    WriteFile(src + "/sub/a.txt", "inner a\r\n");
    const Snapshot before = TreeSnapshot(src);
    const std::string another = "the destination is another source file of this run";
    const std::string itself = "the destination is the source file itself";
    struct Case {
        std::vector<std::string> args;
        int code;
        std::vector<std::string> messages;
        std::map<std::string, std::string> added;  // new file in src -> the source it copies
    };
    const std::vector<Case> cases = {
        {{"run", src, src, "--flat"}, 1, {"is the source folder itself"}, {}},
        {{"run", src, src + "/./", "--flat", "--levels", "1"}, 1, {"is the source folder itself"}, {}},
        // Flattened into sub: a.txt would land on the source sub/a.txt, sub/a.txt on itself.
        {{"run", src, src + "/sub", "--flat", "--levels", "1"},
         2,
         {"skipped '" + src + "/a.txt': " + another, "skipped '" + src + "/sub/a.txt': " + itself,
          " 2 skipped\n"},
         {{"sub/b.txt", "b.txt"}}},
        // The same with the folder structure kept: sub/a.txt goes to sub/sub/a.txt.
        {{"run", src, src + "/sub", "--levels", "1"},
         2,
         {"skipped '" + src + "/a.txt': " + another, " 1 skipped\n"},
         {{"sub/b.txt", "b.txt"}, {"sub/sub/a.txt", "sub/a.txt"}}},
    };
    for (const Case& c : cases) {
        for (const auto& mode : kModes) {
            const CliResult r = Cli(With(c.args, mode));
            const std::string what = c.args[2] + (mode.empty() ? " copy" : " " + mode[0]);
            EXPECT_EQ(r.code, c.code) << what << "\n" << r.err;
            for (const std::string& m : c.messages)
                EXPECT_TRUE(Holds(r.err, m)) << what << "\n" << m << "\n" << r.err;
            Snapshot expected = before;
            for (const auto& [added, from] : c.added) expected[added] = before.at(from);
            if (c.added.count("sub/sub/a.txt")) expected["sub/sub"] = "dir";
            EXPECT_EQ(TreeSnapshot(src), expected) << what;
            unlink((src + "/sub/b.txt").c_str());
            testing::RemoveTreeContentsAt(src + "/sub/sub");
            rmdir((src + "/sub/sub").c_str());
        }
    }
}

// ---------------------------------------------------------------- names and paths

TEST_F(CliFaults, AwkwardNamesArriveUnchanged) {
    // The folders themselves have blanks, quotes and bytes that are not UTF-8 too.
    src = dir / "my source 'x' \xff";
    dst = dir / "the \xe9 destination";
    const std::vector<std::string> names = {
        "with blank.txt", "new\nline.txt",         "double\"quote.txt", "it's.txt",
        "star*.txt",      "non-utf8 \xff\xfe.txt", "tab\tand\rcr.txt",  "sub \xe9/inner*?.txt"};
    for (const std::string& n : names) WriteFile(src + "/" + n, "line of " + n + "\r\n");
    const Snapshot source = TreeSnapshot(src);
    for (const auto& mode : kModes) {
        testing::RemoveTreeContentsAt(dst);
        const CliResult r = Cli(With({"run", src, dst, "--levels", "1"}, mode));
        const std::string what = mode.empty() ? "copy" : mode[0];
        EXPECT_EQ(r.code, 0) << what << "\n" << r.err;
        EXPECT_EQ(LastLine(r.err),
                  mode.empty() ? "8 copied, 0 rewritten, 0 skipped" : "0 copied, 8 rewritten, 0 skipped");
        for (const std::string& n : names)
            EXPECT_TRUE(Holds(r.out, dst + "/" + n + "\n")) << what << " " << n;
        EXPECT_EQ(TreeSnapshot(dst), source) << what;
        EXPECT_EQ(TreeSnapshot(src), source) << what;
    }
    // The list shows such names escaped, one row each.
    const CliResult list =
        Cli({"list", src, "--levels", "1", "--masks", "*\n*|*\t*", "--columns", "Filename"});
    EXPECT_EQ(list.code, 0);
    EXPECT_EQ(list.out, "Filename\nnew\\nline.txt\ntab\\tand\\rcr.txt\n");
}

TEST_F(CliFaults, PathsLongerThanTheSystemAllows) {
    // 24 folders of 200 bytes below src: the deeper files have paths beyond 4096 bytes.
    ASSERT_EQ(mkdir(src.c_str(), 0755), 0);
    ASSERT_TRUE(testing::MakeDeepTree(src, std::string(200, 'd'), 24, "f.txt", "deep\r\n"));
    const Snapshot source = testing::TreeSnapshotAt(src);
    for (const auto& mode : kModes) {
        const CliResult r = Cli(With({"run", src, dst, "--levels", "255", "--masks", "*.txt"}, mode));
        const std::string what = mode.empty() ? "copy" : mode[0];
        // What the system can name is written; the first folder beyond is named, as its files are
        // missed, and nothing breaks.
        EXPECT_EQ(r.code, 2) << what << "\n" << r.err.substr(0, 300);
        EXPECT_TRUE(Holds(r.err, "rowsmith-cli: cannot list the folder '" + src + "/" + std::string(200, 'd')))
            << what;
        EXPECT_TRUE(Holds(r.err, "': File name too long\n")) << what;
        int lines = 0;
        for (char ch : r.out) lines += ch == '\n';
        EXPECT_GE(lines, 19) << what;
        const Snapshot out = testing::TreeSnapshotAt(dst);
        int files = 0;
        for (const auto& [name, hash] : out) {
            EXPECT_EQ(source.at(name), hash) << what;
            files += hash != "dir";
        }
        EXPECT_EQ(files, lines) << what;
        EXPECT_EQ(testing::TreeSnapshotAt(src), source) << what;
        testing::RemoveTreeContentsAt(dst);
    }
    // A destination text beyond the limit: every file is named as skipped, with the reason.
    std::string long_dst = dst;
    for (int i = 0; i < 22; ++i) long_dst += "/" + std::string(200, 'e');
    const CliResult r = Cli({"run", src, long_dst, "--masks", "*.txt", "--levels", "1"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Holds(r.err, "skipped '" + src + "/" + std::string(200, 'd') +
                                 "/f.txt': the destination folder "
                                 "cannot be created: File name too long"))
        << r.err.substr(0, 400);
    EXPECT_EQ(LastLine(r.err), "0 copied, 0 rewritten, 1 skipped");
    // The folders made before the one too long stay, empty; no file is written.
    for (const auto& [name, hash] : testing::TreeSnapshotAt(dst)) EXPECT_EQ(hash, "dir") << name.size();
    testing::RemoveTreeContentsAt(src);
}

// ---------------------------------------------------------------- file contents

TEST_F(CliFaults, OneLineOf300MegabytesInBoundedMemory) {
    {
        // Varied bytes, so that a shifted or dropped block shows; the line ends with CR LF.
        std::string block(1 << 20, '\0');
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>('a' + (i * 7 + i / 4099) % 26);
        ASSERT_EQ(mkdir(src.c_str(), 0755), 0);
        std::FILE* f = std::fopen((src + "/big.txt").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        for (int i = 0; i < 300; ++i) {
            block[static_cast<std::size_t>(i)] = ' ';
            ASSERT_EQ(std::fwrite(block.data(), 1, block.size(), f), block.size());
        }
        std::fputs("\r\n", f);
        ASSERT_EQ(std::fclose(f), 0);
    }
    const Snapshot source = TreeSnapshot(src);
    const std::vector<std::vector<std::string>> modes = {
        {"--template", "{{originalline}}{{crlf}}"}, {"--interval", "1"}, {"--template", "{{line}}{{crlf}}"}};
    for (const auto& mode : modes) {
        const ChildUsage u = RunMeasuredInChild([&] {
            const CliResult r = Cli(With({"run", src, dst}, mode));
            if (r.code != 0) return 1;
            return LastLine(r.err) == "0 copied, 1 rewritten, 0 skipped" ? 0 : 2;
        });
        EXPECT_EQ(u.code, 0) << mode[1];
        EXPECT_TRUE(testing::SameFileBytes(src + "/big.txt", dst + "/big.txt")) << mode[1];
        EXPECT_LT(u.max_rss_bytes, int64_t{1536} << 20) << mode[1];
        unlink((dst + "/big.txt").c_str());
    }
    EXPECT_EQ(TreeSnapshot(src), source);
    EXPECT_EQ(TreeSnapshot(dst), Snapshot{});
}

TEST_F(CliFaults, BinaryFileThroughTheDefaultTemplate) {
    const std::string bytes("\0\0text\0\r\n\xff\r\r\n\n\x1a\0end", 20);
    WriteFile(src + "/bin.dat", bytes);
    const CliResult r = Cli({"run", src, dst, "--template", "{{originalline}}{{crlf}}"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, dst + "/bin.dat\n");
    // Lines end at CR LF: every byte stays, the last line gets its CR LF.
    EXPECT_EQ(ReadFile(dst + "/bin.dat"), bytes + "\r\n");
    // The default template gives every line its own end back: the bytes come out as they were.
    const CliResult expand = Cli({"expand", src + "/bin.dat"});
    EXPECT_EQ(expand.code, 0);
    EXPECT_EQ(expand.out, bytes);
}

TEST_F(CliFaults, ExtremeIntervalsEndAtOnce) {
    WriteFile(src + "/three.txt", "1\r\n2\r\n3\r\n");
    struct Case {
        const char* interval;
        const char* expected;
    };
    const Case cases[] = {
        {"1-2147483647", "1\r\n2\r\n3\r\n"},
        {"-2147483647--1", "1\r\n2\r\n3\r\n"},
        {"2147483647-1", "3\r\n2\r\n1\r\n"},
        {"2147483647-2147483647", ""},
    };
    for (const Case& c : cases) {
        const ChildUsage u = RunMeasuredInChild([&] {
            const CliResult r = Cli({"run", src, dst, std::string("--interval=") + c.interval});
            if (r.code != 0 || LastLine(r.err) != "0 copied, 1 rewritten, 0 skipped") return 1;
            return ReadFile(dst + "/three.txt") == c.expected ? 0 : 2;
        });
        EXPECT_EQ(u.code, 0) << c.interval;
        EXPECT_LT(u.cpu_seconds, 1.0 * testing::SlowBuildFactor()) << c.interval;
    }
}

TEST_F(CliFaults, TemplateBombsEndWithinASecond) {
    WriteFile(src + "/three.txt", "1\r\n2\r\n3\r\n");
    struct Case {
        std::string templ;
        std::string expected;
        // A bound that would cut a result skips the row, named with the line and the bound;
        // nothing is written then.
        std::string skipped_because;
    };
    std::string open100k, close100k;
    for (int i = 0; i < 100000; ++i) {
        open100k += "{{";
        close100k += "}}";
    }
    const std::string size_bound = "three.txt': line 1: a value would exceed the size bound of";
    const std::vector<Case> cases = {
        // 100,000 nested tags: the name beyond the nesting bound is empty, as the language defines.
        {open100k + "x" + close100k + "{{line}}{{crlf}}", "1\r\n2\r\n3\r\n", ""},
        {"{{|:x|multiply:999999999}}{{line}}{{crlf}}", "", size_bound},
        {"{{|:{{|:x|multiply:100000}}|multiply:100000}}{{line}}{{crlf}}", "", size_bound},
        {"{{|deff:x,{{x}}}}{{x}}{{line}}{{crlf}}", "1\r\n2\r\n3\r\n", ""},
        {"{{|deff:x,{{x}}{{x}}}}{{x}}{{line}}{{crlf}}", "",
         "three.txt': line 1: the tag budget of 100000 tags was used up"},
    };
    for (const Case& c : cases) {
        testing::RemoveTreeContentsAt(dst);
        const ChildUsage u = RunMeasuredInChild([&] {
            const CliResult r = Cli({"run", src, dst, "--template", c.templ});
            if (!c.skipped_because.empty())
                return r.code == 2 && LastLine(r.err) == "0 copied, 0 rewritten, 1 skipped" &&
                               Holds(r.err, c.skipped_because) && !testing::Exists(dst + "/three.txt")
                           ? 0
                           : 3;
            if (r.code != 0 || LastLine(r.err) != "0 copied, 1 rewritten, 0 skipped") return 1;
            return ReadFile(dst + "/three.txt") == c.expected ? 0 : 2;
        });
        const std::string what = c.templ.substr(0, 60);
        EXPECT_EQ(u.code, 0) << what;
        // Three lines, each within a second.
        EXPECT_LT(u.cpu_seconds, 3.0 * testing::SlowBuildFactor()) << what;
        EXPECT_LT(u.max_rss_bytes, int64_t{512} << 20) << what;
    }
}

// ---------------------------------------------------------------- permissions, vanishing sources, links

// "1 copied, 0 rewritten, 2 skipped" or "0 copied, 1 rewritten, 2 skipped", as the mode has it.
std::string Summary(const std::vector<std::string>& mode, int done, int skipped) {
    const std::string d = std::to_string(done);
    return (mode.empty() ? d + " copied, 0 rewritten, " : "0 copied, " + d + " rewritten, ") +
           std::to_string(skipped) + " skipped";
}

TEST_F(CliFaults, UnreadableSourcesAreNamed) {
    WriteFile(src + "/a.txt", "secret\r\n");
    WriteFile(src + "/b.txt", "b\r\n");
    WriteFile(dst + "/a.txt", "old a");
    ASSERT_EQ(chmod((src + "/a.txt").c_str(), 0), 0);
    WriteFile(dir / "closed/x.txt", "x\r\n");
    ASSERT_EQ(chmod((dir / "closed").c_str(), 0311), 0);  // may be entered, not listed
    testing::OpenForOrdinaryUser(dir.path());
    testing::OpenForOrdinaryUser(dst);
    for (const auto& mode : kModes) {
        const std::string what = mode.empty() ? "copy" : mode[0];
        const Snapshot before = TreeSnapshot(dir.path());
        const CliResult r = Unpack(CliAsOrdinaryUser(With({"run", src, dst}, mode)));
        SKIP_WITHOUT_ORDINARY_USER(r);
        EXPECT_EQ(r.code, 2) << what << "\n" << r.err;
        EXPECT_EQ(r.out, dst + "/b.txt\n") << what;
        EXPECT_EQ(r.err, "rowsmith-cli: skipped '" + src + "/a.txt': the source cannot be read: Permission denied\n" +
                             Summary(mode, 1, 1) + "\n")
            << what;
        Snapshot expected = before;
        expected["dst/b.txt"] = before.at("src/b.txt");
        EXPECT_EQ(TreeSnapshot(dir.path()), expected) << what;
        unlink((dst + "/b.txt").c_str());

        // A source folder that cannot be listed is a usage error: nothing is written.
        const CliResult closed = Unpack(CliAsOrdinaryUser(With({"run", dir / "closed", dst}, mode)));
        EXPECT_EQ(closed.code, 1) << what;
        EXPECT_EQ(closed.err, "rowsmith-cli: the source folder '" + dir / "closed" +
                                  "' cannot be read: Permission denied\n")
            << what;
        EXPECT_EQ(closed.out, "") << what;
        EXPECT_EQ(TreeSnapshot(dir.path()), before) << what;
    }
}

// A subfolder that cannot be listed is passed over, and named: its files are missing from the run.
TEST_F(CliFaults, SubfoldersThatCannotBeListedAreNamed) {
    WriteFile(src + "/b.txt", "b\r\n");
    WriteFile(src + "/shut/x.txt", "x\r\n");
    WriteFile(src + "/open/y.txt", "y\r\n");
    ASSERT_EQ(chmod((src + "/shut").c_str(), 0311), 0);  // may be entered, not listed
    testing::OpenForOrdinaryUser(dir.path());
    testing::OpenForOrdinaryUser(dst);
    // Files were missed, so none of these is a success.
    const std::vector<std::vector<std::string>> commands = {
        {"run", src, dst}, {"run", src, dst, "--dry-run"}, {"list", src, dst}};
    for (const auto& command : commands) {
        const std::string what = command[0] + (command.size() > 3 ? " " + command[3] : "");
        const CliResult r = Unpack(CliAsOrdinaryUser(With(command, {"--levels", "1"})));
        SKIP_WITHOUT_ORDINARY_USER(r);
        EXPECT_EQ(r.code, 2) << what << "\n" << r.err;
        EXPECT_TRUE(Holds(r.err, "rowsmith-cli: cannot list the folder '" + src + "/shut': Permission denied\n"))
            << what << "\n" << r.err;
        EXPECT_TRUE(Holds(r.out, "y.txt")) << what << "\n" << r.out;
    }
    chmod((src + "/shut").c_str(), 0755);
}

TEST_F(CliFaults, DestinationsThatMayNotBeWritten) {
    const testing::LockedDestinations made = testing::MakeLockedDestinations(dir.path(), src);
    const std::string& locked = made.locked;
    const std::string& open = made.open;
    ASSERT_FALSE(HasFailure());
    const Snapshot before = TreeSnapshot(dir.path());
    const std::string replace = "this user may not write the existing destination";
    const std::string read_only = "the existing destination is read-only";
    for (const auto& mode : kModes) {
        const std::string what = mode.empty() ? "copy" : mode[0];
        const std::string cannot_make =
            mode.empty() ? "copy failed: Permission denied" : "the destination cannot be created: Permission denied";
        const CliResult r = Unpack(CliAsOrdinaryUser(With({"run", src, locked, "--levels", "1"}, mode)));
        SKIP_WITHOUT_ORDINARY_USER(r);
        EXPECT_EQ(r.code, 2) << what;
        EXPECT_EQ(r.out, "") << what;
        EXPECT_EQ(r.err, "rowsmith-cli: skipped '" + src + "/a.txt': " + cannot_make + "\n" +
                             "rowsmith-cli: skipped '" + src + "/r.txt': " + replace + "\n" +
                             "rowsmith-cli: skipped '" + src +
                             "/sub/b.txt': the destination folder cannot be created: Permission denied\n" +
                             Summary(mode, 0, 3) + "\n")
            << what;
        EXPECT_EQ(TreeSnapshot(dir.path()), before) << what;

        // The read-only file is kept; the other files are written beside it.
        const CliResult ro = Unpack(CliAsOrdinaryUser(With({"run", src, open}, mode)));
        EXPECT_EQ(ro.code, 2) << what;
        EXPECT_EQ(ro.out, open + "/a.txt\n") << what;
        EXPECT_EQ(ro.err, "rowsmith-cli: skipped '" + src + "/r.txt': " + read_only + "\n" + Summary(mode, 1, 1) + "\n")
            << what;
        Snapshot expected = before;
        expected["open/a.txt"] = before.at("src/a.txt");
        EXPECT_EQ(TreeSnapshot(dir.path()), expected) << what;
        unlink((open + "/a.txt").c_str());
    }
}

TEST_F(CliFaults, SourcesThatVanishDuringTheRun) {
    for (const char* n : {"a.txt", "b.txt", "c.txt"}) WriteFile(src + "/" + n, std::string(n) + "\r\n");
    WriteFile(dst + "/b.txt", "old b");
    for (const auto& mode : kModes) {
        const std::string what = mode.empty() ? "copy" : mode[0];
        WriteFile(src + "/b.txt", "b.txt\r\n");
        const Snapshot before = TreeSnapshot(dir.path());
        // b.txt goes as soon as a.txt is reported: after the list was made, before its turn. One file
        // after another: side by side, b.txt may be open (and so copied) before a.txt is reported.
        const CliResult r = CliWatched(With({"run", src, dst, "--jobs", "1"}, mode), [&](const std::string& line) {
            if (line == dst + "/a.txt") unlink((src + "/b.txt").c_str());
        });
        EXPECT_EQ(r.code, 2) << what << "\n" << r.err;
        EXPECT_EQ(r.out, dst + "/a.txt\n" + dst + "/c.txt\n") << what;
        EXPECT_EQ(r.err, "rowsmith-cli: skipped '" + src + "/b.txt': the source file no longer exists\n" +
                             Summary(mode, 2, 1) + "\n")
            << what;
        Snapshot expected = before;
        expected.erase("src/b.txt");
        expected["dst/a.txt"] = before.at("src/a.txt");
        expected["dst/c.txt"] = before.at("src/c.txt");
        EXPECT_EQ(TreeSnapshot(dir.path()), expected) << what;
        unlink((dst + "/a.txt").c_str());
        unlink((dst + "/c.txt").c_str());
    }
}

TEST_F(CliFaults, FolderLinkLoopsEndAtOnce) {
    WriteFile(src + "/a.txt", "a\r\n");
    WriteFile(src + "/sub/b.txt", "b\r\n");
    ASSERT_EQ(symlink(".", (src + "/self").c_str()), 0);
    ASSERT_EQ(symlink("..", (src + "/sub/up").c_str()), 0);
    ASSERT_EQ(symlink("ping", (src + "/pong").c_str()), 0);
    ASSERT_EQ(symlink("pong", (src + "/ping").c_str()), 0);
    const Snapshot source = TreeSnapshot(src);
    for (const auto& mode : kModes) {
        const std::string what = mode.empty() ? "copy" : mode[0];
        testing::RemoveTreeContentsAt(dst);
        const ChildUsage u = RunMeasuredInChild([&] {
            const CliResult r = Cli(With({"run", src, dst, "--levels", "255"}, mode));
            return r.code == 0 && r.err == Summary(mode, 2, 0) + "\n" ? 0 : 1;
        });
        EXPECT_EQ(u.code, 0) << what;
        EXPECT_LT(u.cpu_seconds, 1.0 * testing::SlowBuildFactor()) << what;
        // With "*" the links are listed: those to folders give empty folders, the loop is named.
        testing::RemoveTreeContentsAt(dst);
        const CliResult all = Cli(With({"run", src, dst, "--levels", "255", "--masks", "*"}, mode));
        EXPECT_EQ(all.code, 2) << what;
        EXPECT_EQ(all.out, dst + "/a.txt\n" + dst + "/sub/b.txt\n") << what;
        EXPECT_EQ(all.err, "rowsmith-cli: skipped '" + src + "/ping': the source cannot be read: Too many levels of symbolic links\n" +
                               "rowsmith-cli: skipped '" + src + "/pong': the source cannot be read: Too many levels of symbolic links\n" +
                               Summary(mode, 2, 2) + ", 3 folders\n")
            << what;
        EXPECT_EQ(TreeSnapshot(dst), (Snapshot{{"a.txt", source.at("a.txt")},
                                               {"self", "dir"},
                                               {"sub", "dir"},
                                               {"sub/b.txt", source.at("sub/b.txt")},
                                               {"sub/up", "dir"}}))
            << what;
        EXPECT_EQ(TreeSnapshot(src), source) << what;
    }
}

TEST_F(CliFaults, ADestinationLinkToTheSourceIsSkipped) {
    WriteFile(src + "/a.txt", "a\r\n");
    WriteFile(dir / "outside.txt", "outside");
    ASSERT_EQ(mkdir(dst.c_str(), 0755), 0);
    ASSERT_EQ(symlink((src + "/a.txt").c_str(), (dst + "/a.txt").c_str()), 0);
    const Snapshot before = TreeSnapshot(dir.path());
    for (const auto& mode : kModes) {
        for (const char* how : {"--rename", "--quiet"}) {
            const CliResult r = Cli(With({"run", src, dst, how}, mode));
            const std::string what = (mode.empty() ? "copy " : mode[0] + " ") + how;
            EXPECT_EQ(r.code, 2) << what;
            EXPECT_EQ(r.out, "") << what;
            EXPECT_EQ(r.err, "rowsmith-cli: skipped '" + src + "/a.txt': the destination is the source file itself\n" +
                                 Summary(mode, 0, 1) + "\n")
                << what;
            EXPECT_EQ(TreeSnapshot(dir.path()), before) << what;
        }
    }
}

TEST_F(CliFaults, StopSignalsEndTheRunAfterTheCurrentFile) {
    for (const char* n : {"a.txt", "b.txt", "c.txt"}) WriteFile(src + "/" + n, std::string(n) + "\r\n");
    WriteFile(dst + "/b.txt", "old b");
    // Ctrl+C, kill, a closed terminal, a reader that went away.
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        for (const auto& mode : kModes) {
            const std::string what = std::string(strsignal(sig)) + (mode.empty() ? " copy" : " " + mode[0]);
            const Snapshot before = TreeSnapshot(dir.path());
            // The signal comes as a.txt is reported; in a child, so that a signal left uncaught ends
            // only that.
            const CliResult r = Unpack(testing::RunCapturedInChild([&](std::string& output) {
                const CliResult in = CliWatched(With({"run", src, dst}, mode), [&](const std::string& line) {
                    if (line == dst + "/a.txt") std::raise(sig);
                });
                output = in.out + '\x01' + in.err;
                return in.code;
            }));
            EXPECT_EQ(r.code, 2) << what << "\n" << r.err;
            EXPECT_EQ(r.out, dst + "/a.txt\n") << what;
            EXPECT_EQ(r.err, Summary(mode, 1, 0) + " (cancelled)\n") << what;
            Snapshot expected = before;
            expected["dst/a.txt"] = before.at("src/a.txt");
            EXPECT_EQ(TreeSnapshot(dir.path()), expected) << what;
            unlink((dst + "/a.txt").c_str());
        }
    }
}

// ---------------------------------------------------------------- failing writes

TEST_F(CliFaults, FullDestinationStopsWithStatusFour) {
    WriteFile(src + "/a.txt", std::string(300 << 10, 'a') + "\r\n");
    WriteFile(src + "/b.txt", "b\r\n");
    ASSERT_EQ(mkdir(dst.c_str(), 0755), 0);
    const Snapshot source = TreeSnapshot(src);
    for (const auto& mode : kModes) {
        const int code = testing::RunInChild([&] {
            std::string why;
            if (!testing::MountSmallFileSystem(dst, 1 << 20, why)) {
                std::fprintf(stderr, "%s\n", why.c_str());
                return 99;
            }
            WriteFile(dst + "/a.txt", "old a");
            if (!testing::FillFileSystem(dst)) return 98;
            const Snapshot before = TreeSnapshot(dst);
            const CliResult r = Cli(With({"run", src, dst}, mode));
            if (r.code != 4) return 1;
            if (!Holds(r.err, "skipped '" + src + "/a.txt': ") || !Holds(r.err, "No space left on device"))
                return 2;
            if (!Holds(r.err, "0 copied, 0 rewritten, 1 skipped\n")) return 3;
            if (LastLine(r.err) != "rowsmith-cli: the run stopped: the destination has no room left")
                return 4;
            if (r.out != "") return 5;
            return TreeSnapshot(dst) == before ? 0 : 6;  // the old file as it was, no temporary file
        });
        if (code == 99) GTEST_SKIP() << "no small file system can be made here";
        EXPECT_EQ(code, 0) << (mode.empty() ? "copy" : mode[0]);
    }
    EXPECT_EQ(TreeSnapshot(src), source);
}

TEST_F(CliFaults, FilesBeyondTheSizeLimitAreEachNamed) {
    const std::string big(100000, 'x');
    for (const char* n : {"a.txt", "b.txt", "c.txt"}) WriteFile(src + "/" + n, big + "\r\n");
    WriteFile(dst + "/b.txt", "old b");
    const Snapshot before = TreeSnapshot(dir.path());
    for (const auto& mode : kModes) {
        const int code = testing::RunInChild([&] {
            std::signal(SIGXFSZ, SIG_IGN);
            const struct rlimit lim { 50000, 50000 };
            if (setrlimit(RLIMIT_FSIZE, &lim) != 0) return 10;
            const CliResult r = Cli(With({"run", src, dst}, mode));
            if (r.code != 2) return 1;
            for (const char* n : {"a.txt", "b.txt", "c.txt"})
                if (!Holds(r.err, "skipped '" + src + "/" + n + "': ")) return 2;
            return LastLine(r.err) == "0 copied, 0 rewritten, 3 skipped" ? 0 : 3;
        });
        EXPECT_EQ(code, 0) << (mode.empty() ? "copy" : mode[0]);
        EXPECT_EQ(TreeSnapshot(dir.path()), before);
    }
}

// A report that cannot be written to its end fails the run with exit 4 and a message, even though
// every file was written, and leaves no partial report behind.
TEST_F(CliFaults, AReportThatCannotBeWrittenFailsTheRun) {
    for (int i = 0; i < 40; ++i) WriteFile(src + "/f" + std::to_string(i) + ".txt", "small\r\n");
    const std::string report = dir / "report.csv";
    const int code = testing::RunInChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit lim { 1000, 1000 };  // the files fit, the report of 40 rows does not
        if (setrlimit(RLIMIT_FSIZE, &lim) != 0) return 10;
        const CliResult r = Cli({"run", src, dst, "--report", report});
        if (r.code != 4) return 1;
        if (!Holds(r.err, "rowsmith-cli: writing the report '" + report + "' failed")) return 2;
        if (!Holds(r.err, "40 copied, 0 rewritten, 0 skipped")) return 3;
        return testing::Exists(report) ? 4 : 0;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(TreeSnapshot(dst), TreeSnapshot(src));
}

// ---------------------------------------------------------------- inputs that are not what they claim

TEST_F(CliFaults, TemplateFilesThatAreNoTemplates) {
    WriteFile(src + "/a.txt", "a\r\n");
    WriteFile(dir / "t/big", std::string((16 << 20) + 1, 'x'));
    WriteFile(dir / "t/limit", std::string(16 << 20, 'x'));
    ASSERT_EQ(mkfifo((dir / "t/pipe").c_str(), 0644), 0);
    struct Case {
        std::string file;
        std::string why;  // empty: the template is taken
    };
    const std::vector<Case> cases = {
        {"/dev/zero", "it is not a regular file"},
        {dir / "t/pipe", "it is not a regular file"},  // no writer: must not wait for one
        {dir / "t", "it is a folder"},
        {dir / "t/big", "it is larger than 16 MiB"},
        {dir / "t/missing", "No such file or directory"},
        {dir / "t/limit", ""},
    };
    for (const Case& c : cases) {
        const ChildUsage u = RunMeasuredInChild([&] {
            const CliResult r = Cli({"run", src, dst, "--template-file", c.file, "--dry-run"});
            if (c.why.empty()) return r.code == 0 ? 0 : 1;
            if (r.code != 1) return 2;
            return r.err == "rowsmith-cli: cannot read the template file '" + c.file + "': " + c.why + "\n" ? 0 : 3;
        });
        EXPECT_EQ(u.code, 0) << c.file;
        EXPECT_LT(u.cpu_seconds, 2.0 * testing::SlowBuildFactor()) << c.file;
        EXPECT_LT(u.max_rss_bytes, int64_t{256} << 20) << c.file;
    }
}

// The report goes where nothing of the run is lost, and no folder is made for it.
TEST_F(CliFaults, ReportsThatWouldTakeARunsFile) {
    WriteFile(src + "/a.txt", "a\r\n");
    WriteFile(src + "/sub/b.txt", "b\r\n");
    WriteFile(dst + "/old.txt", "old");
    WriteFile(dir / "locked.csv", "an old report");
    ASSERT_EQ(chmod((dir / "locked.csv").c_str(), 0444), 0);
    ASSERT_EQ(link((src + "/a.txt").c_str(), (dir / "hard.csv").c_str()), 0);
    ASSERT_EQ(symlink((src + "/sub/b.txt").c_str(), (dir / "soft.csv").c_str()), 0);
    ASSERT_EQ(symlink(dst.c_str(), (dir / "out-link").c_str()), 0);
    const std::string is_source = "' is the source file '";
    struct Case {
        std::string report;
        std::string message;  // after "the report '<report>"
    };
    const std::vector<Case> cases = {
        {src + "/a.txt", is_source + src + "/a.txt' of this run"},
        {dir / "hard.csv", is_source + src + "/a.txt' of this run"},
        {dir / "soft.csv", is_source + src + "/sub/b.txt' of this run"},
        {dst + "/a.txt", "' is where the run writes '" + src + "/a.txt'"},
        {src + "/../dst/a.txt", "' is where the run writes '" + src + "/a.txt'"},
        {dir / "out-link/a.txt", "' is where the run writes '" + src + "/a.txt'"},
        {dir / "missing/deeper/r.csv", "' cannot be written: its folder '" + dir / "missing/deeper" + "' does not exist"},
        {dst, "' is a folder"},
        {dir / "locked.csv", "' is read-only"},
        {"/dev/null", "' is not a regular file"},
    };
    const Snapshot before = TreeSnapshot(dir.path());
    for (const Case& c : cases) {
        for (const char* how : {"--quiet", "--dry-run"}) {
            const CliResult r = Cli({"run", src, dst, "--levels", "1", "--report", c.report, how});
            EXPECT_EQ(r.code, 1) << c.report << " " << how << "\n" << r.err;
            EXPECT_EQ(r.err, "rowsmith-cli: the report '" + c.report + c.message + "\n") << how;
            EXPECT_EQ(r.out, "") << c.report;
            EXPECT_EQ(TreeSnapshot(dir.path()), before) << c.report;
        }
    }
    // Beside the destination, or replacing an old report, it is written.
    WriteFile(dir / "old.csv", "an old report");
    for (const std::string& report : {dst + "/report.csv", dir / "old.csv"}) {
        const CliResult r = Cli({"run", src, dst, "--levels", "1", "--report", report});
        EXPECT_EQ(r.code, 0) << report << "\n" << r.err;
        EXPECT_TRUE(Holds(ReadFile(report), "row,outcome,source,destination,lines,reason")) << report;
    }
}

}  // namespace
}  // namespace rowsmith::cli
