// A second process for the platform tests: writes or reads the settings store, or holds the
// single-instance lock, as told on its command line.
#include "platform/registry/registry.h"
#include "platform/registry/settings_store.h"
#include "platform/shell/shell.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 6 && args[1] == QLatin1String("write")) {
        platform::Registry registry(args[2]);
        platform::SettingsStore store(registry);
        const int count = args[5].toInt();
        for (int i = 0; i < count; ++i) {
            store.SaveSetting(QStringLiteral("Zorvita"), args[3], args[4] + QString::number(i),
                              QString::number(i));
        }
        return 0;
    }
    if (args.size() >= 5 && args[1] == QLatin1String("read")) {
        platform::Registry registry(args[2]);
        platform::SettingsStore store(registry);
        std::printf("%s",
                    qPrintable(store.GetSetting(QStringLiteral("Zorvita"), args[3], args[4])));
        return 0;
    }
    if (args.size() >= 3 && args[1] == QLatin1String("hold-lock")) {
        platform::SingleInstance instance(args[2]);
        if (!instance.acquire()) {
            return 1;
        }
        std::printf("locked\n");
        std::fflush(stdout);
        QThread::sleep(60);
        return 0;
    }
    if (args.size() >= 3 && args[1] == QLatin1String("try-lock")) {
        platform::SingleInstance instance(args[2]);
        return instance.acquire() ? 0 : 1;
    }
    return 2;
}
