#include "app/help/frm_message.h"

#include "app/chrome/links.h"
#include "app/controls.h"
#include "app/help/help_layout.h"
#include "platform/registry/settings_store.h"
#include "platform/shell/shell.h"
#include "platform/ui/error.h"
#include "platform/ui/report_error.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QWindow>

// The pictures are compiled into this static library; the resource must be registered by hand.
static void initHelpArt() {
    Q_INIT_RESOURCE(help_art);
}

namespace app {

namespace {

ClickLabel* imageButton(QWidget* parent, const char* name, const QString& picture,
                        const QRect& place, const QString& tip) {
    auto* button = new ClickLabel(parent, QString::fromLatin1(name), QString());
    button->setPixmap(QPixmap(picture));
    button->setGeometry(place);
    button->setToolTip(tip);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

// The desktop's recording controls, in the order they are tried: the volume control opened on
// its recording tab, then its Qt twin.
struct VolumeControl {
    QString program;
    QStringList arguments;
};

}  // namespace

FrmMessage::FrmMessage(platform::MessageBoxes& boxes, platform::SettingsStore& settings,
                       platform::Shell& shell)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::Window),
      boxes_(boxes),
      settings_(settings),
      shell_(shell) {
    initHelpArt();
    setObjectName(QStringLiteral("FrmMessage"));
    setWindowTitle(help::kTitle);
    setFixedSize(help::kPictureSize);
    // Closing this window alone never ends the program: the main window may be in the
    // notification area.
    setAttribute(Qt::WA_QuitOnClose, false);

    PicMessage_ = new QLabel(this);
    PicMessage_->setObjectName(QStringLiteral("PicMessage"));
    PicMessage_->setGeometry(QRect(QPoint(0, 0), help::kPictureSize));
    PicMessage_->setPixmap(QPixmap(QStringLiteral(":/help/HelpMessage.png")));
    PicMessage_->setAccessibleDescription(help::helpParagraphs().join(QLatin1Char('\n')));
    PicMessage_->installEventFilter(this);

    ChkShow_ = new QCheckBox(this);
    ChkShow_->setObjectName(QStringLiteral("ChkShow"));
    ChkShow_->setGeometry(help::kChkShow);
    ChkShow_->setAccessibleName(help::kDoNotShowCaption);

    ImgOpen_ = imageButton(this, "ImgOpen", QStringLiteral(":/help/HelpOpen.png"), help::kImgOpen,
                           QStringLiteral("Click to open the Recording Control Window"));
    ImgEmail_ = imageButton(this, "ImgEmail", QStringLiteral(":/help/HelpEmail.png"),
                            help::kImgEmail, QStringLiteral("Click to send an email to me."));
    PicClose_ = imageButton(this, "PicClose", QStringLiteral(":/help/HelpClose.png"),
                            help::kPicClose, QStringLiteral("Close"));
    connect(ImgOpen_, &ClickLabel::Click, this, &FrmMessage::ImgOpen_Click);
    connect(ImgEmail_, &ClickLabel::Click, this, &FrmMessage::ImgEmail_Click);
    connect(PicClose_, &ClickLabel::Click, this, &FrmMessage::PicClose_Click);
}

void FrmMessage::PicMessage_MouseDown() {
    platform::trapErrors(boxes_, [this] {
        if (QWindow* window = windowHandle()) {
            window->startSystemMove();
        }
    });
}

void FrmMessage::ImgOpen_Click() {
    platform::trapErrors(boxes_, [this] {
        const VolumeControl controls[] = {
            {QStringLiteral("pavucontrol"), {QStringLiteral("--tab=2")}},
            {QStringLiteral("pavucontrol-qt"), {}},
        };
        for (const VolumeControl& control : controls) {
            QString ignored;
            if (shell_.startProgram(control.program, control.arguments, &ignored)) {
                return;
            }
        }
        throw platform::Error(
            53, platform::programName(),
            QStringLiteral("No volume control was found on this computer (neither pavucontrol "
                           "nor pavucontrol-qt is installed). Install one of them, or choose "
                           "the recording source in your desktop's sound settings."));
    });
}

void FrmMessage::ImgEmail_Click() {
    platform::trapErrors(boxes_, [this] { chrome::OpenLink(shell_, chrome::MailUrl(), 3); });
}

void FrmMessage::PicClose_Click() {
    platform::trapErrors(boxes_, [this] { close(); });
}

void FrmMessage::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        PicClose_Click();
    }
    event->accept();
}

void FrmMessage::closeEvent(QCloseEvent* event) {
    // The close is never refused: a store that cannot be written is reported.
    platform::trapErrors(boxes_, [this] {
        settings_.SaveSetting(QStringLiteral("Zorvita"), QStringLiteral("Message"),
                              QStringLiteral("Show"),
                              ChkShow_->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    });
    event->accept();
}

bool FrmMessage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == PicMessage_ && event->type() == QEvent::MouseButtonPress) {
        PicMessage_MouseDown();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace app
