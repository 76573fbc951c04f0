#include <ostream>

#include "cli/options.h"

namespace rowsmith::cli {

int ModifiersCommand(Io& io) {
    io.err << "rowsmith-cli: modifiers is not available yet\n";
    return kExitUsage;
}

}  // namespace rowsmith::cli
