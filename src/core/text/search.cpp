#include "text/search.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "text/spans.h"

namespace rowsmith::text {

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool HasLetter(std::string_view s) {
    const CharSet& letters = Tables().letters;
    for (char c : s)
        if (letters.Has(c)) return true;
    return false;
}

// Case-folding search; `lowered` is the search text already folded.
std::size_t FindFolded(const ByteFold& fold, std::string_view lowered, std::string_view text,
                       std::size_t from) {
    const std::size_t m = lowered.size();
    const char first = lowered[0];
    const std::size_t last = text.size() - m;
    for (std::size_t i = from; i <= last; ++i) {
        if (fold(text[i]) != first) continue;
        std::size_t k = 1;
        while (k < m && fold(text[i + k]) == lowered[k]) ++k;
        if (k == m) return i;
    }
    return npos;
}

int32_t ToPos(std::size_t zero_based) {
    return zero_based == npos ? 0 : static_cast<int32_t>(zero_based + 1);
}

// FindBytes whose match, in the Utf8 model, begins and ends where characters do: a search text that
// starts with a stray byte must not match the tail of a character. A miss costs nothing more, and an
// ASCII text up to the end of the match needs no more than one look at that part; `chars` tells
// whether the text up to there counts code points.
std::size_t FindAligned(std::string_view search, std::string_view text, std::size_t from, bool case_sensitive,
                        bool* chars = nullptr) {
    std::size_t at = FindBytes(search, text, from, case_sensitive);
    const bool counts = at != npos && CountsCodePoints(text.substr(0, at + search.size()));
    if (chars) *chars = counts;
    if (!counts) return at;
    while (at != npos && !(IsCharBoundary(text, at) && IsCharBoundary(text, at + search.size())))
        at = FindBytes(search, text, at + 1, case_sensitive);
    return at;
}

// A byte position and length of the search record as characters.
PositionT AsChars(std::string_view text, PositionT m) {
    if (m.Position == 0 || !CountsCodePoints(text)) return m;
    const auto at = static_cast<std::size_t>(m.Position - 1);
    return {CharPosition(text, at),
            static_cast<int32_t>(CountChars(text.substr(at, static_cast<std::size_t>(m.Length))))};
}

// True when the set character at i is not the first of its run.
bool ContinuesRun(std::string_view text, std::size_t i, const CharSet& set) {
    return i > 0 && set.Has(text[i - 1]);
}

struct Match {
    std::size_t start = npos;
    std::size_t length = 0;
};

// One candidate of the record's mode at or after p. Runs (modes 2 to 4) are maximal: a run whose start
// lies before p is passed over, so that its tail is never reported as a run of its own.
Match FindOne(const PosInfoT& info, std::string_view needle, std::string_view hay, std::size_t p) {
    const std::size_t n = hay.size();
    switch (info.Mode) {
        case kSearchText: {
            const std::size_t s = FindBytes(needle, hay, p, true);
            if (s == npos) return {};
            return {s, needle.size()};
        }
        case kSearchCharOfSet:
            for (std::size_t i = p; i < n; ++i)
                if (info.SearchSet.Has(hay[i])) return {i, 1};
            return {};
        case kSearchDigitRun:
        case kSearchWordRun: {
            const CharSet& set = info.Mode == kSearchDigitRun ? Digits() : info.WordCharacters;
            std::size_t i = p;
            while (i < n) {
                if (!set.Has(hay[i])) {
                    ++i;
                    continue;
                }
                std::size_t j = i;
                while (j < n && set.Has(hay[j])) ++j;
                if (i == p && ContinuesRun(hay, i, set)) {
                    i = j;
                    continue;
                }
                return {i, j - i};
            }
            return {};
        }
        case kSearchRepeated: {
            const auto& lower = Tables().lower;
            const bool exact = info.CaseSensitive != 0;
            auto same = [&](char a, char b) {
                return exact ? a == b
                             : lower[static_cast<unsigned char>(a)] == lower[static_cast<unsigned char>(b)];
            };
            std::size_t i = p;
            while (i + 1 < n) {
                if (!info.LetterSet.Has(hay[i]) || !same(hay[i], hay[i + 1])) {
                    ++i;
                    continue;
                }
                std::size_t j = i + 1;
                while (j < n && same(hay[j], hay[i])) ++j;
                if (i == p && i > 0 && same(hay[i - 1], hay[i])) {
                    i = j;
                    continue;
                }
                return {i, j - i};
            }
            return {};
        }
        default:
            return {};
    }
}

// The characters of a text that counts code points, with their byte offsets; a final entry holds the
// text's size. Where the working copy is blanked (byte 0) the character reads as 0.
struct Unit {
    std::size_t at;
    char32_t c;
};
std::vector<Unit> Units(std::string_view text, std::string_view hay) {
    std::vector<Unit> units;
    units.reserve(text.size() + 1);
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t at = i;
        const char32_t c = DecodeAt(text, i);
        units.push_back({at, hay[at] == 0 ? U'\0' : c});
    }
    units.push_back({text.size(), 0});
    return units;
}

// FindOne for modes 1 to 4 over characters (the text mode needs no decoding: see FindAligned).
Match FindOneChar(const PosInfoT& info, const std::vector<Unit>& u, std::size_t p) {
    const std::size_t n = u.size() - 1;
    const std::size_t k0 =
        static_cast<std::size_t>(std::lower_bound(u.begin(), u.begin() + static_cast<std::ptrdiff_t>(n), p,
                                                  [](const Unit& a, std::size_t b) { return a.at < b; }) -
                                 u.begin());
    auto span = [&](std::size_t from, std::size_t to) { return Match{u[from].at, u[to].at - u[from].at}; };
    switch (info.Mode) {
        case kSearchCharOfSet:
            for (std::size_t k = k0; k < n; ++k)
                if (SetHasChar(info.SearchSet, u[k].c)) return span(k, k + 1);
            return {};
        case kSearchDigitRun:
        case kSearchWordRun: {
            const CharSet& set = info.Mode == kSearchDigitRun ? Digits() : info.WordCharacters;
            std::size_t k = k0;
            while (k < n) {
                if (!SetHasChar(set, u[k].c)) {
                    ++k;
                    continue;
                }
                std::size_t j = k;
                while (j < n && SetHasChar(set, u[j].c)) ++j;
                if (k == k0 && k > 0 && SetHasChar(set, u[k - 1].c)) {
                    k = j;
                    continue;
                }
                return span(k, j);
            }
            return {};
        }
        case kSearchRepeated: {
            const auto& lower = Tables().lower;
            const bool exact = info.CaseSensitive != 0;
            // Letter case is folded for ASCII letters only, as in every search of the Utf8 model.
            auto fold = [&](char32_t c) { return c < 128 ? static_cast<char32_t>(lower[c]) : c; };
            auto same = [&](char32_t a, char32_t b) { return exact ? a == b : fold(a) == fold(b); };
            std::size_t k = k0;
            while (k + 1 < n) {
                if (!SetHasChar(info.LetterSet, u[k].c) || !same(u[k].c, u[k + 1].c)) {
                    ++k;
                    continue;
                }
                std::size_t j = k + 1;
                while (j < n && same(u[j].c, u[k].c)) ++j;
                if (k == k0 && k > 0 && same(u[k - 1].c, u[k].c)) {
                    k = j;
                    continue;
                }
                return span(k, j);
            }
            return {};
        }
        default:
            return {};
    }
}

void ClearResult(PosInfoT& info) {
    info.Positions.clear();
    info.FoundCount = 0;
    info.FoundPosition = 0;
    info.FoundLength = 0;
}

}  // namespace

CharSet DefaultWordCharacters() {
    return Letters() | Digits() | CharSet::Of("'`\x92");
}

void InitPosInfo(PosInfoT& info) {
    info = PosInfoT();
}

std::size_t FindBytes(std::string_view search, std::string_view text, std::size_t from, bool case_sensitive) {
    if (search.empty() || from > text.size() || search.size() > text.size() - from) return npos;
    if (case_sensitive || !HasLetter(search)) return text.find(search, from);
    const ByteFold fold;
    if (search.size() <= 32) {
        char buf[32];
        for (std::size_t i = 0; i < search.size(); ++i) buf[i] = fold(search[i]);
        return FindFolded(fold, std::string_view(buf, search.size()), text, from);
    }
    return FindFolded(fold, fold.Of(search), text, from);
}

ByteFold::ByteFold() : table_(Tables().lower.data()), ascii_only_(Tables().ascii_only) {
    if (ascii_only_ || CurrentCharModel() == CharModel::Bytes) return;
    std::copy_n(table_, 128, own_.begin());
    for (unsigned c = 128; c < 256; ++c) own_[c] = static_cast<unsigned char>(c);
    table_ = own_.data();
}

void ByteFold::InPlace(std::string& text) const {
    if (ascii_only_) {
        // Branch-free, so that the compiler can do many bytes a step.
        for (char& c : text)
            c = static_cast<char>(c + ((static_cast<unsigned char>(c - 'A') < 26u) ? 32 : 0));
        return;
    }
    for (char& c : text) c = (*this)(c);
}

std::string ByteFold::Of(std::string_view text) const {
    std::string r(text);
    InPlace(r);
    return r;
}

bool SetHasChar(const CharSet& set, char32_t c) {
    if (c < 0x100) return set.Has(static_cast<unsigned char>(c));
    if (IsStrayByte(c)) return set.Has(static_cast<unsigned char>(c - kStrayByteBase));
    static const CharSet high = CharSet::Range(128, 255);
    return (set & high) == high;
}

bool IsCharBoundary(std::string_view text, std::size_t at) {
    if (at == 0 || at >= text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) return true;
    // A valid sequence begins with a lead byte, which no other sequence holds: one that starts up to
    // three bytes before and reaches past `at` is the only way to be inside a character.
    for (std::size_t back = 1; back <= 3 && back <= at; ++back)
        if (CharLengthAt(text, at - back) > back) return false;
    return true;
}

int32_t CharPosition(std::string_view text, std::size_t at) {
    return static_cast<int32_t>(CountChars(text.substr(0, std::min(at, text.size()))) + 1);
}

int32_t SearchPosInfo(PosInfoT& info, std::string_view search, std::string_view text) {
    ClearResult(info);
    const bool simple = !info.MustEndWord && !info.MustStartWord && info.Mode == kSearchText &&
                        info.Anchor == 0 && !info.SkipQuoted && info.Occurrence == 1 && !info.CollectAll;
    if (simple) {
        const int32_t pos = ToPos(FindAligned(search, text, 0, info.CaseSensitive != 0));
        if (pos == 0) return 0;
        const PositionT m{pos, static_cast<int32_t>(search.size())};
        info.Positions = {m, m};
        info.FoundCount = 1;
        info.FoundPosition = pos;
        info.FoundLength = m.Length;
        return pos;
    }
    if (info.Mode == kSearchText && search.empty()) return 0;
    // Characters of the Utf8 model: matches begin and end on them, steps go from one to the next.
    const bool chars = CountsCodePoints(text);

    // The working copies: lower-cased for a case-free text search, quoted spans blanked.
    const bool fold = info.Mode == kSearchText && !info.CaseSensitive && HasLetter(search);
    std::string work;
    std::string needle_store;
    std::string_view hay = text;
    std::string_view needle = search;
    if (info.SkipQuoted && !info.QuoteOpen.empty()) {
        work = BlankQuotedSpans(text, info.QuoteOpen, info.QuoteClose);
        hay = work;
    }
    if (fold) {
        const ByteFold folding;
        if (work.empty()) work.assign(text);
        folding.InPlace(work);
        hay = work;
        needle_store = folding.Of(search);
        needle = needle_store;
    }
    std::vector<Unit> units;
    if (chars && info.Mode != kSearchText) units = Units(text, hay);
    auto step = [&](std::size_t at) { return chars ? std::max<std::size_t>(1, CharLengthAt(text, at)) : 1; };
    auto separates_before = [&](std::size_t at) {
        if (!chars) return info.WordSeparators.Has(text[at - 1]);
        return SetHasChar(info.WordSeparators, DecodeBefore(text, at));
    };
    auto separates_at = [&](std::size_t at) {
        if (!chars) return info.WordSeparators.Has(text[at]);
        return SetHasChar(info.WordSeparators, DecodeAt(text, at));
    };

    // How many matches are needed: 1 for the first, N for the N-th, all otherwise.
    enum { kFirst, kLast, kNth, kFromEnd } choice;
    int32_t wanted = 0;
    if (info.Anchor == 1) {
        choice = kFirst;
    } else if (info.Anchor == 2 || info.Occurrence == 0) {
        choice = kLast;
    } else if (info.Occurrence > 0) {
        choice = info.Occurrence == 1 ? kFirst : kNth;
    } else {
        choice = kFromEnd;
    }
    if (choice == kFirst) wanted = 1;
    if (choice == kNth) wanted = info.Occurrence;
    const bool collect_all = info.CollectAll || choice == kLast || choice == kFromEnd;

    std::vector<PositionT> found;
    std::size_t p = 0;
    const std::size_t n = text.size();
    while (p <= n) {
        const Match m =
            !chars || info.Mode == kSearchText ? FindOne(info, needle, hay, p) : FindOneChar(info, units, p);
        if (m.start == npos) break;
        const std::size_t end = m.start + m.length;
        const bool aligned = !chars || (IsCharBoundary(text, m.start) && IsCharBoundary(text, end));
        const bool start_ok = !info.MustStartWord || m.start == 0 || separates_before(m.start);
        const bool end_ok = !info.MustEndWord || end >= n || separates_at(end);
        if (!aligned || !start_ok || !end_ok) {
            p = m.start + step(m.start);
            continue;
        }
        found.push_back({static_cast<int32_t>(m.start + 1), static_cast<int32_t>(m.length)});
        if (!collect_all && static_cast<int32_t>(found.size()) >= wanted) break;
        p = info.Overlapping ? m.start + step(m.start) : end;
    }

    const int32_t count = static_cast<int32_t>(found.size());
    int32_t index = 0;  // 1-based index of the chosen match, 0 for none
    switch (choice) {
        case kFirst:
            index = count >= 1 ? 1 : 0;
            break;
        case kLast:
            index = count;
            break;
        case kNth:
            index = count >= wanted ? wanted : 0;
            break;
        case kFromEnd:
            index = count + info.Occurrence + 1;
            break;
    }
    if (index < 1 || index > count) index = 0;
    if (index) {
        const PositionT& c = found[index - 1];
        if (info.Anchor == 1 && c.Position != 1) index = 0;
        if (info.Anchor == 2 && static_cast<std::size_t>(c.Position - 1 + c.Length) != n) index = 0;
    }
    // SearchAll keeps what it collected even when the choice fails; a plain search reports nothing.
    if (index == 0 && !info.CollectAll) return 0;
    if (count > 0) {
        info.Positions.reserve(found.size() + 1);
        info.Positions.push_back(found.back());
        info.Positions.insert(info.Positions.end(), found.begin(), found.end());
    }
    info.FoundCount = count;
    if (index) {
        info.FoundPosition = found[index - 1].Position;
        info.FoundLength = found[index - 1].Length;
    }
    return info.FoundPosition;
}

int32_t SearchAll(PosInfoT& info, std::string_view search, std::string_view text) {
    info.CollectAll = 1;
    SearchPosInfo(info, search, text);
    info.CollectAll = 0;
    return info.FoundCount;
}

int32_t SearchStored(PosInfoT& info, std::string_view text) {
    // SearchPosInfo leaves SearchText alone, so the record's own text can be passed by view.
    return SearchPosInfo(info, info.SearchText, text);
}

int32_t SearchByMode(PosInfoT& info, uint8_t mode, std::string_view text) {
    info.Mode = mode;
    return SearchStored(info, text);
}

int32_t SearchCharOfSet(PosInfoT& info, const CharSet& set, std::string_view text) {
    info.Mode = kSearchCharOfSet;
    info.SearchSet = set;
    return SearchStored(info, text);
}

int32_t FindText(std::string_view search, std::string_view text, int case_flag) {
    return FindTextFrom(search, text, 1, case_flag);
}

int32_t FindTextFrom(std::string_view search, std::string_view text, int32_t from, int case_flag) {
    const bool exact = (case_flag & 1) != 0;
    const std::size_t start = from <= 1 ? 0 : ByteOffsetOfChar(text, static_cast<std::size_t>(from - 1));
    bool chars = false;
    const std::size_t at = FindAligned(search, text, start, exact, &chars);
    if (at == npos) return 0;
    return chars ? CharPosition(text, at) : static_cast<int32_t>(at + 1);
}

int32_t FindOccurrence(std::string_view search, std::string_view text, int32_t occurrence, int case_flag) {
    PosInfoT info;
    info.CaseSensitive = (case_flag & 1) ? 1 : 0;
    info.Occurrence = occurrence;
    SearchPosInfo(info, search, text);
    return AsChars(text, {info.FoundPosition, info.FoundLength}).Position;
}

int32_t FindWholeWord(std::string_view word, std::string_view text, int case_flag) {
    PosInfoT info;
    info.CaseSensitive = (case_flag & 1) ? 1 : 0;
    info.MustStartWord = 1;
    info.MustEndWord = 1;
    SearchPosInfo(info, word, text);
    return AsChars(text, {info.FoundPosition, info.FoundLength}).Position;
}

PositionT FindNthNumber(std::string_view text, int32_t n) {
    PosInfoT info;
    info.Mode = kSearchDigitRun;
    info.Occurrence = n;
    SearchPosInfo(info, {}, text);
    return AsChars(text, {info.FoundPosition, info.FoundLength});
}

CharPosT FindLastOfSet(const CharSet& set, std::string_view text) {
    if (CountsCodePoints(text)) {
        std::size_t count = CountChars(text);
        for (std::size_t end = text.size(); end > 0; --count) {
            const char32_t c = DecodeBefore(text, end);
            if (SetHasChar(set, c)) return {static_cast<int32_t>(count), c};
        }
        return {};
    }
    for (std::size_t i = text.size(); i > 0; --i)
        if (set.Has(text[i - 1])) return {static_cast<int32_t>(i), static_cast<unsigned char>(text[i - 1])};
    return {};
}

CharPosT FirstCharOfSet(const CharSet& set, std::string_view text) {
    if (CountsCodePoints(text)) {
        int32_t position = 1;
        for (std::size_t i = 0; i < text.size(); ++position) {
            const char32_t c = DecodeAt(text, i);
            if (SetHasChar(set, c)) return {position, c};
        }
        return {};
    }
    for (std::size_t i = 0; i < text.size(); ++i)
        if (set.Has(text[i])) return {static_cast<int32_t>(i + 1), static_cast<unsigned char>(text[i])};
    return {};
}

PositionT RunOfSetAt(const CharSet& set, std::string_view text) {
    const CharPosT first = FirstCharOfSet(set, text);
    if (first.Position == 0) return {};
    return {first.Position, RunLengthAt(text, set, first.Position)};
}

int32_t RunLengthAt(std::string_view text, const CharSet& set, int32_t from) {
    if (from < 1) return 0;
    if (CountsCodePoints(text)) {
        int32_t run = 0;
        for (std::size_t i = ByteOffsetOfChar(text, static_cast<std::size_t>(from - 1)); i < text.size();
             ++run)
            if (!SetHasChar(set, DecodeAt(text, i))) break;
        return run;
    }
    std::size_t i = static_cast<std::size_t>(from - 1);
    const std::size_t start = i;
    while (i < text.size() && set.Has(text[i])) ++i;
    return static_cast<int32_t>(i - start);
}

int32_t CountOccurrences(std::string_view search, std::string_view text) {
    PosInfoT info;
    info.CaseSensitive = 0;
    return SearchAll(info, search, text);
}

int32_t CountNonOverlapping(std::string_view search, std::string_view text) {
    PosInfoT info;
    info.CaseSensitive = 0;
    info.Overlapping = 0;
    return SearchAll(info, search, text);
}

int32_t CountInItems(std::string_view separators, std::string_view text, int case_flag,
                     std::string_view marker, std::string_view quote_close, std::string_view quote_open) {
    return static_cast<int32_t>(
               CutItems(text, separators, marker, case_flag, quote_close, quote_open).size()) -
           1;
}

int32_t CountItems(std::string_view list, std::string_view separator) {
    if (list.empty()) return 0;
    int32_t count = 1;
    for (std::size_t p = FindBytes(separator, list, 0, false); p != npos;
         p = FindBytes(separator, list, p + separator.size(), false))
        ++count;
    return count;
}

int32_t EntryIndex(std::string_view entry, std::string_view list, std::string_view separator, int case_flag) {
    const bool exact = (case_flag & 1) != 0;
    std::string framed;
    framed.reserve(list.size() + 2 * separator.size());
    framed.append(separator).append(list).append(separator);
    std::string needle;
    needle.append(separator).append(entry).append(separator);
    const std::size_t at = FindBytes(needle, framed, 0, exact);
    if (at == npos) return 0;
    const std::string_view before = std::string_view(framed).substr(0, at);
    int32_t index = 1;
    for (std::size_t p = FindBytes(separator, before, 0, exact); p != npos;
         p = FindBytes(separator, before, p + separator.size(), exact))
        ++index;
    return index;
}

std::vector<std::string_view> SeparatorAlternatives(std::string_view separators, std::string_view marker) {
    std::vector<std::string_view> alts;
    if (marker.empty() || marker == kSingleMarker) {
        if (!separators.empty()) alts.push_back(separators);
        return alts;
    }
    std::size_t pos = 0;
    for (;;) {
        const std::size_t next = separators.find(marker, pos);
        const std::string_view alt = separators.substr(pos, next == npos ? npos : next - pos);
        if (!alt.empty()) alts.push_back(alt);
        if (next == npos) break;
        pos = next + marker.size();
    }
    return alts;
}

bool HasAnyByte(std::string_view text, char a, char b, char c) {
    typedef char Block __attribute__((vector_size(16)));
    typedef uint64_t Halves __attribute__((vector_size(16)));
    const char* p = text.data();
    const std::size_t n = text.size();
    if (n < 16) {
        for (std::size_t i = 0; i < n; ++i)
            if (p[i] == a || p[i] == b || p[i] == c) return true;
        return false;
    }
    const Block va = Block{} + a, vb = Block{} + b, vc = Block{} + c;
    auto hit_at = [&](std::size_t at) {
        Block v;
        std::memcpy(&v, p + at, 16);
        const Block hit = (v == va) | (v == vb) | (v == vc);
        Halves h;
        std::memcpy(&h, &hit, 16);
        return (h[0] | h[1]) != 0;
    };
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16)
        if (hit_at(i)) return true;
    // The last bytes as one block that overlaps the previous one.
    return i < n && hit_at(n - 16);
}

}  // namespace rowsmith::text
