#pragma once

#include "encoderlib/be_interface.h"
#include "platform/ui/error.h"
#include "recording/SegmentPlan.h"

#include <QString>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Encodes the segments of one WAV file at once, each on a thread of its own through its own
// stream handle and WAV reader, and hands the kept frames back in order. The threads touch
// nothing but their segment's reader, stream and output; the caller's thread drains the results
// (writes, progress, messages), so everything the user sees stays on that thread.
class SegmentEncoding {
  public:
    struct Calls {
        beEncodeChunk_t encode = nullptr;
        beDeinitStream_t deinit = nullptr;
    };

    // The most bytes of frames that may wait for their turn, so that memory stays bounded
    // however long the recording (12 MiB is 10 minutes at 160 kbit/s). A segment that finds
    // the budget spent pauses until its turn comes.
    static constexpr std::size_t kWaitingBudget = 12 << 20;

    // One open stream per segment; blockFrames frames per block (what one encoder call takes).
    SegmentEncoding(Calls calls, QString wavFile, std::int64_t blockFrames,
                    std::uint32_t outputBufferSize, std::vector<Segment> plan,
                    std::vector<std::uint32_t> streams, std::size_t waitingBudget = kWaitingBudget);
    // Stops and joins the threads that still run.
    ~SegmentEncoding();
    SegmentEncoding(const SegmentEncoding&) = delete;
    SegmentEncoding& operator=(const SegmentEncoding&) = delete;

    void start();

    // What happened since the last call, waited for.
    struct News {
        // MP3 frames to append to the file, in order, in the pieces the segments made them.
        std::vector<std::vector<std::uint8_t>> frames;
        std::int64_t samplesDone = 0;           // 16-bit samples of the segments' own blocks, all
        bool finished = false;                  // every segment done and all its frames handed back
        std::uint32_t libraryResult = be::kOk;  // a segment's failed library call
        std::optional<platform::Error> error;   // a segment's raised error
    };
    News next();

    // Asks every thread to stop after its current block and joins them all.
    void stop();

  private:
    struct Job;
    void run(Job& job);
    void fail(std::uint32_t libraryResult, std::optional<platform::Error> error);

    Calls calls_;
    QString wavFile_;
    std::int64_t blockFrames_;
    std::uint32_t outputBufferSize_;
    std::size_t waitingBudget_;
    std::vector<std::unique_ptr<Job>> jobs_;
    std::vector<std::thread> threads_;

    std::mutex mutex_;
    std::condition_variable changed_;  // news for the caller's thread
    std::condition_variable room_;     // a waiting segment may go on
    bool stopping_ = false;            // guarded by mutex_; read by the threads between blocks
    std::size_t current_ = 0;          // the segment whose frames go to the file now
    std::int64_t samplesDone_ = 0;
    std::size_t waitingBytes_ = 0;  // frames handed in and not yet handed back
    bool newsWaiting_ = false;
    std::uint32_t libraryResult_ = be::kOk;
    std::optional<platform::Error> error_;
};
