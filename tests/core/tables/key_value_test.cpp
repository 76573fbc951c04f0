#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tables/string_table.h"

namespace rowsmith::tables {
namespace {

// What a key/value row holds, in a form that compares in one go.
struct KvRow {
    std::string key, value, kind, comment, section;
    bool operator==(const KvRow&) const = default;
};

std::ostream& operator<<(std::ostream& os, const KvRow& r) {
    return os << "{key=" << r.key << " value=" << r.value << " kind=" << r.kind << " comment=" << r.comment
              << " section=" << r.section << "}";
}

KvRow RowOf(const ArrayOfFiles& t, int32_t row) {
    return {t.GetCell(row, kCodeFullPath), t.GetCell(row, kCodeFilename), t.GetCell(row, kCodeFilenameName),
            t.GetCell(row, kCodeNameLower), t.GetCell(row, kCodeExtLower)};
}

std::vector<std::string> WrittenBack(const ArrayOfFiles& t) {
    std::vector<std::string> out;
    for (int32_t r = 1; r <= t.RowCount; ++r) out.push_back(t.GetCell(r, kCodeKeyValueLine));
    return out;
}

TEST(KeyValue, QuotedValueWithTrailingComment) {
    ArrayOfFiles t;
    t.AddKeyValueLine("Path=\"a b\" // comment");
    ASSERT_EQ(t.RowCount, 2);
    EXPECT_EQ(RowOf(t, 1), (KvRow{"", "", "[]", "", "Options"}));
    EXPECT_EQ(RowOf(t, 2), (KvRow{"Path", "a b", "", "comment", "Options"}));
    EXPECT_EQ(t.GetCell(2, kCodeData), "path");
    EXPECT_EQ(t.GetCell(2, kCodePath), "a b");
    EXPECT_EQ(t.GetCell(2, kCodeFilenameLower), "options");
    EXPECT_EQ(t.GetCell(2, kCodeSeparator), "1");
    EXPECT_EQ(t.GetCell(2, kCodeFilenameExt), "Path=\"a b\" // comment");
    EXPECT_EQ(WrittenBack(t), (std::vector<std::string>{"[Options]", "Path=\"a b\" // comment"}));
}

TEST(KeyValue, TwoCommandLineArgumentsGiveThreeRows) {
    ArrayOfFiles t;
    t.AddKeyValueLine("/home/Me/Source Files");
    t.AddKeyValueLine("/home/me/dest");
    ASSERT_EQ(t.RowCount, 3);
    EXPECT_EQ(t.GetCell(1, kCodeKeyValueLine), "[Options]");
    EXPECT_EQ(t.GetCell(2, kCodeFullPath), "/home/Me/Source Files");
    EXPECT_EQ(t.GetCell(3, kCodeFullPath), "/home/me/dest");
    EXPECT_EQ(t.GetCell(2, kCodeFilename), "");
}

TEST(KeyValue, LineParsing) {
    struct Case {
        const char* line;
        KvRow expected;  // the row of the line (after the "[Options]" row when one is inserted)
    };
    const Case cases[] = {
        {"key=value", {"key", "value", "", "", "Options"}},
        {"  key  =  spaced value  ", {"key", "spaced value", "", "", "Options"}},
        {"\"quoted key\"=1", {"quoted key", "1", "", "", "Options"}},
        {"k=\"open only", {"k", "open only", "", "", "Options"}},
        {"k=close only\"", {"k", "close only", "", "", "Options"}},
        {"k=\"\"inner\"\"", {"k", "\"inner\"", "", "", "Options"}},
        {"k=a=b", {"k", "a=b", "", "", "Options"}},
        {"lonely", {"lonely", "", "", "", "Options"}},
        {"url=http://example.com/x", {"url", "http://example.com/x", "", "", "Options"}},
        {"k=v //  two blanks", {"k", "v", "", " two blanks", "Options"}},
        {"k=v //", {"k", "v", "", "", "Options"}},
        {"k=", {"k", "", "\"\"", "", "Options"}},
    };
    for (const Case& c : cases) {
        ArrayOfFiles t;
        t.AddKeyValueLine(c.line);
        ASSERT_EQ(t.RowCount, 2) << c.line;
        EXPECT_EQ(RowOf(t, 2), c.expected) << c.line;
    }
}

TEST(KeyValue, SectionsNumberAndReuseRows) {
    ArrayOfFiles t;
    for (const char* line : {"[First]", "a=1", "[Second]", "a=2", "[first]", "A=3", "b=4"})
        t.AddKeyValueLine(line);
    ASSERT_EQ(t.RowCount, 5);
    // A repeated header reuses its row and names the section as last written.
    EXPECT_EQ(WrittenBack(t), (std::vector<std::string>{"[first]", "A=3", "[Second]", "a=2", "b=4"}));
    EXPECT_EQ(t.GetCell(2, kCodeSeparator), "1");
    EXPECT_EQ(t.GetCell(4, kCodeSeparator), "2");
    EXPECT_EQ(t.GetCell(5, kCodeSeparator), "1");
    EXPECT_EQ(t.GetCell(5, kCodeExtLower), "first");
    EXPECT_EQ(t.GetCell(1, kCodeSectionOrder), "a");
    EXPECT_EQ(t.GetCell(2, kCodeSectionOrder), "b");
    // No "[Options]" row when the first line is a section.
    EXPECT_EQ(t.GetCell(1, kCodeFilenameLower), "first");
}

TEST(KeyValue, CommentsKeepClearAndStandAlone) {
    ArrayOfFiles t;
    t.AddKeyValueLine("// heading");
    t.AddKeyValueLine("a=1 // first");
    t.AddKeyValueLine("a=2");
    EXPECT_EQ(t.GetCell(0, kCodeNameLower), "first");  // no comment keeps the old one
    t.AddKeyValueLine("a=3 //");
    EXPECT_EQ(t.GetCell(0, kCodeNameLower), "");  // a bare marker clears it
    t.AddKeyValueLine("//another");
    ASSERT_EQ(t.RowCount, 4);
    EXPECT_EQ(WrittenBack(t), (std::vector<std::string>{"// heading", "[Options]", "a=3", "// another"}));
}

TEST(KeyValue, MultiLineValues) {
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        std::string value;
    };
    const Case cases[] = {
        {"quoted block", {"Text=", "\"", "line one", "  line two", "\""}, "line one\r\n  line two"},
        {"without opening quote", {"Text=", "only", "\""}, "only"},
        {"one text with CR LF", {"Text=\r\n\"\r\na\r\nb\r\n\""}, "a\r\nb"},
    };
    for (const Case& c : cases) {
        ArrayOfFiles t;
        for (const auto& l : c.lines) t.AddKeyValueLine(l);
        t.AddKeyValueLine("after=x");
        ASSERT_EQ(t.RowCount, 3) << c.name;
        EXPECT_EQ(t.GetCell(2, kCodeFilename), c.value) << c.name;
        EXPECT_EQ(t.GetCell(2, kCodeFilenameName), "\"\"") << c.name;
        EXPECT_EQ(t.GetCell(2, kCodeKeyValueLine), "Text=\"\r\n" + c.value + "\r\n\"") << c.name;
        EXPECT_EQ(t.GetCell(3, kCodeFullPath), "after") << c.name;
        EXPECT_EQ(t.OpenValueRow, -1) << c.name;
    }
}

TEST(KeyValue, WriteBackQuotesBlanksAndDataLines) {
    ArrayOfFiles t;
    t.AddKeyValueLine("plain=abc");
    t.AddKeyValueLine("spaced=a b // why");
    EXPECT_EQ(t.GetCell(2, kCodeKeyValueLine), "plain=abc");
    EXPECT_EQ(t.GetCell(3, kCodeKeyValueLine), "spaced=\"a b\" // why");

    ArrayOfFiles d;
    d.KeyValueDataMode = 1;
    for (const char* line : {"[data]", "same", "same", "[other]", "same"}) d.AddKeyValueLine(line);
    // Every data line is a row of its own; outside the data section rows are reused by key.
    EXPECT_EQ(d.RowCount, 5);
    EXPECT_EQ(d.GetCell(2, kCodeFullPath), "param");
    EXPECT_EQ(d.GetCell(2, kCodeFilename), "same");
    EXPECT_EQ(d.GetCell(2, kCodeFilenameName), "b");
    EXPECT_EQ(d.GetCell(5, kCodeFullPath), "same");
}

}  // namespace
}  // namespace rowsmith::tables
