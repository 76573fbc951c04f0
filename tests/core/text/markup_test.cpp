#include "text/markup.h"

#include <gtest/gtest.h>

#include "text/options.h"

namespace rowsmith::text {
namespace {

TEST(TagAttributes, Get) {
    struct Case {
        const char* text;
        const char* tag;
        const char* attribute;
        const char* expected;
    } cases[] = {
        {"x <A HREF=\"u.htm\">y</a>", "a", "href", "u.htm"},
        {"<abbr title=\"t\"><a title=\"u\">", "a", "title", "u"},  // whole tag names only
        {"<a data-href=\"d\" href=\"h\">", "a", "href", "h"},      // whole attribute names only
        {"<a href=\"h>", "a", "href", ""},
        {"<a href=\"h\">", "", "href", ""},
        {"<a href=\"h\">", "a", "", ""},
        {"<b>", "a", "href", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(GetTagAttribute(c.text, c.tag, c.attribute), c.expected) << c.text;
}

TEST(TagAttributes, SetWithFlags) {
    struct Case {
        const char* tag;
        const char* attribute;
        const char* value;
        int flags;
        const char* text;
        const char* expected;
    } cases[] = {
        {"a", "class", "k", 0, "<a href=\"u\">x</a>", "<a href=\"u\" class=\"k\">x</a>"},
        {"a", "class", "k", 0, "<a class=\"old\">", "<a class=\"k\">"},
        {"a", "class", "k", kTagAppend, "<a class=\"old\">", "<a class=\"k;old\">"},
        {"a", "class", "k", kTagLeave, "<a class=\"old\">", "<a class=\"old\">"},
        {"a", "class", "k", kTagDontCreate, "<a href=\"u\">", "<a href=\"u\">"},
        {"a", "class", "k", 0, "<a>1</a><a>2</a>", "<a class=\"k\">1</a><a class=\"k\">2</a>"},
        {"a", "class", "k", kTagOnlyFirst, "<a>1</a><a>2</a>", "<a class=\"k\">1</a><a>2</a>"},
        {"a", "class", "k", kTagCreateTag, "text", "<a class=\"k\">text"},
        {"a", "class", "k", kTagWholeTextIsTag, "img src=\"s\"", "img src=\"s\" class=\"k\""},
        {"a", "class", "k", 0, "text", "text"},
        {"A", "class", "k", kTagCaseSensitive, "<a>", "<a>"},
        {"A", "class", "k", 0, "<a >", "<a class=\"k\">"},
        {"br", "class", "k", 0, "<br/>", "<br class=\"k\"/>"},
        {"", "id", "1", 0, "<!doctype html><p>x</p>", "<!doctype html><p id=\"1\">x</p>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SetTagAttribute(c.tag, c.attribute, c.value, c.flags, c.text), c.expected) << c.text;
}

TEST(TagAttributes, MouseHandlersKeepOneReturn) {
    EXPECT_EQ(OnMouseOverText("<img src=\"a\">", "swap()"), "<img src=\"a\" onmouseover=\"swap()\">");
    EXPECT_EQ(OnMouseOverText("<img onmouseover=\"a();return true\">", "b()"),
              "<img onmouseover=\"b();a();return true\">");
    EXPECT_EQ(OnMouseOutText("<img onMouseOut=\"a()\">", "return b()"),
              "<img onMouseOut=\"b();a();return true\">");
    EXPECT_EQ(OnMouseOutText("plain", "x()"), "plain");
}

}  // namespace
}  // namespace rowsmith::text
