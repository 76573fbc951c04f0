#include "run/processing_run.h"

#include <cerrno>
#include <cstring>

#include "files/paths.h"
#include "files/platform_fs.h"
#include "files/text_file.h"

namespace rowsmith::run {

namespace {

constexpr int32_t kCopyBaseColour = 0xFF0000;
constexpr int32_t kWriteBaseColour = 0x0000FF;

bool IsFolderRow(const tables::ArrayOfFiles& list, int32_t row) {
    const tables::DataRecT* r = list.Row(row);
    return r && r->Extra && (r->Extra->Facts.Attributes & files::fs::kAttrFolder);
}

bool StopsTheRun(int error) { return error == ENOSPC || error == EDQUOT; }

std::string ErrorText(int error) { return error ? std::string(std::strerror(error)) : std::string("unknown error"); }

}  // namespace

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
    RunSummary summary;
    const uint8_t flags = settings.DestinationFlags;
    auto report = [&](RowReport r) {
        switch (r.Outcome) {
            case RowOutcome::Copied: ++summary.Copied; break;
            case RowOutcome::Rewritten: ++summary.Rewritten; break;
            case RowOutcome::Skipped: ++summary.Skipped; break;
            case RowOutcome::FolderCreated: ++summary.Folders; break;
            case RowOutcome::Cancelled: break;
        }
        if (hooks.OnRow) hooks.OnRow(r);
    };
    auto cancelled = [&] { return hooks.ShouldCancel && hooks.ShouldCancel(); };

    text::TFormGauge copy_gauge;
    copy_gauge.views = hooks.Views;
    text::ApplyGaugeSettings(copy_gauge, text::GaugeUse::Copying);
    copy_gauge.SetBaseColour(kCopyBaseColour);

    // Sizes are summed in 64 bits; an empty total shows as complete.
    const int32_t n = file_list.RowCount;
    int64_t total_size = 0;
    for (int32_t row = 1; row <= n; ++row) total_size += tables::CellAsInteger64(file_list.GetCell(row, tables::kCodeSize));
    int64_t copied_size = 0;

    text::TFormGauge write_gauge;
    write_gauge.views = hooks.Views;
    text::ApplyGaugeSettings(write_gauge, text::GaugeUse::Writing);

    files::TWriteTextFile writer;
    const bool copy_mode = CopiesFiles(settings);
    const bool use_template = settings.TemplateActive && !settings.TemplateText.empty();
    const char* line_end = settings.UnixLineEnds ? "\n" : "\r\n";
    std::string output, last_written;

    for (int32_t row = 1; row <= n; ++row) {
        RowReport rep;
        rep.Row = row;
        rep.Source = file_list.GetCell(row, tables::kCodeFullPath);
        rep.Destination = file_list.GetCell(row, tables::kCodeFinalDestination);
        if (cancelled()) {
            summary.Cancelled = true;
            break;
        }
        if (rep.Source.empty() || rep.Destination.empty()) {
            rep.Reason = "the row has no source or destination path";
            report(rep);
            continue;
        }
        if (IsFolderRow(file_list, row)) {
            // Folder rows make their destination folder; they are neither copied nor written as files.
            if (files::fs::FolderExists(rep.Destination) ||
                (!(flags & files::kNoCreateFolders) && files::ForceFolders(rep.Destination) >= 0)) {
                rep.Outcome = RowOutcome::FolderCreated;
            } else {
                rep.Reason = (flags & files::kNoCreateFolders)
                                 ? "the destination folder does not exist and folders may not be created"
                                 : "the destination folder cannot be created: " + ErrorText(files::fs::LastError());
            }
            report(rep);
            continue;
        }
        if (files::SamePath(rep.Source, rep.Destination) || files::fs::SameFile(rep.Source, rep.Destination)) {
            rep.Reason = "the destination is the source file itself";
            report(rep);
            continue;
        }
        if (!files::fs::FileExists(rep.Source)) {
            rep.Reason = files::fs::PathExists(rep.Source) ? "the source is not a readable file"
                                                            : "the source file no longer exists";
            report(rep);
            continue;
        }

        if (copy_mode) {
            std::string written;
            errno = 0;
            const uint16_t status = files::CopyFile(rep.Source, rep.Destination, flags, &written);
            const int err = files::fs::LastError();
            rep.Destination = written.empty() ? rep.Destination : written;
            if (status & files::kStatusCopied) {
                rep.Outcome = RowOutcome::Copied;
            } else {
                // The copy opens its source before touching the destination: a stop may be the source's.
                files::fs::File probe;
                if ((status & files::kStatusStop) && !probe.OpenRead(rep.Source))
                    rep.Reason = "the source cannot be read: " + ErrorText(probe.Error());
                else
                    rep.Reason = (status & files::kStatusStop) ? files::DestinationStatusReason(status)
                                                               : "copy failed: " + ErrorText(err);
                if (StopsTheRun(err)) summary.IoStopped = true;
            }
            copied_size += tables::CellAsInteger64(file_list.GetCell(row, tables::kCodeSize));
            copy_gauge.UpdateFraction("Copying Files...", rep.Source, copied_size, total_size);
            report(rep);
            if (summary.IoStopped) break;
            continue;
        }

        // Rewrite mode.
        line_buffer.Clear();
        if (!files::LoadTextFile(line_buffer, rep.Source, tables::kCodeData, settings.UnixLineEnds, hooks.Views)) {
            // An unreadable source leaves its destination as it was.
            rep.Reason = "the source cannot be read: " + ErrorText(files::fs::LastError());
            report(rep);
            continue;
        }
        if (use_template && !expander) {
            rep.Reason = "template processing is not available";
            report(rep);
            continue;
        }
        if (settings.IntervalActive) line_buffer.SetIntervalText(settings.IntervalText);
        if (!writer.OpenForWriting(rep.Destination, flags)) {
            const uint16_t st = writer.PrepareStatus;
            rep.Reason = (st & files::kStatusStop) ? files::DestinationStatusReason(st)
                                                   : "the destination cannot be created: " + ErrorText(writer.LastIOStatus);
            report(rep);
            continue;
        }
        rep.Destination = writer.FileName;
        const int32_t count = line_buffer.RowCount;
        text::ApplyGaugeSettings(write_gauge, text::GaugeUse::Writing, count);
        write_gauge.SetBaseColour(kWriteBaseColour);
        const std::string caption = "Writing:" + writer.FileName;
        line_buffer.StartLineLoop();
        bool write_failed = false;
        bool stop = false;
        int64_t lines = 0;
        while (text::NextInLoop(line_buffer.LineIterator)) {
            const int32_t k = line_buffer.LineIterator.Current;
            write_gauge.UpdateFraction(caption, last_written, k, count);
            const std::string_view line = line_buffer.LineView(k);
            if (use_template) {
                output = expander->ExpandLine(settings.TemplateText, line);
            } else {
                output.assign(line);
                output += line_end;
            }
            if (!writer.WriteText(output)) {
                write_failed = true;
                break;
            }
            ++lines;
            last_written.swap(output);
            if ((lines & 1023) == 0 && cancelled()) {
                stop = true;
                break;
            }
        }
        if (stop) {
            writer.Discard();
            rep.Outcome = RowOutcome::Cancelled;
            rep.Reason = "cancelled while writing; the destination keeps what it had";
            report(rep);
            summary.Cancelled = true;
            break;
        }
        const bool closed = !write_failed && writer.Close();
        if (write_failed) writer.Discard();
        if (closed) {
            rep.Outcome = RowOutcome::Rewritten;
            rep.Destination = writer.FileName;
            rep.Lines = lines;
        } else {
            const int err = writer.LastIOStatus;
            rep.Reason = "writing the destination failed: " + ErrorText(err) + "; the destination keeps what it had";
            if (StopsTheRun(err)) summary.IoStopped = true;
        }
        report(rep);
        if (summary.IoStopped) break;
    }
    write_gauge.Finish();
    copy_gauge.Finish();
    line_buffer.Clear();
    return summary;
}

}  // namespace rowsmith::run
