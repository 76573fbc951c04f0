#include "text/chars.h"

#include <cctype>
#include <clocale>
#include <cstring>

namespace rowsmith::text {

CharSet CharSet::Of(std::string_view members) {
    CharSet s;
    for (char c : members) s.Add(static_cast<unsigned char>(c));
    return s;
}

CharSet CharSet::Range(unsigned char first, unsigned char last) {
    CharSet s;
    for (unsigned c = first; c <= last; ++c) s.Add(static_cast<unsigned char>(c));
    return s;
}

namespace {

CaseTables MakeTables(unsigned char (*to_lower)(unsigned char), unsigned char (*to_upper)(unsigned char)) {
    CaseTables t;
    for (unsigned c = 0; c < 256; ++c) {
        t.upper[c] = static_cast<unsigned char>(c);
        t.lower[c] = static_cast<unsigned char>(c);
    }
    // A byte is an upper-case letter when its lower-case form differs; that form is a lower-case letter.
    for (unsigned c = 1; c < 256; ++c) {
        const unsigned char l = to_lower(static_cast<unsigned char>(c));
        if (l != c) {
            t.upper_letters.Add(static_cast<unsigned char>(c));
            t.lower_letters.Add(l);
        }
    }
    for (unsigned c = 1; c < 256; ++c) {
        if (t.upper_letters.Has(static_cast<unsigned char>(c)) || t.lower_letters.Has(static_cast<unsigned char>(c))) {
            t.lower[c] = to_lower(static_cast<unsigned char>(c));
            t.upper[c] = to_upper(static_cast<unsigned char>(c));
        }
    }
    t.letters = t.upper_letters | t.lower_letters;
    t.others = ~(t.letters | CharSet::Range('0', '9'));
    t.ascii_only = true;
    for (unsigned c = 0; c < 256; ++c) {
        const bool big = c >= 'A' && c <= 'Z', small = c >= 'a' && c <= 'z';
        if (t.upper[c] != (small ? c - 32 : c) || t.lower[c] != (big ? c + 32 : c)) t.ascii_only = false;
    }
    return t;
}

// Adds `delta` to every byte in first..last, 16 bytes at a time (vector code without intrinsics;
// the compiler picks the instructions). Texts under 16 bytes go byte by byte; longer ones end with
// one block overlapping the previous, which is harmless as the change maps its results to themselves.
void ShiftAsciiRange(std::string& text, unsigned char first, unsigned char last, signed char delta) {
    typedef unsigned char Block __attribute__((vector_size(16)));
    char* p = text.data();
    const std::size_t n = text.size();
    const unsigned char span = static_cast<unsigned char>(last - first);
    auto block_at = [&](std::size_t at) {
        Block b;
        std::memcpy(&b, p + at, 16);
        const Block in_range = (b - first) <= span;  // all ones where the byte is in first..last
        b += in_range & static_cast<unsigned char>(delta);
        std::memcpy(p + at, &b, 16);
    };
    if (n < 16) {
        for (std::size_t i = 0; i < n; ++i) {
            const unsigned char c = static_cast<unsigned char>(p[i]);
            if (static_cast<unsigned char>(c - first) <= span) p[i] = static_cast<char>(c + delta);
        }
        return;
    }
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) block_at(i);
    if (i < n) block_at(n - 16);
}

unsigned char AsciiLower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; }
unsigned char AsciiUpper(unsigned char c) { return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c; }

unsigned char LocaleLower(unsigned char c) { return static_cast<unsigned char>(std::tolower(c)); }
unsigned char LocaleUpper(unsigned char c) { return static_cast<unsigned char>(std::toupper(c)); }

// Windows-1252 letter pairs outside ASCII: Š/š, Œ/œ, Ž/ž, Ÿ/ÿ and the Latin-1 range.
unsigned char Cp1252Lower(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
    if ((c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xDE)) return static_cast<unsigned char>(c + 32);
    switch (c) {
        case 0x8A: return 0x9A;
        case 0x8C: return 0x9C;
        case 0x8E: return 0x9E;
        case 0x9F: return 0xFF;
        default: return c;
    }
}
unsigned char Cp1252Upper(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
    if ((c >= 0xE0 && c <= 0xF6) || (c >= 0xF8 && c <= 0xFE)) return static_cast<unsigned char>(c - 32);
    switch (c) {
        case 0x9A: return 0x8A;
        case 0x9C: return 0x8C;
        case 0x9E: return 0x8E;
        case 0xFF: return 0x9F;
        default: return c;
    }
}

CaseTables& MutableTables() {
    static CaseTables tables = MakeTables(AsciiLower, AsciiUpper);
    return tables;
}

}  // namespace

bool BuildCharacterTables(std::string_view codepage) {
    std::string cp;
    for (char c : codepage) cp += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (cp.empty() || cp == "locale") {
        std::setlocale(LC_CTYPE, "");
        MutableTables() = MakeTables(LocaleLower, LocaleUpper);
        return true;
    }
    if (cp == "cp1252" || cp == "windows-1252" || cp == "1252") {
        MutableTables() = MakeTables(Cp1252Lower, Cp1252Upper);
        return true;
    }
    if (cp == "ascii" || cp == "c") {
        MutableTables() = MakeTables(AsciiLower, AsciiUpper);
        return true;
    }
    return false;
}

const CaseTables& Tables() { return MutableTables(); }

std::string LowerCase(std::string_view text) {
    std::string r(text);
    LowerCaseInPlace(r);
    return r;
}

std::string UpperCase(std::string_view text) {
    std::string r(text);
    UpperCaseInPlace(r);
    return r;
}

void LowerCaseInPlace(std::string& text) {
    if (Tables().ascii_only) return ShiftAsciiRange(text, 'A', 'Z', 32);
    const auto& lower = Tables().lower;
    for (char& c : text) c = static_cast<char>(lower[static_cast<unsigned char>(c)]);
}

void UpperCaseInPlace(std::string& text) {
    if (Tables().ascii_only) return ShiftAsciiRange(text, 'a', 'z', -32);
    const auto& upper = Tables().upper;
    for (char& c : text) c = static_cast<char>(upper[static_cast<unsigned char>(c)]);
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    const auto& lower = Tables().lower;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower[static_cast<unsigned char>(a[i])] != lower[static_cast<unsigned char>(b[i])]) return false;
    return true;
}

const CharSet& Digits() {
    static const CharSet s = CharSet::Range('0', '9');
    return s;
}
const CharSet& Letters() { return Tables().letters; }
const CharSet& UpperLetters() { return Tables().upper_letters; }
const CharSet& LowerLetters() { return Tables().lower_letters; }
const CharSet& Others() { return Tables().others; }
const CharSet& UnsafeFileNameChars() {
    static const CharSet s = CharSet::Of("/\\:*?\"<>|") | CharSet::Range(0, 31);
    return s;
}
const CharSet& Blanks() {
    static const CharSet s = CharSet::Of("\t \xA0");
    return s;
}

}  // namespace rowsmith::text
