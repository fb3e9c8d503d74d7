// CPU cost of the sliding headline strip: the main window shown (run it under `xvfb-run -a`),
// first idle with headlines off, then with headlines from the local vendor site sliding, each
// for the same time: `headline_slide_cpu [seconds]` (default 30). Prints the CPU share of one
// core of the process and of its user-interface thread in each phase, and the differences, the
// slide's own cost (target: under 1 %).

#include "app/frm_fm.h"
#include "news/HeadlineTicker.h"
#include "platform/mci/mci.h"
#include "platform/registry/registry.h"
#include "platform/registry/settings_store.h"
#include "platform/shell/shell.h"
#include "platform/ui/message_box.h"
#include "tools/vendor-site/vendor_site.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

namespace {

class SilentBoxes final : public platform::MessageBoxes {
  public:
    platform::MsgAnswer show(const QString& text, int, const QString&) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return platform::MsgAnswer::Ok;
    }
};

double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Share {
    double process = 0;  // every thread (the media player has its own)
    double ui = 0;       // the user-interface thread, where the slide runs
};

// CPU shares of one core, in percent, while the event loop runs for `seconds`.
Share cpuShare(int seconds) {
    const double process = cpuSeconds(RUSAGE_SELF);
    const double ui = cpuSeconds(RUSAGE_THREAD);
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double elapsed = wall.nsecsElapsed() / 1e9;
    return {100.0 * (cpuSeconds(RUSAGE_SELF) - process) / elapsed,
            100.0 * (cpuSeconds(RUSAGE_THREAD) - ui) / elapsed};
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    QApplication application(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;

    vendor_site::VendorSite site(QStringLiteral(ZORVITA_SOURCE_DIR "/tools/vendor-site/www"));
    if (!site.listen()) {
        std::fprintf(stderr, "cannot start the local vendor site\n");
        return 1;
    }
    qputenv("ZORVITA_VENDOR_HOST", "127.0.0.1:" + QByteArray::number(site.port()));

    const QString appFolder = home.path() + QStringLiteral("/app");
    QDir().mkpath(appFolder);
    for (const QString& file : app::FrmFM::requiredFiles()) {
        QFile f(appFolder + file);
        if (!f.open(QIODevice::WriteOnly)) {
            return 1;
        }
        f.write("x");
    }
    // The station file of a fresh installation.
    QFile::remove(appFolder + QStringLiteral("/Player.dll"));
    QFile::copy(QStringLiteral(ZORVITA_APP_DIR "/Player.dll"),
                appFolder + QStringLiteral("/Player.dll"));

    SilentBoxes boxes;
    platform::Registry registry(platform::Registry::defaultPath());
    platform::SettingsStore settings(registry);
    platform::DesktopShell shell;
    platform::MciSession mci;
    app::FrmFM window(boxes, settings, registry, shell,
                      {mci, [] { return 0; }, [] { return QDateTime::currentDateTime(); }},
                      appFolder, [] { std::_Exit(3); });
    window.show();
    window.Form_Load();

    const Share idle = cpuShare(seconds);

    window.PicSettings_Click();
    window.ChkNews()->setChecked(true);
    window.PicOK_Click();
    QElapsedTimer wait;
    wait.start();
    while (window.newsTicker().Headlines().isEmpty() && wait.elapsed() < 20000) {
        QEventLoop loop;
        QTimer::singleShot(50, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (window.newsTicker().Headlines().isEmpty()) {
        std::fprintf(stderr, "no headlines arrived\n");
        return 1;
    }
    const Share sliding = cpuShare(seconds);

    std::printf("platform: %s, %d s a phase\n", qPrintable(QGuiApplication::platformName()),
                seconds);
    std::printf("%% of a core          process  UI thread\n");
    std::printf("idle window         %7.2f  %9.2f\n", idle.process, idle.ui);
    std::printf("sliding headlines   %7.2f  %9.2f\n", sliding.process, sliding.ui);
    std::printf("the slide costs     %7.2f  %9.2f   (target: under 1 %%)\n",
                sliding.process - idle.process, sliding.ui - idle.ui);
    return 0;
}
