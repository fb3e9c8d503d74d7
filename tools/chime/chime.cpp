// Makes the start sound: a two-note chime (a fifth falling, like a door bell) synthesised here and
// encoded as an MPEG audio layer III clip with libmp3lame.
//
// Usage: zorvita_chime <output file>
#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr double kPi = 3.14159265358979323846;

struct LameDeleter {
    void operator()(lame_global_flags* flags) const { lame_close(flags); }
};
using Lame = std::unique_ptr<lame_global_flags, LameDeleter>;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// One struck bell note: a few partials in the ratios of a small bell, each dying away on its own,
// with a short attack so the note starts without a click.
void addNote(std::vector<double>& mono, double startSec, double freq, double lengthSec,
             double gain) {
    struct Partial {
        double ratio, level, decay;
    };
    const Partial partials[] = {{1.0, 1.0, 2.6},
                                {2.0, 0.42, 4.0},
                                {3.01, 0.22, 6.0},
                                {4.17, 0.10, 8.5},
                                {5.43, 0.05, 11.0}};
    const auto first = static_cast<std::size_t>(startSec * kRate);
    const auto count = static_cast<std::size_t>(lengthSec * kRate);
    for (std::size_t i = 0; i < count && first + i < mono.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double attack = t < 0.004 ? t / 0.004 : 1.0;
        double v = 0.0;
        for (const Partial& p : partials) {
            v += p.level * std::exp(-p.decay * t) * std::sin(2.0 * kPi * freq * p.ratio * t);
        }
        mono[first + i] += gain * attack * v;
    }
}

std::vector<short> synthesise() {
    const double lengthSec = 1.6;
    std::vector<double> mono(static_cast<std::size_t>(lengthSec * kRate), 0.0);
    addNote(mono, 0.0, 987.77, 1.6, 0.34);    // B5
    addNote(mono, 0.32, 659.26, 1.28, 0.38);  // E5
    // Fade the tail so the clip ends in silence.
    const std::size_t fade = kRate / 5;
    for (std::size_t i = 0; i < fade; ++i) {
        mono[mono.size() - fade + i] *= 1.0 - static_cast<double>(i) / fade;
    }
    std::vector<short> pcm(mono.size() * kChannels);
    for (std::size_t i = 0; i < mono.size(); ++i) {
        const double s = std::clamp(mono[i], -1.0, 1.0) * 32000.0;
        // A little width: the right channel is slightly quieter than the left.
        pcm[i * 2] = static_cast<short>(std::lround(s));
        pcm[i * 2 + 1] = static_cast<short>(std::lround(s * 0.92));
    }
    return pcm;
}

bool fail(const char* what) {
    std::fprintf(stderr, "zorvita_chime: %s\n", what);
    return false;
}

bool encode(const std::vector<short>& pcm, const std::string& outPath) {
    Lame lame(lame_init());
    if (!lame) {
        return fail("lame_init failed");
    }
    if (lame_set_in_samplerate(lame.get(), kRate) < 0 ||
        lame_set_num_channels(lame.get(), kChannels) < 0 || lame_set_brate(lame.get(), 128) < 0 ||
        lame_set_quality(lame.get(), 2) < 0 || lame_set_mode(lame.get(), JOINT_STEREO) < 0 ||
        // A constant-rate clip needs no seek-table frame; without it the clip starts with sound.
        lame_set_bWriteVbrTag(lame.get(), 0) < 0 || lame_init_params(lame.get()) < 0) {
        return fail("the encoder refused its settings");
    }
    const int frames = static_cast<int>(pcm.size() / kChannels);
    std::vector<unsigned char> mp3(static_cast<std::size_t>(1.25 * frames + 7200 + 7200));
    const int encoded =
        lame_encode_buffer_interleaved(lame.get(), const_cast<short*>(pcm.data()), frames,
                                       mp3.data(), static_cast<int>(mp3.size()));
    if (encoded < 0) {
        return fail("encoding failed");
    }
    const int flushed =
        lame_encode_flush(lame.get(), mp3.data() + encoded, static_cast<int>(mp3.size()) - encoded);
    if (flushed < 0) {
        return fail("flushing the encoder failed");
    }
    const std::size_t total = static_cast<std::size_t>(encoded) + static_cast<std::size_t>(flushed);

    // Written beside the target and renamed, so an interrupted build leaves no half clip.
    const std::string tmp = outPath + ".part";
    {
        File out(std::fopen(tmp.c_str(), "wb"));
        if (!out) {
            return fail("cannot create the output file");
        }
        if (std::fwrite(mp3.data(), 1, total, out.get()) != total) {
            return fail("cannot write the output file");
        }
        if (std::fclose(out.release()) != 0) {
            return fail("cannot close the output file");
        }
    }
    if (std::rename(tmp.c_str(), outPath.c_str()) != 0) {
        std::remove(tmp.c_str());
        return fail("cannot move the output file into place");
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zorvita_chime <output file>\n");
        return 2;
    }
    return encode(synthesise(), argv[1]) ? 0 : 1;
}
