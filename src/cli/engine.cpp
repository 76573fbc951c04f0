#include "cli/engine.h"

namespace rowsmith::cli {

std::unique_ptr<run::LineExpander> MakeLineExpander() { return nullptr; }

}  // namespace rowsmith::cli
