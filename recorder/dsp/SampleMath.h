#pragma once
// Small helpers shared by the effect loops: rounding, limiting and the denormal guard.

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#elif defined(__SSE__)
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

#if defined(__SSE2__)
// Eight samples at a time, each lane exactly as its scalar counterpart.
namespace x8 {

// The samples widened to 32 bits and converted: lanes 0-3 and lanes 4-7.
inline void toFloats(__m128i samples, __m128& low, __m128& high) {
    low = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(samples, samples), 16));
    high = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(samples, samples), 16));
}

// limit16 of four values: the limits are whole numbers, so clamping the rounded value gives the
// same result as rounding only what lies between them.
inline __m128 limited(__m128 x) {
    const __m128 magic = _mm_set1_ps(12582912.0f);
    const __m128 rounded = _mm_sub_ps(_mm_add_ps(x, magic), magic);
    const __m128 clamped =
        _mm_max_ps(_mm_min_ps(rounded, _mm_set1_ps(32767.0f)), _mm_set1_ps(-32768.0f));
    return _mm_and_ps(clamped, _mm_cmpord_ps(x, x));
}

// limit16 of eight values, packed back into samples.
inline __m128i limit16(__m128 low, __m128 high) {
    return _mm_packs_epi32(_mm_cvttps_epi32(limited(low)), _mm_cvttps_epi32(limited(high)));
}

}  // namespace x8
#endif

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
