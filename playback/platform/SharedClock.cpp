#include "playback/platform/SharedClock.h"

namespace kirvano {
namespace {
// Long enough for the second engine's start call to join the first one's moment.
constexpr GstClockTime kStartLead = 30 * GST_MSECOND;
constexpr GstClockTime kJoinMargin = 10 * GST_MSECOND;
} // namespace

SharedClock& SharedClock::Get() {
    static SharedClock clock;
    return clock;
}

SharedClock::SharedClock() : clock_(gst_system_clock_obtain()) {}

GstClockTime SharedClock::StartTime(std::uint64_t scope) {
    std::lock_guard lock(mutex_);
    const GstClockTime now = Now();
    if (scope != 0 && scope == pendingScope_ && pending_ != GST_CLOCK_TIME_NONE)
        return pending_;
    if (scope != 0 || pendingScope_ != 0 || pending_ == GST_CLOCK_TIME_NONE ||
        pending_ < now + kJoinMargin)
        pending_ = now + kStartLead;
    pendingScope_ = scope;
    return pending_;
}

GstClockTime SharedClock::PauseTime(std::uint64_t scope) {
    std::lock_guard lock(mutex_);
    if (scope == 0 || scope != pausedScope_ || paused_ == GST_CLOCK_TIME_NONE) {
        paused_ = Now();
        pausedScope_ = scope;
    }
    return paused_;
}

void SharedClock::Adopt(GstElement* pipeline) const {
    gst_pipeline_use_clock(GST_PIPELINE(pipeline), clock_);
    gst_element_set_start_time(pipeline, GST_CLOCK_TIME_NONE);
}

} // namespace kirvano
