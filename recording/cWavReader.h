#pragma once

#include <QString>

#include <cstdint>
#include <memory>

// Reads the sample data of a 16-bit stereo RIFF WAVE file in fixed-size blocks. Positions and
// sizes at the interface are sample frames of 4 bytes; inside, bytes. The buffer's address is
// handed straight to the MP3 encoder, so it stays put while a file is open.
class cWavReader {
  public:
    cWavReader() = default;
    ~cWavReader();
    cWavReader(const cWavReader&) = delete;
    cWavReader& operator=(const cWavReader&) = delete;

    const QString& Filename() const { return filename_; }
    // Opens the file; the name is kept only when that succeeds.
    void setFilename(const QString& name);

    void CloseFile();
    bool OpenFile(const QString& name);
    // Fills the buffer with the next block. True only for a full block after which more data
    // follows; the last block, full or partial, comes with false.
    bool Read();

    std::int64_t BufferStartPosition() const { return position_ - dataStart_; }
    std::int64_t AudioLength() const { return dataLength_ / 4; }
    void SeekAbsolute(std::int64_t sample);
    void SeekRelative(std::int64_t offset);

    std::int64_t ReadBufferSize() const { return bufferSize_ / 4; }
    void setReadBufferSize(std::int64_t frames);
    std::int64_t ReadSize() const { return readSize_ / 4; }
    std::uint8_t* ReadBufferPtr() const { return buffer_.get(); }

  private:
    // The 18 bytes at the start of the "fmt " chunk.
    struct FormatRecord {
        std::uint16_t formatTag = 0;
        std::uint16_t channels = 0;
        std::uint32_t samplesPerSec = 0;
        std::uint32_t avgBytesPerSec = 0;
        std::uint16_t blockAlign = 0;
        std::uint16_t bitsPerSample = 0;
        std::uint16_t extraSize = 0;
    };

    bool AllocateBuffer();
    void FreeBuffer();
    [[noreturn]] void RaiseReaderError(int code);
    // Closes the descriptor only (the buffer does not exist yet during an open).
    void closeHandle();

    int fd_ = -1;
    QString filename_;
    FormatRecord format_;
    std::int64_t dataStart_ = 0;
    std::int64_t dataLength_ = 0;
    std::int64_t position_ = 0;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::int64_t bufferSize_ = 131072;
    std::int64_t readSize_ = 0;
};
