// The long tasks of the main window (CSV export, join, delete) and the snapshot: starting
// a task on the single worker with every control off, cancelling it with the to-the-start
// button, and coming back when it is done.
#include "app/CtarnicDlg.h"

#include "ui/CMsgDlg.h"
#include "ui/CSkinButton.h"
#include "ui/CSkinProgressBarCtrl.h"
#include "ui/CSkinSliderCtrl.h"
#include "ui/UiText.h"

namespace kirvano {

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

void CtarnicDlg::OnCancelOrToStart() {
    if (longTask_) {
        taskRunner_.Cancel();
        return;
    }
    OnToStart();
}

void CtarnicDlg::OnSnapshot() {
    // The snapshot flow plugs in here.
}

void CtarnicDlg::OnJoin() {
    // The join flow plugs in here.
}

void CtarnicDlg::OnDelete() {
    // The delete flow plugs in here.
}

void CtarnicDlg::OnCsvExport() {
    // The CSV export flow plugs in here.
}

void CtarnicDlg::FinishLongTask(const AppMessage& message) {
    // The task has posted its last message; its thread ends right after.
    taskRunner_.Join();
    longTask_ = false;
    taskSuccess_ = message.wParam() != 0;
}

void CtarnicDlg::OnTaskDone(const AppMessage& message) {
    FinishLongTask(message);
    if (taskSuccess_) {
        // The completion notice does not hold the message loop: the window comes back at once.
        auto* notice = new CMsgDlg(UiText(48), UiText(49), kMbOk, this);
        notice->setAttribute(Qt::WA_DeleteOnClose);
        notice->open();
    }
    volumeSlider_->setEnabled(true);
    EnableControls(true);
    progressBar_->hide();
    if (ValidIndex(currentIndex_))
        SelectRecording(currentIndex_, 0);
    RefreshButtons();
}

void CtarnicDlg::OnDeleteDone(const AppMessage& message) {
    // The delete flow reloads the source before it reports; then it ends like any task.
    OnTaskDone(message);
}

} // namespace kirvano
