// The vector paths of the effects give exactly the samples of plain one-sample-at-a-time loops:
// the equaliser's cascade kernels (four and eight lanes) against the sections one after another,
// and the whole chain against plain references, over random buffers with settings changed
// between buffers.
#include "recorder/dsp/IIRCascade.h"
#include "recorder/dsp/IIRFilter.h"
#include "recorder/dsp/SampleMath.h"
#include "recorder/dsp/clsDSP.h"

#include "tests/recorder/dsp/reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace {

using Samples = std::vector<std::int16_t>;

bool sameBits(const IIRFilter::History& a, const IIRFilter::History& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Random sections of every type, from gentle to absurd: gains far beyond what a section can
// hold clip, overflow to infinity and restart.
std::vector<IIRFilter> randomSections(std::mt19937& random, std::size_t count) {
    std::uniform_real_distribution<float> unit(0, 1);
    std::vector<IIRFilter> sections(count);
    for (IIRFilter& s : sections) {
        const bool absurd = unit(random) < 0.15f;
        // Types -1 to 4: the four known ones and two unknown.
        const auto type = static_cast<std::int32_t>(unit(random) * 6) - 1;
        const float gain = absurd ? 300 * (unit(random) - 0.3f) : 30 * (unit(random) - 0.5f);
        const float frequency = 20 + 19000 * unit(random);
        const float bandwidth = absurd ? -1 : 0.1f + 3 * unit(random);
        s.CreateBiquadIIR(type, gain, frequency, 44100, bandwidth);
        s.setEnabled(unit(random) > 0.1f);
    }
    return sections;
}

Samples randomBuffer(std::mt19937& random) {
    std::uniform_int_distribution<int> kind(0, 3);
    std::uniform_int_distribution<std::size_t> shortLength(0, 90);
    std::uniform_int_distribution<std::size_t> longLength(90, 3000);
    const std::size_t length = kind(random) == 0 ? shortLength(random) : longLength(random);
    if (kind(random) == 0) {
        return Samples(length, 0);
    }
    Samples out = dsptest::musicLikeNoise(length, random());
    if (kind(random) == 0) {
        for (std::int16_t& s : out) {
            s = static_cast<std::int16_t>(std::clamp(s * 8, -32768, 32767));
        }
    }
    return out;
}

// The public cascade over its own copies of the sections.
class PublicCascade {
  public:
    explicit PublicCascade(const std::vector<IIRFilter>& sections) : sections_(sections) {}
    void process(Samples& samples) { IIRFilter::ProcessCascade_16bit(sections_, samples); }
    IIRFilter::History history(std::size_t k) const { return sections_[k].history(); }
    void reload(std::size_t k, const IIRFilter& section) { sections_[k] = section; }

  private:
    std::vector<IIRFilter> sections_;
};

// One kernel build over copies of the sections' coefficients and histories, in batches and
// with the restart after a blow-up, as ProcessCascade_16bit drives it.
class KernelLanes {
  public:
    using Run = void (*)(const dsp::cascade::Section*, std::size_t, std::span<std::int16_t>);

    KernelLanes(const std::vector<IIRFilter>& sections, Run run) : run_(run) {
        for (const IIRFilter& s : sections) {
            coefficients_.push_back(s.coefficients());
            histories_.push_back(s.history());
            enabled_.push_back(s.Enabled());
        }
    }
    void process(Samples& samples) {
        std::vector<std::size_t> on;
        for (std::size_t k = 0; k < enabled_.size(); ++k) {
            if (enabled_[k]) {
                on.push_back(k);
            }
        }
        const dsp::FlushDenormals flush;
        for (std::size_t from = 0; from < on.size(); from += dsp::cascade::kBatch) {
            const std::size_t count = std::min(dsp::cascade::kBatch, on.size() - from);
            std::vector<dsp::cascade::Section> batch;
            for (std::size_t i = from; i < from + count; ++i) {
                batch.push_back({&coefficients_[on[i]], &histories_[on[i]]});
            }
            if (!samples.empty()) {
                run_(batch.data(), count, samples);
            }
            for (std::size_t i = from; i < from + count; ++i) {
                IIRFilter::History& h = histories_[on[i]];
                if (!(std::isfinite(h.x1) && std::isfinite(h.x2) && std::isfinite(h.y1) &&
                      std::isfinite(h.y2))) {
                    h = {};
                }
            }
        }
    }
    IIRFilter::History history(std::size_t k) const { return histories_[k]; }
    void reload(std::size_t k, const IIRFilter& section) {
        coefficients_[k] = section.coefficients();
        histories_[k] = section.history();
    }

  private:
    Run run_;
    std::vector<IIRFilter::Coefficients> coefficients_;
    std::vector<IIRFilter::History> histories_;
    std::vector<bool> enabled_;
};

// Runs a fast path and the sections one after another side by side over buffers that carry on
// from each other, with a section rebuilt (its history cleared) between two of them.
template <class Fast, class Make>
void expectSameAsSectionsInTurn(const Make& make) {
    std::mt19937 random(21);
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        std::vector<IIRFilter> plain = randomSections(random, 1 + round % 11);
        Fast fast = make(plain);
        for (int buffer = 0; buffer < 6; ++buffer) {
            Samples a = randomBuffer(random);
            Samples b = a;
            fast.process(a);
            for (IIRFilter& s : plain) {
                s.ProcessSamples_16bit(b);
            }
            ASSERT_EQ(a, b) << "buffer " << buffer << " of " << a.size() << " samples";
            for (std::size_t k = 0; k < plain.size(); ++k) {
                ASSERT_TRUE(sameBits(fast.history(k), plain[k].history())) << "section " << k;
            }
            if (buffer == 2) {
                const std::size_t k = random() % plain.size();
                plain[k].setGainDB(plain[k].GainDB() + 2);
                fast.reload(k, plain[k]);
            }
        }
    }
}

}  // namespace

TEST(EffectVectorPaths, CascadeGivesTheSamplesAndHistoriesOfTheSectionsInTurn) {
    expectSameAsSectionsInTurn<PublicCascade>(
        [](const std::vector<IIRFilter>& sections) { return PublicCascade(sections); });
}

// Both kernel builds are checked wherever the processor runs them, whichever the public call
// picks on this machine.
TEST(EffectVectorPaths, FourAndEightLaneKernelsEachGiveTheSamplesOfTheSectionsInTurn) {
    if (!dsp::cascade::narrowAvailable() && !dsp::cascade::wideAvailable()) {
        GTEST_SKIP() << "no vector kernel in this build";
    }
    if (dsp::cascade::narrowAvailable()) {
        SCOPED_TRACE("four lanes");
        expectSameAsSectionsInTurn<KernelLanes>([](const std::vector<IIRFilter>& sections) {
            return KernelLanes(sections, dsp::cascade::runNarrow);
        });
    }
    if (dsp::cascade::wideAvailable()) {
        SCOPED_TRACE("eight lanes");
        expectSameAsSectionsInTurn<KernelLanes>([](const std::vector<IIRFilter>& sections) {
            return KernelLanes(sections, dsp::cascade::runWide);
        });
    }
}

namespace {

// The chain as plain loops, one sample at a time: amplifier and echo written out here, the phase
// shifter of a second chain that runs only it, and the equaliser as copies of the chain's bands
// run one after another. Settings reach both chains through the setters, which take over what the
// write rebuilt (an empty echo line, bands without history).
class PlainChain {
  public:
    explicit PlainChain(const clsDSP& fast) : phaser_(makePhaser(fast)) {
        takeEcho(fast);
        takeBands(fast);
    }

    template <class Setting>
    void setEcho(clsDSP& fast, const Setting& setting) {
        setting(fast);
        takeEcho(fast);
    }
    template <class Setting>
    void setEqualizer(clsDSP& fast, const Setting& setting) {
        setting(fast);
        takeBands(fast);
    }
    template <class Setting>
    void setPhaseShifter(clsDSP& fast, const Setting& setting) {
        setting(fast);
        setting(phaser_);
    }

    void process(const clsDSP& fast, Samples& samples) {
        const std::int32_t mask = fast.EffectsUsed();
        if (mask & clsDSP::Amplifier) {
            const auto factor =
                static_cast<float>(std::pow(10.0, static_cast<double>(fast.AmplifyDB()) / 20.0));
            for (std::int16_t& s : samples) {
                s = dsp::limit16(static_cast<float>(s) * factor);
            }
        }
        if ((mask & clsDSP::Echo) && !line_.empty()) {
            for (std::int16_t& s : samples) {
                const int mixed = std::clamp(int{s} + int{line_[at_]}, -32768, 32767);
                s = static_cast<std::int16_t>(mixed);
                line_[at_] = dsp::limit16(static_cast<float>(mixed) * gain_);
                at_ = (at_ + 1) % line_.size();
            }
        }
        if (mask & clsDSP::PhaseShift) {
            phaser_.ProcessSamples(samples);
        }
        if (mask & clsDSP::Equalizer) {
            for (IIRFilter& band : bands_) {
                band.ProcessSamples_16bit(samples);
            }
        }
    }

  private:
    static clsDSP makePhaser(const clsDSP& fast) {
        clsDSP phaser;
        phaser.setSamplerate(fast.samplerate());
        phaser.setChannels(fast.Channels());
        phaser.setEffectsUsed(clsDSP::PhaseShift);
        return phaser;
    }
    void takeEcho(const clsDSP& fast) {
        line_.assign(fast.echoLine().begin(), fast.echoLine().end());
        at_ = fast.echoPosition();
        gain_ = fast.echoGain();
    }
    void takeBands(const clsDSP& fast) {
        bands_.clear();
        for (std::int32_t i = 0; i < fast.EqualizerBands(); ++i) {
            bands_.push_back(fast.band(i));
        }
    }

    clsDSP phaser_;
    Samples line_;
    std::size_t at_ = 0;
    float gain_ = 0;
    std::vector<IIRFilter> bands_;
};

}  // namespace

TEST(EffectVectorPaths, ChainGivesTheSamplesOfPlainLoopsInStereoAndMonoWithSettingsChanging) {
    std::mt19937 random(8);
    std::uniform_real_distribution<float> unit(0, 1);
    for (const std::int32_t channels : {2, 1}) {
        for (const std::int32_t mask : {15, clsDSP::Amplifier | clsDSP::Echo, 8}) {
            SCOPED_TRACE(testing::Message() << channels << " channels, mask " << mask);
            clsDSP fast;
            fast.setSamplerate(channels == 2 ? 44100 : 22050);
            fast.setChannels(channels);
            fast.setEffectsUsed(mask);
            PlainChain plain(fast);
            for (int buffer = 0; buffer < 24; ++buffer) {
                Samples a = randomBuffer(random);
                Samples b = a;
                fast.ProcessSamples(a);
                plain.process(fast, b);
                ASSERT_EQ(a, b) << "buffer " << buffer << " of " << a.size() << " samples";
                // Between buffers, now and then, what a user might do on the recorder window.
                switch (buffer % 6) {
                    case 1:
                        fast.setAmplifyDB(static_cast<std::int32_t>(unit(random) * 40) - 20);
                        break;
                    case 2:
                        plain.setEcho(fast, [ms = static_cast<std::int32_t>(unit(random) * 300)](
                                                clsDSP& d) { d.setEchoLength(ms); });
                        break;
                    case 3:
                        plain.setEqualizer(fast,
                                           [band = static_cast<std::int32_t>(unit(random) * 7),
                                            dB = 40 * unit(random) - 20](clsDSP& d) {
                                               d.setEqualizerBandGainDB(band, dB);
                                           });
                        break;
                    case 4:
                        plain.setPhaseShifter(fast, [rate = 0.2f + 4 * unit(random)](clsDSP& d) {
                            d.setPhaseShiftSweepRate(rate);
                        });
                        break;
                    case 5:
                        plain.setEcho(
                            fast, [amp = 1.2f * unit(random)](clsDSP& d) { d.setEchoAmp(amp); });
                        break;
                    default:
                        break;
                }
            }
        }
    }
}
