// Drawing one spectrum frame and one waveform frame of a captured buffer into a 300 x 100
// picture, each with its own painter as the window's refresh does it.
//
//   draw_bench [frames, default 2000]
//
// Target: at most 0.5 ms each.
#include "recorder/dsp/clsDraw.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

template <typename Draw>
double microsecondsPerFrame(int frames, Draw&& draw) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) {
        draw(i);
    }
    const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
    return took.count() / frames;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;

    // Buffers of the capture engine's size (5120 samples) with a tone and noise.
    std::mt19937 random(3);
    std::normal_distribution<double> noise(0, 3000);
    std::vector<std::vector<std::int16_t>> buffers(4, std::vector<std::int16_t>(5120));
    for (std::size_t b = 0; b < buffers.size(); ++b) {
        for (std::size_t i = 0; i < 5120; ++i) {
            const double v = 12000 * std::sin(0.05 * (b + 1) * i) + noise(random);
            buffers[b][i] = static_cast<std::int16_t>(std::clamp(v, -32768.0, 32767.0));
        }
    }

    clsDraw draw;
    draw.setComboBackColor(0x404040);
    QImage picture(300, 100, QImage::Format_RGB32);
    const double spectrum = microsecondsPerFrame(frames, [&](int i) {
        QPainter painter(&picture);
        PicBox box{painter, 0x202020, 0x000000};
        draw.DrawFrequencies(buffers[static_cast<std::size_t>(i) % buffers.size()], box);
    });
    const double waveform = microsecondsPerFrame(frames, [&](int i) {
        QPainter painter(&picture);
        PicBox box{painter, 0x202020, 0x000000};
        draw.DrawAmplitudes(buffers[static_cast<std::size_t>(i) % buffers.size()], box);
    });
    std::printf("300 x 100 picture, %d frames of 5120 samples\n", frames);
    std::printf("  spectrum: %7.1f us per frame (target at most 500)\n", spectrum);
    std::printf("  waveform: %7.1f us per frame (target at most 500)\n", waveform);
    return 0;
}
