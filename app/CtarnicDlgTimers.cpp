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

void CtarnicDlg::OnPlaybackTick() {
    // The position update from the main player to the info panel, graph cursor and map
    // plugs in here, once the players exist.
}

void CtarnicDlg::OnRunOpen() {
    KillTimer(kTimerRunOpen);
    // Closing and opening both players on the current recording plugs in here; without
    // players the open fails, which ends the busy state.
    KillTimer(kTimerOpenTimeout);
    busy_ = false;
    openPending_ = false;
    EndWaitCursor();
}

void CtarnicDlg::OnOpenTimeout() {
    KillTimer(kTimerOpenTimeout);
    busy_ = false;
    openPending_ = false;
    EndWaitCursor();
    // Redrawing both video windows plugs in here.
}

void CtarnicDlg::OnIdle() {
    // The idle processing: objects released with deleteLater are freed now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void CtarnicDlg::OnRefreshButtonsTimer() {
    KillTimer(kTimerRefreshButtons);
    RefreshButtons();
}

void CtarnicDlg::OnRateSettle() {
    KillTimer(kTimerRateSettle);
    // Re-enabling the slower and faster buttons and the G-sensor panel's jumps plugs in
    // here.
    RefreshButtons();
}

void CtarnicDlg::RefreshButtons() {
    // The button states follow the player state; the skinned buttons plug in here.
}

void CtarnicDlg::EndWaitCursor() {
    if (waitCursor_) {
        QApplication::restoreOverrideCursor();
        waitCursor_ = false;
    }
}

} // namespace kirvano
