#pragma once
// The template engine as the command line uses it: one context for the whole invocation, so counters
// and variables carry on across lines and files.

#include <memory>

#include "run/processing_run.h"

namespace rowsmith::cli {

std::unique_ptr<run::LineExpander> MakeLineExpander();

}  // namespace rowsmith::cli
