#include "tracks/RecordingTrack.h"

#include "container/MovieFile.h"
#include "container/Scanners.h"
#include "library/RecordingName.h"
#include "telemetry/EventDetection.h"
#include "telemetry/TelemetryFiles.h"
#include "telemetry/TelemetryReader.h"
#include "ui/UiText.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>

namespace kirvano {
namespace {

// The text-table entries of event kinds 0..13.
constexpr std::array<int, kEventKinds> kKindTextEntries = {75, 72, 73,  74,  76, 77, 78,
                                                           79, 80, 143, 144, 70, 68, 69};

bool UsableCoordinates(double latitude, double longitude) {
    return std::isfinite(latitude) && std::isfinite(longitude) && latitude >= -90.0 &&
           latitude <= 90.0 && longitude >= -180.0 && longitude < 180.0;
}

std::optional<TrackPoint> PointOf(const PositionSample* p) {
    if (!p || p->gps_valid == 0 || !UsableCoordinates(p->latitude, p->longitude))
        return std::nullopt;
    TrackPoint point;
    point.latitude = p->latitude;
    point.longitude = p->longitude;
    point.speedKmh = std::isfinite(p->speed) ? p->speed : 0.0;
    point.time = p->time;
    return point;
}

CivilTime AddSeconds(const RecordingTime& t, long long seconds) {
    std::tm fields{};
    fields.tm_year = t.year - 1900;
    fields.tm_mon = t.month - 1;
    fields.tm_mday = t.day;
    fields.tm_hour = t.hour;
    fields.tm_min = t.minute;
    fields.tm_sec = t.second;
    // The recorder's clock has no zone: count in UTC so that no daylight rule applies.
    const std::time_t at = ::timegm(&fields) + seconds;
    std::tm out{};
    ::gmtime_r(&at, &out);
    CivilTime civil;
    civil.year = static_cast<std::uint16_t>(out.tm_year + 1900);
    civil.month = static_cast<std::uint16_t>(out.tm_mon + 1);
    civil.day = static_cast<std::uint16_t>(out.tm_mday);
    civil.day_of_week = static_cast<std::uint16_t>(out.tm_wday);
    civil.hour = static_cast<std::uint16_t>(out.tm_hour);
    civil.minute = static_cast<std::uint16_t>(out.tm_min);
    civil.second = static_cast<std::uint16_t>(out.tm_sec);
    return civil;
}

} // namespace

std::string EventKindName(int kind) {
    if (kind < 0 || kind >= kEventKinds)
        return {};
    return UiText(kKindTextEntries[static_cast<std::size_t>(kind)]);
}

std::string IsoTimeText(const CivilTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

bool HasClock(const CivilTime& t) {
    return t.year >= 1970 && t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 &&
           t.hour < 24 && t.minute < 60 && t.second < 61;
}

RecordingTrack LoadRecordingTrack(const std::string& frontPath) {
    RecordingTrack track;
    track.frontPath = frontPath;
    track.name = std::filesystem::path(frontPath).filename().string();
    const RecordingTime started = RecordingTimeOf(track.name);
    track.start = AddSeconds(started, 0);
    track.end = track.start;

    MappedFile timingFile;
    const auto timing = ReadMovieTiming(timingFile, frontPath);
    timingFile.Reset();
    if (!timing) {
        track.problem = "no movie timing: " + timing.error();
        return track;
    }
    if (std::isfinite(timing->duration_s) && timing->duration_s > 0)
        track.end = AddSeconds(started, std::lround(timing->duration_s));
    track.frameDurationMs = timing->frame_duration_ms;
    if (auto parsed = ParseMovie(frontPath, true))
        track.frameCount = FrameCount(parsed.value());

    TelemetryReader reader;
    const std::string dataPath = DataPathOf(frontPath);
    if (IsTelemetryFile(dataPath))
        reader.Load(dataPath);
    if (!reader.has_block())
        LoadMovieBlock(reader, frontPath);
    if (!reader.has_block()) {
        track.problem = "no telemetry";
        return track;
    }
    track.hasTelemetry = true;
    for (const PositionSample& p : reader.positions()) {
        if (auto point = PointOf(&p)) {
            track.peakSpeedKmh = std::max(track.peakSpeedKmh, point->speedKmh);
            track.points.push_back(*point);
        }
    }

    if (!(track.frameCount > 0 && std::isfinite(track.frameDurationMs) &&
          track.frameDurationMs > 0)) {
        track.problem = "the movie has no usable frame count or frame duration";
        return track;
    }
    reader.set_frame_duration_ms(static_cast<float>(track.frameDurationMs));
    if (!reader.BuildFrameIndex(track.frameCount)) {
        track.problem = "the telemetry does not index the movie's frames";
        return track;
    }
    track.peakG = reader.peak_g();
    EventDetector detector;
    detector.SetLevelsFromHeader(reader.header());
    detector.SetRecordingName(track.name);
    for (const MapEvent& found : detector.BuildEventList(FrameSamples::Of(reader))) {
        TrackEvent event;
        event.kind = found.kind;
        event.name = EventKindName(found.kind);
        event.frame = found.frame;
        event.offsetS = static_cast<double>(found.frame) * track.frameDurationMs / 1000.0;
        if (found.sample)
            event.position = PointOf(found.sample->position);
        track.events.push_back(std::move(event));
    }
    return track;
}

} // namespace kirvano
