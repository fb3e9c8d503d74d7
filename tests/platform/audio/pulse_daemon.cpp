#include "tests/platform/audio/pulse_daemon.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <cmath>
#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

namespace testing_support {

PulseDaemon::PulseDaemon() {
    hadServer_ = qEnvironmentVariableIsSet("PULSE_SERVER");
    previousServer_ = qgetenv("PULSE_SERVER");
    const QString base = dir_.path();
    for (const char* sub : {"home", "run", "config", "state"}) {
        QDir(base).mkpath(QString::fromLatin1(sub));
    }
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), base + QStringLiteral("/run"));
    env.insert(QStringLiteral("PULSE_STATE_PATH"), base + QStringLiteral("/state"));
    env.remove(QStringLiteral("PULSE_SERVER"));
    daemon_.setProcessEnvironment(env);
    daemon_.setProcessChannelMode(QProcess::MergedChannels);
    daemon_.setStandardOutputFile(base + QStringLiteral("/daemon.log"));
    daemon_.start(QStringLiteral("pulseaudio"),
                  {QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                   QStringLiteral("--system=false"), QStringLiteral("--exit-idle-time=-1"),
                   QStringLiteral("--use-pid-file=false"), QStringLiteral("--disallow-exit"),
                   QStringLiteral("--load=module-null-sink sink_name=zv_null"),
                   QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") +
                       base + QStringLiteral("/native")});
    if (!daemon_.waitForStarted(10000)) {
        error_ = QStringLiteral("pulseaudio did not start: ") + daemon_.errorString();
        return;
    }
    qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(base) + "/native");
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 15000) {
        if (run(QStringLiteral("pactl"), {QStringLiteral("info")})) {
            ok_ = true;
            return;
        }
        if (daemon_.state() != QProcess::Running) {
            break;
        }
        QThread::msleep(100);
    }
    error_ =
        QStringLiteral("pulseaudio did not answer; see ") + base + QStringLiteral("/daemon.log");
}

PulseDaemon::~PulseDaemon() {
    for (QProcess* p : {&player_, &daemon_}) {
        if (p->state() != QProcess::NotRunning) {
            p->terminate();
            if (!p->waitForFinished(5000)) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }
    if (hadServer_) {
        qputenv("PULSE_SERVER", previousServer_);
    } else {
        qunsetenv("PULSE_SERVER");
    }
}

QProcessEnvironment PulseDaemon::environment() const {
    const QString base = dir_.path();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), base + QStringLiteral("/home"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), base + QStringLiteral("/run"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), base + QStringLiteral("/config"));
    env.insert(QStringLiteral("PULSE_SERVER"),
               QStringLiteral("unix:") + base + QStringLiteral("/native"));
    return env;
}

bool PulseDaemon::run(const QString& program, const QStringList& args, QByteArray* output) const {
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(program, args);
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    if (output != nullptr) {
        *output = p.readAllStandardOutput();
    }
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool PulseDaemon::playTone(int frequency, int seconds) {
    const QString file = dir_.filePath(QStringLiteral("tone.wav"));
    if (!run(QStringLiteral("sox"),
             {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("48000"),
              QStringLiteral("-c"), QStringLiteral("2"), QStringLiteral("-b"), QStringLiteral("16"),
              file, QStringLiteral("synth"), QString::number(seconds), QStringLiteral("sine"),
              QString::number(frequency), QStringLiteral("vol"), QStringLiteral("0.5")})) {
        return false;
    }
    player_.setProcessEnvironment(environment());
    // A generous buffer: on a busy machine a short one runs dry and puts gaps in the tone.
    player_.start(QStringLiteral("paplay"),
                  {QStringLiteral("--latency-msec=200"), QStringLiteral("--device=zv_null"), file});
    if (!player_.waitForStarted(10000)) {
        return false;
    }
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000) {
        QByteArray inputs;
        if (run(QStringLiteral("pactl"),
                {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sink-inputs")},
                &inputs) &&
            !inputs.trimmed().isEmpty()) {
            // Let the first fragments reach the output before anyone listens.
            QThread::msleep(200);
            return true;
        }
        QThread::msleep(50);
    }
    return false;
}

double toneShare(const QByteArray& pcm, int channels, int rate, double frequency) {
    const auto* samples = reinterpret_cast<const std::int16_t*>(pcm.constData());
    const auto frames =
        static_cast<std::size_t>(pcm.size()) / 2 / static_cast<std::size_t>(channels);
    if (frames == 0) {
        return 0;
    }
    const double w = 2 * M_PI * frequency / rate;
    const double coeff = 2 * std::cos(w);
    double s1 = 0;
    double s2 = 0;
    double power = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        const double x = samples[i * static_cast<std::size_t>(channels)] / 32768.0;
        power += x * x;
        const double s0 = x + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double n = static_cast<double>(frames);
    const double magnitude2 = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    const double amplitude = 2 * std::sqrt(std::max(magnitude2, 0.0)) / n;
    const double meanSquare = power / n;
    return meanSquare > 0 ? (amplitude * amplitude / 2) / meanSquare : 0;
}

std::vector<short> PulseDaemon::recordMonitor(int ms) const {
    QProcess rec;
    rec.setProcessEnvironment(environment());
    rec.start(QStringLiteral("parec"),
              {QStringLiteral("--device=zv_null.monitor"), QStringLiteral("--raw"),
               QStringLiteral("--format=s16le"),
               QStringLiteral("--rate=") + QString::number(kMonitorRate),
               QStringLiteral("--channels=1"), QStringLiteral("--latency-msec=50")});
    if (!rec.waitForStarted(5000)) {
        return {};
    }
    const qsizetype wanted = static_cast<qsizetype>(ms) * kMonitorRate / 1000 * 2;
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
    if (!samples.empty()) {
        std::memcpy(samples.data(), data.constData(), samples.size() * 2);
    }
    return samples;
}

double toneShare(const std::vector<short>& mono, double frequency, int rate) {
    return toneShare(QByteArray::fromRawData(reinterpret_cast<const char*>(mono.data()),
                                             static_cast<qsizetype>(mono.size() * 2)),
                     1, rate, frequency);
}

namespace {

quint32 le32(const QByteArray& b, int at) {
    return static_cast<quint8>(b[at]) | static_cast<quint8>(b[at + 1]) << 8 |
           static_cast<quint8>(b[at + 2]) << 16 |
           static_cast<quint32>(static_cast<quint8>(b[at + 3])) << 24;
}

}  // namespace

double expectToneWave(const QString& path, int rate, double seconds) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    const QByteArray wav = file.readAll();
    if (wav.size() <= 44) {
        ADD_FAILURE() << "no sound in " << path.toStdString();
        return 0;
    }
    EXPECT_EQ(wav.left(4), QByteArray("RIFF"));
    EXPECT_EQ(le32(wav, 4), static_cast<quint32>(wav.size() - 8));
    EXPECT_EQ(wav.mid(8, 8), QByteArray("WAVEfmt "));
    EXPECT_EQ(le32(wav, 16), 16u);
    EXPECT_EQ(le32(wav, 20), 1u | 2u << 16);
    EXPECT_EQ(le32(wav, 24), static_cast<quint32>(rate));
    EXPECT_EQ(le32(wav, 28), static_cast<quint32>(rate * 4));
    EXPECT_EQ(le32(wav, 32), 4u | 16u << 16);
    EXPECT_EQ(wav.mid(36, 4), QByteArray("data"));
    const quint32 data = le32(wav, 40);
    EXPECT_EQ(data, static_cast<quint32>(wav.size() - 44));
    const double recorded = data / (rate * 4.0);
    EXPECT_NEAR(recorded, seconds, seconds * 0.05);
    // The middle second holds the tone and little else.
    const QByteArray middle = wav.mid(44 + static_cast<int>(data / 4 / 4 * 4), rate * 4);
    EXPECT_GT(toneShare(middle, 2, rate, 1000), 0.8);
    EXPECT_LT(toneShare(middle, 2, rate, 3000), 0.05);
    return recorded;
}

}  // namespace testing_support
