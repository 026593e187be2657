// What a pipeline's bus reported, kept for the thread that drives the pipeline: the
// sync handler notes state-change completions, step completions, errors and the end, and
// the driving thread waits for the one it needs.
#pragma once

#include <gst/gst.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>

namespace kirvano {

enum class BusKind { AsyncDone, Error, Eos, StepDone };

// The text a failed wait leaves when nothing answered in time.
inline constexpr const char* kNoAnswer = "the media pipeline did not answer";

class BusNotes {
public:
    void Note(BusKind kind, std::string text = {}, guint32 seqnum = 0);
    void Clear();
    // Waits for a note of that kind (with that sequence number unless 0) or an error;
    // false on error (its text in *error) or timeout (kNoAnswer).
    bool WaitFor(BusKind kind, int timeoutMs, std::string* error = nullptr, guint32 seqnum = 0);

private:
    struct Entry {
        BusKind kind;
        std::string text;
        guint32 seqnum = 0;
    };
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Entry> notes_;
};

// The text an error message shows the user: the missing-codec text of the interface
// table for a missing decoder, GStreamer's own message otherwise.
std::string ErrorText(GstMessage* message);

} // namespace kirvano
