#include "platform/ui/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>

namespace platform {

MsgAnswer QtMessageBoxes::show(const QString& text, int style, const QString& caption) {
    QMessageBox box(parent_);
    box.setWindowTitle(caption);
    box.setText(text);
    switch (style & 0x70) {
        case MsgCritical:
            box.setIcon(QMessageBox::Critical);
            break;
        case MsgQuestion:
            box.setIcon(QMessageBox::Question);
            break;
        case MsgExclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case MsgInformation:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            box.setIcon(QMessageBox::NoIcon);
            break;
    }
    if ((style & 0x7) == MsgYesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MsgAnswer::Ok;
}

void doEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

namespace {
double logicalDpi(bool horizontal) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const double dpi =
                horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY();
            if (dpi > 0) {
                return dpi;
            }
        }
    }
    return 96.0;
}
int perPixel(bool horizontal) {
    const int t = static_cast<int>(1440.0 / logicalDpi(horizontal) + 0.5);
    return t > 0 ? t : 1;
}
}  // namespace

int twipsPerPixelX() {
    return perPixel(true);
}
int twipsPerPixelY() {
    return perPixel(false);
}
int twipsToPixelsX(int twips) {
    return twips / twipsPerPixelX();
}
int twipsToPixelsY(int twips) {
    return twips / twipsPerPixelY();
}
int pixelsToTwipsX(int pixels) {
    return pixels * twipsPerPixelX();
}
int pixelsToTwipsY(int pixels) {
    return pixels * twipsPerPixelY();
}

}  // namespace platform
