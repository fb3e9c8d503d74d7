// The screenshot maker for the documentation:
//   recorder_helper screenshot <application folder> <output.png> [record]
// opens the advanced recorder's window (with "record": on the first output monitor, every effect
// on, recording for a moment) and saves what the screen shows of it. Run it under an X server
// (xvfb-run -a) with a sound server reachable, playing something to see.
#include "platform/audio/capture_server.h"
#include "platform/codecs/format_dialog.h"
#include "platform/registry/registry.h"
#include "platform/registry/settings_store.h"
#include "platform/ui/message_box.h"
#include "recorder/FrmRecorder.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QThread>

#include <cstdio>

namespace {

class PrintedMessageBoxes final : public platform::MessageBoxes {
  public:
    platform::MsgAnswer show(const QString& text, int, const QString& caption) override {
        std::fprintf(stderr, "%s: %s\n", caption.toLocal8Bit().constData(),
                     text.toLocal8Bit().constData());
        return platform::MsgAnswer::Ok;
    }
};

void runEventsFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
}

int screenshot(const QString& appFolder, const QString& out, bool record) {
    PrintedMessageBoxes boxes;
    platform::Registry registry(platform::Registry::defaultPath());
    platform::SettingsStore settings(registry);
    recorder::FrmRecorder window(boxes, settings, appFolder, platform::makePulseCaptureServer(),
                                 &platform::chooseWaveFormat);
    window.move(40, 40);
    window.load();
    window.show();
    if (record) {
        const int monitor =
            window.cboDev()->findText(QStringLiteral("Monitor of"), Qt::MatchStartsWith);
        window.cboDev()->setCurrentIndex(monitor);
        Q_EMIT window.cboDev()->activated(monitor);
        for (int i = 0; i < 4; ++i) {
            window.chkFX(i)->click();
        }
        window.cmdDo()->click();
    }
    runEventsFor(record ? 3000 : 500);
    const QRect r = window.frameGeometry().adjusted(-12, -12, 12, 12);
    const QImage shot =
        window.screen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage();
    if (record) {
        window.close();
    }
    return shot.save(out) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() >= 4 && args[1] == QLatin1String("screenshot")) {
        return screenshot(args[2], args[3], args.value(4) == QLatin1String("record"));
    }
    return 2;
}
