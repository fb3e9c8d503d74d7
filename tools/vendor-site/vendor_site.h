#pragma once

#include <QByteArray>
#include <QDir>
#include <QMap>
#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace vendor_site {

// One HTTP request as the site saw it. Header names are lower case.
struct Request {
    QByteArray method;
    QByteArray path;  // percent-decoded, without the query
    QByteArray query;
    QByteArray version;  // "HTTP/1.0" or "HTTP/1.1"
    QMap<QByteArray, QByteArray> headers;
};

// The local vendor web site for tests and offline use: answers HTTP/1.0 and 1.1 on 127.0.0.1,
// serves the files of a folder with their content types (a folder by its index.htm), streams an
// endless MP3 tone at real-time pace the way radio servers do (at "/stream.mp3"), and answers 404
// for anything else. Pages made in code are added with addRoute.
class VendorSite final : public QObject {
    Q_OBJECT

  public:
    static constexpr const char* kStreamPath = "/stream.mp3";

    explicit VendorSite(const QString& root, QObject* parent = nullptr);
    ~VendorSite() override;

    // A further folder whose files are served where the folders before it have none at a path
    // (for example generated files kept apart from the pages).
    void addRoot(const QString& folder);

    // Listens on 127.0.0.1; port 0 takes a free one.
    bool listen(quint16 port = 0);
    quint16 port() const;
    QString baseUrl() const;

    // A handler answers one path (exact match, before files are looked up). It writes its
    // response with respond() or keeps the socket for a stream.
    using Handler = std::function<void(const Request&, QTcpSocket*)>;
    void addRoute(const QByteArray& path, Handler handler);

    static void respond(QTcpSocket* socket, const Request& request, int status,
                        const QByteArray& contentType, const QByteArray& body);
    static QByteArray contentType(const QString& fileName);

    // Answers a request with the endless tone stream (the handler of kStreamPath).
    void streamTone(const Request& request, QTcpSocket* socket);

    // The title the tone stream announces to listeners that ask for metadata ("Icy-MetaData: 1");
    // a change reaches them at the next metadata block, a fraction of a second later.
    void setStreamTitle(const QString& title) { streamTitle_ = title; }
    const QString& streamTitle() const { return streamTitle_; }

    // Listeners of the tone stream right now.
    int streamListeners() const { return streamListeners_; }
    // Requests answered so far, by path.
    int hits(const QByteArray& path) const { return hits_.value(path); }

  private:
    void accept();
    void handle(QTcpSocket* socket, const Request& request);
    void serveFile(QTcpSocket* socket, const Request& request);
    // The file a request path names in one folder, or that the folder must be asked with "/".
    struct Found {
        QString file;
        bool needsSlash = false;
    };
    static Found lookUp(const QDir& root, const QByteArray& path);
    static void redirect(QTcpSocket* socket, const Request& request, const QByteArray& location);

    QDir root_;
    std::vector<QDir> moreRoots_;
    QTcpServer* server_;
    std::map<QByteArray, Handler> routes_;
    QMap<QByteArray, int> hits_;
    int streamListeners_ = 0;
    QString streamTitle_ = QStringLiteral("Zorvita Test Tone");
};

// Parses the head of a request (request line and headers, up to the blank line). False when it
// is not a well-formed HTTP/1.x request.
bool parseRequest(const QByteArray& head, Request* request);

}  // namespace vendor_site
