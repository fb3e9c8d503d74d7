#include "net/CSocket.h"

#include "net/MSocketSupport.h"

#include <QPointer>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

using namespace MSocketSupport;

namespace {

std::optional<in_addr> parseDotted(const QString& text) {
    in_addr address{};
    if (text.isEmpty() || ::inet_pton(AF_INET, text.toLatin1().constData(), &address) != 1) {
        return std::nullopt;
    }
    return address;
}

QString dotted(in_addr address) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, text, sizeof(text));
    return QString::fromLatin1(text);
}

bool validPort(qint64 port) {
    return port >= 0 && port <= 65535;
}

sockaddr_in socketAddress(in_addr address, qint64 port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr = address;
    sa.sin_port = htons(static_cast<quint16>(port));
    return sa;
}

// The name of an address by reverse lookup, or empty. Only loopback addresses are looked up:
// they are answered from the hosts file, while any other lookup may wait on the network, which
// the user-interface thread must never do.
QString reverseName(in_addr address) {
    if ((ntohl(address.s_addr) >> 24) != 127) {
        return QString();
    }
    const sockaddr_in sa = socketAddress(address, 0);
    char host[NI_MAXHOST] = {};
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&sa), sizeof(sa), host, sizeof(host),
                      nullptr, 0, NI_NAMEREQD) != 0) {
        return QString();
    }
    return QString::fromLatin1(host);
}

int intOption(int socket, int option) {
    int value = 0;
    socklen_t len = sizeof(value);
    ::getsockopt(socket, SOL_SOCKET, option, &value, &len);
    return value;
}

}  // namespace

CSocket::CSocket(QObject* parent) : QObject(parent) {
    maxDatagramSize_ = InitWinsock();
}

CSocket::~CSocket() {
    if (socket_ != -1) {
        DestroySocket();
    }
    CleanupWinsock();
}

bool CSocket::EnsureSocket() {
    if (socket_ == -1) {
        if (vbSocket() == -1) {
            return false;
        }
        ReadBufferSizes();
        if (protocol_ == sckUDPProtocol) {
            WatchRead(socket_, true);
        }
    }
    return true;
}

int CSocket::vbSocket() {
    const bool udp = protocol_ == sckUDPProtocol;
    const int handle =
        ::socket(AF_INET, (udp ? SOCK_DGRAM : SOCK_STREAM) | SOCK_NONBLOCK | SOCK_CLOEXEC,
                 udp ? IPPROTO_UDP : IPPROTO_TCP);
    if (handle == -1) {
        return -1;
    }
    if (!RegisterSocket(handle, this)) {
        ::close(handle);
        return -1;
    }
    socket_ = handle;
    return handle;
}

void CSocket::ReadBufferSizes() {
    if (protocol_ == sckUDPProtocol) {
        sendSize_ = receiveSize_ = static_cast<qint32>(maxDatagramSize_);
    } else {
        receiveSize_ = intOption(socket_, SO_RCVBUF);
        sendSize_ = intOption(socket_, SO_SNDBUF);
    }
    if (receiveSize_ <= 0) {
        receiveSize_ = 65536;
    }
}

void CSocket::DestroySocket() {
    receiveBuffer_.clear();
    // Bytes queued for this connection must never reach the next one.
    sendBuffer_.clear();
    sending_ = false;
    resolveTask_ = 0;
    if (socket_ != -1) {
        UnregisterSocket(socket_);
        ::close(socket_);
        socket_ = -1;
        bound_ = false;
        broadcast_ = false;
    }
}

int CSocket::StartConnect(const QString& address) {
    const auto parsed = parseDotted(address);
    if (!parsed) {
        return 10022;
    }
    const sockaddr_in sa = socketAddress(*parsed, remotePort_);
    if (::connect(socket_, reinterpret_cast<const sockaddr*>(&sa), sizeof(sa)) == 0 ||
        errno == EINPROGRESS) {
        // A connect that finished at once is reported like one that finished later.
        state_ = sckConnecting;
        WatchConnect(socket_);
        return 0;
    }
    return ErrorFromErrno(errno);
}

void CSocket::Connect(const QString& strRemoteHost, std::optional<qint64> lngRemotePort) {
    if (!EnsureSocket()) {
        return;
    }
    if (!strRemoteHost.isEmpty()) {
        remoteHost_ = strRemoteHost;
    }
    if (lngRemotePort) {
        remotePort_ = *lngRemotePort;
    }
    if (remoteHost_.isEmpty() || !validPort(remotePort_)) {
        return;
    }
    pendingAction_ = kPendingConnect;
    if (parseDotted(remoteHost_)) {
        remoteHostIP_ = remoteHost_;
        StartConnect(remoteHost_);
        return;
    }
    state_ = sckResolvingHost;
    resolveTask_ = ResolveHost(remoteHost_, this);
    if (resolveTask_ == 0) {
        DestroySocket();
    }
}

void CSocket::PostGetHostEvent(quint32 taskHandle, quint32 address, const QString& name,
                               int error) {
    if (error > 0 && !parseDotted(name)) {
        state_ = sckError;
        RaiseError(error, QString());
        return;
    }
    if (taskHandle == 0 || taskHandle != resolveTask_) {
        return;
    }
    resolveTask_ = 0;
    state_ = sckHostResolved;
    remoteHost_ = name;
    in_addr in{};
    in.s_addr = address;
    remoteHostIP_ = dotted(in);
    if (pendingAction_ == kPendingConnect) {
        const int failure = StartConnect(remoteHostIP_);
        if (failure != 0) {
            RaiseError(failure, QStringLiteral("CSocket.PostGetHostEvent"));
        }
    } else {
        SendBufferedData();
    }
}

void CSocket::RaiseError(int number, const QString& source) {
    bool cancelDisplay = false;
    Q_EMIT OnError(static_cast<qint16>(number), GetErrorDescription(number), 0, source, QString(),
                   0, &cancelDisplay);
}

void CSocket::ReadLocalAddress() {
    sockaddr_in local{};
    socklen_t len = sizeof(local);
    if (::getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &len) != 0) {
        return;
    }
    localPort_ = ntohs(local.sin_port);
    localIP_ = dotted(local.sin_addr);
}

void CSocket::HandleSocketEvent(int event, int error) {
    const QPointer<CSocket> self(this);
    const int handle = socket_;
    // Whether the owner left this socket alone inside the last event.
    const auto unchanged = [&] { return self && socket_ == handle && handle != -1; };
    if (error != 0) {
        state_ = sckError;
        DestroySocket();
        RaiseError(error, QString());
        return;
    }
    switch (event) {
        case kEventRead: {
            const qint64 n = ReceiveIntoBuffer();
            bytesReceived_ = static_cast<qint32>(std::min<qint64>(bytesReceived_ + n, INT_MAX));
            if (n > 0) {
                Q_EMIT OnDataArrival(static_cast<qint32>(receiveBuffer_.size()));
            }
            break;
        }
        case kEventWrite:
            if (sendBuffer_.isEmpty()) {
                if (sending_) {
                    sending_ = false;
                    Q_EMIT OnSendComplete();
                }
            } else {
                SendBufferedData();
            }
            break;
        case kEventAccept: {
            const int accepted = ::accept4(socket_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (accepted == -1) {
                break;
            }
            Q_EMIT OnConnectionRequest(accepted);
            // A connection nobody adopted would leak its descriptor.
            if (!IsRegistered(accepted)) {
                ::close(accepted);
            }
            break;
        }
        case kEventConnect: {
            ReadLocalAddress();
            const auto local = parseDotted(localIP_);
            localHostName_ = local ? reverseName(*local) : QString();
            if (localHostName_.isEmpty()) {
                localHostName_ = localIP_;
            }
            state_ = sckConnected;
            Q_EMIT OnConnect();
            break;
        }
        case kEventClose: {
            while (ReceiveIntoBuffer() > 0) {
                Q_EMIT OnDataArrival(static_cast<qint32>(receiveBuffer_.size()));
                if (!unchanged()) {
                    return;
                }
            }
            if (state_ != sckClosing) {
                state_ = sckClosing;
                if (!sendBuffer_.isEmpty()) {
                    SendBufferedData();
                    if (!unchanged()) {
                        return;
                    }
                }
            }
            DestroySocket();
            state_ = sckClosed;
            Q_EMIT OnClose();
            break;
        }
        default:
            break;
    }
}

qint64 CSocket::ReceiveIntoBuffer() {
    if (socket_ == -1) {
        return 0;
    }
    const qsizetype old = receiveBuffer_.size();
    // Received straight into the buffer's spare room: no copy, no zeroing.
    receiveBuffer_.resize(old + receiveSize_);
    ssize_t n = 0;
    if (protocol_ == sckUDPProtocol) {
        sockaddr_in from{};
        socklen_t len = sizeof(from);
        n = ::recvfrom(socket_, receiveBuffer_.data() + old, size_t(receiveSize_), 0,
                       reinterpret_cast<sockaddr*>(&from), &len);
        if (n > 0) {
            remotePort_ = ntohs(from.sin_port);
            remoteHostIP_ = dotted(from.sin_addr);
            const QString name = reverseName(from.sin_addr);
            if (!name.isEmpty()) {
                remoteHost_ = name;
            }
        }
    } else {
        n = ::recv(socket_, receiveBuffer_.data() + old, size_t(receiveSize_), 0);
    }
    receiveBuffer_.resize(old + std::max<ssize_t>(n, 0));
    return n < 1 ? 0 : n;
}

void CSocket::SendData(const net::SocketValue& varData) {
    if (protocol_ == sckUDPProtocol) {
        if (!EnsureSocket()) {
            return;
        }
    } else if (socket_ == -1) {
        return;
    }
    sendBuffer_ = net::toBytes(varData);
    sending_ = true;
    SendBufferedData();
}

void CSocket::SendBufferedData() {
    sending_ = true;
    if (socket_ == -1) {
        return;
    }
    ssize_t sent = 0;
    if (protocol_ == sckTCPProtocol) {
        sent = ::send(socket_, sendBuffer_.constData(), size_t(sendBuffer_.size()), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EAGAIN) {
                WatchWrite(socket_);
            }
            return;
        }
    } else if (!remoteHostIP_.isEmpty()) {
        const auto address = parseDotted(remoteHostIP_);
        if (!address || !validPort(remotePort_)) {
            return;
        }
        const sockaddr_in to = socketAddress(*address, remotePort_);
        sent = ::sendto(socket_, sendBuffer_.constData(), size_t(sendBuffer_.size()), MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&to), sizeof(to));
        if (sent < 0) {
            return;
        }
    } else {
        pendingAction_ = kPendingSend;
        resolveTask_ = ResolveHost(remoteHost_, this);
    }
    if (sent < sendBuffer_.size()) {
        sendBuffer_.remove(0, sent);
        if (protocol_ == sckTCPProtocol) {
            WatchWrite(socket_);
        }
    } else {
        sendBuffer_.clear();
        PostWriteEvent(socket_);
    }
    Q_EMIT OnSendProgress(static_cast<qint32>(sent), static_cast<qint32>(sendBuffer_.size()));
}

void CSocket::TakeFromBuffer(net::SocketValue& varData, std::optional<net::VarType> varType,
                             qint64 maxLen, bool remove) {
    if (receiveBuffer_.isEmpty()) {
        return;
    }
    QByteArray taken;
    if (maxLen > 0 && maxLen <= receiveBuffer_.size()) {
        taken = receiveBuffer_.left(maxLen);
        if (remove) {
            receiveBuffer_.remove(0, maxLen);
        }
    } else if (remove) {
        taken = std::exchange(receiveBuffer_, QByteArray());
    } else {
        taken = receiveBuffer_;
    }
    if (!varType) {
        varData = net::bytesToText(taken);
    } else if (auto value = net::fromBytes(taken, *varType)) {
        varData = std::move(*value);
    }
    bytesReceived_ = static_cast<qint32>(receiveBuffer_.size());
}

void CSocket::GetData(net::SocketValue& varData, std::optional<net::VarType> varType,
                      qint64 maxLen) {
    TakeFromBuffer(varData, varType, maxLen, true);
}

void CSocket::PeekData(net::SocketValue& varData, std::optional<net::VarType> varType,
                       qint64 maxLen) {
    TakeFromBuffer(varData, varType, maxLen, false);
}

QByteArray CSocket::TakeAll() {
    bytesReceived_ = 0;
    return std::exchange(receiveBuffer_, QByteArray());
}

void CSocket::CloseSocket() {
    if (socket_ == -1) {
        return;
    }
    if (state_ == sckConnected) {
        state_ = sckClosing;
        ::shutdown(socket_, SHUT_WR);
        return;
    }
    DestroySocket();
    state_ = sckClosed;
}

bool CSocket::Bind(qint64 lngLocalPort, const QString& strLocalIP) {
    if (!EnsureSocket()) {
        return false;
    }
    if (!strLocalIP.isEmpty()) {
        localIP_ = strLocalIP;
    }
    if (lngLocalPort > 0) {
        localPort_ = lngLocalPort;
    }
    in_addr address{};
    address.s_addr = htonl(INADDR_ANY);
    if (!localIP_.isEmpty()) {
        const auto parsed = parseDotted(localIP_);
        if (!parsed) {
            return false;
        }
        address = *parsed;
    }
    if (!validPort(localPort_)) {
        return false;
    }
    const sockaddr_in sa = socketAddress(address, localPort_);
    if (::bind(socket_, reinterpret_cast<const sockaddr*>(&sa), sizeof(sa)) != 0) {
        return false;
    }
    bound_ = true;
    // A port of 0 was chosen by the system; the owner needs to know which.
    ReadLocalAddress();
    return true;
}

void CSocket::Listen() {
    if (!EnsureSocket()) {
        return;
    }
    if (!bound_) {
        Bind(0, QString());
    }
    if (::listen(socket_, 5) == 0) {
        state_ = sckListening;
        WatchRead(socket_, true);
    } else {
        state_ = sckError;
    }
}

void CSocket::Accept(qint32 requestID) {
    if (requestID < 0) {
        return;
    }
    if (socket_ != -1) {
        DestroySocket();
    }
    socket_ = requestID;
    ::fcntl(socket_, F_SETFL, ::fcntl(socket_, F_GETFL) | O_NONBLOCK);
    ReadLocalAddress();
    localHostName_ = localIP_;
    sockaddr_in peer{};
    socklen_t len = sizeof(peer);
    if (::getpeername(socket_, reinterpret_cast<sockaddr*>(&peer), &len) == 0) {
        remotePort_ = ntohs(peer.sin_port);
        remoteHostIP_ = dotted(peer.sin_addr);
        remoteHost_ = remoteHostIP_;
    }
    protocol_ = intOption(socket_, SO_TYPE) == SOCK_STREAM ? sckTCPProtocol : sckUDPProtocol;
    ReadBufferSizes();
    if (RegisterSocket(socket_, this)) {
        state_ = sckConnected;
        WatchRead(socket_, true);
    }
}

void CSocket::setProtocol(qint32 protocol) {
    if (socket_ == -1 && (protocol == sckTCPProtocol || protocol == sckUDPProtocol)) {
        protocol_ = protocol;
    }
}

void CSocket::setRemoteHost(const QString& host) {
    remoteHost_ = host;
    if (!parseDotted(host)) {
        return;
    }
    remoteHostIP_ = host;
    if (protocol_ != sckUDPProtocol || !EnsureSocket()) {
        return;
    }
    const bool wanted = host.endsWith(QStringLiteral(".255"));
    if (wanted != broadcast_) {
        const int on = wanted ? 1 : 0;
        if (::setsockopt(socket_, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on)) == 0) {
            broadcast_ = wanted;
        }
    }
}
