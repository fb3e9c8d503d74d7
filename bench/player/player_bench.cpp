// Cost of playing a local 128 kbit/s MP3 stream: the player control (in player_bench_host)
// against the mpv command-line player on the same stream and the same private sink, one after
// the other in one run. Each side's CPU time and peak memory come from wait4(); the PulseAudio
// daemon's CPU during each side is added, since playing costs it too. The stream comes from the
// local vendor site in its own process, counted on neither side.
//
//   player_bench [seconds]      (default 30; run under xvfb-run -a to measure the shown side)
#include "tests/platform/audio/pulse_daemon.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdio>

extern char** environ;

namespace {

struct Cost {
    double cpuSeconds = 0;    // the player's user + system time
    double pulseSeconds = 0;  // the sound daemon's user + system time meanwhile
    double peakMiB = 0;
    int exitCode = -1;
    double total() const { return cpuSeconds + pulseSeconds; }
};

double processCpuSeconds(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QByteArray line = stat.readAll();
    // Fields after the command name (which may hold blanks) start after the last ')'.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

Cost run(const QStringList& command, const QStringList& extraEnv, qint64 pulsePid) {
    std::vector<QByteArray> argBytes;
    for (const QString& a : command) {
        argBytes.push_back(a.toLocal8Bit());
    }
    std::vector<char*> argv;
    for (QByteArray& b : argBytes) {
        argv.push_back(b.data());
    }
    argv.push_back(nullptr);
    std::vector<QByteArray> envBytes;
    for (char** e = environ; *e != nullptr; ++e) {
        envBytes.emplace_back(*e);
    }
    for (const QString& e : extraEnv) {
        envBytes.push_back(e.toLocal8Bit());
    }
    std::vector<char*> envp;
    for (QByteArray& b : envBytes) {
        envp.push_back(b.data());
    }
    envp.push_back(nullptr);

    Cost cost;
    const double pulseBefore = processCpuSeconds(pulsePid);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        return cost;
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) {
        return cost;
    }
    cost.pulseSeconds = processCpuSeconds(pulsePid) - pulseBefore;
    cost.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    cost.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    cost.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return cost;
}

void print(const char* name, const Cost& c, int seconds) {
    std::printf(
        "%-28s cpu %7.3f s  pulse %6.3f s  total %7.3f s (%5.2f %% of a core)  peak %7.1f MiB%s\n",
        name, c.cpuSeconds, c.pulseSeconds, c.total(), 100.0 * c.total() / seconds, c.peakMiB,
        c.exitCode == 0 ? "" : "  (FAILED)");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
    const QString here = QCoreApplication::applicationDirPath();

    testing_support::PulseDaemon pulse;
    if (!pulse.ok()) {
        std::fprintf(stderr, "no private PulseAudio daemon\n");
        return 1;
    }
    QProcess site;
    site.start(QStringLiteral(ZORVITA_VENDOR_SITE),
               {QStringLiteral("--root"), QDir::tempPath(), QStringLiteral("--port"),
                QStringLiteral("0")});
    if (!site.waitForReadyRead(10000)) {
        std::fprintf(stderr, "vendor site did not start\n");
        return 1;
    }
    const QString port =
        QString::fromLatin1(site.readLine()).section(QLatin1Char(' '), 1).trimmed();
    const QString stream =
        QStringLiteral("http://127.0.0.1:") + port + QStringLiteral("/stream.mp3");
    const qint64 pulsePid = pulse.pid();
    const QString secondsText = QString::number(seconds);
    const QString host = here + QStringLiteral("/player_bench_host");

    std::printf("stream %s, %d s each, same private sink\n", qPrintable(stream), seconds);
    const Cost mpv =
        run({QStringLiteral("mpv"), QStringLiteral("--no-config"), QStringLiteral("--vo=null"),
             QStringLiteral("--ao=pulse"), QStringLiteral("--really-quiet"),
             QStringLiteral("--length=") + secondsText, stream},
            {}, pulsePid);
    print("mpv --no-config --vo=null", mpv, seconds);
    const Cost hidden =
        run({host, stream, secondsText}, {QStringLiteral("QT_QPA_PLATFORM=offscreen")}, pulsePid);
    print("player, minimised", hidden, seconds);
    std::printf("ratio cpu %.2f (target <= 1.10), peak memory %+.1f MiB (target <= +40)\n",
                mpv.total() > 0 ? hidden.total() / mpv.total() : 0.0, hidden.peakMiB - mpv.peakMiB);

    if (qEnvironmentVariableIsSet("DISPLAY")) {
        const Cost shown = run({host, stream, secondsText, QStringLiteral("--show")},
                               {QStringLiteral("QT_QPA_PLATFORM=xcb")}, pulsePid);
        print("player, shown (visualised)", shown, seconds);
        std::printf("visualisation %.2f %% of a core (target < 3 %%; X server not counted)\n",
                    100.0 * (shown.total() - hidden.total()) / seconds);
    } else {
        std::printf("no DISPLAY: run under xvfb-run -a to measure the shown player\n");
    }
    site.terminate();
    site.waitForFinished(5000);
    return mpv.exitCode == 0 && hidden.exitCode == 0 ? 0 : 1;
}
