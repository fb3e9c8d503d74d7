// Desktop media controls: the real main window (offscreen) answering calls on a private session
// bus from a connection of its own, playing the local vendor site's stream.
#include "app/frm_fm.h"
#include "app/mpris/mpris_service.h"
#include "app/tray/mod_sys_tray.h"
#include "platform/player/mpv_player.h"
#include "playback/playback.h"
#include "stations/StationFile.h"
#include "tests/app/app_folder.h"
#include "tests/platform/audio/pulse_daemon.h"
#include "tests/platform/notify/fake_notifications.h"
#include "tools/vendor-site/vendor_site.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QListWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <vector>

namespace {

using testing_support::AppFolderTest;

const QString kName = QStringLiteral("org.mpris.MediaPlayer2.zorvita");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kClient = QStringLiteral("media-controls");

QVariantMap asMap(const QVariant& value) {
    if (value.canConvert<QDBusArgument>()) {
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    }
    return value.toMap();
}

// A desktop media control: its own bus connection, its calls, and the changes it was told of.
class MediaControl final : public QObject {
    Q_OBJECT

  public:
    MediaControl() : bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, kClient)) {
        bus_.connect(QString(), kPath, kProperties, QStringLiteral("PropertiesChanged"), this,
                     SLOT(changed(QString, QVariantMap, QStringList)));
    }
    ~MediaControl() override { QDBusConnection::disconnectFromBus(kClient); }

    bool connected() const { return bus_.isConnected(); }
    bool nameOwned() const { return bus_.interface()->isServiceRegistered(kName); }

    // Calls a method and waits for its answer; false on an error answer.
    bool call(const QString& interface, const QString& method,
              const QVariantList& args = QVariantList()) {
        QDBusMessage message = QDBusMessage::createMethodCall(kName, kPath, interface, method);
        message.setArguments(args);
        return wait(bus_.asyncCall(message));
    }
    QVariant get(const QString& interface, const QString& property) {
        QDBusMessage message =
            QDBusMessage::createMethodCall(kName, kPath, kProperties, QStringLiteral("Get"));
        message << interface << property;
        QDBusPendingCall pending = bus_.asyncCall(message);
        if (!wait(pending)) {
            return {};
        }
        return pending.reply().arguments().value(0).value<QDBusVariant>().variant();
    }
    bool set(const QString& interface, const QString& property, const QVariant& value) {
        return call(kProperties, QStringLiteral("Set"),
                    {interface, property, QVariant::fromValue(QDBusVariant(value))});
    }
    QString status() { return get(kPlayer, QStringLiteral("PlaybackStatus")).toString(); }
    QVariantMap metadata() { return asMap(get(kPlayer, QStringLiteral("Metadata"))); }

    // Whether a PropertiesChanged of the player interface told `property` == `value`.
    bool told(const QString& property, const QVariant& value) const {
        for (const QVariantMap& change : changes) {
            if (change.contains(property) && change.value(property) == value) {
                return true;
            }
        }
        return false;
    }
    bool toldTitle(const QString& title) const {
        for (const QVariantMap& change : changes) {
            if (asMap(change.value(QStringLiteral("Metadata")))
                    .value(QStringLiteral("xesam:title")) == title) {
                return true;
            }
        }
        return false;
    }

    std::vector<QVariantMap> changes;

  private Q_SLOTS:
    void changed(const QString& interface, const QVariantMap& properties, const QStringList&) {
        if (interface == kPlayer) {
            changes.push_back(properties);
        }
    }

  private:
    static bool wait(const QDBusPendingCall& pending) {
        return QTest::qWaitFor([&] { return pending.isFinished(); }, 20000) && !pending.isError();
    }

    QDBusConnection bus_;
};

class MprisTest : public AppFolderTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pulse_.ok()) << qPrintable(pulse_.error());
        ASSERT_TRUE(site_.listen(0));
        const QString stream = site_.baseUrl() + QStringLiteral("/stream.mp3");
        WriteStationFile(
            appFolder() + QStringLiteral("/Player.dll"),
            {QStringLiteral("Tone One"), QStringLiteral("Tone Two"), QStringLiteral("Tone Three")},
            {stream, stream, stream});
        window_ = makeWindow();
        window_->Form_Load();
        window_->LstStations()->setCurrentRow(0);
        ASSERT_TRUE(window_->mpris().registered());
        ASSERT_TRUE(control_.connected());
    }
    void TearDown() override { window_.reset(); }

    bool playing() {
        return QTest::qWaitFor(
            [&] {
                return window_->WM()->playState() == 3 &&
                       control_.status() == QStringLiteral("Playing");
            },
            20000);
    }
    bool stopped() {
        return QTest::qWaitFor(
            [&] {
                return window_->WM()->playState() != 3 &&
                       control_.status() == QStringLiteral("Stopped");
            },
            20000);
    }

    // The stream needs a sound output to keep playing.
    testing_support::PulseDaemon pulse_;
    vendor_site::VendorSite site_{QStringLiteral(ZORVITA_SOURCE_DIR "/tools/vendor-site/www")};
    std::unique_ptr<app::FrmFM> window_;
    MediaControl control_;
};

TEST_F(MprisTest, TheNameAppearsWithWhoThePlayerIsAndGoesWithTheWindow) {
    EXPECT_TRUE(control_.nameOwned());
    EXPECT_EQ(control_.get(kRoot, QStringLiteral("Identity")).toString(),
              QStringLiteral("Zorvita"));
    EXPECT_EQ(control_.get(kRoot, QStringLiteral("DesktopEntry")).toString(),
              QStringLiteral("zorvita"));
    EXPECT_TRUE(control_.get(kRoot, QStringLiteral("CanRaise")).toBool());
    EXPECT_TRUE(control_.get(kRoot, QStringLiteral("CanQuit")).toBool());
    EXPECT_EQ(control_.status(), QStringLiteral("Stopped"));
    EXPECT_TRUE(control_.get(kPlayer, QStringLiteral("CanControl")).toBool());
    EXPECT_TRUE(control_.get(kPlayer, QStringLiteral("CanPlay")).toBool());
    EXPECT_TRUE(control_.get(kPlayer, QStringLiteral("CanPause")).toBool());
    EXPECT_TRUE(control_.get(kPlayer, QStringLiteral("CanGoNext")).toBool());
    EXPECT_FALSE(control_.get(kPlayer, QStringLiteral("CanGoPrevious")).toBool());
    const QVariantMap metadata = control_.metadata();
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:album")).toString(), QStringLiteral("Tone One"));
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:artist")).toStringList(),
              QStringList{QStringLiteral("Tone One")});
    EXPECT_EQ(metadata.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path(),
              QStringLiteral("/org/zorvita/station/0"));

    window_.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !control_.nameOwned(); }, 10000));
}

TEST_F(MprisTest, PlayStopAndPlayPauseDoWhatTheWindowsButtonsDo) {
    ASSERT_TRUE(control_.call(kPlayer, QStringLiteral("Play")));
    ASSERT_TRUE(playing());
    // The window's own handler ran: the playing animation and the remembered station.
    EXPECT_TRUE(window_->TmrFlash()->isActive());
    EXPECT_EQ(window_->playback().CurrentStation(), QStringLiteral("Tone One"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return control_.told(QStringLiteral("PlaybackStatus"), QStringLiteral("Playing")); },
        10000));

    ASSERT_TRUE(control_.call(kPlayer, QStringLiteral("Stop")));
    ASSERT_TRUE(stopped());
    EXPECT_FALSE(window_->TmrFlash()->isActive());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return control_.told(QStringLiteral("PlaybackStatus"), QStringLiteral("Stopped")); },
        10000));

    ASSERT_TRUE(control_.call(kPlayer, QStringLiteral("PlayPause")));
    ASSERT_TRUE(playing());
    ASSERT_TRUE(control_.call(kPlayer, QStringLiteral("PlayPause")));
    ASSERT_TRUE(stopped());
    ASSERT_TRUE(control_.call(kPlayer, QStringLiteral("PlayPause")));
    ASSERT_TRUE(playing());
    ASSERT_TRUE(control_.call(kPlayer, QStringLiteral("Pause")));
    ASSERT_TRUE(stopped());
}

TEST_F(MprisTest, NextAndPreviousPlayTheNeighbouringStationAndStopAtTheEnds) {
    ASSERT_TRUE(control_.call(kPlayer, QStringLiteral("Next")));
    ASSERT_TRUE(playing());
    EXPECT_EQ(window_->LstStations()->currentRow(), 1);
    EXPECT_EQ(window_->playback().CurrentStation(), QStringLiteral("Tone Two"));
    EXPECT_EQ(control_.metadata().value(QStringLiteral("xesam:album")).toString(),
              QStringLiteral("Tone Two"));
    EXPECT_TRUE(control_.get(kPlayer, QStringLiteral("CanGoPrevious")).toBool());

    ASSERT_TRUE(control_.call(kPlayer, QStringLiteral("Next")));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return window_->playback().CurrentStation() == QStringLiteral("Tone Three"); },
        20000));
    EXPECT_FALSE(control_.get(kPlayer, QStringLiteral("CanGoNext")).toBool());
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return control_.told(QStringLiteral("CanGoNext"), false); }, 10000));
    // Past the end nothing changes.
    ASSERT_TRUE(control_.call(kPlayer, QStringLiteral("Next")));
    QTest::qWait(200);
    EXPECT_EQ(window_->LstStations()->currentRow(), 2);

    ASSERT_TRUE(control_.call(kPlayer, QStringLiteral("Previous")));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return window_->playback().CurrentStation() == QStringLiteral("Tone Two"); }, 20000));
    EXPECT_EQ(window_->LstStations()->currentRow(), 1);
    ASSERT_TRUE(playing());
}

TEST_F(MprisTest, VolumeIsThePlayersVolume) {
    EXPECT_DOUBLE_EQ(control_.get(kPlayer, QStringLiteral("Volume")).toDouble(), 1.0);
    ASSERT_TRUE(control_.set(kPlayer, QStringLiteral("Volume"), 0.25));
    EXPECT_EQ(window_->WM()->volume(), 25);
    EXPECT_DOUBLE_EQ(control_.get(kPlayer, QStringLiteral("Volume")).toDouble(), 0.25);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return control_.told(QStringLiteral("Volume"), 0.25); }, 10000));

    // Out of range is held at the ends; the window's own slider is signalled too.
    ASSERT_TRUE(control_.set(kPlayer, QStringLiteral("Volume"), 3.0));
    EXPECT_EQ(window_->WM()->volume(), 100);
    window_->WM()->setVolume(40);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return control_.told(QStringLiteral("Volume"), 0.4); }, 10000));
}

TEST_F(MprisTest, MetadataCarriesTheStreamsOwnTitleAsItChanges) {
    ASSERT_TRUE(control_.call(kPlayer, QStringLiteral("Play")));
    ASSERT_TRUE(playing());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return control_.metadata().value(QStringLiteral("xesam:title")) ==
                   QStringLiteral("Zorvita Test Tone");
        },
        20000));

    site_.setStreamTitle(QStringLiteral("Evening Raga - Live"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return control_.toldTitle(QStringLiteral("Evening Raga - Live")); }, 20000));
    const QVariantMap metadata = control_.metadata();
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:title")).toString(),
              QStringLiteral("Evening Raga - Live"));
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:album")).toString(), QStringLiteral("Tone One"));
    EXPECT_EQ(window_->WM()->streamTitle(), QStringLiteral("Evening Raga - Live"));

    // Stopped, the stream says nothing any more.
    ASSERT_TRUE(control_.call(kPlayer, QStringLiteral("Stop")));
    ASSERT_TRUE(stopped());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !control_.metadata().contains(QStringLiteral("xesam:title")); }, 20000));
}

TEST_F(MprisTest, RaiseShowsTheWindowAndQuitEndsTheProgramAsTheTraysClose) {
    window_->show();
    window_->tray().PicMin_Click();
    ASSERT_TRUE(window_->isMinimized());
    ASSERT_TRUE(control_.call(kRoot, QStringLiteral("Raise")));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return window_->isVisible() && !window_->isMinimized(); }, 10000));

    ASSERT_TRUE(control_.call(kPlayer, QStringLiteral("Play")));
    ASSERT_TRUE(playing());
    ASSERT_TRUE(control_.call(kRoot, QStringLiteral("Quit")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return endCalls == 1; }, 10000));
    EXPECT_FALSE(window_->isVisible());
    EXPECT_NE(window_->WM()->playState(), 3);
}

TEST_F(MprisTest, ANewTitleIsToldToTheDesktopWhileTheWindowIsMinimised) {
    testing_support::FakeNotifications desktop;
    ASSERT_TRUE(desktop.serving());
    window_->show();
    ASSERT_TRUE(control_.call(kPlayer, QStringLiteral("Play")));
    ASSERT_TRUE(playing());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window_->WM()->streamTitle() == QStringLiteral("Zorvita Test Tone"); },
        20000));
    // Seen in the window: not told.
    EXPECT_TRUE(desktop.notices.empty());

    window_->tray().PicMin_Click();
    site_.setStreamTitle(QStringLiteral("Evening Raga - Live"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !desktop.notices.empty(); }, 20000));
    EXPECT_EQ(desktop.notices[0].summary, QStringLiteral("Evening Raga - Live"));
    EXPECT_EQ(desktop.notices[0].body, QStringLiteral("Tone One"));
    EXPECT_EQ(desktop.notices[0].icon, QStringLiteral("zorvita"));
}

}  // namespace

#include "mpris_test.moc"
