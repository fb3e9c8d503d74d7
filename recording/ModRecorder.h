#pragma once

#include "recording/ShowSavingProgress.h"

#include <QString>

#include <cstdint>

namespace platform {
class Mci;
class MessageBoxes;
}  // namespace platform

// Records what the sound card plays into "<RecordFileName>.tmp" in the application folder through
// the wave-audio device "recsound". The record flow sets the file name and rate, calls
// StartRecording (which returns only when the recording has ended) and, from inside that wait,
// clears RecordingActive and calls StopRecording.
class ModRecorder {
  public:
    static constexpr int kStatusIntervalMs = 250;

    ModRecorder(platform::Mci& mci, platform::MessageBoxes& boxes, StatusLabel& label,
                QString appFolder);

    // State shared with the record flow.
    bool RecordingActive = false;        // the wait of StartRecording runs while set
    std::int32_t RecordBytesPerSec = 0;  // of the saved recording, from ReadRecordingFormat
    QString RecordFileName;              // "Recorded_ddmmyyhhmmss", no folder, no extension
    std::int16_t RecordRateIndex = 7;    // 0..7, the chosen rate's position (11025 ... 48000)
    QString RecordSampleRate = QStringLiteral("48000");  // the chosen rate as text
    // After a save that failed: the file in the application folder that kept the sound (named in
    // the error message), else empty.
    QString KeptRecording;

    // Opens the device, sets the format, starts recording and waits, running a status pass every
    // kStatusIntervalMs in a local event loop, until RecordingActive is cleared.
    void StartRecording(const QString& channels, const QString& bitsPerSample,
                        const QString& samplesPerSec);
    // Stops, saves into the application folder, reads the format back, closes and patches the
    // saved file's header.
    void StopRecording();
    void ReadRecordingFormat();
    void PatchWaveHeader();
    // One status pass: shows the estimated MP3 size of what was captured so far.
    void ShowRecordingStatus();

    // Linux has no short names: the path as it is, empty when it is only blanks (commands quote
    // what needs quoting).
    static QString GetShortPath(const QString& path);
    // About the size of a 160 kbit/s MP3 as a percentage of 16-bit stereo PCM at each rate index.
    static int SizeEstimatePercent(int index);
    // The path of the recording: application folder + "/" + RecordFileName + ".tmp".
    QString recordingPath() const;

    void setStatusInterval(int ms) { statusIntervalMs_ = ms; }

  private:
    unsigned long send(const QString& command, int replyChars, QString* reply);
    void sendReported(const QString& command, const QString& title);
    void waitWhileRecording();

    platform::Mci& mci_;
    platform::MessageBoxes& boxes_;
    StatusLabel& label_;
    QString appFolder_;
    int statusIntervalMs_ = kStatusIntervalMs;
};
