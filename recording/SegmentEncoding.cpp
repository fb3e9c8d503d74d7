#include "recording/SegmentEncoding.h"

#include "recording/Mp3Frames.h"
#include "recording/cWavReader.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
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

// Raised when frames set aside in a spill file cannot be read back.
constexpr long kSpillUnreadable = 29881;

// Spilled frames are written and read back in pieces of this size: few system calls, little
// memory.
constexpr std::size_t kSpillPiece = 1 << 20;

// The bytes written before the first failure (a full disk, a file that takes no more).
std::size_t writeAll(int file, const std::vector<std::uint8_t>& bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        const ssize_t n = ::write(file, bytes.data() + at, bytes.size() - at);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        at += static_cast<std::size_t>(n);
    }
    return at;
}

bool readAll(int file, std::vector<std::uint8_t>& into, off_t offset) {
    std::size_t at = 0;
    while (at < into.size()) {
        const ssize_t n =
            ::pread(file, into.data() + at, into.size() - at, offset + static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        at += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

int openUnnamedFile(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    const int file = ::open(path.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (file >= 0) {
        return file;
    }
    QByteArray name = path + "/.spill-XXXXXX";
    const int named = ::mkostemp(name.data(), O_CLOEXEC);
    if (named >= 0) {
        ::unlink(name.constData());
    }
    return named;
}

struct SegmentEncoding::Job {
    std::size_t index = 0;
    Segment segment;
    std::uint32_t stream = 0;
    // Kept frames not yet handed back, in this order: `ready` in memory (one piece per block, so
    // that a segment waiting for its turn holds no more than its frames), the spill file's
    // bytes, `after` in memory. Guarded by mutex_ unless said otherwise.
    std::vector<std::vector<std::uint8_t>> ready;
    int spillFile = -1;
    bool spillTried = false;              // the segment's thread only
    bool spilling = false;                // frames still go to the file
    std::int64_t spilled = 0;             // bytes in the file
    std::int64_t spillRead = 0;           // bytes of it handed back
    std::vector<std::uint8_t> unwritten;  // spilled frames gathered for one write; the thread only
    std::vector<std::vector<std::uint8_t>> after;
    bool done = false;

    Job() = default;
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;
    ~Job() {
        if (spillFile >= 0) {
            ::close(spillFile);
        }
    }
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
    const auto handBack = [&](std::vector<std::vector<std::uint8_t>>& pieces) {
        for (std::vector<std::uint8_t>& piece : pieces) {
            waitingBytes_ -= piece.size();
            news.frames.push_back(std::move(piece));
        }
        pieces = {};
    };
    // The frames of a segment go out once every earlier segment's have.
    while (current_ < jobs_.size()) {
        Job& job = *jobs_[current_];
        handBack(job.ready);
        if (takeSpilled(job, lock, news) || job.spilling) {
            break;
        }
        handBack(job.after);
        if (!job.done) {
            break;
        }
        if (job.spillFile >= 0) {
            ::close(job.spillFile);
            job.spillFile = -1;
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

bool SegmentEncoding::takeSpilled(Job& job, std::unique_lock<std::mutex>& lock, News& news) {
    if (job.spillRead == job.spilled) {
        return false;
    }
    const int file = job.spillFile;
    const auto at = static_cast<off_t>(job.spillRead);
    std::vector<std::uint8_t> piece(
        static_cast<std::size_t>(std::min<std::int64_t>(job.spilled - job.spillRead, kSpillPiece)));
    // The segment's thread may append to the file meanwhile, never before `spilled`.
    lock.unlock();
    const bool read = readAll(file, piece, at);
    lock.lock();
    if (!read) {
        if (!news.error) {
            news.error = platform::Error(kSpillUnreadable, QString(),
                                         QStringLiteral("Encoded frames cannot be read back"));
        }
        stopping_ = true;
        return true;
    }
    job.spillRead += static_cast<std::int64_t>(piece.size());
    news.frames.push_back(std::move(piece));
    // The rest of the file, or what followed it, at the next call without waiting.
    newsWaiting_ = true;
    return true;
}

void SegmentEncoding::spill(Job& job, std::unique_lock<std::mutex>& lock, bool last) {
    const int file = job.spillFile;
    lock.unlock();
    const std::size_t written = writeAll(file, job.unwritten);
    lock.lock();
    job.spilled += static_cast<std::int64_t>(written);
    spilledBytes_ += static_cast<std::int64_t>(written);
    if (written < job.unwritten.size()) {
        // The file takes no more (a full disk): the rest waits in memory, as with no file.
        job.unwritten.erase(job.unwritten.begin(),
                            job.unwritten.begin() + static_cast<std::ptrdiff_t>(written));
        waitingBytes_ += job.unwritten.size();
        job.after.push_back(std::move(job.unwritten));
        job.unwritten = {};
        job.spilling = false;
    } else {
        job.unwritten.clear();
        job.spilling = !last;
    }
}

bool SegmentEncoding::publishWaiting(Job& job, std::vector<std::uint8_t>& kept,
                                     std::int64_t samples, bool done) {
    std::unique_lock lock(mutex_);
    if (!job.spillTried && openSpill_ && job.index != current_ &&
        waitingBytes_ + kept.size() > waitingBudget_) {
        job.spillTried = true;
        lock.unlock();
        const int file = openSpill_();
        lock.lock();
        job.spillFile = file;
        job.spilling = file >= 0;
        if (job.spilling) {
            // One piece and the block that completes it, never more.
            job.unwritten.reserve(kSpillPiece + outputBufferSize_);
        }
    }
    if (job.spilling) {
        job.unwritten.insert(job.unwritten.end(), kept.begin(), kept.end());
        kept.clear();
        // Once its turn has come the file ends, and the frames that follow go through memory.
        const bool last = done || job.index == current_;
        if (last || job.unwritten.size() >= kSpillPiece) {
            spill(job, lock, last);
        }
    }
    if (!kept.empty()) {
        waitingBytes_ += kept.size();
        (job.spillFile >= 0 ? job.after : job.ready).push_back(std::move(kept));
        kept = {};
    }
    job.done = done;
    samplesDone_ += samples;
    newsWaiting_ = true;
    // Cheap while the caller encodes its own segment: nobody waits on it then.
    changed_.notify_one();
    // A segment whose turn has not come pauses while too many frames wait already, unless it
    // can spill them.
    room_.wait(lock, [&] {
        return done || stopping_ || job.index == current_ || job.spilling ||
               (!job.spillTried && openSpill_) || waitingBytes_ < waitingBudget_;
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
