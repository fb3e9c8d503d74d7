#include "platform/mci/waveaudio_device.h"

#include "tests/support/temp_env.h"

#include <QDir>
#include <QFile>

#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <thread>

#include <gtest/gtest.h>

namespace {

using platform::MciOk;

// Stands in for the sound server: the test pushes PCM through it from another thread.
class FakeCapture final : public platform::WaveCapture {
  public:
    struct Shared {
        platform::CaptureConsumer consumer;
        int channels = 0;
        int rate = 0;
        int starts = 0;
    };
    explicit FakeCapture(Shared* shared) : shared_(shared) {}
    unsigned long start(int channels, int rate, platform::CaptureConsumer consumer) override {
        shared_->channels = channels;
        shared_->rate = rate;
        shared_->consumer = std::move(consumer);
        ++shared_->starts;
        return MciOk;
    }
    void stop() override { shared_->consumer = nullptr; }

  private:
    Shared* shared_;
};

QByteArray pattern(int bytes, int seed) {
    QByteArray data(bytes, '\0');
    for (int i = 0; i < bytes; ++i) {
        data[i] = static_cast<char>((i * 7 + seed) & 0xFF);
    }
    return data;
}

quint32 le32(const QByteArray& b, int at) {
    return static_cast<quint8>(b[at]) | static_cast<quint8>(b[at + 1]) << 8 |
           static_cast<quint8>(b[at + 2]) << 16 |
           static_cast<quint32>(static_cast<quint8>(b[at + 3])) << 24;
}

quint16 le16(const QByteArray& b, int at) {
    return static_cast<quint16>(static_cast<quint8>(b[at]) | static_cast<quint8>(b[at + 1]) << 8);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Checks the canonical header field by field and returns the sample data.
QByteArray expectWave(const QString& path, int channels, int rate, quint32 dataBytes) {
    const QByteArray file = readAll(path);
    EXPECT_EQ(file.size(), 44 + static_cast<int>(dataBytes)) << path.toStdString();
    if (file.size() < 44) {
        return {};
    }
    EXPECT_EQ(file.left(4), QByteArray("RIFF"));
    EXPECT_EQ(le32(file, 4), 36 + dataBytes);
    EXPECT_EQ(file.mid(8, 8), QByteArray("WAVEfmt "));
    EXPECT_EQ(le32(file, 16), 16u);
    EXPECT_EQ(le16(file, 20), 1u);
    EXPECT_EQ(le16(file, 22), channels);
    EXPECT_EQ(le32(file, 24), static_cast<quint32>(rate));
    EXPECT_EQ(le32(file, 28), static_cast<quint32>(rate * channels * 2));
    EXPECT_EQ(le16(file, 32), channels * 2);
    EXPECT_EQ(le16(file, 34), 16u);
    EXPECT_EQ(file.mid(36, 4), QByteArray("data"));
    EXPECT_EQ(le32(file, 40), dataBytes);
    return file.mid(44);
}

class WaveAudioDeviceTest : public testing_support::TempFolderTest {
  protected:
    void SetUp() override { QDir().mkpath(path(QStringLiteral("tmp"))); }

    void openSession(std::uint64_t maxData = platform::kMaxWaveDataBytes) {
        platform::WaveAudioOptions options;
        options.tempFolder = path(QStringLiteral("tmp"));
        options.maxDataBytes = maxData;
        options.openCapture = [this](unsigned long*) {
            return std::make_unique<FakeCapture>(&capture_);
        };
        platform::registerWaveAudio(mci_, options);
        ASSERT_EQ(send(QStringLiteral("open new type waveaudio alias rec")), MciOk);
    }

    unsigned long send(const QString& command, QString* reply = nullptr) {
        return mci_.mciSendString(command, reply);
    }

    QString status(const QString& item) {
        QString reply;
        EXPECT_EQ(send(QStringLiteral("status rec ") + item, &reply), MciOk) << item.toStdString();
        return reply;
    }

    // Delivers data from a thread of its own, as the sound client does.
    void push(const QByteArray& data) {
        ASSERT_TRUE(capture_.consumer);
        std::thread t(
            [&] { capture_.consumer(data.constData(), static_cast<std::size_t>(data.size())); });
        t.join();
    }

    void setStereo(int rate) {
        ASSERT_EQ(
            send(QStringLiteral("set rec channels 2 samplespersec %1 bitspersample 16").arg(rate)),
            MciOk);
    }

    platform::MciSession mci_;
    FakeCapture::Shared capture_;
};

TEST_F(WaveAudioDeviceTest, FormatCommandsAreCheckedAndReported) {
    openSession();
    EXPECT_EQ(send(QStringLiteral("set rec time format ms")), MciOk);
    EXPECT_EQ(send(QStringLiteral("set rec format tag pcm")), MciOk);
    EXPECT_EQ(send(QStringLiteral("set rec channels 2")), MciOk);
    EXPECT_EQ(send(QStringLiteral("set rec samplespersec 22050")), MciOk);
    EXPECT_EQ(send(QStringLiteral("set rec bitspersample 16")), MciOk);
    EXPECT_EQ(send(QStringLiteral("set rec alignment 4")), MciOk);
    EXPECT_EQ(status(QStringLiteral("channels")), QStringLiteral("2"));
    EXPECT_EQ(status(QStringLiteral("samplespersec")), QStringLiteral("22050"));
    EXPECT_EQ(status(QStringLiteral("bitspersample")), QStringLiteral("16"));
    EXPECT_EQ(status(QStringLiteral("alignment")), QStringLiteral("4"));
    EXPECT_EQ(status(QStringLiteral("bytespersec")), QStringLiteral("88200"));
    EXPECT_EQ(status(QStringLiteral("length")), QStringLiteral("0"));
    EXPECT_EQ(status(QStringLiteral("mode")), QStringLiteral("stopped"));

    EXPECT_EQ(send(QStringLiteral("set rec bitspersample 8")),
              platform::MciErrWaveInputsUnsuitable);
    EXPECT_EQ(send(QStringLiteral("set rec alignment 3")), platform::MciErrOutOfRange);
    EXPECT_EQ(send(QStringLiteral("set rec channels two")), platform::MciErrBadInteger);
    EXPECT_EQ(send(QStringLiteral("set rec channels")), platform::MciErrMissingParameter);
    EXPECT_EQ(send(QStringLiteral("set rec samplespersec 5")), platform::MciErrOutOfRange);
    EXPECT_EQ(send(QStringLiteral("set rec format tag mp3")), platform::MciErrBadConstant);
    EXPECT_EQ(send(QStringLiteral("set rec time format hours")), platform::MciErrBadConstant);
    EXPECT_EQ(send(QStringLiteral("set rec colour 3")), platform::MciErrUnrecognizedKeyword);
    EXPECT_EQ(send(QStringLiteral("status rec")), platform::MciErrMissingParameter);
    EXPECT_EQ(send(QStringLiteral("play rec")), platform::MciErrUnrecognizedCommand);
    EXPECT_EQ(send(QStringLiteral("save rec")), platform::MciErrFilenameRequired);
    EXPECT_EQ(status(QStringLiteral("channels")), QStringLiteral("2"));
}

TEST_F(WaveAudioDeviceTest, RecordsCountsAndSavesAWaveFileUnderANameWithBlanks) {
    openSession();
    setStereo(22050);
    ASSERT_EQ(send(QStringLiteral("record rec")), MciOk);
    EXPECT_EQ(capture_.channels, 2);
    EXPECT_EQ(capture_.rate, 22050);
    EXPECT_EQ(status(QStringLiteral("mode")), QStringLiteral("recording"));
    const QByteArray first = pattern(88200, 1);
    push(first.left(1000));
    push(first.mid(1000));
    ASSERT_EQ(send(QStringLiteral("stop rec")), MciOk);
    EXPECT_FALSE(capture_.consumer);
    EXPECT_EQ(status(QStringLiteral("length")), QStringLiteral("1000"));
    ASSERT_EQ(send(QStringLiteral("set rec time format bytes")), MciOk);
    EXPECT_EQ(status(QStringLiteral("length")), QStringLiteral("88200"));
    ASSERT_EQ(send(QStringLiteral("set rec time format samples")), MciOk);
    EXPECT_EQ(status(QStringLiteral("length")), QStringLiteral("22050"));
    // Captured sound keeps its format.
    EXPECT_EQ(send(QStringLiteral("set rec channels 1")), platform::MciErrDeviceNotReady);

    QDir().mkpath(path(QStringLiteral("a folder")));
    const QString saved = path(QStringLiteral("a folder/first take.tmp"));
    ASSERT_EQ(send(QStringLiteral("save rec \"") + saved + QLatin1Char('"')), MciOk);
    EXPECT_EQ(expectWave(saved, 2, 22050, 88200), first);
    const QString same = path(QStringLiteral("a folder/same take.tmp"));
    ASSERT_EQ(send(QStringLiteral("save rec \"") + same + QLatin1Char('"')), MciOk);
    EXPECT_EQ(expectWave(same, 2, 22050, 88200), first);

    // Recording on after a save appends, and leaves the saved file as it was.
    ASSERT_EQ(send(QStringLiteral("record rec")), MciOk);
    const QByteArray second = pattern(400, 9);
    push(second);
    const QString again = path(QStringLiteral("a folder/second take.tmp"));
    ASSERT_EQ(send(QStringLiteral("save rec \"") + again + QLatin1Char('"')), MciOk);
    EXPECT_EQ(expectWave(saved, 2, 22050, 88200), first);
    EXPECT_EQ(expectWave(again, 2, 22050, 88600), first + second);

    // Closing removes the device's own file, not the saved ones.
    ASSERT_EQ(send(QStringLiteral("close rec")), MciOk);
    EXPECT_TRUE(QDir(path(QStringLiteral("tmp"))).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_TRUE(QFile::exists(saved));
}

TEST_F(WaveAudioDeviceTest, SavesIntoFoldersOfAnyNameWhenQuoted) {
    openSession();
    setStereo(44100);
    ASSERT_EQ(send(QStringLiteral("record rec")), MciOk);
    const QByteArray data = pattern(4000, 2);
    push(data);
    const QStringList folders = {
        QStringLiteral("two words"),
        QStringLiteral("tab\there"),
        QStringLiteral("say \"hi\""),
        QStringLiteral("Zo\u00eb \u0420\u0430\u0434\u0438\u043e \u96fb\u53f0"),
        QStringLiteral("ends in blank "),
        QStringLiteral("line\nbreak"),
        QStringLiteral("\"\""),
        QStringLiteral("no\u00a0break"),
    };
    for (const QString& name : folders) {
        ASSERT_TRUE(QDir().mkpath(path(name)));
        const QString target = path(name) + QStringLiteral("/take \"1\".tmp");
        EXPECT_EQ(send(QStringLiteral("save rec ") + platform::mciQuote(target)), MciOk)
            << name.toStdString();
        EXPECT_EQ(expectWave(target, 2, 44100, 4000), data) << name.toStdString();
    }
}

TEST_F(WaveAudioDeviceTest, AFailedSaveKeepsTheSoundBesideTheCaptureAndRepliesWithIt) {
    openSession();
    setStereo(44100);
    ASSERT_EQ(send(QStringLiteral("record rec")), MciOk);
    const QByteArray data = pattern(4000, 3);
    push(data);
    const QString target = path(QStringLiteral("no such folder/Recorded_070326143005.tmp"));
    QString kept;
    EXPECT_EQ(send(QStringLiteral("save rec ") + platform::mciQuote(target), &kept),
              platform::MciErrFileNotSaved);
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_FALSE(capture_.consumer);
    EXPECT_EQ(kept, path(QStringLiteral("tmp/Recorded_070326143005.wav")));
    EXPECT_EQ(expectWave(kept, 2, 44100, 4000), data);

    // Never over another file; recording on leaves the kept file as it was.
    ASSERT_EQ(send(QStringLiteral("record rec")), MciOk);
    push(pattern(400, 4));
    QString second;
    EXPECT_EQ(send(QStringLiteral("save rec ") + platform::mciQuote(target), &second),
              platform::MciErrFileNotSaved);
    EXPECT_EQ(second, path(QStringLiteral("tmp/Recorded_070326143005-2.wav")));
    EXPECT_EQ(expectWave(second, 2, 44100, 4400), data + pattern(400, 4));
    EXPECT_EQ(expectWave(kept, 2, 44100, 4000), data);

    // Closing removes only the device's own hidden file.
    ASSERT_EQ(send(QStringLiteral("close rec")), MciOk);
    EXPECT_EQ(QDir(path(QStringLiteral("tmp"))).entryList(QDir::Files | QDir::Hidden),
              (QStringList{QStringLiteral("Recorded_070326143005-2.wav"),
                           QStringLiteral("Recorded_070326143005.wav")}));
}

TEST_F(WaveAudioDeviceTest, AFailedSaveOfNothingKeepsNothing) {
    openSession();
    setStereo(44100);
    QString kept;
    EXPECT_EQ(
        send(QStringLiteral("save rec \"") + path(QStringLiteral("none/x.tmp")) + QLatin1Char('"'),
             &kept),
        platform::MciErrFileNotSaved);
    EXPECT_TRUE(kept.isEmpty());
    ASSERT_EQ(send(QStringLiteral("close rec")), MciOk);
    EXPECT_TRUE(QDir(path(QStringLiteral("tmp"))).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(WaveAudioDeviceTest, TheSizeLimitEndsWithAValidFileAndAnError) {
    openSession(1002);
    setStereo(48000);
    ASSERT_EQ(send(QStringLiteral("record rec")), MciOk);
    const QByteArray data = pattern(1200, 5);
    push(data.left(600));
    push(data.mid(600));
    ASSERT_EQ(send(QStringLiteral("set rec time format bytes")), MciOk);
    EXPECT_EQ(status(QStringLiteral("length")), QStringLiteral("1000"));
    EXPECT_EQ(send(QStringLiteral("stop rec")), platform::MciErrFileTooLarge);
    EXPECT_EQ(send(QStringLiteral("record rec")), platform::MciErrFileTooLarge);
    const QString saved = path(QStringLiteral("limit.wav"));
    ASSERT_EQ(send(QStringLiteral("save rec ") + saved), MciOk);
    EXPECT_EQ(expectWave(saved, 2, 48000, 1000), data.left(1000));
    EXPECT_FALSE(mci_.mciGetErrorString(platform::MciErrFileTooLarge).isEmpty());
}

// A file-size limit of the process makes the disk refuse more, as a full disk does.
TEST_F(WaveAudioDeviceTest, AFullDiskEndsWithAValidFileOfWhatReachedIt) {
    openSession();
    setStereo(44100);
    ASSERT_EQ(send(QStringLiteral("record rec")), MciOk);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit small = before;
    small.rlim_cur = 44 + 4098;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const QByteArray data = pattern(8192, 7);
    push(data);
    const unsigned long stopped = send(QStringLiteral("stop rec"));
    const QString saved = path(QStringLiteral("full.wav"));
    const unsigned long savedRc = send(QStringLiteral("save rec ") + saved);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &before), 0);
    EXPECT_EQ(stopped, platform::MciErrDiskFull);
    EXPECT_EQ(savedRc, MciOk);
    EXPECT_EQ(expectWave(saved, 2, 44100, 4096), data.left(4096));
}

// Saving into another file system copies; a disk that fills during the copy still leaves a
// complete file of what was copied.
TEST_F(WaveAudioDeviceTest, SavesByCopyAcrossFileSystemsAndKeepsWhatFitsOnAFullDisk) {
    QTemporaryDir elsewhere(QStringLiteral("/dev/shm/zv-capture-XXXXXX"));
    struct stat here {};
    struct stat there {};
    if (!elsewhere.isValid() ||
        ::stat(QFile::encodeName(path(QString())).constData(), &here) != 0 ||
        ::stat(QFile::encodeName(elsewhere.path()).constData(), &there) != 0 ||
        here.st_dev == there.st_dev) {
        GTEST_SKIP() << "no second file system for the capture folder";
    }
    platform::WaveAudioOptions options;
    options.tempFolder = elsewhere.path();
    options.openCapture = [this](unsigned long*) {
        return std::make_unique<FakeCapture>(&capture_);
    };
    platform::registerWaveAudio(mci_, options);
    ASSERT_EQ(send(QStringLiteral("open new type waveaudio alias rec")), MciOk);
    setStereo(32000);
    ASSERT_EQ(send(QStringLiteral("record rec")), MciOk);
    const QByteArray data = pattern(8192, 11);
    push(data);
    ASSERT_EQ(send(QStringLiteral("stop rec")), MciOk);
    const QString whole = path(QStringLiteral("whole copy.wav"));
    ASSERT_EQ(send(QStringLiteral("save rec \"") + whole + QLatin1Char('"')), MciOk);
    EXPECT_EQ(expectWave(whole, 2, 32000, 8192), data);

    std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit small = before;
    small.rlim_cur = 44 + 4098;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString part = path(QStringLiteral("part.wav"));
    const unsigned long rc = send(QStringLiteral("save rec ") + part);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &before), 0);
    EXPECT_EQ(rc, platform::MciErrDiskFull);
    EXPECT_EQ(expectWave(part, 2, 32000, 4096), data.left(4096));
}

TEST_F(WaveAudioDeviceTest, OpensOnlyNewRecordingsAndNeedsASoundServer) {
    platform::WaveAudioOptions options;
    options.openCapture = [](unsigned long* error) -> std::unique_ptr<platform::WaveCapture> {
        *error = platform::MciErrWaveInputUnavailable;
        return nullptr;
    };
    platform::registerWaveAudio(mci_, options);
    EXPECT_EQ(send(QStringLiteral("open new type waveaudio alias rec")),
              platform::MciErrWaveInputUnavailable);
    EXPECT_EQ(send(QStringLiteral("record rec")), platform::MciErrInvalidDeviceName);
    EXPECT_EQ(send(QStringLiteral("open song.wav type waveaudio alias rec")),
              platform::MciErrInvalidFile);
}

TEST(WaveHeader, IsTheCanonicalFortyFourBytes) {
    const QByteArray h = platform::waveHeader(2, 22050, 16, 1000);
    ASSERT_EQ(h.size(), 44);
    EXPECT_EQ(le32(h, 4), 1036u);
    EXPECT_EQ(le32(h, 28), 88200u);
    EXPECT_EQ(le16(h, 32), 4u);
    EXPECT_EQ(le32(h, 40), 1000u);
}

}  // namespace
