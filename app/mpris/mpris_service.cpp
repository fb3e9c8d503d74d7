#include "app/mpris/mpris_service.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace mpris {

namespace {

constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";

void note(const QString& text) {
    std::fprintf(stderr, "Zorvita: %s\n", qPrintable(text));
}

}  // namespace

Service::Service(Target target, QObject* parent) : QObject(parent), target_(std::move(target)) {
    new RootAdaptor(this);
    new PlayerAdaptor(this);
    seen_ = look();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        note(QStringLiteral("no session bus, so desktop media controls cannot reach the player"));
        return;
    }
    if (!bus.registerObject(QLatin1String(kPath), this, QDBusConnection::ExportAdaptors)) {
        note(QStringLiteral("the player's bus object could not be registered"));
        return;
    }
    if (!bus.registerService(QLatin1String(kName))) {
        bus.unregisterObject(QLatin1String(kPath));
        note(QStringLiteral("the bus name %1 is taken, so desktop media controls reach another "
                            "player")
                 .arg(QLatin1String(kName)));
        return;
    }
    registered_ = true;
}

Service::~Service() {
    if (registered_) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterService(QLatin1String(kName));
        bus.unregisterObject(QLatin1String(kPath));
    }
}

QString Service::playbackStatus() const {
    return target_.playing() ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

QVariantMap Service::metadata() const {
    QVariantMap map;
    const int station = target_.station();
    map.insert(QStringLiteral("mpris:trackid"),
               QVariant::fromValue(QDBusObjectPath(
                   station >= 0 ? QStringLiteral("/org/zorvita/station/%1").arg(station)
                                : QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"))));
    const QString name = target_.stationName();
    if (!name.isEmpty()) {
        map.insert(QStringLiteral("xesam:album"), name);
        map.insert(QStringLiteral("xesam:artist"), QStringList{name});
    }
    const QString title = target_.streamTitle();
    if (!title.isEmpty()) {
        map.insert(QStringLiteral("xesam:title"), title);
    }
    return map;
}

Service::Seen Service::look() const {
    Seen now;
    now.status = playbackStatus();
    now.volume = target_.volume();
    now.station = target_.station();
    now.stationName = target_.stationName();
    now.title = target_.streamTitle();
    now.canGoNext = target_.canGoNext();
    now.canGoPrevious = target_.canGoPrevious();
    now.canPlay = target_.canPlay();
    return now;
}

void Service::refresh() {
    const Seen now = look();
    QVariantMap changed;
    if (now.status != seen_.status) {
        changed.insert(QStringLiteral("PlaybackStatus"), now.status);
    }
    if (now.volume != seen_.volume) {
        changed.insert(QStringLiteral("Volume"), now.volume);
    }
    if (now.station != seen_.station || now.stationName != seen_.stationName ||
        now.title != seen_.title) {
        changed.insert(QStringLiteral("Metadata"), metadata());
    }
    if (now.canGoNext != seen_.canGoNext) {
        changed.insert(QStringLiteral("CanGoNext"), now.canGoNext);
    }
    if (now.canGoPrevious != seen_.canGoPrevious) {
        changed.insert(QStringLiteral("CanGoPrevious"), now.canGoPrevious);
    }
    if (now.canPlay != seen_.canPlay) {
        changed.insert(QStringLiteral("CanPlay"), now.canPlay);
        changed.insert(QStringLiteral("CanPause"), now.canPlay);
    }
    seen_ = now;
    if (changed.isEmpty() || !registered_) {
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(
        QLatin1String(kPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QLatin1String(kPlayerInterface) << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

void Service::later(const std::function<void()>& action) {
    QTimer::singleShot(0, this, [self = QPointer<Service>(this), action] {
        action();
        // Quit may have taken the service with the window.
        if (self) {
            self->refresh();
        }
    });
}

RootAdaptor::RootAdaptor(Service* service) : QDBusAbstractAdaptor(service), service_(service) {}

void RootAdaptor::Raise() {
    service_->later(service_->target().raise);
}

void RootAdaptor::Quit() {
    service_->later(service_->target().quit);
}

PlayerAdaptor::PlayerAdaptor(Service* service) : QDBusAbstractAdaptor(service), service_(service) {}

double PlayerAdaptor::volume() const {
    return service_->target().volume();
}

void PlayerAdaptor::setVolume(double volume) {
    if (std::isnan(volume)) {
        return;
    }
    service_->target().setVolume(std::clamp(volume, 0.0, 1.0));
    service_->refresh();
}

bool PlayerAdaptor::canGoNext() const {
    return service_->target().canGoNext();
}

bool PlayerAdaptor::canGoPrevious() const {
    return service_->target().canGoPrevious();
}

bool PlayerAdaptor::canPlay() const {
    return service_->target().canPlay();
}

void PlayerAdaptor::Play() {
    service_->later(service_->target().play);
}

void PlayerAdaptor::Pause() {
    Stop();
}

void PlayerAdaptor::PlayPause() {
    Service* s = service_;
    s->later([s] { s->target().playing() ? s->target().stop() : s->target().play(); });
}

void PlayerAdaptor::Stop() {
    service_->later(service_->target().stop);
}

void PlayerAdaptor::Next() {
    service_->later(service_->target().next);
}

void PlayerAdaptor::Previous() {
    service_->later(service_->target().previous);
}

}  // namespace mpris
