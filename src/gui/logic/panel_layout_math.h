#pragma once
// The arithmetic of the automatic panel layout, free of the toolkit: slots and order texts, size specs,
// columns, packing, the L layout's left-column search, heights, the main control's bounds, the
// container's minimum size, button placement, slot colours, menu words and the collapse animation.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rowsmith::gui {

inline constexpr int kSlotCount = 21;
inline constexpr int32_t kSlotGrey = 0x808080;

// Slot n is named by the character with code 48 + n; -1 for a character that names no slot.
char SlotChar(int slot);
int SlotFromChar(char c);

// Letter case ignored (ASCII).
bool SameNameNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

struct NamedSlotT {
    int slot = 0;
    std::string name;
};
// A comma list of panel names (empty names skipped) turned into "ord:" + their slot characters; a name
// with "*" selects every registered panel whose name starts with the part before the "*", in
// registration order. Names that match nothing are skipped. A text starting with "ord:" is kept.
std::string OrderTextFromNames(std::string_view names, const std::vector<NamedSlotT>& registered);
// The registered slots an order text shows, in its order, each once ("ord:", "." and unknown
// characters are skipped).
std::vector<int> OrderedSlots(std::string_view order_text, std::string_view registered_slots);

// One weight|min|max entry; -1 = no limit.
struct SizeSpecT {
    double weight = 0.1;
    int32_t min = -1;
    int32_t max = -1;
};
SizeSpecT ParseSizeSpec(std::string_view spec);
std::string SizeSpecText(const SizeSpecT& spec);
// The spec kept at registration: a given "weight|height|rest" with doubled "|" collapsed (its height,
// when a number, becomes the natural height); none gives "0.1|h|h" for the panel's height h.
struct RegisteredSpecT {
    std::string spec;
    int32_t natural_height = 0;
};
RegisteredSpecT RegistrationSpec(std::string_view given, int32_t panel_height);
// The stored spec as used in an arrangement: min replaced by a set minimum-height constraint (> 0),
// and the title bar's height added to min and max while it is shown.
std::string StoredSpec(std::string_view spec, int32_t min_height_constraint, bool title_bar_visible,
                       int32_t title_bar_height);
// "0.1|" + collapsed height + "|" + collapsed_max.
int32_t CollapsedHeight(bool title_bar_visible, int32_t collapsed_max, int32_t title_bar_height,
                        int32_t bevel_width, int32_t corner_button_height);
std::string CollapsedSpec(int32_t collapsed_height, int32_t collapsed_max);
// The height used for packing: the spec's min (0 when it has none).
int32_t NaturalHeight(std::string_view spec);

// Which spec a slot uses in an arrangement.
enum class SpecChoice { Stored, Collapsed };
SpecChoice ChooseSpec(bool any_solo, bool this_solo, bool collapsed, bool collapsible);

// Columns of ColumnWidth + Gap that fit the width between the margins; at least 1.
int ColumnCount(int32_t client_width, int32_t left_margin, int32_t right_margin, int32_t gap,
                int32_t column_width);

// Packs item indices into columns: the remaining item with the largest height (first on a tie) goes to
// the column with the smallest sum (first on a tie). Each column lists its items in input order.
std::vector<std::vector<int>> PackColumns(const std::vector<int32_t>& heights, int columns);

// Height of a column stacked with gaps between its panels.
int32_t StackHeight(const std::vector<int32_t>& heights, int32_t gap);

enum class LayoutKindT { Horizontal = 0, L = 1 };

struct LayoutInputT {
    LayoutKindT kind = LayoutKindT::L;
    bool horizontal_top = true;
    int32_t left_margin = 8;
    int32_t top_margin = 8;
    int32_t right_margin = 8;
    int32_t bottom_margin = 8;
    int32_t gap = 8;
    int32_t column_width = 0;
    int32_t client_width = 0;
    // Client height minus a visible status bar.
    int32_t available_height = 0;
    int columns = 1;
    bool maximised = false;
    bool main_visible = true;
    int32_t main_min_height = 0;
    // Visible panels in order: their current size specs.
    std::vector<std::string> specs;
};

struct RectT {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const RectT&) const = default;
};

struct LayoutResultT {
    // One per visible panel, in input order.
    std::vector<RectT> panels;
    RectT main;
    // Panel indices per column, leftmost first (the L layout's left column first, possibly empty).
    std::vector<std::vector<int>> columns;
    int columns_used = 0;
    int32_t used_height = 0;
    int32_t main_remaining = 0;
    int32_t slack = 0;
    bool panels_fit = false;
    // Every column's natural stack fits its room and the main control keeps its minimum height.
    bool fits = true;
    // The L layout's left column as a bit pattern over the panels (bit i = panel i).
    uint32_t left_subset = 0;
};

// Horizontal layouts pack all panels from the top or the bottom; the L layout stacks them in the left
// column when they fit, else tries every subset as the left column (with more than eight panels only
// the leading runs of the order) and keeps the one that leaves the main control the most height, then
// the one with more panels on the left, then the first tried. Columns never stretch fixed-height panels;
// growable panels beside the main control grow only to the tallest of those columns' natural stacks, and
// the main control gets the rest (the L layout's left column stretches over the whole room).
LayoutResultT ArrangeLayout(const LayoutInputT& in);

// Minimum size of a container.
struct MinSizeInputT {
    LayoutInputT layout;  // margins, gap, kind, column width, main control state and specs
    int min_columns = 2;
    // The columns the current width gives: the height is searched with these (never fewer than
    // min_columns), so that a wide container is not held to the height a narrow one needs.
    int height_columns = 0;
    int32_t frame_width = 0;
    int32_t frame_height = 0;
    int32_t status_bar_height = 0;
    int32_t main_min_width = 0;
    std::string container_name;
};
int32_t MinimumWidth(const MinSizeInputT& in);
std::string MinHeightCacheKey(const MinSizeInputT& in);
// The columns the minimum height is searched with.
int SearchColumns(const MinSizeInputT& in);
// Searched from the one-column stack downward by the slack each try reports (at least 1 pixel).
int32_t SearchMinimumHeight(const MinSizeInputT& in);
// The search through a cache of key + height entries; a miss appends its result.
int32_t CachedMinimumHeight(const MinSizeInputT& in, std::vector<std::string>& cache);

// Placement of a slot's title-bar pieces and collapse buttons.
struct ButtonPlacementT {
    bool bevel_visible = false;
    bool title_button_visible = false;
    bool corner_button_visible = false;
    int32_t label_top = 0;
    RectT title_button;
    RectT corner_button;
};
struct ButtonInputT {
    bool solo = false;
    bool any_solo = false;
    bool collapsed = false;
    bool collapsible = true;
    bool title_bar_visible = true;
    int32_t panel_height = 0;
    int32_t label_height = 0;
    int32_t collapsed_max = 24;
    int32_t title_bar_height = 24;
    int32_t title_bar_bevel_width = 0;
    int32_t bevel_height = 2;
    int32_t column_width = 0;
    int32_t corner_button_width = 12;
    int32_t corner_button_height = 12;
};
ButtonPlacementT PlaceButtons(const ButtonInputT& in);

// Title text: a trailing " (disabled)" (any case) removed, " (Disabled)" appended when disabled.
std::string TitleWithState(std::string_view title, bool enabled);
// The caption up to the first "|".
std::string TitleFromCaption(std::string_view caption);

// Colours ($BBGGRR) of a slot's pieces for base colour c.
struct SlotColoursT {
    int32_t background = 0;
    int32_t background_1 = 0;
    int32_t background_2 = 0;
    int32_t background_3 = 0;
    int background_percent = 80;
    int32_t buttons = 0;
    int32_t title_bar = 0;
    int32_t title_1 = 0;
    int32_t title_2 = 0;
    int32_t title_3 = 0;
};
SlotColoursT SlotColours(int32_t colour, bool gradient_titles);
// Grey when the panel is disabled or another panel is solo, its own colour otherwise.
int32_t SlotBaseColour(int32_t own_colour, bool enabled, bool another_solo);
// Black or white text for this background.
int32_t TitleTextColour(int32_t background);

// Title-bar menu.
struct MenuEntryT {
    std::string_view caption;  // empty for a separator
    std::string_view command;
};
const std::vector<MenuEntryT>& TitleMenuEntries();
// 1-based position of the command in the action list (letter case ignored), 0 when unknown.
int MenuCommandIndex(std::string_view command);
enum class MenuAction {
    None,
    CollapseAll,
    RestoreAll,
    ToggleTitleBar,
    HideAllTitleBars,
    ShowAllTitleBars,
    HorizontalTop,
    HorizontalBottom,
    LLayout,
    StyleFlat,
    StyleRaised,
    StyleLoweredRaised,
    StyleLowered
};
MenuAction MenuActionFor(std::string_view command);
std::string_view CurrentLayoutCommand(LayoutKindT kind, bool horizontal_top);

// Collapse and restore animation: the heights to show one after the other (each shown for more than
// 8 ms), ending at the target.
std::vector<int32_t> ShrinkFrames(int32_t start, int32_t target);
std::vector<int32_t> GrowFrames(int32_t start, int32_t target, int32_t collapsed_height);
// Moves from `from` toward `to` by a step that starts at `step` and is multiplied by `factor` after each
// move (never below 0.8); appends each rounded height. Returns the last step size.
double AnimationPass(double& height, double to, double step, double factor, std::vector<int32_t>& frames);

}  // namespace rowsmith::gui
