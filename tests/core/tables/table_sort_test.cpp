#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tables/string_table.h"

namespace rowsmith::tables {
namespace {

struct Item {
    std::string text;
    int64_t size;
};

void Fill(ArrayOfFiles& t, const std::vector<Item>& items) {
    for (const Item& it : items) {
        DataRecT& r = t.AddRowWithText(it.text, kCodeData);
        r.Ext().Facts.Size = it.size;
        t.SetCell(0, kCodeFilename, it.text + "#" + std::to_string(t.RowCount));
    }
}

std::vector<std::string> Texts(const ArrayOfFiles& t) {
    std::vector<std::string> out;
    for (int32_t r = 1; r <= t.RowCount; ++r) out.push_back(t.GetCell(r, kCodeData));
    return out;
}

std::vector<int> Originals(const ArrayOfFiles& t) {
    std::vector<int> out;
    for (int32_t r = 1; r <= t.RowCount; ++r) out.push_back(std::stoi(t.GetCell(r, kCodeOriginalNumber)));
    return out;
}

TEST(SortText, ParsesKeysDirectionsAndCase) {
    ArrayOfFiles t;
    struct Case {
        const char* text;
        std::vector<SortKey> expected;  // Code, Descending, CaseSensitive
    };
    auto key = [](int code, bool desc, bool cs) {
        SortKey k;
        k.Code = code;
        k.Descending = desc;
        k.CaseSensitive = cs;
        return k;
    };
    const Case cases[] = {
        {"-filesize^alphabetical", {key(80, true, false), key(0, false, false), key(86, false, false)}},
        {"Data", {key(0, false, true), key(86, false, false)}},
        {"nosuchkey", {key(86, false, false), key(86, false, false)}},
        {"", {key(86, false, false)}},
        {"filepath^^-filenameext", {key(52, false, false), key(55, true, false), key(86, false, false)}},
    };
    for (const Case& c : cases) {
        const std::vector<SortKey> got = ParseSortKeys(t, c.text);
        ASSERT_EQ(got.size(), c.expected.size()) << c.text;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].Code, c.expected[i].Code) << c.text << " key " << i;
            EXPECT_EQ(got[i].Descending, c.expected[i].Descending) << c.text << " key " << i;
            EXPECT_EQ(got[i].CaseSensitive, c.expected[i].CaseSensitive) << c.text << " key " << i;
        }
    }

    // At most fifty keys, then original number.
    std::string many;
    for (int i = 0; i < 60; ++i) many += (i ? "^" : "") + std::string("filesize");
    const auto keys = ParseSortKeys(t, many);
    EXPECT_EQ(keys.size(), 51u);
    EXPECT_EQ(keys.back().Code, kCodeOriginalNumber);

    ArrayOfFiles one_char;
    one_char.KeySeparator = "";
    one_char.AddSynonym(53, "n");
    const auto single = ParseSortKeys(one_char, "n-#");
    ASSERT_EQ(single.size(), 3u);
    EXPECT_EQ(single[0].Code, 53);
    EXPECT_EQ(single[1].Code, 67);
    EXPECT_TRUE(single[1].Descending);
}

TEST(TableSort, OrdersByTheSortText) {
    const std::vector<Item> items = {{"b", 10}, {"A", 20}, {"a", 10},
                                     {"c", 20}, {"B", 9},  {"a", 1000000000000LL}};
    struct Case {
        const char* sort;
        uint8_t natural;
        std::vector<int> expected_originals;
    };
    const Case cases[] = {
        // Size descending, then text ignoring case, then original order.
        {"-filesize^alphabetical", 0, {6, 2, 4, 3, 1, 5}},
        {"alphabetical", 0, {2, 3, 6, 1, 5, 4}},
        {"-alphabetical", 0, {4, 1, 5, 2, 3, 6}},
        // Capital letters in the key word: byte order, upper case first.
        {"Alphabetical", 0, {2, 5, 3, 6, 1, 4}},
        {"filesize", 0, {5, 1, 3, 2, 4, 6}},
        {"nothing", 0, {1, 2, 3, 4, 5, 6}},
    };
    for (const Case& c : cases) {
        ArrayOfFiles t;
        Fill(t, items);
        t.NaturalCompare = c.natural;
        t.SortText = c.sort;
        t.Sort();
        EXPECT_EQ(Originals(t), c.expected_originals) << c.sort;
        // Cells travel with their rows.
        for (int32_t r = 1; r <= t.RowCount; ++r)
            EXPECT_EQ(t.GetCell(r, kCodeFilename),
                      t.GetCell(r, kCodeData) + "#" + t.GetCell(r, kCodeOriginalNumber));
    }
}

TEST(TableSort, NaturalCompareOrdersNumbersByValue) {
    const std::vector<Item> items = {{"file10", 0}, {"file9", 0}, {"file100", 0}, {"file2", 0}};
    ArrayOfFiles plain;
    Fill(plain, items);
    plain.Sort();
    EXPECT_EQ(Texts(plain), (std::vector<std::string>{"file10", "file100", "file2", "file9"}));

    ArrayOfFiles natural;
    Fill(natural, items);
    natural.NaturalCompare = 1;
    natural.Sort();
    EXPECT_EQ(Texts(natural), (std::vector<std::string>{"file2", "file9", "file10", "file100"}));
}

TEST(TableSort, IntegerCodesCompareAsNumbers) {
    ArrayOfFiles t;
    for (const char* n : {"10", "9", "-3", "x", "100"}) {
        t.AddRow();
        t.SetCell(0, kCodeRowNumberField, n);
    }
    t.AddSynonym(kCodeRowNumberField, "free");
    t.SortText = "free";
    t.Sort();
    std::vector<std::string> got;
    for (int32_t r = 1; r <= t.RowCount; ++r) got.push_back(t.GetCell(r, kCodeRowNumberField));
    EXPECT_EQ(got, (std::vector<std::string>{"-3", "0", "9", "10", "100"}));
}

TEST(TableSort, MatchesAStableSortOnRandomTables) {
    // Heapsort is not stable by itself; the final original-number key must make it so.
    std::mt19937 rng(12345);
    for (int n : {0, 1, 2, 3, 4, 5, 7, 10, 13, 40, 121, 1000}) {
        std::vector<Item> items;
        for (int i = 0; i < n; ++i) {
            const char letters[] = {'a', 'B', 'b', 'c'};
            items.push_back({std::string(1, letters[rng() % 4]), static_cast<int64_t>(rng() % 5)});
        }
        for (const char* sort : {"alphabetical", "-filesize", "filesize^-alphabetical", "-#orig"}) {
            ArrayOfFiles t;
            Fill(t, items);
            t.SortText = sort;
            t.Sort();

            std::vector<int> expected(static_cast<std::size_t>(n));
            for (int i = 0; i < n; ++i) expected[static_cast<std::size_t>(i)] = i + 1;
            auto lower = [](std::string s) {
                for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
                return s;
            };
            const std::string s = sort;
            std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
                const Item& x = items[static_cast<std::size_t>(a - 1)];
                const Item& y = items[static_cast<std::size_t>(b - 1)];
                if (s == "alphabetical") return lower(x.text) < lower(y.text);
                if (s == "-filesize") return x.size > y.size;
                if (s == "-#orig") return a > b;
                if (x.size != y.size) return x.size < y.size;
                return lower(x.text) > lower(y.text);
            });
            EXPECT_EQ(Originals(t), expected) << sort << " n=" << n;
        }
    }
}

TEST(TableSort, ResortingKeepsOriginalNumbers) {
    ArrayOfFiles t;
    Fill(t, {{"c", 0}, {"a", 0}, {"b", 0}});
    t.SortText = "alphabetical";
    t.Sort();
    t.SortText = "#orig";
    t.Sort();
    EXPECT_EQ(Texts(t), (std::vector<std::string>{"c", "a", "b"}));
    EXPECT_EQ(t.GetCell(2, kCodeNumber), "2");
}

}  // namespace
}  // namespace rowsmith::tables
