// The effects chain against SoX doing the same work on the same file, and the chain's cost on
// silence after a loud passage against steady noise. CPU time is counted (ours with the process
// clock, SoX's as the children's time), so other load on the machine matters little.
//
//   dsp_chain_bench [seconds of sound, default 60] [rounds, default 3]
//
// Targets: the chain (reading, processing and writing the file) at most 0.5 x SoX's time; the
// silent tail at most 1.2 x the steady noise.
#include "recorder/dsp/IIRCascade.h"
#include "recorder/dsp/clsDSP.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
// The capture engine's buffer: 10240 bytes.
constexpr std::size_t kBuffer = 5120;

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double childrenSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// Coloured noise whose loudness moves slowly, like music.
std::vector<std::int16_t> musicLikeNoise(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::vector<std::int16_t> out(count);
    double low = 0;
    for (std::size_t i = 0; i < count; ++i) {
        low = 0.995 * low + 0.1 * noise(random);
        const double loudness = 0.55 + 0.45 * std::sin(static_cast<double>(i) / 40000.0);
        const double v = (2500 * low + 3000 * noise(random)) * loudness;
        out[i] = static_cast<std::int16_t>(std::clamp(v, -32768.0, 32767.0));
    }
    return out;
}

void putLE(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

void writeWave(const std::filesystem::path& path, std::span<const std::int16_t> samples) {
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::string header = "RIFF";
    putLE(header, 36 + dataBytes, 4);
    header += "WAVEfmt ";
    putLE(header, 16, 4);
    putLE(header, 1, 2);
    putLE(header, kChannels, 2);
    putLE(header, kRate, 4);
    putLE(header, kRate * kChannels * 2, 4);
    putLE(header, kChannels * 2, 2);
    putLE(header, 16, 2);
    header += "data";
    putLE(header, dataBytes, 4);
    std::ofstream out(path, std::ios::binary);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    out.write(reinterpret_cast<const char*>(samples.data()), dataBytes);
}

std::vector<std::int16_t> readWave(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(0, std::ios::end);
    const auto size = static_cast<std::size_t>(in.tellg());
    in.seekg(44);
    std::vector<std::int16_t> samples((size - 44) / 2);
    in.read(reinterpret_cast<char*>(samples.data()),
            static_cast<std::streamsize>(samples.size() * 2));
    return samples;
}

clsDSP defaultChain() {
    clsDSP dsp;
    dsp.setSamplerate(kRate);
    dsp.setChannels(kChannels);
    dsp.setEffectsUsed(15);
    return dsp;
}

double runChain(const std::filesystem::path& in, const std::filesystem::path& out) {
    const double start = cpuSeconds();
    std::vector<std::int16_t> samples = readWave(in);
    clsDSP dsp = defaultChain();
    for (std::size_t at = 0; at < samples.size(); at += kBuffer) {
        dsp.ProcessSamples(
            std::span<std::int16_t>(samples).subspan(at, std::min(kBuffer, samples.size() - at)));
    }
    writeWave(out, samples);
    return cpuSeconds() - start;
}

double runSox(const std::filesystem::path& in, const std::filesystem::path& out) {
    // The chain's defaults as far as SoX's effects go: +3 dB; one echo 50 ms per channel at 0.4
    // (the chain's 100 ms line runs over interleaved samples; SoX's echo does not feed back);
    // a phaser with feedback 0.5 sweeping at about 1 Hz; seven 0 dB peaking sections of 1.3034
    // octaves at the chain's band frequencies.
    std::vector<std::string> args{"sox",  "-q", in.string(), out.string(), "vol", "3dB",
                                  "echo", "1",  "1",         "50",         "0.4", "phaser",
                                  "1",    "1",  "3",         "0.5",        "1",   "-s"};
    for (const char* f : {"80", "190.75", "454.81", "1084.44", "2585.68", "6165.18", "14700"}) {
        for (const char* a : {"equalizer", f, "1.3034o", "0"}) {
            args.emplace_back(a);
        }
    }
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const double start = childrenSeconds();
    const pid_t pid = fork();
    if (pid == 0) {
        // SoX warns about possible clipping with these gains; the timing is what matters here.
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDERR_FILENO);
        execvp("sox", argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "sox failed (is it installed?)\n");
        std::exit(1);
    }
    return childrenSeconds() - start;
}

// Processing time (no file work) of the chain over `samples`, buffer by buffer, from `from` on.
double processFrom(clsDSP& dsp, std::vector<std::int16_t> samples, std::size_t from) {
    double spent = 0;
    for (std::size_t at = 0; at < samples.size(); at += kBuffer) {
        const auto piece =
            std::span<std::int16_t>(samples).subspan(at, std::min(kBuffer, samples.size() - at));
        const double start = cpuSeconds();
        dsp.ProcessSamples(piece);
        if (at >= from) {
            spent += cpuSeconds() - start;
        }
    }
    return spent;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const auto count = static_cast<std::size_t>(seconds) * kRate * kChannels;

    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("dsp_chain_bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const auto input = dir / "in.wav";
    writeWave(input, musicLikeNoise(count, 1));

    std::vector<double> ours, sox;
    for (int round = 0; round < rounds; ++round) {
        ours.push_back(runChain(input, dir / "ours.wav"));
        sox.push_back(runSox(input, dir / "sox.wav"));
    }
    const double oursMedian = median(ours);
    const double soxMedian = median(sox);
    std::printf("%d s of 44.1 kHz stereo, all four effects, 7 bands, median of %d rounds (CPU)\n",
                seconds, rounds);
    std::printf("  equaliser kernel: %s\n", dsp::cascade::wideAvailable()     ? "eight lanes (AVX2)"
                                            : dsp::cascade::narrowAvailable() ? "four lanes (SSE2)"
                                                                              : "sections in turn");
    std::printf("  chain (read, process, write): %8.1f ms\n", oursMedian * 1e3);
    std::printf("  sox, same effects:            %8.1f ms\n", soxMedian * 1e3);
    std::printf("  ratio chain / sox: %.3f (target at most 0.5)\n", oursMedian / soxMedian);

    // Half loud noise then digital silence, against noise all the way: the second halves compared.
    const std::size_t half = count / 2 / kBuffer * kBuffer;
    std::vector<std::int16_t> decaying = musicLikeNoise(count, 2);
    std::fill(decaying.begin() + static_cast<std::ptrdiff_t>(half), decaying.end(), 0);
    const std::vector<std::int16_t> steady = musicLikeNoise(count, 2);
    std::vector<double> tail, noise;
    for (int round = 0; round < rounds; ++round) {
        clsDSP a = defaultChain();
        tail.push_back(processFrom(a, decaying, half));
        clsDSP b = defaultChain();
        noise.push_back(processFrom(b, steady, half));
    }
    std::printf(
        "  second half, processing only: silence after noise %.1f ms, steady noise %.1f ms\n",
        median(tail) * 1e3, median(noise) * 1e3);
    std::printf("  ratio silence / noise: %.3f (target at most 1.2)\n",
                median(tail) / median(noise));

    std::filesystem::remove_all(dir);
    return 0;
}
