#pragma once

#include "playback/playback_window.h"
#include "recording/RecordFlow.h"
#include "recording/ShowSavingProgress.h"

class QLabel;

namespace app {

class FrmFM;

// The status label LblMessage as the recorder and the conversion write to it.
class MessageLabel final : public StatusLabel {
  public:
    explicit MessageLabel(QLabel* label) : label_(label) {}
    void setCaption(const QString& text) override;
    void repaintNow() override;

  private:
    QLabel* label_;
};

// LstStations with the station model's addresses and the counter LblCnt, for the player.
class WindowStationList final : public playback::StationList {
  public:
    explicit WindowStationList(FrmFM& window) : w_(window) {}
    int count() const override;
    int selectedIndex() const override;
    void select(int index) override;
    QString text(int index) const override;
    QString url(int index) const override;
    void setCounterCaption(const QString& caption) override;

  private:
    FrmFM& w_;
};

// The window's icon, PicMess and the menus, for the player.
class WindowChrome final : public playback::PlayerWindow {
  public:
    explicit WindowChrome(FrmFM& window) : w_(window) {}
    void endRollover() override;
    void refreshTray() override;
    void setPicMessVisible(bool visible) override;
    void setFlashIcon(int index) override;
    void setPauseCaption(const QString& caption) override;
    void setShowVolCaption(const QString& caption) override;
    void popupViewMenu(bool withVideoSize) override;

  private:
    FrmFM& w_;
};

// The window's tag and the record flow's stop action, for the player's Stop.
class WindowRecordTag final : public playback::RecordFlow {
  public:
    explicit WindowRecordTag(FrmFM& window) : w_(window) {}
    QString tag() const override;
    void stopRecording() override;

  private:
    FrmFM& w_;
};

// The window as the record flow sees it.
class WindowRecordView final : public RecordView {
  public:
    explicit WindowRecordView(FrmFM& window) : w_(window) {}
    bool IsPlaying() const override;
    void NoHeadlines() override;
    void ShowHeadlines() override;
    void showRecordButton(bool record) override;
    bool selectedRate(int* index, QString* caption) const override;
    void setTag(const QString& tag) override;
    void UnhookHover() override;

  private:
    FrmFM& w_;
};

}  // namespace app
