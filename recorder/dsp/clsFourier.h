#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

// A radix-2 FFT over N complex values (N a power of two), with an optional Blackman window on real
// input. Inputs are written one at a time, each put straight at its bit-reversed position, and
// keep their values until written again; the first output read after an input change runs the
// transform (exponent sign +, no scaling). Indexes are 1-based.
//
// Errors (platform::Error): 380 when N is below 2, not a power of two, or above 2^24 (which would
// claim gigabytes); 381 for an index outside 1..N or any access before N is set.
//
// The input and output accessors are defined here so that they inline: the spectrum display
// calls them 1537 times per frame.
class clsFourier {
  public:
    static constexpr std::int32_t kMaxSamples = 1 << 24;

    std::int32_t NumberOfSamples() const { return n_; }
    void setNumberOfSamples(std::int32_t n);

    bool WithTimeWindow() const { return withWindow_; }
    void setWithTimeWindow(bool on) { withWindow_ = on; }

    void RealIn(std::int32_t index, double value) {
        const std::size_t i = checked(index);
        const std::size_t p = reversed_[i];
        re_[p] = withWindow_ ? value * windowTable_[i] : value / 2;
        setImag(p, 0.0);
    }
    void ImagIn(std::int32_t index, double value) { setImag(reversed_[checked(index)], value); }

    double RealOut(std::int32_t index) { return outRe_[output(index)]; }
    double ImagOut(std::int32_t index) { return outIm_[output(index)]; }
    double ComplexOut(std::int32_t index) {
        const std::size_t k = output(index);
        return std::sqrt(outRe_[k] * outRe_[k] + outIm_[k] * outIm_[k]);
    }

    // Duration of the last transform in milliseconds.
    float Timing() const { return timing_; }

    // The Blackman window w(n) for 0 <= n < N.
    double window(std::int32_t n) const { return windowTable_[static_cast<std::size_t>(n)]; }

    // The lowest `bits` bits of value in reverse order.
    static std::uint32_t reverseBits(std::uint32_t value, int bits);

  private:
    [[noreturn]] static void raiseIndex();

    std::size_t checked(std::int32_t index) const {
        if (index < 1 || index > n_) {
            raiseIndex();
        }
        pending_ = true;
        return static_cast<std::size_t>(index - 1);
    }
    std::size_t output(std::int32_t index) {
        if (index < 1 || index > n_) {
            raiseIndex();
        }
        if (pending_) {
            transform();
        }
        return static_cast<std::size_t>(index - 1);
    }
    void setImag(std::size_t p, double value) {
        nonZeroImag_ += (value != 0.0) - (im_[p] != 0.0);
        im_[p] = value;
    }
    void transform();
    void transformComplex();
    void transformReal();

    std::int32_t n_ = 0;
    bool withWindow_ = false;
    mutable bool pending_ = false;
    float timing_ = 0;
    // How many imaginary inputs are not zero: with none, the transform takes the real-input path.
    std::int64_t nonZeroImag_ = 0;
    // Inputs at their bit-reversed positions, and the transform of them.
    std::vector<double> re_;
    std::vector<double> im_;
    std::vector<double> outRe_;
    std::vector<double> outIm_;
    std::vector<double> windowTable_;
    std::vector<std::uint32_t> reversed_;
    // Twiddle factors e^(+i pi j / h) for j = 0 .. h - 1, for each half-block size h in turn,
    // starting at offset h - 1.
    std::vector<double> twiddleRe_;
    std::vector<double> twiddleIm_;
};
