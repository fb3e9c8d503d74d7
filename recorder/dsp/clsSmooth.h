#pragma once

#include <cstdint>
#include <vector>

// A short moving average over the last `size` values added, which steadies the level bars.
class clsSmooth {
  public:
    // A ring of `size` zero entries. A size below 1 makes a ring that keeps nothing.
    void SmoothNew(std::int32_t size);
    void SmoothAdd(float sample);
    // The mean of the values held (the last `size` added once the ring is full); 0 while the
    // ring holds none. Despite its name it returns the mean, which is what the bars show.
    float SmoothGetMax() const;

  private:
    std::vector<float> ring_;
    std::size_t position_ = 0;
    std::size_t count_ = 0;
};
