#pragma once
// The condition language of "if", "is", the conditional actions and "countvalue": parts joined by "&"
// (all must hold), each either a text that must not be empty or two sides compared by an operator.

#include <string_view>

#include "template/context.h"

namespace rowsmith::tmpl {

// Whether one part holds. Without "<", "=" or ">" outside tags the part holds when its expansion is
// not empty; otherwise the left side and the right side after the operator are expanded and compared
// naturally, letter case ignored. Does not touch "LastEquation".
bool ConditionPartHolds(std::string_view part, TemplateContext& context, int evaluate_nested = 1);

// The condition as written: split at "&" outside tags, evaluated left to right until a part fails.
// An empty condition (and an empty part) holds. Sets the variable "LastEquation" to " " or "".
bool EvaluateCondition(std::string_view condition, TemplateContext& context, int evaluate_nested = 1);

}  // namespace rowsmith::tmpl
