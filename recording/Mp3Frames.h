#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The length in bytes of the MPEG audio Layer III frame whose 4-byte header starts at `header`,
// or 0 when those bytes are no such header (free-format frames included, which the encoder never
// makes).
int mp3FrameLength(const std::uint8_t* header);

// Cuts an encoder's output, which arrives in pieces of any size, into whole frames: drops the
// first `drop` frames, keeps the next `keep` (all when keep is negative) and drops the rest.
class Mp3FrameSplitter {
  public:
    Mp3FrameSplitter(std::int64_t drop, std::int64_t keep) : drop_(drop), keep_(keep) {}

    // Appends the kept frames completed by these bytes to `kept`; false when the bytes are not
    // MP3 frames.
    bool push(const std::uint8_t* data, std::size_t bytes, std::vector<std::uint8_t>& kept);

    std::int64_t framesSeen() const { return seen_; }
    std::int64_t framesKept() const { return kept_; }
    // True when every byte so far belonged to a whole frame.
    bool atFrameBoundary() const { return partial_.empty(); }

  private:
    void take(const std::uint8_t* frame, std::size_t bytes, std::vector<std::uint8_t>& kept);

    std::int64_t drop_;
    std::int64_t keep_;
    std::int64_t seen_ = 0;
    std::int64_t kept_ = 0;
    std::vector<std::uint8_t> partial_;
};
