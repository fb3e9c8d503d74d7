#pragma once

#include <QString>

#include <cstdint>
#include <memory>

// Owns the buffer the MP3 encoder writes into and the output file those bytes are appended to.
// The caller hands BufferPointer() to the encoder, then says how many bytes it produced.
class cMp3Writer {
  public:
    cMp3Writer() = default;
    ~cMp3Writer();
    cMp3Writer(const cMp3Writer&) = delete;
    cMp3Writer& operator=(const cMp3Writer&) = delete;

    void CloseFile();
    // Closes any open file and creates this one anew (an existing file is replaced).
    void setFilename(const QString& name);
    const QString& Filename() const { return filename_; }

    std::int32_t BufferSize() const { return bufferSize_; }
    // Replaces the buffer with a new zeroed one of this size; an open file stays open.
    void setBufferSize(std::int32_t bytes);
    std::uint8_t* BufferPointer() const { return buffer_.get(); }

    std::int32_t WriteBufferToFile(std::int32_t bytes);

  private:
    int OpenFile(const QString& name);
    void AllocateBuffer(std::int32_t bytes);
    void FreeBuffer();
    [[noreturn]] void RaiseWriterError(const char* routine, int code);

    std::unique_ptr<std::uint8_t[]> buffer_;
    QString filename_;
    std::int32_t bufferSize_ = 8192;
    int fd_ = -1;
};
