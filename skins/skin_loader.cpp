#include "skins/skin_loader.h"

#include "platform/registry/settings_store.h"
#include "platform/ui/error.h"
#include "platform/ui/message_box.h"
#include "platform/ui/report_error.h"
#include "skins/builtin_skin.h"
#include "skins/picture_box.h"
#include "skins/skin_layout.h"
#include "skins/skin_pictures.h"
#include "skins/skin_settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPixmap>

#include <optional>
#include <utility>

namespace skins {

namespace {

const QString kApp = QStringLiteral("Zorvita");
const QString kSection = QStringLiteral("Skin");

QColor colourOf(long number) {
    return QColor(static_cast<int>(number & 0xFF), static_cast<int>((number >> 8) & 0xFF),
                  static_cast<int>((number >> 16) & 0xFF));
}

QString settingText(const std::optional<long>& colour) {
    return colour ? QString::number(*colour) : QString();
}

QByteArray readSettingsFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw platform::Error(75, platform::programName(),
                              QStringLiteral("Path/File access error"));
    }
    // One byte more than allowed is enough to tell a file that is too large.
    return file.read(kMaxSkinSettingsBytes + 1);
}

struct LoadedPicture {
    QPixmap picture;
    QStringList controls;
};

}  // namespace

SkinLoader::SkinLoader(platform::SettingsStore& settings, platform::MessageBoxes& boxes,
                       QString appFolder, SkinWindow window)
    : settings_(settings),
      boxes_(boxes),
      appFolder_(std::move(appFolder)),
      window_(std::move(window)) {}

QString SkinLoader::skinsFolder() const {
    return appFolder_ + QStringLiteral("/Skins");
}

void SkinLoader::GetAvailableSkins() {
    QListWidget& list = *window_.lstSkins;
    platform::ignoreErrors([&] {
        list.clear();
        list.addItem(kBuiltinSkinName);
        const QDir folder(skinsFolder());
        if (!folder.exists()) {
            list.setCurrentRow(0);
            return;
        }
        const QStringList names =
            folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
        for (const QString& name : names) {
            list.addItem(name);
        }
        LoadSkin(settings_.GetSetting(kApp, kSection, QStringLiteral("Current")));
    });
}

void SkinLoader::LoadSkin(const QString& name) {
    currentSkinName_ = name;
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || trimmed.compare(kBuiltinSkinName, Qt::CaseInsensitive) == 0) {
        window_.lstSkins->setCurrentRow(0);
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
    platform::trapErrors(boxes_, [&] { apply(folder, trimmed); });
}

// Everything that can fail in reading the skin is read before anything is changed, so a bad skin
// leaves the window as it was; only the layout, which the skin's numbers drive control by
// control, can stop half-way.
void SkinLoader::apply(const QString& folder, const QString& name) {
    const SkinSettings skin =
        ReadSkinSettings(readSettingsFile(folder + QStringLiteral("/Settings.ini")));
    std::vector<LoadedPicture> pictures;
    for (const SkinPictureFile& file : skinPictureFiles()) {
        const QString path = folder + QLatin1Char('/') + file.file;
        if (QFileInfo(path).isFile()) {
            pictures.push_back({QPixmap::fromImage(ReadSkinPicture(path)), file.controls});
        }
    }

    QListWidget& list = *window_.lstSkins;
    const QString wanted = name.toUpper();
    for (int i = 0; i < list.count(); ++i) {
        if (list.item(i)->text().trimmed().toUpper() == wanted) {
            list.setCurrentRow(i);
        }
    }

    settings_.SaveSetting(kApp, kSection, QStringLiteral("BackColor"), settingText(skin.backColor));
    settings_.SaveSetting(kApp, kSection, QStringLiteral("ForeColor"), settingText(skin.foreColor));
    settings_.SaveSetting(kApp, kSection, QStringLiteral("ComboBackColor"),
                          settingText(skin.comboBackColor));

    // A colour the file does not give is colour 0, black.
    const QColor back = colourOf(skin.backColor.value_or(0));
    const QColor fore = colourOf(skin.foreColor.value_or(0));
    for (QWidget* target : window_.backColorTargets) {
        applyBackColor(*target, back);
    }
    for (QWidget* target : window_.foreColorTargets) {
        applyForeColor(*target, fore);
        // The chosen entry of a list is shown in reverse, so it reads in any skin's colours.
        if (auto* list = qobject_cast<QListWidget*>(target)) {
            QPalette pal = list->palette();
            pal.setColor(QPalette::Highlight, fore);
            pal.setColor(QPalette::HighlightedText, back);
            list->setPalette(pal);
        }
    }

    for (const LoadedPicture& loaded : pictures) {
        for (const QString& control : loaded.controls) {
            if (auto* box = window_.window->findChild<PictureBox*>(control)) {
                box->setPicture(loaded.picture);
            }
        }
    }

    const QStringList positions = PositionValues(skin.positions);
    if (!positions.isEmpty()) {
        AdjustPosition(*window_.window, positions);
    }
}

}  // namespace skins
