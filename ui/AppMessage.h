// The private messages of the main window: one QEvent subclass whose event type is the
// message value itself (all values lie in Qt's user range), carrying wParam and lParam.
// Workers and child windows post them; only the UI thread handles them.
#pragma once

#include <QCoreApplication>
#include <QEvent>

#include <cstdint>

namespace kirvano {

enum AppMessageId : int {
    WM_APP_PLAYER_EVENT = 0x8004,
    WM_APP_TIMED_TICK = 0x8005,
    WM_APP_TIMED_PLAYBACK_ENDED = 0x8006,
    WM_APP_PROGRESS = 0x8008,
    WM_APP_SLIDER_DRAG = 0x8065,
    WM_APP_SLIDER_PRESS = 0x8066,
    WM_APP_SLIDER_RELEASE = 0x8067,
    WM_APP_MAP_READY = 0x812D,
    WM_APP_MAP_SEEK = 0x812E,
    WM_APP_GSENSOR_NEXT = 0x8191,
    WM_APP_GSENSOR_PREV = 0x8192,
    WM_APP_SETTING_CHANGED = 0x81F5,
    WM_APP_VIDEO_CONTEXT_MENU = 0x825C,
    WM_APP_VIDEO_CLICK = 0x825F,
    WM_APP_PLAYER_STOPPED = 0x8260,
    WM_APP_PLAYER_OPENED = 0x8261,
    WM_APP_VIDEO_FRAME = 0x8262, // a video window has a new picture to show
    WM_APP_GRAPH_SETTING = 0x82BD,
    WM_APP_LIST_NOTICE = 0x8385, // sent by the recording list; ignored
    WM_APP_TREE_SELECTED = 0x8456,
    WM_APP_SOURCE_LOST = 0x84B1,
    WM_APP_FILE_PREPARED = 0x8515,
    WM_APP_TASK_DONE = 0x8516,
    WM_APP_DELETE_DONE = 0x8517,
    WM_APP_START_VERSION_CHECK = 0x8518,
    WM_APP_RELAYOUT_VIDEO = 0x8579,
    WM_APP_DOCK_SUB_VIDEO = 0x857A,
    WM_APP_PLACE_SUB_VIDEO = 0x857B,
};

class AppMessage : public QEvent {
public:
    AppMessage(int message, std::intptr_t wParam, std::intptr_t lParam)
        : QEvent(static_cast<QEvent::Type>(message)), wParam_(wParam), lParam_(lParam) {}

    int message() const { return static_cast<int>(type()); }
    std::intptr_t wParam() const { return wParam_; }
    std::intptr_t lParam() const { return lParam_; }

private:
    std::intptr_t wParam_;
    std::intptr_t lParam_;
};

// Whether an event is one of the private messages.
inline bool IsAppMessage(const QEvent* event) {
    return event->type() >= QEvent::User && event->type() <= QEvent::MaxUser &&
           dynamic_cast<const AppMessage*>(event) != nullptr;
}

// Posts a message to receiver's thread queue; safe from any thread. Messages posted from
// one thread arrive in posting order.
inline void PostAppMessage(QObject* receiver, int message, std::intptr_t wParam = 0,
                           std::intptr_t lParam = 0) {
    QCoreApplication::postEvent(receiver, new AppMessage(message, wParam, lParam));
}

} // namespace kirvano
