#include "playback/playback.h"
#include "platform/ui/error.h"
#include "tests/playback/playback_fakes.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/temp_env.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;
using playback::Playback;

// The player control as the handlers see it: states are set by the test, calls are logged.
class FakePlayer final : public platform::MediaPlayer {
  public:
    QStringList calls;
    QString url;
    int state = 0;
    int errors = 0;
    bool full = false;
    int height = 2760;

    void setURL(const QString& u) override {
        calls.append(QStringLiteral("URL=") + u);
        url = u;
    }
    QString URL() const override { return url; }
    void close() override {
        calls.append(QStringLiteral("close"));
        url.clear();
        setState(0);
    }
    void play() override { calls.append(QStringLiteral("play")); }
    void stop() override { calls.append(QStringLiteral("stop")); }
    int playState() const override { return state; }
    int errorCount() const override { return errors; }
    void clearErrorQueue() override { errors = 0; }
    bool fullScreen() const override { return full; }
    void setFullScreen(bool on) override { full = on; }
    void setStretchToFit(bool on) override { calls.append(QStringLiteral("stretch=%1").arg(on)); }
    void setInvokeURLs(bool on) override { calls.append(QStringLiteral("invoke=%1").arg(on)); }
    int heightTwips() const override { return height; }
    void setHeightTwips(int twips) override { height = twips; }

    void setState(int s) {
        if (s != state) {
            state = s;
            raiseStatusChange();
        }
    }
    void fail() {
        ++errors;
        setState(10);
    }
    void rightClick() { raiseMouseDown(2, 0, 10, 10); }
    void leftClick() { raiseMouseDown(1, 0, 10, 10); }
};

class PlaybackTest : public TempFolderTest {
  protected:
    PlaybackTest() {
        stations_.items = {{QStringLiteral(" Alpha FM "), QStringLiteral("http://a.example/s")},
                           {QStringLiteral("Beta"), QStringLiteral("http://b.example/s")},
                           {QStringLiteral("Gamma"), QStringLiteral("http://c.example/s")}};
    }
    QString setting(const char* section, const char* key) {
        return settings().GetSetting(QStringLiteral("Zorvita"), QString::fromUtf8(section),
                                     QString::fromUtf8(key));
    }
    int unavailableMessages() const {
        return static_cast<int>(std::count_if(
            boxes_.shown().begin(), boxes_.shown().end(),
            [](const auto& b) { return b.text == testing_support::kStationUnavailableText; }));
    }

    FakePlayer wm_;
    FakeStations stations_;
    FakeWindow window_;
    FakeRecord record_;
    ScriptedMessageBoxes boxes_;
    LoggingMci mci_;
    Playback playback_{wm_,    stations_,  window_, record_,
                       boxes_, settings(), mci_,    QStringLiteral("/opt/My Radio")};
};

TEST_F(PlaybackTest, PlayWithNothingSelectedPlaysTheFirstStationAndRemembersIt) {
    playback_.PicPlay_Click();
    EXPECT_EQ(stations_.selected, 0);
    EXPECT_EQ(stations_.counter, QStringLiteral("1 of 3"));
    EXPECT_EQ(wm_.calls,
              (QStringList{QStringLiteral("close"), QStringLiteral("URL=http://a.example/s")}));
    EXPECT_TRUE(playback_.IsPlaying());
    EXPECT_FALSE(window_.picMessVisible);
    EXPECT_EQ(window_.rollovers, 1);
    EXPECT_EQ(playback_.CurrentStation(), QStringLiteral("Alpha FM"));
    EXPECT_EQ(setting("Last Played", "Station"), QStringLiteral("Alpha FM"));
    EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(PlaybackTest, OnlyTheFirstPlayOfTheWindowPlaysTheStartSound) {
    playback_.PicPlay_Click();
    EXPECT_EQ(mci_.commands,
              (QStringList{QStringLiteral("close CURRFILE"),
                           QStringLiteral("open \"/opt/My Radio/Process.dll\" type MPEGVideo alias "
                                          "CURRFILE"),
                           QStringLiteral("play CURRFILE")}));
    EXPECT_TRUE(playback_.StartSoundPlayed());
    stations_.selected = 2;
    playback_.PicPlay_Click();
    EXPECT_EQ(mci_.commands.size(), 3);
    EXPECT_EQ(wm_.url, QStringLiteral("http://c.example/s"));
}

TEST_F(PlaybackTest, AfterAResetNothingPlaysAndTheNextPlayHasTheStartSoundAgain) {
    playback_.PicPlay_Click();
    wm_.setState(3);
    ASSERT_TRUE(playback_.TmrFlash().isActive());
    playback_.Reset();
    EXPECT_FALSE(playback_.IsPlaying());
    EXPECT_FALSE(playback_.StartSoundPlayed());
    EXPECT_TRUE(playback_.CurrentStation().isEmpty());
    EXPECT_FALSE(playback_.TmrFlash().isActive());
    playback_.PicPlay_Click();
    EXPECT_EQ(mci_.commands.size(), 6);
}

TEST_F(PlaybackTest, APlayThatFailsLeavesTheStartSoundForTheNextOne) {
    stations_.items.clear();
    playback_.PicPlay_Click();
    ASSERT_EQ(boxes_.shown().size(), 1u);
    EXPECT_EQ(boxes_.shown()[0].text, QStringLiteral("Invalid property value"));
    EXPECT_EQ(boxes_.shown()[0].style, platform::MsgCritical);
    EXPECT_FALSE(playback_.StartSoundPlayed());
}

TEST_F(PlaybackTest, ASingleClickOnlyCountsADoubleClickPlays) {
    stations_.selected = 2;
    playback_.LstStations_Click();
    EXPECT_EQ(stations_.counter, QStringLiteral("3 of 3"));
    EXPECT_TRUE(wm_.calls.isEmpty());
    playback_.LstStations_DblClick();
    EXPECT_EQ(wm_.url, QStringLiteral("http://c.example/s"));
    stations_.selected = -1;
    wm_.calls.clear();
    playback_.LstStations_DblClick();
    EXPECT_TRUE(wm_.calls.isEmpty());
}

TEST_F(PlaybackTest, PlayingRunsTheAnimationAndLeavingItShowsTheIdleIcon) {
    playback_.PicPlay_Click();
    wm_.setState(3);
    EXPECT_TRUE(playback_.TmrFlash().isActive());
    EXPECT_EQ(playback_.TmrFlash().interval(), 200);
    QTest::qWait(650);
    ASSERT_GE(window_.icons.size(), 2u);
    EXPECT_TRUE(std::all_of(window_.icons.begin(), window_.icons.end(),
                            [](int i) { return i >= 0 && i <= 4; }));
    EXPECT_EQ(window_.trayRefreshes, static_cast<int>(window_.icons.size()));

    wm_.setState(8);
    EXPECT_FALSE(playback_.TmrFlash().isActive());
    EXPECT_EQ(window_.icons.back(), 6);
    // A dropped stream is not a failed attempt: no message, and the station still counts as on.
    EXPECT_TRUE(playback_.IsPlaying());
    EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(PlaybackTest, AFailedStationShowsTheMessageOncePerAttempt) {
    playback_.PicPlay_Click();
    wm_.fail();
    ASSERT_EQ(unavailableMessages(), 1);
    EXPECT_EQ(boxes_.shown()[0].style, platform::MsgInformation);
    EXPECT_EQ(boxes_.shown()[0].caption, QStringLiteral("Velmo's Online Radio"));
    EXPECT_FALSE(playback_.IsPlaying());
    EXPECT_EQ(wm_.errors, 0);
    // The same state reported again (another notification) says nothing new.
    playback_.WM_StatusChange();
    EXPECT_EQ(unavailableMessages(), 1);

    playback_.PicPlay_Click();
    wm_.fail();
    EXPECT_EQ(unavailableMessages(), 2);
}

TEST_F(PlaybackTest, AFailureTheUserDidNotStartIsNotReported) {
    wm_.fail();
    EXPECT_TRUE(boxes_.shown().empty());
    EXPECT_EQ(wm_.errors, 0);
    // Ready without errors is nothing at all.
    wm_.setState(0);
    wm_.setState(10);
    EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(PlaybackTest, StopClosesShowsThePictureAndEndsARecording) {
    playback_.PicPlay_Click();
    wm_.setState(3);
    record_.windowTag = QStringLiteral("RecordStarted");
    playback_.PicStop_Click();
    EXPECT_EQ(wm_.calls.last(), QStringLiteral("close"));
    EXPECT_FALSE(playback_.IsPlaying());
    EXPECT_TRUE(window_.picMessVisible);
    EXPECT_EQ(record_.stops, 1);
    EXPECT_FALSE(playback_.TmrFlash().isActive());
    record_.windowTag.clear();
    playback_.PicStop_Click();
    EXPECT_EQ(record_.stops, 1);
}

TEST_F(PlaybackTest, TrayStopAndPlayToggleTheStreamButNotTheStation) {
    playback_.PicPlay_Click();
    wm_.setState(3);
    wm_.calls.clear();
    playback_.MnuPause_Click();
    EXPECT_EQ(wm_.calls, QStringList{QStringLiteral("stop")});
    EXPECT_EQ(window_.pauseCaption, QStringLiteral("Play"));
    EXPECT_TRUE(playback_.IsPlaying());
    wm_.setState(1);
    EXPECT_FALSE(window_.picMessVisible);
    playback_.MnuPause_Click();
    EXPECT_EQ(wm_.calls.last(), QStringLiteral("play"));
    EXPECT_EQ(window_.pauseCaption, QStringLiteral("Stop"));
}

TEST_F(PlaybackTest, RightClickShowsTheViewMenuWithVideoSizeOnlyWhilePlaying) {
    wm_.rightClick();
    wm_.leftClick();
    wm_.setState(3);
    wm_.rightClick();
    wm_.full = true;
    wm_.rightClick();
    EXPECT_EQ(window_.popups, (std::vector<bool>{false, true}));
}

TEST_F(PlaybackTest, FullScreenOnlyWhilePlaying) {
    playback_.mnuFull_Click();
    EXPECT_FALSE(wm_.full);
    wm_.setState(3);
    playback_.mnuFull_Click();
    EXPECT_TRUE(wm_.full);
}

TEST_F(PlaybackTest, TheVolumeControlToggleAndItsSetting) {
    playback_.GetVolumeControlSettings();
    EXPECT_EQ(wm_.height, 2760);
    EXPECT_EQ(window_.showVolCaption, QStringLiteral("Show"));
    playback_.mnuShowVol_Click();
    EXPECT_EQ(wm_.height, 2100);
    EXPECT_EQ(window_.showVolCaption, QStringLiteral("Hide"));
    EXPECT_EQ(setting("VolumeControl", "Show"), QStringLiteral("1"));
    playback_.mnuShowVol_Click();
    EXPECT_EQ(wm_.height, 2760);
    EXPECT_EQ(window_.showVolCaption, QStringLiteral("Show"));
    EXPECT_EQ(setting("VolumeControl", "Show"), QStringLiteral("0"));

    // Any height other than exactly the hidden one counts as shown.
    wm_.height = 2761;
    playback_.mnuShowVol_Click();
    EXPECT_EQ(wm_.height, 2760);

    settings().SaveSetting(QStringLiteral("Zorvita"), QStringLiteral("VolumeControl"),
                           QStringLiteral("Show"), QStringLiteral("1"));
    playback_.GetVolumeControlSettings();
    EXPECT_EQ(wm_.height, 2100);
    EXPECT_EQ(window_.showVolCaption, QStringLiteral("Hide"));
}

TEST_F(PlaybackTest, StartUpSelectsTheLastPlayedStationOrTheFirst) {
    playback_.ApplyStartupSettings();
    EXPECT_EQ(wm_.calls, (QStringList{QStringLiteral("stretch=1"), QStringLiteral("invoke=0")}));

    playback_.SelectLastPlayed();
    EXPECT_EQ(stations_.selected, 0);
    settings().SaveSetting(QStringLiteral("Zorvita"), QStringLiteral("Last Played"),
                           QStringLiteral("Station"), QStringLiteral("Gamma"));
    playback_.SelectLastPlayed();
    EXPECT_EQ(stations_.selected, 2);
    EXPECT_EQ(stations_.counter, QStringLiteral("3 of 3"));
    settings().SaveSetting(QStringLiteral("Zorvita"), QStringLiteral("Last Played"),
                           QStringLiteral("Station"), QStringLiteral("Gone"));
    playback_.SelectLastPlayed();
    EXPECT_EQ(stations_.selected, 2);
}

}  // namespace
