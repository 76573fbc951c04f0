#include "text/chars.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

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

// Whole-text case changes take a block-wise path under ASCII tables and the table path otherwise;
// every length (below, at and past the block size, with a partial last block) and every byte value
// at every position must come out as the per-byte tables say.
TEST_F(CaseTablesTest, WholeTextChangesEqualTheTablesUnderEveryTable) {
    for (const char* page : {"ascii", "cp1252"}) {
        ASSERT_TRUE(BuildCharacterTables(page));
        for (std::size_t n = 0; n <= 70; ++n) {
            for (unsigned start = 0; start < 256; start += 7) {
                std::string text(n, '\0');
                for (std::size_t i = 0; i < n; ++i) text[i] = static_cast<char>((start + i * 37) & 0xFF);
                std::string up = text, low = text;
                UpperCaseInPlace(up);
                LowerCaseInPlace(low);
                for (std::size_t i = 0; i < n; ++i) {
                    const auto c = static_cast<unsigned char>(text[i]);
                    ASSERT_EQ(static_cast<unsigned char>(up[i]), UpperChar(c)) << page << " n=" << n << " i=" << i;
                    ASSERT_EQ(static_cast<unsigned char>(low[i]), LowerChar(c)) << page << " n=" << n << " i=" << i;
                }
            }
        }
    }
}

}  // namespace
}  // namespace rowsmith::text
