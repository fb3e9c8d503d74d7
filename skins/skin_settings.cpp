#include "skins/skin_settings.h"

#include "platform/ui/error.h"

#include <cmath>

namespace skins {

namespace {

constexpr int kLinesPerGroup = 4;
constexpr int kPositionCount = 10;

[[noreturn]] void typeMismatch() {
    throw platform::Error(13, platform::programName(), QStringLiteral("Type mismatch"));
}

// A decimal number, blanks around it ignored; a fraction or an exponent is allowed, as the
// numbers of a hand-written file may carry them. Infinity and NaN are not numbers here.
double number(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
        typeMismatch();
    }
    return value;
}

QStringList splitLines(const QByteArray& contents) {
    QString text = QString::fromUtf8(contents);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    // A final line end does not start another line.
    if (!lines.isEmpty() && lines.back().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

}  // namespace

long ParseColourLine(const QString& line) {
    const QStringList parts = line.split(QLatin1Char(','));
    if (parts.size() != 3) {
        throw platform::Error(9, platform::programName(), QStringLiteral("Subscript out of range"));
    }
    long colour = 0;
    long scale = 1;
    for (const QString& part : parts) {
        const double value = number(part);
        if (value < 0) {
            throw platform::Error(5, platform::programName(),
                                  QStringLiteral("Invalid procedure call or argument"));
        }
        colour += scale * std::lround(std::fmin(value, 255.0));
        scale *= 256;
    }
    return colour;
}

SkinSettings ReadSkinSettings(const QByteArray& contents) {
    if (contents.size() > kMaxSkinSettingsBytes) {
        throw platform::Error(7, platform::programName(),
                              QStringLiteral("The skin's Settings.ini is too large to read."));
    }
    SkinSettings settings;
    const QStringList lines = splitLines(contents);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty()) {
            continue;
        }
        switch (i % kLinesPerGroup) {
            case 0:
                settings.backColor = ParseColourLine(line);
                break;
            case 1:
                settings.foreColor = ParseColourLine(line);
                break;
            case 2:
                settings.comboBackColor = ParseColourLine(line);
                break;
            default:
                settings.positions = line;
                break;
        }
    }
    return settings;
}

QStringList PositionValues(const QString& line) {
    QStringList values = line.split(QLatin1Char(','));
    if (line.trimmed().isEmpty() || values.size() < kPositionCount) {
        return {};
    }
    return values.mid(0, kPositionCount);
}

double LayoutNumber(const QString& value) {
    return number(value);
}

}  // namespace skins
