#include "skins/window_shape.h"

#include "skins/picture_box.h"

#include <QImage>
#include <QPalette>
#include <QRect>
#include <QWidget>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace skins {

long colourNumber(unsigned int rgb) {
    return static_cast<long>(qRed(rgb)) + 256L * qGreen(rgb) + 65536L * qBlue(rgb);
}

namespace {

// One row's pixels that are not of the key colour, as bits (1 = not key), 64 pixels a word. The
// bits past the row's end are 0, so every run ends at the row's end at the latest.
void rowBits(const QRgb* row, int width, QRgb key, std::vector<std::uint64_t>& bits) {
#ifdef __SSE2__
    const __m128i colourMask = _mm_set1_epi32(0x00FFFFFF);
    const __m128i keyVector = _mm_set1_epi32(static_cast<int>(key));
    const auto sameAsKey = [&](int at) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + at));
        return _mm_cmpeq_epi32(_mm_and_si128(pixels, colourMask), keyVector);
    };
#endif
    for (int x = 0; x < width; x += 64) {
        const int count = std::min(64, width - x);
        std::uint64_t same = 0;
        int k = 0;
#ifdef __SSE2__
        // Sixteen pixels a step: four comparisons packed down to one byte mask.
        for (; k + 16 <= count; k += 16) {
            const __m128i low = _mm_packs_epi32(sameAsKey(x + k), sameAsKey(x + k + 4));
            const __m128i high = _mm_packs_epi32(sameAsKey(x + k + 8), sameAsKey(x + k + 12));
            const auto mask =
                static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(low, high)));
            same |= static_cast<std::uint64_t>(mask) << k;
        }
#endif
        for (; k < count; ++k) {
            if ((row[x + k] & 0x00FFFFFF) == key) {
                same |= std::uint64_t{1} << k;
            }
        }
        const std::uint64_t inRow =
            count == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
        bits[static_cast<std::size_t>(x >> 6)] = ~same & inRow;
    }
}

// The first position at or after `from` whose bit is `value`, or `width` when there is none.
int nextBit(const std::vector<std::uint64_t>& bits, int width, int from, bool value) {
    auto word = static_cast<std::size_t>(from >> 6);
    std::uint64_t w = (value ? bits[word] : ~bits[word]) & (~std::uint64_t{0} << (from & 63));
    while (w == 0) {
        if (++word >= bits.size()) {
            return width;
        }
        w = value ? bits[word] : ~bits[word];
    }
    return std::min(width, static_cast<int>(word * 64) + std::countr_zero(w));
}

}  // namespace

QRegion regionFromPicture(const QImage& picture, long keyColour) {
    const bool direct =
        picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32;
    const QImage image = direct ? picture : picture.convertToFormat(QImage::Format_RGB32);
    const int width = image.width();
    if (width <= 0 || image.height() <= 0) {
        return {};
    }
    // A key that no pixel can have (above white, or negative) cuts nothing away.
    const bool keyPossible = keyColour >= 0 && keyColour <= 0xFFFFFF;
    const QRgb key = keyPossible ? qRgb(static_cast<int>(keyColour & 0xFF),
                                        static_cast<int>((keyColour >> 8) & 0xFF),
                                        static_cast<int>((keyColour >> 16) & 0xFF)) &
                                       0x00FFFFFF
                                 : 0;
    std::vector<std::uint64_t> bits(static_cast<std::size_t>((width + 63) / 64));
    std::vector<QRect> rects;
    rects.reserve(static_cast<std::size_t>(image.height()) * 4);
    // Neighbouring rows with the same runs form one band of rectangles as tall as those rows: the
    // same area as one rectangle per run, in far fewer rectangles for the window system.
    std::size_t bandStart = 0;
    int bandBottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        if (keyPossible) {
            rowBits(row, width, key, bits);
        } else {
            std::fill(bits.begin(), bits.end(), ~std::uint64_t{0});
        }
        const std::size_t rowStart = rects.size();
        int x = 0;
        while (x < width) {
            const int start = nextBit(bits, width, x, true);
            if (start >= width) {
                break;
            }
            x = nextBit(bits, width, start, false);
            // Runs of one or two pixels leave nothing once their first two pixels are dropped.
            const int left = start + 2;
            if (x > left) {
                rects.emplace_back(left, y + 1, x - left, 1);
            }
        }
        const std::size_t count = rects.size() - rowStart;
        if (count == 0) {
            continue;
        }
        const bool sameAsBand =
            bandBottom == y && rowStart - bandStart == count &&
            std::equal(rects.begin() + static_cast<std::ptrdiff_t>(bandStart),
                       rects.begin() + static_cast<std::ptrdiff_t>(rowStart),
                       rects.begin() + static_cast<std::ptrdiff_t>(rowStart),
                       [](const QRect& a, const QRect& b) {
                           return a.left() == b.left() && a.right() == b.right();
                       });
        if (sameAsBand) {
            rects.resize(rowStart);
            for (std::size_t i = bandStart; i < rowStart; ++i) {
                rects[i].setBottom(rects[i].bottom() + 1);
            }
        } else {
            bandStart = rowStart;
        }
        bandBottom = y + 1;
    }
    // The rectangles come sorted by band and, within a band, from left to right without
    // overlap: the form a region keeps, which setRects takes in one step.
    QRegion region;
    if (!rects.empty()) {
        region.setRects(rects.data(), static_cast<int>(rects.size()));
    }
    return region;
}

void ShapeWindowFromPicture(QWidget& window, PictureBox& pictureBox, long& keyColour) {
    const QPixmap picture = pictureBox.picture();
    pictureBox.resize(picture.deviceIndependentSize().toSize());
    window.hide();

    QPalette pal = window.palette();
    pal.setBrush(QPalette::Window, QBrush(picture));
    window.setPalette(pal);
    window.setAutoFillBackground(true);
    window.setFixedSize(pictureBox.size());

    const QImage image = picture.toImage();
    if (keyColour < 1 && !image.isNull()) {
        keyColour = colourNumber(image.pixel(0, 0));
    }
    QRegion region = regionFromPicture(image, keyColour);
    if (region.isEmpty()) {
        // An empty mask would mean "no mask" to Qt and show the whole window; a region that lies
        // wholly outside the window shows nothing of it, as an empty window region does.
        region = QRegion(-1, -1, 1, 1);
    }
    window.setMask(region);

    pictureBox.setPicture(QPixmap());
    window.show();
}

}  // namespace skins
