// rowsmith-cli run --job: a job file gives the same run as the command line that spells it out, and
// every part of the command line that is given wins over the job.

#include <gtest/gtest.h>

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

// src/ a.txt (CR LF) b.csv (LF) sub/a.txt (same name: flat runs rename it) sub/deeper/c.txt
class JobTree : public ::testing::Test {
  protected:
    void SetUp() override {
        src = dir / "src";
        WriteFile(src + "/a.txt", "  one\r\ntwo\r\nthree\r\n");
        WriteFile(src + "/b.csv", "h,i\nj,k\nl,m");
        WriteFile(src + "/sub/a.txt", "sub one\nsub two\n");
        WriteFile(src + "/sub/deeper/c.txt", "deep\r\n");
    }

    // A job file of these lines after the source and destination lines.
    std::string Job(const std::string& name, const std::string& dst, const std::string& lines) {
        const std::string path = dir / name;
        WriteFile(path, "# Rowsmith job\nsource = " + src + "\ndestination = " + dst + "\n" + lines);
        return path;
    }

    TempDir dir;
    std::string src;
};

TEST_F(JobTree, AJobRunsLikeTheCommandLineThatSpellsItOut) {
    if (!MakeLineExpander()) GTEST_SKIP() << "this build has no template engine";
    struct Case {
        const char* what;
        std::string job;
        std::vector<std::string> args;
    };
    const std::vector<Case> cases = {
        {"copies with the defaults", "", {}},
        {"levels, masks, sort, flat, rename, interval",
         "levels = 2\nmasks = *.txt\nsort = -filename\nstructure = flat\nexisting = rename\n"
         "interval-on = yes\ninterval = 2-;1\n",
         {"--levels", "2", "--masks", "*.txt", "--sort", "-filename", "--flat", "--rename", "--interval",
          "2-;1"}},
        {"a multi-line template, forced line ends, an output encoding",
         "levels = 1\nmasks = *.*\ntemplate-on = yes\ntemplate "
         "<<END\n[{{line|trim|caseupper}}]\n{{eol}}\nEND\n"
         "line-ends = crlf\noutput-encoding = utf-16le\ncreate-folders = yes\n",
         {"--levels", "1", "--masks", "*.*", "--template", "[{{line|trim|caseupper}}]\n{{eol}}",
          "--line-ends", "crlf", "--output-encoding", "utf-16le"}},
        {"switched-off interval and template are not used",
         "levels = 1\ninterval-on = no\ninterval = 1\ntemplate-on = no\ntemplate = x\n",
         {"--levels", "1"}},
        {"no folders may be made",
         "levels = 2\ncreate-folders = no\n",
         {"--levels", "2", "--no-create-folders"}},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string by_job = dir / ("job" + std::to_string(n));
        const std::string by_args = dir / ("args" + std::to_string(n++));
        // Both destinations hold the same old file, for rename and overwrite to meet.
        WriteFile(by_job + "/a.txt", "old\n");
        WriteFile(by_args + "/a.txt", "old\n");
        const CliResult job = Cli({"run", "--job", Job("j.rowsmith", by_job, c.job)});
        std::vector<std::string> args = {"run", src, by_args};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliResult line = Cli(args);
        EXPECT_EQ(job.code, line.code) << c.what << "\n" << job.err << line.err;
        EXPECT_EQ(LastLine(job.err), LastLine(line.err)) << c.what;
        const auto tree = TreeSnapshot(by_job);
        EXPECT_GT(tree.size(), 1u) << c.what;
        EXPECT_EQ(tree, TreeSnapshot(by_args)) << c.what;
    }
}

TEST_F(JobTree, WhatTheCommandLineGivesWinsOverTheJob) {
    if (!MakeLineExpander()) GTEST_SKIP() << "this build has no template engine";
    const std::string out = dir / "out";
    const std::string job =
        Job("j.rowsmith", out,
            "masks = *.csv\nlevels = 0\ntemplate-on = yes\ntemplate = job:{{line}}{{eol}}\n"
            "line-ends = lf\nencoding = no-such-encoding\n");
    WriteFile(dir / "t.txt", "file:{{line}}{{eol}}");

    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::string file, bytes;
    };
    const std::vector<Case> cases = {
        {"masks and template",
         {"--masks", "a.txt", "--template", "cli:{{line}}{{eol}}"},
         out + "/a.txt",
         "cli:  one\ncli:two\ncli:three\n"},
        {"template file and line ends",
         {"--masks", "a.txt", "--template-file", dir / "t.txt", "--line-ends", "auto"},
         out + "/a.txt",
         "file:  one\r\nfile:two\r\nfile:three\r\n"},
        {"--lf and an interval over the job's masks",
         {"--lf", "--interval", "-1"},
         out + "/b.csv",
         "job:l,m\n"},
        {"SOURCE and DEST",
         {src + "/sub", dir / "other", "--masks", "*.txt"},
         dir / "other/a.txt",
         "job:sub one\njob:sub two\n"},
        {"SOURCE alone", {src + "/sub/deeper", "--masks", "*.txt"}, out + "/c.txt", "job:deep\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"run", "--job", job, "--encoding", "auto"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliResult r = Cli(args);
        EXPECT_EQ(r.code, 0) << c.what << "\n" << r.err;
        EXPECT_EQ(ReadFile(c.file), c.bytes) << c.what;
    }
    // The job's own encoding is used when none is given: the name is refused before anything is written.
    const CliResult bad = Cli({"run", "--job", job, dir / "none"});
    EXPECT_EQ(bad.code, 1);
    EXPECT_NE(bad.err.find("no-such-encoding"), std::string::npos) << bad.err;
    EXPECT_FALSE(Exists(dir / "none"));
}

TEST_F(JobTree, DryRunShowsTheJobAndWritesNothing) {
    const std::string out = dir / "out";
    const CliResult r =
        Cli({"run", "--job", Job("j.rowsmith", out, "masks = *.txt\ninterval-on = yes\ninterval = 1\n"),
             "--dry-run"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "rewrite\t" + src + "/a.txt\t" + out + "/a.txt\n");
    EXPECT_FALSE(Exists(out));
}

TEST_F(JobTree, AJobThatCannotBeUsedIsAUsageError) {
    const std::string out = dir / "out";
    WriteFile(dir / "nodest.rowsmith", "source = " + src + "\n");
    WriteFile(dir / "empty.rowsmith", "");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"run", "--job", dir / "missing.rowsmith"},
         "rowsmith-cli: cannot read the job file '" + dir / "missing.rowsmith" + "': No such file"},
        {{"run", "--job", dir.path()}, "': it is a folder"},
        {{"run", "--job", Job("typo.rowsmith", out, "levels = 1\nmask = *.txt\n")},
         dir / "typo.rowsmith" + " line 5: unknown setting \"mask\""},
        {{"run", "--job", dir / "nodest.rowsmith"},
         "the job file '" + dir / "nodest.rowsmith" +
             "' gives no destination folder, and the command line gives none"},
        {{"run", "--job", dir / "empty.rowsmith"}, "gives no source folder"},
        {{"run", "--job", dir / "empty.rowsmith", dir / "nowhere", out}, "nowhere"},
        {{"run"}, "SOURCE is required"},
        {{"run", src}, "DEST is required"},
    };
    for (const Case& c : cases) {
        const CliResult r = Cli(c.args);
        EXPECT_EQ(r.code, 1) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.message << "\ngot: " << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(Exists(out));
    }
}

TEST(JobHelp, RunHelpTeachesTheJobOption) {
    const CliResult help = Cli({"run", "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("--job"), std::string::npos);
    EXPECT_NE(help.out.find("override"), std::string::npos);
}

}  // namespace
}  // namespace rowsmith::cli
