#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// The headline page and its request, as pure functions (no sockets, no widgets), so they can be
// tested and fuzzed on their own.
namespace news {

// Where a headline fetch goes: the host, the request target and the port.
struct NewsTarget {
    QString host;
    QString path;
    qint64 port = 80;
};

// Splits the page URL. The request target is the complete URL (the site expects the absolute
// form); a host without a path asks for "/". "host:port" gives the port, else 80.
NewsTarget SplitNewsUrl(const QString& url);

// The request: "GET ", the target, " HTTP/1.0", then two line feeds and nothing else.
QString HeadlineRequest(const QString& path);

// The joined headline text of a response: "News Headline : " and the items between
// "TheSummaries = [" and the first "] END", each after ". -> ". A response without the start
// marker gives the start text alone.
QString JoinHeadlines(const QString& response);

// The pieces shown one at a time: the joined text split at every "->".
QStringList SplitHeadlines(const QString& headlineText);

}  // namespace news
