// CPU cost of the advanced recorder's window while it records: 44.1 kHz stereo from a private
// sound server's output monitor playing a tone, every effect on, waveform, spectrum and level
// bars refreshed. Only the window's process is counted, over steady recording (start-up, the
// stop and the conversion are left out). Run under an X server:
//
//   xvfb-run -a build/bench/recorder_window_cpu [seconds]     (default 10; the target is for 60)
//   recorder_window_cpu --window <seconds> <folder>           the window alone (run by the above)

#include "platform/audio/capture_server.h"
#include "platform/registry/registry.h"
#include "platform/registry/settings_store.h"
#include "platform/ui/message_box.h"
#include "recorder/FrmRecorder.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
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

class PrintedBoxes final : public platform::MessageBoxes {
  public:
    platform::MsgAnswer show(const QString& text, int, const QString& caption) override {
        std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
        return platform::MsgAnswer::Ok;
    }
};

int windowSide(int seconds, const QString& folder) {
    PrintedBoxes boxes;
    platform::Registry registry(folder + QStringLiteral("/registry.json"));
    platform::SettingsStore settings(registry);
    recorder::FrmRecorder window(boxes, settings, folder, platform::makePulseCaptureServer(), {});
    window.load();
    window.show();
    const int monitor =
        window.cboDev()->findText(QStringLiteral("Monitor of"), Qt::MatchStartsWith);
    if (monitor < 0) {
        std::fprintf(stderr, "no output monitor\n");
        return 1;
    }
    window.cboDev()->setCurrentIndex(monitor);
    Q_EMIT window.cboDev()->activated(monitor);
    for (int i = 0; i < 4; ++i) {
        window.chkFX(i)->click();
    }
    window.cmdDo()->click();
    if (!window.recording()) {
        return 1;
    }
    QTimer::singleShot(seconds * 1000, &window, [&window] { window.close(); });
    return QApplication::exec();
}

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

int measure(int seconds, const char* self) {
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
    const QString tone = base + QStringLiteral("/tone.wav");
    QProcess::execute(
        QStringLiteral("sox"),
        {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"), QStringLiteral("-c"),
         QStringLiteral("2"), QStringLiteral("-b"), QStringLiteral("16"), tone,
         QStringLiteral("synth"), QString::number(seconds + kWarmUpSeconds + 30),
         QStringLiteral("sine"), QStringLiteral("300-3000")});
    QProcess player;
    player.start(QStringLiteral("paplay"), {QStringLiteral("--device=zv_bench"), tone});
    QThread::msleep(1000);

    const std::string folder = QFile::encodeName(base + QStringLiteral("/app")).toStdString();
    const std::string run = std::to_string(seconds + kWarmUpSeconds + 1);
    std::vector<char*> argv{const_cast<char*>(self), const_cast<char*>("--window"),
                            const_cast<char*>(run.c_str()), const_cast<char*>(folder.c_str()),
                            nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, self, nullptr, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start the window\n");
        return 1;
    }
    QThread::sleep(kWarmUpSeconds);
    const double before = processCpu(pid);
    QThread::sleep(static_cast<unsigned long>(seconds));
    const double used = processCpu(pid) - before;
    int status = 0;
    waitpid(pid, &status, 0);
    player.kill();
    player.waitForFinished();
    server.terminate();
    server.waitForFinished();

    std::printf("Recorder window, %d s of 44.1 kHz stereo, every effect, live views\n", seconds);
    std::printf("window process  %8.4f s CPU  (%.3f %% of a core; target at most 4 %%)\n", used,
                100.0 * used / seconds);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--window") {
        return windowSide(QByteArray(argv[2]).toInt(), QFile::decodeName(argv[3]));
    }
    const int seconds = argc > 1 ? QByteArray(argv[1]).toInt() : 10;
    return measure(seconds > 0 ? seconds : 10, argv[0]);
}
