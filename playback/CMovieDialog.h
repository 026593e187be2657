// The floating frame of the sub camera's video: frameless, a one-pixel frame, a close
// button that docks the video again, and a double click on its top strip that asks the
// owner to place it.
#pragma once

#include <QWidget>

class QPushButton;

namespace kirvano {

class CMovieDialog : public QWidget {
public:
    enum { kCloseCommand = 22 };
    CMovieDialog(const QString& caption, QWidget* parent);

    QPushButton* closeButton() const { return close_; }
    // Ask the owner to dock the video, then close (the close button's command).
    void CloseCommand();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QPushButton* close_;
};

} // namespace kirvano
