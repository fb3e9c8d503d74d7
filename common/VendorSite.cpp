#include "common/VendorSite.h"

#include <QtGlobal>

QString VendorHost() {
    const QString override = qEnvironmentVariable("ZORVITA_VENDOR_HOST").trimmed();
    return override.isEmpty() ? QStringLiteral(ZORVITA_DEFAULT_VENDOR_HOST) : override;
}

QString VendorUrl(const QString& path) {
    return QStringLiteral("http://") + VendorHost() + (path.isEmpty() ? QStringLiteral("/") : path);
}
