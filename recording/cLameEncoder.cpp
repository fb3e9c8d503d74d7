#include "recording/cLameEncoder.h"

#include "platform/ui/error.h"
#include "platform/ui/message_box.h"
#include "platform/ui/report_error.h"
#include "recording/ShowSavingProgress.h"
#include "recording/cMp3Writer.h"
#include "recording/cWavReader.h"

#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

#include <algorithm>
#include <climits>
#include <exception>

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

QString cLameEncoder::Encode() {
    lameInit();
    if (stream_ == 0) {
        showLameError(QStringLiteral("lameConvert"), 1, false);
        return QStringLiteral("lameConvert");
    }
    std::unique_ptr<cWavReader> reader;
    std::unique_ptr<cMp3Writer> writer;
    try {
        reader = createWavReader();
        writer = createMp3Writer();
        const auto encoded = [&](std::uint32_t result, std::uint32_t bytes) {
            showLameError(QStringLiteral("lameConvert"), result, true);
            writer->WriteBufferToFile(
                static_cast<std::int32_t>(std::min<std::uint32_t>(bytes, INT32_MAX)));
        };
        std::int64_t samplesDone = 0;
        bool cancel = false;
        bool more = true;
        while (more && !cancel) {
            more = reader->Read();
            // Full blocks until the last, which holds exactly what the file has left.
            const std::int64_t n = (more ? reader->ReadBufferSize() : reader->ReadSize()) * 2;
            if (n == 0) {
                break;
            }
            std::uint32_t bytes = 0;
            const std::uint32_t result =
                library_->encode(stream_, static_cast<std::uint32_t>(n),
                                 reinterpret_cast<const std::int16_t*>(reader->ReadBufferPtr()),
                                 writer->BufferPointer(), &bytes);
            encoded(result, bytes);
            samplesDone += n;
            const std::int64_t total = reader->AudioLength() * 2;
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
            const std::int64_t total = reader->AudioLength() * 2;
            if (Progress) {
                Progress(total, total, cancel);
            }
            writer->CloseFile();
        }
        ShowSavingProgress(label_, 98);
    } catch (const platform::Error& e) {
        writer.reset();
        reader.reset();
        lameClose();
        throw platform::Error(e.number(), platform::programName() + QStringLiteral(".lameConvert"),
                              e.description());
    }
    writer.reset();
    reader.reset();
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
