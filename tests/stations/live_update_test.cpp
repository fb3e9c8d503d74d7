#include "common/ModRegistry.h"
#include "stations/LiveUpdate.h"
#include "stations/StationFile.h"
#include "stations/StationModel.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/temp_env.h"
#include "tools/vendor-site/vendor_site.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using platform::MsgAnswer;
using vendor_site::Request;
using vendor_site::VendorSite;

const QString kQuestion = QStringLiteral(
    "This will download new radio stations that are available on Velmo's website.\r\n"
    "Are you sure you want to downlaod and update your stations list?");
const QString kNothingNew =
    QStringLiteral("No new stations available for update, your stations list is up-to-date.");

QByteArray encoded(const std::vector<std::pair<QString, QString>>& stations) {
    QByteArray bytes;
    for (const auto& [name, url] : stations) {
        bytes += EncodeStationLine(name + QStringLiteral(" ==> ") + url).toLatin1() + "\r\n";
    }
    return bytes;
}

class LiveUpdateTest : public ::testing::Test {
  protected:
    explicit LiveUpdateTest(DownloadLimits limits = {})
        : model({&main, &manage, &urls, &total, &link}, boxes, dir.path(), [] {}),
          live({&manage, &urls}, model, boxes, dir.path(), &window, limits) {
        button = new QPushButton(QStringLiteral("Press"), &window);
        QObject::connect(button, &QPushButton::clicked, [this] { ++presses; });
        window.show();
        WriteStationFile(playerFile(),
                         {QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")},
                         {QStringLiteral("http://1/"), QStringLiteral("http://2/"),
                          QStringLiteral("http://3/")});
        model.LoadStations();
        model.PrepareStationLists();
        EXPECT_TRUE(site.listen(0));
        useHost(site.port());
        QDir(siteDir.path()).mkpath(QStringLiteral("FM"));
    }
    ~LiveUpdateTest() override { qunsetenv("ZORVITA_VENDOR_HOST"); }

    static void useHost(quint16 port) {
        qputenv("ZORVITA_VENDOR_HOST", "127.0.0.1:" + QByteArray::number(port));
    }
    QString playerFile() const { return dir.filePath(QStringLiteral("Player.dll")); }
    QByteArray playerBytes() const {
        QFile f(playerFile());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
    void offer(const QByteArray& stationFile) {
        QFile f(siteDir.filePath(QStringLiteral("FM/Player.dll")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(stationFile);
    }
    QString address() const {
        return QStringLiteral("http://127.0.0.1:%1/FM/Player.dll").arg(site.port());
    }
    // Answers the question with Yes and runs the update.
    void update() {
        boxes.answerNext(MsgAnswer::Yes);
        live.CmdLive_Click();
    }
    QString lastText() const {
        return boxes.shown().empty() ? QString() : boxes.shown().back().text;
    }
    bool updateFileLeft() const { return QFile::exists(live.updateFile()); }

    QTemporaryDir dir;
    QTemporaryDir siteDir;
    VendorSite site{siteDir.path()};
    QWidget window;
    QPushButton* button = nullptr;
    int presses = 0;
    QListWidget main;
    QListWidget manage;
    QListWidget urls;
    QLabel total;
    QLabel link;
    testing_support::ScriptedMessageBoxes boxes;
    StationModel model;
    LiveUpdate live;
};

TEST_F(LiveUpdateTest, AddsTheNewStationsAfterTheOldOnesAndReloads) {
    offer(encoded({{QStringLiteral("Two"), QStringLiteral("http://2/")},
                   {QStringLiteral("Four"), QStringLiteral("http://4/")},
                   {QStringLiteral("Five"), QStringLiteral("http://5/")},
                   {QStringLiteral("Six"), QStringLiteral("http://6/")}}));
    Qt::CursorShape during = Qt::ArrowCursor;
    site.addRoute("/FM/Player.dll", [&](const Request& request, QTcpSocket* socket) {
        during = window.cursor().shape();
        // A click during the wait is dropped, not kept for later.
        QTest::mouseClick(button, Qt::LeftButton);
        QFile f(siteDir.filePath(QStringLiteral("FM/Player.dll")));
        f.open(QIODevice::ReadOnly);
        VendorSite::respond(socket, request, 200, "application/octet-stream", f.readAll());
    });
    update();

    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[0].text, kQuestion);
    EXPECT_EQ(boxes.shown()[0].style, 36);
    EXPECT_EQ(boxes.shown()[0].caption, QStringLiteral("Velmo's Online Radio"));
    EXPECT_EQ(boxes.shown()[1].text,
              QStringLiteral("Successfully created the new stations file.\r\n\r\n"
                             "3 new station(s) added."));
    EXPECT_EQ(boxes.shown()[1].style, 64);
    EXPECT_EQ(during, Qt::WaitCursor);
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor) << "the default pointer is back";
    QTest::qWait(50);
    EXPECT_EQ(presses, 0);

    const auto stored = ParseStationFile(playerBytes());
    ASSERT_EQ(stored.size(), 6u);
    EXPECT_EQ(stored[0].name, QStringLiteral("One"));
    EXPECT_EQ(stored[3].name, QStringLiteral("Four"));
    EXPECT_EQ(stored[5].url, QStringLiteral("http://6/"));
    ASSERT_EQ(main.count(), 6);
    EXPECT_EQ(main.item(5)->text(), QStringLiteral("Six"));
    EXPECT_EQ(model.urlAt(4), QStringLiteral("http://5/"));
    EXPECT_EQ(manage.count(), 6);
    EXPECT_FALSE(updateFileLeft());
    EXPECT_FALSE(model.StationsChanged);
}

TEST_F(LiveUpdateTest, NoAsksNothing) {
    offer(encoded({{QStringLiteral("Four"), QStringLiteral("http://4/")}}));
    live.CmdLive_Click();
    EXPECT_EQ(site.hits("/FM/Player.dll"), 0);
    EXPECT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(manage.count(), 3);
}

// Matching is by the trimmed URL alone, with letter case; a URL repeated among the new ones is
// added each time, and the existing name stays.
TEST_F(LiveUpdateTest, MergeMatchesByTrimmedCaseSensitiveUrlOnly) {
    live.LstManageStations2 = {QStringLiteral("Renamed One"), QStringLiteral(" Upper "),
                               QStringLiteral("Seven"), QStringLiteral("Seven again")};
    live.LstURLS2 = {QStringLiteral("  http://1/ "), QStringLiteral("HTTP://2/"),
                     QStringLiteral("http://7/"), QStringLiteral("http://7/")};
    live.MergeFiles();
    EXPECT_EQ(lastText(), QStringLiteral("Successfully created the new stations file.\r\n\r\n"
                                         "3 new station(s) added."));
    const auto stored = ParseStationFile(playerBytes());
    ASSERT_EQ(stored.size(), 6u);
    EXPECT_EQ(stored[0].name, QStringLiteral("One"));
    EXPECT_EQ(stored[3].name, QStringLiteral("Upper"));
    EXPECT_EQ(stored[3].url, QStringLiteral("HTTP://2/"));
    EXPECT_EQ(stored[4].url, QStringLiteral("http://7/"));
    EXPECT_EQ(stored[5].name, QStringLiteral("Seven again"));
    EXPECT_EQ(total.text(), QStringLiteral("Station : 1 of 3")) << "the panel reloads only after";
}

TEST_F(LiveUpdateTest, NothingNewLeavesTheStationFileAlone) {
    const QByteArray before = playerBytes();
    const QDateTime modified = QFileInfo(playerFile()).lastModified();
    QTest::qWait(20);
    offer(encoded({{QStringLiteral("Other name"), QStringLiteral(" http://3/")}}));
    update();
    EXPECT_EQ(lastText(), kNothingNew);
    EXPECT_EQ(boxes.shown().back().style, 64);
    EXPECT_EQ(playerBytes(), before);
    EXPECT_EQ(QFileInfo(playerFile()).lastModified(), modified);
    EXPECT_FALSE(updateFileLeft());
}

TEST_F(LiveUpdateTest, InvalidLinesOrAnEmptyBodyAddNothing) {
    const QByteArray before = playerBytes();
    for (const QByteArray& body :
         {QByteArray("garbage\r\n0\r\n12345xyz\r\n"), QByteArray(), QByteArray(" \r\n\r\n")}) {
        boxes.clear();
        offer(body);
        update();
        EXPECT_EQ(lastText(), kNothingNew) << body.constData();
        EXPECT_EQ(playerBytes(), before);
        EXPECT_FALSE(updateFileLeft());
    }
}

TEST_F(LiveUpdateTest, FollowsARedirect) {
    QDir(siteDir.path()).mkpath(QStringLiteral("moved"));
    QFile f(siteDir.filePath(QStringLiteral("moved/Player.dll")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(encoded({{QStringLiteral("Four"), QStringLiteral("http://4/")}}));
    f.close();
    site.addRoute("/FM/Player.dll", [](const Request&, QTcpSocket* socket) {
        socket->write(
            "HTTP/1.1 302 Found\r\nLocation: /moved/Player.dll\r\nContent-Length: 0\r\n"
            "Connection: close\r\n\r\n");
        socket->disconnectFromHost();
    });
    update();
    EXPECT_EQ(lastText(), QStringLiteral("Successfully created the new stations file.\r\n\r\n"
                                         "1 new station(s) added."));
    EXPECT_EQ(main.count(), 4);
}

// An error page must never be merged as if it were a station file.
TEST_F(LiveUpdateTest, AnErrorStatusIsADownloadErrorNamingStatusAndAddress) {
    const QByteArray before = playerBytes();
    update();  // nothing offered: 404
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[1].style, 16);
    EXPECT_EQ(boxes.shown()[1].caption, QStringLiteral("Velmo's Online Radio"));
    EXPECT_EQ(lastText(), QStringLiteral("The station update could not be downloaded from ") +
                              address() + QStringLiteral(": the server answered 404 Not Found."));

    site.addRoute("/FM/Player.dll", [](const Request& request, QTcpSocket* socket) {
        VendorSite::respond(socket, request, 500, "application/octet-stream",
                            encoded({{QStringLiteral("Four"), QStringLiteral("http://4/")}}));
    });
    update();
    EXPECT_EQ(lastText(), QStringLiteral("The station update could not be downloaded from ") +
                              address() +
                              QStringLiteral(": the server answered 500 Internal Server Error."));
    EXPECT_EQ(playerBytes(), before);
    EXPECT_EQ(manage.count(), 3);
    EXPECT_FALSE(updateFileLeft());
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(LiveUpdateTest, ABodyOverSixteenMebibytesIsRefused) {
    site.addRoute("/FM/Player.dll", [](const Request&, QTcpSocket* socket) {
        // No length announced: the limit must hold while the body arrives.
        socket->write("HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n");
        socket->write(QByteArray(16 * 1024 * 1024 + 1, '1'));
        socket->disconnectFromHost();
    });
    update();
    EXPECT_EQ(lastText(), QStringLiteral("The station update could not be downloaded from ") +
                              address() + QStringLiteral(": the file is larger than 16 MiB."));
    EXPECT_EQ(manage.count(), 3);
    EXPECT_FALSE(updateFileLeft());
}

TEST_F(LiveUpdateTest, AFailingWriteOfTheStationFileKeepsTheOldOne) {
    const QByteArray before = playerBytes();
    offer(encoded({{QStringLiteral("Four"), QStringLiteral("http://4/")}}));
    {
        // Room for the small Update.dll, not for the merged station file.
        const testing_support::FileSizeLimit limit(200);
        update();
    }
    EXPECT_EQ(boxes.shown().back().style, 16);
    EXPECT_TRUE(lastText().contains(QStringLiteral("Player.dll"))) << qPrintable(lastText());
    EXPECT_EQ(playerBytes(), before);
    EXPECT_EQ(manage.count(), 3);
    EXPECT_FALSE(updateFileLeft());
}

TEST_F(LiveUpdateTest, AMissingUpdateFileEndsTheUpdateNotTheProgram) {
    EXPECT_FALSE(live.LoadStationUpdate());
    EXPECT_EQ(lastText(), QStringLiteral("Update.dll file not found. Please make sure the file is "
                                         "present at the below path\r\n") +
                              dir.path());
    EXPECT_EQ(boxes.shown().back().style, 16);
}

class LiveUpdateTimeoutTest : public LiveUpdateTest {
  protected:
    LiveUpdateTimeoutTest() : LiveUpdateTest({2000, 16 * 1024 * 1024}) {}
};

// A server that takes the connection and never answers must not hold the window for ever, and
// the window's own timers go on meanwhile.
TEST_F(LiveUpdateTimeoutTest, AServerThatNeverAnswersIsATimeout) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    std::vector<std::unique_ptr<QTcpSocket>> held;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* s = silent.nextPendingConnection()) {
            held.emplace_back(s);
        }
    });
    useHost(silent.serverPort());
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(100);
    update();
    EXPECT_EQ(lastText(),
              QStringLiteral("The station update could not be downloaded from "
                             "http://127.0.0.1:%1/FM/Player.dll: the server did not answer within "
                             "2 seconds.")
                  .arg(silent.serverPort()));
    EXPECT_EQ(held.size(), 1u);
    EXPECT_GT(ticks, 5);
    EXPECT_FALSE(updateFileLeft());
}

// The local vendor site offers the built-in stations and a few more, made by the build.
TEST(LiveUpdateFromTheLocalSite, AddsTheExtraStationsToTheBuiltInOnes) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZORVITA_APP_DIR "/Player.dll"),
                            dir.filePath(QStringLiteral("Player.dll"))));
    VendorSite site(QStringLiteral(ZORVITA_SOURCE_DIR "/tools/vendor-site/www"));
    site.addRoot(QStringLiteral(ZORVITA_VENDOR_SITE_DIR));
    ASSERT_TRUE(site.listen(0));
    qputenv("ZORVITA_VENDOR_HOST", "127.0.0.1:" + QByteArray::number(site.port()));
    QListWidget main, manage, urls;
    QLabel total, link;
    testing_support::ScriptedMessageBoxes boxes;
    StationModel model({&main, &manage, &urls, &total, &link}, boxes, dir.path(), [] {});
    model.LoadStations();
    LiveUpdate live({&manage, &urls}, model, boxes, dir.path(), nullptr);
    boxes.answerNext(MsgAnswer::Yes);
    live.CmdLive_Click();
    qunsetenv("ZORVITA_VENDOR_HOST");

    const auto extra =
        StationsOfList(ParseStationTable(StationTableText()), QStringLiteral("extra"));
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[1].text,
              QStringLiteral("Successfully created the new stations file.\r\n\r\n%1 new "
                             "station(s) added.")
                  .arg(extra.size()));
    ASSERT_EQ(main.count(), static_cast<int>(31 + extra.size()));
    EXPECT_EQ(main.item(31)->text(), extra.front().name);
}

}  // namespace
