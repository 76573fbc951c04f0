#include "template/trace.h"

#include <gtest/gtest.h>

#include <string>

#include "template/evaluator.h"

namespace rowsmith::tmpl {
namespace {

class Trace : public ::testing::Test {
  protected:
    TemplateContext& c() { return record_.Context; }
    // The expansion's output, with the trace of the expansion in trace_.
    std::string Run(std::string_view tmpl, std::string_view line = "") {
        SetVariable(c(), "line", line);
        trace_.Clear();
        c().Trace = &trace_;
        std::string out = ExpandTemplate(tmpl, c(), 1);
        c().Trace = nullptr;
        return out;
    }
    std::string Traced(std::string_view tmpl, std::string_view line = "") {
        Run(tmpl, line);
        return FormatTrace(trace_);
    }
    TemplateRecordT record_;
    CollectingTrace trace_;
};

struct Case {
    const char* tmpl;
    const char* line;
    const char* trace;
};

TEST_F(Trace, EveryFormOfTagShowsItsSteps) {
    SetVariable(c(), "greeting", "hi {{line|trim}}<cut>rest");
    const Case cases[] = {
        // A chain: the value after the name, then after each modifier, written as in the tag.
        {"{{line|trim|caseupper}}", "  ab ",
         "{{line|trim|caseupper}}\n  line = \"  ab \"\n  |trim = \"ab\"\n"
         "  |caseupper = \"AB\"\n"},
        // Arguments are shown as written, not expanded again.
        {"{{line|replace:a,{{|:b}}}}", "a",
         "{{line|replace:a,{{|:b}}}}\n  line = \"a\"\n"
         "  {{|:b}}\n    (empty name) = \"\"\n    |:b = \"b\"\n"
         "  |replace:a,{{|:b}} = \"b\"\n"},
        // A line holding a tag: its expansion comes one level deeper, before the name's value.
        {"{{line}}", "x{{crlf}}", "{{line}}\n  {{crlf}}\n    crlf = \"\\r\\n\"\n  line = \"x\\r\\n\"\n"},
        // "original" is the modifier it becomes; the name alone gives nothing then.
        {"{{originalline}}", "x{{crlf}}",
         "{{originalline}}\n  originalline = \"\"\n  |original = \"x{{crlf}}\"\n"},
        // A variable is expanded up to its "<cut>".
        {"{{greeting}}", " ab ",
         "{{greeting}}\n  {{line|trim}}\n    line = \" ab \"\n    |trim = \"ab\"\n"
         "  greeting = \"hi ab\"\n"},
        {"{{numbernow:3}}", "", "{{numbernow:3}}\n  numbernow (built-in) = \"000\"\n"},
        // An undefined name yields nothing and its modifiers never run.
        {"{{nosuchname|append:x}}", "", "{{nosuchname|append:x}}\n  nosuchname (undefined) = \"\"\n"},
        {"{{\"abc\"|caseupper}}", "",
         "{{\"abc\"|caseupper}}\n  (quoted) = \"abc\"\n  |caseupper = \"ABC\"\n"},
        {"{{'abc'}}", "", "{{'abc'}}\n  (quoted) = \"abc\"\n"},
        {"{{|:abc}}", "", "{{|:abc}}\n  (empty name) = \"\"\n  |:abc = \"abc\"\n"},
        {"{{ a comment}}{{[casesensitive]}}", "",
         "{{ a comment}}\n  (comment or option, yields nothing)\n"
         "{{[casesensitive]}}\n  (comment or option, yields nothing)\n"},
        // Raw literals and plain text are no tags.
        {"a{{1\"{{line}}\"1}}b", "x", ""},
        {"plain", "x", ""},
    };
    for (const Case& k : cases) EXPECT_EQ(Traced(k.tmpl, k.line), k.trace) << "template: " << k.tmpl;
}

TEST_F(Trace, TheOutputIsTheSameWithAndWithoutATrace) {
    SetVariable(c(), "v", "[{{line|caseupper}}]<cut>tail");
    const char* const templates[] = {
        "{{originalline}}{{crlf}}",
        "{{line}}{{crlf}}",
        "{{line|trim|caseupper}}-{{v}}-{{v|uncut}}-{{v|original}}",
        "{{nosuch|append:x}}{{\"q\"}}{{|:a|append:b}}{{ c}}{{nameoflastrepresenter}}",
    };
    for (const char* t : templates) {
        for (const char* line : {"  ab ", "x{{crlf}}y", ""}) {
            SetVariable(c(), "line", line);
            const std::string plain = ExpandTemplate(t, c(), 1);
            const std::string plain_last = GetVariableValue(c(), "nameoflastrepresenter");
            const std::string traced = Run(t, line);
            EXPECT_EQ(traced, plain) << t << " / " << line;
            EXPECT_EQ(GetVariableValue(c(), "nameoflastrepresenter"), plain_last) << t;
            EXPECT_FALSE(trace_.Steps.empty()) << t;
        }
    }
}

TEST_F(Trace, StepsCarryKindsAndDepths) {
    Run("{{line|append:{{|:z}}}}", "a");
    ASSERT_EQ(trace_.Steps.size(), 6u);
    using K = TraceStep::Kind;
    using N = TraceSink::NameKind;
    const auto& s = trace_.Steps;
    EXPECT_EQ(s[0].kind, K::Tag);
    EXPECT_EQ(s[0].depth, 1);
    EXPECT_EQ(s[0].word, "{{line|append:{{|:z}}}}");
    EXPECT_EQ(s[1].kind, K::Name);
    EXPECT_EQ(s[1].name_kind, N::Variable);
    EXPECT_EQ(s[1].word, "line");
    EXPECT_EQ(s[1].value, "a");
    // The argument is expanded by the modifier, so its tag comes before the modifier's step.
    EXPECT_EQ(s[2].kind, K::Tag);
    EXPECT_EQ(s[2].depth, 2);
    EXPECT_EQ(s[3].name_kind, N::Empty);
    EXPECT_EQ(s[3].depth, 2);
    EXPECT_EQ(s[4].kind, K::Modifier);
    EXPECT_EQ(s[4].word, "");
    EXPECT_EQ(s[4].arguments, "z");
    EXPECT_EQ(s[4].value, "z");
    EXPECT_EQ(s[5].kind, K::Modifier);
    EXPECT_EQ(s[5].depth, 1);
    EXPECT_EQ(s[5].word, "append");
    EXPECT_EQ(s[5].arguments, "{{|:z}}");
    EXPECT_EQ(s[5].value, "az");
}

TEST_F(Trace, UndefinedNameRulesShowWhatTheyPutOut) {
    const struct {
        uint8_t policy;
        const char* trace;
    } cases[] = {
        {2, "{{Nope|caseupper}}\n  Nope (undefined) = \"{{Nope|caseupper}}\"\n"},
        {4, "{{Nope|caseupper}}\n  Nope (undefined) = \"{{Nope}}\"\n"},
        // Rule 6 goes on with the empty value through the modifiers.
        {6, "{{Nope|caseupper}}\n  Nope (undefined) = \"\"\n  |caseupper = \"\"\n"},
    };
    for (const auto& k : cases) {
        c().UndefinedNamePolicy = k.policy;
        EXPECT_EQ(Traced("{{Nope|caseupper}}"), k.trace) << int(k.policy);
    }
}

TEST_F(Trace, ATemplateBombStopsAtTheStepBound) {
    // Every expansion of x doubles the work; the tag budget ends it, the trace keeps MaxSteps steps.
    SetVariable(c(), "x", "{{x}}{{x}}");
    trace_.MaxSteps = 50;
    Run("{{x}}");
    EXPECT_EQ(trace_.Steps.size(), 50u);
    EXPECT_GT(trace_.Dropped, 0u);
    const std::string text = FormatTrace(trace_);
    EXPECT_NE(text.find("\n... " + std::to_string(trace_.Dropped) + " more steps\n"), std::string::npos);
    EXPECT_EQ(text.find("more steps"), text.rfind("more steps"));

    // Long values are kept only in part, but their full length is still shown.
    trace_.MaxTextBytes = 8;
    Run("{{line}}", std::string(5000, 'a'));
    ASSERT_EQ(trace_.Steps.size(), 2u);
    EXPECT_EQ(trace_.Steps[1].value, "aaaaaaaa");
    EXPECT_EQ(trace_.Steps[1].value_size, 5000u);
    EXPECT_NE(FormatTrace(trace_.Steps).find("= \"aaaaaaaa... (5000 bytes)\""), std::string::npos);
    trace_.Clear();
    EXPECT_TRUE(trace_.Steps.empty());
    EXPECT_EQ(trace_.Dropped, 0u);
}

TEST(VisibleText, EscapesControlBytesAndCutsLongTexts) {
    const struct {
        std::string text;
        std::size_t max;
        std::string visible;
    } cases[] = {
        {"a\r\nb\tc", 200, "a\\r\\nb\\tc"},
        {std::string("\0\x01\x1f ~\x7f", 6), 200, "\\x00\\x01\\x1F ~\x7f"},
        {"back\\slash \"quote\"", 200, "back\\slash \"quote\""},
        {"", 200, ""},
        {"abcdef", 6, "abcdef"},
        {"abcdefg", 6, "abcdef... (7 bytes)"},
        // The cut counts bytes of the text, not of its escaped form.
        {"\n\n\n\n", 2, "\\n\\n... (4 bytes)"},
        // A UTF-8 character is not split by the cut.
        {"ab\xc3\xa9z", 3, "ab... (5 bytes)"},
    };
    for (const auto& k : cases) EXPECT_EQ(VisibleText(k.text, k.max), k.visible) << k.visible;
    EXPECT_EQ(VisibleText(std::string(300, 'x')).size(), 200u + std::string("... (300 bytes)").size());
}

TEST(FormatTrace, IndentsByDepthAndWritesModifiersAsInTheTag) {
    using K = TraceStep::Kind;
    std::vector<TraceStep> steps(4);
    steps[0].kind = K::Tag;
    steps[0].depth = 2;
    steps[0].word = "{{a\nb}}";
    steps[1].kind = K::Name;
    steps[1].depth = 2;
    steps[1].name_kind = TraceSink::NameKind::Builtin;
    steps[1].word = "date";
    steps[1].value = "x";
    steps[2].kind = K::Modifier;
    steps[2].depth = 3;
    steps[2].word = "trim";
    steps[2].value = " ";
    steps[3].kind = K::Modifier;
    steps[3].depth = 1;
    steps[3].word = "item";
    steps[3].arguments = "2,;";
    steps[3].value = "";
    EXPECT_EQ(FormatTrace(steps),
              "  {{a\\nb}}\n    date (built-in) = \"x\"\n      |trim = \" \"\n  |item:2,; = \"\"\n");
    EXPECT_EQ(FormatTrace(std::vector<TraceStep>{}), "");
}

}  // namespace
}  // namespace rowsmith::tmpl
