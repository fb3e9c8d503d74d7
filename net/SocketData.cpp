#include "net/SocketData.h"

#include <QtEndian>

#include <bit>
#include <cstring>

namespace net {

namespace {

// Windows-1252 in 0x80-0x9F; the five unassigned codes map to the control characters of the
// same number, as the platform's own conversion does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char toCp1252(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
        return static_cast<char>(u);
    }
    for (int i = 0; i < 32; ++i) {
        if (kCp1252High[i] == u) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

template <typename T>
QByteArray littleEndian(T value) {
    QByteArray bytes(sizeof(T), Qt::Uninitialized);
    qToLittleEndian(value, bytes.data());
    return bytes;
}

// The first sizeof(T) bytes, zero-filled when there are fewer.
template <typename T>
T readLittleEndian(const QByteArray& bytes) {
    char raw[sizeof(T)] = {};
    std::memcpy(raw, bytes.constData(), std::min<size_t>(sizeof(T), size_t(bytes.size())));
    return qFromLittleEndian<T>(raw);
}

}  // namespace

QByteArray textToBytes(const QString& text) {
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        bytes[i] = toCp1252(text[i]);
    }
    return bytes;
}

QString bytesToText(const QByteArray& bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = (b >= 0x80 && b < 0xA0) ? QChar(kCp1252High[b - 0x80]) : QChar(char16_t{b});
    }
    return text;
}

std::optional<VarType> typeOf(const SocketValue& value) {
    static constexpr VarType kTypes[] = {
        VarType::Integer, VarType::Long,   VarType::Single,  VarType::Double, VarType::Currency,
        VarType::Date,    VarType::String, VarType::Boolean, VarType::Byte,   VarType::ByteArray};
    if (value.index() == 0) {
        return std::nullopt;
    }
    return kTypes[value.index() - 1];
}

QByteArray toBytes(const SocketValue& value) {
    struct Visitor {
        QByteArray operator()(std::monostate) const { return {}; }
        QByteArray operator()(qint16 v) const { return littleEndian(v); }
        QByteArray operator()(qint32 v) const { return littleEndian(v); }
        QByteArray operator()(float v) const { return littleEndian(std::bit_cast<quint32>(v)); }
        QByteArray operator()(double v) const { return littleEndian(std::bit_cast<quint64>(v)); }
        QByteArray operator()(Currency v) const { return littleEndian(v.scaled); }
        QByteArray operator()(Date v) const { return littleEndian(std::bit_cast<quint64>(v.days)); }
        QByteArray operator()(const QString& v) const { return textToBytes(v); }
        QByteArray operator()(bool v) const { return littleEndian<qint16>(v ? -1 : 0); }
        QByteArray operator()(quint8 v) const { return QByteArray(1, static_cast<char>(v)); }
        QByteArray operator()(const QByteArray& v) const { return v; }
    };
    return std::visit(Visitor{}, value);
}

std::optional<SocketValue> fromBytes(const QByteArray& bytes, VarType type) {
    switch (type) {
        case VarType::Integer:
            return readLittleEndian<qint16>(bytes);
        case VarType::Long:
            return readLittleEndian<qint32>(bytes);
        case VarType::Single:
            return std::bit_cast<float>(readLittleEndian<quint32>(bytes));
        case VarType::Double:
            return std::bit_cast<double>(readLittleEndian<quint64>(bytes));
        case VarType::Currency:
            return Currency{readLittleEndian<qint64>(bytes)};
        case VarType::Date:
            return Date{std::bit_cast<double>(readLittleEndian<quint64>(bytes))};
        case VarType::String:
            return bytesToText(bytes);
        case VarType::Boolean:
            return readLittleEndian<qint16>(bytes) != 0;
        case VarType::Byte:
            return static_cast<quint8>(readLittleEndian<quint8>(bytes));
        case VarType::ByteArray:
            return bytes;
    }
    return std::nullopt;
}

}  // namespace net
