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
    lf.line_ends = "lf";
    EXPECT_EQ(RunExpand(lf, "a\nb\r\n").out, "a\nb\n");
    // Auto keeps what the input has; each FILE decides for itself.
    EXPECT_EQ(RunExpand(ExpandOptions{}, "a\nb\r\nc").out, "a\nb\r\nc");
}

TEST(ExpandCommand, TemplateFileAndFiles) {
    testing::TempDir dir;
    testing::WriteFile(dir / "t.txt", "<{{line}}>\r\n");
    testing::WriteFile(dir / "one.txt", "1\r\n2\r\n");
    testing::WriteFile(dir / "two.txt", "3\r\n");
    testing::WriteFile(dir / "lf.txt", "4\n5");
    ExpandOptions o;
    o.template_file = dir / "t.txt";
    o.files = {dir / "one.txt", dir / "missing.txt", dir / "two.txt"};
    const Result r = RunExpand(o);
    EXPECT_EQ(r.status, kExitSkipped);
    EXPECT_EQ(r.out, "<1>\r\n<2>\r\n<3>\r\n");
    // Line ends are decided per file: the CR LF file does not make the LF file one line.
    ExpandOptions each;
    each.template_text = "<{{line}}>{{eol}}";
    each.files = {dir / "one.txt", dir / "lf.txt"};
    EXPECT_EQ(RunExpand(each).out, "<1>\r\n<2>\r\n<4>\n<5>");
    EXPECT_NE(r.err.find("missing.txt"), std::string::npos);

    o.template_file = dir / "nope.txt";
    EXPECT_EQ(RunExpand(o).status, kExitUsage);
}

TEST(ExpandCommand, UnknownCodepageIsAUsageError) {
    ExpandOptions o;
    o.codepage = "klingon";
    const Result r = RunExpand(o, "x\r\n");
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.find("klingon"), std::string::npos);
}

TEST(ExpandCommand, TraceGoesToStderrAndLeavesStdoutAlone) {
    const struct {
        const char* tmpl;  // null: the default template
        const char* interval;
        bool lf;
        const char* input;
    } cases[] = {
        {nullptr, nullptr, false, "a\r\nb{{crlf}}c\r\n"},
        {"{{line|trim|caseupper}}{{crlf}}", nullptr, false, " a \r\n\r\nb"},
        {"{{line}}|{{nosuch|append:x}}{{\"q\"}}", "2;-1", false, "1\r\n{{crlf}}\r\n3\r\n"},
        {"{{|inc:n}}{{n|lz:3}} {{line}}\n", nullptr, true, "x\ny\n"},
    };
    for (const auto& k : cases) {
        ExpandOptions o;
        if (k.tmpl) o.template_text = k.tmpl;
        if (k.interval) o.interval = k.interval;
        o.line_ends = k.lf ? "lf" : "auto";
        const Result plain = RunExpand(o, k.input);
        o.trace = true;
        const Result traced = RunExpand(o, k.input);
        EXPECT_EQ(traced.status, plain.status) << k.input;
        EXPECT_EQ(traced.out, plain.out) << k.input;
        EXPECT_TRUE(plain.err.empty()) << plain.err;
        EXPECT_EQ(traced.err.rfind("line ", 0), 0u) << traced.err;
    }
}

TEST(ExpandCommand, TraceShowsEachKeptLineWithItsNumberAndSteps) {
    ExpandOptions o;
    o.template_text = "{{line|trim}}{{crlf}}";
    o.interval = "2-3";
    o.trace = true;
    const Result r = RunExpand(o, "one\r\n two\t\r\nthree\nfour\r\n");
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_EQ(r.out, "two\r\nthree\nfour\r\n");
    EXPECT_EQ(r.err,
              "line 2: \" two\\t\" eol \"\\r\\n\"\n"
              "{{line|trim}}\n  line = \" two\\t\"\n  |trim = \"two\"\n"
              "{{crlf}}\n  crlf = \"\\r\\n\"\n"
              "line 3: \"three\\nfour\" eol \"\\r\\n\"\n"
              "{{line|trim}}\n  line = \"three\\nfour\"\n  |trim = \"three\\nfour\"\n"
              "{{crlf}}\n  crlf = \"\\r\\n\"\n");
}

TEST(ExpandCommand, TraceNamesEachFileAndItsErrors) {
    testing::TempDir dir;
    testing::WriteFile(dir / "one.txt", "1\r\n");
    testing::WriteFile(dir / "two.txt", "2\r\n");
    ExpandOptions o;
    o.template_text = "<{{line}}>";
    o.trace = true;
    o.files = {dir / "one.txt", dir / "missing.txt", dir / "two.txt"};
    const Result r = RunExpand(o);
    EXPECT_EQ(r.status, kExitSkipped);
    EXPECT_EQ(r.out, "<1><2>");
    const std::size_t one = r.err.find("file: \"" + (dir / "one.txt") + "\"\nline 1: \"1\" eol \"\\r\\n\"\n{{line}}\n");
    const std::size_t missing = r.err.find("missing.txt: ");
    const std::size_t two = r.err.find("file: \"" + (dir / "two.txt") + "\"\nline 1: \"2\" eol \"\\r\\n\"\n{{line}}\n");
    ASSERT_NE(one, std::string::npos) << r.err;
    ASSERT_NE(missing, std::string::npos) << r.err;
    ASSERT_NE(two, std::string::npos) << r.err;
    EXPECT_LT(one, missing);
    EXPECT_LT(missing, two);
}

TEST(ExpandCommand, TraceOfALongLineIsCutButTheOutputIsWhole) {
    ExpandOptions o;
    o.template_text = "{{line}}";
    o.trace = true;
    const std::string line(100000, 'x');
    const Result r = RunExpand(o, line);
    EXPECT_EQ(r.out, line);
    EXPECT_NE(r.err.find("... (100000 bytes)\""), std::string::npos);
    EXPECT_LT(r.err.size(), 1000u);
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
