#pragma once
// The template engine seen from the string table: cell sort keys and display templates are expanded
// against a context through the table's TemplateEvaluator interface.

#include <string>
#include <string_view>

#include "tables/string_table.h"
#include "template/context.h"

namespace rowsmith::tmpl {

class ContextTemplateEvaluator : public tables::TemplateEvaluator {
  public:
    explicit ContextTemplateEvaluator(TemplateContext& context) : context_(context) {}

    // The text is written with "{{" and "}}"; it is translated to the context's delimiters first.
    std::string ExpandTemplateText(std::string_view template_text) override;
    char GroupSeparator() const override { return context_.GroupSeparator; }
    std::string HostOfAddress(std::string_view address) override;

  private:
    TemplateContext& context_;
};

// The host of a web address: the scheme (up to "://" or ":\\") and a leading "www." go, and so does
// everything from the first "/", "\", ":", "?" or "#" on.
std::string HostOfAddress(std::string_view address);

}  // namespace rowsmith::tmpl
