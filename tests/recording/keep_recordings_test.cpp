#include "platform/mci/capture_files.h"
#include "platform/mci/mci.h"
#include "platform/mci/waveaudio_device.h"
#include "recording/LostRecordings.h"
#include "recording/ModRecorder.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/temp_env.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <sys/time.h>

#include <csignal>
#include <thread>

#include <gtest/gtest.h>

namespace {

using testing_support::ScriptedMessageBoxes;

class PushedCapture final : public platform::WaveCapture {
  public:
    explicit PushedCapture(platform::CaptureConsumer* out) : out_(out) {}
    unsigned long start(int, int, platform::CaptureConsumer consumer) override {
        *out_ = std::move(consumer);
        return platform::MciOk;
    }
    void stop() override { *out_ = nullptr; }

  private:
    platform::CaptureConsumer* out_;
};

class SilentLabel final : public StatusLabel {
  public:
    void setCaption(const QString&) override {}
    void repaintNow() override {}
};

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray pattern(int bytes) {
    QByteArray data(bytes, '\0');
    for (int i = 0; i < bytes; ++i) {
        data[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    }
    return data;
}

// The recorder with the real command-string session and wave-audio device; only the sound
// server is replaced by pushed data.
class RecorderInFolder {
  public:
    explicit RecorderInFolder(const QString& appFolder)
        : recorder_(mci_, boxes, label_, appFolder) {
        platform::WaveAudioOptions options;
        options.tempFolder = appFolder;
        options.openCapture = [this](unsigned long*) {
            return std::make_unique<PushedCapture>(&consumer_);
        };
        platform::registerWaveAudio(mci_, options);
        recorder_.setStatusInterval(10);
        recorder_.RecordFileName = QStringLiteral("Recorded_070326143005");
    }

    // Records `data` at 22050 Hz, then stops from inside the recording's wait.
    void record(const QByteArray& data) {
        QTimer::singleShot(20, [&] {
            std::thread([&] {
                consumer_(data.constData(), static_cast<std::size_t>(data.size()));
            }).join();
            recorder_.RecordingActive = false;
            recorder_.StopRecording();
        });
        recorder_.StartRecording(QStringLiteral("2"), QStringLiteral("16"),
                                 QStringLiteral("22050"));
    }

    ModRecorder& recorder() { return recorder_; }
    ScriptedMessageBoxes boxes;

  private:
    platform::MciSession mci_;
    SilentLabel label_;
    platform::CaptureConsumer consumer_;
    ModRecorder recorder_;
};

class KeepRecordingsTest : public testing_support::TempFolderTest {};

TEST_F(KeepRecordingsTest, RecordsIntoApplicationFoldersOfAnyName) {
    const QStringList names = {
        QStringLiteral("two words"),
        QStringLiteral("tab\there"),
        QStringLiteral("say \"hi\""),
        QStringLiteral("Zo\u00eb \u0420\u0430\u0434\u0438\u043e \u96fb\u53f0"),
        QStringLiteral("ends in blank "),
    };
    const QByteArray data = pattern(8000);
    for (const QString& name : names) {
        const QString folder = path(name);
        ASSERT_TRUE(QDir().mkpath(folder));
        RecorderInFolder r(folder);
        r.record(data);
        EXPECT_TRUE(r.boxes.shown().empty()) << name.toStdString();
        EXPECT_TRUE(r.recorder().KeptRecording.isEmpty());
        EXPECT_EQ(readAll(r.recorder().recordingPath()),
                  platform::waveHeader(2, 22050, 16, 8000) + data)
            << name.toStdString();
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("Recorded_070326143005.tmp")});
    }
}

TEST_F(KeepRecordingsTest, AFailedSaveKeepsTheSoundInTheApplicationFolderAndSaysWhere) {
    const QString folder = path(QStringLiteral("app"));
    ASSERT_TRUE(QDir().mkpath(folder));
    RecorderInFolder r(folder);
    // A name the file system refuses makes the save fail.
    r.recorder().RecordFileName = QString(300, QLatin1Char('n'));
    const QByteArray data = pattern(4000);
    r.record(data);
    const QString kept = r.recorder().KeptRecording;
    ASSERT_FALSE(kept.isEmpty());
    EXPECT_EQ(QFileInfo(kept).path(), folder);
    EXPECT_TRUE(QFileInfo(kept).fileName().startsWith(QLatin1String("Recorded_")));
    EXPECT_EQ(readAll(kept), platform::waveHeader(2, 22050, 16, 4000) + data);
    ASSERT_EQ(r.boxes.shown().size(), 1u);
    EXPECT_EQ(r.boxes.shown()[0].caption, QStringLiteral("Error (save)"));
    EXPECT_EQ(r.boxes.shown()[0].text,
              QStringLiteral("The file was not saved. Make sure your system has sufficient disk "
                             "space or has an intact network connection.\r\n\r\nWhat was "
                             "recorded is kept in this file:\r\n") +
                  kept);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
              QStringList{QFileInfo(kept).fileName()});
}

TEST_F(KeepRecordingsTest, ARecorderKilledMidRecordingLeavesARecordingFoundAtTheNextStart) {
    const QString folder = path(QStringLiteral("Radio \u00e9t\u00e9"));
    ASSERT_TRUE(QDir().mkpath(folder));
    QProcess recorder;
    recorder.start(QStringLiteral(CAPTURE_HELPER), {folder, QStringLiteral("100000")});
    ASSERT_TRUE(recorder.waitForStarted());
    while (!recorder.canReadLine() && recorder.state() == QProcess::Running) {
        recorder.waitForReadyRead(30000);
    }
    ASSERT_EQ(recorder.readLine(), QByteArray("ready\n")) << recorder.readAllStandardError().data();
    const QStringList hidden =
        QDir(folder).entryList({QStringLiteral(".recording-*.wav")}, QDir::Files | QDir::Hidden);
    ASSERT_EQ(hidden.size(), 1);

    // While its recorder lives the file is left alone.
    ScriptedMessageBoxes boxes;
    EXPECT_TRUE(RecoverLostRecordings(folder, boxes).isEmpty());
    EXPECT_TRUE(boxes.shown().empty());

    ::kill(static_cast<pid_t>(recorder.processId()), SIGKILL);
    ASSERT_TRUE(recorder.waitForFinished(30000));
    const QString cutOff = QDir(folder).filePath(hidden[0]);
    const qint64 at = QDateTime(QDate(2026, 3, 7), QTime(14, 30, 5)).toSecsSinceEpoch();
    const timeval times[2] = {{static_cast<time_t>(at), 0}, {static_cast<time_t>(at), 0}};
    ASSERT_EQ(::utimes(QFile::encodeName(cutOff).constData(), times), 0);

    const QString expected = QDir(folder).filePath(QStringLiteral("Recorded_070326143005.wav"));
    EXPECT_EQ(RecoverLostRecordings(folder, boxes), QStringList{expected});
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text,
              QStringLiteral("A recording was cut off when the program ended unexpectedly.\r\n"
                             "What was recorded is kept in this file:\r\n") +
                  expected);
    EXPECT_EQ(boxes.shown()[0].caption, QStringLiteral("Velmo's Online Radio"));
    EXPECT_EQ(boxes.shown()[0].style, 64);
    EXPECT_EQ(readAll(expected), platform::waveHeader(2, 22050, 16, 100000) + pattern(100000));
    EXPECT_FALSE(QFile::exists(cutOff));

    // Told once: the next start finds nothing.
    boxes.clear();
    EXPECT_TRUE(RecoverLostRecordings(folder, boxes).isEmpty());
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(KeepRecordingsTest, SeveralCutOffRecordingsAreNamedInOneMessage) {
    const QString folder = path(QStringLiteral("app"));
    ASSERT_TRUE(QDir().mkpath(folder));
    QProcess gone;
    gone.start(QStringLiteral("true"), {});
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 pid = gone.processId();
    gone.waitForFinished();
    for (quint32 i = 1; i <= 2; ++i) {
        QFile f(QDir(folder).filePath(platform::captureFileName(pid, i)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(platform::waveHeader(2, 48000, 16, 0) + pattern(400));
    }
    ScriptedMessageBoxes boxes;
    const QStringList made = RecoverLostRecordings(folder, boxes);
    ASSERT_EQ(made.size(), 2);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text,
              QStringLiteral("Recordings were cut off when the program ended unexpectedly.\r\n"
                             "What was recorded is kept in these files:\r\n") +
                  made[0] + QStringLiteral("\r\n") + made[1]);
}

}  // namespace
