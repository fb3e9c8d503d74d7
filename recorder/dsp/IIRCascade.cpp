// A run of biquad sections over the same samples, each section in its own SIMD lane.
//
// Section k works on sample t - k x kSkew while section 0 takes sample t, so every lane's
// recursion is independent within a step and the value a section hands to the next one has
// kSkew steps to travel through rounding and limiting. Each lane repeats the scalar section's
// arithmetic operation for operation, in the same order and precision (the library is compiled
// without contraction into fused multiply-adds), so the samples are the same bits as running
// the sections one after another.
#include "recorder/dsp/IIRFilter.h"

#include "recorder/dsp/SampleMath.h"

#include <algorithm>
#include <array>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#if defined(__SSE2__)
namespace {

// Steps between a section's output and the next section's use of it: enough for the rounding
// and limiting between them to finish while other steps run.
constexpr long kSkew = 8;
// Sections per batch: two groups of four lanes.
constexpr std::size_t kBatch = 8;

// A section's place in a batch: its coefficients and the history it continues from.
struct Section {
    const IIRFilter::Coefficients* coefficients = nullptr;
    IIRFilter::History* history = nullptr;
};

// Four sections side by side: the coefficients and the history as vectors.
struct Group {
    __m128 b0, b1, b2, a1, a2;
    __m128 x1, x2, y1, y2;
};

// A filter output on the 16-bit scale as the scalar path makes it: above 1 gives 32767, below -1
// gives -32768, not-a-number 0, otherwise y x 32767 rounded halves to even. For y above 1 the
// rounded product is at least 32767, so the upper limit is a minimum.
inline __m128 toSampleScale(__m128 y) {
    const __m128 magic = _mm_set1_ps(12582912.0f);
    const __m128 rounded =
        _mm_sub_ps(_mm_add_ps(_mm_mul_ps(y, _mm_set1_ps(32767.0f)), magic), magic);
    const __m128 upper = _mm_min_ps(rounded, _mm_set1_ps(32767.0f));
    const __m128 below = _mm_cmplt_ps(y, _mm_set1_ps(-1.0f));
    const __m128 limited =
        _mm_or_ps(_mm_and_ps(below, _mm_set1_ps(-32768.0f)), _mm_andnot_ps(below, upper));
    return _mm_and_ps(limited, _mm_cmpord_ps(y, y));
}

// Lanes moved up by one across two vectors: lane 0 takes lane 3 of `previous`.
inline __m128 shiftedIn(__m128 previous, __m128 current) {
    const __m128 joined = _mm_shuffle_ps(previous, current, _MM_SHUFFLE(0, 0, 3, 3));
    return _mm_shuffle_ps(joined, current, _MM_SHUFFLE(2, 1, 2, 0));
}

inline __m128 select(__m128 mask, __m128 yes, __m128 no) {
    return _mm_or_ps(_mm_and_ps(mask, yes), _mm_andnot_ps(mask, no));
}

// Lanes whose sample (step minus the lane's lag) lies inside the buffer.
inline __m128 insideMask(long t, long n, __m128i lags) {
    const __m128i sample = _mm_sub_epi32(_mm_set1_epi32(static_cast<int>(t)), lags);
    return _mm_castsi128_ps(
        _mm_and_si128(_mm_cmpgt_epi32(sample, _mm_set1_epi32(-1)),
                      _mm_cmplt_epi32(sample, _mm_set1_epi32(static_cast<int>(n)))));
}

// One section step per lane, the scalar section's expression term for term. With `Partial`, only
// the lanes in `inside` move their history on.
template <bool Partial>
[[gnu::always_inline]] inline __m128 filterGroup(Group& q, __m128 x, __m128 inside) {
    const __m128 in = _mm_mul_ps(x, _mm_set1_ps(1.0f / 32767.0f));
    const __m128 y =
        _mm_sub_ps(_mm_sub_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(q.b0, in), _mm_mul_ps(q.b1, q.x1)),
                                         _mm_mul_ps(q.b2, q.x2)),
                              _mm_mul_ps(q.a2, q.y2)),
                   _mm_mul_ps(q.a1, q.y1));
    if constexpr (Partial) {
        q.x2 = select(inside, q.x1, q.x2);
        q.x1 = select(inside, in, q.x1);
        q.y2 = select(inside, q.y1, q.y2);
        q.y1 = select(inside, y, q.y1);
    } else {
        q.x2 = q.x1;
        q.x1 = in;
        q.y2 = q.y1;
        q.y1 = y;
    }
    return toSampleScale(y);
}

template <std::size_t Count>
class Cascade {
    static constexpr bool kTwoGroups = Count > 4;
    static constexpr long kLead = static_cast<long>(Count - 1) * kSkew;

  public:
    explicit Cascade(const Section* sections) {
        alignas(16) std::array<std::array<float, 4 * 2>, 9> table{};
        for (std::size_t k = 0; k < Count; ++k) {
            const IIRFilter::Coefficients& c = *sections[k].coefficients;
            const IIRFilter::History& h = *sections[k].history;
            const std::array<float, 9> values{c.b0, c.b1, c.b2, c.a1, c.a2, h.x1, h.x2, h.y1, h.y2};
            for (std::size_t v = 0; v < values.size(); ++v) {
                table[v][k] = values[v];
            }
        }
        for (std::size_t g = 0; g < 2; ++g) {
            const auto load = [&](std::size_t v) { return _mm_load_ps(&table[v][4 * g]); };
            groups_[g] = {load(0), load(1), load(2), load(3), load(4),
                          load(5), load(6), load(7), load(8)};
            const auto lag = [&](std::size_t lane) {
                return static_cast<int>((4 * g + lane) * kSkew);
            };
            lags_[g] = _mm_setr_epi32(lag(0), lag(1), lag(2), lag(3));
        }
    }

    void run(std::span<std::int16_t> samples) {
        const auto n = static_cast<long>(samples.size());
        const long fullFrom = std::min(kLead, n);
        // The state lives in locals during the loops so that it can stay in registers.
        Group first = groups_[0];
        Group second = groups_[1];
        for (long t = 0; t < fullFrom; ++t) {
            step<true>(t, samples, first, second);
        }
        for (long t = fullFrom; t < n; ++t) {
            step<false>(t, samples, first, second);
        }
        for (long t = std::max(fullFrom, n); t < n + kLead; ++t) {
            step<true>(t, samples, first, second);
        }
        groups_ = {first, second};
    }

    void storeHistory(const Section* sections) const {
        alignas(16) std::array<std::array<float, 4 * 2>, 4> table{};
        for (std::size_t g = 0; g < 2; ++g) {
            _mm_store_ps(&table[0][4 * g], groups_[g].x1);
            _mm_store_ps(&table[1][4 * g], groups_[g].x2);
            _mm_store_ps(&table[2][4 * g], groups_[g].y1);
            _mm_store_ps(&table[3][4 * g], groups_[g].y2);
        }
        for (std::size_t k = 0; k < Count; ++k) {
            *sections[k].history = {table[0][k], table[1][k], table[2][k], table[3][k]};
        }
    }

  private:
    // One step: section k filters sample t - k x kSkew, section 0 the new sample. With
    // `Partial`, sections whose sample lies outside the buffer compute but keep their history;
    // their outputs only ever reach sections whose sample lies outside too.
    template <bool Partial>
    [[gnu::always_inline]] inline void step(long t, std::span<std::int16_t> samples, Group& first,
                                            Group& second) {
        const auto n = static_cast<long>(samples.size());
        const float input = t < n ? static_cast<float>(samples[static_cast<std::size_t>(t)]) : 0;
        // What each section takes: the previous section's output of kSkew steps ago.
        __m128* const handed = ring_[t % kSkew];
        const __m128 inFirst = shiftedIn(_mm_set1_ps(input), handed[0]);
        __m128 inside[2]{};
        if constexpr (Partial) {
            inside[0] = insideMask(t, n, lags_[0]);
            inside[1] = insideMask(t, n, lags_[1]);
        }
        if constexpr (kTwoGroups) {
            const __m128 inSecond = shiftedIn(handed[0], handed[1]);
            handed[1] = filterGroup<Partial>(second, inSecond, inside[1]);
        }
        handed[0] = filterGroup<Partial>(first, inFirst, inside[0]);

        const long done = t - kLead;
        if (!Partial || (done >= 0 && done < n)) {
            constexpr int lane = (Count - 1) % 4;
            const __m128 last = handed[(Count - 1) / 4];
            samples[static_cast<std::size_t>(done)] = static_cast<std::int16_t>(
                _mm_cvtss_f32(_mm_shuffle_ps(last, last, _MM_SHUFFLE(lane, lane, lane, lane))));
        }
    }

    std::array<Group, 2> groups_{};
    __m128i lags_[2]{};
    // The outputs of the last kSkew steps on the 16-bit scale, by step modulo kSkew.
    __m128 ring_[kSkew][2]{};
};

template <std::size_t Count>
void runCascade(const Section* sections, std::span<std::int16_t> samples) {
    Cascade<Count> cascade(sections);
    cascade.run(samples);
    cascade.storeHistory(sections);
}

template <std::size_t... Counts>
void runBatch(const Section* sections, std::size_t count, std::span<std::int16_t> samples,
              std::index_sequence<Counts...>) {
    ((count == Counts + 1 ? runCascade<Counts + 1>(sections, samples) : void()), ...);
}

}  // namespace
#endif

void IIRFilter::ProcessCascade_16bit(std::span<IIRFilter> sections,
                                     std::span<std::int16_t> intSamples) noexcept {
#if defined(__SSE2__)
    if (intSamples.empty()) {
        return;
    }
    const dsp::FlushDenormals flush;
    std::array<Section, kBatch> batch{};
    std::array<IIRFilter*, kBatch> owners{};
    std::size_t count = 0;
    const auto flushBatch = [&] {
        runBatch(batch.data(), count, intSamples, std::make_index_sequence<kBatch>());
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
                flushBatch();
            }
        }
    }
    if (count > 0) {
        flushBatch();
    }
#else
    for (IIRFilter& section : sections) {
        section.ProcessSamples_16bit(intSamples);
    }
#endif
}
