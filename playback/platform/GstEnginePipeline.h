// The engine's pipeline on GStreamer, implemented by concern: GstPipelineBuild.cpp (playbin,
// appsink, the callbacks of GStreamer's threads, the bus), GstPipelineState.cpp (start, pause,
// close), GstPipelineSeek.cpp (seeks, steps, rate), GstPipeline.cpp (factory, reverse trial,
// snapshot). Private to this folder: the rest of the program calls GstPipelineFactory().
#pragma once

#include "playback/MediaPipeline.h"
#include "playback/platform/BusNotes.h"
#include "playback/platform/FramePresenter.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>

namespace kirvano {

class GstEnginePipeline;

// The way back from GStreamer's threads to a pipeline object. Callbacks run under its
// lock and find no owner once the pipeline is being closed, so closing does not have to
// wait for those threads to end.
struct CallbackLink {
    std::mutex mutex;
    GstEnginePipeline* owner = nullptr;
};
using LinkRef = std::shared_ptr<CallbackLink>;

class GstEnginePipeline : public MediaPipeline {
public:
    GstEnginePipeline();
    ~GstEnginePipeline() override;

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
    static constexpr int kWaitMs = 5000;

    static GstFlowReturn OnPreroll(GstAppSink* sink, gpointer self);
    static GstFlowReturn OnSample(GstAppSink* sink, gpointer self);
    // Hands a pulled sample (taken over, may be null) to the owner, if it is still there.
    static void Deliver(GstSample* sample, gpointer self);
    static GstPadProbeReturn OnBufferComing(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    static GstPadProbeReturn OnFlushDone(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    static void OnElementSetup(GstElement* playbin, GstElement* element, gpointer self);
    static GstPadProbeReturn OnDecoded(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    // A video buffer at a pad, handed to the presenter with the pad's format.
    using PresenterTake = void (FramePresenter::*)(GstBuffer*, const GstVideoInfo&);
    static GstPadProbeReturn ToPresenter(GstPad* pad, GstPadProbeInfo* info, gpointer self,
                                         PresenterTake take);
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

} // namespace kirvano
