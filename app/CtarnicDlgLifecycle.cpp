// The main window's life cycle: the initialisation steps in their order and the
// shutdown that leaves no timer or worker behind.
#include "app/CtarnicDlg.h"

#include "base/NamedLocks.h"
#include "config/Settings.h"
#include "ui/UiText.h"

#include <QApplication>
#include <QCloseEvent>
#include <QProgressBar>

#include <algorithm>

namespace kirvano {

namespace {
constexpr int kProgressBarHeight = 22;
} // namespace

CtarnicDlg::CtarnicDlg(QWidget* parent) : QDialog(parent) {
    // Player, connectivity monitor and info panel members are constructed here as they
    // are added; the state fields start at their declared values.
    InitialiseWindow();
}

CtarnicDlg::~CtarnicDlg() {
    Shutdown();
}

void CtarnicDlg::InitialiseWindow() {
    // 1. Framework initialisation and icons: the application icon plugs in here.

    // 2. The locks. A registry lock always exists, so the window never comes up empty.
    hMutexCache_ = &NamedLock("hMutexCache");
    hMutexCpSet_ = &NamedLock("hMutexCpSet");
    if (!LocksCreated())
        return;

    // 3. Language column; the shared fonts plug in here; resolve the configuration folder.
    SelectUiTextColumn(UiTextColumnFromEnvironment());
    ConfigDirectory();

    // 4. Title and size.
    setWindowTitle(QStringLiteral("Kirvano"));
    resize(1280, 800);

    // 5. Skin bitmaps: the resource image cache plugs in here.

    // 6. Child windows, in their order; the video windows, list container, logo panel,
    //    map dialog, G-sensor graph, info panel, sliders and buttons plug in before the
    //    progress bar.
    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName(QStringLiteral("progress bar"));
    progressBar_->setWindowTitle(QStringLiteral("progress bar"));
    progressBar_->setTextVisible(false);

    // 7. Defaults of the configuration file when it does not exist.
    WriteDefaultSettings();

    // 8. The settings dialog plugs in here.
    // 9. Both players and the DECODE/HW switch plug in here.

    // 10. Aspect flag and stored volume.
    aspect_ = ReadSetting("DISPLAY", "ASPECT") == "on";
    storedVolume_ = std::clamp(ReadVolumeSetting(), 0, 65535);

    // 11. Layout; the progress bar is a hidden strip along the bottom of the video area.
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    PlaceProgressBar();
    progressBar_->hide();

    // 12. Aspect flag and video rectangles of the players plug in here.

    // 13. Idle timer, the map host's start-up notice (plugs in here), version check.
    StartTimer(kTimerIdle, 1000);
    PostAppMessage(this, WM_APP_START_VERSION_CHECK);
}

void CtarnicDlg::PlaceProgressBar() {
    if (progressBar_ == nullptr)
        return;
    // The main video area is the whole window until the layout of the views exists.
    const QRect area = rect();
    progressBar_->setGeometry(area.left(), area.bottom() + 1 - kProgressBarHeight, area.width(),
                              kProgressBarHeight);
}

void CtarnicDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    PlaceProgressBar();
}

bool CtarnicDlg::StartLongTask(TaskRunner::Task task, int doneMessage) {
    if (shutDown_ || longTask_)
        return false;
    if (!taskRunner_.Start(std::move(task), doneMessage))
        return false;
    longTask_ = true;
    taskSuccess_ = false;
    return true;
}

void CtarnicDlg::Shutdown() {
    if (shutDown_)
        return;
    shutDown_ = true;
    ++shutdownRuns_;

    KillTimer(kTimerIdle);
    // Pausing and stopping both players, resetting the view (normal rate, MainCamera 0,
    // map and list panel) plugs in here.
    mainCamera_ = 0;
    subCamera_ = 1;
    KillTimer(kTimerPlaybackTick);
    // Releasing the present players plugs in here.
    for (int id = kTimerPlaybackTick; id <= kTimerRateSettle; ++id)
        KillTimer(id);
    EndWaitCursor();

    // The long task is asked to stop first, so it cannot hold a lock we wait for.
    taskRunner_.Cancel();
    // Take and release each lock, so no worker is still inside a guarded section.
    for (std::recursive_mutex* lock : {hMutexCache_, hMutexCpSet_}) {
        if (lock != nullptr) {
            lock->lock();
            lock->unlock();
        }
    }
    hMutexCache_ = nullptr;
    hMutexCpSet_ = nullptr;

    // End a running long task: wait for its thread.
    taskRunner_.Join();
    longTask_ = false;
}

void CtarnicDlg::closeEvent(QCloseEvent* event) {
    Shutdown();
    QDialog::closeEvent(event);
    event->accept();
}

void CtarnicDlg::reject() {
    // Escape, the window manager's close and the close button all end here.
    Shutdown();
    QDialog::reject();
}

} // namespace kirvano
