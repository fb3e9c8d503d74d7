#pragma once

#include "recorder/RecordingSession.h"

#include <QDateTime>
#include <QWidget>

#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace platform {
class MessageBoxes;
class SettingsStore;
}  // namespace platform

namespace recorder {

// The advanced recorder's window: a capture source, a rate, the output file, start and stop,
// the two channels' levels and the elapsed time. The recording itself is RecordingSession's.
class FrmRecorder : public QWidget {
    Q_OBJECT

  public:
    FrmRecorder(platform::MessageBoxes& boxes, const platform::SettingsStore& settings,
                QString appFolder, std::function<QDateTime()> clock = &QDateTime::currentDateTime,
                QWidget* parent = nullptr);
    ~FrmRecorder() override;

    // The load sequence: skin colours, the rate list, the sources of the sound server and a fresh
    // output path. Without a server it says so and recording stays disabled.
    void load();

    QComboBox* cboDev() const { return cboDev_; }
    QComboBox* cboSamplerate() const { return cboSamplerate_; }
    QLineEdit* txtFile() const { return txtFile_; }
    QPushButton* cmdDo() const { return cmdDo_; }
    QLabel* LblStatus() const { return LblStatus_; }
    QProgressBar* picVUL() const { return picVUL_; }
    QProgressBar* picVUR() const { return picVUR_; }
    QGroupBox* frmInp() const { return frmInp_; }
    QGroupBox* frmOut() const { return frmOut_; }
    RecordingSession& session() { return session_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void cmdDo_Click();
    void startRecording();
    void stopRecording();
    void tmrVis_Timer();
    void applySkin();
    void savingEnded();
    void showWarning(const QString& text);

    platform::MessageBoxes& boxes_;
    const platform::SettingsStore& settings_;
    QString appFolder_;
    std::function<QDateTime()> clock_;
    RecordingSession session_;
    bool writeErrorPending_ = false;

    QGroupBox* frmInp_;
    QComboBox* cboDev_;
    QGroupBox* frmOut_;
    QLineEdit* txtFile_;
    QComboBox* cboSamplerate_;
    QProgressBar* picVUL_;
    QProgressBar* picVUR_;
    QLabel* LblStatus_;
    QPushButton* cmdDo_;
    QTimer* tmrVis_;
};

}  // namespace recorder
