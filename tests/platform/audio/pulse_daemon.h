#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace testing_support {

// A private sound server for one test: its own runtime folder and socket, one null output
// "zv_null" (whose monitor is the default source). PULSE_SERVER points this process at it while
// it lives; it is stopped by its own process id.
class PulseDaemon {
  public:
    PulseDaemon();
    ~PulseDaemon();
    PulseDaemon(const PulseDaemon&) = delete;
    PulseDaemon& operator=(const PulseDaemon&) = delete;

    static constexpr int kMonitorRate = 44100;

    bool ok() const { return ok_; }
    QString sink() const { return QStringLiteral("zv_null"); }
    qint64 pid() const { return daemon_.processId(); }
    // Records the sink's monitor (mono, kMonitorRate) for `ms`, keeping this process's event loop
    // running meanwhile: what is being heard may come from this process.
    std::vector<short> recordMonitor(int ms) const;
    const QString& error() const { return error_; }
    QString folder() const { return dir_.path(); }

    // Plays a sine tone of the given frequency into the null output for `seconds`, and returns
    // once the server plays it.
    bool playTone(int frequency, int seconds);

  private:
    QProcessEnvironment environment() const;
    bool run(const QString& program, const QStringList& args, QByteArray* output = nullptr) const;

    QTemporaryDir dir_;
    QProcess daemon_;
    QProcess player_;
    QByteArray previousServer_;
    bool hadServer_ = false;
    bool ok_ = false;
    QString error_;
};

// The share of a signal's power at one frequency (near 1 for a pure tone of that frequency),
// measured over the frames given (interleaved 16-bit samples, first channel).
double toneShare(const QByteArray& pcm, int channels, int rate, double frequency);
double toneShare(const std::vector<short>& mono, double frequency, int rate);

// Checks that the file is a canonical 16-bit stereo WAVE at the rate, as long as `seconds` within
// 5 %, whose middle holds a 1 kHz tone; returns the seconds it holds.
double expectToneWave(const QString& path, int rate, double seconds);

}  // namespace testing_support
