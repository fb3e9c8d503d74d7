#pragma once

#include <QLabel>

namespace app {

// A label that reports clicks: the link labels and the status label of the main window.
class ClickLabel : public QLabel {
    Q_OBJECT
  public:
    ClickLabel(QWidget* parent, const QString& name, const QString& caption);

  Q_SIGNALS:
    void Click();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace app
