#pragma once
// Reading and setting attributes of HTML tags inside a line (href values, onmouseover handlers), as
// the tag-attribute modifiers need: a small tag scanner, not an HTML parser.

#include <string>
#include <string_view>

namespace rowsmith::text {

// The value of attribute="..." in the first <tag ...> of text (letter case ignored); empty when the
// tag or the attribute is missing, or when either name is empty. A tag name matches only as a whole
// name ("a" does not match "<abbr"), an attribute only as a whole name ("href" not "data-href").
std::string GetTagAttribute(std::string_view text, std::string_view tag, std::string_view attribute);

// Sets attribute="value" in every <tag ...> of text (any tag when tag is empty; closing tags, "<!..."
// and "<?...>" are passed over). flags are the TagFlags bits: 1 append (new value, ";", old value;
// "return " handlers keep one "return true" at the end), 2 do not add a missing attribute, 4 leave
// an existing value, 8 only the first tag, 16 put a new tag in front when none matches, 32 edit the
// whole text as the inside of one tag when none matches, 64 compare the tag name exactly.
std::string SetTagAttribute(std::string_view tag, std::string_view attribute, std::string_view value,
                            int flags, std::string_view text);

// SetTagAttribute with any tag, the attribute "onmouseover" / "onmouseout" and flag 1 (append).
std::string OnMouseOverText(std::string_view text, std::string_view value);
std::string OnMouseOutText(std::string_view text, std::string_view value);

}  // namespace rowsmith::text
