#include "recorder/WaveInRecorder.h"

#include <QMetaObject>

#include <algorithm>
#include <cmath>

namespace recorder {

namespace {

// How long a stop waits for the sound a monitor still holds back (up to two seconds on some
// outputs).
constexpr int kDrainMs = 3000;

int lineType(const platform::SourcePort& port) {
    switch (port.kind) {
        case platform::PortKind::Microphone:
            return WaveInRecorder::kLineMicrophone;
        case platform::PortKind::Line:
            return WaveInRecorder::kLineLine;
        case platform::PortKind::Auxiliary:
            return WaveInRecorder::kLineAuxiliary;
        case platform::PortKind::Digital:
            return WaveInRecorder::kLineDigital;
        case platform::PortKind::Telephone:
            return WaveInRecorder::kLineTelephone;
        case platform::PortKind::Analog:
            return WaveInRecorder::kLineAnalog;
        case platform::PortKind::Other:
            break;
    }
    return 0;
}

int activePortIndex(const platform::CaptureSourceInfo& source) {
    for (std::size_t i = 0; i < source.ports.size(); ++i) {
        if (source.ports[i].name == source.activePort) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

}  // namespace

WaveInRecorder::WaveInRecorder(std::unique_ptr<platform::CaptureServer> server, QObject* parent)
    : QObject(parent), server_(std::move(server)) {}

WaveInRecorder::~WaveInRecorder() {
    endCapture();
}

int WaveInRecorder::DeviceCount() {
    std::vector<platform::CaptureSourceInfo> sources;
    QString error;
    return server_->listSources(&sources, &error) ? static_cast<int>(sources.size()) : 0;
}

QString WaveInRecorder::DeviceName(int Index) {
    std::vector<platform::CaptureSourceInfo> sources;
    QString error;
    if (!server_->listSources(&sources, &error) || Index < 0 ||
        Index >= static_cast<int>(sources.size())) {
        return {};
    }
    return sources[static_cast<std::size_t>(Index)].description;
}

bool WaveInRecorder::SelectDevice(int Index) {
    std::vector<platform::CaptureSourceInfo> sources;
    QString error;
    if (!server_->listSources(&sources, &error) || Index < 0 ||
        Index >= static_cast<int>(sources.size())) {
        return false;
    }
    selected_ = sources[static_cast<std::size_t>(Index)].name;
    return true;
}

int WaveInRecorder::SelectedDevice() {
    if (selected_.isEmpty()) {
        return -1;
    }
    std::vector<platform::CaptureSourceInfo> sources;
    QString error;
    if (!server_->listSources(&sources, &error)) {
        return -1;
    }
    for (std::size_t i = 0; i < sources.size(); ++i) {
        if (sources[i].name == selected_) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool WaveInRecorder::selectedSource(platform::CaptureSourceInfo* source) {
    if (selected_.isEmpty()) {
        return false;
    }
    std::vector<platform::CaptureSourceInfo> sources;
    QString error;
    if (!server_->listSources(&sources, &error)) {
        return false;
    }
    for (platform::CaptureSourceInfo& s : sources) {
        if (s.name == selected_) {
            *source = std::move(s);
            return true;
        }
    }
    return false;
}

int WaveInRecorder::MixerLineCount() {
    platform::CaptureSourceInfo source;
    if (!selectedSource(&source)) {
        return 0;
    }
    return source.ports.empty() ? 1 : static_cast<int>(source.ports.size());
}

QString WaveInRecorder::MixerLineName(int Index) {
    platform::CaptureSourceInfo source;
    if (!selectedSource(&source) || Index < 0) {
        return {};
    }
    if (source.ports.empty()) {
        return Index == 0 ? source.description : QString();
    }
    return Index < static_cast<int>(source.ports.size())
               ? source.ports[static_cast<std::size_t>(Index)].description
               : QString();
}

bool WaveInRecorder::SelectMixerLine(int Index) {
    platform::CaptureSourceInfo source;
    if (!selectedSource(&source) || Index < 0) {
        return false;
    }
    if (source.ports.empty()) {
        return Index == 0;
    }
    if (Index >= static_cast<int>(source.ports.size())) {
        return false;
    }
    QString error;
    return server_->setActivePort(source.name, source.ports[static_cast<std::size_t>(Index)].name,
                                  &error);
}

int WaveInRecorder::SelectedMixerLine() {
    platform::CaptureSourceInfo source;
    if (!selectedSource(&source)) {
        return -1;
    }
    return activePortIndex(source);
}

int WaveInRecorder::MixerLineType(int Index) {
    platform::CaptureSourceInfo source;
    if (!selectedSource(&source)) {
        return 0;
    }
    if (Index == -1) {
        Index = activePortIndex(source);
    }
    if (source.ports.empty()) {
        // A monitor hears what an output plays.
        return Index == 0 && source.isMonitor ? kLineWaveOut : 0;
    }
    if (Index < 0 || Index >= static_cast<int>(source.ports.size())) {
        return 0;
    }
    return lineType(source.ports[static_cast<std::size_t>(Index)]);
}

int WaveInRecorder::MixerLineVolume() {
    platform::CaptureSourceInfo source;
    if (!selectedSource(&source)) {
        return 0;
    }
    const double scaled = std::round(static_cast<double>(source.volume) * kMaxVolume /
                                     platform::CaptureServer::kNormalVolume);
    return static_cast<int>(std::min<double>(scaled, kMaxVolume));
}

void WaveInRecorder::SetMixerLineVolume(int Volume) {
    platform::CaptureSourceInfo source;
    if (!selectedSource(&source)) {
        return;
    }
    const int level = std::clamp(Volume, 0, kMaxVolume);
    const auto volume = static_cast<std::uint32_t>(std::lround(
        static_cast<double>(level) * platform::CaptureServer::kNormalVolume / kMaxVolume));
    QString error;
    server_->setVolume(source.name, std::max(source.channels, 1), volume, &error);
}

bool WaveInRecorder::StartRecord(int samplerate, int Channels) {
    // A new ring while a handler still reads the old one would pull it from under the handler.
    lastError_.clear();
    if (IsRecording() || handlers_ > 0) {
        lastError_ = QStringLiteral("already recording");
        return false;
    }
    if (samplerate < 1 || Channels < 1 || bufferCount_ < 1) {
        lastError_ = QStringLiteral("invalid rate, channels or buffer count");
        return false;
    }
    const int frameBytes = 2 * Channels;
    entryBytes_ = bufferSize_ / 2 * 2 / frameBytes * frameBytes;
    if (entryBytes_ < frameBytes) {
        lastError_ = QStringLiteral("buffers too small for one frame");
        return false;
    }
    ring_.assign(static_cast<std::size_t>(bufferCount_), Entry{});
    for (Entry& e : ring_) {
        e.samples.assign(static_cast<std::size_t>(bufferSize_ / 2), 0);
    }
    cursor_ = 0;
    const std::uint64_t generation = ++generation_;
    // Called on the sound client's thread: only queue a pump on this object's thread. The capture
    // is gone before this object is, and no wake runs after that.
    auto wake = [this, generation] {
        if (wakePending_.exchange(true)) {
            return;
        }
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                wakePending_ = false;
                if (generation == generation_) {
                    pump();
                }
            },
            Qt::QueuedConnection);
    };
    // Woken once an entry's worth is there: no more trips to this thread than deliveries.
    capture_ = server_->capture(selected_, Channels, samplerate, entryBytes_, std::move(wake),
                                &lastError_);
    if (!capture_ && lastError_.isEmpty()) {
        lastError_ = QStringLiteral("the sound server refused the capture");
    }
    return capture_ != nullptr;
}

void WaveInRecorder::deliver(std::size_t index) {
    Entry& entry = ring_[index];
    entry.withOwner = true;
    cursor_ = (index + 1) % ring_.size();
    ++handlers_;
    Q_EMIT GotData(entry.samples, entry.filled);
    --handlers_;
    // Only now may capture use the entry again.
    entry.filled = 0;
    entry.withOwner = false;
}

void WaveInRecorder::pump() {
    while (capture_) {
        Entry& entry = ring_[cursor_];
        if (entry.withOwner) {
            // Every entry is with the owner: the sound waits in the server's buffer.
            return;
        }
        char* at = reinterpret_cast<char*>(entry.samples.data()) + entry.filled;
        entry.filled += static_cast<int>(
            capture_->read(at, static_cast<std::size_t>(entryBytes_ - entry.filled)));
        if (entry.filled == entryBytes_) {
            deliver(cursor_);
            continue;
        }
        if (capture_->failed()) {
            // The server went away: the recording ends with what it captured.
            if (entry.filled > 0) {
                deliver(cursor_);
            }
            endCapture();
        }
        return;
    }
}

bool WaveInRecorder::StopRecord() {
    if (capture_ && handlers_ == 0) {
        capture_->drain(kDrainMs);
        while (capture_) {
            Entry& entry = ring_[cursor_];
            if (entry.withOwner) {
                break;
            }
            char* at = reinterpret_cast<char*>(entry.samples.data()) + entry.filled;
            entry.filled += static_cast<int>(
                capture_->read(at, static_cast<std::size_t>(entryBytes_ - entry.filled)));
            const bool last = entry.filled < entryBytes_;
            if (entry.filled > 0) {
                deliver(cursor_);
            }
            if (last) {
                break;
            }
        }
    }
    endCapture();
    return true;
}

void WaveInRecorder::endCapture() {
    if (capture_) {
        // After this no wake of the old capture reaches pump().
        ++generation_;
        capture_.reset();
    }
}

}  // namespace recorder
