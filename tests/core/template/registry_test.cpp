#include "template/registry.h"

#include <gtest/gtest.h>

#include <set>

namespace rowsmith::tmpl {
namespace {

void Nop(ModifierCall&) {}
bool Digits(std::string_view w) {
    return !w.empty() && w.find_first_not_of("0123456789") == std::string_view::npos;
}

TEST(Registry, TheFirstAcceptingRowWins) {
    ModifierRegistry r;
    r.AddExact("item", Nop, "0");
    r.AddPrefix("itemexist", Nop, "1");
    r.AddPrefix("getextorname", Nop, "2");
    r.AddPrefix("getext", Nop, "3");
    r.AddExact("getextra", Nop, "4");
    r.AddPattern("<digits>", Digits, Nop, "5");
    r.AddExact("12", Nop, "6");
    r.AddExact("item", Nop, "7");
    struct Case {
        const char* word;
        int32_t row;
    } cases[] = {
        {"item", 0},         {"items", -1}, {"itemexist", 1},   {"itemexists", 1},
        {"getextorname", 2}, {"getext", 3}, {"getextornam", 3}, {"getextra", 3},
        {"12", 5},           {"x", -1},     {"", -1},           {"getextornamex", 2},
    };
    for (const Case& c : cases) EXPECT_EQ(r.Find(c.word), c.row) << c.word;
    EXPECT_EQ(r.Rows().size(), 8u);
    EXPECT_EQ(MatchKindName(r.Row(1).Kind), "prefix");
    EXPECT_EQ(MatchKindName(r.Row(5).Kind), "pattern");
}

TEST(Registry, StandardCoreWords) {
    const ModifierRegistry& r = StandardModifiers();
    for (const char* w : {"append", "a", "original", "uncut", "3", "2-4", "-1", "4-2", "-3-", "12-"})
        EXPECT_GE(r.Find(w), 0) << w;
    // A lone "-" (subtraction) and words without digits are not character intervals.
    for (const char* w : {"-", "--", "a1", "1a", "1;2"}) {
        const int32_t row = r.Find(w);
        if (row >= 0) {
            EXPECT_NE(r.Row(row).Kind, MatchKind::Pattern) << w;
        }
    }
    std::set<std::string> exact;
    for (const ModifierRow& row : r.Rows()) {
        EXPECT_FALSE(row.Description.empty()) << row.Word;
        EXPECT_NE(row.Handler, nullptr) << row.Word;
        if (row.Kind == MatchKind::Exact) {
            EXPECT_TRUE(exact.insert(row.Word).second) << "twice: " << row.Word;
        }
    }
}

}  // namespace
}  // namespace rowsmith::tmpl
