// Drives the effects chain, a lone filter section and the analyser with arbitrary settings and
// buffers: property values come straight from the input bytes (not-a-number, infinities and
// out-of-range values included), then the rest of the input is processed in pieces of varying
// size. Refused writes are part of the game; crashes, reads past a buffer, undefined conversions
// and a chain that changes a buffer with no effect switched on are not.
#include "platform/ui/error.h"
#include "recorder/dsp/IIRFilter.h"
#include "recorder/dsp/clsDSP.h"
#include "recorder/dsp/clsFourier.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    template <typename T>
    T take() {
        T value{};
        if (size_ >= sizeof(T)) {
            std::memcpy(&value, data_, sizeof(T));
            data_ += sizeof(T);
            size_ -= sizeof(T);
        } else {
            size_ = 0;
        }
        return value;
    }
    std::size_t left() const { return size_; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
};

template <typename Write>
void attempt(Write&& write) {
    try {
        write();
    } catch (const platform::Error&) {
    }
}

void setSomething(clsDSP& dsp, Input& in) {
    const auto which = in.take<std::uint8_t>();
    const auto f = in.take<float>();
    const auto i = in.take<std::int32_t>();
    switch (which % 16) {
        case 0:
            attempt([&] { dsp.setSamplerate(i % 100000); });
            break;
        case 1:
            attempt([&] { dsp.setChannels(i % 4); });
            break;
        case 2:
            dsp.setEffectsUsed(i);
            break;
        // Long delays are legal but slow to fill (the unit tests cover the longest); keep them
        // short here, and try lengths that give no delay line at all.
        case 3:
            dsp.setEchoLength(i % 300);
            break;
        case 4:
            dsp.setEchoAmp(f);
            break;
        case 5:
            dsp.setAmplifyDB(i);
            break;
        case 6:
            dsp.setPhaseShiftWet(f);
            break;
        case 7:
            dsp.setPhaseShiftDry(f);
            break;
        case 8:
            dsp.setPhaseShiftFeedback(f);
            break;
        case 9:
            dsp.setPhaseShiftSweepRate(f);
            break;
        case 10:
            dsp.setPhaseShiftSweepRange(f);
            break;
        case 11:
            dsp.setPhaseShiftFrequency(f);
            break;
        case 12:
            attempt([&] { dsp.setEqualizerBands(i % 12); });
            break;
        case 13:
            attempt([&] { dsp.setEqualizerBandGainDB(i % 11, f); });
            break;
        case 14:
            attempt([&] { (void)dsp.EqualizerBandFrequency(i % 11); });
            break;
        default:
            dsp.setEchoLength(-(i % 3));
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    clsDSP dsp;
    // Most inputs start from a working chain, so that the effects run from the first try; the
    // settings that follow change it in any way.
    const auto start = in.take<std::uint8_t>();
    if (start & 1) {
        dsp.setSamplerate(start & 2 ? 44100 : 8000);
        dsp.setChannels(start & 4 ? 2 : 1);
        dsp.setEffectsUsed(start >> 4);
    }
    const auto settings = in.take<std::uint8_t>() % 24;
    for (int k = 0; k < settings; ++k) {
        setSomething(dsp, in);
    }

    IIRFilter section;
    section.CreateBiquadIIR(in.take<std::int32_t>() % 6, in.take<float>(), in.take<float>(),
                            in.take<float>(), in.take<float>());

    std::vector<std::int16_t> samples(in.left() / 2);
    for (std::int16_t& s : samples) {
        s = in.take<std::int16_t>();
    }
    std::vector<std::uint8_t> bytes(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(samples[i]);
    }
    const std::vector<std::int16_t> original = samples;

    std::size_t at = 0;
    std::size_t piece = 1;
    while (at < samples.size()) {
        const std::size_t n = std::min(piece, samples.size() - at);
        dsp.ProcessSamples(std::span<std::int16_t>(samples).subspan(at, n));
        at += n;
        piece = piece * 3 + 1;
    }
    if ((dsp.EffectsUsed() & 15) == 0 && samples != original) {
        __builtin_trap();
    }
    // The equaliser's vector path against its sections one after another, over the chain's
    // bands as the settings left them and the lone section: the same bits or a fault.
    std::vector<IIRFilter> fast;
    for (std::int32_t i = 0; i < dsp.EqualizerBands(); ++i) {
        fast.push_back(dsp.band(i));
    }
    fast.push_back(section);
    std::vector<IIRFilter> plain = fast;
    std::vector<std::int16_t> cascaded = original;
    IIRFilter::ProcessCascade_16bit(fast, cascaded);
    std::vector<std::int16_t> inTurn = original;
    for (IIRFilter& s : plain) {
        s.ProcessSamples_16bit(inTurn);
    }
    if (cascaded != inTurn) {
        __builtin_trap();
    }

    section.ProcessSamples_16bit(samples);
    section.ProcessSamples_8bit(bytes);

    // The transform over the largest power of two the buffer holds, then one index on each side
    // of the range (exceptions are slow under the sanitizers, so only those two).
    if (samples.size() >= 2) {
        std::int32_t n = 2;
        while (static_cast<std::size_t>(n) * 2 <= samples.size() && n < (1 << 12)) {
            n *= 2;
        }
        clsFourier fft;
        fft.setNumberOfSamples(n);
        fft.setWithTimeWindow(samples[0] & 1);
        const bool complex = samples[1] & 1;
        for (std::int32_t i = 1; i <= n; ++i) {
            const auto at = static_cast<std::size_t>(i - 1);
            fft.RealIn(i, samples[at]);
            if (complex) {
                fft.ImagIn(i, original[at]);
            }
        }
        double sum = 0;
        for (std::int32_t k = 1; k <= n; ++k) {
            sum += fft.ComplexOut(k) + fft.RealOut(k) + fft.ImagOut(k);
        }
        if (!std::isfinite(sum)) {
            __builtin_trap();
        }
        attempt([&] { fft.RealIn(0, 1); });
        attempt([&] { sum += fft.ComplexOut(n + 1); });
    }
    return 0;
}
