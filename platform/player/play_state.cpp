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

QString visualisationGraph(const QString& effectType, int preset) {
    const QString effect = effectType.trimmed().toLower();
    const int style = preset < 0 ? 0 : preset;
    QString filter;
    if (effect == QLatin1String("scope") || effect == QLatin1String("waveform")) {
        static const char* const modes[] = {"point", "line", "p2p", "cline"};
        filter =
            QStringLiteral("showwaves=s=192x108:rate=10:mode=") + QLatin1String(modes[style % 4]);
    } else if (effect == QLatin1String("ambience")) {
        static const char* const modes[] = {"lissajous", "lissajous_xy", "polar"};
        filter = QStringLiteral("avectorscope=s=192x108:rate=10:mode=") +
                 QLatin1String(modes[style % 3]);
    } else {
        static const char* const modes[] = {"bar", "line", "dot", "bar"};
        static const char* const scales[] = {"log", "log", "log", "sqrt"};
        filter = QStringLiteral("showfreqs=s=192x108:rate=10:fscale=log:mode=") +
                 QLatin1String(modes[style % 4]) + QStringLiteral(":ascale=") +
                 QLatin1String(scales[style % 4]);
    }
    return QStringLiteral("[aid1]asplit[ao][v];[v]") + filter +
           QStringLiteral(",format=yuv420p[vo]");
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
