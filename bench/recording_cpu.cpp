// CPU cost of recording: the recorder (status caption running) against parecord capturing the
// same monitor for the same time, each counted together with the sound server's share.
//
//   recording_cpu [seconds]        runs both sides against a private sound server (default 60 s)
//   recording_cpu --record <s> <folder>   the recorder side alone (run by the above)

#include "platform/mci/waveaudio_device.h"
#include "platform/ui/message_box.h"
#include "recording/ModRecorder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
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

class LabelCaption final : public StatusLabel {
  public:
    explicit LabelCaption(QLabel* label) : label_(label) {}
    void setCaption(const QString& text) override { label_->setText(text); }
    void repaintNow() override { label_->repaint(); }

  private:
    QLabel* label_;
};

class SilentBoxes final : public platform::MessageBoxes {
  public:
    platform::MsgAnswer show(const QString& text, int, const QString& caption) override {
        std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
        return platform::MsgAnswer::Ok;
    }
};

int recordSide(int seconds, const QString& folder) {
    QLabel label;
    label.show();
    LabelCaption caption(&label);
    SilentBoxes boxes;
    platform::MciSession mci;
    platform::WaveAudioOptions options;
    options.tempFolder = folder;
    platform::registerWaveAudio(mci, options);
    ModRecorder recorder(mci, boxes, caption, folder);
    recorder.RecordFileName = QStringLiteral("Recorded_bench");
    recorder.RecordRateIndex = 7;
    recorder.RecordSampleRate = QStringLiteral("48000");
    QTimer::singleShot(seconds * 1000, [&] {
        recorder.RecordingActive = false;
        recorder.StopRecording();
    });
    recorder.StartRecording(QStringLiteral("2"), QStringLiteral("16"), recorder.RecordSampleRate);
    return QFile::exists(recorder.recordingPath()) ? 0 : 1;
}

// CPU time a running process has used so far, summed over its threads in nanoseconds (the
// scheduler's own count; the clock-tick totals are too coarse for a process this quiet).
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

// Starts a program, lets it settle, and measures its CPU time and the server's over `seconds` of
// steady recording; start-up and shutdown are not counted. The program is then interrupted
// unless it ends by itself.
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
    for (const char* sub : {"home", "run", "config", "app folder"}) {
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
    const int toneSeconds = 2 * (seconds + kWarmUpSeconds) + 30;
    QProcess::execute(
        QStringLiteral("sox"),
        {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("48000"), QStringLiteral("-c"),
         QStringLiteral("2"), QStringLiteral("-b"), QStringLiteral("16"), tone,
         QStringLiteral("synth"), QString::number(toneSeconds), QStringLiteral("sine"),
         QStringLiteral("1000")});
    QProcess player;
    player.start(QStringLiteral("paplay"), {QStringLiteral("--device=zv_bench"), tone});
    QThread::msleep(1000);

    const Side recorder =
        measure(server.processId(),
                {self, "--record", std::to_string(seconds + kWarmUpSeconds + 1),
                 QFile::encodeName(base + QStringLiteral("/app folder")).toStdString()},
                seconds, false);
    const Side reference = measure(
        server.processId(),
        {"parecord", "--device=zv_bench.monitor", "--rate=48000", "--channels=2", "--format=s16le",
         QFile::encodeName(base + QStringLiteral("/parecord.wav")).toStdString()},
        seconds, true);
    player.kill();
    player.waitForFinished();
    server.terminate();
    server.waitForFinished();

    const auto row = [seconds](const char* name, const Side& s) {
        std::printf("%-10s own %8.4f s  server %8.4f s  total %8.4f s  (%.3f %% of a core)\n", name,
                    s.own, s.server, s.total(), 100.0 * s.total() / seconds);
    };
    std::printf("Recording %d s of 48 kHz stereo from the default output's monitor\n", seconds);
    row("recorder", recorder);
    row("parecord", reference);
    if (reference.total() > 0) {
        std::printf("ratio      %.2f (target at most 1.2)\n", recorder.total() / reference.total());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--record") {
        return recordSide(QByteArray(argv[2]).toInt(), QFile::decodeName(argv[3]));
    }
    const int seconds = argc > 1 ? QByteArray(argv[1]).toInt() : 60;
    return compare(seconds > 0 ? seconds : 60, argv[0]);
}
