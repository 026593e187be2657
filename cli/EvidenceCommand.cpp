// kirvano-cli evidence: an evidence package of recordings. The recordings' front, rear and
// data files copied unchanged, manifest.json (digests, times, first and last position,
// peaks, every detected event), the track as GPX, summary.txt, and SHA256SUMS over all of
// them. Built in a staging folder and renamed to OUTDIR when complete; OUTDIR must not exist.
#include "KirvanoVersion.h"
#include "base/AtomicOutputFile.h"
#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/SourceArguments.h"
#include "library/RecordingName.h"
#include "tracks/EvidenceFiles.h"
#include "tracks/RecordingTrack.h"
#include "tracks/TrackXml.h"
#include "ui/UiText.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>
#include <sys/stat.h>

namespace kirvano::cli {
namespace {

int Run(std::span<const std::string> args);

} // namespace

extern const Command kEvidenceCommand;
const Command kEvidenceCommand = {
    "evidence",
    "kirvano-cli evidence OUTDIR RECORDING...\n"
    "  RECORDING is a front movie. Copies each recording's front, rear and data files\n"
    "  unchanged into the new folder OUTDIR with manifest.json, track.gpx, summary.txt and\n"
    "  SHA256SUMS; `kirvano-cli verify OUTDIR` checks it later. OUTDIR must not exist.",
    Run};
const CommandRegistration kRegistration{kEvidenceCommand};

namespace {

struct PackedRecording {
    RecordingTrack track;
    std::optional<FileDigest> front, rear, data;
};

void PrintResult(const std::optional<std::string>& path, const std::vector<PackedRecording>& packed,
                 const std::vector<FileDigest>& files) {
    std::size_t events = 0;
    for (const PackedRecording& p : packed)
        events += p.track.events.size();
    JsonWriter json;
    json.beginObject();
    json.key("path").value(path);
    json.key("recordings").value(packed.size());
    json.key("events").value(events);
    json.key("files").beginArray();
    for (const FileDigest& f : files) {
        json.beginObject();
        json.key("file").value(f.name);
        json.key("size").value(f.size);
        json.key("sha256").value(f.sha256);
        json.endObject();
    }
    json.endArray();
    json.endObject();
    PrintJson(json.text());
}

void WriteDigest(JsonWriter& json, const std::optional<FileDigest>& digest) {
    if (!digest) {
        json.null();
        return;
    }
    json.beginObject();
    json.key("file").value(digest->name);
    json.key("size").value(digest->size);
    json.key("sha256").value(digest->sha256);
    json.endObject();
}

void WritePosition(JsonWriter& json, const std::optional<TrackPoint>& p) {
    if (!p) {
        json.null();
        return;
    }
    json.beginObject();
    json.key("lat").value(p->latitude);
    json.key("lon").value(p->longitude);
    json.key("speed_kmh").value(p->speedKmh);
    json.key("time");
    HasClock(p->time) ? json.value(IsoTimeText(p->time)) : json.null();
    json.endObject();
}

std::optional<TrackPoint> First(const RecordingTrack& t) {
    return t.points.empty() ? std::nullopt : std::optional(t.points.front());
}
std::optional<TrackPoint> Last(const RecordingTrack& t) {
    return t.points.empty() ? std::nullopt : std::optional(t.points.back());
}

std::string Manifest(const std::vector<PackedRecording>& packed,
                     const std::vector<FileDigest>& files) {
    JsonWriter json;
    json.beginObject();
    json.key("format").value("kirvano-evidence");
    json.key("format_version").value(1);
    json.key("created_by").value("kirvano-cli " KIRVANO_VERSION);
    json.key("recordings").beginArray();
    for (const PackedRecording& p : packed) {
        const RecordingTrack& t = p.track;
        json.beginObject();
        json.key("name").value(t.name);
        json.key("source").value(t.frontPath);
        json.key("front");
        WriteDigest(json, p.front);
        json.key("rear");
        WriteDigest(json, p.rear);
        json.key("data");
        WriteDigest(json, p.data);
        json.key("start").value(IsoTimeText(t.start));
        json.key("end").value(IsoTimeText(t.end));
        json.key("telemetry").value(t.hasTelemetry);
        json.key("telemetry_problem");
        t.problem.empty() ? json.null() : json.value(t.problem);
        json.key("fixes").value(t.points.size());
        json.key("first_position");
        WritePosition(json, First(t));
        json.key("last_position");
        WritePosition(json, Last(t));
        json.key("peak_speed_kmh");
        t.points.empty() ? json.null() : json.value(t.peakSpeedKmh);
        json.key("peak_g");
        t.hasTelemetry ? json.value(t.peakG) : json.null();
        json.key("events").beginArray();
        for (const TrackEvent& e : t.events) {
            json.beginObject();
            json.key("kind").value(e.kind);
            json.key("name").value(e.name);
            json.key("frame").value(e.frame);
            json.key("offset_s").value(e.offsetS);
            json.key("position");
            WritePosition(json, e.position);
            json.endObject();
        }
        json.endArray();
        json.endObject();
    }
    json.endArray();
    json.key("files").beginArray();
    for (const FileDigest& f : files)
        WriteDigest(json, f);
    json.endArray();
    json.endObject();
    return json.text() + "\n";
}

std::string PositionText(const std::optional<TrackPoint>& p) {
    if (!p)
        return "none";
    char text[128];
    std::snprintf(text, sizeof text, "%.6f, %.6f", p->latitude, p->longitude);
    return std::string(text) + (HasClock(p->time) ? " at " + IsoTimeText(p->time) : "");
}

std::string Summary(const std::vector<PackedRecording>& packed) {
    std::string s = "Evidence package written by kirvano-cli " KIRVANO_VERSION "\n";
    s += "Recordings: " + std::to_string(packed.size()) +
         ". Times are the recorder's clock. SHA256SUMS lists the digest of every file;\n"
         "`kirvano-cli verify FOLDER` (or `sha256sum -c SHA256SUMS`) checks them.\n";
    char line[256];
    for (const PackedRecording& p : packed) {
        const RecordingTrack& t = p.track;
        s += "\n" + t.name + "\n";
        s += "  Start " + IsoTimeText(t.start) + ", end " + IsoTimeText(t.end) + "\n";
        if (!t.hasTelemetry) {
            s += "  No telemetry: no positions, speeds or events.\n";
        } else {
            s += "  Fixes: " + std::to_string(t.points.size()) + "; first position " +
                 PositionText(First(t)) + "; last position " + PositionText(Last(t)) + "\n";
            std::snprintf(line, sizeof line, "  Peak speed %.1f km/h, peak G %.2f\n",
                          t.peakSpeedKmh, t.peakG);
            s += line;
            s += "  Events: " + std::to_string(t.events.size()) + "\n";
            for (const TrackEvent& e : t.events) {
                std::snprintf(line, sizeof line,
                              "    frame %lld (%.2f s): ", static_cast<long long>(e.frame),
                              e.offsetS);
                s += line + e.name + ", position " + PositionText(e.position) + "\n";
            }
        }
        for (const auto* d : {&p.front, &p.rear, &p.data})
            if (*d)
                s += "  " + (*d)->name + " " + std::to_string((*d)->size) + " bytes sha256 " +
                     (*d)->sha256 + "\n";
    }
    return s;
}

bool Fail(const std::string& path, const std::string& reason) {
    ReportProblem(path, reason);
    return false;
}

// Copies one recording's files into the staging folder.
bool Pack(const std::string& staging, PackedRecording& p, std::vector<FileDigest>& files) {
    const std::string& front = p.track.frontPath;
    struct stat info {};
    const auto copy = [&](const std::string& source, std::optional<FileDigest>& digest) {
        const auto copied = CopyWithDigest(
            source, staging + "/" + std::filesystem::path(source).filename().string());
        if (!copied)
            return Fail(source, copied.error());
        digest = copied.value();
        files.push_back(copied.value());
        return true;
    };
    if (!copy(front, p.front))
        return false;
    for (auto [source, digest] :
         {std::pair{RearPathOf(front), &p.rear}, std::pair{DataPathOf(front), &p.data}})
        if (::stat(source.c_str(), &info) == 0 && !copy(source, *digest))
            return false;
    return true;
}

Status WriteInto(const std::string& staging, const std::string& name, const std::string& text,
                 std::vector<FileDigest>& files) {
    const std::string path = staging + "/" + name;
    if (Status written = WriteFileAtomically(path, text); !written)
        return written;
    const auto digest = DigestOf(path);
    if (!digest)
        return Failure(digest.error());
    files.push_back(digest.value());
    return Success();
}

int Run(std::span<const std::string> args) {
    for (const std::string& arg : args)
        if (arg.starts_with("--"))
            return UsageError(kEvidenceCommand, "unknown option " + arg);
    if (args.size() < 2)
        return UsageError(kEvidenceCommand, "OUTDIR and at least one RECORDING are needed");
    SelectUiTextColumn(UiTextColumnFromEnvironment());

    const std::string outdir = AbsolutePath(args[0]);
    std::vector<PackedRecording> packed;
    std::vector<FileDigest> files;
    const auto refuse = [&](const std::string& path, const std::string& reason) {
        ReportProblem(path, reason);
        PrintResult(std::nullopt, {}, {});
        return kInputFailed;
    };
    struct stat info {};
    if (::lstat(outdir.c_str(), &info) == 0)
        return refuse(args[0], "exists; an evidence package never replaces anything");
    std::set<std::string> names;
    for (const std::string& arg : args.subspan(1)) {
        const std::string path = AbsolutePath(arg);
        const std::string name = std::filesystem::path(path).filename().string();
        if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            return refuse(arg, "no such file");
        if (!IsFrontRecordingName(name))
            return refuse(arg, "not a front recording");
        if (!names.insert(name).second)
            return refuse(arg, "given twice");
        packed.push_back({LoadRecordingTrack(path), {}, {}, {}});
    }

    const auto staging = CreateStagingFolder(outdir);
    if (!staging)
        return refuse(args[0], staging.error());
    bool done = true;
    for (PackedRecording& p : packed)
        if (!(done = Pack(staging.value(), p, files)))
            break;
    std::vector<FileDigest> listed = files;
    if (done) {
        std::vector<RecordingTrack> tracks;
        for (const PackedRecording& p : packed)
            tracks.push_back(p.track);
        const std::string title = std::filesystem::path(outdir).filename().string();
        Status written = WriteInto(staging.value(), "track.gpx", GpxDocument(tracks, title), files);
        if (written)
            written = WriteInto(staging.value(), "summary.txt", Summary(packed), files);
        listed = files;
        if (written)
            written = WriteInto(staging.value(), "manifest.json", Manifest(packed, files), listed);
        if (written)
            written = WriteInto(staging.value(), std::string(kChecksumListName),
                                ChecksumList(listed), listed);
        if (written)
            written = PublishFolder(staging.value(), outdir);
        if (!written)
            done = Fail(args[0], written.error());
    }
    if (!done) {
        RemoveStagingFolder(staging.value());
        PrintResult(std::nullopt, packed, {});
        return kInputFailed;
    }
    PrintResult(outdir, packed, listed);
    return kDone;
}

} // namespace
} // namespace kirvano::cli
