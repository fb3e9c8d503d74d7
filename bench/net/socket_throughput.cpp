// Loopback throughput of a CSocket pair against a plain blocking send/recv pair, in one run:
// `socket_throughput [MiB]` (default 256), best of three rounds each. One side sends 64 KiB SendData calls, each after the
// previous one completed; the other takes everything in OnDataArrival.

#include "net/CSocket.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

constexpr qint64 kChunk = 64 * 1024;

double plainPair(qint64 total) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
    socklen_t len = sizeof(sa);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&sa), &len);
    ::listen(listener, 1);
    QElapsedTimer clock;
    clock.start();
    std::thread sender([&] {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        ::connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
        const std::vector<char> chunk(kChunk, 'p');
        for (qint64 sent = 0; sent < total;) {
            const ssize_t n = ::send(s, chunk.data(), chunk.size(), 0);
            if (n <= 0) {
                break;
            }
            sent += n;
        }
        ::close(s);
    });
    const int r = ::accept(listener, nullptr, nullptr);
    std::vector<char> buffer(1 << 20);
    qint64 received = 0;
    ssize_t n;
    while ((n = ::recv(r, buffer.data(), buffer.size(), 0)) > 0) {
        received += n;
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    sender.join();
    ::close(r);
    ::close(listener);
    return received / seconds / 1e6;
}

double socketPair(qint64 total) {
    CSocket listener;
    listener.Listen();
    CSocket receiver;
    CSocket sender;
    qint64 received = 0;
    qint64 queued = 0;
    const QByteArray chunk(kChunk, 's');
    QObject::connect(&listener, &CSocket::OnConnectionRequest,
                     [&](qint32 id) { receiver.Accept(id); });
    QObject::connect(&receiver, &CSocket::OnDataArrival, [&] {
        net::SocketValue data;
        receiver.GetData(data, net::VarType::ByteArray);
        received += std::get<QByteArray>(data).size();
        if (received >= total) {
            QCoreApplication::quit();
        }
    });
    const auto sendNext = [&] {
        if (queued < total) {
            queued += kChunk;
            sender.SendData(chunk);
        }
    };
    QObject::connect(&sender, &CSocket::OnConnect, sendNext);
    QObject::connect(&sender, &CSocket::OnSendComplete, sendNext);
    QElapsedTimer clock;
    clock.start();
    sender.Connect(QStringLiteral("127.0.0.1"), listener.LocalPort());
    QCoreApplication::exec();
    return received / (clock.nsecsElapsed() / 1e9) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const qint64 mib = argc > 1 ? std::atoll(argv[1]) : 256;
    const qint64 total = mib * 1024 * 1024;
    // The machine may be busy: each side's best of three alternating rounds.
    double plain = 0;
    double ours = 0;
    for (int round = 0; round < 3; ++round) {
        plain = std::max(plain, plainPair(total));
        ours = std::max(ours, socketPair(total));
    }
    std::printf("%lld MiB over loopback\n", static_cast<long long>(mib));
    std::printf("plain blocking send/recv: %8.1f MB/s\n", plain);
    std::printf("CSocket pair:             %8.1f MB/s\n", ours);
    std::printf("ratio: %.2f (target at least 0.50)\n", ours / plain);
    return 0;
}
