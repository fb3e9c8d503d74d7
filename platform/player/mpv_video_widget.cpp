#include "platform/player/mpv_video_widget.h"

#include <mpv/client.h>
#include <mpv/render.h>

#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>

#include <cstdint>
#include <cstdlib>

namespace platform {

namespace {

// libmpv's SIMD paths want the surface and every line on 64-byte boundaries.
constexpr qsizetype kAlign = 64;

// Bytes B, G, R, X in memory are QImage::Format_RGB32 on a little-endian machine.
const char* const kPixelFormat = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? "bgr0" : "0rgb";

}  // namespace

void MpvVideoWidget::FreeContext::operator()(mpv_render_context* c) const {
    mpv_render_context_free(c);
}

MpvVideoWidget::MpvVideoWidget(mpv_handle* mpv, QWidget* parent) : QWidget(parent), mpv_(mpv) {
    due_.setSingleShot(true);
    due_.setTimerType(Qt::PreciseTimer);
    connect(&due_, &QTimer::timeout, this, &MpvVideoWidget::render);

    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context* created = nullptr;
    const int rc = mpv_render_context_create(&created, mpv_, params);
    if (rc < 0) {
        qWarning("video output unavailable: %s", mpv_error_string(rc));
        return;
    }
    render_.reset(created);
    mpv_render_context_set_update_callback(
        created,
        [](void* context) {
            // A libmpv thread: only queue the work on the UI thread. A widget that is gone by
            // then takes the queued call with it.
            auto* self = static_cast<MpvVideoWidget*>(context);
            QMetaObject::invokeMethod(
                self, [self] { self->onUpdate(); }, Qt::QueuedConnection);
        },
        this);
}

MpvVideoWidget::~MpvVideoWidget() {
    if (render_) {
        // After this returns no libmpv thread is inside the callback any more.
        mpv_render_context_set_update_callback(render_.get(), nullptr, nullptr);
        render_.reset();
    }
}

void MpvVideoWidget::clear() {
    if (due_.isActive()) {
        // libmpv waits for a frame it handed over to be taken.
        due_.stop();
        skipFrame();
    }
    if (!picture_.isNull()) {
        picture_ = QImage();
        surface_ = nullptr;
        update();
    }
}

// libmpv asks for every update to be fetched (it may wait for that); a new frame is drawn at the
// time libmpv gives for it, so the picture keeps in step with the sound.
void MpvVideoWidget::onUpdate() {
    if (!render_ || (mpv_render_context_update(render_.get()) & MPV_RENDER_UPDATE_FRAME) == 0) {
        return;
    }
    mpv_render_frame_info info{};
    std::int64_t waitUs = 0;
    if (mpv_render_context_get_info(render_.get(), {MPV_RENDER_PARAM_NEXT_FRAME_INFO, &info}) >=
            0 &&
        info.target_time > 0) {
        waitUs = info.target_time - mpv_get_time_us(mpv_);
    }
    if (waitUs >= 1000) {
        due_.start(static_cast<int>(waitUs / 1000));
    } else {
        render();
    }
}

bool MpvVideoWidget::seen() const {
    return isVisible() && !window()->isMinimized() && !size().isEmpty();
}

void MpvVideoWidget::allocate(QSize pixels, qreal ratio) {
    const qsizetype stride = (pixels.width() * 4 + kAlign - 1) / kAlign * kAlign;
    picture_ = QImage();
    surface_ = static_cast<uchar*>(std::aligned_alloc(kAlign, stride * pixels.height()));
    if (surface_ != nullptr) {
        picture_ = QImage(
            surface_, pixels.width(), pixels.height(), stride, QImage::Format_RGB32,
            [](void* p) { std::free(p); }, surface_);
        picture_.setDevicePixelRatio(ratio);
    }
}

void MpvVideoWidget::skipFrame() {
    if (!render_) {
        return;
    }
    int skip = 1;
    int block = 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context_render(render_.get(), params);
}

void MpvVideoWidget::render() {
    due_.stop();
    if (!render_) {
        return;
    }
    if (!seen()) {
        // Nobody sees the picture: the frame is taken without drawing, or libmpv would wait.
        skipFrame();
        return;
    }
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (picture_.size() != pixels || picture_.devicePixelRatio() != ratio) {
        allocate(pixels, ratio);
        if (picture_.isNull()) {
            skipFrame();
            return;
        }
    }
    // The picture's time is kept by the timer above: libmpv must not block the UI thread.
    int block = 0;
    int surface[2] = {pixels.width(), pixels.height()};
    std::size_t stride = static_cast<std::size_t>(picture_.bytesPerLine());
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, surface},
        {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>(kPixelFormat)},
        {MPV_RENDER_PARAM_SW_STRIDE, &stride},
        {MPV_RENDER_PARAM_SW_POINTER, surface_},
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    const int rc = mpv_render_context_render(render_.get(), params);
    if (rc < 0) {
        if (!warned_) {
            warned_ = true;
            qWarning("video frame not drawn: %s", mpv_error_string(rc));
        }
        return;
    }
    // The fourth byte is left undefined by libmpv; Qt expects it opaque.
    for (int y = 0; y < pixels.height(); ++y) {
        auto* line = reinterpret_cast<std::uint32_t*>(surface_ + stride * y);
        for (int x = 0; x < pixels.width(); ++x) {
            line[x] |= 0xff000000u;
        }
    }
    update();
}

void MpvVideoWidget::paintEvent(QPaintEvent*) {
    if (!picture_.isNull()) {
        QPainter(this).drawImage(QPointF(0, 0), picture_);
    }
}

// A shown picture is drawn again at the new size at once, not only with the next frame (which a
// paused stream never sends).
void MpvVideoWidget::resizeEvent(QResizeEvent*) {
    if (!picture_.isNull()) {
        render();
    }
}

void MpvVideoWidget::showEvent(QShowEvent*) {
    if (!picture_.isNull()) {
        render();
    }
}

}  // namespace platform
