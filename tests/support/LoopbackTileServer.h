// A small HTTP server on loopback for map tests and benchmarks: every tile is one flat
// colour, "/" answers the connection probe, Stop() makes the server vanish.
#pragma once

#include <QBuffer>
#include <QHostAddress>
#include <QImage>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <vector>

namespace kirvano::testing {

constexpr QRgb kTileColour = qRgb(0x9c, 0xd0, 0x8c); // what the test server's tiles show

class LoopbackTileServer : public QObject {
public:
    LoopbackTileServer() {
        QImage tile(256, 256, QImage::Format_RGB32);
        tile.fill(kTileColour);
        QBuffer buffer(&png_);
        buffer.open(QIODevice::WriteOnly);
        tile.save(&buffer, "PNG");
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                sockets_.push_back(socket);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Answer(socket); });
            }
        });
        server_.listen(QHostAddress::LocalHost, 0);
        port_ = server_.serverPort();
    }
    QString TileUrl() const { return QString("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(port_); }
    int tilesServed() const { return tiles_; }
    // The server goes away: the port refuses connections from now on.
    void Stop() {
        server_.close();
        for (const QPointer<QTcpSocket>& socket : sockets_)
            if (socket)
                socket->abort();
    }

private:
    void Answer(QTcpSocket* socket) {
        const QByteArray request = socket->readAll();
        const QByteArray line = request.left(request.indexOf("\r\n"));
        const bool head = line.startsWith("HEAD");
        const bool tile = line.contains(".png");
        QByteArray body = tile ? png_ : QByteArray("ok");
        QByteArray reply =
            "HTTP/1.1 200 OK\r\nContent-Type: " + QByteArray(tile ? "image/png" : "text/plain") +
            "\r\nCache-Control: max-age=0\r\nContent-Length: " + QByteArray::number(body.size()) +
            "\r\n\r\n";
        if (!head)
            reply += body;
        tiles_ += tile ? 1 : 0;
        socket->write(reply);
    }

    QTcpServer server_;
    std::vector<QPointer<QTcpSocket>> sockets_;
    QByteArray png_;
    quint16 port_ = 0;
    int tiles_ = 0;
};

} // namespace kirvano::testing
