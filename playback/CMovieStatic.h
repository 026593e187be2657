// The video window of one camera: paints the engine's picture into the engine's
// rectangle (black elsewhere), forwards the engine's messages to its owner and turns
// mouse input into single clicks, double clicks and context-menu requests. Everything
// reaches the owner as a private message, sent at once (the owner's handler runs before
// the window returns).
#pragma once

#include "playback/MediaPipeline.h"

#include <QBasicTimer>
#include <QWidget>

#include <atomic>

namespace kirvano {

class PlaybackEngine;

// WM_APP_VIDEO_CLICK: wParam the slot (with kDoubleClickFlag for a double click), lParam
// the point in the window. WM_APP_VIDEO_CONTEXT_MENU: wParam the screen point, lParam the
// slot. Points travel packed into one value.
inline constexpr std::intptr_t kDoubleClickFlag = 0x100;
std::intptr_t PackPoint(QPoint point);
QPoint UnpackPoint(std::intptr_t value);

class CMovieStatic : public QWidget, public EngineWindow {
public:
    enum TimerId { kClickTimer = 200, kReleaseTimer = 201, kDoubleClickTimer = 202 };

    // owner receives the forwarded messages; timed-playback messages are posted to it.
    explicit CMovieStatic(QObject* owner, QWidget* parent = nullptr);
    ~CMovieStatic() override;

    void setSlot(int slot) { slot_ = slot; }
    int slot() const { return slot_; }
    // Whether the engine's ready message is forwarded. The front window forwards it only
    // when the rear engine did not open (the rear's ready comes last and stands for both).
    void setForwardReady(bool on) { forwardReady_ = on; }
    void setEngine(PlaybackEngine* engine) { engine_ = engine; }
    void setCustomCursor(bool on);
    // The double-click interval (the system's by default).
    void setDoubleClickInterval(int ms) { doubleClickMs_ = ms; }
    // Runs a pending timer now, as if it had expired (tests drive the clock this way).
    bool FireTimer(int id);
    bool timerActive(int id) const;
    bool doubleClickSeen() const { return doubleClickSeen_; }

    // EngineWindow
    void PostToWindow(int message, std::intptr_t wParam, std::intptr_t lParam) override;
    void PostToOwner(int message, std::intptr_t wParam, std::intptr_t lParam) override;
    ViewRect ClientRect() const override;
    void RequestRepaint() override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void OnTimer(int id);
    void SendToOwner(int message, std::intptr_t wParam, std::intptr_t lParam);
    QBasicTimer* TimerFor(int id);

    QObject* owner_;
    PlaybackEngine* engine_ = nullptr;
    int slot_ = -1;
    bool forwardReady_ = true;
    int doubleClickMs_;
    QPoint pressed_;
    QPoint released_;
    bool clickPending_ = false;
    bool doubleClickSeen_ = false;
    bool buttonDown_ = false;
    bool customCursor_ = false;
    QBasicTimer clickTimer_;
    QBasicTimer releaseTimer_;
    QBasicTimer doubleClickTimer_;
    // A repaint is on its way to the window's thread: frames that come before it runs
    // ride along instead of queueing one call each.
    std::atomic<bool> repaintQueued_{false};
};

} // namespace kirvano
