#include "platform/shell/shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <unistd.h>

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

SingleInstance::SingleInstance(const QString& name)
    : lock_(std::make_unique<QLockFile>(lockPath(name))) {
    // No age limit: the lock is held for the program's whole life. A lock whose process is gone
    // is still recognised as stale.
    lock_->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::acquire() {
    return lock_->isLocked() || lock_->tryLock(0);
}

QString SingleInstance::lockPath(const QString& name) {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) {
        dir = QDir::tempPath() + QStringLiteral("/zorvita-") + QString::number(::getuid());
    }
    QDir().mkpath(dir);
    return dir + QLatin1Char('/') + name + QStringLiteral(".lock");
}

}  // namespace platform
