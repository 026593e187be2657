// What the buttons, sliders, menu items and video windows of the main window do, and the
// button states that follow every change.
#include "app/CtarnicDlg.h"

#include "app/CSettingDlg.h"

#include "app/rules/PlaybackRules.h"
#include "app/rules/VideoMenu.h"
#include "config/Settings.h"
#include "library/ui/CFilerContainerDlg.h"
#include "playback/CMovieDialog.h"
#include "playback/CMovieStatic.h"
#include "ui/CMovieMenu.h"
#include "ui/CSkinButton.h"
#include "ui/CSkinSliderCtrl.h"
#include "ui/SkinButtonRoles.h"
#include "ui/UiText.h"

namespace kirvano {

CSkinButton* CtarnicDlg::Button(int commandId) const {
    if (commandId >= kCmdToStart && commandId <= kCmdMapSwitch)
        return toolButtons_[commandId - kCmdToStart];
    for (CSkinButton* button : captionButtons_) {
        if (button != nullptr && button->CommandId() == commandId)
            return button;
    }
    return nullptr;
}

void CtarnicDlg::OnCommand(int commandId) {
    if (shutDown_)
        return;
    if (longTask_ && commandId != kCmdToStart)
        return; // while a long task runs only its cancel is effective
    switch (commandId) {
    case kCmdToStart:
        OnCancelOrToStart();
        break;
    case kCmdPrevious:
        OnPrevious();
        break;
    case kCmdPlay:
        OnPlayPause();
        break;
    case kCmdSlower:
        OnRateStep(false);
        break;
    case kCmdFaster:
        OnRateStep(true);
        break;
    case kCmdNext:
        OnNext();
        break;
    case kCmdSnapshot:
        OnSnapshot();
        break;
    case kCmdJoin:
        OnJoin();
        break;
    case kCmdDelete:
        OnDelete();
        break;
    case kCmdCsv:
        OnCsvExport();
        break;
    case kCmdSource:
        OnChooseSource();
        break;
    case kCmdSwap:
        OnSwapCameras();
        break;
    case kCmdMapSwitch:
        OnMapSwitch();
        break;
    case kCmdSettings:
        settingDlg_->ShowCentred(this);
        break;
    case kCmdAspect:
        OnAspect();
        break;
    case kCmdClose:
        reject();
        break;
    case kCmdMinimise:
        showMinimized();
        break;
    case kCmdLayout:
        OnLayoutCommand();
        break;
    case kCmdZoom:
        if (!NearEnd())
            SetZoomMode(!zoom_[mainCamera_].enabled);
        break;
    default:
        if (commandId >= kCmdFilterFirst && commandId <= kCmdFilterLast)
            OnFilterCommand(commandId);
        break;
    }
}

void CtarnicDlg::OnToStart() {
    if (NearEnd())
        return;
    SetRate(kRateNormal);
    SetPlayersVolume(0);
    if (AnyPlayerPresent()) {
        players_->SetPosition(0);
        UpdatePosition(0);
        players_->Stop();
    }
    SetMapStatus(2);
    ShowPlayButton(false);
    RefreshButtons();
}

// Previous and next also move away from a recording that could not be opened; only an
// open in progress holds them.
bool CtarnicDlg::NavigationHeld() {
    return ready_ ? NearEnd() : busy_;
}

void CtarnicDlg::OnPrevious() {
    if (NavigationHeld())
        return;
    if (AnyPlayerPresent()) {
        SetPlayersVolume(0);
        players_->Pause();
        players_->Stop();
    }
    ShowPlayButton(false);
    auto lock = LockList();
    if (!ValidIndex(currentIndex_))
        return;
    if (currentIndex_ > 0) {
        SelectRecording(currentIndex_ - 1, 0);
        return;
    }
    // The first recording starts again.
    SetRate(kRateNormal);
    if (AnyPlayerPresent()) {
        players_->Stop();
        players_->SetPosition(0);
    }
    RefreshButtons();
    UpdatePosition(0);
}

void CtarnicDlg::OnNext() {
    if (NavigationHeld())
        return;
    if (AnyPlayerPresent()) {
        SetPlayersVolume(0);
        players_->Pause();
    }
    RefreshButtons();
    AdvanceToNext();
}

void CtarnicDlg::OnPlayPause() {
    firstMapDrawDone_ = true;
    if (!ready_)
        return;
    if (PlayerState() == EngineState::Playing) {
        if (!NearEnd())
            PausePlayback();
        return;
    }
    PlayCurrent();
}

void CtarnicDlg::OnRateStep(bool faster) {
    if (NearEnd())
        return;
    const bool playing = PlayerState() == EngineState::Playing;
    // Whether the movie plays backwards is found out by a trial: only ask when it matters.
    const bool asksReverse =
        playing && (rateMode_ == kRateSlowHalf || rateMode_ == kRateSlowQuarter);
    const bool reverse = asksReverse && playerPresent_[0] && engines_[0]->reverseCapable();
    const int next = NextRateMode(rateMode_, faster, playing, reverse, reverse);
    if (next != rateMode_) {
        SetRate(next);
        RefreshButtons();
    }
    toolButtons_[kCmdSlower - kCmdToStart]->setEnabled(false);
    toolButtons_[kCmdFaster - kCmdToStart]->setEnabled(false);
    StartTimer(kTimerRateSettle, 500);
}

void CtarnicDlg::OnRateSettle() {
    KillTimer(kTimerRateSettle);
    EnableJumps(true);
    RefreshButtons();
}

void CtarnicDlg::OnSwapCameras() {
    if (!SubVideoFloating()) {
        PlaceFloatingSubVideo();
        return;
    }
    std::swap(mainCamera_, subCamera_);
    LayOutVideoWindows();
}

void CtarnicDlg::OnAspect() {
    if (!ready_)
        return;
    aspect_ = !AnyPlayerPresent() || !aspect_;
    players_->SetAspectMode(aspect_ ? 1 : 0);
    ApplyVideoRects();
    WriteSetting("DISPLAY", "ASPECT", aspect_ ? "on" : "off");
    RefreshButtons();
}

// Sliders.

void CtarnicDlg::OnSliderPress(const AppMessage& message) {
    if (busy_ || message.wParam() != kSeekSliderId || !ready_)
        return;
    SetPlayersVolume(0);
    stateAtPress_ = PlayerState();
    if (stateAtPress_ != EngineState::Paused && AnyPlayerPresent())
        players_->Pause();
    sliderPressed_ = true;
}

void CtarnicDlg::OnSliderDrag(const AppMessage& message) {
    if (busy_)
        return;
    if (message.wParam() == kVolumeSliderId) {
        StoreVolume(static_cast<int>(message.lParam()));
        return;
    }
    if (message.wParam() != kSeekSliderId || !ready_ || !sliderPressed_ ||
        !seekSlider_->isEnabled())
        return;
    UpdatePosition(message.lParam());
}

void CtarnicDlg::OnSliderRelease(const AppMessage& message) {
    if (busy_)
        return;
    if (message.wParam() == kVolumeSliderId) {
        StoreVolume(static_cast<int>(message.lParam()));
        return;
    }
    if (message.wParam() != kSeekSliderId || !ready_ || !sliderPressed_)
        return;
    sliderPressed_ = false;
    const SeekPlan plan = PlanSeek(message.lParam(), positionMin_, positionMax_, rateMode_);
    if (AnyPlayerPresent()) {
        players_->SetPosition(plan.target);
        UpdatePosition(plan.shown);
        if (stateAtPress_ == EngineState::Playing)
            players_->Play();
        else if (stateAtPress_ == EngineState::Stopped)
            players_->Stop();
    }
    SetPlayersVolume(storedVolume_);
    RefreshButtons();
}

// The video windows.

void CtarnicDlg::OnVideoContextMenu(const AppMessage& message) {
    if (busy_ || NearEnd())
        return;
    VideoMenuInputs in;
    in.state = PlayerState();
    in.fullScreen = fullScreen_;
    in.forSubCamera = message.lParam() == subCamera_;
    in.aspectKept = aspect_;
    in.rateSettling = TimerActive(kTimerRateSettle);
    CMovieMenu menu(this);
    for (const VideoMenuItem& item : VideoMenuItems(in)) {
        if (item.command == 0)
            menu.AppendSeparator();
        else
            menu.AppendTextItem(item.command, item.textEntry, item.enabled);
    }
    const int chosen = menu.Track(UnpackPoint(message.wParam()));
    if (chosen != 0)
        OnCommand(chosen);
}

// Button states.

void CtarnicDlg::ShowPlayButton(bool playing) {
    if (CSkinButton* play = toolButtons_[kCmdPlay - kCmdToStart])
        ShowPlayState(*play, playing);
}

void CtarnicDlg::EnableControls(bool on) {
    if (!on) {
        for (CSkinButton* button : toolButtons_)
            button->setEnabled(false);
        for (CSkinButton* button : captionButtons_)
            button->setEnabled(false);
        seekSlider_->setEnabled(false);
        listPanel_->EnableControls(false);
        return;
    }
    RefreshButtons();
}

void CtarnicDlg::RefreshButtons() {
    if (!initialised_ || shutDown_)
        return;
    for (CSkinButton* button : captionButtons_)
        button->setEnabled(true);
    ButtonInputs in;
    {
        auto lock = LockList();
        in.rows = RecordCount();
        in.index = currentIndex_;
    }
    in.listEmpty = in.rows == 0;
    in.state = PlayerState();
    in.picture = false;
    for (int slot = 0; slot < 2; ++slot) {
        if (playerPresent_[slot] && players_->open(slot) && engines_[slot]->hasPicture())
            in.picture = true;
    }
    in.rateMode = rateMode_;
    in.sourceKind = static_cast<int>(listPanel_->Kind());
    in.csvDisabled = csvDisabled_;
    in.layout = layoutMode_;
    in.fullScreen = fullScreen_;
    const auto looks = ToolButtonLooks(in);
    for (int i = 0; i < kToolButtonCount; ++i) {
        toolButtons_[i]->setEnabled(looks[i].enabled);
        toolButtons_[i]->SetHidden(looks[i].hidden);
        // A hidden button takes no clicks either (layout 2 puts others in its place).
        toolButtons_[i]->setVisible(!looks[i].hidden);
    }
    // While the speed settles the slower and faster buttons stay off.
    if (TimerActive(kTimerRateSettle)) {
        toolButtons_[kCmdSlower - kCmdToStart]->setEnabled(false);
        toolButtons_[kCmdFaster - kCmdToStart]->setEnabled(false);
    }
    seekSlider_->setEnabled(true);
    listPanel_->EnableControls(true);
}

} // namespace kirvano
