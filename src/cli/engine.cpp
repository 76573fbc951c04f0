#include "cli/engine.h"

#include "run/expand_lines.h"

namespace rowsmith::cli {

std::unique_ptr<run::LineExpander> MakeLineExpander() { return std::make_unique<run::StandaloneLineExpander>(); }

}  // namespace rowsmith::cli
