#include "tests/net/loopback_peer.h"

#include <QDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace loopback {

namespace {

int boundSocket(int type, quint16* port) {
    const int s = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
    socklen_t len = sizeof(sa);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len);
    *port = ntohs(sa.sin_port);
    return s;
}

}  // namespace

TcpPeer::TcpPeer(std::function<void(int)> script, int connections) {
    listener_ = boundSocket(SOCK_STREAM, &port_);
    ::listen(listener_, 16);
    thread_ = std::thread([this, script = std::move(script), connections] {
        for (int i = 0; i < connections; ++i) {
            const int s = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (s < 0) {
                return;
            }
            script(s);
            ::close(s);
            ++served_;
        }
    });
}

TcpPeer::~TcpPeer() {
    // Wakes a thread still waiting in accept.
    ::shutdown(listener_, SHUT_RDWR);
    thread_.join();
    ::close(listener_);
}

UdpEcho::UdpEcho() {
    socket_ = boundSocket(SOCK_DGRAM, &port_);
    thread_ = std::thread([this] {
        char buffer[65536];
        while (!stop_) {
            pollfd p{socket_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) {
                continue;
            }
            sockaddr_in from{};
            socklen_t len = sizeof(from);
            const ssize_t n = ::recvfrom(socket_, buffer, sizeof(buffer), 0,
                                         reinterpret_cast<sockaddr*>(&from), &len);
            if (n >= 0) {
                ::sendto(socket_, buffer, size_t(n), 0, reinterpret_cast<sockaddr*>(&from), len);
            }
        }
    });
}

UdpEcho::~UdpEcho() {
    stop_ = true;
    thread_.join();
    ::close(socket_);
}

void echoUntilEof(int s) {
    char buffer[65536];
    ssize_t n;
    while ((n = ::recv(s, buffer, sizeof(buffer), 0)) > 0) {
        ::send(s, buffer, size_t(n), MSG_NOSIGNAL);
    }
}

void readUntilEof(int s) {
    char buffer[65536];
    while (::recv(s, buffer, sizeof(buffer), 0) > 0) {
    }
}

void sendAll(int s, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(s, data, size, MSG_NOSIGNAL);
        if (n <= 0) {
            return;
        }
        data += n;
        size -= size_t(n);
    }
}

void resetNow(int s) {
    const linger zero{1, 0};
    ::setsockopt(s, SOL_SOCKET, SO_LINGER, &zero, sizeof(zero));
}

quint16 closedPort() {
    quint16 port = 0;
    const int s = boundSocket(SOCK_STREAM, &port);
    ::close(s);
    return port;
}

int openDescriptors() {
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

}  // namespace loopback
