#pragma once

#include "platform/audio/pulse_audio.h"
#include "recorder/WaveFileWriter.h"

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace recorder {

// One recording at a time: 16-bit stereo capture from a sound-server source into the
// intermediate WAVE file, then the converter Skin.dll makes the MP3. Lives on the UI thread;
// captured data is queued to it, so the file is only touched here.
class RecordingSession : public QObject {
    Q_OBJECT

  public:
    enum class State { Idle, Recording, Saving };
    static constexpr int kChannels = 2;

    explicit RecordingSession(QString appFolder, QObject* parent = nullptr);
    ~RecordingSession() override;

    // Connects to the sound server; false with the reason when none answers within timeoutMs.
    bool connectServer(int timeoutMs, QString* error);
    bool connected() const { return client_ != nullptr; }

    // The capture sources, monitors included; *preselected is the index of the default output's
    // monitor (-1 when there is none).
    bool listSources(std::vector<platform::AudioSource>* sources, int* preselected, QString* error);

    State state() const { return state_; }

    // Starts capturing from `source` at `rate` into the intermediate file of outputPath.
    bool start(const QString& source, int rate, const QString& outputPath, QString* error);
    // Ends the capture, completes the file and starts the converter; saved() or failed() follows
    // once it ends.
    void stop();
    // Waits until a running conversion ends (the program is closing).
    void waitForSaving(int timeoutMs);

    std::int64_t elapsedMs() const;
    std::int64_t intermediateBytes() const { return writer_.dataBytes(); }
    // The peaks of the last captured data, 0 to 32768.
    int peakLeft() const { return peakLeft_; }
    int peakRight() const { return peakRight_; }
    const QString& outputPath() const { return outputPath_; }

  Q_SIGNALS:
    void saved(const QString& mp3Path);
    void failed(const QString& message);
    // The file could not take the captured data (a full disk): the recording was stopped.
    void writeFailed();

  private:
    void take(const QByteArray& pcm);
    void converterEnded(bool ok, const QString& why);

    QString appFolder_;
    std::unique_ptr<platform::PulseClient> client_;
    WaveFileWriter writer_;
    QProcess converter_;
    State state_ = State::Idle;
    int rate_ = 0;
    bool writeError_ = false;
    int peakLeft_ = 0;
    int peakRight_ = 0;
    QString outputPath_;
    QString intermediate_;
    // Last, so that capture ends before anything it feeds goes away.
    std::unique_ptr<platform::CaptureStream> stream_;
};

}  // namespace recorder
