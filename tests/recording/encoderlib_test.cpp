// The encoder library through its C interface, loaded the way the driver loads it, and real
// conversions decoded again by another decoder.
#include "encoderlib/be_interface.h"
#include "recording/ShowSavingProgress.h"
#include "recording/WAVToMP3.h"

#include "tests/recording/wav_files.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

using namespace testing_support;

namespace {

struct Api {
    struct Closer {
        void operator()(void* h) const { dlclose(h); }
    };
    std::unique_ptr<void, Closer> handle;
    beInitStream_t init = nullptr;
    beEncodeChunk_t encode = nullptr;
    beDeinitStream_t deinit = nullptr;
    beCloseStream_t close = nullptr;

    explicit Api(const char* name) {
        const std::string file = std::string(ZORVITA_APP_DIR) + "/" + name;
        handle.reset(dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL));
        if (handle) {
            init = reinterpret_cast<beInitStream_t>(dlsym(handle.get(), "beInitStream"));
            encode = reinterpret_cast<beEncodeChunk_t>(dlsym(handle.get(), "beEncodeChunk"));
            deinit = reinterpret_cast<beDeinitStream_t>(dlsym(handle.get(), "beDeinitStream"));
            close = reinterpret_cast<beCloseStream_t>(dlsym(handle.get(), "beCloseStream"));
        }
    }
    bool complete() const { return init && encode && deinit && close; }
};

// The record the driver sends.
be::LameConfig driverConfig(std::uint32_t rate) {
    be::LameConfig c;
    c.sampleRate = rate;
    c.bitrate = 160;
    c.preset = 7;
    c.mpegVersion = 1;
    c.original = 1;
    c.writeVbrHeader = 1;
    c.noReservoir = 1;
    return c;
}

struct Stream {
    std::uint32_t result = 0, samples = 0, bufferSize = 0, handle = 0;
};

Stream open(const Api& api, const be::ConfigBytes& record) {
    Stream s;
    s.result = api.init(record.data(), &s.samples, &s.bufferSize, &s.handle);
    return s;
}

class EncoderLibraryTest : public ::testing::Test {
  protected:
    Api api{"Zorvita.dll"};
};

TEST_F(EncoderLibraryTest, BothFileNamesCarryTheEntryPoints) {
    EXPECT_TRUE(api.complete());
    EXPECT_TRUE(Api("lame_enc.dll").complete());
}

TEST_F(EncoderLibraryTest, EncodesAtEveryRecordingRate) {
    ASSERT_TRUE(api.complete());
    for (std::uint32_t rate : {11025u, 12000u, 16000u, 22050u, 24000u, 32000u, 44100u, 48000u}) {
        SCOPED_TRACE(rate);
        const Stream s = open(api, be::pack(driverConfig(rate)));
        ASSERT_EQ(s.result, be::kOk);
        ASSERT_NE(s.handle, 0u);
        const std::uint32_t frames = rate >= 32000 ? 1152 : 576;
        EXPECT_EQ(s.samples, frames * 2);
        EXPECT_GE(s.bufferSize, frames * 5 / 4 + 7200);
        const QByteArray pcm = toneFrames(frames, static_cast<int>(rate), 440.0);
        std::vector<std::uint8_t> out(s.bufferSize);
        std::uint32_t total = 0;
        for (int block = 0; block < 20; ++block) {
            std::uint32_t bytes = 0;
            ASSERT_EQ(api.encode(s.handle, s.samples,
                                 reinterpret_cast<const std::int16_t*>(pcm.constData()), out.data(),
                                 &bytes),
                      be::kOk);
            EXPECT_LE(bytes, s.bufferSize);
            total += bytes;
        }
        std::uint32_t bytes = 0;
        ASSERT_EQ(api.deinit(s.handle, out.data(), &bytes), be::kOk);
        total += bytes;
        EXPECT_GT(total, 0u);
        EXPECT_EQ(api.close(s.handle), be::kOk);
    }
}

TEST_F(EncoderLibraryTest, RefusesRecordsItCannotRead) {
    ASSERT_TRUE(api.complete());
    be::LameConfig c = driverConfig(44100);
    c.size = 330;
    EXPECT_EQ(open(api, be::pack(c)).result, be::kInvalidFormat);
    c = driverConfig(44100);
    c.version = 2;
    EXPECT_EQ(open(api, be::pack(c)).result, be::kInvalidFormat);
    c = driverConfig(44100);
    c.kind = 0;
    EXPECT_EQ(open(api, be::pack(c)).result, be::kInvalidFormat);
    std::uint32_t a = 0, b = 0, h = 0;
    EXPECT_EQ(api.init(nullptr, &a, &b, &h), be::kInvalidFormatParameters);
}

TEST_F(EncoderLibraryTest, RefusesValuesItCannotHonour) {
    ASSERT_TRUE(api.complete());
    const auto withChange = [](auto change) {
        be::LameConfig c = driverConfig(44100);
        change(c);
        return be::pack(c);
    };
    EXPECT_EQ(open(api, withChange([](be::LameConfig& c) { c.sampleRate = 44101; })).result,
              be::kInvalidFormatParameters);
    EXPECT_EQ(open(api, withChange([](be::LameConfig& c) { c.sampleRate = 0; })).result,
              be::kInvalidFormatParameters);
    // MPEG-2 has no 320 kbit/s.
    EXPECT_EQ(open(api, withChange([](be::LameConfig& c) {
                       c.sampleRate = 22050;
                       c.bitrate = 320;
                   }))
                  .result,
              be::kInvalidFormatParameters);
    EXPECT_EQ(open(api, withChange([](be::LameConfig& c) { c.bitrate = 150; })).result,
              be::kInvalidFormatParameters);
    EXPECT_EQ(open(api, withChange([](be::LameConfig& c) { c.mode = 2; })).result,
              be::kInvalidFormatParameters);
    EXPECT_EQ(open(api, withChange([](be::LameConfig& c) { c.outSampleRate = 32000; })).result,
              be::kInvalidFormatParameters);
}

TEST_F(EncoderLibraryTest, HandlesAreChecked) {
    ASSERT_TRUE(api.complete());
    const Stream s = open(api, be::pack(driverConfig(44100)));
    ASSERT_EQ(s.result, be::kOk);
    std::vector<std::uint8_t> out(s.bufferSize);
    std::vector<std::int16_t> pcm(s.samples * 2);
    std::uint32_t bytes = 0;
    EXPECT_EQ(api.encode(s.handle + 1000, s.samples, pcm.data(), out.data(), &bytes),
              be::kInvalidHandle);
    EXPECT_EQ(api.encode(0, s.samples, pcm.data(), out.data(), &bytes), be::kInvalidHandle);
    // One block more than the output buffer was sized for.
    EXPECT_EQ(api.encode(s.handle, s.samples + 2, pcm.data(), out.data(), &bytes),
              be::kBufferTooSmall);
    EXPECT_EQ(api.encode(s.handle, 3, pcm.data(), out.data(), &bytes),
              be::kInvalidFormatParameters);
    EXPECT_EQ(api.close(s.handle), be::kOk);
    EXPECT_EQ(api.close(s.handle), be::kInvalidHandle);
    EXPECT_EQ(api.encode(s.handle, s.samples, pcm.data(), out.data(), &bytes), be::kInvalidHandle);
    EXPECT_EQ(api.deinit(s.handle, out.data(), &bytes), be::kInvalidHandle);
    // A new stream never gets the old handle back.
    const Stream again = open(api, be::pack(driverConfig(44100)));
    EXPECT_NE(again.handle, s.handle);
    EXPECT_EQ(api.close(again.handle), be::kOk);
}

TEST_F(EncoderLibraryTest, RunsOutOfHandlesAndRecovers) {
    ASSERT_TRUE(api.complete());
    std::vector<std::uint32_t> handles;
    Stream s;
    while ((s = open(api, be::pack(driverConfig(8000)))).result == be::kOk &&
           handles.size() < 1000) {
        handles.push_back(s.handle);
    }
    EXPECT_EQ(s.result, be::kNoMoreHandles);
    EXPECT_GE(handles.size(), 8u);
    for (std::uint32_t h : handles) {
        EXPECT_EQ(api.close(h), be::kOk);
    }
    s = open(api, be::pack(driverConfig(8000)));
    EXPECT_EQ(s.result, be::kOk);
    api.close(s.handle);
}

// Decodes a whole MP3 file: its rate and the left channel's samples.
struct Decoded {
    int rate = 0;
    std::vector<float> left;
};

struct FormatCloser {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecCloser {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};

void takeFrames(AVCodecContext* codec, AVFrame* frame, Decoded& out) {
    while (avcodec_receive_frame(codec, frame) == 0) {
        for (int i = 0; i < frame->nb_samples; ++i) {
            switch (frame->format) {
                case AV_SAMPLE_FMT_FLTP:
                    out.left.push_back(reinterpret_cast<const float*>(frame->data[0])[i]);
                    break;
                case AV_SAMPLE_FMT_S16P:
                    out.left.push_back(reinterpret_cast<const std::int16_t*>(frame->data[0])[i] /
                                       32768.0f);
                    break;
                default:
                    ADD_FAILURE() << "unexpected sample format " << frame->format;
                    return;
            }
        }
    }
}

Decoded decode(const QString& file) {
    Decoded out;
    AVFormatContext* raw = nullptr;
    const QByteArray name = file.toLocal8Bit();
    if (avformat_open_input(&raw, name.constData(), nullptr, nullptr) != 0) {
        ADD_FAILURE() << "cannot open " << name.constData();
        return out;
    }
    std::unique_ptr<AVFormatContext, FormatCloser> format(raw);
    if (avformat_find_stream_info(format.get(), nullptr) < 0) {
        ADD_FAILURE() << "no stream info";
        return out;
    }
    const AVCodec* decoder = nullptr;
    const int index = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (index < 0 || decoder == nullptr || decoder->id != AV_CODEC_ID_MP3) {
        ADD_FAILURE() << "no MP3 stream";
        return out;
    }
    std::unique_ptr<AVCodecContext, CodecCloser> codec(avcodec_alloc_context3(decoder));
    if (!codec ||
        avcodec_parameters_to_context(codec.get(), format->streams[index]->codecpar) < 0 ||
        avcodec_open2(codec.get(), decoder, nullptr) < 0) {
        ADD_FAILURE() << "cannot open the decoder";
        return out;
    }
    out.rate = codec->sample_rate;
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    while (av_read_frame(format.get(), packet.get()) == 0) {
        if (packet->stream_index == index) {
            EXPECT_EQ(avcodec_send_packet(codec.get(), packet.get()), 0);
            takeFrames(codec.get(), frame.get(), out);
        }
        av_packet_unref(packet.get());
    }
    EXPECT_EQ(avcodec_send_packet(codec.get(), nullptr), 0);
    takeFrames(codec.get(), frame.get(), out);
    return out;
}

// The frequency of a steady tone, from the rising zero crossings of its middle half.
double toneFrequency(const std::vector<float>& s, int rate) {
    const std::size_t from = s.size() / 4;
    const std::size_t to = s.size() * 3 / 4;
    std::size_t first = 0, last = 0;
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i) {
        if (s[i - 1] < 0 && s[i] >= 0) {
            if (crossings == 0) {
                first = i;
            }
            last = i;
            ++crossings;
        }
    }
    return crossings < 2
               ? 0.0
               : (crossings - 1) * static_cast<double>(rate) / static_cast<double>(last - first);
}

constexpr std::int64_t kCodecDelay = 576 + 529;

class RealConversionTest : public TempFolderTest {
  protected:
    // Converts a tone of the given length through the front end, as the recorder does.
    Decoded convert(int rate, std::int64_t frames, double hz) {
        const QString wav = path(QStringLiteral("tone.tmp"));
        EXPECT_TRUE(writeFile(wav, waveFile({riffChunk("fmt ", pcmFormat(2, rate, 16)),
                                             riffChunk("data", toneFrames(frames, rate, hz))})));
        WAVToMP3 conversion(QStringLiteral(ZORVITA_APP_DIR), QString::number(rate), boxes, label);
        EXPECT_EQ(conversion.CreateWAVtoMP3(wav, mp3, true), QString());
        EXPECT_TRUE(boxes.shown().empty());
        return decode(mp3);
    }

    class NullLabel final : public StatusLabel {
      public:
        void setCaption(const QString&) override {}
        void repaintNow() override {}
    } label;
    ScriptedMessageBoxes boxes;
    const QString mp3 = path(QStringLiteral("tone.mp3"));
};

TEST_F(RealConversionTest, ToneKeepsItsLengthAndPitch) {
    const struct {
        int rate;
        int frameSize;
        int versionBits;  // of the MPEG header: 3 = MPEG-1, 2 = MPEG-2, 0 = MPEG-2.5
    } cases[] = {{44100, 1152, 3}, {48000, 1152, 3}, {22050, 576, 2}, {11025, 576, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        // A length that is no multiple of any block, so the last block is a partial one.
        const std::int64_t frames = c.rate * 3 / 2 + 333;
        const Decoded d = convert(c.rate, frames, 1000.0);
        EXPECT_EQ(d.rate, c.rate);
        // A plain MP3 stream is the recording shifted by the codec's fixed delay (576 samples of
        // the encoder, 529 of the decoder) and padded up to a whole frame: beyond that delay the
        // decoded length is the recording's to within one frame.
        const auto decoded = static_cast<std::int64_t>(d.left.size());
        EXPECT_GE(decoded, frames + kCodecDelay);
        EXPECT_LT(decoded, frames + kCodecDelay + c.frameSize);
        EXPECT_NEAR(toneFrequency(d.left, c.rate), 1000.0, 10.0);
        const QByteArray bytes = readFile(mp3);
        ASSERT_GE(bytes.size(), 4);
        EXPECT_EQ(static_cast<std::uint8_t>(bytes[0]), 0xFF);
        EXPECT_EQ((static_cast<std::uint8_t>(bytes[1]) >> 3) & 3, c.versionBits);
        // No empty information frame at the start.
        EXPECT_FALSE(bytes.left(200).contains("Info"));
        EXPECT_FALSE(bytes.left(200).contains("Xing"));
    }
}

TEST_F(RealConversionTest, ARecordingShorterThanOneBlockStillHasItsSound) {
    const Decoded d = convert(44100, 700, 2000.0);
    float peak = 0;
    for (float v : d.left) {
        peak = std::max(peak, std::fabs(v));
    }
    EXPECT_GT(peak, 0.2f);
}

TEST_F(RealConversionTest, TheEndOfTheRecordingIsInTheMp3) {
    // Silence, then a burst in the last 20 ms: a dropped last block would lose it.
    const int rate = 44100;
    QByteArray pcm(rate * 4, '\0');
    pcm.append(toneFrames(rate / 50, rate, 3000.0, 20000.0));
    const QString wav = path(QStringLiteral("burst.tmp"));
    writeFile(wav, waveFile({riffChunk("fmt ", pcmFormat(2, rate, 16)), riffChunk("data", pcm)}));
    WAVToMP3 conversion(QStringLiteral(ZORVITA_APP_DIR), QStringLiteral("44100"), boxes, label);
    ASSERT_EQ(conversion.CreateWAVtoMP3(wav, mp3, false), QString());
    const Decoded d = decode(mp3);
    float peak = 0;
    for (std::size_t i = rate / 2; i < d.left.size(); ++i) {
        peak = std::max(peak, std::fabs(d.left[i]));
    }
    EXPECT_GT(peak, 0.3f);
}

}  // namespace
