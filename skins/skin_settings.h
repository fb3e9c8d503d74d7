#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace skins {

// What a skin's Settings.ini says. The file is read in groups of four lines; a later group
// overrides the earlier one line by line, and a blank line leaves its value as it was.
struct SkinSettings {
    // The colours as numbers red + 256 x green + 65536 x blue; absent when no line gave one.
    std::optional<long> backColor;
    std::optional<long> foreColor;
    std::optional<long> comboBackColor;
    // Line 4: the control positions, as written.
    QString positions;
};

// The largest Settings.ini read: a few lines of numbers are all a skin needs.
inline constexpr qsizetype kMaxSkinSettingsBytes = 64 * 1024;

// Reads the file's contents. Lines end with LF, CR LF or CR alone. Throws platform::Error when a
// colour line is not three numbers or holds a negative one, or when the file is too large; the
// error's description is what the user is shown.
SkinSettings ReadSkinSettings(const QByteArray& contents);

// One colour line: "red, green, blue", blanks around the numbers ignored, a component above 255
// counting as 255. Throws platform::Error as above.
long ParseColourLine(const QString& line);

// The position values of line 4: the first ten of its comma-separated values, or none when it
// has fewer than ten. The values are checked one by one as they are used (LayoutNumber).
QStringList PositionValues(const QString& line);

// One position value in twips; fractions are accepted. Throws platform::Error when it is not a
// number.
double LayoutNumber(const QString& value);

}  // namespace skins
