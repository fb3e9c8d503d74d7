#pragma once

#include "app/compose_chrome.h"
#include "app/compose_player.h"

#include <QIcon>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QListWidget;
class QMenu;
class QAction;
class QPushButton;
class QRadioButton;
class QTimer;

namespace platform {
class MessageBoxes;
class MpvPlayer;
class Registry;
class SettingsStore;
class Shell;
}  // namespace platform

class ListScroller;
class StationManager;
class LiveUpdate;
class StationModel;

namespace mpris {
class Service;
}

namespace news {
class HeadlineTicker;
class NewsClient;
}  // namespace news

namespace skins {
class PictureBox;
class SkinLoader;
}  // namespace skins

namespace app {

class ClickLabel;
class ModSysTray;
class RecordSourceOption;
class TitleNotices;

// The main window: a borderless, shaped, skinned picture that carries every control of the
// player. It owns the controls, runs the load sequence and the settings panel, and hands the
// controls to the subsystems through the accessors below; the subsystems' logic lives in their
// own folders.
class FrmFM final : public QWidget {
    Q_OBJECT
  public:
    // endProgram ends the program at once; the program passes a function that never returns,
    // tests one that records the call. Throws platform::Error kErrCannotCreatePlayer when the
    // media player cannot be created.
    FrmFM(platform::MessageBoxes& boxes, platform::SettingsStore& settings,
          platform::Registry& registry, platform::Shell& shell, MediaServices media,
          QString appFolder, std::function<void()> endProgram);
    ~FrmFM() override;

    // The window's load sequence. Returns when the window is initialised, or as far as it got.
    void Form_Load();
    // Any request to close the window: a recording under way is stopped and saved, then the
    // player is closed; the close is never refused.
    void Form_QueryUnload();

    // Handlers of the controls, named after them.
    void PicClose_Click();
    void mnuClose_Click();
    void PicSettings_Click();
    void PicOK_Click();
    void LblShowNews_Click();

    // Names of the required files, in the order they are tested.
    static const std::array<QString, 6>& requiredFiles();
    // Tests the required files in order; at the first one missing, shows the warning and ends
    // the program. Returns whether all are present.
    bool CheckRequiredFiles();

    // The headline strip, or the status label in its place.
    void ShowHeadlines();
    void NoHeadlines();

    // State. The recording rate is the recorder's.
    const QString& appFolder() const { return appFolder_; }
    int RecordRateIndex() const;
    const QString& RecordSampleRate() const;
    void setRecordRate(int index, const QString& sampleRate);
    // The window's tag: "RecordStarted" while a recording is under way.
    const QString& Tag() const { return tag_; }
    void setTag(const QString& tag) { tag_ = tag; }
    QString CurrentSkinName() const;
    int loadCount() const { return loadCount_; }
    StationModel& stations() { return *stations_; }
    StationManager& stationManager() { return *stationManager_; }
    LiveUpdate& liveUpdate() { return *liveUpdate_; }
    playback::Playback& playback() { return player_->playback(); }
    ModRecorder& recorder() { return player_->recorder(); }
    ::RecordFlow& recordFlow() { return player_->recordFlow(); }
    ChromeParts& chrome() { return *chrome_; }
    // Ends the picture buttons' rollover state (the clicks that change something call it first).
    void UnhookHover() { chrome_->hover().UnhookHover(); }
    news::NewsClient& newsClient() { return *newsClient_; }
    news::HeadlineTicker& newsTicker() { return *newsTicker_; }
    ModSysTray& tray() { return *tray_; }
    mpris::Service& mpris() { return *mpris_; }

    // The controls a skin's background colour and text colour apply to.
    std::vector<QWidget*> backColorTargets() const;
    std::vector<QWidget*> foreColorTargets() const;

    // Collaborators, for the subsystems that the window composes.
    platform::MessageBoxes& boxes() { return boxes_; }
    platform::SettingsStore& settings() { return settings_; }
    platform::Registry& registry() { return registry_; }
    platform::Shell& shell() { return shell_; }

    // Controls, by the names the rest of the program uses.
    skins::PictureBox* BackPic() const { return BackPic_; }
    skins::PictureBox* PicTemp() const { return PicTemp_; }
    skins::PictureBox* PicPlay() const { return PicPlay_; }
    skins::PictureBox* PicPlayRoll() const { return PicPlayRoll_; }
    skins::PictureBox* PicStop() const { return PicStop_; }
    skins::PictureBox* PicStopRoll() const { return PicStopRoll_; }
    skins::PictureBox* PicRecord() const { return PicRecord_; }
    skins::PictureBox* PicRecordRoll() const { return PicRecordRoll_; }
    skins::PictureBox* PicRecordStop() const { return PicRecordStop_; }
    skins::PictureBox* PicRecordStopRoll() const { return PicRecordStopRoll_; }
    skins::PictureBox* PicSettings() const { return PicSettings_; }
    skins::PictureBox* PicSettingsRoll() const { return PicSettingsRoll_; }
    skins::PictureBox* PicAdvanceRec() const { return PicAdvanceRec_; }
    skins::PictureBox* PicAdvanceRecRoll() const { return PicAdvanceRecRoll_; }
    skins::PictureBox* PicAbout() const { return PicAbout_; }
    skins::PictureBox* PicAboutRoll() const { return PicAboutRoll_; }
    skins::PictureBox* PicMin() const { return PicMin_; }
    skins::PictureBox* PicMinRoll() const { return PicMinRoll_; }
    skins::PictureBox* PicClose() const { return PicClose_; }
    skins::PictureBox* PicCloseRoll() const { return PicCloseRoll_; }
    skins::PictureBox* PicUp() const { return PicUp_; }
    skins::PictureBox* PicUpRoll() const { return PicUpRoll_; }
    skins::PictureBox* PicDown() const { return PicDown_; }
    skins::PictureBox* PicDownRoll() const { return PicDownRoll_; }
    skins::PictureBox* PicLists() const { return PicLists_; }
    skins::PictureBox* PicCount() const { return PicCount_; }
    skins::PictureBox* PicNews() const { return PicNews_; }
    skins::PictureBox* PicMess() const { return PicMess_; }
    // The player area: the media player control goes at its top-left corner.
    skins::PictureBox* PicHolder() const { return PicHolder_; }
    // The media player control.
    platform::MpvPlayer* WM() const { return player_->WM(); }
    QListWidget* LstStations() const { return LstStations_; }
    ClickLabel* LblCnt() const { return LblCnt_; }
    ClickLabel* LblNews() const { return LblNews_; }
    ClickLabel* LblMessage() const { return LblMessage_; }

    skins::PictureBox* PicSettingsBox() const { return PicSettingsBox_; }
    ClickLabel* LblRecSetting() const { return LblRecSetting_; }
    ClickLabel* LblRecMsg() const { return LblRecMsg_; }
    QRadioButton* OptSampleRate(int index) const { return OptSampleRate_.at(index); }
    int OptSampleRateCount() const { return static_cast<int>(OptSampleRate_.size()); }
    ClickLabel* LblSkinHead() const { return LblSkinHead_; }
    QListWidget* LstSkins() const { return LstSkins_; }
    ClickLabel* LbldownloadSkins() const { return LbldownloadSkins_; }
    QCheckBox* ChkNews() const { return ChkNews_; }
    RecordSourceOption& recordSource() { return *recordSource_; }
    ClickLabel* LblShowNews() const { return LblShowNews_; }
    ClickLabel* LblManageStations() const { return LblManageStations_; }
    skins::PictureBox* PicOK() const { return PicOK_; }
    skins::PictureBox* PicOKRoll() const { return PicOKRoll_; }

    skins::PictureBox* PicManageStations() const { return PicManageStations_; }
    skins::PictureBox* PicManageStationsHolder() const { return PicManageStationsHolder_; }
    QListWidget* LstManageStations() const { return LstManageStations_; }
    QListWidget* LstURLS() const { return LstURLS_; }
    ClickLabel* LblTot() const { return LblTot_; }
    QPushButton* CmdNew() const { return CmdNew_; }
    QPushButton* CmdDelete() const { return CmdDelete_; }
    QPushButton* cmdUp() const { return cmdUp_; }
    QPushButton* CmdDown() const { return CmdDown_; }
    QPushButton* CmdLive() const { return CmdLive_; }
    skins::PictureBox* PicManageUp() const { return PicManageUp_; }
    skins::PictureBox* PicManageUpRoll() const { return PicManageUpRoll_; }
    skins::PictureBox* PicManageDown() const { return PicManageDown_; }
    skins::PictureBox* PicManageDownRoll() const { return PicManageDownRoll_; }
    skins::PictureBox* PicManageOK() const { return PicManageOK_; }
    skins::PictureBox* PicManageOKRoll() const { return PicManageOKRoll_; }

    skins::PictureBox* PicAboutMe() const { return PicAboutMe_; }
    skins::PictureBox* PicPhoto() const { return PicPhoto_; }
    ClickLabel* LblName() const { return LblName_; }
    ClickLabel* LblDesig() const { return LblDesig_; }
    ClickLabel* LblDesigned() const { return LblDesigned_; }
    ClickLabel* LblAdd() const { return LblAdd_; }
    ClickLabel* LblEmail() const { return LblEmail_; }
    ClickLabel* LblURL() const { return LblURL_; }
    ClickLabel* LblFaq() const { return LblFaq_; }
    skins::PictureBox* ImgFAQ() const { return ImgFAQ_; }
    skins::PictureBox* ImgURL() const { return ImgURL_; }
    skins::PictureBox* ImgMail() const { return ImgMail_; }
    skins::PictureBox* ImgMoreSkins() const { return ImgMoreSkins_; }
    ClickLabel* LblMoreSkins() const { return LblMoreSkins_; }
    skins::PictureBox* PicCloseW() const { return PicCloseW_; }
    skins::PictureBox* PicCloseWRoll() const { return PicCloseWRoll_; }

    // The window icons: 0 to 4 are the frames of the "playing" animation, 6 the idle icon (there
    // is no 5).
    const QIcon& Flash(int index) const { return Flash_.at(index); }

    // The playing animation's timer, which the player handlers run.
    const QTimer* TmrFlash() const { return &player_->playback().TmrFlash(); }
    QTimer* TmrList() const { return TmrList_; }
    QTimer* TmrManageList() const { return TmrManageList_; }
    QTimer* TmrNewsSlide() const { return TmrNewsSlide_; }

    // Pop-up menus (never shown in a menu bar).
    QMenu* mnuView() const { return mnuView_; }
    QMenu* MnuSize() const { return MnuSize_; }
    QAction* mnuFull() const { return mnuFull_; }
    QMenu* mnuVolumeCtrl() const { return mnuVolumeCtrl_; }
    QAction* mnuShowVol() const { return mnuShowVol_; }
    QMenu* RCPopup() const { return RCPopup_; }
    QAction* mnuShow() const { return mnuShow_; }
    QAction* MnuPause() const { return MnuPause_; }
    QAction* mnusep() const { return mnusep_; }
    QAction* mnuClose() const { return mnuClose_; }

  protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateControls();
    void CreateSettingsPanel();
    void CreateManagePanel();
    void CreateAboutPanel();
    void CreateMenus();
    // The station model, its management panel and the press-and-hold arrows.
    void ComposeStations();
    // The notification-area icon and its menu.
    void ComposeTray();
    // Puts every control back as the built-in design has it: pictures, colours, places, and
    // what is shown. A reload starts from here, as a freshly created window does.
    void LoadDesign();
    // Shows the window again from the start of its load sequence, after closing the player.
    void Reload();

    // Steps of the load sequence that other subsystems fill in. Each is called at its place in
    // Form_Load (and, for the news, in PicOK_Click).
    void GetAvailableSkins();
    void GetVolumeControlSettings();
    void LoadStations();
    void PrepareStationLists();
    void NewNewsSocket();
    void FetchHeadlines();
    void SetPlayerStartOptions();
    void ClosePlayer();
    // The player's Stop action.
    void StopPlayback();
    void DeleteTrayIcon();

    platform::MessageBoxes& boxes_;
    platform::SettingsStore& settings_;
    platform::Registry& registry_;
    platform::Shell& shell_;
    QString appFolder_;
    std::function<void()> endProgram_;
    std::unique_ptr<skins::SkinLoader> skinLoader_;
    std::unique_ptr<StationModel> stations_;
    std::unique_ptr<StationManager> stationManager_;
    std::unique_ptr<LiveUpdate> liveUpdate_;
    std::unique_ptr<ListScroller> listScroller_;
    std::unique_ptr<ListScroller> manageScroller_;
    std::unique_ptr<PlayerParts> player_;
    std::unique_ptr<ChromeParts> chrome_;
    std::unique_ptr<news::NewsClient> newsClient_;
    std::unique_ptr<news::HeadlineTicker> newsTicker_;
    std::unique_ptr<ModSysTray> tray_;
    std::unique_ptr<RecordSourceOption> recordSource_;
    // Last, so they go first: they reach into the player and the station list.
    std::unique_ptr<mpris::Service> mpris_;
    std::unique_ptr<TitleNotices> notices_;

    QString tag_;
    int loadCount_ = 0;
    bool ended_ = false;

    skins::PictureBox* BackPic_ = nullptr;
    skins::PictureBox* PicTemp_ = nullptr;
    skins::PictureBox* PicPlay_ = nullptr;
    skins::PictureBox* PicPlayRoll_ = nullptr;
    skins::PictureBox* PicStop_ = nullptr;
    skins::PictureBox* PicStopRoll_ = nullptr;
    skins::PictureBox* PicRecord_ = nullptr;
    skins::PictureBox* PicRecordRoll_ = nullptr;
    skins::PictureBox* PicRecordStop_ = nullptr;
    skins::PictureBox* PicRecordStopRoll_ = nullptr;
    skins::PictureBox* PicSettings_ = nullptr;
    skins::PictureBox* PicSettingsRoll_ = nullptr;
    skins::PictureBox* PicAdvanceRec_ = nullptr;
    skins::PictureBox* PicAdvanceRecRoll_ = nullptr;
    skins::PictureBox* PicAbout_ = nullptr;
    skins::PictureBox* PicAboutRoll_ = nullptr;
    skins::PictureBox* PicMin_ = nullptr;
    skins::PictureBox* PicMinRoll_ = nullptr;
    skins::PictureBox* PicClose_ = nullptr;
    skins::PictureBox* PicCloseRoll_ = nullptr;
    skins::PictureBox* PicUp_ = nullptr;
    skins::PictureBox* PicUpRoll_ = nullptr;
    skins::PictureBox* PicDown_ = nullptr;
    skins::PictureBox* PicDownRoll_ = nullptr;
    skins::PictureBox* PicLists_ = nullptr;
    skins::PictureBox* PicCount_ = nullptr;
    skins::PictureBox* PicNews_ = nullptr;
    skins::PictureBox* PicMess_ = nullptr;
    skins::PictureBox* PicHolder_ = nullptr;
    QListWidget* LstStations_ = nullptr;
    ClickLabel* LblCnt_ = nullptr;
    ClickLabel* LblNews_ = nullptr;
    ClickLabel* LblMessage_ = nullptr;

    skins::PictureBox* PicSettingsBox_ = nullptr;
    ClickLabel* LblRecSetting_ = nullptr;
    ClickLabel* LblRecMsg_ = nullptr;
    std::array<QRadioButton*, 8> OptSampleRate_{};
    QButtonGroup* sampleRateGroup_ = nullptr;
    ClickLabel* LblSkinHead_ = nullptr;
    QListWidget* LstSkins_ = nullptr;
    ClickLabel* LbldownloadSkins_ = nullptr;
    QCheckBox* ChkNews_ = nullptr;
    ClickLabel* LblShowNews_ = nullptr;
    ClickLabel* LblManageStations_ = nullptr;
    skins::PictureBox* PicOK_ = nullptr;
    skins::PictureBox* PicOKRoll_ = nullptr;

    skins::PictureBox* PicManageStations_ = nullptr;
    skins::PictureBox* PicManageStationsHolder_ = nullptr;
    QListWidget* LstManageStations_ = nullptr;
    QListWidget* LstURLS_ = nullptr;
    ClickLabel* LblTot_ = nullptr;
    QPushButton* CmdNew_ = nullptr;
    QPushButton* CmdDelete_ = nullptr;
    QPushButton* cmdUp_ = nullptr;
    QPushButton* CmdDown_ = nullptr;
    QPushButton* CmdLive_ = nullptr;
    skins::PictureBox* PicManageUp_ = nullptr;
    skins::PictureBox* PicManageUpRoll_ = nullptr;
    skins::PictureBox* PicManageDown_ = nullptr;
    skins::PictureBox* PicManageDownRoll_ = nullptr;
    skins::PictureBox* PicManageOK_ = nullptr;
    skins::PictureBox* PicManageOKRoll_ = nullptr;

    skins::PictureBox* PicAboutMe_ = nullptr;
    skins::PictureBox* PicPhoto_ = nullptr;
    ClickLabel* LblName_ = nullptr;
    ClickLabel* LblDesig_ = nullptr;
    ClickLabel* LblDesigned_ = nullptr;
    ClickLabel* LblAdd_ = nullptr;
    ClickLabel* LblEmail_ = nullptr;
    ClickLabel* LblURL_ = nullptr;
    ClickLabel* LblFaq_ = nullptr;
    skins::PictureBox* ImgFAQ_ = nullptr;
    skins::PictureBox* ImgURL_ = nullptr;
    skins::PictureBox* ImgMail_ = nullptr;
    skins::PictureBox* ImgMoreSkins_ = nullptr;
    ClickLabel* LblMoreSkins_ = nullptr;
    skins::PictureBox* PicCloseW_ = nullptr;
    skins::PictureBox* PicCloseWRoll_ = nullptr;

    std::array<QIcon, 7> Flash_;

    QTimer* TmrList_ = nullptr;
    QTimer* TmrManageList_ = nullptr;
    QTimer* TmrNewsSlide_ = nullptr;

    QMenu* mnuView_ = nullptr;
    QMenu* MnuSize_ = nullptr;
    QAction* mnuFull_ = nullptr;
    QMenu* mnuVolumeCtrl_ = nullptr;
    QAction* mnuShowVol_ = nullptr;
    QMenu* RCPopup_ = nullptr;
    QAction* mnuShow_ = nullptr;
    QAction* MnuPause_ = nullptr;
    QAction* mnusep_ = nullptr;
    QAction* mnuClose_ = nullptr;
};

}  // namespace app
