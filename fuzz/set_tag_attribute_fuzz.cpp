// SetTagAttribute with random flags, tag, attribute, value and text, plus the attribute reader and
// the mouse handler helpers built on it.

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "text/markup.h"

namespace {

bool IsPlainName(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

std::size_t Count(std::string_view s, char c) {
    std::size_t n = 0;
    for (char x : s) n += x == c;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    rowsmith::fuzz::FuzzInput in(data, size);
    const int flags = in.Byte() & 127;
    const std::string_view tag = in.Text();
    const std::string_view attribute = in.Text();
    const std::string_view value = in.Text();
    const std::string_view text = in.Text();

    const std::string result = rowsmith::text::SetTagAttribute(tag, attribute, value, flags, text);
    // Without a tag in the text and without the flags that make one, nothing changes.
    if (text.find('<') == std::string_view::npos && !(flags & (16 | 32))) FUZZ_CHECK(result == text);
    // Every edited tag grows by at most the attribute, the value twice (appending) and a little markup.
    const std::size_t per_tag = tag.size() + attribute.size() + 2 * value.size() + 32;
    FUZZ_CHECK(result.size() <= text.size() + (Count(text, '<') + 2) * per_tag);

    // A plain attribute set on a plain tag (flag 16 adds the tag when none matches) is read back from
    // the first such tag. Quotes in the text could open a value that swallows the new one.
    if (IsPlainName(tag) && IsPlainName(attribute) && value.find_first_of("\"<>") == std::string_view::npos &&
        text.find('"') == std::string_view::npos) {
        const std::string set = rowsmith::text::SetTagAttribute(tag, attribute, value, 16, text);
        FUZZ_CHECK(rowsmith::text::GetTagAttribute(set, tag, attribute) == value);
    }

    (void)rowsmith::text::GetTagAttribute(text, tag, attribute);
    (void)rowsmith::text::OnMouseOverText(text, value);
    (void)rowsmith::text::OnMouseOutText(text, value);
    return 0;
}
