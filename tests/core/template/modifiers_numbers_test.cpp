#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "support/template_cases.h"
#include "tables/string_table.h"
#include "template/context.h"
#include "template/evaluator.h"
#include "template/registry.h"
#include "text/form_gauge.h"
#include "text/utf8.h"

namespace rowsmith::tmpl {
namespace {

using Case = testing::TemplateCase;

class Numbers : public ::testing::Test {
  protected:
    TemplateContext& c() { return record_.Context; }
    std::string Run(std::string_view tmpl, std::string_view line = "") {
        SetVariable(c(), "line", line);
        return ExpandTemplate(tmpl, c(), 1);
    }
    void Check(const std::vector<Case>& cases) {
        testing::CheckTemplateCases([&](const std::string& t, const std::string& l) { return Run(t, l); }, cases);
    }
    TemplateRecordT record_;
};

TEST_F(Numbers, CountersPersistAcrossExpansions) {
    for (const char* expected : {"1", "2", "3"}) EXPECT_EQ(Run("{{|inc:n}}{{n}}"), expected);
    for (const char* expected : {"1", "2", "3"}) EXPECT_EQ(Run("{{|dec:d}}{{d}}"), expected);
    for (const char* expected : {"-1", "-2"}) EXPECT_EQ(Run("{{|dec:m,-1}}{{m}}"), expected);
    Check({
        {"{{|inc:s,5}}{{s}}", "", "5"},
        {"{{|inc:s,2.9}}{{s}}", "", "7"},    // the step is read as an integer
        {"{{|inc:s,abc}}{{s}}", "", "7"},    // and a step that is no number adds 0
        {"{{line|inc:n}}", "keep", "keep"},  // the value stays
        {"{{|def:t,x9}}{{|inc:t}}{{t}}", "", "10"},
        {"{{|inc}}{{|inc:,3}}", "", ""},
        {"{{|inc:{{|:w}}{{|:1}}}}{{w1}}", "", "1"},
        {"{{|def:big,2147483647}}{{|inc:big}}{{big}}", "", "2147483648"},
    });
    EXPECT_EQ(Run("{{n}}"), "4");  // "keep" above counted too
}

TEST_F(Numbers, Arithmetic) {
    Check({
        {"{{line|+:2.9}}", "1", "3"},
        {"{{line|+:1}}", "abc", "1"},
        {"{{line|+:1}}", "x1.20y", "2.2"},
        {"{{line|+:1}}", "", "1"},
        {"{{line|-:1}}", "10", "9"},  // "-" is arithmetic, not a character interval
        {"{{line|-:5}}", "2", "-3"},
        {"{{line|2-3}}", "abcd", "bc"},
        {"{{line|*:2}}", "2.5", "5"},
        {"{{line|*:-3}}", "4", "-12"},
        {"{{line|/:2}}", "7", "3.5"},
        {"{{line|/:3}}", "1", "0.33333333333"},
        {"{{line|/:0}}", "7", "7"},
        {"{{line|/}}", "7", "7"},
        {"{{line|+:abc}}", "5", "4"},  // an unreadable operand is -1
        {"{{line|div:2}}", "7", "3"},
        {"{{line|div:2}}", "-7", "-3"},
        {"{{line|div:0}}", "7", "7"},
        {"{{line|div:-1}}", "-2147483648", "2147483648"},
        {"{{line|mod:3}}", "7", "1"},
        {"{{line|mod:3}}", "-7", "-1"},
        {"{{line|mod:-3}}", "7", "1"},
        {"{{line|mod:0}}", "7", "7"},
        {"{{line|mod:-1}}", "-2147483648", "0"},
    });
}

TEST_F(Numbers, Rounding) {
    Check({
        {"{{line|trunc}}", "-2.7", "-2"},
        {"{{line|trunc}}", "2.7", "2"},
        {"{{line|trunc}}", "abc", "0"},
        {"{{line|trunc}}", "99999999999999999999999", "9223372036854775807"},
        {"{{line|round}}", "2.5", "2"},
        {"{{line|round}}", "3.5", "4"},
        {"{{line|round}}", "-2.5", "-2"},
        {"{{line|round}}", "-3.5", "-4"},
        {"{{line|round}}", "0.5", "0"},
        {"{{line|round}}", "2.6", "3"},
        {"{{line|round}}", "-2.4", "-2"},
        {"{{line|roundupeven}}", "3", "4"},
        {"{{line|roundupeven}}", "4", "4"},
        {"{{line|roundupeven}}", "2.5", "4"},
        {"{{line|roundupodd}}", "3", "3"},
        {"{{line|roundupodd}}", "4", "5"},
        {"{{line|roundupodd}}", "2.5", "3"},
        {"{{line|rounddowneven}}", "5", "4"},
        {"{{line|rounddowneven}}", "3.5", "2"},
        {"{{line|rounddownodd}}", "4", "3"},
        {"{{line|rounddownodd}}", "3", "3"},
        {"{{line|rounddownodd}}", "4.5", "3"},
    });
}

TEST_F(Numbers, TestsLengthsAndPadding) {
    Check({
        {"{{line|isnumber}}", "12.5", " "},
        {"{{line|isnumber}}", "-1", " "},
        {"{{line|isnumber}}", "1-", ""},
        {"{{line|isanumber}}", "1.2.3", ""},
        {"{{line|isanumber}}", "", ""},
        {"{{line|isanumber}}", "1a", ""},
        {"{{line|lz:4}}", "42", "0042"},
        {"{{line|lz:4}}", "-42", "-042"},
        {"{{line|lz:4}}", "12345", "12345"},
        {"{{line|lz:4}}", "abc", "0000"},
        {"{{line|lz}}", "42", "42"},
        {"{{line|lz:-5}}", "42", "42"},
        {"{{line|leadingzero:3}}", "7", "007"},
        {"{{line|leadingzeros:3}}", "7", "007"},
        {"{{line|lz:2147483647}}", "7", ""},  // beyond the size bound
        {"{{line|lengthoftext}}", "", "0"},
        {"{{line|lengthoftext}}", "abc", "3"},
        {"{{line|numberblock:10}}", "12", "20"},
        {"{{line|numberblock:10}}", "20", "20"},
        {"{{line|numbersblock}}", "345", "1000"},
        {"{{line|numbersblock}}", "7", "10"},
        {"{{line|perfectseries}}", ",a,,b,", "a,b"},
        {"{{line|perfectseries}}", "a,,,,b", "a,,b"},  // one pass
        {"{{line|perfectseries:;}}", ";a;;b", "a;b"},
        {"{{line|perfectseries:X}}", "xaXxb", "aXb"},
        {"{{line|perfectseries:\"\"}}", ",a,", ",a,"},
        {"{{line|perfectseries}}", "", ""},
    });
}

TEST_F(Numbers, LengthsCountCharactersOfTheModel) {
    struct ModelCase {
        std::string tmpl, line, utf8, bytes;
    };
    const std::vector<ModelCase> cases = {
        {"{{line|lengthoftext}}", "Grüße", "5", "7"},
        {"{{line|lengthoftext}}", "😀\xFF", "2", "5"},  // a stray byte is one character
        // lz writes the value's number: the value's own characters are not padded.
        {"{{line|lz:6}}", "é", "000000", "000000"},
        {"{{line|lz:4}}", "é12", "0012", "0012"},
    };
    for (const ModelCase& k : cases) {
        EXPECT_EQ(Run(k.tmpl, k.line), k.utf8) << k.tmpl << "  line: " << k.line;
        text::CharModelScope bytes(text::CharModel::Bytes);
        EXPECT_EQ(Run(k.tmpl, k.line), k.bytes) << "bytes: " << k.tmpl << "  line: " << k.line;
    }
}

// Padding modifiers and counters share one width limit, the size bound; a wider ask yields the
// empty text and says so instead of being cut to some width.
TEST_F(Numbers, OneWidthLimitForPaddingAndCounters) {
    c().MaxTextSize = 1000;
    const std::string over = "a width of 1001 would exceed the size bound of 1000 bytes";
    for (const char* tag : {"{{line|lz:W}}", "{{line|leading:W,0}}", "{{numberuntilnow:W}}"}) {
        SCOPED_TRACE(tag);
        std::string at = tag, past = tag;
        at.replace(at.find('W'), 1, "998");
        past.replace(past.find('W'), 1, "1001");
        EXPECT_EQ(Run("<" + at + ">", "0").size(), 1000u);
        EXPECT_EQ(TakeBoundReason(c()), "");
        EXPECT_EQ(Run("<" + past + ">", "0"), "<>");
        EXPECT_EQ(TakeBoundReason(c()), over);
    }
}

class TableCounting : public Numbers {
  protected:
    TableCounting() {
        table_.Init();
        for (const char* text : {"apple", "Pear", "pear", "fig", "APPLE", "kiwi|fig", "<excluded>", "plum"})
            table_.AddRowWithText(text, 0);
        table_.Row(8)->Included = 0;  // plum
        c().Table = &table_;
        c().CurrentRow = 3;
    }
    tables::ArrayOfFiles table_;
};

TEST_F(TableCounting, CountsOverIncludedRows) {
    Check({
        {"{{line|countvalue:{{cell}}=apple}}", "x", "2"},
        {"{{|countvalues:{{cell}}<>apple}}", "", "5"},
        {"{{|countvalue:{{cell}}=plum}}", "", "0"},
        {"{{|countvalue}}", "", "7"},
        {"{{line|countdifferentvalue:{{cell}}}}", "n=", "n=4"},
        {"{{|countdifferingvalue:{{cell}},{{cell}}<>fig}}", "", "3"},
        {"{{|countdifferentvalues:same}}", "", "1"},
        {"{{|countdifferentvalue:{{cell}},{{cell}}=none}}", "", "0"},
        {"{{|countdifferentvalue:{{cell}},{{[additionalsplit:&verbar;]}}}}", "", "4"},
        {"{{line|getdifferingcolumnitems:{{cell}}}}", "", "apple|Pear|fig|kiwi|fig"},
        {"{{\"{{cell}}\"|getdifferingcolumnitems:ignored}}", "", "apple|Pear|fig|kiwi|fig"},
        {"{{|getdifferingcolumnitems:{{cell}},{{[additionalsplit:&verbar;]}}}}", "", "apple|Pear|fig|kiwi"},
        // The row pointer is each row in turn during counting, and back afterwards.
        {"{{|countvalue:{{cell}}=pear}}{{cell}}", "", "2pear"},
    });
    EXPECT_EQ(c().CurrentRow, 3);
}

TEST_F(TableCounting, ByteFiveInTheValueSplitsEntries) {
    table_.SetCell(1, 0,
                   "a\x05"
                   "b");
    table_.SetCell(2, 0,
                   "B\x05"
                   "c");
    EXPECT_EQ(Run("{{line|countdifferentvalue:{{cell}},{{cell}}<>fig}}", "\x05"), std::string("\x05") + "6");
}

// The differing-values list reports through the views of the table's progress records.
TEST_F(TableCounting, DifferingValuesShowProgress) {
    struct Recorder : text::GaugeViewFactory {
        struct View : text::GaugeView {
            explicit View(Recorder& r) : owner(r) {}
            void Repaint(const text::GaugePaint& paint) override { owner.captions.push_back(paint.caption); }
            Recorder& owner;
        };
        std::unique_ptr<text::GaugeView> CreateGaugeView() override {
            ++created;
            return std::make_unique<View>(*this);
        }
        int created = 0;
        std::vector<std::string> captions;
    } recorder;
    table_.SortProgress.views = &recorder;
    EXPECT_EQ(Run("{{|countdifferentvalue:{{cell}}}}"), "4");
    EXPECT_EQ(recorder.created, 1);
    ASSERT_FALSE(recorder.captions.empty());
    EXPECT_EQ(recorder.captions.front(), "Creating list of differing items...");
    table_.SortProgress.views = nullptr;
}

TEST_F(Numbers, TableCountingWithoutATable) {
    Check({
        {"{{line|countvalue:1=1}}", "v", "v0"},
        {"{{line|countdifferentvalue:x}}", "v", "v0"},
        {"{{line|getdifferingcolumnitems:x}}", "v", ""},
    });
}

TEST_F(Numbers, EveryWordIsItsOwnRow) {
    const ModifierRegistry& r = StandardModifiers();
    for (std::string_view w : {"inc",
                               "dec",
                               "+",
                               "-",
                               "*",
                               "/",
                               "div",
                               "mod",
                               "trunc",
                               "round",
                               "roundupeven",
                               "roundupodd",
                               "rounddowneven",
                               "rounddownodd",
                               "isnumber",
                               "isanumber",
                               "leadingzero",
                               "lz",
                               "lengthoftext",
                               "numberblock",
                               "numbersblock",
                               "perfectseries",
                               "countvalue",
                               "countdifferentvalue",
                               "countdifferingvalue",
                               "getdifferingcolumnitems"}) {
        const int32_t i = r.Find(w);
        ASSERT_GE(i, 0) << w;
        EXPECT_EQ(r.Row(i).Word, w);
    }
    // Words that begin with a shorter word of another row keep their own meaning.
    EXPECT_EQ(r.Row(r.Find("leadingzeros")).Word, "leadingzero");
    EXPECT_NE(r.Row(r.Find("-2")).Word, "-");
    const int32_t leading = r.Find("leading");
    EXPECT_TRUE(leading < 0 || r.Row(leading).Word == "leading");
    EXPECT_EQ(r.Row(r.Find("is")).Word, "is");
}

}  // namespace
}  // namespace rowsmith::tmpl
