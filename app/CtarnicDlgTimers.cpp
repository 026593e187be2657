// The main window's timers 100..105: one QBasicTimer per id, dispatched by id.
#include "app/CtarnicDlg.h"

#include <QApplication>
#include <QTimerEvent>

namespace kirvano {

namespace {
constexpr int kFirstTimer = kTimerPlaybackTick;
constexpr int kTimerCount = 6;
bool IsMainTimer(int id) {
    return id >= kFirstTimer && id < kFirstTimer + kTimerCount;
}
} // namespace

void CtarnicDlg::StartTimer(int id, int milliseconds) {
    if (IsMainTimer(id))
        timers_[id - kFirstTimer].start(milliseconds, this);
}

void CtarnicDlg::KillTimer(int id) {
    if (IsMainTimer(id))
        timers_[id - kFirstTimer].stop();
}

bool CtarnicDlg::TimerActive(int id) const {
    return IsMainTimer(id) && timers_[id - kFirstTimer].isActive();
}

void CtarnicDlg::timerEvent(QTimerEvent* event) {
    int id = 0;
    for (int i = 0; i < kTimerCount; ++i) {
        if (timers_[i].timerId() == event->timerId())
            id = kFirstTimer + i;
    }
    switch (id) {
    case kTimerPlaybackTick:
        if (tickRidesFrames_) {
            // No picture came in time: the timer runs the tick again at its own pace.
            tickRidesFrames_ = false;
            StartTimer(kTimerPlaybackTick, kTickMs);
        }
        OnPlaybackTick();
        break;
    case kTimerRunOpen:
        OnRunOpen();
        break;
    case kTimerOpenTimeout:
        OnOpenTimeout();
        break;
    case kTimerIdle:
        OnIdle();
        break;
    case kTimerRefreshButtons:
        OnRefreshButtonsTimer();
        break;
    case kTimerRateSettle:
        OnRateSettle();
        break;
    default:
        QDialog::timerEvent(event);
        break;
    }
}

void CtarnicDlg::OnIdle() {
    // The idle processing: objects released with deleteLater are freed now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void CtarnicDlg::OnRefreshButtonsTimer() {
    KillTimer(kTimerRefreshButtons);
    RefreshButtons();
}

void CtarnicDlg::EndWaitCursor() {
    if (waitCursor_) {
        QApplication::restoreOverrideCursor();
        waitCursor_ = false;
    }
}

} // namespace kirvano
