#include "recording/cWavReader.h"

#include "platform/ui/error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <new>

namespace {

// Reads up to n bytes at offset, going on after short reads; -1 on an error.
std::int64_t readAt(int fd, void* into, std::int64_t n, std::int64_t offset) {
    auto* out = static_cast<std::uint8_t*>(into);
    std::int64_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd, out + done, static_cast<size_t>(n - done), offset + done);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

struct Chunk {
    std::int64_t contents = 0;  // offset of the first byte after the 8-byte header
    std::uint32_t size = 0;     // size as the header states it
};

// Walks the chunks between from and end (a chunk of odd size is followed by a pad byte) and
// finds the first one with the given id whose header lies wholly inside; when formType is
// given, the chunk's first four content bytes must match it too.
bool findChunk(int fd, std::int64_t from, std::int64_t end, const char* id, Chunk& found,
               const char* formType = nullptr) {
    std::int64_t at = from;
    while (at + 8 <= end) {
        std::array<std::uint8_t, 12> header{};
        const std::int64_t want = formType != nullptr && at + 12 <= end ? 12 : 8;
        if (readAt(fd, header.data(), want, at) != want) {
            return false;
        }
        const std::uint32_t size = le32(header.data() + 4);
        if (std::memcmp(header.data(), id, 4) == 0 &&
            (formType == nullptr ||
             (want == 12 && std::memcmp(header.data() + 8, formType, 4) == 0))) {
            found.contents = at + 8;
            found.size = size;
            return true;
        }
        at += 8 + static_cast<std::int64_t>(size) + (size & 1U);
    }
    return false;
}

}  // namespace

cWavReader::~cWavReader() {
    CloseFile();
}

void cWavReader::setFilename(const QString& name) {
    if (OpenFile(name)) {
        filename_ = name;
    }
}

void cWavReader::CloseFile() {
    if (fd_ < 0) {
        return;
    }
    closeHandle();
    FreeBuffer();
    readSize_ = 0;
    dataStart_ = 0;
    dataLength_ = 0;
    position_ = 0;
}

void cWavReader::closeHandle() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool cWavReader::OpenFile(const QString& name) {
    CloseFile();
    if (name.isEmpty()) {
        return false;
    }
    const QByteArray path = name.toLocal8Bit();
    fd_ = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        RaiseReaderError(2);
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        closeHandle();
        RaiseReaderError(2);
    }
    const std::int64_t fileSize = info.st_size;

    Chunk riff;
    if (!findChunk(fd_, 0, fileSize, "RIFF", riff, "WAVE")) {
        closeHandle();
        RaiseReaderError(3);
    }
    // A recording cut off before its header was finished may state a size that does not match
    // the file; the form then runs to the end of the file.
    std::int64_t formEnd = riff.contents + riff.size;
    if (riff.size < 4 || formEnd > fileSize) {
        formEnd = fileSize;
    }
    const std::int64_t formStart = riff.contents + 4;

    Chunk fmt;
    if (!findChunk(fd_, formStart, formEnd, "fmt ", fmt)) {
        closeHandle();
        RaiseReaderError(4);
    }
    std::array<std::uint8_t, 50> area{};
    const std::int64_t fmtBytes = std::min<std::int64_t>(fmt.size, area.size());
    if (readAt(fd_, area.data(), fmtBytes, fmt.contents) < 0) {
        closeHandle();
        RaiseReaderError(5);
    }
    format_.formatTag = le16(area.data());
    format_.channels = le16(area.data() + 2);
    format_.samplesPerSec = le32(area.data() + 4);
    format_.avgBytesPerSec = le32(area.data() + 8);
    format_.blockAlign = le16(area.data() + 12);
    format_.bitsPerSample = le16(area.data() + 14);
    format_.extraSize = le16(area.data() + 16);
    if (format_.bitsPerSample != 16 || format_.channels != 2) {
        closeHandle();
        RaiseReaderError(1);
    }

    Chunk data;
    if (!findChunk(fd_, formStart, formEnd, "data", data)) {
        closeHandle();
        RaiseReaderError(6);
    }
    dataStart_ = data.contents;
    // The header of a recording cut short states more than the file holds: read only what is
    // really there.
    dataLength_ = std::min<std::int64_t>(data.size, fileSize - data.contents);
    position_ = dataStart_;
    readSize_ = 0;

    if (!AllocateBuffer()) {
        closeHandle();
        dataStart_ = 0;
        dataLength_ = 0;
        position_ = 0;
        RaiseReaderError(7);
    }
    return true;
}

bool cWavReader::Read() {
    if (fd_ < 0) {
        RaiseReaderError(6);
    }
    const std::int64_t remaining = dataStart_ + dataLength_ - position_;
    if (bufferSize_ < remaining) {
        readAt(fd_, buffer_.get(), bufferSize_, position_);
        position_ += bufferSize_;
        readSize_ = bufferSize_;
        return true;
    }
    // Nothing left: the read size says so rather than repeating the previous block's.
    readSize_ = 0;
    if (remaining > 0) {
        readAt(fd_, buffer_.get(), remaining, position_);
        position_ += remaining;
        readSize_ = remaining;
    }
    return false;
}

void cWavReader::SeekAbsolute(std::int64_t sample) {
    if (sample < 0 || sample > dataLength_ / 4) {
        RaiseReaderError(8);
    }
    position_ = dataStart_ + sample * 4;
}

void cWavReader::SeekRelative(std::int64_t offset) {
    const std::int64_t current = position_ - dataStart_;
    // Bounds first, so that offset * 4 below cannot overflow.
    if (offset > dataLength_ || offset < -dataLength_ - 1) {
        RaiseReaderError(8);
    }
    const std::int64_t target = current + offset * 4;
    if (target > dataLength_ || target < 0) {
        RaiseReaderError(8);
    }
    position_ += offset * 4;
}

void cWavReader::setReadBufferSize(std::int64_t frames) {
    if (fd_ >= 0) {
        RaiseReaderError(9);
    }
    // Sizes that no 32-bit count can hold are kept out of range, so the next open fails with
    // "Insufficient memory" instead of overflowing here.
    if (frames <= 0) {
        bufferSize_ = 0;
    } else {
        bufferSize_ = frames > INT32_MAX / 4 ? std::int64_t{INT32_MAX} + 1 : frames * 4;
    }
}

bool cWavReader::AllocateBuffer() {
    FreeBuffer();
    if (bufferSize_ <= 0 || bufferSize_ > INT32_MAX) {
        return false;
    }
    buffer_.reset(new (std::nothrow) std::uint8_t[static_cast<size_t>(bufferSize_)]());
    return buffer_ != nullptr;
}

void cWavReader::FreeBuffer() {
    buffer_.reset();
}

void cWavReader::RaiseReaderError(int code) {
    static const char* const kDescriptions[] = {
        "Only stereo 16 bit wave files supported.",
        "Unable to open file.",
        "Not a Wave file.",
        "Unable to retrieve format chunk",
        "Error reading format",
        "No Wave File Open",
        "Insufficient memory",
        "Position out of range",
        "Cannot change buffer size whilst a file is open.",
    };
    throw platform::Error(29670 + code, platform::programName() + QStringLiteral(".cWavePlayer"),
                          QString::fromLatin1(kDescriptions[code - 1]));
}
