#include "news/HeadlineParser.h"

namespace news {

namespace {

const QString kStartMarker = QStringLiteral("TheSummaries = [");
const QString kEndMarker = QStringLiteral("] END");

}  // namespace

NewsTarget SplitNewsUrl(const QString& url) {
    NewsTarget target;
    const qsizetype scheme = url.indexOf(QStringLiteral("://"));
    target.host = scheme >= 0 ? url.mid(scheme + 3) : url;
    const qsizetype slash = target.host.indexOf(QLatin1Char('/'));
    if (slash >= 0) {
        target.path = url;
        target.host = target.host.left(slash);
    } else {
        target.path = QStringLiteral("/");
    }
    const qsizetype colon = target.host.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        bool ok = false;
        const qint64 port = target.host.mid(colon + 1).toLongLong(&ok);
        // Text that is not a number gives a port no socket accepts, so the fetch does nothing.
        target.port = ok ? port : -1;
        target.host = target.host.left(colon);
    }
    return target;
}

QString HeadlineRequest(const QString& path) {
    return QStringLiteral("GET ") + path + QStringLiteral(" HTTP/1.0\n\n");
}

QString JoinHeadlines(const QString& response) {
    QStringList items;
    const qsizetype start = response.indexOf(kStartMarker);
    if (start >= 0) {
        QString t = response.mid(start);
        t.remove(kStartMarker);
        const qsizetype end = t.indexOf(kEndMarker);
        if (end >= 0) {
            t.truncate(end);
        }
        items = t.trimmed().split(QLatin1Char('|'));
    } else {
        // With no list the loop still runs once, with nothing to add.
        items.append(QString());
    }
    QString text;
    for (const QString& item : items) {
        if (!text.trimmed().isEmpty()) {
            text += QStringLiteral(". -> ");
        } else {
            text = QStringLiteral("News Headline : ");
        }
        if (!item.trimmed().isEmpty()) {
            text += item;
        }
    }
    return text;
}

QStringList SplitHeadlines(const QString& headlineText) {
    return headlineText.split(QStringLiteral("->"));
}

}  // namespace news
