// The advanced recorder's window against a private sound server with a null output and the real
// converter: the output's monitor, every effect on, a two-second tone, an MP3 of that length.
#include "recorder/FrmRecorder.h"
#include "recorder/RecorderTexts.h"
#include "tests/converter/mp3_decode.h"
#include "tests/platform/audio/pulse_daemon.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/temp_env.h"

#include "platform/audio/capture_server.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using recorder::FrmRecorder;
using testing_support::PulseDaemon;

class RecorderPulseTest : public testing_support::TempFolderTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(daemon_.ok()) << daemon_.error().toStdString();
        app_ = path(QStringLiteral("Zorvita app"));
        ASSERT_TRUE(QDir().mkpath(app_));
        for (const char* name : {"Skin.dll", "Zorvita.dll"}) {
            ASSERT_TRUE(QFile::copy(QStringLiteral(ZORVITA_APP_DIR "/") + QLatin1String(name),
                                    app_ + QLatin1Char('/') + QLatin1String(name)))
                << name;
        }
    }

    PulseDaemon daemon_;
    QString app_;
    testing_support::ScriptedMessageBoxes boxes_;
};

TEST_F(RecorderPulseTest, RecordsTwoSecondsOfAToneThroughEveryEffectIntoAnMp3) {
    FrmRecorder window(boxes_, settings(), app_, platform::makePulseCaptureServer(5000), {});
    window.load();
    window.show();
    const int monitor = window.cboDev()->findText(QStringLiteral("Monitor of Null Output"));
    ASSERT_GE(monitor, 0);
    EXPECT_EQ(window.cboDev()->currentIndex(), -1);
    window.cboDev()->setCurrentIndex(monitor);
    Q_EMIT window.cboDev()->activated(monitor);
    EXPECT_EQ(window.cboRecLine()->count(), 1);
    for (int i = 0; i < 4; ++i) {
        window.chkFX(i)->click();
    }
    ASSERT_EQ(window.dsp().EffectsUsed(), 15);

    ASSERT_TRUE(daemon_.playTone(1000, 10));
    window.cmdDo()->click();
    ASSERT_TRUE(window.recording())
        << (boxes_.shown().empty() ? std::string() : boxes_.shown()[0].text.toStdString());
    const QString mp3 = window.txtFile()->text();
    float loudest = 0;
    QElapsedTimer t;
    t.start();
    QElapsedTimer wall;
    wall.start();
    while (window.elapsedMs() < 2000 && t.elapsed() < 15000) {
        QTest::qWait(25);
        loudest = std::max(loudest, std::min(window.shownLeftLevel(), window.shownRightLevel()));
    }
    EXPECT_GT(loudest, 0.2f) << "both level bars show the tone";
    EXPECT_TRUE(window.LblStatus()->text().endsWith(QStringLiteral("Length: 0:02")))
        << window.LblStatus()->text().toStdString();

    const double recordedSeconds = wall.elapsed() / 1000.0;
    window.cmdDo()->click();
    QElapsedTimer s;
    s.start();
    while (window.saving() && s.elapsed() < 60000) {
        QTest::qWait(20);
    }
    ASSERT_FALSE(window.saving());
    ASSERT_EQ(boxes_.shown().size(), 1u);
    EXPECT_EQ(
        boxes_.shown()[0].text,
        QStringLiteral("Successfully saved the MP3 File at the below location.\r\n\r\n") + mp3);
    EXPECT_FALSE(QFile::exists(recorder::intermediatePath(mp3)));

    const testing_support::DecodedMp3 d = testing_support::decodeMp3(mp3);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.rate, 44100);
    const double seconds = static_cast<double>(d.frames()) / d.rate;
    // The file holds what was captured up to the stop, which the elapsed time, counted as the
    // monitor hands the sound over, shows only later.
    EXPECT_GT(seconds, recordedSeconds - 0.3) << recordedSeconds;
    EXPECT_LT(seconds, recordedSeconds + 0.5) << recordedSeconds;
    EXPECT_GT(seconds, 1.9);
}

}  // namespace
