#pragma once

#include "recorder/EncoderWAV.h"
#include "recorder/RecordingSaver.h"
#include "recorder/WaveInRecorder.h"
#include "recorder/dsp/clsDSP.h"
#include "recorder/dsp/clsDraw.h"
#include "recorder/dsp/clsSmooth.h"

#include <QDateTime>
#include <QImage>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTimer;

namespace platform {
class CaptureServer;
class MessageBoxes;
class SettingsStore;
}  // namespace platform

namespace recorder {

// A picture box of the live views: an image the displays draw into, shown as it is.
class LiveView final : public QWidget {
  public:
    LiveView(const QString& name, QSize size, QWidget* parent = nullptr);
    QImage& image() { return image_; }
    const QImage& image() const { return image_; }
    QColor background() const { return background_; }
    void setBackground(const QColor& colour);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage image_;
    QColor background_;
};

// The advanced recorder's window. It composes the capture engine, the effects chain, the WAVE
// writer, the live views and the converter run; what needs no screen lives in RecorderTexts.
class FrmRecorder : public QWidget {
    Q_OBJECT

  public:
    FrmRecorder(platform::MessageBoxes& boxes, const platform::SettingsStore& settings,
                QString appFolder, std::unique_ptr<platform::CaptureServer> server,
                EncoderWAV::FormatChooser chooser,
                std::function<QDateTime()> clock = &QDateTime::currentDateTime,
                QWidget* parent = nullptr);
    ~FrmRecorder() override;

    // The load sequence: skin colours, the initial rate and channels, the device list with no
    // device chosen, the format text, a fresh output path and the display timer.
    void load();

    bool recording() const { return recording_; }
    bool saving() const { return saver_.running(); }
    std::int64_t elapsedMs() const { return elapsed_; }
    // The smoothed levels the bars showed last, 0 to 1.
    float shownLeftLevel() const { return shownLeft_; }
    float shownRightLevel() const { return shownRight_; }
    const clsDSP& dsp() const { return dsp_; }
    const EncoderWAV& encoder() const { return encoder_; }
    RecordingSaver& saver() { return saver_; }

    QComboBox* cboDev() const { return cboDev_; }
    QComboBox* cboRecLine() const { return cboRecLine_; }
    QSlider* sldVol() const { return sldVol_; }
    QLabel* lblVolPer() const { return lblVolPer_; }
    QLabel* LblMsg() const { return LblMsg_; }
    QFrame* frmInp() const { return frmInp_; }
    QFrame* frmOut() const { return frmOut_; }
    QLineEdit* txtFile() const { return txtFile_; }
    QLineEdit* txtWAVFmt() const { return txtWAVFmt_; }
    QPushButton* cmdSelFmt() const { return cmdSelFmt_; }
    QComboBox* cboSamplerate() const { return cboSamplerate_; }
    QCheckBox* chkStereo() const { return chkStereo_; }
    QCheckBox* chkFX(int index) const { return chkFX_.at(static_cast<std::size_t>(index)); }
    LiveView* picAmpl() const { return picAmpl_; }
    LiveView* picFreq() const { return picFreq_; }
    LiveView* picVUL() const { return picVUL_; }
    LiveView* picVUR() const { return picVUR_; }
    QLabel* LblStatus() const { return LblStatus_; }
    QPushButton* cmdDo() const { return cmdDo_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void applySkin();
    void cboDev_Click(int index);
    void cboRecLine_Click(int index);
    void applySlider();
    void optionsChanged(bool rateChanged);
    void cmdSelFmt_Click();
    void chkFX_Click(int index);
    void cmdDo_Click();
    void startRecording();
    void stopRecording();
    void gotData(const std::vector<qint16>& intBuffer, int lngLen);
    void saveEnded();
    void tmrVis_Timer();
    void drawLevel(LiveView* box, clsSmooth& smoother, int level, float* shown);
    int channels() const;
    void showWarning(const QString& text);

    platform::MessageBoxes& boxes_;
    const platform::SettingsStore& settings_;
    QString appFolder_;
    std::function<QDateTime()> clock_;

    clsSmooth smoothLeft_;
    clsSmooth smoothRight_;
    WaveInRecorder capture_;
    EncoderWAV encoder_;
    clsDraw draw_;
    clsDSP dsp_;
    RecordingSaver saver_;

    std::vector<qint16> displayBuffer_;
    std::int64_t elapsed_ = 0;
    int bytesPerSecond_ = 0;
    QString recordingPath_;
    QString savedPath_;
    bool loaded_ = false;
    bool recording_ = false;
    bool writeError_ = false;
    bool writeErrorOfSave_ = false;
    bool closing_ = false;
    bool outlineIsSet_ = false;
    float shownLeft_ = 0;
    float shownRight_ = 0;

    QFrame* frmInp_ = nullptr;
    QComboBox* cboDev_ = nullptr;
    QComboBox* cboRecLine_ = nullptr;
    QSlider* sldVol_ = nullptr;
    QLabel* lblVolPer_ = nullptr;
    QLabel* LblMsg_ = nullptr;
    QFrame* frmOut_ = nullptr;
    QFrame* picOutXP_ = nullptr;
    QLineEdit* txtFile_ = nullptr;
    QLineEdit* txtWAVFmt_ = nullptr;
    QPushButton* cmdSelFmt_ = nullptr;
    QComboBox* cboSamplerate_ = nullptr;
    QCheckBox* chkStereo_ = nullptr;
    QFrame* frmEffects_ = nullptr;
    std::array<QCheckBox*, 4> chkFX_{};
    LiveView* picAmpl_ = nullptr;
    LiveView* picFreq_ = nullptr;
    LiveView* picVUL_ = nullptr;
    LiveView* picVUR_ = nullptr;
    QLabel* LblStatus_ = nullptr;
    QPushButton* cmdDo_ = nullptr;
    QTimer* tmrVis_ = nullptr;
};

}  // namespace recorder
