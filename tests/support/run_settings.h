#pragma once
// The settings of a run test: an interval alone, or a template alone.

#include <string>
#include <utility>

#include "run/processing_run.h"

namespace rowsmith::testing {

inline run::RunSettings IntervalSettings(std::string text) {
    run::RunSettings s;
    s.IntervalActive = true;
    s.IntervalText = std::move(text);
    return s;
}

inline run::RunSettings TemplateSettings(std::string text) {
    run::RunSettings s;
    s.TemplateActive = true;
    s.TemplateText = std::move(text);
    return s;
}

}  // namespace rowsmith::testing
