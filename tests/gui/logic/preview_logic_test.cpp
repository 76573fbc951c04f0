#include "gui/logic/preview_logic.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "files/platform_fs.h"
#include "files/text_file.h"
#include "gui/logic/main_window_logic.h"
#include "run/expand_lines.h"
#include "run/run_plan.h"
#include "text/utf8.h"

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
                          files::LineEnds ends = files::LineEnds::Auto) {
    run::RunSettings s;
    s.IntervalActive = interval_on;
    s.IntervalText = std::move(interval);
    s.TemplateActive = template_on;
    s.TemplateText = std::move(tmpl);
    s.LineEnds = ends;
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
std::vector<std::string> Inputs(const PreviewT& p) {
    std::vector<std::string> out;
    for (const PreviewRowT& row : p.rows) out.push_back(row.input);
    return out;
}
std::vector<files::LineEnd> Ends(const PreviewT& p) {
    std::vector<files::LineEnd> out;
    for (const PreviewRowT& row : p.rows) out.push_back(row.end);
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
        {"interval only: kept lines keep their own ends, the last has none",
         Settings(true, "2-3;4", false, ""),
         {2, 3, 4},
         {"two\r\n", "thr\nee\r\n", "four"},
         false},
        {"counting from the end", Settings(true, "-1;1", false, ""), {4, 1}, {"four", "one\r\n"}, false},
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
        {"forced LF splits at the lone LF and ends every line with LF",
         Settings(true, "3-5", false, "", files::LineEnds::Lf),
         {3, 4, 5},
         {"thr\n", "ee\n", "four\n"},
         false},
        {"forced CR LF gives the last line an end too",
         Settings(true, "-1", false, "", files::LineEnds::Crlf),
         {4},
         {"four\r\n"},
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

TEST(BuildPreview, UnderAutoTheFirstLineEndOfEachFileDecides) {
    TempDir dir;
    using E = files::LineEnd;
    using M = files::LineEnds;
    struct Case {
        const char* what;
        std::string bytes;
        M mode;
        std::vector<std::string> inputs;
        std::vector<E> ends;
        std::vector<std::string> outputs;
        M rule;
    } cases[] = {
        {"an LF file splits at every LF; a CR LF keeps its CR in the output",
         "one\ntwo\r\nthree", M::Auto, {"one", "two", "three"}, {E::Lf, E::Crlf, E::None},
         {"one\n", "two\r\n", "three"}, M::Lf},
        {"a CR LF file leaves a lone LF inside its line",
         "one\r\ntwo\nthree\r\n", M::Auto, {"one", "two\nthree"}, {E::Crlf, E::Crlf},
         {"one\r\n", "two\nthree\r\n"}, M::Crlf},
        {"an empty first line ending with LF decides LF",
         "\nx\r\ny", M::Auto, {"", "x", "y"}, {E::Lf, E::Crlf, E::None}, {"\n", "x\r\n", "y"}, M::Lf},
        {"an empty first line ending with CR LF decides CR LF",
         "\r\nb\n", M::Auto, {"", "b\n"}, {E::Crlf, E::None}, {"\r\n", "b\n"}, M::Crlf},
        {"without any LF nothing is decided", "one line\r", M::Auto, {"one line\r"}, {E::None},
         {"one line\r"}, M::Auto},
        {"forced CR LF over an LF file", "one\ntwo\r\nthree", M::Crlf, {"one\ntwo", "three"},
         {E::Crlf, E::None}, {"one\ntwo\r\n", "three\r\n"}, M::Crlf},
        {"forced LF over a CR LF file", "one\r\ntwo\nthree\r\n", M::Lf, {"one", "two", "three"},
         {E::Crlf, E::Lf, E::Crlf}, {"one\n", "two\n", "three\n"}, M::Lf},
    };
    for (const Case& c : cases) {
        const std::string file = dir.Write("f.txt", c.bytes);
        const PreviewT p = Preview(file, Settings(true, "1-", false, "", c.mode));
        ASSERT_TRUE(p.ok) << c.what;
        EXPECT_EQ(Inputs(p), c.inputs) << c.what;
        EXPECT_EQ(Ends(p), c.ends) << c.what;
        EXPECT_EQ(Outputs(p), c.outputs) << c.what;
        EXPECT_EQ(p.rule, c.rule) << c.what;
    }
}

TEST(BuildPreview, TheTemplateSeesEachLinesOwnEnd) {
    TempDir dir;
    const std::string lf = dir.Write("lf.txt", "one\ntwo\r\nthree");
    const std::string crlf = dir.Write("crlf.txt", "one\r\ntwo\nthree\r\n");
    struct Case {
        const char* what;
        const std::string& file;
        files::LineEnds mode;
        std::vector<std::string> outputs;
    } cases[] = {
        {"LF file, auto", lf, files::LineEnds::Auto, {"[one]\n", "[two]\r\n", "[three]"}},
        {"CR LF file, auto", crlf, files::LineEnds::Auto, {"[one]\r\n", "[two\nthree]\r\n"}},
        {"LF file, forced CR LF", lf, files::LineEnds::Crlf, {"[one\ntwo]\r\n", "[three]\r\n"}},
        {"CR LF file, forced LF", crlf, files::LineEnds::Lf, {"[one]\n", "[two]\n", "[three]\n"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Outputs(Preview(c.file, Settings(false, "", true, "[{{line}}]{{eol}}", c.mode))), c.outputs)
            << c.what;
}

TEST(BuildPreview, TheDefaultTemplateUnderAutoGivesTheFileBack) {
    TempDir dir;
    const std::string files[] = {"a\r\nb\r\n", "a\nb\n", "a\nb\r\nc", "a\r\nb\nc\r\n\r\n", "", "x"};
    for (const std::string& bytes : files) {
        const std::string file = dir.Write("f.txt", bytes);
        std::string joined;
        for (const std::string& out : Outputs(Preview(file, Settings(false, "", true, kDefaultTemplate))))
            joined += out;
        EXPECT_EQ(joined, bytes) << tmpl::VisibleText(bytes);
    }
}

TEST(BuildPreview, TheMessageSaysWhatAutoDecided) {
    TempDir dir;
    const std::string lf = dir.Write("lf.txt", "a\nb\n");
    const std::string crlf = dir.Write("crlf.txt", "a\r\nb\r\n");
    const std::string none = dir.Write("none.txt", "a");
    struct Case {
        const std::string& file;
        files::LineEnds mode;
        const char* says;  // nullptr: nothing about line ends
    } cases[] = {
        {lf, files::LineEnds::Auto, "lf.txt (UTF-8, lines end at every LF): "},
        {crlf, files::LineEnds::Auto, "crlf.txt (UTF-8, lines end at CR LF): "},
        {none, files::LineEnds::Auto, nullptr},
        // A forced choice is the user's own: nothing to tell.
        {lf, files::LineEnds::Crlf, nullptr},
    };
    for (const Case& c : cases) {
        const PreviewT p = Preview(c.file, Settings(true, "1-", false, "", c.mode));
        if (c.says != nullptr)
            EXPECT_NE(p.message.find(c.says), std::string::npos) << p.message;
        else
            EXPECT_EQ(p.message.find("lines end at"), std::string::npos) << p.message;
    }
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
        {some, Settings(true, "5-9", false, ""), true,
         "some.txt (UTF-8, lines end at CR LF): the interval selects no line"},
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
    const std::string text = NumberedLines(250000);
    ASSERT_GT(static_cast<int64_t>(text.size()), 2 * kPreviewHeadBytes);
    const std::string file = dir.Write("big.txt", text);

    // A forward interval stops reading once its lines are there, after the first block (where the
    // run detects the encoding).
    PreviewT p = Preview(file, Settings(true, "2-4", false, ""));
    EXPECT_EQ(Lines(p), (std::vector<int32_t>{2, 3, 4}));
    EXPECT_FALSE(p.capped);
    EXPECT_EQ(p.bytes_read, kPreviewHeadBytes);

    // Counting from the end beyond the cap counts the whole file: the last line is the file's.
    p = Preview(file, Settings(true, "-1", false, ""), 64);
    EXPECT_FALSE(p.capped);
    EXPECT_TRUE(p.counted);
    EXPECT_EQ(p.line_count, 250000);
    EXPECT_EQ(Lines(p), (std::vector<int32_t>{250000}));
    EXPECT_EQ(Inputs(p), (std::vector<std::string>{"line 250000"}));
    EXPECT_EQ(p.message, "big.txt (UTF-8, lines end at CR LF): the only selected line of its 250000 lines");

    // A forward interval whose lines lie beyond the cap says so.
    p = Preview(file, Settings(true, "100-", false, ""), 64);
    EXPECT_TRUE(p.capped);
    EXPECT_TRUE(p.rows.empty());
    EXPECT_NE(p.message.find("only its first 64 bytes were read"), std::string::npos) << p.message;

    // A file that fits exactly is not capped.
    const std::string exact = dir.Write("exact.txt", NumberedLines(7));
    p = Preview(exact, Settings(true, "-1", false, ""), 63);
    EXPECT_FALSE(p.capped);
    ASSERT_EQ(p.rows.size(), 1u);
    EXPECT_EQ(p.rows[0].input, "line 07");
    EXPECT_EQ(kPreviewByteCap, 16 << 20);
}

// UTF-16 bytes of UTF-8 text (characters of the basic plane only), written by hand so that the
// preview's decoding is not checked against the core's own encoder.
std::string Utf16(std::string_view utf8, bool big_endian) {
    std::string out;
    for (char32_t c : text::ToCodePoints(utf8)) {
        const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
        out += big_endian ? hi : lo;
        out += big_endian ? lo : hi;
    }
    return out;
}

run::RunSettings Encoded(std::string encoding, const char* tmpl = "{{line}}={{line|lengthoftext}}{{eol}}") {
    run::RunSettings s = Settings(false, "", true, tmpl);
    s.Encoding = std::move(encoding);
    return s;
}

TEST(BuildPreview, ReadsEachFileInTheEncodingTheRunWould) {
    TempDir dir;
    const std::string le_bom = "\xFF\xFE" + Utf16("h\xC3\xA9llo\nw\xC3\xB6rld\n", false);
    struct Case {
        const char* what;
        std::string bytes;
        std::string encoding;
        std::string label;
        std::vector<std::string> inputs;
        std::vector<std::string> outputs;  // each line with its length in the run's characters
    } cases[] = {
        {"a UTF-16LE byte order mark is not part of the first line", le_bom, "auto", "UTF-16LE BOM",
         {"h\xC3\xA9llo", "w\xC3\xB6rld"}, {"h\xC3\xA9llo=5\n", "w\xC3\xB6rld=5\n"}},
        {"UTF-16BE with CR LF", "\xFE\xFF" + Utf16("a\r\nb", true), "auto", "UTF-16BE BOM", {"a", "b"},
         {"a=1\r\n", "b=1"}},
        {"not UTF-8 under auto: windows-1252", "caf\xE9\r\nna\xEFve\r\n", "auto", "windows-1252",
         {"caf\xC3\xA9", "na\xC3\xAFve"}, {"caf\xC3\xA9=4\r\n", "na\xC3\xAFve=5\r\n"}},
        {"\x80 is the euro sign in windows-1252", "\x80\n", "auto", "windows-1252", {"\xE2\x82\xAC"},
         {"\xE2\x82\xAC=1\n"}},
        {"UTF-8 with its mark", "\xEF\xBB\xBF\xC3\xA9\n", "auto", "UTF-8 BOM", {"\xC3\xA9"},
         {"\xC3\xA9=1\n"}},
        {"UTF-8 without", "\xC3\xA9\n", "auto", "UTF-8", {"\xC3\xA9"}, {"\xC3\xA9=1\n"}},
        {"a NUL byte under auto: bytes, one byte one character", std::string("a\0b\n\xC3\xA9\n", 7), "auto",
         "bytes", {std::string("a\0b", 3), "\xC3\xA9"}, {std::string("a\0b=3\n", 6), "\xC3\xA9=2\n"}},
        {"Bytes keeps even a byte order mark in the first line", "\xFF\xFEx\r\n\xC3\xA9", "bytes", "bytes",
         {"\xFF\xFEx", "\xC3\xA9"}, {"\xFF\xFEx=3\r\n", "\xC3\xA9=2"}},
        {"a chosen UTF-16LE without a mark", Utf16("ab\n", false), "utf-16le", "UTF-16LE", {"ab"},
         {"ab=2\n"}},
        {"a chosen UTF-16LE takes its mark off", le_bom, "UTF-16 LE", "UTF-16LE BOM",
         {"h\xC3\xA9llo", "w\xC3\xB6rld"}, {"h\xC3\xA9llo=5\n", "w\xC3\xB6rld=5\n"}},
        {"a chosen code page over UTF-8 bytes", "\xC3\xA9\n", "latin1", "iso-8859-1", {"\xC3\x83\xC2\xA9"},
         {"\xC3\x83\xC2\xA9=2\n"}},
        {"a chosen UTF-8 keeps odd bytes as characters of their own", "a\xE9\n", "utf-8", "UTF-8", {"a\xE9"},
         {"a\xE9=2\n"}},
        {"a UTF-16 mark before an unpaired surrogate under auto: bytes, the mark and all",
         std::string("\xFF\xFE" "a\0\x00\xD8\n\0", 8), "auto", "bytes",
         {std::string("\xFF\xFE" "a\0\x00\xD8", 6), std::string(1, '\0')},
         {std::string("\xFF\xFE" "a\0\x00\xD8=6\n", 9), std::string("\0=1", 3)}},
    };
    for (const Case& c : cases) {
        const std::string file = dir.Write("f.txt", c.bytes);
        run::RunSettings s = Encoded(EncodingForText(c.encoding));
        const PreviewT p = Preview(file, s);
        ASSERT_TRUE(p.ok) << c.what << ": " << p.message;
        EXPECT_EQ(p.encoding.Label(), c.label) << c.what;
        EXPECT_EQ(Inputs(p), c.inputs) << c.what;
        EXPECT_EQ(Outputs(p), c.outputs) << c.what;
        EXPECT_NE(p.message.find("f.txt (" + c.label), std::string::npos) << c.what << ": " << p.message;
        // The run's own look at the file names the same encoding.
        const run::RunPlan plan = run::MakeRunPlan(tables::ArrayOfFiles(), tables::ArrayOfFiles(), s, false);
        files::TextFacts facts;
        ASSERT_TRUE(files::ProbeText(file, plan.Encodings, facts)) << c.what;
        EXPECT_EQ(facts.Encoding, c.label) << c.what;
    }
}

TEST(BuildPreview, AFileProvedNotUtf8BeyondTheFirstBlockIsReadAgainAsTheCodePage) {
    TempDir dir;
    // Valid UTF-8 (ASCII) throughout the first block; the last line is not.
    std::string bytes;
    while (static_cast<int64_t>(bytes.size()) <= kPreviewHeadBytes) bytes += "plain line\r\n";
    bytes += "caf\xE9\r\n";
    const std::string file = dir.Write("late.txt", bytes);
    run::RunSettings s = Encoded("auto");
    s.IntervalActive = true;
    s.IntervalText = "-1";
    const PreviewT p = Preview(file, s);
    ASSERT_TRUE(p.ok) << p.message;
    EXPECT_EQ(p.encoding.Label(), "windows-1252");
    EXPECT_EQ(Outputs(p), (std::vector<std::string>{"caf\xC3\xA9=4\r\n"}));
    EXPECT_FALSE(p.capped);
}

// What a run writes for a file: the number and text of each of the first `rows` lines it writes.
using Written = std::vector<std::pair<int64_t, std::string>>;
Written RunWrites(const std::string& file, const run::RunSettings& s, std::size_t rows = kPreviewRows) {
    run::ExpandLinesOptions o;
    o.IntervalActive = s.IntervalActive;
    o.IntervalText = s.IntervalText;
    o.LineEnds = s.LineEnds;
    Written out;
    o.BeforeLine = [&](int64_t number, std::string_view line) {
        if (out.size() < rows) out.emplace_back(number, std::string(line));
    };
    run::StandaloneLineExpander expander;
    std::ostringstream sink;
    EXPECT_TRUE(run::ExpandLinesOfFile(file, sink, o, expander).Ok);
    return out;
}
Written Shown(const PreviewT& p) {
    Written out;
    for (const PreviewRowT& row : p.rows) out.emplace_back(row.line, row.input);
    return out;
}

TEST(BuildPreview, AFileOverTheCapShowsTheLinesARunCountsFromItsEnd) {
    TempDir dir;
    // 8 bytes a line, past the real cap: the head read holds lines 1..2,097,152 only.
    constexpr int kLines = 2'200'000;
    std::string text(static_cast<std::size_t>(kLines) * 8, '\0');
    for (int i = 1; i <= kLines; ++i) std::snprintf(text.data() + (i - 1) * 8, 9, "%07d\n", i);
    ASSERT_GT(static_cast<int64_t>(text.size()), kPreviewByteCap);
    const std::string file = dir.Write("huge.txt", text);
    struct Case {
        const char* interval;
        std::vector<int32_t> lines;
    };
    const Case cases[] = {
        {"-1", {kLines}},
        {"-3-", {kLines - 2, kLines - 1, kLines}},
        {"-3-;5", {kLines - 2, kLines - 1, kLines, 5}},
        {"1--2", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}},
        {"-1--3;2", {kLines, kLines - 1, kLines - 2, 2}},
        // Downward from inside the head to beyond it.
        {"2097153-2097151", {2097153, 2097152, 2097151}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.interval);
        const run::RunSettings s = Settings(true, c.interval, false, "");
        const PreviewT p = Preview(file, s);
        ASSERT_TRUE(p.ok) << p.message;
        EXPECT_EQ(Lines(p), c.lines);
        for (const PreviewRowT& row : p.rows) {
            char want[16];
            std::snprintf(want, sizeof want, "%07d", row.line);
            EXPECT_EQ(row.input, want);
            EXPECT_EQ(row.end, files::LineEnd::Lf);
        }
        EXPECT_EQ(p.line_count, kLines);
    }
    // And the same as a run writes, for the interval that failed before.
    EXPECT_EQ(Shown(Preview(file, Settings(true, "-3-;5", false, ""))),
              RunWrites(file, Settings(true, "-3-;5", false, "")));
}

TEST(BuildPreview, CountsOverTheCapFollowTheFilesRuleAndEncoding) {
    TempDir dir;
    // Lines past 1 MiB apart, so that the remembered line starts are used; a small cap stands for
    // the real one.
    auto lines = [](int count, const std::string& end, const std::string& inner) {
        std::string text;
        for (int i = 1; i <= count; ++i) text += "row " + std::to_string(i) + inner + end;
        return text;
    };
    struct Case {
        const char* name;
        std::string bytes;
        files::LineEnds ends;
    };
    // Under auto the first LF decides: after CR only CR LF ends lines, a lone LF stays inside.
    const std::string crlf = "head\r\n" + lines(80'000, "\r\n", "\nmore") + "tail without end";
    std::string utf16 = "\xFF\xFE" + Utf16(lines(50'000, "\r\n", ""), false);
    const Case cases[] = {
        {"crlf.txt", crlf, files::LineEnds::Auto},
        {"lf.txt", lines(110'000, "\n", "\r"), files::LineEnds::Auto},
        {"forced.txt", crlf, files::LineEnds::Lf},
        {"utf16.txt", utf16, files::LineEnds::Auto},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir.Write(c.name, c.bytes);
        for (const char* interval : {"-1", "-3-", "-3-;5", "1--2", "-2;40000;-1"}) {
            SCOPED_TRACE(interval);
            const run::RunSettings s = Settings(true, interval, false, "", c.ends);
            const PreviewT p = Preview(file, s, 4096);
            ASSERT_TRUE(p.ok) << p.message;
            EXPECT_TRUE(p.counted);
            EXPECT_EQ(Shown(p), RunWrites(file, s));
        }
    }
    // The output follows the line's own end, as in the run.
    const std::string file = dir.Write("ends.txt", crlf);
    const PreviewT p = Preview(file, Settings(true, "-2-", true, "[{{line}}]{{eol}}"), 4096);
    EXPECT_EQ(Outputs(p), (std::vector<std::string>{"[row 80000\nmore]\r\n", "[tail without end]"}));
}

TEST(BuildPreview, AFileTooLargeToCountShowsNoRowsAndSaysWhy) {
    TempDir dir;
    const std::string file = dir.Write("big.txt", NumberedLines(20000));
    PreviewRequestT r;
    r.file = file;
    r.settings = Settings(true, "-1", false, "");
    r.max_bytes = 1024;
    r.max_count_bytes = 64 << 10;
    const PreviewT p = BuildPreview(r);
    EXPECT_TRUE(p.rows.empty());
    EXPECT_EQ(p.message, "big.txt: lines counted from the end of a file over 64 KiB are not previewed");
}

TEST(BuildPreview, ALineLongerThanTheCapIsNotShownHalf) {
    TempDir dir;
    const std::string file = dir.Write("long.txt", "a\n" + std::string(5000, 'x') + "\nb\n");
    // The rows stop there: what follows in the file is not shown without it.
    const PreviewT p = Preview(file, Settings(true, "1;-2;-1", false, ""), 1024);
    EXPECT_EQ(Inputs(p), (std::vector<std::string>{"a"}));
    EXPECT_EQ(p.message, "long.txt: line 2 is longer than 1 KiB and is not previewed");
}

TEST(BuildPreview, BytesBeyondTheCapThatAreNotUtf8ReadTheFileAgainAsTheCodePage) {
    TempDir dir;
    std::string bytes;
    while (bytes.size() < 8192) bytes += "plain line\r\n";
    bytes += "caf\xE9\r\n";
    const std::string file = dir.Write("late.txt", bytes);
    run::RunSettings s = Encoded("auto");
    s.IntervalActive = true;
    s.IntervalText = "-1";
    const PreviewT p = Preview(file, s, 4096);
    ASSERT_TRUE(p.ok) << p.message;
    EXPECT_EQ(p.encoding.Label(), "windows-1252");
    EXPECT_EQ(Outputs(p), (std::vector<std::string>{"caf\xC3\xA9=4\r\n"}));
}

TEST(BuildPreview, BytesThatDoNotDecodeInAChosenEncodingShowTheDecodersError) {
    TempDir dir;
    const std::string surrogate = dir.Write("s.txt", std::string("\xFF\xFE" "a\0\n\0\x00\xD8", 8));
    const std::string sjis = dir.Write("j.txt", "ok\r\n\x81\r\n");
    struct Case {
        const std::string& file;
        const char* encoding;
        std::string says;
    } cases[] = {
        {surrogate, "utf-16le", "s.txt is not UTF-16LE BOM text: "},
        {sjis, "shift_jis", "j.txt is not shift_jis text: "},
    };
    for (const Case& c : cases) {
        PreviewT p = Preview(c.file, Encoded(c.encoding));
        EXPECT_FALSE(p.ok) << c.encoding;
        // Not the lines that decoded before the fault: the run writes nothing of such a file.
        EXPECT_TRUE(p.rows.empty()) << c.encoding;
        EXPECT_EQ(p.message.rfind(c.says, 0), 0u) << p.message;
        EXPECT_GT(p.message.size(), c.says.size()) << "the decoder's own words follow";
        // A copy does not decode: it shows the bytes it copies.
        run::RunSettings copy = Settings(false, "", false, "");
        copy.Encoding = c.encoding;
        p = Preview(c.file, copy);
        EXPECT_TRUE(p.ok) << c.encoding << ": " << p.message;
        EXPECT_FALSE(p.rows.empty()) << c.encoding;
    }
}

TEST(BuildPreview, ACharacterCutByTheCapIsLeftOutNotMisread) {
    TempDir dir;
    struct Case {
        const char* what;
        std::string bytes;
        int64_t cap;
        std::string label;
    } cases[] = {
        // Read as a whole file, the cut "é" would not be UTF-8 and would make it windows-1252.
        {"UTF-8 cut inside a character", "ab\r\n\xC3\xA9\xC3\xA9\r\n", 5, "UTF-8"},
        // Flushed as if the file ended there, the lone byte would fail to decode.
        {"UTF-16LE cut inside a code unit", "\xFF\xFE" + Utf16("ab\r\ncd\r\n", false), 11, "UTF-16LE BOM"},
    };
    for (const Case& c : cases) {
        const std::string file = dir.Write("cut.txt", c.bytes);
        run::RunSettings s = Settings(true, "1-", false, "");
        const PreviewT p = Preview(file, s, c.cap);
        ASSERT_TRUE(p.ok) << c.what << ": " << p.message;
        EXPECT_TRUE(p.capped) << c.what;
        EXPECT_EQ(p.encoding.Label(), c.label) << c.what;
        EXPECT_EQ(Inputs(p), (std::vector<std::string>{"ab"})) << c.what;
    }
}

TEST(DisplayText, ShowsValidUtf8WithControlsAndStrayBytesEscaped) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"plain", "plain"},
        {"h\xC3\xA9", "h\xC3\xA9"},
        {"caf\xE9", "caf\\xE9"},
        {"\xE9\xC3\xA9", "\\xE9\xC3\xA9"},            // a stray byte before a character
        {std::string("a\tb\0\r\n", 6), "a\\tb\\x00\\r\\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DisplayText(c.in), c.out) << tmpl::VisibleText(c.in);
        EXPECT_TRUE(text::IsValidUtf8(DisplayText(c.in)));
    }
}

}  // namespace
}  // namespace rowsmith::gui
