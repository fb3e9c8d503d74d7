#pragma once

#include "skins/picture_box.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

class QLabel;

namespace chrome {

// The status label's resting state.
inline const QString kCreditText = QStringLiteral("DEVELOPED BY :- VELMO TARSK");
inline const QString kCreditTip = QStringLiteral("Click to visit my Personal Website");

// What the status label shows for a caption: a doubled ampersand reads as one.
QString displayedCaption(const QString& caption);

// The picture buttons' rollover and status texts. Each button registered here is watched: the
// first mouse movement over a button hooks it (and unhooks the one before), later movements
// track it; resting on the hooked button shows its status text in the status label and its
// rollover picture, leaving it puts both back. Only one button is hooked, so only one is ever
// lit.
class HoverHook final : public QObject {
    Q_OBJECT
  public:
    // picTemp is the window's one spare picture slot for the rollover swap; repaint redraws the
    // window at once.
    HoverHook(QLabel* lblMessage, skins::PictureBox* picTemp, std::function<void()> repaint,
              QObject* parent = nullptr);

    // Watches a button; roll is its rollover twin (none: no rollover). A button whose press
    // ends the rollover (the press-and-hold arrows) is unhooked before its own handler runs.
    void addButton(skins::PictureBox* button, skins::PictureBox* roll, const QString& statusText,
                   bool unhookOnPress = false);

    // Hooks one button: its status text and, when a normal picture box is given, its rollover.
    void HookHover(QWidget* button, const QString& statusText, skins::PictureBox* normal,
                   skins::PictureBox* roll);
    // Removes the hook; safe when nothing is hooked. The label and pictures stay as they are.
    void UnhookHover();
    // The rollover swap through the spare slot: puts the spare picture back into the box changed
    // last, keeps showOn's picture in the spare slot and shows takeFrom's picture in showOn.
    void SwapRollover(skins::PictureBox* showOn, skins::PictureBox* takeFrom);

    QWidget* hooked() const { return hooked_; }
    bool hovering() const { return hovering_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Button {
        skins::PictureBox* box;
        skins::PictureBox* roll;
        QString statusText;
        bool unhookOnPress;
    };
    const Button* buttonFor(const QObject* widget) const;
    // The hooked button's own messages: movement arms the hover and leave notifications.
    void track();
    void hover();
    void leave();

    QLabel* label_;
    skins::PictureBox* picTemp_;
    std::function<void()> repaint_;
    std::vector<Button> buttons_;

    QPointer<QWidget> hooked_;
    QString statusText_;
    bool rolloverInUse_ = false;
    QPointer<skins::PictureBox> normal_;
    QPointer<skins::PictureBox> roll_;
    bool hovering_ = false;
    // Set by movement over the hooked button until the pointer leaves it: only then does a
    // leave restore the label.
    bool leaveTracked_ = false;
    QTimer hoverTimer_;
    QPointer<skins::PictureBox> lastChanged_;
};

}  // namespace chrome
