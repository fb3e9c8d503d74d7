#pragma once

#include "encoderlib/be_interface.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

class cMp3Writer;
class cWavReader;
class StatusLabel;

// 16-bit stereo frames delivered in order, for sound that is not a plain WAV file on disk (the
// converter decodes and resamples into one as it goes).
class PcmSource {
  public:
    virtual ~PcmSource() = default;
    // The frames it expects to deliver, for progress; an estimate is enough.
    virtual std::int64_t expectedFrames() const = 0;
    // Fills `into` with up to `frames` frames and returns how many; 0 only at the end. Failures
    // raise platform::Error.
    virtual std::int64_t read(std::int16_t* into, std::int64_t frames) = 0;
};

namespace platform {
class MessageBoxes;
}

// Drives the encoder library: reads the WAV file block by block, has the library encode each
// block and appends what it returns to the MP3 file. The library is loaded at run time from the
// application folder, so a missing library is a message, not a start-up failure. A long WAV file
// is encoded in segments on several threads at once (see SegmentPlan.h), each through a stream
// of its own, and joined into the one stream a sequential encoding makes; progress, messages and
// the file are handled on the calling thread only.
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
    // The same conversion with the sound read from source instead of WavFile, block by block,
    // on the calling thread.
    QString EncodeFrom(PcmSource& source);

    // At most this many segments (1: always sequential); 0, the default, one per processor core.
    // Never more than kMaxSegments.
    void setMaxSegments(int segments) { maxSegments_ = segments; }
    // The most bytes of later segments' frames kept in memory; the rest goes to an unnamed file in
    // the MP3 file's folder (0, the default: SegmentEncoding::kWaitingBudget).
    void setWaitingBudget(std::size_t bytes) { waitingBudget_ = bytes; }
    // Bytes of frames that went through such files in the last conversion.
    std::int64_t SpilledBytes() const { return spilledBytes_; }
    // False when the last conversion ended because no encoder stream could be opened.
    bool EngineOpened() const { return engineOpened_; }

    // Raised after every encoded block and once at the end: 16-bit samples done, samples in all,
    // and a flag the handler may set to stop the conversion.
    std::function<void(std::int64_t samplesDone, std::int64_t totalSamples, bool& cancel)> Progress;

  private:
    struct Library;
    class Blocks;
    class ReaderBlocks;
    class SourceBlocks;

    QString noEngine();
    QString encodeSequential(const std::function<std::unique_ptr<Blocks>()>& openSource);
    QString encodeSegments(std::int64_t audioFrames, int segments);
    std::vector<std::uint32_t> openSegmentStreams(int segments);
    void closeStreams(const std::vector<std::uint32_t>& streams);
    [[noreturn]] static void raiseAsConversionError(const std::exception_ptr& error);

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
    int maxSegments_ = 0;
    std::size_t waitingBudget_ = 0;
    std::int64_t spilledBytes_ = 0;
    bool engineOpened_ = true;
};
