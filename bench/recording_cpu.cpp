// CPU cost of recording: the recorder (status caption running) against parecord capturing the
// same monitor for the same time, each counted together with the sound server's share.
//
//   recording_cpu [seconds]        runs both sides against a private sound server (default 60 s)
//   recording_cpu --record <s> <folder>   the recorder side alone (run by the above)

#include "bench/support/cpu_measure.h"
#include "platform/mci/waveaudio_device.h"
#include "platform/ui/message_box.h"
#include "recording/ModRecorder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTimer>

#include <cstdio>
#include <vector>

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

int compare(int seconds, const char* self) {
    bench::SoundServer server;
    if (!server.ok() || !server.playTone(48000, 2 * (seconds + bench::kWarmUpSeconds) + 30,
                                         QStringLiteral("1000"))) {
        return 1;
    }
    const QString base = server.folder();
    QDir(base).mkpath(QStringLiteral("app folder"));
    const bench::Side recorder =
        bench::measure(server.pid(),
                       {self, "--record", std::to_string(seconds + bench::kWarmUpSeconds + 1),
                        QFile::encodeName(base + QStringLiteral("/app folder")).toStdString()},
                       seconds, false);
    const bench::Side reference = bench::measure(
        server.pid(),
        {"parecord", "--device=zv_bench.monitor", "--rate=48000", "--channels=2", "--format=s16le",
         QFile::encodeName(base + QStringLiteral("/parecord.wav")).toStdString()},
        seconds, true);

    const auto row = [seconds](const char* name, const bench::Side& s) {
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
