// The modifiers the tag syntax itself relies on: "append" (and "a"), "original", "uncut", and the
// words made of digits and "-" that pick characters by position.

#include "template/evaluator.h"
#include "template/registry.h"
#include "text/chars.h"
#include "text/intervals.h"

namespace rowsmith::tmpl {

namespace {

void Append(ModifierCall& call) {
    // First in a tag without a name it assigns, which is how {{|:text}} yields the text.
    if (call.IsFirstOfEmptyName()) {
        call.AssignValue(call.WholeArgumentText());
        return;
    }
    const std::string tail = call.ExpandedWholeArgumentText();
    std::string& value = call.Value();
    if (!FitsTextBound(call.Context(), value.size() + tail.size())) {
        value.clear();
        return;
    }
    value += tail;
}

void Original(ModifierCall& call) {
    call.Value() = call.RawValue();
}

void Uncut(ModifierCall& call) {
    call.Value() = call.Expand(call.RawValue());
}

// Digits and "-" only, with at least one digit: a lone "-" is the subtraction of the number family.
bool IsIntervalWord(std::string_view word) {
    bool digit = false;
    for (char c : word) {
        if (text::IsDigit(c))
            digit = true;
        else if (c != '-')
            return false;
    }
    return digit;
}

void CharactersByInterval(ModifierCall& call) {
    std::string& value = call.Value();
    value = text::CharsByIntervals(value, call.LowerWord());
}

}  // namespace

void RegisterCoreModifiers(ModifierRegistry& r) {
    r.AddExact(
        "append", Append,
        "appends the expansion of the whole argument text; first in a tag without a name it sets the value");
    r.AddExact("a", Append, "short for append");
    r.AddExact("original", Original,
               "the value as assigned, before its tags were expanded and before cutting");
    r.AddExact("uncut", Uncut, "the assigned value expanded without cutting it at <cut>");
    r.AddPattern("<digits and ->", IsIntervalWord, CharactersByInterval,
                 "the characters at the positions one interval piece selects: 3, 2-4, 4-2, -1");
}

}  // namespace rowsmith::tmpl
