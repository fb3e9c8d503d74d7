#include "recorder/RecordingSession.h"

#include "recorder/RecorderTexts.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace recorder {

namespace {

constexpr int kLatencyMs = 100;
// How long a monitor may still hold back the end of a recording.
constexpr int kDrainMs = 1000;

}  // namespace

RecordingSession::RecordingSession(QString appFolder, QObject* parent)
    : QObject(parent), appFolder_(std::move(appFolder)) {
    converter_.setProcessChannelMode(QProcess::SeparateChannels);
    connect(&converter_, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        const QString why = QString::fromLocal8Bit(converter_.readAllStandardError()).trimmed();
        converterEnded(status == QProcess::NormalExit && code == 0, why);
    });
    connect(&converter_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            converterEnded(false, converter_.errorString());
        }
    });
}

RecordingSession::~RecordingSession() {
    stream_.reset();
    writer_.close();
    if (converter_.state() != QProcess::NotRunning) {
        // Nobody listens any more; the intermediate file is still cleaned up.
        blockSignals(true);
        converter_.waitForFinished(-1);
    }
}

bool RecordingSession::connectServer(int timeoutMs, QString* error) {
    client_ = platform::PulseClient::connect(kBoxCaption, timeoutMs, error);
    return client_ != nullptr;
}

bool RecordingSession::listSources(std::vector<platform::AudioSource>* sources, int* preselected,
                                   QString* error) {
    *preselected = -1;
    if (!client_ || !client_->listSources(sources, error)) {
        return false;
    }
    platform::DefaultSink sink;
    QString ignored;
    if (client_->defaultSink(&sink, &ignored)) {
        const auto it = std::find_if(sources->begin(), sources->end(),
                                     [&](const auto& s) { return s.name == sink.monitorSource; });
        if (it != sources->end()) {
            *preselected = static_cast<int>(it - sources->begin());
        }
    }
    return true;
}

bool RecordingSession::start(const QString& source, int rate, const QString& outputPath,
                             QString* error) {
    if (state_ != State::Idle || !client_) {
        *error = QStringLiteral("Not ready to record");
        return false;
    }
    outputPath_ = outputPath.trimmed();
    intermediate_ = intermediatePath(outputPath_);
    if (!writer_.open(intermediate_, rate, kChannels, error)) {
        return false;
    }
    rate_ = rate;
    writeError_ = false;
    peakLeft_ = peakRight_ = 0;
    // Runs on the sound client's thread: hand a copy to the UI thread.
    auto consumer = [this](const char* data, std::size_t bytes) {
        QByteArray copy(data, static_cast<qsizetype>(bytes));
        QMetaObject::invokeMethod(
            this, [this, copy] { take(copy); }, Qt::QueuedConnection);
    };
    stream_ = client_->record(source, kChannels, rate, kLatencyMs, std::move(consumer), error);
    if (!stream_) {
        writer_.close();
        QFile::remove(intermediate_);
        return false;
    }
    state_ = State::Recording;
    return true;
}

void RecordingSession::take(const QByteArray& pcm) {
    if (!writer_.isOpen() || writeError_) {
        return;
    }
    const auto* samples = reinterpret_cast<const std::int16_t*>(pcm.constData());
    const qsizetype count = pcm.size() / 2;
    int left = 0;
    int right = 0;
    for (qsizetype i = 0; i + 1 < count; i += 2) {
        left = std::max(left, std::abs(static_cast<int>(samples[i])));
        right = std::max(right, std::abs(static_cast<int>(samples[i + 1])));
    }
    peakLeft_ = left;
    peakRight_ = right;
    if (!writer_.write(pcm.constData(), pcm.size())) {
        // Not from inside this delivery: stopping delivers what is still queued.
        writeError_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                stop();
                Q_EMIT writeFailed();
            },
            Qt::QueuedConnection);
    }
}

void RecordingSession::stop() {
    if (state_ != State::Recording) {
        return;
    }
    state_ = State::Saving;
    if (stream_) {
        stream_->drain(kDrainMs);
        stream_.reset();
    }
    // What the sound thread queued before the capture ended still belongs to the recording.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    if (!writer_.close()) {
        converterEnded(false, QStringLiteral("The recording could not be completed"));
        return;
    }
    // The converter takes the path in double quotes, as one argument.
    converter_.start(appFolder_ + QStringLiteral("/Skin.dll"),
                     {QLatin1Char('"') + intermediate_ + QLatin1Char('"')});
}

void RecordingSession::waitForSaving(int timeoutMs) {
    if (state_ == State::Saving && converter_.state() != QProcess::NotRunning) {
        converter_.waitForFinished(timeoutMs);
    }
}

void RecordingSession::converterEnded(bool ok, const QString& why) {
    if (state_ != State::Saving) {
        return;
    }
    state_ = State::Idle;
    peakLeft_ = peakRight_ = 0;
    if (ok && QFile::exists(outputPath_)) {
        QFile::remove(intermediate_);
        Q_EMIT saved(outputPath_);
        return;
    }
    // The recording is the user's: without an MP3 it stays where it is.
    Q_EMIT failed(QStringLiteral("Could not convert the recording to MP3!") +
                  (why.isEmpty() ? QString() : QStringLiteral("\r\n") + why) +
                  QStringLiteral("\r\n\r\nThe recording is kept at:\r\n") + intermediate_);
}

std::int64_t RecordingSession::elapsedMs() const {
    if (!writer_.isOpen() || rate_ == 0) {
        return 0;
    }
    return writer_.dataBytes() * 1000 / (static_cast<std::int64_t>(rate_) * kChannels * 2);
}

}  // namespace recorder
