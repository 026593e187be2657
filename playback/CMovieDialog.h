// The floating frame of the sub camera's video: frameless, a grey caption strip with the
// caption, a one-pixel frame, a skinned close button that docks the video again, dragging
// by any free point, and a double click on its top strip that asks the owner to place it.
#pragma once

#include "ui/WindowDrag.h"

#include <QWidget>

namespace kirvano {

class CSkinButton;

class CMovieDialog : public QWidget {
public:
    enum { kCloseCommand = 22 };
    CMovieDialog(const QString& caption, QWidget* parent);

    CSkinButton* closeButton() const { return close_; }
    // Ask the owner to dock the video, then close (the close button's command).
    void CloseCommand();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    CSkinButton* close_;
    WindowDrag drag_;
};

} // namespace kirvano
