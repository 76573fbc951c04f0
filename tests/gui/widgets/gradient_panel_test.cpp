#include "gui/widgets/gradient_panel.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>

#include "gui/widgets/qt_colours.h"

namespace rowsmith::gui {
namespace {

QImage Grab(QWidget& w) {
    return w.grab().toImage();
}

int32_t Pixel(const QImage& image, int x, int y) {
    return FromQColor(image.pixelColor(x, y));
}

// Largest channel difference.
int Distance(int32_t a, int32_t b) {
    int d = 0;
    for (int shift : {0, 8, 16}) d = std::max(d, std::abs(((a >> shift) & 0xFF) - ((b >> shift) & 0xFF)));
    return d;
}

constexpr int32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;

TEST(TGPanel, ThreeColoursSplitAtPercentFromTheTop) {
    TGPanel panel;
    panel.resize(60, 202);  // raised outer bevel of 1: the gradient area is 200 high from y = 1
    panel.SetHorizontal(false);
    panel.SetPercent(20);
    panel.SetColor_1(kRed);
    panel.SetColor_2(kGreen);
    panel.SetColor_3(kBlue);
    const QImage image = Grab(panel);

    EXPECT_EQ(Pixel(image, 30, 1), kRed);
    // The top fifth runs red to green: green rises and red falls all the way down to row 40.
    for (int y = 2; y <= 40; ++y) {
        const int32_t above = Pixel(image, 30, y - 1), here = Pixel(image, 30, y);
        EXPECT_GE(here & 0xFF00, above & 0xFF00) << y;
        EXPECT_LE(here & 0xFF, above & 0xFF) << y;
        EXPECT_EQ(here & 0xFF0000, 0) << y;  // no blue in the first part
    }
    EXPECT_LE(Distance(Pixel(image, 30, 40), kGreen), 7);
    // The rest starts at 1 + 40 with the second colour and ends near the third.
    EXPECT_EQ(Pixel(image, 30, 41), kGreen);
    EXPECT_GT(Pixel(image, 30, 120) & 0xFF0000, 0);
    EXPECT_LE(Distance(Pixel(image, 30, 200), kBlue), 3);
    // Bands run across the full width inside the bevel.
    EXPECT_EQ(Pixel(image, 1, 120), Pixel(image, 58, 120));
    // The bevel itself is not painted over.
    EXPECT_NE(Pixel(image, 0, 120), Pixel(image, 1, 120));
}

TEST(TGPanel, HorizontalRunsLeftToRight) {
    TGPanel panel;
    panel.SetBevelOuter(TPanelBevel::bvNone);
    panel.resize(256, 20);
    panel.SetColor_1(0x000000);
    panel.SetColor_2(0xFFFFFF);
    const QImage image = Grab(panel);
    EXPECT_EQ(Pixel(image, 0, 10), 0x000000);
    EXPECT_LE(Distance(Pixel(image, 255, 10), 0xFFFFFF), 4);
    EXPECT_EQ(Pixel(image, 128, 0), Pixel(image, 128, 19));
}

TEST(TGPanel, EqualColoursLeaveThePlainPanelColour) {
    TGPanel panel;
    panel.resize(80, 40);
    panel.SetColor(0x336699);
    panel.SetColor_1(0x0000FF);
    panel.SetColor_2(0x0000FF);
    const QImage image = Grab(panel);
    for (int x = 1; x < 79; x += 13)
        for (int y = 1; y < 39; y += 7) EXPECT_EQ(Pixel(image, x, y), 0x336699) << x << "," << y;

    // Inactive panels paint no gradient either.
    panel.SetColor_2(0x00FF00);
    panel.SetActive(false);
    EXPECT_EQ(Pixel(Grab(panel), 40, 20), 0x336699);
}

TEST(TGPanel, PercentIsClamped) {
    TGPanel panel;
    struct Case {
        int set, stored;
    } cases[] = {{0, 1}, {-7, 1}, {20, 20}, {100, 100}, {250, 100}};
    for (const Case& c : cases) {
        panel.SetPercent(c.set);
        EXPECT_EQ(panel.Percent(), c.stored) << c.set;
    }
}

TEST(TPanel, BordersAndBevelsInsetTheGradient) {
    TGPanel panel;
    panel.resize(50, 50);
    panel.SetBorderSingle(true);  // 3-D border: 2 pixels outside the client area
    panel.SetBevelInner(TPanelBevel::bvLowered);
    panel.SetBevelWidth(2);  // 2 bevels of 2
    panel.SetColor_1(0x0000FF);
    panel.SetColor_2(0x0000FF - 0x10);
    EXPECT_EQ(panel.ClientRect(), QRect(2, 2, 46, 46));
    const QImage image = Grab(panel);
    EXPECT_EQ(Pixel(image, 6, 25), 0x0000FF);  // 2 border + 4 bevel
    EXPECT_NE(Pixel(image, 5, 25), 0x0000FF);
}

}  // namespace
}  // namespace rowsmith::gui
