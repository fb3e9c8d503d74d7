#pragma once

#include <QPoint>

class QCheckBox;
class QWidget;

namespace platform {
class SettingsStore;
}  // namespace platform

namespace app {

class ClickLabel;

// The settings panel's check box "Record only this player's sound": ticked, recordings take only
// the player's own stream; unticked, everything the default output plays. Like the news check box,
// its caption toggles it and nothing is saved until OK.
class RecordSourceOption {
  public:
    RecordSourceOption(QWidget* panel, QPoint at, platform::SettingsStore& settings);

    // Shows the stored setting (ticked when unset).
    void Load();
    // OK: stores the box's value.
    void Save();

    QCheckBox* ChkRecordOnlyPlayer() const { return check_; }
    ClickLabel* LblRecordOnlyPlayer() const { return label_; }

  private:
    platform::SettingsStore& settings_;
    QCheckBox* check_;
    ClickLabel* label_;
};

}  // namespace app
