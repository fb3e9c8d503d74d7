#pragma once

#include <QByteArray>

#include <memory>

struct lame_global_struct;

namespace vendor_site {

// An endless sine tone encoded as MP3 (44.1 kHz stereo, constant bit rate) a frame at a time.
class ToneEncoder {
  public:
    static constexpr int kSampleRate = 44100;
    static constexpr int kFrameSamples = 1152;

    explicit ToneEncoder(double frequency = 1000.0, int kbps = 128, double amplitude = 0.5);
    ~ToneEncoder();

    // Encodes the next `samples` samples of the tone; returns the MP3 bytes lame gave back.
    QByteArray encode(int samples);
    long long samplesDone() const { return samplesDone_; }

  private:
    struct Close {
        void operator()(lame_global_struct* flags) const;
    };
    std::unique_ptr<lame_global_struct, Close> lame_;
    double frequency_;
    double amplitude_;
    long long samplesDone_ = 0;
};

}  // namespace vendor_site
