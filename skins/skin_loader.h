#pragma once

#include <QString>

#include <vector>

class QListWidget;
class QWidget;

namespace platform {
class MessageBoxes;
class SettingsStore;
}  // namespace platform

namespace skins {

// The window a skin dresses: its picture controls and the controls of the layout are found by
// their design names among the window's children; the colours go to the two lists of targets.
struct SkinWindow {
    QWidget* window = nullptr;
    QListWidget* lstSkins = nullptr;
    std::vector<QWidget*> backColorTargets;
    std::vector<QWidget*> foreColorTargets;
};

// Lists the skins of the application folder's "Skins" folder and loads the current one.
class SkinLoader {
  public:
    SkinLoader(platform::SettingsStore& settings, platform::MessageBoxes& boxes, QString appFolder,
               SkinWindow window);

    // Fills the skin list ("Spider Man" first, then one entry per skin folder) and loads the skin
    // named by the setting Skin/Current.
    void GetAvailableSkins();
    // Applies the named skin; a blank name or "Spider Man" (in any case) is the built-in one,
    // which the window has by itself. A skin that cannot be read is reported and nothing of it
    // is applied or stored.
    void LoadSkin(const QString& name);

    // The name LoadSkin was last asked to load.
    const QString& CurrentSkinName() const { return currentSkinName_; }
    QString skinsFolder() const;

  private:
    void apply(const QString& folder, const QString& name);

    platform::SettingsStore& settings_;
    platform::MessageBoxes& boxes_;
    QString appFolder_;
    SkinWindow window_;
    QString currentSkinName_;
};

}  // namespace skins
