#include "app/frm_fm.h"
#include "app/tray/mod_sys_tray.h"
#include "tests/app/app_folder.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

using app::ModSysTray;

// A notification area that keeps what it was asked; `log` is shared so that its entries keep
// their order against the test's own.
class FakeTray final : public app::TrayIcon {
  public:
    FakeTray(bool available, QStringList& log) : available_(available), log_(log) {}
    bool available() const override { return available_; }
    bool visible() const override { return visible_; }
    void add(const QIcon& icon, const QString& tip) override {
        visible_ = true;
        icon_ = icon;
        log_ << QStringLiteral("add ") + tip;
    }
    void modify(const QIcon& icon, const QString& tip) override {
        icon_ = icon;
        log_ << QStringLiteral("modify ") + tip;
    }
    void remove() override {
        visible_ = false;
        log_ << QStringLiteral("delete");
    }
    void doubleClick() { Q_EMIT DoubleClicked(); }
    QIcon icon_;

  private:
    bool available_;
    bool visible_ = false;
    QStringList& log_;
};

TEST(TrayTip, NamesTheStationOnlyWhilePlaying) {
    EXPECT_EQ(ModSysTray::TrayTip(false, QStringLiteral("Jazz 24")),
              QStringLiteral("Velmo's Online Radio"));
    EXPECT_EQ(ModSysTray::TrayTip(true, QStringLiteral("Jazz 24")),
              QStringLiteral("Velmo's Online Radio is Playing : Jazz 24"));
}

TEST(TrayTip, LongNamesAreCutToTheFieldNeverInsideACharacter) {
    EXPECT_EQ(
        ModSysTray::TrayTip(true, QStringLiteral("Classical Music Around The Clock From Vienna")),
        QStringLiteral("Velmo's Online Radio is Playing : Classical Music Around The Cl"));
    // The prefix is 34 bytes: 28 more reach byte 62, and "é" needs two.
    EXPECT_EQ(ModSysTray::TrayTip(true, QString(28, QLatin1Char('a')) + QStringLiteral("éb")),
              QStringLiteral("Velmo's Online Radio is Playing : ") + QString(28, QLatin1Char('a')));
    // A character outside the basic plane takes four bytes and two UTF-16 units.
    const QString note = QString::fromUtf8("\xF0\x9F\x8E\xB5");
    EXPECT_EQ(ModSysTray::TrayTip(true, QString(27, QLatin1Char('a')) + note),
              QStringLiteral("Velmo's Online Radio is Playing : ") + QString(27, QLatin1Char('a')));
    const QString fits = QString(25, QLatin1Char('a')) + note;
    EXPECT_EQ(ModSysTray::TrayTip(true, fits).toUtf8().size(), 63);
    EXPECT_TRUE(ModSysTray::TrayTip(true, fits).endsWith(note));
}

class TrayTest : public ::testing::Test {
  protected:
    ModSysTray& make(bool available) {
        auto icon = std::make_unique<FakeTray>(available, log);
        fake = icon.get();
        tray = std::make_unique<ModSysTray>(
            window, std::move(icon), boxes,
            ModSysTray::Sources{[this] { return playing; }, [this] { return station; },
                                [this] { log << QStringLiteral("end rollover"); }});
        return *tray;
    }
    QWidget window;
    testing_support::ScriptedMessageBoxes boxes;
    QStringList log;
    bool playing = false;
    QString station = QStringLiteral("Coastline FM");
    FakeTray* fake = nullptr;
    std::unique_ptr<ModSysTray> tray;
};

TEST_F(TrayTest, AddModifyDeleteReadTheStateAtEachCall) {
    ModSysTray& t = make(true);
    t.UpdateTrayIcon(1);
    t.UpdateTrayIcon(2);
    EXPECT_TRUE(log.isEmpty()) << "no icon yet: modify and delete change nothing";
    t.UpdateTrayIcon(0);
    playing = true;
    t.UpdateTrayIcon(1);
    playing = false;
    t.UpdateTrayIcon(1);
    t.UpdateTrayIcon(2);
    t.UpdateTrayIcon(2);
    EXPECT_EQ(log, QStringList({QStringLiteral("add Velmo's Online Radio"),
                                QStringLiteral("modify Velmo's Online Radio is Playing : "
                                               "Coastline FM"),
                                QStringLiteral("modify Velmo's Online Radio"),
                                QStringLiteral("delete")}));
}

TEST_F(TrayTest, MinimiseHidesTheWindowBehindAnIconAndDoubleClickBringsItBack) {
    ModSysTray& t = make(true);
    window.setWindowIcon(QIcon(QPixmap(16, 16)));
    window.show();
    t.PicMin_Click();
    // A plain widget has no resize handler of its own: run it as the main window does.
    t.Form_Resize();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(fake->visible());
    EXPECT_EQ(fake->icon_.cacheKey(), window.windowIcon().cacheKey());
    fake->doubleClick();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
    EXPECT_FALSE(fake->visible());
    EXPECT_EQ(log,
              QStringList({QStringLiteral("end rollover"),
                           QStringLiteral("add Velmo's Online Radio"), QStringLiteral("delete")}));
}

TEST_F(TrayTest, WithoutANotificationAreaTheWindowOnlyMinimises) {
    ModSysTray& t = make(false);
    window.show();
    t.PicMin_Click();
    t.Form_Resize();
    EXPECT_TRUE(window.isMinimized());
    EXPECT_TRUE(window.isVisible()) << "the window must stay reachable from the taskbar";
    EXPECT_FALSE(fake->visible());
    EXPECT_EQ(log, QStringList({QStringLiteral("end rollover")}));
}

TEST_F(TrayTest, DeletingTheTrayDeletesItsIcon) {
    make(true).UpdateTrayIcon(0);
    tray.reset();
    EXPECT_EQ(log.last(), QStringLiteral("delete"));
}

class MainWindowTray : public testing_support::AppFolderTest {};

TEST_F(MainWindowTray, MenuHoldsOpenStopSeparatorClose) {
    const auto window = makeWindow();
    const QList<QAction*> items = window->RCPopup()->actions();
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items[0]->text(), QStringLiteral("Open"));
    EXPECT_EQ(items[1]->text(), QStringLiteral("Stop"));
    EXPECT_TRUE(items[2]->isSeparator());
    EXPECT_EQ(items[3]->text(), QStringLiteral("Close"));
}

TEST_F(MainWindowTray, OffscreenHasNoNotificationAreaSoMinimiseKeepsTheWindow) {
    const auto window = makeWindow();
    window->show();
    window->tray().PicMin_Click();
    EXPECT_TRUE(window->isMinimized());
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->tray().icon().visible());
}

TEST_F(MainWindowTray, MinimiseOpenAndCloseFromTheMenu) {
    const auto window = makeWindow();
    QStringList log;
    auto icon = std::make_unique<FakeTray>(true, log);
    FakeTray* fake = icon.get();
    window->tray().replaceIcon(std::move(icon));
    window->show();

    window->tray().PicMin_Click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(fake->visible());
    window->mnuShow()->trigger();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(fake->visible());

    window->tray().PicMin_Click();
    ASSERT_TRUE(fake->visible());
    window->mnuClose()->trigger();
    EXPECT_FALSE(fake->visible());
    EXPECT_EQ(endCalls, 1);
    EXPECT_EQ(log,
              QStringList({QStringLiteral("add Velmo's Online Radio"), QStringLiteral("delete"),
                           QStringLiteral("add Velmo's Online Radio"), QStringLiteral("delete")}));
}

}  // namespace
