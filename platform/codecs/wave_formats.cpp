#include "platform/codecs/wave_formats.h"

#include "platform/codecs/encoder_setup.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace platform {

namespace {

// Formats a record as the little-endian bytes of a format chunk.
QByteArray writeFields(const WaveFormatFields& f) {
    QByteArray b(kWaveFormatBytes, '\0');
    uchar* p = reinterpret_cast<uchar*>(b.data());
    qToLittleEndian(f.formatTag, p);
    qToLittleEndian(f.channels, p + 2);
    qToLittleEndian(f.samplesPerSec, p + 4);
    qToLittleEndian(f.avgBytesPerSec, p + 8);
    qToLittleEndian(f.blockAlign, p + 12);
    qToLittleEndian(f.bitsPerSample, p + 14);
    qToLittleEndian(f.cbSize, p + 16);
    return b;
}

QByteArray floatWaveFormat(int rate, int channels) {
    QByteArray b = pcmWaveFormat(rate, channels, 32);
    qToLittleEndian(kWaveFormatFloat, reinterpret_cast<uchar*>(b.data()));
    return b;
}

// The codecs a listing offers first, in this order, with the names users know them by; every
// other encoder that a WAVE file can hold follows under its own name.
struct KnownFamily {
    AVCodecID id;
    const char* name;
};
constexpr std::array<KnownFamily, 6> kKnownFamilies{{
    {AV_CODEC_ID_PCM_ALAW, "CCITT A-Law"},
    {AV_CODEC_ID_PCM_MULAW, "CCITT u-Law"},
    {AV_CODEC_ID_ADPCM_IMA_WAV, "IMA ADPCM"},
    {AV_CODEC_ID_ADPCM_MS, "Microsoft ADPCM"},
    {AV_CODEC_ID_GSM_MS, "GSM 6.10"},
    {AV_CODEC_ID_MP3, "MPEG Layer-3"},
}};

constexpr std::array<int, 7> kCommonRates{8000, 11025, 16000, 22050, 32000, 44100, 48000};

// Codecs with a WAVE tag whose data FFmpeg's own WAVE reader cannot play back: their packets need
// the framing of their usual containers. Offering them would make files nothing reads.
bool unreadableInWave(AVCodecID id) {
    return id == AV_CODEC_ID_AAC || id == AV_CODEC_ID_VORBIS || id == AV_CODEC_ID_SPEEX;
}

bool isPcmCodec(AVCodecID id) {
    switch (id) {
        case AV_CODEC_ID_PCM_U8:
        case AV_CODEC_ID_PCM_S16LE:
        case AV_CODEC_ID_PCM_S24LE:
        case AV_CODEC_ID_PCM_S32LE:
        case AV_CODEC_ID_PCM_F32LE:
            return true;
        default:
            return false;
    }
}

QString kiloHertz(int rate) {
    return QString::number(rate / 1000.0, 'f', 1) + QStringLiteral(" kHz");
}

QString channelText(int channels) {
    if (channels == 1) {
        return QStringLiteral("Mono");
    }
    if (channels == 2) {
        return QStringLiteral("Stereo");
    }
    return QString::number(channels) + QStringLiteral(" Channels");
}

QString attributeText(const QByteArray& record) {
    WaveFormatFields f;
    readWaveFormat(record, &f);
    const int rate = static_cast<int>(f.samplesPerSec);
    if (f.formatTag == kWaveFormatPcm || f.formatTag == kWaveFormatFloat) {
        return kiloHertz(rate) + QLatin1Char(' ') + QString::number(f.bitsPerSample) +
               QStringLiteral(" Bit ") + channelText(f.channels);
    }
    const auto kbits = static_cast<long>(std::lround(f.avgBytesPerSec * 8 / 1000.0));
    return kiloHertz(rate) + QLatin1Char(' ') + channelText(f.channels) + QLatin1Char(' ') +
           QString::number(kbits) + QStringLiteral(" kbit/s");
}

const AVCodecTag* const kRiffTags[] = {avformat_get_riff_audio_tags(), nullptr};

// The rates and channel counts a codec is offered at: the recording's own when the codec takes
// them, else every common rate it takes (in the recording's channel count, else mono).
std::vector<QByteArray> recordsFor(const AVCodec* codec, int rate, int channels) {
    std::vector<QByteArray> out;
    const auto tryOpen = [&](int r, int c) {
        const auto context =
            codec_setup::openEncoder(codec, r, c, codec_setup::bitRateFor(codec->id, r, c, 0));
        if (!context) {
            return false;
        }
        QByteArray record = codec_setup::waveFormatOf(context.get());
        WaveFormatFields fields;
        // A record whose tag leads back to another encoder would not open this one again.
        if (!readWaveFormat(record, &fields) || codec_setup::encoderForFormat(fields) == nullptr ||
            codec_setup::encoderForFormat(fields)->id != codec->id) {
            return false;
        }
        out.push_back(std::move(record));
        return true;
    };
    if (tryOpen(rate, channels)) {
        return out;
    }
    // Otherwise one entry: the highest common rate the codec takes up to the recording's, else
    // the lowest above it.
    std::vector<int> rates(kCommonRates.begin(), kCommonRates.end());
    const auto above =
        std::stable_partition(rates.begin(), rates.end(), [&](int r) { return r <= rate; });
    std::reverse(rates.begin(), above);
    for (const int r : rates) {
        if (r != rate && (tryOpen(r, channels) || (channels != 1 && tryOpen(r, 1)))) {
            break;
        }
    }
    return out;
}

}  // namespace

bool readWaveFormat(const QByteArray& record, WaveFormatFields* fields) {
    if (record.size() < kWaveFormatBytes) {
        return false;
    }
    const uchar* p = reinterpret_cast<const uchar*>(record.constData());
    fields->formatTag = qFromLittleEndian<std::uint16_t>(p);
    fields->channels = qFromLittleEndian<std::uint16_t>(p + 2);
    fields->samplesPerSec = qFromLittleEndian<std::uint32_t>(p + 4);
    fields->avgBytesPerSec = qFromLittleEndian<std::uint32_t>(p + 8);
    fields->blockAlign = qFromLittleEndian<std::uint16_t>(p + 12);
    fields->bitsPerSample = qFromLittleEndian<std::uint16_t>(p + 14);
    fields->cbSize = qFromLittleEndian<std::uint16_t>(p + 16);
    return true;
}

QByteArray pcmWaveFormat(int rate, int channels, int bits) {
    WaveFormatFields f;
    f.formatTag = kWaveFormatPcm;
    f.channels = static_cast<std::uint16_t>(channels);
    f.samplesPerSec = static_cast<std::uint32_t>(rate);
    f.blockAlign = static_cast<std::uint16_t>(std::lround(bits / 8.0 * channels));
    f.avgBytesPerSec = f.blockAlign * static_cast<std::uint32_t>(rate);
    f.bitsPerSample = static_cast<std::uint16_t>(bits);
    return writeFields(f);
}

void quietCodecLog() {
    // Refused trial configurations are expected while listing; failures reach callers as results.
    av_log_set_level(AV_LOG_QUIET);
}

std::vector<WaveFormatOption> encodableWaveFormats(int rate, int channels) {
    quietCodecLog();
    std::vector<WaveFormatOption> options;
    if (rate < 1 || channels < 1) {
        return options;
    }
    for (const int bits : {8, 16, 24, 32}) {
        QByteArray record = pcmWaveFormat(rate, channels, bits);
        options.push_back({QStringLiteral("PCM"), attributeText(record), record});
    }
    QByteArray floats = floatWaveFormat(rate, channels);
    options.push_back({QStringLiteral("IEEE Float"), attributeText(floats), floats});

    const auto addFamily = [&](const AVCodec* codec, const QString& name) {
        if (codec == nullptr || (codec->capabilities & AV_CODEC_CAP_EXPERIMENTAL) != 0) {
            return;
        }
        for (QByteArray& record : recordsFor(codec, rate, channels)) {
            options.push_back({name, attributeText(record), std::move(record)});
        }
    };
    for (const KnownFamily& family : kKnownFamilies) {
        addFamily(avcodec_find_encoder(family.id), QString::fromLatin1(family.name));
    }
    // Every other codec with a WAVE format tag, in tag order; one encoder per tag, the one a
    // reader of the tag expects.
    std::vector<std::pair<unsigned, const AVCodec*>> others;
    void* it = nullptr;
    while (const AVCodec* codec = av_codec_iterate(&it)) {
        if (!av_codec_is_encoder(codec) || codec->type != AVMEDIA_TYPE_AUDIO ||
            isPcmCodec(codec->id) || unreadableInWave(codec->id) ||
            std::any_of(kKnownFamilies.begin(), kKnownFamilies.end(),
                        [&](const KnownFamily& f) { return f.id == codec->id; })) {
            continue;
        }
        const unsigned tag = av_codec_get_tag(kRiffTags, codec->id);
        // 0xFFFE names its codec by a GUID in the extra bytes, which no reader maps back here.
        if (tag == 0 || tag == 0xFFFE || av_codec_get_id(kRiffTags, tag) != codec->id ||
            avcodec_find_encoder(codec->id) != codec) {
            continue;
        }
        others.emplace_back(tag, codec);
    }
    std::sort(others.begin(), others.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [tag, codec] : others) {
        addFamily(codec, QString::fromUtf8(codec->long_name ? codec->long_name : codec->name));
    }
    return options;
}

namespace codec_setup {

std::int64_t bitRateFor(AVCodecID id, int rate, int channels, std::int64_t asked) {
    switch (id) {
        case AV_CODEC_ID_MP3:
        case AV_CODEC_ID_MP2:
        case AV_CODEC_ID_AAC:
        case AV_CODEC_ID_AC3:
        case AV_CODEC_ID_WMAV1:
        case AV_CODEC_ID_WMAV2:
        case AV_CODEC_ID_DTS:
            if (asked > 0) {
                return asked;
            }
            return static_cast<std::int64_t>(rate >= 32000 ? 64000 : 32000) * channels;
        case AV_CODEC_ID_ADPCM_G726:
            return asked > 0 ? asked : 32000;
        case AV_CODEC_ID_G723_1:
            return 6300;
        default:
            return 0;
    }
}

CodecContextPtr openEncoder(const AVCodec* codec, int rate, int channels, std::int64_t bitRate) {
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context) {
        return nullptr;
    }
    context->sample_rate = rate;
    av_channel_layout_default(&context->ch_layout, channels);
    context->sample_fmt = codec->sample_fmts != nullptr ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    for (const AVSampleFormat* f = codec->sample_fmts; f != nullptr && *f != AV_SAMPLE_FMT_NONE;
         ++f) {
        if (*f == AV_SAMPLE_FMT_S16 || *f == AV_SAMPLE_FMT_S16P) {
            context->sample_fmt = *f;
            break;
        }
    }
    if (bitRate > 0) {
        context->bit_rate = bitRate;
    }
    context->time_base = AVRational{1, rate};
    context->flags |= AV_CODEC_FLAG_BITEXACT;
    if (avcodec_open2(context.get(), codec, nullptr) < 0) {
        return nullptr;
    }
    return context;
}

QByteArray waveFormatOf(const AVCodecContext* context) {
    const int rate = context->sample_rate;
    const int channels = context->ch_layout.nb_channels;
    switch (context->codec_id) {
        case AV_CODEC_ID_PCM_U8:
            return pcmWaveFormat(rate, channels, 8);
        case AV_CODEC_ID_PCM_S16LE:
            return pcmWaveFormat(rate, channels, 16);
        case AV_CODEC_ID_PCM_S24LE:
            return pcmWaveFormat(rate, channels, 24);
        case AV_CODEC_ID_PCM_S32LE:
            return pcmWaveFormat(rate, channels, 32);
        case AV_CODEC_ID_PCM_F32LE:
            return floatWaveFormat(rate, channels);
        default:
            break;
    }
    // The WAVE writer of libavformat knows each codec's record (MP3's, ADPCM's coefficients, ...):
    // let it write a header into memory and take its format chunk.
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, "wav", nullptr) < 0) {
        return {};
    }
    const std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> muxer(
        raw, [](AVFormatContext* f) {
            if (f->pb != nullptr) {
                std::uint8_t* bytes = nullptr;
                avio_close_dyn_buf(f->pb, &bytes);
                av_free(bytes);
            }
            avformat_free_context(f);
        });
    AVStream* stream = avformat_new_stream(muxer.get(), nullptr);
    if (stream == nullptr || avcodec_parameters_from_context(stream->codecpar, context) < 0 ||
        avio_open_dyn_buf(&muxer->pb) < 0) {
        return {};
    }
    stream->time_base = AVRational{1, rate};
    // Codecs of a fixed sample size have a fixed rate of bytes, which the record states.
    const int bits = av_get_bits_per_sample(context->codec_id);
    if (bits > 0) {
        stream->codecpar->bit_rate = static_cast<std::int64_t>(rate) * channels * bits;
    }
    muxer->flags |= AVFMT_FLAG_BITEXACT;
    if (avformat_write_header(muxer.get(), nullptr) < 0) {
        return {};
    }
    std::uint8_t* bytes = nullptr;
    const int size = avio_close_dyn_buf(muxer->pb, &bytes);
    muxer->pb = nullptr;
    const QByteArray header(reinterpret_cast<const char*>(bytes), size);
    av_free(bytes);
    for (qsizetype at = 12; at + 8 <= header.size();) {
        const auto length = qFromLittleEndian<std::uint32_t>(header.constData() + at + 4);
        if (header.mid(at, 4) == "fmt ") {
            QByteArray record = header.mid(at + 8, length);
            if (record.size() == 16) {
                record.append(2, '\0');
            }
            return record.size() >= kWaveFormatBytes ? record : QByteArray();
        }
        at += 8 + length + (length & 1);
    }
    return {};
}

const AVCodec* encoderForFormat(const WaveFormatFields& fields) {
    AVCodecID id = AV_CODEC_ID_NONE;
    if (fields.formatTag == kWaveFormatPcm) {
        switch (fields.bitsPerSample) {
            case 8:
                id = AV_CODEC_ID_PCM_U8;
                break;
            case 16:
                id = AV_CODEC_ID_PCM_S16LE;
                break;
            case 24:
                id = AV_CODEC_ID_PCM_S24LE;
                break;
            case 32:
                id = AV_CODEC_ID_PCM_S32LE;
                break;
            default:
                break;
        }
    } else if (fields.formatTag == kWaveFormatFloat) {
        id = fields.bitsPerSample == 32 ? AV_CODEC_ID_PCM_F32LE : AV_CODEC_ID_NONE;
    } else if (fields.formatTag != 0xFFFE) {
        id = av_codec_get_id(kRiffTags, fields.formatTag);
    }
    return id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_encoder(id);
}

}  // namespace codec_setup

}  // namespace platform
