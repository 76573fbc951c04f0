// The processing run under faults and hostile input: every case checks what each row reports and
// that nothing changed on disk beyond what the run was asked to write.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <csignal>
#include <functional>
#include <memory>
#include <cstdio>
#include <string>
#include <vector>

#include "files/file_list.h"
#include "files/paths.h"
#include "files/scan.h"
#include "run/expand_lines.h"
#include "run/processing_run.h"
#include "support/child_process.h"
#include "support/file_lists.h"
#include "support/fake_gauge.h"
#include "support/fault_tools.h"
#include "support/run_settings.h"
#include "support/temp_dir.h"

namespace rowsmith::run {
namespace {

using testing::ChildUsage;
using testing::ReadFile;
using testing::RunMeasuredInChild;
using testing::IntervalSettings;
using testing::TempDir;
using testing::TemplateSettings;
using testing::TreeSnapshot;
using testing::WriteFile;
using Snapshot = std::map<std::string, std::string>;

struct RunResult {
    RunSummary summary;
    std::vector<RowReport> rows;
};

// The three ways a run treats a file: copied, rewritten by an interval, rewritten by the default
// template through the real engine.
struct Mode {
    const char* name;
    RunSettings settings;
    bool engine;
};

std::vector<Mode> AllModes() {
    return {{"copy", RunSettings{}, false},
            {"interval", IntervalSettings("1-"), false},
            {"template", TemplateSettings(std::string(kDefaultTemplate)), true}};
}

// Every case runs one row after another and with rows side by side (the parameter: threads).
class FaultRun : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        src = dir / "src";
        dst = dir / "dst";
    }

    // Lists src as the window does and runs the settings over the list.
    RunResult Run(const Mode& mode, int levels = 2, const char* masks = "*.*", bool flat = false,
                  text::GaugeViewFactory* views = nullptr) {
        tables::ArrayOfFiles list;
        testing::PopulateList(list, src, dst, masks, levels, flat);
        if (after_listing) after_listing();
        tables::ArrayOfFiles buffer;
        StandaloneLineExpander engine;
        RunResult r;
        RunHooks hooks;
        hooks.Views = views;
        hooks.OnRow = [&](const RowReport& rep) {
            r.rows.push_back(rep);
            if (on_row) on_row(rep);
        };
        hooks.ShouldCancel = should_cancel;
        hooks.Jobs = GetParam();
        hooks.LaneBytes = 0;  // the test files are small
        hooks.NewExpander = [] { return std::make_unique<StandaloneLineExpander>(); };
        r.summary = RunFiles(list, buffer, mode.engine ? &engine : nullptr, mode.settings, hooks);
        return r;
    }

    TempDir dir;
    std::string src, dst;
    // Called between listing and running, and after each row's report: to change the tree meanwhile.
    std::function<void()> after_listing;
    std::function<void(const RowReport&)> on_row;
    // Asked by the run whether to stop (before each row and while lines are written).
    std::function<bool()> should_cancel;
};

std::string Rel(const std::string& path, const std::string& root) {
    return path.rfind(root + "/", 0) == 0 ? path.substr(root.size() + 1) : path;
}

// One line per row, "name outcome" or "name skipped: reason", names relative to the source folder:
// what a child process hands back, and what a test compares in one piece.
std::string Outcomes(const RunResult& r, const std::string& root) {
    std::string out;
    for (const RowReport& rep : r.rows) {
        out += Rel(rep.Source, root);
        switch (rep.Outcome) {
            case RowOutcome::Copied:
            case RowOutcome::Rewritten: out += " done"; break;
            case RowOutcome::FolderCreated: out += " folder"; break;
            case RowOutcome::Skipped: out += " skipped: " + rep.Reason; break;
            case RowOutcome::Cancelled: out += " cancelled"; break;
        }
        out += '\n';
    }
    return out;
}

// Permission cases need an ordinary user: root may read and write everything.
#define SKIP_WITHOUT_ORDINARY_USER(child)                                                         \
    if ((child).code == testing::kCannotDropRoot)                                                \
    GTEST_SKIP() << "the tests run as root and cannot switch to an ordinary user, so permissions " \
                    "do not apply"

// ---------------------------------------------------------------- destinations in the way

TEST_P(FaultRun, FileWhereAFolderShouldBeCreated) {
    WriteFile(src + "/a.txt", "a\r\n");
    WriteFile(src + "/sub/b.txt", "b\r\n");
    WriteFile(src + "/sub/deeper/c.txt", "c\r\n");
    WriteFile(dst + "/sub", "a file where the folder sub must go");
    const Snapshot source = TreeSnapshot(src);
    Snapshot expected = TreeSnapshot(dst);
    expected["a.txt"] = source.at("a.txt");
    for (const Mode& m : AllModes()) {
        // "*" lists the folder rows too: sub and sub/deeper cannot be made either.
        const RunResult r = Run(m, 2, "*");
        std::vector<std::string> got;
        for (const RowReport& rep : r.rows) {
            const bool done = rep.Outcome != RowOutcome::Skipped;
            got.push_back(Rel(rep.Source, src) + (done ? " done" : " skipped"));
            if (!done) {
                EXPECT_NE(rep.Reason.find("the destination folder cannot be created"), std::string::npos)
                    << m.name << " " << rep.Source << ": " << rep.Reason;
            }
        }
        EXPECT_EQ(got, (std::vector<std::string>{"a.txt done", "sub skipped", "sub/b.txt skipped",
                                                 "sub/deeper skipped", "sub/deeper/c.txt skipped"}))
            << m.name;
        EXPECT_EQ(TreeSnapshot(dst), expected) << m.name;
        EXPECT_EQ(TreeSnapshot(src), source) << m.name;
    }
}

TEST_P(FaultRun, FlatIntoTheSourceFolderNeverTouchesASource) {
    // Flattened into its own folder, sub/a.txt would land on the source a.txt and new.txt beside it.
    WriteFile(src + "/a.txt", "top a\r\n");
    WriteFile(src + "/sub/a.txt", "inner a\r\n");
    WriteFile(src + "/sub/new.txt", "new\r\n");
    dst = src;
    Snapshot before = TreeSnapshot(src);
    for (const Mode& m : AllModes()) {
        const RunResult r = Run(m, 1, "*.txt", true);
        ASSERT_EQ(r.rows.size(), 3u) << m.name;
        EXPECT_EQ(r.rows[0].Outcome, RowOutcome::Skipped) << m.name;
        EXPECT_EQ(r.rows[0].Reason, "the destination is the source file itself") << m.name;
        EXPECT_EQ(r.rows[1].Outcome, RowOutcome::Skipped) << m.name;
        EXPECT_EQ(r.rows[1].Reason, "the destination is another source file of this run") << m.name;
        EXPECT_NE(r.rows[2].Outcome, RowOutcome::Skipped) << m.name;
        EXPECT_EQ(r.rows[2].Destination, src + "/new.txt");
        // The only change: the new file beside the sources.
        Snapshot expected = before;
        expected["new.txt"] = before.at("sub/new.txt");
        EXPECT_EQ(TreeSnapshot(src), expected) << m.name;
        unlink((src + "/new.txt").c_str());
    }
    // In rename mode the colliding file gets a free name, so it is written.
    Mode rename = AllModes()[1];
    rename.settings.DestinationFlags = MakeDestinationFlags(true, false);
    const RunResult r = Run(rename, 1, "*.txt", true);
    ASSERT_EQ(r.rows.size(), 3u);
    EXPECT_EQ(r.rows[1].Destination, src + "/a_1.txt");
    EXPECT_EQ(ReadFile(src + "/a.txt"), "top a\r\n");
    EXPECT_EQ(ReadFile(src + "/sub/a.txt"), "inner a\r\n");
}

// ---------------------------------------------------------------- names and paths

TEST_P(FaultRun, AwkwardNamesAreKeptByteForByte) {
    const std::vector<std::string> names = {
        "with blank.txt",
        " leading and trailing .txt",
        "new\nline.txt",
        "carriage\rreturn.txt",
        "tab\there.txt",
        "double\"quote.txt",
        "it's.txt",
        "star*.txt",
        "question?.txt",
        "back\\slash.txt",
        "colon:.txt",
        "non-utf8 \xff\xfe.txt",
        "utf8 \xc3\xa9t\xc3\xa9.txt",
        "sub \xe9 dir/inner*\n.txt",
        "-dash.txt",
        "|pipe|.txt",
    };
    for (const std::string& n : names) WriteFile(src + "/" + n, "line of " + n + "\r\n");
    const Snapshot source = TreeSnapshot(src);
    ASSERT_EQ(source.size(), names.size() + 1);  // and the folder
    for (const Mode& m : AllModes()) {
        testing::RemoveTreeContentsAt(dst);
        const RunResult r = Run(m, 1);
        EXPECT_EQ(r.summary.Skipped, 0) << m.name;
        EXPECT_EQ(r.summary.Copied + r.summary.Rewritten, static_cast<int32_t>(names.size())) << m.name;
        for (const RowReport& rep : r.rows) EXPECT_EQ(Rel(rep.Destination, dst), Rel(rep.Source, src));
        EXPECT_EQ(TreeSnapshot(dst), source) << m.name;
        EXPECT_EQ(TreeSnapshot(src), source) << m.name;
    }
    // Rename mode numbers such names before their last dot.
    Mode rename = AllModes()[1];
    rename.settings.DestinationFlags = MakeDestinationFlags(true, false);
    Run(rename, 1);
    for (const char* n :
         {"star*_1.txt", "new\nline_1.txt", "non-utf8 \xff\xfe_1.txt", "sub \xe9 dir/inner*\n_1.txt"})
        EXPECT_EQ(ReadFile(dst + "/" + n),
                  ReadFile(dst + "/" + std::string(n).erase(std::string(n).rfind("_1"), 2)))
            << n;
}

TEST_P(FaultRun, PathsLongerThanTheSystemAllows) {
    // 24 folders of 200 bytes: the deeper half lies beyond the 4096 bytes a path may have.
    const std::string component(200, 'd');
    ASSERT_EQ(mkdir(src.c_str(), 0755), 0);
    ASSERT_TRUE(testing::MakeDeepTree(src, component, 24, "f.txt", "deep\r\n"));
    WriteFile(src + "/top.txt", "top\r\n");
    const Snapshot source = testing::TreeSnapshotAt(src);
    ASSERT_EQ(source.size(), 49u);
    for (const Mode& m : AllModes()) {
        const RunResult r = Run(m, 255, "*.txt");
        int written = 0;
        for (const RowReport& rep : r.rows) {
            if (rep.Outcome == RowOutcome::Skipped) {
                // A skip names its reason; only paths beyond the limit are skipped.
                EXPECT_FALSE(rep.Reason.empty()) << m.name;
                EXPECT_GT(std::max(rep.Source.size(), rep.Destination.size()), 4095u) << m.name;
                continue;
            }
            ++written;
            EXPECT_LT(rep.Destination.size(), 4096u) << m.name;
        }
        // Every file the system can name is written: the top one and those of the shallow folders.
        const int reachable = static_cast<int>((4095 - dst.size() - 7) / 201);
        EXPECT_GE(written, 1 + reachable) << m.name;
        const Snapshot out = testing::TreeSnapshotAt(dst);
        for (const auto& [name, hash] : out) EXPECT_EQ(source.at(name), hash) << m.name << " " << name.size();
        EXPECT_EQ(testing::TreeSnapshotAt(src), source) << m.name;
        testing::RemoveTreeContentsAt(dst);
    }
    testing::RemoveTreeContentsAt(src);
}

// ---------------------------------------------------------------- file contents

TEST_P(FaultRun, BinaryBytesPassTheDefaultTemplateUnchanged) {
    struct Case {
        std::string bytes;
        std::string expected;  // each line keeps its own end; a last line without one gets none
    };
    const std::string nul_mix("\0a\0\r\n\xff\xfe\r\r\n\n\x01\x1a\0", 14);
    const std::vector<Case> cases = {
        {nul_mix, nul_mix},
        {nul_mix + "\r\n", nul_mix + "\r\n"},
        {std::string(3, '\0'), std::string(3, '\0')},
        {std::string("\0\r\n", 3) + "{{crlf}}\r\n", std::string("\0\r\n", 3) + "{{crlf}}\r\n"},
        {"\r\n\r\n", "\r\n\r\n"},
        {"\n\r", "\n\r"},
        {"", ""},
    };
    for (const Mode& m : {AllModes()[1], AllModes()[2]}) {
        for (const Case& c : cases) {
            WriteFile(src + "/bin.dat", c.bytes);
            const RunResult r = Run(m);
            ASSERT_EQ(r.rows.size(), 1u);
            EXPECT_EQ(r.rows[0].Outcome, RowOutcome::Rewritten) << m.name;
            EXPECT_EQ(ReadFile(dst + "/bin.dat"), c.expected) << m.name << " " << c.bytes.size();
        }
    }
}

TEST_P(FaultRun, ExtremeIntervalsOnAThreeLineFile) {
    struct Case {
        const char* interval;
        const char* expected;
    };
    const Case cases[] = {
        {"1-2147483647", "1\r\n2\r\n3\r\n"},
        {"-2147483647--1", "1\r\n2\r\n3\r\n"},
        {"2147483647-1", "3\r\n2\r\n1\r\n"},
        {"-1--2147483647", "3\r\n2\r\n1\r\n"},
        {"2147483647", ""},
        {"-2147483647", "1\r\n2\r\n3\r\n"},  // the reserved start: a piece without a start
        {"2147483647-", ""},
        {"1-99999999999999999999", "1\r\n"},  // a number beyond 32 bits counts as 0
        {"-2147483648--2147483647;2147483646-2147483647", ""},
        {"1-2147483647;1-2147483647", "1\r\n2\r\n3\r\n1\r\n2\r\n3\r\n"},
    };
    WriteFile(src + "/three.txt", "1\r\n2\r\n3\r\n");
    testing::FakeGaugeFactory views;
    for (const Case& c : cases) {
        // Without progress the lines stream past; with it the file is loaded first.
        for (text::GaugeViewFactory* v :
             {static_cast<text::GaugeViewFactory*>(nullptr), static_cast<text::GaugeViewFactory*>(&views)}) {
            const Mode m{"interval", IntervalSettings(c.interval), false};
            const ChildUsage u = RunMeasuredInChild([&] {
                const RunResult r = Run(m, 0, "*.*", false, v);
                if (r.rows.size() != 1 || r.rows[0].Outcome != RowOutcome::Rewritten) return 1;
                return ReadFile(dst + "/three.txt") == c.expected ? 0 : 2;
            });
            EXPECT_EQ(u.code, 0) << c.interval << (v ? " loaded" : " streamed");
            EXPECT_LT(u.cpu_seconds, 1.0 * testing::SlowBuildFactor()) << c.interval;
        }
    }
}

// ---------------------------------------------------------------- template bombs

TEST(TemplateBombs, EndQuicklyInBoundedMemory) {
    struct Case {
        const char* what;
        std::string templ;
        std::string line;
        std::string expected;  // the output of the two lines
        // Processor seconds for both lines in an optimised build. Work that only the tag budget ends
        // must stay far below a second: a file has many such lines.
        double cpu = 2.0;
    };
    const std::string open100k = [] {
        std::string s;
        for (int i = 0; i < 100000; ++i) s += "{{";
        return s;
    }();
    const std::string close100k = [] {
        std::string s;
        for (int i = 0; i < 100000; ++i) s += "}}";
        return s;
    }();
    const std::vector<Case> cases = {
        {"a billion copies", "{{|:x|multiply:999999999}}[{{line}}]", "l", "[l][l]"},
        {"copies of copies", "{{|:x|multiply:1000|multiply:1000|multiply:1000}}.", "l", ".."},
        {"nested copies", "{{|:{{|:{{|:xy|multiply:10000}}|multiply:10000}}|multiply:10000}}.", "l", ".."},
        {"copies of the line", "{{line|multiply:2147483647}}.", "l", ".."},
        {"a line of 100,000 {{", "{{line}}", open100k, open100k + open100k},
        {"100,000 {{ in the template", open100k, "l", open100k + open100k},
        {"100,000 nested names", open100k + "x" + close100k + ".", "l", ".."},
        {"a variable defined as itself", "{{|deff:x,{{x}}}}{{x}}.", "l", ".."},
        // The tag that used up the budget yields empty text; the rest of the line stays.
        {"a variable defined as itself twice", "{{|deff:x,{{x}}{{x}}}}{{x}}.", "l", "..", 0.2},
        {"a line expanding itself three times", "{{line}}.", "{{line}}{{line}}{{line}}", "..", 0.2},
        {"a line defining a bigger self", "{{line}}.", "{{|deff:line,{{line}}{{line}}}}{{line}}", "..", 0.2},
        // Found by fuzzing: a line whose tags cut and replace the line itself, again and again.
        {"a line cutting itself", "{{line|copyuntil:{{|:,}}}}|{{line|copyfrom:=,(",
         "lude]}}}}|{{line|item:1,;}}|{{line|replace:a.b}}|{{line|6-5}}{{crlf}}",
         "|{{line|copyfrom:=,(|{{line|copyfrom:=,(", 0.2},
    };
    for (const Case& c : cases) {
        std::string got;
        TempDir dir;
        const ChildUsage u = RunMeasuredInChild([&] {
            StandaloneLineExpander engine;
            std::string out = engine.ExpandLine(c.templ, c.line);
            out += engine.ExpandLine(c.templ, c.line);
            WriteFile(dir / "out", out);
            return 0;
        });
        EXPECT_EQ(u.code, 0) << c.what;
        EXPECT_EQ(ReadFile(dir / "out"), c.expected) << c.what;
        // Each line within a second; memory of a few results of the size bound at most.
        EXPECT_LT(u.cpu_seconds, c.cpu * testing::SlowBuildFactor()) << c.what;
        EXPECT_LT(u.max_rss_bytes, int64_t{512} << 20) << c.what;
    }
}

// ---------------------------------------------------------------- permissions, vanishing sources, links

TEST_P(FaultRun, UnreadableSourceLeavesItsDestinationAlone) {
    WriteFile(src + "/a.txt", "secret a\r\n");
    WriteFile(src + "/b.txt", "b\r\n");
    WriteFile(dst + "/a.txt", "old a");
    ASSERT_EQ(chmod((src + "/a.txt").c_str(), 0), 0);
    testing::OpenForOrdinaryUser(dir.path());
    testing::OpenForOrdinaryUser(dst);
    const Snapshot source = TreeSnapshot(src);
    for (const Mode& m : AllModes()) {
        const Snapshot before = TreeSnapshot(dst);
        const testing::CapturedChild child = testing::RunCapturedInChild(
            [&](std::string& out) {
                out = Outcomes(Run(m, 0), src);
                return 0;
            },
            true);
        SKIP_WITHOUT_ORDINARY_USER(child);
        EXPECT_EQ(child.output,
                  "a.txt skipped: the source cannot be read: Permission denied\n"
                  "b.txt done\n")
            << m.name;
        Snapshot expected = before;
        expected["b.txt"] = source.at("b.txt");
        EXPECT_EQ(TreeSnapshot(dst), expected) << m.name;
        EXPECT_EQ(TreeSnapshot(src), source) << m.name;
        unlink((dst + "/b.txt").c_str());
    }
}

TEST_P(FaultRun, DestinationThatMayNotBeWritten) {
    const testing::LockedDestinations made = testing::MakeLockedDestinations(dir.path(), src);
    const std::string& locked = made.locked;
    const std::string& open = made.open;
    ASSERT_FALSE(HasFailure());
    const Snapshot before = TreeSnapshot(dir.path());
    struct Case {
        std::string destination;
        bool overwrite;
        std::string expected;
        std::map<std::string, std::string> written;  // destination file (below dir) -> source file
    };
    const std::string cannot_create = "the destination folder cannot be created: Permission denied";
    const std::string cannot_replace = "this user may not write the existing destination";
    const std::string read_only = "the existing destination is read-only";
    const std::vector<Case> cases = {
        // Nothing can be made in a folder without write permission, old files stay. ("@" is the
        // mode's word for a file that cannot be made.)
        {locked, true, "a.txt skipped: @: Permission denied\nr.txt skipped: " + cannot_replace +
                           "\nsub/b.txt skipped: " + cannot_create + "\n",
         {}},
        {locked + "/new", true,
         "a.txt skipped: " + cannot_create + "\nr.txt skipped: " + cannot_create +
             "\nsub/b.txt skipped: " + cannot_create + "\n",
         {}},
        // A read-only file is not replaced; rename mode writes beside it.
        {open, true,
         "a.txt done\nr.txt skipped: " + read_only + "\nsub/b.txt done\n",
         {{"open/a.txt", "src/a.txt"}, {"open/sub/b.txt", "src/sub/b.txt"}}},
        {open, false, "a.txt done\nr.txt done\nsub/b.txt done\n",
         {{"open/a.txt", "src/a.txt"}, {"open/r_1.txt", "src/r.txt"}, {"open/sub/b.txt", "src/sub/b.txt"}}},
    };
    for (const Case& c : cases) {
        for (Mode m : AllModes()) {
            m.settings.DestinationFlags = MakeDestinationFlags(true, c.overwrite);
            dst = c.destination;
            const testing::CapturedChild child = testing::RunCapturedInChild(
                [&](std::string& out) {
                    out = Outcomes(Run(m, 1), src);
                    return 0;
                },
                true);
            SKIP_WITHOUT_ORDINARY_USER(child);
            const std::string what = Rel(c.destination, dir.path()) + " " + m.name;
            std::string outcomes = c.expected;
            if (const std::size_t at = outcomes.find('@'); at != std::string::npos)
                outcomes.replace(at, 1, m.settings.TemplateActive || m.settings.IntervalActive
                                            ? "the destination cannot be created"
                                            : "copy failed");
            EXPECT_EQ(child.output, outcomes) << what;
            Snapshot expected = before;
            for (const auto& [to, from] : c.written) expected[to] = before.at(from);
            if (c.written.count("open/sub/b.txt")) expected["open/sub"] = "dir";
            EXPECT_EQ(TreeSnapshot(dir.path()), expected) << what;
            for (const auto& [to, from] : c.written) unlink((dir / to).c_str());
            rmdir((open + "/sub").c_str());
        }
    }
}

TEST_P(FaultRun, MissingFoldersThatMayNotBeCreated) {
    WriteFile(src + "/a.txt", "a\r\n");
    WriteFile(src + "/sub/b.txt", "b\r\n");
    ASSERT_EQ(mkdir(dst.c_str(), 0755), 0);
    const Snapshot before = TreeSnapshot(dir.path());
    for (Mode m : AllModes()) {
        m.settings.DestinationFlags = MakeDestinationFlags(false, true);
        const std::string missing = "the destination folder does not exist and folders may not be created";
        EXPECT_EQ(Outcomes(Run(m, 1, "*"), src),
                  "a.txt done\n"
                  "sub skipped: the destination folder does not exist and folders may not be created\n"
                  "sub/b.txt skipped: " + missing + "\n")
            << m.name;
        Snapshot expected = before;
        expected["dst/a.txt"] = before.at("src/a.txt");
        EXPECT_EQ(TreeSnapshot(dir.path()), expected) << m.name;
        unlink((dst + "/a.txt").c_str());
    }
}

TEST_P(FaultRun, AFolderWhereTheFileMustGoIsNotReplaced) {
    WriteFile(src + "/a.txt", "a\r\n");
    WriteFile(dst + "/a.txt/inside", "a folder named like the file");
    const Snapshot before = TreeSnapshot(dir.path());
    for (const Mode& m : AllModes()) {
        EXPECT_EQ(Outcomes(Run(m, 0), src),
                  "a.txt skipped: the destination is a folder\n")
            << m.name;
        EXPECT_EQ(TreeSnapshot(dir.path()), before) << m.name;
    }
}

TEST_P(FaultRun, SourcesThatVanishAfterListing) {
    for (const char* n : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"}) WriteFile(src + "/" + n, n);
    WriteFile(dst + "/b.txt", "old b");
    WriteFile(dst + "/e.txt", "old e");
    for (const Mode& m : AllModes()) {
        const Snapshot before = TreeSnapshot(dst);
        after_listing = [&] {
            unlink((src + "/b.txt").c_str());
            unlink((src + "/c.txt").c_str());
            mkdir((src + "/c.txt").c_str(), 0755);  // a folder under the listed file's name
            unlink((src + "/d.txt").c_str());
            symlink("nowhere", (src + "/d.txt").c_str());  // a dangling link under it
        };
        // e.txt goes while the run is already on its way.
        on_row = [&](const RowReport& rep) {
            if (Rel(rep.Source, src) == "a.txt") unlink((src + "/e.txt").c_str());
        };
        const RunResult r = Run(m, 0);
        EXPECT_EQ(Outcomes(r, src),
                  "a.txt done\n"
                  "b.txt skipped: the source file no longer exists\n"
                  "c.txt skipped: the source is not a regular file\n"
                  "d.txt skipped: the source file no longer exists\n"
                  "e.txt skipped: the source file no longer exists\n")
            << m.name;
        // Only a.txt is written; the old b.txt and e.txt stay as they were.
        EXPECT_EQ(ReadFile(dst + "/a.txt"), "a.txt");  // a last line without an end keeps none
        Snapshot expected = before;
        expected["a.txt"] = TreeSnapshot(dst)["a.txt"];
        EXPECT_EQ(TreeSnapshot(dst), expected) << m.name;
        // Put the sources back for the next mode.
        rmdir((src + "/c.txt").c_str());
        unlink((src + "/d.txt").c_str());
        unlink((dst + "/a.txt").c_str());
        for (const char* n : {"b.txt", "c.txt", "d.txt", "e.txt"}) WriteFile(src + "/" + n, n);
    }
}

TEST_P(FaultRun, FolderLinkLoopsAreNeverEntered) {
    WriteFile(src + "/a.txt", "a\r\n");
    WriteFile(src + "/sub/b.txt", "b\r\n");
    ASSERT_EQ(symlink(".", (src + "/self").c_str()), 0);
    ASSERT_EQ(symlink("..", (src + "/sub/up").c_str()), 0);
    ASSERT_EQ(symlink(src.c_str(), (src + "/sub/root").c_str()), 0);
    ASSERT_EQ(symlink("ping", (src + "/pong").c_str()), 0);  // a loop of two links
    ASSERT_EQ(symlink("pong", (src + "/ping").c_str()), 0);
    ASSERT_EQ(symlink("sub/b.txt", (src + "/link.txt").c_str()), 0);  // a link to a file is a file
    const Snapshot source = TreeSnapshot(src);
    // "*" lists the links as items too: links to folders as folder rows (whose destination folder is
    // made, empty), the link loop as a file that cannot be opened.
    const std::string not_a_file = " skipped: the source cannot be read: Too many levels of symbolic links\n";
    const std::map<std::string, std::string> expected = {
        {"*.*", "a.txt done\nlink.txt done\nsub/b.txt done\n"},
        {"*", "a.txt done\nlink.txt done\nping" + not_a_file + "pong" + not_a_file +
                  "self folder\nsub folder\nsub/b.txt done\nsub/root folder\nsub/up folder\n"}};
    for (const Mode& m : AllModes()) {
        for (const auto& [masks, outcomes] : expected) {
            const ChildUsage u = RunMeasuredInChild([&] {
                Run(m, 255, masks.c_str());
                return 0;
            });
            EXPECT_EQ(u.code, 0) << m.name << " " << masks;
            testing::RemoveTreeContentsAt(dst);
            EXPECT_EQ(Outcomes(Run(m, 255, masks.c_str()), src), outcomes) << m.name << " " << masks;
            EXPECT_LT(u.cpu_seconds, 1.0 * testing::SlowBuildFactor()) << m.name;
            // Each real file once; the links to folders give (empty) folders at most, never a link.
            const Snapshot out = TreeSnapshot(dst);
            EXPECT_EQ(out.at("a.txt"), source.at("a.txt")) << m.name << " " << masks;
            EXPECT_EQ(out.at("sub/b.txt"), source.at("sub/b.txt")) << m.name << " " << masks;
            EXPECT_EQ(out.at("link.txt"), source.at("sub/b.txt")) << m.name << " " << masks;
            for (const auto& [name, hash] : out) {
                EXPECT_EQ(hash.rfind("link:", 0), std::string::npos) << name;
                if (name != "a.txt" && name != "sub/b.txt" && name != "link.txt") {
                    EXPECT_EQ(hash, "dir") << m.name << " " << name;
                }
            }
            EXPECT_EQ(TreeSnapshot(src), source) << m.name;
            testing::RemoveTreeContentsAt(dst);
        }
    }
}

TEST_P(FaultRun, LinksAtTheDestinationAreReplacedNotWrittenThrough) {
    WriteFile(src + "/a.txt", "new a\r\n");
    WriteFile(src + "/b.txt", "new b\r\n");
    WriteFile(dir / "outside.txt", "outside");
    ASSERT_EQ(mkdir(dst.c_str(), 0755), 0);
    // dst/a.txt names the source itself, dst/b.txt a file outside both trees.
    ASSERT_EQ(symlink((src + "/a.txt").c_str(), (dst + "/a.txt").c_str()), 0);
    ASSERT_EQ(symlink("../outside.txt", (dst + "/b.txt").c_str()), 0);
    const Snapshot before = TreeSnapshot(dir.path());
    for (const bool overwrite : {true, false}) {
        for (Mode m : AllModes()) {
            m.settings.DestinationFlags = MakeDestinationFlags(true, overwrite);
            const RunResult r = Run(m, 0);
            const std::string what = std::string(m.name) + (overwrite ? " overwrite" : " rename");
            // A link to the source is the source itself, also where rename mode would write beside it.
            EXPECT_EQ(Outcomes(r, src), "a.txt skipped: the destination is the source file itself\nb.txt done\n")
                << what;
            Snapshot expected = before;
            expected[overwrite ? "dst/b.txt" : "dst/b_1.txt"] = before.at("src/b.txt");
            EXPECT_EQ(TreeSnapshot(dir.path()), expected) << what;
            // Back to the links for the next mode.
            for (const char* n : {"a_1.txt", "b_1.txt", "b.txt"}) unlink((dst + "/" + n).c_str());
            symlink("../outside.txt", (dst + "/b.txt").c_str());
        }
    }
}

TEST_P(FaultRun, CancelDuringAFileKeepsTheOldDestination) {
    // The case counts the cancel questions, whose order only a run of one row after another fixes;
    // side by side, a cancel during a row is the parallel tests' (ParallelRun) to check.
    if (GetParam() > 1) GTEST_SKIP() << "the order of the cancel questions is that of the serial run";
    std::string lines;
    for (int i = 0; i < 5000; ++i) lines += "line " + std::to_string(i) + "\r\n";
    WriteFile(src + "/a.txt", lines);
    WriteFile(src + "/b.txt", "b\r\n");
    WriteFile(dst + "/a.txt", "old a");
    const Snapshot before = TreeSnapshot(dir.path());
    for (const Mode& m : {AllModes()[1], AllModes()[2]}) {
        // The first poll comes before the first row, the next ones while its lines are written.
        int polls = 0;
        should_cancel = [&] { return ++polls == 2; };
        const RunResult r = Run(m, 0);
        const RunSummary& s = r.summary;
        const std::vector<RowReport>& rows = r.rows;
        EXPECT_TRUE(s.Cancelled) << m.name;
        ASSERT_EQ(rows.size(), 1u) << m.name;
        EXPECT_EQ(rows[0].Outcome, RowOutcome::Cancelled) << m.name;
        EXPECT_EQ(rows[0].Reason, "cancelled while writing; the destination keeps what it had") << m.name;
        EXPECT_EQ(SummaryLine(s), "0 copied, 0 rewritten, 0 skipped (cancelled)") << m.name;
        // The half-written file is gone, the old one and everything else as it was.
        EXPECT_EQ(TreeSnapshot(dir.path()), before) << m.name;
    }
}

// ---------------------------------------------------------------- copies on the helper thread

// Without a progress view a long run moves copies' bytes, and writes and names rewritten outputs,
// on a helper thread. What it reports, in which order, and what it leaves behind must be what the
// run does in turn with a view: name collisions in a flat destination (rename picks _1, _2 by table
// order; overwrite lets the last row win), existing destinations, folder rows and a source that
// vanishes after listing.
std::string Described(const RunResult& r, const std::string& src, const std::string& dst) {
    std::string out = Outcomes(r, src);
    for (const RowReport& rep : r.rows) out += Rel(rep.Destination, dst) + "\n";
    out += std::to_string(r.summary.Copied) + " " + std::to_string(r.summary.Rewritten) + " " + std::to_string(r.summary.Skipped) + " " +
           std::to_string(r.summary.Folders);
    return out;
}

TEST_P(FaultRun, OutputsOnTheHelperThreadMatchOutputsInTurn) {
    for (int i = 0; i < 90; ++i) {
        const std::string sub = "s" + std::to_string(i % 3);
        WriteFile(src + "/" + sub + "/f" + std::to_string(i / 3 % 10) + ".txt", "file " + std::to_string(i) + "\r\n");
        WriteFile(src + "/" + sub + "/deep/g" + std::to_string(i) + ".csv", std::string(i * 97 % 5000, 'x'));
    }
    const Mode modes[] = {{"copy", RunSettings{}, false},
                          {"interval", IntervalSettings("2-;1"), false},
                          {"template", TemplateSettings("<{{line|trim}}>{{crlf}}"), true}};
    for (const Mode& mode : modes)
    for (const bool flat : {false, true})
        for (const bool overwrite : {true, false}) {
            Mode copy = mode;
            copy.settings.DestinationFlags = run::MakeDestinationFlags(true, overwrite);
            std::string seen[2];
            Snapshot trees[2];
            for (int pass = 0; pass < 2; ++pass) {
                dst = dir / (std::string(mode.name) + std::to_string(flat) + std::to_string(overwrite) + std::to_string(pass));
                WriteFile(dst + "/f0.txt", "old flat");
                WriteFile(dst + "/s1/f1.txt", "old kept");
                after_listing = [&] { ::unlink((src + "/s2/deep/g41.csv").c_str()); };
                testing::FakeGaugeFactory views;
                const RunResult r = Run(copy, 3, "*", flat, pass == 0 ? nullptr : &views);
                after_listing = nullptr;
                WriteFile(src + "/s2/deep/g41.csv", std::string(41 * 97 % 5000, 'x'));
                seen[pass] = Described(r, src, dst);
                trees[pass] = TreeSnapshot(dst);
            }
            const std::string name =
                std::string(mode.name) + (flat ? " flat" : " kept") + (overwrite ? " overwrite" : " rename");
            EXPECT_EQ(seen[0], seen[1]) << name;
            EXPECT_EQ(trees[0], trees[1]) << name;
            EXPECT_NE(seen[0].find("s2/deep/g41.csv skipped"), std::string::npos) << name;
        }
}

// A full destination stops the run at the same row with the helper thread as without it; nothing
// after that row is written, every copy reported as done is whole.
TEST_P(FaultRun, FullDestinationStopsCopiesOnTheHelperThreadAtTheSameRow) {
    for (int i = 0; i < 60; ++i) WriteFile(src + "/f" + std::to_string(100 + i) + ".dat", std::string(40 << 10, static_cast<char>('a' + i % 26)));
    const Snapshot source = TreeSnapshot(src);
    ASSERT_EQ(mkdir(dst.c_str(), 0755), 0);
    std::string results[2];
    for (int pass = 0; pass < 2; ++pass) {
        const testing::CapturedChild child = testing::RunCapturedInChild([&](std::string& out) {
            std::string why;
            if (!testing::MountSmallFileSystem(dst, 1 << 20, why)) {
                out = why;
                return 99;
            }
            testing::FakeGaugeFactory views;
            const RunResult r = Run(Mode{"copy", RunSettings{}, false}, 0, "*.*", false, pass == 0 ? nullptr : &views);
            if (!r.summary.IoStopped) return 1;
            const Snapshot tree = TreeSnapshot(dst);
            for (const RowReport& rep : r.rows) {
                const std::string name = Rel(rep.Destination, dst);
                const bool done = rep.Outcome == RowOutcome::Copied;
                if (done && (!tree.count(name) || tree.at(name) != source.at(Rel(rep.Source, src)))) return 2;
                if (!done && tree.count(name)) return 3;
            }
            if (tree.size() != static_cast<std::size_t>(r.summary.Copied)) return 4;  // nothing else, no temporary file
            out = Described(r, src, dst);
            return 0;
        });
        if (child.code == 99) GTEST_SKIP() << "no small file system can be made here: " << child.output;
        ASSERT_EQ(child.code, 0) << "pass " << pass << " " << child.output;
        results[pass] = child.output;
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(TreeSnapshot(src), source);
}

// ---------------------------------------------------------------- failing writes

TEST_P(FaultRun, FullDestinationStopsTheRunAndKeepsWhatWasThere) {
    const std::string bulk(300 << 10, 'b');
    WriteFile(src + "/a.txt", bulk + "\r\n");
    WriteFile(src + "/b.txt", "b\r\n");
    WriteFile(src + "/c.txt", "c\r\n");
    ASSERT_EQ(mkdir(dst.c_str(), 0755), 0);
    const Snapshot source = TreeSnapshot(src);
    std::string why;
    for (const Mode& m : AllModes()) {
        const int code = testing::RunInChild([&] {
            if (!testing::MountSmallFileSystem(dst, 1 << 20, why)) {
                std::fprintf(stderr, "%s\n", why.c_str());
                return 99;
            }
            WriteFile(dst + "/a.txt", "old a");
            WriteFile(dst + "/b.txt", "old b");
            if (!testing::FillFileSystem(dst)) return 98;
            const Snapshot before = TreeSnapshot(dst);
            const RunResult r = Run(m, 0);
            // The first write finds no room: the run stops there, since no later file fits either.
            if (!r.summary.IoStopped || r.rows.size() != 1) return 1;
            if (r.rows[0].Outcome != RowOutcome::Skipped) return 2;
            if (r.rows[0].Reason.find("No space left on device") == std::string::npos) return 3;
            if (TreeSnapshot(dst) != before) return 4;  // old files as they were, no temporary file
            return 0;
        });
        if (code == 99) GTEST_SKIP() << "no small file system can be made here";
        EXPECT_EQ(code, 0) << m.name;
        EXPECT_EQ(TreeSnapshot(src), source);
    }
}

TEST_P(FaultRun, EveryFileTooBigForTheLimitIsReported) {
    std::string big;
    for (int i = 0; i < 3000; ++i) big += std::string(60, 'x') + "\r\n";
    for (const char* n : {"a.txt", "b.txt", "c.txt"}) WriteFile(src + "/" + n, big);
    WriteFile(src + "/small.txt", "s\r\n");
    WriteFile(dst + "/a.txt", "old a");
    WriteFile(dst + "/c.txt", "old c");
    const Snapshot source = TreeSnapshot(src);
    for (const Mode& m : AllModes()) {
        const Snapshot before = TreeSnapshot(dst);
        const int code = testing::RunInChild([&] {
            std::signal(SIGXFSZ, SIG_IGN);
            const struct rlimit lim { 50000, 50000 };
            if (setrlimit(RLIMIT_FSIZE, &lim) != 0) return 10;
            const RunResult r = Run(m, 0);
            // A file too big is not a full destination: each one is reported, the run goes on.
            if (r.summary.IoStopped || r.rows.size() != 4 || r.summary.Skipped != 3) return 1;
            for (int i = 0; i < 3; ++i)
                if (r.rows[i].Reason.find("File too large") == std::string::npos) return 2;
            return r.rows[3].Outcome == RowOutcome::Skipped ? 3 : 0;
        });
        EXPECT_EQ(code, 0) << m.name;
        Snapshot expected = before;
        expected["small.txt"] = source.at("small.txt");
        EXPECT_EQ(TreeSnapshot(dst), expected) << m.name;
        EXPECT_EQ(TreeSnapshot(src), source);
    }
}

// ---------------------------------------------------------------- aliases, links and races

// No path that leads to a source, however it is spelt, is written over: the sources are known by
// their identity, and links in the destination may not lead writes out of it.
TEST_P(FaultRun, AliasesOfSourcesAreNeverWrittenOver) {
    WriteFile(src + "/a.txt", "TOP\r\n");
    WriteFile(src + "/sub/a.txt", "SUB\r\n");
    struct Case {
        const char* what;
        std::function<void()> make;  // makes dst
        bool flat;
        std::string expected;
    };
    const std::string self = " skipped: the destination is the source file itself\n";
    const std::string other = " skipped: the destination is another source file of this run\n";
    const std::string outside = " skipped: the destination folder lies behind a link that leads out of the destination\n";
    const std::vector<Case> cases = {
        {"a link to the source as the destination", [&] { symlink(src.c_str(), dst.c_str()); }, true,
         "a.txt" + self + "sub/a.txt" + other},
        {"the source through /proc", [&] { dst = "/proc/self/root" + src; }, true, "a.txt" + self + "sub/a.txt" + other},
        {"a link to a source subfolder", [&] { symlink((src + "/sub").c_str(), dst.c_str()); }, true,
         "a.txt" + other + "sub/a.txt" + self},
        {"a link inside the destination into the source",
         [&] {
             mkdir(dst.c_str(), 0755);
             symlink("../src/sub", (dst + "/sub").c_str());
         },
         false, "a.txt done\nsub/a.txt" + outside},
        {"a hard link of the source in the destination",
         [&] {
             mkdir(dst.c_str(), 0755);
             link((src + "/a.txt").c_str(), (dst + "/a.txt").c_str());
         },
         false, "a.txt" + self + "sub/a.txt done\n"},
        {"a file link to another source",
         [&] {
             mkdir(dst.c_str(), 0755);
             symlink("../src/sub/a.txt", (dst + "/a.txt").c_str());
         },
         false, "a.txt" + other + "sub/a.txt done\n"},
    };
    const Snapshot source = TreeSnapshot(src);
    for (const Case& c : cases) {
        for (const Mode& m : AllModes()) {
            testing::RemoveTreeContentsAt(dir.path());
            WriteFile(src + "/a.txt", "TOP\r\n");
            WriteFile(src + "/sub/a.txt", "SUB\r\n");
            dst = dir / "dst";
            c.make();
            EXPECT_EQ(Outcomes(Run(m, 1, "*.*", c.flat), src), c.expected) << c.what << ", " << m.name;
            EXPECT_EQ(TreeSnapshot(src), source) << c.what << ", " << m.name;
        }
    }
}

TEST_P(FaultRun, LinksInTheDestinationNeverLeadWritesOut) {
    WriteFile(src + "/in/a.txt", "a\r\n");
    WriteFile(src + "/up/b.txt", "b\r\n");
    WriteFile(src + "/abs/c.txt", "c\r\n");
    WriteFile(src + "/proc/d.txt", "d\r\n");
    WriteFile(dir / "outside/b.txt", "keep b");
    WriteFile(dir / "outside/c.txt", "keep c");
    WriteFile(dst + "/real/keep.txt", "k");
    for (const Mode& m : AllModes()) {
        testing::RemoveTreeContentsAt(dst);
        WriteFile(dst + "/real/keep.txt", "k");
        symlink("real", (dst + "/in").c_str());  // stays inside: allowed
        symlink("../outside", (dst + "/up").c_str());
        symlink((dir / "outside").c_str(), (dst + "/abs").c_str());
        symlink("/proc/self/cwd", (dst + "/proc").c_str());
        const Snapshot outside = TreeSnapshot(dir / "outside");
        const std::string out = " skipped: the destination folder lies behind a link that leads out of the destination\n";
        EXPECT_EQ(Outcomes(Run(m, 1), src), "abs/c.txt" + out + "in/a.txt done\nproc/d.txt" + out + "up/b.txt" + out)
            << m.name;
        EXPECT_EQ(ReadFile(dst + "/real/a.txt"), "a\r\n") << m.name;
        EXPECT_EQ(TreeSnapshot(dir / "outside"), outside) << m.name;
    }
}

// The read-only attribute is the file's write bits: the superuser, who could write anyway, keeps
// such a file too. Rename mode writes beside it.
TEST_P(FaultRun, ReadOnlyDestinationsAreKeptWhoeverRuns) {
    WriteFile(src + "/a.txt", "new\r\n");
    for (bool ordinary : {false, true}) {
        for (const Mode& m : AllModes()) {
            testing::RemoveTreeContentsAt(dst);
            WriteFile(dst + "/a.txt", "old");
            chmod((dst + "/a.txt").c_str(), 0444);
            if (ordinary) testing::OpenForOrdinaryUser(dir.path());
            const testing::CapturedChild child = testing::RunCapturedInChild(
                [&](std::string& out) {
                    out = Outcomes(Run(m, 0), src);
                    return 0;
                },
                ordinary);
            if (ordinary && child.code == testing::kCannotDropRoot) continue;
            EXPECT_EQ(child.output, "a.txt skipped: the existing destination is read-only\n") << m.name;
            EXPECT_EQ(ReadFile(dst + "/a.txt"), "old") << m.name;
        }
    }
}

// A run that is cancelled or fails never deletes a name it did not make: a new file has no name
// until it is complete, so another program that takes the name meanwhile keeps its file.
TEST_P(FaultRun, ANameTakenMeanwhileIsNeverDeleted) {
    std::string lines;
    for (int i = 0; i < 5000; ++i) lines += "line " + std::to_string(i) + "\r\n";
    WriteFile(src + "/x.txt", lines);
    for (const Mode& m : AllModes()) {
        if (CopiesFiles(m.settings)) continue;  // a copy is not asked between lines
        testing::RemoveTreeContentsAt(dst);
        mkdir(dst.c_str(), 0755);
        bool writing = false;
        on_row = nullptr;
        should_cancel = [&] {
            // The first question while lines are written: another run writes the same name now.
            if (!writing) {
                writing = true;
                return false;
            }
            WriteFile(dst + "/x.txt", "the other run's");
            return true;
        };
        const RunResult r = Run(m, 0);
        should_cancel = nullptr;
        EXPECT_TRUE(r.summary.Cancelled) << m.name;
        EXPECT_EQ(ReadFile(dst + "/x.txt"), "the other run's") << m.name;
        EXPECT_EQ(TreeSnapshot(dst).size(), 1u) << m.name;
    }
}

// Killed at any moment, a run leaves complete files under their names and nothing else: no
// temporary file, no file cut short.
TEST_P(FaultRun, AKilledRunLeavesOnlyCompleteFiles) {
    const std::string block(64 << 10, 'k');
    for (int i = 0; i < 120; ++i) WriteFile(src + "/f" + std::to_string(i) + ".txt", block + std::to_string(i) + "\r\n");
    const Snapshot source = TreeSnapshot(src);
    for (const Mode& m : AllModes()) {
        for (int delay_ms : {5, 20, 60}) {
            testing::RemoveTreeContentsAt(dst);
            const pid_t pid = fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                Run(m, 0);
                _exit(0);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
            kill(pid, SIGKILL);
            int status = 0;
            waitpid(pid, &status, 0);
            for (const auto& [name, facts] : TreeSnapshot(dst)) {
                ASSERT_TRUE(source.count(name)) << name << " " << m.name << " after " << delay_ms << " ms";
                if (CopiesFiles(m.settings)) EXPECT_EQ(facts, source.at(name)) << name << " " << m.name;
                else EXPECT_EQ(ReadFile(dst + "/" + name), ReadFile(src + "/" + name)) << name << " " << m.name;
            }
        }
    }
}

// A source put aside for a pipe between the look and the open never blocks a run: it is opened
// without waiting and refused as what it is, on the open descriptor.
TEST_P(FaultRun, ASourceSwappedForAPipeNeverBlocks) {
    for (int i = 0; i < 20; ++i) WriteFile(src + "/s" + std::to_string(i) + ".txt", "text\r\n");
    const std::string fifo = dir / "fifo";
    const std::string plain = dir / "plain";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    for (const Mode& m : AllModes()) {
        const int code = testing::RunInChild([&] {
            alarm(20);  // a blocked run ends the child with SIGALRM, which fails the test
            std::atomic<bool> done{false};
            std::thread swapper([&] {
                // Each source in turn becomes a pipe and a file again, as fast as it goes.
                for (int k = 0; !done; ++k) {
                    const std::string victim = src + "/s" + std::to_string(k % 20) + ".txt";
                    link(fifo.c_str(), (victim + ".p").c_str());
                    rename(victim.c_str(), plain.c_str());
                    rename((victim + ".p").c_str(), victim.c_str());
                    rename(plain.c_str(), victim.c_str());
                }
            });
            for (int round = 0; round < 30; ++round) {
                const RunResult r = Run(m, 0);
                for (const RowReport& rep : r.rows) {
                    if (rep.Outcome == RowOutcome::Copied || rep.Outcome == RowOutcome::Rewritten) continue;
                    if (rep.Reason != "the source is not a regular file" &&
                        rep.Reason != "the source file no longer exists") {
                        done = true;
                        swapper.join();
                        return 1;
                    }
                }
            }
            done = true;
            swapper.join();
            return 0;
        });
        EXPECT_EQ(code, 0) << m.name;
    }
}

// Running out of inodes is a full destination: the run stops there (and keeps what was there).
TEST_P(FaultRun, NoInodeLeftStopsTheRunAsAFullDisk) {
    for (int i = 0; i < 40; ++i) WriteFile(src + "/f" + std::to_string(i) + ".txt", "x\r\n");
    ASSERT_EQ(mkdir(dst.c_str(), 0755), 0);
    for (const Mode& m : AllModes()) {
        const testing::CapturedChild child = testing::RunCapturedInChild([&](std::string& out) {
            std::string why;
            if (!testing::MountSmallFileSystem(dst, 4 << 20, why, 12)) {
                out = why;
                return 99;
            }
            const RunResult r = Run(m, 0);
            if (!r.summary.IoStopped) return 1;
            const RowReport& last = r.rows.back();
            out = last.Reason;
            if (last.Outcome != RowOutcome::Skipped || last.Reason.find("No space left on device") == std::string::npos)
                return 2;
            // Every row before the stop was written; nothing after it was tried.
            if (static_cast<int>(r.rows.size()) != r.summary.Copied + r.summary.Rewritten + 1) return 3;
            return static_cast<int>(TreeSnapshot(dst).size()) == r.summary.Copied + r.summary.Rewritten ? 0 : 4;
        });
        if (child.code == 99) GTEST_SKIP() << "no small file system can be made here: " << child.output;
        EXPECT_EQ(child.code, 0) << m.name << ": " << child.output;
    }
}

INSTANTIATE_TEST_SUITE_P(Threads, FaultRun, ::testing::Values(1, 3),
                         [](const ::testing::TestParamInfo<int>& p) { return p.param == 1 ? "one" : "side_by_side"; });

}  // namespace
}  // namespace rowsmith::run
