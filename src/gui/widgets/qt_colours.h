#pragma once
// Edge helpers between the program's colour values ($BBGGRR, red in the low byte) and the toolkit's
// colours, and the 3-D frame that the painted controls draw.

#include <QColor>
#include <QPainter>
#include <QRect>
#include <cstdint>

namespace rowsmith::gui {

inline QColor ToQColor(int32_t colour) {
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

inline int32_t FromQColor(const QColor& colour) {
    return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}

// A frame of width lines: top and left in the top colour, right and bottom in the bottom colour (which
// owns the top-right and bottom-left corners). The rectangle shrinks by the width.
inline void Frame3D(QPainter& painter, QRect& rect, const QColor& top, const QColor& bottom, int width) {
    for (int i = 0; i < width && rect.width() > 0 && rect.height() > 0; ++i) {
        const int l = rect.left(), t = rect.top(), r = rect.right(), b = rect.bottom();
        painter.fillRect(QRect(l, t, r - l, 1), top);
        painter.fillRect(QRect(l, t, 1, b - t), top);
        painter.fillRect(QRect(r, t, 1, b - t + 1), bottom);
        painter.fillRect(QRect(l, b, r - l + 1, 1), bottom);
        rect.adjust(1, 1, -1, -1);
    }
}

}  // namespace rowsmith::gui
