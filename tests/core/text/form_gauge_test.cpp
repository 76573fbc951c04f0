#include "text/form_gauge.h"

#include <gtest/gtest.h>

#include "support/fake_gauge.h"
#include "text/colours.h"

namespace rowsmith::text {
namespace {

using rowsmith::testing::FakeGaugeClock;
using rowsmith::testing::FakeGaugeFactory;
using rowsmith::testing::FakeGaugeView;

struct GaugeFixture : ::testing::Test {
    FakeGaugeClock clock;
    FakeGaugeFactory factory;
    TFormGauge gauge;
    GaugeFixture() {
        gauge.clock = &clock;
        gauge.views = &factory;
    }
    int Paints() const { return static_cast<int>(factory.log.paints.size()); }
    const GaugePaint& LastPaint() const { return factory.log.paints.back(); }
};

TEST_F(GaugeFixture, ResetGivesTheDefaults) {
    EXPECT_EQ(gauge.refresh_interval, 250);
    EXPECT_EQ(gauge.refresh_every, 0);
    EXPECT_EQ(gauge.base_colour, 0xE89868);
    EXPECT_EQ(gauge.light_colour, LightenColor(0xE89868, 4));
    EXPECT_EQ(gauge.background_colour, 0xFFFFFF);
    EXPECT_EQ(gauge.label_placement, 3);
    EXPECT_TRUE(gauge.show_detail && gauge.keep_label_inside && gauge.gradient_on);
    EXPECT_FALSE(gauge.close_at_100 || gauge.full_width_panel || gauge.label_follows_height);
    gauge.refresh_every = 7;
    gauge.Reset();
    EXPECT_EQ(gauge.refresh_every, 0);
    EXPECT_EQ(gauge.clock, &clock);  // wiring survives
    EXPECT_EQ(gauge.views, &factory);
}

TEST_F(GaugeFixture, RefreshRateFromCount) {
    const struct {
        int64_t lines;
        int32_t every;
    } cases[] = {{0, 500}, {10000, 500}, {16600, 501}, {100000, 3003}};
    for (const auto& c : cases) {
        gauge.SetRefreshRateFromCount(c.lines);
        EXPECT_EQ(gauge.refresh_every, c.every) << c.lines;
    }
}

TEST_F(GaugeFixture, ReaderFinishingWithinTheDelayNeverShows) {
    ApplyGaugeSettings(gauge, GaugeUse::Reading);
    for (int i = 0; i < 1000; ++i) {
        clock.now = i * 299 / 999;
        gauge.UpdateFraction("Reading:", "/data/in.txt", i, 1000);
    }
    gauge.Finish();
    EXPECT_EQ(Paints(), 0);
    EXPECT_EQ(factory.log.created, 1);
    EXPECT_EQ(factory.log.released, 1);
}

TEST_F(GaugeFixture, ReaderShowsAfterTheDelayThenByInterval) {
    ApplyGaugeSettings(gauge, GaugeUse::Reading);
    for (int t = 0; t <= 400; ++t) {
        clock.now = 1000 + t;  // the clock's origin does not matter
        gauge.Update("Reading:", "", t / 4);
    }
    ASSERT_EQ(Paints(), 2);
    EXPECT_EQ(factory.log.paints[0].elapsed_ms, 300);
    EXPECT_EQ(factory.log.paints[1].elapsed_ms, 400);
    gauge.Finish();  // visible: one last paint at 100 %
    ASSERT_EQ(Paints(), 3);
    EXPECT_EQ(LastPaint().percentage, 100);
    EXPECT_EQ(factory.log.released, 1);
}

// 10,000 lines written quickly: only the count rate (every 500) repaints, plus the very first update.
TEST_F(GaugeFixture, FastWriteRepaintsByCount) {
    ApplyGaugeSettings(gauge, GaugeUse::Writing, 10000);
    ASSERT_EQ(gauge.refresh_every, 500);
    std::vector<int64_t> painted_at;
    for (int i = 1; i <= 10000; ++i) {
        clock.now = (i - 1) / 100;  // 100 ms in all
        const std::size_t before = factory.log.paints.size();
        gauge.UpdateFraction("Writing:", "out.txt", i, 10000);
        if (factory.log.paints.size() != before) painted_at.push_back(i);
    }
    ASSERT_EQ(painted_at.size(), 20u);
    EXPECT_EQ(painted_at[0], 1);
    for (std::size_t k = 1; k < painted_at.size(); ++k) EXPECT_EQ(painted_at[k] - painted_at[k - 1], 500);
}

// The same file written slowly: the 250 ms interval repaints long before 500 updates accumulate.
TEST_F(GaugeFixture, SlowWriteRepaintsByInterval) {
    ApplyGaugeSettings(gauge, GaugeUse::Writing, 10000);
    int paints_before = 0;
    std::vector<int64_t> painted_at;
    for (int i = 1; i <= 10000; ++i) {
        clock.now = (i - 1) * 10;
        gauge.UpdateFraction("Writing:", "out.txt", i, 10000);
        if (Paints() != paints_before) painted_at.push_back(clock.now);
        paints_before = Paints();
    }
    ASSERT_EQ(painted_at.size(), 400u);
    for (std::size_t k = 1; k < painted_at.size(); ++k) EXPECT_EQ(painted_at[k] - painted_at[k - 1], 250);
}

TEST_F(GaugeFixture, SortWaitsForTheDelayThenCounts) {
    ApplyGaugeSettings(gauge, GaugeUse::Sorting);
    for (int i = 0; i < 5000; ++i) {
        clock.now = i / 10;  // 500 ms
        gauge.Update("Sorting...", "", 10);
    }
    EXPECT_EQ(Paints(), 0);
    clock.now = 1000;
    gauge.Update("Sorting...", "", 20);
    EXPECT_EQ(Paints(), 1);
    for (int i = 0; i < 999; ++i) gauge.Update("Sorting...", "", 30);
    EXPECT_EQ(Paints(), 1);
    gauge.Update("Sorting...", "", 40);
    EXPECT_EQ(Paints(), 2);
}

TEST_F(GaugeFixture, WithoutRatesEveryUpdateRepaints) {
    gauge.refresh_interval = 0;
    for (int i = 0; i < 3; ++i) gauge.Update("c", "d", i);
    EXPECT_EQ(Paints(), 3);
    EXPECT_EQ(factory.log.events, 3);                    // every repaint lets events run
    EXPECT_EQ(LastPaint().status_elapsed, "0:0:00:00");  // timing never started
}

TEST_F(GaugeFixture, StatusTextsAndEstimate) {
    gauge.refresh_interval = 1;
    gauge.Update("Copying Files...", "", 0);
    EXPECT_EQ(LastPaint().status_eta, "ETA: 0:0:00:00");  // one whole day; days are not shown
    EXPECT_EQ(LastPaint().eta_ms, 86400000);
    EXPECT_EQ(LastPaint().status_count, "1");
    clock.now = 3000;
    gauge.Update("Copying Files...", "", 25);
    EXPECT_EQ(LastPaint().status_elapsed, "0:0:00:03");
    EXPECT_EQ(LastPaint().status_eta, "ETA: 0:0:00:09");
    EXPECT_EQ(LastPaint().status_count, "2");
    clock.now = 3723000;
    gauge.Update("Copying Files...", "", 50);
    EXPECT_EQ(LastPaint().status_elapsed, "0:1:02:03");
}

TEST_F(GaugeFixture, FractionsAndKeptTexts) {
    gauge.refresh_interval = 0;
    gauge.UpdateFraction("a", "b", 5, 0);
    EXPECT_EQ(gauge.percentage, 100);
    gauge.UpdateFraction("a", "b", 2, 3);
    EXPECT_EQ(gauge.percentage, 66);
    gauge.UpdatePercentage(70);
    EXPECT_EQ(LastPaint().caption, "a");
    EXPECT_EQ(LastPaint().detail, "b");
    gauge.UpdateCaption("c", 80);
    EXPECT_EQ(LastPaint().caption, "c");
    EXPECT_EQ(LastPaint().detail, "b");
    EXPECT_EQ(LastPaint().percent_text, "80%");
}

TEST(Gauge, FinishWithoutViewOnlyResetsCounters) {
    FakeGaugeClock clock;
    TFormGauge gauge;
    gauge.clock = &clock;
    for (int i = 0; i < 10; ++i) gauge.Update("Copying Files...", "x", 40);
    EXPECT_EQ(gauge.update_count, 10);
    EXPECT_TRUE(gauge.timing_started);
    EXPECT_TRUE(gauge.dirty);
    gauge.Finish();
    EXPECT_EQ(gauge.update_count, 0);
    EXPECT_EQ(gauge.updates_since_refresh, 0);
    EXPECT_FALSE(gauge.timing_started);
    EXPECT_FALSE(gauge.dirty);
    EXPECT_EQ(gauge.percentage, 40);
    EXPECT_EQ(gauge.caption, "Copying Files...");
    // Timing starts again with the next update.
    clock.now = 5000;
    gauge.Update("again", "", 1);
    EXPECT_EQ(gauge.start_ms, 5000);
}

TEST_F(GaugeFixture, FinishReleasesTheViewAndTheNextUpdateMakesANewOne) {
    gauge.Update("c", "", 30);
    ASSERT_EQ(Paints(), 1);
    static_cast<FakeGaugeView*>(gauge.View())->Close();
    gauge.Finish();  // hidden: no final paint
    EXPECT_EQ(Paints(), 1);
    EXPECT_EQ(gauge.View(), nullptr);
    gauge.Update("c", "", 30);
    EXPECT_EQ(factory.log.created, 2);
}

TEST_F(GaugeFixture, CloseAt100Finishes) {
    gauge.close_at_100 = true;
    gauge.Update("c", "", 50);
    clock.now = 1000;
    gauge.Update("c", "", 100);
    EXPECT_EQ(Paints(), 2);
    EXPECT_EQ(LastPaint().percentage, 100);
    EXPECT_EQ(factory.log.released, 1);
    EXPECT_EQ(gauge.update_count, 0);
}

TEST_F(GaugeFixture, ResizeRepaintsOnlyShownValues) {
    gauge.first_show_delay = 100;
    gauge.Update("c", "", 10);
    auto* view = static_cast<FakeGaugeView*>(gauge.View());
    view->Resize();
    EXPECT_EQ(Paints(), 0);
    clock.now = 100;
    gauge.Update("c", "", 20);
    ASSERT_EQ(Paints(), 1);
    TFormGauge moved = std::move(gauge);  // the view's hook follows the record
    view->Resize();
    EXPECT_EQ(Paints(), 2);
    EXPECT_EQ(factory.log.events, 1);  // a resize paints without pumping events again
}

TEST(Gauge, PaintGeometryAndLabel) {
    TFormGauge gauge;
    const auto label = [](std::string_view t) { return static_cast<int>(t.size()) * 10; };
    gauge.percentage = 50;
    GaugePaint p = gauge.ComputePaint(400, 0, label);
    EXPECT_EQ(p.filled_width, 202);
    EXPECT_EQ(p.panel_width, 204);
    EXPECT_EQ(p.label_left, 202 - 30 - 2);  // right-aligned inside the bar's end
    gauge.full_width_panel = true;
    EXPECT_EQ(gauge.ComputePaint(400, 0, label).panel_width, 404);

    const struct {
        uint8_t placement;
        int32_t percent;
        bool keep_inside;
        int32_t left;
    } cases[] = {{0, 50, true, 3}, {1, 50, true, 204}, {1, 100, true, 360}, {1, 100, false, 404},
                 {3, 0, true, 1},  {2, 10, true, 185}, {4, 50, true, 170}};
    for (const auto& c : cases) {
        gauge.label_placement = c.placement;
        gauge.percentage = c.percent;
        gauge.keep_label_inside = c.keep_inside;
        p = gauge.ComputePaint(400, 0, label);
        EXPECT_EQ(p.label_left, c.left) << int(c.placement) << " " << c.percent;
        EXPECT_EQ(p.show_status, c.placement != 4);
    }
}

TEST(Gauge, BarColoursFollowTheSettings) {
    TFormGauge gauge;
    gauge.SetBaseColour(0x0000FF);
    gauge.percentage = 0;
    GaugePaint p = gauge.ComputePaint(400, 0);
    const RgbT grey = ColorParts(p.panel_colour);  // saturated to 0 %: a grey
    EXPECT_TRUE(grey.Red == grey.Green && grey.Green == grey.Blue);

    gauge.saturate_with_progress = false;
    gauge.percentage = 100;
    p = gauge.ComputePaint(400, 0);
    EXPECT_EQ(p.panel_colour, 0x0000FF);
    EXPECT_EQ(p.gradient_colour2, 0x0000FF);
    EXPECT_EQ(p.gradient_colour1, LightenColor(0x0000FF, 14));
    gauge.lighten_with_progress = false;
    EXPECT_EQ(gauge.ComputePaint(400, 0).gradient_colour1, kWhite);
    gauge.gradient_on = false;
    p = gauge.ComputePaint(400, 0);
    EXPECT_EQ(p.gradient_colour1, 0x0000FF);
    EXPECT_EQ(p.light_colour, 0x0000FF);
}

TEST(Gauge, DetailKeepsRootAndEnd) {
    const struct {
        const char* text;
        int max;
        const char* expected;
    } cases[] = {
        {"c:\\alpha\\beta\\gamma.txt", 16, "c:\\..a\\gamma.txt"},
        {"\\\\server\\share\\dir\\file.txt", 20, "\\\\server\\..\\file.txt"},
        {"/home/user/documents/report.txt", 16, "/..ts/report.txt"},
        {"relative/path/file.txt", 10, "..file.txt"},
        {"\\\\averyveryverylongserver\\file.txt", 12, "..r\\file.txt"},
        {"/short.txt", 10, "/short.txt"},
        {"/short.txt", 0, "/short.txt"},
    };
    for (const auto& c : cases) {
        const std::string s = ShortenDetail(c.text, c.max);
        EXPECT_EQ(s, c.expected) << c.text;
        if (c.max > 0) {
            EXPECT_LE(s.size(), static_cast<std::size_t>(c.max));
        }
    }
}

TEST_F(GaugeFixture, PaintUsesTheViewsMeasures) {
    factory.log.detail_characters = 16;
    factory.log.bar_area_width = 200;
    gauge.refresh_interval = 0;
    gauge.Update("Writing:", "/home/user/documents/report.txt", 25);
    EXPECT_EQ(LastPaint().detail, "/..ts/report.txt");
    EXPECT_EQ(LastPaint().filled_width, 52);
    EXPECT_EQ(LastPaint().bar_area_width, 200);
}

}  // namespace
}  // namespace rowsmith::text
