// The converter program run as the recorder runs it, on WAVE files of every kind sox writes.
#include "converter/Converter.h"
#include "tests/converter/mp3_decode.h"
#include "tests/platform/audio/pulse_daemon.h"
#include "tests/support/temp_env.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using testing_support::runHelper;
using testing_support::TempFolderTest;

const QString kConverter = QStringLiteral(ZORVITA_APP_DIR "/Skin.dll");

// Writes `seconds` of a 1 kHz tone with sox; format holds sox's encoding options.
bool makeTone(const QString& file, const QStringList& format, int rate, int channels,
              double seconds) {
    QStringList args = {QStringLiteral("-n"), QStringLiteral("-r"), QString::number(rate),
                        QStringLiteral("-c"), QString::number(channels)};
    args << format << file << QStringLiteral("synth") << QString::number(seconds)
         << QStringLiteral("sine") << QStringLiteral("1000") << QStringLiteral("vol")
         << QStringLiteral("0.5");
    QByteArray output;
    const int code = runHelper(QStringLiteral("sox"), args, 30000, &output);
    EXPECT_EQ(code, 0) << output.constData();
    return code == 0;
}

// Frames a WAVE file holds as sox reads it: block codecs pad the last block.
qint64 framesIn(const QString& file) {
    QByteArray output;
    EXPECT_EQ(runHelper(QStringLiteral("soxi"), {QStringLiteral("-s"), file}, 30000, &output), 0);
    return output.trimmed().toLongLong();
}

QStringList soxArgs(const char* text) {
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

TEST(ConverterNamesTest, ArgumentsPathsAndRates) {
    using converter::pathFromArguments;
    EXPECT_EQ(pathFromArguments({QStringLiteral("\"/a b/c.wav\"")}), QStringLiteral("/a b/c.wav"));
    EXPECT_EQ(pathFromArguments({QStringLiteral("/a b/c.wav")}), QStringLiteral("/a b/c.wav"));
    EXPECT_EQ(pathFromArguments({QStringLiteral("\"/a"), QStringLiteral("b/c.wav\"")}),
              QStringLiteral("/a b/c.wav"));
    EXPECT_EQ(pathFromArguments({QStringLiteral("\"")}), QStringLiteral("\""));
    EXPECT_EQ(pathFromArguments({}), QString());

    using converter::mp3PathFor;
    EXPECT_EQ(mp3PathFor(QStringLiteral("/x/rec.WAV")), QStringLiteral("/x/rec.mp3"));
    EXPECT_EQ(mp3PathFor(QStringLiteral("/x/Recorded_081226151800")),
              QStringLiteral("/x/Recorded_081226151800.mp3"));
    EXPECT_EQ(mp3PathFor(QStringLiteral("/my.app/Recorded_1")),
              QStringLiteral("/my.app/Recorded_1.mp3"));
    EXPECT_EQ(mp3PathFor(QStringLiteral("/x/.hidden")), QStringLiteral("/x/.hidden.mp3"));

    using converter::mp3SampleRate;
    EXPECT_EQ(mp3SampleRate(8000), 8000);
    EXPECT_EQ(mp3SampleRate(44100), 44100);
    EXPECT_EQ(mp3SampleRate(6000), 8000);
    EXPECT_EQ(mp3SampleRate(44101), 48000);
    EXPECT_EQ(mp3SampleRate(96000), 48000);
}

struct Kind {
    const char* name;
    const char* sox;
    int rate;
    int channels;
    int mp3Rate;
};

void PrintTo(const Kind& k, std::ostream* os) {
    *os << k.name;
}

class ConvertKindTest : public TempFolderTest, public ::testing::WithParamInterface<Kind> {};

TEST_P(ConvertKindTest, TheMp3LastsAsLongAndHoldsTheTone) {
    const Kind k = GetParam();
    const double seconds = 1.5;
    const QString wav =
        path(QStringLiteral("tone ") + QLatin1String(k.name) + QStringLiteral(".wav"));
    ASSERT_TRUE(makeTone(wav, soxArgs(k.sox), k.rate, k.channels, seconds));

    QByteArray output;
    ASSERT_EQ(runHelper(kConverter, {QLatin1Char('"') + wav + QLatin1Char('"')}, 60000, &output), 0)
        << output.constData();
    EXPECT_FALSE(output.contains("\n"))
        << "the program writes nothing on success: " << output.constData();

    const QString mp3 =
        path(QStringLiteral("tone ") + QLatin1String(k.name) + QStringLiteral(".mp3"));
    const testing_support::DecodedMp3 d = testing_support::decodeMp3(mp3);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.rate, k.mp3Rate);
    EXPECT_EQ(d.channels, 2);
    // Without a gapless header the decoder also plays the codecs' delay (576 of the encoder and
    // 529 of the decoder) and the padding to a whole frame: beyond that the length is the same.
    const qint64 expected = framesIn(wav) * k.mp3Rate / k.rate;
    EXPECT_GE(expected, static_cast<qint64>(seconds * k.mp3Rate));
    const qint64 delay = 576 + 529;
    EXPECT_GE(d.frames(), expected + delay - d.frameSize / 8);
    EXPECT_LT(d.frames(), expected + delay + d.frameSize);

    const QByteArray middle =
        d.firstChannel.mid(d.firstChannel.size() / 4, d.firstChannel.size() / 2);
    EXPECT_GT(testing_support::toneShare(middle, 1, d.rate, 1000), 0.8);
    EXPECT_LT(testing_support::toneShare(middle, 1, d.rate, 3000), 0.05);
    EXPECT_TRUE(QFile::exists(wav)) << "the converter leaves its input alone";
}

INSTANTIATE_TEST_SUITE_P(
    EveryRecorderFormat, ConvertKindTest,
    ::testing::Values(Kind{"pcm16", "-e signed-integer -b 16", 44100, 2, 44100},
                      Kind{"pcm8", "-e unsigned-integer -b 8", 22050, 1, 22050},
                      Kind{"pcm24", "-e signed-integer -b 24", 96000, 2, 48000},
                      Kind{"pcm32", "-e signed-integer -b 32", 32000, 2, 32000},
                      Kind{"float", "-e floating-point -b 32", 48000, 2, 48000},
                      Kind{"alaw", "-e a-law", 8000, 1, 8000},
                      Kind{"mulaw", "-e u-law", 11025, 1, 11025},
                      Kind{"ima", "-e ima-adpcm", 16000, 1, 16000},
                      Kind{"msadpcm", "-e ms-adpcm", 22050, 2, 22050},
                      Kind{"gsm", "-e gsm-full-rate", 8000, 1, 8000}),
    [](const ::testing::TestParamInfo<Kind>& info) { return std::string(info.param.name); });

class ConvertFileTest : public TempFolderTest {};

void putLe(QByteArray& out, quint32 v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
}

// A WAVE file whose data is MP3 frames (format tag 0x55), as codecs of the recorder write it.
QByteArray mp3InWave(const QByteArray& mp3, int rate) {
    QByteArray fmt;
    putLe(fmt, 0x55, 2);
    putLe(fmt, 2, 2);
    putLe(fmt, static_cast<quint32>(rate), 4);
    putLe(fmt, 160000 / 8, 4);
    putLe(fmt, 1, 2);
    putLe(fmt, 0, 2);
    putLe(fmt, 12, 2);
    putLe(fmt, 1, 2);     // wID: MPEG
    putLe(fmt, 2, 4);     // no padding flags
    putLe(fmt, 522, 2);   // bytes a frame at 160 kbit/s
    putLe(fmt, 1, 2);     // frames a block
    putLe(fmt, 1393, 2);  // codec delay
    QByteArray data = mp3;
    if (data.size() % 2 != 0) {
        data.append('\0');
    }
    QByteArray file("RIFF");
    putLe(file, static_cast<quint32>(4 + 8 + fmt.size() + 8 + data.size()), 4);
    file.append("WAVEfmt ");
    putLe(file, static_cast<quint32>(fmt.size()), 4);
    file.append(fmt);
    file.append("data");
    putLe(file, static_cast<quint32>(mp3.size()), 4);
    file.append(data);
    return file;
}

TEST_F(ConvertFileTest, AWaveHoldingMp3FramesIsDecodedToo) {
    const QString first = path(QStringLiteral("first.wav"));
    ASSERT_TRUE(makeTone(first, soxArgs("-e signed-integer -b 16"), 44100, 2, 1.5));
    ASSERT_EQ(runHelper(kConverter, {first}), 0);
    QFile mp3(path(QStringLiteral("first.mp3")));
    ASSERT_TRUE(mp3.open(QIODevice::ReadOnly));
    QFile wave(path(QStringLiteral("inner.wav")));
    ASSERT_TRUE(wave.open(QIODevice::WriteOnly));
    wave.write(mp3InWave(mp3.readAll(), 44100));
    wave.close();

    QByteArray output;
    ASSERT_EQ(runHelper(kConverter, {wave.fileName()}, 30000, &output), 0) << output.constData();
    const testing_support::DecodedMp3 d =
        testing_support::decodeMp3(path(QStringLiteral("inner.mp3")));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.rate, 44100);
    // Encoded twice: twice the codecs' delay and padding.
    EXPECT_GE(d.frames(), 66150);
    EXPECT_LT(d.frames(), 66150 + 2 * (576 + 529 + 1152));
    const QByteArray middle =
        d.firstChannel.mid(d.firstChannel.size() / 4, d.firstChannel.size() / 2);
    EXPECT_GT(testing_support::toneShare(middle, 1, d.rate, 1000), 0.8);
}

TEST_F(ConvertFileTest, ALongPcmRecordingKeepsItsLengthAndTone) {
    // Long enough to be encoded in segments where there is more than one core.
    const QString wav = path(QStringLiteral("long.wav"));
    ASSERT_TRUE(makeTone(wav, soxArgs("-e signed-integer -b 16"), 44100, 2, 8.0));
    ASSERT_EQ(runHelper(kConverter, {wav}, 60000), 0);
    const testing_support::DecodedMp3 d =
        testing_support::decodeMp3(path(QStringLiteral("long.mp3")));
    ASSERT_TRUE(d.ok);
    const qint64 expected = 8 * 44100 + 576 + 529;
    EXPECT_GE(d.frames(), expected);
    EXPECT_LT(d.frames(), expected + d.frameSize);
    EXPECT_GT(testing_support::toneShare(d.firstChannel, 1, d.rate, 1000), 0.8);
}

TEST_F(ConvertFileTest, TheRecordersIntermediateFileGetsMp3Appended) {
    const QString raw = path(QStringLiteral("Recorded_081226151800"));
    ASSERT_TRUE(makeTone(raw, soxArgs("-t wav -e signed-integer -b 16"), 44100, 2, 0.5));
    EXPECT_EQ(runHelper(kConverter, {QLatin1Char('"') + raw + QLatin1Char('"')}), 0);
    EXPECT_TRUE(QFile::exists(raw + QStringLiteral(".mp3")));
}

TEST_F(ConvertFileTest, APathWithBlanksMayArriveSplitAndUnquoted) {
    QDir().mkpath(path(QStringLiteral("my records")));
    const QString wav = path(QStringLiteral("my records/a  b.wav"));
    ASSERT_TRUE(makeTone(wav, soxArgs("-e signed-integer -b 16"), 44100, 2, 0.5));
    EXPECT_EQ(runHelper(kConverter, {wav}), 0);
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("my records/a  b.mp3"))));
}

TEST_F(ConvertFileTest, FailuresExitNonZeroAndLeaveNoMp3) {
    QByteArray output;
    EXPECT_EQ(runHelper(kConverter, {}, 30000, &output), converter::kUsage);
    EXPECT_TRUE(output.contains("Usage"));

    EXPECT_EQ(runHelper(kConverter, {path(QStringLiteral("none.wav"))}, 30000, &output),
              converter::kNoInput);
    EXPECT_TRUE(output.contains("none.wav")) << output.constData();
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("none.mp3"))));

    QFile text(path(QStringLiteral("notes.wav")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a recording at all\n");
    text.close();
    EXPECT_EQ(runHelper(kConverter, {text.fileName()}), converter::kNotAWave);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("notes.mp3"))));

    // Sound, but not in a WAVE file.
    const QString aiff = path(QStringLiteral("song.wav"));
    ASSERT_TRUE(makeTone(aiff, soxArgs("-t aiff -e signed-integer -b 16"), 44100, 2, 0.5));
    EXPECT_EQ(runHelper(kConverter, {aiff}, 30000, &output), converter::kNotAWave);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("song.mp3"))));
}

TEST_F(ConvertFileTest, WithoutTheEncoderLibraryNothingIsWritten) {
    const QString app = path(QStringLiteral("app"));
    ASSERT_TRUE(QDir().mkpath(app));
    const QString program = app + QStringLiteral("/Skin.dll");
    ASSERT_TRUE(QFile::copy(kConverter, program));
    const QString wav = path(QStringLiteral("rec.wav"));
    ASSERT_TRUE(makeTone(wav, soxArgs("-e signed-integer -b 16"), 44100, 2, 0.5));
    QByteArray output;
    EXPECT_EQ(runHelper(program, {wav}, 30000, &output), 7);
    EXPECT_TRUE(output.startsWith("No MP3 encoder: Lame engine not initialised")) << output.data();
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("rec.mp3"))));
}

QByteArray contents(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A WAVE file named like its own MP3 used to be truncated by the output and then deleted.
TEST_F(ConvertFileTest, AnInputThatWouldBeItsOwnOutputIsRefusedAndLeftAlone) {
    const QString named = path(QStringLiteral("tone.mp3"));
    ASSERT_TRUE(makeTone(named, soxArgs("-t wav -e signed-integer -b 16"), 44100, 2, 0.5));
    const QByteArray before = contents(named);
    QByteArray output;
    EXPECT_EQ(runHelper(kConverter, {named}, 30000, &output), 8);
    EXPECT_EQ(output, QByteArray("Not converted: the MP3 file would be written over the input " +
                                 named.toUtf8() +
                                 " itself. Give the recording a name that does not end in "
                                 "\".mp3\".\n"));
    EXPECT_EQ(contents(named), before);

    // Another name of the same file is the same file.
    const QString wav = path(QStringLiteral("linked.wav"));
    const QString mp3 = path(QStringLiteral("linked.mp3"));
    ASSERT_TRUE(makeTone(wav, soxArgs("-e signed-integer -b 16"), 44100, 2, 0.5));
    ASSERT_EQ(::link(QFile::encodeName(wav).constData(), QFile::encodeName(mp3).constData()), 0);
    const QByteArray linked = contents(wav);
    EXPECT_EQ(runHelper(kConverter, {wav}), 8);
    EXPECT_EQ(contents(wav), linked);
    EXPECT_EQ(contents(mp3), linked);
}

TEST_F(ConvertFileTest, SoundNoDecoderKnowsIsItsOwnFailure) {
    QByteArray fmt;
    putLe(fmt, 0x3A7C, 2);  // a format tag no codec has
    putLe(fmt, 2, 2);
    putLe(fmt, 44100, 4);
    putLe(fmt, 44100 * 4, 4);
    putLe(fmt, 4, 2);
    putLe(fmt, 16, 2);
    QByteArray file("RIFF");
    putLe(file, static_cast<quint32>(4 + 8 + fmt.size() + 8 + 4000), 4);
    file.append("WAVEfmt ");
    putLe(file, static_cast<quint32>(fmt.size()), 4);
    file.append(fmt);
    file.append("data");
    putLe(file, 4000, 4);
    file.append(QByteArray(4000, '\x11'));
    const QString wav = path(QStringLiteral("odd.wav"));
    QFile f(wav);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(file);
    f.close();
    QByteArray output;
    EXPECT_EQ(runHelper(kConverter, {wav}, 30000, &output), 5);
    EXPECT_EQ(output, "The file holds sound in a form no decoder here knows\n");
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("odd.mp3"))));
    EXPECT_EQ(contents(wav), file);
}

// Runs the converter with a file size limit of `blocks` blocks, as on a nearly full disk.
int runWithSizeLimit(const QString& wav, int blocks, QByteArray* output) {
    return runHelper(QStringLiteral("/bin/sh"),
                     {QStringLiteral("-c"),
                      QStringLiteral("trap '' XFSZ; ulimit -f %1; exec \"$0\" \"$1\"").arg(blocks),
                      kConverter, wav},
                     60000, output);
}

TEST_F(ConvertFileTest, AnMp3ThatCannotBeWrittenIsItsOwnFailure) {
    // Both ways through the converter: PCM read as it stands (long enough for segments on a
    // machine with more than one core), and ADPCM decoded on the way.
    for (const char* format : {"-e signed-integer -b 16", "-e ima-adpcm"}) {
        SCOPED_TRACE(format);
        const QString wav = path(QStringLiteral("rec.wav"));
        const QString mp3 = path(QStringLiteral("rec.mp3"));
        ASSERT_TRUE(makeTone(wav, soxArgs(format), 44100, 2, 6.0));
        const QByteArray before = contents(wav);
        QByteArray output;
        EXPECT_EQ(runWithSizeLimit(wav, 8, &output), 6);
        EXPECT_TRUE(output.startsWith(
            QByteArray("Cannot write " + mp3.toUtf8() + ": Failed to write buffer to file")))
            << output.constData();
        EXPECT_FALSE(QFile::exists(mp3));
        EXPECT_EQ(contents(wav), before);
    }

    const QString wav = path(QStringLiteral("blocked.wav"));
    ASSERT_TRUE(makeTone(wav, soxArgs("-e signed-integer -b 16"), 44100, 2, 0.5));
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("blocked.mp3"))));
    QByteArray output;
    EXPECT_EQ(runHelper(kConverter, {wav}, 30000, &output), 6);
    EXPECT_TRUE(output.contains(": Unable to open file for writing")) << output.constData();
}

}  // namespace
