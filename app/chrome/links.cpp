#include "app/chrome/links.h"

#include "app/chrome/hover_hook.h"
#include "common/VendorSite.h"
#include "platform/shell/shell.h"

#include <QLabel>

namespace chrome {

QString FaqUrl() {
    return VendorUrl(QStringLiteral("/FM/FAQ.htm"));
}

QString HomeUrl() {
    return VendorUrl();
}

// The author's address is at the vendor's host; a port of a local site is no part of it.
QString MailUrl() {
    const QString host = VendorHost().section(QLatin1Char(':'), 0, 0);
    return QStringLiteral("mailto:velmo@") + host;
}

QString SkinsUrl() {
    return VendorUrl(QStringLiteral("/FM/Skins.htm"));
}

bool OpenLink(platform::Shell& shell, const QString& target, int) {
    return shell.open(target);
}

void LblMessage_Click(platform::Shell& shell, const QLabel& lblMessage) {
    if (lblMessage.text() == kCreditText) {
        OpenLink(shell, HomeUrl(), 3);
    }
}

}  // namespace chrome
