#include "platform/shell/shell.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>

#include <gtest/gtest.h>

#include <csignal>

namespace {

QString uniqueName() {
    return QStringLiteral("ZorvitaTest-") + QUuid::createUuid().toString(QUuid::Id128);
}

int tryLock(const QString& name) {
    return QProcess::execute(QStringLiteral(HELPER), {QStringLiteral("try-lock"), name});
}

TEST(SingleInstance, SecondProcessIsRefusedWhileTheFirstRunsAndAcceptedAfterItCrashes) {
    const QString name = uniqueName();
    QProcess holder;
    holder.start(QStringLiteral(HELPER), {QStringLiteral("hold-lock"), name});
    ASSERT_TRUE(holder.waitForReadyRead(30000));
    ASSERT_EQ(holder.readLine().trimmed(), QByteArray("locked"));

    EXPECT_EQ(tryLock(name), 1);
    platform::SingleInstance here(name);
    EXPECT_FALSE(here.acquire());

    // A crash leaves the lock file behind; it must not block the next start.
    ::kill(static_cast<pid_t>(holder.processId()), SIGKILL);
    holder.waitForFinished();
    EXPECT_TRUE(QFile::exists(platform::SingleInstance::lockPath(name)));
    EXPECT_TRUE(here.acquire());
    EXPECT_EQ(tryLock(name), 1);
}

TEST(SingleInstance, ReleasedWhenTheHolderEnds) {
    const QString name = uniqueName();
    {
        platform::SingleInstance first(name);
        ASSERT_TRUE(first.acquire());
    }
    EXPECT_EQ(tryLock(name), 0);
}

TEST(DesktopShell, StartingAMissingProgramFailsWithAReason) {
    platform::DesktopShell shell;
    QString error;
    EXPECT_FALSE(shell.startProgram(QStringLiteral("/nonexistent/Encoder.dll"), {}, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(DesktopShell, StartsAProgramWithoutWaiting) {
    QTemporaryDir dir;
    const QString marker = dir.filePath(QStringLiteral("ran"));
    platform::DesktopShell shell;
    QString error;
    ASSERT_TRUE(shell.startProgram(QStringLiteral("/usr/bin/touch"), {marker}, &error))
        << qPrintable(error);
    for (int i = 0; i < 100 && !QFile::exists(marker); ++i) {
        QThread::msleep(50);
    }
    EXPECT_TRUE(QFile::exists(marker));
}

}  // namespace
