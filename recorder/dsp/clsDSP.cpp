#include "recorder/dsp/clsDSP.h"

#include "platform/ui/error.h"
#include "recorder/dsp/SampleMath.h"

#include <QString>

#include <algorithm>
#include <cmath>

namespace {

constexpr long kErrInvalidValue = 32000;

[[noreturn]] void raise(const char* text) {
    throw platform::Error(kErrInvalidValue, platform::programName() + QStringLiteral(".clsDSP"),
                          QString::fromLatin1(text));
}

float single(double value) {
    return static_cast<float>(value);
}

}  // namespace

clsDSP::clsDSP() = default;

void clsDSP::setSamplerate(std::int32_t samplerate) {
    if (samplerate < 1 || samplerate > 96000) {
        raise("invalid samplerate");
    }
    samplerate_ = samplerate;
    rebuildAll();
}

void clsDSP::setChannels(std::int32_t channels) {
    if (channels < 1 || channels > 2) {
        raise("invalid channels");
    }
    channels_ = static_cast<std::int16_t>(channels);
    rebuildAll();
}

void clsDSP::setEchoLength(std::int32_t milliseconds) {
    echoLength_ = milliseconds;
    rebuildEcho();
}

void clsDSP::setEchoAmp(float amp) {
    // Written this way round, not-a-number is stored as 0.9 too.
    echoAmp_ = amp <= 0.9f ? amp : 0.9f;
    rebuildEcho();
}

void clsDSP::setPhaseShiftWet(float value) {
    phaseWet_ = value;
    rebuildPhaseShifter();
}

void clsDSP::setPhaseShiftDry(float value) {
    phaseDry_ = value;
    rebuildPhaseShifter();
}

void clsDSP::setPhaseShiftFeedback(float value) {
    phaseFeedback_ = value;
    rebuildPhaseShifter();
}

void clsDSP::setPhaseShiftSweepRate(float value) {
    sweepRate_ = value;
    rebuildPhaseShifter();
}

void clsDSP::setPhaseShiftSweepRange(float value) {
    sweepRange_ = value;
    rebuildPhaseShifter();
}

void clsDSP::setPhaseShiftFrequency(float value) {
    sweepFrequency_ = value;
    rebuildPhaseShifter();
}

void clsDSP::setEqualizerBands(std::int32_t bands) {
    if (bands < 1 || bands > kMaxBands) {
        raise("Out Of Bounds!");
    }
    bandCount_ = bands;
    bands_.fill(IIRFilter{});
    bandGains_.fill(0.0f);
    rebuildEqualizer();
}

void clsDSP::checkBand(std::int32_t index) const {
    if (index < 0 || index >= bandCount_) {
        raise("Out Of Bounds!");
    }
}

float clsDSP::EqualizerBandGainDB(std::int32_t index) const {
    checkBand(index);
    return bandGains_[static_cast<std::size_t>(index)];
}

void clsDSP::setEqualizerBandGainDB(std::int32_t index, float dB) {
    checkBand(index);
    bandGains_[static_cast<std::size_t>(index)] = dB;
    rebuildEqualizer();
}

std::int32_t clsDSP::EqualizerBandFrequency(std::int32_t index) const {
    checkBand(index);
    const double rounded =
        std::nearbyint(static_cast<double>(bands_[static_cast<std::size_t>(index)].Frequency()));
    return std::isfinite(rounded) ? static_cast<std::int32_t>(rounded) : 0;
}

const IIRFilter& clsDSP::band(std::int32_t index) const {
    checkBand(index);
    return bands_[static_cast<std::size_t>(index)];
}

void clsDSP::rebuildAll() {
    if (samplerate_ == 0 || channels_ == 0) {
        return;
    }
    rebuildEcho();
    rebuildPhaseShifter();
    rebuildEqualizer();
}

void clsDSP::rebuildEcho() {
    if (samplerate_ == 0) {
        return;
    }
    const double milliseconds = std::min<double>(echoLength_, kMaxEchoMilliseconds);
    const double length = std::nearbyint(samplerate_ / 1000.0 * milliseconds);
    echoLine_.assign(length >= 1 ? static_cast<std::size_t>(length) : 0, 0);
    echoPosition_ = 0;
    echoGain_ = echoAmp_;
}

void clsDSP::rebuildPhaseShifter() {
    if (samplerate_ == 0) {
        return;
    }
    constexpr float pi = 3.1415927f;
    const auto rate = static_cast<float>(samplerate_);
    sweepMin_ = sweepFrequency_ * pi / rate;
    const float range = single(std::pow(2.0, static_cast<double>(sweepRange_)));
    sweepMax_ = sweepFrequency_ * pi * range / rate;
    sweepBaseFactor_ =
        single(std::pow(static_cast<double>(range), static_cast<double>(2 * sweepRate_ / rate)));
    sweepFactor_ = sweepBaseFactor_;
    sweep_ = sweepMin_;
    // Between two finite, non-negative limits the sweep stays finite and every stage stays an
    // all-pass with a coefficient in (-1, 1].
    phaseUsable_ = std::isfinite(sweepMin_) && std::isfinite(sweepMax_) && sweepMin_ >= 0 &&
                   sweepMin_ <= sweepMax_ && std::isfinite(sweepBaseFactor_) &&
                   sweepBaseFactor_ > 0 && std::isfinite(1.0f / sweepBaseFactor_);
}

void clsDSP::rebuildEqualizer() {
    if (samplerate_ == 0) {
        return;
    }
    const double top = std::nearbyint(samplerate_ / 3.0);
    const double bandwidth = std::log(top / 80.0) / 4.0;
    for (std::int32_t i = 0; i < bandCount_; ++i) {
        const double position = bandCount_ == 1 ? 0.5 : static_cast<double>(i) / (bandCount_ - 1);
        const double frequency = 80.0 * std::pow(top / 80.0, position);
        const auto index = static_cast<std::size_t>(i);
        bands_[index].CreateBiquadIIR(IIRFilter::PeakingEq, bandGains_[index], single(frequency),
                                      static_cast<float>(samplerate_), single(bandwidth));
    }
}

void clsDSP::Amplify(std::span<std::int16_t> intSamples, float value, std::int32_t mode) noexcept {
    double factor = 0;
    switch (mode) {
        case 0:
            factor = std::pow(10.0, static_cast<double>(value) / 20.0);
            break;
        case 1:
            factor = static_cast<double>(value) / 100.0;
            break;
        case 2:
            factor = static_cast<double>(value);
            break;
        default:
            break;
    }
    const auto f = static_cast<float>(factor);
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128 gain = _mm_set1_ps(f);
    for (; i + 8 <= intSamples.size(); i += 8) {
        auto* const at = reinterpret_cast<__m128i*>(intSamples.data() + i);
        __m128 low, high;
        dsp::x8::toFloats(_mm_loadu_si128(at), low, high);
        _mm_storeu_si128(at, dsp::x8::limit16(_mm_mul_ps(low, gain), _mm_mul_ps(high, gain)));
    }
#endif
    for (; i < intSamples.size(); ++i) {
        intSamples[i] = dsp::limit16(static_cast<float>(intSamples[i]) * f);
    }
}

void clsDSP::processEcho(std::span<std::int16_t> samples) noexcept {
    const std::size_t n = echoLine_.size();
    if (n == 0) {
        return;
    }
    std::int16_t* const line = echoLine_.data();
    std::size_t p = echoPosition_;
    const float gain = echoGain_;
    std::int16_t* s = samples.data();
    std::size_t left = samples.size();
    // In runs up to the end of the line: within a run every line entry is read and written once,
    // so the samples of a run are independent of each other.
    while (left > 0) {
        const std::size_t run = std::min(left, n - p);
        std::size_t i = 0;
#if defined(__SSE2__)
        const __m128 factor = _mm_set1_ps(gain);
        for (; i + 8 <= run; i += 8) {
            auto* const sample = reinterpret_cast<__m128i*>(s + i);
            auto* const delayed = reinterpret_cast<__m128i*>(line + p + i);
            const __m128i mixed = _mm_adds_epi16(_mm_loadu_si128(sample), _mm_loadu_si128(delayed));
            _mm_storeu_si128(sample, mixed);
            __m128 low, high;
            dsp::x8::toFloats(mixed, low, high);
            _mm_storeu_si128(delayed,
                             dsp::x8::limit16(_mm_mul_ps(low, factor), _mm_mul_ps(high, factor)));
        }
#endif
        for (; i < run; ++i) {
            const int mixed = std::clamp(int{s[i]} + int{line[p + i]}, -32768, 32767);
            s[i] = static_cast<std::int16_t>(mixed);
            line[p + i] = dsp::limit16(static_cast<float>(mixed) * gain);
        }
        s += run;
        left -= run;
        p += run;
        if (p == n) {
            p = 0;
        }
    }
    echoPosition_ = p;
}

void clsDSP::processPhaseShifter(std::span<std::int16_t> samples) noexcept {
    if (!phaseUsable_) {
        return;
    }
    const float feedback = phaseFeedback_;
    const float wet = phaseWet_;
    const float dry = phaseDry_;
    const float lowest = sweepMin_;
    const float highest = sweepMax_;
    const float up = sweepBaseFactor_;
    const float down = 1.0f / sweepBaseFactor_;
    float w = sweep_;
    float factor = sweepFactor_;
    float x1 = stages_[0].x, y1 = stages_[0].y;
    float x2 = stages_[1].x, y2 = stages_[1].y;
    float x3 = stages_[2].x, y3 = stages_[2].y;
    float x4 = stages_[3].x, y4 = stages_[3].y;
    for (std::int16_t& s : samples) {
        const float in = static_cast<float>(s) / 32767.0f;
        const float coef = (1.0f - w) / (1.0f + w);
        const float v = in + feedback * y4;
        // (u + y) x coef - x written as u x coef + (y x coef - x): the bracket does not wait for
        // the stage's new input, which halves the chain of dependent steps through the stages.
        y1 = v * coef + (y1 * coef - x1);
        x1 = v;
        y2 = y1 * coef + (y2 * coef - x2);
        x2 = y1;
        y3 = y2 * coef + (y3 * coef - x3);
        x3 = y2;
        y4 = y3 * coef + (y4 * coef - x4);
        x4 = y3;
        w *= factor;
        if (w > highest) {
            factor = down;
        } else if (w < lowest) {
            factor = up;
        }
        s = dsp::limit16((in * dry + wet * y4) * 32767.0f);
    }
    stages_ = {PhaseStage{x1, y1}, PhaseStage{x2, y2}, PhaseStage{x3, y3}, PhaseStage{x4, y4}};
    // Feedback above 1 makes the loop unstable; once it has run to infinity, start from rest.
    for (const PhaseStage& stage : stages_) {
        if (!std::isfinite(stage.x) || !std::isfinite(stage.y)) {
            stages_ = {};
            break;
        }
    }
    sweep_ = w;
    sweepFactor_ = factor;
}

void clsDSP::ProcessSamples(std::span<std::int16_t> intSamples) noexcept {
    if (samplerate_ == 0 || channels_ == 0) {
        return;
    }
    const dsp::FlushDenormals flush;
    if (effectsUsed_ & Amplifier) {
        Amplify(intSamples, static_cast<float>(amplifyDB_), 0);
    }
    if (effectsUsed_ & Echo) {
        processEcho(intSamples);
    }
    if (effectsUsed_ & PhaseShift) {
        processPhaseShifter(intSamples);
    }
    if (effectsUsed_ & Equalizer) {
        IIRFilter::ProcessCascade_16bit(
            std::span(bands_).first(static_cast<std::size_t>(bandCount_)), intSamples);
    }
}
