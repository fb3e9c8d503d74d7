#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace platform {
class MessageBoxes;
}

namespace app {

// The one icon of the program in the desktop's notification area.
class TrayIcon : public QObject {
    Q_OBJECT
  public:
    ~TrayIcon() override = default;
    // Whether the desktop has a notification area at all.
    virtual bool available() const = 0;
    virtual bool visible() const = 0;
    virtual void add(const QIcon& icon, const QString& tip) = 0;
    virtual void modify(const QIcon& icon, const QString& tip) = 0;
    virtual void remove() = 0;

  Q_SIGNALS:
    void DoubleClicked();
};

// The icon over QSystemTrayIcon: the desktop's StatusNotifierItem service or an XEmbed tray.
class QtTrayIcon final : public TrayIcon {
  public:
    // The menu pops up on a right click on the icon.
    explicit QtTrayIcon(QMenu* menu);
    ~QtTrayIcon() override;
    bool available() const override;
    bool visible() const override;
    void add(const QIcon& icon, const QString& tip) override;
    void modify(const QIcon& icon, const QString& tip) override;
    void remove() override;

  private:
    std::unique_ptr<QSystemTrayIcon> icon_;
};

// Minimising to the notification area and back: the window leaves the screen and the taskbar
// and lives on as an icon that shows the window's icon and names the playing station.
class ModSysTray final : public QObject {
    Q_OBJECT
  public:
    struct Sources {
        // Whether the player's state is "playing".
        std::function<bool()> playing;
        std::function<QString()> currentStation;
        // Ends the rollover of the window's buttons before it leaves the screen.
        std::function<void()> endRollover;
    };

    // The tip field holds 64 bytes with its terminating zero.
    static constexpr int kTipBytes = 63;

    ModSysTray(QWidget& window, std::unique_ptr<TrayIcon> icon, platform::MessageBoxes& boxes,
               Sources sources);
    ~ModSysTray() override;

    // The tip: the program's name, and the station while one plays; at most kTipBytes bytes of
    // UTF-8, cut between characters.
    static QString TrayTip(bool playing, const QString& station);
    static QString CutTip(const QString& tip, int maxBytes = kTipBytes);

    // 0 adds the icon, 1 modifies it, 2 deletes it; each reads the window's icon, the player's
    // state and the station now. Modifying or deleting while there is no icon changes nothing.
    void UpdateTrayIcon(int message);

    // Handlers of the window.
    void PicMin_Click();
    void Form_Resize();
    void mnuShow_Click();

    TrayIcon& icon() { return *icon_; }
    // Another icon in place of the current one (which is deleted first).
    void replaceIcon(std::unique_ptr<TrayIcon> icon);

  private:
    QWidget& window_;
    std::unique_ptr<TrayIcon> icon_;
    platform::MessageBoxes& boxes_;
    Sources sources_;
};

}  // namespace app
