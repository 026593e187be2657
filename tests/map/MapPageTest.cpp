// The real map page in QtWebEngine (offscreen) against a tile server on loopback: the host
// calls, the update message, track splitting and drawing, the moving marker, marker clicks
// that seek playback, and the map over cached tiles when the server has gone.
#include "map/CGoogleMapDlg2.h"
#include "map/CGoogleMapDlgWrap.h"
#include "map/CInetConnectionAsync.h"
#include "map/CLogoDlg.h"
#include "support/LoopbackTileServer.h"
#include "support/MapProbe.h"
#include "support/TempDir.h"
#include "ui/AppMessage.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace kirvano {
namespace {

using testing::Bluish;
using testing::IsColour;
using testing::Near;
using testing::Reddish;
using testing::WaitFor;

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

PositionSample Fix(double lat, double lng, int frame) {
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
        settings.cacheFolder = QString::fromStdString(cacheFolder);
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

    QVariant Js(const QString& script) { return testing::Js(view(), script); }

    QWebEngineView* view() { return map->MapWindow()->holder().view(); }

    QPoint PixelOf(double lat, double lng) { return testing::PixelOf(view(), lat, lng); }

    QImage Grab() { return testing::Grab(view()); }

    testing::TempDir cache;
    std::string cacheFolder = cache.path();
    testing::LoopbackTileServer server;
    Owner owner;
    QWidget window;
    std::unique_ptr<CGoogleMapDlgWrap> map;
};

TEST_F(MapPageTest, HostCallsUpdateMessageAndConnection) {
    Start();
    ASSERT_TRUE(WaitReady());
    EXPECT_TRUE(map->PageReady());
    EXPECT_TRUE(Js("g_isStartInitConnect && g_isInitConnect && g_map !== null").toBool());
    EXPECT_EQ(Js("chrome.webview.hostObjects.sync.sample.TestMethod('abc', -12)").toString(),
              "TestMethod(abc, -12) called.\n");
    // Without a recording the current track is no array at all; the group track is [0].
    EXPECT_TRUE(
        Js("chrome.webview.hostObjects.sync.sample.JS2C_GetGridData(0) === undefined").toBool());
    EXPECT_EQ(
        Js("JSON.stringify(chrome.webview.hostObjects.sync.sample.JS2C_GetGPSData())").toString(),
        "[0]");

    // The page pulls the position and status once a second into its hidden inputs.
    map->SetPosition(12, std::make_pair(35.5, 139.25));
    map->SetMapStatus(1);
    const QString inputs = "[map_lat.value, map_lng.value, map_status.value].join('|')";
    EXPECT_TRUE(WaitFor([&] { return Js(inputs).toString() == "35.500000|139.250000|pause"; }));
    EXPECT_EQ(map->MapWindow()->holder().latText, "35.500000");
    EXPECT_EQ(map->MapWindow()->holder().statusText, "pause");
    // A message with another command changes nothing.
    EXPECT_EQ(Js("kirvanoDeliverMessage('{\"val_command\":\"other\",\"map_lat\":\"1\","
                 "\"map_lng\":\"2\",\"map_status\":\"\"}'); " +
                 inputs)
                  .toString(),
              "35.500000|139.250000|pause");

    // Watcher disabled: no connection, page not ready, the page drops its map; enabled
    // again, the page loads the library afresh and reports ready a second time.
    map->SetWatcherEnabled(false);
    EXPECT_FALSE(Js("chrome.webview.hostObjects.sync.sample.JS2C_ConnectTest()").toBool());
    EXPECT_FALSE(map->PageReady());
    EXPECT_TRUE(WaitFor([&] { return Js("g_map === null && !g_isInitConnect").toBool(); }));
    map->SetWatcherEnabled(true);
    EXPECT_TRUE(WaitFor([&] { return owner.count(WM_APP_MAP_READY) == 2; }));
    EXPECT_TRUE(map->PageReady());
}

TEST_F(MapPageTest, TrackSegmentsIndexAndDrawing) {
    Start();
    ASSERT_TRUE(WaitReady());
    // Splitting: 0.0005 degrees apart stays one segment; a 0.002-degree jump starts another.
    map->SetCurrentTrack({Fix(35.0, 139.0, 0), Fix(35.0005, 139.0005, 3)});
    map->RedrawTracks(0, false);
    EXPECT_EQ(Js("JSON.stringify(orbitgrplist.orbitlist)").toString(), R"([{"start":0,"end":1}])");
    map->SetCurrentTrack(
        {Fix(35.0, 139.0, 0), Fix(35.0005, 139.0005, 3), Fix(35.0025, 139.0005, 6)});
    map->RedrawTracks(0, false);
    EXPECT_EQ(Js("JSON.stringify(orbitgrplist.orbitlist)").toString(),
              R"([{"start":0,"end":1},{"start":2,"end":2}])");

    // The index of the marker for frames 0, 3, 6, 9.
    map->SetCurrentTrack({Fix(35.0, 139.0, 0), Fix(35.0, 139.0001, 3), Fix(35.0, 139.0002, 6),
                          Fix(35.0, 139.0003, 9)});
    map->RedrawTracks(0, false);
    for (auto [frame, index] : {std::pair{6, 1}, {7, 2}, {0, 0}, {100, 3}}) {
        map->SetPosition(frame, std::nullopt);
        EXPECT_EQ(Js("orbitgrplist.GetIndex()").toInt(), index) << frame;
    }
    // The argument of CreateGridLine does not matter.
    EXPECT_EQ(Js("orbitgrplist.CreateGridLine(5); JSON.stringify(orbitgrplist.gridlist)"),
              Js("orbitgrplist.CreateGridLine(0); JSON.stringify(orbitgrplist.gridlist)"));

    // A 40-fix drive east with the group track 0.0004 degrees north of it.
    std::vector<PositionSample> drive, group;
    for (int i = 0; i < 40; ++i) {
        drive.push_back(Fix(35.0, 139.0 + i * 0.00005, i * 3));
        group.push_back(Fix(35.0004, 139.0 + i * 0.00005, i * 3));
    }
    map->SetGroupTrack(group);
    map->SetCurrentTrack(drive);
    map->SetPosition(60, std::make_pair(35.0, 139.001)); // fix 20
    map->SetMapStatus(0);
    map->RedrawTracks(0, true);
    EXPECT_EQ(Js("[orbitgrplist.grpline.length, orbitgrplist.histline.length, "
                 "orbitgrplist.schline.length].join()")
                  .toString(),
              "1,1,1");
    EXPECT_EQ(Js("var p = g_marker.getLatLng(); p.lat + ',' + p.lng").toString(), "35,139.00095");
    QImage shot;
    ASSERT_TRUE(WaitFor([&] {
        shot = Grab();
        return Near(shot, PixelOf(35.0, 139.0002), Bluish) &&
               Near(shot, PixelOf(35.0, 139.0017), Reddish);
    })) << "blue behind and red ahead of the position";
    // The group track: red at half opacity over the tiles, not the current recording's red.
    const QRgb group_pixel = shot.pixel(PixelOf(35.0004, 139.0003));
    EXPECT_GT(qRed(group_pixel), qGreen(group_pixel) + 30);
    EXPECT_FALSE(Reddish(group_pixel));
    // Tiles come through the program.
    EXPECT_GT(server.tilesServed(), 0);
    EXPECT_TRUE(Near(shot, PixelOf(35.0002, 138.9995),
                     [](QRgb p) { return IsColour(p, testing::kTileColour); }));

    // The marker follows playback once a second, but not while paused ("Pause" in any case).
    map->MapWindow()->mapStatus = "Pause";
    ASSERT_TRUE(WaitFor([&] { return Js("map_status.value").toString() == "Pause"; }));
    map->SetPosition(90, std::make_pair(35.0, 139.0015)); // fix 29
    QTest::qWait(2300);
    EXPECT_EQ(Js("var p = g_marker.getLatLng(); p.lat + ',' + p.lng").toString(), "35,139.00095");
    map->SetMapStatus(0);
    EXPECT_TRUE(WaitFor([&] {
        return Js("var p = g_marker.getLatLng(); p.lat + ',' + p.lng").toString() == "35,139.00145";
    }));
    EXPECT_EQ(Js("orbitgrplist.histline.length + orbitgrplist.schline.length").toInt(), 2);

    // A group track under the current recording, reaching further west: where both run,
    // the current recording's opaque blue lies over the group's half-transparent red.
    group.clear();
    for (int i = -10; i < 40; ++i)
        group.push_back(Fix(35.0, 139.0 + i * 0.00005, i * 3));
    map->SetGroupTrack(group);
    map->RedrawTracks(0, true);
    ASSERT_TRUE(WaitFor([&] {
        shot = Grab();
        const QRgb west = shot.pixel(PixelOf(35.0, 138.9997));
        return qRed(west) > qGreen(west) + 30;
    })) << "the group track west of the recording";
    EXPECT_TRUE(Near(shot, PixelOf(35.0, 139.0002), Bluish, 1));
}

TEST_F(MapPageTest, EventMarkersSeekPlayback) {
    Start();
    ASSERT_TRUE(WaitReady());
    std::vector<PositionSample> drive;
    for (int i = 0; i < 40; ++i)
        drive.push_back(Fix(35.0, 139.0 + i * 0.00005, i * 3));
    map->SetCurrentTrack(drive);
    map->SetPosition(30, std::make_pair(35.0, 139.0005));
    PositionSample north = Fix(35.0003, 139.0010, 450);
    PositionSample south = Fix(-33.0, 151.0, 600);
    TelemetrySample manual, brake;
    manual.frame = 450;
    manual.position = &north;
    brake.frame = 600;
    brake.position = &south;
    const EventDetector shown; // every display flag on
    const std::vector<MapEvent> events{{0, 0, 5, 3, &manual}, {1, 0, 2, 1, &brake}};
    ASSERT_TRUE(map->DrawEventMarkers(3, true, events, shown));
    map->SetMapStatus(2); // stopped: the tick leaves the marker alone
    ASSERT_TRUE(WaitFor([&] { return Js("cplist.markers.length").toInt() == 2; }));
    EXPECT_EQ(
        Js("cplist.markers.map(function (m) { return m.ipos + '/' + m.igrid; }).join()").toString(),
        "600/3,450/3"); // latest first

    // The manual-recording pin is orange where it stands.
    const QPoint pin = PixelOf(35.0003, 139.0010) - QPoint(0, int(16 * view()->zoomFactor()));
    QImage shot;
    ASSERT_TRUE(WaitFor([&] {
        shot = Grab();
        return Near(shot, pin, [](QRgb p) { return IsColour(p, qRgb(0xff, 0x8c, 0x00), 40); });
    }));

    auto click = [&](QPoint where) {
        QWidget* target = view()->focusProxy();
        QTest::mouseClick(target, Qt::LeftButton, {}, where);
    };
    const QString marker = "var p = g_marker.getLatLng(); p.lat + ',' + p.lng";
    const QString before = Js(marker).toString();
    // A click on the southern marker seeks but leaves the position marker where it was.
    Js("g_map.panTo([-33.0, 151.0], {animate: false})");
    map->SetPosition(75, std::nullopt); // fix 24 once the marker moves
    click(PixelOf(-33.0, 151.0) - QPoint(0, int(16 * view()->zoomFactor())));
    ASSERT_TRUE(WaitFor([&] { return owner.count(WM_APP_MAP_SEEK) == 1; }));
    EXPECT_EQ(owner.messages.back(), std::make_pair(int(WM_APP_MAP_SEEK), std::intptr_t(600)));
    EXPECT_EQ(Js(marker).toString(), before);
    // A click on the northern one seeks and moves the position marker at once.
    Js("g_map.panTo([35.0003, 139.0010], {animate: false})");
    click(PixelOf(35.0003, 139.0010) - QPoint(0, int(16 * view()->zoomFactor())));
    ASSERT_TRUE(WaitFor([&] { return owner.count(WM_APP_MAP_SEEK) == 2; }));
    EXPECT_EQ(owner.messages.back(), std::make_pair(int(WM_APP_MAP_SEEK), std::intptr_t(450)));
    EXPECT_EQ(Js(marker).toString(), "35,139.0012");
}

TEST_F(MapPageTest, CachedTilesKeepTheMapWithoutServer) {
    Start();
    ASSERT_TRUE(WaitReady());
    const auto tileShown = [&] {
        const QImage shot = Grab();
        for (int y = 40; y < shot.height() - 40; y += 8)
            for (int x = 40; x < shot.width() - 40; x += 8)
                if (IsColour(shot.pixel(x, y), testing::kTileColour, 6))
                    return true;
        return false;
    };
    ASSERT_TRUE(WaitFor(tileShown));
    map.reset();
    server.Stop();

    // The server has gone: the cached tiles still make a map, with the track over them.
    Start();
    ASSERT_TRUE(WaitReady());
    EXPECT_EQ(map->Watcher()->Connected(), 0);
    EXPECT_TRUE(WaitFor(tileShown));
    map->SetCurrentTrack({Fix(0.0, 0.0, 0), Fix(0.0, 0.0005, 3)});
    map->SetPosition(100, std::make_pair(0.0, 0.0005));
    map->RedrawTracks(0, false);
    EXPECT_EQ(Js("orbitgrplist.histline.length").toInt(), 1);

    // No server and an empty cache: the page stays offline.
    map.reset();
    testing::TempDir empty;
    cacheFolder = empty.path();
    Start(false);
    QTest::qWait(2500);
    EXPECT_EQ(owner.count(WM_APP_MAP_READY), 2);
    EXPECT_FALSE(map->PageReady());
    EXPECT_TRUE(Js("!g_isInitConnect && !g_isStartInitConnect && g_map === null").toBool());
}

// The logo panel in the map's place: its pin is red, and grey and struck through offline.
TEST(LogoPanel, OfflineStateRedraws) {
    QWidget window;
    CLogoDlg logo(&window);
    window.resize(452, 368);
    window.show();
    EXPECT_EQ(logo.size(), QSize(452, 368));
    const QPoint pinSide(226 - 26, int(368 * 0.42) - 56);
    QImage online = logo.grab().toImage();
    EXPECT_TRUE(Reddish(online.pixel(pinSide)));
    logo.SetOffline(true);
    QImage offline = logo.grab().toImage();
    const QRgb grey = offline.pixel(pinSide);
    EXPECT_FALSE(Reddish(grey));
    EXPECT_LT(std::abs(qRed(grey) - qBlue(grey)), 30);
    EXPECT_NE(online, offline);
}

} // namespace
} // namespace kirvano
