#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

namespace platform {

// Sound captured by the wave-audio device waits in a hidden file of the capture folder until it is
// saved: ".recording-<pid>-<8 hex digits>.wav", a canonical WAVE header whose sizes stay 0 until
// it is saved, then the data. Its device holds an exclusive flock on it while the file is open,
// so a file nobody holds and whose process is gone is a recording cut off by a crash or a kill.
QString captureFileName(long long pid, quint32 random);

// The name of a recording made at the given time, without extension: "Recorded_ddmmyyhhmmss".
QString recordingBaseName(const QDateTime& at);

// Puts a file under the first free name of folder/base.wav, folder/base-2.wav, ... without ever
// replacing a file: place(target) makes the file at the encoded target and returns 0 or an errno
// value, EEXIST meaning "try the next name". Returns the path made, or empty text.
QString placeUnderFreeName(const QString& folder, const QString& base,
                           const std::function<int(const QByteArray& target)>& place);

// Turns every capture file of the folder whose process is gone into a visible recording
// "Recorded_<ddmmyyhhmmss>.wav", named from the file's last change, with the header sizes of the
// whole frames it holds. Files that hold no sound are removed; files still held are left alone.
// Returns the paths of the recordings made.
QStringList recoverCaptureFiles(const QString& folder);

}  // namespace platform
