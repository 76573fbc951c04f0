// With a progress view, a file is streamed when its interval needs no look-back and kept otherwise.
// The writing record shows the line written last and the written share: of the lines when they are
// kept, of the source's bytes when streamed (the line count is not known before the end). Repaints by
// time depend on the machine's speed, so every paint is checked against what its update count
// implies rather than the paints being counted.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/file_list.h"
#include "files/scan.h"
#include "run/expand_lines.h"
#include "run/processing_run.h"
#include "support/fake_gauge.h"
#include "support/temp_dir.h"

namespace rowsmith::run {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(ProgressPaths, WritingRecordShowsThePreviousLineAndItsShareOfTheCount) {
    constexpr int kLines = 10000;
    std::string text;
    std::vector<int64_t> bytes_through(kLines + 1, 0);
    for (int i = 1; i <= kLines; ++i) {
        text += "line " + std::to_string(i) + "\r\n";
        bytes_through[i] = static_cast<int64_t>(text.size());
    }
    // "1-" streams; "-10000-" (from the 10,000th line from the end) takes the same lines but looks back.
    for (const char* interval : {"1-", "-10000-"}) {
        const bool streamed = std::string(interval) == "1-";
        TempDir dir;
        WriteFile(dir / "src/a.txt", text);
        tables::ArrayOfFiles list;
        files::InitFileList(list);
        list.SourceRoot = dir / "src";
        list.DestinationRoot = dir / "dst";
        list.ScanFilter = files::MakeMaskFilter("*.*");
        files::Populate(list, dir / "src");
        tables::ArrayOfFiles buffer;
        StandaloneLineExpander expander;
        testing::FakeGaugeFactory views;
        RunHooks hooks;
        hooks.Views = &views;
        RunSettings s;
        s.IntervalActive = true;
        s.IntervalText = interval;
        const RunSummary summary = RunFiles(list, buffer, &expander, s, hooks);
        ASSERT_EQ(summary.Rewritten, 1) << interval;
        EXPECT_EQ(ReadFile(dir / "dst/a.txt"), text) << interval;

        int writing = 0;
        const text::GaugePaint* last = nullptr;
        for (const text::GaugePaint& p : views.log.paints) {
            if (p.caption.rfind("Writing:", 0) != 0) {
                EXPECT_EQ(p.caption.rfind("Reading:", 0), 0u) << p.caption;
                EXPECT_EQ(writing, 0) << "the reading record shows before the writing one";
                continue;
            }
            ++writing;
            last = &p;
            EXPECT_EQ(p.caption, "Writing:" + (dir / "dst/a.txt")) << interval;
            if (p.percentage == 100 && p.update_count == 0) continue;  // the closing paint
            const int64_t k = p.update_count;
            ASSERT_GE(k, 1);
            ASSERT_LE(k, kLines);
            const int64_t share = streamed ? bytes_through[k] * 100 / static_cast<int64_t>(text.size()) : k * 100 / kLines;
            EXPECT_EQ(p.percentage, static_cast<int>(share)) << interval << " update " << k;
            EXPECT_EQ(p.detail, "line " + std::to_string(k) + "\r\n") << interval << " update " << k;
            if (writing == 1) { EXPECT_EQ(k, 1) << "the first line shows at once"; }
        }
        ASSERT_GE(writing, kLines / 500) << interval;  // the count rule alone gives one per 500
        ASSERT_NE(last, nullptr);
        EXPECT_EQ(last->percentage, 100);
        // Finish paints what the last update stored: the last line.
        EXPECT_EQ(last->detail, "line " + std::to_string(kLines) + "\r\n") << interval;
    }
}

}  // namespace
}  // namespace rowsmith::run
