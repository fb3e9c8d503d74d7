#include "recorder/RecorderTexts.h"

#include "platform/registry/settings_store.h"

#include <cmath>

namespace recorder {

QStringList sampleRates() {
    return {QStringLiteral("48000"), QStringLiteral("44100"), QStringLiteral("32000"),
            QStringLiteral("24000"), QStringLiteral("22050"), QStringLiteral("16000"),
            QStringLiteral("12000"), QStringLiteral("11025")};
}

QString freshOutputPath(const QString& appFolder, const QDateTime& now) {
    return appFolder + QStringLiteral("/Recorded_") + now.toString(QStringLiteral("ddMMyy")) +
           now.toString(QStringLiteral("hhmmss")) + QStringLiteral(".mp3");
}

QString intermediatePath(const QString& outputPath) {
    const QString trimmed = outputPath.trimmed();
    return trimmed.left(std::max<qsizetype>(0, trimmed.size() - 4));
}

int sizeFactor(const QString& rateText) {
    static const struct {
        const char* rate;
        int factor;
    } kFactors[] = {{"48000", 12}, {"44100", 9},  {"32000", 13}, {"24000", 13},
                    {"22050", 13}, {"16000", 14}, {"12000", 18}, {"11025", 13}};
    for (const auto& f : kFactors) {
        if (rateText == QLatin1String(f.rate)) {
            return f.factor;
        }
    }
    return 0;
}

QString formatSize(std::int64_t bytes) {
    if (bytes < 0) {
        return {};
    }
    if (bytes < 1024) {
        return QString::number(bytes) + QStringLiteral(" bytes");
    }
    if (bytes < 1048576) {
        return QString::number(std::llround(bytes / 1024.0)) + QStringLiteral(" KB");
    }
    if (bytes < 1073741824) {
        return QString::number(bytes / 1048576.0, 'f', 1) + QStringLiteral(" MB");
    }
    return QString::number(bytes / 1073741824.0, 'f', 1) + QStringLiteral(" GB");
}

QString recordingStatus(std::int64_t intermediateBytes, const QString& rateText,
                        std::int64_t elapsedMs) {
    const std::int64_t estimate = intermediateBytes * sizeFactor(rateText) / 100;
    const std::int64_t seconds = std::llround(elapsedMs / 1000.0);
    return QStringLiteral("File Size: ") + formatSize(estimate) +
           QStringLiteral("          Length: ") + QString::number(seconds / 60) + QLatin1Char(':') +
           QStringLiteral("%1").arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

std::optional<QColor> colourFromSetting(const QString& text) {
    bool ok = false;
    const long long n = text.trimmed().toLongLong(&ok);
    if (!ok || n < 0 || n > 0xFFFFFF) {
        return std::nullopt;
    }
    return QColor(static_cast<int>(n & 0xFF), static_cast<int>((n >> 8) & 0xFF),
                  static_cast<int>((n >> 16) & 0xFF));
}

std::optional<SkinColours> readSkinColours(const platform::SettingsStore& settings) {
    const QString app = QStringLiteral("Zorvita");
    const QString section = QStringLiteral("Skin");
    const QString current = settings.GetSetting(app, section, QStringLiteral("Current")).trimmed();
    if (current.isEmpty() ||
        current.compare(QStringLiteral("Spider Man"), Qt::CaseInsensitive) == 0) {
        return std::nullopt;
    }
    const auto colour = [&](const char* key) {
        return colourFromSetting(settings.GetSetting(app, section, QLatin1String(key)));
    };
    return SkinColours{colour("Backcolor"), colour("Forecolor"), colour("ComboBackColor")};
}

}  // namespace recorder
