#include "app/chrome/hover_hook.h"

#include "skins/picture_box.h"

#include <QEvent>
#include <QLabel>

#include <utility>

namespace chrome {

QString displayedCaption(const QString& caption) {
    QString shown = caption;
    return shown.replace(QStringLiteral("&&"), QStringLiteral("&"));
}

HoverHook::HoverHook(QLabel* lblMessage, skins::PictureBox* picTemp, std::function<void()> repaint,
                     QObject* parent)
    : QObject(parent), label_(lblMessage), picTemp_(picTemp), repaint_(std::move(repaint)) {
    // The pointer counts as resting after 1 ms without movement.
    hoverTimer_.setSingleShot(true);
    hoverTimer_.setInterval(1);
    connect(&hoverTimer_, &QTimer::timeout, this, &HoverHook::hover);
}

void HoverHook::addButton(skins::PictureBox* button, skins::PictureBox* roll,
                          const QString& statusText, bool unhookOnPress) {
    buttons_.push_back({button, roll, statusText, unhookOnPress});
    button->installEventFilter(this);
}

const HoverHook::Button* HoverHook::buttonFor(const QObject* widget) const {
    for (const Button& b : buttons_) {
        if (b.box == widget) {
            return &b;
        }
    }
    return nullptr;
}

void HoverHook::HookHover(QWidget* button, const QString& statusText, skins::PictureBox* normal,
                          skins::PictureBox* roll) {
    hooked_ = button;
    statusText_ = statusText;
    rolloverInUse_ = normal != nullptr;
    normal_ = rolloverInUse_ ? normal : nullptr;
    roll_ = rolloverInUse_ ? roll : nullptr;
}

// The hovering flag goes with the hook: a button clicked while lit would otherwise keep the next
// button from lighting until the pointer had left that one once.
void HoverHook::UnhookHover() {
    hooked_ = nullptr;
    hovering_ = false;
    leaveTracked_ = false;
    hoverTimer_.stop();
}

void HoverHook::SwapRollover(skins::PictureBox* showOn, skins::PictureBox* takeFrom) {
    if (lastChanged_ && !lastChanged_->picture().isNull() && !picTemp_->picture().isNull()) {
        lastChanged_->setPicture(picTemp_->picture());
    }
    picTemp_->setPicture(showOn->picture());
    showOn->setPicture(takeFrom->picture());
    lastChanged_ = showOn;
}

bool HoverHook::eventFilter(QObject* watched, QEvent* event) {
    const Button* button = buttonFor(watched);
    if (button == nullptr) {
        return false;
    }
    const bool isHooked = hooked_ != nullptr && watched == hooked_;
    switch (event->type()) {
        case QEvent::MouseMove:
            if (isHooked) {
                // The hook takes the movement: the button's own handler does not see it.
                track();
                return true;
            }
            UnhookHover();
            HookHover(button->box, button->statusText, button->box, button->roll);
            return false;
        case QEvent::MouseButtonPress:
            if (button->unhookOnPress) {
                UnhookHover();
            }
            return false;
        case QEvent::Leave:
        case QEvent::Hide:
            // A button hidden under the pointer (Record gives way to Stop Recording) is left.
            if (isHooked && leaveTracked_) {
                leave();
            }
            return false;
        default:
            return false;
    }
}

void HoverHook::track() {
    leaveTracked_ = true;
    hoverTimer_.start();
}

void HoverHook::hover() {
    if (!hooked_ || hovering_) {
        return;
    }
    label_->setText(displayedCaption(statusText_));
    repaint_();
    label_->setToolTip(QString());
    label_->setCursor(Qt::ArrowCursor);
    if (rolloverInUse_ && normal_ && roll_) {
        SwapRollover(normal_, roll_);
    }
    hovering_ = true;
}

void HoverHook::leave() {
    leaveTracked_ = false;
    hoverTimer_.stop();
    hovering_ = false;
    label_->setText(kCreditText);
    label_->setCursor(Qt::PointingHandCursor);
    label_->setToolTip(kCreditTip);
    repaint_();
    if (rolloverInUse_ && normal_ && roll_) {
        SwapRollover(roll_, normal_);
    }
}

}  // namespace chrome
