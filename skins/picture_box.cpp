#include "skins/picture_box.h"

#include <QAbstractButton>
#include <QMouseEvent>
#include <QPainter>

namespace skins {

PictureBox::PictureBox(QWidget* parent, const QString& name) : QWidget(parent) {
    setObjectName(name);
    setMouseTracking(true);
}

void PictureBox::setPicture(const QPixmap& picture) {
    picture_ = picture;
    if (autoSize_ && !picture_.isNull()) {
        resize(picture_.deviceIndependentSize().toSize());
    }
    update();
}

void PictureBox::setAutoSize(bool on) {
    autoSize_ = on;
    if (autoSize_ && !picture_.isNull()) {
        resize(picture_.deviceIndependentSize().toSize());
    }
}

void PictureBox::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) {
        return;
    }
    QPainter p(this);
    p.drawPixmap(0, 0, picture_);
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    Q_EMIT MouseDown(event->button(), event->position().toPoint());
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    Q_EMIT MouseUp(event->button(), event->position().toPoint());
    if (click) {
        Q_EMIT Click();
    }
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
    Q_EMIT MouseMove(event->buttons(), event->position().toPoint());
}

// Option buttons and check boxes draw their indicator with the base and text colours; those are
// left alone so the indicator stays visible whatever the skin's colours.
void applyBackColor(QWidget& control, const QColor& colour) {
    QPalette pal = control.palette();
    pal.setColor(QPalette::Window, colour);
    pal.setColor(QPalette::Button, colour);
    if (qobject_cast<QAbstractButton*>(&control) == nullptr) {
        pal.setColor(QPalette::Base, colour);
    }
    control.setPalette(pal);
    control.setAutoFillBackground(true);
}

void applyForeColor(QWidget& control, const QColor& colour) {
    QPalette pal = control.palette();
    pal.setColor(QPalette::WindowText, colour);
    pal.setColor(QPalette::ButtonText, colour);
    if (qobject_cast<QAbstractButton*>(&control) == nullptr) {
        pal.setColor(QPalette::Text, colour);
    }
    control.setPalette(pal);
}

}  // namespace skins
