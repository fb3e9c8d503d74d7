#include "platform/audio/player_stream.h"
#include "platform/mci/waveaudio_device.h"

#include <QtDebug>

namespace platform {

namespace {

constexpr int kDrainMs = 3000;

class PlayerCapture final : public WaveCapture {
  public:
    explicit PlayerCapture(std::unique_ptr<PlayerStreamCapture> capture)
        : capture_(std::move(capture)) {}

    unsigned long start(int channels, int samplesPerSec, CaptureConsumer consumer) override {
        QString error;
        if (!capture_->start(channels, samplesPerSec, std::move(consumer), &error)) {
            qWarning("Recording the player could not start: %s", qPrintable(error));
            return MciErrWaveInputUnavailable;
        }
        started_ = true;
        return MciOk;
    }

    void stop() override {
        if (started_) {
            capture_->stop(kDrainMs);
            started_ = false;
        }
    }

  private:
    std::unique_ptr<PlayerStreamCapture> capture_;
    bool started_ = false;
};

}  // namespace

std::unique_ptr<WaveCapture> openPlayerCapture(unsigned long* error) {
    QString text;
    auto capture = PlayerStreamCapture::connect(PulseClient::kDefaultTimeoutMs, &text);
    if (!capture) {
        qWarning("No sound server for recording: %s", qPrintable(text));
        *error = MciErrWaveInputUnavailable;
        return nullptr;
    }
    return std::make_unique<PlayerCapture>(std::move(capture));
}

}  // namespace platform
