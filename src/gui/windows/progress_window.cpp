#include "gui/windows/progress_window.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QStatusBar>
#include <algorithm>

#include "gui/widgets/control_helpers.h"
#include "gui/widgets/gradient_panel.h"
#include "gui/widgets/qt_colours.h"

namespace rowsmith::gui {

namespace {

constexpr int kWidth = 456;
constexpr int kHeight = 120;
constexpr int kMinWidth = 124;
constexpr int kMargin = 8;
constexpr int kCaptionTop = 6;
constexpr int kLabelHeight = 16;
constexpr int kBarTop = 26;
constexpr int kBarHeight = 26;
constexpr int kDetailTop = 58;
constexpr int kStatusWidths[3] = {50, 80, 50};
constexpr int kCancelHeight = 20;

QFont DetailFont() {
    QFont font(QStringLiteral("Courier New"));
    font.setPointSize(8);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

QLabel* TransparentLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setAutoFillBackground(false);
    return label;
}

// A label as high as its font's lines, never less than the design height.
int LabelHeight(const QLabel* label) {
    return std::max(kLabelHeight, label->fontMetrics().height());
}

}  // namespace

std::string OneLineDetail(std::string_view detail) {
    if (!detail.empty() && detail.back() == '\n') detail.remove_suffix(1);
    if (!detail.empty() && detail.back() == '\r') detail.remove_suffix(1);
    std::string out;
    out.reserve(detail.size());
    for (std::size_t i = 0; i < detail.size(); ++i) {
        const char c = detail[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < detail.size() && detail[i + 1] == '\n') ++i;
            out += "\xE2\x86\xB5";
        } else {
            out += c;
        }
    }
    return out;
}

TGaugeWindow::TGaugeWindow(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setWindowTitle(QStringLiteral("Processing..."));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ToQColor(kClSilver));
    setPalette(pal);
    setAutoFillBackground(true);
    setMinimumSize(kMinWidth, kHeight);
    setMaximumHeight(kHeight);

    top_ = new TGPanel(this);
    top_->SetBevelInner(TPanelBevel::bvNone);
    top_->SetBevelOuter(TPanelBevel::bvNone);
    top_->SetBorderSingle(false);
    top_->SetHorizontal(false);
    top_->SetPercent(60);
    top_->SetColor_1(kClWhite);
    top_->SetColor_2(kClWhite);
    top_->SetColor_3(kClSilver);
    top_->SetColor(kClSilver);

    caption_ = TransparentLabel(top_);
    bar_area_ = new TPanel(top_);
    bar_area_->SetBevelInner(TPanelBevel::bvNone);
    bar_area_->SetBevelOuter(TPanelBevel::bvNone);
    bar_area_->SetBorderSingle(true);
    bar_area_->SetColor(kClWhite);

    filled_ = new TPanel(bar_area_);
    filled_->SetBevelOuter(TPanelBevel::bvNone);
    coloured_ = new TGPanel(bar_area_);
    coloured_->SetBevelOuter(TPanelBevel::bvNone);
    percent_ = TransparentLabel(bar_area_);
    percent_->setText(QStringLiteral("100%"));

    detail_ = TransparentLabel(top_);
    detail_->setFont(DetailFont());
    detail_->setTextFormat(Qt::PlainText);
    caption_->setTextFormat(Qt::PlainText);

    status_ = new QStatusBar(this);
    for (int i = 0; i < 3; ++i) {
        status_panels_[i] = new QLabel(status_);
        status_panels_[i]->setMinimumWidth(kStatusWidths[i]);
        status_->addWidget(status_panels_[i]);
    }
    cancel_ = new QPushButton(QStringLiteral("Cancel"), status_);
    cancel_->setObjectName(QStringLiteral("CancelButton"));
    cancel_->setToolTip(QStringLiteral(
        "Stop the run; the file being written is discarded and its destination keeps what it had (Esc)"));
    cancel_->setAutoDefault(false);
    // As high as a status panel, so that the bar keeps its height and the detail line its room.
    cancel_->setFixedHeight(kCancelHeight);
    status_->addPermanentWidget(cancel_);
    cancel_->hide();
    QObject::connect(cancel_, &QPushButton::clicked, this, [this] { RequestCancel(); });

    // Empty labels and bars until the first repaint.
    caption_->clear();
    detail_->clear();
    percent_->clear();
    shown_.filled_width = 0;
    shown_.panel_width = 0;

    const int height = NeededHeight();
    setMinimumSize(kMinWidth, height);
    setMaximumHeight(height);
    resize(kWidth, height);
    LayOut();
    CentreForm(this);
}

TGaugeWindow::~TGaugeWindow() = default;

void TGaugeWindow::SetCancelHandler(std::function<void()> handler) {
    on_cancel_ = std::move(handler);
    cancel_->setEnabled(true);
    cancel_->setText(QStringLiteral("Cancel"));
    cancel_->setVisible(static_cast<bool>(on_cancel_));
}

void TGaugeWindow::RequestCancel() {
    if (!on_cancel_ || !cancel_->isEnabled()) return;
    // The operation notices at its next check; until then the button says it was heard.
    cancel_->setEnabled(false);
    cancel_->setText(QStringLiteral("Cancelling..."));
    on_cancel_();
}

void TGaugeWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && on_cancel_) {
        RequestCancel();
        return;
    }
    QWidget::keyPressEvent(event);
}

QLabel* TGaugeWindow::StatusPanel(int index) const {
    return index >= 0 && index < 3 ? status_panels_[index] : nullptr;
}

int TGaugeWindow::BarAreaWidth() const {
    return bar_area_->ClientRect().width();
}

int TGaugeWindow::DetailCharacters() const {
    const int a = detail_->fontMetrics().horizontalAdvance(QLatin1Char('A'));
    return a > 0 ? detail_->width() / a : 0;
}

int TGaugeWindow::LabelWidth(std::string_view text) const {
    return percent_->fontMetrics().horizontalAdvance(
        QString::fromUtf8(text.data(), static_cast<int>(text.size())));
}

bool TGaugeWindow::IsVisible() const {
    return isVisible();
}

void TGaugeWindow::ProcessEvents() {
    QCoreApplication::processEvents();
}

void TGaugeWindow::Repaint(const text::GaugePaint& paint) {
    shown_ = paint;
    caption_->setText(QString::fromStdString(paint.caption));
    detail_->setText(QString::fromStdString(OneLineDetail(paint.detail)));
    detail_->setVisible(paint.show_detail);
    bar_area_->SetColor(paint.background_colour);
    filled_->SetColor(paint.light_colour);
    coloured_->SetColor(paint.panel_colour);
    coloured_->SetColor_1(paint.gradient_colour1);
    coloured_->SetColor_2(paint.gradient_colour2);
    coloured_->SetColor_3(paint.gradient_colour3);
    top_->SetColor_2(paint.light_colour);
    percent_->setText(QString::fromStdString(paint.percent_text));
    status_panels_[0]->setText(QString::fromStdString(paint.status_count));
    status_panels_[1]->setText(QString::fromStdString(paint.status_elapsed));
    status_panels_[2]->setText(QString::fromStdString(paint.status_eta));
    const bool status_changed = status_->isHidden() == paint.show_status;
    status_->setVisible(paint.show_status);
    if (status_changed) LayOut();
    PlaceBar();
    if (!isVisible()) show();
    update();
}

void TGaugeWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOut();
    NotifyResized();
}

void TGaugeWindow::LayOut() {
    const int w = width();
    const int status_height = status_->isHidden() ? 0 : status_->sizeHint().height();
    status_->setGeometry(0, height() - status_height, w, status_height);
    top_->setGeometry(0, 0, w, height() - status_height);
    const int bar_width = std::max(w - 2 * kMargin, 0);
    // The design positions, moved down as far as a larger font needs.
    const int caption_height = LabelHeight(caption_);
    const int bar_top = std::max(kBarTop, kCaptionTop + caption_height + 4);
    const int bar_height = std::max(kBarHeight, percent_->fontMetrics().height() + 4);
    caption_->setGeometry(kMargin, kCaptionTop, bar_width, caption_height);
    bar_area_->setGeometry(kMargin, bar_top, bar_width, bar_height);
    detail_->setGeometry(kMargin, std::max(kDetailTop, bar_top + bar_height + 6), bar_width, LabelHeight(detail_));
    PlaceBar();
}

int TGaugeWindow::NeededHeight() const {
    const int bar_top = std::max(kBarTop, kCaptionTop + LabelHeight(caption_) + 4);
    const int bar_bottom = bar_top + std::max(kBarHeight, percent_->fontMetrics().height() + 4);
    const int detail_bottom = std::max(kDetailTop, bar_bottom + 6) + LabelHeight(detail_);
    const int status_height = std::max(status_->sizeHint().height(), kCancelHeight);
    return std::max(kHeight, detail_bottom + 4 + status_height);
}

void TGaugeWindow::PlaceBar() {
    const int h = bar_area_->ClientRect().height();
    const QPoint origin = bar_area_->ClientRect().topLeft();
    filled_->setGeometry(origin.x(), origin.y(), shown_.filled_width, h);
    // The gradient panel starts under the left border and ends with the filled bar, leaving the
    // filled bar's light colour as a line above and below it.
    coloured_->setGeometry(origin.x() - 2, origin.y() + 1, shown_.panel_width, std::max(h - 2, 0));
    const int label_width = percent_->fontMetrics().horizontalAdvance(percent_->text()) + 2;
    const int label_height = percent_->fontMetrics().height();
    const int free_height = std::max(h - label_height, 0);
    const int top =
        shown_.label_drop_percent > 0 ? free_height * shown_.label_drop_percent / 100 : free_height / 2;
    percent_->setGeometry(origin.x() + shown_.label_left, origin.y() + top, label_width, label_height);
    percent_->raise();
}

std::unique_ptr<text::GaugeView> GaugeWindowFactory::CreateGaugeView() {
    auto window = std::make_unique<TGaugeWindow>();
    if (OnCancel) window->SetCancelHandler(OnCancel);
    return window;
}

}  // namespace rowsmith::gui
