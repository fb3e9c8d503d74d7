// Minimises a window to a real XEmbed notification area and restores it, watching the area's
// own window for the icon. Run on an X server of its own (xvfb-run); starts and stops the tray
// host itself. Prints what it saw; exits 0 when the icon appeared on minimise and went on
// restore. With an output file, also saves the tray with the icon's menu open.
#include "app/tray/mod_sys_tray.h"
#include "skins/builtin_skin.h"
#include "tests/support/scripted_message_boxes.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QMenu>
#include <QProcess>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QThread>
#include <QWidget>

#include <cstdio>
#include <functional>

namespace {

// The windows inside the tray host's panel: each docked icon adds some.
int countPanelWindows() {
    QProcess info;
    info.start(QStringLiteral("xwininfo"),
               {QStringLiteral("-name"), QStringLiteral("panel"), QStringLiteral("-tree")});
    if (!info.waitForFinished(20000) || info.exitCode() != 0) {
        return -1;
    }
    int count = 0;
    for (const QByteArray& line : info.readAllStandardOutput().split('\n')) {
        if (line.trimmed().startsWith("0x")) {
            ++count;
        }
    }
    return count;
}

bool waitFor(const std::function<bool()>& condition, int seconds) {
    const QDeadlineTimer deadline(seconds * 1000);
    while (!deadline.hasExpired()) {
        QApplication::processEvents();
        if (condition()) {
            return true;
        }
        QThread::msleep(100);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QProcess host;
    host.start(QStringLiteral("trayer"),
               {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                QStringLiteral("left"), QStringLiteral("--widthtype"), QStringLiteral("pixel"),
                QStringLiteral("--width"), QStringLiteral("160"), QStringLiteral("--height"),
                QStringLiteral("24")});
    if (!host.waitForStarted(20000)) {
        std::printf("no tray host: %s\n", qPrintable(host.errorString()));
        return 2;
    }
    int result = 1;
    const auto stopHost = [&] {
        host.kill();
        host.waitForFinished(10000);
    };
    if (!waitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 60) ||
        !waitFor([] { return countPanelWindows() >= 0; }, 30)) {
        std::printf("the tray host never became available\n");
        stopHost();
        return 3;
    }
    {
        testing_support::ScriptedMessageBoxes boxes;
        QMenu menu;
        menu.addAction(QStringLiteral("Open"));
        menu.addAction(QStringLiteral("Stop"));
        menu.addSeparator();
        menu.addAction(QStringLiteral("Close"));
        QWidget window;
        window.setWindowIcon(skins::builtinFlashIcon(6));
        window.show();
        app::ModSysTray tray(window, std::make_unique<app::QtTrayIcon>(&menu), boxes,
                             {[] { return false; }, [] { return QString(); }, {}});
        const int before = countPanelWindows();
        tray.PicMin_Click();
        tray.Form_Resize();
        const bool appeared = waitFor([&] { return countPanelWindows() > before; }, 30);
        std::printf("%s\n", appeared ? "appeared" : "did not appear");
        std::printf("window %s\n", window.isVisible() ? "shown" : "hidden");
        if (argc > 1 && appeared) {
            menu.popup(QPoint(24, 26));
            waitFor([] { return false; }, 1);
            QApplication::primaryScreen()
                ->grabWindow(0, 0, 0, 200, 120)
                .save(QString::fromLocal8Bit(argv[1]));
            menu.hide();
        }
        tray.mnuShow_Click();
        const bool gone = waitFor([&] { return countPanelWindows() == before; }, 30);
        std::printf("%s\n", gone ? "gone" : "still there");
        result = appeared && gone && window.isVisible() ? 0 : 1;
    }
    std::fflush(stdout);
    stopHost();
    return result;
}
