// CPU cost of the advanced recorder's engine: capture (WaveInRecorder) writing through the WAVE
// writer (EncoderWAV) into PCM and into IMA ADPCM, against parecord writing the same PCM, each
// counted together with the sound server's share.
//
//   recorder_engine_cpu [seconds]          all three against a private sound server (default 60 s)
//   recorder_engine_cpu --record <s> <file> <pcm|ima>   one engine side alone (run by the above)

#include "bench/support/cpu_measure.h"
#include "platform/audio/capture_server.h"
#include "platform/codecs/wave_formats.h"
#include "recorder/EncoderWAV.h"
#include "recorder/WaveInRecorder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;

int recordSide(int seconds, const QString& file, const QByteArray& kind) {
    recorder::WaveInRecorder capture(platform::makePulseCaptureServer());
    recorder::EncoderWAV writer;
    if (kind == "ima") {
        for (const auto& f : platform::encodableWaveFormats(kRate, kChannels)) {
            if (f.tag == QStringLiteral("IMA ADPCM")) {
                writer.SetFormat(f.format.constData(), static_cast<int>(f.format.size()), f.id,
                                 f.tag);
            }
        }
    }
    for (int i = 0; i < capture.DeviceCount(); ++i) {
        if (capture.DeviceName(i) == QStringLiteral("Monitor of Null Output")) {
            capture.SelectDevice(i);
        }
    }
    if (writer.EncoderInit(kRate, kChannels, file) != 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return 1;
    }
    QObject::connect(
        &capture, &recorder::WaveInRecorder::GotData,
        [&](const std::vector<qint16>& samples, int bytes) {
            int used = 0;
            if (writer.Encode(reinterpret_cast<const char*>(samples.data()), bytes, &used) != 0) {
                capture.StopRecord();
            }
        });
    if (!capture.StartRecord(kRate, kChannels)) {
        std::fprintf(stderr, "cannot record\n");
        return 1;
    }
    QTimer::singleShot(seconds * 1000, [&] {
        capture.StopRecord();
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    return writer.EncoderClose();
}

int compare(int seconds, const char* self) {
    bench::SoundServer server;
    if (!server.ok() || !server.playTone(44100, 3 * (seconds + bench::kWarmUpSeconds + 5) + 30,
                                         QStringLiteral("1000"))) {
        return 1;
    }
    const QString base = server.folder();
    const auto engine = [&](const char* kind) {
        return bench::measure(
            server.pid(),
            {self, "--record", std::to_string(seconds + bench::kWarmUpSeconds + 1),
             QFile::encodeName(base + QStringLiteral("/engine-") + QLatin1String(kind) +
                               QStringLiteral(".wav"))
                 .toStdString(),
             kind},
            seconds, false);
    };
    const bench::Side pcm = engine("pcm");
    const bench::Side ima = engine("ima");
    const bench::Side reference = bench::measure(
        server.pid(),
        {"parecord", "--device=zv_bench.monitor", "--rate=44100", "--channels=2", "--format=s16le",
         QFile::encodeName(base + QStringLiteral("/parecord.wav")).toStdString()},
        seconds, true);

    const auto row = [seconds](const char* name, const bench::Side& s) {
        std::printf("%-12s own %8.4f s  server %8.4f s  total %8.4f s  (%.3f %% of a core)\n", name,
                    s.own, s.server, s.total(), 100.0 * s.total() / seconds);
    };
    std::printf("Recording %d s of 44.1 kHz stereo from a null output's monitor\n", seconds);
    row("engine PCM", pcm);
    row("engine IMA", ima);
    row("parecord", reference);
    if (reference.total() > 0) {
        std::printf("PCM ratio    %.2f (target at most 1.5)\n", pcm.total() / reference.total());
        std::printf("IMA ratio    %.2f\n", ima.total() / reference.total());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 5 && QByteArray(argv[1]) == "--record") {
        return recordSide(QByteArray(argv[2]).toInt(), QFile::decodeName(argv[3]),
                          QByteArray(argv[4]));
    }
    const int seconds = argc > 1 ? QByteArray(argv[1]).toInt() : 60;
    return compare(seconds > 0 ? seconds : 60, argv[0]);
}
