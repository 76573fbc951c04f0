#pragma once
// Sorting the items of a list text ("pear, apple, fig") in natural, case-free order and joining them
// again.

#include <string>
#include <string_view>

namespace rowsmith::text {

// Cuts text at the separator alternatives (divided by marker; without separators every character
// that is neither a letter nor a digit, except ' ` and byte 146, separates), sorts the items by
// CompareNatural of their lower-cased texts (equal items keep their order) and joins them with
// joiner by JoinNonEmpty (empty items vanish).
std::string SortTextList(std::string_view text, std::string_view joiner, std::string_view separators,
                         std::string_view marker);

}  // namespace rowsmith::text
