#include "recording/SegmentPlan.h"

#include <algorithm>

int segmentCountFor(int threads, std::int64_t blocks) {
    const std::int64_t bySize = blocks / kMinSegmentBlocks;
    return static_cast<int>(
        std::max<std::int64_t>(1, std::min<std::int64_t>({threads, kMaxSegments, bySize})));
}

std::vector<Segment> planSegments(std::int64_t blocks, int count) {
    std::vector<Segment> plan;
    for (int k = 0; k < count; ++k) {
        Segment s;
        s.firstBlock = blocks * k / count;
        s.endBlock = blocks * (k + 1) / count;
        s.last = k == count - 1;
        s.feedFirstBlock = std::max<std::int64_t>(0, s.firstBlock - kPrerollBlocks);
        s.feedEndBlock = s.last ? blocks : std::min(blocks, s.endBlock + kPostrollBlocks);
        plan.push_back(s);
    }
    return plan;
}
