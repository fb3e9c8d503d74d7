#include "platform/audio/pulse_shared.h"

namespace platform {

std::shared_ptr<PulseShared> connectPulse(const QString& clientName, int timeoutMs,
                                          QString* error) {
    auto shared = std::make_shared<PulseShared>();
    shared->loop.reset(pa_threaded_mainloop_new());
    if (!shared->loop) {
        *error = QStringLiteral("The sound client could not start its event loop.");
        return nullptr;
    }
    pa_threaded_mainloop* loop = shared->loop.get();
    shared->context.reset(
        pa_context_new(pa_threaded_mainloop_get_api(loop), clientName.toUtf8().constData()));
    if (!shared->context) {
        *error = QStringLiteral("The sound client could not be created.");
        return nullptr;
    }
    pa_context* context = shared->context.get();
    pa_context_set_state_callback(context, &onContextState, loop);
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        *error = QStringLiteral("No sound server is reachable: ") + serverError(context);
        return nullptr;
    }
    if (pa_threaded_mainloop_start(loop) < 0) {
        *error = QStringLiteral("The sound client could not start its event loop.");
        return nullptr;
    }
    bool ready = false;
    {
        LoopLock lock(loop);
        const bool answered = shared->waitFor(timeoutMs, [&] {
            const pa_context_state_t state = pa_context_get_state(context);
            return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        });
        ready = pa_context_get_state(context) == PA_CONTEXT_READY;
        if (!ready) {
            *error = answered
                         ? QStringLiteral("No sound server is reachable: ") + serverError(context)
                         : QStringLiteral("The sound server did not answer within %1 ms.")
                               .arg(timeoutMs);
        }
    }
    if (!ready) {
        return nullptr;
    }
    return shared;
}

}  // namespace platform
