#include "platform/registry/settings_store.h"

#include "platform/registry/registry.h"

namespace platform {

namespace {
QString sectionKey(const QString& appName, const QString& section) {
    return QStringLiteral("Software\\") + appName + QLatin1Char('\\') + section;
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
    RegValue v{RegKind::String, value, 0};
    if (registry_.setValue(RegRoot::CurrentUser, path, key, v) == RegStatus::FileNotFound) {
        registry_.createKey(RegRoot::CurrentUser, path);
        registry_.setValue(RegRoot::CurrentUser, path, key, v);
    }
}

}  // namespace platform
