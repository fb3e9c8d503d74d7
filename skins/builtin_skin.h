#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace skins {

// The skin the window has by itself, with no folder: entry 0 of the skin list.
inline const QString kBuiltinSkinName = QStringLiteral("Spider Man");

// A picture of the built-in skin by its skin file name ("Main.bmp", "Play.jpg", "PlayR.jpg", ...),
// or one of the window's own pictures ("Photo.jpg", "LinkFaq.png", ...).
QPixmap builtinPicture(const QString& fileName);

// The window icons: frames 0 to 4 of the "playing" animation and the idle icon 6.
QIcon builtinFlashIcon(int index);

// The built-in colours: list and panel background, and text.
inline const QColor kBuiltinBackColor{0x08, 0x10, 0x2A};
inline const QColor kBuiltinForeColor{0xE6, 0xEB, 0xF5};
// Accent for headings and links on the dark panels.
inline const QColor kBuiltinAccentColor{0xFF, 0x5A, 0x5F};

}  // namespace skins
