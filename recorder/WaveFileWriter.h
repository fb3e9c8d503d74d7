#pragma once

#include <QFile>
#include <QString>

#include <cstdint>

namespace recorder {

// A canonical 16-bit PCM WAVE file: a 44-byte header whose sizes are filled in at close.
class WaveFileWriter {
  public:
    WaveFileWriter() = default;
    ~WaveFileWriter();
    WaveFileWriter(const WaveFileWriter&) = delete;
    WaveFileWriter& operator=(const WaveFileWriter&) = delete;

    // Creates (or truncates) the file; false with *error when it cannot be written.
    bool open(const QString& path, int rate, int channels, QString* error);
    bool isOpen() const { return file_.isOpen(); }
    // False when fewer bytes reached the file than were given (a full disk).
    bool write(const char* data, qint64 bytes);
    // Fills in the sizes and closes; false when the header could not be written.
    bool close();
    std::int64_t dataBytes() const { return dataBytes_; }

  private:
    QFile file_;
    int rate_ = 0;
    int channels_ = 0;
    std::int64_t dataBytes_ = 0;
};

}  // namespace recorder
