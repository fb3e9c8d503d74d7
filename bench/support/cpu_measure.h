// What the CPU benchmarks share: the CPU time of other processes, a measured run of a program
// against a private sound server, and that server.
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <string>
#include <vector>

namespace bench {

// CPU time a running process has used so far, summed over its threads, in seconds (the
// scheduler's own count; the clock-tick totals are too coarse for a quiet process).
double processCpu(qint64 pid);

// Seconds a measured program runs before its CPU time is counted, so start-up is not.
constexpr int kWarmUpSeconds = 2;

struct Side {
    double own = 0;
    double server = 0;
    // The program ended by itself with exit code 0 (an interrupted program never does).
    bool succeeded = false;
    double total() const { return own + server; }
};

// Starts a program, lets it settle for `warmUp` seconds, and measures its CPU time and the
// server's (when `serverPid` is not 0) over `seconds`; start-up and shutdown are not counted. The
// program is then interrupted if `interrupt`, else waited for.
Side measure(qint64 serverPid, const std::vector<std::string>& args, int seconds, bool interrupt,
             int warmUp = kWarmUpSeconds);

// A private sound server with one null output, "zv_bench", whose monitor is what it plays. Its
// home, runtime and settings folders live in a temporary folder, and the environment points this
// process and every program it starts at it.
class SoundServer {
  public:
    SoundServer();
    ~SoundServer();
    SoundServer(const SoundServer&) = delete;
    SoundServer& operator=(const SoundServer&) = delete;

    bool ok() const { return ok_; }
    qint64 pid() const { return server_.processId(); }
    // The temporary folder, for the benchmark's own files.
    QString folder() const { return dir_.path(); }

    // Plays a sine (sox's form: "1000" or a sweep "300-3000") of `seconds` at `rate`, stereo, into
    // the null output, from now until the server stops.
    bool playTone(int rate, int seconds, const QString& sine);

  private:
    QTemporaryDir dir_;
    QProcess server_;
    QProcess player_;
    bool ok_ = false;
};

}  // namespace bench
