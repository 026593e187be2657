// Building and tearing down the playbin and its appsink, and the callbacks through which
// GStreamer's threads hand over frames, flushes and bus messages.
#include "playback/platform/GstEnginePipeline.h"

#include "playback/platform/GstPipeline.h"
#include "playback/platform/PlaybinFlags.h"
#include "playback/platform/SampleFrame.h"
#include "playback/platform/SharedClock.h"
#include "ui/UiText.h"

#include <gst/video/video.h>

#include <chrono>
#include <condition_variable>
#include <thread>

namespace kirvano {
namespace {

// Pipelines on their way to NULL; the end of the process waits a while for them so that
// no plugin runs while the libraries are being unloaded.
class PendingTeardowns {
public:
    // Never destroyed (a thread that outlives the wait still ends here); the wait runs
    // when static objects are destroyed at exit.
    static PendingTeardowns& Get() {
        static auto* pending = new PendingTeardowns;
        static const struct ExitWait {
            ~ExitWait() { pending->WaitIdle(); }
        } exitWait;
        return *pending;
    }
    void WaitIdle() {
        std::unique_lock lock(mutex_);
        done_.wait_for(lock, std::chrono::seconds(3), [this] { return count_ == 0; });
    }
    void Begin() {
        std::lock_guard lock(mutex_);
        ++count_;
    }
    void End() {
        std::lock_guard lock(mutex_);
        --count_;
        done_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    int count_ = 0;
};

LinkRef* NewLinkRef(const LinkRef& link) {
    return new LinkRef(link);
}

void DeleteLinkRef(gpointer data) {
    delete static_cast<LinkRef*>(data);
}

void DeleteLinkClosure(gpointer data, GClosure*) {
    DeleteLinkRef(data);
}

} // namespace

void GstEnginePipeline::OnElementSetup(GstElement*, GstElement* element, gpointer data) {
    if (!LimitDecoderThreads(element))
        return;
    if (gst_element_factory_list_is_type(gst_element_get_factory(element),
                                         GST_ELEMENT_FACTORY_TYPE_MEDIA_VIDEO)) {
        if (GstPad* pad = gst_element_get_static_pad(element, "src")) {
            gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, &GstEnginePipeline::OnDecoded,
                              NewLinkRef(*static_cast<LinkRef*>(data)), &DeleteLinkRef);
            gst_object_unref(pad);
        }
    }
}

GstPadProbeReturn GstEnginePipeline::ToPresenter(GstPad* pad, GstPadProbeInfo* info, gpointer data,
                                                 PresenterTake take) {
    GstBuffer* buffer = gst_pad_probe_info_get_buffer(info);
    GstCaps* caps = buffer ? gst_pad_get_current_caps(pad) : nullptr;
    GstVideoInfo video;
    if (caps && VideoInfoOfCaps(caps, video)) {
        CallbackLink& link = **static_cast<LinkRef*>(data);
        std::lock_guard lock(link.mutex);
        if (link.owner)
            (link.owner->presenter_.*take)(buffer, video);
    }
    if (caps)
        gst_caps_unref(caps);
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn GstEnginePipeline::OnDecoded(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
    return ToPresenter(pad, info, data, &FramePresenter::PrepareDecoded);
}

GstFlowReturn GstEnginePipeline::OnPreroll(GstAppSink* sink, gpointer data) {
    Deliver(gst_app_sink_pull_preroll(sink), data);
    return GST_FLOW_OK;
}

GstFlowReturn GstEnginePipeline::OnSample(GstAppSink* sink, gpointer data) {
    Deliver(gst_app_sink_pull_sample(sink), data);
    return GST_FLOW_OK;
}

void GstEnginePipeline::Deliver(GstSample* sample, gpointer data) {
    if (!sample)
        return;
    CallbackLink& link = **static_cast<LinkRef*>(data);
    {
        std::lock_guard lock(link.mutex);
        if (link.owner)
            link.owner->TakeSample(sample);
    }
    gst_sample_unref(sample);
}

GstPadProbeReturn GstEnginePipeline::OnBufferComing(GstPad* pad, GstPadProbeInfo* info,
                                                    gpointer data) {
    return ToPresenter(pad, info, data, &FramePresenter::Prepare);
}

GstPadProbeReturn GstEnginePipeline::OnFlushDone(GstPad*, GstPadProbeInfo* info, gpointer data) {
    // A flush stop holds the pad's stream lock: frames taken before it are all older.
    GstEvent* event = gst_pad_probe_info_get_event(info);
    if (event && GST_EVENT_TYPE(event) == GST_EVENT_FLUSH_STOP) {
        CallbackLink& link = **static_cast<LinkRef*>(data);
        std::lock_guard lock(link.mutex);
        if (link.owner) {
            ++link.owner->flushes_;
            link.owner->presenter_.ForgetDecoded(false);
        }
    }
    return GST_PAD_PROBE_OK;
}

void GstEnginePipeline::TakeSample(GstSample* sample) {
    std::shared_ptr<const DecodedFrame> frame = DecodedFrame::FromSample(sample);
    if (!frame)
        return;
    if (const GstSegment* segment = gst_sample_get_segment(sample)) {
        std::lock_guard lock(segmentMutex_);
        gst_segment_copy_into(segment, &segment_);
    }
    presenter_.SetFrame(std::move(frame), FrameNumberOfSample(sample, frameNs_));
    lastFrameFlushes_ = flushes_.load();
    ++frames_;
}

GstBusSyncReply GstEnginePipeline::OnBusMessage(GstBus*, GstMessage* message, gpointer data) {
    CallbackLink& link = **static_cast<LinkRef*>(data);
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
        // Let the last frame stay on screen a moment before the owner moves on; the wait
        // is outside the lock so that a close does not wait for it.
        {
            std::lock_guard lock(link.mutex);
            if (!link.owner)
                return GST_BUS_DROP;
            link.owner->atEnd_ = true;
            link.owner->notes_.Note(BusKind::Eos);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        std::lock_guard lock(link.mutex);
        if (link.owner && !link.owner->closing_ && link.owner->handler_)
            link.owner->handler_(PipelineEvent::Ended);
        return GST_BUS_DROP;
    }
    std::lock_guard lock(link.mutex);
    if (link.owner)
        link.owner->OnBusNote(message);
    return GST_BUS_DROP;
}

void GstEnginePipeline::OnBusNote(GstMessage* message) {
    GstEnginePipeline* self = this;
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ASYNC_DONE:
        self->notes_.Note(BusKind::AsyncDone, {}, gst_message_get_seqnum(message));
        break;
    case GST_MESSAGE_STEP_DONE:
        self->notes_.Note(BusKind::StepDone, {}, gst_message_get_seqnum(message));
        break;
    case GST_MESSAGE_ERROR: {
        const std::string text = ErrorText(message);
        self->notes_.Note(BusKind::Error, text);
        if (self->playing_ && !self->closing_ && self->handler_)
            self->handler_(PipelineEvent::Failed);
        break;
    }
    default:
        break;
    }
}

Status GstEnginePipeline::Build(const std::string& uri, bool withAudio) {
    playbin_ = gst_element_factory_make("playbin", nullptr);
    appsink_ = gst_element_factory_make("appsink", nullptr);
    if (!playbin_ || !appsink_) {
        if (playbin_)
            gst_object_unref(playbin_);
        if (appsink_)
            gst_object_unref(appsink_);
        playbin_ = appsink_ = nullptr;
        return Failure("GStreamer's playbin or appsink is missing");
    }
    // The decoder's own formats: the presenter converts what is shown, at its size.
    GstCaps* caps = gst_caps_from_string("video/x-raw,format=(string){I420,NV12,BGRx}");
    g_object_set(appsink_, "caps", caps, "max-buffers", 1u, "drop", TRUE, "sync", TRUE,
                 "enable-last-sample", FALSE, nullptr);
    gst_caps_unref(caps);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_preroll = &GstEnginePipeline::OnPreroll;
    callbacks.new_sample = &GstEnginePipeline::OnSample;
    // A teardown left the pipeline closing, also the one before the build without sound
    // when the sound output refused: left closing, it would never report its end or errors.
    closing_ = false;
    link_ = std::make_shared<CallbackLink>();
    link_->owner = this;
    gst_app_sink_set_callbacks(GST_APP_SINK(appsink_), &callbacks, NewLinkRef(link_),
                               &DeleteLinkRef);
    // Frames reach the sink before their moment: they are converted while it waits.
    if (GstPad* pad = gst_element_get_static_pad(appsink_, "sink")) {
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, &GstEnginePipeline::OnBufferComing,
                          NewLinkRef(link_), &DeleteLinkRef);
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_FLUSH, &GstEnginePipeline::OnFlushDone,
                          NewLinkRef(link_), &DeleteLinkRef);
        gst_object_unref(pad);
    }

    guint flags = 0;
    g_object_get(playbin_, "flags", &flags, nullptr);
    flags &= ~kPlayFlagText;
    if (!HardwareDecoding())
        flags |= kPlayFlagForceSwDecoders;
    else
        flags &= ~kPlayFlagForceSwDecoders;
    GstElement* audio = gst_element_factory_make(withAudio ? "autoaudiosink" : "fakesink", nullptr);
    g_object_set(playbin_, "uri", uri.c_str(), "video-sink", appsink_, "flags", flags, nullptr);
    if (audio)
        g_object_set(playbin_, "audio-sink", audio, nullptr);

    presenter_.ForgetDecoded(true);
    g_signal_connect_data(playbin_, "element-setup", G_CALLBACK(&GstEnginePipeline::OnElementSetup),
                          NewLinkRef(link_), &DeleteLinkClosure, GConnectFlags(0));
    SharedClock::Get().Adopt(playbin_);
    GstBus* bus = gst_element_get_bus(playbin_);
    gst_bus_set_sync_handler(bus, &GstEnginePipeline::OnBusMessage, NewLinkRef(link_),
                             &DeleteLinkRef);
    gst_object_unref(bus);
    return Success();
}

Status GstEnginePipeline::Open(const std::string& path, EngineWindow* window) {
    Close(kWaitMs);
    setUpFailed_ = false;
    window_ = window;
    path_ = path;
    presenter_.SetRepaintCallback([this] { RequestRepaint(); });
    gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
    if (!uri) {
        setUpFailed_ = true;
        return Failure("cannot address the file");
    }
    const std::string uriText = uri;
    g_free(uri);

    std::string error;
    for (bool withAudio : {true, false}) {
        notes_.Clear();
        frames_ = 0;
        const Status built = Build(uriText, withAudio);
        if (!built) {
            setUpFailed_ = true;
            return built;
        }
        gst_element_set_base_time(playbin_, SharedClock::Get().Now());
        const GstStateChangeReturn change = gst_element_set_state(playbin_, GST_STATE_PAUSED);
        bool ok = change != GST_STATE_CHANGE_FAILURE;
        bool timedOut = false;
        if (ok && change == GST_STATE_CHANGE_ASYNC) {
            ok = notes_.WaitFor(BusKind::AsyncDone, kWaitMs, &error);
            timedOut = !ok && error == kNoAnswer;
        }
        if (ok)
            break;
        if (timedOut) {
            Teardown();
            return Failure(error);
        }
        if (error.empty())
            error = "the media pipeline refused the file";
        // Without a usable sound output, build again without sound; playbin forgets its
        // file after a failed state change, so it is built from the start.
        Teardown();
        if (!withAudio)
            return Failure(error);
    }
    if (frames_ == 0) {
        // A missing decoder prerolls without video.
        Teardown();
        setUpFailed_ = true;
        return Failure(!UiText(114).empty() ? UiText(114) : "no video stream");
    }
    gint64 duration = 0;
    if (gst_element_query_duration(playbin_, GST_FORMAT_TIME, &duration))
        durationNs_ = duration;
    GstPad* pad = gst_element_get_static_pad(appsink_, "sink");
    if (pad) {
        if (GstCaps* caps = gst_pad_get_current_caps(pad)) {
            GstVideoInfo info;
            if (gst_video_info_from_caps(&info, caps)) {
                size_ = {GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info)};
                if (GST_VIDEO_INFO_FPS_N(&info) > 0 && GST_VIDEO_INFO_FPS_D(&info) > 0)
                    detectedMs_ = static_cast<float>(1000.0 * GST_VIDEO_INFO_FPS_D(&info) /
                                                     GST_VIDEO_INFO_FPS_N(&info));
            }
            gst_caps_unref(caps);
        }
        gst_object_unref(pad);
    }
    if (frameNs_ <= 0 && detectedMs_ > 0)
        frameNs_ = detectedMs_ * 1e6;
    pausedRunning_ = 0;
    rate_ = 1.0;
    uri_ = uriText;
    return Success();
}

void GstEnginePipeline::Teardown() {
    if (!playbin_)
        return;
    closing_ = true;
    playing_ = false;
    CancelPendingStart();
    // From here on no callback reaches this object (one in progress is waited for).
    {
        std::lock_guard lock(link_->mutex);
        link_->owner = nullptr;
    }
    link_.reset();
    GstElement* bin = playbin_;
    playbin_ = nullptr;
    appsink_ = nullptr;
    // Going to NULL joins the streaming threads and can take a while (or hang on a stuck
    // device): it runs on a thread of its own and nobody waits for it, but the end of the
    // process does.
    PendingTeardowns::Get().Begin();
    std::thread([bin] {
        gst_element_set_state(bin, GST_STATE_NULL);
        gst_object_unref(bin);
        PendingTeardowns::Get().End();
    }).detach();
}

} // namespace kirvano
