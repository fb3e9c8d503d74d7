#include "net/MSocketSupport.h"
#include "net/SocketData.h"

#include <gtest/gtest.h>

#include <netdb.h>

#include <cerrno>
#include <utility>
#include <vector>

using namespace MSocketSupport;

TEST(SocketErrorTexts, EveryNumberHasItsText) {
    const std::vector<std::pair<int, const char*>> table = {
        {10004, "Interrupted function call."},
        {10013, "Permission denied."},
        {10014, "Bad address."},
        {10022, "Invalid argument."},
        {10024, "Too many open files."},
        {10035, "Resource temporarily unavailable."},
        {10036, "Operation now in progress."},
        {10037, "Operation already in progress."},
        {10038, "Socket operation on nonsocket."},
        {10039, "Destination address required."},
        {10040, "Message too long."},
        {10041, "Protocol wrong type for socket."},
        {10042, "Bad protocol option."},
        {10043, "Protocol not supported."},
        {10044, "Socket type not supported."},
        {10045, "Operation not supported."},
        {10046, "Protocol family not supported."},
        {10047, "Address family not supported by protocol family."},
        {10048, "Address already in use."},
        {10049, "Cannot assign requested address."},
        {10050, "Network is down."},
        {10051, "Network is unreachable."},
        {10052, "Network dropped connection on reset."},
        {10053, "Software caused connection abort."},
        {10054, "Connection reset by peer."},
        {10055, "No buffer space available."},
        {10056, "Socket is already connected."},
        {10057, "Socket is not connected."},
        {10058, "Cannot send after socket shutdown."},
        {10060, "Connection timed out."},
        {10061, "Connection refused."},
        {10064, "Host is down."},
        {10065, "No route to host."},
        {10067, "Too many processes."},
        {10091, "Network subsystem is unavailable."},
        {10092, "Winsock.dll version out of range."},
        {10093, "Successful WSAStartup not yet performed."},
        {10101, "Graceful shutdown in progress."},
        {10107, "System call failure."},
        {10109, "Class type not found."},
        {11001, "Host not found."},
        {11002, "Nonauthoritative host not found."},
        {11003, "This is a nonrecoverable error."},
        {11004, "Valid name, no data record of requested type."},
    };
    for (const auto& [number, text] : table) {
        EXPECT_EQ(GetErrorDescription(number), QString::fromLatin1(text)) << number;
    }
    for (int other : {0, 1, 10000, 10059, 11000, 11005, -10061}) {
        EXPECT_EQ(GetErrorDescription(other), QStringLiteral("Unknown error.")) << other;
    }
}

TEST(SocketErrorTexts, SystemErrorsMapToTheirNumbers) {
    const std::vector<std::pair<int, int>> table = {
        {0, 0},
        {EINTR, 10004},
        {EACCES, 10013},
        {EFAULT, 10014},
        {EINVAL, 10022},
        {EMFILE, 10024},
        {EAGAIN, 10035},
        {EINPROGRESS, 10036},
        {EALREADY, 10037},
        {ENOTSOCK, 10038},
        {EBADF, 10038},
        {EDESTADDRREQ, 10039},
        {EMSGSIZE, 10040},
        {EPROTOTYPE, 10041},
        {ENOPROTOOPT, 10042},
        {EPROTONOSUPPORT, 10043},
        {ESOCKTNOSUPPORT, 10044},
        {EOPNOTSUPP, 10045},
        {EPFNOSUPPORT, 10046},
        {EAFNOSUPPORT, 10047},
        {EADDRINUSE, 10048},
        {EADDRNOTAVAIL, 10049},
        {ENETDOWN, 10050},
        {ENETUNREACH, 10051},
        {ENETRESET, 10052},
        {ECONNABORTED, 10053},
        {ECONNRESET, 10054},
        {ENOBUFS, 10055},
        {EISCONN, 10056},
        {ENOTCONN, 10057},
        {EPIPE, 10058},
        {ETIMEDOUT, 10060},
        {ECONNREFUSED, 10061},
        {EHOSTDOWN, 10064},
        {EHOSTUNREACH, 10065},
        {EUSERS, 10067},
        {ENONET, 10091},
        {ENOSYS, 10092},
        {EDOM, 10107},
    };
    for (const auto& [errnoValue, number] : table) {
        EXPECT_EQ(ErrorFromErrno(errnoValue), number) << errnoValue;
    }
    EXPECT_EQ(ErrorFromResolver(0, 0), 0);
    EXPECT_EQ(ErrorFromResolver(EAI_NONAME, 0), 11001);
    EXPECT_EQ(ErrorFromResolver(EAI_AGAIN, 0), 11002);
    EXPECT_EQ(ErrorFromResolver(EAI_FAIL, 0), 11003);
    EXPECT_EQ(ErrorFromResolver(EAI_NODATA, 0), 11004);
    EXPECT_EQ(ErrorFromResolver(EAI_SERVICE, 0), 10109);
    EXPECT_EQ(ErrorFromResolver(EAI_MEMORY, 0), 10055);
    EXPECT_EQ(ErrorFromResolver(EAI_SYSTEM, ECONNREFUSED), 10061);
    EXPECT_EQ(ErrorFromResolver(EAI_SYSTEM, 0), 10107);
}

TEST(SocketLayerLifecycle, StartsOnceAndStopsWhenNoSocketIsLeft) {
    EXPECT_EQ(InitWinsock(), 65507u);
    EXPECT_TRUE(WinsockStarted());
    EXPECT_EQ(InitWinsock(), 65507u);
    CleanupWinsock();
    EXPECT_FALSE(WinsockStarted());
    EXPECT_EQ(InitWinsock(), 65507u);
    CleanupWinsock();
}

using net::fromBytes;
using net::SocketValue;
using net::toBytes;
using net::VarType;

TEST(SocketData, ValuesHaveTheirWireBytes) {
    EXPECT_EQ(toBytes(SocketValue(qint16(0x1234))), QByteArray("\x34\x12", 2));
    EXPECT_EQ(toBytes(SocketValue(qint32(-2))), QByteArray("\xfe\xff\xff\xff", 4));
    EXPECT_EQ(toBytes(SocketValue(1.0f)), QByteArray("\x00\x00\x80\x3f", 4));
    EXPECT_EQ(toBytes(SocketValue(1.0)), QByteArray("\x00\x00\x00\x00\x00\x00\xf0\x3f", 8));
    EXPECT_EQ(toBytes(SocketValue(net::Currency{12345})), QByteArray("\x39\x30\0\0\0\0\0\0", 8));
    EXPECT_EQ(toBytes(SocketValue(net::Date{2.0})), QByteArray("\0\0\0\0\0\0\x00\x40", 8));
    EXPECT_EQ(toBytes(SocketValue(true)), QByteArray("\xff\xff", 2));
    EXPECT_EQ(toBytes(SocketValue(false)), QByteArray("\0\0", 2));
    EXPECT_EQ(toBytes(SocketValue(quint8(200))), QByteArray("\xc8", 1));
    EXPECT_EQ(toBytes(SocketValue(QByteArray("a\0b", 3))), QByteArray("a\0b", 3));
    EXPECT_EQ(toBytes(SocketValue()), QByteArray());
    // Text is one byte a character in Windows-1252; a character outside it becomes "?".
    EXPECT_EQ(toBytes(SocketValue(QString::fromUtf8("Caf\xc3\xa9 \xe2\x82\xac \xe0\xa4\x85"))),
              QByteArray("Caf\xe9 \x80 ?"));
}

TEST(SocketData, BytesReadBackAsEachType) {
    const auto back = [](const SocketValue& v) { return fromBytes(toBytes(v), *net::typeOf(v)); };
    for (const SocketValue& v :
         {SocketValue(qint16(-300)), SocketValue(qint32(123456789)), SocketValue(2.5f),
          SocketValue(-1e300), SocketValue(net::Currency{-99}), SocketValue(net::Date{45000.5}),
          SocketValue(QString::fromUtf8("\xe2\x80\x9cquoted\xe2\x80\x9d")), SocketValue(true),
          SocketValue(quint8(7)), SocketValue(QByteArray("\x01\x02"))}) {
        EXPECT_EQ(back(v), v) << v.index();
    }
    EXPECT_EQ(fromBytes(QByteArray("\x01\x00", 2), VarType::Boolean), SocketValue(true));
    // Fewer bytes than the type needs: the missing high bytes are zero.
    EXPECT_EQ(fromBytes(QByteArray("\x05"), VarType::Long), SocketValue(qint32(5)));
    EXPECT_EQ(fromBytes(QByteArray("abc"), VarType::String), SocketValue(QStringLiteral("abc")));
    EXPECT_FALSE(fromBytes(QByteArray("abc"), static_cast<VarType>(9)).has_value());
}
