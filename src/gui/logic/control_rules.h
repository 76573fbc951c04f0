#pragma once
// The decisions of the control helpers that need no widget: how each kind of control is coloured by
// its enabled state, the panel style table, window sizing arithmetic and when a resize hook is called.

#include <cstdint>
#include <optional>
#include <string_view>

#include "gui/logic/paint_math.h"

namespace rowsmith::gui {

// Colours ($BBGGRR) the helpers use.
inline constexpr int32_t kClWhite = 0xFFFFFF;
inline constexpr int32_t kClSilver = 0xC0C0C0;
inline constexpr int32_t kClGrey = 0x808080;
inline constexpr int32_t kClRed = 0x0000FF;

// Letter case ignored (ASCII).
bool NameHasPrefix(std::string_view name, std::string_view prefix);
// Folder edits keep their own colour while enabled.
bool IsFolderEditName(std::string_view name);

// The colour of disabled controls on a form or panel of this colour: darkened twice by 15 lightness.
int32_t DisabledColourFrom(int32_t base_colour);

enum class ControlKind {
    Edit,  // the kind is refined to FolderEdit by its name
    FolderEdit,
    ComboBox,
    CheckBox,
    SpinEdit,
    MaskedEdit,
    TrackBar,
    GradientButton,
    FileGrid,
    StringGrid,
    Other
};

struct ColourRule {
    enum class Fill { Unchanged, WindowBackground, Disabled, Parent } fill = Fill::Unchanged;
    enum class Switch { Unchanged, On, Off };
    Switch ctl3d = Switch::Unchanged;
    bool border_single = false;
    Switch slider = Switch::Unchanged;
    // The file grid's second band colour: white when on, the first band colour when off.
    Switch band_white = Switch::Unchanged;
    // Gradient buttons are recoloured as the Start button with the disabled colour.
    bool start_button = false;
};
ColourRule ColourRuleFor(ControlKind kind, bool enabled);

// Panel styles 0..4; other values change nothing.
struct PanelStyleT {
    TPanelBevel inner = TPanelBevel::bvNone;
    TPanelBevel outer = TPanelBevel::bvNone;
    bool border_single = false;
    bool ctl3d = false;
};
std::optional<PanelStyleT> PanelStyleFor(int style);

struct SizeT {
    int width = 0;
    int height = 0;
};
struct PointT {
    int x = 0;
    int y = 0;
};
// The main window's size on a screen of this size: 40 pixels narrower and 60 lower.
SizeT FitFormSize(int screen_width, int screen_height);
// Top-left that centres a window, dividing toward zero.
PointT CentredOrigin(int screen_width, int screen_height, int width, int height);

// A quiet size change calls the hook only when asked, when there is one and when the size changed.
bool ResizeHookDue(bool call_hook, bool has_hook, SizeT before, SizeT after);

}  // namespace rowsmith::gui
