#pragma once
// One row of a processing run, from the list to its destination: the reporter that keeps the summary
// and the table order, and the row worker that handles a row by its kind (a folder row, a copy, a
// rewrite) with what serves row after row: the reader, the line transformer, the writer, the gauges.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "files/text_file.h"
#include "run/copy_worker.h"
#include "run/expand_lines.h"
#include "run/processing_run.h"
#include "run/run_plan.h"

namespace rowsmith::run {

// Reports rows in table order and counts them into the summary: with the copy pipeline, a row's
// report waits for every copy begun before it.
class RowReporter {
public:
    RowReporter(const RunHooks& hooks, uint8_t flags, CopyWorker* pipeline) : hooks_(hooks), flags_(flags), pipeline_(pipeline) {}
    // After every copy begun before it.
    void Report(RowReport r);
    void ReportNow(RowReport r);
    // Reports the finished copies of the pipeline (waiting for all of them with `wait`).
    void Settle(bool wait);
    // What a copy's status says, for its report; the copy's own reason where it has one.
    void DescribeCopy(RowReport& rep, uint16_t status, int err, const std::string& reason);
    RunSummary& Summary() { return summary_; }

private:
    const RunHooks& hooks_;
    uint8_t flags_;
    CopyWorker* pipeline_;
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
    };
    explicit RowWorker(const Parts& parts);
    // Handles the row and reports it; false when the run stops after it (a full destination, a cancel).
    bool Handle(const tables::ArrayOfFiles& list, int32_t row);
    void Finish();

private:
    // The outcome of writing one file's kept lines.
    struct Written {
        int64_t Lines = 0;
        bool WriteFailed = false;
        bool ReadFailed = false;
        bool Stop = false;  // cancelled while writing
        std::string BoundReason;
        bool Ended() const { return WriteFailed || Stop || !BoundReason.empty(); }
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
    void MakeOutput(std::string_view line, files::LineEnd end);
    bool FinishRewrite(RowReport& rep, Written& w);
    // The writer's encoding: the source's own, or the one the settings name.
    bool SetOutputEncoding(std::string& why);
    // Why the source could not be read (a failed read, or bytes that are not its encoding).
    std::string SourceReadReason(int error) const;
    bool Cancelled() const { return p_.Hooks.ShouldCancel && p_.Hooks.ShouldCancel(); }

    Parts p_;
    CoarseClock clock_;
    text::TFormGauge copy_gauge_, write_gauge_;
    int64_t copied_size_ = 0;
    files::TReadTextFile reader_;  // one for every file, so that its buffer is made once
    files::TWriteTextFile writer_;
    ContextLineExpander* direct_ = nullptr;  // the engine's own expander appends straight to the output
    std::string output_, last_written_;
    std::string kept_text_;
    std::vector<uint64_t> kept_starts_;
    std::vector<files::LineEnd> kept_ends_;  // each kept line's end (compact and buffered lines)
    files::LineIndex index_;                 // Indexed: the count and marks of the file
    bool compact_file_ = false;              // Indexed: this file's lines are kept instead
    std::string_view eol_set_;               // the line end the expander has
    bool eol_known_ = false;
    WriteFeed feed_{write_gauge_, last_written_};
};

}  // namespace rowsmith::run
