#include "skins/window_shape.h"

#include "skins/picture_box.h"

#include <QImage>
#include <QPalette>
#include <QRect>
#include <QWidget>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ZORVITA_ROW_SCAN_AVX2 1
#endif

namespace skins {

long colourNumber(unsigned int rgb) {
    return static_cast<long>(qRed(rgb)) + 256L * qGreen(rgb) + 65536L * qBlue(rgb);
}

namespace {

constexpr QRgb kColourBits = 0x00FFFFFF;

// The bits of up to 64 pixels (1 = not of the key colour), one pixel at a time.
std::uint64_t plainWord(const QRgb* pixels, int count, QRgb key) {
    std::uint64_t word = 0;
    for (int k = 0; k < count; ++k) {
        word |= static_cast<std::uint64_t>((pixels[k] & kColourBits) != key) << k;
    }
    return word;
}

// The word of `count` pixels whose first `done` pixels' key bits are in `same`.
std::uint64_t finishWord(std::uint64_t same, int done, const QRgb* pixels, int count, QRgb key) {
    if (done == 64) {
        return ~same;
    }
    const std::uint64_t doneBits = (std::uint64_t{1} << done) - 1;
    return (~same & doneBits) | (plainWord(pixels + done, count - done, key) << done);
}

// Turns a row's bits into its runs' edges: the left edge and the right edge (exclusive) of every
// run, from left to right. `edges` holds room for width + 8 numbers. Returns how many numbers it
// wrote. Always inlined, so that it is compiled for the instructions of the row scan calling it.
[[gnu::always_inline]] inline int edgesOfRow(const std::uint64_t* bits, int width, int* edges) {
    // Every change between key and not key is an edge; they alternate between the start and the
    // end of a run, as the row starts outside any run.
    const int words = (width + 63) / 64;
    int count = 0;
    std::uint64_t carry = 0;
    for (int i = 0; i < words; ++i) {
        const std::uint64_t word = bits[i];
        std::uint64_t changes = word ^ ((word << 1) | carry);
        carry = word >> 63;
        if (changes == 0) {
            continue;
        }
        // Eight edges a step however many the word has: far fewer mispredicted loop exits than
        // one edge a step. Positions past the word's last edge land in the spare room and are
        // overwritten.
        const int found = std::popcount(changes);
        int* out = edges + count;
        for (int k = 0; k < found; k += 8) {
#pragma GCC unroll 8
            for (int j = 0; j < 8; ++j) {
                out[k + j] = i * 64 + std::countr_zero(changes);
                changes &= changes - 1;
            }
        }
        count += found;
    }
    if (count % 2 != 0) {
        edges[count++] = width;
    }
    return count;
}

// Fills `bits` with a row's pixels that are not of the key colour (1 = not key), 64 pixels a
// word, the bits past the row's end 0, and writes the row's edges (edgesOfRow).
using RowEdges = int (*)(const QRgb* row, int width, QRgb key, std::uint64_t* bits, int* edges);

int plainRowEdges(const QRgb* row, int width, QRgb key, std::uint64_t* bits, int* edges) {
    for (int x = 0; x < width; x += 64) {
        bits[x >> 6] = plainWord(row + x, std::min(64, width - x), key);
    }
    return edgesOfRow(bits, width, edges);
}

#ifdef __SSE2__
// Sixteen pixels a step: four comparisons packed down to one byte mask.
int sse2RowEdges(const QRgb* row, int width, QRgb key, std::uint64_t* bits, int* edges) {
    const __m128i colourBits = _mm_set1_epi32(static_cast<int>(kColourBits));
    const __m128i keyVector = _mm_set1_epi32(static_cast<int>(key));
    const auto sameAsKey = [&](const QRgb* at) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        return _mm_cmpeq_epi32(_mm_and_si128(pixels, colourBits), keyVector);
    };
    for (int x = 0; x < width; x += 64) {
        const int count = std::min(64, width - x);
        std::uint64_t same = 0;
        int k = 0;
        for (; k + 16 <= count; k += 16) {
            const QRgb* at = row + x + k;
            const __m128i low = _mm_packs_epi32(sameAsKey(at), sameAsKey(at + 4));
            const __m128i high = _mm_packs_epi32(sameAsKey(at + 8), sameAsKey(at + 12));
            const auto mask =
                static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(low, high)));
            same |= static_cast<std::uint64_t>(mask) << k;
        }
        bits[x >> 6] = finishWord(same, k, row + x, count, key);
    }
    return edgesOfRow(bits, width, edges);
}
#endif

#ifdef ZORVITA_ROW_SCAN_AVX2
// The key bits (1 = of the key colour) of eight pixels, from the sign bits of one comparison.
[[gnu::always_inline]] inline __attribute__((target("avx2"))) std::uint64_t avx2Same(
    const QRgb* at, __m256i colourBits, __m256i keyVector) {
    const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    const __m256i equal = _mm256_cmpeq_epi32(_mm256_and_si256(pixels, colourBits), keyVector);
    return static_cast<std::uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(equal)));
}

// Eight pixels a comparison; the edges are then counted and found with the bit instructions
// every processor with AVX2 has.
__attribute__((target("avx2,bmi,popcnt"))) int avx2RowEdges(const QRgb* row, int width, QRgb key,
                                                            std::uint64_t* bits, int* edges) {
    const __m256i colourBits = _mm256_set1_epi32(static_cast<int>(kColourBits));
    const __m256i keyVector = _mm256_set1_epi32(static_cast<int>(key));
    int x = 0;
    for (; x + 64 <= width; x += 64) {
        std::uint64_t same = 0;
#pragma GCC unroll 8
        for (int k = 0; k < 64; k += 8) {
            same |= avx2Same(row + x + k, colourBits, keyVector) << k;
        }
        bits[x >> 6] = ~same;
    }
    if (x < width) {
        std::uint64_t same = 0;
        int k = 0;
        for (; x + k + 8 <= width; k += 8) {
            same |= avx2Same(row + x + k, colourBits, keyVector) << k;
        }
        bits[x >> 6] = finishWord(same, k, row + x, width - x, key);
    }
    return edgesOfRow(bits, width, edges);
}
#endif

RowEdges rowEdges(RowScan scan) {
    if (!rowScanAvailable(scan)) {
        return plainRowEdges;
    }
    switch (scan) {
#ifdef ZORVITA_ROW_SCAN_AVX2
        case RowScan::Avx2:
            return avx2RowEdges;
#endif
#ifdef __SSE2__
        case RowScan::Sse2:
            return sse2RowEdges;
#endif
        default:
            return plainRowEdges;
    }
}

RowScan fastestRowScan() {
    static const RowScan fastest = rowScanAvailable(RowScan::Avx2)   ? RowScan::Avx2
                                   : rowScanAvailable(RowScan::Sse2) ? RowScan::Sse2
                                                                     : RowScan::Plain;
    return fastest;
}

}  // namespace

bool rowScanAvailable(RowScan scan) {
    switch (scan) {
        case RowScan::Plain:
            return true;
        case RowScan::Sse2:
#ifdef __SSE2__
            return true;
#else
            return false;
#endif
        case RowScan::Avx2:
#ifdef ZORVITA_ROW_SCAN_AVX2
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
                   __builtin_cpu_supports("popcnt");
#else
            return false;
#endif
    }
    return false;
}

QRegion regionFromPicture(const QImage& picture, long keyColour) {
    return regionFromPicture(picture, keyColour, fastestRowScan());
}

QRegion regionFromPicture(const QImage& picture, long keyColour, RowScan scan) {
    const bool direct =
        picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32;
    const QImage image = direct ? picture : picture.convertToFormat(QImage::Format_RGB32);
    const int width = image.width();
    const int height = image.height();
    if (width <= 0 || height <= 0) {
        return {};
    }
    // A key that no pixel can have (above white, or negative) cuts nothing away: every row is one
    // run, and all rows form one band.
    if (keyColour < 0 || keyColour > 0xFFFFFF) {
        return width > 2 ? QRegion(2, 1, width - 2, height) : QRegion();
    }
    const QRgb key =
        qRgb(static_cast<int>(keyColour & 0xFF), static_cast<int>((keyColour >> 8) & 0xFF),
             static_cast<int>((keyColour >> 16) & 0xFF)) &
        kColourBits;
    const RowEdges edgesOf = rowEdges(scan);
    std::vector<std::uint64_t> bits(static_cast<std::size_t>((width + 63) / 64));
    const std::size_t rowRoom = static_cast<std::size_t>(width) + 8;
    std::vector<int> edges(rowRoom);
    std::vector<int> edgesAbove(rowRoom);
    int countAbove = -1;
    // Neighbouring rows with the same rectangles form one band of rectangles as tall as those
    // rows: the same area as one rectangle per run, in far fewer rectangles for the window
    // system. The band always holds the rectangles of the row above (none, when it had none);
    // they are written when the band starts and made taller when it ends.
    std::size_t bandFirst = 0;
    int bandTop = 0;
    int bandBottom = 0;
    std::vector<QRect> rects;
    rects.reserve(static_cast<std::size_t>(height) * 4);
    const auto closeBand = [&](std::size_t bandEnd) {
        if (bandBottom != bandTop) {
            for (std::size_t i = bandFirst; i < bandEnd; ++i) {
                rects[i].setBottom(bandBottom);
            }
        }
    };
    const auto sameColumns = [](const QRect& a, const QRect& b) {
        return a.left() == b.left() && a.right() == b.right();
    };
    const auto rowBytes = static_cast<std::size_t>(width) * sizeof(QRgb);
    const QRgb* above = nullptr;
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        // A row with the pixels, or else the runs, of the row above has its rectangles.
        if (above != nullptr && std::memcmp(row, above, rowBytes) == 0) {
            above = row;
            bandBottom = y + 1;
            continue;
        }
        above = row;
        const int count = edgesOf(row, width, key, bits.data(), edges.data());
        if (count == countAbove &&
            std::equal(edges.begin(), edges.begin() + count, edgesAbove.begin())) {
            bandBottom = y + 1;
            continue;
        }
        edges.swap(edgesAbove);
        countAbove = count;

        const std::size_t first = rects.size();
        const auto runs = static_cast<std::size_t>(count / 2);
        if (rects.capacity() - first < runs) {
            // Room for as many rectangles as the rows so far promise for the whole picture: a
            // picture with many runs is then moved once or twice, not at every doubling.
            const std::size_t promised =
                first / static_cast<std::size_t>(y + 1) * static_cast<std::size_t>(height);
            rects.reserve(std::max({2 * rects.capacity(), promised + promised / 4, first + runs}));
        }
        for (int i = 0; i < count; i += 2) {
            const int left = edgesAbove[i] + 2;
            const int right = edgesAbove[i + 1];
            if (right > left) {
                rects.emplace_back(QPoint(left, y + 1), QPoint(right - 1, y + 1));
            }
        }
        const std::size_t made = rects.size() - first;
        const QRect* out = rects.data() + first;
        if (made == first - bandFirst &&
            std::equal(out, out + made, rects.data() + bandFirst, sameColumns)) {
            rects.resize(first);
            bandBottom = y + 1;
            continue;
        }
        closeBand(first);
        bandFirst = first;
        bandTop = y + 1;
        bandBottom = y + 1;
    }
    closeBand(rects.size());
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
