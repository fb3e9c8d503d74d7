#include "app/chrome/window_drag.h"

#include "platform/ui/report_error.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include <utility>

namespace chrome {

WindowDrag::WindowDrag(QWidget& window, platform::MessageBoxes& boxes, SystemMove systemMove)
    : QObject(&window), window_(window), boxes_(boxes), systemMove_(std::move(systemMove)) {
    if (!systemMove_) {
        systemMove_ = [](QWindow* w) { return w != nullptr && w->startSystemMove(); };
    }
    window_.installEventFilter(this);
}

void WindowDrag::Form_MouseDown(QPoint globalPosition) {
    platform::trapErrors(boxes_, [&] {
        // A control that holds the pointer would keep the move from the window system.
        if (QWidget* grabber = QWidget::mouseGrabber()) {
            grabber->releaseMouse();
        }
        draggingByHand_ = !systemMove_(window_.windowHandle());
        grabOffset_ = globalPosition - window_.pos();
    });
}

bool WindowDrag::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &window_) {
        return false;
    }
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* press = static_cast<QMouseEvent*>(event);
            Form_MouseDown(press->globalPosition().toPoint());
            return true;
        }
        case QEvent::MouseMove:
            if (draggingByHand_) {
                auto* move = static_cast<QMouseEvent*>(event);
                if (move->buttons() == Qt::NoButton) {
                    draggingByHand_ = false;
                    return false;
                }
                window_.move(move->globalPosition().toPoint() - grabOffset_);
                return true;
            }
            return false;
        case QEvent::MouseButtonRelease:
            draggingByHand_ = false;
            return false;
        default:
            return false;
    }
}

}  // namespace chrome
