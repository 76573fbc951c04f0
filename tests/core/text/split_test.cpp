#include "text/split.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "text/utf8.h"

namespace rowsmith::text {
namespace {

TEST(SplitOffFirst, TokenAndRest) {
    struct Case {
        const char* text;
        const char* separator;
        int case_flag;
        const char* token;
        const char* rest;
    } cases[] = {
        {"a,b,c", ",", 0, "a", "b,c"},
        {"abc", ",", 0, "abc", ""},
        {"oneANDtwo", "and", 0, "one", "two"},
        {"oneANDtwo", "and", 1, "oneANDtwo", ""},
        {"a,b", "", 0, "a,b", ""},
        {",b", ",", 0, "", "b"},
        {"a<>b<>c", "<>", 0, "a", "b<>c"},
        {"", ",", 0, "", ""},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(SplitOffFirst(text, c.separator, c.case_flag), c.token) << c.text;
        EXPECT_EQ(text, c.rest) << c.text;
    }
    std::string text = "1,,2";
    EXPECT_EQ(SplitAtComma(text), "1");
    EXPECT_EQ(text, ",2");
}

TEST(SplitOffOutsideQuotes, IgnoresQuotedSeparators) {
    std::string text = "\"a,b\",c";
    EXPECT_EQ(SplitOffOutsideQuotes(text, ",", "\"", "\""), "\"a,b\"");
    EXPECT_EQ(text, "c");
    text = "(a,(b,c)),d";
    EXPECT_EQ(SplitOffOutsideQuotes(text, ",", "(", ")"), "(a,(b,c))");
    text = "\"a,b\",c";
    EXPECT_EQ(SplitOffAndUnwrap(text, ",", "\"", "-zq-"), "a,b");
    EXPECT_EQ(text, "c");
    text = "'x',y";
    EXPECT_EQ(SplitOffAndUnwrap(text, ",", "'", ""), "x");
    text = "a,b";
    EXPECT_EQ(SplitOffOutsideQuotes(text, ",", "", ""), "a");
}

TEST(SplitOffAtCharOfSet, ReportsTheSeparator) {
    std::string text = "ab;c,d";
    TokenAndCharT r = SplitOffAtCharOfSet(text, CharSet::Of(",;"));
    EXPECT_EQ(r.Token, "ab");
    EXPECT_EQ(r.Separator, ';');
    EXPECT_EQ(text, "c,d");
    text = "abc";
    r = SplitOffAtCharOfSet(text, CharSet::Of(",;"));
    EXPECT_EQ(r.Token, "abc");
    EXPECT_EQ(r.Separator, 0);
    EXPECT_EQ(text, "");
}

TEST(EarliestSeparator, EarliestThenFirstListed) {
    struct Case {
        const char* text;
        const char* separators;
        const char* found;
        int32_t position;
    } cases[] = {
        {"a;b,c", ",|;", ";", 2}, {"a,,b", ",|,,", ",", 2}, {"a,,b", ",,|,", ",,", 2},
        {"abc", ",|;", "", 0},    {"a;b", "||;", ";", 2},   {"aXb", "x", "x", 2},
    };
    for (const auto& c : cases) {
        const StringAndCountT r = EarliestSeparator(c.text, c.separators, "|");
        EXPECT_EQ(r.Text, c.found) << c.text << " / " << c.separators;
        EXPECT_EQ(r.Count, c.position) << c.text << " / " << c.separators;
    }
    std::string text = "a, b;c";
    EXPECT_EQ(SplitOffAtEarliest(text, ", |;", "|"), "a");
    EXPECT_EQ(text, "b;c");
}

TEST(NthItem, PicksTokens) {
    struct Case {
        int32_t n;
        const char* expected;
    } cases[] = {{1, "a"}, {2, "b"}, {3, "c"}, {4, ""}, {0, ""}};
    for (const auto& c : cases) EXPECT_EQ(NthItem("a;b,c", c.n, ";|,", "|"), c.expected) << c.n;
    EXPECT_EQ(NthItem("abc", 1, "", "|"), "abc");
    EXPECT_EQ(NthItem("abc", 2, "", "|"), "");
    EXPECT_EQ(NthItem("a,", 2, ",", "|"), "");
}

TEST(Tokens, FirstAfterAndNumbers) {
    EXPECT_EQ(FirstToken("a=b=c", "="), "a");
    EXPECT_EQ(AfterFirst("a=b=c", "="), "b=c");
    EXPECT_EQ(AfterFirst("abc", "="), "");
    EXPECT_EQ(FirstItem("x,y"), "x");
    EXPECT_EQ(FirstItem("xy"), "xy");

    std::string text = ",,12,x7";
    EXPECT_EQ(NextNumber(text), 12);
    EXPECT_EQ(NextNumber(text), 7);
    EXPECT_EQ(NextNumber(text), 0);

    struct Case {
        const char* text;
        const char* quote;
        int32_t value;
        const char* rest;
    } cases[] = {
        {"12,3", "", 12, "3"},     {" -4 ,3", "", -4, "3"},      {"x1,3", "", -1, "3"},
        {"\"5\",6", "\"", 5, "6"}, {"\"5,6\",7", "\"", -1, "7"}, {"99999999999,1", "", -1, "1"},
        {",1", "", -1, "1"},
    };
    for (const auto& c : cases) {
        std::string t = c.text;
        EXPECT_EQ(NthNumberToken(t, ",", c.quote), c.value) << c.text;
        EXPECT_EQ(t, c.rest) << c.text;
    }
}

TEST(StartsEndsStrip, FlagsAndRepeats) {
    EXPECT_TRUE(StartsWith("AB", "abc"));
    EXPECT_FALSE(StartsWith("AB", "abc", 1));
    EXPECT_FALSE(StartsWith("abcd", "abc"));
    EXPECT_TRUE(EndsWith("BC", "abc"));
    EXPECT_FALSE(EndsWith("xabc", "abc"));
    EXPECT_TRUE(StartsWith("", "abc"));

    struct Case {
        const char* part;
        const char* text;
        int flags;
        const char* leading;
        const char* trailing;
    } cases[] = {
        {"ab", "ababxab", 0, "abxab", "ababx"}, {"ab", "ababxabab", 8, "xabab", "ababx"},
        {"AB", "abxab", 1, "abxab", "abxab"},   {"AB", "abxab", 0, "xab", "abx"},
        {"", "abc", 8, "abc", "abc"},           {"a", "aaa", 8, "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StripLeading(c.part, c.text, c.flags), c.leading) << c.part << " " << c.text;
        EXPECT_EQ(StripTrailing(c.part, c.text, c.flags), c.trailing) << c.part << " " << c.text;
    }

    const CharSet blanks = CharSet::Of(" \t");
    EXPECT_EQ(TrimLeftOfSet(blanks, " \t a b "), "a b ");
    EXPECT_EQ(TrimRightOfSet(blanks, " a b \t"), " a b");
    EXPECT_EQ(TrimLeftOfSet(blanks, "  "), "");
    EXPECT_TRUE(StartsWithCharOf(blanks, " x"));
    EXPECT_FALSE(StartsWithCharOf(blanks, ""));
    EXPECT_TRUE(EndsWithCharOf(blanks, "x\t"));
    EXPECT_FALSE(EndsWithCharOf(blanks, "x"));
}

TEST(Unwrap, BothEndsOrNothing) {
    struct Case {
        const char* text;
        const char* open;
        const char* close;
        const char* expected;
    } cases[] = {
        {"(a)", "(", ")", "a"},  {"(a", "(", ")", "(a"},     {"'x'", "'", "e", "x"},     {"'", "'", "e", "'"},
        {"''", "'", "-zq-", ""}, {"<<a>>", "<<", ">>", "a"}, {"<<>", "<<", ">>", "<<>"},
    };
    for (const auto& c : cases) EXPECT_EQ(Unwrap(c.text, c.open, c.close), c.expected) << c.text;
}

TEST(CutAndDrop, StaysInsideTheText) {
    struct Case {
        const char* text;
        int32_t from;
        int32_t count;
        const char* removed;
        const char* rest;
    } cases[] = {
        {"abcdef", 2, 3, "bcd", "aef"}, {"abcdef", 5, 9, "ef", "abcd"}, {"abcdef", 0, 2, "a", "bcdef"},
        {"abcdef", 9, 2, "", "abcdef"}, {"abcdef", 2, 0, "", "abcdef"}, {"abcdef", -3, 2, "", "abcdef"},
    };
    for (const auto& c : cases) {
        std::string t = c.text;
        EXPECT_EQ(CutSpan(t, c.from, c.count), c.removed) << c.from << "," << c.count;
        EXPECT_EQ(t, c.rest) << c.from << "," << c.count;
    }
    EXPECT_EQ(DropLast("abc", 1), "ab");
    EXPECT_EQ(DropLast("abc", 5), "");
    EXPECT_EQ(DropLast("abc", -1), "abc");
    EXPECT_EQ(DropFirst("abc", 2), "c");
    EXPECT_EQ(DropFirst("abc", 3), "");
}

// Cuts, trims and character tests on UTF-8 text: whole characters in the Utf8 model, bytes in the
// bytes model. Byte 160 is a blank; in UTF-8 it is the tail of "à" and of the no-break space U+00A0.
TEST(CutAndDrop, CountCharactersOfTheModel) {
    struct Case {
        const char* what;
        std::function<std::string()> run;
        std::string utf8;
        std::string bytes;
    };
    auto cut = [](std::string t, int32_t from, int32_t count) {
        const std::string removed = CutSpan(t, from, count);
        return removed + "|" + t;
    };
    auto split = [] {
        std::string t = "aàb\u00A0c";
        const TokenAndCharT r = SplitOffAtCharOfSet(t, Blanks());
        return r.Token + "|" + std::to_string(static_cast<uint32_t>(r.Separator)) + "|" + t;
    };
    auto yes = [](bool b) { return std::string(b ? "yes" : "no"); };
    const std::vector<Case> cases = {
        {"cut", [&] { return cut("äöüß", 2, 2); }, "öü|äß", "\xA4\xC3|\xC3\xB6üß"},
        {"cut past the end", [&] { return cut("äöüß", 4, 9); }, "ß|äöü", "\xB6üß|ä\xC3"},
        {"cut before the start", [&] { return cut("äöüß", 0, 2); }, "ä|öüß", "\xC3|\xA4öüß"},
        {"cut beyond the characters", [&] { return cut("äöüß", 5, 1); }, "|äöüß", "\xC3|äö\xBC\xC3\x9F"},
        {"drop last", [] { return DropLast("äöüß", 3); }, "ä", "äö\xC3"},
        {"drop first", [] { return DropFirst("äöüß", 3); }, "ß", "\xB6üß"},
        {"trim left", [] { return TrimLeftOfSet(Blanks(), "\u00A0 à"); }, "à", "\u00A0 à"},
        {"trim right", [] { return TrimRightOfSet(Blanks(), "xà \u00A0"); }, "xà", "xà \xC2"},
        {"trim keeps a character that ends in byte 160", [] { return TrimRightOfSet(Blanks(), "xà"); }, "xà",
         "x\xC3"},
        {"ends with a blank", [&] { return yes(EndsWithCharOf(Blanks(), "xà")); }, "no", "yes"},
        {"starts with a blank", [&] { return yes(StartsWithCharOf(Blanks(), "\u00A0x")); }, "yes", "no"},
        {"split at a character of a set", split, "aàb|160|c", "a\xC3|160|b\u00A0c"},
        {"earliest separator", [] { return std::to_string(EarliestSeparator("äö;x,", ",|;", "|").Count); },
         "3", "5"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.run(), c.utf8) << c.what;
        CharModelScope bytes(CharModel::Bytes);
        EXPECT_EQ(c.run(), c.bytes) << c.what;
    }
}

}  // namespace
}  // namespace rowsmith::text
