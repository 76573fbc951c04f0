#include "template/modifier_support.h"

#include "template/evaluator.h"

namespace rowsmith::tmpl {

void AssignBounded(ModifierCall& call, std::string result) {
    if (FitsTextBound(call.Context(), result.size()))
        call.Value() = std::move(result);
    else
        call.Value().clear();
}

bool AppendBounded(const TemplateContext& c, std::string& out, std::string_view piece) {
    if (!FitsTextBound(c, out.size() + piece.size())) {
        out.clear();
        return false;
    }
    out.append(piece);
    return true;
}

}  // namespace rowsmith::tmpl
