// The skinned slider: a filled and an empty track and a thumb, drawn through an off-screen
// surface; presses, drags and the release are posted to the parent as WM_APP_SLIDER_PRESS,
// WM_APP_SLIDER_DRAG and WM_APP_SLIDER_RELEASE (wParam the command id, lParam the position).
#pragma once

#include "ui/COffScreenDC.h"

#include <QWidget>

namespace kirvano {

class CSkinSliderCtrl : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 10;
    static constexpr int kSurfaceWidth = 1920;
    // How far left or right of the client area a press still counts.
    static constexpr int kPressMargin = 10;

    explicit CSkinSliderCtrl(QWidget* parent = nullptr, int commandId = 0);

    // The four images: filled track, empty track, thumb, thumb while pressed.
    void SetImages(int filled, int empty, int thumb, int thumbPressed);

    // The range; an inverted range is put in order. The position is clamped into it.
    void SetRange(int minimum, int maximum);
    int GetRangeMin() const { return minimum_; }
    int GetRangeMax() const { return maximum_; }
    // Sets the position (clamped to the range) and redraws at once.
    void SetPos(int position);
    int GetPos() const { return position_; }
    bool IsPressed() const { return pressed_; }
    int CommandId() const { return commandId_; }

    // The position a press at x (logical pixels) selects at the current width.
    int PositionAt(int x) const;
    // Where the thumb is drawn and how far the filled track reaches.
    int ThumbX() const;
    int FilledWidth() const;
    int ThumbWidth() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Post(int message);
    void DrawTo(COffScreenDC& surface, int width);

    int commandId_;
    int minimum_ = 0;
    int maximum_ = 100;
    int position_ = 0;
    bool pressed_ = false;
    int filledImage_;
    int emptyImage_;
    int thumbImage_;
    int thumbPressedImage_;
    COffScreenDC surface_;
};

} // namespace kirvano
