#include "platform/player/playlist.h"

#include <QRegularExpression>

#include <algorithm>
#include <map>

namespace platform::playlist {

namespace {

QString decodeText(const QByteArray& body) {
    QByteArray bytes = body;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        bytes.remove(0, 3);
    }
    // Old playlists are often Latin-1; UTF-8 that does not decode cleanly falls back to it.
    const QString utf8 = QString::fromUtf8(bytes);
    return utf8.contains(QChar::ReplacementCharacter) ? QString::fromLatin1(bytes) : utf8;
}

QString decodeEntities(const QString& text) {
    static const QRegularExpression entity(QStringLiteral("&(#x[0-9a-fA-F]+|#[0-9]+|[a-zA-Z]+);"));
    QString out;
    qsizetype last = 0;
    auto it = entity.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        out += text.mid(last, m.capturedStart() - last);
        const QString name = m.captured(1);
        QString replacement = m.captured(0);
        if (name.startsWith(QLatin1String("#x"), Qt::CaseInsensitive)) {
            bool ok = false;
            const uint code = name.mid(2).toUInt(&ok, 16);
            if (ok && code > 0 && code <= 0x10FFFF) {
                replacement = QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
            }
        } else if (name.startsWith(QLatin1Char('#'))) {
            bool ok = false;
            const uint code = name.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF) {
                replacement = QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
            }
        } else {
            static const std::map<QString, QString> named = {
                {QStringLiteral("amp"), QStringLiteral("&")},
                {QStringLiteral("lt"), QStringLiteral("<")},
                {QStringLiteral("gt"), QStringLiteral(">")},
                {QStringLiteral("quot"), QStringLiteral("\"")},
                {QStringLiteral("apos"), QStringLiteral("'")},
            };
            const auto found = named.find(name.toLower());
            if (found != named.end()) {
                replacement = found->second;
            }
        }
        out += replacement;
        last = m.capturedEnd();
    }
    out += text.mid(last);
    return out;
}

// "Key<N>=value" lines of an INI-style section, in the order of N.
QList<Entry> numberedKeys(const QByteArray& body, const QString& prefix) {
    static const QRegularExpression line(
        QStringLiteral("^\\s*([A-Za-z]+)(\\d+)\\s*=\\s*(.*?)\\s*$"));
    std::map<long long, QString> byNumber;
    const QStringList lines =
        decodeText(body).split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts);
    for (const QString& text : lines) {
        const auto m = line.match(text);
        if (!m.hasMatch() || m.captured(1).compare(prefix, Qt::CaseInsensitive) != 0) {
            continue;
        }
        const QString value = m.captured(3);
        if (!value.isEmpty()) {
            byNumber.emplace(m.captured(2).toLongLong(), value);
        }
    }
    QList<Entry> entries;
    for (const auto& [number, value] : byNumber) {
        entries.append({value, false});
    }
    return entries;
}

}  // namespace

Kind kindFromUrl(const QUrl& url) {
    const QString path = url.path().toLower();
    if (path.endsWith(QLatin1String(".asx")) || path.endsWith(QLatin1String(".wax")) ||
        path.endsWith(QLatin1String(".wvx")) || path.endsWith(QLatin1String(".wmx"))) {
        return Kind::Asx;
    }
    if (path.endsWith(QLatin1String(".m3u"))) {
        return Kind::M3u;
    }
    if (path.endsWith(QLatin1String(".pls"))) {
        return Kind::Pls;
    }
    return Kind::None;
}

Kind sniff(const QByteArray& body, const QString& contentType, Kind byUrl) {
    const QByteArray head = body.left(4096).trimmed().toLower();
    const QByteArray start = head.startsWith("\xef\xbb\xbf") ? head.mid(3).trimmed() : head;
    if (start.startsWith("[playlist]")) {
        return Kind::Pls;
    }
    if (start.startsWith("[reference]")) {
        return Kind::AsfReference;
    }
    if (start.contains("<asx")) {
        return Kind::Asx;
    }
    if (start.startsWith("#extm3u")) {
        return head.contains("#ext-x-") ? Kind::None : Kind::M3u;
    }
    const QString type = contentType.section(QLatin1Char(';'), 0, 0).trimmed().toLower();
    if (type.startsWith(QLatin1String("audio/")) || type.startsWith(QLatin1String("video/")) ||
        type == QLatin1String("application/ogg") ||
        type == QLatin1String("application/octet-stream")) {
        if (!type.contains(QLatin1String("mpegurl"))) {
            return Kind::None;
        }
    }
    // A text body without any tag of its own: the extension or type decides (plain M3U lists).
    const bool textual = std::none_of(start.begin(), start.end(), [](char c) {
        return c == '\0' || (static_cast<unsigned char>(c) < 0x09);
    });
    if (textual && (byUrl == Kind::M3u || type.contains(QLatin1String("mpegurl")))) {
        return Kind::M3u;
    }
    return Kind::None;
}

QList<Entry> parse(Kind kind, const QByteArray& body) {
    switch (kind) {
        case Kind::Asx:
            return parseAsx(body);
        case Kind::M3u:
            return parseM3u(body);
        case Kind::Pls:
            return parsePls(body);
        case Kind::AsfReference:
            return parseAsfReference(body);
        case Kind::None:
            break;
    }
    return {};
}

QList<Entry> parseAsx(const QByteArray& body) {
    // Real ASX files are rarely well-formed XML (mixed-case tags, bare "&", unclosed tags), so
    // the tags are scanned rather than parsed; comments are taken out first.
    static const QRegularExpression comment(QStringLiteral("<!--.*?-->"),
                                            QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tag(QStringLiteral("<\\s*(ref|entryref)\\b([^>]*)>"),
                                        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression href(
        QStringLiteral("\\bhref\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>\"']+))"),
        QRegularExpression::CaseInsensitiveOption);
    QString text = decodeText(body);
    text.remove(comment);
    QList<Entry> entries;
    auto it = tag.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        const auto h = href.match(m.captured(2));
        if (!h.hasMatch()) {
            continue;
        }
        QString value = h.captured(1);
        if (value.isNull()) {
            value = h.captured(2);
        }
        if (value.isNull()) {
            value = h.captured(3);
        }
        value = decodeEntities(value).trimmed();
        if (!value.isEmpty()) {
            entries.append({value, m.captured(1).compare(QLatin1String("entryref"),
                                                         Qt::CaseInsensitive) == 0});
        }
    }
    return entries;
}

QList<Entry> parseM3u(const QByteArray& body) {
    QList<Entry> entries;
    const QStringList lines =
        decodeText(body).split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QString value = line.trimmed();
        if (!value.isEmpty() && !value.startsWith(QLatin1Char('#'))) {
            entries.append({value, false});
        }
    }
    return entries;
}

QList<Entry> parsePls(const QByteArray& body) {
    return numberedKeys(body, QStringLiteral("File"));
}

QList<Entry> parseAsfReference(const QByteArray& body) {
    return numberedKeys(body, QStringLiteral("Ref"));
}

bool isNetworkUrl(const QUrl& url) {
    static const QStringList network = {
        QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("mms"),
        QStringLiteral("mmsh"), QStringLiteral("mmst"),  QStringLiteral("rtsp"),
        QStringLiteral("rtmp"),
    };
    return url.isValid() && !url.host().isEmpty() && network.contains(url.scheme().toLower());
}

std::optional<QUrl> resolveEntry(const QUrl& playlistUrl, const QString& href) {
    const QUrl written(href.trimmed());
    if (!written.isValid()) {
        return std::nullopt;
    }
    const QUrl resolved = playlistUrl.resolved(written);
    if (isNetworkUrl(playlistUrl)) {
        if (!isNetworkUrl(resolved)) {
            return std::nullopt;
        }
        return resolved;
    }
    if (resolved.isLocalFile() || isNetworkUrl(resolved)) {
        return resolved;
    }
    return std::nullopt;
}

QStringList expandScheme(const QString& address) {
    const QString trimmed = address.trimmed();
    if (trimmed.startsWith(QLatin1String("mms://"), Qt::CaseInsensitive)) {
        const QString rest = trimmed.mid(6);
        return {QStringLiteral("mmsh://") + rest, QStringLiteral("mmst://") + rest};
    }
    return {trimmed};
}

}  // namespace platform::playlist
