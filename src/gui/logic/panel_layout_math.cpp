#include "gui/logic/panel_layout_math.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "text/colours.h"
#include "text/lists.h"
#include "text/numbers.h"

namespace rowsmith::gui {

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr std::string_view kOrderPrefix = "ord:";

std::vector<std::string_view> SplitAt(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t from = 0;
    for (;;) {
        const auto at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from));
        if (at == std::string_view::npos) break;
        from = at + 1;
    }
    return parts;
}

std::string Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return std::string(s);
}

}  // namespace

char SlotChar(int slot) {
    return static_cast<char>(48 + slot);
}

int SlotFromChar(char c) {
    const int slot = static_cast<unsigned char>(c) - 48;
    return (slot >= 0 && slot < kSlotCount) ? slot : -1;
}

bool SameNameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && SameNameNoCase(text.substr(0, prefix.size()), prefix);
}

std::string OrderTextFromNames(std::string_view names, const std::vector<NamedSlotT>& registered) {
    if (StartsWithNoCase(names, kOrderPrefix))
        return std::string(kOrderPrefix) + std::string(names.substr(4));
    std::string order(kOrderPrefix);
    for (std::string_view raw : SplitAt(names, ',')) {
        const std::string name = Trimmed(raw);
        if (name.empty()) continue;
        const auto star = name.find('*');
        for (const NamedSlotT& r : registered) {
            const bool match = star == std::string::npos
                                   ? SameNameNoCase(r.name, name)
                                   : StartsWithNoCase(r.name, std::string_view(name).substr(0, star));
            if (!match) continue;
            order += SlotChar(r.slot);
            if (star == std::string::npos) break;
        }
    }
    return order;
}

std::vector<int> OrderedSlots(std::string_view order_text, std::string_view registered_slots) {
    if (StartsWithNoCase(order_text, kOrderPrefix)) order_text.remove_prefix(kOrderPrefix.size());
    std::vector<int> slots;
    for (char c : order_text) {
        const int slot = SlotFromChar(c);
        if (slot < 0 || registered_slots.find(c) == std::string_view::npos) continue;
        if (std::find(slots.begin(), slots.end(), slot) != slots.end()) continue;
        slots.push_back(slot);
    }
    return slots;
}

// --- Size specs ---

SizeSpecT ParseSizeSpec(std::string_view spec) {
    SizeSpecT r;
    const std::vector<text::WeightEntryT> entries = text::ParseWeights(spec);
    if (entries.empty()) return r;
    r.weight = entries[0].Weight;
    r.min = entries[0].Min;
    r.max = entries[0].Max;
    return r;
}

std::string SizeSpecText(const SizeSpecT& spec) {
    return text::ShortFloatText(spec.weight) + "|" + text::IntText(spec.min) + "|" + text::IntText(spec.max);
}

RegisteredSpecT RegistrationSpec(std::string_view given, int32_t panel_height) {
    RegisteredSpecT r;
    r.natural_height = panel_height;
    if (given.empty()) {
        const std::string h = text::IntText(panel_height);
        r.spec = "0.1|" + h + "|" + h;
        return r;
    }
    std::string spec(given);
    for (std::size_t at; (at = spec.find("||")) != std::string::npos;) spec.erase(at, 1);
    r.spec = spec;
    const std::vector<std::string_view> parts = SplitAt(r.spec, '|');
    if (parts.size() > 1 && text::IsANumber(parts[1])) r.natural_height = text::ReadInt(parts[1]);
    return r;
}

std::string StoredSpec(std::string_view spec, int32_t min_height_constraint, bool title_bar_visible,
                       int32_t title_bar_height) {
    std::vector<std::string_view> parts = SplitAt(spec, '|');
    const std::string weight(parts[0]);
    int32_t min = parts.size() > 1 && !parts[1].empty() ? text::ReadInt(parts[1]) : -1;
    int32_t max = parts.size() > 2 && !parts[2].empty() ? text::ReadInt(parts[2]) : -1;
    if (min_height_constraint > 0) min = min_height_constraint;
    if (title_bar_visible) {
        min = std::max(min, 0) + title_bar_height;
        if (max >= 0) max += title_bar_height;
    }
    return weight + "|" + text::IntText(min) + "|" + text::IntText(max);
}

int32_t CollapsedHeight(bool title_bar_visible, int32_t collapsed_max, int32_t title_bar_height,
                        int32_t bevel_width, int32_t corner_button_height) {
    if (title_bar_visible) return std::max(collapsed_max, title_bar_height + 2 * bevel_width);
    return std::max(corner_button_height, collapsed_max);
}

std::string CollapsedSpec(int32_t collapsed_height, int32_t collapsed_max) {
    return "0.1|" + text::IntText(collapsed_height) + "|" + text::IntText(collapsed_max);
}

int32_t NaturalHeight(std::string_view spec) {
    return std::max<int32_t>(ParseSizeSpec(spec).min, 0);
}

SpecChoice ChooseSpec(bool any_solo, bool this_solo, bool collapsed, bool collapsible) {
    if (any_solo) return this_solo ? SpecChoice::Stored : SpecChoice::Collapsed;
    return (collapsed && collapsible) ? SpecChoice::Collapsed : SpecChoice::Stored;
}

// --- Columns and packing ---

int ColumnCount(int32_t client_width, int32_t left_margin, int32_t right_margin, int32_t gap,
                int32_t column_width) {
    const int64_t unit = static_cast<int64_t>(column_width) + gap;
    if (unit <= 0) return 1;
    const int64_t n = (static_cast<int64_t>(client_width) - left_margin - right_margin + gap) / unit;
    return static_cast<int>(std::clamp<int64_t>(n, 1, 1000));
}

std::vector<std::vector<int>> PackColumns(const std::vector<int32_t>& heights, int columns) {
    columns = std::max(columns, 1);
    std::vector<std::vector<int>> packed(static_cast<std::size_t>(columns));
    std::vector<int64_t> sums(packed.size(), 0);
    std::vector<bool> taken(heights.size(), false);
    for (std::size_t round = 0; round < heights.size(); ++round) {
        std::size_t pick = heights.size();
        for (std::size_t i = 0; i < heights.size(); ++i)
            if (!taken[i] && (pick == heights.size() || heights[i] > heights[pick])) pick = i;
        taken[pick] = true;
        const std::size_t column =
            static_cast<std::size_t>(std::min_element(sums.begin(), sums.end()) - sums.begin());
        sums[column] += heights[pick];
        packed[column].push_back(static_cast<int>(pick));
    }
    // Within a column the panels keep the order the order text gives them.
    for (auto& column : packed) std::sort(column.begin(), column.end());
    return packed;
}

int32_t StackHeight(const std::vector<int32_t>& heights, int32_t gap) {
    if (heights.empty()) return 0;
    int64_t sum = static_cast<int64_t>(gap) * static_cast<int64_t>(heights.size() - 1);
    for (int32_t h : heights) sum += h;
    return static_cast<int32_t>(
        std::clamp<int64_t>(sum, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// --- Arranging ---

namespace {

struct ColumnPlanT {
    std::vector<int> items;
    std::vector<int32_t> sizes;
    int32_t natural_stack = 0;
    int32_t stack = 0;
};

// The heights of one column over room pixels: divided by weights, but never beyond what the panels'
// maxima ask for, so that fixed-height panels are not stretched to fill the column.
ColumnPlanT PlanColumn(const std::vector<int>& items, const std::vector<text::WeightEntryT>& entries,
                       const std::vector<int32_t>& natural, int32_t room, int32_t gap) {
    ColumnPlanT plan;
    plan.items = items;
    if (items.empty()) return plan;
    std::vector<text::WeightEntryT> own;
    std::vector<int32_t> own_natural;
    bool bounded = true;
    int64_t max_sum = 0;
    for (int i : items) {
        own.push_back(entries[static_cast<std::size_t>(i)]);
        own_natural.push_back(natural[static_cast<std::size_t>(i)]);
        const auto& e = own.back();
        if (e.Max < 0) bounded = false;
        max_sum += std::max(e.Max, e.Min);
    }
    plan.natural_stack = StackHeight(own_natural, gap);
    int64_t length =
        static_cast<int64_t>(room) - static_cast<int64_t>(gap) * static_cast<int64_t>(items.size() - 1);
    if (bounded) length = std::min(length, max_sum);
    length = std::clamp<int64_t>(length, 0, std::numeric_limits<int32_t>::max());
    plan.sizes = text::DivideEntries(static_cast<int32_t>(length), own, false);
    plan.stack = StackHeight(plan.sizes, gap);
    return plan;
}

int32_t NaturalBlock(const std::vector<std::vector<int>>& columns, const std::vector<int32_t>& natural,
                     int32_t gap) {
    int32_t block = 0;
    for (const auto& column : columns) {
        std::vector<int32_t> h;
        for (int i : column) h.push_back(natural[static_cast<std::size_t>(i)]);
        block = std::max(block, StackHeight(h, gap));
    }
    return block;
}

constexpr std::size_t kExhaustiveLeftColumn = 8;

std::vector<int32_t> Subset(const std::vector<int32_t>& natural, uint32_t mask, bool inside,
                            std::vector<int>& index) {
    std::vector<int32_t> heights;
    index.clear();
    for (std::size_t i = 0; i < natural.size(); ++i) {
        if ((((mask >> i) & 1u) != 0) != inside) continue;
        heights.push_back(natural[i]);
        index.push_back(static_cast<int>(i));
    }
    return heights;
}

// Places the column's panels one below the other, from `top` down.
void Stack(const ColumnPlanT& plan, int32_t left, int32_t top, int32_t width, int32_t gap, LayoutResultT& r) {
    int32_t y = top;
    for (std::size_t j = 0; j < plan.items.size(); ++j) {
        r.panels[static_cast<std::size_t>(plan.items[j])] = RectT{left, y, width, plan.sizes[j]};
        y += plan.sizes[j] + gap;
    }
}

}  // namespace

namespace {

// What every arrangement of the panels shares: the room, each panel's weight entry and natural height.
struct LayoutWork {
    const LayoutInputT& in;
    std::size_t k;
    int32_t room, main_width_h, main_need, shared_room, unit;
    std::vector<text::WeightEntryT> entries;
    std::vector<int32_t> natural;
};

// The room each column beside the main control is planned over. Growable panels there only line up
// with the tallest column's natural stack: stretched to the whole room they would leave the main
// control no more than its minimum. Without a main control they may take the whole room.
int32_t SharedPlanRoom(const LayoutWork& w, const std::vector<std::vector<int>>& columns) {
    if (!w.in.main_visible) return w.shared_room;
    return NaturalBlock(columns, w.natural, w.in.gap);
}

// Columns of panels side by side, above (or below) the main control.
LayoutResultT ArrangeHorizontal(const LayoutWork& w, LayoutResultT r) {
    const LayoutInputT& in = w.in;
    const auto& entries = w.entries;
    const auto& natural = w.natural;
    const int32_t room = w.room, shared_room = w.shared_room, unit = w.unit, main_width_h = w.main_width_h;
    r.columns = PackColumns(natural, in.columns);
    const int32_t plan_room = SharedPlanRoom(w, r.columns);
    int32_t block = 0;
    std::vector<ColumnPlanT> plans;
    r.fits = true;
    for (const auto& column : r.columns) {
        plans.push_back(PlanColumn(column, entries, natural, plan_room, in.gap));
        block = std::max(block, plans.back().stack);
        if (!column.empty()) ++r.columns_used;
        if (plans.back().natural_stack > shared_room) r.fits = false;
    }
    const int32_t bottom = in.available_height - in.bottom_margin;
    for (std::size_t c = 0; c < plans.size(); ++c) {
        const int32_t left = in.left_margin + static_cast<int32_t>(c) * unit;
        const int32_t top = in.horizontal_top ? in.top_margin : bottom - plans[c].stack;
        Stack(plans[c], left, top, in.column_width, in.gap, r);
    }
    r.main_remaining = room - block - in.gap;
    const int32_t main_top = in.horizontal_top ? in.top_margin + block + in.gap : in.top_margin;
    r.main = RectT{in.left_margin, main_top, main_width_h, std::max(r.main_remaining, 0)};
    r.used_height = block + in.bottom_margin;
    r.slack = shared_room - NaturalBlock(r.columns, natural, in.gap);
    return r;
}

// The L layout's left column: the panels (a subset of them) that leave the main control the most
// height when the rest are packed into the other columns; every panel when all fit.
uint32_t ChooseLeftColumn(const LayoutWork& w) {
    const LayoutInputT& in = w.in;
    const std::size_t k = w.k;
    const auto& natural = w.natural;
    const int32_t room = w.room;
    const int packed_columns = std::max(1, in.columns - 1);
    uint32_t best_mask = 0;
    const uint32_t all = k >= 32 ? 0xFFFFFFFFu : ((1u << k) - 1u);
    if (StackHeight(natural, in.gap) <= room) {
        best_mask = all;
    } else {
        // Every subset for a handful of panels; beyond that (the search repeats inside the minimum-size
        // search) only the leading runs of the order are tried, longest first.
        std::vector<uint32_t> candidates;
        if (k <= kExhaustiveLeftColumn) {
            for (int64_t mask = all; mask >= 0; --mask) candidates.push_back(static_cast<uint32_t>(mask));
        } else {
            for (std::size_t n = std::min<std::size_t>(k, 31) + 1; n-- > 0;)
                candidates.push_back(n == 0 ? 0u : ((1u << n) - 1u));
        }
        int64_t best_main = std::numeric_limits<int64_t>::min();
        int best_count = -1;
        std::vector<int> index;
        for (const uint32_t m : candidates) {
            if (StackHeight(Subset(natural, m, true, index), in.gap) > room) continue;
            const std::vector<int32_t> rest = Subset(natural, m, false, index);
            int64_t main = room;
            if (!rest.empty()) {
                const auto packed = PackColumns(rest, packed_columns);
                std::vector<std::vector<int>> cols;
                for (const auto& column : packed) {
                    cols.emplace_back();
                    for (int j : column) cols.back().push_back(index[static_cast<std::size_t>(j)]);
                }
                main = static_cast<int64_t>(room) - NaturalBlock(cols, natural, in.gap) - in.gap;
            }
            const int count = std::popcount(m);
            if (main > best_main || (main == best_main && count > best_count)) {
                best_main = main;
                best_count = count;
                best_mask = m;
            }
        }
    }
    return best_mask;
}

// L layout: a left column from the top, the rest packed into columns that end at the bottom.
LayoutResultT ArrangeL(const LayoutWork& w, LayoutResultT r) {
    const LayoutInputT& in = w.in;
    const auto& entries = w.entries;
    const auto& natural = w.natural;
    const int32_t room = w.room, shared_room = w.shared_room, unit = w.unit, main_need = w.main_need;
    const int packed_columns = std::max(1, in.columns - 1);
    const uint32_t best_mask = ChooseLeftColumn(w);
    r.left_subset = best_mask;
    std::vector<int> left_items;
    std::vector<int> rest_index;
    Subset(natural, best_mask, true, left_items);
    const std::vector<int32_t> rest = Subset(natural, best_mask, false, rest_index);
    r.columns.push_back(left_items);
    if (!rest.empty()) {
        for (const auto& column : PackColumns(rest, packed_columns)) {
            r.columns.emplace_back();
            for (int j : column) r.columns.back().push_back(rest_index[static_cast<std::size_t>(j)]);
        }
    }

    const ColumnPlanT left_plan = PlanColumn(left_items, entries, natural, room, in.gap);
    Stack(left_plan, in.left_margin, in.top_margin, in.column_width, in.gap, r);
    r.fits = left_plan.natural_stack <= room;
    r.columns_used = left_items.empty() ? 0 : 1;
    int32_t block = 0;
    int32_t natural_block = 0;
    const int32_t bottom = in.available_height - in.bottom_margin;
    const std::vector<std::vector<int>> packed(r.columns.begin() + 1, r.columns.end());
    const int32_t plan_room = SharedPlanRoom(w, packed);
    std::size_t last_packed = 0;
    for (std::size_t c = 1; c < r.columns.size(); ++c)
        if (!r.columns[c].empty()) last_packed = c;
    for (std::size_t c = 1; c < r.columns.size(); ++c) {
        const ColumnPlanT plan = PlanColumn(r.columns[c], entries, natural, plan_room, in.gap);
        if (plan.items.empty()) continue;
        ++r.columns_used;
        block = std::max(block, plan.stack);
        natural_block = std::max(natural_block, plan.natural_stack);
        if (plan.natural_stack > shared_room) r.fits = false;
        // The last column under the main control reaches its right edge: the row of panels there is
        // as wide as the list above it, with no bare strip beside it.
        const int32_t left = in.left_margin + static_cast<int32_t>(c) * unit;
        const int32_t width = c == last_packed
                                  ? std::max(in.column_width, in.client_width - in.right_margin - left)
                                  : in.column_width;
        Stack(plan, left, bottom - plan.stack, width, in.gap, r);
    }
    const bool any_packed = !rest.empty();
    r.main_remaining = room - (any_packed ? block + in.gap : 0);
    const int32_t main_left = in.left_margin + unit;
    r.main = RectT{main_left, in.top_margin, in.client_width - main_left - in.right_margin,
                   std::max(r.main_remaining, 0)};
    if (r.main_remaining < main_need) r.fits = false;
    r.used_height = block + in.bottom_margin;
    const int32_t left_spare = room - left_plan.natural_stack;
    const int32_t packed_spare = any_packed ? shared_room - natural_block : room - main_need;
    r.slack = std::min(left_spare, packed_spare);
    return r;
}

}  // namespace

LayoutResultT ArrangeLayout(const LayoutInputT& in) {
    LayoutResultT r;
    const std::size_t k = in.maximised ? 0 : in.specs.size();
    r.panels.assign(in.specs.size(), RectT{});
    const int32_t room = in.available_height - in.top_margin - in.bottom_margin;
    const int32_t main_width_h = in.client_width - in.left_margin - in.right_margin;
    const int32_t main_need = in.main_visible ? in.main_min_height : 0;

    if (k == 0) {
        r.main = RectT{in.left_margin, in.top_margin, main_width_h, std::max(room, 0)};
        r.main_remaining = room;
        r.used_height = in.bottom_margin;
        r.slack = room - main_need;
        r.fits = room >= main_need;
        return r;
    }
    r.panels_fit = true;

    LayoutWork w{in, k, room, main_width_h, main_need, 0, in.column_width + in.gap, {}, {}};
    for (const std::string& spec : in.specs) {
        const std::vector<text::WeightEntryT> parsed = text::ParseWeights(spec);
        w.entries.push_back(parsed.empty() ? text::WeightEntryT{0.1, -1, -1} : parsed[0]);
        w.natural.push_back(std::max<int32_t>(w.entries.back().Min, 0));
    }
    // The panels below or above the main control leave it at least its minimum height.
    w.shared_room = room - (in.main_visible ? in.main_min_height + in.gap : 0);
    return in.kind == LayoutKindT::Horizontal ? ArrangeHorizontal(w, std::move(r)) : ArrangeL(w, std::move(r));
}

// --- Minimum size ---

namespace {

std::vector<int32_t> NaturalHeights(const std::vector<std::string>& specs) {
    std::vector<int32_t> heights;
    for (const std::string& spec : specs) heights.push_back(NaturalHeight(spec));
    return heights;
}

bool NothingShown(const MinSizeInputT& in) {
    return in.layout.maximised || in.layout.specs.empty();
}

}  // namespace

int32_t MinimumWidth(const MinSizeInputT& in) {
    const LayoutInputT& l = in.layout;
    const int32_t columns_span = in.min_columns * (l.column_width + l.gap) - l.gap;
    if (NothingShown(in)) return in.main_min_width + l.left_margin + in.frame_width + l.right_margin;
    if (l.main_visible && l.kind == LayoutKindT::L)
        return l.left_margin + in.frame_width + std::max(l.column_width, in.main_min_width) +
               (in.min_columns - 1) * (l.column_width + l.gap) + l.right_margin;
    if (l.main_visible)
        return l.left_margin + in.frame_width +
               std::max(columns_span + l.right_margin, in.main_min_width + l.right_margin);
    return l.left_margin + in.frame_width + columns_span + l.right_margin;
}

std::string MinHeightCacheKey(const MinSizeInputT& in) {
    const LayoutInputT& l = in.layout;
    std::string key;
    for (int32_t h : NaturalHeights(l.specs)) {
        key += text::IntText(h);
        key += '|';
    }
    key += text::IntText(l.top_margin);
    key += ',';
    key += text::IntText(l.left_margin);
    key += l.kind == LayoutKindT::Horizontal ? ",h" : ",v";
    key += ',';
    key += in.container_name;
    key += l.main_visible ? ",exists" : ",notexists";
    for (int32_t v : {static_cast<int32_t>(SearchColumns(in)), l.top_margin, l.left_margin, l.right_margin,
                      l.bottom_margin, l.gap, l.main_min_height, in.main_min_width, in.status_bar_height}) {
        key += ',';
        key += text::IntText(v);
    }
    key += ':';
    return key;
}

int SearchColumns(const MinSizeInputT& in) {
    return std::max({in.min_columns, in.height_columns, 1});
}

int32_t SearchMinimumHeight(const MinSizeInputT& in) {
    const LayoutInputT& l = in.layout;
    const int32_t main_min = l.main_visible ? l.main_min_height : 0;
    if (NothingShown(in))
        return l.top_margin + main_min + l.bottom_margin + in.status_bar_height + in.frame_height;
    const std::vector<int32_t> natural = NaturalHeights(l.specs);
    const int32_t start = l.top_margin + StackHeight(natural, l.gap) + l.bottom_margin +
                          (l.main_visible ? l.main_min_height + l.gap : 0) + in.status_bar_height +
                          in.frame_height;
    LayoutInputT trial = l;
    trial.columns = SearchColumns(in);
    int32_t fitted = start;
    for (int32_t height = start; height >= 0;) {
        trial.available_height = height - in.frame_height - in.status_bar_height;
        const LayoutResultT r = ArrangeLayout(trial);
        if (!r.fits || r.columns_used > trial.columns) break;
        fitted = height;
        height -= std::max(r.slack, 1);
    }
    return fitted;
}

int32_t CachedMinimumHeight(const MinSizeInputT& in, std::vector<std::string>& cache) {
    if (NothingShown(in)) return SearchMinimumHeight(in);
    const std::string key = MinHeightCacheKey(in);
    for (const std::string& entry : cache)
        if (entry.size() > key.size() && entry.compare(0, key.size(), key) == 0)
            return text::ReadInt(std::string_view(entry).substr(key.size()));
    const int32_t height = SearchMinimumHeight(in);
    cache.push_back(key + text::IntText(height));
    return height;
}

// --- Buttons, titles, colours ---

ButtonPlacementT PlaceButtons(const ButtonInputT& in) {
    ButtonPlacementT p;
    p.bevel_visible = in.solo || (!in.any_solo && !in.collapsed);
    const bool serving = in.collapsible && !in.any_solo;
    p.title_button_visible = serving && in.title_bar_visible;
    p.corner_button_visible = serving && !in.title_bar_visible;
    p.label_top = std::max(0, std::min(in.panel_height, in.collapsed_max) / 2 - in.label_height / 2);
    const int32_t size = in.title_bar_height - 2 * in.title_bar_bevel_width - 2 - in.bevel_height;
    const int32_t right = in.column_width - 4 - in.title_bar_bevel_width;
    p.title_button = RectT{right - size, 2, size, size};
    p.corner_button =
        RectT{in.column_width - in.corner_button_width, 0, in.corner_button_width, in.corner_button_height};
    return p;
}

std::string TitleWithState(std::string_view title, bool enabled) {
    constexpr std::string_view kMark = " (disabled)";
    std::string t(title);
    while (t.size() >= kMark.size() &&
           SameNameNoCase(std::string_view(t).substr(t.size() - kMark.size()), kMark))
        t.resize(t.size() - kMark.size());
    if (!enabled) t += " (Disabled)";
    return t;
}

std::string TitleFromCaption(std::string_view caption) {
    return std::string(caption.substr(0, caption.find('|')));
}

SlotColoursT SlotColours(int32_t colour, bool gradient_titles) {
    SlotColoursT c;
    c.background = colour;
    if (gradient_titles) {
        c.background_1 = colour;
        c.background_2 = text::LightenColor(colour, 2);
        c.background_3 = colour;
    } else {
        c.background_1 = c.background_2 = c.background_3 = colour;
    }
    c.background_percent = 80;
    c.buttons = colour;
    c.title_bar = colour;
    c.title_1 = text::DarkenColor(colour, 2);
    c.title_2 = text::LightenColor(c.title_1, 1);
    c.title_3 = c.title_1;
    return c;
}

int32_t SlotBaseColour(int32_t own_colour, bool enabled, bool another_solo) {
    return (!enabled || another_solo) ? kSlotGrey : own_colour;
}

int32_t TitleTextColour(int32_t background) {
    return text::ContrastTextColor(background);
}

// --- Menu ---

const std::vector<MenuEntryT>& TitleMenuEntries() {
    static const std::vector<MenuEntryT> entries = {
        {"Collapse all panels", "collapseall"},
        {"Expand all panels", "maximizeall"},
        {"", ""},
        {"Horizontal-Top layout", "hortop"},
        {"Horizontal-Bottom layout", "horbot"},
        {"L layout", "llay"},
        {"", ""},
        {"", ""},
        {"Toggle titlebar", "toggletitlebar"},
        {"Hide all titlebars", "hidealltitlebars"},
        {"Shows all titlebars", "UnhideAllTitleBars"},
        {"", ""},
        {"Make all panels flat", "ChangeStyleFlat"},
        {"Make all panels raised", "ChangeStyleRaised"},
        {"Make all panels lowered+raised", "ChangeStyleLoweredRaised"},
        {"Make all panels lowered", "ChangeStyleLowered"},
    };
    return entries;
}

int MenuCommandIndex(std::string_view command) {
    static constexpr std::string_view kCommands =
        "collapseall,maximizeall,toggletitlebar,hidealltitlebars,UnhideAllTitleBars,hortop,horbot,llay,"
        "ChangeStyleFlat,ChangeStyleRaised,ChangeStyleLoweredRaised,ChangeStyleLowered,";
    if (command.empty()) return 0;
    int index = 0;
    for (std::string_view word : SplitAt(kCommands, ',')) {
        ++index;
        if (!word.empty() && SameNameNoCase(word, command)) return index;
    }
    return 0;
}

MenuAction MenuActionFor(std::string_view command) {
    static constexpr MenuAction kActions[] = {
        MenuAction::None,           MenuAction::CollapseAll,      MenuAction::RestoreAll,
        MenuAction::ToggleTitleBar, MenuAction::HideAllTitleBars, MenuAction::ShowAllTitleBars,
        MenuAction::HorizontalTop,  MenuAction::HorizontalBottom, MenuAction::LLayout,
        MenuAction::StyleFlat,      MenuAction::StyleRaised,      MenuAction::StyleLoweredRaised,
        MenuAction::StyleLowered};
    return kActions[MenuCommandIndex(command)];
}

std::string_view CurrentLayoutCommand(LayoutKindT kind, bool horizontal_top) {
    if (kind == LayoutKindT::L) return "llay";
    return horizontal_top ? "hortop" : "horbot";
}

// --- Animation ---

double AnimationPass(double& height, double to, double step, double factor, std::vector<int32_t>& frames) {
    step = std::max(step, 0.8);
    const bool up = to > height;
    while (up ? height < to : height > to) {
        height = up ? std::min(height + step, to) : std::max(height - step, to);
        frames.push_back(static_cast<int32_t>(std::lround(height)));
        step = std::max(step * factor, 0.8);
    }
    return step;
}

std::vector<int32_t> ShrinkFrames(int32_t start, int32_t target) {
    std::vector<int32_t> frames;
    double h = start;
    const double t = target;
    if (start - target <= 20) {
        AnimationPass(h, t, 1, 1, frames);
        return frames;
    }
    // A fall with a few bounces that die away.
    double step = AnimationPass(h, t, 3, 1.098, frames);
    const double bounce = std::max(t + 20, std::min(t + 40, (start - target) / 4.0));
    AnimationPass(h, bounce, step, 0.99, frames);
    step = AnimationPass(h, t, 2, 1.098, frames);
    AnimationPass(h, t + 5, step, 0.99, frames);
    step = AnimationPass(h, t, 1, 1.098, frames);
    if (start > 150) {
        AnimationPass(h, t + 2, step, 0.99, frames);
        AnimationPass(h, t, 1, 1.098, frames);
    }
    return frames;
}

std::vector<int32_t> GrowFrames(int32_t start, int32_t target, int32_t collapsed_height) {
    std::vector<int32_t> frames;
    double h = start;
    const double t = target;
    if (target - start <= 20) {
        AnimationPass(h, t, 1, 1, frames);
        return frames;
    }
    // Up fast, sink back a little, then settle at the target without overshooting it.
    AnimationPass(h, t, 3, 1.9, frames);
    AnimationPass(h, std::max(t - collapsed_height, 0.9 * t), 3, 1.1, frames);
    AnimationPass(h, t, 1, 1.098, frames);
    return frames;
}

}  // namespace rowsmith::gui
