#include "text/sort_list.h"

#include <gtest/gtest.h>

namespace rowsmith::text {
namespace {

TEST(SortTextList, NaturalCaseFreeStable) {
    struct Case {
        const char* text;
        const char* separators;
        const char* marker;
        const char* expected;
    } cases[] = {
        {"pear,Apple,fig", ",", "|", "Apple, fig, pear"},
        {"x10,x9,x2", ",", "|", "x2, x9, x10"},
        {"b;a,c", ";|,", "|", "a, b, c"},
        {"B,b,A,a", ",", "|", "A, a, B, b"},  // equal items keep their order
        {"7,5,007", ",", "|", "5, 7, 007"},   // 7 and 007 are equal: original order
        {"c,,a,", ",", "|", "a, c"},          // empty items vanish
        {"don't stop-now", "", "|", "don't, now, stop"},
        {"b;a", ";|,", "-zq-", "b;a"},  // ";|," is one separator here
        {"", ",", "|", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SortTextList(c.text, ", ", c.separators, c.marker), c.expected) << c.text;
}

}  // namespace
}  // namespace rowsmith::text
