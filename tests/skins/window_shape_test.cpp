#include "skins/window_shape.h"
#include "skins/picture_box.h"

#include <QImage>
#include <QRandomGenerator>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

const long kMagenta = 255L + 65536L * 255L;

QImage filled(int w, int h, QColor c) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(c);
    return image;
}

TEST(RegionFromPicture, PictureOfOnlyTheKeyColourGivesNoRegion) {
    EXPECT_TRUE(skins::regionFromPicture(filled(20, 10, Qt::magenta), kMagenta).isEmpty());
}

TEST(RegionFromPicture, RunBecomesARectangleOneRowLowerWithoutItsFirstTwoPixels) {
    QImage image = filled(30, 5, Qt::magenta);
    for (int x = 10; x <= 14; ++x) {
        image.setPixelColor(x, 2, Qt::red);
    }
    const QRegion region = skins::regionFromPicture(image, kMagenta);
    EXPECT_EQ(region, QRegion(QRect(QPoint(12, 3), QPoint(14, 3))));
}

TEST(RegionFromPicture, RunReachingTheRightEdgeEndsThereAndShortRunsAddNothing) {
    QImage image = filled(16, 3, Qt::magenta);
    for (int x = 9; x < 16; ++x) {
        image.setPixelColor(x, 0, Qt::blue);
    }
    image.setPixelColor(2, 1, Qt::blue);
    image.setPixelColor(5, 1, Qt::blue);
    image.setPixelColor(6, 1, Qt::blue);
    const QRegion region = skins::regionFromPicture(image, kMagenta);
    EXPECT_EQ(region, QRegion(QRect(11, 1, 5, 1)));
}

// The rectangles go to the region in one step; it must come out as the union of every run,
// whatever the mix of runs per row.
TEST(RegionFromPicture, EqualsTheUnionOfEveryRunOfARandomPicture) {
    QRandomGenerator random(7);
    QImage image = filled(64, 48, Qt::magenta);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (random.bounded(3) != 0) {
                image.setPixelColor(x, y, QColor(random.bounded(200), 10, 10));
            }
        }
    }
    QRegion expected;
    for (int y = 0; y < image.height(); ++y) {
        int x = 0;
        while (x < image.width()) {
            if (image.pixelColor(x, y) == QColor(Qt::magenta)) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < image.width() && image.pixelColor(x, y) != QColor(Qt::magenta)) {
                ++x;
            }
            if (x > start + 2) {
                expected += QRect(start + 2, y + 1, x - start - 2, 1);
            }
        }
    }
    EXPECT_EQ(skins::regionFromPicture(image, kMagenta), expected);
}

// Rows with the same runs are merged into taller rectangles; the result must cover exactly what
// uniting the runs one by one covers, with fewer rectangles.
TEST(RegionFromPicture, RowsWithTheSameRunsGiveTheRegionThatUnitingThemGives) {
    QImage image = filled(120, 90, Qt::magenta);
    for (int y = 10; y < 80; ++y) {
        const int inset = y < 20 ? 20 - y : 0;
        for (int x = 10 + inset; x < 110 - inset; ++x) {
            if (y < 40 || y > 60 || x < 50 || x > 70) {
                image.setPixelColor(x, y, QColor(20, 40, 200));
            }
        }
    }
    QRegion united;
    for (int y = 0; y < image.height(); ++y) {
        int x = 0;
        while (x < image.width()) {
            if (image.pixelColor(x, y) == QColor(Qt::magenta)) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < image.width() && image.pixelColor(x, y) != QColor(Qt::magenta)) {
                ++x;
            }
            if (x > start + 2) {
                united = united.united(QRect(start + 2, y + 1, x - start - 2, 1));
            }
        }
    }
    const QRegion region = skins::regionFromPicture(image, kMagenta);
    EXPECT_TRUE(region.xored(united).isEmpty());
    EXPECT_EQ(region.boundingRect(), united.boundingRect());
    EXPECT_LT(region.rectCount(), united.rectCount());
    EXPECT_EQ(region.rectCount(), 14);
}

TEST(RegionFromPicture, KeyNoPixelCanHaveKeepsEveryRun) {
    const QRegion region = skins::regionFromPicture(filled(10, 4, Qt::magenta), -5);
    EXPECT_EQ(region, QRegion(QRect(2, 1, 8, 4)));
}

TEST(ShapeWindowFromPicture, KeyZeroTakesTheTopLeftColourAndWritesItBack) {
    QImage image = filled(40, 30, Qt::magenta);
    for (int y = 5; y < 25; ++y) {
        for (int x = 5; x < 35; ++x) {
            image.setPixelColor(x, y, Qt::darkBlue);
        }
    }
    QWidget window;
    skins::PictureBox back(&window, QStringLiteral("BackPic"));
    back.setPicture(QPixmap::fromImage(image));
    long key = 0;
    skins::ShapeWindowFromPicture(window, back, key);

    EXPECT_EQ(key, kMagenta);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.size(), QSize(40, 30));
    EXPECT_TRUE(back.picture().isNull());
    EXPECT_EQ(window.palette().brush(QPalette::Window).texture().toImage().pixelColor(10, 10),
              QColor(Qt::darkBlue));
    EXPECT_FALSE(window.mask().contains(QPoint(1, 1)));
    EXPECT_TRUE(window.mask().contains(QPoint(20, 15)));
    EXPECT_FALSE(window.mask().contains(QPoint(5, 10)));
}

TEST(ShapeWindowFromPicture, AllKeyPictureShowsNothingOfTheWindow) {
    QWidget window;
    skins::PictureBox back(&window, QStringLiteral("BackPic"));
    back.setPicture(QPixmap::fromImage(filled(20, 20, QColor(0, 255, 0))));
    long key = 0;
    skins::ShapeWindowFromPicture(window, back, key);
    EXPECT_EQ(key, 256L * 255L);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.mask().isEmpty());
    EXPECT_TRUE(window.mask().intersected(window.rect()).isEmpty());
}

}  // namespace
