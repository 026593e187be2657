// A decoded sample as the presenter keeps it: a picture that holds the decoded buffer
// (no copy of its pixels) and the frame number it shows.
#pragma once

#include <QImage>

#include <gst/gst.h>

#include <cstdint>

namespace kirvano {

// The sample's BGRx picture, null when the sample has none. The picture keeps the
// buffer mapped, with its own reference, until the last copy of the picture is gone.
QImage ImageOfSample(GstSample* sample);

// The number of the frame a sample shows, from its stream time and the frame duration.
std::int64_t FrameNumberOfSample(GstSample* sample, double frameNs);

} // namespace kirvano
