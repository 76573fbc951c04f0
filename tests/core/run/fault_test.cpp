// The processing run under faults and hostile input: every case checks what each row reports and
// that nothing changed on disk beyond what the run was asked to write.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "files/file_list.h"
#include "files/paths.h"
#include "files/scan.h"
#include "run/expand_lines.h"
#include "run/processing_run.h"
#include "support/child_process.h"
#include "support/fake_gauge.h"
#include "support/fault_tools.h"
#include "support/temp_dir.h"

namespace rowsmith::run {
namespace {

using testing::ChildUsage;
using testing::ReadFile;
using testing::RunMeasuredInChild;
using testing::TempDir;
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

RunSettings IntervalSettings(std::string text) {
    RunSettings s;
    s.IntervalActive = true;
    s.IntervalText = std::move(text);
    return s;
}

RunSettings TemplateSettings(std::string text) {
    RunSettings s;
    s.TemplateActive = true;
    s.TemplateText = std::move(text);
    return s;
}

std::vector<Mode> AllModes() {
    return {{"copy", RunSettings{}, false},
            {"interval", IntervalSettings("1-"), false},
            {"template", TemplateSettings(std::string(kDefaultTemplate)), true}};
}

class FaultRun : public ::testing::Test {
  protected:
    void SetUp() override {
        src = dir / "src";
        dst = dir / "dst";
    }

    // Lists src as the window does and runs the settings over the list.
    RunResult Run(const Mode& mode, int levels = 2, const char* masks = "*.*", bool flat = false,
                  text::GaugeViewFactory* views = nullptr) {
        tables::ArrayOfFiles list;
        files::InitFileList(list);
        list.SourceRoot = src;
        list.DestinationRoot = dst;
        list.DestinationMode = flat ? files::kDestinationFlat : 0;
        list.SubfolderLevels = levels;
        list.ScanFilter = files::MakeMaskFilter(masks);
        files::Populate(list, src);
        tables::ArrayOfFiles buffer;
        StandaloneLineExpander engine;
        RunResult r;
        RunHooks hooks;
        hooks.Views = views;
        hooks.OnRow = [&](const RowReport& rep) { r.rows.push_back(rep); };
        r.summary = RunFiles(list, buffer, mode.engine ? &engine : nullptr, mode.settings, hooks);
        return r;
    }

    TempDir dir;
    std::string src, dst;
};

std::string Rel(const std::string& path, const std::string& root) {
    return path.rfind(root + "/", 0) == 0 ? path.substr(root.size() + 1) : path;
}

// ---------------------------------------------------------------- destinations in the way

TEST_F(FaultRun, FileWhereAFolderShouldBeCreated) {
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

TEST_F(FaultRun, FlatIntoTheSourceFolderNeverTouchesASource) {
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

TEST_F(FaultRun, AwkwardNamesAreKeptByteForByte) {
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

TEST_F(FaultRun, PathsLongerThanTheSystemAllows) {
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

TEST_F(FaultRun, BinaryBytesPassTheDefaultTemplateUnchanged) {
    struct Case {
        std::string bytes;
        std::string expected;  // lines end at CR LF; the last line gets one
    };
    const std::string nul_mix("\0a\0\r\n\xff\xfe\r\r\n\n\x01\x1a\0", 14);
    const std::vector<Case> cases = {
        {nul_mix, nul_mix + "\r\n"},
        {nul_mix + "\r\n", nul_mix + "\r\n"},
        {std::string(3, '\0'), std::string(3, '\0') + "\r\n"},
        {std::string("\0\r\n", 3) + "{{crlf}}\r\n", std::string("\0\r\n", 3) + "{{crlf}}\r\n"},
        {"\r\n\r\n", "\r\n\r\n"},
        {"\n\r", "\n\r\r\n"},
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

TEST_F(FaultRun, ExtremeIntervalsOnAThreeLineFile) {
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
        {"a variable defined as itself twice", "{{|deff:x,{{x}}{{x}}}}{{x}}.", "l", ""},
        {"a line expanding itself three times", "{{line}}.", "{{line}}{{line}}{{line}}", ""},
        {"a line defining a bigger self", "{{line}}.", "{{|deff:line,{{line}}{{line}}}}{{line}}", ""},
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
        EXPECT_LT(u.cpu_seconds, 2.0 * testing::SlowBuildFactor()) << c.what;
        EXPECT_LT(u.max_rss_bytes, int64_t{512} << 20) << c.what;
    }
}

// ---------------------------------------------------------------- failing writes

TEST_F(FaultRun, FullDestinationStopsTheRunAndKeepsWhatWasThere) {
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

TEST_F(FaultRun, EveryFileTooBigForTheLimitIsReported) {
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

}  // namespace
}  // namespace rowsmith::run
