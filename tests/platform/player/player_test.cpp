#include "platform/player/mpv_player.h"
#include "platform/player/mpv_video_widget.h"
#include "platform/player/playlist_resolver.h"
#include "platform/ui/message_box.h"
#include "tests/platform/audio/pulse_daemon.h"
#include "tools/vendor-site/tone_encoder.h"
#include "tools/vendor-site/vendor_site.h"

#include <QApplication>
#include <QFile>
#include <QSlider>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using platform::MpvPlayer;
using testing_support::PulseDaemon;

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A port on 127.0.0.1 that nobody listens on: taken free, then released.
quint16 refusedPort() {
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

class PlayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pulse_.ok());
        ASSERT_TRUE(site_.listen(0));
        player_ = std::make_unique<MpvPlayer>(nullptr, MpvPlayer::Video::None);
        player_->StatusChange = [this] { states_.push_back(player_->playState()); };
    }
    QString url(const char* path) const { return site_.baseUrl() + QString::fromUtf8(path); }
    QString file(const char* name) const { return root_.filePath(QString::fromUtf8(name)); }
    bool waitForState(int state, int ms = 20000) {
        return QTest::qWaitFor([&] { return player_->playState() == state; }, ms);
    }

    PulseDaemon pulse_;
    QTemporaryDir root_;
    vendor_site::VendorSite site_{root_.path()};
    std::unique_ptr<MpvPlayer> player_;
    std::vector<int> states_;
};

TEST_F(PlayerTest, PlaysTheToneStreamAndItsSoundReachesTheSink) {
    player_->setURL(url("/stream.mp3"));
    ASSERT_TRUE(waitForState(3));
    EXPECT_EQ(player_->errorCount(), 0);
    EXPECT_EQ(states_.front(), 9);
    EXPECT_EQ(states_.back(), 3);
    QTest::qWait(500);
    const std::vector<short> heard = pulse_.recordMonitor(1500);
    ASSERT_GT(heard.size(), 20000u);
    EXPECT_GT(testing_support::toneShare(heard, 1000.0, PulseDaemon::kMonitorRate), 0.5);
    EXPECT_LT(testing_support::toneShare(heard, 440.0, PulseDaemon::kMonitorRate), 0.05);

    player_->close();
    EXPECT_EQ(player_->playState(), 0);
    EXPECT_TRUE(player_->URL().isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return site_.streamListeners() == 0; }, 5000));
}

TEST_F(PlayerTest, AnAddressThatCannotBeOpenedLeavesOneErrorAndReady) {
    for (const QString& address :
         {url("/no/such/station.mp3"),
          QStringLiteral("http://127.0.0.1:%1/stream.mp3").arg(refusedPort())}) {
        SCOPED_TRACE(address.toStdString());
        states_.clear();
        player_->setURL(address);
        ASSERT_TRUE(waitForState(10));
        EXPECT_EQ(player_->errorCount(), 1);
        EXPECT_EQ(std::count(states_.begin(), states_.end(), 10), 1);
        player_->clearErrorQueue();
        EXPECT_EQ(player_->errorCount(), 0);
    }
}

TEST_F(PlayerTest, PlaysThroughAsxAndPlsTryingTheNextEntryOnFailure) {
    writeFile(file("live.asx"),
              "<ASX version=\"3.0\"><Entry><REF HREF=\"/dead.mp3\"/></Entry>\r\n"
              "<ENTRYREF href=\"more.pls\"/></ASX>");
    writeFile(file("more.pls"), "[playlist]\nNumberOfEntries=1\nFile1=stream.mp3\n");
    player_->setURL(url("/live.asx"));
    ASSERT_TRUE(waitForState(3));
    EXPECT_EQ(site_.hits("/dead.mp3"), 1);
    EXPECT_EQ(site_.hits("/more.pls"), 1);
    EXPECT_EQ(player_->errorCount(), 0);
}

TEST_F(PlayerTest, APlaylistFromTheNetworkNeverOpensALocalFile) {
    // The local file is a perfectly playable clip: only the rule keeps it from playing.
    vendor_site::ToneEncoder tone;
    writeFile(file("local.mp3"), tone.encode(44100));
    writeFile(file("evil.pls"), "[playlist]\nFile1=file://" + file("local.mp3").toUtf8() +
                                    "\nFile2=" + file("local.mp3").toUtf8() + "\n");
    writeFile(file("evil.m3u"), "file://" + file("local.mp3").toUtf8() + "\n");
    for (const char* list : {"/evil.pls", "/evil.m3u"}) {
        player_->setURL(url(list));
        ASSERT_TRUE(waitForState(10)) << list;
        EXPECT_EQ(player_->errorCount(), 1);
        player_->clearErrorQueue();
    }
    EXPECT_EQ(std::count(states_.begin(), states_.end(), 3), 0);
}

TEST_F(PlayerTest, StopKeepsTheAddressAndPlayResumesIt) {
    player_->setURL(url("/stream.mp3"));
    ASSERT_TRUE(waitForState(3));
    player_->stop();
    EXPECT_EQ(player_->playState(), 1);
    EXPECT_EQ(player_->URL(), url("/stream.mp3"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return site_.streamListeners() == 0; }, 5000));
    player_->play();
    ASSERT_TRUE(waitForState(3));
    EXPECT_EQ(site_.hits("/stream.mp3"), 2);
}

TEST_F(PlayerTest, AStreamThatDropsReconnectsByItself) {
    // The first listener is cut off after a second and a half, as a radio server may do.
    site_.addRoute("/drops.mp3", [this](const vendor_site::Request& r, QTcpSocket* s) {
        site_.streamTone(r, s);
        if (site_.hits("/drops.mp3") == 1) {
            QTimer::singleShot(1500, s, [s] { s->abort(); });
        }
    });
    player_->setURL(url("/drops.mp3"));
    ASSERT_TRUE(waitForState(3));
    ASSERT_TRUE(QTest::qWaitFor([&] { return site_.hits("/drops.mp3") == 2; }, 20000));
    QTest::qWait(1000);
    EXPECT_EQ(player_->playState(), 3);
    EXPECT_EQ(player_->errorCount(), 0);
    EXPECT_EQ(std::count(states_.begin(), states_.end(), 8), 0);
}

double rms(const std::vector<short>& samples) {
    double sum = 0;
    for (const short s : samples) {
        sum += static_cast<double>(s) * s;
    }
    return samples.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(samples.size()));
}

TEST_F(PlayerTest, TheVolumeSliderOfTheBarSetsTheLoudness) {
    auto* slider = player_->findChild<QSlider*>();
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->value(), 100);
    player_->setURL(url("/stream.mp3"));
    ASSERT_TRUE(waitForState(3));
    QTest::qWait(500);
    const double full = rms(pulse_.recordMonitor(700));
    slider->setValue(40);
    QTest::qWait(700);
    const double quiet = rms(pulse_.recordMonitor(700));
    EXPECT_GT(full, 3000.0);
    EXPECT_LT(quiet, full * 0.5);
    EXPECT_GT(quiet, 0.0);
}

// The picture window that full screen opens, if any.
QWidget* fullScreenWindow() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->isFullScreen()) {
            return w;
        }
    }
    return nullptr;
}

TEST_F(PlayerTest, FullScreenIsLeftWithEscapeOrADoubleClick) {
    player_->show();
    int rightClicks = 0;
    player_->MouseDown = [&](int button, int, int, int) { rightClicks += button == 2 ? 1 : 0; };
    player_->setFullScreen(true);
    ASSERT_NE(fullScreenWindow(), nullptr);
    QTest::mouseClick(fullScreenWindow(), Qt::RightButton);
    EXPECT_EQ(rightClicks, 1);
    QTest::keyClick(fullScreenWindow(), Qt::Key_Escape);
    EXPECT_FALSE(player_->fullScreen());
    EXPECT_EQ(fullScreenWindow(), nullptr);

    player_->setFullScreen(true);
    ASSERT_NE(fullScreenWindow(), nullptr);
    QTest::mouseDClick(fullScreenWindow(), Qt::LeftButton);
    EXPECT_FALSE(player_->fullScreen());
    EXPECT_EQ(fullScreenWindow(), nullptr);

    // A player that goes away in full screen takes its picture window with it.
    player_->setFullScreen(true);
    player_.reset();
    EXPECT_EQ(fullScreenWindow(), nullptr);
}

TEST_F(PlayerTest, KeepsItsHeightInTwipsExactlyWithTheBarAtTheBottom) {
    player_->setHeightTwips(2100);
    EXPECT_EQ(player_->heightTwips(), 2100);
    EXPECT_EQ(player_->height(), platform::twipsToPixelsY(2100));
    player_->setHeightTwips(2760);
    EXPECT_EQ(player_->heightTwips(), 2760);
    // The bar must lie wholly below the 2100-twip line so a holder that cuts at it hides it.
    EXPECT_GE(player_->height() - MpvPlayer::kBarHeightPixels, platform::twipsToPixelsY(2100));
}

// The picture, drawn by libmpv's software renderer; offscreen too when asked for.
class PlayerVideoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pulse_.ok());
        ASSERT_TRUE(site_.listen(0));
        player_.resize(180, 184);
        video_ = player_.findChild<platform::MpvVideoWidget*>();
        ASSERT_NE(video_, nullptr);
    }
    bool waitForPicture(bool wanted) {
        return QTest::qWaitFor([&] { return video_->hasPicture() == wanted; }, 20000);
    }
    static QColor colourAt(QWidget* widget, QPoint at) {
        return widget->grab().toImage().pixelColor(at);
    }
    static bool isRed(const QColor& c) { return c.red() > 200 && c.green() < 60 && c.blue() < 60; }
    static bool isBlack(const QColor& c) { return c.red() < 30 && c.green() < 30 && c.blue() < 30; }

    PulseDaemon pulse_;
    QTemporaryDir root_;
    vendor_site::VendorSite site_{root_.path()};
    MpvPlayer player_{nullptr, MpvPlayer::Video::Always};
    platform::MpvVideoWidget* video_ = nullptr;
};

// A red 4:3 clip without sound, 30 s at 10 frames a second, as uncompressed YUV4MPEG frames.
QString writeRedClip(const QTemporaryDir& dir) {
    constexpr int kWidth = 32;
    constexpr int kHeight = 24;
    QByteArray frame("FRAME\n");
    frame.append(QByteArray(kWidth * kHeight, char(81)));              // Y of pure red
    frame.append(QByteArray(kWidth * kHeight / 4, char(90)));          // U
    frame.append(QByteArray(kWidth * kHeight / 4, char(uchar(240))));  // V
    QByteArray clip = QByteArrayLiteral("YUV4MPEG2 W32 H24 F10:1 Ip A1:1 C420jpeg\n");
    for (int i = 0; i < 300; ++i) {
        clip.append(frame);
    }
    const QString path = dir.filePath(QStringLiteral("red.y4m"));
    writeFile(path, clip);
    return path;
}

TEST_F(PlayerVideoTest, TheFramesOfAStreamWithVideoAreDrawnAndGoWhenItStops) {
    ASSERT_TRUE(player_.hasVideo());
    player_.show();
    player_.setURL(writeRedClip(root_));
    ASSERT_TRUE(QTest::qWaitFor([&] { return player_.playState() == 3; }, 20000));
    ASSERT_TRUE(waitForPicture(true));
    // The picture area is 180 x 160: the clip fills its width, with black bands above and below.
    ASSERT_EQ(video_->size(), QSize(180, 160));
    EXPECT_TRUE(isRed(colourAt(&player_, QPoint(90, 80))));
    EXPECT_TRUE(isRed(colourAt(&player_, QPoint(2, 80))));
    EXPECT_TRUE(isBlack(colourAt(&player_, QPoint(90, 3))));

    // Not stretched, the 32 x 24 clip stands small in the middle.
    player_.setStretchToFit(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return isBlack(colourAt(&player_, QPoint(2, 80))); }, 20000));
    EXPECT_TRUE(isRed(colourAt(&player_, QPoint(90, 80))));
    player_.setStretchToFit(true);

    // Full screen draws the frames at the size of the screen.
    player_.setFullScreen(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return video_->width() > 180; }, 5000));
    const QPoint middle(video_->width() / 2, video_->height() / 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return isRed(colourAt(video_, middle)); }, 20000));
    player_.setFullScreen(false);

    player_.stop();
    EXPECT_FALSE(video_->hasPicture());
    EXPECT_TRUE(isBlack(colourAt(&player_, QPoint(90, 80))));
}

TEST_F(PlayerVideoTest, AHiddenPlayerDrawsNothingAndDrawsAgainWhenShown) {
    player_.setURL(writeRedClip(root_));
    ASSERT_TRUE(QTest::qWaitFor([&] { return player_.playState() == 3; }, 20000));
    QTest::qWait(1000);
    EXPECT_FALSE(video_->hasPicture());
    EXPECT_EQ(player_.playState(), 3);
    player_.show();
    ASSERT_TRUE(waitForPicture(true));
    EXPECT_TRUE(isRed(colourAt(&player_, QPoint(90, 80))));
}

TEST_F(PlayerVideoTest, AStreamWithoutVideoShowsItsVisualisationOnlyWhileShown) {
    player_.show();
    player_.setURL(site_.baseUrl() + QStringLiteral("/stream.mp3"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return player_.playState() == 3; }, 20000));
    ASSERT_TRUE(waitForPicture(true));
    player_.hide();
    EXPECT_FALSE(video_->hasPicture());
    EXPECT_EQ(player_.playState(), 3);
}

class ResolverTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(site_.listen(0)); }
    QStringList resolve(const QString& address) {
        QStringList out;
        bool done = false;
        resolver_.resolve(address, [&](const QStringList& c) {
            out = c;
            done = true;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 20000));
        return out;
    }
    QString url(const char* path) const { return site_.baseUrl() + QString::fromUtf8(path); }

    QTemporaryDir root_;
    vendor_site::VendorSite site_{root_.path()};
    platform::PlaylistResolver resolver_;
};

TEST_F(ResolverTest, ExpandsReferencesInOrderAndRewritesMms) {
    writeFile(root_.filePath(QStringLiteral("a.asx")),
              "<asx><entry><ref href=\"mms://m.example/live\"/></entry>"
              "<entryref href=\"b.m3u\"/><entry><ref href=\"http://c.example/s\"/></entry></asx>");
    writeFile(root_.filePath(QStringLiteral("b.m3u")), "#EXTM3U\n#EXTINF:-1,x\nsub/b1.mp3\n");
    EXPECT_EQ(resolve(url("/a.asx")),
              (QStringList{QStringLiteral("mmsh://m.example/live"),
                           QStringLiteral("mmst://m.example/live"), url("/sub/b1.mp3"),
                           QStringLiteral("http://c.example/s")}));
}

TEST_F(ResolverTest, AStreamBehindAPlaylistAddressIsNotReadForever) {
    site_.addRoute("/radio.pls", [this](const vendor_site::Request& r, QTcpSocket* s) {
        site_.streamTone(r, s);
    });
    EXPECT_EQ(resolve(url("/radio.pls")), QStringList{url("/radio.pls")});
}

TEST_F(ResolverTest, AStreamAddressIsHandedOnExactlyAsWritten) {
    const QString odd = QStringLiteral("http://radio.example:8000/;stream.nsv?x=a%20b&y=ä");
    EXPECT_EQ(resolve(QStringLiteral("  ") + odd), QStringList{odd});
}

TEST_F(ResolverTest, AMissingPlaylistIsLeftToThePlayerToReport) {
    EXPECT_EQ(resolve(url("/gone.asx")), QStringList{url("/gone.asx")});
}

TEST_F(ResolverTest, ReferencesThatLoopStopAtTheDepthLimit) {
    writeFile(root_.filePath(QStringLiteral("loop.asx")),
              "<asx><entryref href=\"loop.asx\"/><entry><ref href=\"/s.mp3\"/></entry></asx>");
    const QStringList out = resolve(url("/loop.asx"));
    EXPECT_EQ(out.size(), platform::PlaylistResolver::kMaxDepth);
    EXPECT_TRUE(
        std::all_of(out.begin(), out.end(), [&](const QString& a) { return a == url("/s.mp3"); }));
}

}  // namespace
