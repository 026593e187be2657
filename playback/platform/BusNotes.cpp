#include "playback/platform/BusNotes.h"

#include "ui/UiText.h"

#include <chrono>

namespace kirvano {

void BusNotes::Note(BusKind kind, std::string text, guint32 seqnum) {
    {
        std::lock_guard lock(mutex_);
        notes_.push_back({kind, std::move(text), seqnum});
    }
    changed_.notify_all();
}

void BusNotes::Clear() {
    std::lock_guard lock(mutex_);
    notes_.clear();
}

bool BusNotes::WaitFor(BusKind kind, int timeoutMs, std::string* error, guint32 seqnum) {
    std::unique_lock lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        while (!notes_.empty()) {
            Entry note = std::move(notes_.front());
            notes_.pop_front();
            if (note.kind == kind && (seqnum == 0 || note.seqnum == seqnum))
                return true;
            if (note.kind == BusKind::Error) {
                if (error)
                    *error = note.text;
                return false;
            }
        }
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout && notes_.empty()) {
            if (error)
                *error = kNoAnswer;
            return false;
        }
    }
}

std::string ErrorText(GstMessage* message) {
    GError* error = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    std::string text = error ? error->message : "unknown error";
    const bool missingCodec =
        error && (g_error_matches(error, GST_CORE_ERROR, GST_CORE_ERROR_MISSING_PLUGIN) ||
                  g_error_matches(error, GST_STREAM_ERROR, GST_STREAM_ERROR_CODEC_NOT_FOUND));
    if (missingCodec && !UiText(114).empty())
        text = UiText(114);
    if (error)
        g_error_free(error);
    g_free(debug);
    return text;
}

} // namespace kirvano
