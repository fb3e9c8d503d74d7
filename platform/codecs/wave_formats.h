#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace platform {

// The fixed part of a WAVEFORMATEX record as it lies in a WAVE file's format chunk.
struct WaveFormatFields {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSec = 0;
    std::uint32_t avgBytesPerSec = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t cbSize = 0;
};

inline constexpr int kWaveFormatBytes = 18;
inline constexpr std::uint16_t kWaveFormatPcm = 1;
inline constexpr std::uint16_t kWaveFormatFloat = 3;

// Reads the fixed fields of a record; false when fewer than 18 bytes are given.
bool readWaveFormat(const QByteArray& record, WaveFormatFields* fields);

// A plain PCM record: tag 1, block align = bits / 8 x channels (rounded), cbSize 0.
QByteArray pcmWaveFormat(int rate, int channels, int bits);

// One entry of the format choice: the family's name, the attribute text and the record (with its
// cbSize extra bytes) that a WAVE file of that format carries.
struct WaveFormatOption {
    QString tag;
    QString id;
    QByteArray format;
};

// Every format the installed codecs can write into a WAVE file from 16-bit PCM of this rate and
// channel count, families in a fixed order, PCM first. Rates and channels the codec cannot take
// are converted; an entry at the recording's own rate and channels comes first when the codec
// takes them.
std::vector<WaveFormatOption> encodableWaveFormats(int rate, int channels);

// Keeps the codec libraries' own log off stderr: this layer reports failures as results.
void quietCodecLog();

}  // namespace platform
