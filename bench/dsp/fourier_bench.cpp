// One 1024-point spectrum as the spectrum display makes it (1024 windowed input writes, the
// transform, 513 magnitude reads) against FFTW's measured plan for a 1024-point real-input
// transform in double precision doing the same work around it (window, transform, magnitudes).
//
//   fourier_bench [rounds, default 7]
//
// Target: at most 4 x FFTW.
#include "recorder/dsp/clsFourier.h"

#include <fftw3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr int kN = 1024;
constexpr int kBins = kN / 2 + 1;
constexpr int kRepeats = 2000;

volatile double sink;

std::vector<double> frames() {
    std::mt19937 random(5);
    std::uniform_int_distribution<int> value(-32768, 32767);
    std::vector<double> out(static_cast<std::size_t>(kN) * 8);
    for (double& v : out) {
        v = value(random);
    }
    return out;
}

template <typename Work>
double nanosecondsPerSpectrum(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRepeats; ++i) {
        work(i);
    }
    const std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
    return took.count() / kRepeats;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const std::vector<double> input = frames();

    clsFourier ours;
    ours.setNumberOfSamples(kN);
    ours.setWithTimeWindow(true);
    auto oursOnce = [&](int frame) {
        const double* s = input.data() + (frame % 8) * kN;
        for (int i = 0; i < kN; ++i) {
            ours.RealIn(i + 1, s[i]);
        }
        double sum = 0;
        for (int k = 1; k <= kBins; ++k) {
            sum += ours.ComplexOut(k);
        }
        sink = sum;
    };

    double* in = fftw_alloc_real(kN);
    fftw_complex* out = fftw_alloc_complex(kBins);
    const fftw_plan plan = fftw_plan_dft_r2c_1d(kN, in, out, FFTW_MEASURE);
    std::vector<double> window(kN);
    for (int i = 0; i < kN; ++i) {
        window[static_cast<std::size_t>(i)] = 0.42 -
                                              0.5 * std::cos(2 * std::numbers::pi * i / (kN - 1)) +
                                              0.08 * std::cos(4 * std::numbers::pi * i / (kN - 1));
    }
    auto fftwOnce = [&](int frame) {
        const double* s = input.data() + (frame % 8) * kN;
        for (int i = 0; i < kN; ++i) {
            in[i] = s[i] * window[static_cast<std::size_t>(i)];
        }
        fftw_execute(plan);
        double sum = 0;
        for (int k = 0; k < kBins; ++k) {
            sum += std::sqrt(out[k][0] * out[k][0] + out[k][1] * out[k][1]);
        }
        sink = sum;
    };

    std::vector<double> a, b;
    for (int round = 0; round < rounds; ++round) {
        a.push_back(nanosecondsPerSpectrum(oursOnce));
        b.push_back(nanosecondsPerSpectrum(fftwOnce));
    }
    const double oursTime = median(a);
    const double fftwTime = median(b);
    std::printf("1024-point spectrum (windowed input, transform, 513 magnitudes), median of %d\n",
                rounds);
    std::printf("  clsFourier:         %8.2f us\n", oursTime / 1e3);
    std::printf("  FFTW measured plan: %8.2f us\n", fftwTime / 1e3);
    std::printf("  ratio: %.2f (target at most 4)\n", oursTime / fftwTime);
    std::printf("  clsFourier's own timing of its last transform: %.4f ms\n", ours.Timing());

    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
    return 0;
}
