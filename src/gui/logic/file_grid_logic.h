#pragma once
// The decisions of the file list grid that need no widget: the column list (adding, moving, hiding,
// the placeholder), the visible-column mapping, column widths, sort key toggling by title clicks, the
// popup menu's layout and position bookkeeping, and the HTML text of an exported grid.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace rowsmith::gui {

// One column entry of the grid's column list.
struct ColDataT {
    int32_t Code = 0;   // field code of the table; unique within the list
    std::string Width;  // this column's item of a width list ("weight|min|max")
    uint8_t Visible = 1;
    uint8_t Fixed = 0;   // belongs to the grid's non-scrolling columns
    uint8_t InMenu = 1;  // has a check entry in the popup menu
    int32_t MenuItem = -1;
};

// The column list is 1-based: element 0 is never used and the length is count + 1. The routines keep
// that shape and the count in step.
using ColumnListT = std::vector<ColDataT>;

// List index of the entry of a code, 0 when the code has none.
int32_t FindColumnEntry(const ColumnListT& columns, int32_t count, int32_t code);
// Adds a code or updates its entry in place (visible again, not fixed, in the menu, the new width).
// While the placeholder (code 0) is listed, it is removed first and has_placeholder cleared.
// Returns the list index of the entry.
int32_t AddColumnEntry(ColumnListT& columns, int32_t& count, uint8_t& has_placeholder, int32_t code,
                       std::string_view width);
// False when the code has no entry.
bool SetColumnEntryVisible(ColumnListT& columns, int32_t count, int32_t code, bool visible);
bool ToggleColumnEntry(ColumnListT& columns, int32_t count, int32_t code);

// The visible entries in list order, as list indexes: grid column i shows entry result[i].
std::vector<int32_t> VisibleEntries(const ColumnListT& columns, int32_t count);
// List index of the grid column (0-based among the visible entries), 0 when there is none.
int32_t EntryOfGridColumn(const ColumnListT& columns, int32_t count, int32_t grid_column);
// The leading visible entries that are fixed (hidden entries are skipped, the first visible entry that
// is not fixed ends the run).
int32_t CountLeadingFixed(const ColumnListT& columns, int32_t count);

// The grid has moved its column from one position to another (both among the visible columns): the
// list follows, so that the visible entries stay in the grid's order. False (nothing changed) when
// either position resolves to no entry.
bool MoveColumnEntry(ColumnListT& columns, int32_t count, int32_t from_column, int32_t to_column);

// The width texts of the visible entries, each behind a ",".
std::string JoinVisibleWidths(const ColumnListT& columns, int32_t count);
// The same, with each entry's minimum raised to minimum_of(code) (0: left as it is).
std::string JoinVisibleWidths(const ColumnListT& columns, int32_t count,
                              const std::function<int32_t(int32_t code)>& minimum_of);
// A width item "weight|min|max" whose minimum (and maximum, when below it) is at least `minimum`.
std::string RaiseWidthMinimum(std::string_view item, int32_t minimum);
// A doubled "," becomes one; a leading and a trailing "," are removed.
std::string CleanWidthList(std::string_view widths);
// Divides the client width less one grid line per column over the cleaned width list; one size per
// grid column (0 for a column the list has no readable entry for).
std::vector<int32_t> ColumnWidths(int32_t client_width, int32_t column_count, int32_t line_width,
                                  std::string_view widths);

// The same, except for the columns the user sized (kept[i] > 0, one entry per grid column): those
// keep their width, and the others share what is left by their weights.
std::vector<int32_t> ColumnWidthsKeeping(int32_t client_width, int32_t line_width, std::string_view widths,
                                         const std::vector<int32_t>& kept);

// The width item the grid gives a file column: the name columns share the width with the paths
// rather than taking most of it (the file list's own item otherwise).
std::string_view GridColumnWidth(int32_t code, std::string_view given);
// Whether the grid cuts a column's texts in the middle: paths, whose useful end is the file name.
bool ElidesInMiddle(int32_t code);

// Left edges of printed columns and the right edge of the last: the widths on screen at the
// printer's resolution, scaled down only when they do not fit onto the page.
std::vector<int32_t> PrintColumnEdges(const std::vector<int32_t>& screen_widths, int32_t screen_dpi,
                                      int32_t printer_dpi, int32_t page_width);

// Finds key in the sort text as a whole item: bounded on each side by the start or end of the text, a
// "-" or the separator (with an empty separator, the first plain occurrence). 1-based, 0 when not found.
std::size_t FindSortKey(std::string_view sort_text, std::string_view key, std::string_view separator);
// Add mode: a missing key is appended behind the separator, a found one switches its direction.
// Replace mode: the sort text becomes the key, or switches direction when it is nothing but the key.
std::string ToggleSortKey(std::string_view sort_text, std::string_view key, std::string_view separator,
                          bool add_mode);
// The sort text after a Shift-click (with_ctrl: Ctrl+Shift) on a title whose sort key is key.
std::string SortTextAfterTitleClick(std::string_view sort_text, std::string_view key,
                                    std::string_view separator, bool with_ctrl);

// A menu caption of at most 40 characters: a longer one is ".." followed by its last 38.
std::string MenuCaption(std::string_view caption);

// The fixed popup menu entries, in the order of their stored positions.
enum MenuEntry : int32_t {
    kMenuSaveHtml = 0,
    kMenuPrint,
    kMenuGridBands,
    kMenuVerticalLines,
    kMenuHorizontalLines,
    kMenuResetFont,
    kMenuProportionalFont,
    kMenuFont,
    kMenuEntryCount
};
using MenuPositionsT = std::array<int32_t, kMenuEntryCount>;

struct MenuPlanItem {
    enum class Kind { Entry, Separator, Column } kind = Kind::Separator;
    int32_t entry = -1;  // MenuEntry for Kind::Entry; the column's list index for Kind::Column
    std::string caption;
    bool checkable = false;
    bool checked = false;
};
struct MenuChecksT {
    bool bands = false;
    bool vertical_lines = false;
    bool horizontal_lines = false;
};
// The popup menu in its order, each item at its position: the fixed entries (their positions stored),
// separators, and one check entry per list entry in the menu (its position stored in MenuItem; -1 for
// entries not in the menu). caption_of gives a column's caption by field code.
std::vector<MenuPlanItem> BuildMenuPlan(ColumnListT& columns, int32_t count, MenuPositionsT& positions,
                                        const MenuChecksT& checks,
                                        const std::function<std::string(int32_t code)>& caption_of);

// What a click on the menu entry at a position does: a fixed entry, or toggling a column's code.
struct MenuClickT {
    int32_t entry = -1;  // MenuEntry, -1 when none
    int32_t code = -1;   // field code of a column entry, -1 when none
};
MenuClickT ResolveMenuClick(int32_t position, const MenuPositionsT& positions, const ColumnListT& columns,
                            int32_t count);

// < > & " and ' as character references.
std::string EscapeHtml(std::string_view text);
// A complete HTML document with one table: row 0 is the title row (as <th> cells, left out unless
// include_title_row), rows 1..row_count-1 the data rows. cell(column, row) gives the texts.
std::string HtmlTableText(std::string_view title, int32_t column_count, int32_t row_count,
                          bool include_title_row,
                          const std::function<std::string_view(int32_t column, int32_t row)>& cell);

}  // namespace rowsmith::gui
