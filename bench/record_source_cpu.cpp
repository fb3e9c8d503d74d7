// CPU cost of recording the player's own sound against recording the whole output, in the same
// run: a recorder process plays a 1 kHz tone through the media player and records it with one
// source or the other, counted together with the sound server's share.
//
//   record_source_cpu [seconds]                        both sides against a private sound server
//   record_source_cpu --record <player|system> <s> <folder>   one side alone (run by the above)

#include "platform/audio/player_stream.h"
#include "platform/mci/waveaudio_device.h"
#include "platform/player/mpv_session.h"
#include "platform/ui/message_box.h"
#include "recording/ModRecorder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

extern char** environ;

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

// CPU time of a process so far, over its threads, in seconds (the scheduler's own count).
double processCpu(qint64 pid) {
    double total = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(task) + QStringLiteral("/schedstat"));
        if (stat.open(QIODevice::ReadOnly)) {
            total += stat.readAll().split(' ').value(0).toDouble() / 1e9;
        }
    }
    return total;
}

struct Side {
    double own = 0;
    double server = 0;
    double total() const { return own + server; }
};

// Measures `seconds` of steady recording after the warm-up; start-up and the end are not counted.
Side measure(qint64 serverPid, const std::vector<std::string>& args, int seconds) {
    std::vector<char*> argv;
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    Side side;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        return side;
    }
    QThread::sleep(kWarmUpSeconds);
    const double ownBefore = processCpu(pid);
    const double serverBefore = processCpu(serverPid);
    QThread::sleep(static_cast<unsigned long>(seconds));
    side.own = processCpu(pid) - ownBefore;
    side.server = processCpu(serverPid) - serverBefore;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "the recording side failed\n");
    }
    return side;
}

int compare(int seconds, const char* self) {
    QTemporaryDir dir;
    const QString base = dir.path();
    for (const char* sub : {"home", "run", "config", "app"}) {
        QDir(base).mkpath(QString::fromLatin1(sub));
    }
    const QString socket = base + QStringLiteral("/native");
    qputenv("HOME", QFile::encodeName(base + QStringLiteral("/home")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(base + QStringLiteral("/run")));
    qputenv("PULSE_RUNTIME_PATH", QFile::encodeName(base + QStringLiteral("/run")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(base + QStringLiteral("/config")));
    qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(socket));
    QProcess server;
    server.setStandardOutputFile(QProcess::nullDevice());
    server.setStandardErrorFile(QProcess::nullDevice());
    server.start(
        QStringLiteral("pulseaudio"),
        {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--system=false"),
         QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--use-pid-file=false"),
         QStringLiteral("--load=module-null-sink sink_name=zv_bench"),
         QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") + socket});
    if (!server.waitForStarted()) {
        std::fprintf(stderr, "pulseaudio did not start\n");
        return 1;
    }
    while (!QFile::exists(socket) && server.state() == QProcess::Running) {
        QThread::msleep(50);
    }
    const std::string folder = QFile::encodeName(base + QStringLiteral("/app")).toStdString();
    const std::string length = std::to_string(seconds + kWarmUpSeconds + 1);
    const Side player = measure(server.processId(),
                                {self, "--record", "player", length, folder}, seconds);
    const Side system = measure(server.processId(),
                                {self, "--record", "system", length, folder}, seconds);
    server.terminate();
    server.waitForFinished();

    const auto row = [seconds](const char* name, const Side& s) {
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
