// Shared by the gpx and kml commands.
#include "cli/TrackExport.h"

#include "base/AtomicOutputFile.h"
#include "cli/Json.h"
#include "cli/SourceArguments.h"
#include "library/RecordingSource.h"
#include "tracks/TrackXml.h"
#include "ui/UiText.h"

#include <filesystem>
#include <optional>
#include <sys/stat.h>

namespace kirvano::cli {
namespace {

struct Counts {
    std::size_t points = 0, events = 0, waypoints = 0;
};

void PrintResult(const std::optional<std::string>& path, std::span<const RecordingTrack> tracks) {
    Counts counts;
    for (const RecordingTrack& track : tracks) {
        counts.points += track.points.size();
        counts.events += track.events.size();
        for (const TrackEvent& event : track.events)
            counts.waypoints += event.position ? 1 : 0;
    }
    JsonWriter json;
    json.beginObject();
    json.key("path").value(path);
    json.key("recordings").value(tracks.size());
    json.key("points").value(counts.points);
    json.key("events").value(counts.events);
    json.key("waypoints").value(counts.waypoints);
    json.key("without_telemetry").beginArray();
    for (const RecordingTrack& track : tracks)
        if (!track.hasTelemetry)
            json.value(track.name);
    json.endArray();
    json.key("without_fix").beginArray();
    for (const RecordingTrack& track : tracks)
        if (track.hasTelemetry && track.points.empty())
            json.value(track.name);
    json.endArray();
    json.endObject();
    PrintJson(json.text());
}

} // namespace

int RunTrackExport(const Command& command, TrackFormat format, std::span<const std::string> args) {
    std::string problem;
    const std::optional<SourceAndOut> parsed = ParseSourceAndOut(args, problem);
    if (!parsed)
        return UsageError(command, problem);
    const std::vector<std::string>& positional = parsed->positional;
    const std::optional<SourceKind> kind = parsed->kind;
    const bool force = parsed->force;
    if (positional.size() != 2)
        return UsageError(command, "SOURCE and OUT are needed");
    SelectUiTextColumn(UiTextColumnFromEnvironment());

    const std::string sourcePath = AbsolutePath(positional[0]);
    const std::string outPath = AbsolutePath(positional[1]);
    struct stat info {};
    if (::stat(sourcePath.c_str(), &info) != 0) {
        ReportProblem(positional[0], "no such file or folder");
        PrintResult(std::nullopt, {});
        return kInputFailed;
    }
    const std::string outFolder = std::filesystem::path(outPath).parent_path().string();
    if (::stat(outFolder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        ReportProblem(positional[1], "its folder does not exist");
        PrintResult(std::nullopt, {});
        return kInputFailed;
    }
    if (!force && ::lstat(outPath.c_str(), &info) == 0) {
        ReportProblem(outPath, "exists; --force replaces it");
        PrintResult(std::nullopt, {});
        return kInputFailed;
    }

    RecordingSource source;
    source.LoadSource(sourcePath, kind ? *kind : GuessSourceKind(sourcePath));
    source.takeProblems(); // the load's own list is not reported
    const auto& recordings = source.CollectAllRecordings();
    bool failed = ReportScanProblems(source);
    if (recordings.empty()) {
        ReportProblem(positional[0], UiText(101));
        PrintResult(std::nullopt, {});
        return kInputFailed;
    }
    std::vector<RecordingTrack> tracks;
    for (const RecordingInfo& recording : recordings)
        tracks.push_back(LoadRecordingTrack(recording.path));

    const std::string title = std::filesystem::path(sourcePath).filename().string();
    const std::string document =
        format == TrackFormat::Gpx ? GpxDocument(tracks, title) : KmlDocument(tracks, title);
    AtomicOutputFile out;
    Status written = out.open(outPath, force ? ExistingFile::Replace : ExistingFile::Keep);
    if (written)
        written = out.write(document);
    if (written)
        written = out.commit();
    if (!written) {
        ReportProblem(outPath, written.error());
        PrintResult(std::nullopt, tracks);
        return kInputFailed;
    }
    PrintResult(outPath, tracks);
    return failed ? kInputFailed : kDone;
}

} // namespace kirvano::cli
