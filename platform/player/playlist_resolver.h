#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <deque>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

namespace platform {

// Turns a station address into the stream addresses to try in order: playlists (.asx with its
// references, .m3u, .pls, ASF reference files) are fetched over HTTP on the event loop, or read
// from disk when the address is a local file, and expanded; everything else is a stream itself.
class PlaylistResolver final : public QObject {
    Q_OBJECT

  public:
    explicit PlaylistResolver(QObject* parent = nullptr);
    ~PlaylistResolver() override;

    // Starts resolving; `done` runs later on the event loop with the addresses (never empty for a
    // usable address). A new call or cancel() drops the previous one without calling it.
    void resolve(const QString& address, std::function<void(QStringList)> done);
    void cancel();

    static constexpr int kMaxDepth = 4;
    static constexpr int kMaxCandidates = 32;
    static constexpr qint64 kMaxBodyBytes = 256 * 1024;

  private:
    struct Item {
        QUrl url;
        int depth = 0;
        bool mustBePlaylist = false;  // named by an ASX "entryref"
        QString written;              // the station's own address, handed on untouched
        QString address() const;
    };
    void next();
    void fetched(QNetworkReply* reply, const Item& item);
    void expand(const Item& item, const QByteArray& body, const QString& contentType);
    void finish();

    QNetworkAccessManager* network_;
    QPointer<QNetworkReply> reply_;
    std::deque<Item> queue_;
    QStringList out_;
    std::function<void(QStringList)> done_;
};

}  // namespace platform
