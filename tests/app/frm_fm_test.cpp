#include "app/frm_fm.h"
#include "app/controls.h"
#include "platform/ui/message_box.h"
#include "platform/ui/report_error.h"
#include "skins/builtin_skin.h"
#include "skins/picture_box.h"
#include "tests/app/app_folder.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using testing_support::AppFolderTest;

const QString kMissingFileText = QStringLiteral(
    "One of the files needed to run this application was not found.\r\n"
    "Please make sure the below file is present at the location.\r\n%1\r\n\r\n"
    "Note : If you are running this application directly from a zip file then "
    "please extract all the files to a folder on your hard disk and then run the "
    "Zorvita file from that folder.");

class FrmFMTest : public AppFolderTest {};

TEST_F(FrmFMTest, EmptyStoreStartsWithTheDefaultRateNewsOffAndTheBuiltInSkin) {
    auto w = makeWindow();
    w->Form_Load();

    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(endCalls, 0);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(setting(QStringLiteral("Install"), QStringLiteral("Location")), appFolder());

    EXPECT_EQ(w->RecordRateIndex(), 7);
    EXPECT_EQ(w->RecordSampleRate(), QStringLiteral("48000"));
    EXPECT_TRUE(w->OptSampleRate(7)->isChecked());
    EXPECT_FALSE(w->ChkNews()->isChecked());
    EXPECT_TRUE(w->LblMessage()->isVisible());
    EXPECT_EQ(w->LblMessage()->text(), QStringLiteral("DEVELOPED BY :- VELMO TARSK"));
    EXPECT_FALSE(w->LblNews()->isVisible());
    EXPECT_FALSE(w->TmrNewsSlide()->isActive());

    ASSERT_EQ(w->LstSkins()->count(), 1);
    EXPECT_EQ(w->LstSkins()->item(0)->text(), QStringLiteral("Spider Man"));
    EXPECT_EQ(w->LstSkins()->currentRow(), 0);
    EXPECT_FALSE(w->PicSettingsBox()->isVisible());
    EXPECT_FALSE(w->PicAboutMe()->isVisible());
    EXPECT_TRUE(w->PicMess()->isVisible());
}

TEST_F(FrmFMTest, UpdateFromWebAsksBeforeItDownloads) {
    auto w = makeWindow();
    w->Form_Load();
    boxes.clear();
    w->CmdLive()->click();  // the script answers No
    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_EQ(boxes.shown()[0].text,
              QStringLiteral("This will download new radio stations that are available on "
                             "Velmo's website.\r\nAre you sure you want to downlaod and update "
                             "your stations list?"));
    EXPECT_EQ(boxes.shown()[0].style, platform::MsgQuestion + platform::MsgYesNo);
}

TEST_F(FrmFMTest, WindowIsShapedFromTheBackgroundAndEveryButtonLiesInsideTheOutline) {
    auto w = makeWindow();
    w->Form_Load();

    const QPixmap background = skins::builtinPicture(QStringLiteral("Main.bmp"));
    EXPECT_EQ(w->size(), background.size());
    EXPECT_TRUE(w->windowFlags().testFlag(Qt::FramelessWindowHint));
    const QRegion outline = w->mask();
    ASSERT_FALSE(outline.isEmpty());
    EXPECT_FALSE(outline.contains(QPoint(0, 0)));
    // The background picture moved to the window; the picture box keeps none.
    EXPECT_TRUE(w->BackPic()->picture().isNull());

    for (skins::PictureBox* button :
         {w->PicPlay(), w->PicStop(), w->PicRecord(), w->PicSettings(), w->PicAdvanceRec(),
          w->PicAbout(), w->PicMin(), w->PicClose(), w->PicUp(), w->PicDown()}) {
        ASSERT_FALSE(button->picture().isNull()) << qPrintable(button->objectName());
        EXPECT_TRUE(button->isVisible()) << qPrintable(button->objectName());
        const QRect r = button->geometry();
        for (const QPoint corner : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()}) {
            EXPECT_TRUE(outline.contains(corner)) << qPrintable(button->objectName());
        }
    }
    for (skins::PictureBox* twin : {w->PicPlayRoll(), w->PicStopRoll(), w->PicOKRoll(),
                                    w->PicCloseWRoll(), w->PicManageUpRoll()}) {
        EXPECT_FALSE(twin->picture().isNull()) << qPrintable(twin->objectName());
        EXPECT_FALSE(twin->isVisible()) << qPrintable(twin->objectName());
    }
    for (int i : {0, 1, 2, 3, 4, 6}) {
        EXPECT_FALSE(w->Flash(i).isNull()) << i;
    }
}

TEST_F(FrmFMTest, ControlsSitWhereTheDesignPutsThemRelativeToEachOther) {
    auto w = makeWindow();
    w->Form_Load();
    const int gap = platform::twipsToPixelsX(35);
    skins::PictureBox* row[] = {w->PicPlay(),     w->PicStop(),       w->PicRecord(),
                                w->PicSettings(), w->PicAdvanceRec(), w->PicAbout()};
    for (int i = 1; i < 6; ++i) {
        EXPECT_EQ(row[i]->y(), row[0]->y());
        EXPECT_EQ(row[i]->x(), row[i - 1]->x() + row[i - 1]->width() + gap);
    }
    EXPECT_EQ(w->PicRecordStop()->pos(), w->PicRecord()->pos());
    EXPECT_FALSE(w->PicRecordStop()->isVisible());
    EXPECT_EQ(w->PicHolder()->pos(), w->PicMess()->pos());
    EXPECT_EQ(w->PicAboutMe()->pos(), w->PicSettingsBox()->pos());
    EXPECT_EQ(w->PicNews()->geometry().bottom() + 1 + platform::twipsToPixelsY(160),
              w->PicPlay()->y());
    EXPECT_EQ(w->PicCount()->y(), w->PicDown()->y());
    EXPECT_EQ(w->PicClose()->y(), w->PicMin()->y());
    // Nothing of the station column runs off the window.
    EXPECT_TRUE(w->rect().contains(w->PicCount()->geometry()));
}

TEST_F(FrmFMTest, EachMissingRequiredFileIsNamedAndEndsTheProgram) {
    for (const QString& file : app::FrmFM::requiredFiles()) {
        SCOPED_TRACE(qPrintable(file));
        ASSERT_TRUE(QFile::remove(appFolder() + file));
        boxes.clear();
        endCalls = 0;
        setSetting(QStringLiteral("Record"), QStringLiteral("SettingID"), QStringLiteral("3"));
        setSetting(QStringLiteral("Record"), QStringLiteral("SettingValue"),
                   QStringLiteral("22050"));

        auto w = makeWindow();
        w->Form_Load();

        ASSERT_EQ(boxes.shown().size(), 1U);
        EXPECT_EQ(boxes.shown()[0].text, kMissingFileText.arg(appFolder() + file));
        EXPECT_EQ(boxes.shown()[0].style, platform::MsgExclamation);
        EXPECT_EQ(boxes.shown()[0].caption, QStringLiteral("Velmo's Online Radio"));
        EXPECT_EQ(endCalls, 1);
        // The window was shown before the check; nothing after it ran.
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(w->RecordRateIndex(), 7);
        createFile(file.mid(1));
    }
}

TEST_F(FrmFMTest, TheFirstMissingFileInOrderIsTheOneNamed) {
    ASSERT_TRUE(QFile::remove(appFolder() + QStringLiteral("/Encoder.dll")));
    ASSERT_TRUE(QFile::remove(appFolder() + QStringLiteral("/Zorvita.dll")));
    auto w = makeWindow();
    w->Form_Load();
    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_TRUE(boxes.shown()[0].text.contains(appFolder() + QStringLiteral("/Zorvita.dll")));
}

TEST_F(FrmFMTest, HiddenFilesAndFoldersDoNotCountAsRequiredFiles) {
    {
        QFile hidden(appFolder() + QStringLiteral("/.hidden"));
        ASSERT_TRUE(hidden.open(QIODevice::WriteOnly));
        hidden.write("notes.txt\nEncoder.dll\n");
    }
    auto w = makeWindow();
    w->Form_Load();
    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_EQ(boxes.shown()[0].text,
              kMissingFileText.arg(appFolder() + QStringLiteral("/Encoder.dll")));
    EXPECT_EQ(endCalls, 1);

    ASSERT_TRUE(QFile::remove(appFolder() + QStringLiteral("/.hidden")));
    ASSERT_TRUE(QFile::remove(appFolder() + QStringLiteral("/Skin.dll")));
    ASSERT_TRUE(QDir().mkpath(appFolder() + QStringLiteral("/Skin.dll")));
    boxes.clear();
    auto next = makeWindow();
    next->Form_Load();
    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_TRUE(boxes.shown()[0].text.contains(appFolder() + QStringLiteral("/Skin.dll")));
}

TEST_F(FrmFMTest, OkSavesTheChosenRateAndTheNextStartSelectsIt) {
    auto w = makeWindow();
    w->Form_Load();

    QTest::mouseClick(w->PicSettings(), Qt::LeftButton);
    ASSERT_TRUE(w->PicSettingsBox()->isVisible());
    QTest::mouseClick(w->OptSampleRate(3), Qt::LeftButton);
    ASSERT_TRUE(w->OptSampleRate(3)->isChecked());
    QTest::mouseClick(w->PicOK(), Qt::LeftButton);

    EXPECT_FALSE(w->PicSettingsBox()->isVisible());
    EXPECT_EQ(setting(QStringLiteral("Record"), QStringLiteral("SettingID")), QStringLiteral("3"));
    EXPECT_EQ(setting(QStringLiteral("Record"), QStringLiteral("SettingValue")),
              QStringLiteral("22050"));
    EXPECT_EQ(setting(QStringLiteral("News"), QStringLiteral("Show")), QStringLiteral("0"));
    EXPECT_EQ(setting(QStringLiteral("Skin"), QStringLiteral("Current")),
              QStringLiteral("Spider Man"));
    EXPECT_EQ(w->RecordRateIndex(), 3);
    EXPECT_EQ(w->RecordSampleRate(), QStringLiteral("22050"));
    // Choosing the built-in skin that was already showing does not rebuild the window.
    EXPECT_EQ(w->loadCount(), 1);

    w.reset();
    auto next = makeWindow();
    next->Form_Load();
    EXPECT_TRUE(next->OptSampleRate(3)->isChecked());
    EXPECT_EQ(next->RecordRateIndex(), 3);
    EXPECT_EQ(next->RecordSampleRate(), QStringLiteral("22050"));
    EXPECT_TRUE(boxes.shown().empty());
}

// A settings file that cannot be read (here a FIFO in its place) is never written over; the
// window says so, loads all the same, and OK says so once for all its settings.
TEST_F(FrmFMTest, AStoreThatCannotBeReadIsReportedAndTheWindowStillLoads) {
    const QString store = registry().filePath();
    QDir().mkpath(QFileInfo(store).absolutePath());
    ASSERT_EQ(::mkfifo(QFile::encodeName(store).constData(), 0600), 0);
    const QString notSaved =
        QStringLiteral(
            "The setting was not saved: the settings file cannot be read (it is not a "
            "regular file). The file was left as it is:\r\n") +
        store;
    auto w = makeWindow();
    w->Form_Load();
    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_EQ(boxes.shown()[0].text, notSaved);
    EXPECT_EQ(boxes.shown()[0].caption, QStringLiteral("Velmo's Online Radio"));
    EXPECT_TRUE(w->isVisible());
    EXPECT_GT(w->LstStations()->count(), 0);
    EXPECT_EQ(w->RecordSampleRate(), QStringLiteral("48000"));

    w->PicSettings_Click();
    w->PicOK_Click();
    ASSERT_EQ(boxes.shown().size(), 2U);
    EXPECT_EQ(boxes.shown()[1].text, notSaved);
    EXPECT_FALSE(QFileInfo(store).isFile());
}

TEST_F(FrmFMTest, SettingsButtonTogglesThePanelWithoutSaving) {
    auto w = makeWindow();
    w->Form_Load();
    w->PicSettings_Click();
    EXPECT_TRUE(w->PicSettingsBox()->isVisible());
    w->OptSampleRate(0)->setChecked(true);
    w->PicSettings_Click();
    EXPECT_FALSE(w->PicSettingsBox()->isVisible());
    EXPECT_TRUE(setting(QStringLiteral("Record"), QStringLiteral("SettingID")).isEmpty());
}

TEST_F(FrmFMTest, StoredRateIndexOutsideTheGridIsReportedAndTheWindowOtherwiseReady) {
    setSetting(QStringLiteral("Record"), QStringLiteral("SettingID"), QStringLiteral("9"));
    setSetting(QStringLiteral("Record"), QStringLiteral("SettingValue"), QStringLiteral("96000"));
    auto w = makeWindow();
    w->Form_Load();

    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("Control array element '9' doesn't exist"));
    EXPECT_EQ(boxes.shown()[0].style, platform::MsgCritical);
    EXPECT_EQ(boxes.shown()[0].caption, QStringLiteral("Velmo's Online Radio"));
    EXPECT_EQ(endCalls, 0);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->RecordRateIndex(), 9);
    EXPECT_EQ(w->RecordSampleRate(), QStringLiteral("96000"));
    EXPECT_TRUE(w->OptSampleRate(7)->isChecked());
    EXPECT_EQ(setting(QStringLiteral("Install"), QStringLiteral("Location")), appFolder());
}

TEST_F(FrmFMTest, BlankRateSettingFallsBackToTheDefaultEvenWhenTheOtherIsSet) {
    setSetting(QStringLiteral("Record"), QStringLiteral("SettingID"), QStringLiteral(" 2 "));
    setSetting(QStringLiteral("Record"), QStringLiteral("SettingValue"), QStringLiteral("  "));
    auto w = makeWindow();
    w->Form_Load();
    EXPECT_EQ(w->RecordRateIndex(), 7);
    EXPECT_EQ(w->RecordSampleRate(), QStringLiteral("48000"));

    setSetting(QStringLiteral("Record"), QStringLiteral("SettingValue"), QStringLiteral(" 16000 "));
    auto next = makeWindow();
    next->Form_Load();
    EXPECT_EQ(next->RecordRateIndex(), 2);
    EXPECT_EQ(next->RecordSampleRate(), QStringLiteral("16000"));
    EXPECT_TRUE(next->OptSampleRate(2)->isChecked());
}

TEST_F(FrmFMTest, ChoosingTheLoadedSkinInAnotherLetterCaseDoesNotReload) {
    ASSERT_TRUE(QDir().mkpath(appFolder() + QStringLiteral("/Skins")));
    setSetting(QStringLiteral("Skin"), QStringLiteral("Current"), QStringLiteral("spider man"));
    auto w = makeWindow();
    w->Form_Load();
    ASSERT_EQ(w->loadCount(), 1);
    EXPECT_EQ(w->CurrentSkinName(), QStringLiteral("spider man"));

    w->PicSettings_Click();
    w->LstSkins()->setCurrentRow(0);
    w->PicOK_Click();
    EXPECT_EQ(w->loadCount(), 1);
    EXPECT_EQ(setting(QStringLiteral("Skin"), QStringLiteral("Current")),
              QStringLiteral("Spider Man"));
}

TEST_F(FrmFMTest, ChoosingAnotherSkinRunsTheWholeLoadSequenceAgain) {
    ASSERT_TRUE(QDir().mkpath(appFolder() + QStringLiteral("/Skins/Night")));
    // An empty settings file is a whole skin: black colours, the built-in pictures and places.
    ASSERT_TRUE(QFile(appFolder() + QStringLiteral("/Skins/Night/Settings.ini"))
                    .open(QIODevice::WriteOnly));
    auto w = makeWindow();
    w->Form_Load();
    ASSERT_EQ(w->LstSkins()->count(), 2);
    EXPECT_EQ(w->LstSkins()->item(1)->text(), QStringLiteral("Night"));

    // Marks that only the first steps of the load sequence would undo.
    setSetting(QStringLiteral("Install"), QStringLiteral("Location"), QStringLiteral("elsewhere"));
    w->PicSettings_Click();
    w->OptSampleRate(5)->setChecked(true);
    w->LstSkins()->setCurrentRow(1);
    w->PicOK_Click();

    EXPECT_EQ(w->loadCount(), 2);
    EXPECT_EQ(w->CurrentSkinName(), QStringLiteral("Night"));
    EXPECT_EQ(setting(QStringLiteral("Skin"), QStringLiteral("Current")), QStringLiteral("Night"));
    EXPECT_EQ(setting(QStringLiteral("Install"), QStringLiteral("Location")), appFolder());
    EXPECT_EQ(w->LstSkins()->currentRow(), 1);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->PicSettingsBox()->isVisible());
    // The rate saved by OK is what the reloaded window reads back.
    EXPECT_TRUE(w->OptSampleRate(5)->isChecked());
    EXPECT_EQ(w->RecordSampleRate(), QStringLiteral("32000"));
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(endCalls, 0);
}

// The window is the program's only one: rebuilding it for a new skin must not end the running
// program the way closing the last window does.
TEST_F(FrmFMTest, ReloadingForANewSkinKeepsTheProgramRunning) {
    ASSERT_TRUE(QDir().mkpath(appFolder() + QStringLiteral("/Skins/Night")));
    // An empty settings file is a whole skin: black colours, the built-in pictures and places.
    ASSERT_TRUE(QFile(appFolder() + QStringLiteral("/Skins/Night/Settings.ini"))
                    .open(QIODevice::WriteOnly));
    auto w = makeWindow();
    w->Form_Load();
    QTimer::singleShot(0, w.get(), [&] {
        w->LstSkins()->setCurrentRow(1);
        w->PicOK_Click();
        QTimer::singleShot(200, w.get(), [] { QCoreApplication::exit(7); });
    });
    EXPECT_EQ(QCoreApplication::exec(), 7);
    EXPECT_EQ(w->loadCount(), 2);
    EXPECT_TRUE(w->isVisible());
}

TEST_F(FrmFMTest, NewsSettingDrivesTheCheckBoxAndTheHeadlineStrip) {
    setSetting(QStringLiteral("News"), QStringLiteral("Show"), QStringLiteral("1"));
    auto w = makeWindow();
    w->Form_Load();
    EXPECT_TRUE(w->ChkNews()->isChecked());
    EXPECT_TRUE(w->LblNews()->isVisible());
    EXPECT_FALSE(w->LblMessage()->isVisible());
    EXPECT_TRUE(w->TmrNewsSlide()->isActive());

    w->PicSettings_Click();
    QTest::mouseClick(w->LblShowNews(), Qt::LeftButton);
    EXPECT_FALSE(w->ChkNews()->isChecked());
    // Toggling alone saves nothing.
    EXPECT_EQ(setting(QStringLiteral("News"), QStringLiteral("Show")), QStringLiteral("1"));
    w->PicOK_Click();
    EXPECT_EQ(setting(QStringLiteral("News"), QStringLiteral("Show")), QStringLiteral("0"));
    EXPECT_FALSE(w->LblNews()->isVisible());
    EXPECT_TRUE(w->LblMessage()->isVisible());
    EXPECT_FALSE(w->TmrNewsSlide()->isActive());

    // Any value other than "1" means off.
    setSetting(QStringLiteral("News"), QStringLiteral("Show"), QStringLiteral("yes"));
    auto next = makeWindow();
    next->Form_Load();
    EXPECT_FALSE(next->ChkNews()->isChecked());
}

TEST_F(FrmFMTest, CloseButtonAndTrayCloseEndTheProgramAtOnce) {
    auto w = makeWindow();
    w->Form_Load();
    QTest::mouseClick(w->PicClose(), Qt::LeftButton);
    EXPECT_EQ(endCalls, 1);
    EXPECT_FALSE(w->isVisible());

    auto other = makeWindow();
    other->Form_Load();
    other->mnuClose()->trigger();
    EXPECT_EQ(endCalls, 2);
    EXPECT_FALSE(other->isVisible());
}

TEST_F(FrmFMTest, StationCounterFollowsTheSelection) {
    auto w = makeWindow();
    w->Form_Load();
    EXPECT_EQ(w->LstStations()->count(), 31) << "the built-in stations of a fresh installation";
    EXPECT_EQ(w->LstStations()->currentRow(), 0);
    EXPECT_EQ(w->LblCnt()->text(), QStringLiteral("1 of 31"));
    EXPECT_EQ(w->LblTot()->text(), QStringLiteral("Station : 1 of 31"));
    w->LstStations()->setCurrentRow(2);
    EXPECT_EQ(w->LblCnt()->text(), QStringLiteral("3 of 31"));
}

TEST_F(FrmFMTest, MenusHoldTheirItemsInOrder) {
    auto w = makeWindow();
    const QList<QAction*> tray = w->RCPopup()->actions();
    ASSERT_EQ(tray.size(), 4);
    EXPECT_EQ(tray[0], w->mnuShow());
    EXPECT_EQ(tray[0]->text(), QStringLiteral("Open"));
    EXPECT_EQ(tray[1]->text(), QStringLiteral("Stop"));
    EXPECT_TRUE(tray[2]->isSeparator());
    EXPECT_EQ(tray[3]->text(), QStringLiteral("Close"));
    EXPECT_EQ(w->mnuView()->title(), QStringLiteral("View"));
    EXPECT_EQ(w->MnuSize()->title(), QStringLiteral("Video Size"));
    EXPECT_EQ(w->MnuSize()->actions().value(0), w->mnuFull());
    EXPECT_EQ(w->mnuVolumeCtrl()->actions().value(0), w->mnuShowVol());
    EXPECT_EQ(w->TmrFlash()->interval(), 200);
    EXPECT_EQ(w->TmrList()->interval(), 100);
    EXPECT_EQ(w->TmrManageList()->interval(), 100);
    EXPECT_EQ(w->TmrNewsSlide()->interval(), 23);
}

}  // namespace

namespace {

TEST_F(FrmFMTest, LastPlayedStationIsSelectedAndAnUnknownOneLeavesTheFirst) {
    setSetting(QStringLiteral("Last Played"), QStringLiteral("Station"),
               QStringLiteral("BBC News"));
    auto w = makeWindow();
    w->Form_Load();
    EXPECT_EQ(w->LstStations()->currentItem()->text(), QStringLiteral("BBC News"));
    EXPECT_EQ(w->LblCnt()->text(), QStringLiteral("19 of 31"));

    setSetting(QStringLiteral("Last Played"), QStringLiteral("Station"), QStringLiteral("Gone FM"));
    auto again = makeWindow();
    again->Form_Load();
    EXPECT_EQ(again->LstStations()->currentRow(), 0);
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(FrmFMTest, MissingStationFileGivesTheDefaultsAndHidesManagement) {
    QFile::remove(appFolder() + QStringLiteral("/Player.dll"));
    createFile(QStringLiteral("Player.dll"));  // present for the start-up check, but no station
    auto w = makeWindow();
    w->Form_Load();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(boxes.shown()[0].text.startsWith(QStringLiteral("Player.dll file not found")));
    EXPECT_EQ(w->LstStations()->count(), 31);
    EXPECT_EQ(w->LstManageStations()->count(), 0);
    EXPECT_TRUE(w->LblManageStations()->isHidden());
}

}  // namespace

namespace {

// The management panel's controls reach the station model through the window's wiring.
TEST_F(FrmFMTest, ManagingStationsThroughTheWindowRewritesTheFileAndReloadsOnClose) {
    auto w = makeWindow();
    w->Form_Load();
    w->show();
    w->PicSettings_Click();
    QTest::mouseClick(w->LblManageStations(), Qt::LeftButton);
    EXPECT_TRUE(w->PicManageStations()->isVisible());

    w->LstManageStations()->setCurrentRow(0);
    boxes.answerNext(platform::MsgAnswer::Yes);
    QTest::mouseClick(w->CmdDelete(), Qt::LeftButton);
    EXPECT_EQ(w->LstManageStations()->count(), 30);
    EXPECT_EQ(w->LblTot()->text(), QStringLiteral("Station : 0 of 30"));
    EXPECT_EQ(w->LstStations()->count(), 31) << "the main list changes when the panel closes";

    w->LstStations()->setCurrentRow(5);
    QTest::mouseClick(w->PicManageOK(), Qt::LeftButton);
    EXPECT_FALSE(w->PicManageStations()->isVisible());
    EXPECT_EQ(w->LstStations()->count(), 30);
    EXPECT_EQ(w->LstStations()->item(0)->text(), QStringLiteral("RadioOfIndia - Bollywood"));
    EXPECT_EQ(w->LstStations()->currentRow(), 0);
    EXPECT_EQ(w->LblCnt()->text(), QStringLiteral("1 of 30"));

    auto again = makeWindow();
    again->Form_Load();
    EXPECT_EQ(again->LstStations()->count(), 30);
}

}  // namespace
