#include "views/CursorStrip.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace kirvano {

void CursorStrip::Save(const QImage& picture, int x) {
    // One column to spare on each side: at fractional scales a line's pixels are rounded.
    const qreal ratio = picture.devicePixelRatio();
    left_ = std::clamp(static_cast<int>(std::floor(x * ratio)) - 1, 0, picture.width());
    const int right =
        std::clamp(static_cast<int>(std::ceil((x + 1) * ratio)) + 1, left_, picture.width());
    width_ = right - left_;
    height_ = picture.height();
    pixels_.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
    for (int y = 0; y < height_ && width_ > 0; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(picture.constScanLine(y)) + left_;
        std::copy(line, line + width_, pixels_.begin() + std::ptrdiff_t{y} * width_);
    }
}

void CursorStrip::Restore(QImage& picture) const {
    if (width_ <= 0 || picture.height() != height_ || left_ + width_ > picture.width())
        return;
    for (int y = 0; y < height_; ++y) {
        const auto from = pixels_.begin() + std::ptrdiff_t{y} * width_;
        std::copy(from, from + width_, reinterpret_cast<QRgb*>(picture.scanLine(y)) + left_);
    }
}

} // namespace kirvano
