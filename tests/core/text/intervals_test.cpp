#include "text/intervals.h"

#include <gtest/gtest.h>

#include <vector>

#include "text/utf8.h"

namespace rowsmith::text {
namespace {

std::vector<int32_t> Produce(std::string_view text, int32_t high) {
    LoopT loop;
    InitLoop(loop, text, 1, high);
    std::vector<int32_t> out;
    while (NextInLoop(loop) && out.size() < 100000) out.push_back(loop.Current);
    return out;
}

std::vector<int32_t> Span(int32_t a, int32_t b) {
    std::vector<int32_t> v;
    if (a <= b)
        for (int32_t i = a; i <= b; ++i) v.push_back(i);
    else
        for (int32_t i = a; i >= b; --i) v.push_back(i);
    return v;
}

TEST(Intervals, WorkedExamplesOnTenLines) {
    struct Case {
        const char* text;
        std::vector<int32_t> expected;
    } cases[] = {
        {"", Span(1, 10)},
        {"3", {3}},
        {"3-5", {3, 4, 5}},
        {"5-3", {5, 4, 3}},
        {"3-", Span(3, 10)},
        {"-1", {10}},
        {"-3-", {8, 9, 10}},
        {"-3--1", {8, 9, 10}},
        {"1--2", Span(1, 9)},
        {"0", {}},
        {"0-3", {1, 2, 3}},
        {"8-20", {8, 9, 10}},
        {"20-30", {}},
        {"20-", {}},
        {"12-5", Span(10, 5)},
        {"1-3;7;9-8", {1, 2, 3, 7, 9, 8}},
        {"1-3;2-4", {1, 2, 3, 2, 3, 4}},
        {"5 -7", {5, 4}},
        {"1--1000000", {1}},
        // Any single character separates start and end; spaces are not skipped.
        {"5,8", {5, 6, 7, 8}},
        {"5x8", {5, 6, 7, 8}},
        {"5 - 7", {5}},
        // Semicolons are forgiving.
        {";", Span(1, 10)},
        {";;", Span(1, 10)},
        {";;3;;;5;", {3, 5}},
        // Digitless pieces select nothing of their own.
        {"abc", {}},
        {"-", {}},
        {"2;x;4", {2, 4}},
        // A run beyond 32 bits counts as 0.
        {"99999999999", {}},
        {"1-99999999999", {1}},
    };
    for (const auto& c : cases) EXPECT_EQ(Produce(c.text, 10), c.expected) << "interval '" << c.text << "'";
}

TEST(Intervals, DefaultTextOnLongFile) {
    const auto v = Produce("1--1000000", 1000005);
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(v.back(), 6);
}

TEST(Intervals, EmptyFileSelectsNothing) {
    for (const char* t : {"", "1", "1-", "-1", "0-3", "-3-", "5-1", "1-3;-1", "-2147483647--1"})
        EXPECT_TRUE(Produce(t, 0).empty()) << t;
}

TEST(Intervals, ExtremeNumbersStayInRange) {
    EXPECT_EQ(Produce("1-2147483647", 3), Span(1, 3));
    // The reserved start number stands for a missing start: the whole range.
    EXPECT_EQ(Produce("-2147483647--1", 3), Span(1, 3));
    EXPECT_EQ(Produce("2147483647", 3), std::vector<int32_t>{});
    EXPECT_EQ(Produce("-2147483646", 3), std::vector<int32_t>{});
}

TEST(Intervals, IsLastAndExhaustion) {
    LoopT loop;
    InitLoop(loop, "2-3", 1, 5);
    ASSERT_TRUE(NextInLoop(loop));
    EXPECT_EQ(loop.Current, 2);
    EXPECT_EQ(loop.IsLast, 0);
    ASSERT_TRUE(NextInLoop(loop));
    EXPECT_EQ(loop.Current, 3);
    EXPECT_EQ(loop.IsLast, 1);
    EXPECT_FALSE(NextInLoop(loop));
    EXPECT_FALSE(NextInLoop(loop));
    EXPECT_EQ(loop.IsLast, 1);
    RestartLoop(loop);
    ASSERT_TRUE(NextInLoop(loop));
    EXPECT_EQ(loop.Current, 2);
}

class FakeRows : public IntervalRows {
public:
    std::vector<bool> included;  // index 0 unused
    int32_t IntervalRowCount() const override { return static_cast<int32_t>(included.size()) - 1; }
    bool IntervalRowIncluded(int32_t row) const override { return included[static_cast<std::size_t>(row)]; }
};

TEST(Intervals, ExcludedRowsArePassedOverWithoutEndingThePiece) {
    FakeRows rows;
    rows.included = {false, true, false, true, false, true};
    LoopT loop;
    StartLoopOnTable(loop, "1-5;5-1", &rows);
    RestartLoop(loop);
    std::vector<int32_t> got;
    while (NextInLoop(loop)) got.push_back(loop.Current);
    EXPECT_EQ(got, (std::vector<int32_t>{1, 3, 5, 5, 3, 1}));
}

TEST(Intervals, ParsePieceAndResolve) {
    int32_t s = 0, e = 0;
    EXPECT_EQ(ParseIntervalPiece("", 1, 10, s, e), Upward);
    EXPECT_EQ(s, 1);
    EXPECT_EQ(e, 10);
    EXPECT_EQ(ParseIntervalPiece("4-2", 1, 10, s, e), Downward);
    EXPECT_EQ(s, 4);
    EXPECT_EQ(e, 2);
    EXPECT_EQ(ParseIntervalPiece("20-", 1, 10, s, e), Invalid);
    EXPECT_EQ(ResolveInterval(1, -1, 1, 4, s, e), Upward);
    EXPECT_EQ(s, 1);
    EXPECT_EQ(e, 4);
}

TEST(Intervals, CharsByIntervals) {
    EXPECT_EQ(CharsByIntervals("abcdef", "2-4"), "bcd");
    EXPECT_EQ(CharsByIntervals("abcdef", "-1-1"), "fedcba");
    EXPECT_EQ(CharsByIntervals("", "1-"), "");
    EXPECT_EQ(CharsByIntervals("hello", "2-3"), "el");
    EXPECT_EQ(CharsByIntervals("hi", "9"), "");
    EXPECT_EQ(CharsByIntervals("abc", "1;1;3"), "aac");
}

// The same selections by character and by byte: a character of several bytes is one position in the
// Utf8 model, and no cut ever falls inside it.
TEST(Intervals, CharsByIntervalsCountCharactersOfTheModel) {
    struct Case {
        const char* text;
        const char* intervals;
        const char* utf8;
        const char* bytes;
    } cases[] = {
        {"Grüße aus Köln", "1-3", "Grü", "Gr\xC3"},
        {"Grüße aus Köln", "-1", "n", "n"},
        {"Grüße aus Köln", "4-2", "ßür", "\xBC\xC3r"},
        {"añb", "-1-1", "bña", "b\xB1\xC3" "a"},
        {"€😀x", "2;2", "😀😀", "\x82\x82"},
        {"€ab", "4", "", "a"},
        // A stray byte is one character and comes back as itself.
        {"a\xFF" "é", "2-3", "\xFF" "é", "\xFF\xC3"},
        {"a\xE2\x82", "-1", "\x82", "\x82"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CharsByIntervals(c.text, c.intervals), c.utf8) << c.text << " " << c.intervals;
        CharModelScope bytes(CharModel::Bytes);
        EXPECT_EQ(CharsByIntervals(c.text, c.intervals), c.bytes) << c.text << " " << c.intervals;
    }
}

TEST(Intervals, Normalisation) {
    EXPECT_EQ(NormaliseIntervalText("1;;;;5"), "1;5");
    EXPECT_EQ(NormaliseIntervalText(";"), "");
    EXPECT_EQ(NormaliseIntervalText(";;"), "");
    EXPECT_EQ(NormaliseIntervalText(";3;"), "3");
}

}  // namespace
}  // namespace rowsmith::text
