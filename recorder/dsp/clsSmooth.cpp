#include "recorder/dsp/clsSmooth.h"

void clsSmooth::SmoothNew(std::int32_t size) {
    ring_.assign(size > 0 ? static_cast<std::size_t>(size) : 0, 0.0f);
    position_ = 0;
    count_ = 0;
}

void clsSmooth::SmoothAdd(float sample) {
    if (ring_.empty()) {
        return;
    }
    ring_[position_] = sample;
    if (++position_ == ring_.size()) {
        position_ = 0;
    }
    if (count_ < ring_.size()) {
        ++count_;
    }
}

float clsSmooth::SmoothGetMax() const {
    if (count_ == 0) {
        return 0.0f;
    }
    float sum = 0.0f;
    for (std::size_t i = 0; i < count_; ++i) {
        sum += ring_[i];
    }
    return sum / static_cast<float>(count_);
}
