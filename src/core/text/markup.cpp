#include "text/markup.h"

#include "text/chars.h"
#include "text/options.h"
#include "text/search.h"
#include "text/spans.h"
#include "text/strings.h"

namespace rowsmith::text {

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool IsNameChar(char c) {
    return IsLetter(c) || IsDigit(c) || c == '-' || c == '_' || c == ':' || c == '.';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

struct Span {
    std::size_t start = npos;  // of "<"
    std::size_t length = 0;    // through ">"
};

// The first balanced span from "<" + tag to ">" at or after from whose tag name is complete.
Span FindTag(std::string_view text, std::string_view tag, std::size_t from, bool exact) {
    std::string open = "<";
    open.append(tag);
    const int flags = exact ? kEnclosedCaseSensitive : 0;
    while (from <= text.size()) {
        int32_t length = 0, position = 0;
        if (!FindEnclosedFrom(open, ">", text, flags, static_cast<int32_t>(from + 1), length, position))
            return {};
        const std::size_t s = static_cast<std::size_t>(position - 1);
        const std::size_t after = s + open.size();
        if (tag.empty() || after >= text.size() || !IsNameChar(text[after]))
            return {s, static_cast<std::size_t>(length)};
        from = s + 1;
    }
    return {};
}

struct ValueSpan {
    std::size_t start = npos;  // first character of the value, inside the quotes
    std::size_t length = 0;
};

// attribute="value" inside a tag; the attribute must not be the tail of a longer name.
ValueSpan FindAttributeValue(std::string_view inside, std::string_view attribute) {
    const std::string key = std::string(attribute) + "=\"";
    for (std::size_t at = FindBytes(key, inside, 0, false); at != npos;
         at = FindBytes(key, inside, at + 1, false)) {
        if (at > 0 && IsNameChar(inside[at - 1])) continue;
        const std::size_t vstart = at + key.size();
        const std::size_t vend = inside.find('"', vstart);
        if (vend == npos) return {};
        return {vstart, vend - vstart};
    }
    return {};
}

std::string_view TrimHandler(std::string_view s) {
    while (!s.empty() && (IsBlank(s.front()) || s.front() == ';')) s.remove_prefix(1);
    while (!s.empty() && (IsBlank(s.back()) || s.back() == ';')) s.remove_suffix(1);
    return s;
}

// The appended value: new value first, then the old one. Event handlers that return a value keep a
// single "return true" as their last statement.
std::string AppendedValue(std::string_view value, std::string_view old) {
    if (FindBytes("return ", value, 0, false) == npos && FindBytes("return ", old, 0, false) == npos)
        return JoinNonEmpty(value, ";", old);
    auto strip = [](std::string_view s) {
        const std::string t = ReplaceAll(ReplaceAll(s, "return true", "", false), "return ", "", false);
        return std::string(TrimHandler(t));
    };
    return JoinNonEmpty(JoinNonEmpty(strip(value), ";", strip(old)), ";", "return true");
}

std::string EditInside(std::string_view inside, std::string_view attribute, std::string_view value,
                       int flags) {
    const ValueSpan v = FindAttributeValue(inside, attribute);
    if (v.start != npos) {
        if (flags & kTagLeave) return std::string(inside);
        std::string out(inside.substr(0, v.start));
        out += (flags & kTagAppend) ? AppendedValue(value, inside.substr(v.start, v.length))
                                    : std::string(value);
        out.append(inside.substr(v.start + v.length));
        return out;
    }
    if (flags & kTagDontCreate) return std::string(inside);
    // A self-closing tag keeps its "/" last.
    std::size_t at = inside.size();
    if (at > 0 && inside[at - 1] == '/') --at;
    std::string out(inside.substr(0, at));
    if (!out.empty() && !IsBlank(out.back())) out += ' ';
    out.append(attribute).append("=\"").append(value).append("\"");
    out.append(inside.substr(at));
    return out;
}

}  // namespace

std::string GetTagAttribute(std::string_view text, std::string_view tag, std::string_view attribute) {
    if (tag.empty() || attribute.empty()) return {};
    const Span s = FindTag(text, tag, 0, false);
    if (s.start == npos) return {};
    const std::string_view inside = text.substr(s.start + 1, s.length - 2);
    const ValueSpan v = FindAttributeValue(inside, attribute);
    if (v.start == npos) return {};
    return std::string(inside.substr(v.start, v.length));
}

std::string SetTagAttribute(std::string_view tag, std::string_view attribute, std::string_view value,
                            int flags, std::string_view text) {
    if (attribute.empty()) return std::string(text);
    const bool exact = (flags & kTagCaseSensitive) != 0;
    std::string out;
    std::size_t pos = 0;
    bool edited = false;
    for (;;) {
        const Span s = FindTag(text, tag, pos, exact);
        if (s.start == npos) break;
        const std::size_t end = s.start + s.length;
        const char second = s.length > 1 ? text[s.start + 1] : 0;
        if (tag.empty() && (second == '/' || second == '!' || second == '?')) {
            out.append(text.substr(pos, end - pos));
            pos = end;
            continue;
        }
        out.append(text.substr(pos, s.start + 1 - pos));
        out += EditInside(text.substr(s.start + 1, s.length - 2), attribute, value, flags);
        out += '>';
        pos = end;
        edited = true;
        if (flags & kTagOnlyFirst) break;
    }
    if (!edited) {
        if (flags & kTagCreateTag) {
            std::string tagged = "<";
            tagged.append(tag).append(" ").append(attribute).append("=\"").append(value).append("\">");
            return tagged.append(text);
        }
        if (flags & kTagWholeTextIsTag) return EditInside(text, attribute, value, flags);
        return std::string(text);
    }
    out.append(text.substr(pos));
    return out;
}

std::string OnMouseOverText(std::string_view text, std::string_view value) {
    return SetTagAttribute("", "onmouseover", value, kTagAppend, text);
}

std::string OnMouseOutText(std::string_view text, std::string_view value) {
    return SetTagAttribute("", "onmouseout", value, kTagAppend, text);
}

}  // namespace rowsmith::text
