#include "recording/ModRecorder.h"

#include "platform/mci/waveaudio_device.h"
#include "tests/platform/audio/pulse_daemon.h"
#include "tests/support/scripted_message_boxes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class TimedLabel final : public StatusLabel {
  public:
    void setCaption(const QString& text) override {
        if (captions.isEmpty()) {
            sinceFirst.start();
        }
        captions.append(text);
    }
    void repaintNow() override {}
    QStringList captions;
    QElapsedTimer sinceFirst;
};

// The whole recording path: the recorder's commands on the real device, capturing the tone a
// private sound server plays, saved into an application folder whose name has blanks.
TEST(ModRecorderRecording, RecordsTheToneIntoAnApplicationFolderWithBlanks) {
    testing_support::PulseDaemon daemon;
    ASSERT_TRUE(daemon.ok()) << daemon.error().toStdString();
    ASSERT_TRUE(daemon.playTone(1000, 10));
    QTemporaryDir dir;
    const QString appFolder = dir.filePath(QStringLiteral("Zorvita Radio App"));
    ASSERT_TRUE(QDir().mkpath(appFolder));

    platform::MciSession mci;
    platform::WaveAudioOptions options;
    options.tempFolder = appFolder;
    platform::registerWaveAudio(mci, options);
    testing_support::ScriptedMessageBoxes boxes;
    TimedLabel label;
    ModRecorder recorder(mci, boxes, label, appFolder);
    recorder.RecordFileName = QStringLiteral("Recorded_081226150000");
    recorder.RecordRateIndex = 3;
    recorder.RecordSampleRate = QStringLiteral("22050");

    double seconds = 0;
    QTimer::singleShot(2000, [&] {
        seconds = label.sinceFirst.elapsed() / 1000.0;
        recorder.RecordingActive = false;
        recorder.StopRecording();
    });
    recorder.StartRecording(QStringLiteral("2"), QStringLiteral("16"), recorder.RecordSampleRate);

    EXPECT_TRUE(boxes.shown().empty()) << boxes.shown().front().caption.toStdString() << ": "
                                       << boxes.shown().front().text.toStdString();
    EXPECT_EQ(recorder.RecordBytesPerSec, 88200);
    ASSERT_GT(label.captions.size(), 3);
    EXPECT_TRUE(label.captions.last().startsWith(QStringLiteral("Recording..... [File Size : 0.")));
    testing_support::expectToneWave(recorder.recordingPath(), 22050, seconds);
    // Only the recording is left in the folder: the device removed its own file.
    EXPECT_EQ(QDir(appFolder).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("Recorded_081226150000.tmp")});
}

}  // namespace
