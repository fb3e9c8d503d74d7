#pragma once

#include <QPixmap>
#include <QWidget>

namespace skins {

// A picture box: shows one picture at its top-left corner over its background colour, can hold
// other controls, and reports clicks and mouse movement. Picture buttons, their hidden rollover
// twins and the panels of the main window are all picture boxes.
class PictureBox : public QWidget {
    Q_OBJECT
  public:
    explicit PictureBox(QWidget* parent, const QString& name);

    const QPixmap& picture() const { return picture_; }
    // With auto-size on, the box takes the size of every picture it is given.
    void setPicture(const QPixmap& picture);
    void setAutoSize(bool on);
    bool autoSize() const { return autoSize_; }

  Q_SIGNALS:
    void Click();
    void MouseDown(Qt::MouseButton button, QPoint at);
    void MouseUp(Qt::MouseButton button, QPoint at);
    void MouseMove(Qt::MouseButtons buttons, QPoint at);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    QPixmap picture_;
    bool autoSize_ = false;
    bool pressed_ = false;
};

// Colours of skinned controls: the background colour fills the control, the text colour draws its
// text (both also for the items of lists).
void applyBackColor(QWidget& control, const QColor& colour);
void applyForeColor(QWidget& control, const QColor& colour);

}  // namespace skins
