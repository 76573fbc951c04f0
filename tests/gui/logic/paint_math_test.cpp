#include "gui/logic/paint_math.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace rowsmith::gui {
namespace {

TEST(GradientStepColour, TruncatesTowardZeroPerChannel) {
    struct Case {
        int32_t begin, end;
        int64_t k, n;
        int32_t expected;
    } cases[] = {
        {0x000000, 0xFFFFFF, 0, 255, 0x000000},  {0x000000, 0xFFFFFF, 255, 255, 0xFFFFFF},
        {0x000000, 0x0000FF, 1, 2, 0x00007F},     // 127.5 -> 127
        {0x0000FF, 0x000000, 1, 2, 0x000080},     // 255 - 127.5 -> 128: truncation, not floor
        {0x10FF00, 0x00FF10, 1, 3, 0x0BFF05},     // channels independent: blue falls, red rises
        {0x0000FF, 0xFFFFFF, 51, 255, 0x3333FF},  // red stays, green and blue rise by a fifth
        {0x123456, 0xABCDEF, 5, 0, 0x123456},     // no steps: the begin colour
    };
    for (const Case& c : cases)
        EXPECT_EQ(GradientStepColour(c.begin, c.end, c.k, c.n), c.expected) << c.k << "/" << c.n;
}

TEST(GradientFills, StripesCoverTheFaceFromBeginToEnd) {
    const int W = 281, H = 33;
    const auto h = GradientFills(TGradientStyle::gsHorizontal, W, H, 0x0000FF, 0xFFFFFF);
    ASSERT_EQ(h.size(), 256u);
    EXPECT_EQ(h.front().colour, 0x0000FF);
    EXPECT_EQ(h.back().colour, 0xFFFFFF);
    int x = 0;
    for (const GradientFill& f : h) {
        EXPECT_FALSE(f.ellipse);
        EXPECT_EQ(f.left, x);  // no gaps, no overlaps
        EXPECT_EQ(f.top, 0);
        EXPECT_EQ(f.bottom, H);
        x = f.right;
    }
    EXPECT_EQ(x, W);

    const auto v = GradientFills(TGradientStyle::gsVertical, W, H, 0x0000FF, 0xFFFFFF);
    ASSERT_EQ(v.size(), 256u);
    EXPECT_EQ(v[255].top, 255 * H / 256);
    EXPECT_EQ(v[255].bottom, H);
    EXPECT_EQ(v[255].right, W);
}

TEST(GradientFills, EllipsesShrinkFromOutsideToTheCentre) {
    const int W = 90, H = 30;
    const auto e = GradientFills(TGradientStyle::gsElliptic, W, H, 0x0000FF, 0xFFFFFF);
    ASSERT_EQ(e.size(), 51u);
    EXPECT_TRUE(e.front().ellipse);
    EXPECT_EQ(e.front().left, -30);
    EXPECT_EQ(e.front().top, -10);
    EXPECT_EQ(e.front().right, 120);
    EXPECT_EQ(e.front().bottom, 40);
    EXPECT_EQ(e.front().colour, 0x0000FF);
    // The last one has shrunk to the centre point in the end colour.
    EXPECT_EQ(e.back().left, 45);
    EXPECT_EQ(e.back().right, 45);
    EXPECT_EQ(e.back().top, 15);
    EXPECT_EQ(e.back().colour, 0xFFFFFF);
}

TEST(GradientFills, RectanglesMoveInwardByRealSteps) {
    const int W = 100, H = 20;
    const auto r = GradientFills(TGradientStyle::gsRectangle, W, H, 0x000000, 0xFFFFFF);
    ASSERT_EQ(r.size(), 256u);
    // First step: 100 / 2 / 255 = 0.196 in, truncated; edges start at W + 2 and H + 2.
    EXPECT_EQ(r[0].left, 0);
    EXPECT_EQ(r[0].right, 101);
    EXPECT_EQ(r[0].bottom, 21);
    // After 128 steps the left edge is 25.1 in.
    EXPECT_EQ(r[127].left, 25);
    EXPECT_EQ(r[255].colour, 0xFFFFFF);
}

TEST(GradientFills, CentreStylesMirrorAroundTheMiddle) {
    struct Case {
        int height;
        int middle_row;
    } cases[] = {{33, 16}, {10, 5}, {11, 5}};
    for (const Case& c : cases) {
        const auto fills = GradientFills(TGradientStyle::gsVertCenter, 50, c.height, 0x000000, 0xFFFFFF);
        // The colour each row ends with.
        std::vector<int32_t> rows(c.height, -1);
        for (const GradientFill& f : fills) {
            ASSERT_EQ(f.bottom - f.top, 1);
            rows[f.top] = f.colour;
        }
        for (int y = 0; y < c.height; ++y) EXPECT_NE(rows[y], -1) << "row " << y << " unpainted";
        EXPECT_EQ(rows[0], 0x000000);
        EXPECT_EQ(rows[c.height - 1], 0x000000);
        EXPECT_EQ(rows[c.middle_row], 0xFFFFFF) << c.height;
        for (int y = 0; y < c.height; ++y) EXPECT_EQ(rows[y], rows[c.height - 1 - y]);
    }
    const auto cols = GradientFills(TGradientStyle::gsHorizCenter, 281, 33, 0x0000FF, 0xFFFFFF);
    EXPECT_EQ(cols.front().left, 0);
    EXPECT_EQ(cols[1].left, 280);
    EXPECT_EQ(cols.back().left, 140);
    EXPECT_EQ(cols.back().colour, 0xFFFFFF);
    // Too small for a centre: one row in the begin colour, no division by zero.
    const auto tiny = GradientFills(TGradientStyle::gsVertCenter, 10, 1, 0x123456, 0xFFFFFF);
    ASSERT_EQ(tiny.size(), 1u);
    EXPECT_EQ(tiny[0].colour, 0x123456);
}

TEST(MeasuringCaption, DropsAcceleratorMarks) {
    const auto npos = std::string::npos;
    struct Case {
        const char* caption;
        const char* text;
        std::size_t accelerator;
    } cases[] = {
        {"&Start", "Start", 0}, {"Sta&rt", "Start", 3}, {"Save && Exit", "Save & Exit", npos},
        {"A&&&B", "A&B", 2},    {"End&", "End&", npos}, {"&&", "&", npos},
        {"&a&b", "ab", 0},      {"", "", npos},         {"&", "&", npos},
    };
    for (const Case& c : cases) {
        const MeasuringCaptionT m = MeasuringCaption(c.caption);
        EXPECT_EQ(m.text, c.text) << c.caption;
        EXPECT_EQ(m.accelerator, c.accelerator) << c.caption;
    }
}

TEST(CaptionOrigin, JustifiesAndMovesWhileDown) {
    struct Case {
        TJustification j;
        bool down;
        int x, y;
    } cases[] = {
        {TJustification::jCenter, false, 40, 8},
        {TJustification::jLeft, false, 2, 8},
        {TJustification::jRight, false, 78, 8},
        {TJustification::jCenter, true, 41, 9},
    };
    for (const Case& c : cases) {
        const CaptionPoint p = CaptionOrigin(c.j, 101, 33, 21, 16, c.down);
        EXPECT_EQ(p.x, c.x);
        EXPECT_EQ(p.y, c.y);
    }
}

TEST(CaptionPasses, ShadesByStyleAndDisabledDrawsInset) {
    using C = CaptionColour;
    struct Case {
        TTextStyle style;
        TShadeType shade;
        bool enabled;
        std::vector<std::tuple<int, int, C>> passes;  // dx, dy, colour
    } cases[] = {
        {TTextStyle::tsRaised,
         TShadeType::stHeavy,
         true,
         {{-1, -1, C::Hilite}, {1, 1, C::Shadow}, {0, 0, C::Font}}},
        {TTextStyle::tsRaised, TShadeType::stLight, true, {{-1, -1, C::Hilite}, {0, 0, C::Font}}},
        {TTextStyle::tsInset, TShadeType::stLight, true, {{1, 1, C::Hilite}, {0, 0, C::Font}}},
        {TTextStyle::tsNormal, TShadeType::stHeavy, true, {{0, 0, C::Font}}},
        // Disabled captions are always inset, with the disabled face.
        {TTextStyle::tsNormal,
         TShadeType::stHeavy,
         false,
         {{-1, -1, C::Shadow}, {1, 1, C::Hilite}, {0, 0, C::Disabled}}},
        {TTextStyle::tsRaised, TShadeType::stLight, false, {{1, 1, C::Hilite}, {0, 0, C::Disabled}}},
    };
    for (const Case& c : cases) {
        std::vector<std::tuple<int, int, C>> got;
        for (const CaptionPass& p : CaptionPasses(c.style, c.shade, c.enabled))
            got.emplace_back(p.dx, p.dy, p.colour);
        EXPECT_EQ(got, c.passes) << static_cast<int>(c.style) << " " << c.enabled;
    }
}

TEST(FrameSizeAccepted, FitsHalfTheSmallerSideLessFive) {
    EXPECT_TRUE(FrameSizeAccepted(7, 75, 25));
    EXPECT_FALSE(FrameSizeAccepted(8, 75, 25));
    EXPECT_TRUE(FrameSizeAccepted(0, 75, 25));
    EXPECT_FALSE(FrameSizeAccepted(-1, 75, 25));
    EXPECT_FALSE(FrameSizeAccepted(12, 25, 75));  // the width limits too
}

// The bands of one part must tile the length exactly.
void ExpectTiled(const std::vector<GradientBand>& bands, int start, int length) {
    int at = start;
    for (const GradientBand& b : bands) {
        EXPECT_EQ(b.start, at);
        EXPECT_GT(b.length, 0);
        at += b.length;
    }
    EXPECT_EQ(at, start + length);
}

TEST(GradientBands, WidthAndColoursFollowTheLargestChannelChange) {
    // A full channel change over 100 pixels: one band a pixel.
    const auto short_bands = GradientBands(0x000000, 0xFFFFFF, 100);
    ASSERT_EQ(short_bands.size(), 100u);
    ExpectTiled(short_bands, 0, 100);
    EXPECT_EQ(short_bands[99].colour, 0xFCFCFC);  // 255 * 99 div 100 = 252

    // Over 1000 pixels bands are 4 wide: (255 + 999) * 100 div 25500.
    const auto long_bands = GradientBands(0x000000, 0x0000FF, 1000);
    ASSERT_EQ(long_bands.size(), 250u);
    EXPECT_EQ(long_bands[1].start, 4);
    ExpectTiled(long_bands, 0, 1000);
    EXPECT_EQ(long_bands[249].colour, 0x0000FD);  // (25500 div 250) * 249 div 100 = 253

    // A last band shorter than the others is cut at the length.
    const auto odd = GradientBands(0x000000, 0x000003, 10);  // a 3-step change over 10 pixels
    ExpectTiled(odd, 0, 10);
    EXPECT_EQ(odd.size(), 3u);  // bands of (3 + 9) * 100 div 300 = 4: 4, 4, 2
    EXPECT_EQ(odd[2].length, 2);

    // Falling channels truncate toward zero too.
    const auto falling = GradientBands(0x0000FF, 0x000000, 100);
    EXPECT_EQ(falling[1].colour, 0x0000FD);  // 255 + (-25500 div 100) * 1 div 100 = 255 - 2.55 -> 253

    EXPECT_TRUE(GradientBands(0x808080, 0x808080, 100).empty());
    EXPECT_TRUE(GradientBands(0x000000, 0xFFFFFF, 0).empty());
}

TEST(PanelGradientBands, SplitsByPercent) {
    const int32_t c1 = 0x0000FF, c2 = 0x00FF00, c3 = 0xFF0000;
    const auto bands = PanelGradientBands(c1, c2, c3, 20, 200);
    ASSERT_FALSE(bands.empty());
    EXPECT_EQ(bands.front().colour, c1);
    ExpectTiled(bands, 0, 200);
    // The second part starts at 40 with the second colour.
    auto second =
        std::find_if(bands.begin(), bands.end(), [](const GradientBand& b) { return b.start == 40; });
    ASSERT_NE(second, bands.end());
    EXPECT_EQ(second->colour, c2);

    // 100 % (and anything above) is one part; the third colour is not used.
    const auto whole = PanelGradientBands(c1, c2, c3, 150, 200);
    EXPECT_EQ(whole.size(), GradientBands(c1, c2, 200).size());
    EXPECT_EQ(whole.back().colour, GradientBands(c1, c2, 200).back().colour);

    // 0 % is clamped to 1 %: the first part is still at least one pixel long.
    const auto low = PanelGradientBands(c1, c2, c3, 0, 50);
    EXPECT_EQ(low.front().colour, c1);
    EXPECT_EQ(low.front().length, 1);
    EXPECT_EQ(low[1].start, 1);

    // Equal colours leave their part unpainted.
    const auto plain_first = PanelGradientBands(c2, c2, c3, 50, 100);
    ASSERT_FALSE(plain_first.empty());
    EXPECT_EQ(plain_first.front().start, 50);
    EXPECT_TRUE(PanelGradientBands(c1, c1, c3, 100, 100).empty());
}

}  // namespace
}  // namespace rowsmith::gui
