// Clock sharing between the engines: every pipeline of the process runs on one clock,
// and engines that start or pause together (one EnginesTogether scope) do it at one
// moment of that clock, so front and rear keep the same running time.
#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <mutex>

namespace kirvano {

class SharedClock {
public:
    static SharedClock& Get();
    GstClock* clock() const { return clock_; }
    GstClockTime Now() const { return gst_clock_get_time(clock_); }
    // The moment a start runs from. The first start of a scope picks a moment slightly
    // ahead; later starts of the same scope join it even when it has passed (their
    // pipelines catch up). Outside a scope a start before a pending moment joins it.
    GstClockTime StartTime(std::uint64_t scope);
    // The moment a pause stops the running time: now, or the first pause's moment when the
    // scope already paused another pipeline.
    GstClockTime PauseTime(std::uint64_t scope);
    // Puts a new pipeline on the shared clock with no start time of its own: its base
    // time is set by whoever starts it.
    void Adopt(GstElement* pipeline) const;

private:
    SharedClock();
    GstClock* clock_;
    std::mutex mutex_;
    GstClockTime pending_ = GST_CLOCK_TIME_NONE;
    std::uint64_t pendingScope_ = 0;
    GstClockTime paused_ = GST_CLOCK_TIME_NONE;
    std::uint64_t pausedScope_ = 0;
};

} // namespace kirvano
