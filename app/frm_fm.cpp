#include "app/frm_fm.h"
#include "app/startup_trace.h"

#include "app/tray/mod_sys_tray.h"

#include "app/controls.h"
#include "app/mpris/window_mpris.h"
#include "app/notify/title_notices.h"
#include "app/record_source_option.h"
#include "common/VendorSite.h"
#include "news/HeadlineTicker.h"
#include "news/NewsClient.h"
#include "platform/player/mpv_player.h"
#include "platform/registry/settings_store.h"
#include "platform/ui/error.h"
#include "platform/ui/message_box.h"
#include "platform/ui/report_error.h"
#include "skins/builtin_skin.h"
#include "skins/picture_box.h"
#include "skins/skin_loader.h"
#include "skins/window_shape.h"
#include "stations/LiveUpdate.h"
#include "stations/StationManager.h"
#include "stations/StationModel.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <cstdint>
#include <limits>
#include <utility>

namespace app {

namespace {

const QString kApp = QStringLiteral("Zorvita");
const QString kCredit = QStringLiteral("DEVELOPED BY :- VELMO TARSK");
const QString kCreditTip = QStringLiteral("Click to visit my Personal Website");
const QString kCrLf = QStringLiteral("\r\n");

const std::array<const char*, 8> kSampleRates = {"11025", "12000", "16000", "22050",
                                                 "24000", "32000", "44100", "48000"};

// Distances the design gives in twips.
int gapX(int twips) {
    return platform::twipsToPixelsX(twips);
}
int gapY(int twips) {
    return platform::twipsToPixelsY(twips);
}

QFont designFont(int pointSize, bool bold = false) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSize(pointSize);
    f.setBold(bold);
    return f;
}

// A file counts as present only when it is a normal file: not a folder, and not hidden (a name
// listed in the folder's ".hidden" file, the desktop's way of hiding a file on Linux, or one
// starting with a dot).
bool isNormalFile(const QString& folder, const QString& name) {
    const QFileInfo info(folder + QLatin1Char('/') + name);
    if (!info.isFile() || info.isHidden()) {
        return false;
    }
    QFile hiddenList(folder + QStringLiteral("/.hidden"));
    if (hiddenList.open(QIODevice::ReadOnly | QIODevice::Text)) {
        while (!hiddenList.atEnd()) {
            if (QString::fromUtf8(hiddenList.readLine()).trimmed() == name) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

FrmFM::FrmFM(platform::MessageBoxes& boxes, platform::SettingsStore& settings,
             platform::Registry& registry, platform::Shell& shell, MediaServices media,
             QString appFolder, std::function<void()> endProgram)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::Window),
      boxes_(boxes),
      settings_(settings),
      registry_(registry),
      shell_(shell),
      appFolder_(std::move(appFolder)),
      endProgram_(std::move(endProgram)) {
    setObjectName(QStringLiteral("FrmFM"));
    setWindowTitle(QStringLiteral("Zorvita"));
    StartupTrace::watchFirstPaint(this);
    setFont(designFont(8));
    CreateControls();
    skinLoader_ = std::make_unique<skins::SkinLoader>(
        settings_, boxes_, appFolder_,
        skins::SkinWindow{this, LstSkins_, backColorTargets(), foreColorTargets()});
    ComposeStations();
    LoadDesign();
    StartupTrace::mark("window and skin design");
    player_ = std::make_unique<PlayerParts>(*this, std::move(media));
    StartupTrace::mark("media player");
    chrome_ = std::make_unique<ChromeParts>(*this);
    newsClient_ =
        std::make_unique<news::NewsClient>(VendorUrl(QStringLiteral("/LIVE/FM_News.php")));
    newsTicker_ = std::make_unique<news::HeadlineTicker>(
        LblNews_, PicNews_, TmrNewsSlide_, [this] { FetchHeadlines(); }, [this] { NoHeadlines(); });
    connect(newsClient_.get(), &news::NewsClient::ResponseReady, newsTicker_.get(),
            &news::HeadlineTicker::ParseHeadlines);
    ComposeTray();
    mpris_ = mpris::serveWindow(*this);
    notices_ = noticeTitles(*this, [this] {
        return settings_.GetSetting(kApp, QStringLiteral("Notify"), QStringLiteral("Show")) !=
               QStringLiteral("0");
    });
}

void FrmFM::ComposeTray() {
    tray_ = std::make_unique<ModSysTray>(
        *this, std::make_unique<QtTrayIcon>(RCPopup_), boxes_,
        ModSysTray::Sources{[this] { return WM()->playState() == platform::PlayPlaying; },
                            [this] { return playback().CurrentStation(); },
                            [this] { UnhookHover(); }});
    connect(PicMin_, &skins::PictureBox::Click, tray_.get(), &ModSysTray::PicMin_Click);
    connect(mnuShow_, &QAction::triggered, tray_.get(), &ModSysTray::mnuShow_Click);
}

void FrmFM::ComposeStations() {
    stations_ = std::make_unique<StationModel>(
        StationControls{LstStations_, LstManageStations_, LstURLS_, LblTot_, LblManageStations_},
        boxes_, appFolder_, [this] { playback().LstStations_Click(); });
    stationManager_ = std::make_unique<StationManager>(
        StationManager::Controls{PicManageStations_, LstStations_, LstManageStations_, LstURLS_},
        *stations_, boxes_,
        StationManager::Actions{
            [this] { StopPlayback(); }, [this] { playback().LstStations_Click(); }, {}},
        this);
    liveUpdate_ = std::make_unique<LiveUpdate>(LiveUpdate::Controls{LstManageStations_, LstURLS_},
                                               *stations_, boxes_, appFolder_, this);
    listScroller_ = std::make_unique<ListScroller>(LstStations_, TmrList_);
    manageScroller_ = std::make_unique<ListScroller>(LstManageStations_, TmrManageList_);

    connect(LblManageStations_, &ClickLabel::Click, this,
            [this] { stationManager_->LblManageStations_Click(); });
    connect(CmdNew_, &QPushButton::clicked, this, [this] { stationManager_->CmdNew_Click(); });
    connect(CmdDelete_, &QPushButton::clicked, this,
            [this] { stationManager_->CmdDelete_Click(); });
    connect(cmdUp_, &QPushButton::clicked, this, [this] { stationManager_->cmdUp_Click(); });
    connect(CmdDown_, &QPushButton::clicked, this, [this] { stationManager_->CmdDown_Click(); });
    connect(CmdLive_, &QPushButton::clicked, this, [this] { liveUpdate_->CmdLive_Click(); });
    connect(PicManageOK_, &skins::PictureBox::Click, this,
            [this] { stationManager_->PicManageOK_Click(); });
    const auto holdToScroll = [this](skins::PictureBox* arrow, ListScroller* scroller,
                                     const QString& direction) {
        connect(arrow, &skins::PictureBox::MouseDown, this,
                [scroller, direction] { scroller->press(direction); });
        connect(arrow, &skins::PictureBox::MouseUp, this, [scroller] { scroller->release(); });
    };
    holdToScroll(PicUp_, listScroller_.get(), QStringLiteral("Up"));
    holdToScroll(PicDown_, listScroller_.get(), QStringLiteral("Down"));
    holdToScroll(PicManageUp_, manageScroller_.get(), QStringLiteral("Up"));
    holdToScroll(PicManageDown_, manageScroller_.get(), QStringLiteral("Down"));
}

FrmFM::~FrmFM() = default;

// ---------------------------------------------------------------------------------------------
// Controls

namespace {
skins::PictureBox* pictureBox(QWidget* parent, const char* name) {
    auto* box = new skins::PictureBox(parent, QString::fromLatin1(name));
    box->setAutoSize(true);
    return box;
}
// A picture button's hidden twin that holds its rollover picture.
skins::PictureBox* rolloverTwin(QWidget* parent, const char* name) {
    skins::PictureBox* twin = pictureBox(parent, name);
    twin->hide();
    return twin;
}
QListWidget* listBox(QWidget* parent, const char* name) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setFrameShape(QFrame::NoFrame);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return list;
}
ClickLabel* label(QWidget* parent, const char* name, const QString& caption, QRect at) {
    auto* l = new ClickLabel(parent, QString::fromLatin1(name), caption);
    l->setGeometry(at);
    return l;
}
}  // namespace

void FrmFM::CreateControls() {
    // Created bottom to top: the background first, the panels that lie over the window last.
    BackPic_ = pictureBox(this, "BackPic");
    // The background is for the window's surface only; clicks on it belong to the window.
    BackPic_->setAttribute(Qt::WA_TransparentForMouseEvents);
    PicTemp_ = pictureBox(this, "PicTemp");
    PicTemp_->hide();

    PicHolder_ = new skins::PictureBox(this, QStringLiteral("PicHolder"));
    PicMess_ = pictureBox(this, "PicMess");

    PicUp_ = pictureBox(this, "PicUp");
    PicUp_->setToolTip(QStringLiteral("Scroll Up"));
    PicUpRoll_ = rolloverTwin(this, "PicUpRoll");
    PicLists_ = new skins::PictureBox(this, QStringLiteral("PicLists"));
    LstStations_ = listBox(PicLists_, "LstStations");
    PicDown_ = pictureBox(this, "PicDown");
    PicDown_->setToolTip(QStringLiteral("Scroll Down"));
    PicDownRoll_ = rolloverTwin(this, "PicDownRoll");
    PicCount_ = new skins::PictureBox(this, QStringLiteral("PicCount"));
    LblCnt_ = label(PicCount_, "LblCnt", QString(), QRect());
    LblCnt_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    PicNews_ = new skins::PictureBox(this, QStringLiteral("PicNews"));
    LblNews_ = label(PicNews_, "LblNews", QString(), QRect());
    LblMessage_ = label(PicNews_, "LblMessage", kCredit, QRect());
    LblMessage_->setAlignment(Qt::AlignCenter);
    LblMessage_->setFont(designFont(8, true));

    PicPlay_ = pictureBox(this, "PicPlay");
    PicPlay_->setToolTip(QStringLiteral("Play"));
    PicPlayRoll_ = rolloverTwin(this, "PicPlayRoll");
    PicStop_ = pictureBox(this, "PicStop");
    PicStopRoll_ = rolloverTwin(this, "PicStopRoll");
    PicRecord_ = pictureBox(this, "PicRecord");
    PicRecordRoll_ = rolloverTwin(this, "PicRecordRoll");
    PicRecordStop_ = pictureBox(this, "PicRecordStop");
    PicRecordStop_->setToolTip(QStringLiteral("Stop Recording"));
    PicRecordStopRoll_ = rolloverTwin(this, "PicRecordStopRoll");
    PicSettings_ = pictureBox(this, "PicSettings");
    PicSettingsRoll_ = rolloverTwin(this, "PicSettingsRoll");
    PicAdvanceRec_ = pictureBox(this, "PicAdvanceRec");
    PicAdvanceRec_->setToolTip(QStringLiteral("Advance Sound Recorder"));
    PicAdvanceRecRoll_ = rolloverTwin(this, "PicAdvanceRecRoll");
    PicAbout_ = pictureBox(this, "PicAbout");
    PicAbout_->setToolTip(QStringLiteral("About the Developer"));
    PicAboutRoll_ = rolloverTwin(this, "PicAboutRoll");
    PicMin_ = pictureBox(this, "PicMin");
    PicMinRoll_ = rolloverTwin(this, "PicMinRoll");
    PicClose_ = pictureBox(this, "PicClose");
    PicCloseRoll_ = rolloverTwin(this, "PicCloseRoll");

    CreateSettingsPanel();
    CreateAboutPanel();

    for (int i : {0, 1, 2, 3, 4, 6}) {
        Flash_.at(i) = skins::builtinFlashIcon(i);
    }

    TmrList_ = new QTimer(this);
    TmrList_->setInterval(100);
    TmrManageList_ = new QTimer(this);
    TmrManageList_->setInterval(100);
    TmrNewsSlide_ = new QTimer(this);
    TmrNewsSlide_->setInterval(23);

    CreateMenus();

    connect(PicClose_, &skins::PictureBox::Click, this, &FrmFM::PicClose_Click);
    connect(PicSettings_, &skins::PictureBox::Click, this, &FrmFM::PicSettings_Click);
    connect(PicOK_, &skins::PictureBox::Click, this, &FrmFM::PicOK_Click);
    connect(LblShowNews_, &ClickLabel::Click, this, &FrmFM::LblShowNews_Click);
    connect(mnuClose_, &QAction::triggered, this, &FrmFM::mnuClose_Click);
}

void FrmFM::CreateSettingsPanel() {
    PicSettingsBox_ = pictureBox(this, "PicSettingsBox");
    QWidget* box = PicSettingsBox_;

    LblRecSetting_ =
        label(box, "LblRecSetting", QStringLiteral("Recording Settings"), {14, 12, 200, 16});
    LblRecSetting_->setFont(designFont(9, true));
    LblRecMsg_ = label(box, "LblRecMsg",
                       QStringLiteral("Please Select the Recording Rate. Higher Rate = Better "
                                      "Quality but Larger will be your MP3 file size."),
                       {14, 32, 200, 44});
    LblRecMsg_->setWordWrap(true);
    LblRecMsg_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // The rates form a grid of three rows: 11025 12000 16000 / 22050 24000 32000 / 44100 48000.
    sampleRateGroup_ = new QButtonGroup(this);
    sampleRateGroup_->setExclusive(true);
    for (int i = 0; i < 8; ++i) {
        auto* option = new QRadioButton(QString::fromLatin1(kSampleRates.at(i)), box);
        option->setObjectName(QStringLiteral("OptSampleRate%1").arg(i));
        option->setGeometry(14 + (i % 3) * 66, 80 + (i / 3) * 19, 64, 19);
        sampleRateGroup_->addButton(option, i);
        OptSampleRate_.at(i) = option;
    }

    ChkNews_ = new QCheckBox(box);
    ChkNews_->setObjectName(QStringLiteral("ChkNews"));
    ChkNews_->setGeometry(14, 164, 18, 18);
    LblShowNews_ =
        label(box, "LblShowNews", QStringLiteral("Show Indian News Headlines"), {34, 164, 190, 18});
    recordSource_ = std::make_unique<RecordSourceOption>(box, QPoint(14, 142), settings_);
    LblManageStations_ = label(box, "LblManageStations", QStringLiteral("< Manage the stations >"),
                               {14, 186, 190, 18});
    LblManageStations_->setCursor(Qt::PointingHandCursor);

    LblSkinHead_ = label(box, "LblSkinHead", QStringLiteral("Player Skin"), {232, 12, 178, 16});
    LblSkinHead_->setFont(designFont(9, true));
    LstSkins_ = listBox(box, "LstSkins");
    LstSkins_->setGeometry(232, 32, 178, 100);
    LstSkins_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    LbldownloadSkins_ = label(box, "LbldownloadSkins", QStringLiteral("< Download more skins >"),
                              {232, 138, 178, 18});
    LbldownloadSkins_->setCursor(Qt::PointingHandCursor);

    PicOK_ = pictureBox(box, "PicOK");
    PicOKRoll_ = rolloverTwin(box, "PicOKRoll");

    CreateManagePanel();
}

void FrmFM::CreateManagePanel() {
    PicManageStations_ =
        new skins::PictureBox(PicSettingsBox_, QStringLiteral("PicManageStations"));
    QWidget* panel = PicManageStations_;
    PicManageUp_ = pictureBox(panel, "PicManageUp");
    PicManageUp_->setToolTip(QStringLiteral("Scroll Up"));
    PicManageUpRoll_ = rolloverTwin(panel, "PicManageUpRoll");
    PicManageStationsHolder_ =
        new skins::PictureBox(panel, QStringLiteral("PicManageStationsHolder"));
    LstManageStations_ = listBox(PicManageStationsHolder_, "LstManageStations");
    PicManageDown_ = pictureBox(panel, "PicManageDown");
    PicManageDown_->setToolTip(QStringLiteral("Scroll Down"));
    PicManageDownRoll_ = rolloverTwin(panel, "PicManageDownRoll");
    LblTot_ = label(panel, "LblTot", QString(), QRect());
    LstURLS_ = listBox(panel, "LstURLS");
    LstURLS_->hide();

    // The command buttons carry their own look; the sheet is set on each button only, so the
    // skin's colours of the panel and its list stay in force.
    const QString look = QStringLiteral(
        "QPushButton { color: white; border: 1px solid #DCE2EE; border-radius: 6px;"
        " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #3D5FC0, stop:0.5 #1C3F9A,"
        " stop:1 #0B183D); font-weight: bold; }"
        "QPushButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
        " stop:0 #FF4A4F, stop:0.5 #C8161E, stop:1 #7E0B12); }"
        "QPushButton:pressed { background: #7E0B12; }");
    const auto command = [panel, &look](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, panel);
        b->setObjectName(QString::fromLatin1(name));
        b->setCursor(Qt::PointingHandCursor);
        b->setStyleSheet(look);
        return b;
    };
    CmdNew_ = command("CmdNew", QStringLiteral("Add Station"));
    CmdDelete_ = command("CmdDelete", QStringLiteral("Delete"));
    cmdUp_ = command("cmdUp", QStringLiteral("Move Up"));
    CmdDown_ = command("CmdDown", QStringLiteral("Move Down"));
    CmdLive_ = command("CmdLive", QStringLiteral("Update from Web"));
    PicManageOK_ = pictureBox(panel, "PicManageOK");
    PicManageOKRoll_ = rolloverTwin(panel, "PicManageOKRoll");
}

void FrmFM::CreateAboutPanel() {
    PicAboutMe_ = pictureBox(this, "PicAboutMe");
    QWidget* box = PicAboutMe_;
    PicPhoto_ = pictureBox(box, "PicPhoto");
    LblDesigned_ =
        label(box, "LblDesigned", QStringLiteral("Designed & Developed by"), {100, 16, 300, 16});
    LblName_ = label(box, "LblName", QStringLiteral("Velmo Tarsk"), {100, 34, 300, 24});
    LblName_->setFont(designFont(14, true));
    LblDesig_ = label(box, "LblDesig", QStringLiteral("Software Developer"), {100, 60, 300, 16});
    LblAdd_ = label(box, "LblAdd", QStringLiteral("Pune, India"), {100, 78, 300, 16});

    const auto link = [box](const char* name, const QString& tip) {
        skins::PictureBox* image = pictureBox(box, name);
        image->setToolTip(tip);
        image->setCursor(Qt::PointingHandCursor);
        return image;
    };
    ImgMail_ = link("ImgMail", QStringLiteral("Click to send me an email"));
    ImgURL_ = link("ImgURL", QStringLiteral("Click to visit my personal website"));
    ImgFAQ_ = link("ImgFAQ", QStringLiteral("Click to visit the Zorvita FAQ page"));
    ImgMoreSkins_ = link("ImgMoreSkins",
                         QStringLiteral("Click to download more skins for your Zorvita Player."));
    LblEmail_ = label(box, "LblEmail", QStringLiteral("Write to me"), {46, 118, 170, 18});
    LblURL_ = label(box, "LblURL", QStringLiteral("My personal website"), {46, 146, 170, 18});
    LblFaq_ = label(box, "LblFaq", QStringLiteral("Questions and answers"), {46, 174, 170, 18});
    LblMoreSkins_ = label(box, "LblMoreSkins", QStringLiteral("Click here to download more Skins."),
                          {262, 112, 150, 40});
    LblMoreSkins_->setWordWrap(true);

    PicCloseW_ = pictureBox(box, "PicCloseW");
    PicCloseWRoll_ = rolloverTwin(box, "PicCloseWRoll");
}

void FrmFM::CreateMenus() {
    mnuView_ = new QMenu(QStringLiteral("View"), this);
    mnuView_->setObjectName(QStringLiteral("mnuView"));
    MnuSize_ = mnuView_->addMenu(QStringLiteral("Video Size"));
    MnuSize_->setObjectName(QStringLiteral("MnuSize"));
    mnuFull_ = MnuSize_->addAction(QStringLiteral("Full Screen"));
    mnuFull_->setObjectName(QStringLiteral("mnuFull"));
    mnuVolumeCtrl_ = mnuView_->addMenu(QStringLiteral("Volume Control"));
    mnuVolumeCtrl_->setObjectName(QStringLiteral("mnuVolumeCtrl"));
    mnuShowVol_ = mnuVolumeCtrl_->addAction(QStringLiteral("Show"));
    mnuShowVol_->setObjectName(QStringLiteral("mnuShowVol"));

    RCPopup_ = new QMenu(this);
    RCPopup_->setObjectName(QStringLiteral("RCPopup"));
    mnuShow_ = RCPopup_->addAction(QStringLiteral("Open"));
    mnuShow_->setObjectName(QStringLiteral("mnuShow"));
    MnuPause_ = RCPopup_->addAction(QStringLiteral("Stop"));
    MnuPause_->setObjectName(QStringLiteral("MnuPause"));
    mnusep_ = RCPopup_->addSeparator();
    mnusep_->setObjectName(QStringLiteral("mnusep"));
    mnuClose_ = RCPopup_->addAction(QStringLiteral("Close"));
    mnuClose_->setObjectName(QStringLiteral("mnuClose"));
}

// ---------------------------------------------------------------------------------------------
// The built-in design

void FrmFM::LoadDesign() {
    using skins::builtinPicture;
    const auto pictures = [](std::initializer_list<skins::PictureBox*> boxes, const char* file) {
        const QPixmap picture = builtinPicture(QString::fromLatin1(file));
        for (skins::PictureBox* box : boxes) {
            box->setPicture(picture);
        }
    };
    pictures({BackPic_}, "Main.bmp");
    pictures({PicMess_}, "Welcome.jpg");
    pictures({PicSettingsBox_, PicAboutMe_}, "Box.jpg");
    pictures({PicPlay_}, "Play.jpg");
    pictures({PicPlayRoll_}, "PlayR.jpg");
    pictures({PicStop_}, "Stop.jpg");
    pictures({PicStopRoll_}, "StopR.jpg");
    pictures({PicRecord_}, "Record.jpg");
    pictures({PicRecordRoll_}, "RecordR.jpg");
    pictures({PicRecordStop_}, "RecordStop.jpg");
    pictures({PicRecordStopRoll_}, "RecordStopR.jpg");
    pictures({PicSettings_}, "Settings.jpg");
    pictures({PicSettingsRoll_}, "SettingsR.jpg");
    pictures({PicAdvanceRec_}, "Advanced.jpg");
    pictures({PicAdvanceRecRoll_}, "AdvancedR.jpg");
    pictures({PicAbout_}, "About.jpg");
    pictures({PicAboutRoll_}, "AboutR.jpg");
    pictures({PicUp_, PicManageUp_}, "Up.jpg");
    pictures({PicUpRoll_, PicManageUpRoll_}, "UpR.jpg");
    pictures({PicDown_, PicManageDown_}, "Down.jpg");
    pictures({PicDownRoll_, PicManageDownRoll_}, "DownR.jpg");
    pictures({PicClose_}, "Exit.jpg");
    pictures({PicCloseRoll_}, "ExitR.jpg");
    pictures({PicMin_}, "Minimize.jpg");
    pictures({PicMinRoll_}, "MinimizeR.jpg");
    pictures({PicOK_, PicManageOK_, PicCloseW_}, "Close.jpg");
    pictures({PicOKRoll_, PicManageOKRoll_, PicCloseWRoll_}, "CloseR.jpg");
    pictures({PicPhoto_}, "Photo.jpg");
    pictures({ImgFAQ_}, "LinkFaq.png");
    pictures({ImgURL_}, "LinkWeb.png");
    pictures({ImgMail_}, "LinkMail.png");
    pictures({ImgMoreSkins_}, "LinkSkins.png");
    PicTemp_->setPicture(QPixmap());

    // Places, in pixels of the built-in pictures.
    BackPic_->move(0, 0);
    PicHolder_->setGeometry(20, 56, 180, 138);
    PicMess_->move(20, 56);
    PicUp_->move(218, 56);
    PicLists_->setGeometry(218, PicUp_->geometry().bottom() + 1 + gapY(50), 228, 124);
    LstStations_->setGeometry(4, 2, PicLists_->width() - 8, PicLists_->height() - 4);
    PicDown_->move(PicUp_->x(), PicLists_->geometry().bottom() + 1 + gapY(50));
    PicCount_->setGeometry(PicDown_->x() + gapX(450), PicDown_->y(), 198, PicDown_->height());
    LblCnt_->setGeometry(0, 0, PicCount_->width() - 4, PicCount_->height());

    PicPlay_->move(23, 267);
    skins::PictureBox* previous = PicPlay_;
    for (skins::PictureBox* next :
         {PicStop_, PicRecord_, PicSettings_, PicAdvanceRec_, PicAbout_}) {
        next->move(previous->x() + previous->width() + gapX(35), previous->y());
        previous = next;
    }
    PicRecordStop_->move(PicRecord_->pos());
    PicNews_->setGeometry(PicPlay_->x() - 3, 0, 424, 20);
    PicNews_->move(PicNews_->x(), PicPlay_->y() - PicNews_->height() - gapY(160));
    LblNews_->setGeometry(0, 0, PicNews_->width(), PicNews_->height());
    LblMessage_->setGeometry(0, 0, PicNews_->width(), PicNews_->height());
    PicMin_->move(392, 20);
    PicClose_->move(PicMin_->x() + PicMin_->width() + gapX(50), PicMin_->y());

    PicSettingsBox_->move(20, 48);
    PicAboutMe_->move(PicSettingsBox_->pos());
    const QSize panel = PicSettingsBox_->size();
    PicOK_->move(panel.width() - 14 - PicOK_->width(), panel.height() - 14 - PicOK_->height());
    PicManageStations_->setGeometry(0, 0, panel.width(), panel.height());
    PicManageUp_->move(14, 12);
    PicManageStationsHolder_->setGeometry(14, 31, 262, 138);
    LstManageStations_->setGeometry(4, 2, 254, 134);
    PicManageDown_->move(14, 172);
    LblTot_->setGeometry(46, 172, 228, 16);
    int y = 31;
    for (QPushButton* b : {CmdNew_, CmdDelete_, cmdUp_, CmdDown_, CmdLive_}) {
        b->setGeometry(292, y, 118, 22);
        y += 27;
    }
    PicManageOK_->move(PicOK_->pos());
    PicPhoto_->move(14, 14);
    ImgMail_->move(14, 115);
    ImgURL_->move(14, 143);
    ImgFAQ_->move(14, 171);
    ImgMoreSkins_->move(232, 115);
    PicCloseW_->move(PicOK_->pos());

    // Colours.
    for (QWidget* w : backColorTargets()) {
        skins::applyBackColor(*w, skins::kBuiltinBackColor);
    }
    for (QWidget* w : foreColorTargets()) {
        skins::applyForeColor(*w, skins::kBuiltinForeColor);
    }
    for (QListWidget* list : {LstStations_, LstSkins_, LstManageStations_}) {
        QPalette pal = list->palette();
        pal.setColor(QPalette::Highlight, QColor(0xC8, 0x16, 0x1E));
        pal.setColor(QPalette::HighlightedText, Qt::white);
        list->setPalette(pal);
    }
    // The design's own touches, which skins do not change.
    for (QWidget* w : std::initializer_list<QWidget*>{LblRecSetting_, LblSkinHead_, LblName_}) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::WindowText, skins::kBuiltinAccentColor);
        w->setPalette(pal);
    }

    // What shows when the window is new.
    for (QWidget* hidden :
         std::initializer_list<QWidget*>{PicSettingsBox_, PicManageStations_, PicAboutMe_,
                                         PicRecordStop_, LblNews_, PicTemp_}) {
        hidden->hide();
    }
    for (QWidget* shown : std::initializer_list<QWidget*>{PicMess_, LblMessage_, PicRecord_}) {
        shown->show();
    }
    LstStations_->clear();
    LstManageStations_->clear();
    LstURLS_->clear();
    LstSkins_->clear();
    LblCnt_->clear();
    LblTot_->setText(QStringLiteral("Total : 0"));
    LblNews_->clear();
    LblMessage_->setText(kCredit);
    LblMessage_->setToolTip(kCreditTip);
    LblMessage_->setCursor(Qt::PointingHandCursor);
    ChkNews_->setChecked(false);
    OptSampleRate_.at(7)->setChecked(true);
    for (QTimer* timer : {TmrList_, TmrManageList_, TmrNewsSlide_}) {
        timer->stop();
    }
    mnuShowVol_->setText(QStringLiteral("Show"));
    MnuPause_->setText(QStringLiteral("Stop"));
    setWindowIcon(Flash_.at(6));
    BackPic_->lower();
}

std::vector<QWidget*> FrmFM::backColorTargets() const {
    std::vector<QWidget*> targets = {
        LstStations_,       LstSkins_,          LblTot_,
        LstManageStations_, PicNews_,           PicLists_,
        PicCount_,          PicManageStations_, PicManageStationsHolder_};
    targets.insert(targets.end(), OptSampleRate_.begin(), OptSampleRate_.end());
    return targets;
}

std::vector<QWidget*> FrmFM::foreColorTargets() const {
    std::vector<QWidget*> targets = {LblMoreSkins_,
                                     LblNews_,
                                     LstStations_,
                                     LblMessage_,
                                     LblCnt_,
                                     LblTot_,
                                     LstSkins_,
                                     LstManageStations_,
                                     LblRecSetting_,
                                     LblSkinHead_,
                                     LblRecMsg_,
                                     LblShowNews_,
                                     recordSource_->LblRecordOnlyPlayer(),
                                     LblManageStations_,
                                     LbldownloadSkins_,
                                     LblName_,
                                     LblDesig_,
                                     LblDesigned_,
                                     LblAdd_,
                                     LblEmail_,
                                     LblURL_,
                                     LblFaq_};
    targets.insert(targets.end(), OptSampleRate_.begin(), OptSampleRate_.end());
    return targets;
}

// ---------------------------------------------------------------------------------------------
// Load sequence

const std::array<QString, 6>& FrmFM::requiredFiles() {
    static const std::array<QString, 6> files = {
        QStringLiteral("/lame_enc.dll"), QStringLiteral("/Zorvita.dll"),
        QStringLiteral("/Process.dll"),  QStringLiteral("/Player.dll"),
        QStringLiteral("/Skin.dll"),     QStringLiteral("/Encoder.dll")};
    return files;
}

bool FrmFM::CheckRequiredFiles() {
    for (const QString& file : requiredFiles()) {
        if (isNormalFile(appFolder_, file.mid(1))) {
            continue;
        }
        boxes_.show(QStringLiteral("One of the files needed to run this application was not "
                                   "found.") +
                        kCrLf +
                        QStringLiteral("Please make sure the below file is present at the "
                                       "location.") +
                        kCrLf + appFolder_ + file + kCrLf + kCrLf +
                        QStringLiteral("Note : If you are running this application directly from "
                                       "a zip file then please extract all the files to a folder "
                                       "on your hard disk and then run the Zorvita file from that "
                                       "folder."),
                    platform::MsgExclamation, platform::kAppTitle);
        ended_ = true;
        endProgram_();
        return false;
    }
    return true;
}

void FrmFM::Form_Load() {
    ++loadCount_;
    ended_ = false;
    const bool loaded = platform::trapErrors(boxes_, [this] {
        platform::doEvents();
        // A store that cannot be written is reported, and the window still loads.
        platform::trapErrors(boxes_, [this] {
            settings_.SaveSetting(kApp, QStringLiteral("Install"), QStringLiteral("Location"),
                                  appFolder_);
        });
        GetAvailableSkins();
        long keyColour = 0;
        skins::ShapeWindowFromPicture(*this, *BackPic_, keyColour);
        StartupTrace::mark("skin and shape");
        GetVolumeControlSettings();
        if (!CheckRequiredFiles()) {
            return;
        }
        StartupTrace::mark("required files");
        LoadStations();
        PrepareStationLists();
        StartupTrace::mark("station file");
        if (settings_.GetSetting(kApp, QStringLiteral("News"), QStringLiteral("Show")) ==
            QLatin1String("1")) {
            NewNewsSocket();
            FetchHeadlines();
            ChkNews_->setChecked(true);
            ShowHeadlines();
        } else {
            ChkNews_->setChecked(false);
            NoHeadlines();
        }
        recordSource_->Load();
    });
    if (!loaded || ended_) {
        return;
    }

    platform::ignoreErrors([this] {
        if (LstStations_->count() > 0) {
            LstStations_->setCurrentRow(0);
        }
    });
    platform::ignoreErrors([this] { SetPlayerStartOptions(); });
    playback().SelectLastPlayed();
    QString settingId;
    QString settingValue;
    platform::ignoreErrors([&] {
        settingId =
            settings_.GetSetting(kApp, QStringLiteral("Record"), QStringLiteral("SettingID"));
    });
    platform::ignoreErrors([&] {
        settingValue =
            settings_.GetSetting(kApp, QStringLiteral("Record"), QStringLiteral("SettingValue"));
    });
    platform::trapErrors(boxes_, [&] {
        int index = 7;
        QString rate = QStringLiteral("48000");
        if (!settingId.trimmed().isEmpty() && !settingValue.trimmed().isEmpty()) {
            bool ok = false;
            index = settingId.trimmed().toInt(&ok);
            if (!ok) {
                throw platform::Error(13, platform::programName(), QStringLiteral("Type mismatch"));
            }
            rate = settingValue.trimmed();
        }
        setRecordRate(index, rate);
        if (index < 0 || index >= OptSampleRateCount()) {
            throw platform::Error(
                340, platform::programName(),
                QStringLiteral("Control array element '%1' doesn't exist").arg(index));
        }
        OptSampleRate_.at(index)->setChecked(true);
    });
}

int FrmFM::RecordRateIndex() const {
    return player_->recorder().RecordRateIndex;
}

const QString& FrmFM::RecordSampleRate() const {
    return player_->recorder().RecordSampleRate;
}

void FrmFM::setRecordRate(int index, const QString& sampleRate) {
    if (index < std::numeric_limits<std::int16_t>::min() ||
        index > std::numeric_limits<std::int16_t>::max()) {
        throw platform::Error(6, platform::programName(), QStringLiteral("Overflow"));
    }
    recorder().RecordRateIndex = static_cast<std::int16_t>(index);
    recorder().RecordSampleRate = sampleRate;
}

QString FrmFM::CurrentSkinName() const {
    return skinLoader_->CurrentSkinName();
}

// ---------------------------------------------------------------------------------------------
// Places where the subsystems plug in. Each runs at its place in the load sequence.

void FrmFM::GetAvailableSkins() {
    skinLoader_->GetAvailableSkins();
}

void FrmFM::GetVolumeControlSettings() {
    playback().GetVolumeControlSettings();
}

// A (re)load starts with an unchanged station list.
void FrmFM::LoadStations() {
    stations_->StationsChanged = false;
    stations_->LoadStations();
}
void FrmFM::PrepareStationLists() {
    stations_->PrepareStationLists();
}

// The news subsystem: a fresh socket as Winsock1, and the headline fetch.
void FrmFM::NewNewsSocket() {
    newsClient_->NewNewsSocket();
}
void FrmFM::FetchHeadlines() {
    newsClient_->FetchHeadlines();
}

void FrmFM::ShowHeadlines() {
    if (!ChkNews_->isChecked()) {
        return;
    }
    LblMessage_->hide();
    LblNews_->show();
    TmrNewsSlide_->start();
}

void FrmFM::NoHeadlines() {
    LblMessage_->show();
    LblNews_->hide();
    TmrNewsSlide_->stop();
}

void FrmFM::SetPlayerStartOptions() {
    playback().ApplyStartupSettings();
}

void FrmFM::ClosePlayer() {
    platform::ignoreErrors([this] { WM()->close(); });
}

void FrmFM::StopPlayback() {
    playback().PicStop_Click();
}

void FrmFM::DeleteTrayIcon() {
    tray_->UpdateTrayIcon(2);
}

// ---------------------------------------------------------------------------------------------
// Shutdown

void FrmFM::Form_QueryUnload() {
    // A recording waits inside the Record click: saving it now keeps what was recorded and lets
    // that wait end. Once its stop action has begun, the action finishes it.
    if (tag_ == QLatin1String("RecordStarted") && recorder().RecordingActive) {
        recordFlow().StopRecordingAction();
    }
    ClosePlayer();
    DeleteTrayIcon();
}

void FrmFM::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        tray_->Form_Resize();
    }
}

void FrmFM::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    event->accept();
}

void FrmFM::PicClose_Click() {
    platform::trapErrors(boxes_, [this] {
        UnhookHover();
        close();
        endProgram_();
    });
}

void FrmFM::mnuClose_Click() {
    platform::trapErrors(boxes_, [this] {
        DeleteTrayIcon();
        close();
        endProgram_();
    });
}

// ---------------------------------------------------------------------------------------------
// Station list and settings panel

void FrmFM::PicSettings_Click() {
    platform::trapErrors(boxes_, [this] {
        UnhookHover();
        PicSettingsBox_->setVisible(!PicSettingsBox_->isVisible());
    });
}

void FrmFM::PicOK_Click() {
    using platform::ignoreErrors;
    ignoreErrors([this] { UnhookHover(); });
    // The panel's steps ignore their errors, but settings that were not saved must not pass for
    // saved: the first such failure is reported once, at the end.
    QString notSaved;
    const auto save = [&](const QString& section, const QString& key, const QString& value) {
        try {
            settings_.SaveSetting(kApp, section, key, value);
        } catch (const platform::Error& e) {
            if (notSaved.isEmpty()) {
                notSaved = e.description();
            }
            throw;
        }
    };
    ignoreErrors([] { platform::doEvents(); });
    ignoreErrors([this] { PicSettingsBox_->hide(); });
    ignoreErrors([this] {
        for (int i = 0; i < OptSampleRateCount(); ++i) {
            if (OptSampleRate_.at(i)->isChecked()) {
                setRecordRate(i, OptSampleRate_.at(i)->text());
            }
        }
    });
    ignoreErrors([&] {
        save(QStringLiteral("Record"), QStringLiteral("SettingID"),
             QString::number(RecordRateIndex()).trimmed());
        save(QStringLiteral("Record"), QStringLiteral("SettingValue"),
             RecordSampleRate().trimmed());
    });
    ignoreErrors([&] {
        try {
            recordSource_->Save();
        } catch (const platform::Error& e) {
            if (notSaved.isEmpty()) {
                notSaved = e.description();
            }
            throw;
        }
    });
    ignoreErrors([&] {
        save(QStringLiteral("News"), QStringLiteral("Show"),
             ChkNews_->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    });
    const auto selectedSkin = [this] {
        const QListWidgetItem* item = LstSkins_->currentItem();
        return item != nullptr && item->isSelected() ? item->text() : QString();
    };
    ignoreErrors([&] { save(QStringLiteral("Skin"), QStringLiteral("Current"), selectedSkin()); });
    ignoreErrors([this] {
        if (ChkNews_->isChecked()) {
            ShowHeadlines();
            NewNewsSocket();
            FetchHeadlines();
        } else {
            NoHeadlines();
        }
    });
    ignoreErrors([&] {
        // A blank skin name is the built-in skin, so choosing "Spider Man" while no skin was ever
        // chosen keeps the window (and the station playing) as it is.
        const auto effective = [](const QString& name) {
            const QString trimmed = name.trimmed();
            return trimmed.isEmpty() ? skins::kBuiltinSkinName : trimmed;
        };
        const QString chosen = selectedSkin();
        if (!chosen.isEmpty() &&
            effective(chosen).compare(effective(CurrentSkinName()), Qt::CaseInsensitive) != 0) {
            Reload();
        }
    });
    if (!notSaved.isEmpty()) {
        platform::ReportError(boxes_, notSaved);
    }
    ignoreErrors([] { platform::doEvents(); });
}

// The caption toggles its check box; nothing is saved until OK.
void FrmFM::LblShowNews_Click() {
    platform::ignoreErrors([this] { ChkNews_->setChecked(!ChkNews_->isChecked()); });
}

void FrmFM::Reload() {
    // Hidden rather than closed: closing the program's only window would end the program.
    Form_QueryUnload();
    hide();
    LoadDesign();
    newsTicker_->Reset();
    playback().Reset();
    Form_Load();
}

}  // namespace app
