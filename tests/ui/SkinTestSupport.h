// Helpers for the skinned-control tests: render a widget's own painting into an image and
// find which image of a skin strip it shows.
#pragma once

#include "ui/CResourceImage.h"

#include <QImage>
#include <QWidget>

namespace kirvano::testing {

// The widget's painting alone (no background) on a transparent image at a pixel ratio.
inline QImage RenderOwn(QWidget& widget, qreal ratio = 1.0) {
    QImage image(widget.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

// Whether the device pixels of `area` (logical) in `rendered` equal `frame` exactly.
inline bool ShowsFrame(const QImage& rendered, const QImage& frame, QPoint at) {
    if (frame.isNull()) {
        return false;
    }
    const qreal ratio = rendered.devicePixelRatio();
    const QImage a = rendered.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage b = frame.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int x0 = static_cast<int>(at.x() * ratio);
    const int y0 = static_cast<int>(at.y() * ratio);
    if (x0 + b.width() > a.width() || y0 + b.height() > a.height()) {
        return false;
    }
    for (int y = 0; y < b.height(); ++y) {
        for (int x = 0; x < b.width(); ++x) {
            if (a.pixel(x0 + x, y0 + y) != b.pixel(x, y)) {
                return false;
            }
        }
    }
    return true;
}

// The index of the strip image that `rendered` shows at `at`; -1 for none; -2 when the
// area is fully transparent.
inline int ShownImage(const QImage& rendered, int id, QPoint at = QPoint()) {
    const SkinImageInfo* info = FindSkinImage(id);
    if (info == nullptr) {
        return -1;
    }
    const qreal ratio = rendered.devicePixelRatio();
    for (int i = 0; i < info->images; ++i) {
        if (ShowsFrame(rendered, SkinImages().Frame(id, i, ratio), at)) {
            return i;
        }
    }
    const int w = static_cast<int>(info->width * ratio);
    const int h = static_cast<int>(info->height * ratio);
    for (int y = 0; y < h && y < rendered.height(); ++y) {
        for (int x = 0; x < w && x < rendered.width(); ++x) {
            if (qAlpha(rendered.pixel(static_cast<int>(at.x() * ratio) + x,
                                      static_cast<int>(at.y() * ratio) + y)) != 0) {
                return -1;
            }
        }
    }
    return -2;
}

} // namespace kirvano::testing
