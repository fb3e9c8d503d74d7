#include "recorder/RecorderTexts.h"

#include "platform/registry/settings_store.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

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

bool rateKeyAccepted(const QString& currentText, int key, const QString& typed) {
    if (key == Qt::Key_Backspace) {
        return true;
    }
    if (typed.isEmpty() || !typed.front().isPrint()) {
        // Not typing: cursor keys, Delete, Tab and the like.
        return true;
    }
    if (typed.size() != 1 || typed.front() < QLatin1Char('0') || typed.front() > QLatin1Char('9')) {
        return false;
    }
    return currentText.size() < 5;
}

int recordingRate(const QString& rateText) {
    bool ok = false;
    const int rate = rateText.trimmed().toInt(&ok);
    return ok && rate >= 1 && rate <= kHighestRate ? rate : 0;
}

int sliderFromVolume(int volume) {
    return std::clamp(static_cast<int>(std::lround(volume / 2.0)), 0, kSliderMax);
}

int volumeFromSlider(int value) {
    return value >= kSliderMax ? 65535 : std::max(0, value) * 2;
}

QString volumePercent(int value) {
    return QString::number(
               static_cast<int>(std::floor(static_cast<double>(value) / kSliderMax * 100.0))) +
           QLatin1Char('%');
}

ChannelLevels channelLevels(std::span<const std::int16_t> samples, bool stereo) {
    int left = 0;
    int right = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const int v = std::abs(static_cast<int>(samples[i]));
        if (!stereo || i % 2 == 0) {
            left = std::max(left, v);
        }
        if (!stereo || i % 2 == 1) {
            right = std::max(right, v);
        }
    }
    return {std::max(left, 1), std::max(right, 1)};
}

std::int64_t elapsedAfter(std::int64_t elapsedMs, int bytes, int bytesPerSecond) {
    if (bytesPerSecond <= 0) {
        return elapsedMs;
    }
    return elapsedMs + std::llround(static_cast<double>(bytes) / bytesPerSecond * 1000.0);
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
