#pragma once

#include <QByteArray>

class QUrl;

// The program's own error number for a download that failed.
inline constexpr long kErrStationDownload = 30001;

struct DownloadLimits {
    int timeoutMs = 30000;               // the whole download, from the request to the last byte
    qint64 maxBytes = 16 * 1024 * 1024;  // a larger body is refused
};

// Fetches `url` with a local event loop: the caller's window keeps painting and its timers keep
// running, but nothing else runs in the caller until the download ends. Redirects are followed
// within the same scheme or to https. Returns the body of a successful answer; throws
// platform::Error(kErrStationDownload) with a description naming the address and what went wrong
// (an error status, no answer in time, a body over the limit, a network error).
QByteArray DownloadFile(const QUrl& url, const DownloadLimits& limits = {});
