// The window region cut from a background picture: the region built from every run at once
// against uniting one rectangle per run, at 400 x 300 and 1920 x 1080. The pictures have many
// runs: a rounded body on a magenta key with a lattice of keyed holes that shifts from row to
// row, so no two neighbouring rows share their runs.
//
// Targets: at most 0.1 ms for 400 x 300 and 1 ms for 1920 x 1080 (RegionFromPicture).
#include "skins/window_shape.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

const long kMagenta = 255L + 65536L * 255L;

QImage picture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter p(&image);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1C, 0x3F, 0x9A));
    p.drawRoundedRect(QRect(2, 2, width - 4, height - 4), width / 12, width / 12);
    p.end();
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = (y * 3) % 23; x < width; x += 23) {
            for (int k = x; k < std::min(width, x + 5); ++k) {
                row[k] = qRgb(255, 0, 255);
            }
        }
    }
    return image;
}

// One rectangle per run, each united into the region as it is found.
QRegion unionPerRun(const QImage& image, long key) {
    QRegion region;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        const auto isKey = [&](int x) { return skins::colourNumber(row[x]) == key; };
        int x = 0;
        while (x < image.width()) {
            while (x < image.width() && isKey(x)) {
                ++x;
            }
            if (x >= image.width()) {
                break;
            }
            const int start = x;
            while (x < image.width() && !isKey(x)) {
                ++x;
            }
            if (x > start + 2) {
                region = region.united(QRect(start + 2, y + 1, x - start - 2, 1));
            }
        }
    }
    return region;
}

void RegionFromPicture(benchmark::State& state) {
    const QImage image =
        picture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    int rects = 0;
    for (auto _ : state) {
        const QRegion region = skins::regionFromPicture(image, kMagenta);
        rects = region.rectCount();
        benchmark::DoNotOptimize(rects);
    }
    state.counters["rects"] = rects;
}

void UnionPerRun(benchmark::State& state) {
    const QImage image =
        picture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    int rects = 0;
    for (auto _ : state) {
        const QRegion region = unionPerRun(image, kMagenta);
        rects = region.rectCount();
        benchmark::DoNotOptimize(rects);
    }
    state.counters["rects"] = rects;
}

BENCHMARK(RegionFromPicture)->Args({400, 300})->Args({1920, 1080})->Unit(benchmark::kMillisecond);
BENCHMARK(UnionPerRun)->Args({400, 300})->Args({1920, 1080})->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
