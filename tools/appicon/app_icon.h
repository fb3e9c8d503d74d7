// The program's icon, drawn from one description both as pixels (window, tray, menu PNGs) and as
// an SVG for the desktop's scalable icon theme: a red badge with a play mark and three sound
// waves. The window's playing animation lights the waves in turn.
#pragma once

#include <QByteArray>

class QPainter;

namespace appicon {

// How many of the three waves are lit; the still icon has all three.
constexpr int kAllWaves = 3;

// Paints the icon into the square (0, 0, size, size) of `p`.
void paint(QPainter& p, double size, int litWaves = kAllWaves);

// The still icon as an SVG document.
QByteArray svg();

}  // namespace appicon
