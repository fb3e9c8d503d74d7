#pragma once

#include "platform/mci/waveaudio_device.h"

#include <functional>
#include <memory>

namespace platform {
class SettingsStore;
}  // namespace platform

// What a recording of the main window takes, the setting "Recording"/"Source": "Player" (also
// when unset) only the player's own sound, "System" everything the default output plays.
enum class RecordingSource { Player, System };

RecordingSource ReadRecordingSource(const platform::SettingsStore& settings);
void SaveRecordingSource(platform::SettingsStore& settings, RecordingSource source);

// The wave-audio device's sound source as the setting stands when a device opens.
std::function<std::unique_ptr<platform::WaveCapture>(unsigned long* error)> CaptureAsSet(
    const platform::SettingsStore& settings);

// For the record flow: with "Player", whether the player has a stream to record yet.
std::function<bool()> PlayerSoundReadyAsSet(const platform::SettingsStore& settings);
