// Whether a movie plays backwards: there is no query for it, so a pipeline of its own
// tries a reverse seek over the last second with a time limit, off the caller's thread.
#pragma once

#include <gst/gst.h>

#include <atomic>
#include <future>
#include <memory>
#include <string>

namespace kirvano {

// Starts the trial on uri (durationNs the movie's length, 0 when unknown). Setting
// *cancel makes a trial that is still opening give up.
std::shared_future<bool> StartReverseTrial(const std::string& uri, gint64 durationNs,
                                           std::shared_ptr<std::atomic<bool>> cancel);

} // namespace kirvano
