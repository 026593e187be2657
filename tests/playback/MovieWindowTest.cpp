// The video windows: forwarding of engine messages, click logic with synthetic events and
// timers fired by hand, the picture painted into the engine's rectangle and black around.
#include "playback/CMovieDialog.h"
#include "playback/CMovieStatic.h"
#include "playback/PlaybackEngine.h"
#include "playback/platform/GstPipeline.h"
#include "ui/AppMessage.h"
#include "ui/CSkinButton.h"

#include "TestMovies.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace kirvano {
namespace {

// Records every private message that reaches it, in a readable form.
class FakeOwner : public QObject {
public:
    bool event(QEvent* e) override {
        if (!IsAppMessage(e))
            return QObject::event(e);
        const auto* m = static_cast<const AppMessage*>(e);
        switch (m->message()) {
        case WM_APP_PLAYER_STOPPED:
            calls.push_back("stopped");
            break;
        case WM_APP_PLAYER_OPENED:
            calls.push_back("opened");
            break;
        case WM_APP_PLAYER_EVENT:
            calls.push_back("event");
            break;
        case WM_APP_VIDEO_CONTEXT_MENU: {
            const QPoint p = UnpackPoint(m->wParam());
            calls.push_back("menu " + std::to_string(m->lParam()) + " " + std::to_string(p.x()) +
                            "," + std::to_string(p.y()));
            break;
        }
        case WM_APP_VIDEO_CLICK: {
            const QPoint p = UnpackPoint(m->lParam());
            const bool dbl = (m->wParam() & kDoubleClickFlag) != 0;
            calls.push_back(std::string(dbl ? "double " : "click ") +
                            std::to_string(m->wParam() & 0xFF) + " " + std::to_string(p.x()) + "," +
                            std::to_string(p.y()));
            break;
        }
        default:
            calls.push_back("message " + std::to_string(m->message()));
        }
        return true;
    }
    std::vector<std::string> calls;
};

void Send(QWidget& w, QEvent::Type type, QPoint p) {
    QMouseEvent e(type, QPointF(p), w.mapToGlobal(QPointF(p)), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                  Qt::NoModifier);
    QApplication::sendEvent(&w, &e);
}

void Deliver(CMovieStatic& w, int message) {
    w.PostToWindow(message, 0, 0);
    QCoreApplication::sendPostedEvents(&w);
}

using Calls = std::vector<std::string>;

TEST(MovieWindow, ForwardsEngineMessagesBySlot) {
    struct Case {
        int slot;
        bool forwardReady;
        int message;
        Calls expected;
    } cases[] = {
        {0, false, WM_APP_ENGINE_ENDED, {"stopped"}}, {1, false, WM_APP_ENGINE_ENDED, {}},
        {0, true, WM_APP_ENGINE_READY, {"opened"}},   {0, false, WM_APP_ENGINE_READY, {}},
        {1, false, WM_APP_ENGINE_READY, {"opened"}},  {0, false, WM_APP_ENGINE_IGNORED, {}},
        {0, false, WM_APP_PLAYER_EVENT, {"event"}},   {1, false, WM_APP_PLAYER_EVENT, {}},
    };
    for (const auto& c : cases) {
        FakeOwner owner;
        CMovieStatic window(&owner);
        window.setSlot(c.slot);
        window.setForwardReady(c.forwardReady);
        Deliver(window, c.message);
        EXPECT_EQ(owner.calls, c.expected) << c.slot << " " << std::hex << c.message;
    }
}

TEST(MovieWindow, SingleAndDoubleClicks) {
    FakeOwner owner;
    CMovieStatic window(&owner);
    window.resize(320, 180);
    window.setSlot(1);
    window.setDoubleClickInterval(100000); // timers only fire by hand

    Send(window, QEvent::MouseButtonPress, {10, 20});
    Send(window, QEvent::MouseButtonRelease, {10, 20});
    EXPECT_TRUE(owner.calls.empty()) << "a click waits for the double-click time";
    EXPECT_TRUE(window.FireTimer(CMovieStatic::kClickTimer));
    EXPECT_EQ(owner.calls, (Calls{"click 1 10,20"}));

    // A double click cancels the pending single click.
    owner.calls.clear();
    Send(window, QEvent::MouseButtonPress, {30, 40});
    Send(window, QEvent::MouseButtonRelease, {30, 40});
    Send(window, QEvent::MouseButtonDblClick, {30, 40});
    Send(window, QEvent::MouseButtonRelease, {30, 40});
    EXPECT_FALSE(window.FireTimer(CMovieStatic::kClickTimer));
    EXPECT_EQ(owner.calls, (Calls{"double 1 30,40"}));
    EXPECT_FALSE(window.doubleClickSeen()) << "the button-up after the double click clears it";

    owner.calls.clear();
    Send(window, QEvent::MouseButtonPress, {5, 5});
    Send(window, QEvent::MouseButtonDblClick, {5, 5});
    EXPECT_EQ(owner.calls, (Calls{"double 1 5,5"}));
    EXPECT_TRUE(window.doubleClickSeen());
    // A press right after a double click is not a new click.
    Send(window, QEvent::MouseButtonPress, {6, 6});
    EXPECT_FALSE(window.timerActive(CMovieStatic::kClickTimer));
    EXPECT_TRUE(window.FireTimer(CMovieStatic::kDoubleClickTimer));
    EXPECT_FALSE(window.doubleClickSeen());
}

TEST(MovieWindow, ContextMenuOnlyForCameraSlots) {
    for (int slot : {-1, 0, 1}) {
        FakeOwner owner;
        CMovieStatic window(&owner);
        window.setSlot(slot);
        QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(3, 4), QPoint(103, 104));
        QApplication::sendEvent(&window, &e);
        EXPECT_EQ(owner.calls,
                  slot < 0 ? Calls{} : Calls{"menu " + std::to_string(slot) + " 103,104"})
            << slot;
    }
}

TEST(MovieWindow, TimedMessagesGoToTheOwner) {
    FakeOwner owner;
    CMovieStatic window(&owner);
    window.PostToOwner(WM_APP_TIMED_TICK, 0, 5);
    EXPECT_TRUE(owner.calls.empty()) << "posted, not sent";
    QCoreApplication::sendPostedEvents(&owner);
    EXPECT_EQ(owner.calls, (Calls{"message " + std::to_string(WM_APP_TIMED_TICK)}));
}

TEST(MovieWindow, PaintsThePictureInTheEngineRectangle) {
    kirvano::testing::TempDir dir;
    const std::string movie = dir.file("m.MOV");
    ASSERT_TRUE(
        kirvano::testing::MakeNumberedMovie(movie, {320, 240, "30000/1001", 1.0, false, false}));
    FakeOwner owner;
    CMovieStatic window(&owner);
    window.setSlot(0);
    window.resize(400, 200);
    // Nothing open: all black.
    QImage empty = window.grab().toImage();
    EXPECT_EQ(empty.pixel(200, 100) & 0xFFFFFF, 0u);

    PlaybackEngine engine(0, GstPipelineFactory());
    window.setEngine(&engine);
    ASSERT_TRUE(engine.Init(&window, "Noto Sans CJK JP"));
    ASSERT_TRUE(engine.Open(movie));
    ASSERT_TRUE(engine.SetPosition(21));
    const ViewRect r = engine.displayRect();
    // 4:3 in a 2:1 window: height kept, centred, 2 pixels more.
    EXPECT_EQ(r, (ViewRect{67, 0, 335, 202}));
    QImage shot = window.grab().toImage();
    EXPECT_EQ(shot.pixel(30, 100) & 0xFFFFFF, 0u) << "black left of the picture";
    EXPECT_EQ(shot.pixel(380, 100) & 0xFFFFFF, 0u) << "black right of the picture";
    EXPECT_EQ(kirvano::testing::ReadFrameCode(shot.copy(67, 0, 268, 200)), 21);
    // While playing, the picture painted is the frame the engine reports.
    ASSERT_TRUE(engine.SetPosition(0));
    ASSERT_TRUE(engine.Play());
    for (int i = 0; i < 10; ++i) {
        const std::int64_t before = engine.GetPosition();
        const auto code =
            kirvano::testing::ReadFrameCode(window.grab().toImage().copy(67, 0, 268, 200));
        const std::int64_t after = engine.GetPosition();
        ASSERT_TRUE(code.has_value());
        EXPECT_TRUE(*code >= before && *code <= after) << before << " " << *code << " " << after;
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
    ASSERT_TRUE(engine.Pause());
    ASSERT_TRUE(engine.SetPosition(21));

    ASSERT_TRUE(engine.SetMirror(true));
    QImage mirrored = window.grab().toImage().copy(67, 0, 268, 200).mirrored(true, false);
    EXPECT_EQ(kirvano::testing::ReadFrameCode(mirrored), 21);

    ASSERT_TRUE(engine.ShowOverlayText("REC"));
    QImage overlaid = window.grab().toImage();
    bool green = false;
    for (int y = 0; y < 120 && !green; ++y)
        for (int x = 0; x < 300 && !green; ++x)
            green = qGreen(overlaid.pixel(x, y)) > 200 && qRed(overlaid.pixel(x, y)) < 60;
    EXPECT_TRUE(green) << "green overlay text";
    engine.Close();
}

TEST(MovieDialog, PostsItsMessagesToTheParent) {
    struct Parent : QWidget {
        std::vector<int> seen;
        bool event(QEvent* e) override {
            if (IsAppMessage(e)) {
                seen.push_back(static_cast<AppMessage*>(e)->message());
                return true;
            }
            return QWidget::event(e);
        }
    } parent;
    CMovieDialog dialog("Rear", &parent);
    dialog.resize(200, 120);
    dialog.show();
    QApplication::sendPostedEvents();
    EXPECT_EQ(dialog.closeButton()->pos(), QPoint(180, 4));
    parent.seen.clear();
    Send(dialog, QEvent::MouseButtonDblClick, {50, 10});
    Send(dialog, QEvent::MouseButtonDblClick, {50, 60});
    dialog.CloseCommand();
    QCoreApplication::sendPostedEvents(&parent);
    std::vector<int> relevant;
    for (int m : parent.seen)
        if (m != WM_APP_RELAYOUT_VIDEO)
            relevant.push_back(m);
    EXPECT_EQ(relevant, (std::vector<int>{WM_APP_PLACE_SUB_VIDEO, WM_APP_DOCK_SUB_VIDEO}));
    EXPECT_FALSE(dialog.isVisible());
}

} // namespace
} // namespace kirvano
