#include "files/scan.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "files/file_list.h"
#include "files/platform_fs.h"
#include "text/mask.h"
#include "support/temp_dir.h"

namespace rowsmith::files {
namespace {

using testing::TempDir;
using testing::WriteFile;

// root/ a.txt b.csv C.TXT d.dat README .hidden.txt
//       sub.d/ x.txt
//       sub/ y.txt Y2.csv deeper/ z.txt deepest/ w.txt
class ScanTree : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* f : {"a.txt", "b.csv", "C.TXT", "d.dat", "README", ".hidden.txt", "sub.d/x.txt",
                              "sub/y.txt", "sub/Y2.csv", "sub/deeper/z.txt", "sub/deeper/deepest/w.txt"})
            WriteFile(dir / f, std::string("content of ") + f);
        root = dir.path() + "/";
    }

    // Relative full paths of the rows a scan of `entry` gives.
    std::vector<std::string> Scan(const std::string& entry, int levels, const char* masks = "*.*",
                                  uint8_t list_what = 2) {
        tables::ArrayOfFiles t;
        InitFileList(t);
        t.SubfolderLevels = levels;
        t.ListWhat = list_what;
        if (masks) t.ScanFilter = MakeMaskFilter(masks);
        Populate(t, entry);
        return Relative(t);
    }

    std::vector<std::string> Relative(const tables::ArrayOfFiles& t) const {
        std::vector<std::string> out;
        for (int32_t r = 1; r <= t.RowCount; ++r) {
            std::string p = t.GetCell(r, tables::kCodeFullPath);
            if (p.rfind(root, 0) == 0) p.erase(0, root.size());
            out.push_back(p);
        }
        return out;
    }

    TempDir dir;
    std::string root;
};

using Names = std::vector<std::string>;

TEST_F(ScanTree, LevelsAndMasks) {
    struct Case {
        int levels;
        const char* masks;
        Names expected;
    };
    const Case cases[] = {
        // "*.*" takes only names with a dot, folders included; every folder lists its items before
        // descending.
        {0, "*.*", {".hidden.txt", "a.txt", "b.csv", "C.TXT", "d.dat", "sub.d"}},
        {1,
         "*.*",
         {".hidden.txt", "a.txt", "b.csv", "C.TXT", "d.dat", "sub.d", "sub/y.txt", "sub/Y2.csv",
          "sub.d/x.txt"}},
        {2, "*.txt", {".hidden.txt", "a.txt", "C.TXT", "sub/y.txt", "sub/deeper/z.txt", "sub.d/x.txt"}},
        {255,
         "*.txt",
         {".hidden.txt", "a.txt", "C.TXT", "sub/y.txt", "sub/deeper/z.txt", "sub/deeper/deepest/w.txt",
          "sub.d/x.txt"}},
        {1,
         "*.txt|*.csv",
         {".hidden.txt", "a.txt", "b.csv", "C.TXT", "sub/y.txt", "sub/Y2.csv", "sub.d/x.txt"}},
        {0, "*", {".hidden.txt", "a.txt", "b.csv", "C.TXT", "d.dat", "README", "sub", "sub.d"}},
        {0, "", {}},
        {0, "[a-b]*", {"a.txt", "b.csv"}},
        {0, "[!.a-c]*.*", {"d.dat", "sub.d"}},
        {0, "?.t?t", {"a.txt", "C.TXT"}},
        {1, " *.csv | README ", {"b.csv", "README", "sub/Y2.csv"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Scan(dir.path(), c.levels, c.masks), c.expected) << c.masks << " " << c.levels;
}

TEST_F(ScanTree, ListWhatSelectsFilesOrFolders) {
    EXPECT_EQ(Scan(dir.path(), 1, "*", 0), (Names{".hidden.txt", "a.txt", "b.csv", "C.TXT", "d.dat", "README",
                                                  "sub/y.txt", "sub/Y2.csv", "sub.d/x.txt"}));
    EXPECT_EQ(Scan(dir.path(), 1, "*", 1), (Names{"sub", "sub.d", "sub/deeper"}));
}

TEST_F(ScanTree, EntryForms) {
    struct Case {
        std::string entry;
        int levels;
        Names expected;
    };
    const std::vector<Case> cases = {
        // Three backslashes: this folder alone, whatever the levels.
        {dir.path() + "\\\\\\", 3, {".hidden.txt", "a.txt", "b.csv", "C.TXT", "d.dat", "sub.d"}},
        {root + "\\\\\\", 3, {".hidden.txt", "a.txt", "b.csv", "C.TXT", "d.dat", "sub.d"}},
        {dir.path() + "\\\\\\*.txt", 3, {".hidden.txt", "a.txt", "C.TXT"}},
        // A wildcard last part is the walker's mask.
        {root + "*.csv", 1, {"b.csv", "sub/Y2.csv"}},
        {root + "sub/?.txt", 0, {"sub/y.txt"}},
        {root + "a.txt", 0, {"a.txt"}},
        {root + "README", 0, {}},  // a single file still passes the mask test
        {root + "missing", 3, {}},
        {root + "missing/*.txt", 3, {}},
        {"\"" + root + "a.txt\" | " + root + "sub", 0, {"a.txt", "sub/y.txt", "sub/Y2.csv"}},
    };
    for (const Case& c : cases) EXPECT_EQ(Scan(c.entry, c.levels), c.expected) << c.entry;
}

TEST_F(ScanTree, RowsCarryNameCellsAndFacts) {
    WriteFile(dir / "sub.d/archive.tar.GZ", "12345");
    tables::ArrayOfFiles t;
    InitFileList(t);
    t.ScanFilter = MakeMaskFilter("*.gz");
    Populate(t, root + "sub.d/");
    ASSERT_EQ(t.RowCount, 1);
    struct Case {
        int code;
        std::string expected;
    };
    const Case cases[] = {
        {tables::kCodeFullPath, root + "sub.d/archive.tar.GZ"},
        {tables::kCodePath, root + "sub.d/"},
        {tables::kCodeFilename, "archive.tar.GZ"},
        {tables::kCodeFilenameName, "archive.tar"},
        {tables::kCodeFilenameExt, "GZ"},
        {tables::kCodeSeparator, "."},
        {tables::kCodeFilenameLower, "archive.tar.gz"},
        {tables::kCodeNameLower, "archive.tar"},
        {tables::kCodeExtLower, "gz"},
        {tables::kCodeSize, "5"},
        {tables::kCodeLastFolder, "sub.d"},
        {tables::kCodeOriginalNumber, "1"},
    };
    for (const Case& c : cases) EXPECT_EQ(t.GetCell(1, c.code), c.expected) << "code " << c.code;
    EXPECT_EQ(t.GetCell(1, tables::kCodeDate).size(), 10u);
    EXPECT_EQ(t.GetCell(1, tables::kCodeFilenameExt, false), "GZ");

    // Populate adds to what the table holds.
    t.ScanFilter = MakeMaskFilter("README");
    Populate(t, dir.path());
    ASSERT_EQ(t.RowCount, 2);
    EXPECT_EQ(t.GetCell(2, tables::kCodeFilenameExt), "");
    EXPECT_EQ(t.GetCell(2, tables::kCodeOriginalNumber), "2");
}

TEST_F(ScanTree, ListFiles) {
    WriteFile(dir / "lists/one.lst", root + "a.txt\r\n   \r\n" + root + "sub/nowhere.txt\r\n\r\n");
    WriteFile(dir / "lists/two.lst", root + "b.csv");
    tables::ArrayOfFiles t;
    InitFileList(t);
    Populate(t, "text:" + root + "lists/one.lst");
    ASSERT_EQ(Relative(t), (Names{"a.txt", "sub/nowhere.txt"}));
    EXPECT_EQ(t.GetCell(1, tables::kCodeListFile), root + "lists/one.lst");
    EXPECT_EQ(t.GetCell(1, tables::kCodeSize), "");  // list entries are not looked up

    tables::ArrayOfFiles folder;
    InitFileList(folder);
    Populate(folder, "TEXT:" + root + "lists");
    EXPECT_EQ(Relative(folder), (Names{"a.txt", "sub/nowhere.txt", "b.csv"}));

    tables::ArrayOfFiles missing;
    InitFileList(missing);
    Populate(missing, "text:" + root + "lists/none.lst");
    EXPECT_EQ(missing.RowCount, 0);
}

TEST_F(ScanTree, FolderSymlinksAreListedButNotEntered) {
    ASSERT_EQ(symlink(dir.path().c_str(), (dir / "sub/loop").c_str()), 0);
    ASSERT_EQ(symlink((dir / "a.txt").c_str(), (dir / "sub/link.txt").c_str()), 0);
    const Names got = Scan(dir.path(), 255, "*");
    for (const std::string& p : got) EXPECT_EQ(p.find("loop/"), std::string::npos) << p;
    EXPECT_NE(std::find(got.begin(), got.end(), "sub/loop"), got.end());
    EXPECT_NE(std::find(got.begin(), got.end(), "sub/link.txt"), got.end());
}

TEST_F(ScanTree, DeepTreesStopAtTheDeepestLevel) {
    std::string rel;
    for (int i = 1; i <= 84; ++i) {
        rel += "d/";
        WriteFile(dir / (rel + "f" + std::to_string(i) + ".txt"), "x");
    }
    tables::ArrayOfFiles t;
    InitFileList(t);
    t.SubfolderLevels = 255;
    t.ScanFilter = MakeMaskFilter("f*.txt");
    std::vector<std::pair<std::string, int>> missed;
    t.UnlistedFolderCallback = [&](const std::string& folder, int error) { missed.emplace_back(folder, error); };
    Populate(t, dir / "d");
    // The start folder is level 0 and holds f1.txt; level 80 is the deepest one entered, and the
    // folder below it, which the levels asked for, is named as missed.
    ASSERT_EQ(t.RowCount, 81);
    EXPECT_EQ(t.GetCell(0, tables::kCodeFilename), "f81.txt");
    std::string deepest = dir / "d/";
    for (int i = 1; i <= 81; ++i) deepest += "d/";
    ASSERT_EQ(missed.size(), 1u);
    EXPECT_EQ(missed[0].first, deepest);
    EXPECT_EQ(missed[0].second, kBeyondDeepestLevel);

    // Levels the user chose that leave folders below are a choice, not a gap: nothing is named.
    tables::ArrayOfFiles limited;
    InitFileList(limited);
    limited.SubfolderLevels = 3;
    limited.ScanFilter = MakeMaskFilter("f*.txt");
    missed.clear();
    limited.UnlistedFolderCallback = [&](const std::string& folder, int error) { missed.emplace_back(folder, error); };
    Populate(limited, dir / "d");
    EXPECT_EQ(limited.RowCount, 4);
    EXPECT_TRUE(missed.empty());
}

// An existing path is the path it names: a folder whose name holds the "\\\\\\" marker or starts
// with "text:" is listed itself, not the folder the marker would lead to.
TEST_F(ScanTree, AnExistingPathIsThePathItNames) {
    WriteFile(dir / "p/q.txt", "other folder");
    WriteFile(dir / "p\\\\\\q/z.txt", "marker-named folder");
    WriteFile(dir / "text:list/y.txt", "prefix-named folder");
    for (const auto& [entry, expected] : std::vector<std::pair<std::string, std::string>>{
             {dir / "p\\\\\\q", "z.txt"}, {dir / "text:list", "y.txt"}}) {
        tables::ArrayOfFiles t;
        InitFileList(t);
        Populate(t, entry);
        ASSERT_EQ(t.RowCount, 1) << entry;
        EXPECT_EQ(t.GetCell(1, tables::kCodeFilename), expected) << entry;
    }
}

TEST_F(ScanTree, WalkerPercentageGrowsToHundred) {
    TFindAnyFileWithSubDirs walk;
    walk.Start(dir.path(), "*", 255);
    double last = 0;
    int items = 0;
    while (walk.NextItem()) {
        EXPECT_GE(walk.Percentage, last);
        EXPECT_LE(walk.Percentage, 100.0);
        last = walk.Percentage;
        ++items;
    }
    EXPECT_EQ(items, 15);
    EXPECT_DOUBLE_EQ(walk.Percentage, 100.0);
    EXPECT_FALSE(walk.NextItem());
}

TEST_F(ScanTree, ProgressReportsCountTheRows) {
    tables::ArrayOfFiles t;
    InitFileList(t);
    t.ScanFilter = MakeMaskFilter("*.txt");
    std::vector<std::string> captions;
    int last_percent = 0;
    t.ProgressCallback = [&](std::string_view caption, std::string_view, int pct) {
        captions.emplace_back(caption);
        EXPECT_GE(pct, last_percent);
        last_percent = pct;
    };
    Populate(t, dir.path());
    ASSERT_FALSE(captions.empty());
    EXPECT_EQ(captions.front(), "Getting files and folders... [1]");
    EXPECT_EQ(captions.back(), "Getting files and folders... [4]");  // three rows so far
}

TEST(MaskFilter, EmptyMaskTextMatchesNothing) {
    tables::DataRecT row;
    EXPECT_FALSE(MakeMaskFilter("")(row, "a.txt"));
    EXPECT_TRUE(MakeMaskFilter("*.TXT")(row, "a.txt"));
    EXPECT_FALSE(MakeMaskFilter("*.*")(row, "README"));
    EXPECT_TRUE(MakeMaskFilter("*")(row, "README"));
}

// The filter's own reading of "*tail" masks must agree with the general mask test everywhere.
TEST(MaskFilter, AgreesWithTheMaskListTest) {
    const char* masks[] = {"*.txt", "*.TXT", "*", "*.", "*txt", "**.txt", "*.t?t", "*[.]txt", "*.txt | *.csv",
                           "a*", "|*.dat|", " * ", "*.tar.gz"};
    const char* names[] = {"a.txt", "A.TXT", "txt", ".txt", "", "a.txt.bak", "x.TxT", "ab", "b.csv",
                           "c.tar.GZ", "a.dat", "[.]txt", "tar.gz"};
    tables::DataRecT row;
    for (const char* mask : masks) {
        const auto filter = MakeMaskFilter(mask);
        for (const char* name : names)
            EXPECT_EQ(filter(row, name), text::MatchesMaskList(name, mask, '|')) << mask << " / " << name;
    }
}

TEST(FolderListing, OrderIgnoresAsciiCaseThenBytesDecideTies) {
    TempDir dir;
    // Names sharing their first eight bytes, a prefix of another name, case-only differences and
    // bytes above 127.
    const std::vector<std::string> expected = {"_x",        "a",         "Ab",        "aB",       "ab",
                                               "abcdefgh",  "ABCDEFGH0", "abcdefgh1", "abcdefghi", "B",
                                               "b",         "sub",       "Z",         "\xC3\xA9"};
    for (const std::string& n : expected)
        if (n != "sub") WriteFile(dir / n, "x");
    WriteFile(dir / "sub/inner.txt", "x");
    std::vector<fs::FolderItem> items;
    ASSERT_TRUE(fs::ListFolder(dir.path(), items));
    std::vector<std::string> got;
    for (const fs::FolderItem& it : items) {
        got.push_back(it.name);
        EXPECT_EQ(it.is_folder, it.name == "sub") << it.name;
    }
    EXPECT_EQ(got, expected);

    // The same folder listed again (the buffers of the last listing are reused) gives the same order.
    std::vector<fs::FolderItem> again;
    ASSERT_TRUE(fs::ListFolder(dir.path(), again));
    ASSERT_EQ(again.size(), items.size());
    for (std::size_t i = 0; i < items.size(); ++i) EXPECT_EQ(again[i].name, items[i].name);
    EXPECT_FALSE(fs::ListFolder(dir / "missing", again));
    EXPECT_TRUE(again.empty());
}

// Many names built from bytes that stress the eight-byte heads: case pairs, bytes just below and
// above 'A'..'Z' and 'a'..'z', bytes above 127 (which must compare unsigned), names sharing long
// prefixes. The listing must agree with a plain comparison of folded copies.
TEST(FolderListing, ManyNamesFollowTheFoldedComparison) {
    const std::string alphabet = "aAbBzZ@[`{_0\x7F\x80\xC3\xA9\xFF";
    std::mt19937 rng(7);
    std::set<std::string> names;
    while (names.size() < 600) {
        std::string n = rng() % 3 ? "abcdefg" : "";  // a shared prefix puts the decision past the head
        const std::size_t length = 1 + rng() % 10;
        for (std::size_t i = 0; i < length; ++i) n += alphabet[rng() % alphabet.size()];
        names.insert(n);
    }
    TempDir dir;
    for (const std::string& n : names) WriteFile(dir / n, "");
    auto fold = [](std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        return s;
    };
    std::vector<std::string> expected(names.begin(), names.end());
    std::sort(expected.begin(), expected.end(), [&](const std::string& a, const std::string& b) {
        const int c = std::string_view(fold(a)).compare(fold(b));
        return c != 0 ? c < 0 : a < b;
    });

    std::vector<fs::FolderItem> items;
    fs::Folder kept;
    ASSERT_TRUE(fs::ListFolder(dir.path(), items, &kept));
    std::vector<std::string> got;
    for (const fs::FolderItem& it : items) got.push_back(it.name);
    EXPECT_EQ(got, expected);

    // The kept folder answers for its items; a listing that fails closes it.
    ASSERT_TRUE(kept.IsOpen());
    fs::PathFacts facts;
    EXPECT_TRUE(fs::GetItemFacts(kept, expected.front(), facts));
    EXPECT_TRUE(facts.is_file);
    EXPECT_FALSE(fs::ListFolder(dir / "missing", items, &kept));
    EXPECT_FALSE(kept.IsOpen());
}

TEST(NameCells, FolderFormsGiveOneFullPath) {
    struct Case {
        const char* folder;
        const char* name;
        const char* full;
        const char* path;
    };
    const Case cases[] = {
        {"/data", "a.txt", "/data/a.txt", "/data/"},
        {"/data/", "a.txt", "/data/a.txt", "/data/"},
        {"/", "a.txt", "/a.txt", "/"},
        {"", "a.txt", "a.txt", ""},
        {"/data/", "", "/data/", "/data/"},
        {"/data/", "/a.txt", "/data/a.txt", "/data/"},  // a separator in front of the name is not doubled
    };
    tables::ArrayOfFiles t;
    InitFileList(t);
    for (const Case& c : cases) {
        tables::DataRecT row;
        FillNameCells(t, row, c.folder, c.name);
        t.AppendRow(std::move(row));
        EXPECT_EQ(t.GetCell(0, tables::kCodeFullPath), c.full) << c.folder << " + " << c.name;
        EXPECT_EQ(t.GetCell(0, tables::kCodePath), c.path) << c.folder << " + " << c.name;
        EXPECT_EQ(t.GetCell(0, tables::kCodeFilename), c.name) << c.folder << " + " << c.name;
    }
}

}  // namespace
}  // namespace rowsmith::files
