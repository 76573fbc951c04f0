#include "files/line_index.h"

#include <algorithm>
#include <cstring>

#include "text/utf8.h"

namespace rowsmith::files {

namespace {

constexpr std::size_t npos = std::string::npos;
constexpr int64_t kCountBlock = int64_t{1} << 20;
constexpr int64_t kLinesBlock = int64_t{64} << 10;

// The code unit LF and CR are in: two or four bytes for UTF-16 and UTF-32 (a position must stay on
// a unit), else one byte.
struct UnitsT {
    std::size_t size = 1;
    bool big = false;
};
UnitsT UnitsOf(const text::Encoding& e) {
    switch (e.Kind) {
        case text::EncodingKind::Utf16LE: return {2, false};
        case text::EncodingKind::Utf16BE: return {2, true};
        case text::EncodingKind::Utf32LE: return {4, false};
        case text::EncodingKind::Utf32BE: return {4, true};
        default: return {1, false};
    }
}
uint32_t UnitAt(const char* at, UnitsT u) {
    uint32_t v = 0;
    for (std::size_t i = 0; i < u.size; ++i)
        v = (v << 8) | static_cast<unsigned char>(at[u.big ? i : u.size - 1 - i]);
    return v;
}

bool DecodesInPlace(const text::Encoding& e) {
    return e.Kind != text::EncodingKind::Utf8 && e.Kind != text::EncodingKind::Bytes;
}

}  // namespace

// A UTF-8 sequence begun but cut off by the end of what was read (the next block may complete it).
bool IsCutUtf8(std::string_view tail) {
    if (tail.empty() || tail.size() > 3) return false;
    const auto lead = static_cast<unsigned char>(tail[0]);
    const std::size_t need = lead >= 0xC2 && lead <= 0xDF   ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
    if (need == 0 || tail.size() >= need) return false;
    for (std::size_t i = 1; i < tail.size(); ++i)
        if ((static_cast<unsigned char>(tail[i]) & 0xC0) != 0x80) return false;
    return true;
}

std::size_t LineIndex::BlockOf(int64_t n) const {
    const auto after = std::upper_bound(Marks.begin(), Marks.end(), n,
                                        [](int64_t v, const LineMark& m) { return v < m.line; });
    return after == Marks.begin() ? 0 : static_cast<std::size_t>(after - Marks.begin() - 1);
}

void CountLines(fs::File& file, const text::Encoding& e, LineEnds mode, const LineCountOptions& o, LineIndex& c) {
    c.Lines = 0;
    c.Rule = LineEnds::Auto;
    c.Marks.clear();
    c.TooBig = c.Failed = c.WrongGuess = c.Cancelled = false;
    c.Error = 0;
    c.DecodeError.clear();
    const UnitsT u = UnitsOf(e);
    const int64_t start = static_cast<int64_t>(text::BomBytes(e).size());
    c.End = start;
    LineSplitter splitter(mode);
    text::Decoder decoder;
    std::string error;
    const bool decode = o.Check == CountCheck::Decode && DecodesInPlace(e);
    const bool validate = o.Check == CountCheck::Validate && e.Kind == text::EncodingKind::Utf8;
    if (decode && !decoder.Open(e, error)) {
        c.DecodeError = error;
        return;
    }
    const int64_t mark_bytes = std::max<int64_t>(o.MarkBytes, 1);
    std::string buf(static_cast<std::size_t>(kCountBlock) + 4, '\0');
    std::string scratch;
    int64_t at = start;    // file offset of buf[0]
    int64_t end = start;   // of the bytes read
    std::size_t have = 0;  // bytes kept at buf's start: a unit or a UTF-8 character cut by the block
    bool prev_cr = false;  // the unit before buf[0] is a CR
    int64_t line_start = start;
    int64_t next_mark = start + mark_bytes;
    c.Marks.push_back({1, start});
    // The splitter judges an LF by the unit before it inside the line (never a CR of an ended line:
    // that unit would be an LF).
    static constexpr char kAfterCr[] = "\r\n";
    static constexpr char kAlone[] = " \n";
    auto at_lf = [&](int64_t next_start, bool after_cr) {
        if (!splitter.Ends(after_cr ? kAfterCr : kAlone, 0, 1)) return;
        ++c.Lines;
        line_start = next_start;
        if (line_start >= next_mark) {
            c.Marks.push_back({c.Lines + 1, line_start});
            next_mark = line_start + mark_bytes;
        }
    };
    for (;;) {
        if (end - start > o.MaxBytes) {
            c.TooBig = true;
            return;
        }
        if (o.Cancel != nullptr && o.Cancel->load(std::memory_order_relaxed)) {
            c.Cancelled = true;
            return;
        }
        const int64_t got = file.ReadAt(buf.data() + have, kCountBlock, end);
        if (got < 0) {
            c.Failed = true;
            c.Error = file.Error();
            return;
        }
        if (decode) {
            const bool ok = decoder.Feed(std::string_view(buf.data() + have, static_cast<std::size_t>(got)),
                                         got == 0, scratch, error);
            scratch.clear();
            if (!ok) {
                if (o.WrongOnFailure)
                    c.WrongGuess = true;
                else
                    c.DecodeError = error;
                return;
            }
        }
        std::size_t keep = 0;  // bytes at the end that wait for the next block
        if (validate) {
            // As the reader validates a guess: a character cut by the block waits, one cut by the end fails.
            const std::string_view fresh(buf.data(), have + static_cast<std::size_t>(got));
            const std::size_t ok = text::ValidUtf8Prefix(fresh);
            if (ok < fresh.size()) {
                if (got == 0 || !IsCutUtf8(fresh.substr(ok))) {
                    c.WrongGuess = true;
                    return;
                }
                keep = fresh.size() - ok;
            }
        }
        if (got == 0) break;
        end += got;
        const std::size_t scanned_from = u.size == 1 ? have : 0;  // a kept UTF-8 tail holds no LF
        have += static_cast<std::size_t>(got);
        const char* d = buf.data();
        const std::size_t units = have / u.size;
        if (u.size == 1) {
            const char* from = d + scanned_from;
            const char* stop = d + have;
            while (const void* hit = std::memchr(from, '\n', static_cast<std::size_t>(stop - from))) {
                const std::size_t i = static_cast<std::size_t>(static_cast<const char*>(hit) - d);
                at_lf(at + static_cast<int64_t>(i) + 1, i > 0 ? d[i - 1] == '\r' : prev_cr);
                from = d + i + 1;
            }
        } else {
            for (std::size_t i = 0; i < units; ++i) {
                if (UnitAt(d + i * u.size, u) != 0x0A) continue;
                const bool after_cr = i > 0 ? UnitAt(d + (i - 1) * u.size, u) == 0x0D : prev_cr;
                at_lf(at + static_cast<int64_t>((i + 1) * u.size), after_cr);
            }
            keep = have - units * u.size;
        }
        const std::size_t used = have - keep;
        if (used > 0) prev_cr = UnitAt(d + used - u.size, u) == 0x0D;
        std::memmove(buf.data(), d + used, keep);
        have = keep;
        at += static_cast<int64_t>(used);
        if (o.Progress) o.Progress(end, c.Lines);
    }
    // Text after the last line end is a last line without one.
    if (line_start < end) ++c.Lines;
    c.End = end;
    c.Rule = splitter.Rule();
}

// ---------------------------------------------------------------- IndexedLines

IndexedLines::IndexedLines(fs::File& file, const text::Encoding& e, const LineIndex& index)
    : file_(file), encoding_(e), index_(index), decode_(DecodesInPlace(e)) {}

bool IndexedLines::Get(int64_t n, std::string_view& line, LineEnd& end) {
    if (n < 1 || n > index_.Lines) return false;
    if (block_ == static_cast<std::size_t>(-1) || n < first_ ||
        n >= first_ + static_cast<int64_t>(ends_.size())) {
        if (!Load(index_.BlockOf(n))) return false;
    }
    const std::size_t k = static_cast<std::size_t>(n - first_);
    const std::size_t from = starts_[k];
    std::size_t to = starts_[k + 1];
    to -= LineEndText(ends_[k]).size();
    line = std::string_view(text_).substr(from, to - from);
    end = ends_[k];
    return true;
}

bool IndexedLines::Load(std::size_t block) {
    block_ = static_cast<std::size_t>(-1);
    const std::vector<LineMark>& marks = index_.Marks;
    const int64_t from = marks[block].at;
    const bool last = block + 1 >= marks.size();
    const int64_t to = last ? index_.End : marks[block + 1].at;
    const int64_t expected = (last ? index_.Lines + 1 : marks[block + 1].line) - marks[block].line;
    std::string& into = decode_ ? raw_ : text_;
    into.resize(static_cast<std::size_t>(to - from));
    for (int64_t done = 0; done < to - from;) {
        const int64_t got = file_.ReadAt(into.data() + done, to - from - done, from + done);
        if (got <= 0) {
            // Shorter than counted: the file changed.
            error_ = got < 0 ? file_.Error() : EIO;
            return false;
        }
        done += got;
    }
    if (decode_) {
        std::string error;
        text_.clear();
        // Every mark is a line start, where no character is cut: each block decodes on its own.
        if (!decoder_.Open(encoding_, error) || !decoder_.Feed(raw_, true, text_, error)) {
            error_ = EILSEQ;
            return false;
        }
    }
    starts_.clear();
    ends_.clear();
    LineSplitter splitter(index_.Rule == LineEnds::Crlf ? LineEnds::Crlf : LineEnds::Lf);
    std::size_t pos = 0;
    for (std::size_t lf = text_.find('\n'); lf != npos; lf = text_.find('\n', lf + 1)) {
        if (!splitter.Ends(text_.data(), pos, lf)) continue;
        starts_.push_back(pos);
        ends_.push_back(LineSplitter::EndAt(text_.data(), pos, lf));
        pos = lf + 1;
    }
    if (pos < text_.size()) {
        starts_.push_back(pos);
        ends_.push_back(LineEnd::None);
    }
    starts_.push_back(text_.size());
    if (static_cast<int64_t>(ends_.size()) != expected) {
        error_ = EIO;
        return false;
    }
    block_ = block;
    first_ = marks[block].line;
    return true;
}

// ---------------------------------------------------------------- LinesFrom

LinesFrom::LinesFrom(fs::File& file, const text::Encoding& e, LineEnds rule, int64_t limit)
    : file_(file), encoding_(e), splitter_(rule == LineEnds::Crlf ? rule : LineEnds::Lf),
      limit_(static_cast<std::size_t>(std::max<int64_t>(limit, 1))) {}

bool LinesFrom::Start(const LineMark& mark) {
    offset_ = mark.at;
    number_ = mark.line - 1;
    text_.clear();
    pos_ = searched_ = 0;
    eof_ = false;
    decode_ = DecodesInPlace(encoding_);
    std::string error;
    return !decode_ || decoder_.Open(encoding_, error);
}

bool LinesFrom::Next(std::string_view& line, LineEnd& end) {
    for (;;) {
        std::size_t lf = text_.find('\n', std::max(searched_, pos_));
        while (lf != npos) {
            if (splitter_.Ends(text_.data(), pos_, lf)) {
                end = LineSplitter::EndAt(text_.data(), pos_, lf);
                const std::size_t terminator = end == LineEnd::Crlf ? 2 : 1;
                line = std::string_view(text_).substr(pos_, lf + 1 - terminator - pos_);
                pos_ = searched_ = lf + 1;
                ++number_;
                too_long_ = line.size() > limit_;
                return !too_long_;
            }
            lf = text_.find('\n', lf + 1);
        }
        searched_ = text_.size();
        if (text_.size() - pos_ > limit_) {
            too_long_ = true;
            return false;
        }
        if (eof_) {
            if (pos_ >= text_.size()) return false;
            line = std::string_view(text_).substr(pos_);
            end = LineEnd::None;
            pos_ = searched_ = text_.size();
            ++number_;
            too_long_ = line.size() > limit_;
            return !too_long_;
        }
        if (pos_ > 0) {
            // Lines handed out are done with: the buffer keeps only the line being read.
            text_.erase(0, pos_);
            searched_ -= pos_;
            pos_ = 0;
        }
        raw_.resize(static_cast<std::size_t>(kLinesBlock));
        const int64_t got = file_.ReadAt(raw_.data(), kLinesBlock, offset_);
        if (got < 0) return false;
        raw_.resize(static_cast<std::size_t>(got));
        offset_ += got;
        eof_ = got == 0;
        if (!decode_) {
            text_ += raw_;
        } else {
            std::string error;
            if (!decoder_.Feed(raw_, eof_, text_, error)) return false;
        }
    }
}

}  // namespace rowsmith::files
