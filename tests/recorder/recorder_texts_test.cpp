// The recorder's names, status texts, skin colours and its WAVE file, without a screen.
#include "recorder/RecorderTexts.h"
#include "recorder/WaveFileWriter.h"
#include "tests/support/temp_env.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

using recorder::formatSize;
using recorder::recordingStatus;
using testing_support::TempFolderTest;

TEST(RecorderNamesTest, OutputAndIntermediatePaths) {
    const QDateTime at(QDate(2026, 12, 8), QTime(7, 5, 9));
    EXPECT_EQ(recorder::freshOutputPath(QStringLiteral("/opt/my app"), at),
              QStringLiteral("/opt/my app/Recorded_081226070509.mp3"));
    EXPECT_EQ(recorder::intermediatePath(QStringLiteral("  /opt/my app/Recorded_1.mp3 ")),
              QStringLiteral("/opt/my app/Recorded_1"));
    EXPECT_EQ(recorder::intermediatePath(QStringLiteral("ab")), QString());
    EXPECT_EQ(recorder::sampleRates().size(), 8);
    EXPECT_EQ(recorder::sampleRates().front(), QStringLiteral("48000"));
    EXPECT_EQ(recorder::sampleRates().back(), QStringLiteral("11025"));
}

TEST(RecorderStatusTest, SizeEstimateAndElapsedTime) {
    EXPECT_EQ(recordingStatus(2000000, QStringLiteral("44100"), 0),
              QStringLiteral("File Size: 176 KB          Length: 0:00"));
    EXPECT_EQ(recordingStatus(2000000, QStringLiteral("8000"), 61500),
              QStringLiteral("File Size: 0 bytes          Length: 1:02"));
    EXPECT_EQ(recordingStatus(0, QStringLiteral("48000"), 59400),
              QStringLiteral("File Size: 0 bytes          Length: 0:59"));
    EXPECT_EQ(formatSize(1023), QStringLiteral("1023 bytes"));
    EXPECT_EQ(formatSize(1024), QStringLiteral("1 KB"));
    EXPECT_EQ(formatSize(1048576 + 104858), QStringLiteral("1.1 MB"));
    EXPECT_EQ(formatSize(3LL * 1073741824), QStringLiteral("3.0 GB"));
    EXPECT_EQ(formatSize(-1), QString());
    EXPECT_EQ(recorder::sizeFactor(QStringLiteral("12000")), 18);
    EXPECT_EQ(recorder::sizeFactor(QStringLiteral("44100 ")), 0);
}

class SkinColoursTest : public TempFolderTest {
  protected:
    void store(const char* key, const char* value) {
        settings().SaveSetting(QStringLiteral("Zorvita"), QStringLiteral("Skin"),
                               QLatin1String(key), QLatin1String(value));
    }
};

TEST_F(SkinColoursTest, TheBuiltInSkinOrNoneKeepsTheBuiltInColours) {
    store("BackColor", "255");
    EXPECT_FALSE(recorder::readSkinColours(settings()));
    store("Current", "  spider MAN ");
    EXPECT_FALSE(recorder::readSkinColours(settings()));
    store("Current", "   ");
    EXPECT_FALSE(recorder::readSkinColours(settings()));
}

TEST_F(SkinColoursTest, AnotherSkinGivesItsColoursNumbersOnly) {
    store("Current", "Night");
    // The main program writes "BackColor"; the names compare without regard to case.
    store("BackColor", "255");
    store("ForeColor", "65536");
    store("ComboBackColor", "blue");
    const auto c = recorder::readSkinColours(settings());
    ASSERT_TRUE(c);
    EXPECT_EQ(c->back, QColor(255, 0, 0));
    EXPECT_EQ(c->fore, QColor(0, 0, 1));
    EXPECT_FALSE(c->comboBack);
    EXPECT_EQ(recorder::colourFromSetting(QStringLiteral(" 16777215 ")), QColor(255, 255, 255));
    EXPECT_FALSE(recorder::colourFromSetting(QStringLiteral("16777216")));
    EXPECT_FALSE(recorder::colourFromSetting(QStringLiteral("-1")));
}

std::uint32_t le32(const QByteArray& b, int at) {
    std::uint32_t v = 0;
    std::memcpy(&v, b.constData() + at, 4);
    return v;
}

class WaveFileWriterTest : public TempFolderTest {};

TEST_F(WaveFileWriterTest, ACanonicalHeaderWithTheSizesFilledInAtClose) {
    recorder::WaveFileWriter w;
    QString error;
    const QString file = path(QStringLiteral("Recorded_1"));
    ASSERT_TRUE(w.open(file, 44100, 2, &error)) << error.toStdString();
    const QByteArray second(176400, '\x11');
    ASSERT_TRUE(w.write(second.constData(), second.size()));
    ASSERT_TRUE(w.close());
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray all = f.readAll();
    ASSERT_EQ(all.size(), 176444);
    EXPECT_EQ(all.left(4), QByteArray("RIFF"));
    EXPECT_EQ(le32(all, 4), 176436u);
    EXPECT_EQ(all.mid(8, 8), QByteArray("WAVEfmt "));
    EXPECT_EQ(le32(all, 16), 16u);
    EXPECT_EQ(le32(all, 20), 0x00020001u);  // PCM, two channels
    EXPECT_EQ(le32(all, 24), 44100u);
    EXPECT_EQ(le32(all, 28), 176400u);
    EXPECT_EQ(le32(all, 32), 0x00100004u);  // 4-byte frames of 16 bits
    EXPECT_EQ(all.mid(36, 4), QByteArray("data"));
    EXPECT_EQ(le32(all, 40), 176400u);
}

TEST_F(WaveFileWriterTest, AnEmptyRecordingAndAReopenedFile) {
    const QString file = path(QStringLiteral("r"));
    QString error;
    {
        recorder::WaveFileWriter w;
        ASSERT_TRUE(w.open(file, 8000, 2, &error));
        ASSERT_TRUE(w.write("abcd", 4));
        ASSERT_TRUE(w.open(file, 11025, 2, &error)) << "opening again starts a new file";
    }
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray all = f.readAll();
    ASSERT_EQ(all.size(), 44) << "the destructor completes the file";
    EXPECT_EQ(le32(all, 4), 36u);
    EXPECT_EQ(le32(all, 24), 11025u);
    EXPECT_EQ(le32(all, 40), 0u);

    recorder::WaveFileWriter w;
    EXPECT_FALSE(w.open(path(QStringLiteral("no/such/folder/r")), 8000, 2, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(w.write("abcd", 4));
}

TEST_F(WaveFileWriterTest, AFullDiskFailsTheWriteAndTheFileStaysValid) {
    const QString file = path(QStringLiteral("full"));
    QString error;
    recorder::WaveFileWriter w;
    ASSERT_TRUE(w.open(file, 44100, 2, &error));
    {
        testing_support::FileSizeLimit limit(4096);
        const QByteArray block(8192, '\x22');
        EXPECT_FALSE(w.write(block.constData(), block.size()));
    }
    ASSERT_TRUE(w.close());
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray all = f.readAll();
    EXPECT_EQ(le32(all, 40), static_cast<std::uint32_t>(all.size() - 44));
}

}  // namespace
