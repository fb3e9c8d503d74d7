#include "platform/audio/capture_server.h"

#include "platform/audio/pulse_audio.h"

namespace platform {

namespace {

class PulseCaptureServer final : public CaptureServer {
  public:
    explicit PulseCaptureServer(int timeoutMs) : timeoutMs_(timeoutMs) {}

    bool listSources(std::vector<CaptureSourceInfo>* sources, QString* error) override {
        return ensureClient(error) && client_->listSourceDetails(sources, error);
    }

    bool setActivePort(const QString& source, const QString& port, QString* error) override {
        return ensureClient(error) && client_->setSourcePort(source, port, error);
    }

    bool setVolume(const QString& source, int channels, std::uint32_t volume,
                   QString* error) override {
        return ensureClient(error) && client_->setSourceVolume(source, channels, volume, error);
    }

    std::unique_ptr<PulledCapture> capture(const QString& source, int channels, int rate,
                                           int wakeBytes, std::function<void()> wake,
                                           QString* error) override {
        if (!ensureClient(error)) {
            return nullptr;
        }
        return client_->recordPulled(source, channels, rate, wakeBytes, std::move(wake), error);
    }

  private:
    // A lost connection is tried once more at the next request: the server may be back.
    bool ensureClient(QString* error) {
        if (client_ && !client_->isConnected()) {
            client_.reset();
        }
        if (!client_) {
            client_ = PulseClient::connect(QStringLiteral("Zorvita Recorder"), timeoutMs_, error);
        }
        return client_ != nullptr;
    }

    int timeoutMs_;
    std::unique_ptr<PulseClient> client_;
};

}  // namespace

std::unique_ptr<CaptureServer> makePulseCaptureServer(int timeoutMs) {
    return std::make_unique<PulseCaptureServer>(timeoutMs);
}

}  // namespace platform
