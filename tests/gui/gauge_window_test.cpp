#include "gui/gauge_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QStatusBar>

#include "gui/g_panel.h"
#include "gui/qt_paint.h"

namespace rowsmith::gui {
namespace {

// A record that shows every update in a real window.
struct Gauge {
    GaugeWindowFactory factory;
    text::TFormGauge record;
    Gauge() {
        record.views = &factory;
        record.refresh_interval = 0;
    }
    TGaugeWindow* Window() { return dynamic_cast<TGaugeWindow*>(record.View()); }
};

TEST(TGaugeWindow, IsASmallFixedHeightToolWindow) {
    TGaugeWindow w;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Processing..."));
    EXPECT_EQ(w.size(), QSize(456, 120));
    EXPECT_EQ(w.windowType(), Qt::Tool);
    EXPECT_TRUE(w.DetailLabel()->font().fixedPitch());
    // The bar area and labels are the client width less 16, at left 8.
    EXPECT_EQ(w.BarArea()->geometry().left(), 8);
    EXPECT_EQ(w.BarArea()->width(), 456 - 16);
    EXPECT_EQ(w.DetailLabel()->width(), 456 - 16);
    EXPECT_FALSE(w.IsVisible());
}

TEST(TGaugeWindow, ShowsTheRecordsRepaint) {
    Gauge g;
    g.record.SetBaseColour(0xFF0000);
    g.record.Update("Copying Files...",
                    "/home/user/a/very/long/path/that/does/not/fit/into/the/detail/line/at/"
                    "all/because/it/goes/on/and/on/file.txt",
                    40);
    TGaugeWindow* w = g.Window();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->CaptionLabel()->text(), QStringLiteral("Copying Files..."));
    EXPECT_EQ(w->PercentLabel()->text(), QStringLiteral("40%"));
    const int area = w->BarAreaWidth();
    EXPECT_EQ(area, w->BarArea()->ClientRect().width());
    EXPECT_EQ(w->FilledBar()->width(), area * 40 / 100 + 2);
    EXPECT_EQ(w->ColouredPanel()->width(), area * 40 / 100 + 4);
    // The detail keeps its root and its end and fits the label.
    const QString detail = w->DetailLabel()->text();
    EXPECT_TRUE(detail.startsWith(QStringLiteral("/..")));
    EXPECT_TRUE(detail.endsWith(QStringLiteral("file.txt")));
    EXPECT_EQ(detail.size(), w->DetailCharacters());
    EXPECT_LE(w->DetailLabel()->fontMetrics().horizontalAdvance(detail), w->DetailLabel()->width());
    // The coloured panel ends in the base colour, saturated to the percentage.
    EXPECT_EQ(w->ColouredPanel()->Color_2(), g.record.ComputePaint(area, 0).gradient_colour2);
    EXPECT_EQ(w->StatusPanel(0)->text(), QStringLiteral("1"));
    EXPECT_TRUE(w->StatusPanel(2)->text().startsWith(QStringLiteral("ETA: ")));
    // The percentage label sits right-aligned at the filled bar's end.
    EXPECT_LE(w->PercentLabel()->geometry().right(), w->FilledBar()->geometry().right() + 2);
}

TEST(TGaugeWindow, ResizeRelaysOutAndRepaints) {
    Gauge g;
    g.record.Update("Writing:", "x", 50);
    TGaugeWindow* w = g.Window();
    ASSERT_NE(w, nullptr);
    w->resize(300, 120);
    QApplication::processEvents();
    EXPECT_EQ(w->BarArea()->width(), 300 - 16);
    EXPECT_EQ(w->FilledBar()->width(), w->BarAreaWidth() * 50 / 100 + 2);
    w->resize(50, 200);  // below the minimum width, above the fixed height
    QApplication::processEvents();
    EXPECT_EQ(w->size(), QSize(124, 120));
}

TEST(TGaugeWindow, ClosingHidesUntilTheNextRepaintAndFinishReleases) {
    Gauge g;
    g.record.Update("Reading:", "f", 10);
    QPointer<TGaugeWindow> w = g.Window();
    ASSERT_TRUE(w);
    w->close();
    EXPECT_FALSE(w->IsVisible());
    EXPECT_TRUE(w);  // hidden, not gone
    g.record.Update("Reading:", "f", 20);
    EXPECT_TRUE(w->IsVisible());
    g.record.Finish();
    EXPECT_FALSE(w);
    EXPECT_EQ(g.record.View(), nullptr);
}

TEST(TGaugeWindow, StatusBarFollowsThePlacement) {
    Gauge g;
    g.record.label_placement = 4;
    g.record.Update("Sorting...", "", 5);
    TGaugeWindow* w = g.Window();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->StatusBar()->isHidden());
    EXPECT_EQ(w->TopPanel()->height(), w->height());
    g.record.show_detail = false;
    g.record.Update("Sorting...", "", 6);
    EXPECT_TRUE(w->DetailLabel()->isHidden());
}

}  // namespace
}  // namespace rowsmith::gui
