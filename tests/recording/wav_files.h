#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace testing_support {

// Bytes of a literal that may hold NULs.
template <std::size_t N>
QByteArray bytes(const char (&literal)[N]) {
    return QByteArray(literal, N - 1);
}

// A RIFF chunk: id, little-endian size, contents and the pad byte an odd size needs.
QByteArray riffChunk(const char* id, const QByteArray& contents);
// The 16-byte "fmt " contents of a PCM format.
QByteArray pcmFormat(int channels, int rate, int bits, int tag = 1);
// A whole RIFF WAVE file from its sub-chunks, in the order given.
QByteArray waveFile(const std::vector<QByteArray>& chunks);
// 16-bit stereo PCM contents: frame i holds (i, ~i) so that every byte tells where it came from.
QByteArray countingFrames(std::int64_t frames);
// 16-bit stereo PCM of a sine tone at the given frequency and amplitude.
QByteArray toneFrames(std::int64_t frames, int rate, double hz, double amplitude = 12000.0);
bool writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);
// Runs sox with the arguments; true if it succeeded.
bool runSox(const QStringList& args);

}  // namespace testing_support
