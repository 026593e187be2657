// What `gpx` and `kml` share: SOURCE read as `csv` reads it, every recording's track, the
// document written under a temporary name and renamed, and the JSON answer.
#pragma once

#include "cli/Command.h"
#include "tracks/RecordingTrack.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kirvano::cli {

enum class TrackFormat { Gpx, Kml };

int RunTrackExport(const Command& command, TrackFormat format, std::span<const std::string> args);

} // namespace kirvano::cli
