// The WAVE writer: its header, results and texts, and every format it offers read back by FFmpeg
// (through the converter) and by sox.
#include "recorder/EncoderWAV.h"

#include "platform/codecs/wave_formats.h"
#include "platform/ui/error.h"
#include "tests/converter/mp3_decode.h"
#include "tests/platform/audio/pulse_daemon.h"
#include "tests/support/temp_env.h"

#include <QFile>
#include <QtEndian>

#include <cmath>

#include <gtest/gtest.h>

namespace {

using recorder::EncoderWAV;
using testing_support::runHelper;
using testing_support::TempFolderTest;

const QString kConverter = QStringLiteral(ZORVITA_APP_DIR "/Skin.dll");

QByteArray tone(int rate, int channels, double seconds, double frequency = 1000) {
    const int frames = static_cast<int>(std::lround(rate * seconds));
    QByteArray pcm(frames * channels * 2, '\0');
    auto* s = reinterpret_cast<qint16*>(pcm.data());
    for (int i = 0; i < frames; ++i) {
        const auto v = static_cast<qint16>(12000 * std::sin(2 * M_PI * frequency * i / rate));
        for (int c = 0; c < channels; ++c) {
            s[i * channels + c] = v;
        }
    }
    return pcm;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

quint32 le32(const QByteArray& b, qsizetype at) {
    return qFromLittleEndian<quint32>(b.constData() + at);
}

// Feeds pcm in pieces of `piece` bytes; returns the first result that is not 0, else 0.
int feed(EncoderWAV& e, const QByteArray& pcm, int piece, qint64* used = nullptr) {
    qint64 total = 0;
    for (qsizetype at = 0; at < pcm.size(); at += piece) {
        const auto n = static_cast<int>(std::min<qsizetype>(piece, pcm.size() - at));
        int took = -1;
        const int rc = e.Encode(pcm.constData() + at, n, &took);
        if (rc != 0) {
            return rc;
        }
        // What the codec takes may include the part of a frame kept from the last call.
        EXPECT_GE(took, 0);
        EXPECT_LE(took, n + 3);
        total += took;
    }
    if (used != nullptr) {
        *used = total;
    }
    return 0;
}

// Checks the header's sizes against the file; returns the format record.
QByteArray expectHeader(const QByteArray& file) {
    EXPECT_EQ(file.left(4), QByteArray("RIFF"));
    EXPECT_EQ(le32(file, 4), static_cast<quint32>(file.size() - 8));
    EXPECT_EQ(file.mid(8, 8), QByteArray("WAVEfmt "));
    const quint32 length = le32(file, 16);
    EXPECT_EQ(file.mid(20 + length, 4), QByteArray("data"));
    EXPECT_EQ(le32(file, 24 + length), static_cast<quint32>(file.size() - 28 - length));
    return file.mid(20, length);
}

class EncoderWavTest : public TempFolderTest {};

TEST_F(EncoderWavTest, DescribesItselfAndStartsWithCdQualityPcm) {
    EncoderWAV e;
    EXPECT_EQ(e.Description(), QStringLiteral("Wave ACM Encoder"));
    EXPECT_EQ(e.Extension(), QStringLiteral("wav"));
    EXPECT_EQ(e.FormatTag(), QStringLiteral("PCM"));
    EXPECT_EQ(e.FormatID(), QStringLiteral("44.1 kHz 16 Bit Stereo"));
    EXPECT_TRUE(e.WriteHeader());
    EXPECT_EQ(e.Format(), platform::pcmWaveFormat(44100, 2, 16));
    EXPECT_EQ(e.Format().toHex(), QByteArray("0100020044ac000010b1020004001000"
                                             "0000"));
}

TEST_F(EncoderWavTest, OneSecondOfCdPcmMakesAFileOf176446Bytes) {
    EncoderWAV e;
    const QString file = path(QStringLiteral("one.wav"));
    ASSERT_EQ(e.EncoderInit(44100, 2, file), 0);
    EXPECT_EQ(e.EncoderMetrics(0), 4);
    EXPECT_EQ(e.EncoderMetrics(1), 176400);
    EXPECT_EQ(e.EncoderMetrics(5), 0);
    const QByteArray pcm = tone(44100, 2, 1.0);
    ASSERT_EQ(pcm.size(), 176400);
    qint64 used = 0;
    ASSERT_EQ(feed(e, pcm, 10240, &used), 0);
    EXPECT_EQ(used, 176400);
    EXPECT_EQ(e.EncoderClose(), 0);
    EXPECT_EQ(e.EncoderClose(), 2);
    EXPECT_EQ(e.EncoderMetrics(0), -1);
    EXPECT_EQ(e.EncoderMetrics(1), -1);
    EXPECT_EQ(e.EncoderMetrics(5), 0);

    const QByteArray wav = readAll(file);
    ASSERT_EQ(wav.size(), 176446);
    EXPECT_EQ(wav.left(4), QByteArray("RIFF"));
    EXPECT_EQ(le32(wav, 4), 176438u);
    EXPECT_EQ(wav.mid(8, 8), QByteArray("WAVEfmt "));
    EXPECT_EQ(le32(wav, 16), 18u);
    EXPECT_EQ(wav.mid(20, 18), platform::pcmWaveFormat(44100, 2, 16));
    EXPECT_EQ(wav.mid(38, 4), QByteArray("data"));
    EXPECT_EQ(le32(wav, 42), 176400u);
    EXPECT_EQ(wav.mid(46), pcm);
}

TEST_F(EncoderWavTest, AnEmptyRecordingIsHeaderOnlyAndWithoutHeaderOnlyData) {
    EncoderWAV e;
    const QString empty = path(QStringLiteral("empty.wav"));
    ASSERT_EQ(e.EncoderInit(22050, 1, empty), 0);
    ASSERT_EQ(e.EncoderClose(), 0);
    const QByteArray header = readAll(empty);
    ASSERT_EQ(header.size(), 18 + 28);
    EXPECT_EQ(le32(header, 42), 0u);

    e.SetWriteHeader(false);
    const QString raw = path(QStringLiteral("raw.wav"));
    ASSERT_EQ(e.EncoderInit(44100, 2, raw), 0);
    const QByteArray pcm = tone(44100, 2, 0.25);
    ASSERT_EQ(feed(e, pcm, 10240), 0);
    ASSERT_EQ(e.EncoderClose(), 0);
    EXPECT_EQ(readAll(raw), pcm);
}

TEST_F(EncoderWavTest, TooMuchInputIsRefusedAndTheHeaderFlagIsFixedWhileRunning) {
    EncoderWAV e;
    const QString file = path(QStringLiteral("big.wav"));
    ASSERT_EQ(e.EncoderInit(8000, 1, file), 0);
    const QByteArray pcm(e.EncoderMetrics(1) + 1, '\1');
    int used = -1;
    EXPECT_EQ(e.Encode(pcm.constData(), pcm.size(), &used), 8);
    EXPECT_EQ(e.Encode(nullptr, 5, &used), 0);
    EXPECT_EQ(used, 0);
    try {
        e.SetWriteHeader(false);
        ADD_FAILURE() << "no error while a file is open";
    } catch (const platform::Error& error) {
        EXPECT_EQ(error.number(), 90);
        EXPECT_EQ(error.description(), QStringLiteral("Encoder already running!"));
    }
    EXPECT_TRUE(e.WriteHeader());
    ASSERT_EQ(e.EncoderClose(), 0);
    EXPECT_EQ(readAll(file).size(), 46);
    int ignored = 0;
    EXPECT_EQ(e.Encode(pcm.constData(), 2, &ignored), 2);
}

TEST_F(EncoderWavTest, PcmFormatsGetTheirTexts) {
    EncoderWAV e;
    e.SetPCMFormat(44100, 2);
    EXPECT_EQ(e.FormatID(), QStringLiteral("44.1 16 Bit stereo"));
    EXPECT_EQ(e.FormatTag(), QStringLiteral("PCM"));
    e.SetPCMFormat(11025, 1);
    EXPECT_EQ(e.FormatID(), QStringLiteral("11 16 Bit mono"));
    EXPECT_EQ(e.Format(), platform::pcmWaveFormat(11025, 1, 16));
    e.SetPCMFormat(22050, 2);
    EXPECT_EQ(e.FormatID(), QStringLiteral("22.1 16 Bit stereo"));
    e.SetPCMFormat(48000, 2, QStringLiteral("studio"), QStringLiteral("Plain"));
    EXPECT_EQ(e.FormatID(), QStringLiteral("studio"));
    EXPECT_EQ(e.FormatTag(), QStringLiteral("Plain"));
    EXPECT_EQ(e.Format().size(), 18);
}

TEST_F(EncoderWavTest, SetFormatTakesWholeRecordsOnly) {
    EncoderWAV e;
    const QByteArray before = e.Format();
    e.SetFormat(nullptr, 18, QStringLiteral("x"), QStringLiteral("y"));
    const QByteArray shortRecord(10, '\1');
    e.SetFormat(shortRecord.constData(), shortRecord.size(), QStringLiteral("x"),
                QStringLiteral("y"));
    QByteArray promises = platform::pcmWaveFormat(8000, 1, 8);
    promises[16] = 4;  // cbSize 4, but no extra bytes follow
    e.SetFormat(promises.constData(), promises.size(), QStringLiteral("x"), QStringLiteral("y"));
    EXPECT_EQ(e.Format(), before);
    EXPECT_EQ(e.FormatTag(), QStringLiteral("PCM"));

    const QByteArray mono8 = platform::pcmWaveFormat(8000, 1, 8);
    e.SetFormat(mono8.constData(), mono8.size(), QStringLiteral("8.0 kHz 8 Bit Mono"),
                QStringLiteral("PCM"));
    EXPECT_EQ(e.Format(), mono8);
    EXPECT_EQ(e.FormatID(), QStringLiteral("8.0 kHz 8 Bit Mono"));
}

TEST_F(EncoderWavTest, TheFormatDialogsAnswerDecidesTheFormat) {
    EncoderWAV none;
    EXPECT_EQ(none.SelectFormat(44100, 2, nullptr, QStringLiteral("Format")), 11);

    QString askedTitle;
    int askedRate = 0;
    bool accept = false;
    EncoderWAV e([&](QWidget*, const QString& title, int rate, int, const QByteArray&,
                     platform::WaveFormatOption* chosen) {
        askedTitle = title;
        askedRate = rate;
        if (accept) {
            *chosen = {QStringLiteral("PCM"), QStringLiteral("22.0 kHz 8 Bit Mono"),
                       platform::pcmWaveFormat(22050, 1, 8)};
        }
        return accept;
    });
    EXPECT_EQ(e.SelectFormat(22050, 1, nullptr, QStringLiteral("Choose")), 11);
    EXPECT_EQ(askedTitle, QStringLiteral("Choose"));
    EXPECT_EQ(askedRate, 22050);
    EXPECT_EQ(e.FormatID(), QStringLiteral("44.1 kHz 16 Bit Stereo"));
    accept = true;
    EXPECT_EQ(e.SelectFormat(22050, 1, nullptr, QStringLiteral("Choose")), 0);
    EXPECT_EQ(e.FormatID(), QStringLiteral("22.0 kHz 8 Bit Mono"));
    EXPECT_EQ(e.Format(), platform::pcmWaveFormat(22050, 1, 8));
}

TEST_F(EncoderWavTest, FailedStartsLeaveNothingOpen) {
    EncoderWAV e;
    EXPECT_EQ(e.EncoderInit(0, 2, path(QStringLiteral("a.wav"))), 7);
    EXPECT_EQ(e.EncoderInit(44100, 0, path(QStringLiteral("a.wav"))), 7);
    EXPECT_EQ(e.EncoderInit(44100, 2, path(QStringLiteral("missing/folder/a.wav"))), 2);
    EXPECT_EQ(e.EncoderMetrics(0), -1);

    QByteArray unknown = platform::pcmWaveFormat(44100, 2, 16);
    unknown[0] = 0x34;
    unknown[1] = 0x12;
    e.SetFormat(unknown.constData(), unknown.size(), QStringLiteral("?"), QStringLiteral("?"));
    EXPECT_EQ(e.EncoderInit(44100, 2, path(QStringLiteral("b.wav"))), 7);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("b.wav"))));
    // A record that promises a block size its codec does not write.
    QByteArray ima = platform::encodableWaveFormats(44100, 2).at(7).format;
    ASSERT_EQ(qFromLittleEndian<quint16>(ima.constData()), 0x11);
    ima[12] = 3;
    e.SetFormat(ima.constData(), ima.size(), QStringLiteral("?"), QStringLiteral("?"));
    EXPECT_EQ(e.EncoderInit(44100, 2, path(QStringLiteral("c.wav"))), 7);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("c.wav"))));
}

const platform::WaveFormatOption* findFormat(const std::vector<platform::WaveFormatOption>& all,
                                             const char* tag) {
    for (const auto& o : all) {
        if (o.tag == QLatin1String(tag)) {
            return &o;
        }
    }
    return nullptr;
}

// Pieces of odd sizes split frames and codec blocks: nothing of them may go missing.
TEST_F(EncoderWavTest, BytesTheCodecDidNotTakeYetAreEncodedWithTheNextCall) {
    EncoderWAV e;
    const QString pcmFile = path(QStringLiteral("odd.wav"));
    ASSERT_EQ(e.EncoderInit(44100, 2, pcmFile), 0);
    const QByteArray pcm = tone(44100, 2, 0.5);
    qint64 used = 0;
    ASSERT_EQ(feed(e, pcm, 1001, &used), 0);
    ASSERT_EQ(e.EncoderClose(), 0);
    EXPECT_EQ(used, pcm.size());
    EXPECT_EQ(readAll(pcmFile).mid(46), pcm);

    const auto all = platform::encodableWaveFormats(44100, 2);
    const platform::WaveFormatOption* ima = findFormat(all, "IMA ADPCM");
    ASSERT_NE(ima, nullptr);
    e.SetFormat(ima->format.constData(), static_cast<int>(ima->format.size()), ima->id, ima->tag);
    const QString imaFile = path(QStringLiteral("odd-ima.wav"));
    ASSERT_EQ(e.EncoderInit(44100, 2, imaFile), 0);
    ASSERT_EQ(feed(e, pcm, 777, &used), 0);
    ASSERT_EQ(e.EncoderClose(), 0);
    EXPECT_EQ(used, pcm.size());
    QByteArray soxOut;
    ASSERT_EQ(runHelper(QStringLiteral("soxi"), {QStringLiteral("-s"), imaFile}, 30000, &soxOut),
              0);
    const qint64 frames = soxOut.trimmed().toLongLong();
    // Every input frame is there; the last block is filled up with silence.
    EXPECT_GE(frames, pcm.size() / 4);
    EXPECT_LT(frames, pcm.size() / 4 + 1017);
}

TEST_F(EncoderWavTest, AFullDiskDuringEncodeGives10AndAValidFileOfWhatWasWritten) {
    EncoderWAV e;
    const QString file = path(QStringLiteral("full.wav"));
    ASSERT_EQ(e.EncoderInit(44100, 2, file), 0);
    const QByteArray pcm = tone(44100, 2, 1.0);
    int rc = 0;
    {
        testing_support::FileSizeLimit limit(46 + 30000);
        rc = feed(e, pcm, 10240);
        EXPECT_EQ(rc, 10);
        EXPECT_EQ(e.EncoderClose(), 0);
    }
    const QByteArray wav = readAll(file);
    EXPECT_EQ(expectHeader(wav), platform::pcmWaveFormat(44100, 2, 16));
    // Only whole pieces stay: two of the 10240-byte buffers fitted.
    EXPECT_EQ(wav.size(), 46 + 20480);
    EXPECT_EQ(wav.mid(46), pcm.left(20480));
    EXPECT_EQ(runHelper(QStringLiteral("sox"), {file, QStringLiteral("-n")}), 0);
}

TEST_F(EncoderWavTest, AWriteErrorWhileClosingGives10) {
    EncoderWAV e;
    const auto all = platform::encodableWaveFormats(44100, 2);
    const platform::WaveFormatOption* ms = findFormat(all, "Microsoft ADPCM");
    ASSERT_NE(ms, nullptr);
    e.SetFormat(ms->format.constData(), static_cast<int>(ms->format.size()), ms->id, ms->tag);
    const QString file = path(QStringLiteral("close.wav"));
    ASSERT_EQ(e.EncoderInit(44100, 2, file), 0);
    // Less than one block: the codec holds it until the file is closed.
    const QByteArray pcm = tone(44100, 2, 0.005);
    ASSERT_EQ(feed(e, pcm, 10240), 0);
    const qint64 before = QFile(file).size();
    {
        testing_support::FileSizeLimit limit(static_cast<unsigned long>(before));
        EXPECT_EQ(e.EncoderClose(), 10);
    }
    const QByteArray wav = readAll(file);
    EXPECT_EQ(wav.size(), before);
    EXPECT_EQ(expectHeader(wav), ms->format);
}

// Whether sox reads a WAVE file of this format tag.
bool soxReads(quint16 tag) {
    switch (tag) {
        case 0x0001:
        case 0x0002:
        case 0x0003:
        case 0x0006:
        case 0x0007:
        case 0x0011:
        case 0x0031:
            return true;
        default:
            return false;
    }
}

class EveryFormatTest : public TempFolderTest,
                        public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(EveryFormatTest, IsReadBackByTheConverterAndBySox) {
    const auto [rate, channels] = GetParam();
    const double seconds = 1.0;
    const QByteArray pcm = tone(rate, channels, seconds);
    const auto formats = platform::encodableWaveFormats(rate, channels);
    ASSERT_GE(formats.size(), 11u);
    int n = 0;
    for (const platform::WaveFormatOption& f : formats) {
        SCOPED_TRACE(QString(f.tag + QStringLiteral(" ") + f.id).toStdString());
        EncoderWAV e;
        e.SetFormat(f.format.constData(), static_cast<int>(f.format.size()), f.id, f.tag);
        const QString wav = path(QStringLiteral("format%1").arg(++n));
        ASSERT_EQ(e.EncoderInit(rate, channels, wav), 0);
        ASSERT_EQ(feed(e, pcm, 10240), 0);
        ASSERT_EQ(e.EncoderClose(), 0);
        const QByteArray file = readAll(wav);
        EXPECT_EQ(expectHeader(file), f.format);

        QByteArray output;
        ASSERT_EQ(runHelper(kConverter, {wav}, 60000, &output), 0) << output.constData();
        const testing_support::DecodedMp3 d =
            testing_support::decodeMp3(wav + QStringLiteral(".mp3"));
        ASSERT_TRUE(d.ok);
        const double heard = static_cast<double>(d.frames()) / d.rate;
        // The codecs' delays and last blocks add a little (MP3's own delay and frame, a codec's
        // block of up to 4096 samples); nothing may be missing.
        EXPECT_GE(heard, seconds * 0.98);
        EXPECT_LE(heard, seconds + (1105.0 + d.frameSize) / d.rate + 0.2);
        const QByteArray middle =
            d.firstChannel.mid(d.firstChannel.size() / 4, d.firstChannel.size() / 2);
        EXPECT_GT(testing_support::toneShare(middle, 1, d.rate, 1000), 0.5);

        const quint16 tag = qFromLittleEndian<quint16>(f.format.constData());
        if (soxReads(tag)) {
            QByteArray soxOut;
            EXPECT_EQ(
                runHelper(QStringLiteral("sox"),
                          {wav, QStringLiteral("-n"), QStringLiteral("stat")}, 30000, &soxOut),
                0)
                << soxOut.constData();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(RecorderRates, EveryFormatTest,
                         ::testing::Values(std::pair{44100, 2}, std::pair{22050, 1}));

}  // namespace
