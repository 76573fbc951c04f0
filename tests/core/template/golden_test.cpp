// Every folder of tests/golden is one case: template.txt (exact bytes), input.txt (CR LF lines),
// expected.txt (exact bytes) and an optional interval.txt, run through the same code path as
// `rowsmith-cli expand`.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "run/expand_lines.h"
#include "support/temp_dir.h"
#include "text/utf8.h"

namespace rowsmith {
namespace {

namespace fs = std::filesystem;

std::string Printable(const std::string& s) {
    std::string r;
    for (char c : s) {
        if (c == '\r')
            r += "\\r";
        else if (c == '\n')
            r += "\\n";
        else
            r += c;
    }
    return r;
}

TEST(Golden, EveryCaseExpandsToItsExpectedBytes) {
    const fs::path root = fs::path(testing::SourceDir()) / "tests" / "golden";
    ASSERT_TRUE(fs::is_directory(root)) << root << " (set ROWSMITH_SOURCE_DIR)";
    std::vector<fs::path> cases;
    for (const auto& entry : fs::directory_iterator(root))
        if (entry.is_directory()) cases.push_back(entry.path());
    std::sort(cases.begin(), cases.end());
    EXPECT_GE(cases.size(), 40u);
    // The cases hold the format's exact behaviour: one byte one character.
    text::CharModelScope bytes(text::CharModel::Bytes);
    for (const fs::path& dir : cases) {
        SCOPED_TRACE(dir.filename().string());
        run::ExpandLinesOptions options;
        options.TemplateText = testing::ReadFile((dir / "template.txt").string());
        if (fs::exists(dir / "interval.txt")) {
            std::string interval = testing::ReadFile((dir / "interval.txt").string());
            while (!interval.empty() && (interval.back() == '\n' || interval.back() == '\r'))
                interval.pop_back();
            options.IntervalActive = true;
            options.IntervalText = interval;
        }
        std::istringstream in(testing::ReadFile((dir / "input.txt").string()));
        std::ostringstream out;
        run::StandaloneLineExpander expander;
        const run::ExpandLinesResult r = run::ExpandLines(in, out, options, expander);
        EXPECT_TRUE(r.Ok);
        const std::string expected = testing::ReadFile((dir / "expected.txt").string());
        EXPECT_EQ(Printable(out.str()), Printable(expected));
    }
}

}  // namespace
}  // namespace rowsmith
