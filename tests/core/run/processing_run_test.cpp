#include "run/processing_run.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "files/file_list.h"
#include "files/scan.h"
#include "files/text_file.h"
#include "support/child_process.h"
#include "support/file_lists.h"
#include "support/temp_dir.h"

namespace rowsmith::run {
namespace {

using testing::Exists;
using testing::ReadFile;
using testing::TempDir;
using testing::TreeSnapshot;
using testing::WriteFile;

// Stands in for the template engine: wraps each line and counts across files and runs.
class FakeExpander : public LineExpander {
  public:
    std::string ExpandLine(std::string_view template_text, std::string_view line) override {
        ++calls;
        return std::string(template_text) + std::to_string(calls) + ":" + std::string(line) + "\n";
    }
    int calls = 0;
};

struct RunResult {
    RunSummary summary;
    std::vector<RowReport> rows;
};

class RunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        src = dir / "src";
        dst = dir / "dst";
    }

    // Lists src (like the window's populate) and runs the settings over it.
    RunResult Run(const RunSettings& settings, int levels = 2, const char* masks = "*.*",
                  LineExpander* expander = nullptr,
                  const std::function<void(tables::ArrayOfFiles&)>& before = {}) {
        tables::ArrayOfFiles list;
        testing::PopulateList(list, src, dst, masks, levels);
        if (before) before(list);
        tables::ArrayOfFiles buffer;
        RunResult r;
        RunHooks hooks;
        hooks.OnRow = [&](const RowReport& rep) { r.rows.push_back(rep); };
        r.summary = RunFiles(list, buffer, expander, settings, hooks);
        EXPECT_EQ(buffer.RowCount, 0);
        return r;
    }

    static RunSettings Interval(std::string text) {
        RunSettings s;
        s.IntervalActive = true;
        s.IntervalText = std::move(text);
        return s;
    }

    TempDir dir;
    std::string src, dst;
};

TEST_F(RunTest, CopyModeMirrorsTheTreeByteForByte) {
    WriteFile(src + "/a.txt", "one\r\ntwo");
    WriteFile(src + "/bin.dat", std::string("\0\r\n\xff\n", 5));
    WriteFile(src + "/empty.txt", "");
    WriteFile(src + "/s1/b.csv", "x,y\n");
    WriteFile(src + "/s1/s2/c.txt", "deep\r\n");
    const RunResult r = Run(RunSettings{}, 2);
    EXPECT_EQ(r.summary.Copied, 5);
    EXPECT_EQ(r.summary.Skipped, 0);
    EXPECT_EQ(TreeSnapshot(dst), TreeSnapshot(src));
    EXPECT_EQ(SummaryLine(r.summary), "5 copied, 0 rewritten, 0 skipped");

    // An enabled edit without text does not switch line processing on.
    RunSettings empty_template;
    empty_template.TemplateActive = true;
    empty_template.IntervalActive = true;
    EXPECT_TRUE(CopiesFiles(empty_template));
    FakeExpander fake;
    const RunResult again = Run(empty_template, 2, "*.*", &fake);
    EXPECT_EQ(again.summary.Copied, 5);
    EXPECT_EQ(fake.calls, 0);
    EXPECT_EQ(TreeSnapshot(dst), TreeSnapshot(src));
}

TEST_F(RunTest, IntervalKeepsLinesEachEndingInCrLf) {
    struct Case {
        std::string source;
        std::string interval;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"1\r\n2\r\n3\r\n4\r\n", "1-3", "1\r\n2\r\n3\r\n"},
        {"1\r\n2\r\n3", "1-3", "1\r\n2\r\n3\r\n"},
        {"1\r\n2", "1-3", "1\r\n2\r\n"},
        {"a\nb\nc\n", "1-3", "a\nb\nc\n\r\n"},  // LF-only: one line
        {"1\r\n2\r\n3\r\n", "-1;1", "3\r\n1\r\n"},
        {"1\r\n2\r\n3\r\n", "3-2", "3\r\n2\r\n"},
        {"1\r\n\r\n3\r\n", "2", "\r\n"},
        {"1\r\n2\r\n", "9", ""},
        {"", "1-3", ""},
    };
    for (const Case& c : cases) {
        WriteFile(src + "/f.txt", c.source);
        RunSettings s = Interval(c.interval);
        s.LineEnds = files::LineEnds::Crlf;  // the format's rule: every kept line ends in CR LF
        const RunResult r = Run(s);
        ASSERT_EQ(r.rows.size(), 1u);
        EXPECT_EQ(r.rows[0].Outcome, RowOutcome::Rewritten) << c.interval;
        ASSERT_TRUE(Exists(dst + "/f.txt"));
        EXPECT_EQ(ReadFile(dst + "/f.txt"), c.expected) << c.interval;
    }
}

TEST_F(RunTest, LineEndsAreKeptUnderAutoAndForcedOtherwise) {
    struct Case {
        std::string bytes;
        files::LineEnds ends;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"a\nb\r\nc", files::LineEnds::Auto, "a\nb\r\nc"},
        {"a\r\nb\nc\r\n", files::LineEnds::Auto, "a\r\nb\nc\r\n"},
        {"one\ntwo\n", files::LineEnds::Auto, "one\ntwo\n"},
        {"a\nb\r\nc", files::LineEnds::Lf, "a\nb\nc\n"},
        {"a\nb\r\nc", files::LineEnds::Crlf, "a\nb\r\nc\r\n"},
        {"a\r\nb", files::LineEnds::Crlf, "a\r\nb\r\n"},
    };
    for (const Case& c : cases) {
        WriteFile(src + "/f.txt", c.bytes);
        RunSettings s = Interval("1-");
        s.LineEnds = c.ends;
        Run(s);
        EXPECT_EQ(ReadFile(dst + "/f.txt"), c.expected) << c.bytes << " " << files::LineEndsWord(c.ends);
    }
}

TEST_F(RunTest, TemplateWithEmptyIntervalProcessesEveryLine) {
    WriteFile(src + "/a.txt", "x\r\ny\r\n");
    WriteFile(src + "/b.txt", "z");
    FakeExpander fake;
    RunSettings s;
    s.IntervalActive = true;  // checked but empty: every line
    s.TemplateActive = true;
    s.TemplateText = "T";
    const RunResult r = Run(s, 0, "*.*", &fake);
    EXPECT_EQ(r.summary.Rewritten, 2);
    EXPECT_EQ(ReadFile(dst + "/a.txt"), "T1:x\nT2:y\n");
    EXPECT_EQ(ReadFile(dst + "/b.txt"), "T3:z\n");
    // The template's state carries on into the next run.
    Run(s, 0, "*.*", &fake);
    EXPECT_EQ(ReadFile(dst + "/b.txt"), "T6:z\n");

    // Without an engine the rows are skipped, not written untemplated.
    const RunResult no_engine = Run(s, 0, "*.*", nullptr);
    EXPECT_EQ(no_engine.summary.Skipped, 2);
    EXPECT_EQ(ReadFile(dst + "/b.txt"), "T6:z\n");
}

TEST_F(RunTest, DestinationThatIsTheSourceIsSkipped) {
    WriteFile(src + "/a.txt", "keep me\r\n");
    dst = src;
    for (const RunSettings& s : {RunSettings{}, Interval("1")}) {
        const RunResult r = Run(s);
        ASSERT_EQ(r.rows.size(), 1u);
        EXPECT_EQ(r.rows[0].Outcome, RowOutcome::Skipped);
        EXPECT_NE(r.rows[0].Reason.find("source"), std::string::npos);
    }
    RunSettings rename = Interval("1");
    rename.DestinationFlags = MakeDestinationFlags(true, false);
    Run(rename);
    EXPECT_EQ(ReadFile(src + "/a.txt"), "keep me\r\n");
    EXPECT_EQ(TreeSnapshot(src).size(), 1u);

    // A destination that is a link to the source, or a second name of it, is the source too.
    dst = dir / "dst";
    WriteFile(dst + "/keep.txt", "");
    ASSERT_EQ(symlink((src + "/a.txt").c_str(), (dst + "/a.txt").c_str()), 0);
    WriteFile(src + "/b.txt", "b\r\n");
    ASSERT_EQ(link((src + "/b.txt").c_str(), (dst + "/b.txt").c_str()), 0);
    for (const RunSettings& s : {RunSettings{}, Interval("1-")}) {
        const RunResult r = Run(s);
        EXPECT_EQ(r.summary.Skipped, 2);
    }
    EXPECT_EQ(ReadFile(src + "/a.txt"), "keep me\r\n");
    EXPECT_EQ(ReadFile(src + "/b.txt"), "b\r\n");
}

TEST_F(RunTest, SpecialFilesAreSkippedWithoutBlocking) {
    WriteFile(src + "/a.txt", "a");
    ASSERT_EQ(mkfifo((src + "/pipe.txt").c_str(), 0644), 0);
    ASSERT_EQ(symlink((src + "/nowhere").c_str(), (src + "/dangling.txt").c_str()), 0);
    for (const RunSettings& s : {RunSettings{}, Interval("1")}) {
        const RunResult r = Run(s);
        EXPECT_EQ(r.summary.Skipped, 2);
        EXPECT_EQ(r.summary.Copied + r.summary.Rewritten, 1);
        EXPECT_FALSE(Exists(dst + "/pipe.txt"));
        EXPECT_FALSE(Exists(dst + "/dangling.txt"));
    }
}

TEST_F(RunTest, FolderRowsCreateFolders) {
    WriteFile(src + "/sub/inner.txt", "x");
    WriteFile(src + "/top.txt", "t");
    for (const RunSettings& s : {RunSettings{}, Interval("1")}) {
        const RunResult r = Run(s, 0, "*");
        EXPECT_EQ(r.summary.Folders, 1);
        EXPECT_TRUE(files::fs::FolderExists(dst + "/sub"));
        EXPECT_FALSE(Exists(dst + "/sub/inner.txt"));
        EXPECT_EQ(ReadFile(dst + "/top.txt"), "t");  // a last line without an end keeps none
    }
    RunSettings no_folders;
    no_folders.DestinationFlags = MakeDestinationFlags(false, true);
    dst = dir / "fresh";
    const RunResult r = Run(no_folders, 0, "*");
    EXPECT_EQ(r.summary.Skipped, 2);
    EXPECT_FALSE(Exists(dst));
}

TEST_F(RunTest, VanishedSourceIsSkipped) {
    WriteFile(src + "/a.txt", "a");
    WriteFile(src + "/b.txt", "b");
    WriteFile(dst + "/a.txt", "old");
    for (const RunSettings& s : {RunSettings{}, Interval("1")}) {
        const RunResult r =
            Run(s, 0, "*.*", nullptr, [&](tables::ArrayOfFiles&) { unlink((src + "/a.txt").c_str()); });
        ASSERT_EQ(r.rows.size(), 2u);
        EXPECT_EQ(r.rows[0].Outcome, RowOutcome::Skipped);
        EXPECT_NE(r.rows[0].Reason.find("no longer exists"), std::string::npos);
        EXPECT_EQ(r.rows[1].Outcome, s.IntervalActive ? RowOutcome::Rewritten : RowOutcome::Copied);
        EXPECT_EQ(ReadFile(dst + "/a.txt"), "old");
        WriteFile(src + "/a.txt", "a");
    }
}

TEST_F(RunTest, UnreadableSourceKeepsTheOldDestination) {
    testing::OpenForOrdinaryUser(dir.path());
    const int code = testing::RunInChild(
        [&] {
            WriteFile(src + "/secret.txt", "s\r\n");
            WriteFile(src + "/open.txt", "o\r\n");
            chmod((src + "/secret.txt").c_str(), 0);
            WriteFile(dst + "/secret.txt", "good earlier output");
            for (const RunSettings& s : {RunSettings{}, Interval("1")}) {
                const RunResult r = Run(s);
                if (r.summary.Skipped != 1) return 1;
                for (const RowReport& rep : r.rows)
                    if (rep.Outcome == RowOutcome::Skipped &&
                        rep.Reason.find("cannot be read") == std::string::npos)
                        return 5;
                if (ReadFile(dst + "/secret.txt") != "good earlier output") return 2;
                if (ReadFile(dst + "/open.txt") != "o\r\n") return 3;
            }
            return ::testing::Test::HasFailure() ? 4 : 0;
        },
        true);
    if (code == testing::kCannotDropRoot) GTEST_SKIP() << "cannot switch to an ordinary user";
    EXPECT_EQ(code, 0);
}

TEST_F(RunTest, FailedWriteKeepsTheOldDestination) {
    std::string big;
    for (int i = 0; i < 5000; ++i) big += std::string(60, 'x') + "\r\n";
    WriteFile(src + "/big.txt", big);
    WriteFile(src + "/small.txt", "s\r\n");
    WriteFile(dst + "/big.txt", "precious");
    const int code = testing::RunInChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim {
            100000, 100000
        };
        if (setrlimit(RLIMIT_FSIZE, &lim) != 0) return 10;
        for (const RunSettings& s : {RunSettings{}, Interval("1-")}) {
            const RunResult r = Run(s);
            if (r.summary.Skipped != 1 || r.rows.size() != 2) return 1;
            if (r.rows[0].Outcome != RowOutcome::Skipped || r.rows[1].Outcome == RowOutcome::Skipped)
                return 2;
            if (ReadFile(dst + "/big.txt") != "precious") return 3;
        }
        return ::testing::Test::HasFailure() ? 4 : 0;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(TreeSnapshot(dst).size(), 2u);  // no temporary files left
}

TEST_F(RunTest, RenameModeWritesNumberedNames) {
    WriteFile(src + "/report.txt", "r\r\n");
    WriteFile(src + "/README", "n\r\n");
    RunSettings s = Interval("1");
    s.DestinationFlags = MakeDestinationFlags(true, false);
    std::vector<std::string> written;
    for (int i = 0; i < 3; ++i)
        for (const RowReport& rep : Run(s, 0, "*").rows)
            written.push_back(rep.Destination.substr(dst.size() + 1));
    EXPECT_EQ(written, (std::vector<std::string>{"README", "report.txt", "README_1", "report_1.txt",
                                                 "README_2", "report_2.txt"}));
    RunSettings copy;
    copy.DestinationFlags = s.DestinationFlags;
    EXPECT_EQ(Run(copy, 0, "*").rows[1].Destination, dst + "/report_3.txt");
}

TEST_F(RunTest, ReadOnlyDestinationIsSkippedInOverwriteMode) {
    testing::OpenForOrdinaryUser(dir.path());
    const int code = testing::RunInChild(
        [&] {
            WriteFile(src + "/a.txt", "new\r\n");
            WriteFile(dst + "/a.txt", "old");
            chmod((dst + "/a.txt").c_str(), 0444);
            for (const RunSettings& s : {RunSettings{}, Interval("1")}) {
                const RunResult r = Run(s);
                if (r.summary.Skipped != 1 || r.rows[0].Reason.empty()) return 1;
                if (ReadFile(dst + "/a.txt") != "old") return 2;
            }
            return ::testing::Test::HasFailure() ? 3 : 0;
        },
        true);
    if (code == testing::kCannotDropRoot) GTEST_SKIP() << "cannot switch to an ordinary user";
    EXPECT_EQ(code, 0);
}

TEST_F(RunTest, CancelStopsBetweenRows) {
    WriteFile(src + "/a.txt", "a");
    WriteFile(src + "/b.txt", "b");
    tables::ArrayOfFiles list;
    files::InitFileList(list);
    list.SourceRoot = src;
    list.DestinationRoot = dst;
    files::Populate(list, src);
    tables::ArrayOfFiles buffer;
    int polls = 0;
    RunHooks hooks;
    hooks.ShouldCancel = [&] { return ++polls > 1; };
    const RunSummary s = RunFiles(list, buffer, nullptr, RunSettings{}, hooks);
    EXPECT_TRUE(s.Cancelled);
    EXPECT_EQ(s.Copied, 1);
    EXPECT_FALSE(Exists(dst + "/b.txt"));
    EXPECT_EQ(SummaryLine(s), "1 copied, 0 rewritten, 0 skipped (cancelled)");
}

TEST(RunSettingsTest, DestinationFlagsAndMode) {
    EXPECT_EQ(MakeDestinationFlags(true, true), files::kOverwrite);
    EXPECT_EQ(MakeDestinationFlags(true, false), files::kRename);
    EXPECT_EQ(MakeDestinationFlags(false, true), files::kOverwrite | files::kNoCreateFolders);
    struct Case {
        bool interval_active;
        const char* interval;
        bool template_active;
        const char* templ;
        bool copies;
    };
    const Case cases[] = {
        {false, "", false, "", true},    {false, "1-3", false, "t", true}, {true, "", true, "", true},
        {true, "1-3", false, "", false}, {false, "", true, "t", false},    {true, "", true, "t", false},
    };
    for (const Case& c : cases) {
        RunSettings s;
        s.IntervalActive = c.interval_active;
        s.IntervalText = c.interval;
        s.TemplateActive = c.template_active;
        s.TemplateText = c.templ;
        EXPECT_EQ(CopiesFiles(s), c.copies) << c.interval << "/" << c.templ;
    }
}

}  // namespace
}  // namespace rowsmith::run
