#include "gui/logic/panel_layout_math.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace rowsmith::gui {
namespace {

std::vector<std::string> Fixed(std::initializer_list<int> heights) {
    std::vector<std::string> specs;
    for (int h : heights) specs.push_back("0.1|" + std::to_string(h) + "|" + std::to_string(h));
    return specs;
}

LayoutInputT Input(LayoutKindT kind, bool top, int width, int height, std::vector<std::string> specs) {
    LayoutInputT in;
    in.kind = kind;
    in.horizontal_top = top;
    in.column_width = 150;
    in.client_width = width;
    in.available_height = height;
    in.columns = ColumnCount(width, in.left_margin, in.right_margin, in.gap, in.column_width);
    in.specs = std::move(specs);
    return in;
}

TEST(LayoutSlots, CharactersAndOrderTexts) {
    EXPECT_EQ(SlotChar(0), '0');
    EXPECT_EQ(SlotChar(10), ':');
    EXPECT_EQ(SlotChar(20), 'D');
    EXPECT_EQ(SlotFromChar('D'), 20);
    EXPECT_EQ(SlotFromChar('E'), -1);
    EXPECT_EQ(SlotFromChar('/'), -1);

    const std::vector<NamedSlotT> registered = {{0, "Panel1"}, {1, "Panel2"}, {2, "PanelX"}, {3, "Other"}};
    struct Case {
        const char* names;
        const char* expected;
    } cases[] = {
        {"panel1,panel2", "ord:01"},
        {"panel*", "ord:012"},         // registration order, letter case ignored
        {"other,,panel2,", "ord:31"},  // doubled and trailing commas
        {"nope,panel1", "ord:0"},      // unknown names are skipped
        {"Pan*,other", "ord:0123"},
        {"*", "ord:0123"},
        {"x*", "ord:"},
        {"ord:21", "ord:21"},  // taken as it is
        {"", "ord:"},
    };
    for (const Case& c : cases) EXPECT_EQ(OrderTextFromNames(c.names, registered), c.expected) << c.names;

    EXPECT_EQ(OrderedSlots("ord:2.10", "012"), (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(OrderedSlots("ord:1315", "013"), (std::vector<int>{1, 3}));  // once each, registered only
    EXPECT_EQ(OrderedSlots("", "012"), (std::vector<int>{}));
}

TEST(LayoutSpecs, RegistrationStoredAndCollapsed) {
    struct Reg {
        const char* given;
        int height;
        const char* spec;
        int natural;
    } regs[] = {
        {"", 50, "0.1|50|50", 50},
        {"1||80||100", 50, "1|80|100", 80},
        {"2|x|9", 50, "2|x|9", 50},
        {"3", 40, "3", 40},
    };
    for (const Reg& r : regs) {
        const RegisteredSpecT got = RegistrationSpec(r.given, r.height);
        EXPECT_EQ(got.spec, r.spec) << r.given;
        EXPECT_EQ(got.natural_height, r.natural) << r.given;
    }

    struct Stored {
        const char* spec;
        int constraint;
        bool title;
        const char* expected;
    } stored[] = {
        {"0.1|50|50", 0, true, "0.1|74|74"},
        {"0.1|50|50", 30, false, "0.1|30|50"},
        {"0.1|50|50", 30, true, "0.1|54|74"},
        {"1|20|-1", 0, true, "1|44|-1"},
        {"1", 0, true, "1|24|-1"},
    };
    for (const Stored& s : stored)
        EXPECT_EQ(StoredSpec(s.spec, s.constraint, s.title, 24), s.expected) << s.spec;

    EXPECT_EQ(CollapsedHeight(true, 24, 24, 1, 6), 26);
    EXPECT_EQ(CollapsedHeight(true, 30, 24, 1, 6), 30);
    EXPECT_EQ(CollapsedHeight(false, 24, 24, 1, 6), 24);
    EXPECT_EQ(CollapsedHeight(false, 4, 24, 1, 6), 6);
    EXPECT_EQ(CollapsedSpec(26, 24), "0.1|26|24");
    EXPECT_EQ(NaturalHeight("0.1|26|24"), 26);
    EXPECT_EQ(NaturalHeight("5"), 0);

    struct Choice {
        bool any_solo, solo, collapsed, collapsible;
        SpecChoice expected;
    } choices[] = {
        {false, false, false, true, SpecChoice::Stored},    {false, false, true, true, SpecChoice::Collapsed},
        {false, false, true, false, SpecChoice::Stored},    {true, true, true, true, SpecChoice::Stored},
        {true, false, false, false, SpecChoice::Collapsed},
    };
    for (const Choice& c : choices)
        EXPECT_EQ(ChooseSpec(c.any_solo, c.solo, c.collapsed, c.collapsible), c.expected);
}

TEST(LayoutPacking, LargestFirstIntoSmallestColumn) {
    EXPECT_EQ(ColumnCount(600, 8, 8, 8, 150), 3);
    EXPECT_EQ(ColumnCount(482, 8, 8, 8, 150), 3);  // exactly three columns and two gaps
    EXPECT_EQ(ColumnCount(481, 8, 8, 8, 150), 2);
    EXPECT_EQ(ColumnCount(50, 8, 8, 8, 150), 1);
    EXPECT_EQ(ColumnCount(500, 8, 8, 0, 0), 1);

    struct Case {
        std::vector<int32_t> heights;
        int columns;
        std::vector<std::vector<int>> expected;
    } cases[] = {
        {{100, 50, 50, 30}, 2, {{0, 3}, {1, 2}}},
        {{50, 50, 50}, 2, {{0, 2}, {1}}},     // ties: first panel, first column
        {{30, 100, 60}, 3, {{1}, {2}, {0}}},  // the tallest goes first
        {{10, 20}, 1, {{0, 1}}},              // input order kept within a column
        {{40, 10, 10, 10, 10}, 2, {{0}, {1, 2, 3, 4}}},
        {{}, 2, {{}, {}}},
    };
    for (const Case& c : cases) EXPECT_EQ(PackColumns(c.heights, c.columns), c.expected);
}

TEST(LayoutArrange, HorizontalTopAndBottom) {
    // Three columns: 100 | 60 | 40 + 30.
    LayoutInputT in = Input(LayoutKindT::Horizontal, true, 500, 400, Fixed({100, 60, 40, 30}));
    ASSERT_EQ(in.columns, 3);
    LayoutResultT r = ArrangeLayout(in);
    EXPECT_EQ(r.panels, (std::vector<RectT>{
                            {8, 8, 150, 100}, {166, 8, 150, 60}, {324, 8, 150, 40}, {324, 56, 150, 30}}));
    EXPECT_EQ(r.main, (RectT{8, 116, 484, 276}));
    EXPECT_EQ(r.columns_used, 3);
    EXPECT_EQ(r.main_remaining, 276);
    EXPECT_EQ(r.used_height, 108);
    EXPECT_TRUE(r.panels_fit);
    EXPECT_TRUE(r.fits);

    in.horizontal_top = false;
    r = ArrangeLayout(in);
    // Each column ends at the bottom margin.
    EXPECT_EQ(r.panels,
              (std::vector<RectT>{
                  {8, 292, 150, 100}, {166, 332, 150, 60}, {324, 314, 150, 40}, {324, 362, 150, 30}}));
    EXPECT_EQ(r.main, (RectT{8, 8, 484, 276}));

    // The main control keeps its minimum: too little room makes the arrangement not fit.
    in.main_min_height = 290;
    EXPECT_FALSE(ArrangeLayout(in).fits);
    in.main_min_height = 276;
    EXPECT_TRUE(ArrangeLayout(in).fits);
    EXPECT_EQ(ArrangeLayout(in).slack, 0);
}

TEST(LayoutArrange, LLayoutOneColumnAndHeightsByWeights) {
    LayoutInputT in = Input(LayoutKindT::L, true, 500, 400, Fixed({100, 60, 40, 30}));
    LayoutResultT r = ArrangeLayout(in);
    EXPECT_EQ(r.panels, (std::vector<RectT>{
                            {8, 8, 150, 100}, {8, 116, 150, 60}, {8, 184, 150, 40}, {8, 232, 150, 30}}));
    EXPECT_EQ(r.main, (RectT{166, 8, 326, 384}));
    EXPECT_EQ(r.left_subset, 0xFu);
    EXPECT_EQ(r.columns_used, 1);
    // Spare room of the left column is what the container could give up.
    EXPECT_EQ(r.slack, 384 - 254);

    // A growable panel takes what the fixed ones leave; fixed panels are never stretched.
    in.specs = {"1|50|-1", "0.1|40|40"};
    r = ArrangeLayout(in);
    EXPECT_EQ(r.panels, (std::vector<RectT>{{8, 8, 150, 336}, {8, 352, 150, 40}}));
    in.specs = {"0.1|24|24", "0.1|26|24"};
    r = ArrangeLayout(in);
    EXPECT_EQ(r.panels, (std::vector<RectT>{{8, 8, 150, 24}, {8, 40, 150, 26}}));

    in.maximised = true;
    r = ArrangeLayout(in);
    EXPECT_EQ(r.main, (RectT{8, 8, 484, 384}));
    EXPECT_FALSE(r.panels_fit);
}

TEST(LayoutArrange, LLayoutSubsetSearch) {
    // 100, 80 and 50 do not fit one column of 184 pixels. Left {100, 50} with 80 packed and left {100}
    // with {80, 50} packed both leave 96; the one with more panels on the left wins.
    LayoutInputT in = Input(LayoutKindT::L, true, 500, 200, Fixed({100, 80, 50}));
    LayoutResultT r = ArrangeLayout(in);
    EXPECT_EQ(r.left_subset, 0b101u);
    // The packed column under the main control is as wide as it.
    EXPECT_EQ(r.panels, (std::vector<RectT>{{8, 8, 150, 100}, {166, 112, 326, 80}, {8, 116, 150, 50}}));
    EXPECT_EQ(r.main, (RectT{166, 8, 326, 96}));
    EXPECT_EQ(r.columns_used, 2);
    EXPECT_EQ(r.used_height, 88);

    // Equal height and equal count: the first pattern tried (from all panels downward) wins.
    in = Input(LayoutKindT::L, true, 500, 116, Fixed({50, 50}));
    r = ArrangeLayout(in);
    EXPECT_EQ(r.left_subset, 0b10u);
    EXPECT_EQ(r.panels[1], (RectT{8, 8, 150, 50}));
    EXPECT_EQ(r.panels[0], (RectT{166, 58, 326, 50}));
    EXPECT_EQ(r.main.height, 42);

    struct Case {
        std::vector<int> heights;
        int height;
        uint32_t subset;
    } cases[] = {
        {{100, 60, 40}, 164, 0b101u},               // {100, 40} left, 60 below the main control
        {{100, 60, 40}, 184, 0b011u},               // {100, 60} left now fits exactly and leaves more
        {{300, 20}, 200, 0b10u},                    // the tall panel fits nowhere on the left
        {{30, 30, 30, 30}, 100, 0b1100u},           // the first pair tried
        {std::vector<int>(10, 30), 200, 0b11111u},  // many panels: the longest leading run that fits
    };
    for (const Case& c : cases) {
        std::vector<std::string> specs;
        for (int h : c.heights) specs.push_back("0.1|" + std::to_string(h) + "|" + std::to_string(h));
        EXPECT_EQ(ArrangeLayout(Input(LayoutKindT::L, true, 500, c.height, specs)).left_subset, c.subset)
            << c.height;
    }
}

TEST(LayoutArrange, GrowablePanelsBesideTheMainControlLineUpWithTheTallestColumn) {
    // The growable panel is the last one. Beside (or above) the main control it grows only as far as
    // the tallest natural column reaches; the main control gets the rest. Without a main control, or
    // in the L layout's left column, it takes the room.
    struct Case {
        const char* what;
        LayoutKindT kind;
        bool top;
        bool main_visible;
        int height;
        std::vector<std::string> specs;
        RectT growable;
        int32_t main_height;
    } cases[] = {
        {"own column, top", LayoutKindT::Horizontal, true, true, 400,
         {"0.1|100|100", "0.1|60|60", "1|40|-1"}, {324, 8, 150, 100}, 276},
        {"own column, bottom", LayoutKindT::Horizontal, false, true, 400,
         {"0.1|100|100", "0.1|60|60", "1|40|-1"}, {324, 292, 150, 100}, 276},
        {"under a fixed panel", LayoutKindT::Horizontal, true, true, 400,
         {"0.1|100|100", "0.1|60|60", "0.1|30|30", "1|20|-1"}, {324, 46, 150, 62}, 276},
        {"capped by its maximum", LayoutKindT::Horizontal, true, true, 400,
         {"0.1|100|100", "0.1|60|60", "1|40|70"}, {324, 8, 150, 70}, 276},
        {"no main control", LayoutKindT::Horizontal, true, false, 400,
         {"0.1|100|100", "0.1|60|60", "1|40|-1"}, {324, 8, 150, 384}, 0},
        {"L, below the main control", LayoutKindT::L, true, true, 204,
         {"0.1|100|100", "0.1|80|80", "1|30|-1"}, {166, 166, 326, 30}, 150},
        {"L, in the left column", LayoutKindT::L, true, true, 400,
         {"0.1|100|100", "0.1|80|80", "1|30|-1"}, {8, 204, 150, 188}, 384},
    };
    for (const Case& c : cases) {
        LayoutInputT in = Input(c.kind, c.top, 500, c.height, c.specs);
        in.main_visible = c.main_visible;
        const LayoutResultT r = ArrangeLayout(in);
        EXPECT_EQ(r.panels.back(), c.growable) << c.what;
        if (c.main_visible) { EXPECT_EQ(r.main.height, c.main_height) << c.what; }
        EXPECT_TRUE(r.fits) << c.what;
    }
}

MinSizeInputT MinInput(LayoutKindT kind, std::vector<std::string> specs) {
    MinSizeInputT in;
    in.layout = Input(kind, true, 500, 400, std::move(specs));
    in.layout.main_min_height = 50;
    in.main_min_width = 100;
    in.container_name = "Form1";
    return in;
}

TEST(LayoutMinimumSize, WidthHeightAndCache) {
    MinSizeInputT in = MinInput(LayoutKindT::L, Fixed({100, 60, 40}));
    EXPECT_EQ(MinimumWidth(in), 8 + 150 + 158 + 8);
    in.main_min_width = 400;
    EXPECT_EQ(MinimumWidth(in), 8 + 400 + 158 + 8);
    in.layout.kind = LayoutKindT::Horizontal;
    EXPECT_EQ(MinimumWidth(in), 8 + 408);
    in.main_min_width = 100;
    EXPECT_EQ(MinimumWidth(in), 8 + 308 + 8);
    in.layout.main_visible = false;
    in.frame_width = 4;
    EXPECT_EQ(MinimumWidth(in), 8 + 4 + 308 + 8);
    in.layout.maximised = true;
    EXPECT_EQ(MinimumWidth(in), 100 + 8 + 4 + 8);

    // Horizontal: 100 | 60 + 40 above a main control of at least 50, plus status bar and frame.
    in = MinInput(LayoutKindT::Horizontal, Fixed({100, 60, 40}));
    in.status_bar_height = 20;
    in.frame_height = 4;
    EXPECT_EQ(SearchMinimumHeight(in), 8 + 108 + 8 + 50 + 8 + 20 + 4);
    // L: the search walks down through the left-column choices to {100, 40} beside the main control
    // with 60 below it.
    in = MinInput(LayoutKindT::L, Fixed({100, 60, 40}));
    EXPECT_EQ(SearchMinimumHeight(in), 164);
    in.min_columns = 1;  // one column: everything must stack on the left
    EXPECT_EQ(SearchMinimumHeight(in), 8 + 216 + 8);
    in.layout.maximised = true;
    EXPECT_EQ(SearchMinimumHeight(in), 8 + 50 + 8);

    // A width with room for more columns lowers the minimum height; fewer than the minimum columns
    // never raise it.
    in = MinInput(LayoutKindT::Horizontal, Fixed({100, 60, 40}));
    struct ColumnsCase {
        int height_columns;
        int32_t height;
    } columns_cases[] = {{0, 8 + 108 + 8 + 50 + 8}, {1, 8 + 108 + 8 + 50 + 8}, {3, 8 + 100 + 8 + 50 + 8}};
    for (const ColumnsCase& c : columns_cases) {
        in.height_columns = c.height_columns;
        EXPECT_EQ(SearchMinimumHeight(in), c.height) << c.height_columns;
    }
    in.height_columns = 2;
    const std::string two = MinHeightCacheKey(in);
    in.height_columns = 3;
    EXPECT_NE(MinHeightCacheKey(in), two);  // each column count keeps its own entry

    in = MinInput(LayoutKindT::L, {"0.1|74|74", "0.1|26|24"});
    in.status_bar_height = 20;
    const std::string key = MinHeightCacheKey(in);
    EXPECT_EQ(key, "74|26|8,8,v,Form1,exists,2,8,8,8,8,8,50,100,20:");
    std::vector<std::string> cache = {"other:5", key + "999"};
    EXPECT_EQ(CachedMinimumHeight(in, cache), 999);
    in.layout.main_visible = false;
    const std::string second = MinHeightCacheKey(in);
    EXPECT_NE(second, key);
    const int32_t searched = CachedMinimumHeight(in, cache);
    ASSERT_EQ(cache.size(), 3u);
    EXPECT_EQ(cache.back(), second + std::to_string(searched));
}

TEST(LayoutButtons, Placement) {
    struct Case {
        bool solo, any_solo, collapsed, collapsible, title;
        bool bevel, title_button, corner_button;
    } cases[] = {
        {false, false, false, true, true, true, true, false},
        {false, false, true, true, true, false, true, false},
        {false, false, false, true, false, true, false, true},
        {false, false, false, false, true, true, false, false},
        {true, true, true, true, true, true, false, false},     // solo: bevel, no buttons
        {false, true, false, true, true, false, false, false},  // another panel is solo
    };
    for (const Case& c : cases) {
        ButtonInputT in;
        in.solo = c.solo;
        in.any_solo = c.any_solo;
        in.collapsed = c.collapsed;
        in.collapsible = c.collapsible;
        in.title_bar_visible = c.title;
        const ButtonPlacementT p = PlaceButtons(in);
        EXPECT_EQ(p.bevel_visible, c.bevel);
        EXPECT_EQ(p.title_button_visible, c.title_button);
        EXPECT_EQ(p.corner_button_visible, c.corner_button);
    }
    ButtonInputT in;
    in.column_width = 150;
    in.title_bar_bevel_width = 1;
    in.panel_height = 100;
    in.label_height = 13;
    ButtonPlacementT p = PlaceButtons(in);
    EXPECT_EQ(p.title_button, (RectT{127, 2, 18, 18}));
    EXPECT_EQ(p.corner_button, (RectT{138, 0, 12, 12}));
    EXPECT_EQ(p.label_top, 6);
    in.panel_height = 10;
    EXPECT_EQ(PlaceButtons(in).label_top, 0);
}

TEST(LayoutTitles, DisabledMarkAndColours) {
    struct Case {
        const char* title;
        bool enabled;
        const char* expected;
    } cases[] = {
        {"Paths", false, "Paths (Disabled)"},           {"Paths (Disabled)", false, "Paths (Disabled)"},
        {"Paths (DISABLED) (disabled)", true, "Paths"}, {"Paths", true, "Paths"},
        {" (disabled)", false, " (Disabled)"},
    };
    for (const Case& c : cases) EXPECT_EQ(TitleWithState(c.title, c.enabled), c.expected) << c.title;
    EXPECT_EQ(TitleFromCaption("Paths|hint"), "Paths");
    EXPECT_EQ(TitleFromCaption("Options"), "Options");

    EXPECT_EQ(SlotBaseColour(0xFFDFDA, true, false), 0xFFDFDA);
    EXPECT_EQ(SlotBaseColour(0xFFDFDA, false, false), kSlotGrey);
    EXPECT_EQ(SlotBaseColour(0xFFDFDA, true, true), kSlotGrey);
    const SlotColoursT g = SlotColours(0x808080, true);
    EXPECT_EQ(g.background_1, 0x808080);
    EXPECT_EQ(g.background_3, 0x808080);
    EXPECT_GT(g.background_2 & 0xFF, 0x80);  // lightened
    EXPECT_LT(g.title_1 & 0xFF, 0x80);       // darkened
    EXPECT_EQ(g.title_3, g.title_1);
    EXPECT_GT(g.title_2 & 0xFF, g.title_1 & 0xFF);
    const SlotColoursT flat = SlotColours(0x123456, false);
    EXPECT_EQ(flat.background_1, 0x123456);
    EXPECT_EQ(flat.background_2, 0x123456);
    EXPECT_EQ(TitleTextColour(0xF0F0F0), 0x000000);
    EXPECT_EQ(TitleTextColour(0x404040), 0xFFFFFF);
}

TEST(LayoutMenu, CommandsAndCheckMarks) {
    struct Case {
        const char* command;
        MenuAction action;
    } cases[] = {
        {"collapseall", MenuAction::CollapseAll},
        {"maximizeall", MenuAction::RestoreAll},
        {"UnhideAllTitleBars", MenuAction::ShowAllTitleBars},
        {"llay", MenuAction::LLayout},
        {"ChangeStyleLowered", MenuAction::StyleLowered},
        {"changestyleloweredraised", MenuAction::StyleLoweredRaised},
        {"", MenuAction::None},
        {"nothing", MenuAction::None},
    };
    for (const Case& c : cases) EXPECT_EQ(MenuActionFor(c.command), c.action) << c.command;
    EXPECT_EQ(MenuCommandIndex("toggletitlebar"), 3);
    const auto& entries = TitleMenuEntries();
    EXPECT_EQ(entries.size(), 16u);
    EXPECT_EQ(
        std::count_if(entries.begin(), entries.end(), [](const MenuEntryT& e) { return e.caption.empty(); }),
        4);
    for (const MenuEntryT& e : entries) {
        if (!e.command.empty()) {
            EXPECT_NE(MenuActionFor(e.command), MenuAction::None) << e.command;
        }
    }
    EXPECT_EQ(CurrentLayoutCommand(LayoutKindT::L, false), "llay");
    EXPECT_EQ(CurrentLayoutCommand(LayoutKindT::Horizontal, true), "hortop");
    EXPECT_EQ(CurrentLayoutCommand(LayoutKindT::Horizontal, false), "horbot");
}

TEST(LayoutAnimation, CurvesEndAtTheTarget) {
    // A long shrink falls to the target, bounces back a little (never below the target) and settles.
    std::vector<int32_t> f = ShrinkFrames(200, 24);
    ASSERT_FALSE(f.empty());
    EXPECT_EQ(f.back(), 24);
    EXPECT_GE(*std::min_element(f.begin(), f.end()), 24);
    const auto first_low = std::find(f.begin(), f.end(), 24);
    ASSERT_NE(first_low, f.end());
    const int32_t bounce = *std::max_element(first_low, f.end());
    EXPECT_EQ(bounce, 24 + 20);
    // A short shrink is one even pass.
    f = ShrinkFrames(40, 24);
    EXPECT_EQ(f.size(), 16u);
    EXPECT_EQ(f.front(), 39);
    EXPECT_EQ(f.back(), 24);
    EXPECT_TRUE(ShrinkFrames(24, 24).empty());

    // A long growth reaches the target, sinks back to 90 % and settles at the target.
    f = GrowFrames(24, 200, 24);
    EXPECT_EQ(f.back(), 200);
    EXPECT_LE(*std::max_element(f.begin(), f.end()), 200);
    const auto first_top = std::find(f.begin(), f.end(), 200);
    EXPECT_EQ(*std::min_element(first_top, f.end()), 180);
    f = GrowFrames(24, 40, 24);
    EXPECT_EQ(f.size(), 16u);
}

}  // namespace
}  // namespace rowsmith::gui
