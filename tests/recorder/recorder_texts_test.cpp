// The recorder's names, status texts, rate box, volume slider, levels and skin colours, without
// a screen.
#include "recorder/RecorderTexts.h"
#include "tests/support/temp_env.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstdint>

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

TEST(RecorderRateBoxTest, KeysAndRates) {
    using recorder::rateKeyAccepted;
    EXPECT_TRUE(rateKeyAccepted(QStringLiteral("4410"), Qt::Key_0, QStringLiteral("0")));
    EXPECT_FALSE(rateKeyAccepted(QStringLiteral("44100"), Qt::Key_1, QStringLiteral("1")))
        << "a sixth digit";
    EXPECT_FALSE(rateKeyAccepted(QString(), Qt::Key_A, QStringLiteral("a")));
    EXPECT_FALSE(rateKeyAccepted(QString(), Qt::Key_Minus, QStringLiteral("-")));
    EXPECT_FALSE(rateKeyAccepted(QString(), 0, QStringLiteral("\u0663"))) << "digits 0-9 only";
    EXPECT_TRUE(rateKeyAccepted(QStringLiteral("44100"), Qt::Key_Backspace, QStringLiteral("\b")));
    EXPECT_TRUE(rateKeyAccepted(QStringLiteral("44100"), Qt::Key_Left, QString()))
        << "moving the cursor is no typing";

    using recorder::recordingRate;
    EXPECT_EQ(recordingRate(QStringLiteral("44100")), 44100);
    EXPECT_EQ(recordingRate(QStringLiteral("96000")), 96000);
    EXPECT_EQ(recordingRate(QStringLiteral("1")), 1);
    EXPECT_EQ(recordingRate(QStringLiteral("96001")), 0);
    EXPECT_EQ(recordingRate(QStringLiteral("0")), 0);
    EXPECT_EQ(recordingRate(QString()), 0);
    EXPECT_EQ(recordingRate(QStringLiteral("44a")), 0);
}

TEST(RecorderVolumeTest, SliderAndLineVolume) {
    EXPECT_EQ(recorder::sliderFromVolume(65535), 32767) << "the mixer's top is the slider's top";
    EXPECT_EQ(recorder::sliderFromVolume(65534), 32767);
    EXPECT_EQ(recorder::sliderFromVolume(13107), 6554);
    EXPECT_EQ(recorder::sliderFromVolume(0), 0);
    EXPECT_EQ(recorder::volumeFromSlider(32767), 65535);
    EXPECT_EQ(recorder::volumeFromSlider(6554), 13108);
    EXPECT_EQ(recorder::volumeFromSlider(0), 0);
    EXPECT_EQ(recorder::volumePercent(0), QStringLiteral("0%"));
    EXPECT_EQ(recorder::volumePercent(6553), QStringLiteral("19%"));
    EXPECT_EQ(recorder::volumePercent(6554), QStringLiteral("20%"));
    EXPECT_EQ(recorder::volumePercent(32766), QStringLiteral("99%"));
    EXPECT_EQ(recorder::volumePercent(32767), QStringLiteral("100%"));
}

TEST(RecorderLevelsTest, ChannelPeaksAndElapsedTime) {
    const std::int16_t stereo[] = {100, -3000, -32768, 5, 7, 0};
    auto l = recorder::channelLevels(stereo, true);
    EXPECT_EQ(l.left, 32768);
    EXPECT_EQ(l.right, 3000);
    l = recorder::channelLevels(stereo, false);
    EXPECT_EQ(l.left, 32768);
    EXPECT_EQ(l.right, 32768);
    const std::int16_t silence[] = {0, 0};
    l = recorder::channelLevels(silence, true);
    EXPECT_EQ(l.left, 1) << "silence still shows as 1";
    EXPECT_EQ(l.right, 1);

    // A 10240-byte buffer of 44.1 kHz stereo is 58.05 ms: 58 each time.
    EXPECT_EQ(recorder::elapsedAfter(0, 10240, 176400), 58);
    EXPECT_EQ(recorder::elapsedAfter(1000, 10240, 176400), 1058);
    EXPECT_EQ(recorder::elapsedAfter(1000, 10240, 0), 1000);
}

}  // namespace
