#include "ui/CSkinSliderCtrl.h"

#include "ui/AppMessage.h"
#include "ui/CResourceImage.h"

#include <QMouseEvent>

#include <algorithm>
#include <cmath>

namespace kirvano {

CSkinSliderCtrl::CSkinSliderCtrl(QWidget* parent, int commandId)
    : QWidget(parent), commandId_(commandId), filledImage_(skin::kSeekFilled),
      emptyImage_(skin::kSeekEmpty), thumbImage_(skin::kSeekThumb),
      thumbPressedImage_(skin::kSeekThumbPressed) {
    setAccessibleName(QStringLiteral("movie slider"));
    setCursor(SkinCursor());
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    if (parent != nullptr) {
        resize(parent->width(), kHeight);
    } else {
        resize(200, kHeight);
    }
}

void CSkinSliderCtrl::SetImages(int filled, int empty, int thumb, int thumbPressed) {
    filledImage_ = filled;
    emptyImage_ = empty;
    thumbImage_ = thumb;
    thumbPressedImage_ = thumbPressed;
    update();
}

void CSkinSliderCtrl::SetRange(int minimum, int maximum) {
    minimum_ = std::min(minimum, maximum);
    maximum_ = std::max(minimum, maximum);
    position_ = std::clamp(position_, minimum_, maximum_);
    update();
}

void CSkinSliderCtrl::SetPos(int position) {
    // Called on every position update: painted with the window's next paint, and only when
    // the filled part or the thumb moves by a pixel.
    const int filled = FilledWidth();
    const int thumb = ThumbX();
    position_ = std::clamp(position, minimum_, maximum_);
    if (FilledWidth() != filled || ThumbX() != thumb) {
        update();
    }
}

int CSkinSliderCtrl::ThumbWidth() const {
    const SkinImageInfo* info = FindSkinImage(thumbImage_);
    return info != nullptr ? info->width : kHeight;
}

int CSkinSliderCtrl::PositionAt(int x) const {
    const long long steps = static_cast<long long>(maximum_) - minimum_ + 1;
    const int w = width();
    if (w <= 0 || x <= 0) {
        return minimum_;
    }
    // x / (width / steps), in exact integer arithmetic so that ranges wider than the
    // slider still map (a slot narrower than a pixel must not divide by zero).
    const long long offset = static_cast<long long>(x) * steps / w;
    return static_cast<int>(std::clamp<long long>(minimum_ + offset, minimum_, maximum_));
}

int CSkinSliderCtrl::ThumbX() const {
    const long long steps = static_cast<long long>(maximum_) - minimum_ + 1;
    const long long travel = std::max(0, width() - ThumbWidth());
    return static_cast<int>((static_cast<long long>(position_) - minimum_) * travel / steps);
}

int CSkinSliderCtrl::FilledWidth() const {
    const long long steps = static_cast<long long>(maximum_) - minimum_ + 1;
    return static_cast<int>((static_cast<long long>(position_) - minimum_) * width() / steps);
}

QSize CSkinSliderCtrl::sizeHint() const {
    return QSize(200, kHeight);
}

void CSkinSliderCtrl::DrawTo(COffScreenDC& surface, int width) {
    QPainter& painter = surface.Painter();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(QRect(0, 0, surface.Size().width(), surface.Size().height()), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    const int h = surface.Size().height();
    const int filled = FilledWidth();
    CResourceImage& images = SkinImages();
    if (filled > 0) {
        images.Draw(painter, filledImage_, 0, QRectF(0, 0, filled, h));
    }
    if (width - (filled + 1) > 0) {
        images.Draw(painter, emptyImage_, 0, QRectF(filled + 1, 0, width - (filled + 1), h));
    }
    images.Draw(painter, pressed_ ? thumbPressedImage_ : thumbImage_, 0,
                QRectF(ThumbX(), 0, ThumbWidth() + 2, h));
}

void CSkinSliderCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const qreal ratio = PaintRatio(painter);
    const int h = std::max(1, height());
    // The surface is 1920 pixels wide; a wider slider (a 4K screen) gets a wider one.
    const QSize wanted(std::max(kSurfaceWidth, width()), h);
    if (!surface_.IsValid() || surface_.Size() != wanted ||
        std::abs(surface_.Ratio() - ratio) > 0.01) {
        surface_.Create(wanted, ratio);
    }
    if (!surface_.IsValid()) {
        return;
    }
    DrawTo(surface_, width());
    surface_.CopyTo(painter, QPoint(0, 0), QRect(0, 0, width(), h));
}

void CSkinSliderCtrl::Post(int message) {
    if (QWidget* target = parentWidget()) {
        PostAppMessage(target, message, commandId_, position_);
    }
}

void CSkinSliderCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const int x = event->position().toPoint().x();
    if (x < -kPressMargin || x > width() + kPressMargin) {
        return;
    }
    position_ = PositionAt(x);
    // the press grabs the mouse until the release (Qt's implicit grab)
    pressed_ = true;
    repaint();
    Post(WM_APP_SLIDER_PRESS);
}

void CSkinSliderCtrl::mouseMoveEvent(QMouseEvent* event) {
    if (!pressed_) {
        return;
    }
    position_ = PositionAt(event->position().toPoint().x());
    repaint();
    Post(WM_APP_SLIDER_DRAG);
}

void CSkinSliderCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (!pressed_ || event->button() != Qt::LeftButton) {
        return;
    }
    position_ = PositionAt(event->position().toPoint().x());
    pressed_ = false;
    repaint();
    Post(WM_APP_SLIDER_RELEASE);
}

} // namespace kirvano
