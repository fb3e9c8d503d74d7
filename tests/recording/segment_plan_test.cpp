// Cutting a recording into segments and an encoder's output into frames, and the segments'
// threads joining their frames in order.
#include "recording/Mp3Frames.h"
#include "recording/SegmentEncoding.h"
#include "recording/SegmentPlan.h"

#include "tests/recording/wav_files.h"
#include "tests/support/temp_env.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

namespace {

TEST(SegmentPlanTest, OneSegmentPerThreadUpToEightWhenTheRecordingIsLongEnough) {
    EXPECT_EQ(segmentCountFor(2, 10000), 2);
    EXPECT_EQ(segmentCountFor(16, 10000), 8);
    EXPECT_EQ(segmentCountFor(0, 10000), 1);
    EXPECT_EQ(segmentCountFor(8, 127), 1);
    EXPECT_EQ(segmentCountFor(8, 128), 2);
    EXPECT_EQ(segmentCountFor(8, 0), 1);
}

TEST(SegmentPlanTest, SegmentsCoverEveryBlockOnceWithPrerollAndPostroll) {
    const std::vector<Segment> plan = planSegments(1001, 3);
    ASSERT_EQ(plan.size(), 3u);
    EXPECT_EQ(plan[0].feedFirstBlock, 0);
    EXPECT_EQ(plan[0].firstBlock, 0);
    EXPECT_EQ(plan[0].endBlock, 333);
    EXPECT_EQ(plan[0].feedEndBlock, 335);
    EXPECT_EQ(plan[1].feedFirstBlock, 329);
    EXPECT_EQ(plan[1].firstBlock, 333);
    EXPECT_EQ(plan[1].endBlock, 667);
    EXPECT_EQ(plan[1].feedEndBlock, 669);
    EXPECT_EQ(plan[2].feedFirstBlock, 663);
    EXPECT_EQ(plan[2].firstBlock, 667);
    EXPECT_EQ(plan[2].endBlock, 1001);
    EXPECT_EQ(plan[2].feedEndBlock, 1001);
    EXPECT_FALSE(plan[0].last);
    EXPECT_TRUE(plan[2].last);
    EXPECT_EQ(plan[1].framesToDrop(), 4);
    EXPECT_EQ(plan[1].framesToKeep(), 334);

    const std::vector<Segment> one = planSegments(5, 1);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].feedFirstBlock, 0);
    EXPECT_EQ(one[0].feedEndBlock, 5);
    EXPECT_TRUE(one[0].last);
}

// A frame header with the given bytes 1 and 2 (sync and byte 3 fixed).
std::vector<std::uint8_t> header(std::uint8_t b1, std::uint8_t b2) {
    return {0xFF, b1, b2, 0x00};
}

TEST(Mp3FramesTest, FrameLengthsOfEveryVersionAndRejectedHeaders) {
    // MPEG-1 160 kbit/s: 522 bytes at 44100, 523 padded; 480 at 48000.
    EXPECT_EQ(mp3FrameLength(header(0xFB, 0xA0).data()), 522);
    EXPECT_EQ(mp3FrameLength(header(0xFB, 0xA2).data()), 523);
    EXPECT_EQ(mp3FrameLength(header(0xFB, 0xA4).data()), 480);
    // MPEG-2 at 22050, 64 kbit/s: 72000 * 64 / 22050 = 208; MPEG-2.5 at 8000, 8 kbit/s: 72.
    EXPECT_EQ(mp3FrameLength(header(0xF3, 0x80).data()), 208);
    EXPECT_EQ(mp3FrameLength(header(0xE3, 0x18).data()), 72);
    EXPECT_EQ(mp3FrameLength(header(0xFD, 0xA0).data()), 0);  // Layer II
    EXPECT_EQ(mp3FrameLength(header(0xFB, 0x00).data()), 0);  // free format
    EXPECT_EQ(mp3FrameLength(header(0xFB, 0xF0).data()), 0);  // bad bitrate
    EXPECT_EQ(mp3FrameLength(header(0xFB, 0xAC).data()), 0);  // bad rate
    EXPECT_EQ(mp3FrameLength(header(0xEB, 0xA0).data()), 0);  // reserved version
    const std::uint8_t notSynced[] = {0x49, 0x44, 0x33, 0x04};
    EXPECT_EQ(mp3FrameLength(notSynced), 0);
}

// Frames of 104 bytes (32 kbit/s, 44100 Hz) whose fifth byte numbers them.
std::vector<std::uint8_t> frames(int count) {
    std::vector<std::uint8_t> out;
    for (int i = 0; i < count; ++i) {
        std::vector<std::uint8_t> f(104, 0);
        f[0] = 0xFF;
        f[1] = 0xFB;
        f[2] = 0x10;
        f[4] = static_cast<std::uint8_t>(i);
        out.insert(out.end(), f.begin(), f.end());
    }
    return out;
}

TEST(Mp3FramesTest, FramesCutAcrossPiecesOfAnySizeAreKeptWholeAndInOrder) {
    const std::vector<std::uint8_t> all = frames(10);
    for (std::size_t piece : {1u, 3u, 4u, 5u, 103u, 104u, 105u, 1000u}) {
        SCOPED_TRACE(piece);
        Mp3FrameSplitter splitter(3, 4);
        std::vector<std::uint8_t> kept;
        for (std::size_t at = 0; at < all.size(); at += piece) {
            ASSERT_TRUE(splitter.push(all.data() + at, std::min(piece, all.size() - at), kept));
        }
        EXPECT_TRUE(splitter.atFrameBoundary());
        EXPECT_EQ(splitter.framesSeen(), 10);
        EXPECT_EQ(splitter.framesKept(), 4);
        EXPECT_EQ(kept, std::vector<std::uint8_t>(all.begin() + 3 * 104, all.begin() + 7 * 104));
    }
}

TEST(Mp3FramesTest, KeepingAllAfterTheDroppedOnesAndRefusingWhatIsNoFrame) {
    const std::vector<std::uint8_t> all = frames(5);
    Mp3FrameSplitter rest(2, -1);
    std::vector<std::uint8_t> kept;
    ASSERT_TRUE(rest.push(all.data(), 300, kept));
    EXPECT_FALSE(rest.atFrameBoundary());
    ASSERT_TRUE(rest.push(all.data() + 300, all.size() - 300, kept));
    EXPECT_EQ(kept, std::vector<std::uint8_t>(all.begin() + 2 * 104, all.end()));

    Mp3FrameSplitter broken(0, -1);
    std::vector<std::uint8_t> garbage(all.begin(), all.begin() + 104);
    garbage.insert(garbage.end(), {'E', 'N', 'D', '!'});
    std::vector<std::uint8_t> none;
    EXPECT_FALSE(broken.push(garbage.data(), garbage.size(), none));
    // A header cut after two bytes is judged once the rest arrives.
    Mp3FrameSplitter late(0, -1);
    EXPECT_TRUE(late.push(garbage.data() + 104, 2, none));
    EXPECT_FALSE(late.push(garbage.data() + 106, 2, none));
}

// In-process encoder calls: each block becomes one 104-byte frame holding its first sample,
// the flush one holding -1.
void fakeFrame(std::uint8_t* out, std::int32_t first, std::uint32_t* bytes) {
    std::memset(out, 0, 104);
    out[0] = 0xFF;
    out[1] = 0xFB;
    out[2] = 0x10;
    std::memcpy(out + 4, &first, 4);
    *bytes = 104;
}

std::uint32_t fakeEncode(std::uint32_t, std::uint32_t, const std::int16_t* pcm, std::uint8_t* out,
                         std::uint32_t* bytes) {
    fakeFrame(out, pcm[0], bytes);
    return 0;
}

std::uint32_t fakeFlush(std::uint32_t, std::uint8_t* out, std::uint32_t* bytes) {
    fakeFrame(out, -1, bytes);
    return 0;
}

// As fakeEncode, but stream 2 fails its first block with result 2 and says so.
std::atomic<bool> secondFailed{false};
std::uint32_t failingEncode(std::uint32_t stream, std::uint32_t samples, const std::int16_t* pcm,
                            std::uint8_t* out, std::uint32_t* bytes) {
    if (stream == 2) {
        *bytes = 0;
        secondFailed = true;
        return 2;
    }
    return fakeEncode(stream, samples, pcm, out, bytes);
}

class SegmentEncodingTest : public testing_support::TempFolderTest {
  protected:
    QString wav(std::int64_t blocks) {
        using namespace testing_support;
        const QString file = path(QStringLiteral("in.wav"));
        EXPECT_TRUE(writeFile(file, waveFile({riffChunk("fmt ", pcmFormat(2, 44100, 16)),
                                              riffChunk("data", countingFrames(blocks * 10))})));
        return file;
    }
};

// The caller's own segment stops at its next block when another segment fails, and the failure
// is the news that follows; every thread is joined after.
TEST_F(SegmentEncodingTest, AFailureElsewhereStopsTheFirstSegmentAtItsNextBlock) {
    secondFailed = false;
    SegmentEncoding encoding({failingEncode, fakeFlush}, wav(300), 10, 104, planSegments(300, 4),
                             {1, 2, 3, 4});
    encoding.start();
    int ownBlocks = 0;
    encoding.encodeFirst([&](std::vector<std::uint8_t>&, std::int64_t) {
        // Holds the first block until the failing call has returned, however slow the machine,
        // then goes slowly enough for the failure to be recorded long before the segment ends.
        for (int i = 0; !secondFailed && i < 60000; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ++ownBlocks;
        return true;
    });
    EXPECT_TRUE(secondFailed);
    EXPECT_LT(ownBlocks, 75);
    const SegmentEncoding::News news = encoding.next();
    EXPECT_EQ(news.libraryResult, 2u);
    EXPECT_FALSE(news.error.has_value());
    encoding.stop();
}

// A cancel from the caller's segment while the others wait for room: stop() still ends them all.
TEST_F(SegmentEncodingTest, ACancelInTheFirstSegmentEndsEveryThread) {
    SegmentEncoding encoding({fakeEncode, fakeFlush}, wav(300), 10, 104, planSegments(300, 4),
                             {1, 2, 3, 4}, 1);
    encoding.start();
    int ownBlocks = 0;
    encoding.encodeFirst([&](std::vector<std::uint8_t>&, std::int64_t) { return ++ownBlocks < 3; });
    EXPECT_EQ(ownBlocks, 3);
    encoding.stop();
}

// Segments whose turn has not come pause once the waiting budget is spent; the one whose turn
// it is never does, so the conversion always ends.
TEST_F(SegmentEncodingTest, FramesComeBackInOrderEvenWithNoRoomToWait) {
    const std::int64_t blocks = 300;
    const QString file = wav(blocks);
    for (std::size_t budget : {std::size_t{1}, SegmentEncoding::kWaitingBudget}) {
        SCOPED_TRACE(budget);
        SegmentEncoding encoding({fakeEncode, fakeFlush}, file, 10, 104, planSegments(blocks, 4),
                                 {1, 2, 3, 4}, budget);
        encoding.start();
        std::vector<std::int32_t> firsts;
        std::int64_t done = 0;
        const auto take = [&](const std::vector<std::uint8_t>& piece, std::int64_t samples) {
            EXPECT_GE(samples, done);
            done = samples;
            ASSERT_EQ(piece.size() % 104, 0u);
            for (std::size_t at = 0; at < piece.size(); at += 104) {
                std::int32_t first = 0;
                std::memcpy(&first, piece.data() + at + 4, 4);
                firsts.push_back(first);
            }
        };
        // The first segment comes block by block on this thread, the others afterwards.
        int ownBlocks = 0;
        encoding.encodeFirst([&](std::vector<std::uint8_t>& frames, std::int64_t samples) {
            ++ownBlocks;
            take(frames, samples);
            return true;
        });
        EXPECT_EQ(ownBlocks, 75 + 2 + 1);
        EXPECT_EQ(firsts.size(), 75u);
        for (bool finished = false; !finished;) {
            SegmentEncoding::News news = encoding.next();
            ASSERT_FALSE(news.error.has_value());
            for (const auto& piece : news.frames) {
                take(piece, news.samplesDone);
            }
            take({}, news.samplesDone);
            finished = news.finished;
        }
        EXPECT_EQ(done, blocks * 10 * 2);
        ASSERT_EQ(firsts.size(), static_cast<std::size_t>(blocks + 1));
        for (std::int64_t b = 0; b < blocks; ++b) {
            EXPECT_EQ(firsts[static_cast<std::size_t>(b)], b * 10) << b;
        }
        EXPECT_EQ(firsts.back(), -1);
    }
}

// Open descriptors of this process, and those of them on files without a name left.
int openFiles() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files).size());
}

int openUnnamedFiles() {
    int n = 0;
    for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::Files)) {
        n += fd.symLinkTarget().endsWith(QStringLiteral(" (deleted)")) ? 1 : 0;
    }
    return n;
}

// Blocks encoded by stream 2, and a failing stream 4 after 40 blocks of its own.
std::atomic<int> secondBlocks{0};
std::uint32_t countingEncode(std::uint32_t stream, std::uint32_t samples, const std::int16_t* pcm,
                             std::uint8_t* out, std::uint32_t* bytes) {
    if (stream == 2) {
        ++secondBlocks;
    }
    return fakeEncode(stream, samples, pcm, out, bytes);
}

std::atomic<int> fourthBlocks{0};
std::uint32_t lateFailingEncode(std::uint32_t stream, std::uint32_t samples,
                                const std::int16_t* pcm, std::uint8_t* out, std::uint32_t* bytes) {
    if (stream == 4 && ++fourthBlocks > 40) {
        *bytes = 0;
        return 2;
    }
    return countingEncode(stream, samples, pcm, out, bytes);
}

// Waits, however slow the machine, for the condition or a minute.
void awaitUntil(const std::function<bool()>& condition) {
    for (int i = 0; !condition() && i < 60000; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Everything the encoding hands back, joined, with the samples done never going back.
std::vector<std::uint8_t> joined(SegmentEncoding& encoding,
                                 const std::function<void()>& firstBlock) {
    std::vector<std::uint8_t> out;
    std::int64_t done = 0;
    const auto take = [&](const std::vector<std::uint8_t>& piece, std::int64_t samples) {
        EXPECT_GE(samples, done);
        done = samples;
        out.insert(out.end(), piece.begin(), piece.end());
    };
    bool first = true;
    encoding.encodeFirst([&](std::vector<std::uint8_t>& frames, std::int64_t samples) {
        if (std::exchange(first, false)) {
            firstBlock();
        }
        take(frames, samples);
        return true;
    });
    for (bool finished = false; !finished;) {
        SegmentEncoding::News news = encoding.next();
        EXPECT_FALSE(news.error.has_value());
        for (const auto& piece : news.frames) {
            take(piece, news.samplesDone);
        }
        finished = news.finished;
    }
    encoding.stop();
    return out;
}

// Frames over the budget go to a spill file while the segment goes on, and come back in order
// after those in memory; a spill file that cannot be had or written makes the segment pause
// instead, with the same output.
TEST_F(SegmentEncodingTest, FramesOverTheBudgetSpillToAFileOrWaitAndComeBackInOrder) {
    // The second segment makes 12000 frames (1.2 MiB), more than one piece of the spill file.
    const std::int64_t blocks = 24000;
    const QString file = wav(blocks);
    const auto run = [&](std::size_t budget, SegmentEncoding::SpillOpener open, bool hold,
                         std::int64_t& spilled) {
        secondBlocks = 0;
        SegmentEncoding encoding({countingEncode, fakeFlush}, file, 10, 104,
                                 planSegments(blocks, 2), {1, 2}, budget);
        encoding.setSpillOpener(std::move(open));
        encoding.start();
        // Holding the first segment until the second has encoded everything (4 blocks of
        // pre-roll besides its own) makes sure the second one spills before its turn.
        const std::vector<std::uint8_t> out = joined(encoding, [&] {
            if (hold) {
                awaitUntil([] { return secondBlocks == 12004; });
            }
        });
        spilled = encoding.spilledBytes();
        return out;
    };
    std::int64_t spilled = 0;
    const std::vector<std::uint8_t> expected =
        run(SegmentEncoding::kWaitingBudget, nullptr, false, spilled);
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(blocks + 1) * 104);
    EXPECT_EQ(spilled, 0);

    const int filesBefore = openFiles();
    const QString folder = path(QStringLiteral("spill"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const auto unnamed = [&] { return openUnnamedFile(folder); };
    // Almost everything of the second segment goes through the file.
    EXPECT_EQ(run(1000, unnamed, true, spilled), expected);
    EXPECT_GT(spilled, 12000 * 104 - 1000);
    EXPECT_TRUE(
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());

    // No spill file to be had: the second segment waits for its turn.
    EXPECT_EQ(run(
                  1000, [] { return -1; }, false, spilled),
              expected);
    EXPECT_EQ(spilled, 0);
    // A full disk from the first byte.
    EXPECT_EQ(run(
                  1000, [] { return ::open("/dev/full", O_WRONLY | O_CLOEXEC); }, false, spilled),
              expected);
    EXPECT_EQ(spilled, 0);
    // A file that takes a little more than one piece, ending inside a frame: what it took comes
    // back from it, the rest from memory.
    const long limit = (1 << 20) + 5000;
    EXPECT_EQ(run(
                  1000,
                  [limit] {
                      const int fd = ::memfd_create("spill", MFD_CLOEXEC | MFD_ALLOW_SEALING);
                      if (fd >= 0 && (::ftruncate(fd, limit) != 0 ||
                                      ::fcntl(fd, F_ADD_SEALS, F_SEAL_GROW | F_SEAL_SHRINK) != 0)) {
                          ::close(fd);
                          return -1;
                      }
                      return fd;
                  },
                  true, spilled),
              expected);
    EXPECT_GT(spilled, 1 << 20);
    EXPECT_LE(spilled, limit);
    EXPECT_EQ(openFiles(), filesBefore);
}

// A cancel, or a failure in another segment, while later segments spill: every thread ends and
// every spill file is closed with the encoding.
TEST_F(SegmentEncodingTest, ACancelOrAFailureWhileSegmentsSpillClosesEverySpillFile) {
    const QString file = wav(3000);
    const int filesBefore = openFiles();
    const int unnamedBefore = openUnnamedFiles();
    {
        secondBlocks = 0;
        SegmentEncoding encoding({countingEncode, fakeFlush}, file, 10, 104, planSegments(3000, 4),
                                 {1, 2, 3, 4}, 1);
        encoding.setSpillOpener([this] { return openUnnamedFile(path(QString())); });
        encoding.start();
        int ownBlocks = 0;
        encoding.encodeFirst([&](std::vector<std::uint8_t>&, std::int64_t) {
            awaitUntil([] { return secondBlocks > 100; });
            EXPECT_GT(openUnnamedFiles(), unnamedBefore);
            return ++ownBlocks < 3;
        });
        EXPECT_EQ(ownBlocks, 3);
        encoding.stop();
    }
    EXPECT_EQ(openFiles(), filesBefore);
    {
        secondBlocks = 0;
        fourthBlocks = 0;
        SegmentEncoding encoding({lateFailingEncode, fakeFlush}, file, 10, 104,
                                 planSegments(3000, 4), {1, 2, 3, 4}, 1);
        encoding.setSpillOpener([this] { return openUnnamedFile(path(QString())); });
        encoding.start();
        encoding.encodeFirst([&](std::vector<std::uint8_t>&, std::int64_t) {
            awaitUntil([] { return fourthBlocks > 40 && secondBlocks > 100; });
            return true;
        });
        EXPECT_GT(openUnnamedFiles(), unnamedBefore);
        const SegmentEncoding::News news = encoding.next();
        EXPECT_EQ(news.libraryResult, 2u);
        encoding.stop();
    }
    EXPECT_EQ(openFiles(), filesBefore);
}

TEST_F(SegmentEncodingTest, AnUnnamedFileLeavesNothingInItsFolder) {
    const QString folder = path(QStringLiteral("unnamed"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const int fd = openUnnamedFile(folder);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::write(fd, "frames", 6), 6);
    char back[6] = {};
    EXPECT_EQ(::pread(fd, back, 6, 0), 6);
    EXPECT_EQ(std::memcmp(back, "frames", 6), 0);
    EXPECT_TRUE(
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    ::close(fd);
    EXPECT_EQ(openUnnamedFile(path(QStringLiteral("missing"))), -1);
}

}  // namespace
