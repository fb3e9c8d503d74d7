#include "recorder/dsp/clsFourier.h"

#include "platform/ui/error.h"

#include <QString>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

namespace {

[[noreturn]] void raise(long number, const char* text) {
    throw platform::Error(number, platform::programName() + QStringLiteral(".clsFourier"),
                          QString::fromLatin1(text));
}

// Radix-2 decimation in time, in place on bit-reversed input, with the exponent sign +.
void fftInPlace(double* __restrict re, double* __restrict im, std::size_t n,
                const double* twiddleRe, const double* twiddleIm) {
    // Blocks of two: the twiddle is 1.
    for (std::size_t k = 0; k + 1 < n; k += 2) {
        const double tr = re[k + 1];
        const double ti = im[k + 1];
        re[k + 1] = re[k] - tr;
        im[k + 1] = im[k] - ti;
        re[k] += tr;
        im[k] += ti;
    }
    // Larger blocks: the inner loop runs over contiguous twiddles, which the compiler vectorises.
    for (std::size_t h = 2; h < n; h <<= 1) {
        const double* __restrict wr = twiddleRe + (h - 1);
        const double* __restrict wi = twiddleIm + (h - 1);
        for (std::size_t b = 0; b < n; b += 2 * h) {
            double* __restrict lowRe = re + b;
            double* __restrict lowIm = im + b;
            double* __restrict highRe = re + b + h;
            double* __restrict highIm = im + b + h;
            for (std::size_t j = 0; j < h; ++j) {
                const double tr = wr[j] * highRe[j] - wi[j] * highIm[j];
                const double ti = wr[j] * highIm[j] + wi[j] * highRe[j];
                highRe[j] = lowRe[j] - tr;
                highIm[j] = lowIm[j] - ti;
                lowRe[j] += tr;
                lowIm[j] += ti;
            }
        }
    }
}

}  // namespace

std::uint32_t clsFourier::reverseBits(std::uint32_t value, int bits) {
    std::uint32_t result = 0;
    for (int i = 0; i < bits; ++i) {
        result = (result << 1) | (value & 1);
        value >>= 1;
    }
    return result;
}

void clsFourier::setNumberOfSamples(std::int32_t n) {
    if (n < 2 || n > kMaxSamples || (n & (n - 1)) != 0) {
        raise(380, "Number of samples must be a positive value of the form 2 ^ n");
    }
    const auto size = static_cast<std::size_t>(n);
    int bits = 0;
    while ((std::int32_t{1} << bits) < n) {
        ++bits;
    }
    re_.assign(size, 0.0);
    im_.assign(size, 0.0);
    nonZeroImag_ = 0;
    outRe_.assign(size, 0.0);
    outIm_.assign(size, 0.0);

    // Tables per N: the window, the bit-reversed positions and the twiddle factors are computed
    // once here rather than per input write or per transform.
    constexpr double pi = std::numbers::pi;
    windowTable_.resize(size);
    for (std::size_t i = 0; i < size; ++i) {
        const double x = static_cast<double>(i) / static_cast<double>(n - 1);
        windowTable_[i] = 0.42 - 0.5 * std::cos(2 * pi * x) + 0.08 * std::cos(4 * pi * x);
    }
    reversed_.resize(size);
    for (std::size_t i = 0; i < size; ++i) {
        reversed_[i] = reverseBits(static_cast<std::uint32_t>(i), bits);
    }
    twiddleRe_.resize(size);
    twiddleIm_.resize(size);
    for (std::size_t h = 1; h < size; h <<= 1) {
        for (std::size_t j = 0; j < h; ++j) {
            const double angle = pi * static_cast<double>(j) / static_cast<double>(h);
            twiddleRe_[h - 1 + j] = std::cos(angle);
            twiddleIm_[h - 1 + j] = std::sin(angle);
        }
    }
    n_ = n;
    pending_ = true;
}

void clsFourier::raiseIndex() {
    raise(381, "Index out of range or number of samples unknown");
}

void clsFourier::transform() {
    const auto start = std::chrono::steady_clock::now();
    if (nonZeroImag_ == 0) {
        transformReal();
    } else {
        transformComplex();
    }
    pending_ = false;
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    timing_ = static_cast<float>(took.count());
}

void clsFourier::transformComplex() {
    // The inputs stay as written, so rewriting some of them after a read transforms what the
    // caller sees as its input, not a mix of old output and new values.
    std::copy(re_.begin(), re_.end(), outRe_.begin());
    std::copy(im_.begin(), im_.end(), outIm_.begin());
    fftInPlace(outRe_.data(), outIm_.data(), static_cast<std::size_t>(n_), twiddleRe_.data(),
               twiddleIm_.data());
}

// Real input in half the work: the even samples as real parts and the odd ones as imaginary
// parts make one transform of N / 2 points, which is then split into the two halves' spectra and
// recombined. The bit-reversed layout already holds the even samples, in the half-size order, in
// the first half of the array and the odd ones in the second.
void clsFourier::transformReal() {
    const auto n = static_cast<std::size_t>(n_);
    const std::size_t h = n / 2;
    double* __restrict re = outRe_.data();
    double* __restrict im = outIm_.data();
    std::copy(re_.begin(), re_.begin() + static_cast<std::ptrdiff_t>(h), re);
    std::copy(re_.begin() + static_cast<std::ptrdiff_t>(h), re_.end(), im);
    fftInPlace(re, im, h, twiddleRe_.data(), twiddleIm_.data());

    // e^(+2 pi i k / N) for k < N / 2 is the last stage's table.
    const double* wr = twiddleRe_.data() + (h - 1);
    const double* wi = twiddleIm_.data() + (h - 1);
    const double even0 = re[0];
    const double odd0 = im[0];
    for (std::size_t k = 1; k <= h / 2; ++k) {
        const std::size_t j = h - k;
        const double zkRe = re[k], zkIm = im[k];
        const double zjRe = re[j], zjIm = im[j];
        // E = (Z[k] + conj Z[h-k]) / 2 and O = (Z[k] - conj Z[h-k]) / 2i, for k and for h - k.
        const double ekRe = (zkRe + zjRe) / 2, ekIm = (zkIm - zjIm) / 2;
        const double okRe = (zkIm + zjIm) / 2, okIm = -(zkRe - zjRe) / 2;
        const double ejRe = ekRe, ejIm = -ekIm;
        const double ojRe = okRe, ojIm = -okIm;
        const double xkRe = ekRe + wr[k] * okRe - wi[k] * okIm;
        const double xkIm = ekIm + wr[k] * okIm + wi[k] * okRe;
        const double xjRe = ejRe + wr[j] * ojRe - wi[j] * ojIm;
        const double xjIm = ejIm + wr[j] * ojIm + wi[j] * ojRe;
        re[k] = xkRe, im[k] = xkIm;
        re[j] = xjRe, im[j] = xjIm;
        re[n - k] = xkRe, im[n - k] = -xkIm;
        re[n - j] = xjRe, im[n - j] = -xjIm;
    }
    re[0] = even0 + odd0, im[0] = 0;
    re[h] = even0 - odd0, im[h] = 0;
}
