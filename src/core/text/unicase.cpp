#include "text/unicase.h"

#include <unicode/stringoptions.h>
#include <unicode/ucasemap.h>
#include <unicode/uchar.h>

#include <limits>

#include "text/utf8.h"

namespace rowsmith::text {

namespace {

constexpr char32_t kCapitalSigma = 0x03A3;
constexpr char32_t kFinalSigma = 0x03C2;

// One pair of case maps per thread, opened at first use: a UCaseMap is not safe to share (the title
// map keeps its break iterator) and opening one per call would cost more than most mappings.
struct CaseMaps {
    UCaseMap* plain = nullptr;
    UCaseMap* title = nullptr;  // title-cases the character at index 0 only, leaves the rest alone
    CaseMaps() {
        // "" is the root locale; a null locale would be the user's, which must not change results.
        UErrorCode e = U_ZERO_ERROR;
        plain = ucasemap_open("", U_FOLD_CASE_DEFAULT, &e);
        if (U_FAILURE(e)) plain = nullptr;
        e = U_ZERO_ERROR;
        title = ucasemap_open(
            "", U_TITLECASE_WHOLE_STRING | U_TITLECASE_NO_LOWERCASE | U_TITLECASE_NO_BREAK_ADJUSTMENT, &e);
        if (U_FAILURE(e)) title = nullptr;
    }
    ~CaseMaps() {
        ucasemap_close(plain);
        ucasemap_close(title);
    }
    CaseMaps(const CaseMaps&) = delete;
    CaseMaps& operator=(const CaseMaps&) = delete;
};

CaseMaps& Maps() {
    thread_local CaseMaps maps;
    return maps;
}

char32_t SimpleMapping(char32_t c, LetterCase to) {
    const auto cp = static_cast<UChar32>(c);
    switch (to) {
        case LetterCase::Upper:
            return static_cast<char32_t>(u_toupper(cp));
        case LetterCase::Lower:
            return static_cast<char32_t>(u_tolower(cp));
        case LetterCase::Title:
            return static_cast<char32_t>(u_totitle(cp));
    }
    return c;
}

// Appends `valid` (valid UTF-8) mapped by ICU. Should ICU fail, the simple one-to-one mappings are
// used instead, so the text is never damaged.
void AppendMappedValid(std::string& out, std::string_view valid, LetterCase to) {
    if (valid.empty()) return;
    CaseMaps& maps = Maps();
    UCaseMap* map = to == LetterCase::Title ? maps.title : maps.plain;
    if (map != nullptr && valid.size() < static_cast<std::size_t>(std::numeric_limits<int32_t>::max() / 4)) {
        const std::size_t at = out.size();
        auto room = static_cast<int32_t>(valid.size() + valid.size() / 2 + 16);
        for (int attempt = 0; attempt < 2; ++attempt) {
            out.resize(at + static_cast<std::size_t>(room));
            UErrorCode e = U_ZERO_ERROR;
            const auto src = static_cast<int32_t>(valid.size());
            int32_t n = 0;
            if (to == LetterCase::Upper)
                n = ucasemap_utf8ToUpper(map, out.data() + at, room, valid.data(), src, &e);
            else if (to == LetterCase::Lower)
                n = ucasemap_utf8ToLower(map, out.data() + at, room, valid.data(), src, &e);
            else
                n = ucasemap_utf8ToTitle(map, out.data() + at, room, valid.data(), src, &e);
            if (U_SUCCESS(e)) {
                out.resize(at + static_cast<std::size_t>(n));
                return;
            }
            out.resize(at);
            if (e != U_BUFFER_OVERFLOW_ERROR) break;
            room = n;
        }
    }
    for (std::size_t pos = 0; pos < valid.size();) AppendUtf8(out, SimpleMapping(DecodeAt(valid, pos), to));
}

// Maps the valid stretches of the text; the stray bytes between them stay as they are.
std::string MapText(std::string_view text, LetterCase to) {
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t valid = ValidUtf8Prefix(text.substr(pos));
        AppendMappedValid(out, text.substr(pos, valid), to);
        pos += valid;
        if (pos < text.size()) out.push_back(text[pos++]);
    }
    return out;
}

bool IsCased(char32_t c) {
    return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_CASED);
}
bool IsCaseIgnorable(char32_t c) {
    return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_CASE_IGNORABLE);
}

// The Final_Sigma condition of the Unicode standard: a cased letter before (case-ignorable characters
// between are skipped) and none after.
bool IsFinalSigma(std::string_view text, std::size_t start, std::size_t end) {
    bool cased_before = false;
    for (std::size_t p = start; p > 0;) {
        const char32_t c = DecodeBefore(text, p);
        if (IsCaseIgnorable(c)) continue;
        cased_before = IsCased(c);
        break;
    }
    if (!cased_before) return false;
    for (std::size_t p = end; p < text.size();) {
        const char32_t c = DecodeAt(text, p);
        if (IsCaseIgnorable(c)) continue;
        return !IsCased(c);
    }
    return true;
}

char AsciiCase(char c, LetterCase to) {
    if (to == LetterCase::Lower) return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

}  // namespace

std::string UnicodeUpper(std::string_view text) {
    return MapText(text, LetterCase::Upper);
}

std::string UnicodeLower(std::string_view text) {
    return MapText(text, LetterCase::Lower);
}

std::string UnicodeTitleFirst(std::string_view text) {
    std::string out;
    if (text.empty()) return out;
    out.reserve(text.size() + 4);
    const std::size_t end = CharLengthAt(text, 0);
    AppendCaseOf(out, text, 0, end, LetterCase::Title);
    out.append(text.substr(end));
    return out;
}

void AppendCaseOf(std::string& out, std::string_view text, std::size_t start, std::size_t end,
                  LetterCase to) {
    const auto lead = static_cast<unsigned char>(text[start]);
    if (lead < 0x80) {
        out.push_back(AsciiCase(text[start], to));
        return;
    }
    std::size_t pos = start;
    const char32_t c = DecodeAt(text, pos);
    if (IsStrayByte(c)) {
        out.push_back(text[start]);
        return;
    }
    // Mapped alone, the sigma would never see its neighbours.
    if (c == kCapitalSigma && to == LetterCase::Lower && IsFinalSigma(text, start, end)) {
        AppendUtf8(out, kFinalSigma);
        return;
    }
    AppendMappedValid(out, text.substr(start, end - start), to);
}

std::string UnicodeInvertCase(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = pos;
        const char32_t c = DecodeAt(text, pos);
        AppendCaseOf(out, text, start, pos, ChangesWhenUppercased(c) ? LetterCase::Upper : LetterCase::Lower);
    }
    return out;
}

// --- Character classes ---

bool IsUnicodeLetter(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_ALPHABETIC);
}

bool IsUnicodeDigit(char32_t c) {
    if (c < 0x80) return c >= '0' && c <= '9';
    return u_isdigit(static_cast<UChar32>(c));
}

bool IsUnicodeSpace(char32_t c) {
    return u_isUWhiteSpace(static_cast<UChar32>(c));
}

bool IsUnicodeBlank(char32_t c) {
    if (c < 0x80) return c == ' ' || c == '\t';
    return u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR;
}

bool IsCombiningMark(char32_t c) {
    return c >= 0x300 && (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_M_MASK) != 0;
}

bool IsUnicodeWordPart(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    return IsUnicodeLetter(c) || IsUnicodeDigit(c) || IsCombiningMark(c) || IsStrayByte(c) ||
           u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_JOIN_CONTROL);
}

bool IsUnicodeTrimmed(char32_t c) {
    if (c < 0x80) return c <= 32;
    return IsUnicodeSpace(c) || u_charType(static_cast<UChar32>(c)) == U_CONTROL_CHAR;
}

bool ChangesWhenUppercased(char32_t c) {
    if (c < 0x80) return c >= 'a' && c <= 'z';
    return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_CHANGES_WHEN_UPPERCASED);
}

// --- Words and filters ---

std::string UnicodeCapitaliseAfter(std::string_view text, CharTest is_separator) {
    std::string out;
    out.reserve(text.size() + 8);
    bool after_separator = true;  // the first character counts as a word start
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = pos;
        const char32_t c = DecodeAt(text, pos);
        if (after_separator)
            AppendCaseOf(out, text, start, pos, LetterCase::Title);
        else
            out.append(text, start, pos - start);
        after_separator = is_separator(c);
    }
    return out;
}

std::vector<WordSpan> UnicodeWords(std::string_view text, CharTest in_word) {
    std::vector<WordSpan> words;
    bool inside = false;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = pos;
        const bool part = in_word(DecodeAt(text, pos));
        if (part && !inside) words.push_back({start, start});
        if (part) words.back().end = pos;
        inside = part;
    }
    return words;
}

std::string UnicodeInitials(std::string_view text) {
    std::string out;
    for (const WordSpan& w : UnicodeWords(text, IsUnicodeWordPart)) {
        std::size_t end = w.start;
        DecodeAt(text, end);
        for (std::size_t next = end; next < w.end && IsCombiningMark(DecodeAt(text, next));) end = next;
        out.append(text, w.start, end - w.start);
    }
    return out;
}

std::string UnicodeKeep(std::string_view text, CharTest keep, std::string_view extra) {
    const std::u32string extras = ToCodePoints(extra);
    std::string out;
    out.reserve(text.size());
    bool base_kept = false;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = pos;
        const char32_t c = DecodeAt(text, pos);
        const bool wanted = keep(c) || extras.find(c) != std::u32string::npos;
        const bool attached = !wanted && IsCombiningMark(c);
        if (attached ? base_kept : wanted) out.append(text, start, pos - start);
        if (!attached) base_kept = wanted;
    }
    return out;
}

}  // namespace rowsmith::text
