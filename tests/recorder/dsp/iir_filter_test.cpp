#include "recorder/dsp/IIRFilter.h"

#include "tests/recorder/dsp/reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

void expectCoefficientsNear(const IIRFilter& filter, const dsptest::Biquad& want) {
    const IIRFilter::Coefficients& c = filter.coefficients();
    const double tolerance = 2e-6 * (1 + std::fabs(want.b1) + std::fabs(want.a1));
    EXPECT_NEAR(c.b0, want.b0, tolerance);
    EXPECT_NEAR(c.b1, want.b1, tolerance);
    EXPECT_NEAR(c.b2, want.b2, tolerance);
    EXPECT_NEAR(c.a1, want.a1, tolerance);
    EXPECT_NEAR(c.a2, want.a2, tolerance);
}

void expectPassThrough(const IIRFilter& filter) {
    const IIRFilter::Coefficients& c = filter.coefficients();
    EXPECT_EQ(c.b0, 1.0f);
    EXPECT_EQ(c.b1, 0.0f);
    EXPECT_EQ(c.b2, 0.0f);
    EXPECT_EQ(c.a1, 0.0f);
    EXPECT_EQ(c.a2, 0.0f);
}

std::vector<std::int16_t> sine(double freq, double rate, double amplitude, std::size_t count) {
    std::vector<std::int16_t> out(count);
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = static_cast<std::int16_t>(
            std::lround(amplitude * std::sin(2 * std::numbers::pi * freq * i / rate)));
    }
    return out;
}

}  // namespace

TEST(IIRFilter, CoefficientsFollowTheCookbookForEveryTypeAndSetting) {
    struct Case {
        int type;
        double gain, freq, rate, bandwidth;
    };
    for (const Case& c :
         {Case{0, 0, 1000, 44100, 1}, Case{0, 0, 80, 8000, 0.3}, Case{1, 0, 5000, 48000, 2},
          Case{1, 0, 200, 22050, 1}, Case{2, 0, 1084.44, 44100, 1.3034},
          Case{2, 0, 12000, 96000, 0.5}, Case{3, 6, 1084.44, 44100, 1.3034},
          Case{3, -12, 14700, 44100, 1.3034}, Case{3, 3, 80, 11025, 3}}) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " at " << c.freq << " Hz");
        IIRFilter filter;
        filter.CreateBiquadIIR(c.type, static_cast<float>(c.gain), static_cast<float>(c.freq),
                               static_cast<float>(c.rate), static_cast<float>(c.bandwidth));
        EXPECT_EQ(filter.IIRType(), c.type);
        EXPECT_EQ(filter.samplerate(), static_cast<int>(c.rate));
        expectCoefficientsNear(filter,
                               dsptest::cookbook(c.type, c.gain, c.freq, c.rate, c.bandwidth));
    }
}

TEST(IIRFilter, PeakingSectionHasItsGainAtTheCentreAndNoneWithZeroDecibels) {
    IIRFilter boost;
    boost.CreateBiquadIIR(IIRFilter::PeakingEq, 6, 1000, 44100, 1);
    const auto& c = boost.coefficients();
    const dsptest::Biquad asFound{c.b0, c.b1, c.b2, c.a1, c.a2};
    EXPECT_NEAR(20 * std::log10(dsptest::magnitudeAt(asFound, 1000, 44100)), 6.0, 0.01);

    // 0 dB: numerator and denominator agree, so a signal passes within single-precision rounding.
    IIRFilter flat;
    flat.CreateBiquadIIR(IIRFilter::PeakingEq, 0, 1000, 44100, 1.3034f);
    std::vector<std::int16_t> samples = dsptest::musicLikeNoise(20000, 3);
    const std::vector<std::int16_t> before = samples;
    flat.ProcessSamples_16bit(samples);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        ASSERT_NEAR(samples[i], before[i], 1) << "sample " << i;
    }
}

TEST(IIRFilter, FilteringMatchesADoublePrecisionSectionWithinOneStep) {
    IIRFilter filter;
    filter.CreateBiquadIIR(IIRFilter::LowPass, 0, 2000, 44100, 1);
    const dsptest::Biquad q = dsptest::cookbook(0, 0, 2000, 44100, 1);
    std::vector<std::int16_t> samples = dsptest::musicLikeNoise(30000, 5);
    const std::vector<std::int16_t> input = samples;
    filter.ProcessSamples_16bit(samples);

    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (std::size_t i = 0; i < input.size(); ++i) {
        const double x = input[i] / 32767.0;
        const double y = q.b0 * x + q.b1 * x1 + q.b2 * x2 - q.a1 * y1 - q.a2 * y2;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        const double want = y > 1 ? 32767 : (y < -1 ? -32768 : std::nearbyint(y * 32767));
        ASSERT_NEAR(samples[i], want, 1) << "sample " << i;
    }
}

TEST(IIRFilter, ResultsAreLimitedToTheSampleRange) {
    // +24 dB at the tone's frequency drives a near full-scale tone far beyond the range.
    IIRFilter loud;
    loud.CreateBiquadIIR(IIRFilter::PeakingEq, 24, 1000, 44100, 1);
    std::vector<std::int16_t> samples = sine(1000, 44100, 30000, 4410);
    loud.ProcessSamples_16bit(samples);
    EXPECT_EQ(*std::max_element(samples.begin(), samples.end()), 32767);
    EXPECT_EQ(*std::min_element(samples.begin(), samples.end()), -32768);

    IIRFilter loud8;
    loud8.CreateBiquadIIR(IIRFilter::PeakingEq, 24, 1000, 44100, 1);
    std::vector<std::uint8_t> bytes(4410);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(
            std::lround(128 + 120 * std::sin(2 * std::numbers::pi * 1000 * i / 44100)));
    }
    loud8.ProcessSamples_8bit(bytes);
    EXPECT_EQ(*std::max_element(bytes.begin(), bytes.end()), 255);
    EXPECT_EQ(*std::min_element(bytes.begin(), bytes.end()), 0);
}

TEST(IIRFilter, EightBitSamplesAreCentredOn128) {
    IIRFilter flat;
    flat.CreateBiquadIIR(IIRFilter::PeakingEq, 0, 1000, 8000, 1);
    std::vector<std::uint8_t> bytes{128, 128, 1, 255, 128, 200, 30, 128};
    const std::vector<std::uint8_t> before = bytes;
    flat.ProcessSamples_8bit(bytes);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        EXPECT_NEAR(bytes[i], before[i], 1) << "sample " << i;
    }
}

TEST(IIRFilter, UnknownTypesAndImpossibleSettingsPassTheSignalUnchanged) {
    // No formulas exist for these; a section that would divide by zero must not turn the signal
    // into noise or silence.
    IIRFilter unknown;
    unknown.CreateBiquadIIR(7, 6, 1000, 44100, 1);
    EXPECT_EQ(unknown.IIRType(), 7);
    expectPassThrough(unknown);
    IIRFilter negative;
    negative.CreateBiquadIIR(-1, 0, 1000, 44100, 1);
    expectPassThrough(negative);
    IIRFilter noFrequency;
    noFrequency.CreateBiquadIIR(IIRFilter::PeakingEq, 6, 0, 44100, 1);
    expectPassThrough(noFrequency);
    IIRFilter noRate;
    noRate.CreateBiquadIIR(IIRFilter::LowPass, 0, 1000, 0, 1);
    expectPassThrough(noRate);
    IIRFilter notANumber;
    notANumber.CreateBiquadIIR(IIRFilter::PeakingEq, NAN, 1000, 44100, 1);
    expectPassThrough(notANumber);

    std::vector<std::int16_t> samples{0, 1, -1, 32767, -32768, 12345};
    const std::vector<std::int16_t> before = samples;
    unknown.ProcessSamples_16bit(samples);
    EXPECT_EQ(samples, before);
}

TEST(IIRFilter, PropertyWritesRecomputeOnlyOnceARateIsKnownAndClearTheHistory) {
    IIRFilter filter;
    filter.setFrequency(1000);
    filter.setBandwidth(1);
    EXPECT_EQ(filter.coefficients().b0, 0.0f) << "no rate yet: nothing computed";

    filter.setSamplerate(44100);
    expectCoefficientsNear(filter, dsptest::cookbook(0, 0, 1000, 44100, 1));

    std::vector<std::int16_t> samples(64, 20000);
    filter.ProcessSamples_16bit(samples);
    EXPECT_NE(filter.history().y1, 0.0f);
    filter.setFrequency(2000);
    EXPECT_EQ(filter.history().y1, 0.0f);
    EXPECT_EQ(filter.history().x1, 0.0f);
    EXPECT_EQ(filter.Frequency(), 2000.0f);
    expectCoefficientsNear(filter, dsptest::cookbook(0, 0, 2000, 44100, 1));

    filter.CreateBiquadIIR(IIRFilter::HighPass, 0, 500, 22050.4f, 1);
    EXPECT_EQ(filter.samplerate(), 22050) << "the rate is kept as a whole number";
}

TEST(IIRFilter, ADisabledSectionLeavesSamplesAlone) {
    IIRFilter filter;
    filter.CreateBiquadIIR(IIRFilter::LowPass, 0, 100, 44100, 1);
    filter.setEnabled(false);
    std::vector<std::int16_t> samples{1000, -1000, 32767, -32768};
    const std::vector<std::int16_t> before = samples;
    filter.ProcessSamples_16bit(samples);
    EXPECT_EQ(samples, before);
}

TEST(IIRFilter, ADecayingTailEndsInZeroNotInDenormals) {
    // Denormal arithmetic is many times slower on x86: silence after a loud passage must cost no
    // more than the passage, so the decaying history has to reach 0 rather than creep below the
    // smallest normal number.
    IIRFilter filter;
    filter.CreateBiquadIIR(IIRFilter::PeakingEq, 12, 3000, 44100, 1);
    std::vector<std::int16_t> loud = dsptest::musicLikeNoise(20000, 9);
    filter.ProcessSamples_16bit(loud);
    // Sample by sample, so that every value the history passes through is seen.
    int subnormal = 0;
    for (int i = 0; i < 44100; ++i) {
        std::int16_t zero = 0;
        filter.ProcessSamples_16bit(std::span<std::int16_t>(&zero, 1));
        const IIRFilter::History& h = filter.history();
        for (const float v : {h.x1, h.x2, h.y1, h.y2}) {
            subnormal += std::fpclassify(v) == FP_SUBNORMAL;
        }
    }
    EXPECT_EQ(subnormal, 0);
    EXPECT_EQ(filter.history().y1, 0.0f);
    EXPECT_EQ(filter.history().y2, 0.0f);

    // The flushing ends with the processing: ordinary code still sees denormal numbers.
    volatile float smallest = 1e-37f;
    const float tiny = smallest / 1000.0f;
    EXPECT_EQ(std::fpclassify(tiny), FP_SUBNORMAL);
}
