#pragma once

#include "platform/audio/pulse_audio.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

// The application name the media player gives the sound server (libmpv's "audio-client-name").
// With this process's id it marks the player's own playback streams; other sounds of this process
// (the start sound) use other names.
inline const QString kPlayerAudioName = QStringLiteral("Zorvita");

// A playback stream of the sound server (a "sink input") and whose it is.
struct PlaybackStream {
    std::uint32_t index = 0;
    std::uint32_t sink = 0;
    QString applicationName;
    long long processId = 0;
};

// The position of the player's stream among the server's playback streams: the newest one of the
// given process with the player's application name; -1 when there is none.
int findPlayerStream(const std::vector<PlaybackStream>& streams, long long processId,
                     const QString& applicationName = kPlayerAudioName);

struct PlayerCaptureShared;

// Records this process's player alone: a capture stream that monitors the player's playback
// stream, so it hears exactly what the player sends (its own volume applied), not the output's
// volume and no other program. When that stream goes away (the station drops and reconnects, the
// player is moved to another output) the capture goes on with the player's next stream, and the
// time between becomes silence; it never takes anything else.
class PlayerStreamCapture {
  public:
    static std::unique_ptr<PlayerStreamCapture> connect(int timeoutMs, QString* error);
    ~PlayerStreamCapture();
    PlayerStreamCapture(const PlayerStreamCapture&) = delete;
    PlayerStreamCapture& operator=(const PlayerStreamCapture&) = delete;

    bool listPlaybackStreams(std::vector<PlaybackStream>* streams, QString* error);

    // Starts delivering 16-bit little-endian PCM to the consumer on the client's thread; fails
    // when the player has no playback stream.
    bool start(int channels, int rate, CaptureConsumer consumer, QString* error);
    // Waits, at most drainMs, for what the server still holds back, then stops; once it returns
    // the consumer is not called again.
    void stop(int drainMs);
    // How many of the player's streams the capture has followed since it started (1 without a
    // change).
    int streamsFollowed() const;

  private:
    explicit PlayerStreamCapture(std::shared_ptr<PlayerCaptureShared> shared, int timeoutMs);
    std::shared_ptr<PlayerCaptureShared> shared_;
    int timeoutMs_;
};

// Whether this process's player has a playback stream at the sound server now; false without a
// reachable server.
bool playerStreamPlaying(int timeoutMs = 2000);

}  // namespace platform
