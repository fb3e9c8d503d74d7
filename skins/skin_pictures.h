#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <vector>

namespace skins {

// A picture file of a skin folder and the names of the controls that show it.
struct SkinPictureFile {
    QString file;
    QStringList controls;
};

// Every picture a skin may hold, in the order they are loaded.
const std::vector<SkinPictureFile>& skinPictureFiles();

// The largest picture a skin may use, in either direction.
inline constexpr int kMaxSkinPictureSide = 4096;

// Reads one picture of a skin (a Windows bitmap, a JPEG, or any format Qt reads). Throws
// platform::Error when it cannot be read or is larger than kMaxSkinPictureSide either way; a
// picture that is too large is refused from its header, before its pixels are decoded.
QImage ReadSkinPicture(const QString& path);

}  // namespace skins
