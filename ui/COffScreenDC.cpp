#include "ui/COffScreenDC.h"

#include <cmath>

namespace kirvano {

COffScreenDC::~COffScreenDC() {
    Release();
}

void COffScreenDC::Release() {
    if (painter_) {
        painter_->end();
        painter_.reset();
    }
}

bool COffScreenDC::Create(QSize size, qreal ratio) {
    Release();
    if (size.isEmpty() || ratio <= 0) {
        image_ = QImage();
        size_ = QSize();
        return false;
    }
    size_ = size;
    ratio_ = ratio;
    image_ = QImage(static_cast<int>(std::ceil(size.width() * ratio)),
                    static_cast<int>(std::ceil(size.height() * ratio)),
                    QImage::Format_ARGB32_Premultiplied);
    image_.setDevicePixelRatio(ratio);
    image_.fill(Qt::transparent);
    painter_ = std::make_unique<QPainter>(&image_);
    return painter_->isActive();
}

void COffScreenDC::CopyTo(QPainter& target, QPoint at, const QRect& source) const {
    if (image_.isNull()) {
        return;
    }
    const QRectF device(source.x() * ratio_, source.y() * ratio_, source.width() * ratio_,
                        source.height() * ratio_);
    target.drawImage(QRectF(at, QSizeF(source.size())), image_, device);
}

} // namespace kirvano
