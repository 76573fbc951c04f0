#include "text/colours.h"

#include <algorithm>
#include <cmath>

namespace rowsmith::text {

namespace {

// Nearest integer with halves to the even neighbour (the default rounding mode). Wild step counts are
// bounded first so that they still clamp instead of overflowing.
int32_t RoundEven(double x) {
    if (std::isnan(x)) return 0;
    return static_cast<int32_t>(std::nearbyint(std::clamp(x, -1.0e6, 1.0e6)));
}

int32_t ToByte(double channel) {
    return std::clamp(RoundEven(channel * 255.0), 0, 255);
}

double HueChannel(double m1, double m2, double h) {
    h -= std::floor(h);
    if (6 * h < 1) return m1 + (m2 - m1) * 6 * h;
    if (2 * h < 1) return m2;
    if (3 * h < 2) return m1 + (m2 - m1) * (2.0 / 3.0 - h) * 6;
    return m1;
}

int32_t ColorFromHsl(double h, double s, double l) {
    if (s == 0) {
        const int32_t grey = ToByte(l);
        return ColorFromParts(grey, grey, grey);
    }
    const double m2 = l <= 0.5 ? l * (1 + s) : l + s - l * s;
    const double m1 = 2 * l - m2;
    return ColorFromParts(ToByte(HueChannel(m1, m2, h + 1.0 / 3.0)), ToByte(HueChannel(m1, m2, h)),
                          ToByte(HueChannel(m1, m2, h - 1.0 / 3.0)));
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}

}  // namespace

RgbT ColorParts(int32_t colour) {
    const auto bits = static_cast<uint32_t>(colour);
    return {static_cast<int32_t>(bits & 0xFF), static_cast<int32_t>(bits >> 8 & 0xFF),
            static_cast<int32_t>(bits >> 16 & 0xFF)};
}

int32_t ColorFromParts(int32_t red, int32_t green, int32_t blue) {
    return std::clamp(red, 0, 255) + std::clamp(green, 0, 255) * 256 + std::clamp(blue, 0, 255) * 65536;
}

HslT ColorToHsl(int32_t colour) {
    const RgbT p = ColorParts(colour);
    const double r = p.Red / 255.0;
    const double g = p.Green / 255.0;
    const double b = p.Blue / 255.0;
    const double max = std::max({r, g, b});
    const double min = std::min({r, g, b});
    HslT hsl;
    hsl.Lightness = (max + min) / 2;
    if (max == min) return hsl;
    const double d = max - min;
    hsl.Saturation = hsl.Lightness >= 0.5 ? d / (2 - max - min) : d / (max + min);
    double h;
    if (r == max)
        h = (g - b) / d;
    else if (g == max)
        h = (b - r) / d + 2;
    else
        h = (r - g) / d + 4;
    h /= 6;
    if (h < 0) h += 1;
    hsl.Hue = h;
    return hsl;
}

Hls240T ColorToHls240(int32_t colour) {
    const HslT hsl = ColorToHsl(colour);
    return {RoundEven(hsl.Hue * 239), RoundEven(hsl.Saturation * 240), RoundEven(hsl.Lightness * 240)};
}

int32_t ColorFromHls240(int32_t hue, int32_t saturation, int32_t lightness) {
    return ColorFromHsl(hue / 239.0, std::clamp(saturation, 0, 240) / 240.0,
                        std::clamp(lightness, 0, 240) / 240.0);
}

int32_t ColorFromText(std::string_view text) {
    if (!text.empty() && (text.front() == '#' || text.front() == '$')) text.remove_prefix(1);
    if (text.size() > 6) text = text.substr(text.size() - 6);
    std::string digits(6 - text.size(), '0');
    digits.append(text);
    const auto pair = [&](std::size_t at) { return HexDigit(digits[at]) * 16 + HexDigit(digits[at + 1]); };
    return ColorFromParts(pair(0), pair(2), pair(4));
}

std::string ColorToText(int32_t colour) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const RgbT p = ColorParts(colour);
    std::string text = "#";
    for (int32_t byte : {p.Red, p.Green, p.Blue}) {
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
    }
    return text;
}

int32_t BrightenColor(int32_t colour, double steps) {
    const Hls240T hls = ColorToHls240(colour);
    const int32_t lightness = std::clamp(hls.Lightness + RoundEven(steps * 15), 0, 240);
    return ColorFromHls240(hls.Hue, hls.Saturation, lightness);
}

int32_t DarkenColor(int32_t colour, double steps) {
    return BrightenColor(colour, -steps);
}

int32_t LightenColor(int32_t colour, double steps) {
    return BrightenColor(colour, steps);
}

int32_t SaturateColor(int32_t colour, double percent) {
    const Hls240T hls = ColorToHls240(colour);
    double scaled = std::trunc(hls.Saturation * percent / 100);
    if (std::isnan(scaled)) scaled = 0;
    const int32_t saturation = static_cast<int32_t>(std::clamp(scaled, 0.0, 240.0));
    return ColorFromHls240(hls.Hue, saturation, hls.Lightness);
}

int32_t ShiftHue(int32_t colour, double steps) {
    if (steps == 0) return colour & 0xFFFFFF;
    const Hls240T hls = ColorToHls240(colour);
    const int32_t hue = std::clamp(hls.Hue + RoundEven(steps * 15), 0, 240);
    return ColorFromHls240(hue, hls.Saturation, hls.Lightness);
}

int32_t ColorLightness(int32_t colour) {
    return ColorToHls240(colour).Lightness;
}

int32_t ContrastTextColor(int32_t colour) {
    const Hls240T hls = ColorToHls240(colour);
    const int32_t threshold = (hls.Hue != 0 || hls.Saturation > 9) ? 120 : 140;
    return hls.Lightness > threshold ? kBlack : kWhite;
}

}  // namespace rowsmith::text
