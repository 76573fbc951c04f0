// Intervals that look back count the file first and read each selected line where it lies; what
// they write, and every row's report, must be what keeping the whole text wrote: the same bytes, line
// numbers, line ends, encodings and skips.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/file_list.h"
#include "files/scan.h"
#include "run/expand_lines.h"
#include "run/processing_run.h"
#include "support/file_lists.h"
#include "support/fake_gauge.h"
#include "support/temp_dir.h"

namespace rowsmith::run {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

struct Outcome {
    std::vector<RowReport> rows;
    std::vector<std::string> outputs;
};

Outcome RunAll(const std::string& src, const std::string& dst, const std::vector<std::string>& names,
               const RunSettings& s, bool whole_text, bool views) {
    tables::ArrayOfFiles list;
    testing::PopulateList(list, src, dst);
    tables::ArrayOfFiles buffer;
    StandaloneLineExpander expander;
    testing::FakeGaugeFactory fake;
    RunHooks hooks;
    hooks.KeepWholeText = whole_text;
    hooks.HeldFileBytes = 0;  // the test files are small: every one that is not empty is indexed
    if (views) hooks.Views = &fake;
    Outcome o;
    hooks.OnRow = [&](const RowReport& r) { o.rows.push_back(r); };
    RunFiles(list, buffer, &expander, s, hooks);
    for (const std::string& name : names)
        o.outputs.push_back(testing::Exists(dst + "/" + name) ? ReadFile(dst + "/" + name) : std::string("<none>"));
    return o;
}

std::string Utf16LE(std::string_view ascii) {
    std::string out = "\xFF\xFE";
    for (const char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

TEST(IndexedLines, EveryLookBackIntervalWritesWhatKeepingTheTextWrote) {
    std::string many;
    for (int i = 1; i <= 40000; ++i) many += "row " + std::to_string(i) + (i % 7 ? "\r\n" : "\n");
    const std::string long_line(int64_t{1} << 20 | 5000, 'L');
    const struct {
        const char* name;
        std::string bytes;
    } files[] = {
        {"empty.txt", ""},
        {"one.txt", "only"},
        {"one_ended.txt", "only\r\n"},
        {"two.txt", "first\r\nsecond"},
        {"lf.txt", "a\nb\r\nc\n"},
        {"mixed.txt", "a\r\nb\nc\r\nd\r\n"},
        {"many.txt", many},
        {"long.txt", "x\r\n" + long_line + "\r\ny\r\n" + long_line},
        {"utf16.txt", Utf16LE("one\r\ntwo\r\nthree\r\nfour\r\nfive")},
        {"wrong_guess.txt", many + "caf\xE9\r\nlast"},
        {"cyrillic.txt", "\xD0\x9F\xD1\x80\xD0\xB8\r\n\xD0\xB2\xD0\xB5\xD1\x82\r\nend\r\n"},
    };
    std::vector<std::string> names;
    TempDir dir;
    for (const auto& f : files) {
        WriteFile(dir / ("src/" + std::string(f.name)), f.bytes);
        names.push_back(f.name);
    }
    const char* const intervals[] = {"-1", "-3-", "1--2", "5-3", "-1;1", "2;2;2", "-2-1", "-40000-39990"};
    struct Variant {
        const char* what;
        const char* templ;
        files::LineEnds ends;
        const char* output_encoding;
    };
    const Variant variants[] = {
        {"untemplated", nullptr, files::LineEnds::Auto, "same"},
        {"eol and a counter", "{{|inc:n}}{{n}}:[{{line}}]{{eol}}", files::LineEnds::Auto, "same"},
        {"forced crlf", "{{line}}{{eol}}", files::LineEnds::Crlf, "same"},
        {"forced lf", nullptr, files::LineEnds::Lf, "same"},
        // A character the output cannot hold skips the row, naming the line's number in the file.
        {"latin1 output", "{{line}}{{eol}}", files::LineEnds::Auto, "iso-8859-1"},
    };
    int run = 0;
    for (const Variant& v : variants) {
        for (const char* interval : intervals) {
            RunSettings s;
            s.IntervalActive = true;
            s.IntervalText = interval;
            s.LineEnds = v.ends;
            s.OutputEncoding = v.output_encoding;
            if (v.templ) {
                s.TemplateActive = true;
                s.TemplateText = v.templ;
            }
            const bool views = run % 2 == 1;
            const std::string n = std::to_string(run++);
            const Outcome want = RunAll(dir / "src", dir / ("kept" + n), names, s, true, views);
            const Outcome got = RunAll(dir / "src", dir / ("indexed" + n), names, s, false, views);
            const std::string what = std::string(v.what) + ", interval " + interval;
            ASSERT_EQ(got.rows.size(), want.rows.size()) << what;
            for (std::size_t i = 0; i < want.rows.size(); ++i) {
                EXPECT_EQ(got.rows[i].Outcome, want.rows[i].Outcome) << what << " row " << i;
                EXPECT_EQ(got.rows[i].Reason, want.rows[i].Reason) << what << " row " << i;
                EXPECT_EQ(got.rows[i].Lines, want.rows[i].Lines) << what << " row " << i;
                EXPECT_EQ(got.rows[i].Encoding, want.rows[i].Encoding) << what << " row " << i;
                EXPECT_EQ(got.rows[i].LineEnds, want.rows[i].LineEnds) << what << " row " << i;
            }
            for (std::size_t i = 0; i < names.size(); ++i)
                EXPECT_EQ(got.outputs[i], want.outputs[i]) << what << " " << names[i];
        }
    }
}

// A source that does not read or decode to its end is skipped with the same reason either way, and
// its destination keeps what it had.
TEST(IndexedLines, SourcesThatDoNotDecodeAreSkippedAsBefore) {
    struct Case {
        const char* what;
        std::string bytes;
        const char* encoding;
    };
    std::string head;
    for (int i = 0; i < 100000; ++i) head += "ascii line\r\n";
    const Case cases[] = {
        {"a named code page with an undefined byte late", head + "\xD2\r\n", "windows-1253"},
        {"named UTF-16 with an unpaired surrogate", Utf16LE("ab\r\ncd") + std::string("\x00\xD8", 2), "utf-16le"},
        {"a wrong guess read again in a multi-byte code page", head + "\xE9", "auto"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteFile(dir / "src/a.txt", c.bytes);
        WriteFile(dir / "kept/a.txt", "old");
        WriteFile(dir / "indexed/a.txt", "old");
        RunSettings s;
        s.IntervalActive = true;
        s.IntervalText = "-1";
        s.Encoding = c.encoding;
        if (std::string(c.encoding) == "auto") s.LegacyEncoding = "shift_jis";
        const Outcome want = RunAll(dir / "src", dir / "kept", {"a.txt"}, s, true, false);
        const Outcome got = RunAll(dir / "src", dir / "indexed", {"a.txt"}, s, false, false);
        ASSERT_EQ(want.rows.size(), 1u);
        ASSERT_EQ(got.rows.size(), 1u);
        EXPECT_EQ(got.rows[0].Outcome, want.rows[0].Outcome) << c.what;
        EXPECT_EQ(got.rows[0].Reason, want.rows[0].Reason) << c.what;
        EXPECT_EQ(got.outputs, want.outputs) << c.what;
    }
}

}  // namespace
}  // namespace rowsmith::run
