#include "platform/codecs/wave_encoder.h"

#include "platform/codecs/encoder_setup.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace platform {

namespace {

struct ResamplerFree {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
struct FifoFree {
    void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

// Frames handed to a codec that takes any frame size.
constexpr int kFreeFrameSamples = 4096;

}  // namespace

struct WaveEncoder::Impl {
    codec_setup::CodecContextPtr codec;
    std::unique_ptr<SwrContext, ResamplerFree> resampler;
    std::unique_ptr<AVAudioFifo, FifoFree> fifo;
    std::unique_ptr<AVFrame, FrameFree> frame;
    std::unique_ptr<AVPacket, PacketFree> packet;
    int inputChannels = 0;
    int inputRate = 0;
    // 16-bit PCM of the recording's own rate and channels is written as it comes.
    bool passThrough = false;
    int frameSamples = 0;
    std::int64_t pts = 0;

    bool receivePackets(QByteArray* out) {
        for (;;) {
            const int rc = avcodec_receive_packet(codec.get(), packet.get());
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) {
                return true;
            }
            if (rc < 0) {
                return false;
            }
            out->append(reinterpret_cast<const char*>(packet->data), packet->size);
            av_packet_unref(packet.get());
        }
    }

    // Encodes the held samples in codec-sized frames; a last partial frame only when `all`.
    bool encodeHeld(bool all, QByteArray* out) {
        const bool anySize = (codec->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) != 0 ||
                             codec->frame_size == 0;
        const bool smallLast = (codec->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) != 0;
        for (;;) {
            const int held = av_audio_fifo_size(fifo.get());
            if (held == 0 || (held < frameSamples && !all)) {
                return true;
            }
            const int take = std::min(held, frameSamples);
            // Block codecs need whole blocks: the last one is filled up with silence.
            const int size = (take < frameSamples && !anySize && !smallLast) ? frameSamples : take;
            av_frame_unref(frame.get());
            frame->nb_samples = size;
            frame->format = codec->sample_fmt;
            frame->sample_rate = codec->sample_rate;
            if (av_channel_layout_copy(&frame->ch_layout, &codec->ch_layout) < 0 ||
                av_frame_get_buffer(frame.get(), 0) < 0) {
                return false;
            }
            if (size > take) {
                av_samples_set_silence(frame->extended_data, take, size - take,
                                       codec->ch_layout.nb_channels, codec->sample_fmt);
            }
            if (av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(frame->extended_data),
                                   take) != take) {
                return false;
            }
            frame->pts = pts;
            pts += size;
            if (avcodec_send_frame(codec.get(), frame.get()) < 0 || !receivePackets(out)) {
                return false;
            }
        }
    }

    bool resampleIntoFifo(const std::uint8_t* in, int frames) {
        const int room = swr_get_out_samples(resampler.get(), frames);
        if (room < 0 ||
            av_audio_fifo_realloc(fifo.get(), av_audio_fifo_size(fifo.get()) + room + 1) < 0) {
            return false;
        }
        std::unique_ptr<AVFrame, FrameFree> converted(av_frame_alloc());
        if (!converted) {
            return false;
        }
        converted->nb_samples = room + 1;
        converted->format = codec->sample_fmt;
        if (av_channel_layout_copy(&converted->ch_layout, &codec->ch_layout) < 0 ||
            av_frame_get_buffer(converted.get(), 0) < 0) {
            return false;
        }
        const std::uint8_t* planes[] = {in};
        const int made = swr_convert(resampler.get(), converted->extended_data, room + 1,
                                     in != nullptr ? planes : nullptr, frames);
        return made >= 0 &&
               av_audio_fifo_write(fifo.get(), reinterpret_cast<void**>(converted->extended_data),
                                   made) == made;
    }
};

WaveEncoder::WaveEncoder(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
WaveEncoder::~WaveEncoder() = default;

std::unique_ptr<WaveEncoder> WaveEncoder::open(int rate, int channels, const QByteArray& format,
                                               QString* error) {
    quietCodecLog();
    WaveFormatFields fields;
    if (rate < 1 || channels < 1 || !readWaveFormat(format, &fields) || fields.channels < 1 ||
        fields.samplesPerSec < 1) {
        *error = QStringLiteral("The input or output format is not valid.");
        return nullptr;
    }
    const AVCodec* codec = codec_setup::encoderForFormat(fields);
    if (codec == nullptr) {
        *error = QStringLiteral("No codec here writes format tag %1.").arg(fields.formatTag);
        return nullptr;
    }
    const int outRate = static_cast<int>(fields.samplesPerSec);
    const int outChannels = fields.channels;
    auto impl = std::make_unique<Impl>();
    impl->codec = codec_setup::openEncoder(
        codec, outRate, outChannels,
        codec_setup::bitRateFor(codec->id, outRate, outChannels,
                                static_cast<std::int64_t>(fields.avgBytesPerSec) * 8));
    WaveFormatFields made;
    // The record must describe what this encoder writes, or readers would misread the data.
    if (!impl->codec || !readWaveFormat(codec_setup::waveFormatOf(impl->codec.get()), &made) ||
        made.formatTag != fields.formatTag || made.channels != fields.channels ||
        made.samplesPerSec != fields.samplesPerSec || made.blockAlign != fields.blockAlign) {
        *error = QStringLiteral("The codec cannot make this format from the recording.");
        return nullptr;
    }
    impl->inputRate = rate;
    impl->inputChannels = channels;
    impl->passThrough =
        codec->id == AV_CODEC_ID_PCM_S16LE && outRate == rate && outChannels == channels;
    AVChannelLayout inLayout{};
    av_channel_layout_default(&inLayout, channels);
    SwrContext* swr = nullptr;
    int rc = swr_alloc_set_opts2(&swr, &impl->codec->ch_layout, impl->codec->sample_fmt, outRate,
                                 &inLayout, AV_SAMPLE_FMT_S16, rate, 0, nullptr);
    impl->resampler.reset(swr);
    if (rc >= 0) {
        rc = swr_init(swr);
    }
    impl->frameSamples = impl->codec->frame_size > 0 ? impl->codec->frame_size : kFreeFrameSamples;
    impl->fifo.reset(
        av_audio_fifo_alloc(impl->codec->sample_fmt, outChannels, impl->frameSamples * 2));
    impl->frame.reset(av_frame_alloc());
    impl->packet.reset(av_packet_alloc());
    if (rc < 0 || !impl->fifo || !impl->frame || !impl->packet) {
        *error = QStringLiteral("The converter could not be set up.");
        return nullptr;
    }
    return std::unique_ptr<WaveEncoder>(new WaveEncoder(std::move(impl)));
}

int WaveEncoder::inputFrameBytes() const {
    return 2 * impl_->inputChannels;
}

long long WaveEncoder::convert(const char* pcm, std::size_t bytes, QByteArray* out) {
    const auto frameBytes = static_cast<std::size_t>(inputFrameBytes());
    const std::size_t whole = bytes / frameBytes * frameBytes;
    if (impl_->passThrough) {
        out->append(pcm, static_cast<qsizetype>(whole));
        return static_cast<long long>(whole);
    }
    if (whole > 0 && !impl_->resampleIntoFifo(reinterpret_cast<const std::uint8_t*>(pcm),
                                              static_cast<int>(whole / frameBytes))) {
        return -1;
    }
    return impl_->encodeHeld(false, out) ? static_cast<long long>(whole) : -1;
}

bool WaveEncoder::finish(QByteArray* out) {
    if (impl_->passThrough) {
        return true;
    }
    if (!impl_->resampleIntoFifo(nullptr, 0) || !impl_->encodeHeld(true, out)) {
        return false;
    }
    if (avcodec_send_frame(impl_->codec.get(), nullptr) < 0) {
        return false;
    }
    return impl_->receivePackets(out);
}

}  // namespace platform
