#pragma once

#include "platform/audio/capture_server.h"

#include <QByteArray>

#include <cstring>
#include <functional>
#include <memory>

namespace testing_support {

// A capture whose sound the test hands in; it waits here until the recorder reads it.
class FakeCapture final : public platform::PulledCapture {
  public:
    explicit FakeCapture(std::function<void()> wake, std::shared_ptr<bool> alive)
        : wake_(std::move(wake)), alive_(std::move(alive)) {
        *alive_ = true;
    }
    ~FakeCapture() override { *alive_ = false; }

    void push(const QByteArray& sound) {
        waiting_ += sound;
        wake_();
    }
    void fail() {
        failed_ = true;
        wake_();
    }
    qsizetype waiting() const { return waiting_.size(); }

    std::size_t read(char* into, std::size_t max) override {
        const auto n = std::min<std::size_t>(max, static_cast<std::size_t>(waiting_.size()));
        std::memcpy(into, waiting_.constData(), n);
        waiting_.remove(0, static_cast<qsizetype>(n));
        return n;
    }
    std::size_t available() override { return static_cast<std::size_t>(waiting_.size()); }
    bool failed() const override { return failed_; }
    void drain(int) override {}

  private:
    std::function<void()> wake_;
    std::shared_ptr<bool> alive_;
    QByteArray waiting_;
    bool failed_ = false;
};

// The sound server's sources, ports and volumes in memory.
class FakeCaptureServer final : public platform::CaptureServer {
  public:
    std::vector<platform::CaptureSourceInfo> sources;
    bool reachable = true;
    FakeCapture* current = nullptr;
    std::shared_ptr<bool> captureAlive = std::make_shared<bool>(false);
    QString capturedSource;
    int capturedChannels = 0;
    int capturedRate = 0;
    int capturedWakeBytes = 0;
    int volumeChannels = 0;

    platform::CaptureSourceInfo* find(const QString& name) {
        for (auto& s : sources) {
            if (s.name == name) {
                return &s;
            }
        }
        return nullptr;
    }

    bool listSources(std::vector<platform::CaptureSourceInfo>* out, QString*) override {
        if (!reachable) {
            return false;
        }
        *out = sources;
        return true;
    }
    bool setActivePort(const QString& source, const QString& port, QString*) override {
        platform::CaptureSourceInfo* s = find(source);
        if (!reachable || s == nullptr) {
            return false;
        }
        s->activePort = port;
        return true;
    }
    bool setVolume(const QString& source, int channels, std::uint32_t volume, QString*) override {
        platform::CaptureSourceInfo* s = find(source);
        if (!reachable || s == nullptr) {
            return false;
        }
        s->volume = volume;
        volumeChannels = channels;
        return true;
    }
    std::unique_ptr<platform::PulledCapture> capture(const QString& source, int channels, int rate,
                                                     int wakeBytes, std::function<void()> wake,
                                                     QString*) override {
        capturedWakeBytes = wakeBytes;
        if (!reachable) {
            return nullptr;
        }
        capturedSource = source;
        capturedChannels = channels;
        capturedRate = rate;
        auto c = std::make_unique<FakeCapture>(std::move(wake), captureAlive);
        current = c.get();
        return c;
    }
};

}  // namespace testing_support
