#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>
#include <variant>

// The values a socket object sends and takes, each with the type code that says how it looks on
// the wire. Numbers are little-endian; text is one byte a character in Windows-1252.
namespace net {

enum class VarType : int {
    Integer = 2,      // 16-bit integer, 2 bytes
    Long = 3,         // 32-bit integer, 4 bytes
    Single = 4,       // 32-bit float, 4 bytes
    Double = 5,       // 64-bit float, 8 bytes
    Currency = 6,     // 64-bit integer of ten-thousandths, 8 bytes
    Date = 7,         // 64-bit float (days), 8 bytes
    String = 8,       // text, one byte a character
    Boolean = 11,     // 2 bytes, true = -1
    Byte = 17,        // 1 byte
    ByteArray = 8209  // the bytes as they are
};

// A currency amount as its scaled integer (value x 10000).
struct Currency {
    qint64 scaled = 0;
    bool operator==(const Currency&) const = default;
};

// A date as its day count.
struct Date {
    double days = 0;
    bool operator==(const Date&) const = default;
};

// Empty (std::monostate) is a value of no supported type: it gives no bytes.
using SocketValue = std::variant<std::monostate, qint16, qint32, float, double, Currency, Date,
                                 QString, bool, quint8, QByteArray>;

// The type code of a value (nullopt for the empty value).
std::optional<VarType> typeOf(const SocketValue& value);

// The bytes of a value on the wire.
QByteArray toBytes(const SocketValue& value);

// A value of the given type read from the front of the bytes; missing bytes of a number count
// as zero. nullopt for a code that is not one of the above.
std::optional<SocketValue> fromBytes(const QByteArray& bytes, VarType type);

// Text and its Windows-1252 bytes; characters outside the code page are sent as "?".
QByteArray textToBytes(const QString& text);
QString bytesToText(const QByteArray& bytes);

}  // namespace net
