#pragma once
// File-mask matching ("*.txt", "data??.[a-c]*", "[!x]*"): the one matcher behind the folder scan's
// mask test and the template language's mask routines.

#include <string_view>

namespace rowsmith::text {

// The whole name must match; "*" any run (also none), "?" one character, "[set]" one character of the
// set (ranges a-z, a leading "!" negates); letter case is ignored; "." is an ordinary character.
bool MatchesMask(std::string_view name, std::string_view mask);

// True when the name matches at least one of the masks separated by `separator` ("|" in the window).
// Blanks around each mask are ignored; empty masks match nothing, so an empty mask text matches nothing.
bool MatchesMaskList(std::string_view name, std::string_view masks, char separator = '|');

}  // namespace rowsmith::text
