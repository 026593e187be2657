// The main window's life cycle: first-start defaults, the private message path, workers
// and the shutdown order.
#include "app/CtarnicDlg.h"
#include "app/TaskRunner.h"
#include "app/WorkerThread.h"
#include "base/NamedLocks.h"
#include "config/Settings.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QPixmap>
#include <QProgressBar>
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
        CtarnicDlg dialog;
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
        CtarnicDlg dialog;
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
        CtarnicDlg dialog;
        EXPECT_EQ(dialog.AspectFlag(), c.aspectFlag);
        EXPECT_EQ(dialog.StoredVolume(), c.storedVolume);
    }
    WriteSetting("DISPLAY", "ASPECT", "on");
    WriteSetting("DISPLAY", "VOLUME", "65535");
}

TEST(MainWindowStart, InitialState) {
    CtarnicDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Kirvano"));
    EXPECT_EQ(dialog.size(), QSize(1280, 800));
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
    EXPECT_EQ(dialog.ProgressBar()->minimum(), 0);
    EXPECT_EQ(dialog.ProgressBar()->maximum(), 100);
    EXPECT_EQ(dialog.ProgressBar()->geometry(), QRect(0, 800 - 22, 1280, 22));
}

TEST(MainWindowStart, VersionCheckIsPostedAndHandledOnce) {
    CtarnicDlg dialog;
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
    CtarnicDlg dialog;
    QCoreApplication::processEvents(); // the start-up message
    const std::size_t start = dialog.HandledMessages().size();
    const std::vector<CtarnicDlg::HandledMessage> posted = {
        {WM_APP_MAP_SEEK, 0, 420, true},      {WM_APP_LIST_NOTICE, 1, 2, true},
        {WM_APP_SETTING_CHANGED, 3, 7, true}, {WM_APP_PROGRESS, 2, 4, true},
        {WM_APP_PLACE_SUB_VIDEO, 0, 0, true}, {WM_APP_PLAYER_EVENT, 9, 9, true},
    };
    for (const auto& m : posted)
        PostAppMessage(&dialog, m.message, m.wParam, m.lParam);
    PostAppMessage(&dialog, 0x8100, 0, 0); // an unused value of the range: not handled
    QCoreApplication::processEvents();
    const std::vector<CtarnicDlg::HandledMessage> got(dialog.HandledMessages().begin() + start,
                                                      dialog.HandledMessages().end());
    EXPECT_EQ(got, posted);
    EXPECT_EQ(dialog.ProgressBar()->value(), 50);
}

TEST(MainWindowMessages, WorkerPostsFromAnotherThread) {
    CtarnicDlg dialog;
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
    EXPECT_EQ(dialog.ProgressBar()->value(), 100);
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
        CtarnicDlg dialog;
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
        EXPECT_EQ(dialog.ProgressBar()->value(), 75);
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
        auto dialog = std::make_unique<CtarnicDlg>();
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
    CtarnicDlg dialog;
    dialog.show();
    dialog.close();
    EXPECT_EQ(dialog.ShutdownRuns(), 1);
    dialog.close();
    dialog.reject();
    EXPECT_EQ(dialog.ShutdownRuns(), 1);
    EXPECT_FALSE(dialog.StartLongTask([](auto&, auto&) { return true; }));
}

TEST(MainWindowPicture, GrabsTheWindow) {
    CtarnicDlg dialog;
    dialog.show();
    QCoreApplication::processEvents();
    const QPixmap picture = dialog.grab();
    EXPECT_EQ(picture.size(), QSize(1280, 800));
    picture.save(QDir::current().filePath("main_window.png"));
}

} // namespace
} // namespace kirvano
