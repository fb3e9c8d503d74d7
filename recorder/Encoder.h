#pragma once

#include <QString>

namespace recorder {

// What the recorder window needs of a file writer: open a file for 16-bit PCM of a rate and
// channel count, take captured buffers, finish the file. Results are codes, 0 for success.
class Encoder {
  public:
    virtual ~Encoder() = default;

    virtual int EncoderInit(int rate, int channels, const QString& path) = 0;
    // *buffer_used: the bytes the codec took this time. Bytes short of a whole frame are kept and
    // taken with the next call, so over a recording the counts add up to every whole frame.
    virtual int Encode(const char* buffer_ptr, int buffer_len, int* buffer_used) = 0;
    virtual int EncoderClose() = 0;
    // 0: the input's block align, 1: the most bytes one Encode takes; -1 while no file is open.
    virtual int EncoderMetrics(int info) const = 0;
    virtual QString Description() const = 0;
    virtual QString Extension() const = 0;
};

}  // namespace recorder
