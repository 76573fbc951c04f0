#include "files/text_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <limits>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"
#include "tables/string_table.h"

namespace rowsmith::files {
namespace {

using testing::Exists;
using testing::ReadFile;
using testing::RunInChild;
using testing::TempDir;
using testing::TreeSnapshot;
using testing::WriteFile;

std::vector<std::string> ReadAll(const std::string& path, int64_t block, LineEnds ends = LineEnds::Crlf,
                                 std::string* ends_seen = nullptr) {
    TReadTextFile r;
    r.BlockSize = block;
    r.Ends = ends;
    std::vector<std::string> lines;
    if (!r.Open(path)) return {"<not opened>"};
    while (r.ReadLine()) {
        lines.push_back(r.CurrentLine);
        if (ends_seen) *ends_seen += r.LastEnd() == LineEnd::Crlf ? 'C' : r.LastEnd() == LineEnd::Lf ? 'L' : '-';
    }
    r.Close();
    return lines;
}

int64_t MtimeNs(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
}

// ---------------------------------------------------------------- reader

TEST(TextReader, LinesEndOnlyAtCrLfWhateverTheBlockSize) {
    struct Case {
        std::string bytes;
        std::vector<std::string> crlf_lines;
        std::vector<std::string> unix_lines;
    };
    const std::string thousand(1000, 'x');
    const std::vector<Case> cases = {
        {"", {}, {}},
        {"x", {"x"}, {"x"}},
        {"x\r\n", {"x"}, {"x"}},
        {"x\r\n\r\ny", {"x", "", "y"}, {"x", "", "y"}},
        {"\r\n", {""}, {""}},
        {"\r\n\r\n", {"", ""}, {"", ""}},
        {"a\rb\nc\r\n", {"a\rb\nc"}, {"a\rb", "c"}},
        {"a\r", {"a\r"}, {"a\r"}},
        {"a\n\n", {"a\n\n"}, {"a", ""}},
        {"\r\r\n", {"\r"}, {"\r"}},
        {"\n\r\n", {"\n"}, {"", ""}},
        {"\r\n\n", {"", "\n"}, {"", ""}},
        {"one\ntwo\nthree", {"one\ntwo\nthree"}, {"one", "two", "three"}},
        {"last\r\nno end", {"last", "no end"}, {"last", "no end"}},
        {thousand, {thousand}, {thousand}},
        {thousand + "\r\n" + thousand + "\r", {thousand, thousand + "\r"}, {thousand, thousand + "\r"}},
        {std::string("nul\0inside\r\n", 12),
         {std::string("nul\0inside", 10)},
         {std::string("nul\0inside", 10)}},
    };
    TempDir dir;
    int n = 0;
    for (const Case& c : cases) {
        const std::string path = dir / ("f" + std::to_string(n++));
        WriteFile(path, c.bytes);
        for (int64_t block : {1, 2, 3, 7, 512, 1 << 20}) {
            EXPECT_EQ(ReadAll(path, block), c.crlf_lines) << "case " << n << " block " << block;
            EXPECT_EQ(ReadAll(path, block, LineEnds::Lf), c.unix_lines) << "unix case " << n << " block " << block;
            // Under auto the file's first LF decides: after a CR the CR LF rule, else every LF.
            const std::size_t lf = c.bytes.find('\n');
            const bool crlf_file = lf == std::string::npos || (lf > 0 && c.bytes[lf - 1] == '\r');
            EXPECT_EQ(ReadAll(path, block, LineEnds::Auto), crlf_file ? c.crlf_lines : c.unix_lines)
                << "auto case " << n << " block " << block;
        }
    }
}

// Each line knows the end it had: what {{eol}} gives back, so that mixed files round-trip.
TEST(TextReader, EachLineKeepsItsOwnEnd) {
    struct Case {
        std::string bytes;
        LineEnds ends;
        std::string seen;  // C: CR LF, L: LF, -: none
        LineEnds rule;
    };
    const std::vector<Case> cases = {
        {"a\nb\r\nc", LineEnds::Auto, "LC-", LineEnds::Lf},
        {"a\r\nb\nc\r\n", LineEnds::Auto, "CC", LineEnds::Crlf},
        {"a\nb\n", LineEnds::Auto, "LL", LineEnds::Lf},
        {"no end", LineEnds::Auto, "-", LineEnds::Auto},
        {"", LineEnds::Auto, "", LineEnds::Auto},
        {"a\r\nb\n", LineEnds::Lf, "CL", LineEnds::Lf},
        {"a\nb\r\n", LineEnds::Crlf, "C", LineEnds::Crlf},
    };
    TempDir dir;
    for (const Case& c : cases) {
        WriteFile(dir / "f", c.bytes);
        for (int64_t block : {1, 3, 1 << 20}) {
            std::string seen;
            ReadAll(dir / "f", block, c.ends, &seen);
            EXPECT_EQ(seen, c.seen) << c.bytes << " block " << block;
        }
        TReadTextFile r;
        r.Ends = c.ends;
        ASSERT_TRUE(r.Open(dir / "f"));
        while (r.ReadLine()) {
        }
        EXPECT_EQ(r.Rule(), c.rule) << c.bytes;
        r.Close();
    }
}

TEST(TextReader, CountsBytesAndPercent) {
    TempDir dir;
    WriteFile(dir / "f", "ab\r\ncd");
    TReadTextFile r;
    r.BlockSize = 3;
    ASSERT_TRUE(r.Open(dir / "f"));
    EXPECT_EQ(r.FileSize, 6);
    ASSERT_TRUE(r.ReadLine());
    EXPECT_EQ(r.BytesConsumed, 4);
    EXPECT_EQ(r.Remaining, 2);
    ASSERT_TRUE(r.ReadLine());
    EXPECT_EQ(r.PreviousPosition, 4);
    EXPECT_EQ(r.BytesConsumed, 6);
    EXPECT_DOUBLE_EQ(r.Percent, 100.0);
    EXPECT_EQ(r.LinesRead, 2);
    EXPECT_FALSE(r.ReadLine());
    EXPECT_FALSE(r.ReadLine());
    EXPECT_TRUE(r.Close());
}

TEST(TextReader, MissingFileAndBlankLineSkipping) {
    TempDir dir;
    TReadTextFile r;
    EXPECT_FALSE(r.Open(dir / "missing"));
    EXPECT_EQ(r.LastIOStatus, 2);
    EXPECT_FALSE(r.ReadLine());

    WriteFile(dir / "f", "  \r\n\r\n\t\r\nword\r\n \r\n");
    ASSERT_TRUE(r.Open(dir / "f"));
    ASSERT_TRUE(r.ReadNonEmptyLine());
    EXPECT_EQ(r.CurrentLine, "word");
    EXPECT_FALSE(r.ReadNonEmptyLine());
    r.Close();
}

// Draining reads the rest without lines: after any number of lines, with any block size, it ends
// at the file's end; the next file read with the same reader starts clean; a read that fails (a
// folder opened as a file) is reported, as a line read would be.
TEST(TextReader, DrainToEndReadsTheRestAndReportsFailure) {
    TempDir dir;
    std::string text;
    for (int i = 0; i < 500; ++i) text += "line " + std::to_string(i) + "\r\n";
    WriteFile(dir / "f", text);
    WriteFile(dir / "g", "a\r\nb");
    for (const int64_t block : {int64_t{7}, int64_t{4096}, int64_t{1} << 20})
        for (const int lines_first : {0, 1, 499, 500, 600}) {
            TReadTextFile r;
            r.BlockSize = block;
            ASSERT_TRUE(r.Open(dir / "f"));
            std::string_view line;
            for (int i = 0; i < lines_first && r.ReadLineView(line); ++i) {
            }
            EXPECT_TRUE(r.DrainToEnd()) << block << " " << lines_first;
            EXPECT_FALSE(r.ReadLineView(line)) << block << " " << lines_first;
            EXPECT_TRUE(r.Close());
            ASSERT_TRUE(r.Open(dir / "g"));
            ASSERT_TRUE(r.ReadLine());
            EXPECT_EQ(r.CurrentLine, "a");
            ASSERT_TRUE(r.ReadLine());
            EXPECT_EQ(r.CurrentLine, "b");
            r.Close();
        }
    fs::PathFacts folder;
    ASSERT_TRUE(fs::GetFacts(dir.path(), folder));
    folder.is_file = true;  // the reader is told it is a file: reading it fails
    TReadTextFile r;
    if (r.Open(dir.path(), folder)) {
        EXPECT_FALSE(r.DrainToEnd());
        EXPECT_NE(r.LastIOStatus, 0);
        EXPECT_FALSE(r.Close());
    }
}

// Blocks of whole lines, at most `most` at a time, are the file's lines after the first in order,
// whatever the block size of the reader and the cap: every call gives no more lines than asked and
// the counts add up to the lines, the last one without an end included.
TEST(TextReader, BlocksOfAtMostSoManyLinesAreTheLinesInOrder) {
    TempDir dir;
    for (const char* eol : {"\r\n", "\n"}) {
        std::string text = "first";
        text += eol;
        int lines = 1;
        for (int i = 0; i < 3000; ++i, ++lines) text += "line " + std::to_string(i) + (i % 7 == 0 ? "\r" : "") + eol;
        text += "last without an end";
        ++lines;
        WriteFile(dir / "f", text);
        for (const int64_t block : {int64_t{512}, int64_t{1} << 20})
            for (const int64_t most : {int64_t{1}, int64_t{3}, int64_t{256}, std::numeric_limits<int64_t>::max()}) {
                TReadTextFile r;
                r.BlockSize = block;
                r.Ends = LineEnds::Auto;
                ASSERT_TRUE(r.Open(dir / "f"));
                std::string_view view;
                ASSERT_TRUE(r.ReadLineView(view));  // the first line decides the file's rule
                std::string all = std::string(view) + eol;
                int64_t counted = 1, got = 0;
                while (r.ReadLinesView(view, got, most)) {
                    EXPECT_GE(got, 1) << eol << " " << block << " " << most;
                    EXPECT_LE(got, most) << eol << " " << block << " " << most;
                    counted += got;
                    all.append(view);
                }
                EXPECT_TRUE(r.Close());
                EXPECT_EQ(counted, lines) << block << " " << most;
                EXPECT_EQ(all, text) << block << " " << most;
            }
    }
}

// The reader stops at a short read once it has the size the file had when looked at; a file that
// grew since (facts older than the file) is still read to its real end, by a little or by a lot.
TEST(TextReader, ReadsToTheRealEndWhenTheFileGrewSinceItWasLookedAt) {
    TempDir dir;
    for (const std::size_t growth : {std::size_t{1}, std::size_t{100}, std::size_t{5000}, std::size_t{3} << 20}) {
        std::string text;
        for (int i = 0; text.size() < 3000; ++i) text += "line " + std::to_string(i) + "\r\n";
        WriteFile(dir / "f", text);
        fs::PathFacts old_facts;
        ASSERT_TRUE(fs::GetFacts(dir / "f", old_facts));
        text += std::string(growth, 'g') + "\r\nlast";
        WriteFile(dir / "f", text);
        for (const int64_t block : {int64_t{512}, int64_t{1} << 20}) {
            TReadTextFile r;
            r.BlockSize = block;
            ASSERT_TRUE(r.Open(dir / "f", old_facts));
            std::string all;
            std::string_view line;
            while (r.ReadLineView(line)) {
                all.append(line);
                all += "\n";
            }
            EXPECT_TRUE(r.Close());
            EXPECT_EQ(r.BytesConsumed, static_cast<int64_t>(text.size())) << growth << " " << block;
            EXPECT_EQ(all.substr(all.size() - 5), "last\n") << growth << " " << block;
            ASSERT_TRUE(r.Open(dir / "f", old_facts));
            EXPECT_TRUE(r.DrainToEnd());
            r.Close();
        }
    }
}

// ---------------------------------------------------------------- load text file

TEST(LoadTextFile, OneRowPerLineAndClearsFirst) {
    struct Case {
        std::string bytes;
        LineEnds ends;
        std::vector<std::string> rows;
    };
    const std::vector<Case> cases = {
        {"a\r\nb", LineEnds::Crlf, {"a", "b"}},
        {"a\r\nb\r\n", LineEnds::Crlf, {"a", "b"}},
        {"a\r\n\r\n\r\nb\r\n", LineEnds::Crlf, {"a", "", "", "b"}},
        {"a\nb\nc\n", LineEnds::Crlf, {"a\nb\nc\n"}},
        {"a\nb\nc\n", LineEnds::Auto, {"a", "b", "c"}},
        {"a\nb\r\nc", LineEnds::Lf, {"a", "b", "c"}},
        {"", LineEnds::Crlf, {}},
    };
    TempDir dir;
    for (const Case& c : cases) {
        WriteFile(dir / "f", c.bytes);
        tables::ArrayOfFiles t;
        t.AddLine("stale", tables::kCodeData);
        t.SetIntervalText("1");
        ASSERT_TRUE(LoadTextFile(t, dir / "f", tables::kCodeData, c.ends));
        EXPECT_EQ(t.IntervalText, "");
        std::vector<std::string> rows;
        for (int32_t r = 1; r <= t.RowCount; ++r) rows.push_back(t.GetCell(r, tables::kCodeData));
        EXPECT_EQ(rows, c.rows);
    }
}

TEST(LoadTextFile, UnopenableFilesLeaveTheTableEmpty) {
    TempDir dir;
    testing::WriteFile(dir / "sub/x", "x");
    tables::ArrayOfFiles t;
    t.AddLine("stale", tables::kCodeData);
    EXPECT_FALSE(LoadTextFile(t, dir / "missing", tables::kCodeData));
    EXPECT_EQ(t.RowCount, 0);
    t.AddLine("stale", tables::kCodeData);
    EXPECT_FALSE(LoadTextFile(t, dir / "sub", tables::kCodeData));  // a folder reads with an error
    EXPECT_EQ(t.RowCount, 0);

    WriteFile(dir / "secret", "x\r\n");
    chmod((dir / "secret").c_str(), 0);
    testing::OpenForOrdinaryUser(dir.path());
    const int r = RunInChild(
        [&] {
            tables::ArrayOfFiles u;
            u.AddLine("stale", tables::kCodeData);
            if (LoadTextFile(u, dir / "secret", tables::kCodeData)) return 1;
            return u.RowCount == 0 ? 0 : 2;
        },
        true);
    if (r == testing::kCannotDropRoot) GTEST_SKIP() << "cannot switch to an ordinary user";
    EXPECT_EQ(r, 0);
}

TEST(LoadTextFile, OtherCodesAndLargeFiles) {
    TempDir dir;
    std::string big;
    for (int i = 0; i < 20000; ++i) big += "line " + std::to_string(i) + "\r\n";
    WriteFile(dir / "big", big);
    tables::ArrayOfFiles t;
    ASSERT_TRUE(LoadTextFile(t, dir / "big", tables::kCodeFilename));
    ASSERT_EQ(t.RowCount, 20000);
    EXPECT_EQ(t.GetCell(1, tables::kCodeFilename), "line 0");
    EXPECT_EQ(t.GetCell(0, tables::kCodeFilename), "line 19999");
    EXPECT_EQ(t.GetCell(1, tables::kCodeData), "");
}

TEST(LoadTextFile, ShortLinesCostLittleMoreThanTheirText) {
    TempDir dir;
    std::string bytes;
    const std::string line(60, 'z');
    while (bytes.size() < (4u << 20)) bytes += line + "\r\n";
    WriteFile(dir / "lines", bytes);
    tables::ArrayOfFiles t;
    ASSERT_TRUE(LoadTextFile(t, dir / "lines", tables::kCodeData));
    ASSERT_EQ(static_cast<std::size_t>(t.RowCount), bytes.size() / 62);
    const std::size_t held = t.Arena().capacity() + t.Rows.capacity() * sizeof(tables::DataRecT);
    EXPECT_LT(held, bytes.size() * 2);
}

// ---------------------------------------------------------------- force folders, unique names, preparation

TEST(ForceFolders, ResultsForEachOutcome) {
    TempDir dir;
    WriteFile(dir / "file", "x");
    const std::string too_long(300, 'n');
    struct Case {
        std::string folder;
        int expected;
    };
    const Case cases[] = {
        {dir.path(), 1},
        {dir / "a/b/c", 0},
        {dir / "a/b/c/", 1},
        {dir / "a/b/d", 0},
        {dir / "file/sub", -1},
        {dir / ("x/" + too_long + "/y"), -2},
        {dir / (too_long + "/y"), -1},
    };
    for (const Case& c : cases) EXPECT_EQ(ForceFolders(c.folder), c.expected) << c.folder;
    EXPECT_TRUE(Exists(dir / "a/b/c"));
    EXPECT_TRUE(Exists(dir / "x"));  // created before the later failure
    EXPECT_EQ(ForceFolders(""), 1);
}

TEST(MakeUniqueName, NumbersBeforeTheLastDot) {
    TempDir dir;
    for (const char* f : {"a.b.txt", "README", "x.d/README", ".profile", "two.txt", "two_1.txt"})
        WriteFile(dir / f, "x");
    struct Case {
        const char* name;
        const char* expected;
    };
    const Case cases[] = {
        {"a.b.txt", "a.b_1.txt"},   {"README", "README_1"},   {"x.d/README", "x.d/README_1"},
        {".profile", ".profile_1"}, {"two.txt", "two_2.txt"}, {"free.txt", "free.txt"},
    };
    for (const Case& c : cases) EXPECT_EQ(MakeUniqueName(dir / c.name), dir / c.expected) << c.name;
}

TEST(PrepareDestination, StatusWords) {
    TempDir dir;
    WriteFile(dir / "exists.txt", "old");
    WriteFile(dir / "blocker", "file");
    testing::WriteFile(dir / "folder/inside", "x");
    struct Case {
        std::string path;
        uint8_t flags;
        uint16_t status;
        std::string path_after;
    };
    const std::vector<Case> cases = {
        {dir / "new.txt", kOverwrite, 0, dir / "new.txt"},
        {dir / "n1/n2/n3/new.txt", kOverwrite, kStatusFoldersCreated, dir / "n1/n2/n3/new.txt"},
        {dir / "m1/m2/new.txt", kOverwrite | kNoCreateFolders, kStatusFolderFailed | kStatusError | kStatusStop,
         dir / "m1/m2/new.txt"},
        {dir / "blocker/new.txt", kOverwrite, kStatusFolderFailed | kStatusError | kStatusStop,
         dir / "blocker/new.txt"},
        {dir / "exists.txt", kOverwrite, kStatusDeleted, dir / "exists.txt"},
        {dir / "exists.txt", kRename, kStatusNewName, dir / "exists_1.txt"},
        {dir / "exists.txt", 0, kStatusExists | kStatusStop, dir / "exists.txt"},
        {dir / "folder", kOverwrite, kStatusError | kStatusStop, dir / "folder"},
    };
    for (const Case& c : cases) {
        std::string p = c.path;
        EXPECT_EQ(PrepareDestination(p, c.flags), c.status) << c.path << " flags " << int(c.flags);
        EXPECT_EQ(p, c.path_after);
    }
    // Preparation never removes the old file: it is replaced only once the new one is complete.
    EXPECT_EQ(ReadFile(dir / "exists.txt"), "old");
    EXPECT_FALSE(Exists(dir / "m1"));
}

TEST(PrepareDestination, ReadOnlyFileIsRefusedInOverwriteMode) {
    TempDir dir;
    testing::OpenForOrdinaryUser(dir.path());
    const int r = RunInChild(
        [&] {
            WriteFile(dir / "ro.txt", "keep");
            chmod((dir / "ro.txt").c_str(), 0444);
            std::string p = dir / "ro.txt";
            if (PrepareDestination(p, kOverwrite) != (kStatusError | kStatusStop)) return 1;
            TWriteTextFile w;
            if (w.OpenForWriting(dir / "ro.txt", kOverwrite)) return 2;
            if (CopyFile(dir / "ro.txt", dir / "copy.txt", kOverwrite) & kStatusStop) return 3;
            if (!(CopyFile(dir / "copy.txt", dir / "ro.txt", kOverwrite) & kStatusStop)) return 4;
            return ReadFile(dir / "ro.txt") == "keep" ? 0 : 5;
        },
        true);
    if (r == testing::kCannotDropRoot) GTEST_SKIP() << "cannot switch to an ordinary user";
    EXPECT_EQ(r, 0);
}

// ---------------------------------------------------------------- writer

TEST(TextWriter, WritesTextsLinesAndCounts) {
    TempDir dir;
    TWriteTextFile w;
    ASSERT_TRUE(w.OpenForWriting(dir / "deep/er/out.txt", kOverwrite));
    EXPECT_EQ(w.PrepareStatus, kStatusFoldersCreated);
    EXPECT_TRUE(w.WriteText("ab"));
    EXPECT_TRUE(w.WriteText(""));
    EXPECT_TRUE(w.WriteLine("cd"));
    EXPECT_TRUE(w.WriteText("e\n"));
    EXPECT_EQ(w.Writes, 4);
    EXPECT_EQ(w.BytesWritten, 8);
    EXPECT_EQ(w.LineFill, 2);
    EXPECT_TRUE(w.Close());
    EXPECT_EQ(ReadFile(dir / "deep/er/out.txt"), "abcd\r\ne\n");
    // No temporary file is left behind.
    EXPECT_EQ(TreeSnapshot(dir / "deep/er").size(), 1u);
}

TEST(TextWriter, MissingFoldersWithoutCreationFail) {
    TempDir dir;
    TWriteTextFile w;
    EXPECT_FALSE(w.OpenForWriting(dir / "a/b/c/out.txt", kOverwrite | kNoCreateFolders));
    EXPECT_FALSE(Exists(dir / "a"));
    EXPECT_FALSE(w.WriteText("x"));
    EXPECT_FALSE(w.Close());
}

TEST(TextWriter, OverwriteReplacesOnlyWhenComplete) {
    TempDir dir;
    WriteFile(dir / "out.txt", "old bytes");
    chmod((dir / "out.txt").c_str(), 0640);
    TWriteTextFile w;
    ASSERT_TRUE(w.OpenForWriting(dir / "out.txt", kOverwrite));
    EXPECT_EQ(w.PrepareStatus, kStatusDeleted);
    ASSERT_TRUE(w.WriteText("new"));
    EXPECT_EQ(ReadFile(dir / "out.txt"), "old bytes");
    ASSERT_TRUE(w.Close());
    EXPECT_EQ(ReadFile(dir / "out.txt"), "new");
    struct stat st {};
    stat((dir / "out.txt").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // Abandoned writes leave the old file as it was.
    {
        TWriteTextFile abandoned;
        ASSERT_TRUE(abandoned.OpenForWriting(dir / "out.txt", kOverwrite));
        abandoned.WriteText("never");
    }
    EXPECT_EQ(ReadFile(dir / "out.txt"), "new");
    EXPECT_EQ(TreeSnapshot(dir.path()).size(), 1u);
}

TEST(TextWriter, FailedWriteLeavesTheOldFileUntouched) {
    TempDir dir;
    WriteFile(dir / "out.txt", "precious");
    WriteFile(dir / "big.bin", std::string(200000, 'b'));
    const int r = RunInChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim {
            65536, 65536
        };
        if (setrlimit(RLIMIT_FSIZE, &lim) != 0) return 10;
        TWriteTextFile w;
        if (!w.OpenForWriting(dir / "out.txt", kOverwrite)) return 1;
        bool ok = true;
        for (int i = 0; i < 2000 && ok; ++i) ok = w.WriteLine(std::string(100, 'x'));
        if (w.Close()) return 2;
        if (ReadFile(dir / "out.txt") != "precious") return 3;
        // The copy of a file beyond the limit fails the same way.
        const uint16_t st = CopyFile(dir / "big.bin", dir / "out.txt", kOverwrite);
        if (!(st & kStatusError) || (st & kStatusCopied)) return 4;
        if (ReadFile(dir / "out.txt") != "precious") return 5;
        return 0;
    });
    EXPECT_EQ(r, 0);
    EXPECT_EQ(TreeSnapshot(dir.path()).size(), 2u);  // no temporary files left
}

TEST(TextWriter, UnwritableFolderFailsWithoutTouchingIt) {
    TempDir dir;
    testing::OpenForOrdinaryUser(dir.path());
    const int r = RunInChild(
        [&] {
            if (mkdir((dir / "locked").c_str(), 0755) != 0) return 10;
            WriteFile(dir / "locked/old.txt", "old");
            chmod((dir / "locked").c_str(), 0555);
            TWriteTextFile w;
            if (w.OpenForWriting(dir / "locked/new.txt", kOverwrite)) return 1;
            if (w.OpenForWriting(dir / "locked/old.txt", kOverwrite)) return 2;
            if (w.OpenForWriting(dir / "locked/sub/new.txt", kOverwrite)) return 3;
            return ReadFile(dir / "locked/old.txt") == "old" ? 0 : 4;
        },
        true);
    if (r == testing::kCannotDropRoot) GTEST_SKIP() << "cannot switch to an ordinary user";
    EXPECT_EQ(r, 0);
}

TEST(TextWriter, RenameModeTakesTheNextFreeName) {
    TempDir dir;
    for (int run = 0; run < 3; ++run) {
        TWriteTextFile w;
        ASSERT_TRUE(w.OpenForWriting(dir / "report.txt", kRename));
        w.WriteText("run " + std::to_string(run));
        ASSERT_TRUE(w.Close());
    }
    EXPECT_EQ(ReadFile(dir / "report.txt"), "run 0");
    EXPECT_EQ(ReadFile(dir / "report_1.txt"), "run 1");
    EXPECT_EQ(ReadFile(dir / "report_2.txt"), "run 2");

    // Neither overwrite nor rename: an existing file stops the open.
    TWriteTextFile w;
    EXPECT_FALSE(w.OpenForWriting(dir / "report.txt", 0));
    EXPECT_EQ(w.PrepareStatus, kStatusExists | kStatusStop);
}

TEST(TextWriter, WrappingAndHtmlClosing) {
    TempDir dir;
    TWriteTextFile w;
    ASSERT_TRUE(w.OpenForWriting(dir / "items.txt", kOverwrite));
    w.MaximumLineLength = 10;
    w.ItemPrefix = ",";
    for (const char* item : {"aaaa", "bbbb", "cccc", "dd"}) w.WriteText(item);
    w.HtmlFlag = 1;
    ASSERT_TRUE(w.Close());
    EXPECT_EQ(ReadFile(dir / "items.txt"), "aaaa,bbbb\r\ncccc,dd</body>\r\n</html>\r\n");

    // One writer serves several files in turn.
    ASSERT_TRUE(w.OpenForWriting(dir / "second.txt", kOverwrite));
    EXPECT_EQ(w.HtmlFlag, 0);
    EXPECT_EQ(w.MaximumLineLength, 10);
    w.MaximumLineLength = 0;
    w.WriteText("plain");
    ASSERT_TRUE(w.Close());
    EXPECT_EQ(ReadFile(dir / "second.txt"), "plain");
}

// ---------------------------------------------------------------- copy

TEST(CopyFile, KeepsBytesAndModificationTime) {
    TempDir dir;
    std::string bytes;
    for (int i = 0; i < 3 * 1024 * 1024 + 17; ++i) bytes += static_cast<char>(i * 7 % 256);
    WriteFile(dir / "src/data.bin", bytes);
    struct timespec times[2] = {{1000000000, 123456789}, {1000000000, 987654321}};
    utimensat(AT_FDCWD, (dir / "src/data.bin").c_str(), times, 0);

    std::string written;
    const uint16_t st = CopyFile(dir / "src/data.bin", dir / "dst/sub/data.bin", kOverwrite, &written);
    EXPECT_EQ(st, kStatusCopied | kStatusFoldersCreated);
    EXPECT_EQ(written, dir / "dst/sub/data.bin");
    EXPECT_EQ(ReadFile(dir / "dst/sub/data.bin"), bytes);
    EXPECT_EQ(MtimeNs(dir / "dst/sub/data.bin"), 1000000000LL * 1000000000LL + 987654321LL);
    EXPECT_EQ(TreeSnapshot(dir / "dst/sub").size(), 1u);

    WriteFile(dir / "src/empty", "");
    EXPECT_EQ(CopyFile(dir / "src/empty", dir / "dst/empty", kOverwrite), kStatusCopied);
    EXPECT_TRUE(Exists(dir / "dst/empty"));
    EXPECT_EQ(ReadFile(dir / "dst/empty"), "");
}

// A new copy has the source's permission bits (given at creation, and set again only when the umask
// took some away), in overwrite and in rename mode; a copy that replaces a file keeps that file's bits.
TEST(CopyFile, KeepsPermissionBitsWhateverTheUmaskTakes) {
    const mode_t mask = umask(0);
    umask(mask);
    const mode_t modes[] = {0600, 0640, 0644, 0755, 0700, 0400, 0666, 0777, 0664, 0707, 04755, 02750, 01777};
    for (const mode_t mode : modes) {
        for (const uint8_t flags : {kOverwrite, kRename}) {
            TempDir dir;
            WriteFile(dir / "src.txt", "x");
            ASSERT_EQ(chmod((dir / "src.txt").c_str(), mode), 0);
            WriteFile(dir / "old.txt", "old");  // a destination that exists
            ASSERT_EQ(chmod((dir / "old.txt").c_str(), 0604), 0);
            for (const char* dest : {"new.txt", "old.txt"}) {
                std::string written;
                const uint16_t st = CopyFile(dir / "src.txt", dir / dest, flags, &written);
                ASSERT_TRUE(st & kStatusCopied) << std::oct << mode << " " << dest;
                struct stat sb {};
                ASSERT_EQ(stat(written.c_str(), &sb), 0);
                const bool replaced = flags == kOverwrite && std::string(dest) == "old.txt";
                EXPECT_EQ(sb.st_mode & 07777, replaced ? 0604 : mode)
                    << std::oct << "mode " << mode << " umask " << mask << " to " << written;
            }
        }
    }
}

TEST(CopyFile, StatusForExistingMissingAndSelf) {
    TempDir dir;
    WriteFile(dir / "a.txt", "source");
    WriteFile(dir / "b.txt", "other");
    struct Case {
        const char* name;
        std::string source, destination;
        uint8_t flags;
        uint16_t status;
        std::string written;
    };
    const std::vector<Case> cases = {
        {"exists, no mode", dir / "a.txt", dir / "b.txt", 0, kStatusExists | kStatusStop, dir / "b.txt"},
        {"rename", dir / "a.txt", dir / "b.txt", kRename, kStatusNewName | kStatusCopied, dir / "b_1.txt"},
        {"relative to the source", dir / "a.txt", "c.txt", kOverwrite, kStatusCopied, dir / "c.txt"},
        {"onto itself", dir / "a.txt", dir / "a.txt", kOverwrite, kStatusError | kStatusStop, dir / "a.txt"},
        {"onto itself, renamed", dir / "a.txt", dir / "./a.txt", kRename, kStatusError | kStatusStop,
         dir / "a.txt"},
        {"missing source", dir / "gone.txt", dir / "b.txt", kOverwrite, kStatusError | kStatusStop,
         dir / "b.txt"},
    };
    for (const Case& c : cases) {
        std::string written;
        EXPECT_EQ(CopyFile(c.source, c.destination, c.flags, &written), c.status) << c.name;
        EXPECT_EQ(written, c.written) << c.name;
    }
    EXPECT_EQ(ReadFile(dir / "a.txt"), "source");
    EXPECT_EQ(ReadFile(dir / "b.txt"), "other");
    EXPECT_EQ(ReadFile(dir / "b_1.txt"), "source");
    EXPECT_EQ(ReadFile(dir / "c.txt"), "source");
}

TEST(CopyFile, PipesAndFoldersAreNotCopied) {
    TempDir dir;
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0644), 0);
    testing::WriteFile(dir / "folder/x", "x");
    const int r = RunInChild([&] {
        alarm(5);  // a copy that waits for a writer fails the test instead of hanging it
        if (!(CopyFile(dir / "pipe", dir / "out/pipe", kOverwrite) & kStatusStop)) return 1;
        if (!(CopyFile(dir / "folder", dir / "out/folder", kOverwrite) & kStatusStop)) return 2;
        return Exists(dir / "out") ? 3 : 0;
    });
    EXPECT_EQ(r, 0);
}

TEST(CopyFile, SkipsAnIdenticalCopyWhenAsked) {
    TempDir dir;
    WriteFile(dir / "src/a.txt", "same");
    ASSERT_EQ(CopyFile(dir / "src/a.txt", dir / "dst/a.txt", kOverwrite),
              kStatusCopied | kStatusFoldersCreated);
    EXPECT_EQ(CopyFile(dir / "src/a.txt", dir / "dst/a.txt", kOverwrite | kSkipIdentical), kStatusExists);
    WriteFile(dir / "src/a.txt", "diff");  // same size, new time
    struct timespec times[2] = {{2000000000, 0}, {2000000000, 0}};
    utimensat(AT_FDCWD, (dir / "src/a.txt").c_str(), times, 0);
    EXPECT_EQ(CopyFile(dir / "src/a.txt", dir / "dst/a.txt", kOverwrite | kSkipIdentical),
              kStatusCopied | kStatusDeleted);
    EXPECT_EQ(ReadFile(dir / "dst/a.txt"), "diff");
}

TEST(CopyFile, UnreadableSourceChangesNothing) {
    TempDir dir;
    testing::OpenForOrdinaryUser(dir.path());
    const int r = RunInChild(
        [&] {
            WriteFile(dir / "secret.txt", "hidden");
            chmod((dir / "secret.txt").c_str(), 0);
            WriteFile(dir / "out.txt", "keep");
            const uint16_t st = CopyFile(dir / "secret.txt", dir / "out.txt", kOverwrite);
            if (!(st & kStatusStop)) return 1;
            if (ReadFile(dir / "out.txt") != "keep") return 2;
            if (!(CopyFile(dir / "secret.txt", dir / "new/out.txt", kOverwrite) & kStatusStop)) return 3;
            return Exists(dir / "new") ? 4 : 0;
        },
        true);
    if (r == testing::kCannotDropRoot) GTEST_SKIP() << "cannot switch to an ordinary user";
    EXPECT_EQ(r, 0);
}

// A writer that makes its file only when bytes go out writes what one that makes it at once writes,
// whatever the output's size (empty, buffered, beyond one buffer) and after a restart.
TEST(TextWriter, MakingTheFileLateWritesTheSameFile) {
    struct Case {
        const char* name;
        std::vector<std::string> texts;
        bool restart;
    };
    const Case cases[] = {
        {"empty", {}, false},
        {"small", {"a\r\n", "b"}, false},
        {"beyond one buffer", {std::string(700 << 10, 'x'), std::string(700 << 10, 'y'), "end"}, false},
        {"one text beyond the buffer", {std::string(3 << 20, 'z')}, false},
        {"restarted", {"gone\r\n", "RESTART", "kept\r\n"}, true},
    };
    for (const Case& c : cases) {
        std::string made[2];
        for (const bool defer : {false, true}) {
            TempDir dir;
            WriteFile(dir / "out.txt", "old");
            TWriteTextFile w;
            ASSERT_TRUE(w.OpenForWriting(dir / "out.txt", kOverwrite, nullptr, defer)) << c.name;
            for (const std::string& t : c.texts) {
                if (t == "RESTART") {
                    ASSERT_TRUE(w.Restart()) << c.name;
                    continue;
                }
                ASSERT_TRUE(w.WriteText(t)) << c.name;
            }
            EXPECT_EQ(ReadFile(dir / "out.txt"), "old") << c.name;  // nothing shows before the close
            ASSERT_TRUE(w.Close()) << c.name << (defer ? ", late" : "");
            EXPECT_FALSE(w.CreateFailed()) << c.name;
            EXPECT_EQ(TreeSnapshot(dir.path()).size(), 1u) << c.name;  // no temporary file left
            made[defer] = ReadFile(dir / "out.txt");
        }
        EXPECT_EQ(made[0], made[1]) << c.name;
    }
}

// A late making that fails (the folder went away meanwhile) fails the close and says so.
TEST(TextWriter, ALateMakingThatFailsIsTheCloseFailing) {
    TempDir dir;
    ::mkdir((dir / "gone").c_str(), 0755);
    TWriteTextFile w;
    ASSERT_TRUE(w.OpenForWriting(dir / "gone/out.txt", kOverwrite, nullptr, true));
    ASSERT_TRUE(w.WriteText("never\r\n"));
    ASSERT_EQ(::rmdir((dir / "gone").c_str()), 0);
    EXPECT_FALSE(w.Close());
    EXPECT_TRUE(w.CreateFailed());
    EXPECT_NE(w.LastIOStatus, 0);
    EXPECT_FALSE(w.IsOpen());
    EXPECT_EQ(TreeSnapshot(dir.path()).size(), 0u);
}

// A run stopped at a row removes the folders only later rows made, where they are still empty.
TEST(DestinationRoot, FoldersMadeOnlyAfterTheStopGoAgain) {
    struct Case {
        const char* name;
        std::vector<std::pair<int32_t, std::string>> rows;  // row, destination below the root
        int32_t stop;
        std::vector<std::string> kept;  // folders left (files written by the case are not listed)
    };
    const Case cases[] = {
        {"later folders go", {{1, "a/f"}, {2, "b/f"}, {3, "c/d/f"}}, 1, {"a"}},
        {"a folder an earlier row used stays", {{1, "a/x/f"}, {2, "a/y/f"}}, 1, {"a", "a/x"}},
        {"a folder a later row made inside an earlier one", {{1, "a/f"}, {2, "a/b/c/f"}}, 1, {"a"}},
        {"nothing after the stop", {{1, "a/f"}, {2, "b/f"}}, 2, {"a", "b"}},
        {"the stop row's own folder stays", {{1, "a/f"}, {2, "b/f"}, {3, "c/f"}}, 2, {"a", "b"}},
        {"no stopping row known", {{1, "a/f"}, {2, "b/f"}}, 0, {"a", "b"}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        DestinationRoot root(dir.path());
        for (const auto& [row, rel] : c.rows) {
            root.SetRow(row);
            std::shared_ptr<const fs::Folder> folder;
            std::string name;
            int error = 0;
            ASSERT_FALSE(root.Place(dir / rel, kOverwrite, folder, name, error) & kStatusStop) << c.name;
        }
        root.RemoveFoldersMadeAfter(c.stop, {&root});
        std::vector<std::string> left;
        for (const auto& [name, what] : TreeSnapshot(dir.path()))
            if (what == "dir") left.push_back(name);
        EXPECT_EQ(left, c.kept) << c.name;
    }
    // Rows side by side: one lane made the folder for a later row, another used it for an earlier one.
    {
        TempDir dir;
        DestinationRoot lane_a(dir.path()), lane_b(dir.path());
        std::shared_ptr<const fs::Folder> folder;
        std::string name;
        int error = 0;
        lane_a.SetRow(3);
        ASSERT_FALSE(lane_a.Place(dir / "shared/f", kOverwrite, folder, name, error) & kStatusStop);
        ASSERT_FALSE(lane_a.Place(dir / "only_later/f", kOverwrite, folder, name, error) & kStatusStop);
        lane_b.SetRow(2);
        ASSERT_FALSE(lane_b.Place(dir / "shared/g", kOverwrite, folder, name, error) & kStatusStop);
        lane_b.RemoveFoldersMadeAfter(2, {&lane_a, &lane_b});
        EXPECT_TRUE(Exists(dir / "shared"));
        EXPECT_FALSE(Exists(dir / "only_later"));
    }
    // One that holds anything stays, whoever made it.
    TempDir dir;
    DestinationRoot root(dir.path());
    root.SetRow(5);
    std::shared_ptr<const fs::Folder> folder;
    std::string name;
    int error = 0;
    ASSERT_FALSE(root.Place(dir / "late/f", kOverwrite, folder, name, error) & kStatusStop);
    WriteFile(dir / "late/somebody's.txt", "x");
    root.RemoveFoldersMadeAfter(1, {&root});
    EXPECT_TRUE(Exists(dir / "late/somebody's.txt"));
}

}  // namespace
}  // namespace rowsmith::files
