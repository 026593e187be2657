#include "generator/CardTelemetry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kirvano {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A half-sine pulse of the given length starting at `at`; 0 outside.
double Pulse(double t, double at, double length) {
    if (t < at || t >= at + length) {
        return 0;
    }
    return std::sin((t - at) / length * kPi);
}

bool Within(double t, double from, double until) {
    return t >= from && t < until;
}

} // namespace

RecordingTelemetry TelemetryOf(const CardPlan& plan, const PlannedRecording& r) {
    RecordingTelemetry out;
    const CardOptions& options = plan.options;
    const int rate = r.recordsPerSecond;
    out.recordsPerSecond = rate;
    const std::uint32_t seed = options.seed + static_cast<std::uint32_t>(r.run);
    const std::size_t count = static_cast<std::size_t>(options.seconds) * rate;
    if (r.parked) {
        const GeoPoint where = Route::Default().pointAt(r.startDistance);
        out.trace = SimulateParked(where, r.startDistance, options.seconds, rate,
                                   seed * 31 + static_cast<std::uint32_t>(r.sequence));
    } else {
        const double driveSeconds = r.driveOffset + options.seconds;
        auto drive = SimulateDrive(Route::Default(), r.startDistance, driveSeconds, rate, seed);
        const std::size_t first = static_cast<std::size_t>(std::lround(r.driveOffset * rate));
        if (first < drive.size()) {
            out.trace.assign(drive.begin() + static_cast<std::ptrdiff_t>(first), drive.end());
        }
        for (TraceSample& s : out.trace) {
            s.time -= r.driveOffset;
        }
    }
    out.trace.resize(std::min(out.trace.size(), count));

    TelemetryHeaderFields header;
    header.values = {0.300f, 0.300f, 0.500f, 0.250f};
    header.kind = 'M';
    header.major = options.firmware.major;
    header.minor = options.firmware.minor;
    header.patch = options.firmware.patch;
    header.quality = 'H';
    header.rate = rate == 15 ? 'T' : 'N';

    std::vector<std::uint8_t> bytes;
    bytes.reserve(out.trace.size() * kTelemetryRecordSize);
    for (std::size_t i = 0; i < out.trace.size(); ++i) {
        TraceSample& s = out.trace[i];
        const double t = static_cast<double>(i) / rate;
        TelemetryRecordFields f;
        switch (r.event) {
        case RecordingEvent::Impact: {
            // A hard knock from the front: the car is thrown back, a little sideways.
            const double p = Pulse(t, r.eventAt, 0.6);
            s.gx -= 2.6 * p;
            s.gy += 0.7 * p;
            s.gz += 0.4 * p;
            if (Within(t, r.eventAt, r.eventAt + 0.6)) {
                f.axis = 'X';
            }
            break;
        }
        case RecordingEvent::Manual:
            if (Within(t, r.eventAt, r.eventAt + 1.0)) {
                f.mark_a = 'D';
            }
            break;
        case RecordingEvent::ParkingImpact: {
            // Another car bumps into the parked one.
            const double p = Pulse(t, r.eventAt, 0.5);
            s.gy += 1.4 * p;
            s.gz += 1.9 * p;
            if (Within(t, r.eventAt, r.eventAt + 0.5)) {
                f.axis = 'Z';
            }
            if (Within(t, r.eventAt, r.eventAt + 1.0)) {
                f.mark_c = 'D';
            }
            break;
        }
        case RecordingEvent::None:
            break;
        }
        const bool fix = !Within(t, r.noFixFrom, r.noFixUntil);
        f.gps_valid = fix;
        f.latitude = fix ? s.position.latitude : 0;
        f.longitude = fix ? s.position.longitude : 0;
        f.speed_kmh = fix ? s.speedKmh : 0;
        const PlanTime when = AddSeconds(r.start, static_cast<long long>(i) / rate);
        f.year = when.year;
        f.month = when.month;
        f.day = when.day;
        f.hour = when.hour;
        f.minute = when.minute;
        f.second = when.second;
        f.gx = s.gx;
        f.gy = s.gy;
        f.gz = s.gz;
        f.status = '0';
        const auto record = EncodeTelemetryRecord(f);
        bytes.insert(bytes.end(), record.begin(), record.end());
        out.records.push_back(f);
    }
    const auto encodedHeader = EncodeTelemetryHeader(header);
    out.block = EncodeTelemetryBlock(encodedHeader, bytes);
    return out;
}

const TraceSample& SampleAt(const RecordingTelemetry& telemetry, double seconds) {
    static const TraceSample kNone;
    if (telemetry.trace.empty()) {
        return kNone;
    }
    const auto index =
        static_cast<std::size_t>(std::max(0.0, seconds * telemetry.recordsPerSecond));
    return telemetry.trace[std::min(index, telemetry.trace.size() - 1)];
}

std::vector<std::string> FrameTextOf(const std::string& camera, const PlannedRecording& r,
                                     const RecordingTelemetry& telemetry, std::uint32_t frame,
                                     double seconds) {
    const PlanTime when = AddSeconds(r.start, static_cast<long long>(std::floor(seconds)));
    const auto index =
        static_cast<std::size_t>(std::max(0.0, seconds * telemetry.recordsPerSecond));
    double speed = 0;
    if (index < telemetry.records.size()) {
        speed = telemetry.records[index].speed_kmh;
    } else if (!telemetry.records.empty()) {
        speed = telemetry.records.back().speed_kmh;
    }
    char first[64];
    char second[64];
    std::snprintf(first, sizeof first, "%s %04d-%02d-%02d %02d:%02d:%02d", camera.c_str(),
                  when.year, when.month, when.day, when.hour, when.minute, when.second);
    std::snprintf(second, sizeof second, "FRAME %06u %3d KM/H", frame,
                  static_cast<int>(std::lround(speed)));
    return {first, second};
}

} // namespace kirvano
