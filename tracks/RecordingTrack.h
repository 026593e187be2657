// The track of one recording as tracks, evidence packages and their summaries see it: the
// positions with a GPS fix, the events the detector finds at their frames, and the figures
// a summary names (start and end, peak speed and peak G).
#pragma once

#include "telemetry/TelemetryTypes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kirvano {

struct TrackPoint {
    double latitude = 0.0;
    double longitude = 0.0;
    double speedKmh = 0.0;
    CivilTime time;
};

struct TrackEvent {
    int kind = 0;
    std::string name; // the kind's name in the current language column
    std::int64_t frame = 0;
    double offsetS = 0.0;               // seconds into the recording
    std::optional<TrackPoint> position; // the fix at the event, when there is one
};

struct RecordingTrack {
    std::string frontPath;
    std::string name; // the front movie's file name
    bool hasTelemetry = false;
    std::string problem; // why the telemetry could not be read, empty when it could
    std::int64_t frameCount = 0;
    double frameDurationMs = 0.0;
    CivilTime start;                // the recorder's clock at the start, from the name
    CivilTime end;                  // start plus the movie's duration
    std::vector<TrackPoint> points; // positions with a fix and usable coordinates
    std::vector<TrackEvent> events; // in frame order
    double peakSpeedKmh = 0.0;      // over the fixes
    double peakG = 0.0;
};

// Reads a recording from its front movie: the movie's frame count and frame duration, the
// telemetry from the data file (the movie's own block when there is no data file), the
// frame index and the event list with every detector on. Never fails: what cannot be read
// leaves the track empty and says why in `problem`.
RecordingTrack LoadRecordingTrack(const std::string& frontPath);

// The kind's name in the current language column; empty for an unknown kind.
std::string EventKindName(int kind);

// "YYYY-MM-DDTHH:MM:SS".
std::string IsoTimeText(const CivilTime& time);
// True when the date fields form a real date (a record without a clock has zeros).
bool HasClock(const CivilTime& time);

} // namespace kirvano
