// The run reads each file in its own encoding and with its own line ends, and writes it back the same
// way: what the template did not change comes out byte for byte, whatever the file's encoding.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "files/file_list.h"
#include "files/paths.h"
#include "files/scan.h"
#include "run/expand_lines.h"
#include "run/processing_run.h"
#include "support/file_lists.h"
#include "support/fake_gauge.h"
#include "support/temp_dir.h"
#include "text/encoding.h"

namespace rowsmith::run {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::TreeSnapshot;
using testing::WriteFile;

struct Outcome {
    RunSummary summary;
    std::vector<RowReport> rows;
};

Outcome RunTree(const std::string& src, const std::string& dst, const RunSettings& settings,
                LineExpander* expander, text::GaugeViewFactory* views = nullptr) {
    tables::ArrayOfFiles list;
    testing::PopulateList(list, src, dst, "*");
    tables::ArrayOfFiles buffer;
    Outcome out;
    RunHooks hooks;
    hooks.Views = views;
    hooks.OnRow = [&](const RowReport& rep) { out.rows.push_back(rep); };
    out.summary = RunFiles(list, buffer, expander, settings, hooks);
    return out;
}

RunSettings Rewrite(const char* interval, const char* templ = nullptr) {
    RunSettings s;
    s.IntervalActive = true;
    s.IntervalText = interval;
    if (templ) {
        s.TemplateActive = true;
        s.TemplateText = templ;
    }
    return s;
}

std::string Encoded(std::string_view utf8, const char* name, bool bom) {
    text::Encoding e;
    std::string error, bytes;
    EXPECT_TRUE(text::ParseEncodingName(name, e, error)) << error;
    e.Bom = bom;
    EXPECT_TRUE(text::EncodeText(utf8, e, bytes, error)) << error;
    return std::string(text::BomBytes(e)) + bytes;
}

// Files of every kind the detection tells apart; under auto the identity rewrite gives each back.
std::vector<std::pair<std::string, std::string>> Corpus() {
    const std::string text = "Gr\xC3\xBC\xC3\x9F" "e\r\nline\nlone\rcr\r\n\xE2\x82\xAC and \xD0\xB6\r\nlast";
    std::vector<std::pair<std::string, std::string>> files = {
        {"utf8.txt", text},
        {"utf8-lf.txt", "a\nb\r\nc\n\xC3\xA9"},
        {"utf8-bom.txt", "\xEF\xBB\xBF" + text},
        {"empty.txt", ""},
        {"ascii-no-end.txt", "no end"},
    };
    for (const char* name : {"utf-16le", "utf-16be", "utf-32le", "utf-32be"}) {
        files.push_back({std::string(name) + "-bom.txt", Encoded(text, name, true)});
    }
    // Every byte value but NUL: not UTF-8, so the legacy code page (which maps each of them); its
    // first line end is the lone LF of byte 10.
    std::string legacy;
    for (int b = 1; b < 256; ++b) {
        legacy += static_cast<char>(b);
        if (b % 16 == 0) legacy += "\r\n";
    }
    files.push_back({"cp1252.txt", legacy});
    // With NUL bytes: not text, read as bytes.
    std::string binary;
    for (int b = 0; b < 256; ++b) binary += static_cast<char>(b);
    files.push_back({"binary.dat", binary + "\r\n" + binary});
    return files;
}

TEST(TextModel, AutoRewritesEveryEncodingByteForByte) {
    TempDir dir;
    const auto corpus = Corpus();
    for (const auto& [name, bytes] : corpus) WriteFile(dir / ("src/" + name), bytes);
    struct Way {
        const char* what;
        RunSettings settings;
        bool views;
    };
    const std::vector<Way> ways = {
        {"interval 1-, streamed", Rewrite("1-"), false},
        {"interval from the end, kept", Rewrite("-2147483647-"), false},
        {"loaded with progress", Rewrite("-2147483647-"), true},
        {"default template", Rewrite("1-", "{{originalline}}{{eol}}"), false},
        {"template without interval", Rewrite("", "{{line}}{{eol}}"), false},
    };
    int n = 0;
    for (const Way& way : ways) {
        const std::string dst = dir / ("out" + std::to_string(n++));
        StandaloneLineExpander expander;
        testing::FakeGaugeFactory views;
        const Outcome out = RunTree(dir / "src", dst, way.settings, &expander, way.views ? &views : nullptr);
        EXPECT_EQ(out.summary.Skipped, 0) << way.what;
        for (const auto& [name, bytes] : corpus) EXPECT_EQ(ReadFile(dst + "/" + name), bytes) << way.what << ": " << name;
    }
}

TEST(TextModel, EachFileTellsHowItWasRead) {
    TempDir dir;
    for (const auto& [name, bytes] : Corpus()) WriteFile(dir / ("src/" + name), bytes);
    StandaloneLineExpander expander;
    const Outcome out = RunTree(dir / "src", dir / "dst", Rewrite("1-"), &expander);
    std::map<std::string, std::string> seen;
    for (const RowReport& r : out.rows) seen[files::NamePart(r.Source)] = r.Encoding + " " + r.LineEnds;
    const std::map<std::string, std::string> expected = {
        {"ascii-no-end.txt", "UTF-8 none"},    {"binary.dat", "bytes LF"},
        {"cp1252.txt", "windows-1252 LF"},   {"empty.txt", "UTF-8 none"},
        {"utf-16be-bom.txt", "UTF-16BE BOM CRLF"}, {"utf-16le-bom.txt", "UTF-16LE BOM CRLF"},
        {"utf-32be-bom.txt", "UTF-32BE BOM CRLF"}, {"utf-32le-bom.txt", "UTF-32LE BOM CRLF"},
        {"utf8-bom.txt", "UTF-8 BOM CRLF"},    {"utf8-lf.txt", "UTF-8 LF"},
        {"utf8.txt", "UTF-8 CRLF"},
    };
    EXPECT_EQ(seen, expected);
}

// Characters are code points in every encoding: the same template gives the same text, written back
// in each file's own encoding.
TEST(TextModel, TemplatesSeeCharactersWhateverTheEncoding) {
    TempDir dir;
    const std::string text = "Stra\xC3\x9F" "e \xC3\xA9t\xC3\xA9\r\n";
    WriteFile(dir / "src/u8.txt", text);
    WriteFile(dir / "src/u16.txt", Encoded(text, "utf-16le", true));
    WriteFile(dir / "src/latin.txt", Encoded(text, "windows-1252", false));
    StandaloneLineExpander expander;
    RunTree(dir / "src", dir / "dst", Rewrite("", "{{line|caseupper}}|{{line|1-6}}|{{line|reverse}}{{eol}}"), &expander);
    const std::string want = "STRASSE \xC3\x89T\xC3\x89|Stra\xC3\x9F" "e|\xC3\xA9t\xC3\xA9 e\xC3\x9F" "artS\r\n";
    EXPECT_EQ(ReadFile(dir / "dst/u8.txt"), want);
    EXPECT_EQ(ReadFile(dir / "dst/u16.txt"), Encoded(want, "utf-16le", true));
    EXPECT_EQ(ReadFile(dir / "dst/latin.txt"), Encoded(want, "windows-1252", false));
    // Read as bytes, a character is a byte: the cut takes six bytes and the case tables see bytes.
    RunSettings bytes = Rewrite("", "{{line|1-6}}{{eol}}");
    bytes.Encoding = "bytes";
    RunTree(dir / "src", dir / "bytes", bytes, &expander);
    EXPECT_EQ(ReadFile(dir / "bytes/u8.txt"), "Stra\xC3\x9F\r\n");
}

// A character the output encoding cannot hold skips the row; what the destination had stays.
TEST(TextModel, UnwritableCharactersSkipTheRowAndKeepTheDestination) {
    TempDir dir;
    WriteFile(dir / "src/k.txt", Encoded("\xD0\x9F\xD1\x80\xD0\xB8\r\n", "koi8-r", false));
    WriteFile(dir / "dst/k.txt", "old");
    struct Case {
        const char* templ;
        const char* output;
        const char* reason;  // empty: written
    };
    const std::vector<Case> cases = {
        {"{{line}}\xE2\x82\xAC{{eol}}", "same", "line 1: the character \"\xE2\x82\xAC\" (U+20AC) cannot be written in koi8-r"},
        {"{{line}}{{eol}}", "latin1", "line 1: the character \"\xD0\x9F\" (U+041F) cannot be written in iso-8859-1"},
        {"{{line}}{{eol}}", "utf-8", ""},
    };
    for (const Case& c : cases) {
        RunSettings s = Rewrite("", c.templ);
        s.LegacyEncoding = "koi8-r";
        s.OutputEncoding = c.output;
        StandaloneLineExpander expander;
        const Outcome out = RunTree(dir / "src", dir / "dst", s, &expander);
        ASSERT_EQ(out.rows.size(), 1u);
        if (*c.reason) {
            EXPECT_EQ(out.rows[0].Outcome, RowOutcome::Skipped) << c.templ;
            EXPECT_EQ(out.rows[0].Reason.rfind(c.reason, 0), 0u) << out.rows[0].Reason;
            EXPECT_EQ(ReadFile(dir / "dst/k.txt"), "old");
            EXPECT_EQ(TreeSnapshot(dir / "dst").size(), 1u);  // no temporary file either
        } else {
            EXPECT_EQ(out.rows[0].Outcome, RowOutcome::Rewritten);
            EXPECT_EQ(ReadFile(dir / "dst/k.txt"), "\xD0\x9F\xD1\x80\xD0\xB8\r\n");
        }
    }
}

// Bytes that are not the encoding named are a reason to skip, never a half-converted file.
TEST(TextModel, BytesThatAreNotTheNamedEncodingSkipTheRow) {
    TempDir dir;
    WriteFile(dir / "src/a.txt", "ok\r\n\xFF\xFE\xFD\r\n");
    RunSettings s = Rewrite("1-");
    s.Encoding = "utf-16le";  // an odd number of bytes cannot be UTF-16
    StandaloneLineExpander expander;
    Outcome out = RunTree(dir / "src", dir / "dst", s, &expander);
    ASSERT_EQ(out.rows.size(), 1u);
    EXPECT_EQ(out.rows[0].Outcome, RowOutcome::Skipped);
    EXPECT_EQ(out.rows[0].Reason.rfind("the source is not UTF-16LE text: ", 0), 0u) << out.rows[0].Reason;
    EXPECT_TRUE(TreeSnapshot(dir / "dst").empty());
    s.Encoding = "klingon";
    out = RunTree(dir / "src", dir / "dst", s, &expander);
    ASSERT_EQ(out.rows.size(), 1u);
    EXPECT_NE(out.rows[0].Reason.find("klingon"), std::string::npos) << out.rows[0].Reason;
}

// A large file whose first block is UTF-8 but whose later bytes are not is read again, whole, as the
// legacy code page, and the template's counters carry on as if it had been read once.
TEST(TextModel, AFileThatProvesNotToBeUtf8IsReadAgainWhole) {
    TempDir dir;
    std::string text = "\xC3\xA9t\xC3\xA9\n";  // valid UTF-8 first
    for (int i = 0; i < 150000; ++i) text += "ascii line " + std::to_string(i) + "\n";
    text += "caf\xE9\n";  // a Latin-1 byte, well past the first block
    WriteFile(dir / "src/late.txt", text);
    WriteFile(dir / "src/next.txt", "x\n");
    for (const char* interval : {"", "1-", "-2147483647-"}) {
        StandaloneLineExpander expander;
        RunSettings s = Rewrite(interval, "{{|inc:n}}{{n}} {{line|caseupper}}{{eol}}");
        const std::string dst = dir / ("dst" + std::to_string(std::string(interval).size()));
        const Outcome out = RunTree(dir / "src", dst, s, &expander);
        ASSERT_EQ(out.rows.size(), 2u);
        EXPECT_EQ(out.rows[0].Encoding, "windows-1252") << interval;
        const std::string got = ReadFile(dst + "/late.txt");
        // Read as windows-1252, the first line is "Ã©tÃ©", upper-cased "Ã©TÃ©", written back in it.
        EXPECT_EQ(got.substr(0, 10), "1 \xC3\xA9T\xC3\xA9\n2 ") << interval;
        EXPECT_EQ(got.substr(got.size() - 12), "150002 CAF\xC9\n") << interval;
        // The next file's counter follows the last line of the file read again.
        EXPECT_EQ(ReadFile(dst + "/next.txt"), "150003 X\n") << interval;
    }
}

}  // namespace
}  // namespace rowsmith::run
