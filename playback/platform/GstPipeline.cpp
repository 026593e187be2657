#include "playback/platform/GstPipeline.h"

#include "base/AtomicOutputFile.h"
#include "playback/EnginesTogether.h"
#include "playback/platform/BusNotes.h"
#include "playback/platform/FramePresenter.h"
#include "playback/platform/PlaybinFlags.h"
#include "playback/platform/ReverseTrial.h"
#include "playback/platform/SampleFrame.h"
#include "playback/platform/SharedClock.h"
#include "ui/UiText.h"

#include <QBuffer>
#include <QByteArray>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

namespace kirvano {
namespace {

std::atomic<bool> gHardwareDecoding{false};

constexpr int kWaitMs = 5000;

void EnsureGstreamer() {
    static std::once_flag once;
    std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

class GstEnginePipeline;

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

// The way back from GStreamer's threads to a pipeline object. Callbacks run under its
// lock and find no owner once the pipeline is being closed, so closing does not have to
// wait for those threads to end.
struct CallbackLink {
    std::mutex mutex;
    GstEnginePipeline* owner = nullptr;
};
using LinkRef = std::shared_ptr<CallbackLink>;

LinkRef* NewLinkRef(const LinkRef& link) {
    return new LinkRef(link);
}

void DeleteLinkRef(gpointer data) {
    delete static_cast<LinkRef*>(data);
}

class GstEnginePipeline : public MediaPipeline {
public:
    GstEnginePipeline() { EnsureGstreamer(); }
    ~GstEnginePipeline() override {
        CancelPendingStart();
        Close(kWaitMs);
    }

    Status Open(const std::string& path, EngineWindow* window) override;
    bool SetUpFailed() const override { return setUpFailed_; }
    void Close(int timeoutMs) override;
    float DetectedFrameDuration() override { return detectedMs_; }
    void SetFrameDuration(float ms) override {
        if (ms > 0.0f)
            frameNs_ = static_cast<double>(ms) * 1e6;
    }
    std::int64_t Duration() override { return durationNs_ / 100; }
    VideoSize NativeSize() override { return size_; }
    bool CanPlayBackwards() override;
    bool Start() override;
    bool Pause() override { return PauseHere(true); }
    bool Seek(std::int64_t mediaTime, bool playing) override;
    std::int64_t Position() override;
    bool SetRate(double rate, bool thinning) override;
    void SetVolume(double volume) override {
        if (playbin_)
            g_object_set(playbin_, "volume", volume, nullptr);
    }
    void SetDisplay(const ViewRect& destination, bool mirror) override {
        presenter_.SetDestination(destination, mirror);
        RequestRepaint();
    }
    bool HasPicture() override { return presenter_.HasPicture(); }
    bool Repaint() override {
        RequestRepaint();
        return presenter_.HasPicture();
    }
    bool ShowOverlayText(const std::string& text, const std::string& face) override {
        presenter_.ShowOverlayText(text, face);
        RequestRepaint();
        return true;
    }
    void HideOverlayText() override {
        presenter_.HideOverlayText();
        RequestRepaint();
    }
    bool SaveSnapshot(const std::string& jpegPath) override;
    void SetEventHandler(std::function<void(PipelineEvent)> handler) override {
        handler_ = std::move(handler);
    }

    VideoPresenter* Presenter() override { return &presenter_; }

private:
    static GstFlowReturn OnPreroll(GstAppSink* sink, gpointer self);
    static GstFlowReturn OnSample(GstAppSink* sink, gpointer self);
    static GstPadProbeReturn OnBufferComing(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    static GstPadProbeReturn OnFlushDone(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    static GstBusSyncReply OnBusMessage(GstBus* bus, GstMessage* message, gpointer self);
    void TakeSample(GstSample* sample);
    Status Build(const std::string& uri, bool withAudio);
    void Teardown();
    // True when the pipeline answered; frameShown tells whether a frame came with it.
    bool SeekTo(double rate, GstClockTime positionNs, bool thinning, bool* frameShown = nullptr);
    GstClockTime ShownTimeNs() const;
    // The stream time the pipeline had reached when it was paused, from the segment of
    // the last frame; the shown frame's time when that is unknown.
    GstClockTime PausedTimeNs();
    void RequestRepaint() {
        if (window_)
            window_->RequestRepaint();
    }

    void OnBusNote(GstMessage* message);
    bool StartNow();
    // Pauses; with holdPicture, a pause right after a start ends on the frame on screen
    // (callers that seek next need not).
    bool PauseHere(bool holdPicture);
    // Waits until no state change is under way and the pipeline rests paused.
    void SettlePaused();
    // True when a start waiting for the end of an EnginesTogether scope was cancelled.
    bool CancelPendingStart();

    GstElement* playbin_ = nullptr;
    GstElement* appsink_ = nullptr;
    LinkRef link_;
    EngineWindow* window_ = nullptr;
    FramePresenter presenter_;
    std::function<void(PipelineEvent)> handler_;
    std::string path_;
    bool setUpFailed_ = false;

    BusNotes notes_;

    std::atomic<std::int64_t> frames_{0}; // frames delivered so far
    std::int64_t framesAtStart_ = 0;      // frames_ when the pipeline was last set playing
    // Flushes that reached the sink, and how many had when the last frame arrived: a
    // seek's own frame is the first one delivered after its flush.
    std::atomic<std::uint64_t> flushes_{0};
    std::atomic<std::uint64_t> lastFrameFlushes_{0};
    std::atomic<bool> playing_{false};
    std::atomic<bool> closing_{false};
    double frameNs_ = 0.0;
    float detectedMs_ = 0.0f;
    gint64 durationNs_ = 0;
    VideoSize size_;
    double rate_ = 1.0;
    bool thinning_ = false;
    GstClockTime pausedRunning_ = 0;
    std::mutex segmentMutex_;
    GstSegment segment_{};           // of the last frame
    std::atomic<bool> atEnd_{false}; // the end was reached since the last seek
    std::shared_ptr<bool> pendingStart_;

    std::string uri_;
    std::shared_future<bool> reverseTrial_;
    std::shared_ptr<std::atomic<bool>> trialCancel_ = std::make_shared<std::atomic<bool>>(false);
};

GstFlowReturn GstEnginePipeline::OnPreroll(GstAppSink* sink, gpointer data) {
    GstSample* sample = gst_app_sink_pull_preroll(sink);
    if (sample) {
        CallbackLink& link = **static_cast<LinkRef*>(data);
        std::lock_guard lock(link.mutex);
        if (link.owner)
            link.owner->TakeSample(sample);
        gst_sample_unref(sample);
    }
    return GST_FLOW_OK;
}

GstFlowReturn GstEnginePipeline::OnSample(GstAppSink* sink, gpointer data) {
    GstSample* sample = gst_app_sink_pull_sample(sink);
    if (sample) {
        CallbackLink& link = **static_cast<LinkRef*>(data);
        std::lock_guard lock(link.mutex);
        if (link.owner)
            link.owner->TakeSample(sample);
        gst_sample_unref(sample);
    }
    return GST_FLOW_OK;
}

GstPadProbeReturn GstEnginePipeline::OnBufferComing(GstPad* pad, GstPadProbeInfo* info,
                                                    gpointer data) {
    GstBuffer* buffer = gst_pad_probe_info_get_buffer(info);
    GstCaps* caps = buffer ? gst_pad_get_current_caps(pad) : nullptr;
    GstVideoInfo video;
    if (caps && gst_video_info_from_caps(&video, caps)) {
        CallbackLink& link = **static_cast<LinkRef*>(data);
        std::lock_guard lock(link.mutex);
        if (link.owner)
            link.owner->presenter_.Prepare(buffer, video);
    }
    if (caps)
        gst_caps_unref(caps);
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn GstEnginePipeline::OnFlushDone(GstPad*, GstPadProbeInfo* info, gpointer data) {
    // A flush stop holds the pad's stream lock: frames taken before it are all older.
    GstEvent* event = gst_pad_probe_info_get_event(info);
    if (event && GST_EVENT_TYPE(event) == GST_EVENT_FLUSH_STOP) {
        CallbackLink& link = **static_cast<LinkRef*>(data);
        std::lock_guard lock(link.mutex);
        if (link.owner)
            ++link.owner->flushes_;
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
    if (!gHardwareDecoding)
        flags |= kPlayFlagForceSwDecoders;
    else
        flags &= ~kPlayFlagForceSwDecoders;
    GstElement* audio = gst_element_factory_make(withAudio ? "autoaudiosink" : "fakesink", nullptr);
    g_object_set(playbin_, "uri", uri.c_str(), "video-sink", appsink_, "flags", flags, nullptr);
    if (audio)
        g_object_set(playbin_, "audio-sink", audio, nullptr);

    SharedClock::Get().Adopt(playbin_);
    GstBus* bus = gst_element_get_bus(playbin_);
    gst_bus_set_sync_handler(bus, &GstEnginePipeline::OnBusMessage, NewLinkRef(link_),
                             &DeleteLinkRef);
    gst_object_unref(bus);
    return Success();
}

Status GstEnginePipeline::Open(const std::string& path, EngineWindow* window) {
    Close(kWaitMs);
    closing_ = false;
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

void GstEnginePipeline::Close(int timeoutMs) {
    if (trialCancel_)
        *trialCancel_ = true;
    Teardown();
    if (reverseTrial_.valid())
        reverseTrial_.wait_for(std::chrono::milliseconds(timeoutMs));
    reverseTrial_ = {};
    presenter_.ClearFrame();
    presenter_.HideOverlayText();
    presenter_.SetRepaintCallback(nullptr);
    window_ = nullptr;
}

bool GstEnginePipeline::CanPlayBackwards() {
    if (!reverseTrial_.valid() && playbin_) {
        trialCancel_ = std::make_shared<std::atomic<bool>>(false);
        reverseTrial_ = StartReverseTrial(uri_, durationNs_, trialCancel_);
    }
    if (!reverseTrial_.valid())
        return false;
    if (reverseTrial_.wait_for(std::chrono::milliseconds(kWaitMs)) != std::future_status::ready)
        return false;
    return reverseTrial_.get();
}

GstClockTime GstEnginePipeline::ShownTimeNs() const {
    const std::int64_t n = presenter_.FrameNumber();
    if (n < 0 || frameNs_ <= 0)
        return 0;
    return static_cast<GstClockTime>((static_cast<double>(n) + 0.5) * frameNs_);
}

GstClockTime GstEnginePipeline::PausedTimeNs() {
    GstSegment segment;
    {
        std::lock_guard lock(segmentMutex_);
        segment = segment_;
    }
    if (segment.format == GST_FORMAT_TIME) {
        const guint64 position =
            gst_segment_position_from_running_time(&segment, GST_FORMAT_TIME, pausedRunning_);
        const guint64 stream = GST_CLOCK_TIME_IS_VALID(position)
                                   ? gst_segment_to_stream_time(&segment, GST_FORMAT_TIME, position)
                                   : GST_CLOCK_TIME_NONE;
        if (GST_CLOCK_TIME_IS_VALID(stream))
            return stream;
    }
    return ShownTimeNs();
}

std::int64_t GstEnginePipeline::Position() {
    if (!playbin_ || presenter_.FrameNumber() < 0)
        return 0;
    return static_cast<std::int64_t>(ShownTimeNs() / 100);
}

bool GstEnginePipeline::SeekTo(double rate, GstClockTime positionNs, bool thinning,
                               bool* frameShown) {
    if (durationNs_ > 0 && positionNs >= static_cast<GstClockTime>(durationNs_))
        positionNs =
            durationNs_ > frameNs_ / 2 ? durationNs_ - static_cast<gint64>(frameNs_ / 2) : 0;
    // Backwards from the first frame there is nothing to play: the demuxer answers an
    // empty reverse segment with an error. The rate is kept for the next seek.
    if (rate < 0 && frameNs_ > 0 && positionNs < static_cast<GstClockTime>(frameNs_)) {
        if (frameShown)
            *frameShown = presenter_.HasPicture();
        return true;
    }
    int flags = GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE;
    if (thinning)
        flags |= GST_SEEK_FLAG_TRICKMODE | GST_SEEK_FLAG_TRICKMODE_NO_AUDIO;
    notes_.Clear();
    GstEvent* seek =
        rate > 0 ? gst_event_new_seek(rate, GST_FORMAT_TIME, static_cast<GstSeekFlags>(flags),
                                      GST_SEEK_TYPE_SET, positionNs, GST_SEEK_TYPE_NONE, 0)
                 : gst_event_new_seek(rate, GST_FORMAT_TIME, static_cast<GstSeekFlags>(flags),
                                      GST_SEEK_TYPE_SET, 0, GST_SEEK_TYPE_SET, positionNs);
    const std::uint64_t flushesBefore = flushes_;
    if (!gst_element_send_event(playbin_, seek))
        return false;
    pausedRunning_ = 0;
    atEnd_ = false;
    if (!notes_.WaitFor(BusKind::AsyncDone, kWaitMs))
        return false;
    // A late answer to an earlier step can end the wait early, and a frame from before
    // the flush can still arrive: the seek's own frame is the first after its flush.
    const auto seekShown = [&] { return lastFrameFlushes_ > flushesBefore; };
    for (int i = 0; i < 2000 && !seekShown(); ++i)
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    if (frameShown)
        *frameShown = seekShown();
    return true;
}

bool GstEnginePipeline::PauseHere(bool holdPicture) {
    if (!playbin_)
        return false;
    if (CancelPendingStart()) {
        // Never started: the pipeline is still paused where it was.
        playing_ = false;
        return true;
    }
    const bool wasPlaying = playing_;
    // The first frame after a start is the one the sink held while paused.
    const bool justStarted = wasPlaying && frames_ - framesAtStart_ < 2;
    if (wasPlaying) {
        const GstClockTime now = SharedClock::Get().PauseTime(CurrentEnginesTogether());
        const GstClockTime base = gst_element_get_base_time(playbin_);
        pausedRunning_ = now > base ? now - base : 0;
    }
    playing_ = false;
    notes_.Clear();
    const GstStateChangeReturn change = gst_element_set_state(playbin_, GST_STATE_PAUSED);
    if (change == GST_STATE_CHANGE_FAILURE)
        return false;
    if (justStarted) {
        // The start can still be under way, and the sink may not yet have let go of the
        // frame it held: its thread would show that frame and hold the next one after
        // this returns. Once the state rests, a seek to the frame on screen settles it.
        SettlePaused();
        if (holdPicture && !atEnd_ && presenter_.FrameNumber() >= 0)
            SeekTo(rate_, ShownTimeNs(), thinning_);
    } else if (change == GST_STATE_CHANGE_ASYNC) {
        notes_.WaitFor(BusKind::AsyncDone, 1000);
    }
    return true;
}

void GstEnginePipeline::SettlePaused() {
    for (int tries = 0; tries < 3; ++tries) {
        GstState state = GST_STATE_VOID_PENDING;
        GstState pending = GST_STATE_VOID_PENDING;
        const GstStateChangeReturn change =
            gst_element_get_state(playbin_, &state, &pending, 1000 * GST_MSECOND);
        if (change == GST_STATE_CHANGE_FAILURE ||
            (state == GST_STATE_PAUSED && pending == GST_STATE_VOID_PENDING))
            return;
        if (change == GST_STATE_CHANGE_SUCCESS || change == GST_STATE_CHANGE_NO_PREROLL)
            gst_element_set_state(playbin_, GST_STATE_PAUSED);
    }
}

bool GstEnginePipeline::Start() {
    if (!playbin_)
        return false;
    if (playing_)
        return true;
    playing_ = true;
    if (CurrentEnginesTogether() == 0)
        return StartNow();
    // With the other engines once all of them are ready; a pause or close before then
    // cancels it.
    auto pending = std::make_shared<bool>(true);
    pendingStart_ = pending;
    AtEndOfEnginesTogether([this, pending] {
        if (*pending) {
            *pending = false;
            StartNow();
        }
    });
    return true;
}

bool GstEnginePipeline::StartNow() {
    if (!playbin_)
        return false;
    const GstClockTime start = SharedClock::Get().StartTime(CurrentEnginesTogether());
    gst_element_set_base_time(playbin_, start - pausedRunning_);
    framesAtStart_ = frames_;
    return gst_element_set_state(playbin_, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

bool GstEnginePipeline::CancelPendingStart() {
    const bool pending = pendingStart_ && *pendingStart_;
    if (pendingStart_)
        *pendingStart_ = false;
    pendingStart_.reset();
    return pending;
}

bool GstEnginePipeline::Seek(std::int64_t mediaTime, bool playing) {
    if (!playbin_ || mediaTime < 0)
        return false;
    const bool wasPlaying = playing_;
    if (wasPlaying && !PauseHere(false))
        return false;
    // Aim at the middle of the frame: at its start, files with B-frames and an edit list
    // can show the frame before.
    const GstClockTime target =
        static_cast<GstClockTime>(mediaTime) * 100 + static_cast<GstClockTime>(frameNs_ / 2);
    const std::int64_t wanted = frameNs_ > 0 ? static_cast<std::int64_t>(target / frameNs_) : -1;
    const std::int64_t shown = presenter_.FrameNumber();
    bool ok = false;
    if (!playing && !wasPlaying && rate_ == 1.0 && !atEnd_ && shown >= 0 && wanted == shown) {
        // The frame is on screen already (the first frame after opening): a seek would
        // only decode it again.
        ok = true;
    } else if (!playing && rate_ == 1.0 && shown >= 0 && wanted == shown + 1) {
        // The next frame: one step is far cheaper than a seek.
        const std::int64_t before = frames_;
        notes_.Clear();
        GstEvent* step = gst_event_new_step(GST_FORMAT_BUFFERS, 1, 1.0, TRUE, FALSE);
        const guint32 seqnum = gst_event_get_seqnum(step);
        if (gst_element_send_event(playbin_, step) &&
            notes_.WaitFor(BusKind::StepDone, 1000, nullptr, seqnum)) {
            for (int i = 0; i < 400 && frames_ == before; ++i)
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            ok = frames_ != before && presenter_.FrameNumber() == wanted;
        }
    }
    if (!ok) {
        bool shownNow = false;
        ok = SeekTo(rate_, target, thinning_, &shownNow) && shownNow;
    }
    if (playing)
        return Start() && ok;
    return ok;
}

bool GstEnginePipeline::SetRate(double rate, bool thinning) {
    if (!playbin_ || rate == 0.0)
        return false;
    if (rate == rate_ && thinning == thinning_)
        return true;
    const bool wasPlaying = playing_;
    if (wasPlaying && !PauseHere(false))
        return false;
    rate_ = rate;
    thinning_ = thinning;
    // Engines paused together resume from the same running time, whichever frame each
    // had delivered by then.
    const bool ok = SeekTo(rate_, wasPlaying ? PausedTimeNs() : ShownTimeNs(), thinning_);
    if (wasPlaying)
        return Start() && ok;
    return ok;
}

bool GstEnginePipeline::SaveSnapshot(const std::string& jpegPath) {
    const QImage frame = presenter_.CurrentImage();
    if (frame.isNull())
        return false;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!frame.save(&buffer, "JPG", 95))
        return false;
    return WriteFileAtomically(jpegPath, std::string_view(bytes.constData(), bytes.size())).ok();
}

} // namespace

void SetHardwareDecoding(bool on) {
    gHardwareDecoding = on;
}

bool HardwareDecoding() {
    return gHardwareDecoding;
}

PipelineFactory GstPipelineFactory() {
    return [] { return std::unique_ptr<MediaPipeline>(new GstEnginePipeline()); };
}

} // namespace kirvano
