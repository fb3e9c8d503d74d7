#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace platform {

// What the program asks of the desktop's notification service.
class Notifications {
  public:
    virtual ~Notifications() = default;
    // Shows a notice in place of the last one this object showed, if the desktop still shows it.
    virtual void notify(const QString& summary, const QString& body) = 0;
};

// Notices through the session bus's org.freedesktop.Notifications service. Where the desktop has
// none, or the bus is gone, nothing is shown and nothing waits.
class DesktopNotifications final : public QObject, public Notifications {
    Q_OBJECT
  public:
    DesktopNotifications(QString appName, QString icon, QString desktopEntry,
                         QDBusConnection bus = QDBusConnection::sessionBus());

    void notify(const QString& summary, const QString& body) override;

    // The service's id of the last notice shown; 0 before the first answer.
    uint lastId() const { return lastId_; }

  Q_SIGNALS:
    // A notice was answered by the service, or failed (for those who wait for it).
    void answered();

  private:
    QDBusConnection bus_;
    QString appName_;
    QString icon_;
    QString desktopEntry_;
    uint lastId_ = 0;
};

}  // namespace platform
