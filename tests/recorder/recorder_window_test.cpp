// The advanced recorder's window over an in-memory sound server and a stand-in converter: start-up,
// device and line choice with the volume, the rate box and options, recording through the effects
// into the live views, saving, and every failure the user is told of.
#include "recorder/FrmRecorder.h"
#include "recorder/RecorderTexts.h"
#include "tests/recorder/fake_capture_server.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/temp_env.h"

#include "platform/codecs/wave_formats.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using recorder::FrmRecorder;
using testing_support::FakeCaptureServer;
using testing_support::ScriptedMessageBoxes;
using testing_support::TempFolderTest;

platform::CaptureSourceInfo monitorSource() {
    platform::CaptureSourceInfo s;
    s.name = QStringLiteral("out.monitor");
    s.description = QStringLiteral("Monitor of Speakers");
    s.isMonitor = true;
    s.channels = 2;
    s.volume = platform::CaptureServer::kNormalVolume;
    return s;
}

platform::CaptureSourceInfo cardSource() {
    platform::CaptureSourceInfo s;
    s.name = QStringLiteral("card.input");
    s.description = QStringLiteral("Built-in Audio");
    s.channels = 2;
    s.ports = {
        {QStringLiteral("mic"), QStringLiteral("Microphone"), platform::PortKind::Microphone},
        {QStringLiteral("line"), QStringLiteral("Line In"), platform::PortKind::Line}};
    s.activePort = QStringLiteral("line");
    s.volume = platform::CaptureServer::kNormalVolume / 2;
    return s;
}

// One second of a 1 kHz tone, 44.1 kHz stereo, at half scale.
QByteArray toneSecond() {
    QByteArray pcm(44100 * 4, '\0');
    auto* s = reinterpret_cast<qint16*>(pcm.data());
    for (int i = 0; i < 44100; ++i) {
        const auto v = static_cast<qint16>(16000 * std::sin(2 * M_PI * 1000 * i / 44100.0));
        s[2 * i] = v;
        s[2 * i + 1] = v;
    }
    return pcm;
}

int pixelsOf(const QImage& image, const QColor& colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += image.pixelColor(x, y) == colour ? 1 : 0;
        }
    }
    return n;
}

template <class Done>
bool runUntil(int ms, Done done) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) {
        QTest::qWait(10);
    }
    return done();
}

class RecorderWindowTest : public TempFolderTest {
  protected:
    void SetUp() override {
        app_ = path(QStringLiteral("Zorvita app"));
        ASSERT_TRUE(QDir().mkpath(app_));
        auto server = std::make_unique<FakeCaptureServer>();
        server->sources = {monitorSource(), cardSource()};
        server_ = server.get();
        window_ = std::make_unique<FrmRecorder>(
            boxes_, settings(), app_, std::move(server),
            [this](QWidget*, const QString& title, int rate, int channels, const QByteArray&,
                   platform::WaveFormatOption* chosen) {
                dialogs_.push_back({title, rate, channels});
                if (!dialogAnswer_) {
                    return false;
                }
                *chosen = *dialogAnswer_;
                return true;
            },
            [this] { return QDateTime(QDate(2026, 12, 8), QTime(15, 4, 5)).addSecs(ticks_++); });
    }

    void load() {
        window_->load();
        window_->show();
    }

    // The stand-in for Skin.dll: copies the file it is given to the MP3 path, or fails.
    void converter(bool succeeds) {
        const QString script = app_ + QStringLiteral("/Skin.dll");
        QFile f(script);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(succeeds ? "#!/bin/sh\np=\"$1\"; p=\"${p#\\\"}\"; p=\"${p%\\\"}\"\n"
                           "cp \"$p\" \"$p.mp3\"\n"
                         : "#!/bin/sh\necho 'damaged input' >&2\nexit 3\n");
        f.close();
        ASSERT_TRUE(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    void chooseDevice(int index) {
        window_->cboDev()->setCurrentIndex(index);
        Q_EMIT window_->cboDev()->activated(index);
    }

    void allEffects() {
        for (int i = 0; i < 4; ++i) {
            window_->chkFX(i)->click();
        }
    }

    // Feeds captured sound until the window counted `ms` of it.
    void feed(int ms) {
        const QByteArray second = toneSecond();
        const std::int64_t until = window_->elapsedMs() + ms;
        for (int i = 0; window_->recording() && window_->elapsedMs() < until && i < 400; ++i) {
            server_->current->push(second.mid(0, 17640));
            QTest::qWait(30);
        }
    }

    bool waitForSave() {
        return runUntil(30000, [this] { return !window_->saving(); });
    }

    struct Dialog {
        QString title;
        int rate;
        int channels;
    };

    QString app_;
    ScriptedMessageBoxes boxes_;
    FakeCaptureServer* server_ = nullptr;
    std::vector<Dialog> dialogs_;
    std::optional<platform::WaveFormatOption> dialogAnswer_;
    int ticks_ = 0;
    std::unique_ptr<FrmRecorder> window_;
};

TEST_F(RecorderWindowTest, StartsWithNoDeviceAndTheDefaultOptions) {
    load();
    EXPECT_EQ(window_->windowTitle(), QStringLiteral(" Velmo's Advance Recorder"));
    ASSERT_EQ(window_->cboDev()->count(), 2);
    EXPECT_EQ(window_->cboDev()->itemText(0), QStringLiteral("Monitor of Speakers"));
    EXPECT_EQ(window_->cboDev()->currentIndex(), -1) << "no device is chosen for the user";
    EXPECT_EQ(window_->cboRecLine()->count(), 0);
    EXPECT_EQ(window_->cboSamplerate()->count(), 8);
    EXPECT_EQ(window_->cboSamplerate()->currentText(), QStringLiteral("44100"));
    EXPECT_TRUE(window_->chkStereo()->isChecked());
    EXPECT_TRUE(dialogs_.empty()) << "start-up opens no format dialog";
    EXPECT_EQ(window_->txtWAVFmt()->text(), QStringLiteral("PCM - 44.1 kHz 16 Bit Stereo"));
    EXPECT_EQ(window_->txtFile()->text(), app_ + QStringLiteral("/Recorded_081226150405.mp3"));
    EXPECT_EQ(window_->LblStatus()->text(),
              QStringLiteral("File Size: 0 Bytes          Length: 0:00"));
    EXPECT_EQ(window_->lblVolPer()->text(), QStringLiteral("0%"));
    EXPECT_EQ(window_->LblMsg()->text(),
              QStringLiteral("Please select the proper Line or else you will get a blank MP3 "
                             "file. To get Good Quality Keep volume to 20% & use Stereo File "
                             "Format."));
    EXPECT_EQ(window_->chkFX(1)->text(), QStringLiteral("Phase Shift"));
    EXPECT_EQ(window_->cmdDo()->text(), QStringLiteral("Start Recording"));
    EXPECT_EQ(window_->dsp().samplerate(), 44100);
    EXPECT_EQ(window_->dsp().Channels(), 2);
    EXPECT_EQ(window_->dsp().EffectsUsed(), 0);

    window_->cmdDo()->click();
    ASSERT_EQ(boxes_.shown().size(), 1u);
    EXPECT_EQ(boxes_.shown()[0].text, QStringLiteral("No device selected!"));
    EXPECT_EQ(boxes_.shown()[0].caption, QStringLiteral("Velmo's Advance Recorder"));
    EXPECT_EQ(boxes_.shown()[0].icon(), platform::MsgExclamation);
    EXPECT_EQ(window_->txtFile()->text(), app_ + QStringLiteral("/Recorded_081226150406.mp3"))
        << "each start names a new file";
    EXPECT_EQ(server_->current, nullptr);
}

class RecorderSkinTest : public RecorderWindowTest,
                         public ::testing::WithParamInterface<const char*> {};

TEST_P(RecorderSkinTest, TheBuiltInSkinKeepsTheBuiltInColours) {
    settings().SaveSetting(QStringLiteral("Zorvita"), QStringLiteral("Skin"),
                           QStringLiteral("Current"), QLatin1String(GetParam()));
    settings().SaveSetting(QStringLiteral("Zorvita"), QStringLiteral("Skin"),
                           QStringLiteral("ComboBackColor"), QStringLiteral("255"));
    load();
    EXPECT_EQ(window_->cboDev()->palette().color(QPalette::Base), QColor(103, 80, 56));
    EXPECT_EQ(window_->txtFile()->palette().color(QPalette::Text), QColor(222, 206, 140));
    EXPECT_EQ(window_->picAmpl()->background(), QColor(103, 80, 56));
    EXPECT_EQ(window_->chkStereo()->palette().color(QPalette::WindowText), QColor(222, 206, 140));
}

INSTANTIATE_TEST_SUITE_P(Names, RecorderSkinTest, ::testing::Values("spider man", ""));

TEST_F(RecorderWindowTest, AnotherSkinColoursTheWindow) {
    const auto put = [this](const char* key, const char* value) {
        settings().SaveSetting(QStringLiteral("Zorvita"), QStringLiteral("Skin"),
                               QLatin1String(key), QLatin1String(value));
    };
    put("Current", "Night");
    put("BackColor", "65280");     // green
    put("ForeColor", "16711680");  // blue
    put("ComboBackColor", "255");  // red
    load();
    EXPECT_EQ(window_->palette().color(QPalette::Window), QColor(0, 255, 0));
    EXPECT_EQ(window_->chkFX(3)->palette().color(QPalette::Window), QColor(0, 255, 0));
    EXPECT_EQ(window_->cboSamplerate()->palette().color(QPalette::Base), QColor(255, 0, 0));
    EXPECT_EQ(window_->picVUR()->background(), QColor(255, 0, 0));
    EXPECT_EQ(window_->LblStatus()->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(window_->txtWAVFmt()->palette().color(QPalette::Text), QColor(0, 0, 255));
}

TEST_F(RecorderWindowTest, DeviceLineAndVolume) {
    load();
    chooseDevice(1);
    ASSERT_EQ(window_->cboRecLine()->count(), 2);
    EXPECT_EQ(window_->cboRecLine()->itemText(0), QStringLiteral("Microphone"));
    EXPECT_EQ(window_->cboRecLine()->currentIndex(), 1) << "the line the mixer records";
    // Half the normal volume is 32768 of 65535: slider 16384, "50%".
    EXPECT_EQ(window_->sldVol()->value(), 16384);
    EXPECT_EQ(window_->lblVolPer()->text(), QStringLiteral("50%"));

    window_->cboRecLine()->setCurrentIndex(0);
    Q_EMIT window_->cboRecLine()->activated(0);
    EXPECT_EQ(server_->find(QStringLiteral("card.input"))->activePort, QStringLiteral("mic"));

    // The keyboard moves the slider and the volume follows.
    window_->sldVol()->setFocus();
    QTest::keyClick(window_->sldVol(), Qt::Key_PageUp);
    EXPECT_EQ(window_->sldVol()->value(), 16384 + 3276);
    EXPECT_EQ(window_->lblVolPer()->text(), QStringLiteral("59%"));
    EXPECT_EQ(server_->find(QStringLiteral("card.input"))->volume,
              static_cast<std::uint32_t>(std::lround((16384 + 3276) * 2.0 * 0x10000 / 65535)));

    chooseDevice(0);
    ASSERT_EQ(window_->cboRecLine()->count(), 1);
    EXPECT_EQ(window_->cboRecLine()->itemText(0), QStringLiteral("Monitor of Speakers"));
    EXPECT_EQ(window_->sldVol()->value(), 32767) << "the full volume is the slider's top";
    EXPECT_EQ(window_->lblVolPer()->text(), QStringLiteral("100%"));
    EXPECT_EQ(server_->find(QStringLiteral("out.monitor"))->volume, 0x10000u);
    EXPECT_TRUE(boxes_.shown().empty());

    server_->reachable = false;
    chooseDevice(1);
    ASSERT_EQ(boxes_.shown().size(), 1u);
    EXPECT_EQ(boxes_.shown()[0].text, QStringLiteral("Couldn't select device!"));
    EXPECT_EQ(boxes_.shown()[0].caption, QStringLiteral("Velmo's Advance Recorder"));
    EXPECT_EQ(window_->cboRecLine()->count(), 0);
}

TEST_F(RecorderWindowTest, TheRateBoxAndTheOptions) {
    load();
    platform::WaveFormatOption mono;
    mono.tag = QStringLiteral("PCM");
    mono.id = QStringLiteral("22.05 kHz 16 Bit Mono");
    mono.format = platform::pcmWaveFormat(22050, 1, 16);
    dialogAnswer_ = mono;

    window_->cboSamplerate()->setCurrentIndex(4);
    Q_EMIT window_->cboSamplerate()->activated(4);
    ASSERT_EQ(dialogs_.size(), 1u);
    EXPECT_EQ(dialogs_[0].title, QStringLiteral("Select File Output format"));
    EXPECT_EQ(dialogs_[0].rate, 22050);
    EXPECT_EQ(dialogs_[0].channels, 2);
    EXPECT_EQ(window_->txtWAVFmt()->text(), QStringLiteral("PCM - 22.05 kHz 16 Bit Mono"));
    EXPECT_EQ(window_->dsp().samplerate(), 22050);

    dialogAnswer_.reset();
    window_->chkStereo()->click();
    ASSERT_EQ(dialogs_.size(), 2u);
    EXPECT_EQ(dialogs_[1].channels, 1);
    EXPECT_EQ(window_->dsp().Channels(), 1);
    EXPECT_EQ(window_->txtWAVFmt()->text(), QStringLiteral("PCM - 22.05 kHz 16 Bit Mono"))
        << "a cancelled dialog keeps the format";
    window_->cmdSelFmt()->click();
    EXPECT_EQ(dialogs_.size(), 3u);

    allEffects();
    EXPECT_EQ(window_->dsp().EffectsUsed(), 15);
    window_->chkFX(1)->click();
    EXPECT_EQ(window_->dsp().EffectsUsed(), 13);

    QLineEdit* edit = window_->cboSamplerate()->lineEdit();
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("1x2a345678"));
    EXPECT_EQ(edit->text(), QStringLiteral("12345")) << "letters and a sixth digit are ignored";
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), QStringLiteral("1234"));

    chooseDevice(0);
    for (const char* rate : {"0", "", "96001"}) {
        boxes_.clear();
        window_->cboSamplerate()->setEditText(QLatin1String(rate));
        window_->cmdDo()->click();
        ASSERT_EQ(boxes_.shown().size(), 1u) << rate;
        EXPECT_EQ(boxes_.shown()[0].text,
                  QStringLiteral("The sample rate must be a number from 1 to 96000!"));
        EXPECT_EQ(server_->current, nullptr) << rate;
        EXPECT_FALSE(QFile::exists(recorder::intermediatePath(window_->txtFile()->text())));
    }
}

TEST_F(RecorderWindowTest, RecordsThroughTheEffectsIntoTheViewsAndSaves) {
    converter(true);
    load();
    chooseDevice(0);
    allEffects();
    window_->cmdDo()->click();
    ASSERT_TRUE(window_->recording());
    EXPECT_EQ(server_->capturedRate, 44100);
    EXPECT_EQ(server_->capturedChannels, 2);
    EXPECT_EQ(window_->cmdDo()->text(), QStringLiteral("Stop Recording"));
    EXPECT_FALSE(window_->frmInp()->isEnabled());
    EXPECT_FALSE(window_->frmOut()->isEnabled());
    const QString mp3 = window_->txtFile()->text();
    const QString intermediate = recorder::intermediatePath(mp3);
    EXPECT_TRUE(window_->LblStatus()->text().startsWith(QStringLiteral("File Size: ")));

    feed(1200);
    QTest::qWait(100);
    EXPECT_GT(window_->shownLeftLevel(), 0.3f);
    EXPECT_GT(window_->shownRightLevel(), 0.3f);
    EXPECT_GT(pixelsOf(window_->picAmpl()->image(), Qt::white), 600) << "the tone's trace";
    const QImage spectrum = window_->picFreq()->image();
    EXPECT_LT(pixelsOf(spectrum, window_->picFreq()->background()),
              spectrum.width() * spectrum.height())
        << "spectrum bars";
    const QImage vu = window_->picVUL()->image();
    EXPECT_NE(vu.pixelColor(5, 5), window_->picVUL()->background()) << "the bar is drawn";
    EXPECT_TRUE(window_->LblStatus()->text().endsWith(QStringLiteral("Length: 0:01")))
        << window_->LblStatus()->text().toStdString();
    EXPECT_FALSE(window_->LblStatus()->text().contains(QStringLiteral(" 0 bytes")));

    window_->cmdDo()->click();
    EXPECT_FALSE(window_->recording());
    EXPECT_EQ(window_->cmdDo()->text(), QStringLiteral("Start Recording"));
    EXPECT_TRUE(window_->frmInp()->isEnabled());
    EXPECT_TRUE(window_->frmOut()->isEnabled());
    ASSERT_TRUE(window_->saving());
    EXPECT_FALSE(window_->cmdDo()->isEnabled()) << "no new recording while saving";
    EXPECT_EQ(window_->LblStatus()->text(), QStringLiteral("Saving. Please wait..."));
    window_->txtFile()->setText(QStringLiteral("/somewhere/else.mp3"));
    ASSERT_TRUE(waitForSave());

    ASSERT_EQ(boxes_.shown().size(), 1u);
    EXPECT_EQ(
        boxes_.shown()[0].text,
        QStringLiteral("Successfully saved the MP3 File at the below location.\r\n\r\n") + mp3)
        << "the path the recording really went to";
    EXPECT_EQ(boxes_.shown()[0].caption, QStringLiteral("Success"));
    EXPECT_EQ(boxes_.shown()[0].icon(), platform::MsgInformation);
    EXPECT_FALSE(QFile::exists(intermediate)) << "the intermediate file goes after success";
    QFile made(mp3);
    ASSERT_TRUE(made.open(QIODevice::ReadOnly));
    const QByteArray wav = made.readAll();
    EXPECT_EQ(wav.left(4), QByteArray("RIFF"));
    EXPECT_GE(wav.size(), 44 + 176400) << "every captured second reached the file";
    EXPECT_TRUE(window_->cmdDo()->isEnabled());
    EXPECT_EQ(window_->LblStatus()->text(),
              QStringLiteral("File Size: 0 Bytes          Length: 0:00"));
}

TEST_F(RecorderWindowTest, AFailingConverterKeepsTheRecordingAndSaysWhere) {
    converter(false);
    load();
    chooseDevice(0);
    window_->cmdDo()->click();
    ASSERT_TRUE(window_->recording());
    const QString intermediate = recorder::intermediatePath(window_->txtFile()->text());
    feed(300);
    window_->cmdDo()->click();
    ASSERT_TRUE(waitForSave());
    ASSERT_EQ(boxes_.shown().size(), 1u);
    EXPECT_EQ(boxes_.shown()[0].text,
              QStringLiteral("Could not convert the recording to MP3!\r\ndamaged input\r\n\r\n"
                             "The recording is kept at:\r\n") +
                  intermediate);
    EXPECT_EQ(boxes_.shown()[0].icon(), platform::MsgExclamation);
    EXPECT_TRUE(QFile::exists(intermediate));
    EXPECT_GT(QFile(intermediate).size(), 44);
    EXPECT_TRUE(window_->cmdDo()->isEnabled());

    ASSERT_TRUE(QFile::remove(app_ + QStringLiteral("/Skin.dll")));
    boxes_.clear();
    window_->cmdDo()->click();
    ASSERT_TRUE(window_->recording());
    const QString second = recorder::intermediatePath(window_->txtFile()->text());
    window_->cmdDo()->click();
    ASSERT_TRUE(waitForSave());
    ASSERT_EQ(boxes_.shown().size(), 1u);
    EXPECT_TRUE(boxes_.shown()[0].text.startsWith(
        QStringLiteral("Could not convert the recording to MP3!\r\nThe converter could not be "
                       "started")))
        << boxes_.shown()[0].text.toStdString();
    EXPECT_TRUE(QFile::exists(second));
}

TEST_F(RecorderWindowTest, StartFailuresLeaveTheWindowIdle) {
    load();
    chooseDevice(0);
    server_->reachable = false;
    window_->cmdDo()->click();
    ASSERT_EQ(boxes_.shown().size(), 1u);
    EXPECT_EQ(boxes_.shown()[0].text, QStringLiteral("Could not start recording!"));
    EXPECT_EQ(boxes_.shown()[0].icon(), platform::MsgExclamation);
    EXPECT_FALSE(window_->recording());
    EXPECT_EQ(window_->cmdDo()->text(), QStringLiteral("Start Recording"));
    EXPECT_FALSE(QFile::exists(recorder::intermediatePath(window_->txtFile()->text())))
        << "a recording that never started leaves no file";

    server_->reachable = true;
    ASSERT_TRUE(QDir(app_).removeRecursively());
    boxes_.clear();
    window_->cmdDo()->click();
    ASSERT_EQ(boxes_.shown().size(), 1u);
    EXPECT_EQ(boxes_.shown()[0].text, QStringLiteral("Could not init the encoder!"));
    EXPECT_EQ(server_->current, nullptr);
}

TEST_F(RecorderWindowTest, AWriteErrorIsToldAtThatRecordingsStop) {
    converter(true);
    load();
    chooseDevice(0);
    window_->cmdDo()->click();
    ASSERT_TRUE(window_->recording());
    {
        testing_support::FileSizeLimit limit(64 * 1024);
        feed(3000);
        EXPECT_FALSE(window_->recording()) << "a full disk stops the recording";
        ASSERT_TRUE(waitForSave());
    }
    ASSERT_EQ(boxes_.shown().size(), 2u);
    EXPECT_EQ(boxes_.shown()[0].caption, QStringLiteral("Success"));
    EXPECT_EQ(boxes_.shown()[1].text, QStringLiteral("Write error (no disk space left?)!"));
    EXPECT_EQ(boxes_.shown()[1].icon(), platform::MsgExclamation);

    boxes_.clear();
    window_->cmdDo()->click();
    ASSERT_TRUE(window_->recording());
    feed(200);
    window_->cmdDo()->click();
    ASSERT_TRUE(waitForSave());
    ASSERT_EQ(boxes_.shown().size(), 1u) << "the next recording has no write error to tell";
    EXPECT_EQ(boxes_.shown()[0].caption, QStringLiteral("Success"));
}

TEST_F(RecorderWindowTest, ClosingWhileRecordingStopsAndSavesFirst) {
    converter(true);
    load();
    chooseDevice(0);
    window_->cmdDo()->click();
    ASSERT_TRUE(window_->recording());
    const QString mp3 = window_->txtFile()->text();
    feed(300);
    EXPECT_TRUE(window_->close());
    EXPECT_FALSE(window_->recording());
    EXPECT_FALSE(window_->saving());
    ASSERT_EQ(boxes_.shown().size(), 1u);
    EXPECT_EQ(boxes_.shown()[0].caption, QStringLiteral("Success"));
    EXPECT_TRUE(QFile::exists(mp3));
    EXPECT_FALSE(*server_->captureAlive);
}

}  // namespace
