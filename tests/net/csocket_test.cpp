#include "net/CSocket.h"
#include "net/MSocketSupport.h"
#include "tests/net/loopback_peer.h"

#include <QTest>

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <memory>
#include <string>
#include <vector>

using loopback::TcpPeer;
using net::SocketValue;
using net::VarType;

namespace {

constexpr int kWaitMs = 20000;

// Every event of one socket, in order, as text ("connect", "data 5", "error 10061 ...").
struct Events {
    std::vector<std::string> log;
    int lastError = 0;
    QString lastErrorText;
    QString lastErrorSource;

    void attach(CSocket* s) {
        QObject::connect(s, &CSocket::OnConnect, [this] { log.push_back("connect"); });
        QObject::connect(s, &CSocket::OnClose, [this] { log.push_back("close"); });
        QObject::connect(s, &CSocket::OnSendComplete, [this] { log.push_back("sent"); });
        QObject::connect(s, &CSocket::OnDataArrival,
                         [this](qint32 n) { log.push_back("data " + std::to_string(n)); });
        QObject::connect(s, &CSocket::OnError,
                         [this](qint16 number, const QString& text, qint32, const QString& source,
                                const QString&, qint32, bool*) {
                             lastError = number;
                             lastErrorText = text;
                             lastErrorSource = source;
                             log.push_back("error " + std::to_string(number));
                         });
    }
    bool has(const std::string& entry) const {
        return std::find(log.begin(), log.end(), entry) != log.end();
    }
    bool waitFor(const std::string& entry) {
        return QTest::qWaitFor([&] { return has(entry); }, kWaitMs);
    }
};

bool waitState(const CSocket& s, qint32 state) {
    return QTest::qWaitFor([&] { return s.State() == state; }, kWaitMs);
}

// Lets queued events and deferred deletions run.
void settle() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

}  // namespace

TEST(CSocketTcp, ConnectsByAddressAndMovesEveryDataType) {
    TcpPeer peer(loopback::echoUntilEof);
    CSocket s;
    Events ev;
    ev.attach(&s);
    s.Connect(QStringLiteral("127.0.0.1"), peer.port());
    EXPECT_EQ(s.State(), CSocket::sckConnecting);
    ASSERT_TRUE(ev.waitFor("connect"));
    EXPECT_EQ(s.State(), CSocket::sckConnected);
    EXPECT_EQ(s.RemoteHostIP(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(s.LocalIP(), QStringLiteral("127.0.0.1"));
    EXPECT_GT(s.LocalPort(), 0);
    EXPECT_FALSE(s.LocalHostName().isEmpty());

    const std::vector<std::pair<SocketValue, VarType>> values = {
        {qint16(-2), VarType::Integer},
        {qint32(70000), VarType::Long},
        {1.5f, VarType::Single},
        {2.25, VarType::Double},
        {net::Currency{123456}, VarType::Currency},
        {net::Date{45123.25}, VarType::Date},
        {QStringLiteral("hello"), VarType::String},
        {true, VarType::Boolean},
        {quint8(9), VarType::Byte},
        {QByteArray("\x00\x01\x02", 3), VarType::ByteArray},
    };
    for (const auto& [value, type] : values) {
        ev.log.clear();
        const qint64 size = net::toBytes(value).size();
        s.SendData(value);
        ASSERT_TRUE(ev.waitFor("sent"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return s.BytesReceived() >= size; }, kWaitMs));
        SocketValue peeked;
        s.PeekData(peeked, type);
        EXPECT_EQ(peeked, value);
        SocketValue got;
        s.GetData(got, type);
        EXPECT_EQ(got, value) << int(type);
        EXPECT_EQ(s.BytesReceived(), 0);
    }

    // Arrivals report the whole buffer; maxLen takes a part, a larger one takes everything.
    ev.log.clear();
    s.SendData(QStringLiteral("abcdef"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.BytesReceived() == 6; }, kWaitMs));
    s.SendData(QStringLiteral("gh"));
    ASSERT_TRUE(ev.waitFor("data 8"));
    SocketValue part;
    s.GetData(part, VarType::String, 3);
    EXPECT_EQ(part, SocketValue(QStringLiteral("abc")));
    EXPECT_EQ(s.BytesReceived(), 5);
    SocketValue rest;
    s.GetData(rest, std::nullopt, 100);
    EXPECT_EQ(rest, SocketValue(QStringLiteral("defgh")));
    SocketValue untouched = qint32(42);
    s.GetData(untouched);
    EXPECT_EQ(untouched, SocketValue(qint32(42)));

    // Our close waits for the peer's: the echo peer closes once it sees the end of our data.
    ev.log.clear();
    s.CloseSocket();
    EXPECT_EQ(s.State(), CSocket::sckClosing);
    EXPECT_FALSE(ev.has("close"));
    ASSERT_TRUE(ev.waitFor("close"));
    EXPECT_EQ(s.State(), CSocket::sckClosed);
    EXPECT_EQ(s.SocketHandle(), -1);
}

TEST(CSocketTcp, ConnectsByNameAfterResolvingIt) {
    TcpPeer peer(loopback::echoUntilEof);
    CSocket s;
    Events ev;
    ev.attach(&s);
    s.Connect(QStringLiteral("localhost"), peer.port());
    EXPECT_EQ(s.State(), CSocket::sckResolvingHost);
    EXPECT_EQ(s.PendingAction(), CSocket::kPendingConnect);
    ASSERT_TRUE(ev.waitFor("connect"));
    EXPECT_EQ(s.RemoteHostIP(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(s.State(), CSocket::sckConnected);
}

TEST(CSocketTcp, FailuresArriveAsErrors) {
    {
        CSocket s;
        Events ev;
        ev.attach(&s);
        s.Connect(QStringLiteral("127.0.0.1"), loopback::closedPort());
        ASSERT_TRUE(ev.waitFor("error 10061"));
        EXPECT_EQ(ev.lastErrorText, QStringLiteral("Connection refused."));
        EXPECT_EQ(ev.lastErrorSource, QString());
        EXPECT_EQ(s.State(), CSocket::sckError);
        EXPECT_EQ(s.SocketHandle(), -1);
    }
    {
        CSocket s;
        Events ev;
        ev.attach(&s);
        s.Connect(QStringLiteral("no-such-host.invalid"), 80);
        ASSERT_TRUE(ev.waitFor("error 11001"));
        EXPECT_EQ(ev.lastErrorText, QStringLiteral("Host not found."));
        EXPECT_EQ(s.State(), CSocket::sckError);
    }
    {
        TcpPeer peer(loopback::resetNow);
        CSocket s;
        Events ev;
        ev.attach(&s);
        s.Connect(QStringLiteral("127.0.0.1"), peer.port());
        ASSERT_TRUE(ev.waitFor("error 10054"));
        EXPECT_EQ(ev.lastErrorText, QStringLiteral("Connection reset by peer."));
        EXPECT_FALSE(ev.has("close"));
    }
}

TEST(CSocketTcp, BadArgumentsHaveNoEffect) {
    CSocket s;
    Events ev;
    ev.attach(&s);
    s.Connect(QStringLiteral("127.0.0.1"), 70000);
    s.Connect(QStringLiteral("127.0.0.1"), -1);
    EXPECT_EQ(s.State(), CSocket::sckClosed);
    EXPECT_FALSE(s.Bind(65536, QString()));
    EXPECT_FALSE(s.Bind(0, QStringLiteral("300.1.2.3")));
    s.SendData(QStringLiteral("nobody listens"));
    SocketValue v;
    s.GetData(v);
    EXPECT_EQ(v.index(), 0u);
    settle();
    EXPECT_TRUE(ev.log.empty());
    // The protocol changes only while there is no socket.
    EXPECT_NE(s.SocketHandle(), -1);
    s.setProtocol(CSocket::sckUDPProtocol);
    EXPECT_EQ(s.Protocol(), CSocket::sckTCPProtocol);
    s.CloseSocket();
    s.setProtocol(CSocket::sckUDPProtocol);
    EXPECT_EQ(s.Protocol(), CSocket::sckUDPProtocol);
}

TEST(CSocketTcp, PeerCloseDeliversTheLastBytesThenDropsWhatWasNotTaken) {
    static const char kText[] = "last words";
    TcpPeer peer([](int fd) { loopback::sendAll(fd, kText, sizeof(kText) - 1); });
    CSocket s;
    Events ev;
    ev.attach(&s);
    s.Connect(QStringLiteral("127.0.0.1"), peer.port());
    ASSERT_TRUE(ev.waitFor("close"));
    EXPECT_TRUE(ev.has("data 10"));
    EXPECT_EQ(ev.log.back(), "close");
    SocketValue v;
    s.GetData(v);
    EXPECT_EQ(v.index(), 0u);
    EXPECT_EQ(s.State(), CSocket::sckClosed);
}

TEST(CSocketTcp, ListensAndAdoptsConnections) {
    CSocket listener;
    listener.Listen();
    ASSERT_EQ(listener.State(), CSocket::sckListening);
    ASSERT_GT(listener.LocalPort(), 0);

    CSocket served;
    Events servedEv;
    servedEv.attach(&served);
    QObject::connect(&listener, &CSocket::OnConnectionRequest,
                     [&](qint32 id) { served.Accept(id); });
    CSocket client;
    Events clientEv;
    clientEv.attach(&client);
    client.Connect(QStringLiteral("127.0.0.1"), listener.LocalPort());
    ASSERT_TRUE(clientEv.waitFor("connect"));
    ASSERT_TRUE(waitState(served, CSocket::sckConnected));
    EXPECT_EQ(served.RemotePort(), client.LocalPort());
    EXPECT_EQ(served.RemoteHost(), QStringLiteral("127.0.0.1"));

    client.SendData(QStringLiteral("ping"));
    ASSERT_TRUE(servedEv.waitFor("data 4"));
    served.SendData(QStringLiteral("pong"));
    ASSERT_TRUE(clientEv.waitFor("data 4"));
    SocketValue v;
    client.GetData(v);
    EXPECT_EQ(v, SocketValue(QStringLiteral("pong")));

    // Closing from the accepting side: the client hears the close, then ours completes.
    served.CloseSocket();
    ASSERT_TRUE(clientEv.waitFor("close"));
    ASSERT_TRUE(servedEv.waitFor("close"));
}

TEST(CSocketTcp, ConnectionsNobodyAdoptsAreClosed) {
    CSocket listener;
    listener.Listen();
    int requests = 0;
    QObject::connect(&listener, &CSocket::OnConnectionRequest, [&](qint32) { ++requests; });
    settle();
    const int before = loopback::openDescriptors();
    {
        CSocket client;
        Events ev;
        ev.attach(&client);
        client.Connect(QStringLiteral("127.0.0.1"), listener.LocalPort());
        ASSERT_TRUE(QTest::qWaitFor([&] { return requests == 1; }, kWaitMs));
        ASSERT_TRUE(ev.waitFor("close"));
    }
    settle();
    EXPECT_EQ(loopback::openDescriptors(), before);
}

TEST(CSocketTcp, ANewSendReplacesTheUnsentRemainder) {
    // The peer reads nothing until we close, so a large send stays partly queued.
    TcpPeer peer(loopback::readUntilEof);
    CSocket s;
    Events ev;
    ev.attach(&s);
    s.Connect(QStringLiteral("127.0.0.1"), peer.port());
    ASSERT_TRUE(ev.waitFor("connect"));
    s.SendData(QByteArray(64 * 1024 * 1024, 'x'));
    ASSERT_GT(s.PendingSendBytes(), 0);
    s.SendData(QStringLiteral("z"));
    EXPECT_EQ(s.PendingSendBytes(), 0);
    ASSERT_TRUE(ev.waitFor("sent"));
}

TEST(CSocketUdp, RoundTripsByAddressAndByName) {
    loopback::UdpEcho echo;
    for (const QString& host : {QStringLiteral("127.0.0.1"), QStringLiteral("localhost")}) {
        CSocket s;
        s.setProtocol(CSocket::sckUDPProtocol);
        Events ev;
        ev.attach(&s);
        s.setRemoteHost(host);
        s.setRemotePort(echo.port());
        s.SendData(QStringLiteral("datagram"));
        if (host == QStringLiteral("localhost")) {
            EXPECT_EQ(s.PendingAction(), CSocket::kPendingSend);
        }
        ASSERT_TRUE(ev.waitFor("data 8")) << host.toStdString();
        EXPECT_TRUE(ev.has("sent"));
        EXPECT_EQ(s.RemotePort(), echo.port());
        EXPECT_EQ(s.RemoteHostIP(), QStringLiteral("127.0.0.1"));
        EXPECT_EQ(s.MaxDatagramSize(), 65507u);
        SocketValue v;
        s.GetData(v);
        EXPECT_EQ(v, SocketValue(QStringLiteral("datagram")));
    }
}

TEST(CSocketUdp, BroadcastFollowsTheRemoteAddress) {
    CSocket s;
    s.setProtocol(CSocket::sckUDPProtocol);
    const auto option = [&] {
        int on = 0;
        socklen_t len = sizeof(on);
        getsockopt(s.SocketHandle(), SOL_SOCKET, SO_BROADCAST, &on, &len);
        return on;
    };
    s.setRemoteHost(QStringLiteral("127.255.255.255"));
    EXPECT_TRUE(s.Broadcast());
    EXPECT_EQ(option(), 1);
    s.setRemoteHost(QStringLiteral("127.0.0.1"));
    EXPECT_FALSE(s.Broadcast());
    EXPECT_EQ(option(), 0);
    s.setRemoteHost(QStringLiteral("localhost"));
    EXPECT_EQ(s.RemoteHostIP(), QStringLiteral("127.0.0.1"));
}

// The owner may do anything from inside any of its handlers.
TEST(CSocketReentrancy, OwnerMayDestroyCloseOrReconnectInsideHandlers) {
    TcpPeer peer(
        [](int fd) {
            loopback::sendAll(fd, "hello", 5);
            loopback::readUntilEof(fd);
        },
        8);
    const auto connectNew = [&] {
        auto* s = new CSocket;
        s->Connect(QStringLiteral("127.0.0.1"), peer.port());
        return s;
    };
    {
        QPointer<CSocket> s = connectNew();
        QObject::connect(s.data(), &CSocket::OnConnect, s.data(), [&] { delete s.data(); });
        ASSERT_TRUE(QTest::qWaitFor([&] { return s.isNull(); }, kWaitMs));
    }
    {
        QPointer<CSocket> s = connectNew();
        QObject::connect(s.data(), &CSocket::OnDataArrival, s.data(), [&] { delete s.data(); });
        ASSERT_TRUE(QTest::qWaitFor([&] { return s.isNull(); }, kWaitMs));
    }
    {
        QPointer<CSocket> s = connectNew();
        QObject::connect(s.data(), &CSocket::OnConnect, s.data(),
                         [&] { s->SendData(QStringLiteral("x")); });
        QObject::connect(s.data(), &CSocket::OnSendComplete, s.data(), [&] { delete s.data(); });
        ASSERT_TRUE(QTest::qWaitFor([&] { return s.isNull(); }, kWaitMs));
    }
    {
        // Closing inside an arrival, then a new connect once the close has come.
        std::unique_ptr<CSocket> s(connectNew());
        int connects = 0;
        QObject::connect(s.get(), &CSocket::OnConnect, [&] { ++connects; });
        QObject::connect(s.get(), &CSocket::OnDataArrival, [&] { s->CloseSocket(); });
        QObject::connect(s.get(), &CSocket::OnClose, [&] {
            if (connects == 1) {
                s->Connect();
            }
        });
        ASSERT_TRUE(QTest::qWaitFor([&] { return connects == 2; }, kWaitMs));
    }
    {
        // An error handler that reconnects elsewhere, and a close handler that deletes.
        auto* s = new CSocket;
        QPointer<CSocket> alive(s);
        QObject::connect(s, &CSocket::OnError, s,
                         [&] { s->Connect(QStringLiteral("127.0.0.1"), peer.port()); });
        QObject::connect(s, &CSocket::OnDataArrival, s, [&] { s->CloseSocket(); });
        QObject::connect(s, &CSocket::OnClose, s, [&] { delete s; });
        s->Connect(QStringLiteral("127.0.0.1"), loopback::closedPort());
        ASSERT_TRUE(QTest::qWaitFor([&] { return alive.isNull(); }, kWaitMs));
    }
    {
        // Deleted while its name is being resolved: the late result is dropped.
        QPointer<CSocket> s = new CSocket;
        s->Connect(QStringLiteral("localhost"), peer.port());
        delete s.data();
        ASSERT_TRUE(
            QTest::qWaitFor([] { return MSocketSupport::PendingResolutions() == 0; }, kWaitMs));
        settle();
    }
}

TEST(CSocketReentrancy, ANewerConnectReplacesAPendingResolution) {
    TcpPeer peer(loopback::readUntilEof);
    CSocket s;
    Events ev;
    ev.attach(&s);
    s.Connect(QStringLiteral("no-such-host.invalid"), peer.port());
    s.Connect(QStringLiteral("localhost"));
    ASSERT_TRUE(ev.waitFor("connect"));
    QTest::qWait(200);
    settle();
    EXPECT_EQ(ev.log, std::vector<std::string>{"connect"});
    s.CloseSocket();
    ASSERT_TRUE(ev.waitFor("close"));
}

TEST(CSocketLayer, TheWindowLivesWhileSocketsAreRegistered) {
    settle();
    ASSERT_EQ(MSocketSupport::RegisteredSockets(), 0);
    EXPECT_FALSE(MSocketSupport::SocketWindowExists());
    {
        auto a = std::make_unique<CSocket>();
        CSocket b;
        a->Listen();
        b.Listen();
        EXPECT_EQ(MSocketSupport::RegisteredSockets(), 2);
        const int handle = a->SocketHandle();
        a.reset();
        EXPECT_TRUE(MSocketSupport::SocketWindowExists());
        // A write event for a socket that is gone goes nowhere.
        MSocketSupport::PostWriteEvent(handle);
        EXPECT_FALSE(MSocketSupport::UnregisterSocket(handle));
        settle();
    }
    EXPECT_FALSE(MSocketSupport::SocketWindowExists());
    EXPECT_FALSE(MSocketSupport::WinsockStarted());
}

TEST(CSocketBadPeers, NoLeaksAndBoundedMemory) {
    settle();
    const int before = loopback::openDescriptors();
    {
        // A peer that sends 100 MB to an owner that takes its data as it comes.
        constexpr size_t kSize = 100u * 1024 * 1024;
        TcpPeer peer([](int fd) {
            const std::string block(1 << 20, 'n');
            for (size_t sent = 0; sent < kSize; sent += block.size()) {
                loopback::sendAll(fd, block.data(), block.size());
            }
        });
        CSocket s;
        Events ev;
        ev.attach(&s);
        qint64 total = 0;
        qint32 largest = 0;
        QObject::connect(&s, &CSocket::OnDataArrival, [&](qint32 n) {
            largest = std::max(largest, n);
            total += s.TakeAll().size();
        });
        s.Connect(QStringLiteral("127.0.0.1"), peer.port());
        ASSERT_TRUE(QTest::qWaitFor([&] { return ev.has("close"); }, 120000));
        EXPECT_EQ(total, qint64(kSize));
        EXPECT_LE(largest, 64 * 1024 * 1024);
    }
    {
        // A peer that never answers: we give up and close.
        TcpPeer peer(loopback::readUntilEof);
        CSocket s;
        Events ev;
        ev.attach(&s);
        s.Connect(QStringLiteral("127.0.0.1"), peer.port());
        ASSERT_TRUE(ev.waitFor("connect"));
        s.SendData(QStringLiteral("GET / HTTP/1.0\n\n"));
        QTest::qWait(100);
        EXPECT_EQ(s.BytesReceived(), 0);
        s.CloseSocket();
        ASSERT_TRUE(ev.waitFor("close"));
    }
    {
        // A thousand connect-close cycles in a row.
        TcpPeer peer(loopback::readUntilEof, 1000);
        CSocket s;
        int closes = 0;
        QObject::connect(&s, &CSocket::OnConnect, [&] { s.CloseSocket(); });
        QObject::connect(&s, &CSocket::OnClose, [&] {
            if (++closes < 1000) {
                s.Connect();
            }
        });
        s.Connect(QStringLiteral("127.0.0.1"), peer.port());
        ASSERT_TRUE(QTest::qWaitFor([&] { return closes == 1000; }, 120000));
    }
    {
        // Failed resolutions and refusals.
        for (int i = 0; i < 20; ++i) {
            CSocket s;
            Events ev;
            ev.attach(&s);
            s.Connect(i % 2 ? QStringLiteral("no-such-host.invalid") : QStringLiteral("127.0.0.1"),
                      loopback::closedPort());
            ASSERT_TRUE(QTest::qWaitFor([&] { return ev.lastError != 0; }, kWaitMs));
        }
    }
    ASSERT_TRUE(QTest::qWaitFor([] { return MSocketSupport::PendingResolutions() == 0; }, kWaitMs));
    // Resolver threads finish on their own; give them a moment to let go of their descriptors.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            settle();
            return loopback::openDescriptors() == before;
        },
        kWaitMs));
}
