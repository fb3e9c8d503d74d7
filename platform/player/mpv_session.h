#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

struct mpv_handle;

namespace platform {

// One libmpv instance, owned: created with options, initialised, destroyed with it. libmpv calls
// its wakeup callback on its own threads; that callback only queues a drain on the UI thread, so
// every event is handled there. Failures are raised as platform::Error with libmpv's text.
class MpvSession final : public QObject {
    Q_OBJECT

  public:
    using Options = std::vector<std::pair<QString, QString>>;

    // The options every stream address from outside is played with: no user configuration, no
    // scripts or helpers, no key bindings, no on-screen controller or terminal, unsafe playlists
    // refused, a network timeout, a bounded cache and bounded reconnects.
    static Options safeDefaults();

    explicit MpvSession(const Options& options, QObject* parent = nullptr);
    ~MpvSession() override;

    struct Event {
        enum class Type { StartFile, FileLoaded, EndFile, PropertyChange, Other };
        Type type = Type::Other;
        std::int64_t entryId = 0;   // StartFile, EndFile
        int endReason = 0;          // EndFile: libmpv's reason code
        int error = 0;              // EndFile: libmpv's error code
        std::int64_t insertId = 0;  // EndFile with redirect: first inserted entry
        int insertCount = 0;
        QString name;    // PropertyChange
        QVariant value;  // PropertyChange: bool, qint64, double or QString
    };
    std::function<void(const Event&)> onEvent;

    // Runs a command; returns the new playlist entry's id for "loadfile", else 0.
    std::int64_t command(const QStringList& args);
    void setProperty(const QString& name, const QString& value);
    void setDouble(const QString& name, double value);
    // Empty when the property has no value (for example no video track).
    QString stringProperty(const QString& name) const;
    // The file names of the playlist entries with ids in [first, first + count).
    QStringList playlistFiles(std::int64_t first, int count) const;
    void observeFlag(const QString& name);
    // A property without a value changes to an invalid QVariant.
    void observeString(const QString& name);

    mpv_handle* handle() const { return handle_.get(); }

  private:
    struct Destroy {
        void operator()(mpv_handle* h) const;
    };
    void drain();

    std::unique_ptr<mpv_handle, Destroy> handle_;
    std::atomic<bool> drainQueued_{false};
};

}  // namespace platform
