#include "text/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rowsmith::text {
namespace {

TEST(Utf8, ValidityAndCounts) {
    struct Case {
        std::string text;
        bool valid;
        std::size_t chars;  // in the Utf8 model
    };
    const std::vector<Case> cases = {
        {"", true, 0},
        {"plain", true, 5},
        {"Gr\xC3\xBC\xC3\x9F" "e", true, 5},
        {"\xE2\x82\xAC", true, 1},          // euro sign
        {"\xF0\x9F\x98\x80!", true, 2},     // emoji
        {"\xC3", false, 1},                 // cut sequence: one stray byte
        {"a\xFF" "b", false, 3},
        {"\xC0\xAF", false, 2},             // overlong slash
        {"\xED\xA0\x80", false, 3},         // a surrogate written as UTF-8
        {"\xF4\x90\x80\x80", false, 4},     // past U+10FFFF
        {"\xE2\x82", false, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsValidUtf8(c.text), c.valid) << c.text;
        EXPECT_EQ(CountChars(c.text), c.chars) << c.text;
        EXPECT_EQ(FromCodePoints(ToCodePoints(c.text)), c.text) << "round trip " << c.text;
        CharModelScope bytes(CharModel::Bytes);
        EXPECT_EQ(CountChars(c.text), c.text.size()) << c.text;
    }
}

TEST(Utf8, OffsetsWalkBothWays) {
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z\xFF";  // a é € 😀 z stray
    const std::vector<std::size_t> starts = {0, 1, 3, 6, 10, 11, 12};
    for (std::size_t i = 0; i < starts.size(); ++i) EXPECT_EQ(ByteOffsetOfChar(text, i), starts[i]) << i;
    EXPECT_EQ(ByteOffsetOfChar(text, 99), text.size());
    EXPECT_EQ(CharSubstr(text, 1, 2), "\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(CharSubstr(text, 5), "\xFF");
    std::size_t end = text.size();
    std::vector<char32_t> back;
    while (end > 0) back.push_back(DecodeBefore(text, end));
    const std::vector<char32_t> expected = {kStrayByteBase + 0xFF, 'z', 0x1F600, 0x20AC, 0xE9, 'a'};
    EXPECT_EQ(back, expected);
    EXPECT_EQ(ValidUtf8Prefix(text), 11u);
}

TEST(Utf8, ModelIsPerThreadAndScoped) {
    EXPECT_EQ(CurrentCharModel(), CharModel::Utf8);
    {
        CharModelScope scope(CharModel::Bytes);
        EXPECT_FALSE(CountsCodePoints("\xC3\xA9"));
    }
    EXPECT_TRUE(CountsCodePoints("\xC3\xA9"));
    EXPECT_FALSE(CountsCodePoints("ascii only"));
}

}  // namespace
}  // namespace rowsmith::text
