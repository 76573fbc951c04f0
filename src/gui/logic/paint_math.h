#pragma once
// The arithmetic of the painted controls, free of the toolkit: the colour steps and fill shapes of the
// gradient button, its caption placement and accelerator parsing, and the bands of the gradient panel.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rowsmith::gui {

enum class TGradientStyle { gsHorizontal, gsVertical, gsElliptic, gsRectangle, gsVertCenter, gsHorizCenter };
enum class TTextStyle { tsNormal, tsRaised, tsInset };
enum class TShadeType { stLight, stHeavy };
enum class TJustification { jLeft, jCenter, jRight };
enum class TPreset { None, GoldCoast, LimeBox, Aluminum, SunRise, BrassedOff };

// Colour step k of n from begin to end ($BBGGRR): per channel begin + k x d div n with d = end - begin,
// the product in 64 bits and the division truncating toward zero. n <= 0 gives the begin colour.
int32_t GradientStepColour(int32_t begin, int32_t end, int64_t k, int64_t n);

// One fill of a gradient: a rectangle or an ellipse in its bounding box; right and bottom are
// exclusive, as in the platform's fill operations.
struct GradientFill {
    bool ellipse = false;
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int32_t colour = 0;
};

// Every fill of a button face of this size, in painting order (later fills cover earlier ones).
std::vector<GradientFill> GradientFills(TGradientStyle style, int width, int height, int32_t begin,
                                        int32_t end);

// The caption as it is measured and drawn: every "&" followed by another character than "&" is
// dropped, "&&" gives one "&", and the last character is always kept. The accelerator is the first
// character that followed a single "&" (its byte index in text, npos when there is none).
struct MeasuringCaptionT {
    std::string text;
    std::size_t accelerator = std::string::npos;
};
MeasuringCaptionT MeasuringCaption(std::string_view caption);

// Top-left of the caption face.
struct CaptionPoint {
    int x = 0;
    int y = 0;
};
CaptionPoint CaptionOrigin(TJustification justification, int width, int height, int text_width,
                           int text_height, bool down);

// The passes that draw a caption, in order: an offset from the face position and the colour to use.
enum class CaptionColour { Hilite, Shadow, Font, Disabled };
struct CaptionPass {
    int dx = 0;
    int dy = 0;
    CaptionColour colour = CaptionColour::Font;
};
// A disabled button always draws inset.
std::vector<CaptionPass> CaptionPasses(TTextStyle style, TShadeType shade, bool enabled);

// A frame size is taken only when it is at most width div 2 - 5 and height div 2 - 5 (and not negative).
bool FrameSizeAccepted(int frame_size, int width, int height);

// Gradient panel.
enum class TPanelBevel { bvNone, bvLowered, bvRaised };

// Percent kept within 1..100.
int ClampPercent(int percent);
// The bevels' inset: the bevel width per bevel that is raised or lowered.
int PanelInset(TPanelBevel inner, TPanelBevel outer, int bevel_width);

// One band along the gradient's length, offsets from the painted area's start.
struct GradientBand {
    int start = 0;
    int length = 0;
    int32_t colour = 0;
};
// The bands that paint colour a to colour b over length pixels; none when the colours are equal.
std::vector<GradientBand> GradientBands(int32_t a, int32_t b, int length);
// The whole panel gradient: colour1 -> colour2 over the whole length at 100 %, otherwise over the
// first length x percent div 100 pixels (at least 1) and colour2 -> colour3 over the rest.
std::vector<GradientBand> PanelGradientBands(int32_t colour1, int32_t colour2, int32_t colour3, int percent,
                                             int length);

}  // namespace rowsmith::gui
