#include "text/chars.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace rowsmith::text {
namespace {

// Every test leaves the ASCII tables behind, which is what the other tests expect.
class CaseTablesTest : public ::testing::Test {
  protected:
    void TearDown() override { BuildCharacterTables("ascii"); }
};

TEST_F(CaseTablesTest, AsciiTablesByDefault) {
    EXPECT_EQ(UpperCase("abz09\xE4"), "ABZ09\xE4");
    EXPECT_EQ(LowerCase("ABZ@["), "abz@[");
    EXPECT_EQ(Letters().Count(), 52u);
    EXPECT_TRUE(Others().Has('_'));
    EXPECT_FALSE(Others().Has('5'));
    EXPECT_TRUE(EqualsIgnoreCase("MiXed", "mixED"));
    EXPECT_FALSE(EqualsIgnoreCase("abc", "abd"));
    EXPECT_TRUE(UnsafeFileNameChars().Has('\x1F'));
    EXPECT_TRUE(UnsafeFileNameChars().Has('|'));
    EXPECT_FALSE(UnsafeFileNameChars().Has(' '));
}

TEST_F(CaseTablesTest, Cp1252Pairs) {
    ASSERT_TRUE(BuildCharacterTables("cp1252"));
    struct Case {
        unsigned char upper, lower;
    } pairs[] = {{0xC4, 0xE4}, {0xDE, 0xFE}, {0x8A, 0x9A}, {0x9F, 0xFF}, {'A', 'a'}};
    for (const auto& p : pairs) {
        EXPECT_EQ(LowerChar(p.upper), p.lower) << int(p.upper);
        EXPECT_EQ(UpperChar(p.lower), p.upper) << int(p.lower);
        EXPECT_TRUE(UpperLetters().Has(p.upper));
        EXPECT_TRUE(LowerLetters().Has(p.lower));
    }
    // The multiplication and division signs sit among the letters but are none.
    EXPECT_FALSE(Letters().Has(static_cast<unsigned char>(0xD7)));
    EXPECT_EQ(LowerChar(static_cast<unsigned char>(0xF7)), 0xF7);
    EXPECT_FALSE(BuildCharacterTables("klingon"));
    EXPECT_EQ(LowerChar(static_cast<unsigned char>(0xC4)), 0xE4);  // unknown code page kept the tables
}

TEST_F(CaseTablesTest, Utf8LocaleNeverTouchesHighBytes) {
    setenv("LC_ALL", "C.UTF-8", 1);
    ASSERT_TRUE(BuildCharacterTables(""));
    for (unsigned c = 128; c < 256; ++c) {
        EXPECT_EQ(LowerChar(static_cast<unsigned char>(c)), c);
        EXPECT_EQ(UpperChar(static_cast<unsigned char>(c)), c);
    }
    EXPECT_EQ(UpperCase("gr\xC3\xBC\xC3\x9F"), "GR\xC3\xBC\xC3\x9F");
    EXPECT_EQ(UpperChar('q'), 'Q');
}

}  // namespace
}  // namespace rowsmith::text
