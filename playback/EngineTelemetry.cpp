#include "playback/EngineTelemetry.h"

#include "container/MappedFile.h"
#include "container/Scanners.h"

#include <cmath>

namespace kirvano {

bool IsMovieForPlayback(const std::string& path) {
    return IsMovieFile(path);
}

std::optional<MovieTimingForPlayback> ReadTimingForPlayback(EngineTelemetry& telemetry,
                                                            const std::string& path) {
    // The published reader scans the movie; opening a movie discards what was published
    // for the previous one.
    const Result<MovieTiming> timing = ReadMovieTiming(telemetry.published.file(), path);
    telemetry.ResetPublished();
    if (!timing)
        return std::nullopt;
    const float ms = timing->frame_duration_ms;
    if (!std::isfinite(ms) || !(ms > 0.0f))
        return std::nullopt;
    return MovieTimingForPlayback{timing->duration_s, ms};
}

} // namespace kirvano
