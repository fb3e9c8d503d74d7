#include "tools/common/button_icons.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

namespace toolart {

QFont font(int pixelSize, bool bold, bool condensed, bool italic) {
    QFont f(condensed ? QStringLiteral("DejaVu Sans Condensed") : QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setItalic(italic);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

void iconPlay(QPainter& p, QRectF r, QColor c) {
    QPainterPath t;
    t.moveTo(r.left() + r.width() * 0.2, r.top());
    t.lineTo(r.right(), r.center().y());
    t.lineTo(r.left() + r.width() * 0.2, r.bottom());
    t.closeSubpath();
    p.fillPath(t, c);
}

void iconStop(QPainter& p, QRectF r, QColor c) {
    p.fillRect(r.adjusted(1, 1, -1, -1), c);
}

void iconSettings(QPainter& p, QRectF r, QColor c) {
    const QPointF m = r.center();
    const double outer = r.width() / 2.0;
    p.save();
    p.setPen(QPen(c, 2.6, Qt::SolidLine, Qt::FlatCap));
    for (int i = 0; i < 8; ++i) {
        const double a = std::numbers::pi * i / 4.0;
        const QPointF d(std::cos(a), std::sin(a));
        p.drawLine(m + d * (outer * 0.55), m + d * outer);
    }
    p.setPen(QPen(c, 2.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(m, outer * 0.55, outer * 0.55);
    p.restore();
}

void iconAdvanced(QPainter& p, QRectF r, QColor c) {
    const double heights[] = {0.35, 0.8, 0.55, 1.0, 0.45, 0.7};
    const double w = r.width() / 6.0;
    for (int i = 0; i < 6; ++i) {
        const double h = r.height() * heights[i];
        p.fillRect(QRectF(r.left() + i * w + 0.5, r.center().y() - h / 2, w - 1.2, h), c);
    }
}

void iconAbout(QPainter& p, QRectF r, QColor c) {
    p.save();
    p.setPen(QPen(c, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(r.adjusted(0.8, 0.8, -0.8, -0.8));
    p.setFont(font(int(r.height() * 0.8), true));
    p.drawText(r, Qt::AlignCenter, QStringLiteral("i"));
    p.restore();
}

void iconAndCaption(QPainter& p, QRectF plate, const Icon& icon, double iconSide,
                    const QString& caption, QColor ink, QColor shadow) {
    const QFont f = font(10, true, true);
    const double textW = QFontMetricsF(f).horizontalAdvance(caption);
    const double total = (icon ? iconSide + 4 : 0) + textW;
    double x = plate.center().x() - total / 2;
    if (icon) {
        icon(p, QRectF(x, plate.center().y() - iconSide / 2, iconSide, iconSide), ink);
        x += iconSide + 4;
    }
    p.setFont(f);
    if (shadow.alpha() != 0) {
        p.setPen(shadow);
        p.drawText(QRectF(x + 1, plate.top() + 1, textW + 2, plate.height()), Qt::AlignVCenter,
                   caption);
    }
    p.setPen(ink);
    p.drawText(QRectF(x, plate.top(), textW + 2, plate.height()), Qt::AlignVCenter, caption);
}

}  // namespace toolart
