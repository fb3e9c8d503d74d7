#include "bench/support/cpu_measure.h"

#include <QDir>
#include <QFile>
#include <QThread>

#include <spawn.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdio>

extern char** environ;

namespace bench {

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

Side measure(qint64 serverPid, const std::vector<std::string>& args, int seconds, bool interrupt,
             int warmUp) {
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
    QThread::sleep(static_cast<unsigned long>(warmUp));
    const double ownBefore = processCpu(pid);
    const double serverBefore = serverPid != 0 ? processCpu(serverPid) : 0;
    QThread::sleep(static_cast<unsigned long>(seconds));
    side.own = processCpu(pid) - ownBefore;
    side.server = serverPid != 0 ? processCpu(serverPid) - serverBefore : 0;
    if (interrupt && ::kill(pid, SIGINT) != 0) {
        std::perror("kill");
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) {
        std::perror("waitpid");
    }
    side.succeeded = !interrupt && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return side;
}

SoundServer::SoundServer() {
    const QString base = dir_.path();
    for (const char* sub : {"home", "run", "config"}) {
        QDir(base).mkpath(QString::fromLatin1(sub));
    }
    const QString socket = base + QStringLiteral("/native");
    qputenv("HOME", QFile::encodeName(base + QStringLiteral("/home")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(base + QStringLiteral("/run")));
    qputenv("PULSE_RUNTIME_PATH", QFile::encodeName(base + QStringLiteral("/run")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(base + QStringLiteral("/config")));
    qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(socket));

    server_.setStandardOutputFile(QProcess::nullDevice());
    server_.setStandardErrorFile(QProcess::nullDevice());
    server_.start(
        QStringLiteral("pulseaudio"),
        {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--system=false"),
         QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--use-pid-file=false"),
         QStringLiteral("--load=module-null-sink sink_name=zv_bench"),
         QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") + socket});
    if (!server_.waitForStarted()) {
        std::fprintf(stderr, "pulseaudio did not start\n");
        return;
    }
    while (!QFile::exists(socket) && server_.state() == QProcess::Running) {
        QThread::msleep(50);
    }
    ok_ = server_.state() == QProcess::Running;
}

SoundServer::~SoundServer() {
    player_.kill();
    player_.waitForFinished();
    server_.terminate();
    server_.waitForFinished();
}

bool SoundServer::playTone(int rate, int seconds, const QString& sine) {
    const QString tone = folder() + QStringLiteral("/tone.wav");
    if (QProcess::execute(QStringLiteral("sox"),
                          {QStringLiteral("-n"), QStringLiteral("-r"), QString::number(rate),
                           QStringLiteral("-c"), QStringLiteral("2"), QStringLiteral("-b"),
                           QStringLiteral("16"), tone, QStringLiteral("synth"),
                           QString::number(seconds), QStringLiteral("sine"), sine}) != 0) {
        std::fprintf(stderr, "sox could not make the tone\n");
        return false;
    }
    player_.start(QStringLiteral("paplay"), {QStringLiteral("--device=zv_bench"), tone});
    if (!player_.waitForStarted()) {
        std::fprintf(stderr, "paplay did not start\n");
        return false;
    }
    // Let it reach the output before anything is measured.
    QThread::msleep(1000);
    return true;
}

}  // namespace bench
