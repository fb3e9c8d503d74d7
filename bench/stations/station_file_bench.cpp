// Loading and saving a station file of 10 000 stations.
#include "stations/StationFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

void lists(QStringList* names, QStringList* urls) {
    for (int i = 0; i < 10000; ++i) {
        names->append(QStringLiteral("Station number %1 - Somewhere").arg(i));
        urls->append(QStringLiteral("http://stream.example.invalid:8000/live/%1.asx").arg(i));
    }
}

void BM_SaveStationFile(benchmark::State& state) {
    QTemporaryDir dir;
    QStringList names;
    QStringList urls;
    lists(&names, &urls);
    const QString path = dir.filePath(QStringLiteral("Player.dll"));
    for (auto _ : state) {
        WriteStationFile(path, names, urls);
    }
}
BENCHMARK(BM_SaveStationFile)->Unit(benchmark::kMillisecond);

void BM_LoadStationFile(benchmark::State& state) {
    QTemporaryDir dir;
    QStringList names;
    QStringList urls;
    lists(&names, &urls);
    const QString path = dir.filePath(QStringLiteral("Player.dll"));
    WriteStationFile(path, names, urls);
    for (auto _ : state) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        benchmark::DoNotOptimize(ParseStationFile(f.readAll()));
    }
}
BENCHMARK(BM_LoadStationFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
