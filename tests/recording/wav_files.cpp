#include "tests/recording/wav_files.h"

#include <QFile>
#include <QProcess>

#include <cmath>
#include <numbers>

namespace testing_support {

namespace {

void putLe(QByteArray& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

}  // namespace

QByteArray riffChunk(const char* id, const QByteArray& contents) {
    QByteArray out(id, 4);
    putLe(out, static_cast<std::uint32_t>(contents.size()), 4);
    out.append(contents);
    if (contents.size() % 2 != 0) {
        out.append('\0');
    }
    return out;
}

QByteArray pcmFormat(int channels, int rate, int bits, int tag) {
    QByteArray out;
    const int align = channels * bits / 8;
    putLe(out, static_cast<std::uint32_t>(tag), 2);
    putLe(out, static_cast<std::uint32_t>(channels), 2);
    putLe(out, static_cast<std::uint32_t>(rate), 4);
    putLe(out, static_cast<std::uint32_t>(rate * align), 4);
    putLe(out, static_cast<std::uint32_t>(align), 2);
    putLe(out, static_cast<std::uint32_t>(bits), 2);
    return out;
}

QByteArray waveFile(const std::vector<QByteArray>& chunks) {
    QByteArray form("WAVE");
    for (const QByteArray& c : chunks) {
        form.append(c);
    }
    QByteArray out("RIFF");
    putLe(out, static_cast<std::uint32_t>(form.size()), 4);
    out.append(form);
    return out;
}

QByteArray countingFrames(std::int64_t frames) {
    QByteArray out;
    out.reserve(static_cast<qsizetype>(frames * 4));
    for (std::int64_t i = 0; i < frames; ++i) {
        putLe(out, static_cast<std::uint32_t>(i & 0xFFFF), 2);
        putLe(out, static_cast<std::uint32_t>(~i & 0xFFFF), 2);
    }
    return out;
}

QByteArray toneFrames(std::int64_t frames, int rate, double hz, double amplitude) {
    QByteArray out;
    out.reserve(static_cast<qsizetype>(frames * 4));
    for (std::int64_t i = 0; i < frames; ++i) {
        const double v =
            amplitude * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(i) / rate);
        const auto s = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v)));
        putLe(out, s, 2);
        putLe(out, s, 2);
    }
    return out;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool runSox(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("sox"), args);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

}  // namespace testing_support
