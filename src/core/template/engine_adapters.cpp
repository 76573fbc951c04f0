#include "template/engine_adapters.h"

#include "template/evaluator.h"
#include "text/chars.h"

namespace rowsmith::tmpl {

std::string ContextTemplateEvaluator::ExpandTemplateText(std::string_view template_text) {
    return ExpandTemplate(TranslateDelimiters(context_, template_text), context_, 1);
}

std::string ContextTemplateEvaluator::HostOfAddress(std::string_view address) {
    return tmpl::HostOfAddress(address);
}

std::string HostOfAddress(std::string_view a) {
    const std::size_t scheme = a.find("://");
    const std::size_t drive = a.find(":\\\\");
    const std::size_t cut = std::min(scheme, drive);
    if (cut != std::string_view::npos) a.remove_prefix(cut + 3);
    if (a.size() >= 4 && text::EqualsIgnoreCase(a.substr(0, 4), "www.")) a.remove_prefix(4);
    return std::string(a.substr(0, a.find_first_of("/\\:?#")));
}

}  // namespace rowsmith::tmpl
