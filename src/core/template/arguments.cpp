#include "template/arguments.h"

#include <cmath>
#include <limits>

#include "template/context.h"
#include "template/evaluator.h"
#include "text/chars.h"
#include "text/numbers.h"
#include "text/options.h"
#include "text/spans.h"

namespace rowsmith::tmpl {

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool MatchAt(std::string_view text, std::size_t i, std::string_view delim) {
    if (delim.empty() || i + delim.size() > text.size()) return false;
    for (std::size_t k = 0; k < delim.size(); ++k)
        if (text::LowerChar(text[i + k]) != text::LowerChar(delim[k])) return false;
    return true;
}

// An argument written as one whole {{[...]}} tag: its inner text without the brackets.
bool OptionArgument(std::string_view arg, std::string_view open, std::string_view close,
                    std::string_view& inner) {
    if (arg.size() < open.size() + close.size() + 2) return false;
    if (!MatchAt(arg, 0, open) || arg[open.size()] != '[') return false;
    if (!MatchAt(arg, arg.size() - close.size(), close) || arg[arg.size() - close.size() - 1] != ']')
        return false;
    int32_t length = 0, position = 0;
    if (!text::FindEnclosed(open, close, arg, 0, length, position)) return false;
    if (position != 1 || static_cast<std::size_t>(length) != arg.size()) return false;
    inner = arg.substr(open.size() + 1, arg.size() - open.size() - close.size() - 2);
    return true;
}

std::string ExpandSlot(const ArgumentSlot& s, TemplateContext& c, int nested) {
    if (s.Literal || nested == 0) return s.Text;
    return ExpandTemplate(s.Text, c, nested);
}

}  // namespace

namespace {

// Plain digit texts (counters, widths, steps) read directly: the general reading gives the same
// value for them, exactly, through a floating-point conversion.
bool ReadPlainDigits(std::string_view text, CommandOptionsRecT& r) {
    if (text.empty() || text.size() > 15) return false;
    int64_t v = 0;
    for (char ch : text) {
        const unsigned d = static_cast<unsigned char>(ch) - static_cast<unsigned>('0');
        if (d > 9) return false;
        v = v * 10 + d;
    }
    r.IsNumber = 1;
    r.Float = static_cast<double>(v);
    r.Integer = v <= 2147483647 ? static_cast<int32_t>(v) : -1;
    return true;
}

}  // namespace

CommandOptionsRecT MakeOptionsRec(std::string text, bool present) {
    CommandOptionsRecT r;
    r.Present = present ? 1 : 0;
    if (ReadPlainDigits(text, r)) {
        r.Text = std::move(text);
        return r;
    }
    r.IsNumber = text::IsANumber(text) ? 1 : 0;
    if (!text.empty()) {
        const double x = text::ReadNumber(text, std::numeric_limits<double>::quiet_NaN());
        if (std::isnan(x)) {
            r.Float = 0;
            r.Integer = -1;
        } else {
            r.Float = x;
            const double t = std::trunc(x);
            r.Integer = (t >= -2147483648.0 && t <= 2147483647.0) ? static_cast<int32_t>(t) : -1;
        }
    }
    r.Text = std::move(text);
    return r;
}

std::size_t FindOutsideTags(std::string_view text, char c, std::string_view open, std::string_view close,
                            std::size_t from) {
    if (open.empty()) return text.find(c, from);
    const char o0 = text::LowerChar(open[0]);
    const char c0 = close.empty() ? '\0' : text::LowerChar(close[0]);
    int64_t depth = 0;
    std::size_t i = from;
    const std::size_t n = text.size();
    while (i < n) {
        const char ch = text[i];
        const char lo = text::LowerChar(ch);
        // A close wins over an open at the same place, as the nesting-aware search decides.
        if (depth > 0 && lo == c0 && MatchAt(text, i, close)) {
            --depth;
            i += close.size();
            continue;
        }
        if (lo == o0 && MatchAt(text, i, open)) {
            ++depth;
            i += open.size();
            continue;
        }
        if (depth == 0 && ch == c) return i;
        ++i;
    }
    return npos;
}

bool HasBalancedTag(std::string_view text, std::string_view open, std::string_view close) {
    if (open.empty() || text.size() < open.size() + close.size()) return false;
    if (text::FindBytes(open, text, 0, false) == npos) return false;
    int32_t length = 0, position = 0;
    return text::FindEnclosed(open, close, text, 0, length, position);
}

void ParseArguments(std::string_view argument_text, std::string_view open, std::string_view close,
                    ArgumentTable& table) {
    table = ArgumentTable();
    table.WholeText.assign(argument_text);
    table.HasColon = true;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = FindOutsideTags(argument_text, ',', open, close, start);
        const std::string_view arg = argument_text.substr(start, comma == npos ? npos : comma - start);
        std::string_view inner;
        if (OptionArgument(arg, open, close, inner)) {
            if (!table.Options.empty()) table.Options += '|';
            table.Options.append(inner);
        } else if (table.Count < kArgumentSlots) {
            ArgumentSlot& s = table.Slots[static_cast<std::size_t>(table.Count++)];
            s.Present = arg.empty() ? 0 : 1;
            if (arg == "\"\"") {
                s.Text.clear();
                s.Literal = 1;
            } else {
                s.Text.assign(arg);
                s.Literal =
                    (arg.empty() || (arg.find("///") == npos && !HasBalancedTag(arg, open, close))) ? 1 : 0;
            }
        }
        if (comma == npos) break;
        start = comma + 1;
    }
}

ParsedPiece ParsePiece(std::string_view piece, std::string_view open, std::string_view close) {
    ParsedPiece p;
    const std::size_t colon = FindOutsideTags(piece, ':', open, close);
    p.Word.assign(piece.substr(0, colon));
    if (colon != npos) ParseArguments(piece.substr(colon + 1), open, close, p.Arguments);
    return p;
}

namespace {

// The number reading of a slot's text as written, made once.
void ReadSlot(const ArgumentSlot& s) {
    if (s.Read) return;
    const CommandOptionsRecT first = MakeOptionsRec(s.Text, false);
    s.Float = first.Float;
    s.Integer = first.Integer;
    s.IsNumber = first.IsNumber;
    s.Read = 1;
}

}  // namespace

CommandOptionsRecT FetchArgument(const ArgumentTable& t, int n, bool expanded, TemplateContext& c,
                                 int nested) {
    if (n == 0) {
        CommandOptionsRecT r;
        r.OptionsPresent = t.Options.empty() ? 0 : 1;
        r.OptionsText = t.Options;
        return r;
    }
    if (n == -1) {
        std::string joined;
        bool any = false;
        for (int i = 0; i < t.Count; ++i) {
            const ArgumentSlot& s = t.Slots[static_cast<std::size_t>(i)];
            std::string v = expanded ? ExpandSlot(s, c, nested) : s.Text;
            any = any || s.Present;
            if (v.empty()) continue;
            if (!joined.empty()) joined += ',';
            joined += v;
        }
        return MakeOptionsRec(std::move(joined), any);
    }
    if (n < 1 || n > t.Count) return MakeOptionsRec(std::string(), false);
    const ArgumentSlot& s = t.Slots[static_cast<std::size_t>(n - 1)];
    if (expanded && !s.Literal && nested != 0) return MakeOptionsRec(ExpandSlot(s, c, nested), s.Present != 0);
    // The text as written: its reading is made once and kept in the slot.
    ReadSlot(s);
    CommandOptionsRecT r;
    r.Text = s.Text;
    r.Float = s.Float;
    r.Integer = s.Integer;
    r.IsNumber = s.IsNumber;
    r.Present = s.Present;
    return r;
}

bool LiteralArgumentText(const ArgumentTable& t, int n, int nested, std::string_view& text) {
    if (n < 1) return false;
    if (n > t.Count) {
        text = {};
        return true;
    }
    const ArgumentSlot& s = t.Slots[static_cast<std::size_t>(n - 1)];
    if (!s.Literal && nested != 0) return false;
    text = s.Text;
    return true;
}

int32_t FetchArgumentInteger(const ArgumentTable& t, int n, TemplateContext& c, int nested) {
    if (n < 1) return FetchArgument(t, n, true, c, nested).Integer;
    if (n > t.Count) return 0;
    const ArgumentSlot& s = t.Slots[static_cast<std::size_t>(n - 1)];
    if (!s.Literal && nested != 0) return FetchArgument(t, n, true, c, nested).Integer;
    ReadSlot(s);
    return s.Integer;
}

CommandOptionsRecT FetchArgumentOr(const ArgumentTable& t, int n, std::string_view default_text,
                                   TemplateContext& c, int nested) {
    if (n >= 1 && n <= t.Count && t.Slots[static_cast<std::size_t>(n - 1)].Present)
        return FetchArgument(t, n, true, c, nested);
    // Defaults such as "1" hold no delimiter to translate.
    std::string d = default_text.find("{{") == npos && default_text.find("}}") == npos
                        ? std::string(default_text)
                        : TranslateDelimiters(c, default_text);
    if (nested != 0 && ContainsTags(c, d)) d = ExpandTemplate(d, c, nested);
    return MakeOptionsRec(std::move(d), false);
}

bool HasOption(const ArgumentTable& t, std::string_view name) {
    if (name.empty()) return false;
    const std::string_view options = t.Options;
    std::size_t start = 0;
    for (;;) {
        const std::size_t bar = options.find('|', start);
        std::string_view entry = options.substr(start, bar == npos ? npos : bar - start);
        entry = entry.substr(0, entry.find(':'));
        if (text::EqualsIgnoreCase(entry, name)) return true;
        if (bar == npos) return false;
        start = bar + 1;
    }
}

std::string GetOptionValue(const ArgumentTable& t, std::string_view name) {
    return text::OptionValue(name, t.Options, '|', ':');
}

}  // namespace rowsmith::tmpl
