#pragma once
// Character sets and the program's case tables. The tables are the only global state of the core:
// built once at start-up (BuildCharacterTables) and only read afterwards.

#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>

namespace rowsmith::text {

// A set of byte values (256 members).
class CharSet {
public:
    CharSet() = default;
    static CharSet Of(std::string_view members);
    static CharSet Range(unsigned char first, unsigned char last);

    bool Has(unsigned char c) const { return bits_[c]; }
    bool Has(char c) const { return bits_[static_cast<unsigned char>(c)]; }
    void Add(unsigned char c) { bits_.set(c); }
    void Remove(unsigned char c) { bits_.reset(c); }
    bool Empty() const { return bits_.none(); }
    std::size_t Count() const { return bits_.count(); }

    CharSet operator|(const CharSet& o) const {
        CharSet r;
        r.bits_ = bits_ | o.bits_;
        return r;
    }
    CharSet operator&(const CharSet& o) const {
        CharSet r;
        r.bits_ = bits_ & o.bits_;
        return r;
    }
    CharSet operator~() const {
        CharSet r;
        r.bits_ = ~bits_;
        return r;
    }
    CharSet& operator|=(const CharSet& o) {
        bits_ |= o.bits_;
        return *this;
    }
    bool operator==(const CharSet& o) const { return bits_ == o.bits_; }

private:
    std::bitset<256> bits_;
};

// The case tables and the letter sets derived from them.
struct CaseTables {
    std::array<unsigned char, 256> upper{};  // upper-case form of every byte (non-letters map to themselves)
    std::array<unsigned char, 256> lower{};  // lower-case form of every byte
    CharSet upper_letters;                   // bytes whose lower-case form differs from themselves
    CharSet lower_letters;                   // the lower-case forms of the upper-case letters
    CharSet letters;                         // both together
    CharSet others;                          // neither a digit nor a letter
    bool ascii_only = false;                 // upper and lower map exactly A-Z and a-z, nothing else
};

// Builds the tables. `codepage` "" (or "locale") takes the C library's single-byte mapping in the
// user's locale, which is ASCII-only under UTF-8 locales, so UTF-8 text survives every case change;
// "cp1252" (also "windows-1252") builds them from Windows-1252; "ascii" (also "c") maps only A-Z.
// Returns false, leaving the tables as they were, for a code page it does not know.
bool BuildCharacterTables(std::string_view codepage = "");

// The tables in force; ASCII tables until BuildCharacterTables runs.
const CaseTables& Tables();

inline unsigned char LowerChar(unsigned char c) { return Tables().lower[c]; }
inline unsigned char UpperChar(unsigned char c) { return Tables().upper[c]; }
inline char LowerChar(char c) { return static_cast<char>(Tables().lower[static_cast<unsigned char>(c)]); }
inline char UpperChar(char c) { return static_cast<char>(Tables().upper[static_cast<unsigned char>(c)]); }

std::string LowerCase(std::string_view text);
std::string UpperCase(std::string_view text);
void LowerCaseInPlace(std::string& text);
void UpperCaseInPlace(std::string& text);
// Equal after lower-casing both sides with the case table.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// The fixed sets.
const CharSet& Digits();             // "0" to "9"
const CharSet& Letters();            // upper- and lower-case letters of the case tables
const CharSet& UpperLetters();
const CharSet& LowerLetters();
const CharSet& Others();             // neither a digit nor a letter
const CharSet& UnsafeFileNameChars();  // / \ : * ? " < > | and bytes 0 to 31
const CharSet& Blanks();             // tab, space and byte 160

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline bool IsLetter(char c) { return Tables().letters.Has(c); }

}  // namespace rowsmith::text
