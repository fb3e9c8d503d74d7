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
    // A small file fails only when its one buffered block is written at the end.
    {
        const testing_support::FileSizeLimit limit(200);
        try {
            WriteStationFile(path, names.mid(0, 4), urls.mid(0, 4));
            ADD_FAILURE() << "a cut-off write was taken for a success";
        } catch (const platform::Error& e) {
            EXPECT_TRUE(e.description().endsWith(QStringLiteral("File too large")))
                << qPrintable(e.description());
        }
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

TEST(StationTable, ReadsRowsAndNamesTheLineOfABadOne) {
    const auto rows = ParseStationTable(
        "# comment\n"
        "\n"
        "builtin\t One \thttp://1/\thttps://source/1\tconfirmed\r\n"
        "extra\tTwo\thttp://2/\thttps://source/2\t\n");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].list, QStringLiteral("builtin"));
    EXPECT_EQ(rows[0].station.name, QStringLiteral("One"));
    EXPECT_EQ(rows[0].station.url, QStringLiteral("http://1/"));
    EXPECT_EQ(rows[0].source, QStringLiteral("https://source/1"));
    EXPECT_EQ(rows[0].note, QStringLiteral("confirmed"));
    EXPECT_EQ(StationsOfList(rows, QStringLiteral("extra")).size(), 1u);

    for (const QByteArray& bad : {QByteArray("# x\nbuiltin\tOne\thttp://1/\n"),
                                  QByteArray("# x\nother\tOne\thttp://1/\ts\tn\n"),
                                  QByteArray("# x\nbuiltin\t \thttp://1/\ts\tn\n")}) {
        try {
            ParseStationTable(bad);
            ADD_FAILURE() << "accepted " << bad.constData();
        } catch (const platform::Error& e) {
            EXPECT_TRUE(e.description().startsWith(
                QStringLiteral("Line 2 of the station table is not a station row: ")))
                << qPrintable(e.description());
        }
    }
}

// The data file is the one source of the built-in stations: the program carries its text, and
// every row says where its address comes from.
TEST(StationTable, TheDataFileIsWhatTheProgramCarriesAndEveryRowHasASource) {
    QFile f(QStringLiteral(ZORVITA_SOURCE_DIR "/tools/stationfile/stations.tsv"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_EQ(text, StationTableText());
    const auto rows = ParseStationTable(text);
    EXPECT_EQ(StationsOfList(rows, QStringLiteral("builtin")).size(), 31u);
    EXPECT_GE(StationsOfList(rows, QStringLiteral("extra")).size(), 3u);
    for (const StationRow& row : rows) {
        EXPECT_TRUE(row.station.url.startsWith(QStringLiteral("http://")) ||
                    row.station.url.startsWith(QStringLiteral("https://")))
            << qPrintable(row.station.url);
        EXPECT_TRUE(row.source.startsWith(QStringLiteral("https://")))
            << qPrintable(row.station.name);
        EXPECT_FALSE(row.note.trimmed().isEmpty()) << qPrintable(row.station.name);
    }
}

TEST(StationTable, OnlyTheTwoPairsTheBuiltInListSharesHaveTheSameAddress) {
    const auto& d = DefaultStations();
    for (size_t i = 0; i < d.size(); ++i) {
        for (size_t j = i + 1; j < d.size(); ++j) {
            const bool shared = (i == 16 && j == 19) || (i == 9 && j == 20);
            EXPECT_EQ(d[i].url == d[j].url, shared) << i + 1 << " and " << j + 1;
        }
    }
}

}  // namespace
