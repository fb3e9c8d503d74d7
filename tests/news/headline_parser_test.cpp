#include "news/HeadlineParser.h"

#include <gtest/gtest.h>

using namespace news;

namespace {

QStringList pieces(const QString& response) {
    return SplitHeadlines(JoinHeadlines(response));
}

}  // namespace

TEST(HeadlineUrl, TheTargetIsTheWholeUrlAndThePortComesFromTheHost) {
    NewsTarget t = SplitNewsUrl(QStringLiteral("http://www.example.fm/LIVE/FM_News.php"));
    EXPECT_EQ(t.host, QStringLiteral("www.example.fm"));
    EXPECT_EQ(t.path, QStringLiteral("http://www.example.fm/LIVE/FM_News.php"));
    EXPECT_EQ(t.port, 80);
    t = SplitNewsUrl(QStringLiteral("http://127.0.0.1:8123/LIVE/FM_News.php"));
    EXPECT_EQ(t.host, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(t.path, QStringLiteral("http://127.0.0.1:8123/LIVE/FM_News.php"));
    EXPECT_EQ(t.port, 8123);
    t = SplitNewsUrl(QStringLiteral("http://news.example.fm"));
    EXPECT_EQ(t.host, QStringLiteral("news.example.fm"));
    EXPECT_EQ(t.path, QStringLiteral("/"));
    EXPECT_EQ(SplitNewsUrl(QStringLiteral("http://h:x/p")).port, -1);
}

TEST(HeadlineRequest, IsTheBareGetLineAndTwoLineFeeds) {
    EXPECT_EQ(HeadlineRequest(QStringLiteral("http://h/LIVE/FM_News.php")),
              QStringLiteral("GET http://h/LIVE/FM_News.php HTTP/1.0\n\n"));
}

TEST(HeadlineParsing, ItemsJoinAfterTheStartTextAndSplitAtTheArrows) {
    const QString page = QStringLiteral(
        "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\nTheSummaries = [A|B|C] END\r\n");
    EXPECT_EQ(JoinHeadlines(page), QStringLiteral("News Headline : A. -> B. -> C"));
    EXPECT_EQ(pieces(page), (QStringList{QStringLiteral("News Headline : A. "),
                                         QStringLiteral(" B. "), QStringLiteral(" C")}));
    // Headers before the marker change nothing.
    EXPECT_EQ(pieces(QStringLiteral("TheSummaries = [A|B|C] END")), pieces(page));
}

TEST(HeadlineParsing, EmptyItemsAddABlankPiece) {
    EXPECT_EQ(pieces(QStringLiteral("TheSummaries = [A||B] END")),
              (QStringList{QStringLiteral("News Headline : A. "), QStringLiteral(" . "),
                           QStringLiteral(" B")}));
    // Items are trimmed only to test them; the list as a whole is trimmed.
    EXPECT_EQ(JoinHeadlines(QStringLiteral("TheSummaries = [  A | B  ] END")),
              QStringLiteral("News Headline : A . ->  B"));
}

TEST(HeadlineParsing, MissingMarkersAndShortLists) {
    // No end marker: everything after the start marker.
    EXPECT_EQ(JoinHeadlines(QStringLiteral("TheSummaries = [A|B\n")),
              QStringLiteral("News Headline : A. -> B"));
    // No start marker, and a single item: one piece only.
    EXPECT_EQ(pieces(QStringLiteral("HTTP/1.0 404 Not Found\r\n\r\nGone")),
              QStringList{QStringLiteral("News Headline : ")});
    EXPECT_EQ(pieces(QStringLiteral("TheSummaries = [Only one] END")),
              QStringList{QStringLiteral("News Headline : Only one")});
    // A repeated start marker is removed wherever it stands.
    EXPECT_EQ(JoinHeadlines(QStringLiteral("x TheSummaries = [A|TheSummaries = [B] END] END")),
              QStringLiteral("News Headline : A. -> B"));
}
