// CPU cost of the advanced recorder's engine: capture (WaveInRecorder) writing through the WAVE
// writer (EncoderWAV) into PCM and into IMA ADPCM, against parecord writing the same PCM, each
// counted together with the sound server's share.
//
//   recorder_engine_cpu [seconds]          all three against a private sound server (default 60 s)
//   recorder_engine_cpu --record <s> <file> <pcm|ima>   one engine side alone (run by the above)

#include "platform/audio/capture_server.h"
#include "platform/codecs/wave_formats.h"
#include "recorder/EncoderWAV.h"
#include "recorder/WaveInRecorder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <spawn.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdio>
#include <vector>

extern char** environ;

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

// CPU time a running process has used so far, summed over its threads, in seconds.
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

constexpr int kWarmUpSeconds = 2;

struct Side {
    double own = 0;
    double server = 0;
    double total() const { return own + server; }
};

// Measures a program's CPU time and the server's over `seconds` of steady recording, after a
// warm-up; the program is then interrupted unless it ends by itself.
Side measure(qint64 serverPid, const std::vector<std::string>& args, int seconds, bool interrupt) {
    std::vector<char*> argv;
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    Side side;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        return side;
    }
    QThread::sleep(kWarmUpSeconds);
    const double ownBefore = processCpu(pid);
    const double serverBefore = processCpu(serverPid);
    QThread::sleep(static_cast<unsigned long>(seconds));
    side.own = processCpu(pid) - ownBefore;
    side.server = processCpu(serverPid) - serverBefore;
    if (interrupt && ::kill(pid, SIGINT) != 0) {
        std::perror("kill");
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) {
        std::perror("waitpid");
    }
    return side;
}

int compare(int seconds, const char* self) {
    QTemporaryDir dir;
    const QString base = dir.path();
    for (const char* sub : {"home", "run", "config"}) {
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
    const QString tone = base + QStringLiteral("/tone.wav");
    const int toneSeconds = 3 * (seconds + kWarmUpSeconds + 5) + 30;
    QProcess::execute(
        QStringLiteral("sox"),
        {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"), QStringLiteral("-c"),
         QStringLiteral("2"), QStringLiteral("-b"), QStringLiteral("16"), tone,
         QStringLiteral("synth"), QString::number(toneSeconds), QStringLiteral("sine"),
         QStringLiteral("1000")});
    QProcess player;
    player.start(QStringLiteral("paplay"), {QStringLiteral("--device=zv_bench"), tone});
    QThread::msleep(1000);

    const auto engine = [&](const char* kind) {
        return measure(server.processId(),
                       {self, "--record", std::to_string(seconds + kWarmUpSeconds + 1),
                        QFile::encodeName(base + QStringLiteral("/engine-") + QLatin1String(kind) +
                                          QStringLiteral(".wav"))
                            .toStdString(),
                        kind},
                       seconds, false);
    };
    const Side pcm = engine("pcm");
    const Side ima = engine("ima");
    const Side reference = measure(
        server.processId(),
        {"parecord", "--device=zv_bench.monitor", "--rate=44100", "--channels=2", "--format=s16le",
         QFile::encodeName(base + QStringLiteral("/parecord.wav")).toStdString()},
        seconds, true);
    player.kill();
    player.waitForFinished();
    server.terminate();
    server.waitForFinished();

    const auto row = [seconds](const char* name, const Side& s) {
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
