#pragma once

#include <QObject>
#include <QPoint>

#include <functional>

class QWidget;
class QWindow;

namespace platform {
class MessageBoxes;
}

namespace chrome {

// Dragging the borderless window: a press of any mouse button on the window's own surface hands
// the move to the window system, which moves the window with the pointer on X11 and Wayland
// alike. Where the window system refuses, the window follows the pointer by hand until the
// button is released.
class WindowDrag final : public QObject {
  public:
    // systemMove asks the window system to move the window and says whether it agreed; the
    // default is QWindow::startSystemMove.
    using SystemMove = std::function<bool(QWindow*)>;
    WindowDrag(QWidget& window, platform::MessageBoxes& boxes, SystemMove systemMove = {});

    // The press on the window's surface, at a position on the screen.
    void Form_MouseDown(QPoint globalPosition);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget& window_;
    platform::MessageBoxes& boxes_;
    SystemMove systemMove_;
    bool draggingByHand_ = false;
    // Where the pointer was pressed, relative to the window's top-left corner.
    QPoint grabOffset_;
};

}  // namespace chrome
