#pragma once

#include <QColor>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace platform {
class SettingsStore;
}

namespace recorder {

// Captions and texts of the advanced recorder.
inline const QString kBoxCaption = QStringLiteral("Velmo's Advance Recorder");
inline const QString kWindowTitle = QStringLiteral(" Velmo's Advance Recorder");
inline const QString kIdleStatus = QStringLiteral("File Size: 0 Bytes          Length: 0:00");

// The rates offered, in the order of the list.
QStringList sampleRates();

// Where a recording started at `now` goes: the application folder + "/Recorded_" + ddmmyy +
// hhmmss + ".mp3".
QString freshOutputPath(const QString& appFolder, const QDateTime& now);

// The intermediate file of an output path: the trimmed path without its last four characters.
QString intermediatePath(const QString& outputPath);

// Percent of the intermediate file's size that the MP3 will take, by the rate's text.
int sizeFactor(const QString& rateText);

// Bytes as "N bytes", "N KB", "N.N MB" or "N.N GB"; empty for a negative count.
QString formatSize(std::int64_t bytes);

// The status line while recording: the MP3 size estimate and the elapsed time as m:ss.
QString recordingStatus(std::int64_t intermediateBytes, const QString& rateText,
                        std::int64_t elapsedMs);

// The skin colours the main program stores for its current skin; one that is not a colour
// number keeps the window's built-in colour.
struct SkinColours {
    std::optional<QColor> back;
    std::optional<QColor> fore;
    std::optional<QColor> comboBack;
};

// A colour number red + 256 x green + 65536 x blue, as decimal text; nothing when it is not one.
std::optional<QColor> colourFromSetting(const QString& text);

// The current skin's colours, or nothing while the built-in skin (or none) is current.
std::optional<SkinColours> readSkinColours(const platform::SettingsStore& settings);

}  // namespace recorder
