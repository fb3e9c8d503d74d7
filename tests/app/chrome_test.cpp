#include "app/chrome/hover_hook.h"
#include "app/chrome/window_drag.h"
#include "app/controls.h"
#include "app/frm_fm.h"
#include "skins/builtin_skin.h"
#include "skins/picture_box.h"
#include "tests/app/app_folder.h"

#include <QDeadlineTimer>
#include <QListWidget>
#include <QTest>

#include <functional>

#include <gtest/gtest.h>

namespace {

const QString kCredit = QStringLiteral("DEVELOPED BY :- VELMO TARSK");

// Runs the event loop until the condition holds or ten seconds pass; a loaded machine may be slow.
bool waitFor(const std::function<bool()>& condition) {
    QDeadlineTimer deadline(10000);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QTest::qWait(5);
    }
    return true;
}

QImage builtin(const char* file) {
    return skins::builtinPicture(QString::fromLatin1(file)).toImage();
}

class ChromeTest : public testing_support::AppFolderTest {
  protected:
    ChromeTest() {
        qputenv("ZORVITA_VENDOR_HOST", "127.0.0.1:8080");
        window = makeWindow();
        window->Form_Load();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        background();
    }
    ~ChromeTest() override { qunsetenv("ZORVITA_VENDOR_HOST"); }

    // The pointer over a control: the first movement hooks it, the next arms the hover, and the
    // pointer then rests.
    void restOn(QWidget* control) {
        const QPoint centre = control->rect().center();
        QTest::mouseMove(control, centre);
        QTest::mouseMove(control, centre + QPoint(1, 0));
        ASSERT_TRUE(waitFor([&] { return window->chrome().hover().hovering(); }))
            << qPrintable(control->objectName());
    }
    // The pointer on the window's bare surface, beside the news strip.
    void background() { QTest::mouseMove(window.get(), QPoint(8, 150)); }
    QString status() const { return window->LblMessage()->text(); }

    std::unique_ptr<app::FrmFM> window;
};

TEST_F(ChromeTest, RestingOnPlayShowsItsStatusAndRolloverAndLeavingPutsThemBack) {
    app::FrmFM& w = *window;
    EXPECT_EQ(status(), kCredit);
    restOn(w.PicPlay());
    EXPECT_EQ(status(), QStringLiteral("Click to Start Playing."));
    EXPECT_EQ(w.LblMessage()->toolTip(), QString());
    EXPECT_EQ(w.LblMessage()->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(w.PicPlay()->picture().toImage(), builtin("PlayR.jpg"));
    EXPECT_EQ(w.PicPlay()->toolTip(), QStringLiteral("Play"));

    background();
    ASSERT_TRUE(waitFor([&] { return status() == kCredit; }));
    EXPECT_EQ(w.LblMessage()->toolTip(), QStringLiteral("Click to visit my Personal Website"));
    EXPECT_EQ(w.LblMessage()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(w.PicPlay()->picture().toImage(), builtin("Play.jpg"));
    EXPECT_FALSE(w.chrome().hover().hovering());
}

TEST_F(ChromeTest, MovingStraightFromPlayToStopLightsOnlyStop) {
    app::FrmFM& w = *window;
    restOn(w.PicPlay());
    restOn(w.PicStop());
    EXPECT_EQ(status(), QStringLiteral("Click to Stop Playing."));
    EXPECT_EQ(w.PicPlay()->picture().toImage(), builtin("Play.jpg"));
    EXPECT_EQ(w.PicStop()->picture().toImage(), builtin("StopR.jpg"));
    // The hidden twins hold their own pictures again.
    EXPECT_EQ(w.PicPlayRoll()->picture().toImage(), builtin("PlayR.jpg"));
    EXPECT_EQ(w.chrome().hover().hooked(), w.PicStop());
}

TEST_F(ChromeTest, AfterAClickTheStatusAndRolloverStayUntilTheNextButtonIsRestedOn) {
    app::FrmFM& w = *window;
    restOn(w.PicSettings());
    QTest::mouseClick(w.PicSettings(), Qt::LeftButton, {}, w.PicSettings()->rect().center());
    EXPECT_TRUE(w.PicSettingsBox()->isVisible());
    EXPECT_EQ(w.chrome().hover().hooked(), nullptr);

    background();
    QTest::qWait(50);
    EXPECT_EQ(status(), QStringLiteral("Click to Change the Settings."));
    EXPECT_EQ(w.PicSettings()->picture().toImage(), builtin("SettingsR.jpg"));

    restOn(w.PicStop());
    EXPECT_EQ(status(), QStringLiteral("Click to Stop Playing."));
    EXPECT_EQ(w.PicSettings()->picture().toImage(), builtin("Settings.jpg"));
    EXPECT_EQ(w.PicStop()->picture().toImage(), builtin("StopR.jpg"));
}

TEST_F(ChromeTest, ScrollButtonsReadWithOneAmpersandAndTheirPressEndsTheRollover) {
    app::FrmFM& w = *window;
    restOn(w.PicUp());
    EXPECT_EQ(status(), QStringLiteral("Click & Hold to Scroll Up."));
    EXPECT_EQ(w.PicUp()->toolTip(), QStringLiteral("Scroll Up"));
    QTest::mousePress(w.PicUp(), Qt::LeftButton, {}, w.PicUp()->rect().center());
    EXPECT_EQ(w.chrome().hover().hooked(), nullptr);
    QTest::mouseRelease(w.PicUp(), Qt::LeftButton, {}, w.PicUp()->rect().center());

    restOn(w.PicDown());
    EXPECT_EQ(status(), QStringLiteral("Click & Hold to Scroll Down."));
    EXPECT_EQ(chrome::displayedCaption(QStringLiteral("Click && Hold to Scroll Up.")),
              QStringLiteral("Click & Hold to Scroll Up."));
}

TEST_F(ChromeTest, StatusLabelOpensTheSiteOnlyWhileItShowsTheCredit) {
    app::FrmFM& w = *window;
    QTest::mouseClick(w.LblMessage(), Qt::LeftButton);
    EXPECT_EQ(shell.opened, QStringList{QStringLiteral("http://127.0.0.1:8080/")});

    w.LblMessage()->setText(QStringLiteral("Recording... 00:00:05 (0.08 MB)"));
    QTest::mouseClick(w.LblMessage(), Qt::LeftButton);
    restOn(w.PicPlay());
    QTest::mouseClick(w.LblMessage(), Qt::LeftButton);
    EXPECT_EQ(shell.opened.size(), 1);
}

TEST_F(ChromeTest, AboutPanelShowsOverTheSettingsBoxAndItsLinksOpenTheirPages) {
    app::FrmFM& w = *window;
    restOn(w.PicAbout());
    QTest::mouseClick(w.PicAbout(), Qt::LeftButton, {}, w.PicAbout()->rect().center());
    ASSERT_TRUE(w.PicAboutMe()->isVisible());
    EXPECT_EQ(w.PicAboutMe()->geometry(), w.PicSettingsBox()->geometry());
    EXPECT_EQ(w.chrome().hover().hooked(), nullptr);
    EXPECT_FALSE(w.PicPhoto()->picture().isNull());

    for (QWidget* link :
         std::initializer_list<QWidget*>{w.ImgFAQ(), w.ImgURL(), w.ImgMail(), w.ImgMoreSkins()}) {
        QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
    }
    EXPECT_EQ(shell.opened, (QStringList{QStringLiteral("http://127.0.0.1:8080/FM/FAQ.htm"),
                                         QStringLiteral("http://127.0.0.1:8080/"),
                                         QStringLiteral("mailto:velmo@127.0.0.1"),
                                         QStringLiteral("http://127.0.0.1:8080/FM/Skins.htm")}));
    EXPECT_EQ(w.ImgFAQ()->toolTip(), QStringLiteral("Click to visit the Zorvita FAQ page"));
    EXPECT_EQ(w.ImgURL()->toolTip(), QStringLiteral("Click to visit my personal website"));
    EXPECT_EQ(w.ImgMail()->toolTip(), QStringLiteral("Click to send me an email"));
    EXPECT_EQ(w.ImgMoreSkins()->toolTip(),
              QStringLiteral("Click to download more skins for your Zorvita Player."));

    restOn(w.PicCloseW());
    EXPECT_EQ(status(), QStringLiteral("Close"));
    QTest::mouseClick(w.PicCloseW(), Qt::LeftButton, {}, w.PicCloseW()->rect().center());
    EXPECT_FALSE(w.PicAboutMe()->isVisible());
    // The close button keeps its hook: its leave puts the credit back.
    background();
    ASSERT_TRUE(waitFor([&] { return status() == kCredit; }));
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(ChromeTest, DownloadSkinsLinkOfTheSettingsPanelOpensTheSkinsPage) {
    app::FrmFM& w = *window;
    w.PicSettings_Click();
    QTest::mouseClick(w.LbldownloadSkins(), Qt::LeftButton);
    EXPECT_EQ(shell.opened, QStringList{QStringLiteral("http://127.0.0.1:8080/FM/Skins.htm")});
}

// A desktop that cannot open the link shows nothing at all.
class RefusingShell final : public platform::Shell {
  public:
    bool open(const QString&) override {
        ++asked;
        return false;
    }
    bool startProgram(const QString&, const QStringList&, QString*) override { return false; }
    int asked = 0;
};

TEST_F(ChromeTest, LinkThatCannotBeOpenedShowsNothing) {
    RefusingShell refusing;
    app::FrmFM w(boxes, settings(), registry(), refusing, media(), appFolder(), [] {});
    w.Form_Load();
    QTest::mouseClick(w.LblMessage(), Qt::LeftButton);
    EXPECT_EQ(refusing.asked, 1);
    EXPECT_TRUE(boxes.shown().empty());
}

// Without a window manager the window system refuses to move the window; the window then
// follows the pointer by hand, whichever button holds it.
TEST_F(ChromeTest, RightButtonDragOnTheSurfaceMovesTheWindow) {
    app::FrmFM& w = *window;
    w.move(100, 100);
    const QPoint start = w.pos();
    QTest::mousePress(&w, Qt::RightButton, {}, QPoint(8, 150));
    QTest::mouseMove(&w, QPoint(38, 170));
    QTest::mouseRelease(&w, Qt::RightButton, {}, QPoint(38, 170));
    EXPECT_EQ(w.pos(), start + QPoint(30, 20));
}

TEST(WindowDrag, PressAsksTheWindowSystemToMoveTheWindow) {
    testing_support::ScriptedMessageBoxes boxes;
    QWidget window;
    window.resize(200, 100);
    window.show();
    int asked = 0;
    chrome::WindowDrag drag(window, boxes, [&](QWindow* w) {
        ++asked;
        EXPECT_EQ(w, window.windowHandle());
        return true;
    });
    const QPoint start = window.pos();
    QTest::mousePress(&window, Qt::RightButton, {}, QPoint(10, 10));
    QTest::mouseMove(&window, QPoint(60, 60));
    QTest::mouseRelease(&window, Qt::RightButton, {}, QPoint(60, 60));
    EXPECT_EQ(asked, 1);
    // The window system moves it; nothing is moved by hand.
    EXPECT_EQ(window.pos(), start);
}

// The rollover swap through the one spare slot: the first swap has no box to put back, every
// later one restores the box changed before it.
TEST(SwapRollover, SpareSlotRestoresTheBoxChangedLast) {
    QWidget window;
    QLabel label;
    skins::PictureBox temp(&window, QStringLiteral("PicTemp"));
    skins::PictureBox play(&window, QStringLiteral("PicPlay"));
    skins::PictureBox playRoll(&window, QStringLiteral("PicPlayRoll"));
    QPixmap normal(4, 4);
    normal.fill(Qt::blue);
    QPixmap lit(4, 4);
    lit.fill(Qt::red);
    play.setPicture(normal);
    playRoll.setPicture(lit);
    chrome::HoverHook hook(&label, &temp, [] {});

    hook.SwapRollover(&play, &playRoll);
    EXPECT_EQ(play.picture().toImage(), lit.toImage());
    EXPECT_EQ(temp.picture().toImage(), normal.toImage());
    hook.SwapRollover(&playRoll, &play);
    EXPECT_EQ(play.picture().toImage(), normal.toImage());
    hook.SwapRollover(&play, &playRoll);
    EXPECT_EQ(playRoll.picture().toImage(), lit.toImage());
    EXPECT_EQ(play.picture().toImage(), lit.toImage());
}

}  // namespace
