#include "recorder/EncoderWAV.h"

#include "platform/codecs/wave_encoder.h"
#include "platform/codecs/wave_formats.h"
#include "platform/ui/error.h"

#include <QFile>
#include <QtEndian>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>

namespace recorder {

namespace {

// The header's sizes are 32-bit: data beyond them could not be described.
constexpr std::int64_t kLargestFile = 0xFFFFFFFFLL;

bool writeAllAt(int fd, const char* data, std::int64_t bytes, std::int64_t offset) {
    while (bytes > 0) {
        const ssize_t n = ::pwrite(fd, data, static_cast<std::size_t>(bytes), offset);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        bytes -= n;
        offset += n;
    }
    return true;
}

void putLe32(char* at, std::uint32_t v) {
    qToLittleEndian(v, reinterpret_cast<uchar*>(at));
}

}  // namespace

EncoderWAV::EncoderWAV(FormatChooser chooser)
    : chooser_(std::move(chooser)), format_(platform::pcmWaveFormat(44100, 2, 16)) {}

EncoderWAV::~EncoderWAV() {
    EncoderClose();
}

int EncoderWAV::SelectFormat(int rate, int channels, QWidget* hwndOwner, const QString& Title) {
    platform::WaveFormatOption chosen;
    if (!chooser_ || !chooser_(hwndOwner, Title, rate, channels, format_, &chosen)) {
        return kCancelled;
    }
    format_ = chosen.format;
    formatId_ = chosen.id;
    formatTag_ = chosen.tag;
    return kOk;
}

void EncoderWAV::SetFormat(const char* wfx_ptr, int wfx_len, const QString& FormatID,
                           const QString& FormatTag) {
    if (wfx_ptr == nullptr || wfx_len < platform::kWaveFormatBytes) {
        return;
    }
    const QByteArray record(wfx_ptr, wfx_len);
    platform::WaveFormatFields fields;
    platform::readWaveFormat(record, &fields);
    if (wfx_len < platform::kWaveFormatBytes + fields.cbSize) {
        return;
    }
    format_ = record;
    formatId_ = FormatID;
    formatTag_ = FormatTag;
}

void EncoderWAV::SetPCMFormat(int rate, int channels, const QString& FormatID,
                              const QString& FormatTag) {
    format_ = platform::pcmWaveFormat(rate, channels, 16);
    formatId_ = FormatID;
    if (formatId_.isEmpty()) {
        const double kiloHertz = std::round(rate / 100.0) / 10.0;
        formatId_ = QString::number(kiloHertz) + QStringLiteral(" 16 Bit ") +
                    (channels == 2 ? QStringLiteral("stereo") : QStringLiteral("mono"));
    }
    formatTag_ = FormatTag.isEmpty() ? QStringLiteral("PCM") : FormatTag;
}

void EncoderWAV::SetWriteHeader(bool value) {
    if (isOpen()) {
        throw platform::Error(kErrAlreadyRunning, QStringLiteral("EncoderWAV"),
                              QStringLiteral("Encoder already running!"));
    }
    writeHeader_ = value;
}

int EncoderWAV::EncoderInit(int rate, int channels, const QString& path) {
    EncoderClose();
    if (rate < 1 || channels < 1) {
        return kBadFormat;
    }
    QString why;
    encoder_ = platform::WaveEncoder::open(rate, channels, format_, &why);
    if (!encoder_) {
        return kBadFormat;
    }
    const QByteArray name = QFile::encodeName(path);
    fd_ = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        encoder_.reset();
        return kFileNotOpen;
    }
    fileEnd_ = 0;
    if (writeHeader_) {
        const QByteArray room(format_.size() + 28, '\0');
        if (!writeData(room.constData(), room.size())) {
            ::close(fd_);
            fd_ = -1;
            ::unlink(name.constData());
            encoder_.reset();
            return kFileNotOpen;
        }
    }
    inputBlockAlign_ = 2 * channels;
    inputCapacity_ = inputBlockAlign_ * rate;
    pending_.clear();
    return kOk;
}

bool EncoderWAV::writeData(const char* data, std::int64_t bytes) {
    if (bytes == 0) {
        return true;
    }
    if (fileEnd_ + bytes > kLargestFile || !writeAllAt(fd_, data, bytes, fileEnd_)) {
        // Keep the file whole: what a short write left of this piece goes.
        static_cast<void>(::ftruncate(fd_, fileEnd_));
        return false;
    }
    fileEnd_ += bytes;
    return true;
}

int EncoderWAV::Encode(const char* buffer_ptr, int buffer_len, int* buffer_used) {
    *buffer_used = 0;
    if (!isOpen()) {
        return kFileNotOpen;
    }
    if (buffer_len > inputCapacity_) {
        return kTooMuchInput;
    }
    const auto held = pending_.size();
    if (buffer_ptr != nullptr && buffer_len > 0) {
        pending_.append(buffer_ptr, buffer_len);
    }
    converted_.clear();
    const long long taken = encoder_->convert(
        pending_.constData(), static_cast<std::size_t>(pending_.size()), &converted_);
    if (taken < 0) {
        pending_.truncate(held);
        return kCodecFailed;
    }
    pending_.remove(0, static_cast<qsizetype>(taken));
    *buffer_used = static_cast<int>(taken);
    return writeData(converted_.constData(), converted_.size()) ? kOk : kWriteFailed;
}

bool EncoderWAV::writeHeaderNow() {
    const std::int64_t size = fileEnd_;
    const auto length = static_cast<std::uint32_t>(format_.size());
    QByteArray header(20, '\0');
    std::memcpy(header.data(), "RIFF", 4);
    putLe32(header.data() + 4, static_cast<std::uint32_t>(size - 8));
    std::memcpy(header.data() + 8, "WAVEfmt ", 8);
    putLe32(header.data() + 16, length);
    header += format_;
    header += QByteArray("data");
    QByteArray dataLength(4, '\0');
    putLe32(dataLength.data(), static_cast<std::uint32_t>(size - header.size() - 4));
    header += dataLength;
    return writeAllAt(fd_, header.constData(), header.size(), 0);
}

int EncoderWAV::EncoderClose() {
    if (!isOpen()) {
        return kFileNotOpen;
    }
    converted_.clear();
    // The codec's last data is written even when it reports a failure: it is what it made.
    static_cast<void>(encoder_->finish(&converted_));
    bool ok = writeData(converted_.constData(), converted_.size());
    if (writeHeader_ && !writeHeaderNow()) {
        ok = false;
    }
    if (::close(fd_) != 0) {
        ok = false;
    }
    fd_ = -1;
    encoder_.reset();
    pending_.clear();
    return ok ? kOk : kWriteFailed;
}

int EncoderWAV::EncoderMetrics(int info) const {
    if (info != 0 && info != 1) {
        return 0;
    }
    if (!isOpen()) {
        return -1;
    }
    return info == 0 ? inputBlockAlign_ : inputCapacity_;
}

}  // namespace recorder
