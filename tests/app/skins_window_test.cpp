#include "app/controls.h"
#include "app/frm_fm.h"
#include "platform/player/mpv_player.h"
#include "platform/ui/message_box.h"
#include "platform/ui/report_error.h"
#include "skins/builtin_skin.h"
#include "skins/picture_box.h"
#include "skins/window_shape.h"
#include "tests/app/app_folder.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QRadioButton>
#include <QSet>
#include <QtEndian>

#include <cmath>

#include <gtest/gtest.h>

namespace {

// Twips to pixels as the window places its controls: 15 twips a pixel, rounded.
int px(double twips) {
    return static_cast<int>(std::lround(twips / 15.0));
}

QImage filled(QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// A 500 x 350 background on a dark green key with a body from (10, 10) to (489, 339).
QImage testBackground() {
    QImage image = filled(QSize(500, 350), QColor(0, 128, 0));
    for (int y = 10; y < 340; ++y) {
        for (int x = 10; x < 490; ++x) {
            image.setPixelColor(x, y, QColor(90, 60, 30));
        }
    }
    return image;
}

const QByteArray kTestPositions = "300, 450, 3000, 150, 600, 750, 4500, 4650, 150, 6000";

class SkinWindowTest : public testing_support::AppFolderTest {
  protected:
    QString skinFolder(const QString& name) const {
        return appFolder() + QStringLiteral("/Skins/") + name;
    }
    void makeSkin(const QString& name, const QByteArray& settings) {
        QDir().mkpath(skinFolder(name));
        QFile f(skinFolder(name) + QStringLiteral("/Settings.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(settings);
    }
    void addPicture(const QString& skin, const QString& file, const QImage& image) {
        const char* format = file.endsWith(QLatin1String(".bmp")) ? "BMP" : "JPG";
        ASSERT_TRUE(image.save(skinFolder(skin) + QLatin1Char('/') + file, format, 95));
    }
    void addBytes(const QString& skin, const QString& file, const QByteArray& bytes) {
        QFile f(skinFolder(skin) + QLatin1Char('/') + file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // The test skin: colours, the test layout, a background, and Play with its rollover.
    void makeTestSkin(const QString& name, const QByteArray& positions = kTestPositions) {
        makeSkin(name, "10,20,30\r\n200,210,220\r\n1,2,3\r\n" + positions + "\r\n");
        addPicture(name, QStringLiteral("Main.bmp"), testBackground());
        addPicture(name, QStringLiteral("Play.jpg"), filled(QSize(50, 30), Qt::red));
        addPicture(name, QStringLiteral("PlayR.jpg"), filled(QSize(50, 30), Qt::green));
    }
    std::unique_ptr<app::FrmFM> loadWith(const QString& skin) {
        setSetting(QStringLiteral("Skin"), QStringLiteral("Current"), skin);
        auto w = makeWindow();
        w->Form_Load();
        return w;
    }
    // Chooses a skin in the settings panel and presses OK, as the user does.
    static void choose(app::FrmFM& w, const QString& skin) {
        w.PicSettings_Click();
        const QList<QListWidgetItem*> found = w.LstSkins()->findItems(skin, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << qPrintable(skin);
        w.LstSkins()->setCurrentItem(found.front());
        w.PicOK_Click();
    }
    void expectBuiltInLook(app::FrmFM& w) {
        EXPECT_EQ(w.size(), skins::builtinPicture(QStringLiteral("Main.bmp")).size());
        EXPECT_EQ(w.PicPlay()->pos(), QPoint(23, 267));
        EXPECT_EQ(w.PicPlay()->picture().toImage(),
                  skins::builtinPicture(QStringLiteral("Play.jpg")).toImage());
        EXPECT_EQ(w.LstStations()->palette().color(QPalette::Base), skins::kBuiltinBackColor);
        EXPECT_EQ(w.LblMessage()->palette().color(QPalette::WindowText), skins::kBuiltinForeColor);
        EXPECT_FALSE(w.mask().contains(QPoint(0, 0)));
    }
};

TEST_F(SkinWindowTest, SkinGivesItsColoursPicturesLayoutAndOutline) {
    makeTestSkin(QStringLiteral("Test"));
    auto w = loadWith(QStringLiteral("Test"));
    ASSERT_TRUE(boxes.shown().empty()) << qPrintable(boxes.shown()[0].text);

    EXPECT_EQ(setting(QStringLiteral("Skin"), QStringLiteral("BackColor")),
              QStringLiteral("1971210"));
    EXPECT_EQ(setting(QStringLiteral("Skin"), QStringLiteral("ForeColor")),
              QStringLiteral("14471880"));
    EXPECT_EQ(setting(QStringLiteral("Skin"), QStringLiteral("ComboBackColor")),
              QStringLiteral("197121"));
    EXPECT_EQ(w->LstSkins()->currentItem()->text(), QStringLiteral("Test"));

    const QColor back(10, 20, 30);
    const QColor fore(200, 210, 220);
    for (QWidget* target : w->backColorTargets()) {
        EXPECT_EQ(target->palette().color(QPalette::Window), back)
            << qPrintable(target->objectName());
    }
    for (QWidget* target : w->foreColorTargets()) {
        EXPECT_EQ(target->palette().color(QPalette::WindowText), fore)
            << qPrintable(target->objectName());
    }
    EXPECT_EQ(w->LstStations()->palette().color(QPalette::Base), back);
    EXPECT_EQ(w->LstStations()->palette().color(QPalette::Text), fore);
    EXPECT_EQ(w->LstStations()->palette().color(QPalette::Highlight), fore);
    EXPECT_EQ(w->LstSkins()->palette().color(QPalette::HighlightedText), back);
    EXPECT_EQ(w->OptSampleRate(3)->palette().color(QPalette::Window), back);
    EXPECT_EQ(w->LblFaq()->palette().color(QPalette::WindowText), fore);

    // Pictures the skin has replace the built-in ones; the others stay.
    EXPECT_EQ(w->PicPlay()->size(), QSize(50, 30));
    EXPECT_EQ(w->PicPlayRoll()->picture().toImage().pixelColor(25, 15).green(), 255);
    EXPECT_EQ(w->PicStop()->picture().toImage(),
              skins::builtinPicture(QStringLiteral("Stop.jpg")).toImage());

    // The anchors, then what hangs on them (the gaps of the design are in twips).
    EXPECT_EQ(w->PicSettingsBox()->pos(), QPoint(20, 30));
    EXPECT_EQ(w->PicAboutMe()->pos(), QPoint(20, 30));
    EXPECT_EQ(w->PicPlay()->pos(), QPoint(10, 200));
    EXPECT_EQ(w->PicMess()->pos(), QPoint(40, 50));
    EXPECT_EQ(w->PicHolder()->pos(), QPoint(40, 50));
    EXPECT_EQ(w->PicLists()->x(), 300);
    EXPECT_EQ(w->PicMin()->pos(), QPoint(400, 10));
    double left = 150 + 50 * 15 + 35;
    EXPECT_EQ(w->PicStop()->pos(), QPoint(px(left), 200));
    left += w->PicStop()->width() * 15 + 35;
    EXPECT_EQ(w->PicRecord()->pos(), QPoint(px(left), 200));
    EXPECT_EQ(w->PicRecordStop()->pos(), w->PicRecord()->pos());
    EXPECT_EQ(w->PicNews()->pos(), QPoint(10, px(3000 - w->PicNews()->height() * 15 - 160)));
    const double upTop = 750 + 50;
    EXPECT_EQ(w->PicUp()->pos(), QPoint(310, px(upTop)));
    const double listsTop = upTop + w->PicUp()->height() * 15 + 50;
    EXPECT_EQ(w->PicLists()->y(), px(listsTop));
    const double downTop = listsTop + w->PicLists()->height() * 15 + 50;
    EXPECT_EQ(w->PicDown()->pos(), QPoint(310, px(downTop)));
    EXPECT_EQ(w->PicCount()->pos(), QPoint(px(4650 + 450), px(downTop)));
    EXPECT_EQ(w->PicClose()->pos(), QPoint(px(6000 + w->PicMin()->width() * 15 + 50), 10));

    // The media player sits in its holder wherever the skin puts it.
    EXPECT_EQ(w->WM()->mapTo(w.get(), QPoint(0, 0)), w->PicHolder()->pos());
    EXPECT_EQ(w->WM()->width(), w->PicHolder()->width());

    // The outline comes from the skin's background, key colour from its top-left pixel.
    EXPECT_EQ(w->size(), QSize(500, 350));
    EXPECT_FALSE(w->mask().contains(QPoint(5, 5)));
    EXPECT_FALSE(w->mask().contains(QPoint(11, 100)));
    EXPECT_TRUE(w->mask().contains(QPoint(12, 100)));
    EXPECT_EQ(w->mask(), skins::regionFromPicture(testBackground(), 128L * 256));
}

TEST_F(SkinWindowTest, NineValuesOnTheLayoutLineMoveNothing) {
    makeTestSkin(QStringLiteral("Nine"), "300, 450, 3000, 150, 600, 750, 4500, 4650, 150");
    auto w = loadWith(QStringLiteral("Nine"));
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(w->PicPlay()->pos(), QPoint(23, 267));
    EXPECT_EQ(w->PicSettingsBox()->pos(), QPoint(20, 48));
    EXPECT_EQ(w->PicPlay()->size(), QSize(50, 30));
}

TEST_F(SkinWindowTest, LayoutValueThatIsNotANumberStopsThePlacingThere) {
    makeTestSkin(QStringLiteral("Half"), "300, 450, 3000, 150, left, 750, 4500, 4650, 150, 6000");
    auto w = loadWith(QStringLiteral("Half"));
    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("Type mismatch"));
    EXPECT_EQ(boxes.shown()[0].style, platform::MsgCritical);
    EXPECT_EQ(boxes.shown()[0].caption, QStringLiteral("Velmo's Online Radio"));
    EXPECT_EQ(w->PicSettingsBox()->pos(), QPoint(20, 30));
    EXPECT_EQ(w->PicPlay()->pos(), QPoint(10, 200));
    EXPECT_EQ(w->PicMess()->pos(), QPoint(20, 56));
    EXPECT_EQ(w->PicMin()->pos(), QPoint(392, 20));
}

TEST_F(SkinWindowTest, BadColourLineAppliesAndStoresNothing) {
    makeTestSkin(QStringLiteral("Bad"));
    makeSkin(QStringLiteral("Bad"), "10,20,30\r\n200,-1,220\r\n");
    setSetting(QStringLiteral("Skin"), QStringLiteral("BackColor"), QStringLiteral("77"));
    auto w = loadWith(QStringLiteral("Bad"));
    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("Invalid procedure call or argument"));
    EXPECT_EQ(setting(QStringLiteral("Skin"), QStringLiteral("BackColor")), QStringLiteral("77"));
    EXPECT_EQ(setting(QStringLiteral("Skin"), QStringLiteral("Current")), QStringLiteral("Bad"));
    expectBuiltInLook(*w);
}

TEST_F(SkinWindowTest, EmptySettingsPaintsBlackStoresEmptyColoursAndStillLoadsPictures) {
    makeSkin(QStringLiteral("Plain"), QByteArray());
    addPicture(QStringLiteral("Plain"), QStringLiteral("Play.jpg"),
               filled(QSize(40, 20), Qt::blue));
    setSetting(QStringLiteral("Skin"), QStringLiteral("BackColor"), QStringLiteral("77"));
    auto w = loadWith(QStringLiteral("Plain"));
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(setting(QStringLiteral("Skin"), QStringLiteral("BackColor")), QString());
    EXPECT_EQ(setting(QStringLiteral("Skin"), QStringLiteral("ForeColor")), QString());
    EXPECT_EQ(w->LstStations()->palette().color(QPalette::Base), QColor(Qt::black));
    EXPECT_EQ(w->LblMessage()->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_EQ(w->PicPlay()->size(), QSize(40, 20));
    EXPECT_EQ(w->PicPlay()->pos(), QPoint(23, 267));
}

// A broken picture anywhere in the skin must leave the whole window as it was: no colours, no
// pictures, no settings from that skin.
TEST_F(SkinWindowTest, UnreadableOrHugePicturesLeaveTheWindowAsItWas) {
    QByteArray bmp;
    {
        QImage small = filled(QSize(8, 8), Qt::red);
        QFile tmp(path(QStringLiteral("small.bmp")));
        ASSERT_TRUE(small.save(tmp.fileName(), "BMP"));
        ASSERT_TRUE(tmp.open(QIODevice::ReadOnly));
        bmp = tmp.readAll();
    }
    const auto sized = [&bmp](qint32 width, qint32 height) {
        QByteArray header = bmp;
        qToLittleEndian<qint32>(width, header.data() + 18);
        qToLittleEndian<qint32>(height, header.data() + 22);
        return header;
    };

    struct Case {
        const char* file;
        QByteArray bytes;
        const char* start;
    };
    const Case cases[] = {
        {"Main.bmp", sized(5000, 10),
         "The skin's picture is larger than 4096 x 4096 pixels:\r\n\r\n"},
        // Qt's own bitmap reader refuses a header this large before we see its size.
        {"Main.bmp", sized(20000, 20000), "The skin's picture could not be read:\r\n\r\n"},
        {"Play.jpg", QByteArray(), "The skin's picture could not be read:\r\n\r\n"},
        {"Exit.jpg", QByteArray("\xFF\xD8\xFF\xE0 not really a picture"),
         "The skin's picture could not be read:\r\n\r\n"},
        {"Main.bmp", bmp.left(20), "The skin's picture could not be read:\r\n\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        boxes.clear();
        QDir(skinFolder(QStringLiteral("Broken"))).removeRecursively();
        makeTestSkin(QStringLiteral("Broken"));
        const QString file = QString::fromLatin1(c.file);
        addBytes(QStringLiteral("Broken"), file, c.bytes);
        setSetting(QStringLiteral("Skin"), QStringLiteral("BackColor"), QStringLiteral("77"));
        auto w = loadWith(QStringLiteral("Broken"));
        ASSERT_EQ(boxes.shown().size(), 1U);
        const QString expected = QString::fromLatin1(c.start) +
                                 skinFolder(QStringLiteral("Broken")) + QLatin1Char('/') + file;
        EXPECT_EQ(boxes.shown()[0].text, expected) << qPrintable(boxes.shown()[0].text);
        EXPECT_EQ(setting(QStringLiteral("Skin"), QStringLiteral("BackColor")),
                  QStringLiteral("77"));
        expectBuiltInLook(*w);
    }
}

TEST_F(SkinWindowTest, JunkSettingsFileIsReportedAndChangesNothing) {
    makeTestSkin(QStringLiteral("Junk"));
    QByteArray junk("\x00\x01\xFE\xFF,,,\r\r\r", 10);
    junk += QByteArray(20000, 'x');
    makeSkin(QStringLiteral("Junk"), junk);
    auto w = loadWith(QStringLiteral("Junk"));
    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("Subscript out of range"));
    expectBuiltInLook(*w);
}

TEST_F(SkinWindowTest, ChangingTheSkinReloadsTheWindowAndSpiderManComesBackWithoutARestart) {
    makeTestSkin(QStringLiteral("Test"));
    auto w = makeWindow();
    w->Form_Load();
    expectBuiltInLook(*w);
    const int loads = w->loadCount();

    choose(*w, QStringLiteral("Test"));
    EXPECT_EQ(w->loadCount(), loads + 1);
    EXPECT_EQ(w->CurrentSkinName(), QStringLiteral("Test"));
    EXPECT_EQ(w->size(), QSize(500, 350));
    EXPECT_EQ(w->PicPlay()->pos(), QPoint(10, 200));
    EXPECT_EQ(w->WM()->mapTo(w.get(), QPoint(0, 0)), QPoint(40, 50));
    EXPECT_TRUE(w->isVisible());

    choose(*w, QStringLiteral("Spider Man"));
    EXPECT_EQ(w->loadCount(), loads + 2);
    expectBuiltInLook(*w);
    EXPECT_EQ(w->WM()->mapTo(w.get(), QPoint(0, 0)), w->PicHolder()->pos());
    // The skin's colours stay in the settings; the built-in skin does not use them.
    EXPECT_EQ(setting(QStringLiteral("Skin"), QStringLiteral("BackColor")),
              QStringLiteral("1971210"));
    EXPECT_EQ(setting(QStringLiteral("Skin"), QStringLiteral("Current")),
              QStringLiteral("Spider Man"));
    EXPECT_TRUE(boxes.shown().empty());
}

// The skins that ship: each dresses the whole window without a complaint, in colours and a
// layout of its own, with an outline cut from a key colour that is not black.
TEST_F(SkinWindowTest, EverySampleSkinDressesTheWholeWindow) {
    const QDir shipped(QStringLiteral(ZORVITA_APP_DIR "/Skins"));
    const QStringList names = shipped.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_GE(names.size(), 2);
    QSet<QString> backColours;
    QSet<QString> playPlaces;
    auto w = makeWindow();
    w->Form_Load();
    for (const QString& name : names) {
        SCOPED_TRACE(qPrintable(name));
        QDir().mkpath(skinFolder(name));
        for (const QString& file : QDir(shipped.filePath(name)).entryList(QDir::Files)) {
            ASSERT_TRUE(QFile::copy(shipped.filePath(name) + QLatin1Char('/') + file,
                                    skinFolder(name) + QLatin1Char('/') + file));
        }
        w->LstSkins()->addItem(name);
        choose(*w, name);
        ASSERT_TRUE(boxes.shown().empty()) << qPrintable(boxes.shown()[0].text);

        const QImage background(skinFolder(name) + QStringLiteral("/Main.bmp"));
        EXPECT_EQ(w->size(), background.size());
        EXPECT_NE(background.pixelColor(0, 0), QColor(Qt::black));
        backColours << setting(QStringLiteral("Skin"), QStringLiteral("BackColor"));
        playPlaces << QStringLiteral("%1,%2").arg(w->PicPlay()->x()).arg(w->PicPlay()->y());
        for (const char* file : {"Play.jpg", "PlayR.jpg", "Stop.jpg", "Exit.jpg", "Close.jpg",
                                 "CloseR.jpg", "Welcome.jpg", "Box.jpg", "UpR.jpg", "DownR.jpg"}) {
            EXPECT_TRUE(
                QFile::exists(skinFolder(name) + QLatin1Char('/') + QString::fromLatin1(file)))
                << file;
        }
        EXPECT_EQ(w->PicPlayRoll()->picture().size(), w->PicPlay()->picture().size());
        // Every button and the player lie inside the outline.
        for (QWidget* control : std::initializer_list<QWidget*>{
                 w->PicPlay(), w->PicStop(), w->PicRecord(), w->PicSettings(), w->PicAdvanceRec(),
                 w->PicAbout(), w->PicMin(), w->PicClose(), w->PicUp(), w->PicDown(), w->PicMess(),
                 w->PicLists(), w->PicNews(), w->PicCount()}) {
            const QRect r = control->geometry();
            for (const QPoint corner :
                 {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()}) {
                EXPECT_TRUE(w->mask().contains(corner)) << qPrintable(control->objectName());
            }
        }
    }
    EXPECT_EQ(backColours.size(), names.size());
    EXPECT_EQ(playPlaces.size(), names.size());
    choose(*w, QStringLiteral("Spider Man"));
    expectBuiltInLook(*w);
}

}  // namespace
