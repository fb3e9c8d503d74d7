#include "news/HeadlineTicker.h"

#include <QImage>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

using news::HeadlineTicker;

namespace {

const QString kPage = QStringLiteral("TheSummaries = [A|B|C] END");

class TickerTest : public ::testing::Test {
  protected:
    TickerTest() {
        strip.resize(100, 20);
        label.setGeometry(0, 0, 100, 20);
        timer.setInterval(23);
    }
    // Ticks until the label has left the strip once and re-entered at its right edge.
    void tickToNextPiece() {
        const int before = ticker.HeadlineIndex();
        const int fetchesBefore = fetches;
        for (int i = 0; i < 100000; ++i) {
            ticker.Tick();
            if (ticker.HeadlineIndex() != before || fetches != fetchesBefore) {
                return;
            }
        }
        FAIL() << "the label never left the strip";
    }

    QWidget strip;
    QLabel label{&strip};
    QTimer timer;
    int fetches = 0;
    int creditShown = 0;
    HeadlineTicker ticker{&label, &strip, &timer, [this] { ++fetches; }, [this] { ++creditShown; }};
};

}  // namespace

TEST_F(TickerTest, ParsingShowsThePieceAtTheIndexAndStartsTheSlide) {
    ticker.ParseHeadlines(kPage);
    EXPECT_EQ(label.text(), QStringLiteral("News Headline : A. "));
    EXPECT_TRUE(timer.isActive());
    EXPECT_EQ(ticker.Headlines().size(), 3);
    EXPECT_GT(ticker.Width(), 0);
}

TEST_F(TickerTest, PagesWithoutTwoPiecesBringBackTheCredit) {
    timer.start();
    ticker.ParseHeadlines(QStringLiteral("TheSummaries = [Only one] END"));
    EXPECT_EQ(creditShown, 1);
    EXPECT_FALSE(timer.isActive());
    ticker.ParseHeadlines(QStringLiteral("no marker at all"));
    EXPECT_EQ(creditShown, 2);
}

TEST_F(TickerTest, SlidesOneTwipATickThenWrapsToTheNextPieceAndRefetchesAtTheEnd) {
    ticker.ParseHeadlines(kPage);
    const int left = ticker.Left();
    ticker.Tick();
    EXPECT_EQ(ticker.Left(), left - 1);

    tickToNextPiece();
    EXPECT_EQ(ticker.Left(), 100 * 15);
    EXPECT_EQ(ticker.HeadlineIndex(), 1);
    EXPECT_EQ(label.text(), QStringLiteral(" B. "));
    EXPECT_EQ(fetches, 0);

    // The last piece shows once while the refetch starts.
    tickToNextPiece();
    EXPECT_EQ(label.text(), QStringLiteral(" C"));
    EXPECT_EQ(ticker.HeadlineIndex(), 0);
    EXPECT_EQ(fetches, 1);

    // The refreshed list shows from position 1: position 0 is shown only by parsing.
    ticker.ParseHeadlines(QStringLiteral("TheSummaries = [D|E|F] END"));
    EXPECT_EQ(label.text(), QStringLiteral("News Headline : D. "));
    tickToNextPiece();
    EXPECT_EQ(label.text(), QStringLiteral(" E. "));
}

TEST_F(TickerTest, WithNoListEveryWrapSaysConnectingAndFetches) {
    tickToNextPiece();
    EXPECT_EQ(label.text(), QStringLiteral("Connecting to Indian News Server."));
    EXPECT_EQ(fetches, 1);
    EXPECT_EQ(ticker.HeadlineIndex(), 0);
    tickToNextPiece();
    EXPECT_EQ(fetches, 2);
}

TEST_F(TickerTest, AShorterListThanTheIndexStillEndsAndRefetches) {
    ticker.ParseHeadlines(QStringLiteral("TheSummaries = [A|B|C|D|E] END"));
    tickToNextPiece();
    tickToNextPiece();
    tickToNextPiece();
    ASSERT_EQ(ticker.HeadlineIndex(), 3);
    // A refetch brought a two-piece list while the index stood at 3.
    ticker.ParseHeadlines(QStringLiteral("TheSummaries = [X|Y] END"));
    tickToNextPiece();
    EXPECT_EQ(ticker.HeadlineIndex(), 0);
    EXPECT_EQ(fetches, 1);
}

TEST_F(TickerTest, TheTextIsPaintedAtItsFractionalPosition) {
    // Between two whole pixels the painted text differs: it moves by a part of a pixel.
    QPalette pal = label.palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    label.setPalette(pal);
    strip.setStyleSheet(QStringLiteral("background: white"));
    ticker.ParseHeadlines(QStringLiteral("TheSummaries = [IIIIIIII|B] END"));
    for (int i = 0; i < 30; ++i) {
        ticker.Tick();
    }
    ASSERT_EQ(ticker.Left() % 15, 0);
    const QImage whole = label.grab().toImage();
    for (int i = 0; i < 7; ++i) {
        ticker.Tick();
    }
    const QImage part = label.grab().toImage();
    for (int i = 0; i < 8; ++i) {
        ticker.Tick();
    }
    const QImage next = label.grab().toImage();
    EXPECT_NE(whole, part);
    EXPECT_NE(part, next);
}
