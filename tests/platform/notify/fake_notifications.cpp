#include "tests/platform/notify/fake_notifications.h"

namespace testing_support {

namespace {
const QString kConnection = QStringLiteral("fake-notifications");
}

FakeNotifications::FakeNotifications()
    : bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, kConnection)) {
    serving_ = bus_.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                   QDBusConnection::ExportAllSlots) &&
               bus_.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

FakeNotifications::~FakeNotifications() {
    bus_.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    bus_.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    QDBusConnection::disconnectFromBus(kConnection);
}

uint FakeNotifications::Notify(const QString& appName, uint replacesId, const QString& icon,
                               const QString& summary, const QString& body, const QStringList&,
                               const QVariantMap& hints, int timeout) {
    notices.push_back({appName, replacesId, icon, summary, body, hints, timeout});
    return replacesId != 0 ? replacesId : nextId_++;
}

}  // namespace testing_support
