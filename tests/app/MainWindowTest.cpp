// The main window's life cycle: first-start defaults, where the children sit, the private
// message path, workers and the shutdown order.
#include "app/CtarnicDlg.h"
#include "app/TaskRunner.h"
#include "app/WorkerThread.h"
#include "base/NamedLocks.h"
#include "config/Settings.h"
#include "library/ui/CFilerContainerDlg.h"
#include "playback/CMovieDialog.h"
#include "playback/CMovieStatic.h"
#include "ui/CSkinButton.h"
#include "ui/CSkinDialog.h"
#include "ui/CSkinProgressBarCtrl.h"
#include "ui/CSkinSliderCtrl.h"
#include "ui/UiText.h"
#include "views/CInfoDlg.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace kirvano {
namespace {

// The configuration folder is resolved once per process, so it is chosen before any test.
QTemporaryDir& ConfigDir() {
    static QTemporaryDir dir;
    return dir;
}
const bool kConfigDirSet = [] {
    setenv("KIRVANO_CONFIG_DIR", ConfigDir().path().toUtf8().constData(), 1);
    return true;
}();

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void ProcessUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// A main window that finds no removable volume and no configured source.
class Window : public CtarnicDlg {
public:
    Window() : CtarnicDlg(nullptr, std::make_unique<FixedVolumes>(std::vector<std::string>{})) {
        RecordHandledMessages(true);
    }
};

bool TryLockElsewhere(std::recursive_mutex& lock) {
    bool taken = false;
    std::thread([&] {
        taken = lock.try_lock();
        if (taken)
            lock.unlock();
    }).join();
    return taken;
}

// Runs first: the configuration file does not exist yet.
TEST(MainWindowStart, FirstStartWritesDefaultsAndSecondStartKeepsChanges) {
    ASSERT_TRUE(kConfigDirSet);
    const std::string path = ConfigFilePath();
    ASSERT_FALSE(QFile::exists(QString::fromStdString(path)));
    {
        Window dialog;
        EXPECT_TRUE(QFile::exists(QString::fromStdString(path)));
        EXPECT_EQ(ReadSetting("DISPLAY", "INFOCHECK"), "31");
        EXPECT_EQ(ReadSetting("DISPLAY", "ASPECT"), "on");
        EXPECT_EQ(ReadSetting("DISPLAY", "VOLUME"), "65535");
        EXPECT_TRUE(dialog.AspectFlag());
        EXPECT_EQ(dialog.StoredVolume(), 65535);
    }
    ASSERT_TRUE(WriteSetting("DISPLAY", "VOLUME", "1200"));
    ASSERT_TRUE(WriteSetting("DISPLAY", "ASPECT", "off"));
    const std::string before = ReadAll(path);
    {
        Window dialog;
        EXPECT_EQ(dialog.StoredVolume(), 1200);
        EXPECT_FALSE(dialog.AspectFlag());
    }
    EXPECT_EQ(ReadAll(path), before);
}

TEST(MainWindowStart, AspectAndVolumeAsStored) {
    struct Case {
        const char* aspect;
        const char* volume;
        bool aspectFlag;
        int storedVolume;
    };
    const Case cases[] = {
        {"on", "65535", true, 65535}, {"On", "0", false, 0},     {"off", "", false, 65535},
        {"", "300", false, 300},      {"ON", "12ab", false, 12}, {"on", "99999", true, 65535},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.aspect) + "/" + c.volume);
        ASSERT_TRUE(WriteSetting("DISPLAY", "ASPECT", c.aspect));
        ASSERT_TRUE(WriteSetting("DISPLAY", "VOLUME", c.volume));
        Window dialog;
        EXPECT_EQ(dialog.AspectFlag(), c.aspectFlag);
        EXPECT_EQ(dialog.StoredVolume(), c.storedVolume);
    }
    WriteSetting("DISPLAY", "ASPECT", "on");
    WriteSetting("DISPLAY", "VOLUME", "65535");
}

TEST(MainWindowStart, InitialState) {
    Window dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Kirvano"));
    EXPECT_EQ(dialog.size(), QSize(1120, 697));
    EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(dialog.LocksCreated());
    EXPECT_EQ(dialog.CurrentIndex(), -1);
    EXPECT_EQ(dialog.MainCamera(), 0);
    EXPECT_EQ(dialog.SubCamera(), 1);
    EXPECT_EQ(dialog.PendingSeek(), -1);
    EXPECT_FALSE(dialog.LongTaskRunning());
    EXPECT_TRUE(dialog.TimerActive(kTimerIdle));
    for (int id : {100, 101, 102, 104, 105})
        EXPECT_FALSE(dialog.TimerActive(id)) << id;
    ASSERT_NE(dialog.ProgressBar(), nullptr);
    EXPECT_TRUE(dialog.ProgressBar()->isHidden());
    EXPECT_EQ(dialog.ProgressBar()->GetRangeMin(), 0);
    EXPECT_EQ(dialog.ProgressBar()->GetRangeMax(), 100);
    EXPECT_EQ(dialog.RecordCount(), 0);
    // Nothing to play: only the source can be chosen.
    for (int id = 38000; id <= 38014; ++id)
        EXPECT_EQ(dialog.Button(id)->isEnabled(), id == 38009) << id;
}

TEST(MainWindowStart, ChildrenAtTheirPlacesInLayoutZero) {
    Window dialog;
    struct Case {
        const char* what;
        QWidget* widget;
        QRect rect;
    };
    std::vector<Case> cases = {
        {"main video", dialog.VideoWindow(0), {6, 24, 656, 369}},
        {"info panel", reinterpret_cast<QWidget*>(dialog.InfoPanel()), {6, 403, 656, 85}},
        {"list panel",
         reinterpret_cast<QWidget*>(dialog.ListPanel()),
         {662, 392, 452, 697 - 40 - 392}},
        {"seek slider", dialog.SeekSlider(), {6, 393, 656, 10}},
        {"progress bar", dialog.ProgressBar(), {6, 393 - 22, 656, 22}},
        {"close", dialog.Button(15), {1120 - 56, 0, 46, 18}},
        {"layout", dialog.Button(17), {1120 - 82, 0, 26, 18}},
        {"minimise", dialog.Button(16), {1120 - 108, 0, 26, 18}},
        {"volume slider", dialog.VolumeSlider(), {50 + 14 * 47 + 32 + 120, 697 - 30, 100, 20}},
    };
    for (int i = 0; i < 15; ++i) {
        const int left = (i < 9 ? 20 : 50) + i * 47;
        cases.push_back({"tool button", dialog.Button(38000 + i), {left, 697 - 35, 32, 32}});
    }
    for (const Case& c : cases) {
        ASSERT_NE(c.widget, nullptr) << c.what;
        EXPECT_EQ(c.widget->geometry(), c.rect) << c.what;
        EXPECT_EQ(c.widget->parentWidget(), &dialog) << c.what;
    }
    // The rear camera docks at the info panel's right edge, 98 wide.
    EXPECT_EQ(
        QRect(dialog.VideoWindow(1)->mapTo(&dialog, QPoint(0, 0)), dialog.VideoWindow(1)->size()),
        QRect(6 + 656 - 98, 403, 98, 85));
    EXPECT_EQ(dialog.Button(38009)->toolTip().toStdString(), UiText(10));
    EXPECT_EQ(dialog.Button(38002)->toolTip().toStdString(), UiText(12));
    EXPECT_EQ(dialog.Button(38013)->toolTip().toStdString(), UiText(153));
    EXPECT_EQ(dialog.VolumeSlider()->GetRangeMax(), 65535);
    EXPECT_FALSE(dialog.MovieDialog()->isVisible());

    // The first swap lets the rear camera float beside the main video, 452 x 274.
    dialog.show();
    dialog.OnCommand(38013);
    EXPECT_TRUE(dialog.MovieDialog()->isVisible());
    EXPECT_EQ(dialog.MovieDialog()->size(), QSize(452, 274));
    EXPECT_EQ(dialog.VideoWindow(1)->parentWidget(), dialog.MovieDialog());
    EXPECT_EQ(dialog.VideoWindow(1)->geometry(), QRect(1, 20, 450, 253));
    EXPECT_EQ(dialog.MainCamera(), 0);
    // Its frame: the grey caption strip with the caption, a close button a user can see,
    // and a drag by the strip that moves it.
    CMovieDialog* floating = dialog.MovieDialog();
    const QImage frame = floating->grab().toImage();
    EXPECT_EQ(frame.pixelColor(300, 10), CSkinDialog::kCaptionColour);
    EXPECT_EQ(frame.pixelColor(0, 100), QColor(0xCF, 0xCF, 0xCF));
    const auto whiteIn = [&](QRect area) {
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                count += frame.pixelColor(x, y) == CSkinDialog::kCaptionTextColour;
        return count;
    };
    EXPECT_GT(whiteIn({5, 2, 80, 16}), 10) << "the caption text";
    const QRect close(floating->closeButton()->geometry());
    EXPECT_EQ(close, QRect(452 - 20, 4, 13, 12));
    int unlikeStrip = 0;
    for (int y = close.top(); y <= close.bottom(); ++y)
        for (int x = close.left(); x <= close.right(); ++x)
            unlikeStrip += frame.pixelColor(x, y) != CSkinDialog::kCaptionColour;
    EXPECT_GT(unlikeStrip, 20) << "the close button is drawn";
    const QPoint from = floating->pos();
    const auto mouse = [&](QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(local), QPointF(floating->mapToGlobal(local)),
                          Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(floating, &event);
    };
    mouse(QEvent::MouseButtonPress, {200, 10}, Qt::LeftButton);
    mouse(QEvent::MouseMove, {230, 30}, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, {230, 30}, Qt::NoButton);
    EXPECT_EQ(floating->pos(), from + QPoint(30, 20));
    // The second exchanges the cameras; docking again puts the sub camera in the strip.
    dialog.OnCommand(38013);
    EXPECT_EQ(dialog.MainCamera(), 1);
    EXPECT_EQ(dialog.VideoWindow(1)->geometry(), QRect(6, 24, 656, 369));
    EXPECT_EQ(dialog.VideoWindow(0)->parentWidget(), dialog.MovieDialog());
    dialog.MovieDialog()->CloseCommand();
    QCoreApplication::sendPostedEvents(&dialog);
    EXPECT_EQ(
        QRect(dialog.VideoWindow(0)->mapTo(&dialog, QPoint(0, 0)), dialog.VideoWindow(0)->size()),
        QRect(6 + 656 - 98, 403, 98, 85));
}

// Layout button 17 cycles 0 -> 1 -> 2 -> 0; the window keeps its place and every child
// moves to the layout's place (numbers written out, not taken from the layout table).
TEST(MainWindowLayouts, EveryChildInEachLayout) {
    Window dialog;
    dialog.move(40, 30);
    dialog.show();
    const QRect frame = dialog.geometry();
    struct Layout {
        QRect video, slider, info, list;
        bool graph, listShown;
        int strip, buttonTop, volumeLeft;
        const char* buttons; // per tool button: V shown, - hidden
        std::vector<int> lefts;
        QRect map;
    };
    const std::vector<int> row = {20,  67,  114, 161, 208, 255, 302, 349,
                                  396, 473, 520, 567, 614, 661, 708};
    const Layout layouts[] = {
        {{6, 24, 656, 369},
         {6, 393, 656, 10},
         {6, 403, 656, 85},
         {662, 392, 452, 265},
         true,
         true,
         98,
         662,
         860,
         "VVVVVVVVVVVVVVV",
         row,
         {662, 24, 452, 368}},
        {{6, 24, 868, 489},
         {6, 513, 868, 10},
         {6, 523, 868, 124},
         {874, 24, 240, 633},
         false,
         true,
         138,
         661,
         813,
         "VVVVVVVVVVVVVVV",
         row,
         {}},
        {{6, 24, 1108, 624},
         {6, 648, 1108, 10},
         {4, 658, 1112, 1},
         {},
         false,
         false,
         0,
         661,
         501,
         "VVVVVV--V----V-",
         {20, 67, 114, 161, 208, 255, 0, 0, 302, 0, 0, 0, 0, 349, 0},
         {}},
    };
    for (int round = 0; round < 4; ++round) {
        const int mode = round % 3;
        SCOPED_TRACE("layout " + std::to_string(mode));
        const Layout& e = layouts[mode];
        ASSERT_EQ(dialog.LayoutMode(), mode);
        EXPECT_EQ(dialog.geometry(), frame) << "the window keeps its place and size";
        EXPECT_EQ(dialog.VideoWindow(0)->geometry(), e.video);
        EXPECT_EQ(dialog.SeekSlider()->geometry(), e.slider);
        EXPECT_EQ(dialog.ProgressBar()->geometry(),
                  QRect(6, e.video.bottom() + 1 - 22, e.video.width(), 22));
        EXPECT_EQ(reinterpret_cast<QWidget*>(dialog.InfoPanel())->geometry(), e.info);
        EXPECT_EQ(reinterpret_cast<QWidget*>(dialog.GraphPanel())->isVisible(), e.graph);
        QWidget* list = reinterpret_cast<QWidget*>(dialog.ListPanel());
        EXPECT_EQ(list->isVisible(), e.listShown);
        if (e.listShown) {
            EXPECT_EQ(list->geometry(), e.list);
            EXPECT_EQ(dialog.ListPanel()->Layout(), mode);
        }
        EXPECT_EQ(dialog.MapPlace(), e.map);
        // The docked rear camera: the strip at the info panel's right edge.
        EXPECT_EQ(QRect(dialog.VideoWindow(1)->mapTo(&dialog, QPoint(0, 0)),
                        dialog.VideoWindow(1)->size()),
                  QRect(e.info.right() + 1 - e.strip, e.info.top(), e.strip, e.info.height()));
        for (int i = 0; i < 15; ++i) {
            CSkinButton* button = dialog.Button(38000 + i);
            const bool shown = e.buttons[i] == 'V';
            EXPECT_EQ(button->isVisible(), shown) << 38000 + i;
            if (!shown)
                continue;
            // Layout 1 leaves the map switch where layout 0 put it.
            const int top = mode == 1 && i == 14 ? 662 : e.buttonTop;
            EXPECT_EQ(button->geometry(), QRect(e.lefts[i], top, 32, 32)) << 38000 + i;
        }
        EXPECT_EQ(dialog.VolumeSlider()->geometry(), QRect(e.volumeLeft, 667, 100, 20));
        EXPECT_EQ(dialog.Button(15)->geometry(), QRect(1064, 0, 46, 18));
        EXPECT_EQ(dialog.Button(17)->geometry(), QRect(1038, 0, 26, 18));
        EXPECT_EQ(dialog.Button(16)->geometry(), QRect(1012, 0, 26, 18));
        dialog.Button(17)->click();
    }
    dialog.Button(17)->click();
    EXPECT_EQ(dialog.LayoutMode(), 2);

    // Nothing is open: full screen is refused, and leaving it when not in it does nothing.
    dialog.ToggleFullScreen();
    EXPECT_FALSE(dialog.FullScreen());
    dialog.LeaveFullScreen();
    EXPECT_EQ(dialog.geometry(), frame);

    // So is zoom mode, like every command that needs a ready recording.
    dialog.OnCommand(kCmdZoom);
    EXPECT_FALSE(dialog.ZoomMode());
}

TEST(MainWindowStart, DraggedByAFreePoint) {
    Window dialog;
    dialog.move(100, 100);
    dialog.show();
    const QPoint start = dialog.pos();
    const QPoint grab(700, 10); // the caption rows, no child there
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(at), dialog.mapToGlobal(QPointF(at)), Qt::LeftButton, buttons,
                      Qt::NoModifier);
        QApplication::sendEvent(&dialog, &e);
    };
    send(QEvent::MouseButtonPress, grab, Qt::LeftButton);
    send(QEvent::MouseMove, grab + QPoint(30, 20), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, grab + QPoint(30, 20), Qt::NoButton);
    EXPECT_EQ(dialog.pos(), start + QPoint(30, 20));
}

TEST(MainWindowStart, VersionCheckIsPostedAndHandledOnce) {
    Window dialog;
    EXPECT_FALSE(dialog.VersionCheckStarted());
    PostAppMessage(&dialog, WM_APP_START_VERSION_CHECK);
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialog.VersionCheckStarted());
    int seen = 0;
    for (const auto& handled : dialog.HandledMessages())
        seen += handled.message == WM_APP_START_VERSION_CHECK ? 1 : 0;
    EXPECT_EQ(seen, 2); // the start-up post and ours; the second one does nothing
}

TEST(MainWindowMessages, ProgressPercent) {
    struct Case {
        std::intptr_t done, total;
        int percent;
    };
    const Case cases[] = {{0, 10, 0},   {5, 10, 50},   {10, 10, 100}, {1, 3, 33},  {7, 0, 100},
                          {7, -1, 100}, {20, 10, 100}, {-3, 10, 0},   {1, 1000, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(ProgressPercent(c.done, c.total), c.percent) << c.done << "/" << c.total;
}

TEST(MainWindowMessages, HandledOnUiThreadInPostingOrder) {
    Window dialog;
    QCoreApplication::processEvents(); // the start-up message
    const std::size_t start = dialog.HandledMessages().size();
    const std::vector<CtarnicDlg::HandledMessage> posted = {
        {WM_APP_MAP_SEEK, 0, 420, true},      {WM_APP_LIST_NOTICE, 1, 2, true},
        {WM_APP_SETTING_CHANGED, 3, 7, true}, {WM_APP_PROGRESS, 2, 4, true},
        {WM_APP_RELAYOUT_VIDEO, 0, 0, true},  {WM_APP_PLAYER_EVENT, 9, 9, true},
    };
    for (const auto& m : posted)
        PostAppMessage(&dialog, m.message, m.wParam, m.lParam);
    PostAppMessage(&dialog, 0x8100, 0, 0); // an unused value of the range: not handled
    QCoreApplication::processEvents();
    const std::vector<CtarnicDlg::HandledMessage> got(dialog.HandledMessages().begin() + start,
                                                      dialog.HandledMessages().end());
    EXPECT_EQ(got, posted);
    EXPECT_EQ(dialog.ProgressBar()->GetPos(), 50);
}

TEST(MainWindowMessages, WorkerPostsFromAnotherThread) {
    Window dialog;
    QCoreApplication::processEvents();
    const std::size_t start = dialog.HandledMessages().size();
    WorkerThread worker;
    std::atomic<bool> wasOffUiThread{false};
    worker.Start([&](const std::atomic<bool>&) {
        wasOffUiThread = QThread::currentThread() != dialog.thread();
        for (int i = 1; i <= 5; ++i)
            PostAppMessage(&dialog, WM_APP_PROGRESS, i, 5);
    });
    worker.Join();
    EXPECT_FALSE(worker.Running());
    ProcessUntil([&] { return dialog.HandledMessages().size() >= start + 5; });
    ASSERT_EQ(dialog.HandledMessages().size(), start + 5);
    EXPECT_TRUE(wasOffUiThread);
    for (int i = 0; i < 5; ++i) {
        const auto& handled = dialog.HandledMessages()[start + i];
        EXPECT_EQ(handled.message, WM_APP_PROGRESS);
        EXPECT_EQ(handled.wParam, i + 1);
        EXPECT_TRUE(handled.onUiThread);
    }
    EXPECT_EQ(dialog.ProgressBar()->GetPos(), 100);
}

TEST(WorkerThreadTest, CancelStopsAPollingBodyAndRestartJoinsFirst) {
    WorkerThread worker;
    std::atomic<int> runs{0};
    auto body = [&](const std::atomic<bool>& cancelled) {
        ++runs;
        while (!cancelled)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    worker.Start(body);
    EXPECT_TRUE(worker.Running());
    worker.Stop();
    EXPECT_FALSE(worker.Running());
    worker.Start([&](const std::atomic<bool>&) { ++runs; });
    worker.Join();
    EXPECT_EQ(runs, 2);
    EXPECT_FALSE(worker.CancelRequested());
}

TEST(MainWindowLongTask, CompletionReportsProgressAndSuccess) {
    struct Case {
        bool result;
    };
    for (const Case c : {Case{true}, Case{false}}) {
        Window dialog;
        ASSERT_TRUE(dialog.StartLongTask(
            [&](const TaskRunner::Progress& progress, const std::atomic<bool>&) {
                progress(1, 4);
                progress(3, 4);
                return c.result;
            }));
        EXPECT_TRUE(dialog.LongTaskRunning());
        EXPECT_FALSE(dialog.StartLongTask([](auto&, auto&) { return true; }));
        ProcessUntil([&] { return !dialog.LongTaskRunning(); });
        EXPECT_FALSE(dialog.LongTaskRunning());
        EXPECT_EQ(dialog.TaskSucceeded(), c.result);
        EXPECT_EQ(dialog.ProgressBar()->GetPos(), 75);
        EXPECT_TRUE(dialog.ProgressBar()->isHidden());
        ASSERT_GE(dialog.HandledMessages().size(), 3u);
        EXPECT_EQ(dialog.HandledMessages().back().message, WM_APP_TASK_DONE);
    }
}

enum class CloseBy { kClose, kReject, kEscape, kDestroy };

TEST(MainWindowShutdown, JoinsRunningTaskAndFreesLocks) {
    for (CloseBy how : {CloseBy::kClose, CloseBy::kReject, CloseBy::kEscape, CloseBy::kDestroy}) {
        SCOPED_TRACE(static_cast<int>(how));
        std::atomic<bool> started{false};
        std::atomic<bool> finished{false};
        auto dialog = std::make_unique<Window>();
        dialog->show();
        ASSERT_TRUE(dialog->StartLongTask(
            [&](const TaskRunner::Progress&, const std::atomic<bool>& cancelled) {
                started = true;
                while (!cancelled) {
                    std::lock_guard<std::recursive_mutex> hold(NamedLock("hMutexCache"));
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                finished = true;
                return false;
            }));
        while (!started)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        switch (how) {
        case CloseBy::kClose:
            dialog->close();
            break;
        case CloseBy::kReject:
            dialog->reject();
            break;
        case CloseBy::kEscape: {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(dialog.get(), &escape);
            break;
        }
        case CloseBy::kDestroy:
            dialog.reset();
            break;
        }
        EXPECT_TRUE(finished);
        if (dialog) {
            EXPECT_EQ(dialog->ShutdownRuns(), 1);
            EXPECT_FALSE(dialog->isVisible());
            EXPECT_FALSE(dialog->LongTaskRunning());
            for (int id = 100; id <= 105; ++id)
                EXPECT_FALSE(dialog->TimerActive(id)) << id;
            dialog.reset();
        }
        EXPECT_TRUE(TryLockElsewhere(NamedLock("hMutexCache")));
        EXPECT_TRUE(TryLockElsewhere(NamedLock("hMutexCpSet")));
    }
}

TEST(MainWindowShutdown, CloseRunsTheShutdownOnce) {
    Window dialog;
    dialog.show();
    dialog.close();
    EXPECT_EQ(dialog.ShutdownRuns(), 1);
    dialog.close();
    dialog.reject();
    EXPECT_EQ(dialog.ShutdownRuns(), 1);
    EXPECT_FALSE(dialog.StartLongTask([](auto&, auto&) { return true; }));
}

} // namespace
} // namespace kirvano
