#include "platform/mci/mpegvideo_device.h"
#include "tests/platform/audio/pulse_daemon.h"
#include "tools/vendor-site/tone_encoder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using platform::MciSession;
using testing_support::PulseDaemon;

class MpegVideoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pulse_.ok());
        platform::registerMpegVideo(mci_);
        // A folder with a blank in its name, as application folders often have.
        ASSERT_TRUE(QDir(dir_.path()).mkpath(QStringLiteral("Program Files/Zorvita")));
        clip_ = dir_.filePath(QStringLiteral("Program Files/Zorvita/Process.dll"));
        QFile f(clip_);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        vendor_site::ToneEncoder tone;
        f.write(tone.encode(vendor_site::ToneEncoder::kSampleRate * 4));
        f.write(tone.encode(vendor_site::ToneEncoder::kFrameSamples * 4));
    }

    PulseDaemon pulse_;
    QTemporaryDir dir_;
    QString clip_;
    MciSession mci_;
};

TEST_F(MpegVideoTest, PlaysAClipByItsQuotedPathUntilClosed) {
    ASSERT_EQ(mci_.mciSendString(QStringLiteral("open ") + platform::mciQuote(clip_) +
                                 QStringLiteral(" type MPEGVideo alias CURRFILE")),
              0u);
    QString mode;
    EXPECT_EQ(mci_.mciSendString(QStringLiteral("status CURRFILE mode"), &mode), 0u);
    EXPECT_EQ(mode, QStringLiteral("stopped"));
    ASSERT_EQ(mci_.mciSendString(QStringLiteral("play CURRFILE")), 0u);
    EXPECT_EQ(mci_.mciSendString(QStringLiteral("status CURRFILE mode"), &mode), 0u);
    EXPECT_EQ(mode, QStringLiteral("playing"));
    const std::vector<short> heard = pulse_.recordMonitor(1000);
    EXPECT_GT(testing_support::toneShare(heard, 1000.0, PulseDaemon::kMonitorRate), 0.5);

    EXPECT_EQ(mci_.mciSendString(QStringLiteral("close CURRFILE")), 0u);
    EXPECT_EQ(mci_.mciSendString(QStringLiteral("play CURRFILE")),
              platform::MciErrInvalidDeviceName);
}

TEST_F(MpegVideoTest, AClipThatEndsReportsStoppedAndPlaysAgain) {
    const QString shortClip = dir_.filePath(QStringLiteral("short.mp3"));
    QFile f(shortClip);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    vendor_site::ToneEncoder tone;
    f.write(tone.encode(vendor_site::ToneEncoder::kSampleRate / 4));
    f.close();
    ASSERT_EQ(mci_.mciSendString(QStringLiteral("open ") + shortClip +
                                 QStringLiteral(" type mpegvideo alias clip")),
              0u);
    QString mode;
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(mci_.mciSendString(QStringLiteral("play clip")), 0u);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                mci_.mciSendString(QStringLiteral("status clip mode"), &mode);
                return mode == QLatin1String("stopped");
            },
            10000));
    }
    EXPECT_EQ(mci_.mciSendString(QStringLiteral("close all")), 0u);
}

TEST_F(MpegVideoTest, AMissingClipIsRefusedAndUnknownCommandsAreNamed) {
    EXPECT_EQ(
        mci_.mciSendString(QStringLiteral("open ") + dir_.filePath(QStringLiteral("none.dll")) +
                           QStringLiteral(" type MPEGVideo alias CURRFILE")),
        platform::MciErrFileNotFound);
    ASSERT_EQ(mci_.mciSendString(QStringLiteral("open \"") + clip_ +
                                 QStringLiteral("\" type MPEGVideo alias CURRFILE")),
              0u);
    EXPECT_EQ(mci_.mciSendString(QStringLiteral("record CURRFILE")),
              platform::MciErrUnrecognizedCommand);
    QString reply;
    EXPECT_EQ(mci_.mciSendString(QStringLiteral("status CURRFILE length"), &reply),
              platform::MciErrUnrecognizedKeyword);
}

}  // namespace
