// The video window of one camera: paints the engine's picture into the engine's
// rectangle (black elsewhere), forwards the engine's messages to its owner and turns
// mouse input into single clicks, double clicks and context-menu requests.
#pragma once

#include "playback/MediaPipeline.h"
#include "playback/MovieWindowOwner.h"

#include <QBasicTimer>
#include <QWidget>

namespace kirvano {

class PlaybackEngine;

class CMovieStatic : public QWidget, public EngineWindow {
public:
    enum TimerId { kClickTimer = 200, kReleaseTimer = 201, kDoubleClickTimer = 202 };

    explicit CMovieStatic(MovieWindowOwner* owner, QWidget* parent = nullptr);
    ~CMovieStatic() override;

    void setSlot(int slot) { slot_ = slot; }
    int slot() const { return slot_; }
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
    QBasicTimer* TimerFor(int id);

    MovieWindowOwner* owner_;
    PlaybackEngine* engine_ = nullptr;
    int slot_ = -1;
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
};

} // namespace kirvano
