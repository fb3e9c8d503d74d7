#pragma once

#include "platform/player/media_player.h"
#include "platform/player/mpv_session.h"
#include "platform/player/play_state.h"

#include <QWidget>

#include <memory>

class QSlider;

namespace platform {

class MpvVideoWidget;
class PlaylistResolver;

// The hosted media player control: plays stream addresses through libmpv. Video frames are drawn
// by libmpv's software renderer into a plain widget (MpvVideoWidget) where there is a screen;
// offscreen the control plays audio only. A compact control bar with a volume slider sits at the
// bottom of the control, so a holder that cuts the control off at its full height hides it.
class MpvPlayer final : public QWidget, public MediaPlayer {
    Q_OBJECT

  public:
    // Auto: a picture where there is a screen to show it; Always: also offscreen.
    enum class Video { Auto, None, Always };
    explicit MpvPlayer(QWidget* parent = nullptr, Video video = Video::Auto);
    ~MpvPlayer() override;

    void setURL(const QString& url) override;
    QString URL() const override { return url_; }
    void close() override;
    void play() override;
    void stop() override;
    int playState() const override { return playStateFor(phase_, buffering_); }
    int errorCount() const override { return errors_; }
    void clearErrorQueue() override { errors_ = 0; }
    bool fullScreen() const override { return fullScreen_; }
    void setFullScreen(bool on) override;
    void setStretchToFit(bool on) override;
    // No scripts run inside the player, so no stream can ask it to open an address: the value
    // is only kept.
    void setInvokeURLs(bool on) override { invokeURLs_ = on; }
    int heightTwips() const override { return heightTwips_; }
    void setHeightTwips(int twips) override;

    bool hasVideo() const { return video_ != nullptr; }
    // The visualisation that streams without video show (where there is a picture at all).
    void setVisualisation(const QString& effectType, int preset);
    int volume() const;
    // As if the user moved the control bar's volume slider (0 to 100).
    void setVolume(int volume);
    // The title the stream itself announces (a radio server's "StreamTitle", a tag of the
    // stream), empty when it announces none.
    const QString& streamTitle() const { return streamTitle_; }

  Q_SIGNALS:
    // Beside StatusChange, which the window's handlers own: for further listeners.
    void playStateChanged();
    void volumeChanged();
    void streamTitleChanged();

  public:
    static constexpr int kBarHeightPixels = 24;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void startAttempt(const QStringList& candidates);
    void loadCurrent();
    void failAttempt();
    void onMpvEvent(const MpvSession::Event& e);
    void stopMpv();
    void updateState();
    void updateTitle(const QString& name, const QString& value);
    void setStreamTitle(const QString& title);
    void layoutChildren();
    void showVisualisationIfNoVideo();
    void dropVisualisation();
    void clearPicture();
    void raiseMouse(QMouseEvent* event, QWidget* from);

    std::unique_ptr<MpvSession> mpv_;
    PlaylistResolver* resolver_;
    MpvVideoWidget* video_ = nullptr;
    QWidget* picture_ = nullptr;  // what the video area shows: the video or a plain panel
    QWidget* bar_ = nullptr;
    QSlider* volume_ = nullptr;

    QString url_;
    Attempt attempt_;
    Phase phase_ = Phase::Idle;
    bool buffering_ = false;
    std::int64_t startedEntry_ = 0;
    int errors_ = 0;
    QString streamTitle_;
    bool icyTitle_ = false;
    int lastState_ = PlayUndefined;
    bool fullScreen_ = false;
    bool invokeURLs_ = true;
    int heightTwips_ = 2760;
    QString visualisation_ = visualisationGraph(QStringLiteral("Battery"), 3);
    bool visualising_ = false;
};

}  // namespace platform
