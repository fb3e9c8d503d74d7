#pragma once

#include <cstdint>
#include <vector>

// How a recording is cut for encoding on several threads. The encoder turns each block of input
// (one MP3 frame's worth of samples) into one frame, the frame for block n starting its fixed
// delay before that block. A stream fed from a block boundary therefore makes the same frames as
// the whole encoding, shifted by whole frames; only its first frames differ, while the filter
// bank and the psychoacoustic model warm up. So every segment after the first is fed a few
// blocks early (pre-roll) and a few blocks past its end (post-roll), and keeps only the frames
// of its own blocks.
struct Segment {
    std::int64_t feedFirstBlock = 0;  // the first block handed to the encoder
    std::int64_t firstBlock = 0;      // the first block whose frame is kept
    std::int64_t endBlock = 0;        // one past the last block whose frame is kept
    std::int64_t feedEndBlock = 0;    // one past the last block handed to the encoder
    bool last = false;                // keeps every frame from firstBlock on, the flush's too

    std::int64_t framesToDrop() const { return firstBlock - feedFirstBlock; }
    std::int64_t framesToKeep() const { return endBlock - firstBlock; }
};

constexpr int kMaxSegments = 8;
constexpr std::int64_t kPrerollBlocks = 4;
constexpr std::int64_t kPostrollBlocks = 2;
// Shorter segments would spend a noticeable share of their time on pre- and post-roll.
constexpr std::int64_t kMinSegmentBlocks = 64;

// As many segments as threads allow (1 to kMaxSegments), fewer when the recording is short.
int segmentCountFor(int threads, std::int64_t blocks);

// Cuts `blocks` blocks into `count` segments of nearly equal length, in order.
std::vector<Segment> planSegments(std::int64_t blocks, int count);
