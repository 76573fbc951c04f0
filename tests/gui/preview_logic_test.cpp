#include "gui/preview_logic.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files/platform_fs.h"

namespace rowsmith::gui {
namespace {

namespace fsys = std::filesystem;

struct TempDir {
    fsys::path path;
    TempDir() {
        std::string pattern = (fsys::temp_directory_path() / "preview-logic-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        fsys::permissions(path, fsys::perms::owner_all, fsys::perm_options::add, ec);
        fsys::remove_all(path, ec);
    }
    std::string Write(const std::string& name, const std::string& bytes) const {
        const fsys::path p = path / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }
};

std::string NumberedLines(int count, const char* prefix = "line ") {
    std::string text;
    for (int i = 1; i <= count; ++i) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%s%02d\r\n", prefix, i);
        text += buf;
    }
    return text;
}

run::RunSettings Settings(bool interval_on, std::string interval, bool template_on, std::string tmpl,
                          bool unix_line_ends = false) {
    run::RunSettings s;
    s.IntervalActive = interval_on;
    s.IntervalText = std::move(interval);
    s.TemplateActive = template_on;
    s.TemplateText = std::move(tmpl);
    s.UnixLineEnds = unix_line_ends;
    return s;
}

PreviewT Preview(const std::string& file, const run::RunSettings& s, int64_t cap = kPreviewByteCap) {
    PreviewRequestT r;
    r.file = file;
    r.settings = s;
    r.max_bytes = cap;
    return BuildPreview(r);
}

std::vector<int32_t> Lines(const PreviewT& p) {
    std::vector<int32_t> out;
    for (const PreviewRowT& row : p.rows) out.push_back(row.line);
    return out;
}
std::vector<std::string> Outputs(const PreviewT& p) {
    std::vector<std::string> out;
    for (const PreviewRowT& row : p.rows) out.push_back(row.output);
    return out;
}

TEST(PreviewRowOf, TakesTheSelectedFileElseTheFirstFile) {
    tables::ArrayOfFiles list;
    list.Init();
    EXPECT_EQ(PreviewRowOf(list, 1), 0);  // nothing listed
    for (const char* path : {"/src/sub", "/src/a.txt", "/src/b.txt"}) {
        list.AddRow();
        list.SetCell(list.RowCount, tables::kCodeFullPath, path);
    }
    list.Row(1)->Ext().Facts.Attributes = files::fs::kAttrFolder;
    struct Case {
        int32_t selected, expected;
    } cases[] = {{3, 3}, {2, 2}, {1, 2} /* a folder row */, {0, 2}, {-5, 2}, {99, 2}};
    for (const Case& c : cases) EXPECT_EQ(PreviewRowOf(list, c.selected), c.expected) << c.selected;
    // A list of folders only has nothing to preview.
    list.Row(2)->Ext().Facts.Attributes = files::fs::kAttrFolder;
    list.Row(3)->Ext().Facts.Attributes = files::fs::kAttrFolder;
    EXPECT_EQ(PreviewRowOf(list, 3), 0);
}

TEST(BuildPreview, ShowsWhatTheRunWouldWriteForTheSelectedLines) {
    TempDir dir;
    const std::string file = dir.Write("a.txt", "one\r\ntwo\r\nthr\nee\r\nfour");
    struct Case {
        const char* what;
        run::RunSettings settings;
        std::vector<int32_t> lines;
        std::vector<std::string> outputs;
        bool copies;
    } cases[] = {
        {"nothing checked: copied byte for byte",
         Settings(false, "2", false, "x"),
         {1, 2, 3, 4},
         {"one\r\n", "two\r\n", "thr\nee\r\n", "four"},
         true},
        {"an enabled but empty interval alone copies too",
         Settings(true, "", false, ""),
         {1, 2, 3, 4},
         {"one\r\n", "two\r\n", "thr\nee\r\n", "four"},
         true},
        {"interval only: kept lines end with CR LF",
         Settings(true, "2-3;4", false, ""),
         {2, 3, 4},
         {"two\r\n", "thr\nee\r\n", "four\r\n"},
         false},
        {"counting from the end", Settings(true, "-1;1", false, ""), {4, 1}, {"four\r\n", "one\r\n"}, false},
        {"downward",
         Settings(true, "3-1", false, ""),
         {3, 2, 1},
         {"thr\nee\r\n", "two\r\n", "one\r\n"},
         false},
        {"template on every line",
         Settings(false, "2", true, "{{line|caseupper}}|"),
         {1, 2, 3, 4},
         {"ONE|", "TWO|", "THR\nEE|", "FOUR|"},
         false},
        {"interval and template",
         Settings(true, "-2-", true, "<{{line}}>"),
         {3, 4},
         {"<thr\nee>", "<four>"},
         false},
        {"unix line ends split at the lone LF",
         Settings(true, "3-4", false, "", true),
         {3, 4},
         {"thr\n", "ee\n"},
         false},
    };
    for (const Case& c : cases) {
        const PreviewT p = Preview(file, c.settings);
        EXPECT_TRUE(p.ok) << c.what;
        EXPECT_EQ(p.copies, c.copies) << c.what;
        EXPECT_EQ(Lines(p), c.lines) << c.what;
        EXPECT_EQ(Outputs(p), c.outputs) << c.what;
        EXPECT_FALSE(p.message.empty()) << c.what;
    }
    // The input column holds the line without its line break.
    const PreviewT p = Preview(file, Settings(true, "3", false, ""));
    ASSERT_EQ(p.rows.size(), 1u);
    EXPECT_EQ(p.rows[0].input, "thr\nee");
}

TEST(BuildPreview, ShowsAtMostTheFirstTwentySelectedLines) {
    TempDir dir;
    const std::string file = dir.Write("many.txt", NumberedLines(100));
    struct Case {
        const char* interval;
        int32_t first, last, step;
    } cases[] = {{"", 1, 20, 1}, {"-30-", 71, 90, 1}, {"100-1", 100, 81, -1}, {"50-55;1-", 50, 63, 0}};
    for (const Case& c : cases) {
        const PreviewT p = Preview(file, Settings(true, c.interval, true, "{{line}}"));
        ASSERT_EQ(p.rows.size(), 20u) << c.interval;
        EXPECT_EQ(p.rows.front().line, c.first) << c.interval;
        if (c.step != 0) {
            EXPECT_EQ(p.rows.back().line, c.last) << c.interval;
            for (std::size_t i = 1; i < p.rows.size(); ++i)
                EXPECT_EQ(p.rows[i].line, p.rows[i - 1].line + c.step) << c.interval;
        } else {
            EXPECT_EQ(p.rows[6].line, 1) << c.interval;  // the second piece starts over
        }
        EXPECT_EQ(p.rows.front().output, p.rows.front().input);
    }
}

TEST(BuildPreview, ACountingTemplateStartsAfreshOnEveryPreview) {
    TempDir dir;
    const std::string file = dir.Write("a.txt", "a\r\nb\r\nc\r\n");
    const run::RunSettings s = Settings(false, "", true, "{{|inc:n}}{{n}}");
    const std::vector<std::string> expected = {"1", "2", "3"};
    EXPECT_EQ(Outputs(Preview(file, s)), expected);
    EXPECT_EQ(Outputs(Preview(file, s)), expected);
}

TEST(BuildPreview, KeepsEachLinesTraceWhenAsked) {
    TempDir dir;
    const std::string file = dir.Write("a.txt", "one\r\ntwo\r\n");
    PreviewRequestT r;
    r.file = file;
    r.settings = Settings(false, "", true, "{{line|caseupper}}");
    PreviewT p = BuildPreview(r);
    ASSERT_EQ(p.rows.size(), 2u);
    bool found = false;
    for (const tmpl::TraceStep& step : p.rows[1].trace.Steps)
        if (step.kind == tmpl::TraceStep::Kind::Modifier && step.word == "caseupper") {
            found = true;
            EXPECT_EQ(step.value, "TWO");
        }
    EXPECT_TRUE(found);
    // Each line has its own steps, not the ones of the lines before it.
    EXPECT_EQ(p.rows[0].trace.Steps.size(), p.rows[1].trace.Steps.size());

    r.trace = false;
    p = BuildPreview(r);
    ASSERT_EQ(p.rows.size(), 2u);
    EXPECT_TRUE(p.rows[0].trace.Steps.empty());
    // Without a template there is nothing to trace.
    r.trace = true;
    r.settings = Settings(true, "1", false, "");
    EXPECT_TRUE(BuildPreview(r).rows.at(0).trace.Steps.empty());
}

TEST(BuildPreview, ProblemsBecomeAOneLineMessageNamingTheFile) {
    TempDir dir;
    const std::string missing = (dir.path / "gone.txt").string();
    const std::string empty = dir.Write("empty.txt", "");
    const std::string locked = dir.Write("locked.txt", "secret\r\n");
    ::chmod(locked.c_str(), 0);
    const std::string some = dir.Write("some.txt", "x\r\n");
    struct Case {
        std::string file;
        run::RunSettings settings;
        bool ok;
        std::string says;
    } cases[] = {
        {"", Settings(false, "", false, ""), false, "No file to preview"},
        {missing, Settings(false, "", false, ""), false, missing + ": the file does not exist"},
        {dir.path.string(), Settings(false, "", false, ""), false, "not a file"},
        {empty, Settings(true, "1", false, ""), true, "empty.txt is empty"},
        {some, Settings(true, "5-9", false, ""), true, "The interval selects no line of some.txt"},
    };
    for (const Case& c : cases) {
        const PreviewT p = Preview(c.file, c.settings);
        EXPECT_EQ(p.ok, c.ok) << c.file;
        EXPECT_TRUE(p.rows.empty()) << c.file;
        EXPECT_NE(p.message.find(c.says), std::string::npos) << p.message;
        EXPECT_EQ(p.message.find('\n'), std::string::npos) << p.message;
    }
    if (::geteuid() != 0) {  // root reads anything
        const PreviewT p = Preview(locked, Settings(false, "", false, ""));
        EXPECT_FALSE(p.ok);
        EXPECT_NE(p.message.find("Cannot read " + locked + ": "), std::string::npos) << p.message;
    }
}

TEST(BuildPreview, ReadsOnlyWhatTheLinesNeedAndCapsTheRest) {
    TempDir dir;
    // 9 bytes a line: a cap of 64 bytes holds 7 whole lines and part of the 8th.
    const std::string text = NumberedLines(20000);
    const std::string file = dir.Write("big.txt", text);

    // A forward interval stops reading once its lines are there.
    PreviewT p = Preview(file, Settings(true, "2-4", false, ""));
    EXPECT_EQ(Lines(p), (std::vector<int32_t>{2, 3, 4}));
    EXPECT_FALSE(p.capped);
    EXPECT_LT(p.bytes_read, static_cast<int64_t>(text.size()) / 2);

    // Counting from the end reads up to the cap; the last line is the last whole line read.
    p = Preview(file, Settings(true, "-1", false, ""), 64);
    EXPECT_TRUE(p.capped);
    EXPECT_EQ(p.bytes_read, 64);
    ASSERT_EQ(p.rows.size(), 1u);
    EXPECT_EQ(p.rows[0].input, "line 07");
    EXPECT_NE(p.message.find("Only the first 64 bytes of big.txt were read"), std::string::npos) << p.message;

    // A forward interval whose lines lie beyond the cap says so.
    p = Preview(file, Settings(true, "100-", false, ""), 64);
    EXPECT_TRUE(p.capped);
    EXPECT_TRUE(p.rows.empty());
    EXPECT_NE(p.message.find("Only the first 64 bytes"), std::string::npos) << p.message;

    // A file that fits exactly is not capped.
    const std::string exact = dir.Write("exact.txt", NumberedLines(7));
    p = Preview(exact, Settings(true, "-1", false, ""), 63);
    EXPECT_FALSE(p.capped);
    ASSERT_EQ(p.rows.size(), 1u);
    EXPECT_EQ(p.rows[0].input, "line 07");
    EXPECT_EQ(kPreviewByteCap, 16 << 20);
}

}  // namespace
}  // namespace rowsmith::gui
