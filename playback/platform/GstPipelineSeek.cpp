// Seeking, stepping and the playing rate, and the times they aim at: the frame on screen
// and the running time a pause stopped at.
#include "playback/platform/GstEnginePipeline.h"

#include <chrono>
#include <thread>

namespace kirvano {

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

} // namespace kirvano
