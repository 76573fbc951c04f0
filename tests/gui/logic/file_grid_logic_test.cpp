// The file grid's decisions without a widget: sort keys by title clicks, the column list, column
// widths, menu bookkeeping and the exported HTML.
#include "gui/logic/file_grid_logic.h"

#include <gtest/gtest.h>

#include <numeric>

#include "tables/string_table.h"

namespace rowsmith::gui {
namespace {

TEST(GridLogic, TitleClicksToggleSortKeys) {
    struct Case {
        const char* sort_text;
        const char* key;
        const char* separator;
        bool ctrl;
        const char* expected;
    };
    const Case cases[] = {
        // Shift-clicks on "Filename" from the default sort text, three times.
        {"alphabetical", "filename", "^", false, "filename"},
        {"filename", "filename", "^", false, "-filename"},
        {"-filename", "filename", "^", false, "filename"},
        // Ctrl+Shift on "Path", then on "Filename".
        {"-filename", "filepath", "^", true, "-filename^filepath"},
        {"-filename^filepath", "filename", "^", true, "filename^filepath"},
        {"filename^filepath", "filepath", "^", true, "filename^-filepath"},
        // Replace mode on a longer sort text starts over with the key alone.
        {"filename^-filepath", "filepath", "^", false, "filepath"},
        {"size^filename", "filename", "^", false, "filename"},
        // An empty sort text takes the key in add mode too.
        {"", "filename", "^", true, "filename"},
        // Only whole items count: "filename" inside "filenamename" is not the key.
        {"filenamename", "filename", "^", true, "filenamename^filename"},
        {"xfilename", "filename", "^", true, "xfilename^filename"},
        // A separator of more than one character bounds items as well.
        {"a::filename", "filename", "::", true, "a::-filename"},
        // Without a separator the first plain occurrence is the key.
        {"xfilenamex", "filename", "", true, "x-filenamex"},
        // An empty key changes nothing.
        {"alphabetical", "", "^", false, "alphabetical"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SortTextAfterTitleClick(c.sort_text, c.key, c.separator, c.ctrl), c.expected)
            << c.sort_text << " + " << c.key << (c.ctrl ? " (ctrl)" : "");
}

TEST(GridLogic, FindSortKeyReportsPositionOfWholeItem) {
    EXPECT_EQ(FindSortKey("-filename^filepath", "filepath", "^"), 11u);
    EXPECT_EQ(FindSortKey("filepathx^filepath", "filepath", "^"), 11u);
    EXPECT_EQ(FindSortKey("filepathx", "filepath", "^"), 0u);
}

ColumnListT ListOf(std::initializer_list<std::pair<int32_t, bool>> entries, int32_t& count) {
    ColumnListT list(1);
    count = 0;
    uint8_t placeholder = 0;
    for (auto [code, visible] : entries) {
        AddColumnEntry(list, count, placeholder, code, std::to_string(code));
        list.back().Visible = visible;
    }
    return list;
}

std::vector<int32_t> Codes(const ColumnListT& list, int32_t count) {
    std::vector<int32_t> out;
    for (int32_t i = 1; i <= count; ++i) out.push_back(list[static_cast<std::size_t>(i)].Code);
    return out;
}

TEST(GridLogic, PlaceholderLeavesWithTheFirstRealColumn) {
    ColumnListT list(1);
    int32_t count = 0;
    uint8_t placeholder = 0;
    AddColumnEntry(list, count, placeholder, 67, "10|20|50");
    AddColumnEntry(list, count, placeholder, 0, "80");
    placeholder = 1;
    AddColumnEntry(list, count, placeholder, 51, "20");
    EXPECT_EQ(placeholder, 0);
    EXPECT_EQ(Codes(list, count), (std::vector<int32_t>{67, 51}));
    EXPECT_EQ(list.size(), static_cast<std::size_t>(count) + 1);

    // Adding a listed code again updates it in place and shows it.
    list[1].Visible = 0;
    list[1].Fixed = 1;
    EXPECT_EQ(AddColumnEntry(list, count, placeholder, 67, "5"), 1);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(list[1].Visible, 1);
    EXPECT_EQ(list[1].Fixed, 0);
    EXPECT_EQ(list[1].Width, "5");
}

TEST(GridLogic, VisibilityOfMissingCodesReportsFalse) {
    int32_t count = 0;
    ColumnListT list = ListOf({{53, true}, {80, false}}, count);
    EXPECT_FALSE(SetColumnEntryVisible(list, count, 99, true));
    EXPECT_FALSE(ToggleColumnEntry(list, count, 99));
    EXPECT_TRUE(ToggleColumnEntry(list, count, 80));
    EXPECT_EQ(VisibleEntries(list, count), (std::vector<int32_t>{1, 2}));
    EXPECT_TRUE(SetColumnEntryVisible(list, count, 53, false));
    EXPECT_EQ(EntryOfGridColumn(list, count, 0), 2);
    EXPECT_EQ(EntryOfGridColumn(list, count, 1), 0);
    EXPECT_EQ(EntryOfGridColumn(list, count, -1), 0);
}

TEST(GridLogic, MovingColumnsKeepsTheListInGridOrder) {
    struct Case {
        int32_t from, to;
        std::vector<int32_t> expected;
    };
    // Visible: 1, 3, 4, 5 (2 is hidden and stays where the list puts it).
    const Case cases[] = {
        {0, 2, {2, 3, 4, 1, 5}}, {3, 0, {5, 1, 2, 3, 4}}, {1, 2, {1, 2, 4, 3, 5}}, {2, 1, {1, 2, 4, 3, 5}},
        {1, 1, {1, 2, 3, 4, 5}}, {0, 4, {1, 2, 3, 4, 5}},  // no fifth visible column: nothing moves
    };
    for (const Case& c : cases) {
        int32_t count = 0;
        ColumnListT list = ListOf({{1, true}, {2, false}, {3, true}, {4, true}, {5, true}}, count);
        MoveColumnEntry(list, count, c.from, c.to);
        EXPECT_EQ(Codes(list, count), c.expected) << c.from << "->" << c.to;
    }
}

TEST(GridLogic, LeadingFixedColumnsSkipHiddenOnes) {
    int32_t count = 0;
    ColumnListT list = ListOf({{1, true}, {2, false}, {3, true}, {4, true}}, count);
    list[1].Fixed = 1;
    list[3].Fixed = 1;
    EXPECT_EQ(CountLeadingFixed(list, count), 2);
    list[1].Fixed = 0;
    EXPECT_EQ(CountLeadingFixed(list, count), 0);
}

TEST(GridLogic, WidthListsAreCleanedAndDivided) {
    const std::pair<const char*, const char*> cleaning[] = {
        {",10|20|50,80,30", "10|20|50,80,30"}, {",,a,,,b,", "a,b"}, {",", ""}, {"", ""}, {"a", "a"}};
    for (auto [in, out] : cleaning) EXPECT_EQ(CleanWidthList(in), out) << in;

    int32_t count = 0;
    ColumnListT list = ListOf({{67, true}, {86, false}, {53, true}, {103, true}}, count);
    list[1].Width = "10|20|50";
    list[3].Width = "80";
    list[4].Width = "30";
    EXPECT_EQ(JoinVisibleWidths(list, count), ",10|20|50,80,30");

    // Wide: the number column stops at its maximum, the rest is shared 80:30.
    std::vector<int32_t> wide = ColumnWidths(1000, 3, 1, JoinVisibleWidths(list, count));
    ASSERT_EQ(wide.size(), 3u);
    EXPECT_EQ(wide[0], 50);
    EXPECT_EQ(std::accumulate(wide.begin(), wide.end(), 0), 997);
    EXPECT_NEAR(wide[1], 947 * 80 / 110, 1);

    // Narrow: it keeps its minimum.
    std::vector<int32_t> narrow = ColumnWidths(120, 3, 1, JoinVisibleWidths(list, count));
    EXPECT_EQ(narrow[0], 20);
    EXPECT_EQ(std::accumulate(narrow.begin(), narrow.end(), 0), 117);

    // A raised minimum (the number column's caption) holds in a narrow grid; other entries keep theirs.
    const std::string raised = JoinVisibleWidths(list, count, [](int32_t code) { return code == 67 ? 56 : 0; });
    EXPECT_EQ(raised, ",10|56|56,80,30");
    EXPECT_EQ(ColumnWidths(300, 3, 1, raised)[0], 56);
    const std::pair<const char*, const char*> raising[] = {
        {"10|20|50", "10|60|60"}, {"80", "80|60"}, {"5|70", "5|70"}, {"5|-1|90", "5|60|90"}, {"", "1|60"}};
    for (auto [in, out] : raising) EXPECT_EQ(RaiseWidthMinimum(in, 60), out) << in;

    // Columns the list has no entry for get 0; no room at all gives 0 everywhere.
    EXPECT_EQ(ColumnWidths(100, 3, 1, "50"), (std::vector<int32_t>{97, 0, 0}));
    EXPECT_EQ(ColumnWidths(2, 3, 1, "1,1,1"), (std::vector<int32_t>{0, 0, 0}));
    EXPECT_TRUE(ColumnWidths(100, 0, 1, "1").empty());
}

TEST(GridLogic, DraggedWidthsAreKeptAndTheOthersShareTheRest) {
    struct Case {
        const char* what;
        int32_t client;
        const char* widths;
        std::vector<int32_t> kept, expected;
    };
    const Case cases[] = {
        {"nothing kept divides as ever", 103, ",1,1,1", {0, 0, 0}, {34, 33, 33}},
        {"one kept, two share by weight", 503, ",10|20|50,30,10", {0, 300, 0}, {50, 300, 150}},
        // The kept column's weight no longer counts: the others divide 1:3.
        {"weights of the rest only", 403, "3,1,3", {0, 0, 0}, {172, 57, 171}},
        {"kept wider than the grid leaves 0", 103, "1,1,1", {0, 500, 0}, {0, 500, 0}},
        {"all kept", 53, "1,1", {10, 20}, {10, 20}},
        {"more columns than items", 103, "1", {0, 0, 40}, {60, 0, 40}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ColumnWidthsKeeping(c.client, 1, c.widths, c.kept), c.expected) << c.what;
    }
    // The 1:3 case above: weights 3 and 3 of columns 1 and 3 only once column 2 is kept.
    EXPECT_EQ(ColumnWidthsKeeping(403, 1, "3,1,3", {0, 100, 0}), (std::vector<int32_t>{150, 100, 150}));
    EXPECT_TRUE(ColumnWidthsKeeping(100, 1, "1", {}).empty());
}

TEST(GridLogic, PathsElideInTheMiddleAndNamesGiveThemRoom) {
    for (int32_t code : {tables::kCodePath, tables::kCodeFinalDestination, tables::kCodeFullPath})
        EXPECT_TRUE(ElidesInMiddle(code)) << code;
    for (int32_t code : {tables::kCodeFilename, tables::kCodeNumber, tables::kCodeSize})
        EXPECT_FALSE(ElidesInMiddle(code)) << code;
    // The name columns weigh less than the paths shown with them.
    const std::vector<int32_t> sizes = ColumnWidths(
        1003, 3, 1,
        std::string(GridColumnWidth(tables::kCodeNumber, "10|20|50")) + "," +
            std::string(GridColumnWidth(tables::kCodeFilename, "80")) + "," +
            std::string(GridColumnWidth(tables::kCodeFinalDestination, "30")));
    EXPECT_LT(sizes[1], sizes[2]);
    EXPECT_LT(sizes[1], 500);
    EXPECT_EQ(GridColumnWidth(tables::kCodeSize, "10"), "10");
}

TEST(GridLogic, PrintKeepsTheWidthsOnScreen) {
    struct Case {
        const char* what;
        std::vector<int32_t> widths;
        int32_t screen_dpi, printer_dpi, page;
        std::vector<int32_t> edges;
    };
    const Case cases[] = {
        {"same resolution, room to spare", {100, 50, 200}, 96, 96, 1000, {0, 100, 150, 350}},
        {"printer resolution", {96, 48}, 96, 600, 5000, {0, 600, 900}},
        {"narrowed to the page, in proportion", {300, 100}, 96, 96, 200, {0, 150, 200}},
        {"hidden column", {100, 0, 100}, 96, 96, 1000, {0, 100, 100, 200}},
        {"nothing to print", {0, 0}, 96, 96, 1000, {0, 0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PrintColumnEdges(c.widths, c.screen_dpi, c.printer_dpi, c.page), c.edges) << c.what;
}

TEST(GridLogic, MenuCaptionsAreCutFromTheFront) {
    const std::string forty(40, 'x');
    const std::string long_caption = "0123456789" + std::string(38, 'y') + "tail";
    EXPECT_EQ(MenuCaption(forty), forty);
    EXPECT_EQ(MenuCaption(forty + "z"), ".." + std::string(37, 'x') + "z");
    EXPECT_EQ(MenuCaption(long_caption).size(), 40u);
    EXPECT_EQ(MenuCaption(long_caption), ".." + long_caption.substr(long_caption.size() - 38));
    EXPECT_EQ(MenuCaption(""), "");
}

TEST(GridLogic, MenuPositionsResolveEachClickToOneAction) {
    int32_t count = 0;
    ColumnListT list = ListOf({{67, true}, {86, false}, {53, true}}, count);
    list[2].InMenu = 0;
    MenuPositionsT positions{};
    const auto plan = BuildMenuPlan(list, count, positions, {true, false, true}, [](int32_t code) {
        return code == 53 ? std::string(45, 'n') : "Number";
    });

    ASSERT_EQ(plan.size(), 13u);  // 8 entries, 3 separators, 2 columns in the menu
    EXPECT_EQ(positions[kMenuSaveHtml], 0);
    EXPECT_EQ(positions[kMenuPrint], 1);
    EXPECT_EQ(plan[2].kind, MenuPlanItem::Kind::Separator);
    EXPECT_EQ(positions[kMenuFont], 3);
    EXPECT_EQ(positions[kMenuProportionalFont], 4);
    EXPECT_EQ(positions[kMenuResetFont], 5);
    EXPECT_EQ(positions[kMenuGridBands], 7);
    EXPECT_TRUE(plan[7].checked);
    EXPECT_FALSE(plan[8].checked);
    EXPECT_TRUE(plan[9].checked);
    EXPECT_EQ(list[1].MenuItem, 11);
    EXPECT_EQ(list[2].MenuItem, -1);
    EXPECT_EQ(list[3].MenuItem, 12);
    EXPECT_EQ(plan[12].caption.size(), 40u);
    EXPECT_TRUE(plan[11].checked);

    struct Click {
        int32_t position, entry, code;
    };
    const Click clicks[] = {{0, kMenuSaveHtml, -1},
                            {4, kMenuProportionalFont, -1},
                            {9, kMenuHorizontalLines, -1},
                            {2, -1, -1},
                            {11, -1, 67},
                            {12, -1, 53},
                            {13, -1, -1},
                            {-1, -1, -1}};
    for (const Click& c : clicks) {
        const MenuClickT r = ResolveMenuClick(c.position, positions, list, count);
        EXPECT_EQ(r.entry, c.entry) << c.position;
        EXPECT_EQ(r.code, c.code) << c.position;
    }
}

TEST(GridLogic, HtmlEscapesEveryCellAndTitle) {
    EXPECT_EQ(EscapeHtml(R"(<a href="x">Tom & Jerry's</a>)"),
              "&lt;a href=&quot;x&quot;&gt;Tom &amp; Jerry&#39;s&lt;/a&gt;");

    const std::vector<std::vector<std::string>> rows = {{"Name", "Size"}, {"a<b", "1,000"}, {"c&d", "\"q\""}};
    auto cell = [&](int32_t col, int32_t row) -> std::string_view { return rows[row][col]; };
    const std::string with_titles = HtmlTableText("List <1>", 2, 3, true, cell);
    EXPECT_NE(with_titles.find("<title>List &lt;1&gt;</title>"), std::string::npos);
    EXPECT_NE(with_titles.find("<tr><th>Name</th><th>Size</th></tr>"), std::string::npos);
    EXPECT_NE(with_titles.find("<tr><td>a&lt;b</td><td>1,000</td></tr>"), std::string::npos);
    EXPECT_NE(with_titles.find("<td>c&amp;d</td><td>&quot;q&quot;</td>"), std::string::npos);

    const std::string without = HtmlTableText("", 2, 3, false, cell);
    EXPECT_EQ(without.find("<th>"), std::string::npos);
    EXPECT_EQ(without.find("<h1>"), std::string::npos);
    std::size_t rows_written = 0;
    for (std::size_t p = without.find("<tr>"); p != std::string::npos; p = without.find("<tr>", p + 1))
        ++rows_written;
    EXPECT_EQ(rows_written, 2u);
}

}  // namespace
}  // namespace rowsmith::gui
