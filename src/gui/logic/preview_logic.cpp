#include "gui/logic/preview_logic.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "files/line_index.h"
#include "files/platform_fs.h"
#include "run/expand_lines.h"
#include "run/run_plan.h"
#include "template/context.h"
#include "text/intervals.h"
#include "text/utf8.h"

namespace rowsmith::gui {

namespace {

constexpr std::size_t npos = std::string::npos;
constexpr int64_t kBlock = 64 << 10;

bool IsFileRow(const tables::ArrayOfFiles& list, int32_t row) {
    const tables::DataRecT* r = list.Row(row);
    if (r == nullptr) return false;
    if (r->Extra && (r->Extra->Facts.Attributes & files::fs::kAttrFolder)) return false;
    return !list.GetCell(row, tables::kCodeFullPath).empty();
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == npos ? path : path.substr(slash + 1);
}

std::string SizeText(int64_t bytes) {
    constexpr int64_t mib = int64_t{1} << 20;
    if (bytes >= mib && bytes % mib == 0) return std::to_string(bytes / mib) + " MiB";
    if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes / 1024) + " KiB";
    return std::to_string(bytes) + " bytes";
}

// The run's next guess after `e` proved wrong: the code page after UTF-8, bytes after anything else.
text::Encoding NextGuess(const text::Encoding& e, const files::EncodingChoice& choice) {
    text::Encoding next{text::EncodingKind::Bytes, false, {}};
    std::string error;
    if (e.Kind == text::EncodingKind::Utf8 && !text::ParseEncodingName(choice.Legacy, next, error))
        next = text::Encoding{text::EncodingKind::Bytes, false, {}};
    return next;
}

// A line of the held text: where it starts, its length, the length of its line break and which one
// it is.
struct HeldLine {
    std::size_t at = 0;
    std::size_t length = 0;
    std::size_t terminator = 0;
    files::LineEnd end = files::LineEnd::None;
};

// Lines of a file read in blocks, decoded to UTF-8 as the run's reader decodes them (the encoding
// chosen, or detected from the first block; a byte order mark taken off), then split by the run's rule
// (files::LineSplitter: under auto the first LF of the file decides), holding at most `cap` bytes of
// the file. The text stays in one buffer, so that held lines remain valid while more are read. The
// file's bytes are kept too: a detected encoding that a later block proves wrong is replaced by the
// run's next guess (a code page after UTF-8, bytes after a code page or UTF-16), and the lines are
// read again (WrongGuess, Reread).
class CappedLines {
  public:
    // `fall_back`: bytes that do not decode give the next guess rather than a failure.
    CappedLines(int64_t cap, files::LineEnds mode, files::EncodingChoice choice, bool fall_back)
        : cap_(std::max<int64_t>(cap, 0)), mode_(mode), splitter_(mode), choice_(std::move(choice)),
          fall_back_(fall_back) {}

    // Without waiting: a pipe put in the file's place must not hang the window.
    bool Open(const std::string& path) {
        files::fs::PathFacts facts;
        return file_.OpenSource(path, facts);
    }
    bool NotRegular() const { return file_.NotRegular(); }
    int Error() const { return file_.Error(); }

    // False at the end, after a read error, when the bytes do not decode (or proved the guess wrong),
    // or when the cap leaves only part of a line.
    bool Next(HeldLine& line) {
        for (;;) {
            std::size_t lf = text_.find('\n', std::max(searched_, pos_));
            while (lf != npos) {
                if (splitter_.Ends(text_.data(), pos_, lf)) {
                    const files::LineEnd end = files::LineSplitter::EndAt(text_.data(), pos_, lf);
                    const std::size_t terminator = end == files::LineEnd::Crlf ? 2 : 1;
                    line = {pos_, lf + 1 - terminator - pos_, terminator, end};
                    pos_ = lf + 1;
                    searched_ = pos_;
                    return true;
                }
                lf = text_.find('\n', lf + 1);
            }
            searched_ = text_.size();
            if (Stopped()) return false;
            if (Finished()) {
                // What the cap cut off is not a whole line (nor is a character the cap cut, which
                // waits in the decoder or at the text's end): it is left out rather than shown wrong.
                if (pos_ >= text_.size() || capped_) return false;
                line = {pos_, text_.size() - pos_, 0, files::LineEnd::None};
                pos_ = text_.size();
                return true;
            }
            Fill();
        }
    }

    bool WrongGuess() const { return wrong_guess_; }
    // The run's next guess, from the first byte: the lines read so far are void.
    void Reread() { Begin(NextGuess(encoding_, choice_), false); }
    // Reads the file in `e` from its first byte, as after a wrong guess that showed beyond the cap.
    void Force(const text::Encoding& e) { forced_ = e; }
    files::fs::File& Source() { return file_; }

    // The file's rule as far as read: Auto while no LF was seen.
    files::LineEnds Rule() const { return splitter_.Rule(); }
    const text::Encoding& FileEncoding() const { return encoding_; }
    const std::string& DecodeError() const { return decode_error_; }
    const std::string& Text() const { return text_; }
    int64_t BytesRead() const { return static_cast<int64_t>(raw_.size()); }
    bool Capped() const { return capped_; }
    bool Failed() const { return failed_; }
    // The bytes are checked as they are read (a guessed UTF-8 validated, other encodings decoded).
    bool Checks() const { return way_ != Way::Pass; }

  private:
    enum class Way : uint8_t { Pass, Validate, Decode };

    // Nothing more comes from the file.
    bool Finished() const { return eof_ || capped_ || failed_; }
    // The lines end here without a last one: a read or decoding failure, or a wrong guess.
    bool Stopped() const { return failed_ || wrong_guess_ || !decode_error_.empty(); }

    // Reads the next block (the first one decides the encoding) and decodes it.
    void Fill() {
        const std::size_t old = raw_.size();
        const int64_t asked = ReadBlock();
        if (!started_) {
            started_ = true;
            // A first block shorter than asked for is the whole file.
            const bool whole = eof_ || static_cast<int64_t>(raw_.size()) < asked;
            Begin(Decide(whole), choice_.Detect);
            return;
        }
        if (failed_) return;
        Decode(std::string_view(raw_).substr(old), eof_);
    }

    // Appends at most a block of the file's bytes to raw_ and returns how many bytes it asked for.
    int64_t ReadBlock() {
        const int64_t room = cap_ - static_cast<int64_t>(raw_.size());
        if (room <= 0) {
            // Full: the file goes on only if one more byte is there.
            char probe = 0;
            const int64_t got = file_.Read(&probe, 1);
            capped_ = got > 0;
            failed_ = got < 0;
            eof_ = got == 0;
            return 0;
        }
        const std::size_t old = raw_.size();
        // Only detection needs the run's whole first block; the rest is read as the lines need it.
        const int64_t first = choice_.Detect ? kPreviewHeadBytes : kBlock;
        const int64_t want = std::min(started_ ? kBlock : first, room);
        raw_.resize(old + static_cast<std::size_t>(want));
        const int64_t got = file_.Read(raw_.data() + old, want);
        raw_.resize(old + static_cast<std::size_t>(std::max<int64_t>(got, 0)));
        eof_ = got == 0;
        failed_ = got < 0;
        return want;
    }

    // The encoding of the first block, as files::TReadTextFile decides it.
    text::Encoding Decide(bool whole) const {
        if (forced_) return *forced_;
        return files::FirstBlockEncoding(choice_, raw_, whole);
    }

    // Starts the lines over in `e`, with every byte read so far.
    void Begin(const text::Encoding& e, bool detected) {
        encoding_ = e;
        text_.clear();
        pos_ = searched_ = validated_ = 0;
        splitter_.Reset(mode_);
        wrong_guess_ = false;
        decode_error_.clear();
        way_ = Way::Pass;
        // A detected UTF-8 file stays a guess while more of it may prove it not to be UTF-8.
        if (e.Kind == text::EncodingKind::Utf8 && detected && !e.Bom) way_ = Way::Validate;
        if (e.Kind != text::EncodingKind::Utf8 && e.Kind != text::EncodingKind::Bytes) {
            std::string error;
            if (!decoder_.Open(e, error)) {
                Undecodable(error);
                return;
            }
            way_ = Way::Decode;
        }
        const std::size_t skip = std::min(text::BomBytes(e).size(), raw_.size());
        Decode(std::string_view(raw_).substr(skip), eof_);
    }

    // Appends the text of fresh bytes; `last`: the file ends after them.
    void Decode(std::string_view fresh, bool last) {
        switch (way_) {
            case Way::Pass:
                text_.append(fresh);
                return;
            case Way::Validate: {
                text_.append(fresh);
                const std::string_view unchecked = std::string_view(text_).substr(validated_);
                const std::size_t ok = text::ValidUtf8Prefix(unchecked);
                if (ok < unchecked.size() && (last || !files::IsCutUtf8(unchecked.substr(ok)))) {
                    wrong_guess_ = true;
                    return;
                }
                validated_ += ok;
                return;
            }
            case Way::Decode: {
                std::string error;
                if (!decoder_.Feed(fresh, last, text_, error)) Undecodable(error);
                return;
            }
        }
    }

    void Undecodable(const std::string& error) {
        if (fall_back_ && encoding_.Kind != text::EncodingKind::Bytes)
            wrong_guess_ = true;
        else
            decode_error_ = error;
    }

    files::fs::File file_;
    int64_t cap_;
    files::LineEnds mode_;
    files::LineSplitter splitter_;
    files::EncodingChoice choice_;
    bool fall_back_;
    text::Encoding encoding_{text::EncodingKind::Bytes, false, {}};
    text::Decoder decoder_;
    Way way_ = Way::Pass;
    std::string raw_;   // the file's bytes read so far
    std::string text_;  // their text
    std::size_t validated_ = 0;  // Validate: the text known to be UTF-8
    std::size_t pos_ = 0;
    std::size_t searched_ = 0;
    bool started_ = false;
    bool eof_ = false;
    bool capped_ = false;
    bool failed_ = false;
    bool wrong_guess_ = false;
    std::string decode_error_;
    std::optional<text::Encoding> forced_;
};

}  // namespace

int32_t PreviewRowOf(const tables::ArrayOfFiles& list, int32_t selected_row) {
    if (selected_row >= 1 && selected_row <= list.RowCount && IsFileRow(list, selected_row))
        return selected_row;
    for (int32_t row = 1; row <= list.RowCount; ++row)
        if (IsFileRow(list, row)) return row;
    return 0;
}

namespace {

using SelectedLines = std::vector<std::pair<int32_t, HeldLine>>;

// The selected lines, in the order the run writes them; false when the run would need the whole file
// (counting from the end, downward or repeating pieces), which is then read up to the cap.
bool SelectLines(CappedLines& reader, const run::RunSettings& s, bool use_interval, std::size_t wanted,
                 SelectedLines& selected) {
    std::vector<run::StreamPiece> plan;
    const bool streaming = !use_interval || run::PlanStreamingInterval(s.IntervalText, plan);
    HeldLine line;
    if (streaming) {
        // The lines stream past: reading ends once enough of them are selected.
        if (!use_interval) plan.assign(1, run::StreamPiece{1, 0, true});
        std::size_t piece = 0;
        int32_t number = 0;
        while (selected.size() < wanted && piece < plan.size() && reader.Next(line)) {
            ++number;
            if (number < plan[piece].Start) continue;
            selected.emplace_back(number, line);
            if (!plan[piece].OpenEnd && number >= plan[piece].End) ++piece;
        }
        return true;
    }
    std::vector<HeldLine> lines;
    while (reader.Next(line)) lines.push_back(line);
    const int32_t count = static_cast<int32_t>(std::min<std::size_t>(lines.size(), 2147483647));
    text::LoopT loop;
    text::InitLoop(loop, s.IntervalText, 1, count);
    while (selected.size() < wanted && text::NextInLoop(loop)) {
        if (loop.Current < 1 || loop.Current > count) continue;
        selected.emplace_back(loop.Current, lines[static_cast<std::size_t>(loop.Current - 1)]);
    }
    return false;
}

// ---- A file over the cap whose interval counts from the end: the run numbers its lines over the
// whole file, so the whole file is scanned for its line count, remembering where some lines start,
// and the selected lines are then read where they lie.

enum class WholeFileResult : uint8_t { Done, ReadAgain, Stopped };

// Selects the lines of a file over the cap as the run does, numbered over the whole file, and copies
// them into `arena`. ReadAgain: bytes beyond the cap proved the detected encoding wrong (p.encoding
// then holds the next guess). Stopped: p.message says why nothing (more) shows.
WholeFileResult SelectFromWholeFile(CappedLines& reader, const PreviewRequestT& request, bool wrong_on_failure,
                                    std::size_t wanted, SelectedLines& selected, std::string& arena,
                                    PreviewT& p, const files::EncodingChoice& choice) {
    const run::RunSettings& s = request.settings;
    const std::string name = NameOf(request.file);
    files::LineCountOptions options;
    if (reader.Checks())
        options.Check = p.encoding.Kind == text::EncodingKind::Utf8 ? files::CountCheck::Validate
                                                                    : files::CountCheck::Decode;
    options.WrongOnFailure = wrong_on_failure;
    options.MaxBytes = request.max_count_bytes;
    options.Cancel = request.cancel;
    files::LineIndex c;
    files::CountLines(reader.Source(), p.encoding, s.LineEnds, options, c);
    if (c.Cancelled) {
        p.message = "Preview stopped";
        return WholeFileResult::Stopped;
    }
    if (c.WrongGuess) {
        p.encoding = NextGuess(p.encoding, choice);
        return WholeFileResult::ReadAgain;
    }
    if (c.TooBig) {
        p.ok = true;
        p.message = name + ": lines counted from the end of a file over " + SizeText(request.max_count_bytes) +
                    " are not previewed";
        return WholeFileResult::Stopped;
    }
    if (c.Failed) {
        const int error = reader.Source().Error();
        p.message = "Cannot read " + request.file + ": " +
                    (error ? std::string(std::strerror(error)) : std::string("read error"));
        return WholeFileResult::Stopped;
    }
    if (!c.DecodeError.empty()) {
        p.message = name + " is not " + p.encoding.Label() + " text: " + c.DecodeError;
        return WholeFileResult::Stopped;
    }
    p.counted = true;
    p.capped = false;
    p.line_count = c.Lines;
    if (c.Rule != files::LineEnds::Auto) p.rule = c.Rule;

    const int32_t count = static_cast<int32_t>(std::min<int64_t>(c.Lines, 2147483647));
    std::vector<int32_t> numbers;
    text::LoopT loop;
    text::InitLoop(loop, s.IntervalText, 1, count);
    while (numbers.size() < wanted && text::NextInLoop(loop))
        if (loop.Current >= 1 && loop.Current <= count) numbers.push_back(loop.Current);

    // Each wanted line once, in file order, read from the remembered start before it unless the
    // reading is already there.
    std::vector<int32_t> order = numbers;
    std::sort(order.begin(), order.end());
    order.erase(std::unique(order.begin(), order.end()), order.end());
    std::vector<std::pair<int32_t, HeldLine>> found;
    files::LinesFrom lines(reader.Source(), p.encoding, c.Rule, request.max_bytes);
    bool started = false;
    bool stopped = false;
    for (const int32_t number : order) {
        const files::LineMark* mark = &c.Marks[c.BlockOf(number)];
        if (!started || lines.Number() >= number || mark->line > lines.Number() + 1) {
            started = true;
            if (!lines.Start(*mark)) {
                stopped = true;
                break;
            }
        }
        std::string_view line;
        files::LineEnd end = files::LineEnd::None;
        bool ok = true;
        while (lines.Number() < number && (ok = lines.Next(line, end))) {
        }
        if (!ok) {
            stopped = true;
            break;
        }
        HeldLine held{arena.size(), line.size(), files::LineEndText(end).size(), end};
        arena.append(line);
        arena.append(files::LineEndText(end));
        found.emplace_back(number, held);
    }
    for (const int32_t number : numbers) {
        const auto hit = std::lower_bound(found.begin(), found.end(), number,
                                          [](const auto& f, int32_t n) { return f.first < n; });
        // The rows stop at the first line that could not be read: none shows out of order.
        if (hit == found.end() || hit->first != number) break;
        selected.push_back(*hit);
    }
    if (stopped && selected.size() < numbers.size()) {
        p.ok = true;
        const int32_t missing = numbers[selected.size()];
        p.message = lines.TooLong() ? name + ": line " + std::to_string(missing) + " is longer than " +
                                          SizeText(request.max_bytes) + " and is not previewed"
                                    : "Cannot read line " + std::to_string(missing) + " of " + request.file;
        return WholeFileResult::Stopped;
    }
    return WholeFileResult::Done;
}

// What Start would write for each selected line, through a template record of the preview's own,
// initialised as the window's is at start-up: whatever the template counts or defines here is gone
// when the preview is.
void ExpandRows(const PreviewRequestT& request, const SelectedLines& selected, const std::string& text,
                bool use_template, PreviewT& p) {
    const run::RunSettings& s = request.settings;
    tmpl::TemplateRecordT record;
    run::ContextLineExpander expander(record.Context);
    p.rows.reserve(selected.size());
    for (const auto& [number, held] : selected) {
        PreviewRowT row;
        row.line = number;
        row.input = text.substr(held.at, held.length);
        row.end = held.end;
        const std::string_view eol = files::OutputLineEnd(s.LineEnds, held.end);
        if (p.copies) {
            row.output = text.substr(held.at, held.length + held.terminator);
        } else if (!use_template) {
            row.output = row.input;
            row.output += eol;
        } else {
            row.trace.MaxSteps = kPreviewTraceSteps;
            record.Context.Trace = request.trace ? &row.trace : nullptr;
            // "eol" is the line's own end under auto (none for a last line without one), else the forced one.
            expander.SetLineEnd(eol);
            row.output = expander.ExpandLine(s.TemplateText, row.input);
            record.Context.Trace = nullptr;
        }
        p.rows.push_back(std::move(row));
    }
}

// The status line under the preview: the file, how it was read, and what shows.
std::string PreviewMessage(const PreviewT& p, const std::string& path, int64_t max_bytes, std::size_t wanted, files::LineEnds mode, bool no_text) {
    const std::string name = NameOf(path);
    if (no_text && !p.capped) return name + " is empty";
    // The encoding as the run's report names it; under auto the file decided where its lines end too,
    // which the rows alone do not tell.
    std::string facts = p.encoding.Label();
    if (mode == files::LineEnds::Auto && p.rule == files::LineEnds::Crlf) facts += ", lines end at CR LF";
    if (mode == files::LineEnds::Auto && p.rule == files::LineEnds::Lf) facts += ", lines end at every LF";
    const std::string head = name + " (" + facts + "): ";
    const std::string cap = "only its first " + SizeText(max_bytes) + " were read";
    if (p.capped && p.rows.size() < wanted) return head + cap;
    if (p.rows.empty()) return head + "the interval selects no line";
    if (p.copies) return head + "copied unchanged, neither option is in effect";
    // Over the cap the whole file was scanned for its line count: saying so explains the wait.
    const std::string counted = p.counted ? " of its " + std::to_string(p.line_count) + " lines" : "";
    if (p.rows.size() == 1) return head + "the only selected line" + counted;
    return head + (p.rows.size() < wanted ? "all " : "the first ") + std::to_string(p.rows.size()) +
           " selected lines" + counted;
}

}  // namespace

PreviewT BuildPreview(const PreviewRequestT& request) {
    PreviewT p;
    const run::RunSettings& s = request.settings;
    const std::string& path = request.file;
    if (path.empty()) {
        p.message = "No file to preview: populate the file list";
        return p;
    }
    // The encodings exactly as the run takes them from the settings; a name that names none would
    // skip every rewrite.
    const tables::ArrayOfFiles no_files, no_lines;
    const run::RunPlan plan = run::MakeRunPlan(no_files, no_lines, s, false);
    if (!plan.EncodingError.empty()) {
        p.message = plan.EncodingError;
        return p;
    }
    files::fs::PathFacts facts;
    if (!files::fs::GetFacts(path, facts) || !facts.exists) {
        p.message = "Cannot read " + path + ": the file does not exist";
        return p;
    }
    p.copies = run::CopiesFiles(s);
    // A copy never decodes: bytes that are not text in the encoding chosen are shown as bytes.
    const bool fall_back = plan.Encodings.Detect || p.copies;
    const bool use_template = !p.copies && s.TemplateActive && !s.TemplateText.empty();
    const bool use_interval = !p.copies && s.IntervalActive;
    const std::size_t wanted = static_cast<std::size_t>(std::max(request.max_rows, 0));
    // A file over the cap whose interval counts from the end is counted whole, which checks its
    // encoding from the first byte on: the head read then only needs the block the encoding is
    // detected in.
    std::vector<run::StreamPiece> pieces;
    const bool whole = use_interval && facts.size > request.max_bytes &&
                       !run::PlanStreamingInterval(s.IntervalText, pieces);
    const int64_t cap = whole ? std::min(request.max_bytes, kPreviewHeadBytes) : request.max_bytes;
    std::optional<text::Encoding> forced;
    for (;;) {
        CappedLines reader(cap, s.LineEnds, plan.Encodings, fall_back);
        if (forced) reader.Force(*forced);
        if (!facts.is_file || !reader.Open(path)) {
            p.message = "Cannot read " + path + ": " +
                        (!facts.is_file || reader.NotRegular() ? std::string("it is not a file")
                                                               : std::string(std::strerror(reader.Error())));
            return p;
        }
        SelectedLines selected;
        bool streaming = SelectLines(reader, s, use_interval, wanted, selected);
        while (reader.WrongGuess()) {
            reader.Reread();
            selected.clear();
            streaming = SelectLines(reader, s, use_interval, wanted, selected);
        }
        p.bytes_read = reader.BytesRead();
        p.capped = reader.Capped();
        p.rule = reader.Rule();
        p.encoding = reader.FileEncoding();
        if (reader.Failed()) {
            p.message = "Cannot read " + path + ": " +
                        (reader.Error() ? std::string(std::strerror(reader.Error())) : std::string("read error"));
            return p;
        }
        if (!reader.DecodeError().empty()) {
            // As the run words the skip of such a file.
            p.message = NameOf(path) + " is not " + p.encoding.Label() + " text: " + reader.DecodeError();
            return p;
        }
        // Lines counted from the end of what was read are not those the run counts from the end of
        // the file: the line count comes from the whole file.
        std::string arena;
        const std::string* text = &reader.Text();
        bool stopped = false;
        if (!streaming && p.capped) {
            selected.clear();
            const WholeFileResult r =
                SelectFromWholeFile(reader, request, fall_back, wanted, selected, arena, p, plan.Encodings);
            if (r == WholeFileResult::ReadAgain) {
                forced = p.encoding;
                continue;
            }
            if (r == WholeFileResult::Stopped && !p.ok) return p;
            stopped = r == WholeFileResult::Stopped;
            text = &arena;
        }
        p.ok = true;
        {
            // Characters are code points, unless the file is read as bytes (as in the run's rewrite).
            text::CharModelScope model(p.encoding.Kind == text::EncodingKind::Bytes ? text::CharModel::Bytes
                                                                                    : text::CharModel::Utf8);
            ExpandRows(request, selected, *text, use_template, p);
        }
        if (!stopped)
            p.message = PreviewMessage(p, path, request.max_bytes, wanted, s.LineEnds,
                                       reader.Text().empty());
        return p;
    }
}

std::string EscapeNonUtf8(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::size_t ok = text::ValidUtf8Prefix(text);
        out.append(text.substr(0, ok));
        if (ok == text.size()) break;
        // One byte that starts no character; what follows may be a character again.
        const auto b = static_cast<unsigned char>(text[ok]);
        out += "\\x";
        out += kHex[b >> 4];
        out += kHex[b & 15];
        text.remove_prefix(ok + 1);
    }
    return out;
}

std::string DisplayText(std::string_view text) {
    return EscapeNonUtf8(tmpl::VisibleText(text));
}

}  // namespace rowsmith::gui
