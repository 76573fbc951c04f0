// rowsmith-cli run/list --files-from and list --format paths: a given list makes the run the scan
// makes over the same files, refuses every path that leads out of SOURCE before writing anything,
// and a path list printed by list reads back as the same list.

#include <gtest/gtest.h>
#include <unicode/uvernum.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "cli/engine.h"
#include "support/temp_dir.h"

namespace rowsmith::cli {
namespace {

using testing::Exists;
using testing::ReadFile;
using testing::TempDir;
using testing::TreeSnapshot;
using testing::WriteFile;

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < s.size()) {
        std::size_t end = s.find(sep, pos);
        if (end == std::string::npos) end = s.size();
        out.push_back(s.substr(pos, end - pos));
        pos = end + 1;
    }
    return out;
}

// Makes `folder` the current folder while it lives: relative listed paths are taken from there.
class InFolder {
  public:
    explicit InFolder(const std::string& folder) : old_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~InFolder() { std::filesystem::current_path(old_); }

  private:
    std::filesystem::path old_;
};

// src/ a.txt (CR LF) "b c.csv" .hidden.txt sub/a.txt (a flat run renames it) sub/deeper/d.txt (LF)
// sub/deeper/deepest/e.txt; outside/ secret.txt beside src, and src2/ a.txt (shares src's prefix).
class FilesFromTree : public ::testing::Test {
  protected:
    void SetUp() override {
        src = dir / "src";
        dst = dir / "dst";
        WriteFile(src + "/a.txt", "one\r\ntwo\r\nthree\r\n");
        WriteFile(src + "/b c.csv", "h,i\nj,k");
        WriteFile(src + "/.hidden.txt", "hidden\n");
        WriteFile(src + "/sub/a.txt", "sub one\nsub two\n");
        WriteFile(src + "/sub/deeper/d.txt", "d1\nd2\nd3\n");
        WriteFile(src + "/sub/deeper/deepest/e.txt", "e\r\n");
        WriteFile(dir / "outside/secret.txt", "secret\n");
        WriteFile(dir / "src2/a.txt", "beside\n");
        // Hand-written relative lists are written as in "cd src && find .".
        here = std::make_unique<InFolder>(src);
    }

    void TearDown() override { here.reset(); }

    // The run's stdout with the destination folder written as "DST".
    std::string Shown(const std::string& out) const {
        std::string r = out;
        for (std::size_t p; (p = r.find(dst)) != std::string::npos;) r.replace(p, dst.size(), "DST");
        return r;
    }

    TempDir dir;
    std::string src, dst;
    std::unique_ptr<InFolder> here;
};

TEST_F(FilesFromTree, AGivenListRunsExactlyAsTheScanOfTheSameFiles) {
    const bool engine = MakeLineExpander() != nullptr;
    struct Options {
        const char* what;
        std::vector<std::string> args;
        bool needs_engine = false;
    };
    // A counter across files proves the list order too.
    const std::vector<Options> options = {
        {"copy", {}},
        {"flat", {"--flat"}},
        {"rename over an existing file", {"--rename"}},
        {"sorted", {"--sort", "-filename"}},
        {"counter across files",
         {"--template", "{{|inc:n}}{{n}}:{{line}}{{eol}}", "--interval", "1-2"},
         true},
    };
    // The relative list names the scan's files in its order (case-insensitive names, files first).
    const std::string relative =
        ".hidden.txt\na.txt\nb c.csv\nsub/a.txt\nsub/deeper/d.txt\nsub/deeper/deepest/e.txt\n";
    for (const Options& o : options) {
        if (o.needs_engine && !engine) continue;
        auto run = [&](std::vector<std::string> args, const std::string& input) {
            std::filesystem::remove_all(dst);
            WriteFile(dst + "/a.txt", "already there\n");
            args.insert(args.end(), o.args.begin(), o.args.end());
            return Cli(args, input);
        };
        const CliResult scan = run({"run", src, dst, "--levels", "5"}, "");
        ASSERT_EQ(scan.code, 0) << o.what << scan.err;
        const auto scanned_tree = TreeSnapshot(dst);

        const CliResult lines = Cli({"list", src, "--levels", "5", "--format", "paths"});
        const CliResult nul = Cli({"list", src, "--levels", "5", "--format", "paths", "--null"});
        ASSERT_EQ(lines.code, 0) << lines.err;
        ASSERT_EQ(nul.code, 0) << nul.err;
        struct Given {
            const char* what;
            std::string list;
            std::vector<std::string> extra;
            std::string folder;  // the current folder, when not src
        };
        // Levels and masks that would select nothing show that they do not filter a given list.
        const std::vector<Given> givens = {
            {"list --format paths", lines.out, {}, {}},
            {"list --format paths --null", nul.out, {"--null"}, {}},
            {"hand-written relative list, CR LF",
             std::string(".hidden.txt\r\na.txt\r\n") + relative.substr(18),
             {},
             {}},
            {"relative list with duplicates and dots",
             relative + "./a.txt\nsub/../sub/a.txt\n\n" + src + "/a.txt\n",
             {},
             {}},
            {"relative to the folder above, as find src prints them",
             "src/.hidden.txt\nsrc/a.txt\nsrc/b c.csv\nsrc/sub/a.txt\nsrc/sub/deeper/d.txt\n"
             "src/sub/deeper/deepest/e.txt\n",
             {},
             dir.path()},
        };
        for (const Given& g : givens) {
            std::vector<std::string> args = {"run",      src, dst,       "--files-from", "-",
                                             "--levels", "0", "--masks", "*.none"};
            args.insert(args.end(), g.extra.begin(), g.extra.end());
            InFolder in_folder(g.folder.empty() ? src : g.folder);
            const CliResult given = run(args, g.list);
            EXPECT_EQ(given.code, 0) << o.what << " / " << g.what << ": " << given.err;
            EXPECT_EQ(Shown(given.out), Shown(scan.out)) << o.what << " / " << g.what;
            EXPECT_EQ(LastLine(given.err), LastLine(scan.err)) << o.what << " / " << g.what;
            EXPECT_EQ(TreeSnapshot(dst), scanned_tree) << o.what << " / " << g.what;
        }
    }
}

TEST_F(FilesFromTree, ListAndDryRunShowTheGivenListAsTheScanShowsIt) {
    const std::string list = Cli({"list", src, "--levels", "5", "--format", "paths"}).out;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"list", src, dst, "--columns", "Full path,Size,FinalDestinationPath"},
          std::vector<std::string>{"run", src, dst, "--dry-run"}}) {
        std::vector<std::string> scanned = args, given = args;
        scanned.insert(scanned.end(), {"--levels", "5"});
        given.insert(given.end(), {"--files-from", "-"});
        const CliResult a = Cli(scanned), b = Cli(given, list);
        EXPECT_EQ(b.code, 0) << args[0] << b.err;
        EXPECT_EQ(b.out, a.out) << args[0];
    }
    EXPECT_FALSE(Exists(dst));
}

TEST_F(FilesFromTree, PathsLeadingOutOfTheSourceRefuseTheWholeList) {
    ASSERT_EQ(symlink((dir / "outside").c_str(), (src + "/sub/out-link").c_str()), 0);
    ASSERT_EQ(symlink("deeper", (src + "/sub/in-link").c_str()), 0);
    struct Case {
        const char* what;
        std::string path;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"up and out", "../outside/secret.txt", "../outside/secret.txt is outside SOURCE " + src},
        {"down, then further up", "sub/../../outside/secret.txt",
         "sub/../../outside/secret.txt is outside SOURCE " + src},
        {"absolute elsewhere", dir / "outside/secret.txt",
         dir / "outside/secret.txt" + " is outside SOURCE " + src},
        {"a sibling sharing the prefix", dir / "src2/a.txt",
         dir / "src2/a.txt" + " is outside SOURCE " + src},
        {"the source itself", ".", ". is SOURCE " + src + " itself"},
        {"a folder link leading out", "sub/out-link/secret.txt",
         "lies behind the link " + src + "/sub/out-link"},
        {"a folder link inside, which the scan never enters", "sub/in-link/d.txt",
         "lies behind the link " + src + "/sub/in-link"},
    };
    for (const Case& c : cases)
        for (const char* mode : {"run", "dry-run", "list"}) {
            const std::string input = "a.txt\n" + c.path + "\nsub/a.txt\n";
            std::vector<std::string> args = {std::string(mode) == "list" ? "list" : "run",
                                             src,
                                             dst,
                                             "--files-from",
                                             "-",
                                             "--report",
                                             dir / "report.csv"};
            if (std::string(mode) == "list") args.resize(5);
            if (std::string(mode) == "dry-run") args.push_back("--dry-run");
            const CliResult r = Cli(args, input);
            EXPECT_EQ(r.code, 1) << c.what << " / " << mode;
            EXPECT_NE(r.err.find(c.message), std::string::npos) << c.what << " / " << mode << ": " << r.err;
            EXPECT_EQ(r.out, "") << c.what << " / " << mode;
            EXPECT_FALSE(Exists(dst)) << c.what << " / " << mode;
            EXPECT_FALSE(Exists(dir / "report.csv")) << c.what << " / " << mode;
        }
    // A link to a file is listed as a file, wherever it leads, as the scan lists it.
    ASSERT_EQ(symlink((dir / "outside/secret.txt").c_str(), (src + "/file-link.txt").c_str()), 0);
    const CliResult linked = Cli({"run", src, dst, "--files-from", "-"}, "file-link.txt\n");
    EXPECT_EQ(linked.code, 0) << linked.err;
    EXPECT_EQ(ReadFile(dst + "/file-link.txt"), "secret\n");
}

TEST_F(FilesFromTree, MissingFilesAreSkippedAndEmptyListsDoNothingAsTheScanDoes) {
    struct Case {
        const char* what;
        std::string list;
        bool null;
        int code;
        std::string out;      // with the destination shown as DST
        std::string summary;  // the last line of stderr
        std::string error;    // a part of stderr
    };
    const std::vector<Case> cases = {
        {"a missing file among others", "nope.txt\na.txt\nsub/gone/x.txt\n", false, 2, "DST/a.txt\n",
         "1 copied, 0 rewritten, 2 skipped", "skipped '" + src + "/nope.txt': the file does not exist"},
        {"a folder on the way is a file", "a.txt/x.txt\n", false, 2, "", "0 copied, 0 rewritten, 1 skipped",
         "skipped '" + src + "/a.txt/x.txt': the file does not exist"},
        {"a missing file listed twice is named once", "nope.txt\n./nope.txt\n", false, 2, "",
         "0 copied, 0 rewritten, 1 skipped", "skipped '" + src + "/nope.txt'"},
        {"an empty list", "", false, 0, "", "0 copied, 0 rewritten, 0 skipped", ""},
        {"only empty lines", "\n\r\n\n", false, 0, "", "0 copied, 0 rewritten, 0 skipped", ""},
        {"only NULs", std::string("\0\0", 2), true, 0, "", "0 copied, 0 rewritten, 0 skipped", ""},
        {"a CR is a name's own with --null", std::string("a.txt\r\0", 7), true, 2, "",
         "0 copied, 0 rewritten, 1 skipped", "the file does not exist"},
        {"a NUL in a list read as lines", std::string("a.txt\0b.txt\0", 12), false, 1, "", "",
         "line 1 holds a NUL byte (a NUL-separated list needs --null)"},
    };
    // The scan's run over no files at all is what an empty list must give.
    const CliResult none = Cli({"run", src, dst, "--masks", "*.none"});
    EXPECT_EQ(none.code, 0);
    EXPECT_EQ(LastLine(none.err), "0 copied, 0 rewritten, 0 skipped");
    for (const Case& c : cases) {
        std::filesystem::remove_all(dst);
        std::vector<std::string> args = {"run", src, dst, "--files-from", "-"};
        if (c.null) args.push_back("--null");
        const CliResult r = Cli(args, c.list);
        EXPECT_EQ(r.code, c.code) << c.what << ": " << r.err;
        EXPECT_EQ(Shown(r.out), c.out) << c.what;
        if (!c.summary.empty()) {
            EXPECT_EQ(LastLine(r.err), c.summary) << c.what;
        }
        EXPECT_NE(r.err.find(c.error), std::string::npos) << c.what << ": " << r.err;
    }
    // The report holds the missing file with its reason, list names it too.
    std::filesystem::remove_all(dst);
    EXPECT_EQ(Cli({"run", src, dst, "--files-from", "-", "--report", dir / "r.csv"}, "nope.txt\n").code, 2);
    EXPECT_NE(ReadFile(dir / "r.csv")
                  .find("skipped," + src + "/nope.txt," + dst + "/nope.txt,0,the file does not exist"),
              std::string::npos)
        << ReadFile(dir / "r.csv");
    const CliResult listed =
        Cli({"list", src, "--files-from", "-", "--format", "paths"}, "nope.txt\na.txt\n");
    EXPECT_EQ(listed.code, 2);
    EXPECT_EQ(listed.out, src + "/a.txt\n");
    EXPECT_NE(listed.err.find("skipped '" + src + "/nope.txt': the file does not exist"), std::string::npos);
}

TEST_F(FilesFromTree, AListFileIsReadLikeStandardInput) {
    WriteFile(dir / "list.txt", "a.txt\nsub/a.txt\n");
    const CliResult r = Cli({"run", src, dst, "--files-from", dir / "list.txt"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Shown(r.out), "DST/a.txt\nDST/sub/a.txt\n");
    struct Bad {
        std::string file, message;
    };
    for (const Bad& b :
         {Bad{dir / "absent.txt", "No such file or directory"}, Bad{dir / "outside", "it is a folder"}}) {
        const CliResult e = Cli({"run", src, dir / "dst2", "--files-from", b.file});
        EXPECT_EQ(e.code, 1) << b.file;
        EXPECT_NE(e.err.find("cannot read the file list '" + b.file + "': " + b.message), std::string::npos)
            << e.err;
        EXPECT_FALSE(Exists(dir / "dst2"));
    }
}

TEST(FilesFromPaths, PathsFormatWritesOnePathEachAndNulKeepsEveryName) {
    TempDir dir;
    const std::string src = dir / "src";
    WriteFile(src + "/a b.txt", "1\n");
    WriteFile(src + "/new\nline.txt", "2\n");
    WriteFile(src + "/tab\there.txt", "3\n");
    WriteFile(src + "/sub dir/c.txt", "4\n");
    struct Case {
        bool null;
        int code;
        std::vector<std::string> paths;
        std::string error;
    };
    const std::vector<Case> cases = {
        {false,
         2,
         {src + "/a b.txt", src + "/tab\there.txt", src + "/sub dir/c.txt"},
         "skipped '" + src + "/new\nline.txt': its name holds a line break"},
        {true,
         0,
         {src + "/a b.txt", src + "/new\nline.txt", src + "/tab\there.txt", src + "/sub dir/c.txt"},
         ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"list", src, "--levels", "1", "--format", "paths"};
        if (c.null) args.push_back("--null");
        const CliResult r = Cli(args);
        EXPECT_EQ(r.code, c.code) << c.null << r.err;
        const char sep = c.null ? '\0' : '\n';
        ASSERT_FALSE(r.out.empty());
        EXPECT_EQ(r.out.back(), sep);
        EXPECT_EQ(Split(r.out, sep), c.paths) << c.null;
        EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
        // The printed list read back is the same list.
        std::vector<std::string> back = {"list", src, "--files-from", "-", "--format", "paths"};
        if (c.null) back.push_back("--null");
        EXPECT_EQ(Cli(back, r.out).out, r.out) << c.null;
    }
    EXPECT_EQ(Cli({"list", src, "--null"}).code, 1);
    EXPECT_EQ(Cli({"run", src, dir / "out", "--null"}).code, 1);
}

TEST(FilesFromVersion, VersionNamesTheEncodingsLibraryAndTheModifierCount) {
    const CliResult modifiers = Cli({"modifiers"});
    ASSERT_EQ(modifiers.code, 0);
    const std::size_t words = Split(modifiers.out, '\n').size();
    const CliResult v = Cli({"--version"});
    EXPECT_EQ(v.code, 0) << v.err;
    const std::vector<std::string> lines = Split(v.out, '\n');
    ASSERT_GE(lines.size(), 3u) << v.out;
    EXPECT_EQ(lines[0], std::string("rowsmith-cli ") + ROWSMITH_VERSION);
    EXPECT_EQ(lines[1], "template engine: " + std::to_string(words) + " modifier words");
    EXPECT_EQ(lines[2], std::string("encodings: ICU ") + U_ICU_VERSION);
}

}  // namespace
}  // namespace rowsmith::cli
