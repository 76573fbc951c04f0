#pragma once
// Spans between an opening and a closing delimiter (with nesting), copying or deleting from or until an
// occurrence, list entries and masks, and list items picked by an interval piece.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rowsmith::text {

// Flag bits of FindEnclosed. Without 2, 4 and 8 the search is nesting-aware.
enum EnclosedFlags : int {
    kEnclosedExcludeDelimiters = 1,  // the result leaves out both delimiters
    kEnclosedInnermost = 2,          // the innermost span (like 8 when open equals close)
    kEnclosedToLastClose = 4,        // from the first open to the last close after it
    kEnclosedFirstClose = 8,         // from the first open to the first close after it, no nesting
    kEnclosedCaseSensitive = 16,
};

// Finds the span from open to close (close "-zq-" or empty: the same as open); position and length
// (in bytes: the template parser cuts with them) cover both delimiters unless flag 1 is set. Without a span
// both are 0 and the result is false. The nesting-aware search is linear in the length of the text.
bool FindEnclosed(std::string_view open, std::string_view close, std::string_view text, int flags,
                  int32_t& length, int32_t& position);
// The same, with the open searched for at or after the 1-based position from.
bool FindEnclosedFrom(std::string_view open, std::string_view close, std::string_view text, int flags,
                      int32_t from, int32_t& length, int32_t& position);

// The first span from open to the first close after it (letter case ignored); empty when either
// delimiter is missing.
std::string TextBetween(std::string_view text, std::string_view open, std::string_view close,
                        bool exclude_delimiters);
// Removes every nesting-aware span from open to close until none is left. A non-zero flag is
// reserved and leaves the text unchanged.
std::string DeleteEnclosed(std::string_view open, std::string_view close, std::string_view text,
                           int flags = 0);

// Flags of TextFrom, TextUntil and DeleteFrom (the StripFlags bits).
enum OccurrenceFlags : int {
    kOccurrenceCaseSensitive = 1,
    kOccurrenceExclude = 2,     // leave the occurrence itself out
    kOccurrenceLeaveWhole = 4,  // no occurrence: the whole text instead of an empty one
};
// From the chosen occurrence (1 first, N, 0 last, -N from the end) to the end of the text.
std::string TextFrom(std::string_view text, std::string_view search, int32_t occurrence, int flags);
// From the start through the last character of the chosen occurrence.
std::string TextUntil(std::string_view text, std::string_view search, int32_t occurrence, int flags);
// The text before the chosen occurrence, or all of it when there is none.
std::string DeleteFrom(std::string_view search, std::string_view text, int32_t occurrence, int flags);

// True when text begins with one of the list's entries (an empty entry matches every text; an empty
// list has no entries). The separator "-zq-" makes the list a single entry.
bool ListHasPrefixOf(std::string_view list, std::string_view text, std::string_view separator,
                     int case_flag = 0);
// The entry of list equal to the first entry of `first`, spelled as in list; empty when none.
std::string MatchListEntry(std::string_view first, std::string_view list, std::string_view separator,
                           int case_flag = 0);
// True when the file name matches one of the masks (letter case ignored); the separator "-zq-" (or an
// empty one) means masks is a single mask. Blanks around listed masks are ignored.
bool MatchesAnyMask(std::string_view file_name, std::string_view masks, std::string_view separator);

// The items that one interval piece ("2-3", "-1", "3-2") selects, joined by JoinNonEmpty with joiner;
// a downward piece lists its items from its start down to its end; an invalid piece gives "".
std::string ItemsByInterval(std::string_view text, std::string_view separators, std::string_view marker,
                            int case_flag, std::string_view quote_close, std::string_view quote_open,
                            std::string_view joiner, std::string_view interval_piece);

// --- Shared helpers ---

// A copy of text in which every nesting-aware span from open to close (delimiters included) is
// overwritten with byte 0, so that positions stay valid and nothing inside can match.
std::string BlankQuotedSpans(std::string_view text, std::string_view open, std::string_view close,
                             bool case_sensitive = false);
// The items of text cut at the separator alternatives (earliest alternative each time; on a tie the
// one listed first), separators inside quoted spans ignored (no quoting when quote_open is empty).
// Always at least one item; the views point into text.
std::vector<std::string_view> CutItems(std::string_view text, std::string_view separators,
                                       std::string_view marker, int case_flag, std::string_view quote_close,
                                       std::string_view quote_open);

}  // namespace rowsmith::text
