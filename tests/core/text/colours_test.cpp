#include "text/colours.h"

#include <gtest/gtest.h>

namespace rowsmith::text {
namespace {

constexpr int32_t kRed = 0x0000FF;
constexpr int32_t kGreen = 0x00FF00;
constexpr int32_t kBlue = 0xFF0000;

TEST(Colours, PartsIgnoreTheTopByteAndClamp) {
    const RgbT p = ColorParts(static_cast<int32_t>(0x80123456));
    EXPECT_EQ(p.Red, 0x56);
    EXPECT_EQ(p.Green, 0x34);
    EXPECT_EQ(p.Blue, 0x12);
    EXPECT_EQ(ColorFromParts(0x56, 0x34, 0x12), 0x123456);
    EXPECT_EQ(ColorFromParts(300, -5, 18), 255 + 18 * 65536);
}

TEST(Colours, TextConversions) {
    const struct {
        const char* text;
        int32_t colour;
    } from_text[] = {
        {"#FF8000", 0x0080FF},
        {"FF8000", 0x0080FF},
        {"$ff8000", 0x0080FF},
        {"F80", 0x800F00},  // padded on the left to 000F80
        {"", 0},
        {"#12345678", 0x785634},  // the last six characters
        {"zz8000", 0x008000},     // a non-hex character reads as 0
    };
    for (const auto& c : from_text) EXPECT_EQ(ColorFromText(c.text), c.colour) << c.text;

    const struct {
        int32_t colour;
        const char* text;
    } to_text[] = {{kRed, "#FF0000"}, {0x123456, "#563412"}, {static_cast<int32_t>(0xFF00FF00), "#00FF00"}};
    for (const auto& c : to_text) EXPECT_EQ(ColorToText(c.colour), c.text);
    for (const char* t : {"#000000", "#FFFFFF", "#0A1B2C", "#E89868"})
        EXPECT_EQ(ColorToText(ColorFromText(t)), t);
}

TEST(Colours, HueSaturationLightnessOn240Scale) {
    const struct {
        int32_t colour;
        int32_t hue, saturation, lightness;
    } cases[] = {
        {kWhite, 0, 0, 240},    {kBlack, 0, 0, 0},     {kRed, 0, 240, 120},
        {kGreen, 80, 240, 120},  // hue 1/3 of the 239 scale
        {kBlue, 159, 240, 120}, {0x808080, 0, 0, 120}, {0x0080FF, 20, 240, 120},
    };
    for (const auto& c : cases) {
        const Hls240T h = ColorToHls240(c.colour);
        EXPECT_EQ(h.Hue, c.hue) << ColorToText(c.colour);
        EXPECT_EQ(h.Saturation, c.saturation) << ColorToText(c.colour);
        EXPECT_EQ(h.Lightness, c.lightness) << ColorToText(c.colour);
        EXPECT_EQ(ColorLightness(c.colour), c.lightness);
    }
    const HslT hsl = ColorToHsl(kBlue);
    EXPECT_DOUBLE_EQ(hsl.Hue, 2.0 / 3.0);
    EXPECT_DOUBLE_EQ(hsl.Saturation, 1.0);
    EXPECT_DOUBLE_EQ(hsl.Lightness, 0.5);

    EXPECT_EQ(ColorFromHls240(0, 240, 120), kRed);
    EXPECT_EQ(ColorFromHls240(0, 0, 240), kWhite);
    EXPECT_EQ(ColorFromHls240(0, 0, 0), kBlack);
    // Hue 80 of 239 lies a little past a third, which leaks into blue.
    EXPECT_EQ(ColorFromHls240(80, 240, 120), 0x02FF00);
}

TEST(Colours, BrightnessSteps) {
    EXPECT_EQ(BrightenColor(kWhite, 3), kWhite);
    for (int32_t c : {kRed, kGreen, kBlue, kWhite, 0x123456, 0xE89868}) {
        EXPECT_EQ(DarkenColor(c, 16), kBlack) << ColorToText(c);
        EXPECT_EQ(LightenColor(c, 16), kWhite) << ColorToText(c);
    }
    EXPECT_EQ(BrightenColor(kBlack, 8), 0x808080);
    // Halves go to the even neighbour: 7.5 -> 8 steps of lightness, 8.5 -> byte 8; 22.5 -> 22.
    EXPECT_EQ(BrightenColor(kBlack, 0.5), 0x080808);
    EXPECT_EQ(BrightenColor(kBlack, 1.5), 0x171717);
    EXPECT_EQ(DarkenColor(kWhite, 8), LightenColor(kBlack, 8));
    EXPECT_EQ(ColorLightness(LightenColor(kRed, 4)), 180);
}

TEST(Colours, SaturationAndHue) {
    EXPECT_EQ(SaturateColor(kRed, 50), 0x4040BF);
    EXPECT_EQ(SaturateColor(kRed, 0), 0x808080);
    EXPECT_EQ(SaturateColor(0x4040BF, 400), kRed);  // kept within 240
    EXPECT_EQ(ShiftHue(static_cast<int32_t>(0xFF0000FF), 0), kRed);
    EXPECT_EQ(ShiftHue(kRed, 16), ShiftHue(kRed, 100));  // hue kept within 240
    EXPECT_EQ(ColorToHls240(ShiftHue(kRed, 4)).Hue, 60);
    EXPECT_EQ(ColorToHls240(ShiftHue(kBlue, -1.5)).Hue, 137);  // 159 - 22 (22.5 to even)
}

TEST(Colours, ContrastTextColor) {
    const struct {
        int32_t background, text;
    } cases[] = {
        {kWhite, kBlack},   {kBlack, kWhite}, {kRed, kWhite},  // lightness 120 is not above 120
        {0x4040D0, kBlack},                                    // coloured, lightness 128
        {0x8A8A8A, kWhite},  // grey, lightness 130: greys need more than 140
        {0x999999, kBlack},  // grey, lightness 144
    };
    for (const auto& c : cases)
        EXPECT_EQ(ContrastTextColor(c.background), c.text) << ColorToText(c.background);
}

}  // namespace
}  // namespace rowsmith::text
