#include "platform/player/playlist_resolver.h"

#include "platform/player/playlist.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace platform {

namespace {

bool isHttp(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

QUrl addressToUrl(const QString& address) {
    const QString trimmed = address.trimmed();
    if (trimmed.startsWith(QLatin1Char('/'))) {
        return QUrl::fromLocalFile(trimmed);
    }
    return QUrl(trimmed);
}

}  // namespace

QString PlaylistResolver::Item::address() const {
    if (!written.isEmpty() && !written.startsWith(QLatin1Char('/'))) {
        return written;
    }
    return url.toString(QUrl::FullyEncoded);
}

PlaylistResolver::PlaylistResolver(QObject* parent)
    : QObject(parent), network_(new QNetworkAccessManager(this)) {
    network_->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

PlaylistResolver::~PlaylistResolver() {
    cancel();
}

void PlaylistResolver::cancel() {
    done_ = nullptr;
    queue_.clear();
    out_.clear();
    if (reply_) {
        QNetworkReply* reply = reply_;
        reply_ = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void PlaylistResolver::resolve(const QString& address, std::function<void(QStringList)> done) {
    cancel();
    done_ = std::move(done);
    queue_.push_back({addressToUrl(address), 0, false, address.trimmed()});
    // Always answer later, so the caller sees the same order of events for every address.
    QTimer::singleShot(0, this, &PlaylistResolver::next);
}

void PlaylistResolver::next() {
    while (!queue_.empty() && !reply_) {
        const Item item = queue_.front();
        queue_.pop_front();
        if (out_.size() >= kMaxCandidates || item.depth > kMaxDepth || !item.url.isValid()) {
            continue;
        }
        const playlist::Kind byUrl = playlist::kindFromUrl(item.url);
        if (!item.mustBePlaylist && byUrl == playlist::Kind::None) {
            for (const QString& a : playlist::expandScheme(item.address())) {
                out_.append(a);
            }
            continue;
        }
        if (item.url.isLocalFile()) {
            QFile file(item.url.toLocalFile());
            if (file.open(QIODevice::ReadOnly)) {
                expand(item, file.read(kMaxBodyBytes), QString());
            } else if (!item.mustBePlaylist) {
                out_.append(item.address());
            }
            continue;
        }
        if (!isHttp(item.url)) {
            if (!item.mustBePlaylist) {
                out_.append(playlist::expandScheme(item.address()));
            }
            continue;
        }
        QNetworkRequest request(item.url);
        request.setTransferTimeout(15000);
        request.setMaximumRedirectsAllowed(5);
        request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Zorvita"));
        QNetworkReply* reply = network_->get(request);
        reply_ = reply;
        // A stream behind a playlist-looking address must not be read forever: stop at the
        // first sign that it is media, or when it grows beyond any playlist.
        connect(reply, &QNetworkReply::readyRead, this, [this, reply, item] {
            const QString type = reply->header(QNetworkRequest::ContentTypeHeader).toString();
            const bool media = playlist::sniff(reply->peek(4096), type, playlist::Kind::None) ==
                                   playlist::Kind::None &&
                               (type.startsWith(QLatin1String("audio/mpeg")) ||
                                type.startsWith(QLatin1String("audio/aac")) ||
                                type.startsWith(QLatin1String("audio/ogg")));
            if (media || reply->bytesAvailable() > kMaxBodyBytes) {
                reply->disconnect(this);
                reply->abort();
                fetched(reply, item);
            }
        });
        connect(reply, &QNetworkReply::finished, this,
                [this, reply, item] { fetched(reply, item); });
    }
    if (queue_.empty() && !reply_) {
        finish();
    }
}

void PlaylistResolver::fetched(QNetworkReply* reply, const Item& item) {
    reply->disconnect(this);
    reply->deleteLater();
    reply_ = nullptr;
    const QString type = reply->header(QNetworkRequest::ContentTypeHeader).toString();
    const QByteArray body = reply->readAll().left(kMaxBodyBytes);
    const bool ok = reply->error() == QNetworkReply::NoError ||
                    reply->error() == QNetworkReply::OperationCanceledError;
    if (ok && !body.isEmpty()) {
        // Relative entries resolve against where the playlist really came from.
        Item from = item;
        from.url = reply->url();
        expand(from, body, type);
    } else if (!item.mustBePlaylist) {
        // Let the player try the address itself, so its failure is reported the usual way.
        out_.append(item.address());
    }
    next();
}

void PlaylistResolver::expand(const Item& item, const QByteArray& body,
                              const QString& contentType) {
    const playlist::Kind kind = playlist::sniff(body, contentType, playlist::kindFromUrl(item.url));
    if (kind == playlist::Kind::None) {
        if (!item.mustBePlaylist) {
            out_.append(item.address());
        }
        return;
    }
    std::deque<Item> children;
    for (const playlist::Entry& entry : playlist::parse(kind, body)) {
        const auto url = playlist::resolveEntry(item.url, entry.href);
        if (url) {
            children.push_back({*url, item.depth + 1, entry.isPlaylist, QString()});
        }
    }
    queue_.insert(queue_.begin(), children.begin(), children.end());
}

void PlaylistResolver::finish() {
    auto done = std::move(done_);
    done_ = nullptr;
    QStringList out = std::move(out_);
    out_.clear();
    if (done) {
        done(out);
    }
}

}  // namespace platform
