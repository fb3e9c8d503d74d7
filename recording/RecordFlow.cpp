#include "recording/RecordFlow.h"

#include "platform/shell/shell.h"
#include "platform/ui/error.h"
#include "platform/ui/message_box.h"
#include "platform/ui/report_error.h"
#include "recording/ModRecorder.h"
#include "recording/ShowSavingProgress.h"
#include "recording/WAVToMP3.h"

#include <QFile>
#include <QFileInfo>

#include <vector>

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kCredit = QStringLiteral("DEVELOPED BY :- VELMO TARSK");
const QString kRecordStarted = QStringLiteral("RecordStarted");

// Holds the encoder's own message boxes during a conversion, so that a failure is told once.
class HeldMessages final : public platform::MessageBoxes {
  public:
    struct Message {
        QString text;
        int style;
        QString caption;
    };
    platform::MsgAnswer show(const QString& text, int style, const QString& caption) override {
        held.push_back({text, style, caption});
        return platform::MsgAnswer::Ok;
    }
    QStringList texts() const {
        QStringList out;
        for (const Message& m : held) {
            if (!m.text.isEmpty()) {
                out.append(m.text);
            }
        }
        return out;
    }
    std::vector<Message> held;
};

// The descriptions the WAV reader and MP3 writer raise, in words about the user's files.
QString failureReason(const QString& error, const QStringList& encoderMessages,
                      const QString& mp3File, const QString& appFolder) {
    const QString library = appFolder + QStringLiteral("/Zorvita.dll");
    if (error == QLatin1String("lameConvert")) {
        if (!QFileInfo(library).isFile()) {
            return QStringLiteral("The MP3 encoder library was not found:") + kCrLf + library;
        }
        // The library's own result says more than the driver's general "not initialised".
        QStringList said = encoderMessages;
        said.removeAll(QStringLiteral("Lame engine not initialised"));
        if (!said.isEmpty()) {
            return QStringLiteral("The MP3 encoder could not start (") +
                   said.join(QStringLiteral("; ")) + QStringLiteral(").");
        }
        return QStringLiteral("The MP3 encoder library could not be loaded:") + kCrLf + library;
    }
    if (error == QLatin1String("Only stereo 16 bit wave files supported.")) {
        return QStringLiteral(
            "The recording is not 16-bit stereo sound, which the MP3 encoder "
            "needs.");
    }
    if (error == QLatin1String("Unable to open file.") ||
        error == QLatin1String("No Wave File Open")) {
        return QStringLiteral("The recording could not be opened.");
    }
    if (error == QLatin1String("Not a Wave file.") ||
        error == QLatin1String("Unable to retrieve format chunk") ||
        error == QLatin1String("Error reading format")) {
        return QStringLiteral("The recording is damaged: it is not a complete WAV file.");
    }
    if (error == QLatin1String("Insufficient memory") ||
        error == QLatin1String("Unable to allocate output buffer for writing")) {
        return QStringLiteral("There was not enough memory.");
    }
    if (error == QLatin1String("Unable to open file for writing")) {
        return QStringLiteral("The MP3 file could not be created:") + kCrLf + mp3File;
    }
    if (error == QLatin1String("Failed to write buffer to file")) {
        return QStringLiteral("The MP3 file could not be written (the disk may be full):") + kCrLf +
               mp3File;
    }
    if (error == QLatin1String("Path not found")) {
        return QStringLiteral("The application folder could not be opened:") + kCrLf + appFolder;
    }
    return QStringLiteral("The conversion failed (") + error + QStringLiteral(").");
}

}  // namespace

QString RecordFlow::conversionFailure(const QString& error, const QStringList& encoderMessages,
                                      const QString& wavFile, const QString& mp3File,
                                      const QString& appFolder) {
    return QStringLiteral("The recording could not be turned into an MP3 file.") + kCrLf +
           failureReason(error, encoderMessages, mp3File, appFolder) + kCrLf + kCrLf +
           QStringLiteral("The recording is kept as a WAV file:") + kCrLf + wavFile;
}

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
        HeldMessages encoderMessages;
        WAVToMP3 converter(appFolder_, recorder_.RecordSampleRate, encoderMessages, s_.label);
        const QString error = converter.CreateWAVtoMP3(wav, mp3, true);

        s_.label.setCaption(kCredit);
        s_.label.repaintNow();
        view_.ShowHeadlines();
        if (!error.isEmpty()) {
            // Without a saved recording there is nothing to convert, and the recorder has said
            // why; otherwise one message says what failed and where the recording is.
            if (QFileInfo(wav).isFile()) {
                s_.boxes.show(
                    conversionFailure(error, encoderMessages.texts(), wav, mp3, appFolder_),
                    platform::MsgCritical, platform::kAppTitle);
            }
            return;
        }
        // What the encoder said along the way of a conversion that still succeeded.
        for (const auto& m : encoderMessages.held) {
            s_.boxes.show(m.text, m.style, m.caption);
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
