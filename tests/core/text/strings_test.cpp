#include "text/strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "text/utf8.h"

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

// Each transform on UTF-8 text: by character in the Utf8 model, by byte in the bytes model (where a
// cut may split a character, as it always did).
TEST(TextTransforms, CountCharactersOfTheModel) {
    struct Case {
        const char* what;
        std::function<std::string()> run;
        std::string utf8;
        std::string bytes;
    };
    auto taken_over = [] {
        std::string t = "xyz";
        TakeOverCase(t, "éAb");
        return t;
    };
    auto random_fill = [] {
        const std::string r = RandomText("&#", 2, 5, "é");
        return r.substr(0, r.size() - 2);
    };
    const std::vector<Case> cases = {
        {"reverse", [] { return ReverseText("añb"); }, "bña", "b\xB1\xC3" "a"},
        {"reverse with a stray byte", [] { return ReverseText("x\xFF€"); }, "€\xFFx", "\xAC\x82\xE2\xFFx"},
        {"shorten", [] { return ShortenText("Grüße aus Köln", 5, ".."); }, "Grü..", "Gr\xC3.."},
        {"shorten, suffix of several bytes", [] { return ShortenText("abcdef", 4, "…"); }, "abc…", "a…"},
        {"not longer than the maximum", [] { return ShortenText("äöü", 3, ".."); }, "äöü", "\xC3.."},
        {"suffix longer than the maximum", [] { return ShortenText("ab", 1, "ée"); }, "é", "\xC3"},
        {"overwrite", [] { return OverwriteSpan("äöüß", "-", 2, 2); }, "ä--ß", "\xC3--\xB6üß"},
        {"overwrite past the end", [] { return OverwriteSpan("é", "€", 3, 2); }, "é€€", "é\xE2\x82"},
        {"extra characters", [] { return OnlyNumbers("ä1é2", "é"); }, "1é2", "\xC3" "1é2"},
        {"no blanks", [] { return KeepChars("à b\u00A0c", ~Blanks()); }, "àbc", "\xC3" "b\xC2" "c"},
        {"nbsp", [] { return SpacesToNbsp("à\u00A0"); }, "à&nbsp;", "\xC3&nbsp;\xC2&nbsp;"},
        {"nbsp in numbers", [] { return NbspInNumbers("0123\u00A0456 x"); }, "0123&nbsp;456 x",
         "0123\xC2&nbsp;456 x"},
        {"visible width", [] { return VisibleText("<nobr>à\u00A0b</nobr>"); }, "à_b", "\xC3_\xC2_b"},
        {"case taken over", taken_over, "xYz", "xyZ"},
        {"random fill", random_fill, "ééé", "é\xC3"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.run(), c.utf8) << c.what;
        CharModelScope bytes(CharModel::Bytes);
        EXPECT_EQ(c.run(), c.bytes) << c.what;
    }
}

// Under code-page tables a case-free search of UTF-8 text must not fold lead bytes: "é" folded as
// cp1252 bytes would match the first two bytes of a three-byte character.
TEST(TextTransforms, CaseFreeReplaceKeepsCharactersWhole) {
    struct Cp1252Tables {
        Cp1252Tables() { BuildCharacterTables("cp1252"); }
        ~Cp1252Tables() { BuildCharacterTables("ascii"); }
    } tables;
    const std::string text = "\u3A69xé";  // bytes E3 A9 A9, x, C3 A9
    EXPECT_EQ(ReplaceAll(text, "é", "e", false), "\u3A69xe");
    EXPECT_EQ(ReplaceAll("AbC", "c", "-", false), "Ab-");
    CharModelScope bytes(CharModel::Bytes);
    EXPECT_EQ(ReplaceAll(text, "é", "e", false), "e\xA9xe");
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
