#include "text/spans.h"

#include <gtest/gtest.h>

#include <string>

namespace rowsmith::text {
namespace {

TEST(FindEnclosed, FlagsChooseTheSpan) {
    struct Case {
        const char* open;
        const char* close;
        const char* text;
        int flags;
        int32_t position;
        int32_t length;
    } cases[] = {
        {"(", ")", "a(b(c)d)e", 0, 2, 7},
        {"(", ")", "a(b(c)d)e", 1, 3, 5},
        {"(", ")", "a(b(c)d)e", 8, 2, 5},
        {"(", ")", "a(b(c)d)e", 2, 4, 3},
        {"(", ")", "x)y(z)", 2, 4, 3},     // a close with no open before it is passed over
        {"(", ")", "a(b)c(d)e", 4, 2, 7},  // to the last close
        {"(", ")", "a(b)c(d)e", 5, 3, 5},
        {"\"", "-zq-", "a\"b\"c", 0, 2, 3},
        {"\"", "", "a\"b\"c", 1, 3, 1},
        {"\"", "\"", "a\"b", 4, 0, 0},  // the only close is the open itself
        {"'", "'", "'a''b'", 2, 1, 3},  // 2 with equal delimiters: first close, no nesting
        {"{{", "}}", "x{{a{{b}}c}}y", 0, 2, 11},
        {"{{", "}}", "{{a}}}", 0, 1, 5},
        {"(", ")", "a((b)c", 0, 0, 0},  // unbalanced
        {"(", ")", "abc", 0, 0, 0},
        {"", ")", "a)", 0, 0, 0},
        {"begin", "end", "BEGIN x END", 0, 1, 11},
        {"begin", "end", "BEGIN x END", 16, 0, 0},
        {"(", ")", "()", 1, 2, 0},
    };
    for (const auto& c : cases) {
        int32_t length = -1, position = -1;
        const bool found = FindEnclosed(c.open, c.close, c.text, c.flags, length, position);
        EXPECT_EQ(found, c.position != 0) << c.text << " flags " << c.flags;
        EXPECT_EQ(position, c.position) << c.text << " flags " << c.flags;
        EXPECT_EQ(length, c.length) << c.text << " flags " << c.flags;
    }
    int32_t length = 0, position = 0;
    EXPECT_TRUE(FindEnclosedFrom("(", ")", "(a)(b)", 0, 2, length, position));
    EXPECT_EQ(position, 4);
    EXPECT_FALSE(FindEnclosedFrom("(", ")", "(a)", 0, 9, length, position));
}

TEST(FindEnclosed, DeepNestingStaysLinear) {
    const int depth = 200000;
    std::string text;
    for (int i = 0; i < depth; ++i) text += "{{";
    text += "x";
    for (int i = 0; i < depth; ++i) text += "}}";
    int32_t length = 0, position = 0;
    ASSERT_TRUE(FindEnclosed("{{", "}}", text, 0, length, position));
    EXPECT_EQ(position, 1);
    EXPECT_EQ(length, static_cast<int32_t>(text.size()));
    // Many closes far from the next open: a rescanning search would be quadratic here.
    std::string flat = "(" + std::string(depth, ')') + std::string(depth, 'x') + "(";
    ASSERT_TRUE(FindEnclosed("(", ")", flat, 0, length, position));
    EXPECT_EQ(length, 2);
}

TEST(Spans, BetweenAndDelete) {
    EXPECT_EQ(TextBetween("a[b]c]", "[", "]", false), "[b]");
    EXPECT_EQ(TextBetween("a[b]c]", "[", "]", true), "b");
    EXPECT_EQ(TextBetween("a[b", "[", "]", false), "");
    EXPECT_EQ(TextBetween("x<B>y</b>z", "<b>", "</B>", true), "y");

    struct Case {
        const char* open;
        const char* close;
        const char* text;
        const char* expected;
    } cases[] = {
        {"(", ")", "a(b(c))d(e)f", "adf"},
        {"(", ")", "a(b", "a(b"},
        {"ab", "c", "aabxcbyc", ""},  // a removal that joins a new open is removed as well
        {"<", ">", "<a>x<b>y", "xy"},
    };
    for (const auto& c : cases) EXPECT_EQ(DeleteEnclosed(c.open, c.close, c.text), c.expected) << c.text;
    EXPECT_EQ(DeleteEnclosed("(", ")", "a(b)", 1), "a(b)");
}

TEST(Spans, FromUntilOccurrence) {
    struct Case {
        int32_t occurrence;
        int flags;
        const char* from;
        const char* until;
    } cases[] = {
        {1, 0, "/b/c", "a/"}, {1, 2, "b/c", "a"}, {0, 0, "/c", "a/b/"},
        {-2, 2, "b/c", "a"},  {3, 0, "", ""},     {3, 4, "a/b/c", "a/b/c"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TextFrom("a/b/c", "/", c.occurrence, c.flags), c.from) << c.occurrence << "/" << c.flags;
        EXPECT_EQ(TextUntil("a/b/c", "/", c.occurrence, c.flags), c.until) << c.occurrence << "/" << c.flags;
    }
    EXPECT_EQ(TextFrom("aXb", "x", 1, 0), "Xb");
    EXPECT_EQ(TextFrom("aXb", "x", 1, 1), "");
    EXPECT_EQ(DeleteFrom("--", "ab--cd--", 1, 0), "ab");
    EXPECT_EQ(DeleteFrom("--", "abcd", 1, 0), "abcd");
}

TEST(Spans, ListEntriesAndMasks) {
    EXPECT_TRUE(ListHasPrefixOf("http://,ftp://", "FTP://x", ","));
    EXPECT_FALSE(ListHasPrefixOf("http://,ftp://", "FTP://x", ",", 1));
    EXPECT_FALSE(ListHasPrefixOf("http://,ftp://", "mailto:x", ","));
    EXPECT_TRUE(ListHasPrefixOf("a,,b", "zzz", ","));  // an empty entry matches everything
    EXPECT_FALSE(ListHasPrefixOf("", "zzz", ","));
    EXPECT_TRUE(ListHasPrefixOf("a,b", "a,bc", "-zq-"));

    EXPECT_EQ(MatchListEntry("RED,x", "green,Red,blue", ","), "Red");
    EXPECT_EQ(MatchListEntry("RED", "green,Red", ",", 1), "");
    EXPECT_EQ(MatchListEntry("pink", "green,Red", ","), "");

    struct Case {
        const char* name;
        const char* masks;
        const char* separator;
        bool expected;
    } cases[] = {
        {"a.TXT", "*.csv|*.txt", "|", true},
        {"a.doc", "*.csv|*.txt", "|", false},
        {"a.txt", "*.csv | *.txt", "|", true},
        {"a|b", "a|b", "-zq-", true},
        {"a.txt", "*.csv<>*.txt", "<>", true},
        {"b.txt", "[ab].txt", "", true},
        {"a.txt", "", "|", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesAnyMask(c.name, c.masks, c.separator), c.expected) << c.masks;
}

TEST(ItemsByInterval, PiecesSelectItems) {
    struct Case {
        const char* text;
        const char* piece;
        const char* expected;
    } cases[] = {
        {"a,b,c,d", "2-3", "b+c"},     {"a,b,c,d", "3-2", "c+b"},
        {"a,b,c,d", "9", ""},          {"a,b,c,d", "-1", "d"},
        {"a,b,c,d", "2-", "b+c+d"},    {"a,b,c,d", "-1-1", "d+c+b+a"},
        {"a,,c", "1-3", "a+c"},        {"", "1", ""},
        {"\"x,y\",z", "1", "\"x,y\""}, {"a;b,c", "2", "b"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ItemsByInterval(c.text, ",|;", "|", 0, "\"", "\"", "+", c.piece), c.expected)
            << c.text << " " << c.piece;
    EXPECT_EQ(ItemsByInterval("abc", "", "|", 0, "", "", "+", "1"), "abc");
}

TEST(Spans, BlankQuotedKeepsPositions) {
    const std::string b = BlankQuotedSpans("a\"b\"c(d)", "\"", "-zq-");
    EXPECT_EQ(b, std::string("a\0\0\0c(d)", 8));
    EXPECT_EQ(CutItems("a,(b,c),d", ",", "-zq-", 0, ")", "(").size(), 3u);
}

}  // namespace
}  // namespace rowsmith::text
