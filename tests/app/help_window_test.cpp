#include "app/controls.h"
#include "app/frm_fm.h"
#include "app/help/frm_message.h"
#include "app/help/help_layout.h"
#include "app/main_entry.h"
#include "platform/shell/shell.h"
#include "tests/app/app_folder.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QUuid>

#include <gtest/gtest.h>

namespace {

// A shell on which only the listed programs start.
class PickyShell final : public platform::Shell {
  public:
    bool open(const QString& target) override {
        opened << target;
        return true;
    }
    bool startProgram(const QString& program, const QStringList& arguments,
                      QString* error) override {
        tried << QString(program + QLatin1Char(' ') + arguments.join(QLatin1Char(' '))).trimmed();
        if (installed.contains(program)) {
            return true;
        }
        *error = QStringLiteral("No such file or directory");
        return false;
    }
    QStringList installed;
    QStringList tried;
    QStringList opened;
};

class HelpWindowTest : public testing_support::AppFolderTest {
  protected:
    std::unique_ptr<app::FrmMessage> makeHelp() {
        return std::make_unique<app::FrmMessage>(boxes, settings(), picky);
    }
    QString shown() { return setting(QStringLiteral("Message"), QStringLiteral("Show")); }
    static void press(QWidget& w, int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &event);
    }
    PickyShell picky;
};

TEST_F(HelpWindowTest, EscWithTheBoxTickedTurnsTheWindowOffForTheNextStart) {
    auto help = makeHelp();
    help->show();
    EXPECT_FALSE(help->ChkShow()->isChecked());
    help->ChkShow()->setChecked(true);
    press(*help, Qt::Key_A);
    EXPECT_TRUE(help->isVisible()) << "other keys are ignored";
    press(*help, Qt::Key_Escape);
    EXPECT_FALSE(help->isVisible());
    EXPECT_EQ(shown(), QStringLiteral("1"));

    platform::SingleInstance instance(QStringLiteral("ZorvitaHelpTest-") +
                                      QUuid::createUuid().toString(QUuid::Id128));
    int helpCalls = 0;
    app::MainServices s{boxes,
                        settings(),
                        registry(),
                        shell,
                        instance,
                        appFolder(),
                        [this] { ++endCalls; },
                        [&] { ++helpCalls; },
                        {},
                        media()};
    EXPECT_FALSE(app::Main(s).helpWindowShown);
    EXPECT_EQ(helpCalls, 0);
}

TEST_F(HelpWindowTest, EveryCloseWritesTheBoxUntickedAsZero) {
    setSetting(QStringLiteral("Message"), QStringLiteral("Show"), QStringLiteral("1"));
    auto help = makeHelp();
    help->show();
    help->PicClose_Click();
    EXPECT_EQ(shown(), QStringLiteral("0"));
    help->show();
    help->ChkShow()->setChecked(true);
    help->close();
    EXPECT_EQ(shown(), QStringLiteral("1"));
}

TEST_F(HelpWindowTest, EndingFromTheMainWindowSavesNothingForIt) {
    const auto window = makeWindow();
    auto help = makeHelp();
    window->show();
    help->show();
    help->ChkShow()->setChecked(true);
    window->PicClose_Click();
    EXPECT_EQ(endCalls, 1);
    // The program ends here; the help window is never asked to close.
    help.reset();
    EXPECT_EQ(shown(), QString());
}

TEST_F(HelpWindowTest, PictureButtonsAndTips) {
    auto help = makeHelp();
    EXPECT_TRUE(help->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(help->PicMessage()->pixmap().size(), app::help::kPictureSize);
    EXPECT_FALSE(help->ImgOpen()->pixmap().isNull());
    EXPECT_EQ(help->ImgOpen()->toolTip(),
              QStringLiteral("Click to open the Recording Control Window"));
    EXPECT_EQ(help->ImgEmail()->toolTip(), QStringLiteral("Click to send an email to me."));
    EXPECT_EQ(help->PicClose()->toolTip(), QStringLiteral("Close"));
    // Only the box shows; its caption is the picture's own text beside it.
    EXPECT_TRUE(help->ChkShow()->text().isEmpty());
    const QRect box = help->ChkShow()->geometry();
    const QRect caption = app::help::kDoNotShowText;
    EXPECT_LT(box.right(), caption.left());
    EXPECT_GE(box.center().y(), caption.top());
    EXPECT_LE(box.center().y(), caption.bottom());
}

TEST_F(HelpWindowTest, HelpTextNamesBothRecordingSourcesAndTheVolumeControl) {
    const QString text = app::help::helpParagraphs().join(QLatin1Char(' '));
    EXPECT_TRUE(
        text.contains(QStringLiteral("set by the box \"Record only this player's sound\" in the "
                                     "settings panel: Ticked (the default): only this player's "
                                     "own sound, "
                                     "taken before the system volume.")));
    EXPECT_TRUE(
        text.contains(QStringLiteral("Unticked: whatever the sound card plays, taken from "
                                     "the monitor of the default output.")));
    EXPECT_TRUE(text.contains(QStringLiteral("(pavucontrol), go to its Recording tab")));
}

TEST_F(HelpWindowTest, OpenTriesTheVolumeControlsInOrder) {
    auto help = makeHelp();
    picky.installed = {QStringLiteral("pavucontrol")};
    help->ImgOpen_Click();
    EXPECT_EQ(picky.tried, QStringList({QStringLiteral("pavucontrol --tab=2")}));

    picky.tried.clear();
    picky.installed = {QStringLiteral("pavucontrol-qt")};
    help->ImgOpen_Click();
    EXPECT_EQ(picky.tried, QStringList({QStringLiteral("pavucontrol --tab=2"),
                                        QStringLiteral("pavucontrol-qt")}));
    EXPECT_TRUE(boxes.shown().empty());

    picky.installed.clear();
    help->ImgOpen_Click();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text,
              QStringLiteral("No volume control was found on this computer (neither pavucontrol "
                             "nor pavucontrol-qt is installed). Install one of them, or choose "
                             "the recording source in your desktop's sound settings."));
}

TEST_F(HelpWindowTest, EmailOpensTheAuthorsAddress) {
    auto help = makeHelp();
    help->ImgEmail_Click();
    ASSERT_EQ(picky.opened.size(), 1);
    EXPECT_TRUE(picky.opened[0].startsWith(QStringLiteral("mailto:velmo@")))
        << qPrintable(picky.opened[0]);
}

}  // namespace
