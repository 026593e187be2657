// Starting, pausing and closing: engines that start or pause together do it at one moment
// of the shared clock.
#include "playback/platform/GstEnginePipeline.h"

#include "playback/EnginesTogether.h"
#include "playback/platform/SharedClock.h"

#include <chrono>

namespace kirvano {

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

} // namespace kirvano
