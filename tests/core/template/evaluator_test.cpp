#include "template/evaluator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tables/string_table.h"
#include "template/registry.h"
#include "text/chars.h"
#include "text/dates.h"

namespace rowsmith::tmpl {
namespace {

// Modifiers that expose what the evaluator hands to a handler.
void Upper(ModifierCall& c) {
    text::UpperCaseInPlace(c.Value());
}
void Args(ModifierCall& c) {
    std::string s;
    for (int n = 1; n <= c.ArgumentCount(); ++n) s += std::string(c.Present(n) ? "P" : "-") + c.Text(n) + ";";
    if (!c.OptionsText().empty()) s += "#" + std::string(c.OptionsText());
    c.Value() = s;
}
void Raw(ModifierCall& c) {
    c.Value() = c.FetchRaw(1).Text;
}
void Dflt(ModifierCall& c) {
    c.Value() = c.TextOr(1, "{{crlf}}x");
}
void All(ModifierCall& c) {
    c.Value() = c.Fetch(-1).Text;
}
void Opt(ModifierCall& c) {
    c.Value() = c.Fetch(0).OptionsText + ";" + (c.HasOption("casesensitive") ? "y" : "n") + ";" +
                c.GetOptionValue("width");
}
void Name(ModifierCall& c) {
    c.Value() = std::string(c.TagName());
}
void Comment(ModifierCall& c) {
    c.Value() = std::string(c.VariableComment());
}
void Pos(ModifierCall& c) {
    c.Value() += std::to_string(c.Position());
}
void First(ModifierCall& c) {
    c.Value() += c.IsFirstOfEmptyName() ? "y" : "n";
}
void Word(ModifierCall& c) {
    c.Value() += "<" + std::string(c.Word()) + "/" + std::string(c.LowerWord()) + ">";
}
void SetItem(ModifierCall& c) {
    SetVariable(c.Context(), "item", c.Text(1));
}
// Defines a variable from its raw text, so that self-references survive.
void Def(ModifierCall& c) {
    SetVariable(c.Context(), c.Text(1), c.FetchRaw(2).Text);
}
void Big(ModifierCall& c) {
    c.Value().assign(static_cast<std::size_t>(c.Fetch(1).Integer), 'z');
}
void Raw2(ModifierCall& c) {
    c.Value() = "[" + c.RawValue() + "]";
}

const ModifierRegistry& TestRegistry() {
    static const ModifierRegistry r = [] {
        ModifierRegistry reg;
        RegisterCoreModifiers(reg);
        reg.AddExact("upper", Upper, "");
        reg.AddExact("args", Args, "");
        reg.AddExact("raw", Raw, "");
        reg.AddExact("dflt", Dflt, "");
        reg.AddExact("all", All, "");
        reg.AddExact("opt", Opt, "");
        reg.AddExact("name", Name, "");
        reg.AddExact("comment", Comment, "");
        reg.AddExact("pos", Pos, "");
        reg.AddExact("first", First, "");
        reg.AddPrefix("wor", Word, "");
        reg.AddExact("word", Upper, "");  // shadowed by the earlier prefix row
        reg.AddExact("setitem", SetItem, "");
        reg.AddExact("def", Def, "");
        reg.AddExact("big", Big, "");
        reg.AddExact("rawvalue", Raw2, "");
        return reg;
    }();
    return r;
}

struct Case {
    const char* tmpl;
    const char* line;
    const char* expected;
};

class Expand : public ::testing::Test {
  protected:
    Expand() { c().Modifiers = &TestRegistry(); }
    TemplateContext& c() { return record_.Context; }
    std::string Run(std::string_view tmpl, std::string_view line = "") {
        SetVariable(c(), "line", line);
        return ExpandTemplate(tmpl, c(), 1);
    }
    void Check(std::initializer_list<Case> cases) {
        for (const Case& k : cases) EXPECT_EQ(Run(k.tmpl, k.line), k.expected) << "template: " << k.tmpl;
    }
    TemplateRecordT record_;
};

TEST_F(Expand, NamesValuesAndLiterals) {
    Check({
        {"{{originalline}}{{crlf}}", "a{{crlf}}b", "a{{crlf}}b\r\n"},
        {"{{line}}", "a{{crlf}}b", "a\r\nb"},
        {"{{line}}{{line}}", "x", "xx"},
        {"{{LINE|UPPER}}", "ab", "AB"},
        {"{{line|UpPeR}}", "ab", "AB"},
        {"{{nosuchname|append:x}}", "ab", ""},
        {"{{|:abc|upper}}", "", "ABC"},
        {"{{\"abc\"|upper}}", "", "ABC"},
        {"{{\"abc\"}}", "", "abc"},
        {"{{'abc'|upper}}", "", "ABC"},
        {"{{'ab'x|upper}}", "", "AB"},
        {"{{'ab}}", "", "ab"},
        // A quoted inner text that ends with a quote is all literal.
        {"{{\"a\"|upper:\"}}", "", "a\"|upper:"},
        // No closing quote: the text is the value and also the chain.
        {"{{\"upper}}", "", "UPPER"},
        {"{{\"{{line}}\"}}", "q", "{{line}}"},
        {"a{{[casesensitive]}}b{{ line}}c{{}}d", "q", "abcd"},
        {"{{{{|:li}}ne}}", "q", "q"},
        {"{{line|}}", "q", "q"},
        {"{{line||}}", "q", "q"},
        {"{{line|nosuchmodifier:1,2}}", "q", "q"},
        {"{{line|{{|:UP}}per}}", "q", "Q"},
        // The first accepting row wins: the prefix "wor" takes "word".
        {"{{line|Word}}", "q", "q<Word/word>"},
    });
}

TEST_F(Expand, RawLiteralsAndUnbalancedText) {
    Check({
        {"{{1\"{{line}}\"1}}", "q", "{{line}}"},
        {"{{2\"x\"2}}", "", "{{1\"x\"1}}"},
        {"{{10\"x\"10}}", "", "{{9\"x\"9}}"},
        {"{{01\"x\"01}}", "", "x"},
        {"{{#\"a}}b\"#}}c", "", "a}}bc"},
        {"{{1\"\"1}}", "", ""},
        {"a{{#x}}b\"c", "", "a"},
        {"x{{1\"abc\"2}}y", "", "x"},
        {"{{line", "q", "{{line"},
        {"a{{b {{line}}", "q", "a{{b {{line}}"},
        {"}}x{{line}}", "q", "}}xq"},
    });
}

TEST_F(Expand, CutOriginalAndUncut) {
    Check({
        {"{{|:abc<cut>def}}", "", "abc"},
        {"{{|:abc<cut/>def<cut>g}}", "", "abc"},
        {"{{|:abc<CUT>def}}", "", "abc"},
        {"{{|:abc<cutting>}}", "", "abc<cutting>"},
        {"{{|:abc<cut>def|uncut}}", "", "abc<cut>def"},
        {"{{|:a{{lf}}b<cut>d|uncut}}", "", "a\nb<cut>d"},
        {"{{|:a{{lf}}b<cut>d|original}}", "", "a{{lf}}b<cut>d"},
        {"{{|:a{{|:x<cut>y}}b<cut>c}}", "", "axb"},
        {"{{line}}", "abc<cut>def", "abc"},
        {"{{uncutline}}", "abc<cut>{{lf}}def", "abc<cut>\ndef"},
        {"{{originalline}}", "abc<cut>{{lf}}def", "abc<cut>{{lf}}def"},
        {"{{originaluncutline}}", "a{{lf}}<cut>b", "a{{lf}}<cut>b"},
        {"{{originalline|upper}}", "a{{lf}}", "A{{LF}}"},
        {"{{originalline|pos}}", "q", "q2"},
        {"{{uncutline|rawvalue}}", "a<cut>b", "[a<cut>b]"},
    });
}

TEST_F(Expand, AppendAssignsOnlyAsFirstModifierOfAnEmptyName) {
    Check({
        {"{{line|:x,y}}", "ab", "abx,y"},
        {"{{line|a:{{lf}}}}", "ab", "ab\n"},
        {"{{|:x|:y}}", "", "xy"},
        {"{{|upper|:x}}", "", "x"},
        {"{{|first}}{{line|first}}{{\"v\"|first}}{{|:a|first}}", "q", "yqnvyan"},
        {"{{|pos|pos|:!|pos}}", "", "12!4"},
        {"{{original|:abc}}", "", "abc"},
        {"{{|:}}", "", ""},
    });
}

TEST_F(Expand, ArgumentSlotsOptionsAndDefaults) {
    Check({
        {"{{|args:a,,\"\",{{|:b}},{{[opt1]}},c}}", "", "Pa;-;P;Pb;Pc;#opt1"},
        {"{{|args:1,2,3,4,5,6,7,8,9,10,11}}", "", "P1;P2;P3;P4;P5;P6;P7;P8;P9;P10;"},
        {"{{|args:{{|:x,y}},z}}", "", "Px,y;Pz;"},
        {"{{|args:{{[a]}}x}}", "", "Px;"},
        {"{{|raw:{{lf}}x}}", "", "{{lf}}x"},
        {"{{|dflt}}", "", "\r\nx"},
        {"{{|dflt:y}}", "", "y"},
        {"{{|all:a,,b,{{|:c}}}}", "", "a,b,c"},
        {"{{|opt:x,{{[casesensitive]}},{{[width:5]}}}}", "", "casesensitive|width:5;y;5"},
        {"{{|opt:{{[Width:&comma;]}}}}", "", "Width:&comma;;n;,"},
    });
}

TEST_F(Expand, CounterBuiltIns) {
    Check({
        {"{{numbernow:3}}", "", "000"},
        {"{{numbernow:-2}}", "", "0"},
        {"{{numbernow}}|{{numberofall}}|{{numberinthisfile}}", "", "0|1|1"},
        {"{{numberofall:&}}", "", "1"},
        {"{{size:4}}|{{length}}|{{numberuntilnow:2}}", "", "0000|0|00"},
        {"{{numberrandom}}", "", "1"},
    });
    c().NumberNow = -5;
    EXPECT_EQ(Run("{{numbernow:4}}"), "-005");
    c().NumberNow = 1234567;
    c().GroupSeparator = ',';
    EXPECT_EQ(Run("{{numbernow}}"), "1,234,567");
    c().GroupSeparator = 0;
    c().NumberNow = 5;
    c().NumberOfAll = 12345;
    EXPECT_EQ(Run("{{numbernow:&}}"), "00005");
    c().Digits = "01";
    EXPECT_EQ(Run("{{numbernow:5}}"), "00101");
    c().Digits = "ab";
    c().PadWithDigit = 0;
    EXPECT_EQ(Run("{{numbernow:5}}"), "  bab");
}

TEST_F(Expand, DateLetterAndTableBuiltIns) {
    auto date =
        std::make_shared<text::DateInfoT>(text::DecodeDateInfo(text::EncodeDateValue(5, 3, 2007, 14, 7, 9)));
    c().RunDate = date;
    c().NowDate = date;
    Check({
        {"{{date}}", "", "05.Mar.07"},
        {"{{time}}", "", "14:07"},
        {"{{date:yyyy-mm-dd}}", "", "2007-03-05"},
        {"{{today:d.m.yy}} {{timenow:HH:ii:ss}}", "", "5.3.07 14:07:09"},
        {"[{{char}}]{{letter:A}}", "", "[ ]A"},
        {"[{{cell}}]{{cell|:x}}[{{includedcount}}]", "", "[]x[]"},
    });
    // Variables take precedence over built-in names.
    SetVariable(c(), "date", "mine");
    EXPECT_EQ(Run("{{date}}"), "mine");

    tables::ArrayOfFiles table;
    table.Init();
    table.AddLine("first", 0);
    table.AddLine("sec{{lf}}ond<cut>x", 0);
    c().Table = &table;
    EXPECT_EQ(Run("{{cell}}|{{cell:,2}}|{{uncutcell:,2}}|{{includedcount}}"),
              "first|sec\nond|sec\nond<cut>x|2");
    c().CurrentRow = 2;
    EXPECT_EQ(Run("{{cell:original}}"), "sec{{lf}}ond<cut>x");
}

TEST_F(Expand, UndefinedNamePolicies) {
    struct P {
        uint8_t policy;
        const char* expected;
    } cases[] = {
        {3, "ab"},          {2, "a{{No{{|:7}}-x|upper}}b"},
        {4, "a{{No7-x}}b"}, {5, "a{{Nox}}b"},
        {6, "a!b"},         {0, "a!b"},
        {8, "aNO7-X!b"},
    };
    c().OnUndefinedName = [](std::string_view name, std::string_view, std::string_view, std::string& value) {
        value = std::string(name) + "!";
    };
    for (const P& p : cases) {
        c().UndefinedNamePolicy = p.policy;
        const std::string tmpl = p.policy == 8 ? "a{{No{{|:7}}-x|upper}}b" : "a{{No{{|:7}}-x|upper|:!}}b";
        EXPECT_EQ(Run(p.policy == 2 ? "a{{No{{|:7}}-x|upper}}b" : tmpl), p.expected) << int(p.policy);
    }
}

TEST_F(Expand, NameOfLastRepresenterAndComments) {
    // The variable receives each tag's name before the tag looks its own name up.
    EXPECT_EQ(Run("{{crlf}}{{nameoflastrepresenter}}|{{nameOfLastRepresenter}}"),
              "\r\nnameoflastrepresenter|nameOfLastRepresenter");
    EXPECT_EQ(Run("{{crlf}}{{{{|:nameoflast}}representer}}"), "\r\nnameoflastrepresenter");
    Run("{{line}}{{|:x}}");
    EXPECT_EQ(GetVariableValue(c(), "nameoflastrepresenter"), "line");
    EXPECT_EQ(Run("{{Li{{|:ne}}|name}}", "q"), "Line");
    SetVariable(c(), "title|shown as heading", "x");
    EXPECT_EQ(Run("{{title}}|{{title|comment}}|{{line|comment}}"), "x|shown as heading|");
}

TEST_F(Expand, NameGivenByTagsReadsAsTheWrittenName) {
    // Prefixes, built-ins and the undefined-name rule apply to a name that tags produce exactly as
    // they apply to the name written out.
    auto date =
        std::make_shared<text::DateInfoT>(text::DecodeDateInfo(text::EncodeDateValue(5, 3, 2007, 14, 7, 9)));
    c().RunDate = date;
    c().UndefinedNamePolicy = 4;
    const struct {
        const char* written;
        const char* produced;
        const char* expected;
    } cases[] = {
        {"{{originalline}}", "{{orig{{|:inal}}line}}", "a{{lf}}<cut>b"},
        {"{{uncutline}}", "{{{{|:uncut}}line}}", "a\n<cut>b"},
        {"{{OriginalUncutLine|upper}}", "{{Original{{|:Uncut}}Line|upper}}", "A{{LF}}<CUT>B"},
        {"{{line}}", "{{{{|:LINE}}}}", "a\n"},
        {"{{date:yyyy-mm-dd}}", "{{da{{|:te}}:yyyy-mm-dd}}", "2007-03-05"},
        {"{{numbernow:3}}", "{{number{{|:now}}:3}}", "000"},
        {"{{nosuchname|upper}}", "{{nosuch{{|:name}}|upper}}", "{{nosuchname}}"},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(Run(k.written, "a{{lf}}<cut>b"), k.expected) << k.written;
        EXPECT_EQ(Run(k.produced, "a{{lf}}<cut>b"), k.expected) << k.produced;
    }
}

TEST_F(Expand, ItemVariablesAreRestoredAfterEachTag) {
    EXPECT_EQ(Run("{{|setitem:zz}}[{{item}}]"), "[]");
    SetVariable(c(), "item", "orig");
    EXPECT_EQ(Run("{{|setitem:zz}}{{item}}"), "orig");
    EXPECT_EQ(Run("{{|setitem:zz|:{{item}}}}{{item}}"), "zzorig");
    // Other variables persist from tag to tag and from call to call.
    Run("{{|def:kept,1}}");
    EXPECT_EQ(Run("{{kept}}"), "1");
}

TEST_F(Expand, CaretShortcut) {
    Check({
        {"^hello world", "", "hello world"},
        {"^^hello world, x", "", "hello world, x"},
        {"say ^\"two words\"^ now", "", "say two words now"},
        {"a^b ^", "", "a^b "},
        {"^\"open", "", "^\"open"},
        {"{{|:x ^y}}", "", "x ^y"},
        {"{{line}}", "^x", "^x"},
        {"^{{line}} z", "q", "q z"},
    });
}

TEST_F(Expand, OtherDelimiters) {
    c().OpenDelimiter = "<%";
    c().CloseDelimiter = "%>";
    Check({
        {"<%line|upper%>{{line}}", "q", "Q{{line}}"},
        {"<%|dflt%>", "", "\r\nx"},
        {"^hi", "", "hi"},
        {"<%1\"<%x%>\"1%>", "", "<%x%>"},
    });
}

TEST_F(Expand, NestingOffTakesNamesArgumentsAndValuesAsWritten) {
    SetVariable(c(), "line", "a{{lf}}b");
    EXPECT_EQ(ExpandTemplate("{{line}}|{{|:{{lf}}}}", c(), 0), "a{{lf}}b|{{lf}}");
    std::string out = "stale";
    ExpandTemplate("{{lf}}", c(), 1, out);
    EXPECT_EQ(out, "\n");
}

TEST_F(Expand, OnModifierAppliedReplacesEachResult) {
    c().OnModifierApplied = [](std::string& out, std::string_view value, std::string_view modifier,
                               std::string_view options) {
        out = "[" + std::string(value) + "/" + std::string(modifier) + "/" + std::string(options) + "]";
    };
    EXPECT_EQ(Run("{{line|upper:x,,y,{{[o]}}}}", "q"), "[Q/upper:x,y/o]");
    EXPECT_EQ(Run("{{originalline}}", "q"), "[q/original:/]");
}

TEST_F(Expand, SelfReferenceEndsAtTheDepthBound) {
    Run("{{|def:x,{{x}}}}{{|def:y,a{{y}}}}");
    EXPECT_EQ(Run("<{{x}}>"), "<>");
    const std::string y = Run("{{y}}");
    EXPECT_EQ(y, std::string(static_cast<std::size_t>(kMaxNestingDepth - 1), 'a'));
}

TEST_F(Expand, ExponentialWorkEndsWithinTheTagBudget) {
    Run("{{|def:z,{{z}}{{z}}}}");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run("{{z}}"), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    // The next outermost expansion has a fresh budget.
    EXPECT_EQ(Run("{{line}}", "ok"), "ok");
}

TEST_F(Expand, SizeBoundEmptiesOversizedResults) {
    c().MaxTextSize = 1000;
    EXPECT_EQ(Run("[{{|big:998}}]").size(), 1000u);
    EXPECT_EQ(Run("[{{|big:1001}}]"), "[]");
    // The tag that would pass the bound yields nothing; what came before it stays.
    EXPECT_EQ(Run("{{line}}{{line}}", std::string(600, 'x')), std::string(600, 'x'));
    EXPECT_EQ(Run("{{line|:{{line}}}}", std::string(600, 'x')), "");
    EXPECT_EQ(Run(std::string(1001, 'y')), "");
}

// Every bound that changes a result says which one it was, once, and only the tag that met it
// loses its text.
TEST_F(Expand, EveryBoundHitIsNotedAndOnlyItsTagIsEmpty) {
    struct BoundCase {
        const char* setup;  // expanded first, its reason discarded
        const char* tmpl;
        std::string line;
        std::string expected;
        std::string reason;
    };
    const std::string size = "a value would exceed the size bound of 1000 bytes";
    const std::vector<BoundCase> cases = {
        {"", "A{{line}}B", "ok", "AokB", ""},
        {"", "A{{|big:1001}}B", "", "AB", size},
        {"", "A{{line}}{{line}}B", std::string(600, 'x'), "A" + std::string(600, 'x') + "B", size},
        // A self-referring definition ends at the nesting bound by the language's own rule: silently.
        {"{{|def:x,{{x}}}}", "A{{x}}B", "", "AB", ""},
        // The line's own tags spend the budget of the template's tag that holds them; the next
        // tag of the template starts afresh.
        {"{{|def:z,{{z}}{{z}}}}", "A{{z}}B{{line}};", "ok", "ABok;", "the tag budget of 100000 tags was used up"},
    };
    c().MaxTextSize = 1000;
    for (const BoundCase& k : cases) {
        SCOPED_TRACE(k.tmpl);
        Run(k.setup);
        TakeBoundReason(c());
        EXPECT_EQ(Run(k.tmpl, k.line), k.expected);
        EXPECT_EQ(TakeBoundReason(c()), k.reason);
        EXPECT_EQ(TakeBoundReason(c()), "");  // taking clears it
    }
}

TEST_F(Expand, CounterWidthsShareTheSizeBound) {
    c().MaxTextSize = 1000;
    EXPECT_EQ(FormatCounter(c(), 7, 1000), std::string(999, '0') + "7");
    EXPECT_EQ(TakeBoundReason(c()), "");
    EXPECT_EQ(FormatCounter(c(), 7, 1001), "");
    EXPECT_EQ(TakeBoundReason(c()), "a width of 1001 would exceed the size bound of 1000 bytes");
    // Tally marks are a width as well.
    c().Digits = "|";
    EXPECT_EQ(FormatCounter(c(), 5, 0), "|||||");
    EXPECT_EQ(FormatCounter(c(), 1001, 0), "");
    EXPECT_EQ(TakeBoundReason(c()), "a width of 1001 would exceed the size bound of 1000 bytes");
}

TEST_F(Expand, DeepNestingNeitherOverflowsNorHangs) {
    const std::string opens(200000, '{');
    const std::string closes(200000, '}');
    EXPECT_EQ(Run(opens + "line" + closes), "");
    EXPECT_EQ(Run(opens + "x"), opens + "x");
    std::string chain = "{{line";
    for (int i = 0; i < 20000; ++i) chain += "|{{|:upper}}";
    chain += "}}";
    EXPECT_EQ(Run(chain, "q"), "Q");
}

TEST(ExpandStandard, StandardRegistryAndCopiedContexts) {
    TemplateRecordT record;
    TemplateContext& c = record.Context;
    SetVariable(c, "line", "abc");
    EXPECT_EQ(ExpandTemplate("{{line|2-3}}|{{line|9}}|{{line|-1-1}}", c), "bc||cba");
    TemplateContext copy = c;
    SetVariable(copy, "line", "other");
    EXPECT_EQ(ExpandTemplate("{{line}}", copy), "other");
    EXPECT_EQ(ExpandTemplate("{{line}}", c), "abc");
}

// The engine's state belongs to the expansions running on one context: a copy starts without it
// (and an assignment keeps the target's own), a move takes it along, and re-initialising the
// context, which a modifier may do in the middle of an expansion, leaves it in place.
TEST(EngineState, StaysWithTheContextWhoseExpansionsItServes) {
    TemplateRecordT record;
    TemplateContext& c = record.Context;
    NoteBoundHit(c, "original's");
    TemplateContext copy = c;
    EXPECT_EQ(TakeBoundReason(copy), "");
    TemplateContext assigned;
    NoteBoundHit(assigned, "assigned's");
    assigned = c;
    EXPECT_EQ(TakeBoundReason(assigned), "assigned's");
    InitTemplateContext(c);
    EXPECT_EQ(TakeBoundReason(c), "original's");
    NoteBoundHit(c, "moved");
    TemplateContext moved = std::move(c);
    EXPECT_EQ(TakeBoundReason(moved), "moved");
}

}  // namespace
}  // namespace rowsmith::tmpl
