#include "text/search.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace rowsmith::text {
namespace {

TEST(FindText, CaseAndBounds) {
    struct Case {
        const char* search;
        const char* text;
        int case_flag;
        int32_t expected;
    } cases[] = {
        {"b", "abc", 0, 2},     {"B", "abc", 0, 2},    {"B", "abc", 1, 0}, {"bC", "xabc", 0, 3},
        {"abcd", "abc", 0, 0},  {"", "abc", 0, 0},     {"-", "a-b", 0, 2}, {"c", "abc", 1, 3},
        {"ABC", "xxabc", 0, 3}, {"aab", "aaab", 0, 2}, {"z", "", 0, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(FindText(c.search, c.text, c.case_flag), c.expected) << c.search;
    EXPECT_EQ(FindTextFrom("a", "abca", 2), 4);
    EXPECT_EQ(FindTextFrom("a", "abca", -5), 1);
    EXPECT_EQ(FindTextFrom("a", "abca", 5), 0);
    EXPECT_EQ(FindTextFrom("a", "abca", 99), 0);
    // A search text longer than the scratch buffer still folds case.
    const std::string long_search(40, 'Q');
    EXPECT_EQ(FindText(long_search, "x" + std::string(40, 'q')), 2);
}

TEST(FindOccurrence, ChoosesByNumber) {
    struct Case {
        int32_t occurrence;
        int32_t expected;
    } cases[] = {{1, 1}, {2, 4}, {3, 7}, {4, 0}, {0, 7}, {-1, 7}, {-3, 1}, {-4, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(FindOccurrence("ab", "abxABxab", c.occurrence), c.expected) << c.occurrence;
    EXPECT_EQ(FindOccurrence("ab", "abxABxab", 2, 1), 7);  // exact: "AB" does not count
    EXPECT_EQ(FindOccurrence("aa", "aaaa", 3), 3);         // overlapping matches
}

TEST(FindWholeWord, Boundaries) {
    struct Case {
        const char* word;
        const char* text;
        int32_t expected;
    } cases[] = {
        {"art", "start art", 7}, {"art", "party", 0}, {"art", "art", 1}, {"Art", "(art)", 2},
        {"aa", "aaa aa", 5},     {"ab", "aab ab", 5}, {"x", "x-y", 1},   {"don", "don't", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindWholeWord(c.word, c.text), c.expected) << c.word << " in " << c.text;
}

TEST(Counting, OverlapAndItems) {
    EXPECT_EQ(CountOccurrences("aa", "aaaa"), 3);
    EXPECT_EQ(CountNonOverlapping("aa", "aaaa"), 2);
    EXPECT_EQ(CountOccurrences("A", "banana"), 3);
    EXPECT_EQ(CountOccurrences("", "banana"), 0);
    EXPECT_EQ(CountItems("", ","), 0);
    EXPECT_EQ(CountItems("a", ","), 1);
    EXPECT_EQ(CountItems("a,,b", ","), 3);
    EXPECT_EQ(CountInItems(",", "a,\"b,c\",d", 0, "-zq-", "\"", "\""), 2);
    EXPECT_EQ(CountInItems(",", "a,\"b,c\",d", 0, "-zq-", "", ""), 3);
    EXPECT_EQ(CountInItems(";-zq-,", "a;b,c", 0, "-zq-", "", ""), 0);  // "-zq-" marker: one alternative
    EXPECT_EQ(CountInItems(";|,", "a;b,c,,d", 0, "|", "", ""), 4);
    EXPECT_EQ(CountInItems(",,|,", "a,,,b", 0, "|", "", ""), 2);  // counted as the cut finds them
    EXPECT_EQ(CountInItems("X", "axbXc", 1, "", "", ""), 1);
}

TEST(EntryIndex, FindsWholeEntries) {
    struct Case {
        const char* entry;
        const char* list;
        int case_flag;
        int32_t expected;
    } cases[] = {
        {"a", "a,b,c", 0, 1}, {"c", "a,b,c", 0, 3}, {"b", "ab,b", 0, 2}, {"B", "a,b", 0, 2},
        {"B", "a,b", 1, 0},   {"x", "a,b", 0, 0},   {"", "a,,b", 0, 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EntryIndex(c.entry, c.list, ",", c.case_flag), c.expected) << c.entry;
    EXPECT_EQ(EntryIndex("b", "a<>b", "<>"), 2);
}

TEST(SearchPosInfo, AnchorsAndPositions) {
    struct Case {
        int32_t anchor;
        const char* search;
        int32_t expected;
    } cases[] = {{1, "ab", 1}, {1, "ca", 0}, {2, "ab", 4}, {2, "ca", 0}, {0, "ca", 3}};
    for (const auto& c : cases) {
        PosInfoT info;
        info.Anchor = c.anchor;
        EXPECT_EQ(SearchPosInfo(info, c.search, "abcab"), c.expected) << c.anchor << c.search;
        if (c.expected == 0) {
            EXPECT_TRUE(info.Positions.empty());
            EXPECT_EQ(info.FoundCount, 0);
            EXPECT_EQ(info.FoundLength, 0);
        }
    }

    PosInfoT info;
    EXPECT_EQ(SearchAll(info, "an", "banana"), 2);
    ASSERT_EQ(info.Positions.size(), 3u);
    EXPECT_EQ(info.Positions[0], (PositionT{4, 2}));  // entry 0 repeats the last match
    EXPECT_EQ(info.Positions[1], (PositionT{2, 2}));
    EXPECT_EQ(info.FoundPosition, 2);
    EXPECT_EQ(info.CollectAll, 0);

    InitPosInfo(info);
    EXPECT_EQ(SearchPosInfo(info, "na", "banana"), 3);  // simple case fills entries 0 and 1
    EXPECT_EQ(info.Positions, (PositionArT{{3, 2}, {3, 2}}));

    info.CaseSensitive = 0;
    info.Occurrence = 2;
    EXPECT_EQ(SearchPosInfo(info, "NA", "banana"), 5);
    EXPECT_EQ(info.FoundCount, 2);
}

TEST(SearchPosInfo, SkipsQuotedSpans) {
    PosInfoT info;
    info.SkipQuoted = 1;
    EXPECT_EQ(SearchPosInfo(info, "x", "\"x\" x"), 5);
    info.QuoteOpen = std::string(1, '(');
    info.QuoteClose = std::string(1, ')');
    EXPECT_EQ(SearchPosInfo(info, "x", "(a(x)x)x"), 8);
    EXPECT_EQ(SearchAll(info, "x", "(x)x(x"), 2);  // an unclosed span hides nothing
    info.QuoteClose = "";
    info.QuoteOpen = std::string(1, '\'');
    EXPECT_EQ(SearchPosInfo(info, "x", "'x'"), 0);
}

TEST(SearchPosInfo, Modes) {
    EXPECT_EQ(FindNthNumber("a12b345c6", 1), (PositionT{2, 2}));
    EXPECT_EQ(FindNthNumber("a12b345c6", 2), (PositionT{5, 3}));  // runs are whole, never their tails
    EXPECT_EQ(FindNthNumber("a12b345c6", 0), (PositionT{9, 1}));
    EXPECT_EQ(FindNthNumber("a12b345c6", -3), (PositionT{2, 2}));
    EXPECT_EQ(FindNthNumber("a12b345c6", 4), (PositionT{}));
    EXPECT_EQ(FindNthNumber("none", 1), (PositionT{}));

    PosInfoT info;
    EXPECT_EQ(SearchByMode(info, kSearchWordRun, "  don't stop"), 3);
    EXPECT_EQ(info.FoundLength, 5);
    info.Occurrence = 2;
    EXPECT_EQ(SearchByMode(info, kSearchWordRun, "  don't stop"), 9);

    InitPosInfo(info);
    EXPECT_EQ(SearchByMode(info, kSearchRepeated, "a11bbbc"), 4);  // digits are not letters
    EXPECT_EQ(info.FoundLength, 3);
    info.Occurrence = 0;
    EXPECT_EQ(SearchByMode(info, kSearchRepeated, "aaxaaa"), 4);
    EXPECT_EQ(info.FoundLength, 3);
    EXPECT_EQ(info.FoundCount, 2);

    InitPosInfo(info);
    EXPECT_EQ(SearchCharOfSet(info, CharSet::Of(",;"), "ab;c,d"), 3);
    EXPECT_EQ(info.FoundLength, 1);
    info.Occurrence = 0;
    EXPECT_EQ(SearchCharOfSet(info, CharSet::Of(",;"), "ab;c,d"), 5);

    InitPosInfo(info);
    info.MustStartWord = 1;
    info.MustEndWord = 1;
    info.SearchText = "cat";
    EXPECT_EQ(SearchStored(info, "concat cat"), 8);
}

TEST(CharacterSets, FirstLastRun) {
    const CharSet digits = Digits();
    EXPECT_EQ(FirstCharOfSet(digits, "ab12c3").Position, 3);
    EXPECT_EQ(FirstCharOfSet(digits, "ab12c3").Char, '1');
    EXPECT_EQ(FindLastOfSet(digits, "ab12c3").Position, 6);
    EXPECT_EQ(FindLastOfSet(digits, "abc").Position, 0);
    EXPECT_EQ(RunOfSetAt(digits, "ab12c3"), (PositionT{3, 2}));
    EXPECT_EQ(RunOfSetAt(digits, "abc"), (PositionT{}));
    EXPECT_EQ(RunLengthAt("ab12c3", digits, 4), 1);
    EXPECT_EQ(RunLengthAt("ab12c3", digits, 1), 0);
    EXPECT_EQ(RunLengthAt("ab12c3", digits, 40), 0);
    EXPECT_TRUE(DefaultWordCharacters().Has(static_cast<unsigned char>(146)));
    EXPECT_TRUE(DefaultWordCharacters().Has('`'));
    EXPECT_FALSE(DefaultWordCharacters().Has('-'));
}

// What templates see counts characters of the model: code points of UTF-8 text, or bytes.
TEST(FindText, PositionsCountCharactersOfTheModel) {
    struct Case {
        const char* what;
        std::function<int64_t()> run;
        int64_t utf8;
        int64_t bytes;
    };
    const std::vector<Case> cases = {
        {"find", [] { return FindText("L", "Grüße aus Köln"); }, 13, 16},
        {"find from", [] { return FindTextFrom("s", "Grüße aus Köln", 5); }, 9, 11},
        {"a stray byte is no tail of a character", [] { return FindText("\xA9", "éa\xA9"); }, 3, 2},
        {"occurrence", [] { return FindOccurrence("ö", "öxö", 2); }, 3, 4},
        {"whole word", [] { return FindWholeWord("ab", "€ab é"); }, 2, 4},
        {"nth number", [] { return FindNthNumber("é12€34", 2).Position; }, 5, 8},
        {"first of a set", [] { return FirstCharOfSet(Blanks(), "é\u00A0x").Position; }, 2, 4},
        {"last of a set", [] { return FindLastOfSet(Others(), "aé1").Position; }, 2, 3},
        {"the character found", [] { return FindLastOfSet(Others(), "aé1").Char; }, 0xE9, 0xA9},
        {"run length", [] { return RunLengthAt("xéé1", Others(), 3); }, 1, 3},
        {"run of a set", [] { return RunOfSetAt(Others(), "xéé1").Length; }, 2, 4},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.run(), c.utf8) << c.what;
        CharModelScope bytes(CharModel::Bytes);
        EXPECT_EQ(c.run(), c.bytes) << c.what;
    }
}

// The record keeps byte positions for the engines that cut with them, but in the Utf8 model a match
// covers whole characters.
TEST(SearchPosInfo, MatchesCoverWholeCharacters) {
    struct Case {
        const char* what;
        uint8_t mode;
        CharSet set;
        const char* text;
        PositionT utf8;
        PositionT bytes;
    };
    const CharSet high = CharSet::Range(128, 255);
    const std::vector<Case> cases = {
        {"character of a set", kSearchCharOfSet, high, "aé", {2, 2}, {2, 1}},
        {"repeated letter", kSearchRepeated, Letters() | high, "xééy", {2, 4}, {}},
        {"word run", kSearchWordRun, Letters() | high, "-- été --", {4, 5}, {4, 5}},
        // Byte 169 is the tail of "é", not "é" itself.
        {"word run of a set with one high byte", kSearchWordRun, Letters() | CharSet::Of("\xA9"), "éab",
         {3, 2}, {2, 3}},
    };
    for (const Case& c : cases) {
        for (const bool utf8 : {true, false}) {
            CharModelScope model(utf8 ? CharModel::Utf8 : CharModel::Bytes);
            PosInfoT info;
            info.Mode = c.mode;
            info.SearchSet = c.set;
            info.LetterSet = c.set;
            info.WordCharacters = c.set;
            SearchPosInfo(info, {}, c.text);
            EXPECT_EQ((PositionT{info.FoundPosition, info.FoundLength}), utf8 ? c.utf8 : c.bytes)
                << c.what << (utf8 ? " (utf8)" : " (bytes)");
        }
    }
}

TEST(SeparatorAlternatives, MarkerRules) {
    using V = std::vector<std::string_view>;
    EXPECT_EQ(SeparatorAlternatives(",|;||", "|"), (V{",", ";"}));
    EXPECT_EQ(SeparatorAlternatives(",|;", "-zq-"), (V{",|;"}));
    EXPECT_EQ(SeparatorAlternatives(",|;", ""), (V{",|;"}));
    EXPECT_EQ(SeparatorAlternatives("", "|"), V{});
}

// The block-wise byte test against a plain loop: every length around the block size, each wanted
// byte at every position, and texts full of near misses.
TEST(HasAnyByte, AgreesWithAPlainLoop) {
    const char wanted[] = {'<', '{', '/'};
    for (std::size_t n = 0; n <= 50; ++n) {
        std::string text(n, 'a');
        for (std::size_t i = 0; i < n; ++i) text[i] = static_cast<char>("=;?[|.0zZ\x7F\x80\xFF"[i % 12]);
        EXPECT_FALSE(HasAnyByte(text, '<', '{', '/')) << n;
        for (std::size_t at = 0; at < n; ++at)
            for (char w : wanted) {
                std::string t = text;
                t[at] = w;
                EXPECT_TRUE(HasAnyByte(t, '<', '{', '/')) << n << " at " << at << " " << w;
                EXPECT_FALSE(HasAnyByte(t, 'x', 'y', 'q')) << n << " at " << at;
            }
    }
    EXPECT_TRUE(HasAnyByte(std::string(40, '\0'), 'x', '\0', 'y'));
}

}  // namespace
}  // namespace rowsmith::text
