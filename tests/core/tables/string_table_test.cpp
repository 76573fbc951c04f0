#include "tables/string_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rowsmith::tables {
namespace {

std::vector<std::string> Column(const ArrayOfFiles& t, int code) {
    std::vector<std::string> out;
    for (int32_t r = 1; r <= t.RowCount; ++r) out.push_back(t.GetCell(r, code));
    return out;
}

TEST(StringTable, RowZeroIsTheLastRowAndRowsOutsideTheTableAreInert) {
    ArrayOfFiles t;
    t.AddRowWithText("first", kCodeData);
    t.AddRowWithText("second", kCodeData);
    t.SetCell(2, kCodeFilename, "name2");

    EXPECT_EQ(t.GetCell(0, kCodeData), "second");
    EXPECT_EQ(t.GetCell(0, kCodeFilename), "name2");
    EXPECT_EQ(t.GetCell(3, kCodeData), "");
    EXPECT_EQ(t.GetCell(-1, kCodeData), "");
    EXPECT_EQ(t.GetCell(1, 104), "");
    EXPECT_EQ(t.GetCell(1, -1), "");

    t.SetCell(0, kCodeData, "last");
    t.SetCell(3, kCodeData, "ignored");
    t.SetCell(-5, kCodeData, "ignored");
    t.SetCell(1, -1, "ignored");
    t.SetCell(1, 104, "ignored");
    EXPECT_EQ(t.RowCount, 2);
    EXPECT_EQ(Column(t, kCodeData), (std::vector<std::string>{"first", "last"}));

    ArrayOfFiles empty;
    EXPECT_EQ(empty.GetCell(0, kCodeData), "");
    empty.SetCell(0, kCodeData, "x");
    EXPECT_EQ(empty.RowCount, 0);
}

TEST(StringTable, CellZeroRewritesKeepOtherRowsIntact) {
    // Cell 0 lives in a shared arena: a longer rewrite must not spill into the next row.
    ArrayOfFiles t;
    t.AddRowWithText("aa", kCodeData);
    t.AddRowWithText("bb", kCodeData);
    t.SetCell(1, kCodeData, "a much longer text");
    t.SetCell(2, kCodeData, "b");
    t.SetCell(1, kCodeData, "");
    EXPECT_EQ(Column(t, kCodeData), (std::vector<std::string>{"", "b"}));
    t.SetCell(1, kCodeData, "again");
    EXPECT_EQ(Column(t, kCodeData), (std::vector<std::string>{"again", "b"}));
}

TEST(StringTable, AddLineRules) {
    struct Case {
        const char* name;
        uint8_t keep_empty, keep_blank, unique, unique_ignores_case;
        bool filter_no_x;
        std::vector<std::string> input, expected;
    };
    const std::vector<Case> cases = {
        {"defaults keep everything", 1, 1, 0, 1, false, {"a", "", " ", "a"}, {"a", "", " ", "a"}},
        {"no empty lines", 0, 1, 0, 1, false, {"a", "", " ", "b"}, {"a", " ", "b"}},
        {"no blank lines", 1, 0, 0, 1, false, {"a", "", " \t ", "b"}, {"a", "", "b"}},
        {"filter", 1, 1, 0, 1, true, {"ax", "b", "x"}, {"b"}},
        {"unique ignoring case", 1, 1, 1, 1, false, {"a", "A", "b", "a"}, {"a", "b"}},
        {"unique with case", 1, 1, 1, 0, false, {"a", "A", "b", "a"}, {"a", "A", "b"}},
    };
    for (const Case& c : cases) {
        ArrayOfFiles t;
        t.KeepEmptyLines = c.keep_empty;
        t.KeepBlankLines = c.keep_blank;
        t.UniqueLines = c.unique;
        t.UniqueIgnoresCase = c.unique_ignores_case;
        if (c.filter_no_x)
            t.LineFilter = [](std::string_view s) { return s.find('x') == std::string_view::npos; };
        for (const auto& s : c.input) t.AddLine(s, kCodeData);
        EXPECT_EQ(Column(t, kCodeData), c.expected) << c.name;
    }
}

TEST(StringTable, UniqueLinesLookOnlyAtTheSameCode) {
    ArrayOfFiles t;
    t.UniqueLines = 1;
    EXPECT_TRUE(t.AddLine("x", kCodeFilename));
    EXPECT_TRUE(t.AddLine("x", kCodeData));
    EXPECT_FALSE(t.AddLine("X", kCodeFilename));
    EXPECT_EQ(t.RowCount, 2);
}

TEST(StringTable, AddEntriesSplitsTrimsAndHonoursQuotes) {
    struct Case {
        const char* text;
        uint8_t split;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"a|b|c", 1, {"a", "b", "c"}},
        {"  a  | b ||  ", 1, {"a", "b"}},
        {"\"x|y\"|z", 1, {"x|y", "z"}},
        {" \"q\" ", 1, {"q"}},
        {"\"lead only|b", 1, {"lead only|b"}},
        {"a|b", 0, {"a|b"}},
        {"", 1, {}},
    };
    for (const Case& c : cases) {
        ArrayOfFiles t;
        t.SplitEntries = c.split;
        t.AddEntries(c.text, kCodeFullPath);
        EXPECT_EQ(Column(t, kCodeFullPath), c.expected) << c.text;
    }
}

TEST(StringTable, InitDefaultsAndClearKeepsSettings) {
    ArrayOfFiles t;
    EXPECT_EQ(t.SortText, "alphabetical");
    EXPECT_EQ(t.KeySeparator, "^");
    EXPECT_EQ(t.OpenValueRow, -1);
    EXPECT_EQ(t.ListWhat, 2);
    EXPECT_EQ(t.EntrySeparator, '|');
    EXPECT_EQ(t.QuoteCharacter, '"');
    EXPECT_EQ(t.KeepEmptyLines, 1);
    EXPECT_EQ(t.UniqueIgnoresCase, 1);

    t.UniqueLines = 1;
    t.SetColumnName(5, "Five", "");
    t.AddLine("a", kCodeData);
    t.SetIntervalText("1-3");
    t.Clear();
    EXPECT_EQ(t.RowCount, 0);
    EXPECT_EQ(t.AddedCount, 0);
    EXPECT_EQ(t.IntervalText, "");
    EXPECT_EQ(t.UniqueLines, 1);
    EXPECT_EQ(t.ColumnName(5), "Five");
    EXPECT_EQ(t.GetCell(1, kCodeData), "");

    // Numbering starts again after a clear.
    t.AddRow();
    EXPECT_EQ(t.GetCell(1, kCodeOriginalNumber), "1");

    t.Init(10);
    EXPECT_EQ(t.UniqueLines, 0);
    EXPECT_EQ(t.ColumnName(5), "Item05");
}

TEST(StringTable, ManyRowsKeepTheirTextsAndNumbers) {
    ArrayOfFiles t;
    for (int i = 1; i <= 30000; ++i) t.AddLine("line " + std::to_string(i), kCodeData);
    EXPECT_EQ(t.RowCount, 30000);
    EXPECT_EQ(t.Rows.size(), 30001u);
    EXPECT_EQ(t.GetCell(1, kCodeData), "line 1");
    EXPECT_EQ(t.GetCell(12345, kCodeData), "line 12345");
    EXPECT_EQ(t.GetCell(0, kCodeData), "line 30000");
    EXPECT_EQ(t.GetCell(777, kCodeOriginalNumber), "777");
    EXPECT_EQ(t.GetCell(777, kCodeNumber), "777");
}

TEST(StringTable, LineBufferRowsStaySmall) {
    // A 200 MB file of short lines is millions of rows: the per-row record must stay compact.
    EXPECT_LE(sizeof(DataRecT), 48u);
}

TEST(StringTable, ColumnMetadataFallbacksAndSynonyms) {
    ArrayOfFiles t;
    EXPECT_EQ(t.ColumnName(7), "Item07");
    EXPECT_EQ(t.ColumnName(103), "Item103");
    EXPECT_EQ(t.ColumnCaption(7), "Item07");
    EXPECT_EQ(t.ColumnName(86), "#orig");
    EXPECT_EQ(t.ColumnCaption(86), "Original number");
    EXPECT_EQ(t.ColumnName(0), "Data");

    t.SetColumnName(53, "File Name", "");
    EXPECT_EQ(t.ColumnCaption(53), "File Name");
    EXPECT_EQ(t.ColumnSynonyms(53), "file name,filename");
    EXPECT_EQ(t.CodeOfSynonym("filename"), 53);
    EXPECT_EQ(t.CodeOfSynonym("FILE NAME"), 53);
    EXPECT_EQ(t.CodeOfName("file name"), 53);
    EXPECT_EQ(t.CodeOfName("nothing like it"), -1);

    struct Case {
        const char* word;
        int code;
    };
    const Case defaults[] = {{"alphabetical", 0},
                             {"data", 0},
                             {"\xD6", 0},
                             {"filesize", 80},
                             {"filepath", 52},
                             {"filenamename", 54},
                             {"filenameext", 55},
                             {"alphabetgroup", 97},
                             {"sortsmallestchar", 87},
                             {"number", 67},
                             {"#", 67},
                             {"original number", 86},
                             {"#orig", 86},
                             {"item07", 7},
                             {"unknown", -1}};
    for (const Case& c : defaults) EXPECT_EQ(t.CodeOfSynonym(c.word), c.code) << c.word;

    // A word belongs to one code only.
    t.AddSynonym(80, "Big");
    EXPECT_EQ(t.CodeOfSynonym("big"), 80);
    t.AddSynonym(53, "big");
    EXPECT_EQ(t.CodeOfSynonym("big"), 53);
    EXPECT_EQ(t.ColumnSynonyms(80).find("big"), std::string::npos);
    EXPECT_EQ(t.CodeOfSynonym("filesize"), 80);
}

TEST(StringTable, ComputedCodesFromNameCells) {
    ArrayOfFiles t;
    t.AddRow();
    t.SetCell(1, kCodeFilename, "img007.tar");
    t.SetCell(1, kCodeFilenameName, "img007");
    t.SetCell(1, kCodeFilenameExt, "tar");
    t.SetCell(1, kCodeSeparator, ".");
    t.AddRow();
    t.SetCell(2, kCodeFilenameName, "000x12");
    t.SetCell(2, kCodeFilenameExt, "");

    struct Case {
        int32_t row;
        int code;
        const char* expected;
    };
    const Case cases[] = {
        {1, kCodeReversedName, "700gmi"},
        {1, kCodeLengthName, "6"},
        {1, kCodeLengthExt, "3"},
        {1, kCodeLengthSeparator, "1"},
        {1, kCodeLengthFilename, "10"},
        {1, kCodeReversedExt, "rat"},
        {1, kCodeNameDigits, "7"},
        {1, kCodeExtDigits, ""},
        {2, kCodeNameDigits, "0"},
        {1, kCodeSmallestChar, "0"},
        {1, kCodeIncluded, "X"},
        {1, kCodeNumber, "1"},
        {2, kCodeNumber, "2"},
        {2, kCodeOriginalNumber, "2"},
        {1, kCodeSectionOrder, "b"},
        {1, kCodeDisplayName, "img007.tar"},
    };
    for (const Case& c : cases) EXPECT_EQ(t.GetCell(c.row, c.code), c.expected) << "code " << c.code;

    t.SetCell(1, kCodeIncluded, "");
    EXPECT_EQ(t.GetCell(1, kCodeIncluded), "");
    EXPECT_EQ(t.IncludedCount(), 1);
    t.SetCell(1, kCodeRowNumberField, "42");
    EXPECT_EQ(t.GetCell(1, kCodeRowNumberField), "42");
    // A computed code's stored value (except the settable fields) does not mask the computation.
    t.SetCell(1, kCodeReversedName, "stored");
    EXPECT_EQ(t.GetCell(1, kCodeReversedName), "700gmi");
}

TEST(StringTable, FileFactsFeedSizeAndMissingFactsReadEmpty) {
    ArrayOfFiles t;
    DataRecT& r = t.AddRow();
    r.Ext().Facts.Size = 5000000000LL;
    t.AddRow();
    EXPECT_EQ(t.GetCell(1, kCodeSize), "5000000000");
    EXPECT_EQ(t.GetCell(2, kCodeSize), "");
    EXPECT_EQ(t.GetCell(2, kCodeDate), "");
    EXPECT_EQ(t.GetCell(2, kCodeFinalDestination), "");
    EXPECT_EQ(CellAsInteger64("5000000000"), 5000000000LL);
    EXPECT_EQ(CellAsInteger64("12.9"), 12);
    EXPECT_EQ(CellAsInteger64("abc"), 0);
    EXPECT_EQ(CellAsInteger64(""), 0);
}

TEST(StringTable, PathPoolingSharesFolderTexts) {
    ArrayOfFiles t;
    t.PathPooling = 1;
    const char* folders[] = {"/a/", "/a/", "/b/", "/a/", "/b/", ""};
    for (const char* f : folders) {
        t.AddRow();
        t.SetCell(0, kCodePath, f);
    }
    for (int32_t r = 1; r <= 6; ++r) EXPECT_EQ(t.GetCell(r, kCodePath), folders[r - 1]) << r;
    EXPECT_EQ(t.GetCell(1, kCodePoolIndex), t.GetCell(2, kCodePoolIndex));
    EXPECT_EQ(t.GetCell(3, kCodePoolIndex), t.GetCell(5, kCodePoolIndex));
    EXPECT_EQ(t.GetCell(2, kCodePoolIndex), t.GetCell(4, kCodePoolIndex));
    EXPECT_EQ(t.GetCell(6, kCodePoolIndex), "0");
    // Only two distinct folders were stored (plus the unused entry 0).
    EXPECT_EQ(t.PathPool.size(), 3u);
    t.Clear();
    EXPECT_TRUE(t.PathPool.empty());
}

TEST(StringTable, FindRowFollowsTheIntervalAndIgnoresCase) {
    ArrayOfFiles t;
    for (const char* s : {"x", "Y", "x", "z"}) t.AddLine(s, kCodeData);
    EXPECT_EQ(t.FindRow("x", kCodeData), 1);
    EXPECT_EQ(t.FindRow("y", kCodeData), 2);
    EXPECT_EQ(t.FindRow("q", kCodeData), 0);
    t.SetIntervalText("4-1");  // walked from row 4 up
    EXPECT_EQ(t.FindRow("x", kCodeData), 3);
    t.UniqueIgnoresCase = 0;
    t.SetIntervalText("");
    EXPECT_EQ(t.FindRow("y", kCodeData), 0);
}

TEST(StringTable, LineLoopWalksTheIntervalOverTheRows) {
    ArrayOfFiles t;
    for (int i = 1; i <= 5; ++i) t.AddLine(std::to_string(i), kCodeData);
    struct Case {
        const char* interval;
        std::vector<int32_t> expected;
    };
    const Case cases[] = {{"", {1, 2, 3, 4, 5}}, {"2-3;-1", {2, 3, 5}}, {"4-2", {4, 3, 2}}, {"7", {}}};
    for (const Case& c : cases) {
        t.SetIntervalText(c.interval);
        t.StartLineLoop();
        std::vector<int32_t> got;
        while (text::NextInLoop(t.LineIterator)) got.push_back(t.LineIterator.Current);
        EXPECT_EQ(got, c.expected) << c.interval;
    }
}

TEST(StringTable, DressingAppliesGroupingAndSuffix) {
    ArrayOfFiles t;
    t.AddRow();
    t.SetCell(1, kCodeFilename, "1234567");
    t.Formatting(kCodeFilename).GroupDigits = 1;
    t.Formatting(kCodeFilename).Suffix = " B";
    EXPECT_EQ(t.GetCell(1, kCodeFilename), "1234567");
    EXPECT_EQ(t.GetCell(1, kCodeFilename, true), "1,234,567 B");
}

// Name cells kept as one piece must read exactly like the same texts stored cell by cell, for the
// names whose parts are easy to get wrong.
TEST(StringTable, PackedNameCellsReadLikeStoredOnes) {
    struct Case {
        const char* folder;
        const char* name;
        const char* lower;
        const char* base;
        const char* ext;
    };
    const Case cases[] = {
        {"/data/", "report.txt", "report.txt", "report", "txt"},
        {"/data/", "README", "readme", "README", ""},
        {"/data/", ".bashrc", ".bashrc", "", "bashrc"},
        {"/data/", "archive.tar.GZ", "archive.tar.gz", "archive.tar", "GZ"},
        {"/data/", "trailing.", "trailing.", "trailing", ""},
        {"/data/", "two words .Doc", "two words .doc", "two words ", "Doc"},
        {"/data/", "img007.JPG", "img007.jpg", "img007", "JPG"},
        {"/", "At Root", "at root", "At Root", ""},
        {"/a/b/c/d/e/f/g/h/i/j/k/l/m/n/o/p/q/r/s/t/u/v/w/x/y/z/", "deep.x", "deep.x", "deep", "x"},
        {"", "no folder.md", "no folder.md", "no folder", "md"},
        {"/data/", "", "", "", ""},
    };
    ArrayOfFiles packed, stored;
    for (const Case& c : cases) {
        DataRecT p;
        packed.SetNameCellsOf(p, c.folder, c.name, c.lower);
        packed.AppendRow(std::move(p));
        DataRecT s;
        const std::string full = std::string(c.folder) + c.name;
        stored.SetCellOf(s, kCodeFullPath, full);
        stored.SetCellOf(s, kCodePath, c.folder);
        stored.SetCellOf(s, kCodeFilename, c.name);
        stored.SetCellOf(s, kCodeFilenameName, c.base);
        stored.SetCellOf(s, kCodeFilenameExt, c.ext);
        stored.SetCellOf(s, kCodeSeparator, ".");
        stored.SetCellOf(s, kCodeFilenameLower, c.lower);
        stored.SetCellOf(s, kCodeNameLower, std::string(c.lower).substr(0, std::string(c.base).size()));
        stored.SetCellOf(s, kCodeExtLower, std::string(c.lower).substr(std::string(c.name).size() - std::string(c.ext).size()));
        stored.AppendRow(std::move(s));
    }
    // The name cells and every computed code read from them.
    const int codes[] = {kCodeFullPath, kCodePath, kCodeFilename, kCodeFilenameName, kCodeFilenameExt,
                         kCodeFilenameLower, kCodeNameLower, kCodeExtLower, kCodeSeparator, kCodeDisplayName,
                         kCodeReversedName, kCodeLengthName, kCodeLengthExt, kCodeLengthSeparator,
                         kCodeLengthFilename, kCodeReversedExt, kCodeNameDigits, kCodeExtDigits, kCodeSmallestChar,
                         kCodeNameShape, kCodeNameNumber, kCodeDisplayFolder, kCodeDisplayFullPath,
                         kCodeNameChange, kCodeFolderChange, kCodeSectionOrder};
    for (int32_t row = 1; row <= stored.RowCount; ++row)
        for (int code : codes)
            EXPECT_EQ(packed.GetCell(row, code), stored.GetCell(row, code))
                << "name '" << cases[row - 1].name << "' code " << code;
    EXPECT_EQ(packed.GetCell(2, kCodeFullPath), "/data/README");
    EXPECT_EQ(packed.GetCell(3, kCodeFilenameExt), "bashrc");
    EXPECT_EQ(packed.GetCell(4, kCodeExtLower), "gz");
    EXPECT_EQ(packed.GetCell(8, kCodeNameLower), "at root");
}

TEST(StringTable, WritingOnePackedNameCellLeavesTheOthersAsTheyWere) {
    ArrayOfFiles t;
    t.AddRowWithText("a line before the files", kCodeData);
    for (const auto& [name, lower] : {std::pair{"a.txt", "a.txt"}, std::pair{"B.TXT", "b.txt"}}) {
        DataRecT row;
        t.SetNameCellsOf(row, "/same/", name, lower);
        t.AppendRow(std::move(row));
    }
    // The two rows share the folder text; a new path for one is its own.
    t.SetCell(2, kCodePath, "/other/");
    EXPECT_EQ(t.GetCell(2, kCodePath), "/other/");
    EXPECT_EQ(t.GetCell(2, kCodeFullPath), "/same/a.txt");
    EXPECT_EQ(t.GetCell(3, kCodePath), "/same/");

    t.SetCell(3, kCodeFilenameExt, "md");
    const std::vector<std::pair<int, std::string>> row3 = {
        {kCodeFilenameExt, "md"}, {kCodeFilename, "B.TXT"}, {kCodeExtLower, "txt"},
        {kCodeFilenameLower, "b.txt"}, {kCodeFullPath, "/same/B.TXT"}, {kCodeSeparator, "."},
        {kCodeLengthExt, "2"}, {kCodeReversedExt, "dm"}};
    for (const auto& [code, expected] : row3) EXPECT_EQ(t.GetCell(3, code), expected) << "code " << code;

    // Setting the name cells again replaces the name cells the row held, and only those.
    DataRecT row;
    t.SetCellOf(row, kCodeFilename, "old.name");
    t.SetCellOf(row, kCodeListFile, "/lists/a.lst");
    t.SetNameCellsOf(row, "/new/", "new.txt", "new.txt");
    t.AppendRow(std::move(row));
    EXPECT_EQ(t.GetCell(4, kCodeFilename), "new.txt");
    EXPECT_EQ(t.GetCell(4, kCodeListFile), "/lists/a.lst");

    // After Clear the arena starts again: no row may look at the folder text of rows that went.
    t.Clear();
    DataRecT fresh;
    t.SetNameCellsOf(fresh, "/same/", "c.txt", "c.txt");
    t.AppendRow(std::move(fresh));
    EXPECT_EQ(t.GetCell(1, kCodeFullPath), "/same/c.txt");
}

TEST(StringTable, PooledPathsKeepTheNameCellsInThePool) {
    ArrayOfFiles t;
    t.PathPooling = 1;
    for (const char* name : {"a.txt", "b.txt"}) {
        DataRecT row;
        t.SetNameCellsOf(row, "/pooled/", name, name);
        t.AppendRow(std::move(row));
    }
    EXPECT_EQ(Column(t, kCodePath), (std::vector<std::string>{"/pooled/", "/pooled/"}));
    EXPECT_EQ(Column(t, kCodeFullPath), (std::vector<std::string>{"/pooled/a.txt", "/pooled/b.txt"}));
    ASSERT_EQ(t.PathPool.size(), 2u);  // entry 0 stands for none
    EXPECT_EQ(t.GetCell(2, kCodePoolIndex), "1");
}

}  // namespace
}  // namespace rowsmith::tables
