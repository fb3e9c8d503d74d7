// The main window's controls reach the player and the recorder: the real window with its real
// media player (sound only offscreen), a logging MCI and stations on a local port that refuses.
#include "app/controls.h"
#include "app/frm_fm.h"
#include "platform/player/mpv_player.h"
#include "platform/ui/message_box.h"
#include "playback/playback.h"
#include "recording/ModRecorder.h"
#include "skins/picture_box.h"
#include "stations/StationFile.h"
#include "tests/app/app_folder.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QRadioButton>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using testing_support::AppFolderTest;

const QString kStationUnavailableText = QStringLiteral(
    "Sorry this station is not available at the moment. It could be because of any of the below "
    "given reasons\r\n"
    "1) You are not connected to the internet.\r\n"
    "2) You are behind an internet firewall which prevents listening to internet radio.\r\n"
    "3) Radio Server is down for maintenance or has shut down or does not play at this hour.\r\n"
    "\r\n"
    "Please try listening to it some other time or if you wish, you can remove this station from "
    "the list.");
const QString kCredit = QStringLiteral("DEVELOPED BY :- VELMO TARSK");

class WiringTest : public AppFolderTest {
  protected:
    // Two stations whose address answers nothing: a local port that was free a moment ago.
    void refusingStations() {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        refused = QStringLiteral("http://127.0.0.1:%1/live").arg(probe.serverPort());
        probe.close();
        WriteStationFile(appFolder() + QStringLiteral("/Player.dll"),
                         {QStringLiteral("First FM"), QStringLiteral("Second FM")},
                         {refused + QStringLiteral("1"), refused + QStringLiteral("2")});
    }
    std::unique_ptr<app::FrmFM> loaded() {
        auto w = makeWindow();
        w->Form_Load();
        return w;
    }
    QString refused;
};

TEST_F(WiringTest, RecordWithoutPlaybackOnlyExplains) {
    auto w = loaded();
    QTest::mouseClick(w->PicRecord(), Qt::LeftButton);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text,
              QStringLiteral("Please click on the Play button first to start playing the Radio\r\n"
                             "and then click the Record button."));
    EXPECT_EQ(boxes.shown()[0].icon(), platform::MsgInformation);
    EXPECT_TRUE(mci.commands.isEmpty());
    EXPECT_TRUE(w->PicRecord()->isVisible());
    EXPECT_FALSE(w->PicRecordStop()->isVisible());
    EXPECT_TRUE(w->Tag().isEmpty());
    EXPECT_EQ(w->LblMessage()->text(), kCredit);
}

// The player's Stop while the tag says a recording runs: the same stop action as the button.
TEST_F(WiringTest, StopWhileTheTagSaysRecordingRunsTheStopAction) {
    auto w = loaded();
    w->recorder().RecordFileName = QStringLiteral("Recorded_070326143005");
    w->setTag(QStringLiteral("RecordStarted"));
    w->PicRecord()->hide();
    w->PicRecordStop()->show();
    QTest::mouseClick(w->PicStop(), Qt::LeftButton);

    EXPECT_TRUE(mci.commands.contains(QStringLiteral("stop recsound")));
    EXPECT_TRUE(mci.commands.contains(QStringLiteral("save recsound ") + appFolder() +
                                      QStringLiteral("/Recorded_070326143005.tmp")));
    EXPECT_TRUE(w->Tag().isEmpty());
    EXPECT_TRUE(w->PicRecord()->isVisible());
    EXPECT_FALSE(w->PicRecordStop()->isVisible());
    EXPECT_TRUE(w->PicMess()->isVisible());
    EXPECT_EQ(w->WM()->playState(), 0);
    // The logging device saved no file: no message may name a recording that is not there.
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(w->LblMessage()->text(), kCredit);
}

TEST_F(WiringTest, ClosingTheWindowDuringARecordingSavesItFirst) {
    auto w = loaded();
    w->recorder().RecordFileName = QStringLiteral("Recorded_070326143005");
    w->recorder().RecordingActive = true;
    w->setTag(QStringLiteral("RecordStarted"));
    w->close();
    EXPECT_FALSE(w->recorder().RecordingActive);
    EXPECT_TRUE(mci.commands.contains(QStringLiteral("stop recsound")));
    EXPECT_TRUE(w->Tag().isEmpty());
    EXPECT_FALSE(w->isVisible());
}

TEST_F(WiringTest, DoubleClickPlaysTheStationsAddressAndItsFailureIsReportedOnce) {
    refusingStations();
    auto w = loaded();
    EXPECT_EQ(w->LblCnt()->text(), QStringLiteral("1 of 2"));
    QListWidget* list = w->LstStations();
    const QPoint second = list->visualItemRect(list->item(1)).center();
    // A double-click arrives as a click followed by the double-click.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second);

    EXPECT_EQ(w->LblCnt()->text(), QStringLiteral("2 of 2"));
    EXPECT_EQ(w->WM()->URL(), refused + QStringLiteral("2"));
    EXPECT_TRUE(w->playback().IsPlaying());
    EXPECT_FALSE(w->PicMess()->isVisible());
    EXPECT_EQ(setting(QStringLiteral("Last Played"), QStringLiteral("Station")),
              QStringLiteral("Second FM"));
    EXPECT_EQ(mci.commands.value(1), QStringLiteral("open ") + appFolder() +
                                         QStringLiteral("/Process.dll type MPEGVideo alias "
                                                        "CURRFILE"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w->playback().IsPlaying(); }, 20000));
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, kStationUnavailableText);
    EXPECT_FALSE(w->TmrFlash()->isActive());
}

TEST_F(WiringTest, PlayAndStopButtonsDriveThePlayerAndAReloadForgetsTheStartSound) {
    refusingStations();
    ASSERT_TRUE(QDir().mkpath(appFolder() + QStringLiteral("/Skins/Night")));
    // An empty settings file is a whole skin: black colours, the built-in pictures and places.
    ASSERT_TRUE(QFile(appFolder() + QStringLiteral("/Skins/Night/Settings.ini"))
                    .open(QIODevice::WriteOnly));
    auto w = loaded();
    QTest::mouseClick(w->PicPlay(), Qt::LeftButton);
    EXPECT_EQ(w->WM()->URL(), refused + QStringLiteral("1"));
    EXPECT_TRUE(w->playback().StartSoundPlayed());
    QTest::mouseClick(w->PicStop(), Qt::LeftButton);
    EXPECT_FALSE(w->playback().IsPlaying());
    EXPECT_TRUE(w->PicMess()->isVisible());
    EXPECT_EQ(w->WM()->playState(), 0);

    w->LstSkins()->setCurrentRow(1);
    w->PicOK_Click();
    ASSERT_EQ(w->loadCount(), 2);
    EXPECT_FALSE(w->playback().StartSoundPlayed());
    EXPECT_EQ(w->LblCnt()->text(), QStringLiteral("1 of 2"));
}

TEST_F(WiringTest, TheVolumeSettingSizesThePlayerAndTheMenuItemTogglesIt) {
    auto w = loaded();
    EXPECT_EQ(w->WM()->parentWidget(), w->PicHolder());
    EXPECT_EQ(w->WM()->pos(), QPoint(0, 0));
    EXPECT_EQ(w->WM()->width(), w->PicHolder()->width());
    EXPECT_EQ(w->WM()->heightTwips(), 2760);
    EXPECT_EQ(w->mnuShowVol()->text(), QStringLiteral("Show"));
    w->mnuShowVol()->trigger();
    EXPECT_EQ(w->WM()->heightTwips(), 2100);
    EXPECT_EQ(w->mnuShowVol()->text(), QStringLiteral("Hide"));

    auto next = loaded();
    EXPECT_EQ(next->WM()->heightTwips(), 2100);
    EXPECT_EQ(next->mnuShowVol()->text(), QStringLiteral("Hide"));
}

TEST_F(WiringTest, RightClickOnTheIdlePlayerShowsTheViewMenuWithoutVideoSize) {
    auto w = loaded();
    QTest::mouseClick(w->WM(), Qt::RightButton, {}, QPoint(20, 20));
    EXPECT_TRUE(w->mnuView()->isVisible());
    EXPECT_FALSE(w->MnuSize()->menuAction()->isVisible());
    w->mnuView()->hide();
    // Full screen only while playing.
    w->mnuFull()->trigger();
    EXPECT_FALSE(w->WM()->fullScreen());
}

TEST_F(WiringTest, TheAdvancedRecorderIsStartedFromTheApplicationFolder) {
    auto w = loaded();
    QTest::mouseClick(w->PicAdvanceRec(), Qt::LeftButton);
    EXPECT_EQ(shell.started, QStringList{appFolder() + QStringLiteral("/Encoder.dll")});
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(WiringTest, TheRateChosenInTheSettingsIsTheRecordersRate) {
    auto w = loaded();
    w->PicSettings_Click();
    w->OptSampleRate(2)->setChecked(true);
    w->PicOK_Click();
    EXPECT_EQ(w->recorder().RecordRateIndex, 2);
    EXPECT_EQ(w->recorder().RecordSampleRate, QStringLiteral("16000"));
}

}  // namespace
