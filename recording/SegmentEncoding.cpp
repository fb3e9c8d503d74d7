#include "recording/SegmentEncoding.h"

#include "recording/Mp3Frames.h"
#include "recording/cWavReader.h"

#include <algorithm>
#include <new>
#include <system_error>
#include <utility>

namespace {

// Raised when a segment's encoder output cannot be joined: no MP3 frames, or fewer than its
// blocks need.
constexpr long kUnjoinableOutput = 29880;

// Blocks read from the WAV file at once: one read per block would be a system call for every
// 4.6 KB.
constexpr std::int64_t kReadBlocks = 32;

}  // namespace

struct SegmentEncoding::Job {
    std::size_t index = 0;
    Segment segment;
    std::uint32_t stream = 0;
    // Kept frames not yet handed back, one piece per block, so that a segment waiting for its
    // turn holds no more than its frames; guarded by mutex_.
    std::vector<std::vector<std::uint8_t>> ready;
    bool done = false;  // guarded by mutex_
};

SegmentEncoding::SegmentEncoding(Calls calls, QString wavFile, std::int64_t blockFrames,
                                 std::uint32_t outputBufferSize, std::vector<Segment> plan,
                                 std::vector<std::uint32_t> streams, std::size_t waitingBudget)
    : calls_(calls),
      wavFile_(std::move(wavFile)),
      blockFrames_(blockFrames),
      outputBufferSize_(outputBufferSize),
      waitingBudget_(waitingBudget) {
    for (std::size_t k = 0; k < plan.size(); ++k) {
        auto job = std::make_unique<Job>();
        job->index = k;
        job->segment = plan[k];
        job->stream = streams[k];
        jobs_.push_back(std::move(job));
    }
}

SegmentEncoding::~SegmentEncoding() {
    stop();
}

void SegmentEncoding::start() {
    try {
        for (std::size_t k = 1; k < jobs_.size(); ++k) {
            threads_.emplace_back([this, j = jobs_[k].get()] {
                run(*j, [this, j](std::vector<std::uint8_t>& kept, std::int64_t samples,
                                  bool done) { return publishWaiting(*j, kept, samples, done); });
            });
        }
    } catch (const std::system_error&) {
        stop();
        throw platform::Error(7, QString(), QStringLiteral("Cannot start the encoding threads"));
    }
}

void SegmentEncoding::encodeFirst(const OwnFrames& own) {
    Job& job = *jobs_.front();
    run(job, [&](std::vector<std::uint8_t>& kept, std::int64_t samples, bool done) {
        std::int64_t all = 0;
        {
            const std::lock_guard lock(mutex_);
            samplesDone_ += samples;
            all = samplesDone_;
            if (stopping_) {
                return false;
            }
            if (done) {
                // What is left of the first segment goes to `own` below, so next() may move on.
                job.done = true;
                newsWaiting_ = true;
            }
        }
        const bool go = own(kept, all);
        kept.clear();
        return go;
    });
}

void SegmentEncoding::stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    room_.notify_all();
    for (std::thread& t : threads_) {
        if (t.joinable()) {
            t.join();
        }
    }
    threads_.clear();
}

SegmentEncoding::News SegmentEncoding::next() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return newsWaiting_; });
    newsWaiting_ = false;
    News news;
    news.samplesDone = samplesDone_;
    news.libraryResult = std::exchange(libraryResult_, be::kOk);
    news.error = std::exchange(error_, std::nullopt);
    // The frames of a segment go out once every earlier segment's have.
    while (current_ < jobs_.size()) {
        Job& job = *jobs_[current_];
        for (std::vector<std::uint8_t>& piece : job.ready) {
            waitingBytes_ -= piece.size();
            news.frames.push_back(std::move(piece));
        }
        job.ready = {};
        if (!job.done) {
            break;
        }
        ++current_;
    }
    news.finished = current_ == jobs_.size();
    room_.notify_all();
    return news;
}

void SegmentEncoding::fail(std::uint32_t libraryResult, std::optional<platform::Error> error) {
    const std::lock_guard lock(mutex_);
    // The first failure is the one reported; the others stop.
    if (!stopping_) {
        libraryResult_ = libraryResult;
        error_ = std::move(error);
        stopping_ = true;
    }
    newsWaiting_ = true;
    changed_.notify_one();
    room_.notify_all();
}

bool SegmentEncoding::publishWaiting(Job& job, std::vector<std::uint8_t>& kept,
                                     std::int64_t samples, bool done) {
    std::unique_lock lock(mutex_);
    if (!kept.empty()) {
        waitingBytes_ += kept.size();
        job.ready.push_back(std::move(kept));
        kept = {};
    }
    job.done = done;
    samplesDone_ += samples;
    newsWaiting_ = true;
    // Cheap while the caller encodes its own segment: nobody waits on it then.
    changed_.notify_one();
    // A segment whose turn has not come pauses while too many frames wait already.
    room_.wait(lock, [&] {
        return done || stopping_ || job.index == current_ || waitingBytes_ < waitingBudget_;
    });
    return !stopping_;
}

void SegmentEncoding::run(Job& job, const Publish& publish) {
    const Segment& s = job.segment;
    try {
        cWavReader reader;
        reader.setReadBufferSize(blockFrames_ * kReadBlocks);
        reader.setFilename(wavFile_);
        reader.SeekAbsolute(s.feedFirstBlock * blockFrames_);
        std::vector<std::uint8_t> output(outputBufferSize_);
        std::vector<std::uint8_t> kept;
        Mp3FrameSplitter splitter(s.framesToDrop(), s.last ? -1 : s.framesToKeep());
        const auto encoded = [&](std::uint32_t result, std::uint32_t bytes) {
            if (result != be::kOk) {
                fail(result, std::nullopt);
                return false;
            }
            if (!splitter.push(output.data(), bytes, kept)) {
                throw platform::Error(kUnjoinableOutput, QString(),
                                      QStringLiteral("The encoder's output is not MP3 frames"));
            }
            return true;
        };
        const std::int16_t* pcm = nullptr;
        std::int64_t unread = 0;  // frames in the reader's buffer not yet encoded
        for (std::int64_t block = s.feedFirstBlock; block < s.feedEndBlock; ++block) {
            if (unread == 0) {
                reader.Read();
                unread = reader.ReadSize();
                pcm = reinterpret_cast<const std::int16_t*>(reader.ReadBufferPtr());
            }
            const std::int64_t frames = std::min(unread, blockFrames_);
            std::uint32_t bytes = 0;
            const std::uint32_t result = calls_.encode(
                job.stream, static_cast<std::uint32_t>(frames * 2), pcm, output.data(), &bytes);
            if (!encoded(result, bytes)) {
                return;
            }
            pcm += frames * 2;
            unread -= frames;
            const bool own = block >= s.firstBlock && block < s.endBlock;
            if (!publish(kept, own ? frames * 2 : 0, false)) {
                return;
            }
        }
        std::uint32_t bytes = 0;
        const std::uint32_t result = calls_.deinit(job.stream, output.data(), &bytes);
        if (!encoded(result, bytes)) {
            return;
        }
        if (!splitter.atFrameBoundary() || (!s.last && splitter.framesKept() != s.framesToKeep())) {
            throw platform::Error(kUnjoinableOutput, QString(),
                                  QStringLiteral("The encoder made fewer frames than expected"));
        }
        publish(kept, 0, true);
    } catch (const platform::Error& e) {
        fail(be::kOk, e);
    } catch (const std::bad_alloc&) {
        fail(be::kOk, platform::Error(7, QString(), QStringLiteral("Out of memory")));
    }
}
