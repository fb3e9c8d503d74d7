#include "net/CSocket.h"
#include "news/NewsClient.h"
#include "tests/net/loopback_peer.h"
#include "tools/vendor-site/vendor_site.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <QTest>

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <atomic>
#include <mutex>
#include <string>

using loopback::TcpPeer;
using news::NewsClient;

namespace {

constexpr int kWaitMs = 20000;

QString url(quint16 port) {
    return QStringLiteral("http://127.0.0.1:%1/LIVE/FM_News.php").arg(port);
}

// Reads the request up to its blank line and keeps it.
struct RequestLog {
    std::mutex mutex;
    std::string request;
    void read(int fd) {
        std::string got;
        char c;
        while (got.find("\n\n") == std::string::npos && ::recv(fd, &c, 1, 0) == 1) {
            got += c;
        }
        std::lock_guard lock(mutex);
        request = got;
    }
    std::string get() {
        std::lock_guard lock(mutex);
        return request;
    }
};

struct Responses {
    QStringList got;
    void attach(NewsClient& client) {
        QObject::connect(&client, &NewsClient::ResponseReady,
                         [this](const QString& r) { got << r; });
    }
};

}  // namespace

TEST(NewsClient, SendsTheBareRequestAndHandsOnTheWholeResponse) {
    static const char kPage[] =
        "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\nTheSummaries = [A|B] END";
    RequestLog log;
    TcpPeer peer([&](int fd) {
        log.read(fd);
        loopback::sendAll(fd, kPage, sizeof(kPage) - 1);
    });
    NewsClient client(url(peer.port()));
    Responses responses;
    responses.attach(client);
    client.NewNewsSocket();
    client.FetchHeadlines();
    EXPECT_EQ(client.NewsHost(), QStringLiteral("127.0.0.1"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !responses.got.isEmpty(); }, kWaitMs));
    EXPECT_EQ(log.get(), "GET http://127.0.0.1:" + std::to_string(peer.port()) +
                             "/LIVE/FM_News.php HTTP/1.0\n\n");
    EXPECT_EQ(responses.got, QStringList{QString::fromLatin1(kPage)});
    EXPECT_TRUE(client.NewsResponse().isEmpty());
}

TEST(NewsClient, FailuresAndEmptyAnswersHandNothingOn) {
    {
        NewsClient client(url(loopback::closedPort()));
        Responses responses;
        responses.attach(client);
        client.FetchHeadlines();
        ASSERT_TRUE(QTest::qWaitFor([&] { return client.Winsock1()->State() == CSocket::sckError; },
                                    kWaitMs));
        QTest::qWait(50);
        EXPECT_TRUE(responses.got.isEmpty());
    }
    {
        TcpPeer peer([](int) {});
        NewsClient client(url(peer.port()));
        Responses responses;
        responses.attach(client);
        client.FetchHeadlines();
        ASSERT_TRUE(QTest::qWaitFor([&] { return peer.served() == 1; }, kWaitMs));
        // The request may meet the closed peer's reset: closed or failed, nothing came.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                const qint32 state = client.Winsock1()->State();
                return state == CSocket::sckClosed || state == CSocket::sckError;
            },
            kWaitMs));
        EXPECT_TRUE(responses.got.isEmpty());
    }
}

TEST(NewsClient, AServerThatNeverStopsIsCutAtOneMebibyte) {
    std::atomic<bool> stopped{false};
    TcpPeer peer([&](int fd) {
        static const char kHead[] = "HTTP/1.0 200 OK\r\n\r\nTheSummaries = [A|B] END ";
        loopback::sendAll(fd, kHead, sizeof(kHead) - 1);
        const std::string block(64 * 1024, 'z');
        while (::send(fd, block.data(), block.size(), MSG_NOSIGNAL) > 0) {
        }
        stopped = true;
    });
    NewsClient client(url(peer.port()));
    Responses responses;
    responses.attach(client);
    client.FetchHeadlines();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !responses.got.isEmpty(); }, kWaitMs));
    EXPECT_EQ(responses.got[0].size(), NewsClient::kMaxResponseBytes);
    EXPECT_TRUE(responses.got[0].startsWith(QStringLiteral("HTTP/1.0 200 OK")));
    // The connection was closed on our side, so the endless sender stops.
    ASSERT_TRUE(QTest::qWaitFor([&] { return stopped.load(); }, kWaitMs));
    EXPECT_EQ(client.Winsock1()->State(), CSocket::sckClosed);
}

TEST(NewsClient, AFetchThatNeverEndsIsClosedAfterTheTimeoutAndParsedAsItStands) {
    std::atomic<bool> done{false};
    TcpPeer peer([&](int fd) {
        static const char kPart[] = "HTTP/1.0 200 OK\r\n\r\nTheSummaries = [A|B";
        loopback::sendAll(fd, kPart, sizeof(kPart) - 1);
        loopback::readUntilEof(fd);
        done = true;
    });
    NewsClient client(url(peer.port()));
    client.setFetchTimeout(300);
    Responses responses;
    responses.attach(client);
    client.FetchHeadlines();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !responses.got.isEmpty(); }, kWaitMs));
    EXPECT_EQ(responses.got[0], QStringLiteral("HTTP/1.0 200 OK\r\n\r\nTheSummaries = [A|B"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return done.load(); }, kWaitMs));
}

// The local vendor site's page, asked for with the absolute URL as the request target.
TEST(NewsClient, TheLocalSiteAnswersTheHeadlinePage) {
    QTemporaryDir root;
    QDir(root.path()).mkpath(QStringLiteral("LIVE"));
    QFile file(root.path() + QStringLiteral("/LIVE/headlines.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("First story\n\nSecond | story\r\n  Third story  \n");
    file.close();
    vendor_site::VendorSite site(root.path());
    ASSERT_TRUE(site.listen());
    NewsClient client(url(site.port()));
    Responses responses;
    responses.attach(client);
    client.FetchHeadlines();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !responses.got.isEmpty(); }, kWaitMs));
    const QString page = responses.got[0];
    EXPECT_TRUE(page.startsWith(QStringLiteral("HTTP/1.0 200 OK\r\n"))) << page.toStdString();
    EXPECT_TRUE(page.contains(QStringLiteral("\r\n\r\n")));
    EXPECT_TRUE(page.contains(
        QStringLiteral("TheSummaries = [First story|Second   story|Third story] END")))
        << page.toStdString();
    EXPECT_EQ(site.hits("/LIVE/FM_News.php"), 1);
}

TEST(NewsClient, ARefetchWhileAServerHoldsTheConnectionStartsAFreshOne) {
    static const char kPage[] = "HTTP/1.0 200 OK\r\n\r\nTheSummaries = [A|B] END";
    int connection = 0;
    TcpPeer peer(
        [&](int fd) {
            if (connection++ == 0) {
                loopback::readUntilEof(fd);
                return;
            }
            RequestLog log;
            log.read(fd);
            loopback::sendAll(fd, kPage, sizeof(kPage) - 1);
        },
        2);
    NewsClient client(url(peer.port()));
    Responses responses;
    responses.attach(client);
    client.FetchHeadlines();
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.Winsock1()->State() == CSocket::sckConnected; },
                                kWaitMs));
    client.FetchHeadlines();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !responses.got.isEmpty(); }, kWaitMs));
    EXPECT_EQ(responses.got, QStringList{QString::fromLatin1(kPage)});
}
