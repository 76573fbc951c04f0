#include "text/strings.h"

#include <algorithm>

#include "text/numbers.h"
#include "text/search.h"
#include "text/utf8.h"

namespace rowsmith::text {

// --- Character filters ---

namespace {

// KeepChars, also keeping the characters listed in extra (code points of the Utf8 model, which a byte
// set cannot hold).
std::string KeepCharsAndListed(std::string_view text, const CharSet& set, std::string_view extra) {
    if (!CountsCodePoints(text)) return KeepChars(text, set | CharSet::Of(extra));
    CharSet ascii = set;
    std::u32string listed;
    for (std::size_t i = 0; i < extra.size();) {
        const char32_t c = DecodeAt(extra, i);
        if (c < 128)
            ascii.Add(static_cast<unsigned char>(c));
        else
            listed.push_back(c);
    }
    std::string r;
    r.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t at = i;
        const char32_t c = DecodeAt(text, i);
        if (SetHasChar(ascii, c) || listed.find(c) != std::u32string::npos) r.append(text, at, i - at);
    }
    return r;
}

}  // namespace

std::string KeepChars(std::string_view text, const CharSet& set) {
    std::string r;
    r.reserve(text.size());
    if (CountsCodePoints(text)) {
        // Whole characters stay or go: a byte filter would keep parts of some.
        for (std::size_t i = 0; i < text.size();) {
            const std::size_t at = i;
            if (SetHasChar(set, DecodeAt(text, i))) r.append(text, at, i - at);
        }
        return r;
    }
    for (char c : text)
        if (set.Has(c)) r += c;
    return r;
}

std::string OnlyNumbers(std::string_view text, const CharSet& extra) {
    return KeepChars(text, Digits() | extra);
}
std::string OnlyNumbers(std::string_view text, std::string_view extra_chars) {
    return KeepCharsAndListed(text, Digits(), extra_chars);
}
std::string OnlyLetters(std::string_view text, const CharSet& extra) {
    return KeepChars(text, Letters() | extra);
}
std::string OnlyLetters(std::string_view text, std::string_view extra_chars) {
    return KeepCharsAndListed(text, Letters(), extra_chars);
}
std::string OnlyLettersAndNumbers(std::string_view text, const CharSet& extra) {
    return KeepChars(text, Letters() | Digits() | extra);
}
std::string OnlyLettersAndNumbers(std::string_view text, std::string_view extra_chars) {
    return KeepCharsAndListed(text, Letters() | Digits(), extra_chars);
}

const CharSet& WordSeparators() {
    return Others();
}

CharSet CaseEnglishSeparators() {
    CharSet s = Others();
    for (unsigned char c : {static_cast<unsigned char>('\''), static_cast<unsigned char>('`'),
                            static_cast<unsigned char>(146), static_cast<unsigned char>(180)})
        s.Remove(c);
    if ((Letters() & CharSet::Range(128, 255)).Empty())
        for (unsigned c = 128; c < 256; ++c) s.Remove(static_cast<unsigned char>(c));
    return s;
}

char AlphabeticalGroup(std::string_view text, char digit_mark) {
    if (text.empty()) return '-';
    if (CountsCodePoints(text) && static_cast<unsigned char>(text[0]) >= 128) {
        std::size_t at = 0;
        const char32_t first = DecodeAt(text, at);
        return SetHasChar(Others(), first) ? '!' : 'A';
    }
    const unsigned char c = UpperChar(static_cast<unsigned char>(text[0]));
    if (Others().Has(c)) return '!';
    if (Digits().Has(c)) return digit_mark;
    return c < 128 ? static_cast<char>(c) : 'A';
}

std::string SetText(const CharSet& set, std::string_view separator) {
    std::string r;
    bool first = true;
    for (unsigned c = 0; c < 256; ++c) {
        if (!set.Has(static_cast<unsigned char>(c))) continue;
        if (!first) r += separator;
        r += static_cast<char>(c);
        first = false;
    }
    return r;
}

// --- Random values ---

std::mt19937_64& RandomEngine() {
    // One engine a thread: the window's preview expands on a thread of its own while a run may expand
    // on another.
    thread_local std::mt19937_64 engine{std::random_device{}()};
    return engine;
}

void SeedRandom(uint64_t seed) {
    RandomEngine().seed(seed);
}

std::vector<int32_t> RandomPermutation(int32_t count) {
    if (count < 1) return {0};
    std::vector<int32_t> r(static_cast<std::size_t>(count) + 1);
    for (int32_t i = 0; i <= count; ++i) r[i] = i;
    std::uniform_int_distribution<int32_t> pick(1, count);
    for (int32_t j = 1; j <= count; ++j) std::swap(r[pick(RandomEngine())], r[j]);
    return r;
}

std::string RandomText(std::string_view pattern, int64_t length, int64_t width, std::string_view fill) {
    static constexpr std::string_view kDigits = "0123456789";
    static constexpr std::string_view kUpper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    static constexpr std::string_view kLower = "abcdefghijklmnopqrstuvwxyz";
    std::string pool;
    const std::string_view kinds = pattern.empty() ? std::string_view("l") : pattern;
    // One pool share per character of the pattern (a multi-byte one is one "other" character).
    const bool chars = CountsCodePoints(kinds);
    for (std::size_t i = 0; i < kinds.size(); i += chars ? CharLengthAt(kinds, i) : 1) {
        const char c = kinds[i];
        if (c == '#')
            pool += kDigits;
        else if (c == 'u')
            pool += kUpper;
        else
            pool += kLower;
    }
    std::string r;
    if (length > 0) {
        r.reserve(static_cast<std::size_t>(length));
        std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);
        for (int64_t i = 0; i < length; ++i) r += pool[pick(RandomEngine())];
    }
    const bool starts = !pattern.empty() && pattern.front() == '&';
    const bool ends = !pattern.empty() && pattern.back() == '&';
    if (starts) return PadText(r, fill, width, ends ? 2 : 0);
    if (ends) return PadText(r, fill, width, 1);
    return r;
}

// --- Text transforms ---

std::string ReverseText(std::string_view text) {
    if (CountsCodePoints(text)) {
        std::string r;
        r.reserve(text.size());
        for (std::size_t end = text.size(); end > 0;) {
            const std::size_t before = end;
            DecodeBefore(text, end);
            r.append(text, end, before - end);
        }
        return r;
    }
    return std::string(text.rbegin(), text.rend());
}

std::string RepeatText(std::string_view text, int64_t n) {
    std::string r;
    if (n <= 0 || text.empty()) return r;
    r.reserve(text.size() * static_cast<std::size_t>(n));
    for (int64_t i = 0; i < n; ++i) r += text;
    return r;
}

std::string ShortenText(std::string_view text, int64_t maximum, std::string_view suffix) {
    if (CountsCodePoints(text) || CountsCodePoints(suffix)) {
        if (static_cast<int64_t>(CountChars(text)) <= maximum) return std::string(text);
        if (maximum <= 0) return {};
        const int64_t keep = std::max<int64_t>(0, maximum - static_cast<int64_t>(CountChars(suffix)));
        std::string r(CharSubstr(text, 0, static_cast<std::size_t>(keep)));
        r += suffix;
        return std::string(CharSubstr(r, 0, static_cast<std::size_t>(maximum)));
    }
    if (static_cast<int64_t>(text.size()) <= maximum) return std::string(text);
    if (maximum <= 0) return {};
    const int64_t keep = std::max<int64_t>(0, maximum - static_cast<int64_t>(suffix.size()));
    std::string r(text.substr(0, static_cast<std::size_t>(keep)));
    r += suffix;
    if (static_cast<int64_t>(r.size()) > maximum) r.resize(static_cast<std::size_t>(maximum));
    return r;
}

std::string OverwriteSpan(std::string_view text, std::string_view fill, int64_t position, int64_t count) {
    if (position < 1) position = 1;
    if (count < 0) count = 0;
    if (CountsCodePoints(text)) {
        const auto first = static_cast<uint64_t>(position - 1);
        const uint64_t after = first + static_cast<uint64_t>(count);
        std::string r(text.substr(0, ByteOffsetOfChar(text, static_cast<std::size_t>(first))));
        r += FillText(fill, count);
        const std::size_t from = ByteOffsetOfChar(text, static_cast<std::size_t>(after));
        if (from < text.size()) r += text.substr(from);
        return r;
    }
    const std::size_t before = std::min(text.size(), static_cast<std::size_t>(position - 1));
    std::string r(text.substr(0, before));
    r += FillText(fill, count);
    const uint64_t after = static_cast<uint64_t>(position - 1) + static_cast<uint64_t>(count);
    if (after < text.size()) r += text.substr(static_cast<std::size_t>(after));
    return r;
}

void TakeOverCase(std::string& text, std::string_view replaced) {
    auto case_of = [](unsigned char old, char c) {
        if (UpperLetters().Has(old)) return UpperChar(c);
        if (LowerLetters().Has(old)) return LowerChar(c);
        return c;
    };
    if (CountsCodePoints(text) || CountsCodePoints(replaced)) {
        std::string r;
        r.reserve(text.size());
        std::size_t i = 0;
        for (std::size_t j = 0; i < text.size() && j < replaced.size();) {
            const std::size_t at = i;
            const char32_t c = DecodeAt(text, i);
            const char32_t old = DecodeAt(replaced, j);
            if (c < 128 && old < 128)
                r += case_of(static_cast<unsigned char>(old), static_cast<char>(c));
            else
                r.append(text, at, i - at);
        }
        r.append(text, i);
        text = std::move(r);
        return;
    }
    const std::size_t n = std::min(text.size(), replaced.size());
    for (std::size_t i = 0; i < n; ++i) text[i] = case_of(static_cast<unsigned char>(replaced[i]), text[i]);
}

std::string ReplaceAll(std::string_view text, std::string_view search, std::string_view replacement,
                       bool case_sensitive) {
    if (search.empty()) return std::string(text);
    // The fold maps byte to byte, so positions in the lowered copy are positions in the text.
    std::string lowered_text;
    std::string lowered_search;
    std::string_view hay = text;
    std::string_view needle = search;
    if (!case_sensitive) {
        const ByteFold fold;
        lowered_text = fold.Of(text);
        lowered_search = fold.Of(search);
        hay = lowered_text;
        needle = lowered_search;
    }
    std::string r;
    r.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at = hay.find(needle); at != std::string_view::npos; at = hay.find(needle, from)) {
        r += text.substr(from, at - from);
        r += replacement;
        from = at + needle.size();
    }
    r += text.substr(from);
    return r;
}

std::string JoinNonEmpty(std::string_view a, std::string_view separator, std::string_view b) {
    if (a.empty()) return std::string(b);
    if (b.empty()) return std::string(a);
    std::string r(a);
    r += separator;
    r += b;
    return r;
}

namespace {

// Article endings in the order they are tried, with the article each one carries.
struct ArticleEnding {
    std::string_view ending;
    std::string_view article;
};
constexpr ArticleEnding kArticleEndings[] = {{", the", "the"}, {",the", "the"}, {", an", "an"},
                                             {",an", "an"},    {", a", "a"},    {",a", "a"}};

const ArticleEnding* FindArticleEnding(std::string_view text) {
    for (const auto& e : kArticleEndings)
        if (text.size() >= e.ending.size() &&
            EqualsIgnoreCase(text.substr(text.size() - e.ending.size()), e.ending))
            return &e;
    return nullptr;
}

}  // namespace

std::string DropTrailingArticle(std::string_view text) {
    const ArticleEnding* e = FindArticleEnding(text);
    if (e == nullptr) return std::string(text);
    return std::string(text.substr(0, text.size() - e->ending.size()));
}

std::string MoveArticleToFront(std::string_view text) {
    const ArticleEnding* e = FindArticleEnding(text);
    if (e == nullptr) return std::string(text);
    std::string article(e->article);
    article[0] = UpperChar(article[0]);
    return article + " " + std::string(text.substr(0, text.size() - e->ending.size()));
}

std::string ClosingBracket(char c) {
    switch (c) {
        case '(':
            return ")";
        case '[':
            return "]";
        case '{':
            return "}";
        default:
            return {};
    }
}

std::string NoBreak(std::string_view text) {
    if (text.empty()) return {};
    return "<nobr>" + std::string(text) + "</nobr>";
}

std::string SpacesToNbsp(std::string_view text) {
    std::string r;
    r.reserve(text.size());
    if (CountsCodePoints(text)) {
        for (std::size_t i = 0; i < text.size();) {
            const std::size_t at = i;
            if (SetHasChar(Blanks(), DecodeAt(text, i)))
                r += "&nbsp;";
            else
                r.append(text, at, i - at);
        }
        return r;
    }
    for (char c : text) {
        if (Blanks().Has(c))
            r += "&nbsp;";
        else
            r += c;
    }
    return r;
}

std::string NbspInRuns(std::string_view text, const CharSet& set) {
    const CharSet& blanks = Blanks();
    const CharSet run_chars = set | blanks;
    std::string r;
    r.reserve(text.size());
    if (CountsCodePoints(text)) {
        const std::u32string chars = ToCodePoints(text);
        std::size_t k = 0;
        while (k < chars.size()) {
            if (!SetHasChar(run_chars, chars[k])) {
                AppendUtf8(r, chars[k++]);
                continue;
            }
            std::size_t end = k;
            while (end < chars.size() && SetHasChar(run_chars, chars[end])) ++end;
            for (; k < end; ++k) {
                if (SetHasChar(blanks, chars[k]) && k + 1 != end)
                    r += "&nbsp;";
                else
                    AppendUtf8(r, chars[k]);
            }
        }
        return r;
    }
    std::size_t i = 0;
    while (i < text.size()) {
        if (!run_chars.Has(text[i])) {
            r += text[i++];
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && run_chars.Has(text[end])) ++end;
        for (std::size_t k = i; k < end; ++k) {
            if (blanks.Has(text[k]) && k + 1 != end)
                r += "&nbsp;";
            else
                r += text[k];
        }
        i = end;
    }
    return r;
}

std::string NbspInNumbers(std::string_view text) {
    static const CharSet set = Digits() | CharSet::Of("+-()[]{}");
    return NbspInRuns(text, set);
}

std::string NbspBetweenWords(std::string_view text) {
    // Letters come from the case tables in force, so the set is built on each call.
    return NbspInRuns(text, Letters() | Digits() | CharSet::Of("-"));
}

namespace {

bool StartsWithIgnoreCase(std::string_view text, std::size_t at, std::string_view word) {
    return text.size() - at >= word.size() && EqualsIgnoreCase(text.substr(at, word.size()), word);
}

bool IsEntityNameChar(char c) {
    return IsDigit(c) || IsAsciiLetter(c) || c == '#';
}

}  // namespace

std::string VisibleText(std::string_view text) {
    static constexpr std::string_view kOpen = "<nobr>";
    static constexpr std::string_view kClose = "</nobr>";
    // Pass 1: blanks inside <nobr> spans (nested ones too; an unclosed span runs to the end) become "_".
    std::string unbroken;
    unbroken.reserve(text.size());
    int depth = 0;
    const bool chars = CountsCodePoints(text);
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '<' && StartsWithIgnoreCase(text, i, kOpen)) {
            ++depth;
            i += kOpen.size();
        } else if (depth > 0 && text[i] == '<' && StartsWithIgnoreCase(text, i, kClose)) {
            --depth;
            i += kClose.size();
        } else if (chars) {
            // A blank of two bytes (U+00A0) becomes one "_": the width counts characters.
            const std::size_t at = i;
            const char32_t c = DecodeAt(text, i);
            if (depth > 0 && SetHasChar(Blanks(), c))
                unbroken += '_';
            else
                unbroken.append(text, at, i - at);
        } else {
            unbroken += (depth > 0 && Blanks().Has(text[i])) ? '_' : text[i];
            ++i;
        }
    }
    // Pass 2: line breaks, tags and entities.
    std::string r;
    r.reserve(unbroken.size());
    for (std::size_t i = 0; i < unbroken.size();) {
        const char c = unbroken[i];
        if (c == '<') {
            if (StartsWithIgnoreCase(unbroken, i, "<br>")) {
                r += ' ';
                i += 4;
                continue;
            }
            const auto close = unbroken.find('>', i + 1);
            if (close != std::string::npos) {
                i = close + 1;
                continue;
            }
        } else if (c == '&') {
            std::size_t k = i + 1;
            while (k < unbroken.size() && k - i <= 32 && IsEntityNameChar(unbroken[k])) ++k;
            if (k > i + 1 && k < unbroken.size() && unbroken[k] == ';') {
                r += '_';
                i = k + 1;
                continue;
            }
        }
        r += c;
        ++i;
    }
    return r;
}

}  // namespace rowsmith::text
