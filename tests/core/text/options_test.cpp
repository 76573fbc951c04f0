#include "text/options.h"

#include <gtest/gtest.h>

namespace rowsmith::text {
namespace {

TEST(OptionWords, WholeWordsOnly) {
    struct Case {
        const char* word;
        const char* options;
        bool expected;
    } cases[] = {
        {"repeat", "casesensitive|repeat", true},
        {"repeat", "repeatrepeat", false},
        {"repeat", "x:REPEAT:y", true},
        {"leave", "leaves|x", false},
        {"leave", "dontleave", false},
        {"", "a||b", false},
        {"a", "ba|a", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HasOptionWord(c.word, c.options), c.expected) << c.word << " " << c.options;
}

TEST(OptionWords, NameValuePairs) {
    struct Case {
        const char* name;
        const char* options;
        const char* expected;
    } cases[] = {
        {"width", "width:5|x", "5"},
        {"width", "x|WIDTH:12:30", "12:30"},
        {"sep", "sep:&comma;", ","},
        {"sep", "sep:&VERBAR;|x", "|"},
        {"width", "widths:5", ""},
        {"width", "x:width|width:7", "7"},
        {"width", "width|x:1", ""},
        {"width", "", ""},
        {"w", "w:", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(OptionValue(c.name, c.options), c.expected) << c.options;
    EXPECT_EQ(OptionValue("n", "a=1;n=2;b=3", ';', '='), "2");
}

TEST(OptionWords, FlagSets) {
    EXPECT_EQ(StripFlags("exclude|repeat"), kStripExclude | kStripRepeat);
    EXPECT_EQ(StripFlags("casesensitive:leave"), kStripCaseSensitive | kStripLeave);
    EXPECT_EQ(StripFlags("nothing"), 0);
    EXPECT_EQ(TagFlags("append|onlyfirst|casesensitive"), kTagAppend | kTagOnlyFirst | kTagCaseSensitive);
    EXPECT_EQ(TagFlags("dontcreateclass|leave|createtag"), kTagDontCreate | kTagLeave | kTagCreateTag);
}

}  // namespace
}  // namespace rowsmith::text
