#pragma once

#include <QString>

class QWidget;

namespace platform {

// Style bits of a message box, combined by addition as the callers write them: buttons in the low
// bits, the icon in the next ones.
enum MsgStyle : int {
    MsgOkOnly = 0,
    MsgYesNo = 4,
    MsgCritical = 16,
    MsgQuestion = 32,
    MsgExclamation = 48,
    MsgInformation = 64,
};

enum class MsgAnswer { Ok = 1, Yes = 6, No = 7 };

// Modal message boxes. The real one shows Qt dialogs; tests use a scripted fake.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    virtual MsgAnswer show(const QString& text, int style, const QString& caption) = 0;
};

class QtMessageBoxes final : public MessageBoxes {
  public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}
    MsgAnswer show(const QString& text, int style, const QString& caption) override;

  private:
    QWidget* parent_;
};

// Lets the events that are waiting run once, then returns (the handlers' "let pending messages
// run").
void doEvents();

// Twips are 1/1440 inch: 15 twips a pixel at 96 logical DPI.
int twipsPerPixelX();
int twipsPerPixelY();
int twipsToPixelsX(int twips);
int twipsToPixelsY(int twips);
int pixelsToTwipsX(int pixels);
int pixelsToTwipsY(int pixels);

}  // namespace platform
