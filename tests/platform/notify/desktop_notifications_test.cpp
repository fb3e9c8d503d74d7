// Desktop notices against a notification service on a private session bus.
#include "platform/notify/desktop_notifications.h"
#include "tests/platform/notify/fake_notifications.h"

#include <QDBusConnectionInterface>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using platform::DesktopNotifications;

TEST(DesktopNotificationsTest, WithoutAServiceNothingIsShownAndNothingWaits) {
    // A desktop whose notification service the private bus can start has no "without".
    const QString service = QStringLiteral("org.freedesktop.Notifications");
    if (QDBusConnection::sessionBus().interface()->activatableServiceNames().value().contains(
            service)) {
        GTEST_SKIP() << "this machine's bus can start a notification service";
    }
    DesktopNotifications n(QStringLiteral("Zorvita"), QStringLiteral("zorvita"),
                           QStringLiteral("zorvita"));
    QSignalSpy answered(&n, &DesktopNotifications::answered);
    n.notify(QStringLiteral("Evening Raga - Live"), QStringLiteral("Tone One"));
    ASSERT_TRUE(answered.wait(20000));
    EXPECT_EQ(n.lastId(), 0u);
}

TEST(DesktopNotificationsTest, ANoticeCarriesTheProgramAndReplacesTheOneBefore) {
    testing_support::FakeNotifications service;
    ASSERT_TRUE(service.serving());
    DesktopNotifications n(QStringLiteral("Zorvita"), QStringLiteral("zorvita"),
                           QStringLiteral("zorvita"));
    QSignalSpy answered(&n, &DesktopNotifications::answered);

    n.notify(QStringLiteral("Evening Raga - Live"), QStringLiteral("Tone <One> & \"Co\""));
    ASSERT_TRUE(answered.wait(20000));
    ASSERT_EQ(service.notices.size(), 1u);
    const testing_support::Notice& first = service.notices[0];
    EXPECT_EQ(first.appName, QStringLiteral("Zorvita"));
    EXPECT_EQ(first.replacesId, 0u);
    EXPECT_EQ(first.icon, QStringLiteral("zorvita"));
    EXPECT_EQ(first.summary, QStringLiteral("Evening Raga - Live"));
    // A service that reads markup shows the station's name as it is.
    EXPECT_EQ(first.body, QStringLiteral("Tone &lt;One&gt; &amp; &quot;Co&quot;"));
    EXPECT_EQ(first.hints.value(QStringLiteral("desktop-entry")).toString(),
              QStringLiteral("zorvita"));
    EXPECT_EQ(first.timeout, -1);
    EXPECT_EQ(n.lastId(), 41u);

    n.notify(QStringLiteral("Night Flute"), QStringLiteral("Tone One"));
    ASSERT_TRUE(answered.wait(20000));
    ASSERT_EQ(service.notices.size(), 2u);
    EXPECT_EQ(service.notices[1].replacesId, 41u);
    EXPECT_EQ(service.notices[1].summary, QStringLiteral("Night Flute"));
}

}  // namespace
