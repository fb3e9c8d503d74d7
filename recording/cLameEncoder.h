#pragma once

#include "encoderlib/be_interface.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class cMp3Writer;
class cWavReader;
class StatusLabel;

namespace platform {
class MessageBoxes;
}

// Drives the encoder library: reads the WAV file block by block, has the library encode each
// block and appends what it returns to the MP3 file. The library is loaded at run time from the
// application folder, so a missing library is a message, not a start-up failure.
class cLameEncoder {
  public:
    // recordSampleRate is the recording rate as its text ("44100"); it becomes the encoder's
    // input rate.
    cLameEncoder(QString appFolder, const QString& recordSampleRate, platform::MessageBoxes& boxes,
                 StatusLabel& label);
    ~cLameEncoder();
    cLameEncoder(const cLameEncoder&) = delete;
    cLameEncoder& operator=(const cLameEncoder&) = delete;

    const QString& WavFile() const { return wavFile_; }
    // Keeps the name only if such a file exists.
    void setWavFile(const QString& name);
    const QString& MP3File() const { return mp3File_; }
    void setMP3File(const QString& name) { mp3File_ = name; }
    std::int32_t EncodingPreset() const { return config_.preset; }
    void setEncodingPreset(std::int32_t preset) { config_.preset = preset; }
    std::uint32_t BitRate() const { return config_.bitrate; }
    void setBitRate(std::uint32_t kbps) { config_.bitrate = kbps; }
    std::uint32_t SampleRate() const { return config_.sampleRate; }
    void setSampleRate(std::uint32_t hz) { config_.sampleRate = hz; }
    std::int32_t OutputMode() const { return config_.mode; }
    void setOutputMode(std::int32_t mode) { config_.mode = mode; }

    // Converts WavFile to MP3File. Empty text on success (also when a Progress handler
    // cancelled), "lameConvert" when no encoder stream could be opened; reader and writer errors
    // are raised again with the source "<program>.lameConvert".
    QString Encode();

    // Raised after every encoded block and once at the end: 16-bit samples done, samples in all,
    // and a flag the handler may set to stop the conversion.
    std::function<void(std::int64_t samplesDone, std::int64_t totalSamples, bool& cancel)> Progress;

  private:
    struct Library;

    void lameInit();
    void lameClose();
    std::unique_ptr<cWavReader> createWavReader();
    std::unique_ptr<cMp3Writer> createMp3Writer();
    void showLameError(const QString& routine, std::uint32_t code, bool isLibraryResult);
    static bool fileExists(const QString& name);
    static void killFile(const QString& name);

    QString appFolder_;
    platform::MessageBoxes& boxes_;
    StatusLabel& label_;
    be::LameConfig config_;
    std::unique_ptr<Library> library_;
    std::uint32_t stream_ = 0;
    std::uint32_t samplesPerBlock_ = 0;
    std::uint32_t outputBufferSize_ = 0;
    QString wavFile_;
    QString mp3File_;
};
