#pragma once

#include "recording/cLameEncoder.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace converter {

// Decodes a WAVE file of any kind FFmpeg reads (PCM of every width, float, A-law, mu-law, ADPCM,
// GSM, MP3-in-WAVE) and resamples it to 16-bit stereo at mp3SampleRate of its rate, a few
// thousand frames at a time: nothing of the recording is held beyond one decoded packet.
class WaveDecoder final : public PcmSource {
  public:
    enum class OpenResult { Opened, NotAWave, CannotDecode };

    WaveDecoder();
    ~WaveDecoder() override;
    WaveDecoder(const WaveDecoder&) = delete;
    WaveDecoder& operator=(const WaveDecoder&) = delete;

    // On failure *error says why.
    OpenResult open(const QString& input, QString* error);

    // The rate the frames come out at.
    int rate() const { return rate_; }
    // True when the file already holds 16-bit stereo PCM at rate(): the encoder can read it as
    // it stands, with nothing to decode.
    bool isEncoderReady() const { return encoderReady_; }

    std::int64_t expectedFrames() const override { return expectedFrames_; }
    std::int64_t read(std::int16_t* into, std::int64_t frames) override;

    // Why the last read raised an error; empty while none did.
    const QString& failure() const { return failure_; }

  private:
    struct Av;

    // Decodes the next packet into pending_; false at the end of the file.
    bool decodeMore();
    bool drainDecoder();
    bool resample(const std::uint8_t** in, int count);
    [[noreturn]] void fail(const QString& why);

    std::unique_ptr<Av> av_;
    std::vector<std::int16_t> pending_;
    std::size_t pendingAt_ = 0;
    QString failure_;
    std::int64_t expectedFrames_ = 0;
    int rate_ = 0;
    bool encoderReady_ = false;
    bool ended_ = false;
};

// Keeps the decoder libraries' own log off stderr; the program reports its errors itself.
void silenceDecoderLog();

}  // namespace converter
