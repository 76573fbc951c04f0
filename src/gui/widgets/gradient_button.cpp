#include "gui/widgets/gradient_button.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QShortcutEvent>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include "gui/widgets/qt_colours.h"

namespace rowsmith::gui {

namespace {

struct DrawnCaption {
    QString measured;  // what is measured
    QString drawn;     // the same with the toolkit's mnemonic mark before the accelerator
};

DrawnCaption CaptionTexts(const QString& caption) {
    const MeasuringCaptionT m = MeasuringCaption(caption.toStdString());
    DrawnCaption out;
    out.measured = QString::fromStdString(m.text);
    const QString before = QString::fromStdString(m.text.substr(0, std::min(m.accelerator, m.text.size())));
    const QString after = out.measured.mid(before.size());
    out.drawn = QString(before).replace('&', "&&");
    if (m.accelerator != std::string::npos) out.drawn += '&';
    out.drawn += QString(after).replace('&', "&&");
    return out;
}

}  // namespace

TGradBtn::TGradBtn(QWidget* parent) : QWidget(parent) {
    const QPalette& pal = QApplication::palette();
    btn_hilite_ = txt_hilite_ = FromQColor(pal.color(QPalette::Light));
    btn_shadow_ = txt_shadow_ = FromQColor(pal.color(QPalette::Dark));
    disabled_ = FromQColor(pal.color(QPalette::Disabled, QPalette::WindowText));
    setFocusPolicy(Qt::StrongFocus);
    // The paint covers every pixel: no background erasing.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    resize(75, 25);
}

void TGradBtn::SetBeginColor(int32_t colour) {
    begin_ = colour;
    update();
}

void TGradBtn::SetEndColor(int32_t colour) {
    end_ = colour;
    update();
}

void TGradBtn::SetSwapColors(bool swap) {
    swap_ = swap;
    update();
}

void TGradBtn::SetGradientStyle(TGradientStyle style) {
    gradient_ = style;
    update();
}

void TGradBtn::SetTextStyle(TTextStyle style) {
    text_style_ = style;
    update();
}

void TGradBtn::SetTextShadeType(TShadeType shade) {
    shade_ = shade;
    update();
}

void TGradBtn::SetJustification(TJustification justification) {
    justification_ = justification;
    update();
}

void TGradBtn::SetShowFocus(bool show) {
    show_focus_ = show;
    update();
}

bool TGradBtn::SetBtnFrameSize(int size) {
    if (!FrameSizeAccepted(size, width(), height())) return false;
    frame_size_ = size;
    update();
    return true;
}

void TGradBtn::SetBtnHiliteClr(int32_t colour) {
    btn_hilite_ = colour;
    update();
}

void TGradBtn::SetBtnShadowClr(int32_t colour) {
    btn_shadow_ = colour;
    update();
}

void TGradBtn::SetTxtHiliteClr(int32_t colour) {
    txt_hilite_ = colour;
    update();
}

void TGradBtn::SetTxtShadowClr(int32_t colour) {
    txt_shadow_ = colour;
    update();
}

void TGradBtn::SetDisabledColor(int32_t colour) {
    disabled_ = colour;
    update();
}

void TGradBtn::SetFontColor(int32_t colour) {
    font_colour_ = colour;
    update();
}

void TGradBtn::SetCaption(const QString& caption) {
    caption_ = caption;
    UpdateShortcut();
    update();
}

void TGradBtn::UpdateShortcut() {
    if (shortcut_id_ != 0) releaseShortcut(shortcut_id_);
    shortcut_id_ = 0;
    const QKeySequence key = QKeySequence::mnemonic(CaptionTexts(caption_).drawn);
    if (!key.isEmpty()) shortcut_id_ = grabShortcut(key);
}

void TGradBtn::ExchangeColours() {
    std::swap(begin_, end_);
}

void TGradBtn::Click() {
    QPointer<TGradBtn> alive(this);
    click_handled_ = true;
    if (swap_ && down_) ExchangeColours();
    down_ = false;
    repaint();
    // Show the released face before the click's work starts.
    QCoreApplication::processEvents();
    if (alive) emit clicked();
}

bool TGradBtn::event(QEvent* e) {
    if (e->type() == QEvent::Shortcut) {
        auto* se = static_cast<QShortcutEvent*>(e);
        if (se->shortcutId() == shortcut_id_) {
            if (isEnabled()) Click();
            return true;
        }
    }
    return QWidget::event(e);
}

void TGradBtn::paintEvent(QPaintEvent*) {
    const int W = width();
    const int H = height();
    const qreal dpr = devicePixelRatioF();
    const QSize pixels(qRound(W * dpr), qRound(H * dpr));
    if (bitmap_.size() != pixels) {
        bitmap_ = QPixmap(pixels);
        bitmap_.setDevicePixelRatio(dpr);
    }
    {
        QPainter p(&bitmap_);
        p.setFont(font());
        for (const GradientFill& f : GradientFills(gradient_, W, H, begin_, end_)) {
            const QRect r(f.left, f.top, f.right - f.left, f.bottom - f.top);
            if (f.ellipse) {
                p.setPen(Qt::NoPen);
                p.setBrush(ToQColor(f.colour));
                p.drawEllipse(r);
            } else {
                p.fillRect(r, ToQColor(f.colour));
            }
        }
        p.setBrush(Qt::NoBrush);

        QRect frame = rect();
        const QColor hilite = ToQColor(btn_hilite_), shadow = ToQColor(btn_shadow_);
        Frame3D(p, frame, down_ ? shadow : hilite, down_ ? hilite : shadow, frame_size_);

        const DrawnCaption texts = CaptionTexts(caption_);
        const QFontMetrics fm(font());
        const int tw = fm.horizontalAdvance(texts.measured);
        const int th = fm.height();
        const CaptionPoint at = CaptionOrigin(justification_, W, H, tw, th, down_);
        int align = Qt::TextShowMnemonic | Qt::TextSingleLine | Qt::AlignVCenter;
        align |= justification_ == TJustification::jLeft    ? Qt::AlignLeft
                 : justification_ == TJustification::jRight ? Qt::AlignRight
                                                            : Qt::AlignHCenter;
        for (const CaptionPass& pass : CaptionPasses(text_style_, shade_, isEnabled())) {
            int32_t colour = font_colour_;
            switch (pass.colour) {
                case CaptionColour::Hilite:
                    colour = txt_hilite_;
                    break;
                case CaptionColour::Shadow:
                    colour = txt_shadow_;
                    break;
                case CaptionColour::Font:
                    colour = font_colour_;
                    break;
                case CaptionColour::Disabled:
                    colour = disabled_;
                    break;
            }
            p.setPen(ToQColor(colour));
            p.drawText(QRect(at.x + pass.dx, at.y + pass.dy, tw, th), align, texts.drawn);
        }

        if (hasFocus() && show_focus_) {
            QStyleOptionFocusRect option;
            option.initFrom(this);
            option.rect = rect().adjusted(2, 2, -2, -2);
            option.backgroundColor = ToQColor(end_);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
        }
    }
    QPainter screen(this);
    screen.drawPixmap(0, 0, bitmap_);
}

void TGradBtn::mousePressEvent(QMouseEvent* e) {
    // A new gesture: a click handled by the keyboard earlier must not swallow this release.
    click_handled_ = false;
    setFocus(Qt::MouseFocusReason);
    if (e->button() == Qt::LeftButton) {
        held_ = true;
        if (!down_) {
            down_ = true;
            if (swap_) ExchangeColours();
            update();
        }
    }
    e->accept();
}

void TGradBtn::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        e->accept();
        return;
    }
    held_ = false;
    QPointer<TGradBtn> alive(this);
    if (down_ && rect().contains(e->position().toPoint())) Click();
    if (!alive) return;
    if (click_handled_) {
        click_handled_ = false;
    } else if (down_) {
        if (swap_) ExchangeColours();
        down_ = false;
        update();
    }
    e->accept();
}

void TGradBtn::FollowHeldButton(bool inside) {
    if (!held_) return;
    if (inside == down_) return;
    down_ = inside;
    if (swap_) ExchangeColours();
    update();
}

void TGradBtn::mouseMoveEvent(QMouseEvent* e) {
    FollowHeldButton(rect().contains(e->position().toPoint()));
    e->accept();
}

void TGradBtn::enterEvent(QEnterEvent* e) {
    FollowHeldButton(true);
    emit mouseEntered();
    QWidget::enterEvent(e);
}

void TGradBtn::leaveEvent(QEvent* e) {
    FollowHeldButton(false);
    emit mouseLeft();
    QWidget::leaveEvent(e);
}

void TGradBtn::keyPressEvent(QKeyEvent* e) {
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) &&
        (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        Click();
        e->accept();
        return;
    }
    QWidget::keyPressEvent(e);
}

void TGradBtn::focusInEvent(QFocusEvent* e) {
    update();
    QWidget::focusInEvent(e);
}

void TGradBtn::focusOutEvent(QFocusEvent* e) {
    update();
    QWidget::focusOutEvent(e);
}

void TGradBtn::changeEvent(QEvent* e) {
    switch (e->type()) {
        case QEvent::EnabledChange:
        case QEvent::FontChange:
        case QEvent::PaletteChange:
        case QEvent::StyleChange:
            update();
            break;
        default:
            break;
    }
    QWidget::changeEvent(e);
}

}  // namespace rowsmith::gui
