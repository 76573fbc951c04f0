// The modifiers for case, letters and words: case conversions, character filters, trimming, article
// and bracket rearrangements, repetition and a few text games. Each one changes the value in place.
// A value the text model counts in code points (utf8.h) takes the Unicode routines of unicase.h;
// every other value takes the byte tables, exactly as in the bytes model.

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <string_view>

#include "template/context.h"
#include "template/evaluator.h"
#include "template/registry.h"
#include "text/chars.h"
#include "text/replace.h"
#include "text/search.h"
#include "text/spans.h"
#include "text/split.h"
#include "text/strings.h"
#include "text/unicase.h"
#include "text/utf8.h"

namespace rowsmith::tmpl {

namespace {

using text::CharSet;

// When the case tables know no letter from byte 128 up (ASCII or UTF-8 locales), those bytes are
// parts of multi-byte letters: they belong to words instead of separating them, so that "über"
// stays one word.
bool HighBytesAreLetterParts() {
    return (text::Letters() & CharSet::Range(128, 255)).Empty();
}

CharSet WordCharacters() {
    CharSet set = text::DefaultWordCharacters();
    if (HighBytesAreLetterParts()) set |= CharSet::Range(128, 255);
    return set;
}

CharSet InitialSeparators() {
    CharSet set = text::WordSeparators();
    if (HighBytesAreLetterParts())
        for (unsigned c = 128; c < 256; ++c) set.Remove(static_cast<unsigned char>(c));
    return set;
}

// The length of the character at i: a UTF-8 lead byte takes its continuation bytes along when the
// high bytes are letter parts, every other byte stands alone.
std::size_t CharacterLength(std::string_view s, std::size_t i) {
    const auto lead = static_cast<unsigned char>(s[i]);
    if (lead < 0xC2 || lead > 0xF4 || !HighBytesAreLetterParts()) return 1;
    std::size_t n = 1;
    const std::size_t most = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    while (n < most && i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80) ++n;
    return n;
}

// Whether the first character is one of several bytes: only then does a rule for the first character
// differ from the byte rule, so the rest of the value need not be looked at.
bool FirstCharIsUnicode(std::string_view v) {
    return !v.empty() && static_cast<unsigned char>(v[0]) >= 0x80 &&
           text::CurrentCharModel() == text::CharModel::Utf8;
}

// The apostrophe-like characters inside words: the ASCII ones and the UTF-8 forms of bytes 146 (’)
// and 180 (´) of the byte rules.
bool IsApostrophe(char32_t c) {
    return c == '\'' || c == '`' || c == 0x2019 || c == 0xB4;
}

void CaseUpper(ModifierCall& call) {
    std::string& v = call.Value();
    if (text::CountsCodePoints(v))
        v = text::UnicodeUpper(v);
    else
        text::UpperCaseInPlace(v);
}

void CaseLower(ModifierCall& call) {
    std::string& v = call.Value();
    if (text::CountsCodePoints(v))
        v = text::UnicodeLower(v);
    else
        text::LowerCaseInPlace(v);
}

void CaseFirstUpper(ModifierCall& call) {
    std::string& v = call.Value();
    if (FirstCharIsUnicode(v))
        v = text::UnicodeTitleFirst(v);
    else if (!v.empty())
        v[0] = text::UpperChar(v[0]);
}

bool IsCaseEnglishSeparator(char32_t c) {
    return !text::IsUnicodeWordPart(c) && !IsApostrophe(c);
}

void CaseEnglish(ModifierCall& call) {
    std::string& v = call.Value();
    if (text::CountsCodePoints(v)) {
        v = text::UnicodeCapitaliseAfter(v, IsCaseEnglishSeparator);
        return;
    }
    const CharSet separators = text::CaseEnglishSeparators();
    for (std::size_t i = 1; i < v.size(); ++i)
        if (separators.Has(v[i - 1])) v[i] = text::UpperChar(v[i]);
    if (!v.empty()) v[0] = text::UpperChar(v[0]);
}

// Small words stay small in a title unless they open a bracket; the list is matched with commas
// around the word.
constexpr std::string_view kSmallWords =
    ",to,of,when,after,at,in,on,onto,into,from,if,and,or,go,goes,do,does,the,an,a,my,mine,your,you,your,"
    "yours,he,his,she,her,hers,it,its,us,we,ours,they,them,theirs,much,many,by,not,no,yes,where,when,with,"
    "without,";

bool IsSmallWord(std::string_view word) {
    for (std::size_t at = kSmallWords.find(word); at != std::string_view::npos;
         at = kSmallWords.find(word, at + 1))
        if (at > 0 && at + word.size() < kSmallWords.size() && kSmallWords[at - 1] == ',' &&
            kSmallWords[at + word.size()] == ',')
            return true;
    return false;
}

// Words of caseintelligent: those of the byte rule (letters, digits, ' ` and byte 146).
bool IsIntelligentWordPart(char32_t c) {
    return text::IsUnicodeWordPart(c) || c == '\'' || c == '`' || c == 0x2019;
}

std::string CaseIntelligentUnicode(std::string_view value) {
    const std::string v = text::UnicodeLower(value);
    std::string out;
    out.reserve(v.size() + 8);
    std::size_t copied = 0;
    for (const text::WordSpan& w : text::UnicodeWords(v, IsIntelligentWordPart)) {
        const char before = w.start > 0 ? v[w.start - 1] : '\0';
        const bool after_bracket = before == '(' || before == '[' || before == '{';
        if (w.start > 0 && !after_bracket &&
            IsSmallWord(std::string_view(v).substr(w.start, w.end - w.start)))
            continue;
        std::size_t first_end = w.start;
        text::DecodeAt(v, first_end);
        out.append(v, copied, w.start - copied);
        text::AppendCaseOf(out, v, w.start, first_end, text::LetterCase::Title);
        copied = first_end;
    }
    out.append(v, copied);
    // The value's first character is capitalised even when no word starts there.
    std::size_t first = 0;
    if (!out.empty() && !IsIntelligentWordPart(text::DecodeAt(v, first))) out = text::UnicodeTitleFirst(out);
    for (std::size_t at = out.find("(S)", 1); at != std::string::npos; at = out.find("(S)", at + 1)) {
        std::size_t before = at;
        if (text::IsUnicodeLetter(text::DecodeBefore(out, before))) out[at + 1] = 's';
    }
    return out;
}

void CaseIntelligent(ModifierCall& call) {
    std::string& v = call.Value();
    if (v.empty()) return;
    if (text::CountsCodePoints(v)) {
        v = CaseIntelligentUnicode(v);
        return;
    }
    text::LowerCaseInPlace(v);
    text::PosInfoT words;
    words.Mode = text::kSearchWordRun;
    words.WordCharacters = WordCharacters();
    text::SearchAll(words, {}, v);
    for (int32_t k = 1; k <= words.FoundCount; ++k) {
        const auto at = static_cast<std::size_t>(words.Positions[static_cast<std::size_t>(k)].Position - 1);
        const auto length = static_cast<std::size_t>(words.Positions[static_cast<std::size_t>(k)].Length);
        const bool after_bracket = at > 0 && (v[at - 1] == '(' || v[at - 1] == '[' || v[at - 1] == '{');
        if (!IsSmallWord(std::string_view(v).substr(at, length)) || after_bracket)
            v[at] = text::UpperChar(v[at]);
    }
    v[0] = text::UpperChar(v[0]);
    // "File(S)" reads better as "File(s)".
    for (std::size_t at = v.find("(S)", 1); at != std::string::npos; at = v.find("(S)", at + 1))
        if (text::IsLetter(v[at - 1])) v[at + 1] = 's';
}

void CaseRandom(ModifierCall& call) {
    std::bernoulli_distribution upper(0.5);
    std::string& v = call.Value();
    if (text::CountsCodePoints(v)) {
        // One draw a character, not a byte.
        std::string out;
        out.reserve(v.size() + 8);
        for (std::size_t pos = 0; pos < v.size();) {
            const std::size_t start = pos;
            text::DecodeAt(v, pos);
            text::AppendCaseOf(
                out, v, start, pos,
                upper(text::RandomEngine()) ? text::LetterCase::Upper : text::LetterCase::Lower);
        }
        v = std::move(out);
        return;
    }
    for (char& c : v) c = upper(text::RandomEngine()) ? text::UpperChar(c) : text::LowerChar(c);
}

void CaseInvert(ModifierCall& call) {
    std::string& v = call.Value();
    if (text::CountsCodePoints(v)) {
        v = text::UnicodeInvertCase(v);
        return;
    }
    for (char& c : v) c = text::UpperChar(c) == c ? text::LowerChar(c) : text::UpperChar(c);
}

bool EqualsAsciiIgnoreCase(std::string_view a, std::string_view b) {
    for (std::size_t i = 0; i < a.size(); ++i)
        if (text::LowerChar(a[i]) != text::LowerChar(b[i])) return false;
    return true;
}

// The replace engine's whole-word rule on characters: the byte tables would take a UTF-8 letter next
// to the word for a separator ("\xC3\x89god" is no "god"). The searches are ASCII, so the letter case
// of a match and its transfer to the replacement are those of ASCII; one pass is enough, as no
// replacement forms a new match.
std::string ReplaceWholeWordOnCodePoints(std::string_view value, std::string_view search,
                                         std::string_view replacement, bool ignore_case) {
    std::string out;
    std::size_t copied = 0;
    for (std::size_t at = 0; at + search.size() <= value.size(); ++at) {
        const std::string_view here = value.substr(at, search.size());
        if (ignore_case ? !EqualsAsciiIgnoreCase(here, search) : here != search) continue;
        std::size_t before = at, after = at + search.size();
        if (at > 0 && text::IsUnicodeWordPart(text::DecodeBefore(value, before))) continue;
        if (after < value.size() && text::IsUnicodeWordPart(text::DecodeAt(value, after))) continue;
        out.append(value, copied, at - copied);
        std::string piece(replacement);
        if (ignore_case)
            for (std::size_t i = 0; i < std::min(piece.size(), here.size()); ++i)
                if (text::IsAsciiLetter(here[i]))
                    piece[i] = here[i] >= 'a' ? text::LowerChar(piece[i]) : text::UpperChar(piece[i]);
        out += piece;
        copied = at + search.size();
        at = copied - 1;
    }
    if (copied == 0) return std::string(value);
    out.append(value, copied);
    return out;
}

// Applies whole-word replacements in order with a one-off record of the replace engine.
template <std::size_t N>
void ReplaceWholeWords(std::string& value,
                       const std::array<std::pair<std::string_view, std::string_view>, N>& pairs,
                       bool ignore_case) {
    if (text::CountsCodePoints(value)) {
        for (const auto& [search, replacement] : pairs)
            value = ReplaceWholeWordOnCodePoints(value, search, replacement, ignore_case);
        return;
    }
    text::ReplaceT record;
    text::InitReplace(record);
    record.MustStartWord = 1;
    record.MustEndWord = 1;
    if (ignore_case) {
        record.CaseSensitive = 0;
        record.KeepCase = 1;
    }
    for (const auto& [search, replacement] : pairs)
        value = text::ReplaceText(record, search, replacement, value);
}

void CaseGod(ModifierCall& call) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 12> kPairs = {{
        {"jesus", "JESUS"},
        {"god", "GOD"},
        {"he", "HE"},
        {"his", "HIS"},
        {"him", "HIM"},
        {"the lord", "THE LORD"},
        {"jehova", "JEHOVA"},
        {"jehovah", "JEHOVAH"},
        {"jahwe", "JAHWE"},
        {"jahweh", "JAHWEH"},
        {"messias", "MESSIAS"},
        {"messiah", "MESSIAH"},
    }};
    ReplaceWholeWords(call.Value(), kPairs, false);
}

void InThePast(ModifierCall& call) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 4> kPairs = {{
        {"is", "was"},
        {"has", "had"},
        {"have", "had"},
        {"uses", "used"},
    }};
    ReplaceWholeWords(call.Value(), kPairs, true);
}

char EleetChar(char c) {
    switch (text::LowerChar(c)) {
        case 'a':
            return '4';
        case 'b':
            return '6';
        case 'e':
            return '3';
        case 'g':
            return '9';
        case 'l':
            return '1';
        case 'o':
            return '0';
        case 's':
            return '5';
        case 't':
            return '7';
        case 'x':
            return '8';
        case 'z':
            return '2';
        default:
            return c;
    }
}

char EleetBack(char c) {
    switch (c) {
        case '4':
            return 'a';
        case '6':
            return 'b';
        case '3':
            return 'e';
        case '9':
            return 'g';
        case '1':
            return 'l';
        case '0':
            return 'o';
        case '5':
            return 's';
        case '7':
            return 't';
        case '8':
            return 'x';
        case '2':
            return 'z';
        default:
            break;
    }
    const char lower = text::LowerChar(c);
    return EleetChar(lower) != lower && text::IsAsciiLetter(c) ? lower : c;
}

void Eleet(ModifierCall& call) {
    for (char& c : call.Value()) c = EleetChar(c);
}

void EleetToNormal(ModifierCall& call) {
    for (char& c : call.Value()) c = EleetBack(c);
}

void Reverse(ModifierCall& call) {
    call.Value() = text::ReverseText(call.Value());
}

void OnlyInitials(ModifierCall& call) {
    const std::string& v = call.Value();
    if (text::CountsCodePoints(v)) {
        call.Value() = text::UnicodeInitials(v);
        return;
    }
    const CharSet separators = InitialSeparators();
    std::string initials;
    for (std::size_t i = 0; i < v.size();) {
        const std::size_t n = CharacterLength(v, i);
        if (!separators.Has(v[i]) && (i == 0 || separators.Has(v[i - 1]))) initials.append(v, i, n);
        i += n;
    }
    call.Value() = std::move(initials);
}

bool IsLetterOrDigit(char32_t c) {
    return text::IsUnicodeLetter(c) || text::IsUnicodeDigit(c);
}

bool IsNoBlank(char32_t c) {
    return !text::IsUnicodeBlank(c);
}

// The filters keep Unicode letters and decimal digits; the characters of argument 1 are compared as
// characters. Stray bytes are neither and go (as high bytes do under the ASCII tables).
void OnlyNumbers(ModifierCall& call) {
    if (text::CountsCodePoints(call.Value())) {
        call.Value() = text::UnicodeKeep(call.Value(), text::IsUnicodeDigit, call.Text(1));
        return;
    }
    call.Value() = text::OnlyNumbers(call.Value(), call.Text(1));
}

void OnlyLetters(ModifierCall& call) {
    if (text::CountsCodePoints(call.Value())) {
        call.Value() = text::UnicodeKeep(call.Value(), text::IsUnicodeLetter, call.Text(1));
        return;
    }
    call.Value() = text::OnlyLetters(call.Value(), call.Text(1));
}

void OnlyLettersAndNumbers(ModifierCall& call) {
    if (text::CountsCodePoints(call.Value())) {
        call.Value() = text::UnicodeKeep(call.Value(), IsLetterOrDigit, call.Text(1));
        return;
    }
    call.Value() = text::OnlyLettersAndNumbers(call.Value(), call.Text(1));
}

void NoSpace(ModifierCall& call) {
    // Byte 160 alone would cut "à" (C3 A0) in two; on characters every Unicode space goes instead.
    if (text::CountsCodePoints(call.Value())) {
        call.Value() = text::UnicodeKeep(call.Value(), IsNoBlank);
        return;
    }
    call.Value() = text::KeepChars(call.Value(), ~text::Blanks());
}

// Trimming removes every byte up to the space. In the Utf8 model a character of several bytes at an
// end is decoded as well (no-break space, U+3000, C1 controls): an ASCII value never gets past the
// byte test, so it needs no scan for being ASCII.
std::size_t TrimmedStart(std::string_view v, std::size_t end, bool unicode) {
    std::size_t start = 0;
    while (start < end) {
        const auto b = static_cast<unsigned char>(v[start]);
        if (b <= 32) {
            ++start;
            continue;
        }
        if (b < 0x80 || !unicode) break;
        std::size_t next = start;
        if (!text::IsUnicodeTrimmed(text::DecodeAt(v, next))) break;
        start = next;
    }
    return start;
}

std::size_t TrimmedEnd(std::string_view v, bool unicode) {
    std::size_t end = v.size();
    while (end > 0) {
        const auto b = static_cast<unsigned char>(v[end - 1]);
        if (b <= 32) {
            --end;
            continue;
        }
        if (b < 0x80 || !unicode) break;
        std::size_t before = end;
        if (!text::IsUnicodeTrimmed(text::DecodeBefore(v, before))) break;
        end = before;
    }
    return end;
}

bool TrimsUnicode() {
    return text::CurrentCharModel() == text::CharModel::Utf8;
}

void Trim(ModifierCall& call) {
    // In place: a line that is trimmed on every row should not cost two new texts.
    std::string& v = call.Value();
    const bool unicode = TrimsUnicode();
    const std::size_t end = TrimmedEnd(v, unicode);
    const std::size_t start = TrimmedStart(v, end, unicode);
    v.erase(end);
    v.erase(0, start);
}

void TrimLeft(ModifierCall& call) {
    std::string& v = call.Value();
    v.erase(0, TrimmedStart(v, v.size(), TrimsUnicode()));
}

void TrimRight(ModifierCall& call) {
    std::string& v = call.Value();
    v.erase(TrimmedEnd(v, TrimsUnicode()));
}

void ScrubThe(ModifierCall& call) {
    call.Value() = text::DropTrailingArticle(call.Value());
}

void TheToFront(ModifierCall& call) {
    call.Value() = text::MoveArticleToFront(call.Value());
}

// Where a cut leaves two spaces side by side, one of them goes; the remainder's ends are trimmed, so
// that "Beatles (The)" gives "The Beatles" and not "The Beatles ".
void BracketToFront(ModifierCall& call) {
    std::string rest = call.Value();
    std::string front;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = rest.find_first_of("([{", from);
        if (at == std::string::npos) break;
        const std::string close = text::ClosingBracket(rest[at]);
        int32_t length = 0, position = 0;
        if (!text::FindEnclosedFrom(rest.substr(at, 1), close, rest, 0, static_cast<int32_t>(at + 1), length,
                                    position) ||
            static_cast<std::size_t>(position - 1) != at) {
            from = at + 1;  // an opening bracket without its closing one stays where it is
            continue;
        }
        const auto span = static_cast<std::size_t>(length);
        front = text::JoinNonEmpty(front, " ", std::string_view(rest).substr(at + 1, span - 2));
        rest.erase(at, span);
        if (at > 0 && at < rest.size() && rest[at - 1] == ' ' && rest[at] == ' ') rest.erase(at, 1);
        from = at;
    }
    const CharSet blank = CharSet::Of(" ");
    rest = text::TrimRightOfSet(blank, text::TrimLeftOfSet(blank, rest));
    call.Value() = text::JoinNonEmpty(front, " ", rest);
}

// The byte rule's groups on the first character: a letter beyond ASCII is "A", as the high letters
// of a code page are, a decimal digit of any script the digit mark, anything else "!".
std::string UnicodeAlphabeticalGroup(std::string_view v, std::string_view digit_mark) {
    std::size_t pos = 0;
    const char32_t c = text::DecodeAt(v, pos);
    if (text::IsUnicodeDigit(c)) return std::string(digit_mark);
    return text::IsUnicodeLetter(c) ? "A" : "!";
}

void AlphabeticalGroup(ModifierCall& call) {
    const std::string mark = call.TextOr(1, "0");
    // The mark is the argument's first character, so "№" is not cut to its first byte.
    const std::string digit_mark = mark.empty()               ? std::string("0")
                                   : FirstCharIsUnicode(mark) ? std::string(text::CharSubstr(mark, 0, 1))
                                                              : mark.substr(0, 1);
    const std::string& v = call.Value();
    if (FirstCharIsUnicode(v))
        call.Value() = UnicodeAlphabeticalGroup(v, digit_mark);
    else if (!v.empty() && text::IsDigit(v[0]))
        call.Value() = digit_mark;
    else
        call.Value() = std::string(1, text::AlphabeticalGroup(v, '0'));
}

void Multiply(ModifierCall& call) {
    const int32_t count = call.Integer(1);
    std::string& v = call.Value();
    if (count <= 0 || !FitsTextBound(call.Context(), v.size() * static_cast<std::size_t>(count))) {
        v.clear();
        return;
    }
    v = text::RepeatText(v, count);
}

void Dictionary(ModifierCall& call) {
    const auto& lookup = call.Context().OnDictionary;
    if (!lookup) return;
    const std::string value = call.Value();
    lookup(call.Value(), value);
}

}  // namespace

void RegisterCaseModifiers(ModifierRegistry& r) {
    r.AddExact("caseupper", CaseUpper, "every character to upper case");
    r.AddExact("caselower", CaseLower, "every character to lower case");
    r.AddExact("casefirstupper", CaseFirstUpper, "the first character to upper case, the rest unchanged");
    r.AddExact("caseupperfirst", CaseFirstUpper, "same as casefirstupper");
    r.AddExact("caseenglish", CaseEnglish, "upper case after every word separator and at the start");
    r.AddExact("caseintelligent", CaseIntelligent,
               "title case that keeps small words (of, the, and ...) small");
    r.AddExact("caserandom", CaseRandom, "each character to upper or lower case at random");
    r.AddExact("caseinvert", CaseInvert, "upper case to lower case and lower case to upper case");
    r.AddExact("casegod", CaseGod,
               "writes god, jesus, he, his, him, the lord ... as whole words in capitals");
    r.AddExact("eleet", Eleet,
               "letters to look-alike digits: A 4, B 6, E 3, G 9, L 1, O 0, S 5, T 7, X 8, Z 2");
    r.AddExact("eleettonormal", EleetToNormal,
               "look-alike digits and their letters back to lower-case letters");
    r.AddPrefix("reverse", Reverse, "the characters in reverse order");
    r.AddExact("onlyinitials", OnlyInitials, "the first character of every word");
    r.AddExact("onlynumbers", OnlyNumbers, "keeps digits and the characters of argument 1");
    r.AddExact("onlyletters", OnlyLetters, "keeps letters and the characters of argument 1");
    r.AddExact("onlylettersandnumbers", OnlyLettersAndNumbers,
               "keeps letters, digits and the characters of argument 1");
    r.AddExact("onlynumbersandletters", OnlyLettersAndNumbers, "same as onlylettersandnumbers");
    r.AddPrefix("nospace", NoSpace,
                "removes every tab, space and no-break space (all Unicode spaces in UTF-8)");
    r.AddPrefix("replacespace", NoSpace, "same as nospace");
    r.AddExact("trim", Trim, "removes blanks and control characters at both ends");
    r.AddExact("trimleft", TrimLeft, "removes blanks and control characters at the start");
    r.AddExact("trimright", TrimRight, "removes blanks and control characters at the end");
    // Per-line chains are mostly these: they touch nothing but the value.
    for (const char* word : {"caseupper", "caselower", "trim", "trimleft", "trimright"}) r.MarkPure(word);
    r.AddExact("scrubthe", ScrubThe, "removes a trailing \", the\", \", an\" or \", a\"");
    r.AddExact("thetofront", TheToFront, "moves a trailing \", the\", \", an\" or \", a\" to the front");
    r.AddExact("brackettofront", BracketToFront, "moves the texts inside (), [] and {} to the front");
    r.AddExact("alphabeticalgroup", AlphabeticalGroup,
               "the group of the first character: its letter, argument 1 (default 0) for a digit, ! or -");
    r.AddExact("alphabetgroup", AlphabeticalGroup, "same as alphabeticalgroup");
    r.AddPrefix("multipl", Multiply, "the value repeated argument-1 times (multiply, multiple ...)");
    r.AddPrefix("dupe", Multiply, "same as multiply");
    r.AddExact("inthepast", InThePast, "is, has, have, uses to was, had, had, used, keeping the letter case");
    r.AddExact("dic", Dictionary, "the dictionary's answer for the value; unchanged without a dictionary");
    r.AddExact("dictionary", Dictionary, "same as dic");
}

}  // namespace rowsmith::tmpl
