#include "gui/logic/template_syntax.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace rowsmith::gui {
namespace {

namespace fsys = std::filesystem;

char Code(SyntaxKind kind) {
    switch (kind) {
        case SyntaxKind::Text:
            return 't';
        case SyntaxKind::TagBrace:
            return '{';
        case SyntaxKind::Name:
            return 'n';
        case SyntaxKind::ModifierWord:
            return 'm';
        case SyntaxKind::Separator:
            return 's';
        case SyntaxKind::Argument:
            return 'a';
        case SyntaxKind::RawLiteral:
            return 'r';
        case SyntaxKind::CutMarker:
            return 'c';
        case SyntaxKind::Comment:
            return '#';
        case SyntaxKind::Error:
            return '!';
    }
    return '?';
}

// "n(line) s(|)": each span's kind code and its text.
std::string Render(const std::string& text) {
    std::string out;
    for (const SyntaxSpan& s : HighlightTemplate(text)) {
        if (!out.empty()) out += ' ';
        out += Code(s.kind);
        out += '(' + text.substr(s.offset, s.length) + ')';
    }
    return out;
}

// Spans cover the text exactly, in order, without empty ones.
void ExpectCovers(const std::string& text) {
    std::size_t at = 0;
    for (const SyntaxSpan& s : HighlightTemplate(text)) {
        EXPECT_EQ(s.offset, at) << text;
        EXPECT_GT(s.length, 0u) << text;
        at = s.offset + s.length;
    }
    EXPECT_EQ(at, text.size()) << text;
}

std::string ReadFile(const fsys::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct HighlightCase {
    const char* label;
    const char* text;
    const char* spans;
};

TEST(HighlightTemplate, SpansFollowTheParser) {
    const HighlightCase cases[] = {
        {"plain text", "plain", "t(plain)"},
        {"name and chain", "{{line|trim|caseupper}}{{eol}}",
         "{({{) n(line) s(|) m(trim) s(|) m(caseupper) {(}}{{) n(eol) {(}})"},
        {"arguments", "{{line|replace:a,b}}", "{({{) n(line) s(|) m(replace) s(:) a(a) s(,) a(b) {(}})"},
        {"name arguments", "{{numbernow:4}}", "{({{) n(numbernow) s(:) a(4) {(}})"},
        {"tag nested in an argument", "{{line|item:2,{{|:,}}}}",
         "{({{) n(line) s(|) m(item) s(:) a(2) s(,) {({{) s(|:) a(,) {(}}}})"},
        {"tag nested in a name", "{{{{|:li}}ne}}", "{({{{{) s(|:) a(li) {(}}) n(ne) {(}})"},
        {"dynamic modifier word", "{{line|{{|:2}}-{{|:3}}}}",
         "{({{) n(line) s(|) {({{) s(|:) a(2) {(}}) m(-) {({{) s(|:) a(3) {(}}}})"},
        {"empty name, whole argument text", "{{|:a,b}}", "{({{) s(|:) a(a,b) {(}})"},
        {"digit interval", "{{line|3-10}}", "{({{) n(line) s(|) m(3-10) {(}})"},
        {"raw literal", "x{{1\"{{line}}\"1}}y", "t(x) {({{) r(1\"{{line}}\"1) {(}}) t(y)"},
        {"raw literal with another mark", "{{#\"a|b}}\"#}}", "{({{) r(#\"a|b}}\"#) {(}})"},
        {"quoted value", "{{\"abc\"}}", "{({{) r(\"abc\") {(}})"},
        {"quoted value with a chain", "{{\"abc\"|caseupper}}", "{({{) r(\"abc\") s(|) m(caseupper) {(}})"},
        {"single quotes, skipped text", "{{'abc'x|caseupper}}",
         "{({{) r('abc') #(x) s(|) m(caseupper) {(}})"},
        {"comment and option placeholder", "a{{ note}}b{{[opt]}}",
         "t(a) {({{) #( note) {(}}) t(b) {({{) #([opt]) {(}})"},
        {"option argument", "{{line|copyfrom:=,1,{{[exclude]}}}}",
         "{({{) n(line) s(|) m(copyfrom) s(:) a(=) s(,) a(1) s(,) {({{) #([exclude]) {(}}}})"},
        {"cut markers in an assigned text", "{{|:a<cut>b<CUT/>c}}",
         "{({{) s(|:) a(a) c(<cut>) a(b) c(<CUT/>) a(c) {(}})"},
        {"cut marker in plain text is text", "a<cut>b", "t(a<cut>b)"},
        {"a stray close is text", "a}}b", "t(a}}b)"},
        {"unclosed open", "a{{line|trim", "t(a) !({{) t(line|trim)"},
        {"unclosed open swallows later tags", "{{a {{b}}", "!({{) t(a {{b}})"},
        {"unknown modifier", "{{line|caseupr}}", "{({{) n(line) s(|) !(caseupr) {(}})"},
        {"unterminated raw literal", "x{{#y\"z", "t(x) !({{#y\"z)"},
        {"arguments past the tenth are dropped", "{{line|item:1,2,3,4,5,6,7,8,9,10,11}}",
         "{({{) n(line) s(|) m(item) s(:) a(1) s(,) a(2) s(,) a(3) s(,) a(4) s(,) a(5) s(,) a(6) s(,) a(7) "
         "s(,) a(8) s(,) a(9) s(,) a(10) s(,) #(11) {(}})"},
        {"line break inside a tag", "{{line|\ntrim}}", "{({{) n(line) s(|) !(\ntrim) {(}})"},
    };
    for (const HighlightCase& c : cases) {
        EXPECT_EQ(Render(c.text), c.spans) << c.label;
        ExpectCovers(c.text);
    }
}

struct ProblemCase {
    const char* text;
    std::size_t offset;
    std::size_t length;
    const char* message;
};

TEST(CheckTemplate, ReportsWhatTheEngineWouldNotDo) {
    const ProblemCase cases[] = {
        {"ab{{line", 2, 2, "this {{ is never closed by }}"},
        {"{{line|replace:{{|:x}}", 0, 2, "this {{ is never closed by }}"},
        {"{{line|caseupr}}", 7, 7, "unknown modifier \"caseupr\""},
        {"{{line|trim|CaseUpr:1}}", 12, 7, "unknown modifier \"CaseUpr\""},
        {"{{line|replace:{{x|nosuch}},y}}", 19, 6, "unknown modifier \"nosuch\""},
        {"{{line| trim}}", 7, 5, "unknown modifier \" trim\""},
        {"ok{{1\"text", 2, 4,
         "this {{ opens a raw literal that is never closed by \"1}}: nothing from here on is written"},
    };
    for (const ProblemCase& c : cases) {
        const std::vector<SyntaxProblem> p = CheckTemplate(c.text);
        ASSERT_EQ(p.size(), 1u) << c.text;
        EXPECT_EQ(p[0].offset, c.offset) << c.text;
        EXPECT_EQ(p[0].length, c.length) << c.text;
        EXPECT_EQ(p[0].message, c.message) << c.text;
    }
    // Several problems come in text order.
    const std::vector<SyntaxProblem> two = CheckTemplate("{{line|nosuch}} {{x");
    ASSERT_EQ(two.size(), 2u);
    EXPECT_LT(two[0].offset, two[1].offset);
}

TEST(CheckTemplate, ValidTemplatesHaveNoProblem) {
    // The cheat sheet's tags and words the registry accepts by prefix or pattern.
    const char* valid[] = {
        "{{originalline}}{{eol}}",
        "{{line}}{{crlf}}{{cr}}{{lf}}",
        "{{|:text}}{{\"text\"}}{{'text'}}",
        "{{line|caseupper}}{{line|caselower}}{{line|caseintelligent}}{{line|trim}}",
        "{{line|3-10}}{{line|-1}}{{line|4-2}}",
        "{{line|replace:a,b}}",
        "{{|inc:n}}{{n|lz:4}}",
        "{{line|replaceifnil:(empty)}}",
        "{{1\"{{line}}\"1}}",
        "{{line|reverseit}}{{line|multiply:3}}{{line|ReplaceIfYesPlease:x}}",
        "{{line|+:1|-:1|*:2|/:2}}",
        "{{}}{{ comment}}{{[option]}}",
        "{{nosuchname}}a}}b",
        "{{line|{{|:case}}upper}}",
        "{{line||}}{{line|}}",
        "",
    };
    for (const char* t : valid)
        EXPECT_TRUE(CheckTemplate(t).empty()) << t << ": " << CheckTemplate(t)[0].message;
}

TEST(CheckTemplate, GoldenTemplatesHaveNoProblem) {
    // Cases that exercise on purpose what the editor underlines.
    const std::set<std::string> deliberate = {"unbalanced_open_is_literal",
                                              "unterminated_raw_literal_cuts_off",
                                              "unknown_modifier_changes_nothing"};
    const fsys::path root = fsys::path(__FILE__).parent_path().parent_path().parent_path() / "golden";
    ASSERT_TRUE(fsys::is_directory(root)) << root;
    int checked = 0;
    for (const auto& entry : fsys::directory_iterator(root)) {
        const fsys::path t = entry.path() / "template.txt";
        if (!fsys::exists(t)) continue;
        const std::string text = ReadFile(t);
        ExpectCovers(text);
        const std::vector<SyntaxProblem> p = CheckTemplate(text);
        if (deliberate.count(entry.path().filename().string())) {
            EXPECT_FALSE(p.empty()) << entry.path().filename();
            continue;
        }
        EXPECT_TRUE(p.empty()) << entry.path().filename() << ": " << (p.empty() ? "" : p[0].message);
        ++checked;
    }
    EXPECT_GE(checked, 40);
}

TEST(ProblemSummary, NamesLineAndColumnInCharacters) {
    EXPECT_EQ(ProblemSummary("{{line}}", CheckTemplate("{{line}}")), "No problems");
    const std::string t = "ü\n  {{line|nosuch}} {{x";
    EXPECT_EQ(ProblemSummary(t, CheckTemplate(t)), "2:10 unknown modifier \"nosuch\" (and 1 more)");
    const LineColumn lc = LineColumnOf("äö{{", 4);  // two 2-byte characters before
    EXPECT_EQ(lc.line, 1);
    EXPECT_EQ(lc.column, 3);
}

struct ContextCase {
    const char* text;
    std::size_t cursor;
    CompletionPlace place;
    const char* prefix;
    std::size_t start;
};

TEST(CompletionAt, FindsNameAndModifierPositions) {
    const ContextCase cases[] = {
        {"{{li", 4, CompletionPlace::Name, "li", 2},
        {"{{", 2, CompletionPlace::Name, "", 2},
        {"{{line|case", 11, CompletionPlace::Modifier, "case", 7},
        {"{{line|caseupper}}", 11, CompletionPlace::Modifier, "case", 7},  // cursor inside the word
        {"{{line|", 7, CompletionPlace::Modifier, "", 7},
        {"{{|in", 5, CompletionPlace::Modifier, "in", 3},
        {"{{line|replace:{{li", 19, CompletionPlace::Name, "li", 17},
        {"{{line|replace:{{x}}|tr", 23, CompletionPlace::Modifier, "tr", 21},
        {"a|ca", 4, CompletionPlace::None, "", 0},          // outside tags
        {"{{line}}|ca", 11, CompletionPlace::None, "", 0},  // after the tag closed
        {"{{ li", 5, CompletionPlace::None, "", 0},         // a comment
        {"{{1", 3, CompletionPlace::None, "", 0},           // a raw literal's mark
        {"{{line|replace:a", 16, CompletionPlace::None, "", 0},
    };
    for (const ContextCase& c : cases) {
        const CompletionContext got = CompletionAt(c.text, c.cursor);
        EXPECT_EQ(got.place, c.place) << c.text;
        if (c.place == CompletionPlace::None) continue;
        EXPECT_EQ(got.prefix, c.prefix) << c.text;
        EXPECT_EQ(got.start, c.start) << c.text;
    }
}

std::vector<std::string> Words(const std::vector<CompletionItem>& items) {
    std::vector<std::string> w;
    for (const CompletionItem& i : items) w.push_back(i.word);
    return w;
}

TEST(CompletionsFor, ModifierWordsWithDescriptions) {
    const std::vector<CompletionItem> items = CompletionsFor({CompletionPlace::Modifier, "case", 7});
    ASSERT_FALSE(items.empty());
    const auto upper =
        std::find_if(items.begin(), items.end(), [](const auto& i) { return i.word == "caseupper"; });
    ASSERT_NE(upper, items.end());
    EXPECT_EQ(upper->description, "every character to upper case");
    EXPECT_TRUE(upper->insertable);
    for (const CompletionItem& i : items) {
        EXPECT_EQ(i.word.rfind("case", 0), 0u) << i.word;  // no word merely contains "case"
        EXPECT_FALSE(i.description.empty()) << i.word;
    }
    const std::vector<std::string> w = Words(items);
    EXPECT_TRUE(std::is_sorted(w.begin(), w.end()));
    // Upper-case typing finds the same words.
    EXPECT_EQ(Words(CompletionsFor({CompletionPlace::Modifier, "CASE", 7})), w);
}

TEST(CompletionsFor, WordsThatBeginWithThePrefixComeFirst) {
    const std::vector<std::string> w = Words(CompletionsFor({CompletionPlace::Modifier, "slash", 0}));
    const auto split = std::partition_point(w.begin(), w.end(),
                                            [](const std::string& s) { return s.rfind("slash", 0) == 0; });
    ASSERT_NE(split, w.begin());
    ASSERT_NE(split, w.end());  // backslash, notrailingslash ... contain it
    EXPECT_TRUE(std::is_sorted(w.begin(), split));
    EXPECT_TRUE(std::is_sorted(split, w.end()));
    EXPECT_EQ(std::set<std::string>(w.begin(), w.end()).size(), w.size());
    EXPECT_NE(std::find(split, w.end(), "backslash2slash"), w.end());
}

TEST(CompletionsFor, NamesAndPatternRows) {
    EXPECT_EQ(Words(CompletionsFor({CompletionPlace::Name, "li", 2})),
              (std::vector<std::string>{"line", "originalline", "uncutline"}));
    const std::vector<std::string> names = Words(CompletionsFor({CompletionPlace::Name, "", 2}));
    for (const char* n : {"eol", "crlf", "numbernow", "date", "found"})
        EXPECT_NE(std::find(names.begin(), names.end(), n), names.end()) << n;
    // The digit-interval row is listed for its description, but there is no word to insert.
    const std::vector<CompletionItem> digits = CompletionsFor({CompletionPlace::Modifier, "3", 0});
    ASSERT_EQ(digits.size(), 1u);
    EXPECT_FALSE(digits[0].insertable);
    const std::vector<CompletionItem> all = CompletionsFor({CompletionPlace::Modifier, "", 0});
    EXPECT_GT(all.size(), 200u);
    EXPECT_TRUE(CompletionsFor({CompletionPlace::Modifier, "zzzz", 0}).empty());
    EXPECT_TRUE(CompletionsFor({CompletionPlace::None, "", 0}).empty());
}

}  // namespace
}  // namespace rowsmith::gui
