// A decoded frame as the pipeline delivered it, in the decoder's own format: the buffer
// (with its own reference, no copy of its pixels) and the frame number it shows. Pictures
// for the screen are converted from it at the size they are shown at, so that nothing
// converts or scales the full frame when the window is smaller, and nothing at all when
// nobody looks.
#pragma once

#include "playback/platform/PlanarToScreen.h"

#include <QImage>
#include <QSize>

#include <gst/gst.h>
#include <gst/video/video.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace kirvano {

class DecodedFrame {
public:
    // Null when the sample holds no usable video.
    static std::shared_ptr<const DecodedFrame> FromSample(GstSample* sample);
    // A frame of a buffer in the given format (the buffer gets a reference of its own).
    static std::shared_ptr<const DecodedFrame> FromBuffer(GstBuffer* buffer,
                                                          const GstVideoInfo& info);
    ~DecodedFrame();
    DecodedFrame(const DecodedFrame&) = delete;
    DecodedFrame& operator=(const DecodedFrame&) = delete;

    QSize size() const { return {GST_VIDEO_INFO_WIDTH(&info_), GST_VIDEO_INFO_HEIGHT(&info_)}; }
    const GstVideoInfo& info() const { return info_; }
    GstBuffer* buffer() const { return buffer_; }

private:
    DecodedFrame(GstBuffer* buffer, const GstVideoInfo& info) : buffer_(buffer), info_(info) {}
    GstBuffer* buffer_;
    GstVideoInfo info_;
};

// Converts decoded frames into RGB32 pictures of a given size (nearest-neighbour scaling,
// as the picture was always drawn). Keeps its converters for the last pair of formats;
// one thread at a time (it locks itself). Smaller pictures of planar 4:2:0 frames, the
// decoders' usual output, take a path of their own (PlanarToScreen).
class FrameConverter {
public:
    FrameConverter() = default;
    ~FrameConverter();
    FrameConverter(const FrameConverter&) = delete;
    FrameConverter& operator=(const FrameConverter&) = delete;
    // Null when the conversion fails.
    QImage Convert(const DecodedFrame& frame, QSize size);
    // Into an RGB32 picture of the wanted size, which must not be shared; false when the
    // conversion fails.
    bool ConvertInto(const DecodedFrame& frame, QImage& picture);

private:
    bool Prepare(const GstVideoInfo& in, const GstVideoInfo& out, QSize size);
    void Reset();

    std::mutex mutex_;
    PlanarToScreen planar_;
    GstVideoConverter* converter_ = nullptr;
    GstVideoInfo in_{};
    QSize out_;
};

// RGB32 pictures for the screen, reused once nobody holds them any more (not the one
// shown, not one being painted): a fresh picture per frame would cost the allocator's
// page faults on every frame. One thread at a time.
class PictureRing {
public:
    // Three by default: the one shown, the one being painted and the next one.
    explicit PictureRing(std::size_t count = 3) : pictures_(count) {}
    // A picture of the size that nobody else holds, reused when one is free.
    QImage& Free(QSize size);

private:
    std::vector<QImage> pictures_;
};

// The video format of caps, as gst_video_info_from_caps reads it; each thread keeps the
// last caps it read, so that frames of one stream (which share their caps) are not parsed
// again one by one. False when the caps are not raw video.
bool VideoInfoOfCaps(GstCaps* caps, GstVideoInfo& info);

// The number of the frame a sample shows, from its stream time and the frame duration.
std::int64_t FrameNumberOfSample(GstSample* sample, double frameNs);

} // namespace kirvano
