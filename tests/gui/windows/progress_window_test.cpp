#include "gui_files.h"
#include "gui/windows/progress_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "gui/widgets/gradient_panel.h"
#include "gui/widgets/gradient_button.h"
#include "gui/windows/main_window.h"
#include "gui/widgets/qt_colours.h"

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

TEST(TGaugeWindow, CancelShowsOnlyWithAHandlerAndAsksOnce) {
    TGaugeWindow plain;
    plain.show();
    EXPECT_FALSE(plain.CancelButton()->isVisible());
    QTest::keyClick(&plain, Qt::Key_Escape);  // nothing to cancel: nothing happens

    int asked = 0;
    struct Press {
        const char* what;
        std::function<void(TGaugeWindow&)> press;
    } presses[] = {
        {"button", [](TGaugeWindow& w) { QTest::mouseClick(w.CancelButton(), Qt::LeftButton); }},
        {"Esc", [](TGaugeWindow& w) { QTest::keyClick(&w, Qt::Key_Escape); }},
    };
    for (const Press& p : presses) {
        asked = 0;
        TGaugeWindow w;
        w.SetCancelHandler([&] { ++asked; });
        w.show();
        EXPECT_TRUE(w.CancelButton()->isVisible()) << p.what;
        EXPECT_EQ(w.CancelButton()->text(), QStringLiteral("Cancel"));
        p.press(w);
        p.press(w);
        EXPECT_EQ(asked, 1) << p.what;
        EXPECT_FALSE(w.CancelButton()->isEnabled()) << p.what;
        EXPECT_EQ(w.CancelButton()->text(), QStringLiteral("Cancelling...")) << p.what;
        // The button lives in the status bar; the window keeps its fixed height.
        EXPECT_EQ(w.height(), 120);
        EXPECT_LE(w.DetailLabel()->geometry().bottom(), w.TopPanel()->height());
    }
}

TEST(GaugeWindow, TheDetailIsOneLine) {
    struct {
        const char* detail;
        const char* shown;
    } cases[] = {
        {"plain", "plain"},
        // A written line's own end goes, whichever it is.
        {"out line\r\n", "out line"},
        {"out line\n", "out line"},
        {"out line\r", "out line"},
        {"\r\n", ""},
        // Breaks inside show as marks; only one line end is dropped at the end.
        {"a\r\nb", "a\xE2\x86\xB5" "b"},
        {"a\nb\rc", "a\xE2\x86\xB5" "b\xE2\x86\xB5" "c"},
        {"a\n\n", "a\xE2\x86\xB5"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(OneLineDetail(c.detail), c.shown) << c.detail;
}

// Every shown label of the window holds one line and is as high as its font's line at least.
void ExpectNoLabelCut(const QWidget& window) {
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        if (label->isHidden() || label->text().isEmpty()) continue;
        const QString what = label->objectName() + " " + label->text();
        EXPECT_FALSE(label->text().contains(QLatin1Char('\n'))) << what.toStdString();
        EXPECT_GE(label->height(), label->fontMetrics().height()) << what.toStdString();
        // Within the window too, or the window's edge cuts it.
        const QRect box(label->mapTo(&window, QPoint(0, 0)), label->size());
        EXPECT_LE(box.bottom(), window.height() - 1) << what.toStdString();
    }
}

TEST(TGaugeWindow, NoTextIsCutVerticallyAndTheWrittenLineShowsAsOneLine) {
    const QFont original = QApplication::font();
    for (int pixels : {0, 22}) {
        if (pixels > 0) {
            QFont big = original;
            big.setPixelSize(pixels);
            QApplication::setFont(big);
        }
        Gauge g;
        g.record.Update("Writing:", "the template's output line\r\n", 30);
        TGaugeWindow* w = g.Window();
        ASSERT_NE(w, nullptr);
        QApplication::processEvents();
        EXPECT_EQ(w->DetailLabel()->text(), QStringLiteral("the template's output line")) << pixels;
        ExpectNoLabelCut(*w);
        // The bar keeps clear of the caption and the detail of the bar.
        EXPECT_GE(w->BarArea()->geometry().top(), w->CaptionLabel()->geometry().bottom()) << pixels;
        EXPECT_GE(w->DetailLabel()->geometry().top(), w->BarArea()->geometry().bottom()) << pixels;
        EXPECT_LE(w->DetailLabel()->geometry().bottom(), w->TopPanel()->height()) << pixels;
        EXPECT_GE(w->PercentLabel()->height(), w->PercentLabel()->fontMetrics().height()) << pixels;
    }
    QApplication::setFont(original);
}

TEST(GaugeWindowFactory, GivesItsCancelToTheWindowsItMakes) {
    GaugeWindowFactory factory;
    auto plain = factory.CreateGaugeView();
    EXPECT_TRUE(static_cast<TGaugeWindow*>(plain.get())->CancelButton()->isHidden());
    int asked = 0;
    factory.OnCancel = [&] { ++asked; };
    auto view = factory.CreateGaugeView();
    auto* w = static_cast<TGaugeWindow*>(view.get());
    EXPECT_FALSE(w->CancelButton()->isHidden());
    w->RequestCancel();
    EXPECT_EQ(asked, 1);
}

TEST(TGaugeWindow, CancelInTheRunsWindowStopsTheRunAndLeavesNoPartialFile) {
    QTemporaryDir tmp;
    const QString source = tmp.path() + "/in", destination = tmp.path() + "/out";
    std::string many;
    for (int i = 1; i <= 20000; ++i) many += "line " + std::to_string(i) + "\r\n";
    WriteAll(source + "/a.txt", many);
    WriteAll(source + "/b.txt", "b\r\n");
    WriteAll(destination + "/a.txt", "before");
    // The window's own progress windows, as the user sees them.
    TForm1 form({source.toStdString(), destination.toStdString()});
    form.show();
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    form.CheckBox2->setChecked(true);
    ASSERT_TRUE(form.GradBtn1->isEnabled());

    // Pressed as soon as the "Writing:" window shows, while the run lets events through it.
    bool pressed = false;
    QTimer watch;
    watch.setInterval(0);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* gauge = qobject_cast<TGaugeWindow*>(top);
            if (pressed || gauge == nullptr || !gauge->isVisible() || !gauge->CancelButton()->isVisible())
                continue;
            pressed = true;
            QTest::mouseClick(gauge->CancelButton(), Qt::LeftButton);
        }
    });
    watch.start();
    QTest::mouseClick(form.GradBtn1, Qt::LeftButton);
    watch.stop();

    ASSERT_TRUE(pressed);
    EXPECT_TRUE(form.LastSummary().Cancelled);
    EXPECT_EQ(ReadAll(destination + "/a.txt"), "before");
    EXPECT_EQ(ReadAll(destination + "/b.txt"), "<missing>");
    EXPECT_TRUE(QDir(destination).entryList(QDir::Files | QDir::Hidden).size() == 1)
        << QDir(destination).entryList(QDir::Files | QDir::Hidden).join(' ').toStdString();
    // The next run's windows start with a working button again, and it goes through.
    QTest::mouseClick(form.GradBtn1, Qt::LeftButton);
    EXPECT_FALSE(form.LastSummary().Cancelled);
    EXPECT_EQ(ReadAll(destination + "/a.txt"), many);
}

}  // namespace
}  // namespace rowsmith::gui
