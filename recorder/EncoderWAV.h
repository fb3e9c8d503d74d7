#pragma once

#include "recorder/Encoder.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QWidget;

namespace platform {
class WaveEncoder;
struct WaveFormatOption;
}  // namespace platform

namespace recorder {

// Writes captured 16-bit PCM into a RIFF WAVE file in any format the installed codecs make from
// it: plain PCM by default, or the format the user chose. The header is written at close over
// room left at the start: "RIFF", size, "WAVE", the format chunk (the whole record with its extra
// bytes), "data" and its length; no fact chunk.
class EncoderWAV final : public Encoder {
  public:
    // The format dialog: shows the formats for rate and channels, true with *chosen on OK.
    using FormatChooser =
        std::function<bool(QWidget* owner, const QString& title, int rate, int channels,
                           const QByteArray& current, platform::WaveFormatOption* chosen)>;

    enum Result : int {
        kOk = 0,
        kFileNotOpen = 2,
        kBadFormat = 7,
        kTooMuchInput = 8,
        kCodecFailed = 9,
        kWriteFailed = 10,
        kCancelled = 11,
    };
    static constexpr long kErrAlreadyRunning = 90;

    explicit EncoderWAV(FormatChooser chooser = {});
    ~EncoderWAV() override;
    EncoderWAV(const EncoderWAV&) = delete;
    EncoderWAV& operator=(const EncoderWAV&) = delete;

    int EncoderInit(int rate, int channels, const QString& path) override;
    int Encode(const char* buffer_ptr, int buffer_len, int* buffer_used) override;
    int EncoderClose() override;
    int EncoderMetrics(int info) const override;
    QString Description() const override { return QStringLiteral("Wave ACM Encoder"); }
    QString Extension() const override { return QStringLiteral("wav"); }

    // 0 when a format was chosen, 11 when the dialog was cancelled (the format stays).
    int SelectFormat(int rate, int channels, QWidget* hwndOwner, const QString& Title);
    // Takes a record with its extra bytes; fewer than 18 bytes, or fewer than its cbSize asks
    // for, change nothing.
    void SetFormat(const char* wfx_ptr, int wfx_len, const QString& FormatID,
                   const QString& FormatTag);
    void SetPCMFormat(int rate, int channels, const QString& FormatID = {},
                      const QString& FormatTag = {});
    QString FormatTag() const { return formatTag_; }
    QString FormatID() const { return formatId_; }
    // The output format record (its L bytes).
    const QByteArray& Format() const { return format_; }

    bool WriteHeader() const { return writeHeader_; }
    // Raises error 90 "Encoder already running!" while a file is open.
    void SetWriteHeader(bool value);

  private:
    bool isOpen() const { return fd_ >= 0; }
    // Appends whole to the file; on a short write the file is cut back to its last whole write.
    bool writeData(const char* data, std::int64_t bytes);
    bool writeHeaderNow();

    FormatChooser chooser_;
    QByteArray format_;
    QString formatId_ = QStringLiteral("44.1 kHz 16 Bit Stereo");
    QString formatTag_ = QStringLiteral("PCM");
    bool writeHeader_ = true;

    std::unique_ptr<platform::WaveEncoder> encoder_;
    int inputBlockAlign_ = 0;
    int inputCapacity_ = 0;
    // Input bytes short of a whole frame, encoded with the next call.
    QByteArray pending_;
    QByteArray converted_;
    int fd_ = -1;
    std::int64_t fileEnd_ = 0;
};

}  // namespace recorder
