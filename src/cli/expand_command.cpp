#include <ostream>

#include "cli/options.h"

namespace rowsmith::cli {

int ExpandCommand(const ExpandOptions&, Io& io) {
    io.err << "rowsmith-cli: expand is not available yet\n";
    return kExitUsage;
}

}  // namespace rowsmith::cli
