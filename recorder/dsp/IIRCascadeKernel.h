// The cascade kernel over a vector type V, for IIRCascade.cpp (four lanes) and
// IIRCascadeWide.cpp (eight lanes) only: everything is in an unnamed namespace, so each of them
// compiles its own copy for its own instruction set and neither copy can stand in for the other.
//
// Section k works on sample t - k x kSkew while section 0 takes sample t, so every lane's
// recursion is independent within a step and the value a section hands to the next one has
// kSkew steps to travel through rounding and limiting. Each lane repeats the scalar section's
// arithmetic operation for operation, in the same order and precision (the library is compiled
// without contraction into fused multiply-adds), so the samples are the same bits as running
// the sections one after another.
//
// V provides: reg and ireg (vector types), kWidth (lanes), set1, load, store, mul, add, sub,
// min, lessThan, ordered, select, and, shiftIn (lanes up by one, lane 0 from the top lane of
// another vector), shiftInValue (lanes up by one, lane 0 a value), lags (k x kSkew per lane from
// a first lane), inside (lanes whose sample lies in 0 .. n - 1) and lane<L> (one lane's value).

#include "recorder/dsp/IIRCascade.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

namespace {

// Steps between a section's output and the next section's use of it: enough for the rounding
// and limiting between them to finish while other steps run.
constexpr long kSkew = 8;

template <class V>
struct Group {
    using reg = typename V::reg;
    reg b0, b1, b2, a1, a2;
    reg x1, x2, y1, y2;
};

// A filter output on the 16-bit scale as the scalar path makes it: above 1 gives 32767, below -1
// gives -32768, not-a-number 0, otherwise y x 32767 rounded halves to even. For y above 1 the
// rounded product is at least 32767, so the upper limit is a minimum.
template <class V>
[[gnu::always_inline]] inline typename V::reg toSampleScale(typename V::reg y) {
    const auto magic = V::set1(12582912.0f);
    const auto rounded = V::sub(V::add(V::mul(y, V::set1(32767.0f)), magic), magic);
    const auto upper = V::min(rounded, V::set1(32767.0f));
    const auto limited = V::select(V::lessThan(y, V::set1(-1.0f)), V::set1(-32768.0f), upper);
    return V::bitAnd(limited, V::ordered(y));
}

// One section step per lane, the scalar section's expression term for term. With `Partial`, only
// the lanes in `inside` move their history on.
template <class V, bool Partial>
[[gnu::always_inline]] inline typename V::reg filterGroup(Group<V>& q, typename V::reg x,
                                                          typename V::reg inside) {
    const auto in = V::mul(x, V::set1(1.0f / 32767.0f));
    const auto y =
        V::sub(V::sub(V::add(V::add(V::mul(q.b0, in), V::mul(q.b1, q.x1)), V::mul(q.b2, q.x2)),
                      V::mul(q.a2, q.y2)),
               V::mul(q.a1, q.y1));
    if constexpr (Partial) {
        q.x2 = V::select(inside, q.x1, q.x2);
        q.x1 = V::select(inside, in, q.x1);
        q.y2 = V::select(inside, q.y1, q.y2);
        q.y1 = V::select(inside, y, q.y1);
    } else {
        q.x2 = q.x1;
        q.x1 = in;
        q.y2 = q.y1;
        q.y1 = y;
    }
    return toSampleScale<V>(y);
}

template <class V, std::size_t Count>
class Cascade {
    using reg = typename V::reg;
    static constexpr std::size_t kWidth = V::kWidth;
    static constexpr bool kTwoGroups = Count > kWidth;
    static_assert(Count >= 1 && Count <= 2 * kWidth);
    static constexpr long kLead = static_cast<long>(Count - 1) * kSkew;

  public:
    explicit Cascade(const dsp::cascade::Section* sections) {
        alignas(32) std::array<std::array<float, 2 * kWidth>, 9> table{};
        for (std::size_t k = 0; k < Count; ++k) {
            const IIRFilter::Coefficients& c = *sections[k].coefficients;
            const IIRFilter::History& h = *sections[k].history;
            const std::array<float, 9> values{c.b0, c.b1, c.b2, c.a1, c.a2, h.x1, h.x2, h.y1, h.y2};
            for (std::size_t v = 0; v < values.size(); ++v) {
                table[v][k] = values[v];
            }
        }
        for (std::size_t g = 0; g < 2; ++g) {
            const auto load = [&](std::size_t v) { return V::load(&table[v][kWidth * g]); };
            groups_[g] = {load(0), load(1), load(2), load(3), load(4),
                          load(5), load(6), load(7), load(8)};
            lags_[g] = V::lags(static_cast<int>(kWidth * g), static_cast<int>(kSkew));
        }
    }

    void run(std::span<std::int16_t> samples) {
        const auto n = static_cast<long>(samples.size());
        const long fullFrom = std::min(kLead, n);
        // The state lives in locals during the loops so that it can stay in registers.
        Group<V> first = groups_[0];
        Group<V> second = groups_[1];
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

    void storeHistory(const dsp::cascade::Section* sections) const {
        alignas(32) std::array<std::array<float, 2 * kWidth>, 4> table{};
        for (std::size_t g = 0; g < 2; ++g) {
            V::store(&table[0][kWidth * g], groups_[g].x1);
            V::store(&table[1][kWidth * g], groups_[g].x2);
            V::store(&table[2][kWidth * g], groups_[g].y1);
            V::store(&table[3][kWidth * g], groups_[g].y2);
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
    [[gnu::always_inline]] inline void step(long t, std::span<std::int16_t> samples,
                                            Group<V>& first, Group<V>& second) {
        const auto n = static_cast<long>(samples.size());
        const float input = t < n ? static_cast<float>(samples[static_cast<std::size_t>(t)]) : 0;
        // What each section takes: the previous section's output of kSkew steps ago.
        reg* const handed = ring_[static_cast<std::size_t>(t) % kSkew];
        const reg inFirst = V::shiftInValue(input, handed[0]);
        reg inside[2]{};
        if constexpr (Partial) {
            inside[0] = V::inside(t, n, lags_[0]);
            inside[1] = V::inside(t, n, lags_[1]);
        }
        if constexpr (kTwoGroups) {
            const reg inSecond = V::shiftIn(handed[0], handed[1]);
            handed[1] = filterGroup<V, Partial>(second, inSecond, inside[1]);
        }
        handed[0] = filterGroup<V, Partial>(first, inFirst, inside[0]);

        const long done = t - kLead;
        if (!Partial || (done >= 0 && done < n)) {
            samples[static_cast<std::size_t>(done)] = static_cast<std::int16_t>(
                V::template lane<(Count - 1) % kWidth>(handed[(Count - 1) / kWidth]));
        }
    }

    std::array<Group<V>, 2> groups_{};
    typename V::ireg lags_[2]{};
    // The outputs of the last kSkew steps on the 16-bit scale, by step modulo kSkew.
    reg ring_[kSkew][2]{};
};

template <class V, std::size_t Count>
void runCascade(const dsp::cascade::Section* sections, std::span<std::int16_t> samples) {
    Cascade<V, Count> cascade(sections);
    cascade.run(samples);
    cascade.storeHistory(sections);
}

template <class V, std::size_t... Counts>
void runBatch(const dsp::cascade::Section* sections, std::size_t count,
              std::span<std::int16_t> samples, std::index_sequence<Counts...>) {
    ((count == Counts + 1 ? runCascade<V, Counts + 1>(sections, samples) : void()), ...);
}

template <class V>
void runKernel(const dsp::cascade::Section* sections, std::size_t count,
               std::span<std::int16_t> samples) {
    runBatch<V>(sections, count, samples, std::make_index_sequence<dsp::cascade::kBatch>());
}

}  // namespace
