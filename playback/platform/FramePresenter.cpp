#include "playback/platform/FramePresenter.h"

#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QRegion>
#include <QScreen>

#include <cstdlib>

namespace kirvano {

QSize PictureSize(const ViewRect& destination, QSize native) {
    const int width = std::abs(destination.right - destination.left);
    const int height = destination.bottom - destination.top;
    if (width <= 0 || height <= 0 || native.isEmpty())
        return {};
    if (width > native.width() || height > native.height())
        return native;
    return {width, height};
}

QSize FramePresenter::ScreenSize(QSize native) const {
    return PictureSize(destination(), native);
}

void FramePresenter::Prepare(GstBuffer* buffer, const GstVideoInfo& info) {
    prepared_ = {};
    const QSize size = ScreenSize({GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info)});
    if (size.isEmpty() || TakeDecoded(buffer, size))
        return;
    const auto frame = DecodedFrame::FromBuffer(buffer, info);
    prepared_ = {buffer, GST_BUFFER_PTS(buffer), ConvertForScreen(*frame, size)};
}

void FramePresenter::PrepareDecoded(GstBuffer* buffer, const GstVideoInfo& info) {
    if (decodedOff_)
        return;
    const QSize size = ScreenSize({GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info)});
    if (size.isEmpty())
        return;
    QImage& picture = decodedPictures_.Free(size);
    if (!decodedConverter_.ConvertInto(*DecodedFrame::FromBuffer(buffer, info), picture))
        return;
    std::lock_guard lock(decodedMutex_);
    decoded_.push_back({buffer, GST_BUFFER_PTS(buffer), picture});
    while (decoded_.size() > kDecodedPictures - 4)
        decoded_.pop_front();
}

bool FramePresenter::TakeDecoded(GstBuffer* buffer, QSize size) {
    constexpr int kMissesToStop = 8;
    std::lock_guard lock(decodedMutex_);
    for (auto it = decoded_.begin(); it != decoded_.end(); ++it) {
        if (it->buffer != buffer || it->pts != GST_BUFFER_PTS(buffer))
            continue;
        const bool fits = it->picture.size() == size;
        if (fits)
            prepared_ = std::move(*it);
        // The ones before it were dropped on their way to the sink.
        decoded_.erase(decoded_.begin(), it + 1);
        decodedMisses_ = 0;
        return fits;
    }
    if (!decoded_.empty() && ++decodedMisses_ >= kMissesToStop) {
        decodedOff_ = true;
        decoded_.clear();
    }
    return false;
}

void FramePresenter::ForgetDecoded(bool again) {
    std::lock_guard lock(decodedMutex_);
    decoded_.clear();
    if (again) {
        decodedMisses_ = 0;
        decodedOff_ = false;
    }
}

QImage FramePresenter::ConvertForScreen(const DecodedFrame& frame, QSize size) {
    QImage& picture = pictures_.Free(size);
    if (!streamingConverter_.ConvertInto(frame, picture))
        return {};
    return picture;
}

void FramePresenter::SetFrame(std::shared_ptr<const DecodedFrame> frame, std::int64_t number) {
    // Converted on the streaming thread at the size it is shown at: before the frame's
    // moment when Prepare saw it, else now.
    const QSize size = frame ? ScreenSize(frame->size()) : QSize();
    QImage picture;
    if (frame && prepared_.buffer == frame->buffer() &&
        prepared_.pts == GST_BUFFER_PTS(frame->buffer()) && prepared_.picture.size() == size)
        picture = std::move(prepared_.picture);
    else if (!size.isEmpty())
        picture = ConvertForScreen(*frame, size);
    prepared_ = {};
    std::function<void()> repaint;
    {
        std::lock_guard lock(mutex_);
        frame_ = std::move(frame);
        picture_ = std::move(picture);
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
    return frame_ != nullptr;
}

QImage FramePresenter::CurrentImage() const {
    std::shared_ptr<const DecodedFrame> frame;
    {
        std::lock_guard lock(mutex_);
        frame = frame_;
    }
    return frame ? onDemandConverter_.Convert(*frame, frame->size()) : QImage();
}

std::int64_t FramePresenter::FrameNumber() const {
    std::lock_guard lock(mutex_);
    return number_;
}

void FramePresenter::ClearFrame() {
    std::lock_guard lock(mutex_);
    frame_.reset();
    picture_ = QImage();
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
    std::shared_ptr<const DecodedFrame> frame;
    QImage picture;
    QImage overlay;
    ViewRect dest;
    bool mirror = false;
    {
        std::lock_guard lock(mutex_);
        frame = frame_;
        picture = picture_;
        overlay = overlay_;
        dest = destination_;
        mirror = mirror_;
    }
    const QSize size = frame ? PictureSize(dest, frame->size()) : QSize();
    if (!size.isEmpty() && picture.size() != size) {
        // The rectangle changed since the frame came (a resize or zoom while paused).
        picture = onDemandConverter_.Convert(*frame, size);
        std::lock_guard lock(mutex_);
        if (frame_ == frame)
            picture_ = picture;
    }
    const int left = std::min(dest.left, dest.right);
    const int right = std::max(dest.left, dest.right);
    const QRect target(left, dest.top, right - left, dest.bottom - dest.top);
    const bool shown = !size.isEmpty() && !picture.isNull();
    // Black where the picture is not: an unscaled picture covers its rectangle (it is
    // opaque), so only the rest is filled; every pixel is written once.
    if (shown && picture.size() == target.size()) {
        for (const QRect& part : QRegion(client).subtracted(QRegion(target)))
            painter.fillRect(part, Qt::black);
    } else {
        painter.fillRect(client, Qt::black);
    }
    if (shown) {
        painter.save();
        if (mirror) {
            painter.translate(left + right, 0);
            painter.scale(-1, 1);
        }
        if (picture.size() == target.size())
            painter.drawImage(target.topLeft(), picture);
        else
            painter.drawImage(target, picture);
        painter.restore();
    }
    if (!overlay.isNull())
        painter.drawImage(QPoint(0, 0), overlay);
}

} // namespace kirvano
