#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "cli/commands.h"
#include "cli/engine.h"
#include "files/platform_fs.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace rowsmith::cli {
namespace {

using testing::Exists;
using testing::ReadFile;
using testing::TempDir;
using testing::TreeSnapshot;
using testing::WriteFile;

std::vector<std::string> Lines(const std::string& s) {
    std::vector<std::string> out;
    std::istringstream in(s);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// src/ a.txt (5 lines) b.csv README empty.txt sub/c.txt (no final CR LF) sub/deeper/d.txt
// sub/deeper/deepest/e.txt
class CliTree : public ::testing::Test {
  protected:
    void SetUp() override {
        src = dir / "src";
        dst = dir / "dst";
        WriteFile(src + "/a.txt", "1\r\n2\r\n3\r\n4\r\n5\r\n");
        WriteFile(src + "/b.csv", "h,i\r\nj,k\r\n");
        WriteFile(src + "/README", "readme\r\n");
        WriteFile(src + "/empty.txt", "");
        WriteFile(src + "/sub/c.txt", "c1\r\nc2\r\nc3\r\nc4");
        WriteFile(src + "/sub/deeper/d.txt", "d1\r\nd2");
        WriteFile(src + "/sub/deeper/deepest/e.txt", "too deep\r\n");
    }

    TempDir dir;
    std::string src, dst;
};

TEST_F(CliTree, CopiesTheMatchingTreeByteForByte) {
    const CliResult r = Cli({"run", src, dst, "--levels", "2", "--masks", "*.txt|*.csv"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{dst + "/a.txt", dst + "/b.csv", dst + "/empty.txt",
                                                      dst + "/sub/c.txt", dst + "/sub/deeper/d.txt"}));
    EXPECT_EQ(LastLine(r.err), "5 copied, 0 rewritten, 0 skipped");
    for (const char* f : {"a.txt", "b.csv", "empty.txt", "sub/c.txt", "sub/deeper/d.txt"})
        EXPECT_EQ(ReadFile(dst + "/" + f), ReadFile(src + "/" + f)) << f;
    EXPECT_FALSE(Exists(dst + "/README"));
    EXPECT_FALSE(Exists(dst + "/sub/deeper/deepest"));
}

TEST_F(CliTree, IntervalWritesTheFirstThreeLinesWithTheirEnds) {
    const CliResult r =
        Cli({"run", src, dst, "--levels", "2", "--masks", "*.txt|*.csv", "--interval", "1-3"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(LastLine(r.err), "0 copied, 5 rewritten, 0 skipped");
    EXPECT_EQ(ReadFile(dst + "/a.txt"), "1\r\n2\r\n3\r\n");
    EXPECT_EQ(ReadFile(dst + "/b.csv"), "h,i\r\nj,k\r\n");
    EXPECT_EQ(ReadFile(dst + "/sub/c.txt"), "c1\r\nc2\r\nc3\r\n");
    EXPECT_EQ(ReadFile(dst + "/sub/deeper/d.txt"), "d1\r\nd2");  // its last line had no end
    EXPECT_TRUE(Exists(dst + "/empty.txt"));
    EXPECT_EQ(ReadFile(dst + "/empty.txt"), "");

    const CliResult crlf = Cli({"run", src, dir / "crlf", "--levels", "2", "--interval", "1-3", "--line-ends", "crlf", "--masks", "d.txt"});
    EXPECT_EQ(crlf.code, 0) << crlf.err;
    EXPECT_EQ(ReadFile(dir / "crlf/sub/deeper/d.txt"), "d1\r\nd2\r\n");
    const CliResult bad = Cli({"run", src, dir / "bad", "--line-ends", "mac"});
    EXPECT_EQ(bad.code, 1);
    EXPECT_NE(bad.err.find("--line-ends"), std::string::npos) << bad.err;

    const CliResult lf = Cli({"run", src, dir / "lf", "--interval=-2-", "--lf", "--masks", "a.txt"});
    EXPECT_EQ(lf.code, 0) << lf.err;
    EXPECT_EQ(ReadFile(dir / "lf/a.txt"), "4\n5\n");
}

TEST_F(CliTree, RenameWritesNumberedNamesBesideTheOldOnes) {
    ASSERT_EQ(Cli({"run", src, dst, "--masks", "a.txt"}).code, 0);
    const CliResult second = Cli({"run", src, dst, "--masks", "a.txt", "--rename", "--interval", "1"});
    EXPECT_EQ(second.code, 0) << second.err;
    EXPECT_EQ(Lines(second.out), (std::vector<std::string>{dst + "/a_1.txt"}));
    EXPECT_EQ(ReadFile(dst + "/a.txt"), ReadFile(src + "/a.txt"));
    EXPECT_EQ(ReadFile(dst + "/a_1.txt"), "1\r\n");
    EXPECT_EQ(Cli({"run", src, dst, "--masks", "a.txt", "--rename"}).code, 0);
    EXPECT_EQ(ReadFile(dst + "/a_2.txt"), ReadFile(src + "/a.txt"));
}

TEST_F(CliTree, BadInputGetsAClearAnswerAndWritesNothing) {
    struct Case {
        std::vector<std::string> args;
        std::string message;  // a part of the message on stderr
    };
    const std::vector<Case> cases = {
        {{"run", dir / "missing", dst}, "'" + dir / "missing" + "' does not exist"},
        {{"run", src + "/a.txt", dst}, "(it is a file)"},
        {{"run", src, src}, "is the source folder itself"},
        {{"run", src, src + "/"}, "is the source folder itself"},
        {{"run", src, src + "/sub/.."}, "is the source folder itself"},
        {{"run", src, dir / "out*"}, "'" + dir / "out*" + "' holds a character"},
        {{"run", src, dir / "o?t"}, "holds a character"},
        {{"run", src, dst, "--levels", "256"}, "--levels"},
        {{"run", src, dst, "--levels", "-1"}, "--levels"},
        {{"run", src, dst, "--bogus"}, "--bogus"},
        {{"run", src}, "DEST"},
        {{"run", src, dst, "--template-file", dir / "no-template"}, "no-template"},
        {{"run", src, dst, "--codepage", "klingon"}, "klingon"},
        {{"list", src, "--columns", "Filename,Nope"}, "unknown column 'Nope'"},
        {{"interval", "1-3"}, "--count"},
        {{}, "subcommand"},
    };
    for (const Case& c : cases) {
        const CliResult r = Cli(c.args);
        std::string joined;
        for (const auto& a : c.args) joined += a + " ";
        EXPECT_EQ(r.code, 1) << joined;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << joined << "\n" << r.err;
        EXPECT_EQ(r.out, "") << joined;
        EXPECT_FALSE(Exists(dst)) << joined;
    }
    EXPECT_EQ(TreeSnapshot(dir.path()).size(), 11u);  // the source tree and nothing else
}

TEST_F(CliTree, TemplatesNeedTheEngine) {
    const CliResult r = Cli({"run", src, dst, "--masks", "a.txt", "--template", "{{line}}{{crlf}}"});
    if (MakeLineExpander()) {
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(ReadFile(dst + "/a.txt"), ReadFile(src + "/a.txt"));
    } else {
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find("--template"), std::string::npos) << r.err;
        EXPECT_FALSE(Exists(dst));
    }
    // An empty template leaves the files copied.
    const CliResult empty = Cli({"run", src, dst, "--masks", "a.txt", "--template", ""});
    EXPECT_EQ(empty.code, 0) << empty.err;
    EXPECT_EQ(LastLine(empty.err), "1 copied, 0 rewritten, 0 skipped");
}

TEST_F(CliTree, DryRunPrintsModesAndWritesNothing) {
    const CliResult r =
        Cli({"run", src, dst, "--levels", "1", "--masks", "*.txt", "--interval", "2", "--dry-run"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Lines(r.out),
              (std::vector<std::string>{"rewrite\t" + src + "/a.txt\t" + dst + "/a.txt",
                                        "rewrite\t" + src + "/empty.txt\t" + dst + "/empty.txt",
                                        "rewrite\t" + src + "/sub/c.txt\t" + dst + "/sub/c.txt"}));
    EXPECT_FALSE(Exists(dst));

    const CliResult flat = Cli({"run", src, dst, "--levels", "1", "--masks", "c.txt", "--flat", "--dry-run"});
    EXPECT_EQ(Lines(flat.out), (std::vector<std::string>{"copy\t" + src + "/sub/c.txt\t" + dst + "/c.txt"}));
    EXPECT_FALSE(Exists(dst));
}

TEST_F(CliTree, SkippedFilesAreNamedAndGiveStatusTwo) {
    WriteFile(dst + "/sub", "a file where a folder must go");
    const CliResult r = Cli({"run", src, dst, "--levels", "1", "--masks", "*.txt"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("skipped '" + src + "/sub/c.txt'"), std::string::npos) << r.err;
    EXPECT_EQ(LastLine(r.err), "2 copied, 0 rewritten, 1 skipped");
    EXPECT_EQ(ReadFile(dst + "/sub"), "a file where a folder must go");
    EXPECT_EQ(ReadFile(dst + "/a.txt"), ReadFile(src + "/a.txt"));
}

TEST_F(CliTree, UnwritableDestinationFolderIsSkipped) {
    testing::OpenForOrdinaryUser(dir.path());
    const int code = testing::RunInChild(
        [&] {
            if (mkdir(dst.c_str(), 0555) != 0) return 10;
            const CliResult r = Cli({"run", src, dst, "--masks", "a.txt", "--interval", "1"});
            if (r.code != 2) return 1;
            if (r.err.find("skipped '" + src + "/a.txt'") == std::string::npos) return 2;
            return files::fs::PathExists(dst + "/a.txt") ? 3 : 0;
        },
        true);
    if (code == testing::kCannotDropRoot) GTEST_SKIP() << "cannot switch to an ordinary user";
    EXPECT_EQ(code, 0);
}

TEST_F(CliTree, ReportListsEveryRowsOutcome) {
    WriteFile(dst + "/sub", "blocks the folder");
    const CliResult r =
        Cli({"run", src, dst, "--levels", "1", "--masks", "a.txt|c.txt", "--report", dir / "rep.csv"});
    EXPECT_EQ(r.code, 2);
    const auto lines = Lines(ReadFile(dir / "rep.csv"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "row,outcome,source,destination,lines,reason,encoding,line ends\r");
    EXPECT_EQ(lines[1], "1,copied," + src + "/a.txt," + dst + "/a.txt,0,,,\r");
    // A rewrite tells how the source was read.
    WriteFile(src + "/lf.txt", "caf\xc3\xa9\nb\n");
    Cli({"run", src, dir / "re", "--masks", "lf.txt", "--interval", "1-", "--report", dir / "re.csv"});
    EXPECT_EQ(Lines(ReadFile(dir / "re.csv"))[1], "1,rewritten," + src + "/lf.txt," + dir / "re/lf.txt" + ",2,,UTF-8,LF\r");
    EXPECT_EQ(lines[2].rfind("2,skipped," + src + "/sub/c.txt," + dst + "/sub/c.txt,0,", 0), 0u) << lines[2];
}

// What a new user tries first on Linux: LF files keep their line ends, characters are not bytes.
TEST_F(CliTree, LinuxTextWorksAsGawkAndSedWould) {
    WriteFile(dir / "s/a.txt", "one\ntwo\nthree\nfour\n");
    const CliResult run = Cli({"run", dir / "s", dir / "o", "--interval", "1-2"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(ReadFile(dir / "o/a.txt"), "one\ntwo\n");
    const CliResult ex = Cli({"expand", "--lf", "--template", "{{line|caseupper}} {{line|1-3}}{{lf}}"},
                             "Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln\n");
    EXPECT_EQ(ex.code, 0) << ex.err;
    EXPECT_EQ(ex.out, "GR\xC3\x9CSSE AUS K\xC3\x96LN Gr\xC3\xBC\n");
    // The classic model, one option away: one byte one character, the lone LF part of the line.
    const CliResult bytes = Cli({"expand", "--encoding", "bytes", "--line-ends", "crlf", "--template", "[{{line|1-3}}]"},
                                "Gr\xC3\xBC\nx\r\n");
    EXPECT_EQ(bytes.out, "[Gr\xC3]");
}

TEST_F(CliTree, EncodingOptionsAreCheckedAndHonoured) {
    struct Case {
        std::vector<std::string> args;
        std::string input;
        int code;
        std::string out;
        std::string err_part;
    };
    const std::string latin = "caf\xe9\r\n";
    const std::vector<Case> cases = {
        {{"--encoding", "klingon"}, "x", 1, "", "--encoding: unknown encoding \"klingon\""},
        {{"--legacy-encoding", "nope"}, "x", 1, "", "--legacy-encoding"},
        {{"--output-encoding", "utf-16"}, "x", 1, "", "--output-encoding"},
        {{"--template", "{{line|caseupper}}{{eol}}"}, latin, 0, "CAF\xc9\r\n", ""},
        {{"--template", "{{line|caseupper}}{{eol}}", "--output-encoding", "utf-8"}, latin, 0, "CAF\xc3\x89\r\n", ""},
        {{"--legacy-encoding", "koi8-r"}, "\xf0\xd2\xc9\n", 0, "\xf0\xd2\xc9\n", ""},
        {{"--legacy-encoding", "koi8-r", "--output-encoding", "utf-8"}, "\xf0\xd2\xc9\n", 0, "\xd0\x9f\xd1\x80\xd0\xb8\n", ""},
        {{"--template", "\xe2\x82\xac{{eol}}", "--legacy-encoding", "koi8-r"}, "\xf0\n", 2, "",
         "line 1: the character \"\xe2\x82\xac\" (U+20AC) cannot be written in koi8-r"},
        {{"--encoding", "utf-16le"}, "a", 2, "", "is not UTF-16LE"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"expand"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliResult r = Cli(args, c.input);
        EXPECT_EQ(r.code, c.code) << c.args[0] << " " << r.err;
        if (c.code != 1) { EXPECT_EQ(r.out, c.out) << c.args[0]; }
        EXPECT_NE(r.err.find(c.err_part), std::string::npos) << c.args[0] << ": " << r.err;
    }
}

TEST_F(CliTree, ListShowsHowEachFileWouldBeRead) {
    const std::string folder = dir / "kinds";
    WriteFile(folder + "/crlf.txt", "a\r\nb");
    WriteFile(folder + "/lf.txt", "caf\xc3\xa9\n");
    WriteFile(folder + "/latin.txt", "caf\xe9\r\n");
    WriteFile(folder + "/u16.txt", std::string("\xff\xfe" "a\0\n\0", 6));
    WriteFile(folder + "/one.txt", "no end");
    WriteFile(folder + "/bin.dat", std::string("\0\x01", 2));
    const CliResult r = Cli({"list", folder, "--masks", "*", "--columns", "Filename,Encoding,LineEnds"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out,
              "Filename\tEncoding\tLineEnds\n"
              "bin.dat\tbytes\tnone\n"
              "crlf.txt\tUTF-8\tCRLF\n"
              "latin.txt\twindows-1252\tCRLF\n"
              "lf.txt\tUTF-8\tLF\n"
              "one.txt\tUTF-8\tnone\n"
              "u16.txt\tUTF-16LE BOM\tLF\n");
}

TEST_F(CliTree, RelativeDestinationIsTakenFromTheCurrentFolder) {
    const std::string before = files::fs::CurrentFolder();
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    const CliResult r = Cli({"run", "src", "out", "--masks", "a.txt"});
    const CliResult same = Cli({"run", "src", "./src/"});
    ASSERT_EQ(chdir(before.c_str()), 0);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadFile(dir / "out/a.txt"), ReadFile(src + "/a.txt"));
    EXPECT_EQ(same.code, 1);
}

TEST_F(CliTree, ListPrintsATitleRowAndTheRows) {
    const CliResult r = Cli({"list", src, "--levels", "1", "--masks", "*.txt", "--columns",
                             "Filename,Size,FinalDestinationPath"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{"Filename\tSize\tFinalDestinationPath", "a.txt\t15\t",
                                                      "empty.txt\t0\t", "c.txt\t14\t"}));

    const CliResult with_dest =
        Cli({"list", src, dst, "--masks", "a.txt", "--columns", "filename, finaldestinationpath"});
    EXPECT_EQ(with_dest.code, 0) << with_dest.err;
    EXPECT_EQ(Lines(with_dest.out),
              (std::vector<std::string>{"Filename\tFinalDestinationPath", "a.txt\t" + dst + "/a.txt"}));

    const CliResult csv =
        Cli({"list", src, "--masks", "*.csv", "--columns", "Filename,Path", "--format", "csv"});
    EXPECT_EQ(csv.out, "Filename,Path\r\nb.csv," + src + "/\r\n");

    const CliResult sorted = Cli({"list", src, "--sort", "-filesize", "--columns", "Filename"});
    EXPECT_EQ(Lines(sorted.out), (std::vector<std::string>{"Filename", "a.txt", "b.csv", "empty.txt"}));
    EXPECT_FALSE(Exists(dst));
}

TEST(CliList, EachFormatEscapesItsOwnSpecialCharacters) {
    TempDir dir;
    const std::string src = dir / "src";
    for (const char* n : {"back\\slash.txt", "a<b>&\"c'.txt", "comma,\"q\".txt"}) WriteFile(src + "/" + n, "x");
    struct Case {
        const char* format;
        std::string expected;
    };
    const Case cases[] = {
        {"tsv", "Filename\na<b>&\"c'.txt\nback\\\\slash.txt\ncomma,\"q\".txt\n"},
        {"csv", "Filename\r\n\"a<b>&\"\"c'.txt\"\r\nback\\slash.txt\r\n\"comma,\"\"q\"\".txt\"\r\n"},
        {"html",
         "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>File list</title></head><body>\n<table>\n"
         "<tr><th>Filename</th></tr>\n<tr><td>a&lt;b&gt;&amp;&quot;c&#39;.txt</td></tr>\n"
         "<tr><td>back\\slash.txt</td></tr>\n<tr><td>comma,&quot;q&quot;.txt</td></tr>\n</table>\n</body></html>\n"},
    };
    for (const Case& c : cases) {
        const CliResult r = Cli({"list", src, "--columns", "Filename", "--format", c.format});
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, c.expected) << c.format;
    }
}

TEST(CliList, ALongListingComesOutWholeAndInOrder) {
    // Long names make the listing several times larger than the writer's piece of output.
    TempDir dir;
    const std::string src = dir / "src";
    const std::string filler(200, 'n');
    std::string expected = "Filename\tFull path\n";
    for (int i = 0; i < 1500; ++i) {
        char number[8];
        std::snprintf(number, sizeof number, "%04d", i);
        const std::string name = std::string(number) + filler + ".txt";
        WriteFile(src + "/" + name, "");
        expected += name + "\t" + src + "/" + name + "\n";
    }
    const CliResult r = Cli({"list", src, "--masks", "*.txt", "--columns", "Filename,Full path"});
    EXPECT_EQ(r.code, 0) << r.err;
    ASSERT_GT(r.out.size(), 2u << 18);
    EXPECT_EQ(r.out, expected);
}

TEST(CliInterval, PrintsTheSelectedNumbers) {
    struct Case {
        const char* text;
        const char* count;
        const char* expected;
    };
    const Case cases[] = {
        {"1-3;7;9-8", "10", "1\n2\n3\n7\n9\n8\n"},
        {"-1", "4", "4\n"},
        {"", "3", "1\n2\n3\n"},
        {"5", "3", ""},
        {"1-", "0", ""},
    };
    for (const Case& c : cases) {
        const CliResult r = Cli({"interval", c.text, "--count", c.count});
        EXPECT_EQ(r.code, 0) << c.text;
        EXPECT_EQ(r.out, c.expected) << c.text;
    }
}

TEST(CliInterval, HelpAndVersion) {
    const CliResult version = Cli({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_NE((version.out + version.err).find("rowsmith-cli"), std::string::npos);
    const CliResult help = Cli({"run", "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("--dry-run"), std::string::npos);
}

// ---------------------------------------------------------------- the built program

struct ProgramResult {
    int code = -1;
    std::string out, err;
};

std::string Quoted(const std::string& s) {
    std::string r = "'";
    for (char c : s) r += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return r + "'";
}

ProgramResult RunProgram(const TempDir& dir, const std::vector<std::string>& args) {
    ProgramResult r;
    std::string cmd = Quoted(std::getenv("ROWSMITH_CLI"));
    for (const auto& a : args) cmd += " " + Quoted(a);
    cmd += " >" + Quoted(dir / "stdout.txt") + " 2>" + Quoted(dir / "stderr.txt") + " </dev/null";
    const int status = std::system(cmd.c_str());
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadFile(dir / "stdout.txt");
    r.err = ReadFile(dir / "stderr.txt");
    return r;
}

TEST(CliProgram, RunsAsAProcess) {
    if (!std::getenv("ROWSMITH_CLI")) GTEST_SKIP() << "ROWSMITH_CLI is not set (run through ctest)";
    TempDir dir;
    TempDir out;
    WriteFile(dir / "src/a.txt", "1\r\n2\r\n3\r\n4");
    WriteFile(dir / "src/s/b.csv", "x");

    const ProgramResult copy =
        RunProgram(out, {"run", dir / "src", dir / "dst", "--levels", "2", "--masks", "*.txt|*.csv"});
    EXPECT_EQ(copy.code, 0) << copy.err;
    EXPECT_EQ(copy.out, dir / "dst/a.txt" + "\n" + dir / "dst/s/b.csv" + "\n");
    EXPECT_EQ(copy.err, "2 copied, 0 rewritten, 0 skipped\n");
    EXPECT_EQ(TreeSnapshot(dir / "dst"), TreeSnapshot(dir / "src"));

    const ProgramResult rewrite =
        RunProgram(out, {"run", dir / "src", dir / "dst", "--masks", "*.txt", "--interval", "2-3"});
    EXPECT_EQ(rewrite.code, 0) << rewrite.err;
    EXPECT_EQ(ReadFile(dir / "dst/a.txt"), "2\r\n3\r\n");

    const ProgramResult missing = RunProgram(out, {"run", dir / "nowhere", dir / "dst"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find(dir / "nowhere"), std::string::npos);

    const ProgramResult interval = RunProgram(out, {"interval", "1-3;7;9-8", "--count", "10"});
    EXPECT_EQ(interval.code, 0);
    EXPECT_EQ(interval.out, "1\n2\n3\n7\n9\n8\n");
}

}  // namespace
}  // namespace rowsmith::cli
