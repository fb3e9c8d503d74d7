#include "platform/mci/waveaudio_device.h"

#include "platform/mci/capture_files.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QtDebug>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

namespace {

constexpr int kCaptureLatencyMs = 250;
constexpr int kDrainMs = 3000;
constexpr std::size_t kCopyChunk = 1 << 20;
constexpr std::size_t kWriteBatch = 64 << 10;
// Leaves room below the file system's name limit for a number and ".wav".
constexpr qsizetype kMaxKeptBaseBytes = 200;

class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Closes and reports whether the close succeeded (a network file system reports write
    // failures only here).
    bool close() { return ::close(std::exchange(fd_, -1)) == 0; }

  private:
    void reset() {
        if (fd_ >= 0) {
            static_cast<void>(::close(std::exchange(fd_, -1)));
        }
    }
    int fd_ = -1;
};

// Writes all bytes at the offset; returns how many reached the file (errno tells why not all).
std::uint64_t writeAt(int fd, const char* data, std::uint64_t bytes, std::uint64_t offset) {
    std::uint64_t done = 0;
    while (done < bytes) {
        const ssize_t n =
            ::pwrite(fd, data + done, bytes - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = ENOSPC;
            }
            break;
        }
        done += static_cast<std::uint64_t>(n);
    }
    return done;
}

bool writeAllAt(int fd, const QByteArray& data, std::uint64_t offset) {
    return writeAt(fd, data.constData(), static_cast<std::uint64_t>(data.size()), offset) ==
           static_cast<std::uint64_t>(data.size());
}

unsigned long writeFailure() {
    return errno == ENOSPC || errno == EDQUOT || errno == EFBIG ? MciErrDiskFull
                                                                : MciErrFileNotSaved;
}

// Copies bytes from one file to another at the same offsets; returns how many arrived.
std::uint64_t copyRange(int from, int to, std::uint64_t offset, std::uint64_t bytes,
                        bool* readFailed) {
    std::vector<char> buffer(kCopyChunk);
    std::uint64_t done = 0;
    *readFailed = false;
    while (done < bytes) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(bytes - done, kCopyChunk));
        const ssize_t got = ::pread(from, buffer.data(), want, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            *readFailed = true;
            return done;
        }
        const std::uint64_t put =
            writeAt(to, buffer.data(), static_cast<std::uint64_t>(got), offset + done);
        done += put;
        if (put < static_cast<std::uint64_t>(got)) {
            return done;
        }
    }
    return done;
}

void putLe(QByteArray* out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out->append(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

struct PcmFormat {
    int channels = 1;
    int samplesPerSec = 11025;
    int bitsPerSample = 16;
    int blockAlign() const { return channels * bitsPerSample / 8; }
};

// The captured sound of one device: a WAVE file in the temporary folder whose sizes are written
// when it is saved, fed by a writer thread so the sound client's thread never waits on the disk.
// Its header names the format from the start and the file stays locked while it is open, so a
// recording cut off by a crash can be found and completed later.
class CaptureFile {
  public:
    static std::unique_ptr<CaptureFile> create(const QString& folder, std::uint64_t maxData,
                                               const PcmFormat& format, unsigned long* error) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QString path = QDir(folder).filePath(
                captureFileName(::getpid(), QRandomGenerator::global()->generate()));
            UniqueFd fd(::open(QFile::encodeName(path).constData(),
                               O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
            if (!fd && errno == EEXIST) {
                continue;
            }
            if (!fd) {
                break;
            }
            // Without locks on this file system the writer's process id still protects it.
            static_cast<void>(::flock(fd.get(), LOCK_EX | LOCK_NB));
            auto file = std::unique_ptr<CaptureFile>(
                new CaptureFile(path, std::move(fd), maxData, format.blockAlign()));
            const QByteArray header =
                waveHeader(format.channels, format.samplesPerSec, format.bitsPerSample, 0);
            if (!writeAllAt(file->fd(), header, 0)) {
                *error = writeFailure();
                return nullptr;
            }
            return file;
        }
        *error = MciErrFileNotSaved;
        return nullptr;
    }

    ~CaptureFile() {
        finishWriting();
        if (::unlink(QFile::encodeName(path_).constData()) != 0 && errno != ENOENT) {
            qWarning("Could not remove the capture file %s", qPrintable(path_));
        }
    }

    int fd() const { return fd_.get(); }
    const QString& path() const { return path_; }

    std::uint64_t length() const {
        const std::lock_guard lock(mutex_);
        return accepted_;
    }

    unsigned long failure() const {
        const std::lock_guard lock(mutex_);
        return failure_;
    }

    // Takes over sound data that already lies in a file (a copy made to break a saved link).
    void adopt(std::uint64_t bytes, unsigned long failure) {
        const std::lock_guard lock(mutex_);
        accepted_ = written_ = bytes;
        failure_ = failure;
    }

    void beginWriting() {
        stopping_ = false;
        writer_ = std::thread([this] { run(); });
    }

    // Writes what is still queued, then ends the writer thread.
    void finishWriting() {
        if (!writer_.joinable()) {
            return;
        }
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_one();
        writer_.join();
    }

    // Called on the sound client's thread: queues what fits below the size limit.
    void push(const char* data, std::size_t bytes) {
        {
            const std::lock_guard lock(mutex_);
            if (failure_ != MciOk) {
                return;
            }
            std::uint64_t take = std::min<std::uint64_t>(bytes, maxData_ - accepted_);
            take -= take % static_cast<std::uint64_t>(blockAlign_);
            pending_.insert(pending_.end(), data, data + take);
            accepted_ += take;
            if (take < bytes) {
                failure_ = MciErrFileTooLarge;
            }
            // Sources deliver a few milliseconds at a time: write in larger pieces.
            if (pending_.size() < kWriteBatch && failure_ == MciOk) {
                return;
            }
        }
        wake_.notify_one();
    }

  private:
    CaptureFile(QString path, UniqueFd fd, std::uint64_t maxData, int blockAlign)
        : path_(std::move(path)),
          fd_(std::move(fd)),
          maxData_(maxData - maxData % static_cast<std::uint64_t>(blockAlign)),
          blockAlign_(blockAlign) {}

    void run() {
        std::vector<char> chunk;
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
            if (pending_.empty()) {
                return;
            }
            chunk.swap(pending_);
            const std::uint64_t offset = kWaveHeaderBytes + written_;
            lock.unlock();
            const std::uint64_t put = writeAt(fd_.get(), chunk.data(), chunk.size(), offset);
            const int why = errno;
            lock.lock();
            written_ += put;
            if (put < chunk.size()) {
                fail(why);
            }
            chunk.clear();
        }
    }

    // The disk refused more: keep the whole frames that reached it and take no more.
    void fail(int why) {
        errno = why;
        failure_ = writeFailure();
        written_ -= written_ % static_cast<std::uint64_t>(blockAlign_);
        accepted_ = written_;
        pending_.clear();
        if (::ftruncate(fd_.get(), static_cast<off_t>(kWaveHeaderBytes + written_)) != 0) {
            qWarning("Could not trim the capture file %s", qPrintable(path_));
        }
    }

    QString path_;
    UniqueFd fd_;
    const std::uint64_t maxData_;
    const int blockAlign_;
    std::thread writer_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<char> pending_;
    std::uint64_t accepted_ = 0;
    std::uint64_t written_ = 0;
    unsigned long failure_ = MciOk;
    bool stopping_ = false;
};

class MonitorCapture final : public WaveCapture {
  public:
    explicit MonitorCapture(std::unique_ptr<PulseClient> client) : client_(std::move(client)) {}

    unsigned long start(int channels, int samplesPerSec, CaptureConsumer consumer) override {
        DefaultSink sink;
        QString error;
        if (client_->defaultSink(&sink, &error)) {
            stream_ = client_->record(sink.monitorSource, channels, samplesPerSec,
                                      kCaptureLatencyMs, std::move(consumer), &error);
        }
        if (!stream_) {
            qWarning("Recording could not start: %s", qPrintable(error));
            return MciErrWaveInputUnavailable;
        }
        return MciOk;
    }

    void stop() override {
        if (stream_) {
            stream_->drain(kDrainMs);
            stream_.reset();
        }
    }

  private:
    std::unique_ptr<PulseClient> client_;
    std::unique_ptr<CaptureStream> stream_;
};

enum class TimeFormat { Milliseconds, Bytes, Samples };

bool parseNumber(const QString& text, int* value) {
    bool ok = false;
    *value = text.toInt(&ok);
    return ok;
}

class WaveAudioDevice final : public MciDevice {
  public:
    WaveAudioDevice(WaveAudioOptions options, std::unique_ptr<WaveCapture> capture)
        : options_(std::move(options)), capture_(std::move(capture)) {}

    ~WaveAudioDevice() override { endCapture(); }

    unsigned long command(const QStringList& words, QString* reply) override {
        const QString verb = words.value(0).toLower();
        if (verb == QLatin1String("set")) {
            return set(words);
        }
        if (verb == QLatin1String("status")) {
            return status(words, reply);
        }
        if (verb == QLatin1String("record")) {
            return words.size() == 1 ? record() : MciErrUnrecognizedKeyword;
        }
        if (verb == QLatin1String("stop")) {
            return words.size() == 1 ? stop() : MciErrUnrecognizedKeyword;
        }
        if (verb == QLatin1String("save")) {
            if (words.size() > 2) {
                return MciErrUnrecognizedKeyword;
            }
            return words.size() < 2 || words[1].isEmpty() ? MciErrFilenameRequired
                                                          : save(words[1], reply);
        }
        return MciErrUnrecognizedCommand;
    }

  private:
    PcmFormat format() const { return {channels_, samplesPerSec_, bitsPerSample_}; }
    int blockAlign() const { return format().blockAlign(); }
    std::uint64_t bytesPerSec() const {
        return static_cast<std::uint64_t>(samplesPerSec_) *
               static_cast<std::uint64_t>(blockAlign());
    }
    std::uint64_t captured() const { return file_ ? file_->length() : 0; }

    unsigned long set(const QStringList& words) {
        for (int i = 1; i < words.size();) {
            const QString item = words[i].toLower();
            if (item == QLatin1String("time") || item == QLatin1String("format")) {
                if (i + 2 >= words.size()) {
                    return MciErrMissingParameter;
                }
                const QString second = words[i + 1].toLower();
                const QString value = words[i + 2].toLower();
                const unsigned long rc = item == QLatin1String("time")
                                             ? setTimeFormat(second, value)
                                             : setFormatTag(second, value);
                if (rc != MciOk) {
                    return rc;
                }
                i += 3;
                continue;
            }
            if (i + 1 >= words.size()) {
                return MciErrMissingParameter;
            }
            int value = 0;
            if (!parseNumber(words[i + 1], &value)) {
                return MciErrBadInteger;
            }
            const unsigned long rc = setNumber(item, value);
            if (rc != MciOk) {
                return rc;
            }
            i += 2;
        }
        return MciOk;
    }

    unsigned long setTimeFormat(const QString& keyword, const QString& value) {
        if (keyword != QLatin1String("format")) {
            return MciErrUnrecognizedKeyword;
        }
        if (value == QLatin1String("ms") || value == QLatin1String("milliseconds")) {
            timeFormat_ = TimeFormat::Milliseconds;
        } else if (value == QLatin1String("bytes")) {
            timeFormat_ = TimeFormat::Bytes;
        } else if (value == QLatin1String("samples")) {
            timeFormat_ = TimeFormat::Samples;
        } else {
            return MciErrBadConstant;
        }
        return MciOk;
    }

    static unsigned long setFormatTag(const QString& keyword, const QString& value) {
        if (keyword != QLatin1String("tag")) {
            return MciErrUnrecognizedKeyword;
        }
        return value == QLatin1String("pcm") || value == QLatin1String("1") ? MciOk
                                                                            : MciErrBadConstant;
    }

    // The format of sound already captured cannot change under it.
    unsigned long setNumber(const QString& item, int value) {
        const bool known =
            item == QLatin1String("channels") || item == QLatin1String("samplespersec") ||
            item == QLatin1String("bitspersample") || item == QLatin1String("alignment") ||
            item == QLatin1String("bytespersec");
        if (!known) {
            return MciErrUnrecognizedKeyword;
        }
        if (recording_ || captured() > 0) {
            return MciErrDeviceNotReady;
        }
        // An empty capture file was laid out for the old frame size.
        file_.reset();
        linked_ = false;
        if (item == QLatin1String("channels")) {
            if (value < 1 || value > 8) {
                return MciErrOutOfRange;
            }
            channels_ = value;
        } else if (item == QLatin1String("samplespersec")) {
            if (value < 1000 || value > 192000) {
                return MciErrOutOfRange;
            }
            samplesPerSec_ = value;
        } else if (item == QLatin1String("bitspersample")) {
            // The sound server delivers 16-bit samples only.
            if (value != 16) {
                return MciErrWaveInputsUnsuitable;
            }
            bitsPerSample_ = value;
        } else if (item == QLatin1String("alignment")) {
            return value == blockAlign() ? MciOk : MciErrOutOfRange;
        } else if (static_cast<std::uint64_t>(value) != bytesPerSec()) {
            return MciErrOutOfRange;
        }
        return MciOk;
    }

    unsigned long status(const QStringList& words, QString* reply) {
        if (words.size() < 2) {
            return MciErrMissingParameter;
        }
        const QString item = words.mid(1).join(QLatin1Char(' ')).toLower();
        if (item == QLatin1String("length") || item == QLatin1String("position")) {
            *reply = QString::number(inTimeFormat(captured()));
        } else if (item == QLatin1String("channels")) {
            *reply = QString::number(channels_);
        } else if (item == QLatin1String("bitspersample")) {
            *reply = QString::number(bitsPerSample_);
        } else if (item == QLatin1String("samplespersec")) {
            *reply = QString::number(samplesPerSec_);
        } else if (item == QLatin1String("alignment")) {
            *reply = QString::number(blockAlign());
        } else if (item == QLatin1String("bytespersec")) {
            *reply = QString::number(bytesPerSec());
        } else if (item == QLatin1String("format tag")) {
            *reply = QStringLiteral("pcm");
        } else if (item == QLatin1String("mode")) {
            *reply = recording_ ? QStringLiteral("recording") : QStringLiteral("stopped");
        } else if (item == QLatin1String("ready")) {
            *reply = QStringLiteral("true");
        } else if (item == QLatin1String("time format")) {
            *reply = timeFormat_ == TimeFormat::Bytes     ? QStringLiteral("bytes")
                     : timeFormat_ == TimeFormat::Samples ? QStringLiteral("samples")
                                                          : QStringLiteral("milliseconds");
        } else {
            return MciErrUnrecognizedKeyword;
        }
        return MciOk;
    }

    std::uint64_t inTimeFormat(std::uint64_t bytes) const {
        switch (timeFormat_) {
            case TimeFormat::Bytes:
                return bytes;
            case TimeFormat::Samples:
                return bytes / static_cast<std::uint64_t>(blockAlign());
            case TimeFormat::Milliseconds:
                break;
        }
        return bytes * 1000 / bytesPerSec();
    }

    unsigned long record() {
        if (recording_) {
            return MciOk;
        }
        unsigned long rc = prepareFile();
        if (rc != MciOk) {
            return rc;
        }
        if (file_->failure() != MciOk) {
            return file_->failure();
        }
        file_->beginWriting();
        CaptureFile* file = file_.get();
        rc = capture_->start(
            channels_, samplesPerSec_,
            [file](const char* data, std::size_t bytes) { file->push(data, bytes); });
        if (rc != MciOk) {
            file_->finishWriting();
            return rc;
        }
        recording_ = true;
        return MciOk;
    }

    unsigned long ensureFile() {
        unsigned long rc = MciOk;
        if (!file_) {
            file_ = CaptureFile::create(folder(), options_.maxDataBytes, format(), &rc);
        }
        return rc;
    }

    // A file that was saved by linking is the saved file itself: go on in a copy of it.
    unsigned long prepareFile() {
        unsigned long rc = MciOk;
        if (!file_) {
            return ensureFile();
        }
        if (!linked_) {
            return MciOk;
        }
        auto copy = CaptureFile::create(folder(), options_.maxDataBytes, format(), &rc);
        if (!copy) {
            return rc;
        }
        const std::uint64_t bytes = file_->length();
        bool readFailed = false;
        if (copyRange(file_->fd(), copy->fd(), kWaveHeaderBytes, bytes, &readFailed) != bytes) {
            return readFailed ? MciErrFileNotSaved : writeFailure();
        }
        copy->adopt(bytes, file_->failure());
        file_ = std::move(copy);
        linked_ = false;
        return MciOk;
    }

    QString folder() const {
        return options_.tempFolder.isEmpty() ? QDir::tempPath() : options_.tempFolder;
    }

    void endCapture() {
        if (recording_) {
            capture_->stop();
            file_->finishWriting();
            recording_ = false;
        }
    }

    // A recording ended by the size limit or a full disk reports it here.
    unsigned long stop() {
        endCapture();
        return file_ ? file_->failure() : MciOk;
    }

    // A save that fails keeps the sound under a visible name in the capture folder; the reply
    // names that file.
    unsigned long save(const QString& path, QString* reply) {
        endCapture();
        unsigned long rc = ensureFile();
        if (rc != MciOk) {
            return rc;
        }
        rc = saveAs(path);
        if (rc != MciOk) {
            *reply = keep(path);
        }
        return rc;
    }

    unsigned long saveAs(const QString& path) {
        const std::uint64_t bytes = file_->length();
        const QByteArray header = waveHeader(channels_, samplesPerSec_, bitsPerSample_, bytes);
        if (!writeAllAt(file_->fd(), header, 0)) {
            return writeFailure();
        }
        const QByteArray target = QFile::encodeName(path);
        if (::unlink(target.constData()) != 0 && errno != ENOENT) {
            return MciErrFileNotSaved;
        }
        // A second name for the same data needs no disk space, so a full disk still saves.
        if (::link(QFile::encodeName(file_->path()).constData(), target.constData()) == 0) {
            linked_ = true;
            return MciOk;
        }
        return copyTo(target, header, bytes);
    }

    // Named after the file asked for (or the time, when that name cannot serve), beside the
    // capture file, never over another file. Linking needs no disk space; a file system without
    // links gets a copy.
    QString keep(const QString& requested) {
        const std::uint64_t bytes = file_->length();
        const QByteArray header = waveHeader(channels_, samplesPerSec_, bitsPerSample_, bytes);
        if (bytes == 0 || !writeAllAt(file_->fd(), header, 0)) {
            return {};
        }
        QString base = QFileInfo(requested).completeBaseName();
        if (base.isEmpty() || QFile::encodeName(base).size() > kMaxKeptBaseBytes) {
            base = recordingBaseName(QDateTime::currentDateTime());
        }
        const QByteArray source = QFile::encodeName(file_->path());
        const QString kept = placeUnderFreeName(folder(), base, [&](const QByteArray& target) {
            if (::link(source.constData(), target.constData()) == 0) {
                linked_ = true;
                return 0;
            }
            if (errno == EEXIST) {
                return EEXIST;
            }
            int notOpened = 0;
            const unsigned long rc = copyTo(target, header, bytes, O_EXCL, &notOpened);
            if (notOpened != 0) {
                return notOpened;
            }
            // A copy cut short by a full disk is still a complete file of what fitted.
            return rc == MciOk || ::access(target.constData(), F_OK) == 0 ? 0 : EIO;
        });
        if (kept.isEmpty()) {
            qWarning("The recording could not be kept beside %s", qPrintable(file_->path()));
        }
        return kept;
    }

    // Writes a copy; when the disk fills, what was copied is kept as a complete file. openFlags
    // O_EXCL refuses an existing target (*openErrno tells why the target did not open).
    unsigned long copyTo(const QByteArray& target, const QByteArray& header, std::uint64_t bytes,
                         int openFlags = O_TRUNC, int* openErrno = nullptr) {
        UniqueFd out(::open(target.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | openFlags, 0666));
        if (!out) {
            if (openErrno != nullptr) {
                *openErrno = errno;
            }
            return MciErrFileNotSaved;
        }
        bool readFailed = false;
        unsigned long rc = MciOk;
        std::uint64_t copied = 0;
        if (!writeAllAt(out.get(), header, 0)) {
            rc = writeFailure();
        } else {
            copied = copyRange(file_->fd(), out.get(), kWaveHeaderBytes, bytes, &readFailed);
            if (copied < bytes) {
                rc = readFailed ? MciErrFileNotSaved : writeFailure();
                copied -= copied % static_cast<std::uint64_t>(blockAlign());
                const QByteArray shorter =
                    waveHeader(channels_, samplesPerSec_, bitsPerSample_, copied);
                if (::ftruncate(out.get(), static_cast<off_t>(kWaveHeaderBytes + copied)) != 0 ||
                    !writeAllAt(out.get(), shorter, 0)) {
                    copied = 0;
                }
            }
        }
        const bool closed = out.close();
        if (rc == MciOk && !closed) {
            rc = writeFailure();
        }
        if (rc != MciOk && copied == 0 && ::unlink(target.constData()) != 0) {
            qWarning("Could not remove the unfinished file %s", target.constData());
        }
        return rc;
    }

    WaveAudioOptions options_;
    std::unique_ptr<WaveCapture> capture_;
    std::unique_ptr<CaptureFile> file_;
    TimeFormat timeFormat_ = TimeFormat::Milliseconds;
    int channels_ = 1;
    int samplesPerSec_ = 11025;
    int bitsPerSample_ = 16;
    bool recording_ = false;
    bool linked_ = false;
};

}  // namespace

QByteArray waveHeader(int channels, int samplesPerSec, int bitsPerSample, std::uint64_t dataBytes) {
    const auto align = static_cast<std::uint32_t>(channels * bitsPerSample / 8);
    const auto data = static_cast<std::uint32_t>(std::min(dataBytes, kMaxWaveDataBytes));
    QByteArray h;
    h.reserve(static_cast<int>(kWaveHeaderBytes));
    h.append("RIFF", 4);
    putLe(&h, 36 + data, 4);
    h.append("WAVEfmt ", 8);
    putLe(&h, 16, 4);
    putLe(&h, 1, 2);
    putLe(&h, static_cast<std::uint32_t>(channels), 2);
    putLe(&h, static_cast<std::uint32_t>(samplesPerSec), 4);
    putLe(&h, static_cast<std::uint32_t>(samplesPerSec) * align, 4);
    putLe(&h, align, 2);
    putLe(&h, static_cast<std::uint32_t>(bitsPerSample), 2);
    h.append("data", 4);
    putLe(&h, data, 4);
    return h;
}

std::unique_ptr<WaveCapture> openMonitorCapture(unsigned long* error) {
    QString text;
    auto client =
        PulseClient::connect(QStringLiteral("Zorvita"), PulseClient::kDefaultTimeoutMs, &text);
    if (!client) {
        qWarning("No sound server for recording: %s", qPrintable(text));
        *error = MciErrWaveInputUnavailable;
        return nullptr;
    }
    return std::make_unique<MonitorCapture>(std::move(client));
}

MciDeviceFactory waveAudioFactory(WaveAudioOptions options) {
    if (!options.openCapture) {
        options.openCapture = &openMonitorCapture;
    }
    return [options](const QString& element, unsigned long* error) -> std::unique_ptr<MciDevice> {
        // Only new recordings: opening an existing file to play it is not offered.
        if (element.compare(QLatin1String("new"), Qt::CaseInsensitive) != 0) {
            *error = MciErrInvalidFile;
            return nullptr;
        }
        auto capture = options.openCapture(error);
        if (!capture) {
            return nullptr;
        }
        return std::make_unique<WaveAudioDevice>(options, std::move(capture));
    };
}

}  // namespace platform
