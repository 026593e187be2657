#include "playback/platform/SampleFrame.h"

#include <gst/video/video.h>

#include <cmath>

namespace kirvano {

std::shared_ptr<const DecodedFrame> DecodedFrame::FromSample(GstSample* sample) {
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstCaps* caps = gst_sample_get_caps(sample);
    GstVideoInfo info;
    if (!buffer || !caps || !gst_video_info_from_caps(&info, caps) ||
        GST_VIDEO_INFO_WIDTH(&info) <= 0 || GST_VIDEO_INFO_HEIGHT(&info) <= 0)
        return nullptr;
    return FromBuffer(buffer, info);
}

std::shared_ptr<const DecodedFrame> DecodedFrame::FromBuffer(GstBuffer* buffer,
                                                             const GstVideoInfo& info) {
    return std::shared_ptr<const DecodedFrame>(new DecodedFrame(gst_buffer_ref(buffer), info));
}

DecodedFrame::~DecodedFrame() {
    gst_buffer_unref(buffer_);
}

FrameConverter::~FrameConverter() {
    if (converter_)
        gst_video_converter_free(converter_);
}

QImage FrameConverter::Convert(const DecodedFrame& frame, QSize size) {
    if (size.width() <= 0 || size.height() <= 0)
        return {};
    QImage picture(size, QImage::Format_RGB32);
    GstVideoInfo outInfo;
    gst_video_info_set_format(&outInfo, GST_VIDEO_FORMAT_BGRx, static_cast<guint>(size.width()),
                              static_cast<guint>(size.height()));
    if (picture.isNull() || GST_VIDEO_INFO_PLANE_STRIDE(&outInfo, 0) != picture.bytesPerLine())
        return {};
    // A converter changes formats and sizes, never the timing or the field order.
    const GstVideoInfo& inInfo = frame.info();
    GST_VIDEO_INFO_FPS_N(&outInfo) = GST_VIDEO_INFO_FPS_N(&inInfo);
    GST_VIDEO_INFO_FPS_D(&outInfo) = GST_VIDEO_INFO_FPS_D(&inInfo);
    GST_VIDEO_INFO_INTERLACE_MODE(&outInfo) = GST_VIDEO_INFO_INTERLACE_MODE(&inInfo);
    std::lock_guard lock(mutex_);
    if (!converter_ || out_ != size || !gst_video_info_is_equal(&in_, &frame.info())) {
        if (converter_)
            gst_video_converter_free(converter_);
        in_ = frame.info();
        out_ = size;
        // A picture for the screen takes the nearest chroma sample (about half the work of
        // interpolating it); a full-size one (a snapshot) interpolates.
        const bool forScreen = size != frame.size();
        GstStructure* options = gst_structure_new(
            "options", GST_VIDEO_CONVERTER_OPT_RESAMPLER_METHOD, GST_TYPE_VIDEO_RESAMPLER_METHOD,
            GST_VIDEO_RESAMPLER_METHOD_NEAREST, GST_VIDEO_CONVERTER_OPT_CHROMA_RESAMPLER_METHOD,
            GST_TYPE_VIDEO_RESAMPLER_METHOD,
            forScreen ? GST_VIDEO_RESAMPLER_METHOD_NEAREST : GST_VIDEO_RESAMPLER_METHOD_LINEAR,
            GST_VIDEO_CONVERTER_OPT_DITHER_METHOD, GST_TYPE_VIDEO_DITHER_METHOD,
            GST_VIDEO_DITHER_NONE, GST_VIDEO_CONVERTER_OPT_THREADS, G_TYPE_UINT, 1u, nullptr);
        if (forScreen)
            gst_structure_set(options, GST_VIDEO_CONVERTER_OPT_CHROMA_MODE,
                              GST_TYPE_VIDEO_CHROMA_MODE, GST_VIDEO_CHROMA_MODE_NONE, nullptr);
        converter_ = gst_video_converter_new(&in_, &outInfo, options);
    }
    if (!converter_)
        return {};
    GstVideoFrame source;
    if (!gst_video_frame_map(&source, &in_, frame.buffer(), GST_MAP_READ))
        return {};
    GstBuffer* target = gst_buffer_new_wrapped_full(
        static_cast<GstMemoryFlags>(0), picture.bits(), static_cast<gsize>(picture.sizeInBytes()),
        0, static_cast<gsize>(picture.sizeInBytes()), nullptr, nullptr);
    GstVideoFrame destination;
    const bool mapped = gst_video_frame_map(&destination, &outInfo, target, GST_MAP_WRITE);
    if (mapped) {
        gst_video_converter_frame(converter_, &source, &destination);
        gst_video_frame_unmap(&destination);
    }
    gst_buffer_unref(target);
    gst_video_frame_unmap(&source);
    return mapped ? picture : QImage();
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
