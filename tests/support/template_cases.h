#pragma once
// Table-driven template checks for the modifier tests: each row expands a template with the variable
// "line" set and compares the result; a failure names the template and the line.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

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

}  // namespace rowsmith::testing
