#pragma once

#include <cstdint>
#include <span>

// One biquad section of the effects chain: low-pass, high-pass, band-pass (0 dB peak) or peaking
// equaliser, with its coefficients from the audio EQ cookbook's bandwidth form. All arithmetic is
// single precision; samples are filtered in place.
class IIRFilter {
  public:
    enum Type : std::int32_t { LowPass = 0, HighPass = 1, BandPass = 2, PeakingEq = 3 };

    // b0..a2, each already divided by a0.
    struct Coefficients {
        float b0 = 0, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    };
    // The two previous inputs and the two previous outputs.
    struct History {
        float x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    };

    bool Enabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }

    std::int32_t IIRType() const { return type_; }

    // Each write stores the value and, once a rate above 0 is known, recomputes the coefficients
    // (clearing the history).
    float GainDB() const { return gainDB_; }
    void setGainDB(float gainDB);
    float Frequency() const { return frequency_; }
    void setFrequency(float frequency);
    float Bandwidth() const { return bandwidth_; }
    void setBandwidth(float bandwidth);
    std::int32_t samplerate() const { return samplerate_; }
    void setSamplerate(std::int32_t samplerate);

    // Stores the parameters (the rate rounded to an integer), computes the coefficients and
    // clears the history. A type outside 0 to 3, or parameters for which the formulas give no
    // finite coefficients (a rate of 0, a frequency of 0, a negative bandwidth that cancels a0),
    // make a section that passes the signal unchanged.
    void CreateBiquadIIR(std::int32_t IIRType, float dBGain, float freq, float srate, float bw);

    // Filter in place; never fail, every result stays in the sample type's range. A section that
    // is not enabled leaves the samples alone.
    void ProcessSamples_16bit(std::span<std::int16_t> intSamples) noexcept;
    void ProcessSamples_8bit(std::span<std::uint8_t> btSamples) noexcept;

    // The same samples (and histories) as each enabled section's ProcessSamples_16bit in turn,
    // first to last, but with the sections working side by side in vector lanes: several times
    // faster.
    static void ProcessCascade_16bit(std::span<IIRFilter> sections,
                                     std::span<std::int16_t> intSamples) noexcept;

    const Coefficients& coefficients() const { return coefficients_; }
    const History& history() const { return history_; }

  private:
    void recreate();
    // After an unstable section (only reachable with nonsensical settings) has run to infinity,
    // its history would turn every later output into not-a-number: start it again from rest.
    void restartIfBroken();

    bool enabled_ = true;
    std::int32_t type_ = LowPass;
    float gainDB_ = 0;
    float frequency_ = 0;
    float bandwidth_ = 0;
    std::int32_t samplerate_ = 0;
    Coefficients coefficients_;
    History history_;
};
