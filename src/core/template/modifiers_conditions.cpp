// Modifiers for conditions and definitions: the conditional actions (an action word followed by a
// condition suffix), "if"/"is" conditions, yes/no tests, "toggle", and defining variables from inside a
// template.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "files/paths.h"
#include "files/platform_fs.h"
#include "template/conditions.h"
#include "template/context.h"
#include "template/evaluator.h"
#include "template/registry.h"
#include "text/chars.h"
#include "text/numbers.h"
#include "text/split.h"
#include "text/strings.h"
#include "text/utf8.h"

namespace rowsmith::tmpl {

namespace {

// --- Conditional actions ---

enum class Action : uint8_t { Replace, Append, Surround, Prepend, InsertBeforeExtension, Insert };

struct ActionInfo {
    std::string_view word;
    Action action;
    std::string_view description;  // what happens with the chosen text t (and t2)
};

// "insertbeforeextension" comes before "insert", which it begins with.
constexpr std::array<ActionInfo, 6> kActions = {{
    {"replace", Action::Replace, "the value becomes t"},
    {"append", Action::Append, "t is appended"},
    {"surround", Action::Surround, "t + value + t2"},
    {"prepend", Action::Prepend, "t is put in front"},
    {"insertbeforeextension", Action::InsertBeforeExtension, "t goes before the last \".\""},
    {"insert", Action::Insert, "t is inserted at a position"},
}};

enum class Test : uint8_t { NoFile, NoFolder, NoPath, NotEmpty, Empty, Starts, Ends, Condition };

struct SuffixInfo {
    std::string_view word;
    Test test;
    int first;  // the first argument the action uses
    std::string_view description;
};

// Tested in this order, so that "ifnotnil" is not taken by "ifno" nor "ifnil" by "if".
constexpr std::array<SuffixInfo, 12> kSuffixes = {{
    {"ifnotexistsfile", Test::NoFile, 1, "no file of the value's name exists"},
    {"ifnotexistfile", Test::NoFile, 1, "no file of the value's name exists"},
    {"ifnotexistsfolder", Test::NoFolder, 1, "no folder of the value's name exists"},
    {"ifnotexistfolder", Test::NoFolder, 1, "no folder of the value's name exists"},
    {"ifnotexist", Test::NoPath, 1, "neither a file nor a folder of the value's name exists"},
    {"ifnotnil", Test::NotEmpty, 1, "the value is not empty"},
    {"ifyes", Test::NotEmpty, 1, "the value is not empty"},
    {"ifnil", Test::Empty, 1, "the value is empty"},
    {"ifno", Test::Empty, 1, "the value is empty"},
    {"ifstart", Test::Starts, 2, "the value begins with argument 1 (case ignored)"},
    {"ifend", Test::Ends, 2, "the value ends with argument 1 (case ignored)"},
    {"if", Test::Condition, 2, "the condition of argument 1 holds"},
}};

constexpr std::size_t kConditionalCount = kActions.size() * kSuffixes.size();

// The value named as a path: relative names resolve against the context's root folder. An empty
// value names nothing.
std::string ValuePath(std::string_view value, const TemplateContext& c) {
    return files::Resolve(value, c.RootFolder);
}

bool TestHolds(ModifierCall& c, const SuffixInfo& s) {
    const std::string& value = c.Value();
    switch (s.test) {
        case Test::NoFile:
            return value.empty() || !files::fs::FileExists(ValuePath(value, c.Context()));
        case Test::NoFolder:
            return value.empty() || !files::fs::FolderExists(ValuePath(value, c.Context()));
        case Test::NoPath:
            return value.empty() || !files::fs::PathExists(ValuePath(value, c.Context()));
        case Test::NotEmpty:
            return !value.empty();
        case Test::Empty:
            return value.empty();
        case Test::Starts:
            return text::StartsWith(c.Text(1), value);
        case Test::Ends:
            return text::EndsWith(c.Text(1), value);
        case Test::Condition:
            return EvaluateCondition(c.FetchRaw(1).Text, c.Context(), c.EvaluateNested());
    }
    return false;
}

// Inserts t at a character position as "insert" does: 0 appends; p > 0 inserts before character p
// (filling a short value with the fill first; overlay replaces as many characters as t has); p < 0
// makes t occupy -p characters in front of the value. False when the result would be too large.
bool InsertAt(std::string& value, std::string t, int64_t p, bool overlay, bool keep_case,
              const TemplateContext& c) {
    static constexpr std::string_view kFill = " ";
    if (p == 0) {
        if (!FitsTextBound(c, value.size() + t.size())) return false;
        value += t;
        return true;
    }
    // Byte texts (and ASCII ones) count bytes; the character routines would give the same, slower.
    const bool chars = text::CountsCodePoints(value) || text::CountsCodePoints(t);
    auto count = [chars](std::string_view s) { return chars ? text::CountChars(s) : s.size(); };
    auto offset = [chars](std::string_view s, std::size_t i) {
        return chars ? text::ByteOffsetOfChar(s, i) : std::min(i, s.size());
    };
    if (p > 0) {
        const std::size_t at = static_cast<std::size_t>(p - 1);
        const std::size_t value_chars = count(value);
        const std::size_t gap = at > value_chars ? at - value_chars : 0;
        if (!FitsTextBound(c, value.size() + gap + t.size())) return false;
        if (overlay && at < value_chars) {
            const std::size_t from = offset(value, at);
            const std::size_t len = offset(std::string_view(value).substr(from), count(t));
            if (keep_case) text::TakeOverCase(t, std::string_view(value).substr(from, len));
            value.erase(from, len);
        }
        if (gap > 0) value += text::FillText(kFill, static_cast<int64_t>(gap));
        value.insert(gap > 0 ? value.size() : offset(value, at), t);
        return true;
    }
    const uint64_t n = static_cast<uint64_t>(-(p + 1)) + 1;  // -p without overflow
    const std::size_t t_chars = count(t);
    if (overlay && n <= t_chars) {
        // n blanks in front, then t laid over the front: t covers t_chars - n characters of the value.
        const std::size_t covered = offset(value, t_chars - static_cast<std::size_t>(n));
        if (keep_case) {
            const std::string front =
                std::string(static_cast<std::size_t>(n), ' ') + value.substr(0, covered);
            text::TakeOverCase(t, front);
        }
        value.erase(0, covered);
        value.insert(0, t);
        return true;
    }
    const uint64_t gap = n > t_chars ? n - t_chars : 0;
    if (gap > c.MaxTextSize) {
        NoteSizeBound(c);
        return false;
    }
    if (!FitsTextBound(c, value.size() + t.size() + static_cast<std::size_t>(gap))) return false;
    value.insert(0, t + text::FillText(kFill, static_cast<int64_t>(gap)));
    return true;
}

void ApplyConditional(ModifierCall& c, const ActionInfo& a, const SuffixInfo& s) {
    const bool holds = TestHolds(c, s);
    const int texts = a.action == Action::Surround ? 2 : 1;
    const int first = holds ? s.first : s.first + texts;
    if (!holds && !c.Present(first) && !(texts == 2 && c.Present(first + 1))) return;
    const std::string t = c.Text(first);
    std::string& value = c.Value();
    const TemplateContext& context = c.Context();
    bool fits = true;
    switch (a.action) {
        case Action::Replace:
            value = t;
            break;
        case Action::Append:
            fits = FitsTextBound(context, value.size() + t.size());
            if (fits) value += t;
            break;
        case Action::Prepend:
            fits = FitsTextBound(context, value.size() + t.size());
            if (fits) value.insert(0, t);
            break;
        case Action::Surround: {
            const std::string t2 = c.Text(first + 1);
            fits = FitsTextBound(context, t.size() + value.size() + t2.size());
            if (fits) value = t + value + t2;
            break;
        }
        case Action::InsertBeforeExtension: {
            fits = FitsTextBound(context, value.size() + t.size());
            const std::size_t dot = value.rfind('.');
            if (fits) value.insert(dot == std::string::npos ? value.size() : dot, t);
            break;
        }
        case Action::Insert: {
            const int64_t position = c.FetchOr(s.first + 2, "1").Integer;
            fits = InsertAt(value, t, position, c.HasOption("overlay"), c.HasOption("keepcase"), context);
            break;
        }
    }
    if (!fits) value.clear();
}

template <std::size_t I>
void ConditionalAction(ModifierCall& c) {
    ApplyConditional(c, kActions[I / kSuffixes.size()], kSuffixes[I % kSuffixes.size()]);
}

template <std::size_t... I>
constexpr std::array<ModifierHandler, sizeof...(I)> MakeConditionalHandlers(std::index_sequence<I...>) {
    return {&ConditionalAction<I>...};
}

constexpr std::array<ModifierHandler, kConditionalCount> kConditionalHandlers =
    MakeConditionalHandlers(std::make_index_sequence<kConditionalCount>());

std::string ConditionalDescription(const ActionInfo& a, const SuffixInfo& s) {
    const auto arg = [](int n) { return std::to_string(n); };
    const int n = s.first;
    std::string texts = a.action == Action::Surround
                            ? "t, t2 = arguments " + arg(n) + ", " + arg(n + 1) + " (otherwise " +
                                  arg(n + 2) + ", " + arg(n + 3) + " when given)"
                            : "t = argument " + arg(n) + " (otherwise " + arg(n + 1) + " when given)";
    std::string d = "if " + std::string(s.description) + ": " + std::string(a.description) + "; " + texts;
    if (a.action == Action::Insert) d += ", position argument " + arg(n + 2) + " (default 1)";
    return d;
}

// --- Tests and conditions ---

const std::string kYes = " ";

void Is(ModifierCall& c) {
    c.Value() = EvaluateCondition(c.FetchRaw(1).Text, c.Context(), c.EvaluateNested()) ? kYes : std::string();
}

void Exist(ModifierCall& c) {
    std::string& value = c.Value();
    value = value.empty() ? std::string() : kYes;
}

void AtLeastOneIsDefined(ModifierCall& c) {
    const std::string names = c.Text(1);
    TemplateContext& context = c.Context();
    bool found = false;
    std::size_t from = 0;
    while (!found && from <= names.size()) {
        std::size_t bar = names.find('|', from);
        if (bar == std::string::npos) bar = names.size();
        const std::string_view name = std::string_view(names).substr(from, bar - from);
        if (!name.empty())
            found = !ExpandTemplate(WrapInDelimiters(context, name), context, c.EvaluateNested()).empty();
        from = bar + 1;
    }
    c.Value() = found ? kYes : std::string();
}

// --- Definitions ---

void Define(ModifierCall& c, bool expand) {
    TemplateContext& context = c.Context();
    const std::string current = expand ? c.Expand(c.Value()) : c.Value();
    SetVariable(context, "def", current);
    const std::string name = c.Text(1);
    // An empty name would add a nameless variable on every use.
    if (name.empty() || name.front() == '|') return;
    if (c.Present(2))
        SetVariable(context, name, expand ? c.Text(2) : c.FetchRaw(2).Text);
    else
        SetVariable(context, name, current);
}

void Def(ModifierCall& c) {
    Define(c, true);
}
void Deff(ModifierCall& c) {
    Define(c, false);
}

// --- Names and comments ---

void VariableName(ModifierCall& c) {
    c.Value() = std::string(c.TagName());
}

void LastVariableName(ModifierCall& c) {
    c.Value() = GetVariableValue(c.Context(), "nameoflastrepresenter");
}

const TemplateVariable* VariableNamed(TemplateContext& context, std::string_view name) {
    const int32_t index = FindVariable(context, name);
    return index == 0 ? nullptr : &context.Variables[static_cast<std::size_t>(index)];
}

void VariableComment(ModifierCall& c) {
    TemplateContext& context = c.Context();
    std::string& value = c.Value();
    if (!c.Present(1)) {
        if (value.empty()) {
            value = std::string(c.VariableComment());
        } else {
            const TemplateVariable* v = VariableNamed(context, value);
            value = v ? v->Comment : std::string();
        }
        return;
    }
    const std::string names = c.Text(1);
    std::size_t from = 0;
    while (from <= names.size()) {
        std::size_t bar = names.find('|', from);
        if (bar == std::string::npos) bar = names.size();
        const std::string_view name = std::string_view(names).substr(from, bar - from);
        if (const TemplateVariable* v = name.empty() ? nullptr : VariableNamed(context, name);
            v && !v->Value.empty()) {
            if (!FitsTextBound(context, value.size() + 1 + v->Comment.size())) {
                value.clear();
                return;
            }
            value = text::JoinNonEmpty(value, "|", v->Comment);
        }
        from = bar + 1;
    }
}

// --- Alternation ---

void Toggle(ModifierCall& c) {
    TemplateContext& context = c.Context();
    const int32_t reading = context.ToggleCounter;
    // Wraps around at the end of the range; the parity keeps alternating.
    context.ToggleCounter = static_cast<int32_t>(static_cast<uint32_t>(reading) + 1u);
    const bool odd = (static_cast<uint32_t>(reading) & 1u) != 0;
    if (c.Present(1) && c.Present(2))
        c.Value() = c.Text(odd ? 1 : 2);
    else
        c.Value() = odd ? std::string() : kYes;
}

void Cycle(ModifierCall&) {}

}  // namespace

void RegisterConditionModifiers(ModifierRegistry& r) {
    for (std::size_t i = 0; i < kConditionalCount; ++i) {
        const ActionInfo& a = kActions[i / kSuffixes.size()];
        const SuffixInfo& s = kSuffixes[i % kSuffixes.size()];
        r.AddPrefix(std::string(a.word) + std::string(s.word), kConditionalHandlers[i],
                    ConditionalDescription(a, s));
    }
    r.AddExact("is", Is, "\" \" when the condition of argument 1 holds, else empty");
    r.AddExact("exist", Exist, "\" \" when the value is not empty, else empty");
    r.AddExact("exists", Exist, "\" \" when the value is not empty, else empty");
    r.AddExact("atleastoneisdefined", AtLeastOneIsDefined,
               "\" \" when one of the \"|\"-separated names of argument 1 expands to a non-empty text");
    r.AddExact(
        "def", Def,
        "sets \"def\" to the value expanded once more, and variable argument 1 to argument 2 (expanded) "
        "or to that value");
    r.AddExact("deff", Deff, "as def, without expanding the value or argument 2");
    for (std::string_view w : {"getvariablename", "getvariablesname", "nameofrepresenter", "nameofvariable"})
        r.AddExact(w, VariableName, "the value becomes the tag's evaluated name");
    for (std::string_view w :
         {"getlastvariablename", "getlastvariablesname", "nameoflastrepresenter", "nameoflastvariable"})
        r.AddExact(w, LastVariableName, "the value becomes the name of the last tag with a non-empty name");
    r.AddPrefix("getvariablecomment", VariableComment,
                "the comment of the tag's variable (or of the variable named by the value); with argument 1 "
                "the comments of the named non-empty variables are appended, joined by \"|\"");
    r.AddPrefix("getvariablescomment", VariableComment, "same as getvariablecomment");
    r.AddExact("toggle", Toggle,
               "alternates across the run: argument 1 on odd, argument 2 on even readings (\"\" and \" \" "
               "without both)");
    r.AddExact("cycle", Cycle, "recognised; leaves the value unchanged");
}

}  // namespace rowsmith::tmpl
