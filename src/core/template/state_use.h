#pragma once
// Whether expanding a template carries anything from one line (or file) to the next. A template
// that does not may have its files expanded on several threads, each with a fresh context made like
// the shared one, and give the very bytes one serial run gives.
//
// Judged from the parse alone, and conservatively: a tag is stateless only when it is positively
// known to read nothing but the line and fixed line ends and to apply only modifiers whose handlers
// touch nothing but the value and literal arguments. Everything else counts as stateful.

#include <cstdint>
#include <string>
#include <string_view>

#include "template/context.h"

namespace rowsmith::tmpl {

class ModifierRegistry;

struct StateUse {
    // No tag writes or reads state that another line could change.
    bool Stateless = false;
    // Some tag takes the value of "line" with its tags expanded, so a line holding the open
    // delimiter runs tags from the data; those may keep state of their own, whatever Stateless says.
    // Exact for the tags written in the template; a name made by a tag counts as "line".
    bool ExpandsLine = false;
    // When stateful: the first tag or word that makes it so, readable.
    std::string Why;
};

// The judgement for the template text expanded against contexts like this one: its delimiters,
// modifier registry, hooks and the values of the line-end variables as they are now.
StateUse DecideStateUse(std::string_view template_text, const TemplateContext& context);

// Whether row `row` of the registry is one whose handler touches no context state: a row the
// engine marks Pure, or one of the rows this module has verified, in either case with the very
// handler of the standard registry's row of that word.
bool IsStatelessModifierRow(const ModifierRegistry& registry, int32_t row);

}  // namespace rowsmith::tmpl
