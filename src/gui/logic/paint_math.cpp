#include "gui/logic/paint_math.h"

#include <algorithm>
#include <cstdlib>

namespace rowsmith::gui {

namespace {

struct Channels {
    int64_t r, g, b;
};

Channels Split(int32_t colour) {
    return {colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF};
}

int32_t Join(int64_t r, int64_t g, int64_t b) {
    const auto byte = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, 255)); };
    return byte(r) | (byte(g) << 8) | (byte(b) << 16);
}

GradientFill Rect(int left, int top, int right, int bottom, int32_t colour) {
    return {false, left, top, right, bottom, colour};
}

}  // namespace

int32_t GradientStepColour(int32_t begin, int32_t end, int64_t k, int64_t n) {
    if (n <= 0) return begin & 0xFFFFFF;
    const Channels a = Split(begin);
    const Channels z = Split(end);
    // C++ division truncates toward zero, as the steps require for falling channels.
    return Join(a.r + k * (z.r - a.r) / n, a.g + k * (z.g - a.g) / n, a.b + k * (z.b - a.b) / n);
}

std::vector<GradientFill> GradientFills(TGradientStyle style, int width, int height, int32_t begin,
                                        int32_t end) {
    std::vector<GradientFill> fills;
    const int W = std::max(width, 0);
    const int H = std::max(height, 0);
    switch (style) {
        case TGradientStyle::gsHorizontal:
            fills.reserve(256);
            for (int k = 0; k <= 255; ++k)
                fills.push_back(Rect(static_cast<int>(int64_t{k} * W / 256), 0,
                                     static_cast<int>(int64_t{k + 1} * W / 256), H,
                                     GradientStepColour(begin, end, k, 255)));
            break;
        case TGradientStyle::gsVertical:
            fills.reserve(256);
            for (int k = 0; k <= 255; ++k)
                fills.push_back(Rect(0, static_cast<int>(int64_t{k} * H / 256), W,
                                     static_cast<int>(int64_t{k + 1} * H / 256),
                                     GradientStepColour(begin, end, k, 255)));
            break;
        case TGradientStyle::gsElliptic: {
            // The outer ellipse overshoots the face by a third on each side so the corners get the
            // begin colour too.
            const int x0 = -(W / 3), x1 = W + W / 3;
            const int y0 = -(H / 3), y1 = H + H / 3;
            fills.reserve(51);
            for (int k = 0; k <= 50; ++k) {
                const int u = static_cast<int>(int64_t{x1 - x0} * k / 100);
                const int v = static_cast<int>(int64_t{y1 - y0} * k / 100);
                fills.push_back(
                    {true, x0 + u, y0 + v, x1 - u, y1 - v, GradientStepColour(begin, end, k, 50)});
            }
            break;
        }
        case TGradientStyle::gsRectangle: {
            double left = 0, top = 0, right = W + 2, bottom = H + 2;
            const double dx = W / 2.0 / 255.0;
            const double dy = H / 2.0 / 255.0;
            fills.reserve(256);
            for (int k = 0; k <= 255; ++k) {
                left += dx;
                top += dy;
                right -= dx;
                bottom -= dy;
                fills.push_back(Rect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right),
                                     static_cast<int>(bottom), GradientStepColour(begin, end, k, 255)));
            }
            break;
        }
        case TGradientStyle::gsVertCenter: {
            const int h = H / 2;
            for (int k = 0; k <= h; ++k) {
                const int32_t c = GradientStepColour(begin, end, k, h);
                fills.push_back(Rect(0, k, W, k + 1, c));
                if (H - k - 1 != k) fills.push_back(Rect(0, H - k - 1, W, H - k, c));
            }
            break;
        }
        case TGradientStyle::gsHorizCenter: {
            const int w = W / 2;
            for (int k = 0; k <= w; ++k) {
                const int32_t c = GradientStepColour(begin, end, k, w);
                fills.push_back(Rect(k, 0, k + 1, H, c));
                if (W - k - 1 != k) fills.push_back(Rect(W - k - 1, 0, W - k, H, c));
            }
            break;
        }
    }
    return fills;
}

MeasuringCaptionT MeasuringCaption(std::string_view caption) {
    MeasuringCaptionT out;
    out.text.reserve(caption.size());
    std::size_t i = 0;
    while (i < caption.size()) {
        if (caption[i] == '&' && i + 1 < caption.size()) {
            if (caption[i + 1] == '&') {
                out.text += '&';
                i += 2;
            } else {
                if (out.accelerator == std::string::npos) out.accelerator = out.text.size();
                ++i;
            }
            continue;
        }
        out.text += caption[i++];
    }
    return out;
}

CaptionPoint CaptionOrigin(TJustification justification, int width, int height, int text_width,
                           int text_height, bool down) {
    CaptionPoint p;
    p.y = (height - text_height) / 2;
    switch (justification) {
        case TJustification::jLeft:
            p.x = 2;
            break;
        case TJustification::jCenter:
            p.x = (width - text_width) / 2;
            break;
        case TJustification::jRight:
            p.x = width - text_width - 2;
            break;
    }
    if (down) {
        ++p.x;
        ++p.y;
    }
    return p;
}

std::vector<CaptionPass> CaptionPasses(TTextStyle style, TShadeType shade, bool enabled) {
    const bool heavy = shade == TShadeType::stHeavy;
    if (!enabled) style = TTextStyle::tsInset;
    std::vector<CaptionPass> passes;
    switch (style) {
        case TTextStyle::tsRaised:
            passes.push_back({-1, -1, CaptionColour::Hilite});
            if (heavy) passes.push_back({1, 1, CaptionColour::Shadow});
            passes.push_back({0, 0, CaptionColour::Font});
            break;
        case TTextStyle::tsInset:
            if (heavy) passes.push_back({-1, -1, CaptionColour::Shadow});
            passes.push_back({1, 1, CaptionColour::Hilite});
            passes.push_back({0, 0, enabled ? CaptionColour::Font : CaptionColour::Disabled});
            break;
        case TTextStyle::tsNormal:
            passes.push_back({0, 0, CaptionColour::Font});
            break;
    }
    return passes;
}

bool FrameSizeAccepted(int frame_size, int width, int height) {
    return frame_size >= 0 && frame_size <= width / 2 - 5 && frame_size <= height / 2 - 5;
}

int ClampPercent(int percent) {
    return std::clamp(percent, 1, 100);
}

int PanelInset(TPanelBevel inner, TPanelBevel outer, int bevel_width) {
    int b = 0;
    if (inner != TPanelBevel::bvNone) b += bevel_width;
    if (outer != TPanelBevel::bvNone) b += bevel_width;
    return b;
}

std::vector<GradientBand> GradientBands(int32_t a, int32_t b, int length) {
    std::vector<GradientBand> bands;
    if (length <= 0) return bands;
    const Channels ca = Split(a);
    const Channels cb = Split(b);
    // Channels scaled by 100 so that the per-band step keeps two decimals.
    const Channels d{(cb.r - ca.r) * 100, (cb.g - ca.g) * 100, (cb.b - ca.b) * 100};
    const int64_t m = std::max({std::llabs(d.r), std::llabs(d.g), std::llabs(d.b)});
    if (m == 0) return bands;
    const int64_t L = length;
    const int64_t band = m < L * 100 ? std::max<int64_t>((m / 100 + L - 1) * 100 / m, 1) : 1;
    const int64_t n = std::max<int64_t>(L / band, 1);
    for (int64_t k = 0; k <= n; ++k) {
        const int64_t start = k * band;
        if (start >= L) break;
        const int64_t len = std::min(band, L - start);
        bands.push_back({static_cast<int>(start), static_cast<int>(len),
                         Join(ca.r + d.r / n * k / 100, ca.g + d.g / n * k / 100, ca.b + d.b / n * k / 100)});
    }
    return bands;
}

std::vector<GradientBand> PanelGradientBands(int32_t colour1, int32_t colour2, int32_t colour3, int percent,
                                             int length) {
    percent = ClampPercent(percent);
    if (length <= 0) return {};
    if (percent == 100) return GradientBands(colour1, colour2, length);
    const int first = std::max(static_cast<int>(int64_t{length} * percent / 100), 1);
    std::vector<GradientBand> bands = GradientBands(colour1, colour2, first);
    for (GradientBand band : GradientBands(colour2, colour3, length - first)) {
        band.start += first;
        bands.push_back(band);
    }
    return bands;
}

}  // namespace rowsmith::gui
