#pragma once
// Independent references for the effect and analysis tests, evaluated in double precision.

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

namespace dsptest {

struct Biquad {
    double b0, b1, b2, a1, a2;
};

// The audio EQ cookbook's low-pass, high-pass, constant 0 dB peak band-pass and peaking filters,
// bandwidth form, normalised by a0.
inline Biquad cookbook(int type, double gainDB, double freq, double rate, double bandwidth) {
    const double a = std::pow(10.0, gainDB / 40);
    const double w0 = 2 * std::numbers::pi * freq / rate;
    const double alpha =
        std::sin(w0) * std::sinh(std::log(2.0) / 2 * bandwidth * w0 / std::sin(w0));
    const double c = std::cos(w0);
    double b0 = 0, b1 = 0, b2 = 0, a0 = 1 + alpha, a1 = -2 * c, a2 = 1 - alpha;
    switch (type) {
        case 0:
            b0 = (1 - c) / 2, b1 = 1 - c, b2 = (1 - c) / 2;
            break;
        case 1:
            b0 = (1 + c) / 2, b1 = -(1 + c), b2 = (1 + c) / 2;
            break;
        case 2:
            b0 = alpha, b1 = 0, b2 = -alpha;
            break;
        default:
            b0 = 1 + alpha * a, b1 = -2 * c, b2 = 1 - alpha * a;
            a0 = 1 + alpha / a, a2 = 1 - alpha / a;
            break;
    }
    return {b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
}

// |H(e^jw)| of a section at frequency f.
inline double magnitudeAt(const Biquad& q, double freq, double rate) {
    const std::complex<double> z1 = std::polar(1.0, -2 * std::numbers::pi * freq / rate);
    const std::complex<double> z2 = z1 * z1;
    return std::abs((q.b0 + q.b1 * z1 + q.b2 * z2) / (1.0 + q.a1 * z1 + q.a2 * z2));
}

// The transform with the exponent sign +: X[k] = sum x[n] e^(+2 pi i k n / N).
inline std::vector<std::complex<double>> directDft(const std::vector<std::complex<double>>& x) {
    const std::size_t n = x.size();
    std::vector<std::complex<double>> out(n);
    for (std::size_t k = 0; k < n; ++k) {
        std::complex<double> sum = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double angle =
                2 * std::numbers::pi * static_cast<double>((k * i) % n) / static_cast<double>(n);
            sum += x[i] * std::polar(1.0, angle);
        }
        out[k] = sum;
    }
    return out;
}

// Noise with a slowly moving loudness, like music: full-scale peaks and quiet stretches.
inline std::vector<std::int16_t> musicLikeNoise(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::vector<std::int16_t> out(count);
    double low = 0;
    for (std::size_t i = 0; i < count; ++i) {
        low = 0.995 * low + 0.1 * noise(random);
        const double loudness = 0.55 + 0.45 * std::sin(static_cast<double>(i) / 20000.0);
        const double v = (2500 * low + 3000 * noise(random)) * loudness;
        out[i] = static_cast<std::int16_t>(std::clamp(v, -32768.0, 32767.0));
    }
    return out;
}

}  // namespace dsptest
