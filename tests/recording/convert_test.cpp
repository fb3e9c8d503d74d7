#include "recording/WAVToMP3.h"
#include "recording/cLameEncoder.h"

#include "platform/ui/error.h"
#include "platform/ui/report_error.h"
#include "recording/ShowSavingProgress.h"
#include "tests/recording/wav_files.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/temp_env.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

using namespace testing_support;

namespace {

constexpr qsizetype kFakeFrameBytes = 104;

class RecordingLabel final : public StatusLabel {
  public:
    void setCaption(const QString& text) override { caption_ = text; }
    void repaintNow() override { captions.push_back(caption_); }
    // The percentages shown, in order.
    std::vector<int> percents() const {
        std::vector<int> out;
        for (const QString& c : captions) {
            out.push_back(
                c.mid(QStringLiteral("Saving MP3 File..........").size()).chopped(1).toInt());
        }
        return out;
    }
    std::vector<QString> captions;

  private:
    QString caption_;
};

// Sets an environment variable for one test.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) { ::setenv(name, value, 1); }
    ~ScopedEnv() { ::unsetenv(name_); }

  private:
    const char* name_;
};

// Conversions through the stand-in library, whose output is the log of blocks handed over.
class ConvertWithFakeTest : public TempFolderTest {
  protected:
    QString wav(std::int64_t frames) {
        const QString file = path(QStringLiteral("rec.tmp"));
        EXPECT_TRUE(writeFile(file, waveFile({riffChunk("fmt ", pcmFormat(2, 44100, 16)),
                                              riffChunk("data", countingFrames(frames))})));
        return file;
    }

    // The sample counts of the blocks in the log (one fake frame each), and whether it ended
    // with the flush.
    std::vector<std::uint32_t> blocks(bool* flushed = nullptr) {
        const QByteArray log = readFile(mp3);
        std::vector<std::uint32_t> out;
        bool ended = false;
        for (qsizetype at = 0; at + kFakeFrameBytes <= log.size(); at += kFakeFrameBytes) {
            ended = log.mid(at + 4, 4) == "END!";
            if (!ended) {
                std::uint32_t samples = 0;
                std::memcpy(&samples, log.constData() + at + 4, 4);
                out.push_back(samples);
            }
        }
        EXPECT_EQ(log.size() % kFakeFrameBytes, 0);
        if (flushed != nullptr) {
            *flushed = ended;
        }
        return out;
    }

    // Sequential unless told otherwise, so that every block's progress can be followed.
    std::unique_ptr<cLameEncoder> encoder(int segments = 1) {
        auto e = std::make_unique<cLameEncoder>(QStringLiteral(ZORVITA_FAKE_APP_DIR),
                                                QStringLiteral("44100"), boxes, label);
        e->setMP3File(mp3);
        e->setMaxSegments(segments);
        return e;
    }

    ScriptedMessageBoxes boxes;
    RecordingLabel label;
    const QString mp3 = path(QStringLiteral("rec.mp3"));
};

TEST_F(ConvertWithFakeTest, EveryBlockIsEncodedTheLastWithExactlyItsSamples) {
    auto e = encoder();
    e->setWavFile(wav(2 * 1152 + 500));
    std::vector<std::pair<std::int64_t, std::int64_t>> progress;
    e->Progress = [&](std::int64_t done, std::int64_t total, bool&) {
        progress.emplace_back(done, total);
    };
    EXPECT_EQ(e->Encode(), QString());
    bool flushed = false;
    EXPECT_EQ(blocks(&flushed), (std::vector<std::uint32_t>{2304, 2304, 1000}));
    EXPECT_TRUE(flushed);
    const std::int64_t total = (2 * 1152 + 500) * 2;
    EXPECT_EQ(progress, (std::vector<std::pair<std::int64_t, std::int64_t>>{
                            {2304, total}, {4608, total}, {total, total}, {total, total}}));
    // 2304 * 70 / 5608 = 28.76, 4608 * 70 / 5608 = 57.52.
    EXPECT_EQ(label.percents(), (std::vector<int>{49, 78, 90, 95, 98, 100}));
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(ConvertWithFakeTest, AWavShorterThanOneBlockIsEncodedWhole) {
    auto e = encoder();
    e->setWavFile(wav(300));
    EXPECT_EQ(e->Encode(), QString());
    EXPECT_EQ(blocks(), (std::vector<std::uint32_t>{600}));
    EXPECT_EQ(label.percents(), (std::vector<int>{90, 95, 98, 100}));
}

TEST_F(ConvertWithFakeTest, AnEmptyRecordingOnlyFlushes) {
    auto e = encoder();
    e->setWavFile(wav(0));
    EXPECT_EQ(e->Encode(), QString());
    bool flushed = false;
    EXPECT_TRUE(blocks(&flushed).empty());
    EXPECT_TRUE(flushed);
    EXPECT_EQ(label.percents(), (std::vector<int>{95, 98, 100}));
}

TEST_F(ConvertWithFakeTest, ProgressOfAThousandBlocks) {
    auto e = encoder();
    e->setWavFile(wav(1000 * 1152));
    EXPECT_EQ(e->Encode(), QString());
    const std::vector<int> p = label.percents();
    ASSERT_EQ(p.size(), 1003u);
    EXPECT_EQ(p[0], 20);
    EXPECT_EQ(p[499], 55);
    EXPECT_EQ(p[998], 90);
    EXPECT_EQ(p[999], 90);
    EXPECT_EQ(std::vector<int>(p.end() - 3, p.end()), (std::vector<int>{95, 98, 100}));
    EXPECT_EQ(blocks().size(), 1000u);
}

TEST_F(ConvertWithFakeTest, ARecordingOfMoreThanSixMinutesReachesTheEnd) {
    // 6.5 minutes at 44100 as a sparse file: silence costs no disk.
    const std::int64_t frames = 44100LL * 390;
    const QString file = path(QStringLiteral("long.tmp"));
    QByteArray header =
        waveFile({riffChunk("fmt ", pcmFormat(2, 44100, 16)), riffChunk("data", QByteArray())});
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(frames * 4);
    std::memcpy(header.data() + header.size() - 4, &dataBytes, 4);
    const std::uint32_t riffBytes = dataBytes + static_cast<std::uint32_t>(header.size()) - 8;
    std::memcpy(header.data() + 4, &riffBytes, 4);
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(header);
        ASSERT_TRUE(f.resize(header.size() + frames * 4));
    }
    auto e = encoder();
    e->setWavFile(file);
    std::int64_t last = 0;
    e->Progress = [&](std::int64_t done, std::int64_t, bool&) { last = done; };
    EXPECT_EQ(e->Encode(), QString());
    EXPECT_EQ(last, frames * 2);
    const std::vector<int> p = label.percents();
    EXPECT_TRUE(std::is_sorted(p.begin(), p.end()));
    EXPECT_EQ(p.front(), 20);
    EXPECT_EQ(p[p.size() - 4], 90);
    EXPECT_EQ(p.back(), 100);
}

TEST_F(ConvertWithFakeTest, CancelStopsBeforeTheNextBlockAndRemovesTheMp3) {
    auto e = encoder();
    e->setWavFile(wav(10 * 1152));
    int calls = 0;
    e->Progress = [&](std::int64_t, std::int64_t, bool& cancel) { cancel = ++calls == 3; };
    EXPECT_EQ(e->Encode(), QString());
    EXPECT_EQ(calls, 3);
    EXPECT_FALSE(QFileInfo::exists(mp3));
    EXPECT_EQ(label.percents(), (std::vector<int>{27, 34, 41, 95, 98, 100}));
}

TEST_F(ConvertWithFakeTest, LibraryResultsAreShownAndTheConversionGoesOn) {
    const ScopedEnv env("ZV_FAKE_ENCODE", "5");
    auto e = encoder();
    e->setWavFile(wav(1152 + 1));
    EXPECT_EQ(e->Encode(), QString());
    EXPECT_EQ(blocks().size(), 2u);
    ASSERT_EQ(boxes.shown().size(), 2u);
    for (const auto& box : boxes.shown()) {
        EXPECT_EQ(box.text, QStringLiteral("Buffer is too small"));
        EXPECT_EQ(box.icon(), platform::MsgCritical);
        EXPECT_EQ(box.caption, QStringLiteral("Velmo's Online Radio"));
    }
}

TEST_F(ConvertWithFakeTest, UnknownResultsGiveAnEmptyBox) {
    const ScopedEnv env("ZV_FAKE_ENCODE", "77");
    auto e = encoder();
    e->setWavFile(wav(10));
    EXPECT_EQ(e->Encode(), QString());
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, QString());
}

TEST_F(ConvertWithFakeTest, AFailedInitShowsItsResultThenNoEngine) {
    const ScopedEnv env("ZV_FAKE_INIT", "2");
    const QString file = wav(10);
    WAVToMP3 conversion(QStringLiteral(ZORVITA_FAKE_APP_DIR), QStringLiteral("44100"), boxes,
                        label);
    EXPECT_EQ(conversion.CreateWAVtoMP3(file, mp3, true), QStringLiteral("lameConvert"));
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("Invalid Format Parameters"));
    EXPECT_EQ(boxes.shown()[1].text, QStringLiteral("Lame engine not initialised"));
    EXPECT_TRUE(QFileInfo::exists(file));
}

TEST_F(ConvertWithFakeTest, AMissingLibraryOnlySaysNoEngine) {
    const QString file = wav(10);
    const QString emptyApp = path(QStringLiteral("app"));
    ASSERT_TRUE(QDir().mkpath(emptyApp));
    WAVToMP3 conversion(emptyApp, QStringLiteral("44100"), boxes, label);
    EXPECT_EQ(conversion.CreateWAVtoMP3(file, mp3, true), QStringLiteral("lameConvert"));
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("Lame engine not initialised"));
    EXPECT_EQ(boxes.shown()[0].icon(), platform::MsgCritical);
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_FALSE(QFileInfo::exists(mp3));
    EXPECT_TRUE(label.captions.empty());
}

TEST_F(ConvertWithFakeTest, ReaderErrorsComeBackAsTheConversionsOwn) {
    auto e = encoder();
    // A name that does not exist is not taken: the reader stays closed.
    e->setWavFile(path(QStringLiteral("missing.tmp")));
    EXPECT_EQ(e->WavFile(), QString());
    try {
        e->Encode();
        ADD_FAILURE() << "no error";
    } catch (const platform::Error& err) {
        EXPECT_EQ(err.number(), 29676);
        EXPECT_EQ(err.source(), platform::programName() + QStringLiteral(".lameConvert"));
        EXPECT_EQ(err.description(), QStringLiteral("No Wave File Open"));
    }

    const QString mono = path(QStringLiteral("mono.tmp"));
    writeFile(mono, waveFile({riffChunk("fmt ", pcmFormat(1, 44100, 16)),
                              riffChunk("data", QByteArray(40, 0))}));
    WAVToMP3 conversion(QStringLiteral(ZORVITA_FAKE_APP_DIR), QStringLiteral("44100"), boxes,
                        label);
    EXPECT_EQ(conversion.CreateWAVtoMP3(mono, mp3, true),
              QStringLiteral("Only stereo 16 bit wave files supported."));
    EXPECT_TRUE(QFileInfo::exists(mono));
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(ConvertWithFakeTest, TheWavIsRemovedOnlyAfterSuccessAndWhenAsked) {
    WAVToMP3 keep(QStringLiteral(ZORVITA_FAKE_APP_DIR), QStringLiteral("44100"), boxes, label);
    const QString file = wav(100);
    EXPECT_EQ(keep.CreateWAVtoMP3(file, mp3, false), QString());
    EXPECT_TRUE(QFileInfo::exists(file));
    WAVToMP3 remove(QStringLiteral(ZORVITA_FAKE_APP_DIR), QStringLiteral("44100"), boxes, label);
    EXPECT_EQ(remove.CreateWAVtoMP3(file, mp3, true), QString());
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_EQ(blocks().size(), 1u);
}

// The stand-in library's counters, read from the very library the driver loads.
struct FakeCounters {
    using Count = std::uint32_t (*)();
    FakeCounters() {
        handle = dlopen(ZORVITA_FAKE_APP_DIR "/Zorvita.dll", RTLD_NOW | RTLD_LOCAL);
        openStreams = reinterpret_cast<Count>(dlsym(handle, "fakeOpenStreams"));
        encodedBlocks = reinterpret_cast<Count>(dlsym(handle, "fakeEncodedBlocks"));
    }
    ~FakeCounters() { dlclose(handle); }
    void* handle = nullptr;
    Count openStreams = nullptr;
    Count encodedBlocks = nullptr;
};

// 600 blocks and a partial one: long enough for eight segments.
constexpr std::int64_t kLongFrames = 600 * 1152 + 700;

TEST_F(ConvertWithFakeTest, SegmentsJoinIntoExactlyTheSequentialLog) {
    const FakeCounters fake;
    const QString file = wav(kLongFrames);
    auto sequential = encoder(1);
    sequential->setWavFile(file);
    ASSERT_EQ(sequential->Encode(), QString());
    const QByteArray expected = readFile(mp3);
    ASSERT_EQ(expected.size(), 602 * kFakeFrameBytes);

    for (int segments : {2, 8}) {
        SCOPED_TRACE(segments);
        label.captions.clear();
        auto e = encoder(segments);
        e->setWavFile(file);
        std::vector<std::int64_t> done;
        e->Progress = [&](std::int64_t samples, std::int64_t total, bool&) {
            EXPECT_EQ(total, kLongFrames * 2);
            done.push_back(samples);
        };
        const std::uint32_t before = fake.encodedBlocks();
        EXPECT_EQ(e->Encode(), QString());
        // Each segment after the first encodes 4 blocks of pre-roll and 2 of post-roll besides
        // its own, and keeps only its own frames.
        EXPECT_EQ(fake.encodedBlocks() - before, 601u + (segments - 1) * 6u);
        EXPECT_EQ(readFile(mp3), expected);
        EXPECT_EQ(fake.openStreams(), 0u);
        EXPECT_TRUE(boxes.shown().empty());

        ASSERT_FALSE(done.empty());
        EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
        EXPECT_EQ(done.back(), kLongFrames * 2);
        const std::vector<int> p = label.percents();
        ASSERT_GE(p.size(), 4u);
        EXPECT_TRUE(std::is_sorted(p.begin(), p.end()));
        // Each percentage is painted once, not once per block.
        EXPECT_EQ(std::adjacent_find(p.begin(), p.end()), p.end());
        EXPECT_GE(p.front(), 20);
        EXPECT_EQ(std::vector<int>(p.end() - 4, p.end()), (std::vector<int>{90, 95, 98, 100}));
    }
}

TEST_F(ConvertWithFakeTest, AWavShorterThanTwoSegmentsStaysSequential) {
    const FakeCounters fake;
    auto e = encoder(8);
    e->setWavFile(wav(127 * 1152));
    const std::uint32_t before = fake.encodedBlocks();
    EXPECT_EQ(e->Encode(), QString());
    EXPECT_EQ(fake.encodedBlocks() - before, 127u);
    EXPECT_EQ(label.percents().size(), 127u + 3u);
}

TEST_F(ConvertWithFakeTest, AFailingSegmentStopsTheOthersAndLeavesNoFile) {
    const FakeCounters fake;
    const ScopedEnv failing("ZV_FAKE_FAIL_STREAM", "2");
    // The others take a while, so that they are still at work when the second one fails.
    const ScopedEnv slow("ZV_FAKE_DELAY_US", "3000");
    auto e = encoder(4);
    e->setWavFile(wav(kLongFrames));
    const std::uint32_t before = fake.encodedBlocks();
    EXPECT_EQ(e->Encode(), QStringLiteral("lameConvert"));
    EXPECT_TRUE(e->EngineOpened());
    EXPECT_LT(fake.encodedBlocks() - before, 601u);
    EXPECT_EQ(fake.openStreams(), 0u);
    EXPECT_FALSE(QFileInfo::exists(mp3));
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("Invalid Format Parameters"));
    for (int percent : label.percents()) {
        EXPECT_LT(percent, 95);
    }
}

TEST_F(ConvertWithFakeTest, CancelStopsEverySegmentAndRemovesTheMp3) {
    const FakeCounters fake;
    // Slow enough for progress to come block by block.
    const ScopedEnv slow("ZV_FAKE_DELAY_US", "1000");
    auto e = encoder(2);
    e->setWavFile(wav(kLongFrames));
    int calls = 0;
    e->Progress = [&](std::int64_t, std::int64_t, bool& cancel) { cancel = ++calls == 3; };
    EXPECT_EQ(e->Encode(), QString());
    EXPECT_EQ(calls, 3);
    EXPECT_FALSE(QFileInfo::exists(mp3));
    EXPECT_EQ(fake.openStreams(), 0u);
    const std::vector<int> p = label.percents();
    EXPECT_EQ(std::vector<int>(p.end() - 3, p.end()), (std::vector<int>{95, 98, 100}));
}

TEST_F(ConvertWithFakeTest, ALibraryShortOfStreamsGetsFewerSegments) {
    const FakeCounters fake;
    const QString file = wav(kLongFrames);
    auto sequential = encoder(1);
    sequential->setWavFile(file);
    ASSERT_EQ(sequential->Encode(), QString());
    const QByteArray expected = readFile(mp3);

    const ScopedEnv streams("ZV_FAKE_STREAMS", "3");
    auto e = encoder(8);
    e->setWavFile(file);
    const std::uint32_t before = fake.encodedBlocks();
    EXPECT_EQ(e->Encode(), QString());
    EXPECT_EQ(fake.encodedBlocks() - before, 601u + 2u * 6u);
    EXPECT_EQ(readFile(mp3), expected);
    EXPECT_TRUE(boxes.shown().empty());
}

int openFiles() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files).size());
}

// Later segments' frames that do not fit the waiting budget go through unnamed files next to the
// MP3: the output is the sequential log all the same, and a failure or a cancel while they spill
// leaves no MP3 and nothing open.
TEST_F(ConvertWithFakeTest, FramesOverTheBudgetSpillAndLeaveNothingBehind) {
    const FakeCounters fake;
    const QString file = wav(kLongFrames);
    auto sequential = encoder(1);
    sequential->setWavFile(file);
    ASSERT_EQ(sequential->Encode(), QString());
    const QByteArray expected = readFile(mp3);
    const int filesBefore = openFiles();
    {
        // Slow enough for the later segments to encode before their turn.
        const ScopedEnv slow("ZV_FAKE_DELAY_US", "200");
        label.captions.clear();
        auto e = encoder(8);
        e->setWaitingBudget(1);
        e->setWavFile(file);
        EXPECT_EQ(e->Encode(), QString());
        EXPECT_EQ(readFile(mp3), expected);
        EXPECT_GT(e->SpilledBytes(), 0);
        const std::vector<int> p = label.percents();
        EXPECT_TRUE(std::is_sorted(p.begin(), p.end()));
        ASSERT_GE(p.size(), 4u);
        EXPECT_EQ(std::vector<int>(p.end() - 4, p.end()), (std::vector<int>{90, 95, 98, 100}));
    }
    {
        const ScopedEnv failing("ZV_FAKE_FAIL_STREAM", "2");
        const ScopedEnv slow("ZV_FAKE_DELAY_US", "3000");
        auto e = encoder(4);
        e->setWaitingBudget(1);
        e->setWavFile(file);
        EXPECT_EQ(e->Encode(), QStringLiteral("lameConvert"));
        EXPECT_FALSE(QFileInfo::exists(mp3));
    }
    {
        const ScopedEnv slow("ZV_FAKE_DELAY_US", "1000");
        auto e = encoder(2);
        e->setWaitingBudget(1);
        e->setWavFile(file);
        int calls = 0;
        e->Progress = [&](std::int64_t, std::int64_t, bool& cancel) { cancel = ++calls == 20; };
        EXPECT_EQ(e->Encode(), QString());
        EXPECT_FALSE(QFileInfo::exists(mp3));
    }
    EXPECT_EQ(fake.openStreams(), 0u);
    EXPECT_EQ(openFiles(), filesBefore);
}

TEST(ShowSavingProgressTest, CaptionThenRepaint) {
    RecordingLabel label;
    ShowSavingProgress(label, 42);
    EXPECT_EQ(label.captions, std::vector<QString>{QStringLiteral("Saving MP3 File..........42%")});
}

}  // namespace
