// rowsmith-cli run: the processing run over SOURCE into DEST, with a line per written file on stdout
// and every skipped file, with its reason, on stderr.

#include <algorithm>
#include <ostream>
#include <thread>
#include <utility>
#include <vector>

#include "cli/engine.h"
#include "cli/file_list_setup.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/stop_signals.h"
#include "cli/terminal_view.h"
#include "files/paths.h"
#include "run/job_file.h"
#include "run/processing_run.h"

namespace rowsmith::cli {

namespace {

const char* ModeWord(const run::RunSettings& s, bool folder_row) {
    if (folder_row) return "folder";
    return run::CopiesFiles(s) ? "copy" : "rewrite";
}

// The run's settings from the options; false (with the message given) on a template file that
// cannot be used.
bool MakeSettings(const RunOptions& o, Io& io, run::RunSettings& settings) {
    settings.IntervalActive = o.interval.has_value();
    settings.IntervalText = o.interval.value_or("");
    std::string template_text;
    if (o.template_file) {
        if (!ReadWholeFile(*o.template_file, template_text, io, "template file")) return false;
    } else if (o.template_text) {
        template_text = *o.template_text;
    }
    settings.TemplateActive = o.template_text.has_value() || o.template_file.has_value();
    settings.TemplateText = template_text;
    settings.DestinationFlags = run::MakeDestinationFlags(!o.no_create_folders, !o.rename);
    files::ParseLineEnds(o.line_ends, settings.LineEnds);  // checked by the option parser
    if (!CheckEncodings(o.encoding, o.legacy_encoding, o.output_encoding, io)) return false;
    settings.Encoding = o.encoding;
    settings.LegacyEncoding = o.legacy_encoding;
    settings.OutputEncoding = o.output_encoding;
    return true;
}

// The options of a run from the job file o.job, overridden by every setting the command line gave,
// so that the run takes the same path as the command line that spells the job out. False (with the
// message given) when the job cannot be read, or names no source or destination and none was given.
bool ApplyJob(const RunOptions& o, Io& io, RunOptions& out) {
    out = o;
    if (o.job.empty()) return true;
    run::Job job;
    std::string error;
    if (!run::ReadJobFile(o.job, job, error)) {
        io.err << "rowsmith-cli: " << error << '\n';
        return false;
    }
    const RunOptions::Given& g = o.given;
    if (!g.source) out.source = job.Source;
    if (!g.destination) out.destination = job.Destination;
    for (const auto& [path, word] :
         {std::pair{&out.source, "source"}, std::pair{&out.destination, "destination"}})
        if (path->empty()) {
            io.err << "rowsmith-cli: run: the job file '" << o.job << "' gives no " << word
                   << " folder, and the command line gives none\n";
            return false;
        }
    if (!g.levels) out.levels = job.Levels;
    if (!g.masks) out.masks = job.Masks;
    if (!g.sort) out.sort = job.Sort;
    out.flat = o.flat || job.Flat;
    out.no_create_folders = o.no_create_folders || !job.CreateFolders;
    out.rename = o.rename || !job.Overwrite;
    if (!o.interval && job.IntervalOn) out.interval = job.Interval;
    if (!o.template_text && !o.template_file && job.TemplateOn) out.template_text = job.Template;
    if (!g.line_ends) out.line_ends = files::LineEndsWord(job.LineEnds);
    if (!g.encoding) out.encoding = job.Encoding;
    if (!g.legacy_encoding) out.legacy_encoding = job.LegacyEncoding;
    if (!g.output_encoding) out.output_encoding = job.OutputEncoding;
    return true;
}

// The report of a listed path that names nothing: a skipped file that never became a row (row 0).
run::RowReport MissingReport(const tables::ArrayOfFiles& list, const std::string& full) {
    run::RowReport r;
    r.Outcome = run::RowOutcome::Skipped;
    r.Source = full;
    r.Destination =
        files::FinalDestinationPath(list.SourceRoot, full, list.DestinationRoot, list.DestinationMode);
    r.Reason = kListedPathMissing;
    return r;
}

// Each row's mode, source and final destination, one a line; nothing is written.
int DryRun(const run::RunSettings& settings, const tables::ArrayOfFiles& list, int unlisted, Io& io) {
    StopSignals signals(false);
    OutputWatch watch(io.out);
    for (int32_t row = 1; row <= list.RowCount; ++row) {
        const tables::DataRecT* r = list.Row(row);
        const bool folder_row = r && r->Extra && (r->Extra->Facts.Attributes & 16);
        watch.Before();
        io.out << ModeWord(settings, folder_row) << '\t' << list.GetCell(row, tables::kCodeFullPath) << '\t'
               << list.GetCell(row, tables::kCodeFinalDestination) << '\n';
        if (!watch.After()) break;
    }
    if (!watch.Failed()) watch.Flush();
    if (watch.Failed()) return watch.ExitCode(io);
    io.err << list.RowCount << (list.RowCount == 1 ? " file" : " files") << " listed; nothing written (dry run)\n";
    return unlisted > 0 ? kExitSkipped : kExitOk;
}

// The exit status of a finished run, after its summary line.
int RunStatus(const run::RunSummary& summary, bool reported, const OutputWatch& watch, int unlisted, Io& io) {
    if (!reported) return kExitIoError;
    if (summary.IoStopped) {
        io.err << "rowsmith-cli: the run stopped: the destination has no room left\n";
        return kExitIoError;
    }
    if (watch.Failed() && !watch.CountsAsCancel()) {
        watch.Explain(io, "the run stopped: ");
        return kExitIoError;
    }
    if (summary.Cancelled || watch.Failed()) return kExitSkipped;
    return summary.Skipped > 0 || unlisted > 0 ? kExitSkipped : kExitOk;
}

}  // namespace

int RunCommand(const RunOptions& given, Io& io) {
    RunOptions o;
    if (!ApplyJob(given, io, o)) return kExitUsage;
    run::RunSettings settings;
    if (!MakeSettings(o, io, settings)) return kExitUsage;
    std::unique_ptr<run::LineExpander> expander;
    if (settings.TemplateActive && !settings.TemplateText.empty()) {
        expander = MakeLineExpander();
        if (!expander) {
            io.err << "rowsmith-cli: --template needs the template engine, which this build does not include\n";
            return kExitUsage;
        }
    }

    const bool show_progress = io.err_is_terminal && !o.quiet && !o.dry_run;
    TerminalGaugeFactory views(io.err);
    ListRequest req;
    req.source = o.source;
    req.destination = o.destination;
    req.levels = o.levels;
    req.masks = o.masks;
    req.flat = o.flat;
    req.sort = o.sort;
    req.codepage = o.codepage;
    req.files_from = o.files_from;
    req.null_separated = o.null_separated;
    tables::ArrayOfFiles list;
    int unlisted = 0;
    std::vector<std::string> missing;
    if (!BuildFileList(req, io, list, show_progress ? &views : nullptr, &unlisted, &missing))
        return kExitUsage;
    // Checked before anything is written, in a dry run too: it shows what the run would refuse.
    if (!o.report.empty() && !CheckReportPath(o.report, list, io)) return kExitUsage;
    if (o.dry_run) {
        for (const std::string& m : missing)
            io.err << "rowsmith-cli: skipped '" << m << "': " << kListedPathMissing << '\n';
        const int status = DryRun(settings, list, unlisted, io);
        return status == kExitOk && !missing.empty() ? kExitSkipped : status;
    }

    RunReportWriter report;
    if (!o.report.empty() && !report.Open(o.report, io)) return kExitUsage;
    tables::ArrayOfFiles line_buffer;
    StopSignals signals(true);
    OutputWatch watch(io.out);
    run::RunHooks hooks;
    hooks.Views = show_progress ? &views : nullptr;
    hooks.Jobs = o.jobs > 0 ? o.jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    hooks.NewExpander = MakeLineExpander;
    // A stop signal, or standard output gone, ends the run after the current file.
    hooks.ShouldCancel = [&] { return StopSignals::Arrived() != 0 || watch.Failed(); };
    hooks.OnRow = [&](const run::RowReport& r) {
        if (show_progress) views.ClearLine();
        switch (r.Outcome) {
            case run::RowOutcome::Copied:
            case run::RowOutcome::Rewritten:
                watch.Before();
                io.out << r.Destination << '\n';
                watch.After();
                break;
            case run::RowOutcome::FolderCreated: break;
            case run::RowOutcome::Skipped:
                io.err << "rowsmith-cli: skipped '" << r.Source << "': " << r.Reason << '\n';
                break;
            case run::RowOutcome::Cancelled:
                io.err << "rowsmith-cli: cancelled '" << r.Source << "': " << r.Reason << '\n';
                break;
        }
        report.Add(r);
    };
    // Listed paths that name nothing are skipped files like any other: named, reported and counted.
    for (const std::string& m : missing) hooks.OnRow(MissingReport(list, m));
    run::RunSummary summary = run::RunFiles(list, line_buffer, expander.get(), settings, hooks);
    summary.Skipped += static_cast<int32_t>(missing.size());
    if (show_progress) views.ClearLine();
    watch.Flush();
    // A report that fails is named, and the summary still says what happened to the files.
    const bool reported = report.Close(io);
    io.err << run::SummaryLine(summary) << '\n';
    return RunStatus(summary, reported, watch, unlisted, io);
}

}  // namespace rowsmith::cli
