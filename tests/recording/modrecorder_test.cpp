#include "recording/ModRecorder.h"

#include "platform/mci/mci.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/temp_env.h"

#include <QDir>
#include <QFile>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

namespace {

// Answers every command with success unless told otherwise, and keeps the commands in order.
class FakeMci final : public platform::Mci {
  public:
    unsigned long mciSendString(const QString& command, QString* reply) override {
        sent.append(command);
        if (reply != nullptr) {
            *reply = replies.value(command);
        }
        if (onSend) {
            onSend(command);
        }
        return failing(command) ? platform::MciErrInvalidDeviceName : platform::MciOk;
    }
    QString mciGetErrorString(unsigned long code) const override {
        return QStringLiteral("device error %1").arg(code);
    }

    std::function<bool(const QString&)> failing = [](const QString&) { return false; };
    std::function<void(const QString&)> onSend;
    QMap<QString, QString> replies;
    QStringList sent;
};

class FakeLabel final : public StatusLabel {
  public:
    void setCaption(const QString& text) override { captions.append(text); }
    void repaintNow() override {}
    QStringList captions;
};

const QStringList kStartCommands = {
    QStringLiteral("close all"),
    QStringLiteral("open new Type waveaudio Alias recsound"),
    QStringLiteral("set recsound time format ms"),
    QStringLiteral("set recsound format tag pcm"),
    QStringLiteral("set recsound channels 2"),
    QStringLiteral("set recsound samplespersec 22050"),
    QStringLiteral("set recsound bitspersample 16"),
    QStringLiteral("set recsound channels 2"),
    QStringLiteral("set recsound alignment 4"),
    QStringLiteral("record recsound"),
};

const QString kStatusSet = QStringLiteral("set recsound time format bytes");
const QString kStatusLength = QStringLiteral("status recsound length");

class ModRecorderTest : public testing_support::TempFolderTest {
  protected:
    ModRecorderTest() : recorder_(mci_, boxes_, label_, path(QStringLiteral("My Radio"))) {
        recorder_.setStatusInterval(10);
        recorder_.RecordFileName = QStringLiteral("Recorded_070326143005");
    }

    QStringList titlesShown() const {
        QStringList titles;
        for (const auto& shown : boxes_.shown()) {
            titles.append(shown.caption);
        }
        return titles;
    }

    FakeMci mci_;
    testing_support::ScriptedMessageBoxes boxes_;
    FakeLabel label_;
    ModRecorder recorder_;
};

// The stop action clears the flag from inside the wait; StartRecording returns after it.
TEST_F(ModRecorderTest, SendsTheStartCommandsInOrderAndWaitsUntilTheStopActionRan) {
    int passesBeforeStop = 0;
    bool stopRan = false;
    mci_.onSend = [&](const QString& command) {
        if (command == kStatusLength && ++passesBeforeStop == 3) {
            QTimer::singleShot(0, [&] {
                recorder_.RecordingActive = false;
                recorder_.StopRecording();
                stopRan = true;
            });
        }
    };
    recorder_.StartRecording(QStringLiteral("2"), QStringLiteral("16"), QStringLiteral("22050"));
    EXPECT_TRUE(stopRan);
    EXPECT_FALSE(recorder_.RecordingActive);
    EXPECT_TRUE(boxes_.shown().empty());
    ASSERT_GE(mci_.sent.size(), kStartCommands.size() + 6);
    EXPECT_EQ(mci_.sent.mid(0, kStartCommands.size()), kStartCommands);
    const QStringList passes = mci_.sent.mid(kStartCommands.size(), 6);
    EXPECT_EQ(passes, (QStringList{kStatusSet, kStatusLength, kStatusSet, kStatusLength, kStatusSet,
                                   kStatusLength}));
    // Nothing is sent after the stop action: the wait ended without another pass.
    EXPECT_EQ(mci_.sent.last(), QStringLiteral("close all"));
    EXPECT_EQ(mci_.sent.mid(mci_.sent.size() - 7, 2),
              (QStringList{QStringLiteral("stop recsound"),
                           QStringLiteral("save recsound \"") + path(QStringLiteral("My Radio")) +
                               QStringLiteral("/Recorded_070326143005.tmp\"")}));
}

// A device that never opened: every command is reported under its own title and still sent,
// "close all" never is, and the first status pass ends the wait.
TEST_F(ModRecorderTest, ReportsEveryFailingCommandAndReturnsAfterTheFirstStatusPass) {
    mci_.failing = [](const QString&) { return true; };
    recorder_.RecordRateIndex = 6;
    recorder_.StartRecording(QStringLiteral("2"), QStringLiteral("16"), QStringLiteral("22050"));
    EXPECT_FALSE(recorder_.RecordingActive);
    EXPECT_EQ(mci_.sent, kStartCommands + (QStringList{kStatusSet, kStatusLength}));
    EXPECT_EQ(
        titlesShown(),
        (QStringList{QStringLiteral("Error"), QStringLiteral("Error (time format)"),
                     QStringLiteral("Error (format tag)"), QStringLiteral("Error (channels)"),
                     QStringLiteral("Error (samples/sec)"), QStringLiteral("Error (bits/sample)"),
                     QStringLiteral("Error (channels)"), QStringLiteral("Error (block align)"),
                     QStringLiteral("Error (record)")}));
    for (const auto& shown : boxes_.shown()) {
        EXPECT_EQ(shown.text, QStringLiteral("device error 263"));
        EXPECT_EQ(shown.style, platform::MsgOkOnly);
    }
    EXPECT_EQ(label_.captions, QStringList{QStringLiteral("Recording..... [File Size : 0.00 MB]")});

    boxes_.clear();
    mci_.sent.clear();
    recorder_.StopRecording();
    EXPECT_EQ(mci_.sent.last(), QStringLiteral("close all"));
    EXPECT_EQ(mci_.sent.size(), 7);
    EXPECT_EQ(titlesShown(),
              (QStringList{QStringLiteral("Error (stop)"), QStringLiteral("Error (save)"),
                           QStringLiteral("Error (close)")}));
}

TEST_F(ModRecorderTest, StatusCaptionEstimatesTheMp3Size) {
    const auto captionFor = [&](int index, const QString& length) {
        mci_.replies[kStatusLength] = length;
        recorder_.RecordRateIndex = static_cast<std::int16_t>(index);
        recorder_.ShowRecordingStatus();
        return label_.captions.last();
    };
    EXPECT_EQ(captionFor(0, QStringLiteral("1048576")),
              QStringLiteral("Recording..... [File Size : 0.45 MB]"));
    EXPECT_EQ(captionFor(7, QStringLiteral("1048576")),
              QStringLiteral("Recording..... [File Size : 0.10 MB]"));
    EXPECT_EQ(captionFor(6, QStringLiteral("2097152")),
              QStringLiteral("Recording..... [File Size : 0.22 MB]"));
    EXPECT_EQ(captionFor(0, QStringLiteral("2433744896")),
              QStringLiteral("Recording..... [File Size : 1044.45 MB]"));
    EXPECT_EQ(captionFor(8, QStringLiteral("1048576")),
              QStringLiteral("Recording..... [File Size : 0.00 MB]"));
    EXPECT_EQ(captionFor(0, QStringLiteral("not a number")),
              QStringLiteral("Recording..... [File Size : 0.00 MB]"));
    EXPECT_EQ(captionFor(0, QStringLiteral(" 1048576 bytes")),
              QStringLiteral("Recording..... [File Size : 0.45 MB]"));

    const QList<int> percents = {45, 42, 31, 23, 21, 16, 11, 10};
    for (int i = 0; i < percents.size(); ++i) {
        EXPECT_EQ(ModRecorder::SizeEstimatePercent(i), percents[i]) << i;
    }
    EXPECT_EQ(ModRecorder::SizeEstimatePercent(-1), 0);
}

TEST_F(ModRecorderTest, ReadsTheFormatBackAsBytesPerSecond) {
    mci_.replies[QStringLiteral("status recsound channels")] = QStringLiteral("2");
    mci_.replies[QStringLiteral("status recsound bitspersample")] = QStringLiteral("16");
    mci_.replies[QStringLiteral("status recsound samplespersec")] = QStringLiteral("44100");
    recorder_.ReadRecordingFormat();
    EXPECT_EQ(recorder_.RecordBytesPerSec, 176400);
    mci_.replies[QStringLiteral("status recsound channels")] = QStringLiteral("1");
    mci_.replies[QStringLiteral("status recsound samplespersec")] = QStringLiteral("11025");
    recorder_.ReadRecordingFormat();
    EXPECT_EQ(recorder_.RecordBytesPerSec, 22050);
}

TEST_F(ModRecorderTest, PatchesTheLowThreeBytesOfTheRateFieldOnly) {
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("My Radio"))));
    const QString file = recorder_.recordingPath();
    const auto patchedBytes = [&](std::int32_t perSecond) {
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(44, '\xEE'));
        f.close();
        recorder_.RecordBytesPerSec = perSecond;
        recorder_.PatchWaveHeader();
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray all = f.readAll();
        EXPECT_EQ(all.size(), 44);
        EXPECT_EQ(all.left(28), QByteArray(28, '\xEE'));
        return all.mid(28, 4);
    };
    EXPECT_EQ(patchedBytes(88200), QByteArray("\x88\x58\x01\xEE", 4));
    EXPECT_EQ(patchedBytes(176400), QByteArray("\x10\xB1\x02\xEE", 4));
}

TEST_F(ModRecorderTest, AFailedSaveLeavesNoJunkFile) {
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("My Radio"))));
    mci_.failing = [](const QString& command) { return command.startsWith(QLatin1String("save")); };
    mci_.replies[QStringLiteral("status recsound channels")] = QStringLiteral("2");
    mci_.replies[QStringLiteral("status recsound bitspersample")] = QStringLiteral("16");
    mci_.replies[QStringLiteral("status recsound samplespersec")] = QStringLiteral("22050");
    recorder_.StopRecording();
    EXPECT_EQ(titlesShown(), QStringList{QStringLiteral("Error (save)")});
    EXPECT_EQ(recorder_.RecordBytesPerSec, 88200);
    EXPECT_FALSE(QFile::exists(recorder_.recordingPath()));
}

TEST(ModRecorderPaths, ShortPathIsThePathUnchangedUnlessItIsBlank) {
    EXPECT_EQ(ModRecorder::GetShortPath(QStringLiteral("/opt/My Radio /Zorvita ")),
              QStringLiteral("/opt/My Radio /Zorvita "));
    EXPECT_EQ(ModRecorder::GetShortPath(QStringLiteral("   ")), QString());
}

}  // namespace
