#include "gui/widgets/control_helpers.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QTableWidget>

#include "gui/widgets/gradient_panel.h"
#include "gui/widgets/gradient_button.h"
#include "gui/widgets/qt_colours.h"

namespace rowsmith::gui {
namespace {

int32_t BaseColour(const QWidget* w) {
    return FromQColor(w->palette().color(QPalette::Base));
}

TEST(IsChecked, NeedsACheckedEnabledBox) {
    QWidget parent;
    auto* box = new QCheckBox(&parent);
    auto* radio = new QRadioButton(&parent);
    auto* edit = new QLineEdit(&parent);
    struct Case {
        bool checked, enabled, expected;
    } cases[] = {{true, true, true}, {true, false, false}, {false, true, false}};
    for (const Case& c : cases) {
        box->setChecked(c.checked);
        box->setEnabled(c.enabled);
        radio->setChecked(c.checked);
        radio->setEnabled(c.enabled);
        EXPECT_EQ(IsChecked(box), c.expected) << c.checked << c.enabled;
        EXPECT_EQ(IsChecked(radio), c.expected) << c.checked << c.enabled;
    }
    EXPECT_FALSE(IsChecked(edit));
    EXPECT_FALSE(IsChecked(nullptr));
    // A run disables whole panels and still reads the boxes inside them.
    box->setEnabled(true);
    box->setChecked(true);
    parent.setEnabled(false);
    EXPECT_TRUE(IsChecked(box));
}

TEST(EditHasValue, EnabledAndWhenAskedNotEmpty) {
    QLineEdit edit;
    EXPECT_TRUE(EditHasValue(&edit, false));
    EXPECT_FALSE(EditHasValue(&edit, true));
    edit.setText(QStringLiteral("3-10;-1"));
    EXPECT_TRUE(EditHasValue(&edit, true));
    edit.setEnabled(false);
    EXPECT_FALSE(EditHasValue(&edit, true));
    EXPECT_FALSE(EditHasValue(&edit, false));
    QCheckBox box;  // not an edit: only the enabled state counts
    EXPECT_TRUE(EditHasValue(&box, true));
}

TEST(RecolourControls, DisabledEditsTakeTheDarkenedPanelColour) {
    QWidget form;
    QPalette p = form.palette();
    p.setColor(QPalette::Window, ToQColor(0xD0D0D0));
    form.setPalette(p);
    auto* panel = new TPanel(&form);
    panel->SetColor(0xE89868);
    auto* box = new QCheckBox(panel);
    auto* edit = new QLineEdit(panel);
    auto* folder = new QLineEdit(&form);
    folder->setObjectName(QStringLiteral("EditfolderSource"));
    QPalette own = folder->palette();
    own.setColor(QPalette::Base, ToQColor(0x00FFFF));
    folder->setPalette(own);
    auto* start = new TGradBtn(&form);

    box->setChecked(false);
    EnableByCheck(edit, box);
    EXPECT_FALSE(edit->isEnabled());
    RecolourControlsOf(&form);
    EXPECT_EQ(BaseColour(edit), DisabledColourFrom(0xE89868));
    // Enabled: the window background colour again.
    box->setChecked(true);
    EnableByCheck(edit, box);
    RecolourControlsOf(&form);
    EXPECT_EQ(BaseColour(edit), FromQColor(QApplication::palette().color(QPalette::Base)));
    // The check box takes its panel's colour.
    EXPECT_EQ(FromQColor(box->palette().color(QPalette::Window)), 0xE89868);

    // A folder edit keeps its own colour while enabled and is darkened from the form's colour when not.
    EXPECT_EQ(BaseColour(folder), 0x00FFFF);
    folder->setEnabled(false);
    RecolourControlsOf(&form);
    EXPECT_EQ(BaseColour(folder), DisabledColourFrom(0xD0D0D0));

    // The gradient button is recoloured as the Start button with the disabled colour.
    EXPECT_EQ(start->BeginColor(), DisabledColourFrom(0xD0D0D0));
    EXPECT_EQ(start->EndColor(), kClWhite);
}

TEST(ColourByEnabled, HandlesEachKind) {
    QWidget form;
    auto* slider = new QSlider(&form);
    auto* combo = new QComboBox(&form);
    auto* grid = new QTableWidget(&form);
    auto* files = new QTableWidget(&form);
    MarkFileGrid(files);
    for (QWidget* w : {static_cast<QWidget*>(slider), static_cast<QWidget*>(combo),
                       static_cast<QWidget*>(grid), static_cast<QWidget*>(files)})
        w->setEnabled(false);
    ColourByEnabled(slider, 0x404040);
    ColourByEnabled(combo, 0x404040);
    ColourByEnabled(grid, 0x404040);
    ColourByEnabled(files, 0x404040);
    EXPECT_FALSE(slider->property("sliderVisible").toBool());
    EXPECT_FALSE(combo->property("ctl3D").toBool());
    EXPECT_EQ(BaseColour(combo), 0x404040);
    EXPECT_EQ(BaseColour(grid), 0x404040);
    // The file grid keeps its colour; its second band becomes the first.
    EXPECT_NE(BaseColour(files), 0x404040);
    EXPECT_EQ(FromQColor(files->palette().color(QPalette::AlternateBase)), BaseColour(files));
    files->setEnabled(true);
    slider->setEnabled(true);
    ColourByEnabled(files, 0x404040);
    ColourByEnabled(slider, 0x404040);
    EXPECT_EQ(FromQColor(files->palette().color(QPalette::AlternateBase)), kClWhite);
    EXPECT_TRUE(slider->property("sliderVisible").toBool());
}

// An enabled check box takes its parent's colour: on a gradient panel by letting the gradient show
// through (no flat patch), on a plain panel by filling with the panel's colour.
TEST(ColourByEnabled, CheckBoxesShowTheGradientBehindThem) {
    QWidget form;
    auto* gradient = new TGPanel(&form);
    auto* plain = new TPanel(&form);
    auto* on_gradient = new QCheckBox(QStringLiteral("a"), gradient);
    auto* on_plain = new QCheckBox(QStringLiteral("b"), plain);
    ColourByEnabled(on_gradient, 0x404040);
    ColourByEnabled(on_plain, 0x404040);
    EXPECT_FALSE(on_gradient->autoFillBackground());
    EXPECT_TRUE(on_plain->autoFillBackground());
    gradient->SetActive(false);  // an inactive gradient panel paints flat: the box fills again
    ColourByEnabled(on_gradient, 0x404040);
    EXPECT_TRUE(on_gradient->autoFillBackground());
}

TEST(ColourStartButton, BoldRedToWhiteOnlyWhenEnabled) {
    TGradBtn button;
    ColourStartButton(&button, kClRed);
    EXPECT_EQ(button.BeginColor(), kClRed);
    EXPECT_EQ(button.EndColor(), kClWhite);
    EXPECT_TRUE(button.font().bold());
    button.setEnabled(false);
    ColourStartButton(&button, kClRed);
    EXPECT_EQ(button.BeginColor(), kClSilver);
    EXPECT_EQ(button.EndColor(), kClGrey);
    EXPECT_FALSE(button.font().bold());
}

// Counts the calls of a resize hook.
struct Counter {
    int calls = 0;
    ResizeHook Hook() {
        return {[this](QWidget*) { ++calls; }};
    }
};

TEST(SetBoundsQuietly, CallsTheHookOnlyForARealChangeWhenAsked) {
    for (bool shown : {false, true}) {
        QWidget form;
        form.resize(400, 300);
        auto* panel = new TPanel(&form);
        panel->setGeometry(10, 10, 100, 50);
        if (shown) form.show();
        Counter counter;
        SetResizeHook(panel, counter.Hook());

        SetBoundsQuietly(panel, 100, 50, 30, 40, true);  // moved, same size
        EXPECT_EQ(counter.calls, 0) << shown;
        EXPECT_EQ(panel->pos(), QPoint(30, 40));

        SetBoundsQuietly(panel, 120, 50, 30, 40, false);
        QApplication::processEvents();
        EXPECT_EQ(counter.calls, 0) << shown;

        const ResizeHook previous = SetBoundsQuietly(panel, 140, 60, 30, 40, true);
        QApplication::processEvents();
        EXPECT_EQ(counter.calls, 1) << shown;  // once, not again for the resize event
        EXPECT_TRUE(previous);
        // A hidden control gets its resize event when shown; the quiet change stays quiet.
        form.show();
        QApplication::processEvents();
        EXPECT_EQ(counter.calls, 1) << shown;

        // The hook is back: an ordinary resize reaches it.
        panel->resize(150, 60);
        QApplication::processEvents();
        EXPECT_EQ(counter.calls, 2) << shown;
    }
}

TEST(SetMinWidthQuietly, GrowsTheControlAndCallsTheHookOnce) {
    QWidget form;
    auto* panel = new TPanel(&form);
    panel->resize(50, 20);
    form.show();
    Counter counter;
    SetResizeHook(panel, counter.Hook());
    SetMinWidthQuietly(panel, 80, true);
    QApplication::processEvents();
    EXPECT_EQ(panel->width(), 80);
    EXPECT_EQ(counter.calls, 1);
    SetMinHeightQuietly(panel, 10, true);  // already higher: no change, no call
    EXPECT_EQ(panel->minimumHeight(), 10);
    EXPECT_EQ(counter.calls, 1);
    SetMinWidthQuietly(panel, -5, true);
    EXPECT_EQ(panel->minimumWidth(), 80);
}

TEST(ResizeHooks, OnlyWindowsAndPanelsHaveThem) {
    QWidget form;
    auto* panel = new TGPanel(&form);
    auto* edit = new QLineEdit(&form);
    Counter a, b;
    EXPECT_FALSE(SetResizeHook(panel, a.Hook()));
    const ResizeHook previous = HookResize(panel, b.Hook());
    ASSERT_TRUE(previous);
    previous.handler(panel);
    EXPECT_EQ(a.calls, 1);
    EXPECT_TRUE(GetResizeHook(panel));

    EXPECT_FALSE(SetResizeHook(edit, a.Hook()));
    EXPECT_FALSE(GetResizeHook(edit));
    EXPECT_TRUE(HasResizeEvent(&form));
    SetResizeHook(&form, a.Hook());
    EXPECT_TRUE(GetResizeHook(&form));
}

TEST(SetPanelStyle, SetsBevelsBorderAndLook) {
    QWidget form;
    TPanel& panel = *new TPanel(&form);
    SetPanelStyle(&panel, 2);
    EXPECT_EQ(panel.BevelInner(), TPanelBevel::bvLowered);
    EXPECT_EQ(panel.BevelOuter(), TPanelBevel::bvRaised);
    EXPECT_FALSE(panel.BorderSingle());
    SetPanelStyle(&panel, 4);
    EXPECT_TRUE(panel.BorderSingle());
    EXPECT_FALSE(panel.Ctl3D());
    EXPECT_EQ(panel.BevelInner(), TPanelBevel::bvNone);
    SetPanelStyle(&panel, 9);  // unknown: unchanged
    EXPECT_TRUE(panel.BorderSingle());
    EXPECT_EQ(FrameHeight(&panel), 2);  // a flat single border, 1 pixel each side
    SetPanelStyle(&panel, 3);
    EXPECT_EQ(FrameWidth(&panel), 0);
}

TEST(ChildRoutines, FindShiftAndMove) {
    QWidget form;
    auto* from = new TPanel(&form);
    from->setObjectName(QStringLiteral("PanelFrom"));
    auto* to = new TPanel(&form);
    auto* label = new QLabel(QStringLiteral("x"), from);
    label->setObjectName(QStringLiteral("LabelTitle"));
    label->setAutoFillBackground(true);
    label->move(5, 6);
    auto* title = new TGPanel(from);
    auto* hidden = new QLineEdit(from);
    hidden->hide();
    auto* unnamed = new QLineEdit(&form);

    EXPECT_EQ(FindStatusBar(&form), nullptr);
    auto* bar = new QStatusBar(&form);
    EXPECT_EQ(FindStatusBar(&form), bar);

    EXPECT_EQ(FindNamedChild(&form, "panelf"), from);
    EXPECT_EQ(FindNamedChild(from, "LABEL"), label);
    EXPECT_EQ(FindNamedChild(from, "Edit"), nullptr);
    EXPECT_EQ(FindNamedChild(&form, ""), from);  // the first child matches an empty prefix
    unnamed->setParent(to);
    EXPECT_EQ(FindNamedChild(to, ""), nullptr);  // a child without a name has no reference

    ShiftChildren(10, -2, from);
    EXPECT_EQ(label->pos(), QPoint(3, 16));

    MoveChildren(from, to);
    EXPECT_EQ(label->parentWidget(), to);
    EXPECT_EQ(label->pos(), QPoint(3, 16));
    EXPECT_FALSE(label->autoFillBackground());
    EXPECT_EQ(hidden->parentWidget(), to);
    EXPECT_TRUE(hidden->isHidden());
    EXPECT_EQ(title->parentWidget(), from);  // gradient panels stay
}

TEST(WindowRoutines, FitCentreAndFirstForm) {
    QWidget form;
    RegisterFirstForm(&form);
    EXPECT_EQ(FirstForm(), &form);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    FitFormToScreen();
    EXPECT_EQ(form.frameGeometry().width(), screen.width() - 40);
    EXPECT_EQ(form.frameGeometry().height(), screen.height() - 60);
    EXPECT_EQ(form.frameGeometry().topLeft(), QPoint(screen.left() + 20, screen.top() + 30));

    form.resize(201, 101);
    CentreForm(&form);
    const QSize frame = form.frameGeometry().size();
    EXPECT_EQ(form.frameGeometry().left(), screen.left() + (screen.width() - frame.width()) / 2);
    RegisterFirstForm(nullptr);
}

TEST(ControlArea, IsA64BitProduct) {
    QWidget w;
    w.setGeometry(7, 9, 60000, 50000);
    const ControlAreaT a = ControlArea(&w);
    EXPECT_EQ(a.area, int64_t{60000} * 50000);
    EXPECT_EQ(a.left, 7);
    EXPECT_EQ(a.top, 9);
    EXPECT_EQ(a.width, 60000);
}

}  // namespace
}  // namespace rowsmith::gui
