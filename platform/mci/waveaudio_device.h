#pragma once

#include "platform/audio/pulse_audio.h"
#include "platform/mci/mci.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

// The size of a canonical WAVE header: RIFF, "fmt " (16 bytes of PCM format) and "data".
inline constexpr std::uint64_t kWaveHeaderBytes = 44;

// The most sample data a RIFF file can describe: its 32-bit RIFF size counts 36 header bytes too.
inline constexpr std::uint64_t kMaxWaveDataBytes = 0xFFFFFFFFull - 36;

// The canonical 44-byte header of a 16-bit (or any whole-byte) PCM file holding dataBytes.
QByteArray waveHeader(int channels, int samplesPerSec, int bitsPerSample, std::uint64_t dataBytes);

// Where the wave-audio device gets its sound: 16-bit little-endian PCM pushed from another thread.
class WaveCapture {
  public:
    virtual ~WaveCapture() = default;
    // Starts delivering to the consumer; returns an MCI result code.
    virtual unsigned long start(int channels, int samplesPerSec, CaptureConsumer consumer) = 0;
    // Ends delivery; once it returns the consumer is not called again.
    virtual void stop() = 0;
};

// Captures the monitor of the sound server's default output: what the sound card plays. The user
// can move the stream to another source with the desktop's recording control.
std::unique_ptr<WaveCapture> openMonitorCapture(unsigned long* error);

// Captures only this process's media player: its own playback stream, followed when it is
// replaced, silence while it has none.
std::unique_ptr<WaveCapture> openPlayerCapture(unsigned long* error);

struct WaveAudioOptions {
    // Where captured sound waits until it is saved. Saving into the same file system costs no
    // copy and no second share of the disk; empty means the system's temporary folder.
    QString tempFolder;
    // The most sample data one recording keeps (whole frames are kept below it).
    std::uint64_t maxDataBytes = kMaxWaveDataBytes;
    // Makes the sound source when a device opens; the default is openMonitorCapture.
    std::function<std::unique_ptr<WaveCapture>(unsigned long* error)> openCapture;
};

// The "waveaudio" device type: "open new type waveaudio alias <a>", then set/status/record/stop/
// save/close on that alias.
MciDeviceFactory waveAudioFactory(WaveAudioOptions options = {});

inline void registerWaveAudio(MciSession& session, WaveAudioOptions options = {}) {
    session.registerType(QStringLiteral("waveaudio"), waveAudioFactory(std::move(options)));
}

}  // namespace platform
