#include "tools/vendor-site/vendor_site.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using vendor_site::VendorSite;

class VendorSiteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(site_.listen(0));
        QFile f(root_.filePath(QStringLiteral("list.pls")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[playlist]\nFile1=/stream.mp3\n");
    }
    // Sends raw request bytes and reads until the server closes or `bytes` have arrived.
    QByteArray exchange(const QByteArray& request, qsizetype bytes = -1, int ms = 5000) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, site_.port());
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return socket.state() == QAbstractSocket::ConnectedState; }, 5000));
        socket.write(request);
        QByteArray reply;
        (void)QTest::qWaitFor(
            [&] {
                reply += socket.readAll();
                return socket.state() == QAbstractSocket::UnconnectedState ||
                       (bytes >= 0 && reply.size() >= bytes);
            },
            ms);
        reply += socket.readAll();
        return reply;
    }

    QTemporaryDir root_;
    VendorSite site_{root_.path()};
};

TEST_F(VendorSiteTest, ServesFilesWithTheirTypeInTheRequestsHttpVersion) {
    const QByteArray v10 = exchange("GET /list.pls HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(v10.startsWith("HTTP/1.0 200 OK\r\n")) << v10.constData();
    EXPECT_TRUE(v10.contains("Content-Type: audio/x-scpls\r\n"));
    EXPECT_TRUE(v10.contains("Content-Length: 29\r\n"));
    EXPECT_TRUE(v10.endsWith("\r\n\r\n[playlist]\nFile1=/stream.mp3\n"));

    const QByteArray v11 = exchange("GET /list.pls?x=1 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_TRUE(v11.startsWith("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(v11.contains("Connection: close\r\n"));

    const QByteArray head = exchange("HEAD /list.pls HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(head.startsWith("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(head.endsWith("\r\n\r\n"));
}

TEST_F(VendorSiteTest, AnswersNotFoundAndNeverLeavesItsFolder) {
    EXPECT_TRUE(exchange("GET /nothing.html HTTP/1.0\r\n\r\n").startsWith("HTTP/1.0 404 "));
    EXPECT_TRUE(exchange("GET /../etc/passwd HTTP/1.0\r\n\r\n").startsWith("HTTP/1.0 404 "));
    EXPECT_TRUE(
        exchange("GET /%2e%2e/%2e%2e/etc/passwd HTTP/1.0\r\n\r\n").startsWith("HTTP/1.0 404 "));
    EXPECT_TRUE(exchange("NONSENSE\r\n\r\n").startsWith("HTTP/1.0 400 "));
    EXPECT_TRUE(exchange("POST /list.pls HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 405 "));
}

// The About panel links to the site's root: a folder is answered with its index page.
TEST_F(VendorSiteTest, AnswersAFolderWithItsIndexPage) {
    const auto write = [this](const QString& name, const QByteArray& text) {
        QDir(root_.path()).mkpath(QFileInfo(root_.filePath(name)).path());
        QFile f(root_.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    };
    write(QStringLiteral("index.htm"), "<p>home</p>\n");
    write(QStringLiteral("FM/index.html"), "<p>fm</p>\n");
    QDir(root_.path()).mkpath(QStringLiteral("empty"));

    const QByteArray root = exchange("GET / HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(root.startsWith("HTTP/1.0 200 OK\r\n")) << root.constData();
    EXPECT_TRUE(root.contains("Content-Type: text/html\r\n"));
    EXPECT_TRUE(root.endsWith("\r\n\r\n<p>home</p>\n"));

    const QByteArray folder = exchange("GET /FM/ HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(folder.startsWith("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(folder.endsWith("\r\n\r\n<p>fm</p>\n"));

    const QByteArray bare = exchange("GET /FM?x=1 HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(bare.startsWith("HTTP/1.1 301 Moved Permanently\r\n")) << bare.constData();
    EXPECT_TRUE(bare.contains("Location: /FM/\r\n"));

    EXPECT_TRUE(exchange("GET /empty/ HTTP/1.0\r\n\r\n").startsWith("HTTP/1.0 404 "));
}

TEST_F(VendorSiteTest, FurtherFoldersServeWhatTheFirstLacks) {
    QTemporaryDir generated;
    QDir(generated.path()).mkpath(QStringLiteral("FM"));
    for (const QString& name : {QStringLiteral("FM/Player.dll"), QStringLiteral("list.pls")}) {
        QFile f(generated.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("generated\n");
    }
    site_.addRoot(generated.path());
    EXPECT_TRUE(exchange("GET /FM/Player.dll HTTP/1.0\r\n\r\n").endsWith("\r\n\r\ngenerated\n"));
    EXPECT_TRUE(exchange("GET /list.pls HTTP/1.0\r\n\r\n").endsWith("File1=/stream.mp3\n"))
        << "the first folder comes first";
    EXPECT_TRUE(exchange("GET /FM/none HTTP/1.0\r\n\r\n").startsWith("HTTP/1.0 404 "));
}

TEST_F(VendorSiteTest, StreamsMp3FramesWithoutEverEndingTheResponse) {
    const QByteArray reply =
        exchange("GET /stream.mp3 HTTP/1.0\r\nIcy-MetaData: 0\r\n\r\n", 64 * 1024, 10000);
    const qsizetype bodyAt = reply.indexOf("\r\n\r\n") + 4;
    ASSERT_GT(bodyAt, 4);
    const QByteArray head = reply.left(bodyAt);
    EXPECT_TRUE(head.startsWith("HTTP/1.0 200 OK\r\n"));
    EXPECT_TRUE(head.contains("Content-Type: audio/mpeg\r\n"));
    EXPECT_FALSE(head.contains("Content-Length"));
    // MPEG-1 layer III, 128 kbit/s, 44.1 kHz frames: 417 or 418 bytes from one sync to the next.
    const QByteArray body = reply.mid(bodyAt);
    ASSERT_GE(body.size(), 64 * 1024 - bodyAt);
    qsizetype at = body.indexOf("\xFF\xFB");
    ASSERT_GE(at, 0);
    int frames = 0;
    while (at + 4 <= body.size() && frames < 50) {
        ASSERT_EQ(static_cast<unsigned char>(body[at]), 0xFF);
        ASSERT_EQ(static_cast<unsigned char>(body[at + 1]) & 0xFE, 0xFA);
        ASSERT_EQ(static_cast<unsigned char>(body[at + 2]) >> 4, 9);  // 128 kbit/s
        const int padding = (static_cast<unsigned char>(body[at + 2]) >> 1) & 1;
        at += 417 + padding;
        ++frames;
    }
    EXPECT_EQ(frames, 50);
}

TEST_F(VendorSiteTest, TheStreamKeepsRealTimeAfterItsOpeningBurst) {
    // Two seconds of listening bring about three seconds of sound (one second of burst), not an
    // unbounded flood: a player that buffers everything would otherwise never see real time.
    const QByteArray reply = exchange("GET /stream.mp3 HTTP/1.1\r\n\r\n", -1, 2000);
    EXPECT_GT(reply.size(), 16000);
    EXPECT_LT(reply.size(), 16000 * 5);
    EXPECT_EQ(site_.hits("/stream.mp3"), 1);
}

TEST_F(VendorSiteTest, RoutesAddedInCodeComeBeforeFiles) {
    site_.addRoute("/list.pls", [](const vendor_site::Request& r, QTcpSocket* s) {
        VendorSite::respond(s, r, 200, "text/plain", "from code");
    });
    EXPECT_TRUE(exchange("GET /list.pls HTTP/1.0\r\n\r\n").endsWith("\r\n\r\nfrom code"));
}

}  // namespace
