// Opening a recording and playing it: the delayed open (timers 101 and 102), the ready
// message of the players, the file-preparation threads, the playback tick, the end of a
// recording and the advance to the next one, and the player operations every command uses.
#include "app/CtarnicDlg.h"

#include "app/rules/PlaybackRules.h"
#include "config/Settings.h"
#include "library/ui/CFilerContainerDlg.h"
#include "playback/CMovieStatic.h"
#include "ui/CMsgDlg.h"
#include "ui/CSkinSliderCtrl.h"

#include <QApplication>
#include <QMenu>
#include <QTimer>

#include <algorithm>

#include <string>

namespace kirvano {

namespace {
constexpr int kOpenDelayMs = 500;
constexpr int kOpenTimeoutMs = 5000;
} // namespace

std::unique_lock<std::recursive_mutex> CtarnicDlg::LockList() const {
    if (hMutexCache_ == nullptr)
        return {};
    return std::unique_lock<std::recursive_mutex>(*hMutexCache_);
}

// Positions are frame numbers of the front engine whenever it plays; the rear engine
// stands in when the front movie could not be opened.
int CtarnicDlg::MainSlot() const {
    for (int slot = 0; slot < 2; ++slot) {
        if (playerPresent_[slot] && players_->open(slot))
            return slot;
    }
    return -1;
}

EngineState CtarnicDlg::PlayerState() {
    const int slot = MainSlot();
    return slot < 0 ? EngineState::Closed : engines_[slot]->state();
}

std::int64_t CtarnicDlg::MainPosition() {
    const int slot = MainSlot();
    return slot < 0 ? 0 : engines_[slot]->GetPosition();
}

std::int64_t CtarnicDlg::MainFrameCount() {
    const int slot = MainSlot();
    return slot < 0 ? 0 : engines_[slot]->GetFrameCount();
}

bool CtarnicDlg::NearEnd() {
    const EngineState state = PlayerState();
    if (!ready_ || state != EngineState::Playing)
        return NearTheEnd(ready_, state, 0, 0, rateMode_);
    return NearTheEnd(ready_, state, MainPosition(), MainFrameCount(), rateMode_);
}

void CtarnicDlg::SetPlayersVolume(int volume) {
    if (AnyPlayerPresent())
        players_->SetVolume(volume);
}

void CtarnicDlg::StoreVolume(int volume) {
    storedVolume_ = std::clamp(volume, 0, 65535);
    WriteSetting("DISPLAY", "VOLUME", std::to_string(storedVolume_));
    SetPlayersVolume(storedVolume_);
    if (volumeSlider_ != nullptr)
        volumeSlider_->SetPos(storedVolume_);
}

void CtarnicDlg::SetRate(int rateMode) {
    if (AnyPlayerPresent())
        players_->SetRate(rateMode);
    rateMode_ = rateMode;
    // The engine may turn a slow code into another one (no reverse play): keep its code.
    if (playerPresent_[0] && players_->open(0))
        rateMode_ = engines_[0]->rateCode();
}

bool CtarnicDlg::PlayCurrent() {
    if (!AnyPlayerPresent())
        return false;
    SetPlayersVolume(storedVolume_);
    for (int slot = 0; slot < 2; ++slot) {
        if (playerPresent_[slot])
            engines_[slot]->SetEndReachedFlag(0);
    }
    const bool playing = players_->Play();
    if (playing)
        SetMapStatus(0);
    ShowPlayButton(playing);
    RefreshButtons();
    return playing;
}

void CtarnicDlg::PausePlayback() {
    if (!AnyPlayerPresent())
        return;
    if (rateMode_ != kRateNormal)
        SetRate(kRateNormal);
    players_->Pause();
    SetMapStatus(1);
    ShowPlayButton(false);
    SetPlayersVolume(0);
    RefreshButtons();
}

void CtarnicDlg::SeekTo(std::int64_t position) {
    const EngineState state = PlayerState();
    if (state == EngineState::Closed)
        return;
    const SeekPlan plan = PlanSeek(position, positionMin_, positionMax_, rateMode_);
    if (state == EngineState::Playing) {
        players_->Pause();
        players_->SetPosition(plan.target);
        UpdatePosition(plan.shown);
        players_->Play();
    } else {
        players_->SetPosition(plan.target);
        UpdatePosition(plan.shown);
    }
}

void CtarnicDlg::ResetView() {
    if (AnyPlayerPresent() && rateMode_ != kRateNormal)
        SetRate(kRateNormal);
    rateMode_ = kRateNormal;
    KillTimer(kTimerPlaybackTick);
    ready_ = false;
    if (mainCamera_ != kFrontCamera && videoWindows_[0] != nullptr) {
        mainCamera_ = kFrontCamera;
        subCamera_ = kRearCamera;
        LayOutVideoWindows();
    }
    mainCamera_ = kFrontCamera;
    subCamera_ = kRearCamera;
    if (AnyPlayerPresent()) {
        players_->Close();
        players_->ClearTelemetry();
    }
    if (seekSlider_ != nullptr)
        ResetViews();
    ClearMapTrack();
}

// Opening a recording.

void CtarnicDlg::SelectRecording(int index, int pendingAction) {
    {
        auto lock = LockList();
        currentIndex_ = index;
        if (ValidIndex(index))
            listPanel_->SelectRecording(index);
    }
    pendingAction_ = pendingAction;
    playRequested_ = pendingAction != 0;
    OpenRecording();
}

void CtarnicDlg::OpenRecording() {
    KillTimer(kTimerRefreshButtons);
    if (AnyPlayerPresent())
        players_->Stop();
    ready_ = false;
    KillTimer(kTimerPlaybackTick);
    ResetViews();
    RefreshButtons();
    KillTimer(kTimerRunOpen);
    KillTimer(kTimerOpenTimeout);
    // Selecting again within the delay starts the delay again: only the last choice opens.
    busy_ = true;
    if (!waitCursor_) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        waitCursor_ = true;
    }
    EnableControls(false);
    StartTimer(kTimerOpenTimeout, kOpenTimeoutMs);
    StartTimer(kTimerRunOpen, kOpenDelayMs);
}

void CtarnicDlg::OnRunOpen() {
    KillTimer(kTimerRunOpen);
    ready_ = false;
    KillTimer(kTimerPlaybackTick);
    pendingSeek_ = -1;
    ++openGeneration_;
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    if (AnyPlayerPresent()) {
        players_->Close();
        players_->ClearTelemetry();
    }
    ResetViews();

    const std::string path = RecordPath(currentIndex_);
    const bool tried = !path.empty() && AnyPlayerPresent();
    const bool opened = tried && players_->Open(path);
    if (tried)
        TellSetUpFailure();
    if (opened) {
        // The rear engine's ready message comes last and stands for both; without a rear
        // movie the front one reports.
        videoWindows_[kFrontCamera]->setForwardReady(!players_->open(kRearCamera));
        LayOutVideoWindows();
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        return;
    }
    // Neither movie opened: during an advance an unreadable recording is skipped.
    if (pendingAction_ == 1 && ValidIndex(currentIndex_ + 1)) {
        SelectRecording(currentIndex_ + 1, 1);
        return;
    }
    KillTimer(kTimerOpenTimeout);
    busy_ = false;
    playRequested_ = false;
    if (ZoomMode()) {
        ResetZoom();
        ApplyVideoRects();
    }
    EndWaitCursor();
    for (CMovieStatic* window : videoWindows_)
        window->update();
    EnableControls(true);
}

void CtarnicDlg::TellSetUpFailure() {
    // A pipeline that could not be built (a missing element or decoder) is the user's to
    // know; a file refused for its contents is passed over quietly. One box for both cameras.
    for (const auto& engine : engines_) {
        if (!engine || !engine->lastErrorIsSetUp())
            continue;
        const std::string text = engine->lastError();
        QTimer::singleShot(0, this, [this, text] { CMsgBox(this).Show(text, "ERROR", kMbOk); });
        return;
    }
}

void CtarnicDlg::OnOpenTimeout() {
    KillTimer(kTimerOpenTimeout);
    busy_ = false;
    EndWaitCursor();
    for (CMovieStatic* window : videoWindows_)
        window->update();
    EnableControls(true);
}

void CtarnicDlg::OnPlayerOpened(const AppMessage&) {
    if (busy_)
        KillTimer(kTimerRunOpen);
    ApplyVideoRects();
    players_->SetAspectMode(aspect_ ? 1 : 0);
    players_->SetPosition(0);
    // Whether it is to play or not, the recording's data file is prepared first; playing
    // starts once it is ready.
    StartFilePreparation(false);
}

void CtarnicDlg::StartFilePreparation(bool nextFile) {
    WorkerThread& worker = nextFile ? nextFilePreparation_ : filePreparation_;
    PlaybackEngine* engine = engines_[0].get();
    const std::intptr_t generation = openGeneration_;
    worker.Start([this, engine, nextFile, generation](const std::atomic<bool>& cancelled) {
        std::string path;
        {
            auto lock = LockList();
            path = RecordPath(currentIndex_ + (nextFile ? 1 : 0));
        }
        const bool prepared = !path.empty() && !cancelled && engine->PrefetchTelemetry(path);
        if (!nextFile)
            PostAppMessage(this, WM_APP_FILE_PREPARED, generation, prepared ? 1 : 0);
    });
}

void CtarnicDlg::OnFilePrepared(const AppMessage& message) {
    if (message.wParam() != openGeneration_ || ready_ || shutDown_)
        return;
    ready_ = true;
    if (busy_) {
        KillTimer(kTimerOpenTimeout);
        busy_ = false;
        EndWaitCursor();
    }
    RefreshButtons();
    const std::string path = RecordPath(currentIndex_);
    if (!path.empty() && AnyPlayerPresent()) {
        // A missing or corrupt data file leaves the views without data; the picture plays.
        if (players_->LoadTelemetry(path) && playerPresent_[0])
            engines_[0]->PublishTelemetry();
    }
    SetPlayersVolume(storedVolume_);
    if (rateMode_ != kRateNormal)
        SetRate(rateMode_);
    StartDisplay();
    if (playRequested_ || advancePending_) {
        playRequested_ = false;
        advancePending_ = false;
        PlayCurrent();
    } else {
        ShowPlayButton(false);
        SetPlayersVolume(0);
    }
    if (message.lParam() != 0)
        StartFilePreparation(true);
    RefreshButtons();
}

void CtarnicDlg::StartDisplay() {
    positionMin_ = 0;
    positionMax_ = MainFrameCount();
    seekSlider_->SetRange(static_cast<int>(positionMin_), static_cast<int>(positionMax_));
    StartViews();
    UpdatePosition(0);
    pendingSeek_ = -1;
    tickRidesFrames_ = false;
    StartTimer(kTimerPlaybackTick, kTickMs);
}

void CtarnicDlg::OnPlaybackTick() {
    if (!AnyPlayerPresent())
        return;
    MapTick();
    const EngineState state = PlayerState();
    if (state == EngineState::Stopped || state == EngineState::Paused)
        return;
    // Read once: each reading asks the pipeline.
    const std::int64_t position = MainPosition();
    const std::int64_t frameCount = MainFrameCount();
    if (state == EngineState::Playing) {
        const bool nearEnd = NearTheEnd(ready_, state, position, frameCount, rateMode_);
        if (nearEnd && !endLatch_) {
            EnableControls(false);
            endLatch_ = true;
        } else if (!nearEnd && endLatch_) {
            RefreshButtons();
            endLatch_ = false;
        }
    }
    // The views change only with the picture; the timer's tick can come between two.
    if (position == shownPosition_ && pendingSeek_ < 0)
        return;
    if (position > 0 && TickShowsPosition(pendingSeek_, position, frameCount)) {
        UpdatePosition(position);
        pendingSeek_ = -1;
    }
}

void CtarnicDlg::OnVideoFrame(const AppMessage& message) {
    // While the main camera's pictures come, each one runs the tick: the views are painted
    // in the picture's pass, and the UI thread wakes once a frame instead of also every
    // 30 ms. The timer stands in when no picture comes for two of its periods.
    if (!TimerActive(kTimerPlaybackTick) || message.wParam() != MainSlot() ||
        PlayerState() != EngineState::Playing)
        return;
    OnPlaybackTick();
    if (TimerActive(kTimerPlaybackTick)) {
        StartTimer(kTimerPlaybackTick, 2 * kTickMs);
        tickRidesFrames_ = true;
    }
}

// The end of a recording.

void CtarnicDlg::OnPlayerStopped(const AppMessage&) {
    if (advancing_)
        return;
    advancing_ = true;
    EndOfRecording();
    advancing_ = false;
}

void CtarnicDlg::OnTimedPlaybackEnded(const AppMessage&) {
    EndOfRecording();
}

void CtarnicDlg::OnTimedTick(const AppMessage& message) {
    if (AnyPlayerPresent())
        players_->SetPosition(message.lParam());
}

void CtarnicDlg::OnPlayerEvent(const AppMessage& message) {
    // The only event code our pipeline reports this way is the end of the movie.
    if (message.wParam() == 1)
        EndOfRecording();
}

void CtarnicDlg::EndOfRecording() {
    if (endLatch_) {
        endLatch_ = false;
        RefreshButtons();
    }
    if (AnyPlayerPresent() && playerPresent_[0] && engines_[0]->continueFlag() != 0) {
        players_->Stop();
        SetPlayersVolume(storedVolume_);
        engines_[0]->SetEndReachedFlag(0);
        PlayCurrent();
        return;
    }
    AdvanceToNext();
}

void CtarnicDlg::AdvanceToNext() {
    std::optional<TreeItem> following;
    AdvanceStep step;
    {
        auto lock = LockList();
        following = FollowingTreeItem();
        step = DecideAdvance(currentIndex_, RecordCount(), following.has_value());
    }
    switch (step) {
    case AdvanceStep::OpenNext:
        SelectRecording(currentIndex_ + 1, 1);
        break;
    case AdvanceStep::NextFolder:
        if (AnyPlayerPresent()) {
            players_->Pause();
            SetPlayersVolume(storedVolume_);
            players_->Stop();
        }
        ShowPlayButton(false);
        advancePending_ = true;
        SelectTreeItem(*following);
        break;
    case AdvanceStep::ReopenStopped:
        // The last recording of the last folder stays, stopped on its first frame.
        SetRate(kRateNormal);
        for (int slot = 0; slot < 2; ++slot) {
            if (playerPresent_[slot])
                engines_[slot]->SetEndReachedFlag(1);
        }
        advancePending_ = false;
        ShowPlayButton(false);
        SelectRecording(currentIndex_, 0);
        break;
    case AdvanceStep::Nothing:
        break;
    }
}

} // namespace kirvano
