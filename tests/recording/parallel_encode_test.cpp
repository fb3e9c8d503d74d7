// Segmented encodings through the real encoder library against a sequential one of the same WAV:
// the joined stream must be one a listener cannot tell apart.
#include "recording/Mp3Frames.h"
#include "recording/SegmentPlan.h"
#include "recording/ShowSavingProgress.h"
#include "recording/cLameEncoder.h"

#include "tests/converter/mp3_decode.h"
#include "tests/recording/wav_files.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

using namespace testing_support;

namespace {

constexpr int kRate = 44100;
constexpr std::int64_t kBlockFrames = 1152;
// The encoder's delay plus the decoder's: decoded sample j is input sample j - kDelay.
constexpr std::int64_t kDelay = 576 + 529;

class NoLabel final : public StatusLabel {
  public:
    void setCaption(const QString&) override {}
    void repaintNow() override {}
};

// Chords that change twice a second, over noise: the psychoacoustic model has work at every seam.
QByteArray music(std::int64_t frames, std::vector<std::int16_t>* left) {
    QByteArray out;
    std::mt19937 noise(11);
    std::normal_distribution<double> hiss(0.0, 400.0);
    for (std::int64_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double base =
            110.0 * std::pow(2.0, static_cast<double>(static_cast<int>(t * 2) % 12) / 12.0);
        double v = 0;
        for (double h : {1.0, 1.25, 1.5, 2.0, 3.0}) {
            v += 2500.0 / h * std::sin(2.0 * std::numbers::pi * base * h * t);
        }
        const auto l = static_cast<std::int16_t>(std::lround(v + hiss(noise)));
        const auto r = static_cast<std::int16_t>(std::lround(0.7 * v + hiss(noise)));
        left->push_back(l);
        out.append(reinterpret_cast<const char*>(&l), 2);
        out.append(reinterpret_cast<const char*>(&r), 2);
    }
    return out;
}

std::int64_t frameCount(const QByteArray& mp3) {
    std::int64_t count = 0;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(mp3.constData());
    qsizetype at = 0;
    while (at + 4 <= mp3.size()) {
        const int length = mp3FrameLength(bytes + at);
        if (length == 0) {
            return -1;
        }
        at += length;
        ++count;
    }
    return at == mp3.size() ? count : -1;
}

std::int16_t sampleAt(const QByteArray& decoded, std::int64_t i) {
    std::int16_t s = 0;
    std::memcpy(&s, decoded.constData() + i * 2, 2);
    return s;
}

class ParallelEncodeTest : public TempFolderTest {
  protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        wav = path(QStringLiteral("music.wav"));
        ASSERT_TRUE(writeFile(wav, waveFile({riffChunk("fmt ", pcmFormat(2, kRate, 16)),
                                             riffChunk("data", music(kFrames, &input))})));
    }

    QString encode(int segments, std::vector<int>* percents = nullptr) {
        const QString mp3 = path(QStringLiteral("out%1.mp3").arg(segments));
        cLameEncoder e(QStringLiteral(ZORVITA_APP_DIR), QString::number(kRate), boxes, label);
        e.setEncodingPreset(7);
        e.setMaxSegments(segments);
        e.setWavFile(wav);
        e.setMP3File(mp3);
        std::int64_t last = 0;
        e.Progress = [&](std::int64_t done, std::int64_t, bool&) {
            EXPECT_GE(done, last);
            last = done;
            if (percents != nullptr) {
                percents->push_back(static_cast<int>(done * 100 / (kFrames * 2)));
            }
        };
        EXPECT_EQ(e.Encode(), QString());
        EXPECT_TRUE(boxes.shown().empty());
        EXPECT_EQ(last, kFrames * 2);
        return mp3;
    }

    // 20 s and a partial block.
    static constexpr std::int64_t kFrames = 20 * kRate + 333;
    QString wav;
    std::vector<std::int16_t> input;
    ScriptedMessageBoxes boxes;
    NoLabel label;
};

TEST_F(ParallelEncodeTest, SegmentsMakeTheSequentialFrameCountLengthAndSound) {
    const QString sequential = encode(1);
    const std::int64_t frames = frameCount(readFile(sequential));
    ASSERT_GT(frames, 0);
    const DecodedMp3 reference = decodeMp3(sequential);
    ASSERT_TRUE(reference.ok);
    ASSERT_GE(reference.frames(), kFrames + kDelay);

    const std::int64_t blocks = (kFrames + kBlockFrames - 1) / kBlockFrames;
    for (int segments : {2, 8}) {
        SCOPED_TRACE(segments);
        const QString parallel = encode(segments);
        EXPECT_EQ(frameCount(readFile(parallel)), frames);
        const DecodedMp3 joined = decodeMp3(parallel);
        ASSERT_TRUE(joined.ok);
        ASSERT_EQ(joined.frames(), reference.frames());

        // Around each seam, the joined stream may differ from the sequential one by no more
        // than the sequential one differs from the input there.
        const std::vector<Segment> plan = planSegments(blocks, segments);
        for (std::size_t k = 1; k < plan.size(); ++k) {
            const std::int64_t seam = plan[k].firstBlock * kBlockFrames - 576;
            double seamSquares = 0;
            double codecSquares = 0;
            int seamPeak = 0;
            int codecPeak = 0;
            for (std::int64_t i = seam - 2 * kBlockFrames; i < seam + 2 * kBlockFrames; ++i) {
                const int ref = sampleAt(reference.firstChannel, i + kDelay);
                const int seamDiff = std::abs(sampleAt(joined.firstChannel, i + kDelay) - ref);
                const int codecDiff = std::abs(ref - input[static_cast<std::size_t>(i)]);
                seamSquares += static_cast<double>(seamDiff) * seamDiff;
                codecSquares += static_cast<double>(codecDiff) * codecDiff;
                seamPeak = std::max(seamPeak, seamDiff);
                codecPeak = std::max(codecPeak, codecDiff);
            }
            SCOPED_TRACE(k);
            EXPECT_LE(seamSquares, codecSquares);
            EXPECT_LE(seamPeak, codecPeak);
        }
    }
}

TEST_F(ParallelEncodeTest, ProgressCountsEverySegmentAndNeverGoesBack) {
    std::vector<int> percents;
    encode(2, &percents);
    ASSERT_FALSE(percents.empty());
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(percents.back(), 100);
}

}  // namespace
