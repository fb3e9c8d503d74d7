#pragma once

#include "net/SocketErrors.h"

#include <QString>
#include <QtGlobal>

class CSocket;

// The process-wide half of the socket layer, on the user-interface thread: the registry of
// sockets and their owners, readiness notifications turned into socket events, asynchronous
// host resolution and the error texts.
//
// Readiness comes from a read and a write QSocketNotifier per registered socket, owned by a
// hidden QObject (the "socket window") that exists while any socket is registered. A notifier is
// enabled only while its readiness means something (an unconnected stream socket always polls
// readable). Events of one socket are never delivered inside another event of that socket: the
// socket's notifiers are off while its event runs, and a write event posted meanwhile waits.
namespace MSocketSupport {

// Event codes delivered to CSocket::HandleSocketEvent.
inline constexpr int kEventRead = 1;
inline constexpr int kEventWrite = 2;
inline constexpr int kEventAccept = 8;
inline constexpr int kEventConnect = 16;
inline constexpr int kEventClose = 32;

// The largest UDP payload over IPv4.
inline constexpr quint32 kMaxUdpDatagram = 65507;

// There is nothing to start on Linux; the started flag and the size keep the lifecycle.
quint32 InitWinsock();
void CleanupWinsock();
bool WinsockStarted();

// Adds a socket and its owner (not owned); false when the socket cannot be watched.
bool RegisterSocket(int handle, CSocket* owner);
// Removes a socket; false when it was not registered. The last one takes the window with it.
bool UnregisterSocket(int handle);
bool IsRegistered(int handle);
int RegisteredSockets();
bool SocketWindowExists();

// What the socket's owner waits for. Read covers data, the peer's close and, on a listening
// socket, connection requests; a connect wait ends with one connect event (error from
// SO_ERROR); a write wait ends with one write event.
void WatchRead(int handle, bool on);
void WatchConnect(int handle);
void WatchWrite(int handle);
// Posts a write event for the socket, delivered from the event loop.
void PostWriteEvent(int handle);

// Starts resolving a host name to its first IPv4 address on a worker thread; the result reaches
// owner->PostGetHostEvent on this thread. Returns the task handle, 0 when it cannot start. A
// newer request of the same owner replaces an older one, whose result is then dropped, as is the
// result for an owner that no longer exists.
quint32 ResolveHost(const QString& host, CSocket* owner);
int PendingResolutions();

// The last failure of RegisterSocket or ResolveHost: number, text and source.
struct Failure {
    int number = 0;
    QString description;
    QString source;
};
Failure LastFailure();

}  // namespace MSocketSupport
