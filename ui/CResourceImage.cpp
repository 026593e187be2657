#include "ui/CResourceImage.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>

static void InitSkinQrc() {
    Q_INIT_RESOURCE(skin);
}

namespace kirvano {
namespace {

constexpr SkinImageInfo kTable[] = {
    {skin::kToStart, ":/skin/tool_to_start.svg", 32, 32, 4},
    {skin::kPrevious, ":/skin/tool_previous.svg", 32, 32, 4},
    {skin::kPlay, ":/skin/tool_play.svg", 32, 32, 4},
    {skin::kPause, ":/skin/tool_pause.svg", 32, 32, 4},
    {skin::kSlower, ":/skin/tool_slower.svg", 32, 32, 4},
    {skin::kFaster, ":/skin/tool_faster.svg", 32, 32, 4},
    {skin::kNext, ":/skin/tool_next.svg", 32, 32, 4},
    {skin::kSnapshot, ":/skin/tool_snapshot.svg", 32, 32, 4},
    {skin::kJoin, ":/skin/tool_join.svg", 32, 32, 4},
    {skin::kZoom, ":/skin/tool_zoom.svg", 32, 32, 4},
    {skin::kOpen, ":/skin/tool_open.svg", 32, 32, 4},
    {skin::kDelete, ":/skin/tool_delete.svg", 32, 32, 4},
    {skin::kSettings, ":/skin/tool_settings.svg", 32, 32, 4},
    {skin::kCsv, ":/skin/tool_csv.svg", 32, 32, 4},
    {skin::kSwapCameras, ":/skin/tool_swap.svg", 32, 32, 4},
    {skin::kMapSwitch, ":/skin/tool_map.svg", 32, 32, 4},
    {skin::kCaptionClose, ":/skin/caption_close.svg", 46, 18, 4},
    {skin::kCaptionLayout, ":/skin/caption_layout.svg", 26, 18, 4},
    {skin::kCaptionMinimise, ":/skin/caption_minimise.svg", 26, 18, 4},
    {skin::kSeekFilled, ":/skin/seek_filled.svg", 16, 10, 1},
    {skin::kSeekEmpty, ":/skin/seek_empty.svg", 16, 10, 1},
    {skin::kSeekThumb, ":/skin/seek_thumb.svg", 10, 10, 1},
    {skin::kSeekThumbPressed, ":/skin/seek_thumb_pressed.svg", 10, 10, 1},
    {skin::kVolumeFilled, ":/skin/volume_filled.svg", 16, 10, 1},
    {skin::kVolumeEmpty, ":/skin/volume_empty.svg", 16, 10, 1},
    {skin::kVolumeThumb, ":/skin/volume_thumb.svg", 10, 10, 1},
    {skin::kVolumeThumbPressed, ":/skin/volume_thumb_pressed.svg", 10, 10, 1},
    {skin::kCheckBox, ":/skin/check_box.svg", 12, 12, 4},
    {skin::kWindowIcon, ":/skin/window_icon.svg", 32, 32, 1},
    {skin::kFrameClose, ":/skin/frame_close.svg", 20, 20, 4},
    {skin::kCursor, ":/skin/cursor.svg", 32, 32, 1},
};

// Pixel ratios are cached in quarter steps, between 1 and 4.
int Quarters(qreal ratio) {
    return std::clamp(static_cast<int>(std::lround(ratio * 4.0)), 4, 16);
}

QImage Render(const SkinImageInfo& info, int quarters) {
    const qreal ratio = quarters / 4.0;
    QSvgRenderer renderer{QString::fromLatin1(info.file)};
    if (!renderer.isValid()) {
        return {};
    }
    const int w = static_cast<int>(std::lround(info.width * info.images * ratio));
    const int h = static_cast<int>(std::lround(info.height * ratio));
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        renderer.render(&painter, QRectF(0, 0, w, h));
    }
    image.setDevicePixelRatio(ratio);
    return image;
}

} // namespace

std::span<const SkinImageInfo> SkinImageTable() {
    return kTable;
}

const SkinImageInfo* FindSkinImage(int id) {
    for (const SkinImageInfo& info : kTable) {
        if (info.id == id) {
            return &info;
        }
    }
    return nullptr;
}

void InitSkinResources() {
    static const bool done = (InitSkinQrc(), true);
    (void)done;
}

qreal PaintRatio(const QPainter& painter) {
    qreal ratio = 1.0;
    if (painter.device() != nullptr) {
        ratio = painter.device()->devicePixelRatioF();
    }
    const QTransform& t = painter.deviceTransform();
    const qreal scale = std::sqrt(t.m11() * t.m11() + t.m12() * t.m12());
    return std::max(ratio, scale);
}

bool CResourceImage::Load(qreal ratio) {
    bool ok = true;
    for (const SkinImageInfo& info : kTable) {
        ok = !Image(info.id, ratio).isNull() && ok;
    }
    return ok;
}

const QImage& CResourceImage::Image(int id, qreal ratio) {
    static const QImage none;
    const SkinImageInfo* info = FindSkinImage(id);
    if (info == nullptr) {
        return none;
    }
    InitSkinResources();
    const auto key = std::make_pair(id, Quarters(ratio));
    auto it = images_.find(key);
    if (it == images_.end()) {
        it = images_.emplace(key, Render(*info, key.second)).first;
    }
    return it->second;
}

void CResourceImage::Draw(QPainter& painter, int id, int index, const QRectF& target) {
    const SkinImageInfo* info = FindSkinImage(id);
    if (info == nullptr || index < 0 || index >= info->images) {
        return;
    }
    const QImage& strip = Image(id, PaintRatio(painter));
    if (strip.isNull()) {
        return;
    }
    const qreal ratio = strip.devicePixelRatio();
    const QRectF source(index * info->width * ratio, 0, info->width * ratio, info->height * ratio);
    painter.drawImage(target, strip, source);
}

QImage CResourceImage::Frame(int id, int index, qreal ratio) {
    const SkinImageInfo* info = FindSkinImage(id);
    const QImage& strip = Image(id, ratio);
    if (info == nullptr || strip.isNull() || index < 0 || index >= info->images) {
        return {};
    }
    const qreal r = strip.devicePixelRatio();
    const int w = static_cast<int>(std::lround(info->width * r));
    QImage frame = strip.copy(index * w, 0, w, strip.height());
    frame.setDevicePixelRatio(r);
    return frame;
}

CResourceImage& SkinImages() {
    static CResourceImage cache;
    return cache;
}

QCursor SkinCursor() {
    qreal ratio = 1.0;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        ratio = screen->devicePixelRatio();
    }
    QPixmap pixmap = QPixmap::fromImage(SkinImages().Image(skin::kCursor, ratio));
    pixmap.setDevicePixelRatio(SkinImages().Image(skin::kCursor, ratio).devicePixelRatio());
    // the finger tip
    return QCursor(pixmap, 9, 2);
}

} // namespace kirvano
