#pragma once

#include "platform/audio/capture_server.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace recorder {

// The advanced recorder's capture engine. Devices are the sound server's capture sources
// (monitors included); a device's mixer lines are its ports, or one line named after the source
// when it has none. Captured 16-bit PCM fills a ring of BufferCount entries of BufferSize bytes;
// every filled entry reaches the owner through GotData on the thread this object lives on, and is
// used for capture again only after the handler returned. When every entry is still with the
// owner, the data waits in the server's buffer. Failures are results (false, 0, -1, empty text).
class WaveInRecorder final : public QObject {
    Q_OBJECT

  public:
    // Line types, as the mixer's published component-type numbers.
    static constexpr int kLineDigital = 0x1001;
    static constexpr int kLineLine = 0x1002;
    static constexpr int kLineMicrophone = 0x1003;
    static constexpr int kLineTelephone = 0x1006;
    static constexpr int kLineWaveOut = 0x1008;
    static constexpr int kLineAuxiliary = 0x1009;
    static constexpr int kLineAnalog = 0x100A;
    // The line volume's range; the top is the server's normal volume.
    static constexpr int kMaxVolume = 65535;

    explicit WaveInRecorder(std::unique_ptr<platform::CaptureServer> server,
                            QObject* parent = nullptr);
    ~WaveInRecorder() override;

    int DeviceCount();
    QString DeviceName(int Index);
    bool SelectDevice(int Index);
    int SelectedDevice();

    int MixerLineCount();
    QString MixerLineName(int Index);
    bool SelectMixerLine(int Index);
    int SelectedMixerLine();
    // The line's type (-1: the selected line); 0 when it has none of the known types.
    int MixerLineType(int Index = -1);
    int MixerLineVolume();
    void SetMixerLineVolume(int Volume);

    int BufferCount() const { return bufferCount_; }
    void SetBufferCount(int count) { bufferCount_ = count; }
    int BufferSize() const { return bufferSize_; }
    void SetBufferSize(int bytes) { bufferSize_ = bytes; }

    // Captures 16-bit PCM from the selected device (the default source when none is).
    bool StartRecord(int samplerate, int Channels);
    // Ends the capture. Called from outside GotData it first hands over what was captured up to
    // now, the last entry partly filled; called from inside GotData nothing more is handed over.
    bool StopRecord();
    bool IsRecording() const { return capture_ != nullptr; }
    // Why the last StartRecord failed (empty after a successful one).
    const QString& LastError() const { return lastError_; }

  Q_SIGNALS:
    // intBuffer: the entry's whole sample array (BufferSize / 2 samples); lngLen: the bytes of it
    // that hold captured sound.
    void GotData(const std::vector<qint16>& intBuffer, int lngLen);

  private:
    struct Entry {
        std::vector<qint16> samples;
        int filled = 0;
        bool withOwner = false;
    };

    bool selectedSource(platform::CaptureSourceInfo* source);
    void pump();
    void deliver(std::size_t index);
    void endCapture();

    std::unique_ptr<platform::CaptureServer> server_;
    QString selected_;
    QString lastError_;
    int bufferCount_ = 5;
    int bufferSize_ = 10240;

    std::vector<Entry> ring_;
    std::size_t cursor_ = 0;
    int entryBytes_ = 0;
    int handlers_ = 0;
    std::uint64_t generation_ = 0;
    std::atomic<bool> wakePending_{false};
    std::unique_ptr<platform::PulledCapture> capture_;
};

}  // namespace recorder
