// Encodes one generated movie as the recorder does: H.264 at a constant frame rate in a
// QuickTime file with the media data before the movie box, an AAC sound track, and the
// telemetry block appended as a top-level udat box. The file appears under its final
// name only when complete.
#pragma once

#include "base/Result.h"
#include "generator/CardPlan.h"
#include "generator/FramePainter.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kirvano {

struct MovieJob {
    std::string path; // final path; the folder must exist
    CameraFormat format;
    int frames = 0;
    bool audio = true;
    int tint = 0;
    // The text lines and the distance driven for a frame.
    std::function<void(std::uint32_t frame, FrameOverlay& overlay)> overlay;
    std::vector<std::uint8_t> udat; // the block after the box header ("CSMDAT" on)
};

// The hidden name the movie is written under until it is complete.
std::string TemporaryMoviePath(const std::string& path);

// Writes the movie; stops early, removing the partial file, when cancel becomes true.
// framesDone (when given) is increased as frames are handed to the encoder.
Status WriteMovie(const MovieJob& job, const std::atomic<bool>& cancel,
                  std::atomic<long long>* framesDone = nullptr);

// Frames of a recording of the given length: whole frames that start within it.
int FrameCountOf(const CameraFormat& format, int seconds);

} // namespace kirvano
