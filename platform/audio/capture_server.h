#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace platform {

// What is plugged into a port, as far as the server knows.
enum class PortKind { Other, Microphone, Line, Auxiliary, Digital, Telephone, Analog };

// A port of a capture source: one of its inputs (microphone, line in, ...).
struct SourcePort {
    QString name;
    QString description;
    PortKind kind = PortKind::Other;
};

// A capture source with what its mixer offers: the ports, the active one, the volume.
struct CaptureSourceInfo {
    std::uint32_t index = 0;
    QString name;
    QString description;
    bool isMonitor = false;
    std::vector<SourcePort> ports;
    QString activePort;
    int channels = 0;
    // The first channel's volume in the server's units (kNormalVolume = its normal level).
    std::uint32_t volume = 0;
};

// A capture whose data waits in the sound server's buffer until it is read. The wake function
// given at the start is called on the server client's thread whenever wakeBytes are there to
// read or the capture fails; read() may be called from any one thread.
class PulledCapture {
  public:
    virtual ~PulledCapture() = default;
    // Copies up to `max` captured bytes (whole frames) into `into`; returns the count.
    virtual std::size_t read(char* into, std::size_t max) = 0;
    // Bytes that read() would give now.
    virtual std::size_t available() = 0;
    // True once the server ended the capture (the source or the server went away).
    virtual bool failed() const = 0;
    // Waits, at most maxWaitMs, for the data captured up to now that the server still holds back.
    virtual void drain(int maxWaitMs) = 0;
};

// The sound server as the recorder's capture engine sees it. Failures are false or nothing, with
// the reason in *error.
class CaptureServer {
  public:
    static constexpr std::uint32_t kNormalVolume = 0x10000;

    virtual ~CaptureServer() = default;
    // Every capture source, monitors included, in the server's order of creation.
    virtual bool listSources(std::vector<CaptureSourceInfo>* sources, QString* error) = 0;
    virtual bool setActivePort(const QString& source, const QString& port, QString* error) = 0;
    // Sets every channel of the source to `volume` (server units).
    virtual bool setVolume(const QString& source, int channels, std::uint32_t volume,
                           QString* error) = 0;
    // Starts capturing 16-bit little-endian PCM from the source (empty: the default source).
    virtual std::unique_ptr<PulledCapture> capture(const QString& source, int channels, int rate,
                                                   int wakeBytes, std::function<void()> wake,
                                                   QString* error) = 0;
};

// The real server: connects on first use and again after the connection was lost; every request
// waits a bounded time.
std::unique_ptr<CaptureServer> makePulseCaptureServer(int timeoutMs = 2000);

}  // namespace platform
