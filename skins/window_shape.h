#pragma once

#include <QRegion>

class QImage;
class QWidget;

namespace skins {

class PictureBox;

// Colours as the system numbers them: red + 256 x green + 65536 x blue.
long colourNumber(unsigned int rgb);

// The window region cut from a picture: every run of pixels of a row that are not of the key
// colour becomes a rectangle one row lower than the run and without the run's first two pixels.
// All rectangles are handed to the region at once.
QRegion regionFromPicture(const QImage& picture, long keyColour);

// How a row's pixels are compared with the key colour. Every way gives the same region; the
// default is the fastest one the processor has.
enum class RowScan { Plain, Sse2, Avx2 };
bool rowScanAvailable(RowScan scan);
QRegion regionFromPicture(const QImage& picture, long keyColour, RowScan scan);

// Sizes the window to the picture box's picture, makes that picture the window's background, cuts
// the window's outline from it and shows the window. A key colour below 1 means "the colour of
// the top-left pixel", which is then written back to keyColour.
void ShapeWindowFromPicture(QWidget& window, PictureBox& pictureBox, long& keyColour);

}  // namespace skins
