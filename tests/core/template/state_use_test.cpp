#include "template/state_use.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "template/context.h"
#include "template/evaluator.h"
#include "template/registry.h"

namespace rowsmith::tmpl {
namespace {

struct Case {
    std::string tmpl;
    bool stateless;
    bool expands_line;
};

void CheckCases(const std::vector<Case>& cases, const TemplateContext& context) {
    for (const Case& k : cases) {
        const StateUse u = DecideStateUse(k.tmpl, context);
        EXPECT_EQ(u.Stateless, k.stateless) << k.tmpl << "  why: " << u.Why;
        EXPECT_EQ(u.ExpandsLine, k.expands_line) << k.tmpl;
        EXPECT_EQ(u.Why.empty(), u.Stateless) << k.tmpl;
    }
}

class StateUseTest : public ::testing::Test {
  protected:
    TemplateRecordT record_;
    TemplateContext& c() { return record_.Context; }
};

TEST_F(StateUseTest, LineAndLineEnds) {
    CheckCases(
        {
            {"", true, false}, {"no tags at all", true, false}, {"{{originalline}}", true, false},
            {"{{originalline}}{{eol}}", true, false}, {"{{originalline}}{{crlf}}", true, false},
            {"{{line|caseupper}}{{eol}}", true, true}, {"{{line|trim}}{{crlf}}", true, true},
            {"{{line}}", true, true}, {"{{LINE}}", true, true}, {"{{OriginalLine|CaseLower}}{{LF}}{{cr}}", true, false},
            // "uncut" expands the raw value, as a prefix or a modifier; without "original" the value
            // was expanded when the name gave it.
            {"{{uncutline}}", true, true}, {"{{originaluncutline}}", true, true},
            {"{{originalline|uncut}}", true, true}, {"{{line|original}}", true, true},
            {"{{originalline|original}}", true, false},
            // Comments, options, quoted values and raw literals read nothing.
            {"{{ a comment}}{{[option]}}{{originalline}}", true, false},
            {"{{\"abc\"|caseupper}}{{'x'|trim}}{{\"y\"|append:z}}", true, false},
            {"{{1\"{{numbernow}}\"1}}{{2\"{{x|inc:n}}\"2}}", true, false},
            {"{{\"{{crlf}}\"|uncut}}", false, false}, {"{{\"{{line}}\"|uncut}}", false, true},
        },
        c());
}

TEST_F(StateUseTest, NamesOtherThanTheLineAreStateful) {
    for (const char* t : {"{{numbernow}}", "{{numbernow:3}}", "{{numbernow:&}}", "{{numberrandom}}", "{{size}}",
                          "{{date}}", "{{timenow:HH}}", "{{cell:1}}", "{{uncutcell:2}}", "{{letter}}",
                          "{{includedcount}}", "{{found}}", "{{myvariable}}", "{{nameoflastrepresenter}}",
                          "{{|:abc}}", "{{originalline}}{{originalx}}"})
        CheckCases({{t, false, false}}, c());
    // A line tag still expands, whatever else makes the template stateful.
    CheckCases({{"{{line:3}}", false, true}, {"{{line:}}", false, true}, {"{{line}}{{numbernow}}", false, true}},
               c());
    EXPECT_EQ(DecideStateUse("{{numbernow}}", c()).Why, "the name \"numbernow\" reads a counter");
    EXPECT_EQ(DecideStateUse("{{originalline}}{{x}}{{date}}", c()).Why,
              "the variable \"x\" may be changed by another line");
}

TEST_F(StateUseTest, TagsInNamesWordsAndArguments) {
    CheckCases(
        {
            // A name made by a tag may come out as "line", a word as "uncut".
            {"{{{{x}}}}", false, true}, {"{{original{{x}}}}", false, true}, {"{{li///ne}}", false, true},
            {"{{line|case{{x}}}}", false, true}, {"{{originalline|caseupper///}}", false, true},
            {"{{originalline|replace:{{x}},y}}", false, false}, {"{{originalline|append:{{line}}}}", false, true},
            {"{{originalline|append:{{|:{{originalline}}}}}}", false, false},
            {"{{originalline|surround:a,{{line|caseupper}}}}", false, true},
            {"{{originalline|replace:a<cut>,b}}", false, false}, {"{{originalline|replace:a<CUT/>,b}}", false, false},
            {"{{originalline|replace:a///b,c}}", false, false},
            // Options are tags; carets become dictionary tags.
            {"{{originalline|copyfrom:a,{{[exclude]}}}}", false, false}, {"^word {{originalline}}", false, false},
        },
        c());
    EXPECT_EQ(DecideStateUse("{{originalline|replace:{{x}},y}}", c()).Why,
              "an argument of the modifier \"replace\" holds a tag");
    // The word is judged before its arguments.
    EXPECT_EQ(DecideStateUse("{{originalline|inc:{{x}}}}", c()).Why, "the modifier \"inc\" keeps a counter");
}

TEST_F(StateUseTest, StateChangingWordsOfEveryFamily) {
    const ModifierRegistry& reg = StandardModifiers();
    const char* words[] = {
        "inc", "dec", "countvalue", "countdifferentvalue", "countdifferingvalue", "getdifferingcolumnitems",  // numbers
        "toggle", "def", "deff", "is", "replaceif", "appendif", "surroundif", "prependif", "insertif",       // conditions
        "insertbeforeextensionif", "replaceifnotexistfile", "appendifnotexistsfolder", "prependifnotexist",
        "atleastoneisdefined", "getvariablecomment", "nameoflastrepresenter", "getlastvariablename",
        "caserandom", "dic", "dictionary",                                                                   // case
        "goodfilename", "checkexist", "template", "listfolder", "scanfolder", "directoryurl", "getext",       // paths
        "getextorname", "relroot", "relativetoroot", "absoluteurl", "split", "splitaspercent",               // html
        "splitaslinktable", "percentbox", "togglecolor", "togglerowcolor", "ttbc", "piconmouseover", "next"};
    for (const char* w : words) {
        ASSERT_GE(reg.Find(w), 0) << w << " is no modifier: the case would prove nothing";
        EXPECT_FALSE(IsStatelessModifierRow(reg, reg.Find(w))) << w;
        for (const std::string& t : {"{{originalline|" + std::string(w) + "}}",
                                    "{{originalline|" + std::string(w) + ":a,b}}"}) {
            const StateUse u = DecideStateUse(t, c());
            EXPECT_FALSE(u.Stateless) << t;
            EXPECT_NE(u.Why.find(w), std::string::npos) << t << "  why: " << u.Why;
        }
    }
    EXPECT_EQ(DecideStateUse("{{line|toggle:a,b}}", c()).Why, "the modifier \"toggle\" advances the toggle counter");
    EXPECT_EQ(DecideStateUse("{{originalline|nosuchword}}", c()).Why,
              "the modifier \"nosuchword\" is no known modifier");
}

TEST_F(StateUseTest, PrefixWordsAreJudgedByTheRowFound) {
    CheckCases(
        {
            {"{{originalline|reversed}}", true, false},
            {"{{originalline|replaceifnil:x}}", true, false},
            {"{{originalline|replaceifnilx:x}}", true, false},
            // These begin with an allowed prefix ("replaceifno"), but an earlier row takes them.
            {"{{originalline|replaceifnotexist:x}}", false, true},
            {"{{originalline|replaceifnotexistsfilex:x}}", false, true},
            // "sortx" is a "sort" word, "sor" none at all.
            {"{{originalline|sortx}}", true, false},
            {"{{originalline|sor}}", false, true},
            {"{{originalline|2-3|-1|4}}", true, false},
            {"{{originalline|leadingzeros:4}}", true, false},
        },
        c());
}

TEST_F(StateUseTest, AllowedWordsOfEveryFamily) {
    // A few of each family; the safety test below runs every allowed row.
    for (const char* w : {"append", "uncut", "2-4", "caseintelligent", "casegod", "reverse", "nospace", "multiply",
                          "replace", "cut", "leading", "posexist", "xthitem", "sort", "+", "round", "lz",
                          "perfectseries", "exists", "replaceifnotnil", "insertifend", "onlypath", "slash2backslash",
                          "withtrailingslash", "nohttpwww"}) {
        const std::string t = "{{originalline|" + std::string(w) + ":x,1}}{{eol}}";
        const StateUse u = DecideStateUse(t, c());
        EXPECT_TRUE(u.Stateless) << t << "  why: " << u.Why;
        EXPECT_EQ(u.ExpandsLine, std::string_view(w) == "uncut") << t;
    }
    const ModifierRegistry& reg = StandardModifiers();
    for (int32_t i = 0; i < static_cast<int32_t>(reg.Rows().size()); ++i) {
        if (reg.Row(i).Pure) {
            EXPECT_TRUE(IsStatelessModifierRow(reg, i)) << reg.Row(i).Word;
        }
    }
}

TEST_F(StateUseTest, TheContextDecidesToo) {
    // A line end that holds a tag is expanded on every use.
    SetVariable(c(), "crlf", "{{numbernow}}");
    EXPECT_FALSE(DecideStateUse("{{originalline}}{{crlf}}", c()).Stateless);
    EXPECT_TRUE(DecideStateUse("{{originalline}}{{lf}}", c()).Stateless);

    // Without the line ends defined only "eol" (the run sets it) and the line may be used.
    TemplateContext bare;
    EXPECT_TRUE(DecideStateUse("{{originalline}}{{eol}}", bare).Stateless);
    EXPECT_FALSE(DecideStateUse("{{originalline}}{{cr}}", bare).Stateless);

    // A hook after every modifier may do anything; a tag without modifiers never calls it (but the
    // prefixes "original" and "uncut" apply their modifiers).
    TemplateRecordT hooked;
    hooked.Context.OnModifierApplied = [](std::string& out, std::string_view value, std::string_view,
                                          std::string_view) { out.assign(value); };
    EXPECT_FALSE(DecideStateUse("{{line|caseupper}}", hooked.Context).Stateless);
    EXPECT_FALSE(DecideStateUse("{{originaluncutline}}", hooked.Context).Stateless);
    EXPECT_FALSE(DecideStateUse("{{originalline}}{{eol}}", hooked.Context).Stateless);
    EXPECT_TRUE(DecideStateUse("{{line}}{{eol}}", hooked.Context).Stateless);

    // Other delimiters: the old ones are plain text.
    TemplateRecordT angled;
    angled.Context.OpenDelimiter = "<%";
    angled.Context.CloseDelimiter = "%>";
    CheckCases({{"<%originalline|trim%><%eol%>{{numbernow}}", true, false},
                {"<%line|replace:<%x%>,y%>", false, true},
                {"<%numbernow%>", false, false}},
               angled.Context);
}

int g_calls = 0;
void Counting(ModifierCall& call) {
    call.Value() = std::to_string(++g_calls);
}

TEST_F(StateUseTest, AnotherRegistryCountsOnlyTheVerifiedHandlers) {
    // The standard rows registered again keep their handlers: judged alike.
    ModifierRegistry copy;
    RegisterAllModifiers(copy);
    c().Modifiers = &copy;
    CheckCases({{"{{line|caseupper|trim|2-3|replaceifnil:x}}", true, true}, {"{{line|inc:n}}", false, true}},
               c());

    // The same words with other handlers, even marked Pure, are not trusted.
    ModifierRegistry other;
    other.AddExact("trim", Counting, "counts");
    other.MarkPure("trim");
    other.AddPrefix("reverse", Counting, "counts");
    c().Modifiers = &other;
    // (A modifier not known to keep the value as it is may expand the line, as "def" does.)
    CheckCases({{"{{originalline|trim}}", false, true}, {"{{originalline|reverse}}", false, true},
                {"{{line}}{{eol}}", true, true}},
               c());
}

// Expands the files' lines once through one shared context and once with a fresh context a file,
// as a run on several threads would.
struct TwoWays {
    std::string serial;
    std::vector<std::string> fresh;
};

TwoWays ExpandBothWays(const std::string& tmpl, const std::vector<std::vector<std::string>>& files) {
    TwoWays r;
    TemplateRecordT shared;
    for (const auto& file : files) {
        TemplateRecordT own;
        std::string out;
        for (const std::string& line : file) {
            SetVariable(shared.Context, "line", line);
            r.serial += ExpandTemplate(tmpl, shared.Context, 1);
            SetVariable(own.Context, "line", line);
            out += ExpandTemplate(tmpl, own.Context, 1);
        }
        r.fresh.push_back(out);
    }
    return r;
}

std::string Joined(const std::vector<std::string>& parts) {
    std::string s;
    for (const std::string& p : parts) s += p;
    return s;
}

const std::vector<std::vector<std::string>> kFiles = {
    {"Hello World, the", "  Beatles (The) tab\tend  ", "12.5"},
    {"c:\\dir\\file.name.txt", "", "http://www.example.org/a/b/", "x|y|x|z", "is has god"},
    {"Hello World, the", "ÄÖÜ straße 42", "-7", "a,b,,c,"},
};

// Literal arguments for the allowed rows that take some; the others run without.
const std::map<std::string, std::string, std::less<>> kArguments = {
    {"append", "x"}, {"a", "x"}, {"prepend", "x"}, {"surround", "[,]"}, {"insert", "-,3"}, {"replace", "l,L"},
    {"delete", "2,3"}, {"del", "1,1"}, {"cut", "1"}, {"copyfrom", "o"}, {"copyuntil", "o"}, {"deletefrom", "o"},
    {"copybetween", "e,o"}, {"deletebetween", "(,)"}, {"delbetween", "(,)"}, {"deletebeginning", "H"},
    {"deletestarting", "H"}, {"deleteending", "e"}, {"deletetrailing", "e"}, {"notlongerthan", "5"},
    {"getnumber", "1"}, {"leading", "24,*,right"}, {"pos", "o"}, {"position", "o"}, {"posexist", "o"},
    {"positionexist", "o"}, {"item", "2, "}, {"items", "2, "}, {"xthitem", "2, "}, {"xthitems", "1-2, "},
    {"xthpart", "2,|"}, {"xthparts", "2,|"}, {"part", "2,|"}, {"parts", "2,|"}, {"numberofitems", " "},
    {"countitems", "|"}, {"itemexist", "x"}, {"deleteitem", "x"}, {"nextsgn", " ,2"}, {"sort", ",,,"},
    {"onlynumbers", "."}, {"onlyletters", " "}, {"onlylettersandnumbers", " "}, {"onlynumbersandletters", " "},
    {"alphabeticalgroup", "#"}, {"alphabetgroup", "#"}, {"multipl", "2"}, {"dupe", "3"}, {"+", "2"},
    {"-", "2"}, {"*", "3"}, {"/", "4"}, {"div", "2"}, {"mod", "3"}, {"numberblock", "5"}, {"numbersblock", "5"},
    {"perfectseries", ","}, {"leadingzero", "5"}, {"lz", "5"},
};

// A word that reaches the row: its own word, or a sample for a pattern.
std::string WordFor(const ModifierRegistry& reg, int32_t row) {
    const ModifierRow& r = reg.Row(row);
    if (r.Kind == MatchKind::Pattern) return "2-3";
    return reg.Find(r.Word) == row ? r.Word : std::string();
}

std::string ArgumentsFor(const ModifierRow& r) {
    if (const auto it = kArguments.find(r.Word); it != kArguments.end()) return it->second;
    // The conditional words: a test text, then both alternatives.
    if (r.Word.find("if") != std::string::npos) return "H,yes,no,x,y";
    return {};
}

TEST(StateUseSafety, TheHarnessSeesState) {
    for (const char* t : {"{{originalline|toggle:a,b}}", "{{|inc:n}}{{n}}", "{{last}}{{line|def:last}}"}) {
        const TwoWays r = ExpandBothWays(t, kFiles);
        EXPECT_NE(r.serial, Joined(r.fresh)) << t;
        EXPECT_FALSE(DecideStateUse(t, TemplateRecordT().Context).Stateless) << t;
    }
}

TEST(StateUseSafety, AllowedRowsGiveTheSameBytesSeriallyAndPerFile) {
    const ModifierRegistry& reg = StandardModifiers();
    TemplateRecordT judge;
    int checked = 0;
    for (int32_t i = 0; i < static_cast<int32_t>(reg.Rows().size()); ++i) {
        if (!IsStatelessModifierRow(reg, i)) continue;
        const ModifierRow& row = reg.Row(i);
        const std::string word = WordFor(reg, i);
        ASSERT_FALSE(word.empty()) << "no word reaches the allowed row " << row.Word;
        const std::string args = ArgumentsFor(row);
        const std::string piece = word + (args.empty() ? "" : ":" + args);
        for (const std::string& t :
             {"{{originalline|" + piece + "}}{{eol}}", "{{line|" + piece + "|" + piece + "}}{{crlf}}"}) {
            ASSERT_TRUE(DecideStateUse(t, judge.Context).Stateless) << t;
            const TwoWays once = ExpandBothWays(t, kFiles);
            const TwoWays again = ExpandBothWays(t, kFiles);
            EXPECT_EQ(once.serial, Joined(once.fresh)) << t;
            EXPECT_EQ(once.fresh, again.fresh) << t;
            EXPECT_EQ(once.fresh[0].substr(0, once.fresh[0].find('\r')),
                      once.fresh[2].substr(0, once.fresh[2].find('\r')))
                << t << ": the same first line in two files";
        }
        ++checked;
    }
    EXPECT_GT(checked, 150);
}

}  // namespace
}  // namespace rowsmith::tmpl
