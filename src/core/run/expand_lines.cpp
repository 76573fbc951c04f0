#include "run/expand_lines.h"

#include "run/run_plan.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <istream>
#include <limits>
#include <mutex>
#include <ostream>
#include <thread>

#include "files/platform_fs.h"
#include "run/run_plan.h"
#include "template/evaluator.h"
#include "text/intervals.h"

namespace rowsmith::run {

namespace {

constexpr std::size_t npos = std::string::npos;
constexpr std::size_t kBlock = 256u << 10;
constexpr std::size_t kFlushAt = 1u << 20;

class LineSource {
  public:
    virtual ~LineSource() = default;
    // The next line without its terminator, valid until the next call.
    virtual bool Next(std::string_view& line) = 0;
    // What the line given last ended with.
    virtual files::LineEnd LastEnd() const = 0;
    virtual bool Failed() const = 0;
    virtual std::string FailureReason() const = 0;
    // Reads the first block, which decides the input's encoding.
    virtual void Start() = 0;
    virtual const text::Encoding& InputEncoding() const = 0;
    // The input's rule once its first line end was seen (Auto before).
    virtual files::LineEnds Rule() const = 0;
    // The next lines as they lie in the buffer, their ends included (valid until the next call), once
    // Rule() is decided; `lines` gets how many, LastEnd() the end of the last one.
    virtual bool NextBlock(std::string_view& block, int64_t& lines) = 0;
};

// The reader's line rule (files::LineSplitter: CR LF, or every LF, decided per input under auto); text
// after the last terminator is a last line when not empty. Streams and files share it; only where the
// blocks come from differs.
class BlockLines : public LineSource {
  public:
    BlockLines(files::LineEnds ends, const files::EncodingChoice& encodings) : splitter_(ends), choice_(encodings) {}
    void Start() override {
        if (!started_) Fill();
    }
    const text::Encoding& InputEncoding() const override { return encoding_; }
    files::LineEnd LastEnd() const override { return last_end_; }

    bool Next(std::string_view& line) override {
        for (;;) {
            std::size_t lf = buf_.find('\n', std::max(searched_, pos_));
            while (lf != npos) {
                if (splitter_.Ends(buf_.data(), pos_, lf)) {
                    std::size_t end = lf;
                    last_end_ = files::LineSplitter::EndAt(buf_.data(), pos_, lf);
                    if (last_end_ == files::LineEnd::Crlf) --end;
                    line = std::string_view(buf_).substr(pos_, end - pos_);
                    pos_ = lf + 1;
                    searched_ = pos_;
                    return true;
                }
                lf = buf_.find('\n', lf + 1);
            }
            searched_ = buf_.size();
            if (!Fill()) return TakeLastLine(line);
        }
    }
    bool Failed() const override { return failed_; }
    files::LineEnds Rule() const override { return splitter_.Rule(); }

    bool NextBlock(std::string_view& block, int64_t& lines) override {
        if (splitter_.Rule() == files::LineEnds::Auto) return false;
        const bool split_all = splitter_.SplitsAll();
        for (;;) {
            // Every line end the buffer holds, each found once (none before searched_ ends a line).
            const std::string_view rest = std::string_view(buf_).substr(pos_);
            const files::WholeLines whole =
                files::CountWholeLines(rest, split_all, std::max(searched_, pos_) - pos_);
            if (whole.Lines > 0) {
                lines = whole.Lines;
                block = rest.substr(0, whole.Bytes);
                last_end_ = whole.LastEnd(rest);
                pos_ = searched_ = pos_ + whole.Bytes;
                return true;
            }
            searched_ = buf_.size();
            if (!Fill()) {
                lines = 1;
                return TakeLastLine(block);
            }
        }
    }

  protected:
    // Why the input does not decode (empty when it does).
    std::string decode_error_;
    // Reads up to n bytes; 0 at the end, -1 on an error.
    virtual int64_t ReadBlock(char* data, std::size_t n) = 0;

  private:
    // At the end of the text: the rest, a last line without an end, if there is one.
    bool TakeLastLine(std::string_view& line) {
        if (pos_ >= buf_.size()) return false;
        line = std::string_view(buf_).substr(pos_);
        pos_ = buf_.size();
        last_end_ = files::LineEnd::None;
        return true;
    }
    bool Fill() {
        if (eof_) return false;
        if (pos_ > 0 && pos_ >= buf_.size() / 2) {
            buf_.erase(0, pos_);
            searched_ -= std::min(searched_, pos_);
            pos_ = 0;
        }
        // Text as it is: straight into the buffer.
        if (started_ && !decoding_) {
            const std::size_t old = buf_.size();
            buf_.resize(old + kBlock);
            const int64_t got = ReadBlock(buf_.data() + old, kBlock);
            buf_.resize(old + static_cast<std::size_t>(std::max<int64_t>(got, 0)));
            if (got <= 0) {
                eof_ = true;
                failed_ = got < 0;
                return false;
            }
            return true;
        }
        raw_.resize(kBlock);
        const int64_t got = ReadBlock(raw_.data(), kBlock);
        raw_.resize(static_cast<std::size_t>(std::max<int64_t>(got, 0)));
        if (got < 0) {
            eof_ = failed_ = true;
            return false;
        }
        const std::size_t old = buf_.size();
        std::string_view body = raw_;
        if (!started_) {
            started_ = true;
            // The first block decides: a mark, else UTF-8 when valid, else the legacy code page. A
            // later block that is not UTF-8 keeps its bytes as they are (the output is already out).
            encoding_ = files::FirstBlockEncoding(choice_, raw_, got == 0);
            body.remove_prefix(std::min(body.size(), text::BomBytes(encoding_).size()));
            decoding_ = encoding_.Kind != text::EncodingKind::Utf8 && encoding_.Kind != text::EncodingKind::Bytes;
            std::string error;
            if (decoding_ && !decoder_.Open(encoding_, error)) return Fails(error);
            if (decoding_ && choice_.Detect) {
                // Not text in the detected encoding: the input's bytes as they are.
                std::string probe;
                text::Decoder trial;
                if (trial.Open(encoding_, error) && !trial.Feed(body, got == 0, probe, error)) {
                    encoding_ = text::Encoding{text::EncodingKind::Bytes, false, {}};
                    decoding_ = false;
                    body = raw_;
                }
            }
        }
        if (!decoding_) {
            buf_.append(body);
        } else {
            std::string error;
            if (!decoder_.Feed(body, got == 0, buf_, error)) return Fails(error);
        }
        if (got == 0) {
            eof_ = true;
            return buf_.size() > old;
        }
        return true;
    }
    bool Fails(const std::string& error) {
        decode_error_ = "the input is not " + encoding_.Label() + " text: " + error;
        eof_ = failed_ = true;
        return false;
    }

    files::LineSplitter splitter_;
    files::LineEnd last_end_ = files::LineEnd::None;
    files::EncodingChoice choice_;
    text::Encoding encoding_;
    text::Decoder decoder_;
    bool started_ = false;
    bool decoding_ = false;
    std::string raw_;
    std::string buf_;
    std::size_t pos_ = 0;
    std::size_t searched_ = 0;
    bool eof_ = false;
    bool failed_ = false;
};

class StreamLines : public BlockLines {
  public:
    StreamLines(std::istream& in, files::LineEnds ends, const files::EncodingChoice& encodings)
        : BlockLines(ends, encodings), in_(in) {}
    std::string FailureReason() const override { return decode_error_.empty() ? "read error" : decode_error_; }

  protected:
    int64_t ReadBlock(char* data, std::size_t n) override {
        in_.read(data, static_cast<std::streamsize>(n));
        const auto got = static_cast<int64_t>(in_.gcount());
        return got > 0 ? got : (in_.bad() ? -1 : 0);
    }

  private:
    std::istream& in_;
};

// Files are read in blocks straight from the file, without the per-line progress bookkeeping of the
// processing run's reader, which would cost a third of the time here.
class FileLines : public BlockLines {
  public:
    FileLines(files::fs::File& file, files::LineEnds ends, const files::EncodingChoice& encodings)
        : BlockLines(ends, encodings), file_(file) {}
    std::string FailureReason() const override {
        if (!decode_error_.empty()) return decode_error_;
        const int e = file_.Error();
        return e ? std::string("read error: ") + std::strerror(e) : std::string("read error");
    }

  protected:
    int64_t ReadBlock(char* data, std::size_t n) override {
        return file_.Read(data, static_cast<int64_t>(n));
    }

  private:
    files::fs::File& file_;
};

// Collects the expanded text and writes it in large pieces. Once the output has grown past one
// piece, a helper thread does the writing while the next piece is expanded: the kernel's copy into
// the page cache (a third of an identity rewrite) then runs on another core. Small outputs are
// written by the calling thread alone, and the stream is only ever used by one thread at a time.
class Output {
  public:
    Output(std::ostream& out, ExpandLinesResult& result) : out_(out), result_(result) {}
    ~Output() { Flush(); }
    void Add(std::string_view text) {
        buf_ += text;
        Written();
    }
    // Direct access for expanders that append themselves; Written() after each addition.
    std::string& Buffer() { return buf_; }
    void Written() {
        if (buf_.size() >= kFlushAt) Hand();
    }
    // Writes everything collected and waits for the helper to end.
    void Flush() {
        if (writer_.joinable()) {
            Hand();
            {
                std::unique_lock<std::mutex> lock(mutex_);
                idle_.wait(lock, [this] { return !has_piece_; });
                done_ = true;
            }
            wake_.notify_one();
            writer_.join();
        } else if (!buf_.empty()) {
            out_.write(buf_.data(), static_cast<std::streamsize>(buf_.size()));
            buf_.clear();
        }
        if (!out_) result_.WriteFailed = true;
    }

  private:
    // Gives the collected piece to the helper (started on the first piece), waiting while it still
    // writes the previous one; buf_ gets that one's buffer back, emptied.
    void Hand() {
        if (buf_.empty()) return;
        if (!writer_.joinable()) {
            done_ = false;
            writer_ = std::thread([this] { WriteLoop(); });
        }
        {
            std::unique_lock<std::mutex> lock(mutex_);
            idle_.wait(lock, [this] { return !has_piece_; });
            piece_.swap(buf_);
            has_piece_ = true;
        }
        wake_.notify_one();
        buf_.clear();
    }
    void WriteLoop() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return has_piece_ || done_; });
            if (!has_piece_) return;
            lock.unlock();
            // A failed stream writes nothing more; Flush reports it.
            if (out_) out_.write(piece_.data(), static_cast<std::streamsize>(piece_.size()));
            piece_.clear();
            lock.lock();
            has_piece_ = false;
            idle_.notify_one();
        }
    }

    std::ostream& out_;
    ExpandLinesResult& result_;
    std::string buf_;
    std::string piece_;  // the helper's, while has_piece_
    std::thread writer_;
    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    bool has_piece_ = false;
    bool done_ = false;
};

void Run(LineSource& source, std::ostream& out, const ExpandLinesOptions& o, LineExpander& expander,
         ExpandLinesResult& result) {
    source.Start();
    const text::Encoding in_encoding = source.InputEncoding();
    // Characters are code points, unless the input is read as bytes (which also go out as they came).
    text::CharModelScope model(in_encoding.Kind == text::EncodingKind::Bytes ? text::CharModel::Bytes
                                                                              : text::CharModel::Utf8);
    const text::Encoding out_encoding =
        o.OutputEncoding && in_encoding.Kind != text::EncodingKind::Bytes ? *o.OutputEncoding : in_encoding;
    const bool encoding =
        out_encoding.Kind != text::EncodingKind::Utf8 && out_encoding.Kind != text::EncodingKind::Bytes;
    text::Encoder encoder;
    std::string error;
    if (encoding && !encoder.Open(out_encoding, error)) {
        result.Ok = false;
        result.Reason = error;
        return;
    }
    Output output(out, result);
    output.Add(text::BomBytes(out_encoding));
    std::string scratch;  // a line's text before it is encoded
    bool stop = false;
    // The engine's own expanders append straight into the output buffer.
    ContextLineExpander* direct = DirectExpander(&expander);
    std::string_view eol_set;
    bool eol_known = false;
    auto expand = [&](int64_t number, std::string_view line, files::LineEnd end) {
        const std::string_view eol = files::OutputLineEnd(o.LineEnds, end);
        if (!eol_known || eol.size() != eol_set.size() || eol.data() != eol_set.data()) {
            expander.SetLineEnd(eol);
            eol_set = eol;
            eol_known = true;
        }
        if (o.BeforeLine) o.BeforeLine(number, line);
        std::string& into = encoding ? scratch : output.Buffer();
        if (encoding) scratch.clear();
        if (direct)
            direct->ExpandLineAppend(o.TemplateText, line, into);
        else
            into += expander.ExpandLine(o.TemplateText, line);
        if (encoding && !encoder.Feed(scratch, false, output.Buffer(), error)) {
            // What the output encoding cannot hold ends the output here: nothing is written half.
            result.UnwritableLine = number;
            result.UnwritableReason = error;
            stop = true;
            return;
        }
        output.Written();
        ++result.LinesExpanded;
        std::string reason = expander.TakeBoundReason();
        if (!reason.empty()) [[unlikely]] {
            if (result.BoundHits++ == 0) {
                result.FirstBoundLine = number;
                result.FirstBoundReason = std::move(reason);
            }
        }
    };
    expander.TakeBoundReason();  // what an earlier use left belongs to no line of this input
    std::string_view line;
    std::vector<StreamPiece> plan;
    if (!o.IntervalActive || PlanStreamingInterval(o.IntervalText, plan)) {
        if (!o.IntervalActive) plan = {StreamPiece{1, 0, true}};
        std::size_t piece = 0;
        int64_t number = 0;
        // A template that changes every line alone and keeps its end: whole blocks after the first line.
        const bool every_line = plan.size() == 1 && plan[0].Start <= 1 && plan[0].OpenEnd;
        const BlockTemplate blocks = direct && every_line && !encoding && !o.BeforeLine && o.LineEnds == files::LineEnds::Auto
                                         ? RecogniseBlockTemplate(o.TemplateText, direct->Context())
                                         : BlockTemplate{};
        if (blocks.Chain != BlockChain::None) {
            while (!stop && source.Rule() == files::LineEnds::Auto && source.Next(line)) {
                ++result.LinesRead;
                expand(++number, line, source.LastEnd());
            }
            if (!blocks.Crlf || source.Rule() == files::LineEnds::Crlf) {
                std::string_view block;
                int64_t lines = 0;
                while (!stop && source.NextBlock(block, lines)) {
                    if (blocks.LineTags && tmpl::HoldsTagOrCutMarker(direct->Context(), block)) {
                        // Some line of it runs tags or is cut: line by line.
                        files::ForEachLine(block, source.Rule(), [&](std::string_view l, files::LineEnd end) {
                            ++result.LinesRead;
                            expand(++number, l, end);
                            return !stop;
                        });
                        continue;
                    }
                    AppendChangedBlock(blocks.Chain, block, output.Buffer());
                    if (blocks.Crlf && source.LastEnd() == files::LineEnd::None) output.Buffer() += "\r\n";
                    output.Written();
                    number += lines;
                    result.LinesRead += lines;
                    result.LinesExpanded += lines;
                }
            }
        }
        while (!stop && piece < plan.size() && source.Next(line)) {
            ++number;
            ++result.LinesRead;
            if (number < plan[piece].Start) continue;
            expand(number, line, source.LastEnd());
            if (!plan[piece].OpenEnd && number >= plan[piece].End) ++piece;
        }
    } else {
        // Pieces counted from the end or walked downward need every line first.
        std::string arena;
        std::vector<std::pair<std::size_t, std::size_t>> lines;
        std::vector<files::LineEnd> ends;
        while (source.Next(line)) {
            lines.emplace_back(arena.size(), line.size());
            ends.push_back(source.LastEnd());
            arena.append(line);
            ++result.LinesRead;
        }
        const int32_t count = static_cast<int32_t>(std::min<std::size_t>(lines.size(), 2147483647));
        text::LoopT loop;
        text::InitLoop(loop, o.IntervalText, 1, count);
        while (!stop && text::NextInLoop(loop)) {
            if (loop.Current < 1 || loop.Current > count) continue;
            const std::size_t k = static_cast<std::size_t>(loop.Current - 1);
            expand(loop.Current, std::string_view(arena).substr(lines[k].first, lines[k].second), ends[k]);
        }
    }
    if (encoding && !stop && !encoder.Feed({}, true, output.Buffer(), error)) {
        result.UnwritableLine = result.LinesRead;
        result.UnwritableReason = error;
    }
    output.Flush();
    if (source.Failed()) {
        result.Ok = false;
        result.Reason = source.FailureReason();
    }
}

}  // namespace

std::size_t LineSizeBound(std::size_t line_length) {
    constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();
    return line_length > kMax / kLineBoundFactor ? kMax : line_length * kLineBoundFactor;
}

std::string ContextLineExpander::ExpandLine(std::string_view template_text, std::string_view line) {
    std::string out;
    ExpandLineAppend(template_text, line, out);
    return out;
}

ContextLineExpander* DirectExpander(LineExpander* expander) {
    if (auto* direct = dynamic_cast<ContextLineExpander*>(expander)) return direct;
    if (auto* standalone = dynamic_cast<StandaloneLineExpander*>(expander)) return &standalone->Inner();
    return nullptr;
}

void ContextLineExpander::ExpandLineAppend(std::string_view template_text, std::string_view line,
                                           std::string& out) {
    // The slot of "line" never moves once it exists; finding it once saves a lookup per line.
    if (line_slot_ > 0 && line_epoch_ == context_.VariableEpoch && line_slot_ <= context_.VariableCount) {
        tmpl::SetVariableAt(context_, line_slot_, line);
    } else {
        tmpl::SetVariable(context_, "line", line);
        line_slot_ = tmpl::FindVariable(context_, "line");
        line_epoch_ = context_.VariableEpoch;
    }
    prepared_.Set(template_text);
    // The size bound stops runaway growth, not the user's own text: a long line must come out
    // whole, several times over, so for its expansion the bound is at least kLineBoundFactor times
    // the line's length.
    const std::size_t bound = context_.MaxTextSize;
    context_.MaxTextSize = std::max(bound, LineSizeBound(line.size()));
    prepared_.ExpandAppend(context_, out, 1);
    context_.MaxTextSize = bound;
}

void ContextLineExpander::SaveState() { saved_ = std::make_unique<tmpl::TemplateContext>(context_); }

void ContextLineExpander::RestoreState() {
    if (!saved_) return;
    // The engine's caches stay with the context; the variables and counters go back to the copy.
    const uint64_t epoch = context_.VariableEpoch;
    tmpl::detail::EngineSlot engine = std::move(context_.Engine);
    tmpl::TraceSink* const trace = context_.Trace;
    context_ = std::move(*saved_);
    context_.Engine = std::move(engine);
    context_.Trace = trace;
    context_.VariableEpoch = epoch + 1;
    saved_.reset();
}

void ContextLineExpander::SetLineEnd(std::string_view eol) {
    if (eol_slot_ > 0 && eol_epoch_ == context_.VariableEpoch && eol_slot_ <= context_.VariableCount) {
        tmpl::SetVariableAt(context_, eol_slot_, eol);
        return;
    }
    tmpl::SetVariable(context_, "eol", eol);
    eol_slot_ = tmpl::FindVariable(context_, "eol");
    eol_epoch_ = context_.VariableEpoch;
}

bool PlanStreamingInterval(std::string_view interval, std::vector<StreamPiece>& pieces) {
    pieces.clear();
    const std::string text = text::NormaliseIntervalText(interval);
    if (text.empty()) {
        pieces.push_back({1, 0, true});
        return true;
    }
    // Resolving against two different line counts shows which ends depend on the count.
    constexpr int32_t kHigh1 = 2147483646;
    constexpr int32_t kHigh2 = 2147483645;
    std::size_t start = 0;
    for (;;) {
        const std::size_t semi = text.find(';', start);
        const std::string_view piece =
            std::string_view(text).substr(start, semi == npos ? npos : semi - start);
        if (!piece.empty()) {
            int32_t s1 = 0, e1 = 0, s2 = 0, e2 = 0;
            const text::IntervalKind k1 = text::ParseIntervalPiece(piece, 1, kHigh1, s1, e1);
            const text::IntervalKind k2 = text::ParseIntervalPiece(piece, 1, kHigh2, s2, e2);
            if (!(k1 == text::Invalid && k2 == text::Invalid)) {
                if (k1 != text::Upward || k2 != text::Upward || s1 != s2) return false;
                StreamPiece p;
                p.Start = s1;
                if (e1 == e2) {
                    p.End = e1;
                } else if (e1 == kHigh1 && e2 == kHigh2) {
                    p.OpenEnd = true;
                } else {
                    return false;
                }
                if (!pieces.empty() && (pieces.back().OpenEnd || p.Start <= pieces.back().End)) return false;
                pieces.push_back(p);
            }
        }
        if (semi == npos) break;
        start = semi + 1;
    }
    return true;
}

ExpandLinesResult ExpandLines(std::istream& in, std::ostream& out, const ExpandLinesOptions& options,
                              LineExpander& expander) {
    ExpandLinesResult result;
    StreamLines source(in, options.LineEnds, options.Encodings);
    Run(source, out, options, expander, result);
    return result;
}

ExpandLinesResult ExpandLinesOfFile(std::string_view path, std::ostream& out,
                                    const ExpandLinesOptions& options, LineExpander& expander) {
    ExpandLinesResult result;
    files::fs::PathFacts facts;
    if (files::fs::GetFacts(path, facts) && facts.is_folder) {
        result.Ok = false;
        result.Reason = "is a folder";
        return result;
    }
    files::fs::File file;
    if (!file.OpenRead(path)) {
        result.Ok = false;
        const int e = file.Error();
        result.Reason = e ? std::strerror(e) : "cannot be opened";
        return result;
    }
    FileLines source(file, options.LineEnds, options.Encodings);
    Run(source, out, options, expander, result);
    file.Close();
    return result;
}

}  // namespace rowsmith::run
