#include "playback/CMovieStatic.h"

#include "playback/PlaybackEngine.h"
#include "playback/VideoPresenter.h"
#include "ui/AppMessage.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

namespace kirvano {

static_assert(kTimedTickMessage == WM_APP_TIMED_TICK);
static_assert(kTimedPlaybackEndedMessage == WM_APP_TIMED_PLAYBACK_ENDED);

namespace {

QCursor MovieCursor() {
    // A 32 x 32 cross-hair: the zoom point of a click.
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawLine(16, 2, 16, 30);
    painter.drawLine(2, 16, 30, 16);
    painter.drawEllipse(QPoint(16, 16), 8, 8);
    return QCursor(pixmap, 16, 16);
}

} // namespace

std::intptr_t PackPoint(QPoint point) {
    const auto x = static_cast<std::uint32_t>(point.x());
    const auto y = static_cast<std::uint32_t>(point.y());
    return static_cast<std::intptr_t>((static_cast<std::uint64_t>(y) << 32) | x);
}

QPoint UnpackPoint(std::intptr_t value) {
    const auto bits = static_cast<std::uint64_t>(value);
    return {static_cast<std::int32_t>(static_cast<std::uint32_t>(bits)),
            static_cast<std::int32_t>(static_cast<std::uint32_t>(bits >> 32))};
}

CMovieStatic::CMovieStatic(QObject* owner, QWidget* parent)
    : QWidget(parent), owner_(owner), doubleClickMs_(QApplication::doubleClickInterval()) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

CMovieStatic::~CMovieStatic() = default;

void CMovieStatic::setCustomCursor(bool on) {
    customCursor_ = on;
    if (on)
        setCursor(MovieCursor());
    else
        unsetCursor();
}

void CMovieStatic::PostToWindow(int message, std::intptr_t wParam, std::intptr_t lParam) {
    PostAppMessage(this, message, wParam, lParam);
}

void CMovieStatic::PostToOwner(int message, std::intptr_t wParam, std::intptr_t lParam) {
    if (owner_)
        PostAppMessage(owner_, message, wParam, lParam);
}

ViewRect CMovieStatic::ClientRect() const {
    return ViewRect{0, 0, width(), height()};
}

void CMovieStatic::RequestRepaint() {
    // Any thread: the update runs on the window's own thread, and not at all once the
    // window is gone.
    if (repaintQueued_.exchange(true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            repaintQueued_ = false;
            update();
            // Sent, not posted: the owner's views then join this picture's paint pass.
            SendToOwner(WM_APP_VIDEO_FRAME, slot_, 0);
        },
        Qt::QueuedConnection);
}

bool CMovieStatic::event(QEvent* event) {
    if (IsAppMessage(event)) {
        const auto* m = static_cast<const AppMessage*>(event);
        switch (m->message()) {
        case WM_APP_ENGINE_ENDED:
            if (slot_ == kFrontCamera)
                SendToOwner(WM_APP_PLAYER_STOPPED, m->wParam(), m->lParam());
            return true;
        case WM_APP_ENGINE_READY:
            if (slot_ == kRearCamera || (slot_ == kFrontCamera && forwardReady_))
                SendToOwner(WM_APP_PLAYER_OPENED, m->wParam(), m->lParam());
            return true;
        case WM_APP_PLAYER_EVENT:
            if (slot_ == kFrontCamera)
                SendToOwner(WM_APP_PLAYER_EVENT, m->wParam(), m->lParam());
            return true;
        default:
            return true;
        }
    }
    return QWidget::event(event);
}

void CMovieStatic::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    VideoPresenter* presenter = nullptr;
    if (engine_ && engine_->state() != EngineState::Closed && engine_->pipeline())
        presenter = engine_->pipeline()->Presenter();
    if (presenter && presenter->HasPicture())
        presenter->Paint(painter, rect());
    else
        painter.fillRect(rect(), Qt::black);
}

void CMovieStatic::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    setFocus();
    buttonDown_ = true;
    if (doubleClickSeen_)
        return;
    pressed_ = event->position().toPoint();
    clickPending_ = true;
    clickTimer_.start(doubleClickMs_, this);
}

void CMovieStatic::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    buttonDown_ = false;
    if (doubleClickSeen_) {
        doubleClickSeen_ = false;
        return;
    }
    released_ = event->position().toPoint();
    releaseTimer_.start(doubleClickMs_, this);
}

void CMovieStatic::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseDoubleClickEvent(event);
    clickTimer_.stop();
    releaseTimer_.stop();
    clickPending_ = false;
    doubleClickSeen_ = true;
    SendToOwner(WM_APP_VIDEO_CLICK, slot_ | kDoubleClickFlag,
                PackPoint(event->position().toPoint()));
    doubleClickTimer_.start(500, this);
}

void CMovieStatic::mouseMoveEvent(QMouseEvent* event) {
    // Hover and leave come with mouse tracking; nothing else to do here.
    QWidget::mouseMoveEvent(event);
}

void CMovieStatic::contextMenuEvent(QContextMenuEvent* event) {
    if (slot_ == kFrontCamera || slot_ == kRearCamera)
        SendToOwner(WM_APP_VIDEO_CONTEXT_MENU, PackPoint(event->globalPos()), slot_);
}

void CMovieStatic::SendToOwner(int message, std::intptr_t wParam, std::intptr_t lParam) {
    if (owner_ == nullptr)
        return;
    AppMessage forwarded(message, wParam, lParam);
    QCoreApplication::sendEvent(owner_, &forwarded);
}

QBasicTimer* CMovieStatic::TimerFor(int id) {
    switch (id) {
    case kClickTimer:
        return &clickTimer_;
    case kReleaseTimer:
        return &releaseTimer_;
    case kDoubleClickTimer:
        return &doubleClickTimer_;
    }
    return nullptr;
}

bool CMovieStatic::timerActive(int id) const {
    return const_cast<CMovieStatic*>(this)->TimerFor(id) &&
           const_cast<CMovieStatic*>(this)->TimerFor(id)->isActive();
}

bool CMovieStatic::FireTimer(int id) {
    QBasicTimer* timer = TimerFor(id);
    if (!timer || !timer->isActive())
        return false;
    OnTimer(id);
    return true;
}

void CMovieStatic::timerEvent(QTimerEvent* event) {
    for (int id : {kClickTimer, kReleaseTimer, kDoubleClickTimer}) {
        if (TimerFor(id)->timerId() == event->timerId()) {
            OnTimer(id);
            return;
        }
    }
    QWidget::timerEvent(event);
}

void CMovieStatic::OnTimer(int id) {
    TimerFor(id)->stop();
    switch (id) {
    case kClickTimer:
        clickPending_ = false;
        SendToOwner(WM_APP_VIDEO_CLICK, slot_, PackPoint(pressed_));
        break;
    case kReleaseTimer:
        // Qt hands the mouse back by itself when the button goes up; nothing is held.
        break;
    case kDoubleClickTimer:
        doubleClickSeen_ = false;
        break;
    }
}

} // namespace kirvano
