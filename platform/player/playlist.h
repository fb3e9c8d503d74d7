#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

// Playlist files that radio stations hand out instead of the stream itself, resolved to the
// addresses the player tries in order. Pure parsing: fetching lives in PlaylistResolver.
namespace platform::playlist {

enum class Kind { None, Asx, M3u, Pls, AsfReference };

// One line of a playlist as written: an address (possibly relative) and whether it names
// another playlist that must be fetched and expanded in its place (an ASX "entryref").
struct Entry {
    QString href;
    bool isPlaylist = false;
    friend bool operator==(const Entry&, const Entry&) = default;
};

// The kind an address suggests by its file extension (the path, not the query).
Kind kindFromUrl(const QUrl& url);

// The kind of a fetched body, by its content, then its content type, then the address's
// extension. HLS (an M3U with "#EXT-X-" tags) is media, not a playlist: libmpv plays it.
Kind sniff(const QByteArray& body, const QString& contentType, Kind byUrl);

QList<Entry> parse(Kind kind, const QByteArray& body);
QList<Entry> parseAsx(const QByteArray& body);
QList<Entry> parseM3u(const QByteArray& body);
QList<Entry> parsePls(const QByteArray& body);
QList<Entry> parseAsfReference(const QByteArray& body);

// The address an entry stands for, resolved against the playlist's own address, or nothing when
// it must not be opened: entries of a playlist that came from the network may only name network
// streams, never a local file.
std::optional<QUrl> resolveEntry(const QUrl& playlistUrl, const QString& href);

bool isNetworkUrl(const QUrl& url);

// The addresses to try for one stream address: "mms://" is tried as "mmsh://" then "mmst://".
QStringList expandScheme(const QString& address);

}  // namespace platform::playlist
