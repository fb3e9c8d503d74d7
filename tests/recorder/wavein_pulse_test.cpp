// The capture engine against a private sound server with a null output.
#include "recorder/WaveInRecorder.h"

#include "tests/platform/audio/pulse_daemon.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <set>

#include <gtest/gtest.h>

namespace {

using recorder::WaveInRecorder;
using testing_support::PulseDaemon;

int findDevice(WaveInRecorder& r, const QString& name) {
    for (int i = 0; i < r.DeviceCount(); ++i) {
        if (r.DeviceName(i) == name) {
            return i;
        }
    }
    return -1;
}

void runEvents(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

// Runs the event loop until done() holds or ms pass.
template <class Done>
bool runUntil(int ms, Done done) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return done();
}

class WaveInPulseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(daemon_->ok()) << daemon_->error().toStdString();
        recorder_ = std::make_unique<WaveInRecorder>(platform::makePulseCaptureServer());
        QObject::connect(recorder_.get(), &WaveInRecorder::GotData,
                         [this](const std::vector<qint16>& samples, int bytes) {
                             arrays.push_back(samples.data());
                             lengths.push_back(bytes);
                             received.append(reinterpret_cast<const char*>(samples.data()), bytes);
                             if (onData) {
                                 onData();
                             }
                         });
    }

    std::unique_ptr<PulseDaemon> daemon_ = std::make_unique<PulseDaemon>();
    std::unique_ptr<WaveInRecorder> recorder_;
    std::vector<const qint16*> arrays;
    std::vector<int> lengths;
    QByteArray received;
    std::function<void()> onData;
};

TEST_F(WaveInPulseTest, TheNullOutputsMonitorIsADeviceWithOneLine) {
    EXPECT_GE(recorder_->DeviceCount(), 1);
    const int monitor = findDevice(*recorder_, QStringLiteral("Monitor of Null Output"));
    ASSERT_GE(monitor, 0);
    ASSERT_TRUE(recorder_->SelectDevice(monitor));
    EXPECT_EQ(recorder_->SelectedDevice(), monitor);
    EXPECT_EQ(recorder_->MixerLineCount(), 1);
    EXPECT_EQ(recorder_->MixerLineName(0), QStringLiteral("Monitor of Null Output"));
    EXPECT_TRUE(recorder_->SelectMixerLine(0));
    EXPECT_EQ(recorder_->SelectedMixerLine(), 0);
    EXPECT_EQ(recorder_->MixerLineType(), 0x1008);
    EXPECT_EQ(recorder_->MixerLineVolume(), 65535);
    recorder_->SetMixerLineVolume(20000);
    EXPECT_EQ(recorder_->MixerLineVolume(), 20000);
    recorder_->SetMixerLineVolume(65535);
    EXPECT_EQ(recorder_->MixerLineVolume(), 65535);
}

struct Capture {
    int rate;
    int channels;
};

class WaveInToneTest : public WaveInPulseTest, public ::testing::WithParamInterface<Capture> {};

TEST_P(WaveInToneTest, RecordsTheTonePlayedIntoTheOutput) {
    const auto [rate, channels] = GetParam();
    ASSERT_TRUE(
        recorder_->SelectDevice(findDevice(*recorder_, QStringLiteral("Monitor of Null Output"))));
    ASSERT_TRUE(daemon_->playTone(1000, 10));
    QElapsedTimer clock;
    ASSERT_TRUE(recorder_->StartRecord(rate, channels));
    clock.start();
    runEvents(2000);
    const double ran = clock.elapsed() / 1000.0;
    // The stop waits for what the output's monitor still holds back.
    ASSERT_TRUE(recorder_->StopRecord());
    EXPECT_FALSE(recorder_->IsRecording());
    const double seconds = static_cast<double>(received.size()) / (rate * channels * 2);
    EXPECT_NEAR(seconds, ran, ran * 0.05);
    for (std::size_t i = 0; i + 1 < lengths.size(); ++i) {
        EXPECT_EQ(lengths[i], 10240 / (2 * channels) * (2 * channels));
    }
    // The tone fills the recording; a loaded machine may starve the player now and then, so a
    // third of the quarter seconds suffices.
    const int quarter = rate / 4 * 2 * channels;
    int toneQuarters = 0;
    int quarters = 0;
    for (qsizetype at = 0; at + quarter <= received.size(); at += quarter, ++quarters) {
        toneQuarters +=
            testing_support::toneShare(received.mid(at, quarter), channels, rate, 1000) > 0.8;
    }
    EXPECT_GE(toneQuarters * 3, quarters);
}

INSTANTIATE_TEST_SUITE_P(RatesAndChannels, WaveInToneTest,
                         ::testing::Values(Capture{48000, 2}, Capture{44100, 2}, Capture{22050, 2},
                                           Capture{48000, 1}, Capture{44100, 1}, Capture{22050, 1}),
                         [](const auto& info) {
                             return std::to_string(info.param.rate) +
                                    (info.param.channels == 1 ? "Mono" : "Stereo");
                         });

TEST_F(WaveInPulseTest, TheRingCyclesAndAStopInsideTheHandlerEndsIt) {
    // No device selected: the default source, which is the null output's monitor.
    ASSERT_TRUE(recorder_->StartRecord(44100, 2));
    onData = [&] {
        if (arrays.size() == 7) {
            EXPECT_TRUE(recorder_->StopRecord());
        }
    };
    ASSERT_TRUE(runUntil(10000, [&] { return !recorder_->IsRecording(); }));
    ASSERT_EQ(arrays.size(), 7u);
    const std::vector<const qint16*> expected{arrays[0], arrays[1], arrays[2], arrays[3],
                                              arrays[4], arrays[0], arrays[1]};
    EXPECT_EQ(arrays, expected);
    EXPECT_EQ(std::set<const qint16*>(arrays.begin(), arrays.end()).size(), 5u);
    runEvents(300);
    EXPECT_EQ(arrays.size(), 7u);
}

TEST_F(WaveInPulseTest, AServerThatGoesAwayEndsTheRecordingWithWhatWasCaptured) {
    ASSERT_TRUE(recorder_->StartRecord(44100, 2));
    ASSERT_TRUE(runUntil(10000, [&] { return !received.isEmpty(); }));
    daemon_.reset();
    qputenv("PULSE_SERVER", "unix:/nonexistent/zorvita-no-server");
    ASSERT_TRUE(runUntil(10000, [&] { return !recorder_->IsRecording(); }));
    EXPECT_GT(received.size(), 0);
    EXPECT_FALSE(recorder_->StartRecord(44100, 2));
    EXPECT_EQ(recorder_->DeviceCount(), 0);
    EXPECT_TRUE(recorder_->StopRecord());
    qunsetenv("PULSE_SERVER");
}

TEST(WaveInNoServerTest, WithoutAServerEverythingFailsQuietly) {
    const QByteArray before = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:/nonexistent/zorvita-no-server");
    WaveInRecorder r(platform::makePulseCaptureServer());
    EXPECT_EQ(r.DeviceCount(), 0);
    EXPECT_EQ(r.DeviceName(0), QString());
    EXPECT_FALSE(r.SelectDevice(0));
    EXPECT_EQ(r.SelectedDevice(), -1);
    EXPECT_EQ(r.SelectedMixerLine(), -1);
    EXPECT_FALSE(r.StartRecord(44100, 2));
    EXPECT_FALSE(r.IsRecording());
    EXPECT_TRUE(r.StopRecord());
    if (before.isEmpty()) {
        qunsetenv("PULSE_SERVER");
    } else {
        qputenv("PULSE_SERVER", before);
    }
}

}  // namespace
