#include "recording/RecordingSource.h"

#include "platform/audio/player_stream.h"
#include "platform/registry/settings_store.h"

namespace {
const QString kApp = QStringLiteral("Zorvita");
const QString kSection = QStringLiteral("Recording");
const QString kKey = QStringLiteral("Source");
}  // namespace

RecordingSource ReadRecordingSource(const platform::SettingsStore& settings) {
    return settings.GetSetting(kApp, kSection, kKey)
                       .trimmed()
                       .compare(QLatin1String("System"), Qt::CaseInsensitive) == 0
               ? RecordingSource::System
               : RecordingSource::Player;
}

void SaveRecordingSource(platform::SettingsStore& settings, RecordingSource source) {
    settings.SaveSetting(
        kApp, kSection, kKey,
        source == RecordingSource::System ? QStringLiteral("System") : QStringLiteral("Player"));
}

std::function<std::unique_ptr<platform::WaveCapture>(unsigned long* error)> CaptureAsSet(
    const platform::SettingsStore& settings) {
    return [&settings](unsigned long* error) {
        return ReadRecordingSource(settings) == RecordingSource::System
                   ? platform::openMonitorCapture(error)
                   : platform::openPlayerCapture(error);
    };
}

std::function<bool()> PlayerSoundReadyAsSet(const platform::SettingsStore& settings) {
    return [&settings] {
        return ReadRecordingSource(settings) == RecordingSource::System ||
               platform::playerStreamPlaying();
    };
}
