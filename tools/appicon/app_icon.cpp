#include "tools/appicon/app_icon.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>

#include <array>
#include <cmath>
#include <numbers>

namespace appicon {

namespace {

// The icon in a 32-unit square; both renderers scale it.
constexpr double kUnits = 32;
constexpr double kCx = 10.5;
constexpr double kCy = 16;
constexpr double kBadgeR = 8.75;
constexpr double kRimWidth = 1.5;
constexpr std::array<std::array<double, 2>, 3> kPlay{{{7.6, 11.6}, {15, 16}, {7.6, 20.4}}};
constexpr std::array<double, 3> kWaveR{12.25, 15.9, 19.55};
constexpr double kWaveHalfAngle = 42;  // degrees either side of the horizontal
constexpr double kWaveWidth = 2.4;

const QColor kBadgeLight(0xE8, 0x3B, 0x41);
const QColor kBadgeDark(0x9E, 0x0C, 0x14);
const QColor kRim(0x06, 0x0B, 0x1C);
const QColor kWaveLit(0x2E, 0x7B, 0xFF);
const QColor kWaveDim(0x8A, 0x8F, 0x9C, 80);
// The badge's highlight sits up and to the left of its centre.
constexpr double kLightX = kCx - 3;
constexpr double kLightY = kCy - 3.5;
constexpr double kLightR = kBadgeR * 1.5;

QByteArray number(double v) {
    return QByteArray::number(v, 'g', 6);
}

}  // namespace

void paint(QPainter& p, double size, int litWaves) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / kUnits, size / kUnits);

    QRadialGradient badge(QPointF(kLightX, kLightY), kLightR);
    badge.setColorAt(0, kBadgeLight);
    badge.setColorAt(1, kBadgeDark);
    p.setPen(QPen(kRim, kRimWidth));
    p.setBrush(badge);
    p.drawEllipse(QPointF(kCx, kCy), kBadgeR, kBadgeR);

    QPainterPath play;
    play.moveTo(kPlay[0][0], kPlay[0][1]);
    play.lineTo(kPlay[1][0], kPlay[1][1]);
    play.lineTo(kPlay[2][0], kPlay[2][1]);
    play.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(play);

    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 3; ++i) {
        p.setPen(QPen(i < litWaves ? kWaveLit : kWaveDim, kWaveWidth, Qt::SolidLine, Qt::RoundCap));
        const double r = kWaveR[i];
        const int angle = static_cast<int>(kWaveHalfAngle * 16);
        p.drawArc(QRectF(kCx - r, kCy - r, 2 * r, 2 * r), -angle, 2 * angle);
    }
    p.restore();
}

QByteArray svg() {
    QByteArray s;
    s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    s += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 " +
         number(kUnits) + ' ' + number(kUnits) + "\">\n";
    s += "  <defs>\n    <radialGradient id=\"badge\" gradientUnits=\"userSpaceOnUse\" cx=\"" +
         number(kLightX) + "\" cy=\"" + number(kLightY) + "\" r=\"" + number(kLightR) + "\">\n";
    s += "      <stop offset=\"0\" stop-color=\"" + kBadgeLight.name().toLatin1() + "\"/>\n";
    s += "      <stop offset=\"1\" stop-color=\"" + kBadgeDark.name().toLatin1() + "\"/>\n";
    s += "    </radialGradient>\n  </defs>\n";
    s += "  <circle cx=\"" + number(kCx) + "\" cy=\"" + number(kCy) + "\" r=\"" + number(kBadgeR) +
         "\" fill=\"url(#badge)\" stroke=\"" + kRim.name().toLatin1() + "\" stroke-width=\"" +
         number(kRimWidth) + "\"/>\n";
    s += "  <path d=\"M" + number(kPlay[0][0]) + ' ' + number(kPlay[0][1]) + " L" +
         number(kPlay[1][0]) + ' ' + number(kPlay[1][1]) + " L" + number(kPlay[2][0]) + ' ' +
         number(kPlay[2][1]) + " Z\" fill=\"#ffffff\"/>\n";
    const double rad = kWaveHalfAngle * std::numbers::pi / 180;
    for (const double r : kWaveR) {
        const double x = kCx + r * std::cos(rad);
        const double dy = r * std::sin(rad);
        // From below the centre line round the right-hand side to above it.
        s += "  <path d=\"M" + number(x) + ' ' + number(kCy + dy) + " A" + number(r) + ' ' +
             number(r) + " 0 0 0 " + number(x) + ' ' + number(kCy - dy) +
             "\" fill=\"none\" stroke=\"" + kWaveLit.name().toLatin1() + "\" stroke-width=\"" +
             number(kWaveWidth) + "\" stroke-linecap=\"round\"/>\n";
    }
    s += "</svg>\n";
    return s;
}

}  // namespace appicon
