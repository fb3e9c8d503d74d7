#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <memory>

struct mpv_handle;
struct mpv_render_context;

namespace platform {

// The player's picture. libmpv's software renderer draws each video frame into an image in
// memory, which this plain widget paints; a stream without video draws nothing at all. A GL
// widget would make Qt compose the whole top-level window through OpenGL on every repaint of any
// part of it, which costs more than the small picture ever saves.
class MpvVideoWidget final : public QWidget {
    Q_OBJECT

  public:
    MpvVideoWidget(mpv_handle* mpv, QWidget* parent);
    ~MpvVideoWidget() override;

    // False when libmpv refused the renderer: the player then plays sound only.
    bool ok() const { return render_ != nullptr; }
    // Whether a video frame is shown; clear() drops it (the stream stopped or lost its video).
    bool hasPicture() const { return !picture_.isNull(); }
    void clear();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void onUpdate();
    void render();
    void skipFrame();
    bool seen() const;
    void allocate(QSize pixels, qreal ratio);

    struct FreeContext {
        void operator()(mpv_render_context* c) const;
    };
    mpv_handle* mpv_;
    std::unique_ptr<mpv_render_context, FreeContext> render_;
    // A frame that libmpv hands over early waits here for its time to be shown.
    QTimer due_;
    // The image owns the surface libmpv draws into; nothing that would detach it (and so leave
    // the surface to a copy) is ever called on it.
    QImage picture_;
    uchar* surface_ = nullptr;
    bool warned_ = false;
};

}  // namespace platform
