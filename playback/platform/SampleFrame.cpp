#include "playback/platform/SampleFrame.h"

#include <gst/video/video.h>

#include <cmath>

namespace kirvano {

QImage ImageOfSample(GstSample* sample) {
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstCaps* caps = gst_sample_get_caps(sample);
    if (!buffer || !caps)
        return {};
    GstVideoInfo info;
    if (!gst_video_info_from_caps(&info, caps))
        return {};
    auto* frame = new GstVideoFrame;
    gst_buffer_ref(buffer);
    if (!gst_video_frame_map(frame, &info, buffer, GST_MAP_READ)) {
        gst_buffer_unref(buffer);
        delete frame;
        return {};
    }
    return QImage(
        static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(frame, 0)),
        GST_VIDEO_FRAME_WIDTH(frame), GST_VIDEO_FRAME_HEIGHT(frame),
        GST_VIDEO_FRAME_PLANE_STRIDE(frame, 0), QImage::Format_RGB32,
        [](void* data) {
            auto* mapped = static_cast<GstVideoFrame*>(data);
            GstBuffer* held = mapped->buffer;
            gst_video_frame_unmap(mapped);
            gst_buffer_unref(held);
            delete mapped;
        },
        frame);
}

std::int64_t FrameNumberOfSample(GstSample* sample, double frameNs) {
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    const GstSegment* segment = gst_sample_get_segment(sample);
    const double fd = frameNs > 0 ? frameNs : 1e9 / 30.0;
    const GstClockTime pts = buffer ? GST_BUFFER_PTS(buffer) : GST_CLOCK_TIME_NONE;
    if (!segment || !GST_CLOCK_TIME_IS_VALID(pts))
        return 0;
    double streamNs =
        static_cast<double>(gst_segment_to_stream_time(segment, GST_FORMAT_TIME, pts));
    // The first buffer after a seek is clipped to the segment start, so number it from its
    // end.
    const GstClockTime duration = GST_BUFFER_DURATION(buffer);
    if (pts == segment->start && GST_CLOCK_TIME_IS_VALID(duration))
        streamNs = static_cast<double>(
                       gst_segment_to_stream_time(segment, GST_FORMAT_TIME, pts + duration)) -
                   fd;
    const std::int64_t number = std::llround(streamNs / fd);
    return number < 0 ? 0 : number;
}

} // namespace kirvano
