#pragma once
// Unicode letter case and character classes for UTF-8 text: what the case and letter modifiers use in
// place of the byte tables of chars.h when the text model counts code points (see utf8.h).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rowsmith::text {

// --- Case mappings. Full mappings (one character may become several) in the root locale, so the
// user's locale never changes a result; stray bytes are copied unchanged. ---

// "straße" -> "STRASSE".
std::string UnicodeUpper(std::string_view text);
// "ΟΔΟΣ" -> "οδος" with the final sigma.
std::string UnicodeLower(std::string_view text);
// The first character in title case ("ǆa" -> "ǅa", "ßa" -> "Ssa"), the rest unchanged.
std::string UnicodeTitleFirst(std::string_view text);

enum class LetterCase : uint8_t { Upper, Lower, Title };
// Appends the mapping of the one character text[start, end). A capital sigma lowers to the final form
// where the characters around it in text make it final.
void AppendCaseOf(std::string& out, std::string_view text, std::size_t start, std::size_t end, LetterCase to);
// Every character that upper-casing changes is upper-cased, every other one lower-cased.
std::string UnicodeInvertCase(std::string_view text);

// --- Character classes of code points; a stray byte belongs to none of them. ---

// The Alphabetic property: "é", "ж", "あ", also letter-like marks of Indic scripts.
bool IsUnicodeLetter(char32_t c);
// Decimal digits (general category Nd): "7", "٣", "５"; not "²", "½" or "Ⅻ".
bool IsUnicodeDigit(char32_t c);
// The White_Space property: ASCII blanks and line ends, U+0085, U+00A0, U+2000..U+200A, U+3000 ...
bool IsUnicodeSpace(char32_t c);
// Space characters that are no line end (general category Zs and the tab): what "nospace" removes.
bool IsUnicodeBlank(char32_t c);
// Combining marks (general category M): they belong to the character before them.
bool IsCombiningMark(char32_t c);
// What a word is made of: letters, digits, combining marks, the joiners U+200C and U+200D, and stray
// bytes (most often a letter of another code page, which must not split its word).
bool IsUnicodeWordPart(char32_t c);
// What trimming removes: bytes up to the space, and beyond ASCII white space and control characters.
bool IsUnicodeTrimmed(char32_t c);
// Whether upper-casing changes the character under the full mapping ("ß" and "ǅ" do).
bool ChangesWhenUppercased(char32_t c);

// --- Words and filters over UTF-8 text ---

using CharTest = bool (*)(char32_t);

// The first character and every character right after one that is_separator accepts, title-cased;
// everything else unchanged.
std::string UnicodeCapitaliseAfter(std::string_view text, CharTest is_separator);

// Byte span [start, end) of a word.
struct WordSpan {
    std::size_t start = 0;
    std::size_t end = 0;
};
// The maximal runs of characters that in_word accepts.
std::vector<WordSpan> UnicodeWords(std::string_view text, CharTest in_word);

// The first character of every word of IsUnicodeWordPart characters, with its combining marks.
std::string UnicodeInitials(std::string_view text);

// The characters that keep accepts or that occur in extra, in order. A combining mark that neither
// accepts goes or stays with the character before it, so "é" written as e and U+0301 stays whole.
std::string UnicodeKeep(std::string_view text, CharTest keep, std::string_view extra = {});

}  // namespace rowsmith::text
