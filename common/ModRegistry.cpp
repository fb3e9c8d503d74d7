#include "common/ModRegistry.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <chrono>
#include <cmath>
#include <optional>
#include <random>

using platform::RegKind;
using platform::RegStatus;
using platform::RegValue;

bool SetRegistryValue(platform::Registry& registry, int kind, const QString& subKey,
                      const QString& valueName, const QString& data, platform::RegRoot root) {
    if (data.trimmed().isEmpty()) {
        if (registry.openKey(root, subKey) == RegStatus::Ok) {
            registry.deleteValue(root, subKey, valueName);
        }
        return false;
    }
    RegValue value;
    if (kind == kRegDword) {
        bool ok = false;
        const qint64 number = data.trimmed().toLongLong(&ok);
        if (!ok) {
            return false;
        }
        value.kind = RegKind::Dword;
        value.dword = static_cast<std::uint32_t>(number);
    } else {
        value.kind = RegKind::String;
        value.text = data;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        const RegStatus status = registry.openKey(root, subKey);
        if (status == RegStatus::Ok) {
            return registry.setValue(root, subKey, valueName, value) == RegStatus::Ok;
        }
        if (status != RegStatus::FileNotFound && status != RegStatus::BadKey) {
            return false;
        }
        if (CreateRegistryKey(registry, subKey, root) == 0) {
            return false;
        }
    }
    return false;
}

int CreateRegistryKey(platform::Registry& registry, const QString& subKey, platform::RegRoot root) {
    int disposition = 0;
    if (registry.createKey(root, subKey, &disposition) != RegStatus::Ok) {
        return 0;
    }
    return disposition;
}

namespace {

// Windows-1252 has 27 printable characters in 0x80-0x9F; the five unassigned codes map to the
// control characters of the same number, as the platform's own conversion does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QChar fromCp1252(unsigned char b) {
    return (b >= 0x80 && b < 0xA0) ? QChar(kCp1252High[b - 0x80]) : QChar(char16_t{b});
}

std::optional<unsigned char> toCp1252(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
        return static_cast<unsigned char>(u);
    }
    for (int i = 0; i < 32; ++i) {
        if (kCp1252High[i] == u) {
            return static_cast<unsigned char>(0x80 + i);
        }
    }
    return std::nullopt;
}

QByteArray toLineBytes(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar c : text) {
        const auto b = toCp1252(c);
        if (!b) {
            return text.toUtf8();
        }
        bytes.append(static_cast<char>(*b));
    }
    return bytes;
}

QString fromLineBytes(const QByteArray& bytes) {
    bool multiByte = false;
    for (const char b : bytes) {
        if (static_cast<unsigned char>(b) >= 0x80) {
            multiByte = true;
            break;
        }
    }
    if (multiByte) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8.decode(bytes);
        if (!utf8.hasError()) {
            return text;
        }
    }
    QString text;
    text.reserve(bytes.size());
    for (const char b : bytes) {
        text.append(fromCp1252(static_cast<unsigned char>(b)));
    }
    return text;
}

// Round to nearest, ties to even, as the codec's arithmetic requires.
double roundEven(double x) {
    return std::nearbyint(x);
}

int digitsValue(QStringView s, bool* ok) {
    int value = 0;
    for (const QChar c : s) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            *ok = false;
            return 0;
        }
        value = value * 10 + (c.unicode() - u'0');
    }
    *ok = !s.isEmpty();
    return value;
}

}  // namespace

QString EncodeStationLine(const QString& text) {
    // Reseeded from the clock on every call, so the same line encodes differently each time.
    std::mt19937 rng(static_cast<std::uint32_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count()));
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    QString out;
    const QByteArray bytes = toLineBytes(text);
    out.reserve(bytes.size() * 5);
    for (const char b : bytes) {
        const int k = static_cast<int>(uniform(rng) * 90.0 + 10.0);
        const int c = static_cast<unsigned char>(b);
        const double m = roundEven((c + k) / 2.0 * 33.0);
        const int v = static_cast<int>(roundEven(m / 10.0));
        // A group that would not come out at exactly five digits spoils the whole line.
        if (k < 10 || k > 99 || v < 0 || v > 999) {
            return QStringLiteral("0");
        }
        const char16_t group[5] = {char16_t(u'0' + k / 10), char16_t(u'0' + k % 10),
                                   char16_t(u'0' + v / 100), char16_t(u'0' + v / 10 % 10),
                                   char16_t(u'0' + v % 10)};
        out.append(reinterpret_cast<const QChar*>(group), 5);
    }
    return out;
}

QString DecodeStationLine(const QString& encoded) {
    const qsizetype length = encoded.size();
    QByteArray bytes;
    bytes.reserve(length / 5 + 1);
    for (qsizetype p = 3; p <= length; p += 5) {
        bool ok = false;
        const int k = digitsValue(QStringView(encoded).mid(p - 3, 2), &ok);
        if (!ok) {
            return QStringLiteral("0");
        }
        const int v = digitsValue(QStringView(encoded).mid(p - 1, 3), &ok);
        if (!ok) {
            return QStringLiteral("0");
        }
        const double x = roundEven(v * 10.0);
        const double code = roundEven(x / 33.0 * 2.0 - k);
        if (code < 0 || code > 255) {
            return QStringLiteral("0");
        }
        bytes.append(static_cast<char>(static_cast<int>(code)));
    }
    return fromLineBytes(bytes);
}
