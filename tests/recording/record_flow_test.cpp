#include "platform/mci/mci.h"
#include "platform/shell/shell.h"
#include "recording/ModRecorder.h"
#include "recording/RecordFlow.h"
#include "recording/ShowSavingProgress.h"
#include "tests/recording/wav_files.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/temp_env.h"

#include <QDir>
#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using platform::MsgAnswer;
using testing_support::ScriptedMessageBoxes;
using namespace testing_support;

// The wave-audio device as the recorder drives it: "save" writes a short 1 kHz recording.
class FakeRecorderMci final : public platform::Mci {
  public:
    unsigned long mciSendString(const QString& command, QString* reply) override {
        sent.append(command);
        if (reply != nullptr) {
            reply->clear();
        }
        QStringList words;
        platform::splitMciCommand(command, &words);
        if (words.value(0) == QLatin1String("save") && failSave) {
            return 286;
        }
        if (words.value(0) == QLatin1String("save") && !keptOnFailedSave.isEmpty()) {
            writeFile(keptOnFailedSave,
                      waveFile({riffChunk("fmt ", pcmFormat(2, 44100, 16)),
                                riffChunk("data", toneFrames(44100, 4410, 1000.0))}));
            if (reply != nullptr) {
                *reply = keptOnFailedSave;
            }
            return platform::MciErrFileNotSaved;
        }
        if (words.value(0) == QLatin1String("save") && words.size() >= 3) {
            writeFile(words[2], waveFile({riffChunk("fmt ", pcmFormat(2, 44100, 16)),
                                          riffChunk("data", toneFrames(44100, 44100, 1000.0))}));
        } else if (words.value(0) == QLatin1String("status") && reply != nullptr) {
            const QString what = words.value(2);
            *reply = what == QLatin1String("channels")        ? QStringLiteral("2")
                     : what == QLatin1String("bitspersample") ? QStringLiteral("16")
                     : what == QLatin1String("samplespersec") ? QStringLiteral("44100")
                                                              : QStringLiteral("1000");
        }
        return platform::MciOk;
    }
    QString mciGetErrorString(unsigned long) const override { return QStringLiteral("error"); }
    QStringList sent;
    bool failSave = false;
    // When set, "save" fails and keeps the sound in this file, as the device does.
    QString keptOnFailedSave;
};

class FakeLabel final : public StatusLabel {
  public:
    void setCaption(const QString& text) override { caption = text; }
    void repaintNow() override {}
    QString caption;
};

class FakeView final : public RecordView {
  public:
    bool IsPlaying() const override { return playing; }
    void NoHeadlines() override { headlines = false; }
    void ShowHeadlines() override { headlines = true; }
    void showRecordButton(bool record) override { recordShown = record; }
    bool selectedRate(int* index, QString* caption) const override {
        *index = 6;
        *caption = rate;
        return true;
    }
    void setTag(const QString& t) override { tag = t; }
    void UnhookHover() override {}
    bool playing = true;
    bool headlines = true;
    bool recordShown = true;
    QString tag;
    QString rate = QStringLiteral("44100");
};

class RecordingShell final : public platform::Shell {
  public:
    bool open(const QString& target) override {
        opened.append(target);
        return true;
    }
    bool startProgram(const QString& program, const QStringList&, QString* error) override {
        started.append(program);
        *error = QStringLiteral("File not found");
        return false;
    }
    QStringList opened;
    QStringList started;
};

class RecordFlowTest : public testing_support::TempFolderTest {
  protected:
    RecordFlowTest()
        : appFolder(path(QStringLiteral("my app"))),
          recorder(mci, boxes, label, appFolder),
          flow(recorder, view,
               {boxes, shell, label, [this] { return devices; },
                [] { return QDateTime(QDate(2026, 3, 7), QTime(14, 30, 5)); }},
               appFolder) {
        QDir().mkpath(appFolder);
        recorder.setStatusInterval(20);
    }

    void withEncoderLibrary() {
        ASSERT_TRUE(QFile::copy(QStringLiteral(ZORVITA_APP_DIR "/Zorvita.dll"),
                                appFolder + QStringLiteral("/Zorvita.dll")));
    }
    // Presses Record, and Stop recording a moment later from inside the recording's wait.
    void recordAndStop() {
        QTimer::singleShot(100, [this] { flow.PicRecordStop_Click(); });
        flow.PicRecord_Click();
    }

    QString appFolder;
    FakeRecorderMci mci;
    ScriptedMessageBoxes boxes;
    FakeLabel label;
    FakeView view;
    RecordingShell shell;
    int devices = 1;
    ModRecorder recorder;
    RecordFlow flow;
};

TEST_F(RecordFlowTest, NamesRecordingsByDateAndTime) {
    EXPECT_EQ(RecordFlow::recordingName(QDateTime(QDate(2026, 3, 7), QTime(14, 30, 5))),
              QStringLiteral("Recorded_070326143005"));
}

TEST_F(RecordFlowTest, RecordWithoutPlaybackOnlyExplains) {
    view.playing = false;
    flow.PicRecord_Click();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text,
              QStringLiteral("Please click on the Play button first to start playing the Radio\r\n"
                             "and then click the Record button."));
    EXPECT_EQ(boxes.shown()[0].style, 64);
    EXPECT_TRUE(mci.sent.isEmpty());
    EXPECT_TRUE(view.recordShown);
    EXPECT_TRUE(view.headlines);
    EXPECT_TRUE(view.tag.isEmpty());
}

TEST(RecordFlowPlayerSound, RecordBeforeThePlayerHasSoundAsksToPlayFirst) {
    FakeRecorderMci mci;
    ScriptedMessageBoxes boxes;
    FakeLabel label;
    FakeView view;
    RecordingShell shell;
    ModRecorder recorder(mci, boxes, label, QStringLiteral("/nowhere"));
    RecordFlow flow(
        recorder, view,
        {boxes, shell, label, [] { return 1; }, [] { return QDateTime(); }, [] { return false; }},
        QStringLiteral("/nowhere"));
    flow.PicRecord_Click();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text,
              QStringLiteral("Please click on the Play button first to start playing the Radio\r\n"
                             "and then click the Record button."));
    EXPECT_EQ(boxes.shown()[0].style, 64);
    EXPECT_TRUE(mci.sent.isEmpty());
    EXPECT_TRUE(view.tag.isEmpty());
}

TEST_F(RecordFlowTest, NoCaptureDeviceIsACriticalMessage) {
    devices = 0;
    flow.PicRecord_Click();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].style, 16);
    EXPECT_TRUE(boxes.shown()[0].text.startsWith(QStringLiteral("Sorry, Your computer does not")));
    EXPECT_TRUE(mci.sent.isEmpty());
}

TEST_F(RecordFlowTest, RecordThenStopMakesTheMp3AndOffersIt) {
    withEncoderLibrary();
    boxes.answerNext(MsgAnswer::Yes);
    recordAndStop();
    const QString base = appFolder + QStringLiteral("/Recorded_070326143005");
    EXPECT_TRUE(QFile::exists(base + QStringLiteral(".mp3")));
    EXPECT_FALSE(QFile::exists(base + QStringLiteral(".tmp")));
    EXPECT_EQ(recorder.RecordSampleRate, QStringLiteral("44100"));
    EXPECT_EQ(recorder.RecordRateIndex, 6);
    EXPECT_TRUE(mci.sent.contains(QStringLiteral("set recsound samplespersec 44100")));
    ASSERT_FALSE(boxes.shown().empty());
    EXPECT_EQ(boxes.shown().back().text,
              QStringLiteral("MP3 File created successfully.\r\nDo you want to listen to the below "
                             "file?\r\n") +
                  base + QStringLiteral(".mp3"));
    EXPECT_EQ(boxes.shown().back().style, 68);
    EXPECT_EQ(shell.opened, QStringList{base + QStringLiteral(".mp3")});
    EXPECT_EQ(label.caption, QStringLiteral("DEVELOPED BY :- VELMO TARSK"));
    EXPECT_TRUE(view.headlines);
    EXPECT_TRUE(view.recordShown);
    EXPECT_TRUE(view.tag.isEmpty());
}

// A failed conversion shows one message: what failed and where the recording is kept.
TEST_F(RecordFlowTest, AFailedConversionSaysOnceWhatFailedAndWhereTheRecordingIs) {
    recordAndStop();  // no encoder library in the folder
    const QString wav = appFolder + QStringLiteral("/Recorded_070326143005.tmp");
    EXPECT_TRUE(QFile::exists(wav));
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].style, 16);
    EXPECT_EQ(boxes.shown()[0].caption, QStringLiteral("Velmo's Online Radio"));
    EXPECT_EQ(boxes.shown()[0].text,
              QStringLiteral("The recording could not be turned into an MP3 file.\r\n"
                             "The MP3 encoder library was not found:\r\n") +
                  appFolder +
                  QStringLiteral("/Zorvita.dll\r\n\r\nThe recording is kept as a WAV file:\r\n") +
                  wav);
    EXPECT_EQ(label.caption, QStringLiteral("DEVELOPED BY :- VELMO TARSK"));
    EXPECT_TRUE(view.headlines);
    EXPECT_TRUE(shell.opened.isEmpty());
    EXPECT_TRUE(view.tag.isEmpty());
}

// The encoder's own result replaces its general "not initialised" box inside the one message.
TEST_F(RecordFlowTest, AnEncoderThatRefusesTheRateIsNamedInTheOneMessage) {
    withEncoderLibrary();
    view.rate = QStringLiteral("1000");
    recordAndStop();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text,
              QStringLiteral("The recording could not be turned into an MP3 file.\r\n"
                             "The MP3 encoder could not start (Invalid Format Parameters).\r\n"
                             "\r\nThe recording is kept as a WAV file:\r\n") +
                  appFolder + QStringLiteral("/Recorded_070326143005.tmp"));
}

// A save that failed was reported by the recorder; no second box about a file that is not there.
TEST_F(RecordFlowTest, AFailedSaveIsNotFollowedByAConversionMessage) {
    withEncoderLibrary();
    mci.failSave = true;
    recordAndStop();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].caption, QStringLiteral("Error (save)"));
}

TEST(ConversionFailureText, NamesTheFileThatCouldNotBeWritten) {
    EXPECT_EQ(RecordFlow::conversionFailure(QStringLiteral("Failed to write buffer to file"), {},
                                            QStringLiteral("/a/R.tmp"), QStringLiteral("/a/R.mp3"),
                                            QStringLiteral("/a")),
              QStringLiteral("The recording could not be turned into an MP3 file.\r\n"
                             "The MP3 file could not be written (the disk may be full):\r\n"
                             "/a/R.mp3\r\n\r\nThe recording is kept as a WAV file:\r\n"
                             "/a/R.tmp"));
    EXPECT_EQ(RecordFlow::conversionFailure(QStringLiteral("Not a Wave file."), {},
                                            QStringLiteral("/a/R.tmp"), QStringLiteral("/a/R.mp3"),
                                            QStringLiteral("/a"))
                  .section(QStringLiteral("\r\n"), 1, 1),
              QStringLiteral("The recording is damaged: it is not a complete WAV file."));
}

TEST_F(RecordFlowTest, AFailedSaveNamesTheKeptFileOnceAndConvertsNothing) {
    withEncoderLibrary();
    mci.keptOnFailedSave = appFolder + QStringLiteral("/Recorded_070326143005.wav");
    recordAndStop();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].caption, QStringLiteral("Error (save)"));
    EXPECT_EQ(boxes.shown()[0].text,
              QStringLiteral("error\r\n\r\nWhat was recorded is kept in this "
                             "file:\r\n") +
                  mci.keptOnFailedSave);
    EXPECT_TRUE(QFile::exists(mci.keptOnFailedSave));
    EXPECT_FALSE(QFile::exists(appFolder + QStringLiteral("/Recorded_070326143005.mp3")));
    EXPECT_EQ(label.caption, QStringLiteral("DEVELOPED BY :- VELMO TARSK"));
    EXPECT_TRUE(view.headlines);
    EXPECT_TRUE(view.recordShown);
    EXPECT_TRUE(view.tag.isEmpty());
}

TEST_F(RecordFlowTest, AdvancedRecorderThatCannotStartIsReported) {
    flow.PicAdvanceRec_Click();
    EXPECT_EQ(shell.started, QStringList{appFolder + QStringLiteral("/Encoder.dll")});
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("File not found"));
    EXPECT_EQ(boxes.shown()[0].style, 16);
}

}  // namespace
