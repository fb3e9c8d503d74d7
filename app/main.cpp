#include "app/frm_fm.h"
#include "app/main_entry.h"
#include "platform/registry/registry.h"
#include "platform/registry/settings_store.h"
#include "platform/shell/shell.h"
#include "platform/ui/message_box.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    platform::QtMessageBoxes boxes;
    platform::Registry registry(platform::Registry::defaultPath());
    platform::SettingsStore settings(registry);
    platform::DesktopShell shell;
    platform::SingleInstance instance(QStringLiteral("Zorvita"));

    app::MainServices services{
        boxes,
        settings,
        registry,
        shell,
        instance,
        QCoreApplication::applicationDirPath(),
        // Ending at once: no other window's close handler runs. Every setting is already on
        // disk (each write replaces the store file), so nothing is lost.
        [] {
            std::fflush(nullptr);
            std::_Exit(0);
        },
        {},
        {},
    };
    const app::MainResult started = app::Main(services);
    if (!started.window) {
        return 0;
    }
    return QApplication::exec();
}
