#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "support/temp_dir.h"
#include "support/template_cases.h"
#include "template/conditions.h"
#include "template/context.h"
#include "template/evaluator.h"
#include "template/registry.h"
#include "text/utf8.h"

namespace rowsmith::tmpl {
namespace {

using Case = testing::TemplateCase;

class Conditions : public ::testing::Test {
  protected:
    Conditions() {
        testing::WriteFile(dir_ / "f.txt", "x");
        testing::WriteFile(dir_ / "d/inner.txt", "x");
        c().RootFolder = dir_.path() + "/";
    }
    TemplateContext& c() { return record_.Context; }
    std::string Run(std::string_view tmpl, std::string_view line = "") {
        SetVariable(c(), "line", line);
        return ExpandTemplate(tmpl, c(), 1);
    }
    void Check(const std::vector<Case>& cases) {
        testing::CheckTemplateCases([&](const std::string& t, const std::string& l) { return Run(t, l); }, cases);
    }
    testing::TempDir dir_;
    TemplateRecordT record_;
};

// Every action with every suffix, once where the condition holds and once where it does not: catches a
// word wired to the wrong action, the wrong condition or the wrong argument numbers.
TEST_F(Conditions, EveryActionWithEverySuffix) {
    struct Suffix {
        const char* word;
        const char* lead;  // arguments before the action's texts
        const char* yes;   // a value for which the condition holds
        const char* no;
    };
    const Suffix suffixes[] = {
        {"ifnotexistsfile", "", "missing.txt", "f.txt"},
        {"ifnotexistfile", "", "d", "f.txt"},
        {"ifnotexistsfolder", "", "f.txt", "d"},
        {"ifnotexistfolder", "", "missing", "d"},
        {"ifnotexist", "", "missing.txt", "d"},
        {"ifnotnil", "", "v.w", ""},
        {"ifyes", "", "v.w", ""},
        {"ifnil", "", "", "v.w"},
        {"ifno", "", "", "v.w"},
        {"ifstart", "V,", "vx.y", "xv"},
        {"ifend", "V,", "x.yv", "vx"},
        {"if", "{{line}}=v.w,", "V.W", "w"},
    };
    // Result of each action for a value and the texts T (T2) it picked.
    struct Action {
        const char* word;
        const char* texts;  // texts for yes, then for no
        std::string (*apply)(const std::string& value, bool yes);
    };
    const Action actions[] = {
        {"replace", "T,F", [](const std::string&, bool yes) { return std::string(yes ? "T" : "F"); }},
        {"append", "T,F", [](const std::string& v, bool yes) { return v + (yes ? "T" : "F"); }},
        {"surround", "<,>,(,)",
         [](const std::string& v, bool yes) { return yes ? "<" + v + ">" : "(" + v + ")"; }},
        {"prepend", "T,F", [](const std::string& v, bool yes) { return (yes ? "T" : "F") + v; }},
        {"insertbeforeextension", "T,F",
         [](const std::string& v, bool yes) {
             std::string r = v;
             const std::size_t dot = r.rfind('.');
             r.insert(dot == std::string::npos ? r.size() : dot, yes ? "T" : "F");
             return r;
         }},
        {"insert", "T,F,2",
         [](const std::string& v, bool yes) {
             const std::string t = yes ? "T" : "F";
             return v.empty() ? " " + t : v.substr(0, 1) + t + v.substr(1);
         }},
    };
    for (const Action& a : actions) {
        for (const Suffix& s : suffixes) {
            const std::string word = std::string(a.word) + s.word;
            const std::string tmpl = "{{line|" + word + ":" + s.lead + a.texts + "}}";
            EXPECT_EQ(Run(tmpl, s.yes), a.apply(s.yes, true)) << tmpl << "  line: " << s.yes;
            EXPECT_EQ(Run(tmpl, s.no), a.apply(s.no, false)) << tmpl << "  line: " << s.no;
            // Without the texts for "no" nothing happens when the condition fails.
            const std::string only_yes = "{{line|" + word + ":" + s.lead +
                                         (a.word == std::string_view("surround") ? "<,>" : "T") + "}}";
            EXPECT_EQ(Run(only_yes, s.no), s.no) << only_yes;
        }
    }
}

TEST_F(Conditions, ConditionalActions) {
    Check({
        {"{{line|replaceifnil:(empty)}}", "", "(empty)"},
        {"{{line|replaceifnil:(empty)}}", "abc", "abc"},
        {"{{line|replaceifnil:(empty),x}}", "abc", "x"},
        {"{{line|surroundifnotnil:[,]}}", "abc", "[abc]"},
        {"{{line|surroundifnotnil:[,]}}", "", ""},
        {"{{line|surroundifnil:[,],(}}", "a", "(a"},
        {"{{|replaceif:{{line}}=abc,yes,no}}", "abc", "yes"},
        {"{{|replaceif:{{line}}=abc,yes,no}}", "ABC", "yes"},
        {"{{|replaceif:{{line}}=abc,yes,no}}", "abcd", "no"},
        // "" is a present, empty argument.
        {"{{line|replaceifnotnil:\"\"}}", "abc", ""},
        {"{{line|replaceifnil:x,\"\"}}", "abc", ""},
        {"{{line|appendifnotnil:{{crlf}}}}", "a", "a\r\n"},
        {"{{line|insertbeforeextensionifnotnil:_small}}", "photo.jpg", "photo_small.jpg"},
        {"{{line|insertbeforeextensionifnotnil:_small}}", "photo", "photo_small"},
        {"{{line|insertbeforeextensionifnotnil:_1}}", "a.tar.gz", "a.tar_1.gz"},
        {"{{line|insertifnotnil:X,,3}}", "abcd", "abXcd"},
        {"{{line|insertifnotnil:X,,3}}", "a", "a X"},
        {"{{line|insertifnotnil:X,,0}}", "ab", "abX"},
        {"{{line|insertifnotnil:X}}", "ab", "Xab"},
        {"{{line|insertifnotnil:XY,,2,{{[overlay]}}}}", "abcd", "aXYd"},
        {"{{line|insertifnotnil:xy,,2,{{[overlay]}},{{[keepcase]}}}}", "aBcd", "aXyd"},
        {"{{line|insertifnotnil:X,,-3}}", "ab", "X  ab"},
        {"{{line|insertifnotnil:XYZ,,-2,{{[overlay]}}}}", "abcd", "XYZbcd"},
        {"{{line|insertifnotnil:X,,-2147483648}}", "ab", ""},  // beyond the size bound
        {"{{line|insertifnotnil:X,,2147483647}}", "ab", ""},
        {"{{line|replaceifstart:,yes}}", "abc", "yes"},  // every value begins with ""
        {"{{line|replaceifend:BC,yes,no}}", "abc", "yes"},
        {"{{line|replaceifend:abcd,yes,no}}", "abc", "no"},
        // Relative and absolute names: the folder "d" and its file.
        {"{{line|replaceifnotexistfile:new,old}}", "d/inner.txt", "old"},
        {"{{line|replaceifnotexistfile:new,old}}", "", "new"},
    });
    const std::string absolute = dir_ / "f.txt";
    EXPECT_EQ(Run("{{line|replaceifnotexist:new,old}}", absolute), "old");
}

// A word only has to begin with action and suffix; the suffixes are tried in their fixed order.
// The conditional insert counts positions in characters of the model, as "insert" does.
TEST_F(Conditions, InsertPositionsCountCharactersOfTheModel) {
    struct ModelCase {
        std::string tmpl, line, utf8, bytes;
    };
    const std::vector<ModelCase> cases = {
        {"{{line|insertifnotnil:X,,3}}", "äöü", "äöXü", "äXöü"},
        {"{{line|insertifnotnil:X,,5}}", "ä", "ä   X", "ä  X"},
        {"{{line|insertifnotnil:€,,2,{{[overlay]}}}}", "äöü", "ä€ü", "\xC3€ü"},
        {"{{line|insertifnotnil:xy,,2,{{[overlay]}},{{[keepcase]}}}}", "äBcd", "äXyd", "\xC3xYcd"},
        {"{{line|insertifnotnil:éé,,-1,{{[overlay]}}}}", "abc", "éébc", "éé"},
        {"{{line|insertifnotnil:é,,-3}}", "ab", "é  ab", "é ab"},
    };
    for (const ModelCase& k : cases) {
        EXPECT_EQ(Run(k.tmpl, k.line), k.utf8) << k.tmpl << "  line: " << k.line;
        text::CharModelScope bytes(text::CharModel::Bytes);
        EXPECT_EQ(Run(k.tmpl, k.line), k.bytes) << "bytes: " << k.tmpl << "  line: " << k.line;
    }
}

TEST_F(Conditions, SuffixPrefixesAndOverlaps) {
    Check({
        {"{{line|REPLACEIFNIL:x}}", "", "x"},
        {"{{line|replaceifnilplease:x}}", "", "x"},
        {"{{line|replaceifnothing:x}}", "", "x"},           // "ifno": the value is empty
        {"{{line|replaceifnotnilx:x}}", "", ""},            // "ifnotnil", not "ifno"
        {"{{line|replaceifnotexists:x}}", "missing", "x"},  // "ifnotexist"
        {"{{line|replaceifnotexistsfolders:x}}", "f.txt", "x"},
        {"{{line|replaceifnotexistsfolders:x}}", "d", "d"},
        {"{{line|replaceifyesplease:x}}", "a", "x"},
        {"{{line|replaceifs:x,y}}", "a", "y"},  // "if": the condition x is not empty
    });
    const ModifierRegistry& r = StandardModifiers();
    // The cutting family owns the bare action words; a conditional row must not take them.
    for (std::string_view w :
         {"replace", "append", "prepend", "surround", "insert", "insertbeforeextension"}) {
        const int32_t i = r.Find(w);
        EXPECT_TRUE(i < 0 || r.Row(i).Word == w) << w << " taken by " << r.Row(i).Word;
    }
    // Each of the 72 words is its own row; "insertbeforeextensionif..." is never read as "insert" + "b...".
    for (std::string_view a : {"replace", "append", "surround", "prepend", "insertbeforeextension", "insert"})
        for (std::string_view s :
             {"ifnotexistsfile", "ifnotexistfile", "ifnotexistsfolder", "ifnotexistfolder", "ifnotexist",
              "ifnotnil", "ifyes", "ifnil", "ifno", "ifstart", "ifend", "if"}) {
            const std::string w = std::string(a) + std::string(s);
            const int32_t i = r.Find(w);
            ASSERT_GE(i, 0) << w;
            EXPECT_EQ(r.Row(i).Word, w);
            EXPECT_EQ(r.Row(i).Kind, MatchKind::Prefix);
        }
    for (std::string_view w :
         {"is", "exist", "exists", "atleastoneisdefined", "def", "deff", "getvariablename",
          "getvariablesname", "nameofrepresenter", "nameofvariable", "getlastvariablename",
          "getlastvariablesname", "nameoflastrepresenter", "nameoflastvariable", "getvariablecomment",
          "getvariablescomment", "toggle", "cycle"}) {
        const int32_t i = r.Find(w);
        ASSERT_GE(i, 0) << w;
        EXPECT_EQ(r.Row(i).Word, w);
    }
    EXPECT_EQ(r.Row(r.Find("getvariablecomments")).Word, "getvariablecomment");
}

TEST_F(Conditions, ConditionLanguage) {
    Check({
        {"{{|is:10>9}}", "", " "},
        {"{{|is:a10>a9}}", "", " "},
        {"{{|is:9>10}}", "", ""},
        {"{{|is:007=7}}", "", " "},
        {"{{|is:abc<>abd}}", "", " "},
        {"{{|is:abc<>ABC}}", "", ""},
        {"{{|is:5>=5}}", "", " "},
        {"{{|is:5=>6}}", "", ""},
        {"{{|is:5<=5}}", "", " "},
        {"{{|is:6=<5}}", "", ""},
        {"{{|is:4<5}}", "", " "},
        {"{{|is:b=}}", "", ""},
        {"{{|is:=}}", "", " "},
        {"{{|is:}}", "", " "},
        {"{{|is:{{line}}}}", "abc", " "},
        {"{{|is:{{line}}}}", "", ""},
        {"{{|is:x}}", "", " "},
        // Operators and "&" inside tags belong to the tags.
        {"{{|is:{{line}}}}", "a=b", " "},
        {"{{|is:{{line}}=a=b}}", "a=b", " "},  // the first "=" outside tags is the operator
        {"{{|is:{{line|replaceif:1<2,x}}=x}}", "", " "},
        {"{{|is:{{line}}=a&b}}", "a&b", ""},
        {"{{|is:{{|:a&b}}=a{{|:&}}b}}", "", " "},
        {"{{|is:1=1&2=2}}", "", " "},
        {"{{|is:1=1&2=3}}", "", ""},
        {"{{|is:1=1&}}", "", " "},
        {"{{|is:{{line}}>=m&{{line}}<n}}", "mango", " "},
        {"{{|is:{{line}}>=m&{{line}}<n}}", "nut", ""},
    });
}

TEST_F(Conditions, LastEquationAndShortCircuit) {
    EXPECT_EQ(Run("{{|is:1=1}}{{lastequation}}|{{|is:1=2}}{{LastEquation}}|"), "  ||");
    // Evaluation stops at the first part that fails: the counter of the second part is never read.
    EXPECT_EQ(Run("{{|is:1=2&{{|toggle:a,b}}}}{{|toggle:a,b}}"), "b");
    EXPECT_EQ(Run("{{|is:1=1&{{|toggle:a,b}}}}{{|toggle:a,b}}"), " b");
    EXPECT_TRUE(EvaluateCondition("", c()));
    EXPECT_EQ(GetVariableValue(c(), "lastequation"), " ");
    EXPECT_FALSE(EvaluateCondition("x=y", c()));
    EXPECT_EQ(GetVariableValue(c(), "lastequation"), "");
}

TEST_F(Conditions, TestsAndNames) {
    SetVariable(c(), "n|note", "5");
    SetVariable(c(), "e|ecomment", "");
    SetVariable(c(), "m|mc", "1");
    SetVariable(c(), "list", "nosuch|n");
    Check({
        {"{{line|exist}}", "a", " "},
        {"{{line|exists}}", "", ""},
        {"{{|atleastoneisdefined:nosuch}}", "", ""},
        {"{{|atleastoneisdefined:line}}", "a", " "},
        {"{{|atleastoneisdefined:e}}", "", ""},
        {"{{|atleastoneisdefined:{{list}}}}", "", " "},
        {"{{|atleastoneisdefined:{{\"nosuch||crlf\"}}}}", "", " "},
        {"{{|atleastoneisdefined}}", "", ""},
        {"{{line|getvariablename}}", "a", "line"},
        {"{{LiNe|nameofvariable}}", "a", "LiNe"},
        {"{{line|getvariablesname}}{{line|nameofrepresenter}}", "a", "lineline"},
        {"{{|:x|getvariablename}}", "", ""},
        {"{{n}}{{|getlastvariablename}}", "", "5n"},
        {"{{m}}{{|:x|nameoflastvariable}}", "", "1m"},
        {"{{line}}{{|getlastvariablesname}}{{|nameoflastrepresenter}}", "q", "qlineline"},
        // Without argument: the tag's own variable when the value is empty, else the variable it names.
        {"{{e|getvariablecomment}}", "", "ecomment"},
        {"{{\"n\"|getvariablecomment}}", "", "note"},
        {"{{\"nosuch\"|getvariablescomment}}", "", ""},
        {"{{|getvariablecommentx:{{\"n|e|m|nosuch\"}}}}", "", "note|mc"},
        {"{{|:x|getvariablecomment:{{\"m\"}}}}", "", "x|mc"},
        {"{{line|cycle}}", "abc", "abc"},
    });
}

TEST_F(Conditions, Definitions) {
    Check({
        {"{{|def:count,0}}{{count}}", "", "0"},
        {"{{line|def:x,1}}", "v", "v"},  // the value itself stays
        {"{{line|def:q}}{{q}}{{def}}", "v", "vvv"},
        {"{{\"{{lf}}\"|def:x}}{{originalx}}", "", "{{lf}}\n"},
        {"{{\"{{lf}}\"|deff:x}}{{originalx}}{{originaldef}}", "", "{{lf}}{{lf}}{{lf}}"},
        {"{{|def:y,{{|:a}}b}}{{originaly}}", "", "ab"},
        {"{{|deff:y,{{|:a}}b}}{{originaly}}{{y}}", "", "{{|:a}}bab"},
        {"{{|def:{{\"w|why\"}},5}}{{\"w\"|getvariablecomment}}{{w}}", "", "why5"},
        {"{{|def:{{|:k}}{{|:2}},3}}{{k2}}", "", "3"},
    });
    // An empty name defines nothing (no nameless variables pile up).
    const int32_t before = c().VariableCount;
    Run("{{line|def:,1}}{{line|def}}{{line|deff:{{nosuch}}}}", "v");
    EXPECT_EQ(c().VariableCount, before);
}

TEST_F(Conditions, ToggleAlternatesAcrossExpansions) {
    EXPECT_EQ(Run("{{|toggle:a,b}}"), "b");
    EXPECT_EQ(Run("{{|toggle:a,b}}"), "a");
    EXPECT_EQ(Run("{{|toggle:a,b}}"), "b");
    EXPECT_EQ(c().ToggleCounter, 3);
    EXPECT_EQ(Run("[{{|toggle}}][{{|toggle:a}}]"), "[][ ]");  // readings 3 and 4, default texts
    c().ToggleCounter = 2147483647;
    EXPECT_EQ(Run("{{|toggle:a,b}}{{|toggle:a,b}}"), "ab");
}

}  // namespace
}  // namespace rowsmith::tmpl
