#pragma once

#include "platform/audio/capture_server.h"

#include <QString>

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace platform {

// A place sound can be captured from. Monitors are the sources that hear what a sink plays.
struct AudioSource {
    QString name;
    QString description;
    bool isMonitor = false;
};

struct DefaultSink {
    QString name;
    QString monitorSource;
};

// Receives captured 16-bit little-endian PCM, whole frames, on the sound client's own thread.
using CaptureConsumer = std::function<void(const char* data, std::size_t bytes)>;

struct PulseShared;

// A running capture. Destroying it stops the capture; once the destructor returns the consumer is
// never called again.
class CaptureStream {
  public:
    struct Impl;
    explicit CaptureStream(std::unique_ptr<Impl> impl);
    ~CaptureStream();
    CaptureStream(const CaptureStream&) = delete;
    CaptureStream& operator=(const CaptureStream&) = delete;

    // True once the server ended the stream (the source went away, the server quit).
    bool failed() const;
    // Waits, at most maxWaitMs, for the data captured up to now that the server still holds back.
    void drain(int maxWaitMs);

  private:
    std::unique_ptr<Impl> impl_;
};

// A client of the sound server (PulseAudio, or PipeWire's pulse server) with its own event thread.
// Every request waits a bounded time: a server that does not answer is a failure, never a hang.
class PulseClient {
  public:
    static constexpr int kDefaultTimeoutMs = 3000;

    // Connects to the server the environment names (PULSE_SERVER, else the user's own). Returns
    // nothing and sets *error when no server is reachable within timeoutMs.
    static std::unique_ptr<PulseClient> connect(const QString& clientName, int timeoutMs,
                                                QString* error);
    ~PulseClient();
    PulseClient(const PulseClient&) = delete;
    PulseClient& operator=(const PulseClient&) = delete;

    bool listSources(std::vector<AudioSource>* sources, QString* error);
    bool defaultSink(DefaultSink* sink, QString* error);

    // Starts capturing from the source named (empty: the default source), as 16-bit
    // little-endian PCM with the given channel count and rate; latencyMs bounds how long the
    // server holds captured data back.
    std::unique_ptr<CaptureStream> record(const QString& source, int channels, int rate,
                                          int latencyMs, CaptureConsumer consumer, QString* error);

    // The capture sources with their ports, active port, channel count and volume.
    bool listSourceDetails(std::vector<CaptureSourceInfo>* sources, QString* error);
    bool setSourcePort(const QString& source, const QString& port, QString* error);
    bool setSourceVolume(const QString& source, int channels, std::uint32_t volume, QString* error);
    // A capture read at the caller's pace: what is not read waits in the server's buffer.
    std::unique_ptr<PulledCapture> recordPulled(const QString& source, int channels, int rate,
                                                int wakeBytes, std::function<void()> wake,
                                                QString* error);
    // False once the connection to the server is lost.
    bool isConnected() const;

  private:
    explicit PulseClient(std::shared_ptr<PulseShared> shared, int timeoutMs);
    std::shared_ptr<PulseShared> shared_;
    int timeoutMs_;
};

// The number of capture sources, monitors included; 0 when no server is reachable.
int countCaptureSources(int timeoutMs = 2000);

}  // namespace platform
