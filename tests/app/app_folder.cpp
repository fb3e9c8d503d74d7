#include "tests/app/app_folder.h"

#include "platform/registry/settings_store.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

namespace testing_support {

AppFolderTest::AppFolderTest() : appFolder_(path(QStringLiteral("app"))) {
    QDir().mkpath(appFolder_);
    for (const QString& file : app::FrmFM::requiredFiles()) {
        createFile(file.mid(1));
    }
    // The station file of a fresh installation, so the window starts with the built-in stations.
    QFile::remove(appFolder_ + QStringLiteral("/Player.dll"));
    EXPECT_TRUE(QFile::copy(QStringLiteral(ZORVITA_APP_DIR "/Player.dll"),
                            appFolder_ + QStringLiteral("/Player.dll")));
}

void AppFolderTest::createFile(const QString& name) {
    QFile f(appFolder_ + QLatin1Char('/') + name);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << qPrintable(name);
    f.write("x");
}

app::MediaServices AppFolderTest::media() {
    return {mci, [this] { return captureDevices; },
            [] { return QDateTime(QDate(2026, 3, 7), QTime(14, 30, 5)); }};
}

std::unique_ptr<app::FrmFM> AppFolderTest::makeWindow() {
    return std::make_unique<app::FrmFM>(boxes, settings(), registry(), shell, media(), appFolder_,
                                        [this] { ++endCalls; });
}

QString AppFolderTest::setting(const QString& section, const QString& key) {
    return settings().GetSetting(QStringLiteral("Zorvita"), section, key);
}

void AppFolderTest::setSetting(const QString& section, const QString& key, const QString& value) {
    settings().SaveSetting(QStringLiteral("Zorvita"), section, key, value);
}

}  // namespace testing_support
