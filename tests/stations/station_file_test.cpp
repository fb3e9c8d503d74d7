#include "common/ModRegistry.h"
#include "platform/ui/error.h"
#include "stations/StationFile.h"
#include "tests/support/temp_env.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(StationLine, AcceptsOnlyTwoNonEmptyPartsAsSplit) {
    StationEntry e;
    // A name followed by " ==> " and nothing: the untrimmed second part is one blank.
    ASSERT_TRUE(ParseStationLine(EncodeStationLine(QStringLiteral("Radio ==> ")), &e));
    EXPECT_EQ(e.name, QStringLiteral("Radio"));
    EXPECT_EQ(e.url, QString());
    EXPECT_FALSE(ParseStationLine(EncodeStationLine(QStringLiteral("Radio ==>")), &e));
    // The name "0" with blanks around the separator is "0 " as split, so it is kept.
    ASSERT_TRUE(ParseStationLine(EncodeStationLine(QStringLiteral("0 ==> http://a/")), &e));
    EXPECT_EQ(e.name, QStringLiteral("0"));
    EXPECT_FALSE(ParseStationLine(EncodeStationLine(QStringLiteral("0==>http://a/")), &e));
    EXPECT_FALSE(ParseStationLine(EncodeStationLine(QStringLiteral("a ==> b ==> c")), &e));
    EXPECT_FALSE(ParseStationLine(QStringLiteral("0"), &e));
    EXPECT_FALSE(ParseStationLine(EncodeStationLine(QStringLiteral("   ")), &e));
    ASSERT_TRUE(
        ParseStationLine(EncodeStationLine(QStringLiteral("  BBC News  ==>  http://b/  ")), &e));
    EXPECT_EQ(e.name, QStringLiteral("BBC News"));
    EXPECT_EQ(e.url, QStringLiteral("http://b/"));
}

TEST(StationFile, ReadsEveryLineEndingAndSkipsWhatCannotBeDecoded) {
    const QByteArray a = EncodeStationLine(QStringLiteral("A ==> http://a/")).toLatin1();
    const QByteArray b = EncodeStationLine(QStringLiteral("B ==> http://b/")).toLatin1();
    for (const QByteArray& sep : {QByteArray("\r\n"), QByteArray("\r"), QByteArray("\n")}) {
        // No final line end, a blank line and a garbage line between the stations.
        const QByteArray file = a + sep + sep + "12x45" + sep + QByteArray(5000, '\xff') + sep + b;
        const auto stations = ParseStationFile(file);
        ASSERT_EQ(stations.size(), 2u);
        EXPECT_EQ(stations[0].name, QStringLiteral("A"));
        EXPECT_EQ(stations[1].url, QStringLiteral("http://b/"));
    }
    EXPECT_TRUE(ParseStationFile(QByteArray("0\r\n\r\n")).empty());
    EXPECT_TRUE(ParseStationFile(QByteArray()).empty());
}

TEST(StationFile, WritesWhatItReadsIncludingUnicodeNames) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Player.dll"));
    const QStringList names = {QStringLiteral("Caf\u00e9 \u20ac FM"), QStringLiteral("आकाशवाणी"),
                               QStringLiteral("தமிழ்"), QStringLiteral("إذاعة")};
    const QStringList urls = {QStringLiteral("http://a/"), QStringLiteral("http://b/"),
                              QStringLiteral("mms://1.2.3.4/c"), QStringLiteral("http://d/")};
    WriteStationFile(path, names, urls);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    // The Windows-1252 name is stored one group per character, as older installations wrote it.
    EXPECT_EQ(bytes.indexOf("\r\n"), (names[0].size() + 5 + urls[0].size()) * 5);
    const auto stations = ParseStationFile(bytes);
    ASSERT_EQ(stations.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(stations[i].name, names[i]);
        EXPECT_EQ(stations[i].url, urls[i]);
    }
}

TEST(StationFile, EmptyListsWriteAnEmptyFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Player.dll"));
    WriteStationFile(path, {}, {});
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(QFileInfo(path).size(), 0);
}

// A failed write must keep the user's old list whole (the file used to be truncated first).
TEST(StationFile, AFailedWriteKeepsTheOldFileIntact) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Player.dll"));
    WriteStationFile(path, {QStringLiteral("Old")}, {QStringLiteral("http://old/")});
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    const QByteArray before = old.readAll();
    old.close();

    QStringList names;
    QStringList urls;
    for (int i = 0; i < 2000; ++i) {
        names.append(QStringLiteral("Station %1").arg(i));
        urls.append(QStringLiteral("http://example.invalid/%1").arg(i));
    }
    {
        const testing_support::FileSizeLimit limit(64 * 1024);
        EXPECT_THROW(WriteStationFile(path, names, urls), platform::Error);
    }

    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1) << "no temporary file left";
}

TEST(DefaultStations, ThirtyOneInTableOrder) {
    const auto& d = DefaultStations();
    ASSERT_EQ(d.size(), 31u);
    EXPECT_EQ(d.front().name, QStringLiteral("RadioTarana-NewZealand"));
    EXPECT_EQ(d[18].name, QStringLiteral("BBC News"));
    EXPECT_EQ(d.back().name, QStringLiteral("Gujarati Radio - Australia"));
    EXPECT_EQ(d[19].url, d[16].url);
    EXPECT_EQ(d[20].url, d[9].url);
}

TEST(DefaultStations, TheShippedStationFileHoldsThem) {
    QFile f(QStringLiteral(ZORVITA_APP_DIR "/Player.dll"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const auto stations = ParseStationFile(f.readAll());
    ASSERT_EQ(stations.size(), 31u);
    for (size_t i = 0; i < stations.size(); ++i) {
        EXPECT_EQ(stations[i].name, DefaultStations()[i].name);
        EXPECT_EQ(stations[i].url, DefaultStations()[i].url);
    }
}

}  // namespace
