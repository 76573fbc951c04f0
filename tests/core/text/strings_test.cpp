#include "text/strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace rowsmith::text {
namespace {

TEST(CharacterFilters, KeepAndGroup) {
    EXPECT_EQ(OnlyNumbers("x1.20y", "."), "1.20");
    EXPECT_EQ(OnlyNumbers("a1b2"), "12");
    EXPECT_EQ(OnlyLetters("a1-b2", "-"), "a-b");
    EXPECT_EQ(OnlyLettersAndNumbers("a1 b2!"), "a1b2");
    EXPECT_EQ(SetText(CharSet::Of("cab"), ","), "a,b,c");
    EXPECT_EQ(SetText(CharSet(), ","), "");
    struct Case {
        const char* text;
        char expected;
    } cases[] = {{"", '-'}, {"beatles", 'B'}, {"9lives", '#'}, {" x", '!'}, {"\xE4pfel", '!'}};
    for (const auto& c : cases) EXPECT_EQ(AlphabeticalGroup(c.text, '#'), c.expected) << c.text;
}

TEST(CharacterFilters, CaseEnglishSeparators) {
    const CharSet s = CaseEnglishSeparators();
    EXPECT_TRUE(s.Has(' '));
    EXPECT_TRUE(s.Has('-'));
    EXPECT_FALSE(s.Has('\''));
    EXPECT_FALSE(s.Has('a'));
    EXPECT_FALSE(s.Has(static_cast<unsigned char>(0xA9)));  // ASCII tables: no byte >= 128 separates
    EXPECT_TRUE(WordSeparators().Has('\''));
}

TEST(RandomValues, PermutationAndText) {
    SeedRandom(42);
    std::vector<int32_t> p = RandomPermutation(10);
    ASSERT_EQ(p.size(), 11u);
    EXPECT_EQ(p[0], 0);
    std::vector<int32_t> sorted(p.begin() + 1, p.end());
    std::sort(sorted.begin(), sorted.end());
    for (int32_t i = 0; i < 10; ++i) EXPECT_EQ(sorted[i], i + 1);
    EXPECT_EQ(RandomPermutation(0), std::vector<int32_t>{0});

    SeedRandom(1);
    const std::string a = RandomText("#u", 50, 0, "");
    SeedRandom(1);
    EXPECT_EQ(RandomText("#u", 50, 0, ""), a);  // seeding makes draws repeatable
    EXPECT_TRUE(std::all_of(a.begin(), a.end(), [](char c) { return IsDigit(c) || (c >= 'A' && c <= 'Z'); }));
    const std::string lower = RandomText("", 20, 0, "");
    EXPECT_TRUE(std::all_of(lower.begin(), lower.end(), [](char c) { return c >= 'a' && c <= 'z'; }));
    EXPECT_EQ(RandomText("&#", 3, 6, "*").substr(0, 3), "***");
    EXPECT_EQ(RandomText("#&", 3, 6, "*").substr(3), "***");
    const std::string both = RandomText("&#&", 2, 6, "*");
    EXPECT_EQ(both.substr(0, 2) + both.substr(4), "****");
    EXPECT_EQ(RandomText("#", 3, 6, "*").size(), 3u);
}

TEST(RandomValues, RepeatedPatternCharactersWeightTheDraw) {
    SeedRandom(3);
    const std::string t = RandomText("###u", 4000, 0, "");
    const auto digits = std::count_if(t.begin(), t.end(), [](char c) { return IsDigit(c); });
    // Pool: 30 digits and 26 letters, so about 54 % digits.
    EXPECT_GT(digits, 1900);
    EXPECT_LT(digits, 2400);
}

TEST(TextTransforms, Table) {
    EXPECT_EQ(ReverseText("abc"), "cba");
    EXPECT_EQ(RepeatText("ab", 3), "ababab");
    EXPECT_EQ(RepeatText("ab", 0), "");
    EXPECT_EQ(ShortenText("abcdefgh", 5, ".."), "abc..");
    EXPECT_EQ(ShortenText("abc", 5, ".."), "abc");
    EXPECT_EQ(ShortenText("abcdefgh", 2, "...."), "..");
    EXPECT_EQ(OverwriteSpan("abcdef", "xy", 2, 3), "axyxef");
    EXPECT_EQ(OverwriteSpan("abc", "-", 5, 2), "abc--");
    EXPECT_EQ(OverwriteSpan("abc", "-", 0, 1), "-bc");
    EXPECT_EQ(ReplaceAll("aAaA", "aa", "b", false), "bb");
    EXPECT_EQ(ReplaceAll("aAaA", "aa", "b", true), "aAaA");
    EXPECT_EQ(ReplaceAll("aaa", "aa", "x", true), "xa");
    EXPECT_EQ(ReplaceAll("abc", "", "x", true), "abc");
    EXPECT_EQ(JoinNonEmpty("a", ",", "b"), "a,b");
    EXPECT_EQ(JoinNonEmpty("", ",", "b"), "b");
    EXPECT_EQ(JoinNonEmpty("a", ",", ""), "a");
    EXPECT_EQ(ClosingBracket('['), "]");
    EXPECT_EQ(ClosingBracket('<'), "");
    EXPECT_EQ(NoBreak(""), "");
    EXPECT_EQ(NoBreak("a b"), "<nobr>a b</nobr>");
    EXPECT_EQ(SpacesToNbsp("a\tb \xA0"), "a&nbsp;b&nbsp;&nbsp;");
}

TEST(TextTransforms, Articles) {
    struct Case {
        const char* text;
        const char* dropped;
        const char* moved;
    } cases[] = {
        {"Beatles, The", "Beatles", "The Beatles"},
        {"beatles, THE", "beatles", "The beatles"},
        {"Band,an", "Band", "An Band"},
        {"Thing, A", "Thing", "A Thing"},
        {"Theatre", "Theatre", "Theatre"},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DropTrailingArticle(c.text), c.dropped) << c.text;
        EXPECT_EQ(MoveArticleToFront(c.text), c.moved) << c.text;
    }
}

TEST(TextTransforms, NbspRuns) {
    EXPECT_EQ(NbspInNumbers("call 0123 456 now"), "call&nbsp;0123&nbsp;456 now");
    EXPECT_EQ(NbspInNumbers("a b"), "a b");
    EXPECT_EQ(NbspInNumbers("(01) 23"), "(01)&nbsp;23");
    EXPECT_EQ(NbspBetweenWords("two words, more here"), "two&nbsp;words,&nbsp;more&nbsp;here");
    EXPECT_EQ(NbspBetweenWords("end of run ,x"), "end&nbsp;of&nbsp;run ,x");  // a run keeps its last blank
    EXPECT_EQ(NbspInRuns("", Digits()), "");
}

TEST(TextTransforms, VisibleText) {
    struct Case {
        const char* html;
        const char* visible;
    } cases[] = {
        {"<b>bold</b> text", "bold text"},
        {"a&nbsp;b&amp;c", "a_b_c"},
        {"one<br>two", "one two"},
        {"<nobr>a b</nobr> c", "a_b c"},
        {"<NOBR>a b", "a_b"},  // unclosed span runs to the end
        {"<nobr>a <nobr>b c</nobr> d</nobr> e", "a_b_c_d e"},
        {"Tom & Jerry; 1 < 2", "Tom & Jerry; 1 < 2"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(VisibleText(c.html), c.visible) << c.html;
}

}  // namespace
}  // namespace rowsmith::text
