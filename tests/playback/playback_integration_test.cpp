#include "platform/mci/mpegvideo_device.h"
#include "platform/player/mpv_player.h"
#include "playback/playback.h"
#include "tests/platform/audio/pulse_daemon.h"
#include "tests/playback/playback_fakes.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/temp_env.h"
#include "tools/vendor-site/tone_encoder.h"
#include "tools/vendor-site/vendor_site.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;
using platform::MpvPlayer;
using playback::Playback;

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The handlers with the real player, the real clip device, a private sink and the local site.
class PlaybackIntegrationTest : public TempFolderTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pulse_.ok());
        ASSERT_TRUE(site_.listen(0));
        ASSERT_TRUE(QDir().mkpath(appFolder()));
        vendor_site::ToneEncoder clip(440.0);
        writeFile(appFolder() + QStringLiteral("/Process.dll"),
                  clip.encode(vendor_site::ToneEncoder::kSampleRate / 2));
        writeFile(site_root_.filePath(QStringLiteral("live.asx")),
                  "<ASX version=\"3.0\"><Entry><Ref href=\"/stream.mp3\"/></Entry></ASX>");
        writeFile(site_root_.filePath(QStringLiteral("live.pls")),
                  "[playlist]\nFile1=/stream.mp3\n");
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        const QString refused = QStringLiteral("http://127.0.0.1:%1/").arg(probe.serverPort());
        probe.close();
        stations_.items = {
            {QStringLiteral("Tone"), site_.baseUrl() + QStringLiteral("/stream.mp3")},
            {QStringLiteral("Gone"), site_.baseUrl() + QStringLiteral("/gone.mp3")},
            {QStringLiteral("Refused"), refused},
            {QStringLiteral("Asx"), site_.baseUrl() + QStringLiteral("/live.asx")},
            {QStringLiteral("Pls"), site_.baseUrl() + QStringLiteral("/live.pls")}};
        platform::registerMpegVideo(session_);
        wm_ = std::make_unique<MpvPlayer>(nullptr, MpvPlayer::Video::None);
        wm_->resize(180, 184);
        playback_ = std::make_unique<Playback>(*wm_, stations_, window_, record_, boxes_,
                                               settings(), mci_, appFolder());
    }
    void TearDown() override {
        playback_.reset();
        wm_.reset();
    }
    QString appFolder() const { return path(QStringLiteral("Zorvita App")); }
    bool waitForState(int state) {
        return QTest::qWaitFor([&] { return wm_->playState() == state; }, 20000);
    }
    int messages() const {
        return static_cast<int>(std::count_if(
            boxes_.shown().begin(), boxes_.shown().end(),
            [](const auto& b) { return b.text == testing_support::kStationUnavailableText; }));
    }
    void playStation(int index) {
        stations_.selected = index;
        playback_->PicPlay_Click();
    }

    PulseDaemon pulse_;
    QTemporaryDir site_root_;
    vendor_site::VendorSite site_{site_root_.path()};
    platform::MciSession session_;
    LoggingMci mci_{&session_};
    FakeStations stations_;
    FakeWindow window_;
    FakeRecord record_;
    ScriptedMessageBoxes boxes_;
    std::unique_ptr<MpvPlayer> wm_;
    std::unique_ptr<Playback> playback_;
};

TEST_F(PlaybackIntegrationTest, PlaysAStreamWithTheAnimationAndTheStartSoundOnlyFirst) {
    playStation(0);
    ASSERT_TRUE(waitForState(3));
    EXPECT_TRUE(playback_->TmrFlash().isActive());
    window_.icons.clear();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_.icons.size() >= 3; }, 5000));
    EXPECT_TRUE(std::all_of(window_.icons.begin(), window_.icons.end(),
                            [](int i) { return i >= 0 && i <= 4; }));
    ASSERT_EQ(mci_.commands.size(), 3);
    EXPECT_EQ(mci_.commands[1], QStringLiteral("open \"") + appFolder() +
                                    QStringLiteral("/Process.dll\" type MPEGVideo alias CURRFILE"));
    // The clip device was opened and stays open until the next start sound.
    QString mode;
    EXPECT_EQ(session_.mciSendString(QStringLiteral("status CURRFILE mode"), &mode), 0u);

    playStation(0);
    ASSERT_TRUE(waitForState(3));
    EXPECT_EQ(mci_.commands.size(), 3);
    EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(PlaybackIntegrationTest, AStationThatCannotBePlayedShowsTheMessageOncePerAttempt) {
    for (int station : {1, 2}) {
        SCOPED_TRACE(station);
        const int before = messages();
        playStation(station);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !playback_->IsPlaying(); }, 20000));
        QTest::qWait(300);
        EXPECT_EQ(messages(), before + 1);
        EXPECT_EQ(wm_->errorCount(), 0);
        EXPECT_FALSE(playback_->TmrFlash().isActive());
        playStation(station);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !playback_->IsPlaying(); }, 20000));
        QTest::qWait(300);
        EXPECT_EQ(messages(), before + 2);
    }
}

TEST_F(PlaybackIntegrationTest, PlaysThroughAsxAndPls) {
    for (int station : {3, 4}) {
        playStation(station);
        ASSERT_TRUE(waitForState(3)) << station;
    }
    EXPECT_EQ(site_.hits("/live.asx"), 1);
    EXPECT_EQ(site_.hits("/live.pls"), 1);
    EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(PlaybackIntegrationTest, TrayStopThenPlayResumesTheSameStation) {
    playStation(0);
    ASSERT_TRUE(waitForState(3));
    playback_->MnuPause_Click();
    EXPECT_EQ(window_.pauseCaption, QStringLiteral("Play"));
    EXPECT_NE(wm_->playState(), 3);
    EXPECT_FALSE(playback_->TmrFlash().isActive());
    EXPECT_FALSE(window_.picMessVisible);
    EXPECT_TRUE(playback_->IsPlaying());
    playback_->MnuPause_Click();
    EXPECT_EQ(window_.pauseCaption, QStringLiteral("Stop"));
    ASSERT_TRUE(waitForState(3));
    EXPECT_EQ(wm_->URL(), stations_.items[0].url);
    EXPECT_EQ(site_.hits("/stream.mp3"), 2);
}

TEST_F(PlaybackIntegrationTest, StopDuringPlaybackReturnsToIdleWithThePictureShown) {
    playStation(0);
    ASSERT_TRUE(waitForState(3));
    playback_->PicStop_Click();
    EXPECT_EQ(wm_->playState(), 0);
    EXPECT_FALSE(playback_->IsPlaying());
    EXPECT_TRUE(window_.picMessVisible);
    EXPECT_FALSE(playback_->TmrFlash().isActive());
    EXPECT_EQ(window_.icons.back(), Playback::kIdleIcon);
    EXPECT_TRUE(QTest::qWaitFor([&] { return site_.streamListeners() == 0; }, 5000));
}

TEST_F(PlaybackIntegrationTest, RightClickOnThePlayerShowsTheViewMenuFittingItsState) {
    wm_->show();
    QTest::mouseClick(wm_.get(), Qt::RightButton, {}, QPoint(40, 40));
    playStation(0);
    ASSERT_TRUE(waitForState(3));
    QTest::mouseClick(wm_.get(), Qt::RightButton, {}, QPoint(40, 40));
    QTest::mouseClick(wm_.get(), Qt::LeftButton, {}, QPoint(40, 40));
    EXPECT_EQ(window_.popups, (std::vector<bool>{false, true}));
}

TEST_F(PlaybackIntegrationTest, TheVolumeToggleTwiceReturnsToTheHiddenHeight) {
    playback_->GetVolumeControlSettings();
    playback_->mnuShowVol_Click();
    EXPECT_EQ(wm_->height(), platform::twipsToPixelsY(2100));
    playback_->mnuShowVol_Click();
    EXPECT_EQ(wm_->heightTwips(), 2760);
    EXPECT_EQ(settings().GetSetting(QStringLiteral("Zorvita"), QStringLiteral("VolumeControl"),
                                    QStringLiteral("Show")),
              QStringLiteral("0"));
}

}  // namespace
