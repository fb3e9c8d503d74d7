#include "recorder/dsp/clsDSP.h"

#include "platform/ui/error.h"
#include "tests/recorder/dsp/reference.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <new>
#include <vector>

// Counts every allocation of the test program, so a test can prove that processing makes none.
namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using Samples = std::vector<std::int16_t>;

clsDSP makeChain(std::int32_t mask, std::int32_t rate = 44100, std::int32_t channels = 2) {
    clsDSP dsp;
    dsp.setSamplerate(rate);
    dsp.setChannels(channels);
    dsp.setEffectsUsed(mask);
    return dsp;
}

Samples processed(clsDSP& dsp, Samples samples) {
    dsp.ProcessSamples(samples);
    return samples;
}

void expectError(const std::function<void()>& write, const char* text) {
    try {
        write();
        ADD_FAILURE() << "no error for " << text;
    } catch (const platform::Error& e) {
        EXPECT_EQ(e.number(), 32000);
        EXPECT_EQ(e.description(), QString::fromLatin1(text));
    }
}

Samples impulse(std::size_t count, std::int16_t value) {
    Samples s(count, 0);
    s[0] = value;
    return s;
}

}  // namespace

TEST(EffectsChain, StartsWithTheDocumentedDefaults) {
    clsDSP dsp;
    EXPECT_EQ(dsp.samplerate(), 0);
    EXPECT_EQ(dsp.Channels(), 0);
    EXPECT_EQ(dsp.EffectsUsed(), 0);
    EXPECT_EQ(dsp.EchoLength(), 100);
    EXPECT_FLOAT_EQ(dsp.EchoAmp(), 0.4f);
    EXPECT_EQ(dsp.AmplifyDB(), 3);
    EXPECT_FLOAT_EQ(dsp.PhaseShiftWet(), 1.0f);
    EXPECT_FLOAT_EQ(dsp.PhaseShiftDry(), 1.0f);
    EXPECT_FLOAT_EQ(dsp.PhaseShiftFeedback(), 0.5f);
    EXPECT_FLOAT_EQ(dsp.PhaseShiftSweepRate(), 1.0f);
    EXPECT_FLOAT_EQ(dsp.PhaseShiftSweepRange(), 4.0f);
    EXPECT_FLOAT_EQ(dsp.PhaseShiftFrequency(), 100.0f);
    EXPECT_EQ(dsp.EqualizerBands(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(dsp.EqualizerBandGainDB(i), 0.0f);
    }
    EXPECT_TRUE(dsp.echoLine().empty());
}

TEST(EffectsChain, OutOfRangeWritesRaise32000AndChangeNothing) {
    clsDSP dsp = makeChain(0);
    expectError([&] { dsp.setSamplerate(96001); }, "invalid samplerate");
    expectError([&] { dsp.setSamplerate(0); }, "invalid samplerate");
    expectError([&] { dsp.setSamplerate(-44100); }, "invalid samplerate");
    EXPECT_EQ(dsp.samplerate(), 44100);
    expectError([&] { dsp.setChannels(0); }, "invalid channels");
    expectError([&] { dsp.setChannels(3); }, "invalid channels");
    EXPECT_EQ(dsp.Channels(), 2);
    expectError([&] { dsp.setEqualizerBands(0); }, "Out Of Bounds!");
    expectError([&] { dsp.setEqualizerBands(11); }, "Out Of Bounds!");
    EXPECT_EQ(dsp.EqualizerBands(), 7);
    expectError([&] { dsp.setEqualizerBandGainDB(7, 3); }, "Out Of Bounds!");
    expectError([&] { dsp.EqualizerBandFrequency(-1); }, "Out Of Bounds!");
    EXPECT_EQ(dsp.echoLine().size(), 4410u) << "the failed writes rebuilt nothing";

    dsp.setSamplerate(96000);
    dsp.setSamplerate(1);
    dsp.setEqualizerBands(10);
    dsp.setEqualizerBands(1);
    EXPECT_EQ(dsp.samplerate(), 1);
}

TEST(EffectsChain, LeavesBuffersUntouchedWithoutEffectsOrBeforeRateAndChannelsAreSet) {
    const Samples input = dsptest::musicLikeNoise(5000, 1);
    clsDSP none = makeChain(0);
    EXPECT_EQ(processed(none, input), input);

    clsDSP noChannels;
    noChannels.setSamplerate(44100);
    noChannels.setEffectsUsed(15);
    EXPECT_EQ(processed(noChannels, input), input);
    EXPECT_TRUE(noChannels.echoLine().empty()) << "no rebuild until both are set";

    clsDSP noRate;
    noRate.setChannels(2);
    noRate.setEffectsUsed(15);
    EXPECT_EQ(processed(noRate, input), input);
}

TEST(EffectsChain, AmplifierScalesLimitsAndRoundsHalvesToEven) {
    clsDSP dsp = makeChain(clsDSP::Amplifier);
    EXPECT_EQ(processed(dsp, {30000, -30000, 1000, 0, -1000}),
              (Samples{32767, -32768, 1413, 0, -1413}));

    Samples halves{1, 3, 5, -1, -3, 7};
    clsDSP::Amplify(halves, 0.5f, 2);
    EXPECT_EQ(halves, (Samples{0, 2, 2, 0, -2, 4}));
    Samples percent{1000, -2000};
    clsDSP::Amplify(percent, 50, 1);
    EXPECT_EQ(percent, (Samples{500, -1000}));
    Samples unknownMode{1000, -2000};
    clsDSP::Amplify(unknownMode, 50, 3);
    EXPECT_EQ(unknownMode, (Samples{0, 0}));
    Samples minusSix{10000};
    clsDSP::Amplify(minusSix, -6, 0);
    EXPECT_EQ(minusSix, (Samples{5012}));
}

TEST(EffectsChain, EchoRepeatsAnImpulseEveryHundredMillisecondsAtFourTenths) {
    clsDSP dsp = makeChain(clsDSP::Echo);
    EXPECT_EQ(dsp.echoLine().size(), 4410u);
    const Samples out = processed(dsp, impulse(14000, 10000));
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::int16_t want = i == 0       ? 10000
                                  : i == 4410  ? 4000
                                  : i == 8820  ? 1600
                                  : i == 13230 ? 640
                                               : 0;
        ASSERT_EQ(out[i], want) << "sample " << i;
    }

    // The same across capture buffers: the delay line carries over.
    clsDSP chunked = makeChain(clsDSP::Echo);
    Samples pieces = impulse(14000, 10000);
    for (std::size_t at = 0; at < pieces.size(); at += 1000) {
        chunked.ProcessSamples(std::span<std::int16_t>(pieces).subspan(
            at, std::min<std::size_t>(1000, pieces.size() - at)));
    }
    EXPECT_EQ(pieces, out);
}

TEST(EffectsChain, EchoSumsAreLimitedAndItsGainIsCappedAtNineTenths) {
    clsDSP dsp = makeChain(clsDSP::Echo);
    dsp.setEchoAmp(2);
    EXPECT_FLOAT_EQ(dsp.EchoAmp(), 0.9f);
    EXPECT_FLOAT_EQ(dsp.echoGain(), 0.9f);
    dsp.setEchoAmp(NAN);
    EXPECT_FLOAT_EQ(dsp.EchoAmp(), 0.9f);
    dsp.setEchoAmp(0.5f);
    EXPECT_FLOAT_EQ(dsp.EchoAmp(), 0.5f);

    Samples loud(4410 * 2, 30000);
    dsp.ProcessSamples(loud);
    EXPECT_EQ(loud[4410], 32767) << "30000 + 15000 is limited";
    EXPECT_EQ(loud[0], 30000);
}

TEST(EffectsChain, EchoWritesRebuildTheDelayLineAndDiscardItsContent) {
    clsDSP dsp = makeChain(clsDSP::Echo);
    Samples first = impulse(100, 10000);
    dsp.ProcessSamples(first);
    EXPECT_EQ(dsp.echoLine()[0], 4000);
    EXPECT_EQ(dsp.echoPosition(), 100u);

    dsp.setEchoLength(50);
    EXPECT_EQ(dsp.echoLine().size(), 2205u);
    EXPECT_EQ(dsp.echoPosition(), 0u);
    EXPECT_EQ(std::count(dsp.echoLine().begin(), dsp.echoLine().end(), 0), 2205);

    dsp.setSamplerate(8000);
    EXPECT_EQ(dsp.echoLine().size(), 400u);
}

TEST(EffectsChain, EchoDelaysWithoutASampleLeaveTheSignalAloneAndLongOnesAreCapped) {
    const Samples input = dsptest::musicLikeNoise(3000, 2);
    for (const std::int32_t length : {0, -5, std::numeric_limits<std::int32_t>::min()}) {
        clsDSP dsp = makeChain(clsDSP::Echo);
        dsp.setEchoLength(length);
        EXPECT_TRUE(dsp.echoLine().empty());
        EXPECT_EQ(processed(dsp, input), input) << "length " << length;
    }
    clsDSP lowRate = makeChain(clsDSP::Echo, 1000);
    lowRate.setEchoLength(1);
    EXPECT_EQ(lowRate.echoLine().size(), 1u) << "one sample period is still a delay";
    EXPECT_EQ(processed(lowRate, {1000, 0, 0}), (Samples{1000, 400, 160}));

    clsDSP huge = makeChain(clsDSP::Echo, 96000);
    huge.setEchoLength(std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(huge.echoLine().size(), 96000u * 60u);
}

TEST(EffectsChain, PhaseShifterSweepsBetweenItsLimitsAndMatchesADoublePrecisionModel) {
    clsDSP dsp = makeChain(clsDSP::PhaseShift);
    const double pi = 3.1415927;
    EXPECT_NEAR(dsp.sweepLowest(), 100 * pi / 44100, 1e-9);
    EXPECT_NEAR(dsp.sweepHighest(), 100 * pi * 16 / 44100, 1e-8);
    EXPECT_NEAR(dsp.sweepBaseFactor(), std::pow(16.0, 2.0 / 44100), 1e-7);
    EXPECT_FLOAT_EQ(dsp.sweep(), dsp.sweepLowest());

    // Over the first 10000 samples; further on, the single-precision sweep drifts from the
    // double-precision one by more than rounding.
    const Samples input = dsptest::musicLikeNoise(10000, 4);
    const Samples out = processed(dsp, input);

    double w = 100 * pi / 44100, lowest = w, highest = w * 16;
    const double base = std::pow(16.0, 2.0 / 44100);
    double factor = base;
    double x[4] = {}, y[4] = {};
    int worst = 0;
    for (std::size_t i = 0; i < input.size(); ++i) {
        const double in = input[i] / 32767.0;
        const double coef = (1 - w) / (1 + w);
        double v = in + 0.5 * y[3];
        for (int k = 0; k < 4; ++k) {
            y[k] = (v + y[k]) * coef - x[k];
            x[k] = v;
            v = y[k];
        }
        w *= factor;
        factor = w > highest ? 1 / base : (w < lowest ? base : factor);
        const double want = std::clamp(std::nearbyint((in + y[3]) * 32767), -32768.0, 32767.0);
        worst = std::max(worst, static_cast<int>(std::fabs(out[i] - want)));
    }
    EXPECT_LE(worst, 4);
    EXPECT_NE(out, input);

    // Ten seconds: the sweep glides up and down and never leaves its limits by more than a step.
    float highestSeen = 0;
    for (int buffer = 0; buffer < 100; ++buffer) {
        Samples noise = dsptest::musicLikeNoise(4410, 100 + buffer);
        dsp.ProcessSamples(noise);
        highestSeen = std::max(highestSeen, dsp.sweep());
        EXPECT_GE(dsp.sweep(), dsp.sweepLowest() / dsp.sweepBaseFactor());
        EXPECT_LE(dsp.sweep(), dsp.sweepHighest() * dsp.sweepBaseFactor());
    }
    EXPECT_GT(highestSeen, dsp.sweepHighest() / 2);
}

TEST(EffectsChain, PhaseShifterWritesRestartTheSweepButKeepTheStages) {
    clsDSP dsp = makeChain(clsDSP::PhaseShift);
    Samples noise = dsptest::musicLikeNoise(5000, 6);
    dsp.ProcessSamples(noise);
    const auto stages = dsp.phaseStages();
    EXPECT_NE(stages[3].y, 0.0f);

    dsp.setPhaseShiftFrequency(200);
    EXPECT_EQ(dsp.phaseStages()[3].y, stages[3].y);
    EXPECT_EQ(dsp.phaseStages()[0].x, stages[0].x);
    EXPECT_FLOAT_EQ(dsp.sweep(), 200 * 3.1415927f / 44100);
    EXPECT_FLOAT_EQ(dsp.sweepFactor(), dsp.sweepBaseFactor());

    dsp.setSamplerate(22050);
    EXPECT_EQ(dsp.phaseStages()[3].y, stages[3].y);
    EXPECT_FLOAT_EQ(dsp.sweep(), 200 * 3.1415927f / 22050);
}

TEST(EffectsChain, EqualizerBandsSpreadLogarithmicallyFrom80HzToAThirdOfTheRate) {
    clsDSP dsp = makeChain(clsDSP::Equalizer);
    const double want[] = {80, 190.75, 454.81, 1084.44, 2585.68, 6165.18, 14700};
    for (int i = 0; i < 7; ++i) {
        EXPECT_NEAR(dsp.band(i).Frequency(), want[i], 0.01) << "band " << i;
        EXPECT_NEAR(dsp.band(i).Bandwidth(), 1.3034, 0.0001);
        EXPECT_EQ(dsp.band(i).IIRType(), IIRFilter::PeakingEq);
        EXPECT_EQ(dsp.band(i).samplerate(), 44100);
    }
    EXPECT_EQ(dsp.EqualizerBandFrequency(0), 80);
    EXPECT_EQ(dsp.EqualizerBandFrequency(3), 1084);
    EXPECT_EQ(dsp.EqualizerBandFrequency(6), 14700);

    // A single band cannot be spaced; it sits in the middle of the same logarithmic range.
    dsp.setEqualizerBands(1);
    EXPECT_EQ(dsp.EqualizerBandFrequency(0), 1084);
    dsp.setEqualizerBands(10);
    EXPECT_EQ(dsp.EqualizerBandFrequency(9), 14700);
    EXPECT_EQ(dsp.EqualizerBandFrequency(0), 80);
}

TEST(EffectsChain, FlatEqualizerOnlyRoundsAndABandGainShapesItsBand) {
    const Samples input = dsptest::musicLikeNoise(20000, 7);
    clsDSP flat = makeChain(clsDSP::Equalizer);
    const Samples out = processed(flat, input);
    for (std::size_t i = 0; i < out.size(); ++i) {
        ASSERT_NEAR(out[i], input[i], 2) << "sample " << i;
    }

    clsDSP boosted = makeChain(clsDSP::Equalizer, 44100, 1);
    boosted.setEqualizerBandGainDB(3, 6);
    EXPECT_FLOAT_EQ(boosted.EqualizerBandGainDB(3), 6.0f);
    EXPECT_FLOAT_EQ(boosted.band(3).GainDB(), 6.0f);
    Samples tone(44100);
    for (std::size_t i = 0; i < tone.size(); ++i) {
        tone[i] = static_cast<std::int16_t>(
            std::lround(8000 * std::sin(2 * std::numbers::pi * 1084.44 * i / 44100)));
    }
    // Every band's own response at the tone, from the cookbook in double.
    double gain = 1;
    for (int i = 0; i < 7; ++i) {
        gain *=
            dsptest::magnitudeAt(dsptest::cookbook(3, i == 3 ? 6 : 0, boosted.band(i).Frequency(),
                                                   44100, std::log(14700.0 / 80) / 4),
                                 1084.44, 44100);
    }
    const Samples shaped = processed(boosted, tone);
    double peak = 0;
    for (std::size_t i = 22050; i < shaped.size(); ++i) {
        peak = std::max(peak, std::fabs(static_cast<double>(shaped[i])));
    }
    EXPECT_NEAR(peak / 8000, gain, 0.01);
    EXPECT_NEAR(gain, 2.0, 0.1);
}

TEST(EffectsChain, BandCountWritesReplaceTheFiltersAndResetTheGains) {
    clsDSP dsp = makeChain(clsDSP::Equalizer);
    dsp.setEqualizerBandGainDB(2, 9);
    dsp.setEqualizerBands(5);
    EXPECT_EQ(dsp.EqualizerBands(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(dsp.EqualizerBandGainDB(i), 0.0f);
    }
    EXPECT_EQ(dsp.EqualizerBandFrequency(4), 14700);

    // A gain write recomputes every band, clearing every band's history.
    Samples noise = dsptest::musicLikeNoise(1000, 8);
    dsp.ProcessSamples(noise);
    EXPECT_NE(dsp.band(0).history().x1, 0.0f);
    dsp.setEqualizerBandGainDB(4, -3);
    EXPECT_EQ(dsp.band(0).history().x1, 0.0f);
}

TEST(EffectsChain, EffectsRunAmplifierEchoPhaseShifterEqualizerInThatOrder) {
    // 30000 amplified first is limited to 32767 and echoes as 13107; echoed first it would come
    // back as 12000 x 1.4125.
    clsDSP ampEcho = makeChain(clsDSP::Amplifier | clsDSP::Echo);
    const Samples out = processed(ampEcho, impulse(4411, 30000));
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[4410], 13107);

    const Samples input = dsptest::musicLikeNoise(30000, 10);
    clsDSP all = makeChain(15);
    all.setEqualizerBandGainDB(1, 4);
    Samples stepwise = input;
    for (const std::int32_t bit : {clsDSP::Amplifier, clsDSP::Echo, clsDSP::PhaseShift}) {
        clsDSP one = makeChain(bit);
        one.ProcessSamples(stepwise);
    }
    clsDSP eq = makeChain(clsDSP::Equalizer);
    eq.setEqualizerBandGainDB(1, 4);
    eq.ProcessSamples(stepwise);
    EXPECT_EQ(processed(all, input), stepwise);
}

TEST(EffectsChain, ProcessingAllocatesNothing) {
    clsDSP dsp = makeChain(15);
    Samples buffer = dsptest::musicLikeNoise(5120, 11);
    const long before = allocations.load();
    for (int i = 0; i < 20; ++i) {
        dsp.ProcessSamples(buffer);
    }
    EXPECT_EQ(allocations.load() - before, 0);
}

TEST(EffectsChain, NonsensicalSettingsStillGiveSafeOutputAndRecover) {
    // Values a caller could write by mistake: the chain must neither crash nor stick in a broken
    // state, and every sample must come out as a plain 16-bit value.
    const float odd[] = {NAN, INFINITY, -INFINITY, -1e30f, 1e30f, -1, 0, 1e-40f};
    const Samples input = dsptest::musicLikeNoise(4000, 12);
    for (const float value : odd) {
        SCOPED_TRACE(value);
        clsDSP dsp = makeChain(15);
        dsp.setAmplifyDB(static_cast<std::int32_t>(std::clamp(value, -1e9f, 1e9f)));
        dsp.setEchoAmp(value);
        dsp.setPhaseShiftFeedback(value);
        dsp.setPhaseShiftWet(value);
        dsp.setPhaseShiftSweepRange(value);
        dsp.setPhaseShiftSweepRate(value);
        dsp.setPhaseShiftFrequency(value);
        dsp.setEqualizerBandGainDB(2, value);
        for (int pass = 0; pass < 3; ++pass) {
            Samples buffer = input;
            dsp.ProcessSamples(buffer);
        }

        // Back to sane settings: no state may be stuck at infinity or not-a-number.
        dsp.setAmplifyDB(3);
        dsp.setEchoAmp(0.4f);
        dsp.setPhaseShiftFeedback(0.5f);
        dsp.setPhaseShiftWet(1);
        dsp.setPhaseShiftSweepRange(4);
        dsp.setPhaseShiftSweepRate(1);
        dsp.setPhaseShiftFrequency(100);
        dsp.setEqualizerBandGainDB(2, 0);
        for (const auto& stage : dsp.phaseStages()) {
            EXPECT_TRUE(std::isfinite(stage.x) && std::isfinite(stage.y));
        }
        for (int i = 0; i < 7; ++i) {
            const auto& h = dsp.band(i).history();
            EXPECT_TRUE(std::isfinite(h.y1) && std::isfinite(h.y2));
        }
    }
}

TEST(EffectsChain, SilenceAfterALoudPassageLeavesNoDenormalState) {
    clsDSP dsp = makeChain(clsDSP::PhaseShift | clsDSP::Equalizer);
    dsp.setEqualizerBandGainDB(0, 6);
    dsp.setPhaseShiftFeedback(0.9f);
    Samples loud = dsptest::musicLikeNoise(44100, 13);
    dsp.ProcessSamples(loud);
    int subnormal = 0;
    for (int i = 0; i < 2000; ++i) {
        Samples quiet(64, 0);
        dsp.ProcessSamples(quiet);
        for (const auto& stage : dsp.phaseStages()) {
            subnormal += std::fpclassify(stage.x) == FP_SUBNORMAL;
            subnormal += std::fpclassify(stage.y) == FP_SUBNORMAL;
        }
        for (int b = 0; b < 7; ++b) {
            const auto& h = dsp.band(b).history();
            subnormal += std::fpclassify(h.y1) == FP_SUBNORMAL;
            subnormal += std::fpclassify(h.y2) == FP_SUBNORMAL;
        }
    }
    EXPECT_EQ(subnormal, 0);
    EXPECT_EQ(dsp.phaseStages()[3].y, 0.0f);
}
