#pragma once

#include <QObject>
#include <QProcess>
#include <QString>

namespace recorder {

// Turns one finished recording into its MP3 with the converter Skin.dll of the application
// folder, without blocking: the converter's exit tells how it went. The intermediate file is
// deleted only when the converter succeeded and the MP3 exists; otherwise it stays, and the
// failure names where it is. The outcome always arrives from the event loop, never from inside
// start().
class RecordingSaver final : public QObject {
    Q_OBJECT

  public:
    explicit RecordingSaver(QString appFolder, QObject* parent = nullptr);
    ~RecordingSaver() override;

    // Starts the converter over `intermediate`; the MP3 is expected at mp3Path.
    void start(const QString& intermediate, const QString& mp3Path);
    bool running() const { return running_; }
    // Runs the event loop until the running conversion ended, at most timeoutMs.
    void waitForEnd(int timeoutMs);

  Q_SIGNALS:
    void saved(const QString& mp3Path);
    void failed(const QString& message);

  private:
    void ended(bool ok, const QString& why);

    QString appFolder_;
    QProcess converter_;
    QString intermediate_;
    QString mp3Path_;
    bool running_ = false;
};

}  // namespace recorder
