#include "views/ViewImages.h"

#include <QPainter>
#include <QSvgRenderer>

#include <cmath>
#include <map>
#include <memory>
#include <tuple>

static void InitViewsQrc() {
    Q_INIT_RESOURCE(views);
}

namespace kirvano {
namespace {

struct PictureFile {
    int id;
    const char* file;
};

constexpr PictureFile kFiles[] = {
    {viewpic::kScaleHalfG, ":/views/gsensor_scale_0.svg"},
    {viewpic::kScaleOneG, ":/views/gsensor_scale_1.svg"},
    {viewpic::kScaleOneHalfG, ":/views/gsensor_scale_2.svg"},
    {viewpic::kScaleTwoG, ":/views/gsensor_scale_3.svg"},
    {viewpic::kStar, ":/views/gsensor_star.svg"},
    {viewpic::kEventIcons, ":/views/info_events.svg"},
};

const char* FileOf(int id) {
    for (const PictureFile& f : kFiles) {
        if (f.id == id) {
            return f.file;
        }
    }
    return nullptr;
}

QSvgRenderer* RendererOf(int id) {
    static std::map<int, std::unique_ptr<QSvgRenderer>> renderers;
    auto found = renderers.find(id);
    if (found != renderers.end()) {
        return found->second.get();
    }
    const char* file = FileOf(id);
    if (file == nullptr) {
        return nullptr;
    }
    static const bool registered = (InitViewsQrc(), true);
    (void)registered;
    auto renderer = std::make_unique<QSvgRenderer>(QString::fromLatin1(file));
    QSvgRenderer* raw = renderer->isValid() ? renderer.get() : nullptr;
    renderers.emplace(id, raw != nullptr ? std::move(renderer) : nullptr);
    return raw;
}

} // namespace

QSize ViewPictureSize(int id) {
    QSvgRenderer* renderer = RendererOf(id);
    return renderer != nullptr ? renderer->defaultSize() : QSize();
}

const QImage& ViewPicture(int id, QSize size, qreal ratio) {
    static const QImage none;
    static std::map<std::tuple<int, int, int, int>, QImage> cache;
    QSvgRenderer* renderer = RendererOf(id);
    if (renderer == nullptr || size.isEmpty() || ratio <= 0) {
        return none;
    }
    const int quarters = static_cast<int>(std::lround(ratio * 4.0));
    const auto key = std::make_tuple(id, size.width(), size.height(), quarters);
    auto found = cache.find(key);
    if (found != cache.end()) {
        return found->second;
    }
    const qreal r = quarters / 4.0;
    QImage image(static_cast<int>(std::lround(size.width() * r)),
                 static_cast<int>(std::lround(size.height() * r)),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        renderer->render(&painter, QRectF(0, 0, image.width(), image.height()));
    }
    image.setDevicePixelRatio(r);
    return cache.emplace(key, std::move(image)).first->second;
}

const QImage& ViewPicture(int id, qreal ratio) {
    return ViewPicture(id, ViewPictureSize(id), ratio);
}

} // namespace kirvano
