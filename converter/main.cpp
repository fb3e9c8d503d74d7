// The converter: turns the WAVE file named on the command line into an MP3 beside it, with the
// encoder library of the application folder. Errors go to stderr with a non-zero exit code.
#include "converter/Converter.h"
#include "converter/WaveDecoder.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString path = converter::pathFromArguments(QCoreApplication::arguments().mid(1));
    if (path.isEmpty()) {
        std::fputs("Usage: Skin.dll \"<WAVE file>\"\n", stderr);
        return converter::kUsage;
    }
    converter::silenceDecoderLog();
    QString error;
    const int code = converter::convertToMp3(QCoreApplication::applicationDirPath(), path, &error);
    if (code != converter::kConverted) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
    }
    return code;
}
