#include "converter/Converter.h"

#include "platform/ui/message_box.h"
#include "recording/ShowSavingProgress.h"
#include "recording/WAVToMP3.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <iterator>

namespace converter {

namespace {

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

int convertToMp3(const QString& appFolder, const QString& input, QString* error) {
    const QFileInfo info(input);
    if (!info.isFile() || !info.isReadable()) {
        *error = QStringLiteral("No such file: ") + input;
        return kNoInput;
    }
    QTemporaryDir work;
    if (!work.isValid()) {
        *error = QStringLiteral("Cannot create a temporary folder: ") + work.errorString();
        return kEncodeFailed;
    }
    const QString pcm = work.filePath(QStringLiteral("pcm.wav"));
    int rate = 0;
    if (!decodeToPcmWave(info.absoluteFilePath(), pcm, &rate, error)) {
        return kNotAWave;
    }
    const QString mp3 = mp3PathFor(info.absoluteFilePath());
    CollectedMessages messages;
    NoStatus status;
    WAVToMP3 encoder(appFolder, QString::number(rate), messages, status);
    const QString result = encoder.CreateWAVtoMP3(pcm, mp3, false);
    if (!result.isEmpty() || !messages.messages.isEmpty()) {
        QFile::remove(mp3);
        QStringList reasons = messages.messages;
        if (!result.isEmpty()) {
            reasons.append(result);
        }
        *error = QStringLiteral("Encoding failed: ") + reasons.join(QStringLiteral("; "));
        return kEncodeFailed;
    }
    return kConverted;
}

}  // namespace converter
