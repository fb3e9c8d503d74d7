#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace platform {

// The player's play states, numbered as the handlers know them. Only Playing (3) and Ready (10,
// after an open that failed) mean something to the handlers; the others all count as "not
// playing".
enum PlayState : int {
    PlayUndefined = 0,      // nothing opened, or closed
    PlayStopped = 1,        // stopped with the address kept; play() resumes it
    PlayPlaying = 3,        // sound is coming out
    PlayBuffering = 6,      // playing, but waiting for the network to fill the cache
    PlayMediaEnded = 8,     // the stream ended or dropped after it had played
    PlayTransitioning = 9,  // resolving the playlist and opening the stream
    PlayReady = 10,         // ready after an open that failed (an error is queued)
};

// Where one opening of an address stands.
enum class Phase { Idle, Resolving, Opening, Playing, Stopped, Ended, Failed };

PlayState playStateFor(Phase phase, bool buffering);

// The picture shown for a stream without video: a libmpv "lavfi-complex" graph drawn from the
// sound, chosen by the media-player visualisation preferences (effect type and preset). Bars
// ("Bars", "Battery" and anything unknown) show the spectrum, "Scope" or "Waveform" the wave,
// "Ambience" the stereo image; the preset picks the drawing style within the effect.
QString visualisationGraph(const QString& effectType, int preset);

// Why libmpv ended an entry, reduced to what decides the next step.
enum class EndReason { Eof, Error, Stopped, Redirect };

// One opening of an address: the addresses to try in order, the libmpv playlist entry that is
// loading, and whether sound came out. Ends of entries that are not the current one (a stream
// replaced a moment ago) are ignored.
class Attempt {
  public:
    Attempt() = default;
    explicit Attempt(QStringList candidates) : candidates_(std::move(candidates)) {}

    bool hasCandidate() const { return index_ < candidates_.size(); }
    QString current() const { return hasCandidate() ? candidates_[index_] : QString(); }
    void loading(std::int64_t entryId) { entryId_ = entryId; }
    bool isCurrent(std::int64_t entryId) const { return entryId_ != 0 && entryId == entryId_; }
    void played() { played_ = true; }
    bool hasPlayed() const { return played_; }
    // Addresses that replace the current one (a playlist libmpv found behind it).
    void replaceCurrent(const QStringList& addresses);

    enum class Next { Ignore, TryNext, Failed, Ended };
    // What an end of an entry leads to; TryNext has moved on to the next candidate.
    Next ended(std::int64_t entryId, EndReason reason);

  private:
    QStringList candidates_;
    qsizetype index_ = 0;
    std::int64_t entryId_ = 0;
    bool played_ = false;
};

}  // namespace platform
