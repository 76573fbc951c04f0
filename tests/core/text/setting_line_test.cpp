#include "text/setting_line.h"

#include <gtest/gtest.h>

namespace rowsmith::text {
namespace {

TEST(SettingLine, Lines) {
    struct Case {
        const char* line;
        bool parameter_mode;
        bool result;
        const char* name;
        const char* value;
        const char* section;
        const char* comment;
        const char* kind;
        bool empty_comment;
    } cases[] = {
        {"  name = value  ", false, true, "name", "value", "", "", "", false},
        {"name = \"quoted value\"", false, true, "name", "quoted value", "", "", "", false},
        {"name = \"open", false, true, "name", "open", "", "", "", false},
        {"\"na\"me\" = x", false, true, "name", "x", "", "", "", false},
        {"name=", false, true, "name", "", "", "", "\"\"", false},
        {"name = x // note", false, true, "name", "x", "", "note", "", false},
        {"name = x //", false, true, "name", "x", "", "", "", true},
        {"// all comment", false, true, "", "", "", "all comment", "", false},
        {"a//b", false, true, "a//b", "", "", "", "", false},  // no space before the marker
        {"[ Options ]", false, true, "", "", "Options", "", "[]", false},
        {"= value", false, false, "", "", "", "", "", false},
        {"", false, false, "", "", "", "", "", false},
        {"justname", false, true, "justname", "", "", "", "", false},
        {"c:\\some folder", true, true, "", "c:\\some folder", "", "", "b", false},
        {"\"c:\\my files\"", true, true, "", "c:\\my files", "", "", "b", false},
        {"key=value", true, true, "", "key=value", "", "", "b", false},
        {"[data]", true, true, "", "", "data", "", "[]", false},
        {"", true, true, "", "", "", "", "b", false},
    };
    for (const auto& c : cases) {
        SettingLineT out;
        EXPECT_EQ(ParseSettingLine(c.line, c.parameter_mode, out), c.result) << c.line;
        EXPECT_EQ(out.Name, c.name) << c.line;
        EXPECT_EQ(out.Value, c.value) << c.line;
        EXPECT_EQ(out.Section, c.section) << c.line;
        EXPECT_EQ(out.Comment, c.comment) << c.line;
        EXPECT_EQ(out.Kind, c.kind) << c.line;
        EXPECT_EQ(out.EmptyComment, c.empty_comment) << c.line;
    }
}

}  // namespace
}  // namespace rowsmith::text
