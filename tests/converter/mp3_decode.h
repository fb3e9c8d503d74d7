#pragma once

#include <QByteArray>
#include <QString>

namespace testing_support {

// An MP3 file as FFmpeg's decoder hears it: the first channel as 16-bit samples.
struct DecodedMp3 {
    bool ok = false;
    int rate = 0;
    int channels = 0;
    int frameSize = 0;
    QByteArray firstChannel;

    qint64 frames() const { return firstChannel.size() / 2; }
};

// Fails the running test (and returns ok = false) when the file is not a decodable MP3.
DecodedMp3 decodeMp3(const QString& file);

}  // namespace testing_support
