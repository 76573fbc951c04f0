#pragma once
// List helpers: joined item lists, the text form of ItemInfoT, progress percentages and the division
// of a length by weights (grid columns, panel heights, "part N of M" of a text).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rowsmith::text {

// The separator of joined item lists.
constexpr char kItemSeparator = '\x05';
// The separator of ItemInfoT's text form.
constexpr char kItemInfoSeparator = '\x04';

// Items 1 to the last (item 0 is skipped) joined by JoinNonEmpty with byte 5.
std::string JoinItems(const std::vector<std::string>& items);

// One item of the list modifiers: a name and four integer fields.
struct ItemInfoT {
    std::string Name;
    std::array<int32_t, 4> Values{};
};
// Name and the four fields, separated by byte 4.
std::string ItemInfoText(const ItemInfoT& item);
// The parts in the same order; each field read with ReadNumber (default 1) and truncated (0 when
// it does not fit into 32 bits, or when its part is missing or empty).
ItemInfoT ParseItemInfo(std::string_view text);

// trunc((|value - first| + 1) / (|last - first| + 1) * |top - bottom| + bottom); top outside 0..100
// becomes 100, bottom outside 0..100 becomes 0.
int32_t ProgressPercent(int64_t value, int64_t first, int64_t last, int32_t top, int32_t bottom);

// One entry of a width list "weight|min|max"; -1 means no limit.
struct WeightEntryT {
    double Weight = 0;
    int32_t Min = -1;
    int32_t Max = -1;
};
// Parses "w|min|max,w,..." (at most 200 entries; a maximum below the minimum is raised to it).
std::vector<WeightEntryT> ParseWeights(std::string_view weights);

// Divides length over the entries in proportion to their weights (a weight of 0 or less counts as
// 0.1); positions left over go one at a time to entries 1, 2, 3 ... Entries with limits keep within
// them and the difference is spread over the other entries by weight; when every entry is limited,
// the last one takes what is left. The sizes always add up to length (a negative length counts as 0).
// last_is_least raises the middle entries to the first entry's size at the last entry's expense.
std::vector<int32_t> DivideEntries(int32_t length, const std::vector<WeightEntryT>& entries,
                                   bool last_is_least);
std::vector<int32_t> DivideByWeightsSizes(int32_t length, std::string_view weights, bool last_is_least);
// mode 0: the sizes joined by ","; mode 1: the spans "first-last" (consecutive from 1) joined by ",".
std::string SizesText(const std::vector<int32_t>& sizes, int mode);
std::string DivideByWeights(int32_t length, std::string_view weights, int mode, bool last_is_least);

// parts equal parts of length; a negative parts means parts of -parts positions each (as many as
// needed to cover the length, the last one taking what remains). No parts, or more than a million,
// give nothing.
std::vector<int32_t> DivideLengthSizes(int32_t length, int32_t parts, bool last_is_least);
std::string DivideLength(int32_t length, int32_t parts, int mode, bool last_is_least);

struct PartOfLengthT {
    int32_t First = 0;
    int32_t Last = -1;
    int32_t Shortfall = 0;  // size of the first part minus size of this part
};
// part_text "N of M" (optionally " of lastisleast"; empty means "1 of 1 of lastisleast"): part N of M
// equal parts of length. With "OF" in capitals M is a part size instead of a count. With trim_last a
// last position beyond the length becomes the length (shortfall 0). N, M or length not positive, or
// no part N: First 0, Last -1.
PartOfLengthT PartOfLength(std::string_view part_text, int32_t length, bool trim_last);

}  // namespace rowsmith::text
