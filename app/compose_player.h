#pragma once

#include "app/window_adapters.h"
#include "playback/playback.h"
#include "recording/ModRecorder.h"
#include "recording/RecordFlow.h"

#include <QDateTime>

#include <functional>

namespace platform {
class Mci;
class MpvPlayer;
}  // namespace platform

namespace app {

class FrmFM;

// What the window's player and recorder need of the program.
struct MediaServices {
    // The program's one MCI session: the start sound's clip device and the wave recorder.
    platform::Mci& mci;
    // The number of capture sources of the sound server (0 when none is reachable).
    std::function<int()> captureDeviceCount;
    // Now, for a recording's name.
    std::function<QDateTime()> now;
    // Whether the player's sound can be recorded now (see RecordFlow::Services).
    std::function<bool()> playerSoundReady = {};
};

// The number of the error raised when the media player control cannot be created; Main takes
// it for a missing player.
inline constexpr long kErrCannotCreatePlayer = 429;

// The window's media parts: the media player control WM at the top-left corner of PicHolder, the
// player handlers, the recorder with the record flow, and the adapters through which they reach
// the window's controls. Every handler is connected to its control here.
class PlayerParts {
  public:
    PlayerParts(FrmFM& window, MediaServices services);
    ~PlayerParts();
    PlayerParts(const PlayerParts&) = delete;
    PlayerParts& operator=(const PlayerParts&) = delete;

    platform::MpvPlayer* WM() const { return wm_; }
    playback::Playback& playback() { return playback_; }
    ModRecorder& recorder() { return recorder_; }
    ::RecordFlow& recordFlow() { return flow_; }

  private:
    void connectControls(FrmFM& w);

    MessageLabel label_;
    ModRecorder recorder_;
    WindowRecordView view_;
    ::RecordFlow flow_;
    WindowRecordTag tag_;
    WindowStationList stations_;
    WindowChrome chrome_;
    // Owned by PicHolder, as every control is owned by its container.
    platform::MpvPlayer* wm_;
    playback::Playback playback_;
};

}  // namespace app
