#pragma once

#include <QString>

class QListWidget;

namespace platform {
class MessageBoxes;
class SettingsStore;
}  // namespace platform

namespace skins {

// Lists the skins of the application folder's "Skins" folder and loads the current one.
class SkinLoader {
  public:
    SkinLoader(platform::SettingsStore& settings, platform::MessageBoxes& boxes, QString appFolder,
               QListWidget& lstSkins);

    // Fills the skin list ("Spider Man" first, then one entry per skin folder) and loads the skin
    // named by the setting Skin/Current.
    void GetAvailableSkins();
    // Applies the named skin; a blank name or "Spider Man" (in any case) is the built-in one.
    void LoadSkin(const QString& name);

    // The name LoadSkin was last asked to load.
    const QString& CurrentSkinName() const { return currentSkinName_; }
    QString skinsFolder() const;

  private:
    platform::SettingsStore& settings_;
    platform::MessageBoxes& boxes_;
    QString appFolder_;
    QListWidget& lstSkins_;
    QString currentSkinName_;
};

}  // namespace skins
