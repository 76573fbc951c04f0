#include "gui/windows/template_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QSplitter>
#include <QTest>
#include <string>
#include <vector>

#include "gui/widgets/template_editor.h"

namespace rowsmith::gui {
namespace {

TEST(TemplateWindow, ChoosingAnExampleFillsTheEditorAndTellsTheOwner) {
    TTemplateWindow w;
    EXPECT_EQ(w.windowTitle(), "Template editor");
    ASSERT_EQ(w.ExampleActions().size(), static_cast<qsizetype>(TemplateExamples().size()));
    std::vector<std::string> chosen_intervals;
    QObject::connect(&w, &TTemplateWindow::ExampleChosen, [&](const TemplateExample& e) {
        chosen_intervals.push_back(e.interval ? e.interval : "(none)");
    });
    QSignalSpy edited(&w, &TTemplateWindow::TemplateEdited);
    for (std::size_t i = 0; i < TemplateExamples().size(); ++i) {
        const TemplateExample& e = TemplateExamples()[i];
        w.ExampleActions()[static_cast<qsizetype>(i)]->trigger();
        EXPECT_EQ(w.Template(), QString::fromUtf8(e.templ)) << e.caption;
        EXPECT_EQ(w.ProblemLabel()->text(), "No problems") << e.caption;
        ASSERT_EQ(chosen_intervals.size(), i + 1);
        EXPECT_EQ(chosen_intervals.back(), e.interval ? e.interval : "(none)");
    }
    // Each example is an edit the owner mirrors.
    EXPECT_EQ(edited.count(), static_cast<int>(TemplateExamples().size()));
    EXPECT_EQ(edited.last().at(0).toString(), w.Template());
}

TEST(TemplateWindow, SetTemplateIsNotAnEditButTypingIs) {
    TTemplateWindow w;
    QSignalSpy edited(&w, &TTemplateWindow::TemplateEdited);
    w.SetTemplate("{{line|nosuch}}");
    EXPECT_EQ(edited.count(), 0);
    EXPECT_EQ(w.ProblemLabel()->text(), "1:8 unknown modifier \"nosuch\"");
    w.show();
    w.Editor()->setFocus();
    w.Editor()->moveCursor(QTextCursor::End);
    QTest::keyClicks(w.Editor(), "x");
    ASSERT_EQ(edited.count(), 1);
    EXPECT_EQ(edited.last().at(0).toString(), "{{line|nosuch}}x");
}

TEST(TemplateWindow, SmallestSizeKeepsEditorAndPreviewVisible) {
    TTemplateWindow w;
    auto* preview = new QLabel("preview");
    w.SetPreview(preview);
    EXPECT_EQ(w.Preview(), preview);
    w.show();
    QApplication::processEvents();
    EXPECT_EQ(w.size(), QSize(TTemplateWindow::kDefaultWidth, TTemplateWindow::kDefaultHeight));
    w.resize(100, 100);  // held at the minimum
    QApplication::processEvents();
    EXPECT_EQ(w.size(), QSize(TTemplateWindow::kMinimumWidth, TTemplateWindow::kMinimumHeight));
    for (QWidget* part : {static_cast<QWidget*>(w.Editor()), static_cast<QWidget*>(preview),
                          static_cast<QWidget*>(w.ProblemLabel())}) {
        EXPECT_TRUE(part->isVisible());
        EXPECT_GE(part->height(), 10);
        EXPECT_GE(part->width(), 200);
        // Inside the window.
        const QRect r(part->mapTo(&w, QPoint(0, 0)), part->size());
        EXPECT_TRUE(w.rect().contains(r)) << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
    }
    EXPECT_LT(w.Editor()->mapTo(&w, QPoint(0, 0)).y(), preview->mapTo(&w, QPoint(0, 0)).y());
    // A new preview replaces the old one, which goes.
    QPointer<QLabel> old = preview;
    auto* second = new QLabel("second");
    w.SetPreview(second);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(old.isNull());
    EXPECT_EQ(w.Splitter()->widget(1), second);
}

TEST(TemplateWindow, CloseActionTakesEscAndCtrlW) {
    TTemplateWindow w;
    const QList<QKeySequence> keys = w.CloseAction()->shortcuts();
    EXPECT_TRUE(keys.contains(QKeySequence(Qt::Key_Escape)));
    EXPECT_TRUE(keys.contains(QKeySequence(Qt::CTRL | Qt::Key_W)));
    w.show();
    w.CloseAction()->trigger();
    EXPECT_FALSE(w.isVisible());
}

}  // namespace
}  // namespace rowsmith::gui
