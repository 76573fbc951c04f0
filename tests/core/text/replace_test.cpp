#include "text/replace.h"

#include <gtest/gtest.h>

#include <chrono>

#include "template/context.h"
#include "template/evaluator.h"

namespace rowsmith::text {
namespace {

TEST(Replace, EverywhereRepeatsUntilNothingIsLeft) {
    struct Case {
        const char* search;
        const char* replacement;
        const char* text;
        const char* expected;
    } cases[] = {
        {";;", ";", "1;;;;5", "1;5"},
        {";;", ";", ";;;;;;;;;;;;;;;;;", ";"},
        {"ab", "a", "aabb", "aa"},
        {"a", "ab", "aa", "abab"},  // the replacement holds the search text: one pass
        {"a", "b", "aaa", "bbb"},
        {"X", "y", "xXx", "xyx"},
        {"ab", "ba", "aabb", "bbaa"},  // passes until the text stops changing
        {"ab", "", "aaabbb", ""},
        {"", "x", "abc", "abc"},
        {"abcd", "x", "abc", "abc"},
        {"{{", "<%", "{{{x}}", "<%{x}}"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReplaceEverywhere(c.search, c.replacement, c.text), c.expected)
            << c.search << " -> " << c.replacement << " in " << c.text;
    EXPECT_EQ(ReplaceEverywhereIgnoreCase("X", "y", "xXx"), "yyy");
    EXPECT_EQ(ReplaceEverywhereIgnoreCase("ab", "a", "AaBb"), "Aa");
}

TEST(Replace, ChangedTellsWhetherAnythingHappened) {
    ReplaceT r;
    InitReplace(r);
    EXPECT_EQ(ReplaceText(r, "q", "z", "abc"), "abc");
    EXPECT_EQ(r.Changed, 0);
    EXPECT_EQ(ReplaceText(r, "b", "z", "abc"), "azc");
    EXPECT_EQ(r.Changed, 1);
    // A match that is written back as it was still counts.
    EXPECT_EQ(ReplaceText(r, "b", "b", "abc"), "abc");
    EXPECT_EQ(r.Changed, 1);
    r.ResultAsFileName = 1;
    EXPECT_EQ(ReplaceText(r, "q", "z", "a:b"), "a:b");  // the quick test skips the file-name step
    EXPECT_EQ(ReplaceText(r, "b", "c", "a:b"), "a;c");
}

TEST(Replace, KeepCaseAndEatingBlanks) {
    ReplaceT r;
    InitReplace(r);
    r.KeepCase = 1;
    r.CaseSensitive = 0;
    EXPECT_EQ(ReplaceText(r, "hello", "world", "Hello"), "World");
    EXPECT_EQ(ReplaceText(r, "hello", "world", "say HELLO"), "say WORLD");
    EXPECT_EQ(ReplaceText(r, "ab", "xyz", "AB"), "XYz");
    EXPECT_EQ(ReplaceText(r, "is", "was", "It Is"), "It Was");

    InitReplace(r);
    r.DeleteAfter = 1;
    EXPECT_EQ(ReplaceText(r, "a", "b", "a   c"), "bc");
    EXPECT_EQ(ReplaceText(r, "a", "b", "a a  a"), "bbb");
    InitReplace(r);
    r.DeleteBefore = 1;
    EXPECT_EQ(ReplaceText(r, "c", "d", "a   c"), "ad");
    // Blanks eaten next to a match never reach into a neighbouring match.
    EXPECT_EQ(ReplaceText(r, " ", "_", "a   b"), "a___b");
    r.AfterSet = CharSet::Of("-");
    r.DeleteAfter = 1;
    r.DeleteBefore = 0;
    EXPECT_EQ(ReplaceText(r, "x", "y", "x--z"), "yz");
}

TEST(Replace, OccurrenceAnchorsAndLimits) {
    struct Case {
        int32_t occurrence;
        int32_t anchor;
        int32_t max;
        const char* search;
        const char* replacement;
        const char* text;
        const char* expected;
    } cases[] = {
        {1, 0, 2, "a", "b", "aaaa", "bbaa"},     {1, 0, 0, "a", "b", "aaaa", "bbbb"},  // 0 means no limit
        {0, 0, 0, "a", "b", "aXa", "aXb"},       {0, 0, 0, "a", "bc", "aXa", "aXbc"},
        {-1, 0, 0, "a", "bc", "aXa", "bcXbc"},   {1, 1, 0, "a", "b", "aaa", "baa"},
        {1, 1, 0, "a", "b", "xaa", "xaa"},       {1, 2, 0, "a", "b", "aaa", "aab"},
        {1, 2, 0, "a", "b", "aax", "aax"},       {2, 0, 0, "a", "bc", "aXaXa", "aXbcXbc"},
        {3, 0, 0, "a", "bc", "aXaXa", "aXaXbc"}, {5, 0, 0, "a", "bc", "aXaXa", "aXaXa"},
    };
    for (const Case& c : cases) {
        ReplaceT r;
        InitReplace(r);
        r.Occurrence = c.occurrence;
        r.Anchor = c.anchor;
        r.MaxReplacements = c.max;
        EXPECT_EQ(ReplaceText(r, c.search, c.replacement, c.text), c.expected)
            << "occurrence " << c.occurrence << " anchor " << c.anchor << " max " << c.max << " on "
            << c.text;
        // Every setting the call changes is restored.
        EXPECT_EQ(r.Occurrence, c.occurrence);
        EXPECT_EQ(r.MaxReplacements, c.max);
        EXPECT_EQ(r.Overlapping, 1);
    }
}

TEST(Replace, RepeatOverwriteAndStepOne) {
    ReplaceT r;
    InitReplace(r);
    r.Repeat = 0;
    EXPECT_EQ(ReplaceText(r, ";;", ";", ";;;;"), ";;");
    InitReplace(r);
    r.Overwrite = 1;
    EXPECT_EQ(ReplaceText(r, "a", "xy", "aaa"), "xyxy");
    EXPECT_EQ(ReplaceText(r, "abc", "X", "abcabc"), "XbcXbc");
    r.StepOne = 1;
    EXPECT_EQ(ReplaceText(r, "a", "xy", "aaa"), "xxxy");
    InitReplace(r);
    r.Overwrite = 1;
    EXPECT_EQ(ReplaceText(r, "a", "", "aaa"), "aaa");  // nothing to write: the passes stop
}

TEST(Replace, OtherSearchModes) {
    ReplaceT r;
    InitReplace(r);
    r.Mode = kSearchDigitRun;
    EXPECT_EQ(ReplaceText(r, "", "#", "a12b345"), "a#b#");
    // A replacement that is itself a match stops after one pass.
    EXPECT_EQ(ReplaceText(r, "", "7", "a12b345"), "a7b7");
    r.Mode = kSearchCharOfSet;
    r.SearchSet = CharSet::Of("xy");
    EXPECT_EQ(ReplaceText(r, "", "-", "axbyc"), "a-b-c");
}

TEST(Replace, GrowingRulesEndWithinTheBounds) {
    const auto start = std::chrono::steady_clock::now();
    // Every pass makes more b's and moves the a's: the pass bound ends it.
    const std::string grown = ReplaceEverywhere("ab", "bba", std::string(28, 'a') + "b");
    EXPECT_LE(grown.size(), kMaxReplaceResult);
    EXPECT_GT(grown.size(), 29u);
    // A long text with a rule that needs one pass per character ends too (the work bound).
    const std::string sorted =
        ReplaceEverywhere("ab", "ba", std::string(20000, 'a') + std::string(20000, 'b'));
    EXPECT_EQ(sorted.size(), 40000u);
    // a -> aa would grow without end, but the replacement holds the search text.
    EXPECT_EQ(ReplaceEverywhere("a", "aa", "aaa"), "aaaaaa");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST(Replace, MakeFileName) {
    EXPECT_EQ(MakeFileName("c:\\x/y"), "c;)x(y");
    EXPECT_EQ(MakeFileName(""), "_.dat");
    EXPECT_EQ(MakeFileName("a*b?\"<>|\t"), "a_b______");
    EXPECT_EQ(MakeFileName("caf\xe9"), "caf\xe9");
}

TEST(Replace, TemplateReplacement) {
    tmpl::TemplateRecordT record;
    ReplaceT& r = record.Replace;
    tmpl::TemplateContext& c = record.Context;
    c.ReplacementIsTemplate = 1;
    EXPECT_EQ(ReplaceText(r, "b", "[{{found}}{{found}}]", "abcb"), "a[bb]c[bb]");
    EXPECT_EQ(tmpl::GetVariableValue(c, "found"), "b");
    // The quick test does not apply: a missing match still leaves the text as it was.
    EXPECT_EQ(ReplaceText(r, "q", "{{found}}", "abc"), "abc");
    EXPECT_EQ(r.Changed, 0);
    tmpl::SetVariable(c, "foundjustified", "-=");
    EXPECT_EQ(ReplaceText(r, "abc", "<{{foundjustified}}>", "xabcx"), "x<-=->x");
    // The fill is the variable's own value, which the previous call left at "-=-".
    EXPECT_EQ(ReplaceText(r, "abcde", "<{{foundjustified}}>", "abcde"), "<-=--=>");
    // A template whose result is the search text itself ends after one pass.
    EXPECT_EQ(ReplaceText(r, "a", "{{found}}", "aa"), "aa");
    InitReplace(r, &c);
    EXPECT_EQ(c.ReplacementIsTemplate, 0);
    EXPECT_EQ(ReplaceText(r, "b", "{{found}}", "abc"), "a{{found}}c");
}

}  // namespace
}  // namespace rowsmith::text
