// The advanced recorder's window and session against a private sound server with a null output:
// its sources, a real recording of a tone through the converter, and no server at all.
#include "recorder/FrmRecorder.h"
#include "recorder/RecorderTexts.h"
#include "recorder/RecordingSession.h"
#include "tests/converter/mp3_decode.h"
#include "tests/platform/audio/pulse_daemon.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/temp_env.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using recorder::FrmRecorder;
using recorder::RecordingSession;
using testing_support::PulseDaemon;
using testing_support::ScriptedMessageBoxes;
using testing_support::TempFolderTest;

// An application folder of the test's own with the converter and the encoder library of the
// build, so recordings land there.
class RecorderTest : public TempFolderTest {
  protected:
    void SetUp() override {
        app_ = path(QStringLiteral("Zorvita app"));
        ASSERT_TRUE(QDir().mkpath(app_));
        for (const char* name : {"Skin.dll", "Zorvita.dll"}) {
            ASSERT_TRUE(QFile::copy(QStringLiteral(ZORVITA_APP_DIR "/") + QLatin1String(name),
                                    app_ + QLatin1Char('/') + QLatin1String(name)))
                << name;
        }
    }

    QString app_;
    ScriptedMessageBoxes boxes_;
};

class RecorderWithServerTest : public RecorderTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(daemon_.ok()) << daemon_.error().toStdString();
        RecorderTest::SetUp();
    }
    PulseDaemon daemon_;
};

TEST_F(RecorderWithServerTest, RecordsTwoSecondsOfTheToneIntoAnMp3) {
    FrmRecorder window(boxes_, settings(), app_,
                       [] { return QDateTime(QDate(2026, 12, 8), QTime(15, 4, 5)); });
    window.load();
    window.show();
    ASSERT_TRUE(boxes_.shown().empty()) << boxes_.shown().front().text.toStdString();
    EXPECT_EQ(window.windowTitle(), QStringLiteral(" Velmo's Advance Recorder"));
    EXPECT_EQ(window.cboDev()->currentData().toString(), QStringLiteral("zv_null.monitor"))
        << "the default output's monitor is chosen";
    EXPECT_EQ(window.cboSamplerate()->count(), 8);
    EXPECT_EQ(window.cboSamplerate()->currentText(), QStringLiteral("44100"));
    EXPECT_EQ(window.txtFile()->text(), app_ + QStringLiteral("/Recorded_081226150405.mp3"));
    EXPECT_EQ(window.LblStatus()->text(),
              QStringLiteral("File Size: 0 Bytes          Length: 0:00"));
    EXPECT_EQ(window.cboDev()->palette().color(QPalette::Base), QColor(103, 80, 56))
        << "no skin: the built-in colours";
    EXPECT_EQ(window.cboDev()->palette().color(QPalette::Text), QColor(222, 206, 140));

    // Without a device nothing starts.
    window.cboDev()->setCurrentIndex(-1);
    window.cmdDo()->click();
    ASSERT_EQ(boxes_.shown().size(), 1u);
    EXPECT_EQ(boxes_.shown()[0].text, QStringLiteral("No device selected!"));
    EXPECT_EQ(boxes_.shown()[0].caption, QStringLiteral("Velmo's Advance Recorder"));
    EXPECT_EQ(boxes_.shown()[0].icon(), platform::MsgExclamation);
    boxes_.clear();
    window.cboDev()->setCurrentIndex(window.cboDev()->findData(QStringLiteral("zv_null.monitor")));

    ASSERT_TRUE(daemon_.playTone(1000, 10));
    window.cmdDo()->click();
    ASSERT_EQ(window.session().state(), RecordingSession::State::Recording)
        << (boxes_.shown().empty() ? std::string() : boxes_.shown()[0].text.toStdString());
    EXPECT_EQ(window.cmdDo()->text(), QStringLiteral("Stop Recording"));
    EXPECT_FALSE(window.frmInp()->isEnabled());
    EXPECT_FALSE(window.frmOut()->isEnabled());
    const QString mp3 = window.txtFile()->text();
    const QString intermediate = recorder::intermediatePath(mp3);

    int loudest = 0;
    QElapsedTimer t;
    t.start();
    while (window.session().elapsedMs() < 2000 && t.elapsed() < 10000) {
        QTest::qWait(25);
        loudest = std::max(loudest, std::min(window.picVUL()->value(), window.picVUR()->value()));
    }
    EXPECT_GT(loudest, 8000) << "both level bars show the tone";
    EXPECT_TRUE(window.LblStatus()->text().endsWith(QStringLiteral("Length: 0:02")))
        << window.LblStatus()->text().toStdString();

    QSignalSpy saved(&window.session(), &RecordingSession::saved);
    window.cmdDo()->click();
    EXPECT_EQ(window.cmdDo()->text(), QStringLiteral("Start Recording"));
    EXPECT_TRUE(window.frmInp()->isEnabled());
    if (saved.isEmpty()) {
        EXPECT_FALSE(window.cmdDo()->isEnabled()) << "no new recording while saving";
        EXPECT_EQ(window.LblStatus()->text(), QStringLiteral("Saving. Please wait..."));
        ASSERT_TRUE(saved.wait(60000));
    }
    EXPECT_TRUE(window.cmdDo()->isEnabled());
    EXPECT_EQ(window.LblStatus()->text(),
              QStringLiteral("File Size: 0 Bytes          Length: 0:00"));
    ASSERT_EQ(boxes_.shown().size(), 1u);
    EXPECT_EQ(
        boxes_.shown()[0].text,
        QStringLiteral("Successfully saved the MP3 File at the below location.\r\n\r\n") + mp3);
    EXPECT_EQ(boxes_.shown()[0].caption, QStringLiteral("Success"));
    EXPECT_EQ(boxes_.shown()[0].icon(), platform::MsgInformation);
    EXPECT_FALSE(QFile::exists(intermediate));

    const testing_support::DecodedMp3 d = testing_support::decodeMp3(mp3);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.rate, 44100);
    const double seconds = static_cast<double>(d.frames()) / d.rate;
    EXPECT_GT(seconds, 1.9);
    EXPECT_LT(seconds, 3.5);
    const QByteArray middle =
        d.firstChannel.mid(d.firstChannel.size() / 4, d.firstChannel.size() / 2);
    EXPECT_GT(testing_support::toneShare(middle, 1, d.rate, 1000), 0.8);
}

TEST_F(RecorderWithServerTest, WithoutTheConverterTheRecordingIsKept) {
    ASSERT_TRUE(QFile::remove(app_ + QStringLiteral("/Skin.dll")));
    RecordingSession session(app_);
    QString error;
    ASSERT_TRUE(session.connectServer(5000, &error)) << error.toStdString();
    std::vector<platform::AudioSource> sources;
    int preselected = -1;
    ASSERT_TRUE(session.listSources(&sources, &preselected, &error));
    ASSERT_GE(preselected, 0);
    const QString mp3 = app_ + QStringLiteral("/Recorded_1.mp3");
    ASSERT_TRUE(
        session.start(sources[static_cast<std::size_t>(preselected)].name, 22050, mp3, &error))
        << error.toStdString();
    EXPECT_FALSE(session.start(QString(), 22050, mp3, &error)) << "one recording at a time";
    QTest::qWait(300);
    QSignalSpy failed(&session, &RecordingSession::failed);
    session.stop();
    ASSERT_TRUE(!failed.isEmpty() || failed.wait(30000));
    const QString message = failed.front().front().toString();
    EXPECT_TRUE(message.startsWith(QStringLiteral("Could not convert the recording to MP3!")));
    EXPECT_TRUE(message.endsWith(app_ + QStringLiteral("/Recorded_1"))) << message.toStdString();
    EXPECT_TRUE(QFile::exists(app_ + QStringLiteral("/Recorded_1")));
    EXPECT_FALSE(QFile::exists(mp3));
    EXPECT_EQ(session.state(), RecordingSession::State::Idle);
}

TEST_F(RecorderWithServerTest, AFullDiskStopsTheRecordingAndSavesWhatWasWritten) {
    FrmRecorder window(boxes_, settings(), app_);
    window.load();
    QSignalSpy writeFailed(&window.session(), &RecordingSession::writeFailed);
    QSignalSpy ended(&window.session(), &RecordingSession::saved);
    QSignalSpy failed(&window.session(), &RecordingSession::failed);
    ASSERT_TRUE(daemon_.playTone(1000, 10));
    window.cmdDo()->click();
    ASSERT_EQ(window.session().state(), RecordingSession::State::Recording);
    {
        testing_support::FileSizeLimit limit(64 * 1024);
        ASSERT_TRUE(writeFailed.wait(10000));
    }
    EXPECT_NE(window.session().state(), RecordingSession::State::Recording);
    ASSERT_TRUE(!ended.isEmpty() || !failed.isEmpty() || ended.wait(30000));
    ASSERT_GE(boxes_.shown().size(), 2u);
    EXPECT_EQ(boxes_.shown().back().text, QStringLiteral("Write error (no disk space left?)!"));
    EXPECT_EQ(boxes_.shown().back().icon(), platform::MsgExclamation);
}

TEST_F(RecorderTest, WithoutASoundServerItSaysSoAndCannotRecord) {
    QTemporaryDir nowhere;
    const QByteArray previous = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER",
            QByteArray("unix:") + nowhere.filePath(QStringLiteral("none")).toLocal8Bit());
    {
        settings().SaveSetting(QStringLiteral("Zorvita"), QStringLiteral("Skin"),
                               QStringLiteral("Current"), QStringLiteral("Night"));
        settings().SaveSetting(QStringLiteral("Zorvita"), QStringLiteral("Skin"),
                               QStringLiteral("ComboBackColor"), QStringLiteral("65280"));
        FrmRecorder window(boxes_, settings(), app_);
        QElapsedTimer t;
        t.start();
        window.load();
        EXPECT_LT(t.elapsed(), 10000);
        ASSERT_EQ(boxes_.shown().size(), 1u);
        EXPECT_TRUE(
            boxes_.shown()[0].text.startsWith(QStringLiteral("Could not reach the sound server")));
        EXPECT_EQ(boxes_.shown()[0].caption, QStringLiteral("Velmo's Advance Recorder"));
        EXPECT_EQ(boxes_.shown()[0].icon(), platform::MsgExclamation);
        EXPECT_FALSE(window.cmdDo()->isEnabled());
        EXPECT_EQ(window.cboDev()->count(), 0);
        EXPECT_EQ(window.txtFile()->palette().color(QPalette::Base), QColor(0, 255, 0))
            << "the skin's colours apply without a server too";
    }
    if (previous.isEmpty()) {
        qunsetenv("PULSE_SERVER");
    } else {
        qputenv("PULSE_SERVER", previous);
    }
}

}  // namespace
