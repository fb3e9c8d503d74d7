#include "skins/window_shape.h"

#include "skins/picture_box.h"

#include <QImage>
#include <QPalette>
#include <QRect>
#include <QVector>
#include <QWidget>

namespace skins {

long colourNumber(unsigned int rgb) {
    return static_cast<long>(qRed(rgb)) + 256L * qGreen(rgb) + 65536L * qBlue(rgb);
}

QRegion regionFromPicture(const QImage& picture, long keyColour) {
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    const int width = image.width();
    QVector<QRect> runs;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        const auto isKey = [&](int x) { return colourNumber(row[x]) == keyColour; };
        int x = 0;
        while (x < width) {
            while (x < width && isKey(x)) {
                ++x;
            }
            if (x >= width) {
                break;
            }
            const int start = x;
            while (x < width && !isKey(x)) {
                ++x;
            }
            // Runs of one or two pixels leave nothing once their first two pixels are dropped.
            const int left = start + 2;
            if (x > left) {
                runs.append(QRect(left, y + 1, x - left, 1));
            }
        }
    }
    // The runs come sorted by row and, within a row, from left to right without overlap, which
    // is the banded form setRects takes in one step.
    QRegion region;
    if (!runs.isEmpty()) {
        region.setRects(runs.constData(), static_cast<int>(runs.size()));
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
