#include "text/spans.h"

#include <algorithm>
#include <cstring>

#include "text/chars.h"
#include "text/intervals.h"
#include "text/mask.h"
#include "text/search.h"
#include "text/split.h"

namespace rowsmith::text {

namespace {

constexpr std::size_t npos = std::string_view::npos;

std::string_view ResolveClose(std::string_view open, std::string_view close) {
    return close.empty() || close == kSingleMarker ? open : close;
}

bool HasLetter(std::string_view s) {
    for (char c : s)
        if (IsLetter(c)) return true;
    return false;
}

// The last occurrence of s that starts at or after lo and ends at or before end.
std::size_t RFindBytes(std::string_view s, std::string_view text, std::size_t lo, std::size_t end,
                       bool exact) {
    if (s.empty() || end > text.size() || end < s.size() || end - s.size() < lo) return npos;
    if (exact || !HasLetter(s)) {
        const std::size_t at = text.substr(0, end).rfind(s);
        return at != npos && at >= lo ? at : npos;
    }
    const ByteFold fold;
    for (std::size_t i = end - s.size() + 1; i-- > lo;) {
        std::size_t k = 0;
        while (k < s.size() && fold(text[i + k]) == fold(s[k])) ++k;
        if (k == s.size()) return i;
    }
    return npos;
}

// The span (0-based start, length with both delimiters) of the first open at or after from.
bool EnclosedSpan(std::string_view open, std::string_view close, std::string_view text, int flags,
                  std::size_t from, std::size_t& start, std::size_t& length) {
    if (open.empty()) return false;
    const bool exact = (flags & kEnclosedCaseSensitive) != 0;
    auto find = [&](std::string_view s, std::size_t at) { return FindBytes(s, text, at, exact); };

    if ((flags & kEnclosedFirstClose) || ((flags & kEnclosedInnermost) && EqualsIgnoreCase(open, close))) {
        const std::size_t o = find(open, from);
        if (o == npos) return false;
        const std::size_t c = find(close, o + open.size());
        if (c == npos) return false;
        start = o;
        length = c + close.size() - o;
        return true;
    }
    if (flags & kEnclosedToLastClose) {
        const std::size_t o = find(open, from);
        if (o == npos) return false;
        // Searched from the open's own start, so that a close equal to the open can be the open itself.
        const std::size_t c = RFindBytes(close, text, o, text.size(), exact);
        if (c == npos || c == o) return false;
        start = o;
        length = std::max(c + close.size(), o + open.size()) - o;
        return true;
    }
    if (flags & kEnclosedInnermost) {
        // The first close with an open before it; what lies before a close without one is passed over.
        std::size_t p = from;
        for (;;) {
            const std::size_t c = find(close, p);
            if (c == npos) return false;
            const std::size_t o = RFindBytes(open, text, p, c, exact);
            if (o != npos) {
                start = o;
                length = c + close.size() - o;
                return true;
            }
            p = c + close.size();
        }
    }
    // Nesting-aware: the next open and the next close are kept until the walk passes them, so every
    // part of the text is scanned a bounded number of times.
    const std::size_t o = find(open, from);
    if (o == npos) return false;
    std::size_t cur = o + open.size();
    std::size_t next_open = find(open, cur);
    std::size_t next_close = find(close, cur);
    int64_t depth = 1;
    for (;;) {
        if (next_close == npos) return false;
        if (next_open != npos && next_open < next_close) {
            ++depth;
            cur = next_open + open.size();
            next_open = find(open, cur);
            if (next_close < cur) next_close = find(close, cur);
            continue;
        }
        if (depth == 1) {
            start = o;
            length = next_close + close.size() - o;
            return true;
        }
        --depth;
        cur = next_close + close.size();
        next_close = find(close, cur);
        if (next_open != npos && next_open < cur) next_open = find(open, cur);
    }
}

std::vector<std::string_view> ListEntries(std::string_view list, std::string_view separator, bool exact) {
    std::vector<std::string_view> entries;
    if (list.empty()) return entries;
    if (separator.empty() || separator == kSingleMarker) {
        entries.push_back(list);
        return entries;
    }
    std::size_t pos = 0;
    for (;;) {
        const std::size_t next = FindBytes(separator, list, pos, exact);
        entries.push_back(list.substr(pos, next == npos ? npos : next - pos));
        if (next == npos) break;
        pos = next + separator.size();
    }
    return entries;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

bool FindEnclosedFrom(std::string_view open, std::string_view close, std::string_view text, int flags,
                      int32_t from, int32_t& length, int32_t& position) {
    length = 0;
    position = 0;
    close = ResolveClose(open, close);
    const std::size_t start_at = from < 1 ? 0 : static_cast<std::size_t>(from - 1);
    if (start_at > text.size()) return false;
    std::size_t s = 0, len = 0;
    if (!EnclosedSpan(open, close, text, flags, start_at, s, len)) return false;
    if (flags & kEnclosedExcludeDelimiters) {
        const std::size_t inner_start = s + open.size();
        const std::size_t inner_end =
            std::max(inner_start, s + len >= close.size() ? s + len - close.size() : 0);
        position = static_cast<int32_t>(inner_start + 1);
        length = static_cast<int32_t>(inner_end - inner_start);
    } else {
        position = static_cast<int32_t>(s + 1);
        length = static_cast<int32_t>(len);
    }
    return true;
}

bool FindEnclosed(std::string_view open, std::string_view close, std::string_view text, int flags,
                  int32_t& length, int32_t& position) {
    return FindEnclosedFrom(open, close, text, flags, 1, length, position);
}

std::string TextBetween(std::string_view text, std::string_view open, std::string_view close,
                        bool exclude_delimiters) {
    int32_t length = 0, position = 0;
    const int flags = kEnclosedFirstClose | (exclude_delimiters ? kEnclosedExcludeDelimiters : 0);
    if (!FindEnclosed(open, close, text, flags, length, position)) return {};
    return std::string(text.substr(static_cast<std::size_t>(position - 1), static_cast<std::size_t>(length)));
}

std::string DeleteEnclosed(std::string_view open, std::string_view close, std::string_view text, int flags) {
    std::string work(text);
    if (flags != 0 || open.empty()) return work;
    close = ResolveClose(open, close);
    // Everything before the first open holds no open, so after a removal the next search can start
    // just far enough back to catch an open that the removal joined together.
    std::size_t from = 0;
    std::size_t s = 0, len = 0;
    while (EnclosedSpan(open, close, work, 0, from, s, len)) {
        work.erase(s, len);
        from = s >= open.size() - 1 ? s - (open.size() - 1) : 0;
    }
    return work;
}

namespace {

PositionT ChosenOccurrence(std::string_view text, std::string_view search, int32_t occurrence, int flags) {
    PosInfoT info;
    info.CaseSensitive = (flags & kOccurrenceCaseSensitive) ? 1 : 0;
    info.Occurrence = occurrence;
    if (SearchPosInfo(info, search, text) == 0) return {};
    return {info.FoundPosition, info.FoundLength};
}

}  // namespace

std::string TextFrom(std::string_view text, std::string_view search, int32_t occurrence, int flags) {
    const PositionT m = ChosenOccurrence(text, search, occurrence, flags);
    if (m.Position == 0) return (flags & kOccurrenceLeaveWhole) ? std::string(text) : std::string();
    std::size_t start = static_cast<std::size_t>(m.Position - 1);
    if (flags & kOccurrenceExclude) start += static_cast<std::size_t>(m.Length);
    return std::string(text.substr(std::min(start, text.size())));
}

std::string TextUntil(std::string_view text, std::string_view search, int32_t occurrence, int flags) {
    const PositionT m = ChosenOccurrence(text, search, occurrence, flags);
    if (m.Position == 0) return (flags & kOccurrenceLeaveWhole) ? std::string(text) : std::string();
    std::size_t end = static_cast<std::size_t>(m.Position - 1);
    if (!(flags & kOccurrenceExclude)) end += static_cast<std::size_t>(m.Length);
    return std::string(text.substr(0, end));
}

std::string DeleteFrom(std::string_view search, std::string_view text, int32_t occurrence, int flags) {
    return TextUntil(text, search, occurrence, flags | kOccurrenceExclude | kOccurrenceLeaveWhole);
}

bool ListHasPrefixOf(std::string_view list, std::string_view text, std::string_view separator,
                     int case_flag) {
    for (std::string_view entry : ListEntries(list, separator, (case_flag & 1) != 0))
        if (StartsWith(entry, text, case_flag)) return true;
    return false;
}

std::string MatchListEntry(std::string_view first, std::string_view list, std::string_view separator,
                           int case_flag) {
    const bool exact = (case_flag & 1) != 0;
    const std::vector<std::string_view> firsts = ListEntries(first, separator, exact);
    const std::string_view key = firsts.empty() ? std::string_view() : firsts.front();
    for (std::string_view entry : ListEntries(list, separator, exact))
        if (exact ? entry == key : EqualsIgnoreCase(entry, key)) return std::string(entry);
    return {};
}

bool MatchesAnyMask(std::string_view file_name, std::string_view masks, std::string_view separator) {
    if (separator.empty() || separator == kSingleMarker) return MatchesMask(file_name, masks);
    if (separator.size() == 1) return MatchesMaskList(file_name, masks, separator[0]);
    for (std::string_view mask : ListEntries(masks, separator, true)) {
        mask = TrimBlanks(mask);
        if (!mask.empty() && MatchesMask(file_name, mask)) return true;
    }
    return false;
}

std::string BlankQuotedSpans(std::string_view text, std::string_view open, std::string_view close,
                             bool case_sensitive) {
    std::string work(text);
    if (open.empty()) return work;
    close = ResolveClose(open, close);
    const int flags = case_sensitive ? kEnclosedCaseSensitive : 0;
    std::size_t from = 0, s = 0, len = 0;
    while (from <= text.size() && EnclosedSpan(open, close, text, flags, from, s, len)) {
        std::memset(work.data() + s, 0, len);
        from = s + len;
    }
    return work;
}

std::vector<std::string_view> CutItems(std::string_view text, std::string_view separators,
                                       std::string_view marker, int case_flag, std::string_view quote_close,
                                       std::string_view quote_open) {
    std::vector<std::string_view> items;
    const std::vector<std::string_view> alts = SeparatorAlternatives(separators, marker);
    if (alts.empty()) {
        items.push_back(text);
        return items;
    }
    const bool exact = (case_flag & 1) != 0;
    std::string blanked;
    std::string_view hay = text;
    if (!quote_open.empty()) {
        blanked = BlankQuotedSpans(text, quote_open, quote_close, exact);
        hay = blanked;
    }
    // Each alternative's next position is kept until the cut passes it.
    std::vector<std::size_t> next(alts.size());
    for (std::size_t i = 0; i < alts.size(); ++i) next[i] = FindBytes(alts[i], hay, 0, exact);
    std::size_t pos = 0;
    for (;;) {
        std::size_t best = npos, which = 0;
        for (std::size_t i = 0; i < alts.size(); ++i) {
            if (next[i] != npos && next[i] < pos) next[i] = FindBytes(alts[i], hay, pos, exact);
            if (next[i] < best) {
                best = next[i];
                which = i;
            }
        }
        if (best == npos) {
            items.push_back(text.substr(pos));
            return items;
        }
        items.push_back(text.substr(pos, best - pos));
        pos = best + alts[which].size();
    }
}

std::string ItemsByInterval(std::string_view text, std::string_view separators, std::string_view marker,
                            int case_flag, std::string_view quote_close, std::string_view quote_open,
                            std::string_view joiner, std::string_view interval_piece) {
    const std::vector<std::string_view> items =
        CutItems(text, separators, marker, case_flag, quote_close, quote_open);
    int32_t start = 0, end = 0;
    const IntervalKind kind =
        ParseIntervalPiece(interval_piece, 1, static_cast<int32_t>(items.size()), start, end);
    if (kind == Invalid) return {};
    // Appending with JoinNonEmpty's rule (the joiner only between two non-empty parts).
    std::string result;
    auto add = [&](std::string_view item) {
        if (item.empty()) return;
        if (!result.empty()) result.append(joiner);
        result.append(item);
    };
    const int32_t step = kind == Upward ? 1 : -1;
    for (int32_t i = start;; i += step) {
        add(items[static_cast<std::size_t>(i - 1)]);
        if (i == end) break;
    }
    return result;
}

}  // namespace rowsmith::text
