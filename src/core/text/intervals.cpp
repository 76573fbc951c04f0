#include "text/intervals.h"

#include <algorithm>
#include <limits>

#include "text/replace.h"
#include "text/utf8.h"

namespace rowsmith::text {

namespace {

bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }

// Value of the digit run starting at pos (0 for no run, and for a run beyond 2147483647); pos moves
// past the run.
int32_t ReadDigitRun(std::string_view s, std::size_t& pos) {
    int64_t v = 0;
    bool overflow = false;
    while (pos < s.size() && IsDigitChar(s[pos])) {
        if (!overflow) {
            v = v * 10 + (s[pos] - '0');
            if (v > 2147483647) overflow = true;
        }
        ++pos;
    }
    return overflow ? 0 : static_cast<int32_t>(v);
}

int64_t Clamp(int64_t x, int64_t low, int64_t high) { return std::min(high, std::max(x, low)); }

}  // namespace

std::string NormaliseIntervalText(std::string_view text) {
    // The repeating engine turns every run of semicolons into one.
    std::string r = ReplaceEverywhere(";;", ";", text);
    if (r == ";") r.clear();
    if (!r.empty() && r.back() == ';') r.pop_back();
    if (!r.empty() && r.front() == ';') r.erase(0, 1);
    return r;
}

IntervalKind ResolveInterval(int32_t a, int32_t b, int32_t low, int32_t high, int32_t& start_out,
                             int32_t& end_out) {
    int64_t start = a;
    int64_t end = b;
    int64_t ka = a;
    int64_t kb = b;
    if (a == kMissingStart) {
        start = low;
        end = high;
        ka = kb = low;
    } else {
        if (start < 0) start += static_cast<int64_t>(high) + 1;
        if (end < 0)
            end += static_cast<int64_t>(high) + 1;
        else if (end == 0)
            end = start;
    }
    IntervalKind kind;
    if ((start > high && end > high) || (start < low && end < low) || (ka > high && kb < 0))
        kind = Invalid;
    else if (start > end)
        kind = Downward;
    else
        kind = Upward;
    start = Clamp(start, low, high);
    end = Clamp(end, low, high);
    start_out = static_cast<int32_t>(start);
    end_out = static_cast<int32_t>(end);
    return kind;
}

IntervalKind ParseIntervalPiece(std::string_view piece_in, int32_t low, int32_t high, int32_t& start,
                                int32_t& end) {
    std::string piece(piece_in.empty() ? std::string_view("1-") : piece_in);
    const std::size_t first_digit = piece.find_first_of("0123456789");
    // A piece without any digit sets no range of its own; it is skipped.
    if (first_digit == std::string::npos) {
        start = 0;
        end = 0;
        return Invalid;
    }
    if (piece.back() == '-') piece += "-1";
    const bool start_negative = first_digit > 0 && piece[first_digit - 1] == '-';
    std::size_t pos = first_digit;
    int32_t a = ReadDigitRun(piece, pos);
    if (start_negative) a = -a;
    // Any single character separates start and end.
    std::string_view rest = std::string_view(piece).substr(std::min(piece.size(), pos + 1));
    bool end_negative = false;
    if (!rest.empty() && rest.front() == '-') {
        end_negative = true;
        rest.remove_prefix(1);
    }
    std::size_t rpos = 0;
    int32_t b = ReadDigitRun(rest, rpos);
    if (end_negative) b = -b;
    return ResolveInterval(a, b, low, high, start, end);
}

bool AdvanceLoop(LoopT& loop) {
    for (;;) {
        if (loop.Lookahead == -1) {
            if (loop.RemainingPos >= loop.Remaining.size()) {
                loop.Remaining.clear();
                loop.RemainingPos = 0;
                return false;
            }
            const std::string_view rest = std::string_view(loop.Remaining).substr(loop.RemainingPos);
            const std::size_t semi = rest.find(';');
            std::string_view piece;
            if (semi == std::string_view::npos) {
                piece = rest;
                loop.RemainingPos = loop.Remaining.size();
            } else {
                piece = rest.substr(0, semi);
                loop.RemainingPos += semi + 1;
            }
            if (piece.empty()) continue;
            loop.Kind = ParseIntervalPiece(piece, loop.Low, loop.High, loop.RangeStart, loop.RangeEnd);
            if (loop.Kind == Invalid) continue;
            loop.Lookahead = loop.RangeStart;
        } else {
            // A range may end at the largest (or smallest) 32-bit number: stepping past it ends the range.
            const int32_t edge = loop.Kind == Upward ? std::numeric_limits<int32_t>::max()
                                                     : std::numeric_limits<int32_t>::min();
            if (loop.Lookahead == edge) {
                loop.Lookahead = -1;
                continue;
            }
            loop.Lookahead += loop.Kind == Upward ? 1 : -1;
        }
        const int32_t lo = std::min(loop.RangeStart, loop.RangeEnd);
        const int32_t hi = std::max(loop.RangeStart, loop.RangeEnd);
        if (loop.Lookahead < lo || loop.Lookahead > hi) {
            loop.Lookahead = -1;
            continue;
        }
        if (loop.Lookahead < 1) continue;
        if (loop.Table) {
            if (loop.Lookahead > loop.Table->IntervalRowCount()) continue;
            if (!loop.Table->IntervalRowIncluded(loop.Lookahead)) continue;
        }
        return true;
    }
}

void RestartLoop(LoopT& loop) {
    loop.Remaining = loop.Text.empty() ? std::string("1-") : loop.Text;
    loop.RemainingPos = 0;
    loop.Current = -1;
    loop.Lookahead = -1;
    loop.HasNext = AdvanceLoop(loop) ? 1 : 0;
}

void InitLoop(LoopT& loop, std::string_view text, int32_t low, int32_t high) {
    loop.Text = NormaliseIntervalText(text);
    loop.Low = low;
    loop.High = high;
    loop.Table = nullptr;
    RestartLoop(loop);
}

void StartLoopOnTable(LoopT& loop, std::string_view text, const IntervalRows* table) {
    if (!table) {
        InitLoop(loop, text, 1, 1);
        return;
    }
    InitLoop(loop, text, 1, table->IntervalRowCount());
    loop.Table = table;
}

bool NextInLoop(LoopT& loop) {
    loop.Current = loop.Lookahead;
    const bool had_next = loop.HasNext != 0;
    loop.HasNext = (had_next && AdvanceLoop(loop)) ? 1 : 0;
    if (loop.HasNext && had_next) {
        loop.IsLast = 0;
    } else {
        loop.IsLast = 1;
        loop.Lookahead = -1;
    }
    return had_next;
}

std::string CharsByIntervals(std::string_view text, std::string_view intervals) {
    if (CountsCodePoints(text)) {
        // Characters by number; stray bytes come back as the bytes they were.
        const std::u32string chars = ToCodePoints(text);
        LoopT loop;
        InitLoop(loop, intervals, 1, static_cast<int32_t>(std::min<std::size_t>(chars.size(), 2147483647)));
        std::string r;
        while (NextInLoop(loop))
            if (loop.Current >= 1 && static_cast<std::size_t>(loop.Current) <= chars.size())
                AppendUtf8(r, chars[static_cast<std::size_t>(loop.Current - 1)]);
        return r;
    }
    LoopT loop;
    InitLoop(loop, intervals, 1, static_cast<int32_t>(std::min<std::size_t>(text.size(), 2147483647)));
    std::string r;
    while (NextInLoop(loop)) {
        if (loop.Current >= 1 && static_cast<std::size_t>(loop.Current) <= text.size()) r += text[loop.Current - 1];
    }
    return r;
}

}  // namespace rowsmith::text
