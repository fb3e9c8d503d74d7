#include "converter/Converter.h"

#include "converter/WaveDecoder.h"
#include "platform/ui/error.h"
#include "platform/ui/message_box.h"
#include "recording/ShowSavingProgress.h"
#include "recording/cLameEncoder.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sys/stat.h>

#include <algorithm>
#include <iterator>

namespace converter {

namespace {

// The recorder's own setting for a conversion (fast).
constexpr std::int32_t kRecorderPreset = 7;
// The numbers the MP3 writer raises its errors with.
constexpr long kFirstWriterError = 29871;
constexpr long kLastWriterError = 29875;

// The encoder driver reports through message boxes; a command-line program has none, so each
// message is kept as the conversion's error.
class CollectedMessages final : public platform::MessageBoxes {
  public:
    platform::MsgAnswer show(const QString& text, int, const QString&) override {
        messages.append(text);
        return platform::MsgAnswer::Ok;
    }
    QStringList messages;
};

class NoStatus final : public StatusLabel {
  public:
    void setCaption(const QString&) override {}
    void repaintNow() override {}
};

}  // namespace

QString pathFromArguments(const QStringList& arguments) {
    QString path = arguments.join(QLatin1Char(' ')).trimmed();
    if (path.size() >= 2 && path.startsWith(QLatin1Char('"')) && path.endsWith(QLatin1Char('"'))) {
        path = path.mid(1, path.size() - 2);
    }
    return path;
}

QString mp3PathFor(const QString& wavPath) {
    const qsizetype slash = wavPath.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = wavPath.lastIndexOf(QLatin1Char('.'));
    // A dot that starts the file name marks a hidden file, not an extension.
    const bool hasExtension = dot > slash + 1;
    return (hasExtension ? wavPath.left(dot) : wavPath) + QStringLiteral(".mp3");
}

int mp3SampleRate(int rate) {
    static constexpr int kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    const auto* it = std::lower_bound(std::begin(kRates), std::end(kRates), rate);
    return it == std::end(kRates) ? 48000 : *it;
}

bool isSameFile(const QString& input, const QString& output) {
    struct stat in {};
    struct stat out {};
    const QByteArray inName = QFile::encodeName(input);
    const QByteArray outName = QFile::encodeName(output);
    if (::stat(inName.constData(), &in) != 0 || ::stat(outName.constData(), &out) != 0) {
        return false;
    }
    return in.st_dev == out.st_dev && in.st_ino == out.st_ino;
}

int convertToMp3(const QString& appFolder, const QString& input, QString* error) {
    const QFileInfo info(input);
    if (!info.isFile() || !info.isReadable()) {
        *error = QStringLiteral("No such file: ") + input;
        return kNoInput;
    }
    const QString wav = info.absoluteFilePath();
    const QString mp3 = mp3PathFor(wav);
    if (isSameFile(wav, mp3)) {
        *error = QStringLiteral("Not converted: the MP3 file would be written over the input ") +
                 wav +
                 QStringLiteral(
                     " itself. Give the recording a name that does not end in "
                     "\".mp3\".");
        return kInputIsOutput;
    }
    WaveDecoder decoder;
    switch (decoder.open(wav, error)) {
        case WaveDecoder::OpenResult::Opened:
            break;
        case WaveDecoder::OpenResult::NotAWave:
            return kNotAWave;
        case WaveDecoder::OpenResult::CannotDecode:
            return kCannotDecode;
    }
    CollectedMessages messages;
    NoStatus status;
    cLameEncoder encoder(appFolder, QString::number(decoder.rate()), messages, status);
    encoder.setMP3File(mp3);
    encoder.setEncodingPreset(kRecorderPreset);
    QString result;
    try {
        if (decoder.isEncoderReady()) {
            encoder.setWavFile(wav);
            result = encoder.Encode();
        } else {
            result = encoder.EncodeFrom(decoder);
        }
    } catch (const platform::Error& e) {
        QFile::remove(mp3);
        if (!decoder.failure().isEmpty()) {
            *error = decoder.failure();
            return kCannotDecode;
        }
        if (e.number() >= kFirstWriterError && e.number() <= kLastWriterError) {
            *error = QStringLiteral("Cannot write ") + mp3 + QStringLiteral(": ") + e.description();
            return kCannotWrite;
        }
        *error = QStringLiteral("Cannot read ") + wav + QStringLiteral(": ") + e.description();
        return kCannotDecode;
    }
    if (!result.isEmpty()) {
        QFile::remove(mp3);
        *error = QStringLiteral("No MP3 encoder: ") + messages.messages.join(QStringLiteral("; ")) +
                 QStringLiteral(" (") + appFolder + QStringLiteral("/Zorvita.dll)");
        return kNoEncoder;
    }
    if (!messages.messages.isEmpty()) {
        QFile::remove(mp3);
        *error = QStringLiteral("Encoding failed: ") + messages.messages.join(QStringLiteral("; "));
        return kEncodeFailed;
    }
    return kConverted;
}

}  // namespace converter
