// The swapping update feeds the record per item without copying the detail; what it shows and
// when must be what the copying update shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/fake_gauge.h"
#include "text/form_gauge.h"

namespace rowsmith::text {
namespace {

using rowsmith::testing::FakeGaugeClock;
using rowsmith::testing::FakeGaugeFactory;

struct Fed {
    FakeGaugeClock clock;
    FakeGaugeFactory factory;
    TFormGauge gauge;
    Fed(GaugeUse use, int64_t count) {
        gauge.clock = &clock;
        gauge.views = &factory;
        ApplyGaugeSettings(gauge, use, count);
    }
};

TEST(GaugeSwap, ShowsWhatTheCopyingUpdateShows) {
    const struct {
        GaugeUse use;
        int64_t count;
        int ms_per_item;  // clock steps, so that both the count and the time rules fire
    } cases[] = {
        {GaugeUse::Writing, 10000, 0},  // count rule only: every 500
        {GaugeUse::Writing, 3000, 1},   // both rules
        {GaugeUse::Copying, 50, 40},    // time rule
        {GaugeUse::Writing, 0, 3},      // empty count: 100 %
    };
    for (const auto& c : cases) {
        Fed copying(c.use, c.count), swapping(c.use, c.count);
        std::string last_copy, last_swap;  // the previous item's text, as the run feeds it
        const int64_t items = c.count > 0 ? c.count : 20;
        for (int64_t k = 1; k <= items; ++k) {
            copying.clock.now = swapping.clock.now = k * c.ms_per_item;
            // The caption changes once half-way, the detail with every item.
            const std::string caption = k < items / 2 ? "Writing:/a/b.txt" : "Writing:/a/c.txt";
            copying.gauge.UpdateFraction(caption, last_copy, k, c.count);
            swapping.gauge.UpdateFractionSwap(caption, last_swap, k, c.count);
            last_copy = "/line/" + std::to_string(k) + "\r\n";
            last_swap = last_copy;  // the caller overwrites the buffer it got back
        }
        EXPECT_EQ(swapping.gauge.detail, copying.gauge.detail);
        EXPECT_EQ(swapping.gauge.caption, copying.gauge.caption);
        EXPECT_EQ(swapping.gauge.update_count, copying.gauge.update_count);
        copying.gauge.Finish();
        swapping.gauge.Finish();
        const auto& a = copying.factory.log.paints;
        const auto& b = swapping.factory.log.paints;
        ASSERT_EQ(a.size(), b.size()) << static_cast<int>(c.use) << " " << c.count;
        ASSERT_FALSE(a.empty());
        for (std::size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i].caption, b[i].caption) << i;
            EXPECT_EQ(a[i].detail, b[i].detail) << i;
            EXPECT_EQ(a[i].percentage, b[i].percentage) << i;
            EXPECT_EQ(a[i].update_count, b[i].update_count) << i;
            EXPECT_EQ(a[i].elapsed_ms, b[i].elapsed_ms) << i;
        }
    }
}

// Feeding through a GaugeBatch stands for feeding each item: with the clock still (the count rule
// alone), the paints are the very same; with the clock moving, every paint shows the item it was
// fed at and its share, and time paints come at most a batch late.
TEST(GaugeSwap, BatchedFeedingShowsWhatFeedingEachItemShows) {
    const struct {
        GaugeUse use;
        int64_t count;
        int ms_per_item;
    } cases[] = {
        {GaugeUse::Writing, 10000, 0},  // count rule every 500: the batch must stop exactly there
        {GaugeUse::Writing, 60000, 0},  // count rule every 1,800
        {GaugeUse::Writing, 700, 0},    // fewer items than a batch beyond the first repaint
        {GaugeUse::Reading, 5000, 1},   // first-show delay and time rule only
        {GaugeUse::Writing, 3000, 1},   // both rules
    };
    for (const auto& c : cases) {
        Fed each(c.use, c.count), batched(c.use, c.count);
        GaugeBatch batch;
        std::string detail_each, detail_batched;
        for (int64_t k = 1; k <= c.count; ++k) {
            each.clock.now = batched.clock.now = k * c.ms_per_item;
            const std::string line = "/line/" + std::to_string(k);
            each.gauge.UpdateFraction("Writing:x", line, k, c.count);
            if (batch.Count() || k == c.count) {
                detail_batched = line;
                batched.gauge.UpdateFractionSwap("Writing:x", detail_batched, k, c.count, batch.Pending());
                batch.Fed(batched.gauge);
            }
        }
        EXPECT_EQ(batched.gauge.update_count, each.gauge.update_count);
        each.gauge.Finish();
        batched.gauge.Finish();
        const auto& a = each.factory.log.paints;
        const auto& b = batched.factory.log.paints;
        ASSERT_FALSE(b.empty());
        if (c.ms_per_item == 0) {
            ASSERT_EQ(a.size(), b.size()) << c.count;
            for (std::size_t i = 0; i < a.size(); ++i) {
                EXPECT_EQ(a[i].update_count, b[i].update_count) << c.count << " paint " << i;
                EXPECT_EQ(a[i].detail, b[i].detail) << c.count << " paint " << i;
                EXPECT_EQ(a[i].percentage, b[i].percentage) << c.count << " paint " << i;
            }
            continue;
        }
        for (std::size_t i = 0; i + 1 < b.size(); ++i) {
            const int64_t k = b[i].update_count;
            EXPECT_EQ(b[i].detail, "/line/" + std::to_string(k)) << i;
            EXPECT_EQ(b[i].percentage, static_cast<int>(k * 100 / c.count)) << i;
        }
        // The first time paint of the batched record is at most a batch after the first one of the other.
        ASSERT_GE(a.size(), 2u);
        EXPECT_LT(b.front().update_count, a.front().update_count + kProgressBatch);
    }
}

// The record remembers a percentage for the numerators that share it; every order of feeding must
// still give trunc(numerator / denominator x 100), clamped to 0..100.
TEST(GaugeSwap, RememberedPercentagesEqualTheDivision) {
    auto expected = [](int64_t n, int64_t d) {
        if (d == 0) return 100;
        const double p = std::trunc(static_cast<double>(n) / static_cast<double>(d) * 100);
        return static_cast<int>(std::clamp(p, 0.0, 100.0));
    };
    TFormGauge gauge;  // no views: only the stored percentage matters
    std::string detail;
    const int64_t denominators[] = {1, 3, 7, 99, 100, 101, 333, 1000, 4099, 2147483647, int64_t{1} << 53, -7, 0};
    for (const int64_t d : denominators) {
        std::vector<int64_t> numerators;
        const int64_t span = std::min<int64_t>(std::llabs(d) + 3, 5000);
        for (int64_t n = -2; n <= span; ++n) numerators.push_back(n);          // rising
        for (int64_t n = span; n >= -2; n -= 3) numerators.push_back(n);      // falling
        for (int64_t k = 0; k < 400; ++k) numerators.push_back((k * 7919) % (span + 5) - 2);  // jumping
        if (std::llabs(d) > 5000) {
            const int64_t big = std::llabs(d);
            for (int64_t n = big - 3000; n <= big + 2; ++n) numerators.push_back(n);  // near the end
            for (int64_t q = 1; q < 100; ++q) {
                const int64_t at = big / 100 * q;
                for (int64_t n = at - 2; n <= at + 2; ++n) numerators.push_back(n);  // around each percent
            }
        }
        for (const int64_t n : numerators) {
            gauge.UpdateFraction("c", "d", n, d);
            ASSERT_EQ(gauge.percentage, expected(n, d)) << n << " / " << d;
            gauge.UpdateFractionSwap("c", detail, n, d);
            ASSERT_EQ(gauge.percentage, expected(n, d)) << n << " / " << d;
        }
    }
}

}  // namespace
}  // namespace rowsmith::text
