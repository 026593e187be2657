#include "library/ui/ListPanelArt.h"

#include <QPainter>
#include <QSvgRenderer>

#include <cmath>
#include <map>
#include <utility>

static void InitListPanelQrc() {
    Q_INIT_RESOURCE(listpanel);
}

namespace kirvano {
namespace {

struct ArtInfo {
    int id;
    const char* file;
    int width; // of one image
    int height;
    int images;
};

constexpr ArtInfo kArt[] = {
    {listart::kTypeBase, ":/listpanel/type_base.svg", 39, 26, 1},
    {listart::kTypeManual, ":/listpanel/type_manual.svg", 39, 26, 1},
    {listart::kTypeImpact, ":/listpanel/type_impact.svg", 39, 26, 1},
    {listart::kTypeParking, ":/listpanel/type_parking.svg", 39, 26, 1},
    {listart::kTypeParkingImpact, ":/listpanel/type_parking_impact.svg", 39, 26, 1},
    {listart::kTypeExtraA, ":/listpanel/type_extra_a.svg", 39, 26, 1},
    {listart::kTypeExtraB, ":/listpanel/type_extra_b.svg", 39, 26, 1},
    {listart::kChoice, ":/listpanel/choice.svg", 12, 12, 4},
    {listart::kFolderClosed, ":/listpanel/folder_closed.svg", 18, 18, 1},
    {listart::kFolderOpen, ":/listpanel/folder_open.svg", 18, 18, 1},
    {listart::kCollapsed, ":/listpanel/collapsed.svg", 226, 150, 1},
};

// Overlays by mask bit, from 0x02 upward.
constexpr std::pair<std::uint32_t, int> kOverlays[] = {
    {0x02, listart::kTypeManual},  {0x04, listart::kTypeImpact},
    {0x08, listart::kTypeParking}, {0x10, listart::kTypeParkingImpact},
    {0x20, listart::kTypeExtraA},  {0x40, listart::kTypeExtraB},
};

const ArtInfo* Find(int id) {
    for (const ArtInfo& info : kArt) {
        if (info.id == id)
            return &info;
    }
    return nullptr;
}

} // namespace

QImage ListArt(int id, int index, qreal ratio) {
    static std::map<std::pair<int, int>, QImage> cache; // (id, ratio in quarters)
    const ArtInfo* info = Find(id);
    if (info == nullptr || index < 0 || index >= info->images)
        return {};
    static const bool initialised = (InitListPanelQrc(), true);
    (void)initialised;
    const int quarters = std::max(4, static_cast<int>(std::lround(ratio * 4.0)));
    auto it = cache.find({id, quarters});
    if (it == cache.end()) {
        const qreal r = quarters / 4.0;
        QSvgRenderer renderer{QString::fromLatin1(info->file)};
        QImage strip(static_cast<int>(std::lround(info->width * info->images * r)),
                     static_cast<int>(std::lround(info->height * r)),
                     QImage::Format_ARGB32_Premultiplied);
        strip.fill(Qt::transparent);
        if (renderer.isValid()) {
            QPainter painter(&strip);
            renderer.render(&painter, QRectF(0, 0, strip.width(), strip.height()));
        } else {
            strip = QImage();
        }
        it = cache.emplace(std::make_pair(id, quarters), strip).first;
    }
    if (it->second.isNull())
        return {};
    const qreal r = quarters / 4.0;
    const int w = static_cast<int>(std::lround(info->width * r));
    QImage frame = it->second.copy(index * w, 0, w, it->second.height());
    frame.setDevicePixelRatio(r);
    return frame;
}

QImage ComposeTypeIcon(std::uint32_t mask, qreal ratio) {
    QImage base = ListArt(listart::kTypeBase, 0, ratio);
    if (base.isNull())
        return {};
    QImage icon(base.size(), QImage::Format_ARGB32_Premultiplied);
    icon.setDevicePixelRatio(base.devicePixelRatio());
    icon.fill(Qt::white);
    QPainter painter(&icon);
    painter.drawImage(QPointF(0, 0), base);
    for (const auto& [bit, id] : kOverlays) {
        if ((mask & bit) != 0)
            painter.drawImage(QPointF(0, 0), ListArt(id, 0, ratio));
    }
    painter.end();
    // Composed on white, drawn with white as the transparent colour.
    QImage keyed = icon.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < keyed.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x) {
            if ((line[x] & 0x00ffffff) == 0x00ffffff)
                line[x] = 0;
        }
    }
    return keyed;
}

} // namespace kirvano
