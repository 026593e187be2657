// The private messages of the main window: every message value has one handler in a
// table, and all run on the UI thread.
#include "app/CtarnicDlg.h"

#include "views/CGSensorDlg.h"

#include "library/ui/CFilerContainerDlg.h"
#include "ui/CSkinProgressBarCtrl.h"
#include "update/CUpdateDialog.h"
#include "update/VersionCheck.h"

#include <QThread>

#include <algorithm>

namespace kirvano {

int ProgressPercent(std::intptr_t done, std::intptr_t total) {
    if (total <= 0)
        return 100;
    const long double percent = static_cast<long double>(done) * 100.0L / total;
    return static_cast<int>(std::clamp(percent, 0.0L, 100.0L));
}

std::span<const CtarnicDlg::HandlerEntry> CtarnicDlg::HandlerTable() {
    static constexpr HandlerEntry table[] = {
        {WM_APP_PLAYER_EVENT, &CtarnicDlg::OnPlayerEvent},
        {WM_APP_TIMED_TICK, &CtarnicDlg::OnTimedTick},
        {WM_APP_TIMED_PLAYBACK_ENDED, &CtarnicDlg::OnTimedPlaybackEnded},
        {WM_APP_PROGRESS, &CtarnicDlg::OnProgress},
        {WM_APP_SLIDER_DRAG, &CtarnicDlg::OnSliderDrag},
        {WM_APP_SLIDER_PRESS, &CtarnicDlg::OnSliderPress},
        {WM_APP_SLIDER_RELEASE, &CtarnicDlg::OnSliderRelease},
        {WM_APP_MAP_READY, &CtarnicDlg::OnMapReady},
        {WM_APP_MAP_SEEK, &CtarnicDlg::OnMapSeek},
        {WM_APP_GSENSOR_NEXT, &CtarnicDlg::OnGSensorNext},
        {WM_APP_GSENSOR_PREV, &CtarnicDlg::OnGSensorPrev},
        {WM_APP_SETTING_CHANGED, &CtarnicDlg::OnSettingChanged},
        {WM_APP_VIDEO_CONTEXT_MENU, &CtarnicDlg::OnVideoContextMenu},
        {WM_APP_VIDEO_CLICK, &CtarnicDlg::OnVideoClick},
        {WM_APP_PLAYER_STOPPED, &CtarnicDlg::OnPlayerStopped},
        {WM_APP_PLAYER_OPENED, &CtarnicDlg::OnPlayerOpened},
        {WM_APP_VIDEO_FRAME, &CtarnicDlg::OnVideoFrame},
        {WM_APP_GRAPH_SETTING, &CtarnicDlg::OnGraphSetting},
        {WM_APP_LIST_NOTICE, &CtarnicDlg::OnListNotice},
        {WM_APP_TREE_SELECTED, &CtarnicDlg::OnTreeSelected},
        {WM_APP_SOURCE_LOST, &CtarnicDlg::OnSourceLost},
        {WM_APP_FILE_PREPARED, &CtarnicDlg::OnFilePrepared},
        {WM_APP_TASK_DONE, &CtarnicDlg::OnTaskDone},
        {WM_APP_DELETE_DONE, &CtarnicDlg::OnDeleteDone},
        {WM_APP_START_VERSION_CHECK, &CtarnicDlg::OnStartVersionCheck},
        {WM_APP_RELAYOUT_VIDEO, &CtarnicDlg::OnRelayoutVideo},
        {WM_APP_DOCK_SUB_VIDEO, &CtarnicDlg::OnDockSubVideo},
        {WM_APP_PLACE_SUB_VIDEO, &CtarnicDlg::OnPlaceSubVideo},
    };
    return table;
}

bool CtarnicDlg::event(QEvent* event) {
    if (IsAppMessage(event)) {
        DispatchAppMessage(*static_cast<const AppMessage*>(event));
        return true;
    }
    return QDialog::event(event);
}

void CtarnicDlg::DispatchAppMessage(const AppMessage& message) {
    for (const HandlerEntry& entry : HandlerTable()) {
        if (entry.message == message.message()) {
            if (recordMessages_)
                handled_.push_back({message.message(), message.wParam(), message.lParam(),
                                    QThread::currentThread() == thread()});
            (this->*entry.handler)(message);
            return;
        }
    }
    // Values of the range that are not listed are not used.
}

void CtarnicDlg::OnProgress(const AppMessage& message) {
    if (progressBar_ == nullptr)
        return;
    progressBar_->SetPos(ProgressPercent(message.wParam(), message.lParam()));
    progressBar_->raise();
    progressBar_->update();
}

void CtarnicDlg::OnStartVersionCheck(const AppMessage&) {
    if (versionCheckStarted_)
        return;
    versionCheckStarted_ = true;
    versionCheck_ = std::make_unique<VersionCheck>(this);
    if (listPanel_->Kind() == SourceKind::Card)
        versionCheck_->StartForSource(listPanel_->SourcePath());
    else
        versionCheck_->Start(std::string());
    raise();
    activateWindow();
}

void CtarnicDlg::OnListNotice(const AppMessage&) {
    // The recording list's notice is ignored.
}

void CtarnicDlg::OnGSensorNext(const AppMessage&) {
    JumpToEvent(true);
}

void CtarnicDlg::OnGSensorPrev(const AppMessage&) {
    JumpToEvent(false);
}

void CtarnicDlg::OnSettingChanged(const AppMessage& message) {
    const auto item = message.wParam();
    if (item < 0 || item > 3)
        return;
    graphDlg_->Detector().ApplySetting(static_cast<int>(item), message.lParam() != 0);
    RebuildEvents();
}

void CtarnicDlg::OnGraphSetting(const AppMessage& message) {
    const auto item = message.wParam();
    if (item < 0 || item > 2)
        return;
    graphDlg_->Detector().SetAxisShown(static_cast<int>(item), message.lParam() != 0);
    RebuildEvents();
}

} // namespace kirvano
