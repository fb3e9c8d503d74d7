#include "recorder/RecordingSaver.h"

#include <QEventLoop>
#include <QFile>
#include <QTimer>

namespace recorder {

RecordingSaver::RecordingSaver(QString appFolder, QObject* parent)
    : QObject(parent), appFolder_(std::move(appFolder)) {
    converter_.setProcessChannelMode(QProcess::SeparateChannels);
    connect(&converter_, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        const QString why = QString::fromLocal8Bit(converter_.readAllStandardError()).trimmed();
        ended(status == QProcess::NormalExit && code == 0,
              why.isEmpty() && status != QProcess::NormalExit
                  ? QStringLiteral("The converter ended abnormally.")
                  : why);
    });
    connect(&converter_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            // start() may report this before returning: the outcome still comes from the loop.
            const QString why =
                QStringLiteral("The converter could not be started: ") + converter_.errorString();
            QMetaObject::invokeMethod(
                this, [this, why] { ended(false, why); }, Qt::QueuedConnection);
        }
    });
}

RecordingSaver::~RecordingSaver() {
    if (converter_.state() != QProcess::NotRunning) {
        // Nobody waits for the outcome any more; the intermediate file stays where it is.
        blockSignals(true);
        converter_.waitForFinished(-1);
    }
}

void RecordingSaver::start(const QString& intermediate, const QString& mp3Path) {
    intermediate_ = intermediate;
    mp3Path_ = mp3Path;
    running_ = true;
    // The converter takes the path in double quotes, as one argument.
    converter_.start(appFolder_ + QStringLiteral("/Skin.dll"),
                     {QLatin1Char('"') + intermediate + QLatin1Char('"')});
}

void RecordingSaver::waitForEnd(int timeoutMs) {
    if (!running_) {
        return;
    }
    QEventLoop loop;
    connect(this, &RecordingSaver::saved, &loop, &QEventLoop::quit);
    connect(this, &RecordingSaver::failed, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
}

void RecordingSaver::ended(bool ok, const QString& why) {
    if (!running_) {
        return;
    }
    running_ = false;
    if (ok && QFile::exists(mp3Path_)) {
        QFile::remove(intermediate_);
        Q_EMIT saved(mp3Path_);
        return;
    }
    QString reason = why;
    if (reason.isEmpty()) {
        reason = ok ? QStringLiteral("The converter made no MP3 file.")
                    : QStringLiteral("The converter failed.");
    }
    // Never the only copy of a recording: without an MP3 the recording stays.
    Q_EMIT failed(QStringLiteral("Could not convert the recording to MP3!\r\n") + reason +
                  QStringLiteral("\r\n\r\nThe recording is kept at:\r\n") + intermediate_);
}

}  // namespace recorder
