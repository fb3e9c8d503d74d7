#include "net/MSocketSupport.h"

#include "net/CSocket.h"

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace MSocketSupport {

namespace {

// One registered socket. Entries are found by handle and checked by serial, so an event meant
// for a closed socket never reaches a new socket that got the same descriptor.
struct Entry {
    QPointer<CSocket> owner;
    quint64 serial = 0;
    QSocketNotifier* read = nullptr;
    QSocketNotifier* write = nullptr;
    bool wantRead = false;
    bool wantWrite = false;
    bool connecting = false;
    bool dispatching = false;
    bool writePending = false;
};

// Where resolver threads post their results. The mutex keeps the target alive while a thread
// posts to it; a target that is gone (the application has ended) takes no more results.
struct Mailbox {
    std::mutex mutex;
    QObject* target = nullptr;
};

class ResolveTarget final : public QObject {
  public:
    explicit ResolveTarget(std::shared_ptr<Mailbox> mailbox)
        : QObject(QCoreApplication::instance()), mailbox_(std::move(mailbox)) {
        std::lock_guard lock(mailbox_->mutex);
        mailbox_->target = this;
    }
    ~ResolveTarget() override {
        std::lock_guard lock(mailbox_->mutex);
        mailbox_->target = nullptr;
    }

  private:
    std::shared_ptr<Mailbox> mailbox_;
};

struct Module {
    bool started = false;
    quint32 maxDatagramSize = 0;
    QObject* window = nullptr;
    std::map<int, std::unique_ptr<Entry>> sockets;
    quint64 nextSerial = 1;
    std::map<quint32, QPointer<CSocket>> resolveRequests;
    quint32 lastTask = 0;
    std::shared_ptr<Mailbox> mailbox = std::make_shared<Mailbox>();
    QPointer<ResolveTarget> resolveTarget;
    Failure lastFailure;
};

Module& module() {
    static Module m;
    return m;
}

Entry* find(int handle, quint64 serial = 0) {
    auto& sockets = module().sockets;
    const auto it = sockets.find(handle);
    if (it == sockets.end() || (serial != 0 && it->second->serial != serial)) {
        return nullptr;
    }
    return it->second.get();
}

void apply(Entry& e) {
    e.read->setEnabled(e.wantRead && !e.dispatching);
    e.write->setEnabled((e.wantWrite || e.connecting) && !e.dispatching);
}

void postWrite(int handle, quint64 serial);

// Runs one event of a socket with its notifiers off; the owner may close, destroy or reuse the
// socket inside, so the entry is looked up again afterwards.
void dispatch(int handle, quint64 serial, int event, int error) {
    Entry* e = find(handle, serial);
    if (!e || !e->owner || e->dispatching) {
        return;
    }
    const QPointer<CSocket> owner = e->owner;
    e->dispatching = true;
    apply(*e);
    try {
        owner->HandleSocketEvent(event, error);
    } catch (...) {
        // A notification handler swallows every error.
    }
    e = find(handle, serial);
    if (!e) {
        return;
    }
    e->dispatching = false;
    apply(*e);
    if (e->writePending) {
        e->writePending = false;
        postWrite(handle, serial);
    }
}

void postWrite(int handle, quint64 serial) {
    QObject* window = module().window;
    if (!window) {
        return;
    }
    QMetaObject::invokeMethod(
        window,
        [handle, serial] {
            Entry* e = find(handle, serial);
            if (!e) {
                return;
            }
            if (e->dispatching) {
                e->writePending = true;
                return;
            }
            dispatch(handle, serial, kEventWrite, 0);
        },
        Qt::QueuedConnection);
}

void onReadable(int handle, quint64 serial) {
    Entry* e = find(handle, serial);
    if (!e || e->dispatching) {
        return;
    }
    int type = 0;
    int listening = 0;
    socklen_t len = sizeof(int);
    getsockopt(handle, SOL_SOCKET, SO_TYPE, &type, &len);
    len = sizeof(int);
    getsockopt(handle, SOL_SOCKET, SO_ACCEPTCONN, &listening, &len);
    if (listening) {
        dispatch(handle, serial, kEventAccept, 0);
        return;
    }
    if (type != SOCK_STREAM) {
        dispatch(handle, serial, kEventRead, 0);
        return;
    }
    char probe = 0;
    const ssize_t n = ::recv(handle, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) {
        dispatch(handle, serial, kEventRead, 0);
    } else if (n == 0) {
        dispatch(handle, serial, kEventClose, 0);
    } else if (errno != EAGAIN && errno != EINTR) {
        dispatch(handle, serial, kEventClose, ErrorFromErrno(errno));
    }
}

void onWritable(int handle, quint64 serial) {
    Entry* e = find(handle, serial);
    if (!e || e->dispatching) {
        return;
    }
    if (e->connecting) {
        e->connecting = false;
        int error = 0;
        socklen_t len = sizeof(error);
        if (getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &len) != 0) {
            error = errno;
        }
        e->wantRead = error == 0;
        apply(*e);
        dispatch(handle, serial, kEventConnect, ErrorFromErrno(error));
        return;
    }
    e->wantWrite = false;
    apply(*e);
    dispatch(handle, serial, kEventWrite, 0);
}

// A notifier may be the sender of the signal being handled, so it goes later.
void dispose(QSocketNotifier* notifier) {
    notifier->setEnabled(false);
    notifier->deleteLater();
}

void complete(quint32 task, quint32 address, const QString& name, int error) {
    auto& requests = module().resolveRequests;
    const auto it = requests.find(task);
    if (it == requests.end()) {
        return;
    }
    const QPointer<CSocket> owner = it->second;
    requests.erase(it);
    if (!owner) {
        return;
    }
    try {
        if (error != 0) {
            owner->PostGetHostEvent(0, 0, QString(), error);
        } else {
            owner->PostGetHostEvent(task, address, name, 0);
        }
    } catch (...) {
        // As with socket events, nothing escapes to the event loop.
    }
}

void fail(int number, const char* source) {
    module().lastFailure = {number, GetErrorDescription(number), QString::fromLatin1(source)};
}

}  // namespace

quint32 InitWinsock() {
    Module& m = module();
    if (!m.started) {
        m.started = true;
        m.maxDatagramSize = kMaxUdpDatagram;
    }
    return m.maxDatagramSize;
}

void CleanupWinsock() {
    Module& m = module();
    if (m.sockets.empty() && m.started) {
        m.started = false;
        m.maxDatagramSize = 0;
    }
}

bool WinsockStarted() {
    return module().started;
}

bool RegisterSocket(int handle, CSocket* owner) {
    Module& m = module();
    if (handle < 0 || !owner || m.sockets.count(handle)) {
        fail(10022, "MSocketSupport.RegisterSocket");
        return false;
    }
    if (!m.window) {
        m.window = new QObject;
        m.window->setObjectName(QStringLiteral("SOCKET_WINDOW"));
    }
    auto entry = std::make_unique<Entry>();
    entry->owner = owner;
    entry->serial = m.nextSerial++;
    const quint64 serial = entry->serial;
    entry->read = new QSocketNotifier(handle, QSocketNotifier::Read, m.window);
    entry->write = new QSocketNotifier(handle, QSocketNotifier::Write, m.window);
    QObject::connect(entry->read, &QSocketNotifier::activated, m.window,
                     [handle, serial] { onReadable(handle, serial); });
    QObject::connect(entry->write, &QSocketNotifier::activated, m.window,
                     [handle, serial] { onWritable(handle, serial); });
    apply(*entry);
    m.sockets.emplace(handle, std::move(entry));
    return true;
}

bool UnregisterSocket(int handle) {
    Module& m = module();
    const auto it = m.sockets.find(handle);
    if (handle < 0 || it == m.sockets.end()) {
        return false;
    }
    dispose(it->second->read);
    dispose(it->second->write);
    m.sockets.erase(it);
    if (m.sockets.empty() && m.window) {
        // Posted events on the window die with it; it may be running one of them right now.
        m.window->deleteLater();
        m.window = nullptr;
    }
    return true;
}

bool IsRegistered(int handle) {
    return find(handle) != nullptr;
}

int RegisteredSockets() {
    return int(module().sockets.size());
}

bool SocketWindowExists() {
    return module().window != nullptr;
}

void WatchRead(int handle, bool on) {
    if (Entry* e = find(handle)) {
        e->wantRead = on;
        apply(*e);
    }
}

void WatchConnect(int handle) {
    if (Entry* e = find(handle)) {
        e->connecting = true;
        e->wantRead = false;
        apply(*e);
    }
}

void WatchWrite(int handle) {
    if (Entry* e = find(handle)) {
        e->wantWrite = true;
        apply(*e);
    }
}

void PostWriteEvent(int handle) {
    if (Entry* e = find(handle)) {
        postWrite(handle, e->serial);
    }
}

quint32 ResolveHost(const QString& host, CSocket* owner) {
    Module& m = module();
    if (!QCoreApplication::instance()) {
        fail(10091, "MSocketSupport.ResolveHost");
        return 0;
    }
    if (!m.resolveTarget) {
        m.resolveTarget = new ResolveTarget(m.mailbox);
    }
    // A newer request replaces the owner's older one.
    for (auto it = m.resolveRequests.begin(); it != m.resolveRequests.end();) {
        it = (it->second == owner) ? m.resolveRequests.erase(it) : std::next(it);
    }
    quint32 task = ++m.lastTask;
    if (task == 0) {
        task = ++m.lastTask;
    }
    const QByteArray name = host.toLatin1();
    std::shared_ptr<Mailbox> mailbox = m.mailbox;
    try {
        std::thread([task, name, mailbox] {
            addrinfo hints{};
            hints.ai_family = AF_INET;
            hints.ai_socktype = SOCK_STREAM;
            hints.ai_flags = AI_CANONNAME;
            addrinfo* result = nullptr;
            const int eai = ::getaddrinfo(name.constData(), nullptr, &hints, &result);
            const int error = ErrorFromResolver(eai, errno);
            quint32 address = 0;
            QString canonical = QString::fromLatin1(name);
            if (eai == 0 && result) {
                address = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr.s_addr;
                if (result->ai_canonname && *result->ai_canonname) {
                    canonical = QString::fromLatin1(result->ai_canonname);
                }
            }
            if (result) {
                ::freeaddrinfo(result);
            }
            std::lock_guard lock(mailbox->mutex);
            if (mailbox->target) {
                QMetaObject::invokeMethod(
                    mailbox->target,
                    [task, address, canonical, error] {
                        complete(task, address, canonical, error);
                    },
                    Qt::QueuedConnection);
            }
        }).detach();
    } catch (const std::system_error& e) {
        fail(ErrorFromErrno(e.code().value()), "MSocketSupport.ResolveHost");
        return 0;
    }
    m.resolveRequests[task] = owner;
    return task;
}

int PendingResolutions() {
    return int(module().resolveRequests.size());
}

Failure LastFailure() {
    return module().lastFailure;
}

}  // namespace MSocketSupport
