#include "skins/skin_loader.h"

#include "platform/registry/settings_store.h"
#include "platform/ui/message_box.h"
#include "platform/ui/report_error.h"
#include "skins/builtin_skin.h"

#include <QDir>
#include <QFileInfo>
#include <QListWidget>

#include <utility>

namespace skins {

namespace {
const QString kApp = QStringLiteral("Zorvita");
const QString kSection = QStringLiteral("Skin");
}  // namespace

SkinLoader::SkinLoader(platform::SettingsStore& settings, platform::MessageBoxes& boxes,
                       QString appFolder, QListWidget& lstSkins)
    : settings_(settings), boxes_(boxes), appFolder_(std::move(appFolder)), lstSkins_(lstSkins) {}

QString SkinLoader::skinsFolder() const {
    return appFolder_ + QStringLiteral("/Skins");
}

void SkinLoader::GetAvailableSkins() {
    platform::ignoreErrors([&] {
        lstSkins_.clear();
        lstSkins_.addItem(kBuiltinSkinName);
        const QDir folder(skinsFolder());
        if (!folder.exists()) {
            lstSkins_.setCurrentRow(0);
            return;
        }
        const QStringList names =
            folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
        for (const QString& name : names) {
            lstSkins_.addItem(name);
        }
        LoadSkin(settings_.GetSetting(kApp, kSection, QStringLiteral("Current")));
    });
}

void SkinLoader::LoadSkin(const QString& name) {
    currentSkinName_ = name;
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || trimmed.compare(kBuiltinSkinName, Qt::CaseInsensitive) == 0) {
        lstSkins_.setCurrentRow(0);
        return;
    }
    const QString folder = skinsFolder() + QLatin1Char('/') + name;
    if (!QFileInfo(folder + QStringLiteral("/Settings.ini")).isFile()) {
        for (const char* key : {"BackColor", "ForeColor", "ComboBackColor"}) {
            settings_.SaveSetting(kApp, kSection, QString::fromLatin1(key), QString());
        }
        settings_.SaveSetting(kApp, kSection, QStringLiteral("Current"), kBuiltinSkinName);
        boxes_.show(QStringLiteral("Below mentioned Skin's folder was not found. Please make sure "
                                   "the folder is present at the specified location.\r\n\r\n") +
                        folder,
                    platform::MsgCritical, platform::kAppTitle);
        return;
    }
    const QString wanted = trimmed.toUpper();
    for (int i = 0; i < lstSkins_.count(); ++i) {
        if (lstSkins_.item(i)->text().trimmed().toUpper() == wanted) {
            lstSkins_.setCurrentRow(i);
        }
    }
}

}  // namespace skins
