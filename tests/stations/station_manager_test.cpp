#include "stations/FrmNew.h"
#include "stations/StationFile.h"
#include "stations/StationManager.h"
#include "stations/StationModel.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/temp_env.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using platform::MsgAnswer;

class StationManagerTest : public ::testing::Test {
  protected:
    StationManagerTest()
        : model({&main, &manage, &urls, &total, &link}, boxes, dir.path(),
                [this] { ++mainClicks; }),
          manager({&panel, &main, &manage, &urls}, model, boxes,
                  {[this] { ++stops; }, [this] { ++mainClicks; }, nullptr}, nullptr) {
        WriteStationFile(file(),
                         {QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")},
                         {QStringLiteral("http://1/"), QStringLiteral("http://2/"),
                          QStringLiteral("http://3/")});
        model.LoadStations();
        model.PrepareStationLists();
        panel.hide();
    }

    QString file() const { return dir.filePath(QStringLiteral("Player.dll")); }
    QByteArray fileBytes() const {
        QFile f(file());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
    std::vector<StationEntry> stored() const { return ParseStationFile(fileBytes()); }

    QTemporaryDir dir;
    QListWidget main;
    QListWidget manage;
    QListWidget urls;
    QLabel total;
    QLabel link;
    QWidget panel;
    testing_support::ScriptedMessageBoxes boxes;
    int mainClicks = 0;
    int stops = 0;
    StationModel model;
    StationManager manager;
};

TEST_F(StationManagerTest, AddChecksTheUrlFirstAndStoresTrimmedValues) {
    FrmNew dialog(boxes, [this](const QString& n, const QString& u) { manager.AddStation(n, u); });
    dialog.show();
    dialog.CmdOK_Click();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("Please enter the station's URL"));
    EXPECT_EQ(boxes.shown()[0].style, 64);
    dialog.TxtURL->setText(QStringLiteral("  http://new/  "));
    dialog.CmdOK_Click();
    EXPECT_EQ(boxes.shown().back().text, QStringLiteral("Please enter the station's name"));
    EXPECT_TRUE(dialog.isVisible());

    dialog.TxtName->setText(QStringLiteral("   New One  "));
    dialog.CmdOK_Click();
    EXPECT_EQ(boxes.shown().back().text, QStringLiteral("Successfully added the new station"));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(main.item(3)->text(), QStringLiteral("New One"));
    EXPECT_EQ(main.currentRow(), 3);
    EXPECT_EQ(manage.item(3)->text(), QStringLiteral("New One"));
    EXPECT_EQ(urls.item(3)->text(), QStringLiteral("http://new/"));
    ASSERT_EQ(stored().size(), 4u);
    EXPECT_EQ(stored()[3].name, QStringLiteral("New One"));
    EXPECT_TRUE(model.StationsChanged);
}

// A value with the station file's separator would vanish at the next load.
TEST_F(StationManagerTest, AddRefusesTheSeparatorInNameOrUrl) {
    FrmNew dialog(boxes, [this](const QString& n, const QString& u) { manager.AddStation(n, u); });
    dialog.show();
    dialog.TxtName->setText(QStringLiteral("A ==> B"));
    dialog.TxtURL->setText(QStringLiteral("http://x/"));
    dialog.CmdOK_Click();
    EXPECT_EQ(boxes.shown().back().text,
              QStringLiteral("The station's name cannot contain \"==>\""));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(manage.count(), 3);
    dialog.TxtName->setText(QStringLiteral("A"));
    dialog.TxtURL->setText(QStringLiteral("http://x/==>"));
    dialog.CmdOK_Click();
    EXPECT_EQ(boxes.shown().back().text,
              QStringLiteral("The station's URL cannot contain \"==>\""));
    EXPECT_EQ(stored().size(), 3u);
}

TEST_F(StationManagerTest, DeleteAsksThenLeavesNoSelection) {
    manage.setCurrentRow(1);
    manager.CmdDelete_Click();  // the script answers No
    EXPECT_EQ(manage.count(), 3);
    EXPECT_EQ(boxes.shown().back().style, 68);
    boxes.answerNext(MsgAnswer::Yes);
    manager.CmdDelete_Click();
    EXPECT_EQ(manage.count(), 2);
    EXPECT_EQ(urls.item(1)->text(), QStringLiteral("http://3/"));
    EXPECT_EQ(manage.currentRow(), -1);
    EXPECT_EQ(total.text(), QStringLiteral("Station : 0 of 2"));
    EXPECT_EQ(main.count(), 3) << "the main list keeps the name until the panel closes";
    EXPECT_EQ(stored().size(), 2u);
    manager.CmdDelete_Click();
    EXPECT_EQ(boxes.shown().back().text, QStringLiteral("You need to select a station"));
}

TEST_F(StationManagerTest, MovingPastEitherEndWritesNothing) {
    const QDateTime before = QFileInfo(file()).lastModified();
    const QByteArray bytes = fileBytes();
    QTest::qWait(20);
    manage.setCurrentRow(0);
    manager.cmdUp_Click();
    manage.setCurrentRow(2);
    manager.CmdDown_Click();
    EXPECT_EQ(QFileInfo(file()).lastModified(), before);
    EXPECT_EQ(fileBytes(), bytes);
    EXPECT_FALSE(model.StationsChanged);

    manager.cmdUp_Click();
    EXPECT_EQ(manage.currentRow(), 1);
    EXPECT_EQ(manage.item(1)->text(), QStringLiteral("Three"));
    EXPECT_EQ(urls.item(1)->text(), QStringLiteral("http://3/"));
    EXPECT_EQ(total.text(), QStringLiteral("Station : 2 of 3"));
    EXPECT_EQ(stored()[1].name, QStringLiteral("Three"));
}

TEST_F(StationManagerTest, ClosingReloadsAndStopsOnlyAfterAChange) {
    panel.show();
    manager.PicManageOK_Click();
    EXPECT_EQ(stops, 0);
    EXPECT_TRUE(panel.isHidden());

    manage.setCurrentRow(0);
    manager.CmdDown_Click();
    main.setCurrentRow(2);
    manager.PicManageOK_Click();
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(model.StationsChanged);
    EXPECT_EQ(main.item(0)->text(), QStringLiteral("Two"));
    EXPECT_EQ(main.currentRow(), 0);
    EXPECT_EQ(model.urlAt(1), QStringLiteral("http://1/"));
}

TEST_F(StationManagerTest, AFailingSaveIsReportedAndKeepsTheOldFile) {
    const QByteArray before = fileBytes();
    for (int i = 0; i < 300; ++i) {
        manage.addItem(QStringLiteral("Station %1").arg(i));
        urls.addItem(QStringLiteral("http://stream.invalid/%1").arg(i));
    }
    manage.setCurrentRow(0);
    {
        const testing_support::FileSizeLimit limit(4096);
        manager.CmdDown_Click();
    }
    ASSERT_FALSE(boxes.shown().empty());
    EXPECT_EQ(boxes.shown().back().style, 16);
    EXPECT_EQ(boxes.shown().back().caption, QStringLiteral("Velmo's Online Radio"));
    EXPECT_TRUE(boxes.shown().back().text.contains(QStringLiteral("Player.dll")));
    EXPECT_EQ(fileBytes(), before);
}

// A change the file refused must not stay in the lists: the next save would write it after all,
// and a second OK in the dialog would add the station twice.
TEST_F(StationManagerTest, AFailedAddLeavesNoTraceAndASecondOkAddsOnce) {
    const QByteArray before = fileBytes();
    FrmNew dialog(boxes, [this](const QString& n, const QString& u) { manager.AddStation(n, u); });
    dialog.show();
    dialog.TxtName->setText(QStringLiteral("Four"));
    dialog.TxtURL->setText(QStringLiteral("http://4/"));
    {
        const testing_support::FileSizeLimit limit(64);
        dialog.CmdOK_Click();
    }
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].style, 16);
    EXPECT_TRUE(boxes.shown()[0].text.contains(QStringLiteral("Player.dll")));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(main.count(), 3);
    EXPECT_EQ(manage.count(), 3);
    EXPECT_EQ(urls.count(), 3);
    EXPECT_FALSE(model.StationsChanged);
    EXPECT_EQ(fileBytes(), before);

    dialog.CmdOK_Click();
    EXPECT_EQ(boxes.shown().back().text, QStringLiteral("Successfully added the new station"));
    EXPECT_EQ(main.count(), 4);
    EXPECT_EQ(manage.count(), 4);
    EXPECT_EQ(urls.count(), 4);
    ASSERT_EQ(stored().size(), 4u);
    EXPECT_EQ(stored()[3].name, QStringLiteral("Four"));
}

TEST_F(StationManagerTest, AFailedDeleteOrMoveLeavesTheListsAsTheFileHasThem) {
    const QByteArray before = fileBytes();
    manage.setCurrentRow(1);
    boxes.answerNext(MsgAnswer::Yes);
    {
        const testing_support::FileSizeLimit limit(64);
        manager.CmdDelete_Click();
        manager.CmdDown_Click();
        manager.cmdUp_Click();
    }
    ASSERT_EQ(boxes.shown().size(), 4u) << "the question and three error reports";
    for (size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(boxes.shown()[i].style, 16);
    }
    EXPECT_EQ(fileBytes(), before);
    const std::vector<StationEntry> inFile = stored();
    ASSERT_EQ(manage.count(), 3);
    ASSERT_EQ(urls.count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(manage.item(i)->text(), inFile[i].name);
        EXPECT_EQ(urls.item(i)->text(), inFile[i].url);
    }
    EXPECT_EQ(manage.currentRow(), 1);
    EXPECT_EQ(total.text(), QStringLiteral("Station : 2 of 3"));
    EXPECT_FALSE(model.StationsChanged);
}

TEST_F(StationManagerTest, HoldingTheArrowsWalksToTheEndsAndUpClearsTheSelection) {
    QTimer timer;
    ListScroller scroller(&main, &timer);
    main.setCurrentRow(0);
    scroller.press(QStringLiteral("Down"));
    EXPECT_EQ(main.currentRow(), 0) << "the first step comes one interval after the press";
    QTest::qWait(650);
    scroller.release();
    EXPECT_EQ(main.currentRow(), 2);
    scroller.press(QStringLiteral("Up"));
    QTest::qWait(650);
    scroller.release();
    EXPECT_EQ(main.currentRow(), -1);
    EXPECT_FALSE(timer.isActive());
}

}  // namespace
