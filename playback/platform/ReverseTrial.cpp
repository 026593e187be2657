#include "playback/platform/ReverseTrial.h"

#include "playback/platform/PlaybinFlags.h"

namespace kirvano {
namespace {

constexpr int kOpenLimitMs = 3000;
constexpr int kReverseLimitMs = 1500;

bool WaitAsyncDone(GstBus* bus, int ms) {
    GstMessage* m = gst_bus_timed_pop_filtered(
        bus, ms * GST_MSECOND,
        static_cast<GstMessageType>(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR));
    const bool done = m && GST_MESSAGE_TYPE(m) == GST_MESSAGE_ASYNC_DONE;
    if (m)
        gst_message_unref(m);
    return done;
}

bool RunTrial(const std::string& uri, gint64 durationNs, const std::atomic<bool>& cancel) {
    GstElement* bin = gst_element_factory_make("playbin", nullptr);
    if (!bin)
        return false;
    GstElement* vsink = gst_element_factory_make("fakesink", nullptr);
    GstElement* asink = gst_element_factory_make("fakesink", nullptr);
    g_object_set(vsink, "sync", FALSE, nullptr);
    guint flags = 0;
    g_object_get(bin, "flags", &flags, nullptr);
    flags = (flags | kPlayFlagForceSwDecoders) & ~(kPlayFlagText | kPlayFlagAudio);
    g_object_set(bin, "uri", uri.c_str(), "video-sink", vsink, "audio-sink", asink, "flags", flags,
                 nullptr);
    bool ok = false;
    GstBus* bus = gst_element_get_bus(bin);
    if (gst_element_set_state(bin, GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE &&
        WaitAsyncDone(bus, kOpenLimitMs) && !cancel) {
        const gint64 stop = durationNs > 0 ? durationNs : GST_SECOND;
        const gint64 start = stop > GST_SECOND ? stop - GST_SECOND : 0;
        if (gst_element_seek(
                bin, -1.0, GST_FORMAT_TIME,
                static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                GST_SEEK_TYPE_SET, start, GST_SEEK_TYPE_SET, stop) &&
            WaitAsyncDone(bus, kReverseLimitMs)) {
            // A fragmented movie accepts the seek and never shows a frame.
            GstSample* sample = nullptr;
            g_object_get(vsink, "last-sample", &sample, nullptr);
            ok = sample != nullptr;
            if (sample)
                gst_sample_unref(sample);
        }
    }
    gst_element_set_state(bin, GST_STATE_NULL);
    gst_object_unref(bus);
    gst_object_unref(bin);
    return ok;
}

} // namespace

std::shared_future<bool> StartReverseTrial(const std::string& uri, gint64 durationNs,
                                           std::shared_ptr<std::atomic<bool>> cancel) {
    return std::async(std::launch::async,
                      [uri, durationNs, cancel] { return RunTrial(uri, durationNs, *cancel); })
        .share();
}

} // namespace kirvano
