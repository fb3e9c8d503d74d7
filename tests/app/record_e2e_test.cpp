// Recording what plays, end to end: the real main window with the real media player, a private
// sound server with a null output, the local vendor site's 1 kHz stream on 127.0.0.1, capture
// through the wave-audio device from the output's monitor, and the real encoder library.
#include "app/controls.h"
#include "app/frm_fm.h"
#include "platform/audio/pulse_audio.h"
#include "platform/mci/mci.h"
#include "platform/mci/mpegvideo_device.h"
#include "platform/mci/waveaudio_device.h"
#include "platform/player/mpv_player.h"
#include "platform/ui/message_box.h"
#include "platform/ui/report_error.h"
#include "playback/playback.h"
#include "recording/RecordFlow.h"
#include "skins/picture_box.h"
#include "stations/StationFile.h"
#include "tests/app/app_folder.h"
#include "tests/converter/mp3_decode.h"
#include "tests/platform/audio/pulse_daemon.h"
#include "tools/vendor-site/vendor_site.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace {

using testing_support::AppFolderTest;
using testing_support::toneShare;

const QString kCredit = QStringLiteral("DEVELOPED BY :- VELMO TARSK");

class RecordEndToEnd : public AppFolderTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pulse_.ok()) << qPrintable(pulse_.error());
        ASSERT_TRUE(site_.listen(0));
        // The real encoder library in place of the stand-in file of the fixture.
        ASSERT_TRUE(QFile::remove(encoderLibrary()));
        ASSERT_TRUE(QFile::copy(QStringLiteral(ZORVITA_APP_DIR "/Zorvita.dll"), encoderLibrary()));
        WriteStationFile(appFolder() + QStringLiteral("/Player.dll"), {QStringLiteral("Tone FM")},
                         {site_.baseUrl() + QStringLiteral("/stream.mp3")});
        platform::registerMpegVideo(session_);
        platform::WaveAudioOptions options;
        options.tempFolder = appFolder();
        platform::registerWaveAudio(session_, std::move(options));
        window_ = std::make_unique<app::FrmFM>(
            boxes, settings(), registry(), shell,
            app::MediaServices{session_, [] { return platform::countCaptureSources(); },
                               [] { return QDateTime::currentDateTime(); }},
            appFolder(), [this] { ++endCalls; });
        window_->Form_Load();
        window_->recorder().setStatusInterval(50);
        ASSERT_TRUE(boxes.shown().empty());
    }
    void TearDown() override { window_.reset(); }

    QString encoderLibrary() const { return appFolder() + QStringLiteral("/Zorvita.dll"); }

    void play() {
        QTest::mouseClick(window_->PicPlay(), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window_->WM()->playState() == 3; }, 20000));
        EXPECT_TRUE(window_->TmrFlash()->isActive());
        // Let the stream's sound reach the output before the recording starts.
        QTest::qWait(500);
    }

    // Presses Record and, about three seconds later from inside the recording's wait, `stop`.
    // Returns the recording's name; checks it against the time of the press.
    QString recordThen(const std::function<void()>& stop) {
        QTimer::singleShot(3000, window_.get(), [&] {
            EXPECT_EQ(window_->Tag(), QStringLiteral("RecordStarted"));
            EXPECT_TRUE(window_->PicRecordStop()->isVisible());
            EXPECT_FALSE(window_->PicRecord()->isVisible());
            EXPECT_TRUE(window_->LblMessage()->text().startsWith(QStringLiteral("Recording")));
            stop();
        });
        const QDateTime before = QDateTime::currentDateTime();
        QTest::mouseClick(window_->PicRecord(), Qt::LeftButton);
        const QDateTime after = QDateTime::currentDateTime();
        const QString name = window_->recorder().RecordFileName;
        bool named = false;
        for (QDateTime t = before; t <= after.addSecs(1) && !named; t = t.addSecs(1)) {
            named = name == ::RecordFlow::recordingName(t);
        }
        EXPECT_TRUE(named) << qPrintable(name);
        EXPECT_TRUE(window_->Tag().isEmpty());
        EXPECT_FALSE(window_->PicRecord()->isHidden());
        EXPECT_TRUE(window_->PicRecordStop()->isHidden());
        return appFolder() + QLatin1Char('/') + name;
    }

    // The MP3 holds three seconds of the 1 kHz tone (half a second more or less, or shortBy
    // less), and nothing else was left behind.
    void expectToneMp3(const QString& base, double shortBy = 0.5) {
        EXPECT_FALSE(QFile::exists(base + QStringLiteral(".tmp")));
        const QStringList leftovers =
            QDir(appFolder())
                .entryList({QStringLiteral("*.wav"), QStringLiteral("*.tmp")},
                           QDir::Files | QDir::Hidden);
        EXPECT_TRUE(leftovers.isEmpty()) << qPrintable(leftovers.join(QLatin1Char(' ')));
        const testing_support::DecodedMp3 d =
            testing_support::decodeMp3(base + QStringLiteral(".mp3"));
        ASSERT_TRUE(d.ok);
        const double seconds = static_cast<double>(d.frames()) / d.rate;
        EXPECT_EQ(d.rate, 48000);
        EXPECT_GE(seconds, 3.0 - shortBy);
        EXPECT_LE(seconds, 3.5);
        const QByteArray& left = d.firstChannel;
        const QByteArray middle = left.mid(left.size() / 4, left.size() / 2);
        EXPECT_GT(toneShare(middle, 1, d.rate, 1000), 0.8);
        EXPECT_LT(toneShare(middle, 1, d.rate, 3000), 0.05);
    }

    QString question(const QString& mp3) const {
        return QStringLiteral(
                   "MP3 File created successfully.\r\nDo you want to listen to the "
                   "below file?\r\n") +
               mp3;
    }

    testing_support::PulseDaemon pulse_;
    QTemporaryDir siteRoot_;
    vendor_site::VendorSite site_{siteRoot_.path()};
    platform::MciSession session_;
    std::unique_ptr<app::FrmFM> window_;
};

TEST_F(RecordEndToEnd, RecordAndStopMakeAnMp3OfWhatPlayedAndYesOpensIt) {
    play();
    boxes.answerNext(platform::MsgAnswer::No);
    const QString first =
        recordThen([&] { QTest::mouseClick(window_->PicRecordStop(), Qt::LeftButton); });
    EXPECT_TRUE(QRegularExpression(QStringLiteral("/Recorded_\\d{12}$")).match(first).hasMatch());
    expectToneMp3(first);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, question(first + QStringLiteral(".mp3")));
    EXPECT_EQ(boxes.shown()[0].style, platform::MsgYesNo + platform::MsgInformation);
    EXPECT_TRUE(shell.opened.isEmpty());
    EXPECT_EQ(window_->LblMessage()->text(), kCredit);
    EXPECT_EQ(window_->WM()->playState(), 3);

    boxes.answerNext(platform::MsgAnswer::Yes);
    const QString second =
        recordThen([&] { QTest::mouseClick(window_->PicRecordStop(), Qt::LeftButton); });
    EXPECT_NE(second, first);
    EXPECT_EQ(shell.opened, QStringList{second + QStringLiteral(".mp3")});
    EXPECT_TRUE(QFile::exists(first + QStringLiteral(".mp3")));
    EXPECT_EQ(window_->LblMessage()->text(), kCredit);
}

TEST_F(RecordEndToEnd, StoppingPlaybackWhileRecordingSavesTheMp3LikeTheButton) {
    play();
    const QString base = recordThen([&] { QTest::mouseClick(window_->PicStop(), Qt::LeftButton); });
    // Stop closes the player before it stops the recording: the sound the output had taken from
    // the player but not yet played (over half a second here) is dropped and never recorded.
    expectToneMp3(base, 1.0);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, question(base + QStringLiteral(".mp3")));
    EXPECT_EQ(window_->WM()->playState(), 0);
    EXPECT_FALSE(window_->playback().IsPlaying());
    EXPECT_TRUE(window_->PicMess()->isVisible());
    EXPECT_EQ(window_->LblMessage()->text(), kCredit);
}

TEST_F(RecordEndToEnd, ClosingTheWindowWhileRecordingSavesTheMp3) {
    play();
    const QString base = recordThen([&] { window_->close(); });
    expectToneMp3(base);
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(window_->WM()->playState(), 0);
}

TEST_F(RecordEndToEnd, AFailedConversionSaysSoAndKeepsTheRecording) {
    play();
    ASSERT_TRUE(QFile::remove(encoderLibrary()));
    const QString base =
        recordThen([&] { QTest::mouseClick(window_->PicRecordStop(), Qt::LeftButton); });
    const QString wav = base + QStringLiteral(".tmp");
    EXPECT_FALSE(QFile::exists(base + QStringLiteral(".mp3")));
    ASSERT_EQ(boxes.shown().size(), 1u);
    const auto& last = boxes.shown().back();
    EXPECT_EQ(last.icon(), platform::MsgCritical);
    EXPECT_EQ(last.caption, QStringLiteral("Velmo's Online Radio"));
    EXPECT_TRUE(last.text.endsWith(QStringLiteral("\r\n") + wav)) << qPrintable(last.text);
    EXPECT_TRUE(shell.opened.isEmpty());
    EXPECT_EQ(window_->LblMessage()->text(), kCredit);

    // The recording kept is a whole WAVE file of the tone.
    QFile file(wav);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_GT(bytes.size(), 44 + 48000 * 4 * 2);
    EXPECT_EQ(bytes.left(4), QByteArray("RIFF"));
    EXPECT_EQ(bytes.mid(8, 4), QByteArray("WAVE"));
    EXPECT_GT(toneShare(bytes.mid(44 + 48000 * 4, 48000 * 4), 2, 48000, 1000), 0.8);
}

}  // namespace
