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

// The region made by uniting one rectangle per run, one at a time: the area every way of building
// the region must cover (the rectangles may be banded differently, so compare with sameArea).
QRegion unitedRuns(const QImage& image, long key) {
    const auto isKey = [&](int x, int y) { return skins::colourNumber(image.pixel(x, y)) == key; };
    QRegion region;
    for (int y = 0; y < image.height(); ++y) {
        int x = 0;
        while (x < image.width()) {
            if (isKey(x, y)) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < image.width() && !isKey(x, y)) {
                ++x;
            }
            if (x > start + 2) {
                region += QRect(start + 2, y + 1, x - start - 2, 1);
            }
        }
    }
    return region;
}

bool sameArea(const QRegion& a, const QRegion& b) {
    return a.xored(b).isEmpty();
}

const skins::RowScan kRowScans[] = {skins::RowScan::Plain, skins::RowScan::Sse2,
                                    skins::RowScan::Avx2};

// Runs of 1 to 70 pixels cross the 8-, 16- and 64-pixel steps of the row scans anywhere; the
// alpha of every pixel is random, as the key colour ignores it.
TEST(RegionFromPicture, EveryRowScanGivesTheUnitedRunsWhateverTheWidth) {
    QRandomGenerator random(11);
    for (const int width : {1, 2, 3, 7, 8, 9, 15, 16, 17, 63, 64, 65, 127, 128, 129, 200}) {
        QImage image(width, 12, QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            bool key = random.bounded(2) == 0;
            for (int x = 0; x < width;) {
                const int end = std::min(width, x + 1 + random.bounded(70));
                for (; x < end; ++x) {
                    const QRgb colour = key ? qRgb(255, 0, 255) : random.generate() & 0xFFFFFF;
                    row[x] = (colour & 0xFFFFFF) | (random.generate() & 0xFF000000);
                }
                key = !key;
            }
        }
        for (const long key : {kMagenta, -5L, 0x1000000L}) {
            const QRegion plain = skins::regionFromPicture(image, key, skins::RowScan::Plain);
            EXPECT_TRUE(sameArea(plain, unitedRuns(image, key)))
                << "width " << width << ", key " << key;
            for (const skins::RowScan scan : kRowScans) {
                if (skins::rowScanAvailable(scan)) {
                    EXPECT_EQ(skins::regionFromPicture(image, key, scan), plain)
                        << "width " << width << ", key " << key << ", scan "
                        << static_cast<int>(scan);
                }
            }
        }
    }
    EXPECT_TRUE(skins::rowScanAvailable(skins::RowScan::Plain));
}

// Rows are skipped when their pixels, or else their runs, are those of the row above; rows that
// differ by one pixel at either end, rows that differ only in colour or alpha, only in runs too
// short to add anything, or hold no runs at all must still give the united runs.
TEST(RegionFromPicture, RowsRepeatingTheRowAboveGiveTheUnitedRuns) {
    const int width = 200;
    QImage image(width, 24, QImage::Format_ARGB32);
    const auto paint = [&](int y, QRgb body, int from, int to) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const bool hole = (x >= 40 && x < 45) || (x >= 120 && x < 150);
            row[x] = x < from || x >= to || hole ? qRgb(255, 0, 255) : body;
        }
    };
    const QRgb body = qRgb(20, 40, 200);
    for (int y = 0; y < 5; ++y) {
        paint(y, body, 3, width);
    }
    paint(5, body, 3, width - 1);  // the last pixel becomes key
    paint(6, qRgb(90, 90, 90), 3, width - 1);
    paint(7, qRgb(90, 90, 90), 3, width - 1);
    // Runs of one and two pixels, at the left edge and inside a hole: nothing to add.
    for (const int x : {0, 130, 135, 136}) {
        image.setPixel(x, 7, body);
    }
    for (int y = 8; y < 11; ++y) {
        paint(y, qRgb(255, 0, 255), 0, width);
    }
    for (int y = 11; y < 16; ++y) {
        paint(y, body, 3, width);
    }
    for (int y = 16; y < 20; ++y) {
        paint(y, qRgba(20, 40, 200, y * 10), 3, width);
    }
    for (int y = 20; y < 24; ++y) {
        paint(y, body, y == 22 ? 0 : 3, width);
    }
    const QRegion expected = unitedRuns(image, kMagenta);
    for (const skins::RowScan scan : kRowScans) {
        if (skins::rowScanAvailable(scan)) {
            const QRegion region = skins::regionFromPicture(image, kMagenta, scan);
            EXPECT_TRUE(sameArea(region, expected)) << "scan " << static_cast<int>(scan);
            // Three rectangles in each of five bands: rows 0-4, 5-7, 11-21, 22 and 23.
            EXPECT_EQ(region.rectCount(), 5 * 3) << "scan " << static_cast<int>(scan);
        }
    }
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
