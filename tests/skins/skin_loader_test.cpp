#include "skins/skin_loader.h"
#include "platform/ui/message_box.h"
#include "platform/ui/report_error.h"
#include "skins/builtin_skin.h"
#include "skins/window_shape.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/temp_env.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QListWidget>

#include <gtest/gtest.h>

namespace {

class SkinLoaderTest : public testing_support::TempFolderTest {
  protected:
    SkinLoaderTest() : app_(path(QStringLiteral("app"))) { QDir().mkpath(app_); }

    void addSkin(const QString& name, bool withSettings = true) {
        const QString folder = app_ + QStringLiteral("/Skins/") + name;
        QDir().mkpath(folder);
        if (withSettings) {
            QFile f(folder + QStringLiteral("/Settings.ini"));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
    }
    QString setting(const char* key) {
        return settings().GetSetting(QStringLiteral("Zorvita"), QStringLiteral("Skin"),
                                     QString::fromLatin1(key));
    }
    QStringList entries() const {
        QStringList names;
        for (int i = 0; i < list_.count(); ++i) {
            names << list_.item(i)->text();
        }
        return names;
    }

    skins::SkinLoader loader() {
        return skins::SkinLoader(settings(), boxes_, app_,
                                 skins::SkinWindow{&window_, &list_, {}, {}});
    }

    QString app_;
    QWidget window_;
    QListWidget list_;
    testing_support::ScriptedMessageBoxes boxes_;
};

TEST_F(SkinLoaderTest, WithoutASkinsFolderOnlyTheBuiltInSkinIsListedAndSelected) {
    skins::SkinLoader loader = this->loader();
    list_.addItem(QStringLiteral("left over"));
    loader.GetAvailableSkins();
    EXPECT_EQ(entries(), QStringList{QStringLiteral("Spider Man")});
    EXPECT_EQ(list_.currentRow(), 0);
    EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(SkinLoaderTest, ListsOneEntryPerSkinFolderAfterTheBuiltInSkin) {
    addSkin(QStringLiteral("Ocean"));
    addSkin(QStringLiteral("Night"), false);
    QFile stray(app_ + QStringLiteral("/Skins/readme.txt"));
    ASSERT_TRUE(stray.open(QIODevice::WriteOnly));
    skins::SkinLoader loader = this->loader();
    loader.GetAvailableSkins();
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("Spider Man"), QStringLiteral("Night"),
                                      QStringLiteral("Ocean")}));
}

TEST_F(SkinLoaderTest, BlankOrAnyCaseOfTheBuiltInNameSelectsTheBuiltInSkin) {
    addSkin(QStringLiteral("Ocean"));
    skins::SkinLoader loader = this->loader();
    loader.GetAvailableSkins();
    for (const QString& name : {QStringLiteral("spider man"), QStringLiteral(" Spider Man "),
                                QString(), QStringLiteral("   ")}) {
        list_.setCurrentRow(1);
        loader.LoadSkin(name);
        EXPECT_EQ(list_.currentRow(), 0) << qPrintable(name);
        EXPECT_EQ(loader.CurrentSkinName(), name);
    }
    EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(SkinLoaderTest, StoredSkinIsSelectedByNameIgnoringCaseAndBlanks) {
    addSkin(QStringLiteral("Ocean"));
    addSkin(QStringLiteral("Night"));
    settings().SaveSetting(QStringLiteral("Zorvita"), QStringLiteral("Skin"),
                           QStringLiteral("Current"), QStringLiteral("Ocean"));
    skins::SkinLoader loader = this->loader();
    loader.GetAvailableSkins();
    EXPECT_EQ(list_.currentItem()->text(), QStringLiteral("Ocean"));
    EXPECT_EQ(loader.CurrentSkinName(), QStringLiteral("Ocean"));
}

TEST_F(SkinLoaderTest, SkinWithoutItsSettingsFileFallsBackToTheBuiltInSkin) {
    addSkin(QStringLiteral("Broken"), false);
    settings().SaveSetting(QStringLiteral("Zorvita"), QStringLiteral("Skin"),
                           QStringLiteral("BackColor"), QStringLiteral("255"));
    skins::SkinLoader loader = this->loader();
    loader.LoadSkin(QStringLiteral("Broken"));
    ASSERT_EQ(boxes_.shown().size(), 1U);
    EXPECT_EQ(boxes_.shown()[0].text,
              QStringLiteral("Below mentioned Skin's folder was not found. Please make sure the "
                             "folder is present at the specified location.\r\n\r\n") +
                  app_ + QStringLiteral("/Skins/Broken"));
    EXPECT_EQ(boxes_.shown()[0].style, platform::MsgCritical);
    EXPECT_EQ(boxes_.shown()[0].caption, QStringLiteral("Velmo's Online Radio"));
    EXPECT_EQ(setting("Current"), QStringLiteral("Spider Man"));
    EXPECT_EQ(setting("BackColor"), QString());
    EXPECT_EQ(loader.CurrentSkinName(), QStringLiteral("Broken"));
}

// Skins' buttons are JPEG pictures; without Qt's JPEG reader every skin would keep the built-in
// buttons without a word.
TEST(SkinPictures, JpegAndBitmapReadersAreInstalled) {
    const QList<QByteArray> formats = QImageReader::supportedImageFormats();
    EXPECT_TRUE(formats.contains("jpeg"));
    EXPECT_TRUE(formats.contains("bmp"));
}

TEST(BuiltinSkin, HasEveryPictureOfTheSkinAndAKeyedBackground) {
    for (const char* file :
         {"Main.bmp",        "Welcome.jpg",  "Box.jpg",       "Play.jpg",     "PlayR.jpg",
          "Stop.jpg",        "StopR.jpg",    "Record.jpg",    "RecordR.jpg",  "RecordStop.jpg",
          "RecordStopR.jpg", "Settings.jpg", "SettingsR.jpg", "Advanced.jpg", "AdvancedR.jpg",
          "About.jpg",       "AboutR.jpg",   "Up.jpg",        "UpR.jpg",      "Down.jpg",
          "DownR.jpg",       "Exit.jpg",     "ExitR.jpg",     "Minimize.jpg", "MinimizeR.jpg",
          "Close.jpg",       "CloseR.jpg"}) {
        EXPECT_FALSE(skins::builtinPicture(QString::fromLatin1(file)).isNull()) << file;
    }
    // A button and its rollover share a size, so swapping them never moves anything.
    EXPECT_EQ(skins::builtinPicture(QStringLiteral("Play.jpg")).size(),
              skins::builtinPicture(QStringLiteral("PlayR.jpg")).size());
    EXPECT_NE(skins::builtinPicture(QStringLiteral("Play.jpg")).toImage(),
              skins::builtinPicture(QStringLiteral("PlayR.jpg")).toImage());

    const QImage background = skins::builtinPicture(QStringLiteral("Main.bmp")).toImage();
    const long key = skins::colourNumber(background.pixel(0, 0));
    const QRegion region = skins::regionFromPicture(background, key);
    // The outline is not a rectangle, yet covers most of the picture.
    EXPECT_FALSE(region.contains(QPoint(0, 0)));
    EXPECT_FALSE(region.contains(QPoint(background.width() - 2, 2)));
    EXPECT_TRUE(region.contains(QPoint(background.width() / 2, background.height() / 2)));
    // Rounded corners: every row of a corner is a band of its own.
    EXPECT_GT(region.rectCount(), 20);
}

}  // namespace
