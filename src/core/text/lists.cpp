#include "text/lists.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "text/chars.h"
#include "text/numbers.h"
#include "text/search.h"
#include "text/strings.h"

namespace rowsmith::text {

std::string JoinItems(const std::vector<std::string>& items) {
    std::string r;
    const std::string_view separator(&kItemSeparator, 1);
    for (std::size_t i = 1; i < items.size(); ++i) r = JoinNonEmpty(r, separator, items[i]);
    return r;
}

std::string ItemInfoText(const ItemInfoT& item) {
    std::string r = item.Name;
    for (int32_t v : item.Values) {
        r += kItemInfoSeparator;
        r += IntText(v);
    }
    return r;
}

namespace {

int32_t TruncToInt32(double v) {
    v = std::trunc(v);
    if (!(v >= -2147483648.0 && v <= 2147483647.0)) return 0;
    return static_cast<int32_t>(v);
}

}  // namespace

ItemInfoT ParseItemInfo(std::string_view text) {
    ItemInfoT item;
    std::size_t from = 0;
    for (int part = 0; part < 5; ++part) {
        std::string_view piece;
        if (from <= text.size()) {
            const auto at = text.find(kItemInfoSeparator, from);
            const std::size_t end = at == std::string_view::npos ? text.size() : at;
            piece = text.substr(from, end - from);
            from = at == std::string_view::npos ? text.size() + 1 : at + 1;
        }
        if (part == 0)
            item.Name.assign(piece);
        else
            item.Values[part - 1] = TruncToInt32(ReadNumber(piece, 1));
    }
    return item;
}

int32_t ProgressPercent(int64_t value, int64_t first, int64_t last, int32_t top, int32_t bottom) {
    if (top < 0 || top > 100) top = 100;
    if (bottom < 0 || bottom > 100) bottom = 0;
    const double done = std::fabs(static_cast<double>(value) - static_cast<double>(first)) + 1;
    const double span = std::fabs(static_cast<double>(last) - static_cast<double>(first)) + 1;
    return TruncToInt32(done / span * 100.0 * std::abs(top - bottom) / 100.0 + bottom);
}

// --- Division by weights ---

namespace {

constexpr std::size_t kMaxWeightEntries = 200;
constexpr int32_t kMaxParts = 1000000;

int32_t ReadLimit(std::string_view text) {
    if (text.empty()) return -1;
    const int32_t v = ReadInt(text);
    return v < 0 ? -1 : v;
}

double EffectiveWeight(double w) {
    return w <= 0 ? 0.1 : w;
}

// Sizes for the listed entries: each trunc(length * weight / sum), the rest one at a time in order.
void Distribute(int64_t length, const std::vector<std::size_t>& which, const std::vector<double>& weights,
                std::vector<int64_t>& sizes) {
    if (which.empty()) return;
    if (length < 0) length = 0;
    double sum = 0;
    for (std::size_t i : which) sum += weights[i];
    if (sum == 0) sum = 1;
    int64_t given = 0;
    for (std::size_t i : which) {
        const double exact = static_cast<double>(length) * weights[i] / sum;
        // The epsilon keeps 99.99999999 (from 1/3 * 300) from losing a whole position.
        int64_t s = static_cast<int64_t>(std::floor(exact + 1e-9 * std::max(1.0, exact)));
        s = std::clamp<int64_t>(s, 0, length - given);
        sizes[i] = s;
        given += s;
    }
    int64_t left = length - given;
    if (left > 0) {
        // Every entry gets the same share of whole rounds, then the rest goes to the first entries.
        const int64_t rounds = left / static_cast<int64_t>(which.size());
        left -= rounds * static_cast<int64_t>(which.size());
        for (std::size_t k = 0; k < which.size(); ++k)
            sizes[which[k]] += rounds + (static_cast<int64_t>(k) < left ? 1 : 0);
    }
}

int64_t Limited(int64_t size, const WeightEntryT& e) {
    if (e.Min >= 0 && size < e.Min) size = e.Min;
    if (e.Max >= 0 && size > e.Max) size = e.Max;
    return size;
}

// Keeps limited entries within their limits and spreads the difference over the others by weight:
// each round freezes the entries that break a limit in the direction of the total violation (all of
// them when it balances) and divides again what the frozen ones leave.
void ApplyLimits(int64_t length, const std::vector<WeightEntryT>& entries, const std::vector<double>& weights,
                 std::vector<int64_t>& sizes) {
    const std::size_t n = entries.size();
    std::vector<bool> frozen(n, false);
    for (;;) {
        std::vector<std::size_t> open;
        int64_t taken = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (frozen[i])
                taken += sizes[i];
            else
                open.push_back(i);
        }
        if (open.empty()) return;
        Distribute(length - taken, open, weights, sizes);
        int64_t violation = 0;
        bool any = false;
        for (std::size_t i : open) {
            const int64_t d = Limited(sizes[i], entries[i]) - sizes[i];
            violation += d;
            any = any || d != 0;
        }
        if (!any) return;
        for (std::size_t i : open) {
            const int64_t limited = Limited(sizes[i], entries[i]);
            const bool freeze = violation > 0   ? limited > sizes[i]
                                : violation < 0 ? limited < sizes[i]
                                                : limited != sizes[i];
            if (freeze) {
                sizes[i] = limited;
                frozen[i] = true;
            }
        }
    }
}

// Makes the sizes add up to length: a surplus goes to the last entry, a deficit is taken from the
// last entry backwards without going below 0.
void Balance(int64_t length, std::vector<int64_t>& sizes) {
    int64_t diff = length - std::accumulate(sizes.begin(), sizes.end(), int64_t{0});
    if (diff > 0) sizes.back() += diff;
    for (std::size_t i = sizes.size(); diff < 0 && i-- > 0;) {
        const int64_t take = std::min(sizes[i], -diff);
        sizes[i] -= take;
        diff += take;
    }
}

}  // namespace

std::vector<WeightEntryT> ParseWeights(std::string_view weights) {
    std::vector<WeightEntryT> entries;
    if (weights.empty()) return entries;
    std::size_t from = 0;
    while (entries.size() < kMaxWeightEntries) {
        const auto comma = weights.find(',', from);
        std::string_view entry =
            weights.substr(from, comma == std::string_view::npos ? weights.npos : comma - from);
        WeightEntryT e;
        const auto bar1 = entry.find('|');
        e.Weight = ReadNumber(entry.substr(0, bar1), 0);
        if (bar1 != std::string_view::npos) {
            std::string_view rest = entry.substr(bar1 + 1);
            const auto bar2 = rest.find('|');
            e.Min = ReadLimit(rest.substr(0, bar2));
            if (bar2 != std::string_view::npos) e.Max = ReadLimit(rest.substr(bar2 + 1));
        }
        if (e.Max >= 0 && e.Min >= 0 && e.Max < e.Min) e.Max = e.Min;
        entries.push_back(e);
        if (comma == std::string_view::npos) break;
        from = comma + 1;
    }
    return entries;
}

std::vector<int32_t> DivideEntries(int32_t length, const std::vector<WeightEntryT>& entries,
                                   bool last_is_least) {
    const std::size_t n = entries.size();
    if (n == 0) return {};
    const int64_t total = std::max<int32_t>(length, 0);
    std::vector<double> weights(n);
    bool limited = false;
    for (std::size_t i = 0; i < n; ++i) {
        weights[i] = EffectiveWeight(entries[i].Weight);
        limited = limited || entries[i].Min >= 0 || entries[i].Max >= 0;
    }
    std::vector<std::size_t> all(n);
    std::iota(all.begin(), all.end(), std::size_t{0});
    std::vector<int64_t> sizes(n, 0);
    Distribute(total, all, weights, sizes);
    if (limited) {
        ApplyLimits(total, entries, weights, sizes);
        Balance(total, sizes);
    }
    if (last_is_least && n >= 3) {
        for (std::size_t i = 1; i + 1 < n; ++i) {
            if (sizes[i] >= sizes[0]) continue;
            const int64_t d = sizes[0] - sizes[i];
            if (sizes[n - 1] - d < 0) break;
            sizes[i] += d;
            sizes[n - 1] -= d;
        }
    }
    return std::vector<int32_t>(sizes.begin(), sizes.end());
}

std::vector<int32_t> DivideByWeightsSizes(int32_t length, std::string_view weights, bool last_is_least) {
    return DivideEntries(length, ParseWeights(weights), last_is_least);
}

std::string SizesText(const std::vector<int32_t>& sizes, int mode) {
    std::string r;
    int64_t next = 1;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        if (i > 0) r += ',';
        if (mode == 1) {
            r += IntText(next);
            r += '-';
            r += IntText(next + sizes[i] - 1);
            next += sizes[i];
        } else {
            r += IntText(sizes[i]);
        }
    }
    return r;
}

std::string DivideByWeights(int32_t length, std::string_view weights, int mode, bool last_is_least) {
    return SizesText(DivideByWeightsSizes(length, weights, last_is_least), mode);
}

std::vector<int32_t> DivideLengthSizes(int32_t length, int32_t parts, bool last_is_least) {
    if (parts == 0) return {};
    WeightEntryT entry;
    entry.Weight = 100;
    int64_t count = parts;
    if (parts < 0) {
        // Parts of a fixed size: as many as cover the length.
        const int64_t size = -static_cast<int64_t>(parts);
        if (size > 2147483647 || length <= 0) return {};
        count = (static_cast<int64_t>(length) + size - 1) / size;
        entry.Min = entry.Max = static_cast<int32_t>(size);
    }
    if (count > kMaxParts) return {};
    return DivideEntries(length, std::vector<WeightEntryT>(static_cast<std::size_t>(count), entry),
                         last_is_least);
}

std::string DivideLength(int32_t length, int32_t parts, int mode, bool last_is_least) {
    return SizesText(DivideLengthSizes(length, parts, last_is_least), mode);
}

PartOfLengthT PartOfLength(std::string_view part_text, int32_t length, bool trim_last) {
    PartOfLengthT part;
    const std::string text =
        part_text.empty() ? std::string("1 of 1 of lastisleast") : std::string(part_text);
    // Folded byte for byte, so that positions in it are positions in the text.
    const std::string lowered = ByteFold().Of(text);
    const auto of1 = lowered.find("of");
    if (of1 == std::string::npos) return part;
    const auto of2 = lowered.find("of", of1 + 2);
    const int32_t n = ReadInt(std::string_view(text).substr(0, of1));
    const int32_t m = ReadInt(std::string_view(text).substr(
        of1 + 2, of2 == std::string::npos ? std::string::npos : of2 - (of1 + 2)));
    const bool by_size = text.find("OF") != std::string::npos;
    const bool last_is_least = lowered.find("lastisleast") != std::string::npos;
    if (n <= 0 || m <= 0 || length <= 0) return part;
    const std::vector<int32_t> sizes = DivideLengthSizes(length, by_size ? -m : m, last_is_least);
    if (static_cast<std::size_t>(n) > sizes.size()) return part;
    int64_t first = 1;
    for (int32_t i = 0; i + 1 < n; ++i) first += sizes[i];
    const int64_t last = first + sizes[n - 1] - 1;
    part.First = static_cast<int32_t>(first);
    part.Last = static_cast<int32_t>(last);
    part.Shortfall = sizes[0] - sizes[n - 1];
    if (trim_last && last > length) {
        part.Last = length;
        part.Shortfall = 0;
    }
    return part;
}

}  // namespace rowsmith::text
