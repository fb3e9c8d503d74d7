#include "recorder/dsp/clsDraw.h"

#include "tests/recorder/dsp/reference.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using Samples = std::vector<std::int16_t>;

constexpr QRgb kMarker = 0xFF123456;
constexpr std::uint32_t kBack = 0x202020;     // 0x00BBGGRR
constexpr std::uint32_t kFill = 0x000040;     // dark red
constexpr std::uint32_t kOutline = 0x808000;  // teal

QRgb rgb(std::uint32_t bgr) {
    return qRgb(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

QImage box(int w = 300, int h = 100) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(kMarker);
    return image;
}

void drawSpectrum(clsDraw& draw, QImage& image, const Samples& samples) {
    QPainter painter(&image);
    PicBox picbox{painter, kBack, kFill};
    draw.DrawFrequencies(samples, picbox);
}

void drawTrace(clsDraw& draw, QImage& image, const Samples& samples) {
    QPainter painter(&image);
    PicBox picbox{painter, kBack, kFill};
    draw.DrawAmplitudes(samples, picbox);
}

Samples tone(double bin, double amplitude) {
    Samples s(1024);
    for (std::size_t i = 0; i < s.size(); ++i) {
        s[i] = static_cast<std::int16_t>(
            std::lround(amplitude * std::sin(2 * std::numbers::pi * bin * i / 1024)));
    }
    return s;
}

// The bar heights from a direct transform in double of the windowed buffer.
std::vector<double> referenceBars(const Samples& s) {
    std::vector<std::complex<double>> input(1024);
    for (std::size_t i = 0; i < 1024; ++i) {
        input[i] = s[i] * (0.42 - 0.5 * std::cos(2 * std::numbers::pi * i / 1023) +
                           0.08 * std::cos(4 * std::numbers::pi * i / 1023));
    }
    const auto spectrum = dsptest::directDft(input);
    std::vector<double> bars;
    double x = 0;
    for (int j = 0; j < 22; ++j) {
        for (int k = 5 * j + 1; k <= 5 * j + 4; ++k) {
            x += std::min(std::abs(spectrum[static_cast<std::size_t>(k)]) / 256 / 32767, 0.2) / 0.2;
        }
        x = (1 + (1 - std::cos(2 * std::numbers::pi * (j + 3) / 25)) / 2) * x / 3;
        bars.push_back(std::min(x, 1.0));
    }
    return bars;
}

}  // namespace

TEST(SpectrumDisplay, ABufferShorterThan1024SamplesLeavesTheBoxAndBarsUntouched) {
    clsDraw draw;
    QImage image = box();
    drawSpectrum(draw, image, Samples(1023, 20000));
    EXPECT_EQ(image, box());
    for (const double peak : draw.barPeaks()) {
        EXPECT_EQ(peak, 0.0);
    }
}

TEST(SpectrumDisplay, BarsFollowTheWindowedSpectrumAndAreDrawnThreePixelsWideFourApart) {
    clsDraw draw;
    const Samples loud = tone(30.5, 12000);
    QImage image = box(300, 100);
    drawSpectrum(draw, image, loud);

    const std::vector<double> want = referenceBars(loud);
    for (int j = 0; j < 22; ++j) {
        EXPECT_NEAR(draw.barPeaks()[static_cast<std::size_t>(j)], want[static_cast<std::size_t>(j)],
                    1e-9)
            << "bar " << j;
    }
    EXPECT_GT(draw.barPeaks()[6], 0.5) << "the tone at bin 30 rises bar 6";

    for (int j = 0; j < 22; ++j) {
        const double peak = draw.barPeaks()[static_cast<std::size_t>(j)];
        const QRgb colour = qRgb(255, static_cast<int>(std::nearbyint(peak * 255)), 50);
        const int top = std::max(2, static_cast<int>(std::nearbyint(100 - 100 * peak)) - 2);
        SCOPED_TRACE(testing::Message() << "bar " << j << " from row " << top);
        for (int x = 4 * j + 3; x <= 4 * j + 7; ++x) {
            const bool inBar = x >= 4 * j + 4 && x <= 4 * j + 6;
            EXPECT_EQ(image.pixel(x, 97), inBar && top < 98 ? colour : rgb(kBack)) << "x " << x;
            EXPECT_EQ(image.pixel(x, 98), rgb(kBack)) << "the bottom edge is exclusive";
        }
        if (top < 98) {
            EXPECT_EQ(image.pixel(4 * j + 5, top), colour);
        }
        EXPECT_EQ(image.pixel(4 * j + 5, top - 1), rgb(kBack));
    }
    EXPECT_EQ(image.pixel(299, 0), rgb(kBack)) << "the whole box is cleared";
}

TEST(SpectrumDisplay, PeaksFallBySevenHundredthsPerFrameOfSilence) {
    clsDraw draw;
    QImage image = box();
    drawSpectrum(draw, image, Samples(1024, 0));
    for (const double peak : draw.barPeaks()) {
        EXPECT_EQ(peak, 0.0);
    }
    drawSpectrum(draw, image, tone(30.5, 30000));
    const auto start = draw.barPeaks();
    EXPECT_EQ(start[6], 1.0) << "a peak above 1 becomes 1";
    for (int frame = 1; frame <= 16; ++frame) {
        drawSpectrum(draw, image, Samples(1024, 0));
        for (std::size_t j = 0; j < 22; ++j) {
            EXPECT_NEAR(draw.barPeaks()[j], std::max(0.0, start[j] - 0.07 * frame), 1e-12)
                << "bar " << j << " after " << frame << " frames";
        }
    }
    EXPECT_EQ(draw.barPeaks()[6], 0.0) << "a full bar falls to nothing in 15 frames";
    // Empty bars draw nothing: only the background is left.
    for (int x = 0; x < 300; x += 7) {
        EXPECT_EQ(image.pixel(x, 50), rgb(kBack));
    }
}

TEST(WaveformDisplay, SilenceDrawsTheOutlineAndAFlatTraceAcrossTheMiddle) {
    clsDraw draw;
    draw.setComboBackColor(kOutline);
    QImage image = box(300, 100);
    drawTrace(draw, image, Samples(5120, 0));
    EXPECT_EQ(image.pixel(0, 0), rgb(kOutline));
    EXPECT_EQ(image.pixel(299, 99), rgb(kOutline));
    EXPECT_EQ(image.pixel(150, 0), rgb(kOutline));
    EXPECT_EQ(image.pixel(150, 99), rgb(kOutline));
    EXPECT_EQ(image.pixel(0, 20), rgb(kOutline));
    EXPECT_EQ(image.pixel(10, 20), rgb(kFill));
    for (int x = 0; x <= 298; ++x) {
        ASSERT_EQ(image.pixel(x, 50), qRgb(255, 255, 255)) << "x " << x;
    }
    EXPECT_EQ(image.pixel(299, 50), rgb(kOutline)) << "the last line stops short of the edge";
}

TEST(WaveformDisplay, PositiveSamplesGoDownAndNegativeOnesUp) {
    clsDraw draw;
    draw.setComboBackColor(kOutline);
    // 300 wide: 5120 samples give groups of 17; the first half of the trace is full scale up,
    // the second full scale down.
    Samples samples(5120, 32767);
    std::fill(samples.begin() + 17 * 149, samples.end(), -32767);
    QImage image = box(300, 100);
    drawTrace(draw, image, samples);
    for (int x = 2; x <= 147; ++x) {
        ASSERT_EQ(image.pixel(x, 98), qRgb(255, 255, 255)) << "x " << x;
        ASSERT_NE(image.pixel(x, 50), qRgb(255, 255, 255)) << "x " << x;
    }
    for (int x = 151; x <= 296; ++x) {
        ASSERT_EQ(image.pixel(x, 2), qRgb(255, 255, 255)) << "x " << x;
    }
    EXPECT_EQ(image.pixel(298, 50), qRgb(255, 255, 255));
}

TEST(WaveformDisplay, ShortOrEmptyBuffersDrawWithoutReadingPastTheirEnd) {
    clsDraw draw;
    for (const std::size_t count :
         {std::size_t{0}, std::size_t{1}, std::size_t{480}, std::size_t{599}}) {
        QImage image = box(300, 100);
        drawTrace(draw, image, Samples(count, 32767));
        EXPECT_EQ(image.pixel(298, 50), qRgb(255, 255, 255)) << count << " samples";
    }
    QImage tiny = box(2, 2);
    drawTrace(draw, tiny, Samples(100, 1000));
    QImage nothing;
    drawTrace(draw, nothing, Samples(100, 1000));
    drawSpectrum(draw, nothing, Samples(1024, 1000));
}

TEST(LevelDisplay, DrawsABarAcrossTheLevelInItsBlendedColour) {
    QImage image = box(200, 10);
    {
        QPainter painter(&image);
        PicBox picbox{painter, kBack, kFill};
        clsDraw::DrawLevel(picbox, 0.5f);
    }
    EXPECT_EQ(image.pixel(0, 0), qRgb(225, 168, 34));
    EXPECT_EQ(image.pixel(99, 9), qRgb(225, 168, 34));
    EXPECT_EQ(image.pixel(100, 5), rgb(kBack));

    for (const float level : {0.0f, 1.0f, 3.0f, -1.0f}) {
        QPainter painter(&image);
        PicBox picbox{painter, kBack, kFill};
        clsDraw::DrawLevel(picbox, level);
        painter.end();
        const bool full = level >= 1;
        EXPECT_EQ(image.pixel(0, 5), full ? qRgb(255, 0, 0) : rgb(kBack)) << level;
        EXPECT_EQ(image.pixel(199, 5), full ? qRgb(255, 0, 0) : rgb(kBack)) << level;
    }
}

TEST(LevelDisplay, RectanglesLeaveOutTheirRightAndBottomEdges) {
    QImage image = box(10, 10);
    {
        QPainter painter(&image);
        clsDraw::DrawRect(painter, 2, 3, 5, 7, 0x0000FF);
        clsDraw::DrawRect(painter, 6, 6, 6, 9, 0x00FF00);
        clsDraw::DrawRect(painter, 8, 8, 7, 9, 0x00FF00);
    }
    EXPECT_EQ(image.pixel(2, 3), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(4, 6), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(5, 6), kMarker);
    EXPECT_EQ(image.pixel(4, 7), kMarker);
    EXPECT_EQ(image.pixel(1, 3), kMarker);
    EXPECT_EQ(image.pixel(6, 6), kMarker) << "an empty rectangle draws nothing";
    EXPECT_EQ(image.pixel(7, 8), kMarker);
}
