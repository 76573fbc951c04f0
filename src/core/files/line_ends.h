#pragma once
// Line ends as each file writes them: which LF ends a line (decided per file in `auto`), the end a
// line had, and the end it gets in the output.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

namespace rowsmith::files {

// auto: per file from its first line end; crlf: only CR LF ends a line (the format's rule) and every
// output line ends with CR LF; lf: every LF ends a line (a CR before it belongs to the end) and every
// output line ends with LF.
enum class LineEnds : uint8_t { Auto, Crlf, Lf };

bool ParseLineEnds(std::string_view word, LineEnds& out);  // "auto", "crlf", "lf" (any case)
std::string_view LineEndsWord(LineEnds ends);               // "auto", "crlf", "lf"

// What a line ended with in its file.
enum class LineEnd : uint8_t { None, Lf, Crlf };
inline std::string_view LineEndText(LineEnd e) {
    return e == LineEnd::Crlf ? std::string_view("\r\n") : e == LineEnd::Lf ? std::string_view("\n") : std::string_view();
}
// The end a line gets in the output: its own under auto (none for a last line without one), else the
// forced one.
inline std::string_view OutputLineEnd(LineEnds mode, LineEnd own) {
    return mode == LineEnds::Auto ? LineEndText(own) : mode == LineEnds::Crlf ? "\r\n" : "\n";
}

// The rule of one file: whether an LF ends a line. Under auto the first LF of the file decides: after
// a CR, only CR LF ends lines (a lone LF stays in the line); alone, every LF does.
class LineSplitter {
public:
    explicit LineSplitter(LineEnds mode = LineEnds::Crlf) { Reset(mode); }
    void Reset(LineEnds mode) {
        mode_ = mode;
        split_all_ = mode == LineEnds::Lf;
        decided_ = mode != LineEnds::Auto;
    }
    // `lf` is the position of an LF in `data`, `line_start` where the current line starts.
    bool Ends(const char* data, std::size_t line_start, std::size_t lf) {
        const bool after_cr = lf > line_start && data[lf - 1] == '\r';
        if (!decided_) {
            decided_ = true;
            split_all_ = !after_cr;
        }
        return split_all_ || after_cr;
    }
    // The end of a line that ended at the LF at `lf`.
    static LineEnd EndAt(const char* data, std::size_t line_start, std::size_t lf) {
        return lf > line_start && data[lf - 1] == '\r' ? LineEnd::Crlf : LineEnd::Lf;
    }
    // The file's rule once its first LF was seen: Crlf or Lf; Auto before (no LF yet, or none at all).
    LineEnds Rule() const { return !decided_ ? LineEnds::Auto : split_all_ ? LineEnds::Lf : LineEnds::Crlf; }
    bool SplitsAll() const { return split_all_; }

private:
    LineEnds mode_ = LineEnds::Crlf;
    bool split_all_ = false;
    bool decided_ = true;
};

// Splits whole lines of a file whose rule is decided (Crlf: only CR LF ends a line; Lf: every LF, a
// CR before it making the end CR LF) and calls put(line, end) for each, the end not part of the
// line; stops when put returns false (and returns false). The last piece may lack an end.
template <class Put>
bool ForEachLine(std::string_view text, LineEnds rule, Put&& put) {
    const bool split_all = rule == LineEnds::Lf;
    std::size_t start = 0;
    for (std::size_t from = 0; start < text.size();) {
        const std::size_t lf = text.find('\n', from);
        if (lf == std::string_view::npos) return put(text.substr(start), LineEnd::None);
        from = lf + 1;
        const bool after_cr = lf > start && text[lf - 1] == '\r';
        if (!split_all && !after_cr) continue;
        if (!put(text.substr(start, lf - start - (after_cr ? 1 : 0)), after_cr ? LineEnd::Crlf : LineEnd::Lf))
            return false;
        start = from;
    }
    return true;
}

// The whole lines at the start of `text` under a decided rule (split_all: every LF ends a line, else
// only CR LF): the bytes they take, through the last line end, and how many they are; none when no
// LF ends a line there. No LF before `from` ends one (the caller searched there already).
struct WholeLines {
    std::size_t Bytes = 0;
    int64_t Lines = 0;
    // What the last of them ended with (when there is one).
    LineEnd LastEnd(std::string_view text) const {
        return Bytes >= 2 && text[Bytes - 2] == '\r' ? LineEnd::Crlf : LineEnd::Lf;
    }
};
// At most `most` lines are taken (the block is cut after the last of them). The search goes 32 bytes
// at a time instead of one call a line.
WholeLines CountWholeLines(std::string_view text, bool split_all, std::size_t from = 0,
                           int64_t most = std::numeric_limits<int64_t>::max());

}  // namespace rowsmith::files
