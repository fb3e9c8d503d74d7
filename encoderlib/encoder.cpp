// The MP3 encoder library: the four stream entry points over libmp3lame.
#include "encoderlib/be_interface.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstdarg>
#include <map>
#include <memory>
#include <mutex>

namespace {

struct LameCloser {
    void operator()(lame_global_flags* gf) const { lame_close(gf); }
};
using LamePtr = std::unique_ptr<lame_global_flags, LameCloser>;

struct Stream {
    // One stream is used by one thread at a time; the lock guards against a caller that does not.
    std::mutex mutex;
    LamePtr lame;
    std::uint32_t samplesPerBlock = 0;  // both channels together
    std::uint32_t bufferSize = 0;
    bool flushed = false;
};

// Streams by handle. Handles count up and are never reused, so a stale handle stays invalid. The
// table's lock is held only to look a stream up, so that streams encode on several threads at
// once; a stream closed while in use lives on until that call returns.
class StreamTable {
  public:
    static constexpr std::size_t kMaxStreams = 64;

    std::mutex mutex;
    std::map<std::uint32_t, std::shared_ptr<Stream>> streams;

    std::uint32_t add(std::shared_ptr<Stream> s) {
        do {
            ++next_;
        } while (next_ == 0 || streams.count(next_) != 0);
        streams.emplace(next_, std::move(s));
        return next_;
    }

    std::shared_ptr<Stream> find(std::uint32_t handle) {
        const std::lock_guard lock(mutex);
        const auto it = streams.find(handle);
        return it == streams.end() ? nullptr : it->second;
    }

  private:
    std::uint32_t next_ = 0;
};

StreamTable& table() {
    static StreamTable t;
    return t;
}

void quiet(const char*, va_list) {}

bool validRate(std::uint32_t rate) {
    static constexpr std::uint32_t kRates[] = {8000,  11025, 12000, 16000, 22050,
                                               24000, 32000, 44100, 48000};
    return std::find(std::begin(kRates), std::end(kRates), rate) != std::end(kRates);
}

// Rates from 32000 up are MPEG-1; below, MPEG-2 (16000 to 24000) and MPEG-2.5 (8000 to 12000),
// which have their own bitrate tables.
bool validBitrate(std::uint32_t rate, std::uint32_t kbps) {
    static constexpr std::uint32_t kMpeg1[] = {32,  40,  48,  56,  64,  80,  96,
                                               112, 128, 160, 192, 224, 256, 320};
    static constexpr std::uint32_t kMpeg2[] = {8,  16, 24, 32,  40,  48,  56,
                                               64, 80, 96, 112, 128, 144, 160};
    if (rate >= 32000) {
        return std::find(std::begin(kMpeg1), std::end(kMpeg1), kbps) != std::end(kMpeg1);
    }
    return std::find(std::begin(kMpeg2), std::end(kMpeg2), kbps) != std::end(kMpeg2);
}

// The encoder's quality (0 best .. 9 fastest): an explicit one wins, else the preset decides.
int qualityOf(const be::LameConfig& c) {
    if (c.quality >= 1 && c.quality <= 9) {
        return c.quality;
    }
    switch (c.preset) {
        case 7:  // fast
            return 5;
        case 5:  // very high
            return 2;
        default:
            return 3;
    }
}

std::uint32_t configure(lame_global_flags* gf, const be::LameConfig& c) {
    if (!validRate(c.sampleRate) || (c.outSampleRate != 0 && c.outSampleRate != c.sampleRate)) {
        return be::kInvalidFormatParameters;
    }
    if (c.mode != STEREO && c.mode != JOINT_STEREO && c.mode != MONO) {
        return be::kInvalidFormatParameters;
    }
    if (c.emphasis > 3 || c.emphasis == 2 || c.mpegVersion > 1) {
        return be::kInvalidFormatParameters;
    }
    const bool vbr = c.enableVbr != 0;
    if (!vbr && !validBitrate(c.sampleRate, c.bitrate)) {
        return be::kInvalidFormatParameters;
    }
    if (vbr && (c.vbrQuality < 0 || c.vbrQuality > 9 ||
                (c.maxBitrate != 0 && !validBitrate(c.sampleRate, c.maxBitrate)))) {
        return be::kInvalidFormatParameters;
    }

    int rc = 0;
    rc |= lame_set_errorf(gf, quiet);
    rc |= lame_set_debugf(gf, quiet);
    rc |= lame_set_msgf(gf, quiet);
    rc |= lame_set_num_channels(gf, 2);
    rc |= lame_set_in_samplerate(gf, static_cast<int>(c.sampleRate));
    // No resampling: the output rate is the input rate, which picks the MPEG version.
    rc |= lame_set_out_samplerate(gf, static_cast<int>(c.sampleRate));
    rc |= lame_set_mode(gf, static_cast<MPEG_mode>(c.mode));
    rc |= lame_set_quality(gf, qualityOf(c));
    rc |= lame_set_copyright(gf, c.copyright != 0);
    rc |= lame_set_original(gf, c.original != 0);
    rc |= lame_set_extension(gf, c.privateFlag != 0);
    rc |= lame_set_error_protection(gf, c.crc != 0);
    rc |= lame_set_emphasis(gf, static_cast<int>(c.emphasis));
    rc |= lame_set_strict_ISO(gf, c.strictIso != 0);
    rc |= lame_set_disable_reservoir(gf, c.noReservoir != 0);
    // A stream has no way back to its first frame, so a VBR/Info header would stay an empty
    // placeholder frame at the start of the file: none is written.
    rc |= lame_set_bWriteVbrTag(gf, 0);
    if (vbr) {
        rc |= lame_set_VBR(gf, vbr_default);
        rc |= lame_set_VBR_q(gf, c.vbrQuality);
        if (c.maxBitrate != 0) {
            rc |= lame_set_VBR_max_bitrate_kbps(gf, static_cast<int>(c.maxBitrate));
        }
    } else {
        rc |= lame_set_VBR(gf, vbr_off);
        rc |= lame_set_brate(gf, static_cast<int>(c.bitrate));
    }
    if (rc != 0 || lame_init_params(gf) < 0) {
        return be::kInvalidFormatParameters;
    }
    return be::kOk;
}

}  // namespace

#define BE_EXPORT extern "C" __attribute__((visibility("default")))

BE_EXPORT std::uint32_t beInitStream(const void* config, std::uint32_t* samplesPerBlock,
                                     std::uint32_t* outputBufferSize, std::uint32_t* stream) {
    if (config == nullptr || samplesPerBlock == nullptr || outputBufferSize == nullptr ||
        stream == nullptr) {
        return be::kInvalidFormatParameters;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(config);
    // The header tells whether the rest of the record is there; only then is it read.
    if (be::detail::get(bytes, 0, 4) != be::kConfigKindExtended ||
        be::detail::get(bytes, 4, 4) != be::kConfigVersion ||
        be::detail::get(bytes, 8, 4) != be::kConfigSize) {
        return be::kInvalidFormat;
    }
    const be::LameConfig c = be::unpack(bytes);

    auto s = std::make_shared<Stream>();
    s->lame.reset(lame_init());
    if (!s->lame) {
        return be::kNoMoreHandles;
    }
    if (const std::uint32_t rc = configure(s->lame.get(), c); rc != be::kOk) {
        return rc;
    }
    const auto frames = static_cast<std::uint32_t>(lame_get_framesize(s->lame.get()));
    s->samplesPerBlock = frames * 2;
    // libmp3lame's worst case for one call: 1.25 bytes per input sample plus 7200.
    s->bufferSize = frames + (frames + 3) / 4 + 7200;

    StreamTable& t = table();
    const std::lock_guard lock(t.mutex);
    if (t.streams.size() >= StreamTable::kMaxStreams) {
        return be::kNoMoreHandles;
    }
    *samplesPerBlock = s->samplesPerBlock;
    *outputBufferSize = s->bufferSize;
    *stream = t.add(std::move(s));
    return be::kOk;
}

BE_EXPORT std::uint32_t beEncodeChunk(std::uint32_t stream, std::uint32_t samples,
                                      const std::int16_t* pcm, std::uint8_t* output,
                                      std::uint32_t* outputBytes) {
    const std::shared_ptr<Stream> s = table().find(stream);
    if (s == nullptr) {
        return be::kInvalidHandle;
    }
    const std::lock_guard lock(s->mutex);
    if (output == nullptr || outputBytes == nullptr || (pcm == nullptr && samples != 0) ||
        samples % 2 != 0 || s->flushed) {
        return be::kInvalidFormatParameters;
    }
    // The buffer size handed out covers one block; more samples could overrun it.
    if (samples > s->samplesPerBlock) {
        return be::kBufferTooSmall;
    }
    *outputBytes = 0;
    if (samples == 0) {
        return be::kOk;
    }
    // libmp3lame takes a non-const pointer but only reads the samples.
    const int n = lame_encode_buffer_interleaved(s->lame.get(), const_cast<short*>(pcm),
                                                 static_cast<int>(samples / 2), output,
                                                 static_cast<int>(s->bufferSize));
    if (n == -1) {
        return be::kBufferTooSmall;
    }
    if (n < 0) {
        return be::kInvalidFormatParameters;
    }
    *outputBytes = static_cast<std::uint32_t>(n);
    return be::kOk;
}

BE_EXPORT std::uint32_t beDeinitStream(std::uint32_t stream, std::uint8_t* output,
                                       std::uint32_t* outputBytes) {
    const std::shared_ptr<Stream> s = table().find(stream);
    if (s == nullptr) {
        return be::kInvalidHandle;
    }
    const std::lock_guard lock(s->mutex);
    if (output == nullptr || outputBytes == nullptr || s->flushed) {
        return be::kInvalidFormatParameters;
    }
    *outputBytes = 0;
    const int n = lame_encode_flush(s->lame.get(), output, static_cast<int>(s->bufferSize));
    if (n == -1) {
        return be::kBufferTooSmall;
    }
    if (n < 0) {
        return be::kInvalidFormatParameters;
    }
    s->flushed = true;
    *outputBytes = static_cast<std::uint32_t>(n);
    return be::kOk;
}

BE_EXPORT std::uint32_t beCloseStream(std::uint32_t stream) {
    std::shared_ptr<Stream> closed;
    {
        StreamTable& t = table();
        const std::lock_guard lock(t.mutex);
        const auto it = t.streams.find(stream);
        if (it == t.streams.end()) {
            return be::kInvalidHandle;
        }
        closed = std::move(it->second);
        t.streams.erase(it);
    }
    // The encoder is released outside the table's lock, once no call uses it any more.
    const std::lock_guard lock(closed->mutex);
    return be::kOk;
}
