#pragma once

#include <QString>

#include <functional>

namespace platform {

// What the program needs of the hosted media player control. The real one plays through libmpv
// (MpvPlayer); tests of the handlers use a fake. Notifications are raised on the UI thread.
class MediaPlayer {
  public:
    virtual ~MediaPlayer() = default;

    // Writing an address opens and plays it (after resolving playlists).
    virtual void setURL(const QString& url) = 0;
    virtual QString URL() const = 0;
    // Stops playback and releases the current stream.
    virtual void close() = 0;
    // Resume (from the live edge) and stop the current stream, keeping its address.
    virtual void play() = 0;
    virtual void stop() = 0;

    virtual int playState() const = 0;
    virtual int errorCount() const = 0;
    virtual void clearErrorQueue() = 0;

    virtual bool fullScreen() const = 0;
    virtual void setFullScreen(bool on) = 0;
    virtual void setStretchToFit(bool on) = 0;
    virtual void setInvokeURLs(bool on) = 0;

    // The control's height in its holder, in twips, read back exactly as written.
    virtual int heightTwips() const = 0;
    virtual void setHeightTwips(int twips) = 0;

    // StatusChange: the play state changed. MouseDown(button, shift, x, y): button 1 left,
    // 2 right, 4 middle; shift 1 Shift, 2 Ctrl, 4 Alt; x and y in pixels within the control.
    std::function<void()> StatusChange;
    std::function<void(int button, int shift, int x, int y)> MouseDown;

  protected:
    void raiseStatusChange() {
        if (StatusChange) {
            StatusChange();
        }
    }
    void raiseMouseDown(int button, int shift, int x, int y) {
        if (MouseDown) {
            MouseDown(button, shift, x, y);
        }
    }
};

}  // namespace platform
