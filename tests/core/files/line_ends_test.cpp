#include "files/line_ends.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace rowsmith::files {
namespace {

// The line ends of a text the way the lines are split one by one (ForEachLine): where each whole
// line ends, through its LF.
std::vector<std::size_t> EndsOneByOne(std::string_view text, bool split_all) {
    std::vector<std::size_t> ends;
    ForEachLine(text, split_all ? LineEnds::Lf : LineEnds::Crlf, [&](std::string_view line, LineEnd e) {
        if (e != LineEnd::None)
            ends.push_back(static_cast<std::size_t>(line.data() - text.data()) + line.size() + LineEndText(e).size());
        return true;
    });
    return ends;
}

// The block search (32 bytes at a time) must find exactly the ends the line-by-line split finds,
// at every alignment and across the block edges, for both rules: texts of CR, LF and letters with
// CR LF pairs cut by the 32-byte edges, runs of empty lines, lone CRs and lone LFs.
TEST(LineEnds, BlockSearchesFindTheEndsOfTheLineByLineSplit) {
    std::mt19937 random(20261209);
    std::vector<std::string> texts = {"", "\n", "\r\n", "\r", "a", "\n\n\n", "\r\r\n\n", std::string(31, 'x') + "\r\n",
                                      std::string(32, 'x') + "\n", std::string(31, 'x') + "\r" + "\n" + "y"};
    const char alphabet[] = {'a', 'b', '\r', '\n'};
    for (int k = 0; k < 400; ++k) {
        std::string t(static_cast<std::size_t>(random() % 200), 'a');
        for (char& c : t) c = alphabet[random() % 4];
        texts.push_back(t);
    }
    for (const std::string& t : texts) {
        for (const bool split_all : {false, true}) {
            const std::vector<std::size_t> ends = EndsOneByOne(t, split_all);
            // The count from every start the callers use: a start after a CR pairs it with an LF there.
            for (std::size_t from = 0; from <= std::min<std::size_t>(t.size(), 40); ++from) {
                // The callers' promise: no LF before `from` ends a line (they searched there already).
                if (!ends.empty() && ends.front() - 1 < from) break;
                WholeLines want;
                if (!ends.empty()) {
                    want.Lines = static_cast<int64_t>(ends.size());
                    want.Bytes = ends.back();
                }
                const WholeLines got = CountWholeLines(t, split_all, from);
                EXPECT_EQ(got.Lines, want.Lines) << "from " << from << " split_all " << split_all;
                EXPECT_EQ(got.Bytes, want.Bytes) << "from " << from << " split_all " << split_all;
            }
            // At most n lines: cut right after the n-th end, or all of them when there are fewer.
            for (int64_t n = 0; n <= static_cast<int64_t>(ends.size()) + 1; ++n) {
                const std::size_t have = std::min<std::size_t>(static_cast<std::size_t>(n), ends.size());
                const WholeLines got = CountWholeLines(t, split_all, 0, n);
                EXPECT_EQ(got.Lines, static_cast<int64_t>(have)) << "n " << n << " split_all " << split_all;
                EXPECT_EQ(got.Bytes, have == 0 ? 0 : ends[have - 1]) << "n " << n << " split_all " << split_all;
            }
        }
    }
}

}  // namespace
}  // namespace rowsmith::files
