#include "recorder/WaveFileWriter.h"

#include <QByteArray>

#include <cstring>

namespace recorder {

namespace {

constexpr int kHeaderBytes = 44;
// The sizes are 32-bit; a longer recording keeps its first 4 GB.
constexpr std::int64_t kMaxData = 0xFFFFFFFFLL - 36;

void putLe(char* at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        at[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
}

QByteArray header(int rate, int channels, std::uint32_t dataBytes) {
    QByteArray h(kHeaderBytes, '\0');
    char* p = h.data();
    const auto align = static_cast<std::uint32_t>(channels * 2);
    std::memcpy(p, "RIFF", 4);
    putLe(p + 4, 36 + dataBytes, 4);
    std::memcpy(p + 8, "WAVEfmt ", 8);
    putLe(p + 16, 16, 4);
    putLe(p + 20, 1, 2);
    putLe(p + 22, static_cast<std::uint32_t>(channels), 2);
    putLe(p + 24, static_cast<std::uint32_t>(rate), 4);
    putLe(p + 28, static_cast<std::uint32_t>(rate) * align, 4);
    putLe(p + 32, align, 2);
    putLe(p + 34, 16, 2);
    std::memcpy(p + 36, "data", 4);
    putLe(p + 40, dataBytes, 4);
    return h;
}

}  // namespace

WaveFileWriter::~WaveFileWriter() {
    close();
}

bool WaveFileWriter::open(const QString& path, int rate, int channels, QString* error) {
    close();
    file_.setFileName(path);
    rate_ = rate;
    channels_ = channels;
    dataBytes_ = 0;
    const QByteArray room = header(rate, channels, 0);
    // Unbuffered, so a full disk fails the write that meets it, not a later flush.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered) ||
        file_.write(room) != room.size()) {
        *error = file_.errorString();
        file_.close();
        return false;
    }
    return true;
}

bool WaveFileWriter::write(const char* data, qint64 bytes) {
    if (!file_.isOpen() || dataBytes_ + bytes > kMaxData) {
        return false;
    }
    const qint64 written = file_.write(data, bytes);
    if (written > 0) {
        dataBytes_ += written;
    }
    return written == bytes;
}

bool WaveFileWriter::close() {
    if (!file_.isOpen()) {
        return true;
    }
    const QByteArray h = header(rate_, channels_, static_cast<std::uint32_t>(dataBytes_));
    const bool ok = file_.flush() && file_.seek(0) && file_.write(h) == h.size() && file_.flush();
    file_.close();
    return ok;
}

}  // namespace recorder
