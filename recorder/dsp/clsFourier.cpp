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

[[noreturn]] void raiseIndex() {
    raise(381, "Index out of range or number of samples unknown");
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

std::size_t clsFourier::inputPosition(std::int32_t index) const {
    if (index < 1 || index > n_) {
        raiseIndex();
    }
    return reversed_[static_cast<std::size_t>(index - 1)];
}

void clsFourier::RealIn(std::int32_t index, double value) {
    const std::size_t p = inputPosition(index);
    re_[p] = withWindow_ ? value * windowTable_[static_cast<std::size_t>(index - 1)] : value / 2;
    im_[p] = 0;
    pending_ = true;
}

void clsFourier::ImagIn(std::int32_t index, double value) {
    im_[inputPosition(index)] = value;
    pending_ = true;
}

std::size_t clsFourier::outputPosition(std::int32_t index) {
    if (index < 1 || index > n_) {
        raiseIndex();
    }
    if (pending_) {
        transform();
    }
    return static_cast<std::size_t>(index - 1);
}

double clsFourier::RealOut(std::int32_t index) {
    return outRe_[outputPosition(index)];
}

double clsFourier::ImagOut(std::int32_t index) {
    return outIm_[outputPosition(index)];
}

double clsFourier::ComplexOut(std::int32_t index) {
    const std::size_t k = outputPosition(index);
    return std::sqrt(outRe_[k] * outRe_[k] + outIm_[k] * outIm_[k]);
}

void clsFourier::transform() {
    const auto start = std::chrono::steady_clock::now();
    const auto n = static_cast<std::size_t>(n_);
    // The inputs stay as written, so rewriting some of them after a read transforms what the
    // caller sees as its input, not a mix of old output and new values.
    std::copy(re_.begin(), re_.end(), outRe_.begin());
    std::copy(im_.begin(), im_.end(), outIm_.begin());
    double* __restrict re = outRe_.data();
    double* __restrict im = outIm_.data();

    // Blocks of two: the twiddle is 1.
    for (std::size_t k = 0; k < n; k += 2) {
        const double tr = re[k + 1];
        const double ti = im[k + 1];
        re[k + 1] = re[k] - tr;
        im[k + 1] = im[k] - ti;
        re[k] += tr;
        im[k] += ti;
    }
    // Larger blocks: the inner loop runs over contiguous twiddles, which the compiler vectorises.
    for (std::size_t h = 2; h < n; h <<= 1) {
        const double* __restrict wr = twiddleRe_.data() + (h - 1);
        const double* __restrict wi = twiddleIm_.data() + (h - 1);
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
    pending_ = false;
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    timing_ = static_cast<float>(took.count());
}
