#include "recorder/WaveInRecorder.h"

#include "tests/recorder/fake_capture_server.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

using recorder::WaveInRecorder;
using testing_support::FakeCaptureServer;

platform::CaptureSourceInfo cardSource() {
    platform::CaptureSourceInfo s;
    s.index = 1;
    s.name = QStringLiteral("card.input");
    s.description = QStringLiteral("Built-in Audio Analog Stereo");
    s.ports = {
        {QStringLiteral("in-mic"), QStringLiteral("Microphone"), platform::PortKind::Microphone},
        {QStringLiteral("in-line"), QStringLiteral("Line In"), platform::PortKind::Line},
        {QStringLiteral("in-hdmi"), QStringLiteral("HDMI"), platform::PortKind::Digital},
        {QStringLiteral("in-odd"), QStringLiteral("Radio"), platform::PortKind::Other}};
    s.activePort = QStringLiteral("in-line");
    s.channels = 2;
    s.volume = platform::CaptureServer::kNormalVolume;
    return s;
}

platform::CaptureSourceInfo plainSource(const char* name, const char* description, bool monitor) {
    platform::CaptureSourceInfo s;
    s.name = QString::fromLatin1(name);
    s.description = QString::fromLatin1(description);
    s.isMonitor = monitor;
    s.channels = 2;
    s.volume = 0x8000;
    return s;
}

class WaveInFakeTest : public ::testing::Test {
  protected:
    WaveInFakeTest() {
        auto server = std::make_unique<FakeCaptureServer>();
        server_ = server.get();
        server_->sources = {cardSource(), plainSource("null.source", "Null Input", false),
                            plainSource("out.monitor", "Monitor of Speakers", true)};
        recorder_ = std::make_unique<WaveInRecorder>(std::move(server));
    }

    FakeCaptureServer* server_ = nullptr;
    std::unique_ptr<WaveInRecorder> recorder_;
};

TEST_F(WaveInFakeTest, WithoutADeviceTheLineOperationsGiveTheirEmptyResults) {
    EXPECT_EQ(recorder_->DeviceCount(), 3);
    EXPECT_EQ(recorder_->DeviceName(0), QStringLiteral("Built-in Audio Analog Stereo"));
    EXPECT_EQ(recorder_->DeviceName(2), QStringLiteral("Monitor of Speakers"));
    EXPECT_EQ(recorder_->DeviceName(3), QString());
    EXPECT_FALSE(recorder_->SelectDevice(-1));
    EXPECT_FALSE(recorder_->SelectDevice(3));
    EXPECT_EQ(recorder_->SelectedDevice(), -1);
    EXPECT_EQ(recorder_->MixerLineCount(), 0);
    EXPECT_EQ(recorder_->MixerLineName(0), QString());
    EXPECT_FALSE(recorder_->SelectMixerLine(0));
    EXPECT_EQ(recorder_->SelectedMixerLine(), -1);
    EXPECT_EQ(recorder_->MixerLineType(), 0);
    EXPECT_EQ(recorder_->MixerLineVolume(), 0);
    recorder_->SetMixerLineVolume(100);
    EXPECT_EQ(server_->sources[0].volume, platform::CaptureServer::kNormalVolume);
}

TEST_F(WaveInFakeTest, PortsAreTheLinesAndSelectingOneMakesItActive) {
    ASSERT_TRUE(recorder_->SelectDevice(0));
    EXPECT_EQ(recorder_->SelectedDevice(), 0);
    EXPECT_EQ(recorder_->MixerLineCount(), 4);
    EXPECT_EQ(recorder_->MixerLineName(0), QStringLiteral("Microphone"));
    EXPECT_EQ(recorder_->MixerLineName(1), QStringLiteral("Line In"));
    EXPECT_EQ(recorder_->MixerLineName(4), QString());
    EXPECT_EQ(recorder_->SelectedMixerLine(), 1);
    EXPECT_EQ(recorder_->MixerLineType(), 0x1002);

    EXPECT_TRUE(recorder_->SelectMixerLine(2));
    EXPECT_EQ(server_->sources[0].activePort, QStringLiteral("in-hdmi"));
    EXPECT_EQ(recorder_->SelectedMixerLine(), 2);
    EXPECT_EQ(recorder_->MixerLineType(-1), 0x1001);
    EXPECT_EQ(recorder_->MixerLineType(0), 0x1003);
    EXPECT_EQ(recorder_->MixerLineType(3), 0);
    EXPECT_EQ(recorder_->MixerLineType(9), 0);
    EXPECT_FALSE(recorder_->SelectMixerLine(4));
    EXPECT_FALSE(recorder_->SelectMixerLine(-1));
    EXPECT_EQ(recorder_->SelectedMixerLine(), 2);

    // A failed selection keeps the earlier one.
    EXPECT_FALSE(recorder_->SelectDevice(7));
    EXPECT_EQ(recorder_->SelectedDevice(), 0);
}

TEST_F(WaveInFakeTest, ASourceWithoutPortsHasOneLineNamedAfterIt) {
    ASSERT_TRUE(recorder_->SelectDevice(1));
    EXPECT_EQ(recorder_->MixerLineCount(), 1);
    EXPECT_EQ(recorder_->MixerLineName(0), QStringLiteral("Null Input"));
    EXPECT_EQ(recorder_->MixerLineName(1), QString());
    EXPECT_TRUE(recorder_->SelectMixerLine(0));
    EXPECT_FALSE(recorder_->SelectMixerLine(1));
    EXPECT_EQ(recorder_->SelectedMixerLine(), 0);
    EXPECT_EQ(recorder_->MixerLineType(), 0);

    ASSERT_TRUE(recorder_->SelectDevice(2));
    EXPECT_EQ(recorder_->MixerLineType(), 0x1008);
}

TEST_F(WaveInFakeTest, VolumeRunsFromZeroTo65535WithTheNormalVolumeAtTheTop) {
    ASSERT_TRUE(recorder_->SelectDevice(0));
    EXPECT_EQ(recorder_->MixerLineVolume(), 65535);
    server_->sources[0].volume = 0x18000;
    EXPECT_EQ(recorder_->MixerLineVolume(), 65535);

    recorder_->SetMixerLineVolume(65535);
    EXPECT_EQ(server_->sources[0].volume, 0x10000u);
    EXPECT_EQ(server_->volumeChannels, 2);
    recorder_->SetMixerLineVolume(70000);
    EXPECT_EQ(server_->sources[0].volume, 0x10000u);
    recorder_->SetMixerLineVolume(-3);
    EXPECT_EQ(server_->sources[0].volume, 0u);
    EXPECT_EQ(recorder_->MixerLineVolume(), 0);
    for (const int v : {1, 255, 32768, 40000, 65534}) {
        recorder_->SetMixerLineVolume(v);
        EXPECT_EQ(recorder_->MixerLineVolume(), v);
    }

    ASSERT_TRUE(recorder_->SelectDevice(1));
    EXPECT_EQ(recorder_->MixerLineVolume(), 32768);
}

TEST_F(WaveInFakeTest, WithTheServerGoneEveryCallFails) {
    ASSERT_TRUE(recorder_->SelectDevice(0));
    server_->reachable = false;
    EXPECT_EQ(recorder_->DeviceCount(), 0);
    EXPECT_EQ(recorder_->DeviceName(0), QString());
    EXPECT_FALSE(recorder_->SelectDevice(0));
    EXPECT_EQ(recorder_->SelectedDevice(), -1);
    EXPECT_EQ(recorder_->MixerLineCount(), 0);
    EXPECT_EQ(recorder_->SelectedMixerLine(), -1);
    EXPECT_FALSE(recorder_->StartRecord(44100, 2));
    EXPECT_FALSE(recorder_->IsRecording());
    EXPECT_TRUE(recorder_->StopRecord());
}

// A byte pattern that shows where each byte came from.
QByteArray counting(int bytes, int from = 0) {
    QByteArray b(bytes, '\0');
    for (int i = 0; i < bytes; ++i) {
        b[i] = static_cast<char>((from + i) * 7 % 251);
    }
    return b;
}

class WaveInRingTest : public WaveInFakeTest {
  protected:
    WaveInRingTest() {
        recorder_->SetBufferCount(5);
        recorder_->SetBufferSize(400);
        QObject::connect(recorder_.get(), &WaveInRecorder::GotData,
                         [this](const std::vector<qint16>& samples, int bytes) {
                             sizes.push_back(samples.size());
                             arrays.push_back(samples.data());
                             lengths.push_back(bytes);
                             received.append(reinterpret_cast<const char*>(samples.data()), bytes);
                             if (onData) {
                                 onData();
                             }
                         });
    }

    // The ring entry of each delivery, numbered by first appearance.
    std::vector<int> entries() const {
        std::vector<const qint16*> seen;
        std::vector<int> out;
        for (const qint16* a : arrays) {
            auto it = std::find(seen.begin(), seen.end(), a);
            if (it == seen.end()) {
                seen.push_back(a);
                it = seen.end() - 1;
            }
            out.push_back(static_cast<int>(it - seen.begin()));
        }
        return out;
    }

    std::vector<std::size_t> sizes;
    std::vector<const qint16*> arrays;
    std::vector<int> lengths;
    QByteArray received;
    std::function<void()> onData;
};

TEST_F(WaveInRingTest, FilledEntriesArriveInRingOrderOnTheEventLoop) {
    ASSERT_TRUE(recorder_->StartRecord(22050, 2));
    EXPECT_TRUE(recorder_->IsRecording());
    EXPECT_EQ(server_->capturedSource, QString());
    EXPECT_EQ(server_->capturedChannels, 2);
    EXPECT_EQ(server_->capturedRate, 22050);
    EXPECT_EQ(server_->capturedWakeBytes, 400);
    const QByteArray sound = counting(400 * 6 + 100);
    server_->current->push(sound);
    EXPECT_TRUE(lengths.empty()) << "data arrives through the event loop";
    QCoreApplication::processEvents();
    EXPECT_EQ(entries(), (std::vector<int>{0, 1, 2, 3, 4, 0}));
    EXPECT_EQ(lengths, std::vector<int>(6, 400));
    EXPECT_EQ(sizes, std::vector<std::size_t>(6, 200));
    // The stop hands over the partly filled entry.
    EXPECT_TRUE(recorder_->StopRecord());
    EXPECT_FALSE(recorder_->IsRecording());
    EXPECT_EQ(lengths.back(), 100);
    EXPECT_EQ(received, sound);
    EXPECT_FALSE(*server_->captureAlive);
}

TEST_F(WaveInRingTest, ASlowOwnerLeavesTheSoundWaitingAndLosesNothing) {
    ASSERT_TRUE(recorder_->StartRecord(44100, 2));
    const QByteArray sound = counting(400 * 12);
    bool nested = false;
    qsizetype waitingWhileHeld = -1;
    onData = [&] {
        if (nested) {
            return;
        }
        nested = true;
        // The owner keeps the first entry and lets events run: the other four fill, then the
        // rest of the sound waits.
        server_->current->push(sound.mid(400));
        QCoreApplication::processEvents();
        waitingWhileHeld = server_->current->waiting();
    };
    server_->current->push(sound.left(400));
    QCoreApplication::processEvents();
    EXPECT_EQ(waitingWhileHeld, 400 * 7);
    QCoreApplication::processEvents();
    EXPECT_EQ(received, sound);
    EXPECT_EQ(entries(), (std::vector<int>{0, 1, 2, 3, 4, 0, 1, 2, 3, 4, 0, 1}));
}

TEST_F(WaveInRingTest, StoppingInsideTheHandlerEndsTheDeliveries) {
    ASSERT_TRUE(recorder_->StartRecord(44100, 2));
    onData = [&] {
        if (lengths.size() == 2) {
            EXPECT_TRUE(recorder_->StopRecord());
            EXPECT_FALSE(recorder_->IsRecording());
        }
    };
    server_->current->push(counting(400 * 5 + 10));
    QCoreApplication::processEvents();
    EXPECT_EQ(lengths.size(), 2u);
    EXPECT_FALSE(*server_->captureAlive);
    QCoreApplication::processEvents();
    EXPECT_EQ(lengths.size(), 2u);
    // The same object records again.
    ASSERT_TRUE(recorder_->StartRecord(44100, 1));
    server_->current->push(counting(400));
    QCoreApplication::processEvents();
    EXPECT_EQ(lengths.size(), 3u);
}

TEST_F(WaveInRingTest, AServerThatGoesAwayEndsTheRecordingWithWhatItCaptured) {
    ASSERT_TRUE(recorder_->SelectDevice(2));
    ASSERT_TRUE(recorder_->StartRecord(44100, 2));
    EXPECT_EQ(server_->capturedSource, QStringLiteral("out.monitor"));
    server_->current->push(counting(400 + 60));
    server_->current->fail();
    server_->reachable = false;
    QCoreApplication::processEvents();
    EXPECT_EQ(lengths, (std::vector<int>{400, 60}));
    EXPECT_FALSE(recorder_->IsRecording());
    EXPECT_FALSE(recorder_->StartRecord(44100, 2));
}

TEST_F(WaveInRingTest, RingChangesTakeEffectAtTheNextStart) {
    ASSERT_TRUE(recorder_->StartRecord(8000, 1));
    recorder_->SetBufferSize(1000);
    recorder_->SetBufferCount(2);
    EXPECT_EQ(recorder_->BufferSize(), 1000);
    server_->current->push(counting(800));
    QCoreApplication::processEvents();
    EXPECT_EQ(lengths, (std::vector<int>{400, 400}));
    EXPECT_TRUE(recorder_->StopRecord());

    arrays.clear();
    lengths.clear();
    sizes.clear();
    ASSERT_TRUE(recorder_->StartRecord(8000, 1));
    server_->current->push(counting(3000));
    QCoreApplication::processEvents();
    EXPECT_EQ(lengths, (std::vector<int>{1000, 1000, 1000}));
    EXPECT_EQ(sizes, std::vector<std::size_t>(3, 500));
    EXPECT_EQ(entries(), (std::vector<int>{0, 1, 0}));
    // A second start while recording is refused; stopping twice is fine.
    EXPECT_FALSE(recorder_->StartRecord(8000, 1));
    EXPECT_TRUE(recorder_->StopRecord());
    EXPECT_TRUE(recorder_->StopRecord());
}

TEST_F(WaveInRingTest, EntriesHoldWholeFramesOnly) {
    EXPECT_FALSE(recorder_->StartRecord(0, 2));
    EXPECT_FALSE(recorder_->StartRecord(44100, 0));
    // 400 bytes is not a whole number of 6-byte frames: entries take 396.
    ASSERT_TRUE(recorder_->StartRecord(44100, 3));
    server_->current->push(counting(800));
    QCoreApplication::processEvents();
    EXPECT_EQ(lengths, (std::vector<int>{396, 396}));
}

}  // namespace
