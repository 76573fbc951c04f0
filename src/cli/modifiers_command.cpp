// rowsmith-cli modifiers: every modifier word in the order the evaluator tests them, with its match
// kind and what it does.

#include <ostream>

#include "cli/options.h"
#include "template/registry.h"

namespace rowsmith::cli {

int ModifiersCommand(Io& io) {
    for (const tmpl::ModifierRow& row : tmpl::StandardModifiers().Rows())
        io.out << row.Word << '\t' << tmpl::MatchKindName(row.Kind) << '\t' << row.Description << '\n';
    io.out.flush();
    return io.out ? kExitOk : kExitIoError;
}

}  // namespace rowsmith::cli
