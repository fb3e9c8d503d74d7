#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace platform {
class MessageBoxes;
}

// The modal add-station dialog. OK checks the URL, then the name; a valid pair is handed to
// `add` (which stores it) and the dialog closes.
class FrmNew final : public QDialog {
    Q_OBJECT
  public:
    using AddStation = std::function<void(const QString& name, const QString& url)>;
    FrmNew(platform::MessageBoxes& boxes, AddStation add, QWidget* parent = nullptr);

    void CmdOK_Click();
    void CmdCancel_Click();

    QLabel* LblStation;
    QLineEdit* TxtName;
    QLabel* LblURL;
    QLineEdit* TxtURL;
    QPushButton* CmdOK;
    QPushButton* CmdCancel;

  private:
    bool refuse(const QString& message, QLineEdit* field);

    platform::MessageBoxes& boxes_;
    AddStation add_;
};
