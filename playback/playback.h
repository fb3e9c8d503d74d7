#pragma once

#include <QObject>
#include <QRandomGenerator>
#include <QString>
#include <QTimer>

namespace platform {
class MediaPlayer;
class MessageBoxes;
class SettingsStore;
class Mci;
}  // namespace platform

namespace playback {

class StationList;
class PlayerWindow;
class RecordFlow;

// The player handlers of the main window: Play and Stop, the station list's clicks, the player's
// notifications with the playing animation, the View menu, full screen, the tray's Stop/Play,
// the volume control and the start sound. The window owns this object and calls the handlers
// from its controls' events; the player's StatusChange and MouseDown are connected here.
class Playback final : public QObject {
    Q_OBJECT

  public:
    Playback(platform::MediaPlayer& player, StationList& stations, PlayerWindow& window,
             RecordFlow& record, platform::MessageBoxes& boxes, platform::SettingsStore& settings,
             platform::Mci& mci, QString appFolder, QObject* parent = nullptr);
    ~Playback() override;

    static const QString kUnavailableMessage;
    static constexpr int kVolumeShownTwips = 2100;
    static constexpr int kVolumeHiddenTwips = 2760;
    static constexpr int kIdleIcon = 6;

    void PicPlay_Click();
    void PicStop_Click();
    void LstStations_Click();
    void LstStations_DblClick();
    void WM_StatusChange();
    void WM_MouseDown(int button, int shift, int x, int y);
    void mnuFull_Click();
    void MnuPause_Click();
    void mnuShowVol_Click();
    void TmrFlash_Timer();
    void GetVolumeControlSettings();
    void PlayName();
    // Start-up: the player's stretch-to-fit on and its URL invocation off.
    void ApplyStartupSettings();
    // Start-up: selects the last-played station, or the first one.
    void SelectLastPlayed();
    // The window was rebuilt (a new skin): nothing plays, and the next Play plays the start sound
    // again, as in a new window.
    void Reset();

    bool IsPlaying() const { return isPlaying_; }
    bool StartSoundPlayed() const { return startSoundPlayed_; }
    const QString& CurrentStation() const { return currentStation_; }
    const QTimer& TmrFlash() const { return tmrFlash_; }

  private:
    void play();

    platform::MediaPlayer& wm_;
    StationList& stations_;
    PlayerWindow& window_;
    RecordFlow& record_;
    platform::MessageBoxes& boxes_;
    platform::SettingsStore& settings_;
    platform::Mci& mci_;
    QString appFolder_;

    QTimer tmrFlash_;
    QRandomGenerator random_;
    bool isPlaying_ = false;
    bool startSoundPlayed_ = false;
    QString currentStation_;
};

}  // namespace playback
