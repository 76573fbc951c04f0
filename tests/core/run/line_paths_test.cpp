// The processing run reads a file's lines in one of three ways: streamed to the writer, kept compactly
// for intervals that look back, or loaded into the line buffer (when progress is shown or the buffer
// filters lines). Whatever way is taken, every destination must hold the same bytes.

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

// Lists src and runs the settings over it into dst; returns the bytes of dst/name.
std::string RunOne(const std::string& src, const std::string& dst, const RunSettings& settings,
                   text::GaugeViewFactory* views, const std::function<void(tables::ArrayOfFiles&)>& buffer_setup = {},
                   const std::string& name = "a.txt") {
    tables::ArrayOfFiles list;
    testing::PopulateList(list, src, dst);
    tables::ArrayOfFiles buffer;
    if (buffer_setup) buffer_setup(buffer);
    StandaloneLineExpander expander;
    RunHooks hooks;
    hooks.Views = views;
    const RunSummary summary = RunFiles(list, buffer, &expander, settings, hooks);
    EXPECT_EQ(summary.Skipped, 0);
    EXPECT_EQ(buffer.RowCount, 0);
    return ReadFile(dst + "/" + name);
}

TEST(LinePaths, EveryIntervalGivesTheSameBytesWithAndWithoutProgress) {
    // CR LF lines, an empty one, a lone LF inside a line, and a last line without a terminator.
    const std::string text = "one\r\ntwo\r\n\r\nfour\nstill four\r\nfive\r\nsix\r\nseven";
    const char* const intervals[] = {"",      "1-",     "3-5",     "2",        "-1",      "-3-",      "1--2",
                                     "5-3",   "0-3",    "4-99",    "3-4;6-",   "2;2",     "6-;1",     "x",
                                     "1-2;4", ";;-2;;", "2147483647", "-2147483647", "1-99999999999999999999"};
    for (const bool templ : {false, true}) {
        for (const files::LineEnds ends : {files::LineEnds::Crlf, files::LineEnds::Lf, files::LineEnds::Auto}) {
            for (const char* interval : intervals) {
                TempDir dir;
                WriteFile(dir / "src/a.txt", text);
                RunSettings s;
                s.IntervalActive = true;
                s.IntervalText = interval;
                s.LineEnds = ends;
                if (templ) {
                    s.TemplateActive = true;
                    s.TemplateText = "[{{line}}]{{|inc:n}}{{n}}{{lf}}";
                }
                testing::FakeGaugeFactory views;
                const std::string shown = RunOne(dir / "src", dir / "shown", s, &views);
                const std::string quiet = RunOne(dir / "src", dir / "quiet", s, nullptr);
                EXPECT_EQ(quiet, shown) << "interval '" << interval << "' template " << templ << " ends " << files::LineEndsWord(ends);
            }
        }
    }
}

// Under auto the identity template and an interval that keeps every line give every file back byte
// for byte, whatever its line ends, along every way of reading its lines.
TEST(LinePaths, AutoLineEndsRoundTripEveryFile) {
    const std::string pieces[] = {"x", "yz", "\r\n", "\n", "\r", "\r\r\n", "\n\n", "\xC3\xA9", std::string(1, '\0')};
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
    TempDir dir;
    std::vector<std::string> corpus = {"", "\n", "\r\n", "a", "a\r", "a\nb\r\nc", "a\r\nb\nc\r\n"};
    while (corpus.size() < 60) {
        std::string text;
        for (uint32_t k = next() % 12; k > 0; --k) text += pieces[next() % std::size(pieces)];
        corpus.push_back(text);
    }
    for (std::size_t i = 0; i < corpus.size(); ++i) WriteFile(dir / ("src/f" + std::to_string(i) + ".txt"), corpus[i]);
    struct Way {
        const char* what;
        const char* interval;
        bool views;
        const char* templ;
    };
    const Way ways[] = {{"streamed", "1-", false, nullptr},
                        {"kept", "-2147483647-", false, nullptr},
                        {"loaded with progress", "-2147483647-", true, nullptr},
                        {"streamed, default template", "1-", false, "{{originalline}}{{eol}}"},
                        {"kept, default template", "-2147483647-", false, "{{originalline}}{{eol}}"}};
    int n = 0;
    for (const Way& way : ways) {
        RunSettings s;
        s.IntervalActive = true;
        s.IntervalText = way.interval;
        if (way.templ) {
            s.TemplateActive = true;
            s.TemplateText = way.templ;
        }
        testing::FakeGaugeFactory views;
        const std::string out = dir / ("out" + std::to_string(n++));
        for (std::size_t i = 0; i < corpus.size(); ++i) {
            const std::string name = "f" + std::to_string(i) + ".txt";
            EXPECT_EQ(RunOne(dir / "src", out, s, way.views ? &views : nullptr, {}, name), corpus[i])
                << way.what << ", file " << i;
        }
    }
}

TEST(LinePaths, ALineBufferThatFiltersLinesIsHonoured) {
    TempDir dir;
    WriteFile(dir / "src/a.txt", "a\r\n\r\n  \r\nb\r\na\r\nc\r\n");
    RunSettings s;
    s.IntervalActive = true;
    s.IntervalText = "2-";
    const std::string all = RunOne(dir / "src", dir / "all", s, nullptr);
    EXPECT_EQ(all, "\r\n  \r\nb\r\na\r\nc\r\n");
    // Without empty and blank lines, line 2 is "b".
    const std::string filtered = RunOne(dir / "src", dir / "filtered", s, nullptr, [](tables::ArrayOfFiles& b) {
        b.KeepEmptyLines = 0;
        b.KeepBlankLines = 0;
    });
    EXPECT_EQ(filtered, "b\r\na\r\nc\r\n");
}

TEST(LinePaths, LargeFilesStreamAndLookBackAlike) {
    // Enough lines to cross the reader's blocks several times.
    std::string text;
    for (int i = 1; i <= 200000; ++i) text += "line " + std::to_string(i) + "\r\n";
    TempDir dir;
    WriteFile(dir / "src/a.txt", text);
    struct Case {
        const char* interval;
        std::string expected;
    } cases[] = {
        {"1-", text},
        {"199999-", "line 199999\r\nline 200000\r\n"},
        {"-2-", "line 199999\r\nline 200000\r\n"},
        {"200000-199999", "line 200000\r\nline 199999\r\n"},
    };
    for (const Case& c : cases) {
        RunSettings s;
        s.IntervalActive = true;
        s.IntervalText = c.interval;
        const std::string out = RunOne(dir / "src", dir / ("out" + std::to_string(&c - cases)), s, nullptr);
        EXPECT_EQ(out.size(), c.expected.size()) << c.interval;
        EXPECT_TRUE(out == c.expected) << c.interval;
    }
}

}  // namespace
}  // namespace rowsmith::run
