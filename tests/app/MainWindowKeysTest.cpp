// The keyboard on the real main window over a generated recorder card: frame steps read
// back from the picture's bar code, the five-second jumps, play and pause, the volume and
// speed keys, the recording keys, the snapshot and source keys, the list keeping its arrow
// keys, the list of keys, and every key doing nothing while a long task runs; then the
// speed unit of the settings window and the list's track menu.
#include "app/CSettingDlg.h"
#include "app/CtarnicDlg.h"
#include "config/Settings.h"
#include "export/ScriptedDialogs.h"
#include "library/ui/CFileListCtrl.h"
#include "library/ui/CFilerContainerDlg.h"
#include "playback/CMovieStatic.h"
#include "playback/PlaybackEngine.h"
#include "support/FrameBarcode.h"
#include "support/TempDir.h"
#include "support/ViewerCard.h"
#include "ui/CSkinButton.h"
#include "ui/CSkinSliderCtrl.h"
#include "ui/UiText.h"
#include "views/CInfoDlg.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>

namespace kirvano {
namespace {

namespace fs = std::filesystem;
using testing::ProcessUntil;
using testing::ScriptedDialogs;
using testing::ShownFrame;
using testing::TempDir;

using testing::Wait;

// A key pressed and released on a widget, through the application like a real one.
void Press(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(target, &release);
}

EngineState State(CtarnicDlg& w) {
    return w.Engine(0) != nullptr ? w.Engine(0)->state() : EngineState::Closed;
}

TEST(MainWindowKeys, EveryKeyOnTheRealWindow) {
    TempDir dir;
    setenv("KIRVANO_CONFIG_DIR", dir.file("config").c_str(), 1);
    ResetConfigDirectoryForTests();
    // 8-second recordings of 200 frames, two of them in the first group.
    const std::string card = dir.file("card");
    ASSERT_TRUE(testing::MakeSmallCard(card, 8));
    fs::create_directories(dir.file("snap"));
    ASSERT_TRUE(WriteSetting("SOURCE", "SELECT", "FOLDER"));
    ASSERT_TRUE(WriteSetting("SOURCE", "FOLDER", card + "/Normal"));

    CtarnicDlg w(nullptr, std::make_unique<FixedVolumes>(std::vector<std::string>{}));
    auto owned = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs& dialogs = *owned;
    w.SetFlowDialogs(std::move(owned));
    w.show();
    ASSERT_TRUE(ProcessUntil([&] { return w.Ready(); })) << "the first recording opens";
    ASSERT_EQ(w.RecordCount(), 2);
    ASSERT_EQ(w.PositionMax(), 200);
    QWidget* video = w.VideoWindow(w.MainCamera());
    QWidget* playButton = w.Button(kCmdPlay);

    // Frame steps on the stopped first frame, forward and back, frame-exact in the picture.
    ASSERT_EQ(ShownFrame(w), 0);
    for (int i = 0; i < 3; ++i)
        Press(video, Qt::Key_Right);
    EXPECT_EQ(w.SeekSlider()->GetPos(), 3);
    EXPECT_EQ(ShownFrame(w), 3);
    Press(video, Qt::Key_Left);
    EXPECT_EQ(ShownFrame(w), 2) << "a step back lands on the frame before";
    Press(playButton, Qt::Key_Left); // whichever child has the focus
    EXPECT_EQ(ShownFrame(w), 1);

    // Shift+arrows jump five seconds (125 frames), never past the seek margin.
    Press(video, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(w.SeekSlider()->GetPos(), 126);
    EXPECT_EQ(ShownFrame(w), 126);
    Press(video, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(ShownFrame(w), 180) << "200 frames less the end margin of 20";
    for (int i = 0; i < 3; ++i)
        Press(video, Qt::Key_Right);
    EXPECT_EQ(ShownFrame(w), 180);
    Press(video, Qt::Key_Left);
    EXPECT_EQ(ShownFrame(w), 179);
    Press(video, Qt::Key_Left, Qt::ShiftModifier);
    Press(video, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(ShownFrame(w), 0);
    EXPECT_EQ(State(w), EngineState::Stopped);

    // Volume keys: a twentieth of the range per press, stored like the slider does.
    EXPECT_EQ(w.StoredVolume(), 65535);
    Press(video, Qt::Key_Down);
    Press(video, Qt::Key_Down);
    EXPECT_EQ(w.StoredVolume(), 65535 - 2 * 3277);
    EXPECT_EQ(w.VolumeSlider()->GetPos(), 65535 - 2 * 3277);
    EXPECT_EQ(ReadVolumeSetting(), 65535 - 2 * 3277);
    Press(video, Qt::Key_Up);
    EXPECT_EQ(w.StoredVolume(), 65535 - 3277);

    // Space plays and pauses; a frame step does nothing while playing; + and - change
    // the speed as the buttons do, each press held off until the speed has settled.
    Press(video, Qt::Key_Space);
    EXPECT_EQ(State(w), EngineState::Playing);
    Press(video, Qt::Key_Plus, Qt::ShiftModifier);
    EXPECT_EQ(w.Engine(0)->rateCode(), 2);
    Press(video, Qt::Key_Plus);
    EXPECT_EQ(w.Engine(0)->rateCode(), 2) << "the faster button is off while the speed settles";
    ASSERT_TRUE(ProcessUntil([&] { return w.Button(kCmdSlower)->isEnabled(); }, 2000));
    Press(video, Qt::Key_Minus);
    EXPECT_EQ(w.Engine(0)->rateCode(), 1);
    Press(video, Qt::Key_Space);
    EXPECT_EQ(State(w), EngineState::Paused);
    const std::int64_t held = w.ShownPosition();
    ASSERT_GT(held, 0);
    Press(video, Qt::Key_Right);
    EXPECT_EQ(ShownFrame(w), held + 1);

    // S saves the snapshot of the shown frame through the snapshot flow.
    dialogs.folders = {dir.file("snap")};
    Press(video, Qt::Key_S);
    int snapshots = 0;
    for (const auto& entry : fs::directory_iterator(dir.file("snap"))) {
        QImage image;
        ASSERT_TRUE(image.load(QString::fromStdString(entry.path().string()), "JPG"));
        EXPECT_EQ(kirvano::testing::ReadFrameBarcode(image), held + 1) << entry.path();
        ++snapshots;
    }
    EXPECT_EQ(snapshots, 2) << "front and rear";

    // The list keeps its arrow keys while it has the focus; the other keys still work.
    CFileListCtrl* list = w.ListPanel()->List();
    QApplication::setActiveWindow(&w);
    list->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), list);
    const int volume = w.StoredVolume();
    Press(list, Qt::Key_Up); // on the first row: the list lets it travel up to the window
    EXPECT_EQ(w.StoredVolume(), volume);
    EXPECT_EQ(w.CurrentIndex(), 0);

    // Page Down and Page Up: the next recording (playing) and back (stopped).
    Press(list, Qt::Key_PageDown);
    ASSERT_TRUE(ProcessUntil([&] { return w.Ready() && w.CurrentIndex() == 1; }));
    EXPECT_EQ(State(w), EngineState::Playing);
    Press(video, Qt::Key_PageUp);
    ASSERT_TRUE(ProcessUntil([&] { return w.Ready() && w.CurrentIndex() == 0; }));
    EXPECT_EQ(State(w), EngineState::Stopped);
    list->clearFocus();

    // Ctrl+O opens the source dialog, modally; plain O does nothing.
    QString modal;
    QTimer::singleShot(300, [&] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            modal = QString::fromLatin1(dialog->metaObject()->className());
            dialog->close();
        }
    });
    Press(video, Qt::Key_O);
    Wait(400);
    EXPECT_TRUE(modal.isEmpty());
    QTimer::singleShot(300, [&] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            modal = QString::fromLatin1(dialog->metaObject()->className());
            dialog->close();
        }
    });
    Press(video, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(modal, QStringLiteral("kirvano::CSourceOpenDlg"));
    ASSERT_TRUE(ProcessUntil([&] { return w.Ready(); }));

    // F1 shows the list of keys over the video; the next key only closes it.
    Press(video, Qt::Key_F1);
    ASSERT_NE(w.KeyHelp(), nullptr);
    EXPECT_TRUE(w.KeyHelp()->isVisible());
    EXPECT_TRUE(video->geometry().contains(w.KeyHelp()->geometry()));
    Press(video, Qt::Key_Space);
    EXPECT_FALSE(w.KeyHelp()->isVisible());
    EXPECT_EQ(State(w), EngineState::Stopped);
    Press(video, Qt::Key_Question, Qt::ShiftModifier);
    EXPECT_TRUE(w.KeyHelp()->isVisible());
    Press(video, Qt::Key_Escape);
    EXPECT_FALSE(w.KeyHelp()->isVisible());
    EXPECT_TRUE(w.isVisible()) << "Escape closed the list, not the window";

    // F and F11 switch full screen on and off; Escape leaves it.
    Press(video, Qt::Key_F);
    ASSERT_TRUE(w.FullScreen());
    Press(video, Qt::Key_F11);
    EXPECT_FALSE(w.FullScreen());
    Press(video, Qt::Key_F11);
    ASSERT_TRUE(w.FullScreen());
    Press(video, Qt::Key_Escape);
    EXPECT_FALSE(w.FullScreen());
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.size(), QSize(CtarnicDlg::kWidth, CtarnicDlg::kHeight));

    // While a long task runs no key does anything.
    std::atomic<bool> release{false};
    ASSERT_TRUE(
        w.StartLongTask([&](const TaskRunner::Progress&, const std::atomic<bool>& cancelled) {
            while (!release && !cancelled)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            return false;
        }));
    const int volumeBefore = w.StoredVolume();
    for (int key :
         {Qt::Key_Space, Qt::Key_Right, Qt::Key_PageDown, Qt::Key_Down, Qt::Key_F1, Qt::Key_F})
        Press(video, key);
    Press(video, Qt::Key_Right, Qt::ShiftModifier);
    Wait(100);
    EXPECT_EQ(State(w), EngineState::Stopped);
    EXPECT_EQ(w.ShownPosition(), 0);
    EXPECT_EQ(w.CurrentIndex(), 0);
    EXPECT_EQ(w.StoredVolume(), volumeBefore);
    EXPECT_FALSE(w.KeyHelp()->isVisible());
    EXPECT_FALSE(w.FullScreen());
    EXPECT_TRUE(w.LongTaskRunning());
    release = true;
    ASSERT_TRUE(ProcessUntil([&] { return !w.LongTaskRunning() && w.Ready(); }));
    Press(video, Qt::Key_Right);
    EXPECT_EQ(ShownFrame(w), 1) << "the keys work again";

    // The settings window's speed unit: the info panel shows mph at once, and it is stored.
    ASSERT_TRUE(w.InfoPanel()->Values().gpsValid);
    EXPECT_EQ(w.InfoPanel()->UnitText(), QStringLiteral("km/h"));
    w.SettingDialog()->UnitSwitch(SpeedUnit::Mph)->click();
    EXPECT_EQ(w.InfoPanel()->UnitText(), QStringLiteral("mph"));
    EXPECT_EQ(w.InfoPanel()->SpeedText(),
              QString::asprintf("%.0f ", w.InfoPanel()->Values().speed / 1.609344));
    EXPECT_EQ(ReadSetting("DISPLAY", "SPEED_UNIT"), "mph");
    EXPECT_FALSE(w.SettingDialog()->UnitSwitch(SpeedUnit::Kmh)->isChecked());
    w.SettingDialog()->UnitSwitch(SpeedUnit::Mph)->click();
    EXPECT_TRUE(w.SettingDialog()->UnitSwitch(SpeedUnit::Mph)->isChecked()) << "one stays on";

    // The list's track menu on the first row: its GPX is the document kirvano-cli writes for
    // the recording, and its evidence package passes kirvano-cli verify.
    const std::string front = w.Source().recordingList().front().path;
    const auto chooseFromMenu = [&](int item) {
        QTimer::singleShot(200, [item] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr)
                return;
            for (QAction* action : menu->actions()) {
                if (action->text() == CFileListCtrl::TrackMenuText(item))
                    menu->setActiveAction(action);
            }
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(menu, &enter);
        });
        const QPoint at = list->visualRect(list->model()->index(0, 0)).center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &click);
        ASSERT_TRUE(ProcessUntil([&] { return !w.LongTaskRunning() && w.Ready(); }));
    };
    fs::create_directories(dir.file("tracks"));
    dialogs.shown.clear();
    dialogs.folders = {dir.file("tracks")};
    chooseFromMenu(0);
    const std::string gpx = dir.file("tracks/" + fs::path(front).stem().string() + ".gpx");
    ASSERT_TRUE(fs::exists(gpx));
    ASSERT_EQ(std::system((std::string(KIRVANO_CLI) + " gpx '" + front + "' '" +
                           dir.file("cli.gpx") + "' --kind file > /dev/null")
                              .c_str()),
              0);
    EXPECT_EQ(testing::ReadAll(gpx), testing::ReadAll(dir.file("cli.gpx")));
    EXPECT_NE(testing::ReadAll(gpx).find("<trkpt"), std::string::npos);
    EXPECT_EQ(dialogs.shown, std::vector<std::string>{UiText(48)});
    EXPECT_EQ(ReadSetting("FOLDERPATH", "TRACK_FOLDER"), dir.file("tracks"));

    // The package takes the recordings ticked in the selection dialog, the clicked one
    // offered ticked.
    const std::string second = w.Source().recordingList().at(1).path;
    dialogs.pick = [](const std::vector<RecordingInfo>& rows) {
        return std::vector<RecordingInfo>(rows.begin(), rows.begin() + 2);
    };
    dialogs.folders = {dir.file("tracks")};
    chooseFromMenu(2);
    EXPECT_EQ(dialogs.pickedFirst, front);
    const std::string package = dir.file("tracks/evidence-" + fs::path(front).stem().string());
    ASSERT_TRUE(fs::exists(package + "/manifest.json"));
    EXPECT_EQ(
        std::system((std::string(KIRVANO_CLI) + " verify '" + package + "' > /dev/null").c_str()),
        0);
    EXPECT_TRUE(fs::exists(package + "/" + fs::path(front).filename().string()));
    EXPECT_TRUE(fs::exists(package + "/" + fs::path(second).filename().string()));
}

} // namespace
} // namespace kirvano
