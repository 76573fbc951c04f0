#include "run/parallel_run.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "run/row_worker.h"
#include "template/state_use.h"

namespace rowsmith::run {

ParallelChoice ChooseParallel(const RunPlan& plan, const RunSettings& settings, const RunHooks& hooks,
                              LineExpander* expander, const tables::ArrayOfFiles& list) {
    ParallelChoice c;
    auto serial = [&](std::string why) {
        c.Why = std::move(why);
        return c;
    };
    // A line buffer that filters its lines is one table: it serves one file at a time.
    if (!plan.CopyMode && plan.Lines == LineWay::Buffered) return serial("the line buffer filters lines");
    if (!plan.CopyMode && plan.UseTemplate) {
        ContextLineExpander* direct = DirectExpander(expander);
        if (!direct || !hooks.NewExpander) return serial("the template engine serves one thread");
        const tmpl::StateUse use = tmpl::DecideStateUse(settings.TemplateText, direct->Context());
        if (!use.Stateless) return serial(use.Why);
        c.RefuseLineTags = use.ExpandsLine;
    }
    c.Stateless = true;
    if (hooks.Jobs <= 1) return c;  // one thread was asked for
    if (list.RowCount < 2) return serial("one row");
    // Small files cost the kernel more than the program: making and naming them is serialised in
    // the file system (measured: two threads took twice the processor time of one, and longer), so
    // only files large enough for their lines to be the work go side by side.
    const int64_t lane_bytes = hooks.LaneBytes >= 0 ? hooks.LaneBytes : kLaneBytes;
    if (plan.TotalSize / list.RowCount < lane_bytes) return serial("the files are small");
    c.Jobs = std::min<int>(hooks.Jobs, list.RowCount);
    return c;
}

namespace {

// One thread's share of the run: everything a row worker uses that serves one row at a time.
struct Lane {
    // `turns`: the lane commits and reports each row in its turn (null: the caller holds the turn).
    Lane(const RunPlan& plan, const RunSettings& settings, const RunHooks& hooks, std::unique_ptr<LineExpander> own,
         LineExpander* shared_expander, tables::ArrayOfFiles* shared_buffer, const std::string& root_path,
         const files::SourceSet& sources, RowTurns* turns, std::mutex& hook_lock, bool refuse_line_tags)
        : expander(std::move(own)),
          root(root_path),
          reporter(hooks, plan.Flags, nullptr, turns, &hook_lock),
          worker({plan, settings, hooks, shared_buffer ? *shared_buffer : buffer,
                  expander ? expander.get() : shared_expander, reporter, root, sources, pipeline, turns, &hook_lock,
                  refuse_line_tags}) {}

    std::unique_ptr<LineExpander> expander;
    tables::ArrayOfFiles buffer;
    files::DestinationRoot root;
    CopyWorker pipeline;  // unused: the lanes are the copies' threads
    RowReporter reporter;
    RowWorker worker;
};

void AddCounts(RunSummary& to, const RunSummary& from) {
    to.Copied += from.Copied;
    to.Rewritten += from.Rewritten;
    to.Skipped += from.Skipped;
    to.Folders += from.Folders;
}

}  // namespace

RunSummary RunRowsInParallel(const tables::ArrayOfFiles& list, tables::ArrayOfFiles& line_buffer,
                             LineExpander* expander, const RunSettings& settings, const RunHooks& hooks,
                             const RunPlan& plan, const ParallelChoice& choice) {
    files::SourceSet sources;
    CollectSources(list, sources);
    RowTurns turns(hooks, choice.Jobs);

    // The lanes show nothing themselves: the turn holder feeds one gauge per row, in table order.
    CoarseClock clock;
    text::TFormGauge gauge;
    gauge.views = hooks.Views;
    gauge.clock = &clock;
    text::ApplyGaugeSettings(gauge, plan.CopyMode ? text::GaugeUse::Copying : text::GaugeUse::Writing, list.RowCount);
    gauge.SetBaseColour(plan.CopyMode ? 0xFF0000 : 0x0000FF);
    int64_t done_size = 0;
    int32_t done_rows = 0;
    RunHooks lane_hooks = hooks;
    lane_hooks.Views = nullptr;
    lane_hooks.OnRow = [&](const RowReport& r) {
        if (hooks.Views) {
            ++done_rows;
            if (plan.CopyMode) {
                done_size += RowSize(list, r.Row);
                gauge.UpdateFraction("Copying Files...", r.Source, done_size, plan.TotalSize);
            } else {
                gauge.UpdateFraction("Writing:" + r.Destination, r.Source, done_rows, list.RowCount);
            }
        }
        if (hooks.OnRow) hooks.OnRow(r);
    };

    // The run's own context takes the rows from the first one whose lines hold tags on, in turn.
    Lane master(plan, settings, lane_hooks, nullptr, expander, &line_buffer, list.DestinationRoot, sources, nullptr,
                turns.HookLock(), false);
    std::vector<std::unique_ptr<Lane>> lanes;
    for (int i = 0; i < choice.Jobs; ++i) {
        std::unique_ptr<LineExpander> own;
        if (plan.UseTemplate && !plan.CopyMode) own = hooks.NewExpander();
        lanes.push_back(std::make_unique<Lane>(plan, settings, lane_hooks, std::move(own), expander, nullptr,
                                               list.DestinationRoot, sources, &turns, turns.HookLock(),
                                               choice.RefuseLineTags));
    }

    std::atomic<int32_t> next{1};
    auto work = [&](Lane& lane) {
        bool alone = false;  // this lane goes on by itself, row after row
        int32_t row = 0;
        for (;;) {
            row = alone ? row + 1 : next.fetch_add(1);
            if (row > list.RowCount || turns.Stopped() || (!alone && turns.Quiesced())) break;
            bool ok = true;
            RowReporter* reported_by = &lane.reporter;
            const bool in_order = alone || turns.Serial();
            if (!in_order) ok = lane.worker.Handle(list, row);
            const RowTurns::Turn turn = lane.reporter.Acquire(row);
            if (turn == RowTurns::Turn::Stopped || turn == RowTurns::Turn::Yield) break;
            if (lane.reporter.TakeHeldStop()) {
                // The destination was full, perhaps only with what later rows hold: they give it
                // back, and this row and every later one go one after another.
                turns.Quiesce();
                turns.WaitAlone();
                alone = true;
            }
            if (in_order || alone || turn == RowTurns::Turn::Serial || lane.worker.Tainted()) {
                // What this row and the rows after it expand may depend on what earlier lines set.
                turns.GoSerial();
                ok = master.worker.Handle(list, row);
                reported_by = &master.reporter;
            }
            const RunSummary& s = reported_by->Summary();
            turns.Leave(row, !ok, s.IoStopped, s.Cancelled);
            if (!ok) break;
        }
        turns.LaneLeft();
    };
    {
        std::vector<std::thread> threads;
        for (std::size_t i = 1; i < lanes.size(); ++i) threads.emplace_back(work, std::ref(*lanes[i]));
        work(*lanes[0]);
        for (std::thread& t : threads) t.join();
    }
    gauge.Finish();
    for (auto& lane : lanes) lane->worker.Finish();
    master.worker.Finish();

    RunSummary summary;
    for (auto& lane : lanes) AddCounts(summary, lane->reporter.Summary());
    AddCounts(summary, master.reporter.Summary());
    summary.IoStopped = turns.IoStopped();
    if (summary.IoStopped) {
        // Lanes prepare rows ahead of the one that found the destination full: the folders only
        // those rows made go again, so the tree is the one that one row after the other leaves.
        std::vector<const files::DestinationRoot*> roots{&master.root};
        for (auto& lane : lanes) roots.push_back(&lane->root);
        master.root.RemoveFoldersMadeAfter(turns.StopRow(), roots);
    }
    summary.Cancelled = turns.Cancelled();
    line_buffer.Clear();
    return summary;
}

}  // namespace rowsmith::run
