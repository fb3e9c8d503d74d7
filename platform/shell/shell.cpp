#include "platform/shell/shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>
#include <QUrl>

#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

bool DesktopShell::open(const QString& target) {
    const QString t = target.trimmed();
    QUrl url;
    if (QFileInfo(t).isAbsolute()) {
        url = QUrl::fromLocalFile(t);
    } else {
        url = QUrl::fromUserInput(t);
    }
    return url.isValid() && QDesktopServices::openUrl(url);
}

bool DesktopShell::startProgram(const QString& program, const QStringList& arguments,
                                QString* error) {
    const QFileInfo info(program);
    if (!info.exists()) {
        if (error != nullptr) {
            *error = QStringLiteral("File not found");
        }
        return false;
    }
    qint64 pid = 0;
    if (!QProcess::startDetached(program, arguments, info.absolutePath(), &pid)) {
        if (error != nullptr) {
            *error = info.isExecutable() ? QStringLiteral("The program could not be started")
                                         : QStringLiteral("Permission denied");
        }
        return false;
    }
    return true;
}

SingleInstance::SingleInstance(const QString& name) : SingleInstance(name, runtimeFolder()) {}

SingleInstance::SingleInstance(const QString& name, const QString& folder)
    : lock_(
          std::make_unique<QLockFile>(folder + QLatin1Char('/') + name + QStringLiteral(".lock"))) {
    // No age limit: the lock is held for the program's whole life. A lock whose process is gone
    // is still recognised as stale.
    lock_->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

InstanceLock SingleInstance::acquire(QString* reason) {
    if (lock_->isLocked() || lock_->tryLock(0)) {
        return InstanceLock::Acquired;
    }
    const QString file = lock_->fileName();
    QString why;
    if (lock_->error() == QLockFile::LockFailedError) {
        // The file is there and was not taken over as stale. That is another instance only when
        // it names a live process of this machine: an unreadable or foreign file, or a folder in
        // its place, says nothing about one.
        qint64 pid = 0;
        QString host;
        QString app;
        if (lock_->getLockInfo(&pid, &host, &app)) {
            const bool thisMachine = host.isEmpty() || host == QSysInfo::machineHostName();
            const bool alive =
                pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
            if (thisMachine && alive) {
                return InstanceLock::HeldByAnother;
            }
            why = QStringLiteral(
                      "the lock file %1 belongs to process %2 on %3, which cannot be "
                      "checked or removed")
                      .arg(file, QString::number(pid), host);
        } else {
            why = QStringLiteral("the lock file %1 cannot be read").arg(file);
        }
    } else {
        why = QStringLiteral("the lock file %1 cannot be created").arg(file);
    }
    if (reason != nullptr) {
        *reason = why;
    }
    return InstanceLock::Unavailable;
}

QString SingleInstance::runtimeFolder() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) {
        dir = QDir::tempPath() + QStringLiteral("/zorvita-") + QString::number(::getuid());
    }
    QDir().mkpath(dir);
    return dir;
}

QString SingleInstance::lockPath(const QString& name) {
    return runtimeFolder() + QLatin1Char('/') + name + QStringLiteral(".lock");
}

}  // namespace platform
