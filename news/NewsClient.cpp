#include "news/NewsClient.h"

#include "net/CSocket.h"
#include "news/HeadlineParser.h"

namespace news {

NewsClient::NewsClient(QString url, QObject* parent) : QObject(parent), url_(std::move(url)) {
    timeout_.setSingleShot(true);
    timeout_.setInterval(kFetchTimeoutMs);
    connect(&timeout_, &QTimer::timeout, this, &NewsClient::CutShort);
}

NewsClient::~NewsClient() = default;

void NewsClient::NewNewsSocket() {
    timeout_.stop();
    socket_ = std::make_unique<CSocket>();
    CSocket* s = socket_.get();
    connect(s, &CSocket::OnConnect, this, &NewsClient::OnConnect);
    connect(s, &CSocket::OnDataArrival, this, &NewsClient::OnDataArrival);
    connect(s, &CSocket::OnClose, this, &NewsClient::OnClose);
    connect(s, &CSocket::OnError, this, &NewsClient::OnError);
}

void NewsClient::FetchHeadlines() {
    if (!socket_) {
        NewNewsSocket();
    }
    response_.clear();
    const NewsTarget target = SplitNewsUrl(url_);
    host_ = target.host;
    path_ = target.path;
    if (socket_->State() != CSocket::sckClosed) {
        socket_->CloseSocket();
        // A connected socket only half-closes and cannot connect again: a refetch while a
        // server keeps the connection open would do nothing. Start on a fresh one.
        if (socket_->State() != CSocket::sckClosed) {
            NewNewsSocket();
        }
    }
    socket_->setRemoteHost(host_);
    socket_->setRemotePort(target.port);
    socket_->Connect();
    timeout_.start();
}

void NewsClient::OnConnect() {
    socket_->SendData(HeadlineRequest(path_));
}

void NewsClient::OnDataArrival() {
    net::SocketValue data;
    socket_->GetData(data);
    if (const auto* text = std::get_if<QString>(&data)) {
        response_ += *text;
    }
    if (response_.size() >= kMaxResponseBytes) {
        // A server that never stops would eat all memory; what came is enough to parse.
        response_.truncate(kMaxResponseBytes);
        CutShort();
    }
}

void NewsClient::OnClose() {
    timeout_.stop();
    HandOn();
}

void NewsClient::OnError() {
    timeout_.stop();
    socket_->CloseSocket();
}

void NewsClient::CutShort() {
    timeout_.stop();
    // Called from the socket's own handlers too: the socket layer allows deleting it there.
    NewNewsSocket();
    HandOn();
}

void NewsClient::HandOn() {
    if (response_.isEmpty()) {
        return;
    }
    const QString response = std::exchange(response_, QString());
    Q_EMIT ResponseReady(response);
}

}  // namespace news
