#pragma once
// String routines behind the template modifiers: character filters, random values and the small text
// transforms (reverse, shorten, article handling, "&nbsp;" runs, visible width of HTML).

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "text/chars.h"

namespace rowsmith::text {

// --- Character filters ---

// The characters of text that belong to the set, in order.
std::string KeepChars(std::string_view text, const CharSet& set);
// KeepChars with digits, letters, or both, each joined with the extra set (or the extra characters,
// which in the Utf8 model may be characters of several bytes). Sets judge characters as SetHasChar.
std::string OnlyNumbers(std::string_view text, const CharSet& extra = CharSet());
std::string OnlyNumbers(std::string_view text, std::string_view extra_chars);
std::string OnlyLetters(std::string_view text, const CharSet& extra = CharSet());
std::string OnlyLetters(std::string_view text, std::string_view extra_chars);
std::string OnlyLettersAndNumbers(std::string_view text, const CharSet& extra = CharSet());
std::string OnlyLettersAndNumbers(std::string_view text, std::string_view extra_chars);

// Word separators: every byte that is neither a letter nor a digit (the Others set).
const CharSet& WordSeparators();
// The separators after which "caseenglish" capitalises: the word separators less the apostrophe-like
// characters (' ` and bytes 146 and 180), so "don't" keeps its "t". When the case tables know no
// letter from byte 128 up (ASCII or UTF-8 locales), bytes 128 to 255 are taken out as well: they are
// parts of multi-byte letters there, and "naïve" must not become "NaïVe".
CharSet CaseEnglishSeparators();

// The group of a text's first character (upper-cased): "-" for an empty text, "!" for a separator,
// digit_mark for a digit, the letter itself below byte 128, "A" for a letter from byte 128 up (in the
// Utf8 model, for a first character beyond ASCII that is no separator).
char AlphabeticalGroup(std::string_view text, char digit_mark = '0');
// The members of a set as characters in byte order, joined by the separator.
std::string SetText(const CharSet& set, std::string_view separator);

// --- Random values ---

// The one generator of all random routines (seeded from the system at first use).
std::mt19937_64& RandomEngine();
// Makes the random routines repeatable.
void SeedRandom(uint64_t seed);
// count + 1 entries: entry 0 is 0, entries 1..count a shuffle of 1..count (each j swapped with a
// uniformly drawn k). A count below 1 gives the single entry 0.
std::vector<int32_t> RandomPermutation(int32_t count);
// length characters drawn from the pool the pattern builds: "#" digits, "u" upper-case letters, "l"
// and every other character lower-case letters (repeats weight the draw; empty pattern means "l").
// A pattern beginning with "&" pads to width with fill on the left (both sides when it also ends with
// "&"); ending with "&" only pads on the right.
std::string RandomText(std::string_view pattern, int64_t length, int64_t width, std::string_view fill);

// --- Text transforms ---
// Lengths, widths and positions count characters of the text model (code points of UTF-8 text in
// the Utf8 model, bytes otherwise); a cut never falls inside a character.

std::string ReverseText(std::string_view text);
// The text n times (empty for n <= 0).
std::string RepeatText(std::string_view text, int64_t n);
// Unchanged when not longer than maximum; else the first maximum - length(suffix) characters and
// the suffix, the whole cut to maximum characters.
std::string ShortenText(std::string_view text, int64_t maximum, std::string_view suffix);
// Characters before the 1-based position, FillText(fill, count), then the characters from
// position + count on. A position below 1 counts as 1, a negative count as 0; a position past the
// end appends the fill.
std::string OverwriteSpan(std::string_view text, std::string_view fill, int64_t position, int64_t count);
// The letter case of each replaced character goes over to the character of text at the same place
// (as far as both reach). Only characters of one byte change: a case table maps bytes.
void TakeOverCase(std::string& text, std::string_view replaced);
// Every occurrence of search, left to right without overlap; letter case ignored unless
// case_sensitive. An empty search changes nothing.
std::string ReplaceAll(std::string_view text, std::string_view search, std::string_view replacement,
                       bool case_sensitive);
// a + separator + b when both are non-empty; else whichever is non-empty.
std::string JoinNonEmpty(std::string_view a, std::string_view separator, std::string_view b);
// Removes the first of ", the", ",the", ", an", ",an", ", a", ",a" (letter case ignored) that ends the
// text.
std::string DropTrailingArticle(std::string_view text);
// "Beatles, The" -> "The Beatles": the article of the removed ending, capitalised, in front.
std::string MoveArticleToFront(std::string_view text);
// ")" for "(", "]" for "[", "}" for "{"; empty for any other character.
std::string ClosingBracket(char c);
// "<nobr>" + text + "</nobr>"; an empty text stays empty.
std::string NoBreak(std::string_view text);
// Every tab, space and byte 160 (U+00A0 in the Utf8 model) becomes "&nbsp;".
std::string SpacesToNbsp(std::string_view text);
// Runs of set characters and blanks get "&nbsp;" for their blanks; a run's last blank is kept.
std::string NbspInRuns(std::string_view text, const CharSet& set);
// NbspInRuns over digits, "+", "-" and brackets.
std::string NbspInNumbers(std::string_view text);
// NbspInRuns over letters, digits and "-".
std::string NbspBetweenWords(std::string_view text);
// The text as a browser shows it, for width estimates: "<nobr>" spans get "_" for their blanks, tags
// vanish, entities ("&name;", "&#123;") become "_" and "<br>" a space.
std::string VisibleText(std::string_view text);

}  // namespace rowsmith::text
