#pragma once
// Small stateless routines over the toolkit's controls: reading check boxes, enabling edits by their
// check box, colouring controls by their enabled state, sizing the main window, panel styles and
// resize-safe size changes with resize hooks (the panel layout relies on the last group).

#include <QWidget>
#include <cstdint>
#include <functional>
#include <string_view>

#include "gui/logic/control_rules.h"

class QStatusBar;

namespace rowsmith::gui {

class TGradBtn;

// The control's own Enabled setting, whatever its parents are: a run disables whole panels and still
// reads the settings inside them.
bool OwnEnabled(const QWidget* control);

// ---- Settings routines

// A check box or radio button that is checked and enabled.
bool IsChecked(const QWidget* control);
// The control's enabled state; with require_text an edit must also hold text.
bool EditHasValue(const QWidget* edit, bool require_text);
// The edit is enabled exactly when the box IsChecked.
void EnableByCheck(QWidget* edit, const QWidget* check_box);
// ColourByEnabled over every control of FirstForm(), descending into panels, each panel's controls
// darkened from the panel's own colour.
void RecolourControls();
void RecolourControlsOf(QWidget* form);
// Colours one control by its kind and enabled state.
void ColourByEnabled(QWidget* control, int32_t disabled_colour);
// Enabled: colour to white, bold; disabled: silver to grey, not bold.
void ColourStartButton(TGradBtn* button, int32_t colour);

// How a control is treated by ColourByEnabled.
ControlKind KindOf(const QWidget* control);
// The file list grid is recognised by this mark (its second band colour follows the enabled state).
void MarkFileGrid(QWidget* grid);
// Containers that RecolourControls descends into and that have a resize event: the program's panels,
// group boxes, plain widgets and frames, splitters, stacks, tab widgets and scroll areas.
bool IsPanel(const QWidget* control);

// A focus frame that is seen on any background: a dark line with a light line inside it, just inside
// the control's edge, shown while the control has the focus. Returns the frame (a child of the
// control, named "FocusFrame").
QWidget* InstallFocusFrame(QWidget* control);

// ---- Window routines

// The main window (or any other window) registers itself as the application's first form.
void RegisterFirstForm(QWidget* form);
// The registered form; without one the main window, else any ordinary top-level window; none when
// there is no window.
QWidget* FirstForm();
// The first form: 40 pixels narrower and 60 lower than its screen, centred, no automatic scroll bars.
// Double buffering stays on: the toolkit cannot switch it off for ordinary widgets.
void FitFormToScreen();
void FitFormToScreen(QWidget* form);
// Centres the window (frame included) on its screen.
void CentreForm(QWidget* form);
// Every window and control paints through the toolkit's back buffer (clears any paint-on-screen
// setting); widgets are double-buffered already, so normally this changes nothing.
void DoubleBufferAll();

// ---- Layout routines

// Styles 0..4 on a TPanel (bevels, border, 3-D look); other values and other controls change nothing.
void SetPanelStyle(QWidget* panel, int style);
// Size less client size: the window frame of a window, the border of a control.
int FrameHeight(const QWidget* control);
int FrameWidth(const QWidget* control);
// The first direct child that is a status bar.
QStatusBar* FindStatusBar(const QWidget* container);
void ShiftChildren(int vertical_offset, int horizontal_offset, QWidget* container);
// Moves every child control except gradient panels; labels that move become transparent.
void MoveChildren(QWidget* from, QWidget* to);
// The first direct child whose name begins with prefix (case ignored), as its window knows it by
// that name; none when there is no such child or it has no name.
QWidget* FindNamedChild(const QWidget* container, std::string_view prefix);

// A resize hook: the handler (with whatever context it captured), called with the resized control.
struct ResizeHook {
    std::function<void(QWidget*)> handler;
    explicit operator bool() const { return static_cast<bool>(handler); }
};
// Only windows and panels have a resize event; other controls read as having none and ignore one.
bool HasResizeEvent(const QWidget* control);
ResizeHook GetResizeHook(const QWidget* control);
// Installs the hook and returns the previous one.
ResizeHook SetResizeHook(QWidget* control, ResizeHook hook);
// Like SetResizeHook, after switching the control's automatic sizing off (the layout no longer sizes
// it to its contents; a window also loses its automatic scroll bars).
ResizeHook HookResize(QWidget* control, ResizeHook hook);
// Sets the bounds with the hook detached; calls the hook once afterwards when call_hook is set, a hook
// exists and the size changed. Returns the control's hook.
ResizeHook SetBoundsQuietly(QWidget* control, int width, int height, int left, int top, bool call_hook);
// The minimum width or height constraint set the same way; negative values change nothing.
ResizeHook SetMinWidthQuietly(QWidget* control, int value, bool call_hook);
ResizeHook SetMinHeightQuietly(QWidget* control, int value, bool call_hook);

struct ControlAreaT {
    int64_t area = 0;
    int width = 0;
    int height = 0;
    int left = 0;
    int top = 0;
};
ControlAreaT ControlArea(const QWidget* control);

}  // namespace rowsmith::gui
