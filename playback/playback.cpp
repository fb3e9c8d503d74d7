#include "playback/playback.h"

#include "platform/mci/mci.h"
#include "platform/player/media_player.h"
#include "platform/player/play_state.h"
#include "platform/registry/settings_store.h"
#include "platform/ui/error.h"
#include "platform/ui/message_box.h"
#include "platform/ui/report_error.h"
#include "playback/playback_window.h"

#include <QDateTime>

namespace playback {

namespace {

const QString kApp = QStringLiteral("Zorvita");
const QString kCrLf = QStringLiteral("\r\n");

}  // namespace

const QString Playback::kUnavailableMessage =
    QStringLiteral(
        "Sorry this station is not available at the moment. It could be because of any "
        "of the below given reasons") +
    kCrLf + QStringLiteral("1) You are not connected to the internet.") + kCrLf +
    QStringLiteral(
        "2) You are behind an internet firewall which prevents listening to internet radio.") +
    kCrLf +
    QStringLiteral(
        "3) Radio Server is down for maintenance or has shut down or does not play at "
        "this hour.") +
    kCrLf + kCrLf +
    QStringLiteral(
        "Please try listening to it some other time or if you wish, you can remove this "
        "station from the list.");

Playback::Playback(platform::MediaPlayer& player, StationList& stations, PlayerWindow& window,
                   RecordFlow& record, platform::MessageBoxes& boxes,
                   platform::SettingsStore& settings, platform::Mci& mci, QString appFolder,
                   QObject* parent)
    : QObject(parent),
      wm_(player),
      stations_(stations),
      window_(window),
      record_(record),
      boxes_(boxes),
      settings_(settings),
      mci_(mci),
      appFolder_(std::move(appFolder)),
      random_(static_cast<quint32>(QDateTime::currentMSecsSinceEpoch())) {
    tmrFlash_.setInterval(200);
    connect(&tmrFlash_, &QTimer::timeout, this, &Playback::TmrFlash_Timer);
    wm_.StatusChange = [this] { WM_StatusChange(); };
    wm_.MouseDown = [this](int button, int shift, int x, int y) {
        WM_MouseDown(button, shift, x, y);
    };
}

Playback::~Playback() {
    wm_.StatusChange = nullptr;
    wm_.MouseDown = nullptr;
}

void Playback::PicPlay_Click() {
    platform::trapErrors(boxes_, [this] { play(); });
}

void Playback::play() {
    window_.endRollover();
    if (!startSoundPlayed_) {
        PlayName();
    }
    window_.setPicMessVisible(false);
    platform::doEvents();
    isPlaying_ = true;
    wm_.close();
    if (stations_.selectedIndex() < 0) {
        if (stations_.count() < 1) {
            throw platform::Error(380, platform::programName(),
                                  QStringLiteral("Invalid property value"));
        }
        stations_.select(0);
        LstStations_Click();
    }
    const int index = stations_.selectedIndex();
    wm_.setURL(stations_.url(index));
    currentStation_ = stations_.text(index).trimmed();
    startSoundPlayed_ = true;
    settings_.SaveSetting(kApp, QStringLiteral("Last Played"), QStringLiteral("Station"),
                          currentStation_);
}

void Playback::PlayName() {
    // The results are not looked at: a missing clip or device only means no start sound.
    platform::ignoreErrors([this] { mci_.mciSendString(QStringLiteral("close CURRFILE")); });
    platform::ignoreErrors([this] {
        mci_.mciSendString(QStringLiteral("open ") +
                           platform::mciQuote(appFolder_ + QStringLiteral("/Process.dll")) +
                           QStringLiteral(" type MPEGVideo alias CURRFILE"));
    });
    platform::ignoreErrors([this] { mci_.mciSendString(QStringLiteral("play CURRFILE")); });
}

void Playback::PicStop_Click() {
    platform::trapErrors(boxes_, [this] {
        window_.endRollover();
        wm_.close();
        platform::doEvents();
        isPlaying_ = false;
        window_.setPicMessVisible(true);
        if (record_.tag() == QLatin1String("RecordStarted")) {
            record_.stopRecording();
        }
        platform::doEvents();
    });
}

void Playback::LstStations_Click() {
    platform::trapErrors(boxes_, [this] {
        const int index = stations_.selectedIndex();
        if (index >= 0) {
            stations_.setCounterCaption(QString::number(index + 1) + QStringLiteral(" of ") +
                                        QString::number(stations_.count()));
        }
    });
}

void Playback::LstStations_DblClick() {
    if (stations_.selectedIndex() >= 0) {
        PicPlay_Click();
    }
}

void Playback::WM_StatusChange() {
    int state = platform::PlayUndefined;
    platform::ignoreErrors([&] { state = wm_.playState(); });
    if (state == platform::PlayPlaying) {
        platform::ignoreErrors([this] { tmrFlash_.start(); });
        return;
    }
    if (state == platform::PlayReady) {
        int errors = 0;
        platform::ignoreErrors([&] { errors = wm_.errorCount(); });
        if (errors < 1) {
            return;
        }
        platform::ignoreErrors([this] { tmrFlash_.stop(); });
        // The message belongs to an attempt the user started; clearing the flag and the queue
        // right after makes it appear once per attempt.
        platform::ignoreErrors([this] {
            if (isPlaying_) {
                boxes_.show(kUnavailableMessage, platform::MsgInformation, platform::kAppTitle);
            }
        });
        isPlaying_ = false;
        platform::ignoreErrors([this] { wm_.clearErrorQueue(); });
        return;
    }
    platform::ignoreErrors([this] { tmrFlash_.stop(); });
    platform::ignoreErrors([this] { window_.setFlashIcon(kIdleIcon); });
    platform::ignoreErrors([this] { window_.refreshTray(); });
}

void Playback::TmrFlash_Timer() {
    platform::trapErrors(boxes_, [this] {
        window_.setFlashIcon(static_cast<int>(random_.bounded(5)));
        window_.refreshTray();
    });
}

void Playback::WM_MouseDown(int button, int, int, int) {
    if (button != 2) {
        return;
    }
    platform::ignoreErrors([this] {
        if (wm_.fullScreen()) {
            return;
        }
        window_.popupViewMenu(wm_.playState() == platform::PlayPlaying);
    });
}

void Playback::mnuFull_Click() {
    platform::trapErrors(boxes_, [this] {
        if (wm_.playState() == platform::PlayPlaying) {
            wm_.setFullScreen(true);
        }
    });
}

void Playback::MnuPause_Click() {
    platform::trapErrors(boxes_, [this] {
        if (wm_.playState() == platform::PlayPlaying) {
            wm_.stop();
            window_.setPauseCaption(QStringLiteral("Play"));
        } else {
            wm_.play();
            window_.setPauseCaption(QStringLiteral("Stop"));
        }
        WM_StatusChange();
    });
}

void Playback::mnuShowVol_Click() {
    platform::trapErrors(boxes_, [this] {
        if (wm_.heightTwips() != kVolumeHiddenTwips) {
            wm_.setHeightTwips(kVolumeHiddenTwips);
            window_.setShowVolCaption(QStringLiteral("Show"));
            settings_.SaveSetting(kApp, QStringLiteral("VolumeControl"), QStringLiteral("Show"),
                                  QStringLiteral("0"));
        } else {
            wm_.setHeightTwips(kVolumeShownTwips);
            window_.setShowVolCaption(QStringLiteral("Hide"));
            settings_.SaveSetting(kApp, QStringLiteral("VolumeControl"), QStringLiteral("Show"),
                                  QStringLiteral("1"));
        }
    });
}

void Playback::GetVolumeControlSettings() {
    QString shown;
    platform::ignoreErrors([&] {
        shown = settings_.GetSetting(kApp, QStringLiteral("VolumeControl"), QStringLiteral("Show"));
    });
    const bool show = shown == QLatin1String("1");
    platform::ignoreErrors(
        [&] { wm_.setHeightTwips(show ? kVolumeShownTwips : kVolumeHiddenTwips); });
    platform::ignoreErrors(
        [&] { window_.setShowVolCaption(show ? QStringLiteral("Hide") : QStringLiteral("Show")); });
}

void Playback::ApplyStartupSettings() {
    platform::ignoreErrors([this] { wm_.setStretchToFit(true); });
    platform::ignoreErrors([this] { wm_.setInvokeURLs(false); });
}

void Playback::SelectLastPlayed() {
    QString last;
    platform::ignoreErrors([&] {
        last = settings_.GetSetting(kApp, QStringLiteral("Last Played"), QStringLiteral("Station"));
    });
    platform::ignoreErrors([&] {
        if (last.isEmpty()) {
            if (stations_.count() > 0) {
                stations_.select(0);
                LstStations_Click();
            }
            return;
        }
        for (int i = 0; i < stations_.count(); ++i) {
            if (stations_.text(i) == last) {
                stations_.select(i);
                LstStations_Click();
                return;
            }
        }
    });
}

void Playback::Reset() {
    tmrFlash_.stop();
    isPlaying_ = false;
    startSoundPlayed_ = false;
    currentStation_.clear();
}

}  // namespace playback
