#pragma once
// Worked templates for the template editor's Examples menu: a caption, what it does, the template and
// the line interval it goes with (none for most).

#include <vector>

namespace rowsmith::gui {

struct TemplateExample {
    const char* caption;
    const char* description;
    const char* templ;
    const char* interval;  // nullptr: the example needs no interval
};

// In menu order; every template ends its lines with {{eol}}.
const std::vector<TemplateExample>& TemplateExamples();

}  // namespace rowsmith::gui
