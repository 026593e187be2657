// The telemetry of one planned recording: the car's trace at the recording's record rate
// with its events and GPS gaps applied, the records and the block that goes both into
// the data file and into each movie's udat box, and the text shown on its frames.
#pragma once

#include "generator/CardPlan.h"
#include "generator/DriveTrace.h"
#include "telemetry/TelemetryWriter.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kirvano {

struct RecordingTelemetry {
    int recordsPerSecond = 10;
    std::vector<TraceSample> trace; // one per record
    std::vector<TelemetryRecordFields> records;
    std::vector<std::uint8_t> block; // from "CSMDAT" to "CSMEND"
};

RecordingTelemetry TelemetryOf(const CardPlan& plan, const PlannedRecording& recording);

// The two text lines of a frame shown at seconds into the recording, for "FRONT" or "REAR".
std::vector<std::string> FrameTextOf(const std::string& camera, const PlannedRecording& recording,
                                     const RecordingTelemetry& telemetry, std::uint32_t frame,
                                     double seconds);

// The trace sample current at seconds into the recording (the last one past the end).
const TraceSample& SampleAt(const RecordingTelemetry& telemetry, double seconds);

} // namespace kirvano
