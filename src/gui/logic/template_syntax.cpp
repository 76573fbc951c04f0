#include "gui/logic/template_syntax.h"

#include <algorithm>

#include "template/arguments.h"
#include "template/registry.h"
#include "text/chars.h"
#include "text/spans.h"

namespace rowsmith::gui {

namespace {

constexpr std::size_t npos = std::string_view::npos;
// The editor reads templates with the delimiters every template of the program is written in.
constexpr std::string_view kOpen = "{{";
constexpr std::string_view kClose = "}}";

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsWordChar(char c) {
    return IsAsciiLetter(c) || IsDigit(c) || c == '_';
}

std::string Lower(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

bool HasOpen(std::string_view s) {
    return s.find(kOpen) != npos;
}

// "<cut>" or "<cut/>" at i, letter case ignored, as the evaluator cuts assigned values.
std::size_t CutMarkerAt(std::string_view s, std::size_t i) {
    for (std::string_view m : {std::string_view("<cut>"), std::string_view("<cut/>")})
        if (i + m.size() <= s.size() && Lower(s.substr(i, m.size())) == m) return m.size();
    return 0;
}

// One pass over a template that the evaluator would parse: the same decisions in the same order
// (raw literal first, then the nesting-aware tag, then the tag's form, name part and chain), each
// recorded as spans instead of acted on. Nested texts that the evaluator expands when used (names,
// modifier words, arguments holding tags) are scanned the same way, their plain parts in the kind
// of the piece they belong to.
class Scanner {
  public:
    std::vector<SyntaxSpan> spans;
    std::vector<SyntaxProblem> problems;

    void ScanText(std::string_view t, std::size_t base, SyntaxKind plain) {
        std::size_t pos = 0;
        while (pos < t.size()) {
            const std::size_t o = t.find(kOpen, pos);
            if (o == npos) break;
            if (TakeRawLiteral(t, base, o, plain, pos)) {
                if (pos == npos) return;
                continue;
            }
            int32_t length = 0, position = 0;
            if (!text::FindEnclosedFrom(kOpen, kClose, t, 0, static_cast<int32_t>(pos + 1), length,
                                        position)) {
                // The evaluator writes an unclosed open, and all that follows it, as text.
                Plain(t.substr(pos, o - pos), base + pos, plain);
                Emit(base + o, kOpen.size(), SyntaxKind::Error);
                Problem(base + o, kOpen.size(), "this {{ is never closed by }}");
                pos = o + kOpen.size();
                Plain(t.substr(pos), base + pos, plain);
                return;
            }
            const std::size_t s = static_cast<std::size_t>(position - 1);
            const std::size_t len = static_cast<std::size_t>(length);
            Plain(t.substr(pos, s - pos), base + pos, plain);
            Emit(base + s, kOpen.size(), SyntaxKind::TagBrace);
            const std::size_t inner_at = s + kOpen.size();
            const std::size_t inner_len =
                len >= kOpen.size() + kClose.size() ? len - kOpen.size() - kClose.size() : 0;
            ScanTag(t.substr(inner_at, inner_len), base + inner_at);
            Emit(base + s + len - kClose.size(), kClose.size(), SyntaxKind::TagBrace);
            pos = s + len;
        }
        if (pos < t.size()) Plain(t.substr(pos), base + pos, plain);
    }

  private:
    const tmpl::ModifierRegistry& registry_ = tmpl::StandardModifiers();

    void Emit(std::size_t offset, std::size_t length, SyntaxKind kind) {
        if (length == 0) return;
        if (!spans.empty() && spans.back().kind == kind &&
            spans.back().offset + spans.back().length == offset) {
            spans.back().length += length;
            return;
        }
        spans.push_back({offset, length, kind});
    }

    void Problem(std::size_t offset, std::size_t length, std::string message) {
        problems.push_back({offset, length, std::move(message)});
    }

    // Plain text of a piece; in an argument the cut markers stand out.
    void Plain(std::string_view s, std::size_t base, SyntaxKind kind) {
        if (kind != SyntaxKind::Argument) {
            Emit(base, s.size(), kind);
            return;
        }
        std::size_t from = 0;
        for (std::size_t i = s.find('<'); i != npos; i = s.find('<', i + 1)) {
            const std::size_t m = CutMarkerAt(s, i);
            if (m == 0) continue;
            Emit(base + from, i - from, kind);
            Emit(base + i, m, SyntaxKind::CutMarker);
            from = i + m;
            i += m - 1;
        }
        Emit(base + from, s.size() - from, kind);
    }

    // {{mark"text"mark}}: the evaluator's test for a raw literal at the open `o`. True when the open
    // begins one; pos then moves past it, or becomes npos when it is never closed.
    bool TakeRawLiteral(std::string_view t, std::size_t base, std::size_t o, SyntaxKind plain,
                        std::size_t& pos) {
        const std::size_t after = o + kOpen.size();
        if (after >= t.size()) return false;
        const char ch = t[after];
        const bool raw = !IsAsciiLetter(ch) && ch != ' ' && ch != '"' && ch != '\'' && ch != '[' &&
                         ch != '|' && kOpen.find(ch) == npos;
        const std::size_t q = raw ? t.find('"', after) : npos;
        if (q == npos) return false;
        const std::string_view mark = t.substr(after, q - after);
        std::string end_seq = "\"";
        end_seq.append(mark).append(kClose);
        const std::size_t e = t.find(end_seq, q + 1);
        Plain(t.substr(pos, o - pos), base + pos, plain);
        if (e == npos) {
            Emit(base + o, t.size() - o, SyntaxKind::Error);
            Problem(base + o, q + 1 - o,
                    "this {{ opens a raw literal that is never closed by \"" + std::string(mark) +
                        "}}: nothing from here on is written");
            pos = npos;
            return true;
        }
        Emit(base + o, kOpen.size(), SyntaxKind::TagBrace);
        Emit(base + after, e + 1 + mark.size() - after, SyntaxKind::RawLiteral);
        Emit(base + e + 1 + mark.size(), kClose.size(), SyntaxKind::TagBrace);
        pos = e + end_seq.size();
        return true;
    }

    void ScanTag(std::string_view inner, std::size_t base) {
        if (inner.empty()) return;
        if (inner.front() == '"') {
            std::size_t q = npos;
            if (inner.size() >= 2 && inner.back() == '"') {
                Emit(base, inner.size(), SyntaxKind::RawLiteral);
            } else if ((q = inner.find("\"|", 1)) != npos) {
                Emit(base, q + 1, SyntaxKind::RawLiteral);
                Emit(base + q + 1, 1, SyntaxKind::Separator);
                ScanChain(inner.substr(q + 2), base + q + 2);
            } else {
                // Without a closing quote the engine reads the rest once as the value and once more as
                // modifiers; shown as the literal it mostly is.
                Emit(base, inner.size(), SyntaxKind::RawLiteral);
            }
            return;
        }
        if (inner.front() == '\'') {
            const std::size_t q = inner.find('\'', 1);
            if (q == npos) {
                Emit(base, inner.size(), SyntaxKind::RawLiteral);
                return;
            }
            Emit(base, q + 1, SyntaxKind::RawLiteral);
            // The engine looks for the chain's "|" with a plain search, and skips what lies before it.
            const std::size_t bar = inner.find('|', q + 1);
            Emit(base + q + 1, (bar == npos ? inner.size() : bar) - q - 1, SyntaxKind::Comment);
            if (bar != npos) {
                Emit(base + bar, 1, SyntaxKind::Separator);
                ScanChain(inner.substr(bar + 1), base + bar + 1);
            }
            return;
        }
        if ((inner.size() >= 2 && inner.front() == '[' && inner.back() == ']') || inner.front() == ' ') {
            Emit(base, inner.size(), SyntaxKind::Comment);
            return;
        }
        const std::size_t bar = tmpl::FindOutsideTags(inner, '|', kOpen, kClose);
        ScanPiece(inner.substr(0, bar), base, false);
        if (bar != npos) {
            Emit(base + bar, 1, SyntaxKind::Separator);
            ScanChain(inner.substr(bar + 1), base + bar + 1);
        }
    }

    void ScanChain(std::string_view chain, std::size_t base) {
        while (!chain.empty()) {
            const std::size_t bar = tmpl::FindOutsideTags(chain, '|', kOpen, kClose);
            ScanPiece(chain.substr(0, bar), base, true);
            if (bar == npos) break;
            Emit(base + bar, 1, SyntaxKind::Separator);
            chain.remove_prefix(bar + 1);
            base += bar + 1;
        }
    }

    // A name part or a modifier: word, ":" and arguments.
    void ScanPiece(std::string_view piece, std::size_t base, bool modifier) {
        const std::size_t colon = tmpl::FindOutsideTags(piece, ':', kOpen, kClose);
        const std::string_view word = piece.substr(0, colon);
        const SyntaxKind word_kind = modifier ? SyntaxKind::ModifierWord : SyntaxKind::Name;
        const std::string lower = Lower(word);
        if (HasOpen(word)) {
            // A word made by tags is only known when it is expanded.
            ScanText(word, base, word_kind);
        } else if (modifier && !word.empty() && registry_.Find(text::LowerCase(word)) < 0) {
            Emit(base, word.size(), SyntaxKind::Error);
            Problem(base, word.size(), "unknown modifier \"" + std::string(word) + "\"");
        } else {
            Emit(base, word.size(), word_kind);
        }
        if (colon == npos) return;
        Emit(base + colon, 1, SyntaxKind::Separator);
        const std::string_view args = piece.substr(colon + 1);
        const std::size_t args_at = base + colon + 1;
        // These take everything after the ":" as one text, commas included.
        if (modifier && (word.empty() || lower == "a" || lower == "append" || lower == "prepend")) {
            ScanArgument(args, args_at);
            return;
        }
        std::size_t start = 0;
        int32_t slots = 0;
        for (;;) {
            const std::size_t comma = tmpl::FindOutsideTags(args, ',', kOpen, kClose, start);
            const std::string_view arg = args.substr(start, comma == npos ? npos : comma - start);
            if (IsOption(arg)) {
                ScanArgument(arg, args_at + start);
            } else if (slots < tmpl::kArgumentSlots) {
                ++slots;
                ScanArgument(arg, args_at + start);
            } else {
                // Beyond the tenth the engine drops arguments.
                Emit(args_at + start, arg.size(), SyntaxKind::Comment);
            }
            if (comma == npos) break;
            Emit(args_at + comma, 1, SyntaxKind::Separator);
            start = comma + 1;
        }
    }

    // {{[name]}} as a whole argument is an option and fills no slot.
    static bool IsOption(std::string_view arg) {
        if (arg.size() < kOpen.size() + kClose.size() + 2) return false;
        if (arg.substr(0, kOpen.size()) != kOpen || arg[kOpen.size()] != '[') return false;
        if (arg.substr(arg.size() - kClose.size()) != kClose || arg[arg.size() - kClose.size() - 1] != ']')
            return false;
        int32_t length = 0, position = 0;
        return text::FindEnclosed(kOpen, kClose, arg, 0, length, position) && position == 1 &&
               static_cast<std::size_t>(length) == arg.size();
    }

    void ScanArgument(std::string_view arg, std::size_t base) {
        if (HasOpen(arg))
            ScanText(arg, base, SyntaxKind::Argument);
        else
            Plain(arg, base, SyntaxKind::Argument);
    }
};

Scanner Scan(std::string_view text) {
    Scanner s;
    s.ScanText(text, 0, SyntaxKind::Text);
    std::stable_sort(s.problems.begin(), s.problems.end(),
                     [](const SyntaxProblem& a, const SyntaxProblem& b) { return a.offset < b.offset; });
    return s;
}

// --- names ---

struct NameRow {
    const char* name;
    const char* description;
};

// The variables a fresh context and every run set, then the engine's built-in names.
constexpr NameRow kNames[] = {
    {"line", "the current line (tags inside it are expanded)"},
    {"originalline", "the line exactly as read"},
    {"uncutline", "the line expanded without cutting it at <cut>"},
    {"eol", "the line end the line had in its file (none for a last line without one)"},
    {"crlf", "carriage return and line feed"},
    {"cr", "carriage return"},
    {"lf", "line feed"},
    {"found", "the text a template replacement matched"},
    {"nameoflastrepresenter", "the name of the last tag with a non-empty name"},
    {"lastequation", "\" \" when the last condition held, else empty"},
    {"def", "the value the last def or deff received"},
    {"date", "the date the program started (1: format, default dd.MMM.yy)"},
    {"today", "the date the program started (1: format, default dd.MMM.yy)"},
    {"time", "the time the program started (1: format, default HH:ii)"},
    {"timenow", "the time the program started (1: format, default HH:ii)"},
    {"size", "the size counter (1: width)"},
    {"cell", "a cell of the file list (1: column name, 2: row)"},
    {"uncutcell", "a cell of the file list, not cut at <cut>"},
    {"length", "the letter counter (1: width)"},
    {"numberoriginal", "a counter of the run (1: width, & as wide as numberofall)"},
    {"numbernow", "a counter of the run (1: width, & as wide as numberofall)"},
    {"numberrandom", "a random number from 1 to numberofall"},
    {"numberofall", "the number of all items of the run"},
    {"numberinthisfile", "a counter of the run (1: width)"},
    {"numberuntilnow", "a counter of the run (1: width)"},
    {"numbersincelastreset", "a counter of the run (1: width)"},
    {"letter", "a letter of a sequence (1: alphabet, 2: step)"},
    {"char", "a character of a sequence (1: alphabet, 2: step)"},
    {"includedcount", "the number of included rows of the file list"},
    {"gridincludedcount", "the number of included rows of the file list"},
};

bool Contains(std::string_view word, std::string_view lower_prefix) {
    return Lower(word).find(lower_prefix) != npos;
}

// A typed prefix that could begin a digit interval ("3", "-1", "2-4").
bool CouldBeInterval(std::string_view prefix) {
    return std::all_of(prefix.begin(), prefix.end(), [](char c) { return IsDigit(c) || c == '-'; });
}

}  // namespace

std::string_view SyntaxKindName(SyntaxKind kind) {
    switch (kind) {
        case SyntaxKind::Text:
            return "Text";
        case SyntaxKind::TagBrace:
            return "TagBrace";
        case SyntaxKind::Name:
            return "Name";
        case SyntaxKind::ModifierWord:
            return "ModifierWord";
        case SyntaxKind::Separator:
            return "Separator";
        case SyntaxKind::Argument:
            return "Argument";
        case SyntaxKind::RawLiteral:
            return "RawLiteral";
        case SyntaxKind::CutMarker:
            return "CutMarker";
        case SyntaxKind::Comment:
            return "Comment";
        case SyntaxKind::Error:
            return "Error";
    }
    return "?";
}

std::vector<SyntaxSpan> HighlightTemplate(std::string_view text) {
    return Scan(text).spans;
}

std::vector<SyntaxProblem> CheckTemplate(std::string_view text) {
    return Scan(text).problems;
}

LineColumn LineColumnOf(std::string_view text, std::size_t offset) {
    LineColumn lc;
    offset = std::min(offset, text.size());
    for (std::size_t i = 0; i < offset; ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b == '\n') {
            ++lc.line;
            lc.column = 1;
        } else if ((b & 0xC0) != 0x80) {
            ++lc.column;  // continuation bytes belong to the character before them
        }
    }
    return lc;
}

std::string ProblemSummary(std::string_view text, const std::vector<SyntaxProblem>& problems) {
    if (problems.empty()) return "No problems";
    const LineColumn lc = LineColumnOf(text, problems.front().offset);
    std::string s =
        std::to_string(lc.line) + ":" + std::to_string(lc.column) + " " + problems.front().message;
    if (problems.size() > 1) s += " (and " + std::to_string(problems.size() - 1) + " more)";
    return s;
}

CompletionContext CompletionAt(std::string_view text, std::size_t cursor) {
    CompletionContext c;
    cursor = std::min(cursor, text.size());
    std::size_t start = cursor;
    while (start > 0 && IsWordChar(text[start - 1])) --start;
    // Inside a tag: opens counted against closes as the evaluator's search counts them.
    int64_t depth = 0;
    for (std::size_t i = 0; i < start;) {
        if (depth > 0 && text.substr(i, kClose.size()) == kClose) {
            --depth;
            i += kClose.size();
        } else if (text.substr(i, kOpen.size()) == kOpen) {
            ++depth;
            i += kOpen.size();
        } else {
            ++i;
        }
    }
    if (depth <= 0) return c;
    const std::string_view before = text.substr(0, start);
    // A name begins with a letter: anything else right after "{{" starts a raw literal or a comment.
    const bool name = before.ends_with(kOpen) && (start == cursor || IsAsciiLetter(text[start]));
    if (name) {
        c.place = CompletionPlace::Name;
    } else if (before.ends_with('|')) {
        c.place = CompletionPlace::Modifier;
    } else {
        return c;
    }
    c.start = start;
    c.prefix.assign(text.substr(start, cursor - start));
    return c;
}

std::vector<CompletionItem> CompletionsFor(const CompletionContext& context) {
    std::vector<CompletionItem> items;
    const std::string prefix = Lower(context.prefix);
    if (context.place == CompletionPlace::Name) {
        for (const NameRow& row : kNames)
            if (Contains(row.name, prefix)) items.push_back({row.name, row.description, true});
    } else if (context.place == CompletionPlace::Modifier) {
        for (const tmpl::ModifierRow& row : tmpl::StandardModifiers().Rows()) {
            if (row.Kind == tmpl::MatchKind::Pattern) {
                if (CouldBeInterval(prefix)) items.push_back({row.Word, row.Description, false});
            } else if (Contains(row.Word, prefix)) {
                items.push_back({row.Word, row.Description, true});
            }
        }
    }
    const auto begins = [&](const CompletionItem& item) { return Lower(item.word).starts_with(prefix); };
    std::stable_sort(items.begin(), items.end(), [&](const CompletionItem& a, const CompletionItem& b) {
        const bool ba = begins(a), bb = begins(b);
        if (ba != bb) return ba;
        return a.word < b.word;
    });
    // The registry may list a word twice (the first row is the one that applies).
    std::vector<CompletionItem> unique;
    for (CompletionItem& item : items) {
        const bool seen = std::any_of(unique.begin(), unique.end(),
                                      [&](const CompletionItem& u) { return u.word == item.word; });
        if (!seen) unique.push_back(std::move(item));
    }
    return unique;
}

}  // namespace rowsmith::gui
