#include <gtest/gtest.h>

#include <string>

#include "support/template_cases.h"
#include "template/context.h"
#include "template/evaluator.h"
#include "template/registry.h"
#include "text/chars.h"
#include "text/strings.h"

namespace rowsmith::tmpl {
namespace {

using Case = testing::TemplateCase;

// Every row runs against a fresh context with the standard modifiers.
class CaseModifiers : public testing::FreshTemplateTest {};

TEST_F(CaseModifiers, CaseConversions) {
    Check({
        {"{{line|caseupper}}", "aBc1-x", "ABC1-X"},
        {"{{line|caselower}}", "AbC1-X", "abc1-x"},
        {"{{line|casefirstupper}}", "abc DEF", "Abc DEF"},
        {"{{line|caseupperfirst}}", "1abc", "1abc"},
        {"{{line|caseenglish}}", "hello world-wide o'neil x.y", "Hello World-Wide O'neil X.Y"},
        {"{{line|caseenglish}}", "don't stop", "Don't Stop"},
        {"{{line|caseinvert}}", "aB1", "Ab1"},
        {"{{line|caseinvert}}", "Hello, World", "hELLO, wORLD"},
        // UTF-8 letters are never split or changed by the ASCII case tables.
        {"{{line|caseupper}}", "na\xC3\xAFve", "NA\xC3\xAFVE"},
        {"{{line|caseenglish}}", "na\xC3\xAFve art", "Na\xC3\xAFve Art"},
    });
}

TEST_F(CaseModifiers, CaseIntelligentKeepsSmallWordsSmall) {
    Check({
        {"{{line|caseintelligent}}", "the lord of the rings", "The Lord of the Rings"},
        {"{{line|caseintelligent}}", "THE LORD OF THE RINGS", "The Lord of the Rings"},
        {"{{line|caseintelligent}}", "a (the) test", "A (The) Test"},
        {"{{line|caseintelligent}}", "war [and] peace {of} mind", "War [And] Peace {Of} Mind"},
        {"{{line|caseintelligent}}", "FILE(S) FOUND", "File(s) Found"},
        {"{{line|caseintelligent}}", "2 (S) found", "2 (S) Found"},
        {"{{line|caseintelligent}}", "of mice and men", "Of Mice and Men"},
        {"{{line|caseintelligent}}", "don't go without me", "Don't go without Me"},
        // Small words only count as whole words: "tom" and "another" are not "to" and "an".
        {"{{line|caseintelligent}}", "tom and another", "Tom and Another"},
        {"{{line|caseintelligent}}", "route 66, 2nd edition", "Route 66, 2nd Edition"},
        {"{{line|caseintelligent}}", "na\xC3\xAFve art", "Na\xC3\xAFve Art"},
    });
}

TEST_F(CaseModifiers, CaseRandomOnlyChangesLetterCase) {
    text::SeedRandom(7);
    const std::string line = "abcdefghijklmnopqrstuvwxyz0123456789 ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const std::string out = Run("{{line|caserandom}}", line);
    EXPECT_EQ(text::LowerCase(out), text::LowerCase(line));
    EXPECT_NE(out, text::LowerCase(line));
    EXPECT_NE(out, text::UpperCase(line));
}

TEST_F(CaseModifiers, WholeWordsInCapitalsAndInThePast) {
    Check({
        {"{{line|casegod}}", "god and his son, the lord; jehovah he",
         "GOD and HIS son, THE LORD; JEHOVAH HE"},
        // Only whole words as written in lower case.
        {"{{line|casegod}}", "godly God the", "godly God the"},
        {"{{line|casegod}}", "jehova jahweh messiah", "JEHOVA JAHWEH MESSIAH"},
        {"{{line|inthepast}}", "It Is what it is", "It Was what it was"},
        {"{{line|inthepast}}", "HAS HAVE", "HAD HAD"},
        {"{{line|inthepast}}", "she has, they have; this uses", "she had, they had; this used"},
        {"{{line|inthepast}}", "isle this hash", "isle this hash"},
    });
}

TEST_F(CaseModifiers, LookAlikeDigits) {
    Check({
        {"{{line|eleet}}", "Basket Leaves XZ-c", "645k37 134v35 82-c"},
        {"{{line|eleettonormal}}", "645k37 134v35", "basket leaves"},
        {"{{line|eleettonormal}}", "ABC 9", "abC g"},
    });
}

TEST_F(CaseModifiers, FiltersAndWords) {
    Check({
        {"{{line|reverse}}", "abc", "cba"},
        {"{{line|reversed}}", "ab c", "c ba"},
        {"{{line|onlyinitials}}", "Quorra rowsmith-tool  x", "Qrtx"},
        {"{{line|onlyinitials}}",
         "\xC3\xBC"
         "ber alles",
         "\xC3\xBC"
         "a"},
        {"{{line|onlynumbers:.}}", "x1.20y", "1.20"},
        {"{{line|onlynumbers}}", "x1.20y", "120"},
        {"{{line|onlyletters}}", "a1-b2", "ab"},
        {"{{line|onlyletters:-}}", "a1-b2", "a-b"},
        {"{{line|onlylettersandnumbers}}", "a1-b2 c", "a1b2c"},
        {"{{line|onlynumbersandletters: }}", "a1-b2 c", "a1b2 c"},
        {"{{line|nospace}}",
         "a b\tc\xA0"
         "d",
         "abcd"},
        {"{{line|nospaces}}", " a ", "a"},
        {"{{line|replacespace}}", "a b", "ab"},
        {"{{line|trim}}", " \t a b \x01", "a b"},
        {"{{line|trimleft}}", "  a  ", "a  "},
        {"{{line|trimright}}", "  a  ", "  a"},
    });
}

TEST_F(CaseModifiers, ArticlesAndBrackets) {
    Check({
        {"{{line|scrubthe}}", "Beatles, The", "Beatles"},
        {"{{line|scrubthe}}", "Who,the", "Who"},
        {"{{line|scrubthe}}", "Band, An", "Band"},
        {"{{line|scrubthe}}", "Theme", "Theme"},
        {"{{line|thetofront}}", "Beatles, The", "The Beatles"},
        {"{{line|thetofront}}", "beatles, THE", "The beatles"},
        {"{{line|thetofront}}", "Apple,an", "An Apple"},
        {"{{line|thetofront}}", "Beatles", "Beatles"},
        {"{{line|brackettofront}}", "Beatles (The)", "The Beatles"},
        {"{{line|brackettofront}}", "Song [live] (remix) x", "live remix Song x"},
        {"{{line|brackettofront}}", "a (b (c) d) e", "b (c) d a e"},
        {"{{line|brackettofront}}", "x {y}", "y x"},
        {"{{line|brackettofront}}", "a (b", "a (b"},
        {"{{line|brackettofront}}", "a () b", "a b"},
    });
}

TEST_F(CaseModifiers, AlphabeticalGroup) {
    Check({
        {"{{line|alphabeticalgroup}}", "", "-"},
        {"{{line|alphabeticalgroup}}", "apple", "A"},
        {"{{line|alphabeticalgroup}}", "7up", "0"},
        {"{{line|alphabetgroup:#}}", "7up", "#"},
        {"{{line|alphabeticalgroup}}", " x", "!"},
        {"{{line|alphabeticalgroup}}", "\xE9t\xE9", "!"},  // not a letter in the ASCII tables
    });
}

TEST_F(CaseModifiers, AlphabeticalGroupWithCp1252Tables) {
    ASSERT_TRUE(text::BuildCharacterTables("cp1252"));
    EXPECT_EQ(Run("{{line|alphabeticalgroup}}", "\xE9t\xE9"), "A");
    EXPECT_EQ(Run("{{line|caseupper}}", "\xE9t\xE9"), "\xC9T\xC9");
    // With real high letters the bytes are single characters again.
    EXPECT_EQ(Run("{{line|onlyinitials}}", "\xE9t\xE9 x"), "\xE9x");
    text::BuildCharacterTables("ascii");
}

TEST_F(CaseModifiers, MultiplyRespectsTheSizeBound) {
    Check({
        {"{{line|multiply:3}}", "ab", "ababab"},
        {"{{line|multiply:0}}", "ab", ""},
        {"{{line|multiply:-2}}", "ab", ""},
        {"{{line|multiply}}", "ab", ""},
        {"{{line|multiple:2}}", "ab", "abab"},
        {"{{line|dupe:2}}", "ab", "abab"},
        {"{{line|multiply:2000000000}}", "ab", ""},
        {"{{line|multiply:99999999999}}", "ab", ""},
    });
}

TEST_F(CaseModifiers, DictionaryAndCaretShortcut) {
    Check({
        {"{{line|dic}}", "word", "word"},
        {"{{line|dictionary}}", "word", "word"},
        {"^hello world", "", "hello world"},
        {"^^hello world, x", "", "hello world, x"},
    });
    TemplateRecordT record;
    record.Context.OnDictionary = [](std::string& out, std::string_view value) {
        out.assign(1, '<').append(value).append(1, '>');
    };
    EXPECT_EQ(ExpandTemplate("{{|:a|dic}} ^b", record.Context, 1), "<a> <b>");
}

// An empty value stays empty under every word of the family, except the alphabetical group.
TEST_F(CaseModifiers, EmptyValueStaysEmpty) {
    for (const char* word : {"caseupper",
                             "caselower",
                             "casefirstupper",
                             "caseupperfirst",
                             "caseenglish",
                             "caseintelligent",
                             "caserandom",
                             "caseinvert",
                             "casegod",
                             "eleet",
                             "eleettonormal",
                             "reverse",
                             "onlyinitials",
                             "onlynumbers",
                             "onlyletters",
                             "onlylettersandnumbers",
                             "onlynumbersandletters",
                             "nospace",
                             "replacespace",
                             "trim",
                             "trimleft",
                             "trimright",
                             "scrubthe",
                             "thetofront",
                             "brackettofront",
                             "multiply:3",
                             "dupe:2",
                             "inthepast",
                             "dic",
                             "dictionary"})
        EXPECT_EQ(Run("[{{line|" + std::string(word) + "}}]", ""), "[]") << word;
    EXPECT_EQ(Run("{{line|alphabetgroup}}", ""), "-");
}

}  // namespace
}  // namespace rowsmith::tmpl
