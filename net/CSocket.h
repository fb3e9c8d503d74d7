#pragma once

#include "net/SocketData.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>

// An event-driven TCP/UDP socket (IPv4) for the user-interface thread. The owner sets the
// properties, calls Connect, SendData, GetData and the rest, and hears back through the signals,
// which are emitted synchronously from the socket layer's event handling: a handler may call
// back into the object, close it, connect it again or delete it. No operation throws; a call
// that fails simply has no effect, and failures seen later arrive as OnError.
class CSocket final : public QObject {
    Q_OBJECT

  public:
    enum Protocols : qint32 { sckTCPProtocol = 0, sckUDPProtocol = 1 };
    enum States : qint32 {
        sckClosed = 0,
        sckListening = 2,
        sckResolvingHost = 4,
        sckHostResolved = 5,
        sckConnecting = 6,
        sckConnected = 7,
        sckClosing = 8,
        sckError = 9,
    };
    // What a finished host resolution leads to.
    enum PendingActions : qint32 { kPendingConnect = 0, kPendingSend = 1 };

    explicit CSocket(QObject* parent = nullptr);
    ~CSocket() override;

    // Connects as a TCP client to a dotted address or a name (resolved first). Empty host and
    // missing port keep the properties. A port outside 0..65535 makes the call do nothing.
    void Connect(const QString& strRemoteHost = QString(),
                 std::optional<qint64> lngRemotePort = std::nullopt);
    // Replaces the unsent remainder of an earlier call with the value's bytes and sends them.
    void SendData(const net::SocketValue& varData);
    // Takes received bytes (the first maxLen when 0 < maxLen <= buffered, else all) into varData
    // as the type asked for, or as text without a type. An empty buffer leaves varData alone.
    void GetData(net::SocketValue& varData, std::optional<net::VarType> varType = std::nullopt,
                 qint64 maxLen = 0);
    // As GetData, leaving the bytes buffered.
    void PeekData(net::SocketValue& varData, std::optional<net::VarType> varType = std::nullopt,
                  qint64 maxLen = 0);
    // Takes every buffered byte without copying them.
    QByteArray TakeAll();
    // Connected: shuts down the sending side and waits for the peer's close (then OnClose).
    // Otherwise closes at once, without an event.
    void CloseSocket();
    bool Bind(qint64 lngLocalPort, const QString& strLocalIP);
    void Listen();
    // Adopts a connection accepted by a listening socket (OnConnectionRequest's requestID).
    void Accept(qint32 requestID);
    // Creates and registers the socket for the current protocol; -1 on failure.
    int vbSocket();

    // Called by the socket layer.
    void PostGetHostEvent(quint32 taskHandle, quint32 address, const QString& name, int error);
    void HandleSocketEvent(int event, int error);

    qint32 State() const { return state_; }
    int SocketHandle() const { return socket_; }
    qint32 PendingAction() const { return pendingAction_; }
    qint32 BytesReceived() const { return bytesReceived_; }
    const QString& RemoteHostIP() const { return remoteHostIP_; }
    const QString& LocalIP() const { return localIP_; }
    const QString& LocalHostName() const { return localHostName_; }
    qint64 RemotePort() const { return remotePort_; }
    void setRemotePort(qint64 port) { remotePort_ = port; }
    qint64 LocalPort() const { return localPort_; }
    void setLocalPort(qint64 port) { localPort_ = port; }
    const QString& RemoteHost() const { return remoteHost_; }
    void setRemoteHost(const QString& host);
    qint32 Protocol() const { return protocol_; }
    void setProtocol(qint32 protocol);
    quint32 MaxDatagramSize() const { return maxDatagramSize_; }
    bool Broadcast() const { return broadcast_; }
    // Bytes waiting to be sent.
    qint64 PendingSendBytes() const { return sendBuffer_.size(); }

  Q_SIGNALS:
    void OnClose();
    void OnConnect();
    void OnConnectionRequest(qint32 requestID);
    void OnDataArrival(qint32 bytesTotal);
    // Scode and HelpContext are always 0, HelpFile empty; CancelDisplay is not read back.
    void OnError(qint16 Number, const QString& Description, qint32 Scode, const QString& source,
                 const QString& HelpFile, qint32 HelpContext, bool* CancelDisplay);
    void OnSendComplete();
    void OnSendProgress(qint32 bytesSent, qint32 bytesRemaining);

  private:
    bool EnsureSocket();
    void ReadBufferSizes();
    void DestroySocket();
    qint64 ReceiveIntoBuffer();
    void SendBufferedData();
    void TakeFromBuffer(net::SocketValue& varData, std::optional<net::VarType> varType,
                        qint64 maxLen, bool remove);
    // Starts a connect to the dotted address; returns 0 or the error number.
    int StartConnect(const QString& address);
    void RaiseError(int number, const QString& source);
    void ReadLocalAddress();

    qint32 pendingAction_ = kPendingConnect;
    qint32 protocol_ = sckTCPProtocol;
    qint32 state_ = sckClosed;
    qint32 bytesReceived_ = 0;
    QString localHostName_;
    QString localIP_;
    qint64 localPort_ = 0;
    QString remoteHost_;
    QString remoteHostIP_;
    qint64 remotePort_ = 0;
    int socket_ = -1;
    quint32 resolveTask_ = 0;
    QByteArray sendBuffer_;
    QByteArray receiveBuffer_;
    qint32 sendSize_ = 0;
    qint32 receiveSize_ = 0;
    quint32 maxDatagramSize_ = 0;
    bool bound_ = false;
    bool sending_ = false;
    bool broadcast_ = false;
};
