#include "gui/widgets/control_helpers.h"

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextEdit>

#include "gui/widgets/gradient_panel.h"
#include "gui/widgets/gradient_button.h"
#include "gui/widgets/qt_colours.h"

namespace rowsmith::gui {

namespace {

constexpr char kFileGridMark[] = "rowsmithFileGrid";
constexpr char kCtl3DProperty[] = "ctl3D";
constexpr char kSliderVisibleProperty[] = "sliderVisible";
constexpr char kHookName[] = "rowsmith_resize_hook";
// A slider without its handle; the groove has to be styled as well for the handle rule to apply.
constexpr char kHiddenSliderSheet[] =
    "QSlider::groove { border: 1px solid gray; height: 4px; width: 4px; }"
    "QSlider::handle { background: transparent; border: none; width: 0px; height: 0px; }";

QPointer<QWidget>& RegisteredFirstForm() {
    static QPointer<QWidget> form;
    return form;
}

// Direct child controls in creation order, windows of their own left out.
QList<QWidget*> ChildControls(const QWidget* container) {
    QList<QWidget*> out;
    for (QObject* o : container->children())
        if (auto* w = qobject_cast<QWidget*>(o); w != nullptr && !w->isWindow()) out.push_back(w);
    return out;
}

bool IsExactly(const QWidget* w, const char* class_name) {
    return qstrcmp(w->metaObject()->className(), class_name) == 0;
}

void SetRoleColour(QWidget* w, QPalette::ColorRole role, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(role, colour);
    w->setPalette(p);
}

QPalette::ColorRole FillRole(ControlKind kind) {
    return kind == ControlKind::CheckBox ? QPalette::Window : QPalette::Base;
}

void ApplyFill(QWidget* control, ControlKind kind, ColourRule::Fill fill, int32_t disabled_colour) {
    using Fill = ColourRule::Fill;
    QColor colour;
    switch (fill) {
        case Fill::Unchanged:
            return;
        case Fill::WindowBackground:
            colour = QApplication::palette().color(QPalette::Base);
            break;
        case Fill::Disabled:
            colour = ToQColor(disabled_colour);
            break;
        case Fill::Parent:
            colour = control->parentWidget() != nullptr
                         ? control->parentWidget()->palette().color(QPalette::Window)
                         : QApplication::palette().color(QPalette::Window);
            break;
    }
    const QPalette::ColorRole role = FillRole(kind);
    SetRoleColour(control, role, colour);
    if (kind == ControlKind::ComboBox) SetRoleColour(control, QPalette::Button, colour);
    // A check box on a gradient background shows the gradient through: its parent's colour is the
    // gradient there, and a flat fill would paint a patch over it. Elsewhere it fills with its colour.
    if (role == QPalette::Window) {
        const bool on_gradient = fill == Fill::Parent && qobject_cast<TGPanel*>(control->parentWidget()) != nullptr &&
                                 static_cast<TGPanel*>(control->parentWidget())->Active();
        control->setAutoFillBackground(!on_gradient);
    }
}

void ApplyBorderSingle(QWidget* control) {
    if (auto* line = qobject_cast<QLineEdit*>(control)) {
        line->setFrame(true);
    } else if (auto* frame = qobject_cast<QFrame*>(control)) {
        frame->setFrameShape(QFrame::StyledPanel);
        frame->setFrameShadow(QFrame::Sunken);
    }
}

QScreen* ScreenOf(const QWidget* w) {
    QScreen* s = w != nullptr ? w->screen() : nullptr;
    return s != nullptr ? s : QGuiApplication::primaryScreen();
}

void SwitchAutoScrollOff(QWidget* w) {
    if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) {
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
}

void RecolourChildren(QWidget* container) {
    const int32_t disabled = DisabledColourFrom(FromQColor(container->palette().color(QPalette::Window)));
    for (QWidget* child : ChildControls(container)) {
        if (IsPanel(child)) RecolourChildren(child);
        ColourByEnabled(child, disabled);
    }
}

// Holds a control's resize hook. It remembers the last size it reported so that a quiet size change,
// whose resize event the toolkit may deliver later (hidden controls), does not reach the hook.
class ResizeHookFilter final : public QObject {
  public:
    explicit ResizeHookFilter(QWidget* control) : QObject(control), known_(control->size()) {
        setObjectName(kHookName);
        control->installEventFilter(this);
    }

    ResizeHook hook;
    bool detached = false;
    void Know(QSize size) { known_ = size; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize && watched == parent()) {
            const QSize size = static_cast<QResizeEvent*>(event)->size();
            if (size != known_) {
                known_ = size;
                if (!detached && hook) {
                    // The handler may replace the hook: call a copy.
                    const ResizeHook call = hook;
                    call.handler(static_cast<QWidget*>(watched));
                }
            }
        }
        return false;
    }

  private:
    QSize known_;
};

ResizeHookFilter* FilterOf(const QWidget* control) {
    return control->findChild<ResizeHookFilter*>(kHookName, Qt::FindDirectChildrenOnly);
}

// Runs a size change with the hook detached and calls it afterwards when due.
template <typename Change>
ResizeHook ChangeQuietly(QWidget* control, bool call_hook, Change change) {
    ResizeHookFilter* filter = FilterOf(control);
    const ResizeHook hook = filter != nullptr ? filter->hook : ResizeHook{};
    if (filter != nullptr) filter->detached = true;
    const QSize before = control->size();
    change();
    const QSize after = control->size();
    if (filter != nullptr) filter->Know(after);
    if (ResizeHookDue(call_hook, static_cast<bool>(hook), {before.width(), before.height()},
                      {after.width(), after.height()}))
        hook.handler(control);
    if (filter != nullptr) {
        filter->detached = false;
        filter->Know(control->size());
    }
    return hook;
}

// Paints the frame over its control and follows the control's size and focus.
class FocusFrameWidget final : public QWidget {
  public:
    explicit FocusFrameWidget(QWidget* control) : QWidget(control) {
        setObjectName(QStringLiteral("FocusFrame"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        setGeometry(control->rect());
        setVisible(control->hasFocus());
        control->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parentWidget()) {
            switch (event->type()) {
                case QEvent::Resize:
                    setGeometry(parentWidget()->rect());
                    break;
                case QEvent::FocusIn:
                    raise();
                    show();
                    break;
                case QEvent::FocusOut:
                case QEvent::EnabledChange:
                    setVisible(parentWidget()->hasFocus() && parentWidget()->isEnabled());
                    break;
                default:
                    break;
            }
        }
        return QWidget::eventFilter(watched, event);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setBrush(Qt::NoBrush);
        // Two pixels dark, one light inside: one of them contrasts with whatever the control paints.
        p.setPen(QPen(QColor(0, 0, 0), 2));
        p.drawRect(QRectF(rect()).adjusted(3, 3, -3, -3));
        p.setPen(QPen(QColor(255, 255, 255), 1));
        p.drawRect(QRectF(rect()).adjusted(4.5, 4.5, -4.5, -4.5));
    }
};

}  // namespace

QWidget* InstallFocusFrame(QWidget* control) {
    if (control == nullptr) return nullptr;
    return new FocusFrameWidget(control);
}

bool OwnEnabled(const QWidget* control) {
    return control != nullptr && !control->testAttribute(Qt::WA_ForceDisabled);
}

// ---- Settings routines

bool IsChecked(const QWidget* control) {
    if (const auto* box = qobject_cast<const QCheckBox*>(control)) return box->isChecked() && OwnEnabled(box);
    if (const auto* radio = qobject_cast<const QRadioButton*>(control))
        return radio->isChecked() && OwnEnabled(radio);
    return false;
}

bool EditHasValue(const QWidget* edit, bool require_text) {
    const bool enabled = OwnEnabled(edit);
    if (!require_text || !enabled) return enabled;
    if (const auto* line = qobject_cast<const QLineEdit*>(edit)) return !line->text().isEmpty();
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(edit)) return !plain->toPlainText().isEmpty();
    if (const auto* rich = qobject_cast<const QTextEdit*>(edit)) return !rich->toPlainText().isEmpty();
    return enabled;
}

void EnableByCheck(QWidget* edit, const QWidget* check_box) {
    if (edit != nullptr) edit->setEnabled(IsChecked(check_box));
}

void RecolourControls() {
    if (QWidget* form = FirstForm()) RecolourControlsOf(form);
}

void RecolourControlsOf(QWidget* form) {
    if (form != nullptr) RecolourChildren(form);
}

ControlKind KindOf(const QWidget* control) {
    if (control == nullptr) return ControlKind::Other;
    if (qobject_cast<const TGradBtn*>(control)) return ControlKind::GradientButton;
    if (const auto* line = qobject_cast<const QLineEdit*>(control)) {
        if (!line->inputMask().isEmpty()) return ControlKind::MaskedEdit;
        return IsFolderEditName(control->objectName().toStdString()) ? ControlKind::FolderEdit
                                                                     : ControlKind::Edit;
    }
    if (qobject_cast<const QPlainTextEdit*>(control) || qobject_cast<const QTextEdit*>(control))
        return IsFolderEditName(control->objectName().toStdString()) ? ControlKind::FolderEdit
                                                                     : ControlKind::Edit;
    if (qobject_cast<const QComboBox*>(control)) return ControlKind::ComboBox;
    if (qobject_cast<const QCheckBox*>(control)) return ControlKind::CheckBox;
    if (qobject_cast<const QAbstractSpinBox*>(control)) return ControlKind::SpinEdit;
    if (qobject_cast<const QSlider*>(control)) return ControlKind::TrackBar;
    if (control->property(kFileGridMark).toBool()) return ControlKind::FileGrid;
    if (qobject_cast<const QTableView*>(control)) return ControlKind::StringGrid;
    return ControlKind::Other;
}

void MarkFileGrid(QWidget* grid) {
    if (grid != nullptr) grid->setProperty(kFileGridMark, true);
}

bool IsPanel(const QWidget* control) {
    if (control == nullptr) return false;
    return qobject_cast<const TPanel*>(control) || qobject_cast<const QGroupBox*>(control) ||
           qobject_cast<const QSplitter*>(control) || qobject_cast<const QStackedWidget*>(control) ||
           qobject_cast<const QTabWidget*>(control) || qobject_cast<const QScrollArea*>(control) ||
           IsExactly(control, "QWidget") || IsExactly(control, "QFrame");
}

void ColourByEnabled(QWidget* control, int32_t disabled_colour) {
    if (control == nullptr) return;
    const ControlKind kind = KindOf(control);
    const ColourRule rule = ColourRuleFor(kind, OwnEnabled(control));
    using Switch = ColourRule::Switch;

    ApplyFill(control, kind, rule.fill, disabled_colour);
    // The toolkit draws these controls in one look; the setting is kept for styles that tell them apart.
    if (rule.ctl3d != Switch::Unchanged) control->setProperty(kCtl3DProperty, rule.ctl3d == Switch::On);
    if (rule.border_single) ApplyBorderSingle(control);
    if (rule.slider != Switch::Unchanged) {
        const bool shown = rule.slider == Switch::On;
        control->setProperty(kSliderVisibleProperty, shown);
        control->setStyleSheet(shown ? QString() : QString(kHiddenSliderSheet));
    }
    if (rule.band_white != Switch::Unchanged) {
        const QColor second =
            rule.band_white == Switch::On ? QColor(Qt::white) : control->palette().color(QPalette::Base);
        SetRoleColour(control, QPalette::AlternateBase, second);
    }
    if (rule.start_button) ColourStartButton(qobject_cast<TGradBtn*>(control), disabled_colour);
}

void ColourStartButton(TGradBtn* button, int32_t colour) {
    if (button == nullptr) return;
    const bool enabled = OwnEnabled(button);
    button->SetBeginColor(enabled ? colour : kClSilver);
    button->SetEndColor(enabled ? kClWhite : kClGrey);
    QFont font = button->font();
    font.setBold(enabled);
    button->setFont(font);
}

// ---- Window routines

void RegisterFirstForm(QWidget* form) {
    RegisteredFirstForm() = form;
}

QWidget* FirstForm() {
    if (QWidget* form = RegisteredFirstForm()) return form;
    QWidget* any = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = w->windowType();
        if (type != Qt::Window && type != Qt::Dialog) continue;
        if (qobject_cast<QMainWindow*>(w)) return w;
        if (any == nullptr) any = w;
    }
    return any;
}

void FitFormToScreen() {
    FitFormToScreen(FirstForm());
}

void FitFormToScreen(QWidget* form) {
    if (form == nullptr) return;
    const QRect screen = ScreenOf(form)->geometry();
    const SizeT size = FitFormSize(screen.width(), screen.height());
    // The size counts the window frame.
    const QSize frame = form->frameGeometry().size() - form->size();
    form->resize(std::max(size.width - frame.width(), 0), std::max(size.height - frame.height(), 0));
    CentreForm(form);
    SwitchAutoScrollOff(form);
}

void CentreForm(QWidget* form) {
    if (form == nullptr) return;
    const QRect screen = ScreenOf(form)->geometry();
    const QSize size = form->frameGeometry().size();
    const PointT at = CentredOrigin(screen.width(), screen.height(), size.width(), size.height());
    form->move(screen.left() + at.x, screen.top() + at.y);
}

void DoubleBufferAll() {
    for (QWidget* form : QApplication::topLevelWidgets()) {
        form->setAttribute(Qt::WA_PaintOnScreen, false);
        for (QWidget* w : form->findChildren<QWidget*>()) w->setAttribute(Qt::WA_PaintOnScreen, false);
    }
}

// ---- Layout routines

void SetPanelStyle(QWidget* panel, int style) {
    auto* p = qobject_cast<TPanel*>(panel);
    const std::optional<PanelStyleT> s = PanelStyleFor(style);
    if (p == nullptr || !s) return;
    p->SetBevelInner(s->inner);
    p->SetBevelOuter(s->outer);
    p->SetBorderSingle(s->border_single);
    p->SetCtl3D(s->ctl3d);
}

int FrameHeight(const QWidget* control) {
    if (control == nullptr) return 0;
    if (control->isWindow()) return control->frameGeometry().height() - control->height();
    return control->height() - control->contentsRect().height();
}

int FrameWidth(const QWidget* control) {
    if (control == nullptr) return 0;
    if (control->isWindow()) return control->frameGeometry().width() - control->width();
    return control->width() - control->contentsRect().width();
}

QStatusBar* FindStatusBar(const QWidget* container) {
    if (container == nullptr) return nullptr;
    for (QWidget* child : ChildControls(container))
        if (auto* bar = qobject_cast<QStatusBar*>(child)) return bar;
    return nullptr;
}

void ShiftChildren(int vertical_offset, int horizontal_offset, QWidget* container) {
    if (container == nullptr) return;
    for (QWidget* child : ChildControls(container))
        child->move(child->x() + horizontal_offset, child->y() + vertical_offset);
}

void MoveChildren(QWidget* from, QWidget* to) {
    if (from == nullptr || to == nullptr || from == to) return;
    for (QWidget* child : ChildControls(from)) {
        if (qobject_cast<TGPanel*>(child)) continue;
        const bool hidden = child->isHidden();
        const QPoint at = child->pos();
        // Reparenting hides a control; it keeps its place and visibility in the new container.
        child->setParent(to);
        child->move(at);
        if (!hidden) child->show();
        if (qobject_cast<QLabel*>(child)) {
            child->setAutoFillBackground(false);
            child->setAttribute(Qt::WA_NoSystemBackground, true);
        }
    }
}

QWidget* FindNamedChild(const QWidget* container, std::string_view prefix) {
    if (container == nullptr) return nullptr;
    for (QWidget* child : ChildControls(container)) {
        const QString name = child->objectName();
        if (!NameHasPrefix(name.toStdString(), prefix)) continue;
        if (name.isEmpty()) return nullptr;
        QWidget* owner = child->window();
        return owner->findChild<QWidget*>(name);
    }
    return nullptr;
}

bool HasResizeEvent(const QWidget* control) {
    return control != nullptr && (control->isWindow() || IsPanel(control));
}

ResizeHook GetResizeHook(const QWidget* control) {
    if (!HasResizeEvent(control)) return {};
    const ResizeHookFilter* filter = FilterOf(control);
    return filter != nullptr ? filter->hook : ResizeHook{};
}

ResizeHook SetResizeHook(QWidget* control, ResizeHook hook) {
    if (!HasResizeEvent(control)) return {};
    ResizeHookFilter* filter = FilterOf(control);
    if (filter == nullptr) filter = new ResizeHookFilter(control);
    ResizeHook previous = std::move(filter->hook);
    filter->hook = std::move(hook);
    return previous;
}

ResizeHook HookResize(QWidget* control, ResizeHook hook) {
    if (!HasResizeEvent(control)) return {};
    if (QLayout* layout = control->layout()) layout->setSizeConstraint(QLayout::SetNoConstraint);
    if (control->isWindow()) SwitchAutoScrollOff(control);
    return SetResizeHook(control, std::move(hook));
}

ResizeHook SetBoundsQuietly(QWidget* control, int width, int height, int left, int top, bool call_hook) {
    if (control == nullptr) return {};
    return ChangeQuietly(control, call_hook, [&] {
        if (control->isWindow()) {
            control->resize(width, height);
            control->move(left, top);
        } else {
            control->setGeometry(left, top, width, height);
        }
    });
}

ResizeHook SetMinWidthQuietly(QWidget* control, int value, bool call_hook) {
    if (control == nullptr) return {};
    if (value < 0) return GetResizeHook(control);
    return ChangeQuietly(control, call_hook, [&] { control->setMinimumWidth(value); });
}

ResizeHook SetMinHeightQuietly(QWidget* control, int value, bool call_hook) {
    if (control == nullptr) return {};
    if (value < 0) return GetResizeHook(control);
    return ChangeQuietly(control, call_hook, [&] { control->setMinimumHeight(value); });
}

ControlAreaT ControlArea(const QWidget* control) {
    if (control == nullptr) return {};
    ControlAreaT a;
    a.width = control->width();
    a.height = control->height();
    a.left = control->x();
    a.top = control->y();
    a.area = int64_t{a.width} * a.height;
    return a;
}

}  // namespace rowsmith::gui
