// CPU cost of the advanced recorder's window while it records: 44.1 kHz stereo from a private
// sound server's output monitor playing a tone, every effect on, waveform, spectrum and level
// bars refreshed. Only the window's process is counted, over steady recording (start-up, the
// stop and the conversion are left out). Run under an X server:
//
//   xvfb-run -a build/bench/recorder_window_cpu [seconds]     (default 10; the target is for 60)
//   recorder_window_cpu --window <seconds> <folder>           the window alone (run by the above)

#include "bench/support/cpu_measure.h"
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
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <string>
#include <vector>

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

int measure(int seconds, const char* self) {
    bench::SoundServer server;
    if (!server.ok() ||
        !server.playTone(44100, seconds + kWarmUpSeconds + 30, QStringLiteral("300-3000"))) {
        return 1;
    }
    QDir(server.folder()).mkpath(QStringLiteral("app"));
    const std::string folder =
        QFile::encodeName(server.folder() + QStringLiteral("/app")).toStdString();
    // The window's own CPU only: its share of the sound server is the engine's benchmark.
    const bench::Side window =
        bench::measure(0, {self, "--window", std::to_string(seconds + kWarmUpSeconds + 1), folder},
                       seconds, false, kWarmUpSeconds);

    std::printf("Recorder window, %d s of 44.1 kHz stereo, every effect, live views\n", seconds);
    std::printf("window process  %8.4f s CPU  (%.3f %% of a core; target at most 4 %%)\n",
                window.own, 100.0 * window.own / seconds);
    return window.succeeded ? 0 : 1;
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
