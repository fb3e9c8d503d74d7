#pragma once

#include "encoderlib/be_interface.h"
#include "platform/ui/error.h"
#include "recording/SegmentPlan.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Encodes the segments of one WAV file at once, each through its own stream handle and WAV
// reader, and hands the kept frames back in order. The caller's thread encodes the first segment
// itself (so that n segments keep n cores busy, not n threads plus one that wakes for every
// block) and takes its frames as they come; the other segments run on threads of their own that
// touch nothing but their segment's reader, stream and output, and their frames wait until the
// caller drains them. Everything the user sees (writes, progress, messages) stays on the caller's
// thread. Frames that do not fit the waiting budget go to a spill file of their segment's own,
// so that a long recording keeps every core busy with bounded memory.
class SegmentEncoding {
  public:
    struct Calls {
        beEncodeChunk_t encode = nullptr;
        beDeinitStream_t deinit = nullptr;
    };

    // The most bytes of frames that may wait for their turn, so that memory stays bounded
    // however long the recording (12 MiB is 10 minutes at 160 kbit/s). A segment that finds
    // the budget spent spills the rest to a file, or pauses until its turn comes when it has none.
    static constexpr std::size_t kWaitingBudget = 12 << 20;

    // Opens a spill file: a descriptor to write and read, or -1 when there is none to be had.
    using SpillOpener = std::function<int()>;

    // One open stream per segment; blockFrames frames per block (what one encoder call takes).
    SegmentEncoding(Calls calls, QString wavFile, std::int64_t blockFrames,
                    std::uint32_t outputBufferSize, std::vector<Segment> plan,
                    std::vector<std::uint32_t> streams, std::size_t waitingBudget = kWaitingBudget);
    // Stops and joins the threads that still run.
    ~SegmentEncoding();
    SegmentEncoding(const SegmentEncoding&) = delete;
    SegmentEncoding& operator=(const SegmentEncoding&) = delete;

    // Where frames over the budget go (before start()); without it a segment over the budget
    // pauses. A spill file that cannot be opened or written also makes its segment pause, never
    // fail.
    void setSpillOpener(SpillOpener open) { openSpill_ = std::move(open); }
    // Bytes of frames that went through spill files so far.
    std::int64_t spilledBytes() const { return spilledBytes_; }

    // Starts the threads of every segment but the first.
    void start();

    // Encodes the first segment on the calling thread. After every block, `own` gets that block's
    // kept frames (which it may take) and the 16-bit samples done so far in all segments, and
    // returns false to stop (a cancel). Returns once the first segment is done, has failed, was
    // stopped, or another segment failed; next() tells which.
    using OwnFrames =
        std::function<bool(std::vector<std::uint8_t>& frames, std::int64_t samplesDone)>;
    void encodeFirst(const OwnFrames& own);

    // What happened since the last call, waited for. The first segment's frames are never in it:
    // they went to encodeFirst's caller.
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
    // Hands a block's kept frames on, with its own 16-bit samples; true to go on.
    using Publish =
        std::function<bool(std::vector<std::uint8_t>& kept, std::int64_t samples, bool done)>;
    void run(Job& job, const Publish& publish);
    bool publishWaiting(Job& job, std::vector<std::uint8_t>& kept, std::int64_t samples, bool done);
    void spill(Job& job, std::unique_lock<std::mutex>& lock, bool last);
    bool takeSpilled(Job& job, std::unique_lock<std::mutex>& lock, News& news);
    void fail(std::uint32_t libraryResult, std::optional<platform::Error> error);

    Calls calls_;
    QString wavFile_;
    std::int64_t blockFrames_;
    std::uint32_t outputBufferSize_;
    std::size_t waitingBudget_;
    SpillOpener openSpill_;
    std::atomic<std::int64_t> spilledBytes_{0};
    std::vector<std::unique_ptr<Job>> jobs_;
    std::vector<std::thread> threads_;

    std::mutex mutex_;
    std::condition_variable changed_;  // news for the caller's thread
    std::condition_variable room_;     // a waiting segment may go on
    bool stopping_ = false;            // guarded by mutex_; read by the threads between blocks
    std::size_t current_ = 0;          // the segment whose frames go to the file now
    std::int64_t samplesDone_ = 0;
    std::size_t waitingBytes_ = 0;  // frames in memory handed in and not yet handed back
    bool newsWaiting_ = false;
    std::uint32_t libraryResult_ = be::kOk;
    std::optional<platform::Error> error_;
};

// An unnamed file in folder, opened to write and read (O_TMPFILE, or a file unlinked as soon as
// it is made where the file system has no unnamed ones), so that nothing is left behind even
// after a crash; -1 when the folder cannot take one.
int openUnnamedFile(const QString& folder);
