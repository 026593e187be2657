// An off-screen drawing surface: an image in device pixels with a painter kept open on it,
// ended when the surface is destroyed or re-created. Sizes are logical pixels.
#pragma once

#include <QImage>
#include <QPainter>

#include <memory>

namespace kirvano {

class COffScreenDC {
public:
    COffScreenDC() = default;
    COffScreenDC(QSize size, qreal ratio) { Create(size, ratio); }
    ~COffScreenDC();
    COffScreenDC(const COffScreenDC&) = delete;
    COffScreenDC& operator=(const COffScreenDC&) = delete;

    // (Re)creates the surface, cleared to transparent; false for an empty size.
    bool Create(QSize size, qreal ratio);
    bool IsValid() const { return painter_ != nullptr; }
    QSize Size() const { return size_; }
    qreal Ratio() const { return ratio_; }

    // The painter open on the surface; valid while IsValid().
    QPainter& Painter() { return *painter_; }
    const QImage& Image() const { return image_; }

    // Copies the logical rectangle `source` of the surface to `target` at `at`.
    void CopyTo(QPainter& target, QPoint at, const QRect& source) const;

private:
    void Release();

    QImage image_;
    std::unique_ptr<QPainter> painter_;
    QSize size_;
    qreal ratio_ = 1.0;
};

} // namespace kirvano
