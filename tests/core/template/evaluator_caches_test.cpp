// The shortcuts the evaluator takes on per-line chains must give exactly what the general way gives:
// the number reading of literal arguments kept in the parsed tag, plain digit texts read without
// the general number reading, and "inc"/"dec" reading and writing their variable through a slot
// resolved once. A trace forces the general way, so a traced run is the reference.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "template/arguments.h"
#include "template/evaluator.h"
#include "template/registry.h"
#include "template/trace.h"
#include "text/numbers.h"

namespace rowsmith::tmpl {
namespace {

// Runs the template over the lines and records each output plus the variables that matter.
std::vector<std::string> RunLines(TemplateRecordT& record, std::string_view tmpl, bool traced, int lines,
                                  const std::vector<std::pair<std::string, std::string>>& preset = {},
                                  std::string_view line_text = "") {
    TemplateContext& c = record.Context;
    for (const auto& [name, value] : preset) SetVariable(c, name, value);
    CollectingTrace trace;
    PreparedTemplate prepared;
    prepared.Set(tmpl);
    std::vector<std::string> seen;
    for (int i = 0; i < lines; ++i) {
        SetVariable(c, "line", line_text.empty() ? "  row " + std::to_string(i) + "  " : std::string(line_text));
        c.Trace = traced ? &trace : nullptr;
        std::string out;
        prepared.ExpandAppend(c, out);
        c.Trace = nullptr;
        seen.push_back(out + "|n=" + GetVariableValue(c, "n") + "|x=" + GetVariableValue(c, "x") +
                       "|last=" + GetVariableValue(c, "nameoflastrepresenter"));
    }
    return seen;
}

TEST(EvaluatorCaches, CountersGiveWhatTheGeneralWayGives) {
    struct Case {
        const char* tmpl;
        std::vector<std::pair<std::string, std::string>> preset;
    };
    const Case cases[] = {
        {"{{|inc:n}}{{n|lz:6}}\t{{line|trim}}{{crlf}}", {}},
        {"{{|inc:N,5}}{{n}};{{nameoflastrepresenter}}", {}},
        {"{{|dec:x,3}}{{x|lz:4}}", {{"x", "10"}}},
        {"{{|inc:x,-2}}{{x}}", {{"x", "-1"}}},
        {"{{|inc:n,}}{{n}}", {}},
        {"{{|dec:n,{{s}}}}{{n}}", {{"s", "3"}}},
        // A counter holding a tag is expanded as a tag would be.
        {"{{|inc:n}}{{n}}", {{"n", "{{k}}"}, {"k", "40"}}},
        {"{{|inc:n}}{{n}}", {{"n", "7<cut>9"}}},
        // Names the tag syntax reads specially, and a name given by a tag.
        {"{{|inc:originaln}}{{originaln}}", {}},
        {"{{|inc:{{|:n}}}}{{n}}", {}},
        {"{{|inc:n|x}}{{n}}", {}},
        {"{{|inc:nameoflastrepresenter}}{{nameoflastrepresenter}}", {}},
        // The step as a tag, changing each line.
        {"{{|inc:x}}{{|inc:n,{{x}}}}{{n}}", {}},
    };
    for (const Case& k : cases) {
        TemplateRecordT fast;
        TemplateRecordT general;
        EXPECT_EQ(RunLines(fast, k.tmpl, false, 4, k.preset), RunLines(general, k.tmpl, true, 4, k.preset))
            << k.tmpl;
    }
}

// A chain that reads no variable leaves the tag's name pending; whatever can read the name must
// still see it: a later tag, a tag inside the value, a chain that is not pure.
TEST(EvaluatorCaches, DeferredNameIsSeenWhereverItCanBeRead) {
    struct Case {
        const char* tmpl;
        const char* line;
    };
    const Case cases[] = {
        {"{{line|caseupper}}{{crlf}}", ""},
        {"{{line|trim|caseupper}}{{nameoflastrepresenter}}", ""},
        {"{{line|caseupper}}{{\"q\"}}{{nameoflastrepresenter}}", ""},
        {"{{line|caseupper}}", "a {{nameoflastrepresenter}} b"},
        {"{{originalline|caseupper}}{{nameoflastrepresenter}}", "x {{crlf}} y"},
        {"{{line|caseupper|append:{{nameoflastrepresenter}}}}", ""},
        {"{{line|lz:{{nameoflastrepresenter}}}}", "7"},
        {"{{line|nosuchword}}{{crlf}}{{line|caselower}}", ""},
        {"{{line|trim|uncut}}{{nameoflastrepresenter}}", "a<cut>b"},
        {"{{crlf|lz:3}}{{line|caseupper}}{{|:[{{nameoflastrepresenter}}]}}", ""},
    };
    for (const Case& k : cases) {
        TemplateRecordT fast;
        TemplateRecordT general;
        EXPECT_EQ(RunLines(fast, k.tmpl, false, 3, {}, k.line), RunLines(general, k.tmpl, true, 3, {}, k.line))
            << k.tmpl;
    }
}

TEST(EvaluatorCaches, PureMarksNeedAnExistingRow) {
    ModifierRegistry r;
    r.AddExact("one", [](ModifierCall&) {}, "");
    r.MarkPure("ONE");
    EXPECT_TRUE(r.Row(0).Pure);
    EXPECT_THROW(r.MarkPure("two"), std::logic_error);
}

TEST(EvaluatorCaches, CounterFollowsTheStoreWhenItChanges) {
    TemplateRecordT record;
    TemplateContext& c = record.Context;
    PreparedTemplate p;
    p.Set("{{|inc:n}}{{n}}");
    std::string out;
    p.ExpandAppend(c, out);
    p.ExpandAppend(c, out);
    EXPECT_EQ(out, "12");
    // A new store (new epoch, the slot now holds another name) and a changed value are both seen.
    InitTemplateContext(c);
    SetVariable(c, "other", "x");
    SetVariable(c, "n", "41");
    out.clear();
    p.ExpandAppend(c, out);
    EXPECT_EQ(out, "42");
    c.Variables[static_cast<std::size_t>(FindVariable(c, "n"))].Value = "99";
    out.clear();
    p.ExpandAppend(c, out);
    EXPECT_EQ(out, "100");
    // Other delimiters make another tag of the name.
    c.OpenDelimiter = "<<";
    c.CloseDelimiter = ">>";
    p.Set("<<|inc:n>><<n>>");
    out.clear();
    p.ExpandAppend(c, out);
    EXPECT_EQ(out, "101");
}

TEST(EvaluatorCaches, CounterKeepsTheTagBudget) {
    TemplateRecordT record;
    TemplateContext& c = record.Context;
    SetVariable(c, "n", "1");
    // {{|inc:n}} is two tags, the outer one and the one "inc" reads; {{n}} has a budget of its own.
    c.TagBudget = 1;
    EXPECT_EQ(ExpandTemplate("[{{|inc:n}}]", c), "[]");
    EXPECT_EQ(TakeBoundReason(c), "the tag budget of 1 tags was used up");
    SetVariable(c, "n", "1");
    c.TagBudget = 2;
    EXPECT_EQ(ExpandTemplate("[{{|inc:n}}{{n}}]", c), "[2]");
    EXPECT_EQ(TakeBoundReason(c), "");
}

TEST(EvaluatorCaches, PlainDigitsReadAsTheGeneralReadingReadsThem) {
    for (const char* t : {"0", "7", "000123", "2147483647", "2147483648", "999999999999999",
                          "1234567890123456", "", "-5", "-0", "1.5", "12a", "a12", "9.", "."}) {
        const CommandOptionsRecT r = MakeOptionsRec(t, true);
        const std::string_view text = t;
        const double x = text.empty() ? 0 : text::ReadNumber(text, std::numeric_limits<double>::quiet_NaN());
        EXPECT_EQ(r.Text, t);
        EXPECT_EQ(r.IsNumber, text::IsANumber(text) ? 1 : 0) << t;
        if (std::isnan(x)) {
            EXPECT_EQ(r.Float, 0) << t;
            EXPECT_EQ(r.Integer, -1) << t;
        } else {
            EXPECT_EQ(r.Float, x) << t;
            EXPECT_EQ(std::signbit(r.Float), std::signbit(x)) << t;
            const double tr = std::trunc(x);
            EXPECT_EQ(r.Integer, tr >= -2147483648.0 && tr <= 2147483647.0 ? static_cast<int32_t>(tr) : -1) << t;
        }
    }
}

TEST(EvaluatorCaches, LiteralReadingIsKeptTagReadingIsNot) {
    TemplateRecordT record;
    TemplateContext& c = record.Context;
    const ParsedPiece p = ParsePiece("w:6,1.5x,{{x}}", "{{", "}}");
    for (int round = 0; round < 2; ++round) {
        const CommandOptionsRecT six = FetchArgument(p.Arguments, 1, true, c);
        EXPECT_EQ(six.Text, "6");
        EXPECT_EQ(six.Integer, 6);
        EXPECT_EQ(six.IsNumber, 1);
        EXPECT_EQ(six.Present, 1);
        const CommandOptionsRecT mixed = FetchArgument(p.Arguments, 2, false, c);
        EXPECT_EQ(mixed.Float, 1.5);
        EXPECT_EQ(mixed.IsNumber, 0);
    }
    SetVariable(c, "x", "3");
    EXPECT_EQ(FetchArgument(p.Arguments, 3, true, c).Integer, 3);
    SetVariable(c, "x", "8");
    EXPECT_EQ(FetchArgument(p.Arguments, 3, true, c).Integer, 8);
    // Raw, the tag is read as written: no digits, so -1.
    EXPECT_EQ(FetchArgument(p.Arguments, 3, false, c).Integer, -1);
    EXPECT_EQ(FetchArgument(p.Arguments, 3, false, c).Text, "{{x}}");
}

}  // namespace
}  // namespace rowsmith::tmpl
