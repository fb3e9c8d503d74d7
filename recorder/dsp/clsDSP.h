#pragma once

#include "recorder/dsp/IIRFilter.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

// The recorder's effects chain: amplifier, echo, four-stage phase shifter and graphic equaliser,
// applied in that order and in place to each captured buffer of 16-bit samples. Interleaved
// stereo is treated as one sequence of samples by every effect. Property writes that change
// derived state rebuild it at once; processing allocates nothing and never fails.
//
// Out-of-range writes of samplerate, Channels and EqualizerBands, and band indexes outside the
// band count, raise platform::Error 32000 and change nothing.
//
// Cases the settings alone cannot make sensible are handled so that processing stays safe:
// - one equaliser band sits in the middle of the logarithmic range, at 80 x (top / 80) ^ 0.5;
// - an echo delay that rounds to no samples (0 ms, negative, or below one sample period) turns
//   the echo into a pass-through; delays above one minute act as one minute, so a stray value
//   cannot claim gigabytes for the delay line;
// - phase-shifter settings that give no usable sweep (a negative or non-finite lowest or highest
//   sweep, or a sweep factor that is not a finite positive number) make it a pass-through.
class clsDSP {
  public:
    enum Effect : std::int32_t { Echo = 1, PhaseShift = 2, Amplifier = 4, Equalizer = 8 };
    static constexpr std::int32_t kMaxBands = 10;
    static constexpr std::int32_t kMaxEchoMilliseconds = 60000;

    clsDSP();

    std::int32_t samplerate() const { return samplerate_; }
    void setSamplerate(std::int32_t samplerate);
    std::int16_t Channels() const { return channels_; }
    void setChannels(std::int32_t channels);

    std::int32_t EffectsUsed() const { return effectsUsed_; }
    void setEffectsUsed(std::int32_t mask) { effectsUsed_ = mask; }

    std::int32_t EchoLength() const { return echoLength_; }
    void setEchoLength(std::int32_t milliseconds);
    float EchoAmp() const { return echoAmp_; }
    void setEchoAmp(float amp);

    std::int32_t AmplifyDB() const { return amplifyDB_; }
    void setAmplifyDB(std::int32_t dB) { amplifyDB_ = dB; }

    float PhaseShiftWet() const { return phaseWet_; }
    void setPhaseShiftWet(float value);
    float PhaseShiftDry() const { return phaseDry_; }
    void setPhaseShiftDry(float value);
    float PhaseShiftFeedback() const { return phaseFeedback_; }
    void setPhaseShiftFeedback(float value);
    float PhaseShiftSweepRate() const { return sweepRate_; }
    void setPhaseShiftSweepRate(float value);
    float PhaseShiftSweepRange() const { return sweepRange_; }
    void setPhaseShiftSweepRange(float value);
    float PhaseShiftFrequency() const { return sweepFrequency_; }
    void setPhaseShiftFrequency(float value);

    std::int32_t EqualizerBands() const { return bandCount_; }
    void setEqualizerBands(std::int32_t bands);
    float EqualizerBandGainDB(std::int32_t index) const;
    void setEqualizerBandGainDB(std::int32_t index, float dB);
    std::int32_t EqualizerBandFrequency(std::int32_t index) const;

    void ProcessSamples(std::span<std::int16_t> intSamples) noexcept;

    // The amplifier on its own. Mode 0: value in dB; 1: value in percent; 2: the factor itself;
    // any other mode: factor 0.
    static void Amplify(std::span<std::int16_t> intSamples, float value,
                        std::int32_t mode) noexcept;

    // Derived state, read-only, for the displays and for checking the rebuild rules.
    struct PhaseStage {
        float x = 0;
        float y = 0;
    };
    std::span<const std::int16_t> echoLine() const { return echoLine_; }
    std::size_t echoPosition() const { return echoPosition_; }
    float echoGain() const { return echoGain_; }
    const std::array<PhaseStage, 4>& phaseStages() const { return stages_; }
    float sweepLowest() const { return sweepMin_; }
    float sweepHighest() const { return sweepMax_; }
    float sweep() const { return sweep_; }
    float sweepFactor() const { return sweepFactor_; }
    float sweepBaseFactor() const { return sweepBaseFactor_; }
    const IIRFilter& band(std::int32_t index) const;

  private:
    void rebuildAll();
    void rebuildEcho();
    void rebuildPhaseShifter();
    void rebuildEqualizer();
    void checkBand(std::int32_t index) const;

    void processEcho(std::span<std::int16_t> samples) noexcept;
    void processPhaseShifter(std::span<std::int16_t> samples) noexcept;

    std::int32_t samplerate_ = 0;
    std::int16_t channels_ = 0;
    std::int32_t effectsUsed_ = 0;
    std::int32_t echoLength_ = 100;
    float echoAmp_ = 0.4f;
    std::int32_t amplifyDB_ = 3;
    float phaseWet_ = 1.0f;
    float phaseDry_ = 1.0f;
    float phaseFeedback_ = 0.5f;
    float sweepRate_ = 1.0f;
    float sweepRange_ = 4.0f;
    float sweepFrequency_ = 100.0f;
    std::int32_t bandCount_ = 7;
    std::array<float, kMaxBands> bandGains_{};
    std::array<IIRFilter, kMaxBands> bands_{};

    std::vector<std::int16_t> echoLine_;
    std::size_t echoPosition_ = 0;
    float echoGain_ = 0;

    std::array<PhaseStage, 4> stages_{};
    bool phaseUsable_ = false;
    float sweepMin_ = 0;
    float sweepMax_ = 0;
    float sweep_ = 0;
    float sweepFactor_ = 0;
    float sweepBaseFactor_ = 0;
};
