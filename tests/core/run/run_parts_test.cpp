// The parts of a processing run on their own: the plan's decisions, the rules that keep a
// destination (the same whether they are applied before writing or at the commit), and the report
// order under the copy pipeline.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "files/text_file.h"
#include "run/copy_worker.h"
#include "run/row_worker.h"
#include "run/run_plan.h"
#include "support/fault_tools.h"
#include "support/temp_dir.h"

namespace rowsmith::run {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

void FillList(tables::ArrayOfFiles& list, int rows) {
    for (int i = 0; i < rows; ++i) list.AddLine("/x/" + std::to_string(i), tables::kCodeFullPath);
}

TEST(RunPlan, HowLinesTravelAndWhetherCopiesArePipelined) {
    struct Case {
        const char* what;
        RunSettings settings;
        bool filtering_buffer;
        bool views;
        int rows;
        LineWay lines;
        bool copy, pipelined;
        std::size_t pieces;
    };
    RunSettings copy;
    RunSettings lines3to10;
    lines3to10.IntervalActive = true;
    lines3to10.IntervalText = "3-10";
    RunSettings last;
    last.IntervalActive = true;
    last.IntervalText = "-1";
    RunSettings two_pieces = lines3to10;
    two_pieces.IntervalText = "1-2;5-";
    RunSettings downward = lines3to10;
    downward.IntervalText = "10-3";
    RunSettings templ;
    templ.TemplateActive = true;
    templ.TemplateText = "{{line}}";
    const std::vector<Case> cases = {
        {"a copy run of many rows, no view", copy, false, false, 40, LineWay::Streamed, true, true, 1},
        {"a copy run shown in a view", copy, false, true, 40, LineWay::Streamed, true, false, 1},
        {"a copy run of few rows", copy, false, false, 31, LineWay::Streamed, true, false, 1},
        {"lines 3-10 stream", lines3to10, false, false, 40, LineWay::Streamed, false, false, 1},
        {"pieces in file order stream", two_pieces, false, false, 1, LineWay::Streamed, false, false, 2},
        {"the last line needs the count", last, false, false, 1, LineWay::Indexed, false, false, 0},
        {"a downward piece needs look-back", downward, false, false, 1, LineWay::Indexed, false, false, 0},
        {"a template without interval streams", templ, false, false, 1, LineWay::Streamed, false, false, 1},
        {"a filtering line buffer keeps rows", lines3to10, true, false, 1, LineWay::Buffered, false, false, 0},
    };
    for (const Case& c : cases) {
        tables::ArrayOfFiles buffer;
        if (c.filtering_buffer) buffer.KeepEmptyLines = false;
        tables::ArrayOfFiles list;
        FillList(list, c.rows);
        const RunPlan plan = MakeRunPlan(list, buffer, c.settings, c.views);
        EXPECT_EQ(plan.Lines, c.lines) << c.what;
        EXPECT_EQ(plan.CopyMode, c.copy) << c.what;
        EXPECT_EQ(plan.Pipelined, c.pipelined) << c.what;
        if (c.lines == LineWay::Streamed) { EXPECT_EQ(plan.Pieces.size(), c.pieces) << c.what; }
    }
}

// An identity is a source's only while the source's path still leads to it: a source removed during the
// run frees its inode, which a new file (even the run's own output) may then carry.
TEST(DestinationRules, ASourceCountsWhileItsPathLeadsToIt) {
    struct Case {
        const char* what;
        std::function<void(const std::string&)> change;  // done to the source after it was collected
        bool still_source;
    };
    const std::vector<Case> cases = {
        {"unchanged", [](const std::string&) {}, true},
        {"a hard link made elsewhere", [](const std::string& p) { link(p.c_str(), (p + ".alias").c_str()); }, true},
        {"removed", [](const std::string& p) { unlink(p.c_str()); }, false},
        {"moved to another name", [](const std::string& p) { rename(p.c_str(), (p + ".moved").c_str()); }, false},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string path = dir / "a.txt";
        WriteFile(path, "a");
        files::fs::PathFacts f;
        ASSERT_TRUE(files::fs::GetFacts(path, f));
        files::SourceSet sources;
        sources.Add(f.device, f.inode, path);
        c.change(path);
        EXPECT_EQ(sources.Has(f.device, f.inode), c.still_source) << c.what;
        EXPECT_FALSE(sources.Has(f.device, f.inode + 1000003)) << c.what;
    }
}

// What holds a destination's name decides the same way whether it is looked at before the output is
// written or only at the commit (when it appeared meanwhile, or was never looked at).
TEST(DestinationRules, TheLookAndTheCommitAgree) {
    TempDir dir;
    WriteFile(dir / "src/own.txt", "own");
    WriteFile(dir / "src/other.txt", "other");
    files::fs::PathFacts own, other;
    ASSERT_TRUE(files::fs::GetFacts(dir / "src/own.txt", own));
    ASSERT_TRUE(files::fs::GetFacts(dir / "src/other.txt", other));
    files::SourceSet sources;
    sources.Add(own.device, own.inode, dir / "src/own.txt");
    sources.Add(other.device, other.inode, dir / "src/other.txt");
    struct Case {
        const char* what;
        std::function<void(const std::string&)> make;  // puts something under the destination's name
        uint8_t flags;
        std::string reason;  // empty: written
    };
    const uint8_t overwrite = files::kOverwrite;
    const std::vector<Case> cases = {
        {"a hard link of the own source", [&](const std::string& d) { link((dir / "src/own.txt").c_str(), d.c_str()); },
         overwrite, "the destination is the source file itself"},
        {"a link to the own source, rename mode",
         [&](const std::string& d) { symlink((dir / "src/own.txt").c_str(), d.c_str()); }, files::kRename,
         "the destination is the source file itself"},
        {"a link to another source",
         [&](const std::string& d) { symlink((dir / "src/other.txt").c_str(), d.c_str()); }, overwrite,
         "the destination is another source file of this run"},
        {"a folder", [](const std::string& d) { mkdir(d.c_str(), 0755); }, overwrite, "the destination is a folder"},
        {"a pipe", [](const std::string& d) { mkfifo(d.c_str(), 0644); }, overwrite,
         "the destination is not a regular file"},
        {"a read-only file",
         [](const std::string& d) {
             WriteFile(d, "ro");
             chmod(d.c_str(), 0444);
         },
         overwrite, "the existing destination is read-only"},
        {"a file, neither mode", [](const std::string& d) { WriteFile(d, "old"); }, 0,
         "the destination exists (neither overwrite nor rename)"},
        {"an ordinary file", [](const std::string& d) { WriteFile(d, "old"); }, overwrite, ""},
    };
    for (const Case& c : cases) {
        for (const bool at_commit : {false, true}) {
            for (const bool appears_meanwhile : {false, true}) {
                if (!at_commit && appears_meanwhile) continue;  // the look sees only what is there
                const std::string what = std::string(c.what) + (at_commit ? ", at the commit" : ", looked at") +
                                         (appears_meanwhile ? ", appearing meanwhile" : "");
                const std::string d = dir / "out/x.txt";
                testing::RemoveTreeContentsAt(dir / "out");
                mkdir((dir / "out").c_str(), 0755);
                if (!appears_meanwhile) c.make(d);
                files::WriteRules rules;
                rules.Sources = &sources;
                rules.HasOwn = true;
                rules.OwnDevice = own.device;
                rules.OwnInode = own.inode;
                rules.DecideAtCommit = at_commit;
                files::TWriteTextFile w;
                bool ok = w.OpenForWriting(d, c.flags, &rules);
                if (ok) {
                    if (appears_meanwhile) c.make(d);
                    ASSERT_TRUE(w.WriteText("new"));
                    ok = w.Close();
                }
                EXPECT_EQ(ok, c.reason.empty()) << what;
                EXPECT_EQ(w.Reason, c.reason) << what;
                if (!ok) {
                    EXPECT_EQ(ReadFile(dir / "src/own.txt"), "own") << what;
                    EXPECT_EQ(ReadFile(dir / "src/other.txt"), "other") << what;
                } else {
                    EXPECT_EQ(ReadFile(d), "new") << what;
                }
                chmod(d.c_str(), 0644);
            }
        }
    }
}

// Rows reported while copies move on the helper thread come in table order: a row that ends before
// its bytes waits for every copy begun before it.
TEST(RowReporter, KeepsTableOrderUnderTheCopyPipeline) {
    TempDir dir;
    for (int i = 1; i <= 60; ++i) WriteFile(dir / ("src/" + std::to_string(i) + ".txt"), std::string(i * 1000, 'c'));
    RunHooks hooks;
    std::vector<int32_t> order;
    hooks.OnRow = [&](const RowReport& r) { order.push_back(r.Row); };
    RunSummary summary;
    {
        CopyWorker pipeline;
        RowReporter reporter(hooks, files::kOverwrite, &pipeline);
        for (int i = 1; i <= 60; ++i) {
            RowReport rep;
            rep.Row = i;
            rep.Source = dir / ("src/" + std::to_string(i) + ".txt");
            rep.Destination = dir / ("out/" + std::to_string(i) + ".txt");
            if (i % 7 == 0) {
                rep.Reason = "ended before its bytes";
                reporter.Report(rep);
                continue;
            }
            auto job = std::make_unique<CopyWorker::Job>();
            uint16_t status = 0;
            ASSERT_TRUE(files::BeginCopy(rep.Source, rep.Destination, files::kOverwrite, {}, job->Copy, status));
            job->Report = rep;
            pipeline.Hand(std::move(job));
            reporter.Settle(false);
        }
        reporter.Settle(true);
        summary = reporter.Summary();
    }
    ASSERT_EQ(order.size(), 60u);
    for (int i = 0; i < 60; ++i) EXPECT_EQ(order[i], i + 1);
    EXPECT_EQ(summary.Copied, 52);
    EXPECT_EQ(summary.Skipped, 8);
    EXPECT_EQ(ReadFile(dir / "out/59.txt"), std::string(59000, 'c'));
}

}  // namespace
}  // namespace rowsmith::run
