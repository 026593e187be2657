// The map in the real main window on a generated card, with tiles from a loopback server:
// the group track, the current track and the event markers drawn in the map view, the
// position marker following playback, a marker click seeking both players (read back from
// the picture's bar code), the map switch putting the logo in its place, the larger layouts
// without either, and a viewer without the browser component that still plays.
#include "app/CtarnicDlg.h"
#include "config/Settings.h"
#include "library/ui/CFilerContainerDlg.h"
#include "map/CGoogleMapDlg2.h"
#include "map/CGoogleMapDlgWrap.h"
#include "map/CLogoDlg.h"
#include "playback/CMovieStatic.h"
#include "playback/PlaybackEngine.h"
#include "support/FrameBarcode.h"
#include "support/LoopbackTileServer.h"
#include "support/MapProbe.h"
#include "support/TempDir.h"
#include "ui/CSkinButton.h"
#include "update/CUpdateDialog.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace kirvano {
namespace {

using testing::Js;
using testing::Near;
using testing::WaitFor;

testing::TempDir& Scratch() {
    static testing::TempDir dir;
    return dir;
}
const bool kEnvironmentSet = [] {
    setenv("KIRVANO_CONFIG_DIR", Scratch().file("config").c_str(), 1);
    setenv("KIRVANO_TILE_CACHE", Scratch().file("tiles").c_str(), 1);
    std::filesystem::create_directories(Scratch().file("config"));
    return true;
}();

// One drive of two 6-second recordings (the second with an impact) and one the next day:
// long enough that playing under load does not run into the next recording.
const std::string& Card() {
    static const std::string card = [] {
        const std::string dir = Scratch().file("card");
        const std::string command = std::string(KIRVANO_CLI) + " make-card '" + dir +
                                    "' --recordings 3 --parking 0 --seconds 6 --front 320x240@25"
                                    " --rear 320x240@25 --no-audio > /dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0);
        return dir;
    }();
    return card;
}

class Window : public CtarnicDlg {
public:
    Window() : CtarnicDlg(nullptr, std::make_unique<FixedVolumes>(std::vector<std::string>{})) {}
};

std::optional<int> ShownFrame(Window& w) {
    PlaybackEngine* engine = w.Engine(w.MainCamera());
    if (engine == nullptr)
        return std::nullopt;
    const ViewRect r = engine->displayRect();
    const QImage picture = w.VideoWindow(w.MainCamera())->grab().toImage();
    return testing::ReadFrameBarcode(picture.copy(r.left, r.top, r.width(), r.height()));
}

class MainWindowMapTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kEnvironmentSet);
        ASSERT_TRUE(WriteSetting("SOURCE", "SELECT", "FOLDER"));
        ASSERT_TRUE(WriteSetting("SOURCE", "FOLDER", Card() + "/Normal"));
        ASSERT_TRUE(WriteSetting("MAP", "TILE_URL", server.TileUrl().toStdString()));
    }
    void TearDown() override { SetMapRuntimeAvailableForTesting(std::nullopt); }

    testing::LoopbackTileServer server;
};

TEST_F(MainWindowMapTest, TracksMarkersPlaybackAndSwitch) {
    Window w;
    w.show();
    ASSERT_NE(w.MapWrap(), nullptr);
    CGoogleMapDlg2* mapWindow = w.MapWrap()->MapWindow();
    // Before the page is ready the logo stands in the map's place, offline.
    EXPECT_EQ(mapWindow->geometry(), QRect(662, 24, 452, 368));
    ASSERT_TRUE(WaitFor([&] { return w.Ready(); })) << "the first recording opens";
    ASSERT_TRUE(WaitFor([&] { return mapWindow->isVisible(); }, 15000)) << "the map comes up";
    EXPECT_FALSE(w.LogoPanel()->isVisible());
    EXPECT_EQ(w.LogoPanel()->geometry(), QRect(662, 24, 452, 368));
    QWebEngineView* view = mapWindow->holder().view();

    // Opening the impact recording draws the group track of both recordings of the group,
    // its own track and the impact's marker.
    w.ListPanel()->SelectRecording(1);
    emit w.ListPanel()->RecordingChosen(1);
    ASSERT_TRUE(WaitFor([&] { return w.Ready() && w.CurrentIndex() == 1; }));
    ASSERT_TRUE(WaitFor([&] { return Js(view, "cplist.markers.length").toInt() >= 1; }));
    EXPECT_EQ(Js(view, "orbitgrplist.grplist.points.length").toInt(),
              Js(view, "orbitgrplist.gridlist.points.length").toInt() * 2)
        << "the group track holds both recordings";
    EXPECT_GE(Js(view, "orbitgrplist.grpline.length").toInt(), 1);
    EXPECT_EQ(Js(view, "cplist.markers[0].igrid").toInt(), 1);
    const int eventFrame = Js(view, "cplist.markers[0].ipos").toInt();
    const double lat = Js(view, "cplist.markers[0].lat").toDouble();
    const double lng = Js(view, "cplist.markers[0].lng").toDouble();
    EXPECT_GT(eventFrame, 0);
    EXPECT_LT(eventFrame, w.PositionMax());
    // The impact's red G pin shows in the view where the event happened.
    const QString panToEvent =
        QString("g_map.panTo([%1, %2], {animate: false})").arg(lat, 0, 'f', 7).arg(lng, 0, 'f', 7);
    Js(view, panToEvent);
    EXPECT_TRUE(WaitFor([&] {
        return Near(
            testing::Grab(view), testing::PinOf(view, lat, lng),
            [](QRgb p) { return testing::IsColour(p, qRgb(0xe0, 0x24, 0x24), 40); }, 3);
    }));

    // Playing moves the position marker along the track.
    const QString marker = "var p = g_marker.getLatLng(); p.lat + ',' + p.lng";
    const QString before = Js(view, marker).toString();
    w.OnCommand(kCmdPlay);
    ASSERT_TRUE(WaitFor([&] { return Js(view, marker).toString() != before; }, 5000));
    w.OnCommand(kCmdPlay);
    ASSERT_EQ(w.Engine(0)->state(), EngineState::Paused);
    EXPECT_TRUE(WaitFor([&] { return Js(view, "map_status.value").toString() == "pause"; }));

    // A click on the impact's marker seeks both players to its frame.
    Js(view, panToEvent);
    QTest::mouseClick(view->focusProxy(), Qt::LeftButton, {}, testing::PinOf(view, lat, lng));
    ASSERT_TRUE(WaitFor([&] { return w.ShownPosition() == eventFrame; }));
    EXPECT_TRUE(WaitFor([&] { return ShownFrame(w) == eventFrame; }))
        << "the picture shows the marker's frame";

    // The map switch puts the logo in the map's place, and back.
    w.OnCommand(kCmdMapSwitch);
    EXPECT_TRUE(w.MapSwitchedOff());
    EXPECT_TRUE(w.Button(kCmdMapSwitch)->IsForcedPressed());
    EXPECT_FALSE(mapWindow->isVisible());
    EXPECT_TRUE(w.LogoPanel()->isVisible());
    EXPECT_FALSE(w.LogoPanel()->Offline()) << "the map is there, only switched off";
    w.OnCommand(kCmdMapSwitch);
    EXPECT_TRUE(mapWindow->isVisible());
    EXPECT_FALSE(w.LogoPanel()->isVisible());

    // The larger layouts have no place for either; back in the first, the map returns.
    w.OnCommand(kCmdLayout);
    EXPECT_TRUE(WaitFor([&] { return !mapWindow->isVisible(); }, 3000));
    EXPECT_FALSE(w.LogoPanel()->isVisible());
    w.OnCommand(kCmdLayout);
    w.OnCommand(kCmdLayout);
    EXPECT_TRUE(WaitFor([&] { return mapWindow->isVisible(); }, 3000));
    EXPECT_EQ(mapWindow->geometry(), QRect(662, 24, 452, 368));
    w.close();
}

TEST_F(MainWindowMapTest, WithoutTheBrowserTheViewerStillPlays) {
    SetMapRuntimeAvailableForTesting(false);
    int notices = 0;
    // The notice says so once; closing it lets the viewer go on.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* notice = qobject_cast<CUpdateDialog*>(window);
            if (notice != nullptr && notice->isVisible()) {
                ++notices;
                QTest::mouseClick(notice->CloseButton(), Qt::LeftButton);
            }
        }
    });
    closer.start(50);
    Window w;
    w.show();
    ASSERT_TRUE(WaitFor([&] { return w.Ready(); }));
    EXPECT_TRUE(w.MapRuntimeMissing());
    w.OnCommand(kCmdPlay);
    ASSERT_TRUE(WaitFor([&] { return w.ShownPosition() > 10; }, 5000)) << "playback runs";
    EXPECT_TRUE(w.LogoPanel()->isVisible());
    EXPECT_TRUE(w.LogoPanel()->Offline());
    EXPECT_FALSE(w.MapWrap()->MapWindow()->isVisible());
    EXPECT_FALSE(w.MapWrap()->BrowserStarted()) << "no browser process was started";
    EXPECT_EQ(notices, 1);
    EXPECT_TRUE(w.MapNoticeShown());
    w.close();
}

} // namespace
} // namespace kirvano
