// kirvano-cli kml: the tracks of every recording of a source as one KML 2.2 file.
#include "cli/TrackExport.h"

namespace kirvano::cli {
namespace {

int Run(std::span<const std::string> args);

} // namespace

extern const Command kKmlCommand;
const Command kKmlCommand = {
    "kml",
    "kirvano-cli kml SOURCE OUT.kml [--kind card|folder|file] [--force]\n"
    "  One folder per recording with its track (time and speed at every fix) and a point\n"
    "  for every detected event that has a fix, named by its kind.",
    Run};
const CommandRegistration kRegistration{kKmlCommand};

namespace {

int Run(std::span<const std::string> args) {
    return RunTrackExport(kKmlCommand, TrackFormat::Kml, args);
}

} // namespace
} // namespace kirvano::cli
