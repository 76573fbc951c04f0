#include "run/row_worker.h"

#include <ctime>
#include <limits>

#include "files/paths.h"
#include "text/chars.h"
#include "text/unicase.h"
#include "text/utf8.h"

namespace rowsmith::run {

namespace {

constexpr int32_t kCopyBaseColour = 0xFF0000;
constexpr int32_t kWriteBaseColour = 0x0000FF;

}  // namespace

int64_t CoarseClock::NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// ---------------------------------------------------------------- turns

RowTurns::Turn RowTurns::Enter(int32_t row, bool ask_cancel) {
    std::unique_lock<std::mutex> lock(mutex_);
    next_.wait(lock, [&] { return stopped_ || quiesced_ || turn_ == row; });
    if (stopped_) return Turn::Stopped;
    // Only the lane that goes on alone has its turn after a quiesce; every other one leaves.
    if (quiesced_ && turn_ != row) return Turn::Yield;
    // Checked before each row, as a run of one row after the other does.
    if (ask_cancel && hooks_.ShouldCancel) {
        std::lock_guard<std::mutex> hooks(hook_lock_);
        if (hooks_.ShouldCancel()) {
            stopped_ = cancelled_ = true;
            next_.notify_all();
            return Turn::Stopped;
        }
    }
    return serial_ ? Turn::Serial : Turn::Go;
}

void RowTurns::Leave(int32_t row, bool stop, bool io_stopped, bool cancelled) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (turn_ != row || stopped_) return;
    if (stop) {
        stopped_ = true;
        if (io_stopped && !io_stopped_) stop_row_ = row;
        io_stopped_ = io_stopped_ || io_stopped;
        cancelled_ = cancelled_ || cancelled;
    }
    ++turn_;
    next_.notify_all();
}

void RowTurns::GoSerial() {
    std::lock_guard<std::mutex> lock(mutex_);
    serial_ = true;
}

bool RowTurns::Stopped() {
    std::lock_guard<std::mutex> lock(mutex_);
    return stopped_;
}

void RowTurns::Quiesce() {
    std::lock_guard<std::mutex> lock(mutex_);
    quiesced_ = true;
    next_.notify_all();
}

bool RowTurns::Quiesced() {
    std::lock_guard<std::mutex> lock(mutex_);
    return quiesced_;
}

void RowTurns::LaneLeft() {
    std::lock_guard<std::mutex> lock(mutex_);
    --active_;
    next_.notify_all();
}

void RowTurns::WaitAlone() {
    std::unique_lock<std::mutex> lock(mutex_);
    next_.wait(lock, [&] { return active_ <= 1; });
}

bool RowTurns::Serial() {
    std::lock_guard<std::mutex> lock(mutex_);
    return serial_;
}

// ---------------------------------------------------------------- reporting

RowTurns::Turn RowReporter::Acquire(int32_t row, bool ask_cancel) {
    if (!turns_) return RowTurns::Turn::Go;
    if (held_ != row) {
        held_turn_ = turns_->Enter(row, ask_cancel);
        held_ = row;
    }
    return held_turn_;
}

void RowReporter::ReportNow(RowReport r) {
    if (summary_.IoStopped && stop_row_ == 0) stop_row_ = r.Row;
    switch (r.Outcome) {
        case RowOutcome::Copied: ++summary_.Copied; break;
        case RowOutcome::Rewritten: ++summary_.Rewritten; break;
        case RowOutcome::Skipped: ++summary_.Skipped; break;
        case RowOutcome::FolderCreated: ++summary_.Folders; break;
        case RowOutcome::Cancelled: break;
    }
    if (!hooks_.OnRow) return;
    if (hook_lock_) {
        std::lock_guard<std::mutex> lock(*hook_lock_);
        hooks_.OnRow(r);
    } else {
        hooks_.OnRow(r);
    }
}

void RowReporter::Report(RowReport r) {
    if (pipeline_) {
        // Every row handed over before this one is reported first. When one of them found the
        // destination full, the run ended there: this row would not have run at all.
        const bool own_stop = summary_.IoStopped;
        summary_.IoStopped = false;
        Settle(true);
        if (summary_.IoStopped) return;
        summary_.IoStopped = own_stop;
    }
    if (Acquire(r.Row) != RowTurns::Turn::Go) return;
    if (turns_ && summary_.IoStopped) {
        summary_.IoStopped = false;
        held_stop_ = true;
        return;
    }
    ReportNow(std::move(r));
}

bool RowReporter::TakeHeldStop() {
    const bool held = held_stop_;
    held_stop_ = false;
    return held;
}

void RowReporter::Settle(bool wait) {
    if (!pipeline_) return;
    while (std::unique_ptr<CopyWorker::Job> job = pipeline_->Next(wait)) {
        if (job->Write) {
            if (!job->Abandoned) {
                DescribeClose(job->Report, job->Closed, *job->Write, job->Report.Lines);
                ReportNow(std::move(job->Report));
            }
            pipeline_->GiveBack(std::move(job->Write));
            continue;
        }
        if (job->Abandoned) continue;
        job->Report.Destination = job->Copy.Destination;  // rename mode picks the name at the commit
        DescribeCopy(job->Report, job->Status, job->Error, job->Copy.Reason);
        ReportNow(std::move(job->Report));
    }
}

void RowReporter::DescribeCopy(RowReport& rep, uint16_t status, int err, const std::string& reason) {
    if (status & files::kStatusCopied) {
        rep.Outcome = RowOutcome::Copied;
        return;
    }
    rep.Reason = DestinationReason(status, err, reason, flags_, "copy failed: ");
    if (StopsTheRun(err)) summary_.IoStopped = true;
}

void RowReporter::DescribeUncreated(RowReport& rep, const files::TWriteTextFile& writer) {
    const int err = writer.LastIOStatus;
    rep.Reason = DestinationReason(writer.PrepareStatus, err, writer.Reason, flags_, "the destination cannot be created: ");
    // No room for a new file (no space, no inode left) stops the run as a full disk does.
    if (StopsTheRun(err)) summary_.IoStopped = true;
}

void RowReporter::DescribeClose(RowReport& rep, bool closed, const files::TWriteTextFile& writer, int64_t lines) {
    if (closed) {
        rep.Outcome = RowOutcome::Rewritten;
        rep.Destination = writer.FileName;
        rep.Lines = lines;
        return;
    }
    rep.Lines = 0;
    if (writer.CreateFailed()) {
        DescribeUncreated(rep, writer);
        return;
    }
    const int err = writer.LastIOStatus;
    if (!writer.Reason.empty()) {
        rep.Reason = writer.Reason;
        return;
    }
    rep.Reason = "writing the destination failed: " + ErrorText(err) + "; the destination keeps what it had";
    if (StopsTheRun(err)) summary_.IoStopped = true;
}

// ---------------------------------------------------------------- one row

RowWorker::RowWorker(const Parts& parts) : p_(parts) {
    copy_gauge_.views = p_.Hooks.Views;
    copy_gauge_.clock = &clock_;
    text::ApplyGaugeSettings(copy_gauge_, text::GaugeUse::Copying);
    copy_gauge_.SetBaseColour(kCopyBaseColour);
    write_gauge_.views = p_.Hooks.Views;
    write_gauge_.clock = &clock_;
    text::ApplyGaugeSettings(write_gauge_, text::GaugeUse::Writing);
    reader_.Ends = p_.Plan.LineEnds;
    reader_.Encodings = p_.Plan.Encodings;
    reader_.Progress.views = p_.Hooks.Views;
    reader_.Progress.clock = &clock_;
    direct_ = DirectExpander(p_.Expander);
    if (p_.Plan.UseTemplate && p_.Expander) p_.Expander->TakeBoundReason();  // what an earlier use left is no row's
    if (p_.RefuseLineTags && p_.Plan.UseTemplate && direct_) line_tags_ = &direct_->Context();
}

bool RowWorker::Cancelled() const {
    // A lane whose row the turn's holder will do again alone stops writing it at once.
    if (p_.Turns && p_.Turns->Quiesced()) return true;
    if (!p_.Hooks.ShouldCancel) return false;
    if (!p_.HookLock) return p_.Hooks.ShouldCancel();
    std::lock_guard<std::mutex> lock(*p_.HookLock);
    return p_.Hooks.ShouldCancel();
}

void RowWorker::Finish() {
    write_gauge_.Finish();
    copy_gauge_.Finish();
}

bool RowWorker::Handle(const tables::ArrayOfFiles& list, int32_t row) {
    tainted_ = false;
    p_.Root.SetRow(row);
    RowReport rep;
    rep.Row = row;
    rep.Source = list.GetCell(row, tables::kCodeFullPath);
    rep.Destination = list.GetCell(row, tables::kCodeFinalDestination);
    if (rep.Source.empty() || rep.Destination.empty()) {
        rep.Reason = "the row has no source or destination path";
        p_.Reporter.Report(rep);
        return true;
    }
    if (IsFolderRow(list, row)) return FolderRow(rep);
    if (files::SamePath(rep.Source, rep.Destination)) {
        rep.Reason = "the destination is the source file itself";
        p_.Reporter.Report(rep);
        return true;
    }
    // The source is opened once, without waiting (a pipe put in its place is refused), and what was
    // opened is what is read: its facts and identity come from the descriptor.
    files::fs::File source;
    files::fs::PathFacts facts;
    if (!source.OpenSource(rep.Source, facts)) {
        rep.Reason = SourceReason(source);
        p_.Reporter.Report(rep);
        return true;
    }
    files::WriteRules rules;
    rules.Root = &p_.Root;
    rules.Sources = &p_.Sources;
    rules.HasOwn = true;
    rules.OwnDevice = facts.device;
    rules.OwnInode = facts.inode;
    rules.DecideAtCommit = true;
    const files::KnownFacts known{&facts, &source};
    if (p_.Plan.CopyMode)
        return p_.Plan.Pipelined ? CopyRowPipelined(rep, known, rules) : CopyRow(rep, known, rules, RowSize(list, row));
    return RewriteRow(rep, source, facts, rules);
}

bool RowWorker::FolderRow(RowReport& rep) {
    // Folder rows make their destination folder; they are neither copied nor written as files.
    std::shared_ptr<const files::fs::Folder> made;
    std::string unused;
    int err = 0;
    if (!MayCommit(rep.Row)) return true;
    const uint16_t st = p_.Root.Place(files::Join(rep.Destination, "."), p_.Plan.Flags, made, unused, err);
    if (!(st & files::kStatusStop)) {
        rep.Outcome = RowOutcome::FolderCreated;
    } else {
        rep.Reason = DestinationReason(st, err, std::string(), p_.Plan.Flags, "");
        if (StopsTheRun(err)) p_.Reporter.Summary().IoStopped = true;
    }
    p_.Reporter.Report(rep);
    return !p_.Reporter.Summary().IoStopped;
}

// ---------------------------------------------------------------- copies

bool RowWorker::CopyRow(RowReport& rep, const files::KnownFacts& known, const files::WriteRules& rules,
                        int64_t size) {
    files::PendingCopy copy;
    uint16_t status = 0;
    errno = 0;
    if (files::BeginCopy(rep.Source, rep.Destination, p_.Plan.Flags, known, copy, status, &rules)) {
        // The bytes move side by side with other rows; the name is taken in the row's turn.
        files::MoveCopyBytes(copy);
        if (!MayCommit(rep.Row)) {
            files::AbandonCopy(copy);
            return true;
        }
        status = files::CommitCopy(copy);
    }
    const int err = files::fs::LastError();
    if (!copy.Destination.empty()) rep.Destination = copy.Destination;
    p_.Reporter.DescribeCopy(rep, status, err, copy.Reason);
    copied_size_ += size;
    if (p_.Hooks.Views) copy_gauge_.UpdateFraction("Copying Files...", rep.Source, copied_size_, p_.Plan.TotalSize);
    p_.Reporter.Report(rep);
    return !p_.Reporter.Summary().IoStopped;
}

bool RowWorker::CopyRowPipelined(RowReport& rep, const files::KnownFacts& known, const files::WriteRules& rules) {
    auto job = std::make_unique<CopyWorker::Job>();
    uint16_t status = 0;
    errno = 0;
    if (files::BeginCopy(rep.Source, rep.Destination, p_.Plan.Flags, known, job->Copy, status, &rules)) {
        rep.Destination = job->Copy.Destination;
        job->Report = std::move(rep);
        p_.Pipeline.Hand(std::move(job));
        p_.Reporter.Settle(false);
        return !p_.Reporter.Summary().IoStopped;
    }
    // Ended before its bytes: reported after the copies begun before it, when none of them stopped the run.
    const int err = files::fs::LastError();
    if (!job->Copy.Destination.empty()) rep.Destination = job->Copy.Destination;
    p_.Reporter.Settle(true);
    if (p_.Reporter.Summary().IoStopped) return false;
    p_.Reporter.DescribeCopy(rep, status, err, job->Copy.Reason);
    p_.Reporter.ReportNow(rep);
    return !p_.Reporter.Summary().IoStopped;
}

// ---------------------------------------------------------------- rewrites

bool RowWorker::LoadSource(const std::string& path, files::fs::File& source, const files::fs::PathFacts& facts) {
    reader_.AdoptNext(source);
    // A file read whole can be read again before anything is written; a streamed one only when what its
    // lines did to the template's state can be taken back.
    reader_.MayReread = p_.Plan.Lines != LineWay::Streamed || !p_.Plan.UseTemplate || (p_.Expander && p_.Expander->CanSaveState());
    switch (p_.Plan.Lines) {
        case LineWay::Streamed:
            // The streaming pass feeds the writing gauge only.
            reader_.Progress.views = nullptr;
            return reader_.Open(path, facts);
        case LineWay::Indexed:
            reader_.Progress.views = p_.Hooks.Views;
            compact_file_ = false;
            if (!reader_.Open(path, facts)) return false;
            for (;;) {
                // Where only decoding finds the line ends (multi-byte and EBCDIC code pages), the lines
                // are kept; so are those of a small file, which held is read once, and counted twice.
                if (!text::LineFeedsAreUnits(reader_.FileEncoding()) || reader_.FileSize <= p_.Plan.HeldFileBytes) {
                    compact_file_ = true;
                    return LoadCompact();
                }
                // The same outcome as reading every line: a guess proven wrong is read again, a file
                // that does not read or decode to its end is skipped.
                if (reader_.CountLines(index_)) return true;
                if (!reader_.WrongGuess() || !reader_.Reread()) return reader_.Close();
            }
        case LineWay::Compact:
            reader_.Progress.views = p_.Hooks.Views;
            if (!reader_.Open(path, facts)) return false;
            return LoadCompact();
        case LineWay::Buffered:
            p_.LineBuffer.Clear();
            return files::LoadTextFile(p_.LineBuffer, reader_, path, facts, tables::kCodeData, &kept_ends_);
    }
    return false;
}

bool RowWorker::LoadCompact() {
    kept_text_.clear();
    kept_starts_.clear();
    kept_ends_.clear();
    if (reader_.FileSize > 0) kept_text_.reserve(static_cast<std::size_t>(reader_.FileSize));
    std::string_view line;
    do {
        kept_text_.clear();
        kept_starts_.clear();
        kept_ends_.clear();
        while (reader_.ReadLineView(line)) {
            kept_starts_.push_back(kept_text_.size());
            kept_ends_.push_back(reader_.LastEnd());
            kept_text_.append(line);
        }
    } while (reader_.WrongGuess() && reader_.Reread());
    return reader_.Close();
}

bool RowWorker::RewriteRow(RowReport& rep, files::fs::File& source, const files::fs::PathFacts& facts,
                           const files::WriteRules& rules) {
    const bool streaming = p_.Plan.Lines == LineWay::Streamed;
    if (!p_.Plan.EncodingError.empty()) {
        rep.Reason = p_.Plan.EncodingError;
        p_.Reporter.Report(rep);
        return true;
    }
    if (!LoadSource(rep.Source, source, facts)) {
        // An unreadable source leaves its destination as it was.
        rep.Reason = SourceReadReason(files::fs::LastError());
        if (ReadsWhileWriting()) reader_.Close();
        p_.Reporter.Report(rep);
        return true;
    }
    if (p_.Plan.UseTemplate && !p_.Expander) {
        if (ReadsWhileWriting()) reader_.Close();
        rep.Reason = "template processing is not available";
        p_.Reporter.Report(rep);
        return true;
    }
    if (p_.Settings.IntervalActive) p_.LineBuffer.SetIntervalText(p_.Settings.IntervalText);
    // Pipelined, the output file is made on the helper with the rest of its writing.
    if (!writer_->OpenForWriting(rep.Destination, p_.Plan.Flags, &rules, p_.Plan.Pipelined)) {
        if (ReadsWhileWriting()) reader_.Close();
        p_.Reporter.DescribeUncreated(rep, *writer_);
        p_.Reporter.Report(rep);
        return !p_.Reporter.Summary().IoStopped;
    }
    rep.Destination = writer_->FileName;
    std::string why;
    if (!SetOutputEncoding(why)) {
        if (ReadsWhileWriting()) reader_.Close();
        writer_->Discard();
        rep.Reason = why;
        p_.Reporter.Report(rep);
        return true;
    }
    // A streamed file that may still prove not to be UTF-8: the template's state is kept at its start.
    const bool saved = streaming && p_.Plan.UseTemplate && reader_.EncodingMayChange();
    if (saved) p_.Expander->SaveState();
    Written w;
    if (p_.Hooks.Views) feed_.Start("Writing:" + writer_->FileName);
    for (;;) {
        // Characters are code points, unless the file is read as bytes.
        text::CharModelScope model(reader_.FileEncoding().Kind == text::EncodingKind::Bytes ? text::CharModel::Bytes
                                                                                              : text::CharModel::Utf8);
        w = Written{};
        switch (p_.Plan.Lines) {
            case LineWay::Streamed: WriteStreamed(w); break;
            case LineWay::Indexed: compact_file_ ? WriteCompact(w) : WriteIndexed(w); break;
            case LineWay::Compact: WriteCompact(w); break;
            case LineWay::Buffered: WriteBuffered(w); break;
        }
        if (!reader_.WrongGuess()) break;
        // It was not: everything its lines did is taken back, and it is read again from its first byte.
        if (saved) p_.Expander->RestoreState();
        eol_known_ = false;
        if (!writer_->Restart() || !reader_.Reread() || !SetOutputEncoding(why)) {
            w.ReadFailed = true;
            break;
        }
    }
    rep.Encoding = reader_.FileEncoding().Label();
    const files::LineEnds rule = reader_.Rule();
    rep.LineEnds = rule == files::LineEnds::Crlf ? "CRLF" : rule == files::LineEnds::Lf ? "LF" : "none";
    if (ReadsWhileWriting()) reader_.Close();
    return FinishRewrite(rep, w);
}

bool RowWorker::SetOutputEncoding(std::string& why) {
    const text::Encoding& own = reader_.FileEncoding();
    // Text read as bytes has no characters to convert: it goes out as it came.
    const bool same = p_.Plan.OutputSame || own.Kind == text::EncodingKind::Bytes;
    return writer_->SetEncoding(same ? own : p_.Plan.Output, why);
}

std::string RowWorker::SourceReadReason(int error) const {
    if (!reader_.DecodeError().empty())
        return "the source is not " + reader_.FileEncoding().Label() + " text: " + reader_.DecodeError();
    return "the source cannot be read: " + ErrorText(error);
}

void RowWorker::MakeOutput(std::string_view line, files::LineEnd end) {
    const std::string_view eol = files::OutputLineEnd(p_.Plan.LineEnds, end);
    if (!p_.Plan.UseTemplate) {
        output_.assign(line);
        output_ += eol;
        return;
    }
    // The texts are constants: comparing where they point is enough to tell a change.
    if (!eol_known_ || eol.size() != eol_set_.size() || eol.data() != eol_set_.data()) {
        p_.Expander->SetLineEnd(eol);
        eol_set_ = eol;
        eol_known_ = true;
    }
    if (direct_) {
        output_.clear();
        direct_->ExpandLineAppend(p_.Settings.TemplateText, line, output_);
    } else {
        output_ = p_.Expander->ExpandLine(p_.Settings.TemplateText, line);
    }
}

bool RowWorker::Put(std::string_view line, files::LineEnd end, int64_t at, Written& w) {
    if (line_tags_ && tmpl::ContainsTags(*line_tags_, line)) [[unlikely]] {
        w.Tainted = true;
        return false;
    }
    MakeOutput(line, end);
    // A bound that changed this line's output skips the row: a result is never cut silently.
    if (p_.Plan.UseTemplate) {
        if (std::string why = p_.Expander->TakeBoundReason(); !why.empty()) [[unlikely]] {
            w.BoundReason = "line " + std::to_string(at) + ": " + std::move(why);
            return false;
        }
    }
    if (!writer_->WriteText(output_)) {
        if (writer_->EncodeFailed())
            w.BoundReason = "line " + std::to_string(at) + ": " + writer_->Reason;  // a skip, not an I/O failure
        else
            w.WriteFailed = true;
        return false;
    }
    ++w.Lines;
    last_written_.swap(output_);
    if ((w.Lines & 1023) == 0 && Cancelled()) {
        w.Stop = true;
        return false;
    }
    return true;
}

bool RowWorker::BlocksFit() const {
    // Converted output names the line a character fails in: it goes line by line. A view's share
    // consumed is counted in the text's bytes, which are the file's only where nothing is decoded.
    const text::EncodingKind kind = reader_.FileEncoding().Kind;
    return p_.Plan.Blocks != BlockChain::None && !writer_->Encodes() &&
           (!p_.Hooks.Views || kind == text::EncodingKind::Utf8 || kind == text::EncodingKind::Bytes);
}

bool RowWorker::PutBlock(std::string_view block, int64_t lines, int64_t first, Written& w) {
    const bool tags = p_.Plan.BlockLineTags && direct_ &&
                      tmpl::HoldsTagOrCutMarker(direct_->Context(), block);
    block_written_ = {};
    if (tags) {
        // Some line of it runs tags or is cut: the block goes line by line, split as the reader splits.
        int64_t at = first;
        return files::ForEachLine(block, reader_.Rule(),
                                  [&](std::string_view line, files::LineEnd end) { return Put(line, end, at++, w); });
    }
    std::string_view out = block;
    // "crlf" ends a last line without an end too.
    const bool add_crlf = p_.Plan.BlockCrlf && reader_.LastEnd() == files::LineEnd::None;
    if (p_.Plan.Blocks != BlockChain::Identity || add_crlf) {
        block_out_.clear();
        AppendChangedBlock(p_.Plan.Blocks, block, block_out_);
        if (add_crlf) block_out_ += "\r\n";
        out = block_out_;
    }
    if (!writer_->WriteText(out)) {
        w.WriteFailed = true;
        return false;
    }
    block_written_ = out;
    w.Lines += lines;
    if (Cancelled()) {
        w.Stop = true;
        return false;
    }
    return true;
}

bool RowWorker::SplitFits() const {
    return p_.Plan.SplitThreads > 1 && reader_.FileSize >= p_.Plan.SplitBytes && !p_.Hooks.Views && !writer_->Encodes() &&
           direct_;
}

void RowWorker::WriteSplit(Written& w, int64_t& number) {
    if (!pool_) {
        ChunkPool::Settings s;
        s.Threads = p_.Plan.SplitThreads;
        s.NewExpander = p_.Hooks.NewExpander;
        s.TemplateText = p_.Settings.TemplateText;
        s.LineEnds = p_.Plan.LineEnds;
        s.RefuseLineTags = p_.Plan.SplitRefuseLineTags;
        pool_ = std::make_unique<ChunkPool>(std::move(s));
    }
    ChunkPool& pool = *pool_;
    // From a chunk whose lines hold a tag on, the lines go through the run's own context in order.
    bool serial = !pool.Ready();
    auto take = [&](std::unique_ptr<ChunkPool::Chunk> c) {
        if (c->Tainted) serial = true;
        if (serial) {
            int64_t at = c->FirstLine;
            return files::ForEachLine(c->Text, c->Rule,
                                      [&](std::string_view line, files::LineEnd end) { return Put(line, end, at++, w); });
        }
        if (!c->BoundReason.empty()) {
            w.BoundReason = std::move(c->BoundReason);
            return false;
        }
        if (!writer_->WriteText(c->Out)) {
            w.WriteFailed = true;
            return false;
        }
        w.Lines += c->Lines;
        if (Cancelled()) {
            w.Stop = true;
            return false;
        }
        return true;
    };
    // Enough chunks out to keep every helper busy while the oldest is written.
    const std::size_t most = static_cast<std::size_t>(p_.Plan.SplitThreads) * 2 + 2;
    std::string_view block;
    int64_t lines = 0;
    bool ok = true;
    while (ok && reader_.ReadLinesView(block, lines)) {
        auto chunk = std::make_unique<ChunkPool::Chunk>();
        chunk->Text.assign(block);
        chunk->FirstLine = number + 1;
        chunk->Rule = reader_.Rule();
        chunk->Model = text::CurrentCharModel();
        number += lines;
        if (serial) {
            ok = take(std::move(chunk));
            continue;
        }
        pool.Submit(std::move(chunk));
        while (ok && pool.Out() >= most) ok = take(pool.Next());
    }
    while (ok && pool.Out() > 0) ok = take(pool.Next());
    pool.DropAll();
}

void RowWorker::WriteStreamed(Written& w) {
    // The line count is known only at the file's end, so the writing gauge shows the share of the
    // source's bytes consumed and takes its count rate from the count estimated after its first lines.
    const bool views = p_.Hooks.Views != nullptr;
    bool gauge_set = false;
    auto feed_at = [&](int64_t consumed) {
        if (!gauge_set) {
            text::ApplyGaugeSettings(write_gauge_, text::GaugeUse::Writing, reader_.EstimateLineCount());
            write_gauge_.SetBaseColour(kWriteBaseColour);
            gauge_set = true;
        }
        feed_.Feed(consumed, reader_.FileSize);
    };
    auto feed_streamed = [&] { feed_at(reader_.BytesConsumed); };
    const std::vector<StreamPiece>& pieces = p_.Plan.Pieces;
    std::string_view line;
    std::size_t piece = 0;
    int64_t number = 0;
    const bool may_block = BlocksFit();
    if (may_block || SplitFits()) {
        // Line by line until the first line end sets the file's rule, then block by block.
        bool more = true;
        while (reader_.Rule() == files::LineEnds::Auto && (more = reader_.ReadLineView(line))) {
            if (!Put(line, reader_.LastEnd(), ++number, w)) break;
            if (views && feed_.Counted()) feed_streamed();
        }
        // CR LF put after every line changes nothing only where CR LF ends every line.
        const bool blocks = may_block && (!p_.Plan.BlockCrlf || reader_.Rule() == files::LineEnds::Crlf);
        if (!more || w.Ended()) {
            piece = pieces.size();
        } else if (blocks) {
            int64_t lines = 0;
            bool going = true;
            // With a view, the reader cuts each block where the lines one by one would feed the record.
            while (going && reader_.ReadLinesView(line, lines, views ? feed_.LinesUntilFeed()
                                                                    : std::numeric_limits<int64_t>::max())) {
                going = PutBlock(line, lines, number + 1, w);
                number += lines;
                if (!views || !going) continue;
                // The detail is the line written last, with its end, as one by one.
                if (!block_written_.empty()) {
                    const std::string_view out = block_written_;
                    const std::size_t lf = out.size() >= 2 ? out.rfind('\n', out.size() - 2) : std::string_view::npos;
                    last_written_.assign(lf == std::string_view::npos ? out : out.substr(lf + 1));
                }
                if (feed_.Counted(lines)) feed_streamed();
            }
            piece = pieces.size();
        } else if (SplitFits()) {
            WriteSplit(w, number);
            piece = pieces.size();
        }
        // Otherwise the lines after the first go one by one, below.
    }
    while (piece < pieces.size() && reader_.ReadLineView(line)) {
        ++number;
        if (number < pieces[piece].Start) continue;
        if (!Put(line, reader_.LastEnd(), number, w)) break;
        if (views && feed_.Counted()) feed_streamed();
        if (!pieces[piece].OpenEnd && number >= pieces[piece].End) ++piece;
    }
    if (views && feed_.Pending()) feed_streamed();
    // The rest is read too: a source that cannot be read to its end is skipped, as when loaded.
    if (!w.Ended()) reader_.DrainToEnd();
    if (reader_.WrongGuess()) return;  // read again by the caller
    w.ReadFailed = (reader_.ReadFailed() || !reader_.DecodeError().empty()) && !w.Ended();
}

void RowWorker::WriteCompact(Written& w) {
    const std::size_t held = kept_starts_.size();
    const int32_t count = static_cast<int32_t>(std::min<std::size_t>(held, 2147483647));
    text::ApplyGaugeSettings(write_gauge_, text::GaugeUse::Writing, count);
    write_gauge_.SetBaseColour(kWriteBaseColour);
    text::LoopT loop;
    text::InitLoop(loop, p_.Settings.IntervalActive ? p_.Settings.IntervalText : std::string(), 1, count);
    int32_t done = 0;  // the line written last
    while (text::NextInLoop(loop)) {
        if (loop.Current < 1 || loop.Current > count) continue;
        done = loop.Current;
        const std::size_t k = static_cast<std::size_t>(loop.Current - 1);
        const uint64_t at = kept_starts_[k];
        const uint64_t end = k + 1 < held ? kept_starts_[k + 1] : kept_text_.size();
        if (!Put(std::string_view(kept_text_).substr(at, end - at), kept_ends_[k], loop.Current, w)) break;
        if (p_.Hooks.Views && feed_.Counted()) feed_.Feed(done, count);
    }
    if (p_.Hooks.Views) feed_.Feed(done, count);
    // A large file gives its memory back; small ones keep it for the next file.
    if (kept_text_.capacity() > (64u << 20)) {
        std::string().swap(kept_text_);
        std::vector<uint64_t>().swap(kept_starts_);
        std::vector<files::LineEnd>().swap(kept_ends_);
    }
}

void RowWorker::WriteIndexed(Written& w) {
    const int32_t count = static_cast<int32_t>(std::min<int64_t>(index_.Lines, 2147483647));
    text::ApplyGaugeSettings(write_gauge_, text::GaugeUse::Writing, count);
    write_gauge_.SetBaseColour(kWriteBaseColour);
    text::LoopT loop;
    text::InitLoop(loop, p_.Settings.IntervalActive ? p_.Settings.IntervalText : std::string(), 1, count);
    // A block of lines is read at a time, so that lines taken in order, forward or downward, are read once.
    files::IndexedLines lines(reader_.Source(), reader_.FileEncoding(), index_);
    std::string_view line;
    files::LineEnd end = files::LineEnd::None;
    int32_t done = 0;  // the line written last
    while (text::NextInLoop(loop)) {
        if (loop.Current < 1 || loop.Current > count) continue;
        if (!lines.Get(loop.Current, line, end)) {
            // The file changed since it was counted.
            reader_.LastIOStatus = static_cast<uint16_t>(std::min(lines.Error(), 0xFFFF));
            w.ReadFailed = true;
            break;
        }
        done = loop.Current;
        if (!Put(line, end, loop.Current, w)) break;
        if (p_.Hooks.Views && feed_.Counted()) feed_.Feed(done, count);
    }
    if (p_.Hooks.Views) feed_.Feed(done, count);
}

void RowWorker::WriteBuffered(Written& w) {
    tables::ArrayOfFiles& buffer = p_.LineBuffer;
    const int32_t count = buffer.RowCount;
    text::ApplyGaugeSettings(write_gauge_, text::GaugeUse::Writing, count);
    write_gauge_.SetBaseColour(kWriteBaseColour);
    buffer.StartLineLoop();
    int32_t done = 0;
    while (text::NextInLoop(buffer.LineIterator)) {
        const int32_t k = buffer.LineIterator.Current;
        const files::LineEnd end = static_cast<std::size_t>(k - 1) < kept_ends_.size()
                                       ? kept_ends_[static_cast<std::size_t>(k - 1)]
                                       : files::LineEnd::None;
        if (!Put(buffer.LineView(k), end, k, w)) break;
        done = k;
        if (p_.Hooks.Views && feed_.Counted()) feed_.Feed(k, count);
    }
    if (p_.Hooks.Views) feed_.Feed(done, count);
}

bool RowWorker::FinishRewrite(RowReport& rep, Written& w) {
    RunSummary& summary = p_.Reporter.Summary();
    if (w.Tainted) {
        writer_->Discard();
        tainted_ = true;
        return true;
    }
    if (!w.BoundReason.empty()) {
        writer_->Discard();
        rep.Reason = w.BoundReason + "; the destination keeps what it had";
        p_.Reporter.Report(rep);
        return true;
    }
    if (w.ReadFailed) {
        writer_->Discard();
        rep.Reason = SourceReadReason(reader_.LastIOStatus);
        p_.Reporter.Report(rep);
        return true;
    }
    if (w.Stop) {
        writer_->Discard();
        p_.Reporter.Acquire(rep.Row, false);  // the cancel this row saw is its outcome
        rep.Outcome = RowOutcome::Cancelled;
        rep.Reason = "cancelled while writing; the destination keeps what it had";
        p_.Reporter.Report(rep);
        summary.Cancelled = true;
        return false;
    }
    if (!w.WriteFailed && !MayCommit(rep.Row)) {
        writer_->Discard();
        return true;
    }
    if (p_.Plan.Pipelined && !w.WriteFailed) {
        if (writer_->Buffered() <= CopyWorker::kMaxHeldBytes) {
            // Written and named on the helper, in table order; reported when it comes back.
            auto job = std::make_unique<CopyWorker::Job>();
            rep.Lines = w.Lines;
            job->Report = std::move(rep);
            job->Write = std::move(writer_);
            writer_ = p_.Pipeline.TakeWriter();
            p_.Pipeline.Hand(std::move(job));
            p_.Reporter.Settle(false);
            return !summary.IoStopped;
        }
        // Named here, after every output handed over before it (a full disk there ends the run first).
        p_.Reporter.Settle(true);
        if (summary.IoStopped) {
            writer_->Discard();
            return false;
        }
    }
    const bool closed = !w.WriteFailed && writer_->Close();
    if (w.WriteFailed) writer_->Discard();
    p_.Reporter.DescribeClose(rep, closed, *writer_, w.Lines);
    p_.Reporter.Report(rep);
    return !summary.IoStopped;
}

}  // namespace rowsmith::run
