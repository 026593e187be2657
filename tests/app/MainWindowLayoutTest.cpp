// The real main window on a generated card (front 4:3, rear 16:9, so the picture's bars
// tell the cameras apart): the layouts cycled while playing with the picture still
// advancing, the click zoom's picture rectangle, full screen and the aspect it leaves, the
// rear camera floating and docked with its zoom offsets, swapping the cameras, and layout
// changes while a recording opens.
#include "app/CtarnicDlg.h"
#include "config/Settings.h"
#include "library/RecordingName.h"
#include "library/ui/CFileListCtrl.h"
#include "library/ui/CFilerContainerDlg.h"
#include "playback/CMovieDialog.h"
#include "playback/CMovieStatic.h"
#include "playback/PlaybackEngine.h"
#include "support/TempDir.h"
#include "support/ViewerCard.h"
#include "ui/CSkinButton.h"
#include "ui/CSkinSliderCtrl.h"
#include "views/CInfoDlg.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

#include <gtest/gtest.h>

#include <filesystem>

namespace kirvano {
namespace {

namespace fs = std::filesystem;
using testing::ProcessUntil;
using testing::ShownFrameOf;
using testing::Wait;
using Window = testing::CardWindow;

using testing::Scratch;

// Three 6-second recordings; the first group holds two.
const std::string& Card() {
    static const std::string folder = [] {
        const std::string dir = Scratch().file("card");
        EXPECT_TRUE(testing::MakeCard(dir, "--recordings 3 --parking 0 --seconds 6 --front "
                                           "320x240@25 --rear 320x180@25 --no-audio"));
        return dir + "/Normal";
    }();
    return folder;
}

// When KIRVANO_TEST_SHOTS names a folder, the window's picture is saved there to look at.
void Shot(QWidget& w, const char* name) {
    if (const char* dir = std::getenv("KIRVANO_TEST_SHOTS"))
        w.grab().save(QDir(dir).filePath(QString::fromUtf8(name) + ".png"));
}

// Whether the picture at a point of a video window is the black of the bars around a
// picture of another shape (the 4:3 front has bars at the sides of a wide window).
bool BlackAt(QWidget& video, QPoint at) {
    const QImage picture = video.grab().toImage();
    const QColor c = picture.pixelColor(at * picture.devicePixelRatio());
    return c.red() < 16 && c.green() < 16 && c.blue() < 16;
}

// The front (4:3) shows bars beside it in a wide window; the rear (16:9) fills it.
enum class Seen { Front, Rear };
Seen CameraIn(QWidget& video) {
    return BlackAt(video, QPoint(4, video.height() / 2)) ? Seen::Front : Seen::Rear;
}

// A left click confirmed as a single click (the double-click wait run at once).
void Click(CMovieStatic& video, QPoint at) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), video.mapToGlobal(QPointF(at)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&video, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), video.mapToGlobal(QPointF(at)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&video, &release);
    ASSERT_TRUE(video.FireTimer(CMovieStatic::kClickTimer));
}

void DoubleClick(CMovieStatic& video, QPoint at) {
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(at), video.mapToGlobal(QPointF(at)),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&video, &dbl);
    video.FireTimer(CMovieStatic::kDoubleClickTimer);
}

// The picture keeps advancing: a later grab shows a later frame.
void ExpectAdvancing(Window& w, const char* where) {
    SCOPED_TRACE(where);
    const auto first = ShownFrameOf(w, w.MainCamera());
    ASSERT_TRUE(first.has_value());
    ASSERT_TRUE(ProcessUntil(
        [&] {
            const auto later = ShownFrameOf(w, w.MainCamera());
            return later && *later > *first + 3;
        },
        3000));
}

TEST(MainWindowLayout, LayoutsZoomFullScreenAndTheRearCameraOnACard) {
    testing::UseFolder(Card());
    ASSERT_TRUE(WriteSetting("DISPLAY", "ASPECT", "on"));
    Window w;
    w.move(20, 20);
    w.show();
    ASSERT_TRUE(ProcessUntil([&] { return w.Ready(); })) << "the first recording opens";
    const QRect frame = w.geometry();
    CMovieStatic& front = *w.VideoWindow(0);
    CMovieStatic& rear = *w.VideoWindow(1);
    EXPECT_EQ(CameraIn(front), Seen::Front);
    EXPECT_EQ(CameraIn(rear), Seen::Rear);

    // Every layout while playing: the picture fills the layout's video place and advances.
    w.OnCommand(kCmdPlay);
    const QSize videoSizes[] = {{656, 369}, {868, 489}, {1108, 624}};
    for (int mode : {0, 1, 2}) {
        ASSERT_EQ(w.LayoutMode(), mode);
        EXPECT_EQ(front.geometry(), QRect(QPoint(6, 24), videoSizes[mode]));
        EXPECT_EQ(w.geometry(), frame);
        ExpectAdvancing(w, mode == 0 ? "layout 0" : mode == 1 ? "layout 1" : "layout 2");
        Shot(w, mode == 0 ? "layout0" : mode == 1 ? "layout1" : "layout2");
        w.Button(kCmdLayout)->click();
    }
    ASSERT_EQ(w.LayoutMode(), 0);
    w.OnCommand(kCmdPlay);
    ASSERT_EQ(w.Engine(0)->state(), EngineState::Paused);

    // Zoom mode: the list collapses; three clicks zoom in once and return.
    const ViewRect whole = w.Engine(0)->displayRect();
    // The 4:3 picture fitted into 656 x 369: 492 wide, centred, two pixels more each way.
    EXPECT_EQ(whole, (ViewRect{82, 0, 576, 371}));
    w.OnCommand(kCmdZoom);
    EXPECT_TRUE(w.ZoomMode());
    EXPECT_TRUE(w.ListPanel()->IsCollapsed());
    EXPECT_FALSE(w.ListPanel()->List()->isVisible());
    Click(front, {100, 50});
    EXPECT_EQ(w.Zoom(0).current, 1.0f);
    EXPECT_EQ(w.Engine(0)->displayRect(), whole) << "the first click keeps the picture";
    Click(front, {100, 50});
    EXPECT_EQ(w.Zoom(0).current, 2.0f);
    EXPECT_EQ(w.Zoom(0).offsetX, -278);
    EXPECT_EQ(w.Zoom(0).offsetY, 25);
    // Twice the window around (328, 184): [-328, 984] x [-184, 554], moved by (278, -25),
    // then fitted to 4:3 around its centre (606, 160): 984 x 738 plus two.
    EXPECT_EQ(w.Engine(0)->displayRect(), (ViewRect{114, -209, 1100, 531}));
    Shot(w, "zoomed");
    Click(front, {100, 50});
    EXPECT_EQ(w.Zoom(0).current, 1.0f);
    EXPECT_EQ(w.Engine(0)->displayRect(), whole);
    EXPECT_EQ(ShownFrameOf(w, 0), w.Engine(0)->GetPosition()) << "the whole picture again";
    // A double click while zoom is on does not go to full screen.
    DoubleClick(front, {200, 200});
    EXPECT_FALSE(w.FullScreen());

    // The rear camera's offsets follow it from the floating window into the docked strip
    // and back (layout 0: 98 x 85 against 452 x 368).
    w.OnCommand(kCmdSwap);
    ASSERT_TRUE(w.SubVideoFloating());
    EXPECT_EQ(rear.parentWidget(), w.MovieDialog());
    // Beside the main video when that corner lies on a monitor.
    if (QGuiApplication::screenAt(w.mapToGlobal(QPoint(662, 24))) != nullptr) {
        EXPECT_EQ(w.MovieDialog()->pos(), w.mapToGlobal(QPoint(662, 24)));
    }
    Click(rear, {100, 50});
    Click(rear, {100, 50});
    const int floatingX = w.Zoom(1).offsetX;
    const int floatingY = w.Zoom(1).offsetY;
    ASSERT_NE(floatingX, 0);
    w.MovieDialog()->CloseCommand();
    QCoreApplication::sendPostedEvents(&w);
    ASSERT_FALSE(w.SubVideoFloating());
    EXPECT_EQ(rear.parentWidget(), reinterpret_cast<QWidget*>(w.InfoPanel()));
    EXPECT_EQ(w.Zoom(1).offsetX, static_cast<int>(floatingX * 98.0 / 452));
    EXPECT_EQ(w.Zoom(1).offsetY, static_cast<int>(floatingY * 85.0 / 368));
    w.OnCommand(kCmdZoom);
    EXPECT_FALSE(w.ZoomMode());
    EXPECT_FALSE(w.ListPanel()->IsCollapsed());
    EXPECT_EQ(w.Zoom(1).offsetX, 0) << "zoom off resets both cameras";
    EXPECT_EQ(w.Engine(1)->displayRect().width(), rear.width() + 2);

    // A double click on the docked rear lets it float; on the main video it goes to full
    // screen on the window's monitor and back.
    DoubleClick(rear, {10, 10});
    ASSERT_TRUE(w.SubVideoFloating());
    EXPECT_EQ(CameraIn(rear), Seen::Rear);
    DoubleClick(front, {200, 200});
    ASSERT_TRUE(w.FullScreen());
    const QRect monitor = w.windowHandle()->screen()->geometry();
    EXPECT_EQ(w.geometry(), monitor);
    EXPECT_EQ(front.geometry(), QRect(QPoint(0, 0), monitor.size()));
    EXPECT_FALSE(reinterpret_cast<QWidget*>(w.InfoPanel())->isVisible());
    EXPECT_FALSE(w.SeekSlider()->isVisible());
    for (int id : {kCmdPlay, kCmdZoom, kCmdSwap, kCmdClose, kCmdLayout})
        EXPECT_FALSE(w.Button(id)->isVisible()) << id;
    Shot(w, "fullscreen");
    // Stretched in full screen, then leaving keeps the aspect ratio again, stored "on".
    w.OnCommand(kCmdAspect);
    EXPECT_FALSE(w.AspectFlag());
    EXPECT_EQ(ReadSetting("DISPLAY", "ASPECT"), "off");
    EXPECT_EQ(w.Engine(0)->displayRect(), (ViewRect{0, 0, monitor.width(), monitor.height()}));
    w.OnCommand(kCmdLayout); // no layout change in full screen
    EXPECT_EQ(w.LayoutMode(), 0);
    DoubleClick(front, {200, 200});
    ASSERT_FALSE(w.FullScreen());
    EXPECT_TRUE(w.AspectFlag());
    EXPECT_EQ(ReadSetting("DISPLAY", "ASPECT"), "on");
    EXPECT_EQ(w.geometry(), frame);
    EXPECT_EQ(front.geometry(), QRect(6, 24, 656, 369));
    EXPECT_EQ(w.Engine(0)->displayRect(), whole);
    EXPECT_TRUE(w.Button(kCmdPlay)->isVisible());
    EXPECT_TRUE(w.Button(kCmdClose)->isVisible());
    EXPECT_TRUE(w.SeekSlider()->isVisible());

    // Swap while floating: the rear fills the main video, the front floats; the layouts
    // still play and place the floating window beside the main video again.
    w.OnCommand(kCmdSwap);
    ASSERT_EQ(w.MainCamera(), 1);
    EXPECT_EQ(rear.geometry(), QRect(6, 24, 656, 369));
    EXPECT_EQ(front.parentWidget(), w.MovieDialog());
    EXPECT_EQ(CameraIn(rear), Seen::Rear);
    EXPECT_EQ(CameraIn(front), Seen::Front);
    w.OnCommand(kCmdPlay);
    w.Button(kCmdLayout)->click();
    EXPECT_EQ(rear.geometry(), QRect(6, 24, 868, 489));
    const QPoint corner = w.mapToGlobal(QPoint(874, 24));
    if (QGuiApplication::screenAt(corner) != nullptr) {
        EXPECT_EQ(w.MovieDialog()->pos(), corner);
    }
    ExpectAdvancing(w, "rear in layout 1");
    Shot(w, "swapped-layout1");

    // Layout changes while the next recording opens, with no rear movie to open.
    w.OnCommand(kCmdSwap);
    ASSERT_EQ(w.MainCamera(), 0);
    ASSERT_EQ(w.RecordCount(), 2);
    ASSERT_TRUE(fs::remove(RearPathOf(w.ListPanel()->ShownRecordings()[1].path)));
    w.OnCommand(kCmdNext);
    w.OnCommand(kCmdLayout);
    w.OnCommand(kCmdLayout);
    ASSERT_TRUE(ProcessUntil([&] { return w.Ready() && w.CurrentIndex() == 1; }));
    EXPECT_EQ(w.LayoutMode(), 0);
    EXPECT_EQ(w.geometry(), frame);
    ExpectAdvancing(w, "next recording");
}

} // namespace
} // namespace kirvano
