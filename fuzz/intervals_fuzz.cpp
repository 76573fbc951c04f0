// Interval iterator: InitLoop/NextInLoop over random highs (including 0 and 2147483647), the table-bound
// loop, and CharsByIntervals. Every produced number must lie in 1..high (and be an included row).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "text/intervals.h"

namespace {

using rowsmith::text::LoopT;

// Enough numbers to walk through every piece of a short text, few enough to stay fast on "1-".
constexpr std::size_t kMaxPulls = 20000;

class FakeRows : public rowsmith::text::IntervalRows {
  public:
    FakeRows(int32_t rows, uint8_t pattern) : rows_(rows), pattern_(pattern) {}
    int32_t IntervalRowCount() const override { return rows_; }
    bool IntervalRowIncluded(int32_t row) const override { return (pattern_ >> (row % 8)) & 1; }

  private:
    int32_t rows_;
    uint8_t pattern_;
};

int32_t ChooseHigh(uint8_t selector, uint32_t v) {
    switch (selector % 8) {
        case 0:
            return 0;
        case 1:
            return 2147483647;
        case 2:
            return 2147483646;
        case 3:
            return static_cast<int32_t>(v % 16);
        case 4:
            return static_cast<int32_t>(v % 1000);
        case 5:
            return static_cast<int32_t>(v & 0x7fffffff);
        case 6:
            return 1;
        default:
            return 3;
    }
}

// Pulls numbers and checks the lookahead contract: IsLast is set exactly when no number follows.
std::vector<int32_t> Pull(LoopT& loop, int32_t high, const FakeRows* rows) {
    std::vector<int32_t> out;
    bool expect_more = loop.HasNext != 0;
    while (out.size() < kMaxPulls) {
        const bool got = NextInLoop(loop);
        FUZZ_CHECK(got == expect_more);
        if (!got) break;
        FUZZ_CHECK(loop.Current >= 1 && loop.Current <= high);
        if (rows) FUZZ_CHECK(rows->IntervalRowIncluded(loop.Current));
        out.push_back(loop.Current);
        expect_more = loop.IsLast == 0;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    rowsmith::fuzz::FuzzInput in(data, size);
    const uint8_t selector = in.Byte();
    const uint32_t value = in.Word32();
    const uint8_t options = in.Byte();
    const uint8_t pattern = in.Byte();
    const std::string_view intervals = in.Text();
    const std::string_view text = in.Text();

    int32_t high = ChooseHigh(selector, value);
    const int32_t low = (options & 3) == 3 ? 0 : 1;
    LoopT loop;
    std::unique_ptr<FakeRows> rows;
    if (options & 4) {
        high %= 300;
        rows = std::make_unique<FakeRows>(high, pattern);
        StartLoopOnTable(loop, intervals, rows.get());
        RestartLoop(loop);
    } else {
        InitLoop(loop, intervals, low, high);
    }
    const std::vector<int32_t> first = Pull(loop, high, rows.get());
    // A restart replays the same numbers.
    RestartLoop(loop);
    FUZZ_CHECK(Pull(loop, high, rows.get()) == first);

    const std::string chars = rowsmith::text::CharsByIntervals(text, intervals);
    if (intervals.empty()) FUZZ_CHECK(chars == text);
    return 0;
}
