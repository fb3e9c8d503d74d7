// A second process for the platform tests: writes or reads the settings store, holds its lock,
// or holds the single-instance lock, as told on its command line. A change that fails prints
// its description and exits with 1.
#include "platform/registry/registry.h"
#include "platform/registry/settings_store.h"
#include "platform/shell/shell.h"
#include "platform/ui/error.h"

#include <QCoreApplication>
#include <QLockFile>
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
        try {
            for (int i = 0; i < count; ++i) {
                store.SaveSetting(QStringLiteral("Zorvita"), args[3], args[4] + QString::number(i),
                                  QString::number(i));
            }
        } catch (const platform::Error& e) {
            std::printf("%ld %s", e.number(), qPrintable(e.description()));
            return 1;
        }
        return 0;
    }
    if (args.size() >= 3 && args[1] == QLatin1String("hold-store-lock")) {
        QLockFile lock(args[2] + QStringLiteral(".lock"));
        if (!lock.lock()) {
            return 1;
        }
        std::printf("locked\n");
        std::fflush(stdout);
        QThread::sleep(60);
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
        if (instance.acquire() != platform::InstanceLock::Acquired) {
            return 1;
        }
        std::printf("locked\n");
        std::fflush(stdout);
        QThread::sleep(60);
        return 0;
    }
    if (args.size() >= 3 && args[1] == QLatin1String("try-lock")) {
        platform::SingleInstance instance(args[2]);
        return instance.acquire() == platform::InstanceLock::Acquired ? 0 : 1;
    }
    return 2;
}
