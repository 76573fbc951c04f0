#include "run/processing_run.h"

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_set>

#include "files/paths.h"
#include "files/platform_fs.h"
#include "files/text_file.h"
#include "run/expand_lines.h"

namespace rowsmith::run {

namespace {

constexpr int32_t kCopyBaseColour = 0xFF0000;
constexpr int32_t kWriteBaseColour = 0x0000FF;

bool IsFolderRow(const tables::ArrayOfFiles& list, int32_t row) {
    const tables::DataRecT* r = list.Row(row);
    return r && r->Extra && (r->Extra->Facts.Attributes & files::fs::kAttrFolder);
}

int64_t CoarseNowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// The progress records are fed once every few hundred lines, so the coarse monotonic clock (a few
// nanoseconds, no system call) is precise enough for their quarter-second refresh rule.
class CoarseClock final : public text::GaugeClock {
public:
    int64_t NowMs() override { return CoarseNowMs(); }
};

// Feeds the writing gauge in batches (text::GaugeBatch) and after the file's last line, standing
// for the lines since; the detail is the line written last, taken by swapping.
class WriteFeed {
public:
    WriteFeed(text::TFormGauge& gauge, std::string& last_written) : gauge_(gauge), last_(last_written) {}
    void Start(std::string caption) {
        caption_ = std::move(caption);
        batch_.Restart();
    }
    // Counts a written line; true when the gauge is to be fed now.
    bool Counted() { return batch_.Count(); }
    bool Pending() const { return batch_.Pending() > 0; }
    void Feed(int64_t numerator, int64_t denominator) {
        if (batch_.Pending() == 0) return;
        gauge_.UpdateFractionSwap(caption_, last_, numerator, denominator, batch_.Pending());
        batch_.Fed(gauge_);
    }

private:
    text::TFormGauge& gauge_;
    std::string& last_;
    std::string caption_;
    text::GaugeBatch batch_;
};

bool StopsTheRun(int error) { return error == ENOSPC || error == EDQUOT; }

std::string ErrorText(int error) { return error ? std::string(std::strerror(error)) : std::string("unknown error"); }

// Why a destination could not be written: the write's own reason where it has one, else what its
// status and error say.
std::string DestinationReason(uint16_t status, int err, const std::string& reason, uint8_t flags,
                              const char* failed_words) {
    if (!reason.empty()) return reason;
    if ((status & files::kStatusFolderFailed) && (flags & files::kNoCreateFolders) && err == ENOENT)
        return "the destination folder does not exist and folders may not be created";
    if (status & files::kStatusStop)
        return files::DestinationStatusReason(
            status, (status & (files::kStatusFolderFailed | files::kStatusOutside)) ? err : 0);
    return failed_words + ErrorText(err);
}

// Moves the bytes of begun copies (files::BeginCopy) on a helper thread, in the order they were
// begun, while the run looks at and prepares the next rows; the results come back in that order.
// A copy that fills the file system stops it: the copies begun after it are abandoned unrun, so
// that, as in a run without the helper, nothing after the stopping row is written.
class CopyWorker {
public:
    struct Job {
        files::PendingCopy Copy;
        RowReport Report;
        uint16_t Status = 0;
        int Error = 0;
        bool Done = false;
        bool Abandoned = false;
    };
    static constexpr std::size_t kMaxInFlight = 48;  // not yet run; two open files each

    ~CopyWorker() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
            abandon_ = true;
        }
        work_.notify_all();
        if (thread_.joinable()) thread_.join();
        // Whatever was never run (a run that ended early) leaves its destination as it was.
        for (auto& job : jobs_)
            if (!job->Done) files::AbandonCopy(job->Copy);
    }
    // A cancelled run stops after the copy now moving: the copies begun after it are abandoned unrun.
    void AbandonRest() {
        std::lock_guard<std::mutex> lock(mutex_);
        abandon_ = true;
    }
    bool Idle() {
        std::lock_guard<std::mutex> lock(mutex_);
        return jobs_.empty();
    }
    void Hand(std::unique_ptr<Job> job) {
        if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
        std::unique_lock<std::mutex> lock(mutex_);
        if (jobs_.size() - next_ >= kMaxInFlight) {
            WakeHelper(lock);
            ++waiting_;
            done_.wait(lock, [this] { return jobs_.size() - next_ < kMaxInFlight; });
            --waiting_;
        }
        jobs_.push_back(std::move(job));
        // Waking costs a system call and a switch: a sleeping helper is woken once a few jobs wait.
        if (jobs_.size() - next_ >= kWakeBatch) WakeHelper(lock);
    }
    // The oldest job once it is finished (waiting for it when `wait`), else null.
    std::unique_ptr<Job> Next(bool wait) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wait && !(jobs_.empty() || jobs_.front()->Done)) {
            WakeHelper(lock);
            ++waiting_;
            done_.wait(lock, [this] { return jobs_.empty() || jobs_.front()->Done; });
            --waiting_;
        }
        if (jobs_.empty() || !jobs_.front()->Done) return nullptr;
        std::unique_ptr<Job> job = std::move(jobs_.front());
        jobs_.pop_front();
        --next_;
        return job;
    }

private:
    static constexpr std::size_t kWakeBatch = 8;

    void WakeHelper(std::unique_lock<std::mutex>& lock) {
        if (!sleeping_ || next_ >= jobs_.size()) return;
        sleeping_ = false;  // one wake-up is enough
        lock.unlock();
        work_.notify_one();
        lock.lock();
    }

    void Loop() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            if (!(quit_ || next_ < jobs_.size())) {
                sleeping_ = true;
                work_.wait(lock, [this] { return quit_ || next_ < jobs_.size(); });
                sleeping_ = false;
            }
            if (next_ >= jobs_.size()) return;
            Job* job = jobs_[next_].get();  // stays put: the deque only grows at the back meanwhile
            const bool abandon = abandon_;
            lock.unlock();
            if (abandon) {
                files::AbandonCopy(job->Copy);
                job->Abandoned = true;
            } else {
                errno = 0;
                job->Status = files::FinishCopy(job->Copy);
                job->Error = (job->Status & files::kStatusCopied) ? 0 : files::fs::LastError();
            }
            lock.lock();
            if (!abandon && StopsTheRun(job->Error)) abandon_ = true;
            job->Done = true;
            ++next_;
            if (waiting_ > 0) done_.notify_all();
        }
    }

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable work_, done_;
    std::deque<std::unique_ptr<Job>> jobs_;  // begun, in row order; finished ones at the front
    std::size_t next_ = 0;                   // the first job not yet run
    bool quit_ = false;
    bool abandon_ = false;
    bool sleeping_ = false;  // the helper waits for work
    int waiting_ = 0;        // the run waits for the helper
};

// The size the file list shows for a row (a computed cell: the row's facts).
int64_t RowSize(const tables::ArrayOfFiles& list, int32_t row) {
    const tables::DataRecT* r = list.Row(row);
    if (!r || !r->Extra) return 0;
    return std::max<int64_t>(r->Extra->Facts.Size, 0);
}

// Whether every line read becomes a row of the line buffer, numbered as in the file.
bool KeepsEveryLine(const tables::ArrayOfFiles& t) {
    return t.KeepEmptyLines && t.KeepBlankLines && !t.LineFilter && !t.UniqueLines;
}

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
    auto report_now = [&](RowReport r) {
        switch (r.Outcome) {
            case RowOutcome::Copied: ++summary.Copied; break;
            case RowOutcome::Rewritten: ++summary.Rewritten; break;
            case RowOutcome::Skipped: ++summary.Skipped; break;
            case RowOutcome::FolderCreated: ++summary.Folders; break;
            case RowOutcome::Cancelled: break;
        }
        if (hooks.OnRow) hooks.OnRow(r);
    };
    // What a copy's status says, for its report; the copy's own reason where it has one.
    auto describe_copy = [&](RowReport& rep, uint16_t status, int err, const std::string& reason) {
        if (status & files::kStatusCopied) {
            rep.Outcome = RowOutcome::Copied;
            return;
        }
        rep.Reason = DestinationReason(status, err, reason, flags, "copy failed: ");
        if (StopsTheRun(err)) summary.IoStopped = true;
    };
    // Without a progress view, and with enough files to be worth it, the bytes of each copy move on
    // a helper thread while the next rows are looked at and their destinations created (one core
    // waits in the kernel for each). Reports keep the table order: a row's report waits for every
    // copy begun before it.
    CopyWorker worker;
    const bool pipelined = CopiesFiles(settings) && !hooks.Views && file_list.RowCount >= 32;
    auto settle = [&](bool wait) {
        while (std::unique_ptr<CopyWorker::Job> job = worker.Next(wait)) {
            if (job->Abandoned) continue;
            job->Report.Destination = job->Copy.Destination;  // rename mode may pick the name at the commit
            describe_copy(job->Report, job->Status, job->Error, job->Copy.Reason);
            report_now(std::move(job->Report));
        }
    };
    auto report = [&](RowReport r) {
        if (pipelined) settle(true);
        report_now(std::move(r));
    };
    auto cancelled = [&] { return hooks.ShouldCancel && hooks.ShouldCancel(); };

    CoarseClock coarse_clock;
    text::TFormGauge copy_gauge;
    copy_gauge.views = hooks.Views;
    copy_gauge.clock = &coarse_clock;
    text::ApplyGaugeSettings(copy_gauge, text::GaugeUse::Copying);
    copy_gauge.SetBaseColour(kCopyBaseColour);

    // Sizes are summed in 64 bits; an empty total shows as complete.
    const int32_t n = file_list.RowCount;
    int64_t total_size = 0;
    for (int32_t row = 1; row <= n; ++row) total_size += RowSize(file_list, row);
    int64_t copied_size = 0;

    text::TFormGauge write_gauge;
    write_gauge.views = hooks.Views;
    write_gauge.clock = &coarse_clock;
    text::ApplyGaugeSettings(write_gauge, text::GaugeUse::Writing);

    files::TWriteTextFile writer;
    const bool copy_mode = CopiesFiles(settings);
    const bool use_template = settings.TemplateActive && !settings.TemplateText.empty();
    const std::string_view line_end = settings.UnixLineEnds ? "\n" : "\r\n";  // no strlen a line
    std::string output, last_written;
    // One reader for every file, so that its buffer is made once.
    files::TReadTextFile reader;
    reader.UnixLineEnds = settings.UnixLineEnds;
    reader.Progress.views = hooks.Views;
    reader.Progress.clock = &coarse_clock;
    // Lines stream from the reader to the writer when the interval needs no look-back. The line count
    // is then known only at the file's end, so the writing gauge shows the share of the source's bytes
    // consumed (the share of lines for lines of even length) and takes its count rate from the count
    // estimated after its first lines. Otherwise the file's lines are kept, compactly: the texts one
    // after another and where each starts (8 bytes a line instead of a 32-byte table row). Only a line
    // buffer that filters its lines takes them as rows.
    std::vector<StreamPiece> plan;
    const bool lean = KeepsEveryLine(line_buffer);
    const bool streaming = lean && (settings.IntervalActive ? PlanStreamingInterval(settings.IntervalText, plan)
                                                            : (plan.assign(1, StreamPiece{1, 0, true}), true));
    const bool compact = lean && !streaming;
    // The streaming pass feeds the writing gauge only.
    auto open_streaming = [&](const std::string& path, const files::fs::PathFacts& facts) {
        reader.Progress.views = nullptr;
        return reader.Open(path, facts);
    };
    std::string kept_text;
    std::vector<uint64_t> kept_starts;
    auto load_compact = [&](const std::string& path, const files::fs::PathFacts& facts) {
        reader.Progress.views = hooks.Views;
        kept_text.clear();
        kept_starts.clear();
        if (!reader.Open(path, facts)) return false;
        if (reader.FileSize > 0) kept_text.reserve(static_cast<std::size_t>(reader.FileSize));
        std::string_view line;
        while (reader.ReadLineView(line)) {
            kept_starts.push_back(kept_text.size());
            kept_text.append(line);
        }
        return reader.Close();
    };
    // The engine's own expanders append straight to the output text.
    ContextLineExpander* direct = dynamic_cast<ContextLineExpander*>(expander);
    if (!direct)
        if (auto* standalone = dynamic_cast<StandaloneLineExpander*>(expander)) direct = &standalone->Inner();
    if (use_template && expander) expander->TakeBoundReason();  // what an earlier use left is no row's
    auto make_output = [&](std::string_view line) {
        if (!use_template) {
            output.assign(line);
            output += line_end;
        } else if (direct) {
            output.clear();
            direct->ExpandLineAppend(settings.TemplateText, line, output);
        } else {
            output = expander->ExpandLine(settings.TemplateText, line);
        }
    };

    // Overwriting a file that is another row's source would destroy it (a flat destination inside
    // the source tree maps sub/a.txt onto a.txt; a link to the source folder as the destination). The
    // sources are known by identity, so no path text, link or alias leading to one gets past; the
    // scan's facts give it without a look (rows without facts are looked at once, here).
    files::SourceSet sources;
    for (int32_t row = 1; row <= n; ++row) {
        const tables::DataRecT* r = file_list.Row(row);
        if (!r || IsFolderRow(file_list, row)) continue;
        if (r->Extra && r->Extra->Facts.Inode != 0) {
            sources.Add(r->Extra->Facts.Device, r->Extra->Facts.Inode);
            continue;
        }
        files::fs::PathFacts f;
        if (files::fs::GetFacts(file_list.GetCell(row, tables::kCodeFullPath), f) && f.exists)
            sources.Add(f.device, f.inode);
    }
    // Every destination stays beneath the run's destination folder: a link in it cannot lead a write out.
    files::DestinationRoot root(file_list.DestinationRoot);

    for (int32_t row = 1; row <= n; ++row) {
        RowReport rep;
        rep.Row = row;
        rep.Source = file_list.GetCell(row, tables::kCodeFullPath);
        rep.Destination = file_list.GetCell(row, tables::kCodeFinalDestination);
        if (cancelled()) {
            summary.Cancelled = true;
            if (pipelined) worker.AbandonRest();
            break;
        }
        if (rep.Source.empty() || rep.Destination.empty()) {
            rep.Reason = "the row has no source or destination path";
            report(rep);
            continue;
        }
        if (IsFolderRow(file_list, row)) {
            // Folder rows make their destination folder; they are neither copied nor written as files.
            std::shared_ptr<const files::fs::Folder> made;
            std::string unused;
            int err = 0;
            const uint16_t st = root.Place(files::Join(rep.Destination, "."), flags, made, unused, err);
            if (!(st & files::kStatusStop)) {
                rep.Outcome = RowOutcome::FolderCreated;
            } else {
                rep.Reason = DestinationReason(st, err, std::string(), flags, "");
                if (StopsTheRun(err)) summary.IoStopped = true;
            }
            report(rep);
            if (summary.IoStopped) break;
            continue;
        }
        if (files::SamePath(rep.Source, rep.Destination)) {
            rep.Reason = "the destination is the source file itself";
            report(rep);
            continue;
        }
        // The source is opened once, without waiting (a pipe put in its place is refused), and what was
        // opened is what is read: its facts and identity come from the descriptor.
        files::fs::File source;
        files::fs::PathFacts src_facts;
        if (!source.OpenSource(rep.Source, src_facts)) {
            rep.Reason = source.NotRegular()          ? "the source is not a regular file"
                         : source.Error() == ENOENT ? "the source file no longer exists"
                                                    : "the source cannot be read: " + ErrorText(source.Error());
            report(rep);
            continue;
        }
        files::WriteRules rules;
        rules.Root = &root;
        rules.Sources = &sources;
        rules.HasOwn = true;
        rules.OwnDevice = src_facts.device;
        rules.OwnInode = src_facts.inode;
        rules.DecideAtCommit = true;
        const files::KnownFacts known{&src_facts, &source};

        if (copy_mode && pipelined) {
            auto job = std::make_unique<CopyWorker::Job>();
            uint16_t status = 0;
            errno = 0;
            if (files::BeginCopy(rep.Source, rep.Destination, flags, known, job->Copy, status, &rules)) {
                rep.Destination = job->Copy.Destination;
                job->Report = std::move(rep);
                worker.Hand(std::move(job));
                settle(false);
                if (summary.IoStopped) break;
                continue;
            }
            const int err = files::fs::LastError();
            if (!job->Copy.Destination.empty()) rep.Destination = job->Copy.Destination;
            settle(true);
            if (summary.IoStopped) break;
            describe_copy(rep, status, err, job->Copy.Reason);
            report_now(rep);
            if (summary.IoStopped) break;
            continue;
        }
        if (copy_mode) {
            files::PendingCopy copy;
            uint16_t status = 0;
            errno = 0;
            if (files::BeginCopy(rep.Source, rep.Destination, flags, known, copy, status, &rules))
                status = files::FinishCopy(copy);
            const int err = files::fs::LastError();
            if (!copy.Destination.empty()) rep.Destination = copy.Destination;
            describe_copy(rep, status, err, copy.Reason);
            copied_size += RowSize(file_list, row);
            if (hooks.Views) copy_gauge.UpdateFraction("Copying Files...", rep.Source, copied_size, total_size);
            report(rep);
            if (summary.IoStopped) break;
            continue;
        }

        // Rewrite mode. Only the line buffer's own way fills it.
        if (!streaming && !compact) line_buffer.Clear();
        reader.AdoptNext(source);
        if (streaming  ? !open_streaming(rep.Source, src_facts)
            : compact ? !load_compact(rep.Source, src_facts)
                      : !files::LoadTextFile(line_buffer, reader, rep.Source, src_facts, tables::kCodeData)) {
            // An unreadable source leaves its destination as it was.
            rep.Reason = "the source cannot be read: " + ErrorText(files::fs::LastError());
            report(rep);
            continue;
        }
        if (use_template && !expander) {
            if (streaming) reader.Close();
            rep.Reason = "template processing is not available";
            report(rep);
            continue;
        }
        if (settings.IntervalActive) line_buffer.SetIntervalText(settings.IntervalText);
        if (!writer.OpenForWriting(rep.Destination, flags, &rules)) {
            if (streaming) reader.Close();
            const uint16_t st = writer.PrepareStatus;
            const int err = writer.LastIOStatus;
            rep.Reason = DestinationReason(st, err, writer.Reason, flags, "the destination cannot be created: ");
            // No room for a new file (no space, no inode left) stops the run as a full disk does.
            if (StopsTheRun(err)) summary.IoStopped = true;
            report(rep);
            if (summary.IoStopped) break;
            continue;
        }
        rep.Destination = writer.FileName;
        bool write_failed = false;
        bool read_failed = false;
        bool stop = false;
        int64_t lines = 0;
        std::string bound_reason;
        // One kept line (number `at` of the file) to the writer; false ends the file's loop.
        auto put = [&](std::string_view line, int64_t at) {
            make_output(line);
            // A bound that changed this line's output skips the row: a result is never cut silently.
            if (use_template) {
                if (std::string why = expander->TakeBoundReason(); !why.empty()) [[unlikely]] {
                    bound_reason = "line " + std::to_string(at) + ": " + std::move(why);
                    return false;
                }
            }
            if (!writer.WriteText(output)) {
                write_failed = true;
                return false;
            }
            ++lines;
            last_written.swap(output);
            if ((lines & 1023) == 0 && cancelled()) {
                stop = true;
                return false;
            }
            return true;
        };
        WriteFeed feed(write_gauge, last_written);
        if (hooks.Views) feed.Start("Writing:" + writer.FileName);
        if (streaming) {
            bool gauge_set = false;
            auto feed_streamed = [&] {
                if (!gauge_set) {
                    text::ApplyGaugeSettings(write_gauge, text::GaugeUse::Writing, reader.EstimateLineCount());
                    write_gauge.SetBaseColour(kWriteBaseColour);
                    gauge_set = true;
                }
                feed.Feed(reader.BytesConsumed, reader.FileSize);
            };
            std::string_view line;
            std::size_t piece = 0;
            int64_t number = 0;
            while (piece < plan.size() && reader.ReadLineView(line)) {
                ++number;
                if (number < plan[piece].Start) continue;
                if (!put(line, number)) break;
                if (hooks.Views && feed.Counted()) feed_streamed();
                if (!plan[piece].OpenEnd && number >= plan[piece].End) ++piece;
            }
            if (hooks.Views && feed.Pending()) feed_streamed();
            // The rest is read too: a source that cannot be read to its end is skipped, as when loaded.
            if (!write_failed && !stop && bound_reason.empty()) reader.DrainToEnd();
            read_failed = !reader.Close() && !write_failed && !stop && bound_reason.empty();
        } else if (compact) {
            const std::size_t held = kept_starts.size();
            const int32_t count = static_cast<int32_t>(std::min<std::size_t>(held, 2147483647));
            text::ApplyGaugeSettings(write_gauge, text::GaugeUse::Writing, count);
            write_gauge.SetBaseColour(kWriteBaseColour);
            text::LoopT loop;
            text::InitLoop(loop, settings.IntervalActive ? settings.IntervalText : std::string(), 1, count);
            int32_t done = 0;  // the line written last
            while (text::NextInLoop(loop)) {
                if (loop.Current < 1 || loop.Current > count) continue;
                done = loop.Current;
                const std::size_t k = static_cast<std::size_t>(loop.Current - 1);
                const uint64_t at = kept_starts[k];
                const uint64_t end = k + 1 < held ? kept_starts[k + 1] : kept_text.size();
                if (!put(std::string_view(kept_text).substr(at, end - at), loop.Current)) break;
                if (hooks.Views && feed.Counted()) feed.Feed(done, count);
            }
            if (hooks.Views) feed.Feed(done, count);
            // A large file gives its memory back; small ones keep it for the next file.
            if (kept_text.capacity() > (64u << 20)) {
                std::string().swap(kept_text);
                std::vector<uint64_t>().swap(kept_starts);
            }
        } else {
            const int32_t count = line_buffer.RowCount;
            text::ApplyGaugeSettings(write_gauge, text::GaugeUse::Writing, count);
            write_gauge.SetBaseColour(kWriteBaseColour);
            line_buffer.StartLineLoop();
            int32_t done = 0;
            while (text::NextInLoop(line_buffer.LineIterator)) {
                const int32_t k = line_buffer.LineIterator.Current;
                if (!put(line_buffer.LineView(k), k)) break;
                done = k;
                if (hooks.Views && feed.Counted()) feed.Feed(k, count);
            }
            if (hooks.Views) feed.Feed(done, count);
        }
        if (!bound_reason.empty()) {
            writer.Discard();
            rep.Reason = bound_reason + "; the destination keeps what it had";
            report(rep);
            continue;
        }
        if (read_failed) {
            writer.Discard();
            rep.Reason = "the source cannot be read: " + ErrorText(reader.LastIOStatus);
            report(rep);
            continue;
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
        } else if (!writer.Reason.empty()) {
            rep.Reason = writer.Reason;
        } else {
            const int err = writer.LastIOStatus;
            rep.Reason = "writing the destination failed: " + ErrorText(err) + "; the destination keeps what it had";
            if (StopsTheRun(err)) summary.IoStopped = true;
        }
        report(rep);
        if (summary.IoStopped) break;
    }
    // Copies still moving are waited for and reported (those a stop abandoned are not).
    if (pipelined) settle(true);
    write_gauge.Finish();
    copy_gauge.Finish();
    line_buffer.Clear();
    return summary;
}

}  // namespace rowsmith::run
