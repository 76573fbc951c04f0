#include "gui/logic/template_examples.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "gui/logic/template_syntax.h"
#include "run/expand_lines.h"

namespace rowsmith::gui {
namespace {

// What `rowsmith-cli expand` writes for the input (CR LF lines) through the example, on a fresh
// template record, so that counters start from nothing.
std::string Expand(const TemplateExample& e, const std::string& input) {
    run::ExpandLinesOptions options;
    options.TemplateText = e.templ;
    if (e.interval) {
        options.IntervalActive = true;
        options.IntervalText = e.interval;
    }
    std::istringstream in(input);
    std::ostringstream out;
    run::StandaloneLineExpander expander;
    EXPECT_TRUE(run::ExpandLines(in, out, options, expander).Ok);
    return out.str();
}

const TemplateExample* Find(const std::string& caption) {
    for (const TemplateExample& e : TemplateExamples())
        if (caption == e.caption) return &e;
    return nullptr;
}

TEST(TemplateExamples, EveryExampleIsCleanAndEndsItsLines) {
    ASSERT_GE(TemplateExamples().size(), 12u);
    std::set<std::string> captions;
    for (const TemplateExample& e : TemplateExamples()) {
        SCOPED_TRACE(e.caption);
        EXPECT_TRUE(captions.insert(e.caption).second) << "caption twice";
        EXPECT_NE(std::string(e.description), "");
        const std::vector<SyntaxProblem> p = CheckTemplate(e.templ);
        EXPECT_TRUE(p.empty()) << (p.empty() ? "" : p[0].message);
        EXPECT_NE(std::string(e.templ).find("{{eol}}"), std::string::npos);
    }
}

struct ExpansionCase {
    const char* caption;
    const char* input;
    const char* output;
};

TEST(TemplateExamples, ExpandToWhatTheyPromise) {
    const ExpansionCase cases[] = {
        {"Number the lines", "alpha\r\nbeta\r\n", "1. alpha\r\n2. beta\r\n"},
        {"Line numbers padded to four digits", "alpha\r\nbeta\r\n", "0001 alpha\r\n0002 beta\r\n"},
        {"CSV: keep the second column", "a,b,c\r\nd,e\r\nf\r\n", "b\r\ne\r\n\r\n"},
        {"CSV: swap the first two columns", "a,b,c,d\r\nx,y\r\n", "b,a,c,d\r\ny,x\r\n"},
        {"CSV to TSV", "a,b,c\r\nd\r\n", "a\tb\tc\r\nd\r\n"},
        {"CSV: drop the header line", "name,age\r\nAnn,31\r\nBob,42", "Ann,31\r\nBob,42"},
        {"HTML list items", "a & b <i>\r\nplain\r\n", "<li>a &amp; b &lt;i&gt;</li>\r\n<li>plain</li>\r\n"},
        {"Wrap lines in quotes", "say \"hi\"\r\nx\r\n", "\"say \\\"hi\\\"\"\r\n\"x\"\r\n"},
        {"Upper-case the first word", "hello big world\r\nsingle\r\n", "HELLO big world\r\nSINGLE\r\n"},
        {"Trim and squeeze spaces", "  one   two  \r\nx\r\n", "one two\r\nx\r\n"},
        {"File name of each listed path", "/home/ann/report.txt\r\nnotes.md\r\n",
         "report.txt\r\nnotes.md\r\n"},
        {"Change the extension of listed paths", "/home/ann/report.txt\r\ndocs/a.b.md\r\n",
         "/home/ann/report.bak\r\ndocs/a.b.bak\r\n"},
        {"Markdown bullet list", " first \r\nsecond\r\n", "- first\r\n- second\r\n"},
        {"SQL INSERT per CSV line", "Ann,31\r\nO'Hara, 42\r\n",
         "INSERT INTO people (name, age) VALUES ('Ann', 31);\r\n"
         "INSERT INTO people (name, age) VALUES ('O''Hara', 42);\r\n"},
        {"Keep only lines containing TODO", "a TODO here\r\nnothing\r\nTODO\r\n", "a TODO here\r\nTODO\r\n"},
        {"Last three lines in upper case", "a\r\nb\r\nc\r\nd\r\n", "B\r\nC\r\nD\r\n"},
    };
    std::set<std::string> covered;
    for (const ExpansionCase& c : cases) {
        const TemplateExample* e = Find(c.caption);
        ASSERT_NE(e, nullptr) << c.caption;
        EXPECT_EQ(Expand(*e, c.input), c.output) << c.caption;
        covered.insert(c.caption);
    }
    // A new example comes with its expansion.
    for (const TemplateExample& e : TemplateExamples()) EXPECT_TRUE(covered.count(e.caption)) << e.caption;
}

}  // namespace
}  // namespace rowsmith::gui
