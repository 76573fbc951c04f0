#pragma once
// One row of a processing run, from the list to its destination: the reporter that keeps the summary
// and the table order, and the row worker that handles a row by its kind (a folder row, a copy, a
// rewrite) with what serves row after row: the reader, the line transformer, the writer, the gauges.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "files/text_file.h"
#include "run/copy_worker.h"
#include "run/expand_lines.h"
#include "run/file_split.h"
#include "run/processing_run.h"
#include "run/run_plan.h"

namespace rowsmith::run {

// Rows handled on several threads pass it one at a time in table order, at the moment their output
// takes its name and their report goes out, so that names (rename mode's "_1"), reports and stops
// are those of a run that takes one row after the other. It also serialises the run's hooks.
class RowTurns {
public:
    enum class Turn : uint8_t {
        Go,       // the row's turn: commit and report it
        Stopped,  // an earlier row stopped the run (a full destination, a cancel): drop this one
        Serial,   // from an earlier row on, rows are handled in turn on the run's own template context
        Yield,    // the turn's holder goes on alone: drop this row unreported and leave the run to it
    };
    RowTurns(const RunHooks& hooks, int lanes) : hooks_(hooks), active_(lanes) {}
    // Waits until every earlier row has passed; a cancel asked for by then stops the run here
    // (unless `ask_cancel` is false: the row saw the cancel itself and is reported as cancelled).
    Turn Enter(int32_t row, bool ask_cancel = true);
    // Passes the turn on; `stop` (with why) ends the run after this row.
    void Leave(int32_t row, bool stop, bool io_stopped, bool cancelled);
    // The rows from the one holding the turn on need the state the earlier ones left.
    void GoSerial();
    bool Stopped();
    bool Serial();
    // A row found the destination full while later rows held unnamed outputs: every other lane drops
    // what it holds and leaves; the holder waits for that (WaitAlone) and goes on alone, in order.
    void Quiesce();
    bool Quiesced();
    void LaneLeft();
    void WaitAlone();
    bool IoStopped() const { return io_stopped_; }
    int32_t StopRow() const { return stop_row_; }  // the row that found the destination full
    bool Cancelled() const { return cancelled_; }
    // Taken around every call of the run's hooks, from whichever thread.
    std::mutex& HookLock() { return hook_lock_; }

private:
    const RunHooks& hooks_;
    std::mutex mutex_, hook_lock_;
    std::condition_variable next_;
    int32_t turn_ = 1;
    int active_ = 1;  // lanes still in the run
    bool stopped_ = false, serial_ = false, io_stopped_ = false, cancelled_ = false, quiesced_ = false;
    int32_t stop_row_ = 0;
};

// Reports rows in table order and counts them into the summary: with the copy pipeline, a row's
// report waits for every copy begun before it; with turns, for the row's turn.
class RowReporter {
public:
    RowReporter(const RunHooks& hooks, uint8_t flags, CopyWorker* pipeline, RowTurns* turns = nullptr,
                std::mutex* hook_lock = nullptr)
        : hooks_(hooks), flags_(flags), pipeline_(pipeline), turns_(turns), hook_lock_(hook_lock) {}
    // With turns: waits for the row's turn, once per row (Go without turns).
    RowTurns::Turn Acquire(int32_t row, bool ask_cancel = true);
    // After every copy begun before it; with turns, only in the row's turn (else it is dropped). With
    // turns, a row that finds the destination full is held back instead (TakeHeldStop).
    void Report(RowReport r);
    // Whether the last row found the destination full and was held back unreported: alone, with
    // the space later rows held given back, it may still fit.
    bool TakeHeldStop();
    void ReportNow(RowReport r);
    // Reports the finished copies of the pipeline (waiting for all of them with `wait`).
    void Settle(bool wait);
    // What a copy's status says, for its report; the copy's own reason where it has one.
    void DescribeCopy(RowReport& rep, uint16_t status, int err, const std::string& reason);
    // Why the output could not be placed or made (OpenForWriting, or a deferred making, failed).
    void DescribeUncreated(RowReport& rep, const files::TWriteTextFile& writer);
    // What closing a rewritten output gave (`closed`: it was written and named), for its report.
    void DescribeClose(RowReport& rep, bool closed, const files::TWriteTextFile& writer, int64_t lines);
    RunSummary& Summary() { return summary_; }
    // The row reported with the stop for a full destination (0: none).
    int32_t StopRow() const { return stop_row_; }

private:
    const RunHooks& hooks_;
    uint8_t flags_;
    CopyWorker* pipeline_;
    RowTurns* turns_;
    std::mutex* hook_lock_;
    int32_t held_ = 0;
    RowTurns::Turn held_turn_ = RowTurns::Turn::Go;
    bool held_stop_ = false;
    int32_t stop_row_ = 0;
    RunSummary summary_;
};

// The progress records are fed once every few hundred lines, so the coarse monotonic clock (a few
// nanoseconds, no system call) is precise enough for their quarter-second refresh rule.
class CoarseClock final : public text::GaugeClock {
public:
    int64_t NowMs() override;
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
    bool Counted(int64_t lines) { return batch_.Count(lines); }
    bool Pending() const { return batch_.Pending() > 0; }
    // How many lines may be counted before the gauge is due to be fed.
    int64_t LinesUntilFeed() const { return batch_.Due(); }
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

class RowWorker {
public:
    struct Parts {
        const RunPlan& Plan;
        const RunSettings& Settings;
        const RunHooks& Hooks;
        tables::ArrayOfFiles& LineBuffer;
        LineExpander* Expander;
        RowReporter& Reporter;
        files::DestinationRoot& Root;
        const files::SourceSet& Sources;
        CopyWorker& Pipeline;
        // Rows handled side by side: each commits in its turn. Null: one row after the other.
        RowTurns* Turns = nullptr;
        std::mutex* HookLock = nullptr;  // taken around the run's hooks when threads share them
        // Lines that hold a tag would run it against this thread's own template context: such a
        // row is left for the run's context (Tainted()).
        bool RefuseLineTags = false;
    };
    explicit RowWorker(const Parts& parts);
    // Handles the row and reports it; false when the run stops after it (a full destination, a cancel).
    bool Handle(const tables::ArrayOfFiles& list, int32_t row);
    void Finish();
    // The last row was left unwritten and unreported: one of its lines holds a tag (RefuseLineTags).
    bool Tainted() const { return tainted_; }

private:
    // The outcome of writing one file's kept lines.
    struct Written {
        int64_t Lines = 0;
        bool WriteFailed = false;
        bool ReadFailed = false;
        bool Stop = false;  // cancelled while writing
        bool Tainted = false;
        std::string BoundReason;
        bool Ended() const { return WriteFailed || Stop || Tainted || !BoundReason.empty(); }
    };

    bool FolderRow(RowReport& rep);
    bool CopyRow(RowReport& rep, const files::KnownFacts& known, const files::WriteRules& rules, int64_t size);
    bool CopyRowPipelined(RowReport& rep, const files::KnownFacts& known, const files::WriteRules& rules);
    bool RewriteRow(RowReport& rep, files::fs::File& source, const files::fs::PathFacts& facts,
                    const files::WriteRules& rules);
    bool LoadSource(const std::string& path, files::fs::File& source, const files::fs::PathFacts& facts);
    void WriteStreamed(Written& w);
    void WriteCompact(Written& w);
    void WriteIndexed(Written& w);
    // Keeps the lines of the file the reader has just opened (or read again), the Compact way.
    bool LoadCompact();
    // Whether the reader still holds the source open while the lines are written.
    bool ReadsWhileWriting() const {
        return p_.Plan.Lines == LineWay::Streamed || (p_.Plan.Lines == LineWay::Indexed && !compact_file_);
    }
    void WriteBuffered(Written& w);
    // One kept line (number `at` of the file) to the writer; false ends the file's loop.
    bool Put(std::string_view line, files::LineEnd end, int64_t at, Written& w);
    // Whole lines with their ends (plan.Blocks), the first of them number `first`; false ends the file's loop.
    bool PutBlock(std::string_view block, int64_t lines, int64_t first, Written& w);
    bool BlocksFit() const;
    // The lines after the first expanded in chunks side by side (plan.SplitThreads).
    bool SplitFits() const;
    void WriteSplit(Written& w, int64_t& number);
    void MakeOutput(std::string_view line, files::LineEnd end);
    bool FinishRewrite(RowReport& rep, Written& w);
    // The writer's encoding: the source's own, or the one the settings name.
    bool SetOutputEncoding(std::string& why);
    // Why the source could not be read (a failed read, or bytes that are not its encoding).
    std::string SourceReadReason(int error) const;
    bool Cancelled() const;
    // Whether the row may commit now (its turn); when not, its output is dropped unreported.
    bool MayCommit(int32_t row) { return p_.Reporter.Acquire(row) == RowTurns::Turn::Go; }

    Parts p_;
    CoarseClock clock_;
    text::TFormGauge copy_gauge_, write_gauge_;
    int64_t copied_size_ = 0;
    files::TReadTextFile reader_;  // one for every file, so that its buffer is made once
    // The output being written; a complete one may be handed to the pipeline, and a fresh writer taken.
    std::unique_ptr<files::TWriteTextFile> writer_ = std::make_unique<files::TWriteTextFile>();
    ContextLineExpander* direct_ = nullptr;  // the engine's own expander appends straight to the output
    std::string output_, last_written_, block_out_;
    std::string_view block_written_;  // the output of the block put last (until the next one)
    std::unique_ptr<ChunkPool> pool_;  // made for the first file that is split
    std::string kept_text_;
    std::vector<uint64_t> kept_starts_;
    std::vector<files::LineEnd> kept_ends_;  // each kept line's end (compact and buffered lines)
    files::LineIndex index_;                 // Indexed: the count and marks of the file
    bool compact_file_ = false;              // Indexed: this file's lines are kept instead
    std::string_view eol_set_;               // the line end the expander has
    bool eol_known_ = false;
    bool tainted_ = false;
    const tmpl::TemplateContext* line_tags_ = nullptr;  // RefuseLineTags: the context that would run them
    WriteFeed feed_{write_gauge_, last_written_};
};

}  // namespace rowsmith::run
