#pragma once

#include <QStringList>

class QWidget;

namespace skins {

// Places the main window's control groups from the ten position values of a skin's Settings.ini
// (twips from the window's top-left corner, in this order: settings box left and top, Play top
// and left, welcome picture left and top, station list left, scroll-up left, minimise top and
// left), then every dependent control from its anchor and the sizes of the skin's pictures. The
// controls are the window's children of the design's names. A value that is not a number stops
// the placing there with platform::Error; what was placed before it stays.
void AdjustPosition(QWidget& window, const QStringList& values);

}  // namespace skins
