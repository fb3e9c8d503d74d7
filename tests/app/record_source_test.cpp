// Recording the player's own sound, end to end: the real main window plays the local vendor
// site's 1 kHz stream into a private sound server while another program plays a 440 Hz tone into
// the same output; the recording is made through the wave-audio device as the settings say,
// converted by the real encoder library and decoded by FFmpeg.
#include "app/controls.h"
#include "app/frm_fm.h"
#include "app/record_source_option.h"
#include "platform/mci/mci.h"
#include "platform/mci/mpegvideo_device.h"
#include "platform/mci/waveaudio_device.h"
#include "platform/player/mpv_player.h"
#include "recording/RecordingSource.h"
#include "skins/picture_box.h"
#include "stations/StationFile.h"
#include "tests/app/app_folder.h"
#include "tests/converter/mp3_decode.h"
#include "tests/platform/audio/pulse_daemon.h"
#include "tools/vendor-site/vendor_site.h"

#include <QCheckBox>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using testing_support::toneShare;

class RecordSourceEndToEnd : public testing_support::AppFolderTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pulse_.ok()) << qPrintable(pulse_.error());
        ASSERT_TRUE(site_.listen(0));
        ASSERT_TRUE(QFile::remove(appFolder() + QStringLiteral("/Zorvita.dll")));
        ASSERT_TRUE(QFile::copy(QStringLiteral(ZORVITA_APP_DIR "/Zorvita.dll"),
                                appFolder() + QStringLiteral("/Zorvita.dll")));
        WriteStationFile(appFolder() + QStringLiteral("/Player.dll"), {QStringLiteral("Tone FM")},
                         {site_.baseUrl() + QStringLiteral("/stream.mp3")});
        platform::registerMpegVideo(session_);
        platform::WaveAudioOptions options;
        options.tempFolder = appFolder();
        options.openCapture = CaptureAsSet(settings());
        platform::registerWaveAudio(session_, std::move(options));
        window_ = std::make_unique<app::FrmFM>(
            boxes, settings(), registry(), shell,
            app::MediaServices{session_, [] { return platform::countCaptureSources(); },
                               [] { return QDateTime::currentDateTime(); },
                               PlayerSoundReadyAsSet(settings())},
            appFolder(), [this] { ++endCalls; });
        window_->Form_Load();
        window_->recorder().setStatusInterval(50);
        // Another program plays into the same output all the time.
        ASSERT_TRUE(pulse_.playTone(440, 120));
        QTest::mouseClick(window_->PicPlay(), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window_->WM()->playState() == 3; }, 20000));
        QTest::qWait(500);
    }
    void TearDown() override { window_.reset(); }

    // Records for `ms` (running `during` at half time), answers No to the question, and returns
    // the MP3 as decoded.
    testing_support::DecodedMp3 record(int ms, const std::function<void()>& during = {}) {
        boxes.answerNext(platform::MsgAnswer::No);
        if (during) {
            QTimer::singleShot(ms / 2, window_.get(), during);
        }
        QTimer::singleShot(ms, window_.get(),
                           [&] { QTest::mouseClick(window_->PicRecordStop(), Qt::LeftButton); });
        QTest::mouseClick(window_->PicRecord(), Qt::LeftButton);
        return testing_support::decodeMp3(appFolder() + QLatin1Char('/') +
                                          window_->recorder().RecordFileName +
                                          QStringLiteral(".mp3"));
    }

    static QByteArray middle(const testing_support::DecodedMp3& d) {
        const QByteArray& left = d.firstChannel;
        return left.mid(left.size() / 4, left.size() / 2);
    }

    testing_support::PulseDaemon pulse_;
    QTemporaryDir siteRoot_;
    vendor_site::VendorSite site_{siteRoot_.path()};
    platform::MciSession session_;
    std::unique_ptr<app::FrmFM> window_;
};

TEST_F(RecordSourceEndToEnd, PlayerTakesTheStationAloneAndSystemTakesEverything) {
    const testing_support::DecodedMp3 player = record(3000);
    ASSERT_TRUE(player.ok);
    EXPECT_GT(static_cast<double>(player.frames()) / player.rate, 2.5);
    EXPECT_GT(toneShare(middle(player), 1, player.rate, 1000), 0.8);
    EXPECT_LT(toneShare(middle(player), 1, player.rate, 440), 0.02);

    window_->PicSettings_Click();
    QTest::mouseClick(window_->recordSource().LblRecordOnlyPlayer(), Qt::LeftButton);
    window_->PicOK_Click();
    ASSERT_EQ(ReadRecordingSource(settings()), RecordingSource::System);
    const testing_support::DecodedMp3 system = record(3000);
    ASSERT_TRUE(system.ok);
    EXPECT_GT(toneShare(middle(system), 1, system.rate, 1000), 0.1);
    EXPECT_GT(toneShare(middle(system), 1, system.rate, 440), 0.1);
    EXPECT_EQ(boxes.shown().size(), 2u);
}

TEST_F(RecordSourceEndToEnd, TheRecordingGoesOnWhenThePlayersStreamIsReplaced) {
    const testing_support::DecodedMp3 d = record(6000, [&] {
        // The station drops and the player opens it again: a new stream at the server.
        window_->WM()->stop();
        QTimer::singleShot(800, window_.get(), [&] { window_->WM()->play(); });
    });
    ASSERT_TRUE(d.ok);
    const double seconds = static_cast<double>(d.frames()) / d.rate;
    EXPECT_GT(seconds, 5.0);
    EXPECT_LT(seconds, 6.8);
    const QByteArray& left = d.firstChannel;
    EXPECT_LT(toneShare(left, 1, d.rate, 440), 0.02);
    const QByteArray lastSecond = left.mid(left.size() - 2 * d.rate * 3 / 2, 2 * d.rate);
    EXPECT_GT(toneShare(lastSecond, 1, d.rate, 1000), 0.8);
    EXPECT_EQ(boxes.shown().size(), 1u);
}

}  // namespace
