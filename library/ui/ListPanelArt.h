// The list panel's and the source dialog's own artwork: the tree's type-icon layers, the
// tree's folder images, the choice-button strip and the collapsed picture, rendered once
// from the SVG files compiled into the program.
#pragma once

#include <QImage>

#include <cstdint>

namespace kirvano {

namespace listart {
// Resource numbers of the type-icon layers (39 x 26) and of the choice strip (12 x 12).
inline constexpr int kTypeBase = 319;
inline constexpr int kTypeManual = 316;        // mask bit 0x02
inline constexpr int kTypeImpact = 315;        // 0x04
inline constexpr int kTypeParking = 318;       // 0x08
inline constexpr int kTypeParkingImpact = 317; // 0x10
inline constexpr int kTypeExtraA = 346;        // 0x20, never set by the scans
inline constexpr int kTypeExtraB = 347;        // 0x40, never set by the scans
inline constexpr int kChoice = 327;
// Roles without a number of their own.
inline constexpr int kFolderClosed = 2301;
inline constexpr int kFolderOpen = 2302;
inline constexpr int kCollapsed = 2303;
} // namespace listart

// Image `index` of an artwork role (0 for a single image) at a pixel ratio; a null image
// for an unknown role or index. UI thread only.
QImage ListArt(int id, int index = 0, qreal ratio = 1.0);

// The 39 x 26 type icon of a tree item: the base layer and one overlay per set bit of the
// event-type mask (0x01 has none), composed on white.
QImage ComposeTypeIcon(std::uint32_t mask, qreal ratio = 1.0);

} // namespace kirvano
