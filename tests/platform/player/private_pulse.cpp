#include "tests/platform/player/private_pulse.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <cmath>
#include <cstring>
#include <numbers>

namespace testing_support {

PrivatePulse::PrivatePulse() {
    const QString home = dir_.filePath(QStringLiteral("home"));
    const QString run = dir_.filePath(QStringLiteral("run"));
    const QString socket = dir_.filePath(QStringLiteral("native"));
    QDir().mkpath(home);
    QDir().mkpath(run);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), run);
    env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), run);
    env.remove(QStringLiteral("PULSE_SERVER"));
    daemon_.setProcessEnvironment(env);
    daemon_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    daemon_.setStandardOutputFile(QProcess::nullDevice());
    daemon_.start(
        QStringLiteral("pulseaudio"),
        {QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
         QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--system=false"),
         QStringLiteral("--use-pid-file=no"), QStringLiteral("--log-level=error"),
         QStringLiteral("--load=module-null-sink sink_name=zv_null"),
         QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") + socket});
    if (!daemon_.waitForStarted(10000)) {
        return;
    }
    QElapsedTimer clock;
    clock.start();
    while (!QFileInfo::exists(socket) && clock.elapsed() < 10000 &&
           daemon_.state() == QProcess::Running) {
        QThread::msleep(20);
    }
    running_ = QFileInfo::exists(socket);
    previousServer_ = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", (QStringLiteral("unix:") + socket).toLocal8Bit());
}

PrivatePulse::~PrivatePulse() {
    if (previousServer_.isEmpty()) {
        qunsetenv("PULSE_SERVER");
    } else {
        qputenv("PULSE_SERVER", previousServer_);
    }
    if (daemon_.state() != QProcess::NotRunning) {
        daemon_.terminate();
        if (!daemon_.waitForFinished(5000)) {
            daemon_.kill();
            daemon_.waitForFinished(5000);
        }
    }
}

std::vector<short> PrivatePulse::recordMonitor(int ms) const {
    QProcess rec;
    rec.start(QStringLiteral("parec"),
              {QStringLiteral("--device=zv_null.monitor"), QStringLiteral("--raw"),
               QStringLiteral("--format=s16le"), QStringLiteral("--rate=44100"),
               QStringLiteral("--channels=1"), QStringLiteral("--latency-msec=50")});
    if (!rec.waitForStarted(5000)) {
        return {};
    }
    // The event loop keeps running meanwhile: the stream being heard may come from this process.
    const qsizetype wanted = static_cast<qsizetype>(ms) * kRate / 1000 * 2;
    QByteArray data;
    QElapsedTimer clock;
    clock.start();
    while (data.size() < wanted && clock.elapsed() < ms + 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
        data += rec.readAllStandardOutput();
    }
    rec.terminate();
    rec.waitForFinished(5000);
    data += rec.readAllStandardOutput();
    std::vector<short> samples(static_cast<size_t>(data.size()) / 2);
    std::memcpy(samples.data(), data.constData(), samples.size() * 2);
    return samples;
}

double toneShare(const std::vector<short>& samples, double frequency, int rate) {
    if (samples.empty()) {
        return 0.0;
    }
    const double coefficient = 2.0 * std::cos(2.0 * std::numbers::pi * frequency / rate);
    double s1 = 0.0;
    double s2 = 0.0;
    double energy = 0.0;
    for (const short sample : samples) {
        const double x = sample;
        const double s0 = x + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
        energy += x * x;
    }
    if (energy <= 0.0) {
        return 0.0;
    }
    const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    // A pure tone of N samples puts N/2 times its energy into its Goertzel bin.
    return power / (energy * static_cast<double>(samples.size()) / 2.0);
}

}  // namespace testing_support
