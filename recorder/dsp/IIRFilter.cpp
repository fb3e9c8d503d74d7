#include "recorder/dsp/IIRFilter.h"

#include "recorder/dsp/SampleMath.h"

#include <cmath>

namespace {

// The functions of the formulas work in double; every named quantity is kept as a single, as the
// filter's state is.
float single(double value) {
    return static_cast<float>(value);
}

bool allFinite(const IIRFilter::Coefficients& c) {
    return std::isfinite(c.b0) && std::isfinite(c.b1) && std::isfinite(c.b2) &&
           std::isfinite(c.a1) && std::isfinite(c.a2);
}

}  // namespace

void IIRFilter::restartIfBroken() {
    const History& h = history_;
    if (!(std::isfinite(h.x1) && std::isfinite(h.x2) && std::isfinite(h.y1) &&
          std::isfinite(h.y2))) {
        history_ = {};
    }
}

void IIRFilter::setGainDB(float gainDB) {
    gainDB_ = gainDB;
    recreate();
}

void IIRFilter::setFrequency(float frequency) {
    frequency_ = frequency;
    recreate();
}

void IIRFilter::setBandwidth(float bandwidth) {
    bandwidth_ = bandwidth;
    recreate();
}

void IIRFilter::setSamplerate(std::int32_t samplerate) {
    samplerate_ = samplerate;
    recreate();
}

void IIRFilter::recreate() {
    if (samplerate_ > 0) {
        CreateBiquadIIR(type_, gainDB_, frequency_, static_cast<float>(samplerate_), bandwidth_);
    }
}

void IIRFilter::CreateBiquadIIR(std::int32_t IIRType, float dBGain, float freq, float srate,
                                float bw) {
    type_ = IIRType;
    gainDB_ = dBGain;
    frequency_ = freq;
    bandwidth_ = bw;
    const double rate = std::nearbyint(static_cast<double>(srate));
    samplerate_ =
        std::isfinite(rate) && std::fabs(rate) < 2147483647.0 ? static_cast<std::int32_t>(rate) : 0;
    history_ = {};

    const float a = single(std::pow(10.0, static_cast<double>(dBGain) / 40.0));
    const float w0 = 6.2831855f * freq / static_cast<float>(samplerate_);
    const float sn = single(std::sin(static_cast<double>(w0)));
    const float cs = single(std::cos(static_cast<double>(w0)));
    const float alpha = sn * single(std::sinh(static_cast<double>(0.3465736f * bw * w0 / sn)));

    float b0 = 0, b1 = 0, b2 = 0, a0 = 0, a1 = -2 * cs, a2 = 0;
    switch (IIRType) {
        case LowPass:
            b0 = (1 - cs) / 2;
            b1 = 1 - cs;
            b2 = (1 - cs) / 2;
            break;
        case HighPass:
            b0 = (1 + cs) / 2;
            b1 = -(1 + cs);
            b2 = (1 + cs) / 2;
            break;
        case BandPass:
            b0 = alpha;
            b1 = 0;
            b2 = -alpha;
            break;
        case PeakingEq:
            b0 = 1 + alpha * a;
            b1 = -2 * cs;
            b2 = 1 - alpha * a;
            break;
        default:
            coefficients_ = {1, 0, 0, 0, 0};
            return;
    }
    if (IIRType == PeakingEq) {
        a0 = 1 + alpha / a;
        a2 = 1 - alpha / a;
    } else {
        a0 = 1 + alpha;
        a2 = 1 - alpha;
    }
    const Coefficients computed{b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
    coefficients_ = allFinite(computed) ? computed : Coefficients{1, 0, 0, 0, 0};
}

namespace {

// One section's step: the feedback terms are added last, with y1 at the very end, so that only a
// multiply and a subtraction lie on the recursion from one sample to the next.
inline float filterStep(const IIRFilter::Coefficients& c, IIRFilter::History& h, float x) {
    const float y = ((c.b0 * x + c.b1 * h.x1 + c.b2 * h.x2) - c.a2 * h.y2) - c.a1 * h.y1;
    h.x2 = h.x1;
    h.x1 = x;
    h.y2 = h.y1;
    h.y1 = y;
    return y;
}

// An output in -1..1 back on the 16-bit scale, as a float holding a whole number.
inline float toSampleScale(float y) {
    if (y > 1.0f) {
        return 32767.0f;
    }
    if (y >= -1.0f) {
        return dsp::roundHalfEven(y * 32767.0f);
    }
    if (y < -1.0f) {
        return -32768.0f;
    }
    return 0.0f;
}

}  // namespace

void IIRFilter::ProcessSamples_16bit(std::span<std::int16_t> intSamples) noexcept {
    if (!enabled_) {
        return;
    }
    const dsp::FlushDenormals flush;
    const Coefficients c = coefficients_;
    History h = history_;
    constexpr float kToUnit = 1.0f / 32767.0f;
    for (std::int16_t& s : intSamples) {
        s = static_cast<std::int16_t>(toSampleScale(filterStep(c, h, s * kToUnit)));
    }
    history_ = h;
    restartIfBroken();
}

void IIRFilter::ProcessSamples_8bit(std::span<std::uint8_t> btSamples) noexcept {
    if (!enabled_) {
        return;
    }
    const dsp::FlushDenormals flush;
    const Coefficients c = coefficients_;
    History h = history_;
    for (std::uint8_t& b : btSamples) {
        const float y = filterStep(c, h, static_cast<float>(static_cast<int>(b) - 128) / 127.0f);
        if (y > 1.0f) {
            b = 255;
        } else if (y >= -1.0f) {
            b = static_cast<std::uint8_t>(dsp::roundHalfEven(y * 127.0f + 128.0f));
        } else if (y < -1.0f) {
            b = 0;
        } else {
            b = 128;
        }
    }
    history_ = h;
    restartIfBroken();
}
