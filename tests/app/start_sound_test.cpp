#include <QFile>

#include <gtest/gtest.h>

namespace {

// MPEG-1 layer III bit rates (kbit/s) by the header's index.
const int kBitRates[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};

// The build puts the start sound in the application folder: a clip of MPEG-1 layer III frames
// from its first byte to its last, long enough to hear and short enough not to delay the music.
TEST(StartSound, IsAnUnbrokenLayerThreeClipOfAboutOneAndAHalfSeconds) {
    QFile clip(QStringLiteral(ZORVITA_APP_DIR "/Process.dll"));
    ASSERT_TRUE(clip.open(QIODevice::ReadOnly));
    const QByteArray bytes = clip.readAll();
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData());
    qsizetype at = 0;
    int frames = 0;
    while (at + 4 <= bytes.size()) {
        ASSERT_EQ(b[at], 0xFF) << "at byte " << at;
        // Sync, MPEG-1, layer III.
        ASSERT_EQ(b[at + 1] & 0xFE, 0xFA) << "at byte " << at;
        const int bitRate = kBitRates[b[at + 2] >> 4];
        ASSERT_GT(bitRate, 0);
        ASSERT_EQ((b[at + 2] >> 2) & 0x3, 0) << "sample rate is not 44100";
        const int padding = (b[at + 2] >> 1) & 0x1;
        at += 144 * bitRate * 1000 / 44100 + padding;
        ++frames;
    }
    EXPECT_EQ(at, bytes.size());
    const double seconds = frames * 1152.0 / 44100.0;
    EXPECT_GT(seconds, 1.2);
    EXPECT_LT(seconds, 2.5);
}

}  // namespace
