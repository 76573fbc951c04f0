// The main window's panels in every layout and size: the file list keeps a usable share and no panel's
// controls are cut off or covered.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "gui/widgets/file_grid.h"
#include "gui/layout/panel_layout.h"
#include "gui/widgets/gradient_panel.h"
#include "gui/logic/panel_layout_math.h"
#include "gui/windows/main_window.h"

namespace rowsmith::gui {
namespace {

void Settle() {
    QApplication::processEvents();
}

// The part of a widget that can be seen, in the form's coordinates: clipped by every parent.
QRect SeenRect(const QWidget* w, const QWidget* form) {
    QRect seen(w->mapTo(form, QPoint(0, 0)), w->size());
    for (const QWidget* p = w->parentWidget(); p != nullptr && p != form; p = p->parentWidget())
        seen &= QRect(p->mapTo(form, QPoint(0, 0)), p->size());
    return seen;
}

QRect InForm(const QWidget* w, const QWidget* form) {
    return QRect(w->mapTo(form, QPoint(0, 0)), w->size());
}

// What a control paints: a label only its text (its box may reach under a neighbour unseen).
QRect DrawnRect(const QWidget* w, const QWidget* form) {
    const QRect box = InForm(w, form);
    const auto* label = qobject_cast<const QLabel*>(w);
    if (label == nullptr) return box;
    const QRect text =
        label->style()->itemTextRect(label->fontMetrics(), label->contentsRect(),
                                     static_cast<int>(label->alignment()), true, label->text());
    return text.translated(box.topLeft()) & box;
}

// The controls a panel shows: the visible children of its background.
std::vector<const QWidget*> ControlsOf(const EasySlotT& s, const QWidget* form) {
    std::vector<const QWidget*> out;
    for (const QObject* o : s.Background->children())
        if (const auto* w = qobject_cast<const QWidget*>(o); w != nullptr && w->isVisibleTo(form))
            out.push_back(w);
    return out;
}

enum class Bars { AsStarted, AllShown, AllHidden };

struct Window {
    std::unique_ptr<TForm1> form = std::make_unique<TForm1>(std::vector<std::string>{});
    Window() {
        form->show();
        Settle();
    }
    TeasyPanel& Layout() { return form->WindowLayout(); }
    int PreviewSlot() { return SlotOfPanel(Layout(), form->Panel8); }
};

// Everything the window shows at one layout, size and panel state.
void CheckWindow(TForm1& f, const std::string& at) {
    const TeasyPanel& layout = f.WindowLayout();
    // The panels' area: below the tab bar, above the status bar.
    const QRect client(0, f.TabControl1->geometry().bottom() + 1, f.width(),
                       f.StatusBar1->geometry().top() - f.TabControl1->geometry().bottom() - 1);

    const QRect grid = SeenRect(f.AdvStringGrid1, &f) & client;
    EXPECT_TRUE(f.AdvStringGrid1->isVisible()) << at;
    EXPECT_GE(grid.width(), 200) << at;
    EXPECT_GE(grid.height(), 150) << at;
    EXPECT_TRUE(client.contains(InForm(f.Panel3, &f))) << at;
    // Height beyond the window's minimum reaches the list, not only the panels beside it.
    if (f.height() > f.minimumHeight()) { EXPECT_GT(f.Panel3->height(), f.Panel3->minimumHeight()) << at; }

    std::vector<std::pair<const TPanel*, QRect>> shown;
    for (char c : layout.RegisteredSlots) {
        const EasySlotT& s = layout.Slots[static_cast<std::size_t>(SlotFromChar(c))];
        if (!s.Panel->isVisible()) continue;
        const std::string name = at + " " + s.Panel->objectName().toStdString();
        const QRect panel = InForm(s.Panel, &f);
        EXPECT_TRUE(client.contains(panel)) << name;
        EXPECT_FALSE(panel.intersects(InForm(f.Panel3, &f))) << name;
        for (const auto& [other, rect] : shown)
            EXPECT_FALSE(panel.intersects(rect)) << name << " / " << other->objectName().toStdString();
        shown.emplace_back(s.Panel, panel);
        if (s.Collapsed) {
            // A folded panel shows a strip, none of its controls.
            EXPECT_TRUE(ControlsOf(s, &f).empty()) << name;
            continue;
        }
        const std::vector<const QWidget*> controls = ControlsOf(s, &f);
        EXPECT_FALSE(controls.empty()) << name;
        for (std::size_t i = 0; i < controls.size(); ++i) {
            const QRect r = InForm(controls[i], &f);
            const std::string what = name + " " + controls[i]->objectName().toStdString();
            // Whole: inside the window, and not cut off by the panel.
            EXPECT_TRUE(client.contains(r)) << what;
            EXPECT_EQ(SeenRect(controls[i], &f), r) << what;
            for (std::size_t j = 0; j < i; ++j)
                EXPECT_FALSE(DrawnRect(controls[i], &f).intersects(DrawnRect(controls[j], &f)))
                    << what << " / " << controls[j]->objectName().toStdString();
        }
    }
    EXPECT_EQ(shown.size(), layout.RegisteredSlots.size()) << at;

    // A corner collapse button (a panel without a title bar, here or in the list) is big enough to
    // hit and covers none of its panel's controls.
    for (const TeasyPanel* l : {&layout, &std::as_const(f.ListLayout())}) {
        for (char c : l->RegisteredSlots) {
            const EasySlotT& s = l->Slots[static_cast<std::size_t>(SlotFromChar(c))];
            if (!s.CornerButton->isVisibleTo(&f)) continue;
            const std::string name = at + " " + s.Panel->objectName().toStdString();
            const QRect button = InForm(s.CornerButton, &f);
            EXPECT_GE(button.width(), 12) << name;
            EXPECT_GE(button.height(), 12) << name;
            EXPECT_EQ(SeenRect(s.CornerButton, &f), button) << name;
            for (const QWidget* control : ControlsOf(s, &f))
                EXPECT_FALSE(button.intersects(DrawnRect(control, &f)))
                    << name << " " << control->objectName().toStdString();
        }
    }
}

// With ROWSMITH_LAYOUT_SHOTS=DIR each checked state is also saved as DIR/KIND-BARS-open|folded-WxH.png
// for a look by eye.
void SaveShot(TForm1& f, const char* kind, int bars, bool folded) {
    const QString dir = qEnvironmentVariable("ROWSMITH_LAYOUT_SHOTS");
    if (dir.isEmpty()) return;
    const QString name = QStringLiteral("%1/%2-%3-%4-%5x%6.png")
                             .arg(dir, QString::fromLatin1(kind))
                             .arg(bars)
                             .arg(folded ? QStringLiteral("folded") : QStringLiteral("open"))
                             .arg(f.width())
                             .arg(f.height());
    EXPECT_TRUE(f.grab().save(name)) << name.toStdString();
}

TEST(WindowLayout, TheListKeepsAUsableShareInEveryLayoutSizeAndPanelState) {
    Window w;
    TForm1& f = *w.form;
    const QSize sizes[] = {QSize(1, 1),      QSize(800, 600),   QSize(1024, 600), QSize(1000, 700),
                           QSize(1240, 740), QSize(1600, 1000), QSize(1920, 1080)};
    for (const char* kind : {"llay", "hortop", "horbot"}) {
        TitleMenuCommand(w.Layout(), kind, -1);
        for (const Bars bars : {Bars::AsStarted, Bars::AllShown, Bars::AllHidden}) {
            if (bars == Bars::AllShown) ShowAllTitleBars(w.Layout(), true);
            if (bars == Bars::AllHidden) HideAllTitleBars(w.Layout(), true);
            for (const bool folded : {false, true}) {
                if (folded)
                    Collapse(w.Layout(), w.PreviewSlot(), true);
                else
                    Restore(w.Layout(), w.PreviewSlot(), true);
                for (const QSize& size : sizes) {
                    // Below the minimum the window keeps its minimum. The minimum height follows the
                    // columns the width gives, so a second resize reaches what the new width allows.
                    f.resize(size);
                    Settle();
                    f.resize(size);
                    Settle();
                    const std::string at = std::string(kind) + " bars " +
                                           std::to_string(static_cast<int>(bars)) +
                                           (folded ? " folded " : " open ") + std::to_string(f.width()) +
                                           "x" + std::to_string(f.height());
                    ASSERT_EQ(f.size(), size.expandedTo(f.minimumSize())) << at;
                    CheckWindow(f, at);
                    SaveShot(f, kind, static_cast<int>(bars), folded);
                }
            }
            // Back to the window's own title bars: only "Start" has none.
            ShowAllTitleBars(w.Layout(), false);
            HideTitleBar(w.Layout(), SlotOfPanel(w.Layout(), f.Panel4), true);
        }
    }
}

TEST(WindowLayout, EveryLayoutFitsANetbookScreen) {
    // 1024x600: three columns, so the minimum height is the one three columns need.
    Window w;
    TForm1& f = *w.form;
    for (const char* kind : {"llay", "hortop", "horbot"}) {
        TitleMenuCommand(w.Layout(), kind, -1);
        for (const bool all_bars : {false, true}) {
            if (all_bars) ShowAllTitleBars(w.Layout(), true);
            f.resize(1024, 600);
            Settle();
            f.resize(1024, 600);
            Settle();
            EXPECT_EQ(f.size(), QSize(1024, 600)) << kind << all_bars;
            EXPECT_LE(f.minimumWidth(), 1024) << kind << all_bars;
        }
        HideTitleBar(w.Layout(), SlotOfPanel(w.Layout(), f.Panel4), true);
    }
    // Narrower again, the minimum height rises to what two columns need.
    TitleMenuCommand(w.Layout(), "hortop", -1);
    const int wide_minimum = f.minimumHeight();
    f.resize(700, 600);
    Settle();
    EXPECT_GT(f.minimumHeight(), wide_minimum);
    EXPECT_GE(f.height(), f.minimumHeight());
}

TEST(WindowLayout, APreviewBesideTheListGrowsOnlyToItsNeighbours) {
    // Wide enough for every panel in its own column above the list: the preview lines up with the
    // tallest of them and the list gets everything below.
    Window w;
    TForm1& f = *w.form;
    TitleMenuCommand(w.Layout(), "hortop", -1);
    f.resize(1920, 1080);
    Settle();
    int tallest = 0;
    for (const TPanel* p : {f.Panel1, f.Panel2, f.Panel6, f.Panel4}) tallest = std::max(tallest, p->height());
    EXPECT_EQ(f.Panel8->height(), tallest);
    EXPECT_EQ(f.Panel3->y(), f.Panel8->geometry().bottom() + 1 + w.Layout().Gap);
    EXPECT_GT(f.Panel3->height(), 1080 / 2);
}

}  // namespace
}  // namespace rowsmith::gui
