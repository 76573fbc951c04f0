#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/template_cases.h"
#include "template/context.h"
#include "template/evaluator.h"
#include "template/registry.h"
#include "text/chars.h"
#include "text/strings.h"
#include "text/unicase.h"
#include "text/utf8.h"

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
    });
}

TEST_F(CaseModifiers, BytesModelLeavesUtf8LettersToTheAsciiTables) {
    text::CharModelScope bytes(text::CharModel::Bytes);
    Check({
        // UTF-8 letters are never split or changed by the ASCII case tables.
        {"{{line|caseupper}}", "na\xC3\xAFve", "NA\xC3\xAFVE"},
        {"{{line|caseupper}}",
         "stra\xC3\x9F"
         "e",
         "STRA\xC3\x9F"
         "E"},
        {"{{line|caseenglish}}", "na\xC3\xAFve art", "Na\xC3\xAFve Art"},
    });
}

TEST_F(CaseModifiers, UnicodeCaseConversions) {
    Check({
        {"{{line|caseupper}}",
         "stra\xC3\x9F"
         "e",
         "STRASSE"},
        {"{{line|caseupper}}", "na\xC3\xAFve", "NA\xC3\x8FVE"},
        {"{{line|caselower}}", "\xCE\x9F\xCE\x94\xCE\x9F\xCE\xA3 \xCE\xA3\xCE\x91",  // ΟΔΟΣ ΣΑ
         "\xCE\xBF\xCE\xB4\xCE\xBF\xCF\x82 \xCF\x83\xCE\xB1"},                       // οδος σα
        {"{{line|casefirstupper}}",
         "\xC7\x86"
         "emal \xC7\x86",
         "\xC7\x85"
         "emal \xC7\x86"},  // ǆ -> ǅ
        {"{{line|caseupperfirst}}", "\xC3\xA9t\xC3\xA9", "\xC3\x89t\xC3\xA9"},
        {"{{line|caseenglish}}", "na\xC3\xAFve caf\xC3\xA9", "Na\xC3\xAFve Caf\xC3\xA9"},
        // Guillemets and dashes beyond ASCII separate words; the curly apostrophe does not.
        {"{{line|caseenglish}}",
         "\xC2\xAB\xC3\xA9lan\xC2\xBB vital\xE2\x80\x94\xC3\xBC"
         "ber l\xE2\x80\x99\xC3\xA9t\xC3\xA9",
         "\xC2\xAB\xC3\x89lan\xC2\xBB Vital\xE2\x80\x94\xC3\x9C"
         "ber L\xE2\x80\x99\xC3\xA9t\xC3\xA9"},
        // A combining accent belongs to its word: "école" written with U+0301.
        {"{{line|caseenglish}}",
         "e\xCC\x81"
         "cole normale",
         "E\xCC\x81"
         "cole Normale"},
        {"{{line|caseintelligent}}", "LE \xCE\xA3\xCE\x9F\xCE\xA6\xCE\x9F\xCE\xA3 OF \xC3\x89T\xC3\x89",
         "Le \xCE\xA3\xCE\xBF\xCF\x86\xCE\xBF\xCF\x82 of \xC3\x89t\xC3\xA9"},  // Le Σοφος of Été
        {"{{line|caseintelligent}}", "CAF\xC3\x89(S) OF \xC3\x89T\xC3\x89 (THE)",
         "Caf\xC3\xA9(s) of \xC3\x89t\xC3\xA9 (The)"},
        {"{{line|caseintelligent}}", "the \xC7\x86ungla", "The \xC7\x85ungla"},
        {"{{line|caseinvert}}",
         "Stra\xC3\x9F"
         "e \xCE\x9F\xCE\x94\xCE\x9F\xCE\xA3",
         "sTRASSE \xCE\xBF\xCE\xB4\xCE\xBF\xCF\x82"},
        // Before a letter that goes up the sigma is not final; title case ǅ goes up.
        {"{{line|caseinvert}}", "\xCE\x9F\xCE\xA3\xCE\xB1 \xC7\x85", "\xCE\xBF\xCF\x83\xCE\x91 \xC7\x84"},
        // Stray bytes are no letters and stay as they are; inside a word they do not split it.
        {"{{line|caseupper}}",
         "\xC3\xA9\xFF"
         "a",
         "\xC3\x89\xFF"
         "A"},
        {"{{line|caseenglish}}", "caf\xE9s \xC3\xA9t\xC3\xA9", "Caf\xE9s \xC3\x89t\xC3\xA9"},
        {"{{line|caseinvert}}",
         "\xE9"
         "a\xC3\xA9",
         "\xE9"
         "A\xC3\x89"},
    });
}

// On the ASCII part of a value the character rules must agree with the byte rules: a value that holds
// one character beyond ASCII takes the other path, and must not read differently for it.
TEST_F(CaseModifiers, UnicodePathAgreesWithTheBytePathOnAscii) {
    const std::string tail = " \xC2\xB7";  // a middle dot: no letter, no case
    const std::vector<std::string> lines = {
        "the lord of the rings",
        "FILE(S) FOUND",
        "don't go without me",
        "hello world-wide o'neil x.y",
        "a (the) test",
        "war [and] peace {of} mind",
        "2 (S) found",
        "route 66, 2nd edition",
        "god and his son, the lord; jehovah he",
        "godly God the",
        "It Is what it is",
        "HAS HAVE IS iS",
        "she has, they have; this uses",
        "isle this hash",
        "aB1 x`y, z'q",
    };
    for (const char* word :
         {"caseupper", "caselower", "caseenglish", "caseintelligent", "caseinvert", "casegod", "inthepast"})
        for (const std::string& line : lines) {
            const std::string tmpl = "{{line|" + std::string(word) + "}}";
            EXPECT_EQ(Run(tmpl, line + tail), Run(tmpl, line) + tail) << word << ": " << line;
        }
}

TEST_F(CaseModifiers, UnicodeCaseRandomKeepsTheLetters) {
    text::SeedRandom(11);
    const std::string line =
        "\xC3\x80\xC3\x89\xC3\x8E\xC3\x95\xC3\x9C \xC3\xA0\xC3\xA9\xC3\xAE\xC3\xB5\xC3\xBC "
        "\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x9F\xCE\xA3 \xD0\xB6\xD0\x96 abc";
    const std::string out = Run("{{line|caserandom}}", line);
    EXPECT_TRUE(text::IsValidUtf8(out));
    EXPECT_EQ(text::UnicodeLower(out), text::UnicodeLower(line));
    EXPECT_NE(out, text::UnicodeLower(line));
    EXPECT_NE(out, text::UnicodeUpper(line));
}

// Valid UTF-8 stays valid under every word of the family, whatever the characters grow or shrink to,
// and stray bytes survive the words that change case.
TEST_F(CaseModifiers, UnicodeValuesStayValid) {
    const std::vector<std::string> lines = {
        "\xC3\xA0 \xC2\xA0\xC3\xA0\xE3\x80\x80",                   // à, no-break space, U+3000
        "\xCE\x90\xC3\x9F\xEF\xAC\x81 \xC4\xB0\xC7\x86 \xCE\xA3",  // ΐßﬁ İǆ Σ
        "\xF0\x9F\x98\x80"
        "a\xCC\x81 (s) the \xD9\xA3, the",                         // emoji, a + U+0301, ٣
        "\xE2\x80\x99he\xE2\x80\x99 god\xC2\xA0his \xE1\xBA\x9E",  // ’he’ god his ẞ
    };
    for (const char* word : {"caseupper",
                             "caselower",
                             "casefirstupper",
                             "caseenglish",
                             "caseintelligent",
                             "caserandom",
                             "caseinvert",
                             "casegod",
                             "inthepast",
                             "onlyinitials",
                             "onlynumbers",
                             "onlyletters",
                             "onlylettersandnumbers",
                             "nospace",
                             "trim",
                             "trimleft",
                             "trimright",
                             "scrubthe",
                             "thetofront",
                             "brackettofront",
                             "alphabeticalgroup",
                             "eleet",
                             "eleettonormal"})
        for (const std::string& line : lines) {
            const std::string tmpl = "{{line|" + std::string(word) + "}}";
            EXPECT_TRUE(text::IsValidUtf8(Run(tmpl, line))) << word << ": " << line;
        }
    for (const char* word : {"caseupper", "caselower", "caseinvert", "caseenglish", "caseintelligent"}) {
        const std::string out = Run("{{line|" + std::string(word) + "}}", "\xFF\xC3\xA9\xFE");
        EXPECT_TRUE(out.size() == 4 && out.front() == '\xFF' && out.back() == '\xFE') << word;
    }
}

TEST_F(CaseModifiers, UnicodeWholeWords) {
    Check({
        // A letter beyond ASCII is part of the word; dashes and guillemets are not.
        {"{{line|casegod}}", "\xC3\x89god god\xE2\x80\x94his \xC2\xABhe\xC2\xBB",
         "\xC3\x89god GOD\xE2\x80\x94HIS \xC2\xABHE\xC2\xBB"},
        {"{{line|casegod}}", "hi\xE2\x80\x99s god\xC3\xA9", "hi\xE2\x80\x99s god\xC3\xA9"},
        {"{{line|inthepast}}", "is\xC3\xA9 IS caf\xC3\xA9 Has", "is\xC3\xA9 WAs caf\xC3\xA9 Had"},
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
        {"{{line|nospaces}}", " a ", "a"},
        {"{{line|replacespace}}", "a b", "ab"},
        {"{{line|trim}}", " \t a b \x01", "a b"},
        {"{{line|trimleft}}", "  a  ", "a  "},
        {"{{line|trimright}}", "  a  ", "  a"},
    });
}

TEST_F(CaseModifiers, BytesModelNoSpaceRemovesByte160) {
    text::CharModelScope bytes(text::CharModel::Bytes);
    Check({
        {"{{line|nospace}}",
         "a b\tc\xA0"
         "d",
         "abcd"},
    });
}

TEST_F(CaseModifiers, UnicodeFiltersAndWords) {
    Check({
        {"{{line|onlyletters}}",
         "\xC3\x87"
         "a va? 3 \xD0\xB6!",
         "\xC3\x87"
         "ava\xD0\xB6"},  // Ça va? 3 ж!
        // Decimal digits of every script; superscripts and fractions are no digits.
        {"{{line|onlynumbers}}", "\xE2\x84\x96 \xD9\xA3\xD9\xA4 5\xC2\xB2 \xC2\xBD",
         "\xD9\xA3\xD9\xA4"
         "5"},
        {"{{line|onlynumbers:\xD9\xAB}}", "x\xD9\xA3\xD9\xAB\xD9\xA5y",
         "\xD9\xA3\xD9\xAB\xD9\xA5"},  // Arabic decimal separator
        // A combining accent goes with the character it follows.
        {"{{line|onlylettersandnumbers}}", "e\xCC\x81-\xD9\xA1 x", "e\xCC\x81\xD9\xA1x"},
        // "à" is C3 A0: byte 160 must not be taken out of it.
        {"{{line|nospace}}",
         "\xC3\xA0 la\xC2\xA0"
         "carte\xE3\x80\x80x\te",
         "\xC3\xA0lacartexe"},
        {"{{line|replacespace}}", "\xC3\xA9 \xE2\x80\xAF\xC3\xA9\n", "\xC3\xA9\xC3\xA9\n"},
        {"{{line|trim}}", "\xC2\xA0\xE3\x80\x80 \xC3\xA9t\xC3\xA9 \xE2\x80\x83\xC2\x85", "\xC3\xA9t\xC3\xA9"},
        {"{{line|trim}}", "\xC2\x96\xC3\xA9\x01", "\xC3\xA9"},  // a C1 control character
        {"{{line|trimleft}}", "\xC2\xA0\xC3\xA9\xC2\xA0", "\xC3\xA9\xC2\xA0"},
        {"{{line|trimright}}", "\xC2\xA0\xC3\xA9\xC2\xA0", "\xC2\xA0\xC3\xA9"},
        {"{{line|trim}}", "\xA0\xC3\xA9\xA0", "\xA0\xC3\xA9\xA0"},  // stray bytes are kept
        {"{{line|onlyinitials}}",
         "\xC2\xAB\xC3\xA9"
         "cole\xC2\xBB e\xCC\x81lan\xE2\x80\x94\xC3\xBC"
         "ber",
         "\xC3\xA9"
         "e\xCC\x81\xC3\xBC"},
        {"{{line|onlyinitials}}", "caf\xE9 \xC3\xA0 l'ami", "c\xC3\xA0la"},
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
        {"{{line|alphabeticalgroup}}", "\xE9t\xE9", "!"},  // stray bytes, or no letter in the ASCII tables
        // Letters beyond ASCII make the group "A", as the high letters of a code page do.
        {"{{line|alphabeticalgroup}}", "\xC3\xA9t\xC3\xA9", "A"},
        {"{{line|alphabeticalgroup}}", "\xD9\xA3x", "0"},
        {"{{line|alphabeticalgroup}}", "\xE2\x80\x94x", "!"},
        // The digit mark is a whole character.
        {"{{line|alphabetgroup:\xE2\x84\x96}}", "7up", "\xE2\x84\x96"},
    });
}

TEST_F(CaseModifiers, AlphabeticalGroupWithCp1252Tables) {
    text::CharModelScope bytes(text::CharModel::Bytes);
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
