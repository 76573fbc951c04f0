#pragma once
// Small helpers that modifier handlers of every family share: results that respect the engine's size
// bound.

#include <string>
#include <string_view>

#include "template/registry.h"

namespace rowsmith::tmpl {

// The result becomes the value, or the empty text when it would pass the size bound.
void AssignBounded(ModifierCall& call, std::string result);

// Appends to out; false (and out emptied) once the result would pass the size bound.
bool AppendBounded(const TemplateContext& c, std::string& out, std::string_view piece);

}  // namespace rowsmith::tmpl
