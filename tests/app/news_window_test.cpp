// Headlines in the real main window (offscreen), fetched from the local vendor site.
#include "app/controls.h"
#include "app/frm_fm.h"
#include "app/window_adapters.h"
#include "net/CSocket.h"
#include "news/HeadlineTicker.h"
#include "news/NewsClient.h"
#include "skins/picture_box.h"
#include "tests/app/app_folder.h"
#include "tools/vendor-site/vendor_site.h"

#include <QCheckBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using testing_support::AppFolderTest;

const QString kCredit = QStringLiteral("DEVELOPED BY :- VELMO TARSK");
const QString kFirstHeadline = QStringLiteral(
    "News Headline : Harbour town of Velmora opens its first floating library for monsoon "
    "readers. ");

class NewsWindowTest : public AppFolderTest {
  protected:
    NewsWindowTest() {
        EXPECT_TRUE(site.listen());
        qputenv("ZORVITA_VENDOR_HOST", "127.0.0.1:" + QByteArray::number(site.port()));
    }
    ~NewsWindowTest() override { qunsetenv("ZORVITA_VENDOR_HOST"); }

    bool showsFirstHeadline(app::FrmFM& w) {
        return QTest::qWaitFor([&] { return w.LblNews()->text() == kFirstHeadline; }, 20000);
    }

    vendor_site::VendorSite site{QStringLiteral(ZORVITA_SOURCE_DIR "/tools/vendor-site/www")};
};

TEST_F(NewsWindowTest, WithHeadlinesOnTheFirstHeadlineSlidesThroughTheStrip) {
    setSetting(QStringLiteral("News"), QStringLiteral("Show"), QStringLiteral("1"));
    auto w = makeWindow();
    w->show();
    w->Form_Load();
    EXPECT_TRUE(w->ChkNews()->isChecked());
    EXPECT_FALSE(w->LblMessage()->isVisible());
    EXPECT_TRUE(w->LblNews()->isVisible());
    ASSERT_TRUE(showsFirstHeadline(*w));
    // The first tick wraps the still empty label and may refetch before the first page came.
    EXPECT_GE(site.hits("/LIVE/FM_News.php"), 1);
    EXPECT_TRUE(w->TmrNewsSlide()->isActive());
    EXPECT_EQ(w->TmrNewsSlide()->interval(), 23);
    EXPECT_EQ(w->newsTicker().Headlines().size(), 12);
    const int left = w->newsTicker().Left();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->newsTicker().Left() < left - 5; }, 20000));
}

TEST_F(NewsWindowTest, TheSettingsPanelSwitchesHeadlinesOnAndOff) {
    auto w = makeWindow();
    w->show();
    w->Form_Load();
    EXPECT_FALSE(w->ChkNews()->isChecked());
    EXPECT_TRUE(w->LblMessage()->isVisible());
    EXPECT_FALSE(w->LblNews()->isVisible());
    EXPECT_EQ(site.hits("/LIVE/FM_News.php"), 0);

    w->PicSettings_Click();
    QTest::mouseClick(w->LblShowNews(), Qt::LeftButton);
    EXPECT_TRUE(w->ChkNews()->isChecked());
    EXPECT_FALSE(w->LblNews()->isVisible());
    w->PicOK_Click();
    EXPECT_EQ(setting(QStringLiteral("News"), QStringLiteral("Show")), QStringLiteral("1"));
    EXPECT_TRUE(w->LblNews()->isVisible());
    EXPECT_FALSE(w->LblMessage()->isVisible());
    ASSERT_TRUE(showsFirstHeadline(*w));

    w->PicSettings_Click();
    QTest::mouseClick(w->LblShowNews(), Qt::LeftButton);
    w->PicOK_Click();
    EXPECT_EQ(setting(QStringLiteral("News"), QStringLiteral("Show")), QStringLiteral("0"));
    EXPECT_TRUE(w->LblMessage()->isVisible());
    EXPECT_EQ(w->LblMessage()->text(), kCredit);
    EXPECT_FALSE(w->LblNews()->isVisible());
    EXPECT_FALSE(w->TmrNewsSlide()->isActive());
}

TEST_F(NewsWindowTest, RecordingStopsTheHeadlinesAndSavingBringsThemBack) {
    setSetting(QStringLiteral("News"), QStringLiteral("Show"), QStringLiteral("1"));
    auto w = makeWindow();
    w->show();
    w->Form_Load();
    ASSERT_TRUE(showsFirstHeadline(*w));
    // The record flow's own view of the window, as a recording starts.
    app::WindowRecordView(*w).NoHeadlines();
    EXPECT_FALSE(w->LblNews()->isVisible());
    EXPECT_TRUE(w->LblMessage()->isVisible());
    EXPECT_FALSE(w->TmrNewsSlide()->isActive());

    w->recorder().RecordFileName = QStringLiteral("Recorded_070326143005");
    w->setTag(QStringLiteral("RecordStarted"));
    w->PicRecord()->hide();
    w->PicRecordStop()->show();
    QTest::mouseClick(w->PicRecordStop(), Qt::LeftButton);
    EXPECT_TRUE(w->LblNews()->isVisible());
    EXPECT_FALSE(w->LblMessage()->isVisible());
    EXPECT_TRUE(w->TmrNewsSlide()->isActive());
}

}  // namespace
