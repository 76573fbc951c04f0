#include "files/line_ends.h"

#include "text/chars.h"

namespace rowsmith::files {

bool ParseLineEnds(std::string_view word, LineEnds& out) {
    if (text::EqualsIgnoreCase(word, "auto"))
        out = LineEnds::Auto;
    else if (text::EqualsIgnoreCase(word, "crlf"))
        out = LineEnds::Crlf;
    else if (text::EqualsIgnoreCase(word, "lf"))
        out = LineEnds::Lf;
    else
        return false;
    return true;
}

std::string_view LineEndsWord(LineEnds ends) {
    switch (ends) {
        case LineEnds::Auto: return "auto";
        case LineEnds::Crlf: return "crlf";
        case LineEnds::Lf: return "lf";
    }
    return "auto";
}

}  // namespace rowsmith::files
