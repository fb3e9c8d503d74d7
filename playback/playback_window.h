#pragma once

#include <QString>

namespace playback {

// What playback needs of the main window's station list: LstStations with the parallel
// StationUrls, and the counter label LblCnt.
class StationList {
  public:
    virtual ~StationList() = default;
    virtual int count() const = 0;
    virtual int selectedIndex() const = 0;  // -1 when nothing is selected
    // Selects an item without running the list's click handler (Playback runs it itself).
    virtual void select(int index) = 0;
    virtual QString text(int index) const = 0;
    virtual QString url(int index) const = 0;
    virtual void setCounterCaption(const QString& caption) = 0;
};

// What playback needs of the main window's chrome.
class PlayerWindow {
  public:
    virtual ~PlayerWindow() = default;
    virtual void endRollover() = 0;
    virtual void setPicMessVisible(bool visible) = 0;
    // The window's icon becomes the Flash icon with this index (0-4 playing frames, 6 idle).
    virtual void setFlashIcon(int index) = 0;
    // Refreshes the tray icon and tip (modify); does nothing while there is no tray icon.
    virtual void refreshTray() = 0;
    virtual void setPauseCaption(const QString& caption) = 0;    // tray menu MnuPause
    virtual void setShowVolCaption(const QString& caption) = 0;  // mnuShowVol
    // Pops up mnuView at the mouse, with MnuSize ("Video Size") shown or hidden.
    virtual void popupViewMenu(bool withVideoSize) = 0;
};

// What playback needs of the record flow: the window's tag ("RecordStarted" while a recording
// runs) and its stop-recording action.
class RecordFlow {
  public:
    virtual ~RecordFlow() = default;
    virtual QString tag() const = 0;
    virtual void stopRecording() = 0;
};

}  // namespace playback
