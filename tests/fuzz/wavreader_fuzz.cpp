// Opens arbitrary bytes as a WAV file and reads them to the end, with seeks in between.
#include "recording/cWavReader.h"

#include "platform/ui/error.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

namespace {
volatile std::uint8_t sink;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The reader opens files by name: an in-memory file keeps the disk out of the loop.
    const int fd = ::memfd_create("wav", MFD_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) {
            ::close(fd);
            return 0;
        }
        done += static_cast<std::size_t>(n);
    }
    cWavReader reader;
    // A small odd buffer so that reads end mid-block.
    reader.setReadBufferSize(7);
    try {
        if (reader.OpenFile(QStringLiteral("/proc/self/fd/%1").arg(fd))) {
            const std::int64_t length = reader.AudioLength();
            reader.SeekAbsolute(length / 2);
            reader.SeekRelative(-(length / 3));
            reader.SeekAbsolute(0);
            std::uint8_t last = 0;
            bool more = true;
            while (more) {
                more = reader.Read();
                if (reader.ReadSize() > reader.ReadBufferSize()) {
                    __builtin_trap();
                }
                // Touch every byte handed out, so the sanitizer sees any read past the buffer.
                for (std::int64_t i = 0; i < reader.ReadSize() * 4; ++i) {
                    last ^= reader.ReadBufferPtr()[i];
                }
            }
            sink = last;
            // Every frame the reader announced has been handed out.
            if (reader.BufferStartPosition() < length * 4) {
                __builtin_trap();
            }
        }
    } catch (const platform::Error&) {
    }
    ::close(fd);
    return 0;
}
