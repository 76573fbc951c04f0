#include "gui/logic/file_grid_logic.h"

#include <algorithm>

#include "tables/string_table.h"
#include "text/lists.h"

namespace rowsmith::gui {

namespace {

// Keeps the 1-based shape: element 0 exists and the length is count + 1.
void KeepShape(ColumnListT& columns, int32_t count) {
    if (count < 0) count = 0;
    columns.resize(static_cast<std::size_t>(count) + 1);
}

bool InList(const ColumnListT& columns, int32_t count, int32_t index) {
    return index >= 1 && index <= count && static_cast<std::size_t>(index) < columns.size();
}

}  // namespace

int32_t FindColumnEntry(const ColumnListT& columns, int32_t count, int32_t code) {
    for (int32_t i = 1; InList(columns, count, i); ++i)
        if (columns[static_cast<std::size_t>(i)].Code == code) return i;
    return 0;
}

int32_t AddColumnEntry(ColumnListT& columns, int32_t& count, uint8_t& has_placeholder, int32_t code,
                       std::string_view width) {
    KeepShape(columns, count);
    if (has_placeholder) {
        const int32_t placeholder = FindColumnEntry(columns, count, 0);
        if (placeholder > 0) {
            columns.erase(columns.begin() + placeholder);
            --count;
        }
        has_placeholder = 0;
    }
    int32_t index = FindColumnEntry(columns, count, code);
    if (index == 0) {
        columns.emplace_back();
        index = ++count;
    }
    ColDataT& c = columns[static_cast<std::size_t>(index)];
    c.Code = code;
    c.Visible = 1;
    c.Fixed = 0;
    c.InMenu = 1;
    c.Width = width;
    return index;
}

bool SetColumnEntryVisible(ColumnListT& columns, int32_t count, int32_t code, bool visible) {
    const int32_t index = FindColumnEntry(columns, count, code);
    if (index == 0) return false;
    columns[static_cast<std::size_t>(index)].Visible = visible ? 1 : 0;
    return true;
}

bool ToggleColumnEntry(ColumnListT& columns, int32_t count, int32_t code) {
    const int32_t index = FindColumnEntry(columns, count, code);
    if (index == 0) return false;
    ColDataT& c = columns[static_cast<std::size_t>(index)];
    c.Visible = c.Visible ? 0 : 1;
    return true;
}

std::vector<int32_t> VisibleEntries(const ColumnListT& columns, int32_t count) {
    std::vector<int32_t> out;
    for (int32_t i = 1; InList(columns, count, i); ++i)
        if (columns[static_cast<std::size_t>(i)].Visible) out.push_back(i);
    return out;
}

int32_t EntryOfGridColumn(const ColumnListT& columns, int32_t count, int32_t grid_column) {
    if (grid_column < 0) return 0;
    int32_t seen = 0;
    for (int32_t i = 1; InList(columns, count, i); ++i) {
        if (!columns[static_cast<std::size_t>(i)].Visible) continue;
        if (seen == grid_column) return i;
        ++seen;
    }
    return 0;
}

int32_t CountLeadingFixed(const ColumnListT& columns, int32_t count) {
    int32_t fixed = 0;
    for (int32_t i = 1; InList(columns, count, i); ++i) {
        const ColDataT& c = columns[static_cast<std::size_t>(i)];
        if (!c.Visible) continue;
        if (!c.Fixed) break;
        ++fixed;
    }
    return fixed;
}

bool MoveColumnEntry(ColumnListT& columns, int32_t count, int32_t from_column, int32_t to_column) {
    const int32_t from = EntryOfGridColumn(columns, count, from_column);
    const int32_t to = EntryOfGridColumn(columns, count, to_column);
    if (from == 0 || to == 0) return false;
    if (from == to) return true;
    ColDataT moved = std::move(columns[static_cast<std::size_t>(from)]);
    columns.erase(columns.begin() + from);
    // The entry goes to the list position the target had before the removal.
    columns.insert(columns.begin() + to, std::move(moved));
    return true;
}

std::string JoinVisibleWidths(const ColumnListT& columns, int32_t count) {
    std::string out;
    for (int32_t i : VisibleEntries(columns, count)) {
        out += ',';
        out += columns[static_cast<std::size_t>(i)].Width;
    }
    return out;
}

std::string JoinVisibleWidths(const ColumnListT& columns, int32_t count,
                              const std::function<int32_t(int32_t code)>& minimum_of) {
    std::string out;
    for (int32_t i : VisibleEntries(columns, count)) {
        const ColDataT& c = columns[static_cast<std::size_t>(i)];
        out += ',';
        const int32_t minimum = minimum_of ? minimum_of(c.Code) : 0;
        out += minimum > 0 ? RaiseWidthMinimum(c.Width, minimum) : c.Width;
    }
    return out;
}

std::string RaiseWidthMinimum(std::string_view item, int32_t minimum) {
    std::vector<std::string_view> parts;
    for (std::string_view rest = item;;) {
        const std::size_t bar = rest.find('|');
        parts.push_back(rest.substr(0, bar));
        if (bar == std::string_view::npos) break;
        rest.remove_prefix(bar + 1);
    }
    const std::vector<text::WeightEntryT> parsed = text::ParseWeights(item);
    const text::WeightEntryT entry = parsed.empty() ? text::WeightEntryT{} : parsed.front();
    std::string out(parts[0].empty() ? std::string_view("1") : parts[0]);
    out += '|' + std::to_string(std::max(entry.Min, minimum));
    if (parts.size() > 2 && entry.Max >= 0) out += '|' + std::to_string(std::max(entry.Max, minimum));
    return out;
}

std::string CleanWidthList(std::string_view widths) {
    std::string out;
    out.reserve(widths.size());
    for (char c : widths) {
        if (c == ',' && !out.empty() && out.back() == ',') continue;
        out += c;
    }
    if (!out.empty() && out.front() == ',') out.erase(out.begin());
    if (!out.empty() && out.back() == ',') out.pop_back();
    return out;
}

std::vector<int32_t> ColumnWidths(int32_t client_width, int32_t column_count, int32_t line_width,
                                  std::string_view widths) {
    if (column_count <= 0) return {};
    const int64_t available =
        static_cast<int64_t>(client_width) - static_cast<int64_t>(column_count) * line_width;
    const int32_t length = static_cast<int32_t>(std::clamp<int64_t>(available, 0, INT32_MAX));
    const std::vector<int32_t> sizes = text::DivideByWeightsSizes(length, CleanWidthList(widths), false);
    std::vector<int32_t> out(static_cast<std::size_t>(column_count), 0);
    for (std::size_t i = 0; i < out.size() && i < sizes.size(); ++i) out[i] = std::max(0, sizes[i]);
    return out;
}

std::vector<int32_t> ColumnWidthsKeeping(int32_t client_width, int32_t line_width, std::string_view widths,
                                         const std::vector<int32_t>& kept) {
    const int32_t count = static_cast<int32_t>(kept.size());
    if (count <= 0) return {};
    // The items of the columns not kept, in order.
    const std::string clean = CleanWidthList(widths);
    std::vector<std::string_view> items;
    for (std::string_view rest = clean;;) {
        const std::size_t comma = rest.find(',');
        items.push_back(rest.substr(0, comma));
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    std::string free_items;
    int64_t room = static_cast<int64_t>(client_width) - static_cast<int64_t>(count) * line_width;
    int32_t free_count = 0;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t k = kept[static_cast<std::size_t>(i)];
        if (k > 0) {
            room -= k;
            continue;
        }
        if (free_count++ > 0) free_items += ',';
        if (static_cast<std::size_t>(i) < items.size()) free_items += items[static_cast<std::size_t>(i)];
    }
    const std::vector<int32_t> shared =
        free_count > 0 ? ColumnWidths(static_cast<int32_t>(std::clamp<int64_t>(room, 0, INT32_MAX)) +
                                          free_count * line_width,
                                      free_count, line_width, free_items)
                       : std::vector<int32_t>();
    std::vector<int32_t> out(static_cast<std::size_t>(count), 0);
    std::size_t next = 0;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t k = kept[static_cast<std::size_t>(i)];
        out[static_cast<std::size_t>(i)] = k > 0 ? k : shared[next++];
    }
    return out;
}

std::string_view GridColumnWidth(int32_t code, std::string_view given) {
    switch (code) {
        case tables::kCodeFilename: return "30|60";
        case tables::kCodeFullPath: return "50|60";
        case tables::kCodePath: return "40|60";
        case tables::kCodeFinalDestination: return "50|60";
        default: return given;
    }
}

bool ElidesInMiddle(int32_t code) {
    return code == tables::kCodeFullPath || code == tables::kCodePath || code == tables::kCodeFinalDestination;
}

std::vector<int32_t> PrintColumnEdges(const std::vector<int32_t>& screen_widths, int32_t screen_dpi,
                                      int32_t printer_dpi, int32_t page_width) {
    std::vector<int32_t> edges(screen_widths.size() + 1, 0);
    if (screen_dpi <= 0) screen_dpi = 96;
    if (printer_dpi <= 0) printer_dpi = screen_dpi;
    int64_t total = 0;
    for (const int32_t w : screen_widths) total += std::max(0, w);
    if (total == 0) return edges;
    // Printer units per screen unit, as a fraction; lowered so that the columns fit the page.
    int64_t num = printer_dpi;
    int64_t den = screen_dpi;
    if (total * num > static_cast<int64_t>(std::max(page_width, 0)) * den) {
        num = std::max(page_width, 0);
        den = total;
    }
    int64_t sum = 0;
    for (std::size_t i = 0; i < screen_widths.size(); ++i) {
        sum += std::max(0, screen_widths[i]);
        edges[i + 1] = static_cast<int32_t>(sum * num / den);
    }
    return edges;
}

std::size_t FindSortKey(std::string_view sort_text, std::string_view key, std::string_view separator) {
    if (key.empty()) return 0;
    std::size_t from = 0;
    while (true) {
        const std::size_t p = sort_text.find(key, from);
        if (p == std::string_view::npos) return 0;
        if (separator.empty()) return p + 1;
        const std::string_view before = sort_text.substr(0, p);
        const std::string_view after = sort_text.substr(p + key.size());
        const bool left = before.empty() || before.back() == '-' || before.ends_with(separator);
        const bool right = after.empty() || after.front() == '-' || after.starts_with(separator);
        if (left && right) return p + 1;
        from = p + 1;
    }
}

std::string ToggleSortKey(std::string_view sort_text, std::string_view key, std::string_view separator,
                          bool add_mode) {
    std::string text(sort_text);
    const std::size_t at = FindSortKey(sort_text, key, separator);
    const bool descending = at > 1 && sort_text[at - 2] == '-';
    if (add_mode) {
        if (at == 0) {
            text += separator;
            text += key;
        } else if (descending) {
            text.erase(at - 2, 1);
        } else {
            text.insert(at - 1, 1, '-');
        }
        return text;
    }
    std::string descending_key(1, '-');
    descending_key += key;
    if (at == 0) return std::string(key);
    if (sort_text == key) return descending_key;
    if (sort_text == descending_key) return std::string(key);
    return std::string(key);
}

std::string SortTextAfterTitleClick(std::string_view sort_text, std::string_view key,
                                    std::string_view separator, bool with_ctrl) {
    if (key.empty()) return std::string(sort_text);
    if (with_ctrl) {
        if (sort_text.empty()) return std::string(key);
        return ToggleSortKey(sort_text, key, separator, true);
    }
    return ToggleSortKey(sort_text, key, separator, false);
}

std::string MenuCaption(std::string_view caption) {
    if (caption.size() <= 40) return std::string(caption);
    std::string cut("..");
    cut += caption.substr(caption.size() - 38);
    return cut;
}

std::vector<MenuPlanItem> BuildMenuPlan(ColumnListT& columns, int32_t count, MenuPositionsT& positions,
                                        const MenuChecksT& checks,
                                        const std::function<std::string(int32_t code)>& caption_of) {
    positions.fill(-1);
    std::vector<MenuPlanItem> plan;
    auto entry = [&](MenuEntry e, const char* caption, bool checkable, bool checked) {
        positions[static_cast<std::size_t>(e)] = static_cast<int32_t>(plan.size());
        MenuPlanItem item;
        item.kind = MenuPlanItem::Kind::Entry;
        item.entry = e;
        item.caption = caption;
        item.checkable = checkable;
        item.checked = checked;
        plan.push_back(std::move(item));
    };
    auto separator = [&] { plan.emplace_back(); };

    entry(kMenuSaveHtml, "Save grid as Html", false, false);
    entry(kMenuPrint, "Print Grid", false, false);
    separator();
    entry(kMenuFont, "Font..", false, false);
    entry(kMenuProportionalFont, "Proportional Font on/off", false, false);
    entry(kMenuResetFont, "Reset Font", false, false);
    separator();
    entry(kMenuGridBands, "Grid bands", true, checks.bands);
    entry(kMenuVerticalLines, "Vertical lines", true, checks.vertical_lines);
    entry(kMenuHorizontalLines, "Horizontal lines", true, checks.horizontal_lines);
    separator();
    for (int32_t i = 1; InList(columns, count, i); ++i) {
        ColDataT& c = columns[static_cast<std::size_t>(i)];
        if (!c.InMenu) {
            c.MenuItem = -1;
            continue;
        }
        c.MenuItem = static_cast<int32_t>(plan.size());
        MenuPlanItem item;
        item.kind = MenuPlanItem::Kind::Column;
        item.entry = i;
        item.caption = MenuCaption(caption_of ? caption_of(c.Code) : std::string());
        item.checkable = true;
        item.checked = c.Visible != 0;
        plan.push_back(std::move(item));
    }
    return plan;
}

MenuClickT ResolveMenuClick(int32_t position, const MenuPositionsT& positions, const ColumnListT& columns,
                            int32_t count) {
    MenuClickT click;
    if (position < 0) return click;
    for (std::size_t e = 0; e < positions.size(); ++e)
        if (positions[e] == position) click.entry = static_cast<int32_t>(e);
    for (int32_t i = 1; InList(columns, count, i); ++i) {
        const ColDataT& c = columns[static_cast<std::size_t>(i)];
        if (c.InMenu && c.MenuItem == position) click.code = c.Code;
    }
    return click;
}

std::string EscapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string HtmlTableText(std::string_view title, int32_t column_count, int32_t row_count,
                          bool include_title_row,
                          const std::function<std::string_view(int32_t column, int32_t row)>& cell) {
    std::string out;
    out += "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>";
    out += EscapeHtml(title);
    out += "</title>\n</head>\n<body>\n";
    if (!title.empty()) {
        out += "<h1>";
        out += EscapeHtml(title);
        out += "</h1>\n";
    }
    out += "<table border=\"1\" cellspacing=\"0\" cellpadding=\"2\">\n";
    for (int32_t row = include_title_row ? 0 : 1; row < row_count; ++row) {
        const char* tag = row == 0 ? "th" : "td";
        out += "<tr>";
        for (int32_t col = 0; col < column_count; ++col) {
            out += '<';
            out += tag;
            out += '>';
            if (cell) out += EscapeHtml(cell(col, row));
            out += "</";
            out += tag;
            out += '>';
        }
        out += "</tr>\n";
    }
    out += "</table>\n</body>\n</html>\n";
    return out;
}

}  // namespace rowsmith::gui
