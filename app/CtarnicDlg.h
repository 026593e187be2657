// The main window: one fixed-size frameless dialog that owns the locks, timers, worker
// threads, both playback engines and the child windows, handles the private messages on
// the UI thread and shuts everything down in a fixed order. Its handlers live in files by
// concern: life cycle, layout, messages, opening and playback, commands, list and source,
// views, long tasks.
#pragma once

#include "app/TaskRunner.h"
#include "app/WorkerThread.h"
#include "app/rules/CommandIds.h"
#include "app/rules/LayoutTable.h"
#include "export/FlowDialogs.h"
#include "library/RecordingSource.h"
#include "playback/EngineBroadcast.h"
#include "playback/PlaybackEngine.h"
#include "telemetry/EventDetection.h"
#include "ui/AppMessage.h"
#include "ui/WindowDrag.h"

#include <QBasicTimer>
#include <QDialog>
#include <QPoint>
#include <QRect>

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kirvano {

class CMovieDialog;
class CFilerContainerDlg;
class CInfoDlg;
class CGSensorDlg;
class CSettingDlg;
class CGSensorDlg;
class CSettingDlg;
class VersionCheck;
class CMovieStatic;
class CSkinButton;
class CSkinProgressBarCtrl;
class CSkinSliderCtrl;
struct TelemetrySample;
class CGoogleMapDlgWrap;
class CLogoDlg;

// WM_APP_PROGRESS: done × 100 / total, 100 when total ≤ 0, kept within 0..100.
int ProgressPercent(std::intptr_t done, std::intptr_t total);

class CtarnicDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kWidth = 1120;
    static constexpr int kHeight = 697;

    // A private message as it was handled (recorded only while a test asks for it).
    struct HandledMessage {
        int message;
        std::intptr_t wParam;
        std::intptr_t lParam;
        bool onUiThread;
        bool operator==(const HandledMessage&) const = default;
    };

    // volumes: the removable volumes looked at first on start-up (the system's when null).
    explicit CtarnicDlg(QWidget* parent = nullptr,
                        std::unique_ptr<RemovableVolumes> volumes = nullptr);
    ~CtarnicDlg() override;

    // Starts a long task (CSV export, join, delete); false while one runs.
    bool StartLongTask(TaskRunner::Task task, int doneMessage = WM_APP_TASK_DONE);
    // Runs a command as a click on its button or menu item would.
    void OnCommand(int commandId);

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
    bool Ready() const { return ready_; }
    bool Busy() const { return busy_; }
    bool SubVideoFloating() const;
    std::int64_t PendingSeek() const { return pendingSeek_; }
    std::int64_t PositionMax() const { return positionMax_; }
    bool TimerActive(int id) const;
    int ShutdownRuns() const { return shutdownRuns_; }
    int RecordCount() const;
    const RecordingSource& Source() const;
    CFilerContainerDlg* ListPanel() const { return listPanel_; }
    PlaybackEngine* Engine(int slot) {
        return playerPresent_[slot] ? engines_[slot].get() : nullptr;
    }
    CMovieStatic* VideoWindow(int slot) const { return videoWindows_[slot]; }
    CMovieDialog* MovieDialog() const { return movieDialog_; }
    CInfoDlg* InfoPanel() const { return infoDlg_; }
    CGSensorDlg* GraphPanel() const { return graphDlg_; }
    CSettingDlg* SettingDialog() const { return settingDlg_; }
    const EventList& Events() const { return events_; }
    CSkinSliderCtrl* SeekSlider() const { return seekSlider_; }
    CSkinSliderCtrl* VolumeSlider() const { return volumeSlider_; }
    CSkinProgressBarCtrl* ProgressBar() const { return progressBar_; }
    // The button of a tool command (38000..38014) or a caption command (15..17).
    CSkinButton* Button(int commandId) const;
    // The position last pushed to the views.
    std::int64_t ShownPosition() const { return shownPosition_; }

    // Layouts, full screen and the click zoom (CtarnicDlgLayout.cpp, CtarnicDlgScreen.cpp).
    int LayoutMode() const { return layoutMode_; }
    bool FullScreen() const { return fullScreen_; }
    // Enters full screen when allowed (controls on, a ready recording not at its end),
    // leaves it when in it.
    void ToggleFullScreen();
    void LeaveFullScreen();
    // Where the map or the logo panel stands; empty where the layout or full screen hides it.
    QRect MapPlace() const;
    bool ZoomMode() const { return zoom_[mainCamera_].enabled; }
    const ZoomRecord& Zoom(int slot) const { return zoom_[slot]; }
    // The map and the logo panel in its place (CtarnicDlgMap.cpp); the map is null when
    // KIRVANO_MAP=off keeps it from being made.
    CGoogleMapDlgWrap* MapWrap() const { return map_.get(); }
    CLogoDlg* LogoPanel() const { return logoDlg_; }
    bool MapSwitchedOff() const { return mapOff_; }
    bool MapRuntimeMissing() const { return mapRuntimeMissing_; }
    bool MapNoticeShown() const { return mapNoticeShown_; }

    // Test hook: who answers the file commands' questions (the viewer's dialogs by default).
    void SetFlowDialogs(std::unique_ptr<FlowDialogs> dialogs) { flowDialogs_ = std::move(dialogs); }

    // Test hook: record every handled message from now on (off by default).
    void RecordHandledMessages(bool on) { recordMessages_ = on; }
    const std::vector<HandledMessage>& HandledMessages() const { return handled_; }

    // Keyboard (CtarnicDlgKeys.cpp). A key pressed in this window, one of its children or
    // the floating sub-camera window, as the application-wide key filter hands it over;
    // true when the viewer used it. The overlay that lists the keys (null until first shown).
    bool OnKey(int qtKey, Qt::KeyboardModifiers modifiers, bool autoRepeat);
    QWidget* KeyHelp() const { return keyHelp_; }

protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

public slots:
    void reject() override;

private:
    using Handler = void (CtarnicDlg::*)(const AppMessage&);
    struct HandlerEntry {
        int message;
        Handler handler;
    };
    static std::span<const HandlerEntry> HandlerTable();

    // Life cycle (CtarnicDlgLifecycle.cpp).
    void InitialiseWindow();
    void CreateChildren();
    void InitialisePlayers();
    void Shutdown();

    // Layout (CtarnicDlgLayout.cpp).
    void LayOut();
    void LayOutVideoWindows();
    void ApplyVideoRects();
    void PlaceFloatingSubVideo();
    void DockSubVideo();
    void OnLayoutCommand();
    void SetZoomMode(bool on);
    void ResetZoom(int slot);
    void ResetZoom();
    QRect MainVideoRect() const;
    QPoint ZoomCentreOf(int slot) const;
    void OnVideoDoubleClick(int slot);
    bool EnterFullScreen();
    void FitFullScreen();
    void OnScreensChanged();
    void KeepOnScreen();

    // Timers (CtarnicDlgTimers.cpp).
    void StartTimer(int id, int milliseconds);
    void KillTimer(int id);
    void OnIdle();
    void OnRefreshButtonsTimer();
    void OnRateSettle();
    void EndWaitCursor();

    // Opening and playback (CtarnicDlgPlayback.cpp).
    void SelectRecording(int index, int pendingAction);
    void OpenRecording();
    void OnRunOpen();
    void OnOpenTimeout();
    void TellSetUpFailure();
    void StartFilePreparation(bool nextFile);
    void StartDisplay();
    void OnPlaybackTick();
    void EndOfRecording();
    void AdvanceToNext();
    bool PlayCurrent();
    void PausePlayback();
    void SeekTo(std::int64_t position);
    void StoreVolume(int volume);
    void SetPlayersVolume(int volume);
    void SetRate(int rateMode);
    int MainSlot() const;
    EngineState PlayerState();
    bool NearEnd();
    bool AnyPlayerPresent() const { return playerPresent_[0] || playerPresent_[1]; }
    void ResetView();
    std::int64_t MainPosition();
    std::int64_t MainFrameCount();
    std::unique_lock<std::recursive_mutex> LockList() const;

    // Commands (CtarnicDlgCommands.cpp).
    void OnToStart();
    void OnPrevious();
    bool NavigationHeld();
    void OnPlayPause();
    void OnRateStep(bool faster);
    void OnNext();
    void OnSwapCameras();
    void OnAspect();
    void OnFilterCommand(int commandId);
    void RefreshButtons();
    void ShowPlayButton(bool playing);
    void EnableControls(bool on);

    // List and source (CtarnicDlgList.cpp).
    void LoadInitialSource();
    void OnChooseSource();
    void ListLoaded(bool advancing);
    bool ValidIndex(int index) const;
    std::string RecordPath(int index) const;
    std::optional<TreeItem> FollowingTreeItem() const;
    void SelectTreeItem(TreeItem item);
    void ClearList();
    void OnRecordingChosen(int row);
    void OnFilterChanged(int classNumber, bool on);

    // Views (CtarnicDlgViews.cpp).
    void UpdatePosition(std::int64_t position);
    void StartViews();
    void ResetViews();
    void RebuildEvents();
    void JumpToEvent(bool forward);
    void EnableJumps(bool on);

    // Long tasks (CtarnicDlgTasks.cpp).
    void OnCancelOrToStart();
    void OnSnapshot();
    void OnJoin();
    void OnDelete();
    void OnCsvExport();
    void FinishLongTask(const AppMessage& message);
    bool StartFlow(std::unique_ptr<LongFlow> flow, int doneMessage);
    // Normal rate, the stored volume, both players stopped at the first frame.
    void StopAtStart();
    bool FinishFlow();
    void EndLongTask(bool success);
    void ReloadSource();
    FlowDialogs& Dialogs();

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
    void OnVideoFrame(const AppMessage& message);
    void OnGraphSetting(const AppMessage& message);
    void OnListNotice(const AppMessage& message);
    void OnTreeSelected(const AppMessage& message);
    void OnSourceLost(const AppMessage& message);
    void OnFilePrepared(const AppMessage& message);
    void OnTaskDone(const AppMessage& message);
    void OnDeleteDone(const AppMessage& message);
    void OnStartVersionCheck(const AppMessage& message);
    void OnRelayoutVideo(const AppMessage& message);
    void OnDockSubVideo(const AppMessage& message);
    void OnPlaceSubVideo(const AppMessage& message);

    // The map (CtarnicDlgMap.cpp).
    void CreateLogoPanel();
    void CreateMap();
    void ReleaseMap();
    void RefreshMapPlace();
    void ShowMapRuntimeNotice();
    void MapRecordingPrepared();
    bool DrawMapEvents(bool withGroupTrack);
    void ShowMapEventsOnce();
    void MapTick();
    void SetMapPosition(const TelemetrySample* sample, std::int64_t frame);
    void SetMapStatus(int kind);
    void ClearMapTrack();
    void OnMapSwitch();

    // Keyboard (CtarnicDlgKeys.cpp); desktop media controls, speed unit and the list's track
    // menu (CtarnicDlgDesktop.cpp).
    friend class WindowMediaControl;
    void InstallKeys();
    void InstallDesktop();
    // A click on a command's button from a key or the desktop: nothing while a long task
    // runs or the button is disabled.
    void ClickCommand(int commandId);
    void StepFrames(int frames);
    void StepSeconds(int seconds);
    void ShowKeyHelp(bool on);
    void OnTrackMenu(int row, int item);
    QWidget* keyHelp_ = nullptr;
    QObject* mpris_ = nullptr; // the MPRIS service while registered on the session bus

    // Locks (process-wide named mutexes; null until created).
    std::recursive_mutex* hMutexCache_ = nullptr;
    std::recursive_mutex* hMutexCpSet_ = nullptr;

    // Data model.
    int currentIndex_ = -1;
    CameraSlot mainCamera_ = kFrontCamera;
    CameraSlot subCamera_ = kRearCamera;
    int storedVolume_ = 65535;
    int rateMode_ = kRateNormal;
    int pendingAction_ = 0; // 0 show stopped, 1 play (advance), 2 play (command)
    bool initialised_ = false;
    bool ready_ = false;
    bool busy_ = false;
    bool playRequested_ = false;
    bool advancePending_ = false;
    bool advancing_ = false;
    bool endLatch_ = false;
    bool tickRidesFrames_ = false; // the tick's timer waits for a picture that is late
    bool treeSelecting_ = false;
    bool csvDisabled_ = true;
    bool longTask_ = false;
    bool taskSuccess_ = false;
    bool firstMapDrawDone_ = false;
    bool mapLoading_ = true;
    bool sliderPressed_ = false;
    EngineState stateAtPress_ = EngineState::Closed;
    std::int64_t pendingSeek_ = -1;
    std::int64_t shownPosition_ = 0;
    std::array<ZoomRecord, 2> zoom_{}; // per camera slot
    int layoutMode_ = 0;
    bool fullScreen_ = false;
    bool aspect_ = false;
    std::int64_t positionMin_ = 0;
    std::int64_t positionMax_ = 0;
    bool versionCheckStarted_ = false;
    bool waitCursor_ = false;
    bool shutDown_ = false;
    int shutdownRuns_ = 0;
    WindowDrag drag_;                  // every free point is caption
    std::intptr_t openGeneration_ = 0; // which open a file preparation belongs to

    // The removable volumes looked at for a recorder card.
    std::unique_ptr<RemovableVolumes> volumes_;

    // Players.
    std::array<std::unique_ptr<PlaybackEngine>, 2> engines_;
    std::array<bool, 2> playerPresent_{false, false};
    std::unique_ptr<EngineBroadcast> players_;

    // Child windows.
    std::array<CMovieStatic*, 2> videoWindows_{nullptr, nullptr};
    CMovieDialog* movieDialog_ = nullptr;
    CInfoDlg* infoDlg_ = nullptr;
    CGSensorDlg* graphDlg_ = nullptr;
    CSettingDlg* settingDlg_ = nullptr;
    EventList events_; // the current recording's events: graph jumps and (later) the map
    CFilerContainerDlg* listPanel_ = nullptr;
    CSkinSliderCtrl* seekSlider_ = nullptr;
    CSkinSliderCtrl* volumeSlider_ = nullptr;
    CSkinProgressBarCtrl* progressBar_ = nullptr;
    std::array<CSkinButton*, 15> toolButtons_{};
    std::array<CSkinButton*, 3> captionButtons_{};

    std::array<QBasicTimer, 6> timers_; // ids 100..105
    WorkerThread filePreparation_;
    WorkerThread nextFilePreparation_;
    std::unique_ptr<VersionCheck> versionCheck_;
    // The running file task's flow outlives the task runner, which waits for its worker.
    std::unique_ptr<FlowDialogs> flowDialogs_;
    std::unique_ptr<LongFlow> flow_;
    bool rewindAfterTask_ = false;
    TaskRunner taskRunner_{this};
    bool recordMessages_ = false;
    std::vector<HandledMessage> handled_;
    // Layouts and full screen.
    QRect normalGeometry_;                 // the window's place before full screen
    QMetaObject::Connection screenWatch_;  // the window's screen while in full screen
    QMetaObject::Connection screensWatch_; // monitors removed
    bool subOffsetsFloating_ = false; // the sub camera's zoom offsets are the floating window's

    // The map: its wrapper (the browser starts when the map is first wanted), the logo
    // panel, the user's map switch, the runtime state, what the page was given.
    std::unique_ptr<CGoogleMapDlgWrap> map_;
    CLogoDlg* logoDlg_ = nullptr;
    QObject* mapRefresh_ = nullptr; // a 1000 ms timer while nothing else refreshes
    bool mapOff_ = false;
    bool mapRuntimeMissing_ = false;
    bool mapNoticeShown_ = false;
    bool mapTrackNotEmpty_ = false;
    bool mapGroupDirty_ = true;
    char mapFirstLetter_ = 0;
    std::vector<std::string> mapGroupPaths_;
};

} // namespace kirvano
