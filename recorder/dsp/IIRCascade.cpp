#include "recorder/dsp/IIRCascade.h"

#include "recorder/dsp/IIRFilter.h"
#include "recorder/dsp/SampleMath.h"

#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>

#include "recorder/dsp/IIRCascadeKernel.h"

namespace {

// Four lanes of SSE2, which every x86-64 processor has.
struct Narrow {
    using reg = __m128;
    using ireg = __m128i;
    static constexpr std::size_t kWidth = 4;

    static reg set1(float v) { return _mm_set1_ps(v); }
    static reg load(const float* p) { return _mm_load_ps(p); }
    static void store(float* p, reg v) { _mm_store_ps(p, v); }
    static reg mul(reg a, reg b) { return _mm_mul_ps(a, b); }
    static reg add(reg a, reg b) { return _mm_add_ps(a, b); }
    static reg sub(reg a, reg b) { return _mm_sub_ps(a, b); }
    static reg min(reg a, reg b) { return _mm_min_ps(a, b); }
    static reg lessThan(reg a, reg b) { return _mm_cmplt_ps(a, b); }
    static reg ordered(reg a) { return _mm_cmpord_ps(a, a); }
    static reg bitAnd(reg a, reg b) { return _mm_and_ps(a, b); }
    static reg select(reg mask, reg yes, reg no) {
        return _mm_or_ps(_mm_and_ps(mask, yes), _mm_andnot_ps(mask, no));
    }
    static reg shiftIn(reg previous, reg current) {
        const reg joined = _mm_shuffle_ps(previous, current, _MM_SHUFFLE(0, 0, 3, 3));
        return _mm_shuffle_ps(joined, current, _MM_SHUFFLE(2, 1, 2, 0));
    }
    static reg shiftInValue(float value, reg current) {
        return shiftIn(_mm_set1_ps(value), current);
    }
    static ireg lags(int firstLane, int skew) {
        return _mm_setr_epi32(firstLane * skew, (firstLane + 1) * skew, (firstLane + 2) * skew,
                              (firstLane + 3) * skew);
    }
    static reg inside(long t, long n, ireg lags) {
        const ireg sample = _mm_sub_epi32(_mm_set1_epi32(static_cast<int>(t)), lags);
        return _mm_castsi128_ps(
            _mm_and_si128(_mm_cmpgt_epi32(sample, _mm_set1_epi32(-1)),
                          _mm_cmplt_epi32(sample, _mm_set1_epi32(static_cast<int>(n)))));
    }
    template <int L>
    static float lane(reg v) {
        return _mm_cvtss_f32(_mm_shuffle_ps(v, v, _MM_SHUFFLE(L, L, L, L)));
    }
};

}  // namespace
#endif

namespace dsp::cascade {

bool narrowAvailable() {
#if defined(__SSE2__)
    return true;
#else
    return false;
#endif
}

void runNarrow([[maybe_unused]] const Section* sections, [[maybe_unused]] std::size_t count,
               [[maybe_unused]] std::span<std::int16_t> samples) {
#if defined(__SSE2__)
    runKernel<Narrow>(sections, count, samples);
#endif
}

}  // namespace dsp::cascade

void IIRFilter::ProcessCascade_16bit(std::span<IIRFilter> sections,
                                     std::span<std::int16_t> intSamples) noexcept {
    using namespace dsp::cascade;
    static const bool wide = wideAvailable();
    if (!wide && !narrowAvailable()) {
        for (IIRFilter& section : sections) {
            section.ProcessSamples_16bit(intSamples);
        }
        return;
    }
    if (intSamples.empty()) {
        return;
    }
    const dsp::FlushDenormals flush;
    std::array<Section, kBatch> batch{};
    std::array<IIRFilter*, kBatch> owners{};
    std::size_t count = 0;
    const auto runBatch = [&] {
        if (wide) {
            runWide(batch.data(), count, intSamples);
        } else {
            runNarrow(batch.data(), count, intSamples);
        }
        for (std::size_t k = 0; k < count; ++k) {
            owners[k]->restartIfBroken();
        }
        count = 0;
    };
    for (IIRFilter& section : sections) {
        if (section.enabled_) {
            batch[count] = {&section.coefficients_, &section.history_};
            owners[count++] = &section;
            if (count == batch.size()) {
                runBatch();
            }
        }
    }
    if (count > 0) {
        runBatch();
    }
}
