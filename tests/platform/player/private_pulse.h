#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <vector>

namespace testing_support {

// A private PulseAudio daemon with one null sink, started for a test and stopped by its own
// process; this process's PULSE_SERVER points at it while it lives, so libmpv plays into it.
class PrivatePulse {
  public:
    static constexpr int kRate = 44100;

    PrivatePulse();
    ~PrivatePulse();
    PrivatePulse(const PrivatePulse&) = delete;
    PrivatePulse& operator=(const PrivatePulse&) = delete;

    bool running() const { return running_; }
    QString sink() const { return QStringLiteral("zv_null"); }
    qint64 pid() const { return daemon_.processId(); }

    // Records what the null sink plays for `ms` milliseconds (mono, 16-bit, kRate).
    std::vector<short> recordMonitor(int ms) const;

  private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QByteArray previousServer_;
    bool running_ = false;
};

// The strength of one frequency in a signal relative to its whole energy (0 to 1), by the
// Goertzel filter.
double toneShare(const std::vector<short>& samples, double frequency, int rate);

}  // namespace testing_support
