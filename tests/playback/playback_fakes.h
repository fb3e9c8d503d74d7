#pragma once

#include "platform/mci/mci.h"
#include "platform/player/media_player.h"
#include "playback/playback_window.h"

#include <QStringList>

#include <vector>

namespace testing_support {

// The message of a station that cannot be played, as the user reads it.
inline const QString kStationUnavailableText = QStringLiteral(
    "Sorry this station is not available at the moment. It could be because of any of the below "
    "given reasons\r\n"
    "1) You are not connected to the internet.\r\n"
    "2) You are behind an internet firewall which prevents listening to internet radio.\r\n"
    "3) Radio Server is down for maintenance or has shut down or does not play at this hour.\r\n"
    "\r\n"
    "Please try listening to it some other time or if you wish, you can remove this station from "
    "the list.");

// The window's station list: items with their addresses, the selection and the counter label.
class FakeStations final : public playback::StationList {
  public:
    struct Item {
        QString name;
        QString url;
    };
    std::vector<Item> items;
    int selected = -1;
    QString counter;

    int count() const override { return static_cast<int>(items.size()); }
    int selectedIndex() const override { return selected; }
    void select(int index) override { selected = index; }
    QString text(int index) const override { return items.at(static_cast<size_t>(index)).name; }
    QString url(int index) const override { return items.at(static_cast<size_t>(index)).url; }
    void setCounterCaption(const QString& caption) override { counter = caption; }
};

// The window's chrome, recording what playback did to it.
class FakeWindow final : public playback::PlayerWindow {
  public:
    bool picMessVisible = true;
    int rollovers = 0;
    std::vector<int> icons;
    int trayRefreshes = 0;
    QString pauseCaption = QStringLiteral("Stop");
    QString showVolCaption;
    std::vector<bool> popups;  // one per pop-up: whether "Video Size" was shown

    void endRollover() override { ++rollovers; }
    void setPicMessVisible(bool visible) override { picMessVisible = visible; }
    void setFlashIcon(int index) override { icons.push_back(index); }
    void refreshTray() override { ++trayRefreshes; }
    void setPauseCaption(const QString& caption) override { pauseCaption = caption; }
    void setShowVolCaption(const QString& caption) override { showVolCaption = caption; }
    void popupViewMenu(bool withVideoSize) override { popups.push_back(withVideoSize); }
};

class FakeRecord final : public playback::RecordFlow {
  public:
    QString windowTag;
    int stops = 0;
    QString tag() const override { return windowTag; }
    void stopRecording() override { ++stops; }
};

// Logs every command and hands it on to a real session when one is given.
class LoggingMci final : public platform::Mci {
  public:
    explicit LoggingMci(platform::Mci* next = nullptr) : next_(next) {}
    QStringList commands;
    unsigned long mciSendString(const QString& command, QString* reply) override {
        commands.append(command);
        return next_ != nullptr ? next_->mciSendString(command, reply) : platform::MciOk;
    }
    QString mciGetErrorString(unsigned long code) const override {
        return next_ != nullptr ? next_->mciGetErrorString(code) : QString();
    }

  private:
    platform::Mci* next_;
};

}  // namespace testing_support
