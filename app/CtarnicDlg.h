// The main window: one dialog that owns the locks, timers, worker threads and (as they
// are built) the child windows, handles the private messages on the UI thread and
// shuts everything down in a fixed order.
#pragma once

#include "app/TaskRunner.h"
#include "ui/AppMessage.h"

#include <QBasicTimer>
#include <QDialog>

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

class QProgressBar;

namespace kirvano {

using CameraSlot = int;

// Timer ids of the main window.
enum MainTimer : int {
    kTimerPlaybackTick = 100, // 30 ms
    kTimerRunOpen = 101,      // 500 ms, one-shot
    kTimerOpenTimeout = 102,  // 5000 ms, one-shot
    kTimerIdle = 103,         // 1000 ms
    kTimerRefreshButtons = 104,
    kTimerRateSettle = 105, // 500 ms, one-shot
};

// WM_APP_PROGRESS: done × 100 / total, 100 when total ≤ 0, kept within 0..100.
int ProgressPercent(std::intptr_t done, std::intptr_t total);

class CtarnicDlg : public QDialog {
    Q_OBJECT

public:
    // A private message as it was handled, for tests of the message path.
    struct HandledMessage {
        int message;
        std::intptr_t wParam;
        std::intptr_t lParam;
        bool onUiThread;
        bool operator==(const HandledMessage&) const = default;
    };

    explicit CtarnicDlg(QWidget* parent = nullptr);
    ~CtarnicDlg() override;

    // Starts a long task (CSV export, join, delete); false while one runs.
    bool StartLongTask(TaskRunner::Task task, int doneMessage = WM_APP_TASK_DONE);

    // State of the window.
    int CurrentIndex() const { return currentIndex_; }
    CameraSlot MainCamera() const { return mainCamera_; }
    CameraSlot SubCamera() const { return subCamera_; }
    int StoredVolume() const { return storedVolume_; }
    bool AspectFlag() const { return aspect_; }
    bool LocksCreated() const { return hMutexCache_ != nullptr && hMutexCpSet_ != nullptr; }
    bool LongTaskRunning() const { return longTask_; }
    bool TaskSucceeded() const { return taskSuccess_; }
    bool VersionCheckStarted() const { return versionCheckStarted_; }
    std::int64_t PendingSeek() const { return pendingSeek_; }
    bool TimerActive(int id) const;
    int ShutdownRuns() const { return shutdownRuns_; }
    QProgressBar* ProgressBar() const { return progressBar_; }
    const std::vector<HandledMessage>& HandledMessages() const { return handled_; }

protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

public slots:
    void reject() override;

private:
    using Handler = void (CtarnicDlg::*)(const AppMessage&);
    struct HandlerEntry {
        int message;
        Handler handler;
    };
    static const std::array<HandlerEntry, 27>& HandlerTable();

    // Life cycle.
    void InitialiseWindow();
    void Shutdown();
    void PlaceProgressBar();

    // Timers.
    void StartTimer(int id, int milliseconds);
    void KillTimer(int id);
    void OnPlaybackTick();
    void OnRunOpen();
    void OnOpenTimeout();
    void OnIdle();
    void OnRefreshButtonsTimer();
    void OnRateSettle();
    void RefreshButtons();
    void EndWaitCursor();

    // Private message handlers.
    void DispatchAppMessage(const AppMessage& message);
    void OnPlayerEvent(const AppMessage& message);
    void OnTimedTick(const AppMessage& message);
    void OnTimedPlaybackEnded(const AppMessage& message);
    void OnProgress(const AppMessage& message);
    void OnSliderDrag(const AppMessage& message);
    void OnSliderPress(const AppMessage& message);
    void OnSliderRelease(const AppMessage& message);
    void OnMapReady(const AppMessage& message);
    void OnMapSeek(const AppMessage& message);
    void OnGSensorNext(const AppMessage& message);
    void OnGSensorPrev(const AppMessage& message);
    void OnSettingChanged(const AppMessage& message);
    void OnVideoContextMenu(const AppMessage& message);
    void OnVideoClick(const AppMessage& message);
    void OnPlayerStopped(const AppMessage& message);
    void OnPlayerOpened(const AppMessage& message);
    void OnGraphSetting(const AppMessage& message);
    void OnListNotice(const AppMessage& message);
    void OnTreeSelected(const AppMessage& message);
    void OnSourceLost(const AppMessage& message);
    void OnFilePrepared(const AppMessage& message);
    void FinishLongTask(const AppMessage& message);
    void OnTaskDone(const AppMessage& message);
    void OnDeleteDone(const AppMessage& message);
    void OnStartVersionCheck(const AppMessage& message);
    void OnRelayoutVideo(const AppMessage& message);
    void OnDockSubVideo(const AppMessage& message);
    void OnPlaceSubVideo(const AppMessage& message);

    // Locks (process-wide named mutexes; null until created).
    std::recursive_mutex* hMutexCache_ = nullptr;
    std::recursive_mutex* hMutexCpSet_ = nullptr;

    // Data model.
    int currentIndex_ = -1;
    CameraSlot mainCamera_ = 0;
    CameraSlot subCamera_ = 1;
    int storedVolume_ = 65535;
    bool ready_ = false;
    bool busy_ = false;
    bool openPending_ = false;
    bool longTask_ = false;
    bool taskSuccess_ = false;
    bool firstMapDrawDone_ = false;
    bool mapLoading_ = true;
    std::int64_t pendingSeek_ = -1;
    std::array<bool, 2> zoom_{false, false};
    int layoutMode_ = 0;
    bool fullScreen_ = false;
    bool aspect_ = false;
    std::int64_t positionMin_ = 0;
    std::int64_t positionMax_ = 0;
    bool versionCheckStarted_ = false;
    bool waitCursor_ = false;
    bool shutDown_ = false;
    int shutdownRuns_ = 0;

    std::array<QBasicTimer, 6> timers_; // ids 100..105
    QProgressBar* progressBar_ = nullptr;
    TaskRunner taskRunner_{this};
    std::vector<HandledMessage> handled_;
};

} // namespace kirvano
