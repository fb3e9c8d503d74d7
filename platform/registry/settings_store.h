#pragma once

#include <QString>

namespace platform {

class Registry;

// The settings store shared by both programs: text values addressed by application, section and
// key. An absent key reads as empty text; writing creates what is missing; nothing is deleted.
class SettingsStore {
  public:
    explicit SettingsStore(Registry& registry) : registry_(registry) {}

    QString GetSetting(const QString& appName, const QString& section, const QString& key) const;
    void SaveSetting(const QString& appName, const QString& section, const QString& key,
                     const QString& value);

  private:
    Registry& registry_;
};

}  // namespace platform
