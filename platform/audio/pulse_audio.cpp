#include "platform/audio/pulse_audio.h"
#include "platform/audio/pulse_shared.h"

#include <pulse/pulseaudio.h>
#include <pulse/rtclock.h>

#include <QByteArray>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace platform {

namespace {

constexpr pa_usec_t kDrainIdleMs = 500;

// The 16-bit format of a capture; false, with the error, when the server cannot record it.
bool captureFormat(int channels, int rate, pa_sample_spec* format, pa_channel_map* map,
                   QString* error) {
    *format = {};
    format->format = PA_SAMPLE_S16LE;
    format->rate = static_cast<uint32_t>(rate);
    format->channels = static_cast<uint8_t>(channels);
    *map = {};
    if (channels <= 0 || channels > static_cast<int>(PA_CHANNELS_MAX) || rate <= 0 ||
        !pa_sample_spec_valid(format) ||
        pa_channel_map_init_extend(map, format->channels, PA_CHANNEL_MAP_DEFAULT) == nullptr) {
        *error = QStringLiteral("The sound server cannot record %1 channels at %2 Hz.")
                     .arg(channels)
                     .arg(rate);
        return false;
    }
    return true;
}

// Connects a capture stream to a source (the default one for an empty name) and waits, for a
// bounded time, until it runs. The caller holds the loop's lock. Without latency adjustment the
// source keeps its own timing, so capture starts at once (adjusting a monitor's latency delays its
// first data by a second or more).
bool connectCapture(PulseShared& shared, int timeoutMs, pa_stream* stream, const QString& source,
                    const pa_buffer_attr& attr, QString* error) {
    pa_context* context = shared.context.get();
    const QByteArray sourceName = source.toUtf8();
    if (pa_stream_connect_record(stream, source.isEmpty() ? nullptr : sourceName.constData(), &attr,
                                 PA_STREAM_NOFLAGS) < 0) {
        *error = serverError(context);
        return false;
    }
    const bool answered = shared.waitFor(timeoutMs, [&] {
        const pa_stream_state_t state = pa_stream_get_state(stream);
        return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state) || !shared.contextGood();
    });
    if (pa_stream_get_state(stream) != PA_STREAM_READY) {
        *error = answered ? serverError(context)
                          : QStringLiteral("The sound server did not start the recording in time.");
        return false;
    }
    return true;
}

}  // namespace

struct CaptureStream::Impl {
    std::shared_ptr<PulseShared> shared;
    std::unique_ptr<pa_stream, StreamDeleter> stream;
    CaptureConsumer consumer;
    std::atomic<bool> failed{false};
    std::atomic<std::uint64_t> delivered{0};
    std::uint64_t bytesPerSec = 0;
    pa_usec_t started = 0;

    ~Impl() {
        LoopLock lock(shared->loop.get());
        if (stream) {
            pa_stream_set_read_callback(stream.get(), nullptr, nullptr);
            pa_stream_set_state_callback(stream.get(), nullptr, nullptr);
            stream.reset();
        }
    }

    static void onState(pa_stream* s, void* self) {
        auto* impl = static_cast<Impl*>(self);
        if (!PA_STREAM_IS_GOOD(pa_stream_get_state(s))) {
            impl->failed = true;
        }
        signalLoop(impl->shared->loop.get());
    }

    static void onRead(pa_stream* s, std::size_t, void* self) {
        auto* impl = static_cast<Impl*>(self);
        for (;;) {
            const void* data = nullptr;
            std::size_t bytes = 0;
            if (pa_stream_peek(s, &data, &bytes) < 0) {
                impl->failed = true;
                return;
            }
            if (bytes == 0) {
                return;
            }
            if (data != nullptr) {
                impl->consumer(static_cast<const char*>(data), bytes);
                impl->delivered += bytes;
            } else {
                impl->deliverSilence(bytes);
            }
            if (pa_stream_drop(s) < 0) {
                impl->failed = true;
                return;
            }
        }
    }

    // A hole in the capture (the server dropped data) becomes silence, so lengths stay true to
    // time.
    void deliverSilence(std::size_t bytes) {
        static const std::array<char, 4096> zeros{};
        while (bytes > 0) {
            const std::size_t n = std::min(bytes, zeros.size());
            consumer(zeros.data(), n);
            delivered += n;
            bytes -= n;
        }
    }
};

CaptureStream::CaptureStream(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
CaptureStream::~CaptureStream() = default;

bool CaptureStream::failed() const {
    return impl_->failed;
}

// A monitor holds its data back for as long as its output may still rewrite it (up to a couple of
// seconds on some outputs). Waiting for that tail keeps the end of a recording.
void CaptureStream::drain(int maxWaitMs) {
    const pa_usec_t now = pa_rtclock_now();
    const pa_usec_t end = now + static_cast<pa_usec_t>(maxWaitMs) * PA_USEC_PER_MSEC;
    const std::uint64_t expected = (now - impl_->started) * impl_->bytesPerSec / PA_USEC_PER_SEC;
    std::uint64_t seen = impl_->delivered;
    pa_usec_t lastGrowth = now;
    while (!impl_->failed && seen < expected) {
        const pa_usec_t t = pa_rtclock_now();
        // A source whose data stopped flowing (its output was suspended) has no tail to wait for.
        if (t >= end || (seen > 0 && t - lastGrowth >= kDrainIdleMs * PA_USEC_PER_MSEC)) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const std::uint64_t nowSeen = impl_->delivered;
        if (nowSeen != seen) {
            seen = nowSeen;
            lastGrowth = pa_rtclock_now();
        }
    }
}

PulseClient::PulseClient(std::shared_ptr<PulseShared> shared, int timeoutMs)
    : shared_(std::move(shared)), timeoutMs_(timeoutMs) {}

PulseClient::~PulseClient() = default;

std::unique_ptr<PulseClient> PulseClient::connect(const QString& clientName, int timeoutMs,
                                                  QString* error) {
    auto shared = connectPulse(clientName, timeoutMs, error);
    if (!shared) {
        return nullptr;
    }
    return std::unique_ptr<PulseClient>(new PulseClient(std::move(shared), timeoutMs));
}

bool PulseClient::listSources(std::vector<AudioSource>* sources, QString* error) {
    std::vector<CaptureSourceInfo> details;
    if (!listSourceDetails(&details, error)) {
        return false;
    }
    sources->clear();
    for (CaptureSourceInfo& d : details) {
        sources->push_back({std::move(d.name), std::move(d.description), d.isMonitor});
    }
    return true;
}

bool PulseClient::defaultSink(DefaultSink* sink, QString* error) {
    struct Query {
        pa_threaded_mainloop* loop;
        QString text;
        bool finished = false;
    } query{shared_->loop.get(), {}};
    const auto onServer = [](pa_context*, const pa_server_info* info, void* self) {
        auto* q = static_cast<Query*>(self);
        if (info != nullptr && info->default_sink_name != nullptr) {
            q->text = QString::fromUtf8(info->default_sink_name);
        }
        q->finished = true;
        signalLoop(q->loop);
    };
    const auto onSink = [](pa_context*, const pa_sink_info* info, int eol, void* self) {
        auto* q = static_cast<Query*>(self);
        if (eol == 0 && info->monitor_source_name != nullptr) {
            q->text = QString::fromUtf8(info->monitor_source_name);
        }
        if (eol != 0) {
            q->finished = true;
            signalLoop(q->loop);
        }
    };
    LoopLock lock(shared_->loop.get());
    pa_context* context = shared_->context.get();
    if (!shared_->await(pa_context_get_server_info(context, onServer, &query), query.finished,
                        timeoutMs_, error)) {
        return false;
    }
    if (query.text.isEmpty()) {
        *error = QStringLiteral("The sound server has no default output.");
        return false;
    }
    const QString sinkName = query.text;
    query.text.clear();
    query.finished = false;
    if (!shared_->await(pa_context_get_sink_info_by_name(context, sinkName.toUtf8().constData(),
                                                         onSink, &query),
                        query.finished, timeoutMs_, error)) {
        return false;
    }
    if (query.text.isEmpty()) {
        *error = QStringLiteral("The default output \"%1\" has no monitor.").arg(sinkName);
        return false;
    }
    *sink = {sinkName, query.text};
    return true;
}

std::unique_ptr<CaptureStream> PulseClient::record(const QString& source, int channels, int rate,
                                                   int latencyMs, CaptureConsumer consumer,
                                                   QString* error) {
    pa_sample_spec sampleFormat;
    pa_channel_map map;
    if (!captureFormat(channels, rate, &sampleFormat, &map, error)) {
        return nullptr;
    }
    auto impl = std::make_unique<CaptureStream::Impl>();
    impl->shared = shared_;
    impl->consumer = std::move(consumer);
    bool ready = false;
    {
        LoopLock lock(shared_->loop.get());
        pa_context* context = shared_->context.get();
        impl->stream.reset(pa_stream_new(context, "Recording", &sampleFormat, &map));
        if (!impl->stream) {
            *error = serverError(context);
            return nullptr;
        }
        pa_stream* stream = impl->stream.get();
        pa_stream_set_state_callback(stream, &CaptureStream::Impl::onState, impl.get());
        pa_stream_set_read_callback(stream, &CaptureStream::Impl::onRead, impl.get());
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = static_cast<uint32_t>(-1);
        attr.prebuf = static_cast<uint32_t>(-1);
        attr.minreq = static_cast<uint32_t>(-1);
        attr.fragsize = static_cast<uint32_t>(
            pa_usec_to_bytes(static_cast<pa_usec_t>(latencyMs) * PA_USEC_PER_MSEC, &sampleFormat));
        ready = connectCapture(*shared_, timeoutMs_, stream, source, attr, error);
        impl->started = pa_rtclock_now();
        impl->bytesPerSec = pa_bytes_per_second(&sampleFormat);
    }
    if (!ready) {
        return nullptr;
    }
    return std::make_unique<CaptureStream>(std::move(impl));
}

// The recorder engine's side of the client: sources with their ports and volumes, and captures
// that are read at the reader's own pace.

namespace {

struct SuccessWait {
    pa_threaded_mainloop* loop;
    bool finished = false;
    bool ok = false;

    static void onDone(pa_context*, int success, void* self) {
        auto* w = static_cast<SuccessWait*>(self);
        w->ok = success != 0;
        w->finished = true;
        signalLoop(w->loop);
    }
};

PortKind portKind(int type) {
    switch (type) {
        case PA_DEVICE_PORT_TYPE_MIC:
        case PA_DEVICE_PORT_TYPE_HEADSET:
        case PA_DEVICE_PORT_TYPE_HANDSET:
            return PortKind::Microphone;
        case PA_DEVICE_PORT_TYPE_LINE:
            return PortKind::Line;
        case PA_DEVICE_PORT_TYPE_AUX:
            return PortKind::Auxiliary;
        case PA_DEVICE_PORT_TYPE_SPDIF:
        case PA_DEVICE_PORT_TYPE_HDMI:
            return PortKind::Digital;
        case PA_DEVICE_PORT_TYPE_PHONE:
            return PortKind::Telephone;
        case PA_DEVICE_PORT_TYPE_ANALOG:
            return PortKind::Analog;
        default:
            return PortKind::Other;
    }
}

class PulledStream final : public PulledCapture {
  public:
    std::shared_ptr<PulseShared> shared;
    std::unique_ptr<pa_stream, StreamDeleter> stream;
    std::function<void()> wake;
    std::atomic<bool> streamFailed{false};
    std::atomic<std::uint64_t> taken{0};
    std::uint64_t bytesPerSec = 0;
    pa_usec_t started = 0;
    std::size_t wakeBytes = 0;
    // The part of the server's last fragment that did not fit the reader's room (loop lock).
    QByteArray staged;

    ~PulledStream() override {
        LoopLock lock(shared->loop.get());
        if (stream) {
            pa_stream_set_read_callback(stream.get(), nullptr, nullptr);
            pa_stream_set_state_callback(stream.get(), nullptr, nullptr);
            stream.reset();
        }
    }

    // Data stays in the stream's buffer until the reader takes it: only tell the reader, once a
    // piece of the size it reads is there (each wake-up costs a trip to the reader's thread).
    static void onRead(pa_stream*, std::size_t readable, void* self) {
        auto* impl = static_cast<PulledStream*>(self);
        if (readable + static_cast<std::size_t>(impl->staged.size()) >= impl->wakeBytes) {
            impl->wake();
        }
    }

    static void onState(pa_stream* s, void* self) {
        auto* impl = static_cast<PulledStream*>(self);
        if (!PA_STREAM_IS_GOOD(pa_stream_get_state(s))) {
            impl->streamFailed = true;
            impl->wake();
        }
        signalLoop(impl->shared->loop.get());
    }

    std::size_t read(char* into, std::size_t max) override {
        LoopLock lock(shared->loop.get());
        std::size_t done = 0;
        const auto fromStaged = std::min<std::size_t>(max, static_cast<std::size_t>(staged.size()));
        std::memcpy(into, staged.constData(), fromStaged);
        staged.remove(0, static_cast<qsizetype>(fromStaged));
        done += fromStaged;
        while (done < max && stream && PA_STREAM_IS_GOOD(pa_stream_get_state(stream.get()))) {
            const void* data = nullptr;
            std::size_t bytes = 0;
            if (pa_stream_peek(stream.get(), &data, &bytes) < 0) {
                streamFailed = true;
                break;
            }
            if (bytes == 0) {
                break;
            }
            const std::size_t n = std::min(bytes, max - done);
            // A hole in the capture (the server dropped data) becomes silence, so lengths stay
            // true to time.
            if (data != nullptr) {
                std::memcpy(into + done, data, n);
                staged.append(static_cast<const char*>(data) + n,
                              static_cast<qsizetype>(bytes - n));
            } else {
                std::memset(into + done, 0, n);
                staged.append(static_cast<qsizetype>(bytes - n), '\0');
            }
            done += n;
            if (pa_stream_drop(stream.get()) < 0) {
                streamFailed = true;
                break;
            }
        }
        taken += done;
        return done;
    }

    std::size_t available() override {
        LoopLock lock(shared->loop.get());
        std::size_t n = static_cast<std::size_t>(staged.size());
        if (stream && PA_STREAM_IS_GOOD(pa_stream_get_state(stream.get()))) {
            const std::size_t readable = pa_stream_readable_size(stream.get());
            if (readable != static_cast<std::size_t>(-1)) {
                n += readable;
            }
        }
        return n;
    }

    bool failed() const override { return streamFailed; }

    // A monitor holds its data back for as long as its output may still rewrite it; waiting for
    // that tail keeps the end of a recording.
    void drain(int maxWaitMs) override {
        const pa_usec_t now = pa_rtclock_now();
        const pa_usec_t end = now + static_cast<pa_usec_t>(maxWaitMs) * PA_USEC_PER_MSEC;
        const std::uint64_t expected = (now - started) * bytesPerSec / PA_USEC_PER_SEC;
        std::uint64_t seen = taken + available();
        pa_usec_t lastGrowth = now;
        while (!streamFailed && seen < expected) {
            const pa_usec_t t = pa_rtclock_now();
            if (t >= end || t - lastGrowth >= kDrainIdleMs * PA_USEC_PER_MSEC) {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const std::uint64_t nowSeen = taken + available();
            if (nowSeen != seen) {
                seen = nowSeen;
                lastGrowth = pa_rtclock_now();
            }
        }
    }
};

}  // namespace

bool PulseClient::isConnected() const {
    LoopLock lock(shared_->loop.get());
    return shared_->contextGood();
}

bool PulseClient::listSourceDetails(std::vector<CaptureSourceInfo>* sources, QString* error) {
    struct Listing {
        pa_threaded_mainloop* loop;
        std::vector<CaptureSourceInfo> found;
        bool finished = false;
        bool failed = false;
    } listing{shared_->loop.get(), {}};
    const auto onSource = [](pa_context*, const pa_source_info* info, int eol, void* self) {
        auto* l = static_cast<Listing*>(self);
        if (eol == 0) {
            CaptureSourceInfo source;
            source.index = info->index;
            source.name = QString::fromUtf8(info->name);
            source.description = QString::fromUtf8(info->description ? info->description : "");
            source.isMonitor = info->monitor_of_sink != PA_INVALID_INDEX;
            for (std::uint32_t i = 0; i < info->n_ports; ++i) {
                const pa_source_port_info* port = info->ports[i];
                source.ports.push_back(
                    {QString::fromUtf8(port->name),
                     QString::fromUtf8(port->description ? port->description : port->name),
                     portKind(port->type)});
            }
            if (info->active_port != nullptr) {
                source.activePort = QString::fromUtf8(info->active_port->name);
            }
            source.channels = info->volume.channels;
            source.volume = info->volume.channels > 0 ? info->volume.values[0] : 0;
            l->found.push_back(std::move(source));
            return;
        }
        l->failed = eol < 0;
        l->finished = true;
        signalLoop(l->loop);
    };
    LoopLock lock(shared_->loop.get());
    if (!shared_->await(pa_context_get_source_info_list(shared_->context.get(), onSource, &listing),
                        listing.finished, timeoutMs_, error)) {
        return false;
    }
    if (listing.failed) {
        *error = serverError(shared_->context.get());
        return false;
    }
    std::sort(
        listing.found.begin(), listing.found.end(),
        [](const CaptureSourceInfo& a, const CaptureSourceInfo& b) { return a.index < b.index; });
    *sources = std::move(listing.found);
    return true;
}

bool PulseClient::setSourcePort(const QString& source, const QString& port, QString* error) {
    SuccessWait wait{shared_->loop.get()};
    LoopLock lock(shared_->loop.get());
    if (!shared_->await(pa_context_set_source_port_by_name(
                            shared_->context.get(), source.toUtf8().constData(),
                            port.toUtf8().constData(), &SuccessWait::onDone, &wait),
                        wait.finished, timeoutMs_, error)) {
        return false;
    }
    if (!wait.ok) {
        *error = serverError(shared_->context.get());
    }
    return wait.ok;
}

bool PulseClient::setSourceVolume(const QString& source, int channels, std::uint32_t volume,
                                  QString* error) {
    pa_cvolume levels;
    if (channels <= 0 || channels > static_cast<int>(PA_CHANNELS_MAX) ||
        pa_cvolume_set(&levels, static_cast<unsigned>(channels), volume) == nullptr) {
        *error = QStringLiteral("The source has no channels to set.");
        return false;
    }
    SuccessWait wait{shared_->loop.get()};
    LoopLock lock(shared_->loop.get());
    if (!shared_->await(pa_context_set_source_volume_by_name(shared_->context.get(),
                                                             source.toUtf8().constData(), &levels,
                                                             &SuccessWait::onDone, &wait),
                        wait.finished, timeoutMs_, error)) {
        return false;
    }
    if (!wait.ok) {
        *error = serverError(shared_->context.get());
    }
    return wait.ok;
}

std::unique_ptr<PulledCapture> PulseClient::recordPulled(const QString& source, int channels,
                                                         int rate, int wakeBytes,
                                                         std::function<void()> wake,
                                                         QString* error) {
    pa_sample_spec sampleFormat;
    pa_channel_map map;
    if (!captureFormat(channels, rate, &sampleFormat, &map, error)) {
        return nullptr;
    }
    auto impl = std::make_unique<PulledStream>();
    impl->shared = shared_;
    impl->wake = std::move(wake);
    impl->wakeBytes = wakeBytes > 0 ? static_cast<std::size_t>(wakeBytes) : 0;
    LoopLock lock(shared_->loop.get());
    pa_context* context = shared_->context.get();
    if (!shared_->contextGood()) {
        *error = QStringLiteral("The connection to the sound server was lost.");
        return nullptr;
    }
    impl->stream.reset(pa_stream_new(context, "Recording", &sampleFormat, &map));
    if (!impl->stream) {
        *error = serverError(context);
        return nullptr;
    }
    pa_stream* stream = impl->stream.get();
    pa_stream_set_state_callback(stream, &PulledStream::onState, impl.get());
    pa_stream_set_read_callback(stream, &PulledStream::onRead, impl.get());
    pa_buffer_attr attr{};
    // The largest buffer the server allows: a reader that falls behind finds its data waiting.
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(-1);
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(-1);
    // The server's own piece size: smaller pieces cost the server more and gain the reader nothing,
    // who is woken per ring entry anyway.
    attr.fragsize = static_cast<uint32_t>(-1);
    if (!connectCapture(*shared_, timeoutMs_, stream, source, attr, error)) {
        return nullptr;
    }
    impl->started = pa_rtclock_now();
    impl->bytesPerSec = pa_bytes_per_second(&sampleFormat);
    return impl;
}

int countCaptureSources(int timeoutMs) {
    QString error;
    const auto client = PulseClient::connect(QStringLiteral("Zorvita"), timeoutMs, &error);
    std::vector<AudioSource> sources;
    if (!client || !client->listSources(&sources, &error)) {
        return 0;
    }
    return static_cast<int>(sources.size());
}

}  // namespace platform
