#include "platform/player/playlist.h"
#include "platform/player/play_state.h"

#include <gtest/gtest.h>

namespace {

using namespace platform;
using namespace platform::playlist;

QList<Entry> refs(std::initializer_list<const char*> hrefs) {
    QList<Entry> out;
    for (const char* h : hrefs) {
        out.append({QString::fromUtf8(h), false});
    }
    return out;
}

TEST(AsxPlaylist, ReadsMixedCaseTagsEntitiesAndSeveralEntriesInOrder) {
    // The shape stations really publish: upper-case ASX 3 tags, a bare "&" that is not XML,
    // attribute values in either quotes or none, and a commented-out entry.
    const QByteArray asx =
        "<ASX Version=\"3.0\">\r\n"
        "<TITLE>Radio & Co</TITLE>\r\n"
        "<!-- <Entry><Ref href=\"http://old.example/dead\"/></Entry> -->\r\n"
        "<Entry><REF HREF = \"mms://media.example/live?id=1&amp;q=2\" />\r\n"
        "  <Ref href='http://backup.example/live.mp3'></Ref></Entry>\r\n"
        "<entry><ref href=http://third.example/s /></entry>\r\n"
        "<EntryRef HREF=\"http://more.example/list.asx\"/>\r\n"
        "</ASX>\r\n";
    const QList<Entry> entries = parseAsx(asx);
    ASSERT_EQ(entries.size(), 4);
    EXPECT_EQ(entries[0], (Entry{QStringLiteral("mms://media.example/live?id=1&q=2"), false}));
    EXPECT_EQ(entries[1], (Entry{QStringLiteral("http://backup.example/live.mp3"), false}));
    EXPECT_EQ(entries[2], (Entry{QStringLiteral("http://third.example/s"), false}));
    EXPECT_EQ(entries[3], (Entry{QStringLiteral("http://more.example/list.asx"), true}));
}

TEST(AsxPlaylist, DecodesNumericEntitiesAndSkipsRefsWithoutAddress) {
    const QByteArray asx =
        "<asx><entry><ref/><ref href=\"http://a.example/x&#47;y&#x3F;z\"/></entry></asx>";
    EXPECT_EQ(parseAsx(asx), refs({"http://a.example/x/y?z"}));
}

TEST(M3uPlaylist, SkipsCommentsAndBlankLinesAndKeepsRelativeEntries) {
    const QByteArray m3u =
        "\xEF\xBB\xBF#EXTM3U\r\n"
        "#EXTINF:-1,Station One\r\n"
        "http://one.example:8000/stream\r\n"
        "\r\n"
        "   relative/two.mp3  \n"
        "#EXTINF:-1,Three\n"
        "/three.mp3";
    EXPECT_EQ(parseM3u(m3u),
              refs({"http://one.example:8000/stream", "relative/two.mp3", "/three.mp3"}));
}

TEST(PlsPlaylist, OrdersByNumberIgnoringKeyCaseAndOtherKeys) {
    const QByteArray pls =
        "[playlist]\nNumberOfEntries=3\nfile2=http://b.example/\nTitle1=First\n"
        "File1 = http://a.example/;stream.mp3\nFILE10=http://c.example/\nLength1=-1\nVersion=2\n";
    EXPECT_EQ(parsePls(pls),
              refs({"http://a.example/;stream.mp3", "http://b.example/", "http://c.example/"}));
}

TEST(AsfReference, ReadsRefLinesInOrder) {
    const QByteArray ref =
        "[Reference]\r\nRef2=http://b.example/live?MSWMExt=.asf\r\nRef1=http://a.example/live\r\n";
    EXPECT_EQ(parseAsfReference(ref),
              refs({"http://a.example/live", "http://b.example/live?MSWMExt=.asf"}));
}

TEST(PlaylistSniffing, KnowsPlaylistsByContentBeforeTypeOrExtension) {
    EXPECT_EQ(sniff("[playlist]\nFile1=x", QStringLiteral("text/plain"), Kind::None), Kind::Pls);
    EXPECT_EQ(sniff("[Reference]\r\nRef1=x", QString(), Kind::Asx), Kind::AsfReference);
    EXPECT_EQ(sniff("  <Asx version=3>", QStringLiteral("video/x-ms-asf"), Kind::None), Kind::Asx);
    EXPECT_EQ(sniff("#EXTM3U\nhttp://x/", QString(), Kind::None), Kind::M3u);
    EXPECT_EQ(sniff("http://x/a.mp3\n", QStringLiteral("audio/x-mpegurl"), Kind::None), Kind::M3u);
    EXPECT_EQ(sniff("http://x/a.mp3\n", QStringLiteral("text/plain"), Kind::M3u), Kind::M3u);
    // HLS is played by libmpv itself; an MP3 behind a playlist-looking address is media.
    EXPECT_EQ(sniff("#EXTM3U\n#EXT-X-TARGETDURATION:10\nseg1.ts\n", QString(), Kind::M3u),
              Kind::None);
    EXPECT_EQ(sniff(QByteArray("\xFF\xFB\x90\x64\x00", 5), QStringLiteral("audio/mpeg"), Kind::M3u),
              Kind::None);
    EXPECT_EQ(kindFromUrl(QUrl(QStringLiteral("http://x/Live.ASX?x=1.mp3"))), Kind::Asx);
    EXPECT_EQ(kindFromUrl(QUrl(QStringLiteral("http://x/listen.pls"))), Kind::Pls);
    EXPECT_EQ(kindFromUrl(QUrl(QStringLiteral("http://x/a.mp3?list.pls"))), Kind::None);
}

TEST(PlaylistEntries, FromTheNetworkNeverOpenALocalFile) {
    const QUrl base(QStringLiteral("http://radio.example/lists/a.pls"));
    EXPECT_EQ(resolveEntry(base, QStringLiteral("file:///etc/passwd")), std::nullopt);
    EXPECT_EQ(resolveEntry(base, QStringLiteral("C:\\Music\\x.mp3")), std::nullopt);
    EXPECT_EQ(resolveEntry(base, QStringLiteral("javascript:alert(1)")), std::nullopt);
    // Relative entries stay on the playlist's server.
    EXPECT_EQ(resolveEntry(base, QStringLiteral("/etc/passwd")),
              QUrl(QStringLiteral("http://radio.example/etc/passwd")));
    EXPECT_EQ(resolveEntry(base, QStringLiteral("live.mp3")),
              QUrl(QStringLiteral("http://radio.example/lists/live.mp3")));
    EXPECT_EQ(resolveEntry(base, QStringLiteral("mms://other.example/s")),
              QUrl(QStringLiteral("mms://other.example/s")));
}

TEST(PlaylistEntries, FromALocalFileMayNameLocalFilesAndStreams) {
    const QUrl base = QUrl::fromLocalFile(QStringLiteral("/home/u/lists/a.m3u"));
    EXPECT_EQ(resolveEntry(base, QStringLiteral("b.mp3")),
              QUrl::fromLocalFile(QStringLiteral("/home/u/lists/b.mp3")));
    EXPECT_EQ(resolveEntry(base, QStringLiteral("http://x.example/s")),
              QUrl(QStringLiteral("http://x.example/s")));
}

TEST(StreamAddresses, MmsIsTriedOverHttpThenTcp) {
    EXPECT_EQ(expandScheme(QStringLiteral(" MMS://media.example/live ")),
              (QStringList{QStringLiteral("mmsh://media.example/live"),
                           QStringLiteral("mmst://media.example/live")}));
    EXPECT_EQ(expandScheme(QStringLiteral("http://a.example/s")),
              QStringList{QStringLiteral("http://a.example/s")});
}

TEST(PlayStates, MapToTheNumbersTheHandlersUse) {
    EXPECT_EQ(playStateFor(Phase::Playing, false), 3);
    EXPECT_EQ(playStateFor(Phase::Failed, false), 10);
    EXPECT_EQ(playStateFor(Phase::Playing, true), 6);
    EXPECT_EQ(playStateFor(Phase::Idle, false), 0);
    EXPECT_EQ(playStateFor(Phase::Stopped, false), 1);
    EXPECT_EQ(playStateFor(Phase::Resolving, false), 9);
    EXPECT_EQ(playStateFor(Phase::Opening, false), 9);
    EXPECT_EQ(playStateFor(Phase::Ended, false), 8);
}

TEST(Attempts, TryEveryCandidateThenFail) {
    Attempt a({QStringLiteral("mmsh://x/s"), QStringLiteral("mmst://x/s")});
    a.loading(7);
    EXPECT_EQ(a.ended(7, EndReason::Error), Attempt::Next::TryNext);
    EXPECT_EQ(a.current(), QStringLiteral("mmst://x/s"));
    a.loading(8);
    // An end of the entry that was replaced a moment ago says nothing about this one.
    EXPECT_EQ(a.ended(7, EndReason::Error), Attempt::Next::Ignore);
    EXPECT_EQ(a.ended(8, EndReason::Stopped), Attempt::Next::Ignore);
    EXPECT_EQ(a.ended(8, EndReason::Error), Attempt::Next::Failed);
}

TEST(Attempts, AStreamThatPlayedAndDropsHasEndedNotFailed) {
    Attempt a({QStringLiteral("http://x/a"), QStringLiteral("http://x/b")});
    a.loading(1);
    a.played();
    EXPECT_EQ(a.ended(1, EndReason::Error), Attempt::Next::Ended);
}

TEST(Attempts, APlaylistFoundBehindTheAddressReplacesIt) {
    Attempt a({QStringLiteral("http://x/listen"), QStringLiteral("http://y/b")});
    a.loading(1);
    a.replaceCurrent({QStringLiteral("http://z/1"), QStringLiteral("http://z/2")});
    EXPECT_EQ(a.current(), QStringLiteral("http://z/1"));
    a.loading(2);
    EXPECT_EQ(a.ended(2, EndReason::Eof), Attempt::Next::TryNext);
    EXPECT_EQ(a.current(), QStringLiteral("http://z/2"));
    a.loading(3);
    EXPECT_EQ(a.ended(3, EndReason::Error), Attempt::Next::TryNext);
    EXPECT_EQ(a.current(), QStringLiteral("http://y/b"));
}

}  // namespace

namespace {

TEST(Visualisation, EveryChoiceFeedsTheSoundOnAndDrawsFromACopy) {
    // libmpv needs both labelled outputs, or the sound stops along with the picture.
    QStringList graphs;
    for (const char* effect : {"Battery", "Bars", "Scope", "Waveform", "Ambience", "", "?"}) {
        for (int preset : {-1, 0, 1, 2, 3, 7}) {
            const QString g = platform::visualisationGraph(QString::fromUtf8(effect), preset);
            EXPECT_TRUE(g.startsWith(QStringLiteral("[aid1]asplit[ao][v];[v]"))) << g.toStdString();
            EXPECT_TRUE(g.endsWith(QStringLiteral("[vo]"))) << g.toStdString();
            graphs.append(g);
        }
    }
    EXPECT_EQ(platform::visualisationGraph(QStringLiteral("battery"), 3),
              platform::visualisationGraph(QStringLiteral("Battery"), 3));
    EXPECT_NE(platform::visualisationGraph(QStringLiteral("Scope"), 0),
              platform::visualisationGraph(QStringLiteral("Scope"), 1));
    graphs.removeDuplicates();
    EXPECT_GE(graphs.size(), 9);
}

}  // namespace
