#pragma once

#include <QString>

namespace platform {

class Registry;

// Numbers of the errors a failed change raises.
inline constexpr long kErrSettingsUnreadable = 30001;  // the file exists but cannot be read
inline constexpr long kErrSettingsBusy = 30002;        // another program kept the store busy
inline constexpr long kErrSettingsNotSaved = 30003;    // writing the file failed

// The settings store shared by both programs: text values addressed by application, section and
// key. An absent key reads as empty text; writing creates what is missing; nothing is deleted.
class SettingsStore {
  public:
    explicit SettingsStore(Registry& registry) : registry_(registry) {}

    QString GetSetting(const QString& appName, const QString& section, const QString& key) const;
    // Throws platform::Error (one of the numbers above, a description for the user) when the
    // value could not be saved; the store's file is then as it was.
    void SaveSetting(const QString& appName, const QString& section, const QString& key,
                     const QString& value);

  private:
    Registry& registry_;
};

}  // namespace platform
