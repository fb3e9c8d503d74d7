#pragma once

// The pieces every part of the sound-server client shares: owners of the server's objects, the
// loop lock, and bounded waits on the loop. Not for use outside platform/audio.

#include <pulse/pulseaudio.h>
#include <pulse/rtclock.h>

#include <QString>

#include <memory>

namespace platform {

struct LoopDeleter {
    void operator()(pa_threaded_mainloop* loop) const {
        pa_threaded_mainloop_stop(loop);
        pa_threaded_mainloop_free(loop);
    }
};

// The context, stream and operation deleters run with the loop lock held.
struct ContextDeleter {
    void operator()(pa_context* context) const {
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
};

struct StreamDeleter {
    void operator()(pa_stream* stream) const {
        if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
            // A failed disconnect leaves nothing to undo: the reference is dropped either way.
            static_cast<void>(pa_stream_disconnect(stream));
        }
        pa_stream_unref(stream);
    }
};

struct OperationDeleter {
    void operator()(pa_operation* op) const { pa_operation_unref(op); }
};

using OperationPtr = std::unique_ptr<pa_operation, OperationDeleter>;

class LoopLock {
  public:
    explicit LoopLock(pa_threaded_mainloop* loop) : loop_(loop) {
        pa_threaded_mainloop_lock(loop_);
    }
    ~LoopLock() { pa_threaded_mainloop_unlock(loop_); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

  private:
    pa_threaded_mainloop* loop_;
};

inline void signalLoop(pa_threaded_mainloop* loop) {
    pa_threaded_mainloop_signal(loop, 0);
}

inline void onContextState(pa_context*, void* loop) {
    signalLoop(static_cast<pa_threaded_mainloop*>(loop));
}

inline void onDeadline(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* loop) {
    signalLoop(static_cast<pa_threaded_mainloop*>(loop));
}

inline QString serverError(pa_context* context) {
    return QString::fromUtf8(pa_strerror(pa_context_errno(context)));
}

struct PulseShared {
    std::unique_ptr<pa_threaded_mainloop, LoopDeleter> loop;
    std::unique_ptr<pa_context, ContextDeleter> context;

    ~PulseShared() {
        if (context) {
            LoopLock lock(loop.get());
            context.reset();
        }
    }

    bool contextGood() const { return PA_CONTEXT_IS_GOOD(pa_context_get_state(context.get())); }

    // Waits with the loop lock held until done() holds. A timer on the loop wakes the wait at the
    // deadline, so a server that never answers ends the wait with false.
    template <class Done>
    bool waitFor(int timeoutMs, Done done) {
        const pa_usec_t end =
            pa_rtclock_now() + static_cast<pa_usec_t>(timeoutMs) * PA_USEC_PER_MSEC;
        pa_time_event* wake = pa_context_rttime_new(context.get(), end, &onDeadline, loop.get());
        if (wake == nullptr) {
            return false;
        }
        bool met = true;
        while (!done()) {
            if (pa_rtclock_now() >= end) {
                met = false;
                break;
            }
            pa_threaded_mainloop_wait(loop.get());
        }
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop.get());
        api->time_free(wake);
        return met;
    }

    // Waits for an operation whose callback sets *finished; on a timeout or a lost connection the
    // operation is cancelled, so its callback never sees the caller's stack again.
    bool await(pa_operation* raw, const bool& finished, int timeoutMs, QString* error) {
        const OperationPtr op(raw);
        if (!op) {
            *error = serverError(context.get());
            return false;
        }
        const bool met = waitFor(timeoutMs, [&] { return finished || !contextGood(); });
        if (finished) {
            return true;
        }
        pa_operation_cancel(op.get());
        *error = met ? QStringLiteral("The connection to the sound server was lost.")
                     : QStringLiteral("The sound server did not answer in time.");
        return false;
    }
};

// Connects a context with its own threaded loop to the server the environment names; nothing
// (and *error set) when no server answers within timeoutMs.
std::shared_ptr<PulseShared> connectPulse(const QString& clientName, int timeoutMs, QString* error);

}  // namespace platform
