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

// Expands one case under a text model; false when the case could not be read.
std::string ExpandCase(const fs::path& dir, text::CharModel model, files::LineEnds ends) {
    text::CharModelScope scope(model);
    run::ExpandLinesOptions options;
    options.LineEnds = ends;
    options.TemplateText = testing::ReadFile((dir / "template.txt").string());
    if (fs::exists(dir / "interval.txt")) {
        std::string interval = testing::ReadFile((dir / "interval.txt").string());
        while (!interval.empty() && (interval.back() == '\n' || interval.back() == '\r')) interval.pop_back();
        options.IntervalActive = true;
        options.IntervalText = interval;
    }
    std::istringstream in(testing::ReadFile((dir / "input.txt").string()));
    std::ostringstream out;
    run::StandaloneLineExpander expander;
    const run::ExpandLinesResult r = run::ExpandLines(in, out, options, expander);
    EXPECT_TRUE(r.Ok);
    return out.str();
}

// Whether the default text model (UTF-8 characters, line ends per input) must give the format's
// result too: ASCII texts whose input ends its first line with CR LF (or never ends one).
bool SameUnderTheDefaultModel(const fs::path& dir) {
    const std::string input = testing::ReadFile((dir / "input.txt").string());
    const std::size_t lf = input.find('\n');
    if (lf != std::string::npos && (lf == 0 || input[lf - 1] != '\r')) return false;
    for (const char* name : {"template.txt", "input.txt", "expected.txt"})
        if (!text::IsAscii(testing::ReadFile((dir / name).string()))) return false;
    return true;
}

TEST(Golden, EveryCaseExpandsToItsExpectedBytes) {
    const fs::path root = fs::path(testing::SourceDir()) / "tests" / "golden";
    ASSERT_TRUE(fs::is_directory(root)) << root << " (set ROWSMITH_SOURCE_DIR)";
    std::vector<fs::path> cases;
    for (const auto& entry : fs::directory_iterator(root))
        if (entry.is_directory()) cases.push_back(entry.path());
    std::sort(cases.begin(), cases.end());
    EXPECT_GE(cases.size(), 40u);
    int under_default = 0;
    for (const fs::path& dir : cases) {
        SCOPED_TRACE(dir.filename().string());
        const std::string expected = testing::ReadFile((dir / "expected.txt").string());
        // The format's exact model: one byte one character, lines end at CR LF.
        EXPECT_EQ(Printable(ExpandCase(dir, text::CharModel::Bytes, files::LineEnds::Crlf)), Printable(expected));
        // The default model; a case may hold its own expectation for it.
        const fs::path own = dir / "expected.default.txt";
        if (fs::exists(own) || SameUnderTheDefaultModel(dir)) {
            ++under_default;
            const std::string want = fs::exists(own) ? testing::ReadFile(own.string()) : expected;
            EXPECT_EQ(Printable(ExpandCase(dir, text::CharModel::Utf8, files::LineEnds::Auto)), Printable(want))
                << "default model";
        }
    }
    EXPECT_GE(under_default, 30);
}

}  // namespace
}  // namespace rowsmith
