#include "gui/layout/panel_layout.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QStatusBar>
#include <algorithm>

#include "gui/widgets/gradient_panel.h"
#include "gui/logic/panel_layout_math.h"
#include "gui/widgets/qt_colours.h"

namespace rowsmith::gui {

namespace {

constexpr char kTitlePrefix[] = "titlebar__";
constexpr char kBackgroundPrefix[] = "background__";
constexpr char kButtonHint[] = "Collapse/Restore this panel's size";

bool ValidSlot(const TeasyPanel& l, int slot) {
    return slot >= 0 && slot < kSlotCount && l.Slots[static_cast<std::size_t>(slot)].Panel != nullptr;
}

EasySlotT& SlotAt(TeasyPanel& l, int slot) {
    return l.Slots[static_cast<std::size_t>(slot)];
}

std::vector<int> RegisteredSlotList(const TeasyPanel& l) {
    std::vector<int> found;
    for (char c : l.RegisteredSlots) found.push_back(SlotFromChar(c));
    return found;
}

std::vector<int> VisibleSlots(const TeasyPanel& l) {
    if (l.Maximised) return {};
    return OrderedSlots(l.OrderText, l.RegisteredSlots);
}

bool IsVisibleSlot(const TeasyPanel& l, int slot) {
    const std::vector<int> visible = VisibleSlots(l);
    return std::find(visible.begin(), visible.end(), slot) != visible.end();
}

bool AnySolo(const TeasyPanel& l) {
    for (int slot : RegisteredSlotList(l))
        if (l.Slots[static_cast<std::size_t>(slot)].Solo) return true;
    return false;
}

bool TitleBarShown(const EasySlotT& s) {
    return s.TitleBar != nullptr && s.TitleBar->isVisibleTo(s.Panel);
}

bool MainShown(const TeasyPanel& l) {
    return l.MainControl && l.Container && l.MainControl->isVisibleTo(l.Container);
}

int32_t MainMinHeight(const TeasyPanel& l) {
    return std::max(l.MainControl->minimumHeight(), l.MainUsableHeight);
}

int32_t StatusBarHeight(const TeasyPanel& l) {
    return (l.StatusBar && l.Container && l.StatusBar->isVisibleTo(l.Container)) ? l.StatusBar->height() : 0;
}

// Everything between the panel's outer edge and the area its pieces fill: border and bevels.
int32_t FrameInset(const TPanel* p) {
    return p->ClientRect().top() + PanelInset(p->BevelInner(), p->BevelOuter(), p->BevelWidth());
}

QRect InnerRect(const TPanel* p) {
    const int b = PanelInset(p->BevelInner(), p->BevelOuter(), p->BevelWidth());
    return p->ClientRect().adjusted(b, b, -b, -b);
}

// The band above a panel's controls: its title bar, or without one a strip that holds the corner
// collapse button, so that the button covers none of the controls.
int32_t TopStripHeight(const TeasyPanel& l, const EasySlotT& s) {
    if (TitleBarShown(s)) return l.TitleBarHeight;
    return s.Collapsible ? l.CornerButtonHeight : 0;
}

int32_t CollapsedHeightOf(const TeasyPanel& l, const EasySlotT& s) {
    return CollapsedHeight(TitleBarShown(s), l.CollapsedMax, l.TitleBarHeight, FrameInset(s.Panel),
                           l.CornerButtonHeight);
}

std::string CurrentSpec(const TeasyPanel& l, const EasySlotT& s, bool any_solo) {
    if (ChooseSpec(any_solo, s.Solo, s.Collapsed, s.Collapsible) == SpecChoice::Collapsed)
        return CollapsedSpec(CollapsedHeightOf(l, s), l.CollapsedMax);
    const int32_t top = TopStripHeight(l, s);
    return StoredSpec(s.SizeSpec, s.Panel->minimumHeight(), top > 0, top);
}

void UpdateBackgroundEnabled(EasySlotT& s) {
    s.Background->setEnabled(s.Enabled && !s.Collapsed);
    s.Background->SetActive(s.Enabled);
}

void ApplyColours(const TeasyPanel& l, EasySlotT& s, int32_t colour) {
    const SlotColoursT c = SlotColours(colour, l.GradientTitles);
    TGPanel* bg = s.Background;
    bg->SetColor(c.background);
    bg->SetColor_1(c.background_1);
    bg->SetColor_2(c.background_2);
    bg->SetColor_3(c.background_3);
    bg->SetPercent(c.background_percent);
    bg->SetHorizontal(false);
    s.TitleButton->SetColor(c.buttons);
    s.CornerButton->SetColor(c.buttons);
    s.TitleBar->SetColor(c.title_bar);
    s.TitleBar->SetColor_1(c.title_1);
    s.TitleBar->SetColor_2(c.title_2);
    s.TitleBar->SetColor_3(c.title_3);
}

// A raised square with a chevron: up while the panel is open (a click folds it), down while folded.
class CollapseButton final : public TPanel {
  public:
    using TPanel::TPanel;
    void SetFolded(bool folded) {
        if (folded_ == folded) return;
        folded_ = folded;
        update();
    }

  protected:
    void PaintOver(QPainter& painter) override {
        const QRect area = ClientRect().adjusted(2, 2, -2, -2);
        if (area.width() < 4 || area.height() < 3) return;
        const qreal half = std::min(area.width(), area.height() * 2) / 2.0 - 0.5;
        const QPointF centre = QRectF(area).center();
        // The tip above the arms while open, below them while folded.
        const qreal lift = (folded_ ? -half : half) / 2;
        const QPointF points[] = {{centre.x() - half, centre.y() + lift},
                                  {centre.x(), centre.y() - lift},
                                  {centre.x() + half, centre.y() + lift}};
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        QPen pen(palette().color(QPalette::WindowText), std::max(1.5, area.height() / 5.0));
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.setPen(pen);
        painter.drawPolyline(points, 3);
        painter.restore();
    }

  private:
    bool folded_ = false;
};

// Title bar across the top, background below it, bevel, label and the two collapse buttons.
void PlaceSlot(const TeasyPanel& l, EasySlotT& s) {
    if (s.Panel == nullptr || s.TitleBar == nullptr) return;
    const QRect inner = InnerRect(s.Panel);
    const bool title = TitleBarShown(s);
    s.TitleBar->setGeometry(inner.left(), inner.top(), inner.width(), l.TitleBarHeight);
    const int bg_top = inner.top() + TopStripHeight(l, s);
    s.Background->setGeometry(inner.left(), bg_top, inner.width(), std::max(0, inner.bottom() + 1 - bg_top));
    s.Background->lower();

    ButtonInputT in;
    in.solo = s.Solo;
    in.any_solo = AnySolo(l);
    in.collapsed = s.Collapsed;
    in.collapsible = s.Collapsible;
    in.title_bar_visible = title;
    in.panel_height = s.Panel->height();
    s.TitleLabel->adjustSize();
    in.label_height = s.TitleLabel->height();
    in.collapsed_max = l.CollapsedMax;
    in.title_bar_height = l.TitleBarHeight;
    in.title_bar_bevel_width = s.TitleBar->BevelWidth();
    in.bevel_height = l.BevelHeight;
    in.column_width = std::max(l.ColumnWidth, s.Panel->width());
    in.corner_button_width = l.CornerButtonWidth;
    in.corner_button_height = l.CornerButtonHeight;
    const ButtonPlacementT p = PlaceButtons(in);

    s.Bevel->setGeometry(0, l.TitleBarHeight - l.BevelHeight, inner.width(), l.BevelHeight);
    s.Bevel->setVisible(p.bevel_visible);
    s.TitleLabel->move(5, p.label_top);
    // The button's place is given in panel coordinates; the title bar starts at the inner rectangle.
    s.TitleButton->setGeometry(p.title_button.left - inner.left(), p.title_button.top, p.title_button.width,
                               std::max(0, p.title_button.height));
    s.TitleButton->setVisible(p.title_button_visible);
    s.CornerButton->setGeometry(p.corner_button.left, p.corner_button.top, p.corner_button.width,
                                p.corner_button.height);
    s.CornerButton->setVisible(p.corner_button_visible);
    s.CornerButton->raise();
    static_cast<CollapseButton*>(s.TitleButton)->SetFolded(s.Collapsed);
    static_cast<CollapseButton*>(s.CornerButton)->SetFolded(s.Collapsed);
    // Folded to a strip, the panel shows none of its controls (a title bar would cover them, but
    // without one the strip would cut through them).
    s.Background->setVisible(ChooseSpec(in.any_solo, s.Solo, s.Collapsed, s.Collapsible) !=
                             SpecChoice::Collapsed);
}

// Each step is shown and held for more than 8 ms; the wait polls the clock.
void AnimateHeights(const TeasyPanel& l, EasySlotT& s, const std::vector<int32_t>& frames) {
    TPanel* p = s.Panel;
    for (int32_t h : frames) {
        SetBoundsQuietly(p, p->width(), std::max(h, 0), p->x(), p->y(), false);
        PlaceSlot(l, s);
        p->repaint();
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() <= 8) {
        }
    }
}

class LayoutEvents final : public QObject {
  public:
    LayoutEvents(TeasyPanel* layout, QObject* parent) : QObject(parent), layout_(layout) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        enum class Role { None, Title, Button, Panel } role = Role::None;
        int slot = -1;
        for (int i = 0; i < kSlotCount && role == Role::None; ++i) {
            const EasySlotT& s = layout_->Slots[static_cast<std::size_t>(i)];
            if (s.Panel == nullptr) continue;
            slot = i;
            if (watched == s.TitleBar)
                role = Role::Title;
            else if (watched == s.TitleButton || watched == s.CornerButton)
                role = Role::Button;
            else if (watched == s.Panel)
                role = Role::Panel;
        }
        if (role == Role::None) return false;
        switch (event->type()) {
            case QEvent::Resize:
                if (role == Role::Panel) PlaceSlot(*layout_, SlotAt(*layout_, slot));
                return false;
            case QEvent::MouseButtonDblClick:
                if (role == Role::Title) {
                    ToggleSolo(*layout_, slot);
                    return true;
                }
                return role == Role::Button;
            case QEvent::MouseButtonPress:
                return role == Role::Button;
            case QEvent::MouseButtonRelease: {
                if (role != Role::Button) return false;
                auto* mouse = static_cast<QMouseEvent*>(event);
                auto* button = static_cast<QWidget*>(watched);
                if (mouse->button() == Qt::LeftButton && button->rect().contains(mouse->position().toPoint()))
                    ToggleCollapse(*layout_, slot, true, true);
                return true;
            }
            case QEvent::ContextMenu:
                if (role == Role::Panel) return false;
                layout_->MenuSlot = slot;
                if (layout_->TitleMenu != nullptr)
                    layout_->TitleMenu->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
                return true;
            default:
                return false;
        }
    }

  private:
    TeasyPanel* layout_;
};

TPanel* MakeCollapseButton(QWidget* parent, QObject* events) {
    auto* b = new CollapseButton(parent);
    b->setToolTip(QString::fromLatin1(kButtonHint));
    b->SetCaption(QString());
    b->SetBevelInner(TPanelBevel::bvNone);
    b->SetBevelOuter(TPanelBevel::bvRaised);
    b->SetBevelWidth(1);
    b->SetBorderSingle(false);
    b->setCursor(Qt::PointingHandCursor);
    b->installEventFilter(events);
    b->show();
    return b;
}

// Title bar, label, bevel, background (which takes the panel's children) and collapse buttons.
void CreatePieces(TeasyPanel& l, EasySlotT& s) {
    TPanel* panel = s.Panel;
    const QString name = panel->objectName();

    auto* title = new TGPanel(panel);
    title->setObjectName(QString::fromLatin1(kTitlePrefix) + name);
    title->SetCaption(QString());
    title->SetHorizontal(false);
    title->SetPercent(20);
    title->SetBevelInner(TPanelBevel::bvNone);
    title->SetBevelOuter(TPanelBevel::bvNone);
    title->SetBorderSingle(false);
    const QRect inner = InnerRect(panel);
    title->setGeometry(inner.left(), inner.top(), panel->width(), l.TitleBarHeight);
    title->installEventFilter(l.Events);
    s.TitleBar = title;

    auto* label = new QLabel(QString::fromStdString(TitleFromCaption(panel->Caption().toStdString())), title);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setAutoFillBackground(false);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette pal = label->palette();
    // Chosen once, against the title bar's first colour as it is created.
    pal.setColor(QPalette::WindowText, ToQColor(TitleTextColour(title->Color_1())));
    label->setPalette(pal);
    label->adjustSize();
    label->move(5, std::max(0, (l.TitleBarHeight - label->height()) / 2));
    s.TitleLabel = label;

    auto* bevel = new QFrame(title);
    bevel->setFrameShape(QFrame::Box);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setLineWidth(1);
    bevel->setGeometry(0, l.TitleBarHeight - l.BevelHeight, panel->width(), l.BevelHeight);
    s.Bevel = bevel;

    panel->resize(panel->width(), panel->height() + l.TitleBarHeight);
    title->show();
    if (!l.TitleBarsShown) {
        panel->resize(panel->width(), panel->height() - l.TitleBarHeight);
        title->hide();
    }

    auto* background = new TGPanel(panel);
    background->setObjectName(QString::fromLatin1(kBackgroundPrefix) + name);
    background->SetBevelInner(TPanelBevel::bvNone);
    background->SetBevelOuter(TPanelBevel::bvNone);
    background->setCursor(panel->cursor());
    background->lower();
    MoveChildren(panel, background);
    background->show();
    s.Background = background;

    s.TitleButton = MakeCollapseButton(title, l.Events);
    s.CornerButton = MakeCollapseButton(panel, l.Events);
}

void ResetLayout(TeasyPanel& l) {
    l.LayoutKind = 1;
    l.HorizontalTop = 1;
    l.UsedHeight = 0;
    l.LeftMargin = l.TopMargin = l.Gap = l.RightMargin = l.BottomMargin = 8;
    l.TitleBarHeight = 24;
    l.OrderText.clear();
    l.Active = 0;
    l.CollapsedMax = 24;
    l.BevelHeight = 2;
    l.CollapseButtons = 1;
    l.TitleBarsShown = 1;
    l.GradientTitles = 1;
    l.ColumnWidth = 0;
    l.SlotCount = 0;
    l.Slack = 0;
    l.Animate = 1;
    l.Maximised = 0;
    l.CornerButtonHeight = 12;
    l.CornerButtonWidth = 12;
    l.MainUsableWidth = 200;
    l.MainUsableHeight = 150;
    l.ParentRelayout = nullptr;
    l.RegisteredSlots.clear();
    l.ColumnsUsed = 0;
    l.AvailableHeight = 0;
    l.MainRemaining = 0;
    l.PanelsFit = 0;
    l.TitleMenu = nullptr;
    l.MinColumns = 2;
    l.MinHeightCache.clear();
    l.MinHeightColumns = 0;
    l.Container = nullptr;
    l.MainControl = nullptr;
    l.SavedResizeHook = {};
    l.StatusBar = nullptr;
    l.Slots.fill(EasySlotT{});
    l.MenuSlot = -1;
}

QList<QWidget*> ChildWidgets(const QWidget* container) {
    QList<QWidget*> out;
    for (QObject* o : container->children())
        if (auto* w = qobject_cast<QWidget*>(o); w != nullptr && !w->isWindow()) out.push_back(w);
    return out;
}

bool IsManageable(const QWidget* w) {
    return qobject_cast<const TPanel*>(w) != nullptr && qobject_cast<const TGPanel*>(w) == nullptr;
}

// The arrangement's input from the current state: visible slots and their specs.
LayoutInputT BuildInput(TeasyPanel& l, std::vector<int>& visible) {
    visible = VisibleSlots(l);
    const bool any_solo = AnySolo(l);
    std::vector<std::string> specs(kSlotCount);
    for (int slot : RegisteredSlotList(l)) {
        EasySlotT& s = SlotAt(l, slot);
        specs[static_cast<std::size_t>(slot)] = CurrentSpec(l, s, any_solo);
        s.NaturalHeight = NaturalHeight(specs[static_cast<std::size_t>(slot)]);
    }
    LayoutInputT in;
    in.kind = l.LayoutKind == 1 ? LayoutKindT::L : LayoutKindT::Horizontal;
    in.horizontal_top = l.HorizontalTop != 0;
    in.left_margin = l.LeftMargin;
    in.top_margin = l.TopMargin;
    in.right_margin = l.RightMargin;
    in.bottom_margin = l.BottomMargin;
    in.gap = l.Gap;
    in.column_width = l.ColumnWidth;
    const QRect client = l.Container->contentsRect();
    in.client_width = client.width();
    in.available_height = client.height() - StatusBarHeight(l);
    in.columns = ColumnCount(in.client_width, l.LeftMargin, l.RightMargin, l.Gap, l.ColumnWidth);
    in.maximised = l.Maximised != 0;
    in.main_visible = MainShown(l);
    in.main_min_height = in.main_visible ? MainMinHeight(l) : 0;
    for (int slot : visible) in.specs.push_back(specs[static_cast<std::size_t>(slot)]);
    return in;
}

void BuildMenu(TeasyPanel& l) {
    if (!l.Container || !l.Events) return;
    if (l.TitleMenu != nullptr) l.TitleMenu->deleteLater();
    auto* menu = new QMenu(l.Container);
    const std::string_view current = CurrentLayoutCommand(
        l.LayoutKind == 1 ? LayoutKindT::L : LayoutKindT::Horizontal, l.HorizontalTop != 0);
    for (const MenuEntryT& e : TitleMenuEntries()) {
        if (e.caption.empty()) {
            menu->addSeparator();
            continue;
        }
        QAction* action =
            menu->addAction(QString::fromLatin1(e.caption.data(), static_cast<int>(e.caption.size())));
        const std::string command(e.command);
        action->setObjectName(QString::fromStdString(command));
        const MenuAction what = MenuActionFor(command);
        if (what == MenuAction::HorizontalTop || what == MenuAction::HorizontalBottom ||
            what == MenuAction::LLayout) {
            action->setCheckable(true);
            action->setChecked(command == current);
        }
        TeasyPanel* layout = &l;
        QObject::connect(action, &QAction::triggered, l.Events.data(),
                         [layout, command] { TitleMenuCommand(*layout, command, layout->MenuSlot); });
    }
    l.TitleMenu = menu;
}

}  // namespace

TeasyPanel::~TeasyPanel() {
    if (Container) SetResizeHook(Container, SavedResizeHook);
    delete Events.data();
}

// ---- Set-up

void SetupLayout(TeasyPanel& l, QWidget* container, bool arrange_now) {
    if (l.Container) SetResizeHook(l.Container, l.SavedResizeHook);
    delete l.Events.data();
    ResetLayout(l);
    if (container == nullptr) return;
    l.Container = container;
    const QList<QWidget*> children = ChildWidgets(container);
    for (QWidget* w : children) {
        if (IsManageable(w) && static_cast<TPanel*>(w)->Caption() == QStringLiteral(" ")) {
            l.MainControl = w;
            break;
        }
    }
    l.StatusBar = FindStatusBar(container);
    l.Events = new LayoutEvents(&l, container);
    TeasyPanel* layout = &l;
    l.SavedResizeHook = HookResize(container, ResizeHook{[layout](QWidget*) { Arrange(*layout); }});
    for (QWidget* w : children) {
        if (!IsManageable(w) || static_cast<TPanel*>(w)->Caption() == QStringLiteral(" ")) continue;
        if (RegisterPanel(l, static_cast<TPanel*>(w), "", false) < 0) break;
    }
    l.OrderText = "ord:" + l.RegisteredSlots;
    if (arrange_now) {
        l.Active = 1;
        Relayout(l, true);
    }
}

void SetupWindowLayout(TeasyPanel& l, QWidget* form, TeasyPanel& list_layout, bool arrange_now) {
    SetupLayout(l, form, arrange_now);
    TeasyPanel* layout = &l;
    QPointer<QObject> alive = l.Events;
    list_layout.ParentRelayout = [layout, alive] {
        if (alive) Relayout(*layout, true);
    };
}

void Activate(TeasyPanel& l) {
    l.Active = 1;
    Relayout(l, true);
}

int SlotOfPanel(const TeasyPanel& l, const QWidget* panel) {
    if (panel == nullptr) return -1;
    for (int i = 0; i < kSlotCount; ++i)
        if (l.Slots[static_cast<std::size_t>(i)].Panel == panel) return i;
    return -1;
}

int RegisterPanel(TeasyPanel& l, TPanel* panel, std::string_view size_spec, bool arrange_now) {
    if (panel == nullptr || !l.Container || !l.Events) return -1;
    int slot = SlotOfPanel(l, panel);
    const bool first = slot < 0;
    if (first) {
        if (static_cast<int>(l.RegisteredSlots.size()) >= kSlotCount) return -1;
        slot = static_cast<int>(l.RegisteredSlots.size());
    }
    EasySlotT& s = SlotAt(l, slot);
    s.Panel = panel;
    s.Height = s.NaturalHeight = panel->height();
    s.Colour = panel->Color();
    l.ColumnWidth = std::max(l.ColumnWidth, panel->width());
    if (first) {
        CreatePieces(l, s);
        s.Collapsible = (l.CollapseButtons && l.TitleBarsShown) ? 1 : 0;
        ApplyColours(l, s, s.Colour);
        l.RegisteredSlots += SlotChar(slot);
        panel->installEventFilter(l.Events);
    }
    const RegisteredSpecT spec = RegistrationSpec(size_spec, s.NaturalHeight);
    s.SizeSpec = spec.spec;
    s.NaturalHeight = spec.natural_height;
    if (l.TitleBarsShown) ShowTitleBar(l, slot, false);
    l.SlotCount = static_cast<int32_t>(l.RegisteredSlots.size());
    Relayout(l, arrange_now);
    PlaceSlot(l, s);
    return slot;
}

void SetOrder(TeasyPanel& l, std::string_view names, bool arrange_now) {
    std::vector<NamedSlotT> registered;
    for (int slot : RegisteredSlotList(l))
        registered.push_back({slot, SlotAt(l, slot).Panel->objectName().toStdString()});
    l.OrderText = OrderTextFromNames(names, registered);
    Relayout(l, arrange_now);
}

void SetTopMargin(TeasyPanel& l, int32_t value, bool arrange_now) {
    l.TopMargin = value;
    Relayout(l, arrange_now);
}

void SetLeftMargin(TeasyPanel& l, int32_t value, bool arrange_now) {
    l.LeftMargin = value;
    Relayout(l, arrange_now);
}

void SetRightMargin(TeasyPanel& l, int32_t value, bool arrange_now) {
    l.RightMargin = value;
    Relayout(l, arrange_now);
}

void SetBottomMargin(TeasyPanel& l, int32_t value, bool arrange_now) {
    l.BottomMargin = value;
    Relayout(l, arrange_now);
}

void SetMinColumns(TeasyPanel& l, int32_t value, bool arrange_now) {
    l.MinColumns = std::max(value, 1);
    Relayout(l, arrange_now);
}

void SetLayoutKind(TeasyPanel& l, int kind, bool horizontal_top, bool arrange_now) {
    l.LayoutKind = kind == 1 ? 1 : 0;
    l.HorizontalTop = horizontal_top ? 1 : 0;
    Relayout(l, arrange_now);
}

// ---- Title bars

void ShowTitleBar(TeasyPanel& l, int slot, bool arrange_now) {
    if (!ValidSlot(l, slot)) return;
    EasySlotT& s = SlotAt(l, slot);
    if (TitleBarShown(s)) return;
    s.TitleBar->resize(s.TitleBar->width(), l.TitleBarHeight);
    s.TitleBar->show();
    PlaceSlot(l, s);
    Relayout(l, arrange_now);
}

void HideTitleBar(TeasyPanel& l, int slot, bool arrange_now) {
    if (!ValidSlot(l, slot)) return;
    EasySlotT& s = SlotAt(l, slot);
    if (!TitleBarShown(s)) return;
    s.TitleBar->hide();
    PlaceSlot(l, s);
    Relayout(l, arrange_now);
}

void ToggleTitleBar(TeasyPanel& l, int slot, bool arrange_now) {
    if (!ValidSlot(l, slot)) return;
    if (TitleBarShown(SlotAt(l, slot)))
        HideTitleBar(l, slot, arrange_now);
    else
        ShowTitleBar(l, slot, arrange_now);
}

void HideAllTitleBars(TeasyPanel& l, bool arrange_now) {
    for (int slot : RegisteredSlotList(l)) HideTitleBar(l, slot, false);
    Relayout(l, arrange_now);
}

void ShowAllTitleBars(TeasyPanel& l, bool arrange_now) {
    for (int slot : RegisteredSlotList(l)) ShowTitleBar(l, slot, false);
    Relayout(l, arrange_now);
}

// ---- Collapse, restore, solo

void Collapse(TeasyPanel& l, int slot, bool arrange_now, bool animate) {
    if (!ValidSlot(l, slot) || !IsVisibleSlot(l, slot)) return;
    EasySlotT& s = SlotAt(l, slot);
    if (!s.Collapsible) return;
    if (s.KeptMinHeight >= 0) s.KeptMinHeight = s.Panel->minimumHeight();
    s.Panel->setMinimumHeight(0);
    s.Collapsed = 1;
    UpdateBackgroundEnabled(s);
    if (animate) {
        const int32_t target = CollapsedHeightOf(l, s);
        if (l.Animate)
            AnimateHeights(l, s, ShrinkFrames(s.Panel->height(), target));
        else
            SetBoundsQuietly(s.Panel, s.Panel->width(), target, s.Panel->x(), s.Panel->y(), false);
    }
    Relayout(l, arrange_now);
}

void Restore(TeasyPanel& l, int slot, bool arrange_now, bool animate) {
    if (!ValidSlot(l, slot)) return;
    EasySlotT& s = SlotAt(l, slot);
    if (!s.Collapsed) return;
    if (s.KeptMinHeight >= 0) s.Panel->setMinimumHeight(s.KeptMinHeight);
    s.KeptMinHeight = -1;
    s.Collapsed = 0;
    UpdateBackgroundEnabled(s);
    if (animate && l.Animate) s.RestorePending = 1;
    Relayout(l, arrange_now);
}

void ToggleCollapse(TeasyPanel& l, int slot, bool arrange_now, bool animate) {
    if (!ValidSlot(l, slot)) return;
    if (SlotAt(l, slot).Collapsed)
        Restore(l, slot, arrange_now, animate);
    else
        Collapse(l, slot, arrange_now, animate);
}

void CollapseAll(TeasyPanel& l, bool arrange_now) {
    for (int slot : RegisteredSlotList(l)) Collapse(l, slot, false, false);
    Relayout(l, arrange_now);
}

void RestoreAll(TeasyPanel& l, bool arrange_now) {
    for (int slot : RegisteredSlotList(l)) Restore(l, slot, false, false);
    Relayout(l, arrange_now);
}

namespace {

// A collapsed panel gets its minimum height back while it is shown alone and gives it up again after.
void SetSolo(EasySlotT& s, bool solo) {
    if (s.Solo == solo) return;
    s.Solo = solo ? 1 : 0;
    if (!s.Collapsed) return;
    if (solo) {
        if (s.KeptMinHeight >= 0) s.Panel->setMinimumHeight(s.KeptMinHeight);
    } else {
        s.KeptMinHeight = s.Panel->minimumHeight();
        s.Panel->setMinimumHeight(0);
    }
}

}  // namespace

void ToggleSolo(TeasyPanel& l, int slot) {
    if (!ValidSlot(l, slot)) return;
    const bool becoming = !SlotAt(l, slot).Solo;
    // One panel is shown alone at a time: another one's double click takes the place over.
    if (becoming)
        for (int other : RegisteredSlotList(l))
            if (other != slot) SetSolo(SlotAt(l, other), false);
    SetSolo(SlotAt(l, slot), becoming);
    Relayout(l, true);
}

// ---- Enabled state

void EnablePanel(TeasyPanel& l, int slot, bool arrange_now) {
    if (!ValidSlot(l, slot)) return;
    EasySlotT& s = SlotAt(l, slot);
    s.Enabled = 1;
    UpdateBackgroundEnabled(s);
    Relayout(l, arrange_now);
}

void DisablePanel(TeasyPanel& l, int slot, bool arrange_now) {
    if (!ValidSlot(l, slot)) return;
    EasySlotT& s = SlotAt(l, slot);
    s.Enabled = 0;
    UpdateBackgroundEnabled(s);
    Relayout(l, arrange_now);
}

void EnableAll(TeasyPanel& l) {
    for (int slot : RegisteredSlotList(l)) EnablePanel(l, slot, false);
    if (l.MainControl) l.MainControl->setEnabled(true);
    Relayout(l, true);
}

void DisableAll(TeasyPanel& l) {
    for (int slot : RegisteredSlotList(l)) DisablePanel(l, slot, false);
    if (l.MainControl) l.MainControl->setEnabled(false);
    Relayout(l, true);
}

// ---- Styles

void SetStyle(TeasyPanel& l, int slot, int style) {
    if (!ValidSlot(l, slot)) return;
    SetPanelStyle(SlotAt(l, slot).Panel, style);
    PlaceSlot(l, SlotAt(l, slot));
}

void SetStyleOfAll(TeasyPanel& l, int style) {
    for (int slot : RegisteredSlotList(l)) SetStyle(l, slot, style);
}

// ---- Maximising

void Maximise(TeasyPanel& l, bool arrange_now) {
    if (l.Maximised) return;
    l.Maximised = 1;
    if (l.MainControl)
        l.MainControl->move(l.LeftMargin + (l.Container ? l.Container->contentsRect().left() : 0),
                            l.MainControl->y());
    Relayout(l, arrange_now);
}

void Unmaximise(TeasyPanel& l, bool arrange_now) {
    l.Maximised = 0;
    Relayout(l, arrange_now);
}

void ToggleMaximise(TeasyPanel& l, bool arrange_now) {
    if (!MainShown(l)) return;
    if (l.Maximised)
        Unmaximise(l, arrange_now);
    else
        Maximise(l, arrange_now);
}

// ---- Arranging

void Relayout(TeasyPanel& l, bool arrange_now) {
    if (!arrange_now || !l.Active || !l.Container) return;
    BuildMenu(l);
    SetContainerMinimumSize(l);
    Arrange(l);
}

void SetContainerMinimumSize(TeasyPanel& l) {
    if (!l.Active || !l.Container) return;
    QWidget* c = l.Container;
    std::vector<int> visible;
    MinSizeInputT in;
    in.layout = BuildInput(l, visible);
    in.min_columns = l.MinColumns;
    in.height_columns = in.layout.columns;
    l.MinHeightColumns = in.layout.columns;
    // A window's minimum size is its client size; a control's includes its border.
    in.frame_width = c->isWindow() ? 0 : FrameWidth(c);
    in.frame_height = c->isWindow() ? 0 : FrameHeight(c);
    in.status_bar_height = StatusBarHeight(l);
    in.main_min_width =
        in.layout.main_visible ? std::max(l.MainControl->minimumWidth(), l.MainUsableWidth) : 0;
    in.container_name = c->objectName().toStdString();
    const int32_t width = MinimumWidth(in);
    int32_t height = CachedMinimumHeight(in, l.MinHeightCache);
    if (QWidget* title = FindNamedChild(c, kTitlePrefix); title != nullptr && title->isVisibleTo(c))
        height += title->height();
    SetMinWidthQuietly(c, std::max(width, 0), false);
    SetMinHeightQuietly(c, std::max(height, 0), false);
    if (l.ParentRelayout) l.ParentRelayout();
}

void Arrange(TeasyPanel& l) {
    if (!l.Active || !l.Container) return;
    std::vector<int> visible;
    // A width that gives another number of columns changes the height the panels need (raising the
    // minimum may grow the container, so the input is taken after it).
    if (BuildInput(l, visible).columns != l.MinHeightColumns) SetContainerMinimumSize(l);
    const LayoutInputT in = BuildInput(l, visible);
    const LayoutResultT r = ArrangeLayout(in);
    l.UsedHeight = r.used_height;
    l.ColumnsUsed = r.columns_used;
    l.AvailableHeight = in.available_height;
    l.MainRemaining = r.main_remaining;
    l.PanelsFit = r.panels_fit ? 1 : 0;
    l.Slack = r.slack;
    const QPoint origin = l.Container->contentsRect().topLeft();
    const bool any_solo = AnySolo(l);

    for (int slot : RegisteredSlotList(l))
        if (std::find(visible.begin(), visible.end(), slot) == visible.end()) SlotAt(l, slot).Panel->hide();

    std::vector<QSize> before;
    for (std::size_t i = 0; i < visible.size(); ++i) {
        EasySlotT& s = SlotAt(l, visible[i]);
        TPanel* p = s.Panel;
        before.push_back(p->size());
        s.Left = r.panels[i].left + origin.x();
        s.Top = r.panels[i].top + origin.y();
        const int height = s.RestorePending ? p->height() : r.panels[i].height;
        // A panel is a column wide, or wider where the arrangement gives it the rest of a row.
        const int width = std::max(l.ColumnWidth, r.panels[i].width);
        SetBoundsQuietly(p, width, height, s.Left, s.Top, false);
        s.TitleLabel->setText(
            QString::fromStdString(TitleWithState(s.TitleLabel->text().toStdString(), s.Enabled)));
        ApplyColours(l, s, SlotBaseColour(s.Colour, s.Enabled, any_solo && !s.Solo));
        p->show();
    }
    if (MainShown(l))
        SetBoundsQuietly(l.MainControl, r.main.width, r.main.height, r.main.left + origin.x(),
                         r.main.top + origin.y(), true);

    for (std::size_t i = 0; i < visible.size(); ++i) {
        EasySlotT& s = SlotAt(l, visible[i]);
        TPanel* p = s.Panel;
        if (p->parentWidget() != nullptr) p->parentWidget()->update();
        if (s.RestorePending) {
            s.RestorePending = 0;
            AnimateHeights(l, s, GrowFrames(p->height(), r.panels[i].height, CollapsedHeightOf(l, s)));
            SetBoundsQuietly(p, std::max(l.ColumnWidth, r.panels[i].width), r.panels[i].height, s.Left, s.Top,
                             false);
        }
        if (p->size() != before[i])
            if (const ResizeHook hook = GetResizeHook(p)) hook.handler(p);
        PlaceSlot(l, s);
    }
    if (l.SavedResizeHook) l.SavedResizeHook.handler(l.Container);
}

// ---- Menu

void TitleMenuCommand(TeasyPanel& l, std::string_view command, int slot) {
    switch (MenuActionFor(command)) {
        case MenuAction::CollapseAll:
            CollapseAll(l, true);
            break;
        case MenuAction::RestoreAll:
            RestoreAll(l, true);
            break;
        case MenuAction::ToggleTitleBar:
            ToggleTitleBar(l, slot, true);
            break;
        case MenuAction::HideAllTitleBars:
            HideAllTitleBars(l, true);
            break;
        case MenuAction::ShowAllTitleBars:
            ShowAllTitleBars(l, true);
            break;
        case MenuAction::HorizontalTop:
            SetLayoutKind(l, 0, true, true);
            break;
        case MenuAction::HorizontalBottom:
            SetLayoutKind(l, 0, false, true);
            break;
        case MenuAction::LLayout:
            SetLayoutKind(l, 1, l.HorizontalTop != 0, true);
            break;
        case MenuAction::StyleFlat:
        case MenuAction::StyleRaised:
        case MenuAction::StyleLoweredRaised:
        case MenuAction::StyleLowered:
            SetStyleOfAll(l, MenuCommandIndex(command) - MenuCommandIndex("ChangeStyleFlat"));
            // Bevels change the collapsed heights.
            Relayout(l, true);
            break;
        case MenuAction::None:
            break;
    }
}

// ---- Keys

bool ListLayoutKey(TeasyPanel& window_layout, TeasyPanel& list_layout, bool& list_was_maximised, int key,
                   Qt::KeyboardModifiers modifiers) {
    if (!(modifiers & Qt::ControlModifier)) return false;
    if (key == Qt::Key_F4) {
        if (!window_layout.Maximised) {
            list_was_maximised = list_layout.Maximised != 0;
            Maximise(list_layout, false);
            ToggleMaximise(window_layout, true);
        } else {
            if (!list_was_maximised) Unmaximise(list_layout, false);
            ToggleMaximise(window_layout, true);
        }
        Relayout(list_layout, true);
        return true;
    }
    if (key == Qt::Key_F5) {
        ToggleMaximise(list_layout, true);
        return true;
    }
    return false;
}

namespace {

// Previews the key presses of every control of the form.
class ListKeyHook final : public QObject {
  public:
    ListKeyHook(QWidget* form, TeasyPanel& window_layout, TeasyPanel& list_layout)
        : QObject(form),
          form_(form),
          window_(&window_layout),
          list_(&list_layout),
          window_alive_(window_layout.Events),
          list_alive_(list_layout.Events) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !window_alive_ || !list_alive_) return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget == nullptr || widget->window() != form_) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        return ListLayoutKey(*window_, *list_, list_was_maximised_, key->key(), key->modifiers());
    }

  private:
    QWidget* form_;
    TeasyPanel* window_;
    TeasyPanel* list_;
    QPointer<QObject> window_alive_;
    QPointer<QObject> list_alive_;
    bool list_was_maximised_ = false;
};

}  // namespace

void InstallListKeyHook(QWidget* form, TeasyPanel& window_layout, TeasyPanel& list_layout) {
    if (form == nullptr || QCoreApplication::instance() == nullptr) return;
    QCoreApplication::instance()->installEventFilter(new ListKeyHook(form, window_layout, list_layout));
}

}  // namespace rowsmith::gui
