#pragma once

// Shared by the format list and the conversion stream, so that a record the list offers opens the
// very encoder configuration that made it. Private to this folder: it names libav types.

#include "platform/codecs/wave_formats.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <memory>

namespace platform::codec_setup {

struct CodecContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;

// The bit rate an encoder is opened with: the rate asked for where the codec lets one choose
// (0: a sensible one for rate and channels), the codec's own otherwise.
std::int64_t bitRateFor(AVCodecID id, int rate, int channels, std::int64_t asked);

// Opens the encoder for 16-bit input converted to rate and channels; nothing when the codec
// refuses them.
CodecContextPtr openEncoder(const AVCodec* codec, int rate, int channels, std::int64_t bitRate);

// The record a WAVE file of the opened encoder's output carries, with its extra bytes; empty when
// no WAVE file can hold it.
QByteArray waveFormatOf(const AVCodecContext* context);

// The encoder that writes data of a record's format tag (and bits, for PCM); nullptr if none.
const AVCodec* encoderForFormat(const WaveFormatFields& fields);

}  // namespace platform::codec_setup
