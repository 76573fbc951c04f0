#pragma once
// The search record PosInfoT (case, whole words, which occurrence, anchoring, quoted spans to skip,
// five kinds of target) and the plain finding and counting routines built on it.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/chars.h"
#include "text/utf8.h"

namespace rowsmith::text {

// The marker that, as a closing delimiter, stands for the opening delimiter and, as a list separator,
// means that the list has a single entry.
inline constexpr std::string_view kSingleMarker = "-zq-";

// One match: 1-based position and length (0, 0 when there is none). The search record counts bytes
// (the replace engine and the template parser cut with its positions; in the Utf8 model its matches
// still begin and end where characters do); the Find routines below count characters of the model.
struct PositionT {
    int32_t Position = 0;
    int32_t Length = 0;
    bool operator==(const PositionT&) const = default;
};
// Entries 1..FoundCount are the matches in text order; entry 0 repeats the last match found.
using PositionArT = std::vector<PositionT>;

// What SearchPosInfo looks for (the record's Mode).
enum SearchMode : uint8_t {
    kSearchText = 0,       // the search text
    kSearchCharOfSet = 1,  // the first character of SearchSet
    kSearchDigitRun = 2,   // the first run of digits
    kSearchWordRun = 3,    // the first run of WordCharacters
    kSearchRepeated = 4,   // the first letter (of LetterSet) that is directly repeated, with its run
};

// The characters that make up words: letters, digits, the apostrophe, the grave accent and byte 146.
CharSet DefaultWordCharacters();

struct PosInfoT {
    uint8_t CaseSensitive = 1;
    uint8_t MustEndWord = 0;
    uint8_t MustStartWord = 0;
    int32_t Anchor = 0;      // 0 anywhere, 1 must start at position 1, 2 must end at the last character
    int32_t Occurrence = 1;  // 1 first, N N-th, 0 last, -N N-th from the end
    uint8_t SkipQuoted = 0;
    std::string QuoteOpen = "\"";
    std::string QuoteClose = "\"";  // empty (or "-zq-") means the same as QuoteOpen
    uint8_t Overlapping = 1;        // next search starts one after the match's start; else after its end
    PositionArT Positions;
    int32_t FoundCount = 0;
    int32_t FoundPosition = 0;
    int32_t FoundLength = 0;
    CharSet WordSeparators = Others();
    CharSet LetterSet = Letters();
    CharSet WordCharacters = DefaultWordCharacters();
    uint8_t Mode = kSearchText;
    std::string SearchText;
    uint8_t CollectAll = 0;  // internal: set while SearchAll collects every match
    CharSet SearchSet;       // the set of mode 1
};

// Sets every field to its default (the sets from the case tables in force now).
void InitPosInfo(PosInfoT& info);
// Position of the chosen match, 0 when none; fills Positions, FoundCount, FoundPosition, FoundLength.
int32_t SearchPosInfo(PosInfoT& info, std::string_view search, std::string_view text);
// Collects every match; returns their number (the chosen match is still set by Occurrence and Anchor).
int32_t SearchAll(PosInfoT& info, std::string_view search, std::string_view text);
// SearchPosInfo with the record's SearchText.
int32_t SearchStored(PosInfoT& info, std::string_view text);
// Sets Mode and searches (the search text is the record's SearchText).
int32_t SearchByMode(PosInfoT& info, uint8_t mode, std::string_view text);
// Mode 1 with the given set.
int32_t SearchCharOfSet(PosInfoT& info, const CharSet& set, std::string_view text);

// --- Plain finding. A case flag compares exactly when its bit 0 is set; otherwise letter case is
// ignored (only when the search text holds a letter). Positions and lengths are 1-based and count
// characters of the text model; 0 means "not found". ---

int32_t FindText(std::string_view search, std::string_view text, int case_flag = 0);
// First occurrence at or after from (counted from the start of text); a from below 1 counts as 1.
int32_t FindTextFrom(std::string_view search, std::string_view text, int32_t from, int case_flag = 0);
// 1 first, N N-th, 0 last, -N N-th from the end (overlapping matches).
int32_t FindOccurrence(std::string_view search, std::string_view text, int32_t occurrence, int case_flag = 0);
// The first occurrence that starts and ends at a word boundary.
int32_t FindWholeWord(std::string_view word, std::string_view text, int case_flag = 0);
// The n-th run of digits (runs are maximal: the tail of a run is not a run of its own).
PositionT FindNthNumber(std::string_view text, int32_t n);

struct CharPosT {
    int32_t Position = 0;
    char32_t Char = 0;  // a code point or stray byte in the Utf8 model, else the byte's value
};
CharPosT FindLastOfSet(const CharSet& set, std::string_view text);
CharPosT FirstCharOfSet(const CharSet& set, std::string_view text);
// The first character of the set and the length of the unbroken run of set characters from there.
PositionT RunOfSetAt(const CharSet& set, std::string_view text);
// How many characters from the 1-based position on belong to the set.
int32_t RunLengthAt(std::string_view text, const CharSet& set, int32_t from);

// Matches with Overlapping on ("aa" in "aaaa" is 3) and off (2); letter case is ignored.
int32_t CountOccurrences(std::string_view search, std::string_view text);
int32_t CountNonOverlapping(std::string_view search, std::string_view text);
// The separator alternatives (separators divided at marker; "-zq-" or an empty marker: one
// alternative) found in text by the item cut: the earliest alternative each time, continuing after
// its end, quoted spans (quote_open .. quote_close, nesting-aware) skipped.
int32_t CountInItems(std::string_view separators, std::string_view text, int case_flag,
                     std::string_view marker, std::string_view quote_close, std::string_view quote_open);
// Number of separators + 1; 0 for an empty list.
int32_t CountItems(std::string_view list, std::string_view separator);
// The 1-based index of entry in the separated list, 0 when absent.
int32_t EntryIndex(std::string_view entry, std::string_view list, std::string_view separator,
                   int case_flag = 0);

// --- Shared low-level helpers ---

// The alternatives of a separator list: separators divided at marker, empty ones dropped. The marker
// "-zq-" (or an empty marker) makes the whole text the single alternative.
std::vector<std::string_view> SeparatorAlternatives(std::string_view separators, std::string_view marker);
// 0-based byte search from `from`; npos when absent or when search is empty. Letter case is folded
// with ByteFold.
std::size_t FindBytes(std::string_view search, std::string_view text, std::size_t from, bool case_sensitive);

// Letter case as the case-free searches fold it, byte for byte, so that positions in a folded copy are
// positions in the text: the case tables' lower case, except that in the Utf8 model bytes from 128 up
// stay as they are (they are parts of characters there; folding them could match half a character).
class ByteFold {
  public:
    ByteFold();
    unsigned char operator()(unsigned char c) const { return table_[c]; }
    char operator()(char c) const { return static_cast<char>(table_[static_cast<unsigned char>(c)]); }
    void InPlace(std::string& text) const;
    std::string Of(std::string_view text) const;

  private:
    const unsigned char* table_;
    bool ascii_only_;
    std::array<unsigned char, 256> own_;
};

// --- Characters of the text model ---

// Whether a byte set holds the character c (DecodeAt's form; in the bytes model the byte's value). A
// code point up to U+00FF is judged as the byte of the same value (U+00A0 is the blank that byte 160
// stands for), a stray byte as itself, and a code point beyond U+00FF belongs to a set that holds every
// byte from 128 up (the sets in which those bytes are all letter parts, or all separators).
bool SetHasChar(const CharSet& set, char32_t c);
// Whether a character starts (or the text ends) at the byte offset: not inside a valid sequence.
bool IsCharBoundary(std::string_view text, std::size_t at);
// The 1-based character position of the character that starts at the byte offset.
int32_t CharPosition(std::string_view text, std::size_t at);
// Whether any byte of the text is a, b or c: one pass, 16 bytes at a time, for the prefilters that
// would otherwise search a text once for each byte.
bool HasAnyByte(std::string_view text, char a, char b, char c);

}  // namespace rowsmith::text
