#pragma once

#include <QByteArray>
#include <QDir>

namespace vendor_site {

// The headline page's path and the data file its headlines come from (one a line, read at
// every request so they can be changed while the site runs).
inline constexpr const char* kNewsPath = "/LIVE/FM_News.php";
inline constexpr const char* kHeadlinesFile = "LIVE/headlines.txt";

// The page body: "TheSummaries = [" + the headlines separated by "|" + "] END". Blank lines
// and "|" inside a headline are left out, since "|" separates them.
QByteArray newsPageBody(const QDir& root);

}  // namespace vendor_site
