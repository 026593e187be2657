#include "playback/platform/SampleFrame.h"

#include "playback/platform/PlanarToScreen.h"

#include <gst/video/video.h>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace kirvano {

std::shared_ptr<const DecodedFrame> DecodedFrame::FromSample(GstSample* sample) {
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstCaps* caps = gst_sample_get_caps(sample);
    GstVideoInfo info;
    if (!buffer || !caps || !VideoInfoOfCaps(caps, info) || GST_VIDEO_INFO_WIDTH(&info) <= 0 ||
        GST_VIDEO_INFO_HEIGHT(&info) <= 0)
        return nullptr;
    return FromBuffer(buffer, info);
}

std::shared_ptr<const DecodedFrame> DecodedFrame::FromBuffer(GstBuffer* buffer,
                                                             const GstVideoInfo& info) {
    return std::shared_ptr<const DecodedFrame>(new DecodedFrame(gst_buffer_ref(buffer), info));
}

namespace {

// The last caps a thread read and what they said; holds a reference, so the address
// cannot come back with other caps.
struct LastCaps {
    GstCaps* caps = nullptr;
    GstVideoInfo info{};
    bool video = false;
    LastCaps() = default;
    LastCaps(const LastCaps&) = delete;
    LastCaps& operator=(const LastCaps&) = delete;
    ~LastCaps() {
        if (caps)
            gst_caps_unref(caps);
    }
};

} // namespace

bool VideoInfoOfCaps(GstCaps* caps, GstVideoInfo& info) {
    thread_local LastCaps last;
    if (!caps)
        return false;
    if (caps != last.caps) {
        gst_caps_replace(&last.caps, caps);
        last.video = gst_video_info_from_caps(&last.info, caps);
    }
    if (last.video)
        info = last.info;
    return last.video;
}

DecodedFrame::~DecodedFrame() {
    gst_buffer_unref(buffer_);
}

namespace {

GstStructure* ConverterOptions(GstVideoResamplerMethod chroma, bool chromaModeNone) {
    GstStructure* options = gst_structure_new(
        "options", GST_VIDEO_CONVERTER_OPT_RESAMPLER_METHOD, GST_TYPE_VIDEO_RESAMPLER_METHOD,
        GST_VIDEO_RESAMPLER_METHOD_NEAREST, GST_VIDEO_CONVERTER_OPT_CHROMA_RESAMPLER_METHOD,
        GST_TYPE_VIDEO_RESAMPLER_METHOD, chroma, GST_VIDEO_CONVERTER_OPT_DITHER_METHOD,
        GST_TYPE_VIDEO_DITHER_METHOD, GST_VIDEO_DITHER_NONE, GST_VIDEO_CONVERTER_OPT_THREADS,
        G_TYPE_UINT, 1u, nullptr);
    if (chromaModeNone)
        gst_structure_set(options, GST_VIDEO_CONVERTER_OPT_CHROMA_MODE, GST_TYPE_VIDEO_CHROMA_MODE,
                          GST_VIDEO_CHROMA_MODE_NONE, nullptr);
    return options;
}

// A frame mapped for the duration of a scope.
class MappedFrame {
public:
    MappedFrame(const GstVideoInfo& info, GstBuffer* buffer, GstMapFlags flags)
        : mapped_(gst_video_frame_map(&frame_, &info, buffer, flags)) {}
    ~MappedFrame() {
        if (mapped_)
            gst_video_frame_unmap(&frame_);
    }
    MappedFrame(const MappedFrame&) = delete;
    MappedFrame& operator=(const MappedFrame&) = delete;
    bool mapped() const { return mapped_; }
    GstVideoFrame* get() { return &frame_; }

private:
    GstVideoFrame frame_{};
    bool mapped_;
};

} // namespace

FrameConverter::~FrameConverter() {
    Reset();
}

void FrameConverter::Reset() {
    if (converter_)
        gst_video_converter_free(converter_);
    converter_ = nullptr;
}

bool FrameConverter::Prepare(const GstVideoInfo& in, const GstVideoInfo& out, QSize size) {
    if (converter_ && out_ == size && gst_video_info_is_equal(&in_, &in))
        return true;
    Reset();
    in_ = in;
    out_ = size;
    const QSize native(GST_VIDEO_INFO_WIDTH(&in), GST_VIDEO_INFO_HEIGHT(&in));
    // A full-size picture (a snapshot) interpolates its chroma; a picture for the screen
    // takes the nearest chroma sample (about half the work).
    const bool full = size == native;
    converter_ = gst_video_converter_new(&in_, const_cast<GstVideoInfo*>(&out),
                                         ConverterOptions(full ? GST_VIDEO_RESAMPLER_METHOD_LINEAR
                                                               : GST_VIDEO_RESAMPLER_METHOD_NEAREST,
                                                          !full));
    return converter_ != nullptr;
}

QImage FrameConverter::Convert(const DecodedFrame& frame, QSize size) {
    if (size.width() <= 0 || size.height() <= 0)
        return {};
    QImage picture(size, QImage::Format_RGB32);
    return ConvertInto(frame, picture) ? picture : QImage();
}

bool FrameConverter::ConvertInto(const DecodedFrame& frame, QImage& picture) {
    const QSize size = picture.size();
    if (picture.isNull() || picture.format() != QImage::Format_RGB32)
        return false;
    GstVideoInfo outInfo;
    gst_video_info_set_format(&outInfo, GST_VIDEO_FORMAT_BGRx, static_cast<guint>(size.width()),
                              static_cast<guint>(size.height()));
    if (GST_VIDEO_INFO_PLANE_STRIDE(&outInfo, 0) != picture.bytesPerLine())
        return false;
    // A converter changes formats and sizes, never the timing or the field order.
    const GstVideoInfo& inInfo = frame.info();
    GST_VIDEO_INFO_FPS_N(&outInfo) = GST_VIDEO_INFO_FPS_N(&inInfo);
    GST_VIDEO_INFO_FPS_D(&outInfo) = GST_VIDEO_INFO_FPS_D(&inInfo);
    GST_VIDEO_INFO_INTERLACE_MODE(&outInfo) = GST_VIDEO_INFO_INTERLACE_MODE(&inInfo);
    std::lock_guard lock(mutex_);
    MappedFrame source(inInfo, frame.buffer(), GST_MAP_READ);
    if (!source.mapped())
        return false;
    // Smaller pictures of planar frames take their own path (it refuses what it does not
    // handle: enlargements, other formats); the rest, and full-size snapshots, GStreamer's
    // converter.
    if (size != frame.size() && planar_.Convert(*source.get(), picture))
        return true;
    if (!Prepare(inInfo, outInfo, size))
        return false;
    GstBuffer* target = gst_buffer_new_wrapped_full(
        static_cast<GstMemoryFlags>(0), picture.bits(), static_cast<gsize>(picture.sizeInBytes()),
        0, static_cast<gsize>(picture.sizeInBytes()), nullptr, nullptr);
    bool done = false;
    {
        MappedFrame destination(outInfo, target, GST_MAP_WRITE);
        if (destination.mapped()) {
            gst_video_converter_frame(converter_, source.get(), destination.get());
            done = true;
        }
    }
    gst_buffer_unref(target);
    return done;
}

QImage& PictureRing::Free(QSize size) {
    for (QImage& picture : pictures_) {
        if (picture.size() == size && picture.isDetached()) {
            // The painter's last read of it happened before it let go of its reference.
            std::atomic_thread_fence(std::memory_order_acquire);
            return picture;
        }
    }
    auto unused = std::find_if(pictures_.begin(), pictures_.end(),
                               [](const QImage& p) { return p.isNull() || p.isDetached(); });
    QImage& picture = unused != pictures_.end() ? *unused : pictures_[0];
    picture = QImage(size, QImage::Format_RGB32);
    return picture;
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
