// A second process for the start-up tests, and the screenshot maker for the documentation.
//
//   app_helper main <application folder> <instance name>
//       Starts the program as Main does, with message boxes printed to stdout instead of shown.
//       Prints "ready" once the main window is up and keeps running until killed.
//   app_helper screenshot <application folder> <output.png>
//                         [settings|manage|about|update|news|hover] [skin]
//       Opens the main window, optionally in a skin and with a panel open, and saves what the
//       screen shows of it (under an X server, the shaped window over the desktop). "update" runs
//       the station update against the vendor host in ZORVITA_VENDOR_HOST (answering Yes) and
//       shows the management list at its end; it rewrites the folder's Player.dll, so give it a
//       copy. "news" switches headlines on, waits for the first one from the site in
//       ZORVITA_VENDOR_HOST and slides it into view. "hover" rests the pointer on Play.
//   app_helper helpshot <output.png>
//       Shows the recording-help window with its box ticked and saves it.
#include "app/controls.h"
#include "app/frm_fm.h"
#include "app/help/frm_message.h"
#include "app/main_entry.h"
#include "news/HeadlineTicker.h"
#include "platform/mci/mci.h"
#include "platform/registry/registry.h"
#include "platform/registry/settings_store.h"
#include "platform/shell/shell.h"
#include "platform/ui/message_box.h"
#include "skins/picture_box.h"
#include "stations/LiveUpdate.h"
#include "stations/StationManager.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QGuiApplication>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QScreen>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace {

class PrintedMessageBoxes final : public platform::MessageBoxes {
  public:
    platform::MsgAnswer show(const QString& text, int style, const QString& caption) override {
        std::printf("box %d %s\n%s\n", style, qPrintable(caption), qPrintable(text));
        std::fflush(stdout);
        if (answerYes && (style & platform::MsgYesNo) == platform::MsgYesNo) {
            return platform::MsgAnswer::Yes;
        }
        return platform::MsgAnswer::Ok;
    }
    bool answerYes = false;
};

// The helper records nothing: no capture device.
app::MediaServices noRecording(platform::Mci& mci) {
    return {mci, [] { return 0; }, [] { return QDateTime::currentDateTime(); }};
}

int runMain(const QString& appFolder, const QString& instanceName) {
    PrintedMessageBoxes boxes;
    platform::Registry registry(platform::Registry::defaultPath());
    platform::SettingsStore settings(registry);
    platform::DesktopShell shell;
    platform::SingleInstance instance(instanceName);
    platform::MciSession mci;
    app::MainServices services{boxes,
                               settings,
                               registry,
                               shell,
                               instance,
                               appFolder,
                               [] {
                                   std::printf("ended\n");
                                   std::fflush(stdout);
                                   std::_Exit(3);
                               },
                               {},
                               {},
                               noRecording(mci)};
    const app::MainResult started = app::Main(services);
    if (!started.window) {
        return 0;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return QApplication::exec();
}

int grab(app::FrmFM& window, const QString& out);

int screenshot(const QString& appFolder, const QString& out, const QString& panel,
               const QString& skin) {
    PrintedMessageBoxes boxes;
    platform::Registry registry(platform::Registry::defaultPath());
    platform::SettingsStore settings(registry);
    if (!skin.isEmpty()) {
        settings.SaveSetting(QStringLiteral("Zorvita"), QStringLiteral("Skin"),
                             QStringLiteral("Current"), skin);
    }
    platform::DesktopShell shell;
    platform::MciSession mci;
    app::FrmFM window(boxes, settings, registry, shell, noRecording(mci), appFolder,
                      [] { std::_Exit(3); });
    window.move(40, 40);
    if (panel == QLatin1String("news")) {
        settings.SaveSetting(QStringLiteral("Zorvita"), QStringLiteral("News"),
                             QStringLiteral("Show"), QStringLiteral("1"));
    }
    window.Form_Load();
    if (panel == QLatin1String("update")) {
        boxes.answerYes = true;
        window.PicSettings_Click();
        window.stationManager().LblManageStations_Click();
        window.liveUpdate().CmdLive_Click();
        QListWidget* list = window.LstManageStations();
        list->setCurrentRow(list->count() - 1);
        list->scrollToBottom();
        return grab(window, out);
    }
    // The station model is filled by the station list; a few names stand in for it here.
    for (const char* name :
         {"Radio Meridian", "Coastline FM", "Night Owl Jazz", "Morning Ragas", "Metro Talk 24",
          "Classic Hits 90s", "Lo-Fi Study Beats", "Folk & Roots", "City News Live"}) {
        window.LstStations()->addItem(QString::fromUtf8(name));
    }
    window.LstStations()->setCurrentRow(2);
    if (panel == QLatin1String("settings")) {
        window.PicSettings_Click();
        window.OptSampleRate(6)->setChecked(true);
    } else if (panel == QLatin1String("manage")) {
        window.PicSettings_Click();
        window.PicManageStations()->show();
        for (int i = 0; i < window.LstStations()->count(); ++i) {
            window.LstManageStations()->addItem(window.LstStations()->item(i)->text());
        }
        window.LstManageStations()->setCurrentRow(0);
        window.LblTot()->setText(QStringLiteral("Station : 1 of 9"));
    } else if (panel == QLatin1String("about")) {
        window.PicAboutMe()->show();
    } else if (panel == QLatin1String("hover")) {
        // The pointer comes onto Play and rests there: the first movement hooks the button, the
        // next arms the hover.
        for (int i = 0; i < 2; ++i) {
            const QPointF at(10 + i, 10);
            QMouseEvent move(QEvent::MouseMove, at, window.PicPlay()->mapToGlobal(at), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(window.PicPlay(), &move);
        }
    } else if (panel == QLatin1String("news")) {
        for (int i = 0; i < 400 && window.newsTicker().Headlines().isEmpty(); ++i) {
            QApplication::processEvents();
            QThread::msleep(25);
        }
        // The headline enters at the right edge and moves a twip a tick: run the ticks of
        // about two minutes at once, so most of it is in view.
        for (int i = 0; i < 380 * news::HeadlineTicker::kTwipsPerPixel; ++i) {
            window.newsTicker().Tick();
        }
    }
    return grab(window, out);
}

int grab(app::FrmFM& window, const QString& out) {
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(25);
    }
    QImage shot;
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        const QRect r = window.frameGeometry().adjusted(-12, -12, 12, 12);
        shot = window.screen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage();
    } else {
        // Without a window system, the window is drawn by itself and its outline applied by hand.
        shot = QImage(window.size(), QImage::Format_ARGB32_Premultiplied);
        shot.fill(Qt::transparent);
        QPainter p(&shot);
        p.setClipRegion(window.mask());
        window.render(&p);
    }
    return shot.save(out) ? 0 : 1;
}

int helpShot(const QString& out) {
    PrintedMessageBoxes boxes;
    platform::Registry registry(platform::Registry::defaultPath());
    platform::SettingsStore settings(registry);
    platform::DesktopShell shell;
    app::FrmMessage help(boxes, settings, shell);
    help.move(40, 40);
    help.show();
    help.ChkShow()->setChecked(true);
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(25);
    }
    QImage shot;
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        const QRect r = help.frameGeometry().adjusted(-12, -12, 12, 12);
        shot = help.screen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage();
    } else {
        shot = help.grab().toImage();
    }
    return shot.save(out) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() >= 4 && args[1] == QLatin1String("main")) {
        return runMain(args[2], args[3]);
    }
    if (args.size() >= 4 && args[1] == QLatin1String("screenshot")) {
        return screenshot(args[2], args[3], args.value(4), args.value(5));
    }
    if (args.size() >= 3 && args[1] == QLatin1String("helpshot")) {
        return helpShot(args[2]);
    }
    return 2;
}
