// What a video window asks of the window that owns it (the main window implements it).
#pragma once

#include <QPoint>

#include <cstdint>

class QObject;

namespace kirvano {

class CMovieStatic;

class MovieWindowOwner {
public:
    virtual ~MovieWindowOwner() = default;
    // Where timed-playback messages are posted.
    virtual QObject* messageTarget() = 0;
    virtual void OnPlayerStopped(std::intptr_t wParam, std::intptr_t lParam) = 0;
    virtual void OnPlayerOpened(std::intptr_t wParam, std::intptr_t lParam) = 0;
    virtual void OnPlayerEvent(std::intptr_t wParam, std::intptr_t lParam) = 0;
    virtual void OnVideoContextMenu(QPoint globalPoint, CMovieStatic* window) = 0;
    virtual void OnVideoClick(int slot, QPoint point) = 0;
    // A double click in the window of the main camera.
    virtual void OnMainVideoDoubleClick() = 0;
    // A double click in the other window while the sub video frame is hidden.
    virtual void OnShowSubVideo() = 0;
    virtual bool singleCamera() const = 0;
    virtual int mainCamera() const = 0;
    virtual bool subVideoHidden() const = 0;
};

} // namespace kirvano
