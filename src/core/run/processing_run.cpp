#include "run/processing_run.h"

#include "files/text_file.h"
#include "run/copy_worker.h"
#include "run/parallel_run.h"
#include "run/row_worker.h"
#include "run/run_plan.h"

namespace rowsmith::run {

uint8_t MakeDestinationFlags(bool create_folders, bool overwrite) {
    uint8_t f = 0;
    if (!create_folders) f |= files::kNoCreateFolders;
    f |= overwrite ? files::kOverwrite : files::kRename;
    return f;
}

bool CopiesFiles(const RunSettings& s) {
    const bool interval = s.IntervalActive && !s.IntervalText.empty();
    const bool templ = s.TemplateActive && !s.TemplateText.empty();
    return !interval && !templ;
}

std::string SummaryLine(const RunSummary& s) {
    std::string line = std::to_string(s.Copied) + " copied, " + std::to_string(s.Rewritten) + " rewritten, " +
                       std::to_string(s.Skipped) + " skipped";
    if (s.Folders > 0) line += ", " + std::to_string(s.Folders) + (s.Folders == 1 ? " folder" : " folders");
    if (s.Cancelled) line += " (cancelled)";
    return line;
}

RunSummary RunFiles(tables::ArrayOfFiles& file_list, tables::ArrayOfFiles& line_buffer, LineExpander* expander,
                    const RunSettings& settings, const RunHooks& hooks) {
    RunPlan plan = MakeRunPlan(file_list, line_buffer, settings, hooks.Views != nullptr);
    if (hooks.KeepWholeText && plan.Lines == LineWay::Indexed) plan.Lines = LineWay::Compact;
    if (hooks.HeldFileBytes >= 0) plan.HeldFileBytes = hooks.HeldFileBytes;
    if (!hooks.LineByLine) {
        const ContextLineExpander* direct = DirectExpander(expander);
        DecideBlockChain(plan, settings, direct ? &direct->Context() : nullptr);
    }
    const ParallelChoice choice = ChooseParallel(plan, settings, hooks, expander, file_list);
    if (choice.Jobs > 1) {
        plan.Pipelined = false;  // the lanes are the copies' threads
        return RunRowsInParallel(file_list, line_buffer, expander, settings, hooks, plan, choice);
    }
    // One row at a time, each output written and named on the helper while the next row is read and
    // expanded: only where nothing the template reads can depend on the files written so far, the
    // judgement that lets rows go side by side (a stateless template reads neither the file system
    // nor state), and no data line may run tags.
    if (!hooks.Pipeline) {
        plan.Pipelined = false;
    } else if (!plan.CopyMode && hooks.Views == nullptr && file_list.RowCount >= kPipelinedRows) {
        plan.Pipelined = choice.Stateless && !choice.RefuseLineTags;
    }
    // One row at a time: a large file's lines may still be expanded side by side (blocks are faster).
    if (choice.Stateless && plan.UseTemplate && hooks.NewExpander && StreamsEveryLineAsItIs(plan) &&
        plan.Blocks == BlockChain::None) {
        plan.SplitThreads = hooks.Jobs;
        plan.SplitRefuseLineTags = choice.RefuseLineTags;
        if (hooks.SplitBytes >= 0) plan.SplitBytes = hooks.SplitBytes;
    }
    // Overwriting a file that is another row's source would destroy it (a flat destination inside
    // the source tree maps sub/a.txt onto a.txt; a link to the source folder as the destination). The
    // sources are known by identity, so no path text, link or alias leading to one gets past.
    files::SourceSet sources;
    CollectSources(file_list, sources);
    // Every destination stays beneath the run's destination folder: a link in it cannot lead a write out.
    files::DestinationRoot root(file_list.DestinationRoot);
    // Declared after what its copies refer to, so that it ends first.
    CopyWorker pipeline;
    RowReporter reporter(hooks, plan.Flags, plan.Pipelined ? &pipeline : nullptr);
    RowWorker rows({plan, settings, hooks, line_buffer, expander, reporter, root, sources, pipeline});
    for (int32_t row = 1; row <= file_list.RowCount; ++row) {
        if (hooks.ShouldCancel && hooks.ShouldCancel()) {
            reporter.Summary().Cancelled = true;
            // The copy moving now finishes; those begun after it are abandoned unrun (they may be large).
            // Rewritten outputs handed over are complete in memory: they are written and named, so that
            // a cancel ends the run after the very rows it would end one without the helper after.
            if (plan.Pipelined && plan.CopyMode) pipeline.AbandonRest();
            break;
        }
        if (!rows.Handle(file_list, row)) break;
    }
    // Copies still moving are waited for and reported (those a stop abandoned are not).
    reporter.Settle(true);
    // Rows prepared ahead of a full-disk stop made their folders in vain.
    if (reporter.Summary().IoStopped) root.RemoveFoldersMadeAfter(reporter.StopRow(), {&root});
    rows.Finish();
    line_buffer.Clear();
    return reporter.Summary();
}

}  // namespace rowsmith::run
