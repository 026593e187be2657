// The pictures of the telemetry views (scale backgrounds, the driving-assistance star, the
// info panel's event pictures), rendered from the artwork compiled into the program.
#pragma once

#include <QImage>

namespace kirvano {

// Resource numbers of the pictures.
namespace viewpic {
inline constexpr int kScaleHalfG = 163;    // scale mode 0, 0.5 G full scale
inline constexpr int kScaleOneG = 162;     // mode 1
inline constexpr int kScaleOneHalfG = 188; // mode 2
inline constexpr int kScaleTwoG = 189;     // mode 3
inline constexpr int kStar = 176;
inline constexpr int kEventIcons = 900; // a strip of six 24 x 24 pictures
inline constexpr int kEventIconCount = 6;
inline constexpr int kEventIconSize = 24;
} // namespace viewpic

// The picture's size in logical pixels as drawn (the artwork's own size); empty if unknown.
QSize ViewPictureSize(int id);
// The picture rendered at `size` logical pixels and a device pixel ratio; cached per
// (id, size, ratio). A null image for an unknown id. UI thread only.
const QImage& ViewPicture(int id, QSize size, qreal ratio = 1.0);
// The picture at its own size.
const QImage& ViewPicture(int id, qreal ratio = 1.0);

} // namespace kirvano
