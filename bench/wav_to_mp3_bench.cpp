// Converts the same 60 s, 44.1 kHz stereo WAV three ways, alternating them over several rounds:
// in-process through WAVToMP3 (the recorder's path), with the lame command at the same settings,
// and with a bare libmp3lame loop. Prints the medians and the ratios against the targets
// (at most 0.85 x the command, at most 5 % over the bare loop).
// Then a 10-minute WAV through the driver sequentially and in segments on every core, against
// the bare loop (target: segments at most 0.55 x the bare loop on two cores; it also prints how
// much CPU other processes took meanwhile, since that figure needs every core), and the seams: the
// segmented file decoded against the sequential one around each seam, next to how far the
// sequential one is from the input there.
// With --hour it only converts one hour sequentially and in segments, and prints the peak memory.
#include "platform/ui/message_box.h"
#include "recording/Mp3Frames.h"
#include "recording/SegmentPlan.h"
#include "recording/ShowSavingProgress.h"
#include "recording/WAVToMP3.h"
#include "recording/cLameEncoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <lame/lame.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kSeconds = 60;
constexpr int kRounds = 7;
constexpr int kLongSeconds = 600;
constexpr int kLongRounds = 3;

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

// Chords with a little noise: something the psychoacoustic model has to work on. Frames
// [first, first + count) of it, into pcm, the noise drawn from `noise`.
void musicInto(std::int16_t* pcm, std::size_t first, std::size_t count, std::mt19937& noise) {
    std::normal_distribution<double> hiss(0.0, 300.0);
    for (std::size_t i = first; i < first + count; ++i, pcm += 2) {
        const double t = static_cast<double>(i) / kRate;
        const double base =
            110.0 * std::pow(2.0, static_cast<double>(static_cast<int>(t * 2) % 12) / 12.0);
        double v = 0;
        for (double h : {1.0, 1.25, 1.5, 2.0, 3.0}) {
            v += 3000.0 / h * std::sin(2.0 * std::numbers::pi * base * h * t);
        }
        pcm[0] = static_cast<std::int16_t>(std::lround(v + hiss(noise)));
        pcm[1] = static_cast<std::int16_t>(std::lround(0.8 * v + hiss(noise)));
    }
}

std::vector<std::int16_t> music(int seconds = kSeconds) {
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(kRate) * seconds * 2);
    std::mt19937 noise(7);
    musicInto(pcm.data(), 0, pcm.size() / 2, noise);
    return pcm;
}

void putLe(QByteArray& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.append(static_cast<char>(v >> (8 * i)));
    }
}

QByteArray wavHeader(std::uint32_t dataBytes) {
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
    return header;
}

bool writeWav(const QString& file, const std::vector<std::int16_t>& pcm) {
    const auto dataBytes = static_cast<std::uint32_t>(pcm.size() * 2);
    const QByteArray header = wavHeader(dataBytes);
    QFile f(file);
    return f.open(QIODevice::WriteOnly) && f.write(header) == header.size() &&
           f.write(reinterpret_cast<const char*>(pcm.data()), dataBytes) == dataBytes;
}

struct LameCloser {
    void operator()(lame_global_flags* gf) const { lame_close(gf); }
};

// The same settings the library uses for the recorder: CBR 160, no bit reservoir, quality 5.
bool bareLoop(const std::vector<std::int16_t>& pcm, const QString& out) {
    // Same settings as the encoder library gives the recorder's conversion (preset 7).
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

// The left channel of an MP3 file as the lame command decodes it.
std::vector<std::int16_t> decodeLeft(const QString& mp3, const QString& wav) {
    if (QProcess::execute(QStringLiteral("lame"),
                          {QStringLiteral("--quiet"), QStringLiteral("--decode"), mp3, wav}) != 0) {
        return {};
    }
    QFile f(wav);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = f.readAll();
    const qsizetype data = bytes.indexOf("data");
    std::vector<std::int16_t> left;
    for (qsizetype at = data + 8; at + 4 <= bytes.size(); at += 4) {
        std::int16_t s = 0;
        std::memcpy(&s, bytes.constData() + at, 2);
        left.push_back(s);
    }
    return left;
}

// The seam figures: around each seam, the largest and the RMS difference between the segmented
// and the sequential decoding, and the same between the sequential decoding and the input.
void reportSeams(const std::vector<std::int16_t>& pcm, const QString& sequential,
                 const QString& parallel, int segments, const QString& dir) {
    const std::vector<std::int16_t> seq = decodeLeft(sequential, dir + QStringLiteral("/s.wav"));
    const std::vector<std::int16_t> par = decodeLeft(parallel, dir + QStringLiteral("/p.wav"));
    if (seq.empty() || seq.size() != par.size()) {
        std::printf("  seams: decoded lengths differ (%zu, %zu)\n", seq.size(), par.size());
        return;
    }
    // The decoder's delay, found where the decoding matches the input best.
    const std::size_t probe = 10 * kRate;
    std::size_t delay = 0;
    double best = -1;
    for (std::size_t d = 0; d < 3000; ++d) {
        double e = 0;
        for (std::size_t i = probe; i < probe + 4096; ++i) {
            const double x = seq[i + d] - pcm[2 * i];
            e += x * x;
        }
        if (best < 0 || e < best) {
            best = e;
            delay = d;
        }
    }
    const std::int64_t frames = static_cast<std::int64_t>(pcm.size() / 2);
    const std::vector<Segment> plan = planSegments((frames + 1151) / 1152, segments);
    std::printf(
        "  seams (%d segments, decoder delay %zu): |segmented - sequential| against "
        "|sequential - input|, +-2304 samples\n",
        segments, delay);
    for (std::size_t k = 1; k < plan.size(); ++k) {
        const std::int64_t seam = plan[k].firstBlock * 1152 - 576;
        double seamSq = 0, codecSq = 0;
        int seamPeak = 0, codecPeak = 0, n = 0;
        for (std::int64_t i = seam - 2304; i < seam + 2304; ++i, ++n) {
            const auto at = static_cast<std::size_t>(i) + delay;
            const int a = std::abs(par[at] - seq[at]);
            const int b = std::abs(seq[at] - pcm[2 * static_cast<std::size_t>(i)]);
            seamSq += static_cast<double>(a) * a;
            codecSq += static_cast<double>(b) * b;
            seamPeak = std::max(seamPeak, a);
            codecPeak = std::max(codecPeak, b);
        }
        std::printf("    seam %zu: peak %5d against %5d, RMS %7.1f against %7.1f %s\n", k, seamPeak,
                    codecPeak, std::sqrt(seamSq / n), std::sqrt(codecSq / n),
                    seamPeak <= codecPeak && seamSq <= codecSq ? "within" : "BEYOND");
    }
}

double seconds(const std::function<bool()>& run) {
    const auto start = std::chrono::steady_clock::now();
    if (!run()) {
        std::fprintf(stderr, "a conversion failed\n");
        std::exit(1);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// CPU seconds the whole machine spent busy, and this process alone, so far: the difference over
// a run is what other processes took from it. The segmented figure is only fair when that is
// near zero, since it needs every core.
double machineBusySeconds() {
    std::ifstream stat("/proc/stat");
    std::string cpu;
    long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
    stat >> cpu >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal;
    return static_cast<double>(user + nice + system + irq + softirq + steal) /
           static_cast<double>(sysconf(_SC_CLK_TCK));
}

double ownCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto sec = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6;
    };
    return sec(usage.ru_utime) + sec(usage.ru_stime);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// One hour of the same music, sequential against segmented once each, with the process's peak
// memory: later segments' frames that do not fit the waiting budget go to spill files, so the
// segments keep every core busy for the whole hour. The WAV is written a minute at a time so
// that the peak is the conversions' own.
int hour() {
    constexpr int kHourSeconds = 3600;
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("hour.wav"));
    {
        QFile f(wav);
        const QByteArray header =
            wavHeader(static_cast<std::uint32_t>(std::int64_t{kHourSeconds} * kRate * 4));
        bool written = f.open(QIODevice::WriteOnly) && f.write(header) == header.size();
        std::vector<std::int16_t> minute(static_cast<std::size_t>(kRate) * 60 * 2);
        std::mt19937 noise(7);
        for (int m = 0; written && m < kHourSeconds / 60; ++m) {
            musicInto(minute.data(), static_cast<std::size_t>(m) * kRate * 60, minute.size() / 2,
                      noise);
            const auto bytes = static_cast<qint64>(minute.size() * 2);
            written = f.write(reinterpret_cast<const char*>(minute.data()), bytes) == bytes;
        }
        if (!written) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(wav));
            return 1;
        }
    }
    NoBoxes boxes;
    NoLabel label;
    std::int64_t spilled = 0;
    const auto driver = [&](int segments, const QString& mp3) {
        cLameEncoder e(QStringLiteral(ZORVITA_APP_DIR), QStringLiteral("44100"), boxes, label);
        e.setEncodingPreset(7);
        e.setMaxSegments(segments);
        e.setWavFile(wav);
        e.setMP3File(mp3);
        const bool ok = e.Encode().isEmpty();
        spilled = e.SpilledBytes();
        return ok;
    };
    double load[3] = {};
    getloadavg(load, 3);
    const QString seqMp3 = dir.filePath(QStringLiteral("seq.mp3"));
    const QString parMp3 = dir.filePath(QStringLiteral("par.mp3"));
    const double sequential = seconds([&] { return driver(1, seqMp3); });
    const double busyBefore = machineBusySeconds(), ownBefore = ownCpuSeconds();
    const double parallel = seconds([&] { return driver(0, parMp3); });
    const double others = machineBusySeconds() - busyBefore - (ownCpuSeconds() - ownBefore);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    double loadAfter[3] = {};
    getloadavg(loadAfter, 3);
    const int segments = segmentCountFor(static_cast<int>(std::thread::hardware_concurrency()),
                                         std::int64_t{kHourSeconds} * kRate / 1152);
    std::printf(
        "%d s 44.1 kHz stereo, CBR 160, no reservoir, quality 5; one run each; %d segments\n",
        kHourSeconds, segments);
    std::printf("  sequential driver  %.3f s\n", sequential);
    std::printf("  segmented driver   %.3f s\n", parallel);
    std::printf("  sequential / segmented  %.2f x\n", sequential / parallel);
    std::printf("  frames spilled to a file  %.1f MiB\n", static_cast<double>(spilled) / (1 << 20));
    std::printf("  peak resident memory      %.1f MiB\n",
                static_cast<double>(usage.ru_maxrss) / 1024);
    std::printf("  other processes took %.2f CPU s during the segmented run (fair: near 0)\n",
                others);
    std::printf("  load average before %.2f %.2f %.2f, after %.2f %.2f %.2f\n", load[0], load[1],
                load[2], loadAfter[0], loadAfter[1], loadAfter[2]);
    // Checked after the peak was taken: the same segments with every frame held in memory.
    const QString memMp3 = dir.filePath(QStringLiteral("mem.mp3"));
    {
        cLameEncoder e(QStringLiteral(ZORVITA_APP_DIR), QStringLiteral("44100"), boxes, label);
        e.setEncodingPreset(7);
        e.setWaitingBudget(SIZE_MAX);
        e.setWavFile(wav);
        e.setMP3File(memMp3);
        if (!e.Encode().isEmpty()) {
            return 1;
        }
    }
    const auto frames = [](const QString& mp3) {
        QFile f(mp3);
        Mp3FrameSplitter splitter(0, -1);
        std::vector<std::uint8_t> kept;
        if (!f.open(QIODevice::ReadOnly)) {
            return std::int64_t{-1};
        }
        for (QByteArray piece = f.read(1 << 20); !piece.isEmpty(); piece = f.read(1 << 20)) {
            if (!splitter.push(reinterpret_cast<const std::uint8_t*>(piece.constData()),
                               static_cast<std::size_t>(piece.size()), kept)) {
                return std::int64_t{-1};
            }
            kept.clear();
        }
        return splitter.framesKept();
    };
    QFile par(parMp3), mem(memMp3);
    const bool same = par.open(QIODevice::ReadOnly) && mem.open(QIODevice::ReadOnly) &&
                      par.readAll() == mem.readAll();
    std::printf(
        "  frames: sequential %lld, segmented %lld; segmented file %s the one made with "
        "every frame in memory\n",
        static_cast<long long>(frames(seqMp3)), static_cast<long long>(frames(parMp3)),
        same ? "identical to" : "DIFFERENT FROM");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--hour") == 0) {
        return hour();
    }
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

    const std::vector<std::int16_t> longPcm = music(kLongSeconds);
    const QString longWav = dir.filePath(QStringLiteral("long.wav"));
    if (!writeWav(longWav, longPcm)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(longWav));
        return 1;
    }
    const QString seqMp3 = dir.filePath(QStringLiteral("seq.mp3"));
    const QString parMp3 = dir.filePath(QStringLiteral("par.mp3"));
    const auto driver = [&](int segments, const QString& mp3) {
        cLameEncoder e(QStringLiteral(ZORVITA_APP_DIR), QStringLiteral("44100"), boxes, label);
        e.setEncodingPreset(7);
        e.setMaxSegments(segments);
        e.setWavFile(longWav);
        e.setMP3File(mp3);
        return e.Encode().isEmpty();
    };
    const int cores = segmentCountFor(static_cast<int>(std::thread::hardware_concurrency()),
                                      kLongSeconds * kRate / 1152);
    std::vector<double> sequential, parallel, bareLong, othersDuringSegmented;
    for (int round = 0; round < kLongRounds; ++round) {
        sequential.push_back(seconds([&] { return driver(1, seqMp3); }));
        const double busyBefore = machineBusySeconds(), ownBefore = ownCpuSeconds();
        parallel.push_back(seconds([&] { return driver(0, parMp3); }));
        othersDuringSegmented.push_back(machineBusySeconds() - busyBefore -
                                        (ownCpuSeconds() - ownBefore));
        bareLong.push_back(
            seconds([&] { return bareLoop(longPcm, dir.filePath(QStringLiteral("d.mp3"))); }));
    }
    const double s1 = median(sequential), p1 = median(parallel), b1 = median(bareLong);
    std::printf("\n%d s 44.1 kHz stereo, same settings; medians of %d rounds; %d segments\n",
                kLongSeconds, kLongRounds, cores);
    std::printf("  sequential driver  %.3f s\n", s1);
    std::printf("  segmented driver   %.3f s\n", p1);
    std::printf("  bare libmp3lame    %.3f s\n", b1);
    std::printf("  segmented / bare      %.3f  (target <= 0.55 on 2 cores) %s\n", p1 / b1,
                p1 / b1 <= 0.55 ? "met" : "MISSED");
    std::printf("  sequential / bare     %.3f\n", s1 / b1);
    std::printf(
        "  other processes took %.2f CPU s during the median segmented run (fair: near 0)\n",
        othersDuringSegmented[static_cast<std::size_t>(
            std::find(parallel.begin(), parallel.end(), p1) - parallel.begin())]);
    reportSeams(longPcm, seqMp3, parMp3, cores, dir.path());
    return 0;
}
