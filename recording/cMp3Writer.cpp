#include "recording/cMp3Writer.h"

#include "platform/ui/error.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <new>

cMp3Writer::~cMp3Writer() {
    CloseFile();
    FreeBuffer();
}

void cMp3Writer::CloseFile() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void cMp3Writer::setFilename(const QString& name) {
    CloseFile();
    filename_ = name;
    if (!buffer_) {
        AllocateBuffer(bufferSize_);
    }
    fd_ = OpenFile(name);
}

void cMp3Writer::setBufferSize(std::int32_t bytes) {
    FreeBuffer();
    AllocateBuffer(bytes);
    bufferSize_ = bytes;
}

std::int32_t cMp3Writer::WriteBufferToFile(std::int32_t bytes) {
    if (bytes > bufferSize_ || bytes < 0) {
        RaiseWriterError("WriteBufferToFile", 3);
    }
    if (fd_ < 0 || !buffer_) {
        RaiseWriterError("WriteBufferToFile", 4);
    }
    std::int32_t done = 0;
    while (done < bytes) {
        const ssize_t n = ::write(fd_, buffer_.get() + done, static_cast<size_t>(bytes - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            RaiseWriterError("WriteBufferToFile", 5);
        }
        done += static_cast<std::int32_t>(n);
    }
    return done;
}

int cMp3Writer::OpenFile(const QString& name) {
    const QByteArray path = name.toLocal8Bit();
    if (!name.isEmpty()) {
        ::unlink(path.constData());
    }
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        RaiseWriterError("OpenFile", 2);
    }
    return fd;
}

void cMp3Writer::AllocateBuffer(std::int32_t bytes) {
    if (bytes > 0) {
        buffer_.reset(new (std::nothrow) std::uint8_t[static_cast<size_t>(bytes)]());
    }
    if (!buffer_) {
        RaiseWriterError("AllocateBuffer", 1);
    }
}

void cMp3Writer::FreeBuffer() {
    buffer_.reset();
}

void cMp3Writer::RaiseWriterError(const char* routine, int code) {
    static const char* const kDescriptions[] = {
        "Unable to allocate output buffer for writing",
        "Unable to open file for writing",
        "Cannot write more data than is available in the buffer",
        "File not open for writing",
        "Failed to write buffer to file",
    };
    throw platform::Error(29870 + code,
                          platform::programName() + QLatin1Char('.') + QLatin1String(routine),
                          QString::fromLatin1(kDescriptions[code - 1]));
}
