#pragma once

#include "app/compose_player.h"

#include <QString>

#include <functional>
#include <memory>

namespace platform {
class MessageBoxes;
class Registry;
class SettingsStore;
class Shell;
class SingleInstance;
}  // namespace platform

namespace app {

class FrmFM;

// The media player's preferences that the program presets on every start.
inline const QString kPlayerPreferencesKey =
    QStringLiteral("Software\\Microsoft\\MediaPlayer\\Preferences");

// Writes the two media player preferences (the visualisation shown while audio plays). Failures
// are ignored.
void SetPlayerPreferences(platform::Registry& registry);

struct MainServices {
    platform::MessageBoxes& boxes;
    platform::SettingsStore& settings;
    platform::Registry& registry;
    platform::Shell& shell;
    platform::SingleInstance& instance;
    QString appFolder;
    // Ends the program at once.
    std::function<void()> endProgram;
    // Shows the recording-help window, modeless.
    std::function<void()> showHelpWindow;
    // Gives the new main window further subsystems before its load sequence runs.
    std::function<void(FrmFM&)> composeWindow;
    // What the window's player and recorder need.
    MediaServices media;
};

struct MainResult {
    // The main window, or null when the program is to end (another instance runs, or the window
    // could not be created).
    std::unique_ptr<FrmFM> window;
    bool helpWindowShown = false;
};

// The program's start: refuses a second instance (only when a live instance holds the lock; any
// other failure to take it starts the program with a note on stderr), presets the player, shows
// the main window and then, unless the user turned it off, the recording-help window.
MainResult Main(MainServices& services);

}  // namespace app
