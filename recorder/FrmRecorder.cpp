#include "recorder/FrmRecorder.h"

#include "platform/audio/capture_server.h"
#include "platform/registry/settings_store.h"
#include "platform/ui/message_box.h"
#include "platform/ui/report_error.h"
#include "recorder/RecorderTexts.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

namespace recorder {

namespace {

const QString kStart = QStringLiteral("Start Recording");
const QString kStop = QStringLiteral("Stop Recording");
const QString kBadRate = QStringLiteral("The sample rate must be a number from 1 to 96000!");
// Closing the window waits this long at most for the last conversion.
constexpr int kCloseWaitMs = 600000;
const QColor kBuiltInBox(103, 80, 56);
const QColor kBuiltInText(222, 206, 140);
// Light text needs a dark window behind it; the skin's back colour replaces this one.
const QColor kBuiltInWindow(64, 48, 32);

std::uint32_t colourNumber(const QColor& c) {
    return static_cast<std::uint32_t>(c.red()) | static_cast<std::uint32_t>(c.green()) << 8 |
           static_cast<std::uint32_t>(c.blue()) << 16;
}

void setBack(QWidget* w, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    p.setColor(QPalette::Base, colour);
    p.setColor(QPalette::Button, colour);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

void setFore(QWidget* w, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::Text, colour);
    p.setColor(QPalette::ButtonText, colour);
    w->setPalette(p);
}

template <class W>
W* named(W* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

QLabel* label(const char* name, const QString& text) {
    return named(new QLabel(text), name);
}

QLabel* heading(const char* name, const QString& text) {
    QLabel* l = label(name, text);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}

}  // namespace

LiveView::LiveView(const QString& name, QSize size, QWidget* parent)
    : QWidget(parent), image_(size, QImage::Format_RGB32), background_(kBuiltInBox) {
    setObjectName(name);
    setFixedSize(size);
    image_.fill(background_);
}

void LiveView::setBackground(const QColor& colour) {
    background_ = colour;
    image_.fill(colour);
    update();
}

void LiveView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, image_);
}

FrmRecorder::FrmRecorder(platform::MessageBoxes& boxes, const platform::SettingsStore& settings,
                         QString appFolder, std::unique_ptr<platform::CaptureServer> server,
                         EncoderWAV::FormatChooser chooser, std::function<QDateTime()> clock,
                         QWidget* parent)
    : QWidget(parent),
      boxes_(boxes),
      settings_(settings),
      appFolder_(std::move(appFolder)),
      clock_(std::move(clock)),
      capture_(std::move(server)),
      encoder_(std::move(chooser)),
      saver_(appFolder_) {
    setObjectName(QStringLiteral("FrmRecorder"));
    setWindowTitle(kWindowTitle);
    buildControls();

    connect(cboDev_, &QComboBox::activated, this, &FrmRecorder::cboDev_Click);
    connect(cboRecLine_, &QComboBox::activated, this, &FrmRecorder::cboRecLine_Click);
    // Dragging, the keyboard and clicks on the track all change the volume.
    connect(sldVol_, &QSlider::valueChanged, this, &FrmRecorder::applySlider);
    connect(cboSamplerate_, &QComboBox::activated, this, [this] {
        if (loaded_) {
            optionsChanged(true);
        }
    });
    connect(chkStereo_, &QCheckBox::clicked, this, [this] {
        if (loaded_) {
            optionsChanged(false);
        }
    });
    connect(cmdSelFmt_, &QPushButton::clicked, this, &FrmRecorder::cmdSelFmt_Click);
    for (int i = 0; i < 4; ++i) {
        connect(chkFX(i), &QCheckBox::clicked, this, [this, i] { chkFX_Click(i); });
    }
    connect(cmdDo_, &QPushButton::clicked, this, &FrmRecorder::cmdDo_Click);
    connect(&capture_, &WaveInRecorder::GotData, this, &FrmRecorder::gotData);
    connect(&saver_, &RecordingSaver::saved, this, [this](const QString& mp3Path) {
        saveEnded();
        boxes_.show(QStringLiteral("Successfully saved the MP3 File at the below location.") +
                        QStringLiteral("\r\n\r\n") + mp3Path,
                    platform::MsgInformation, QStringLiteral("Success"));
        if (writeErrorOfSave_) {
            writeErrorOfSave_ = false;
            showWarning(QStringLiteral("Write error (no disk space left?)!"));
        }
    });
    connect(&saver_, &RecordingSaver::failed, this, [this](const QString& message) {
        saveEnded();
        showWarning(message);
        if (writeErrorOfSave_) {
            writeErrorOfSave_ = false;
            showWarning(QStringLiteral("Write error (no disk space left?)!"));
        }
    });
    tmrVis_ = new QTimer(this);
    tmrVis_->setInterval(25);
    connect(tmrVis_, &QTimer::timeout, this, &FrmRecorder::tmrVis_Timer);
}

FrmRecorder::~FrmRecorder() = default;

void FrmRecorder::buildControls() {
    frmInp_ = named(new QFrame, "frmInp");
    cboDev_ = named(new QComboBox, "cboDev");
    cboDev_->setMinimumWidth(300);
    cboRecLine_ = named(new QComboBox, "cboRecLine");
    sldVol_ = named(new QSlider(Qt::Horizontal), "sldVol");
    sldVol_->setRange(0, kSliderMax);
    sldVol_->setSingleStep(kSliderMax / 100);
    sldVol_->setPageStep(kSliderMax / 10);
    lblVolPer_ = label("lblVolPer", QStringLiteral("0%"));
    lblVolPer_->setMinimumWidth(40);
    LblMsg_ = label("LblMsg", QStringLiteral("Please select the proper Line or else you will get a "
                                             "blank MP3 file. To get Good Quality Keep volume to "
                                             "20% & use Stereo File Format."));
    LblMsg_->setWordWrap(true);
    auto* inp = new QGridLayout(frmInp_);
    inp->addWidget(label("lblDev", QStringLiteral("Device:")), 0, 0);
    inp->addWidget(cboDev_, 0, 1, 1, 2);
    inp->addWidget(label("lblLine", QStringLiteral("Line:")), 1, 0);
    inp->addWidget(cboRecLine_, 1, 1, 1, 2);
    inp->addWidget(label("lblVol", QStringLiteral("Volume:")), 2, 0);
    inp->addWidget(sldVol_, 2, 1);
    inp->addWidget(lblVolPer_, 2, 2);
    inp->addWidget(LblMsg_, 3, 0, 1, 3);

    frmOut_ = named(new QFrame, "frmOut");
    picOutXP_ = named(new QFrame, "picOutXP");
    txtFile_ = named(new QLineEdit, "txtFile");
    txtWAVFmt_ = named(new QLineEdit, "txtWAVFmt");
    txtWAVFmt_->setReadOnly(true);
    cmdSelFmt_ = named(new QPushButton(QStringLiteral("...")), "cmdSelFmt");
    cmdSelFmt_->setFixedWidth(32);
    cboSamplerate_ = named(new QComboBox, "cboSamplerate");
    cboSamplerate_->setEditable(true);
    cboSamplerate_->setInsertPolicy(QComboBox::NoInsert);
    cboSamplerate_->addItems(sampleRates());
    cboSamplerate_->lineEdit()->installEventFilter(this);
    chkStereo_ = named(new QCheckBox(QStringLiteral("Stereo")), "chkStereo");
    auto* out = new QGridLayout(picOutXP_);
    out->addWidget(label("LblLocation", QStringLiteral("Location:")), 0, 0);
    out->addWidget(txtFile_, 0, 1, 1, 3);
    out->addWidget(label("lblWAVFmt", QStringLiteral("File Format:")), 1, 0);
    out->addWidget(txtWAVFmt_, 1, 1, 1, 2);
    out->addWidget(cmdSelFmt_, 1, 3);
    out->addWidget(label("lblSamplerate", QStringLiteral("Sample Rate:")), 2, 0);
    out->addWidget(cboSamplerate_, 2, 1);
    out->addWidget(chkStereo_, 2, 2, 1, 2);
    auto* outFrame = new QVBoxLayout(frmOut_);
    outFrame->setContentsMargins(0, 0, 0, 0);
    outFrame->addWidget(picOutXP_);

    frmEffects_ = named(new QFrame, "frmEffects");
    auto* fx = new QHBoxLayout(frmEffects_);
    const char* fxNames[] = {"Echo", "Phase Shift", "Amplifier", "Equalizer"};
    for (int i = 0; i < 4; ++i) {
        auto* box = new QCheckBox(QLatin1String(fxNames[i]));
        box->setObjectName(QStringLiteral("chkFX(%1)").arg(i));
        chkFX_[static_cast<std::size_t>(i)] = box;
        fx->addWidget(box);
    }

    picAmpl_ = new LiveView(QStringLiteral("picAmpl"), QSize(300, 90));
    picFreq_ = new LiveView(QStringLiteral("picFreq"), QSize(96, 90));
    picVUL_ = new LiveView(QStringLiteral("picVUL"), QSize(300, 12));
    picVUR_ = new LiveView(QStringLiteral("picVUR"), QSize(300, 12));
    auto* views = new QGridLayout;
    views->addWidget(picAmpl_, 0, 0, 1, 2);
    views->addWidget(picFreq_, 0, 2);
    views->addWidget(label("lblVUchL", QStringLiteral("Left Channel")), 1, 0);
    views->addWidget(picVUL_, 1, 1, 1, 2);
    views->addWidget(label("lblVUchR", QStringLiteral("Right Channel")), 2, 0);
    views->addWidget(picVUR_, 2, 1, 1, 2);

    LblStatus_ = label("LblStatus", kIdleStatus);
    cmdDo_ = named(new QPushButton(kStart), "cmdDo");
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(LblStatus_, 1);
    bottom->addWidget(cmdDo_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading("LblInputSound", QStringLiteral("Input Sound")));
    layout->addWidget(frmInp_);
    layout->addWidget(heading("LblOutputFile", QStringLiteral("Output File")));
    layout->addWidget(frmOut_);
    layout->addWidget(heading("LblEffects", QStringLiteral("Effects/Filters")));
    layout->addWidget(frmEffects_);
    layout->addLayout(views);
    layout->addLayout(bottom);
}

void FrmRecorder::load() {
    applySkin();
    smoothLeft_.SmoothNew(3);
    smoothRight_.SmoothNew(3);
    cboSamplerate_->setCurrentText(QStringLiteral("44100"));
    chkStereo_->setChecked(true);
    displayBuffer_.assign(1024, 0);
    loaded_ = true;
    txtWAVFmt_->setText(encoder_.FormatTag() + QStringLiteral(" - ") + encoder_.FormatID());
    {
        const QSignalBlocker block(cboDev_);
        cboDev_->clear();
        const int count = capture_.DeviceCount();
        for (int i = 0; i < count; ++i) {
            cboDev_->addItem(capture_.DeviceName(i));
        }
        // The user chooses the device; nothing is taken for granted.
        cboDev_->setCurrentIndex(-1);
    }
    dsp_.setSamplerate(44100);
    dsp_.setChannels(2);
    txtFile_->setText(freshOutputPath(appFolder_, clock_()));
    tmrVis_->start();
}

void FrmRecorder::applySkin() {
    for (QWidget* w : std::initializer_list<QWidget*>{cboDev_, cboRecLine_, cboSamplerate_,
                                                      txtFile_, txtWAVFmt_}) {
        setBack(w, kBuiltInBox);
        setFore(w, kBuiltInText);
    }
    for (LiveView* v : {picAmpl_, picFreq_, picVUL_, picVUR_}) {
        v->setBackground(kBuiltInBox);
    }
    for (QWidget* w :
         std::initializer_list<QWidget*>{this, picOutXP_, frmInp_, frmOut_, frmEffects_}) {
        setBack(w, kBuiltInWindow);
    }
    for (QLabel* l : findChildren<QLabel*>()) {
        setFore(l, kBuiltInText);
    }
    for (QCheckBox* c : findChildren<QCheckBox*>()) {
        setFore(c, kBuiltInText);
    }

    // The waveform's outline is the stored colour whatever the skin; without a usable one it is
    // drawn in the box's own colour, so the trace still shows.
    const std::optional<QColor> outline = colourFromSetting(settings_.GetSetting(
        QStringLiteral("Zorvita"), QStringLiteral("Skin"), QStringLiteral("ComboBackColor")));

    const std::optional<SkinColours> skin = readSkinColours(settings_);
    if (skin) {
        if (skin->back) {
            for (QWidget* w : std::initializer_list<QWidget*>{this, picOutXP_, frmInp_, frmOut_,
                                                              frmEffects_, chkStereo_}) {
                setBack(w, *skin->back);
            }
            for (QCheckBox* c : chkFX_) {
                setBack(c, *skin->back);
            }
        }
        if (skin->comboBack) {
            for (QWidget* w : std::initializer_list<QWidget*>{cboDev_, cboRecLine_, cboSamplerate_,
                                                              txtFile_, txtWAVFmt_}) {
                setBack(w, *skin->comboBack);
            }
            for (LiveView* v : {picAmpl_, picFreq_, picVUL_, picVUR_}) {
                v->setBackground(*skin->comboBack);
            }
        }
        if (skin->fore) {
            for (QWidget* w : std::initializer_list<QWidget*>{cboDev_, cboRecLine_, cboSamplerate_,
                                                              txtFile_, txtWAVFmt_, chkStereo_}) {
                setFore(w, *skin->fore);
            }
            for (QCheckBox* c : chkFX_) {
                setFore(c, *skin->fore);
            }
            for (QLabel* l : findChildren<QLabel*>()) {
                setFore(l, *skin->fore);
            }
        }
    }
    draw_.setComboBackColor(colourNumber(outline ? *outline : picAmpl_->background()));
}

bool FrmRecorder::eventFilter(QObject* watched, QEvent* event) {
    if (watched == cboSamplerate_->lineEdit() && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!rateKeyAccepted(cboSamplerate_->currentText(), key->key(), key->text())) {
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FrmRecorder::cboDev_Click(int index) {
    {
        const QSignalBlocker block(cboRecLine_);
        cboRecLine_->clear();
    }
    if (!capture_.SelectDevice(index)) {
        showWarning(QStringLiteral("Couldn't select device!"));
        return;
    }
    {
        const QSignalBlocker block(cboRecLine_);
        const int count = capture_.MixerLineCount();
        for (int i = 0; i < count; ++i) {
            cboRecLine_->addItem(capture_.MixerLineName(i));
        }
        cboRecLine_->setCurrentIndex(capture_.SelectedMixerLine());
    }
    if (cboRecLine_->currentIndex() >= 0) {
        cboRecLine_Click(cboRecLine_->currentIndex());
    }
}

void FrmRecorder::cboRecLine_Click(int index) {
    if (!capture_.SelectMixerLine(index)) {
        showWarning(QStringLiteral("Couldn't select mixer line!"));
    }
    {
        const QSignalBlocker block(sldVol_);
        sldVol_->setValue(sliderFromVolume(capture_.MixerLineVolume()));
    }
    applySlider();
}

void FrmRecorder::applySlider() {
    capture_.SetMixerLineVolume(volumeFromSlider(sldVol_->value()));
    lblVolPer_->setText(volumePercent(sldVol_->value()));
}

int FrmRecorder::channels() const {
    return chkStereo_->isChecked() ? 2 : 1;
}

void FrmRecorder::optionsChanged(bool rateChanged) {
    cmdSelFmt_Click();
    if (rateChanged) {
        const int rate = recordingRate(cboSamplerate_->currentText());
        if (rate > 0) {
            dsp_.setSamplerate(rate);
        }
    } else {
        dsp_.setChannels(channels());
    }
}

void FrmRecorder::cmdSelFmt_Click() {
    const int rate = recordingRate(cboSamplerate_->currentText());
    if (rate == 0) {
        showWarning(kBadRate);
        return;
    }
    encoder_.SelectFormat(rate, channels(), this, kFormatDialogTitle);
    txtWAVFmt_->setText(encoder_.FormatTag() + QStringLiteral(" - ") + encoder_.FormatID());
}

void FrmRecorder::chkFX_Click(int index) {
    const std::int32_t bit = 1 << index;
    const std::int32_t mask = dsp_.EffectsUsed();
    dsp_.setEffectsUsed(chkFX(index)->isChecked() ? (mask | bit) : (mask & ~bit));
}

void FrmRecorder::cmdDo_Click() {
    if (recording_) {
        stopRecording();
    } else if (!saver_.running()) {
        startRecording();
    }
}

void FrmRecorder::startRecording() {
    txtFile_->setText(freshOutputPath(appFolder_, clock_()));
    if (cboDev_->currentIndex() < 0) {
        showWarning(QStringLiteral("No device selected!"));
        return;
    }
    const int rate = recordingRate(cboSamplerate_->currentText());
    if (rate == 0) {
        showWarning(kBadRate);
        return;
    }
    const int ch = channels();
    recordingPath_ = intermediatePath(txtFile_->text());
    if (encoder_.EncoderInit(rate, ch, recordingPath_) != EncoderWAV::kOk) {
        showWarning(QStringLiteral("Could not init the encoder!"));
        return;
    }
    dsp_.setSamplerate(rate);
    dsp_.setChannels(ch);
    if (!capture_.StartRecord(rate, ch)) {
        std::fprintf(stderr, "Encoder: could not start recording: %s\n",
                     capture_.LastError().toLocal8Bit().constData());
        // Nothing was recorded: the empty file goes at once.
        encoder_.EncoderClose();
        QFile::remove(recordingPath_);
        showWarning(QStringLiteral("Could not start recording!"));
        return;
    }
    savedPath_ = txtFile_->text().trimmed();
    bytesPerSecond_ = rate * ch * 2;
    elapsed_ = 0;
    writeError_ = false;
    recording_ = true;
    cmdDo_->setText(kStop);
    frmOut_->setEnabled(false);
    frmInp_->setEnabled(false);
}

void FrmRecorder::gotData(const std::vector<qint16>& intBuffer, int lngLen) {
    // assign() reuses the buffer's storage once it is large enough.
    displayBuffer_.assign(intBuffer.begin(), intBuffer.end());
    dsp_.ProcessSamples(displayBuffer_);
    if (!recording_ || writeError_) {
        return;
    }
    elapsed_ = elapsedAfter(elapsed_, lngLen, bytesPerSecond_);
    int used = 0;
    const int bytes = std::clamp(lngLen, 0, static_cast<int>(displayBuffer_.size() * 2));
    if (encoder_.Encode(reinterpret_cast<const char*>(displayBuffer_.data()), bytes, &used) ==
        EncoderWAV::kWriteFailed) {
        writeError_ = true;
        stopRecording();
    }
}

void FrmRecorder::stopRecording() {
    if (!capture_.StopRecord()) {
        showWarning(QStringLiteral("Could not stop recording!"));
    }
    recording_ = false;
    if (encoder_.EncoderClose() == EncoderWAV::kWriteFailed) {
        writeError_ = true;
    }
    elapsed_ = 0;
    bytesPerSecond_ = 0;
    // The write error belongs to this recording and is told when its save ends.
    writeErrorOfSave_ = writeError_;
    saver_.start(recordingPath_, savedPath_);
    cmdDo_->setText(kStart);
    cmdDo_->setEnabled(false);
    LblStatus_->setText(kSavingStatus);
    frmOut_->setEnabled(true);
    frmInp_->setEnabled(true);
}

void FrmRecorder::saveEnded() {
    cmdDo_->setEnabled(true);
    LblStatus_->setText(kIdleStatus);
}

void FrmRecorder::tmrVis_Timer() {
    if (!recording_) {
        if (!saver_.running()) {
            LblStatus_->setText(kIdleStatus);
        }
        return;
    }
    platform::ignoreErrors([this] {
        QPainter p(&picAmpl_->image());
        const std::uint32_t back = colourNumber(picAmpl_->background());
        PicBox box{p, back, back};
        draw_.DrawAmplitudes(displayBuffer_, box);
    });
    picAmpl_->update();
    platform::ignoreErrors([this] {
        QPainter p(&picFreq_->image());
        const std::uint32_t back = colourNumber(picFreq_->background());
        PicBox box{p, back, back};
        draw_.DrawFrequencies(displayBuffer_, box);
    });
    picFreq_->update();
    const ChannelLevels levels = channelLevels(displayBuffer_, chkStereo_->isChecked());
    drawLevel(picVUL_, smoothLeft_, levels.left, &shownLeft_);
    drawLevel(picVUR_, smoothRight_, levels.right, &shownRight_);
    const qint64 fileBytes = QFileInfo(recordingPath_).size();
    LblStatus_->setText(recordingStatus(fileBytes, cboSamplerate_->currentText(), elapsed_));
}

void FrmRecorder::drawLevel(LiveView* box, clsSmooth& smoother, int level, float* shown) {
    smoother.SmoothAdd(static_cast<float>(level));
    *shown = smoother.SmoothGetMax() / 32768.0f;
    {
        QPainter p(&box->image());
        const std::uint32_t back = colourNumber(box->background());
        PicBox pic{p, back, back};
        clsDraw::DrawLevel(pic, *shown);
    }
    box->update();
}

void FrmRecorder::showWarning(const QString& text) {
    boxes_.show(text, platform::MsgExclamation, kBoxCaption);
}

void FrmRecorder::closeEvent(QCloseEvent* event) {
    if (closing_) {
        // Already closing: the recording is being saved.
        event->ignore();
        return;
    }
    closing_ = true;
    if (recording_) {
        stopRecording();
    }
    saver_.waitForEnd(kCloseWaitMs);
    capture_.StopRecord();
    encoder_.EncoderClose();
    tmrVis_->stop();
    closing_ = false;
    event->accept();
}

}  // namespace recorder
