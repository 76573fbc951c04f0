#include "text/unicase.h"

#include <gtest/gtest.h>
#include <unicode/uloc.h>

#include <string>
#include <thread>
#include <vector>

#include "text/utf8.h"

namespace rowsmith::text {
namespace {

TEST(Unicase, FullMappings) {
    struct Case {
        std::string text, upper, lower, title_first;
    };
    const std::vector<Case> cases = {
        {"stra\xC3\x9F"
         "e",
         "STRASSE",
         "stra\xC3\x9F"
         "e",
         "Stra\xC3\x9F"
         "e"},
        {"\xC3\x9F"
         "a",
         "SSA",
         "\xC3\x9F"
         "a",
         "Ssa"},  // ß title-cases to "Ss"
        {"\xC7\x86"
         "emal",
         "\xC7\x84"
         "EMAL",
         "\xC7\x86"
         "emal",
         "\xC7\x85"
         "emal"},                                              // ǆ: Ǆ and ǅ
        {"\xEF\xAC\x81sh", "FISH", "\xEF\xAC\x81sh", "Fish"},  // the ligature ﬁ
        // Sigma: final at a word's end (also before a full stop), not at the start or alone.
        {"\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x9F\xCE\xA3. \xCE\xA3",
         "\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x9F\xCE\xA3. \xCE\xA3",
         "\xCF\x83\xCE\xBF\xCF\x86\xCE\xBF\xCF\x82. \xCF\x83",
         "\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x9F\xCE\xA3. \xCE\xA3"},
        // Root rules, not Turkish ones: İ lowers to i with a combining dot.
        {"\xC4\xB0", "\xC4\xB0", "i\xCC\x87", "\xC4\xB0"},
        // Stray bytes, cut sequences and NUL stay; the letters around them are mapped.
        {"\xC3\xA9\xFF"
         "a\xE2\x82",
         "\xC3\x89\xFF"
         "A\xE2\x82",
         "\xC3\xA9\xFF"
         "a\xE2\x82",
         "\xC3\x89\xFF"
         "a\xE2\x82"},
        {std::string("\xC3\xA9\0a", 4), std::string("\xC3\x89\0A", 4), std::string("\xC3\xA9\0a", 4),
         std::string("\xC3\x89\0a", 4)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UnicodeUpper(c.text), c.upper) << c.text;
        EXPECT_EQ(UnicodeLower(c.text), c.lower) << c.text;
        EXPECT_EQ(UnicodeTitleFirst(c.text), c.title_first) << c.text;
    }
}

// ΐ upper-cases to three characters, six bytes for two: more than a first guess of the room needed.
TEST(Unicase, ResultsLongerThanTheirSourceAreWhole) {
    std::string text, expected;
    for (int i = 0; i < 200; ++i) {
        text += "\xCE\x90";
        expected += "\xCE\x99\xCC\x88\xCC\x81";
    }
    EXPECT_EQ(UnicodeUpper(text), expected);
}

// The maps are opened per thread: a thread that starts under a Turkish default locale must still
// map i to I.
TEST(Unicase, UserLocaleDoesNotChangeMappings) {
    const std::string before = uloc_getDefault();
    UErrorCode e = U_ZERO_ERROR;
    uloc_setDefault("tr_TR", &e);
    ASSERT_TRUE(U_SUCCESS(e));
    std::string upper, lower, title;
    std::thread([&] {
        upper = UnicodeUpper("i\xC3\xA9");
        lower = UnicodeLower("I\xC3\xA9");
        title = UnicodeTitleFirst("istanbul\xC3\xA9");
    }).join();
    e = U_ZERO_ERROR;
    uloc_setDefault(before.c_str(), &e);
    EXPECT_EQ(upper, "I\xC3\x89");
    EXPECT_EQ(lower, "i\xC3\xA9");
    EXPECT_EQ(title, "Istanbul\xC3\xA9");
}

TEST(Unicase, CharacterClasses) {
    struct Case {
        char32_t c;
        bool letter, digit, space, blank, word, trimmed;
    };
    const std::vector<Case> cases = {
        {'a', true, false, false, false, true, false},
        {'7', false, true, false, false, true, false},
        {' ', false, false, true, true, false, true},
        {'\n', false, false, true, false, false, true},
        {'\x01', false, false, false, false, false, true},
        {'\x7F', false, false, false, false, false, false},  // trimming stops at the space, as on bytes
        {'\'', false, false, false, false, false, false},
        {0xE9, true, false, false, false, true, false},      // é
        {0x436, true, false, false, false, true, false},     // ж
        {0x663, false, true, false, false, true, false},     // Arabic-Indic three
        {0xFF15, false, true, false, false, true, false},    // fullwidth five
        {0xB2, false, false, false, false, false, false},    // superscript two
        {0x2163, true, false, false, false, true, false},    // Roman numeral four: Alphabetic
        {0xA0, false, false, true, true, false, true},       // no-break space
        {0x3000, false, false, true, true, false, true},     // ideographic space
        {0x2028, false, false, true, false, false, true},    // line separator: a line end, no blank
        {0x85, false, false, true, false, false, true},      // next line
        {0x96, false, false, false, false, false, true},     // a C1 control
        {0x200B, false, false, false, false, false, false},  // zero-width space: no White_Space
        {0x301, false, false, false, false, true, false},    // combining acute
        {0x200C, false, false, false, false, true, false},   // zero-width non-joiner, inside Persian words
        {kStrayByteBase + 0xE9, false, false, false, false, true, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(static_cast<uint32_t>(k.c));
        EXPECT_EQ(IsUnicodeLetter(k.c), k.letter);
        EXPECT_EQ(IsUnicodeDigit(k.c), k.digit);
        EXPECT_EQ(IsUnicodeSpace(k.c), k.space);
        EXPECT_EQ(IsUnicodeBlank(k.c), k.blank);
        EXPECT_EQ(IsUnicodeWordPart(k.c), k.word);
        EXPECT_EQ(IsUnicodeTrimmed(k.c), k.trimmed);
    }
    EXPECT_TRUE(ChangesWhenUppercased(0xDF));   // ß
    EXPECT_FALSE(ChangesWhenUppercased(0xC9));  // É
    EXPECT_FALSE(ChangesWhenUppercased(kStrayByteBase + 0xE9));
}

// The characters listed as extra are whole characters, and a combining mark goes with its base.
TEST(Unicase, KeepFilter) {
    struct Keep {
        std::string text;
        CharTest keep;
        std::string extra, expected;
    };
    const std::vector<Keep> keeps = {
        {"\xC3\xA9-1 \xD0\xB6", IsUnicodeLetter, "-", "\xC3\xA9-\xD0\xB6"},
        {"\xE2\x82\xAC"
         "1",
         IsUnicodeDigit, "\xE2\x80\x94", "1"},  // "—" shares a lead byte with "€"
        {"e\xCC\x81\xCC\x82 1\xCC\x81", IsUnicodeLetter, "", "e\xCC\x81\xCC\x82"},
        {"\xCC\x81"
         "a",
         IsUnicodeLetter, "", "a"},  // a mark with no character before it
        {"a\xFF"
         "b\xFE",
         IsUnicodeLetter, "\xFF",
         "a\xFF"
         "b"},
    };
    for (const Keep& k : keeps) EXPECT_EQ(UnicodeKeep(k.text, k.keep, k.extra), k.expected) << k.text;
}

}  // namespace
}  // namespace rowsmith::text
