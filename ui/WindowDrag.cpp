#include "ui/WindowDrag.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace kirvano {

bool WindowDrag::Press(QWidget& window, const QMouseEvent& event) {
    if (event.button() != Qt::LeftButton)
        return false;
    QWindow* handle = window.windowHandle();
    if (handle != nullptr && handle->startSystemMove())
        return true;
    offset_ = event.globalPosition().toPoint() - window.frameGeometry().topLeft();
    return true;
}

bool WindowDrag::Move(QWidget& window, const QMouseEvent& event) {
    if (!offset_ || !(event.buttons() & Qt::LeftButton))
        return false;
    window.move(event.globalPosition().toPoint() - *offset_);
    return true;
}

bool WindowDrag::Release(const QMouseEvent& event) {
    if (!offset_ || event.button() != Qt::LeftButton)
        return false;
    offset_.reset();
    return true;
}

} // namespace kirvano
