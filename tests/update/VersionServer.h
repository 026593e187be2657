// A small HTTP server on loopback for the version check's tests: it answers each request
// path as the test says and records every request line it receives.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kirvano::testing {

struct Answer {
    enum Kind { Reply, Silent, Close, RedirectToSelf };
    Kind kind = Reply;
    int status = 200;
    QByteArray body;
};

inline Answer VersionFile(const QByteArray& body) {
    return {Answer::Reply, 200, body};
}
inline Answer Status(int status, const QByteArray& body) {
    return {Answer::Reply, status, body};
}
inline Answer Fault(Answer::Kind kind) {
    return {kind, 0, {}};
}

class VersionServer : public QObject {
public:
    VersionServer() {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                socket->setParent(this);
                QObject::connect(socket, &QTcpSocket::readyRead, this,
                                 [this, socket] { OnData(socket); });
            }
        });
    }

    std::string host() const { return "127.0.0.1:" + std::to_string(server_.serverPort()); }
    int port() const { return server_.serverPort(); }
    // Paths without an answer get 404.
    void answer(const std::string& path, Answer answer) { answers_[path] = std::move(answer); }
    // The request targets in order ("GET /path" or, through a proxy, the whole address).
    const std::vector<std::string>& requests() const { return requests_; }
    int count(const std::string& path) const {
        int n = 0;
        for (const std::string& request : requests_)
            n += request.size() >= path.size() &&
                 request.compare(request.size() - path.size(), path.size(), path) == 0;
        return n;
    }
    const QByteArray& lastHead() const { return lastHead_; }

private:
    void OnData(QTcpSocket* socket) {
        QByteArray& pending = buffers_[socket];
        pending += socket->readAll();
        const qsizetype end = pending.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        lastHead_ = pending.left(end);
        const QList<QByteArray> line = pending.left(pending.indexOf("\r\n")).split(' ');
        pending.remove(0, end + 4);
        const std::string target = line.size() > 1 ? line[1].toStdString() : std::string();
        requests_.push_back(target);
        std::string path = target;
        if (const auto scheme = path.find("://"); scheme != std::string::npos)
            path = path.substr(path.find('/', scheme + 3));
        const auto it = answers_.find(path);
        const Answer answer = it != answers_.end() ? it->second : Status(404, "no");
        switch (answer.kind) {
        case Answer::Silent:
            return;
        case Answer::Close:
            socket->abort();
            return;
        case Answer::RedirectToSelf:
            socket->write("HTTP/1.1 302 Found\r\nLocation: " + QByteArray::fromStdString(path) +
                          "\r\nContent-Length: 0\r\n\r\n");
            return;
        case Answer::Reply:
            socket->write("HTTP/1.1 " + QByteArray::number(answer.status) +
                          " X\r\nContent-Type: text/plain\r\nContent-Length: " +
                          QByteArray::number(answer.body.size()) + "\r\n\r\n" + answer.body);
            return;
        }
    }

    QTcpServer server_;
    std::map<std::string, Answer> answers_;
    std::map<QTcpSocket*, QByteArray> buffers_;
    std::vector<std::string> requests_;
    QByteArray lastHead_;
};

} // namespace kirvano::testing
