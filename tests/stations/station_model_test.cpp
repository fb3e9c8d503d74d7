#include "common/ModRegistry.h"
#include "stations/StationFile.h"
#include "stations/StationModel.h"
#include "tests/support/scripted_message_boxes.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class StationModelTest : public ::testing::Test {
  protected:
    StationModelTest()
        : model({&main, &manage, &urls, &total, &link}, boxes, dir.path(), [this] { ++clicks; }) {
        total.setText(QStringLiteral("Total : 0"));
    }

    void writeFile(const QByteArray& bytes) {
        QFile f(dir.filePath(QStringLiteral("Player.dll")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QTemporaryDir dir;
    QListWidget main;
    QListWidget manage;
    QListWidget urls;
    QLabel total;
    QLabel link;
    testing_support::ScriptedMessageBoxes boxes;
    int clicks = 0;
    StationModel model;
};

TEST_F(StationModelTest, LoadsTheFileIntoEveryListAndSelectsTheFirst) {
    WriteStationFile(
        dir.filePath(QStringLiteral("Player.dll")),
        {QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")},
        {QStringLiteral("http://1/"), QStringLiteral("http://2/"), QStringLiteral("http://3/")});
    model.LoadStations();
    model.PrepareStationLists();
    EXPECT_TRUE(boxes.shown().empty());
    ASSERT_EQ(main.count(), 3);
    EXPECT_EQ(manage.count(), 3);
    EXPECT_EQ(urls.item(2)->text(), QStringLiteral("http://3/"));
    EXPECT_EQ(model.StationUrls(),
              (QStringList{QStringLiteral("http://1/"), QStringLiteral("http://2/"),
                           QStringLiteral("http://3/"), QString()}));
    EXPECT_EQ(main.currentRow(), 0);
    EXPECT_GE(clicks, 1);
    EXPECT_EQ(total.text(), QStringLiteral("Station : 1 of 3"));
    manage.setCurrentRow(2);
    EXPECT_EQ(total.text(), QStringLiteral("Station : 3 of 3"));
    EXPECT_FALSE(model.StationsChanged);
}

TEST_F(StationModelTest, MissingOrBlankFileGivesTheDefaultsWithTheirNotice) {
    for (const bool present : {false, true}) {
        main.clear();
        boxes.clear();
        link.show();
        if (present) {
            writeFile("\r\n\r\n   \r\n");
        }
        model.LoadStations();
        model.PrepareStationLists();
        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_EQ(boxes.shown()[0].text,
                  QStringLiteral("Player.dll file not found or is Corrupted.\r\n"
                                 "Default Radio Stations will be loaded."));
        EXPECT_EQ(boxes.shown()[0].style, 64);
        EXPECT_EQ(boxes.shown()[0].caption, QStringLiteral("Velmo's Online Radio"));
        EXPECT_EQ(main.count(), 31);
        EXPECT_EQ(model.StationUrls().size(), 35);
        EXPECT_EQ(model.urlAt(30), DefaultStations()[30].url);
        EXPECT_TRUE(model.urlAt(31).isEmpty());
        EXPECT_EQ(manage.count(), 0);
        EXPECT_TRUE(link.isHidden());
        EXPECT_EQ(total.text(), QStringLiteral("Total : 0"));
        // The defaults are not written to the file.
        EXPECT_EQ(QFileInfo::exists(dir.filePath(QStringLiteral("Player.dll"))), present);
    }
}

TEST_F(StationModelTest, SavingAnEmptyManagementListWritesAnEmptyFileAndMarksTheChange) {
    model.SaveStations();
    EXPECT_TRUE(model.StationsChanged);
    EXPECT_EQ(QFileInfo(dir.filePath(QStringLiteral("Player.dll"))).size(), 0);
}

TEST_F(StationModelTest, SaveWritesTheManagementListsInOrder) {
    manage.addItems({QStringLiteral("B"), QStringLiteral("A")});
    urls.addItems({QStringLiteral("http://b/"), QStringLiteral("http://a/")});
    model.SaveStations();
    model.LoadStations();
    ASSERT_EQ(main.count(), 2);
    EXPECT_EQ(main.item(0)->text(), QStringLiteral("B"));
    EXPECT_EQ(model.urlAt(1), QStringLiteral("http://a/"));
}

TEST_F(StationModelTest, HugeAndHostileFilesLoadWithoutHanging) {
    QByteArray file;
    const QByteArray line = EncodeStationLine(QStringLiteral("S ==> http://s/")).toLatin1();
    for (int i = 0; i < 100000; ++i) {
        file += line + "\r\n";
    }
    file += QByteArray(3 * 1024 * 1024, '7');  // one line of megabytes, no line end
    writeFile(file);
    model.LoadStations();
    EXPECT_EQ(main.count(), 100000);
}

}  // namespace
