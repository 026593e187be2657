#include "playback/platform/FramePresenter.h"

#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace kirvano {

void FramePresenter::SetFrame(QImage frame, std::int64_t number) {
    std::function<void()> repaint;
    {
        std::lock_guard lock(mutex_);
        frame_ = std::move(frame);
        number_ = number;
        repaint = repaint_;
    }
    if (repaint)
        repaint();
}

void FramePresenter::SetDestination(const ViewRect& rect, bool mirror) {
    std::lock_guard lock(mutex_);
    destination_ = rect;
    mirror_ = mirror;
}

ViewRect FramePresenter::destination() const {
    std::lock_guard lock(mutex_);
    return destination_;
}

bool FramePresenter::mirror() const {
    std::lock_guard lock(mutex_);
    return mirror_;
}

bool FramePresenter::HasPicture() const {
    std::lock_guard lock(mutex_);
    return !frame_.isNull();
}

QImage FramePresenter::CurrentImage() const {
    std::lock_guard lock(mutex_);
    return frame_;
}

std::int64_t FramePresenter::FrameNumber() const {
    std::lock_guard lock(mutex_);
    return number_;
}

void FramePresenter::ClearFrame() {
    std::lock_guard lock(mutex_);
    frame_ = QImage();
    number_ = -1;
}

QImage RenderOverlayText(const std::string& text, const std::string& fontFace) {
    QImage surface(kOverlayWidth, kOverlayHeight, QImage::Format_RGB32);
    surface.fill(Qt::black);
    double dpiY = 96.0;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) &&
        QGuiApplication::primaryScreen())
        dpiY = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    QFont font(QString::fromStdString(fontFace));
    font.setPixelSize(static_cast<int>(kOverlayFontPoints * dpiY / 72.0 + 0.5));
    font.setWeight(static_cast<QFont::Weight>(kOverlayFontWeight));
    QPainter painter(&surface);
    painter.setFont(font);
    painter.setPen(QColor::fromRgb(kOverlayTextColour));
    painter.drawText(QRect(0, 0, kOverlayWidth, kOverlayHeight), Qt::TextWordWrap,
                     QString::fromStdString(text));
    return surface;
}

void FramePresenter::ShowOverlayText(const std::string& text, const std::string& fontFace) {
    // Black is the colour key: it becomes transparent.
    QImage keyed = RenderOverlayText(text, fontFace).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < keyed.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x) {
            if ((line[x] & 0x00FFFFFF) == 0)
                line[x] = 0;
        }
    }
    std::lock_guard lock(mutex_);
    overlay_ = std::move(keyed);
}

void FramePresenter::HideOverlayText() {
    std::lock_guard lock(mutex_);
    overlay_ = QImage();
}

QImage FramePresenter::Overlay() const {
    std::lock_guard lock(mutex_);
    return overlay_;
}

void FramePresenter::SetRepaintCallback(std::function<void()> callback) {
    std::lock_guard lock(mutex_);
    repaint_ = std::move(callback);
}

void FramePresenter::Paint(QPainter& painter, const QRect& client) const {
    QImage frame;
    QImage overlay;
    ViewRect dest;
    bool mirror = false;
    {
        std::lock_guard lock(mutex_);
        frame = frame_;
        overlay = overlay_;
        dest = destination_;
        mirror = mirror_;
    }
    painter.fillRect(client, Qt::black);
    if (!frame.isNull()) {
        const int left = std::min(dest.left, dest.right);
        const int right = std::max(dest.left, dest.right);
        const QRect target(left, dest.top, right - left, dest.bottom - dest.top);
        if (target.width() > 0 && target.height() > 0) {
            painter.save();
            if (mirror) {
                painter.translate(left + right, 0);
                painter.scale(-1, 1);
            }
            painter.drawImage(target, frame);
            painter.restore();
        }
    }
    if (!overlay.isNull())
        painter.drawImage(QPoint(0, 0), overlay);
}

} // namespace kirvano
