#include "template/evaluator.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "tables/string_table.h"
#include "template/arguments.h"
#include "template/engine_state.h"
#include "template/registry.h"
#include "text/chars.h"
#include "text/dates.h"
#include "text/numbers.h"
#include "text/search.h"
#include "text/spans.h"
#include "text/strings.h"

namespace rowsmith::tmpl {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// The parse cache stays small: texts beyond this size are parsed on every use, and the cache is
// emptied when it holds too many entries or bytes (parses in use stay alive through shared_ptr).
constexpr std::size_t kCacheMaxText = 256 * 1024;
constexpr std::size_t kCacheMaxEntries = 4096;
constexpr std::size_t kCacheMaxBytes = 32u << 20;

enum Builtin : int8_t {
    kNoBuiltin = -1,
    kDate,
    kSize,
    kToday,
    kTime,
    kTimeNow,
    kCell,
    kUncutCell,
    kLength,
    kNumberOriginal,
    kNumberNow,
    kNumberRandom,
    kNumberOfAll,
    kNumberInThisFile,
    kNumberUntilNow,
    kNumberSinceLastReset,
    kLetter,
    kChar,
    kIncludedCount,
    kGridIncludedCount,
};

constexpr std::string_view kBuiltinNames[] = {
    "date",
    "size",
    "today",
    "time",
    "timenow",
    "cell",
    "uncutcell",
    "length",
    "numberoriginal",
    "numbernow",
    "numberrandom",
    "numberofall",
    "numberinthisfile",
    "numberuntilnow",
    "numbersincelastreset",
    "letter",
    "char",
    "includedcount",
    "gridincludedcount",
};

int8_t BuiltinOf(std::string_view lower) {
    for (std::size_t i = 0; i < std::size(kBuiltinNames); ++i)
        if (kBuiltinNames[i] == lower) return static_cast<int8_t>(i);
    return kNoBuiltin;
}

bool MatchAt(std::string_view text, std::size_t i, std::string_view delim) {
    if (delim.empty() || i + delim.size() > text.size()) return false;
    for (std::size_t k = 0; k < delim.size(); ++k)
        if (text::LowerChar(text[i + k]) != text::LowerChar(delim[k])) return false;
    return true;
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return false;
    return true;
}

// Whether the text holds "<cut" in any letter case; '<' is rare, so memchr does most of the work.
bool HasCutMarker(std::string_view text) {
    if (text.size() < 4) return false;
    std::size_t i = text.find('<');
    while (i != npos) {
        if (i + 4 <= text.size() && text::LowerChar(text[i + 1]) == 'c' &&
            text::LowerChar(text[i + 2]) == 'u' && text::LowerChar(text[i + 3]) == 't')
            return true;
        i = text.find('<', i + 1);
    }
    return false;
}

// True when the text certainly holds neither a tag nor a cut marker: none of its bytes is '<', the
// open delimiter's first byte or, with triple-slash shortcuts, '/'. One pass over the text instead
// of a search for each; a text with such a byte gets the exact searches. A delimiter that starts
// with a letter (matched in either case) is left to them too.
bool PlainText(const TemplateContext& c, std::string_view text) {
    const std::string& open = c.OpenDelimiter;
    if (!open.empty() && text::Letters().Has(static_cast<unsigned char>(open[0]))) return false;
    const char first = open.empty() ? '<' : open[0];
    return !text::HasAnyByte(text, '<', first, c.TripleSlashShortcuts ? '/' : '<');
}

// Whether a value can be copied as it is: it holds no tag to expand and no cut marker.
bool HoldsNoTagOrCut(const TemplateContext& c, std::string_view text) {
    return PlainText(c, text) || (!ContainsTags(c, text) && !HasCutMarker(text));
}

bool HasOpen(std::string_view open, std::string_view text) {
    if (open.empty() || text.size() < open.size()) return false;
    if (text.size() <= 32) {
        // Short values ({{crlf}} and the like) are checked in place, without a library call.
        const auto& lower = text::Tables().lower;
        const unsigned char first = lower[static_cast<unsigned char>(open[0])];
        for (std::size_t i = 0; i + open.size() <= text.size(); ++i)
            if (lower[static_cast<unsigned char>(text[i])] == first && MatchAt(text, i, open)) return true;
        return false;
    }
    return text::FindBytes(open, text, 0, false) != npos;
}

}  // namespace

namespace detail {

struct ParsedModifier {
    std::string word;      // as written
    bool dynamic = false;  // the word holds the open delimiter
    bool has_triple = false;
    std::string lower;  // lower-cased; "append" for an empty word
    ArgumentTable args;
    mutable const ModifierRegistry* registry = nullptr;  // the registry `row` was looked up in
    mutable int32_t row = -1;
};

enum class TagForm : uint8_t { Nothing, Quoted, Named };

// The fields every expansion reads come first, so that they share a cache line or two.
struct ParsedTag {
    TagForm form = TagForm::Nothing;
    bool name_dynamic = false;
    bool name_has_triple = false;
    bool ampersand = false;
    // Resolved at parse time for a name without tags.
    bool original = false;
    bool uncut = false;
    bool reads_last_name = false;  // the name is "nameoflastrepresenter" itself
    int8_t builtin = kNoBuiltin;
    // The slot the name was last found in, valid while the context and its epoch are the same.
    mutable int32_t var_slot = 0;
    mutable uint64_t var_epoch = 0;
    mutable const TemplateContext* var_context = nullptr;
    // Whether every modifier of the chain is Pure with literal arguments, for the registry named.
    mutable const ModifierRegistry* pure_registry = nullptr;
    mutable bool pure_chain = false;
    std::vector<ParsedModifier> chain;
    std::string lookup;
    std::string name_word;
    std::string quoted;      // the value of a quoted tag
    std::string full;        // the whole tag, delimiters included
    std::string chain_text;  // the modifiers as written
    ArgumentTable name_args;
};

// Literal text, then the tag it precedes (none for the last segment).
struct Segment {
    std::string text;
    int32_t tag = -1;
};

struct ParsedTemplate {
    std::vector<Segment> segments;
    std::vector<ParsedTag> tags;
    std::size_t bytes = 0;
    // Every tag is a plain name without modifiers ({{originalline}}{{crlf}}): such a template can
    // often be expanded by copying variable values (see PreparedTemplate::ExpandAppend).
    bool simple = false;
};

}  // namespace detail

using detail::EngineState;
using detail::ParsedModifier;
using detail::ParsedTag;
using detail::ParsedTemplate;
using detail::TagForm;
using detail::TagState;

namespace {

// ---------------------------------------------------------------- parsing

bool IsCaretSeparator(char c) {
    return c == ' ' || c == '"' || c == '\'' || c == ',' || c == '.';
}

// "^word" (one word per caret) and "^"several words"^" become {{|:phrase|dic}}; carets inside tags
// and carets not at the start or after a space stay as they are.
std::string RewriteCarets(std::string_view text, const TemplateContext& c) {
    const std::string& open = c.OpenDelimiter;
    const std::string& close = c.CloseDelimiter;
    const std::string before = TranslateDelimiters(c, "{{|:");
    const std::string after = TranslateDelimiters(c, "|dic}}");
    std::string out;
    out.reserve(text.size() + 16);
    int64_t depth = 0;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        if (depth > 0 && MatchAt(text, i, close)) {
            --depth;
            out += close;
            i += close.size();
            continue;
        }
        if (MatchAt(text, i, open)) {
            ++depth;
            out += open;
            i += open.size();
            continue;
        }
        if (depth == 0 && text[i] == '^' && (i == 0 || text[i - 1] == ' ')) {
            std::size_t k = 0;
            while (i + k < n && text[i + k] == '^') ++k;
            const std::size_t start = i + k;
            std::string_view phrase;
            std::size_t end = 0;
            if (k == 1 && start < n && text[start] == '"') {
                const std::size_t q = text.find("\"^", start + 1);
                if (q == npos) {
                    out += '^';
                    ++i;
                    continue;
                }
                phrase = text.substr(start + 1, q - start - 1);
                end = q + 2;
            } else {
                std::size_t j = start;
                std::size_t seen = 0;
                while (j < n) {
                    if (IsCaretSeparator(text[j]) && ++seen == k) break;
                    ++j;
                }
                phrase = text.substr(start, j - start);
                end = j;
            }
            out += before;
            out += phrase;
            out += after;
            i = end;
            continue;
        }
        out += text[i];
        ++i;
    }
    return out;
}

void ResolveName(std::string_view evaluated, bool& original, bool& uncut, std::string& lookup,
                 int8_t& builtin) {
    std::string_view s = evaluated;
    if (s.size() >= 8 && text::EqualsIgnoreCase(s.substr(0, 8), "original")) {
        original = true;
        s.remove_prefix(8);
    }
    if (s.size() >= 5 && text::EqualsIgnoreCase(s.substr(0, 5), "uncut")) {
        uncut = true;
        s.remove_prefix(5);
    }
    lookup = text::LowerCase(s);
    builtin = BuiltinOf(lookup);
}

ParsedModifier ParseModifier(std::string_view piece, std::string_view open, std::string_view close) {
    ParsedModifier m;
    ParsedPiece p = ParsePiece(piece, open, close);
    m.word = std::move(p.Word);
    m.args = std::move(p.Arguments);
    m.dynamic = HasOpen(open, m.word);
    m.has_triple = m.word.find("///") != npos;
    m.lower = m.word.empty() ? std::string("append") : text::LowerCase(m.word);
    return m;
}

std::vector<ParsedModifier> ParseChain(std::string_view chain, std::string_view open,
                                       std::string_view close) {
    std::vector<ParsedModifier> out;
    while (!chain.empty()) {
        const std::size_t bar = FindOutsideTags(chain, '|', open, close);
        out.push_back(ParseModifier(chain.substr(0, bar), open, close));
        chain = bar == npos ? std::string_view() : chain.substr(bar + 1);
    }
    return out;
}

ParsedTag ParseTag(std::string_view full, std::string_view inner, std::string_view open,
                   std::string_view close) {
    ParsedTag t;
    t.full.assign(full);
    if (!inner.empty() && inner.front() == '"') {
        t.form = TagForm::Quoted;
        if (inner.size() >= 2 && inner.back() == '"') {
            t.quoted.assign(inner.substr(1, inner.size() - 2));
        } else if (const std::size_t q = inner.find("\"|", 1); q != npos) {
            t.quoted.assign(inner.substr(1, q - 1));
            t.chain_text.assign(inner.substr(q + 2));
        } else {
            // No closing quote: the text is the value and, read once more, the modifier chain.
            t.quoted.assign(inner.substr(1));
            t.chain_text.assign(inner.substr(1));
        }
    } else if (!inner.empty() && inner.front() == '\'') {
        t.form = TagForm::Quoted;
        const std::size_t q = inner.find('\'', 1);
        if (q == npos) {
            t.quoted.assign(inner.substr(1));
        } else {
            t.quoted.assign(inner.substr(1, q - 1));
            const std::size_t bar = inner.find('|', q + 1);
            if (bar != npos) t.chain_text.assign(inner.substr(bar + 1));
        }
    } else if ((inner.size() >= 2 && inner.front() == '[' && inner.back() == ']') ||
               (!inner.empty() && inner.front() == ' ')) {
        t.form = TagForm::Nothing;
        return t;
    } else {
        t.form = TagForm::Named;
        const std::size_t bar = FindOutsideTags(inner, '|', open, close);
        const std::string_view name_part = inner.substr(0, bar);
        if (bar != npos) t.chain_text.assign(inner.substr(bar + 1));
        t.ampersand = name_part.find('&') != npos;
        const std::size_t colon = FindOutsideTags(name_part, ':', open, close);
        t.name_word.assign(name_part.substr(0, colon));
        if (colon != npos) ParseArguments(name_part.substr(colon + 1), open, close, t.name_args);
        t.name_dynamic = HasOpen(open, t.name_word);
        t.name_has_triple = t.name_word.find("///") != npos;
        if (!t.name_dynamic) {
            ResolveName(t.name_word, t.original, t.uncut, t.lookup, t.builtin);
            t.reads_last_name = t.lookup == "nameoflastrepresenter";
        }
    }
    t.chain = ParseChain(t.chain_text, open, close);
    return t;
}

bool DigitsAboveOne(std::string_view mark) {
    if (mark.empty()) return false;
    for (char ch : mark)
        if (!text::IsDigit(ch)) return false;
    const std::size_t nz = mark.find_first_not_of('0');
    if (nz == npos) return false;
    const std::string_view s = mark.substr(nz);
    return s.size() > 1 || s[0] > '1';
}

enum class RawLiteral : uint8_t { None, Taken, Unterminated };

// A raw literal {{mark"text"mark}} at `o`, taken without evaluation: the text before it and the
// literal go to `pending` and `pos` moves past it. A mark of digits above 1 gives the literal with
// the mark one lower, so that it is taken raw once more when the result is expanded again.
RawLiteral TakeRawLiteral(std::string_view t, std::size_t o, std::string_view open, std::string_view close,
                          std::size_t& pos, std::string& pending) {
    const std::size_t after = o + open.size();
    if (after >= t.size()) return RawLiteral::None;
    const char ch = t[after];
    const bool raw = !text::IsAsciiLetter(ch) && ch != ' ' && ch != '"' && ch != '\'' && ch != '[' &&
                     ch != '|' && open.find(ch) == std::string::npos;
    const std::size_t q = raw ? t.find('"', after) : npos;
    if (q == npos) return RawLiteral::None;
    const std::string_view mark = t.substr(after, q - after);
    std::string end_seq;
    end_seq.reserve(1 + mark.size() + close.size());
    end_seq.append("\"").append(mark).append(close);
    const std::size_t e = t.find(end_seq, q + 1);
    pending.append(t.substr(pos, o - pos));
    if (e == npos) {
        // Unterminated: the output ends where the literal begins.
        pos = t.size();
        return RawLiteral::Unterminated;
    }
    const std::string_view lit = t.substr(q + 1, e - q - 1);
    if (DigitsAboveOne(mark)) {
        const std::string lower = text::SubtractDecimal(mark, "1");
        pending.append(open).append(lower).append("\"").append(lit).append("\"").append(lower).append(close);
    } else {
        pending.append(lit);
    }
    pos = e + end_seq.size();
    return RawLiteral::Taken;
}

// Literal segments, each followed by a parsed tag; carets are rewritten into tags first.
std::shared_ptr<const ParsedTemplate> Parse(std::string_view input, const TemplateContext& c) {
    auto p = std::make_shared<ParsedTemplate>();
    std::string rewritten;
    std::string_view t = input;
    if (input.find('^') != npos) {
        rewritten = RewriteCarets(input, c);
        t = rewritten;
    }
    const std::string& open = c.OpenDelimiter;
    const std::string& close = c.CloseDelimiter;
    std::string pending;
    std::size_t pos = 0;
    std::size_t bytes = 0;
    while (!open.empty()) {
        const std::size_t o = text::FindBytes(open, t, pos, false);
        if (o == npos) break;
        const RawLiteral raw = TakeRawLiteral(t, o, open, close, pos, pending);
        if (raw == RawLiteral::Unterminated) break;
        if (raw == RawLiteral::Taken) continue;
        int32_t length = 0, position = 0;
        if (!text::FindEnclosedFrom(open, close, t, 0, static_cast<int32_t>(pos + 1), length, position))
            break;
        const std::size_t s = static_cast<std::size_t>(position - 1);
        const std::size_t len = static_cast<std::size_t>(length);
        pending.append(t.substr(pos, s - pos));
        const std::string_view full = t.substr(s, len);
        const std::string_view inner = len >= open.size() + close.size()
                                           ? full.substr(open.size(), len - open.size() - close.size())
                                           : std::string_view();
        p->tags.push_back(ParseTag(full, inner, open, close));
        bytes += pending.size() + 3 * full.size() + 256;
        p->segments.push_back({std::move(pending), static_cast<int32_t>(p->tags.size() - 1)});
        pending.clear();
        pos = s + len;
    }
    if (pos < t.size()) pending.append(t.substr(pos));
    if (!pending.empty()) {
        bytes += pending.size();
        p->segments.push_back({std::move(pending), -1});
    }
    p->bytes = bytes + 64;
    p->simple = std::all_of(p->tags.begin(), p->tags.end(), [](const ParsedTag& tag) {
        return tag.form == TagForm::Named && !tag.name_dynamic && !tag.name_has_triple && tag.chain.empty() &&
               !tag.uncut && !tag.lookup.empty();
    });
    return p;
}

std::shared_ptr<const ParsedTemplate> GetParse(TemplateContext& c, EngineState& st, std::string_view text) {
    if (st.cache_open != c.OpenDelimiter || st.cache_close != c.CloseDelimiter) {
        st.cache.clear();
        st.cache_bytes = 0;
        st.cache_open = c.OpenDelimiter;
        st.cache_close = c.CloseDelimiter;
    }
    const bool cacheable = text.size() <= kCacheMaxText;
    if (cacheable) {
        const auto it = st.cache.find(text);
        if (it != st.cache.end()) return it->second;
    }
    std::shared_ptr<const ParsedTemplate> p = Parse(text, c);
    if (cacheable) {
        const std::size_t cost = text.size() + p->bytes;
        if (st.cache.size() >= kCacheMaxEntries || st.cache_bytes + cost > kCacheMaxBytes) {
            st.cache.clear();
            st.cache_bytes = 0;
        }
        st.cache.emplace(std::string(text), p);
        st.cache_bytes += cost;
    }
    return p;
}

// ---------------------------------------------------------------- evaluation

struct Eval {
    TemplateContext& c;
    EngineState& st;
    int nested;

    std::string ExpandIf(std::string_view text) const {
        if (nested == 0 || !ContainsTags(c, text)) return std::string(text);
        return ExpandTemplate(text, c, nested);
    }

    TagState& Frame() {
        const std::size_t index = static_cast<std::size_t>(std::max(st.depth - 1, 0));
        while (st.frames.size() <= index) st.frames.push_back(std::make_unique<TagState>());
        return *st.frames[index];
    }

    void FlushLastName() {
        if (const std::string* name = st.pending_name) {
            st.pending_name = nullptr;
            SetLastName(*name);
        }
    }

    void SetLastName(std::string_view name) {
        const int32_t slot = st.last_name_slot;
        if (slot > 0 && st.last_name_epoch == c.VariableEpoch && slot <= c.VariableCount) {
            // Lines repeat their tags: the variable often holds the name already.
            const TemplateVariable& v = c.Variables[static_cast<std::size_t>(slot)];
            if (v.Comment.empty() && SameText(v.Value, name)) return;
            SetVariableAt(c, slot, name);
            return;
        }
        SetVariable(c, "nameoflastrepresenter", name);
        st.last_name_slot = FindVariable(c, "nameoflastrepresenter");
        st.last_name_epoch = c.VariableEpoch;
    }

    // The first "<cut>" or "<cut/>" outside tags (letter case ignored).
    std::size_t FindCut(std::string_view s) const {
        std::size_t from = 0;
        for (;;) {
            const std::size_t lt = FindOutsideTags(s, '<', c.OpenDelimiter, c.CloseDelimiter, from);
            if (lt == npos) return npos;
            if (MatchAt(s, lt, "<cut>") || MatchAt(s, lt, "<cut/>")) return lt;
            from = lt + 1;
        }
    }

    // Assigning a value: it is remembered as the raw value and expanded up to its first "<cut>".
    void Assign(TagState& ts, std::string_view text, bool skip_expansion) {
        CopyInto(ts.raw, text);
        if (skip_expansion) {
            ts.value.clear();
            return;
        }
        std::string_view src = ts.raw;
        if (PlainText(c, src)) {
            CopyInto(ts.value, src);
            return;
        }
        if (HasCutMarker(src)) {
            const std::size_t cut = FindCut(src);
            if (cut != npos) src = src.substr(0, cut);
        }
        if (nested != 0 && ContainsTags(c, src)) {
            // A tag in the value may read "nameoflastrepresenter": a deferred name is set first.
            FlushLastName();
            ts.value = ExpandTemplate(src, c, nested);
        } else {
            ts.value.assign(src);
        }
    }

    std::string Counter(const ParsedTag& t, int64_t number, int64_t reference) {
        int64_t width = 0;
        if (t.ampersand) {
            width = CounterWidthOf(c, reference);
        } else {
            const CommandOptionsRecT w = FetchArgument(t.name_args, 1, true, c, nested);
            width = w.Present ? w.Integer : 0;
        }
        return FormatCounter(c, number, width);
    }

    std::string Letter(const ParsedTag& t) {
        const std::string& alphabet = c.LetterAlphabet;
        const CommandOptionsRecT first = FetchArgument(t.name_args, 1, true, c, nested);
        const int64_t step = FetchArgumentOr(t.name_args, 2, "1", c, nested).Integer;
        const int64_t index = static_cast<int64_t>(c.LetterIndex) - c.LetterBase;
        std::string start = first.Present ? first.Text : alphabet.substr(0, 1);
        if (index == 0 || alphabet.empty()) return index == 0 ? start : std::string();
        const std::size_t at = start.empty() ? npos : alphabet.find(start[0]);
        const int64_t n = static_cast<int64_t>(alphabet.size());
        int64_t p = (at == npos ? -1 : static_cast<int64_t>(at)) + (index % n) * (step % n);
        p %= n;
        if (p < 0) p += n;
        return std::string(1, alphabet[static_cast<std::size_t>(p)]);
    }

    std::string Cell(const ParsedTag& t, bool& original, bool& uncut) {
        if (!c.Table) return {};
        std::string column = FetchArgument(t.name_args, 1, true, c, nested).Text;
        std::string_view col = column;
        if (col.size() >= 8 && text::EqualsIgnoreCase(col.substr(0, 8), "original")) {
            original = true;
            col.remove_prefix(8);
        }
        if (col.size() >= 5 && text::EqualsIgnoreCase(col.substr(0, 5), "uncut")) {
            uncut = true;
            col.remove_prefix(5);
        }
        int code = 0;
        if (!col.empty()) {
            code = c.Table->CodeOfName(col);
            if (code < 0) code = c.Table->CodeOfSynonym(col);
            if (code < 0 && text::IsANumber(col)) code = text::ReadInt(col);
            if (code < 0 || code > tables::kMaxCode) return {};
        }
        const CommandOptionsRecT row = FetchArgument(t.name_args, 2, true, c, nested);
        return c.Table->GetCell(row.Present ? row.Integer : c.CurrentRow, code);
    }

    std::string Date(const ParsedTag& t, const std::shared_ptr<text::DateInfoT>& date,
                     std::string_view format) {
        const text::DateInfoT info = date ? *date : text::DateInfoT();
        return text::FormatDateInfo(FetchArgumentOr(t.name_args, 1, format, c, nested).Text, info,
                                    FetchArgumentOr(t.name_args, 2, "0", c, nested).Text);
    }

    std::string BuiltinText(const ParsedTag& t, int8_t b, bool& original, bool& uncut) {
        switch (b) {
            case kDate:
                return Date(t, c.RunDate, "dd.MMM.yy");
            case kToday:
                return Date(t, c.NowDate, "dd.MMM.yy");
            case kTime:
                return Date(t, c.RunDate, "HH:ii");
            case kTimeNow:
                return Date(t, c.NowDate, "HH:ii");
            case kSize:
                return Counter(t, c.Size, c.SizeReference);
            case kLength:
                return Counter(t, c.LetterBase, c.LetterIndex);
            case kNumberOriginal:
                return Counter(t, c.NumberOriginal, c.NumberOfAll);
            case kNumberNow:
                return Counter(t, c.NumberNow, c.NumberOfAll);
            case kNumberOfAll:
                return Counter(t, c.NumberOfAll, c.NumberOfAll);
            case kNumberInThisFile:
                return Counter(t, c.NumberInThisFile, c.NumberOfAll);
            case kNumberUntilNow:
                return Counter(t, c.NumberUntilNow, c.NumberOfAll);
            case kNumberSinceLastReset:
                return Counter(t, c.NumberSinceLastReset, c.NumberOfAll);
            case kNumberRandom: {
                const int32_t all = std::max(c.NumberOfAll, 0);
                if (!c.RandomOrder || c.RandomOrder->size() != static_cast<std::size_t>(all) + 1)
                    c.RandomOrder = std::make_shared<std::vector<int32_t>>(text::RandomPermutation(all));
                const int64_t i = static_cast<int64_t>(c.NumberNow) + 1;
                const int32_t v = i >= 0 && i < static_cast<int64_t>(c.RandomOrder->size())
                                      ? (*c.RandomOrder)[static_cast<std::size_t>(i)]
                                      : 0;
                return Counter(t, v, c.NumberOfAll);
            }
            case kCell:
                return Cell(t, original, uncut);
            case kUncutCell:
                uncut = true;
                return Cell(t, original, uncut);
            case kLetter:
            case kChar:
                return Letter(t);
            case kIncludedCount:
            case kGridIncludedCount:
                return c.Table ? text::IntText(c.Table->IncludedCount()) : std::string();
            default:
                return {};
        }
    }

    [[gnu::cold, gnu::noinline]] void TraceTagStep(std::string_view tag) { c.Trace->TraceTag(st.depth, tag); }
    [[gnu::cold, gnu::noinline]] void TraceNameStep(TraceSink::NameKind kind, std::string_view name,
                                                    std::string_view value) {
        c.Trace->TraceName(st.depth, kind, name, value);
    }
    [[gnu::cold, gnu::noinline]] void TraceModifierStep(std::string_view word, std::string_view arguments,
                                                        std::string_view value) {
        c.Trace->TraceModifier(st.depth, word, arguments, value);
    }

    void Apply(TagState& ts, const ParsedModifier& m, int32_t position, const ModifierRegistry& reg) {
        std::string word_store;
        std::string lower_store;
        std::string_view word = m.word;
        std::string_view lower = m.lower;
        int32_t row = -1;
        if (m.dynamic || (c.TripleSlashShortcuts && m.has_triple)) {
            word_store = ExpandIf(m.word);
            lower_store = text::LowerCase(word_store);
            word = word_store;
            lower = lower_store;
            row = reg.Find(lower_store);
        } else {
            if (m.registry != &reg) {
                m.registry = &reg;
                m.row = reg.Find(m.lower);
            }
            row = m.row;
        }
        if (row >= 0) {
            ModifierCall call(ts, m.args, word, lower, position, c, nested);
            reg.Row(row).Handler(call);
        }
        if (c.OnModifierApplied) {
            std::string text(word);
            text += ':';
            text += FetchArgument(m.args, -1, true, c, nested).Text;
            std::string result;
            c.OnModifierApplied(result, ts.value, text, m.args.Options);
            ts.value = std::move(result);
        }
        if (ts.value.size() > c.MaxTextSize) {
            NoteSizeBound(c);
            ts.value.clear();
        }
        if (c.Trace) [[unlikely]]
            TraceModifierStep(word, m.args.WholeText, ts.value);
    }

    void RunChain(TagState& ts, const ParsedTag& t, bool original, bool uncut) {
        static const ParsedModifier kUncut = [] {
            ParsedModifier m;
            m.word = m.lower = "uncut";
            return m;
        }();
        static const ParsedModifier kOriginal = [] {
            ParsedModifier m;
            m.word = m.lower = "original";
            return m;
        }();
        const ModifierRegistry& reg = c.Modifiers ? *c.Modifiers : StandardModifiers();
        int32_t position = 0;
        if (uncut) Apply(ts, kUncut, ++position, reg);
        if (original) Apply(ts, kOriginal, ++position, reg);
        for (const ParsedModifier& m : t.chain) {
            if (st.exhausted) return;
            Apply(ts, m, ++position, reg);
        }
    }

    // Whether the chain reads no variable and expands nothing: its modifiers are all Pure (or no
    // modifier at all) and their words and arguments hold no tag.
    bool PureChain(const ParsedTag& t) {
        const ModifierRegistry& reg = c.Modifiers ? *c.Modifiers : StandardModifiers();
        if (t.pure_registry == &reg) return t.pure_chain;
        bool pure = true;
        for (const ParsedModifier& m : t.chain) {
            if (m.dynamic || m.has_triple) {
                pure = false;
                break;
            }
            if (m.registry != &reg) {
                m.registry = &reg;
                m.row = reg.Find(m.lower);
            }
            if (m.row >= 0 && !reg.Row(m.row).Pure) {
                pure = false;
                break;
            }
            for (int32_t k = 0; k < m.args.Count; ++k)
                if (!m.args.Slots[static_cast<std::size_t>(k)].Literal ||
                    m.args.Slots[static_cast<std::size_t>(k)].Text.find("///") != npos)
                    pure = false;
            if (!pure) break;
        }
        t.pure_registry = &reg;
        t.pure_chain = pure;
        return pure;
    }

    int32_t Slot(const ParsedTag& t, std::string_view lookup, bool dynamic) {
        if (dynamic) return FindVariable(c, lookup);
        const int32_t cached = t.var_slot;
        if (cached > 0 && t.var_context == &c && t.var_epoch == c.VariableEpoch && cached <= c.VariableCount)
            return cached;
        const int32_t found = FindVariable(c, lookup);
        t.var_slot = found;
        t.var_epoch = c.VariableEpoch;
        t.var_context = &c;
        return found;
    }

    // One tag: its share of the budget, then by its form nothing (a comment), a quoted value, or a
    // name with its value and modifier chain.
    void Tag(const ParsedTag& t, std::string& out) {
        if (--st.budget < 0) {
            st.exhausted = true;
            return;
        }
        // While nobody traces, a tag and each modifier pay one test of c.Trace (the calls are cold).
        if (c.Trace) [[unlikely]]
            TraceTagStep(t.full);
        switch (t.form) {
            case TagForm::Nothing:
                if (c.Trace) [[unlikely]]
                    TraceNameStep(TraceSink::NameKind::Comment, {}, {});
                return;
            case TagForm::Quoted:
                QuotedTag(t, out);
                return;
            case TagForm::Named:
                NamedTag(t, out);
                return;
        }
    }

    void QuotedTag(const ParsedTag& t, std::string& out) {
        FlushLastName();
        TagState& ts = Frame();
        ts.Reset();
        ts.value = t.quoted;
        ts.raw = t.quoted;
        ts.empty_name = true;
        if (c.Trace) [[unlikely]]
            TraceNameStep(TraceSink::NameKind::Literal, {}, ts.value);
        Finish(ts, t, false, false, out);
    }

    // The name of a named tag as this evaluation reads it. The views point into the stores or into
    // the parse, so it is never copied.
    struct TagName {
        std::string name_store;
        std::string lookup_store;
        std::string_view name;
        std::string_view lookup;  // lower case, without the prefixes
        int8_t builtin = kNoBuiltin;
        bool original = false;
        bool uncut = false;
        bool dynamic = false;  // the name is expanded on every evaluation

        TagName() = default;
        TagName(const TagName&) = delete;
        TagName& operator=(const TagName&) = delete;
    };

    void NamedTag(const ParsedTag& t, std::string& out) {
        TagName n;
        ReadName(t, n);
        int32_t idx = n.lookup.empty() ? 0 : Slot(t, n.lookup, n.dynamic);
        if (GoesStraightOut(t, n, idx)) {
            st.pending_name = &t.name_word;
            out += c.Variables[static_cast<std::size_t>(idx)].Value;
            return;
        }
        idx = RecordLastName(t, n, idx);
        TagState& ts = Frame();
        ts.Reset();
        CopyInto(ts.name, n.name);
        if (!NameValue(ts, t, n, idx, out)) return;
        Finish(ts, t, n.original, n.uncut, out);
    }

    // The name as written, or expanded when it holds tags; its prefixes and built-in are resolved
    // at parse time for a name without tags.
    void ReadName(const ParsedTag& t, TagName& n) {
        n.dynamic = t.name_dynamic || (c.TripleSlashShortcuts && t.name_has_triple);
        if (n.dynamic) {
            n.name_store = ExpandIf(t.name_word);
            n.name = n.name_store;
            ResolveName(n.name, n.original, n.uncut, n.lookup_store, n.builtin);
            n.lookup = n.lookup_store;
        } else {
            n.name = t.name_word;
            n.original = t.original;
            n.uncut = t.uncut;
            n.lookup = t.lookup;
            n.builtin = t.builtin;
        }
    }

    // The common tags ({{crlf}}, {{originalline}}) go straight to the output; a trace sees them take
    // the ordinary way, so that it shows the same steps with or without modifiers.
    bool GoesStraightOut(const ParsedTag& t, const TagName& n, int32_t idx) const {
        if (!idx || n.dynamic || n.name.empty() || t.reads_last_name || idx == st.last_name_slot)
            return false;
        const TemplateVariable& v = c.Variables[static_cast<std::size_t>(idx)];
        return t.chain.empty() && !n.uncut && !c.OnModifierApplied && !c.Modifiers && !c.Trace &&
               v.Value.size() <= c.MaxTextSize && (n.original || HoldsNoTagOrCut(c, v.Value));
    }

    // Gives "nameoflastrepresenter" the tag's name, now or deferred; returns the variable's slot,
    // looked up again when the tag reads that variable.
    int32_t RecordLastName(const ParsedTag& t, const TagName& n, int32_t idx) {
        FlushLastName();
        // A variable's tag whose chain reads no variable ({{line|caseupper}}) leaves its name pending,
        // like a tag that goes straight to the output: nothing can read it before the next tag, and
        // lines that alternate two names then do not write the variable twice a line.
        const bool defer = idx && !n.dynamic && !n.name.empty() && !t.reads_last_name && !n.uncut &&
                           !c.Trace && !c.OnModifierApplied && PureChain(t);
        if (defer)
            st.pending_name = &t.name_word;
        else if (!n.name.empty())
            SetLastName(n.name);
        // The name is set before it is looked up: a tag reading the variable sees its own name.
        if (t.reads_last_name || (n.dynamic && n.lookup == "nameoflastrepresenter"))
            return FindVariable(c, n.lookup);
        return idx;
    }

    // The value the name gives: a variable's, a built-in's, or what the undefined-name rule leaves.
    // False when the tag is done (a rule put out text in place of the whole tag). A "cell" built-in
    // may add the prefixes its column names.
    bool NameValue(TagState& ts, const ParsedTag& t, TagName& n, int32_t idx, std::string& out) {
        if (n.lookup.empty()) {
            ts.empty_name = true;
            if (c.Trace) [[unlikely]]
                TraceNameStep(TraceSink::NameKind::Empty, ts.name, ts.value);
            return true;
        }
        if (idx) {
            const TemplateVariable& v = c.Variables[static_cast<std::size_t>(idx)];
            ts.comment = v.Comment;
            Assign(ts, v.Value, n.original || n.uncut);
            if (c.Trace) [[unlikely]]
                TraceNameStep(TraceSink::NameKind::Variable, ts.name, ts.value);
            return true;
        }
        if (n.builtin != kNoBuiltin) {
            const std::string text = BuiltinText(t, n.builtin, n.original, n.uncut);
            Assign(ts, text, n.original || n.uncut);
            if (c.Trace) [[unlikely]]
                TraceNameStep(TraceSink::NameKind::Builtin, ts.name, ts.value);
            return true;
        }
        return UndefinedName(ts, t, out);
    }

    // Policies that put something out in place of the whole tag end here (false); the others go on
    // to the modifiers with the value they leave.
    bool UndefinedName(TagState& ts, const ParsedTag& t, std::string& out) {
        const auto emit = [&](std::string_view text) {
            if (c.Trace) [[unlikely]]
                TraceNameStep(TraceSink::NameKind::Undefined, ts.name, text);
            out += text;
            return false;
        };
        switch (c.UndefinedNamePolicy) {
            case 3:
                return emit({});
            case 2:
                return emit(t.full);
            case 4:
                return emit(WrapInDelimiters(c, ts.name));
            case 5: {
                std::string bare;
                for (char ch : ts.name)
                    if (!text::IsDigit(ch) && ch != '-') bare += ch;
                return emit(WrapInDelimiters(c, bare));
            }
            case 6:
                break;
            case 8:
                if (c.OnUndefinedName) c.OnUndefinedName(ts.name, t.full, t.chain_text, ts.value);
                ts.raw = ts.value;
                break;
            default:
                Assign(ts, "", false);
                break;
        }
        if (c.Trace) [[unlikely]]
            TraceNameStep(TraceSink::NameKind::Undefined, ts.name, ts.value);
        return true;
    }

    // The modifier chain; the value goes out unless a bound stopped the chain or the value is too large.
    void Finish(TagState& ts, const ParsedTag& t, bool original, bool uncut, std::string& out) {
        RunChain(ts, t, original, uncut);
        if (st.exhausted) return;
        if (ts.value.size() > c.MaxTextSize) {
            NoteSizeBound(c);
            return;
        }
        out += ts.value;
    }

    // Restores the item variables to what they were when this expansion began.
    struct ItemSaver {
        struct Saved {
            std::array<std::string, 7> values;
            std::array<bool, 7> existed;
        };
        std::optional<Saved> saved;  // nothing to save while no item variable exists

        explicit ItemSaver(TemplateContext& c) {
            if (!AnyItemSlot(c)) return;
            saved.emplace(Saved{{}, {}});
            for (std::size_t k = 0; k < 7; ++k) {
                const int32_t slot = c.ItemSlots[k];
                if (slot > 0 && slot < static_cast<int32_t>(c.Variables.size())) {
                    saved->existed[k] = true;
                    saved->values[k] = c.Variables[static_cast<std::size_t>(slot)].Value;
                }
            }
        }
        void Restore(TemplateContext& c) const {
            static const std::string kEmpty;
            for (std::size_t k = 0; k < 7; ++k) {
                const int32_t slot = c.ItemSlots[k];
                if (slot <= 0 || slot >= static_cast<int32_t>(c.Variables.size())) continue;
                const std::string& want = saved && saved->existed[k] ? saved->values[k] : kEmpty;
                if (c.Variables[static_cast<std::size_t>(slot)].Value != want) SetVariableAt(c, slot, want);
            }
        }
    };

    // Appends to out. A tag that meets a bound yields the empty text and the rest stays: a tag whose
    // text would take the result past the size bound, and, in an outermost expansion, a tag that
    // uses up its budget (every tag there starts with a full one; a deeper expansion ends as soon as
    // the budget of the tag it serves is gone).
    void Run(const ParsedTemplate& p, std::string& out) {
        const std::size_t base = out.size();
        const bool outermost = st.depth == 1;
        const ItemSaver saver(c);
        struct Flush {
            Eval& e;
            ~Flush() { e.FlushLastName(); }
        } flush{*this};
        for (const detail::Segment& seg : p.segments) {
            if (!seg.text.empty()) {
                if (out.size() - base + seg.text.size() > c.MaxTextSize)
                    NoteSizeBound(c);
                else
                    out += seg.text;
            }
            if (seg.tag < 0) continue;
            const std::size_t mark = out.size();
            if (outermost) {
                st.budget = c.TagBudget;
                st.exhausted = false;
            }
            const uint64_t version = c.ItemVersion;
            Tag(p.tags[static_cast<std::size_t>(seg.tag)], out);
            if (c.ItemVersion != version) saver.Restore(c);
            if (st.exhausted) {
                out.resize(mark);
                if (!outermost) return;
                NoteBoundHit(c, BudgetReason(c));
                st.exhausted = false;
                continue;
            }
            if (out.size() - base > c.MaxTextSize) {
                out.resize(mark);
                NoteSizeBound(c);
            }
        }
    }
};

struct DepthGuard {
    EngineState& st;
    explicit DepthGuard(EngineState& s) : st(s) { ++st.depth; }
    ~DepthGuard() { --st.depth; }
};

// Converts a decimal text (digits only) into a digit alphabet of any length.
std::string ToDigits(const std::string& decimal, const TemplateContext& c) {
    const std::string& digits = c.Digits;
    if (digits.empty() || digits == "0123456789") return decimal;
    const bool bijective = (c.DigitMode & 1) != 0;
    for (int i = 0; i <= 8; ++i)
        if (text::NumberSystemDigits(i) == digits) return text::ConvertNumberText(decimal, digits, bijective);
    uint64_t n = 0;
    for (char ch : decimal) n = n * 10 + static_cast<uint64_t>(ch - '0');
    const uint64_t radix = digits.size();
    if (radix == 1) {
        // Tally marks: one character per unit, as wide as any padding may be.
        if (n > WidthBound(c)) {
            NoteBoundHit(c, WidthReason(c, n));
            return {};
        }
        return std::string(static_cast<std::size_t>(n), digits[0]);
    }
    std::string r;
    if (bijective) {
        // Numbering from zero without a zero digit: 0 a, radix-1 the last, radix "aa".
        uint64_t m = n + 1;
        while (m > 0) {
            --m;
            r += digits[static_cast<std::size_t>(m % radix)];
            m /= radix;
        }
    } else {
        do {
            r += digits[static_cast<std::size_t>(n % radix)];
            n /= radix;
        } while (n > 0);
    }
    std::reverse(r.begin(), r.end());
    return r;
}

}  // namespace

// ---------------------------------------------------------------- public

bool ContainsTags(const TemplateContext& c, std::string_view text) {
    if (HasOpen(c.OpenDelimiter, text)) return true;
    return c.TripleSlashShortcuts && text.find("///") != npos;
}

std::string ExpandIfTags(std::string_view text, TemplateContext& c, int nested) {
    if (nested == 0 || !ContainsTags(c, text)) return std::string(text);
    return ExpandTemplate(text, c, nested);
}

bool FitsTextBound(const TemplateContext& c, std::size_t bytes) {
    if (bytes <= c.MaxTextSize) return true;
    NoteSizeBound(c);
    return false;
}

bool FitsWidthBound(const TemplateContext& c, int64_t width) {
    if (width <= 0 || static_cast<uint64_t>(width) <= WidthBound(c)) return true;
    NoteBoundHit(c, WidthReason(c, static_cast<uint64_t>(width)));
    return false;
}

std::size_t WidthBound(const TemplateContext& c) {
    return c.MaxTextSize;
}

void NoteBoundHit(const TemplateContext& c, std::string reason) {
    c.Engine.Get().bound_reason = std::move(reason);
}

void NoteSizeBound(const TemplateContext& c) {
    NoteBoundHit(c, "a value would exceed the size bound of " + std::to_string(c.MaxTextSize) + " bytes");
}

std::string BudgetReason(const TemplateContext& c) {
    return "the tag budget of " + std::to_string(c.TagBudget) + " tags was used up";
}


std::string WidthReason(const TemplateContext& c, uint64_t width) {
    return "a width of " + std::to_string(width) + " would exceed the size bound of " +
           std::to_string(WidthBound(c)) + " bytes";
}

std::string TakeBoundReason(TemplateContext& c) {
    std::string reason;
    reason.swap(c.Engine.Get().bound_reason);
    return reason;
}

std::string FormatCounter(const TemplateContext& c, int64_t number, int64_t width) {
    std::string dec = text::IntText(number);
    bool negative = false;
    if (!dec.empty() && dec[0] == '-') {
        negative = true;
        dec.erase(0, 1);
        --width;
    }
    // The number's own digits never count against the bound; only the padding asked for does.
    if (!FitsWidthBound(c, width)) return {};
    std::string s = ToDigits(dec, c);
    if (s.empty()) return {};
    if (c.AlternativeNumberLayout) {
        // The alternative layout aligns counters to the left: padded with spaces on the right.
        if (width > static_cast<int64_t>(s.size())) s.append(static_cast<std::size_t>(width) - s.size(), ' ');
    } else {
        const char pad = c.PadWithDigit ? c.PadCharacter : ' ';
        if (width > static_cast<int64_t>(s.size()))
            s.insert(0, static_cast<std::size_t>(width) - s.size(), pad);
        if (c.GroupSeparator && c.Digits.size() > 1) s = text::GroupThousands(s, 0, c.GroupSeparator);
    }
    if (negative) s.insert(0, "-");
    return s;
}

int64_t CounterWidthOf(const TemplateContext& c, int64_t reference) {
    return static_cast<int64_t>(FormatCounter(c, reference, 0).size());
}

namespace {

// Delimiters are a few bytes: compared in place.
bool SameShortText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return false;
    return true;
}

// The bounds every expansion passes first; an outermost expansion gives each of its tags a budget.
bool BeginExpansion(TemplateContext& c, EngineState& st, std::size_t size) {
    // The nesting bound is the language's own end of a self-referring definition (a tag beyond it
    // yields the empty text by definition), not a limit that cuts a result: it is not noted.
    if (st.depth >= c.MaxNestingDepth) return false;
    if (st.depth == 0)
        st.exhausted = false;
    else if (st.exhausted)
        return false;
    if (size > c.MaxTextSize) {
        NoteSizeBound(c);
        return false;
    }
    return true;
}

void RunExpansion(TemplateContext& c, EngineState& st, const ParsedTemplate& p, int nested, std::string& out) {
    const DepthGuard guard(st);
    Eval{c, st, nested}.Run(p, out);
}

}  // namespace

std::string ExpandTemplate(std::string_view text, TemplateContext& c, int nested) {
    std::string out;
    ExpandTemplateAppend(text, c, nested, out);
    return out;
}

void ExpandTemplateAppend(std::string_view text, TemplateContext& c, int nested, std::string& out) {
    EngineState& st = c.Engine.Get();
    if (!BeginExpansion(c, st, text.size())) return;
    // The cache may drop the parse while nested expansions fill it; this reference keeps it alive.
    const std::shared_ptr<const ParsedTemplate> parsed = GetParse(c, st, text);
    RunExpansion(c, st, *parsed, nested, out);
}

void PreparedTemplate::Set(std::string_view text) {
    if (parse_ && text == text_) return;
    text_.assign(text);
    parse_.reset();
}

namespace {

// The expansion of a simple template when every tag names a variable whose value goes to the output
// as it is (no tags to expand, no "<cut>", or the "original" prefix). Nothing but the values and the
// variable "nameoflastrepresenter" is involved then, so the values are copied and the variable gets
// the last tag's name, exactly what the evaluation would leave. False (nothing done) otherwise.
bool ExpandSimple(TemplateContext& c, EngineState& st, const ParsedTemplate& p, std::string& out) {
    if (st.depth != 0 || c.OnModifierApplied || c.Modifiers || c.Trace || c.TripleSlashShortcuts ||
        c.TagBudget < 1)
        return false;
    Eval e{c, st, 1};
    std::vector<int32_t>& slots = st.simple_slots;
    slots.clear();
    std::size_t total = 0;
    for (const detail::Segment& seg : p.segments) {
        total += seg.text.size();
        if (seg.tag < 0) continue;
        const ParsedTag& t = p.tags[static_cast<std::size_t>(seg.tag)];
        const int32_t slot = e.Slot(t, t.lookup, false);
        // A tag that reads the variable its own name was just written to is left to the evaluator.
        if (slot == 0 || t.reads_last_name) return false;
        const std::string& v = c.Variables[static_cast<std::size_t>(slot)].Value;
        if (!t.original && !HoldsNoTagOrCut(c, v)) return false;
        total += v.size();
        slots.push_back(slot);
    }
    if (total > c.MaxTextSize) return false;
    std::size_t k = 0;
    const std::string* last_name = nullptr;
    for (const detail::Segment& seg : p.segments) {
        if (!seg.text.empty()) out += seg.text;
        if (seg.tag < 0) continue;
        out += c.Variables[static_cast<std::size_t>(slots[k++])].Value;
        last_name = &p.tags[static_cast<std::size_t>(seg.tag)].name_word;
    }
    if (last_name && !last_name->empty()) e.SetLastName(*last_name);
    return true;
}

}  // namespace

void PreparedTemplate::ExpandAppend(TemplateContext& c, std::string& out, int nested) {
    if (!parse_ || !SameShortText(open_, c.OpenDelimiter) || !SameShortText(close_, c.CloseDelimiter)) {
        parse_ = Parse(text_, c);
        open_ = c.OpenDelimiter;
        close_ = c.CloseDelimiter;
    }
    EngineState& st = c.Engine.Get();
    if (parse_->simple && text_.size() <= c.MaxTextSize && ExpandSimple(c, st, *parse_, out)) return;
    if (!BeginExpansion(c, st, text_.size())) return;
    RunExpansion(c, st, *parse_, nested, out);
}

void ExpandTemplate(std::string_view text, TemplateContext& context, int evaluate_nested,
                    std::string& output) {
    std::string result = ExpandTemplate(text, context, evaluate_nested);
    output.swap(result);
}

void ClearParseCache(TemplateContext& c) {
    EngineState& st = c.Engine.Get();
    st.cache.clear();
    st.cache_bytes = 0;
}

bool HoldsTagOrCutMarker(const TemplateContext& context, std::string_view text) {
    return !HoldsNoTagOrCut(context, text);
}

void VisitTemplateTags(std::string_view text, const TemplateContext& c,
                       const std::function<void(const TagOutline&)>& visit) {
    const std::shared_ptr<const ParsedTemplate> parsed = Parse(text, c);
    TagOutline o;
    for (const ParsedTag& t : parsed->tags) {
        o.Kind = t.form == TagForm::Named    ? TagOutline::Form::Named
                    : t.form == TagForm::Quoted ? TagOutline::Form::Quoted
                                                : TagOutline::Form::Nothing;
        o.Full = t.full;
        o.Quoted = t.quoted;
        o.NameWord = t.name_word;
        o.NameHasTags = t.name_dynamic;
        o.NameHasTripleSlash = t.name_has_triple;
        o.Ampersand = t.ampersand;
        o.Original = t.original;
        o.Uncut = t.uncut;
        o.Lookup = t.lookup;
        o.NameArguments = &t.name_args;
        o.Chain.clear();
        for (const ParsedModifier& m : t.chain)
            o.Chain.push_back({m.word, m.lower, m.dynamic, m.has_triple, &m.args});
        visit(o);
    }
}

// ---------------------------------------------------------------- ModifierCall

std::string& ModifierCall::Value() {
    return tag_.value;
}

CommandOptionsRecT ModifierCall::Fetch(int n) const {
    return FetchArgument(args_, n, true, context_, nested_);
}

CommandOptionsRecT ModifierCall::FetchRaw(int n) const {
    return FetchArgument(args_, n, false, context_, nested_);
}

CommandOptionsRecT ModifierCall::FetchOr(int n, std::string_view default_text) const {
    return FetchArgumentOr(args_, n, default_text, context_, nested_);
}

int32_t ModifierCall::Integer(int n) const {
    return FetchArgumentInteger(args_, n, context_, nested_);
}

bool ModifierCall::LiteralText(int n, std::string_view& text) const {
    return LiteralArgumentText(args_, n, nested_, text);
}

bool ModifierCall::Present(int n) const {
    return n >= 1 && n <= args_.Count && args_.Slots[static_cast<std::size_t>(n - 1)].Present;
}

bool ModifierCall::HasOption(std::string_view name) const {
    return tmpl::HasOption(args_, name);
}

std::string ModifierCall::GetOptionValue(std::string_view name) const {
    return tmpl::GetOptionValue(args_, name);
}

std::string ModifierCall::ExpandedWholeArgumentText() const {
    return ExpandIfTags(args_.WholeText, context_, nested_);
}

std::string_view ModifierCall::TagName() const {
    return tag_.name;
}

const std::string& ModifierCall::RawValue() const {
    return tag_.raw;
}

std::string_view ModifierCall::VariableComment() const {
    return tag_.comment;
}

bool ModifierCall::IsFirstOfEmptyName() const {
    return position_ == 1 && tag_.empty_name;
}

void ModifierCall::AssignValue(std::string_view text) {
    const std::string copy(text);  // the text may be the tag's own value or raw value
    Eval{context_, context_.Engine.Get(), nested_}.Assign(tag_, copy, false);
}

std::string ModifierCall::Expand(std::string_view text) const {
    return ExpandIfTags(text, context_, nested_);
}

std::string ModifierCall::ExpandBuiltIn(std::string_view text_with_braces) const {
    return ExpandTemplate(TranslateDelimiters(context_, text_with_braces), context_, nested_);
}

bool ModifierCall::ContainsTags(std::string_view text) const {
    return tmpl::ContainsTags(context_, text);
}

namespace {

// Whether open delimiter + name + close delimiter is the tag of a variable and nothing else: letters,
// digits and "_" after a letter, none of them in a delimiter (nor a caret there), and no prefix or
// name the tag syntax gives a meaning of its own.
bool PlainVariableName(const TemplateContext& c, std::string_view name) {
    const std::string& open = c.OpenDelimiter;
    const std::string& close = c.CloseDelimiter;
    if (name.empty() || open.empty() || close.empty() || !text::IsAsciiLetter(name[0])) return false;
    for (char d : close)
        for (char o : open)
            if (text::LowerChar(d) == text::LowerChar(o)) return false;
    if (open.find('^') != npos || close.find('^') != npos) return false;
    for (char ch : name) {
        if (!text::IsAsciiLetter(ch) && !text::IsDigit(ch) && ch != '_') return false;
        const char lo = text::LowerChar(ch);
        for (char d : open)
            if (text::LowerChar(d) == lo) return false;
        for (char d : close)
            if (text::LowerChar(d) == lo) return false;
    }
    const auto starts = [&](std::string_view prefix) {
        return name.size() >= prefix.size() && text::EqualsIgnoreCase(name.substr(0, prefix.size()), prefix);
    };
    return !starts("original") && !starts("uncut") && !text::EqualsIgnoreCase(name, "nameoflastrepresenter");
}

// FindVariable (and PlainVariableName), remembered per parsed modifier while the context, its
// epoch, its delimiters and the name stay the same.
int32_t CachedSlot(NamedSlotCache& k, TemplateContext& c, std::string_view name, bool* plain = nullptr) {
    const int32_t slot = k.Slot;
    if (k.Context == &c && k.Epoch == c.VariableEpoch && SameText(k.Name, name) &&
        SameShortText(k.Open, c.OpenDelimiter) && SameShortText(k.Close, c.CloseDelimiter)) {
        if (plain) *plain = k.Plain;
        // The slot must still hold the name (a store changed behind its back makes FindVariable look
        // again as well).
        if (slot > 0 && slot <= c.VariableCount && static_cast<std::size_t>(slot) < c.Variables.size() &&
            SameText(c.Variables[static_cast<std::size_t>(slot)].Name, k.Lower))
            return slot;
    }
    const int32_t found = FindVariable(c, name);
    k.Name.assign(name);
    k.Lower = text::LowerCase(name);
    k.Open = c.OpenDelimiter;
    k.Close = c.CloseDelimiter;
    k.Plain = PlainVariableName(c, name);
    k.Slot = found;
    k.Epoch = c.VariableEpoch;
    k.Context = &c;
    if (plain) *plain = k.Plain;
    return found;
}

}  // namespace

std::string ModifierCall::ExpandNameTag(std::string_view name, int32_t* slot_out) const {
    if (slot_out) *slot_out = 0;
    TemplateContext& c = context_;
    EngineState& st = c.Engine.Get();
    // What the expansion of the tag would do for such a variable: count one tag, set
    // "nameoflastrepresenter" to the name and give the value. A trace must see the tag, so it takes
    // the ordinary way, as do the bounds' edge cases.
    if (!c.Trace && !c.OnModifierApplied && !c.Modifiers && st.depth >= 1 && st.depth < c.MaxNestingDepth &&
        !st.exhausted && st.budget >= 1 &&
        name.size() + c.OpenDelimiter.size() + c.CloseDelimiter.size() <= c.MaxTextSize) {
        bool plain = false;
        const int32_t slot = CachedSlot(args_.Named, c, name, &plain);
        if (slot > 0 && plain) {
            std::string value = c.Variables[static_cast<std::size_t>(slot)].Value;
            if (value.size() <= c.MaxTextSize && HoldsNoTagOrCut(c, value)) {
                --st.budget;
                Eval e{c, st, nested_};
                e.FlushLastName();
                e.SetLastName(name);
                if (slot_out) *slot_out = slot;
                return value;
            }
        }
    }
    return ExpandTemplate(WrapInDelimiters(c, name), c, nested_);
}

void ModifierCall::SetNamedVariable(std::string_view name, std::string_view value, int32_t known) const {
    if (known > 0 && known < static_cast<int32_t>(context_.Variables.size())) {
        SetVariableAt(context_, known, value);
        return;
    }
    if (!name.empty() && name.find('|') == npos) {
        const int32_t slot = CachedSlot(args_.Named, context_, name);
        if (slot > 0) {
            SetVariableAt(context_, slot, value);
            return;
        }
    }
    SetVariable(context_, name, value);
}

}  // namespace rowsmith::tmpl
