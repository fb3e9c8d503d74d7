#include "platform/shell/shell.h"

#include <QDir>
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
    EXPECT_EQ(here.acquire(), platform::InstanceLock::HeldByAnother);

    // A crash leaves the lock file behind; it must not block the next start.
    ::kill(static_cast<pid_t>(holder.processId()), SIGKILL);
    holder.waitForFinished();
    EXPECT_TRUE(QFile::exists(platform::SingleInstance::lockPath(name)));
    EXPECT_EQ(here.acquire(), platform::InstanceLock::Acquired);
    EXPECT_EQ(tryLock(name), 1);
}

TEST(SingleInstance, ReleasedWhenTheHolderEnds) {
    const QString name = uniqueName();
    {
        platform::SingleInstance first(name);
        ASSERT_EQ(first.acquire(), platform::InstanceLock::Acquired);
    }
    EXPECT_EQ(tryLock(name), 0);
}

// Only a live holder means another instance: a lock that cannot be made or read says nothing.
TEST(SingleInstance, ALockThatCannotBeTakenIsUnavailableNotAnotherInstance) {
    QTemporaryDir dir;
    const QString folder = dir.path();
    QString reason;

    ASSERT_TRUE(QDir().mkdir(folder + QStringLiteral("/InFolder.lock")));
    platform::SingleInstance folderInPlace(QStringLiteral("InFolder"), folder);
    EXPECT_EQ(folderInPlace.acquire(&reason), platform::InstanceLock::Unavailable);
    EXPECT_EQ(reason, QStringLiteral("the lock file ") + folder +
                          QStringLiteral("/InFolder.lock cannot be read"));

    QFile empty(folder + QStringLiteral("/Empty.lock"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    platform::SingleInstance emptyLock(QStringLiteral("Empty"), folder);
    EXPECT_EQ(emptyLock.acquire(), platform::InstanceLock::Unavailable);

    // No runtime folder: its place is taken by a file.
    const QString noFolder = folder + QStringLiteral("/not-a-folder");
    QFile file(noFolder);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    platform::SingleInstance nowhere(QStringLiteral("Zorvita"), noFolder);
    EXPECT_EQ(nowhere.acquire(&reason), platform::InstanceLock::Unavailable);
    EXPECT_EQ(reason, QStringLiteral("the lock file ") + noFolder +
                          QStringLiteral("/Zorvita.lock cannot be created"));
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
