#include "stations/FrmNew.h"

#include "platform/ui/message_box.h"
#include "platform/ui/report_error.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

FrmNew::FrmNew(platform::MessageBoxes& boxes, AddStation add, QWidget* parent)
    : QDialog(parent),
      LblStation(new QLabel(QStringLiteral("Name"), this)),
      TxtName(new QLineEdit(this)),
      LblURL(new QLabel(QStringLiteral("URL"), this)),
      TxtURL(new QLineEdit(this)),
      CmdOK(new QPushButton(QStringLiteral("&OK"), this)),
      CmdCancel(new QPushButton(QStringLiteral("&Cancel"), this)),
      boxes_(boxes),
      add_(std::move(add)) {
    setObjectName(QStringLiteral("FrmNew"));
    setWindowTitle(QStringLiteral("Add a new station"));
    setModal(true);
    TxtName->setObjectName(QStringLiteral("TxtName"));
    TxtURL->setObjectName(QStringLiteral("TxtURL"));
    TxtName->setMinimumWidth(320);
    auto* grid = new QGridLayout(this);
    grid->addWidget(LblStation, 0, 0);
    grid->addWidget(TxtName, 0, 1);
    grid->addWidget(LblURL, 1, 0);
    grid->addWidget(TxtURL, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CmdOK);
    buttons->addWidget(CmdCancel);
    grid->addLayout(buttons, 2, 0, 1, 2);
    CmdOK->setDefault(true);
    connect(CmdOK, &QPushButton::clicked, this, [this] { CmdOK_Click(); });
    connect(CmdCancel, &QPushButton::clicked, this, [this] { CmdCancel_Click(); });
}

bool FrmNew::refuse(const QString& message, QLineEdit* field) {
    boxes_.show(message, platform::MsgInformation, platform::kAppTitle);
    field->setFocus();
    return false;
}

void FrmNew::CmdOK_Click() {
    platform::trapErrors(boxes_, [this] {
        const QString url = TxtURL->text().trimmed();
        const QString name = TxtName->text().trimmed();
        if (url.isEmpty()) {
            refuse(QStringLiteral("Please enter the station's URL"), TxtURL);
            return;
        }
        if (name.isEmpty()) {
            refuse(QStringLiteral("Please enter the station's name"), TxtName);
            return;
        }
        // The station file separates name and URL with "==>": a value holding it would be
        // skipped at the next load, so the station would silently disappear.
        if (url.contains(QStringLiteral("==>"))) {
            refuse(QStringLiteral("The station's URL cannot contain \"==>\""), TxtURL);
            return;
        }
        if (name.contains(QStringLiteral("==>"))) {
            refuse(QStringLiteral("The station's name cannot contain \"==>\""), TxtName);
            return;
        }
        add_(name, url);
        accept();
    });
}

void FrmNew::CmdCancel_Click() {
    reject();
}
