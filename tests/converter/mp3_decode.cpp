#include "tests/converter/mp3_decode.h"

#include <QFile>

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

namespace testing_support {

namespace {

struct FormatCloser {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};

void appendSample(QByteArray& out, double x) {
    const auto s =
        static_cast<std::int16_t>(std::lround(std::clamp(x, -1.0, 32767.0 / 32768.0) * 32768));
    out.append(reinterpret_cast<const char*>(&s), 2);
}

bool takeFrames(AVCodecContext* codec, AVFrame* frame, DecodedMp3& out) {
    while (avcodec_receive_frame(codec, frame) == 0) {
        for (int i = 0; i < frame->nb_samples; ++i) {
            switch (frame->format) {
                case AV_SAMPLE_FMT_FLTP:
                    appendSample(out.firstChannel,
                                 reinterpret_cast<const float*>(frame->data[0])[i]);
                    break;
                case AV_SAMPLE_FMT_S16P:
                    out.firstChannel.append(reinterpret_cast<const char*>(frame->data[0]) + 2 * i,
                                            2);
                    break;
                default:
                    ADD_FAILURE() << "unexpected sample format " << frame->format;
                    return false;
            }
        }
    }
    return true;
}

}  // namespace

DecodedMp3 decodeMp3(const QString& file) {
    DecodedMp3 out;
    AVFormatContext* raw = nullptr;
    const QByteArray name = QFile::encodeName(file);
    if (avformat_open_input(&raw, name.constData(), nullptr, nullptr) != 0) {
        ADD_FAILURE() << "cannot open " << name.constData();
        return out;
    }
    std::unique_ptr<AVFormatContext, FormatCloser> format(raw);
    if (avformat_find_stream_info(format.get(), nullptr) < 0) {
        ADD_FAILURE() << "no stream info in " << name.constData();
        return out;
    }
    const AVCodec* decoder = nullptr;
    const int index = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (index < 0 || decoder == nullptr || decoder->id != AV_CODEC_ID_MP3) {
        ADD_FAILURE() << "no MP3 stream in " << name.constData();
        return out;
    }
    std::unique_ptr<AVCodecContext, CodecFree> codec(avcodec_alloc_context3(decoder));
    if (!codec ||
        avcodec_parameters_to_context(codec.get(), format->streams[index]->codecpar) < 0 ||
        avcodec_open2(codec.get(), decoder, nullptr) < 0) {
        ADD_FAILURE() << "cannot open the MP3 decoder";
        return out;
    }
    out.rate = codec->sample_rate;
    out.channels = codec->ch_layout.nb_channels;
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    bool ok = true;
    while (ok && av_read_frame(format.get(), packet.get()) == 0) {
        if (packet->stream_index == index) {
            ok = avcodec_send_packet(codec.get(), packet.get()) == 0 &&
                 takeFrames(codec.get(), frame.get(), out);
        }
        av_packet_unref(packet.get());
    }
    ok = ok && avcodec_send_packet(codec.get(), nullptr) == 0 &&
         takeFrames(codec.get(), frame.get(), out);
    out.frameSize = codec->frame_size;
    EXPECT_TRUE(ok) << "decoding " << name.constData();
    out.ok = ok;
    return out;
}

}  // namespace testing_support
