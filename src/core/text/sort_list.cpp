#include "text/sort_list.h"

#include <algorithm>
#include <vector>

#include "text/chars.h"
#include "text/compare.h"
#include "text/search.h"
#include "text/spans.h"

namespace rowsmith::text {

std::string SortTextList(std::string_view text, std::string_view joiner, std::string_view separators,
                         std::string_view marker) {
    std::vector<std::string_view> items;
    if (SeparatorAlternatives(separators, marker).empty()) {
        const CharSet word = DefaultWordCharacters();
        std::size_t start = 0;
        for (std::size_t i = 0; i <= text.size(); ++i) {
            if (i == text.size() || !word.Has(text[i])) {
                items.push_back(text.substr(start, i - start));
                start = i + 1;
            }
        }
    } else {
        items = CutItems(text, separators, marker, 0, {}, {});
    }
    struct Keyed {
        std::string key;
        std::string_view item;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(items.size());
    for (std::string_view item : items)
        if (!item.empty()) keyed.push_back({LowerCase(item), item});
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const Keyed& a, const Keyed& b) { return CompareNatural(a.key, b.key) == 1; });
    std::string result;
    for (const Keyed& k : keyed) {
        if (!result.empty()) result.append(joiner);
        result.append(k.item);
    }
    return result;
}

}  // namespace rowsmith::text
