#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class CSocket;

namespace news {

// Fetches the headline page over a socket object (Winsock1): connect, send the bare request,
// gather everything until the server closes, then hand the response on. A response is never
// allowed to grow past kMaxResponseBytes, and a fetch that has not ended after the fetch timeout
// is closed; both hand on what came so far. Errors end a fetch quietly.
class NewsClient final : public QObject {
    Q_OBJECT

  public:
    static constexpr qsizetype kMaxResponseBytes = 1024 * 1024;
    static constexpr int kFetchTimeoutMs = 30000;

    explicit NewsClient(QString url, QObject* parent = nullptr);
    ~NewsClient() override;

    // A fresh socket object as Winsock1 (the old one, and any fetch on it, is dropped).
    void NewNewsSocket();
    // Starts a fetch of the page, closing one still under way.
    void FetchHeadlines();

    CSocket* Winsock1() const { return socket_.get(); }
    const QString& NewsResponse() const { return response_; }
    const QString& NewsHost() const { return host_; }
    const QString& NewsPath() const { return path_; }
    void setFetchTimeout(int ms) { timeout_.setInterval(ms); }

  Q_SIGNALS:
    // A fetch ended with something received: parse it.
    void ResponseReady(const QString& response);

  private:
    void OnConnect();
    void OnDataArrival();
    void OnClose();
    void OnError();
    // Ends the fetch at once and hands on what came.
    void CutShort();
    void HandOn();

    QString url_;
    QString host_;
    QString path_;
    QString response_;
    std::unique_ptr<CSocket> socket_;
    QTimer timeout_;
};

}  // namespace news
