#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;

namespace platform {
class MessageBoxes;
class SettingsStore;
class Shell;
}  // namespace platform

namespace app {

class ClickLabel;

// The recording-help window: a borderless picture that explains how recording works, with a
// button that opens the desktop's recording control and a box to turn the window off for later
// starts (the setting Message/Show).
class FrmMessage final : public QWidget {
    Q_OBJECT
  public:
    FrmMessage(platform::MessageBoxes& boxes, platform::SettingsStore& settings,
               platform::Shell& shell);

    // Handlers, named after the controls.
    void PicMessage_MouseDown();
    void ImgOpen_Click();
    void ImgEmail_Click();
    void PicClose_Click();

    QLabel* PicMessage() const { return PicMessage_; }
    QCheckBox* ChkShow() const { return ChkShow_; }
    ClickLabel* ImgOpen() const { return ImgOpen_; }
    ClickLabel* ImgEmail() const { return ImgEmail_; }
    ClickLabel* PicClose() const { return PicClose_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    platform::MessageBoxes& boxes_;
    platform::SettingsStore& settings_;
    platform::Shell& shell_;
    QLabel* PicMessage_ = nullptr;
    QCheckBox* ChkShow_ = nullptr;
    ClickLabel* ImgOpen_ = nullptr;
    ClickLabel* ImgEmail_ = nullptr;
    ClickLabel* PicClose_ = nullptr;
};

}  // namespace app
