// What a shown widget painted: the regions of its paint events, and its pixels as they are
// on the screen (the window's backing store, not a fresh rendering).
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QPaintEvent>
#include <QPixmap>
#include <QRegion>
#include <QScreen>
#include <QWidget>

namespace kirvano::testing {

class PaintLog : public QObject {
public:
    explicit PaintLog(QWidget& widget) { widget.installEventFilter(this); }

    // Runs the pending updates; returns what was painted since the last call.
    QRegion Settle() {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QRegion painted = painted_;
        painted_ = QRegion();
        return painted;
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted_ += static_cast<QPaintEvent*>(event)->region();
        return false;
    }

private:
    QRegion painted_;
};

// The widget's pixels as the screen shows them.
inline QImage OnScreen(QWidget& widget) {
    const QPoint at = widget.mapTo(widget.window(), QPoint());
    return widget.screen()
        ->grabWindow(widget.window()->winId(), at.x(), at.y(), widget.width(), widget.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

} // namespace kirvano::testing
