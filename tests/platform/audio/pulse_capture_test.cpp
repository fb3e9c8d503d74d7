#include "platform/audio/pulse_audio.h"
#include "platform/mci/waveaudio_device.h"

#include "tests/platform/audio/pulse_daemon.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <mutex>

#include <gtest/gtest.h>

namespace {

using testing_support::PulseDaemon;

class PulseTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(daemon_.ok()) << daemon_.error().toStdString(); }
    PulseDaemon daemon_;
};

TEST_F(PulseTest, ListsSourcesWithMonitorsAndFindsTheDefaultOutput) {
    QString error;
    const auto client = platform::PulseClient::connect(QStringLiteral("ZorvitaTest"), 5000, &error);
    ASSERT_TRUE(client) << error.toStdString();
    std::vector<platform::AudioSource> sources;
    ASSERT_TRUE(client->listSources(&sources, &error)) << error.toStdString();
    const auto monitor = std::find_if(sources.begin(), sources.end(), [](const auto& s) {
        return s.name == QLatin1String("zv_null.monitor");
    });
    ASSERT_NE(monitor, sources.end());
    EXPECT_TRUE(monitor->isMonitor);
    EXPECT_FALSE(monitor->description.isEmpty());
    platform::DefaultSink sink;
    ASSERT_TRUE(client->defaultSink(&sink, &error)) << error.toStdString();
    EXPECT_EQ(sink.name, QStringLiteral("zv_null"));
    EXPECT_EQ(sink.monitorSource, QStringLiteral("zv_null.monitor"));
    EXPECT_EQ(platform::countCaptureSources(), static_cast<int>(sources.size()));
}

TEST_F(PulseTest, DeliversWholeFramesOfTheToneOffTheCallingThread) {
    ASSERT_TRUE(daemon_.playTone(1000, 10));
    QString error;
    const auto client = platform::PulseClient::connect(QStringLiteral("ZorvitaTest"), 5000, &error);
    ASSERT_TRUE(client) << error.toStdString();
    std::mutex mutex;
    QByteArray captured;
    std::atomic<bool> onCaller{false};
    bool wholeFrames = true;
    const auto caller = QThread::currentThread();
    auto stream = client->record(
        QStringLiteral("zv_null.monitor"), 1, 16000, 50,
        [&](const char* data, std::size_t bytes) {
            onCaller = onCaller || QThread::currentThread() == caller;
            const std::lock_guard lock(mutex);
            wholeFrames = wholeFrames && bytes % 2 == 0;
            captured.append(data, static_cast<int>(bytes));
        },
        &error);
    ASSERT_TRUE(stream) << error.toStdString();
    QThread::msleep(1000);
    EXPECT_FALSE(stream->failed());
    stream->drain(3000);
    stream.reset();
    const std::lock_guard lock(mutex);
    EXPECT_FALSE(onCaller);
    EXPECT_TRUE(wholeFrames);
    EXPECT_GT(captured.size(), 16000 * 2 * 8 / 10);
    EXPECT_GT(testing_support::toneShare(captured.right(16000), 1, 16000, 1000), 0.8);
}

TEST(PulseUnreachable, FailsClearlyInsteadOfWaiting) {
    QTemporaryDir dir;
    QLocalServer silent;
    ASSERT_TRUE(silent.listen(dir.filePath(QStringLiteral("silent"))));
    const bool hadServer = qEnvironmentVariableIsSet("PULSE_SERVER");
    const QByteArray before = qgetenv("PULSE_SERVER");
    QString error;
    qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(dir.filePath(QStringLiteral("missing"))));
    EXPECT_FALSE(platform::PulseClient::connect(QStringLiteral("ZorvitaTest"), 2000, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(platform::countCaptureSources(), 0);
    // A server that takes the connection and never answers ends at the time limit.
    qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(silent.fullServerName()));
    error.clear();
    EXPECT_FALSE(platform::PulseClient::connect(QStringLiteral("ZorvitaTest"), 500, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("did not answer"))) << error.toStdString();

    platform::MciSession mci;
    platform::registerWaveAudio(mci);
    EXPECT_EQ(mci.mciSendString(QStringLiteral("open new type waveaudio alias rec")),
              platform::MciErrWaveInputUnavailable);
    if (hadServer) {
        qputenv("PULSE_SERVER", before);
    } else {
        qunsetenv("PULSE_SERVER");
    }
}

// Records the tone the null output plays through the command strings, for about two seconds,
// and saves it into a folder whose name has blanks.
void recordTone(const QString& folder, int rate) {
    platform::MciSession mci;
    platform::WaveAudioOptions options;
    options.tempFolder = folder;
    platform::registerWaveAudio(mci, options);
    ASSERT_EQ(mci.mciSendString(QStringLiteral("open new type waveaudio alias tone")), 0u);
    for (const QString& command : QStringList{
             QStringLiteral("set tone time format ms"), QStringLiteral("set tone format tag pcm"),
             QStringLiteral("set tone channels 2"),
             QStringLiteral("set tone samplespersec ") + QString::number(rate),
             QStringLiteral("set tone bitspersample 16"), QStringLiteral("set tone alignment 4")}) {
        ASSERT_EQ(mci.mciSendString(command), 0u) << command.toStdString();
    }
    ASSERT_EQ(mci.mciSendString(QStringLiteral("record tone")), 0u);
    QElapsedTimer elapsed;
    elapsed.start();
    QThread::msleep(2000);
    const double seconds = elapsed.elapsed() / 1000.0;
    ASSERT_EQ(mci.mciSendString(QStringLiteral("stop tone")), 0u);
    QString length;
    ASSERT_EQ(mci.mciSendString(QStringLiteral("status tone length"), &length), 0u);
    const QString target = folder + QStringLiteral("/tone take.wav");
    ASSERT_EQ(mci.mciSendString(QStringLiteral("save tone ") + platform::mciQuote(target)), 0u);
    ASSERT_EQ(mci.mciSendString(QStringLiteral("close tone")), 0u);

    const double recorded = testing_support::expectToneWave(target, rate, seconds);
    EXPECT_NEAR(length.toDouble() / 1000, recorded, 0.002);
}

TEST_F(PulseTest, RecordsTheToneTheOutputPlaysThroughTheCommandStrings) {
    ASSERT_TRUE(daemon_.playTone(1000, 10));
    QTemporaryDir dir;
    recordTone(dir.path(), 48000);
}

TEST_F(PulseTest, RecordsAndSavesIntoAFolderWhoseNameHasBlanks) {
    ASSERT_TRUE(daemon_.playTone(1000, 10));
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("My Radio Folder"));
    ASSERT_TRUE(QDir().mkpath(folder));
    recordTone(folder, 22050);
}

}  // namespace
