#include <gtest/gtest.h>

#include <sstream>

#include "cli/options.h"
#include "support/temp_dir.h"

namespace rowsmith::cli {
namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result RunExpand(const ExpandOptions& o, std::string_view input = "") {
    std::istringstream in{std::string(input)};
    std::ostringstream out, err;
    Io io{in, out, err};
    const int status = ExpandCommand(o, io);
    return {status, out.str(), err.str()};
}

TEST(ExpandCommand, StandardInputWithAndWithoutATemplate) {
    ExpandOptions o;
    Result r = RunExpand(o, "a\r\nb{{crlf}}c\r\n");
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_EQ(r.out, "a\r\nb{{crlf}}c\r\n");
    o.template_text = "{{line}}";
    r = RunExpand(o, "a\r\nb{{crlf}}c\r\n");
    EXPECT_EQ(r.out, "ab\r\nc");
    o.interval = "-1";
    r = RunExpand(o, "a\r\nb\r\n");
    EXPECT_EQ(r.out, "b");
    ExpandOptions lf;
    lf.lf = true;
    EXPECT_EQ(RunExpand(lf, "a\nb\r\n").out, "a\nb\n");
}

TEST(ExpandCommand, TemplateFileAndFiles) {
    testing::TempDir dir;
    testing::WriteFile(dir / "t.txt", "<{{line}}>\r\n");
    testing::WriteFile(dir / "one.txt", "1\r\n2\r\n");
    testing::WriteFile(dir / "two.txt", "3\r\n");
    ExpandOptions o;
    o.template_file = dir / "t.txt";
    o.files = {dir / "one.txt", dir / "missing.txt", dir / "two.txt"};
    const Result r = RunExpand(o);
    EXPECT_EQ(r.status, kExitSkipped);
    EXPECT_EQ(r.out, "<1>\r\n<2>\r\n<3>\r\n");
    EXPECT_NE(r.err.find("missing.txt"), std::string::npos);

    o.template_file = dir / "nope.txt";
    EXPECT_EQ(RunExpand(o).status, kExitUsage);
}

TEST(ExpandCommand, TraceAndCodepage) {
    ExpandOptions o;
    o.trace = true;
    Result r = RunExpand(o, "x\r\n");
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.find("--trace is not available yet"), std::string::npos);
    o.trace = false;
    o.codepage = "klingon";
    EXPECT_EQ(RunExpand(o, "x\r\n").status, kExitUsage);
}

TEST(ModifiersCommand, ListsEveryWordWithKindAndDescription) {
    std::istringstream in;
    std::ostringstream out, err;
    Io io{in, out, err};
    EXPECT_EQ(ModifiersCommand(io), kExitOk);
    const std::string s = out.str();
    EXPECT_EQ(s.find("append\texact\t"), 0u);
    EXPECT_NE(s.find("\noriginal\texact\t"), std::string::npos);
    EXPECT_NE(s.find("\tpattern\t"), std::string::npos);
}

}  // namespace
}  // namespace rowsmith::cli
