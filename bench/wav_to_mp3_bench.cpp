// Converts the same 60 s, 44.1 kHz stereo WAV three ways, alternating them over several rounds:
// in-process through WAVToMP3 (the recorder's path), with the lame command at the same settings,
// and with a bare libmp3lame loop. Prints the medians and the ratios against the targets
// (at most 0.85 x the command, at most 5 % over the bare loop).
#include "platform/ui/message_box.h"
#include "recording/ShowSavingProgress.h"
#include "recording/WAVToMP3.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <lame/lame.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kSeconds = 60;
constexpr int kRounds = 7;

class NoBoxes final : public platform::MessageBoxes {
  public:
    platform::MsgAnswer show(const QString& text, int, const QString&) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return platform::MsgAnswer::Ok;
    }
};

class NoLabel final : public StatusLabel {
  public:
    void setCaption(const QString&) override {}
    void repaintNow() override {}
};

// Chords with a little noise: something the psychoacoustic model has to work on.
std::vector<std::int16_t> music() {
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(kRate) * kSeconds * 2);
    std::mt19937 noise(7);
    std::normal_distribution<double> hiss(0.0, 300.0);
    for (std::size_t i = 0; i < pcm.size() / 2; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double base =
            110.0 * std::pow(2.0, static_cast<double>(static_cast<int>(t * 2) % 12) / 12.0);
        double v = 0;
        for (double h : {1.0, 1.25, 1.5, 2.0, 3.0}) {
            v += 3000.0 / h * std::sin(2.0 * std::numbers::pi * base * h * t);
        }
        pcm[2 * i] = static_cast<std::int16_t>(std::lround(v + hiss(noise)));
        pcm[2 * i + 1] = static_cast<std::int16_t>(std::lround(0.8 * v + hiss(noise)));
    }
    return pcm;
}

void putLe(QByteArray& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.append(static_cast<char>(v >> (8 * i)));
    }
}

bool writeWav(const QString& file, const std::vector<std::int16_t>& pcm) {
    const auto dataBytes = static_cast<std::uint32_t>(pcm.size() * 2);
    QByteArray header("RIFF");
    putLe(header, 36 + dataBytes, 4);
    header.append("WAVEfmt ");
    putLe(header, 16, 4);
    putLe(header, 1, 2);
    putLe(header, 2, 2);
    putLe(header, kRate, 4);
    putLe(header, kRate * 4, 4);
    putLe(header, 4, 2);
    putLe(header, 16, 2);
    header.append("data");
    putLe(header, dataBytes, 4);
    QFile f(file);
    return f.open(QIODevice::WriteOnly) && f.write(header) == header.size() &&
           f.write(reinterpret_cast<const char*>(pcm.data()), dataBytes) == dataBytes;
}

struct LameCloser {
    void operator()(lame_global_flags* gf) const { lame_close(gf); }
};

// The same settings the library uses for the recorder: CBR 160, no bit reservoir, quality 5.
bool bareLoop(const std::vector<std::int16_t>& pcm, const QString& out) {
    std::unique_ptr<lame_global_flags, LameCloser> gf(lame_init());
    if (!gf || lame_set_in_samplerate(gf.get(), kRate) != 0 ||
        lame_set_out_samplerate(gf.get(), kRate) != 0 || lame_set_num_channels(gf.get(), 2) != 0 ||
        lame_set_brate(gf.get(), 160) != 0 || lame_set_quality(gf.get(), 5) != 0 ||
        lame_set_disable_reservoir(gf.get(), 1) != 0 || lame_set_bWriteVbrTag(gf.get(), 0) != 0 ||
        lame_set_mode(gf.get(), STEREO) != 0 || lame_init_params(gf.get()) < 0) {
        return false;
    }
    constexpr int kFrames = 1152;
    std::vector<unsigned char> buffer(kFrames * 5 / 4 + 7200);
    QFile f(out);
    if (!f.open(QIODevice::WriteOnly)) {
        return false;
    }
    for (std::size_t at = 0; at < pcm.size(); at += kFrames * 2) {
        const int frames = static_cast<int>(std::min<std::size_t>(kFrames, (pcm.size() - at) / 2));
        const int n =
            lame_encode_buffer_interleaved(gf.get(), const_cast<short*>(pcm.data() + at), frames,
                                           buffer.data(), static_cast<int>(buffer.size()));
        if (n < 0 || f.write(reinterpret_cast<const char*>(buffer.data()), n) != n) {
            return false;
        }
    }
    const int n = lame_encode_flush(gf.get(), buffer.data(), static_cast<int>(buffer.size()));
    return n >= 0 && f.write(reinterpret_cast<const char*>(buffer.data()), n) == n;
}

double seconds(const std::function<bool()>& run) {
    const auto start = std::chrono::steady_clock::now();
    if (!run()) {
        std::fprintf(stderr, "a conversion failed\n");
        std::exit(1);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main() {
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("in.wav"));
    const std::vector<std::int16_t> pcm = music();
    if (!writeWav(wav, pcm)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(wav));
        return 1;
    }
    NoBoxes boxes;
    NoLabel label;
    std::vector<double> inProcess, command, bare;
    for (int round = 0; round < kRounds; ++round) {
        inProcess.push_back(seconds([&] {
            WAVToMP3 conversion(QStringLiteral(ZORVITA_APP_DIR), QStringLiteral("44100"), boxes,
                                label);
            return conversion.CreateWAVtoMP3(wav, dir.filePath(QStringLiteral("a.mp3")), false)
                .isEmpty();
        }));
        command.push_back(seconds([&] {
            return QProcess::execute(
                       QStringLiteral("lame"),
                       {QStringLiteral("--quiet"), QStringLiteral("-b"), QStringLiteral("160"),
                        QStringLiteral("--cbr"), QStringLiteral("--nores"), QStringLiteral("-q"),
                        QStringLiteral("5"), wav, dir.filePath(QStringLiteral("b.mp3"))}) == 0;
        }));
        bare.push_back(
            seconds([&] { return bareLoop(pcm, dir.filePath(QStringLiteral("c.mp3"))); }));
    }
    const double a = median(inProcess), b = median(command), c = median(bare);
    std::printf("60 s 44.1 kHz stereo, CBR 160, no reservoir, quality 5; medians of %d rounds\n",
                kRounds);
    std::printf("  CreateWAVtoMP3     %.3f s\n", a);
    std::printf("  lame command       %.3f s\n", b);
    std::printf("  bare libmp3lame    %.3f s\n", c);
    std::printf("  in-process / command  %.3f  (target <= 0.85) %s\n", a / b,
                a / b <= 0.85 ? "met" : "MISSED");
    std::printf("  in-process / bare     %.3f  (target <= 1.05) %s\n", a / c,
                a / c <= 1.05 ? "met" : "MISSED");
    return 0;
}
