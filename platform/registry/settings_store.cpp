#include "platform/registry/settings_store.h"

#include "platform/registry/registry.h"
#include "platform/ui/error.h"

namespace platform {

namespace {

QString sectionKey(const QString& appName, const QString& section) {
    return QStringLiteral("Software\\") + appName + QLatin1Char('\\') + section;
}

Error saveError(RegStatus status, const Registry& registry) {
    const QString source = programName() + QStringLiteral(".SettingsStore");
    const QString file = QStringLiteral("\r\n") + registry.filePath();
    switch (status) {
        case RegStatus::AccessDenied:
            return Error(kErrSettingsUnreadable, source,
                         QStringLiteral("The setting was not saved: the settings file cannot be "
                                        "read (%1). The file was left as it is:")
                                 .arg(registry.lastError()) +
                             file);
        case RegStatus::Busy:
            return Error(kErrSettingsBusy, source,
                         QStringLiteral("The setting was not saved: the settings file is in use "
                                        "by another program. Please try again.") +
                             file);
        default:
            return Error(kErrSettingsNotSaved, source,
                         QStringLiteral("The setting was not saved: the settings file could not "
                                        "be written (%1).")
                                 .arg(registry.lastError()) +
                             file);
    }
}

}  // namespace

QString SettingsStore::GetSetting(const QString& appName, const QString& section,
                                  const QString& key) const {
    const auto value =
        registry_.queryValue(RegRoot::CurrentUser, sectionKey(appName, section), key);
    if (!value) {
        return {};
    }
    return value->kind == RegKind::String ? value->text : QString::number(value->dword);
}

void SettingsStore::SaveSetting(const QString& appName, const QString& section, const QString& key,
                                const QString& value) {
    const QString path = sectionKey(appName, section);
    const RegValue v{RegKind::String, value, 0};
    RegStatus status = registry_.setValue(RegRoot::CurrentUser, path, key, v);
    if (status == RegStatus::FileNotFound) {
        status = registry_.createKey(RegRoot::CurrentUser, path);
        if (status == RegStatus::Ok) {
            status = registry_.setValue(RegRoot::CurrentUser, path, key, v);
        }
    }
    if (status != RegStatus::Ok) {
        throw saveError(status, registry_);
    }
}

}  // namespace platform
