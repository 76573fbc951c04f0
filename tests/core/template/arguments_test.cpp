#include "template/arguments.h"

#include <gtest/gtest.h>

#include "template/context.h"

namespace rowsmith::tmpl {
namespace {

TEST(Arguments, PiecesSplitOutsideTags) {
    struct Case {
        const char* piece;
        const char* word;
        int count;
        const char* options;
    } cases[] = {
        {"word", "word", 0, ""},
        {"word:", "word", 1, ""},
        {":a,b", "", 2, ""},
        {"w:a,{{x:1,2}},c", "w", 3, ""},
        {"{{a:b}}:c", "{{a:b}}", 1, ""},
        {"w:{{[a]}},b,{{[c:1]}}", "w", 1, "a|c:1"},
        {"w:{{[a]}}x", "w", 1, ""},
        {"w:1,2,3,4,5,6,7,8,9,10,11,12", "w", 10, ""},
        {"w:1,2,3,4,5,6,7,8,9,10,11,{{[late]}}", "w", 10, "late"},
    };
    for (const Case& c : cases) {
        const ParsedPiece p = ParsePiece(c.piece, "{{", "}}");
        EXPECT_EQ(p.Word, c.word) << c.piece;
        EXPECT_EQ(p.Arguments.Count, c.count) << c.piece;
        EXPECT_EQ(p.Arguments.Options, c.options) << c.piece;
    }
    const ParsedPiece p = ParsePiece("w:a,{{x:1,2}},,\"\",///,{{open", "{{", "}}");
    EXPECT_EQ(p.Arguments.WholeText, "a,{{x:1,2}},,\"\",///,{{open");
    const auto& s = p.Arguments.Slots;
    EXPECT_TRUE(s[0].Present && s[0].Literal);
    EXPECT_EQ(s[1].Text, "{{x:1,2}}");
    EXPECT_FALSE(s[1].Literal);
    EXPECT_FALSE(s[2].Present);
    EXPECT_TRUE(s[3].Present);  // `""`: present and empty
    EXPECT_EQ(s[3].Text, "");
    EXPECT_FALSE(s[4].Literal);  // "///" always asks for expansion
    EXPECT_TRUE(s[5].Literal);   // no balanced tag
}

TEST(Arguments, OptionsRecordReadsNumbersLeniently) {
    struct Case {
        const char* text;
        double number;
        int32_t integer;
        bool is_number;
    } cases[] = {
        {"", 0, 0, false},     {"2.9", 2.9, 2, true},     {"-2.7", -2.7, -2, true},
        {"abc", 0, -1, false}, {"x1.20y", 1.2, 1, false}, {"3000000000", 3e9, -1, true},
        {"-", 0, -1, true},    {"1.2.3", 1.2, 1, false},  {"007", 7, 7, true},
    };
    for (const Case& c : cases) {
        const CommandOptionsRecT r = MakeOptionsRec(c.text, true);
        EXPECT_DOUBLE_EQ(r.Float, c.number) << c.text;
        EXPECT_EQ(r.Integer, c.integer) << c.text;
        EXPECT_EQ(r.IsNumber != 0, c.is_number) << c.text;
    }
}

TEST(Arguments, FetchRawExpandedDefaultAllAndOptions) {
    TemplateRecordT record;
    TemplateContext& c = record.Context;
    ArgumentTable t;
    ParseArguments("a{{lf}},,b,{{[casesensitive]}},{{[width:5|x]}}", "{{", "}}", t);
    EXPECT_EQ(FetchArgument(t, 1, false, c).Text, "a{{lf}}");
    EXPECT_EQ(FetchArgument(t, 1, true, c).Text, "a\n");
    EXPECT_EQ(FetchArgument(t, 1, true, c, 0).Text, "a{{lf}}");
    EXPECT_FALSE(FetchArgument(t, 2, true, c).Present);
    EXPECT_FALSE(FetchArgument(t, 7, true, c).Present);
    EXPECT_EQ(FetchArgument(t, -1, true, c).Text, "a\n,b");
    EXPECT_EQ(FetchArgumentOr(t, 2, "{{cr}}d", c).Text, "\rd");
    EXPECT_EQ(FetchArgumentOr(t, 3, "{{cr}}d", c).Text, "b");
    const CommandOptionsRecT o = FetchArgument(t, 0, true, c);
    EXPECT_TRUE(o.OptionsPresent);
    EXPECT_EQ(o.OptionsText, "casesensitive|width:5|x");
    EXPECT_TRUE(HasOption(t, "CaseSensitive"));
    EXPECT_TRUE(HasOption(t, "width"));
    EXPECT_TRUE(HasOption(t, "x"));
    EXPECT_FALSE(HasOption(t, "5"));
    EXPECT_FALSE(HasOption(t, "case"));
    EXPECT_FALSE(HasOption(t, ""));
    EXPECT_EQ(GetOptionValue(t, "width"), "5");
    // Defaults are written with braces and follow the context's delimiters.
    c.OpenDelimiter = "<%";
    c.CloseDelimiter = "%>";
    EXPECT_EQ(FetchArgumentOr(t, 2, "{{cr}}d", c).Text, "\rd");
}

// The shortcuts that read a slot in place must give what the fetched record gives, for every slot
// kind: literal numbers and words, tags that must be expanded, empty and missing slots, and a call
// that does not expand (nested 0).
TEST(Arguments, InPlaceReadingsEqualTheFetchedRecord) {
    TemplateRecordT record;
    TemplateContext& c = record.Context;
    SetVariable(c, "w", "7");
    ArgumentTable t;
    ParseArguments("6,-3,x,{{w}},,2.9,99999999999,{{w}}1", "{{", "}}", t);
    for (const int nested : {1, 0}) {
        for (int n = -1; n <= 10; ++n) {
            // Twice: the first reading is kept in the slot and must not change the second.
            for (int round = 0; round < 2; ++round) {
                const CommandOptionsRecT want = FetchArgument(t, n, true, c, nested);
                EXPECT_EQ(FetchArgumentInteger(t, n, c, nested), want.Integer) << "slot " << n << " nested " << nested;
                std::string_view text;
                if (LiteralArgumentText(t, n, nested, text)) {
                    EXPECT_EQ(text, want.Text) << "slot " << n << " nested " << nested;
                } else if (n >= 1) {  // the joined slots (-1) and the options (0) are never read in place
                    ASSERT_TRUE(n <= t.Count && nested != 0) << "slot " << n;
                    EXPECT_FALSE(t.Slots[static_cast<std::size_t>(n - 1)].Literal) << "slot " << n;
                }
            }
        }
    }
    EXPECT_EQ(FetchArgumentInteger(t, 4, c, 1), 7);
    EXPECT_EQ(FetchArgumentInteger(t, 8, c, 1), 71);
}

TEST(Arguments, FindOutsideTags) {
    EXPECT_EQ(FindOutsideTags("a|b", '|', "{{", "}}"), 1u);
    EXPECT_EQ(FindOutsideTags("{{x|y}}|b", '|', "{{", "}}"), 7u);
    EXPECT_EQ(FindOutsideTags("{{x|{{y|z}}}}", '|', "{{", "}}"), std::string_view::npos);
    EXPECT_EQ(FindOutsideTags("}}|", '|', "{{", "}}"), 2u);
    EXPECT_EQ(FindOutsideTags("{{ unclosed|", '|', "{{", "}}"), std::string_view::npos);
    EXPECT_EQ(FindOutsideTags("%a|b%|c", '|', "%", "%"), 5u);
}

}  // namespace
}  // namespace rowsmith::tmpl
