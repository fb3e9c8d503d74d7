#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>

namespace mpris {

// What desktop media controls may ask of the player, and read from it.
struct Target {
    std::function<void()> play;
    std::function<void()> stop;
    std::function<void()> next;
    std::function<void()> previous;
    std::function<void()> raise;
    std::function<void()> quit;
    std::function<bool()> playing;
    std::function<bool()> canGoNext;
    std::function<bool()> canGoPrevious;
    std::function<bool()> canPlay;
    // 0 to 1.
    std::function<double()> volume;
    std::function<void(double)> setVolume;
    // The selected station's position in the list, -1 when none is selected.
    std::function<int()> station;
    std::function<QString()> stationName;
    std::function<QString()> streamTitle;
};

// The player on the session bus as "org.mpris.MediaPlayer2.zorvita", the name desktop media
// keys, sound menus and lock screens look for. Without a session bus, or with the name taken,
// the program runs on without it and says so on stderr.
class Service final : public QObject {
    Q_OBJECT

  public:
    static constexpr const char* kName = "org.mpris.MediaPlayer2.zorvita";
    static constexpr const char* kPath = "/org/mpris/MediaPlayer2";

    explicit Service(Target target, QObject* parent = nullptr);
    ~Service() override;

    bool registered() const { return registered_; }
    const Target& target() const { return target_; }

    // Player properties as they are now.
    QString playbackStatus() const;
    QVariantMap metadata() const;

    // Looks at the player again and signals the properties that changed since the last look.
    void refresh();

    // Runs an action once the bus call that asked for it has been answered: an action may show
    // a message box or end the program.
    void later(const std::function<void()>& action);

  private:
    struct Seen {
        QString status;
        double volume = -1;
        int station = -2;
        QString stationName;
        QString title;
        bool canGoNext = false;
        bool canGoPrevious = false;
        bool canPlay = false;
    };
    Seen look() const;

    Target target_;
    Seen seen_;
    bool registered_ = false;
};

// The root interface: who the player is, Raise and Quit.
class RootAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ yes)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool CanSetFullscreen READ no)
    Q_PROPERTY(bool Fullscreen READ no)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ none)
    Q_PROPERTY(QStringList SupportedMimeTypes READ none)

  public:
    explicit RootAdaptor(Service* service);

    bool yes() const { return true; }
    bool no() const { return false; }
    QString identity() const { return QStringLiteral("Zorvita"); }
    QString desktopEntry() const { return QStringLiteral("zorvita"); }
    QStringList none() const { return {}; }

  public Q_SLOTS:
    void Raise();
    void Quit();

  private:
    Service* service_;
};

// The player interface. A radio stream has no position: Pause stops, as the window's Stop does,
// and seeking does nothing.
class PlayerAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ one WRITE setRate)
    Q_PROPERTY(double MinimumRate READ one)
    Q_PROPERTY(double MaximumRate READ one)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPlay)
    Q_PROPERTY(bool CanSeek READ no)
    Q_PROPERTY(bool CanControl READ yes)

  public:
    explicit PlayerAdaptor(Service* service);

    QString playbackStatus() const { return service_->playbackStatus(); }
    QVariantMap metadata() const { return service_->metadata(); }
    double one() const { return 1.0; }
    void setRate(double) {}
    double volume() const;
    void setVolume(double volume);
    qlonglong position() const { return 0; }
    bool canGoNext() const;
    bool canGoPrevious() const;
    bool canPlay() const;
    bool yes() const { return true; }
    bool no() const { return false; }

  public Q_SLOTS:
    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Next();
    void Previous();
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath&, qlonglong) {}
    void OpenUri(const QString&) {}

  Q_SIGNALS:
    void Seeked(qlonglong position);

  private:
    Service* service_;
};

}  // namespace mpris
