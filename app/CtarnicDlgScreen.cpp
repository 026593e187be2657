// The main window's display modes: the three layouts cycled by the layout button, full
// screen of the main camera on the monitor that holds the window, the click zoom of each
// video window, and keeping the window on a screen when monitors come and go.
#include "app/CtarnicDlg.h"

#include "config/Settings.h"
#include "library/ui/CFilerContainerDlg.h"
#include "playback/CMovieDialog.h"
#include "playback/CMovieStatic.h"
#include "ui/CSkinButton.h"
#include "ui/CSkinSliderCtrl.h"
#include "views/CGSensorDlg.h"
#include "views/CInfoDlg.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <cmath>

namespace kirvano {

namespace {

// Full screen is refused this many frames before the end of a recording.
constexpr std::int64_t kFullScreenEndMargin = 10;

} // namespace

// Layouts.

void CtarnicDlg::OnLayoutCommand() {
    if (fullScreen_ || !initialised_)
        return;
    // The window stays where it is; only its children move.
    setUpdatesEnabled(false);
    layoutMode_ = NextLayout(layoutMode_);
    LayOut();
    ResetZoom(mainCamera_);
    ApplyVideoRects();
    if (SubVideoFloating())
        PlaceFloatingSubVideo();
    RefreshButtons();
    setUpdatesEnabled(true);
}

// Zoom.

void CtarnicDlg::SetZoomMode(bool on) {
    for (ZoomRecord& record : zoom_)
        record.enabled = on;
    // The list gives its place up while the pictures are zoomed.
    listPanel_->SetCollapsed(on);
    if (!on) {
        ResetZoom();
        ApplyVideoRects();
    }
}

void CtarnicDlg::ResetZoom(int slot) {
    const QPoint centre = ZoomCentreOf(slot);
    kirvano::ResetZoom(zoom_[slot], {centre.x(), centre.y()});
}

void CtarnicDlg::ResetZoom() {
    ResetZoom(0);
    ResetZoom(1);
}

void CtarnicDlg::OnVideoClick(const AppMessage& message) {
    const int slot = static_cast<int>(message.wParam() & 0xFF);
    if (slot != kFrontCamera && slot != kRearCamera)
        return;
    if ((message.wParam() & kDoubleClickFlag) != 0) {
        OnVideoDoubleClick(slot);
        return;
    }
    ZoomRecord& record = zoom_[slot];
    if (!record.enabled)
        return;
    const QPoint point = UnpackPoint(message.lParam());
    const QWidget* window = videoWindows_[slot];
    // How far the player's view reaches now (its right edge and top before the fit to
    // the picture's aspect ratio).
    const ZoomView now = ViewOfZoom(record);
    const int w = window->width();
    const int h = window->height();
    int viewRight = w + now.panX;
    int viewTop = now.panY;
    if (w > 0 && h > 0) {
        const float z1 = now.zoom - 1.0f;
        viewRight += static_cast<int>(
            std::trunc((1.0f - static_cast<float>(now.centreX) / w) * static_cast<float>(w) * z1));
        viewTop -= static_cast<int>(
            std::trunc(static_cast<float>(now.centreY) / h * static_cast<float>(h) * z1));
    }
    ZoomClick(record, point.x(), point.y(), w, 0, viewRight, viewTop);
    ApplyVideoRects();
}

void CtarnicDlg::OnVideoDoubleClick(int slot) {
    if (slot == mainCamera_) {
        if (!zoom_[slot].enabled)
            ToggleFullScreen();
        return;
    }
    // A double click on the docked sub camera lets it float.
    if (!SubVideoFloating())
        PlaceFloatingSubVideo();
}

// Full screen.

void CtarnicDlg::ToggleFullScreen() {
    if (fullScreen_) {
        LeaveFullScreen();
        return;
    }
    const bool controlsOn = initialised_ && !busy_ && !longTask_ && !shutDown_;
    if (controlsOn && RecordCount() > 0 && ready_)
        EnterFullScreen();
}

bool CtarnicDlg::EnterFullScreen() {
    if (fullScreen_)
        return true;
    const std::int64_t frames = MainFrameCount();
    if (frames > 0 && MainPosition() + kFullScreenEndMargin >= frames)
        return false;
    normalGeometry_ = geometry();
    fullScreen_ = true;
    for (QWidget* child : std::initializer_list<QWidget*>{infoDlg_, seekSlider_, volumeSlider_,
                                                          graphDlg_, listPanel_})
        child->hide();
    for (CSkinButton* button : toolButtons_)
        button->hide();
    for (CSkinButton* button : captionButtons_)
        button->hide();
    clearMask();
    FitFullScreen();
    RefreshMapPlace();
    if (QWindow* window = windowHandle())
        screenWatch_ =
            connect(window, &QWindow::screenChanged, this, [this](QScreen*) { FitFullScreen(); });
    raise();
    activateWindow();
    RefreshButtons();
    return true;
}

void CtarnicDlg::FitFullScreen() {
    if (!fullScreen_)
        return;
    QScreen* monitor = windowHandle() != nullptr ? windowHandle()->screen() : nullptr;
    if (monitor == nullptr)
        monitor = QGuiApplication::primaryScreen();
    if (monitor == nullptr)
        return;
    const QRect area = monitor->geometry();
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setGeometry(area);
    LayOutVideoWindows();
    ResetZoom(mainCamera_);
    ApplyVideoRects();
}

void CtarnicDlg::LeaveFullScreen() {
    if (!fullScreen_)
        return;
    fullScreen_ = false;
    disconnect(screenWatch_);
    setFixedSize(kWidth, kHeight);
    move(normalGeometry_.topLeft());
    KeepOnScreen();
    ResetZoom(mainCamera_);
    LayOut();
    ApplyVideoRects();
    ShowPlayButton(PlayerState() == EngineState::Playing);
    // Leaving full screen always keeps the picture's aspect ratio again.
    aspect_ = true;
    if (AnyPlayerPresent())
        players_->SetAspectMode(1);
    ApplyVideoRects();
    WriteSetting("DISPLAY", "ASPECT", "on");
    RefreshButtons();
}

// Monitors.

void CtarnicDlg::OnScreensChanged() {
    if (shutDown_)
        return;
    if (fullScreen_)
        LeaveFullScreen();
    KeepOnScreen();
}

void CtarnicDlg::KeepOnScreen() {
    // A window whose top rows lie on no monitor comes back onto the primary one.
    const QRect grip(pos(), QSize(width(), 24));
    for (QScreen* monitor : QGuiApplication::screens()) {
        if (monitor->availableGeometry().intersects(grip))
            return;
    }
    if (QScreen* primary = QGuiApplication::primaryScreen()) {
        const QRect area = primary->availableGeometry();
        move(area.left() + std::max(0, (area.width() - width()) / 2),
             area.top() + std::max(0, (area.height() - height()) / 2));
    }
}

} // namespace kirvano
