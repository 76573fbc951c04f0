#pragma once
// Table-driven template checks for the modifier tests: each row expands a template with the variable
// "line" set and compares the result; a failure names the template and the line.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "template/context.h"
#include "template/evaluator.h"

namespace rowsmith::testing {

struct TemplateCase {
    std::string tmpl;
    std::string line;
    std::string expected;
};

// run(template, line) gives the expansion.
template <class Run>
void CheckTemplateCases(Run&& run, const std::vector<TemplateCase>& cases) {
    for (const TemplateCase& k : cases)
        EXPECT_EQ(run(k.tmpl, k.line), k.expected) << "template: " << k.tmpl << "  line: " << k.line;
}

// Every row runs against a fresh context with the standard modifiers.
class FreshTemplateTest : public ::testing::Test {
  protected:
    static std::string Run(std::string_view text, std::string_view line) {
        tmpl::TemplateRecordT record;
        tmpl::SetVariable(record.Context, "line", line);
        return tmpl::ExpandTemplate(text, record.Context, 1);
    }
    static void Check(const std::vector<TemplateCase>& cases) {
        CheckTemplateCases([](const std::string& t, const std::string& l) { return Run(t, l); }, cases);
    }
};

}  // namespace rowsmith::testing
