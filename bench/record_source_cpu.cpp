// CPU cost of recording the player's own sound against recording the whole output, in the same
// run: a recorder process plays a 1 kHz tone through the media player and records it with one
// source or the other, counted together with the sound server's share.
//
//   record_source_cpu [seconds]                        both sides against a private sound server
//   record_source_cpu --record <player|system> <s> <folder>   one side alone (run by the above)

#include "bench/support/cpu_measure.h"
#include "platform/audio/player_stream.h"
#include "platform/mci/waveaudio_device.h"
#include "platform/player/mpv_session.h"
#include "platform/ui/message_box.h"
#include "recording/ModRecorder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kWarmUpSeconds = 3;

class NoCaption final : public StatusLabel {
  public:
    void setCaption(const QString&) override {}
    void repaintNow() override {}
};

class PrintedBoxes final : public platform::MessageBoxes {
  public:
    platform::MsgAnswer show(const QString& text, int, const QString& caption) override {
        std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
        return platform::MsgAnswer::Ok;
    }
};

int recordSide(bool player, int seconds, const QString& folder) {
    auto options = platform::MpvSession::safeDefaults();
    options.emplace_back(QStringLiteral("vid"), QStringLiteral("no"));
    options.emplace_back(QStringLiteral("vo"), QStringLiteral("null"));
    platform::MpvSession mpv(options);
    mpv.command({QStringLiteral("loadfile"), QStringLiteral("av://lavfi:sine=f=1000:r=48000")});
    QElapsedTimer waited;
    waited.start();
    while (!platform::playerStreamPlaying() && waited.elapsed() < 20000) {
        QThread::msleep(100);
    }
    NoCaption caption;
    PrintedBoxes boxes;
    platform::MciSession mci;
    platform::WaveAudioOptions wave;
    wave.tempFolder = folder;
    wave.openCapture = player ? &platform::openPlayerCapture : &platform::openMonitorCapture;
    platform::registerWaveAudio(mci, wave);
    ModRecorder recorder(mci, boxes, caption, folder);
    recorder.RecordFileName = QStringLiteral("Recorded_bench");
    QTimer::singleShot(seconds * 1000, [&] {
        recorder.RecordingActive = false;
        recorder.StopRecording();
    });
    recorder.StartRecording(QStringLiteral("2"), QStringLiteral("16"), QStringLiteral("48000"));
    return QFile::exists(recorder.recordingPath()) ? 0 : 1;
}

int compare(int seconds, const char* self) {
    bench::SoundServer server;
    if (!server.ok()) {
        return 1;
    }
    QDir(server.folder()).mkpath(QStringLiteral("app"));
    const std::string folder =
        QFile::encodeName(server.folder() + QStringLiteral("/app")).toStdString();
    const std::string length = std::to_string(seconds + kWarmUpSeconds + 1);
    const auto side = [&](const char* source) {
        const bench::Side s =
            bench::measure(server.pid(), {self, "--record", source, length, folder}, seconds, false,
                           kWarmUpSeconds);
        if (!s.succeeded) {
            std::fprintf(stderr, "the recording side failed\n");
        }
        return s;
    };
    const bench::Side player = side("player");
    const bench::Side system = side("system");

    const auto row = [seconds](const char* name, const bench::Side& s) {
        std::printf("%-8s own %8.4f s  server %8.4f s  total %8.4f s  (%.3f %% of a core)\n", name,
                    s.own, s.server, s.total(), 100.0 * s.total() / seconds);
    };
    std::printf("Playing and recording %d s of 48 kHz stereo\n", seconds);
    row("Player", player);
    row("System", system);
    if (system.total() > 0) {
        std::printf("ratio    %.2f (target at most 1.1)\n", player.total() / system.total());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 5 && QByteArray(argv[1]) == "--record") {
        return recordSide(QByteArray(argv[2]) == "player", QByteArray(argv[3]).toInt(),
                          QFile::decodeName(argv[4]));
    }
    const int seconds = argc > 1 ? QByteArray(argv[1]).toInt() : 30;
    return compare(seconds > 0 ? seconds : 30, argv[0]);
}
