#include "gui/logic/control_rules.h"

#include "text/colours.h"

namespace rowsmith::gui {

namespace {
char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
}  // namespace

bool NameHasPrefix(std::string_view name, std::string_view prefix) {
    if (prefix.size() > name.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (LowerAscii(name[i]) != LowerAscii(prefix[i])) return false;
    return true;
}

bool IsFolderEditName(std::string_view name) {
    return NameHasPrefix(name, "editfolder");
}

int32_t DisabledColourFrom(int32_t base_colour) {
    return text::DarkenColor(text::DarkenColor(base_colour, 1), 1);
}

ColourRule ColourRuleFor(ControlKind kind, bool enabled) {
    using Fill = ColourRule::Fill;
    using Switch = ColourRule::Switch;
    ColourRule r;
    const Switch on_off = enabled ? Switch::On : Switch::Off;
    switch (kind) {
        case ControlKind::Edit:
            r.fill = enabled ? Fill::WindowBackground : Fill::Disabled;
            r.border_single = true;
            break;
        case ControlKind::FolderEdit:
            r.fill = enabled ? Fill::Unchanged : Fill::Disabled;
            r.border_single = true;
            break;
        case ControlKind::ComboBox:
        case ControlKind::SpinEdit:
            r.fill = enabled ? Fill::WindowBackground : Fill::Disabled;
            r.ctl3d = on_off;
            break;
        case ControlKind::CheckBox:
            r.fill = enabled ? Fill::Parent : Fill::Disabled;
            r.ctl3d = on_off;
            break;
        case ControlKind::MaskedEdit:
            r.fill = enabled ? Fill::WindowBackground : Fill::Disabled;
            r.ctl3d = on_off;
            r.border_single = true;
            break;
        case ControlKind::TrackBar:
            r.slider = on_off;
            break;
        case ControlKind::GradientButton:
            r.start_button = true;
            break;
        case ControlKind::FileGrid:
            r.band_white = on_off;
            break;
        case ControlKind::StringGrid:
            r.fill = enabled ? Fill::WindowBackground : Fill::Disabled;
            break;
        case ControlKind::Other:
            break;
    }
    return r;
}

std::optional<PanelStyleT> PanelStyleFor(int style) {
    using B = TPanelBevel;
    switch (style) {
        case 0:
            return PanelStyleT{B::bvNone, B::bvNone, true, false};
        case 1:
            return PanelStyleT{B::bvNone, B::bvRaised, false, true};
        case 2:
            return PanelStyleT{B::bvLowered, B::bvRaised, false, true};
        case 3:
            return PanelStyleT{B::bvNone, B::bvLowered, false, true};
        case 4:
            return PanelStyleT{B::bvNone, B::bvRaised, true, false};
        default:
            return std::nullopt;
    }
}

SizeT FitFormSize(int screen_width, int screen_height) {
    return {screen_width - 40, screen_height - 60};
}

PointT CentredOrigin(int screen_width, int screen_height, int width, int height) {
    return {(screen_width - width) / 2, (screen_height - height) / 2};
}

bool ResizeHookDue(bool call_hook, bool has_hook, SizeT before, SizeT after) {
    return call_hook && has_hook && (before.width != after.width || before.height != after.height);
}

}  // namespace rowsmith::gui
