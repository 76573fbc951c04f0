#pragma once
// TeasyPanel: the automatic layout of a container's panels. Every child TPanel whose caption is not " "
// gets a gradient title bar, a gradient background and collapse buttons and is placed in columns beside
// or around the main control (the child captioned " "); the arithmetic lives in logic/panel_layout_math.h.

#include <QPointer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "gui/widgets/control_helpers.h"

class QFrame;
class QLabel;
class QMenu;
class QStatusBar;

namespace rowsmith::gui {

class TPanel;
class TGPanel;

struct EasySlotT {
    TPanel* Panel = nullptr;
    uint8_t Enabled = 1;
    uint8_t Solo = 0;
    TGPanel* TitleBar = nullptr;
    TGPanel* Background = nullptr;
    QLabel* TitleLabel = nullptr;
    TPanel* TitleButton = nullptr;
    TPanel* CornerButton = nullptr;
    QFrame* Bevel = nullptr;
    int32_t Colour = 0;
    int32_t Top = 0;
    int32_t Left = 0;
    int32_t Height = 0;
    // The panel's minimum-height constraint kept while collapsed; -1 = none kept.
    int32_t KeptMinHeight = 0;
    int32_t NaturalHeight = 0;
    std::string SizeSpec;
    uint8_t Collapsed = 0;
    uint8_t Collapsible = 0;
    uint8_t RestorePending = 0;
};

// A layout must stay at one address while its container lives (the container's resize hook and the
// title bars' handlers refer to it).
struct TeasyPanel {
    TeasyPanel() = default;
    TeasyPanel(const TeasyPanel&) = delete;
    TeasyPanel& operator=(const TeasyPanel&) = delete;
    ~TeasyPanel();

    uint8_t LayoutKind = 1;     // 1 = L layout, 0 = horizontal
    uint8_t HorizontalTop = 1;  // horizontal layout: 1 = panels at the top, 0 = at the bottom
    int32_t UsedHeight = 0;
    int32_t LeftMargin = 8;
    int32_t TopMargin = 8;
    int32_t Gap = 8;
    int32_t RightMargin = 8;
    int32_t BottomMargin = 8;
    int32_t TitleBarHeight = 24;
    std::string OrderText;
    uint8_t Active = 0;
    int32_t CollapsedMax = 24;
    int32_t BevelHeight = 2;
    uint8_t CollapseButtons = 1;
    uint8_t TitleBarsShown = 1;
    uint8_t GradientTitles = 1;
    int32_t ColumnWidth = 0;
    int32_t SlotCount = 0;
    int32_t Slack = 0;
    uint8_t Animate = 1;
    uint8_t Maximised = 0;
    // The collapse button of a panel without a title bar: big enough to hit.
    int32_t CornerButtonHeight = 12;
    int32_t CornerButtonWidth = 12;
    // The least the main control is given, whatever smaller minimum it sets: a control that sets none
    // (a grid, a list) would otherwise be squeezed to a sliver beside the panels.
    int32_t MainUsableWidth = 200;
    int32_t MainUsableHeight = 150;
    // Called after this layout has set its container's minimum size.
    std::function<void()> ParentRelayout;
    std::string RegisteredSlots;
    int32_t ColumnsUsed = 0;
    int32_t AvailableHeight = 0;
    int32_t MainRemaining = 0;
    uint8_t PanelsFit = 0;
    QMenu* TitleMenu = nullptr;
    int32_t MinColumns = 2;
    std::vector<std::string> MinHeightCache;
    // The columns the container's minimum height was last set for (it follows the width).
    int32_t MinHeightColumns = 0;
    QPointer<QWidget> Container;
    QPointer<QWidget> MainControl;
    ResizeHook SavedResizeHook;
    QPointer<QStatusBar> StatusBar;
    std::array<EasySlotT, 21> Slots{};

    // Handlers of title bars, collapse buttons and the menu (owned by the container).
    QPointer<QObject> Events;
    // The slot whose title bar or collapse button opened the menu last.
    int MenuSlot = -1;
};

// Set-up and activation.
void SetupLayout(TeasyPanel& layout, QWidget* container, bool arrange_now);
// Set up on the form; the list layout's parent relayout becomes this layout's relayout.
void SetupWindowLayout(TeasyPanel& layout, QWidget* form, TeasyPanel& list_layout, bool arrange_now);
void Activate(TeasyPanel& layout);
// Registers (or re-registers) a panel; spec "weight|height|rest" or empty. Returns the slot, -1 when
// all 21 slots are taken.
int RegisterPanel(TeasyPanel& layout, TPanel* panel, std::string_view size_spec, bool arrange_now);
// The slot of a registered panel, -1 for any other.
int SlotOfPanel(const TeasyPanel& layout, const QWidget* panel);
// Comma list of panel names (prefix* selects by prefix) or "ord:" + slot characters.
void SetOrder(TeasyPanel& layout, std::string_view names, bool arrange_now);
void SetTopMargin(TeasyPanel& layout, int32_t value, bool arrange_now);
void SetLeftMargin(TeasyPanel& layout, int32_t value, bool arrange_now);
void SetRightMargin(TeasyPanel& layout, int32_t value, bool arrange_now);
void SetBottomMargin(TeasyPanel& layout, int32_t value, bool arrange_now);
void SetMinColumns(TeasyPanel& layout, int32_t value, bool arrange_now);
// kind 1 = L layout, 0 = horizontal (top 1 = at the top).
void SetLayoutKind(TeasyPanel& layout, int kind, bool horizontal_top, bool arrange_now);

// Title bars.
void ShowTitleBar(TeasyPanel& layout, int slot, bool arrange_now);
void HideTitleBar(TeasyPanel& layout, int slot, bool arrange_now);
void ToggleTitleBar(TeasyPanel& layout, int slot, bool arrange_now);
void HideAllTitleBars(TeasyPanel& layout, bool arrange_now);
void ShowAllTitleBars(TeasyPanel& layout, bool arrange_now);

// Collapsing, restoring, solo. Animation happens only when asked and Animate is set.
void Collapse(TeasyPanel& layout, int slot, bool arrange_now, bool animate = false);
void Restore(TeasyPanel& layout, int slot, bool arrange_now, bool animate = false);
void ToggleCollapse(TeasyPanel& layout, int slot, bool arrange_now, bool animate = false);
void CollapseAll(TeasyPanel& layout, bool arrange_now);
void RestoreAll(TeasyPanel& layout, bool arrange_now);
// What a double click on a title bar does.
void ToggleSolo(TeasyPanel& layout, int slot);

// Enabled state.
void EnablePanel(TeasyPanel& layout, int slot, bool arrange_now);
void DisablePanel(TeasyPanel& layout, int slot, bool arrange_now);
void EnableAll(TeasyPanel& layout);
void DisableAll(TeasyPanel& layout);

// Panel styles 0..4 (SetPanelStyle).
void SetStyle(TeasyPanel& layout, int slot, int style);
void SetStyleOfAll(TeasyPanel& layout, int style);

// The main control alone.
void Maximise(TeasyPanel& layout, bool arrange_now);
void Unmaximise(TeasyPanel& layout, bool arrange_now);
void ToggleMaximise(TeasyPanel& layout, bool arrange_now);

// Rebuilds the title-bar menu, sets the container's minimum size and arranges.
void Relayout(TeasyPanel& layout, bool arrange_now);
// Places every panel and the main control (what a resize of the container does).
void Arrange(TeasyPanel& layout);
// Sets the container's minimum width and height and calls the parent relayout.
void SetContainerMinimumSize(TeasyPanel& layout);

// Runs a title-bar menu command word for the given slot (the one the menu was opened on).
void TitleMenuCommand(TeasyPanel& layout, std::string_view command, int slot);

// The main window's keys: Ctrl+F4 gives the list the whole window and back (a list layout that was
// maximised before stays so), Ctrl+F5 shows or hides the list layout's panels. The hook previews the
// form's key presses after any handler the form had; it lives as long as the form.
void InstallListKeyHook(QWidget* form, TeasyPanel& window_layout, TeasyPanel& list_layout);
// What the hook does for a key; true when the key was one of the two. list_was_maximised carries the
// list layout's state from the Ctrl+F4 that maximised the list to the one that brings the panels back.
bool ListLayoutKey(TeasyPanel& window_layout, TeasyPanel& list_layout, bool& list_was_maximised, int key,
                   Qt::KeyboardModifiers modifiers);

}  // namespace rowsmith::gui
