#include "recording/ModRecorder.h"

#include "platform/mci/mci.h"
#include "platform/ui/error.h"
#include "platform/ui/message_box.h"

#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <array>
#include <cmath>

namespace {

constexpr int kCommandReplyChars = 1024;
constexpr int kStatusReplyChars = 255;
constexpr int kErrorTextChars = 1024;
constexpr int kPathChars = 4096;
const QString kCrLf = QStringLiteral("\r\n");

// The number a reply starts with (leading blanks skipped, digits with at most one decimal point),
// 0 when there is none: replies may carry text after the number, or be empty after a failure.
double leadingNumber(const QString& text) {
    int i = 0;
    while (i < text.size() && text[i].isSpace()) {
        ++i;
    }
    const int start = i;
    bool point = false;
    while (i < text.size() && (text[i].isDigit() || (text[i] == QLatin1Char('.') && !point))) {
        point = point || text[i] == QLatin1Char('.');
        ++i;
    }
    return text.mid(start, i - start).toDouble();
}

}  // namespace

ModRecorder::ModRecorder(platform::Mci& mci, platform::MessageBoxes& boxes, StatusLabel& label,
                         QString appFolder)
    : mci_(mci), boxes_(boxes), label_(label), appFolder_(std::move(appFolder)) {}

unsigned long ModRecorder::send(const QString& command, int replyChars, QString* reply) {
    reply->clear();
    const unsigned long rc = mci_.mciSendString(command, reply);
    // The reply arrives through a buffer of replyChars characters with its terminating NUL.
    reply->truncate(replyChars - 1);
    return rc;
}

void ModRecorder::sendReported(const QString& command, const QString& title) {
    QString reply;
    const unsigned long rc = send(command, kCommandReplyChars, &reply);
    if (rc != platform::MciOk) {
        boxes_.show(mci_.mciGetErrorString(rc).left(kErrorTextChars - 1), platform::MsgOkOnly,
                    title);
    }
}

void ModRecorder::StartRecording(const QString& channels, const QString& bitsPerSample,
                                 const QString& samplesPerSec) {
    // Releases a device an earlier run left open; its result does not matter.
    mci_.mciSendString(QStringLiteral("close all"));
    sendReported(QStringLiteral("open new Type waveaudio Alias recsound"), QStringLiteral("Error"));
    sendReported(QStringLiteral("set recsound time format ms"),
                 QStringLiteral("Error (time format)"));
    sendReported(QStringLiteral("set recsound format tag pcm"),
                 QStringLiteral("Error (format tag)"));
    sendReported(QStringLiteral("set recsound channels ") + channels,
                 QStringLiteral("Error (channels)"));
    sendReported(QStringLiteral("set recsound samplespersec ") + samplesPerSec,
                 QStringLiteral("Error (samples/sec)"));
    sendReported(QStringLiteral("set recsound bitspersample ") + bitsPerSample,
                 QStringLiteral("Error (bits/sample)"));
    sendReported(QStringLiteral("set recsound channels 2"), QStringLiteral("Error (channels)"));
    const long blockAlign = std::lround(leadingNumber(bitsPerSample) / 8 * leadingNumber(channels));
    sendReported(QStringLiteral("set recsound alignment ") + QString::number(blockAlign),
                 QStringLiteral("Error (block align)"));
    sendReported(QStringLiteral("record recsound"), QStringLiteral("Error (record)"));

    RecordingActive = true;
    waitWhileRecording();
}

// The stop action runs inside this wait (from a click handled by the local loop); once it has
// cleared RecordingActive the next tick ends the loop, after that action has returned.
void ModRecorder::waitWhileRecording() {
    ShowRecordingStatus();
    if (!RecordingActive) {
        return;
    }
    QEventLoop loop;
    QTimer timer;
    timer.setInterval(statusIntervalMs_);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (RecordingActive) {
            ShowRecordingStatus();
        }
        if (!RecordingActive) {
            timer.stop();
            loop.quit();
        }
    });
    timer.start();
    loop.exec();
}

void ModRecorder::ShowRecordingStatus() {
    QString reply;
    if (send(QStringLiteral("set recsound time format bytes"), kCommandReplyChars, &reply) !=
        platform::MciOk) {
        RecordingActive = false;
    }
    if (send(QStringLiteral("status recsound length"), kStatusReplyChars, &reply) !=
        platform::MciOk) {
        RecordingActive = false;
    }
    const double sizeMB = leadingNumber(reply) / 1024 / 1024;
    const double shown = sizeMB * SizeEstimatePercent(RecordRateIndex) / 100;
    label_.setCaption(QStringLiteral("Recording..... [File Size : ") +
                      QString::number(shown, 'f', 2) + QStringLiteral(" MB]"));
}

void ModRecorder::StopRecording() {
    sendReported(QStringLiteral("stop recsound"), QStringLiteral("Error (stop)"));
    const QString target =
        GetShortPath(appFolder_) + QLatin1Char('/') + RecordFileName + QStringLiteral(".tmp");
    // A failed save replies with the file that kept the sound; a path may be longer than the
    // usual reply buffer.
    QString kept;
    const unsigned long saved =
        send(QStringLiteral("save recsound ") + platform::mciQuote(target), kPathChars, &kept);
    KeptRecording.clear();
    if (saved != platform::MciOk) {
        QString text = mci_.mciGetErrorString(saved).left(kErrorTextChars - 1);
        if (!kept.isEmpty()) {
            KeptRecording = kept;
            text += kCrLf + kCrLf + QStringLiteral("What was recorded is kept in this file:") +
                    kCrLf + kept;
        }
        boxes_.show(text, platform::MsgOkOnly, QStringLiteral("Error (save)"));
    }
    ReadRecordingFormat();
    sendReported(QStringLiteral("close recsound"), QStringLiteral("Error (close)"));
    // Releases anything still open; there is nothing to report either way.
    mci_.mciSendString(QStringLiteral("close all"));
    PatchWaveHeader();
}

void ModRecorder::ReadRecordingFormat() {
    QString reply;
    send(QStringLiteral("status recsound channels"), kStatusReplyChars, &reply);
    const int channels = reply == QLatin1String("1") ? 1 : 2;
    send(QStringLiteral("status recsound bitspersample"), kStatusReplyChars, &reply);
    const double bits = std::trunc(leadingNumber(reply));
    send(QStringLiteral("status recsound samplespersec"), kStatusReplyChars, &reply);
    const double rate = std::trunc(leadingNumber(reply));
    const double perSecond = channels * bits / 8 * rate;
    RecordBytesPerSec =
        perSecond > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(std::lround(perSecond));
}

QString ModRecorder::recordingPath() const {
    return appFolder_ + QLatin1Char('/') + RecordFileName + QStringLiteral(".tmp");
}

// Writes the low three bytes of the average-bytes-per-second field (offsets 28..30) of the saved
// file. Only an existing file is opened: after a failed save there is nothing to patch, and no
// stub file may appear. A rate of 0 (the format could not be read) would spoil a good header.
void ModRecorder::PatchWaveHeader() {
    if (RecordBytesPerSec <= 0) {
        return;
    }
    QFile file(recordingPath());
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly)) {
        if (!file.exists()) {
            return;
        }
        throw platform::Error(75, platform::programName(),
                              QStringLiteral("Path/File access error"));
    }
    const auto value = static_cast<std::uint32_t>(RecordBytesPerSec);
    for (int i = 0; i < 3; ++i) {
        if (!file.seek(28 + i) || !file.putChar(static_cast<char>((value >> (8 * i)) & 0xFF))) {
            throw platform::Error(57, platform::programName(), QStringLiteral("Device I/O error"));
        }
    }
    if (!file.flush()) {
        throw platform::Error(57, platform::programName(), QStringLiteral("Device I/O error"));
    }
}

// Only the empty test trims: on Linux a folder's name may end in a blank, and the trimmed path
// would name another folder.
QString ModRecorder::GetShortPath(const QString& path) {
    return path.trimmed().isEmpty() ? QString() : path;
}

int ModRecorder::SizeEstimatePercent(int index) {
    static constexpr std::array<double, 8> kStored{45.45, 41.81, 31.25, 23,
                                                   21.03, 15.67, 11.34, 10.46};
    if (index < 0 || index >= static_cast<int>(kStored.size())) {
        return 0;
    }
    return static_cast<int>(std::lround(kStored[static_cast<std::size_t>(index)]));
}
