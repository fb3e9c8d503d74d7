#include "tools/vendor-site/tone_encoder.h"

#include <lame/lame.h>

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <vector>

namespace vendor_site {

void ToneEncoder::Close::operator()(lame_global_struct* flags) const {
    lame_close(flags);
}

ToneEncoder::ToneEncoder(double frequency, int kbps, double amplitude)
    : lame_(lame_init()), frequency_(frequency), amplitude_(amplitude) {
    if (!lame_) {
        throw std::runtime_error("lame_init failed");
    }
    if (lame_set_in_samplerate(lame_.get(), kSampleRate) < 0 ||
        lame_set_out_samplerate(lame_.get(), kSampleRate) < 0 ||
        lame_set_num_channels(lame_.get(), 2) < 0 || lame_set_brate(lame_.get(), kbps) < 0 ||
        lame_set_VBR(lame_.get(), vbr_off) < 0 || lame_set_bWriteVbrTag(lame_.get(), 0) < 0 ||
        lame_set_quality(lame_.get(), 7) < 0 || lame_init_params(lame_.get()) < 0) {
        throw std::runtime_error("lame configuration refused");
    }
}

ToneEncoder::~ToneEncoder() = default;

QByteArray ToneEncoder::encode(int samples) {
    std::vector<short> pcm(static_cast<size_t>(samples) * 2);
    const double step = 2.0 * std::numbers::pi * frequency_ / kSampleRate;
    for (int i = 0; i < samples; ++i) {
        const double phase = step * static_cast<double>((samplesDone_ + i) % kSampleRate);
        const auto value = static_cast<short>(std::lround(32767.0 * amplitude_ * std::sin(phase)));
        pcm[2 * i] = value;
        pcm[2 * i + 1] = value;
    }
    samplesDone_ += samples;
    // lame's own bound for the output of one call: 1.25 × samples + 7200 bytes.
    QByteArray out(samples * 5 / 4 + 7200, Qt::Uninitialized);
    const int written = lame_encode_buffer_interleaved(lame_.get(), pcm.data(), samples,
                                                       reinterpret_cast<unsigned char*>(out.data()),
                                                       static_cast<int>(out.size()));
    if (written < 0) {
        throw std::runtime_error("lame_encode_buffer_interleaved failed");
    }
    out.truncate(written);
    return out;
}

}  // namespace vendor_site
