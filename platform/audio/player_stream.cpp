#include "platform/audio/player_stream.h"

#include "platform/audio/pulse_shared.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <thread>

namespace platform {

namespace {

constexpr pa_usec_t kTickUs = 100 * PA_USEC_PER_MSEC;
constexpr pa_usec_t kDrainIdleUs = 500 * PA_USEC_PER_MSEC;
constexpr int kFragmentMs = 250;

long long propertyNumber(const pa_proplist* properties, const char* key) {
    const char* value = pa_proplist_gets(properties, key);
    return value != nullptr ? QByteArray(value).toLongLong() : 0;
}

PlaybackStream describe(const pa_sink_input_info& info) {
    const char* name = pa_proplist_gets(info.proplist, PA_PROP_APPLICATION_NAME);
    return {info.index, info.sink, QString::fromUtf8(name != nullptr ? name : ""),
            propertyNumber(info.proplist, PA_PROP_APPLICATION_PROCESS_ID)};
}

}  // namespace

int findPlayerStream(const std::vector<PlaybackStream>& streams, long long processId,
                     const QString& applicationName) {
    int found = -1;
    for (std::size_t i = 0; i < streams.size(); ++i) {
        const PlaybackStream& s = streams[i];
        if (s.processId == processId && s.applicationName == applicationName &&
            (found < 0 || s.index > streams[static_cast<std::size_t>(found)].index)) {
            found = static_cast<int>(i);
        }
    }
    return found;
}

// Everything below runs on the client's loop thread or under its lock.
struct PlayerCaptureShared {
    std::shared_ptr<PulseShared> pulse;
    CaptureConsumer consumer;
    pa_sample_spec sampleFormat{};
    pa_channel_map map{};
    std::unique_ptr<pa_stream, StreamDeleter> stream;
    bool streamDead = false;
    pa_time_event* tick = nullptr;
    OperationPtr lookup;
    bool lookupDone = false;
    std::vector<PlaybackStream> seen;
    bool running = false;
    pa_usec_t started = 0;
    // While no stream of the player delivers: the time from which silence is owed.
    pa_usec_t silenceFrom = 0;
    std::atomic<std::uint64_t> delivered{0};
    std::atomic<int> followed{0};

    pa_context* context() const { return pulse->context.get(); }

    void deliver(const char* data, std::size_t bytes) {
        consumer(data, bytes);
        delivered += bytes;
    }

    void deliverSilence(std::size_t bytes) {
        static const std::array<char, 4096> zeros{};
        while (bytes > 0) {
            const std::size_t n = std::min(bytes, zeros.size());
            deliver(zeros.data(), n);
            bytes -= n;
        }
    }

    // The gap's silence up to now, in whole frames.
    void paySilence(pa_usec_t now) {
        if (silenceFrom == 0 || now <= silenceFrom) {
            return;
        }
        std::size_t bytes = pa_usec_to_bytes(now - silenceFrom, &sampleFormat);
        bytes -= bytes % pa_frame_size(&sampleFormat);
        deliverSilence(bytes);
        silenceFrom += pa_bytes_to_usec(bytes, &sampleFormat);
    }

    static void onState(pa_stream* s, void* self) {
        auto* c = static_cast<PlayerCaptureShared*>(self);
        const pa_stream_state_t state = pa_stream_get_state(s);
        if (state == PA_STREAM_READY) {
            c->paySilence(pa_rtclock_now());
            c->silenceFrom = 0;
            ++c->followed;
        } else if (!PA_STREAM_IS_GOOD(state)) {
            c->streamDead = true;
            // What the stream still held when it went is lost: the silence starts where the
            // delivered sound ends, so the recording's length stays true to time.
            if (c->silenceFrom == 0) {
                c->silenceFrom =
                    std::min(pa_rtclock_now(),
                             c->started + pa_bytes_to_usec(c->delivered, &c->sampleFormat));
            }
        }
        signalLoop(c->pulse->loop.get());
    }

    static void onRead(pa_stream* s, std::size_t, void* self) {
        auto* c = static_cast<PlayerCaptureShared*>(self);
        for (;;) {
            const void* data = nullptr;
            std::size_t bytes = 0;
            if (pa_stream_peek(s, &data, &bytes) < 0 || bytes == 0) {
                return;
            }
            // A hole (the server dropped data) becomes silence, so lengths stay true to time.
            if (data != nullptr) {
                c->deliver(static_cast<const char*>(data), bytes);
            } else {
                c->deliverSilence(bytes);
            }
            if (pa_stream_drop(s) < 0) {
                return;
            }
        }
    }

    static void onSinkInput(pa_context*, const pa_sink_input_info* info, int eol, void* self) {
        auto* c = static_cast<PlayerCaptureShared*>(self);
        if (eol == 0) {
            c->seen.push_back(describe(*info));
            return;
        }
        c->lookupDone = true;
        signalLoop(c->pulse->loop.get());
    }

    // Monitors one playback stream; the stream's state callback tells when it records.
    bool attach(std::uint32_t sinkInput, QString* error) {
        streamDead = false;
        stream.reset(pa_stream_new(context(), "Recording", &sampleFormat, &map));
        if (!stream) {
            *error = serverError(context());
            return false;
        }
        pa_stream* s = stream.get();
        pa_stream_set_state_callback(s, &onState, this);
        pa_stream_set_read_callback(s, &onRead, this);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = static_cast<uint32_t>(-1);
        attr.prebuf = static_cast<uint32_t>(-1);
        attr.minreq = static_cast<uint32_t>(-1);
        attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(
            static_cast<pa_usec_t>(kFragmentMs) * PA_USEC_PER_MSEC, &sampleFormat));
        // The server takes the monitor of the output the stream plays on.
        if (pa_stream_set_monitor_stream(s, sinkInput) < 0 ||
            pa_stream_connect_record(s, nullptr, &attr, PA_STREAM_DONT_MOVE) < 0) {
            *error = serverError(context());
            dropStream();
            return false;
        }
        return true;
    }

    void dropStream() {
        if (stream) {
            pa_stream_set_read_callback(stream.get(), nullptr, nullptr);
            pa_stream_set_state_callback(stream.get(), nullptr, nullptr);
            stream.reset();
        }
    }

    // Every tick: silence for a gap, and a look for the player's next stream while it has none.
    static void onTick(pa_mainloop_api*, pa_time_event* e, const struct timeval*, void* self) {
        auto* c = static_cast<PlayerCaptureShared*>(self);
        if (!c->running) {
            return;
        }
        const pa_usec_t now = pa_rtclock_now();
        if (c->streamDead) {
            c->dropStream();
            c->streamDead = false;
        }
        c->paySilence(now);
        if (c->lookup && c->lookupDone) {
            c->lookup.reset();
            const int found = findPlayerStream(c->seen, ::getpid());
            if (found >= 0 && !c->stream) {
                QString error;
                c->attach(c->seen[static_cast<std::size_t>(found)].index, &error);
            }
        }
        if (!c->stream && !c->lookup && PA_CONTEXT_IS_GOOD(pa_context_get_state(c->context()))) {
            c->seen.clear();
            c->lookupDone = false;
            c->lookup.reset(pa_context_get_sink_input_info_list(c->context(), &onSinkInput, c));
        }
        pa_context_rttime_restart(c->context(), e, now + kTickUs);
    }

    // With the loop lock held: nothing of this capture runs on the loop thread afterwards.
    void shutDown() {
        running = false;
        if (tick != nullptr) {
            pa_threaded_mainloop_get_api(pulse->loop.get())->time_free(tick);
            tick = nullptr;
        }
        if (lookup) {
            pa_operation_cancel(lookup.get());
            lookup.reset();
        }
        dropStream();
    }
};

PlayerStreamCapture::PlayerStreamCapture(std::shared_ptr<PlayerCaptureShared> shared, int timeoutMs)
    : shared_(std::move(shared)), timeoutMs_(timeoutMs) {}

PlayerStreamCapture::~PlayerStreamCapture() {
    LoopLock lock(shared_->pulse->loop.get());
    shared_->shutDown();
}

std::unique_ptr<PlayerStreamCapture> PlayerStreamCapture::connect(int timeoutMs, QString* error) {
    auto pulse = connectPulse(QStringLiteral("Zorvita"), timeoutMs, error);
    if (!pulse) {
        return nullptr;
    }
    auto shared = std::make_shared<PlayerCaptureShared>();
    shared->pulse = std::move(pulse);
    return std::unique_ptr<PlayerStreamCapture>(
        new PlayerStreamCapture(std::move(shared), timeoutMs));
}

bool PlayerStreamCapture::listPlaybackStreams(std::vector<PlaybackStream>* streams,
                                              QString* error) {
    struct Listing {
        pa_threaded_mainloop* loop;
        std::vector<PlaybackStream> found;
        bool finished = false;
        bool failed = false;
    } listing{shared_->pulse->loop.get(), {}};
    const auto onInput = [](pa_context*, const pa_sink_input_info* info, int eol, void* self) {
        auto* l = static_cast<Listing*>(self);
        if (eol == 0) {
            l->found.push_back(describe(*info));
            return;
        }
        l->failed = eol < 0;
        l->finished = true;
        signalLoop(l->loop);
    };
    PulseShared& pulse = *shared_->pulse;
    LoopLock lock(pulse.loop.get());
    if (!pulse.await(pa_context_get_sink_input_info_list(pulse.context.get(), onInput, &listing),
                     listing.finished, timeoutMs_, error)) {
        return false;
    }
    if (listing.failed) {
        *error = serverError(pulse.context.get());
        return false;
    }
    *streams = std::move(listing.found);
    return true;
}

bool PlayerStreamCapture::start(int channels, int rate, CaptureConsumer consumer, QString* error) {
    std::vector<PlaybackStream> streams;
    if (!listPlaybackStreams(&streams, error)) {
        return false;
    }
    const int found = findPlayerStream(streams, ::getpid());
    if (found < 0) {
        *error = QStringLiteral("The player has no sound at the sound server yet.");
        return false;
    }
    PlayerCaptureShared& c = *shared_;
    c.sampleFormat.format = PA_SAMPLE_S16LE;
    c.sampleFormat.rate = static_cast<uint32_t>(rate);
    c.sampleFormat.channels = static_cast<uint8_t>(channels);
    if (channels <= 0 || channels > static_cast<int>(PA_CHANNELS_MAX) || rate <= 0 ||
        !pa_sample_spec_valid(&c.sampleFormat) ||
        pa_channel_map_init_extend(&c.map, c.sampleFormat.channels, PA_CHANNEL_MAP_DEFAULT) ==
            nullptr) {
        *error = QStringLiteral("The sound server cannot record %1 channels at %2 Hz.")
                     .arg(channels)
                     .arg(rate);
        return false;
    }
    PulseShared& pulse = *c.pulse;
    LoopLock lock(pulse.loop.get());
    // A device may record again after a stop: nothing of the last run carries over.
    c.consumer = std::move(consumer);
    c.silenceFrom = 0;
    c.delivered = 0;
    if (!c.attach(streams[static_cast<std::size_t>(found)].index, error)) {
        return false;
    }
    const bool answered = pulse.waitFor(timeoutMs_, [&] {
        const pa_stream_state_t state = pa_stream_get_state(c.stream.get());
        return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state) || !pulse.contextGood();
    });
    if (pa_stream_get_state(c.stream.get()) != PA_STREAM_READY) {
        *error = answered ? serverError(pulse.context.get())
                          : QStringLiteral("The sound server did not start the recording in time.");
        c.dropStream();
        return false;
    }
    c.started = pa_rtclock_now();
    c.running = true;
    c.tick = pa_context_rttime_new(pulse.context.get(), c.started + kTickUs,
                                   &PlayerCaptureShared::onTick, &c);
    return true;
}

// The monitor holds back what its output might still rewrite: wait for the data captured up to
// the moment of stopping, as long as it keeps coming.
void PlayerStreamCapture::stop(int drainMs) {
    PlayerCaptureShared& c = *shared_;
    const pa_usec_t now = pa_rtclock_now();
    const pa_usec_t end = now + static_cast<pa_usec_t>(drainMs) * PA_USEC_PER_MSEC;
    bool attached = false;
    pa_usec_t started = 0;
    {
        LoopLock lock(c.pulse->loop.get());
        attached = c.running && c.silenceFrom == 0 && c.stream;
        started = c.started;
    }
    const std::uint64_t expected = attached ? pa_usec_to_bytes(now - started, &c.sampleFormat) : 0;
    std::uint64_t seen = c.delivered;
    pa_usec_t lastGrowth = now;
    while (seen < expected) {
        const pa_usec_t t = pa_rtclock_now();
        if (t >= end || t - lastGrowth >= kDrainIdleUs) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (c.delivered != seen) {
            seen = c.delivered;
            lastGrowth = pa_rtclock_now();
        }
    }
    LoopLock lock(c.pulse->loop.get());
    if (c.running) {
        c.paySilence(pa_rtclock_now());
    }
    c.shutDown();
}

int PlayerStreamCapture::streamsFollowed() const {
    return shared_->followed;
}

bool playerStreamPlaying(int timeoutMs) {
    QString error;
    const auto capture = PlayerStreamCapture::connect(timeoutMs, &error);
    std::vector<PlaybackStream> streams;
    return capture && capture->listPlaybackStreams(&streams, &error) &&
           findPlayerStream(streams, ::getpid()) >= 0;
}

}  // namespace platform
