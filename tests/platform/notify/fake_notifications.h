// A desktop notification service for tests: owns org.freedesktop.Notifications on a private
// session bus through a connection of its own and keeps every notice it is sent.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <vector>

namespace testing_support {

struct Notice {
    QString appName;
    uint replacesId = 0;
    QString icon;
    QString summary;
    QString body;
    QVariantMap hints;
    int timeout = 0;
};

class FakeNotifications final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
  public:
    FakeNotifications();
    ~FakeNotifications() override;

    bool serving() const { return serving_; }

    std::vector<Notice> notices;

  public Q_SLOTS:
    uint Notify(const QString& appName, uint replacesId, const QString& icon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int timeout);

  private:
    QDBusConnection bus_;
    bool serving_ = false;
    uint nextId_ = 41;
};

}  // namespace testing_support
