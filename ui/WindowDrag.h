// Moving a frameless window by pressing the left button anywhere in it: the window system
// moves it where it can (Wayland), elsewhere the window follows the pointer until release.
#pragma once

#include <QPoint>

#include <optional>

class QMouseEvent;
class QWidget;

namespace kirvano {

class WindowDrag {
public:
    // Each returns true when it handled the event.
    bool Press(QWidget& window, const QMouseEvent& event);
    bool Move(QWidget& window, const QMouseEvent& event);
    bool Release(const QMouseEvent& event);
    bool active() const { return offset_.has_value(); }

private:
    std::optional<QPoint> offset_; // pointer to the window's top left while following
};

} // namespace kirvano
