#include "recorder/FrmRecorder.h"

#include "platform/ui/message_box.h"
#include "recorder/RecorderTexts.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace recorder {

namespace {

constexpr int kConnectTimeoutMs = 2000;
// Closing the program waits this long at most for the last conversion.
constexpr int kCloseWaitMs = 120000;
const QString kStart = QStringLiteral("Start Recording");
const QString kStop = QStringLiteral("Stop Recording");
const QString kSaving = QStringLiteral("Saving. Please wait...");

QProgressBar* levelBar(const QString& name) {
    auto* bar = new QProgressBar;
    bar->setObjectName(name);
    bar->setRange(0, 32768);
    bar->setValue(0);
    bar->setTextVisible(false);
    return bar;
}

void setColours(QWidget* w, const std::optional<QColor>& back, const std::optional<QColor>& fore) {
    QPalette p = w->palette();
    if (back) {
        p.setColor(QPalette::Window, *back);
        p.setColor(QPalette::Base, *back);
        p.setColor(QPalette::Button, *back);
        w->setAutoFillBackground(true);
    }
    if (fore) {
        p.setColor(QPalette::WindowText, *fore);
        p.setColor(QPalette::Text, *fore);
        p.setColor(QPalette::ButtonText, *fore);
    }
    w->setPalette(p);
}

}  // namespace

FrmRecorder::FrmRecorder(platform::MessageBoxes& boxes, const platform::SettingsStore& settings,
                         QString appFolder, std::function<QDateTime()> clock, QWidget* parent)
    : QWidget(parent),
      boxes_(boxes),
      settings_(settings),
      appFolder_(std::move(appFolder)),
      clock_(std::move(clock)),
      session_(appFolder_) {
    setObjectName(QStringLiteral("FrmRecorder"));
    setWindowTitle(kWindowTitle);

    frmInp_ = new QGroupBox(QStringLiteral("Input Sound"));
    frmInp_->setObjectName(QStringLiteral("frmInp"));
    cboDev_ = new QComboBox;
    cboDev_->setObjectName(QStringLiteral("cboDev"));
    cboDev_->setMinimumWidth(320);
    auto* inputs = new QFormLayout(frmInp_);
    auto* lblDev = new QLabel(QStringLiteral("Device:"));
    lblDev->setObjectName(QStringLiteral("lblDev"));
    inputs->addRow(lblDev, cboDev_);

    frmOut_ = new QGroupBox(QStringLiteral("Output File"));
    frmOut_->setObjectName(QStringLiteral("frmOut"));
    txtFile_ = new QLineEdit;
    txtFile_->setObjectName(QStringLiteral("txtFile"));
    cboSamplerate_ = new QComboBox;
    cboSamplerate_->setObjectName(QStringLiteral("cboSamplerate"));
    auto* outputs = new QFormLayout(frmOut_);
    auto* lblLocation = new QLabel(QStringLiteral("Location:"));
    lblLocation->setObjectName(QStringLiteral("LblLocation"));
    auto* lblSamplerate = new QLabel(QStringLiteral("Sample Rate:"));
    lblSamplerate->setObjectName(QStringLiteral("lblSamplerate"));
    outputs->addRow(lblLocation, txtFile_);
    outputs->addRow(lblSamplerate, cboSamplerate_);

    picVUL_ = levelBar(QStringLiteral("picVUL"));
    picVUR_ = levelBar(QStringLiteral("picVUR"));
    auto* levels = new QFormLayout;
    auto* lblVUchL = new QLabel(QStringLiteral("Left Channel"));
    lblVUchL->setObjectName(QStringLiteral("lblVUchL"));
    auto* lblVUchR = new QLabel(QStringLiteral("Right Channel"));
    lblVUchR->setObjectName(QStringLiteral("lblVUchR"));
    levels->addRow(lblVUchL, picVUL_);
    levels->addRow(lblVUchR, picVUR_);

    LblStatus_ = new QLabel(kIdleStatus);
    LblStatus_->setObjectName(QStringLiteral("LblStatus"));
    cmdDo_ = new QPushButton(kStart);
    cmdDo_->setObjectName(QStringLiteral("cmdDo"));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(LblStatus_, 1);
    bottom->addWidget(cmdDo_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frmInp_);
    layout->addWidget(frmOut_);
    layout->addLayout(levels);
    layout->addLayout(bottom);

    tmrVis_ = new QTimer(this);
    tmrVis_->setInterval(25);
    connect(tmrVis_, &QTimer::timeout, this, &FrmRecorder::tmrVis_Timer);
    connect(cmdDo_, &QPushButton::clicked, this, &FrmRecorder::cmdDo_Click);
    connect(&session_, &RecordingSession::saved, this, [this](const QString&) {
        savingEnded();
        boxes_.show(QStringLiteral("Successfully saved the MP3 File at the below location.") +
                        QStringLiteral("\r\n\r\n") + txtFile_->text(),
                    platform::MsgInformation, QStringLiteral("Success"));
        if (writeErrorPending_) {
            writeErrorPending_ = false;
            showWarning(QStringLiteral("Write error (no disk space left?)!"));
        }
    });
    connect(&session_, &RecordingSession::failed, this, [this](const QString& message) {
        savingEnded();
        showWarning(message);
        if (writeErrorPending_) {
            writeErrorPending_ = false;
            showWarning(QStringLiteral("Write error (no disk space left?)!"));
        }
    });
    connect(&session_, &RecordingSession::writeFailed, this, [this] {
        writeErrorPending_ = true;
        stopRecording();
    });
}

FrmRecorder::~FrmRecorder() = default;

void FrmRecorder::load() {
    applySkin();
    cboSamplerate_->clear();
    cboSamplerate_->addItems(sampleRates());
    cboSamplerate_->setCurrentText(QStringLiteral("44100"));
    cboDev_->clear();
    QString error;
    std::vector<platform::AudioSource> sources;
    int preselected = -1;
    if (!session_.connectServer(kConnectTimeoutMs, &error) ||
        !session_.listSources(&sources, &preselected, &error)) {
        cmdDo_->setEnabled(false);
        showWarning(QStringLiteral("Could not reach the sound server, so there is nothing to "
                                   "record from!") +
                    QStringLiteral("\r\n\r\n") + error);
    } else {
        for (const auto& s : sources) {
            cboDev_->addItem(s.description.isEmpty() ? s.name : s.description, s.name);
        }
        cboDev_->setCurrentIndex(preselected);
        cmdDo_->setEnabled(true);
    }
    txtFile_->setText(freshOutputPath(appFolder_, clock_()));
    tmrVis_->start();
}

void FrmRecorder::applySkin() {
    // The built-in look of the lists, text box and level boxes: light text on brown.
    const QColor builtInBox(103, 80, 56);
    const QColor builtInText(222, 206, 140);
    const std::optional<SkinColours> skin = readSkinColours(settings_);
    const QColor boxBack = skin && skin->comboBack ? *skin->comboBack : builtInBox;
    const QColor boxText = skin && skin->fore ? *skin->fore : builtInText;
    for (QWidget* w :
         std::initializer_list<QWidget*>{cboDev_, cboSamplerate_, txtFile_, picVUL_, picVUR_}) {
        setColours(w, boxBack, boxText);
    }
    if (!skin) {
        return;
    }
    setColours(this, skin->back, skin->fore);
    for (QWidget* w : std::initializer_list<QWidget*>{frmInp_, frmOut_}) {
        setColours(w, skin->back, skin->fore);
    }
    for (QLabel* label : findChildren<QLabel*>()) {
        setColours(label, std::nullopt, skin->fore);
    }
}

void FrmRecorder::cmdDo_Click() {
    if (session_.state() == RecordingSession::State::Recording) {
        stopRecording();
    } else if (session_.state() == RecordingSession::State::Idle) {
        startRecording();
    }
}

void FrmRecorder::startRecording() {
    txtFile_->setText(freshOutputPath(appFolder_, clock_()));
    if (cboDev_->currentIndex() < 0) {
        showWarning(QStringLiteral("No device selected!"));
        return;
    }
    QString error;
    if (!session_.start(cboDev_->currentData().toString(), cboSamplerate_->currentText().toInt(),
                        txtFile_->text(), &error)) {
        showWarning(QStringLiteral("Could not start recording!") + QStringLiteral("\r\n\r\n") +
                    error);
        return;
    }
    cmdDo_->setText(kStop);
    frmInp_->setEnabled(false);
    frmOut_->setEnabled(false);
}

void FrmRecorder::stopRecording() {
    session_.stop();
    cmdDo_->setText(kStart);
    frmInp_->setEnabled(true);
    frmOut_->setEnabled(true);
    if (session_.state() == RecordingSession::State::Saving) {
        // The converter runs on; the window stays alive and takes no new recording meanwhile.
        cmdDo_->setEnabled(false);
        LblStatus_->setText(kSaving);
    }
}

void FrmRecorder::savingEnded() {
    cmdDo_->setEnabled(true);
    LblStatus_->setText(kIdleStatus);
    picVUL_->setValue(0);
    picVUR_->setValue(0);
}

void FrmRecorder::tmrVis_Timer() {
    if (session_.state() != RecordingSession::State::Recording) {
        return;
    }
    picVUL_->setValue(std::max(1, session_.peakLeft()));
    picVUR_->setValue(std::max(1, session_.peakRight()));
    LblStatus_->setText(recordingStatus(session_.intermediateBytes() + 44,
                                        cboSamplerate_->currentText(), session_.elapsedMs()));
}

void FrmRecorder::showWarning(const QString& text) {
    boxes_.show(text, platform::MsgExclamation, kBoxCaption);
}

void FrmRecorder::closeEvent(QCloseEvent* event) {
    if (session_.state() == RecordingSession::State::Recording) {
        stopRecording();
    }
    session_.waitForSaving(kCloseWaitMs);
    event->accept();
}

}  // namespace recorder
