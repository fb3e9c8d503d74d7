// The eight-lane build of the cascade kernel. Only the kernel's own functions are compiled for
// AVX2 (by the target region below, not by a flag for the whole file), so nothing this file
// shares with the rest of the program can carry AVX2 instructions to a processor without them.
#include "recorder/dsp/IIRCascade.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

#if defined(__x86_64__)
#include <immintrin.h>

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

#include "recorder/dsp/IIRCascadeKernel.h"

namespace {

struct Wide {
    using reg = __m256;
    using ireg = __m256i;
    static constexpr std::size_t kWidth = 8;

    static reg set1(float v) { return _mm256_set1_ps(v); }
    static reg load(const float* p) { return _mm256_load_ps(p); }
    static void store(float* p, reg v) { _mm256_store_ps(p, v); }
    static reg mul(reg a, reg b) { return _mm256_mul_ps(a, b); }
    static reg add(reg a, reg b) { return _mm256_add_ps(a, b); }
    static reg sub(reg a, reg b) { return _mm256_sub_ps(a, b); }
    // Not-a-number in either operand gives the second, as with the four-lane minimum.
    static reg min(reg a, reg b) { return _mm256_min_ps(a, b); }
    static reg lessThan(reg a, reg b) { return _mm256_cmp_ps(a, b, _CMP_LT_OS); }
    static reg ordered(reg a) { return _mm256_cmp_ps(a, a, _CMP_ORD_Q); }
    static reg bitAnd(reg a, reg b) { return _mm256_and_ps(a, b); }
    static reg select(reg mask, reg yes, reg no) { return _mm256_blendv_ps(no, yes, mask); }
    static reg shiftIn(reg previous, reg current) {
        const reg up = _mm256_permutevar8x32_ps(current, _mm256_setr_epi32(7, 0, 1, 2, 3, 4, 5, 6));
        const reg top = _mm256_permutevar8x32_ps(previous, _mm256_set1_epi32(7));
        return _mm256_blend_ps(up, top, 0x01);
    }
    static reg shiftInValue(float value, reg current) {
        const reg up = _mm256_permutevar8x32_ps(current, _mm256_setr_epi32(7, 0, 1, 2, 3, 4, 5, 6));
        return _mm256_blend_ps(up, _mm256_set1_ps(value), 0x01);
    }
    static ireg lags(int firstLane, int skew) {
        return _mm256_mullo_epi32(_mm256_add_epi32(_mm256_set1_epi32(firstLane),
                                                   _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7)),
                                  _mm256_set1_epi32(skew));
    }
    static reg inside(long t, long n, ireg lags) {
        const ireg sample = _mm256_sub_epi32(_mm256_set1_epi32(static_cast<int>(t)), lags);
        return _mm256_castsi256_ps(
            _mm256_and_si256(_mm256_cmpgt_epi32(sample, _mm256_set1_epi32(-1)),
                             _mm256_cmpgt_epi32(_mm256_set1_epi32(static_cast<int>(n)), sample)));
    }
    template <int L>
    static float lane(reg v) {
        const __m128 half = L < 4 ? _mm256_castps256_ps128(v) : _mm256_extractf128_ps(v, 1);
        return _mm_cvtss_f32(_mm_shuffle_ps(half, half, _MM_SHUFFLE(L % 4, L % 4, L % 4, L % 4)));
    }
};

}  // namespace

namespace dsp::cascade {

void runWide(const Section* sections, std::size_t count, std::span<std::int16_t> samples) {
    runKernel<Wide>(sections, count, samples);
}

}  // namespace dsp::cascade

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace dsp::cascade {

bool wideAvailable() {
    // Safe even when called while static objects are still being constructed.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

}  // namespace dsp::cascade

#else

namespace dsp::cascade {

bool wideAvailable() {
    return false;
}

void runWide(const Section*, std::size_t, std::span<std::int16_t>) {}

}  // namespace dsp::cascade

#endif
