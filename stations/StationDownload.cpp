#include "stations/StationDownload.h"

#include "platform/ui/error.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace {

constexpr int kMaxRedirects = 10;

QString seconds(int ms) {
    if (ms == 1000) {
        return QStringLiteral("1 second");
    }
    return QString::number(ms / 1000.0) + QStringLiteral(" seconds");
}

QString size(qint64 bytes) {
    constexpr qint64 kMiB = 1024 * 1024;
    if (bytes % kMiB == 0) {
        return QString::number(bytes / kMiB) + QStringLiteral(" MiB");
    }
    return QString::number(bytes) + QStringLiteral(" bytes");
}

}  // namespace

QByteArray DownloadFile(const QUrl& url, const DownloadLimits& limits) {
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    // The whole body is read; a compressed one would only hide its real size from the limit.
    request.setRawHeader("Accept-Encoding", "identity");
    QNetworkReply* reply = manager.get(request);

    QByteArray body;
    bool timedOut = false;
    bool tooLarge = false;
    QEventLoop loop;
    const auto refuseIfTooLarge = [&](qint64 bytes) {
        if (bytes > limits.maxBytes && !tooLarge) {
            tooLarge = true;
            reply->abort();
        }
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid()) {
            refuseIfTooLarge(length.toLongLong());
        }
    });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        body += reply->readAll();
        refuseIfTooLarge(body.size());
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        reply->abort();
    });
    deadline.start(limits.timeoutMs);
    if (!reply->isFinished()) {
        loop.exec();
    }
    deadline.stop();
    if (!tooLarge && !timedOut) {
        body += reply->readAll();
        refuseIfTooLarge(body.size());
    }

    const QString address = reply->url().toDisplayString();
    const auto fail = [&](const QString& why) -> QByteArray {
        const QString text =
            QStringLiteral("The station update could not be downloaded from %1: %2.")
                .arg(address, why);
        throw platform::Error(kErrStationDownload, platform::programName(), text);
    };
    if (timedOut) {
        return fail(QStringLiteral("the server did not answer within ") +
                    seconds(limits.timeoutMs));
    }
    if (tooLarge) {
        return fail(QStringLiteral("the file is larger than ") + size(limits.maxBytes));
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 300) {
        const QString reason =
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().trimmed();
        return fail(QStringLiteral("the server answered ") + QString::number(status) +
                    (reason.isEmpty() ? QString() : QLatin1Char(' ') + reason));
    }
    if (reply->error() != QNetworkReply::NoError) {
        return fail(reply->errorString());
    }
    return body;
}
