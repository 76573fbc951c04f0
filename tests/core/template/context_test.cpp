#include "template/context.h"

#include <gtest/gtest.h>

#include "template/evaluator.h"

namespace rowsmith::tmpl {
namespace {

TEST(Context, InitDefinesTheFiveVariablesInOrder) {
    TemplateRecordT record;
    TemplateContext& c = record.Context;
    EXPECT_EQ(c.VariableCount, 5);
    const char* names[] = {"found", "crlf", "cr", "lf", "eol"};
    const char* values[] = {"", "\r\n", "\r", "\n", "\r\n"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(FindVariable(c, names[i]), i + 1);
        EXPECT_EQ(GetVariableValue(c, names[i]), values[i]);
    }
    SetVariable(c, "FOUND", "x");
    EXPECT_EQ(FindVariable(c, "found"), 1);
    EXPECT_EQ(c.VariableCount, 5);
    EXPECT_EQ(c.UndefinedNamePolicy, 3);
    EXPECT_EQ(c.NumberOfAll, 1);
    EXPECT_EQ(c.NumberInThisFile, 1);
    EXPECT_EQ(c.CurrentRow, 1);
    EXPECT_EQ(c.Digits, "0123456789");
    EXPECT_EQ(c.LetterAlphabet, " ");
    EXPECT_EQ(c.PadCharacter, '0');
    EXPECT_EQ(c.OpenDelimiter, "{{");
    EXPECT_EQ(c.CloseDelimiter, "}}");
    EXPECT_EQ(c.RootFolder.back(), '/');
    EXPECT_EQ(c.RunDate, c.NowDate);
    EXPECT_EQ(record.Replace.Context, &c);
    EXPECT_EQ(c.ReplacementIsTemplate, 0);
}

TEST(Context, NamesIgnoreCaseAndCarryComments) {
    TemplateRecordT record;
    TemplateContext& c = record.Context;
    SetVariable(c, "Line", "a");
    EXPECT_EQ(ExpandTemplate("{{LINE}}", c), "a");
    EXPECT_EQ(c.Variables[static_cast<std::size_t>(FindVariable(c, "line"))].Name, "line");

    SetVariable(c, "title|shown as heading", "x");
    const int32_t t = FindVariable(c, "Title");
    EXPECT_EQ(c.Variables[static_cast<std::size_t>(t)].Comment, "shown as heading");
    EXPECT_EQ(ExpandTemplate("{{title}}", c), "x");
    SetVariable(c, "title", "y");
    EXPECT_EQ(c.Variables[static_cast<std::size_t>(t)].Comment, "");
    EXPECT_EQ(c.Variables[static_cast<std::size_t>(t)].Value, "y");
    EXPECT_EQ(GetVariableValue(c, "missing"), "");
    EXPECT_EQ(VariableValue(c, "missing"), nullptr);
}

TEST(Context, EmptyNamesAppendUnreachableSlots) {
    TemplateRecordT record;
    TemplateContext& c = record.Context;
    SetVariable(c, "", "a");
    SetVariable(c, "|comment", "b");
    EXPECT_EQ(c.VariableCount, 7);
    EXPECT_EQ(FindVariable(c, ""), 0);
    EXPECT_EQ(c.Variables.size(), 8u);
    EXPECT_EQ(c.Variables[0].Name, "");
    EXPECT_EQ(c.Variables[0].Value, "");
}

TEST(Context, IndexSurvivesSlotsChangedDirectly) {
    TemplateRecordT record;
    TemplateContext& c = record.Context;
    c.Variables.push_back({"extra", "v", "", 0});
    ++c.VariableCount;
    EXPECT_EQ(FindVariable(c, "EXTRA"), 6);
    c.Variables[6].Name = "renamed";
    EXPECT_EQ(FindVariable(c, "extra"), 0);
    EXPECT_EQ(FindVariable(c, "renamed"), 6);
}

TEST(Context, ProtectAndRestoreTags) {
    TemplateRecordT record;
    TemplateContext& c = record.Context;
    const std::string p = ProtectTags(c, "a{{x|y:{{z}}}}b{{lf}}");
    EXPECT_EQ(p, std::string("a\x02") + "1\x03" + "b\x02" + "2\x03");
    ASSERT_EQ(c.RepresenterCount, 2);
    EXPECT_EQ(c.Representers[1].Text, "{{x|y:{{z}}}}");
    EXPECT_EQ(c.Representers[2].Text, "{{lf}}");
    // Without ReplacementIsTemplate there is no template work: the text comes back as written.
    EXPECT_FALSE(HasTemplateWork(c));
    EXPECT_EQ(RestoreTags(c, p), "a{{x|y:{{z}}}}b{{lf}}");
    c.ReplacementIsTemplate = 1;
    EXPECT_TRUE(HasTemplateWork(c));
    EXPECT_EQ(RestoreTags(c, p), "ab\n");
    // Placeholders that are not ours stay; nothing is read outside the list.
    c.ReplacementIsTemplate = 0;
    const std::string odd = std::string("\x02") + "9\x03|\x02x\x03|\x02" + "0\x03|\x02";
    EXPECT_EQ(RestoreTags(c, odd), odd);
    ClearRepresenters(c);
    EXPECT_EQ(c.RepresenterCount, 0);
    EXPECT_EQ(c.Representers.size(), 1u);
    EXPECT_EQ(ProtectTags(c, "no tags {{open"), "no tags {{open");
    c.TripleSlashShortcuts = 1;
    c.ReplacementIsTemplate = 1;
    EXPECT_TRUE(HasTemplateWork(c));
}

TEST(Context, DelimiterHelpers) {
    TemplateRecordT record;
    TemplateContext& c = record.Context;
    EXPECT_EQ(WrapInDelimiters(c, "x"), "{{x}}");
    EXPECT_EQ(TranslateDelimiters(c, "{{a|b:{{c}}}}"), "{{a|b:{{c}}}}");
    c.OpenDelimiter = "<%";
    c.CloseDelimiter = "%>";
    EXPECT_EQ(WrapInDelimiters(c, "x"), "<%x%>");
    EXPECT_EQ(TranslateDelimiters(c, "{{a|b:{{c}}}}"), "<%a|b:<%c%>%>");
}

TEST(Context, InitKeepsNothingButRefreshesTheDate) {
    TemplateRecordT record;
    TemplateContext& c = record.Context;
    SetVariable(c, "x", "1");
    c.UndefinedNamePolicy = 2;
    auto old_date = c.RunDate;
    InitTemplateContext(c);
    EXPECT_EQ(FindVariable(c, "x"), 0);
    EXPECT_EQ(c.VariableCount, 5);
    EXPECT_EQ(c.UndefinedNamePolicy, 3);
    EXPECT_NE(c.RunDate, old_date);
    EXPECT_GT(c.RunDate->Year, 2000);
}

}  // namespace
}  // namespace rowsmith::tmpl
