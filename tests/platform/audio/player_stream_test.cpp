#include "platform/audio/player_stream.h"

#include "platform/player/mpv_session.h"
#include "tests/platform/audio/pulse_daemon.h"

#include <QElapsedTimer>
#include <QTest>

#include <unistd.h>

#include <mutex>

#include <gtest/gtest.h>

namespace {

using testing_support::PulseDaemon;
using testing_support::toneShare;

constexpr int kRate = 44100;

// The media player as the program makes it, playing a generated tone.
std::unique_ptr<platform::MpvSession> playTone(int frequency) {
    auto options = platform::MpvSession::safeDefaults();
    options.emplace_back(QStringLiteral("vid"), QStringLiteral("no"));
    options.emplace_back(QStringLiteral("vo"), QStringLiteral("null"));
    auto mpv = std::make_unique<platform::MpvSession>(options);
    mpv->command({QStringLiteral("loadfile"),
                  QStringLiteral("av://lavfi:sine=f=%1:sample_rate=%2").arg(frequency).arg(kRate)});
    return mpv;
}

// Waits until this process's player has a stream at the server.
bool waitForPlayerStream() {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 20000) {
        if (platform::playerStreamPlaying()) {
            return true;
        }
        QTest::qWait(100);
    }
    return false;
}

struct Captured {
    std::mutex mutex;
    QByteArray pcm;
    platform::CaptureConsumer consumer() {
        return [this](const char* data, std::size_t bytes) {
            const std::lock_guard lock(mutex);
            pcm.append(data, static_cast<qsizetype>(bytes));
        };
    }
    QByteArray take() {
        const std::lock_guard lock(mutex);
        return pcm;
    }
};

double seconds(const QByteArray& stereo) {
    return static_cast<double>(stereo.size()) / 4 / kRate;
}

QByteArray part(const QByteArray& stereo, double from, double to) {
    const qsizetype a = static_cast<qsizetype>(from * kRate) * 4;
    const qsizetype b = static_cast<qsizetype>(to * kRate) * 4;
    return stereo.mid(a, b - a);
}

class PlayerStreamTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(pulse_.ok()) << qPrintable(pulse_.error()); }
    PulseDaemon pulse_;
};

TEST(PlayerStreamFinder, TakesTheNewestStreamOfThisProcessUnderThePlayersName) {
    const std::vector<platform::PlaybackStream> streams = {
        {3, 0, QStringLiteral("Zorvita"), 99}, {4, 0, QStringLiteral("Zorvita start sound"), 7},
        {5, 0, QStringLiteral("Zorvita"), 7},  {9, 1, QStringLiteral("Zorvita"), 7},
        {12, 0, QStringLiteral("paplay"), 7},
    };
    EXPECT_EQ(platform::findPlayerStream(streams, 7), 3);
    EXPECT_EQ(platform::findPlayerStream(streams, 99), 0);
    EXPECT_EQ(platform::findPlayerStream(streams, 8), -1);
    EXPECT_EQ(platform::findPlayerStream({}, 7), -1);
}

TEST_F(PlayerStreamTest, RecordsOnlyThePlayerNotAnotherProgramNorTheOutputVolume) {
    QString error;
    auto capture = platform::PlayerStreamCapture::connect(3000, &error);
    ASSERT_TRUE(capture) << qPrintable(error);
    Captured got;
    // Nothing of this process plays yet; another program's sound is not the player's.
    ASSERT_TRUE(pulse_.playTone(440, 30));
    EXPECT_FALSE(platform::playerStreamPlaying());
    EXPECT_FALSE(capture->start(2, kRate, got.consumer(), &error));

    const auto player = playTone(1000);
    ASSERT_TRUE(waitForPlayerStream());
    // The output muted to nothing: what the player sends is recorded all the same.
    ASSERT_EQ(QProcess::execute(QStringLiteral("pactl"), {QStringLiteral("set-sink-volume"),
                                                          pulse_.sink(), QStringLiteral("0%")}),
              0);
    ASSERT_TRUE(capture->start(2, kRate, got.consumer(), &error)) << qPrintable(error);
    QTest::qWait(2500);
    capture->stop(3000);
    const QByteArray pcm = got.take();
    ASSERT_GT(seconds(pcm), 1.5);
    const QByteArray middle = part(pcm, 0.5, seconds(pcm) - 0.3);
    EXPECT_GT(toneShare(middle, 2, kRate, 1000), 0.8);
    EXPECT_LT(toneShare(middle, 2, kRate, 440), 0.02);
    EXPECT_EQ(capture->streamsFollowed(), 1);

    // Recording again after a pause starts afresh: the pause is not in it.
    QTest::qWait(1000);
    Captured again;
    ASSERT_TRUE(capture->start(2, kRate, again.consumer(), &error)) << qPrintable(error);
    QTest::qWait(1500);
    capture->stop(3000);
    const QByteArray second = again.take();
    EXPECT_GT(seconds(second), 1.0);
    EXPECT_LT(seconds(second), 2.0);
    EXPECT_GT(toneShare(part(second, 0.3, seconds(second) - 0.2), 2, kRate, 1000), 0.8);
}

TEST_F(PlayerStreamTest, FollowsThePlayersNextStreamWithSilenceBetween) {
    QString error;
    auto capture = platform::PlayerStreamCapture::connect(3000, &error);
    ASSERT_TRUE(capture) << qPrintable(error);
    ASSERT_TRUE(pulse_.playTone(440, 30));
    const auto player = playTone(1000);
    ASSERT_TRUE(waitForPlayerStream());
    std::vector<platform::PlaybackStream> before;
    ASSERT_TRUE(capture->listPlaybackStreams(&before, &error));
    const auto first =
        before[static_cast<std::size_t>(platform::findPlayerStream(before, ::getpid()))];

    Captured got;
    QElapsedTimer ran;
    ran.start();
    ASSERT_TRUE(capture->start(2, kRate, got.consumer(), &error)) << qPrintable(error);
    QTest::qWait(1500);
    // The station drops: the player's stream goes away and another one comes.
    player->command({QStringLiteral("stop")});
    QTest::qWait(1500);
    player->command({QStringLiteral("loadfile"),
                     QStringLiteral("av://lavfi:sine=f=1000:sample_rate=%1").arg(kRate)});
    ASSERT_TRUE(waitForPlayerStream());
    QTest::qWait(2000);
    capture->stop(3000);
    const double ranSeconds = static_cast<double>(ran.elapsed()) / 1000;

    std::vector<platform::PlaybackStream> after;
    ASSERT_TRUE(capture->listPlaybackStreams(&after, &error));
    EXPECT_NE(after[static_cast<std::size_t>(platform::findPlayerStream(after, ::getpid()))].index,
              first.index);
    EXPECT_EQ(capture->streamsFollowed(), 2);
    const QByteArray pcm = got.take();
    // The gap is in the recording as time, so its length is the time it ran.
    EXPECT_GT(seconds(pcm), ranSeconds - 1.0);
    EXPECT_LT(seconds(pcm), ranSeconds + 0.5);
    const QByteArray whole = part(pcm, 0.3, seconds(pcm) - 0.3);
    EXPECT_LT(toneShare(whole, 2, kRate, 440), 0.02);
    const QByteArray end = part(pcm, seconds(pcm) - 1.5, seconds(pcm) - 0.3);
    EXPECT_GT(toneShare(end, 2, kRate, 1000), 0.8);
}

}  // namespace
