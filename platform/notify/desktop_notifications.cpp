#include "platform/notify/desktop_notifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include <utility>

namespace platform {

DesktopNotifications::DesktopNotifications(QString appName, QString icon, QString desktopEntry,
                                           QDBusConnection bus)
    : bus_(std::move(bus)),
      appName_(std::move(appName)),
      icon_(std::move(icon)),
      desktopEntry_(std::move(desktopEntry)) {}

void DesktopNotifications::notify(const QString& summary, const QString& body) {
    if (!bus_.isConnected()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), desktopEntry_}};
    // Services that read markup in the body would take a station's or stream's "<" for a tag.
    call << appName_ << lastId_ << icon_ << summary << body.toHtmlEscaped() << QStringList()
         << hints << -1;
    // Asked without waiting: a service that is slow to start must not hold the window.
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<uint> reply = *w;
        if (!reply.isError()) {
            lastId_ = reply.value();
        }
        w->deleteLater();
        Q_EMIT answered();
    });
}

}  // namespace platform
