#include "text/lists.h"

#include <gtest/gtest.h>

#include <numeric>

namespace rowsmith::text {
namespace {

TEST(ItemLists, JoinAndItemInfo) {
    EXPECT_EQ(JoinItems({"skipped", "a", "", "b"}),
              "a\x05"
              "b");
    EXPECT_EQ(JoinItems({"only item 0"}), "");
    ItemInfoT item;
    item.Name = "song";
    item.Values = {1, -2, 30, 0};
    const std::string text = ItemInfoText(item);
    EXPECT_EQ(text,
              "song\x04"
              "1\x04-2\x04"
              "30\x04"
              "0");
    const ItemInfoT back = ParseItemInfo(text);
    EXPECT_EQ(back.Name, item.Name);
    EXPECT_EQ(back.Values, item.Values);
    // Unreadable fields take the default 1, missing or empty ones read 0, huge ones 0.
    const ItemInfoT odd = ParseItemInfo(
        "n\x04x\x04\x04"
        "99999999999");
    EXPECT_EQ(odd.Values, (std::array<int32_t, 4>{1, 0, 0, 0}));
}

TEST(ItemLists, ProgressPercent) {
    struct Case {
        int64_t value, first, last;
        int32_t top, bottom, expected;
    } cases[] = {
        {1, 1, 10, 100, 0, 10},  {10, 1, 10, 100, 0, 100}, {5, 1, 10, 50, 0, 25},  {5, 1, 10, 150, 0, 50},
        {5, 1, 10, 100, -5, 50}, {1, 1, 1, 100, 20, 100},  {5, 1, 10, 80, 20, 50},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgressPercent(c.value, c.first, c.last, c.top, c.bottom), c.expected) << c.value;
}

TEST(DivideByWeights, SizesAndSpans) {
    struct Case {
        int32_t length;
        const char* weights;
        int mode;
        bool last_is_least;
        const char* expected;
    } cases[] = {
        {10, "1,1", 0, false, "5,5"},
        {10, "1,1,1", 0, false, "4,3,3"},  // the left-over position goes to entry 1
        {11, "1,1,1", 0, false, "4,4,3"},
        {10, "1,1,1", 1, false, "1-4,5-7,8-10"},
        {100, "0,1", 0, false, "10,90"},  // a weight of 0 counts as 0.1 (9 + the left-over position)
        {300, "1,1,1", 0, false, "100,100,100"},
        {100, "10|20|50,80", 0, false, "20,80"},       // raised to the minimum
        {100, "80|0|30,10,10", 0, false, "30,35,35"},  // cut to the maximum, the rest spread by weight
        {100, "1|10|10,1|10|10", 0, false, "10,90"},   // all limited: the last takes what is left
        {10, "1|8,1|8", 0, false, "8,2"},              // impossible minimums: the total still holds
        {10, "1,1,1", 0, true, "4,4,2"},
        {10, "", 0, false, ""},
        {-5, "1,1", 0, false, "0,0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DivideByWeights(c.length, c.weights, c.mode, c.last_is_least), c.expected)
            << c.length << " / " << c.weights;
}

TEST(DivideByWeights, TotalAlwaysHolds) {
    const char* lists[] = {"1,2,3",     "5|10,1|0|3,2", "0,0,0,7|50", "3|1|2,3|1|2,3|1|2",
                           "1|90,1|90", "10|20|50,80"};
    for (int32_t length : {0, 1, 7, 99, 1000}) {
        for (const char* list : lists) {
            const std::vector<int32_t> sizes = DivideByWeightsSizes(length, list, false);
            EXPECT_EQ(std::accumulate(sizes.begin(), sizes.end(), 0), length) << length << " / " << list;
            for (int32_t s : sizes) EXPECT_GE(s, 0);
        }
    }
    EXPECT_EQ(ParseWeights(std::string(300 * 2, ',').c_str()).size(), 200u);
    EXPECT_EQ(ParseWeights("1|30|20")[0].Max, 30);  // a maximum below the minimum is raised
}

TEST(DivideLength, EqualAndFixedParts) {
    EXPECT_EQ(DivideLength(10, 3, 1, false), "1-4,5-7,8-10");
    EXPECT_EQ(DivideLength(10, -3, 0, false), "3,3,3,1");
    EXPECT_EQ(DivideLength(9, -3, 1, false), "1-3,4-6,7-9");
    EXPECT_EQ(DivideLength(10, 0, 0, false), "");
    EXPECT_EQ(DivideLength(2, 4, 0, false), "1,1,0,0");
}

TEST(PartOfLength, Parts) {
    struct Case {
        const char* part_text;
        int32_t length;
        bool trim_last;
        int32_t first, last, shortfall;
    } cases[] = {
        {"2 of 3", 10, false, 5, 7, 1},
        {"1 of 3", 10, false, 1, 4, 0},
        {"3 of 3 of lastisleast", 10, false, 9, 10, 2},
        {"", 10, false, 1, 10, 0},
        {"4 OF 3", 10, true, 10, 10, 2},  // parts of 3: the last one is short
        {"2 OF 3", 10, false, 4, 6, 0},
        {"4 of 3", 10, false, 0, -1, 0},
        {"0 of 3", 10, false, 0, -1, 0},
        {"1 of 3", 0, false, 0, -1, 0},
        {"nonsense", 10, false, 0, -1, 0},
    };
    for (const auto& c : cases) {
        const PartOfLengthT p = PartOfLength(c.part_text, c.length, c.trim_last);
        EXPECT_EQ(p.First, c.first) << c.part_text;
        EXPECT_EQ(p.Last, c.last) << c.part_text;
        EXPECT_EQ(p.Shortfall, c.shortfall) << c.part_text;
    }
}

}  // namespace
}  // namespace rowsmith::text
