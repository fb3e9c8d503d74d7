#include "recording/Mp3Frames.h"

#include <algorithm>

int mp3FrameLength(const std::uint8_t* h) {
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) {
        return 0;
    }
    const int version = (h[1] >> 3) & 3;  // 0: MPEG-2.5, 2: MPEG-2, 3: MPEG-1
    const int layer = (h[1] >> 1) & 3;    // 1: Layer III
    const int bitrateIndex = h[2] >> 4;
    const int rateIndex = (h[2] >> 2) & 3;
    if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) {
        return 0;
    }
    static constexpr int kMpeg1Kbps[] = {0,   32,  40,  48,  56,  64,  80, 96,
                                         112, 128, 160, 192, 224, 256, 320};
    static constexpr int kMpeg2Kbps[] = {0,  8,  16, 24,  32,  40,  48, 56,
                                         64, 80, 96, 112, 128, 144, 160};
    static constexpr int kRates[] = {44100, 48000, 32000};
    const bool mpeg1 = version == 3;
    const int kbps = mpeg1 ? kMpeg1Kbps[bitrateIndex] : kMpeg2Kbps[bitrateIndex];
    const int rate = kRates[rateIndex] / (mpeg1 ? 1 : version == 2 ? 2 : 4);
    const int padding = (h[2] >> 1) & 1;
    return (mpeg1 ? 144000 : 72000) * kbps / rate + padding;
}

bool Mp3FrameSplitter::push(const std::uint8_t* data, std::size_t bytes,
                            std::vector<std::uint8_t>& kept) {
    // Whole frames straight from the input; only a frame cut by the piece's end is copied aside.
    std::size_t at = 0;
    if (!partial_.empty()) {
        while (at < bytes && partial_.size() < 4) {
            partial_.push_back(data[at++]);
        }
        if (partial_.size() < 4) {
            return true;
        }
        const int length = mp3FrameLength(partial_.data());
        if (length == 0) {
            return false;
        }
        const std::size_t missing =
            std::min(static_cast<std::size_t>(length) - partial_.size(), bytes - at);
        partial_.insert(partial_.end(), data + at, data + at + missing);
        at += missing;
        if (partial_.size() < static_cast<std::size_t>(length)) {
            return true;
        }
        take(partial_.data(), partial_.size(), kept);
        partial_.clear();
    }
    while (at < bytes) {
        if (bytes - at < 4) {
            partial_.assign(data + at, data + bytes);
            return true;
        }
        const int length = mp3FrameLength(data + at);
        if (length == 0) {
            return false;
        }
        if (bytes - at < static_cast<std::size_t>(length)) {
            partial_.assign(data + at, data + bytes);
            return true;
        }
        take(data + at, static_cast<std::size_t>(length), kept);
        at += static_cast<std::size_t>(length);
    }
    return true;
}

void Mp3FrameSplitter::take(const std::uint8_t* frame, std::size_t bytes,
                            std::vector<std::uint8_t>& kept) {
    const std::int64_t index = seen_++;
    if (index >= drop_ && (keep_ < 0 || index < drop_ + keep_)) {
        kept.insert(kept.end(), frame, frame + bytes);
        ++kept_;
    }
}
