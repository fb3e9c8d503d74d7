#pragma once
// Small helpers shared by the effect loops: rounding, limiting and the denormal guard.

#include <cstdint>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace dsp {

// Rounds to the nearest integer, halves to even, for |x| below 2^22. Adding and taking away
// 1.5 x 2^23 leaves no fraction bits, so the FPU's own round-to-nearest-even does the work
// without a library call in the sample loops.
inline float roundHalfEven(float x) {
    constexpr float kMagic = 12582912.0f;
    return (x + kMagic) - kMagic;
}

// A value on the 16-bit scale back to a sample: above 32767 gives 32767, below -32768 gives
// -32768, otherwise the nearest integer (halves to even). Not-a-number, which only broken
// settings can produce, gives silence rather than an undefined conversion.
inline std::int16_t limit16(float x) {
    if (x > 32767.0f) {
        return 32767;
    }
    if (x >= -32768.0f) {
        return static_cast<std::int16_t>(roundHalfEven(x));
    }
    if (x < -32768.0f) {
        return -32768;
    }
    return 0;
}

// While it lives, single-precision results too small to be normal numbers become 0 and such
// inputs count as 0. A decaying filter or feedback tail otherwise spends thousands of samples
// in denormal arithmetic, many times slower on x86. The previous mode comes back on exit, so
// code outside the effect loops is unaffected.
class FlushDenormals {
  public:
#if defined(__SSE__)
    FlushDenormals() : saved_(_mm_getcsr()) {
        _mm_setcsr(saved_ | kFlushToZero | kDenormalsAreZero);
    }
    ~FlushDenormals() {
        _mm_setcsr(saved_);
    }

  private:
    static constexpr unsigned kFlushToZero = 0x8000;
    static constexpr unsigned kDenormalsAreZero = 0x0040;
    unsigned saved_;
#elif defined(__aarch64__)
    FlushDenormals() {
        __asm__ __volatile__("mrs %0, fpcr" : "=r"(saved_));
        const std::uint64_t flushing = saved_ | (std::uint64_t{1} << 24);
        __asm__ __volatile__("msr fpcr, %0" : : "r"(flushing));
    }
    ~FlushDenormals() {
        __asm__ __volatile__("msr fpcr, %0" : : "r"(saved_));
    }

  private:
    std::uint64_t saved_;
#else
    FlushDenormals() = default;
#endif
    FlushDenormals(const FlushDenormals&) = delete;
    FlushDenormals& operator=(const FlushDenormals&) = delete;
};

}  // namespace dsp
