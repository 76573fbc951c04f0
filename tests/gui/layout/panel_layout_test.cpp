#include "gui/layout/panel_layout.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <memory>

#include "gui/widgets/gradient_panel.h"
#include "gui/logic/panel_layout_math.h"

namespace rowsmith::gui {
namespace {

TPanel* MakePanel(QWidget* parent, const char* name, const char* caption, int width, int height) {
    auto* p = new TPanel(parent);
    p->setObjectName(QString::fromLatin1(name));
    p->SetCaption(QString::fromLatin1(caption));
    p->resize(width, height);
    return p;
}

void Settle() {
    QApplication::processEvents();
}

// A window shaped like the main window: four side panels around a list container, which holds the
// "Sort options" panel above the grid's panel. The layouts are declared first so that the widgets
// go before them.
struct MainWindowShape {
    TeasyPanel window;
    TeasyPanel list;
    std::unique_ptr<QWidget> form;
    TPanel* paths = nullptr;
    TPanel* options = nullptr;
    TPanel* dest = nullptr;
    TPanel* start = nullptr;
    TPanel* list_panel = nullptr;
    TPanel* sort = nullptr;
    TPanel* grid = nullptr;
    QLineEdit* source_edit = nullptr;

    explicit MainWindowShape(int width = 900, int height = 600) {
        form = std::make_unique<QWidget>();
        form->setObjectName(QStringLiteral("Form1"));
        form->resize(width, height);
        paths = MakePanel(form.get(), "Panel1", "Paths|folders", 300, 112);
        paths->SetColor(0xFFDFDA);
        source_edit = new QLineEdit(paths);
        source_edit->setGeometry(8, 8, 200, 22);
        options = MakePanel(form.get(), "Panel2", "Options", 300, 96);
        dest = MakePanel(form.get(), "Panel6", "Destination file options", 300, 92);
        dest->SetColor(0xF0B3A6);
        start = MakePanel(form.get(), "Panel4", "Start", 300, 49);
        list_panel = MakePanel(form.get(), "Panel3", " ", 400, 400);
        sort = MakePanel(list_panel, "Panel5", "Sort options", 200, 40);
        grid = MakePanel(list_panel, "Panel7", " ", 300, 300);

        SetupLayout(list, list_panel, false);
        SetupWindowLayout(window, form.get(), list, false);
        window.Animate = 0;
        list.Animate = 0;
        SetMinColumns(list, 1, false);
        list.LayoutKind = 0;
        SetTopMargin(list, 0, false);
        SetLeftMargin(list, 0, false);
        SetRightMargin(list, 0, false);
        SetBottomMargin(list, 0, false);
        list_panel->SetBevelOuter(TPanelBevel::bvNone);
        list_panel->SetBevelInner(TPanelBevel::bvNone);
        HideAllTitleBars(list, false);
        Activate(list);
        Activate(window);
        InstallListKeyHook(form.get(), window, list);
        SetOrder(window, "panel1,panel2,panel6,panel4", true);
        HideTitleBar(window, SlotOfPanel(window, start), true);
        form->show();
        Settle();
    }

    int Slot(const TPanel* p) const { return SlotOfPanel(window, p); }
    const EasySlotT& Of(const TPanel* p) const { return window.Slots[static_cast<std::size_t>(Slot(p))]; }
    std::vector<TPanel*> Side() const { return {paths, options, dest, start}; }
    void Key(int key) {
        QTest::keyClick(form.get(), static_cast<Qt::Key>(key), Qt::ControlModifier);
        Settle();
    }
};

TEST(EasyPanel, RegistrationBuildsTitleBarBackgroundAndSlots) {
    MainWindowShape w;
    EXPECT_EQ(w.window.RegisteredSlots, "0123");
    EXPECT_EQ(w.window.SlotCount, 4);
    EXPECT_EQ(w.window.MainControl, w.list_panel);
    EXPECT_EQ(w.list.MainControl, w.grid);
    EXPECT_EQ(w.list.RegisteredSlots, "0");
    EXPECT_EQ(w.window.ColumnWidth, 300);
    EXPECT_EQ(w.window.OrderText, "ord:0123");

    const EasySlotT& s = w.Of(w.paths);
    ASSERT_NE(s.TitleBar, nullptr);
    EXPECT_EQ(s.TitleBar->objectName(), QStringLiteral("titlebar__Panel1"));
    EXPECT_EQ(s.Background->objectName(), QStringLiteral("background__Panel1"));
    EXPECT_EQ(s.TitleLabel->text(), QStringLiteral("Paths"));  // up to the first "|"
    EXPECT_EQ(w.source_edit->parentWidget(), s.Background);
    EXPECT_EQ(s.TitleBar->parentWidget(), w.paths);
    EXPECT_TRUE(s.Collapsible);
    EXPECT_EQ(s.SizeSpec, "0.1|112|112");
    // Arranged in the left column with the title bar on top of the registered height.
    EXPECT_EQ(w.paths->geometry(), QRect(8, 8, 300, 136));
    EXPECT_EQ(w.options->geometry(), QRect(8, 152, 300, 120));
    // Its title bar is hidden: a strip for the corner button instead, above its controls.
    EXPECT_EQ(w.start->height(), 49 + w.window.CornerButtonHeight);
    EXPECT_GT(w.Of(w.start).Background->geometry().top(), w.Of(w.start).CornerButton->geometry().bottom());
    EXPECT_EQ(w.list_panel->geometry(), QRect(316, 8, 900 - 316 - 8, 600 - 16));
    EXPECT_TRUE(w.Of(w.start).CornerButton->isVisibleTo(w.start));
    EXPECT_FALSE(w.Of(w.paths).CornerButton->isVisibleTo(w.paths));
    // Nested: the list layout puts "Sort options" at the top of its container, the grid below it.
    EXPECT_EQ(w.sort->geometry().top(), 0);
    EXPECT_EQ(w.grid->geometry().top(), w.sort->height() + 8);
}

TEST(EasyPanel, CollapseAllShrinksPanelsAndTheMainControlGrows) {
    struct Case {
        int kind;
        int height;
    } cases[] = {{0, 600}, {1, 420}};  // horizontal at the top; L layout too low for one column
    for (const Case& c : cases) {
        MainWindowShape w(900, c.height);
        SetLayoutKind(w.window, c.kind, true, true);
        const int main_before = w.list_panel->height();
        TitleMenuCommand(w.window, "collapseall", -1);
        for (TPanel* p : w.Side()) {
            const EasySlotT& s = w.Of(p);
            EXPECT_TRUE(s.Collapsed) << p->objectName().toStdString();
            // Title bar plus the panel's bevels; without a title bar the collapsed maximum.
            EXPECT_EQ(p->height(), p == w.start ? 24 : 26) << p->objectName().toStdString();
            EXPECT_FALSE(s.Background->isEnabled());
        }
        EXPECT_GT(w.list_panel->height(), main_before) << c.kind;

        TitleMenuCommand(w.window, "maximizeall", -1);
        EXPECT_EQ(w.paths->height(), 136);
        EXPECT_EQ(w.list_panel->height(), main_before);
        EXPECT_TRUE(w.Of(w.paths).Background->isEnabled());
    }
}

TEST(EasyPanel, CollapseButtonTogglesThePanel) {
    MainWindowShape w;
    TPanel* button = w.Of(w.options).TitleButton;
    ASSERT_TRUE(button->isVisibleTo(w.options));
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(w.Of(w.options).Collapsed);
    EXPECT_EQ(w.options->height(), 26);
    EXPECT_FALSE(w.Of(w.options).Bevel->isVisibleTo(w.Of(w.options).TitleBar));
    // A right click does not toggle.
    QTest::mouseClick(button, Qt::RightButton);
    EXPECT_TRUE(w.Of(w.options).Collapsed);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(w.Of(w.options).Collapsed);
    EXPECT_EQ(w.options->height(), 120);
    // A restore marks the slot as keeping no constraint, so later collapses keep none.
    EXPECT_EQ(w.Of(w.options).KeptMinHeight, -1);
}

TEST(EasyPanel, AFoldedPanelShowsNoneOfItsControls) {
    // "Start" has no title bar: folded, the strip would otherwise cut through its controls.
    MainWindowShape w;
    const EasySlotT& s = w.Of(w.start);
    // Where the layout puts a panel's controls.
    auto* button = new QLineEdit(s.Background);
    button->setGeometry(8, 8, 200, 30);
    button->show();
    TPanel* corner = s.CornerButton;
    ASSERT_TRUE(corner->isVisibleTo(w.start));
    // Big enough to hit, in the panel's top right corner.
    EXPECT_GE(corner->width(), 12);
    EXPECT_GE(corner->height(), 12);
    EXPECT_EQ(corner->geometry().topRight(), w.start->rect().topRight());

    QTest::mouseClick(corner, Qt::LeftButton);
    ASSERT_TRUE(s.Collapsed);
    EXPECT_EQ(w.start->height(), 24);
    EXPECT_FALSE(button->isVisibleTo(w.form.get()));
    EXPECT_TRUE(corner->isVisibleTo(w.start));
    QTest::mouseClick(corner, Qt::LeftButton);
    EXPECT_FALSE(s.Collapsed);
    EXPECT_TRUE(button->isVisibleTo(w.form.get()));

    // Shrunk while another panel is shown alone, too.
    ToggleSolo(w.window, w.Slot(w.paths));
    EXPECT_FALSE(button->isVisibleTo(w.form.get()));
    EXPECT_TRUE(w.source_edit->isVisibleTo(w.form.get()));
    ToggleSolo(w.window, w.Slot(w.paths));
    EXPECT_TRUE(button->isVisibleTo(w.form.get()));
}

TEST(EasyPanel, AMainControlWithoutAMinimumStillGetsAUsableSize) {
    // The grid's panel sets no minimum; at the window's smallest size it keeps the usable size.
    MainWindowShape w;
    ASSERT_EQ(w.grid->minimumHeight(), 0);
    for (const int kind : {1, 0}) {
        SetLayoutKind(w.window, kind, true, true);
        w.form->resize(1, 1);
        Settle();
        EXPECT_GE(w.grid->height(), w.list.MainUsableHeight) << kind;
        EXPECT_GE(w.grid->width(), w.list.MainUsableWidth) << kind;
    }
}

TEST(EasyPanel, AnimatedCollapseAndRestoreEndAtTheirHeights) {
    MainWindowShape w;
    w.window.Animate = 1;
    const int slot = w.Slot(w.dest);
    ToggleCollapse(w.window, slot, true, true);
    EXPECT_EQ(w.dest->height(), 26);
    ToggleCollapse(w.window, slot, true, true);
    EXPECT_FALSE(w.Of(w.dest).RestorePending);
    EXPECT_EQ(w.dest->height(), 116);
}

TEST(EasyPanel, SoloGreysAndShrinksTheOthersAndASecondDoubleClickRestores) {
    MainWindowShape w;
    std::vector<int> heights;
    for (TPanel* p : w.Side()) heights.push_back(p->height());

    QTest::mouseDClick(w.Of(w.paths).TitleBar, Qt::LeftButton);
    Settle();
    EXPECT_TRUE(w.Of(w.paths).Solo);
    EXPECT_EQ(w.paths->height(), 136);
    EXPECT_EQ(w.Of(w.paths).TitleBar->Color(), 0xFFDFDA);
    for (TPanel* p : {w.options, w.dest, w.start}) {
        const EasySlotT& s = w.Of(p);
        EXPECT_EQ(p->height(), p == w.start ? 24 : 26) << p->objectName().toStdString();
        EXPECT_EQ(s.TitleBar->Color(), kSlotGrey);
        EXPECT_EQ(s.Background->Color(), kSlotGrey);
        EXPECT_FALSE(s.TitleButton->isVisibleTo(s.TitleBar));  // no collapsing while one panel is solo
    }

    QTest::mouseDClick(w.Of(w.paths).TitleBar, Qt::LeftButton);
    Settle();
    EXPECT_FALSE(w.Of(w.paths).Solo);
    for (std::size_t i = 0; i < w.Side().size(); ++i) EXPECT_EQ(w.Side()[i]->height(), heights[i]);
    EXPECT_EQ(w.Of(w.dest).TitleBar->Color(), 0xF0B3A6);
    EXPECT_TRUE(w.Of(w.dest).TitleButton->isVisibleTo(w.Of(w.dest).TitleBar));
}

TEST(EasyPanel, DisabledMarkAppearsOnce) {
    MainWindowShape w;
    DisablePanel(w.window, w.Slot(w.dest), true);
    for (int i = 0; i < 3; ++i) Relayout(w.window, true);
    Arrange(w.window);
    EXPECT_EQ(w.Of(w.dest).TitleLabel->text(), QStringLiteral("Destination file options (Disabled)"));
    EXPECT_EQ(w.Of(w.dest).TitleBar->Color(), kSlotGrey);
    EXPECT_FALSE(w.Of(w.dest).Background->isEnabled());
    EXPECT_FALSE(w.Of(w.dest).Background->Active());

    DisableAll(w.window);
    DisableAll(w.window);
    EXPECT_EQ(w.Of(w.paths).TitleLabel->text(), QStringLiteral("Paths (Disabled)"));
    EXPECT_FALSE(w.list_panel->isEnabled());
    EnableAll(w.window);
    EXPECT_EQ(w.Of(w.dest).TitleLabel->text(), QStringLiteral("Destination file options"));
    EXPECT_EQ(w.Of(w.dest).TitleBar->Color(), 0xF0B3A6);
    EXPECT_TRUE(w.source_edit->isEnabled());
}

TEST(EasyPanel, OrderNamesWithStarSelectInRegistrationOrder) {
    MainWindowShape w;
    SetOrder(w.window, "panel6,Panel*", true);
    EXPECT_EQ(w.window.OrderText, "ord:20123");
    EXPECT_EQ(w.dest->y(), 8);  // first in order, once
    EXPECT_LT(w.paths->y(), w.options->y());

    SetOrder(w.window, "panel2,nosuchpanel,panel4", true);
    EXPECT_EQ(w.window.OrderText, "ord:13");
    EXPECT_TRUE(w.paths->isHidden());
    EXPECT_TRUE(w.dest->isHidden());
    EXPECT_FALSE(w.options->isHidden());
    EXPECT_EQ(w.options->y(), 8);
}

TEST(EasyPanel, CtrlF4GivesTheListTheWholeWindowAndCtrlF5HidesTheSortPanel) {
    MainWindowShape w;
    const QRect list_normal = w.list_panel->geometry();
    w.Key(Qt::Key_F4);
    for (TPanel* p : w.Side()) EXPECT_TRUE(p->isHidden()) << p->objectName().toStdString();
    EXPECT_TRUE(w.sort->isHidden());
    EXPECT_EQ(w.list_panel->geometry(), QRect(8, 8, 900 - 16, 600 - 16));
    EXPECT_EQ(w.grid->geometry(), QRect(0, 0, 900 - 16, 600 - 16));

    w.Key(Qt::Key_F4);
    for (TPanel* p : w.Side()) EXPECT_FALSE(p->isHidden()) << p->objectName().toStdString();
    EXPECT_FALSE(w.sort->isHidden());
    EXPECT_EQ(w.list_panel->geometry(), list_normal);

    // Hidden with Ctrl+F5 before, the sort panel stays hidden after the panels come back.
    w.Key(Qt::Key_F5);
    EXPECT_TRUE(w.sort->isHidden());
    EXPECT_FALSE(w.paths->isHidden());
    w.Key(Qt::Key_F4);
    EXPECT_TRUE(w.paths->isHidden());
    w.Key(Qt::Key_F4);
    EXPECT_FALSE(w.paths->isHidden());
    EXPECT_TRUE(w.sort->isHidden());
    w.Key(Qt::Key_F5);
    EXPECT_FALSE(w.sort->isHidden());

    // Other keys and F4 without Ctrl change nothing.
    QTest::keyClick(w.form.get(), Qt::Key_F4);
    EXPECT_FALSE(w.paths->isHidden());
}

TEST(EasyPanel, ContainerCannotShrinkBelowItsMinimumWidth) {
    MainWindowShape w;
    // L layout: a column beside the main control's minimum (the list's own minimum: one sort column).
    const int list_min = w.list_panel->minimumWidth();
    EXPECT_EQ(list_min, 200);
    EXPECT_EQ(w.form->minimumWidth(), 8 + std::max(300, list_min) + 308 + 8);
    w.form->resize(200, 600);
    Settle();
    EXPECT_EQ(w.form->width(), w.form->minimumWidth());
    EXPECT_GT(w.form->minimumHeight(), 0);
    // The minimum height holds the stacked panels (or the main control's minimum) at every width.
    w.form->resize(900, 50);
    Settle();
    EXPECT_EQ(w.form->height(), w.form->minimumHeight());
    EXPECT_FALSE(w.window.MinHeightCache.empty());

    SetLayoutKind(w.window, 0, true, true);
    EXPECT_EQ(w.form->minimumWidth(), 8 + 2 * 308 - 8 + 8);
}

TEST(EasyPanel, MenuEntriesCheckMarksAndTitleBars) {
    MainWindowShape w;
    ASSERT_NE(w.window.TitleMenu, nullptr);
    auto checked = [&](const char* name) {
        QAction* a = w.window.TitleMenu->findChild<QAction*>(QString::fromLatin1(name));
        return a != nullptr && a->isChecked();
    };
    EXPECT_TRUE(checked("llay"));
    EXPECT_FALSE(checked("hortop"));
    TitleMenuCommand(w.window, "horbot", -1);
    EXPECT_EQ(w.window.LayoutKind, 0);
    EXPECT_EQ(w.window.HorizontalTop, 0);
    EXPECT_TRUE(checked("horbot"));
    EXPECT_FALSE(checked("llay"));
    // Panels at the bottom, the main control above them.
    EXPECT_EQ(w.list_panel->y(), 8);
    EXPECT_GT(w.paths->y(), w.list_panel->y() + w.list_panel->height());

    // Toggle titlebar acts on the panel the menu was opened on.
    TitleMenuCommand(w.window, "toggletitlebar", w.Slot(w.options));
    EXPECT_FALSE(w.Of(w.options).TitleBar->isVisibleTo(w.options));
    EXPECT_EQ(w.options->height(), 96 + w.window.CornerButtonHeight);  // the corner button's strip
    EXPECT_TRUE(w.Of(w.options).CornerButton->isVisibleTo(w.options));
    TitleMenuCommand(w.window, "UnhideAllTitleBars", -1);
    EXPECT_TRUE(w.Of(w.start).TitleBar->isVisibleTo(w.start));
    EXPECT_EQ(w.options->height(), 120);
    TitleMenuCommand(w.window, "hidealltitlebars", -1);
    EXPECT_FALSE(w.Of(w.paths).TitleBar->isVisibleTo(w.paths));

    TitleMenuCommand(w.window, "ChangeStyleLoweredRaised", -1);
    EXPECT_EQ(w.paths->BevelInner(), TPanelBevel::bvLowered);
    EXPECT_EQ(w.paths->BevelOuter(), TPanelBevel::bvRaised);
    TitleMenuCommand(w.window, "ChangeStyleFlat", -1);
    EXPECT_TRUE(w.paths->BorderSingle());
}

TEST(EasyPanel, MoreThanTwentyOnePanelsStayUnmanaged) {
    TeasyPanel layout;
    QWidget form;
    form.resize(2000, 900);
    std::vector<TPanel*> panels;
    for (int i = 0; i < 23; ++i) {
        const std::string name = "P" + std::to_string(i);
        panels.push_back(MakePanel(&form, name.c_str(), name.c_str(), 80, 30));
    }
    layout.Animate = 0;
    SetupLayout(layout, &form, true);
    EXPECT_EQ(layout.SlotCount, 21);
    EXPECT_EQ(layout.RegisteredSlots.back(), 'D');
    EXPECT_EQ(SlotOfPanel(layout, panels[21]), -1);
    EXPECT_EQ(panels[21]->findChild<TGPanel*>(), nullptr);
    // No main control: the panels still arrange.
    EXPECT_EQ(layout.MainControl, nullptr);
    EXPECT_EQ(panels[0]->geometry().topLeft(), QPoint(8, 8));
    // Operations on slots outside the registered ones do nothing.
    Collapse(layout, 25, true);
    Collapse(layout, -1, true);
    ToggleSolo(layout, 30);
}

}  // namespace
}  // namespace rowsmith::gui
