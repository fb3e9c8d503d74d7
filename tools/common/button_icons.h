// Drawing pieces that the built-in skin and the sample skins share: the font of their captions
// and the glyphs of their buttons, each drawn into a rectangle in one colour.
#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>

#include <functional>

class QPainter;

namespace toolart {

QFont font(int pixelSize, bool bold, bool condensed = false, bool italic = false);

using Icon = std::function<void(QPainter&, QRectF, QColor)>;

void iconPlay(QPainter& p, QRectF r, QColor c);
void iconStop(QPainter& p, QRectF r, QColor c);
// A gear.
void iconSettings(QPainter& p, QRectF r, QColor c);
// Level bars.
void iconAdvanced(QPainter& p, QRectF r, QColor c);
// An "i" in a ring.
void iconAbout(QPainter& p, QRectF r, QColor c);

// An icon (if any) and a caption side by side, centred in `plate`, in `ink`, with a shadow one
// pixel down and to the right unless `shadow` is transparent.
void iconAndCaption(QPainter& p, QRectF plate, const Icon& icon, double iconSide,
                    const QString& caption, QColor ink, QColor shadow = Qt::transparent);

}  // namespace toolart
