#include "converter/Converter.h"

#include <QFile>
#include <QSaveFile>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

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
constexpr int kBytesPerFrame = kChannels * 2;
constexpr int kHeaderBytes = 44;

QString avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

void putLe32(char* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
}

void putLe16(char* at, std::uint16_t v) {
    at[0] = static_cast<char>(v & 0xFF);
    at[1] = static_cast<char>(v >> 8);
}

QByteArray canonicalHeader(int rate, std::uint32_t dataBytes) {
    QByteArray h(kHeaderBytes, '\0');
    char* p = h.data();
    std::memcpy(p, "RIFF", 4);
    putLe32(p + 4, 36 + dataBytes);
    std::memcpy(p + 8, "WAVEfmt ", 8);
    putLe32(p + 16, 16);
    putLe16(p + 20, 1);
    putLe16(p + 22, kChannels);
    putLe32(p + 24, static_cast<std::uint32_t>(rate));
    putLe32(p + 28, static_cast<std::uint32_t>(rate * kBytesPerFrame));
    putLe16(p + 32, kBytesPerFrame);
    putLe16(p + 34, 16);
    std::memcpy(p + 36, "data", 4);
    putLe32(p + 40, dataBytes);
    return h;
}

// One decoding run: demuxer, decoder and resampler of one input file.
class Decoder {
  public:
    bool open(const QString& input, QString* error) {
        AVFormatContext* raw = nullptr;
        const QByteArray name = QFile::encodeName(input);
        int rc = avformat_open_input(&raw, name.constData(), nullptr, nullptr);
        if (rc < 0) {
            *error = QStringLiteral("Not a readable sound file: ") + avError(rc);
            return false;
        }
        format_.reset(raw);
        if (std::strcmp(format_->iformat->name, "wav") != 0) {
            *error = QStringLiteral("Not a WAVE file");
            return false;
        }
        rc = avformat_find_stream_info(format_.get(), nullptr);
        if (rc < 0) {
            *error = QStringLiteral("Cannot read the stream information: ") + avError(rc);
            return false;
        }
        const AVCodec* codec = nullptr;
        stream_ = av_find_best_stream(format_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
        if (stream_ < 0 || codec == nullptr) {
            *error = QStringLiteral("No sound the decoder knows in the file");
            return false;
        }
        codec_.reset(avcodec_alloc_context3(codec));
        if (!codec_) {
            *error = QStringLiteral("Out of memory");
            return false;
        }
        rc = avcodec_parameters_to_context(codec_.get(), format_->streams[stream_]->codecpar);
        if (rc >= 0) {
            rc = avcodec_open2(codec_.get(), codec, nullptr);
        }
        if (rc < 0) {
            *error = QStringLiteral("Cannot open the decoder: ") + avError(rc);
            return false;
        }
        if (codec_->sample_rate <= 0) {
            *error = QStringLiteral("The file names no sample rate");
            return false;
        }
        if (codec_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
            // Old files name only a channel count; take the usual layout for it.
            const int channels = codec_->ch_layout.nb_channels;
            av_channel_layout_uninit(&codec_->ch_layout);
            av_channel_layout_default(&codec_->ch_layout, channels);
        }
        rate_ = mp3SampleRate(codec_->sample_rate);
        SwrContext* swr = nullptr;
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        rc = swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_S16, rate_, &codec_->ch_layout,
                                 codec_->sample_fmt, codec_->sample_rate, 0, nullptr);
        resampler_.reset(swr);
        if (rc >= 0) {
            rc = swr_init(resampler_.get());
        }
        if (rc < 0) {
            *error = QStringLiteral("Cannot set up the resampler: ") + avError(rc);
            return false;
        }
        packet_.reset(av_packet_alloc());
        frame_.reset(av_frame_alloc());
        if (!packet_ || !frame_) {
            *error = QStringLiteral("Out of memory");
            return false;
        }
        return true;
    }

    int rate() const { return rate_; }

    // Decodes the whole file, handing 16-bit stereo frames to sink; false when the file breaks
    // off or the sink fails.
    template <typename Sink>
    bool run(Sink&& sink, QString* error) {
        for (;;) {
            const int rc = av_read_frame(format_.get(), packet_.get());
            if (rc == AVERROR_EOF) {
                break;
            }
            if (rc < 0) {
                *error = QStringLiteral("Cannot read the file: ") + avError(rc);
                return false;
            }
            const bool ours = packet_->stream_index == stream_;
            const int sent = ours ? avcodec_send_packet(codec_.get(), packet_.get()) : 0;
            av_packet_unref(packet_.get());
            // A damaged packet is skipped, as players do; the rest of the file still counts.
            if (sent < 0 && sent != AVERROR_INVALIDDATA) {
                *error = QStringLiteral("Cannot decode the file: ") + avError(sent);
                return false;
            }
            if (ours && !drainDecoder(sink, error)) {
                return false;
            }
        }
        const int rc = avcodec_send_packet(codec_.get(), nullptr);
        if (rc < 0) {
            *error = QStringLiteral("Cannot decode the file: ") + avError(rc);
            return false;
        }
        return drainDecoder(sink, error) && convert(nullptr, 0, sink, error);
    }

  private:
    template <typename Sink>
    bool drainDecoder(Sink& sink, QString* error) {
        for (;;) {
            const int rc = avcodec_receive_frame(codec_.get(), frame_.get());
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) {
                return true;
            }
            if (rc == AVERROR_INVALIDDATA) {
                continue;
            }
            if (rc < 0) {
                *error = QStringLiteral("Cannot decode the file: ") + avError(rc);
                return false;
            }
            const bool ok = convert(const_cast<const std::uint8_t**>(frame_->extended_data),
                                    frame_->nb_samples, sink, error);
            av_frame_unref(frame_.get());
            if (!ok) {
                return false;
            }
        }
    }

    // Resamples `count` input frames (none: flushes what the resampler holds) into the sink.
    template <typename Sink>
    bool convert(const std::uint8_t** in, int count, Sink& sink, QString* error) {
        const int room = swr_get_out_samples(resampler_.get(), count);
        if (room < 0) {
            *error = QStringLiteral("Cannot resample: ") + avError(room);
            return false;
        }
        out_.resize(static_cast<std::size_t>(room + 1) * kBytesPerFrame);
        std::uint8_t* outPlanes[] = {out_.data()};
        const int made = swr_convert(resampler_.get(), outPlanes, room + 1, in, count);
        if (made < 0) {
            *error = QStringLiteral("Cannot resample: ") + avError(made);
            return false;
        }
        return sink(reinterpret_cast<const char*>(out_.data()), made * kBytesPerFrame, error);
    }

    std::unique_ptr<AVFormatContext, FormatCloser> format_;
    std::unique_ptr<AVCodecContext, CodecFree> codec_;
    std::unique_ptr<SwrContext, ResamplerFree> resampler_;
    std::unique_ptr<AVPacket, PacketFree> packet_;
    std::unique_ptr<AVFrame, FrameFree> frame_;
    std::vector<std::uint8_t> out_;
    int stream_ = -1;
    int rate_ = 0;
};

}  // namespace

void silenceDecoderLog() {
    av_log_set_level(AV_LOG_QUIET);
}

bool decodeToPcmWave(const QString& input, const QString& output, int* rate, QString* error) {
    Decoder decoder;
    if (!decoder.open(input, error)) {
        return false;
    }
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly)) {
        *error =
            QStringLiteral("Cannot write ") + output + QStringLiteral(": ") + file.errorString();
        return false;
    }
    std::uint64_t dataBytes = 0;
    const auto write = [&](const char* data, qint64 bytes, QString* why) {
        if (file.write(data, bytes) != bytes) {
            *why = QStringLiteral("Cannot write ") + output + QStringLiteral(": ") +
                   file.errorString();
            return false;
        }
        dataBytes += static_cast<std::uint64_t>(bytes);
        if (dataBytes > 0xFFFFFFFFULL - kHeaderBytes) {
            *why = QStringLiteral("The recording is too long for a WAVE file");
            return false;
        }
        return true;
    };
    const QByteArray room = canonicalHeader(decoder.rate(), 0);
    if (file.write(room) != room.size() || !decoder.run(write, error)) {
        if (error->isEmpty()) {
            *error = QStringLiteral("Cannot write ") + output;
        }
        file.cancelWriting();
        return false;
    }
    const QByteArray header =
        canonicalHeader(decoder.rate(), static_cast<std::uint32_t>(dataBytes));
    if (!file.seek(0) || file.write(header) != header.size() || !file.commit()) {
        *error =
            QStringLiteral("Cannot write ") + output + QStringLiteral(": ") + file.errorString();
        return false;
    }
    *rate = decoder.rate();
    return true;
}

}  // namespace converter
