// kirvano-cli telemetry: the decoded telemetry of a data file or of a movie (its data file
// by the name scheme, or with --udat the movie's own block), optionally with the frame
// index built for a number of frames.
#include "cli/Command.h"
#include "cli/Json.h"
#include "container/MappedFile.h"
#include "container/Scanners.h"
#include "library/RecordingName.h"
#include "telemetry/TelemetryFiles.h"
#include "telemetry/TelemetryReader.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

namespace kirvano::cli {
namespace {

int Run(std::span<const std::string> args);

} // namespace

extern const Command kTelemetryCommand;
const Command kTelemetryCommand = {
    "telemetry", "kirvano-cli telemetry FILE [--udat] [--frames N] [--frame-duration MS]", Run};
const CommandRegistration kRegistration{kTelemetryCommand};

namespace {

// Beyond this the frame table alone would be gigabytes of output.
constexpr std::int64_t kMostFrames = 100'000'000;

struct Options {
    std::string file;
    bool udat = false;
    std::optional<std::int64_t> frames;
    std::optional<float> frame_duration;
};

bool HasMovieExtension(const std::string& path) {
    if (path.size() < 4)
        return false;
    std::string extension = path.substr(path.size() - 4);
    for (char& c : extension)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return extension == ".MOV";
}

template <class T> std::optional<T> Number(const std::string& text) {
    T value{};
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || stop != end || text.empty())
        return std::nullopt;
    return value;
}

std::string TimeText(const CivilTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

void Link(JsonWriter& json, std::int64_t index) {
    if (index < 0)
        json.null();
    else
        json.value(index);
}

void WriteHeader(JsonWriter& json, const TelemetryReader& reader) {
    if (!reader.has_block()) {
        json.null();
        return;
    }
    const TelemetryHeader& h = reader.header();
    json.beginObject();
    json.key("values").beginArray();
    for (float v : h.values)
        json.value(v);
    json.endArray();
    json.key("kind").value(std::string_view(&h.kind, 1));
    json.key("version").value(std::string_view(h.version.data(), h.version.size()));
    json.key("quality").value(std::string_view(&h.quality, 1));
    json.key("rate").value(std::string_view(&h.rate, 1));
    json.key("record_interval_ms").value(reader.record_interval_ms());
    json.endObject();
}

void WriteReader(JsonWriter& json, const std::string& path, const TelemetryReader& reader,
                 std::optional<std::int64_t> frames, bool indexed) {
    json.beginObject();
    json.key("path").value(path);
    json.key("header");
    WriteHeader(json, reader);
    json.key("record_count").value(reader.record_count());
    json.key("peak_g").value(indexed ? reader.peak_g() : 0.0);
    json.key("positions").beginArray();
    for (const PositionSample& p : reader.positions()) {
        json.beginObject();
        json.key("index").value(p.index);
        json.key("frame").value(p.frame);
        json.key("valid").value(p.gps_valid != 0);
        json.key("lat").value(p.latitude);
        json.key("lon").value(p.longitude);
        json.key("speed").value(p.speed);
        json.key("time").value(TimeText(p.time));
        json.key("telemetry");
        Link(json, reader.IndexOf(p.telemetry));
        json.endObject();
    }
    json.endArray();
    json.key("samples").beginArray();
    for (const TelemetrySample& s : reader.samples()) {
        json.beginObject();
        json.key("index").value(s.index);
        json.key("event").value(s.event_kind);
        json.key("extra").value(s.extra_flag);
        json.key("axis").value(s.axis);
        json.key("frame").value(s.frame);
        json.key("status").value(s.status);
        json.key("x").value(s.x);
        json.key("y").value(s.y);
        json.key("z").value(s.z);
        json.key("position");
        Link(json, reader.IndexOf(s.position));
        json.endObject();
    }
    json.endArray();
    json.key("frame_table");
    if (!frames) {
        json.null();
    } else {
        json.beginArray();
        for (std::int64_t i = 0; i < *frames; ++i)
            Link(json, indexed ? reader.IndexOf(reader.SampleAtFrame(i)) : -1);
        json.endArray();
    }
    json.endObject();
}

std::optional<Options> ParseOptions(std::span<const std::string> args, std::string& problem) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--udat") {
            o.udat = true;
        } else if (a == "--frames" || a == "--frame-duration") {
            if (i + 1 >= args.size()) {
                problem = a + " needs a value";
                return std::nullopt;
            }
            const std::string& v = args[++i];
            if (a == "--frames") {
                o.frames = Number<std::int64_t>(v);
                if (!o.frames || *o.frames < 0 || *o.frames > kMostFrames) {
                    problem = "--frames needs a whole number from 0 to 100000000";
                    return std::nullopt;
                }
            } else {
                o.frame_duration = Number<float>(v);
                if (!o.frame_duration) {
                    problem = "--frame-duration needs a number of milliseconds";
                    return std::nullopt;
                }
            }
        } else if (a.starts_with("--")) {
            problem = "unknown option " + a;
            return std::nullopt;
        } else if (o.file.empty()) {
            o.file = a;
        } else {
            problem = "one FILE only";
            return std::nullopt;
        }
    }
    if (o.file.empty()) {
        problem = "no FILE given";
        return std::nullopt;
    }
    return o;
}

int Run(std::span<const std::string> args) {
    std::string problem;
    const auto options = ParseOptions(args, problem);
    if (!options)
        return UsageError(kTelemetryCommand, problem);
    const Options& o = *options;

    TelemetryReader reader;
    MappedFile probe;
    if (Status opened = probe.Open(o.file); !opened) {
        ReportProblem(o.file, opened.error());
        JsonWriter json;
        WriteReader(json, o.file, reader, o.frames, false);
        PrintJson(json.text());
        return kInputFailed;
    }
    probe.Reset();
    const bool movie = IsMovieFile(o.file);
    // A file named like a movie that fails the movie test is a damaged movie: an input
    // problem, not a usage error. Its data file is still read by the name scheme.
    const bool damagedMovie = !movie && HasMovieExtension(o.file);
    if (o.frames && !o.frame_duration && !movie && !damagedMovie)
        return UsageError(kTelemetryCommand, "--frames on a data file needs --frame-duration");

    int exit_code = kDone;
    if (damagedMovie) {
        ReportProblem(o.file, "not a readable movie");
        exit_code = kInputFailed;
    }
    std::optional<float> frame_duration = o.frame_duration;
    if (o.frames && !frame_duration && movie) {
        MappedFile timing_file;
        const auto timing = ReadMovieTiming(timing_file, o.file);
        if (timing && std::isfinite(timing->frame_duration_ms) && timing->frame_duration_ms > 0) {
            frame_duration = timing->frame_duration_ms;
        } else {
            ReportProblem(o.file, timing ? "the movie has no usable frame duration"
                                         : "no movie timing: " + timing.error());
            exit_code = kInputFailed;
        }
    }

    std::string path = o.file;
    if (o.udat) {
        LoadMovieBlock(reader, o.file);
    } else {
        if (movie || damagedMovie)
            path = DataPathOf(o.file);
        if (IsTelemetryFile(path))
            reader.Load(path);
    }

    bool indexed = false;
    if (o.frames && frame_duration) {
        reader.set_frame_duration_ms(*frame_duration);
        indexed = reader.BuildFrameIndex(*o.frames);
    }
    JsonWriter json;
    WriteReader(json, path, reader, o.frames, indexed);
    PrintJson(json.text());
    return exit_code;
}

} // namespace
} // namespace kirvano::cli
