#include "recorder/dsp/clsFourier.h"

#include "platform/ui/error.h"
#include "tests/recorder/dsp/reference.h"

#include <gtest/gtest.h>

#include <complex>
#include <functional>
#include <random>
#include <vector>

namespace {

void expectError(long number, const char* text, const std::function<void()>& action) {
    try {
        action();
        ADD_FAILURE() << "no error " << number;
    } catch (const platform::Error& e) {
        EXPECT_EQ(e.number(), number);
        EXPECT_EQ(e.description(), QString::fromLatin1(text));
    }
}

constexpr const char* kBadSize = "Number of samples must be a positive value of the form 2 ^ n";
constexpr const char* kBadIndex = "Index out of range or number of samples unknown";

}  // namespace

TEST(Fourier, MatchesADirectTransformWithThePlusSignForEverySize) {
    std::mt19937 random(21);
    std::uniform_real_distribution<double> value(-32768, 32767);
    for (int n = 2; n <= 1024; n *= 2) {
        SCOPED_TRACE(n);
        clsFourier fft;
        fft.setNumberOfSamples(n);
        std::vector<std::complex<double>> input(static_cast<std::size_t>(n));
        for (int i = 1; i <= n; ++i) {
            const double re = value(random);
            const double im = value(random);
            fft.RealIn(i, re);
            fft.ImagIn(i, im);
            // Without the window a real input is halved.
            input[static_cast<std::size_t>(i - 1)] = {re / 2, im};
        }
        const auto want = dsptest::directDft(input);
        const double tolerance = 1e-9 * 32768 * n;
        for (int k = 1; k <= n; ++k) {
            const auto& w = want[static_cast<std::size_t>(k - 1)];
            ASSERT_NEAR(fft.RealOut(k), w.real(), tolerance) << "bin " << k - 1;
            ASSERT_NEAR(fft.ImagOut(k), w.imag(), tolerance) << "bin " << k - 1;
            ASSERT_NEAR(fft.ComplexOut(k), std::abs(w), tolerance) << "bin " << k - 1;
        }
    }
}

TEST(Fourier, RealInputMatchesTheDirectTransformForEverySize) {
    // Real input takes a half-size path of its own; an imaginary value switches to the full one
    // and clearing it switches back.
    std::mt19937 random(23);
    std::uniform_real_distribution<double> value(-32768, 32767);
    for (int n = 2; n <= 1024; n *= 2) {
        SCOPED_TRACE(n);
        clsFourier fft;
        fft.setNumberOfSamples(n);
        fft.ImagIn(n, 5.0);
        fft.ImagIn(n, 0.0);
        std::vector<std::complex<double>> input(static_cast<std::size_t>(n));
        for (int i = 1; i <= n; ++i) {
            const double re = value(random);
            fft.RealIn(i, re);
            input[static_cast<std::size_t>(i - 1)] = re / 2;
        }
        const auto want = dsptest::directDft(input);
        const double tolerance = 1e-9 * 32768 * n;
        for (int k = 1; k <= n; ++k) {
            const auto& w = want[static_cast<std::size_t>(k - 1)];
            ASSERT_NEAR(fft.RealOut(k), w.real(), tolerance) << "bin " << k - 1;
            ASSERT_NEAR(fft.ImagOut(k), w.imag(), tolerance) << "bin " << k - 1;
        }
    }
}

TEST(Fourier, AppliesTheBlackmanWindowToRealInput) {
    constexpr int n = 256;
    clsFourier fft;
    fft.setNumberOfSamples(n);
    fft.setWithTimeWindow(true);
    EXPECT_NEAR(fft.window(0), 0.0, 1e-12);
    EXPECT_NEAR(fft.window(n - 1), 0.0, 1e-12);
    EXPECT_NEAR(fft.window(n / 2), 1.0, 1e-3);
    EXPECT_NEAR(fft.window(n / 4),
                0.42 - 0.5 * std::cos(std::numbers::pi * n / 2 / (n - 1)) +
                    0.08 * std::cos(std::numbers::pi * n / (n - 1)),
                1e-12);

    std::mt19937 random(22);
    std::uniform_real_distribution<double> value(-1, 1);
    std::vector<std::complex<double>> input(n);
    for (int i = 0; i < n; ++i) {
        const double v = value(random);
        fft.RealIn(i + 1, v);
        const double w = 0.42 - 0.5 * std::cos(2 * std::numbers::pi * i / (n - 1)) +
                         0.08 * std::cos(4 * std::numbers::pi * i / (n - 1));
        input[static_cast<std::size_t>(i)] = v * w;
    }
    const auto want = dsptest::directDft(input);
    for (int k = 0; k < n; ++k) {
        ASSERT_NEAR(fft.RealOut(k + 1), want[static_cast<std::size_t>(k)].real(), 1e-10);
        ASSERT_NEAR(fft.ImagOut(k + 1), want[static_cast<std::size_t>(k)].imag(), 1e-10);
    }
}

TEST(Fourier, ConstantAndImpulseInputsGiveTheTextbookSpectra) {
    clsFourier constant;
    constant.setNumberOfSamples(64);
    for (int i = 1; i <= 64; ++i) {
        constant.RealIn(i, 3.0);
    }
    EXPECT_NEAR(constant.RealOut(1), 64 * 3.0 / 2, 1e-12);
    for (int k = 2; k <= 64; ++k) {
        EXPECT_NEAR(constant.ComplexOut(k), 0.0, 1e-12) << "bin " << k - 1;
    }

    clsFourier impulse;
    impulse.setNumberOfSamples(32);
    impulse.RealIn(1, 1.0);
    for (int k = 1; k <= 32; ++k) {
        EXPECT_NEAR(impulse.ComplexOut(k), 0.5, 1e-15) << "bin " << k - 1;
    }
}

TEST(Fourier, ASinglePositiveFrequencyLandsInItsBinBecauseTheSignIsPlus) {
    // e^(-2 pi i 3 n / N) meets the + exponent in bin 3; with the usual - sign it would be bin N-3.
    constexpr int n = 16;
    clsFourier fft;
    fft.setNumberOfSamples(n);
    for (int i = 0; i < n; ++i) {
        const double angle = -2 * std::numbers::pi * 3 * i / n;
        fft.RealIn(i + 1, 2 * std::cos(angle));
        fft.ImagIn(i + 1, std::sin(angle));
    }
    EXPECT_NEAR(fft.ComplexOut(4), n, 1e-12);
    EXPECT_NEAR(fft.ComplexOut(n - 2), 0.0, 1e-12);
}

TEST(Fourier, RunsTheTransformOncePerInputChange) {
    clsFourier fft;
    fft.setNumberOfSamples(8);
    fft.RealIn(2, 2.0);
    const double first = fft.RealOut(2);
    EXPECT_EQ(fft.RealOut(2), first) << "a second read does not transform the output again";
    fft.RealIn(2, 4.0);
    EXPECT_NEAR(fft.ComplexOut(2), 2.0, 1e-12);
    EXPECT_GE(fft.Timing(), 0.0f);

    fft.setNumberOfSamples(4);
    for (int k = 1; k <= 4; ++k) {
        EXPECT_EQ(fft.ComplexOut(k), 0.0) << "a new size starts from zero";
    }
}

TEST(Fourier, RefusesBadSizesAndIndexes) {
    clsFourier fft;
    expectError(381, kBadIndex, [&] { fft.RealIn(1, 0); });
    expectError(381, kBadIndex, [&] { fft.ComplexOut(1); });
    for (const int bad : {1000, 0, 1, -4, 3, 1 << 25}) {
        expectError(380, kBadSize, [&] { fft.setNumberOfSamples(bad); });
    }
    expectError(381, kBadIndex, [&] { fft.RealOut(1); });

    fft.setNumberOfSamples(1024);
    expectError(381, kBadIndex, [&] { fft.RealIn(0, 1); });
    expectError(381, kBadIndex, [&] { fft.ImagIn(1025, 1); });
    expectError(381, kBadIndex, [&] { fft.ComplexOut(1025); });
    expectError(381, kBadIndex, [&] { fft.ImagOut(0); });
    expectError(380, kBadSize, [&] { fft.setNumberOfSamples(1000); });
    EXPECT_EQ(fft.NumberOfSamples(), 1024) << "a refused size keeps the last one";
    EXPECT_EQ(fft.ComplexOut(1024), 0.0);
}

TEST(Fourier, ReversesTheLowBitsOfAnIndex) {
    EXPECT_EQ(clsFourier::reverseBits(1, 10), 512u);
    EXPECT_EQ(clsFourier::reverseBits(0b0011, 4), 0b1100u);
    EXPECT_EQ(clsFourier::reverseBits(0b1011, 4), 0b1101u);
    EXPECT_EQ(clsFourier::reverseBits(6, 3), 3u);
    EXPECT_EQ(clsFourier::reverseBits(1023, 10), 1023u);
}
