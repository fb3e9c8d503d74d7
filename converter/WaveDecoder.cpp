#include "converter/WaveDecoder.h"

#include "converter/Converter.h"
#include "platform/ui/error.h"

#include <QFile>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>

namespace converter {

namespace {

struct FormatCloser {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct ResamplerFree {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};

constexpr int kChannels = 2;

QString avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

}  // namespace

struct WaveDecoder::Av {
    std::unique_ptr<AVFormatContext, FormatCloser> format;
    std::unique_ptr<AVCodecContext, CodecFree> codec;
    std::unique_ptr<SwrContext, ResamplerFree> resampler;
    std::unique_ptr<AVPacket, PacketFree> packet;
    std::unique_ptr<AVFrame, FrameFree> frame;
    int stream = -1;
};

WaveDecoder::WaveDecoder() : av_(std::make_unique<Av>()) {}

WaveDecoder::~WaveDecoder() = default;

WaveDecoder::OpenResult WaveDecoder::open(const QString& input, QString* error) {
    AVFormatContext* raw = nullptr;
    const QByteArray name = QFile::encodeName(input);
    int rc = avformat_open_input(&raw, name.constData(), nullptr, nullptr);
    if (rc < 0) {
        *error = QStringLiteral("Not a readable sound file: ") + avError(rc);
        return OpenResult::NotAWave;
    }
    av_->format.reset(raw);
    if (std::strcmp(av_->format->iformat->name, "wav") != 0) {
        *error = QStringLiteral("Not a WAVE file");
        return OpenResult::NotAWave;
    }
    rc = avformat_find_stream_info(av_->format.get(), nullptr);
    if (rc < 0) {
        *error = QStringLiteral("Cannot read the stream information: ") + avError(rc);
        return OpenResult::NotAWave;
    }
    const AVCodec* codec = nullptr;
    av_->stream = av_find_best_stream(av_->format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (av_->stream < 0 || codec == nullptr) {
        *error = QStringLiteral("The file holds sound in a form no decoder here knows");
        return OpenResult::CannotDecode;
    }
    av_->codec.reset(avcodec_alloc_context3(codec));
    if (!av_->codec) {
        *error = QStringLiteral("Out of memory");
        return OpenResult::CannotDecode;
    }
    const AVStream* stream = av_->format->streams[av_->stream];
    rc = avcodec_parameters_to_context(av_->codec.get(), stream->codecpar);
    if (rc >= 0) {
        rc = avcodec_open2(av_->codec.get(), codec, nullptr);
    }
    if (rc < 0) {
        *error = QStringLiteral("Cannot open the decoder: ") + avError(rc);
        return OpenResult::CannotDecode;
    }
    AVCodecContext* c = av_->codec.get();
    if (c->sample_rate <= 0) {
        *error = QStringLiteral("The file names no sample rate");
        return OpenResult::CannotDecode;
    }
    if (c->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        // Old files name only a channel count; take the usual layout for it.
        const int channels = c->ch_layout.nb_channels;
        av_channel_layout_uninit(&c->ch_layout);
        av_channel_layout_default(&c->ch_layout, channels);
    }
    rate_ = mp3SampleRate(c->sample_rate);
    encoderReady_ = c->codec_id == AV_CODEC_ID_PCM_S16LE && c->ch_layout.nb_channels == kChannels &&
                    c->sample_rate == rate_;
    if (stream->duration > 0) {
        expectedFrames_ = av_rescale_q(stream->duration, stream->time_base, AVRational{1, rate_});
    }
    SwrContext* swr = nullptr;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    rc = swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_S16, rate_, &c->ch_layout, c->sample_fmt,
                             c->sample_rate, 0, nullptr);
    av_->resampler.reset(swr);
    if (rc >= 0) {
        rc = swr_init(av_->resampler.get());
    }
    if (rc < 0) {
        *error = QStringLiteral("Cannot set up the resampler: ") + avError(rc);
        return OpenResult::CannotDecode;
    }
    av_->packet.reset(av_packet_alloc());
    av_->frame.reset(av_frame_alloc());
    if (!av_->packet || !av_->frame) {
        *error = QStringLiteral("Out of memory");
        return OpenResult::CannotDecode;
    }
    return OpenResult::Opened;
}

std::int64_t WaveDecoder::read(std::int16_t* into, std::int64_t frames) {
    while (pending_.size() - pendingAt_ < static_cast<std::size_t>(frames) * kChannels &&
           decodeMore()) {
    }
    const std::size_t samples =
        std::min(pending_.size() - pendingAt_, static_cast<std::size_t>(frames) * kChannels);
    std::copy_n(pending_.begin() + static_cast<std::ptrdiff_t>(pendingAt_), samples, into);
    pendingAt_ += samples;
    if (pendingAt_ == pending_.size()) {
        pending_.clear();
        pendingAt_ = 0;
    }
    return static_cast<std::int64_t>(samples / kChannels);
}

bool WaveDecoder::decodeMore() {
    if (ended_) {
        return false;
    }
    // What is already handed out is dropped before more is added, so the buffer stays small.
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pendingAt_));
    pendingAt_ = 0;
    AVPacket* packet = av_->packet.get();
    const int rc = av_read_frame(av_->format.get(), packet);
    if (rc == AVERROR_EOF) {
        const int sent = avcodec_send_packet(av_->codec.get(), nullptr);
        if (sent < 0) {
            fail(QStringLiteral("Cannot decode the file: ") + avError(sent));
        }
        ended_ = true;
        return drainDecoder() && resample(nullptr, 0);
    }
    if (rc < 0) {
        fail(QStringLiteral("Cannot read the file: ") + avError(rc));
    }
    const bool ours = packet->stream_index == av_->stream;
    const int sent = ours ? avcodec_send_packet(av_->codec.get(), packet) : 0;
    av_packet_unref(packet);
    // A damaged packet is skipped, as players do; the rest of the file still counts.
    if (sent < 0 && sent != AVERROR_INVALIDDATA) {
        fail(QStringLiteral("Cannot decode the file: ") + avError(sent));
    }
    return !ours || drainDecoder();
}

bool WaveDecoder::drainDecoder() {
    AVFrame* frame = av_->frame.get();
    for (;;) {
        const int rc = avcodec_receive_frame(av_->codec.get(), frame);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) {
            return true;
        }
        if (rc == AVERROR_INVALIDDATA) {
            continue;
        }
        if (rc < 0) {
            fail(QStringLiteral("Cannot decode the file: ") + avError(rc));
        }
        resample(const_cast<const std::uint8_t**>(frame->extended_data), frame->nb_samples);
        av_frame_unref(frame);
    }
}

// Resamples `count` input frames (none: flushes what the resampler holds) onto pending_.
bool WaveDecoder::resample(const std::uint8_t** in, int count) {
    const int room = swr_get_out_samples(av_->resampler.get(), count);
    if (room < 0) {
        fail(QStringLiteral("Cannot resample: ") + avError(room));
    }
    const std::size_t at = pending_.size();
    pending_.resize(at + static_cast<std::size_t>(room + 1) * kChannels);
    auto* out = reinterpret_cast<std::uint8_t*>(pending_.data() + at);
    const int made = swr_convert(av_->resampler.get(), &out, room + 1, in, count);
    if (made < 0) {
        pending_.resize(at);
        fail(QStringLiteral("Cannot resample: ") + avError(made));
    }
    pending_.resize(at + static_cast<std::size_t>(made) * kChannels);
    return true;
}

void WaveDecoder::fail(const QString& why) {
    failure_ = why;
    // The converter tells a decoding failure by failure(), so the number carries nothing.
    throw platform::Error(0, platform::programName() + QStringLiteral(".WaveDecoder"), why);
}

void silenceDecoderLog() {
    av_log_set_level(AV_LOG_QUIET);
}

}  // namespace converter
