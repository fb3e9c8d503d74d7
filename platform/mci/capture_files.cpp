#include "platform/mci/capture_files.h"

#include "platform/mci/waveaudio_device.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtDebug>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>

namespace platform {

namespace {

constexpr int kMaxNameTries = 1000;

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            static_cast<void>(::close(fd_));
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

quint32 le(const QByteArray& b, int at, int bytes) {
    quint32 v = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        v = v << 8 | static_cast<quint8>(b[at + i]);
    }
    return v;
}

struct Format {
    int channels = 0;
    int rate = 0;
    int bits = 0;
    int align() const { return channels * bits / 8; }
};

// Only the header the device itself writes is trusted: anything else is not our sound.
bool readFormat(int fd, Format* format) {
    QByteArray h(static_cast<int>(kWaveHeaderBytes), '\0');
    if (::pread(fd, h.data(), kWaveHeaderBytes, 0) != static_cast<ssize_t>(kWaveHeaderBytes)) {
        return false;
    }
    format->channels = static_cast<int>(le(h, 22, 2));
    format->rate = static_cast<int>(le(h, 24, 4));
    format->bits = static_cast<int>(le(h, 34, 2));
    return h.startsWith("RIFF") && h.mid(8, 8) == "WAVEfmt " && le(h, 16, 4) == 16 &&
           le(h, 20, 2) == 1 && format->channels >= 1 && format->channels <= 8 &&
           format->rate >= 1000 && format->rate <= 192000 && format->bits == 16 &&
           static_cast<int>(le(h, 32, 2)) == format->align() && h.mid(36, 4) == "data";
}

// A process that is gone cannot be writing; our own id on a file nobody holds is a program that
// ran earlier under the same id (common in containers).
bool writerAlive(long long pid) {
    if (pid == ::getpid()) {
        return false;
    }
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

void removeEmpty(const QByteArray& path) {
    if (::unlink(path.constData()) != 0) {
        qWarning("Could not remove the empty capture file %s", path.constData());
    }
}

QString recoverOne(const QString& folder, const QString& name) {
    const QByteArray path = QFile::encodeName(QDir(folder).filePath(name));
    const Fd fd(::open(path.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        return {};
    }
    Format format;
    if (!readFormat(fd.get(), &format)) {
        if (static_cast<std::uint64_t>(st.st_size) <= kWaveHeaderBytes) {
            removeEmpty(path);
        } else {
            qWarning("Left alone a capture file of unknown format: %s", path.constData());
        }
        return {};
    }
    std::uint64_t data =
        std::min(static_cast<std::uint64_t>(st.st_size) - kWaveHeaderBytes, kMaxWaveDataBytes);
    data -= data % static_cast<std::uint64_t>(format.align());
    if (data == 0) {
        removeEmpty(path);
        return {};
    }
    const QByteArray header = waveHeader(format.channels, format.rate, format.bits, data);
    if (::ftruncate(fd.get(), static_cast<off_t>(kWaveHeaderBytes + data)) != 0 ||
        ::pwrite(fd.get(), header.constData(), kWaveHeaderBytes, 0) !=
            static_cast<ssize_t>(kWaveHeaderBytes) ||
        ::fdatasync(fd.get()) != 0) {
        qWarning("Could not complete the cut-off recording %s", path.constData());
        return {};
    }
    const QDateTime changed = QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec);
    return placeUnderFreeName(folder, recordingBaseName(changed), [&](const QByteArray& target) {
        if (::renameat2(AT_FDCWD, path.constData(), AT_FDCWD, target.constData(),
                        RENAME_NOREPLACE) == 0) {
            return 0;
        }
        if (errno != EINVAL && errno != ENOSYS) {
            return errno;
        }
        // A file system that cannot refuse to replace: look first.
        if (::access(target.constData(), F_OK) == 0) {
            return EEXIST;
        }
        return ::rename(path.constData(), target.constData()) == 0 ? 0 : errno;
    });
}

}  // namespace

QString captureFileName(long long pid, quint32 random) {
    return QStringLiteral(".recording-%1-%2.wav").arg(pid).arg(random, 8, 16, QLatin1Char('0'));
}

QString recordingBaseName(const QDateTime& at) {
    return QStringLiteral("Recorded_") + at.toString(QStringLiteral("ddMMyyHHmmss"));
}

QString placeUnderFreeName(const QString& folder, const QString& base,
                           const std::function<int(const QByteArray& target)>& place) {
    for (int n = 1; n <= kMaxNameTries; ++n) {
        const QString name =
            n == 1 ? base + QStringLiteral(".wav") : QStringLiteral("%1-%2.wav").arg(base).arg(n);
        const QString target = QDir(folder).filePath(name);
        const int rc = place(QFile::encodeName(target));
        if (rc == 0) {
            return target;
        }
        if (rc != EEXIST) {
            return {};
        }
    }
    return {};
}

QStringList recoverCaptureFiles(const QString& folder) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\.recording-([0-9]+)-[0-9a-f]{8}\\.wav$"));
    QStringList recovered;
    const QStringList names =
        QDir(folder).entryList({QStringLiteral(".recording-*.wav")},
                               QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& name : names) {
        const QRegularExpressionMatch m = pattern.match(name);
        bool ok = false;
        const long long pid = m.hasMatch() ? m.captured(1).toLongLong(&ok) : 0;
        if (!ok || pid <= 0 || pid > INT_MAX || writerAlive(pid)) {
            continue;
        }
        const QString made = recoverOne(folder, name);
        if (!made.isEmpty()) {
            recovered.append(made);
        }
    }
    return recovered;
}

}  // namespace platform
