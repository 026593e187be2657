// The real main window on a generated recorder card: start-up opens the first recording
// on its first frame, play and pause, a seek by the slider read back from the picture's
// bar code, next and previous, the advance at the end across folders, an unreadable
// recording, the source vanishing during playback and closing while playing.
#include "app/CtarnicDlg.h"
#include "config/Settings.h"
#include "library/ui/CFilerContainerDlg.h"
#include "playback/CMovieStatic.h"
#include "playback/PlaybackEngine.h"
#include "support/TempDir.h"
#include "support/ViewerCard.h"
#include "ui/CSkinButton.h"
#include "ui/CSkinSliderCtrl.h"
#include "views/CGSensorDlg.h"
#include "views/CInfoDlg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

namespace kirvano {
namespace {

namespace fs = std::filesystem;

using testing::Scratch;

using testing::ProcessUntil;
using testing::Wait;
using Window = testing::CardWindow;

// Three 2-second recordings: two in the first group of the day, one the next day.
const std::string& Card() {
    static const std::string card = [] {
        const std::string dir = Scratch().file("card");
        EXPECT_TRUE(testing::MakeSmallCard(dir, 2));
        return dir;
    }();
    return card;
}

using testing::ShownFrame;
using testing::UseFolder;

std::string CurrentName(const Window& w) {
    const auto& list = w.ListPanel()->ShownRecordings();
    return w.CurrentIndex() >= 0 && w.CurrentIndex() < static_cast<int>(list.size())
               ? list[w.CurrentIndex()].name
               : std::string();
}

EngineState State(Window& w) {
    return w.Engine(0) != nullptr ? w.Engine(0)->state() : EngineState::Closed;
}

void Drag(QWidget& slider, int fromX, int toX) {
    const int y = slider.height() / 2;
    auto send = [&](QEvent::Type type, int x, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(x, y), slider.mapToGlobal(QPointF(x, y)), Qt::LeftButton,
                      buttons, Qt::NoModifier);
        QApplication::sendEvent(&slider, &e);
    };
    send(QEvent::MouseButtonPress, fromX, Qt::LeftButton);
    send(QEvent::MouseMove, (fromX + toX) / 2, Qt::LeftButton);
    send(QEvent::MouseMove, toX, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, toX, Qt::NoButton);
}

TEST(MainWindowPlayback, PlaysTheCardEndToEnd) {
    UseFolder(Card() + "/Normal");
    Window w;
    w.show();

    // Start-up: the first group is listed and its first recording shown, stopped.
    ASSERT_TRUE(ProcessUntil([&] { return w.Ready(); })) << "the first recording opens";
    EXPECT_EQ(w.RecordCount(), 2);
    EXPECT_EQ(CurrentName(w), "A_S-240518-081107-000101F.MOV");
    EXPECT_EQ(State(w), EngineState::Stopped);
    EXPECT_EQ(ShownFrame(w), 0);
    ASSERT_NE(w.Engine(1), nullptr);
    EXPECT_EQ(w.Engine(1)->state(), EngineState::Stopped) << "the rear camera is open too";
    EXPECT_EQ(w.PositionMax(), 50);
    EXPECT_TRUE(w.TimerActive(kTimerPlaybackTick));
    EXPECT_FALSE(w.Busy());
    // The info panel shows the recorder's clock of the shown frame and its G values.
    EXPECT_EQ(w.InfoPanel()->DateText().left(10), QStringLiteral("2024/05/18"));
    EXPECT_FALSE(w.InfoPanel()->GText(2).isEmpty());

    // Play advances the position and the slider; pause holds it.
    w.OnCommand(kCmdPlay);
    EXPECT_EQ(State(w), EngineState::Playing);
    ASSERT_TRUE(ProcessUntil([&] { return w.SeekSlider()->GetPos() > 5; }, 3000));
    w.OnCommand(kCmdPlay);
    EXPECT_EQ(State(w), EngineState::Paused);
    const std::int64_t held = w.Engine(0)->GetPosition();
    Wait(300);
    EXPECT_EQ(w.Engine(0)->GetPosition(), held);
    EXPECT_EQ(w.StoredVolume(), 65535);

    // A drag of the seek slider's thumb seeks to the frame where it is let go.
    CSkinSliderCtrl& slider = *w.SeekSlider();
    const int toX = slider.width() / 2;
    const int target = slider.PositionAt(toX);
    ASSERT_GT(target, 10);
    ASSERT_LT(target, 50 - 20);
    Drag(slider, slider.ThumbX() + 2, toX);
    QCoreApplication::processEvents();
    EXPECT_EQ(slider.GetPos(), target);
    EXPECT_EQ(ShownFrame(w), target);
    EXPECT_EQ(State(w), EngineState::Paused) << "the state before the press";

    // Next opens the following recording playing; previous goes back, stopped.
    w.OnCommand(kCmdNext);
    ASSERT_TRUE(ProcessUntil([&] { return w.Ready() && w.CurrentIndex() == 1; }));
    EXPECT_EQ(CurrentName(w), "G__-240518-081207-000102F.MOV");
    EXPECT_EQ(State(w), EngineState::Playing);

    // A left click on the G-sensor graph jumps to the impact's first frame, shown in the
    // picture; the next click within half a second is refused.
    w.OnCommand(kCmdToStart);
    ASSERT_TRUE(ProcessUntil([&] { return ShownFrame(w) == 0; }, 3000));
    const std::vector<MapEvent> events = w.Events().Events();
    ASSERT_FALSE(events.empty()) << "the impact recording has an event";
    ASSERT_GT(events.front().frame, 0);
    const auto clickGraph = [&] {
        QWidget& graph = *w.GraphPanel();
        const QPointF at(graph.width() / 2, graph.height() / 2);
        QMouseEvent e(QEvent::MouseButtonRelease, at, graph.mapToGlobal(at), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&graph, &e);
    };
    clickGraph();
    ASSERT_TRUE(ProcessUntil([&] { return w.SeekSlider()->GetPos() == events.front().frame; }));
    EXPECT_EQ(ShownFrame(w), events.front().frame);
    EXPECT_FALSE(w.GraphPanel()->JumpsEnabled());
    ASSERT_TRUE(ProcessUntil([&] { return w.GraphPanel()->JumpsEnabled(); }, 2000));
    w.OnCommand(kCmdPrevious);
    ASSERT_TRUE(ProcessUntil([&] { return w.Ready() && w.CurrentIndex() == 0; }));
    EXPECT_EQ(State(w), EngineState::Stopped);
    EXPECT_EQ(ShownFrame(w), 0);

    // The end of a recording plays the next one; the end of the group moves to the next
    // group; the end of the last recording stops there on its first frame.
    w.OnCommand(kCmdPlay);
    ASSERT_TRUE(ProcessUntil([&] { return w.CurrentIndex() == 1 && w.Ready(); }, 8000));
    EXPECT_EQ(State(w), EngineState::Playing);
    ASSERT_TRUE(ProcessUntil(
        [&] { return CurrentName(w) == "A_S-240519-090513-000103F.MOV" && w.Ready(); }, 8000));
    EXPECT_EQ(w.RecordCount(), 1);
    EXPECT_EQ(State(w), EngineState::Playing);
    ASSERT_TRUE(ProcessUntil([&] { return w.Ready() && State(w) == EngineState::Stopped; }, 8000));
    EXPECT_EQ(CurrentName(w), "A_S-240519-090513-000103F.MOV");
    Wait(200);
    EXPECT_EQ(State(w), EngineState::Stopped) << "the last recording is not played again";
    EXPECT_EQ(ShownFrame(w), 0);

    // Every event-type filter off empties the list and closes the players; one back on
    // refills it and opens its first row.
    for (int k = 0; k < CFilerContainerDlg::kFilterCount; ++k)
        w.ListPanel()->FilterToggle(k)->click();
    EXPECT_EQ(w.RecordCount(), 0);
    EXPECT_EQ(State(w), EngineState::Closed);
    EXPECT_FALSE(w.Ready());
    for (int k = 0; k < CFilerContainerDlg::kFilterCount; ++k)
        w.ListPanel()->FilterToggle(k)->click();
    EXPECT_EQ(w.RecordCount(), 1);
    ASSERT_TRUE(ProcessUntil([&] { return w.Ready(); }));
    EXPECT_EQ(CurrentName(w), "A_S-240519-090513-000103F.MOV");
}

TEST(MainWindowPlayback, BadRecordingsAVanishingSourceAndClosingWhilePlaying) {
    // A copy of the first group whose first movies are cut short and whose second
    // recording has lost its rear movie and its data file.
    const std::string folder = Scratch().file("copy/Normal");
    fs::create_directories(fs::path(folder).parent_path());
    fs::copy(Card() + "/Normal", folder, fs::copy_options::recursive);
    fs::resize_file(folder + "/Front/A_S-240518-081107-000101F.MOV", 600);
    fs::resize_file(folder + "/Rear_/A_S-240518-081107-000101R.MOV", 0);
    fs::remove(folder + "/Rear_/G__-240518-081207-000102R.MOV");
    fs::remove(folder + "/Data/G__-240518-081207-000102D.ADA");
    UseFolder(folder);

    auto w = std::make_unique<Window>();
    w->show();
    // The cut movie does not open: the window comes back to idle with nothing playing.
    ASSERT_TRUE(ProcessUntil([&] { return !w->Busy() && !w->TimerActive(kTimerRunOpen); }));
    EXPECT_FALSE(w->Ready());
    EXPECT_EQ(w->CurrentIndex(), 0);
    EXPECT_EQ(State(*w), EngineState::Closed);
    EXPECT_TRUE(w->Button(kCmdNext)->isEnabled());

    // The next recording plays its front movie alone, without telemetry.
    w->OnCommand(kCmdNext);
    ASSERT_TRUE(ProcessUntil([&] { return w->Ready() && w->CurrentIndex() == 1; }));
    EXPECT_EQ(State(*w), EngineState::Playing);
    EXPECT_EQ(w->Engine(1)->state(), EngineState::Closed);
    ASSERT_TRUE(ProcessUntil([&] { return w->SeekSlider()->GetPos() > 3; }, 3000));

    // The folder goes away while it plays: the list empties, the players close, the
    // window stays.
    fs::remove_all(fs::path(folder).parent_path());
    ASSERT_TRUE(ProcessUntil([&] { return w->RecordCount() == 0; }, 3000));
    EXPECT_EQ(State(*w), EngineState::Closed);
    EXPECT_FALSE(w->Ready());
    EXPECT_FALSE(w->TimerActive(kTimerPlaybackTick));
    EXPECT_TRUE(w->isVisible());
    for (int id = kCmdToStart; id <= kCmdMapSwitch; ++id)
        EXPECT_EQ(w->Button(id)->isEnabled(), id == kCmdSource) << id;

    // Closing while a recording plays ends everything once.
    UseFolder(Card() + "/Normal");
    auto second = std::make_unique<Window>();
    ASSERT_TRUE(ProcessUntil([&] { return second->Ready(); }));
    second->OnCommand(kCmdPlay);
    ASSERT_TRUE(ProcessUntil([&] { return second->SeekSlider()->GetPos() > 3; }, 3000));
    second->OnCommand(kCmdClose);
    EXPECT_EQ(second->ShutdownRuns(), 1);
    EXPECT_EQ(second->Engine(0), nullptr) << "players released";
    for (int id = kTimerPlaybackTick; id <= kTimerRateSettle; ++id)
        EXPECT_FALSE(second->TimerActive(id)) << id;
    second.reset();
    w.reset();
}

} // namespace
} // namespace kirvano
