#include "recording/cLameEncoder.h"

#include "platform/ui/error.h"
#include "platform/ui/message_box.h"
#include "platform/ui/report_error.h"
#include "recording/SegmentEncoding.h"
#include "recording/SegmentPlan.h"
#include "recording/ShowSavingProgress.h"
#include "recording/cMp3Writer.h"
#include "recording/cWavReader.h"

#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>
#include <sched.h>

#include <algorithm>
#include <climits>
#include <exception>
#include <thread>
#include <vector>

// The loaded library and its four entry points; unloaded when the encoder ends.
struct cLameEncoder::Library {
    struct Closer {
        void operator()(void* handle) const { dlclose(handle); }
    };
    std::unique_ptr<void, Closer> handle;
    beInitStream_t init = nullptr;
    beEncodeChunk_t encode = nullptr;
    beDeinitStream_t deinit = nullptr;
    beCloseStream_t close = nullptr;

    // Null when the file is missing or lacks one of the entry points.
    static std::unique_ptr<Library> load(const QString& file) {
        auto lib = std::make_unique<Library>();
        lib->handle.reset(dlopen(QFile::encodeName(file).constData(), RTLD_NOW | RTLD_LOCAL));
        if (!lib->handle) {
            return nullptr;
        }
        lib->init = reinterpret_cast<beInitStream_t>(dlsym(lib->handle.get(), "beInitStream"));
        lib->encode = reinterpret_cast<beEncodeChunk_t>(dlsym(lib->handle.get(), "beEncodeChunk"));
        lib->deinit =
            reinterpret_cast<beDeinitStream_t>(dlsym(lib->handle.get(), "beDeinitStream"));
        lib->close = reinterpret_cast<beCloseStream_t>(dlsym(lib->handle.get(), "beCloseStream"));
        if (lib->init == nullptr || lib->encode == nullptr || lib->deinit == nullptr ||
            lib->close == nullptr) {
            return nullptr;
        }
        return lib;
    }
};

namespace {

// 20 + done * 70 / total, rounded half to even, in 64 bits so that no recording overflows it.
int savingPercent(std::int64_t done, std::int64_t total) {
    const std::int64_t scaled = done * 70;
    std::int64_t q = scaled / total;
    const std::int64_t twiceRest = (scaled % total) * 2;
    if (twiceRest > total || (twiceRest == total && q % 2 != 0)) {
        ++q;
    }
    return static_cast<int>(20 + q);
}

// The cores this process may run on (a container or taskset may allow fewer than there are).
int availableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        return std::max(1, CPU_COUNT(&set));
    }
    return static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
}

}  // namespace

cLameEncoder::cLameEncoder(QString appFolder, const QString& recordSampleRate,
                           platform::MessageBoxes& boxes, StatusLabel& label)
    : appFolder_(std::move(appFolder)), boxes_(boxes), label_(label) {
    config_.sampleRate = recordSampleRate.trimmed().toUInt();
    config_.outSampleRate = 0;
    config_.mode = 0;
    config_.bitrate = 160;
    config_.maxBitrate = 0;
    config_.preset = 5;
    config_.mpegVersion = 1;
    config_.original = 1;
    config_.writeVbrHeader = 1;
    config_.noReservoir = 1;
}

cLameEncoder::~cLameEncoder() {
    try {
        lameClose();
    } catch (const std::exception&) {
        // A destructor has no one to tell.
    }
}

void cLameEncoder::setWavFile(const QString& name) {
    if (fileExists(name)) {
        wavFile_ = name;
    }
}

void cLameEncoder::lameInit() {
    lameClose();
    try {
        if (!library_) {
            library_ = Library::load(appFolder_ + QStringLiteral("/Zorvita.dll"));
            if (!library_) {
                return;
            }
        }
        const be::ConfigBytes record = be::pack(config_);
        std::uint32_t samples = 0;
        std::uint32_t bufferSize = 0;
        std::uint32_t stream = 0;
        const std::uint32_t result = library_->init(record.data(), &samples, &bufferSize, &stream);
        if (result == be::kOk) {
            stream_ = stream;
            samplesPerBlock_ = samples;
            outputBufferSize_ = bufferSize;
        }
        showLameError(QStringLiteral("lameInit"), result, true);
    } catch (const std::exception&) {
        // Whatever fails here leaves no stream; Encode reports that.
    }
}

void cLameEncoder::lameClose() {
    if (stream_ == 0 || !library_) {
        return;
    }
    const std::uint32_t result = library_->close(stream_);
    stream_ = 0;
    samplesPerBlock_ = 0;
    outputBufferSize_ = 0;
    showLameError(QStringLiteral("lameClose"), result, true);
}

std::unique_ptr<cWavReader> cLameEncoder::createWavReader() {
    auto reader = std::make_unique<cWavReader>();
    reader->setReadBufferSize(samplesPerBlock_ / 2);
    reader->setFilename(wavFile_);
    return reader;
}

std::unique_ptr<cMp3Writer> cLameEncoder::createMp3Writer() {
    auto writer = std::make_unique<cMp3Writer>();
    writer->setBufferSize(
        static_cast<std::int32_t>(std::min<std::uint32_t>(outputBufferSize_, INT32_MAX)));
    writer->setFilename(mp3File_);
    return writer;
}

// Where the blocks handed to the library come from: the WAV reader's buffer, or a buffer filled
// from a PcmSource. Counts are 16-bit samples, both channels together.
class cLameEncoder::Blocks {
  public:
    virtual ~Blocks() = default;
    virtual std::int64_t totalSamples() const = 0;
    // The next block (0 samples at the end); *pcm stays valid until the next call.
    virtual std::int64_t next(const std::int16_t** pcm) = 0;
};

class cLameEncoder::ReaderBlocks final : public Blocks {
  public:
    explicit ReaderBlocks(std::unique_ptr<cWavReader> reader) : reader_(std::move(reader)) {}
    std::int64_t totalSamples() const override { return reader_->AudioLength() * 2; }
    std::int64_t next(const std::int16_t** pcm) override {
        if (!more_) {
            return 0;
        }
        more_ = reader_->Read();
        *pcm = reinterpret_cast<const std::int16_t*>(reader_->ReadBufferPtr());
        // Full blocks until the last, which holds exactly what the file has left.
        return (more_ ? reader_->ReadBufferSize() : reader_->ReadSize()) * 2;
    }

  private:
    std::unique_ptr<cWavReader> reader_;
    bool more_ = true;
};

class cLameEncoder::SourceBlocks final : public Blocks {
  public:
    SourceBlocks(PcmSource& source, std::uint32_t samplesPerBlock)
        : source_(source), buffer_(samplesPerBlock) {}
    std::int64_t totalSamples() const override {
        return std::max(source_.expectedFrames() * 2, delivered_);
    }
    std::int64_t next(const std::int16_t** pcm) override {
        const auto blockFrames = static_cast<std::int64_t>(buffer_.size() / 2);
        std::int64_t frames = 0;
        while (!ended_ && frames < blockFrames) {
            const std::int64_t got =
                source_.read(buffer_.data() + frames * 2, blockFrames - frames);
            ended_ = got == 0;
            frames += got;
        }
        *pcm = buffer_.data();
        delivered_ += frames * 2;
        return frames * 2;
    }

  private:
    PcmSource& source_;
    std::vector<std::int16_t> buffer_;
    std::int64_t delivered_ = 0;
    bool ended_ = false;
};

QString cLameEncoder::noEngine() {
    engineOpened_ = false;
    showLameError(QStringLiteral("lameConvert"), 1, false);
    return QStringLiteral("lameConvert");
}

void cLameEncoder::raiseAsConversionError(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const platform::Error& e) {
        throw platform::Error(e.number(), platform::programName() + QStringLiteral(".lameConvert"),
                              e.description());
    }
}

QString cLameEncoder::Encode() {
    spilledBytes_ = 0;
    lameInit();
    if (stream_ == 0) {
        return noEngine();
    }
    engineOpened_ = true;
    std::int64_t frames = 0;
    std::unique_ptr<cWavReader> reader;
    try {
        reader = createWavReader();
        frames = reader->AudioLength();
    } catch (const platform::Error&) {
        reader.reset();
        lameClose();
        raiseAsConversionError(std::current_exception());
    }
    const std::int64_t blockFrames = samplesPerBlock_ / 2;
    const std::int64_t blocks = blockFrames > 0 ? (frames + blockFrames - 1) / blockFrames : 0;
    const int threads = maxSegments_ > 0 ? maxSegments_ : availableCores();
    const int segments = segmentCountFor(threads, blocks);
    if (segments > 1) {
        reader.reset();
        return encodeSegments(frames, segments);
    }
    return encodeSequential([&] { return std::make_unique<ReaderBlocks>(std::move(reader)); });
}

QString cLameEncoder::EncodeFrom(PcmSource& source) {
    lameInit();
    if (stream_ == 0) {
        return noEngine();
    }
    engineOpened_ = true;
    return encodeSequential(
        [&] { return std::make_unique<SourceBlocks>(source, samplesPerBlock_); });
}

QString cLameEncoder::encodeSequential(const std::function<std::unique_ptr<Blocks>()>& openSource) {
    std::unique_ptr<Blocks> blocks;
    std::unique_ptr<cMp3Writer> writer;
    try {
        blocks = openSource();
        writer = createMp3Writer();
        const auto encoded = [&](std::uint32_t result, std::uint32_t bytes) {
            showLameError(QStringLiteral("lameConvert"), result, true);
            writer->WriteBufferToFile(
                static_cast<std::int32_t>(std::min<std::uint32_t>(bytes, INT32_MAX)));
        };
        std::int64_t samplesDone = 0;
        bool cancel = false;
        while (!cancel) {
            const std::int16_t* pcm = nullptr;
            const std::int64_t n = blocks->next(&pcm);
            if (n == 0) {
                break;
            }
            std::uint32_t bytes = 0;
            const std::uint32_t result = library_->encode(stream_, static_cast<std::uint32_t>(n),
                                                          pcm, writer->BufferPointer(), &bytes);
            encoded(result, bytes);
            samplesDone += n;
            const std::int64_t total = blocks->totalSamples();
            if (Progress) {
                Progress(samplesDone, total, cancel);
            }
            ShowSavingProgress(label_, savingPercent(samplesDone, total));
        }
        ShowSavingProgress(label_, 95);
        if (cancel) {
            writer->CloseFile();
            killFile(writer->Filename());
        } else {
            std::uint32_t bytes = 0;
            const std::uint32_t result = library_->deinit(stream_, writer->BufferPointer(), &bytes);
            encoded(result, bytes);
            const std::int64_t total = blocks->totalSamples();
            if (Progress) {
                Progress(total, total, cancel);
            }
            writer->CloseFile();
        }
        ShowSavingProgress(label_, 98);
    } catch (const platform::Error&) {
        writer.reset();
        blocks.reset();
        lameClose();
        raiseAsConversionError(std::current_exception());
    }
    writer.reset();
    blocks.reset();
    lameClose();
    ShowSavingProgress(label_, 100);
    return {};
}

std::vector<std::uint32_t> cLameEncoder::openSegmentStreams(int segments) {
    std::vector<std::uint32_t> streams{stream_};
    const be::ConfigBytes record = be::pack(config_);
    while (static_cast<int>(streams.size()) < segments) {
        std::uint32_t samples = 0;
        std::uint32_t bufferSize = 0;
        std::uint32_t stream = 0;
        // A library short of handles gets fewer segments, not a failed conversion.
        if (library_->init(record.data(), &samples, &bufferSize, &stream) != be::kOk) {
            break;
        }
        if (samples != samplesPerBlock_ || bufferSize != outputBufferSize_) {
            library_->close(stream);
            break;
        }
        streams.push_back(stream);
    }
    return streams;
}

void cLameEncoder::closeStreams(const std::vector<std::uint32_t>& streams) {
    for (std::size_t k = 1; k < streams.size(); ++k) {
        showLameError(QStringLiteral("lameClose"), library_->close(streams[k]), true);
    }
}

QString cLameEncoder::encodeSegments(std::int64_t audioFrames, int segments) {
    const std::vector<std::uint32_t> streams = openSegmentStreams(segments);
    if (streams.size() == 1) {
        return encodeSequential(
            [this] { return std::make_unique<ReaderBlocks>(createWavReader()); });
    }
    const std::int64_t blockFrames = samplesPerBlock_ / 2;
    const std::int64_t total = audioFrames * 2;
    std::unique_ptr<cMp3Writer> writer;
    std::unique_ptr<SegmentEncoding> encoding;
    bool cancel = false;
    std::uint32_t failedResult = be::kOk;
    try {
        writer = createMp3Writer();
        encoding = std::make_unique<SegmentEncoding>(
            SegmentEncoding::Calls{library_->encode, library_->deinit}, wavFile_, blockFrames,
            outputBufferSize_,
            planSegments((audioFrames + blockFrames - 1) / blockFrames,
                         static_cast<int>(streams.size())),
            streams, waitingBudget_ > 0 ? waitingBudget_ : SegmentEncoding::kWaitingBudget);
        // Frames that do not fit in memory wait next to the MP3 file, on the disk it goes to.
        encoding->setSpillOpener(
            [folder = QFileInfo(mp3File_).absolutePath()] { return openUnnamedFile(folder); });
        encoding->start();
        // Frames gather in the writer's buffer and go to the file a buffer at a time.
        std::int32_t pending = 0;
        const auto append = [&](const std::vector<std::uint8_t>& bytes) {
            for (std::size_t at = 0; at < bytes.size();) {
                if (pending == writer->BufferSize()) {
                    writer->WriteBufferToFile(pending);
                    pending = 0;
                }
                const auto n = static_cast<std::int32_t>(std::min<std::size_t>(
                    bytes.size() - at, static_cast<std::size_t>(writer->BufferSize() - pending)));
                std::copy_n(bytes.data() + at, n, writer->BufferPointer() + pending);
                pending += n;
                at += static_cast<std::size_t>(n);
            }
        };
        std::int64_t reported = 0;
        int shown = -1;
        const auto progress = [&](std::int64_t done) {
            if (done <= reported) {
                return;
            }
            reported = done;
            if (Progress) {
                Progress(reported, total, cancel);
            }
            // The label is repainted when its text changes, not for every block.
            if (const int percent = savingPercent(reported, total); percent != shown) {
                shown = percent;
                ShowSavingProgress(label_, percent);
            }
        };
        encoding->encodeFirst([&](std::vector<std::uint8_t>& frames, std::int64_t done) {
            append(frames);
            progress(done);
            return !cancel;
        });
        while (!cancel) {
            SegmentEncoding::News news = encoding->next();
            for (const std::vector<std::uint8_t>& piece : news.frames) {
                append(piece);
            }
            if (news.error) {
                throw *news.error;
            }
            if (news.libraryResult != be::kOk) {
                failedResult = news.libraryResult;
                break;
            }
            progress(news.samplesDone);
            if (news.finished) {
                writer->WriteBufferToFile(pending);
                break;
            }
        }
        encoding->stop();
    } catch (const platform::Error&) {
        // Every thread is joined and every stream closed before the error goes on; a joined
        // stream that is incomplete is worth nothing, so the file goes too.
        if (encoding) {
            spilledBytes_ = encoding->spilledBytes();
        }
        encoding.reset();
        closeStreams(streams);
        writer.reset();
        killFile(mp3File_);
        lameClose();
        raiseAsConversionError(std::current_exception());
    }
    spilledBytes_ = encoding->spilledBytes();
    encoding.reset();
    closeStreams(streams);
    if (failedResult != be::kOk) {
        showLameError(QStringLiteral("lameConvert"), failedResult, true);
        writer.reset();
        killFile(mp3File_);
        lameClose();
        return QStringLiteral("lameConvert");
    }
    ShowSavingProgress(label_, 95);
    if (cancel) {
        writer->CloseFile();
        killFile(writer->Filename());
    } else {
        if (Progress) {
            Progress(total, total, cancel);
        }
        writer->CloseFile();
    }
    ShowSavingProgress(label_, 98);
    writer.reset();
    lameClose();
    ShowSavingProgress(label_, 100);
    return {};
}

void cLameEncoder::showLameError(const QString& routine, std::uint32_t code, bool isLibraryResult) {
    Q_UNUSED(routine);  // named at the call sites for the reader of the code, never shown
    if (isLibraryResult && code == be::kOk) {
        return;
    }
    QString text;
    if (isLibraryResult) {
        switch (code) {
            case be::kInvalidFormat:
                text = QStringLiteral("Invalid Format");
                break;
            case be::kInvalidFormatParameters:
                text = QStringLiteral("Invalid Format Parameters");
                break;
            case be::kNoMoreHandles:
                text = QStringLiteral("Out of LAME handles");
                break;
            case be::kInvalidHandle:
                text = QStringLiteral("LAME handle is invalid");
                break;
            case be::kBufferTooSmall:
                text = QStringLiteral("Buffer is too small");
                break;
            default:
                break;
        }
    } else if (code == 1) {
        text = QStringLiteral("Lame engine not initialised");
    }
    boxes_.show(text, platform::MsgCritical, platform::kAppTitle);
}

bool cLameEncoder::fileExists(const QString& name) {
    return !name.isEmpty() && QFileInfo(name).isFile();
}

void cLameEncoder::killFile(const QString& name) {
    QFile::remove(name);
}
