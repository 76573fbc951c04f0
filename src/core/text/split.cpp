#include "text/split.h"

#include <charconv>

#include "text/numbers.h"
#include "text/search.h"
#include "text/spans.h"
#include "text/utf8.h"

namespace rowsmith::text {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// Cuts text at [at, at + sep_len): the token before it is returned, text keeps what follows.
std::string CutAt(std::string& text, std::size_t at, std::size_t sep_len) {
    if (at == npos) {
        std::string token = std::move(text);
        text.clear();
        return token;
    }
    std::string token = text.substr(0, at);
    text.erase(0, at + sep_len);
    return token;
}

bool SameStart(std::string_view part, std::string_view with, bool exact) {
    return exact ? part == with : EqualsIgnoreCase(part, with);
}

}  // namespace

std::string SplitOffFirst(std::string& text, std::string_view separator, int case_flag) {
    if (separator.empty()) return CutAt(text, npos, 0);
    return CutAt(text, FindBytes(separator, text, 0, (case_flag & 1) != 0), separator.size());
}

std::string SplitOffOutsideQuotes(std::string& text, std::string_view separator, std::string_view quote_open,
                                  std::string_view quote_close) {
    if (quote_open.empty()) return SplitOffFirst(text, separator);
    if (separator.empty()) return CutAt(text, npos, 0);
    const std::string blanked = BlankQuotedSpans(text, quote_open, quote_close);
    return CutAt(text, FindBytes(separator, blanked, 0, false), separator.size());
}

std::string SplitOffAndUnwrap(std::string& text, std::string_view separator, std::string_view quote_open,
                              std::string_view quote_close) {
    std::string token = SplitOffOutsideQuotes(text, separator, quote_open, quote_close);
    if (quote_open.empty()) return token;
    if (quote_close.empty()) quote_close = quote_open;
    return Unwrap(token, quote_open, quote_close);
}

TokenAndCharT SplitOffAtCharOfSet(std::string& text, const CharSet& set) {
    if (CountsCodePoints(text)) {
        for (std::size_t i = 0; i < text.size();) {
            const std::size_t at = i;
            const char32_t c = DecodeAt(text, i);
            if (SetHasChar(set, c)) return {CutAt(text, at, i - at), c};
        }
        return {CutAt(text, npos, 0), 0};
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (set.Has(text[i])) {
            const char32_t c = static_cast<unsigned char>(text[i]);
            return {CutAt(text, i, 1), c};
        }
    }
    return {CutAt(text, npos, 0), 0};
}

namespace {

// The earliest alternative and its byte offset (npos when none).
std::size_t EarliestAt(std::string_view text, std::string_view separators, std::string_view marker,
                       int case_flag, std::string& which) {
    std::size_t best_at = npos;
    for (std::string_view alt : SeparatorAlternatives(separators, marker)) {
        // Only the part before the best find so far can hold an earlier one.
        const std::size_t limit =
            best_at == npos ? text.size() : std::min(text.size(), best_at + alt.size() - 1);
        const std::size_t at = FindBytes(alt, text.substr(0, limit), 0, (case_flag & 1) != 0);
        if (at != npos && at < best_at) {
            best_at = at;
            which.assign(alt);
        }
    }
    return best_at;
}

}  // namespace

StringAndCountT EarliestSeparator(std::string_view text, std::string_view separators, std::string_view marker,
                                  int case_flag) {
    StringAndCountT best;
    const std::size_t at = EarliestAt(text, separators, marker, case_flag, best.Text);
    best.Count = at == npos ? 0 : CharPosition(text, at);
    return best;
}

std::string SplitOffAtEarliest(std::string& text, std::string_view separators, std::string_view marker,
                               int case_flag) {
    std::string which;
    const std::size_t at = EarliestAt(text, separators, marker, case_flag, which);
    return CutAt(text, at, which.size());
}

std::string NthItem(std::string_view text, int32_t n, std::string_view separators, std::string_view marker,
                    int case_flag) {
    if (SeparatorAlternatives(separators, marker).empty()) return n < 2 ? std::string(text) : std::string();
    std::string rest(text);
    std::string token;
    for (int32_t i = 1; i <= n; ++i) {
        if (i > 1 && rest.empty()) return {};
        token = SplitOffAtEarliest(rest, separators, marker, case_flag);
    }
    return token;
}

std::string FirstToken(std::string_view text, std::string_view separator) {
    const std::size_t at = FindBytes(separator, text, 0, false);
    return std::string(at == npos ? text : text.substr(0, at));
}

std::string AfterFirst(std::string_view text, std::string_view separator) {
    const std::size_t at = FindBytes(separator, text, 0, false);
    return at == npos ? std::string() : std::string(text.substr(at + separator.size()));
}

std::string FirstItem(std::string_view text) {
    return FirstToken(text, ",");
}

std::string SplitAtComma(std::string& text) {
    return SplitOffFirst(text, ",");
}

int32_t NextNumber(std::string& text) {
    std::string token;
    do {
        token = SplitOffFirst(text, ",");
    } while (token.empty() && !text.empty());
    return ReadInt(token);
}

int32_t NthNumberToken(std::string& text, std::string_view separator, std::string_view quote) {
    const std::string token = quote.empty() ? SplitOffFirst(text, separator)
                                            : SplitOffAndUnwrap(text, separator, quote, kSingleMarker);
    std::string_view digits = token;
    while (!digits.empty() && (digits.front() == ' ' || digits.front() == '\t')) digits.remove_prefix(1);
    while (!digits.empty() && (digits.back() == ' ' || digits.back() == '\t')) digits.remove_suffix(1);
    if (digits.empty()) return -1;
    int32_t value = 0;
    const char* first = digits.data();
    const char* last = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last) return -1;
    return value;
}

bool StartsWith(std::string_view start, std::string_view text, int case_flag) {
    if (start.size() > text.size()) return false;
    return SameStart(text.substr(0, start.size()), start, (case_flag & 1) != 0);
}

bool EndsWith(std::string_view end, std::string_view text, int case_flag) {
    if (end.size() > text.size()) return false;
    return SameStart(text.substr(text.size() - end.size()), end, (case_flag & 1) != 0);
}

std::string StripLeading(std::string_view start, std::string_view text, int flags) {
    if (start.empty()) return std::string(text);
    const bool repeat = (flags & 8) != 0;
    while (StartsWith(start, text, flags)) {
        text.remove_prefix(start.size());
        if (!repeat) break;
    }
    return std::string(text);
}

std::string StripTrailing(std::string_view end, std::string_view text, int flags) {
    if (end.empty()) return std::string(text);
    const bool repeat = (flags & 8) != 0;
    while (EndsWith(end, text, flags)) {
        text.remove_suffix(end.size());
        if (!repeat) break;
    }
    return std::string(text);
}

std::string TrimLeftOfSet(const CharSet& set, std::string_view text) {
    std::size_t i = 0;
    if (CountsCodePoints(text)) {
        for (std::size_t next = 0; i < text.size() && SetHasChar(set, DecodeAt(text, next));) i = next;
        return std::string(text.substr(i));
    }
    while (i < text.size() && set.Has(text[i])) ++i;
    return std::string(text.substr(i));
}

std::string TrimRightOfSet(const CharSet& set, std::string_view text) {
    std::size_t n = text.size();
    if (CountsCodePoints(text)) {
        for (std::size_t start = n; n > 0 && SetHasChar(set, DecodeBefore(text, start));) n = start;
        return std::string(text.substr(0, n));
    }
    while (n > 0 && set.Has(text[n - 1])) --n;
    return std::string(text.substr(0, n));
}

bool StartsWithCharOf(const CharSet& set, std::string_view text) {
    if (text.empty()) return false;
    if (!CountsCodePoints(text)) return set.Has(text.front());
    std::size_t at = 0;
    return SetHasChar(set, DecodeAt(text, at));
}

bool EndsWithCharOf(const CharSet& set, std::string_view text) {
    if (text.empty()) return false;
    if (!CountsCodePoints(text)) return set.Has(text.back());
    std::size_t end = text.size();
    return SetHasChar(set, DecodeBefore(text, end));
}

std::string Unwrap(std::string_view text, std::string_view open, std::string_view close) {
    if (close == "e" || close == kSingleMarker) close = open;
    if (text.size() >= open.size() + close.size() && StartsWith(open, text) && EndsWith(close, text))
        return std::string(text.substr(open.size(), text.size() - open.size() - close.size()));
    return std::string(text);
}

std::string CutSpan(std::string& text, int32_t from, int32_t count) {
    int64_t start = static_cast<int64_t>(from) - 1;
    int64_t n = count;
    // The part of the span before the text does not exist; only what lies inside is cut.
    if (start < 0) {
        n += start;
        start = 0;
    }
    if (n <= 0) return {};
    if (CountsCodePoints(text)) {
        const std::size_t s = ByteOffsetOfChar(text, static_cast<std::size_t>(start));
        if (s >= text.size()) return {};
        const std::size_t len =
            ByteOffsetOfChar(std::string_view(text).substr(s), static_cast<std::size_t>(n));
        std::string removed = text.substr(s, len);
        text.erase(s, len);
        return removed;
    }
    if (start >= static_cast<int64_t>(text.size())) return {};
    const std::size_t s = static_cast<std::size_t>(start);
    const std::size_t len = std::min(static_cast<std::size_t>(n), text.size() - s);
    std::string removed = text.substr(s, len);
    text.erase(s, len);
    return removed;
}

std::string DropLast(std::string_view text, int32_t n) {
    if (n <= 0) return std::string(text);
    if (CountsCodePoints(text)) {
        const std::size_t chars = CountChars(text);
        if (static_cast<std::size_t>(n) >= chars) return {};
        return std::string(text.substr(0, ByteOffsetOfChar(text, chars - static_cast<std::size_t>(n))));
    }
    if (static_cast<std::size_t>(n) >= text.size()) return {};
    return std::string(text.substr(0, text.size() - static_cast<std::size_t>(n)));
}

std::string DropFirst(std::string_view text, int32_t n) {
    if (n <= 0) return std::string(text);
    if (CountsCodePoints(text))
        return std::string(text.substr(ByteOffsetOfChar(text, static_cast<std::size_t>(n))));
    if (static_cast<std::size_t>(n) >= text.size()) return {};
    return std::string(text.substr(static_cast<std::size_t>(n)));
}

}  // namespace rowsmith::text
