#include "recording/WAVToMP3.h"

#include "platform/ui/error.h"

#include <QDir>
#include <QFile>

WAVToMP3::WAVToMP3(const QString& appFolder, const QString& recordSampleRate,
                   platform::MessageBoxes& boxes, StatusLabel& label)
    : appFolder_(appFolder), m_cEncoder(appFolder, recordSampleRate, boxes, label) {
    m_cEncoder.Progress = [](std::int64_t, std::int64_t, bool&) {};
}

QString WAVToMP3::CreateWAVtoMP3(const QString& WavFile, const QString& MP3File,
                                 bool removeWAVFile) {
    try {
        // Relative names are meant relative to the application folder.
        if (!QDir::setCurrent(appFolder_)) {
            return QStringLiteral("Path not found");
        }
        m_cEncoder.setWavFile(WavFile);
        m_cEncoder.setMP3File(MP3File);
        m_cEncoder.setEncodingPreset(7);
        const QString result = m_cEncoder.Encode();
        if (removeWAVFile && result.isEmpty()) {
            QFile::remove(WavFile);
        }
        return result;
    } catch (const platform::Error& e) {
        return e.description();
    }
}
