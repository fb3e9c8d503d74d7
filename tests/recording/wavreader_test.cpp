#include "recording/cWavReader.h"

#include "platform/ui/error.h"
#include "tests/recording/wav_files.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testing_support;

namespace {

class WavReaderTest : public TempFolderTest {
  protected:
    // Writes a 16-bit stereo file with counting frames and returns its name.
    QString stereoFile(const QString& name, std::int64_t frames) {
        const QString file = path(name);
        EXPECT_TRUE(writeFile(file, waveFile({riffChunk("fmt ", pcmFormat(2, 44100, 16)),
                                              riffChunk("data", countingFrames(frames))})));
        return file;
    }

    // The error number that opening the file raises, 0 if it opens.
    long openError(const QString& file) {
        try {
            reader.OpenFile(file);
            return 0;
        } catch (const platform::Error& e) {
            EXPECT_EQ(e.source(), platform::programName() + QStringLiteral(".cWavePlayer"));
            lastDescription = e.description();
            return e.number();
        }
    }

    // Reads to the end and returns every byte handed out, block by block as ReadSize says.
    QByteArray readAll() {
        QByteArray all;
        bool more = true;
        while (more) {
            more = reader.Read();
            all.append(reinterpret_cast<const char*>(reader.ReadBufferPtr()),
                       static_cast<qsizetype>(reader.ReadSize() * 4));
        }
        return all;
    }

    void expectClosed() {
        EXPECT_EQ(reader.ReadBufferPtr(), nullptr);
        EXPECT_EQ(reader.AudioLength(), 0);
        try {
            reader.Read();
            ADD_FAILURE() << "Read on a closed reader did not raise";
        } catch (const platform::Error& e) {
            EXPECT_EQ(e.number(), 29676);
        }
    }

    cWavReader reader;
    QString lastDescription;
};

TEST_F(WavReaderTest, BlocksOfAFileOfWholeBlocksEndWithAFullLastBlock) {
    reader.setReadBufferSize(1152);
    reader.setFilename(stereoFile(QStringLiteral("a.wav"), 2304));
    EXPECT_EQ(reader.AudioLength(), 2304);
    EXPECT_TRUE(reader.Read());
    EXPECT_EQ(reader.ReadSize(), 1152);
    EXPECT_EQ(reader.BufferStartPosition(), 1152 * 4);
    EXPECT_FALSE(reader.Read());
    EXPECT_EQ(reader.ReadSize(), 1152);
    // Nothing is left: no stale block comes out again.
    EXPECT_FALSE(reader.Read());
    EXPECT_EQ(reader.ReadSize(), 0);
}

TEST_F(WavReaderTest, OneFrameMoreGivesTwoFullBlocksAndAOneFrameTail) {
    reader.setReadBufferSize(1152);
    reader.setFilename(stereoFile(QStringLiteral("a.wav"), 2305));
    std::uint8_t* const buffer = reader.ReadBufferPtr();
    EXPECT_TRUE(reader.Read());
    EXPECT_TRUE(reader.Read());
    EXPECT_FALSE(reader.Read());
    EXPECT_EQ(reader.ReadSize(), 1);
    EXPECT_EQ(reader.ReadBufferPtr(), buffer) << "the encoder is handed this address once";
    // Frame 2304 holds (2304, ~2304).
    EXPECT_EQ(buffer[0] | buffer[1] << 8, 2304);
}

TEST_F(WavReaderTest, HandsOutExactlyTheDataBytes) {
    reader.setReadBufferSize(1000);
    reader.setFilename(stereoFile(QStringLiteral("a.wav"), 4567));
    EXPECT_EQ(readAll(), countingFrames(4567));
}

TEST_F(WavReaderTest, FilenameKeepsTheOldNameWhenAnOpenFails) {
    const QString good = stereoFile(QStringLiteral("a.wav"), 10);
    reader.setFilename(good);
    EXPECT_EQ(reader.Filename(), good);
    reader.setFilename(QString());
    EXPECT_EQ(reader.Filename(), good);
    expectClosed();
    EXPECT_THROW(reader.setFilename(path(QStringLiteral("missing.wav"))), platform::Error);
    EXPECT_EQ(reader.Filename(), good);
}

TEST_F(WavReaderTest, EmptyNameReturnsFalseWithoutError) {
    EXPECT_FALSE(reader.OpenFile(QString()));
    expectClosed();
}

TEST_F(WavReaderTest, BufferSizeIsFixedWhileOpen) {
    reader.setReadBufferSize(100);
    reader.OpenFile(stereoFile(QStringLiteral("a.wav"), 10));
    try {
        reader.setReadBufferSize(200);
        ADD_FAILURE() << "no error";
    } catch (const platform::Error& e) {
        EXPECT_EQ(e.number(), 29679);
        EXPECT_EQ(e.description(),
                  QStringLiteral("Cannot change buffer size whilst a file is open."));
    }
    EXPECT_EQ(reader.ReadBufferSize(), 100);
    reader.CloseFile();
    reader.setReadBufferSize(200);
    EXPECT_EQ(reader.ReadBufferSize(), 200);
}

TEST_F(WavReaderTest, AnUnallocatableBufferFailsTheOpen) {
    reader.setReadBufferSize(0);
    EXPECT_EQ(openError(stereoFile(QStringLiteral("a.wav"), 10)), 29677);
    EXPECT_EQ(lastDescription, QStringLiteral("Insufficient memory"));
    expectClosed();
}

TEST_F(WavReaderTest, SeeksStayInsideTheData) {
    reader.setReadBufferSize(4);
    reader.OpenFile(stereoFile(QStringLiteral("a.wav"), 100));
    reader.SeekAbsolute(reader.AudioLength());
    EXPECT_FALSE(reader.Read());
    EXPECT_EQ(reader.ReadSize(), 0);
    for (std::int64_t bad : {std::int64_t{101}, std::int64_t{-1}, std::int64_t{1} << 62}) {
        try {
            reader.SeekAbsolute(bad);
            ADD_FAILURE() << bad;
        } catch (const platform::Error& e) {
            EXPECT_EQ(e.number(), 29678);
            EXPECT_EQ(e.description(), QStringLiteral("Position out of range"));
        }
    }
    reader.SeekAbsolute(10);
    reader.SeekRelative(5);
    EXPECT_EQ(reader.BufferStartPosition(), 15 * 4);
    EXPECT_TRUE(reader.Read());
    EXPECT_EQ(reader.ReadBufferPtr()[0], 15);
    reader.SeekRelative(-19);
    EXPECT_EQ(reader.BufferStartPosition(), 0);
    EXPECT_THROW(reader.SeekRelative(-1), platform::Error);
    EXPECT_THROW(reader.SeekRelative(101), platform::Error);
    EXPECT_THROW(reader.SeekRelative(std::int64_t{-1} << 62), platform::Error);
    reader.SeekRelative(100);
    EXPECT_EQ(reader.BufferStartPosition(), 400);
}

TEST_F(WavReaderTest, RejectsWhatIsNotSixteenBitStereo) {
    const QByteArray data = riffChunk("data", QByteArray(64, '\1'));
    const struct {
        int channels, bits, tag;
    } cases[] = {{1, 16, 1}, {2, 8, 1}, {2, 24, 1}, {2, 32, 3}, {6, 16, 1}};
    for (const auto& c : cases) {
        const QString file = path(QStringLiteral("f.wav"));
        writeFile(file,
                  waveFile({riffChunk("fmt ", pcmFormat(c.channels, 8000, c.bits, c.tag)), data}));
        EXPECT_EQ(openError(file), 29671) << c.channels << " " << c.bits;
        EXPECT_EQ(lastDescription, QStringLiteral("Only stereo 16 bit wave files supported."));
        expectClosed();
    }
}

TEST_F(WavReaderTest, StructuralFaultsHaveTheirNumbers) {
    const QByteArray fmt = riffChunk("fmt ", pcmFormat(2, 8000, 16));
    const QByteArray data = riffChunk("data", countingFrames(4));
    const QString file = path(QStringLiteral("f.wav"));

    EXPECT_EQ(openError(path(QStringLiteral("none.wav"))), 29672);
    EXPECT_EQ(lastDescription, QStringLiteral("Unable to open file."));

    writeFile(file, "just some text, nothing like audio");
    EXPECT_EQ(openError(file), 29673);
    EXPECT_EQ(lastDescription, QStringLiteral("Not a Wave file."));
    QByteArray avi = waveFile({fmt, data});
    avi.replace(8, 4, "AVI ");
    writeFile(file, avi);
    EXPECT_EQ(openError(file), 29673);
    writeFile(file, QByteArray());
    EXPECT_EQ(openError(file), 29673);

    writeFile(file, waveFile({data}));
    EXPECT_EQ(openError(file), 29674);
    EXPECT_EQ(lastDescription, QStringLiteral("Unable to retrieve format chunk"));

    writeFile(file, waveFile({fmt, riffChunk("LIST", "INFO")}));
    EXPECT_EQ(openError(file), 29676);
    EXPECT_EQ(lastDescription, QStringLiteral("No Wave File Open"));
    expectClosed();
}

TEST_F(WavReaderTest, WalksChunksInAnyOrderWithPadBytes) {
    const QString file = path(QStringLiteral("f.wav"));
    // An odd-sized LIST (pad byte follows), then "data" before "fmt ", with fact and cue around.
    writeFile(file, waveFile({riffChunk("LIST", bytes("INFOISFT\x03\0\0\0abc")),
                              riffChunk("fact", bytes("\x07\0\0\0")),
                              riffChunk("data", countingFrames(7)), riffChunk("cue ", "x"),
                              riffChunk("fmt ", pcmFormat(2, 22050, 16))}));
    reader.setReadBufferSize(3);
    ASSERT_TRUE(reader.OpenFile(file));
    EXPECT_EQ(reader.AudioLength(), 7);
    EXPECT_EQ(readAll(), countingFrames(7));
}

TEST_F(WavReaderTest, AcceptsExtensibleSixteenBitStereo) {
    QByteArray ext = pcmFormat(2, 48000, 16, 0xFFFE);
    ext.append(bytes("\x16\0\x10\0\x03\0\0\0\x01\0\0\0\0\0\x10\0\x80\0\0\xaa\0\x38\x9b\x71"));
    const QString file = path(QStringLiteral("f.wav"));
    writeFile(file, waveFile({riffChunk("fmt ", ext), riffChunk("data", countingFrames(5))}));
    ASSERT_TRUE(reader.OpenFile(file));
    EXPECT_EQ(readAll(), countingFrames(5));
}

TEST_F(WavReaderTest, ATruncatedRecordingReadsWhatIsThere) {
    QByteArray bytes = waveFile(
        {riffChunk("fmt ", pcmFormat(2, 44100, 16)), riffChunk("data", countingFrames(3000))});
    // Cut in the middle of frame 1234: the headers still promise 3000 frames.
    const qsizetype dataStart = bytes.indexOf("data") + 8;
    bytes.truncate(dataStart + 1234 * 4 + 3);
    const QString file = path(QStringLiteral("cut.wav"));
    writeFile(file, bytes);
    reader.setReadBufferSize(1000);
    ASSERT_TRUE(reader.OpenFile(file));
    EXPECT_EQ(reader.AudioLength(), 1234);
    EXPECT_TRUE(reader.Read());
    EXPECT_FALSE(reader.Read());
    EXPECT_EQ(reader.ReadSize(), 234);
    EXPECT_EQ(std::memcmp(reader.ReadBufferPtr(), countingFrames(1234).constData() + 4000, 234 * 4),
              0);
}

TEST_F(WavReaderTest, ReopeningStartsAfresh) {
    reader.setReadBufferSize(8);
    reader.OpenFile(stereoFile(QStringLiteral("a.wav"), 20));
    reader.Read();
    ASSERT_TRUE(reader.OpenFile(stereoFile(QStringLiteral("b.wav"), 3)));
    EXPECT_EQ(reader.BufferStartPosition(), 0);
    EXPECT_EQ(reader.ReadSize(), 0);
    EXPECT_EQ(readAll(), countingFrames(3));
}

// Files another program wrote: sox's own headers and layouts.
class SoxFilesTest : public WavReaderTest {
  protected:
    QString sox(const QString& name, const QStringList& format) {
        const QString file = path(name);
        QStringList args{QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100")};
        args << format << file << QStringLiteral("synth") << QStringLiteral("0.5")
             << QStringLiteral("sine") << QStringLiteral("440");
        EXPECT_TRUE(runSox(args)) << name.toStdString();
        return file;
    }
};

TEST_F(SoxFilesTest, SixteenBitStereoReadsTheWholeTone) {
    const QString file = sox(
        QStringLiteral("s16.wav"),
        {QStringLiteral("-b"), QStringLiteral("16"), QStringLiteral("-c"), QStringLiteral("2")});
    reader.setReadBufferSize(1152);
    ASSERT_TRUE(reader.OpenFile(file));
    EXPECT_EQ(reader.AudioLength(), 22050);
    const QByteArray all = readAll();
    ASSERT_EQ(all.size(), 22050 * 4);
    EXPECT_EQ(all, readFile(file).right(22050 * 4));
}

TEST_F(SoxFilesTest, OtherLayoutsAreRefused) {
    const QStringList layouts[] = {
        {QStringLiteral("-b"), QStringLiteral("16"), QStringLiteral("-c"), QStringLiteral("1")},
        {QStringLiteral("-b"), QStringLiteral("8"), QStringLiteral("-c"), QStringLiteral("2")},
        // sox writes these two with the extensible format tag.
        {QStringLiteral("-b"), QStringLiteral("24"), QStringLiteral("-c"), QStringLiteral("2")},
        {QStringLiteral("-b"), QStringLiteral("16"), QStringLiteral("-c"), QStringLiteral("4")},
        {QStringLiteral("-e"), QStringLiteral("floating-point"), QStringLiteral("-b"),
         QStringLiteral("32"), QStringLiteral("-c"), QStringLiteral("2")},
    };
    for (const QStringList& layout : layouts) {
        EXPECT_EQ(openError(sox(QStringLiteral("x.wav"), layout)), 29671)
            << layout.join(u' ').toStdString();
        expectClosed();
    }
}

TEST_F(SoxFilesTest, ExtraChunksAroundSoxDataAreSkipped) {
    const QString file = sox(
        QStringLiteral("s16.wav"),
        {QStringLiteral("-b"), QStringLiteral("16"), QStringLiteral("-c"), QStringLiteral("2")});
    const QByteArray original = readFile(file);
    // Rebuild the form with an odd LIST chunk before sox's "fmt " chunk and a 16-bit stereo
    // extensible format in place of the plain one.
    const qsizetype fmtAt = original.indexOf("fmt ");
    const qsizetype dataAt = original.indexOf("data");
    QByteArray ext = original.mid(fmtAt + 8, 16);
    ext[0] = '\xFE';
    ext[1] = '\xFF';
    ext.append(bytes("\x16\0\x10\0\x03\0\0\0\x01\0\0\0\0\0\x10\0\x80\0\0\xaa\0\x38\x9b\x71"));
    const QString edited = path(QStringLiteral("edited.wav"));
    writeFile(edited, waveFile({riffChunk("LIST", bytes("INFOICMT\x05\0\0\0sox!\0")),
                                riffChunk("fmt ", ext), original.mid(dataAt)}));
    ASSERT_TRUE(reader.OpenFile(edited));
    EXPECT_EQ(reader.AudioLength(), 22050);
    EXPECT_EQ(readAll(), original.mid(dataAt + 8));
}

}  // namespace
