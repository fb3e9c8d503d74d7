#include "platform/player/play_state.h"

namespace platform {

PlayState playStateFor(Phase phase, bool buffering) {
    switch (phase) {
        case Phase::Idle:
            return PlayUndefined;
        case Phase::Resolving:
        case Phase::Opening:
            return PlayTransitioning;
        case Phase::Playing:
            return buffering ? PlayBuffering : PlayPlaying;
        case Phase::Stopped:
            return PlayStopped;
        case Phase::Ended:
            return PlayMediaEnded;
        case Phase::Failed:
            return PlayReady;
    }
    return PlayUndefined;
}

void Attempt::replaceCurrent(const QStringList& addresses) {
    if (!hasCandidate()) {
        return;
    }
    candidates_.removeAt(index_);
    for (qsizetype i = 0; i < addresses.size(); ++i) {
        candidates_.insert(index_ + i, addresses[i]);
    }
    entryId_ = 0;
}

Attempt::Next Attempt::ended(std::int64_t entryId, EndReason reason) {
    if (!isCurrent(entryId) || reason == EndReason::Stopped || reason == EndReason::Redirect) {
        return Next::Ignore;
    }
    entryId_ = 0;
    // Once sound came out, losing the stream ends it (the reconnects below libmpv have already
    // been tried); it is not an address that failed to open.
    if (played_) {
        return Next::Ended;
    }
    ++index_;
    return hasCandidate() ? Next::TryNext : Next::Failed;
}

}  // namespace platform
