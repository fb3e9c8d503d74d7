#include "platform/player/mpv_player.h"

#include "platform/player/playlist.h"
#include "platform/player/playlist_resolver.h"
#include "platform/ui/error.h"
#include "platform/ui/message_box.h"

#include "platform/player/mpv_video_widget.h"

#include <mpv/client.h>

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSlider>

namespace platform {

namespace {

// Offscreen and minimal platforms show nothing to anyone: there the player plays sound only.
bool screenAvailable() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

int buttonCode(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton:
            return 1;
        case Qt::RightButton:
            return 2;
        case Qt::MiddleButton:
            return 4;
        default:
            return 0;
    }
}

int shiftCode(Qt::KeyboardModifiers modifiers) {
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
           (modifiers & Qt::AltModifier ? 4 : 0);
}

QString mpvPath(const QString& address) {
    const QUrl url(address);
    return url.isLocalFile() ? url.toLocalFile() : address;
}

}  // namespace

MpvPlayer::MpvPlayer(QWidget* parent, Video video)
    : QWidget(parent), resolver_(new PlaylistResolver(this)) {
    const bool picture = video == Video::Always || (video == Video::Auto && screenAvailable());
    MpvSession::Options options = MpvSession::safeDefaults();
    if (picture) {
        options.emplace_back(QStringLiteral("vo"), QStringLiteral("libmpv"));
    } else {
        options.emplace_back(QStringLiteral("vo"), QStringLiteral("null"));
        options.emplace_back(QStringLiteral("vid"), QStringLiteral("no"));
    }
    mpv_ = std::make_unique<MpvSession>(options);
    mpv_->observeFlag(QStringLiteral("paused-for-cache"));
    mpv_->observeString(QStringLiteral("metadata/by-key/icy-title"));
    mpv_->observeString(QStringLiteral("metadata/by-key/title"));
    mpv_->onEvent = [this](const MpvSession::Event& e) { onMpvEvent(e); };

    if (picture) {
        video_ = new MpvVideoWidget(mpv_->handle(), this);
        if (!video_->ok()) {
            delete video_;
            video_ = nullptr;
            mpv_->setProperty(QStringLiteral("vid"), QStringLiteral("no"));
        }
    }
    picture_ = video_ != nullptr ? static_cast<QWidget*>(video_) : new QWidget(this);
    picture_->setAutoFillBackground(true);
    QPalette black = picture_->palette();
    black.setColor(QPalette::Window, Qt::black);
    picture_->setPalette(black);
    picture_->installEventFilter(this);

    bar_ = new QWidget(this);
    auto* row = new QHBoxLayout(bar_);
    row->setContentsMargins(4, 2, 4, 2);
    volume_ = new QSlider(Qt::Horizontal, bar_);
    volume_->setRange(0, 100);
    volume_->setValue(100);
    volume_->setToolTip(QStringLiteral("Volume"));
    row->addWidget(volume_);
    connect(volume_, &QSlider::valueChanged, this, [this](int value) {
        try {
            mpv_->setDouble(QStringLiteral("volume"), value);
        } catch (const Error& e) {
            qWarning("%s", e.what());
        }
        Q_EMIT volumeChanged();
    });
    setHeightTwips(heightTwips_);
    setFocusPolicy(Qt::StrongFocus);
}

MpvPlayer::~MpvPlayer() {
    resolver_->cancel();
    // A full-screen picture is a window of its own and goes with the player; the render context
    // must go before the libmpv instance it belongs to.
    if (picture_ != video_ && picture_->parentWidget() != this) {
        delete picture_;
    }
    delete video_;
    video_ = nullptr;
}

int MpvPlayer::volume() const {
    return volume_->value();
}

void MpvPlayer::setVolume(int volume) {
    volume_->setValue(volume);
}

void MpvPlayer::setHeightTwips(int twips) {
    heightTwips_ = twips;
    resize(width() > 0 ? width() : twipsToPixelsX(2700), twipsToPixelsY(twips));
}

void MpvPlayer::resizeEvent(QResizeEvent*) {
    layoutChildren();
}

void MpvPlayer::layoutChildren() {
    bar_->setGeometry(0, height() - kBarHeightPixels, width(), kBarHeightPixels);
    if (!fullScreen_) {
        picture_->setGeometry(0, 0, width(), std::max(0, height() - kBarHeightPixels));
    }
}

void MpvPlayer::setURL(const QString& url) {
    stopMpv();
    url_ = url;
    attempt_ = Attempt();
    buffering_ = false;
    if (url.trimmed().isEmpty()) {
        phase_ = Phase::Idle;
        updateState();
        return;
    }
    phase_ = Phase::Resolving;
    updateState();
    resolver_->resolve(url, [this](const QStringList& candidates) { startAttempt(candidates); });
}

void MpvPlayer::close() {
    stopMpv();
    url_.clear();
    attempt_ = Attempt();
    phase_ = Phase::Idle;
    buffering_ = false;
    updateState();
}

void MpvPlayer::stop() {
    stopMpv();
    attempt_ = Attempt();
    phase_ = url_.isEmpty() ? Phase::Idle : Phase::Stopped;
    buffering_ = false;
    updateState();
}

void MpvPlayer::play() {
    if (url_.isEmpty() || phase_ == Phase::Playing || phase_ == Phase::Opening ||
        phase_ == Phase::Resolving) {
        return;
    }
    // A live stream resumes from its live edge: open the address again.
    setURL(url_);
}

void MpvPlayer::stopMpv() {
    resolver_->cancel();
    icyTitle_ = false;
    setStreamTitle(QString());
    if (phase_ == Phase::Opening || phase_ == Phase::Playing) {
        mpv_->command({QStringLiteral("stop")});
    }
    clearPicture();
}

// libmpv sends no frame when video stops: the last one would stay on screen.
void MpvPlayer::clearPicture() {
    if (video_ != nullptr) {
        video_->clear();
    }
}

void MpvPlayer::startAttempt(const QStringList& candidates) {
    attempt_ = Attempt(candidates);
    loadCurrent();
}

void MpvPlayer::loadCurrent() {
    if (!attempt_.hasCandidate()) {
        failAttempt();
        return;
    }
    phase_ = Phase::Opening;
    try {
        // The graph feeds on the sound only; a stream with its own video must show that.
        dropVisualisation();
        attempt_.loading(mpv_->command({QStringLiteral("loadfile"), mpvPath(attempt_.current())}));
    } catch (const Error& e) {
        qWarning("%s", e.what());
        failAttempt();
        return;
    }
    updateState();
}

void MpvPlayer::setVisualisation(const QString& effectType, int preset) {
    visualisation_ = visualisationGraph(effectType, preset);
}

void MpvPlayer::showEvent(QShowEvent*) {
    if (phase_ == Phase::Playing) {
        showVisualisationIfNoVideo();
    }
}

void MpvPlayer::hideEvent(QHideEvent*) {
    // Nobody sees a hidden (minimised) player: drawing the sound would only cost time.
    if (!fullScreen_) {
        try {
            dropVisualisation();
        } catch (const Error& e) {
            qWarning("%s", e.what());
        }
    }
}

void MpvPlayer::dropVisualisation() {
    if (visualising_) {
        visualising_ = false;
        mpv_->setProperty(QStringLiteral("lavfi-complex"), QString());
        clearPicture();
    }
}

void MpvPlayer::showVisualisationIfNoVideo() {
    if (video_ == nullptr || visualising_ || !isVisible() ||
        !mpv_->stringProperty(QStringLiteral("current-tracks/video/id")).isEmpty()) {
        return;
    }
    try {
        mpv_->setProperty(QStringLiteral("lavfi-complex"), visualisation_);
        visualising_ = true;
    } catch (const Error& e) {
        // A picture is a nicety: the sound plays on without it.
        qWarning("%s", e.what());
    }
}

void MpvPlayer::failAttempt() {
    ++errors_;
    phase_ = Phase::Failed;
    buffering_ = false;
    updateState();
}

void MpvPlayer::onMpvEvent(const MpvSession::Event& e) {
    using Type = MpvSession::Event::Type;
    switch (e.type) {
        case Type::StartFile:
            startedEntry_ = e.entryId;
            return;
        case Type::FileLoaded:
            if (phase_ == Phase::Opening && attempt_.isCurrent(startedEntry_)) {
                attempt_.played();
                phase_ = Phase::Playing;
                showVisualisationIfNoVideo();
                updateState();
            }
            return;
        case Type::PropertyChange:
            if (e.name == QLatin1String("paused-for-cache")) {
                buffering_ = e.value.toBool();
                updateState();
            } else {
                updateTitle(e.name, e.value.toString());
            }
            return;
        case Type::EndFile:
            clearPicture();
            break;
        case Type::Other:
            return;
    }
    if (e.endReason == MPV_END_FILE_REASON_REDIRECT && attempt_.isCurrent(e.entryId)) {
        // libmpv found a playlist behind the address; its entries pass the same safety rule as
        // ours (a playlist from the network never opens a local file).
        const QUrl base(attempt_.current());
        QStringList safe;
        for (const QString& file : mpv_->playlistFiles(e.insertId, e.insertCount)) {
            if (const auto url = playlist::resolveEntry(base, file)) {
                safe.append(playlist::expandScheme(url->toString(QUrl::FullyEncoded)));
            }
        }
        attempt_.replaceCurrent(safe);
        loadCurrent();
        return;
    }
    EndReason reason = EndReason::Stopped;
    if (e.endReason == MPV_END_FILE_REASON_EOF) {
        reason = EndReason::Eof;
    } else if (e.endReason == MPV_END_FILE_REASON_ERROR) {
        reason = EndReason::Error;
    }
    switch (attempt_.ended(e.entryId, reason)) {
        case Attempt::Next::Ignore:
            return;
        case Attempt::Next::TryNext:
            loadCurrent();
            return;
        case Attempt::Next::Failed:
            failAttempt();
            return;
        case Attempt::Next::Ended:
            phase_ = Phase::Ended;
            buffering_ = false;
            icyTitle_ = false;
            setStreamTitle(QString());
            updateState();
            return;
    }
}

void MpvPlayer::updateState() {
    const int state = playState();
    if (state != lastState_) {
        lastState_ = state;
        raiseStatusChange();
        Q_EMIT playStateChanged();
    }
}

// A radio server's "StreamTitle" wins over a title tag, which on a radio stream is usually the
// station's own name. libmpv drops the title now and then while the stream goes on; the last one
// stays until the stream stops.
void MpvPlayer::updateTitle(const QString& name, const QString& value) {
    const QString title = value.trimmed();
    if (title.isEmpty()) {
        return;
    }
    if (name == QLatin1String("metadata/by-key/icy-title")) {
        icyTitle_ = true;
        setStreamTitle(title);
    } else if (!icyTitle_) {
        setStreamTitle(title);
    }
}

void MpvPlayer::setStreamTitle(const QString& title) {
    if (title != streamTitle_) {
        streamTitle_ = title;
        Q_EMIT streamTitleChanged();
    }
}

void MpvPlayer::setStretchToFit(bool on) {
    if (video_ != nullptr) {
        mpv_->setProperty(QStringLiteral("video-unscaled"),
                          on ? QStringLiteral("no") : QStringLiteral("yes"));
    }
}

void MpvPlayer::setFullScreen(bool on) {
    if (on == fullScreen_) {
        return;
    }
    fullScreen_ = on;
    if (on) {
        // The picture alone fills the screen; Esc or a double-click brings it back.
        picture_->setParent(nullptr);
        picture_->setWindowFlag(Qt::Window, true);
        picture_->showFullScreen();
        picture_->activateWindow();
        picture_->setFocus();
    } else {
        picture_->setWindowFlag(Qt::Window, false);
        picture_->setParent(this);
        layoutChildren();
        picture_->show();
    }
}

bool MpvPlayer::eventFilter(QObject* watched, QEvent* event) {
    if (watched != picture_) {
        return QWidget::eventFilter(watched, event);
    }
    if (fullScreen_ && (event->type() == QEvent::MouseButtonDblClick ||
                        (event->type() == QEvent::KeyPress &&
                         static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape))) {
        setFullScreen(false);
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        raiseMouse(static_cast<QMouseEvent*>(event), picture_);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void MpvPlayer::mousePressEvent(QMouseEvent* event) {
    raiseMouse(event, this);
}

void MpvPlayer::raiseMouse(QMouseEvent* event, QWidget* from) {
    const QPoint at =
        fullScreen_ ? event->position().toPoint() : from->mapTo(this, event->position().toPoint());
    raiseMouseDown(buttonCode(event->button()), shiftCode(event->modifiers()), at.x(), at.y());
}

}  // namespace platform
