#include "text/numbers.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

#include "text/utf8.h"

namespace rowsmith::text {
namespace {

TEST(ReadNumbers, LenientReading) {
    struct Case {
        const char* text;
        double fallback;
        double expected;
    } cases[] = {
        {"", 1, 0},  {"abc", 7, 7},      {"1a2", 0, 12},    {"x-5", 0, -5}, {"5-3", 0, 53},
        {"-", 4, 4}, {"x1.20y", 0, 1.2}, {"1.2.3", 0, 1.2}, {"-.", 9, 9},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(ReadNumber(c.text, c.fallback), c.expected) << c.text;
    EXPECT_EQ(ReadInt("3.9"), 3);
    EXPECT_EQ(ReadInt("-3.9"), -3);
    EXPECT_EQ(ReadInt("99999999999"), 0);
    EXPECT_EQ(ReadInt("2147483647"), 2147483647);
}

TEST(WriteNumbers, PaddingAndLeadingZeros) {
    EXPECT_EQ(PadText("ab", "\r", 10, 0), "ab");
    EXPECT_EQ(PadText("ab", "*", 6, 2), "**ab**");
    EXPECT_EQ(PadText("ab", "*", 5, 2), "*ab**");
    EXPECT_EQ(PadText("ab", "", 4, 0), "  ab");
    EXPECT_EQ(PadText("abcdef", "*", 4, 1), "abcdef");
    EXPECT_EQ(LeadingZeros(-7, 4, "0"), "-007");
    EXPECT_EQ(LeadingZeros(12345, 4, "0"), "12345");
    EXPECT_EQ(PadByWord("x", "-", 3, "RIGHT"), "x--");
    EXPECT_EQ(PadByWord("x", "-", 3, "both"), "-x-");
    EXPECT_EQ(PadByWord("x", "-", 3, "middle"), "--x");
}

// Widths, fills and positions on UTF-8 text: characters in the Utf8 model, bytes in the bytes model.
TEST(WriteNumbers, WidthsCountCharactersOfTheModel) {
    struct Case {
        const char* what;
        std::function<std::string()> run;
        std::string utf8;
        std::string bytes;
    };
    auto digit_run = [] {
        const DigitRunT run = DigitRunAt("é12x", 2);
        return run.Digits + "@" + std::to_string(run.Next);
    };
    const std::vector<Case> cases = {
        {"fill", [] { return FillText("é€", 3); }, "é€é", "é\xE2"},
        {"pad a character of two bytes", [] { return PadText("é", "0", 6, 0); }, "00000é", "0000é"},
        {"pad both sides with a fill of two bytes", [] { return PadText("ab", "·", 5, 2); }, "·ab··",
         "\xC2" "ab·"},
        {"leading zeros behind the sign", [] { return LeadingZeros(-7, 4, "·"); }, "-··7", "-·7"},
        {"digit run after a character of two bytes", digit_run, "12@4", "@2"},
        {"group thousands", [] { return GroupThousands("€1234567", 0, ','); }, "€1,234,567",
         "\xE2,\x82\xAC" "1,234,567"},
        {"group thousands within a limit", [] { return GroupThousands("é1234567", 9, ','); }, "é1,234567",
         "é1234567"},
        // A separator byte from 128 up is the Latin-1 character of that value in UTF-8 text.
        {"group with a no-break space", [] { return GroupThousands("1234", 0, '\xA0'); }, "1\u00A0234",
         "1\xA0" "234"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.run(), c.utf8) << c.what;
        CharModelScope bytes(CharModel::Bytes);
        EXPECT_EQ(c.run(), c.bytes) << c.what;
    }
}

TEST(Bounds, ClampAndRange) {
    EXPECT_EQ(ClampInt(5, 1, 3), 3);
    EXPECT_EQ(ClampInt(-5, 1, 3), 1);
    EXPECT_EQ(ClampInt(2, 5, 1), 1);  // high wins when low > high
    EXPECT_TRUE(InRange(3, 5, 1));
    EXPECT_TRUE(InRange(5, 1, 5));
    EXPECT_FALSE(InRange(6, 5, 1));
}

TEST(DigitRuns, RunAtPosition) {
    struct Case {
        const char* text;
        int32_t position;
        const char* digits;
        int32_t next;
    } cases[] = {
        {"ab123c", 3, "123", 6}, {"ab123c", 4, "23", 6}, {"ab123c", 1, "", 1},
        {"42", 1, "42", 3},      {"42", 3, "", 3},       {"42", 0, "", 0},
    };
    for (const auto& c : cases) {
        const DigitRunT run = DigitRunAt(c.text, c.position);
        EXPECT_EQ(run.Digits, c.digits) << c.text << " @" << c.position;
        EXPECT_EQ(run.Next, c.next) << c.text << " @" << c.position;
    }
    EXPECT_EQ(DecimalWidth(-12.7), 3);
    EXPECT_EQ(DecimalWidth(3e9), 10);
    EXPECT_EQ(DecimalWidth(1e20), 4);  // "1E20"
}

TEST(GroupThousands, SeparatorsLimitsAndSigns) {
    struct Case {
        const char* text;
        int64_t limit;
        char separator;
        const char* expected;
    } cases[] = {
        {"1234567", 0, ',', "1,234,567"},
        {"1234567.891", 0, ',', "1,234,567.891"},
        {"123", 0, ',', "123"},
        {"1234", 0, 0, "1234"},
        {"-123", 0, ',', "-123"},  // no separator right after the sign
        {"-1234", 0, ',', "-1,234"},
        {"1234567", 7, ',', "1234567"},   // not shorter than the limit
        {"1234567", 8, ',', "1,234567"},  // the separator nearest the point is dropped first
        {"1234567", 9, ',', "1,234,567"},
        {"   1234", 0, '.', "    1.234"},    // padding grows with it, so columns stay aligned
        {"  123456", 0, ',', "   123,456"},  // a space before the run gets a space, not a separator
    };
    for (const auto& c : cases) EXPECT_EQ(GroupThousands(c.text, c.limit, c.separator), c.expected) << c.text;
}

TEST(NumbersBlock, Blocks) {
    struct Case {
        int64_t number, block, expected;
    } cases[] = {
        {0, 0, 10},     {0, 25, 25},   {25, 25, 25}, {23, 10, 30},     {20, 10, 20},  {7, 0, 10},
        {345, 0, 1000}, {100, 0, 100}, {1, 0, 10},   {-345, 10, -340}, {23, -10, 30},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NumbersBlock(c.number, c.block), c.expected) << c.number << "/" << c.block;
}

TEST(ParityRounding, AllFour) {
    struct Case {
        double x;
        int64_t up_even, up_odd, down_even, down_odd;
    } cases[] = {
        {3, 4, 3, 2, 3},   {2, 2, 3, 2, 1},   {2.1, 4, 3, 2, 1},     {4, 4, 5, 4, 3},
        {5.5, 6, 7, 4, 5}, {3.7, 4, 5, 2, 3}, {-2.5, 0, -1, -2, -3}, {0, 0, 1, 0, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RoundUpEven(c.x), c.up_even) << c.x;
        EXPECT_EQ(RoundUpOdd(c.x), c.up_odd) << c.x;
        EXPECT_EQ(RoundDownEven(c.x), c.down_even) << c.x;
        EXPECT_EQ(RoundDownOdd(c.x), c.down_odd) << c.x;
    }
    EXPECT_EQ(RoundUpEven(1e300), INT64_MAX);
}

TEST(DecimalTexts, ShortAndLongOperands) {
    EXPECT_EQ(AddDecimal("999999999", "1"), "1000000000");
    EXPECT_EQ(AddDecimal("99999999999999999999", "1"), "100000000000000000000");
    EXPECT_EQ(AddDecimal("0007", "0003"), "10");
    EXPECT_EQ(AddDecimal("", ""), "0");
    EXPECT_EQ(SubtractDecimal("3", "5"), "-2");
    EXPECT_EQ(SubtractDecimal("100000000000000000000", "1"), "99999999999999999999");
    EXPECT_EQ(SubtractDecimal("1", "100000000000000000000"), "-99999999999999999999");
    EXPECT_EQ(SubtractDecimal("12345678901234567890", "12345678901234567890"), "0");
    const DecimalQuotientT q = DivideDecimal("100000000000000000007", 10);
    EXPECT_EQ(q.Quotient, "10000000000000000000");
    EXPECT_EQ(q.Remainder, 7);
    EXPECT_EQ(DivideDecimal("17", 0).Quotient, "17");
    EXPECT_EQ(DivideDecimal("-17", 5).Quotient, "-3");
    EXPECT_EQ(DivideDecimal("-17", 5).Remainder, -2);
}

// The digit-by-digit path must agree with machine arithmetic on numbers that 128 bits still hold.
TEST(DecimalTexts, LongPathMatchesWideIntegers) {
    auto text = [](__int128 v) {
        if (v == 0) return std::string("0");
        const bool negative = v < 0;
        std::string s;
        for (unsigned __int128 m = negative ? -v : v; m > 0; m /= 10) s.insert(s.begin(), char('0' + m % 10));
        return negative ? "-" + s : s;
    };
    std::mt19937_64 gen(7);
    for (int i = 0; i < 500; ++i) {
        const __int128 a =
            static_cast<__int128>(gen() >> (gen() % 60)) * static_cast<int64_t>(gen() % 100000 + 1);
        const __int128 b = static_cast<__int128>(gen() >> (gen() % 60)) * ((gen() & 1) ? 1 : -1);
        EXPECT_EQ(AddDecimal(text(a), text(b)), text(a + b));
        EXPECT_EQ(SubtractDecimal(text(a), text(b)), text(a - b));
        const int32_t d = static_cast<int32_t>(gen() % 2000000000) + 1;
        const DecimalQuotientT q = DivideDecimal(text(a), d);
        EXPECT_EQ(q.Quotient, text(a / d));
        EXPECT_EQ(q.Remainder, static_cast<int32_t>(a % d));
    }
}

TEST(NumberSystems, Conversions) {
    const std::string roman = NumberSystemDigits(5);
    const std::string hex = NumberSystemDigits(3);
    const std::string letters = NumberSystemDigits(4);
    struct Case {
        const char* input;
        std::string alphabet;
        bool bijective, grouped;
        char pad;
        const char* expected;
    } cases[] = {
        {"4000", roman, false, false, 0, "MMMM"},
        {"5000", roman, false, false, 0, "MMMMM"},
        {"5001", roman, false, false, 0, "V'I"},
        {"1994", roman, false, false, 0, "MCMXCIV"},
        {"0", roman, false, false, 0, "nil"},
        {"5000001", roman, false, false, 0, "MMMMM'I"},
        {"26", letters, true, false, 0, "AA"},
        {"0", letters, true, false, 0, "A"},
        {"25", letters, true, false, 0, "Z"},
        {"701", letters, true, false, 0, "ZZ"},
        {"26", hex, false, false, 0, "1A"},
        {"0", hex, false, false, 0, "0"},
        {"007", NumberSystemDigits(0), false, false, 0, "7"},
        {"5", NumberSystemDigits(2), false, false, 0, "101"},
        {"18446744073709551616", hex, false, false, 0, "10000000000000000"},
        {"3232235777", NumberSystemDigits(0), false, true, 0, "192.168.1.1"},
        {"3232235777", NumberSystemDigits(0), false, true, '0', "192.168.001.001"},
        {"255", hex, false, true, 0, "0.0.0.FF"},
        {"-26", hex, false, false, 0, "-1A"},
        {"12", "human", false, false, 0, ""},
        {"12", "0123", false, false, 0, ""},
        {"", hex, false, false, 0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConvertNumberText(c.input, c.alphabet, c.bijective, c.grouped, c.pad), c.expected)
            << c.input << " in " << c.alphabet;
    // Long inputs: bijective and positional agree with the short path on the same value.
    EXPECT_EQ(ConvertNumberText("1000000000000000000000", NumberSystemDigits(2)).size(), 70u);
    EXPECT_EQ(ConvertNumberText("0000000000000000000026", letters, true), "AA");
    EXPECT_EQ(IntToHex(255), "FF");
    EXPECT_EQ(NumberSystemDigits(9), "");
}

TEST(NumberSystems, MarkersRoundTrip) {
    EXPECT_EQ(NumberToMarker(0), "");
    EXPECT_EQ(NumberToMarker(6), std::string("\x01\x01\x00", 3));
    for (uint64_t n :
         {uint64_t{1}, uint64_t{2}, uint64_t{5}, uint64_t{1023}, uint64_t{123456789}, UINT64_MAX})
        EXPECT_EQ(MarkerToNumber(NumberToMarker(n)), n);
    EXPECT_EQ(MarkerToNumber("\x01x\x01"), 5u);
}

}  // namespace
}  // namespace rowsmith::text
