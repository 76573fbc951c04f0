#include "text/compare.h"

#include <gtest/gtest.h>

namespace rowsmith::text {
namespace {

TEST(CompareNatural, Order) {
    struct Case {
        const char* a;
        const char* b;
        int expected;
    } cases[] = {
        {"x2", "x10", 1},     {"x10", "x2", 2},      {"007", "7", 0},
        {"ab", "abc", 1},     {"abc", "ab", 2},      {"", "", 0},
        {"", "a", 1},         {"a9", "a10", 1},      {"a007b", "a7c", 1},
        {"000", "0", 0},      {"0", "00a", 1},       {"12", "13", 1},
        {"B", "a", 1},        {"a\xE4", "a\x7F", 2}, {"file10.txt", "file9.txt", 2},
        {"v1.10", "v1.9", 2}, {"x01y", "x1y", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(CompareNatural(c.a, c.b), c.expected) << c.a << " vs " << c.b;
}

TEST(CompareOperators, ParseRemovesTheOperator) {
    struct Case {
        const char* text;
        int op;
        const char* rest;
    } cases[] = {
        {"<>5", 4, "5"}, {">=5", 5, "5"}, {"=>5", 5, "5"}, {"<=5", 6, "5"}, {"=<5", 6, "5"},
        {">5", 2, "5"},  {"<5", 3, "5"},  {"=5", 1, "5"},  {"5", 1, "5"},   {"", 1, ""},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(ParseCompareOperator(text), c.op) << c.text;
        EXPECT_EQ(text, c.rest) << c.text;
    }
}

TEST(CompareOperators, CompareBy) {
    struct Case {
        const char* a;
        int op;
        const char* b;
        bool case_sensitive;
        bool expected;
    } cases[] = {
        {"a10", 2, "a9", true, true},   {"a10", 3, "a9", true, false}, {"ABC", 1, "abc", false, true},
        {"ABC", 1, "abc", true, false}, {"ABC", 4, "abc", true, true}, {"5", 5, "5", true, true},
        {"4", 5, "5", true, false},     {"4", 6, "5", true, true},     {"6", 6, "5", true, false},
        {"x", 0, "x", true, false},     {"x", 7, "x", true, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CompareBy(c.a, c.op, c.b, c.case_sensitive), c.expected)
            << c.a << " " << c.op << " " << c.b;
}

}  // namespace
}  // namespace rowsmith::text
