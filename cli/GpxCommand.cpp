// kirvano-cli gpx: the tracks of every recording of a source as one GPX 1.1 file.
#include "cli/TrackExport.h"

namespace kirvano::cli {
namespace {

int Run(std::span<const std::string> args);

} // namespace

extern const Command kGpxCommand;
const Command kGpxCommand = {
    "gpx",
    "kirvano-cli gpx SOURCE OUT.gpx [--kind card|folder|file] [--force]\n"
    "  One track segment per recording (time and speed at every fix) and a waypoint for\n"
    "  every detected event that has a fix, named by its kind.",
    Run};
const CommandRegistration kRegistration{kGpxCommand};

namespace {

int Run(std::span<const std::string> args) {
    return RunTrackExport(kGpxCommand, TrackFormat::Gpx, args);
}

} // namespace
} // namespace kirvano::cli
