#include "app/controls.h"

#include <QMouseEvent>

namespace app {

ClickLabel::ClickLabel(QWidget* parent, const QString& name, const QString& caption)
    : QLabel(caption, parent) {
    setObjectName(name);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        Q_EMIT Click();
    }
}

}  // namespace app
