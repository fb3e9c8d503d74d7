#pragma once

#include "recording/cLameEncoder.h"

#include <QString>

// The front end of a conversion: one WAV file to one MP3 file, with the encoder settings the
// recorder uses. Make a new one for every conversion (the rate is read when it is made).
class WAVToMP3 {
  public:
    WAVToMP3(const QString& appFolder, const QString& recordSampleRate,
             platform::MessageBoxes& boxes, StatusLabel& label);

    // Empty text on success, otherwise the error's description; the WAV file is removed only
    // after a successful conversion and only when asked to.
    QString CreateWAVtoMP3(const QString& WavFile, const QString& MP3File, bool removeWAVFile);

  private:
    QString appFolder_;
    cLameEncoder m_cEncoder;
};
