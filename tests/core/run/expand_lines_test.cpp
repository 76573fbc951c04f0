#include "run/expand_lines.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/temp_dir.h"
#include "template/context.h"
#include "text/intervals.h"

namespace rowsmith::run {
namespace {

std::string Expand(std::string_view input, const ExpandLinesOptions& o, ExpandLinesResult* result = nullptr) {
    std::istringstream in{std::string(input)};
    std::ostringstream out;
    StandaloneLineExpander expander;
    const ExpandLinesResult r = ExpandLines(in, out, o, expander);
    if (result) *result = r;
    return out.str();
}

// What the table's line loop selects, written as "n," per line.
std::string ByLoop(std::string_view interval, int32_t count) {
    text::LoopT loop;
    text::InitLoop(loop, interval, 1, count);
    std::string s;
    while (text::NextInLoop(loop)) s += std::to_string(loop.Current) + ",";
    return s;
}

TEST(ExpandLines, IntervalsSelectWhatTheLineLoopSelects) {
    std::string input;
    for (int i = 1; i <= 10; ++i) input += std::to_string(i) + "\r\n";
    ExpandLinesOptions o;
    o.TemplateText = "{{line}},";
    o.IntervalActive = true;
    for (const char* interval :
         {"",          "3",       "3-5",  "5-3",        "3-",    "-1",       "-3-",
          "1--2",      "0",       "0-3",  "8-20",       "20-30", "20-",      "12-5",
          "1-3;7;9-8", "1-3;2-4", "5 -7", "1--1000000", ";;",    "1-2;4;6-", "abc;2"}) {
        o.IntervalText = interval;
        EXPECT_EQ(Expand(input, o), ByLoop(interval, 10)) << "interval: " << interval;
    }
    o.IntervalActive = false;
    o.IntervalText = "3";  // not active: every line
    EXPECT_EQ(Expand(input, o), ByLoop("", 10));
}

TEST(ExpandLines, StreamingPlans) {
    std::vector<StreamPiece> p;
    EXPECT_TRUE(PlanStreamingInterval("", p));
    ASSERT_EQ(p.size(), 1u);
    EXPECT_TRUE(p[0].OpenEnd);
    EXPECT_TRUE(PlanStreamingInterval("0-3;5;7-", p));
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].Start, 1);
    EXPECT_EQ(p[0].End, 3);
    EXPECT_EQ(p[1].Start, 5);
    EXPECT_TRUE(p[2].OpenEnd);
    EXPECT_TRUE(PlanStreamingInterval("0", p));
    EXPECT_TRUE(p.empty());
    for (const char* needs_count : {"-1", "5-3", "1-3;2-4", "1--2", "3-;9", "12-5", "2147483646"})
        EXPECT_FALSE(PlanStreamingInterval(needs_count, p)) << needs_count;
}

TEST(ExpandLines, LineEnds) {
    ExpandLinesOptions o;
    o.TemplateText = "[{{originalline}}]";
    o.LineEnds = files::LineEnds::Crlf;
    EXPECT_EQ(Expand("a\r\nb\nc\rd\r\n", o), "[a][b\nc\rd]");
    EXPECT_EQ(Expand("a\r\n\r\nlast", o), "[a][][last]");
    EXPECT_EQ(Expand("", o), "");
    EXPECT_EQ(Expand("\r\n", o), "[]");
    EXPECT_EQ(Expand("\n\r\n", o), "[\n]");
    o.LineEnds = files::LineEnds::Lf;
    EXPECT_EQ(Expand("a\r\nb\nc\rd\r\n", o), "[a][b][c\rd]");
    EXPECT_EQ(Expand("x\r", o), "[x\r]");
    // Auto: the first line end decides for the whole input.
    o.LineEnds = files::LineEnds::Auto;
    EXPECT_EQ(Expand("a\r\nb\nc\rd\r\n", o), "[a][b\nc\rd]");
    EXPECT_EQ(Expand("a\nb\r\nc", o), "[a][b][c]");
    // A CR LF split across the reader's blocks is still one line end.
    o.LineEnds = files::LineEnds::Crlf;
    o.TemplateText = "{{line|1}}{{line|-1}}|";
    const std::string long_line = std::string((1u << 20) - 1, 'x') + "y";
    EXPECT_EQ(Expand(long_line + "\r\nz\r\n", o), "xy|zz|");
}

TEST(ExpandLines, DefaultTemplateReproducesTheInputAndStateCarriesOn) {
    ExpandLinesOptions o;
    ExpandLinesResult r;
    EXPECT_EQ(Expand("a\r\nb{{crlf}}c\r\n", o, &r), "a\r\nb{{crlf}}c\r\n");
    // Each input keeps its own line ends, and a last line without one gets none.
    for (const char* same : {"a", "a\nb", "a\r\nb\nc", "x\ny\r\nz\n", "\n", ""}) EXPECT_EQ(Expand(same, o), same);
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(r.LinesRead, 2);
    EXPECT_EQ(r.LinesExpanded, 2);
    o.TemplateText = "{{line}}";
    EXPECT_EQ(Expand("a\r\nb{{crlf}}c\r\n", o), "ab\r\nc");

    StandaloneLineExpander expander;
    EXPECT_EQ(expander.ExpandLine("{{line}}", "one"), "one");
    EXPECT_EQ(expander.ExpandLine("{{nameoflastrepresenter}}", "two"), "nameoflastrepresenter");
    EXPECT_EQ(tmpl::GetVariableValue(expander.Context(), "line"), "two");
}

TEST(ExpandLines, Files) {
    testing::TempDir dir;
    testing::WriteFile(dir / "in.txt", "1\r\n2\r\n3");
    ExpandLinesOptions o;
    o.TemplateText = "<{{line}}>";
    o.IntervalActive = true;
    o.IntervalText = "-2-";
    std::ostringstream out;
    StandaloneLineExpander expander;
    ExpandLinesResult r = ExpandLinesOfFile(dir / "in.txt", out, o, expander);
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(out.str(), "<2><3>");
    r = ExpandLinesOfFile(dir / "missing.txt", out, o, expander);
    EXPECT_FALSE(r.Ok);
    EXPECT_FALSE(r.Reason.empty());
    r = ExpandLinesOfFile(dir.path(), out, o, expander);
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Reason, "is a folder");
}

}  // namespace
}  // namespace rowsmith::run

namespace rowsmith::run {
namespace {

// A line whose tag meets a bound keeps the rest of its output; the result names the first such
// line and its reason and counts them all; the expander's reason is taken per line.
TEST(ExpandLinesBounds, BoundHitsAreCountedPerLine) {
    ExpandLinesOptions o;
    o.TemplateText = "A{{line}}B;";
    ExpandLinesResult r;
    const std::string bomb = "{{|deff:x,{{x}}{{x}}}}{{x}}";
    EXPECT_EQ(Expand("l1\r\n" + bomb + "\r\nl3\r\n" + bomb + "\r\n", o, &r), "Al1B;AB;Al3B;AB;");
    EXPECT_EQ(r.BoundHits, 2);
    EXPECT_EQ(r.FirstBoundLine, 2);
    EXPECT_EQ(r.FirstBoundReason, "the tag budget of 100000 tags was used up");
    EXPECT_EQ(Expand("l1\r\nl2\r\n", o, &r), "Al1B;Al2B;");
    EXPECT_EQ(r.BoundHits, 0);
    EXPECT_EQ(r.FirstBoundReason, "");
}

// The size bound grows with the line: several copies of a line beyond the context's own bound fit.
TEST(ExpandLinesBounds, SizeBoundScalesWithTheLine) {
    StandaloneLineExpander expander;
    expander.Context().MaxTextSize = 100;
    const std::string line(1000, 'x');
    EXPECT_EQ(expander.ExpandLine("{{line}}{{line}}{{line}}", line), line + line + line);
    EXPECT_EQ(expander.TakeBoundReason(), "");
    // Beyond kLineBoundFactor copies the last tag yields nothing, and says so.
    std::string nine;
    for (int i = 0; i < 9; ++i) nine += "{{line}}";
    EXPECT_EQ(expander.ExpandLine(nine, line).size(), 8 * line.size());
    EXPECT_EQ(expander.TakeBoundReason(), "a value would exceed the size bound of 8000 bytes");
    EXPECT_EQ(expander.Context().MaxTextSize, 100u);
}

}  // namespace
}  // namespace rowsmith::run
