#pragma once

#include <QtGlobal>

#include <atomic>
#include <functional>
#include <thread>

// Loopback peers for socket tests: plain blocking POSIX sockets on 127.0.0.1, each on its own
// thread, so they behave like a remote program while the test's event loop runs.
namespace loopback {

// Accepts connections on 127.0.0.1 (a free port) and runs the script on each, one at a time,
// until `connections` have been served; the script owns nothing, the peer closes the socket.
class TcpPeer {
  public:
    explicit TcpPeer(std::function<void(int socket)> script, int connections = 1);
    ~TcpPeer();
    quint16 port() const { return port_; }
    int served() const { return served_; }

  private:
    int listener_ = -1;
    quint16 port_ = 0;
    std::atomic<int> served_{0};
    std::thread thread_;
};

// Echoes every datagram back to its sender until stopped (destroyed).
class UdpEcho {
  public:
    UdpEcho();
    ~UdpEcho();
    quint16 port() const { return port_; }

  private:
    int socket_ = -1;
    quint16 port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Scripts.
void echoUntilEof(int socket);
void readUntilEof(int socket);
// Writes everything, then closes.
void sendAll(int socket, const char* data, size_t size);
// Resets the connection (close with a zero linger).
void resetNow(int socket);

// A port on 127.0.0.1 where nothing listens.
quint16 closedPort();
// Open file descriptors of this process.
int openDescriptors();

}  // namespace loopback
