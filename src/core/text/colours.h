#pragma once
// Colour routines: colour values ($BBGGRR, red in the low byte), "#RRGGBB" texts and hue, saturation
// and lightness on a 0..240 scale, with the lighter, darker, saturated and contrasting variants that
// panels, the progress bar and the template's colour modifiers use.

#include <cstdint>
#include <string>
#include <string_view>

namespace rowsmith::text {

struct RgbT {
    int32_t Red = 0;
    int32_t Green = 0;
    int32_t Blue = 0;
};

// Fractions 0..1.
struct HslT {
    double Hue = 0;
    double Saturation = 0;
    double Lightness = 0;
};

// Hue 0..239, saturation and lightness 0..240.
struct Hls240T {
    int32_t Hue = 0;
    int32_t Saturation = 0;
    int32_t Lightness = 0;
};

inline constexpr int32_t kBlack = 0x000000;
inline constexpr int32_t kWhite = 0xFFFFFF;

// The three bytes; anything above the lower 24 bits is ignored.
RgbT ColorParts(int32_t colour);
// Each part is kept within 0..255.
int32_t ColorFromParts(int32_t red, int32_t green, int32_t blue);

HslT ColorToHsl(int32_t colour);
Hls240T ColorToHls240(int32_t colour);
int32_t ColorFromHls240(int32_t hue, int32_t saturation, int32_t lightness);

// "#FF8000", "$FF8000" or "FF8000" (red, green, blue); shorter texts are padded on the left with "0",
// longer ones read their last six characters. A character that is not a hexadecimal digit reads as 0.
int32_t ColorFromText(std::string_view text);
// "#RRGGBB" in upper case.
std::string ColorToText(int32_t colour);

// Lightness plus steps x 15, kept within 0..240.
int32_t BrightenColor(int32_t colour, double steps);
int32_t DarkenColor(int32_t colour, double steps);
int32_t LightenColor(int32_t colour, double steps);
// Saturation x percent / 100, truncated and kept within 0..240.
int32_t SaturateColor(int32_t colour, double percent);
// Hue plus steps x 15, kept within 0..240; 0 steps leave the colour as it is.
int32_t ShiftHue(int32_t colour, double steps);
int32_t ColorLightness(int32_t colour);
// Black on light colours, white on dark ones.
int32_t ContrastTextColor(int32_t colour);

}  // namespace rowsmith::text
