#include "gui/widgets/gradient_panel.h"

#include <QPaintEvent>
#include <QPainter>

#include "gui/widgets/qt_colours.h"

namespace rowsmith::gui {

namespace {

void BevelColours(const QWidget& w, TPanelBevel bevel, QColor& top, QColor& bottom) {
    const QColor light = w.palette().color(QPalette::Light);
    const QColor dark = w.palette().color(QPalette::Dark);
    top = bevel == TPanelBevel::bvRaised ? light : dark;
    bottom = bevel == TPanelBevel::bvRaised ? dark : light;
}

}  // namespace

// ---- TPanel

TPanel::TPanel(QWidget* parent) : QWidget(parent) {
    // The paint covers the whole panel.
    setAttribute(Qt::WA_OpaquePaintEvent);
    UpdateBorder();
}

void TPanel::SetBevelInner(TPanelBevel bevel) {
    bevel_inner_ = bevel;
    update();
}

void TPanel::SetBevelOuter(TPanelBevel bevel) {
    bevel_outer_ = bevel;
    update();
}

void TPanel::SetBevelWidth(int width) {
    if (width < 1) return;
    bevel_width_ = width;
    update();
}

void TPanel::SetBorderSingle(bool single) {
    border_single_ = single;
    UpdateBorder();
}

void TPanel::SetCtl3D(bool on) {
    ctl3d_ = on;
    UpdateBorder();
}

void TPanel::SetCaption(const QString& caption) {
    caption_ = caption;
    update();
}

void TPanel::SetCaptionAlignment(Qt::Alignment alignment) {
    alignment_ = alignment;
    update();
}

int32_t TPanel::Color() const {
    return FromQColor(palette().color(QPalette::Window));
}

void TPanel::SetColor(int32_t colour) {
    QPalette p = palette();
    p.setColor(QPalette::Window, ToQColor(colour));
    setPalette(p);
    update();
}

void TPanel::UpdateBorder() {
    const int border = border_single_ ? (ctl3d_ ? 2 : 1) : 0;
    setContentsMargins(border, border, border, border);
    update();
}

void TPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& pal = palette();
    if (border_single_) {
        QRect outer = rect();
        if (ctl3d_) {
            Frame3D(painter, outer, pal.color(QPalette::Dark), pal.color(QPalette::Light), 1);
            Frame3D(painter, outer, pal.color(QPalette::Shadow), pal.color(QPalette::Midlight), 1);
        } else {
            Frame3D(painter, outer, Qt::black, Qt::black, 1);
        }
    }
    QRect r = ClientRect();
    painter.fillRect(r, pal.color(QPalette::Window));
    QColor top, bottom;
    if (bevel_outer_ != TPanelBevel::bvNone) {
        BevelColours(*this, bevel_outer_, top, bottom);
        Frame3D(painter, r, top, bottom, bevel_width_);
    }
    if (bevel_inner_ != TPanelBevel::bvNone) {
        BevelColours(*this, bevel_inner_, top, bottom);
        Frame3D(painter, r, top, bottom, bevel_width_);
    }
    if (!caption_.isEmpty()) {
        painter.setPen(pal.color(QPalette::WindowText));
        painter.drawText(r, static_cast<int>(alignment_) | Qt::TextSingleLine, caption_);
    }
    painter.setClipRect(ClientRect());
    PaintOver(painter);
}

// ---- TGPanel

TGPanel::TGPanel(QWidget* parent) : TPanel(parent) {
    colour1_ = FromQColor(palette().color(QPalette::Button));
}

void TGPanel::SetActive(bool active) {
    active_ = active;
    update();
}

void TGPanel::SetColor_1(int32_t colour) {
    colour1_ = colour;
    update();
}

void TGPanel::SetColor_2(int32_t colour) {
    colour2_ = colour;
    update();
}

void TGPanel::SetColor_3(int32_t colour) {
    colour3_ = colour;
    update();
}

void TGPanel::SetHorizontal(bool horizontal) {
    horizontal_ = horizontal;
    update();
}

void TGPanel::SetPercent(int percent) {
    percent_ = ClampPercent(percent);
    update();
}

void TGPanel::PaintOver(QPainter& painter) {
    if (!active_) return;
    const int b = PanelInset(BevelInner(), BevelOuter(), BevelWidth());
    const QRect client = ClientRect();
    const QRect area(client.left() + b, client.top() + b, client.width() - 2 * b, client.height() - 2 * b);
    if (area.width() <= 0 || area.height() <= 0) return;
    const int length = horizontal_ ? area.width() : area.height();
    for (const GradientBand& band : PanelGradientBands(colour1_, colour2_, colour3_, percent_, length)) {
        const QRect r = horizontal_ ? QRect(area.left() + band.start, area.top(), band.length, area.height())
                                    : QRect(area.left(), area.top() + band.start, area.width(), band.length);
        painter.fillRect(r, ToQColor(band.colour));
    }
}

}  // namespace rowsmith::gui
