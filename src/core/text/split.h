#pragma once
// Cutting texts into tokens at separators (one separator, a set of characters, or several alternative
// separators), and the small start/end tests and trims that go with it.

#include <cstdint>
#include <string>
#include <string_view>

#include "text/chars.h"

namespace rowsmith::text {

// A case flag compares exactly when bit 0 is set; otherwise letter case is ignored. Positions and
// counts count characters of the text model (utf8.h); character sets judge each character as
// SetHasChar does, so no cut or trim falls inside a character.

// The token before the first separator (all of text without one); text keeps what follows the
// separator (empty without one). An empty separator takes the whole text.
std::string SplitOffFirst(std::string& text, std::string_view separator, int case_flag = 0);
// The same, with separators inside quoted spans (quote_open .. quote_close, nesting-aware; close
// empty or "-zq-" means the same as open) ignored.
std::string SplitOffOutsideQuotes(std::string& text, std::string_view separator, std::string_view quote_open,
                                  std::string_view quote_close);
// SplitOffOutsideQuotes, then Unwrap of the token with the quotes.
std::string SplitOffAndUnwrap(std::string& text, std::string_view separator, std::string_view quote_open,
                              std::string_view quote_close);

struct TokenAndCharT {
    std::string Token;
    char32_t Separator = 0;  // as CharPosT::Char; 0 when no character of the set was found
};
TokenAndCharT SplitOffAtCharOfSet(std::string& text, const CharSet& set);

// The alternative separator that was found and its 1-based character position (Count 0 when none).
struct StringAndCountT {
    std::string Text;
    int32_t Count = 0;
};
// Of the alternatives (separators divided at marker, empty ones ignored), the one that occurs
// earliest in text; on a tie the one listed first.
StringAndCountT EarliestSeparator(std::string_view text, std::string_view separators, std::string_view marker,
                                  int case_flag = 0);
// Splits at the earliest alternative; text continues after that alternative's end.
std::string SplitOffAtEarliest(std::string& text, std::string_view separators, std::string_view marker,
                               int case_flag = 0);
// The n-th token of SplitOffAtEarliest (empty for n < 1 or beyond the last item); without
// separators the whole text for n < 2 and empty otherwise.
std::string NthItem(std::string_view text, int32_t n, std::string_view separators, std::string_view marker,
                    int case_flag = 0);

std::string FirstToken(std::string_view text, std::string_view separator);
// The text after the first separator; empty without one.
std::string AfterFirst(std::string_view text, std::string_view separator);
std::string FirstItem(std::string_view text);  // FirstToken at ","
std::string SplitAtComma(std::string& text);   // SplitOffFirst at ","
// Splits at "," until a non-empty token comes (or the text is used up); ReadInt of it.
int32_t NextNumber(std::string& text);
// The next token (unwrapped from the quote when one is given) as an integer; -1 when it is not one
// (blanks around the digits are allowed, a leading "-" too, nothing else).
int32_t NthNumberToken(std::string& text, std::string_view separator, std::string_view quote = "");

bool StartsWith(std::string_view start, std::string_view text, int case_flag = 0);
bool EndsWith(std::string_view end, std::string_view text, int case_flag = 0);
// Remove start (end) once when present; flag 8 repeatedly; flag bit 0 is the case flag.
std::string StripLeading(std::string_view start, std::string_view text, int flags = 0);
std::string StripTrailing(std::string_view end, std::string_view text, int flags = 0);
std::string TrimLeftOfSet(const CharSet& set, std::string_view text);
std::string TrimRightOfSet(const CharSet& set, std::string_view text);
bool StartsWithCharOf(const CharSet& set, std::string_view text);
bool EndsWithCharOf(const CharSet& set, std::string_view text);
// Removes open and close from the ends when both are present and the text is at least as long as
// both together; close "e" (or "-zq-") means the same as open.
std::string Unwrap(std::string_view text, std::string_view open, std::string_view close);

// Removes count characters from the 1-based position on and returns them (the part of the span that
// lies inside the text).
std::string CutSpan(std::string& text, int32_t from, int32_t count);
std::string DropLast(std::string_view text, int32_t n);
std::string DropFirst(std::string_view text, int32_t n);

}  // namespace rowsmith::text
