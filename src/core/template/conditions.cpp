#include "template/conditions.h"

#include <string>

#include "template/arguments.h"
#include "template/evaluator.h"
#include "text/compare.h"

namespace rowsmith::tmpl {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// The first "<", "=" or ">" outside tags.
std::size_t FindOperator(std::string_view part, const TemplateContext& c) {
    std::size_t best = npos;
    for (char op : {'<', '=', '>'}) {
        const std::size_t at = FindOutsideTags(part, op, c.OpenDelimiter, c.CloseDelimiter);
        if (at < best) best = at;
    }
    return best;
}

}  // namespace

bool ConditionPartHolds(std::string_view part, TemplateContext& context, int evaluate_nested) {
    if (part.empty()) return true;
    const std::size_t at = FindOperator(part, context);
    if (at == npos) return !ExpandIfTags(part, context, evaluate_nested).empty();
    const std::string left = ExpandIfTags(part.substr(0, at), context, evaluate_nested);
    std::string right(part.substr(at));
    const int op = text::ParseCompareOperator(right);
    right = ExpandIfTags(right, context, evaluate_nested);
    return text::CompareBy(left, op, right, false);
}

bool EvaluateCondition(std::string_view condition, TemplateContext& context, int evaluate_nested) {
    bool holds = true;
    std::size_t from = 0;
    while (holds) {
        const std::size_t amp =
            FindOutsideTags(condition, '&', context.OpenDelimiter, context.CloseDelimiter, from);
        const std::size_t end = amp == npos ? condition.size() : amp;
        holds = ConditionPartHolds(condition.substr(from, end - from), context, evaluate_nested);
        if (amp == npos) break;
        from = amp + 1;
    }
    SetVariable(context, "lastequation", holds ? " " : "");
    return holds;
}

}  // namespace rowsmith::tmpl
