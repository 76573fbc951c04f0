// A counted file's lines, read again where they lie, are the lines the reader gives one after another:
// the same count, texts, ends, rule and encoding, and the same failures, whatever the encoding, the
// line ends and where the marks fall.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/line_index.h"
#include "files/text_file.h"
#include "support/temp_dir.h"

namespace rowsmith::files {
namespace {

using testing::TempDir;
using testing::WriteFile;

struct Lines {
    std::vector<std::string> texts;
    std::vector<LineEnd> ends;
    LineEnds rule = LineEnds::Auto;
    std::string encoding;
    bool ok = false;
    std::string decode_error;
};

EncodingChoice Choice(const std::string& name) {
    EncodingChoice c;
    if (name == "auto") {
        c.Detect = true;
    } else {
        std::string error;
        EXPECT_TRUE(text::ParseEncodingName(name, c.Fixed, error)) << error;
    }
    return c;
}

// The reader's lines, one after another (a guess proven wrong read again, as the run does).
// A reader as the run sets it up, opened on the file.
bool OpenReader(TReadTextFile& reader, const std::string& path, const EncodingChoice& choice, LineEnds ends) {
    reader.Ends = ends;
    reader.Encodings = choice;
    reader.MayReread = true;
    return reader.Open(path);
}

Lines ByReading(const std::string& path, const EncodingChoice& choice, LineEnds ends) {
    Lines r;
    TReadTextFile reader;
    if (!OpenReader(reader, path, choice, ends)) return r;
    std::string_view line;
    do {
        r.texts.clear();
        r.ends.clear();
        while (reader.ReadLineView(line)) {
            r.texts.emplace_back(line);
            r.ends.push_back(reader.LastEnd());
        }
    } while (reader.WrongGuess() && reader.Reread());
    r.rule = reader.Rule();
    r.encoding = reader.FileEncoding().Label();
    r.decode_error = reader.DecodeError();
    r.ok = reader.Close();
    return r;
}

// Counted first, then every line read by number: downward, so that each block is read for its last
// line and then served, then forward.
Lines ByIndex(const std::string& path, const EncodingChoice& choice, LineEnds ends, bool forward) {
    Lines r;
    TReadTextFile reader;
    if (!OpenReader(reader, path, choice, ends)) return r;
    LineIndex index;
    bool counted = false;
    for (;;) {
        if (!text::LineFeedsAreUnits(reader.FileEncoding())) ADD_FAILURE() << "not countable: " << path;
        if ((counted = reader.CountLines(index))) break;
        if (!reader.WrongGuess() || !reader.Reread()) break;
    }
    r.rule = reader.Rule();
    r.encoding = reader.FileEncoding().Label();
    r.decode_error = reader.DecodeError();
    if (counted) {
        EXPECT_EQ(index.Lines, reader.LinesRead);
        IndexedLines lines(reader.Source(), reader.FileEncoding(), index);
        r.texts.resize(static_cast<std::size_t>(index.Lines));
        r.ends.resize(static_cast<std::size_t>(index.Lines));
        for (int64_t k = 0; k < index.Lines; ++k) {
            const int64_t n = forward ? k + 1 : index.Lines - k;
            std::string_view line;
            LineEnd end = LineEnd::None;
            EXPECT_TRUE(lines.Get(n, line, end)) << n;
            r.texts[static_cast<std::size_t>(n - 1)] = std::string(line);
            r.ends[static_cast<std::size_t>(n - 1)] = end;
        }
    }
    r.ok = reader.Close() && counted;
    return r;
}

std::string Utf16(std::string_view ascii, bool big) {
    std::string out = big ? "\xFE\xFF" : "\xFF\xFE";
    for (const char c : ascii) {
        out += big ? '\0' : c;
        out += big ? c : '\0';
    }
    return out;
}

std::string ManyLines(int n, std::string_view eol) {
    std::string s;
    for (int i = 1; i <= n; ++i) s += "line " + std::to_string(i) + std::string(eol);
    return s;
}

TEST(LineIndex, CountedLinesReadWhereTheyLieAreTheLinesRead) {
    struct Case {
        const char* what;
        std::string bytes;
        const char* encoding;
        LineEnds ends;
        const char* label;  // the encoding the file ends up read in
        bool ok;
    };
    const std::string long_line(int64_t{1} << 20 | 70000, 'x');
    const std::string ascii_head = ManyLines(120000, "\r\n");  // well over the first 1 MiB block
    const std::vector<Case> cases = {
        {"empty", "", "auto", LineEnds::Auto, "UTF-8", true},
        {"one line without an end", "a", "auto", LineEnds::Auto, "UTF-8", true},
        {"one line with an end", "a\r\n", "auto", LineEnds::Auto, "UTF-8", true},
        {"two CR LF lines, the last without", "a\r\nb", "auto", LineEnds::Auto, "UTF-8", true},
        {"LF lines", "a\nb\n\nc\n", "auto", LineEnds::Auto, "UTF-8", true},
        {"mixed, CR LF first, auto", "a\r\nb\nc\r\nd", "auto", LineEnds::Auto, "UTF-8", true},
        {"mixed, LF first, auto", "a\nb\r\nc\rd\n", "auto", LineEnds::Auto, "UTF-8", true},
        {"mixed under crlf", "a\nb\r\nc\r\n", "auto", LineEnds::Crlf, "UTF-8", true},
        {"mixed under lf", "a\r\nb\nc\r\n", "auto", LineEnds::Lf, "UTF-8", true},
        {"only CRs", "a\rb\r", "auto", LineEnds::Auto, "UTF-8", true},
        {"many lines over many marks", ManyLines(60000, "\r\n"), "auto", LineEnds::Auto, "UTF-8", true},
        {"a line longer than a block", "a\r\n" + long_line + "\r\nb\r\n" + long_line, "auto", LineEnds::Auto,
         "UTF-8", true},
        {"UTF-8 with a mark", "\xEF\xBB\xBF" "\xC3\xA9\r\nb", "auto", LineEnds::Auto, "UTF-8 BOM", true},
        {"UTF-16LE with a mark", Utf16("one\r\ntwo\nthree\r\n\r\nfour", false), "auto", LineEnds::Auto,
         "UTF-16LE BOM", true},
        {"UTF-16BE with a mark", Utf16("one\ntwo\r\nthree", true), "auto", LineEnds::Auto, "UTF-16BE BOM", true},
        {"UTF-16LE over many marks", Utf16(ManyLines(20000, "\r\n"), false), "auto", LineEnds::Auto,
         "UTF-16LE BOM", true},
        {"a UTF-8 guess proven wrong after the first block", ascii_head + "caf\xE9\r\nend", "auto",
         LineEnds::Auto, "windows-1252", true},
        {"a cut character at the end proves the guess wrong", ascii_head + "x\xC3", "auto", LineEnds::Auto,
         "windows-1252", true},
        {"a code page", "caf\xE9\r\n\xE0 la\r\n", "windows-1252", LineEnds::Auto, "windows-1252", true},
        {"bytes", std::string("a\0b\r\n\xFF\r\n", 8), "bytes", LineEnds::Auto, "bytes", true},
        {"undecodable in a named code page", ascii_head + "\xD2\r\n", "windows-1253", LineEnds::Auto,
         "windows-1253", false},
        {"undecodable UTF-16 named", Utf16("ab\r\n", false) + std::string("\x00\xD8", 2), "utf-16le", LineEnds::Auto,
         "UTF-16LE BOM", false},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string path = dir / "f.txt";
        WriteFile(path, c.bytes);
        const EncodingChoice choice = Choice(c.encoding);
        const Lines want = ByReading(path, choice, c.ends);
        EXPECT_EQ(want.ok, c.ok) << c.what;
        EXPECT_EQ(want.encoding, c.label) << c.what;
        for (const bool forward : {false, true}) {
            const Lines got = ByIndex(path, choice, c.ends, forward);
            EXPECT_EQ(got.ok, want.ok) << c.what;
            EXPECT_EQ(got.encoding, want.encoding) << c.what;
            EXPECT_EQ(got.decode_error, want.decode_error) << c.what;
            if (!want.ok) continue;
            EXPECT_EQ(got.rule, want.rule) << c.what;
            ASSERT_EQ(got.texts.size(), want.texts.size()) << c.what;
            for (std::size_t i = 0; i < want.texts.size(); ++i) {
                EXPECT_EQ(got.texts[i], want.texts[i]) << c.what << " line " << i + 1;
                EXPECT_EQ(got.ends[i], want.ends[i]) << c.what << " line " << i + 1;
            }
        }
    }
}

// Marks lie at line starts about MarkBytes apart, whatever the unit width: each block read alone
// holds exactly the lines counted in it.
TEST(LineIndex, MarksAreLineStartsAndBlocksHoldTheirLines) {
    struct Case {
        const char* what;
        std::string bytes;
        text::Encoding encoding;
        int64_t lines;
    };
    const text::Encoding utf8{text::EncodingKind::Utf8, false, {}};
    const text::Encoding utf16be{text::EncodingKind::Utf16BE, true, {}};
    const std::vector<Case> cases = {
        {"UTF-8", ManyLines(500, "\r\n") + "tail", utf8, 501},
        {"UTF-16BE", Utf16(ManyLines(300, "\n"), true), utf16be, 300},
        {"one long line", std::string(5000, 'y'), utf8, 1},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteFile(dir / "f", c.bytes);
        fs::File file;
        fs::PathFacts facts;
        ASSERT_TRUE(file.OpenSource(dir / "f", facts));
        LineCountOptions o;
        o.MarkBytes = 37;
        o.Check = CountCheck::Decode;
        LineIndex index;
        CountLines(file, c.encoding, LineEnds::Auto, o, index);
        ASSERT_TRUE(index.Complete()) << c.what << index.DecodeError;
        EXPECT_EQ(index.Lines, c.lines) << c.what;
        EXPECT_EQ(index.End, static_cast<int64_t>(c.bytes.size())) << c.what;
        ASSERT_FALSE(index.Marks.empty());
        EXPECT_EQ(index.Marks[0].at, static_cast<int64_t>(text::BomBytes(c.encoding).size()));
        for (std::size_t k = 1; k < index.Marks.size(); ++k) {
            EXPECT_GT(index.Marks[k].line, index.Marks[k - 1].line) << c.what;
            EXPECT_GE(index.Marks[k].at - index.Marks[k - 1].at, 37) << c.what;
        }
        // Every line, in an order that jumps between blocks.
        IndexedLines lines(file, c.encoding, index);
        std::string_view line;
        LineEnd end;
        for (int64_t n = 1; n <= c.lines; n += 7) EXPECT_TRUE(lines.Get(n, line, end)) << c.what << n;
        for (int64_t n = c.lines; n >= 1; n -= 3) EXPECT_TRUE(lines.Get(n, line, end)) << c.what << n;
        EXPECT_FALSE(lines.Get(c.lines + 1, line, end));
        EXPECT_FALSE(lines.Get(0, line, end));
    }
}

TEST(LineIndex, ABlockThatNoLongerHoldsItsLinesFails) {
    TempDir dir;
    WriteFile(dir / "f", ManyLines(100, "\n"));
    fs::File file;
    fs::PathFacts facts;
    ASSERT_TRUE(file.OpenSource(dir / "f", facts));
    LineCountOptions o;
    o.MarkBytes = 50;
    LineIndex index;
    CountLines(file, {text::EncodingKind::Bytes, false, {}}, LineEnds::Auto, o, index);
    ASSERT_EQ(index.Lines, 100);
    WriteFile(dir / "f", ManyLines(100, "\r\n"));  // the same file, rewritten in place with other ends
    IndexedLines lines(file, {text::EncodingKind::Bytes, false, {}}, index);
    std::string_view line;
    LineEnd end;
    bool all = true;
    for (int64_t n = 1; n <= 100; ++n) all = all && lines.Get(n, line, end);
    EXPECT_FALSE(all);
}

TEST(LineIndex, WhichEncodingsKeepTheirLineFeedsAsUnits) {
    struct Case {
        const char* name;
        bool units;
    };
    const Case cases[] = {{"utf-8", true},   {"utf-16le", true},    {"utf-32be", true}, {"bytes", true},
                          {"windows-1252", true}, {"koi8-r", true}, {"shift_jis", false}, {"ibm037", false}};
    for (const Case& c : cases) {
        text::Encoding e;
        std::string error;
        ASSERT_TRUE(text::ParseEncodingName(c.name, e, error)) << c.name << error;
        EXPECT_EQ(text::LineFeedsAreUnits(e), c.units) << c.name;
    }
}

}  // namespace
}  // namespace rowsmith::files
