#include "gui/logic/control_rules.h"

#include <gtest/gtest.h>

#include "text/colours.h"

namespace rowsmith::gui {
namespace {

TEST(IsFolderEditName, IgnoresLetterCase) {
    struct Case {
        const char* name;
        bool folder;
    } cases[] = {{"EditfolderSource", true}, {"editFOLDER", true}, {"EditFolderDestination", true},
                 {"EditSource", false},      {"Editfolde", false}, {"", false},
                 {"xEditfolder", false}};
    for (const Case& c : cases) EXPECT_EQ(IsFolderEditName(c.name), c.folder) << c.name;
    EXPECT_TRUE(NameHasPrefix("Anything", ""));
}

TEST(DisabledColourFrom, DarkensTwiceByFifteen) {
    for (int32_t base : {0xC0C0C0, 0xE89868, 0xF0F0F0, 0x0000FF}) {
        const int32_t d = DisabledColourFrom(base);
        const text::Hls240T before = text::ColorToHls240(base);
        const text::Hls240T after = text::ColorToHls240(d);
        EXPECT_NEAR(after.Lightness, before.Lightness - 30, 1) << std::hex << base;
        if (before.Saturation > 0) { EXPECT_NEAR(after.Hue, before.Hue, 2) << std::hex << base; }
    }
    EXPECT_EQ(DisabledColourFrom(0x000000), 0x000000);
    EXPECT_EQ(DisabledColourFrom(0x0A0A0A), 0x000000);  // not below black
}

TEST(WindowArithmetic, FitsAndCentresDividingTowardZero) {
    const SizeT fit = FitFormSize(1920, 1080);
    EXPECT_EQ(fit.width, 1880);
    EXPECT_EQ(fit.height, 1020);
    struct Case {
        int sw, sh, w, h, x, y;
    } cases[] = {
        {800, 600, 456, 120, 172, 240},
        {800, 600, 455, 121, 172, 239},
        {800, 600, 803, 603, -1, -1},  // -1.5 -> -1, not -2
        {800, 600, 801, 601, 0, 0},
    };
    for (const Case& c : cases) {
        const PointT p = CentredOrigin(c.sw, c.sh, c.w, c.h);
        EXPECT_EQ(p.x, c.x) << c.w;
        EXPECT_EQ(p.y, c.y) << c.h;
    }
}

}  // namespace
}  // namespace rowsmith::gui
