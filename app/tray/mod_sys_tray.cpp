#include "app/tray/mod_sys_tray.h"

#include "platform/ui/report_error.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

namespace app {

QtTrayIcon::QtTrayIcon(QMenu* menu) : icon_(std::make_unique<QSystemTrayIcon>()) {
    icon_->setContextMenu(menu);
    connect(icon_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick) {
                    Q_EMIT DoubleClicked();
                }
            });
}

QtTrayIcon::~QtTrayIcon() {
    icon_->hide();
}

bool QtTrayIcon::available() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool QtTrayIcon::visible() const {
    return icon_->isVisible();
}

void QtTrayIcon::add(const QIcon& icon, const QString& tip) {
    icon_->setIcon(icon);
    icon_->setToolTip(tip);
    icon_->show();
}

void QtTrayIcon::modify(const QIcon& icon, const QString& tip) {
    icon_->setIcon(icon);
    icon_->setToolTip(tip);
}

void QtTrayIcon::remove() {
    icon_->hide();
}

ModSysTray::ModSysTray(QWidget& window, std::unique_ptr<TrayIcon> icon,
                       platform::MessageBoxes& boxes, Sources sources)
    : window_(window), boxes_(boxes), sources_(std::move(sources)) {
    replaceIcon(std::move(icon));
}

ModSysTray::~ModSysTray() {
    UpdateTrayIcon(2);
}

void ModSysTray::replaceIcon(std::unique_ptr<TrayIcon> icon) {
    if (icon_) {
        UpdateTrayIcon(2);
    }
    icon_ = std::move(icon);
    connect(icon_.get(), &TrayIcon::DoubleClicked, this, &ModSysTray::mnuShow_Click);
}

QString ModSysTray::TrayTip(bool playing, const QString& station) {
    QString tip = QStringLiteral("Velmo's Online Radio");
    if (playing) {
        tip += QStringLiteral(" is Playing : ") + station;
    }
    return CutTip(tip);
}

QString ModSysTray::CutTip(const QString& tip, int maxBytes) {
    int bytes = 0;
    int i = 0;
    while (i < tip.size()) {
        const QChar c = tip.at(i);
        int units = 1;
        int size = 3;
        if (c.unicode() < 0x80) {
            size = 1;
        } else if (c.unicode() < 0x800) {
            size = 2;
        } else if (c.isHighSurrogate() && i + 1 < tip.size() && tip.at(i + 1).isLowSurrogate()) {
            units = 2;
            size = 4;
        }
        if (bytes + size > maxBytes) {
            break;
        }
        bytes += size;
        i += units;
    }
    return tip.left(i);
}

void ModSysTray::UpdateTrayIcon(int message) {
    // The desktop's answer is not looked at: a missing or busy notification area is no error.
    platform::ignoreErrors([&] {
        switch (message) {
            case 0:
                if (icon_->available()) {
                    icon_->add(window_.windowIcon(),
                               TrayTip(sources_.playing(), sources_.currentStation()));
                }
                break;
            case 1:
                if (icon_->visible()) {
                    icon_->modify(window_.windowIcon(),
                                  TrayTip(sources_.playing(), sources_.currentStation()));
                }
                break;
            case 2:
                if (icon_->visible()) {
                    icon_->remove();
                }
                break;
            default:
                break;
        }
    });
}

void ModSysTray::PicMin_Click() {
    platform::trapErrors(boxes_, [this] {
        if (sources_.endRollover) {
            sources_.endRollover();
        }
        window_.setWindowState(window_.windowState() | Qt::WindowMinimized);
    });
}

// Without a notification area the window only minimises to the taskbar: hidden, it could not
// be brought back.
void ModSysTray::Form_Resize() {
    platform::trapErrors(boxes_, [this] {
        if (!window_.isMinimized() || !icon_->available() || icon_->visible()) {
            return;
        }
        UpdateTrayIcon(0);
        window_.hide();
    });
}

void ModSysTray::mnuShow_Click() {
    platform::trapErrors(boxes_, [this] {
        window_.setWindowState(window_.windowState() & ~Qt::WindowMinimized);
        window_.show();
        window_.raise();
        window_.activateWindow();
        UpdateTrayIcon(2);
    });
}

}  // namespace app
