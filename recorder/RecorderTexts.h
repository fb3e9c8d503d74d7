#pragma once

#include <QColor>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <span>

namespace platform {
class SettingsStore;
}

namespace recorder {

// Captions and texts of the advanced recorder.
inline const QString kBoxCaption = QStringLiteral("Velmo's Advance Recorder");
inline const QString kWindowTitle = QStringLiteral(" Velmo's Advance Recorder");
inline const QString kIdleStatus = QStringLiteral("File Size: 0 Bytes          Length: 0:00");
inline const QString kSavingStatus = QStringLiteral("Saving. Please wait...");
inline const QString kFormatDialogTitle = QStringLiteral("Select File Output format");

// The highest rate a recording takes (the effects chain's limit).
inline constexpr int kHighestRate = 96000;
// The volume slider's range: the mixer line volume (0..65535) halved.
inline constexpr int kSliderMax = 32767;

// Whether a key typed into the rate box goes in: Backspace always, a digit while the text is
// shorter than five characters, no other character. Keys that type nothing (cursor keys) pass.
bool rateKeyAccepted(const QString& currentText, int key, const QString& typed);

// The rate a rate text asks for, or 0 when it is none a recording can take (empty, not a number,
// 0, above 96000).
int recordingRate(const QString& rateText);

// The slider position of a line volume: half of it, rounded, so the mixer's 65535 is the top.
int sliderFromVolume(int volume);
// The line volume of a slider position: twice it, the top being the mixer's 65535.
int volumeFromSlider(int value);
// The percentage label of a slider position: its whole percent of the top, then "%".
QString volumePercent(int value);

// The two level bars' inputs: the loudest sample of each channel (both channels alike for mono),
// never below 1.
struct ChannelLevels {
    int left = 1;
    int right = 1;
};
ChannelLevels channelLevels(std::span<const std::int16_t> samples, bool stereo);

// Elapsed recording time after one more buffer of `bytes` at bytesPerSecond, in whole ms.
std::int64_t elapsedAfter(std::int64_t elapsedMs, int bytes, int bytesPerSecond);

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
