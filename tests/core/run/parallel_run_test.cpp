// Rows side by side must not show: every output, name, report, summary and stop is that of the run
// of one row after another, and a template that keeps state, or lines that run tags of their own,
// are handled in table order on the run's one context.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "run/expand_lines.h"
#include "run/parallel_run.h"
#include "run/processing_run.h"
#include "run/run_plan.h"
#include "support/child_process.h"
#include "support/fault_tools.h"
#include "support/file_lists.h"
#include "support/run_settings.h"
#include "support/temp_dir.h"

namespace rowsmith::run {
namespace {

using testing::IntervalSettings;
using testing::TempDir;
using testing::TemplateSettings;
using testing::TreeSnapshot;
using testing::WriteFile;

std::string Rel(const std::string& path, const std::string& root) {
    return path.rfind(root + "/", 0) == 0 ? path.substr(root.size() + 1) : path;
}

struct Result {
    std::string rows;  // one line per report, paths relative to the run's folders
    RunSummary summary;
    std::map<std::string, std::string> tree;
};

struct Case {
    const char* name;
    RunSettings settings;
    bool flat = false;
    bool overwrite = true;
    int cancel_after = 0;  // the question "cancelled?" answered no this often, then yes (0: never)
};

// jobs 0: one row after another with no helper thread at all, the reference of both other ways.
Result RunCase(const Case& c, const std::string& src, const std::string& dst, int jobs) {
    // What a user finds in the destination before the run: names the run's outputs collide with.
    WriteFile(dst + "/f1.txt", "old f1\r\n");
    WriteFile(dst + "/a/f2.txt", "old a/f2\r\n");
    WriteFile(dst + "/f3_1.txt", "old f3_1\r\n");
    tables::ArrayOfFiles list;
    testing::PopulateList(list, src, dst, "*.*", 3, c.flat);
    tables::ArrayOfFiles buffer;
    StandaloneLineExpander expander;
    RunSettings s = c.settings;
    s.DestinationFlags = MakeDestinationFlags(true, c.overwrite);
    Result r;
    RunHooks hooks;
    hooks.Jobs = jobs > 0 ? jobs : 1;
    hooks.Pipeline = jobs > 0;
    hooks.LaneBytes = 0;  // the test files are small
    hooks.NewExpander = [] { return std::make_unique<StandaloneLineExpander>(); };
    hooks.OnRow = [&](const RowReport& rep) {
        r.rows += std::to_string(rep.Row) + " " + Rel(rep.Source, src) + " -> " + Rel(rep.Destination, dst) + " " +
                  std::to_string(static_cast<int>(rep.Outcome)) + " " + std::to_string(rep.Lines) + " " + rep.Reason +
                  "\n";
    };
    // Asked before each row, in table order, whichever way the rows go.
    std::atomic<int> asked{0};
    if (c.cancel_after > 0) hooks.ShouldCancel = [&] { return asked++ >= c.cancel_after; };
    r.summary = RunFiles(list, buffer, &expander, s, hooks);
    r.tree = TreeSnapshot(dst);
    return r;
}

void MakeTree(const std::string& src) {
    for (int i = 0; i < 40; ++i) {
        std::string text;
        for (int line = 1; line <= 3 + i % 17; ++line)
            text += "file " + std::to_string(i) + " line " + std::to_string(line) + (i % 5 ? "\r\n" : "\n");
        if (i % 9 == 4) text += "no end";
        const std::string folder = i % 3 == 0 ? "" : i % 3 == 1 ? "a/" : "a/b/";
        WriteFile(src + "/" + folder + "f" + std::to_string(i % 7) + (i % 2 ? ".txt" : ".csv"), text);
    }
    WriteFile(src + "/empty.txt", "");
    WriteFile(src + "/a/latin.txt", "caf\xE9\r\nna\xEFve\r\n");
}

TEST(ParallelRun, SideBySideWritesWhatOneAfterAnotherWrites) {
    const Case cases[] = {
        {"copy kept", RunSettings{}},
        {"copy flat rename", RunSettings{}, true, false},
        {"copy flat overwrite", RunSettings{}, true, true},
        {"interval kept", IntervalSettings("3-10")},
        {"interval from the end, flat rename", IntervalSettings("-1;1"), true, false},
        {"interval cancelled", IntervalSettings("2-"), true, false, 5},
        {"upper case, flat rename", TemplateSettings("{{line|caseupper}}{{eol}}"), true, false},
        {"default template", TemplateSettings("{{originalline}}{{eol}}")},
        {"trim, cancelled", TemplateSettings("[{{line|trim}}]{{crlf}}"), false, true, 12},
        {"a counter keeps state", TemplateSettings("{{n|inc:n}}{{n}} {{line}}{{eol}}"), true, false},
        {"a toggle keeps state", TemplateSettings("{{|toggle:A:B}}{{line}}{{eol}}")},
    };
    for (const Case& c : cases) {
        TempDir dir;
        MakeTree(dir / "src");
        const Result alone = RunCase(c, dir / "src", dir / "alone", 0);
        // One row after another with the writing on the helper thread, and rows side by side.
        for (const int jobs : {1, 4}) {
            const Result r = RunCase(c, dir / "src", dir / ("jobs" + std::to_string(jobs)), jobs);
            EXPECT_EQ(alone.rows, r.rows) << c.name << ", jobs " << jobs;
            EXPECT_EQ(alone.tree, r.tree) << c.name << ", jobs " << jobs;
            EXPECT_EQ(SummaryLine(alone.summary), SummaryLine(r.summary)) << c.name << ", jobs " << jobs;
        }
        EXPECT_EQ(alone.summary.Cancelled, c.cancel_after > 0) << c.name;
    }
}

// A template that looks at the file system sees every output of the rows before it, as one row
// after another with no helper thread does: such a run neither goes side by side nor leaves the
// writing of its outputs to trail behind.
TEST(ParallelRun, ATemplateThatLooksAtFilesSeesEveryEarlierOutput) {
    TempDir dir;
    const std::string src = dir / "src", dst = dir / "dst";
    // Each file names the output of the row before it (the first names one that never exists).
    for (int i = 0; i < 60; ++i)
        WriteFile(src + "/g" + std::to_string(100 + i) + ".txt", dst + "/g" + std::to_string(99 + i) + ".txt\r\n");
    const Case c{"looks at files", TemplateSettings("{{line|replaceifnotexistsfile:missing}}{{eol}}")};
    std::string seen[3];
    int pass = 0;
    for (const int jobs : {0, 1, 4}) {
        const Result r = RunCase(c, src, dst, jobs);
        for (const auto& [name, what] : r.tree) seen[pass] += name + " " + what + "\n";
        seen[pass] += r.rows;
        if (jobs == 0) {
            // In that order every file but the first finds the one before it.
            EXPECT_EQ(testing::ReadFile(dst + "/g100.txt"), "missing\r\n");
            EXPECT_EQ(testing::ReadFile(dst + "/g159.txt"), dst + "/g158.txt\r\n");
        }
        testing::RemoveTreeContentsAt(dst);
        ++pass;
    }
    EXPECT_EQ(seen[0], seen[1]) << "one after another, the writing left to trail";
    EXPECT_EQ(seen[0], seen[2]) << "side by side";
}

// Lines that hold tags run them against the template's state: the row that first holds one, and
// every row after it, go through the run's own context in table order.
TEST(ParallelRun, LinesHoldingTagsAreExpandedInTableOrder) {
    for (const char* templ : {"{{line}}{{eol}}", "{{line|caseupper}}{{eol}}"}) {
        TempDir dir;
        MakeTree(dir / "src");
        // A toggle in the data alternates across every line that reads it, file after file.
        for (const char* name : {"a/f3.txt", "f0.csv", "a/b/f5.txt"})
            WriteFile(dir / ("src/" + std::string(name)), "t{{|toggle:X:Y}}\r\nu{{|toggle:X:Y}}\r\nv{{|toggle:X:Y}}\r\n");
        const Case c{"data tags", TemplateSettings(templ), true, false};
        const Result one = RunCase(c, dir / "src", dir / "one", 1);
        const Result many = RunCase(c, dir / "src", dir / "many", 3);
        EXPECT_EQ(one.rows, many.rows) << templ;
        EXPECT_EQ(one.tree, many.tree) << templ;
    }
}

// One large file with a template that keeps no state is expanded in chunks side by side and written
// in order: the same bytes, line count and skips as line after line, tags in the data included.
TEST(ParallelRun, OneLargeFileIsExpandedInChunksAndWrittenInOrder) {
    std::string crlf, lf;
    for (int i = 1; i <= 120000; ++i) {
        crlf += "  row " + std::to_string(i) + (i % 3 ? " a\r\n" : " b \n\r\n");
        lf += "row\t" + std::to_string(i) + "\n";
    }
    const struct {
        const char* name;
        std::string bytes;
    } files[] = {
        {"crlf.txt", crlf + "last  "},
        {"lf.txt", lf},
        // The first line goes through the run's context before the file is split.
        {"tags_late.txt", "w{{|toggle:P:Q}}\r\n" + crlf + "x{{|toggle:P:Q}}\r\n" + crlf + "y{{|toggle:P:Q}}\r\n" + crlf},
        {"latin_late.txt", crlf + "caf\xE9\r\n"},
        {"bound.txt", crlf + "{{line|multiply:100000000}}\r\n" + crlf},
    };
    for (const char* templ : {"<{{line}}>{{eol}}", "[{{line|trim}}]{{eol}}", "{{line|replace:row,ROW}}{{eol}}", "{{originalline|caseinvert}}{{eol}}"}) {
        // No helper, the writing on the helper, rows side by side.
        std::string seen[3];
        for (int pass = 0; pass < 3; ++pass) {
            TempDir dir;
            for (const auto& f : files) WriteFile(dir / ("src/" + std::string(f.name)), f.bytes);
            tables::ArrayOfFiles buffer;
            StandaloneLineExpander expander;
            RunHooks hooks;
            hooks.Jobs = pass == 0 ? 1 : 3;
            hooks.NewExpander = [] { return std::make_unique<StandaloneLineExpander>(); };
            hooks.SplitBytes = 0;
            // One row at a time, so that the file is what is split.
            for (const auto& f : files) {
                tables::ArrayOfFiles single;
                testing::PopulateList(single, dir / "src", dir / "dst", f.name, 0);
                hooks.OnRow = [&](const RowReport& r) {
                    seen[pass] += Rel(r.Source, dir / "src") + " " + std::to_string(static_cast<int>(r.Outcome)) + " " +
                                  std::to_string(r.Lines) + " " + r.Encoding + " " + r.Reason + "\n";
                };
                RunFiles(single, buffer, &expander, TemplateSettings(templ), hooks);
                const std::string out = dir / ("dst/" + std::string(f.name));
                seen[pass] += testing::Exists(out) ? testing::ReadFile(out) : std::string("<none>");
            }
        }
        EXPECT_TRUE(seen[0] == seen[1]) << templ;  // megabytes: no diff printed
    }
}

// Outputs that later rows hold unnamed take room the serial run would not have used yet: a row that
// finds the destination full is done again alone once they are dropped, so the run stops where the
// serial run stops, with the same files written.
TEST(ParallelRun, AFullDestinationStopsWhereOneAfterAnotherStops) {
    for (const Case& c : {Case{"copy", RunSettings{}}, Case{"interval", IntervalSettings("1-")},
                          Case{"template", TemplateSettings("[{{line}}]{{eol}}")}}) {
        // No helper, the writing on the helper, rows side by side.
        std::string seen[3];
        for (int pass = 0; pass < 3; ++pass) {
            TempDir dir;
            for (int i = 0; i < 60; ++i) {
                std::string text;
                while (text.size() < (40u << 10)) text += "file " + std::to_string(i) + " line\r\n";
                // In folders of their own: rows the run's thread reports itself (folders made or not)
                // come between outputs still being written on the helper.
                WriteFile(dir / ("src/d" + std::to_string(i / 6) + "/f" + std::to_string(100 + i) + ".txt"), text);
            }
            const std::string dst = dir / "dst";
            ::mkdir(dst.c_str(), 0755);
            const testing::CapturedChild child = testing::RunCapturedInChild([&](std::string& out) {
                std::string why;
                if (!testing::MountSmallFileSystem(dst, 1 << 20, why)) {
                    out = why;
                    return 99;
                }
                Case in_child = c;
                const Result r = RunCase(in_child, dir / "src", dst, pass == 0 ? 0 : pass == 1 ? 1 : 4);
                if (!r.summary.IoStopped) return 1;
                out = r.rows + SummaryLine(r.summary) + "\n";
                for (const auto& [name, hash] : r.tree) out += name + " " + hash + "\n";
                return 0;
            });
            if (child.code == 99) GTEST_SKIP() << "no small file system can be made here: " << child.output;
            ASSERT_EQ(child.code, 0) << c.name << " pass " << pass << " " << child.output;
            seen[pass] = child.output;
        }
        EXPECT_EQ(seen[0], seen[1]) << c.name << ", the writing on the helper";
        EXPECT_EQ(seen[0], seen[2]) << c.name << ", rows side by side";
    }
}

TEST(ParallelRun, ThreadsAreUsedOnlyWhereTheResultCannotTell) {
    TempDir dir;
    MakeTree(dir / "src");
    tables::ArrayOfFiles list;
    testing::PopulateList(list, dir / "src", dir / "dst", "*.*", 3);
    StandaloneLineExpander expander;
    const struct {
        RunSettings settings;
        bool filtered_buffer;
        bool factory;
        int jobs;
        bool refuse_line_tags;
    } cases[] = {
        {RunSettings{}, false, false, 4, false},
        {IntervalSettings("-3-"), false, false, 4, false},
        {TemplateSettings("{{originalline}}{{eol}}"), false, true, 4, false},
        {TemplateSettings("{{line|caseupper}}{{eol}}"), false, true, 4, true},
        {TemplateSettings("{{line|caseupper}}{{eol}}"), false, false, 1, false},  // no context of its own to give
        {TemplateSettings("{{n|inc:n}}{{line}}{{eol}}"), false, true, 1, false},
        {IntervalSettings("1-"), true, false, 1, false},
    };
    for (const auto& c : cases) {
        tables::ArrayOfFiles buffer;
        if (c.filtered_buffer) buffer.KeepEmptyLines = false;
        RunHooks hooks;
        hooks.Jobs = 4;
        hooks.LaneBytes = 0;
        if (c.factory) hooks.NewExpander = [] { return std::make_unique<StandaloneLineExpander>(); };
        const RunPlan plan = MakeRunPlan(list, buffer, c.settings, false);
        const ParallelChoice choice = ChooseParallel(plan, c.settings, hooks, &expander, list);
        EXPECT_EQ(choice.Jobs, c.jobs) << c.settings.TemplateText << " " << c.settings.IntervalText;
        EXPECT_EQ(choice.RefuseLineTags, c.refuse_line_tags) << c.settings.TemplateText;
        if (choice.Jobs == 1) {
            EXPECT_FALSE(choice.Why.empty()) << c.settings.TemplateText;
        }
    }
    // Small files go one after another: making them is the file system's work, not the lines'.
    tables::ArrayOfFiles buffer;
    RunHooks hooks;
    hooks.Jobs = 4;
    const RunPlan plan = MakeRunPlan(list, buffer, RunSettings{}, false);
    const ParallelChoice small = ChooseParallel(plan, RunSettings{}, hooks, &expander, list);
    EXPECT_EQ(small.Jobs, 1);
    EXPECT_EQ(small.Why, "the files are small");
}

}  // namespace
}  // namespace rowsmith::run
