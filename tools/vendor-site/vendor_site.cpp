#include "tools/vendor-site/vendor_site.h"

#include "tools/vendor-site/news_page.h"
#include "tools/vendor-site/tone_encoder.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <memory>

namespace vendor_site {

namespace {

constexpr qsizetype kMaxHeadBytes = 16 * 1024;
// Radio servers send a burst on connect so the player starts at once, then keep real time.
constexpr int kBurstMs = 1000;
constexpr int kPumpMs = 50;
constexpr qint64 kMaxUnsentBytes = 512 * 1024;
// Bytes of audio between two metadata blocks, for listeners that ask for them.
constexpr int kMetaInterval = 8192;

QByteArray reasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 301:
            return "Moved Permanently";
        case 400:
            return "Bad Request";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 500:
            return "Internal Server Error";
        default:
            return "Error";
    }
}

QByteArray statusLine(const Request& request, int status) {
    const QByteArray version = request.version == "HTTP/1.0" ? "HTTP/1.0" : "HTTP/1.1";
    return version + ' ' + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
}

// The metadata block a radio server puts between pieces of audio: a length byte in units of 16,
// then "StreamTitle='...';" padded with zeros. An empty block (one zero byte) keeps the title.
QByteArray metadataBlock(const QString& title) {
    if (title.isNull()) {
        return QByteArray(1, '\0');
    }
    QByteArray text = "StreamTitle='" + title.toUtf8().left(4000) + "';";
    const qsizetype units = (text.size() + 15) / 16;
    text.resize(units * 16, '\0');
    return char(units) + text;
}

// Sends the tone to one listener: a frame-sized piece whenever real time has moved on, with the
// current title every kMetaInterval bytes when the listener asked for metadata.
class ToneStream final : public QObject {
  public:
    ToneStream(QTcpSocket* socket, std::function<QString()> title)
        : QObject(socket), socket_(socket), title_(std::move(title)) {
        clock_.start();
        connect(&timer_, &QTimer::timeout, this, &ToneStream::pump);
        timer_.start(kPumpMs);
        pump();
    }

  private:
    void pump() {
        if (socket_->state() != QAbstractSocket::ConnectedState) {
            timer_.stop();
            return;
        }
        if (socket_->bytesToWrite() > kMaxUnsentBytes) {
            return;
        }
        const long long due = (clock_.elapsed() + kBurstMs) * ToneEncoder::kSampleRate / 1000;
        while (encoder_.samplesDone() < due) {
            write(encoder_.encode(ToneEncoder::kFrameSamples));
        }
    }

    void write(QByteArray audio) {
        if (!title_) {
            socket_->write(audio);
            return;
        }
        while (!audio.isEmpty()) {
            const qsizetype piece = std::min<qsizetype>(audio.size(), kMetaInterval - untilMeta_);
            socket_->write(audio.left(piece));
            audio.remove(0, piece);
            untilMeta_ += static_cast<int>(piece);
            if (untilMeta_ == kMetaInterval) {
                untilMeta_ = 0;
                const QString title = title_();
                socket_->write(metadataBlock(title == sentTitle_ ? QString() : title));
                sentTitle_ = title;
            }
        }
    }

    QTcpSocket* socket_;
    std::function<QString()> title_;
    int untilMeta_ = 0;
    QString sentTitle_;
    ToneEncoder encoder_;
    QElapsedTimer clock_;
    QTimer timer_;
};

}  // namespace

bool parseRequest(const QByteArray& head, Request* request) {
    QList<QByteArray> lines = head.split('\n');
    for (QByteArray& line : lines) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
    }
    const QList<QByteArray> first = lines.value(0).split(' ');
    QByteArray target = first.value(1);
    // The absolute form ("http://host/path") names the same resource as its path.
    if (target.startsWith("http://")) {
        const qsizetype slash = target.indexOf('/', 7);
        target = slash >= 0 ? target.mid(slash) : QByteArray("/");
    }
    if (first.size() != 3 || !first[2].startsWith("HTTP/1.") || !target.startsWith('/')) {
        return false;
    }
    request->method = first[0];
    request->version = first[2];
    const qsizetype question = target.indexOf('?');
    request->path = QByteArray::fromPercentEncoding(question >= 0 ? target.left(question) : target);
    request->query = question >= 0 ? target.mid(question + 1) : QByteArray();
    request->headers.clear();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0) {
            request->headers.insert(lines[i].left(colon).trimmed().toLower(),
                                    lines[i].mid(colon + 1).trimmed());
        }
    }
    return true;
}

VendorSite::VendorSite(const QString& root, QObject* parent)
    : QObject(parent), root_(root), server_(new QTcpServer(this)) {
    connect(server_, &QTcpServer::newConnection, this, &VendorSite::accept);
    addRoute(kStreamPath,
             [this](const Request& request, QTcpSocket* socket) { streamTone(request, socket); });
    addRoute(kNewsPath, [this](const Request& request, QTcpSocket* socket) {
        respond(socket, request, 200, "text/html", newsPageBody(root_));
    });
}

VendorSite::~VendorSite() = default;

bool VendorSite::listen(quint16 port) {
    return server_->listen(QHostAddress::LocalHost, port);
}

quint16 VendorSite::port() const {
    return server_->serverPort();
}

QString VendorSite::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:") + QString::number(port());
}

void VendorSite::addRoute(const QByteArray& path, Handler handler) {
    routes_[path] = std::move(handler);
}

QByteArray VendorSite::contentType(const QString& fileName) {
    static const QMap<QString, QByteArray> types = {
        {QStringLiteral("html"), "text/html"},      {QStringLiteral("htm"), "text/html"},
        {QStringLiteral("php"), "text/html"},       {QStringLiteral("txt"), "text/plain"},
        {QStringLiteral("ini"), "text/plain"},      {QStringLiteral("mp3"), "audio/mpeg"},
        {QStringLiteral("wav"), "audio/wav"},       {QStringLiteral("asx"), "video/x-ms-asf"},
        {QStringLiteral("asf"), "video/x-ms-asf"},  {QStringLiteral("pls"), "audio/x-scpls"},
        {QStringLiteral("m3u"), "audio/x-mpegurl"}, {QStringLiteral("jpg"), "image/jpeg"},
        {QStringLiteral("jpeg"), "image/jpeg"},     {QStringLiteral("bmp"), "image/bmp"},
        {QStringLiteral("png"), "image/png"},       {QStringLiteral("css"), "text/css"},
    };
    return types.value(QFileInfo(fileName).suffix().toLower(), "application/octet-stream");
}

void VendorSite::respond(QTcpSocket* socket, const Request& request, int status,
                         const QByteArray& contentType, const QByteArray& body) {
    QByteArray head = statusLine(request, status);
    head += "Content-Type: " + contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head);
    if (request.method != "HEAD") {
        socket->write(body);
    }
    socket->disconnectFromHost();
}

void VendorSite::accept() {
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        auto answered = std::make_shared<bool>(false);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer, answered] {
            if (*answered) {
                socket->readAll();  // the body of the request is not used
                return;
            }
            buffer->append(socket->readAll());
            qsizetype end = buffer->indexOf("\r\n\r\n");
            if (end < 0) {
                end = buffer->indexOf("\n\n");
            }
            if (end < 0 && buffer->size() <= kMaxHeadBytes) {
                return;
            }
            Request request;
            const bool ok = end >= 0 && parseRequest(buffer->left(end), &request);
            *answered = true;
            buffer->clear();
            if (!ok) {
                request.version = "HTTP/1.0";
                respond(socket, request, 400, "text/plain", "Bad Request\n");
                return;
            }
            handle(socket, request);
        });
    }
}

void VendorSite::handle(QTcpSocket* socket, const Request& request) {
    ++hits_[request.path];
    if (request.method != "GET" && request.method != "HEAD") {
        respond(socket, request, 405, "text/plain", "Method Not Allowed\n");
        return;
    }
    const auto route = routes_.find(request.path);
    if (route != routes_.end()) {
        route->second(request, socket);
        return;
    }
    serveFile(socket, request);
}

void VendorSite::addRoot(const QString& folder) {
    moreRoots_.emplace_back(folder);
}

VendorSite::Found VendorSite::lookUp(const QDir& root, const QByteArray& path) {
    const QString relative = QString::fromUtf8(path).mid(1);
    const QString rootPath = root.canonicalPath();
    // Only what lies inside the folder: no "..", no links out of it.
    const auto inside = [&](const QString& canonical) {
        return !rootPath.isEmpty() && !canonical.isEmpty() &&
               (canonical == rootPath || canonical.startsWith(rootPath + QLatin1Char('/')));
    };
    QFileInfo info(relative.isEmpty() ? root.path() : root.filePath(relative));
    if (info.isDir()) {
        if (!inside(info.canonicalFilePath())) {
            return {};
        }
        // A folder is answered with its index page; without the final "/" the page's relative
        // links would resolve against the parent, so the browser is sent to the "/" form first.
        if (!path.endsWith('/')) {
            return {QString(), true};
        }
        info = QFileInfo(QDir(info.filePath()).filePath(QStringLiteral("index.htm")));
        if (!info.exists()) {
            info = QFileInfo(info.dir().filePath(QStringLiteral("index.html")));
        }
    }
    const QString canonical = info.canonicalFilePath();
    if (!info.isFile() || canonical == rootPath || !inside(canonical)) {
        return {};
    }
    return {canonical, false};
}

void VendorSite::serveFile(QTcpSocket* socket, const Request& request) {
    std::vector<const QDir*> roots{&root_};
    for (const QDir& root : moreRoots_) {
        roots.push_back(&root);
    }
    for (const QDir* root : roots) {
        const Found found = lookUp(*root, request.path);
        if (found.needsSlash) {
            redirect(socket, request, request.path + '/');
            return;
        }
        if (found.file.isEmpty()) {
            continue;
        }
        QFile file(found.file);
        if (!file.open(QIODevice::ReadOnly)) {
            respond(socket, request, 404, "text/plain", "Not Found\n");
            return;
        }
        respond(socket, request, 200, contentType(found.file), file.readAll());
        return;
    }
    respond(socket, request, 404, "text/html",
            "<html><body><h1>404 Not Found</h1></body></html>\n");
}

void VendorSite::redirect(QTcpSocket* socket, const Request& request, const QByteArray& location) {
    const QByteArray target = QUrl::toPercentEncoding(QString::fromUtf8(location), "/");
    const QByteArray body = "Moved to " + target + "\n";
    QByteArray head = statusLine(request, 301);
    head += "Location: " + target + "\r\n";
    head += "Content-Type: text/plain\r\n";
    head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head);
    if (request.method != "HEAD") {
        socket->write(body);
    }
    socket->disconnectFromHost();
}

void VendorSite::streamTone(const Request& request, QTcpSocket* socket) {
    const bool metadata = request.headers.value("icy-metadata").trimmed() == "1";
    QByteArray head = statusLine(request, 200);
    head +=
        "Content-Type: audio/mpeg\r\n"
        "icy-name: Zorvita Test Tone\r\n"
        "icy-genre: Test\r\n"
        "icy-br: 128\r\n";
    if (metadata) {
        head += "icy-metaint: " + QByteArray::number(kMetaInterval) + "\r\n";
    }
    head +=
        "Cache-Control: no-cache\r\n"
        "Connection: close\r\n\r\n";
    socket->write(head);
    if (request.method == "HEAD") {
        socket->disconnectFromHost();
        return;
    }
    ++streamListeners_;
    connect(socket, &QTcpSocket::disconnected, this, [this] { --streamListeners_; });
    std::function<QString()> title;
    if (metadata) {
        title = [this] { return streamTitle_; };
    }
    new ToneStream(socket, std::move(title));
}

}  // namespace vendor_site
