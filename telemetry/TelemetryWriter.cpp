// The telemetry block writer. Every field is formatted into a bounded buffer and copied
// into its exact place, so a value that does not fit can never spill into its neighbour.
#include "telemetry/TelemetryWriter.h"

#include "base/ByteRange.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace kirvano {
namespace {

constexpr char kBlockStart[] = "CSMDAT";
constexpr char kBlockEnd[] = "CSMEND";

// Writes the text of printf(format, ...) into out[0, width): right-aligned, cut to width.
template <class... Args>
void PutField(std::uint8_t* out, std::size_t width, const char* format, Args... args) {
    char text[64];
    const int n = std::snprintf(text, sizeof text, format, args...);
    const std::size_t length =
        n < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(n), width);
    std::memset(out, ' ', width);
    std::memcpy(out + (width - length), text, length);
}

double Clamp(double v, double low, double high) {
    if (!std::isfinite(v))
        return 0.0;
    return std::clamp(v, low, high);
}

long Rounded(double v, long low, long high) {
    return static_cast<long>(
        Clamp(std::round(v), static_cast<double>(low), static_cast<double>(high)));
}

// ddmm.mmmm (width 9) or dddmm.mmmm (width 10) for the absolute value of degrees.
void PutCoordinate(std::uint8_t* out, std::size_t width, double degrees, double limit) {
    const double a = std::fabs(Clamp(degrees, -limit, limit));
    // Work in ten-thousandths of a minute so the minutes never round up to 60.
    const long long units = std::llround(a * 60.0 * 10000.0);
    const long long whole = units / (60 * 10000);
    const long long minute_units = units % (60 * 10000);
    PutField(out, width, width == 9 ? "%02lld%02lld.%04lld" : "%03lld%02lld.%04lld", whole,
             minute_units / 10000, minute_units % 10000);
}

void PutSpeed(std::uint8_t* out, double speed) {
    const double v = Clamp(speed, 0.0, 9999.0);
    if (std::round(v * 10.0) < 1000.0)
        PutField(out, 4, "%4.1f", v);
    else
        PutField(out, 4, "%4ld", Rounded(v, 0, 9999));
}

} // namespace

std::array<std::uint8_t, kTelemetryRecordSize>
EncodeTelemetryRecord(const TelemetryRecordFields& f) {
    std::array<std::uint8_t, kTelemetryRecordSize> r;
    r.fill(' ');
    std::uint8_t* p = r.data();
    p[5] = f.gps_valid ? 'A' : 'V';
    PutCoordinate(p + 6, 9, f.latitude, 90.0);
    p[15] = f.latitude < 0 ? 0 : 'N';
    PutCoordinate(p + 16, 10, f.longitude, 180.0);
    p[26] = f.longitude < 0 ? 0 : 'E';
    PutSpeed(p + 27, f.speed_kmh);
    PutField(p + 31, 2, "%02d", std::clamp(f.year - 2000, 0, 99));
    PutField(p + 33, 2, "%02d", std::clamp(f.month, 0, 99));
    PutField(p + 35, 2, "%02d", std::clamp(f.day, 0, 99));
    PutField(p + 37, 2, "%02d", std::clamp(f.hour, 0, 99));
    PutField(p + 39, 2, "%02d", std::clamp(f.minute, 0, 99));
    PutField(p + 41, 2, "%02d", std::clamp(f.second, 0, 99));
    if (f.time_correction_s)
        PutField(p + 44, 3, "%03d", std::clamp(*f.time_correction_s, -99, 999));
    else
        p[44] = '*';
    PutField(p + 57, 5, "%5ld", Rounded(f.gx * 1000.0, -9999, 99999));
    PutField(p + 62, 5, "%5ld", Rounded(f.gy * 1000.0, -9999, 99999));
    PutField(p + 67, 5, "%5ld", Rounded(f.gz * 1000.0, -9999, 99999));
    p[72] = static_cast<std::uint8_t>(f.mark_a);
    p[73] = static_cast<std::uint8_t>(f.axis);
    p[74] = static_cast<std::uint8_t>(f.event_letter);
    p[75] = static_cast<std::uint8_t>(f.mark_b);
    p[76] = static_cast<std::uint8_t>(f.mark_c);
    p[77] = static_cast<std::uint8_t>(f.mark_d);
    p[122] = f.status;
    return r;
}

std::array<std::uint8_t, kTelemetryHeaderSize>
EncodeTelemetryHeader(const TelemetryHeaderFields& f) {
    std::array<std::uint8_t, kTelemetryHeaderSize> h;
    h.fill(' ');
    for (std::size_t i = 0; i < 4; ++i)
        PutField(h.data() + 4 * i, 4, "%04ld",
                 Rounded(static_cast<double>(f.values[i]) * 1000.0, -999, 9999));
    h[16] = static_cast<std::uint8_t>(f.kind);
    PutField(h.data() + 17, 2, "%02d", std::clamp(f.major, 0, 99));
    PutField(h.data() + 19, 2, "%02d", std::clamp(f.minor, 0, 99));
    PutField(h.data() + 21, 2, "%02d", std::clamp(f.patch, 0, 99));
    h[23] = static_cast<std::uint8_t>(f.quality);
    h[24] = static_cast<std::uint8_t>(f.byte24);
    h[25] = static_cast<std::uint8_t>(f.rate);
    return h;
}

std::array<std::uint8_t, kTelemetryRecordsOffset>
EncodeTelemetryBlockStart(std::span<const std::uint8_t, kTelemetryHeaderSize> header,
                          std::uint32_t count) {
    std::array<std::uint8_t, kTelemetryRecordsOffset> out;
    std::memcpy(out.data(), kBlockStart, 6);
    std::memcpy(out.data() + 6, header.data(), kTelemetryHeaderSize);
    PutBe16(out.data() + 32, static_cast<std::uint16_t>(std::min(count, kTelemetryOpenCount)));
    return out;
}

std::vector<std::uint8_t> EncodeTelemetryBlockEnd(std::uint32_t count) {
    std::vector<std::uint8_t> out(kBlockEnd, kBlockEnd + 6);
    if (count >= kTelemetryOpenCount) {
        out.resize(10);
        PutBe32(out.data() + 6, count);
    }
    return out;
}

std::vector<std::uint8_t>
EncodeTelemetryBlock(std::span<const std::uint8_t, kTelemetryHeaderSize> header,
                     std::span<const std::uint8_t> records) {
    const std::size_t count = records.size() / kTelemetryRecordSize;
    const std::size_t record_bytes = count * kTelemetryRecordSize;
    const auto start = EncodeTelemetryBlockStart(header, static_cast<std::uint32_t>(count));
    const auto end = EncodeTelemetryBlockEnd(static_cast<std::uint32_t>(count));
    std::vector<std::uint8_t> out(start.size() + record_bytes + end.size());
    std::memcpy(out.data(), start.data(), start.size());
    if (record_bytes > 0)
        std::memcpy(out.data() + start.size(), records.data(), record_bytes);
    std::memcpy(out.data() + start.size() + record_bytes, end.data(), end.size());
    return out;
}

} // namespace kirvano
