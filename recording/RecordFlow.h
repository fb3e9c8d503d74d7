#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

class ModRecorder;
class StatusLabel;

namespace platform {
class MessageBoxes;
class Shell;
}  // namespace platform

// What the record flow needs of the main window.
class RecordView {
  public:
    virtual ~RecordView() = default;
    virtual bool IsPlaying() const = 0;
    virtual void NoHeadlines() = 0;
    virtual void ShowHeadlines() = 0;
    // Shows PicRecord and hides PicRecordStop (true), or the other way round.
    virtual void showRecordButton(bool record) = 0;
    // The selected sample-rate option; false when none is selected.
    virtual bool selectedRate(int* index, QString* caption) const = 0;
    // The window's tag: "RecordStarted" while recording.
    virtual void setTag(const QString& tag) = 0;
    // Ends the buttons' rollover state.
    virtual void UnhookHover() = 0;
};

// Record, Stop recording and the advanced recorder: the main window's recording buttons.
class RecordFlow {
  public:
    struct Services {
        platform::MessageBoxes& boxes;
        platform::Shell& shell;
        StatusLabel& label;
        // The number of capture devices the sound server offers (0 when none is reachable).
        std::function<int()> captureDeviceCount;
        // Now, for the recording's name.
        std::function<QDateTime()> now;
        // False while recordings take only the player's sound and the player has no stream at
        // the sound server (nothing plays yet, or the stream is still opening); empty: ready.
        std::function<bool()> playerSoundReady = {};
    };

    RecordFlow(ModRecorder& recorder, RecordView& view, Services services, QString appFolder);

    void PicRecord_Click();
    void PicRecordStop_Click();
    void PicAdvanceRec_Click();
    // Also the Stop action of the player while a recording runs.
    void StopRecordingAction();
    bool CheckAvailableRecordingDevice();

    static QString recordingName(const QDateTime& at);
    // The one message of a conversion that failed: what failed, in the user's words, and where
    // the recording is kept. `error` is what the conversion returned, `encoderMessages` what the
    // encoder would have shown on its own.
    static QString conversionFailure(const QString& error, const QStringList& encoderMessages,
                                     const QString& wavFile, const QString& mp3File,
                                     const QString& appFolder);

  private:
    ModRecorder& recorder_;
    RecordView& view_;
    Services s_;
    QString appFolder_;
};
