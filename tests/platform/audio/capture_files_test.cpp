#include "platform/mci/capture_files.h"

#include "platform/mci/mci.h"
#include "platform/mci/waveaudio_device.h"
#include "tests/support/temp_env.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <sys/time.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using platform::MciOk;

class HeldCapture final : public platform::WaveCapture {
  public:
    unsigned long start(int, int, platform::CaptureConsumer consumer) override {
        consumer_ = std::move(consumer);
        return MciOk;
    }
    void stop() override { consumer_ = nullptr; }

  private:
    platform::CaptureConsumer consumer_;
};

// The id of a process that has ended.
qint64 goneProcess() {
    QProcess p;
    p.start(QStringLiteral("true"), {});
    p.waitForStarted();
    const qint64 pid = p.processId();
    p.waitForFinished();
    return pid;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class CaptureFilesTest : public testing_support::TempFolderTest {
  protected:
    QString folder() const { return path(QStringLiteral("app")); }
    void SetUp() override { ASSERT_TRUE(QDir().mkpath(folder())); }

    // A capture file as a killed device leaves it: its header with zero sizes, then the data.
    QString leave(qint64 pid, quint32 random, const QByteArray& content, const QDateTime& when) {
        const QString file = QDir(folder()).filePath(platform::captureFileName(pid, random));
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        const timeval times[2] = {{static_cast<time_t>(when.toSecsSinceEpoch()), 0},
                                  {static_cast<time_t>(when.toSecsSinceEpoch()), 0}};
        EXPECT_EQ(::utimes(QFile::encodeName(file).constData(), times), 0);
        return file;
    }

    QStringList hidden() const {
        return QDir(folder()).entryList({QStringLiteral(".recording-*")},
                                        QDir::Files | QDir::Hidden);
    }

    const QDateTime when_{QDate(2026, 3, 7), QTime(14, 30, 5)};
};

TEST_F(CaptureFilesTest, NamesFollowTheRecordingsPattern) {
    EXPECT_EQ(platform::captureFileName(4711, 0xABCu),
              QStringLiteral(".recording-4711-00000abc.wav"));
    EXPECT_EQ(platform::recordingBaseName(when_), QStringLiteral("Recorded_070326143005"));
}

TEST_F(CaptureFilesTest, CompletesCutOffRecordingsUnderTheirTimeWithoutReplacingAny) {
    const qint64 gone = goneProcess();
    const QByteArray data(1003, 'x');
    leave(gone, 1, platform::waveHeader(2, 22050, 16, 0) + data, when_);
    leave(gone, 2, platform::waveHeader(1, 8000, 16, 0) + data.left(10), when_);
    const QStringList made = platform::recoverCaptureFiles(folder());
    ASSERT_EQ(made.size(), 2);
    EXPECT_EQ(made[0], QDir(folder()).filePath(QStringLiteral("Recorded_070326143005.wav")));
    EXPECT_EQ(made[1], QDir(folder()).filePath(QStringLiteral("Recorded_070326143005-2.wav")));
    // The partial frame at the end is cut off; the header tells the real length.
    EXPECT_EQ(readAll(made[0]), platform::waveHeader(2, 22050, 16, 1000) + data.left(1000));
    EXPECT_EQ(readAll(made[1]), platform::waveHeader(1, 8000, 16, 10) + data.left(10));
    EXPECT_TRUE(hidden().isEmpty());
    EXPECT_TRUE(platform::recoverCaptureFiles(folder()).isEmpty());
}

TEST_F(CaptureFilesTest, LeavesFilesInUseOrNotItsOwnAndDropsEmptyOnes) {
    const qint64 gone = goneProcess();
    const QString empty = leave(gone, 3, platform::waveHeader(2, 44100, 16, 0), when_);
    const QString foreign = leave(gone, 4, QByteArray(100, 'z'), when_);
    const QString oddName = QDir(folder()).filePath(QStringLiteral(".recording-x-00000005.wav"));
    ASSERT_TRUE(QFile::copy(foreign, oddName));
    // A process that still runs may still write, even without the file's lock.
    const QString parents =
        leave(::getppid(), 6, platform::waveHeader(2, 44100, 16, 0) + QByteArray(400, 'p'), when_);

    // A recording this process is making holds its file.
    platform::MciSession mci;
    platform::WaveAudioOptions options;
    options.tempFolder = folder();
    options.openCapture = [](unsigned long*) { return std::make_unique<HeldCapture>(); };
    platform::registerWaveAudio(mci, options);
    ASSERT_EQ(mci.mciSendString(QStringLiteral("open new type waveaudio alias rec")), MciOk);
    ASSERT_EQ(mci.mciSendString(QStringLiteral("set rec channels 2 samplespersec 44100")), MciOk);
    ASSERT_EQ(mci.mciSendString(QStringLiteral("record rec")), MciOk);
    ASSERT_EQ(hidden().size(), 5);

    EXPECT_TRUE(platform::recoverCaptureFiles(folder()).isEmpty());
    EXPECT_FALSE(QFile::exists(empty));
    EXPECT_EQ(readAll(foreign), QByteArray(100, 'z'));
    EXPECT_TRUE(QFile::exists(oddName));
    EXPECT_TRUE(QFile::exists(parents));
    EXPECT_EQ(hidden().size(), 4);
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files).size(), 0);
}

}  // namespace
