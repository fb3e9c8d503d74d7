#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <memory>

namespace platform {

// A conversion stream from interleaved 16-bit PCM into the data of one WAVE format (a record of
// encodableWaveFormats, or any record naming a codec, rate and channels this machine can make).
// The codec takes whole input frames; what does not fill a whole codec block yet is held and
// encoded with the next call, so nothing is lost between calls.
class WaveEncoder {
  public:
    struct Impl;

    // Nothing, with the reason in *error, when the record names no codec here or the codec
    // refuses its rate, channels or block size.
    static std::unique_ptr<WaveEncoder> open(int rate, int channels, const QByteArray& format,
                                             QString* error);
    ~WaveEncoder();
    WaveEncoder(const WaveEncoder&) = delete;
    WaveEncoder& operator=(const WaveEncoder&) = delete;

    // Bytes of one input frame (2 x channels).
    int inputFrameBytes() const;

    // Takes the whole frames of `bytes` and appends the data the codec made to *out. Returns the
    // input bytes taken; -1 when the codec failed (nothing taken).
    long long convert(const char* pcm, std::size_t bytes, QByteArray* out);

    // Encodes what is held (the last block filled with silence where the codec needs whole blocks)
    // and appends the codec's last data to *out. False when the codec failed.
    bool finish(QByteArray* out);

  private:
    explicit WaveEncoder(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform
