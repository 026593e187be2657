// The long tasks of the main window (CSV export, join, delete) and the snapshot: the
// questions asked on the UI thread, the work on the single task worker with every control
// off, cancelling with the to-the-start button, and coming back when it is done.
#include "app/CtarnicDlg.h"

#include "export/CsvFlow.h"
#include "export/DeleteFlow.h"
#include "export/JoinFlow.h"
#include "export/SnapshotFlow.h"
#include "export/WidgetFlowDialogs.h"
#include "library/ui/CFilerContainerDlg.h"
#include "playback/CMovieStatic.h"
#include "ui/CSkinButton.h"
#include "ui/CSkinProgressBarCtrl.h"
#include "ui/CSkinSliderCtrl.h"
#include "ui/UiText.h"

namespace kirvano {

FlowDialogs& CtarnicDlg::Dialogs() {
    if (!flowDialogs_)
        flowDialogs_ = std::make_unique<WidgetFlowDialogs>(this);
    return *flowDialogs_;
}

bool CtarnicDlg::StartLongTask(TaskRunner::Task task, int doneMessage) {
    if (shutDown_ || longTask_)
        return false;
    KillTimer(kTimerPlaybackTick);
    progressBar_->SetPos(0);
    progressBar_->show();
    progressBar_->raise();
    longTask_ = true;
    taskSuccess_ = false;
    EnableControls(false);
    volumeSlider_->setEnabled(false);
    // The to-the-start button cancels the task.
    toolButtons_[kCmdToStart - kCmdToStart]->setEnabled(true);
    if (!taskRunner_.Start(std::move(task), doneMessage)) {
        longTask_ = false;
        progressBar_->hide();
        EnableControls(true);
        volumeSlider_->setEnabled(true);
        return false;
    }
    return true;
}

bool CtarnicDlg::StartFlow(std::unique_ptr<LongFlow> flow, int doneMessage) {
    LongFlow* work = flow.get();
    flow_ = std::move(flow);
    const bool started = StartLongTask(
        [work](const TaskRunner::Progress& progress, const std::atomic<bool>& cancelled) {
            return work->Run(progress, cancelled);
        },
        doneMessage);
    if (!started) {
        flow_.reset();
        EndLongTask(false);
    }
    return started;
}

void CtarnicDlg::OnCancelOrToStart() {
    if (longTask_) {
        taskRunner_.Cancel();
        return;
    }
    OnToStart();
}

namespace {

// The video windows while the snapshot's dialogs are open: hidden, the controls off.
class WindowSnapshotDisplay : public SnapshotDisplay {
public:
    WindowSnapshotDisplay(std::function<void()> hold, std::function<void()> restore)
        : hold_(std::move(hold)), restore_(std::move(restore)) {}
    void Hold(const std::array<SnapshotCamera*, 2>&) override { hold_(); }
    void Restore() override { restore_(); }

private:
    std::function<void()> hold_, restore_;
};

} // namespace

void CtarnicDlg::OnSnapshot() {
    if (!ready_ || NearEnd())
        return;
    std::string recording;
    {
        auto lock = LockList();
        const auto& list = Source().recordingList();
        if (list.empty())
            return;
        recording = ValidIndex(currentIndex_) ? list[static_cast<std::size_t>(currentIndex_)].path
                                              : list.front().path;
    }
    std::array<std::unique_ptr<EngineSnapshotCamera>, 2> owned;
    std::array<SnapshotCamera*, 2> cameras{nullptr, nullptr};
    for (int slot = 0; slot < 2; ++slot) {
        if (playerPresent_[slot] && players_->open(slot)) {
            owned[slot] = std::make_unique<EngineSnapshotCamera>(*engines_[slot]);
            cameras[slot] = owned[slot].get();
        }
    }
    const std::int64_t position = MainPosition();
    WindowSnapshotDisplay display(
        [this] {
            PausePlayback();
            EnableControls(false);
            volumeSlider_->setEnabled(false);
            for (CMovieStatic* window : videoWindows_)
                window->hide();
        },
        [this] {
            LayOutVideoWindows();
            for (CMovieStatic* window : videoWindows_)
                window->show();
            volumeSlider_->setEnabled(true);
            EnableControls(true);
            RefreshButtons();
        });
    SaveSnapshots(Dialogs(), display, cameras, recording, position);
}

void CtarnicDlg::StopAtStart() {
    if (AnyPlayerPresent()) {
        SetRate(kRateNormal);
        SetPlayersVolume(storedVolume_);
        players_->SetPosition(0);
        players_->Stop();
        UpdatePosition(0);
    }
    ShowPlayButton(false);
}

void CtarnicDlg::OnJoin() {
    if (NearEnd())
        return;
    StopAtStart();
    std::vector<RecordingInfo> listed;
    {
        auto lock = LockList();
        listed = Source().recordingList();
    }
    auto flow = JoinFlow::Prepare(Dialogs(), listed);
    RefreshButtons();
    if (!flow)
        return;
    rewindAfterTask_ = true;
    StartFlow(std::move(flow), WM_APP_TASK_DONE);
}

void CtarnicDlg::OnDelete() {
    if (NearEnd())
        return;
    // The recordings may include the one on screen: nothing of the source stays open.
    StopAtStart();
    if (AnyPlayerPresent()) {
        players_->Close();
        players_->ClearTelemetry();
    }
    KillTimer(kTimerPlaybackTick);
    ready_ = false;
    std::vector<RecordingInfo> all, listed;
    {
        auto lock = LockList();
        all = listPanel_->CollectAllRecordings();
        listed = Source().recordingList();
    }
    auto flow = DeleteFlow::Prepare(Dialogs(), all, listed);
    if (!flow) {
        EndLongTask(false); // shows the current recording again
        return;
    }
    StartFlow(std::move(flow), WM_APP_DELETE_DONE);
}

void CtarnicDlg::OnCsvExport() {
    if (csvDisabled_ || (RecordCount() > 0 && NearEnd()))
        return;
    PausePlayback();
    rewindAfterTask_ = true;
    auto flow = CsvFlow::Prepare(Dialogs(), [this] {
        auto lock = LockList();
        return listPanel_->CollectAllRecordings();
    });
    if (!flow) {
        rewindAfterTask_ = false;
        RefreshButtons();
        return;
    }
    // The movies are read for their facts while the file is written: close them first.
    KillTimer(kTimerPlaybackTick);
    ready_ = false;
    if (AnyPlayerPresent()) {
        players_->ClearTelemetry();
        players_->Close();
    }
    StartFlow(std::move(flow), WM_APP_TASK_DONE);
}

void CtarnicDlg::FinishLongTask(const AppMessage&) {
    // The task has posted its last message; its thread ends right after.
    taskRunner_.Join();
    longTask_ = false;
}

bool CtarnicDlg::FinishFlow() {
    if (!flow_)
        return false;
    std::unique_ptr<LongFlow> flow = std::move(flow_);
    return flow->Finish(Dialogs());
}

void CtarnicDlg::EndLongTask(bool success) {
    if (success)
        Dialogs().Message(UiText(48), UiText(49), false);
    volumeSlider_->setEnabled(true);
    EnableControls(true);
    progressBar_->hide();
    if (rewindAfterTask_ && AnyPlayerPresent()) {
        players_->SetPosition(0);
        UpdatePosition(0);
        players_->Stop();
    }
    rewindAfterTask_ = false;
    if (ValidIndex(currentIndex_))
        SelectRecording(currentIndex_, 0);
    RefreshButtons();
}

void CtarnicDlg::OnTaskDone(const AppMessage& message) {
    FinishLongTask(message);
    // A file flow decides and reports its own outcome; a bare task reports its result.
    const bool flow = flow_ != nullptr;
    taskSuccess_ = flow ? FinishFlow() : message.wParam() != 0;
    EndLongTask(flow && taskSuccess_);
}

void CtarnicDlg::ReloadSource() {
    const std::string path = Source().sourcePath();
    const SourceKind kind = Source().sourceKind();
    if (path.empty() || kind == SourceKind::File)
        return;
    ResetViews();
    ResetZoom();
    ResetView();
    {
        auto lock = LockList();
        currentIndex_ = -1;
    }
    listPanel_->LoadSource(path, kind);
    listPanel_->SelectInitialItem(); // its tree selection lists and opens the first row
}

void CtarnicDlg::OnDeleteDone(const AppMessage& message) {
    FinishLongTask(message);
    const bool success = FinishFlow();
    // Whatever the walk got to, the list shows what is left on disk.
    ReloadSource();
    taskSuccess_ = false;
    EndLongTask(success);
}

} // namespace kirvano
