// The engine's side of the movie and telemetry files: the quick movie test, the movie
// timing read for an open and the three telemetry readers with loading for playback.
#pragma once

#include "telemetry/TelemetryReader.h"

#include <optional>
#include <string>

namespace kirvano {

struct MovieTimingForPlayback {
    float durationS = 0.0f;
    float frameDurationMs = 0.0f;
};

// Bytes 4 to 7 of the first 260 are "ftyp".
bool IsMovieForPlayback(const std::string& path);

// The published, loading and cache readers of one engine.
struct EngineTelemetry {
    TelemetryReader published; // what the views read (first engine)
    TelemetryReader loading;   // filled by a load, then published
    TelemetryReader cache;     // the prefetch cache
    std::string currentMovie;
    void ResetPublished() {
        published.Clear();
        published.file().Reset();
    }
};

// Reads the movie's own timing (through the published reader, which is reset afterwards);
// nothing when the movie does not give a usable frame duration.
std::optional<MovieTimingForPlayback> ReadTimingForPlayback(EngineTelemetry& telemetry,
                                                            const std::string& path);

} // namespace kirvano
