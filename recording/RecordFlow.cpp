#include "recording/RecordFlow.h"

#include "platform/shell/shell.h"
#include "platform/ui/error.h"
#include "platform/ui/message_box.h"
#include "platform/ui/report_error.h"
#include "recording/ModRecorder.h"
#include "recording/ShowSavingProgress.h"
#include "recording/WAVToMP3.h"

#include <QFile>

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kCredit = QStringLiteral("DEVELOPED BY :- VELMO TARSK");
const QString kRecordStarted = QStringLiteral("RecordStarted");
}  // namespace

RecordFlow::RecordFlow(ModRecorder& recorder, RecordView& view, Services services,
                       QString appFolder)
    : recorder_(recorder), view_(view), s_(std::move(services)), appFolder_(std::move(appFolder)) {}

QString RecordFlow::recordingName(const QDateTime& at) {
    return QStringLiteral("Recorded_") + at.toString(QStringLiteral("ddMMyy")) +
           at.toString(QStringLiteral("HHmmss"));
}

bool RecordFlow::CheckAvailableRecordingDevice() {
    int count = 0;
    platform::ignoreErrors([&] { count = s_.captureDeviceCount ? s_.captureDeviceCount() : 0; });
    if (count <= 0) {
        s_.boxes.show(QStringLiteral("Sorry, Your computer does not have a recording device. "
                                     "Your sound card does not support sound recording."),
                      platform::MsgCritical, platform::kAppTitle);
        return false;
    }
    return true;
}

void RecordFlow::PicRecord_Click() {
    platform::trapErrors(s_.boxes, [this] {
        if (!view_.IsPlaying() || (s_.playerSoundReady && !s_.playerSoundReady())) {
            s_.boxes.show(QStringLiteral("Please click on the Play button first to start playing "
                                         "the Radio") +
                              kCrLf + QStringLiteral("and then click the Record button."),
                          platform::MsgInformation, platform::kAppTitle);
            return;
        }
        if (!CheckAvailableRecordingDevice()) {
            return;
        }
        view_.NoHeadlines();
        view_.showRecordButton(false);
        recorder_.RecordFileName = recordingName(s_.now ? s_.now() : QDateTime::currentDateTime());
        int index = 0;
        QString caption;
        if (view_.selectedRate(&index, &caption)) {
            recorder_.RecordRateIndex = static_cast<std::int16_t>(index);
            recorder_.RecordSampleRate = caption;
        }
        view_.setTag(kRecordStarted);
        recorder_.StartRecording(QStringLiteral("2"), QStringLiteral("16"),
                                 recorder_.RecordSampleRate);
    });
}

void RecordFlow::PicRecordStop_Click() {
    view_.UnhookHover();
    StopRecordingAction();
}

void RecordFlow::StopRecordingAction() {
    platform::trapErrors(s_.boxes, [this] {
        // The tag is cleared however this ends.
        struct ClearTag {
            RecordView& view;
            ~ClearTag() { view.setTag(QString()); }
        } clearTag{view_};

        recorder_.RecordingActive = false;
        s_.label.setCaption(QStringLiteral("Saving MP3 File Please wait...."));
        s_.label.repaintNow();
        view_.showRecordButton(true);
        ShowSavingProgress(s_.label, 10);
        recorder_.StopRecording();
        ShowSavingProgress(s_.label, 20);
        if (!recorder_.KeptRecording.isEmpty()) {
            // The save failed and its message named the file that kept the sound: there is no
            // recording here to convert.
            s_.label.setCaption(kCredit);
            s_.label.repaintNow();
            view_.ShowHeadlines();
            return;
        }

        const QString base = appFolder_ + QLatin1Char('/') + recorder_.RecordFileName;
        const QString mp3 = base + QStringLiteral(".mp3");
        const QString wav = base + QStringLiteral(".tmp");
        if (QFile::exists(mp3)) {
            QFile::remove(mp3);
        }
        WAVToMP3 converter(appFolder_, recorder_.RecordSampleRate, s_.boxes, s_.label);
        const QString error = converter.CreateWAVtoMP3(wav, mp3, true);

        s_.label.setCaption(kCredit);
        s_.label.repaintNow();
        view_.ShowHeadlines();
        if (!error.isEmpty()) {
            // Saying nothing here would leave the user believing the recording was saved.
            s_.boxes.show(error + kCrLf + wav, platform::MsgCritical, platform::kAppTitle);
            return;
        }
        if (s_.boxes.show(QStringLiteral("MP3 File created successfully.") + kCrLf +
                              QStringLiteral("Do you want to listen to the below file?") + kCrLf +
                              mp3,
                          platform::MsgYesNo + platform::MsgInformation,
                          platform::kAppTitle) == platform::MsgAnswer::Yes) {
            s_.shell.open(mp3);
        }
    });
}

void RecordFlow::PicAdvanceRec_Click() {
    view_.UnhookHover();
    platform::trapErrors(s_.boxes, [this] {
        QString error;
        if (!s_.shell.startProgram(appFolder_ + QStringLiteral("/Encoder.dll"), {}, &error)) {
            throw platform::Error(53, platform::programName(), error);
        }
    });
}
